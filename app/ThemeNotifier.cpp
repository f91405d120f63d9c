#include "ThemeNotifier.h"

#include <QCoreApplication>
#include <QPointer>

ThemeNotifier::ThemeNotifier(QObject* parent)
    : QObject(parent)
{
}

ThemeNotifier* ThemeNotifier::instance()
{
    // Owned by the application object; the guard notices when it died with it.
    static QPointer<ThemeNotifier> notifier;
    if (!notifier)
        notifier = new ThemeNotifier(QCoreApplication::instance());
    return notifier;
}
