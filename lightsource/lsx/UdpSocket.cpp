#include "lightsource/lsx/UdpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace lsx {

namespace {

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_in makeAddress(const std::string& address, uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
        throw std::system_error(EINVAL, std::generic_category(), "invalid IPv4 address " + address);
    return addr;
}

}  // namespace

UdpSocket::UdpSocket() : fd_(::socket(AF_INET, SOCK_DGRAM, 0))
{
    if (fd_ < 0)
        throwErrno("socket");
}

UdpSocket::~UdpSocket()
{
    ::close(fd_);
}

void UdpSocket::enableBroadcast()
{
    const int on = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0)
        throwErrno("SO_BROADCAST");
}

void UdpSocket::bind(const std::string& address, uint16_t port)
{
    const sockaddr_in addr = makeAddress(address, port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0)
        throwErrno("bind");
}

uint16_t UdpSocket::localPort() const
{
    sockaddr_in addr{};
    socklen_t length = sizeof(addr);
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        throwErrno("getsockname");
    return ntohs(addr.sin_port);
}

void UdpSocket::setReceiveTimeout(uint32_t milliseconds)
{
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(milliseconds / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0)
        throwErrno("SO_RCVTIMEO");
}

void UdpSocket::sendTo(const std::string& address, uint16_t port, const std::string& data)
{
    const sockaddr_in addr = makeAddress(address, port);
    if (::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) < 0)
        throwErrno("sendto");
}

std::optional<std::string> UdpSocket::receive(size_t maxSize, Sender* sender)
{
    std::vector<char> buffer(maxSize);
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    const ssize_t received =
        ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (received < 0)
        return std::nullopt;
    if (sender != nullptr) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text));
        sender->ip = text;
        sender->port = ntohs(from.sin_port);
    }
    return std::string(buffer.data(), static_cast<size_t>(received));
}

}  // namespace lsx
