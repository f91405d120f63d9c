#pragma once

#include "server/lumra/LumraServerState.h"

#include <string>

namespace httplib {
class Server;
}

namespace devserver {

/// Mounts every light-source endpoint under "/v1/" on server, over state's light source.
/// Success answers 200 (JSON body or empty); any failure answers 503 with
/// {"code": signed 32-bit code, "where": message}. state must outlive the server's use.
void registerLumraRoutes(httplib::Server& server, LumraServerState& state);

/// True when datagram is a discovery request for light sources
/// ({"action": "discover", "type": "lumra"}).
bool isLumraDiscoveryRequest(const std::string& datagram);

}  // namespace devserver
