#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace lsx {

/// One device in a discovery answer (keys "type", "ip", "port", "name", "serial", "free").
struct DeviceEntry {
    std::string type;     ///< device kind; "lumra" for light sources
    std::string ip;       ///< server address
    uint16_t port = 0;    ///< server port of this device's API
    std::string name;     ///< device name
    uint32_t serial = 0;  ///< serial number
    bool free = false;    ///< nobody holds the device
};

bool operator==(const DeviceEntry& a, const DeviceEntry& b);
bool operator!=(const DeviceEntry& a, const DeviceEntry& b);

void to_json(nlohmann::json& j, const DeviceEntry& entry);
void from_json(const nlohmann::json& j, DeviceEntry& entry);

}  // namespace lsx
