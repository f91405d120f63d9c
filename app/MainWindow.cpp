#include "MainWindow.h"

#include "AboutBox.h"
#include "CameraOverview.h"
#include "CameraPalette.h"
#include "CameraScanner.h"
#include "CameraSelector.h"
#include "CameraSetup.h"
#include "GenicamSetting.h"
#include "DockFactory.h"
#include "HealthMonitor.h"
#include "IconLoader.h"
#include "LayoutPersistence.h"
#include "LightSourceScanner.h"
#include "LogLevelActions.h"
#include "PerspectivePopup.h"
#include "RecordCommands.h"
#include "SaveImageCommands.h"
#include "StatusReporter.h"
#include "StyleSheet.h"
#include "ThemeActions.h"
#include "ThemeNotifier.h"
#include "VYKToolbarPopup.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "camera/CameraException.h"
#include "lightsource/lsx/AnyLumra.h"
#include "lightsource/panel/LumraControl.h"
#include "view/HistogramWidget.h"
#include "view/VtkViewWidget.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/VideoControl.h"

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
    lightSourceScanner_ = new LightSourceScanner(status_);
    health_ = new HealthMonitor(this, status_, this);
    connect(health_, &HealthMonitor::cameraFailed, this, &MainWindow::camError);
    scanner_->scanCameras(cameras_);
    assignColours();
    AboutBox::showAprilGreeting(QDate::currentDate());

    createacquisitionInstances();
    createActions();
    createMenus();
    createToolBar();
    createCommands();
    createHistogramWidget();
    createVTKWidgets();
    createCamSetWidget();
    createCameraOverviewWidget();
    createLumraWidget();
    createVideoCtrlWidget();
    connectGlobalSignals();
    startHistogramIfOpen();

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
    if (lumraControl_)
        lumraControl_->stopHealthThread();
    // The panels hold camera and light-source handles and read the acquisition objects:
    // they go first, so that the handles are released here and not after the clean-up.
    for (ads::CDockWidget* dock : {histogramDock_, camSetDock_, videoCtrlDock_, lumraDock_})
        DockFactory::deletePanel(dock);
    // The acquisition threads use the cameras: they end before the cameras are released.
    deleteAcquisitions();
    lumras_.clear();
    cameras_.clear();
    VYK_CleanupLib();
    delete lightSourceScanner_;
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
    connect(saveAllAction_, &QAction::triggered, this, &MainWindow::onSaveAllImagesClicked);
    connect(saveLatestAction_, &QAction::triggered, this, [this] { onSaveOneImageClicked(false); });
    connect(saveAsAction_, &QAction::triggered, this, [this] { onSaveOneImageClicked(true); });

    themeActions_ = new ThemeActions(this);
    connect(themeActions_, &ThemeActions::styleActionTriggered, this, &MainWindow::onStyleChanged);

    scanAction_ = makeAction(QStringLiteral("Scan for Camera"), QStringLiteral("rotate-camera-right"), this);
    connect(scanAction_, &QAction::triggered, this, &MainWindow::onScanCameraPressed);
    previewAction_ = makeAction(QStringLiteral("Preview"), QStringLiteral("play-solid"), this);
    previewAction_->setCheckable(true);
    // triggered, not toggled: the commands set the checked state themselves without meaning
    // a new request.
    connect(previewAction_, &QAction::triggered, this, &MainWindow::onPreviewButtonPressed);
    recordAction_ = makeAction(QStringLiteral("Record"), QStringLiteral("circle"), this);
    recordAction_->setCheckable(true);
    connect(recordAction_, &QAction::triggered, this, &MainWindow::onSequenceButtonPressed);
    triggerAction_ = makeAction(QStringLiteral("Trigger"), QStringLiteral("one-finger-select-hand-press"), this);
    triggerAction_->setEnabled(false);
    connect(triggerAction_, &QAction::triggered, this, &MainWindow::onSoftTriggerButtonPressed);
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

