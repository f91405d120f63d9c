// 3 x 3 unsharp mask on 8-bit pixel rows, plain or adaptive.
#ifndef VYKCONV_SHARPENER_H
#define VYKCONV_SHARPENER_H

#include <cstdint>

namespace vykconv {

// Sharpens one row of an 8-bit plane of interleaved pixels: out = c + 1.5 (c - blur),
// blur being the 3 x 3 binomial average of the same channel. The adaptive variant
// scales the correction down to zero where the local detail is within noise level,
// so flat noisy areas are not roughened. The first and last pixel of a row are copied.
class Sharpener {
public:
    // above, row, below: neighbouring rows of the source plane (the same pointer at the
    // frame's edge); width pixels of channels elements; out receives width x channels bytes.
    static void sharpenRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int width,
                           int channels, bool adaptive, uint8_t* out);

    // Detail (16 c - 3 x 3 binomial sum) below which the adaptive variant does nothing;
    // the correction ramps up to full strength over the next kNoiseLevel.
    static constexpr int32_t kNoiseLevel = 64;
};

} // namespace vykconv

#endif
