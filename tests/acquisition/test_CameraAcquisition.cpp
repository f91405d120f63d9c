// The acquisition engine against simulated cameras: each loop's start, delivery and end,
// camera errors, stops in every phase, single images, trigger, data format and counts.

#include <chrono>
#include <atomic>
#include <thread>
#include <variant>

#include <QCoreApplication>

#include "AcquisitionFixture.h"
#include "acquisition/ImageQueueSet.h"
#include "camera/CameraException.h"

namespace {

using namespace std::chrono_literals;
using vyk::RecordMode;

constexpr uint32_t kPreview = AcquisitionSettings::kPreview;
constexpr uint32_t kSequence = AcquisitionSettings::kSequence;
constexpr uint32_t kPlayback = AcquisitionSettings::kPlayback;
constexpr uint32_t kFile = AcquisitionSettings::kFile;

QString line(const char* prefix, DWORD serial, const char* suffix = "") {
  return QString::fromLatin1(prefix) + QString::number(serial) + QString::fromLatin1(suffix);
}

// Records count images in blocking sequence mode, so they are all there afterwards.
void recordSequence(vyk::AnyCamera& camera, uint32_t count) { camera.record(count, RecordMode::Sequence); }

TEST_F(AcquisitionTest, PreviewDeliversToBothQueuesUntilStopped) {
  const DWORD serial = 7101;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);

  acquisition.startCameraThread();
  acquisition.startCameraThread();  // a second start while running does nothing
  const auto viewed = viewQueues().pop(serial, 5000ms);
  const auto counted = histogramQueues().pop(serial, 5000ms);
  ASSERT_TRUE(viewed && counted);
  EXPECT_EQ(viewed->width(), 64u);
  EXPECT_EQ(viewed->height(), 48u);
  EXPECT_EQ(viewed->format(), vyk::DataFormat::Mono8);
  EXPECT_EQ(viewQueues().capacity(serial), 10u);
  EXPECT_EQ(histogramQueues().capacity(serial), 10u);
  EXPECT_TRUE(acquisition.isRunning());
  EXPECT_EQ(log_.countStartingWith(QStringLiteral("Started cameraThread of camera: ")), 1);

  acquisition.stopCameraThreads();
  EXPECT_FALSE(acquisition.isRunning());
  EXPECT_FALSE(acquisition.cameraRecording());
  EXPECT_FALSE(camera->isRecording());
  EXPECT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  EXPECT_EQ(static_cast<int>(events.done.size()), 1);
  EXPECT_EQ(events.done.front(), serial);
  EXPECT_FALSE(viewQueues().isActive(serial));
  EXPECT_FALSE(histogramQueues().isActive(serial));
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Starting Preview of camera: ", serial)));
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Preview of camera: ", serial, " ended!")));
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Stopped camerathread of camera: ", serial)));
}

TEST_F(AcquisitionTest, PreviewAttachesToARunningRecordingWithoutRecordingAgain) {
  const DWORD serial = 7102;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  viewQueues().setCapacity(serial, 3);
  histogramQueues().setCapacity(serial, 4);
  camera->record(20, RecordMode::RingBuffer);

  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
  acquisition.startCameraThread();
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));
  EXPECT_TRUE(acquisition.cameraRecording());
  // A new record would have made a recorder of 10 images and resized the queues.
  EXPECT_EQ(acquisition.maxImageCount(), 20);
  EXPECT_EQ(viewQueues().capacity(serial), 3u);
  EXPECT_EQ(histogramQueues().capacity(serial), 4u);
  EXPECT_EQ(log_.countStartingWith(QStringLiteral("Started recording of camera:")), 0);
  acquisition.stopCameraThreads();
}

TEST_F(AcquisitionTest, HiddenViewOrHistogramGetsNoImages) {
  const DWORD serial = 7120;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
  acquisition.onVTKVisibleChanged(false);

  acquisition.startCameraThread();
  ASSERT_TRUE(waitUntil([&] { return histogramQueues().size(serial) >= 3; }));
  EXPECT_EQ(viewQueues().size(serial), 0u);
  // Histogram off before view on: every image that reaches the view skipped the histogram.
  acquisition.onHistVisibleChanged(false);
  acquisition.onVTKVisibleChanged(true);
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));
  while (histogramQueues().pop(serial, 0ms)) {
  }
  ASSERT_TRUE(waitUntil([&] { return viewQueues().size(serial) >= 3; }));
  EXPECT_EQ(histogramQueues().size(serial), 0u);
  acquisition.stopCameraThreads();
}

