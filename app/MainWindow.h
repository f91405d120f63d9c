// The application's main window.
#pragma once

#include <QMainWindow>

class LogLevelActions;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The "&Log Level" actions (for tests and the menu bar).
    LogLevelActions* logLevelActions() const { return logLevelActions_; }

public slots:
    // Connected to each log-level action; the sender says which level was chosen.
    void onLogLevelChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    LogLevelActions* logLevelActions_ = nullptr; // child object
};
