#pragma once

#include "lightsource/lsx/LumraConfiguration.h"
#include "lightsource/lsx/LumraDescription.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json_fwd.hpp>

namespace lsx {

/// A light source behind a device server, reached with HTTP/JSON requests under "/v1/".
/// A heartbeat keeps it reserved on the server; destruction switches it off and releases it.
class RemoteLumra {
public:
    /// Stores the server address and starts the heartbeat thread; sends no request itself.
    /// Every request carries token when it is not empty; a refused one (status 401) throws
    /// a LumraException whose message says that the server refused the token.
    RemoteLumra(std::string host, uint16_t port, uint32_t heartbeatPeriodMs, std::string token = {});
    /// Switches off, ends the heartbeat and sends "/v1/setFree"; never throws.
    ~RemoteLumra();
    RemoteLumra(const RemoteLumra&) = delete;
    RemoteLumra& operator=(const RemoteLumra&) = delete;

    /// GET "/v1/getDescription".
    LumraDescription getDescription();
    /// GET "/v1/getConfiguration".
    LumraConfiguration getConfiguration();
    /// PUT "/v1/setConfiguration" (locked).
    void setConfiguration(const LumraConfiguration& configuration);
    /// PUT "/v1/defaultConfiguration" with JSON null (locked).
    void defaultConfiguration();
    /// POST "/v1/switchOn" (locked).
    void switchOn();
    /// POST "/v1/switchOff" (locked).
    void switchOff();
    /// POST "/v1/executeCommand" {"command", "in_val" when value is not empty} (locked); the answer text.
    std::string executeCommand(const std::string& command, const std::string& value);

    /// Server address.
    const std::string& host() const { return host_; }
    /// Server port.
    uint16_t port() const { return port_; }

private:
    enum class Method { Get, Post, Put };
    nlohmann::json request(Method method, const std::string& path, const nlohmann::json* body) const;
    void heartbeatLoop();

    const std::string host_;            ///< server address; read by the heartbeat thread
    const uint16_t port_;               ///< server port; read by the heartbeat thread
    const uint32_t heartbeatPeriodMs_;  ///< heartbeat period, ms; read by the heartbeat thread
    const std::string token_;           ///< sent with every request unless empty; read by the heartbeat thread
    std::atomic<bool> running_{true};   ///< cleared at destruction; ends the heartbeat loop
    std::mutex wakeMutex_;              ///< pairs with wake_ to cut the heartbeat sleep short
    std::condition_variable wake_;      ///< notified when running_ is cleared
    std::recursive_mutex requestMutex_; ///< held for the whole of every locked request
    std::thread heartbeat_;             ///< heartbeat thread; joined by the destructor
};

}  // namespace lsx
