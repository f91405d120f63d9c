#include "lightsource/panel/LumraControl.h"

#include "lightsource/panel/LumraChannelWidget.h"
#include "lightsource/panel/LumraLightSourceWidget.h"
#include "widgets/VYKTreeComboBox.h"

#include <QCheckBox>
#include <QDebug>
#include <QHeaderView>
#include <QMessageBox>
#include <QSignalBlocker>

#include <exception>
#include <system_error>

const QString LumraControl::kManual = QStringLiteral("Manual");

namespace {

constexpr int kIndentation = 24;
constexpr int kFirstColumnWidth = 150;
// Status bits of "GetUnitStatus" that mean the unit is in trouble.
constexpr unsigned kStatusErrorBits = 0x1801;

QString channelTitle(int index, uint32_t exclusivity)
{
    if (exclusivity != 0)
        return QStringLiteral("Channel %1 (W%2)").arg(index + 1).arg(exclusivity);
    return QStringLiteral("Channel %1").arg(index + 1);
}

}  // namespace

LumraControl::LumraControl(const LumraMap& lumras, const CameraNames& cameras, QWidget* parent, Options options)
    : QTreeWidget(parent)
    , options_(std::move(options))
    , cameras_(cameras)
{
    qRegisterMetaType<DWORD>("DWORD"); // serials in queued signals
    qRegisterMetaType<std::shared_ptr<lsx::AnyLumra>>("std::shared_ptr<lsx::AnyLumra>");
    setIndentation(kIndentation);
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    setAlternatingRowColors(true);
    header()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setStyleSheet(QStringLiteral(" border: transparent;"));
    setHeaderHidden(false);

    for (const auto& [serial, lumra] : lumras) {
        if (!lumra)
            continue;
        try {
            lumra->defaultConfiguration();
            lumra->switchOn();
            const QString name = QString::fromStdString(lumra->getDescription().name);
            entries_[serial] = Entry{name, lumra->isRemote()};
        } catch (const std::exception& error) {
            // A light source that cannot even be initialised would fail at once in the panel.
            qCritical().noquote() << QStringLiteral("Error initialising lightsource, leaving it out. Lumra: ")
                    + QString::number(serial) + QStringLiteral(" Error: ") + QString::fromUtf8(error.what());
            continue;
        }
        {
            const std::lock_guard<std::mutex> lock(lumrasMutex_);
            lumras_[serial] = lumra;
        }
        controlModes_[serial] = kManual;
        qDebug().noquote() << QStringLiteral("Added lightsource entry for Lumra: ") + QString::number(serial);
    }

    buildRows();
    setColumnWidth(0, kFirstColumnWidth);
    onLumraSourceSwitched(lightSourceWidget_->currentSerial());
    expandAll();
    // Queued even on the GUI thread: a failing slot must finish before the panel is rebuilt
    // under it (the rebuild deletes the channel editor that may have reported the failure).
    connect(this, &LumraControl::lumraError, this, &LumraControl::onLumraError, Qt::QueuedConnection);

    healthRunning_ = true;
    healthThread_ = std::thread([this] { healthLoop(); });
}

LumraControl::~LumraControl()
{
    stopHealthThread();
}

void LumraControl::buildRows()
{
    auto* sourceRow = new QTreeWidgetItem(this, {QStringLiteral("Light Source")});
    lightSourceWidget_ = new LumraLightSourceWidget(sourceRow, this);
    setItemWidget(sourceRow, 1, lightSourceWidget_);
    fillLightSourceSelector();
    connect(lightSourceWidget_, &LumraLightSourceWidget::lightSourceChanged, this,
            &LumraControl::onLumraSourceSwitched);

    auto* modeRow = new QTreeWidgetItem(this, {QStringLiteral("Control Mode")});
    const QString modeTip = QStringLiteral("Set controlling camera for Lumra");
    modeRow->setToolTip(0, modeTip);
    modeRow->setToolTip(1, modeTip);
    controlModeBox_ = new VYKTreeComboBox(modeRow, this);
    controlModeBox_->setToolTip(modeTip);
    setItemWidget(modeRow, 1, controlModeBox_);
    fillControlModeBox();
    connect(controlModeBox_, &QComboBox::currentTextChanged, this, &LumraControl::onControlModeChanged);

    channelsRow_ = new QTreeWidgetItem(this, {QStringLiteral("Channels")});
    channelsRow_->setFirstColumnSpanned(true);
}

