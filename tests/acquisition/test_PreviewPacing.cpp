// The preview and the file recording's display between two images of the camera: each image
// is delivered once and soon after the camera recorded it, and a stop while the loop waits
// for the next image ends the run at once.
//
// The cameras here are slow (a few images per second), so the bounds below are a whole frame
// time or more away from what a correct loop needs, and a loaded machine does not reach them.

#include <chrono>
#include <cstdint>
#include <vector>

#include "AcquisitionFixture.h"
#include "acquisition/ImageQueueSet.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vyk::RecordMode;

// Longest single wait of the acquisition loops on the camera (one slice of the handle lock).
constexpr auto kSlice = 50ms;
// Allowance for a loaded machine on top of the bounds under test.
constexpr auto kLoadAllowance = 400ms;

// One image as the view queue handed it out.
struct Popped {
  uint32_t number;        // recorder image number (1-based position in the recording)
  Clock::time_point at;   // when the consumer got it
};

// Pops serial's view queue until the run has lasted span; returns every image in order.
std::vector<Popped> popFor(DWORD serial, Clock::duration span) {
  std::vector<Popped> popped;
  for (const auto end = Clock::now() + span; Clock::now() < end;) {
    if (const auto image = viewQueues().pop(serial, 50ms)) popped.push_back({image->recorderImageNumber(), Clock::now()});
  }
  return popped;
}

TEST_F(AcquisitionTest, PreviewDeliversEachImageOnceWithinAFrameTimeAndASlice) {
  const DWORD serial = 7301;
  useCameras(smallCamera(serial));
  const auto frameTime = 250ms;
  auto camera = open(serial, std::chrono::duration<double>(frameTime).count());
  CameraAcquisition acquisition(camera);
  prepare(acquisition, AcquisitionSettings::kPreview, RecordMode::RingBuffer, 10);

  const auto started = Clock::now();
  acquisition.startCameraThread();
  const std::vector<Popped> popped = popFor(serial, 1800ms);
  acquisition.stopCameraThreads();

  ASSERT_GE(popped.size(), 3u);
  for (std::size_t i = 1; i < popped.size(); ++i) {
    // Never the same image twice, and none left out: each image reached the queue before
    // the camera had recorded the next one, that is within one frame time.
    EXPECT_EQ(popped[i].number, popped[i - 1].number + 1) << "image " << i;
  }
  for (const Popped& image : popped) {
    // Image n is recorded no earlier than n - 1 frame times after the start, so this is an
    // upper bound of the time it took to reach the queue (plus one frame time at most).
    const auto sinceRecorded = image.at - started - (image.number - 1) * frameTime;
    EXPECT_LE(sinceRecorded, frameTime + kSlice + kLoadAllowance) << "image " << image.number;
  }
  // The histogram got the same images, each once as well.
  std::vector<uint32_t> counted;
  while (const auto image = histogramQueues().pop(serial, 0ms)) counted.push_back(image->recorderImageNumber());
  for (std::size_t i = 1; i < counted.size(); ++i) EXPECT_GT(counted[i], counted[i - 1]);
}

TEST_F(AcquisitionTest, FileRecordingShowsEachImageOnceAtMostEveryDisplayPeriod) {
  const DWORD serial = 7302;
  useCameras(smallCamera(serial));
  auto camera = open(serial, 0.02);  // 50 images per second, five per display period
  CameraAcquisition acquisition(camera);
  prepare(acquisition, AcquisitionSettings::kFile, RecordMode::Multitif, 1000);
  acquisition.settings().filePath = (dir_ / "shown.tif").string();

  acquisition.startCameraThread();
  const std::vector<Popped> popped = popFor(serial, 1200ms);
  acquisition.stopCameraThreads();

  ASSERT_GE(popped.size(), 3u);
  for (std::size_t i = 1; i < popped.size(); ++i) {
    EXPECT_GT(popped[i].number, popped[i - 1].number) << "image " << i;
  }
  // One image per 100 ms at most: a loaded machine shows fewer, never more.
  EXPECT_LE(popped.size(), 13u);
}

TEST_F(AcquisitionTest, StopWhileWaitingForTheNextImageEndsTheRunAtOnce) {
  const DWORD serial = 7303;
  useCameras(smallCamera(serial));
  const auto frameTime = 1500ms;  // the loop waits this long for each next image
  auto camera = open(serial, std::chrono::duration<double>(frameTime).count());
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);

  struct Case {
    uint32_t mode;
    RecordMode recMode;
  };
  for (const Case& run : {Case{AcquisitionSettings::kPreview, RecordMode::RingBuffer},
                          Case{AcquisitionSettings::kFile, RecordMode::Multitif}}) {
    prepare(acquisition, run.mode, run.recMode, 10);
    acquisition.settings().filePath = run.mode == AcquisitionSettings::kFile ? (dir_ / "stop.tif").string() : "";
    acquisition.startCameraThread();
    if (run.mode == AcquisitionSettings::kPreview) {
      ASSERT_TRUE(viewQueues().pop(serial, 5000ms)) << "mode " << run.mode;  // the first image
    } else {
      ASSERT_TRUE(waitUntil([&] { return acquisition.cameraRecordedImageCount() >= 1; })) << "mode " << run.mode;
      std::this_thread::sleep_for(200ms);  // past the display period: the loop waits for the camera
    }
    const auto stopping = Clock::now();
    acquisition.stopCameraThreads();
    // Today's bound is one slice of the handle lock; the next image is over a second away.
    EXPECT_LE(Clock::now() - stopping, kSlice + kLoadAllowance) << "mode " << run.mode;
    EXPECT_FALSE(acquisition.isRunning());
    EXPECT_FALSE(camera->isRecording());
  }
  EXPECT_TRUE(events.waitFor([&] { return events.done.size() == 2; }));
  EXPECT_TRUE(events.errors.empty());
}

}  // namespace
