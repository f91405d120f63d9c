#pragma once
// The client's part of a device server's access control: the token a server started with
// --token-file demands, and the message of a refused request.

#include <cstdint>
#include <string>

namespace vyk {

/// Environment variable holding the token of the device servers; it wins over a stored token.
constexpr const char* kTokenVariable = "RASTEL_TOKEN";
/// HTTP status of a request the server refused for a missing or wrong token or the client's address.
constexpr int kStatusRefused = 401;
/// Code of a refusal: in the server's RemoteError body and in the client's exception, so a
/// caller can tell a refused token from a server that is down.
constexpr uint32_t kRefusedCode = 0x160401;

/// $RASTEL_TOKEN, or empty when it is unset.
std::string tokenFromEnvironment();
/// The "Authorization" header value that carries token.
std::string bearerHeader(const std::string& token);
/// The message of a request to path on host:port that was refused with status 401; body is the
/// answer's RemoteError, whose "where" tells why ("missing or wrong token", "address not allowed").
std::string refusalMessage(const std::string& host, uint16_t port, const std::string& path, const std::string& body);

}  // namespace vyk
