// The main window driven on simulated cameras: construction, discovery, switching,
// colours, rescans, removals and the health check.
#include "MainWindowFixture.h"

#include "CameraOverview.h"
#include "CameraPalette.h"
#include "CameraSelectionDialog.h"
#include "HealthMonitor.h"
#include "MainWindow.h"
#include "ThemeActions.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/VideoControl.h"

#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItem>

namespace {

QAction* action(MainWindow& window, const char* text)
{
    return window.findChild<QAction*>(QString::fromLatin1(text));
}

ads::CDockWidget* dock(MainWindow& window, const QString& name)
{
    return window.dockManager()->findDockWidget(name);
}

// The colour of the most opaque pixel of icon, for checking tints.
QColor tintOf(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(64, 64)).toImage().convertToFormat(QImage::Format_ARGB32);
    QColor best;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255)
                return pixel;
        }
    return best;
}

// The overview's colour combo box of serial.
QComboBox* colourBoxOf(MainWindow& window, DWORD serial)
{
    QTreeWidgetItem* item = window.cameraOverview()->itemOf(serial);
    return item ? qobject_cast<QComboBox*>(window.cameraOverview()->itemWidget(item->child(0), 1)) : nullptr;
}

// Clicks the button of box whose text (without mnemonic) is text.
void clickButton(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text().remove(QLatin1Char('&')) == text) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    box->reject();
}

QStringList menuTitles(MainWindow& window)
{
    QStringList titles;
    for (QAction* entry : window.menuBar()->actions())
        titles << entry->text();
    return titles;
}

} // namespace

TEST_F(MainWindowTest, FrameHasMenusToolBarDocksAndSelector)
{
    MainWindow& window = makeWindow();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Rastel"));
    EXPECT_EQ(menuTitles(window), (QStringList{"&File", "&View", "&Camera", "&Theme", "&Log Level", "&Help"}));

    auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("TopToolBar"));
    ASSERT_NE(toolBar, nullptr);
    EXPECT_FALSE(toolBar->isMovable());
    QStringList toolTexts;
    for (QAction* entry : toolBar->actions())
        if (!entry->text().isEmpty())
            toolTexts << entry->text();
    EXPECT_EQ(toolTexts, (QStringList{"Histogram", "Save latest Image", "Preview", "Record", "Trigger", "Scan for Camera"}));

    EXPECT_FALSE(action(window, "Save all Images")->isEnabled());
    EXPECT_FALSE(action(window, "Save current Image as")->isEnabled());
    EXPECT_FALSE(action(window, "Trigger")->isEnabled());
    EXPECT_TRUE(action(window, "Preview")->isCheckable());
    EXPECT_FALSE(action(window, "Preview")->icon().isNull());

    for (const char* name : {"Histogram", "Camera Settings", "Camera Overview", "Video Control", "VTK_11", "VTK_22"})
        EXPECT_NE(dock(window, QLatin1String(name)), nullptr) << name;
    EXPECT_TRUE(dock(window, QStringLiteral("Histogram"))->isFloating());
    ASSERT_NE(window.viewDock(22), nullptr);
    EXPECT_EQ(window.viewDock(22)->windowTitle(), QStringLiteral("Test camera 22"));
    EXPECT_NE(dock(window, QStringLiteral("Camera Settings"))->widget(), nullptr);

    // The histogram is toggled from the tool bar only.
    for (QAction* entry : window.dockManager()->viewMenu()->actions())
        EXPECT_NE(entry->text(), QStringLiteral("Histogram"));

    ASSERT_EQ(window.cameraSelector()->count(), 2);
    EXPECT_EQ(window.cameraSelector()->itemText(0), QStringLiteral("Camera: Test camera 11"));
    EXPECT_EQ(window.cameraSelector()->itemData(1).toUInt(), 22u);
    EXPECT_EQ(window.activeCameraLabel()->text(), QStringLiteral("Active Camera: Test camera 11"));
    EXPECT_EQ(window.acquisitions().size(), 2u);
    EXPECT_TRUE(window.healthTimer()->isActive());
    EXPECT_EQ(window.healthTimer()->interval(), 5000);
    EXPECT_TRUE(logged(QStringLiteral("Local Camera added! Serial:  11")));
    EXPECT_TRUE(logged(QStringLiteral("Created toolbar and statusbar")));
    EXPECT_TRUE(logged(QStringLiteral("Connects successful!")));
    EXPECT_TRUE(answerer_->seen().isEmpty()) << answerer_->seen().join(QLatin1Char(',')).toStdString();
}

