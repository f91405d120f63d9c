#include "HealthMonitor.h"

#include "StatusReporter.h"

#include "camera/AnyCamera.h"
#include "camera/CameraException.h"

#include <QDebug>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>

#include <exception>
#include <vector>

namespace {

struct BitText {
    uint32_t bit;
    const char* text;
};

const BitText kWarnings[] = {
    {0x1, "Power supply voltage near limits"},
    {0x2, "Power supply temperature near limit"},
    {0x4, "Camera temperature near limit (board temperature / FPGA temperature)"},
    {0x8, "Image sensor temperature near limit"},
    {0x10, "External battery nearly discharged"},
    {0x20, "Offset regulation range near limit"},
};

const BitText kErrors[] = {
    {0x1, "Power supply voltage out of limits"},
    {0x2, "Power supply temperature out of limit"},
    {0x4, "Camera temperature out of limit (board temperature / FPGA temperature)"},
    {0x8, "Image sensor temperature out of limit"},
    {0x10, "External battery completely discharged"},
    {0x10000, "Camera interface failure"},
    {0x20000, "Camera RAM module failure"},
    {0x40000, "Camera main board failure"},
    {0x80000, "Camera head board failure"},
};

template <size_t N>
const char* firstSetText(const BitText (&table)[N], uint32_t word)
{
    for (const BitText& entry : table)
        if ((word & entry.bit) != 0)
            return entry.text;
    return nullptr;
}

QString hexWord(uint32_t word)
{
    return QStringLiteral("0x") + QString::number(word, 16);
}

} // namespace

HealthMonitor::HealthMonitor(QWidget* boxParent, StatusReporter* status, QObject* parent)
    : QObject(parent)
    , boxParent_(boxParent)
    , status_(status)
{
}

QString HealthMonitor::warningText(uint32_t warnings)
{
    if (const char* text = firstSetText(kWarnings, warnings))
        return QLatin1String(text);
    return QStringLiteral("Unknown Camera Warning occured:") + hexWord(warnings);
}

QString HealthMonitor::errorText(uint32_t errors)
{
    if (const char* text = firstSetText(kErrors, errors))
        return QLatin1String(text);
    return QStringLiteral("Unknown Camera Error occured: ") + hexWord(errors);
}

void HealthMonitor::checkAll(const CameraMap& cameras)
{
    // A warning or error box runs a nested event loop, in which the timer (or a restart of
    // it by a camera removal) can call again: that call would stack another box for the
    // same lasting cause, or report the same failed camera a second time.
    if (checking_) {
        qDebug() << "Health check skipped: the previous check still waits for its message box";
        return;
    }
    const QScopedValueRollback<bool> running(checking_, true);
    qDebug() << "Checking Health of all cameras...";
    std::vector<DWORD> serials;
    for (const auto& entry : cameras)
        serials.push_back(entry.first);

    for (DWORD key : serials) {
        const auto found = cameras.find(key);
        if (found == cameras.end())
            continue; // removed by an earlier failure of this run
        // Holds the camera for this step only; a removal in between lets it go afterwards.
        const std::shared_ptr<vyk::AnyCamera> camera = found->second;
        DWORD serial = 0;
        try {
            serial = camera->getSerial();
        } catch (const std::exception&) {
            qCritical() << "Error trying to check camera health!";
            status_->error(QStringLiteral("Error checking camera health, probably disconnected!"));
            continue;
        }
        if (camera->isRemote())
            continue;
        if (!checkCamera(serial, *camera))
            return;
    }
    qDebug() << "Checking Health of all cameras done without error!";
}

bool HealthMonitor::checkCamera(DWORD serial, vyk::AnyCamera& camera)
{
    try {
        const vyk::CameraHealth health = camera.getHealth();
        if (health.result != 0) {
            qCritical() << "Checking Health of camera: " << serial << " failed!";
            throw vyk::CameraException(static_cast<uint32_t>(health.result));
        }
        qDebug() << "Checking Health of camera: " << serial << " successful -> Checking CameraWarnings:"
                 << health.warnings << "and CameraErrors:" << health.errors;
        if (health.warnings != 0)
            reportWarning(health.warnings);
        if (health.errors != 0) {
            const QString text = errorText(health.errors);
            qCritical().noquote() << text;
            qDebug() << "Camera: " << serial << " had an error -> Leaving with errorsignal";
            status_->error(text);
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Camera Error"),
                            text + QStringLiteral("\nCamera will be removed!\nCheck camera!\nIf you want to try again, restart camera and press rescan!"),
                            QMessageBox::Ok, boxParent_);
            box.exec();
            emit cameraFailed(serial, false);
            return false;
        }
    } catch (const std::exception& e) {
        qCritical() << "Error during checking camera health was: " << e.what() << " Serial: " << serial;
        status_->error(QStringLiteral("Error during checking camera health!"));
        emit cameraFailed(serial, true);
    }
    return true;
}

void HealthMonitor::reportWarning(uint32_t warnings)
{
    const QString text = warningText(warnings);
    qWarning().noquote() << text;
    status_->warn(text);
    if (ignoreWarnings_)
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Camera Warning"),
                    text + QStringLiteral("\nPress Ignore to suppress warnings until next record!\nDo so on your own risk!"),
                    QMessageBox::NoButton, boxParent_);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* ignore = box.addButton(QStringLiteral("Ignore"), QMessageBox::DestructiveRole);
    box.exec();
    if (box.clickedButton() == ignore)
        ignoreWarnings_ = true;
}
