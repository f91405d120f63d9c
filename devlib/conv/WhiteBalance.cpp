#include "WhiteBalance.h"

#include <algorithm>
#include <cmath>

namespace vykconv {

namespace {

// Effective wavelengths (metres) of the red, green and blue channels.
constexpr double kWavelength[3] = {610e-9, 550e-9, 465e-9};

// Second radiation constant h c / k, metre Kelvin.
constexpr double kC2 = 1.4388e-2;

// Spectral radiance of a black body at wavelength l and temperature t, up to a
// constant factor (Planck's law).
double planck(double l, double t)
{
    return 1.0 / (std::pow(l, 5) * std::expm1(kC2 / (l * t)));
}

// Red, green and blue excitation of a black body, relative to green.
std::array<double, 3> blackBodyRgb(double t)
{
    const double green = planck(kWavelength[1], t);
    return {planck(kWavelength[0], t) / green, 1.0, planck(kWavelength[2], t) / green};
}

} // namespace

std::array<double, 3> WhiteBalance::gains(int32_t temperature, int32_t tint)
{
    const auto reference = blackBodyRgb(kReferenceTemperature);
    const auto light = blackBodyRgb(std::clamp(temperature, 1000, 20000));
    std::array<double, 3> result{};
    for (size_t c = 0; c < 3; ++c)
        result[c] = reference[c] / light[c];
    // Positive tint takes green away (towards magenta), negative adds it.
    result[1] *= 1.0 - 0.003 * std::clamp(tint, -100, 100);
    for (double& g : result)
        g = std::clamp(g, kMinGain, kMaxGain);
    return result;
}

} // namespace vykconv
