// Recording into files with the local camera: every file mode writes files that the
// standard readers (libtiff, DCMTK) or the documented layouts of our own formats read back
// with the recorded pixels; the memory lines follow the capacity the recorder reports.

#include "test_CameraFixture.h"

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/support/FileMetadataCheck.h"
#include "vyk_recorder.h"

using vyk::Camera;
using vyk::Configuration;
using vyk::Image;
using vyk::InterfaceType;
using vyk::RecordMode;

namespace {

constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;
constexpr int kImages = 3;

// A 12-bit stamping camera, so that the files must keep the significant bit depth.
nlohmann::json twelveBitCamera(uint32_t serial) {
  auto cam = CameraTest::stampingCamera(serial);
  cam["sensor"] = {{"width", kWidth}, {"height", kHeight}, {"bits", 12}};
  return cam;
}

// One image of a file with its size and significant bits.
struct FileImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bits = 0;
  std::vector<uint16_t> pixels;
};

// Every page of a (multi-page) TIFF, through libtiff.
std::vector<FileImage> readTiff(const std::filesystem::path& path) {
  std::vector<FileImage> pages;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) {
    ADD_FAILURE() << "libtiff cannot open " << path;
    return pages;
  }
  do {
    FileImage page;
    uint16_t bits = 0;
    uint16_t samples = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    page.bits = bits;
    EXPECT_EQ(samples, 1);
    page.pixels.resize(static_cast<std::size_t>(page.width) * page.height);
    for (uint32_t row = 0; row < page.height; ++row) {
      if (TIFFReadScanline(tiff, page.pixels.data() + static_cast<std::size_t>(row) * page.width, row) < 0) {
        ADD_FAILURE() << "libtiff cannot read row " << row << " of " << path;
        break;
      }
    }
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(tiff) != 0);
  TIFFClose(tiff);
  return pages;
}

// Every frame of a (multi-frame) DICOM file, through DCMTK.
std::vector<FileImage> readDicom(const std::filesystem::path& path) {
  std::vector<FileImage> frames;
  DcmFileFormat file;
  const OFCondition loaded = file.loadFile(path.c_str());
  if (loaded.bad()) {
    ADD_FAILURE() << "DCMTK cannot load " << path << ": " << loaded.text();
    return frames;
  }
  DcmDataset* data = file.getDataset();
  Uint16 rows = 0, columns = 0, bitsStored = 0, bitsAllocated = 0;
  Sint32 count = 1;
  OFString photometric;
  EXPECT_TRUE(data->findAndGetUint16(DCM_Rows, rows).good());
  EXPECT_TRUE(data->findAndGetUint16(DCM_Columns, columns).good());
  EXPECT_TRUE(data->findAndGetUint16(DCM_BitsStored, bitsStored).good());
  EXPECT_TRUE(data->findAndGetUint16(DCM_BitsAllocated, bitsAllocated).good());
  EXPECT_TRUE(data->findAndGetOFString(DCM_PhotometricInterpretation, photometric).good());
  // A single-frame Secondary Capture file has no NumberOfFrames: it holds one frame.
  if (data->findAndGetSint32(DCM_NumberOfFrames, count).bad()) count = 1;
  EXPECT_EQ(bitsAllocated, 16);
  EXPECT_EQ(photometric, "MONOCHROME2");
  const Uint16* pixels = nullptr;
  unsigned long elements = 0;
  if (data->findAndGetUint16Array(DCM_PixelData, pixels, &elements).bad() || pixels == nullptr) {
    ADD_FAILURE() << "no pixel data in " << path;
    return frames;
  }
  const std::size_t perFrame = static_cast<std::size_t>(rows) * columns;
  EXPECT_EQ(elements, perFrame * static_cast<std::size_t>(count));
  for (Sint32 f = 0; f < count && (f + 1) * perFrame <= elements; ++f) {
    FileImage frame{columns, rows, bitsStored, {}};
    frame.pixels.assign(pixels + f * perFrame, pixels + (f + 1) * perFrame);
    frames.push_back(std::move(frame));
  }
  return frames;
}

