// The application's main window: dock manager and docks, actions, menus, tool bar and status
// bar, the camera set with its colours, acquisition objects and views, and the wiring
// between the panels. Slots stay short and hand the work to the helpers beside this file.
#pragma once

#include "CameraMap.h"

#include <qtadvanceddocking/ads_globals.h>

#include <QMainWindow>
#include <QString>

#include <map>
#include <memory>

class CameraAcquisition;
class CameraOverview;
class CameraScanner;
class HealthMonitor;
class LayoutPersistence;
class LogLevelActions;
class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QToolBar;
class StatusReporter;
class ThemeActions;
class VYKToolbarPopup;
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
    // An empty panel standing in a dock until its component supplies the real one.
    static QWidget* placeholderPanel(const QString& name);

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
