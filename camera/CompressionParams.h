#pragma once

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// Noise model of the camera, required for DataFormat CompressedMono8.
struct CompressionParams {
  double dGainK = 0.0;                 ///< gain, electrons per count
  double dDarkNoise_e = 0.0;           ///< dark noise, electrons
  double dDSNU_e = 0.0;                ///< dark signal non-uniformity, electrons
  double dPRNU_pct = 0.0;              ///< photo response non-uniformity, percent
  double dLightSourceNoise_pct = 0.0;  ///< light source noise, percent
};

/// Field-wise equality; NaN compares equal to NaN.
bool operator==(const CompressionParams& a, const CompressionParams& b);
bool operator!=(const CompressionParams& a, const CompressionParams& b);

void to_json(nlohmann::json& j, const CompressionParams& params);
void from_json(const nlohmann::json& j, CompressionParams& params);

}  // namespace vyk
