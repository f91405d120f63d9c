#pragma once

#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace lsx {

/// The changeable state of a light source; one entry per channel in each list.
struct LumraConfiguration {
    std::vector<uint32_t> intensities; ///< per channel intensity, tenths of a percent
    std::vector<bool> on_states;       ///< per channel on/off
};

bool operator==(const LumraConfiguration& a, const LumraConfiguration& b);
bool operator!=(const LumraConfiguration& a, const LumraConfiguration& b);

/// Keys "intensities" and "on_states"; both must be arrays.
void to_json(nlohmann::json& j, const LumraConfiguration& configuration);
void from_json(const nlohmann::json& j, LumraConfiguration& configuration);

}  // namespace lsx
