// Finding the light sources the window works with: local ones through the light-source
// library, remote ones through the discovery broadcast (no question, no selection dialog).
#pragma once

#include "acquisition/Dword.h"

#include <cstdint>
#include <map>
#include <memory>

class StatusReporter;

namespace lsx {
class AnyLumra;
}

// Light-source serial to handle, iterated in ascending serial order.
using LumraMap = std::map<DWORD, std::shared_ptr<lsx::AnyLumra>>;

class LightSourceScanner {
public:
    // Discovery waiting time, milliseconds.
    static constexpr uint32_t kDiscoveryTimeoutMs = 300;
    // Heartbeat period of the remote light sources, milliseconds.
    static constexpr uint32_t kHeartbeatMs = 2000;

    // status shows progress; owned by the window.
    explicit LightSourceScanner(StatusReporter* status);

    // Adds every light source found to lumras (known serials are released at once). Reads the
    // search mode "mainWindow/Searchmode"; the discovery goes to CameraScanner::discoveryPort().
    // Runs on the GUI thread and blocks it while the discovery waits.
    void scanLightSources(LumraMap& lumras);

private:
    static void scanLocal(LumraMap& lumras);
    static void scanRemote(LumraMap& lumras);

    StatusReporter* status_; // owned by the main window
};
