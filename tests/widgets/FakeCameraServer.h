#pragma once
// A device server on 127.0.0.1 that offers one simulated local camera through the camera
// API, enough of it for the settings tree: identity, description, configuration, conversion
// settings, timing and the DXR storage calls. It records the DXR writes it receives.

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/Camera.h"
#include "camera/RamAllocation.h"

namespace httplib {
class Server;
}

class FakeCameraServer {
public:
    // Serves camera (opened by the caller) on a free loopback port; interface overrides the
    // interface the server reports (the DXR storage needs CLHS_DXR).
    FakeCameraServer(std::unique_ptr<vyk::Camera> camera, vyk::InterfaceType interface);
    // Stops the server and joins its thread.
    ~FakeCameraServer();
    FakeCameraServer(const FakeCameraServer&) = delete;
    FakeCameraServer& operator=(const FakeCameraServer&) = delete;

    uint16_t port() const { return port_; }
    // The DXR segments as the last setDxrAllocation left them.
    std::vector<vyk::RamAllocation> dxrSegments() const;
    // The segments switched to, in order.
    std::vector<uint16_t> switchedSegments() const;

private:
    void addRoutes();

    std::unique_ptr<vyk::Camera> camera_;       // guarded by mutex_
    vyk::InterfaceType interface_;
    std::vector<vyk::RamAllocation> dxr_;       // guarded by mutex_
    std::vector<uint16_t> switched_;            // guarded by mutex_
    mutable std::mutex mutex_;                  // one request at a time reaches the camera
    std::unique_ptr<httplib::Server> server_;
    uint16_t port_ = 0;
    std::thread thread_;                        // runs the server; joined by the destructor
};
