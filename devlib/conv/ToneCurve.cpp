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
        // Clamping to [lo, min(hi, top)] equals clamping to top and then to [lo, hi]; with
        // both bounds in 0..65535 it runs on 16-bit lanes, twice as many per instruction.
        // In blocks: the clamped offsets first, all in 16-bit lanes, then the scaling in
        // 32-bit lanes; written as one loop the compiler widens before clamping.
        const uint16_t lo = static_cast<uint16_t>(std::min(lo_, top));
        const uint16_t hi = static_cast<uint16_t>(std::max<int32_t>(std::min(hi_, top), lo));
        const uint32_t scale = scale_;
        constexpr int kBlock = 256;
        alignas(32) uint16_t offset[kBlock];
        for (int first = 0; first < n; first += kBlock) {
            const int count = std::min(kBlock, n - first);
            const uint16_t* in = src + first;
            uint8_t* __restrict out = dst + first;
            for (int i = 0; i < count; ++i)
                offset[i] = static_cast<uint16_t>(std::min(std::max(in[i], lo), hi) - lo);
            for (int i = 0; i < count; ++i)
                out[i] = static_cast<uint8_t>((offset[i] * scale + (1u << (kScaleShift - 1))) >> kScaleShift);
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
