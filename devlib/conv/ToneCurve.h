// Maps raw values to 8-bit display values: limits, gamma and contrast.
#ifndef VYKCONV_TONE_CURVE_H
#define VYKCONV_TONE_CURVE_H

#include <cstdint>
#include <vector>

namespace vykconv {

// The raw-to-8-bit mapping of a handle. With gamma 1.0 and contrast 0 it is a
// fixed-point linear ramp; otherwise a table of 2^bits entries, rebuilt only when
// one of its inputs changes. Not thread-safe to configure; mapping is const.
class ToneCurve {
public:
    // Sets the inputs; returns true when the mapping had to be rebuilt.
    // bits 1..16; the limits are raw values (max below min + 1 counts as min + 1);
    // gammaX100 >= 1; contrast -100..100.
    bool configure(int bits, int32_t minLimit, int32_t maxLimit, int32_t gammaX100, int32_t contrast);

    // Maps n raw values (anything above the largest code counts as the largest code).
    void mapRaw(const uint16_t* src, uint8_t* __restrict dst, int n) const;

    // Maps n pixels of red, green and blue values (each already clamped to 0..maxCode())
    // into interleaved 8-bit pixels of channels (3 or 4, the 4th being alpha = 255)
    // elements, red first when redFirst, else blue first.
    void mapPixels(const int32_t* red, const int32_t* green, const int32_t* blue, uint8_t* out, int n,
                   int channels, bool redFirst) const;

    // The exact mapping of one raw value, in floating point (reference and table builder).
    double evaluate(int value) const;

    // The largest raw code, 2^bits - 1.
    int maxCode() const { return maxCode_; }

    // True while the fixed-point linear ramp is in use instead of the table.
    bool isLinear() const { return linear_; }

private:
    // Derives the 16-bit raw ramp from lo_, hi_ and maxCode_ (linear mapping, lo_ >= 0).
    void configureNarrowRamp();

    int bits_ = 0;            // significant raw bits of the current mapping (0 = not built)
    int32_t lo_ = 0;          // raw value mapped to 0
    int32_t hi_ = 1;          // raw value mapped to 255, always > lo_
    int32_t gamma_ = 100;     // gamma x 100
    int32_t contrast_ = 0;    // -100..100
    int maxCode_ = 0;         // 2^bits - 1
    bool linear_ = true;      // linear ramp (gamma 1.0, contrast 0)
    uint32_t scale_ = 0;      // linear ramp: 255 / (hi - lo) in units of 2^-22
    // Raw ramp on 16-bit lanes (lo_ >= 0): level x 128 = ((v - lo) x narrowShift_ x narrowScale_) >> 16.
    uint16_t narrowLo_ = 0;    // lo_ cut to the raw range
    uint16_t narrowHi_ = 0;    // min(hi_, maxCode_), at least narrowLo_
    uint16_t narrowShift_ = 1; // power of two that brings the largest offset to 32768..65535
    uint16_t narrowScale_ = 0; // 255 x 128 x 2^16 / ((hi - lo) x narrowShift_), rounded up
    std::vector<uint8_t> table_; // table path: 2^bits output values
};

} // namespace vykconv

#endif
