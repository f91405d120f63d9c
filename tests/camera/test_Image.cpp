#include "camera/Image.h"

#include <gtest/gtest.h>

#include "camera/CameraException.h"

namespace vyk {
namespace {

// Runs action, which must throw a CameraException with the layer's code; returns its message.
template <typename F>
std::string layerFailure(F action) {
  try {
    action();
  } catch (const CameraException& e) {
    EXPECT_EQ(e.code(), 0x160000u);
    return e.message();
  }
  ADD_FAILURE() << "no CameraException";
  return {};
}

Roi roiOf(uint64_t width, uint64_t height) { return Roi{1, 1, width, height}; }

TEST(DataElementCount, PadsRowsAsEachFormatRequires) {
  EXPECT_EQ(dataElementCount(DataFormat::Mono8, 10, 2), 24u);  // rows padded to 12
  EXPECT_EQ(dataElementCount(DataFormat::Mono8, 12, 2), 24u);
  EXPECT_EQ(dataElementCount(DataFormat::Mono8, 13, 3), 48u);
  EXPECT_EQ(dataElementCount(DataFormat::Mono16, 10, 2), 20u);
  EXPECT_EQ(dataElementCount(DataFormat::BGR8, 10, 2), 72u);
  EXPECT_EQ(dataElementCount(DataFormat::RGB8, 7, 1), 24u);
  EXPECT_EQ(dataElementCount(DataFormat::BGRA8, 10, 2), 80u);
  EXPECT_EQ(dataElementCount(DataFormat::RGBA8, 7, 3), 84u);
  EXPECT_EQ(dataElementCount(DataFormat::RGB16, 10, 2), 72u);
  EXPECT_EQ(dataElementCount(DataFormat::BGR16, 5, 5), 120u);
  EXPECT_EQ(dataElementCount(DataFormat::CompressedMono8, 10, 2), 20u);
  EXPECT_EQ(dataElementCount(DataFormat::CompressedMono8, 11, 3), 33u);
  EXPECT_EQ(dataElementCount(DataFormat::Undefined, 10, 2), 0u);
  EXPECT_EQ(dataElementBits(DataFormat::RGB16), 16u);
  EXPECT_EQ(dataElementBits(DataFormat::BGRA8), 8u);
  EXPECT_EQ(dataElementBits(DataFormat::Undefined), 0u);
}

TEST(ImageReshape, AllocatesExactBufferSizesForWordRaw) {
  struct Case {
    DataFormat format;
    uint64_t width, height;
    std::size_t dataBytes;
  };
  const Case cases[] = {
      {DataFormat::Mono8, 10, 2, 24},   {DataFormat::Mono8, 9, 1, 12},
      {DataFormat::BGR8, 10, 2, 72},    {DataFormat::RGB8, 3, 3, 36},
      {DataFormat::BGRA8, 10, 2, 80},   {DataFormat::RGBA8, 3, 3, 36},
      {DataFormat::RGB16, 10, 2, 144},  {DataFormat::BGR16, 1, 2, 48},
  };
  for (const auto& c : cases) {
    Image image;
    image.reshape(roiOf(c.width, c.height), c.format, RawFormat::Word);
    EXPECT_EQ(image.rawData16().size(), c.width * c.height) << toString(c.format);
    EXPECT_EQ(image.rawPixelCount(), c.width * c.height);
    const std::size_t bytes = dataElementBits(c.format) == 16 ? image.data16().size() * 2
                                                              : image.data8().size();
    EXPECT_EQ(bytes, c.dataBytes) << toString(c.format) << " " << c.width << "x" << c.height;
    EXPECT_EQ(image.width(), c.width);
    EXPECT_EQ(image.height(), c.height);
    EXPECT_EQ(image.format(), c.format);
  }
}

TEST(ImageReshape, Mono16UsesTheRawBufferAsItsData) {
  Image image;
  image.reshape(Roi{5, 7, 14, 8}, DataFormat::Mono16, RawFormat::Word);
  EXPECT_EQ(image.width(), 10u);
  EXPECT_EQ(image.height(), 2u);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(image.data()));
  EXPECT_EQ(&image.data16(), &image.rawData16());
  EXPECT_EQ(image.data16().size(), 20u);
  EXPECT_EQ(layerFailure([&] { image.data8(); }), "Image data does not contain 8bit data");
  EXPECT_EQ(layerFailure([&] { image.rawData8(); }), "Image raw data does not contain 8bit data");
}

TEST(ImageReshape, Mono8WithByteRawUsesTheRawBuffer) {
  Image image;
  image.reshape(roiOf(10, 2), DataFormat::Mono8, RawFormat::Byte);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(image.data()));
  EXPECT_EQ(&image.data8(), &image.rawData8());
  EXPECT_EQ(image.data8().size(), 20u);
  EXPECT_EQ(layerFailure([&] { image.rawData16(); }), "Image raw data does not contain 16bit data");
  EXPECT_EQ(layerFailure([&] { image.data16(); }), "Image data does not contain 16bit data");
}

