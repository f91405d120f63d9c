// Reading and writing the configuration of the local camera: validation messages, time
// bases, binning words, pixel-format flags and auto-exposure limits.

#include "test_CameraFixture.h"

#include <cmath>
#include <limits>

#include "camera/DeviceTime.h"
#include "camera/Unset.h"

using vyk::Camera;
using vyk::Configuration;
using vyk::InterfaceType;

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Delay and exposure as the device holds them.
struct DeviceTimes {
  uint32_t delay = 0, exposure = 0;
  uint16_t delayBase = 0, exposureBase = 0;
};

DeviceTimes readTimes(const Camera& camera) {
  DeviceTimes t;
  EXPECT_EQ(VYK_GetDelayExposureTime(CameraTest::deviceOf(camera), &t.delay, &t.exposure, &t.delayBase,
                                     &t.exposureBase),
            0);
  return t;
}

}  // namespace

TEST_F(CameraTest, ConfigurationReadsTheDeviceInSecondsAndFlags) {
  auto cam = baseCamera(1001);
  cam["capabilities"] = {{"timestamp", true}, {"acquire_mode", true}, {"ext_acquire_mode", true},
                         {"metadata", true}, {"noise_filter", true}};
  cam["binning"] = {{"max_horz", 2}, {"max_vert", 2}, {"average", true}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);

  const Configuration c = camera.getConfiguration();
  EXPECT_DOUBLE_EQ(c.exposure_time_s, 0.01);  // the device default: 10000 us
  EXPECT_DOUBLE_EQ(c.delay_time_s, 0.0);
  EXPECT_EQ(c.roi, (vyk::Roi{1, 1, 64, 48}));
  EXPECT_EQ(c.timestamp_mode, 0);
  EXPECT_EQ(c.trigger_mode, 0);
  EXPECT_EQ(c.acquire_mode, 0);
  EXPECT_EQ(c.acquire_sequence_number, vyk::kUnset32);
  EXPECT_EQ(c.metadata_mode, 1);  // defaults switch metadata on where available
  EXPECT_EQ(c.noise_filter_mode, 0);
  EXPECT_EQ(c.binning.horz, 1);
  EXPECT_EQ(c.binning.vert, 1);
  EXPECT_EQ(c.binning.mode, vyk::BinningMode::Sum);
  EXPECT_EQ(c.pixel_format, 0x1u);
  EXPECT_EQ(c.auto_exposure, vyk::AutoExposure{});
  EXPECT_DOUBLE_EQ(camera.getExposureTime(), 0.01);
  EXPECT_DOUBLE_EQ(camera.getDelayTime(), 0.0);

  Configuration set = Configuration::unset();
  set.exposure_time_s = 0.002;
  set.delay_time_s = 0.0005;
  set.roi = vyk::Roi{1, 1, 32, 24};
  set.timestamp_mode = 2;
  set.pixelrate = 20000000;
  set.conversion_factor = 0.5;
  set.trigger_mode = 1;
  set.acquire_mode = 4;
  set.acquire_sequence_number = 7;
  set.metadata_mode = 0;
  set.noise_filter_mode = 1;
  set.binning = vyk::Binning{2, 2, vyk::BinningMode::Average};
  set.pixel_format = 0x1;
  set.auto_exposure = vyk::AutoExposure{vyk::AutoExposureRegion::Full, 0.002, 0.5};
  camera.setConfiguration(set);

  const Configuration back = camera.getConfiguration();
  EXPECT_DOUBLE_EQ(back.exposure_time_s, 0.002);
  EXPECT_DOUBLE_EQ(back.delay_time_s, 0.0005);
  EXPECT_EQ(back.roi, set.roi);
  EXPECT_EQ(back.timestamp_mode, 2);
  EXPECT_EQ(back.pixelrate, 20000000u);
  EXPECT_DOUBLE_EQ(back.conversion_factor, 0.5);
  EXPECT_EQ(back.trigger_mode, 1);
  EXPECT_EQ(back.acquire_mode, 4);
  EXPECT_EQ(back.acquire_sequence_number, 7u);
  EXPECT_EQ(back.metadata_mode, 0);
  EXPECT_EQ(back.noise_filter_mode, 1);
  EXPECT_EQ(back.binning, set.binning);
  EXPECT_EQ(back.auto_exposure, set.auto_exposure);
}