void MainWindow::createCommands()
{
    commands_.window = this;
    commands_.cameras = &cameras_;
    commands_.acquisitions = &acquisitions_;
    commands_.status = status_;
    commands_.statusBar = statusBar();
    commands_.cameraSelector = cameraSelector_;
    commands_.health = health_;
    commands_.preview = previewAction_;
    commands_.record = recordAction_;
    commands_.trigger = triggerAction_;
    commands_.scan = scanAction_;
    commands_.saveAll = saveAllAction_;
    commands_.saveAs = saveAsAction_;
    commands_.icons = [](const QString& name) { return loadIcon(name); };
    commands_.setBitDepth = [this](DWORD serial, int bits) {
        if (histogram_)
            histogram_->setBitDepth(serial, bits);
    };
    recordCommands_ = new RecordCommands(commands_, this);
    saveCommands_ = new SaveImageCommands(commands_, this);
    connect(recordCommands_, &RecordCommands::recordingInProgress, this, &MainWindow::recordingInProgress);
    connect(recordCommands_, &RecordCommands::camError, this, &MainWindow::camError);
}

// ---- panels and docks ------------------------------------------------------------------

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
    histogram_ = nullptr;
    if (!cameras_.empty()) {
        auto* histogram = new HistogramWidget(histogramDock_);
        DockFactory::putPanel(histogramDock_, histogram, false);
        for (const auto& [serial, camera] : cameras_) {
            try {
                histogram->addCamera(serial, cameraName(*camera), colourOf(serial),
                                     static_cast<int>(camera->getDescription().bit_resolution));
            } catch (const vyk::CameraException& e) {
                // No curve for it; the health check or the next command removes the camera.
                qCritical() << "Could not add the histogram of camera: " << serial << e.what();
            }
        }
        histogram_ = histogram;
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
    camSetTree_ = nullptr;
    if (!cameras_.empty()) {
        const auto& [serial, camera] = *cameras_.begin();
        camSetTree_ = new CameraSettingsTree(camSetDock_, camera);
        camSetTree_->setCameraColor(serial, colourOf(serial));
        DockFactory::putPanel(camSetDock_, camSetTree_);
        qInfo() << "Created CamSetTree";
    }
    commands_.settingsTree = camSetTree_;
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
    qDebug() << "Enter createLumraWidget";
    // The old panel holds the light sources open (and reserved on their servers): it is
    // gone before the scan, or the scan could not find them again.
    deleteLumraDock();
    lumras_.clear();
    lightSourceScanner_->scanLightSources(lumras_);
    if (lumras_.empty())
        return;
    if (lumraDock_ || lumraControl_) {
        qWarning() << "Lightsoure widget not created because lightsource empty or one widget not nullptr";
        return;
    }
    lumraDock_ = DockFactory::create(QStringLiteral("Lumra Control"), loadIcon(QStringLiteral("sun-light")));
    LumraControlOptions options;
    options.iconLoader = [](const QString& name) { return loadIcon(name); };
    lumraControl_ = new LumraControl(lumras_, cameraNames(), lumraDock_, options);
    DockFactory::putPanel(lumraDock_, lumraControl_);
    dockManager_->addDockWidget(ads::RightDockWidgetArea, lumraDock_);
    dockManager_->addToggleViewActionToMenu(lumraDock_->toggleViewAction());
    qInfo() << "Created lumraDockwidget and lumraControlWidget";
}

void MainWindow::deleteLumraDock()
{
    if (lumraControl_)
        lumraControl_->stopHealthThread();
    if (!lumraDock_)
        return;
    lumraDock_->closeDockWidget();
    dockManager_->removeDockWidget(lumraDock_);
    delete lumraDock_;
    lumraDock_ = nullptr;
    qInfo() << "Deleted lumraControlWidget";
}

std::map<DWORD, QString> MainWindow::cameraNames() const
{
    std::map<DWORD, QString> names;
    for (const auto& [serial, camera] : cameras_) {
        try {
            names[serial] = cameraName(*camera);
        } catch (const vyk::CameraException& e) {
            qWarning() << "Could not read the name of camera: " << serial << e.what();
        }
    }
    return names;
}

