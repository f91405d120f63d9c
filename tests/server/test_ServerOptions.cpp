// Command line of the device server and the confinement of remote recording paths.

#include <gtest/gtest.h>

#include <cstdlib>

#include "camera/CameraException.h"
#include "server/ServerOptions.h"
#include "server/camera/CameraRoutes.h"

namespace {

using devserver::parseServerOptions;

TEST(ServerOptions, DefaultsAndEveryOption) {
  unsetenv("RASTEL_SIM_CONFIG");
  const devserver::ServerOptions defaults = parseServerOptions({"rastel-devserver"});
  EXPECT_EQ(defaults.bindAddress, "127.0.0.1");
  EXPECT_EQ(defaults.discoveryPort, 50000);
  EXPECT_EQ(defaults.heartbeatMs, 2000u);
  EXPECT_TRUE(defaults.configFile.empty());
  EXPECT_FALSE(defaults.help);

  setenv("RASTEL_SIM_CONFIG", "/from/env.json", 1);
  EXPECT_EQ(parseServerOptions({"x"}).configFile, "/from/env.json");
  const devserver::ServerOptions options = parseServerOptions(
      {"x", "--bind", "0.0.0.0", "--base-port", "9000", "--discovery-port", "0", "--config", "c.json", "--data-dir",
       "d", "--heartbeat-ms", "500", "--dxr-storage-mib", "64", "--no-light-sources", "--verbose", "--help"});
  unsetenv("RASTEL_SIM_CONFIG");
  EXPECT_EQ(options.bindAddress, "0.0.0.0");
  EXPECT_EQ(options.basePort, 9000);
  EXPECT_EQ(options.discoveryPort, 0);
  EXPECT_EQ(options.configFile, "c.json");
  EXPECT_EQ(options.dataDir, "d");
  EXPECT_EQ(options.heartbeatMs, 500u);
  EXPECT_EQ(options.dxrStorageMiB, 64u);
  EXPECT_FALSE(options.lightSources);
  EXPECT_EQ(options.logLevel, devserver::LogLevel::Debug);
  EXPECT_TRUE(options.help);
  EXPECT_EQ(parseServerOptions({"x", "--port", "8200"}).basePort, 8200);
}

TEST(ServerOptions, GenicamCamerasFromTheOptionOrTheEnvironment) {
  unsetenv("RASTEL_GENICAM");
  EXPECT_TRUE(parseServerOptions({"x"}).genicam.empty());
  setenv("RASTEL_GENICAM", "Fake_1", 1);
  EXPECT_EQ(parseServerOptions({"x"}).genicam, "Fake_1");
  EXPECT_EQ(parseServerOptions({"x", "--genicam", "127.0.0.1,Fake_1"}).genicam, "127.0.0.1,Fake_1");
  unsetenv("RASTEL_GENICAM");
  EXPECT_NE(devserver::serverUsage().find("--genicam ID[,ID...]"), std::string::npos);
}

TEST(ServerOptions, BadArgumentsAreNamed) {
  const auto messageOf = [](std::vector<std::string> arguments) {
    try {
      parseServerOptions(arguments);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(messageOf({"x", "--frobnicate"}), "unknown option: --frobnicate");
  EXPECT_EQ(messageOf({"x", "--base-port", "70000"}), "invalid value for --base-port: 70000");
  EXPECT_EQ(messageOf({"x", "--heartbeat-ms", "-5"}), "invalid value for --heartbeat-ms: -5");
  EXPECT_EQ(messageOf({"x", "--bind"}), "missing value for --bind");
  EXPECT_EQ(messageOf({"x", "--log-level", "loud"}), "invalid value for --log-level: loud");
  for (const char* option : {"--bind", "--base-port", "--discovery-port", "--config", "--data-dir", "--heartbeat-ms",
                             "--dxr-storage-mib", "--no-light-sources", "--log-level", "--help"})
    EXPECT_NE(devserver::serverUsage().find(option), std::string::npos) << option;
}

TEST(RecordingPath, StaysInsideTheFolder) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rastel_confined";
  std::filesystem::remove_all(folder);
  EXPECT_EQ(devserver::confinedRecordingPath(folder, ""), folder / "vyk_vram");
  EXPECT_EQ(devserver::confinedRecordingPath(folder, "a/./b/run.tif"), folder / "a" / "b" / "run.tif");
  EXPECT_TRUE(std::filesystem::is_directory(folder / "a" / "b"));
  for (const char* refused : {"/etc/passwd", "../x.tif", "a/../../x.tif", "a/.."}) {
    try {
      devserver::confinedRecordingPath(folder, refused);
      ADD_FAILURE() << refused << " was accepted";
    } catch (const vyk::CameraException& e) {
      EXPECT_EQ(e.code(), 0xa0163001u);
    }
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
