#include "ImageLayout.h"

#include <cstring>

namespace vyksim {

std::optional<ImageLayout> ImageLayout::fromCode(const std::string& code)
{
    if (code == "M_08")
        return ImageLayout(1, 8, true);
    if (code == "M_16")
        return ImageLayout(1, 16, false);
    if (code == "C_08")
        return ImageLayout(3, 8, true);
    if (code == "C_08_A")
        return ImageLayout(4, 8, false);
    if (code == "C_16")
        return ImageLayout(3, 16, true);
    return std::nullopt;
}

uint32_t ImageLayout::rowPixels(uint32_t width) const
{
    if (!padded_)
        return width;
    return static_cast<uint32_t>((static_cast<uint64_t>(width) + 3u) / 4u * 4u);
}

size_t ImageLayout::bufferBytes(uint32_t width, uint32_t height) const
{
    return static_cast<size_t>(rowPixels(width)) * height * channels_ * bytesPerSample();
}

std::vector<uint8_t> ImageLayout::packed(const void* data, uint32_t width, uint32_t height,
                                         bool blueFirst) const
{
    const size_t pixelBytes = channels_ * bytesPerSample();
    const size_t srcRowBytes = static_cast<size_t>(rowPixels(width)) * pixelBytes;
    const size_t dstRowBytes = static_cast<size_t>(width) * pixelBytes;
    std::vector<uint8_t> out(dstRowBytes * height);
    const auto* src = static_cast<const uint8_t*>(data);
    const bool swapRedBlue = blueFirst && channels_ >= 3;
    const size_t sampleBytes = bytesPerSample();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* srcRow = src + y * srcRowBytes;
        uint8_t* dstRow = out.data() + y * dstRowBytes;
        std::memcpy(dstRow, srcRow, dstRowBytes);
        if (!swapRedBlue)
            continue;
        // Sample 0 and sample 2 change places; green and alpha stay.
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = dstRow + x * pixelBytes;
            for (size_t b = 0; b < sampleBytes; ++b)
                std::swap(pixel[b], pixel[2 * sampleBytes + b]);
        }
    }
    return out;
}

} // namespace vyksim
