#include "MainWindowFixture.h"

#include "CameraScanner.h"
#include "Logging.h"
#include "MainWindow.h"

#include "camera/UdpSocket.h"

#include "kv2_cam.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

ModalAnswerer::ModalAnswerer()
{
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start(10);
}

void ModalAnswerer::on(const QString& title, Handler handler)
{
    for (auto& entry : handlers_) {
        if (entry.first == title) {
            entry.second = std::move(handler);
            return;
        }
    }
    handlers_.emplace_back(title, std::move(handler));
}

void ModalAnswerer::click(const QString& title, const QString& button)
{
    on(title, [button](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text().remove(QLatin1Char('&')) == button) {
                candidate->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << button.toStdString();
        box->reject();
    });
}

void ModalAnswerer::poll()
{
    QWidget* dialog = QApplication::activeModalWidget();
    // A dialog being closed may stay active for a moment; a new one may reuse its address.
    if (!dialog || !dialog->isVisible() || dialog->property("answeredByTest").toBool())
        return;
    dialog->setProperty("answeredByTest", true);
    const QString title = dialog->windowTitle();
    seen_ << title;
    for (auto& entry : handlers_) {
        if (entry.first == title) {
            entry.second(dialog);
            return;
        }
    }
    if (auto* asDialog = qobject_cast<QDialog*>(dialog))
        asDialog->reject();
    else
        dialog->close();
}

DiscoveryResponder::DiscoveryResponder(uint16_t port, std::vector<vyk::DeviceEntry> entries)
    : entries_(std::move(entries))
    , thread_([this, port] { run(port); })
{
    while (!ready_.load())
        std::this_thread::yield();
}

DiscoveryResponder::~DiscoveryResponder()
{
    stop_.store(true);
    thread_.join();
}

void DiscoveryResponder::run(uint16_t port)
{
    vyk::UdpSocket socket;
    socket.enableAddressReuse();
    socket.bind("0.0.0.0", port);
    socket.setReceiveTimeout(20);
    ready_.store(true);
    nlohmann::json answer = nlohmann::json::array();
    for (const vyk::DeviceEntry& entry : entries_)
        answer.push_back(entry);
    while (!stop_.load()) {
        vyk::UdpSocket::Peer peer;
        const auto datagram = socket.receive(2048, &peer);
        if (!datagram)
            continue;
        const auto request = nlohmann::json::parse(*datagram, nullptr, false);
        if (request.is_object() && request.value("action", "") == "discover" && request.value("type", "") == "camera") {
            ++requests_;
            socket.sendTo(peer.ip, peer.port, answer.dump());
        }
    }
}

nlohmann::json MainWindowTest::camera(uint32_t serial, const nlohmann::json& extra)
{
    nlohmann::json camera = {{"serial", serial},
                             {"name", "Test camera " + std::to_string(serial)},
                             {"sensor", {{"width", 64}, {"height", 48}}}};
    camera.update(extra);
    return camera;
}

void MainWindowTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    // The light-source discovery broadcasts; it stays on loopback however the tests are run.
    setenv("RASTEL_DISCOVERY_ADDRESS", "127.255.255.255", 0);
    qputenv("ALLUSERSPROFILE", dir_.path().toUtf8());
    previousSettingsPath_ = settingsFilePath;
    settingsFilePath = dir_.filePath(QStringLiteral("rastel_setup.ini"));
    log_ = std::make_unique<LogCapture>(4);
    answerer_ = std::make_unique<ModalAnswerer>();
    // A private port per test process: device servers of other tests answer on 50000.
    discoveryPort_ = static_cast<uint16_t>(41000 + getpid() % 20000);
    CameraScanner::setDiscoveryPort(discoveryPort_);
    useCameras(nlohmann::json::array({camera(11), camera(22)}));
}

void MainWindowTest::TearDown()
{
    if (HasFailure()) {
        // The window's own account of what happened, for the failure report.
        const QStringList lines = log_->lines();
        for (int i = std::max(0, lines.size() - 60); i < lines.size(); ++i)
            std::fprintf(stderr, "log: %s\n", lines[i].toUtf8().constData());
    }
    window_.reset();
    answerer_.reset();
    log_.reset();
    settingsFilePath = previousSettingsPath_;
    VYK_CleanupLib();
}

void MainWindowTest::useCameras(const nlohmann::json& cameras)
{
    const QString path = dir_.filePath(QStringLiteral("cameras.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::fromStdString(nlohmann::json{{"cameras", cameras}}.dump()));
    file.close();
    setenv("RASTEL_SIM_CONFIG", path.toUtf8().constData(), 1);
    VYK_ResetLib();
    ASSERT_EQ(VYK_InitializeLib(), 0);
}

void MainWindowTest::setSetting(const QString& key, const QVariant& value)
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    settings.setValue(key, value);
}

QVariant MainWindowTest::setting(const QString& key) const
{
    QSettings settings(settingsFilePath, QSettings::IniFormat);
    return settings.value(key);
}

MainWindow& MainWindowTest::makeWindow(bool show)
{
    window_ = std::make_unique<MainWindow>();
    if (show)
        window_->show();
    return *window_;
}

bool MainWindowTest::logged(const QString& text) const
{
    return loggedCount(text) > 0;
}

int MainWindowTest::loggedCount(const QString& text) const
{
    int count = 0;
    for (const QString& line : log_->lines())
        if (line.contains(text))
            ++count;
    return count;
}
