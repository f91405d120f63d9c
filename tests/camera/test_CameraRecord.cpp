// Recording into computer memory and fetching images from the local camera.

#include "test_CameraFixture.h"

#include <algorithm>
#include <future>
#include <memory>
#include <limits>
#include <sstream>

#include "camera/ColorPattern.h"
#include "camera/MemoryRule.h"
#include "vyk_recorder.h"

using vyk::Camera;
using vyk::Configuration;
using vyk::DataFormat;
using vyk::Image;
using vyk::InterfaceType;
using vyk::RecordMode;
using vyk::Roi;

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST_F(CameraTest, RecordedSequenceComesBackByIndexWithPixelsRoiAndMetadata) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(5, RecordMode::Sequence);  // blocks until the five images are in
  EXPECT_FALSE(camera.isRecording());
  EXPECT_EQ(camera.getRecordedImageCount(), 5u);
  EXPECT_EQ(camera.getRecorderBufferSize(), 5u);

  Image full;
  camera.image(full, 0);
  const unsigned first = stampedCounter(full.rawData16());
  for (uint64_t i = 0; i < 5; ++i) {
    camera.image(full, i);
    ASSERT_EQ(full.format(), DataFormat::Mono16);  // DataFormat 0 on a 16-bit camera
    EXPECT_TRUE(std::holds_alternative<std::monostate>(full.data()));
    EXPECT_EQ(full.roi(), (Roi{1, 1, 64, 48}));
    ASSERT_EQ(full.rawData16().size(), 64u * 48u);
    EXPECT_EQ(&full.data16(), &full.rawData16());
    const unsigned counter = stampedCounter(full.rawData16());
    EXPECT_EQ(counter, first + i);
    EXPECT_EQ(full.recorderImageNumber(), i + 1);

    ASSERT_TRUE(full.metadata().has_value());
    const vyk::ImageMetadata& m = *full.metadata();
    EXPECT_EQ(m.wSize, 69);
    EXPECT_EQ(m.wIMAGE_SIZE_X, 64);
    EXPECT_EQ(m.wIMAGE_SIZE_Y, 48);
    EXPECT_EQ(uint32_t{m.dwCAMERA_SERIAL_NO}, 1001u);  // copied: packed fields are unaligned
    EXPECT_EQ(metadataCounter(m), counter);
    ASSERT_TRUE(full.timestamp().has_value());
    EXPECT_EQ(full.timestamp()->wSize, 22);
    EXPECT_EQ(uint32_t{full.timestamp()->dwImgCounter}, counter);

    // A region of the same image holds exactly those pixels of the whole image.
    Image part;
    const Roi roi{3, 2, 20, 10};
    camera.image(part, roi, i, DataFormat::Mono16);
    EXPECT_EQ(part.roi(), roi);
    ASSERT_EQ(part.rawData16().size(), 18u * 9u);
    for (uint64_t y = roi.y0; y <= roi.y1; ++y) {
      for (uint64_t x = roi.x0; x <= roi.x1; ++x) {
        ASSERT_EQ(part.rawData16()[(y - roi.y0) * 18 + (x - roi.x0)], full.rawData16()[(y - 1) * 64 + (x - 1)])
            << "image " << i << " at " << x << "," << y;
      }
    }
  }
  // -1 is the newest image.
  Image newest;
  camera.image(newest, static_cast<uint64_t>(-1));
  EXPECT_EQ(stampedCounter(newest.rawData16()), first + 4);
  // An index past the recording is refused by the recorder.
  EXPECT_CAMERA_CODE(camera.image(newest, 5), static_cast<uint32_t>(VYK_ERR_NO_IMAGE));
  // A region outside what the recorder can count is refused, not cut.
  EXPECT_CAMERA_CODE(camera.image(newest, Roi{1, 1, 65536 + 10, 4}, 0), kInvalid);
  EXPECT_CAMERA_CODE(camera.image(newest, Roi{5, 1, 4, 4}, 0), kInvalid);
}

