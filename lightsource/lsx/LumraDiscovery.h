#pragma once

#include "lightsource/lsx/DeviceEntry.h"

#include <cstdint>
#include <vector>

namespace lsx {

/// Finds remote light sources: broadcasts {"action": "discover", "type": "lumra"} to
/// port (50000 in the application) at $RASTEL_DISCOVERY_ADDRESS (default
/// "255.255.255.255") and collects answers until none arrives for timeoutMs.
/// An answer is one entry object or an array of them; datagrams that are not JSON, and
/// entries of another device type, are skipped.
std::vector<DeviceEntry> discoverLumras(uint16_t port, uint32_t timeoutMs);

}  // namespace lsx
