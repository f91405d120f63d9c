// The application's main window: dock manager and docks, actions, menus, tool bar and status
// bar, the camera set with its colours, acquisition objects and views, and the wiring
// between the panels. Slots stay short and hand the work to the helpers beside this file.
#pragma once

#include "CameraMap.h"
#include "CommandsContext.h"
#include "LightSourceScanner.h"

#include <qtadvanceddocking/ads_globals.h>

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <map>
#include <memory>

class CameraAcquisition;
class CameraOverview;
class CameraScanner;
class CameraSettingsTree;
class HealthMonitor;
class HistogramWidget;
class LayoutPersistence;
class LogLevelActions;
class LumraControl;
class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QToolBar;
class RecordCommands;
class SaveImageCommands;
class StatusReporter;
class ThemeActions;
class VYKToolbarPopup;
class VideoControl;
class VtkViewWidget;

namespace ads {
class CDockManager;
class CDockWidget;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the whole window; scans for cameras (which may ask the user).
    explicit MainWindow(QWidget* parent = nullptr);
    // Stops the health check, the acquisition threads, releases the cameras and cleans up
    // the device library.
    ~MainWindow() override;

    // ---- read access for tests and automation ----
    const CameraMap& cameras() const { return cameras_; }
    const ColourMap& colours() const { return colours_; }
    const std::map<DWORD, CameraAcquisition*>& acquisitions() const { return acquisitions_; }
    const std::map<DWORD, VtkViewWidget*>& views() const { return views_; }
    ads::CDockManager* dockManager() const { return dockManager_; }
    // The view dock of serial, or null.
    ads::CDockWidget* viewDock(DWORD serial) const;
    QComboBox* cameraSelector() const { return cameraSelector_; }
    QComboBox* perspectiveSelector() const { return perspectiveSelector_; }
    QLabel* activeCameraLabel() const { return activeCameraLabel_; }
    CameraOverview* cameraOverview() const { return overview_; }
    HealthMonitor* healthMonitor() const { return health_; }
    QTimer* healthTimer() const { return healthTimer_; }
    LayoutPersistence* layoutPersistence() const { return layout_; }
    ThemeActions* themeActions() const { return themeActions_; }
    LogLevelActions* logLevelActions() const { return logLevelActions_; }
    VYKToolbarPopup* perspectivePopup() const { return perspectivePopup_; }
    // The single panels; null while no camera (light source) exists.
    CameraSettingsTree* settingsTree() const;
    VideoControl* videoControl() const;
    HistogramWidget* histogram() const;
    LumraControl* lumraControl() const;
    ads::CDockWidget* histogramDock() const { return histogramDock_; }
    ads::CDockWidget* lumraDock() const { return lumraDock_; }
    const LumraMap& lightSources() const { return lumras_; }
    // The command helpers behind "Preview", "Record", "Trigger" and the save actions.
    RecordCommands* recordCommands() const { return recordCommands_; }
    const CommandsContext& commandsContext() const { return commands_; }

signals:
    // A camera has failed; msgBox asks for the "Camera Error!" box.
    void camError(DWORD serial, bool msgBox = true);
    // The selected camera changed (handle empty, colour empty and acquisition null for none).
    void activeCameraChanged(std::shared_ptr<vyk::AnyCamera> newCam, QString newColor,
                             CameraAcquisition* newAcuisitionInstance);
    // A recording or preview was started on a camera.
    void recordingInProgress(DWORD serial);

public slots:
    // Connected to each log-level action; the sender says which level was chosen.
    void onLogLevelChanged();

private slots:
    void onStyleChanged();
    void onCameraSetup();
    void onScanCameraPressed();
    void onCameraChanged(int index);
    void onCameraColorChanged(DWORD serialNo, QString color);
    void onCameraHealthTimeout();
    void onCameraError(DWORD serial, bool msgBox = true);
    void onRecordingDone(DWORD serialNo);
    void onPreviewButtonPressed(bool checked);
    void onSequenceButtonPressed(bool checked);
    void onSoftTriggerButtonPressed();
    void onRecordingInProgress();
    void onPlaybackStateChanged(DWORD serial, bool running);
    void onDataformatChanged(DWORD serial, QString format);
    // Passes every camera's pixel depth to the histogram; camera errors propagate.
    void updateCameraBitness();
    void onSaveAllImagesClicked();
    void onSaveOneImageClicked(bool saveAs);
    void showAboutDialog();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Construction steps.
    void createDockManager();
    void createStatusBar();
    void assignColours();
    void createacquisitionInstances();
    void createActions();
    void createMenus();
    void createToolBar();
    void connectGlobalSignals();
    // The camera selector's current-index-changed to onCameraChanged (once).
    void connectCameraSelector();
    // The connections of one camera's view and acquisition object to the panels.
    void connectCamera(DWORD serial, CameraAcquisition* acquisition);
    // The command helpers and what they work on.
    void createCommands();
    // Starts the histogram threads when its dock is open and cameras exist.
    void startHistogramIfOpen();

