#include "LightSourceScanner.h"

#include "CameraScanner.h"
#include "Logging.h"
#include "RemoteToken.h"
#include "StatusReporter.h"

#include "lightsource/lsx/AnyLumra.h"
#include "lightsource/lsx/LumraDiscovery.h"
#include "lightsource/lsx/LumraException.h"
#include "lightsource/lsx/LumraType.h"

#include <QDebug>
#include <QSettings>

#include <exception>

LightSourceScanner::LightSourceScanner(StatusReporter* status)
    : status_(status)
{
}

void LightSourceScanner::scanLightSources(LumraMap& lumras)
{
    qDebug() << "Start searching for new Lumras.";
    status_->show(QStringLiteral("Searching lumras..."));
    const QString mode = QSettings(settingsFilePath, QSettings::IniFormat)
                             .value(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("All"))
                             .toString()
                             .toLower();
    qInfo() << "Lumra search mode = " << mode;
    const bool all = mode == QLatin1String("all");
    if (all || mode == QLatin1String("local"))
        scanLocal(lumras);
    if (all || mode == QLatin1String("remote"))
        scanRemote(lumras);

    if (lumras.empty()) {
        qWarning() << "No Lumra found!";
        status_->show(QStringLiteral("No Lumra found!"));
    } else {
        qInfo() << "All Lumras found: " << lumras.size() << " lumras";
        status_->show(QStringLiteral("Found %1 lumras.").arg(lumras.size()));
    }
}

void LightSourceScanner::scanLocal(LumraMap& lumras)
{
    // Each opening takes the next light source nobody holds; an error or a known serial is
    // the end of the list.
    for (;;) {
        std::unique_ptr<lsx::Lumra> local;
        DWORD serial = 0;
        try {
            local = std::make_unique<lsx::Lumra>(lsx::kLumraTypeAny);
            serial = local->getDescription().serial;
            if (lumras.count(serial) != 0)
                return; // the unique_ptr closes the duplicate
            local->defaultConfiguration();
        } catch (const lsx::LumraException& e) {
            qInfo() << e.what();
            return;
        }
        auto handle = std::make_shared<lsx::AnyLumra>(std::move(local));
        qInfo() << "Local Lumra added! Name: " << QString::fromStdString(handle->getDescription().name);
        lumras[serial] = std::move(handle);
    }
}

void LightSourceScanner::scanRemote(LumraMap& lumras)
{
    std::vector<lsx::DeviceEntry> entries;
    try {
        entries = lsx::discoverLumras(CameraScanner::discoveryPort(), kDiscoveryTimeoutMs);
    } catch (const std::exception& e) {
        qWarning() << "Remote lumra discovery failed: " << e.what();
        return;
    }
    const std::string token = RemoteToken::configured();
    for (const lsx::DeviceEntry& entry : entries) {
        if (!entry.free)
            continue;
        try {
            auto remote = std::make_unique<lsx::RemoteLumra>(entry.ip, entry.port, kHeartbeatMs, token);
            const DWORD serial = remote->getDescription().serial;
            if (lumras.count(serial) != 0)
                continue; // the unique_ptr releases it on its server
            remote->defaultConfiguration();
            lumras[serial] = std::make_shared<lsx::AnyLumra>(std::move(remote));
            qInfo() << "Remote Lumra added " << QString::fromStdString(entry.ip) << ":" << entry.port
                    << "  Name: " << QString::fromStdString(entry.name);
        } catch (const std::exception& e) {
            qInfo() << "Failed to create remote lumra at " << QString::fromStdString(entry.ip) << ":" << entry.port
                    << e.what();
        }
    }
}
