// Preview, record and trigger commands against simulated cameras: the requests they make of
// the acquisition object, the file names of file recordings, the image-count reduction, and
// the command buttons' states.

#include "test_CommandsFixture.h"

#include "camera/Configuration.h"

#include <QMessageBox>
#include <QDir>
#include <QFileDialog>
#include <QTest>

namespace {

// Answers the "Save Sequence" dialog with file under filter.
ModalAnswerer::Handler chooseFile(const QString& file, const QString& filter)
{
    return [file, filter](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        dialog->selectNameFilter(filter);
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
    };
}

} // namespace

TEST_F(CommandsTest, PreviewStartsAndStopsWithButtonStates)
{
    build();
    CameraAcquisition& acq = acquisition(11);
    record_->onPreviewButtonPressed(true);
    EXPECT_TRUE(acq.isRunning());
    EXPECT_EQ(acq.settings().mode, AcquisitionSettings::kPreview);
    EXPECT_EQ(acq.settings().recMode, vyk::RecordMode::RingBuffer);
    EXPECT_EQ(acq.settings().imageCount, 10);
    EXPECT_EQ(acq.settings().linesPerImage, -1);
    EXPECT_TRUE(context_.preview->isChecked());
    EXPECT_TRUE(context_.preview->isEnabled());
    EXPECT_FALSE(context_.record->isEnabled());
    EXPECT_FALSE(context_.trigger->isEnabled());
    EXPECT_FALSE(context_.scan->isEnabled());
    EXPECT_FALSE(context_.saveAll->isEnabled());
    EXPECT_TRUE(logged(QStringLiteral("Preview start requested for camera:  11")));

    record_->onPreviewButtonPressed(false);
    EXPECT_FALSE(acq.isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return context_.record->isEnabled(); }, 5000));
    EXPECT_FALSE(context_.preview->isChecked());
    EXPECT_TRUE(context_.saveAll->isEnabled());
    EXPECT_TRUE(context_.scan->isEnabled());
}

TEST_F(CommandsTest, MemorySequenceRecordsTreeCountAndReportsIt)
{
    build();
    tree_->setImageCount(5);
    record_->onSequenceButtonPressed(true);
    CameraAcquisition& acq = acquisition(11);
    EXPECT_EQ(acq.settings().mode, AcquisitionSettings::kSequence);
    EXPECT_EQ(acq.settings().recMode, vyk::RecordMode::SequenceNonBlocking);
    EXPECT_EQ(statusText(), QStringLiteral("Started Record with imagecount: 5"));
    EXPECT_TRUE(context_.record->isChecked());
    EXPECT_FALSE(context_.preview->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !context_.record->isChecked(); }, 5000));
    EXPECT_EQ(acq.availableImageCount(), 5);
    EXPECT_TRUE(context_.preview->isEnabled());
}

TEST_F(CommandsTest, CountBeyondMemoryIsReducedAndWrittenBack)
{
    // 8 MiB images: 20000 of them exceed the memory of any test machine.
    useCameras(nlohmann::json::array({camera(11, {{"sensor", {{"width", 2048}, {"height", 2048}}}})}));
    build();
    cameras_.at(11)->setExposureTime(0.2);
    tree_->setImageCount(20000);
    record_->onSequenceButtonPressed(true);
    const QString prefix = QStringLiteral("Required Image count too much for system memory. Reduced to: ");
    const QString message = statusText();
    acquisition(11).stopCameraThreads();
    ASSERT_TRUE(message.startsWith(prefix)) << message.toStdString();
    const int reduced = message.mid(prefix.size()).toInt();
    EXPECT_GT(reduced, 0);
    EXPECT_LT(reduced, 20000);
    EXPECT_EQ(tree_->settingValue(QStringLiteral("Image Count")).toInt(), reduced);
}

TEST_F(CommandsTest, CommandsWithoutAnAcquisitionObjectAreWithdrawn)
{
    build();
    delete acquisitions_.at(11);
    acquisitions_.erase(11);
    for (QAction* command : {context_.preview, context_.record}) {
        command->setChecked(true);
        if (command == context_.preview)
            record_->onPreviewButtonPressed(true);
        else
            record_->onSequenceButtonPressed(true);
        EXPECT_FALSE(command->isChecked());
        EXPECT_TRUE(command->isEnabled());
    }
}

