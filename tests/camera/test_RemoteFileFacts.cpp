// File recordings made through a device server on 127.0.0.1: the TIFF and DICOM files in
// the server's folder carry the served camera's facts, and DICOM files pass dciodvfy.
#include <cstdio>

#include "test_RemoteFixture.h"
#include "tests/support/FileMetadataCheck.h"

using vyk::RecordMode;

namespace remotetest {
namespace {

constexpr uint32_t kImages = 3;

class RemoteFileFactsTest : public RemoteTest {
 protected:
  void SetUp() override {
    RemoteTest::SetUp();
    startServer();
  }

  // Records kImages images into name (relative to the server's folder) and returns the
  // pixels of each recorded image as the recorder hands them out.
  std::vector<std::vector<uint8_t>> recordInto(vyk::AnyCamera& camera, RecordMode mode, const std::string& name) {
    camera.record(kImages, mode, name);
    EXPECT_TRUE(eventually([&] { return !camera.isRecording(); }));
    camera.stop();
    std::vector<std::vector<uint8_t>> pages;
    for (uint32_t i = 0; i < kImages; ++i) {
      vyk::Image image;
      camera.image(image, i);
      pages.push_back(filecheck::bytesOf(image.rawData16()));
    }
    return pages;
  }

  std::string onServer(const std::string& name) const { return (_folder / "data" / name).string(); }

  static std::string numbered(const std::string& stem, uint32_t i, const std::string& suffix) {
    char number[16];
    std::snprintf(number, sizeof number, "_%06u", i + 1);
    return stem + number + suffix;
  }
};

TEST_F(RemoteFileFactsTest, ServerRecordingsCarryTheCameraFacts) {
  auto camera = connect(kMonoSerial);
  camera->setExposureTime(0.002);
  filecheck::Expected expected;
  expected.cameraName = camera->getName();
  expected.serial = kMonoSerial;
  expected.significantBits = camera->getDescription().bit_resolution;
  expected.exposureS = camera->getConfiguration().exposure_time_s;
  ASSERT_FALSE(expected.cameraName.empty());

  expected.pages = recordInto(*camera, RecordMode::Multitif, "facts.tif");
  EXPECT_TRUE(filecheck::isOmeTiff(onServer("facts.tif"), expected));
  expected.pages = recordInto(*camera, RecordMode::Multidicom, "facts.dcm");
  EXPECT_TRUE(filecheck::isDicom(onServer("facts.dcm"), true, expected));

  const std::vector<std::vector<uint8_t>> tiffs = recordInto(*camera, RecordMode::Tif, "one.tif");
  const std::vector<std::vector<uint8_t>> dicoms = recordInto(*camera, RecordMode::Dicom, "one.dcm");
  double previous = -1.0;
  for (uint32_t i = 0; i < kImages; ++i) {
    expected.pages = {tiffs[i]};
    const std::string tiff = onServer(numbered("one", i, ".tif"));
    EXPECT_TRUE(filecheck::isOmeTiff(tiff, expected)) << "image " << i;
    const double deltaT = filecheck::readOmeTiff(tiff).planes.at(0).deltaT;
    EXPECT_GT(deltaT, previous) << "image " << i << " is not later than the one before";
    previous = deltaT;
    expected.pages = {dicoms[i]};
    EXPECT_TRUE(filecheck::isDicom(onServer(numbered("one", i, ".dcm")), false, expected)) << "image " << i;
  }
}

}  // namespace
}  // namespace remotetest