TEST_F(AcquisitionTest, TriggeredFileRecordingShowsImagesWhateverTheFlags) {
  const DWORD serial = 7121;
  nlohmann::json config = smallCamera(serial);
  config["external_trigger_hz"] = 200;
  useCameras(config);
  auto camera = open(serial);
  vyk::Configuration configuration = vyk::Configuration::unset();
  configuration.trigger_mode = 2;
  camera->setConfiguration(configuration);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kFile, RecordMode::Multitif, 100, 2);
  acquisition.settings().filePath = (dir_ / "triggered.tif").string();
  acquisition.onVTKVisibleChanged(false);
  acquisition.onHistVisibleChanged(false);

  acquisition.startCameraThread();
  EXPECT_TRUE(viewQueues().pop(serial, 5000ms));
  EXPECT_TRUE(histogramQueues().pop(serial, 5000ms));
  acquisition.stopCameraThreads();
  EXPECT_FALSE(camera->isRecording());
}

TEST_F(AcquisitionTest, SequenceEndsAfterImageCountAndStopsTheCamera) {
  const DWORD serial = 7103;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kSequence, RecordMode::SequenceNonBlocking, 30);

  acquisition.startCameraThread();
  EXPECT_TRUE(recordingStartedSemaphore().tryAcquireFor(5000ms));
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  EXPECT_FALSE(acquisition.isRunning());
  EXPECT_FALSE(camera->isRecording());
  EXPECT_EQ(camera->getRecordedImageCount(), 30u);
  EXPECT_EQ(histogramQueues().capacity(serial), 10u);
  EXPECT_EQ(viewQueues().capacity(serial), 30u);

  acquisition.stopCameraThreads();
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Recording sequence of camera: ", serial, " ended!")));
  EXPECT_EQ(acquisition.settings().imageCount, 30);  // min(available, max)
  EXPECT_EQ(static_cast<int>(events.done.size()), 1);
}

TEST_F(AcquisitionTest, SequenceInRingBufferModeRunsUntilStopped) {
  const DWORD serial = 7104;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kSequence, RecordMode::RingBuffer, 10);

  acquisition.startCameraThread();
  ASSERT_TRUE(recordingStartedSemaphore().tryAcquireFor(5000ms));
  // Well past the ring's size the run still goes on and keeps showing images.
  ASSERT_TRUE(waitUntil([&] { return acquisition.availableImageCount() >= 10; }));
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));
  EXPECT_TRUE(acquisition.isRunning());
  EXPECT_EQ(static_cast<int>(events.done.size()), 0);

  acquisition.stopCameraThreads();
  EXPECT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  EXPECT_FALSE(camera->isRecording());
  EXPECT_EQ(acquisition.settings().imageCount, 10);
}

TEST_F(AcquisitionTest, CamRamSegmentRecordingSetsTheImageCountFromCameraRam) {
  const DWORD serial = 7105;
  nlohmann::json config = smallCamera(serial);
  config["ram"] = {{"pages", 25}, {"page_size", 4096}};  // one page per 64 x 48 image
  useCameras(config);
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kSequence, RecordMode::CamramSegment, 10);

  acquisition.startCameraThread();
  // The segment fills up and the camera stops by itself, which ends the run.
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  acquisition.stopCameraThreads();
  EXPECT_EQ(acquisition.settings().imageCount, static_cast<int32_t>(camera->getCamRamNumImages()));
  EXPECT_EQ(acquisition.settings().imageCount, 25);
  // Camera-RAM recordings are not waited for by the record command.
  EXPECT_FALSE(recordingStartedSemaphore().tryAcquire());
}

TEST_F(AcquisitionTest, FileRecordingWritesFilesAndEndsWithTheRecording) {
  const DWORD serial = 7106;
  useCameras(smallCamera(serial));
  auto camera = open(serial, 0.005);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kFile, RecordMode::B16, 40);
  acquisition.settings().filePath = (dir_ / "shot.b16").string();

  acquisition.startCameraThread();
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));  // shown while recording
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  acquisition.stopCameraThreads();  // joins, so the end line is written
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Recording File of camera: ", serial, " ended!")));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "shot_000001.b16"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "shot_000040.b16"));
}

