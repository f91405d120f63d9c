// Test fixture: a camera set written to a temporary file and the library initialised on it.
#ifndef TESTS_SIM_CAMERA_FIXTURE_H
#define TESTS_SIM_CAMERA_FIXTURE_H

#include "kv2_cam.h"
#include "vyk_sim_frames.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <unistd.h>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Each test writes its own camera set (or uses the built-in one), initialises the
// library and opens cameras through the C interface; TearDown closes what is left.
class SimCameraFixture : public ::testing::Test {
public:
    // A small, fast mono camera on USB3 with every optional capability off.
    static nlohmann::json baseCamera(uint32_t serial);

protected:
    void TearDown() override;
    // Writes {"cameras": cameras} to a temporary file, points RASTEL_SIM_CONFIG at it and initialises.
    void useCameras(const nlohmann::json& cameras);
    // Uses the built-in camera set.
    void useDefaultCameras();
    // Opens camera number on an interface; fails the test when it does not open.
    VYK_HANDLE openByNumber(uint16_t interfaceType, uint16_t number);
    // Opens by serial on any interface; fails the test when it does not open.
    VYK_HANDLE openBySerial(uint32_t serial);
    // Result of an open request without asserting.
    int32_t tryOpen(uint16_t interfaceType, uint16_t mode, uint16_t number, uint32_t serial, VYK_HANDLE* handle);
    // Closes a camera opened by this fixture.
    void closeCamera(VYK_HANDLE handle);

    std::vector<VYK_HANDLE> open_;  // cameras to close in TearDown
    std::string configPath_;        // temporary camera-set file
    bool initialised_ = false;
};

// Collects frames from a camera's sink; waits for counts with a generous timeout.
class FrameCollector {
public:
    // Installs itself as the sink of camera.
    explicit FrameCollector(VYK_HANDLE camera);
    // Removes the sink.
    ~FrameCollector();
    // Waits until at least count frames arrived or timeout passed; returns the count.
    size_t waitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(20000));
    // Number of frames so far.
    size_t count();
    // Copy of the frames kept so far (the first keepLimit only).
    std::vector<vyksim::SimFrame> frames();
    // Keep only the first n frames' pixels (counting goes on).
    void setKeepLimit(size_t n);

private:
    VYK_HANDLE camera_;
    std::mutex mutex_;                     // guards the members below
    std::condition_variable arrived_;
    std::vector<vyksim::SimFrame> frames_;
    size_t count_ = 0;
    size_t keepLimit_ = 64;
};

// Mean of all pixel values.
double meanOf(const vyksim::SimFrame& frame);

#endif // TESTS_SIM_CAMERA_FIXTURE_H
