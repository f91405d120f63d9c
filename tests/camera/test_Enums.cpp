#include "camera/Enums.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "JsonFailure.h"

namespace vyk {
namespace {

using nlohmann::json;

TEST(Enums, DataFormatTableHasSpecifiedValuesAndStrings) {
  const std::vector<std::pair<uint32_t, std::string>> expected{
      {0, "Undefined"}, {1, "Mono8"}, {2, "Mono16"}, {3, "BGR8"},  {4, "BGRA8"},
      {5, "RGB8"},      {6, "RGBA8"}, {7, "RGB16"},  {8, "BGR16"}, {9, "CompressedMono8"}};
  ASSERT_EQ(enumTable(DataFormat{}).size(), expected.size());
  for (const auto& [value, text] : expected) {
    const auto format = static_cast<DataFormat>(value);
    EXPECT_EQ(json(format), json(text));
    EXPECT_EQ(json(text).get<DataFormat>(), format) << text;
  }
  // BGR16 sits after RGB16 although it is listed beside BGR8 elsewhere.
  EXPECT_EQ(static_cast<uint32_t>(DataFormat::BGR16), 8u);
}

TEST(Enums, RecordModeTableHasSpecifiedValuesAndStrings) {
  const std::vector<std::string> expected{"sequence",    "sequence_non_blocking", "ring_buffer",
                                          "fifo",        "tif",                   "multitif",
                                          "vykraw",      "b16",                   "dicom",
                                          "multidicom",  "camram_ring",           "camram_segment"};
  ASSERT_EQ(enumTable(RecordMode{}).size(), expected.size());
  for (uint32_t value = 0; value < expected.size(); ++value) {
    EXPECT_EQ(json(static_cast<RecordMode>(value)), json(expected[value]));
    EXPECT_EQ(static_cast<uint32_t>(json(expected[value]).get<RecordMode>()), value);
  }
}

TEST(Enums, InterfaceTypeTableSkipsUnusedValues) {
  const std::vector<std::pair<uint16_t, std::string>> expected{
      {1, "FireWire"}, {2, "CameraLinkMTX"}, {3, "GenICam"}, {4, "CameraLinkNAT"},
      {5, "GigE"},     {6, "USB"},           {7, "CameraLinkME4"}, {8, "USB3"},
      {9, "WLAN"},     {11, "CLHS"},         {16, "CLHS_DXR"},   {65535, "Any"}};
  ASSERT_EQ(enumTable(InterfaceType{}).size(), expected.size());
  for (const auto& [value, text] : expected) {
    EXPECT_EQ(json(static_cast<InterfaceType>(value)), json(text));
    EXPECT_EQ(static_cast<uint16_t>(json(text).get<InterfaceType>()), value);
  }
}

TEST(Enums, SmallTablesHaveSpecifiedStrings) {
  EXPECT_EQ(json(RawFormat::Word), "word");
  EXPECT_EQ(json(RawFormat::Byte), "byte");
  EXPECT_EQ(static_cast<uint32_t>(RawFormat::Byte), 1u);
  EXPECT_EQ(json(BinningMode::Sum), "sum");
  EXPECT_EQ(json(BinningMode::Average), "average");
  EXPECT_EQ(json("average").get<BinningMode>(), BinningMode::Average);
  EXPECT_EQ(json(AutoExposureRegion::Balanced), "balanced");
  EXPECT_EQ(json(AutoExposureRegion::CenterBased), "center_based");
  EXPECT_EQ(json(AutoExposureRegion::CornerBased), "corner_based");
  EXPECT_EQ(json(AutoExposureRegion::Full), "full");
  EXPECT_EQ(json("full").get<AutoExposureRegion>(), AutoExposureRegion::Full);
}

TEST(Enums, WritingAnUnknownValueGivesTheFirstString) {
  EXPECT_EQ(json(static_cast<RecordMode>(12)), "sequence");
  EXPECT_EQ(json(static_cast<DataFormat>(10)), "Undefined");
  EXPECT_EQ(json(static_cast<DataFormat>(0xFFFFFFFF)), "Undefined");
  EXPECT_EQ(json(static_cast<InterfaceType>(0)), "FireWire");
  EXPECT_EQ(json(static_cast<InterfaceType>(10)), "FireWire");
  EXPECT_EQ(json(static_cast<InterfaceType>(12)), "FireWire");
  EXPECT_EQ(json(static_cast<RawFormat>(2)), "word");
  EXPECT_EQ(json(static_cast<BinningMode>(7)), "sum");
  EXPECT_EQ(json(static_cast<AutoExposureRegion>(4)), "balanced");
  EXPECT_FALSE(isKnown(static_cast<InterfaceType>(10)));
  EXPECT_TRUE(isKnown(InterfaceType::CLHS_DXR));
}

TEST(Enums, ReadingAnUnknownStringGivesTheFirstValue) {
  EXPECT_EQ(json("nonsense").get<RecordMode>(), RecordMode::Sequence);
  EXPECT_EQ(json("mono8").get<DataFormat>(), DataFormat::Undefined);  // case matters
  EXPECT_EQ(json("").get<InterfaceType>(), InterfaceType::FireWire);
  EXPECT_EQ(json("Byte").get<RawFormat>(), RawFormat::Word);
  EXPECT_EQ(json("median").get<BinningMode>(), BinningMode::Sum);
  EXPECT_EQ(json("left").get<AutoExposureRegion>(), AutoExposureRegion::Balanced);
  EXPECT_EQ(fromString<DataFormat>("BGR16"), DataFormat::BGR16);
  EXPECT_STREQ(toString(DataFormat::CompressedMono8), "CompressedMono8");
}

TEST(Enums, ReadingANonStringFailsWithTheLibraryTypeError) {
  const auto failure = test::jsonFailure<json::type_error>([] { json(3).get<DataFormat>(); });
  EXPECT_EQ(failure.id, 302);
  EXPECT_EQ(failure.message, "type must be string, but is number");
  EXPECT_EQ(test::jsonFailure<json::type_error>([] { json(true).get<RecordMode>(); }).message,
            "type must be string, but is boolean");
}

}  // namespace
}  // namespace vyk