TEST_F(CameraTest, MonoCameraConvertsToMono8AndPseudocolour) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(2, RecordMode::Sequence);

  Image img;
  camera.image(img, Roi{1, 1, 10, 6}, 1, DataFormat::Mono8);
  EXPECT_EQ(img.rawData16().size(), 60u);
  ASSERT_EQ(img.data8().size(), 12u * 6u);  // rows padded to a multiple of 4
  EXPECT_EQ(img.data8()[10], 0);            // padding is zero
  bool anyLit = false;
  for (uint8_t v : img.data8()) anyLit = anyLit || v != 0;
  EXPECT_TRUE(anyLit);

  camera.image(img, 0, DataFormat::BGR8);
  EXPECT_EQ(img.data8().size(), 64u * 48u * 3u);
  camera.image(img, 0, DataFormat::RGBA8);
  EXPECT_EQ(img.data8().size(), 64u * 48u * 4u);
  EXPECT_CAMERA_ERROR(camera.image(img, 0, DataFormat::BGR16), "DataFormat::BGR16 is not supported for mono cameras!",
                      kInvalid);
  EXPECT_CAMERA_ERROR(camera.image(img, 0, DataFormat::RGB16), "Data format is not supported by the camera!",
                      kInvalid);
}

TEST_F(CameraTest, ColourCameraConvertsToEveryColourFormat) {
  auto cam = stampingCamera(1001);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 12}, {"color", true}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(1, RecordMode::Sequence);

  Image bgr;
  Image rgb;
  camera.image(bgr, 0, DataFormat::BGR8);
  camera.image(rgb, 0, DataFormat::RGB8);
  ASSERT_EQ(bgr.data8().size(), 64u * 48u * 3u);
  ASSERT_EQ(rgb.data8().size(), bgr.data8().size());
  // Same image, same settings: only the channel order differs.
  for (std::size_t p = 0; p < 64u * 48u; ++p) {
    ASSERT_EQ(bgr.data8()[3 * p], rgb.data8()[3 * p + 2]) << p;
    ASSERT_EQ(bgr.data8()[3 * p + 1], rgb.data8()[3 * p + 1]) << p;
  }
  Image img;
  camera.image(img, 0, DataFormat::BGRA8);
  EXPECT_EQ(img.data8().size(), 64u * 48u * 4u);
  camera.image(img, Roi{1, 1, 10, 4}, 0, DataFormat::BGR16);
  EXPECT_EQ(img.data16().size(), 12u * 4u * 3u);
  camera.image(img, 0, DataFormat::RGB16);
  ASSERT_EQ(img.data16().size(), 64u * 48u * 3u);
  for (uint16_t v : img.data16()) ASSERT_LE(v, 4095);  // 16-bit colour stays in the sensor's range
}

TEST(ColorPatternTest, CodeFollowsTheTopLeftColourAndTheAbsolutePosition) {
  using vyk::ColorPattern;
  const Roi sensor{1, 1, 64, 48};
  EXPECT_EQ(ColorPattern::code(0, Roi{2, 2, 9, 9}, sensor), 0);  // no colour pattern
  // p = 1 (RGGB, 0x4321): x and y odd -> 0, x even -> 1, y even -> 2, both even -> 3.
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{1, 1, 8, 8}, sensor), 0);
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{2, 1, 8, 8}, sensor), 1);
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{1, 2, 8, 8}, sensor), 2);
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{2, 2, 8, 8}, sensor), 3);
  // The sensor position of the recording counts as well.
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{1, 1, 8, 8}, Roi{2, 2, 20, 20}), 3);
  EXPECT_EQ(ColorPattern::code(0x4321, Roi{1, 1, 8, 8}, Roi{2, 3, 20, 20}), 1);
  EXPECT_EQ(ColorPattern::code(0x3412, Roi{1, 1, 8, 8}, sensor), 1);  // p = 2
  EXPECT_EQ(ColorPattern::code(0x2143, Roi{1, 1, 8, 8}, sensor), 2);  // p = 3
  EXPECT_EQ(ColorPattern::code(0x1234, Roi{1, 1, 8, 8}, sensor), 3);  // p = 4
  EXPECT_EQ(ColorPattern::code(0x1234, Roi{2, 2, 8, 8}, sensor), 0);
  EXPECT_EQ(ColorPattern::code(0x0007, Roi{1, 1, 8, 8}, sensor), 0);  // p above 4 counts as 1
}

