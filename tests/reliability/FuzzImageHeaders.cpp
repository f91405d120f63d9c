// Fuzz target: a hostile device server's answer to "/v1/image". An in-process server on
// 127.0.0.1 plays the device server: it answers the questions of the RemoteCamera
// constructor truthfully and sends the fuzz input as the image answer. The input is lines:
// the first picks the requested DataFormat, the next eight are the header values "crop",
// "format", "rawFormat", "recorderImageNumber", "colorMode", "metadata", "timestamp",
// "convCtrl" (an empty line leaves the header out), and the rest is the body.
// The client must answer with vyk::CameraException or the JSON library's exception, or fill
// the image consistently; anything else (a crash, a huge allocation) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "camera/CameraException.h"
#include "camera/Image.h"
#include "camera/RemoteCamera.h"
#include "camera/SensorInfo.h"

namespace {

using nlohmann::json;

constexpr const char* kHeaders[] = {"crop",     "format",    "rawFormat", "recorderImageNumber",
                                    "colorMode", "metadata", "timestamp", "convCtrl"};

// The fake server and the answer it sends next.
class HostileServer {
 public:
  HostileServer() {
    _server.Get("/v1/getRawFormat", [](const httplib::Request&, httplib::Response& r) { r.set_content("\"word\"", "application/json"); });
    _server.Get("/v1/isColored", [](const httplib::Request&, httplib::Response& r) { r.set_content("false", "application/json"); });
    _server.Get("/v1/isRecording", [](const httplib::Request&, httplib::Response& r) { r.set_content("false", "application/json"); });
    _server.Get("/v1/getSensorInfo", [](const httplib::Request&, httplib::Response& r) {
      vyk::SensorInfo info{};
      info.wSize = 264;
      info.iDataBits = 16;
      r.set_content(json(info).dump(), "application/json");
    });
    _server.Post("/v1/heartbeat", [](const httplib::Request&, httplib::Response&) {});
    _server.Post("/v1/setFree", [](const httplib::Request&, httplib::Response&) {});
    _server.Get("/v1/image", [this](const httplib::Request&, httplib::Response& r) {
      std::lock_guard<std::mutex> lock(_mutex);
      for (const auto& [name, value] : _headers) r.set_header(name, value);
      r.set_content(_body, "application/octet-stream");
    });
    _port = static_cast<uint16_t>(_server.bind_to_any_port("127.0.0.1"));
    _thread = std::thread([this] { _server.listen_after_bind(); });
    while (!_server.is_running()) std::this_thread::yield();
  }
  ~HostileServer() {
    _server.stop();
    _thread.join();
  }
  uint16_t port() const { return _port; }
  void answer(httplib::Headers headers, std::string body) {
    std::lock_guard<std::mutex> lock(_mutex);
    _headers = std::move(headers);
    _body = std::move(body);
  }

 private:
  httplib::Server _server;
  uint16_t _port = 0;
  std::thread _thread;          // runs the server; joined by the destructor
  std::mutex _mutex;            // guards _headers and _body
  httplib::Headers _headers;    // the next image answer's headers
  std::string _body;            // the next image answer's body
};

struct Harness {
  HostileServer server;
  vyk::RemoteCamera camera{"127.0.0.1", server.port(), 50};
  vyk::Image image;  // reused across inputs, as the acquisition engine reuses its image
};

Harness& harness() {
  static Harness* instance = new Harness();  // lives until exit: the fuzzer never returns
  return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  const auto nextLine = [&]() -> std::string {
    const size_t end = input.find('\n', at);
    std::string line = input.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? input.size() : end + 1;
    return line;
  };
  const std::string selector = nextLine();
  const vyk::DataFormat requested = selector.empty() ? vyk::DataFormat::Undefined
                                                     : static_cast<vyk::DataFormat>(selector[0] % 10);
  httplib::Headers headers;
  for (const char* name : kHeaders) {
    std::string value = nextLine();
    // A header value cannot carry line breaks or NUL on the wire.
    for (char& c : value) {
      if (c == '\r' || c == '\0') c = ' ';
    }
    if (!value.empty()) headers.emplace(name, value);
  }
  Harness& h = harness();
  h.server.answer(std::move(headers), input.substr(at));
  try {
    h.camera.image(h.image, 0, requested);
  } catch (const vyk::CameraException&) {
    return 0;
  } catch (const json::exception&) {
    return 0;
  }
  // Accepted: the image must be exactly as large as the crop it claims.
  const uint64_t pixels = h.image.width() * h.image.height();
  const bool bytes = h.image.format() == vyk::DataFormat::CompressedMono8;
  if (!bytes && h.image.rawPixelCount() != pixels) {
    std::fprintf(stderr, "raw pixel count %llu for a %llu-pixel crop\n",
                 static_cast<unsigned long long>(h.image.rawPixelCount()), static_cast<unsigned long long>(pixels));
    std::abort();
  }
  return 0;
}
