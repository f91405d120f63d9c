#include "lightsource/lsx/RemoteLumra.h"

#include "lightsource/lsx/LumraException.h"

#include "camera/RemoteAccess.h"

#include <chrono>
#include <iostream>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace lsx {

namespace {
constexpr time_t kConnectionTimeoutS = 5;
constexpr const char* kJsonContentType = "application/json";
}  // namespace

RemoteLumra::RemoteLumra(std::string host, uint16_t port, uint32_t heartbeatPeriodMs, std::string token)
    : host_(std::move(host)), port_(port), heartbeatPeriodMs_(heartbeatPeriodMs), token_(std::move(token))
{
    heartbeat_ = std::thread(&RemoteLumra::heartbeatLoop, this);
}

RemoteLumra::~RemoteLumra()
{
    try {
        switchOff();
    } catch (...) {
        // The server may be gone; destruction goes on regardless.
    }
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (heartbeat_.joinable())
        heartbeat_.join();
    try {
        request(Method::Post, "/v1/setFree", nullptr);
    } catch (...) {
        std::cerr << "setFree failed! Probably error on server or connection.\n"
                     "If new connection fails, check if server is running!\n";
    }
}

nlohmann::json RemoteLumra::request(Method method, const std::string& path, const nlohmann::json* body) const
{
    httplib::Client client(host_, port_);
    client.set_connection_timeout(kConnectionTimeoutS, 0);
    if (!token_.empty())
        client.set_default_headers({{"Authorization", vyk::bearerHeader(token_)}});
    const auto send = [&]() -> httplib::Result {
        switch (method) {
        case Method::Get:
            return client.Get(path.c_str());
        case Method::Post:
            return body != nullptr ? client.Post(path.c_str(), body->dump(), kJsonContentType)
                                   : client.Post(path.c_str());
        case Method::Put:
            break;
        }
        return client.Put(path.c_str(), body != nullptr ? body->dump() : std::string("null"), kJsonContentType);
    };
    const httplib::Result result = send();
    const char* failure = method == Method::Get    ? "HTTP GET failed: "
                          : method == Method::Post ? "HTTP POST failed: "
                                                   : "HTTP PUT failed: ";
    if (result && result->status == vyk::kStatusRefused)
        throw LumraException(vyk::refusalMessage(host_, port_, path, result->body), vyk::kRefusedCode);
    if (!result || result->status != 200)
        throw LumraException(failure + path, LumraException::kTransport);
    if (result->body.empty())
        return nullptr;
    return nlohmann::json::parse(result->body);
}

void RemoteLumra::heartbeatLoop()
{
    while (running_) {
        try {
            request(Method::Post, "/v1/heartbeat", nullptr);
        } catch (...) {
            // A missed heartbeat is not an error of the caller; the next one may get through.
        }
        if (heartbeatPeriodMs_ > 0) {
            std::unique_lock<std::mutex> lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(heartbeatPeriodMs_), [this] { return !running_; });
        }
    }
}

LumraDescription RemoteLumra::getDescription()
{
    return request(Method::Get, "/v1/getDescription", nullptr).get<LumraDescription>();
}

LumraConfiguration RemoteLumra::getConfiguration()
{
    return request(Method::Get, "/v1/getConfiguration", nullptr).get<LumraConfiguration>();
}

void RemoteLumra::setConfiguration(const LumraConfiguration& configuration)
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    const nlohmann::json body = configuration;
    request(Method::Put, "/v1/setConfiguration", &body);
}

void RemoteLumra::defaultConfiguration()
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    const nlohmann::json body = nullptr;
    request(Method::Put, "/v1/defaultConfiguration", &body);
}

void RemoteLumra::switchOn()
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    request(Method::Post, "/v1/switchOn", nullptr);
}

void RemoteLumra::switchOff()
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    request(Method::Post, "/v1/switchOff", nullptr);
}

std::string RemoteLumra::executeCommand(const std::string& command, const std::string& value)
{
    std::lock_guard<std::recursive_mutex> lock(requestMutex_);
    nlohmann::json body = {{"command", command}};
    if (!value.empty())
        body["in_val"] = value;
    const nlohmann::json answer = request(Method::Post, "/v1/executeCommand", &body);
    if (answer.is_null() || ((answer.is_object() || answer.is_array()) && answer.empty()))
        throw LumraException("Lumra returned no answer!", LumraException::kTransport);
    return answer.get<std::string>();
}

}  // namespace lsx