std::vector<char> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
T field(const std::vector<char>& bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

std::vector<uint16_t> pixelsAt(const std::vector<char>& bytes, std::size_t offset, std::size_t count) {
  std::vector<uint16_t> pixels(count);
  if (offset + count * 2 <= bytes.size()) std::memcpy(pixels.data(), bytes.data() + offset, count * 2);
  return pixels;
}

// One B16 file: 32-byte header ("B16R", header size, width, height, bits), then the pixels.
FileImage readB16(const std::filesystem::path& path) {
  const std::vector<char> bytes = fileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(4, bytes.size())), "B16R");
  FileImage image{field<uint32_t>(bytes, 8), field<uint32_t>(bytes, 12), field<uint16_t>(bytes, 16), {}};
  const auto headerSize = field<uint32_t>(bytes, 4);
  const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
  EXPECT_EQ(bytes.size(), headerSize + count * 2);
  image.pixels = pixelsAt(bytes, headerSize, count);
  return image;
}

// A raw sequence file: its frames with their metadata blocks.
struct RawSequence {
  std::vector<FileImage> frames;
  std::vector<std::vector<char>> metadata;  // the 69-byte block of each frame
};

RawSequence readVykRaw(const std::filesystem::path& path) {
  const std::vector<char> bytes = fileBytes(path);
  RawSequence sequence;
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(8, bytes.size())), "VYKRAWSQ");
  const auto headerSize = field<uint32_t>(bytes, 12);
  const auto width = field<uint32_t>(bytes, 16);
  const auto height = field<uint32_t>(bytes, 20);
  const auto bits = field<uint16_t>(bytes, 24);
  const auto frameHeader = field<uint32_t>(bytes, 28);
  const auto recordSize = field<uint64_t>(bytes, 32);
  const auto count = field<uint64_t>(bytes, 40);
  EXPECT_EQ(recordSize, frameHeader + static_cast<uint64_t>(width) * height * 2);
  EXPECT_EQ(bytes.size(), headerSize + count * recordSize);
  for (uint64_t f = 0; f < count && headerSize + (f + 1) * recordSize <= bytes.size(); ++f) {
    const std::size_t record = headerSize + f * recordSize;
    EXPECT_EQ(field<uint8_t>(bytes, record) & 0x1, 1) << "metadata of frame " << f << " not marked valid";
    sequence.metadata.emplace_back(bytes.begin() + record + 4, bytes.begin() + record + 4 + 69);
    sequence.frames.push_back(
        FileImage{width, height, bits, pixelsAt(bytes, record + frameHeader, static_cast<std::size_t>(width) * height)});
  }
  return sequence;
}

// The numbered name of image i (1-based) of a single-image file mode.
std::filesystem::path numbered(const std::filesystem::path& dir, const std::string& stem, int i,
                               const std::string& suffix) {
  char number[16];
  std::snprintf(number, sizeof(number), "_%06d", i);
  return dir / (stem + number + suffix);
}

}  // namespace

class CameraFileTest : public CameraTest {
 protected:
  // Records kImages images into path in mode, waits until they are on disk and fetches
  // them from the recorder in recording order.
  std::vector<Image> recordInto(Camera& camera, RecordMode mode, const std::filesystem::path& path) {
    camera.record(kImages, mode, path);
    EXPECT_TRUE(waitUntil([&] { return !camera.isRecording(); }));
    camera.stop();  // returns once every accepted image is written
    EXPECT_EQ(camera.getRecordedImageCount(), static_cast<uint32_t>(kImages));
    std::vector<Image> images(kImages);
    for (int i = 0; i < kImages; ++i) camera.image(images[i], static_cast<uint64_t>(i));
    for (int i = 1; i < kImages; ++i) {
      EXPECT_EQ(stampedCounter(images[i].rawData16()), stampedCounter(images[0].rawData16()) + i);
    }
    return images;
  }

