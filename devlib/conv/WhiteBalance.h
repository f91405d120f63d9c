// White-balance gains from a colour temperature and a tint.
#ifndef VYKCONV_WHITE_BALANCE_H
#define VYKCONV_WHITE_BALANCE_H

#include <array>
#include <cstdint>

namespace vykconv {

// Computes the red, green and blue gains that neutralise light of a given colour
// temperature, relative to daylight (6500 K gives 1, 1, 1). The light is modelled as
// a black body seen through three narrow channels at 610, 550 and 465 nm.
class WhiteBalance {
public:
    // Gains {red, green, blue} for temperature (Kelvin, clamped to 1000..20000) and tint (-100..100,
    // positive towards magenta). Each gain lies in [kMinGain, kMaxGain].
    static std::array<double, 3> gains(int32_t temperature, int32_t tint);

    static constexpr double kMinGain = 1.0 / 16; // smallest gain ever returned
    static constexpr double kMaxGain = 16.0;   // largest gain ever returned
    static constexpr int32_t kReferenceTemperature = 6500; // Kelvin with unit gains
};

} // namespace vykconv

#endif
