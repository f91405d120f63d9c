#include "camera/RamAllocation.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const RamAllocation& a, const RamAllocation& b) {
  return a.alloc_id == b.alloc_id && a.segment_size == b.segment_size &&
         sameValue(a.percent_of_total, b.percent_of_total) && a.camera_serial == b.camera_serial;
}

bool operator!=(const RamAllocation& a, const RamAllocation& b) { return !(a == b); }

void to_json(nlohmann::json& j, const RamAllocation& a) {
  j = nlohmann::json{{"alloc_id", a.alloc_id},
                     {"segment_size", a.segment_size},
                     {"percent_of_total", a.percent_of_total},
                     {"camera_serial", a.camera_serial}};
}

void from_json(const nlohmann::json& j, RamAllocation& a) {
  detail::readField(j, "alloc_id", a.alloc_id);
  detail::readField(j, "segment_size", a.segment_size);
  detail::readField(j, "percent_of_total", a.percent_of_total);
  detail::readField(j, "camera_serial", a.camera_serial);
}

}  // namespace vyk