TEST_F(AcquisitionTest, PlaybackShowsItsRangeInOrderAndEnds) {
  const DWORD serial = 7107;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  recordSequence(*camera, 10);
  SignalLog events(acquisition);
  prepare(acquisition, kPlayback, RecordMode::Sequence, 10);
  acquisition.settings().playFrom = 2;
  acquisition.settings().playTo = 5;

  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  ASSERT_EQ(static_cast<int>(events.positions.size()), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(events.positions[static_cast<size_t>(i)], i + 2);
  EXPECT_TRUE(log_.has(QtInfoMsg, QString::fromLatin1("Starting Playback of camera: %1 from image Nr.: 3 to: 6")
                                      .arg(serial)));
  EXPECT_FALSE(acquisition.isRunning());
  acquisition.stopCameraThreads();
  EXPECT_TRUE(log_.has(QtInfoMsg, line("Playback of camera: ", serial, " ended!")));
}

TEST_F(AcquisitionTest, PlaybackStoppedFromOutsideEndsWithRecordingDone) {
  const DWORD serial = 7108;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  recordSequence(*camera, 200);
  SignalLog events(acquisition);
  prepare(acquisition, kPlayback, RecordMode::Sequence, 200);
  acquisition.settings().playTo = 199;

  acquisition.startCameraThread();
  acquisition.stopCameraThreads();
  EXPECT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  events.flush();
  EXPECT_EQ(static_cast<int>(events.done.size()), 1);
  // Stopped before the range was done: no end line, the queues stay as they are.
  if (!log_.has(QtInfoMsg, line("Playback of camera: ", serial, " ended!"))) {
    EXPECT_EQ(log_.countStartingWith(line("Playback of camera: ", serial)), 0);
  }
}

TEST_F(AcquisitionTest, CameraFailureDuringPreviewEmitsCamErrorAndDeactivatesQueues) {
  const DWORD serial = 7109;
  nlohmann::json config = smallCamera(serial);
  config["failure"] = {{"after_frames", 30}};
  useCameras(config);
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);

  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors.front().first, serial);
  EXPECT_TRUE(events.errors.front().second);
  EXPECT_FALSE(acquisition.isRunning());
  EXPECT_FALSE(viewQueues().isActive(serial));
  EXPECT_FALSE(histogramQueues().isActive(serial));
  EXPECT_TRUE(log_.firstStartingWith(line("Error during Preview of camera: ", serial, " With error: ")).size() > 0);
  acquisition.stopCameraThreads();
  events.flush();
  EXPECT_EQ(static_cast<int>(events.done.size()), 0);
}

TEST_F(AcquisitionTest, CameraThatNoLongerAnswersFailsThePreviewStart) {
  const DWORD serial = 7118;
  nlohmann::json config = smallCamera(serial);
  config["failure"] = {{"after_frames", 5}};
  useCameras(config);
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  try {
    camera->record(5, RecordMode::Sequence);  // uses up the camera's last images
  } catch (const vyk::CameraException& e) {
    // Switching the camera off after the fifth image may already meet it silent: either
    // way it answers no more, which is what the preview start below must meet.
    EXPECT_EQ(e.code(), 0x80160008u) << e.what();
  }
  SignalLog events(acquisition);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);

  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }));
  EXPECT_FALSE(log_.firstStartingWith(line("Error starting record for preview of camera: ", serial, " With error: "))
                   .isEmpty());
  acquisition.stopCameraThreads();
  events.flush();
  EXPECT_TRUE(events.done.empty());
}

TEST_F(AcquisitionTest, PlaybackPastTheRecordingFailsWithCamError) {
  const DWORD serial = 7119;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  recordSequence(*camera, 5);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kPlayback, RecordMode::Sequence, 5);
  acquisition.settings().playFrom = 3;
  acquisition.settings().playTo = 8;

  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.positions, (std::vector<int>{3, 4}));
  EXPECT_FALSE(log_.firstStartingWith(line("Error during Playback of camera: ", serial, " With error: ")).isEmpty());
  EXPECT_FALSE(viewQueues().isActive(serial));
  acquisition.stopCameraThreads();
  events.flush();
  EXPECT_TRUE(events.done.empty());
}

TEST_F(AcquisitionTest, FailedSequenceStartReleasesTheRecordCommand) {
  const DWORD serial = 7110;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kSequence, RecordMode::RingBuffer, 2);  // a ring needs 4 images

  acquisition.startCameraThread();
  EXPECT_TRUE(recordingStartedSemaphore().tryAcquireFor(5000ms));
  ASSERT_TRUE(events.waitFor([&] { return !events.errors.empty(); }));
  EXPECT_FALSE(log_.firstStartingWith(line("Error starting record for Sequence of camera: ", serial)).isEmpty());
  acquisition.stopCameraThreads();
}

