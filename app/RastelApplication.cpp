#include "RastelApplication.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <exception>

RastelApplication::RastelApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool RastelApplication::notify(QObject* receiver, QEvent* event)
{
    QString what;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        what = QString::fromUtf8(e.what());
    } catch (...) {
        what = QStringLiteral("unknown exception");
    }
    qCritical().noquote() << QStringLiteral("Unexpected error while handling an event: ") + what;
    emit unhandledException(what);
    showLater(what);
    return false;
}

void RastelApplication::showLater(const QString& what)
{
    // Not inside notify: a modal loop there would run while the failed handler's objects
    // may be half updated. One box at a time, so a failure repeating on every event does
    // not stack boxes.
    if (boxShown_)
        return;
    boxShown_ = true;
    QTimer::singleShot(0, this, [this, what] {
        QMessageBox::warning(activeWindow(), QStringLiteral("Unexpected error"),
                             QStringLiteral("An operation failed unexpectedly:\n%1").arg(what));
        boxShown_ = false;
    });
}
