#include "camera/Configuration.h"

#include "camera/JsonFields.h"

namespace vyk {

Configuration Configuration::unset() {
  Configuration c;
  c.exposure_time_s = kUnsetDouble;
  c.delay_time_s = kUnsetDouble;
  c.roi = Roi::unset();
  c.timestamp_mode = kUnset16;
  c.pixelrate = kUnset32;
  c.conversion_factor = kUnsetDouble;
  c.trigger_mode = kUnset16;
  c.acquire_mode = kUnset16;
  c.acquire_sequence_number = kUnset32;
  c.metadata_mode = kUnset16;
  c.noise_filter_mode = kUnset16;
  c.pixel_format = kUnset32;
  c.binning = Binning{kUnset16, kUnset16, BinningMode::Sum};
  c.auto_exposure = AutoExposure{AutoExposureRegion::Balanced, kUnsetDouble, kUnsetDouble};
  return c;
}

bool operator==(const Configuration& a, const Configuration& b) {
  return sameValue(a.exposure_time_s, b.exposure_time_s) &&
         sameValue(a.delay_time_s, b.delay_time_s) && a.roi == b.roi &&
         a.timestamp_mode == b.timestamp_mode && a.pixelrate == b.pixelrate &&
         sameValue(a.conversion_factor, b.conversion_factor) &&
         a.trigger_mode == b.trigger_mode && a.acquire_mode == b.acquire_mode &&
         a.acquire_sequence_number == b.acquire_sequence_number &&
         a.metadata_mode == b.metadata_mode && a.noise_filter_mode == b.noise_filter_mode &&
         a.pixel_format == b.pixel_format && a.binning == b.binning &&
         a.auto_exposure == b.auto_exposure;
}

bool operator!=(const Configuration& a, const Configuration& b) { return !(a == b); }

void to_json(nlohmann::json& j, const Configuration& c) {
  j = nlohmann::json{{"exposure_time_s", c.exposure_time_s},
                     {"delay_time_s", c.delay_time_s},
                     {"roi", c.roi},
                     {"timestamp_mode", c.timestamp_mode},
                     {"pixelrate", c.pixelrate},
                     {"conversion_factor", c.conversion_factor},
                     {"trigger_mode", c.trigger_mode},
                     {"acquire_mode", c.acquire_mode},
                     {"acquire_sequence_number", c.acquire_sequence_number},
                     {"metadata_mode", c.metadata_mode},
                     {"noise_filter_mode", c.noise_filter_mode},
                     {"pixel_format", c.pixel_format},
                     {"binning", c.binning},
                     {"auto_exposure", c.auto_exposure}};
}

void from_json(const nlohmann::json& j, Configuration& c) {
  detail::readField(j, "exposure_time_s", c.exposure_time_s);
  detail::readField(j, "delay_time_s", c.delay_time_s);
  detail::readField(j, "roi", c.roi);
  detail::readField(j, "timestamp_mode", c.timestamp_mode);
  detail::readField(j, "pixelrate", c.pixelrate);
  detail::readField(j, "conversion_factor", c.conversion_factor);
  detail::readField(j, "trigger_mode", c.trigger_mode);
  detail::readField(j, "acquire_mode", c.acquire_mode);
  detail::readField(j, "acquire_sequence_number", c.acquire_sequence_number);
  detail::readField(j, "metadata_mode", c.metadata_mode);
  detail::readField(j, "noise_filter_mode", c.noise_filter_mode);
  detail::readField(j, "pixel_format", c.pixel_format);
  detail::readField(j, "binning", c.binning);
  detail::readField(j, "auto_exposure", c.auto_exposure);
}

}  // namespace vyk
