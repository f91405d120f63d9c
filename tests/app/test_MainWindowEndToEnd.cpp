// The real main window end to end with simulated cameras and the simulated light source:
// preview into the views and the histogram, a memory sequence stepped through with the
// playback control, each camera's own playback range, the histogram of four cameras, saving
// the latest image, the panels following a camera switch and a camera's removal, and the
// light-source dock across a rescan.
#include "MainWindowFixture.h"

#include "MainWindow.h"

#include "acquisition/CameraAcquisition.h"
#include "lightsource/panel/LumraControl.h"
#include "view/HistogramPlot.h"
#include "view/HistogramWidget.h"
#include "view/VtkViewWidget.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/RangeSlider.h"
#include "widgets/SaveImageFileDialog.h"
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VideoControl.h"

#include <qtadvanceddocking/DockWidget.h>

#include <qwt_scale_widget.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int kWaitMs = 10000;
// The simulated light-source library's built-in device.
constexpr DWORD kLightSourceSerial = 7001;

QAction* action(MainWindow& window, const QString& text)
{
    auto* found = window.findChild<QAction*>(text);
    EXPECT_NE(found, nullptr) << text.toStdString();
    return found;
}

// Records images into the selected camera's memory with "Record" and waits for the end.
void recordSequence(MainWindow& window, int images)
{
    const CommandsContext& commands = window.commandsContext();
    window.settingsTree()->setImageCount(images);
    commands.record->trigger(); // returns once the recording has started
    EXPECT_TRUE(commands.record->isChecked());
    EXPECT_FALSE(commands.preview->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !commands.record->isChecked() && commands.record->isEnabled(); },
                                kWaitMs));
}

} // namespace

TEST_F(MainWindowTest, PreviewShowsImagesInTheViewAndCountsInTheHistogram)
{
    MainWindow& window = makeWindow();
    HistogramWidget* histogram = window.histogram();
    ASSERT_NE(histogram, nullptr);
    EXPECT_EQ(histogram->cameras(), (QList<DWORD>{11, 22}));
    if (window.histogramDock()->isClosed())
        window.histogramDock()->toggleView(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return histogram->isThreadRunning(11); }, kWaitMs));

    const CommandsContext& commands = window.commandsContext();
    VtkViewWidget* view = window.views().at(11);
    const auto before = view->displayedImage();
    commands.preview->trigger();
    EXPECT_TRUE(window.acquisitions().at(11)->isRunning());
    EXPECT_TRUE(commands.preview->isChecked());
    EXPECT_FALSE(commands.record->isEnabled());
    EXPECT_FALSE(action(window, QStringLiteral("Scan for Camera"))->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->displayedImage() && view->displayedImage() != before; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return histogram->imagesCounted(11) > 0; }, kWaitMs));
    EXPECT_EQ(histogram->imagesCounted(22), 0u);

    commands.preview->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return commands.record->isEnabled(); }, kWaitMs));
    EXPECT_FALSE(commands.preview->isChecked());
    EXPECT_FALSE(window.acquisitions().at(11)->isRunning());
    EXPECT_TRUE(action(window, QStringLiteral("Scan for Camera"))->isEnabled());
}

TEST_F(MainWindowTest, MemorySequenceRecordsAndThePlaybackControlStepsThroughIt)
{
    MainWindow& window = makeWindow();
    VideoControl* video = window.videoControl();
    ASSERT_NE(video, nullptr);
    recordSequence(window, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->isEnabled(); }, kWaitMs));
    EXPECT_EQ(window.acquisitions().at(11)->availableImageCount(), 5);
    EXPECT_TRUE(window.commandsContext().saveAll->isEnabled());

    EXPECT_EQ(video->currentIndex(), 0);
    video->stepForwardButton()->click();
    EXPECT_EQ(video->currentIndex(), 1);
    video->lastButton()->click();
    EXPECT_EQ(video->currentIndex(), 4);
    video->stepForwardButton()->click();
    EXPECT_EQ(video->currentIndex(), 4);
    video->firstButton()->click();
    EXPECT_EQ(video->currentIndex(), 0);
}

TEST_F(MainWindowTest, EachCameraPlaysItsOwnRangeAfterASwitch)
{
    MainWindow& window = makeWindow();
    VideoControl* video = window.videoControl();
    ASSERT_NE(video, nullptr);
    QComboBox* selector = window.cameraSelector();
    recordSequence(window, 8);
    selector->setCurrentIndex(1);
    recordSequence(window, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video->isEnabled() && video->slider()->maximum() == 10; }, kWaitMs));

    // From the camera with 8 images back to the one with 10: all 10 play.
    selector->setCurrentIndex(0);
    EXPECT_EQ(video->serial(), 11u);
    EXPECT_EQ(video->slider()->maximum(), 8);
    selector->setCurrentIndex(1);
    EXPECT_EQ(video->rangeUpper(), 9);
    video->firstButton()->click();
    video->playButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video->isPlaying(); }, kWaitMs));
    EXPECT_EQ(video->currentIndex(), 9);
    EXPECT_EQ(video->positionLabel()->text(), QStringLiteral("Image 10 / 10"));

    // A range narrowed on one camera shows only there, and is there again after a switch.
    video->slider()->setLowerValue(3);
    video->slider()->setUpperValue(5);
    selector->setCurrentIndex(0);
    EXPECT_EQ(video->rangeLower(), 0);
    EXPECT_EQ(video->rangeUpper(), 7);
    EXPECT_EQ(video->slider()->lowerValue(), 1);
    EXPECT_EQ(video->slider()->upperValue(), 8);
    selector->setCurrentIndex(1);
    EXPECT_EQ(video->slider()->lowerValue(), 3);
    EXPECT_EQ(video->slider()->upperValue(), 5);
    video->playButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !video->isPlaying(); }, kWaitMs));
    EXPECT_EQ(video->currentIndex(), 4);
}

