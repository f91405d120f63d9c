#include "camera/Discovery.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "camera/UdpSocket.h"

namespace vyk {

namespace {

// Largest discovery answer read, bytes.
constexpr std::size_t kMaxDatagram = 2047;

// Appends entry when it is a DeviceEntry object; anything else is skipped.
void appendEntry(const nlohmann::json& value, std::vector<DeviceEntry>& entries) {
  try {
    entries.push_back(value.get<DeviceEntry>());
  } catch (const nlohmann::json::exception&) {
    // Not a device entry: another kind of answer, ignored like any other stray datagram.
  }
}

}  // namespace

std::string discoveryAddress() {
  const char* address = std::getenv(kDiscoveryAddressVariable);
  return address != nullptr && *address != '\0' ? std::string(address) : std::string("255.255.255.255");
}

std::vector<DeviceEntry> discover(uint16_t port, uint32_t timeoutMs, const std::string& deviceType) {
  std::vector<DeviceEntry> entries;
  UdpSocket socket;
  socket.enableBroadcast();
  const nlohmann::json request = {{"action", "discover"}, {"type", deviceType}};
  if (!socket.sendTo(discoveryAddress(), port, request.dump())) return entries;  // nobody can answer
  // A zero time-out would mean "wait for ever" to the socket; one millisecond is the least.
  socket.setReceiveTimeout(timeoutMs > 0 ? timeoutMs : 1);
  while (const auto datagram = socket.receive(kMaxDatagram)) {
    const nlohmann::json answer = nlohmann::json::parse(*datagram, nullptr, false);
    if (answer.is_discarded()) continue;
    if (answer.is_array()) {
      for (const auto& item : answer) appendEntry(item, entries);
    } else {
      appendEntry(answer, entries);
    }
  }
  return entries;
}

}  // namespace vyk