TEST_F(CommandsTest, RecordWhilePreviewingStopsThePreviewFirst)
{
    build();
    record_->onPreviewButtonPressed(true);
    ASSERT_TRUE(acquisition(11).isRunning());
    tree_->setImageCount(3);
    record_->onSequenceButtonPressed(true);
    EXPECT_TRUE(logged(QStringLiteral("already had an active task ( 0 ). Stopping it before starting the new recording request.")));
    EXPECT_EQ(acquisition(11).settings().mode, AcquisitionSettings::kSequence);
    // The preview's end must not have reset the buttons of the recording.
    EXPECT_TRUE(context_.record->isChecked());
    EXPECT_FALSE(context_.preview->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !context_.record->isChecked(); }, 5000));
}

TEST_F(CommandsTest, FileRecordingNamesTheFileAfterTheSelectorPosition)
{
    build();
    select(22);
    setTreeCombo(QStringLiteral("Record Mode"), QStringLiteral("File"));
    tree_->setImageCount(2);
    const QString folder = dir_.filePath(QStringLiteral("rec"));
    QDir().mkpath(folder);
    answerer_->on(QStringLiteral("Save Sequence"),
                  chooseFile(QDir(folder).filePath(QStringLiteral("run.tif")), QStringLiteral("TIFF Files (*.tif)")));
    record_->onSequenceButtonPressed(true);
    CameraAcquisition& acq = acquisition(22);
    EXPECT_EQ(acq.settings().mode, AcquisitionSettings::kFile);
    EXPECT_EQ(acq.settings().recMode, vyk::RecordMode::Tif);
    EXPECT_EQ(QString::fromStdString(acq.settings().filePath), QDir(folder).filePath(QStringLiteral("runCam02.tif")));
    EXPECT_EQ(context_.lastPath, QDir(folder).filePath(QStringLiteral("run.tif")));
    record_->onSequenceButtonPressed(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !context_.record->isChecked(); }, 5000));

    // No suffix and the DICOM filter: the extension comes from the filter.
    answerer_->on(QStringLiteral("Save Sequence"),
                  chooseFile(QDir(folder).filePath(QStringLiteral("run")), QStringLiteral("DICOM Files (*.dcm)")));
    record_->onSequenceButtonPressed(true);
    EXPECT_EQ(acq.settings().recMode, vyk::RecordMode::Dicom);
    EXPECT_EQ(QString::fromStdString(acq.settings().filePath), QDir(folder).filePath(QStringLiteral("runCam02.dcm")));
    EXPECT_EQ(context_.lastPath, QDir(folder).filePath(QStringLiteral("run.dcm")));
    record_->onSequenceButtonPressed(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !context_.record->isChecked(); }, 5000));
    EXPECT_EQ(answerer_->count(QStringLiteral("Save Sequence")), 2);
    EXPECT_FALSE(logged(QStringLiteral("Error starting Record")));
    EXPECT_FALSE(QDir(folder).entryList({QStringLiteral("runCam02*")}, QDir::Files).isEmpty());
}

TEST_F(CommandsTest, FileRecordingLongerThanThePreviewKeepsItsImageCount)
{
    // Every image of a file recording goes to disk: 40 images are no reduction, and all of
    // them can be shown afterwards, not only the newest few the recorder keeps in memory.
    build();
    select(22);
    setTreeCombo(QStringLiteral("Record Mode"), QStringLiteral("File"));
    tree_->setImageCount(40);
    const QString folder = dir_.filePath(QStringLiteral("long"));
    QDir().mkpath(folder);
    answerer_->on(QStringLiteral("Save Sequence"), chooseFile(QDir(folder).filePath(QStringLiteral("long.tif")),
                                                              QStringLiteral("Multi-TIFF Files (*.tif)")));
    record_->onSequenceButtonPressed(true);
    EXPECT_EQ(statusText().toStdString(), "Started Record with imagecount: 40");
    EXPECT_EQ(tree_->settingValue(QStringLiteral("Image Count")).toInt(), 40);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !context_.record->isChecked(); }, 20000));
    CameraAcquisition& acq = acquisition(22);
    EXPECT_EQ(acq.settings().recMode, vyk::RecordMode::Multitif);
    EXPECT_EQ(acq.availableImageCount(), 40);
    EXPECT_EQ(acq.showImage(39), 39);
}