TEST_F(CameraTest, ByteRawPixelsStayInTheRawBuffer) {
  auto cam = stampingCamera(1001);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"bits", 8}};
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(2, RecordMode::Sequence);
  EXPECT_EQ(camera.getRawFormat(), vyk::RawFormat::Byte);

  Image img;
  camera.image(img, 1);
  EXPECT_EQ(img.format(), DataFormat::Mono8);
  ASSERT_EQ(img.rawData8().size(), 64u * 48u);
  EXPECT_EQ(&img.data8(), &img.rawData8());
  EXPECT_EQ(stampedCounter(std::vector<uint16_t>(img.rawData8().begin(), img.rawData8().begin() + 4)) + 0u,
            uint32_t{img.timestamp()->dwImgCounter});
  for (DataFormat f : {DataFormat::Mono16, DataFormat::BGR8, DataFormat::RGB16}) {
    EXPECT_CAMERA_ERROR(camera.image(img, 0, f), "RawFormat::Byte can not be represented in specified DataFormat!",
                        kInvalid);
  }
}

TEST_F(CameraTest, CompressedMono8NeedsCompressionParameters) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(1, RecordMode::Sequence);
  Image img;
  EXPECT_CAMERA_ERROR(camera.image(img, 0, DataFormat::CompressedMono8),
                      "Compression parameters are required for DataFormat::CompressedMono8!", kInvalid);
  const vyk::CompressionParams params{0.5, 2.0, 1.0, 0.5, 0.0};
  camera.image(img, Roi{1, 1, 10, 3}, 0, DataFormat::CompressedMono8, params);
  EXPECT_EQ(img.format(), DataFormat::CompressedMono8);
  EXPECT_EQ(img.data8().size(), 30u);  // one byte per pixel, no padding
  EXPECT_EQ(&img.rawData8(), &img.data8());
}

TEST_F(CameraTest, OperationsThatNeedARecorderSaySo) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  Image img;
  EXPECT_CAMERA_ERROR(camera.image(img, 0), "Camera has not recorded yet. Call \"record(...)\" before \"image(...)\"",
                      0x80163024);
  EXPECT_CAMERA_ERROR(camera.waitForFirstImage(true, 1.0),
                      "Camera has no recorder yet. Call \"record(...)\" before \"waitForFirstImage(...)\"", 0x80163024);
  EXPECT_CAMERA_ERROR(camera.waitForNewImage(true, 1.0),
                      "Camera has no recorder yet. Call \"record(...)\" before \"waitForNewImage(...)\"", 0x80163024);
  EXPECT_EQ(camera.getRecordedImageCount(), 0u);
  EXPECT_EQ(camera.getRecorderBufferSize(), 0u);
  EXPECT_FALSE(camera.isRecording());
  EXPECT_FALSE(camera.trigger());
  EXPECT_NO_THROW(camera.stop());
}

TEST_F(CameraTest, RecordChecksCountAndPathAgainstTheMode) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  const std::string pathRule = libraryText(0xa016301d);
  EXPECT_CAMERA_ERROR(camera.record(0, RecordMode::Sequence), libraryText(kInvalid), kInvalid);
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::Sequence, dir_ / "x.tif"), pathRule, 0xa016301d);
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::RingBuffer, dir_ / "x.tif"), pathRule, 0xa016301d);
  for (RecordMode m : {RecordMode::Tif, RecordMode::Multitif, RecordMode::Vykraw, RecordMode::B16, RecordMode::Dicom,
                       RecordMode::Multidicom}) {
    EXPECT_CAMERA_ERROR(camera.record(5, m), pathRule, 0xa016301d);
  }
  EXPECT_CAMERA_ERROR(camera.record(3, RecordMode::RingBuffer), libraryText(0xa0163006), 0xa0163006);
  EXPECT_CAMERA_ERROR(camera.record(3, RecordMode::Fifo), libraryText(0xa0163006), 0xa0163006);
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::CamramRing), "Camera does not support CamRam!", kInvalid);
  EXPECT_CAMERA_ERROR(camera.record(5, RecordMode::CamramSegment), "Camera does not support CamRam!", kInvalid);
  EXPECT_FALSE(camera.isRecording());
}

