#include "lightsource/lsx/LumraDiscovery.h"

#include "lightsource/lsx/UdpSocket.h"

#include <cstdlib>
#include <iostream>

#include <nlohmann/json.hpp>

namespace lsx {

namespace {

constexpr size_t kMaxDatagram = 2047;
constexpr const char* kDeviceType = "lumra";

std::string broadcastAddress()
{
    const char* address = std::getenv("RASTEL_DISCOVERY_ADDRESS");
    return (address != nullptr && *address != '\0') ? address : "255.255.255.255";
}

void appendEntry(const nlohmann::json& j, std::vector<DeviceEntry>& entries)
{
    try {
        DeviceEntry entry = j.get<DeviceEntry>();
        if (entry.type == kDeviceType)
            entries.push_back(std::move(entry));
    } catch (const nlohmann::json::exception&) {
        // Not a device entry: keep collecting the others.
    }
}

}  // namespace

std::vector<DeviceEntry> discoverLumras(uint16_t port, uint32_t timeoutMs)
{
    std::vector<DeviceEntry> entries;
    try {
        UdpSocket socket;
        socket.enableBroadcast();
        const nlohmann::json request = {{"action", "discover"}, {"type", kDeviceType}};
        socket.sendTo(broadcastAddress(), port, request.dump());
        socket.setReceiveTimeout(timeoutMs);
        while (std::optional<std::string> datagram = socket.receive(kMaxDatagram)) {
            const nlohmann::json answer = nlohmann::json::parse(*datagram, nullptr, false);
            if (answer.is_array()) {
                for (const nlohmann::json& item : answer)
                    appendEntry(item, entries);
            } else if (answer.is_object()) {
                appendEntry(answer, entries);
            }
        }
    } catch (const std::system_error& e) {
        // No network to search: nothing found.
        std::cerr << "Light-source discovery failed: " << e.what() << "\n";
    }
    return entries;
}

}  // namespace lsx