TEST_F(CameraTest, CapabilitiesAbsentFromTheDeviceAreNeitherReadNorWritten) {
  useCameras({baseCamera(1001)});  // no timestamp, no acquire mode, no metadata, no noise filter
  Camera camera(InterfaceType::Any, 1001);
  const Configuration c = camera.getConfiguration();
  EXPECT_EQ(c.timestamp_mode, vyk::kUnset16);
  EXPECT_EQ(c.acquire_mode, vyk::kUnset16);
  EXPECT_EQ(c.metadata_mode, 0);
  EXPECT_EQ(c.noise_filter_mode, vyk::kUnset16);

  Configuration set = Configuration::unset();
  set.timestamp_mode = 1;
  set.acquire_mode = 1;
  set.metadata_mode = 1;
  set.noise_filter_mode = 1;
  EXPECT_NO_THROW(camera.setConfiguration(set));
}

TEST_F(CameraTest, EveryFieldUnsetOnlyStoresAutoExposureAndArms) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  const Configuration before = camera.getConfiguration();
  Configuration set = Configuration::unset();
  set.auto_exposure.region = vyk::AutoExposureRegion::CornerBased;
  camera.setConfiguration(set);
  Configuration after = camera.getConfiguration();
  EXPECT_EQ(after.auto_exposure.region, vyk::AutoExposureRegion::CornerBased);
  // Unset (NaN) limits keep the stored limits rather than storing NaN.
  EXPECT_DOUBLE_EQ(after.auto_exposure.min_exposure_s, 0.001);
  EXPECT_DOUBLE_EQ(after.auto_exposure.max_exposure_s, 0.1);
  after.auto_exposure = before.auto_exposure;
  EXPECT_EQ(after, before);
}

TEST_F(CameraTest, TimesTravelInTheTimeBaseTheirSizeNeeds) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);

  camera.setExposureTime(0.0039);
  DeviceTimes t = readTimes(camera);
  EXPECT_EQ(t.exposureBase, 0);
  EXPECT_EQ(t.exposure, 3900000u);

  camera.setExposureTime(0.004);
  t = readTimes(camera);
  EXPECT_EQ(t.exposureBase, 1);
  EXPECT_EQ(t.exposure, 4000u);

  camera.setExposureTime(4.0);
  t = readTimes(camera);
  EXPECT_EQ(t.exposureBase, 2);
  EXPECT_EQ(t.exposure, 4000u);
  EXPECT_DOUBLE_EQ(camera.getExposureTime(), 4.0);

  camera.setDelayTime(0.25);
  t = readTimes(camera);
  EXPECT_EQ(t.delayBase, 1);
  EXPECT_EQ(t.delay, 250000u);
  EXPECT_EQ(t.exposureBase, 2);  // the exposure is kept
  EXPECT_EQ(t.exposure, 4000u);
}

TEST(DeviceTimeTest, ConvertsSecondsBothWays) {
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(0.0).base, 0);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(0.0039).value, 3900000u);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(3.9999).base, 1);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(3.9999).value, 3999900u);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(10.0005).value, 10000u);  // truncated
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(-1.0).value, 0u);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(kNaN).value, 0u);
  EXPECT_EQ(vyk::DeviceTime::fromSeconds(1e12).value, 0xFFFFFFFFu);
  EXPECT_DOUBLE_EQ(vyk::DeviceTime::toSeconds(1500, 0), 1.5e-6);
  EXPECT_DOUBLE_EQ(vyk::DeviceTime::toSeconds(1500, 1), 1.5e-3);
  EXPECT_DOUBLE_EQ(vyk::DeviceTime::toSeconds(1500, 2), 1.5);
  EXPECT_EQ(vyk::DeviceTime::countIn(0.001, 1), 1000u);
}

