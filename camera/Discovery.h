#pragma once
// Finding device servers on the network by UDP broadcast.

#include <cstdint>
#include <string>
#include <vector>

#include "camera/DeviceEntry.h"

namespace vyk {

/// Port the device servers listen on for discovery requests.
constexpr uint16_t kDiscoveryPort = 50000;
/// Environment variable naming the address the request is sent to (default "255.255.255.255").
constexpr const char* kDiscoveryAddressVariable = "RASTEL_DISCOVERY_ADDRESS";

/// Sends {"action": "discover", "type": deviceType} to port at the discovery address and
/// collects the answers until no datagram arrives for timeoutMs. An answer holds one
/// DeviceEntry object or an array of them; datagrams that are not JSON, and entries that
/// are not DeviceEntry objects, are skipped. Socket setup failures throw CameraException.
std::vector<DeviceEntry> discover(uint16_t port, uint32_t timeoutMs, const std::string& deviceType = "camera");

/// The discovery address: $RASTEL_DISCOVERY_ADDRESS when set and not empty, else "255.255.255.255".
std::string discoveryAddress();

}  // namespace vyk
