#include "camera/DeviceEntry.h"

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const DeviceEntry& a, const DeviceEntry& b) {
  return a.type == b.type && a.ip == b.ip && a.port == b.port && a.name == b.name &&
         a.serial == b.serial && a.free == b.free && a.tokenRequired == b.tokenRequired;
}

bool operator!=(const DeviceEntry& a, const DeviceEntry& b) { return !(a == b); }

void to_json(nlohmann::json& j, const DeviceEntry& e) {
  j = nlohmann::json{{"type", e.type}, {"ip", e.ip},         {"port", e.port},
                     {"name", e.name}, {"serial", e.serial}, {"free", e.free}};
  // Only servers that demand a token say so; older clients never see an unknown key.
  if (e.tokenRequired) j["token_required"] = true;
}

void from_json(const nlohmann::json& j, DeviceEntry& e) {
  detail::readField(j, "type", e.type);
  detail::readField(j, "ip", e.ip);
  detail::readField(j, "port", e.port);
  detail::readField(j, "name", e.name);
  detail::readField(j, "serial", e.serial);
  detail::readField(j, "free", e.free);
  e.tokenRequired = false;
  if (j.contains("token_required")) detail::readField(j, "token_required", e.tokenRequired);
}

}  // namespace vyk
