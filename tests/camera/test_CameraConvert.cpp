// Conversion settings of the local camera: defaults per DataFormat, shared handles,
// white-balance range, lookup tables.

#include "test_CameraFixture.h"

#include <fstream>

#include "camera/ConversionSet.h"

using vyk::Camera;
using vyk::ConvertControl;
using vyk::ConvertControlColor;
using vyk::ConvertControlMono;
using vyk::ConvertControlPseudocolor;
using vyk::DataFormat;
using vyk::InterfaceType;

namespace {

constexpr uint32_t kInvalid = 0xa0163001u;

nlohmann::json colorCamera(uint32_t serial, int bits) {
  auto cam = CameraTest::baseCamera(serial);
  cam["sensor"] = {{"width", 64}, {"height", 48}, {"bits", bits}, {"color", true}};
  return cam;
}

void writeTextLut(const std::filesystem::path& path) {
  std::ofstream out(path);
  for (int i = 0; i < 256; ++i) out << i << ' ' << 255 - i << ' ' << i / 2 << '\n';
}

void writeBinaryLut(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < 768; ++i) out.put(static_cast<char>(i % 256));
}

void writeControlPoints(const std::filesystem::path& path) {
  std::ofstream out(path);
  out << "0 0 0 0\n128 255 0 0\n255 255 255 255\n";
}

ConvertControlColor manualColor(int32_t minLimit, int32_t maxLimit, int32_t temperature) {
  ConvertControlColor c;
  c.auto_minmax = false;
  c.min_limit = minLimit;
  c.max_limit = maxLimit;
  c.gamma = 1.0;
  c.color_temperature = temperature;
  return c;
}

}  // namespace

TEST_F(CameraTest, MonoCameraHasMonoAndPseudocolourSettingsWithDefaults) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);

  const ConvertControl mono = camera.getConvertControl(DataFormat::Mono8);
  ASSERT_TRUE(std::holds_alternative<ConvertControlMono>(mono));
  const auto& common = vyk::commonFields(mono);
  EXPECT_TRUE(common.sharpen);
  EXPECT_TRUE(common.adaptive_sharpen);
  EXPECT_TRUE(common.flip_vertical);
  EXPECT_TRUE(common.auto_minmax);
  EXPECT_EQ(common.add_conv_flags, 0);
  EXPECT_DOUBLE_EQ(common.gamma, 1.0);
  EXPECT_EQ(common.contrast, 0);

  for (DataFormat f : {DataFormat::BGR8, DataFormat::BGRA8, DataFormat::RGB8, DataFormat::RGBA8}) {
    const ConvertControl pseudo = camera.getConvertControl(f);
    ASSERT_TRUE(std::holds_alternative<ConvertControlPseudocolor>(pseudo)) << static_cast<int>(f);
    EXPECT_EQ(std::get<ConvertControlPseudocolor>(pseudo).color_temperature, 6500);
    EXPECT_TRUE(std::get<ConvertControlPseudocolor>(pseudo).lut_file.empty());
  }
  for (DataFormat f : {DataFormat::BGR16, DataFormat::RGB16, DataFormat::Mono16, DataFormat::CompressedMono8}) {
    EXPECT_CAMERA_ERROR(camera.getConvertControl(f), "Data format is not supported by the camera!", kInvalid);
  }
}

TEST_F(CameraTest, ColourCameraHasColourSettingsForEveryColourFormat) {
  useCameras({colorCamera(1001, 16)});
  Camera camera(InterfaceType::Any, 1001);
  EXPECT_TRUE(std::holds_alternative<ConvertControlMono>(camera.getConvertControl(DataFormat::Mono8)));
  for (DataFormat f : {DataFormat::BGR8, DataFormat::BGR16, DataFormat::BGRA8, DataFormat::RGB8, DataFormat::RGBA8,
                       DataFormat::RGB16}) {
    const ConvertControl c = camera.getConvertControl(f);
    ASSERT_TRUE(std::holds_alternative<ConvertControlColor>(c)) << static_cast<int>(f);
    EXPECT_FALSE(std::get<ConvertControlColor>(c).vyk_debayer_algorithm);
    EXPECT_EQ(std::get<ConvertControlColor>(c).color_temperature, 6500);
    EXPECT_EQ(std::get<ConvertControlColor>(c).color_saturation, 0);
  }
}