void MainWindow::createVideoCtrlWidget()
{
    qDebug() << "Entered createRecorderWidget";
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
    videoControl_ = nullptr;
    if (!cameras_.empty()) {
        const auto& [serial, camera] = *cameras_.begin();
        videoControl_ = new VideoControl([](const QString& name) { return loadIcon(name); }, videoCtrlDock_);
        const auto acquisition = acquisitions_.find(serial);
        videoControl_->onCameraChanged(camera, colourOf(serial),
                                       acquisition == acquisitions_.end() ? nullptr : acquisition->second);
        DockFactory::putPanel(videoCtrlDock_, videoControl_);
        qInfo() << "Created videoControlWidget";
    }
    commands_.videoControl = videoControl_;
    qDebug() << "Leave createVideoCtrlWidget";
}

void MainWindow::connectGlobalSignals()
{
    if (cameras_.empty() || acquisitions_.empty())
        return;
    qInfo() << "Connecting global signals...";
    const auto unique = Qt::UniqueConnection;
    connect(this, &MainWindow::camError, this, &MainWindow::onCameraError, unique);
    connect(this, &MainWindow::recordingInProgress, this, &MainWindow::onRecordingInProgress, unique);
    if (camSetTree_) {
        connect(this, &MainWindow::activeCameraChanged, camSetTree_, &CameraSettingsTree::onCameraChanged, unique);
        connect(this, &MainWindow::recordingInProgress, camSetTree_, &CameraSettingsTree::onRecordingInProgress, unique);
        connect(camSetTree_, &CameraSettingsTree::newDataFormat, this, &MainWindow::onDataformatChanged, unique);
    }
    if (videoControl_) {
        connect(this, &MainWindow::activeCameraChanged, videoControl_, &VideoControl::onCameraChanged, unique);
        connect(this, &MainWindow::recordingInProgress, videoControl_, &VideoControl::onRecordingInProgress, unique);
        connect(videoControl_, &VideoControl::playbackStateChanged, this, &MainWindow::onPlaybackStateChanged, unique);
    }
    if (camSetTree_ && videoControl_) {
        connect(camSetTree_, &CameraSettingsTree::convertParamsChanged, videoControl_,
                &VideoControl::onConvertParamsChanged, unique);
        connect(camSetTree_, &CameraSettingsTree::camRamSegmentChanged, videoControl_,
                &VideoControl::onCamRamSegmentChanged, unique);
    }
    if (lumraControl_)
        connect(this, &MainWindow::recordingInProgress, lumraControl_, &LumraControl::onRecordingInProgress, unique);
    if (overview_) {
        connect(overview_, &CameraOverview::cameraColorChanged, this, &MainWindow::onCameraColorChanged, unique);
        if (histogram_) {
            connect(overview_, &CameraOverview::cameraColorChanged, histogram_, &HistogramWidget::onCameraColorChanged, unique);
            connect(overview_, &CameraOverview::changeHistogramVisible, histogram_, &HistogramWidget::onHideShowRequest, unique);
        }
    }
    connectCameraSelector();
    if (histogram_)
        connect(histogramDock_, &ads::CDockWidget::viewToggled, histogram_, &HistogramWidget::onAnalysisWindowToggled, unique);

    for (const auto& [serial, acquisition] : acquisitions_)
        connectCamera(serial, acquisition);
    qInfo() << "Connects successful!";
}

void MainWindow::connectCameraSelector()
{
    connect(cameraSelector_, qOverload<int>(&QComboBox::currentIndexChanged), this, &MainWindow::onCameraChanged,
            Qt::UniqueConnection);
}

