#pragma once
// rastel-devserver as a child process on 127.0.0.1, for tests that kill and restart it.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/ChildProcess.h"

/// One run of the server. The constructor returns once the server printed that it is ready;
/// the destructor kills it if it still runs.
class ServerProcess {
 public:
  /// Starts the server on the device set of devices (written into folder) with data in
  /// folder/data; basePort 0 lets it choose free ports. Extra options are appended.
  ServerProcess(const std::filesystem::path& folder, const nlohmann::json& devices, uint16_t basePort = 0,
                std::vector<std::string> extra = {});
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  /// The port of a device line such as "camera 301", or "discovery".
  uint16_t port(const std::string& device) const { return _ports.at(device); }
  /// Kills the server with SIGKILL at once, as a crash or a pulled cable would.
  void kill() { _process.kill(); }
  /// Whether the process is still alive (not yet reaped).
  bool alive() { return _process.alive(); }
  /// Resident memory of the server in KiB (-1 when it cannot be read).
  long residentKiB() const;

 private:
  testsupport::ChildProcess _process;      // the server; killed by the destructor
  std::map<std::string, uint16_t> _ports;  // "camera SERIAL" / "lumra SERIAL" / "discovery" -> port
};

/// A fresh folder under the temporary directory, removed by the destructor.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  const std::filesystem::path& path() const { return _path; }

 private:
  std::filesystem::path _path;
};