TEST_F(MainWindowTest, NoCameraLeavesEmptyDocksAndConnectsNothing)
{
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("remote"));
    MainWindow& window = makeWindow();
    EXPECT_EQ(answerer_->count(QStringLiteral("No Camera")), 1);
    EXPECT_TRUE(window.cameras().empty());
    for (const char* name : {"Histogram", "Camera Settings", "Camera Overview", "Video Control"}) {
        ASSERT_NE(dock(window, QLatin1String(name)), nullptr) << name;
        EXPECT_EQ(dock(window, QLatin1String(name))->widget(), nullptr) << name;
    }
    for (ads::CDockWidget* each : window.dockManager()->dockWidgetsMap())
        EXPECT_FALSE(each->objectName().startsWith(QStringLiteral("VTK_")));
    EXPECT_EQ(window.activeCameraLabel()->text(), QStringLiteral("No active Camera!"));
    EXPECT_TRUE(logged(QStringLiteral("No Cameras found!")));
    EXPECT_FALSE(logged(QStringLiteral("Local Camera added!")));

    // Nothing is connected: a camera error reaches no handler.
    emit window.camError(11, true);
    EXPECT_FALSE(logged(QStringLiteral("Processing error in camera")));
    EXPECT_FALSE(logged(QStringLiteral("Connecting global signals...")));
}

TEST_F(MainWindowTest, ThirteenCamerasWrapAroundThePalette)
{
    nlohmann::json cameras = nlohmann::json::array();
    for (uint32_t serial = 101; serial <= 113; ++serial)
        cameras.push_back(camera(serial));
    useCameras(cameras);
    MainWindow& window = makeWindow(false);
    ASSERT_EQ(window.cameras().size(), 13u);
    EXPECT_EQ(window.colours().at(101), QStringLiteral("green"));
    EXPECT_EQ(window.colours().at(102), QStringLiteral("steelblue"));
    EXPECT_EQ(window.colours().at(112), QStringLiteral("orchid"));
    EXPECT_EQ(window.colours().at(113), QStringLiteral("green"));
    EXPECT_EQ(tintOf(window.viewDock(113)->icon()), QColor(QStringLiteral("green")));
    EXPECT_TRUE(logged(QStringLiteral("Camera:  12 -> Name:  \"Test camera 113\"  Serial:  113")));
}

TEST_F(MainWindowTest, RescanKeepsColoursAndDoesNotDuplicateDeliveries)
{
    MainWindow& window = makeWindow();
    const ColourMap before = window.colours();
    action(window, "Scan for Camera")->trigger();
    EXPECT_EQ(window.colours(), before);
    EXPECT_EQ(window.cameras().size(), 2u);
    EXPECT_EQ(window.acquisitions().size(), 2u);
    EXPECT_TRUE(action(window, "Scan for Camera")->isEnabled());
    EXPECT_TRUE(action(window, "Preview")->isEnabled());
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("User Interface ready!"));
    ASSERT_NE(window.viewDock(22), nullptr);

    // One delivery per signal after connecting a second time: the removal switches to the
    // remaining camera once, and choosing it again in the selector switches once more.
    emit window.camError(22, false);
    EXPECT_EQ(loggedCount(QStringLiteral("Processing error in camera:  22")), 1);
    EXPECT_EQ(loggedCount(QStringLiteral("Camera selected:  \"Test camera 11\"")), 1);
    window.cameraSelector()->setCurrentIndex(-1);
    window.cameraSelector()->setCurrentIndex(0);
    EXPECT_EQ(loggedCount(QStringLiteral("Camera selected:  \"Test camera 11\"")), 2);

    // The saved state is restored once the event loop runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(QStringLiteral("Successfully restored last docking state")); }, 5000));
}

