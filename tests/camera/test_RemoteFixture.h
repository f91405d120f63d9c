#pragma once
// An in-process device server on 127.0.0.1 (free ports) over a temporary simulated camera
// set, and helpers shared by the remote camera tests.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/RemoteCamera.h"
#include "tests/camera/CameraExceptionAsserts.h"
#include "server/DeviceServer.h"


namespace remotetest {

constexpr uint32_t kMonoSerial = 101;   ///< 16-bit mono camera with camera RAM, metadata and timestamp
constexpr uint32_t kColourSerial = 102; ///< 12-bit colour camera
constexpr uint32_t kDxrSerial = 103;    ///< mono camera on CLHS_DXR
constexpr uint32_t kDxrSerial2 = 104;   ///< second camera on CLHS_DXR

/// The simulated camera set the tests serve.
nlohmann::json testCameras();
/// The text of a device-library code, as vyk::CameraException reports it.
std::string libraryText(uint32_t code);
/// Polls condition every 5 ms until it holds or 10 s pass; returns whether it held.
bool eventually(const std::function<bool()>& condition);

/// A device server over testCameras() in a temporary folder, started in SetUp.
class RemoteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// Starts the server; heartbeatMs is the server's expiry period base; adjust may change the
  /// options before the server is built.
  void startServer(uint32_t heartbeatMs = 2000,
                   const std::function<void(devserver::ServerOptions&)>& adjust = {});
  /// The HTTP port of the camera with serial.
  uint16_t portOf(uint32_t serial) const;
  /// The server-side state of the camera with serial.
  devserver::CameraServerState& stateOf(uint32_t serial);
  /// A remote camera for serial, held by a handle.
  std::shared_ptr<vyk::AnyCamera> connect(uint32_t serial, uint32_t heartbeatMs = 100);

  std::filesystem::path _folder;                     // temporary folder of this test
  std::unique_ptr<devserver::DeviceServer> _server;  // the running server
};

}  // namespace remotetest
