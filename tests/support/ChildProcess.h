// A program run as a child process whose standard output a test reads through a pipe, and
// the device server's announcement of its ports read from it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

/// One run of a program. The destructor kills it (SIGKILL) if it still runs, and reaps it.
class ChildProcess {
 public:
  /// Starts the program arguments[0] with the arguments; its standard output goes to a pipe.
  explicit ChildProcess(std::vector<std::string> arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// The next line of standard output without its line end; empty at the end of the output.
  std::string line();
  /// Everything left on standard output.
  std::string rest();
  /// Closes the pipe: the child must not write to its standard output any more.
  void closeOutput();
  /// Sends signal (none when 0), waits for the end; the exit code, -1 when a signal ended it.
  int finish(int signal);
  /// Kills the child with SIGKILL at once, as a crash would, and reaps it.
  void kill();
  /// Whether the child still runs (is not yet reaped).
  bool alive();
  /// The child's process id; -1 once reaped.
  pid_t pid() const { return _pid; }

 private:
  pid_t _pid = -1;          // the child; -1 once reaped
  FILE* _output = nullptr;  // reading end of the child's standard output; null once closed
};

/// Reads rastel-devserver's announcement lines ("camera 301 PORT", "discovery PORT", ...) up to
/// "rastel-devserver ready": the port of each device line, or nothing when the output ended first.
std::optional<std::map<std::string, uint16_t>> readServerPorts(ChildProcess& server);

}  // namespace testsupport
