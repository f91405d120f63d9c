// lsx::RemoteLumra against the in-process light-source server and against scripted servers.
#include "LumraServerFixture.h"
#include "LumraTestEnvironment.h"
#include "lightsource/lsx/AnyLumra.h"
#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/RemoteLumra.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using lsx::LumraException;
using lsx::RemoteLumra;
using nlohmann::json;

constexpr uint32_t kTransport = 0x160000;

template <typename Call>
void expectLumraError(Call call, uint32_t code, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const LumraException& e) {
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(std::string(e.what()), message);
    }
}

// Waits up to 10 s for condition; true when it became true.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A local light source served on loopback.
class RemoteLumraTest : public lsxtest::LumraTest {
protected:
    void SetUp() override
    {
        lsxtest::LumraTest::SetUp();
        useLightSources(lsxtest::threeLightSources());
    }
    void TearDown() override
    {
        server_.reset();
        state_.reset();
        lsxtest::LumraTest::TearDown();
    }

    // Opens the device at port and serves it with a server heartbeat period of periodMs.
    void serve(const std::string& comPort, uint32_t periodMs = 2000)
    {
        state_ = std::make_unique<devserver::LumraServerState>(
            std::make_shared<lsx::Lumra>(lsx::kLumraTypeAny, comPort), periodMs);
        server_ = std::make_unique<lsxtest::LoopbackServer>();
        devserver::registerLumraRoutes(server_->server(), *state_);
        server_->start();
    }

    std::unique_ptr<RemoteLumra> connect(uint32_t heartbeatMs = 100)
    {
        return std::make_unique<RemoteLumra>("127.0.0.1", server_->port(), heartbeatMs);
    }

    httplib::Client rawClient() { return httplib::Client("127.0.0.1", server_->port()); }

    std::unique_ptr<devserver::LumraServerState> state_;
    std::unique_ptr<lsxtest::LoopbackServer> server_;
};

TEST_F(RemoteLumraTest, OperationsEndToEnd)
{
    serve("/dev/ttyUSB2");
    auto remote = connect();
    const lsx::LumraDescription description = remote->getDescription();
    EXPECT_EQ(description, state_->lumra().getDescription());
    EXPECT_EQ(description.serial, 102u);
    EXPECT_EQ(description.exclusivity, (std::vector<uint32_t>{1, 1, 2, 0}));

    remote->setConfiguration({{100, 200, 300, 400}, {true, false, true, false}});
    EXPECT_EQ(state_->lumra().getConfiguration(),
              (lsx::LumraConfiguration{{100, 200, 300, 400}, {true, false, true, false}}));
    EXPECT_EQ(remote->getConfiguration(), state_->lumra().getConfiguration());

    remote->switchOn();
    EXPECT_EQ(remote->executeCommand("GetUnitStatus", "").substr(0, 2), "1,");
    EXPECT_EQ(remote->executeCommand("GetWavelength", "3"), "625");
    remote->switchOff();
    EXPECT_EQ(state_->lumra().executeCommand("GetUnitStatus", "").substr(0, 2), "0,");

    remote->switchOn();
    remote->defaultConfiguration();
    EXPECT_EQ(state_->lumra().getConfiguration().on_states, std::vector<bool>(4, false));
    EXPECT_EQ(state_->lumra().executeCommand("GetUnitStatus", "").substr(0, 2), "0,");
}

TEST_F(RemoteLumraTest, ServerFailuresArriveAsTransportErrorsNamingThePath)
{
    serve("/dev/ttyUSB2");
    auto remote = connect();
    const lsx::LumraConfiguration before = remote->getConfiguration();
    expectLumraError([&] { remote->setConfiguration({{0, 0, 500, 500}, {true, true, false, false}}); }, kTransport,
                     "lsx::LumraException: HTTP PUT failed: /v1/setConfiguration");
    EXPECT_EQ(remote->getConfiguration(), before);
    expectLumraError([&] { remote->executeCommand("NoSuchCommand", ""); }, kTransport,
                     "lsx::LumraException: HTTP POST failed: /v1/executeCommand");
}

TEST_F(RemoteLumraTest, ServerAnswers503WithRemoteErrorBodyAndSurvivesMalformedRequests)
{
    serve("/dev/ttyUSB2");
    httplib::Client client = rawClient();
    auto response = client.Put("/v1/setConfiguration", R"({"intensities":[1,2,3,4],"on_states":[true,true,false,false]})",
                               "application/json");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 503);
    json body = json::parse(response->body);
    EXPECT_EQ(body.at("code").get<int32_t>(), static_cast<int32_t>(0xA0570001u));
    EXPECT_NE(body.at("where").get<std::string>().find("Just single wavelength"), std::string::npos);

    for (const char* malformed : {"{not json", "[]", R"({"intensities":"x","on_states":[]})", ""}) {
        response = client.Put("/v1/setConfiguration", malformed, "application/json");
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 503) << malformed;
        body = json::parse(response->body);
        EXPECT_TRUE(body.at("code").is_number_integer());
        EXPECT_FALSE(body.at("where").get<std::string>().empty());
    }
    for (const char* malformed : {"{}", R"({"command": 5})", R"({"command":"GetSerial","in_val":7})", "null"}) {
        response = client.Post("/v1/executeCommand", malformed, "application/json");
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 503) << malformed;
    }
    response = client.Get("/v1/getDescription");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200) << "the server keeps serving";
}

