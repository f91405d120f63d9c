#pragma once

#include "lightsource/lsx/LumraType.h"

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace lsx {

/// Fixed properties of one light source; the vectors hold one entry per channel.
struct LumraDescription {
    uint32_t serial = 0xFFFFFFFF;          ///< serial number, the application's key
    std::string com_port;                  ///< connection text the device is attached to
    LumraType type = kLumraTypeAny;        ///< model code
    std::string name;                      ///< display name of the model
    std::vector<uint32_t> wavelengths;     ///< per channel wavelength, nm
    std::vector<uint32_t> exclusivity;     ///< per channel exclusivity group, 0 = not exclusive
    std::vector<uint32_t> intensity_max;   ///< per channel largest intensity, tenths of a percent
    std::vector<uint32_t> intensity_min;   ///< per channel smallest intensity, tenths of a percent
};

bool operator==(const LumraDescription& a, const LumraDescription& b);
bool operator!=(const LumraDescription& a, const LumraDescription& b);

/// Keys "serial", "com_port", "type" (model string), "name", "wavelenghts_vec" (sic),
/// "exclusivity_vec", "intensity_max_vec", "intensity_min_vec".
void to_json(nlohmann::json& j, const LumraDescription& description);
void from_json(const nlohmann::json& j, LumraDescription& description);

}  // namespace lsx
