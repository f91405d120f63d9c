#include "camera/Binning.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const Binning& a, const Binning& b) {
  return a.vert == b.vert && a.horz == b.horz && a.mode == b.mode;
}

bool operator!=(const Binning& a, const Binning& b) { return !(a == b); }

void to_json(nlohmann::json& j, const Binning& binning) {
  j = nlohmann::json{{"vert", binning.vert}, {"horz", binning.horz}, {"mode", binning.mode}};
}

void from_json(const nlohmann::json& j, Binning& binning) {
  detail::readField(j, "vert", binning.vert);
  detail::readField(j, "horz", binning.horz);
  detail::readField(j, "mode", binning.mode);
}

}  // namespace vyk
