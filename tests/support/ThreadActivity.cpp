#include "tests/support/ThreadActivity.h"

#include <filesystem>
#include <fstream>
#include <functional>

namespace testsupport {

namespace {

// Calls visit with the /proc folder of each thread of this process named name.
void forEachThreadNamed(const std::string& name, const std::function<void(const std::filesystem::path&)>& visit) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(entry.path() / "comm");
    std::string threadName;
    // A thread that ended meanwhile has no readable name any more: skipped.
    if (std::getline(comm, threadName) && threadName == name) visit(entry.path());
  }
}

// The voluntary context switches in the status file of the thread folder (0 when gone).
uint64_t switchesIn(const std::filesystem::path& folder) {
  std::ifstream status(folder / "status");
  const std::string key = "voluntary_ctxt_switches:";
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, key.size(), key) == 0) return std::stoull(line.substr(key.size()));
  }
  return 0;
}

}  // namespace

uint64_t voluntarySwitches(const std::string& name) {
  uint64_t total = 0;
  forEachThreadNamed(name, [&](const std::filesystem::path& folder) { total += switchesIn(folder); });
  return total;
}

uint64_t voluntarySwitchesOfThisThread() { return switchesIn("/proc/thread-self"); }

int threadsNamed(const std::string& name) {
  int count = 0;
  forEachThreadNamed(name, [&](const std::filesystem::path&) { ++count; });
  return count;
}

}  // namespace testsupport
