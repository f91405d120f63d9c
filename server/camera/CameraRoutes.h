#pragma once

#include "server/camera/CameraServerState.h"

#include <filesystem>
#include <string>

namespace httplib {
class Server;
}

namespace devserver {

/// Mounts every camera endpoint under "/v1/" on server, over state's camera. Success
/// answers 200 (JSON body, empty, or the raw pixels of "/v1/image" with the image headers);
/// any failure answers 503 with {"code": signed 32-bit code, "where": cause}: camera
/// exceptions with their code, malformed requests with 0xA0163001. state must outlive the
/// server's use.
void registerCameraRoutes(httplib::Server& server, CameraServerState& state);

/// True when datagram is a discovery request for cameras ({"action": "discover", "type": "camera"}).
bool isCameraDiscoveryRequest(const std::string& datagram);

/// The file a remote file recording writes: requested (relative, without "..") inside
/// folder, or folder / "vyk_vram" when requested is empty. Creates the parent folders.
/// Absolute paths and ".." are refused with vyk::CameraException 0xA0163001.
std::filesystem::path confinedRecordingPath(const std::filesystem::path& folder, const std::string& requested);

}  // namespace devserver
