// Process-wide announcer of theme switches, so views can follow the brightness mode.
#pragma once

#include <QObject>
#include <QString>

class ThemeNotifier : public QObject {
    Q_OBJECT
public:
    // The one notifier of the process, created on first use as a child of the application
    // object (and re-created if that object is replaced). GUI thread only.
    static ThemeNotifier* instance();

signals:
    // A style sheet was applied for mode ("Dark", "Bright" or any other text). Image views
    // connect their applyTheme slot to it.
    void themeChanged(const QString& mode);

private:
    explicit ThemeNotifier(QObject* parent);
};
