// Camera RAM of the local camera: dividing it into segments, selecting the active
// segment, recording into it and reading its images back.

#include "test_CameraFixture.h"

#include <atomic>
#include <thread>

using vyk::Camera;
using vyk::DataFormat;
using vyk::Image;
using vyk::InterfaceType;
using vyk::RecordMode;

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr uint32_t kNoCamRam = 0x80167006u;
constexpr uint32_t kNoSegmentMemory = 0xa0163006u;

// A stamping camera with 1000 pages of camera RAM; one 64 x 48 image fills one page.
nlohmann::json ramCamera(uint32_t serial) {
  auto cam = CameraTest::stampingCamera(serial);
  cam["ram"] = {{"pages", 1000}, {"page_size", 64 * 48}};
  return cam;
}

std::vector<uint32_t> deviceSegments(const Camera& camera) {
  std::vector<uint32_t> sizes(VYK_RAM_SEGMENTS);
  EXPECT_EQ(VYK_GetCameraRamSegmentSize(CameraTest::deviceOf(camera), sizes.data()), 0);
  return sizes;
}

uint16_t deviceSubmode(const Camera& camera) {
  uint16_t mode = 0xFFFF;
  EXPECT_EQ(VYK_GetRecorderSubmode(CameraTest::deviceOf(camera), &mode), 0);
  return mode;
}

}  // namespace

TEST_F(CameraTest, CameraWithoutRamRefusesEveryRamOperation) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  const std::string message = "Camera does not support CamRam!";
  EXPECT_CAMERA_ERROR(camera.getCamRamAllocation(), message, kInvalid);
  EXPECT_CAMERA_ERROR(camera.setCamRamAllocation({50, 50}), message, kInvalid);
  EXPECT_CAMERA_ERROR(camera.getCamRamSegment(), message, kNoCamRam);
  EXPECT_CAMERA_ERROR(camera.switchToCamRam(1), message, kNoCamRam);
  EXPECT_CAMERA_ERROR(camera.getCamRamMaxImages(), message, kNoCamRam);
  EXPECT_CAMERA_ERROR(camera.getCamRamNumImages(), message, kNoCamRam);
}

TEST_F(CameraTest, RamCameraOpensOnItsActiveSegment) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  EXPECT_EQ(camera.getCamRamSegment(), 1);
  EXPECT_EQ(camera.getCamRamAllocation(), (std::vector<uint32_t>{100, 0, 0, 0}));
  // Opening prepared a camera-RAM recorder on the segment, which holds nothing yet.
  EXPECT_EQ(camera.getCamRamMaxImages(), 1000u);
  EXPECT_EQ(camera.getCamRamNumImages(), 0u);
  EXPECT_FALSE(camera.isRecording());
  uint16_t storage = 0xFFFF;
  ASSERT_EQ(VYK_GetStorageMode(deviceOf(camera), &storage), 0);
  EXPECT_EQ(storage, VYK_STORAGE_RECORDER);
  EXPECT_EQ(deviceSubmode(camera), VYK_RAM_SUBMODE_RING);
}

TEST_F(CameraTest, AllocationDividesTheRamByPercentage) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);

  camera.setCamRamAllocation({50, 30, 20});  // padded to four segments
  EXPECT_EQ(deviceSegments(camera), (std::vector<uint32_t>{500, 300, 200, 0}));
  EXPECT_EQ(camera.getCamRamAllocation(), (std::vector<uint32_t>{50, 30, 20, 0}));

  EXPECT_CAMERA_ERROR(camera.setCamRamAllocation({60, 50}), "Sum of percentages is greater than 100%", kInvalid);
  EXPECT_EQ(deviceSegments(camera), (std::vector<uint32_t>{500, 300, 200, 0}));  // untouched
  // A percentage so large that a 32-bit sum would wrap round below 100 is still too much.
  EXPECT_CAMERA_ERROR(camera.setCamRamAllocation({0xFFFFFFFFu, 2}), "Sum of percentages is greater than 100%",
                      kInvalid);

  camera.setCamRamAllocation({10, 10, 10, 10, 70});  // cut to four: the fifth entry does not count
  EXPECT_EQ(deviceSegments(camera), (std::vector<uint32_t>{100, 100, 100, 100}));

  camera.setCamRamAllocation({25, 75});
  camera.switchToCamRam(2);
  EXPECT_EQ(camera.getCamRamSegment(), 2);
  EXPECT_EQ(camera.getCamRamMaxImages(), 750u);
  camera.switchToCamRam(1);
  EXPECT_EQ(camera.getCamRamMaxImages(), 250u);
}