TEST_F(CameraTest, TimesOutsideTheLimitsAreRefusedWithTheirMessages) {
  useCameras({baseCamera(1001)});  // exposure 1000 ns (step 100) to 5000 ms, delay 0 to 1000 ms
  Camera camera(InterfaceType::Any, 1001);

  EXPECT_CAMERA_ERROR(camera.setExposureTime(kNaN), "invalid exposure time: NaN", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setDelayTime(kNaN), "invalid delay time: NaN", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setExposureTime(800e-9), "invalid exposure time: smaller than min limit or negative",
                      kInvalid);
  EXPECT_CAMERA_ERROR(camera.setExposureTime(-0.001), "invalid exposure time: smaller than min limit or negative",
                      kInvalid);
  EXPECT_NO_THROW(camera.setExposureTime(950e-9));  // within one step below the minimum is accepted
  EXPECT_CAMERA_ERROR(camera.setExposureTime(5.001), "invalid exposure time: greater than max limit", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setDelayTime(-1e-6), "invalid delay time: smaller than min limit or negative", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setDelayTime(1.5), "invalid delay time: greater than max limit", kInvalid);

  Configuration set = Configuration::unset();
  set.exposure_time_s = 6.0;  // only one time given: the device's delay is kept
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "invalid exposure time: greater than max limit", kInvalid);
  set.exposure_time_s = kNaN;
  set.delay_time_s = 2.0;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "invalid delay time: greater than max limit", kInvalid);
  set.delay_time_s = 0.1;
  camera.setConfiguration(set);
  EXPECT_DOUBLE_EQ(camera.getDelayTime(), 0.1);
  EXPECT_NEAR(camera.getExposureTime(), 950e-9, 1e-15);
}

TEST_F(CameraTest, FailedStepsLeaveTheEarlierStepsApplied) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  Configuration set = Configuration::unset();
  set.exposure_time_s = 0.003;
  set.conversion_factor = 70000.0;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "conversion_factor is out of range", kInvalid);
  EXPECT_DOUBLE_EQ(camera.getExposureTime(), 0.003);
  set.conversion_factor = -0.5;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "conversion_factor is out of range", kInvalid);
  // In range for the record but too wide for the device's 16-bit factor x 100 field.
  set.conversion_factor = 1000.0;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "conversion_factor is out of range", kInvalid);
  // An ROI coordinate the device cannot count is refused instead of being cut to 16 bits.
  set = Configuration::unset();
  set.roi = vyk::Roi{1, 1, 65536 + 64, 48};
  EXPECT_CAMERA_CODE(camera.setConfiguration(set), kInvalid);
}

TEST_F(CameraTest, PixelRateAndConversionFactorOutsideTheDeviceListsAreRefusedByTheDevice) {
  auto bare = baseCamera(1002);
  bare["conversion_factors"] = nlohmann::json::array();
  useCameras({baseCamera(1001), bare});  // 1001: rates 10 and 20 MHz, factors 1.0 and 0.5
  Camera camera(InterfaceType::Any, 1001);
  Configuration set = Configuration::unset();
  set.pixelrate = 15000000;
  EXPECT_CAMERA_CODE(camera.setConfiguration(set), static_cast<uint32_t>(VYK_ERR_INVALID_ARGUMENT));
  set = Configuration::unset();
  set.conversion_factor = 0.75;
  EXPECT_CAMERA_CODE(camera.setConfiguration(set), static_cast<uint32_t>(VYK_ERR_INVALID_ARGUMENT));
  set.conversion_factor = 0.499;  // sent rounded: 50
  EXPECT_NO_THROW(camera.setConfiguration(set));
  EXPECT_DOUBLE_EQ(camera.getConfiguration().conversion_factor, 0.5);

  // A camera without conversion factors ignores the field.
  Camera plain(InterfaceType::Any, 1002);
  set.conversion_factor = 0.75;
  EXPECT_NO_THROW(plain.setConfiguration(set));
  EXPECT_DOUBLE_EQ(plain.getConfiguration().conversion_factor, 0.0);  // its read fails: 0
}