void LumraControl::fillLightSourceSelector()
{
    QStringList names;
    QList<unsigned> serials;
    QList<QIcon> icons;
    for (const auto& [serial, entry] : entries_) {
        names << entry.name;
        serials << serial;
        icons << (options_.iconLoader ? options_.iconLoader(entry.remote ? QStringLiteral("wifi")
                                                                          : QStringLiteral("computer"))
                                      : QIcon());
    }
    lightSourceWidget_->setLightSources(names, serials, icons);
}

void LumraControl::fillControlModeBox()
{
    const QSignalBlocker blocker(controlModeBox_);
    controlModeBox_->clear();
    controlModeBox_->addItem(kManual);
    for (const auto& [serial, name] : cameras_)
        controlModeBox_->addItem(name, serial);
    DWORD shown = 0;
    if (currentHandle(&shown))
        controlModeBox_->setCurrentText(controlModes_[shown]);
}

void LumraControl::setCameras(const CameraNames& cameras)
{
    cameras_ = cameras;
    for (auto& [serial, mode] : controlModes_) {
        if (mode == kManual)
            continue;
        bool present = false;
        for (const auto& camera : cameras_)
            present = present || camera.second == mode;
        if (present)
            continue;
        // Its camera is gone: nothing would ever switch it on again.
        qInfo().noquote() << QStringLiteral("Controlling camera removed, Lumra back to Manual: ")
                + QString::number(serial);
        mode = kManual;
        const std::shared_ptr<lsx::AnyLumra> lumra = handle(serial);
        try {
            if (lumra)
                lumra->switchOn();
        } catch (const std::exception& error) {
            reportFailure(QStringLiteral("Error turning on lightsource. Error: "), error, lumra);
        }
    }
    fillControlModeBox();
}

void LumraControl::stopHealthThread()
{
    {
        const std::lock_guard<std::mutex> lock(wakeMutex_);
        healthRunning_ = false;
    }
    wake_.notify_all();
    if (!healthThread_.joinable())
        return;
    if (healthThread_.get_id() == std::this_thread::get_id())
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    healthThread_.join();
    qDebug() << "Joined Lumra health thread";
}

std::vector<DWORD> LumraControl::lightSourceSerials() const
{
    const std::lock_guard<std::mutex> lock(lumrasMutex_);
    std::vector<DWORD> serials;
    for (const auto& entry : lumras_)
        serials.push_back(entry.first);
    return serials;
}

QString LumraControl::controlMode(DWORD serial) const
{
    const auto it = controlModes_.find(serial);
    return it == controlModes_.end() ? QString() : it->second;
}

std::shared_ptr<lsx::AnyLumra> LumraControl::handle(DWORD serial) const
{
    const std::lock_guard<std::mutex> lock(lumrasMutex_);
    const auto it = lumras_.find(serial);
    return it == lumras_.end() ? nullptr : it->second;
}

std::shared_ptr<lsx::AnyLumra> LumraControl::currentHandle(DWORD* serial) const
{
    if (lightSourceWidget_ == nullptr)
        return nullptr;
    const QVariant current = lightSourceWidget_->currentSerial();
    if (!current.isValid())
        return nullptr;
    const DWORD key = current.toUInt();
    if (serial != nullptr)
        *serial = key;
    return handle(key);
}

void LumraControl::reportFailure(const QString& what, const std::exception& error,
                                 const std::shared_ptr<lsx::AnyLumra>& lumra)
{
    qCritical().noquote() << what + QString::fromUtf8(error.what());
    emit lumraError(lumra);
}

void LumraControl::clearChannels()
{
    for (LumraChannelWidget* widget : channelWidgets_)
        disconnect(widget, nullptr, this, nullptr);
    channelWidgets_.clear();
    // Deleting a row makes the tree release (delete later) the editor it holds.
    const QList<QTreeWidgetItem*> rows = channelsRow_->takeChildren();
    for (QTreeWidgetItem* row : rows) {
        if (QWidget* editor = itemWidget(row, 1))
            editor->deleteLater();
        delete row;
    }
}