TEST_F(RemoteLumraTest, ReservationFollowsUseReleaseAndHeartbeat)
{
    serve("/dev/ttyUSB1");
    EXPECT_TRUE(state_->isFree()) << "free until used";
    auto remote = connect();
    remote->getDescription();
    EXPECT_FALSE(state_->isFree());
    remote->switchOn();
    remote.reset();
    EXPECT_TRUE(state_->isFree()) << "released by destruction";
    EXPECT_EQ(state_->lumra().executeCommand("GetUnitStatus", "").substr(0, 2), "0,")
        << "destruction switches the light source off";
}

TEST_F(RemoteLumraTest, MissingHeartbeatFreesTheLightSource)
{
    serve("/dev/ttyUSB1", 30);
    httplib::Client client = rawClient();
    auto response = client.Post("/v1/heartbeat");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_TRUE(eventually([&] { return state_->isFree(); })) << "three silent periods must free it";
    EXPECT_TRUE(state_->discoveryEntry("127.0.0.1", server_->port()).free);
}

TEST_F(RemoteLumraTest, HandleForwardsToTheRemoteLightSource)
{
    serve("/dev/ttyUSB3");
    lsx::AnyLumra handle(connect());
    EXPECT_TRUE(handle.isRemote());
    EXPECT_EQ(handle.getDescription().serial, 103u);
    handle.setConfiguration({{700}, {true}});
    EXPECT_EQ(handle.getConfiguration(), (lsx::LumraConfiguration{{700}, {true}}));
    handle.switchOn();
    EXPECT_EQ(handle.executeCommand("GetUnitStatus", "").substr(0, 2), "1,");
    handle.defaultConfiguration();
    EXPECT_EQ(handle.getConfiguration().on_states, std::vector<bool>{false});
}

TEST_F(RemoteLumraTest, DiscoveryEntryDescribesTheServedLightSource)
{
    serve("/dev/ttyUSB2");
    const lsx::DeviceEntry entry = state_->discoveryEntry("127.0.0.1", 1234);
    EXPECT_EQ(entry, (lsx::DeviceEntry{"lumra", "127.0.0.1", 1234, lsx::lumraTypeName(5), 102, true}));
    EXPECT_TRUE(devserver::isLumraDiscoveryRequest(R"({"action":"discover","type":"lumra"})"));
    EXPECT_FALSE(devserver::isLumraDiscoveryRequest(R"({"action":"discover","type":"camera"})"));
    EXPECT_FALSE(devserver::isLumraDiscoveryRequest("not json"));
    EXPECT_FALSE(devserver::isLumraDiscoveryRequest("[1,2]"));
}

// A server with scripted answers that records what it received.
class ScriptedServerTest : public ::testing::Test {
protected:
    void answer(const std::string& path, int status, const std::string& body)
    {
        auto handler = [this, status, body](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back(request.method + " " + request.path + " " + request.body);
            }
            response.status = status;
            if (!body.empty())
                response.set_content(body, "application/json");
        };
        server_.server().Get(path, handler);
        server_.server().Post(path, handler);
        server_.server().Put(path, handler);
    }
    std::vector<std::string> received(const std::string& prefix)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> matching;
        for (const std::string& line : received_) {
            if (line.rfind(prefix, 0) == 0)
                matching.push_back(line);
        }
        return matching;
    }
    std::unique_ptr<RemoteLumra> connect()
    {
        server_.start();
        return std::make_unique<RemoteLumra>("127.0.0.1", server_.port(), 50);
    }

    lsxtest::LoopbackServer server_;
    std::mutex mutex_;                 ///< guards received_
    std::vector<std::string> received_; ///< "METHOD path body" per request (mutex_)
};

TEST_F(ScriptedServerTest, EmptyCommandValueSendsOnlyTheCommandKey)
{
    answer("/v1/executeCommand", 200, R"("0,25,0")");
    answer("/v1/switchOff", 200, "");
    answer("/v1/setFree", 200, "");
    answer("/v1/heartbeat", 200, "");
    auto remote = connect();
    EXPECT_EQ(remote->executeCommand("GetUnitStatus", ""), "0,25,0");
    EXPECT_EQ(remote->executeCommand("GetWavelength", "2"), "0,25,0");
    const std::vector<std::string> commands = received("POST /v1/executeCommand");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(json::parse(commands[0].substr(commands[0].find('{'))), json({{"command", "GetUnitStatus"}}));
    EXPECT_EQ(json::parse(commands[1].substr(commands[1].find('{'))),
              json({{"command", "GetWavelength"}, {"in_val", "2"}}));
    remote.reset();
    EXPECT_EQ(received("POST /v1/setFree").size(), 1u);
    EXPECT_EQ(received("POST /v1/switchOff").size(), 1u);
}

