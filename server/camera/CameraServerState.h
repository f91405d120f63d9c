#pragma once

#include "camera/Camera.h"
#include "camera/DeviceEntry.h"
#include "camera/Image.h"
#include "camera/Roi.h"
#include "server/Reservation.h"
#include "server/camera/DxrStorage.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace devserver {

/// One served camera, its request lock and its reservation: free until a client uses it,
/// free again on "/v1/setFree" or when no request has arrived for three heartbeat periods
/// (expire() then stops a running recording).
class CameraServerState {
public:
    /// Where a served camera keeps its files.
    struct Folders {
        std::filesystem::path data; ///< recording folder: remote file recordings stay inside it
        std::filesystem::path luts; ///< uploaded lookup tables, named by the server
    };

    /// Serves camera; dxr is the shared DXR storage (used when the camera is on CLHS_DXR,
    /// may be null otherwise). Clients send a heartbeat every heartbeatPeriodMs.
    CameraServerState(std::unique_ptr<vyk::Camera> camera, Folders folders, DxrStorage* dxr,
                      uint32_t heartbeatPeriodMs = 2000);
    /// Stops a running recording and closes the camera.
    ~CameraServerState();

    /// Serialises every call on the camera (vyk::Camera has no lock of its own).
    std::unique_lock<std::mutex> lockCamera() { return std::unique_lock<std::mutex>(cameraMutex_); }
    /// The served camera; call only while holding lockCamera().
    vyk::Camera& camera() { return *camera_; }
    /// The DXR storage when the camera is on CLHS_DXR, else nullptr.
    DxrStorage* dxr() { return isDxr_ ? dxr_ : nullptr; }
    /// The folders of this camera.
    const Folders& folders() const { return folders_; }
    /// Serial number, read once.
    uint32_t serial() const { return serial_; }
    /// Device name, read once.
    const std::string& name() const { return name_; }
    /// The colour-pattern word of the sensor (0 for a mono sensor), read once.
    uint16_t colorPatternWord() const { return colorPatternWord_; }
    /// The sensor ROI of the running or last recording (cameraMutex_).
    vyk::Roi& recordRoi() { return recordRoi_; }
    /// The DXR segment the running or last recording went to, 0 = none (cameraMutex_).
    uint16_t& dxrRecordSegment() { return dxrRecordSegment_; }
    /// An image to fetch into: the last one when no answer still sends it, so its buffers
    /// are reused, else a new one (cameraMutex_).
    std::shared_ptr<vyk::Image> imageBuffer();
    /// An image request was answered with pixels.
    void countImageServed() { imagesServed_.fetch_add(1, std::memory_order_relaxed); }
    /// Image requests answered with pixels since the server started; any thread.
    uint64_t imagesServed() const { return imagesServed_.load(std::memory_order_relaxed); }

    /// A client request arrived: reserve the camera and restart the expiry clock.
    void markUsed();
    /// The client released the camera.
    void setFree();
    /// True when nobody holds the camera (never used, released, or heartbeat expired).
    bool isFree() const;
    /// Ends a reservation whose client has been silent for three heartbeat periods and
    /// stops its recording; true when it did so now. Never throws.
    bool expire() noexcept;
    /// The discovery answer entry: type "camera", the given ip and port, name, serial, free.
    vyk::DeviceEntry discoveryEntry(const std::string& ip, uint16_t port) const;

private:
    std::unique_ptr<vyk::Camera> camera_; ///< the served camera (cameraMutex_ for every call)
    const Folders folders_;               ///< recording and LUT folders
    DxrStorage* const dxr_;               ///< shared DXR storage, owned by the server
    std::string name_;                    ///< device name, read once
    uint32_t serial_ = 0;                 ///< serial number, read once
    bool isDxr_ = false;                  ///< the camera is on CLHS_DXR
    uint16_t colorPatternWord_ = 0;       ///< sensor colour pattern, read once
    std::mutex cameraMutex_;              ///< held for every camera call
    vyk::Roi recordRoi_{1, 1, 1, 1};      ///< sensor ROI of the last recording (cameraMutex_)
    uint16_t dxrRecordSegment_ = 0;       ///< DXR segment of the last recording (cameraMutex_)
    std::shared_ptr<vyk::Image> image_;   ///< last image fetched; answers share it while sending (cameraMutex_)
    Reservation reservation_;             ///< whether a client holds the camera (own lock)
    std::atomic<uint64_t> imagesServed_{0}; ///< image requests answered with pixels (atomic, no lock)
};

}  // namespace devserver