void MainWindow::connectCamera(DWORD serial, CameraAcquisition* acquisition)
{
    const auto unique = Qt::UniqueConnection;
    if (videoControl_) {
        connect(acquisition, &CameraAcquisition::recordingDone, videoControl_, &VideoControl::onRecordingDone, unique);
        connect(acquisition, &CameraAcquisition::newPlayPosition, videoControl_, &VideoControl::onPlayPositionChanged, unique);
    }
    connect(acquisition, &CameraAcquisition::recordingDone, this, &MainWindow::onRecordingDone, unique);
    if (camSetTree_)
        connect(acquisition, &CameraAcquisition::recordingDone, camSetTree_, &CameraSettingsTree::onRecordingDone, unique);
    if (lumraControl_)
        connect(acquisition, &CameraAcquisition::recordingDone, lumraControl_, &LumraControl::onRecordingDone, unique);
    connect(acquisition, &CameraAcquisition::camError, this, &MainWindow::onCameraError, unique);
    if (recordCommands_) {
        connect(acquisition, &CameraAcquisition::recordingFailed, recordCommands_, &RecordCommands::onRecordingFailed, unique);
        connect(acquisition, &CameraAcquisition::imagesLost, recordCommands_, &RecordCommands::onImagesLost, unique);
    }
    if (histogram_)
        connect(histogram_, &HistogramWidget::visibilityChanged, acquisition, &CameraAcquisition::onHistVisibleChanged, unique);

    const auto found = views_.find(serial);
    if (found == views_.end())
        return;
    VtkViewWidget* view = found->second;
    connect(view, &VtkViewWidget::visibilityChanged, acquisition, &CameraAcquisition::onVTKVisibleChanged, unique);
    if (overview_) {
        connect(overview_, &CameraOverview::cameraColorChanged, view, &VtkViewWidget::onCameraColorChanged, unique);
        connect(overview_, &CameraOverview::isoLevelChanged, view, &VtkViewWidget::onIsoLevelChanged, unique);
        connect(overview_, &CameraOverview::showPipelineRequest, view, &VtkViewWidget::showPipeline, unique);
        connect(overview_, &CameraOverview::hidePipelineRequest, view, &VtkViewWidget::hidePipeline, unique);
    }
    if (histogram_) {
        connect(histogram_, &HistogramWidget::newColorMinMax, view, &VtkViewWidget::onColorMinMaxChangedFromExtern, unique);
        connect(view, &VtkViewWidget::adaptHistMarkersOnMinMaxChange, histogram_, &HistogramWidget::onAdaptHistMarkers, unique);
    }
}