TEST_F(MainWindowTest, HistogramWindowWithFourCamerasKeepsEveryPlotReadable)
{
    useCameras(nlohmann::json::array({camera(11), camera(22), camera(33), camera(44)}));
    MainWindow& window = makeWindow();
    HistogramWidget* histogram = window.histogram();
    ASSERT_NE(histogram, nullptr);
    if (window.histogramDock()->isClosed())
        window.histogramDock()->toggleView(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(histogram));
    const QList<DWORD> serials = histogram->cameras();
    ASSERT_EQ(serials.size(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return histogram->plot(44)->y() > histogram->plot(11)->y(); }, kWaitMs));
    // The dock keeps its size; the plots keep theirs and the histogram scrolls.
    for (DWORD serial : serials) {
        HistogramPlot* plot = histogram->plot(serial);
        EXPECT_GE(plot->height(), HistogramWidget::kMinPlotHeight) << serial;
        EXPECT_GE(plot->canvas()->height(), plot->axisWidget(QwtPlot::yLeft)->minimumSizeHint().height()) << serial;
    }
    EXPECT_GT(histogram->plot(44)->mapTo(histogram, QPoint(0, 0)).y(), histogram->height()) << "the last plot lies below";
}

TEST_F(MainWindowTest, SaveLatestImageWritesAFileAndThenReusesItsPath)
{
    MainWindow& window = makeWindow();
    recordSequence(window, 3);
    const QString path = dir_.filePath(QStringLiteral("latest.tif"));
    answerer_->on(QStringLiteral("Save Current Image"), [path](QWidget* widget) {
        auto* dialog = qobject_cast<SaveImageFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    QAction* saveLatest = action(window, QStringLiteral("Save latest Image"));
    saveLatest->trigger();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_GT(QFile(path).size(), 64 * 48 * 2);

    saveLatest->trigger();
    EXPECT_EQ(answerer_->count(QStringLiteral("Save Current Image")), 1);
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("latest_1.tif"))));
}

TEST_F(MainWindowTest, PanelsAndCommandsFollowACameraSwitch)
{
    MainWindow& window = makeWindow();
    CameraSettingsTree* tree = window.settingsTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->settingValue(QStringLiteral("Serial")).toUInt(), 11u);
    EXPECT_EQ(window.videoControl()->serial(), 11u);

    window.cameraSelector()->setCurrentIndex(1);
    EXPECT_EQ(tree->settingValue(QStringLiteral("Serial")).toUInt(), 22u);
    EXPECT_EQ(window.videoControl()->serial(), 22u);

    const CommandsContext& commands = window.commandsContext();
    commands.preview->trigger();
    EXPECT_TRUE(window.acquisitions().at(22)->isRunning());
    EXPECT_FALSE(window.acquisitions().at(11)->isRunning());
    // Back on the idle camera the buttons show its state, not the other's preview.
    window.cameraSelector()->setCurrentIndex(0);
    EXPECT_EQ(tree->settingValue(QStringLiteral("Serial")).toUInt(), 11u);
    EXPECT_FALSE(commands.preview->isChecked());
    EXPECT_TRUE(commands.record->isEnabled());
    window.acquisitions().at(22)->stopCameraThreads();
}

TEST_F(MainWindowTest, RemovingTheShownCameraMovesEveryPanelToTheRemainingOne)
{
    MainWindow& window = makeWindow();
    ASSERT_NE(window.lumraControl(), nullptr);
    EXPECT_EQ(window.lumraControl()->controlModeBox()->count(), 3); // "Manual" and both cameras

    emit window.camError(11, false);
    EXPECT_EQ(window.cameras().count(11), 0u);
    EXPECT_EQ(window.settingsTree()->settingValue(QStringLiteral("Serial")).toUInt(), 22u);
    EXPECT_EQ(window.videoControl()->serial(), 22u);
    EXPECT_EQ(window.histogram()->cameras(), QList<DWORD>{22});
    EXPECT_EQ(window.lumraControl()->controlModeBox()->count(), 2);
    EXPECT_TRUE(window.commandsContext().preview->isEnabled());

    // The last camera gone: the playback control goes with its acquisition object.
    emit window.camError(22, false);
    EXPECT_EQ(window.videoControl(), nullptr);
    EXPECT_FALSE(window.commandsContext().preview->isEnabled());
}

TEST_F(MainWindowTest, LightSourceDockListsTheSimulatedLightSourceAcrossARescan)
{
    MainWindow& window = makeWindow();
    ASSERT_NE(window.lumraDock(), nullptr);
    EXPECT_EQ(window.lumraDock()->objectName(), QStringLiteral("Lumra Control"));
    ASSERT_NE(window.lumraControl(), nullptr);
    EXPECT_EQ(window.lumraControl()->lightSourceSerials(), std::vector<DWORD>{kLightSourceSerial});
    EXPECT_EQ(window.lightSources().size(), 1u);
    EXPECT_TRUE(logged(QStringLiteral("Local Lumra added! Name: ")));

    // The rebuilt panel finds the same light source again: the old one let go of it first.
    action(window, QStringLiteral("Scan for Camera"))->trigger();
    ASSERT_NE(window.lumraControl(), nullptr);
    EXPECT_EQ(window.lumraControl()->lightSourceSerials(), std::vector<DWORD>{kLightSourceSerial});
    EXPECT_EQ(window.lumraControl()->controlModeBox()->count(), 3);
}
