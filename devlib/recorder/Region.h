// A rectangle of an image in 1-based inclusive pixel coordinates, and copying it out.
#ifndef VYK_RECORDER_REGION_H
#define VYK_RECORDER_REGION_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vykrec {

// The convert of a copy that keeps every pixel value: its rows are copied whole.
struct KeepValue {
    uint16_t operator()(uint16_t value) const { return value; }
};

// Corners x0..x1, y0..y1, 1-based and inclusive, as the copy functions take them.
struct Region {
    uint16_t x0 = 1;
    uint16_t y0 = 1;
    uint16_t x1 = 1;
    uint16_t y1 = 1;

    // True when the region is non-empty and lies inside a width x height image.
    bool within(uint32_t width, uint32_t height) const
    {
        return x0 >= 1 && y0 >= 1 && x0 <= x1 && y0 <= y1 && x1 <= width && y1 <= height;
    }

    // Pixels per row and rows of the region.
    uint32_t width() const { return uint32_t(x1) - x0 + 1; }
    uint32_t height() const { return uint32_t(y1) - y0 + 1; }

    // Copies the region of a source image sourceWidth pixels wide into out (width()*height()
    // values, row by row), passing every pixel through convert.
    template <typename Out, typename Convert>
    void copy(const uint16_t* source, uint32_t sourceWidth, Out* out, Convert convert) const
    {
        const uint32_t w = width();
        for (uint32_t row = 0; row < height(); ++row) {
            const uint16_t* in = source + size_t(y0 - 1 + row) * sourceWidth + (x0 - 1);
            Out* dst = out + size_t(row) * w;
            if constexpr (std::is_same_v<Convert, KeepValue> && std::is_same_v<Out, uint16_t>) {
                std::memcpy(dst, in, w * sizeof(uint16_t));
            } else {
                for (uint32_t x = 0; x < w; ++x)
                    dst[x] = convert(in[x]);
            }
        }
    }
};

} // namespace vykrec

#endif // VYK_RECORDER_REGION_H
