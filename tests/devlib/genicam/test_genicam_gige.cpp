// GenICam cameras over the real GigE Vision protocol: Aravis's fake GigE Vision camera on
// 127.0.0.1 as a child process. Its port is fixed, so these tests run one at a time (ctest
// lock) and, where possible, each in a private network namespace (see CMakeLists.txt).
#include "GenicamFixture.h"
#include "tests/support/ChildProcess.h"

#include "GenicamIds.h"
#include "vyk_sim_frames.h"

#include "camera/Camera.h"

#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace gentest;

namespace {

constexpr const char* kAddress = "127.0.0.1";
// A starting fake answers within this time.
constexpr double kStartS = 10.0;

class FakeGigE : public GenicamTest {
protected:
    void SetUp() override { ASSERT_TRUE(fake_.alive()) << "arv-fake-gv-camera-0.8 could not be started"; }

    // Opens the fake with exposure us, ROI width x height and a pixel format, armed.
    VYK_HANDLE openSetUp(uint32_t exposureUs, uint16_t width, uint16_t height, uint32_t format)
    {
        VYK_HANDLE camera = openGenicam(kAddress, kStartS);
        if (camera == nullptr)
            return nullptr;
        EXPECT_EQ(VYK_SetDelayExposureTime(camera, 0, exposureUs, VYK_TIMEBASE_US, VYK_TIMEBASE_US), VYK_NOERROR);
        EXPECT_EQ(VYK_SetROI(camera, 1, 1, width, height), VYK_NOERROR);
        EXPECT_EQ(VYK_SetPixelFormat(camera, format), VYK_NOERROR);
        EXPECT_EQ(VYK_SetTimestampMode(camera, VYK_TIMESTAMP_BINARY), VYK_NOERROR);
        EXPECT_EQ(VYK_ArmCamera(camera), VYK_NOERROR);
        return camera;
    }

    // GVCP on UDP port 3956 of 127.0.0.1: one such camera per network namespace.
    testsupport::ChildProcess fake_{{"/usr/bin/arv-fake-gv-camera-0.8", "-i", kAddress}};
};

} // namespace

TEST_F(FakeGigE, IsTheSameKindOfCameraOverGigEVision)
{
    VYK_HANDLE camera = openSetUp(10000, 256, 128, VYK_PIXELFORMAT_16BIT);
    ASSERT_NE(camera, nullptr);
    VYK_CameraType type{};
    type.wSize = sizeof type;
    ASSERT_EQ(VYK_GetCameraType(camera, &type), VYK_NOERROR);
    EXPECT_EQ(type.wInterfaceType, VYK_INTERFACE_GIGE);
    EXPECT_EQ(type.dwSerialNumber, vyksim::serialOfGenicamText("GV01")); // the fake's serial text
    char name[260] = {};
    ASSERT_EQ(VYK_GetCameraName(camera, name, sizeof name), VYK_NOERROR);
    EXPECT_STREQ(name, "Aravis Fake");
    VYK_RECORDER recorder = recordSequence(camera, 5);
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.recorded, 5u);
    EXPECT_EQ(s.error, 0);
    uint16_t width = 0, height = 0;
    ASSERT_EQ(VYK_RecorderGetSettings(recorder, camera, nullptr, nullptr, &width, &height), VYK_NOERROR);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 128);
}

