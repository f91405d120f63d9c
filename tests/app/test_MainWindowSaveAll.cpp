// Saving images and "Record" in the main window while the event loop runs under them: nothing
// may replace the images being saved, and a camera that goes away in between (camera removal,
// rescan, closing the window) ends the command cleanly.
#include "MainWindowFixture.h"

#include "MainWindow.h"

#include "acquisition/CameraAcquisition.h"
#include "camera/AnyCamera.h"
#include "widgets/CameraSettingsTree.h"
#include "widgets/SaveImageFileDialog.h"
#include "widgets/VideoControl.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QAction* action(MainWindow& window, const char* text)
{
    return window.findChild<QAction*>(QString::fromLatin1(text));
}

} // namespace

class SaveAllTest : public MainWindowTest {
protected:
    // Records images into serial's memory and shows the window the finished recording.
    void recordInto(MainWindow& window, DWORD serial, int images)
    {
        vyk::AnyCamera& camera = *window.cameras().at(serial);
        camera.record(static_cast<uint32_t>(images), vyk::RecordMode::Sequence);
        ASSERT_TRUE(QTest::qWaitFor([&] { return camera.getRecordedImageCount() >= static_cast<uint32_t>(images); }, 5000));
        camera.stop();
        AcquisitionSettings& settings = window.acquisitions().at(serial)->settings();
        settings.imageCount = images;
        settings.recMode = vyk::RecordMode::Sequence;
        QMetaObject::invokeMethod(&window, "onRecordingDone", Q_ARG(DWORD, serial));
        window.videoControl()->onRecordingDone(serial);
        ASSERT_TRUE(window.videoControl()->isEnabled());
    }

    // Runs "Save all Images" into folder/seq.tif; during runs in the saving loop, before the
    // first image is written.
    void saveAll(MainWindow& window, const QDir& folder, std::function<void()> during)
    {
        answerer_->on(QStringLiteral("Save All Images"), [&window, folder, during](QWidget* widget) {
            auto* dialog = qobject_cast<SaveImageFileDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(folder.filePath(QStringLiteral("seq.tif")));
            QTimer::singleShot(0, &window, during);
            static_cast<QDialog*>(dialog)->accept();
        });
        QAction* saveAllAction = action(window, "Save all Images");
        ASSERT_TRUE(saveAllAction->isEnabled());
        saveAllAction->trigger();
    }

    // A fresh folder for one run's files.
    QDir folder(const QString& name)
    {
        QDir().mkpath(dir_.filePath(name));
        return QDir(dir_.filePath(name));
    }

    QString statusText() { return window_->statusBar()->currentMessage(); }
};

TEST_F(SaveAllTest, NothingReplacesTheImagesWhileTheyAreSaved)
{
    MainWindow& window = makeWindow();
    recordInto(window, 11, 5);
    const QDir files = folder(QStringLiteral("locked"));

    std::map<QString, bool> enabledDuring;
    saveAll(window, files, [&] {
        for (const char* name : {"Preview", "Record", "Trigger", "Scan for Camera", "Save all Images"})
            enabledDuring[QLatin1String(name)] = action(window, name)->isEnabled();
        enabledDuring[QStringLiteral("selector")] = window.cameraSelector()->isEnabled();
        enabledDuring[QStringLiteral("settings")] = window.settingsTree()->isEnabled();
        enabledDuring[QStringLiteral("playback")] = window.videoControl()->isEnabled();
        // Reached however the buttons got there: refused, so no second run writes into the
        // same camera's images.
        QMetaObject::invokeMethod(&window, "onPreviewButtonPressed", Q_ARG(bool, true));
        QMetaObject::invokeMethod(&window, "onSequenceButtonPressed", Q_ARG(bool, true));
    });

    for (const auto& [name, enabled] : enabledDuring)
        EXPECT_FALSE(enabled) << name.toStdString();
    EXPECT_EQ(enabledDuring.size(), 8u);
    EXPECT_FALSE(window.acquisitions().at(11)->isRunning());
    EXPECT_FALSE(logged(QStringLiteral("Preview start requested for camera:  11")));
    EXPECT_FALSE(logged(QStringLiteral("Record sequence start requested. Camera:  11")));
    EXPECT_FALSE(action(window, "Preview")->isChecked());
    EXPECT_FALSE(action(window, "Record")->isChecked());
    EXPECT_EQ(statusText(), QStringLiteral("Saving images done!"));
    EXPECT_EQ(files.entryList({QStringLiteral("*.tif")}, QDir::Files).size(), 5);

    // Afterwards everything is usable again.
    for (const char* name : {"Preview", "Record", "Scan for Camera", "Save all Images"})
        EXPECT_TRUE(action(window, name)->isEnabled()) << name;
    EXPECT_FALSE(action(window, "Trigger")->isEnabled());
    EXPECT_TRUE(window.cameraSelector()->isEnabled());
    EXPECT_TRUE(window.settingsTree()->isEnabled());
    EXPECT_TRUE(window.videoControl()->isEnabled());
}

