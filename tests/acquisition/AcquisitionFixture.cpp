#include "AcquisitionFixture.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include <QCoreApplication>

#include "acquisition/ImageQueueSet.h"
#include "camera/Camera.h"
#include "kv2_cam.h"
#include "tests/support/SimulatedCameras.h"

std::mutex LogCapture::mutex_;
std::vector<LogCapture::Line> LogCapture::lines_;

LogCapture::LogCapture() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }
  previous_ = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture() { qInstallMessageHandler(previous_); }

void LogCapture::handler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back({type, message});
}

bool LogCapture::has(QtMsgType type, const QString& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& line : lines_) {
    if (line.type == type && line.text == text) return true;
  }
  return false;
}

int LogCapture::countStartingWith(const QString& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const Line& line : lines_) count += line.text.startsWith(prefix) ? 1 : 0;
  return count;
}

QString LogCapture::firstStartingWith(const QString& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& line : lines_) {
    if (line.text.startsWith(prefix)) return line.text;
  }
  return {};
}

SignalLog::SignalLog(CameraAcquisition& acquisition) {
  QObject::connect(&acquisition, &CameraAcquisition::recordingDone, &context_,
                   [this](DWORD serial) { done.push_back(serial); });
  QObject::connect(&acquisition, &CameraAcquisition::camError, &context_,
                   [this](DWORD serial, bool msgBox) { errors.emplace_back(serial, msgBox); });
  QObject::connect(&acquisition, &CameraAcquisition::newPlayPosition, &context_,
                   [this](DWORD, int i) { positions.push_back(i); });
}

bool SignalLog::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    QCoreApplication::processEvents();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SignalLog::flush() { QCoreApplication::processEvents(); }

nlohmann::json AcquisitionTest::smallCamera(uint32_t serial) {
  return {
      {"serial", serial},
      {"interface", "USB3"},
      {"sensor", {{"width", 64}, {"height", 48}, {"bits", 16}}},
      {"pixel_rates_hz", {100000000}},
      {"exposure", {{"min_ns", 1000}, {"max_ms", 5000}, {"step_ns", 100}}},
      {"capabilities", {{"timestamp", false}, {"acquire_mode", false}}},
      {"read_noise", 0.0},
  };
}

bool AcquisitionTest::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void AcquisitionTest::SetUp() {
  std::random_device random;
  const auto info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = std::filesystem::temp_directory_path() /
         ("rastel_acq_" + std::string(info->name()) + "_" + std::to_string(random()));
  std::filesystem::create_directories(dir_);
  // Leftover counts of earlier tests must not satisfy this test's waits.
  while (recordingStartedSemaphore().tryAcquire()) {
  }
}

void AcquisitionTest::TearDown() {
  if (initialised_) VYK_CleanupLib();
  unsetenv("RASTEL_SIM_CONFIG");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void AcquisitionTest::useCameras(const nlohmann::json& cameras) {
  testsupport::useSimulatedCameras(dir_ / "cameras.json", cameras);
  const int32_t result = VYK_InitializeLib();
  initialised_ = true;
  ASSERT_FALSE(VYK_FAILED(result)) << std::hex << result;
}

std::shared_ptr<vyk::AnyCamera> AcquisitionTest::open(uint32_t serial, double exposure_s) {
  auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, serial));
  camera->setExposureTime(exposure_s);
  return camera;
}

void AcquisitionTest::prepare(CameraAcquisition& acquisition, uint32_t mode, vyk::RecordMode recMode,
                              int32_t imageCount, uint16_t triggerMode, int32_t linesPerImage) {
  AcquisitionSettings& s = acquisition.settings();
  s.mode = mode;
  s.recMode = recMode;
  s.imageCount = imageCount;
  s.triggerMode = triggerMode;
  s.linesPerImage = linesPerImage;
  s.noFirstImageWait = false;
}
