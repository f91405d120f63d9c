#include "camera/Enums.h"

#include <nlohmann/json.hpp>

namespace vyk {

const std::vector<EnumEntry<DataFormat>>& enumTable(DataFormat) {
  static const std::vector<EnumEntry<DataFormat>> table{
      {DataFormat::Undefined, "Undefined"}, {DataFormat::Mono8, "Mono8"},
      {DataFormat::Mono16, "Mono16"},       {DataFormat::BGR8, "BGR8"},
      {DataFormat::BGRA8, "BGRA8"},         {DataFormat::RGB8, "RGB8"},
      {DataFormat::RGBA8, "RGBA8"},         {DataFormat::RGB16, "RGB16"},
      {DataFormat::BGR16, "BGR16"},         {DataFormat::CompressedMono8, "CompressedMono8"},
  };
  return table;
}

const std::vector<EnumEntry<RawFormat>>& enumTable(RawFormat) {
  static const std::vector<EnumEntry<RawFormat>> table{
      {RawFormat::Word, "word"},
      {RawFormat::Byte, "byte"},
  };
  return table;
}

const std::vector<EnumEntry<RecordMode>>& enumTable(RecordMode) {
  static const std::vector<EnumEntry<RecordMode>> table{
      {RecordMode::Sequence, "sequence"},
      {RecordMode::SequenceNonBlocking, "sequence_non_blocking"},
      {RecordMode::RingBuffer, "ring_buffer"},
      {RecordMode::Fifo, "fifo"},
      {RecordMode::Tif, "tif"},
      {RecordMode::Multitif, "multitif"},
      {RecordMode::Vykraw, "vykraw"},
      {RecordMode::B16, "b16"},
      {RecordMode::Dicom, "dicom"},
      {RecordMode::Multidicom, "multidicom"},
      {RecordMode::CamramRing, "camram_ring"},
      {RecordMode::CamramSegment, "camram_segment"},
  };
  return table;
}

const std::vector<EnumEntry<InterfaceType>>& enumTable(InterfaceType) {
  static const std::vector<EnumEntry<InterfaceType>> table{
      {InterfaceType::FireWire, "FireWire"},
      {InterfaceType::CameraLinkMTX, "CameraLinkMTX"},
      {InterfaceType::GenICam, "GenICam"},
      {InterfaceType::CameraLinkNAT, "CameraLinkNAT"},
      {InterfaceType::GigE, "GigE"},
      {InterfaceType::USB, "USB"},
      {InterfaceType::CameraLinkME4, "CameraLinkME4"},
      {InterfaceType::USB3, "USB3"},
      {InterfaceType::WLAN, "WLAN"},
      {InterfaceType::CLHS, "CLHS"},
      {InterfaceType::CLHS_DXR, "CLHS_DXR"},
      {InterfaceType::Any, "Any"},
  };
  return table;
}

const std::vector<EnumEntry<BinningMode>>& enumTable(BinningMode) {
  static const std::vector<EnumEntry<BinningMode>> table{
      {BinningMode::Sum, "sum"},
      {BinningMode::Average, "average"},
  };
  return table;
}

const std::vector<EnumEntry<AutoExposureRegion>>& enumTable(AutoExposureRegion) {
  static const std::vector<EnumEntry<AutoExposureRegion>> table{
      {AutoExposureRegion::Balanced, "balanced"},
      {AutoExposureRegion::CenterBased, "center_based"},
      {AutoExposureRegion::CornerBased, "corner_based"},
      {AutoExposureRegion::Full, "full"},
  };
  return table;
}

namespace {

template <typename E>
void writeEnum(nlohmann::json& j, E value) {
  j = toString(value);
}

// A non-string value fails with the library's "type must be string, but is ...".
template <typename E>
void readEnum(const nlohmann::json& j, E& value) {
  value = fromString<E>(j.get<std::string>());
}

}  // namespace

void to_json(nlohmann::json& j, DataFormat value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, DataFormat& value) { readEnum(j, value); }
void to_json(nlohmann::json& j, RawFormat value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, RawFormat& value) { readEnum(j, value); }
void to_json(nlohmann::json& j, RecordMode value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, RecordMode& value) { readEnum(j, value); }
void to_json(nlohmann::json& j, InterfaceType value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, InterfaceType& value) { readEnum(j, value); }
void to_json(nlohmann::json& j, BinningMode value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, BinningMode& value) { readEnum(j, value); }
void to_json(nlohmann::json& j, AutoExposureRegion value) { writeEnum(j, value); }
void from_json(const nlohmann::json& j, AutoExposureRegion& value) { readEnum(j, value); }

}  // namespace vyk