  // A file image holds the recorded image, size and bit depth included.
  static void expectSame(const FileImage& file, const Image& recorded, uint32_t bits, const std::string& what) {
    EXPECT_EQ(file.width, kWidth) << what;
    EXPECT_EQ(file.height, kHeight) << what;
    EXPECT_EQ(file.bits, bits) << what;
    EXPECT_TRUE(file.pixels == recorded.rawData16()) << what << ": pixels differ from the recorded image";
  }
};

TEST_F(CameraFileTest, SingleTiffFilesHoldOneImageEach) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::Tif, dir_ / "shot.tif");
  for (int i = 0; i < kImages; ++i) {
    const std::vector<FileImage> pages = readTiff(numbered(dir_, "shot", i + 1, ".tif"));
    ASSERT_EQ(pages.size(), 1u);
    expectSame(pages[0], images[i], 16, "tif " + std::to_string(i));
  }
  EXPECT_FALSE(std::filesystem::exists(numbered(dir_, "shot", kImages + 1, ".tif")));
}

TEST_F(CameraFileTest, MultiPageTiffHoldsEveryImageInOrder) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::Multitif, dir_ / "sequence.tif");
  const std::vector<FileImage> pages = readTiff(dir_ / "sequence.tif");
  ASSERT_EQ(pages.size(), static_cast<std::size_t>(kImages));
  for (int i = 0; i < kImages; ++i) expectSame(pages[i], images[i], 16, "page " + std::to_string(i));

  // Recording onto the same file again replaces it (the recorder warns, which is success).
  const std::vector<Image> again = recordInto(camera, RecordMode::Multitif, dir_ / "sequence.tif");
  const std::vector<FileImage> replaced = readTiff(dir_ / "sequence.tif");
  ASSERT_EQ(replaced.size(), static_cast<std::size_t>(kImages));
  expectSame(replaced[0], again[0], 16, "replaced page 0");
}

TEST_F(CameraFileTest, DicomFilesHoldOneImageEach) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::Dicom, dir_ / "shot.dcm");
  for (int i = 0; i < kImages; ++i) {
    const std::vector<FileImage> frames = readDicom(numbered(dir_, "shot", i + 1, ".dcm"));
    ASSERT_EQ(frames.size(), 1u);
    expectSame(frames[0], images[i], 12, "dicom " + std::to_string(i));
  }
}

TEST_F(CameraFileTest, MultiFrameDicomHoldsEveryImageInOrder) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::Multidicom, dir_ / "sequence.dcm");
  const std::vector<FileImage> frames = readDicom(dir_ / "sequence.dcm");
  ASSERT_EQ(frames.size(), static_cast<std::size_t>(kImages));
  for (int i = 0; i < kImages; ++i) expectSame(frames[i], images[i], 12, "frame " + std::to_string(i));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "sequence.dcm.frames.part"));
}

TEST_F(CameraFileTest, B16FilesHoldOneImageEach) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::B16, dir_ / "shot.b16");
  for (int i = 0; i < kImages; ++i) {
    expectSame(readB16(numbered(dir_, "shot", i + 1, ".b16")), images[i], 12, "b16 " + std::to_string(i));
  }
}

TEST_F(CameraFileTest, RawSequenceFileKeepsPixelsAndMetadata) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  const std::vector<Image> images = recordInto(camera, RecordMode::Vykraw, dir_ / "sequence.raw");
  const RawSequence sequence = readVykRaw(dir_ / "sequence.raw");
  ASSERT_EQ(sequence.frames.size(), static_cast<std::size_t>(kImages));
  for (int i = 0; i < kImages; ++i) {
    expectSame(sequence.frames[i], images[i], 12, "raw frame " + std::to_string(i));
    ASSERT_TRUE(images[i].metadata().has_value());
    EXPECT_EQ(std::memcmp(sequence.metadata[i].data(), &*images[i].metadata(), 69), 0) << "metadata of frame " << i;
  }
}

