// Health words and the injected device failure.
#include "SimCameraFixture.h"

#include <thread>

using nlohmann::json;
using Clock = std::chrono::steady_clock;

TEST_F(SimCameraFixture, HealthWordsAppearAfterTheirDelay)
{
    json now = baseCamera(501);
    now["health"] = {{"warnings", 0x6}, {"errors", 0x10 | 0x20000}, {"status", 0x1}};
    json later = baseCamera(502);
    later["health"] = {{"warnings", 0x4}, {"after_s", 3600}};
    useCameras({now, later});
    VYK_HANDLE h = openBySerial(501);
    uint32_t warnings = 0, errors = 0, status = 0;
    ASSERT_EQ(VYK_GetCameraHealthStatus(h, &warnings, &errors, &status), VYK_NOERROR);
    EXPECT_EQ(warnings, 0x6u);
    EXPECT_EQ(errors, 0x20010u);
    EXPECT_EQ(status, 0x1u);
    // Any of the three words may be skipped.
    EXPECT_EQ(VYK_GetCameraHealthStatus(h, nullptr, &errors, nullptr), VYK_NOERROR);

    VYK_HANDLE quiet = openBySerial(502);
    ASSERT_EQ(VYK_GetCameraHealthStatus(quiet, &warnings, &errors, &status), VYK_NOERROR);
    EXPECT_EQ(warnings, 0u);
    EXPECT_EQ(errors, 0u);
}

TEST_F(SimCameraFixture, DeviceStopsAnsweringAfterItsFrameBudget)
{
    json camera = baseCamera(511);
    camera["failure"] = {{"after_frames", 7}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(511);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 2, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_EQ(frames.waitFor(7), 7u);
    uint16_t state = 0;
    const Clock::time_point start = Clock::now();
    int32_t result = VYK_NOERROR;
    while (!VYK_FAILED(result) && Clock::now() - start < std::chrono::seconds(20)) {
        result = VYK_GetRecordingState(h, &state);
        std::this_thread::yield();
    }
    EXPECT_EQ(result, VYK_ERR_DEVICE_TIMEOUT);
    uint32_t warnings = 0;
    EXPECT_EQ(VYK_GetCameraHealthStatus(h, &warnings, nullptr, nullptr), VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_EQ(VYK_ArmCamera(h), VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_EQ(frames.waitFor(8, std::chrono::milliseconds(200)), 7u);
    // Closing a dead camera reports it but still frees the handle.
    EXPECT_EQ(VYK_CloseCamera(h), VYK_ERR_DEVICE_TIMEOUT);
    open_.clear();
    EXPECT_EQ(VYK_GetRecordingState(h, &state), VYK_ERR_INVALID_HANDLE);
    // Opened again, the camera answers afresh.
    VYK_HANDLE again = openBySerial(511);
    EXPECT_EQ(VYK_GetRecordingState(again, &state), VYK_NOERROR);
}

TEST_F(SimCameraFixture, DeviceStopsAnsweringAfterItsTimeBudget)
{
    json camera = baseCamera(521);
    camera["failure"] = {{"after_s", 0.3}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(521);
    uint16_t state = 0;
    const Clock::time_point start = Clock::now();
    int32_t result = VYK_NOERROR;
    while (!VYK_FAILED(result) && Clock::now() - start < std::chrono::seconds(20)) {
        result = VYK_GetRecordingState(h, &state);
        std::this_thread::yield();
    }
    EXPECT_EQ(result, VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
    char text[100];
    ASSERT_EQ(VYK_GetErrorText(uint32_t(result), text, sizeof text), VYK_NOERROR);
    EXPECT_STREQ(text, "The camera does not answer.");
}