TEST_F(CameraTest, SetConvertControlChecksFormatAndAlternative) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  EXPECT_CAMERA_ERROR(camera.setConvertControl(DataFormat::Mono16, ConvertControlMono{}),
                      "DataFormat is not valid for this camera type!", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setConvertControl(DataFormat::Mono8, ConvertControlColor{}),
                      "ConvertControl struct does not fit to the DataFormat!", kInvalid);
  EXPECT_CAMERA_ERROR(camera.setConvertControl(DataFormat::BGR8, ConvertControlMono{}),
                      "ConvertControl struct does not fit to the DataFormat!", kInvalid);

  ConvertControlMono mono;
  mono.auto_minmax = false;
  mono.min_limit = 100;
  mono.max_limit = 1000;
  mono.gamma = 1.5;
  mono.contrast = 10;
  mono.sharpen = true;
  camera.setConvertControl(DataFormat::Mono8, mono);
  const auto back = std::get<ConvertControlMono>(camera.getConvertControl(DataFormat::Mono8));
  EXPECT_EQ(back, mono);
}

TEST_F(CameraTest, FormatsSharingAConverterShareItsParameters) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  ConvertControlPseudocolor pseudo;
  pseudo.auto_minmax = false;
  pseudo.min_limit = 10;
  pseudo.max_limit = 5000;
  pseudo.gamma = 2.0;
  pseudo.color_temperature = 6500;
  pseudo.color_saturation = 20;
  camera.setConvertControl(DataFormat::BGR8, pseudo);
  // RGB8 uses the BGR8 handle, so its refreshed values are those just written.
  const auto shared = std::get<ConvertControlPseudocolor>(camera.getConvertControl(DataFormat::RGB8));
  EXPECT_DOUBLE_EQ(shared.gamma, 2.0);
  EXPECT_EQ(shared.min_limit, 10);
  EXPECT_EQ(shared.max_limit, 5000);
  EXPECT_EQ(shared.color_saturation, 20);
  // Mono8 has a handle of its own.
  EXPECT_DOUBLE_EQ(vyk::commonFields(camera.getConvertControl(DataFormat::Mono8)).gamma, 1.0);
}

TEST_F(CameraTest, ColourLimitsAreBroughtIntoTheWhiteBalanceRange) {
  useCameras({colorCamera(1001, 12), colorCamera(1002, 16)});
  Camera twelve(InterfaceType::Any, 1001);
  // Neutral white balance: the upper limit cannot pass the 12-bit full scale.
  twelve.setConvertControl(DataFormat::BGR8, manualColor(0, 20000, 6500));
  auto c = std::get<ConvertControlColor>(twelve.getConvertControl(DataFormat::BGR8));
  EXPECT_EQ(c.max_limit, 4095);
  EXPECT_EQ(c.min_limit, 0);

  Camera sixteen(InterfaceType::Any, 1002);
  sixteen.setConvertControl(DataFormat::RGBA8, manualColor(0, 20000, 6500));
  c = std::get<ConvertControlColor>(sixteen.getConvertControl(DataFormat::RGBA8));
  EXPECT_EQ(c.max_limit, 20000);  // already in range
  // Inverted limits: the upper one is raised to L = min - max + max, the lower one kept.
  sixteen.setConvertControl(DataFormat::RGBA8, manualColor(30000, 20000, 6500));
  c = std::get<ConvertControlColor>(sixteen.getConvertControl(DataFormat::RGBA8));
  EXPECT_EQ(c.max_limit, 30000);
  EXPECT_EQ(c.min_limit, 30000);
  // 16-bit colour output is not limited by the 8-bit white-balance range.
  sixteen.setConvertControl(DataFormat::BGR16, manualColor(0, 70000, 6500));
  EXPECT_EQ(vyk::commonFields(sixteen.getConvertControl(DataFormat::BGR16)).max_limit, 70000);
}

TEST_F(CameraTest, WarmWhiteBalanceLowersTheUpperLimitByTheLargestGain) {
  useCameras({colorCamera(1001, 12)});
  Camera camera(InterfaceType::Any, 1001);
  // The gains the conversion library applies at 3000 K, from a handle of our own.
  vyk::SensorInfo info = camera.getSensorInfo();
  VYK_SensorInfo libraryInfo;
  std::memcpy(&libraryInfo, &info, sizeof(libraryInfo));
  VYKCONV_HANDLE handle = nullptr;
  ASSERT_EQ(VYKCONV_CreateHandle(&handle, &libraryInfo, VYKCONV_MODE_COLOR), 0);
  double r = 0, g = 0, b = 0;
  ASSERT_EQ(VYKCONV_GetWhiteBalanceRanges(handle, 3000, 0, &r, &g, &b), 0);
  VYKCONV_DeleteHandle(handle);
  const double gmax = std::max({r, g, b});
  ASSERT_GT(gmax, 1.0);

  camera.setConvertControl(DataFormat::BGR8, manualColor(0, 4095, 3000));
  const auto c = std::get<ConvertControlColor>(camera.getConvertControl(DataFormat::BGR8));
  EXPECT_EQ(c.max_limit, static_cast<int32_t>(4095.0 / gmax));
  EXPECT_EQ(c.min_limit, 0);
}