void LumraControl::onLumraSourceSwitched(QVariant serial)
{
    const DWORD key = serial.toUInt();
    qInfo().noquote() << QStringLiteral("Adapting Lumra control to new Lumra: ") + QString::number(key);
    const std::shared_ptr<lsx::AnyLumra> lumra = serial.isValid() ? handle(key) : nullptr;
    clearChannels();
    if (!lumra)
        return;
    try {
        const lsx::LumraDescription description = lumra->getDescription();
        const lsx::LumraConfiguration configuration = lumra->getConfiguration();
        for (size_t i = 0; i < description.wavelengths.size(); ++i) {
            const int index = static_cast<int>(i);
            const uint32_t group = i < description.exclusivity.size() ? description.exclusivity[i] : 0;
            auto* row = new QTreeWidgetItem(channelsRow_, {channelTitle(index, group)});
            auto* widget = new LumraChannelWidget(static_cast<int>(configuration.intensities.at(i) / 10),
                                                  configuration.on_states.at(i), index,
                                                  description.wavelengths[i], row, this);
            setItemWidget(row, 1, widget);
            connect(widget, &LumraChannelWidget::propertyChanged, this, &LumraControl::onLumraChannelChanged);
            channelWidgets_.append(widget);
        }
        channelsRow_->setExpanded(true);
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error changing lightsource setting. Error: "), error, lumra);
    }
    const QSignalBlocker blocker(controlModeBox_);
    controlModeBox_->setCurrentText(controlModes_[key]);
}

void LumraControl::onLumraChannelChanged(int idx)
{
    const std::shared_ptr<lsx::AnyLumra> lumra = currentHandle();
    if (!lumra || idx < 0 || idx >= channelWidgets_.size())
        return;
    try {
        lsx::LumraConfiguration configuration = lumra->getConfiguration();
        const lsx::LumraDescription description = lumra->getDescription();
        LumraChannelWidget* changed = channelWidgets_.at(idx);
        const size_t index = static_cast<size_t>(idx);
        if (changed->isOn() && description.exclusivity.at(index) != 0) {
            for (size_t other = 0; other < configuration.on_states.size(); ++other) {
                if (other == index || !configuration.on_states[other] || description.exclusivity.at(other) == 0)
                    continue;
                configuration.on_states[other] = false;
                if (static_cast<int>(other) < channelWidgets_.size())
                    channelWidgets_.at(static_cast<int>(other))->setOnSilently(false);
            }
        }
        configuration.intensities.at(index) = static_cast<uint32_t>(changed->intensityPercent() * 10);
        configuration.on_states.at(index) = changed->isOn();
        lumra->setConfiguration(configuration);
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error changing lightsource setting. Error: "), error, lumra);
    }
}

void LumraControl::onControlModeChanged(QString newControlCamera)
{
    DWORD serial = 0;
    const std::shared_ptr<lsx::AnyLumra> lumra = currentHandle(&serial);
    if (!lumra)
        return;
    controlModes_[serial] = newControlCamera;
    try {
        if (newControlCamera == kManual)
            lumra->switchOn();
        else
            lumra->switchOff(); // waits for the camera's recording
    } catch (const std::exception& error) {
        reportFailure(QStringLiteral("Error changing lightsource setting. Error: "), error, lumra);
    }
}

void LumraControl::onRecordingInProgress(DWORD serial)
{
    switchFollowers(serial, true);
}

void LumraControl::onRecordingDone(DWORD serial)
{
    switchFollowers(serial, false);
}

void LumraControl::switchFollowers(DWORD cameraSerial, bool on)
{
    const auto camera = cameras_.find(cameraSerial);
    if (camera == cameras_.end())
        return;
    for (const auto& [serial, mode] : controlModes_) {
        if (mode != camera->second)
            continue;
        const std::shared_ptr<lsx::AnyLumra> lumra = handle(serial);
        if (!lumra)
            continue;
        try {
            if (on)
                lumra->switchOn();
            else
                lumra->switchOff();
        } catch (const std::exception& error) {
            reportFailure(on ? QStringLiteral("Error turning on lightsource. Error: ")
                             : QStringLiteral("Error turning off lightsource. Error: "),
                          error, lumra);
        }
    }
}

