#include "StyleSheet.h"

#include "Resources.h"
#include "ThemeNotifier.h"

#include <QApplication>
#include <QDebug>
#include <QFile>

QString styleSheetResource(const QString& mode)
{
    if (mode == QLatin1String("Dark"))
        return QStringLiteral(":/vyk_style/vyk_style_dark.qss");
    if (mode == QLatin1String("Bright"))
        return QStringLiteral(":/vyk_style/vyk_style_bright.qss");
    return QString();
}

QString styleSheetText(const QString& accentHex, const QString& accentRgb, const QString& mode)
{
    const QString path = styleSheetResource(mode);
    if (path.isEmpty())
        return QString();
    initRastelResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning() << "Style sheet could not be read:" << path;
        return QString();
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("@accent_hex"), accentHex, Qt::CaseSensitive);
    text.replace(QLatin1String("@accent_rgb"), accentRgb, Qt::CaseSensitive);
    return text;
}

void applyStyleSheet(const QString& accentHex, const QString& accentRgb, const QString& mode)
{
    const QString path = styleSheetResource(mode);
    const QString text = styleSheetText(accentHex, accentRgb, mode);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        app->setStyleSheet(text);
        app->setProperty("activeStyleSheet", path);
    }
    emit ThemeNotifier::instance()->themeChanged(mode);
    qDebug() << "Set new Stylesheet successfully";
}
