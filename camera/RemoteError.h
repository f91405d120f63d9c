#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// The JSON body of a failed REST call.
struct RemoteError {
  int32_t code = 0;   ///< error code
  std::string where;  ///< the server's description of the failure
};

bool operator==(const RemoteError& a, const RemoteError& b);
bool operator!=(const RemoteError& a, const RemoteError& b);

void to_json(nlohmann::json& j, const RemoteError& error);
void from_json(const nlohmann::json& j, RemoteError& error);

}  // namespace vyk
