// The "Lumra Control" panel: picks a light source, edits its channels, lets a camera's
// recording switch it, and watches every light source in a health thread.
#pragma once

#include "acquisition/Dword.h"
#include "lightsource/lsx/AnyLumra.h"

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QTreeWidget>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LumraChannelWidget;
class LumraLightSourceWidget;
class VYKTreeComboBox;

Q_DECLARE_METATYPE(std::shared_ptr<lsx::AnyLumra>)

/// What the owner of a LumraControl may tune; the defaults are the application's.
struct LumraControlOptions {
    /// Loads a themed icon by name ("computer" for a local, "wifi" for a remote light source);
    /// none: the selector's entries get no icon.
    std::function<QIcon(const QString& iconName)> iconLoader;
    std::chrono::milliseconds healthPeriod{5000};    ///< pause after each health round
    std::chrono::milliseconds errorSettleTime{1000}; ///< wait before a failed light source is removed
};

/// Panel over a set of light sources, each in a control mode: "Manual" (on, edited by hand)
/// or a camera name (off, switched on while that camera records).
///
/// Threads: the GUI thread runs every slot; the health thread (owned by the panel, started by
/// the constructor, joined by stopHealthThread or the destructor) sends "GetUnitStatus" to
/// every light source each period and reports failures through lumraError, which is always
/// delivered queued to the GUI thread. Handles are used from both threads: a local light
/// source serialises its library calls itself, a remote one its state-changing requests.
class LumraControl : public QTreeWidget {
    Q_OBJECT
public:
    /// Light sources by serial.
    using LumraMap = std::map<DWORD, std::shared_ptr<lsx::AnyLumra>>;
    /// Camera names by camera serial: the entries of the Control Mode selector.
    using CameraNames = std::map<DWORD, QString>;

    /// What the owner may tune; the defaults are the application's.
    using Options = LumraControlOptions;

    /// The control mode of a light source operated by hand.
    static const QString kManual;

    /// Takes every light source of lumras into the panel in default configuration, switched
    /// on, in "Manual" mode (one that fails to initialise is logged and left out), shows the
    /// first and starts the health thread.
    LumraControl(const LumraMap& lumras, const CameraNames& cameras, QWidget* parent = nullptr,
                 Options options = Options());
    /// Stops the health thread.
    ~LumraControl() override;

    /// Replaces the camera names and rebuilds the Control Mode selector. A light source whose
    /// camera is gone returns to "Manual" (and is switched on).
    void setCameras(const CameraNames& cameras);
    /// Ends and joins the health thread (std::system_error when called from it); a second
    /// call does nothing.
    void stopHealthThread();

    /// Serials of the light sources in the panel, ascending.
    std::vector<DWORD> lightSourceSerials() const;
    /// Control mode of a light source; empty when it is not in the panel.
    QString controlMode(DWORD serial) const;
    /// The "Light Source" selector.
    LumraLightSourceWidget* lightSourceWidget() const { return lightSourceWidget_; }
    /// The Control Mode selector.
    VYKTreeComboBox* controlModeBox() const { return controlModeBox_; }
    /// The channel editors of the light source shown, by channel index.
    const QList<LumraChannelWidget*>& channelWidgets() const { return channelWidgets_; }
    /// The "Channels" section row.
    QTreeWidgetItem* channelsRow() const { return channelsRow_; }
    /// Health rounds completed since construction.
    uint64_t healthRounds() const { return healthRounds_.load(); }

    /// Whether a "GetUnitStatus" answer reports a fault: its last comma-separated value, as
    /// a decimal integer, has bit 0, 11 or 12 set in its low 16 bits. Throws
    /// std::invalid_argument / std::out_of_range when that value is not an int.
    static bool statusIndicatesError(const std::string& answer);

signals:
    /// A light source failed; the panel removes it.
    void lumraError(std::shared_ptr<lsx::AnyLumra> curLight);

public slots:
    /// A camera started recording: light sources in its control mode are switched on.
    void onRecordingInProgress(DWORD serial);
    /// A camera stopped recording: light sources in its control mode are switched off.
    void onRecordingDone(DWORD serial);

private slots:
    void onLumraSourceSwitched(QVariant serial);
    void onLumraChannelChanged(int idx);
    void onControlModeChanged(QString newControlCamera);
    void onLumraError(std::shared_ptr<lsx::AnyLumra> curLight);

private:
    /// What the GUI shows of one light source.
    struct Entry {
        QString name;  ///< model name from the description
        bool remote;   ///< reached through a device server
    };

    void buildRows();
    void fillLightSourceSelector();
    void fillControlModeBox();
    void clearChannels();
    std::shared_ptr<lsx::AnyLumra> handle(DWORD serial) const;
    std::shared_ptr<lsx::AnyLumra> currentHandle(DWORD* serial = nullptr) const;
    void reportFailure(const QString& what, const std::exception& error,
                       const std::shared_ptr<lsx::AnyLumra>& lumra);
    void switchFollowers(DWORD cameraSerial, bool on);
    void healthLoop();
    void checkHealth(DWORD serial, const std::shared_ptr<lsx::AnyLumra>& lumra);

    const Options options_;                      ///< tuning, fixed at construction
    mutable std::mutex lumrasMutex_;             ///< guards lumras_ (written by the GUI thread only)
    LumraMap lumras_;                            ///< light sources in the panel (lumrasMutex_)
    std::map<DWORD, QString> controlModes_;      ///< serial -> "Manual" or a camera name (GUI thread)
    std::map<DWORD, Entry> entries_;             ///< serial -> name and kind (GUI thread)
    CameraNames cameras_;                        ///< camera serial -> name (GUI thread)

    LumraLightSourceWidget* lightSourceWidget_ = nullptr; ///< "Light Source" row editor (tree-owned)
    VYKTreeComboBox* controlModeBox_ = nullptr;           ///< "Control Mode" row editor (tree-owned)
    QTreeWidgetItem* channelsRow_ = nullptr;              ///< "Channels" section row (tree-owned)
    QList<LumraChannelWidget*> channelWidgets_;           ///< editors of the shown light source

    std::atomic<bool> healthRunning_{false};     ///< cleared to end the health thread
    std::atomic<uint64_t> healthRounds_{0};      ///< completed health rounds
    std::mutex wakeMutex_;                       ///< pairs with wake_ to cut the health pause short
    std::condition_variable wake_;               ///< notified when healthRunning_ is cleared
    std::thread healthThread_;                   ///< owned; joined by stopHealthThread
};
