// A device server that demands a token or admits only some addresses, against the remote
// camera and light-source clients and plain HTTP requests. Everything stays on loopback;
// 127.0.0.2 plays the computer outside the allow list.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <httplib.h>

#include "camera/Discovery.h"
#include "camera/RemoteAccess.h"
#include "camera/UdpSocket.h"
#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/RemoteLumra.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using nlohmann::json;
using vyk::RecordMode;

constexpr const char* kToken = "0123456789abcdef-token";
constexpr uint32_t kLumraSerial = 701;

// A status and a body.
struct Answer {
  int status = 0;
  std::string body;
};

// GET path from a TCP socket bound to fromIp (httplib's client cannot choose its source address).
Answer getFrom(const std::string& fromIp, uint16_t port, const std::string& path) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_GE(fd, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, fromIp.c_str(), &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  Answer answer;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(::send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) received.append(buffer, static_cast<size_t>(n));
    if (received.rfind("HTTP/1.1 ", 0) == 0) answer.status = std::stoi(received.substr(9, 3));
    const std::size_t bodyStart = received.find("\r\n\r\n");
    if (bodyStart != std::string::npos) answer.body = received.substr(bodyStart + 4);
  } else {
    ADD_FAILURE() << "cannot reach 127.0.0.1:" << port << " from " << fromIp;
  }
  ::close(fd);
  return answer;
}

// A server on testCameras() plus one light source, with a token file and/or an allow list.
class RemoteAccessTest : public RemoteTest {
 protected:
  void SetUp() override {
    RemoteTest::SetUp();
    setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
    const json lights = json::array({{{"serial", kLumraSerial}, {"connection", "/dev/ttyUSB7"},
                                      {"channels", json::array({{{"wavelength_nm", 470}}})}}});
    std::ofstream(_folder / "devices.json") << json{{"cameras", testCameras()}, {"light_sources", lights}}.dump();
  }

  // Starts the server; with a token it reads it from a private file; allow as for --allow.
  void startGuarded(const std::string& token, const std::string& allow = {}) {
    const std::filesystem::path tokenFile = _folder / "token";
    if (!token.empty()) {
      std::ofstream(tokenFile) << token << "\n";
      ASSERT_EQ(::chmod(tokenFile.c_str(), 0600), 0);
    }
    startServer(2000, [&](devserver::ServerOptions& options) {
      options.lightSources = true;
      options.logLevel = devserver::LogLevel::Warning;  // refusals are warnings
      if (!token.empty()) options.tokenFile = tokenFile;
      if (!allow.empty()) options.allow = devserver::AllowList::parse(allow);
    });
  }

  uint16_t lumraPort() const {
    for (const auto& endpoint : _server->endpoints())
      if (endpoint.type == "lumra") return endpoint.port;
    ADD_FAILURE() << "no light source served";
    return 0;
  }

  // The served camera's exposure time read on the server, seconds.
  double serverExposure(uint32_t serial) {
    devserver::CameraServerState& state = stateOf(serial);
    const auto lock = state.lockCamera();
    return state.camera().getExposureTime();
  }
};

json remoteError(const httplib::Result& result) {
  return result ? json::parse(result->body, nullptr, false) : json();
}

