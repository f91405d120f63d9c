#include "GenicamSetting.h"

#include "Logging.h"

#include <QDebug>
#include <QSettings>

namespace {

const char* const kVariable = "RASTEL_GENICAM";

// The process's own RASTEL_GENICAM before apply() first replaced it; guarded by being used
// on the GUI thread only.
struct Original {
    bool saved = false;     // value and set hold the start-up state
    bool set = false;
    QByteArray value;
};

Original& original()
{
    static Original state;
    return state;
}

} // namespace

const char* const GenicamSetting::kKey = "cameraSetup/GenicamCameras";

QString GenicamSetting::stored()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    return settings.value(kKey, QString()).toString().trimmed();
}

void GenicamSetting::store(const QString& list)
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    settings.setValue(kKey, list.trimmed());
    qInfo() << "GenICam cameras set to: " << list.trimmed();
}

void GenicamSetting::apply()
{
    Original& start = original();
    const QString list = stored();
    if (!list.isEmpty()) {
        if (!start.saved) {
            start = {true, qEnvironmentVariableIsSet(kVariable), qgetenv(kVariable)};
        }
        qputenv(kVariable, list.toLocal8Bit());
    } else if (start.saved) {
        // The stored list was cleared: back to what the process started with.
        if (start.set)
            qputenv(kVariable, start.value);
        else
            qunsetenv(kVariable);
        start.saved = false;
    }
    const QByteArray used = qgetenv(kVariable);
    if (!used.isEmpty())
        qInfo() << "GenICam cameras: " << QString::fromLocal8Bit(used);
}
