#pragma once

#include <nlohmann/json_fwd.hpp>

#include "camera/Enums.h"

namespace vyk {

/// Settings used while auto exposure is on.
struct AutoExposure {
  AutoExposureRegion region = AutoExposureRegion::Balanced;  ///< measured image region
  double min_exposure_s = 0.001;                             ///< lower exposure limit, seconds
  double max_exposure_s = 0.1;                               ///< upper exposure limit, seconds
};

/// Field-wise equality; NaN limits compare equal to NaN limits.
bool operator==(const AutoExposure& a, const AutoExposure& b);
bool operator!=(const AutoExposure& a, const AutoExposure& b);

void to_json(nlohmann::json& j, const AutoExposure& autoExposure);
void from_json(const nlohmann::json& j, AutoExposure& autoExposure);

}  // namespace vyk
