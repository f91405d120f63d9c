// What one simulated light source is made of, and where the set comes from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumrasim {

/// One LED channel of a simulated light source.
struct SimChannelSpec {
    uint32_t wavelength = 0;      ///< emission peak, nm
    uint32_t exclusivity = 0;     ///< exclusivity group, 0 = not exclusive
    uint32_t intensityMin = 0;    ///< smallest intensity, tenths of a percent
    uint32_t intensityMax = 1000; ///< largest intensity, tenths of a percent
    uint32_t intensity = 500;     ///< intensity at power-up, tenths of a percent
};

/// How a simulated device misbehaves.
enum class SimFailure {
    None,          ///< healthy
    NotResponding, ///< attached but silent: status 2, every device call times out
    OpenFails      ///< listed with status 0 but opening times out
};

/// One simulated light source as configured.
struct SimLumraSpec {
    uint32_t serial = 0;              ///< serial number
    std::string connection;           ///< connection text, e.g. "/dev/ttyACM0"
    uint32_t model = 2;               ///< model code 0..9
    std::vector<SimChannelSpec> channels; ///< channel list, at most LUMRA_MAX_CHANNELS
    uint32_t statusWord = 0;          ///< last value of the "GetUnitStatus" answer
    SimFailure failure = SimFailure::None; ///< injected failure
};

/// The device set: from the "light_sources" key of the file named by RASTEL_SIM_CONFIG,
/// else the built-in four-channel device. Invalid entries are skipped (reported on stderr).
std::vector<SimLumraSpec> loadSimLumraSpecs();

/// The built-in device: 385/470/560/640 nm, the first two mutually exclusive.
SimLumraSpec defaultSimLumraSpec();

}  // namespace lumrasim
