#include "camera/UdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "camera/CameraException.h"

namespace vyk {

namespace {

[[noreturn]] void fail(const std::string& step) {
  throw CameraException("UDP socket: " + step + " failed: " + std::strerror(errno), CameraException::kLayerError);
}

sockaddr_in addressOf(const std::string& address, uint16_t port) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &out.sin_addr) != 1) {
    throw CameraException("UDP socket: not an IPv4 address: " + address, CameraException::kLayerError);
  }
  return out;
}

void setFlag(int fd, int option, const char* step) {
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, option, &on, sizeof(on)) != 0) fail(step);
}

}  // namespace

UdpSocket::UdpSocket() {
  _fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (_fd < 0) fail("socket");
}

UdpSocket::~UdpSocket() {
  if (_fd >= 0) ::close(_fd);
}

void UdpSocket::enableBroadcast() { setFlag(_fd, SO_BROADCAST, "enabling broadcast"); }

void UdpSocket::enableAddressReuse() { setFlag(_fd, SO_REUSEADDR, "enabling address reuse"); }

void UdpSocket::bind(const std::string& address, uint16_t port) {
  const sockaddr_in local = addressOf(address, port);
  if (::bind(_fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    fail("binding " + address + ":" + std::to_string(port));
  }
}

uint16_t UdpSocket::localPort() const {
  sockaddr_in local{};
  socklen_t length = sizeof(local);
  if (getsockname(_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) fail("getsockname");
  return ntohs(local.sin_port);
}

void UdpSocket::setReceiveTimeout(uint32_t milliseconds) {
  timeval timeout{};
  timeout.tv_sec = static_cast<time_t>(milliseconds / 1000);
  timeout.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  if (setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0) fail("setting the receive time-out");
}

bool UdpSocket::sendTo(const std::string& address, uint16_t port, const std::string& data) {
  const sockaddr_in target = addressOf(address, port);
  const ssize_t sent =
      ::sendto(_fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof(target));
  return sent == static_cast<ssize_t>(data.size());
}

std::optional<std::string> UdpSocket::receive(std::size_t maxSize, Peer* from) {
  std::vector<char> buffer(maxSize);
  sockaddr_in sender{};
  socklen_t length = sizeof(sender);
  const ssize_t received =
      ::recvfrom(_fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sender), &length);
  if (received < 0) return std::nullopt;
  if (from != nullptr) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &sender.sin_addr, text, sizeof(text));
    from->ip = text;
    from->port = ntohs(sender.sin_port);
  }
  return std::string(buffer.data(), static_cast<std::size_t>(received));
}

std::string UdpSocket::localAddressFor(const std::string& address) {
  UdpSocket probe;
  // Connecting a datagram socket only chooses the route; nothing is sent.
  const sockaddr_in target = addressOf(address, 9);
  if (::connect(probe._fd, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) fail("route lookup");
  sockaddr_in local{};
  socklen_t length = sizeof(local);
  if (getsockname(probe._fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) fail("getsockname");
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &local.sin_addr, text, sizeof(text));
  return text;
}

}  // namespace vyk