TEST_F(AcquisitionTest, SequenceAttachingToARunningRecordingReleasesTheRecordCommand) {
  const DWORD serial = 7111;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  camera->record(10, RecordMode::RingBuffer);
  prepare(acquisition, kSequence, RecordMode::RingBuffer, 10);

  acquisition.startCameraThread();
  EXPECT_TRUE(recordingStartedSemaphore().tryAcquireFor(5000ms));
  acquisition.stopCameraThreads();
}

TEST_F(AcquisitionTest, CameraErrorSuppressesRecordingDoneAndLeavesTheCameraAlone) {
  const DWORD serial = 7112;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
  acquisition.startCameraThread();
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));

  acquisition.cameraError(serial + 1);  // another camera's error changes nothing
  acquisition.cameraError(serial);
  acquisition.stopCameraThreads();  // the worker still had its own reference
  events.flush();
  EXPECT_EQ(static_cast<int>(events.done.size()), 0);
  EXPECT_TRUE(camera->isRecording());  // a released handle is never used to stop
  EXPECT_EQ(acquisition.showImage(0), 0);
  acquisition.setDataFormat(serial, QStringLiteral("Mono"));
  EXPECT_TRUE(log_.has(QtWarningMsg, QStringLiteral("Could not set Dataformat, Camera was nullptr or recording or "
                                                     "serialnumber didnt match.")));
}

TEST_F(AcquisitionTest, ShowImageClampsToTheLastRecordedImage) {
  const DWORD serial = 7113;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  viewQueues().deactivate(serial);
  EXPECT_EQ(acquisition.showImage(3), 0);  // nothing recorded: nothing shown
  EXPECT_EQ(viewQueues().size(serial), 0u);

  recordSequence(*camera, 10);
  acquisition.settings().imageCount = 10;
  EXPECT_EQ(acquisition.maxImageCount(), 10);
  EXPECT_EQ(acquisition.availableImageCount(), 10);
  EXPECT_EQ(acquisition.showImage(1000), 9);
  const auto shown = viewQueues().pop(serial, 0ms);
  ASSERT_TRUE(shown);
  vyk::Image direct;
  camera->image(direct, 9, vyk::DataFormat::Mono8);
  EXPECT_EQ(shown->recorderImageNumber(), direct.recorderImageNumber());
  EXPECT_EQ(shown->data8(), direct.data8());
  EXPECT_TRUE(histogramQueues().pop(serial, 0ms));
  EXPECT_TRUE(log_.has(QtDebugMsg, QStringLiteral("Pushed image Nr.: 10")));
}

TEST_F(AcquisitionTest, SetDataFormatSelectsMono8OnlyForMono) {
  const DWORD serial = 7114;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  EXPECT_EQ(acquisition.settings().dataFormat, vyk::DataFormat::Mono8);
  EXPECT_TRUE(log_.has(QtInfoMsg, QStringLiteral("Set dataFormat Mono8. Resize _image to: 3072")));

  acquisition.setDataFormat(serial, QStringLiteral("mono"));
  EXPECT_EQ(acquisition.settings().dataFormat, vyk::DataFormat::BGR8);
  EXPECT_TRUE(log_.has(QtInfoMsg, QStringLiteral("Set dataFormat BGR8. Resize _image to: 9216")));
  acquisition.setDataFormat(serial, QStringLiteral("Mono"));
  EXPECT_EQ(acquisition.settings().dataFormat, vyk::DataFormat::Mono8);

  acquisition.setDataFormat(serial + 1, QStringLiteral("RGB"));  // another serial
  EXPECT_EQ(acquisition.settings().dataFormat, vyk::DataFormat::Mono8);
  camera->record(10, RecordMode::RingBuffer);
  acquisition.setDataFormat(serial, QStringLiteral("RGB"));  // recording
  EXPECT_EQ(acquisition.settings().dataFormat, vyk::DataFormat::Mono8);
  EXPECT_TRUE(log_.has(QtWarningMsg, QStringLiteral("Could not set Dataformat, Camera was nullptr or recording or "
                                                     "serialnumber didnt match.")));
  camera->stop();
}

TEST_F(AcquisitionTest, SoftwareTriggerDeliversOneImageInTriggeredPreview) {
  const DWORD serial = 7115;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  vyk::Configuration configuration = vyk::Configuration::unset();
  configuration.trigger_mode = 1;
  camera->setConfiguration(configuration);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10, 1);

  acquisition.startCameraThread();
  ASSERT_TRUE(waitUntil([&] { return acquisition.maxImageCount() > 0; }));
  EXPECT_FALSE(viewQueues().pop(serial, 100ms));  // no trigger, no image
  acquisition.triggerCamera(serial);
  EXPECT_TRUE(log_.has(QtInfoMsg, QStringLiteral("Triggered camera.")));
  const auto image = viewQueues().pop(serial, 5000ms);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 64u);
  acquisition.stopCameraThreads();  // returns although the loop waits for the next image
  EXPECT_FALSE(acquisition.isRunning());
}