TEST_F(MainWindowTest, RemoteModeWithoutServerFindsNoCamera)
{
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("Remote"));
    MainWindow& window = makeWindow(false);
    EXPECT_TRUE(window.cameras().empty());
    EXPECT_EQ(answerer_->count(QStringLiteral("No Camera")), 1);
    EXPECT_EQ(answerer_->count(QStringLiteral("Remote Devices")), 0);
    EXPECT_TRUE(logged(QStringLiteral("Camera search mode =  \"remote\"")));
}

TEST_F(MainWindowTest, LocalModeAsksAndSwitchesToAllWhenTheAnswerIsKept)
{
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("local"));
    // A free device whose server does not exist: offered, chosen, and skipped when it
    // cannot be created; a busy device is never offered.
    vyk::DeviceEntry offered{"camera", "127.0.0.1", 9, "Remote one", 77, true};
    vyk::DeviceEntry busy{"camera", "127.0.0.1", 10, "Remote busy", 78, false};
    DiscoveryResponder responder(discoveryPort_, {offered, busy});

    answerer_->on(QStringLiteral("Remote Devices"), [](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->checkBox(), nullptr);
        EXPECT_EQ(box->checkBox()->text(), QStringLiteral("Do not ask again"));
        EXPECT_EQ(box->text(), QStringLiteral("Remote Devices found.\nDo you want to use them?"));
        box->checkBox()->setChecked(true);
        box->button(QMessageBox::Yes)->click();
    });
    int rows = -1;
    answerer_->on(QStringLiteral("Select Remote Devices"), [&rows](QWidget* dialog) {
        auto* selection = qobject_cast<CameraSelectionDialog*>(dialog);
        ASSERT_NE(selection, nullptr);
        rows = selection->table()->rowCount();
        selection->table()->cellWidget(0, 0)->findChild<QCheckBox*>()->setChecked(true);
        selection->findChild<QPushButton*>()->click();
    });

    MainWindow& window = makeWindow(false);
    EXPECT_GE(responder.requests(), 1);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(setting(QStringLiteral("mainWindow/Searchmode")).toString(), QStringLiteral("all"));
    EXPECT_FALSE(setting(QStringLiteral("mainWindow/AskRemoteUsage")).toBool());
    EXPECT_TRUE(logged(QStringLiteral("Failed to create remote camera at  \"127.0.0.1:9\"")));
    EXPECT_EQ(window.cameras().size(), 2u);
}

TEST_F(MainWindowTest, RemovingTheShownCameraSwitchesEverythingToTheNext)
{
    MainWindow& window = makeWindow();
    answerer_->click(QStringLiteral("Camera Error!"), QStringLiteral("OK"));
    emit window.camError(11, true);
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Error!")), 1);

    EXPECT_EQ(window.cameras().count(11), 0u);
    EXPECT_EQ(window.acquisitions().count(11), 0u);
    EXPECT_EQ(window.viewDock(11), nullptr);
    EXPECT_EQ(window.colours().count(11), 0u);
    ASSERT_EQ(window.cameraSelector()->count(), 1);
    EXPECT_EQ(window.cameraSelector()->currentData().toUInt(), 22u);
    EXPECT_EQ(window.activeCameraLabel()->text(), QStringLiteral("Active Camera: Test camera 22"));
    EXPECT_EQ(window.cameraOverview()->itemOf(11), nullptr);
    EXPECT_NE(window.cameraOverview()->itemOf(22), nullptr);
    const QColor steelblue(QStringLiteral("steelblue"));
    EXPECT_EQ(tintOf(dock(window, QStringLiteral("Camera Settings"))->icon()), steelblue);
    EXPECT_EQ(tintOf(dock(window, QStringLiteral("Video Control"))->icon()), steelblue);
    EXPECT_TRUE(action(window, "Preview")->isEnabled());
    EXPECT_TRUE(logged(QStringLiteral("Camera selected:  \"Test camera 22\"")));
    EXPECT_TRUE(window.healthTimer()->isActive());
}

