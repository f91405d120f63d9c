// Opening, identity, description and closing of the local camera.

#include "test_CameraFixture.h"

#include <memory>

#include "camera/CameraCloseLine.h"
#include "camera/PixelFormat.h"

using vyk::Camera;
using vyk::InterfaceType;

TEST_F(CameraTest, OpensBySerialOnAnyInterfaceAndReadsIdentity) {
  auto gige = baseCamera(2002);
  gige["interface"] = "GigE";
  gige["name"] = "left arm";
  useCameras({baseCamera(1001), gige});

  Camera camera(InterfaceType::Any, 2002);
  EXPECT_EQ(camera.getSerial(), 2002u);
  EXPECT_EQ(camera.getName(), "left arm");
  EXPECT_EQ(camera.getInterface(), InterfaceType::GigE);
  EXPECT_FALSE(camera.isColored());
  EXPECT_EQ(camera.getHealth().result, 0);
}

TEST_F(CameraTest, RequestedInterfaceIsTriedFirstButNotExclusively) {
  useCameras({baseCamera(1001)});
  // The camera sits on USB3; asking for GigE first still finds it on the list.
  Camera camera(InterfaceType::GigE, 1001);
  EXPECT_EQ(camera.getInterface(), InterfaceType::USB3);
}

TEST_F(CameraTest, UnknownSerialFailsWithItsOwnCode) {
  useCameras({baseCamera(1001)});
  EXPECT_CAMERA_ERROR(Camera(InterfaceType::Any, 4242), libraryText(0xa0163013), 0xa0163013);
}

TEST_F(CameraTest, EnumerationOpensEachFreeCameraInTurnThenFails) {
  auto firewire = baseCamera(3003);
  firewire["interface"] = "FireWire";
  useCameras({baseCamera(1001), baseCamera(1002), firewire});

  // Interfaces are tried in list order (FireWire first); busy cameras are skipped.
  Camera first;
  Camera second;
  Camera third;
  EXPECT_EQ(first.getSerial(), 3003u);
  EXPECT_EQ(first.getInterface(), InterfaceType::FireWire);
  EXPECT_EQ(second.getSerial(), 1001u);
  EXPECT_EQ(third.getSerial(), 1002u);
  // Nothing left: the last interface's refusal is the failure.
  EXPECT_CAMERA_CODE(Camera(), static_cast<uint32_t>(VYK_ERR_NO_CAMERA));
}

