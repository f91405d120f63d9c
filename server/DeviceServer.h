#pragma once

#include "server/AccessControl.h"
#include "server/ServerOptions.h"
#include "server/camera/CameraServerState.h"
#include "server/camera/DxrStorage.h"
#include "server/lumra/LumraServerState.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib
namespace vyk {
class UdpSocket;
}

namespace devserver {

/// The whole device server: opens the simulated cameras (and light sources), serves each on
/// an HTTP port of its own, answers discovery datagrams and frees devices whose client has
/// gone silent. Owns and joins every thread it starts.
class DeviceServer {
public:
    /// One served device.
    struct Endpoint {
        std::string type; ///< "camera" or "lumra"
        uint32_t serial;  ///< serial number
        uint16_t port;    ///< HTTP port
    };

    /// Points the device libraries at options.configFile, opens every device and binds every
    /// port; failures to bind, and a token file that cannot be used, throw std::runtime_error. Devices that fail to open are logged
    /// and left out.
    explicit DeviceServer(ServerOptions options);
    /// Stops and joins everything, then closes the devices.
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    /// Starts accepting requests and datagrams.
    void start();
    /// Stops accepting and joins every thread; safe to call twice.
    void stop();

    /// The served devices, cameras first.
    std::vector<Endpoint> endpoints() const;
    /// The bound discovery port.
    uint16_t discoveryPort() const;
    /// The state of camera i (in endpoint order).
    CameraServerState& camera(std::size_t i) { return *cameras_.at(i).state; }
    /// Number of served cameras.
    std::size_t cameraCount() const { return cameras_.size(); }

private:
    struct ServedCamera {
        std::unique_ptr<CameraServerState> state;
        std::unique_ptr<httplib::Server> http;
        uint16_t port = 0;
    };
    struct ServedLumra {
        std::unique_ptr<LumraServerState> state;
        std::unique_ptr<httplib::Server> http;
        uint16_t port = 0;
    };

    void openCameras();
    void openLightSources();
    std::unique_ptr<httplib::Server> makeHttp();
    uint16_t bindHttp(httplib::Server& http, std::size_t deviceIndex);
    void discoveryLoop();
    void watchdogLoop();
    void answerDiscovery(const std::string& request, const std::string& peerIp, uint16_t peerPort);
    std::string advertisedAddress(const std::string& peerIp) const;
    bool admit(const httplib::Request& request, httplib::Response& response) const;

    /// Initialises the camera library for the server's lifetime (cleans it up last).
    struct CameraLibrary {
        CameraLibrary();
        ~CameraLibrary();
        CameraLibrary(const CameraLibrary&) = delete;
        CameraLibrary& operator=(const CameraLibrary&) = delete;
    };

    const ServerOptions options_;             ///< settings
    const AccessControl access_;              ///< token and allow list; read by every HTTP and the discovery thread
    CameraLibrary library_;                   ///< outlives every camera below
    std::unique_ptr<DxrStorage> dxr_;         ///< shared DXR storage (null without DXR cameras)
    std::vector<ServedCamera> cameras_;       ///< served cameras; fixed after construction
    std::vector<ServedLumra> lumras_;         ///< served light sources; fixed after construction
    std::unique_ptr<vyk::UdpSocket> discovery_; ///< discovery socket; used by the discovery thread only
    std::vector<std::thread> httpThreads_;    ///< one accept loop per device; joined by stop()
    std::thread discoveryThread_;             ///< answers discovery; joined by stop()
    std::thread watchdogThread_;              ///< expires silent reservations; joined by stop()
    std::atomic<bool> running_{false};        ///< cleared by stop(); ends the discovery and watchdog loops
    std::mutex wakeMutex_;                    ///< pairs with wake_
    std::condition_variable wake_;            ///< cuts the watchdog's sleep short on stop()
};

}  // namespace devserver