TEST(MemoryRuleTest, PrintsTheSpaceLinesAgainstTheCapacity) {
  std::ostringstream out;
  EXPECT_EQ(vyk::MemoryRule::fit(600, 1000, false, out), 600u);
  EXPECT_EQ(out.str(), "You are above 50% of available space.\n");
  out.str("");
  EXPECT_EQ(vyk::MemoryRule::fit(500, 1000, false, out), 500u);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(vyk::MemoryRule::fit(501, 1000, false, out), 501u);
  EXPECT_EQ(out.str(), "You are above 50% of available space.\n");
  out.str("");
  EXPECT_EQ(vyk::MemoryRule::fit(1200, 1000, false, out), 1000u);
  EXPECT_EQ(out.str(), "Not enough space for your application.\nReqired number of images get adapted to max possible.\n");
  out.str("");
  EXPECT_EQ(vyk::MemoryRule::fit(1000, 1000, true, out), 1000u);  // camera RAM: no 50 % line
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(vyk::MemoryRule::fit(1001, 1000, true, out), 1000u);
  EXPECT_EQ(out.str(), "Not enough space for your application.\nReqired number of images get adapted to max possible.\n");
  out.str("");
  EXPECT_EQ(vyk::MemoryRule::fit(3, 5, false, out), 3u);  // the integer half of 5 is 2
  EXPECT_EQ(out.str(), "You are above 50% of available space.\n");
}

TEST_F(CameraTest, SmallMemoryRecordingPrintsNothing) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  camera.setExposureTime(0.001);
  testing::internal::CaptureStdout();
  camera.record(10, RecordMode::RingBuffer);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(camera.isRecording());
  EXPECT_EQ(camera.getRecorderBufferSize(), 10u);
  ASSERT_TRUE(waitUntil([&] { return camera.getRecordedImageCount() >= 12; }));
  camera.stop();
  EXPECT_FALSE(camera.isRecording());
}

TEST_F(CameraTest, WaitForFirstImageTimesOutAndEndsWithTheFirstImage) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera, VYK_TRIGGER_SOFTWARE);
  camera.record(4, RecordMode::RingBuffer);
  EXPECT_CAMERA_ERROR(camera.waitForFirstImage(true, 0.05), libraryText(0x80004001), 0x80004001);
  EXPECT_CAMERA_ERROR(camera.waitForFirstImage(false, 0.01), libraryText(0x80004001), 0x80004001);
  EXPECT_TRUE(camera.trigger());
  camera.waitForFirstImage(true, 30.0);
  EXPECT_GE(camera.getRecordedImageCount(), 1u);
  camera.stop();
  EXPECT_FALSE(camera.trigger());  // no recording runs
}

TEST_F(CameraTest, WaitForFirstImageReturnsWhenTheRecorderEndedWithoutImages) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  Configuration c = Configuration::unset();
  c.trigger_mode = VYK_TRIGGER_SOFTWARE;
  camera.setConfiguration(c);
  camera.record(4, RecordMode::RingBuffer);
  camera.stop();
  auto done = std::async(std::launch::async, [&] { camera.waitForFirstImage(true, kNaN); });
  EXPECT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