TEST_F(CameraTest, ExtendedAcquireModeFourNeedsASequenceNumber) {
  auto cam = baseCamera(1001);
  cam["capabilities"] = {{"acquire_mode", true}, {"ext_acquire_mode", true}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  Configuration set = Configuration::unset();
  set.acquire_mode = 4;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "unspecified value for acquire_sequence_number.", 0x160000);
  set.acquire_mode = 1;  // other modes need no number
  camera.setConfiguration(set);
  const Configuration back = camera.getConfiguration();
  EXPECT_EQ(back.acquire_mode, 1);
  EXPECT_EQ(back.acquire_sequence_number, vyk::kUnset32);
}

TEST_F(CameraTest, AverageBinningWithOneUnsetValueTakesTheDevicesOther) {
  auto cam = baseCamera(1001);
  cam["binning"] = {{"max_horz", 4}, {"max_vert", 4}, {"linear", true}, {"average", true}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);

  Configuration set = Configuration::unset();
  set.roi = vyk::Roi{1, 1, 32, 48};
  set.binning.horz = 2;
  set.binning.vert = vyk::kUnset16;
  set.binning.mode = vyk::BinningMode::Average;
  camera.setConfiguration(set);
  uint16_t horz = 0, vert = 0;
  ASSERT_EQ(VYK_GetBinning(deviceOf(camera), &horz, &vert), 0);
  EXPECT_EQ(horz, 0x1002);
  EXPECT_EQ(vert, 0x1001);
  EXPECT_EQ(camera.getConfiguration().binning, (vyk::Binning{1, 2, vyk::BinningMode::Average}));

  // Back to summing: the unset horizontal value is the device's factor, without its mode bit.
  set = Configuration::unset();
  set.roi = vyk::Roi{1, 1, 32, 16};
  set.binning.vert = 3;
  set.binning.mode = vyk::BinningMode::Sum;
  camera.setConfiguration(set);
  ASSERT_EQ(VYK_GetBinning(deviceOf(camera), &horz, &vert), 0);
  EXPECT_EQ(horz, 0x0002);
  EXPECT_EQ(vert, 0x0003);
}

TEST_F(CameraTest, FixedTwelveBitCameraAcceptsOnlyItsOwnPixelFormat) {
  auto cam = baseCamera(1001);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 12}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  Configuration set = Configuration::unset();
  set.pixel_format = 0x4;
  EXPECT_NO_THROW(camera.setConfiguration(set));
  set.pixel_format = 0x1;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "unsupported pixelformat flag: 1", kInvalid);
  EXPECT_EQ(camera.getConfiguration().pixel_format, 0x4u);
  EXPECT_EQ(camera.getRawFormat(), vyk::RawFormat::Word);
}

TEST_F(CameraTest, SelectablePixelFormatMustBeSupportedAndDecidesTheRawFormat) {
  auto cam = baseCamera(1001);
  cam["pixel_formats"] = {16, 8};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  Configuration set = Configuration::unset();
  set.pixel_format = 0x4;
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "unsupported pixelformat flag: 4", kInvalid);
  set.pixel_format = 0x11;  // two flags at once are not one format
  EXPECT_CAMERA_ERROR(camera.setConfiguration(set), "unsupported pixelformat flag: 17", kInvalid);
  set.pixel_format = 0x10;
  camera.setConfiguration(set);
  EXPECT_EQ(camera.getConfiguration().pixel_format, 0x10u);
  EXPECT_EQ(camera.getRawFormat(), vyk::RawFormat::Byte);
  set.pixel_format = 0x1;
  camera.setConfiguration(set);
  EXPECT_EQ(camera.getRawFormat(), vyk::RawFormat::Word);
}

