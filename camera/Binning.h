#pragma once

#include <cstdint>

#include <nlohmann/json_fwd.hpp>

#include "camera/Enums.h"

namespace vyk {

/// Binning factors and how binned pixels combine.
struct Binning {
  uint16_t vert = 1;                  ///< vertical factor
  uint16_t horz = 1;                  ///< horizontal factor
  BinningMode mode = BinningMode::Sum;  ///< sum or average
};

bool operator==(const Binning& a, const Binning& b);
bool operator!=(const Binning& a, const Binning& b);

void to_json(nlohmann::json& j, const Binning& binning);
void from_json(const nlohmann::json& j, Binning& binning);

}  // namespace vyk