TEST_F(CameraTest, SegmentRecordingFillsTheWholeSegmentAndKeepsItsImages) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.setCamRamAllocation({25, 75});
  camera.switchToCamRam(1);

  testing::internal::CaptureStdout();
  camera.record(10, RecordMode::CamramSegment);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "CamRam record mode: required_recorder_buffer_size is set automatically to maximum : 250\n");
  EXPECT_EQ(deviceSubmode(camera), VYK_RAM_SUBMODE_SEQUENCE);
  // The camera stops by itself once the segment is full.
  ASSERT_TRUE(waitUntil([&] { return !camera.isRecording(); }));
  EXPECT_EQ(camera.getCamRamNumImages(), 250u);
  EXPECT_EQ(camera.getRecordedImageCount(), 250u);
  EXPECT_EQ(camera.getCamRamMaxImages(), 250u);

  Image first;
  camera.image(first, 0);
  EXPECT_EQ(first.format(), DataFormat::Mono16);
  EXPECT_EQ(first.roi(), (vyk::Roi{1, 1, 64, 48}));
  EXPECT_EQ(first.recorderImageNumber(), 1u);
  ASSERT_TRUE(first.metadata().has_value());  // camera-RAM recordings switch metadata on
  const unsigned firstCounter = stampedCounter(first.rawData16());
  EXPECT_EQ(metadataCounter(*first.metadata()), firstCounter);
  Image last;
  camera.image(last, 249);
  EXPECT_EQ(last.recorderImageNumber(), 250u);
  EXPECT_EQ(stampedCounter(last.rawData16()), firstCounter + 249);

  // Another segment has its own images; the first keeps its own meanwhile.
  camera.switchToCamRam(2);
  EXPECT_EQ(camera.getCamRamNumImages(), 0u);
  camera.switchToCamRam(1);
  EXPECT_EQ(camera.getCamRamNumImages(), 250u);
  Image again;
  camera.image(again, 0);
  EXPECT_EQ(again.rawData16(), first.rawData16());
}

TEST_F(CameraTest, RingRecordingOverwritesTheOldestImages) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.setCamRamAllocation({25, 5, 70});
  camera.switchToCamRam(2);
  ASSERT_EQ(camera.getCamRamMaxImages(), 50u);

  testing::internal::CaptureStdout();
  camera.record(50, RecordMode::CamramRing);  // the segment's own size: nothing to adapt
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(deviceSubmode(camera), VYK_RAM_SUBMODE_RING);
  camera.waitForFirstImage(true, 30.0);

  // While the ring turns, the newest image has no lasting position ...
  Image newest;
  camera.image(newest, static_cast<uint64_t>(-1));
  EXPECT_EQ(newest.recorderImageNumber(), 0xFFFFFFFFu);
  // ... so waiting for a newer one than that returns at once instead of timing out.
  EXPECT_NO_THROW(camera.waitForNewImage(true, 0.05));

  // Run past the segment's size, so that the oldest images are overwritten.
  ASSERT_TRUE(waitUntil([&] {
    Image probe;
    camera.image(probe, static_cast<uint64_t>(-1));
    return stampedCounter(probe.rawData16()) > 80;
  }));
  camera.stop();
  EXPECT_FALSE(camera.isRecording());
  ASSERT_EQ(camera.getCamRamNumImages(), 50u);
  Image oldest;
  camera.image(oldest, 0);
  Image youngest;
  camera.image(youngest, 49);
  EXPECT_EQ(youngest.recorderImageNumber(), 50u);
  EXPECT_GT(stampedCounter(oldest.rawData16()), 30u);
  EXPECT_EQ(stampedCounter(youngest.rawData16()), stampedCounter(oldest.rawData16()) + 49);
}

TEST_F(CameraTest, RamModesNeedMemoryInTheSegmentAndNoPath) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  camera.setCamRamAllocation({0, 100});
  camera.switchToCamRam(1);
  EXPECT_EQ(camera.getCamRamMaxImages(), 0u);
  const std::string noMemory = "Camera has no memory allocated for the active segment";
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::CamramSegment), noMemory, kNoSegmentMemory);
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::CamramRing), noMemory, kNoSegmentMemory);

  camera.switchToCamRam(2);
  testing::internal::CaptureStdout();
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::CamramRing, dir_ / "ram.tif"), libraryText(0xa016301d),
                      0xa016301d);
  testing::internal::GetCapturedStdout();
  // The failed start left no recorder behind: a RAM camera then has nothing to read.
  Image img;
  EXPECT_CAMERA_ERROR(camera.image(img, 0), noMemory, kNoSegmentMemory);
  EXPECT_EQ(camera.getCamRamNumImages(), 0u);
}

TEST_F(CameraTest, MemoryRecordingOnARamCameraUsesTheRingSubmode) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(3, RecordMode::Sequence);
  EXPECT_EQ(deviceSubmode(camera), VYK_RAM_SUBMODE_RING);
  EXPECT_EQ(camera.getRecordedImageCount(), 3u);
  // Not a camera-RAM recorder: the counts are the recorder's and the segment's size.
  EXPECT_EQ(camera.getCamRamNumImages(), 3u);
  EXPECT_EQ(camera.getCamRamMaxImages(), 1000u);
}

TEST_F(CameraTest, HealthQueriesMayRunBesideRecordingAndSegmentSwitches) {
  useCameras({ramCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread health([&] {
    while (!done.load()) {
      if (camera.getHealth().result != 0 || camera.getSerial() != 1001u) failures.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  Image img;
  for (int round = 0; round < 3; ++round) {
    camera.record(8, RecordMode::RingBuffer);
    camera.waitForFirstImage(true, 30.0);
    camera.image(img, static_cast<uint64_t>(-1), DataFormat::Mono8);
    camera.stop();
    camera.switchToCamRam(1);
    camera.record(1000, RecordMode::CamramRing);
    camera.waitForFirstImage(true, 30.0);
    camera.image(img, static_cast<uint64_t>(-1));
    camera.stop();
  }
  done.store(true);
  health.join();
  EXPECT_EQ(failures.load(), 0);
}
