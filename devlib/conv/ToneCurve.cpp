#include "ToneCurve.h"
#include "HotLoop.h"

#include <algorithm>
#include <cmath>

namespace vykconv {

namespace {

// Fraction bits of the linear ramp's scale. (hi - lo) x scale stays below 255 x 2^22
// plus rounding, well inside 32 bits.
constexpr int kScaleShift = 22;

// Limits are kept within this magnitude so that hi - lo cannot overflow.
constexpr int32_t kLimitBound = 1 << 20;

// Contrast as a slope around mid-grey: -100 flattens to grey, +100 steepens four-fold.
double contrastSlope(int32_t contrast)
{
    return contrast <= 0 ? 1.0 + contrast / 100.0 : 1.0 + 3.0 * contrast / 100.0;
}

// Linear ramp of one value already clamped to [lo, hi].
inline uint8_t ramp(int32_t v, int32_t lo, int32_t hi, uint32_t scale)
{
    v = std::min(std::max(v, lo), hi);
    return static_cast<uint8_t>((static_cast<uint32_t>(v - lo) * scale + (1u << (kScaleShift - 1))) >> kScaleShift);
}

// The pixel loop of ToneCurve::mapPixels for one layout; map(v) is the tone mapping.
template <int Channels, bool RedFirst, typename Map>
inline __attribute__((always_inline)) void mapPixelLoop(const int32_t* red, const int32_t* green, const int32_t* blue,
                                                        uint8_t* __restrict out, int n, Map map)
{
    for (int i = 0; i < n; ++i) {
        uint8_t* p = out + i * Channels;
        p[RedFirst ? 0 : 2] = map(red[i]);
        p[1] = map(green[i]);
        p[RedFirst ? 2 : 0] = map(blue[i]);
        if (Channels == 4)
            p[3] = 255;
    }
}

template <typename Map>
inline __attribute__((always_inline)) void mapPixelLayouts(const int32_t* red, const int32_t* green,
                                                           const int32_t* blue, uint8_t* out, int n, int channels,
                                                           bool redFirst, Map map)
{
    if (channels == 4)
        redFirst ? mapPixelLoop<4, true>(red, green, blue, out, n, map) : mapPixelLoop<4, false>(red, green, blue, out, n, map);
    else
        redFirst ? mapPixelLoop<3, true>(red, green, blue, out, n, map) : mapPixelLoop<3, false>(red, green, blue, out, n, map);
}

} // namespace

bool ToneCurve::configure(int bits, int32_t minLimit, int32_t maxLimit, int32_t gammaX100, int32_t contrast)
{
    const int32_t lo = std::clamp(minLimit, -kLimitBound, kLimitBound);
    const int32_t hi = std::max(std::clamp(maxLimit, -kLimitBound, kLimitBound), lo + 1);
    const int32_t gamma = std::max(gammaX100, 1);
    const int32_t contr = std::clamp(contrast, -100, 100);
    if (bits == bits_ && lo == lo_ && hi == hi_ && gamma == gamma_ && contr == contrast_)
        return false;
    bits_ = bits;
    lo_ = lo;
    hi_ = hi;
    gamma_ = gamma;
    contrast_ = contr;
    maxCode_ = (1 << bits) - 1;
    linear_ = gamma == 100 && contr == 0;
    if (linear_) {
        const double range = static_cast<double>(hi) - lo;
        scale_ = static_cast<uint32_t>(std::lround(255.0 * (1 << kScaleShift) / range));
        configureNarrowRamp();
        table_.clear();
        table_.shrink_to_fit();
        return true;
    }
    table_.resize(static_cast<size_t>(maxCode_) + 1u);
    // Below lo and above hi the curve is flat: evaluate only the ramp.
    const uint8_t low = static_cast<uint8_t>(std::lround(evaluate(lo)));
    const uint8_t high = static_cast<uint8_t>(std::lround(evaluate(hi)));
    for (int v = 0; v <= maxCode_; ++v) {
        if (v <= lo)
            table_[static_cast<size_t>(v)] = low;
        else if (v >= hi)
            table_[static_cast<size_t>(v)] = high;
        else
            table_[static_cast<size_t>(v)] = static_cast<uint8_t>(std::lround(evaluate(v)));
    }
    return true;
}

void ToneCurve::configureNarrowRamp()
{
    if (lo_ < 0)
        return; // mapRaw takes the 32-bit ramp
    narrowLo_ = static_cast<uint16_t>(std::min(lo_, maxCode_));
    narrowHi_ = static_cast<uint16_t>(std::max<int32_t>(std::min(hi_, maxCode_), narrowLo_));
    const uint32_t largest = static_cast<uint32_t>(narrowHi_ - narrowLo_);
    narrowShift_ = 1;
    narrowScale_ = 0;
    if (largest == 0)
        return; // every value maps to black
    while (largest * narrowShift_ * 2u <= 0xFFFFu)
        narrowShift_ = static_cast<uint16_t>(narrowShift_ * 2u);
    // (hi - lo) x shift >= largest x shift >= 32768, so the scale stays below 65281. Rounding
    // it up keeps the product from falling short, so floor and round-off stay within 1/128.
    const double range = (static_cast<double>(hi_) - lo_) * narrowShift_;
    narrowScale_ = static_cast<uint16_t>(std::ceil(255.0 * 128.0 * 65536.0 / range));
}

double ToneCurve::evaluate(int value) const
{
    const int32_t v = std::clamp<int32_t>(std::min(value, maxCode_), lo_, hi_);
    double x = (static_cast<double>(v) - lo_) / (static_cast<double>(hi_) - lo_);
    if (gamma_ != 100)
        x = std::pow(x, 100.0 / gamma_);
    if (contrast_ != 0)
        x = 0.5 + (x - 0.5) * contrastSlope(contrast_);
    return std::clamp(x, 0.0, 1.0) * 255.0;
}

VYKCONV_HOT_LOOP
void ToneCurve::mapRaw(const uint16_t* src, uint8_t* __restrict dst, int n) const
{
    const int32_t top = maxCode_;
    if (linear_ && lo_ >= 0) {
        // Clamping to [lo, min(hi, top)] equals clamping to top and then to [lo, hi]. Every
        // step stays in 16-bit lanes, sixteen values per AVX2 instruction: the offset is
        // scaled up to fill 16 bits, multiplied by the ramp keeping the high half, which is
        // the level in units of 1/128, and rounded to a whole level. Before that rounding
        // the level is within 1/128 of the exact ramp.
        const uint16_t lo = narrowLo_;
        const uint16_t hi = narrowHi_;
        const uint16_t shift = narrowShift_;
        const uint16_t scale = narrowScale_;
        for (int i = 0; i < n; ++i) {
            const uint16_t offset = static_cast<uint16_t>(static_cast<uint16_t>(std::min(std::max(src[i], lo), hi) - lo) * shift);
            const uint16_t level128 = static_cast<uint16_t>((static_cast<uint32_t>(offset) * scale) >> 16);
            dst[i] = static_cast<uint8_t>(static_cast<uint16_t>(level128 + 64u) >> 7);
        }
        return;
    }
    if (linear_) {
        const int32_t lo = lo_;
        const int32_t hi = hi_;
        const uint32_t scale = scale_;
        for (int i = 0; i < n; ++i)
            dst[i] = ramp(std::min<int32_t>(src[i], top), lo, hi, scale);
        return;
    }
    const uint8_t* table = table_.data();
    for (int i = 0; i < n; ++i)
        dst[i] = table[std::min<int32_t>(src[i], top)];
}

VYKCONV_HOT_LOOP
void ToneCurve::mapPixels(const int32_t* red, const int32_t* green, const int32_t* blue, uint8_t* out, int n,
                          int channels, bool redFirst) const
{
    if (linear_) {
        const int32_t lo = lo_;
        const int32_t hi = hi_;
        const uint32_t scale = scale_;
        mapPixelLayouts(red, green, blue, out, n, channels, redFirst,
                        [=](int32_t v) { return ramp(v, lo, hi, scale); });
        return;
    }
    const uint8_t* table = table_.data();
    mapPixelLayouts(red, green, blue, out, n, channels, redFirst, [=](int32_t v) { return table[v]; });
}

} // namespace vykconv
