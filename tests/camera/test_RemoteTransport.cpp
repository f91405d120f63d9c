// The remote camera's request conventions against a scripted HTTP server on loopback: what
// is sent, and how every kind of failure arrives.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/ConvertControl.h"
#include "camera/HttpTransport.h"
#include "camera/RemoteCamera.h"
#include "camera/SensorInfo.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using nlohmann::json;
using vyk::DataFormat;

constexpr uint32_t kLayer = 0x160000u;

// A scripted camera server: answers what a remote camera asks at construction (a mono word
// camera) and whatever handlers a test adds; records each request's path and parameters.
class ScriptedServer {
 public:
  ScriptedServer() {
    answer("/v1/getRawFormat", json("word"));
    answer("/v1/isColored", json(false));
    vyk::SensorInfo sensor;
    sensor.wSize = sizeof(vyk::SensorInfo);
    sensor.iDataBits = 16;
    answer("/v1/getSensorInfo", json(sensor));
    answer("/v1/isRecording", json(false));
    answer("/v1/getInterface", json("USB3"));
    _server.Post("/v1/heartbeat", [this](const httplib::Request&, httplib::Response&) { ++_beats; });
    _server.Post("/v1/setFree", [this](const httplib::Request&, httplib::Response&) { ++_released; });
  }
  ~ScriptedServer() { stop(); }

  httplib::Server& server() { return _server; }
  /// Answers GET path with value (status 200).
  void answer(const std::string& path, const json& value) {
    _server.Get(path, [this, value](const httplib::Request& request, httplib::Response& response) {
      remember(request);
      response.set_content(value.dump(), "application/json");
    });
  }
  /// Answers every method on path with status and body.
  void fail(const std::string& path, int status, const std::string& body = std::string()) {
    const auto handler = [this, status, body](const httplib::Request& request, httplib::Response& response) {
      remember(request);
      response.status = status;
      if (!body.empty()) response.set_content(body, "application/json");
    };
    _server.Get(path, handler);
    _server.Post(path, handler);
    _server.Put(path, handler);
  }
  void start() {
    _port = static_cast<uint16_t>(_server.bind_to_any_port("127.0.0.1"));
    _thread = std::thread([this] { _server.listen_after_bind(); });
    ASSERT_TRUE(eventually([this] { return _server.is_running(); }));
  }
  void stop() {
    _server.stop();
    if (_thread.joinable()) _thread.join();
  }
  uint16_t port() const { return _port; }
  std::unique_ptr<vyk::RemoteCamera> connect() {
    return std::make_unique<vyk::RemoteCamera>("127.0.0.1", _port, 50);
  }
  /// The parameters of the last request to path.
  httplib::Params paramsOf(const std::string& path) {
    std::lock_guard<std::mutex> lock(_mutex);
    return _params[path];
  }
  /// How often path was requested.
  int requests(const std::string& path) {
    std::lock_guard<std::mutex> lock(_mutex);
    return _counts[path];
  }
  int released() const { return _released; }
  int beats() const { return _beats; }
  void remember(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(_mutex);
    _params[request.path] = request.params;
    ++_counts[request.path];
  }

 private:
  httplib::Server _server;
  uint16_t _port = 0;
  std::thread _thread;
  std::mutex _mutex;                               // guards _params
  std::map<std::string, httplib::Params> _params;  // last parameters per path (_mutex)
  std::map<std::string, int> _counts;              // requests per path (_mutex)
  std::atomic<int> _beats{0};                      // "/v1/heartbeat" requests
  std::atomic<int> _released{0};                   // "/v1/setFree" requests
};

TEST(RemoteTransport, WaitWithoutTimeoutSendsOnlyDelay) {
  ScriptedServer scripted;
  scripted.server().Post("/v1/waitForFirstImage", [&](const httplib::Request& request, httplib::Response&) {
    scripted.remember(request);
  });
  scripted.server().Post("/v1/waitForNewImage", [&](const httplib::Request& request, httplib::Response&) {
    scripted.remember(request);
  });
  scripted.start();
  auto camera = scripted.connect();
  camera->waitForFirstImage(true, std::nan(""));
  httplib::Params params = scripted.paramsOf("/v1/waitForFirstImage");
  ASSERT_EQ(params.size(), 1u);
  EXPECT_EQ(params.begin()->first, "delay");
  EXPECT_EQ(params.begin()->second, "true");

  camera->waitForNewImage(false, 2.5);
  params = scripted.paramsOf("/v1/waitForNewImage");
  EXPECT_EQ(params.size(), 2u);
  EXPECT_EQ(params.find("delay")->second, "false");
  EXPECT_EQ(json::parse(params.find("timeout")->second).get<double>(), 2.5);
}

