#include "lightsource/lsx/LumraDiscovery.h"

#include "camera/CameraException.h"
#include "camera/Discovery.h"

#include <iostream>

namespace lsx {

namespace {

constexpr const char* kDeviceType = "lumra";

}  // namespace

std::vector<DeviceEntry> discoverLumras(uint16_t port, uint32_t timeoutMs)
{
    // The datagram exchange is the camera layer's; only the entry record is this layer's own.
    std::vector<DeviceEntry> entries;
    try {
        for (const vyk::DeviceEntry& found : vyk::discover(port, timeoutMs, kDeviceType)) {
            if (found.type == kDeviceType)
                entries.push_back({found.type, found.ip, found.port, found.name, found.serial, found.free});
        }
    } catch (const vyk::CameraException& e) {
        // No network to search: nothing found.
        std::cerr << "Light-source discovery failed: " << e.what() << "\n";
    }
    return entries;
}

}  // namespace lsx
