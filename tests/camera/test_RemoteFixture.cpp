#include "test_RemoteFixture.h"

#include <fstream>
#include <random>
#include <thread>

#include "kv2_cam.h"

namespace remotetest {

using nlohmann::json;

json testCameras() {
  const auto camera = [](uint32_t serial, const char* interface) {
    return json{{"serial", serial},
                {"name", "remote test " + std::to_string(serial)},
                {"interface", interface},
                {"sensor", {{"width", 128}, {"height", 96}, {"bits", 16}}},
                {"exposure", {{"min_ns", 10000}, {"max_ms", 1000}, {"step_ns", 10}}},
                {"pixel_rates_hz", {100000000}},
                {"capabilities", {{"metadata", true}}},
                {"seed", serial}};
  };
  json mono = camera(kMonoSerial, "USB3");
  mono["ram"] = {{"pages", 4096}, {"page_size", 4096}};
  json colour = camera(kColourSerial, "GigE");
  colour["sensor"] = {{"width", 128}, {"height", 96}, {"bits", 12}, {"color", true}};
  return json::array({mono, colour, camera(kDxrSerial, "CLHS_DXR"), camera(kDxrSerial2, "CLHS_DXR")});
}

std::string libraryText(uint32_t code) {
  char text[101] = {};
  VYK_GetErrorText(code, text, 100);
  return text;
}

bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void RemoteTest::SetUp() {
  std::random_device random;
  _folder = std::filesystem::temp_directory_path() / ("rastel_remote_" + std::to_string(random()));
  std::filesystem::create_directories(_folder);
  std::ofstream(_folder / "devices.json") << json{{"cameras", testCameras()}, {"light_sources", json::array()}}.dump();
}

void RemoteTest::TearDown() {
  _server.reset();
  std::error_code ignored;
  std::filesystem::remove_all(_folder, ignored);
}

void RemoteTest::startServer(uint32_t heartbeatMs, const std::function<void(devserver::ServerOptions&)>& adjust) {
  devserver::ServerOptions options;
  options.basePort = 0;
  options.discoveryPort = 0;
  options.configFile = (_folder / "devices.json").string();
  options.dataDir = _folder / "data";
  options.heartbeatMs = heartbeatMs;
  options.dxrStorageMiB = 1;
  options.lightSources = false;
  options.logLevel = devserver::LogLevel::Error;
  if (adjust) adjust(options);
  _server = std::make_unique<devserver::DeviceServer>(options);
  _server->start();
}

uint16_t RemoteTest::portOf(uint32_t serial) const {
  for (const auto& endpoint : _server->endpoints())
    if (endpoint.type == "camera" && endpoint.serial == serial) return endpoint.port;
  ADD_FAILURE() << "no camera " << serial;
  return 0;
}

devserver::CameraServerState& RemoteTest::stateOf(uint32_t serial) {
  for (std::size_t i = 0; i < _server->cameraCount(); ++i)
    if (_server->camera(i).serial() == serial) return _server->camera(i);
  throw std::runtime_error("no camera " + std::to_string(serial));
}

std::shared_ptr<vyk::AnyCamera> RemoteTest::connect(uint32_t serial, uint32_t heartbeatMs) {
  return std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::RemoteCamera>("127.0.0.1", portOf(serial), heartbeatMs));
}

}  // namespace remotetest
