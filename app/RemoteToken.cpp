#include "RemoteToken.h"

#include "Logging.h"

#include "camera/RemoteAccess.h"

#include <QSettings>

std::string RemoteToken::configured()
{
    const std::string fromEnvironment = vyk::tokenFromEnvironment();
    if (!fromEnvironment.empty())
        return fromEnvironment;
    return stored().toStdString();
}

QString RemoteToken::stored()
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    return settings.value(kSettingsKey).toString();
}

void RemoteToken::store(const QString& token)
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    if (token.isEmpty())
        settings.remove(kSettingsKey);
    else
        settings.setValue(kSettingsKey, token);
}
