// Shape of a conversion's destination buffer: channels, channel order and row pitch.
#ifndef VYKCONV_OUTPUT_LAYOUT_H
#define VYKCONV_OUTPUT_LAYOUT_H

#include <cstddef>
#include <cstdint>

namespace vykconv {

// Destination layout of one conversion, derived from mode, flags and size.
class OutputLayout {
public:
    // Builds the layout; returns a vyk result code (VYK_NOERROR when the combination is valid).
    static int32_t make(int32_t mode, uint32_t flags, int32_t width, int32_t height, OutputLayout& out);

    int width = 0;            // pixels per row
    int height = 0;           // rows
    int channels = 1;         // 1 (mono), 3 or 4 elements per pixel
    int redIndex = 2;         // position of red within a pixel (channels >= 3)
    int blueIndex = 0;        // position of blue within a pixel (channels >= 3)
    bool hasAlpha = false;    // 4th element is alpha, written as the largest value
    size_t rowPitch = 0;      // elements per output row, padding included
    size_t elementCount = 0;  // elements in the whole destination

    // Output row that source row y lands in.
    int outputRow(int y, bool flip) const { return flip ? height - 1 - y : y; }
};

// Largest accepted width or height.
constexpr int kMaxDimension = 1 << 16;

} // namespace vykconv

#endif
