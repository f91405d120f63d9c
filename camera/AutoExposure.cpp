#include "camera/AutoExposure.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const AutoExposure& a, const AutoExposure& b) {
  return a.region == b.region && sameValue(a.min_exposure_s, b.min_exposure_s) &&
         sameValue(a.max_exposure_s, b.max_exposure_s);
}

bool operator!=(const AutoExposure& a, const AutoExposure& b) { return !(a == b); }

void to_json(nlohmann::json& j, const AutoExposure& autoExposure) {
  j = nlohmann::json{{"region", autoExposure.region},
                     {"min_exposure_s", autoExposure.min_exposure_s},
                     {"max_exposure_s", autoExposure.max_exposure_s}};
}

void from_json(const nlohmann::json& j, AutoExposure& autoExposure) {
  detail::readField(j, "region", autoExposure.region);
  detail::readField(j, "min_exposure_s", autoExposure.min_exposure_s);
  detail::readField(j, "max_exposure_s", autoExposure.max_exposure_s);
}

}  // namespace vyk