TEST_F(CameraTest, DescriptionTranslatesTheDeviceRecord) {
  auto cam = baseCamera(1001);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"ext_width", 80}, {"ext_height", 60}, {"bits", 12}};
  cam["roi"] = {{"step_horz", 4}, {"step_vert", 2}, {"symmetric_vert", true}, {"min_width", 16}, {"min_height", 8}};
  cam["binning"] = {{"max_horz", 4}, {"max_vert", 3}, {"linear", false}, {"average", true}};
  cam["capabilities"] = {{"timestamp", true}, {"timestamp_ascii", true}, {"acquire_mode", true},
                         {"ext_acquire_mode", true}, {"metadata", true}, {"noise_filter", true},
                         {"ext_exposure_control", false}};
  cam["ram"] = {{"pages", 1000}, {"page_size", 4096}};
  cam["pixel_rates_hz"] = {10000000, 40000000};
  cam["conversion_factors"] = {1.5, 0.75};
  cam["exposure"] = {{"min_ns", 1000}, {"max_ms", 2000}, {"step_ns", 100}};
  cam["delay"] = {{"min_ns", 0}, {"max_ms", 1000}, {"step_ns", 10}};
  useCameras({cam});

  Camera camera(InterfaceType::Any, 1001);
  const vyk::Description d = camera.getDescription();
  EXPECT_EQ(d.serial, 1001u);
  EXPECT_EQ(d.type, 0x1234);
  EXPECT_EQ(d.sub_type, 7);
  EXPECT_EQ(d.interface_type, InterfaceType::USB3);
  EXPECT_DOUBLE_EQ(d.min_exposure_time_s, 1e-6);
  EXPECT_DOUBLE_EQ(d.max_exposure_time_s, 2.0);
  EXPECT_DOUBLE_EQ(d.min_exposure_step_s, 1e-7);
  EXPECT_DOUBLE_EQ(d.min_delay_time_s, 0.0);
  EXPECT_DOUBLE_EQ(d.max_delay_time_s, 1.0);
  EXPECT_DOUBLE_EQ(d.min_delay_step_s, 1e-8);
  EXPECT_EQ(d.max_width, 64u);
  EXPECT_EQ(d.max_height, 48u);
  EXPECT_EQ(d.min_width, 16u);
  EXPECT_EQ(d.min_height, 8u);
  EXPECT_EQ(d.roi_step_horz, 4u);
  EXPECT_EQ(d.roi_step_vert, 2u);
  EXPECT_TRUE(d.roi_symmetric_vert);
  EXPECT_FALSE(d.roi_symmetric_horz);
  EXPECT_EQ(d.bit_resolution, 12);
  EXPECT_TRUE(d.has_timestamp_mode);
  EXPECT_TRUE(d.has_timestamp_mode_ascii_only);
  EXPECT_EQ(d.pixelrate_vec, (std::vector<uint32_t>{10000000, 40000000}));
  EXPECT_EQ(d.conversion_factor_vec, (std::vector<double>{1.5, 0.75}));
  EXPECT_FALSE(d.has_trigger_mode_extexpctrl);
  EXPECT_TRUE(d.has_acquire_mode);
  EXPECT_TRUE(d.has_ext_acquire_mode);
  EXPECT_TRUE(d.has_metadata_mode);
  EXPECT_TRUE(d.has_ram);
  EXPECT_EQ(d.binning_horz_vec, (std::vector<uint16_t>{1, 2, 4}));
  EXPECT_EQ(d.binning_vert_vec, (std::vector<uint16_t>{1, 2}));
  EXPECT_TRUE(d.has_average_binning);
  EXPECT_EQ(d.pixel_format_vec, (std::vector<uint32_t>{0x4}));
  EXPECT_FALSE(d.is_colored);
  EXPECT_EQ(d.line_sensor_mode, 0u);

  // The extended sensor format changes the reported maximum size.
  ASSERT_EQ(VYK_SetSensorFormat(deviceOf(camera), VYK_SENSORFORMAT_EXTENDED), 0);
  const vyk::Description extended = camera.getDescription();
  EXPECT_EQ(extended.max_width, 80u);
  EXPECT_EQ(extended.max_height, 60u);
}

TEST_F(CameraTest, DescriptionListsSelectablePixelFormatsLinearBinningAndLineSensors) {
  auto cam = baseCamera(1001);
  cam["pixel_formats"] = {16, 12, 8};
  cam["binning"] = {{"max_horz", 3}, {"max_vert", 1}, {"linear", true}};
  cam["capabilities"] = {{"line_sensor", true}, {"timestamp", false}, {"acquire_mode", false}};
  cam["sensor"] = {{"width", 64}, {"height", 1}, {"bits", 16}, {"color", true}};
  auto tall = baseCamera(1002);
  tall["capabilities"] = {{"line_sensor", true}, {"timestamp", false}, {"acquire_mode", false}};
  useCameras({cam, tall});

  Camera camera(InterfaceType::Any, 1001);
  const vyk::Description d = camera.getDescription();
  EXPECT_EQ(d.pixel_format_vec, (std::vector<uint32_t>{0x1, 0x4, 0x10}));
  EXPECT_EQ(d.binning_horz_vec, (std::vector<uint16_t>{1, 2, 3}));
  EXPECT_EQ(d.binning_vert_vec, (std::vector<uint16_t>{1}));
  EXPECT_FALSE(d.has_timestamp_mode);
  EXPECT_FALSE(d.has_acquire_mode);
  EXPECT_FALSE(d.has_ram);
  EXPECT_TRUE(d.is_colored);
  EXPECT_TRUE(camera.isColored());
  EXPECT_EQ(d.line_sensor_mode, 1u);

  Camera tallCamera(InterfaceType::Any, 1002);
  EXPECT_EQ(tallCamera.getDescription().line_sensor_mode, 2u);
}

