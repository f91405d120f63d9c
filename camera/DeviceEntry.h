#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// One device in a remote server's device list or discovery answer.
struct DeviceEntry {
  std::string type;   ///< device kind, e.g. "camera"
  std::string ip;     ///< server address
  uint16_t port = 0;  ///< server port
  std::string name;   ///< device name
  uint32_t serial = 0;  ///< serial number
  bool free = false;  ///< the device is free to be used
  bool tokenRequired = false;  ///< the server demands a token (optional key "token_required", absent = false)
};

bool operator==(const DeviceEntry& a, const DeviceEntry& b);
bool operator!=(const DeviceEntry& a, const DeviceEntry& b);

void to_json(nlohmann::json& j, const DeviceEntry& entry);
void from_json(const nlohmann::json& j, DeviceEntry& entry);

}  // namespace vyk