TEST_F(CameraTest, WaitForNewImageEndsWithANewerImageOrTheRecordersEnd) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera, VYK_TRIGGER_SOFTWARE);
  camera.record(4, RecordMode::RingBuffer);

  // Nothing fetched yet: the first triggered image is new.
  ASSERT_TRUE(waitUntil([&] { return camera.trigger(); }));
  camera.waitForNewImage(true, 30.0);
  Image img;
  camera.image(img, static_cast<uint64_t>(-1));
  EXPECT_EQ(img.recorderImageNumber(), 1u);
  // The fetched image is not new any more.
  EXPECT_CAMERA_ERROR(camera.waitForNewImage(true, 0.05), libraryText(0x80004001), 0x80004001);
  ASSERT_TRUE(waitUntil([&] { return camera.trigger(); }));
  camera.waitForNewImage(true, 30.0);
  camera.image(img, static_cast<uint64_t>(-1));
  EXPECT_EQ(img.recorderImageNumber(), 2u);

  // Without a time-out the wait ends when the recorder stops.
  auto waiting = std::async(std::launch::async, [&] { camera.waitForNewImage(true, kNaN); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  camera.stop();
  EXPECT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  waiting.get();
}

TEST_F(CameraTest, FifoHandsOutImagesOnce) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera, VYK_TRIGGER_SOFTWARE);
  camera.record(8, RecordMode::Fifo);
  for (int i = 0; i < 3; ++i) {
    const uint32_t before = camera.getRecordedImageCount();
    ASSERT_TRUE(waitUntil([&] { return camera.trigger(); }));
    ASSERT_TRUE(waitUntil([&] { return camera.getRecordedImageCount() > before; }));
  }
  EXPECT_EQ(camera.getRecordedImageCount(), 3u);
  camera.waitForNewImage(true, 30.0);  // a first-in-first-out recorder holding images
  Image img;
  camera.image(img, 0);
  const unsigned oldest = stampedCounter(img.rawData16());
  camera.image(img, 0);
  EXPECT_EQ(stampedCounter(img.rawData16()), oldest + 1);
  EXPECT_EQ(camera.getRecordedImageCount(), 1u);
  camera.stop();
}

TEST_F(CameraTest, BlockingSequenceThrowsTheRecordersFailure) {
  auto cam = baseCamera(1001);
  cam["failure"] = {{"after_frames", 3}};
  useCameras({cam});
  auto camera = std::make_unique<Camera>(InterfaceType::Any, 1001);
  camera->setExposureTime(0.001);
  auto recording = std::async(std::launch::async, [&] { camera->record(10, RecordMode::Sequence); });
  ASSERT_EQ(recording.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  try {
    recording.get();
    ADD_FAILURE() << "a failing device ended the sequence without an error";
  } catch (const vyk::CameraException& e) {
    EXPECT_NE(e.code(), 0u) << e.what();
  }
  // The dead device's close fails; closing reports it and goes on.
  testing::internal::CaptureStdout();
  camera.reset();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Close with error: " + libraryText(static_cast<uint32_t>(VYK_ERR_DEVICE_TIMEOUT)) + "\n");
}

TEST_F(CameraTest, NonBlockingSequenceReturnsAtOnceAndEndsByItself) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera, VYK_TRIGGER_SOFTWARE);
  camera.record(3, RecordMode::SequenceNonBlocking);
  EXPECT_TRUE(camera.isRecording());  // waits for its triggers, not for the caller
  for (uint32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(waitUntil([&] { return camera.trigger(); }));
    ASSERT_TRUE(waitUntil([&] { return camera.getRecordedImageCount() > i; }));
  }
  ASSERT_TRUE(waitUntil([&] { return !camera.isRecording(); }));
  // Ended means the camera is free for new settings at once.
  EXPECT_NO_THROW(camera.setConfiguration(Configuration::unset()));
  EXPECT_EQ(camera.getRecordedImageCount(), 3u);
  Image first;
  Image last;
  camera.image(first, 0);
  camera.image(last, 2);
  EXPECT_EQ(stampedCounter(last.rawData16()), stampedCounter(first.rawData16()) + 2);
}