TEST(RemoteTransport, ParametersAreCompactJsonTexts) {
  ScriptedServer scripted;
  scripted.answer("/v1/getConvertControl", json(vyk::ConvertControl(vyk::ConvertControlMono{})));
  scripted.server().Post("/v1/record", [&](const httplib::Request& request, httplib::Response&) {
    scripted.remember(request);
  });
  scripted.start();
  auto camera = scripted.connect();
  camera->getConvertControl(DataFormat::Mono8);
  EXPECT_EQ(scripted.paramsOf("/v1/getConvertControl").find("format")->second, "\"Mono8\"");

  camera->record(12, vyk::RecordMode::Fifo);
  httplib::Params params = scripted.paramsOf("/v1/record");
  EXPECT_EQ(params.find("imgCount")->second, "12");
  EXPECT_EQ(params.find("recMode")->second, "\"fifo\"");
  EXPECT_EQ(params.find("flags")->second, "0");
  EXPECT_EQ(params.count("filePath"), 0u);

  camera->record(3, vyk::RecordMode::Tif, "run/a.tif");
  EXPECT_EQ(scripted.paramsOf("/v1/record").find("filePath")->second, "\"run/a.tif\"");
}

TEST(RemoteTransport, FailuresOtherThan503NameMethodAndPath) {
  ScriptedServer scripted;
  scripted.fail("/v1/getName", 500);
  scripted.fail("/v1/setExposureTime", 404);
  scripted.fail("/v1/stop", 500);
  scripted.fail("/v1/trigger", 500);
  scripted.fail("/v1/getSerial", 503, "not a remote error");
  scripted.start();
  auto camera = scripted.connect();
  EXPECT_CAMERA_ERROR(camera->getName(), "HTTP GET failed: /v1/getName", kLayer);
  EXPECT_CAMERA_ERROR(camera->setExposureTime(0.1), "HTTP PUT failed: /v1/setExposureTime", kLayer);
  try {
    camera->stop();
    ADD_FAILURE() << "stop succeeded";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.code(), kLayer);
    EXPECT_NE(e.message().find("/v1/stop"), std::string::npos) << e.message();
  }
  EXPECT_FALSE(camera->trigger());
  EXPECT_CAMERA_CODE(camera->getSerial(), kLayer);
  // No server at all: the same texts.
  const uint16_t port = scripted.port();
  camera.reset();
  scripted.stop();
  vyk::HttpTransport nobody("127.0.0.1", port);
  EXPECT_CAMERA_ERROR(nobody.query("/v1/getName"), "HTTP GET failed: /v1/getName", kLayer);
  EXPECT_CAMERA_ERROR(nobody.setting("/v1/setDelayTime", json::object()), "HTTP PUT failed: /v1/setDelayTime", kLayer);
}

TEST(RemoteTransport, RemoteErrorCodesBecomeTheException) {
  ScriptedServer scripted;
  scripted.fail("/v1/getName", 503, json{{"code", static_cast<int32_t>(0x80163024u)}, {"where", "x"}}.dump());
  scripted.fail("/v1/getSerial", 503, json{{"code", 0x1234}, {"where", "y"}}.dump());
  scripted.start();
  auto camera = scripted.connect();
  try {
    camera->getName();
    ADD_FAILURE() << "getName succeeded";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.code(), 0x80163024u);
    EXPECT_EQ(std::string(e.what()), "vyk::CameraException (0x80163024): " + libraryText(0x80163024u));
  }
  try {
    camera->getSerial();
    ADD_FAILURE() << "getSerial succeeded";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.code(), 0x1234u);
    EXPECT_EQ(std::string(e.what()).rfind("vyk::CameraException (0x1234): ", 0), 0u) << e.what();
  }
}

TEST(RemoteTransport, AnswersWithoutTheirKeysOrContentFail) {
  ScriptedServer scripted;
  scripted.answer("/v1/getExposureTime", json{{"exposure", 1.0}});
  scripted.answer("/v1/getConvertControl", json::object());
  scripted.start();
  auto camera = scripted.connect();
  try {
    camera->getExposureTime();
    ADD_FAILURE() << "getExposureTime succeeded";
  } catch (const json::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("key 'exposure_s' not found"), std::string::npos) << e.what();
  }
  EXPECT_CAMERA_ERROR(camera->getConvertControl(DataFormat::Mono8), "Camera returned empty ConvertControl", kLayer);
}