TEST(ConversionSetTest, LookupTableKindFollowsTheFourthExtensionCharacter) {
  using vyk::ConversionSet;
  EXPECT_EQ(ConversionSet::lutKind("map.lt1"), VYKCONV_LUT_CONTROL_POINTS);
  EXPECT_EQ(ConversionSet::lutKind("map.lt2"), VYKCONV_LUT_INTERLEAVED_BINARY);
  EXPECT_EQ(ConversionSet::lutKind("map.lt3"), VYKCONV_LUT_TEXT);
  EXPECT_EQ(ConversionSet::lutKind("/some/dir.x/map.lu4"), VYKCONV_LUT_PLANAR_BINARY);
  EXPECT_EQ(ConversionSet::lutKind("map.lt9"), VYKCONV_LUT_TEXT);
  EXPECT_EQ(ConversionSet::lutKind("map.lut"), VYKCONV_LUT_TEXT);
  EXPECT_EQ(ConversionSet::lutKind("map.l4"), VYKCONV_LUT_TEXT);  // no fourth character
  EXPECT_EQ(ConversionSet::lutKind("map"), VYKCONV_LUT_TEXT);
}

TEST(ConversionSetTest, FlagsFollowTheSettingsAndTheChannelOrder) {
  using vyk::ConversionSet;
  ConvertControlColor c;
  EXPECT_EQ(ConversionSet::conversionFlags(c, DataFormat::BGR8), 0x1000u);
  c.sharpen = true;
  c.adaptive_sharpen = true;
  c.flip_vertical = true;
  c.vyk_debayer_algorithm = true;
  c.auto_minmax = true;
  c.add_conv_flags = 0x4000;
  EXPECT_EQ(ConversionSet::conversionFlags(c, DataFormat::BGR8), 0x1000u | 0x100000 | 0x200000 | 0x1 | 0x400000 |
                                                                     0x4000 | 0x20);
  ConvertControlMono m;
  EXPECT_EQ(ConversionSet::conversionFlags(m, DataFormat::RGB8), 0x1200u);
  EXPECT_EQ(ConversionSet::conversionFlags(m, DataFormat::RGB16), 0x1200u);
  EXPECT_EQ(ConversionSet::conversionFlags(m, DataFormat::BGRA8), 0x1100u);
  EXPECT_EQ(ConversionSet::conversionFlags(m, DataFormat::RGBA8), 0x1300u);
  EXPECT_EQ(ConversionSet::conversionFlags(m, DataFormat::BGR16), 0x1000u);
  ConvertControlPseudocolor p;
  p.flip_vertical = true;
  EXPECT_EQ(ConversionSet::conversionFlags(p, DataFormat::Mono8), 0x1001u);
}

TEST_F(CameraTest, LookupTablesLoadWithTheKindTheirExtensionNames) {
  useCameras({baseCamera(1001)});
  Camera camera(InterfaceType::Any, 1001);
  ConvertControlPseudocolor pseudo;
  pseudo.color_temperature = 6500;
  auto load = [&](const std::filesystem::path& file) {
    pseudo.lut_file = file;
    camera.setConvertControl(DataFormat::BGR8, pseudo);
  };

  writeBinaryLut(dir_ / "planar.lu4");
  EXPECT_NO_THROW(load(dir_ / "planar.lu4"));  // kind 0, binary
  writeBinaryLut(dir_ / "binary.lu3");
  EXPECT_THROW(load(dir_ / "binary.lu3"), vyk::CameraException);  // kind 1 reads text
  writeTextLut(dir_ / "table.lu3");
  EXPECT_NO_THROW(load(dir_ / "table.lu3"));
  writeTextLut(dir_ / "table.lux");
  EXPECT_NO_THROW(load(dir_ / "table.lux"));  // anything else is text as well
  writeTextLut(dir_ / "table.lu4");
  EXPECT_THROW(load(dir_ / "table.lu4"), vyk::CameraException);  // kind 0 needs 768 bytes
  writeControlPoints(dir_ / "points.lu1");
  EXPECT_NO_THROW(load(dir_ / "points.lu1"));  // kind 3
  writeControlPoints(dir_ / "points.lu2");
  EXPECT_THROW(load(dir_ / "points.lu2"), vyk::CameraException);  // kind 2 needs 768 bytes

  EXPECT_CAMERA_ERROR(load(dir_ / "missing.lu3"), "LUT file does not exist!", 0xa0163018);
  EXPECT_EQ(std::get<ConvertControlPseudocolor>(camera.getConvertControl(DataFormat::BGR8)).lut_file,
            dir_ / "points.lu1");
}
