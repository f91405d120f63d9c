#include "ServerProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

ServerProcess::ServerProcess(const std::filesystem::path& folder, const nlohmann::json& devices, uint16_t basePort,
                             std::vector<std::string> extra) {
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
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  _pid = fork();
  if (_pid < 0) throw std::runtime_error("fork failed");
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
  // Reads the announcement lines "camera SERIAL PORT" ... "rastel-devserver ready"; the
  // pipe is closed afterwards, so the server must not write to stdout any more (it logs to stderr).
  FILE* output = fdopen(out[0], "r");
  char line[512];
  bool ready = false;
  while (!ready && std::fgets(line, sizeof(line), output) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text == "rastel-devserver ready") {
      ready = true;
    } else if (const auto last = text.rfind(' '); last != std::string::npos) {
      _ports[text.substr(0, last)] = static_cast<uint16_t>(std::stoi(text.substr(last + 1)));
    }
  }
  std::fclose(output);
  if (!ready) {
    kill();
    throw std::runtime_error("rastel-devserver ended before it was ready");
  }
}

ServerProcess::~ServerProcess() { kill(); }

void ServerProcess::kill() {
  if (_pid <= 0) return;
  ::kill(_pid, SIGKILL);
  waitpid(_pid, nullptr, 0);
  _pid = -1;
}

bool ServerProcess::alive() {
  if (_pid <= 0) return false;
  if (waitpid(_pid, nullptr, WNOHANG) == _pid) {
    _pid = -1;
    return false;
  }
  return true;
}

long ServerProcess::residentKiB() const {
  std::ifstream status("/proc/" + std::to_string(_pid) + "/status");
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
