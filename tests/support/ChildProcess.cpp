#include "tests/support/ChildProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

ChildProcess::ChildProcess(std::vector<std::string> arguments) {
  if (arguments.empty()) throw std::invalid_argument("no program to run");
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  _pid = fork();
  if (_pid < 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("fork failed");
  }
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

ChildProcess::~ChildProcess() {
  kill();
  closeOutput();
}

std::string ChildProcess::line() {
  char buffer[4096];
  if (_output == nullptr || std::fgets(buffer, sizeof(buffer), _output) == nullptr) return {};
  std::string text(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string ChildProcess::rest() {
  std::string all;
  char buffer[4096];
  while (_output != nullptr && std::fgets(buffer, sizeof(buffer), _output) != nullptr) all += buffer;
  return all;
}

void ChildProcess::closeOutput() {
  if (_output != nullptr) std::fclose(_output);
  _output = nullptr;
}

int ChildProcess::finish(int signal) {
  if (_pid <= 0) return -1;
  if (signal != 0) ::kill(_pid, signal);
  int status = 0;
  waitpid(_pid, &status, 0);
  _pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::kill() {
  if (_pid <= 0) return;
  ::kill(_pid, SIGKILL);
  waitpid(_pid, nullptr, 0);
  _pid = -1;
}

bool ChildProcess::alive() {
  if (_pid <= 0) return false;
  if (waitpid(_pid, nullptr, WNOHANG) == _pid) {
    _pid = -1;
    return false;
  }
  return true;
}

std::optional<std::map<std::string, uint16_t>> readServerPorts(ChildProcess& server) {
  std::map<std::string, uint16_t> ports;
  for (std::string text = server.line(); !text.empty(); text = server.line()) {
    if (text == "rastel-devserver ready") return ports;
    if (const auto last = text.rfind(' '); last != std::string::npos) {
      ports[text.substr(0, last)] = static_cast<uint16_t>(std::stoi(text.substr(last + 1)));
    }
  }
  return std::nullopt;
}

}  // namespace testsupport
