#pragma once
// An IPv4 UDP socket for the discovery datagrams: closes itself, throws on setup failures.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vyk {

/// An IPv4 UDP socket. Setup failures throw vyk::CameraException (0x160000) naming the step.
class UdpSocket {
 public:
  /// Where a datagram came from.
  struct Peer {
    std::string ip;     ///< dotted IPv4 address
    uint16_t port = 0;  ///< port
  };

  /// Opens an unbound socket.
  UdpSocket();
  /// Closes the socket.
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  /// Allows sending to broadcast addresses.
  void enableBroadcast();
  /// Lets several sockets bind the same address and port.
  void enableAddressReuse();
  /// Binds to address:port (port 0 = a free port).
  void bind(const std::string& address, uint16_t port);
  /// The bound local port.
  uint16_t localPort() const;
  /// How long receive waits, milliseconds (0 = without limit).
  void setReceiveTimeout(uint32_t milliseconds);
  /// Sends one datagram; false when the system refused it.
  bool sendTo(const std::string& address, uint16_t port, const std::string& data);
  /// One datagram of at most maxSize bytes; nothing on time-out or error.
  std::optional<std::string> receive(std::size_t maxSize, Peer* from = nullptr);
  /// The local address this host uses to reach address (no datagram is sent).
  static std::string localAddressFor(const std::string& address);

 private:
  int _fd = -1;  // socket descriptor, closed by the destructor
};

}  // namespace vyk
