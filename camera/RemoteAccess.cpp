#include "camera/RemoteAccess.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

namespace vyk {

namespace {

// The server's reason for an address refusal; any other reason is taken as the token's.
constexpr const char* kAddressNotAllowed = "address not allowed";

}  // namespace

std::string tokenFromEnvironment() {
  const char* token = std::getenv(kTokenVariable);
  return token != nullptr ? std::string(token) : std::string();
}

std::string bearerHeader(const std::string& token) { return "Bearer " + token; }

std::string refusalMessage(const std::string& host, uint16_t port, const std::string& path, const std::string& body) {
  const nlohmann::json error = nlohmann::json::parse(body, nullptr, false);
  const std::string where = error.is_object() && error.contains("where") && error.at("where").is_string()
                                ? error.at("where").get<std::string>()
                                : std::string();
  const std::string server = "The server " + host + ":" + std::to_string(port);
  if (where == kAddressNotAllowed) return server + " refused the request from this computer's address (" + path + ")";
  return server + " refused the token" + (where.empty() ? std::string() : ": " + where) + " (" + path + ")";
}

}  // namespace vyk