TEST_F(MainWindowTest, SelectorSwitchesEverythingAgainAfterARemoval)
{
    useCameras(nlohmann::json::array({camera(11), camera(22), camera(33)}));
    MainWindow& window = makeWindow();
    emit window.camError(11, false);
    ASSERT_EQ(window.cameraSelector()->count(), 2);
    ASSERT_EQ(window.cameraSelector()->currentData().toUInt(), 22u);

    // The user chooses the other remaining camera: every panel and command follows.
    window.cameraSelector()->setCurrentIndex(1);
    EXPECT_TRUE(logged(QStringLiteral("Camera selected:  \"Test camera 33\"")));
    EXPECT_EQ(window.activeCameraLabel()->text(), QStringLiteral("Active Camera: Test camera 33"));
    ASSERT_NE(window.settingsTree(), nullptr);
    EXPECT_EQ(window.settingsTree()->settingValue(QStringLiteral("Serial"), 0).toUInt(), 33u);
    ASSERT_NE(window.videoControl(), nullptr);
    EXPECT_EQ(window.videoControl()->serial(), 33u);
    EXPECT_EQ(tintOf(dock(window, QStringLiteral("Video Control"))->icon()), QColor(QStringLiteral("gold")));

    QAction* preview = action(window, "Preview");
    preview->trigger();
    EXPECT_TRUE(window.acquisitions().at(33)->isRunning());
    EXPECT_FALSE(window.acquisitions().at(22)->isRunning());
    preview->trigger();
    EXPECT_FALSE(window.acquisitions().at(33)->isRunning());
}

TEST_F(MainWindowTest, PreviewAndRecordDoNotStayPressedWhenNothingCanStart)
{
    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("remote"));
    MainWindow& window = makeWindow();
    ASSERT_TRUE(window.cameras().empty());
    for (const char* name : {"Preview", "Record"}) {
        QAction* command = action(window, name);
        ASSERT_TRUE(command->isEnabled()) << name;
        command->trigger();
        EXPECT_FALSE(command->isChecked()) << name;
    }
}

TEST_F(MainWindowTest, RemovingTheLastCameraDisablesRecordAndPreview)
{
    useCameras(nlohmann::json::array({camera(11)}));
    MainWindow& window = makeWindow();
    emit window.camError(11, false);
    EXPECT_TRUE(answerer_->seen().isEmpty());
    EXPECT_TRUE(window.cameras().empty());
    EXPECT_FALSE(action(window, "Preview")->isEnabled());
    EXPECT_FALSE(action(window, "Record")->isEnabled());
    EXPECT_FALSE(action(window, "Preview")->isChecked());
    EXPECT_EQ(window.activeCameraLabel()->text(), QStringLiteral("No active Camera!"));
    EXPECT_EQ(dock(window, QStringLiteral("Camera Settings")), nullptr);
    EXPECT_EQ(dock(window, QStringLiteral("Camera Overview")), nullptr);
    EXPECT_TRUE(logged(QStringLiteral("No remaining cameras. Removing settings, videoCtrl and overview!")));

    // A rescan that finds the camera again brings the docks and the commands back.
    action(window, "Scan for Camera")->trigger();
    EXPECT_EQ(window.cameras().size(), 1u);
    EXPECT_TRUE(action(window, "Preview")->isEnabled());
    ASSERT_NE(dock(window, QStringLiteral("Camera Overview")), nullptr);
    EXPECT_NE(dock(window, QStringLiteral("Camera Overview"))->widget(), nullptr);
}