TEST_F(CameraTest, AlternativeSensitivityModeSwitchesTheTimingLimits) {
  auto cam = baseCamera(1001);
  cam["alternative_sensitivity"] = {{"exposure", {{"min_ns", 50000}, {"max_ms", 100}, {"step_ns", 1000}}}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  EXPECT_DOUBLE_EQ(camera.getDescription().max_exposure_time_s, 5.0);
  ASSERT_EQ(VYK_SetAltSensitivityMode(deviceOf(camera), 1), 0);
  const vyk::Description alt = camera.getDescription();
  EXPECT_DOUBLE_EQ(alt.min_exposure_time_s, 50e-6);
  EXPECT_DOUBLE_EQ(alt.max_exposure_time_s, 0.1);
  // The alternative limits also bound what setExposureTime accepts.
  EXPECT_CAMERA_ERROR(camera.setExposureTime(0.5), "invalid exposure time: greater than max limit", 0xa0163001);
  EXPECT_NO_THROW(camera.setExposureTime(0.05));
}

TEST_F(CameraTest, SensorInfoDescribesTheSensorForTheConverter) {
  auto colour = baseCamera(1001);
  colour["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 16}, {"color", true}};
  colour["pixel_formats"] = {16, 8};  // selectable: the device supplies its colour matrix
  colour["color_matrix"] = {1.5, -0.25, -0.25, -0.5, 2.0, -0.5, 0.0, -1.0, 2.0};
  colour["color_setting"] = 0;
  colour["dark_offset"] = 37;
  auto mono = baseCamera(1002);
  mono["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 12}};
  mono["color_matrix"] = {2, 0, 0, 0, 2, 0, 0, 0, 2};
  mono["dark_offset"] = 55;
  mono["color_setting"] = 1;
  useCameras({colour, mono});

  Camera colourCamera(InterfaceType::Any, 1001);
  const vyk::SensorInfo c = colourCamera.getSensorInfo();
  EXPECT_EQ(c.wSize, 264);
  EXPECT_EQ(c.iSensorInfoBits, 0x3);  // colour-setting query 0, colour sensor
  EXPECT_EQ(c.iConversionFactor, 0);
  EXPECT_EQ(c.iDataBits, 16);
  EXPECT_EQ(c.iDarkOffset, 37);
  EXPECT_DOUBLE_EQ(c.strColorCoeff.da11, 1.5);
  EXPECT_DOUBLE_EQ(c.strColorCoeff.da12, -0.25);
  EXPECT_DOUBLE_EQ(c.strColorCoeff.da32, -1.0);
  EXPECT_DOUBLE_EQ(c.strColorCoeff.da33, 2.0);
  EXPECT_EQ(c.iCamNum, 0);
  EXPECT_NE(c.hCamera, nullptr);

  Camera monoCamera(InterfaceType::Any, 1002);
  const vyk::SensorInfo m = monoCamera.getSensorInfo();
  EXPECT_EQ(m.iSensorInfoBits, 0);
  EXPECT_EQ(m.iDataBits, 12);
  EXPECT_DOUBLE_EQ(m.strColorCoeff.da11, 0.0);  // no matrix without a selectable pixel format
  EXPECT_EQ(m.iDarkOffset, 55);
}

TEST_F(CameraTest, CloseReleasesTheDeviceSilentlyAndKeepsTheStoredRecords) {
  useCameras({baseCamera(1001)});
  auto camera = std::make_unique<Camera>(InterfaceType::Any, 1001);
  testing::internal::CaptureStdout();
  camera->close();
  camera->close();  // a second close has nothing left to release
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  const vyk::Description d = camera->getDescription();
  EXPECT_EQ(d.serial, 1001u);
  EXPECT_FALSE(d.is_colored);
  EXPECT_EQ(d.max_width, 0u);
  EXPECT_NE(camera->getHealth().result, 0);

  // The device is free again.
  Camera again(InterfaceType::Any, 1001);
  EXPECT_EQ(again.getSerial(), 1001u);
}

TEST_F(CameraTest, CloseReportsAFailingDeviceCloseAndGoesOn) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  // Cleaning the library up closes the device behind the camera's back.
  ASSERT_EQ(VYK_CleanupLib(), 0);
  initialised_ = false;
  testing::internal::CaptureStdout();
  EXPECT_NO_THROW(camera.close());
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, "Close with error: " + libraryText(static_cast<uint32_t>(VYK_ERR_INVALID_HANDLE)) + "\n");
}

TEST_F(CameraTest, DestructorStopsARunningRecordingBeforeClosing) {
  useCameras({baseCamera(1001)});
  {
    Camera camera(InterfaceType::Any, 1001);
    camera.setExposureTime(0.001);
    camera.record(10, vyk::RecordMode::RingBuffer);
    ASSERT_TRUE(camera.isRecording());
    testing::internal::CaptureStdout();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  Camera again(InterfaceType::Any, 1001);
  EXPECT_FALSE(again.isRecording());
}

TEST_F(CameraTest, ArmingReadsTheDescriptionAgainWhenTheDeviceReportsAChange) {
  auto cam = baseCamera(1001);
  cam["alternative_sensitivity"] = {{"exposure", {{"min_ns", 50000}, {"max_ms", 100}, {"step_ns", 1000}}}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  ASSERT_EQ(VYK_SetAltSensitivityMode(deviceOf(camera), 1), 0);
  ASSERT_NE(camera.getHealth().status & VYK_STATUS_DESCRIPTION_CHANGED, 0u);
  camera.setConfiguration(vyk::Configuration::unset());
  EXPECT_EQ(camera.getHealth().status & VYK_STATUS_DESCRIPTION_CHANGED, 0u);
}

TEST_F(CameraTest, DefaultConfigurationStopsTheDeviceAndRestoresItsDefaults) {
  auto cam = stampingCamera(1001);
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  vyk::Configuration set = vyk::Configuration::unset();
  set.exposure_time_s = 0.002;
  set.roi = vyk::Roi{1, 1, 32, 24};
  set.metadata_mode = 0;
  set.trigger_mode = VYK_TRIGGER_SOFTWARE;
  camera.setConfiguration(set);
  ASSERT_EQ(VYK_SetTransferMode(deviceOf(camera), 0), 0);
  ASSERT_EQ(VYK_ArmCamera(deviceOf(camera)), 0);
  ASSERT_EQ(VYK_SetRecordingState(deviceOf(camera), 1), 0);  // recording behind the camera's back

  camera.defaultConfiguration();
  uint16_t state = 1;
  ASSERT_EQ(VYK_GetRecordingState(deviceOf(camera), &state), 0);
  EXPECT_EQ(state, 0);
  const vyk::Configuration back = camera.getConfiguration();
  EXPECT_DOUBLE_EQ(back.exposure_time_s, 0.01);
  EXPECT_EQ(back.roi, (vyk::Roi{1, 1, 64, 48}));
  EXPECT_EQ(back.trigger_mode, VYK_TRIGGER_AUTO);
  EXPECT_EQ(back.metadata_mode, 1);  // switched on again where available
  uint16_t transfer = 0;
  ASSERT_EQ(VYK_GetTransferMode(deviceOf(camera), &transfer), 0);
  EXPECT_EQ(transfer, 1);
}

TEST(CameraCloseLineTest, NamesWarningsAndErrorsWithTheLibraryText) {
  const auto text = [](int32_t code) { return vyk::CameraException(static_cast<uint32_t>(code)).message(); };
  EXPECT_EQ(vyk::CameraCloseLine::of(VYK_ERR_INVALID_HANDLE), "Close with error: " + text(VYK_ERR_INVALID_HANDLE));
  const auto warning = static_cast<int32_t>(0xC0163001u);
  EXPECT_EQ(vyk::CameraCloseLine::of(warning), "Close with warning: " + text(warning));
  // The warning bit alone, without the error bit, is not a warning of a release step.
  EXPECT_EQ(vyk::CameraCloseLine::of(VYK_ERR_TRIGGER_REJECTED),
            "Close with error: " + text(VYK_ERR_TRIGGER_REJECTED));
  EXPECT_EQ(vyk::CameraCloseLine::ofDeviceClose(warning), "Close with error: " + text(warning));
}

TEST(PixelFormatTest, EachBitResolutionHasOneFlag) {
  EXPECT_EQ(vyk::PixelFormat::flagOfBits(8), 0x10u);
  EXPECT_EQ(vyk::PixelFormat::flagOfBits(10), 0x8u);
  EXPECT_EQ(vyk::PixelFormat::flagOfBits(12), 0x4u);
  EXPECT_EQ(vyk::PixelFormat::flagOfBits(14), 0x2u);
  EXPECT_EQ(vyk::PixelFormat::flagOfBits(16), 0x1u);
  EXPECT_CAMERA_ERROR(vyk::PixelFormat::flagOfBits(9), "Unknown dynamic resolution: 9", 0x160000);
  EXPECT_CAMERA_ERROR(vyk::PixelFormat::flagOfBits(0), "Unknown dynamic resolution: 0", 0x160000);
}
