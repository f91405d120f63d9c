#pragma once

#include <cstdint>

#include <nlohmann/json_fwd.hpp>

#include "camera/AutoExposure.h"
#include "camera/Binning.h"
#include "camera/Roi.h"
#include "camera/Unset.h"

namespace vyk {

/// The camera's changeable settings. Handed to setConfiguration, a field holding its
/// unset marker (see Unset.h) keeps the camera's current value.
struct Configuration {
  double exposure_time_s = 0.0;          ///< exposure time, seconds
  double delay_time_s = 0.0;             ///< delay time, seconds
  Roi roi;                               ///< region of interest
  uint16_t timestamp_mode = 0;           ///< camera timestamp mode code
  uint32_t pixelrate = 0;                ///< pixel rate, one of Description::pixelrate_vec
  double conversion_factor = 0.0;        ///< one of Description::conversion_factor_vec; 0 to 65535
  uint16_t trigger_mode = 0;             ///< trigger mode code
  uint16_t acquire_mode = 0;             ///< acquire mode code; 4 needs acquire_sequence_number
  uint32_t acquire_sequence_number = 0;  ///< images per acquire sequence
  uint16_t metadata_mode = 0;            ///< metadata mode code
  uint16_t noise_filter_mode = 0;        ///< noise filter mode code
  uint32_t pixel_format = 0;             ///< one flag: 0x1 16 bit, 0x2 14, 0x4 12, 0x8 10, 0x10 8 bit
  Binning binning;                       ///< binning factors and mode
  AutoExposure auto_exposure;            ///< settings used while auto exposure is on

  /// A Configuration with every field unset: NaN doubles, 0xFFFF / 0xFFFFFFFF integers,
  /// an unset ROI, unset binning factors (mode sum), auto exposure "balanced" with NaN limits.
  static Configuration unset();
};

/// Field-wise equality; NaN compares equal to NaN.
bool operator==(const Configuration& a, const Configuration& b);
bool operator!=(const Configuration& a, const Configuration& b);

void to_json(nlohmann::json& j, const Configuration& configuration);
void from_json(const nlohmann::json& j, Configuration& configuration);

}  // namespace vyk