TEST_F(RemoteAccessTest, RequestsWithoutOrWithAWrongTokenAreRefusedAndChangeNothing) {
  startGuarded(kToken);
  const uint16_t port = portOf(kMonoSerial);
  const double exposure = serverExposure(kMonoSerial);
  const json refusal = {{"code", vyk::kRefusedCode}, {"where", "missing or wrong token"}};

  httplib::Client client("127.0.0.1", port);
  testing::internal::CaptureStderr();
  const httplib::Result without = client.Get("/v1/getSerial");
  const httplib::Result put = client.Put("/v1/setExposureTime", json{{"exposure_s", 0.25}}.dump(), "application/json");
  const httplib::Result wrong =
      client.Get("/v1/getSerial", httplib::Headers{{"Authorization", std::string("Bearer ") + kToken + "x"}});
  const httplib::Result basic = client.Get("/v1/getSerial", httplib::Headers{{"Authorization", kToken}});
  const std::string log = testing::internal::GetCapturedStderr();

  for (const httplib::Result* result : {&without, &put, &wrong, &basic}) {
    ASSERT_TRUE(*result);
    EXPECT_EQ((*result)->status, 401);
    EXPECT_EQ(remoteError(*result), refusal);
    EXPECT_EQ((*result)->get_header_value("WWW-Authenticate"), "Bearer");
  }
  EXPECT_NE(log.find("WARNING refused GET /v1/getSerial from 127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find("WARNING refused PUT /v1/setExposureTime from 127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find(": missing or wrong token"), std::string::npos) << log;
  // Refused requests neither reserve the camera nor reach it.
  EXPECT_TRUE(stateOf(kMonoSerial).isFree());
  EXPECT_DOUBLE_EQ(serverExposure(kMonoSerial), exposure);

  const httplib::Result right =
      client.Get("/v1/getSerial", httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}});
  ASSERT_TRUE(right);
  EXPECT_EQ(right->status, 200);
  EXPECT_EQ(right->body, std::to_string(kMonoSerial));
}

TEST_F(RemoteAccessTest, RemoteCameraSendsItsTokenAndReportsARefusal) {
  startGuarded(kToken);
  const uint16_t port = portOf(kMonoSerial);
  const std::string refused =
      "The server 127.0.0.1:" + std::to_string(port) + " refused the token: missing or wrong token (/v1/getRawFormat)";
  EXPECT_CAMERA_ERROR(vyk::RemoteCamera("127.0.0.1", port, 100), refused, vyk::kRefusedCode);
  EXPECT_CAMERA_ERROR(vyk::RemoteCamera("127.0.0.1", port, 100, "wrong"), refused, vyk::kRefusedCode);
  EXPECT_TRUE(stateOf(kMonoSerial).isFree());

  // With the token every kind of request goes through: queries, settings, actions, images.
  vyk::RemoteCamera camera("127.0.0.1", port, 100, kToken);
  EXPECT_EQ(camera.getSerial(), kMonoSerial);
  camera.setExposureTime(0.002);
  EXPECT_DOUBLE_EQ(serverExposure(kMonoSerial), 0.002);
  camera.record(4, RecordMode::RingBuffer);
  camera.waitForFirstImage(true, 10.0);
  vyk::Image image;
  camera.image(image, static_cast<uint64_t>(-1));
  EXPECT_EQ(image.rawData16().size(), 128u * 96u);
  camera.stop();
  EXPECT_FALSE(stateOf(kMonoSerial).isFree());
}

TEST_F(RemoteAccessTest, RemoteLightSourceSendsItsTokenAndReportsARefusal) {
  startGuarded(kToken);
  const uint16_t port = lumraPort();
  {
    lsx::RemoteLumra without("127.0.0.1", port, 100);
    try {
      without.getDescription();
      ADD_FAILURE() << "a request without the token went through";
    } catch (const lsx::LumraException& e) {
      EXPECT_EQ(e.code(), vyk::kRefusedCode);
      EXPECT_EQ(std::string(e.what()), "lsx::LumraException: The server 127.0.0.1:" + std::to_string(port)
                                           + " refused the token: missing or wrong token (/v1/getDescription)");
    }
  }
  lsx::RemoteLumra with("127.0.0.1", port, 100, kToken);
  EXPECT_EQ(with.getDescription().serial, kLumraSerial);
  with.switchOn();
  EXPECT_EQ(with.getConfiguration().on_states.size(), 1u);
}

