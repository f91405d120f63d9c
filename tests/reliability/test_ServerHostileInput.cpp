// The device server fed hostile requests: truncated and oversized bodies, wrong types,
// numbers out of range, path traversal in recording file names and LUT names, garbage
// discovery datagrams. Every one is refused with the documented answer (503 with a
// RemoteError of code 0xA0163001, or 413 for an oversized body), the server lives on, and
// nothing is written outside its data folder.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <set>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "ServerProcess.h"
#include "camera/Discovery.h"

namespace {

using nlohmann::json;

constexpr const char* kHost = "127.0.0.1";
constexpr int32_t kInvalid = static_cast<int32_t>(0xA0163001u);
constexpr int kMaxBody = 64 * 1024;

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const json camera = {{"serial", 321},
                         {"interface", "USB3"},
                         {"sensor", {{"width", 64}, {"height", 48}}},
                         {"capabilities", {{"timestamp", false}, {"acquire_mode", false}}}};
    server_ = std::make_unique<ServerProcess>(folder_.path() / "server", json{{"cameras", {camera}}}, 0,
                                              std::vector<std::string>{"--max-body-bytes", std::to_string(kMaxBody)});
    client_ = std::make_unique<httplib::Client>(kHost, server_->port("camera 321"));
  }
  void TearDown() override {
    EXPECT_TRUE(server_->alive()) << "the server died of hostile input";
    // Still serving, and nothing outside the server's folder changed.
    const httplib::Result serial = client_->Get("/v1/getSerial");
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->body, "321");
    std::set<std::string> outside;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path())) {
      const std::string relative = std::filesystem::relative(entry.path(), folder_.path()).string();
      if (relative.rfind("server", 0) != 0) outside.insert(relative);
    }
    EXPECT_TRUE(outside.empty()) << *outside.begin();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path() / "server")) {
      const std::string relative = std::filesystem::relative(entry.path(), folder_.path() / "server").string();
      EXPECT_TRUE(relative == "devices.json" || relative.rfind("data", 0) == 0) << relative;
    }
  }

  // Checks a refusal: 503 with a RemoteError of code 0xA0163001 whose "where" names the path.
  static void expectRefused(const httplib::Result& result, const std::string& path, const std::string& why = {}) {
    ASSERT_TRUE(result) << path << ": no answer";
    ASSERT_EQ(result->status, 503) << path << ": " << result->body;
    const json error = json::parse(result->body, nullptr, false);
    ASSERT_TRUE(error.is_object()) << result->body;
    EXPECT_EQ(error.at("code").get<int32_t>(), kInvalid) << result->body;
    const std::string where = error.at("where").get<std::string>();
    EXPECT_NE(where.find(why.empty() ? path : why), std::string::npos) << where;
  }

  httplib::Result put(const std::string& path, const std::string& body) {
    return client_->Put(path, body, "application/json");
  }
  httplib::Result record(const std::string& count, const std::string& mode, const std::string& file) {
    httplib::Params params{{"imgCount", count}, {"recMode", mode}, {"flags", "0"}};
    if (!file.empty()) params.emplace("filePath", file);
    return client_->Post("/v1/record", params);
  }

  ScratchFolder folder_{"rastel_hostile"};
  std::unique_ptr<ServerProcess> server_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(HostileInputTest, TruncatedAndMistypedBodiesAreRefused) {
  const httplib::Result valid = client_->Get("/v1/getConfiguration");
  ASSERT_TRUE(valid);
  ASSERT_EQ(valid->status, 200);
  const std::string configuration = valid->body;
  int requests = 0;
  // Every proper prefix of a valid body: never applied, always refused.
  for (size_t length = 0; length < configuration.size(); length += 7, ++requests) {
    expectRefused(put("/v1/setConfiguration", configuration.substr(0, length)), "/v1/setConfiguration");
  }
  json wrong = json::parse(configuration);
  wrong["roi"] = "everything";
  expectRefused(put("/v1/setConfiguration", wrong.dump()), "/v1/setConfiguration");
  expectRefused(put("/v1/setExposureTime", R"({"exposure_s": "long"})"), "/v1/setExposureTime");
  expectRefused(put("/v1/setExposureTime", R"({"exposure": 0.01})"), "/v1/setExposureTime");
  expectRefused(put("/v1/setExposureTime", "[0.01]"), "/v1/setExposureTime");
  expectRefused(put("/v1/setCamRamAllocation", R"({"percents": [50, "x"]})"), "/v1/setCamRamAllocation");
  expectRefused(put("/v1/setConvertControl", R"({"format": "Mono8", "convert": {"kind": "sepia", "value": {}}})"),
                "/v1/setConvertControl");
  expectRefused(put("/v1/setConvertControl", R"({"format": "Mono99", "convert": null})"), "/v1/setConvertControl");
  expectRefused(record("\"ten\"", "\"ring_buffer\"", ""), "/v1/record");
  expectRefused(record("4294967296", "\"ring_buffer\"", ""), "/v1/record");
  expectRefused(record("-1", "\"ring_buffer\"", ""), "/v1/record");
  expectRefused(record("10", "\"ring_buffer", ""), "/v1/record");
  expectRefused(record("10", "\"warp_speed\"", ""), "/v1/record");
  expectRefused(client_->Post("/v1/record", httplib::Params{{"recMode", "\"ring_buffer\""}}), "/v1/record");
  expectRefused(client_->Get("/v1/image", httplib::Params{{"index", "\"last\""}, {"format", "\"Mono16\""}},
                             httplib::Headers{}),
                "/v1/image");
  expectRefused(client_->Get("/v1/getConvertControl", httplib::Params{{"format", "Mono8"}}, httplib::Headers{}),
                "/v1/getConvertControl");
  expectRefused(client_->Post("/v1/waitForFirstImage", httplib::Params{{"delay", "maybe"}}), "/v1/waitForFirstImage");
  requests += 17;
  // The camera still has the settings it had.
  const httplib::Result after = client_->Get("/v1/getConfiguration");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, configuration);
  std::cout << "[ measured ] " << requests << " malformed requests refused with 0xa0163001\n";
}

