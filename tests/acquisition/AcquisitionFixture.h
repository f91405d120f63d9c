#pragma once
// Test fixture for CameraAcquisition: each test writes its own simulated cameras into a
// temporary folder, opens them through vyk::AnyCamera and captures the log lines.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <nlohmann/json.hpp>

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"

/// Collects every Qt log line while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  /// True when a line equal to text was logged at level type.
  bool has(QtMsgType type, const QString& text) const;
  /// Number of lines that start with prefix.
  int countStartingWith(const QString& prefix) const;
  /// The first line starting with prefix (empty when none).
  QString firstStartingWith(const QString& prefix) const;

 private:
  static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
  struct Line {
    QtMsgType type;
    QString text;
  };
  static std::mutex mutex_;           // guards lines_
  static std::vector<Line> lines_;    // guarded by mutex_
  QtMessageHandler previous_;         // restored on destruction
};

/// Records the signals of one acquisition object through queued connections, as the GUI
/// thread receives them (the signals come from the worker thread).
class SignalLog {
 public:
  explicit SignalLog(CameraAcquisition& acquisition);
  /// Delivers pending signals until condition holds or timeout passes; returns whether it held.
  bool waitFor(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
  /// Delivers every signal already posted.
  void flush();

  std::vector<DWORD> done;                         // serials of recordingDone
  std::vector<std::pair<DWORD, bool>> errors;      // serial and msgBox of camError
  std::vector<int> positions;                      // indices of newPlayPosition

 private:
  QObject context_;  // lives in the test's thread, so the connections are queued
};

class AcquisitionTest : public ::testing::Test {
 public:
  /// A small, fast 16-bit mono camera (64 x 48, about 1000 images per second).
  static nlohmann::json smallCamera(uint32_t serial);
  /// Polls condition every millisecond until it holds or timeout passes.
  static bool waitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

 protected:
  void SetUp() override;
  void TearDown() override;
  /// Writes the camera set, points the device library at it and initialises it.
  void useCameras(const nlohmann::json& cameras);
  /// Opens camera serial with its default settings and the given exposure (seconds).
  std::shared_ptr<vyk::AnyCamera> open(uint32_t serial, double exposure_s = 0.0005);
  /// Fills the acquisition's settings for a run.
  static void prepare(CameraAcquisition& acquisition, uint32_t mode, vyk::RecordMode recMode, int32_t imageCount,
                      uint16_t triggerMode = 0, int32_t linesPerImage = -1);

  std::filesystem::path dir_;  // temporary folder of this test
  bool initialised_ = false;   // the device library was initialised by useCameras
  LogCapture log_;             // every log line of this test
};
