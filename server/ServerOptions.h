#pragma once

#include "server/AllowList.h"
#include "server/ServerLog.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace devserver {

/// The device server's settings, from its command line.
struct ServerOptions {
    std::string bindAddress = "127.0.0.1"; ///< address the HTTP servers listen on
    uint16_t basePort = 8100;              ///< first camera's port, the next devices follow (0 = free ports)
    uint16_t discoveryPort = 50000;        ///< UDP port of discovery requests (0 = a free port)
    std::string configFile;                ///< simulated device set (RASTEL_SIM_CONFIG); empty = built-in
    std::string genicam;                   ///< GenICam cameras to serve too (RASTEL_GENICAM list); empty = none
    std::filesystem::path dataDir = "rastel-devserver-data"; ///< recording folder; LUTs go to its "luts"
    uint32_t heartbeatMs = 2000;           ///< clients' heartbeat period; silence for 3 periods frees a device
    uint64_t dxrStorageMiB = 4096;         ///< size of the shared DXR recorder storage, MiB
    bool lightSources = true;              ///< serve the light sources as well
    std::size_t maxBodyBytes = 16 * 1024 * 1024; ///< largest request body accepted
    LogLevel logLevel = LogLevel::Info;    ///< log threshold
    std::filesystem::path tokenFile;       ///< file holding the token every request must carry; empty = none
    AllowList allow;                       ///< client addresses answered; empty = every address
    bool help = false;                     ///< --help was given
};

/// Reads the options from argv (argv[0] is the program). Unknown options and bad values
/// throw std::invalid_argument with a message naming them. RASTEL_SIM_CONFIG is the
/// default of --config, RASTEL_GENICAM that of --genicam.
ServerOptions parseServerOptions(const std::vector<std::string>& arguments);

/// The --help text.
std::string serverUsage();

}  // namespace devserver
