#pragma once
// Test fixture for vyk::Camera: each test writes its own simulated camera set into a
// temporary folder, points the device library at it and opens cameras through vyk::Camera.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "camera/Camera.h"
#include "tests/camera/CameraExceptionAsserts.h"
#include "camera/CameraException.h"
#include "kv2_cam.h"


/// A temporary camera set and folder per test; the library is cleaned up afterwards.
class CameraTest : public ::testing::Test {
 public:
  /// A small, fast 16-bit mono camera on USB3 without camera RAM, timestamps or metadata.
  static nlohmann::json baseCamera(uint32_t serial);
  /// baseCamera with timestamp and metadata capabilities.
  static nlohmann::json stampingCamera(uint32_t serial);
  /// Fast images (1 ms exposure) with the binary time stamp in row 0, in triggerMode.
  static void prepare(vyk::Camera& camera, uint16_t triggerMode = 0);
  /// The image counter the camera stamps into the first four pixels of row 0 (timestamp mode 1).
  static unsigned stampedCounter(const std::vector<uint16_t>& pixels);
  /// The image counter of a metadata block (BCD, least significant byte first).
  static unsigned metadataCounter(const vyk::ImageMetadata& metadata);
  /// The text of a device-library code, as vyk::CameraException reports it.
  static std::string libraryText(uint32_t code);
  /// Polls condition every millisecond until it holds or timeout passes; returns whether it held.
  static bool waitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));
  /// The device handle behind a camera, for reading back what reached the device.
  static VYK_HANDLE deviceOf(const vyk::Camera& camera);

 protected:
  void SetUp() override;
  void TearDown() override;
  /// Writes {"cameras": cameras} into the temporary folder, points RASTEL_SIM_CONFIG at it
  /// and initialises the device library.
  void useCameras(const nlohmann::json& cameras);

  std::filesystem::path dir_;  // temporary folder of this test, removed afterwards
  bool initialised_ = false;   // the library was initialised by useCameras
};