TEST(ImageReshape, Mono8WithWordRawHasPaddedData) {
  Image image;
  image.reshape(roiOf(10, 2), DataFormat::Mono8, RawFormat::Word);
  EXPECT_NE(static_cast<const void*>(&image.data8()), static_cast<const void*>(&image.rawData16()));
  EXPECT_EQ(image.data8().size(), 24u);
  EXPECT_EQ(layerFailure([&] { image.rawData8(); }), "Image raw data does not contain 8bit data");
}

TEST(ImageReshape, CompressedMono8HoldsOneBytePerPixelInData) {
  Image image;
  image.reshape(roiOf(11, 3), DataFormat::CompressedMono8, RawFormat::Word);
  EXPECT_EQ(image.rawPixelCount(), 0u);
  EXPECT_EQ(image.data8().size(), 33u);
  EXPECT_EQ(&image.rawData8(), &image.data8());  // the compressed bytes stand in for raw
  EXPECT_EQ(layerFailure([&] { image.rawData16(); }), "Image raw data does not contain 16bit data");
}

TEST(ImageReshape, ZeroesReusedStorageAndRejectsInvalidRegions) {
  Image image;
  image.reshape(roiOf(4, 4), DataFormat::BGR8, RawFormat::Word);
  image.rawData16()[3] = 77;
  image.data8()[5] = 9;
  image.reshape(roiOf(4, 4), DataFormat::BGR8, RawFormat::Word);
  EXPECT_EQ(image.rawData16()[3], 0);
  EXPECT_EQ(image.data8()[5], 0);
  EXPECT_EQ(layerFailure([&] { image.reshape(Roi{10, 1, 9, 1}, DataFormat::Mono8, RawFormat::Word); }),
            "Image ROI is invalid");
  EXPECT_EQ(layerFailure([&] {
              image.reshape(Roi{1, 1, uint64_t{1} << 32, uint64_t{1} << 32}, DataFormat::Mono8,
                            RawFormat::Word);
            }),
            "Image ROI is invalid");
  // A refused reshape leaves the image as it was.
  EXPECT_EQ(image.format(), DataFormat::BGR8);
  EXPECT_EQ(image.data8().size(), 48u);
}

TEST(ImageAccessors, FailOnAnEmptyImage) {
  Image image;
  EXPECT_EQ(image.rawPixelCount(), 0u);
  EXPECT_EQ(image.width(), 0u);
  EXPECT_EQ(image.height(), 0u);
  EXPECT_EQ(layerFailure([&] { image.rawData16(); }), "Image raw data does not contain 16bit data");
  EXPECT_EQ(layerFailure([&] { image.rawData8(); }), "Image raw data does not contain 8bit data");
  EXPECT_EQ(layerFailure([&] { image.data16(); }), "Image data does not contain 16bit data");
  const Image& constImage = image;
  EXPECT_EQ(layerFailure([&] { constImage.data8(); }), "Image data does not contain 8bit data");
}

TEST(ImageAccessors, FollowTheBuffersThatWereSet) {
  Image image;
  image.setFormat(DataFormat::Mono16);
  image.setRoi(roiOf(2, 1));
  image.setRaw(std::vector<uint8_t>{1, 2});
  image.setData(std::vector<uint16_t>{300, 400});
  // Mono16 with 8-bit raw: data16 is the data buffer, not raw.
  EXPECT_EQ(image.data16(), (std::vector<uint16_t>{300, 400}));
  EXPECT_EQ(image.rawData8(), (std::vector<uint8_t>{1, 2}));
  image.setFormat(DataFormat::CompressedMono8);
  // CompressedMono8 without 8-bit data: rawData8 falls back to the raw buffer.
  EXPECT_EQ(image.rawData8(), (std::vector<uint8_t>{1, 2}));
}

