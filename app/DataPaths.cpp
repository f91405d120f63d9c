#include "DataPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace DataPaths {

QString dataDirectory()
{
    const QByteArray profile = qgetenv("ALLUSERSPROFILE");
    QString base;
    if (!profile.isEmpty()) {
        base = QDir::fromNativeSeparators(QString::fromLocal8Bit(profile));
    } else {
        // No all-users profile on this system: fall back to the XDG data home.
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    }
    while (base.endsWith(QLatin1Char('/')) && base.size() > 1)
        base.chop(1);
    return base + QStringLiteral("/vyk/");
}

QString startTimeStamp(const QDateTime& time)
{
    return time.toString(QStringLiteral("dd_MM_yyyy_hh_mm"));
}

QString settingsFilePathIn(const QString& dataDirectory)
{
    return dataDirectory + QStringLiteral("rastel_setup.ini");
}

QString logFilePathIn(const QString& dataDirectory, const QString& stamp)
{
    return dataDirectory + QStringLiteral("rastel_") + stamp + QStringLiteral(".log");
}

void createDirectory(const QString& path)
{
    QDir().mkpath(path);
}

} // namespace DataPaths
