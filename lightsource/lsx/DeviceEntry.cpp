#include "lightsource/lsx/DeviceEntry.h"

#include <nlohmann/json.hpp>

namespace lsx {

bool operator==(const DeviceEntry& a, const DeviceEntry& b)
{
    return a.type == b.type && a.ip == b.ip && a.port == b.port && a.name == b.name && a.serial == b.serial
        && a.free == b.free;
}

bool operator!=(const DeviceEntry& a, const DeviceEntry& b)
{
    return !(a == b);
}

void to_json(nlohmann::json& j, const DeviceEntry& entry)
{
    j = nlohmann::json{{"type", entry.type}, {"ip", entry.ip},         {"port", entry.port},
                       {"name", entry.name}, {"serial", entry.serial}, {"free", entry.free}};
}

void from_json(const nlohmann::json& j, DeviceEntry& entry)
{
    j.at("type").get_to(entry.type);
    j.at("ip").get_to(entry.ip);
    j.at("port").get_to(entry.port);
    j.at("name").get_to(entry.name);
    j.at("serial").get_to(entry.serial);
    j.at("free").get_to(entry.free);
}

}  // namespace lsx
