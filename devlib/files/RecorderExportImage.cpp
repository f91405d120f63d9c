// The recorder library's export function: one image into a file whose type follows from
// the file name's suffix.
#include "vyk_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "B16File.h"
#include "DicomFile.h"
#include "ImageLayout.h"
#include "TiffFile.h"
#include "VykRawFile.h"

namespace {

using vyksim::ImageLayout;

constexpr size_t kBitResolutionOffset = 48; // bBIT_RESOLUTION within the metadata block

// Lower-case suffix of the file name without the dot, or "" when it has none.
std::string suffixOf(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string suffix = name.substr(dot + 1);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix;
}

// Significant bits of the samples: the camera's bit resolution from the metadata when it
// is plausible for the layout, else the full sample width.
uint16_t significantBits(const ImageLayout& layout, const uint8_t* metadata)
{
    if (metadata != nullptr) {
        const uint8_t bits = metadata[kBitResolutionOffset];
        if (bits >= 1 && bits <= layout.bitsPerSample())
            return bits;
    }
    return layout.bitsPerSample();
}

// Packed 16-bit mono pixels from the packed bytes of an "M_16" image.
std::vector<uint16_t> asWords(const std::vector<uint8_t>& bytes)
{
    std::vector<uint16_t> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), words.size() * 2);
    return words;
}

int32_t writeTiff(const std::string& name, const ImageLayout& layout, uint32_t width,
                  uint32_t height, const std::vector<uint8_t>& pixels)
{
    const bool big = pixels.size() + vyksim::TiffFile::kPageOverhead > 0xFFFFFFFFull;
    bool done = false;
    {
        vyksim::TiffFile file(name, big);
        vyksim::TiffFile::Page page;
        page.width = width;
        page.height = height;
        page.samplesPerPixel = layout.channels();
        page.bitsPerSample = layout.bitsPerSample();
        page.pixels = pixels.data();
        done = file.ok() && file.writePage(page) && file.close();
    }
    if (!done)
        std::remove(name.c_str());
    return done ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t writeDicom(const std::string& name, const ImageLayout& layout, uint32_t width,
                   uint32_t height, const std::vector<uint8_t>& packed, const uint8_t* metadata)
{
    vyksim::DicomFile::Image image;
    image.width = width;
    image.height = height;
    image.samplesPerPixel = layout.isMono() ? 1 : 3;
    image.bitsAllocated = layout.bitsPerSample();
    image.bitsStored = significantBits(layout, metadata);
    if (!vyksim::DicomFile::fits(image))
        return VYK_ERR_EXPORT_FORMAT;
    const void* pixels = packed.data();
    std::vector<uint8_t> rgb;
    if (layout.channels() == 4) {
        // DICOM has no RGB plus alpha: the alpha sample is dropped.
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i)
            std::memcpy(&rgb[3 * i], &packed[4 * i], 3);
        pixels = rgb.data();
    }
    const vyksim::DicomFile::Series series = vyksim::DicomFile::newSeries();
    return vyksim::DicomFile::write(name, image, pixels, series, 1) ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t writeRaw(const std::string& name, uint32_t width, uint32_t height, uint16_t bitDepth,
                 const std::vector<uint16_t>& pixels, const uint8_t* metadata)
{
    bool done = false;
    {
        vyksim::VykRawFile file(name, width, height, bitDepth);
        done = file.append(pixels.data(), metadata, nullptr) && file.finish();
    }
    if (!done)
        std::remove(name.c_str());
    return done ? VYK_NOERROR : VYK_ERR_FILE_IO;
}

int32_t exportImage(const void* data, uint32_t width, uint16_t height, const char* layoutCode,
                    int32_t colourOrder, const char* fileName, int32_t flag,
                    const uint8_t* metadata)
{
    if (data == nullptr || fileName == nullptr || layoutCode == nullptr)
        return VYK_ERR_NULL_POINTER;
    const std::optional<ImageLayout> layout = ImageLayout::fromCode(layoutCode);
    if (!layout || width == 0 || height == 0 || flag != 1 || (colourOrder != 0 && colourOrder != 1))
        return VYK_ERR_INVALID_ARGUMENT;
    const std::string name(fileName);
    const std::string suffix = suffixOf(name);
    const bool tiff = suffix == "tif" || suffix == "tiff";
    const bool mono16Only = suffix == "b16" || suffix == "raw";
    if (!tiff && !mono16Only && suffix != "dcm")
        return VYK_ERR_EXPORT_FORMAT;
    if (mono16Only && !(layout->isMono() && layout->bitsPerSample() == 16))
        return VYK_ERR_EXPORT_FORMAT;

    std::vector<uint8_t> packed = layout->packed(data, width, height, colourOrder == 1);
    if (tiff)
        return writeTiff(name, *layout, width, height, packed);
    if (suffix == "dcm")
        return writeDicom(name, *layout, width, height, packed, metadata);
    const std::vector<uint16_t> words = asWords(packed);
    const uint16_t bits = significantBits(*layout, metadata);
    if (suffix == "b16")
        return vyksim::B16File::write(name, width, height, bits, words.data()) ? VYK_NOERROR
                                                                               : VYK_ERR_FILE_IO;
    return writeRaw(name, width, height, bits, words, metadata);
}

} // namespace

extern "C" int32_t VYK_RecorderExportImage(const void* data, uint32_t width, uint16_t height,
                                           const char* layout, int32_t colourOrder,
                                           const char* fileName, int32_t flag,
                                           const uint8_t* metadata)
{
    // A C entry point: no exception may leave it.
    try {
        return exportImage(data, width, height, layout, colourOrder, fileName, flag, metadata);
    } catch (const std::bad_alloc&) {
        return VYK_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return VYK_ERR_FILE_IO;
    }
}
