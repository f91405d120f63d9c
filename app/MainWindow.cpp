#include "MainWindow.h"

#include "AboutBox.h"
#include "CameraOverview.h"
#include "CameraPalette.h"
#include "CameraScanner.h"
#include "CameraSelector.h"
#include "CameraSetup.h"
#include "DockFactory.h"
#include "HealthMonitor.h"
#include "IconLoader.h"
#include "LayoutPersistence.h"
#include "LogLevelActions.h"
#include "PerspectivePopup.h"
#include "StatusReporter.h"
#include "StyleSheet.h"
#include "ThemeActions.h"
#include "ThemeNotifier.h"
#include "VYKToolbarPopup.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "view/VtkViewWidget.h"

#include "kv2_cam.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDebug>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <exception>
#include <vector>

namespace {

constexpr int kHealthIntervalMs = 5000;

QAction* makeAction(const QString& text, const QString& iconName, QObject* parent)
{
    auto* action = new QAction(text, parent);
    action->setObjectName(text);
    if (!iconName.isEmpty())
        action->setIcon(loadIcon(iconName));
    return action;
}

// Sets icon, checked and enabled state of action without announcing the change.
void setCommandState(QAction* action, const QString& iconName, bool checked, bool enabled)
{
    const bool blocked = action->blockSignals(true);
    action->setIcon(loadIcon(iconName));
    action->setChecked(checked);
    action->setEnabled(enabled);
    action->blockSignals(blocked);
}

QString cameraName(vyk::AnyCamera& camera)
{
    return QString::fromStdString(camera.getName());
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    qDebug() << "Setting up Mainwindow";
    createDockManager();
    applyStyleSheet(QStringLiteral("#006698"), QStringLiteral("0, 102, 152"), QStringLiteral("Dark"));
    setWindowTitle(QStringLiteral("Rastel"));
    resize(1280, 800);
    createStatusBar();

    scanner_ = new CameraScanner(this, status_);
    health_ = new HealthMonitor(this, status_, this);
    connect(health_, &HealthMonitor::cameraFailed, this, &MainWindow::camError);
    scanner_->scanCameras(cameras_);
    assignColours();
    AboutBox::showAprilGreeting(QDate::currentDate());

    createacquisitionInstances();
    createActions();
    createMenus();
    createToolBar();
    createHistogramWidget();
    createVTKWidgets();
    createCamSetWidget();
    createCameraOverviewWidget();
    createLumraWidget();
    createVideoCtrlWidget();
    connectGlobalSignals();

    healthTimer_ = new QTimer(this);
    healthTimer_->setInterval(kHealthIntervalMs);
    connect(healthTimer_, &QTimer::timeout, this, &MainWindow::onCameraHealthTimeout, Qt::UniqueConnection);
    healthTimer_->start();
    qDebug() << "Mainwindow instance successfully built";
}

MainWindow::~MainWindow()
{
    qDebug() << "Entered MainWindow destructor";
    if (healthTimer_)
        healthTimer_->stop();
    // The acquisition threads use the cameras: they end before the cameras are released.
    deleteAcquisitions();
    cameras_.clear();
    VYK_CleanupLib();
    delete scanner_;
    delete status_;
}

// ---- construction ----------------------------------------------------------------------

void MainWindow::createDockManager()
{
    // ShowTabTextOnlyForActiveTab has no flag in the docking library in use; all other
    // flags are set as the layout needs them.
    ads::CDockManager::setConfigFlag(ads::CDockManager::AlwaysShowTabs, true);
    ads::CDockManager::setConfigFlag(ads::CDockManager::DockAreaCloseButtonClosesTab, true);
    ads::CDockManager::setConfigFlag(ads::CDockManager::DragPreviewIsDynamic, true);
    ads::CDockManager::setConfigFlag(ads::CDockManager::DragPreviewShowsContentPixmap, false);
    ads::CDockManager::setConfigFlag(ads::CDockManager::DragPreviewHasWindowFrame, false);
    ads::CDockManager::setConfigFlag(ads::CDockManager::DockAreaHasUndockButton, false);
    dockManager_ = new ads::CDockManager(this);
    // Replaces the docking library's own sheet so that the application style sheet governs
    // the docks. A sheet without rules rather than an empty text: clearing the manager's
    // sheet with an empty one leaves Qt's style sheet machinery with a dangling widget once
    // the manager is gone, and the next application style sheet change crashes.
    dockManager_->setStyleSheet(QStringLiteral("/* docks follow the application style sheet */"));
}

void MainWindow::createStatusBar()
{
    status_ = new StatusReporter(statusBar());
    activeCameraLabel_ = new QLabel(QStringLiteral("No active Camera!"), this);
    statusBar()->addPermanentWidget(activeCameraLabel_);
}

void MainWindow::assignColours()
{
    colours_ = CameraPalette::assign(cameras_);
}

void MainWindow::createacquisitionInstances()
{
    for (const auto& [serial, camera] : cameras_) {
        try {
            acquisitions_[serial] = new CameraAcquisition(camera, this);
        } catch (const vyk::CameraException& e) {
            qCritical() << "Could not create the acquisition of camera: " << serial << e.what();
        }
    }
}

void MainWindow::createActions()
{
    saveAllAction_ = makeAction(QStringLiteral("Save all Images"), QStringLiteral("floppy-disk-all"), this);
    saveAllAction_->setEnabled(false);
    saveLatestAction_ = makeAction(QStringLiteral("Save latest Image"), QStringLiteral("floppy-disk-arrow-in"), this);
    saveAsAction_ = makeAction(QStringLiteral("Save current Image as"), QStringLiteral("floppy-disk"), this);
    saveAsAction_->setEnabled(false);

    themeActions_ = new ThemeActions(this);
    connect(themeActions_, &ThemeActions::styleActionTriggered, this, &MainWindow::onStyleChanged);

    scanAction_ = makeAction(QStringLiteral("Scan for Camera"), QStringLiteral("rotate-camera-right"), this);
    connect(scanAction_, &QAction::triggered, this, &MainWindow::onScanCameraPressed);
    previewAction_ = makeAction(QStringLiteral("Preview"), QStringLiteral("play-solid"), this);
    previewAction_->setCheckable(true);
    recordAction_ = makeAction(QStringLiteral("Record"), QStringLiteral("circle"), this);
    recordAction_->setCheckable(true);
    triggerAction_ = makeAction(QStringLiteral("Trigger"), QStringLiteral("one-finger-select-hand-press"), this);
    triggerAction_->setEnabled(false);
    setupAction_ = makeAction(QStringLiteral("Setup"), QString(), this);
    connect(setupAction_, &QAction::triggered, this, &MainWindow::onCameraSetup);

    logLevelActions_ = new LogLevelActions(this);
    for (QAction* action : logLevelActions_->actions())
        connect(action, &QAction::triggered, this, &MainWindow::onLogLevelChanged);
}

void MainWindow::createMenus()
{
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->addActions({saveLatestAction_, saveAsAction_, saveAllAction_});

    QMenu* viewMenu = dockManager_->viewMenu();
    viewMenu->setTitle(QStringLiteral("&View"));
    menuBar()->addMenu(viewMenu);

    menuBar()->addMenu(QStringLiteral("&Camera"))->addAction(setupAction_);
    themeActions_->addAccentActionsTo(menuBar()->addMenu(QStringLiteral("&Theme")));
    logLevelActions_->addTo(menuBar()->addMenu(QStringLiteral("&Log Level")));

    QAction* about = menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("About..."));
    connect(about, &QAction::triggered, this, &MainWindow::showAboutDialog);
}

