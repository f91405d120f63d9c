// rastel-devserver as a separate process on 127.0.0.1 with free ports.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "camera/Discovery.h"
#include "camera/RemoteCamera.h"

namespace {

using nlohmann::json;

// A child process running the server; its standard output is read through a pipe.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), RASTEL_DEVSERVER_EXECUTABLE);
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    _pid = fork();
    if (_pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    _output = fdopen(out[0], "r");
  }
  ~ServerProcess() {
    if (_pid > 0 && !_exited) {
      kill(_pid, SIGKILL);
      waitpid(_pid, nullptr, 0);
    }
    if (_output != nullptr) fclose(_output);
  }
  /// The next line of standard output without its newline; empty at the end.
  std::string line() {
    char buffer[4096];
    if (fgets(buffer, sizeof(buffer), _output) == nullptr) return {};
    std::string text(buffer);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  /// Everything left on standard output.
  std::string rest() {
    std::string all;
    char buffer[4096];
    while (fgets(buffer, sizeof(buffer), _output) != nullptr) all += buffer;
    return all;
  }
  /// Sends signal and returns the exit status.
  int finish(int signal) {
    if (signal != 0) kill(_pid, signal);
    int status = 0;
    waitpid(_pid, &status, 0);
    _exited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t _pid = -1;
  bool _exited = false;
  FILE* _output = nullptr;
};

TEST(ServerProcess, HelpAndBadOptions) {
  ServerProcess help({"--help"});
  const std::string usage = help.rest();
  EXPECT_EQ(help.finish(0), 0);
  EXPECT_NE(usage.find("--discovery-port"), std::string::npos) << usage;
  ServerProcess bad({"--no-such-option"});
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

  ServerProcess server({"--base-port", "0", "--discovery-port", "0", "--config", (folder / "devices.json").string(),
                        "--data-dir", (folder / "data").string(), "--log-level", "error"});
  std::map<std::string, uint16_t> ports;  // "camera 301" -> port, "discovery" -> port
  for (std::string text = server.line(); text != "rastel-devserver ready"; text = server.line()) {
    ASSERT_FALSE(text.empty()) << "the server ended before it was ready";
    const auto last = text.rfind(' ');
    ports[text.substr(0, last)] = static_cast<uint16_t>(std::stoi(text.substr(last + 1)));
  }
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