TEST_F(ScriptedServerTest, SwitchAnswered503GivesThePostFailureNotTheServerCode)
{
    const std::string remoteError = json({{"code", static_cast<int32_t>(0x80160008u)}, {"where", "switchOn"}}).dump();
    answer("/v1/switchOn", 503, remoteError);
    answer("/v1/getDescription", 503, remoteError);
    answer("/v1/defaultConfiguration", 500, "");
    auto remote = connect();
    expectLumraError([&] { remote->switchOn(); }, kTransport, "lsx::LumraException: HTTP POST failed: /v1/switchOn");
    expectLumraError([&] { remote->getDescription(); }, kTransport,
                     "lsx::LumraException: HTTP GET failed: /v1/getDescription");
    expectLumraError([&] { remote->defaultConfiguration(); }, kTransport,
                     "lsx::LumraException: HTTP PUT failed: /v1/defaultConfiguration");
    const std::vector<std::string> defaults = received("PUT /v1/defaultConfiguration");
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_EQ(defaults[0], "PUT /v1/defaultConfiguration null");
}

TEST_F(ScriptedServerTest, CommandWithoutAnswerFails)
{
    answer("/v1/executeCommand", 200, "");
    auto remote = connect();
    expectLumraError([&] { remote->executeCommand("GetUnitStatus", ""); }, kTransport,
                     "lsx::LumraException: Lumra returned no answer!");
}

TEST_F(ScriptedServerTest, CommandAnswersThatAreEmptyContainersOrNotTextFail)
{
    int next = 0;
    const std::vector<std::string> answers = {"{}", "[]", "null", "42"};
    server_.server().Post("/v1/executeCommand", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(answers.at(static_cast<size_t>(next++)), "application/json");
    });
    auto remote = connect();
    for (int i = 0; i < 3; ++i) {
        expectLumraError([&] { remote->executeCommand("GetUnitStatus", ""); }, kTransport,
                         "lsx::LumraException: Lumra returned no answer!");
    }
    EXPECT_THROW(remote->executeCommand("GetUnitStatus", ""), json::type_error);
}

TEST_F(ScriptedServerTest, ConfigurationAnswerMustHoldArrays)
{
    answer("/v1/getConfiguration", 200, R"({"intensities":null,"on_states":[]})");
    auto remote = connect();
    try {
        remote->getConfiguration();
        FAIL() << "null intensities accepted";
    } catch (const json::type_error& e) {
        EXPECT_NE(std::string(e.what()).find("type must be array, but is null"), std::string::npos);
    }
}

TEST_F(ScriptedServerTest, LockedRequestsOfOneLightSourceNeverOverlap)
{
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::atomic<int> served{0};
    auto slowDevice = [&](const httplib::Request&, httplib::Response& response) {
        const int now = ++inFlight;
        int most = mostInFlight;
        while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
        }
        // A slow device widens the window in which an unlocked second request would overlap.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --inFlight;
        ++served;
        response.set_content(R"("0,25,0")", "application/json");
    };
    for (const char* path : {"/v1/switchOn", "/v1/switchOff", "/v1/executeCommand"})
        server_.server().Post(path, slowDevice);
    server_.server().Put("/v1/setConfiguration", slowDevice);
    auto remote = connect();
    std::vector<std::thread> callers;
    callers.emplace_back([&] {
        for (int i = 0; i < 20; ++i)
            remote->executeCommand("GetUnitStatus", "");
    });
    callers.emplace_back([&] {
        for (int i = 0; i < 10; ++i) {
            remote->switchOn();
            remote->setConfiguration({{1}, {true}});
        }
    });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(served.load(), 40);
    EXPECT_EQ(mostInFlight.load(), 1);
}

TEST_F(ScriptedServerTest, HeartbeatIsSentWhileTheLightSourceLives)
{
    answer("/v1/heartbeat", 200, "");
    auto remote = connect();
    EXPECT_TRUE(eventually([&] { return received("POST /v1/heartbeat").size() >= 3; }));
}

// A loopback TCP port that was free a moment ago (bound, never listened on, closed).
uint16_t unusedTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST(RemoteLumraWithoutServer, DestructionCompletesPrintsTheReleaseMessageAndDoesNotThrow)
{
    // A port that was free a moment ago: connections are refused at once.
    const uint16_t port = unusedTcpPort();
    testing::internal::CaptureStderr();
    {
        auto remote = std::make_unique<RemoteLumra>("127.0.0.1", port, 2000);
        EXPECT_THROW(remote->switchOn(), LumraException);
        EXPECT_NO_THROW(remote.reset());
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("setFree failed! Probably error on server or connection.\n"
                          "If new connection fails, check if server is running!\n"),
              std::string::npos)
        << errors;
}

}  // namespace