TEST_F(SaveAllTest, SavingStopsCleanlyWhenTheCameraGoes)
{
    const std::vector<std::pair<const char*, std::function<void(MainWindow&)>>> ways{
        {"removed by the health check", [](MainWindow& window) { emit window.camError(11, false); }},
        {"rescan", [](MainWindow& window) { QMetaObject::invokeMethod(&window, "onScanCameraPressed"); }},
        {"window closed", [](MainWindow& window) { window.close(); }},
    };
    int run = 0;
    for (const auto& [way, loseCamera] : ways) {
        SCOPED_TRACE(way);
        window_.reset();
        useCameras(nlohmann::json::array({camera(11), camera(22)}));
        MainWindow& window = makeWindow();
        recordInto(window, 11, 4);
        const QDir files = folder(QStringLiteral("gone%1").arg(run++));
        const QPointer<CameraAcquisition> saved = window.acquisitions().at(11);
        bool lost = false;
        saveAll(window, files, [&] {
            loseCamera(window);
            lost = saved.isNull();
        });
        ASSERT_TRUE(lost);
        EXPECT_EQ(statusText(), QStringLiteral("Saving aborted!"));
        EXPECT_TRUE(files.entryList(QDir::Files).isEmpty()) << files.entryList(QDir::Files).join(',').toStdString();
        EXPECT_TRUE(logged(QStringLiteral("Camera:  11  was removed while its images were being saved.")));
    }
}

TEST_F(SaveAllTest, SavingOneImageStopsCleanlyWhenTheCameraGoesDuringTheDialog)
{
    MainWindow& window = makeWindow();
    recordInto(window, 11, 2);
    const QDir files = folder(QStringLiteral("one"));
    answerer_->on(QStringLiteral("Save Current Image"), [&window, files](QWidget* widget) {
        auto* dialog = qobject_cast<SaveImageFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(files.filePath(QStringLiteral("one.tif")));
        // The camera goes while the dialog is still open.
        QTimer::singleShot(0, &window, [&window, dialog] {
            emit window.camError(11, false);
            static_cast<QDialog*>(dialog)->accept();
        });
    });
    action(window, "Save current Image as")->trigger();
    EXPECT_EQ(window.cameras().count(11), 0u);
    EXPECT_EQ(statusText(), QStringLiteral("Saving aborted!"));
    EXPECT_TRUE(files.entryList(QDir::Files).isEmpty());
}

TEST_F(SaveAllTest, RecordStopsCleanlyWhenTheCameraGoesWhileItsPreviewStops)
{
    MainWindow& window = makeWindow();
    action(window, "Preview")->trigger();
    ASSERT_TRUE(window.acquisitions().at(11)->isRunning());
    // A removal already waiting in the event queue, as a failing worker or the health check
    // leaves it, is handled while the record command lets the stopped preview end.
    QMetaObject::invokeMethod(&window, "camError", Qt::QueuedConnection, Q_ARG(DWORD, 11), Q_ARG(bool, false));
    QMetaObject::invokeMethod(&window, "onSequenceButtonPressed", Q_ARG(bool, true));

    EXPECT_EQ(window.cameras().count(11), 0u);
    EXPECT_TRUE(logged(QStringLiteral("Camera:  11  was removed before its recording could start.")));
    EXPECT_FALSE(logged(QStringLiteral("Could not start cameraThread, camera was released.")));
    EXPECT_FALSE(window.acquisitions().at(22)->isRunning());
    EXPECT_FALSE(action(window, "Record")->isChecked());
    EXPECT_TRUE(action(window, "Record")->isEnabled());
}