TEST_F(FakeGigE, SoftwareTriggerGivesOneImagePerTrigger)
{
    VYK_HANDLE camera = openSetUp(2000, 128, 128, VYK_PIXELFORMAT_8BIT);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(VYK_SetTriggerMode(camera, VYK_TRIGGER_SOFTWARE), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(camera), VYK_NOERROR);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY);
    ASSERT_EQ(VYK_RecorderInit(recorder, 20, VYK_RECORDER_MEMORY_SEQUENCE, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(status(recorder, camera).recorded, 0u); // nothing without a trigger
    uint16_t accepted = 0;
    for (uint32_t n = 1; n <= 5; ++n) {
        ASSERT_TRUE(waitFor([&] { return VYK_ForceTrigger(camera, &accepted) == VYK_NOERROR; }));
        EXPECT_EQ(accepted, 1);
        ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded >= n; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(status(recorder, camera).recorded, 5u);
    EXPECT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
}

TEST_F(FakeGigE, HundredImageRecordingCountsTrue)
{
    // 1024 x 1024 Mono16 at 50 images/s: what the fake sends over loopback.
    VYK_HANDLE camera = openSetUp(20000, 1024, 1024, VYK_PIXELFORMAT_16BIT);
    ASSERT_NE(camera, nullptr);
    VYK_RECORDER recorder = recordSequence(camera, 100);
    const Status s = status(recorder, camera);
    EXPECT_EQ(s.recorded, 100u);
    uint64_t delivered = 0, lost = 0;
    frameCounts(recorder, camera, delivered, lost);
    uint64_t completed = 0, incomplete = 0, underruns = 0;
    ASSERT_EQ(vyksim::simStreamCounts(camera, &completed, &incomplete, &underruns), VYK_NOERROR);
    // Every frame Aravis could not complete, had no buffer for or never saw is a lost frame,
    // and the status tells so. (Frame ids the camera skipped count as lost too: a fake
    // camera short of processor time skips some.)
    EXPECT_GE(completed, 100u);
    EXPECT_GE(lost, incomplete + underruns);
    EXPECT_LE(delivered, 100u + lost);
    if (lost == 0)
        EXPECT_EQ(s.error, 0);
    else
        EXPECT_TRUE(s.error == VYK_ERR_INCOMPLETE_IMAGES || s.error == VYK_ERR_BUFFER_OVERRUN) << std::hex << s.error;
    // The stored images are whole ones in camera order: their frame ids only rise, and they
    // skip exactly the lost ones.
    uint64_t skipped = 0;
    uint32_t previous = copy(recorder, camera, 0).counter;
    for (uint32_t i = 1; i < 100; ++i) {
        const Copy c = copy(recorder, camera, i);
        ASSERT_EQ(c.rc, VYK_NOERROR);
        ASSERT_GT(c.counter, previous);
        skipped += c.counter - previous - 1;
        previous = c.counter;
    }
    EXPECT_LE(skipped, lost);
}

TEST_F(FakeGigE, IncompleteFramesAreCountedLostAndNeverStored)
{
    // Large images, and the camera paused now and then in the middle of sending one: Aravis
    // hands over buffers with packets missing.
    VYK_HANDLE camera = openSetUp(20000, 2048, 2048, VYK_PIXELFORMAT_16BIT);
    ASSERT_NE(camera, nullptr);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY);
    ASSERT_EQ(VYK_RecorderInit(recorder, 4, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded >= 2; }));
    uint64_t completed = 0, incomplete = 0, underruns = 0;
    for (int pause = 0; pause < 20 && incomplete == 0; ++pause) {
        std::this_thread::sleep_for(std::chrono::milliseconds(37));
        kill(fake_.pid(), SIGSTOP);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        kill(fake_.pid(), SIGCONT);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ASSERT_EQ(vyksim::simStreamCounts(camera, &completed, &incomplete, &underruns), VYK_NOERROR);
    }
    ASSERT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    ASSERT_EQ(vyksim::simStreamCounts(camera, &completed, &incomplete, &underruns), VYK_NOERROR);
    ASSERT_GT(incomplete, 0u) << "no incomplete frame could be provoked";
    uint64_t delivered = 0, lost = 0;
    frameCounts(recorder, camera, delivered, lost);
    EXPECT_GE(lost, incomplete + underruns);
    const Status s = status(recorder, camera);
    EXPECT_TRUE(s.error == VYK_ERR_INCOMPLETE_IMAGES || s.error == VYK_ERR_BUFFER_OVERRUN) << std::hex << s.error;
    EXPECT_LE(s.recorded, delivered - incomplete);
}

TEST_F(FakeGigE, CameraLayerReportsTheLostImages)
{
    // The same pauses as above, seen through the camera layer the acquisition engine uses.
    setenv("RASTEL_GENICAM", kAddress, 1);
    std::unique_ptr<vyk::Camera> camera;
    waitFor(
        [&] {
            try {
                camera = std::make_unique<vyk::Camera>(vyk::InterfaceType::GigE, vyksim::serialOfGenicamText("GV01"));
            } catch (const std::exception&) {
            }
            return camera != nullptr;
        },
        kStartS);
    ASSERT_NE(camera, nullptr);
    vyk::Configuration configuration = camera->getConfiguration();
    configuration.roi = vyk::Roi{1, 1, 2048, 2048};
    configuration.exposure_time_s = 0.02;
    camera->setConfiguration(configuration);
    EXPECT_EQ(camera->getLostImageCount(), 0u); // no recorder yet
    camera->record(4, vyk::RecordMode::RingBuffer);
    camera->waitForFirstImage(true, 10.0);
    for (int pause = 0; pause < 20 && camera->getLostImageCount() == 0; ++pause) {
        std::this_thread::sleep_for(std::chrono::milliseconds(37));
        kill(fake_.pid(), SIGSTOP);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        kill(fake_.pid(), SIGCONT);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    EXPECT_GT(camera->getLostImageCount(), 0u);
    // Lost images alone do not make the recording a failed one.
    EXPECT_NO_THROW(camera->stop());
    EXPECT_NO_THROW(camera->waitForFirstImage(true, 1.0));
}

TEST_F(FakeGigE, CameraThatDisappearsEndsInADeviceErrorWithoutHanging)
{
    VYK_HANDLE camera = openSetUp(20000, 256, 256, VYK_PIXELFORMAT_16BIT);
    ASSERT_NE(camera, nullptr);
    VYK_RECORDER recorder = create(camera, VYK_RECORDER_MODE_MEMORY);
    ASSERT_EQ(VYK_RecorderInit(recorder, 8, VYK_RECORDER_MEMORY_RING, 0, nullptr, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_RecorderStart(recorder), VYK_NOERROR);
    ASSERT_TRUE(waitFor([&] { return status(recorder, camera).recorded >= 5; }));

    fake_.kill();
    const auto killedAt = std::chrono::steady_clock::now();
    int32_t health = VYK_NOERROR;
    // The health check of the application asks every few seconds; here twice a second.
    while (health == VYK_NOERROR && std::chrono::steady_clock::now() - killedAt < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        health = VYK_GetCameraHealthStatus(camera, nullptr, nullptr, nullptr);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - killedAt).count();
    EXPECT_EQ(health, VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_LT(seconds, 5.0);
    // Every later call answers at once with the same error; stopping and closing do not wait
    // for the lost camera.
    const auto before = std::chrono::steady_clock::now();
    uint16_t state = 0;
    EXPECT_EQ(VYK_GetRecordingState(camera, &state), VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_EQ(VYK_RecorderStop(recorder), VYK_NOERROR);
    EXPECT_EQ(VYK_CloseCamera(camera), VYK_ERR_DEVICE_TIMEOUT);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 2.0);
}
