// Image export: non-overwriting names, refused formats and recordings, and the pixel
// layout and colour order of each data format, checked by reading the files back.

#include <cstring>
#include <fstream>
#include <vector>

#include <tiffio.h>

#include "AcquisitionFixture.h"
#include "acquisition/ImageExport.h"
#include "camera/CameraException.h"
#include "tests/support/FileMetadataCheck.h"

namespace {

using vyk::DataFormat;
using vyk::RecordMode;

/// A TIFF file's first page: size, samples per pixel, bits, and its rows concatenated.
struct TiffPage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t samples = 0;
  uint16_t bits = 0;
  std::vector<uint8_t> bytes;
};

TiffPage readTiff(const std::string& path) {
  TiffPage page;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return page;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &page.bits);
  const tmsize_t rowBytes = TIFFScanlineSize(tiff);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (uint32_t y = 0; y < page.height; ++y) {
    if (TIFFReadScanline(tiff, row.data(), y) < 0) break;
    page.bytes.insert(page.bytes.end(), row.begin(), row.end());
  }
  TIFFClose(tiff);
  return page;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(AcquisitionTest, SavingTwiceNeverOverwrites) {
  const DWORD serial = 7201;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  camera->record(5, RecordMode::Sequence);
  const QString path = QString::fromStdString((dir_ / "img.b16").string());

  EXPECT_EQ(acquisition.saveImage(path, 2, DataFormat::Mono16), path);
  const QString second = acquisition.saveImage(path, 3, DataFormat::Mono16);
  EXPECT_EQ(second, QString::fromStdString((dir_ / "img_1.b16").string()));
  EXPECT_EQ(acquisition.saveImage(path, -1, DataFormat::Mono16),
            QString::fromStdString((dir_ / "img_2.b16").string()));
  EXPECT_TRUE(log_.has(QtDebugMsg, QStringLiteral("Index was -1 - saving latest image to: ") +
                                       QString::fromStdString((dir_ / "img_2.b16").string())));

  // The B16 file holds the recorded pixels behind its 32-byte header.
  vyk::Image direct;
  camera->image(direct, 3, DataFormat::Mono16);
  const std::vector<uint8_t> file = readFile(dir_ / "img_1.b16");
  const std::vector<uint16_t>& pixels = direct.data16();
  ASSERT_EQ(file.size(), 32 + pixels.size() * 2);
  EXPECT_EQ(std::memcmp(file.data(), "B16R", 4), 0);
  EXPECT_EQ(std::memcmp(file.data() + 32, pixels.data(), pixels.size() * 2), 0);
}

TEST_F(AcquisitionTest, SaveRefusesEmptyRecordingsAndUnsupportedFormats) {
  const DWORD serial = 7202;
  useCameras(smallCamera(serial));
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  const QString path = QString::fromStdString((dir_ / "img.tif").string());

  try {
    acquisition.saveImage(path, 0, DataFormat::Mono8);
    ADD_FAILURE() << "saved without a recording";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.message(), "No Image to save. Please record Images prior to saving");
    EXPECT_EQ(e.code(), 0x160000u);
  }
  camera->record(5, RecordMode::Sequence);
  for (DataFormat refused : {DataFormat::CompressedMono8, DataFormat::Undefined}) {
    try {
      acquisition.saveImage(path, 0, refused);
      ADD_FAILURE() << "saved format " << static_cast<int>(refused);
    } catch (const vyk::CameraException& e) {
      EXPECT_EQ(e.message(), "No Dataformat set or currently not supported format");
      EXPECT_EQ(e.code(), 0x160000u);
    }
  }
  EXPECT_TRUE(log_.has(QtWarningMsg, QStringLiteral("Error - No Image to save")));
  EXPECT_TRUE(log_.has(QtWarningMsg, QStringLiteral("Error - Wrong dataformat")));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "img.tif"));

  // A suffix the export does not know ends in the export's own error, logged with the
  // code as the export returned it (no "0x"), after the line naming the index and file.
  const QString unknownSuffix = QString::fromStdString((dir_ / "img.xyz").string());
  try {
    acquisition.saveImage(unknownSuffix, 3, DataFormat::Mono16);
    ADD_FAILURE() << "saved with an unknown suffix";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.code(), 0x8016000Fu);
  }
  EXPECT_TRUE(log_.has(QtDebugMsg, QStringLiteral("Save image with index: 3 to: ") + unknownSuffix));
  EXPECT_TRUE(log_.has(QtWarningMsg,
                       QStringLiteral("Leave saveImage throwing CameraException. VYK_RecorderExportImage returned: ") +
                           QString::number(static_cast<int32_t>(0x8016000Fu))));
  EXPECT_EQ(log_.countStartingWith(QStringLiteral("Leave saveImage throwing CameraException.")), 1);
}