    // Panels and their docks. Each dock is made once; the panel in it is rebuilt on every
    // rescan. The panels of the histogram, the settings tree, the playback control and the
    // light-source control are plugged into their functions by their own components.
    void createHistogramWidget();
    void createVTKWidgets();
    void createCamSetWidget();
    void createCameraOverviewWidget();
    void createLumraWidget();
    void createVideoCtrlWidget();

    // Camera set changes.
    void deleteAcquisitions();
    // Deletes acquisition (stopping its worker) after cutting it off from every receiver.
    void deleteAcquisition(CameraAcquisition* acquisition);
    void deleteViewDock(DWORD serial);
    void rebuildCameraSelector();
    void updateActiveCameraLabel();
    void recolourPanelDockIcons(const QString& colour);
    void resetCommandButtons(bool enabled);
    bool anyCameraRecording();
    void removePanelDock(ads::CDockWidget* dock);
    // Puts a panel dock that the last camera's removal took out back into area.
    void redock(ads::CDockWidget* dock, ads::DockWidgetArea area);
    QString colourOf(DWORD serial) const;
    // Selects the camera of selector entry index; camera errors propagate.
    void switchToCamera(int index);
    // The image view of serial in dock, showing the camera's current region of interest.
    // Camera errors propagate.
    VtkViewWidget* createView(DWORD serial, vyk::AnyCamera& camera, ads::CDockWidget* dock);
    // Camera serial to camera name, for the light-source control's selector.
    std::map<DWORD, QString> cameraNames() const;
    // Deletes the light-source dock with its panel (stopping its health thread first).
    void deleteLumraDock();

    // Owned through Qt parentage unless said otherwise.
    ads::CDockManager* dockManager_ = nullptr;
    StatusReporter* status_ = nullptr;          // owned (deleted by the destructor)
    QLabel* activeCameraLabel_ = nullptr;
    CameraScanner* scanner_ = nullptr;          // owned (deleted by the destructor)
    HealthMonitor* health_ = nullptr;
    QTimer* healthTimer_ = nullptr;
    ThemeActions* themeActions_ = nullptr;
    LogLevelActions* logLevelActions_ = nullptr;
    LayoutPersistence* layout_ = nullptr;

    CameraMap cameras_;                                   // serial to camera handle
    ColourMap colours_;                                   // serial to colour name
    std::map<DWORD, CameraAcquisition*> acquisitions_;    // serial to acquisition (children)
    std::map<DWORD, VtkViewWidget*> views_;               // serial to image view (in its dock)
    std::map<DWORD, ads::CDockWidget*> viewDocks_;        // serial to the dock holding the view

    ads::CDockWidget* histogramDock_ = nullptr;
    ads::CDockWidget* camSetDock_ = nullptr;
    ads::CDockWidget* overviewDock_ = nullptr;
    ads::CDockWidget* lumraDock_ = nullptr;
    ads::CDockWidget* videoCtrlDock_ = nullptr;
    CameraOverview* overview_ = nullptr;                  // null while no camera exists
    QPointer<HistogramWidget> histogram_;                 // in histogramDock_; null while no camera exists
    QPointer<CameraSettingsTree> camSetTree_;             // in camSetDock_; null while no camera exists
    QPointer<VideoControl> videoControl_;                 // in videoCtrlDock_; null while no camera exists
    QPointer<LumraControl> lumraControl_;                 // in lumraDock_; null while no light source exists
    LightSourceScanner* lightSourceScanner_ = nullptr;    // owned (deleted by the destructor)
    LumraMap lumras_;                                     // light-source serial to handle

    CommandsContext commands_;                            // what the command helpers work on
    RecordCommands* recordCommands_ = nullptr;            // child
    SaveImageCommands* saveCommands_ = nullptr;           // child

    QAction* saveAllAction_ = nullptr;
    QAction* saveLatestAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;
    QAction* scanAction_ = nullptr;
    QAction* previewAction_ = nullptr;
    QAction* recordAction_ = nullptr;
    QAction* triggerAction_ = nullptr;
    QAction* setupAction_ = nullptr;

    QToolBar* topToolBar_ = nullptr;
    QComboBox* cameraSelector_ = nullptr;
    QComboBox* perspectiveSelector_ = nullptr;
    VYKToolbarPopup* perspectivePopup_ = nullptr;
};
