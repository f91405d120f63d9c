// Finding the cameras the window works with: local ones through the device library, remote
// ones through the discovery broadcast, after asking the user whether to use them.
#pragma once

#include "CameraMap.h"

#include "camera/DeviceEntry.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class StatusReporter;
namespace vyk {
class CameraException;
}

class CameraScanner {
public:
    // Discovery waiting time, milliseconds.
    static constexpr uint32_t kDiscoveryTimeoutMs = 300;
    // Heartbeat period of the remote cameras, milliseconds.
    static constexpr uint32_t kHeartbeatMs = 2000;

    // dialogParent parents the question, selection and "No Camera" boxes; status shows progress.
    CameraScanner(QWidget* dialogParent, StatusReporter* status);

    // Adds every camera found to cameras (known serials are skipped). Runs on the GUI thread
    // and blocks it while the discovery waits and remote cameras are connected.
    void scanCameras(CameraMap& cameras);

    // True when found remote devices are to be used in search mode; may ask the user and
    // updates "mainWindow/AskRemoteUsage" and "mainWindow/Searchmode".
    static bool askRemoteUsage(const QString& mode, QWidget* parent);

    // UDP port the discovery is sent to (50000; tests pick their own to stay apart from
    // device servers of other tests running at the same time).
    static uint16_t discoveryPort();
    static void setDiscoveryPort(uint16_t port);

private:
    void scanLocal(CameraMap& cameras);
    void addRemote(CameraMap& cameras, const std::vector<vyk::DeviceEntry>& freeEntries);
    static std::vector<vyk::DeviceEntry> discoverFree();
    void showRefusal(const vyk::CameraException& refusal);

    QPointer<QWidget> dialogParent_; // the main window
    StatusReporter* status_;         // owned by the main window
};
