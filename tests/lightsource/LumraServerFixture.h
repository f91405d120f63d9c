// An in-process device server for light sources on 127.0.0.1 with an ephemeral port.
#pragma once

#include "server/lumra/LumraRoutes.h"
#include "server/lumra/LumraServerState.h"

#include <chrono>
#include <memory>
#include <thread>

#include <httplib.h>

namespace lsxtest {

/// Serves one light source (or nothing but custom routes) until destroyed.
class LoopbackServer {
public:
    /// An idle server; mount routes on server(), then start().
    LoopbackServer() = default;
    /// Stops the server and joins its thread.
    ~LoopbackServer() { stop(); }

    /// The server, for mounting routes before start().
    httplib::Server& server() { return server_; }
    /// Binds 127.0.0.1 on a free port (listening from here on) and accepts on a thread of its own.
    void start()
    {
        port_ = static_cast<uint16_t>(server_.bind_to_any_port("127.0.0.1"));
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only reaches a server whose accept loop runs; httplib offers no signal for it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    /// Stops listening and joins the thread; safe to call twice.
    void stop()
    {
        server_.stop();
        if (thread_.joinable())
            thread_.join();
    }
    /// The bound port.
    uint16_t port() const { return port_; }

private:
    httplib::Server server_; ///< the HTTP server
    uint16_t port_ = 0;      ///< bound port
    std::thread thread_;     ///< listening thread; joined by stop()
};

}  // namespace lsxtest
