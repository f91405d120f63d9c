#pragma once

#include <cstdint>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// One segment of camera RAM or of the DXR recorder's RAM; lists travel as JSON arrays.
struct RamAllocation {
  uint16_t alloc_id = 0;          ///< segment number
  uint64_t segment_size = 0;      ///< size in the unit the camera reports
  double percent_of_total = 0.0;  ///< share of the whole RAM, 0 to 100
  uint32_t camera_serial = 0;     ///< serial number of the camera the segment belongs to
};

/// Field-wise equality; NaN compares equal to NaN.
bool operator==(const RamAllocation& a, const RamAllocation& b);
bool operator!=(const RamAllocation& a, const RamAllocation& b);

void to_json(nlohmann::json& j, const RamAllocation& allocation);
void from_json(const nlohmann::json& j, RamAllocation& allocation);

}  // namespace vyk
