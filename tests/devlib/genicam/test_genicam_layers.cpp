// A GenICam camera seen from above the device library: the camera layer works on it as on
// any local camera, and rastel-devserver --genicam serves it to remote clients. On Aravis's
// in-process fake camera (no network besides the server's loopback ports).
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>

#include "camera/Camera.h"
#include "camera/CameraException.h"
#include "camera/Image.h"
#include "camera/RemoteCamera.h"
#include "kv2_cam.h"
#include "tests/support/ChildProcess.h"

namespace {

using testsupport::ChildProcess;
using vyk::DataFormat;
using vyk::RecordMode;

constexpr uint32_t kFakeSerial = 1; // the fake's DeviceSerialNumber is "1"

// Takes images in a ring and checks the newest: size, 8-bit values, a picture (not all zero).
template <typename AnyKindOfCamera>
void previewWorks(AnyKindOfCamera& camera)
{
    vyk::Configuration configuration = camera.getConfiguration();
    configuration.exposure_time_s = 0.005;
    configuration.roi = vyk::Roi{1, 1, 320, 200};
    camera.setConfiguration(configuration);
    camera.record(4, RecordMode::RingBuffer);
    camera.waitForFirstImage(true, 10.0);
    camera.waitForNewImage(true, 10.0);
    vyk::Image image;
    camera.image(image, static_cast<uint64_t>(-1));
    EXPECT_EQ(image.roi(), (vyk::Roi{1, 1, 320, 200}));
    // The fake starts in Mono8: the raw data stays 8-bit.
    ASSERT_EQ(image.rawData8().size(), 320u * 200u);
    EXPECT_GT(*std::max_element(image.rawData8().begin(), image.rawData8().end()), 0);
    camera.stop();
    EXPECT_FALSE(camera.isRecording());
}

class GenicamLayers : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("RASTEL_GENICAM", "Fake_1", 1);
        unsetenv("RASTEL_SIM_CONFIG");
        ASSERT_EQ(VYK_InitializeLib(), VYK_NOERROR);
    }
    void TearDown() override
    {
        VYK_CleanupLib();
        unsetenv("RASTEL_GENICAM");
    }
};

TEST_F(GenicamLayers, CameraLayerOpensAndPreviewsItAsALocalCamera)
{
    vyk::Camera camera(vyk::InterfaceType::GigE, kFakeSerial);
    EXPECT_EQ(camera.getSerial(), kFakeSerial);
    EXPECT_EQ(camera.getName(), "Aravis Fake");
    EXPECT_FALSE(camera.isColored());
    camera.defaultConfiguration();
    previewWorks(camera);
    // No camera RAM: its record modes are refused as for any camera without it.
    EXPECT_THROW(camera.record(10, RecordMode::CamramRing), vyk::CameraException);
}

TEST_F(GenicamLayers, DeviceServerServesItToRemoteClients)
{
    ChildProcess server({RASTEL_DEVSERVER_EXECUTABLE, "--base-port", "0", "--discovery-port", "0", "--genicam",
                         "Fake_1", "--no-light-sources", "--log-level", "error"});
    const auto ports = testsupport::readServerPorts(server);
    ASSERT_TRUE(ports.has_value()) << "the server ended before it was ready";
    ASSERT_EQ(ports->count("camera 1"), 1u);
    {
        vyk::RemoteCamera camera("127.0.0.1", ports->at("camera 1"), 500);
        EXPECT_EQ(camera.getSerial(), kFakeSerial);
        EXPECT_EQ(camera.getName(), "Aravis Fake");
        previewWorks(camera);
    }
    EXPECT_EQ(server.finish(SIGTERM), 0);
}

} // namespace
