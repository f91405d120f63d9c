#include "ColorTransform.h"
#include "HotLoop.h"

#include <algorithm>
#include <cmath>

namespace vykconv {

namespace {

using Matrix = std::array<double, 9>;

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r * 3 + c] = a[r * 3] * b[c] + a[r * 3 + 1] * b[3 + c] + a[r * 3 + 2] * b[6 + c];
    return m;
}

// Luma weights of the saturation step (Rec. 601), in units of 1/256 for vibrance.
constexpr double kLumaR = 0.299, kLumaG = 0.587, kLumaB = 0.114;
constexpr int32_t kLumaR8 = 77, kLumaG8 = 150, kLumaB8 = 29;

} // namespace

void ColorTransform::configure(const std::array<double, 3>& gains, const std::array<double, 9>& matrix,
                               int32_t saturation, int32_t vibrance, int bits)
{
    bits_ = bits;
    maxCode_ = (1 << bits) - 1;
    Matrix sensor = matrix;
    if (std::all_of(sensor.begin(), sensor.end(), [](double v) { return v == 0.0; }))
        sensor = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const Matrix balance = {gains[0], 0, 0, 0, gains[1], 0, 0, 0, gains[2]};
    const double s = 1.0 + std::clamp(saturation, -100, 100) / 100.0;
    const Matrix saturate = {s + (1 - s) * kLumaR, (1 - s) * kLumaG, (1 - s) * kLumaB,
                             (1 - s) * kLumaR, s + (1 - s) * kLumaG, (1 - s) * kLumaB,
                             (1 - s) * kLumaR, (1 - s) * kLumaG, s + (1 - s) * kLumaB};
    const Matrix combined = multiply(saturate, multiply(sensor, balance));
    // Three products of maxCode x kMaxCoefficient x 2^shift must fit in 31 bits.
    shift_ = std::clamp(25 - bits, 9, 16);
    identity_ = true;
    for (int i = 0; i < 9; ++i) {
        const double v = std::clamp(combined[static_cast<size_t>(i)], -kMaxCoefficient, kMaxCoefficient);
        coeff_[static_cast<size_t>(i)] = static_cast<int32_t>(std::lround(std::ldexp(v, shift_)));
        const int32_t unit = (i % 4 == 0) ? (1 << shift_) : 0;
        identity_ = identity_ && coeff_[static_cast<size_t>(i)] == unit;
    }
    vibrance_ = std::clamp(vibrance, -100, 100) * 256 / 100;
}

void ColorTransform::apply(int32_t* red, int32_t* green, int32_t* blue, int n) const
{
    if (!identity_)
        applyMatrix(red, green, blue, n);
    if (vibrance_ != 0)
        applyVibrance(red, green, blue, n);
}

VYKCONV_HOT_LOOP
void ColorTransform::applyMatrix(int32_t* __restrict red, int32_t* __restrict green, int32_t* __restrict blue, int n) const
{
    const int32_t m0 = coeff_[0], m1 = coeff_[1], m2 = coeff_[2];
    const int32_t m3 = coeff_[3], m4 = coeff_[4], m5 = coeff_[5];
    const int32_t m6 = coeff_[6], m7 = coeff_[7], m8 = coeff_[8];
    const int shift = shift_;
    const int32_t half = 1 << (shift - 1);
    const int32_t top = maxCode_;
    for (int i = 0; i < n; ++i) {
        const int32_t r = red[i], g = green[i], b = blue[i];
        const int32_t r2 = (m0 * r + m1 * g + m2 * b + half) >> shift;
        const int32_t g2 = (m3 * r + m4 * g + m5 * b + half) >> shift;
        const int32_t b2 = (m6 * r + m7 * g + m8 * b + half) >> shift;
        red[i] = std::min(std::max(r2, 0), top);
        green[i] = std::min(std::max(g2, 0), top);
        blue[i] = std::min(std::max(b2, 0), top);
    }
}

VYKCONV_HOT_LOOP
void ColorTransform::applyVibrance(int32_t* __restrict red, int32_t* __restrict green, int32_t* __restrict blue,
                                    int n) const
{
    // Dull pixels (small spread between channels) get the full vibrance, fully
    // saturated ones none: factor = 1 + vibrance x (1 - spread / full scale).
    const int32_t vib = vibrance_;
    const int bits = bits_;
    const int32_t top = maxCode_;
    for (int i = 0; i < n; ++i) {
        const int32_t r = red[i], g = green[i], b = blue[i];
        const int32_t hi = std::max(r, std::max(g, b));
        const int32_t lo = std::min(r, std::min(g, b));
        const int32_t spread = std::min(((hi - lo) << 8) >> bits, 255);
        const int32_t factor = 256 + ((vib * (256 - spread)) >> 8);
        const int32_t luma = (kLumaR8 * r + kLumaG8 * g + kLumaB8 * b) >> 8;
        red[i] = std::min(std::max(luma + (((r - luma) * factor) >> 8), 0), top);
        green[i] = std::min(std::max(luma + (((g - luma) * factor) >> 8), 0), top);
        blue[i] = std::min(std::max(luma + (((b - luma) * factor) >> 8), 0), top);
    }
}

} // namespace vykconv
