// rastel-devserver as a separate process on 127.0.0.1 with free ports.

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "camera/Discovery.h"
#include "camera/RemoteCamera.h"
#include "tests/support/ChildProcess.h"

namespace {

using nlohmann::json;
using testsupport::ChildProcess;

// The command line that runs the server with arguments.
std::vector<std::string> devserver(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), RASTEL_DEVSERVER_EXECUTABLE);
  return arguments;
}

TEST(ServerProcess, HelpAndBadOptions) {
  ChildProcess help(devserver({"--help"}));
  const std::string usage = help.rest();
  EXPECT_EQ(help.finish(0), 0);
  EXPECT_NE(usage.find("--discovery-port"), std::string::npos) << usage;
  ChildProcess bad(devserver({"--no-such-option"}));
  EXPECT_EQ(bad.finish(0), 2);
}

TEST(ServerProcess, ServesCamerasAndLightSourcesUntilTerminated) {
  std::random_device random;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("rastel_devserver_" + std::to_string(random()));
  std::filesystem::create_directories(folder);
  const json devices = {
      {"cameras",
       {{{"serial", 301}, {"interface", "USB3"}, {"sensor", {{"width", 64}, {"height", 32}}}},
        {{"serial", 302}, {"interface", "CLHS_DXR"}, {"sensor", {{"width", 64}, {"height", 32}}}}}},
      {"light_sources",
       {{{"serial", 401}, {"connection", "/dev/ttyUSB9"}, {"channels", {{{"wavelength_nm", 470}}}}}}}};
  std::ofstream(folder / "devices.json") << devices.dump();

  ChildProcess server(devserver({"--base-port", "0", "--discovery-port", "0", "--config",
                                 (folder / "devices.json").string(), "--data-dir", (folder / "data").string(),
                                 "--log-level", "error"}));
  // The announced ports: "camera 301" -> port, "discovery" -> port.
  const auto announced = testsupport::readServerPorts(server);
  ASSERT_TRUE(announced.has_value()) << "the server ended before it was ready";
  const std::map<std::string, uint16_t>& ports = *announced;
  ASSERT_EQ(ports.size(), 4u);

  {
    vyk::RemoteCamera camera("127.0.0.1", ports.at("camera 301"), 100);
    EXPECT_EQ(camera.getSerial(), 301u);
    vyk::RemoteCamera dxr("127.0.0.1", ports.at("camera 302"), 100);
    EXPECT_EQ(dxr.getDxrSegment().camera_serial, 302u);
    httplib::Client lumra("127.0.0.1", ports.at("lumra 401"));
    const httplib::Result description = lumra.Get("/v1/getDescription");
    ASSERT_TRUE(description);
    EXPECT_EQ(description->status, 200);
    EXPECT_EQ(json::parse(description->body).at("serial"), 401);

    setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
    const std::vector<vyk::DeviceEntry> cameras = vyk::discover(ports.at("discovery"), 300);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_FALSE(cameras[0].free);
    const std::vector<vyk::DeviceEntry> lights = vyk::discover(ports.at("discovery"), 300, "lumra");
    ASSERT_EQ(lights.size(), 1u);
    EXPECT_EQ(lights[0].port, ports.at("lumra 401"));
  }
  EXPECT_EQ(server.finish(SIGTERM), 0);
  std::filesystem::remove_all(folder);
}

}  // namespace