TEST_F(CameraFileTest, MemoryLinesFollowTheCapacityTheRecorderReports) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  Configuration c = Configuration::unset();
  c.trigger_mode = VYK_TRIGGER_SOFTWARE;  // nothing is written: only the sizing matters
  camera.setConfiguration(c);

  // The capacity a file recorder reports here: the free space of the folder in images.
  const std::filesystem::path path = dir_ / "space.tif";
  VYK_HANDLE device = deviceOf(camera);
  VYK_RECORDER probe = nullptr;
  uint32_t capacity = 0;
  ASSERT_EQ(VYK_RecorderCreate(&probe, &device, 1, VYK_RECORDER_MODE_FILE, path.c_str(), &capacity), 0);
  VYK_RecorderDelete(probe);
  ASSERT_GT(capacity, 100u);

  // Margins of a tenth of the capacity absorb the free space changing meanwhile.
  auto linesFor = [&](uint64_t requested) {
    testing::internal::CaptureStdout();
    camera.record(static_cast<uint32_t>(std::min<uint64_t>(requested, 0xFFFFFFFFu)), RecordMode::Tif, path);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(camera.isRecording());
    camera.stop();
    return printed;
  };
  EXPECT_EQ(linesFor(capacity * 6ull / 10), "You are above 50% of available space.\n");
  EXPECT_EQ(linesFor(capacity * 4ull / 10), "");
  EXPECT_EQ(linesFor(capacity * 12ull / 10),
            "Not enough space for your application.\nReqired number of images get adapted to max possible.\n");
}

// Every TIFF and DICOM kind says which camera took its images, when and with what exposure;
// the DICOM files pass the standard's checker and the pixels are the recorded ones.
TEST_F(CameraFileTest, TiffAndDicomFilesCarryTheAcquisitionFacts) {
  useCameras({twelveBitCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  prepare(camera);
  filecheck::Expected expected;
  expected.cameraName = camera.getName();
  expected.serial = 1001;
  expected.significantBits = 12;
  expected.exposureS = camera.getConfiguration().exposure_time_s;
  ASSERT_FALSE(expected.cameraName.empty());
  const auto pagesOf = [](const std::vector<Image>& images) {
    std::vector<std::vector<uint8_t>> pages;
    for (const Image& image : images) pages.push_back(filecheck::bytesOf(image.rawData16()));
    return pages;
  };

  expected.pages = pagesOf(recordInto(camera, RecordMode::Multitif, dir_ / "facts.tif"));
  EXPECT_TRUE(filecheck::isOmeTiff((dir_ / "facts.tif").string(), expected));
  expected.pages = pagesOf(recordInto(camera, RecordMode::Multidicom, dir_ / "facts.dcm"));
  EXPECT_TRUE(filecheck::isDicom((dir_ / "facts.dcm").string(), true, expected));

  const std::vector<Image> tiffs = recordInto(camera, RecordMode::Tif, dir_ / "one.tif");
  const std::vector<Image> dicoms = recordInto(camera, RecordMode::Dicom, dir_ / "one.dcm");
  double previous = -1.0;
  for (int i = 0; i < kImages; ++i) {
    expected.pages = pagesOf({tiffs[i]});
    const std::string tiff = numbered(dir_, "one", i + 1, ".tif").string();
    EXPECT_TRUE(filecheck::isOmeTiff(tiff, expected)) << "image " << i;
    const double deltaT = filecheck::readOmeTiff(tiff).planes.at(0).deltaT;
    EXPECT_GT(deltaT, previous) << "image " << i << " is not later than the one before";
    previous = deltaT;
    expected.pages = pagesOf({dicoms[i]});
    EXPECT_TRUE(filecheck::isDicom(numbered(dir_, "one", i + 1, ".dcm").string(), false, expected)) << "image " << i;
  }
}