void MainWindow::startHistogramIfOpen()
{
    if (histogram_ && !cameras_.empty() && !histogramDock_->isClosed()) {
        histogram_->onAnalysisWindowToggled(true);
        qDebug() << "Toggled histogramwidget to start threads again";
    }
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
    const bool hasCamera = camera != cameras_.end();
    try {
        // Without a camera the dialog still chooses the GenICam cameras of the next scan.
        CameraSetup dialog(hasCamera ? camera->second->getConfiguration() : vyk::Configuration{},
                           hasCamera ? camera->second->getDescription() : vyk::Description{}, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        GenicamSetting::store(dialog.genicamCameras());
        if (hasCamera)
            camera->second->setConfiguration(dialog.configuration());
    } catch (const vyk::CameraException& e) {
        qCritical() << "Camera setup failed for camera: " << serial.value_or(0) << e.what();
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
        // The camera's acquisition thread may be using it: ask through the acquisition object.
        if (commands_.cameraRecording(serial)) {
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
    if (camSetTree_)
        camSetTree_->setCameraColor(serialNo, color);
    if (videoControl_)
        videoControl_->setCameraColor(serialNo, color);
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

    // The playback control reads the acquisition objects; it must not outlive them.
    if (DockFactory::deletePanel(videoCtrlDock_))
        qInfo() << "Destroyed videoCtrlWidget";
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
    startHistogramIfOpen();

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
    if (camSetTree_)
        camSetTree_->adaptToCameraError(serial);
    if (histogram_)
        histogram_->onCameraError(serial);
    if (overview_)
        overview_->removeCamera(serial);
    // The playback control lets go of the camera's playback before its acquisition object
    // goes (the next camera switch must not stop a playback through a deleted object).
    if (videoControl_ && videoControl_->serial() == serial)
        videoControl_->onRecordingInProgress();

    if (msgBox)
        QMessageBox::critical(this, QStringLiteral("Camera Error!"),
                              QStringLiteral("Error in Camera: %1\nCamera will be removed. Try reconnecting camera and rescan!").arg(serial),
                              QMessageBox::Ok);

    const auto acquisition = acquisitions_.find(serial);
    if (acquisition != acquisitions_.end()) {
        CameraAcquisition* doomed = acquisition->second;
        acquisitions_.erase(acquisition);
        doomed->cameraError(serial);
        deleteAcquisition(doomed);
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
        if (lumraControl_)
            lumraControl_->setCameras(cameraNames());
        qInfo() << "Setting GUI to first remaining camera!";
        cameraSelector_->setCurrentIndex(0);
        try {
            switchToCamera(0);
        } catch (const std::exception& e) {
            const DWORD first = cameras_.begin()->first;
            qCritical() << "CameraError in errorhandling with remaining camera: " << first << e.what();
            emit camError(first, true);
        }
        // The rebuild took the selector off its slot; after the switch above it answers the
        // user again, or choosing another camera would change only the combo's text.
        connectCameraSelector();
    }
    updateActiveCameraLabel();

    if (cameras_.empty()) {
        qInfo() << "No remaining cameras. Removing settings, videoCtrl and overview!";
        removePanelDock(camSetDock_);
        removePanelDock(videoCtrlDock_);
        removePanelDock(overviewDock_);
        overview_ = nullptr;
        // The playback control would still point at the deleted acquisition object.
        DockFactory::deletePanel(videoCtrlDock_);
        if (lumraControl_)
            lumraControl_->setCameras({});
        resetCommandButtons(false);
    }
    if (!healthTimer_->isActive())
        healthTimer_->start(kHealthIntervalMs);
}

void MainWindow::onRecordingDone(DWORD serialNo)
{
    recordCommands_->onRecordingDone(serialNo);
}

void MainWindow::onPreviewButtonPressed(bool checked)
{
    recordCommands_->onPreviewButtonPressed(checked);
}

void MainWindow::onSequenceButtonPressed(bool checked)
{
    recordCommands_->onSequenceButtonPressed(checked);
}

void MainWindow::onSoftTriggerButtonPressed()
{
    recordCommands_->onSoftTriggerButtonPressed();
}

void MainWindow::onRecordingInProgress()
{
    recordCommands_->onRecordingInProgress();
}

void MainWindow::onPlaybackStateChanged(DWORD serial, bool running)
{
    recordCommands_->onPlaybackStateChanged(serial, running);
}

void MainWindow::onDataformatChanged(DWORD serial, QString format)
{
    recordCommands_->onDataformatChanged(serial, format);
}

void MainWindow::updateCameraBitness()
{
    recordCommands_->updateCameraBitness();
}

void MainWindow::onSaveAllImagesClicked()
{
    saveCommands_->onSaveAllImagesClicked();
}

void MainWindow::onSaveOneImageClicked(bool saveAs)
{
    saveCommands_->onSaveOneImageClicked(saveAs);
}

// ---- camera set changes ----------------------------------------------------------------

void MainWindow::deleteAcquisitions()
{
    for (auto& [serial, acquisition] : acquisitions_)
        deleteAcquisition(acquisition);
    acquisitions_.clear();
}

void MainWindow::deleteAcquisition(CameraAcquisition* acquisition)
{
    // Deleting stops the worker, whose run end would be queued to the playback control, the
    // settings tree and the window and delivered after the object is gone; the playback
    // control would then read the deleted object through the pointer it was given. So its
    // signals go nowhere from here on, and what it queued before reaches the playback control
    // now, while the object still exists.
    disconnect(acquisition, nullptr, nullptr, nullptr);
    if (videoControl_)
        QCoreApplication::sendPostedEvents(videoControl_, QEvent::MetaCall);
    delete acquisition;
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
    return commands_.anyCameraRecording();
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

CameraSettingsTree* MainWindow::settingsTree() const
{
    return camSetTree_;
}

VideoControl* MainWindow::videoControl() const
{
    return videoControl_;
}

HistogramWidget* MainWindow::histogram() const
{
    return histogram_;
}

LumraControl* MainWindow::lumraControl() const
{
    return lumraControl_;
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
    if (camSetTree_)
        camSetTree_->stopExposurePolling();
    qDebug() << "Leave closeEvent of MainWindow";
    event->accept();
}
