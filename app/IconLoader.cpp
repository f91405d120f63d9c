#include "IconLoader.h"

#include "Resources.h"

#include <QColor>
#include <QCoreApplication>
#include <QDebug>
#include <QPainter>
#include <QPixmap>

QString iconFolder()
{
    const QString active = qApp ? qApp->property("activeStyleSheet").toString() : QString();
    if (active.contains(QLatin1String("dark"), Qt::CaseInsensitive))
        return QStringLiteral(":/icons/white/");
    return QStringLiteral(":/icons/black/");
}

QIcon loadIcon(const QString& name, const QString& colour)
{
    initRastelResources();
    const QString path = iconFolder() + name + QStringLiteral(".svg");
    const QIcon icon(path);
    if (icon.isNull()) {
        qWarning() << "Icon not found at path: " << path;
        return QIcon();
    }
    if (colour.isEmpty()) {
        qDebug() << "Loaded icon: " << path;
        return icon;
    }
    const QColor tint(colour);
    if (!tint.isValid()) {
        qWarning() << "Invalid color name: " << colour;
        return icon;
    }
    QPixmap pixmap = icon.pixmap(icon.actualSize(QSize(64, 64)), QIcon::Normal, QIcon::Off);
    {
        QPainter painter(&pixmap);
        // SourceIn keeps the glyph's alpha and replaces its colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), tint);
    }
    qDebug() << "Loaded and colorized icon: " << path << " with color: " << tint.name();
    return QIcon(pixmap);
}