TEST(ImageSetters, MarkMetadataAndTimestampPresent) {
  Image image;
  EXPECT_FALSE(image.metadata().has_value());
  EXPECT_FALSE(image.timestamp().has_value());
  ImageMetadata metadata;
  metadata.dwCAMERA_SERIAL_NO = 4711;
  image.setMetadata(metadata);
  ImageTimestamp timestamp;
  timestamp.wYear = 2026;
  image.setTimestamp(timestamp);
  image.setRecorderImageNumber(42);
  ASSERT_TRUE(image.metadata().has_value());
  EXPECT_EQ(+image.metadata()->dwCAMERA_SERIAL_NO, 4711u);
  ASSERT_TRUE(image.timestamp().has_value());
  EXPECT_EQ(+image.timestamp()->wYear, 2026);
  EXPECT_EQ(image.recorderImageNumber(), 42u);
  image.clearMetadata();
  image.clearTimestamp();
  EXPECT_FALSE(image.metadata().has_value());
  EXPECT_FALSE(image.timestamp().has_value());
}

TEST(ImageReuseTest, PassesOnlyForTheShapeItWasMadeFor) {
  const Roi roi = roiOf(10, 2);
  for (DataFormat format : {DataFormat::Mono8, DataFormat::Mono16, DataFormat::BGR8,
                            DataFormat::BGRA8, DataFormat::RGB8, DataFormat::RGBA8,
                            DataFormat::RGB16, DataFormat::BGR16, DataFormat::CompressedMono8}) {
    Image image;
    image.reshape(roi, format, RawFormat::Word);
    EXPECT_TRUE(image.hasShape(format, roi, RawFormat::Word)) << toString(format);
    EXPECT_FALSE(image.hasShape(format, roiOf(10, 3), RawFormat::Word)) << toString(format);
  }
  Image image;
  image.reshape(roi, DataFormat::BGR8, RawFormat::Word);
  EXPECT_FALSE(image.hasShape(DataFormat::RGB8, roi, RawFormat::Word));  // same sizes, other format
  EXPECT_FALSE(image.hasShape(DataFormat::BGR8, roi, RawFormat::Byte));
  // Same area, other width: rows would be padded differently.
  EXPECT_FALSE(image.hasShape(DataFormat::BGR8, roiOf(2, 10), RawFormat::Word));
  // Same size elsewhere on the sensor: the image's region would be stale.
  EXPECT_FALSE(image.hasShape(DataFormat::BGR8, Roi{3, 1, 12, 2}, RawFormat::Word));
}

TEST(ImageReuseTest, ChecksTheBuffersThemselves) {
  const Roi roi = roiOf(10, 2);
  Image image;
  image.reshape(roi, DataFormat::Mono8, RawFormat::Byte);
  EXPECT_TRUE(image.hasShape(DataFormat::Mono8, roi, RawFormat::Byte));
  EXPECT_FALSE(image.hasShape(DataFormat::Mono8, roi, RawFormat::Word));

  image.reshape(roi, DataFormat::Mono8, RawFormat::Word);
  image.data8().resize(20);  // unpadded rows
  EXPECT_FALSE(image.hasShape(DataFormat::Mono8, roi, RawFormat::Word));

  image.reshape(roi, DataFormat::RGB16, RawFormat::Word);
  image.setData(std::vector<uint8_t>(72));  // right count, wrong element width
  EXPECT_FALSE(image.hasShape(DataFormat::RGB16, roi, RawFormat::Word));

  image.reshape(roi, DataFormat::Mono16, RawFormat::Word);
  image.setRaw(std::monostate{});
  EXPECT_FALSE(image.hasShape(DataFormat::Mono16, roi, RawFormat::Word));

  // CompressedMono8 ignores raw and checks one byte per pixel of data.
  image.reshape(roi, DataFormat::CompressedMono8, RawFormat::Word);
  EXPECT_TRUE(image.hasShape(DataFormat::CompressedMono8, roi, RawFormat::Byte));
  image.setData(std::vector<uint8_t>(24));
  EXPECT_FALSE(image.hasShape(DataFormat::CompressedMono8, roi, RawFormat::Word));

  Image undefined;
  undefined.reshape(roi, DataFormat::Undefined, RawFormat::Word);
  EXPECT_EQ(undefined.rawPixelCount(), 20u);
  EXPECT_FALSE(undefined.hasShape(DataFormat::Undefined, roi, RawFormat::Word));
}

TEST(ImageCopy, IsDeep) {
  Image image;
  image.reshape(roiOf(4, 1), DataFormat::Mono16, RawFormat::Word);
  image.rawData16()[0] = 1234;
  Image copy = image;
  copy.rawData16()[0] = 1;
  EXPECT_EQ(image.rawData16()[0], 1234);
}

}  // namespace
}  // namespace vyk
