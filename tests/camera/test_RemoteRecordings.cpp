// Recordings read back through the device server: a file recording longer than the
// recorder's preview ring, and DXR segments that keep their own images.

#include <tiffio.h>

#include <algorithm>
#include <vector>

#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using vyk::DataFormat;
using vyk::RecordMode;

using Pixels = std::vector<uint16_t>;

// Page page of a multi-page TIFF file; empty when it cannot be read.
Pixels tiffPage(const std::filesystem::path& file, uint16_t page) {
  Pixels pixels;
  TIFF* tiff = TIFFOpen(file.string().c_str(), "r");
  if (tiff == nullptr) return pixels;
  uint32_t width = 0, height = 0;
  if (TIFFSetDirectory(tiff, page) == 1 && TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) == 1 &&
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) == 1) {
    pixels.resize(size_t{width} * height);
    for (uint32_t row = 0; row < height; ++row) {
      if (TIFFReadScanline(tiff, pixels.data() + size_t{row} * width, row, 0) != 1) pixels.clear();
    }
  }
  TIFFClose(tiff);
  return pixels;
}

// The raw pixels of recorded image index, fetched from the server.
Pixels fetch(vyk::AnyCamera& camera, uint64_t index, uint32_t* number = nullptr) {
  vyk::Image image;
  camera.image(image, index, DataFormat::Mono16);
  if (number != nullptr) *number = image.recorderImageNumber();
  return image.rawData16();
}

TEST_F(RemoteTest, FileRecordingServesEveryImageAsItsFileHoldsIt) {
  startServer();
  // The colour camera has no camera RAM: its file recording goes through the recorder.
  auto camera = connect(kColourSerial);
  camera->setExposureTime(0.001);
  camera->record(40, RecordMode::Multitif, "runs/forty.tif");
  ASSERT_TRUE(eventually([&] { return !camera->isRecording(); }));
  EXPECT_EQ(camera->getRecordedImageCount(), 40u);
  EXPECT_GE(camera->getRecorderBufferSize(), 40u) << "the buffer is the recording, not the preview ring";

  const std::filesystem::path file = _folder / "data" / "runs" / "forty.tif";
  for (uint16_t index : {0, 1, 20, 39}) {
    uint32_t number = 0;
    const Pixels served = fetch(*camera, index, &number);
    const Pixels page = tiffPage(file, index);
    ASSERT_FALSE(page.empty()) << "page " << index;
    EXPECT_EQ(served, page) << "image " << index;
    EXPECT_EQ(number, index + 1u);
  }
  EXPECT_EQ(fetch(*camera, static_cast<uint64_t>(-1)), tiffPage(file, 39)) << "the newest image is the last page";
}

TEST_F(RemoteTest, DxrSegmentsKeepTheirOwnImagesAcrossRecordingsAndSwitches) {
  // 4 MiB: the two DXR cameras get 2 MiB each
  startServer(2000, [](devserver::ServerOptions& options) { options.dxrStorageMiB = 4; });
  auto camera = connect(kDxrSerial);
  camera->setExposureTime(0.001);
  // Two segments of 1 MiB (42 images of 128 x 96) for this camera; the other keeps its own.
  std::vector<vyk::RamAllocation> segments = camera->getDxrAllocation();
  segments.erase(std::remove_if(segments.begin(), segments.end(),
                                [](const vyk::RamAllocation& s) { return s.camera_serial == kDxrSerial; }),
                 segments.end());
  segments.push_back({1, 0, 25.0, kDxrSerial});
  segments.push_back({5, 0, 25.0, kDxrSerial});
  camera->setDxrAllocation(segments);

  const auto recordInto = [&](uint16_t segment, uint32_t count) {
    camera->switchToCamRam(segment);
    camera->record(count, RecordMode::SequenceNonBlocking);
    EXPECT_TRUE(eventually([&] { return !camera->isRecording(); }));
    EXPECT_EQ(camera->getCamRamNumImages(), count);
    std::vector<Pixels> images;
    for (uint32_t i = 0; i < count; ++i) images.push_back(fetch(*camera, i));
    return images;
  };
  const std::vector<Pixels> first = recordInto(1, 10);
  const std::vector<Pixels> second = recordInto(5, 6);
  ASSERT_NE(first[0], second[0]) << "the two recordings must be told apart";

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    camera->switchToCamRam(1);
    ASSERT_EQ(camera->getCamRamNumImages(), 10u);
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(fetch(*camera, i), first[i]) << "segment 1, image " << i;
    EXPECT_EQ(fetch(*camera, static_cast<uint64_t>(-1)), first[9]);
    // Beyond the segment's images the server refuses (the client reports any refusal alike).
    EXPECT_CAMERA_ERROR(fetch(*camera, 10), "image call failed", 0x160000u);

    camera->switchToCamRam(5);
    ASSERT_EQ(camera->getCamRamNumImages(), 6u);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(fetch(*camera, i), second[i]) << "segment 5, image " << i;
  }

  // A new recording into segment 1 replaces what it kept; segment 5 keeps its images.
  const std::vector<Pixels> third = recordInto(1, 4);
  camera->switchToCamRam(5);
  EXPECT_EQ(camera->getCamRamNumImages(), 6u);
  EXPECT_EQ(fetch(*camera, 5), second[5]);
  camera->switchToCamRam(1);
  EXPECT_EQ(camera->getCamRamNumImages(), 4u);
  EXPECT_EQ(fetch(*camera, 3), third[3]);
}

}  // namespace
}  // namespace remotetest