TEST_F(CommandsTest, CancelledFileDialogResetsTheButtons)
{
    build();
    setTreeCombo(QStringLiteral("Record Mode"), QStringLiteral("File"));
    context_.record->setChecked(true);
    record_->onSequenceButtonPressed(true); // the answerer rejects the dialog
    EXPECT_EQ(answerer_->count(QStringLiteral("Save Sequence")), 1);
    EXPECT_FALSE(acquisition(11).isRunning());
    EXPECT_FALSE(context_.record->isChecked());
    EXPECT_TRUE(context_.record->isEnabled());
}

TEST_F(CommandsTest, SoftTriggerReachesTheRunningAcquisition)
{
    build();
    setTreeCombo(QStringLiteral("Trigger Mode"), QStringLiteral("Soft Trigger"));
    record_->onPreviewButtonPressed(true);
    EXPECT_EQ(acquisition(11).settings().triggerMode, 1);
    EXPECT_TRUE(context_.trigger->isEnabled());
    record_->onSoftTriggerButtonPressed();
    EXPECT_TRUE(logged(QStringLiteral("Trigger for camera:  11  requested")));
    EXPECT_TRUE(acquisition(11).isRunning());
    record_->onPreviewButtonPressed(false);
}

TEST_F(CommandsTest, SelectingRecordingAndIdleCamerasAndPlayback)
{
    build();
    tree_->setImageCount(3);
    record_->onPreviewButtonPressed(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return cameras_.at(11)->isRecording(); }, 5000));
    // An idle camera selected: buttons back to idle, though camera 11 still previews.
    select(22);
    record_->onRecordingDone(22);
    EXPECT_TRUE(context_.preview->isEnabled());
    EXPECT_FALSE(context_.preview->isChecked());
    EXPECT_FALSE(context_.scan->isEnabled()); // camera 11 records
    // The recording camera selected again: running state.
    select(11);
    record_->onRecordingInProgress();
    EXPECT_TRUE(context_.preview->isChecked());
    EXPECT_FALSE(context_.record->isEnabled());
    record_->onPreviewButtonPressed(false);

    // Playback of the selected camera blocks both commands.
    record_->onPlaybackStateChanged(11, true);
    EXPECT_FALSE(context_.preview->isEnabled());
    EXPECT_FALSE(context_.record->isEnabled());
    record_->onPlaybackStateChanged(22, false); // not selected: ignored
    EXPECT_FALSE(context_.preview->isEnabled());
    record_->onPlaybackStateChanged(11, false);
    EXPECT_TRUE(context_.preview->isEnabled());
    EXPECT_TRUE(context_.record->isEnabled());
}

TEST_F(CommandsTest, BitDepthFollowsThePixelFormatFlag)
{
    useCameras(nlohmann::json::array({camera(11), camera(22, {{"pixel_formats", {16, 12}}})}));
    build();
    vyk::AnyCamera& two = *cameras_.at(22);
    vyk::Configuration configuration = two.getConfiguration();
    configuration.pixel_format = 0x4;
    two.setConfiguration(configuration);
    record_->updateCameraBitness();
    // A camera with one pixel format is skipped.
    EXPECT_EQ(bitDepths_.count(11), 0u);
    ASSERT_EQ(bitDepths_.count(22), 1u);
    EXPECT_EQ(bitDepths_[22], 12);
    configuration.pixel_format = 0x1;
    two.setConfiguration(configuration);
    record_->updateCameraBitness();
    EXPECT_EQ(bitDepths_[22], 16);
}

TEST_F(CommandsTest, FileRecordingThatCouldNotBeWrittenIsReportedToTheUser)
{
    build();
    QString text;
    answerer_->on(QStringLiteral("Recording stopped"), [&text](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        text = box->text();
        box->accept();
    });
    record_->onRecordingFailed(11, QStringLiteral("No space left on device"));
    EXPECT_EQ(answerer_->count(QStringLiteral("Recording stopped")), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("camera 11 stopped early")));
    EXPECT_TRUE(text.contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(statusText(), QStringLiteral("Recording of camera 11 stopped early"));
}
