// Per-pixel colour correction: white balance, sensor colour matrix, saturation, vibrance.
#ifndef VYKCONV_COLOR_TRANSFORM_H
#define VYKCONV_COLOR_TRANSFORM_H

#include <array>
#include <cstdint>

namespace vykconv {

// One fixed-point 3 x 3 matrix (saturation x sensor matrix x white-balance gains)
// followed by an optional vibrance step. Values stay in raw units, 0..maxCode.
class ColorTransform {
public:
    // gains {r, g, b}; matrix row by row (all zero = identity); saturation and
    // vibrance -100..100; bits 1..16 are the significant raw bits.
    void configure(const std::array<double, 3>& gains, const std::array<double, 9>& matrix,
                   int32_t saturation, int32_t vibrance, int bits);

    // Transforms n pixels in place; inputs and outputs lie in 0..maxCode.
    void apply(int32_t* red, int32_t* green, int32_t* blue, int n) const;

    // True when apply would change nothing.
    bool isIdentity() const { return identity_ && vibrance_ == 0; }

    // Largest magnitude of a combined coefficient; larger ones are clamped.
    static constexpr double kMaxCoefficient = 16.0;

private:
    void applyMatrix(int32_t* red, int32_t* green, int32_t* blue, int n) const;   // coeff_ x pixel, clamped
    void applyVibrance(int32_t* red, int32_t* green, int32_t* blue, int n) const; // chroma boost by dullness

    std::array<int32_t, 9> coeff_{}; // combined matrix in units of 2^-shift_
    int shift_ = 10;                 // fraction bits of coeff_, chosen so sums fit 32 bits
    bool identity_ = true;           // coeff_ is the identity
    int32_t vibrance_ = 0;           // vibrance in units of 1/256 (-256..256)
    int bits_ = 16;                  // significant raw bits
    int32_t maxCode_ = 65535;        // 2^bits - 1
};

} // namespace vykconv

#endif
