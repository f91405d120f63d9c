#include "test_CameraFixture.h"

#include "tests/support/SimulatedCameras.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

nlohmann::json CameraTest::baseCamera(uint32_t serial) {
  nlohmann::json camera = testsupport::simulatedCamera(serial, "camera test " + std::to_string(serial));
  camera["type"] = 0x1234;
  camera["sub_type"] = 7;
  return camera;
}

nlohmann::json CameraTest::stampingCamera(uint32_t serial) {
  auto cam = baseCamera(serial);
  cam["capabilities"] = {{"timestamp", true}, {"metadata", true}, {"acquire_mode", false}};
  return cam;
}

void CameraTest::prepare(vyk::Camera& camera, uint16_t triggerMode) {
  vyk::Configuration c = vyk::Configuration::unset();
  c.exposure_time_s = 0.001;
  c.timestamp_mode = 1;
  c.trigger_mode = triggerMode;
  camera.setConfiguration(c);
}

namespace {

unsigned fromBcd(unsigned v) { return (v >> 4) * 10 + (v & 0xF); }

}  // namespace

unsigned CameraTest::stampedCounter(const std::vector<uint16_t>& pixels) {
  unsigned counter = 0;
  for (int i = 0; i < 4; ++i) counter = counter * 100 + fromBcd(pixels[i]);
  return counter;
}

unsigned CameraTest::metadataCounter(const vyk::ImageMetadata& metadata) {
  unsigned counter = 0;
  for (int i = 3; i >= 0; --i) counter = counter * 100 + fromBcd(metadata.bIMAGE_COUNTER_BCD[i]);
  return counter;
}

std::string CameraTest::libraryText(uint32_t code) { return vyk::CameraException(code).message(); }

bool CameraTest::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

VYK_HANDLE CameraTest::deviceOf(const vyk::Camera& camera) { return camera.getSensorInfo().hCamera; }

void CameraTest::SetUp() {
  std::random_device random;
  const auto info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = std::filesystem::temp_directory_path() /
         ("rastel_camera_" + std::string(info->name()) + "_" + std::to_string(random()));
  std::filesystem::create_directories(dir_);
}

void CameraTest::TearDown() {
  if (initialised_) VYK_CleanupLib();
  unsetenv("RASTEL_SIM_CONFIG");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void CameraTest::useCameras(const nlohmann::json& cameras) {
  testsupport::useSimulatedCameras(dir_ / "cameras.json", cameras);
  const int32_t result = VYK_InitializeLib();
  initialised_ = true;  // counted even when the set was refused: cleanup balances it
  ASSERT_FALSE(VYK_FAILED(result)) << libraryText(static_cast<uint32_t>(result));
}
