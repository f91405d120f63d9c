#pragma once

#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "camera/Enums.h"

namespace vyk {

/// The camera's fixed capabilities.
struct Description {
  uint32_t serial = 0;                                    ///< serial number
  uint16_t type = 0;                                      ///< camera type code
  uint16_t sub_type = 0;                                  ///< camera sub-type code
  InterfaceType interface_type = InterfaceType::FireWire;  ///< interface the camera is on
  double min_exposure_time_s = 0.0;                       ///< seconds
  double max_exposure_time_s = 0.0;                       ///< seconds
  double min_exposure_step_s = 0.0;                       ///< seconds
  double min_delay_time_s = 0.0;                          ///< seconds
  double max_delay_time_s = 0.0;                          ///< seconds
  double min_delay_step_s = 0.0;                          ///< seconds
  uint64_t min_width = 0;                                 ///< pixels
  uint64_t min_height = 0;                                ///< pixels
  uint64_t max_width = 0;                                 ///< pixels
  uint64_t max_height = 0;                                ///< pixels
  uint64_t roi_step_horz = 0;                             ///< pixels
  uint64_t roi_step_vert = 0;                             ///< pixels
  bool roi_symmetric_horz = false;                        ///< ROI must be horizontally symmetric
  bool roi_symmetric_vert = false;                        ///< ROI must be vertically symmetric
  uint16_t bit_resolution = 0;                            ///< sensor bits per pixel
  bool has_timestamp_mode = false;                        ///< timestamp modes available
  bool has_timestamp_mode_ascii_only = false;             ///< ASCII-only timestamp mode available
  std::vector<uint32_t> pixelrate_vec;                    ///< selectable pixel rates
  std::vector<double> conversion_factor_vec;              ///< selectable conversion factors
  bool has_trigger_mode_extexpctrl = false;               ///< external exposure control available
  bool has_acquire_mode = false;                          ///< acquire modes available
  bool has_ext_acquire_mode = false;                      ///< extended acquire mode available
  bool has_metadata_mode = false;                         ///< metadata available
  bool has_ram = false;                                   ///< camera has internal RAM
  std::vector<uint16_t> binning_horz_vec;                 ///< allowed horizontal binning values
  std::vector<uint16_t> binning_vert_vec;                 ///< allowed vertical binning values
  bool has_average_binning = false;                       ///< average binning available
  std::vector<uint32_t> pixel_format_vec;                 ///< supported pixel-format flags
  bool is_colored = false;                                ///< colour sensor
  /// 0 area sensor; 1 line sensor with single-line images; 2 line sensor, max_height >= 2.
  /// Not part of the JSON form: a Description read from JSON has 0.
  uint32_t line_sensor_mode = 0;
};

/// Field-wise equality (including line_sensor_mode); NaN compares equal to NaN.
bool operator==(const Description& a, const Description& b);
bool operator!=(const Description& a, const Description& b);

void to_json(nlohmann::json& j, const Description& description);
void from_json(const nlohmann::json& j, Description& description);

}  // namespace vyk