TEST_F(AcquisitionTest, ColourImagesKeepTheirChannelOrder) {
  const DWORD serial = 7203;
  nlohmann::json config = smallCamera(serial);
  config["sensor"]["color"] = true;
  config["sensor"]["width"] = 62;  // rows padded to 64 pixels in the converted data
  useCameras(config);
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  camera->record(3, RecordMode::Sequence);

  for (DataFormat format : {DataFormat::BGR8, DataFormat::RGB8}) {
    const QString name = acquisition.saveImage(QString::fromStdString((dir_ / "colour.tif").string()), 1, format);
    vyk::Image direct;
    camera->image(direct, 1, format);
    const TiffPage page = readTiff(name.toStdString());
    ASSERT_EQ(page.width, 62u);
    ASSERT_EQ(page.samples, 3);
    ASSERT_EQ(page.bits, 8);
    const std::vector<uint8_t>& data = direct.data8();
    const bool blueFirst = format == DataFormat::BGR8;
    bool same = true;
    for (uint32_t y = 0; y < page.height && same; ++y) {
      for (uint32_t x = 0; x < page.width && same; ++x) {
        const uint8_t* source = data.data() + (y * 64 + x) * 3;
        const uint8_t* written = page.bytes.data() + (y * page.width + x) * 3;
        const uint8_t red = blueFirst ? source[2] : source[0];
        const uint8_t blue = blueFirst ? source[0] : source[2];
        same = written[0] == red && written[1] == source[1] && written[2] == blue;
      }
    }
    EXPECT_TRUE(same) << "format " << static_cast<int>(format);
  }
}

TEST_F(AcquisitionTest, Mono8FromAnEightBitSensorIsPaddedForTheExport) {
  const DWORD serial = 7204;
  nlohmann::json config = smallCamera(serial);
  config["sensor"] = {{"width", 62}, {"height", 10}, {"bits", 8}};
  useCameras(config);
  auto camera = open(serial);
  CameraAcquisition acquisition(camera);
  camera->record(3, RecordMode::Sequence);

  const QString name = acquisition.saveImage(QString::fromStdString((dir_ / "mono.tif").string()), 0, DataFormat::Mono8);
  vyk::Image direct;
  camera->image(direct, 0, DataFormat::Mono8);
  ASSERT_EQ(direct.data8().size(), 62u * 10u);  // unpadded rows straight from the sensor
  const TiffPage page = readTiff(name.toStdString());
  ASSERT_EQ(page.width, 62u);
  ASSERT_EQ(page.samples, 1);
  ASSERT_EQ(page.bits, 8);
  EXPECT_EQ(page.bytes, direct.data8());
}

