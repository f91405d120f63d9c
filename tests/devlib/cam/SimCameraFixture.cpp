#include "SimCameraFixture.h"

#include "tests/support/SimulatedCameras.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <unistd.h>

void SimCameraFixture::TearDown()
{
    for (VYK_HANDLE handle : open_)
        VYK_CloseCamera(handle);
    open_.clear();
    if (initialised_) {
        EXPECT_EQ(VYK_CleanupLib(), VYK_NOERROR);
    }
    if (!configPath_.empty())
        std::remove(configPath_.c_str());
    unsetenv("RASTEL_SIM_CONFIG");
}

nlohmann::json SimCameraFixture::baseCamera(uint32_t serial)
{
    nlohmann::json camera = testsupport::simulatedCamera(serial, "test camera " + std::to_string(serial));
    camera["type"] = 0x1234;
    camera["sub_type"] = 7;
    return camera;
}

void SimCameraFixture::useCameras(const nlohmann::json& cameras)
{
    char path[] = "/tmp/rastel_sim_cam_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    configPath_ = path;
    testsupport::useSimulatedCameras(configPath_, cameras);
    ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR);
    initialised_ = true;
}

void SimCameraFixture::useDefaultCameras()
{
    unsetenv("RASTEL_SIM_CONFIG");
    ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR);
    initialised_ = true;
}

int32_t SimCameraFixture::tryOpen(uint16_t interfaceType, uint16_t mode, uint16_t number, uint32_t serial,
                                  VYK_HANDLE* handle)
{
    VYK_OpenStruct request{};
    request.wSize = sizeof request;
    request.wInterfaceType = interfaceType;
    request.wOpenMode = mode;
    request.wCameraNumber = number;
    request.dwSerialNumber = serial;
    const int32_t result = VYK_OpenCamera(handle, &request);
    if (!VYK_FAILED(result))
        open_.push_back(*handle);
    return result;
}

VYK_HANDLE SimCameraFixture::openByNumber(uint16_t interfaceType, uint16_t number)
{
    VYK_HANDLE handle = nullptr;
    EXPECT_EQ(tryOpen(interfaceType, VYK_OPEN_BY_NUMBER, number, 0, &handle), VYK_NOERROR);
    return handle;
}

VYK_HANDLE SimCameraFixture::openBySerial(uint32_t serial)
{
    VYK_HANDLE handle = nullptr;
    EXPECT_EQ(tryOpen(VYK_INTERFACE_ANY, VYK_OPEN_BY_SERIAL, 0, serial, &handle), VYK_NOERROR);
    return handle;
}

void SimCameraFixture::closeCamera(VYK_HANDLE handle)
{
    EXPECT_EQ(VYK_CloseCamera(handle), VYK_NOERROR);
    open_.erase(std::remove(open_.begin(), open_.end(), handle), open_.end());
}

FrameCollector::FrameCollector(VYK_HANDLE camera)
    : camera_(camera)
{
    EXPECT_EQ(vyksim::simSetFrameSink(camera_,
                                      [this](const vyksim::SimFrame& frame) {
                                          std::lock_guard<std::mutex> lock(mutex_);
                                          ++count_;
                                          if (frames_.size() < keepLimit_)
                                              frames_.push_back(frame);
                                          arrived_.notify_all();
                                      }),
              VYK_NOERROR);
}

FrameCollector::~FrameCollector()
{
    vyksim::simSetFrameSink(camera_, nullptr);
}

size_t FrameCollector::waitFor(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return count_ >= count; });
    return count_;
}

size_t FrameCollector::count()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::vector<vyksim::SimFrame> FrameCollector::frames()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

void FrameCollector::setKeepLimit(size_t n)
{
    std::lock_guard<std::mutex> lock(mutex_);
    keepLimit_ = n;
}

double meanOf(const vyksim::SimFrame& frame)
{
    if (frame.pixels.empty())
        return 0.0;
    return std::accumulate(frame.pixels.begin(), frame.pixels.end(), 0.0) / double(frame.pixels.size());
}