TEST_F(HostileInputTest, OversizedBodiesAreRefusedWith413) {
  const std::string huge(4 * kMaxBody, ' ');
  const httplib::Result result = put("/v1/setConfiguration", "{\"x\": \"" + huge + "\"}");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 413);
  const httplib::Result upload = client_->Post(
      "/v1/uploadLut", httplib::MultipartFormDataItems{{"lut", huge, "big.lut", "application/octet-stream"}});
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->status, 413);
}

TEST_F(HostileInputTest, RecordingPathsCannotLeaveTheDataFolder) {
  const std::string escape = (folder_.path() / "escaped.tif").string();
  for (const std::string& path : {std::string("../escaped.tif"), std::string("../../escaped.tif"),
                                  std::string("a/../../../escaped.tif"), escape, std::string("//escaped.tif")}) {
    expectRefused(record("2", "\"tif\"", json(path).dump()), "/v1/record", "ecording paths");
  }
  expectRefused(record("2", "\"tif\"", "42"), "/v1/record");
  // A sound relative name lands inside the data folder.
  const httplib::Result inside = record("2", "\"tif\"", json("sub/ok.tif").dump());
  ASSERT_TRUE(inside);
  EXPECT_EQ(inside->status, 200) << inside->body;
  client_->Post("/v1/stop");
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / "server" / "data" / "sub"));
}

TEST_F(HostileInputTest, LutNamesCannotLeaveTheLutFolder) {
  const std::string table(256 * 3, 'x');
  const httplib::Result upload = client_->Post(
      "/v1/uploadLut", httplib::MultipartFormDataItems{{"lut", table, "../../../evil.lt4/../../x", "application/octet-stream"}});
  ASSERT_TRUE(upload);
  ASSERT_EQ(upload->status, 200) << upload->body;
  const std::filesystem::path saved = json::parse(upload->body).at("saved").get<std::string>();
  const std::filesystem::path luts = std::filesystem::weakly_canonical(folder_.path() / "server" / "data" / "luts");
  EXPECT_EQ(std::filesystem::weakly_canonical(saved).parent_path(), luts) << saved;

  const auto convert = [&](const std::string& lut) {
    json value = {{"sharpen", false}, {"adaptive_sharpen", false}, {"flip_vertical", false}, {"auto_minmax", true},
                  {"add_conv_flags", 0},  {"min_limit", 0},          {"max_limit", 20000},      {"gamma", 1.0},
                  {"contrast", 0},        {"color_temperature", 6500}, {"color_saturation", 0}, {"color_vibrance", 0},
                  {"color_tint", 0},      {"lut_file", lut}};
    return put("/v1/setConvertControl",
               json{{"format", "BGR8"}, {"convert", {{"kind", "pseudocolor"}, {"value", value}}}}.dump());
  };
  for (const std::string& lut : {std::string("/etc/passwd"), (luts / ".." / ".." / "devices.json").string(),
                                 (luts / "..").string(), std::string("upload_321_1.lut")}) {
    const httplib::Result result = convert(lut);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503) << lut << ": " << result->body;
  }
}

// Sends one datagram to the discovery port on loopback.
void sendDatagram(uint16_t port, const std::string& payload) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(socket, 0);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::sendto(socket, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof(target));
  ::close(socket);
}

TEST_F(HostileInputTest, GarbageDiscoveryDatagramsAreIgnored) {
  const uint16_t port = server_->port("discovery");
  std::mt19937 random(8);
  std::vector<std::string> garbage = {"", "{", "null", "[]", "{\"action\": \"discover\"}",
                                      "{\"action\": \"discover\", \"type\": 5}", "{\"action\": 1, \"type\": \"camera\"}",
                                      "{\"action\": \"discover\", \"type\": \"camera\"", std::string(60000, '{')};
  for (int i = 0; i < 200; ++i) {
    std::string bytes(random() % 2048, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    garbage.push_back(bytes);
  }
  for (const std::string& datagram : garbage) sendDatagram(port, datagram);
  setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
  const std::vector<vyk::DeviceEntry> found = vyk::discover(port, 500);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].serial, 321u);
  std::cout << "[ measured ] " << garbage.size() << " garbage datagrams ignored, discovery still answers\n";
}

}  // namespace