TEST_F(MainWindowTest, ColourChangeRecoloursItemDockIconAndSelectorEntry)
{
    MainWindow& window = makeWindow();
    QTreeWidgetItem* item = window.cameraOverview()->itemOf(22);
    ASSERT_NE(item, nullptr);
    auto* colourBox = qobject_cast<QComboBox*>(window.cameraOverview()->itemWidget(item->child(0), 1));
    ASSERT_NE(colourBox, nullptr);
    EXPECT_EQ(colourBox->currentText(), QStringLiteral("steelblue"));
    colourBox->setCurrentText(QStringLiteral("orchid"));

    const QColor orchid(QStringLiteral("orchid"));
    EXPECT_EQ(window.colours().at(22), QStringLiteral("orchid"));
    EXPECT_EQ(item->foreground(0).color(), orchid);
    EXPECT_EQ(item->text(0), QStringLiteral("Test camera 22 (22)"));
    EXPECT_EQ(tintOf(window.viewDock(22)->icon()), orchid);
    EXPECT_EQ(tintOf(window.cameraSelector()->itemIcon(1)), orchid);
    // Not the selected camera: the panel docks keep the first camera's colour.
    EXPECT_EQ(tintOf(dock(window, QStringLiteral("Camera Settings"))->icon()), QColor(QStringLiteral("green")));
    EXPECT_TRUE(logged(QStringLiteral("GUI adapted to new Camera color.")));
}

TEST_F(MainWindowTest, ColourChangeReachesThePlaybackControlAlsoWhilePlaying)
{
    MainWindow& window = makeWindow();
    vyk::AnyCamera& camera = *window.cameras().at(11);
    camera.record(6, vyk::RecordMode::Sequence);
    ASSERT_TRUE(QTest::qWaitFor([&] { return camera.getRecordedImageCount() >= 6u; }, 5000));
    camera.stop();
    window.acquisitions().at(11)->settings().imageCount = 6;
    VideoControl* video = window.videoControl();
    ASSERT_NE(video, nullptr);
    video->onRecordingDone(11);

    QComboBox* colourBox = colourBoxOf(window, 11);
    ASSERT_NE(colourBox, nullptr);
    // Looping keeps the playback running however fast the images go by.
    video->loopButton()->click();
    video->playButton()->click();
    ASSERT_TRUE(video->isPlaying());
    colourBox->setCurrentText(QStringLiteral("orchid"));
    EXPECT_TRUE(video->isPlaying());
    EXPECT_TRUE(video->titleLabel()->text().startsWith(QStringLiteral("<font color='orchid'>")))
        << video->titleLabel()->text().toStdString();

    video->playButton()->click();
    ASSERT_FALSE(video->isPlaying());
    colourBox->setCurrentText(QStringLiteral("gold"));
    EXPECT_TRUE(video->titleLabel()->text().startsWith(QStringLiteral("<font color='gold'>")));
    // Another camera's colour leaves the title alone.
    colourBoxOf(window, 22)->setCurrentText(QStringLiteral("violet"));
    EXPECT_TRUE(video->titleLabel()->text().startsWith(QStringLiteral("<font color='gold'>")));
}

TEST_F(MainWindowTest, BrightThemeTakesTintedIconsFromTheBlackSet)
{
    MainWindow& window = makeWindow();
    window.themeActions()->checkBrightness(QStringLiteral("Bright"));
    window.themeActions()->brightnessActions().at(1)->trigger();
    EXPECT_TRUE(qApp->property("activeStyleSheet").toString().contains(QStringLiteral("bright")));

    QTreeWidgetItem* item = window.cameraOverview()->itemOf(11);
    auto* colourBox = qobject_cast<QComboBox*>(window.cameraOverview()->itemWidget(item->child(0), 1));
    colourBox->setCurrentText(QStringLiteral("gold"));
    EXPECT_TRUE(logged(QStringLiteral("Loaded and colorized icon:  \":/icons/black/airplay-solid.svg\"")));
    EXPECT_TRUE(logged(QStringLiteral("Loaded and colorized icon:  \":/icons/black/computer.svg\"")));
    EXPECT_TRUE(logged(QStringLiteral("Loaded and colorized icon:  \":/icons/black/tools.svg\"")));
}