TEST_F(CameraTest, EightBitSensorDeliversByteRawPixels) {
  auto cam = baseCamera(1001);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 8}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  EXPECT_EQ(camera.getRawFormat(), vyk::RawFormat::Byte);
  EXPECT_EQ(camera.getConfiguration().pixel_format, 0x10u);
}

TEST_F(CameraTest, AutoExposureLimitsAreValidated) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  const auto region = vyk::AutoExposureRegion::CenterBased;
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(region, kNaN, 0.1),
                      "invalid exposure time limits for auto exposure: NaN", kInvalid);
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(region, 0.01, kNaN),
                      "invalid exposure time limits for auto exposure: NaN", kInvalid);
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(region, 0.1, 0.1),
                      "invalid exposure time limits for auto exposure: min >= max", kInvalid);
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(region, 500e-9, 0.1),
                      "invalid exposure time limits for auto exposure: smaller than min limit or negative", kInvalid);
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(region, 0.001, 6.0),
                      "invalid exposure time limits for auto exposure: greater than max limit", kInvalid);
  camera.configureAutoExposure(region, 0.002, 0.2);
  EXPECT_EQ(camera.getConfiguration().auto_exposure, (vyk::AutoExposure{region, 0.002, 0.2}));
}

TEST_F(CameraTest, DefaultsClampTheStoredAutoExposureLimitsToTheDevice) {
  auto cam = baseCamera(1001);
  cam["exposure"] = {{"min_ns", 5000000}, {"max_ms", 50}, {"step_ns", 1000}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  const vyk::AutoExposure ae = camera.getConfiguration().auto_exposure;
  EXPECT_DOUBLE_EQ(ae.min_exposure_s, (5000000.0 + 1000.0) * 1e-9);
  EXPECT_DOUBLE_EQ(ae.max_exposure_s, 0.05);
}

TEST_F(CameraTest, SettingsAreRefusedWhileRecording) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  camera.setExposureTime(0.001);
  camera.record(8, vyk::RecordMode::RingBuffer);
  ASSERT_TRUE(camera.isRecording());
  EXPECT_CAMERA_ERROR(camera.setConfiguration(Configuration::unset()),
                      "Can not set configuration if recoding is running!", 0x80163022);
  EXPECT_CAMERA_ERROR(camera.configureAutoExposure(vyk::AutoExposureRegion::Full, 0.001, 0.01),
                      "Can not set auto exp configuration if recoding is running!", 0x80163022);
  // Exposure may change during a recording (the camera is not re-armed then).
  EXPECT_NO_THROW(camera.setExposureTime(0.002));
  EXPECT_NO_THROW(camera.autoExposureOn());
  EXPECT_NO_THROW(camera.autoExposureOff());
  camera.stop();
  EXPECT_FALSE(camera.isRecording());
  EXPECT_NO_THROW(camera.setConfiguration(Configuration::unset()));
}

TEST_F(CameraTest, AutoExposureDrivesTheExposureDuringARecording) {
  auto cam = baseCamera(1001);
  cam["reference_exposure_s"] = 0.002;  // full scale already at 2 ms
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  camera.setExposureTime(0.005);  // overexposed
  camera.configureAutoExposure(vyk::AutoExposureRegion::Full, 0.0001, 0.005);
  camera.autoExposureOn();
  camera.record(8, vyk::RecordMode::RingBuffer);
  EXPECT_TRUE(waitUntil([&] { return camera.getExposureTime() < 0.004; }))
      << "exposure stayed at " << camera.getExposureTime();
  camera.stop();
}
