// Line cameras: single-line images are assembled into frames by the worker loops and by
// showImage, and the image counts are counted in frames.

#include <chrono>


#include "AcquisitionFixture.h"
#include "acquisition/ImageQueueSet.h"

namespace {

using namespace std::chrono_literals;
using vyk::RecordMode;

constexpr int32_t kLines = 4;

nlohmann::json lineCamera(uint32_t serial) {
  nlohmann::json config = AcquisitionTest::smallCamera(serial);
  config["sensor"] = {{"width", 64}, {"height", 1}, {"bits", 16}};
  config["capabilities"]["line_sensor"] = true;
  return config;
}

TEST_F(AcquisitionTest, LinePreviewDeliversAssembledFrames) {
  const DWORD serial = 7301;
  useCameras(lineCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  prepare(acquisition, AcquisitionSettings::kPreview, RecordMode::RingBuffer, 10, 0, kLines);

  acquisition.startCameraThread();
  const auto frame = viewQueues().pop(serial, 5000ms);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width(), 64u);
  EXPECT_EQ(frame->height(), static_cast<uint64_t>(kLines));
  acquisition.stopCameraThreads();
  EXPECT_EQ(camera->getRecorderBufferSize(), static_cast<uint32_t>(10 * kLines));  // lines recorded
}

TEST_F(AcquisitionTest, LineSequenceEndsAfterAllLinesAndCountsFrames) {
  const DWORD serial = 7302;
  useCameras(lineCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  SignalLog events(acquisition);
  prepare(acquisition, AcquisitionSettings::kSequence, RecordMode::SequenceNonBlocking, 5, 0, kLines);

  acquisition.startCameraThread();
  ASSERT_TRUE(events.waitFor([&] { return !events.done.empty(); }));
  EXPECT_EQ(camera->getRecordedImageCount(), static_cast<uint32_t>(5 * kLines));
  // Every line was fetched in order, so the last frame reached the view.
  std::optional<vyk::Image> last;
  while (auto frame = viewQueues().pop(serial, 0ms)) last = frame;
  acquisition.stopCameraThreads();
  EXPECT_EQ(acquisition.maxImageCount(), 5);
  EXPECT_EQ(acquisition.availableImageCount(), 5);
  EXPECT_EQ(acquisition.settings().imageCount, 5);

  // showImage assembles frame 1 out of lines 4 to 7.
  viewQueues().setCapacity(serial, 5);
  EXPECT_EQ(acquisition.showImage(1), 1);
  const auto shown = viewQueues().pop(serial, 0ms);
  ASSERT_TRUE(shown);
  ASSERT_EQ(shown->height(), static_cast<uint64_t>(kLines));
  for (int32_t row = 0; row < kLines; ++row) {
    vyk::Image line;
    camera->image(line, static_cast<uint64_t>(kLines + row), vyk::DataFormat::Mono8);
    const auto& frameRaw = shown->rawData16();
    const auto& lineRaw = line.rawData16();
    EXPECT_TRUE(std::equal(lineRaw.begin(), lineRaw.end(), frameRaw.begin() + row * 64)) << "row " << row;
  }
  EXPECT_TRUE(log_.has(QtDebugMsg, QStringLiteral("Pushed assembled frame Nr.: 2 from lines [4..7]")));
  EXPECT_EQ(acquisition.showImage(1000), 4);  // clamped to the last frame
}

}  // namespace
