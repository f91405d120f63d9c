// The dock panel in which the user reads and edits the settings of the selected camera.
// Every edit goes to the camera at once; the handlers live in SettingsEditHandlers.cpp.
#pragma once

#include "acquisition/Dword.h"
#include "camera/AnyCamera.h"

#include <QMap>
#include <QString>
#include <QTreeWidget>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FilePathWidget;
class QCheckBox;
class QLabel;
class QTimer;
class UnitTreeDoubleSpinbox;
class VYKTreeComboBox;
class VYKTreeDoubleSpinBox;
class VYKTreePushButton;
class VYKTreeSpinBox;

// Two-column tree ("Property", "Value") of one camera's settings. Keeps, per camera serial,
// a map of the values the rest of the application reads (settingValue). GUI thread only;
// camera calls are synchronous.
class CameraSettingsTree : public QTreeWidget {
    Q_OBJECT
public:
    // What the camera-RAM dialog returns: the edited percentages, the 0-based active segment
    // and whether the user accepted.
    struct CamRamEdit {
        std::vector<uint32_t> percentages;
        int activeIndex = -1;
        bool accepted = false;
    };
    // What the DXR storage dialog returns: the edited segments, the segment to switch to
    // (0 = none chosen) and whether the user accepted.
    struct DxrEdit {
        std::vector<vyk::RamAllocation> segments;
        uint16_t activateSegment = 0;
        bool accepted = false;
    };
    // Runs the camera-RAM dialog modally: (parent, camera, percentages, active index).
    using CamRamDialog = std::function<CamRamEdit(QWidget*, std::shared_ptr<vyk::AnyCamera>,
                                                  const std::vector<uint32_t>&, int)>;
    // Runs the DXR storage dialog modally: (parent, camera, segments, active segment).
    using DxrDialog = std::function<DxrEdit(QWidget*, std::shared_ptr<vyk::AnyCamera>,
                                            const std::vector<vyk::RamAllocation>&,
                                            const vyk::RamAllocation&)>;

    // Builds every row and, when camera is set, reads and shows it. Without a camera all
    // camera editors stay disabled until onCameraChanged gives one.
    explicit CameraSettingsTree(QWidget* parent = nullptr,
                                std::shared_ptr<vyk::AnyCamera> camera = {});
    ~CameraSettingsTree() override;

    // The current camera's setting key, or fallback when the map has none.
    QVariant settingValue(const QString& key, const QVariant& fallback = QVariant()) const;
    // Shows count in Image Count without triggering a handler and stores it in the map.
    void setImageCount(int count);
    // Stores the identification colour of the held camera (only when serial is its serial)
    // and tints the Camera Info labels.
    void setCameraColor(DWORD serial, const QString& colorName);
    // Drops the held camera after a failure of serial (no-op for any other serial).
    void adaptToCameraError(DWORD serial);
    // Stops the auto-exposure read-back timer (called when the main window closes).
    void stopExposurePolling();
    // Installs the dialogs the "CamRam Allocation" / "Storage Allocation" button runs
    // (RamWindow and RamWindowDxr until replaced); a null function leaves that dialog unavailable.
    void setRamDialogs(CamRamDialog camRamDialog, DxrDialog dxrDialog);

signals:
    // The user switched the Data Format selector; newFormat is "Mono" or "Color".
    void newDataFormat(DWORD serial, QString newFormat);
    // A Convert value was written to the camera.
    void convertParamsChanged(DWORD serial);
    // The RAM dialog changed the allocation or the active segment; newFormat is the Data Format.
    void camRamSegmentChanged(DWORD serial, QString newFormat);

public slots:
    // Stores the old camera's map, reads newCam and shows it with its map (a fresh one the
    // first time). A null newCam drops the held camera.
    void onCameraChanged(std::shared_ptr<vyk::AnyCamera> newCam, QString newColor);
    // A recording runs: only exposure, delay, auto exposure and Convert stay editable.
    void onRecordingInProgress();
    // The recording of serial ended: editors return to their idle state (current camera only).
    void onRecordingDone(DWORD serial);

private slots:
    void onSetDefaultValues();
    void onCamConfigChanged();
    void onRoiChanged();
    void onBinningChanged();
    void onDelayExposureTimeChanged();
    void onAutoExposureChanged();
    void onConvertChanged();
    void onRamButtonClicked();

private:
    // ---- construction (CameraSettingsTree.cpp) ----
    QTreeWidgetItem* addSection(QTreeWidgetItem* parent, const QString& label);
    // Places editor (named label) in the value column of row item.
    template <typename Editor>
    Editor* addRow(QTreeWidgetItem* item, const QString& label, const QString& toolTip, Editor* editor);
    QTreeWidgetItem* newRow(QTreeWidgetItem* parent, const QString& label);
    QLabel* addLabelRow(QTreeWidgetItem* parent, const QString& label);
    UnitTreeDoubleSpinbox* addTimeRow(QTreeWidgetItem* parent, const QString& label,
                                      const QString& toolTip);
    VYKTreeComboBox* addComboRow(QTreeWidgetItem* parent, const QString& label,
                                 const QString& toolTip);
    VYKTreeSpinBox* addSpinRow(QTreeWidgetItem* parent, const QString& label,
                               const QString& toolTip, int minimum, int maximum, int step,
                               int value);
    VYKTreePushButton* addButtonRow(const QString& text, const QString& toolTip);
    void buildRows();
    void buildConvertRows(QTreeWidgetItem* section);
    void connectEditors();

