// Noise-adapted companding of raw pixel values into 8 bits (CompressedMono8).
#ifndef VYK_RECORDER_COMPANDER_H
#define VYK_RECORDER_COMPANDER_H

#include <cstdint>
#include <vector>

#include "vyk_recorder.h"

namespace vykrec {

// Maps a raw value v to 8 bits so that every code step spans the same multiple of the
// sensor's noise sigma(v): code(v) = min(255, floor(256 * Y(v + 1/2) / Y(full scale + 1)))
// with Y(v) = integral from 0 to v of du / sigma(u), so 256 codes share Y evenly. The noise model, in DN (digital numbers),
// for the signal s = max(0, u - darkOffset):
//   sigma^2 = K*s + (K*dark)^2 + (K*DSNU)^2 + (PRNU*s)^2 + (LSN*s)^2 + 1/12
// (shot noise, dark noise, dark signal non-uniformity, photo response non-uniformity,
// light-source noise; the last term is the quantisation noise of the raw values).
class Compander {
public:
    // True when every parameter is finite and non-negative and the gain is positive.
    static bool valid(const VYK_CompressionParams& params);

    // Builds the table for raw values of bitDepth bits (1..16) above darkOffset.
    Compander(const VYK_CompressionParams& params, uint16_t bitDepth, uint32_t darkOffset);

    // The 8-bit code of raw value v (values above full scale take the top code).
    uint8_t encode(uint16_t v) const { return table_[v < table_.size() ? v : table_.size() - 1]; }

    // A raw value that decodes code: the middle of the raw values mapped to it.
    double decode(uint8_t code) const { return centres_[code]; }

    // Noise (temporal and fixed-pattern) in DN at raw value v, by the model above.
    double sigma(double v) const;

    // Width of one code step in units of sigma (below 1: the companding hides in the noise).
    double stepInSigma() const { return stepInSigma_; }

    // The parameters and bit depth the table was built for.
    const VYK_CompressionParams& params() const { return params_; }
    uint16_t bitDepth() const { return bitDepth_; }

private:
    VYK_CompressionParams params_;
    uint16_t bitDepth_;
    uint32_t darkOffset_;
    std::vector<uint8_t> table_;   // code per raw value 0 .. 2^bitDepth - 1
    std::vector<double> centres_;  // decoded raw value per code
    double stepInSigma_ = 0.0;
};

} // namespace vykrec

#endif // VYK_RECORDER_COMPANDER_H
