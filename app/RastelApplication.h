// The application object: a QApplication that survives an exception escaping an event handler.
#pragma once

#include <QApplication>

class RastelApplication : public QApplication {
    Q_OBJECT
public:
    RastelApplication(int& argc, char** argv);

    /// Delivers event like QApplication. An exception that escapes the handler (for example a
    /// malformed answer of a remote device reaching a slot that expects only camera errors)
    /// is logged at critical level and shown to the user instead of ending the program.
    bool notify(QObject* receiver, QEvent* event) override;

signals:
    /// An exception escaped an event handler; what is its text. Emitted after logging it.
    void unhandledException(const QString& what);

private:
    // Shows what in a warning box once the failed event is done with.
    void showLater(const QString& what);

    bool boxShown_ = false; // a box is open: further failures are logged only (GUI thread)
};
