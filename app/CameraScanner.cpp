#include "CameraScanner.h"

#include "CameraSelectionDialog.h"
#include "GenicamSetting.h"
#include "Logging.h"
#include "RemoteToken.h"
#include "StatusReporter.h"

#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "camera/Discovery.h"
#include "camera/RemoteAccess.h"

#include <QApplication>
#include <QCheckBox>
#include <QDebug>
#include <QMessageBox>
#include <QSettings>

#include <atomic>
#include <exception>

namespace {

const char* const kSearchModeKey = "mainWindow/Searchmode";
const char* const kAskRemoteKey = "mainWindow/AskRemoteUsage";

std::atomic<uint16_t> gDiscoveryPort{vyk::kDiscoveryPort};

QString searchMode()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    return settings.value(kSearchModeKey, QStringLiteral("all")).toString().toLower();
}

QString address(const vyk::DeviceEntry& entry)
{
    return QString::fromStdString(entry.ip) + QLatin1Char(':') + QString::number(entry.port);
}

} // namespace

CameraScanner::CameraScanner(QWidget* dialogParent, StatusReporter* status)
    : dialogParent_(dialogParent)
    , status_(status)
{
}

uint16_t CameraScanner::discoveryPort()
{
    return gDiscoveryPort.load();
}

void CameraScanner::setDiscoveryPort(uint16_t port)
{
    gDiscoveryPort.store(port);
}

void CameraScanner::scanCameras(CameraMap& cameras)
{
    qDebug() << "Start searching for new Cameras.";
    status_->show(QStringLiteral("Searching cameras..."));

    const QString mode = searchMode();
    qInfo() << "Camera search mode = " << mode;
    if (mode == QLatin1String("local") || mode == QLatin1String("all"))
        scanLocal(cameras);

    const std::vector<vyk::DeviceEntry> freeEntries = discoverFree();
    if (!freeEntries.empty() && askRemoteUsage(mode, dialogParent_))
        addRemote(cameras, freeEntries);

    if (!cameras.empty()) {
        qInfo() << "All cameras found: " << cameras.size() << " cameras";
        status_->show(QStringLiteral("Found %1 cameras.").arg(cameras.size()));
        QApplication::processEvents();
    } else {
        qCritical() << "No Cameras found!";
        status_->show(QStringLiteral("No cameras found!"));
        QApplication::processEvents();
        QMessageBox::critical(dialogParent_, QStringLiteral("No Camera"),
                              QStringLiteral("No camera found, please make sure camera is connected and press 'Add Camera'"),
                              QMessageBox::Ok);
    }
    qDebug() << "Leaving searching for a camera";
}

void CameraScanner::scanLocal(CameraMap& cameras)
{
    GenicamSetting::apply();
    for (;;) {
        std::unique_ptr<vyk::Camera> camera;
        try {
            camera = std::make_unique<vyk::Camera>(vyk::InterfaceType::Any, 0xFFFFFFFFu);
        } catch (const vyk::CameraException&) {
            qInfo() << "No local camera found!";
            return;
        }
        const DWORD serial = camera->getSerial();
        if (cameras.count(serial) != 0)
            return; // the unique_ptr closes the duplicate
        try {
            camera->defaultConfiguration();
        } catch (const vyk::CameraException& e) {
            // A camera that refuses its defaults is not usable; it is closed and the scan ends
            // here, since opening "the next one" would find it again.
            qCritical() << "Local camera could not be reset to its defaults: " << e.what() << " Serial: " << serial;
            return;
        }
        cameras[serial] = std::make_shared<vyk::AnyCamera>(std::move(camera));
        qInfo() << "Local Camera added! Serial: " << serial;
    }
}

std::vector<vyk::DeviceEntry> CameraScanner::discoverFree()
{
    std::vector<vyk::DeviceEntry> freeEntries;
    try {
        for (const vyk::DeviceEntry& entry : vyk::discover(discoveryPort(), kDiscoveryTimeoutMs, "camera"))
            if (entry.free)
                freeEntries.push_back(entry);
    } catch (const vyk::CameraException& e) {
        qWarning() << "Remote camera discovery failed: " << e.what();
    }
    return freeEntries;
}

void CameraScanner::addRemote(CameraMap& cameras, const std::vector<vyk::DeviceEntry>& freeEntries)
{
    CameraSelectionDialog dialog(freeEntries, dialogParent_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string token = RemoteToken::configured();
    for (const vyk::DeviceEntry& entry : dialog.selectedEntries()) {
        try {
            auto remote = std::make_unique<vyk::RemoteCamera>(entry.ip, entry.port, kHeartbeatMs, token);
            const DWORD serial = remote->getSerial();
            if (cameras.count(serial) != 0)
                continue; // the unique_ptr releases it, so its server offers it as free again
            remote->defaultConfiguration();
            cameras[serial] = std::make_shared<vyk::AnyCamera>(std::move(remote));
            qInfo() << "Added remote camera: " << QString::fromStdString(entry.ip) << ":" << entry.port
                    << " Serial: " << serial;
        } catch (const vyk::CameraException& e) {
            qInfo() << "Failed to create remote camera at " << address(entry);
            if (e.code() == vyk::kRefusedCode)
                showRefusal(e);
        } catch (const std::exception&) {
            qInfo() << "Failed to create remote camera at " << address(entry);
        }
    }
}

void CameraScanner::showRefusal(const vyk::CameraException& refusal)
{
    // A refused token is the user's to mend (Camera Setup or RASTEL_TOKEN), so it is shown,
    // not only logged like a server that is down.
    qCritical() << "Remote camera refused: " << refusal.what();
    QMessageBox::warning(dialogParent_, QStringLiteral("Remote Camera"), QString::fromUtf8(refusal.what()));
}

bool CameraScanner::askRemoteUsage(const QString& mode, QWidget* parent)
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    if (mode == QLatin1String("remote")) {
        settings.setValue(kAskRemoteKey, QStringLiteral("false"));
        return true;
    }
    const bool ask = settings.value(kAskRemoteKey, true).toBool();
    if (mode == QLatin1String("local") && !ask)
        return false;
    if (!ask)
        return true;

    QMessageBox box(QMessageBox::Question, QStringLiteral("Remote Devices"),
                    QStringLiteral("Remote Devices found.\nDo you want to use them?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    auto* dontAsk = new QCheckBox(QStringLiteral("Do not ask again"), &box);
    box.setCheckBox(dontAsk);
    const bool yes = box.exec() == QMessageBox::Yes;
    const bool ticked = dontAsk->isChecked();

    settings.setValue(kAskRemoteKey, !ticked);
    if (mode == QLatin1String("local") && yes && ticked)
        settings.setValue(kSearchModeKey, QStringLiteral("all"));
    if (mode == QLatin1String("all") && !yes && ticked)
        settings.setValue(kSearchModeKey, QStringLiteral("local"));
    return yes;
}
