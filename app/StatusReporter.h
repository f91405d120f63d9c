// Messages in the main window's status bar: plain ones for 3000 ms, health reports in
// amber or red until replaced.
#pragma once

#include <QPointer>
#include <QStatusBar>
#include <QString>

class StatusReporter {
public:
    // Amber text for health warnings.
    static constexpr const char* kWarningStyle = "QStatusBar { color:#F9A825; }";
    // Red text for health errors.
    static constexpr const char* kErrorStyle = "QStatusBar { color:#E53935; }";

    explicit StatusReporter(QStatusBar* statusBar);

    // Clears the health colour and shows text for timeoutMs (0 = until replaced).
    void show(const QString& text, int timeoutMs = 3000);
    // Shows text in amber until replaced.
    void warn(const QString& text);
    // Shows text in red until replaced.
    void error(const QString& text);
    // Clears the health colour without showing anything.
    void clearStyle();

private:
    QPointer<QStatusBar> statusBar_; // owned by the window
};
