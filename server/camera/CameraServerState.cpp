#include "server/camera/CameraServerState.h"

#include "kv2_cam.h"

#include <cstring>
#include <iostream>
#include <stdexcept>

namespace devserver {

namespace {

std::unique_ptr<vyk::Camera> requireCamera(std::unique_ptr<vyk::Camera> camera)
{
    if (!camera)
        throw std::invalid_argument("CameraServerState needs a camera");
    return camera;
}

// The sensor's colour-pattern word from the device description (0 when it has none).
uint16_t readColorPatternWord(const vyk::Camera& camera)
{
    VYK_Description description;
    std::memset(&description, 0, sizeof(description));
    description.wSize = sizeof(description);
    if (VYK_GetCameraDescription(camera.getSensorInfo().hCamera, &description) != 0)
        return 0;
    return description.wColorPatternDESC;
}

}  // namespace

CameraServerState::CameraServerState(std::unique_ptr<vyk::Camera> camera, Folders folders, DxrStorage* dxr,
                                     uint32_t heartbeatPeriodMs)
    : camera_(requireCamera(std::move(camera))),
      folders_(std::move(folders)),
      dxr_(dxr),
      reservation_(heartbeatPeriodMs)
{
    name_ = camera_->getName();
    serial_ = camera_->getSerial();
    isDxr_ = camera_->getInterface() == vyk::InterfaceType::CLHS_DXR && dxr_ != nullptr;
    colorPatternWord_ = camera_->isColored() ? readColorPatternWord(*camera_) : 0;
    // Opening may have prepared a camera-RAM recorder at the current ROI.
    recordRoi_ = camera_->getConfiguration().roi;
}

CameraServerState::~CameraServerState()
{
    std::lock_guard<std::mutex> lock(cameraMutex_);
    camera_.reset(); // the camera's destructor stops a recording and closes; it never throws
}

std::shared_ptr<vyk::Image> CameraServerState::imageBuffer()
{
    // Only this thread (holding cameraMutex_) hands the image out, so a count of one means
    // no answer is sending it any more; a stale higher count merely costs a new image.
    if (!image_ || image_.use_count() > 1)
        image_ = std::make_shared<vyk::Image>();
    return image_;
}

void CameraServerState::markUsed()
{
    reservation_.markUsed();
}

void CameraServerState::setFree()
{
    reservation_.release();
}

bool CameraServerState::isFree() const
{
    return reservation_.isFree();
}

bool CameraServerState::expire() noexcept
{
    if (!reservation_.expire())
        return false;
    try {
        std::lock_guard<std::mutex> lock(cameraMutex_);
        if (camera_->isRecording())
            camera_->stop();
    } catch (const std::exception& e) {
        std::cerr << "camera " << serial_ << ": stopping after heartbeat expiry failed: " << e.what() << std::endl;
    }
    return true;
}

vyk::DeviceEntry CameraServerState::discoveryEntry(const std::string& ip, uint16_t port) const
{
    vyk::DeviceEntry entry;
    entry.type = "camera";
    entry.ip = ip;
    entry.port = port;
    entry.name = name_;
    entry.serial = serial_;
    entry.free = isFree();
    return entry;
}

}  // namespace devserver