TEST_F(CameraTest, AutoRangeComesFromTheFirstConvertedImageOfEachRecording) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  auto rangeOf = [](const Image& img) {
    const auto [lo, hi] = std::minmax_element(img.rawData16().begin(), img.rawData16().end());
    return std::make_pair(static_cast<int32_t>(*lo), static_cast<int32_t>(*hi));
  };
  auto limits = [&] {
    const vyk::ConvertControlBase c = vyk::commonFields(camera.getConvertControl(DataFormat::Mono8));
    return std::make_pair(c.min_limit, c.max_limit);
  };
  // Two regions far apart on the scene's diagonal gradient.
  const Roi topLeft{1, 8, 16, 20};
  const Roi bottomRight{40, 30, 64, 48};

  camera.record(2, RecordMode::Sequence);
  Image a;
  camera.image(a, topLeft, 0, DataFormat::Mono8);
  EXPECT_EQ(limits(), rangeOf(a));
  Image b;
  camera.image(b, bottomRight, 1, DataFormat::Mono8);
  ASSERT_NE(rangeOf(b), rangeOf(a));
  EXPECT_EQ(limits(), rangeOf(a));  // taken once per recording, not per image

  camera.record(2, RecordMode::Sequence);
  camera.image(b, bottomRight, 0, DataFormat::Mono8);
  EXPECT_EQ(limits(), rangeOf(b));
}

TEST_F(CameraTest, FetchingIntoAnImageOfTheRightShapeReusesItsBuffers) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(2, RecordMode::Sequence);
  Image img;
  camera.image(img, 0, DataFormat::BGR8);
  const uint16_t* raw = img.rawData16().data();
  const uint8_t* data = img.data8().data();
  const unsigned counter = stampedCounter(img.rawData16());
  camera.image(img, 1, DataFormat::BGR8);
  EXPECT_EQ(img.rawData16().data(), raw);
  EXPECT_EQ(img.data8().data(), data);
  EXPECT_EQ(stampedCounter(img.rawData16()), counter + 1);
  // Another format or region reshapes the image.
  camera.image(img, Roi{1, 1, 10, 10}, 1, DataFormat::Mono8);
  EXPECT_EQ(img.format(), DataFormat::Mono8);
  EXPECT_EQ(img.rawData16().size(), 100u);
  EXPECT_EQ(img.data8().size(), 120u);
  camera.image(img, 1);
  EXPECT_EQ(img.format(), DataFormat::Mono16);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(img.data()));
}

TEST_F(CameraTest, ImagesCarryOnlyTheBlocksTheRecordingDelivers) {
  auto cam = stampingCamera(1001);
  cam["capabilities"]["timestamp_ascii"] = true;
  useCameras({cam});
  Camera camera(InterfaceType::Any, 1001);
  Configuration c = Configuration::unset();
  c.exposure_time_s = 0.001;
  c.timestamp_mode = VYK_TIMESTAMP_ASCII;  // written into the pixels only
  c.metadata_mode = 0;
  camera.setConfiguration(c);
  camera.record(1, RecordMode::Sequence);
  Image img;
  camera.image(img, 0);
  EXPECT_FALSE(img.timestamp().has_value());
  EXPECT_FALSE(img.metadata().has_value());

  c.timestamp_mode = VYK_TIMESTAMP_BINARY_ASCII;
  c.metadata_mode = 1;
  camera.setConfiguration(c);
  camera.record(1, RecordMode::Sequence);
  camera.image(img, 0);
  ASSERT_TRUE(img.timestamp().has_value());
  ASSERT_TRUE(img.metadata().has_value());
  EXPECT_EQ(uint32_t{img.timestamp()->dwImgCounter}, metadataCounter(*img.metadata()));
}

TEST_F(CameraTest, CompressedCodesKeepTheOrderOfTheRawValues) {
  useCameras({stampingCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  camera.record(1, RecordMode::Sequence);
  const Roi roi{1, 10, 64, 48};  // below the time stamp
  Image raw;
  camera.image(raw, roi, 0, DataFormat::Mono16);
  Image compressed;
  camera.image(compressed, roi, 0, DataFormat::CompressedMono8, vyk::CompressionParams{0.5, 2.0, 1.0, 0.5, 0.0});
  const std::vector<uint16_t>& values = raw.rawData16();
  const std::vector<uint8_t>& codes = compressed.data8();
  ASSERT_EQ(codes.size(), values.size());
  std::vector<std::size_t> order(values.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
  for (std::size_t i = 1; i < order.size(); ++i) {
    ASSERT_LE(codes[order[i - 1]], codes[order[i]]) << "raw " << values[order[i - 1]] << " and " << values[order[i]];
  }
  EXPECT_LT(codes[order.front()], codes[order.back()]);
}