TEST_F(RemoteAccessTest, DiscoveryTellsWhichDevicesNeedAToken) {
  startGuarded(kToken);
  const std::vector<vyk::DeviceEntry> cameras = vyk::discover(_server->discoveryPort(), 300);
  ASSERT_EQ(cameras.size(), testCameras().size());
  for (const vyk::DeviceEntry& entry : cameras) EXPECT_TRUE(entry.tokenRequired) << entry.serial;
  EXPECT_EQ(json(cameras.front()).at("token_required"), true);

  // An entry without the key (an open server) needs no token, and writes no key.
  json open = cameras.front();
  open.erase("token_required");
  EXPECT_FALSE(open.get<vyk::DeviceEntry>().tokenRequired);
  EXPECT_FALSE(json(open.get<vyk::DeviceEntry>()).contains("token_required"));
}

TEST_F(RemoteAccessTest, AddressesOutsideTheAllowListAreRefused) {
  startGuarded("", "127.0.0.1/32");
  const uint16_t port = portOf(kMonoSerial);

  testing::internal::CaptureStderr();
  const Answer outside = getFrom("127.0.0.2", port, "/v1/getSerial");
  const Answer inside = getFrom("127.0.0.1", port, "/v1/getSerial");
  EXPECT_EQ(outside.status, 401);
  EXPECT_EQ(json::parse(outside.body, nullptr, false),
            (json{{"code", vyk::kRefusedCode}, {"where", "address not allowed"}}));
  EXPECT_EQ(inside.status, 200);
  EXPECT_EQ(inside.body, std::to_string(kMonoSerial));

  // Discovery: the datagram from 127.0.0.2 goes unanswered, the one from 127.0.0.1 is answered.
  const std::string request = json{{"action", "discover"}, {"type", "camera"}}.dump();
  vyk::UdpSocket stranger;
  stranger.enableBroadcast();
  stranger.bind("127.0.0.2", 0);
  ASSERT_TRUE(stranger.sendTo("127.255.255.255", _server->discoveryPort(), request));
  vyk::UdpSocket member;
  member.enableBroadcast();
  member.bind("127.0.0.1", 0);
  ASSERT_TRUE(member.sendTo("127.255.255.255", _server->discoveryPort(), request));
  member.setReceiveTimeout(5000);
  EXPECT_TRUE(member.receive(2047).has_value());
  // The server answers datagrams in arrival order, so the stranger's answer would be there by now.
  stranger.setReceiveTimeout(200);
  EXPECT_FALSE(stranger.receive(2047).has_value());
  const std::string log = testing::internal::GetCapturedStderr();

  EXPECT_NE(log.find("WARNING refused GET /v1/getSerial from 127.0.0.2:"), std::string::npos) << log;
  EXPECT_NE(log.find("address not allowed"), std::string::npos) << log;
  EXPECT_NE(log.find("WARNING refused discovery datagram from 127.0.0.2: address not allowed"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("from 127.0.0.1"), std::string::npos) << log;
}

TEST(RemoteAccess, RefusalMessagesSayWhatWasRefused) {
  EXPECT_EQ(vyk::refusalMessage("10.0.0.5", 8100, "/v1/getName", R"({"code":1442817,"where":"missing or wrong token"})"),
            "The server 10.0.0.5:8100 refused the token: missing or wrong token (/v1/getName)");
  EXPECT_EQ(vyk::refusalMessage("10.0.0.5", 8100, "/v1/getName", R"({"code":1442817,"where":"address not allowed"})"),
            "The server 10.0.0.5:8100 refused the request from this computer's address (/v1/getName)");
  EXPECT_EQ(vyk::refusalMessage("10.0.0.5", 8100, "/v1/image", ""),
            "The server 10.0.0.5:8100 refused the token (/v1/image)");
  EXPECT_EQ(vyk::bearerHeader("abc"), "Bearer abc");
  setenv(vyk::kTokenVariable, "from-env", 1);
  EXPECT_EQ(vyk::tokenFromEnvironment(), "from-env");
  unsetenv(vyk::kTokenVariable);
  EXPECT_EQ(vyk::tokenFromEnvironment(), "");
}

}  // namespace
}  // namespace remotetest