TEST_F(MainWindowTest, SetupOffersPixelFormatsOnlyWhenThereAreTwo)
{
    useCameras(nlohmann::json::array(
        {camera(11), camera(22, {{"sensor", {{"width", 64}, {"height", 48}, {"bits", 12}}}, {"pixel_formats", {12, 8}}})}));
    MainWindow& window = makeWindow();

    int rows = -1;
    answerer_->on(QStringLiteral("Setup"), [&rows](QWidget* dialog) {
        auto* tree = dialog->findChild<QTreeWidget*>();
        rows = tree->topLevelItem(0)->childCount();
        EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Settings"));
        if (auto* box = dialog->findChild<QComboBox*>()) {
            EXPECT_EQ(box->currentText(), QStringLiteral("12"));
            box->setCurrentText(QStringLiteral("8"));
        }
        qobject_cast<QDialog*>(dialog)->accept();
    });
    action(window, "Setup")->trigger();
    EXPECT_EQ(rows, 0);

    window.cameraSelector()->setCurrentIndex(1);
    action(window, "Setup")->trigger();
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(window.cameras().at(22)->getConfiguration().pixel_format, 0x10u);
}

TEST_F(MainWindowTest, WarningsShowTheLowestBitAndIgnoreSilencesTheBox)
{
    useCameras(nlohmann::json::array({camera(11, {{"health", {{"warnings", 6}}}})}));
    MainWindow& window = makeWindow();
    answerer_->click(QStringLiteral("Camera Warning"), QStringLiteral("Ignore"));

    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Warning")), 1);
    EXPECT_TRUE(window.healthMonitor()->ignoreWarnings());
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Power supply temperature near limit"));
    EXPECT_EQ(window.statusBar()->styleSheet(), QStringLiteral("QStatusBar { color:#F9A825; }"));

    // Still amber every tick, but no box until the recording state changes.
    window.statusBar()->clearMessage();
    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Warning")), 1);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Power supply temperature near limit"));

    answerer_->click(QStringLiteral("Camera Warning"), QStringLiteral("OK"));
    QMetaObject::invokeMethod(&window, "onRecordingDone", Q_ARG(DWORD, 11));
    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Warning")), 2);
    EXPECT_FALSE(window.healthMonitor()->ignoreWarnings());
    EXPECT_EQ(window.cameras().size(), 1u); // warnings never remove a camera
}

TEST_F(MainWindowTest, HardwareErrorRemovesTheFirstCameraAndSparesTheSecondThisTick)
{
    const nlohmann::json errors = {{"health", {{"errors", 0x10 | 0x20000}}}};
    useCameras(nlohmann::json::array({camera(11, errors), camera(22, errors)}));
    MainWindow& window = makeWindow();
    answerer_->click(QStringLiteral("Camera Error"), QStringLiteral("OK"));

    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Error")), 1);
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Error!")), 0); // removal without a second box
    EXPECT_EQ(window.cameras().count(11), 0u);
    EXPECT_EQ(window.cameras().count(22), 1u);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("External battery completely discharged"));
    EXPECT_EQ(window.statusBar()->styleSheet(), QStringLiteral("QStatusBar { color:#E53935; }"));
    EXPECT_EQ(loggedCount(QStringLiteral("Checking Health of camera:  22")), 0);

    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_TRUE(window.cameras().empty());
    EXPECT_FALSE(action(window, "Record")->isEnabled());
}

TEST_F(MainWindowTest, NoSecondHealthCheckWhileAHealthBoxIsOpen)
{
    useCameras(nlohmann::json::array({camera(11, {{"health", {{"warnings", 0x1}, {"errors", 0x8}}}})}));
    MainWindow& window = makeWindow();
    window.healthTimer()->stop();
    // The first box of each kind meets a timer tick while it waits for the user, as the
    // 5 s timer would during a long wait; then it is closed. Later boxes close at once.
    for (const QString& title : {QStringLiteral("Camera Warning"), QStringLiteral("Camera Error")}) {
        answerer_->on(title, [this, &window, title](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            if (answerer_->count(title) > 1) {
                clickButton(box, QStringLiteral("OK"));
                return;
            }
            QTimer::singleShot(0, &window, [&window, box] {
                QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
                clickButton(box, QStringLiteral("OK"));
            });
        });
    }

    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Warning")), 1);
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Error")), 1);
    EXPECT_EQ(loggedCount(QStringLiteral("Processing error in camera:  11")), 1);
    EXPECT_TRUE(window.cameras().empty());

    // The check after the boxes runs again.
    useCameras(nlohmann::json::array({camera(11, {{"health", {{"warnings", 0x1}}}})}));
    action(window, "Scan for Camera")->trigger();
    ASSERT_EQ(window.cameras().size(), 1u);
    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(answerer_->count(QStringLiteral("Camera Warning")), 2);
}

