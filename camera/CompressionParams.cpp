#include "camera/CompressionParams.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const CompressionParams& a, const CompressionParams& b) {
  return sameValue(a.dGainK, b.dGainK) && sameValue(a.dDarkNoise_e, b.dDarkNoise_e) &&
         sameValue(a.dDSNU_e, b.dDSNU_e) && sameValue(a.dPRNU_pct, b.dPRNU_pct) &&
         sameValue(a.dLightSourceNoise_pct, b.dLightSourceNoise_pct);
}

bool operator!=(const CompressionParams& a, const CompressionParams& b) { return !(a == b); }

void to_json(nlohmann::json& j, const CompressionParams& p) {
  j = nlohmann::json{{"dGainK", p.dGainK},
                     {"dDarkNoise_e", p.dDarkNoise_e},
                     {"dDSNU_e", p.dDSNU_e},
                     {"dPRNU_pct", p.dPRNU_pct},
                     {"dLightSourceNoise_pct", p.dLightSourceNoise_pct}};
}

void from_json(const nlohmann::json& j, CompressionParams& p) {
  detail::readField(j, "dGainK", p.dGainK);
  detail::readField(j, "dDarkNoise_e", p.dDarkNoise_e);
  detail::readField(j, "dDSNU_e", p.dDSNU_e);
  detail::readField(j, "dPRNU_pct", p.dPRNU_pct);
  detail::readField(j, "dLightSourceNoise_pct", p.dLightSourceNoise_pct);
}

}  // namespace vyk
