#include "ServerProcess.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace {

// The server's command line for the device set of devices (written into folder).
std::vector<std::string> serverArguments(const std::filesystem::path& folder, const nlohmann::json& devices,
                                         uint16_t basePort, const std::vector<std::string>& extra) {
  std::filesystem::create_directories(folder);
  const std::filesystem::path config = folder / "devices.json";
  std::ofstream(config) << devices.dump();
  std::vector<std::string> arguments{RASTEL_DEVSERVER_EXECUTABLE,
                                     "--bind", "127.0.0.1",
                                     "--base-port", std::to_string(basePort),
                                     "--discovery-port", "0",
                                     "--config", config.string(),
                                     "--data-dir", (folder / "data").string(),
                                     "--no-light-sources",
                                     "--log-level", "error"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

}  // namespace

ServerProcess::ServerProcess(const std::filesystem::path& folder, const nlohmann::json& devices, uint16_t basePort,
                             std::vector<std::string> extra)
    : _process(serverArguments(folder, devices, basePort, extra)) {
  auto ports = testsupport::readServerPorts(_process);
  // The pipe is closed after the announcement, so the server must not write to stdout any
  // more (it logs to stderr).
  _process.closeOutput();
  if (!ports) throw std::runtime_error("rastel-devserver ended before it was ready");
  _ports = std::move(*ports);
}

long ServerProcess::residentKiB() const {
  std::ifstream status("/proc/" + std::to_string(_process.pid()) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::random_device random;
  _path = std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(random()));
  std::filesystem::create_directories(_path);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(_path, ignored);
}