void LumraControl::onLumraError(std::shared_ptr<lsx::AnyLumra> curLight)
{
    DWORD serial = 0;
    bool known = false;
    {
        const std::lock_guard<std::mutex> lock(lumrasMutex_);
        for (const auto& [key, lumra] : lumras_) {
            if (lumra == curLight) {
                serial = key;
                known = true;
            }
        }
    }
    if (!known) {
        // Reported again (health round and GUI call, or two rounds) before its removal.
        qDebug() << "Lumra error of a light source already removed ignored";
        return;
    }
    qInfo().noquote() << QStringLiteral("Processing error in Lumra: ") + QString::number(serial)
            + QStringLiteral(" ...");
    for (LumraChannelWidget* widget : channelWidgets_)
        disconnect(widget, &LumraChannelWidget::propertyChanged, this, &LumraControl::onLumraChannelChanged);
    std::this_thread::sleep_for(options_.errorSettleTime);

    {
        const std::lock_guard<std::mutex> lock(lumrasMutex_);
        lumras_.erase(serial);
    }
    controlModes_.erase(serial);
    entries_.erase(serial);

    QStringList remaining;
    for (const auto& entry : entries_)
        remaining << entry.second.name;
    qInfo().noquote() << QStringLiteral("Rebuilding Lumra GUI with remaining lightsources: ")
            + remaining.join(QStringLiteral(", "));

    disconnect(lightSourceWidget_, &LumraLightSourceWidget::lightSourceChanged, this,
               &LumraControl::onLumraSourceSwitched);
    fillLightSourceSelector();
    connect(lightSourceWidget_, &LumraLightSourceWidget::lightSourceChanged, this,
            &LumraControl::onLumraSourceSwitched);
    if (!entries_.empty())
        onLumraSourceSwitched(lightSourceWidget_->currentSerial());
    else
        clearChannels();

    QMessageBox::critical(this, QStringLiteral("Lumra Error"),
                          QStringLiteral("Error in Lumra! \nLumra removed from LumraControl \nReconnect Lumra and press rescan"),
                          QMessageBox::Ok);
    qInfo() << "Processing error in Lumra done!";
}

bool LumraControl::statusIndicatesError(const std::string& answer)
{
    const std::size_t comma = answer.rfind(',');
    const std::string last = comma == std::string::npos ? answer : answer.substr(comma + 1);
    const int status = std::stoi(last);
    return ((static_cast<unsigned>(status) & 0xFFFFu) & kStatusErrorBits) != 0;
}

void LumraControl::checkHealth(DWORD serial, const std::shared_ptr<lsx::AnyLumra>& lumra)
{
    try {
        const std::string answer = lumra->executeCommand("GetUnitStatus", std::string());
        if (!statusIndicatesError(answer))
            return;
        const uint32_t reported = lumra->getDescription().serial;
        qCritical().noquote() << QStringLiteral("Error in Lumra. Lumra: ") + QString::number(reported);
        emit lumraError(lumra);
    } catch (const std::exception& error) {
        qCritical().noquote() << QStringLiteral("Error checking Health of a lightsource, removing it. Lumra: ")
                + QString::number(serial);
        qInfo().noquote() << QStringLiteral("Lumra health check failed: ") + QString::fromUtf8(error.what());
        emit lumraError(lumra);
    }
}

void LumraControl::healthLoop()
{
    while (healthRunning_) {
        LumraMap snapshot;
        {
            const std::lock_guard<std::mutex> lock(lumrasMutex_);
            snapshot = lumras_;
        }
        for (const auto& [serial, lumra] : snapshot) {
            if (!healthRunning_)
                break;
            checkHealth(serial, lumra);
        }
        ++healthRounds_;
        std::unique_lock<std::mutex> lock(wakeMutex_);
        wake_.wait_for(lock, options_.healthPeriod, [this] { return !healthRunning_; });
    }
}