TEST_F(MainWindowTest, ClosingWhilePreviewingSendsNoRunEndToTheDeletedAcquisition)
{
    MainWindow& window = makeWindow();
    action(window, "Preview")->trigger();
    ASSERT_TRUE(window.acquisitions().at(11)->isRunning());
    const QString runEnd = QStringLiteral("Enable videoctrl due to recording done for camera:  11");
    const int before = loggedCount(runEnd);

    // Closing stops the preview by deleting its acquisition object; the end of that run must
    // not reach the playback control, which would read the deleted object.
    window.close();
    ASSERT_TRUE(window.acquisitions().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(loggedCount(runEnd), before);
}

TEST_F(MainWindowTest, CloseSavesStateAndPerspectives)
{
    MainWindow& window = makeWindow();
    window.close();
    EXPECT_TRUE(window.acquisitions().empty());
    EXPECT_FALSE(setting(QStringLiteral("Dockmanager/DockingState")).toByteArray().isEmpty());
    EXPECT_EQ(setting(QStringLiteral("mainWindow/StyleSheet")).toString(), QStringLiteral("Dark"));
    EXPECT_TRUE(logged(QStringLiteral("Perspectives successfully saved in:")));
    EXPECT_TRUE(logged(QStringLiteral("Deleted histogramWidget")));
    EXPECT_EQ(dock(window, QStringLiteral("Histogram")), nullptr);
}

#ifdef RASTEL_DEVSERVER
TEST_F(MainWindowTest, RemoteCamerasFromADeviceServerOnLoopback)
{
    // The server serves its own camera set; this process sees no local camera.
    const QString serverSet = dir_.filePath(QStringLiteral("server-cameras.json"));
    {
        QFile file(serverSet);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(nlohmann::json{{"cameras", {camera(5001), camera(5002)}}}.dump()));
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral(RASTEL_DEVSERVER),
                 {"--bind", "127.0.0.1", "--base-port", "0", "--discovery-port", QString::number(discoveryPort_),
                  "--config", serverSet, "--data-dir", dir_.filePath(QStringLiteral("server-data")),
                  "--no-light-sources", "--dxr-storage-mib", "16"});
    ASSERT_TRUE(server.waitForStarted(5000));
    QByteArray output;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (output += server.readAll()).contains("ready"); }, 10000));

    setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("remote"));
    answerer_->on(QStringLiteral("Select Remote Devices"), [](QWidget* dialog) {
        auto* selection = qobject_cast<CameraSelectionDialog*>(dialog);
        ASSERT_NE(selection, nullptr);
        ASSERT_EQ(selection->table()->rowCount(), 2);
        for (int row = 0; row < 2; ++row)
            selection->table()->cellWidget(row, 0)->findChild<QCheckBox*>()->setChecked(true);
        selection->findChild<QPushButton*>()->click();
    });
    MainWindow& window = makeWindow(false);
    ASSERT_EQ(window.cameras().size(), 2u);
    EXPECT_TRUE(window.cameras().at(5001)->isRemote());
    EXPECT_EQ(window.colours().at(5002), QStringLiteral("steelblue"));
    EXPECT_TRUE(logged(QStringLiteral("Added remote camera:  \"127.0.0.1\" :")));
    EXPECT_EQ(setting(QStringLiteral("mainWindow/AskRemoteUsage")).toString(), QStringLiteral("false"));
    EXPECT_EQ(window.acquisitions().size(), 2u);
    ASSERT_NE(window.viewDock(5001), nullptr);

    // Remote cameras are not polled by the health check.
    QMetaObject::invokeMethod(&window, "onCameraHealthTimeout");
    EXPECT_EQ(loggedCount(QStringLiteral("Checking Health of camera:")), 0);
    EXPECT_EQ(window.cameras().size(), 2u);

    window_.reset();
    server.terminate();
    EXPECT_TRUE(server.waitForFinished(5000));
}
#endif