TEST_F(AcquisitionTest, StopReturnsFromEveryWait) {
  const DWORD serial = 7116;
  useCameras(smallCamera(serial));
  auto camera = open(serial, 4.0);  // the first image would come after 4 s
  CameraAcquisition acquisition(camera);

  // In the start phase's wait for the first image.
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
  acquisition.startCameraThread();
  ASSERT_TRUE(waitUntil([&] { return acquisition.maxImageCount() > 0; }));
  acquisition.stopCameraThreads();
  EXPECT_EQ(camera->getRecordedImageCount(), 0u);

  // In the sequence loop's wait for the next recorded image.
  prepare(acquisition, kSequence, RecordMode::SequenceNonBlocking, 10);
  acquisition.settings().noFirstImageWait = true;
  acquisition.startCameraThread();
  ASSERT_TRUE(recordingStartedSemaphore().tryAcquireFor(5000ms));
  acquisition.stopCameraThreads();
  EXPECT_EQ(camera->getRecordedImageCount(), 0u);

  // In the file loop's triggered wait for a new image.
  prepare(acquisition, kFile, RecordMode::Tif, 10, 2);
  acquisition.settings().filePath = (dir_ / "wait.tif").string();
  acquisition.startCameraThread();
  ASSERT_TRUE(waitUntil([&] { return acquisition.maxImageCount() > 0; }));
  acquisition.stopCameraThreads();
  EXPECT_EQ(camera->getRecordedImageCount(), 0u);
}

TEST_F(AcquisitionTest, StopRightAfterStartLeavesTheCameraStopped) {
  const DWORD serial = 7122;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  for (uint32_t mode : {kPreview, kFile}) {
    for (int round = 0; round < 20; ++round) {
      prepare(acquisition, mode, mode == kFile ? RecordMode::Multitif : RecordMode::RingBuffer, 10);
      acquisition.settings().filePath = mode == kFile ? (dir_ / "quick.tif").string() : std::string();
      acquisition.startCameraThread();
      acquisition.stopCameraThreads();
      // Neither loop stops the camera itself: a recording started after the stop would stay.
      ASSERT_FALSE(camera->isRecording()) << "mode " << mode << " round " << round;
    }
  }
}

TEST_F(AcquisitionTest, DestructorStopsARunningPreview) {
  const DWORD serial = 7117;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  {
    CameraAcquisition acquisition(camera);
    prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
    acquisition.startCameraThread();
    ASSERT_TRUE(viewQueues().pop(serial, 5000ms));
  }
  EXPECT_FALSE(camera->isRecording());
  EXPECT_FALSE(viewQueues().isActive(serial));
}

}  // namespace

// The GUI edits a camera's settings while its worker fetches and converts images: both go
// through the one shared handle, whose calls must not interleave (run under ThreadSanitizer
// in CI, where an unserialised call shows as a data race).
TEST_F(AcquisitionTest, SettingsEditedDuringAPreviewKeepEveryImageWhole) {
  // A serial of its own: a queue another test left inactive answers a pop at once.
  const DWORD serial = 7123;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, kPreview, RecordMode::RingBuffer, 10);
  acquisition.startCameraThread();
  ASSERT_TRUE(viewQueues().pop(serial, 5000ms));

  std::atomic<bool> editing{true};
  std::thread gui([&] {
    for (int round = 0; editing; ++round) {
      vyk::ConvertControl control = camera->getConvertControl(vyk::DataFormat::Mono8);
      std::visit([round](auto& c) { c.max_limit = 1000 + round % 2000; }, control);
      camera->setConvertControl(vyk::DataFormat::Mono8, control);
      camera->setExposureTime(0.001 + (round % 3) * 0.0005);
      (void)camera->getConfiguration();
      (void)camera->getDescription();
      (void)camera->isRecording();
    }
  });
  int images = 0;
  for (const auto end = std::chrono::steady_clock::now() + 400ms; std::chrono::steady_clock::now() < end;) {
    if (const auto image = viewQueues().pop(serial, 1000ms)) {
      EXPECT_EQ(image->width(), 64u);
      EXPECT_EQ(image->height(), 48u);
      ++images;
    }
  }
  editing = false;
  gui.join();
  acquisition.stopCameraThreads();
  EXPECT_GT(images, 0);
  EXPECT_TRUE(events.errors.empty());
}
