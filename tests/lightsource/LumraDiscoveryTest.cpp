// Light-source discovery by UDP on loopback, against a scripted responder.
#include "lightsource/lsx/LumraDiscovery.h"
#include "camera/UdpSocket.h"
#include "server/lumra/LumraRoutes.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// Sets RASTEL_DISCOVERY_ADDRESS for the test's lifetime and restores the previous value.
class DiscoveryAddress {
public:
    explicit DiscoveryAddress(const char* address)
    {
        if (const char* previous = std::getenv("RASTEL_DISCOVERY_ADDRESS"))
            previous_ = previous;
        setenv("RASTEL_DISCOVERY_ADDRESS", address, 1);
    }
    ~DiscoveryAddress()
    {
        if (previous_)
            setenv("RASTEL_DISCOVERY_ADDRESS", previous_->c_str(), 1);
        else
            unsetenv("RASTEL_DISCOVERY_ADDRESS");
    }

private:
    std::optional<std::string> previous_;
};

// Answers the first light-source discovery request with the given datagrams; records the request.
class Responder {
public:
    Responder(const std::string& bindAddress, std::vector<std::string> answers) : answers_(std::move(answers))
    {
        socket_.bind(bindAddress, 0);
        socket_.setReceiveTimeout(10000);
        thread_ = std::thread([this] { run(); });
    }
    ~Responder()
    {
        if (thread_.joinable())
            thread_.join();
    }
    uint16_t port() const { return socket_.localPort(); }
    /// The request received; valid after the discovery call returned.
    std::string request()
    {
        if (thread_.joinable())
            thread_.join();
        return request_;
    }

private:
    void run()
    {
        vyk::UdpSocket::Peer sender;
        const std::optional<std::string> datagram = socket_.receive(2047, &sender);
        if (!datagram)
            return;
        request_ = *datagram;
        if (!devserver::isLumraDiscoveryRequest(request_))
            return;
        for (const std::string& answer : answers_)
            socket_.sendTo(sender.ip, sender.port, answer);
    }

    vyk::UdpSocket socket_;            ///< bound responder socket
    std::vector<std::string> answers_; ///< datagrams sent back
    std::string request_;              ///< the request; written by the thread before it ends
    std::thread thread_;               ///< responder thread; joined by request() or the destructor
};

json entry(const std::string& type, uint32_t serial, bool free)
{
    return {{"type", type}, {"ip", "127.0.0.1"}, {"port", 9000 + serial}, {"name", "Lumra 4"},
            {"serial", serial}, {"free", free}};
}

std::vector<std::string> scriptedAnswers()
{
    return {"this is not json",
            json::array({entry("lumra", 1, true), entry("camera", 2, true), entry("lumra", 3, false)}).dump(),
            entry("lumra", 4, true).dump(), json({{"type", "lumra"}}).dump()};
}

void expectScriptedEntries(const std::vector<lsx::DeviceEntry>& found)
{
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].serial, 1u);
    EXPECT_EQ(found[0].port, 9001);
    EXPECT_TRUE(found[0].free);
    EXPECT_EQ(found[1].serial, 3u);
    EXPECT_FALSE(found[1].free);
    EXPECT_EQ(found[2].serial, 4u);
    EXPECT_EQ(found[2].ip, "127.0.0.1");
}

TEST(LumraDiscovery, CollectsLumraEntriesFromArraysAndObjectsAndSkipsTheRest)
{
    DiscoveryAddress address("127.0.0.1");
    Responder responder("127.0.0.1", scriptedAnswers());
    expectScriptedEntries(lsx::discoverLumras(responder.port(), 500));
    EXPECT_EQ(json::parse(responder.request()), json({{"action", "discover"}, {"type", "lumra"}}));
}

TEST(LumraDiscovery, LoopbackBroadcastReachesAResponderOnAllAddresses)
{
    DiscoveryAddress address("127.255.255.255");
    Responder responder("0.0.0.0", scriptedAnswers());
    expectScriptedEntries(lsx::discoverLumras(responder.port(), 500));
}

TEST(LumraDiscovery, NobodyAnsweringGivesAnEmptyList)
{
    DiscoveryAddress address("127.0.0.1");
    vyk::UdpSocket silent; // bound so that the port is ours, but never answers
    silent.bind("127.0.0.1", 0);
    EXPECT_TRUE(lsx::discoverLumras(silent.localPort(), 300).empty());
}

}  // namespace