TEST(ImageExport, LayoutPerDataFormat) {
  using imageexport::layoutOf;
  EXPECT_STREQ(layoutOf(DataFormat::Mono8)->code, "M_08");
  EXPECT_STREQ(layoutOf(DataFormat::Mono16)->code, "M_16");
  EXPECT_STREQ(layoutOf(DataFormat::BGR8)->code, "C_08");
  EXPECT_EQ(layoutOf(DataFormat::BGR8)->colourOrder, 1);
  EXPECT_STREQ(layoutOf(DataFormat::RGB8)->code, "C_08");
  EXPECT_EQ(layoutOf(DataFormat::RGB8)->colourOrder, 0);
  EXPECT_STREQ(layoutOf(DataFormat::BGRA8)->code, "C_08_A");
  EXPECT_EQ(layoutOf(DataFormat::BGRA8)->colourOrder, 1);
  EXPECT_EQ(layoutOf(DataFormat::RGBA8)->colourOrder, 0);
  EXPECT_STREQ(layoutOf(DataFormat::RGB16)->code, "C_16");
  EXPECT_EQ(layoutOf(DataFormat::RGB16)->colourOrder, 0);
  EXPECT_EQ(layoutOf(DataFormat::BGR16)->colourOrder, 1);
  EXPECT_FALSE(layoutOf(DataFormat::CompressedMono8));
  EXPECT_FALSE(layoutOf(DataFormat::Undefined));
}

TEST(ImageExport, FreeFileNameSkipsExistingFiles) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "rastel_acq_names";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "shot.tif") << "x";
  std::ofstream(dir / "shot_1.tif") << "x";
  EXPECT_EQ(imageexport::freeFileName(QString::fromStdString((dir / "shot.tif").string())),
            QString::fromStdString((dir / "shot_2.tif").string()));
  EXPECT_EQ(imageexport::freeFileName(QString::fromStdString((dir / "other.tif").string())),
            QString::fromStdString((dir / "other.tif").string()));
  std::filesystem::remove_all(dir);
}

}  // namespace

// Images saved from the GUI's export path carry the camera's facts: OME-XML with the
// camera's name, serial, bit resolution and exposure in TIFF, and DICOM files that pass
// dciodvfy with the same facts; the pixels are the recorded ones.
TEST_F(AcquisitionTest, SavedImagesCarryTheCameraFacts) {
  const DWORD serial = 7210;
  nlohmann::json twelveBit = smallCamera(serial);
  twelveBit["sensor"]["bits"] = 12;
  useCameras(twelveBit);
  auto camera = open(serial, 0.0005);
  CameraAcquisition acquisition(camera);
  camera->record(3, RecordMode::Sequence);

  filecheck::Expected expected;
  expected.cameraName = camera->getName();
  expected.serial = serial;
  expected.exposureS = 0.0005;
  ASSERT_FALSE(expected.cameraName.empty());
  for (const DataFormat format : {DataFormat::Mono16, DataFormat::Mono8}) {
    const bool words = format == DataFormat::Mono16;
    SCOPED_TRACE(words ? "Mono16" : "Mono8");
    vyk::Image direct;
    camera->image(direct, 1, format);
    expected.significantBits = words ? 12 : 8;
    expected.pages = {words ? filecheck::bytesOf(direct.data16()) : std::vector<uint8_t>()};
    if (!words) {
      // Mono8 rows are padded to a multiple of 4 in memory; files hold the packed rows.
      const uint64_t width = direct.width(), padded = (width + 3) / 4 * 4;
      const std::vector<uint8_t>& bytes = direct.data8().size() >= padded * direct.height() ? direct.data8()
                                                                                             : direct.rawData8();
      const uint64_t stride = bytes.size() / direct.height();
      for (uint64_t row = 0; row < direct.height(); ++row)
        expected.pages[0].insert(expected.pages[0].end(), bytes.begin() + row * stride,
                                 bytes.begin() + row * stride + width);
    }
    const std::string stem = (dir_ / (words ? "facts16" : "facts8")).string();
    const QString tif = acquisition.saveImage(QString::fromStdString(stem + ".tif"), 1, format);
    const QString dcm = acquisition.saveImage(QString::fromStdString(stem + ".dcm"), 1, format);
    EXPECT_TRUE(filecheck::isOmeTiff(tif.toStdString(), expected));
    EXPECT_TRUE(filecheck::isDicom(dcm.toStdString(), false, expected));
  }
}