    // ---- reading and showing a camera (CameraSettingsTree.cpp) ----
    void readCamera();
    void adaptToCamera();
    void updateConvertRows();
    void fillConvertEditors();
    void updateMaxFps();
    void updateSettingsMap();
    // Counted: nested blocks unblock only when the outermost one ends.
    void setEditorsSignalsBlocked(bool blocked);
    // Disables every editor but the Convert ones (no camera, camera failed).
    void disableCameraEditors();
    // Enables Exposure Time and Delay Time (Delay only when the camera has a delay range).
    void enableTimeEditors();
    void selectSettingsMap(DWORD serial);
    bool delaySupported() const { return description_.max_delay_time_s > 0; }
    bool isLineSensor() const { return description_.line_sensor_mode == 1; }
    bool isDxr() const { return description_.interface_type == vyk::InterfaceType::CLHS_DXR; }
    bool isCamRamMode() const;
    // Logs prefix + serial + ". Error: " + what and shows a critical box "Error with: <serial>".
    void reportFailure(const QString& logPrefix, const QString& boxText, const std::exception& error);
    QString colored(const QString& text) const;

    // ---- edit handlers (SettingsEditHandlers.cpp) ----
    void switchAutoExposure();
    void switchRecordMode();
    void switchDataFormat();
    void pollExposureTime();
    void applyRecordModeLimits();
    void copyConvertEditors(vyk::ConvertControlBase& control) const;
    template <typename ColorControl>
    void copyColorEditors(ColorControl& control) const;
    void editCamRam();
    void editDxrStorage();
    // The RAM dialogs every tree starts with: RamWindow and RamWindowDxr.
    static CamRamDialog ramWindowDialog();
    static DxrDialog ramWindowDxrDialog();
    // The camera's active DXR segment; alloc_id 0 when it owns none.
    vyk::RamAllocation activeDxrSegment();
    // True while edited is still the held camera (after a modal RAM dialog).
    bool stillHeld(const std::weak_ptr<vyk::AnyCamera>& edited) const;
    // The plug points of the RAM dialogs; false when no dialog is installed.
    std::optional<CamRamEdit> runCamRamDialog(const std::vector<uint32_t>& percentages, int active);
    std::optional<DxrEdit> runDxrDialog(const std::vector<vyk::RamAllocation>& segments,
                                        const vyk::RamAllocation& active);

    std::shared_ptr<vyk::AnyCamera> camera_; // held camera; empty before the first / after an error
    bool cameraRead_ = false;                // description_ and serial_ belong to a camera
    DWORD serial_ = 0;                       // serial of the camera last read
    vyk::Description description_;           // copy read from the camera
    vyk::Configuration configuration_;       // copy read from the camera
    std::optional<vyk::ConvertControl> monoConvert_;   // kind mono (Mono8)
    std::optional<vyk::ConvertControl> colorConvert_;  // kind color (BGR8, colour camera)
    std::optional<vyk::ConvertControl> pseudoConvert_; // kind pseudocolor (BGR8, mono camera)
    std::vector<uint32_t> ramPercentages_;   // camera-RAM segment sizes, percent
    int ramActiveIndex_ = -1;                // 0-based active segment; -1 unknown
    QMap<DWORD, QVariantMap> settingsMaps_;  // stored map per camera serial
    QVariantMap settingsMap_;                // map of the held camera
    QMap<QString, QTreeWidgetItem*> convertRows_; // Convert row per label
    QMap<QString, QWidget*> convertEditors_;      // Convert editor per label
    QList<QWidget*> editors_;                // every editor whose signals get blocked
    int signalBlockDepth_ = 0;               // nesting of setEditorsSignalsBlocked(true)
    bool noiseFilterSupported_ = false;      // the Noisefilter selector offers Off/On
    QTimer* exposurePoll_;                   // child; auto-exposure read-back, 200 ms
    CamRamDialog camRamDialog_;
    DxrDialog dxrDialog_;

    // Editors (children of the tree's viewport).
    QLabel* nameLabel_;
    QLabel* serialLabel_;
    QLabel* maxFpsLabel_;
    UnitTreeDoubleSpinbox* exposureTime_;
    UnitTreeDoubleSpinbox* delayTime_;
    VYKTreeComboBox* pixelRate_;
    VYKTreeComboBox* conversionFactor_;
    VYKTreeComboBox* autoExposure_;
    UnitTreeDoubleSpinbox* aeMinTime_;
    UnitTreeDoubleSpinbox* aeMaxTime_;
    VYKTreeComboBox* aeRegion_;
    VYKTreeSpinBox* roiLeft_;
    VYKTreeSpinBox* roiRight_;
    VYKTreeSpinBox* roiTop_;
    VYKTreeSpinBox* roiBottom_;
    VYKTreeComboBox* binningHorz_;
    VYKTreeComboBox* binningVert_;
    VYKTreeComboBox* binningMode_;
    VYKTreeComboBox* timestamp_;
    VYKTreeComboBox* noiseFilter_;
    VYKTreeComboBox* triggerMode_;
    VYKTreeComboBox* recordMode_;
    VYKTreeComboBox* dataFormat_;
    VYKTreeSpinBox* imageCount_;
    QCheckBox* sharpen_;
    QCheckBox* adaptiveSharpen_;
    QCheckBox* flip_;
    QCheckBox* autoMinMax_;
    VYKTreeSpinBox* convertMin_;
    VYKTreeSpinBox* convertMax_;
    VYKTreeDoubleSpinBox* gamma_;
    VYKTreeSpinBox* contrast_;
    VYKTreeSpinBox* temperature_;
    VYKTreeSpinBox* saturation_;
    VYKTreeSpinBox* vibrance_;
    VYKTreeSpinBox* tint_;
    FilePathWidget* lutFile_;
    VYKTreePushButton* ramButton_;
    VYKTreePushButton* resetButton_;
};