void MainWindow::createToolBar()
{
    topToolBar_ = addToolBar(QStringLiteral("TopToolBar"));
    topToolBar_->setObjectName(QStringLiteral("TopToolBar"));
    topToolBar_->setMovable(false);
    topToolBar_->addAction(saveLatestAction_);

    auto* spacer = new QWidget(topToolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    spacer->setStyleSheet(QStringLiteral("background-color:transparent;"));
    topToolBar_->addWidget(spacer);

    cameraSelector_ = new QComboBox(topToolBar_);
    cameraSelector_->setMinimumContentsLength(20);
    topToolBar_->addWidget(cameraSelector_);
    topToolBar_->addActions({previewAction_, recordAction_, triggerAction_});
    topToolBar_->addSeparator();
    topToolBar_->addAction(scanAction_);
    topToolBar_->addSeparator();

    perspectiveSelector_ = new QComboBox(this);
    layout_ = new LayoutPersistence(dockManager_, perspectiveSelector_, this, themeActions_, this);
    perspectivePopup_ = createPerspectivePopup(layout_, perspectiveSelector_, topToolBar_);
    topToolBar_->addWidget(perspectivePopup_);

    CameraSelector::fill(cameraSelector_, cameras_, colours_);
    updateActiveCameraLabel();
    qInfo() << "Created toolbar and statusbar";
}

// ---- panels and docks ------------------------------------------------------------------

QWidget* MainWindow::placeholderPanel(const QString& name)
{
    auto* panel = new QWidget;
    panel->setObjectName(name);
    return panel;
}

void MainWindow::createHistogramWidget()
{
    qDebug() << "Entered createHistogramWidget";
    if (!histogramDock_) {
        histogramDock_ = DockFactory::create(QStringLiteral("Histogram"), loadIcon(QStringLiteral("reports-solid")));
        histogramDock_->toggleViewAction()->setIcon(loadIcon(QStringLiteral("reports-solid")));
        dockManager_->addDockWidgetFloating(histogramDock_);
        topToolBar_->insertAction(saveLatestAction_, histogramDock_->toggleViewAction());
        qInfo() << "Created histogramDockWidget";
    } else if (DockFactory::deletePanel(histogramDock_)) {
        qInfo() << "Destroyed histogramwidget";
    }
    if (!cameras_.empty()) {
        // The histogram (one curve per camera) takes this place.
        DockFactory::putPanel(histogramDock_, placeholderPanel(QStringLiteral("histogramPlaceholder")), false);
        qInfo() << "Created histogramwidget";
    }
    qDebug() << "Leave createHistogramWidget";
}

VtkViewWidget* MainWindow::createView(DWORD serial, vyk::AnyCamera& camera, ads::CDockWidget* dock)
{
    const vyk::Description description = camera.getDescription();
    const vyk::Configuration configuration = camera.getConfiguration();
    auto* view = new VtkViewWidget(dock, description.max_height, description.max_width);
    view->addCameraInfo(serial, configuration.roi, description);
    view->createImagePipeline();
    view->addActorsToRenderer();
    // The view follows every later theme switch and starts in the one in force.
    connect(ThemeNotifier::instance(), &ThemeNotifier::themeChanged, view, &VtkViewWidget::applyTheme);
    view->applyTheme(iconFolder().contains(QLatin1String("white")) ? QStringLiteral("Dark") : QStringLiteral("Bright"));
    return view;
}

void MainWindow::createVTKWidgets()
{
    qDebug() << "Entered createVTKWidgets";
    std::vector<DWORD> old;
    for (const auto& entry : viewDocks_)
        old.push_back(entry.first);
    for (DWORD serial : old) {
        deleteViewDock(serial);
        qInfo() << "Deleted vtkViewWidget and vtkDockWidget";
    }

    ads::CDockAreaWidget* previousArea = nullptr;
    for (const auto& [serial, camera] : cameras_) {
        ads::CDockWidget* dock = nullptr;
        try {
            dock = DockFactory::create(cameraName(*camera), loadIcon(QStringLiteral("airplay-solid"), colourOf(serial)),
                                       QStringLiteral("VTK_%1").arg(serial));
            qInfo() << "Created vtkDockWidget";
            VtkViewWidget* view = createView(serial, *camera, dock);
            DockFactory::putPanel(dock, view, false);
            qInfo() << "Created vtk render widget";
            views_[serial] = view;
        } catch (const vyk::CameraException& e) {
            // The dock stays without a view; the health check or the next command removes
            // the camera.
            qCritical() << "Could not create the view of camera: " << serial << e.what();
            if (!dock)
                continue;
        }
        previousArea = previousArea ? dockManager_->addDockWidget(ads::RightDockWidgetArea, dock, previousArea)
                                    : dockManager_->addDockWidget(ads::LeftDockWidgetArea, dock);
        dockManager_->addToggleViewActionToMenu(dock->toggleViewAction(), QStringLiteral("View Windows"),
                                                loadIcon(QStringLiteral("airplay-solid")));
        viewDocks_[serial] = dock;
    }
    qDebug() << "Leave createVTKWidgets";
}

void MainWindow::createCamSetWidget()
{
    qDebug() << "Enter create camerasettings";
    const QString firstColour = cameras_.empty() ? QString() : colourOf(cameras_.begin()->first);
    if (!camSetDock_) {
        camSetDock_ = DockFactory::create(QStringLiteral("Camera Settings"), loadIcon(QStringLiteral("tools"), firstColour));
        dockManager_->addDockWidget(ads::RightDockWidgetArea, camSetDock_);
        dockManager_->addToggleViewActionToMenu(camSetDock_->toggleViewAction());
        qInfo() << "Created CamerasettingsDockwidget";
    } else {
        if (DockFactory::deletePanel(camSetDock_))
            qInfo() << "camSetTree destroyed";
        redock(camSetDock_, ads::RightDockWidgetArea);
    }
    if (!cameras_.empty()) {
        // The settings tree of the first camera takes this place.
        DockFactory::putPanel(camSetDock_, placeholderPanel(QStringLiteral("camSetPlaceholder")));
        qInfo() << "Created CamSetTree";
    }
    qDebug() << "Leave createCamSetWidget";
}

void MainWindow::createCameraOverviewWidget()
{
    qDebug() << "Entered createCameraOverviewWidget";
    if (!overviewDock_) {
        overviewDock_ = DockFactory::create(QStringLiteral("Camera Overview"), loadIcon(QStringLiteral("video-camera")));
        ads::CDockAreaWidget* settingsArea = camSetDock_ ? camSetDock_->dockAreaWidget() : nullptr;
        if (settingsArea)
            dockManager_->addDockWidget(ads::BottomDockWidgetArea, overviewDock_, settingsArea);
        else
            dockManager_->addDockWidget(ads::RightDockWidgetArea, overviewDock_);
        dockManager_->addToggleViewActionToMenu(overviewDock_->toggleViewAction());
        qInfo() << "Created cameraOverviewDockWidget";
    } else {
        if (DockFactory::deletePanel(overviewDock_))
            qInfo() << "Destroyed cameraOverviewWidget";
        redock(overviewDock_, ads::RightDockWidgetArea);
    }
    overview_ = nullptr;
    if (!cameras_.empty()) {
        overview_ = new CameraOverview;
        for (const auto& [serial, camera] : cameras_)
            overview_->addCamera(serial, cameraName(*camera), CameraPalette::colours(),
                                 CameraPalette::indexOf(colourOf(serial)));
        DockFactory::putPanel(overviewDock_, overview_);
        qInfo() << "Created cameraOverviewWidget";
    }
    qDebug() << "Leave createCameraOverviewWidget";
}

void MainWindow::createLumraWidget()
{
    // The light-source control scans for light sources and builds the "Lumra Control" dock
    // (right area, icon "sun-light") here; without light sources there is no dock.
    qDebug() << "Enter createLumraWidget";
}

void MainWindow::createVideoCtrlWidget()
{
    qDebug() << "Entered createVideoCtrlWidget";
    const QString firstColour = cameras_.empty() ? QString() : colourOf(cameras_.begin()->first);
    if (!videoCtrlDock_) {
        videoCtrlDock_ = DockFactory::create(QStringLiteral("Video Control"), loadIcon(QStringLiteral("keyframe-solid"), firstColour));
        dockManager_->addDockWidget(ads::BottomDockWidgetArea, videoCtrlDock_);
        dockManager_->addToggleViewActionToMenu(videoCtrlDock_->toggleViewAction());
        qInfo() << "Created videoCtrlDockWidget";
    } else {
        if (DockFactory::deletePanel(videoCtrlDock_))
            qInfo() << "Destroyed videoCtrlWidget";
        redock(videoCtrlDock_, ads::BottomDockWidgetArea);
    }
    if (!cameras_.empty()) {
        // The playback control of the first camera takes this place.
        DockFactory::putPanel(videoCtrlDock_, placeholderPanel(QStringLiteral("videoCtrlPlaceholder")));
        qInfo() << "Created videoControlWidget";
    }
    qDebug() << "Leave createVideoCtrlWidget";
}

void MainWindow::connectGlobalSignals()
{
    if (cameras_.empty() || acquisitions_.empty())
        return;
    qInfo() << "Connecting global signals...";
    const auto unique = Qt::UniqueConnection;
    connect(this, &MainWindow::camError, this, &MainWindow::onCameraError, unique);
    connect(cameraSelector_, qOverload<int>(&QComboBox::currentIndexChanged), this, &MainWindow::onCameraChanged, unique);
    if (overview_)
        connect(overview_, &CameraOverview::cameraColorChanged, this, &MainWindow::onCameraColorChanged, unique);

    for (const auto& [serial, acquisition] : acquisitions_) {
        connect(acquisition, &CameraAcquisition::recordingDone, this, &MainWindow::onRecordingDone, unique);
        connect(acquisition, &CameraAcquisition::camError, this, &MainWindow::onCameraError, unique);
        const auto view = views_.find(serial);
        if (view == views_.end())
            continue;
        connect(view->second, &VtkViewWidget::visibilityChanged, acquisition, &CameraAcquisition::onVTKVisibleChanged, unique);
        if (overview_) {
            connect(overview_, &CameraOverview::cameraColorChanged, view->second, &VtkViewWidget::onCameraColorChanged, unique);
            connect(overview_, &CameraOverview::isoLevelChanged, view->second, &VtkViewWidget::onIsoLevelChanged, unique);
            connect(overview_, &CameraOverview::showPipelineRequest, view->second, &VtkViewWidget::showPipeline, unique);
            connect(overview_, &CameraOverview::hidePipelineRequest, view->second, &VtkViewWidget::hidePipeline, unique);
        }
    }
    qInfo() << "Connects successful!";
}

// ---- slots -----------------------------------------------------------------------------

void MainWindow::onLogLevelChanged()
{
    QObject* action = sender();
    qDebug() << "Entered onLogLevelChanged with senderaction:" << (action ? action->objectName() : QString());
    logLevelActions_->select(action);
}

void MainWindow::onStyleChanged()
{
    themeActions_->onStyleChanged();
}

void MainWindow::showAboutDialog()
{
    AboutBox::show(this);
}

void MainWindow::onCameraSetup()
{
    const std::optional<DWORD> serial = CameraSelector::currentSerial(cameraSelector_);
    const auto camera = serial ? cameras_.find(*serial) : cameras_.end();
    if (camera == cameras_.end())
        return;
    try {
        CameraSetup dialog(camera->second->getConfiguration(), camera->second->getDescription(), this);
        if (dialog.exec() == QDialog::Accepted)
            camera->second->setConfiguration(dialog.configuration());
    } catch (const vyk::CameraException& e) {
        qCritical() << "Camera setup failed for camera: " << *serial << e.what();
        QMessageBox::warning(this, QStringLiteral("Setup"), QString::fromUtf8(e.what()));
    }
}

void MainWindow::onCameraChanged(int index)
{
    try {
        switchToCamera(index);
    } catch (const std::exception& e) {
        const DWORD serial = cameraSelector_->itemData(index).toUInt();
        qCritical() << "Error switching to camera: " << serial << e.what();
        emit camError(serial, true);
    }
}

void MainWindow::switchToCamera(int index)
{
    const DWORD serial = cameraSelector_->itemData(index).toUInt();
    const auto found = index >= 0 ? cameras_.find(serial) : cameras_.end();
    const std::shared_ptr<vyk::AnyCamera> camera = found == cameras_.end() ? nullptr : found->second;
    qInfo() << "Camera selected: " << (camera ? cameraName(*camera) : QString());
    updateActiveCameraLabel();

    const auto acquisition = acquisitions_.find(serial);
    emit activeCameraChanged(camera, camera ? colourOf(serial) : QString(),
                             camera && acquisition != acquisitions_.end() ? acquisition->second : nullptr);
    QApplication::processEvents();

    if (camera) {
        if (camera->isRecording()) {
            qDebug() << "Selected camera is recording -> adapting GUI";
            emit recordingInProgress(serial);
        } else {
            qDebug() << "Selected camera is NOT recording -> adapting GUI";
            onRecordingDone(serial);
        }
    }
    recolourPanelDockIcons(camera ? colourOf(serial) : QString());
}

void MainWindow::onCameraColorChanged(DWORD serialNo, QString color)
{
    qInfo() << "Color of camera: " << serialNo << " changed to: " << color << ". Adapting GUI...";
    colours_[serialNo] = color;
    // The playback control and the settings tree take the colour here as they join.
    if (CameraSelector::currentSerial(cameraSelector_) == serialNo)
        recolourPanelDockIcons(color);
    if (ads::CDockWidget* dock = viewDock(serialNo))
        dock->setIcon(loadIcon(QStringLiteral("airplay-solid"), color));
    const int index = CameraSelector::indexOf(cameraSelector_, serialNo);
    const auto camera = cameras_.find(serialNo);
    if (index >= 0 && camera != cameras_.end())
        cameraSelector_->setItemIcon(index, CameraSelector::entryIcon(*camera->second, color));
    qInfo() << "GUI adapted to new Camera color.";
}

void MainWindow::onScanCameraPressed()
{
    scanAction_->setEnabled(false);
    qDebug() << "Entered onScanCameraPressed";
    if (histogramDock_)
        histogramDock_->toggleView(false);
    layout_->saveState();
    healthTimer_->stop();

    deleteAcquisitions();
    qInfo() << "Stopped and deleted all acqusition threads";
    std::vector<DWORD> serials;
    for (const auto& entry : viewDocks_)
        serials.push_back(entry.first);
    for (DWORD serial : serials)
        deleteViewDock(serial);
    if (DockFactory::deletePanel(camSetDock_))
        qInfo() << "camSetTree destroyed";
    cameras_.clear();
    qInfo() << "Deleted all cameras";

    scanner_->scanCameras(cameras_);
    status_->show(QStringLiteral("Updating User Interface..."));
    colours_.clear();
    assignColours();
    rebuildCameraSelector();
    qDebug() << "Rebuilt Camera Dropdown";

    createacquisitionInstances();
    createHistogramWidget();
    createVTKWidgets();
    createVideoCtrlWidget();
    createCamSetWidget();
    createCameraOverviewWidget();
    createLumraWidget();
    connectGlobalSignals();

    if (!cameras_.empty()) {
        resetCommandButtons(true);
        recolourPanelDockIcons(colourOf(cameras_.begin()->first));
    }
    updateActiveCameraLabel();
    QTimer::singleShot(0, layout_, &LayoutPersistence::restoreState);

    qDebug() << "GUI rebuild done!";
    status_->show(QStringLiteral("User Interface ready!"));
    scanAction_->setEnabled(true);
    health_->clearIgnoreWarnings();
    healthTimer_->start(kHealthIntervalMs);
    qDebug() << "Leave onScanCameraPressed";
}

void MainWindow::onCameraHealthTimeout()
{
    health_->checkAll(cameras_);
}

void MainWindow::onCameraError(DWORD serial, bool msgBox)
{
    qInfo() << "Processing error in camera: " << serial << " ...";
    healthTimer_->stop();
    // The settings tree and the histogram drop the camera here as they join.
    if (overview_)
        overview_->removeCamera(serial);

    if (msgBox)
        QMessageBox::critical(this, QStringLiteral("Camera Error!"),
                              QStringLiteral("Error in Camera: %1\nCamera will be removed. Try reconnecting camera and rescan!").arg(serial),
                              QMessageBox::Ok);

    const auto acquisition = acquisitions_.find(serial);
    if (acquisition != acquisitions_.end()) {
        CameraAcquisition* doomed = acquisition->second;
        acquisitions_.erase(acquisition);
        doomed->cameraError(serial);
        delete doomed;
        qInfo() << "Deleted acquis of: " << serial;
    }
    if (viewDocks_.count(serial) != 0) {
        deleteViewDock(serial);
        qInfo() << "Deleted vtkWidget of: " << serial;
    }

    qInfo() << "Deleting: " << serial << " ...";
    cameras_.erase(serial);
    qInfo() << "Deleted: " << serial << " !";

    qInfo() << "Rebuilding GUI without error camera: " << serial << " ...";
    colours_.erase(serial);
    rebuildCameraSelector();
    scanAction_->setEnabled(!anyCameraRecording());
    for (const auto& [remaining, dock] : viewDocks_) {
        dock->setIcon(loadIcon(QStringLiteral("airplay-solid"), colourOf(remaining)));
        qDebug() << "Adapted camera Dropdown and vtkWidget for remaining camera: " << remaining;
    }

    if (!cameras_.empty()) {
        // The light-source control receives the remaining cameras here as it joins.
        qInfo() << "Setting GUI to first remaining camera!";
        cameraSelector_->setCurrentIndex(0);
        try {
            switchToCamera(0);
        } catch (const std::exception& e) {
            const DWORD first = cameras_.begin()->first;
            qCritical() << "CameraError in errorhandling with remaining camera: " << first << e.what();
            emit camError(first, true);
        }
    }
    updateActiveCameraLabel();

    if (cameras_.empty()) {
        qInfo() << "No remaining cameras. Removing settings, videoCtrl and overview!";
        removePanelDock(camSetDock_);
        removePanelDock(videoCtrlDock_);
        removePanelDock(overviewDock_);
        overview_ = nullptr;
        resetCommandButtons(false);
    }
    if (!healthTimer_->isActive())
        healthTimer_->start(kHealthIntervalMs);
}

void MainWindow::onRecordingDone(DWORD serialNo)
{
    qInfo() << "Entered onRecordingDone with camera: " << serialNo;
    if (CameraSelector::currentSerial(cameraSelector_) == serialNo) {
        resetCommandButtons(true);
        const bool blocked = triggerAction_->blockSignals(true);
        triggerAction_->setEnabled(false);
        triggerAction_->blockSignals(blocked);
        saveAllAction_->setEnabled(true);
        saveAsAction_->setEnabled(true);
        qDebug() << "Adapted GUI to Recording state OFF of camera: " << serialNo;
    }
    scanAction_->setEnabled(!anyCameraRecording());
    health_->clearIgnoreWarnings();
    qDebug() << "Leave onRecordingDone with camera: " << serialNo;
}

// ---- camera set changes ----------------------------------------------------------------

void MainWindow::deleteAcquisitions()
{
    for (auto& [serial, acquisition] : acquisitions_) {
        disconnect(acquisition, &CameraAcquisition::recordingDone, this, nullptr);
        delete acquisition;
    }
    acquisitions_.clear();
}

void MainWindow::deleteViewDock(DWORD serial)
{
    const auto dock = viewDocks_.find(serial);
    if (dock != viewDocks_.end()) {
        dock->second->closeDockWidget();
        dockManager_->removeDockWidget(dock->second);
        // The view inside goes with its dock; deleting later lets pending events drain.
        dock->second->deleteLater();
        viewDocks_.erase(dock);
    }
    views_.erase(serial);
}

void MainWindow::rebuildCameraSelector()
{
    const bool blocked = cameraSelector_->blockSignals(true);
    cameraSelector_->setEnabled(true);
    disconnect(cameraSelector_, qOverload<int>(&QComboBox::currentIndexChanged), this, &MainWindow::onCameraChanged);
    CameraSelector::fill(cameraSelector_, cameras_, colours_);
    cameraSelector_->blockSignals(blocked);
}

void MainWindow::updateActiveCameraLabel()
{
    if (cameraSelector_ && cameraSelector_->count() > 0)
        activeCameraLabel_->setText(QStringLiteral("Active %1").arg(cameraSelector_->currentText()));
    else
        activeCameraLabel_->setText(QStringLiteral("No active Camera!"));
}

void MainWindow::recolourPanelDockIcons(const QString& colour)
{
    if (videoCtrlDock_)
        videoCtrlDock_->setIcon(loadIcon(QStringLiteral("keyframe-solid"), colour));
    if (camSetDock_)
        camSetDock_->setIcon(loadIcon(QStringLiteral("tools"), colour));
}

void MainWindow::resetCommandButtons(bool enabled)
{
    setCommandState(recordAction_, QStringLiteral("circle"), false, enabled);
    setCommandState(previewAction_, QStringLiteral("play-solid"), false, enabled);
}

bool MainWindow::anyCameraRecording()
{
    for (const auto& [serial, camera] : cameras_) {
        try {
            if (camera->isRecording())
                return true;
        } catch (const std::exception& e) {
            qWarning() << "Could not ask camera: " << serial << " whether it records: " << e.what();
        }
    }
    return false;
}

void MainWindow::redock(ads::CDockWidget* dock, ads::DockWidgetArea area)
{
    if (dockManager_->findDockWidget(dock->objectName()) == dock)
        return;
    dockManager_->addDockWidget(area, dock);
    dock->toggleView(true);
}

void MainWindow::removePanelDock(ads::CDockWidget* dock)
{
    if (!dock)
        return;
    dock->closeDockWidget();
    dockManager_->removeDockWidget(dock);
}

QString MainWindow::colourOf(DWORD serial) const
{
    const auto colour = colours_.find(serial);
    return colour == colours_.end() ? QString() : colour->second;
}

ads::CDockWidget* MainWindow::viewDock(DWORD serial) const
{
    const auto dock = viewDocks_.find(serial);
    return dock == viewDocks_.end() ? nullptr : dock->second;
}

// ---- events ----------------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event)
{
    qDebug() << "showEvent of mainwindow !!Currently unused!!";
    layout_->restorePerspectives();
    layout_->restoreState();
    QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    qDebug() << "closeEvent of MainWindow";
    layout_->saveState();
    layout_->savePerspectives();
    deleteAcquisitions();

    const auto deleteIfFloating = [this](ads::CDockWidget*& dock, const char* message) {
        if (!dock || !dock->isFloating())
            return;
        dock->closeDockWidget();
        dockManager_->removeDockWidget(dock);
        delete dock;
        dock = nullptr;
        qInfo() << message;
    };
    deleteIfFloating(histogramDock_, "Deleted histogramWidget");
    for (auto it = viewDocks_.begin(); it != viewDocks_.end();) {
        ads::CDockWidget* dock = it->second;
        if (dock->isFloating()) {
            views_.erase(it->first);
            it = viewDocks_.erase(it);
            deleteIfFloating(dock, "Deleted a VtkViewWindow");
        } else {
            ++it;
        }
    }
    deleteIfFloating(videoCtrlDock_, "Deleted videoCtrlDockWidget");
    deleteIfFloating(camSetDock_, "Deleted camSetTreeDockWidget");
    if (overviewDock_ && overviewDock_->isFloating())
        overview_ = nullptr;
    deleteIfFloating(overviewDock_, "Deleted cameraOverviewDockWidget");
    deleteIfFloating(lumraDock_, "Deleted lumraDockWidget");
    qDebug() << "Leave closeEvent of MainWindow";
    event->accept();
}
