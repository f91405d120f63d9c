#include "server/ServerOptions.h"

#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace devserver {

namespace {

uint64_t number(const std::string& option, const std::string& text, uint64_t maximum)
{
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || text[0] == '-' || value > maximum)
        throw std::invalid_argument("invalid value for " + option + ": " + text);
    return value;
}

LogLevel levelOf(const std::string& text)
{
    if (text == "error")
        return LogLevel::Error;
    if (text == "warning")
        return LogLevel::Warning;
    if (text == "info")
        return LogLevel::Info;
    if (text == "debug")
        return LogLevel::Debug;
    throw std::invalid_argument("invalid value for --log-level: " + text);
}

}  // namespace

std::string serverUsage()
{
    return "Usage: rastel-devserver [options]\n"
           "Serves the simulated cameras and light sources of this computer over HTTP/JSON (paths under /v1/),\n"
           "one port per device, and answers discovery datagrams on UDP.\n"
           "\n"
           "Options:\n"
           "  --bind ADDRESS         address the device ports listen on (default 127.0.0.1)\n"
           "  --base-port N          port of the first camera; further cameras, then light sources,\n"
           "                         take the following ports (default 8100; 0 = free ports)\n"
           "  --port N               same as --base-port\n"
           "  --discovery-port N     UDP port for discovery requests (default 50000; 0 = a free port)\n"
           "  --config FILE          simulated device set (JSON with \"cameras\" and \"light_sources\");\n"
           "                         default: $RASTEL_SIM_CONFIG, else the built-in set\n"
           "  --genicam ID[,ID...]   serve these GenICam cameras too: Aravis device ids such as an address\n"
           "                         (127.0.0.1) or Fake_1; \"discover\" searches every interface\n"
           "                         (default: $RASTEL_GENICAM, else none)\n"
           "  --data-dir DIR         recording folder; remote file recordings stay inside it,\n"
           "                         uploaded LUT files go to DIR/luts (default ./rastel-devserver-data)\n"
           "  --heartbeat-ms N       clients' heartbeat period; a device whose client is silent for three\n"
           "                         periods is free again and its recording is stopped (default 2000)\n"
           "  --dxr-storage-mib N    size of the DXR recorder storage shared by CLHS_DXR cameras (default 4096)\n"
           "  --max-body-bytes N     largest request body accepted (default 16777216)\n"
           "  --no-light-sources     serve cameras only\n"
           "  --token-file FILE      every request must carry \"Authorization: Bearer TOKEN\" with the token\n"
           "                         on FILE's first line; FILE must not be readable by group or others\n"
           "  --allow ADDR[/BITS][,...]  answer requests and discovery only from these IPv4 ranges\n"
           "  --log-level LEVEL      error, warning, info (default) or debug (every request)\n"
           "  --verbose              same as --log-level debug\n"
           "  --help                 show this text\n";
}

ServerOptions parseServerOptions(const std::vector<std::string>& arguments)
{
    ServerOptions options;
    if (const char* config = std::getenv("RASTEL_SIM_CONFIG"))
        options.configFile = config;
    if (const char* genicam = std::getenv("RASTEL_GENICAM"))
        options.genicam = genicam;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size())
                throw std::invalid_argument("missing value for " + option);
            return arguments[++i];
        };
        if (option == "--help" || option == "-h")
            options.help = true;
        else if (option == "--bind")
            options.bindAddress = value();
        else if (option == "--base-port" || option == "--port")
            options.basePort = static_cast<uint16_t>(number(option, value(), 65535));
        else if (option == "--discovery-port")
            options.discoveryPort = static_cast<uint16_t>(number(option, value(), 65535));
        else if (option == "--config")
            options.configFile = value();
        else if (option == "--genicam")
            options.genicam = value();
        else if (option == "--data-dir")
            options.dataDir = value();
        else if (option == "--heartbeat-ms")
            options.heartbeatMs = static_cast<uint32_t>(number(option, value(), 86400000));
        else if (option == "--dxr-storage-mib")
            options.dxrStorageMiB = number(option, value(), std::numeric_limits<uint32_t>::max());
        else if (option == "--max-body-bytes")
            options.maxBodyBytes = number(option, value(), std::numeric_limits<uint32_t>::max());
        else if (option == "--no-light-sources")
            options.lightSources = false;
        else if (option == "--token-file")
            options.tokenFile = value();
        else if (option == "--allow")
            options.allow = AllowList::parse(value());
        else if (option == "--log-level")
            options.logLevel = levelOf(value());
        else if (option == "--verbose")
            options.logLevel = LogLevel::Debug;
        else
            throw std::invalid_argument("unknown option: " + option);
    }
    return options;
}

}  // namespace devserver
