#include "camera/Roi.h"

#include "camera/JsonFields.h"

namespace vyk {

Roi Roi::unset() { return Roi{kUnset64, kUnset64, kUnset64, kUnset64}; }

bool Roi::isSet() const {
  return !isUnset(x0) && !isUnset(y0) && !isUnset(x1) && !isUnset(y1);
}

bool operator==(const Roi& a, const Roi& b) {
  return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

bool operator!=(const Roi& a, const Roi& b) { return !(a == b); }

void to_json(nlohmann::json& j, const Roi& roi) {
  j = nlohmann::json{{"x0", roi.x0}, {"y0", roi.y0}, {"x1", roi.x1}, {"y1", roi.y1}};
}

void from_json(const nlohmann::json& j, Roi& roi) {
  detail::readField(j, "x0", roi.x0);
  detail::readField(j, "y0", roi.y0);
  detail::readField(j, "x1", roi.x1);
  detail::readField(j, "y1", roi.y1);
}

}  // namespace vyk