// A hostile server's float outside a plain number's type must not reach the cast (which
// would be undefined): it fails with the JSON library's out_of_range error 406, as a record
// field does. A float that the type holds still reads.
void expectOutOfRange(const std::function<void()>& call, const char* what) {
  try {
    call();
    ADD_FAILURE() << what << " succeeded";
  } catch (const json::out_of_range& e) {
    EXPECT_EQ(e.id, 406) << what << ": " << e.what();
  }
}

TEST(RemoteTransport, PlainNumbersOutsideTheirTypeAreRefused) {
  ScriptedServer scripted;
  scripted.answer("/v1/getSerial", json(-1.5));
  scripted.answer("/v1/getRecordedImageCount", json{{"recorded", 1e20}});
  scripted.answer("/v1/getRecorderBufferSize", json{{"buffSize", 4294967296.0}});
  scripted.answer("/v1/getCamRamSegment", json(65536.0));
  scripted.answer("/v1/getCamRamMaxImages", json(-0.5e10));
  scripted.answer("/v1/getCamRamNumImages", json(12.0));
  scripted.answer("/v1/getCamRamAllocation", json::array({50.0, -3.5}));
  scripted.server().Get("/v1/image", [](const httplib::Request& request, httplib::Response& response) {
    const bool badNumber = request.get_param_value("index") == "1";
    response.set_header("crop", json(vyk::Roi{1, 1, 4, 2}).dump());
    response.set_header("format", json(DataFormat::Mono16).dump());
    response.set_header("rawFormat", "\"word\"");
    response.set_header("recorderImageNumber", badNumber ? "-1.0" : "3");
    response.set_header("colorMode", badNumber ? "0" : "3e10");
    response.set_content(std::string(16, '\0'), "application/octet-stream");
  });
  scripted.start();
  auto camera = scripted.connect();
  expectOutOfRange([&] { camera->getSerial(); }, "getSerial");
  expectOutOfRange([&] { camera->getRecordedImageCount(); }, "getRecordedImageCount");
  expectOutOfRange([&] { camera->getRecorderBufferSize(); }, "getRecorderBufferSize");
  expectOutOfRange([&] { camera->getCamRamSegment(); }, "getCamRamSegment");
  expectOutOfRange([&] { camera->getCamRamMaxImages(); }, "getCamRamMaxImages");
  expectOutOfRange([&] { camera->getCamRamAllocation(); }, "getCamRamAllocation");
  vyk::Image image;
  expectOutOfRange([&] { camera->image(image, 1); }, "image with a negative recorderImageNumber");
  expectOutOfRange([&] { camera->image(image, 0); }, "image with a colorMode beyond 32 bits");
  EXPECT_EQ(camera->getCamRamNumImages(), 12u);
}

// Serves one Mono16 image of 4 x 2 pixels whose body is bodyBytes long.
void serveImage(ScriptedServer& scripted, std::size_t bodyBytes, bool withMetadata) {
  scripted.server().Get("/v1/image", [&scripted, bodyBytes, withMetadata](const httplib::Request& request,
                                                                          httplib::Response& response) {
    scripted.remember(request);
    response.set_header("crop", json(vyk::Roi{1, 1, 4, 2}).dump());
    response.set_header("format", json(DataFormat::Mono16).dump());
    response.set_header("rawFormat", "\"word\"");
    response.set_header("recorderImageNumber", "7");
    response.set_header("colorMode", "0");
    if (withMetadata) {
      vyk::ImageMetadata metadata{};
      metadata.wSize = 69;
      metadata.dwCAMERA_SERIAL_NO = 42;
      response.set_header("metadata", json(metadata).dump());
      vyk::ImageTimestamp timestamp{};
      timestamp.wSize = 22;
      timestamp.wYear = 2026;
      response.set_header("timestamp", json(timestamp).dump());
    }
    std::string body(bodyBytes, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i);
    response.set_content(body, "application/octet-stream");
  });
}

TEST(RemoteTransport, ImageHeadersFillTheImage) {
  ScriptedServer scripted;
  serveImage(scripted, 16, true);
  scripted.start();
  auto camera = scripted.connect();
  vyk::Image image;
  image.setMetadata(vyk::ImageMetadata{});
  camera->image(image, static_cast<uint64_t>(-1));
  const httplib::Params params = scripted.paramsOf("/v1/image");
  EXPECT_EQ(params.find("format")->second, "\"Mono16\"");  // Undefined on a word camera
  EXPECT_EQ(params.find("index")->second, "18446744073709551615");
  EXPECT_EQ(params.count("comp_params"), 0u);
  EXPECT_EQ(image.roi(), (vyk::Roi{1, 1, 4, 2}));
  EXPECT_EQ(image.recorderImageNumber(), 7u);
  ASSERT_TRUE(image.metadata().has_value());
  EXPECT_EQ(+image.metadata()->dwCAMERA_SERIAL_NO, 42u);
  ASSERT_TRUE(image.timestamp().has_value());
  EXPECT_EQ(image.timestamp()->wYear, 2026);
  ASSERT_EQ(image.rawData16().size(), 8u);
  EXPECT_EQ(image.rawData16()[1], 0x0302);  // little-endian words, straight from the body
}

