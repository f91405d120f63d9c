// Test support for driving a real MainWindow: a temporary data directory with its own
// settings file and log, a simulated camera set, a private discovery port with an optional
// answering device list, and an answerer for every modal box the window shows.
#pragma once

#include "LogCapture.h"

#include "camera/DeviceEntry.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

class MainWindow;
class QWidget;

// Answers modal dialogs as soon as they are the active modal widget. Handlers are looked up
// by window title; a dialog without a handler is recorded and rejected so no test can hang.
class ModalAnswerer : public QObject {
public:
    using Handler = std::function<void(QWidget* dialog)>;

    ModalAnswerer();

    // Every dialog titled title is answered by handler (replacing an earlier one).
    void on(const QString& title, Handler handler);
    // Every QMessageBox titled title is answered by clicking the button with text button.
    void click(const QString& title, const QString& button);
    // Titles of every dialog answered so far, in order.
    const QStringList& seen() const { return seen_; }
    // How many dialogs titled title were answered.
    int count(const QString& title) const { return seen_.count(title); }

private:
    void poll();

    QTimer timer_;
    std::vector<std::pair<QString, Handler>> handlers_;
    QStringList seen_;
};

// Answers discovery requests on a loopback port with a fixed device list.
class DiscoveryResponder {
public:
    DiscoveryResponder(uint16_t port, std::vector<vyk::DeviceEntry> entries);
    ~DiscoveryResponder();
    // Requests answered so far.
    int requests() const { return requests_.load(); }

private:
    void run(uint16_t port);

    std::vector<vyk::DeviceEntry> entries_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::atomic<bool> ready_{false};
    std::thread thread_; // joined by the destructor
};

class MainWindowTest : public ::testing::Test {
public:
    // A small 16-bit mono camera; more keys may be merged in.
    static nlohmann::json camera(uint32_t serial, const nlohmann::json& extra = nlohmann::json::object());

protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the camera set and points the simulated device library at it.
    void useCameras(const nlohmann::json& cameras);
    // Writes key = value into the settings file before the window reads it.
    void setSetting(const QString& key, const QVariant& value);
    QVariant setting(const QString& key) const;
    // Builds the window (scanning happens here) and shows it.
    MainWindow& makeWindow(bool show = true);
    // True when any log line contains text.
    bool logged(const QString& text) const;
    // Number of log lines containing text.
    int loggedCount(const QString& text) const;

    QTemporaryDir dir_;
    std::unique_ptr<LogCapture> log_;
    std::unique_ptr<ModalAnswerer> answerer_;
    std::unique_ptr<MainWindow> window_;
    uint16_t discoveryPort_ = 0;
    QString previousSettingsPath_;
};
