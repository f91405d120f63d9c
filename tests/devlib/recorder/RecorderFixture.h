// Shared set-up of the recorder tests that run on simulated cameras.
#ifndef VYK_RECORDER_TEST_FIXTURE_H
#define VYK_RECORDER_TEST_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kv2_cam.h"
#include "vyk_recorder.h"

namespace rectest {

// Serials of the cameras of the test camera set (see RecorderFixture.cpp).
constexpr uint32_t kMonoSerial = 7001;   // 64 x 48, 16 bit, metadata, timestamp, camera RAM, acquire sequence
constexpr uint32_t kFailingSerial = 7002; // 32 x 24, stops answering after 40 images
constexpr uint32_t kByteSerial = 7003;   // 32 x 24, 8 bit

// Waits (polling every millisecond) until condition holds or 30 s have passed.
bool waitFor(const std::function<bool()>& condition);

// Status fields of a recorder.
struct Status {
    uint32_t running = 0;
    uint32_t recorded = 0;
    uint32_t bufferSize = 0;
    int32_t error = 0;
};

// Opens a camera of the test set and gives every test a clean recorder environment.
class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens (and remembers, to close it in TearDown) the camera with serial.
    VYK_HANDLE open(uint32_t serial);

    // Sets the exposure (seconds) and arms the camera.
    void setExposure(VYK_HANDLE camera, double seconds);

    // Creates a recorder (deleted in TearDown); returns its capacity through capacity.
    VYK_RECORDER create(VYK_HANDLE camera, uint32_t mode, const char* path, uint32_t* capacity = nullptr);

    // Status of recorder for camera.
    Status status(VYK_RECORDER recorder, VYK_HANDLE camera);

    // Copies image index (whole image) and returns its pixels, number and timestamp counter.
    struct Copy {
        int32_t rc = 0;
        std::vector<uint16_t> pixels;
        uint32_t number = 0;
        uint32_t counter = 0; // dwImgCounter of the timestamp block
    };
    Copy copy(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index);

    // A fresh temporary folder (removed with its files in TearDown).
    std::string folder();

private:
    std::vector<VYK_HANDLE> cameras_;
    std::vector<VYK_RECORDER> recorders_;
    std::vector<std::string> folders_;
};

} // namespace rectest

#endif // VYK_RECORDER_TEST_FIXTURE_H
