// rastel-devserver: serves this computer's cameras and light sources to Rastel over the network.
#include "server/DeviceServer.h"
#include "server/ServerOptions.h"

#include <csignal>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv)
{
    devserver::ServerOptions options;
    try {
        options = devserver::parseServerOptions(std::vector<std::string>(argv, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n\n" << devserver::serverUsage();
        return 2;
    }
    if (options.help) {
        std::cout << devserver::serverUsage();
        return 0;
    }

    // Every thread inherits the blocked signals; only the main thread takes them, by sigwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        devserver::DeviceServer server(options);
        server.start();
        // One line per device ("camera SERIAL PORT", "lumra SERIAL PORT"), then the
        // discovery port, then the ready line: whoever started the server can read its ports.
        for (const auto& endpoint : server.endpoints())
            std::cout << endpoint.type << ' ' << endpoint.serial << ' ' << endpoint.port << '\n';
        std::cout << "discovery " << server.discoveryPort() << '\n' << "rastel-devserver ready" << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        devserver::logLine(devserver::LogLevel::Info, "stopping on signal " + std::to_string(received));
        server.stop();
    } catch (const std::exception& e) {
        std::cerr << "rastel-devserver: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
