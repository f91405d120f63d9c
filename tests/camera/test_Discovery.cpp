// Discovery by UDP on loopback: against the device server and against scripted responders.

#include <cstdlib>
#include <optional>
#include <thread>

#include "camera/Discovery.h"
#include "camera/UdpSocket.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using nlohmann::json;

// Answers the first datagram with the given datagrams; keeps the request.
class Responder {
 public:
  explicit Responder(std::vector<std::string> answers) : _answers(std::move(answers)) {
    _socket.bind("127.255.255.255", 0);
    _socket.setReceiveTimeout(10000);
    _thread = std::thread([this] {
      vyk::UdpSocket::Peer peer;
      if (const auto datagram = _socket.receive(2047, &peer)) {
        _request = *datagram;
        for (const std::string& answer : _answers) _socket.sendTo(peer.ip, peer.port, answer);
      }
    });
  }
  ~Responder() { join(); }
  uint16_t port() const { return _socket.localPort(); }
  /// The request; waits for the responder to finish.
  std::string request() {
    join();
    return _request;
  }

 private:
  void join() {
    if (_thread.joinable()) _thread.join();
  }
  vyk::UdpSocket _socket;
  std::vector<std::string> _answers;
  std::string _request;  // written by the thread before it ends
  std::thread _thread;   // joined by request() or the destructor
};

json entry(uint32_t serial, bool free) {
  return {{"type", "camera"}, {"ip", "127.0.0.1"}, {"port", 9000 + serial}, {"name", "cam"},
          {"serial", serial}, {"free", free}};
}

TEST(Discovery, AddressComesFromTheEnvironment) {
  // ctest sets the variable for every test; the default applies only without it.
  const char* set = std::getenv("RASTEL_DISCOVERY_ADDRESS");
  const std::string saved = set != nullptr ? set : "";
  unsetenv("RASTEL_DISCOVERY_ADDRESS");
  EXPECT_EQ(vyk::discoveryAddress(), "255.255.255.255");
  setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
  EXPECT_EQ(vyk::discoveryAddress(), "127.255.255.255");
  if (set != nullptr) setenv("RASTEL_DISCOVERY_ADDRESS", saved.c_str(), 1);
}

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1); }
};

TEST_F(DiscoveryTest, ArraysObjectsAndGarbageDatagrams) {
  Responder responder({"this is not json", json::array({entry(1, true), entry(2, false), entry(3, true)}).dump(),
                       "[1, 2", entry(4, true).dump(), json{{"type", "camera"}}.dump(), ""});
  const std::vector<vyk::DeviceEntry> found = vyk::discover(responder.port(), 300);
  EXPECT_EQ(json::parse(responder.request()), (json{{"action", "discover"}, {"type", "camera"}}));
  EXPECT_EQ(responder.request(), R"({"action":"discover","type":"camera"})");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0].serial, 1u);
  EXPECT_FALSE(found[1].free);
  EXPECT_EQ(found[2].port, 9003);
  EXPECT_EQ(found[3].serial, 4u);
}

TEST_F(DiscoveryTest, NobodyAnsweringGivesAnEmptyList) {
  vyk::UdpSocket unused;  // a port nobody answers on
  unused.bind("127.0.0.1", 0);
  EXPECT_TRUE(vyk::discover(unused.localPort(), 300).empty());
}

class ServerDiscoveryTest : public RemoteTest {
 protected:
  void SetUp() override {
    RemoteTest::SetUp();
    setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 1);
    startServer();
  }
};

TEST_F(ServerDiscoveryTest, TheServerAnswersWithItsCamerasAndTheirReservation) {
  auto camera = connect(kColourSerial);
  const std::vector<vyk::DeviceEntry> found = vyk::discover(_server->discoveryPort(), 300);
  ASSERT_EQ(found.size(), 4u);
  for (const vyk::DeviceEntry& device : found) {
    EXPECT_EQ(device.type, "camera");
    EXPECT_EQ(device.ip, "127.0.0.1");
    EXPECT_EQ(device.port, portOf(device.serial));
    EXPECT_EQ(device.name, "remote test " + std::to_string(device.serial));
    EXPECT_EQ(device.free, device.serial != kColourSerial) << device.serial;
  }
  // The discovered entry is enough to connect.
  vyk::RemoteCamera remote(found[0].ip, found[0].port);
  EXPECT_EQ(remote.getSerial(), found[0].serial);
}

TEST_F(ServerDiscoveryTest, GarbageAndOtherRequestsDoNotStopTheResponder) {
  vyk::UdpSocket sender;
  sender.enableBroadcast();
  for (const char* garbage : {"", "{", "[1,2,3]", R"({"action":"discover"})", R"({"action":"discover","type":"x"})"})
    sender.sendTo("127.255.255.255", _server->discoveryPort(), garbage);
  // Light sources are not served here: their request stays unanswered.
  EXPECT_TRUE(vyk::discover(_server->discoveryPort(), 300, "lumra").empty());
  EXPECT_EQ(vyk::discover(_server->discoveryPort(), 300).size(), 4u);
}

}  // namespace
}  // namespace remotetest