TEST(RemoteTransport, ImageWithoutMetadataHeadersClearsThem) {
  ScriptedServer scripted;
  serveImage(scripted, 16, false);
  scripted.start();
  auto camera = scripted.connect();
  vyk::Image image;
  image.setMetadata(vyk::ImageMetadata{});
  image.setTimestamp(vyk::ImageTimestamp{});
  camera->image(image, 0, DataFormat::Mono16);
  EXPECT_FALSE(image.metadata().has_value());
  EXPECT_FALSE(image.timestamp().has_value());
}

TEST(RemoteTransport, ImageBodyOneByteShortIsASizeMismatch) {
  ScriptedServer scripted;
  serveImage(scripted, 15, false);
  scripted.start();
  auto camera = scripted.connect();
  vyk::Image image;
  EXPECT_CAMERA_ERROR(camera->image(image, 0), "size mismatch in image reconstruction!", kLayer);
}

TEST(RemoteTransport, ImageFailuresHaveOneText) {
  ScriptedServer scripted;
  scripted.fail("/v1/image", 503, json{{"code", 0x1234}, {"where", "z"}}.dump());
  scripted.start();
  auto camera = scripted.connect();
  vyk::Image image;
  EXPECT_CAMERA_ERROR(camera->image(image, 0), "image call failed", kLayer);
}

TEST(RemoteTransport, UploadLutSendsOneMultipartFilePart) {
  const std::filesystem::path lut = std::filesystem::temp_directory_path() / "rastel_remote_upload.lt4";
  std::ofstream(lut, std::ios::binary) << std::string("\x01\x02\x00\xff", 4);
  ScriptedServer scripted;
  httplib::MultipartFormData received;
  std::size_t parts = 0;
  scripted.server().Post("/v1/uploadLut", [&](const httplib::Request& request, httplib::Response& response) {
    parts = request.files.size();
    if (request.has_file("lut")) received = request.get_file_value("lut");
    response.set_content(R"({"saved": "/srv/luts/1.lt4"})", "application/json");
  });
  scripted.start();
  auto camera = scripted.connect();
  EXPECT_EQ(camera->uploadLut(lut), "/srv/luts/1.lt4");
  EXPECT_EQ(parts, 1u);
  EXPECT_EQ(received.name, "lut");
  EXPECT_EQ(received.filename, "rastel_remote_upload.lt4");
  EXPECT_EQ(received.content_type, "application/octet-stream");
  EXPECT_EQ(received.content, std::string("\x01\x02\x00\xff", 4));
  std::filesystem::remove(lut);
}

TEST(RemoteTransport, UploadLutFailureIsReported) {
  const std::filesystem::path lut = std::filesystem::temp_directory_path() / "rastel_remote_upload_fail.lut";
  std::ofstream(lut) << "0 0 0\n";
  ScriptedServer scripted;
  scripted.fail("/v1/uploadLut", 503, json{{"code", 1}, {"where", "full"}}.dump());
  scripted.start();
  auto camera = scripted.connect();
  EXPECT_CAMERA_ERROR(camera->uploadLut(lut), "uploadLutFile failed", kLayer);
  std::filesystem::remove(lut);
}

TEST(RemoteTransport, DxrOperationsNeedTheDxrInterface) {
  ScriptedServer scripted;
  scripted.answer("/v1/getDxrAllocation", json::array());
  scripted.start();
  vyk::AnyCamera camera(scripted.connect());
  EXPECT_CAMERA_ERROR(camera.getDxrAllocation(), "Function only available for vyk.dxr!", 0xa0160013u);
  EXPECT_EQ(scripted.requests("/v1/getDxrAllocation"), 0);
  EXPECT_EQ(scripted.requests("/v1/getInterface"), 1);
}

TEST(RemoteTransport, HeartbeatsKeepComingAndReleaseIsSentOnce) {
  ScriptedServer scripted;
  scripted.start();
  auto camera = scripted.connect();
  ASSERT_TRUE(eventually([&] { return scripted.beats() >= 3; }));
  camera.reset();
  EXPECT_EQ(scripted.released(), 1);
  const int after = scripted.beats();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(scripted.beats(), after) << "the heartbeat outlived its camera";
}

}  // namespace
}  // namespace remotetest
