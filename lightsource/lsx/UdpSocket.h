#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lsx {

/// An IPv4 UDP socket that closes itself. Throws std::system_error when setup fails.
class UdpSocket {
public:
    /// Where a datagram came from.
    struct Sender {
        std::string ip;    ///< dotted address
        uint16_t port = 0; ///< port
    };

    /// Opens an unbound socket.
    UdpSocket();
    /// Closes the socket.
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    /// Allows sending to broadcast addresses.
    void enableBroadcast();
    /// Binds to address:port (port 0 = any free port).
    void bind(const std::string& address, uint16_t port);
    /// The bound local port.
    uint16_t localPort() const;
    /// Sets how long receive() waits, ms (0 = forever).
    void setReceiveTimeout(uint32_t milliseconds);
    /// Sends one datagram.
    void sendTo(const std::string& address, uint16_t port, const std::string& data);
    /// Receives one datagram of at most maxSize bytes; nothing on time-out or error.
    std::optional<std::string> receive(size_t maxSize, Sender* sender = nullptr);

private:
    int fd_ = -1; ///< socket descriptor
};

}  // namespace lsx
