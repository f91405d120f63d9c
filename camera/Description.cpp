#include "camera/Description.h"

#include <algorithm>

#include "camera/JsonFields.h"

namespace vyk {

namespace {

bool sameValues(const std::vector<double>& a, const std::vector<double>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](double x, double y) { return sameValue(x, y); });
}

}  // namespace

bool operator==(const Description& a, const Description& b) {
  return a.serial == b.serial && a.type == b.type && a.sub_type == b.sub_type &&
         a.interface_type == b.interface_type &&
         sameValue(a.min_exposure_time_s, b.min_exposure_time_s) &&
         sameValue(a.max_exposure_time_s, b.max_exposure_time_s) &&
         sameValue(a.min_exposure_step_s, b.min_exposure_step_s) &&
         sameValue(a.min_delay_time_s, b.min_delay_time_s) &&
         sameValue(a.max_delay_time_s, b.max_delay_time_s) &&
         sameValue(a.min_delay_step_s, b.min_delay_step_s) && a.min_width == b.min_width &&
         a.min_height == b.min_height && a.max_width == b.max_width &&
         a.max_height == b.max_height && a.roi_step_horz == b.roi_step_horz &&
         a.roi_step_vert == b.roi_step_vert && a.roi_symmetric_horz == b.roi_symmetric_horz &&
         a.roi_symmetric_vert == b.roi_symmetric_vert && a.bit_resolution == b.bit_resolution &&
         a.has_timestamp_mode == b.has_timestamp_mode &&
         a.has_timestamp_mode_ascii_only == b.has_timestamp_mode_ascii_only &&
         a.pixelrate_vec == b.pixelrate_vec &&
         sameValues(a.conversion_factor_vec, b.conversion_factor_vec) &&
         a.has_trigger_mode_extexpctrl == b.has_trigger_mode_extexpctrl &&
         a.has_acquire_mode == b.has_acquire_mode &&
         a.has_ext_acquire_mode == b.has_ext_acquire_mode &&
         a.has_metadata_mode == b.has_metadata_mode && a.has_ram == b.has_ram &&
         a.binning_horz_vec == b.binning_horz_vec && a.binning_vert_vec == b.binning_vert_vec &&
         a.has_average_binning == b.has_average_binning &&
         a.pixel_format_vec == b.pixel_format_vec && a.is_colored == b.is_colored &&
         a.line_sensor_mode == b.line_sensor_mode;
}

bool operator!=(const Description& a, const Description& b) { return !(a == b); }

void to_json(nlohmann::json& j, const Description& d) {
  j = nlohmann::json{{"serial", d.serial},
                     {"type", d.type},
                     {"sub_type", d.sub_type},
                     {"interface_type", d.interface_type},
                     {"min_exposure_time_s", d.min_exposure_time_s},
                     {"max_exposure_time_s", d.max_exposure_time_s},
                     {"min_exposure_step_s", d.min_exposure_step_s},
                     {"min_delay_time_s", d.min_delay_time_s},
                     {"max_delay_time_s", d.max_delay_time_s},
                     {"min_delay_step_s", d.min_delay_step_s},
                     {"min_width", d.min_width},
                     {"min_height", d.min_height},
                     {"max_width", d.max_width},
                     {"max_height", d.max_height},
                     {"roi_step_horz", d.roi_step_horz},
                     {"roi_step_vert", d.roi_step_vert},
                     {"roi_symmetric_horz", d.roi_symmetric_horz},
                     {"roi_symmetric_vert", d.roi_symmetric_vert},
                     {"bit_resolution", d.bit_resolution},
                     {"has_timestamp_mode", d.has_timestamp_mode},
                     {"has_timestamp_mode_ascii_only", d.has_timestamp_mode_ascii_only},
                     {"pixelrate_vec", d.pixelrate_vec},
                     {"conversion_factor_vec", d.conversion_factor_vec},
                     {"has_trigger_mode_extexpctrl", d.has_trigger_mode_extexpctrl},
                     {"has_acquire_mode", d.has_acquire_mode},
                     {"has_ext_acquire_mode", d.has_ext_acquire_mode},
                     {"has_metadata_mode", d.has_metadata_mode},
                     {"has_ram", d.has_ram},
                     {"binning_horz_vec", d.binning_horz_vec},
                     {"binning_vert_vec", d.binning_vert_vec},
                     {"has_average_binning", d.has_average_binning},
                     {"pixel_format_vec", d.pixel_format_vec},
                     {"is_colored", d.is_colored}};
}

void from_json(const nlohmann::json& j, Description& d) {
  detail::readField(j, "serial", d.serial);
  detail::readField(j, "type", d.type);
  detail::readField(j, "sub_type", d.sub_type);
  detail::readField(j, "interface_type", d.interface_type);
  detail::readField(j, "min_exposure_time_s", d.min_exposure_time_s);
  detail::readField(j, "max_exposure_time_s", d.max_exposure_time_s);
  detail::readField(j, "min_exposure_step_s", d.min_exposure_step_s);
  detail::readField(j, "min_delay_time_s", d.min_delay_time_s);
  detail::readField(j, "max_delay_time_s", d.max_delay_time_s);
  detail::readField(j, "min_delay_step_s", d.min_delay_step_s);
  detail::readField(j, "min_width", d.min_width);
  detail::readField(j, "min_height", d.min_height);
  detail::readField(j, "max_width", d.max_width);
  detail::readField(j, "max_height", d.max_height);
  detail::readField(j, "roi_step_horz", d.roi_step_horz);
  detail::readField(j, "roi_step_vert", d.roi_step_vert);
  detail::readField(j, "roi_symmetric_horz", d.roi_symmetric_horz);
  detail::readField(j, "roi_symmetric_vert", d.roi_symmetric_vert);
  detail::readField(j, "bit_resolution", d.bit_resolution);
  detail::readField(j, "has_timestamp_mode", d.has_timestamp_mode);
  detail::readField(j, "has_timestamp_mode_ascii_only", d.has_timestamp_mode_ascii_only);
  detail::readField(j, "pixelrate_vec", d.pixelrate_vec);
  detail::readField(j, "conversion_factor_vec", d.conversion_factor_vec);
  detail::readField(j, "has_trigger_mode_extexpctrl", d.has_trigger_mode_extexpctrl);
  detail::readField(j, "has_acquire_mode", d.has_acquire_mode);
  detail::readField(j, "has_ext_acquire_mode", d.has_ext_acquire_mode);
  detail::readField(j, "has_metadata_mode", d.has_metadata_mode);
  detail::readField(j, "has_ram", d.has_ram);
  detail::readField(j, "binning_horz_vec", d.binning_horz_vec);
  detail::readField(j, "binning_vert_vec", d.binning_vert_vec);
  detail::readField(j, "has_average_binning", d.has_average_binning);
  detail::readField(j, "pixel_format_vec", d.pixel_format_vec);
  detail::readField(j, "is_colored", d.is_colored);
  d.line_sensor_mode = 0;  // not carried by the JSON form
}

}  // namespace vyk
