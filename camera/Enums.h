#pragma once
// The small enumerations of the camera layer and their string tables.
// Each table lists (value, string) pairs; its first entry is the fallback both ways:
// writing a value outside the table gives the first string, reading an unknown
// string gives the first value.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

/// Pixel layout of converted image data.
enum class DataFormat : uint32_t {
  Undefined = 0,
  Mono8 = 1,
  Mono16 = 2,
  BGR8 = 3,
  BGRA8 = 4,
  RGB8 = 5,
  RGBA8 = 6,
  RGB16 = 7,
  BGR16 = 8,  // after RGB16, although it stands beside BGR8 in the camera's lists
  CompressedMono8 = 9,
};

/// Width of raw pixels as the camera delivers them.
enum class RawFormat : uint32_t {
  Word = 0,  // 16-bit
  Byte = 1,  // 8-bit
};

/// Where and how a recording stores its images.
enum class RecordMode : uint32_t {
  Sequence = 0,
  SequenceNonBlocking = 1,
  RingBuffer = 2,
  Fifo = 3,
  Tif = 4,
  Multitif = 5,
  Vykraw = 6,
  B16 = 7,
  Dicom = 8,
  Multidicom = 9,
  CamramRing = 10,
  CamramSegment = 11,
};

/// Interface through which a camera is attached; there is no 0, 10 or 12 to 15.
enum class InterfaceType : uint16_t {
  FireWire = 1,
  CameraLinkMTX = 2,
  GenICam = 3,
  CameraLinkNAT = 4,
  GigE = 5,
  USB = 6,
  CameraLinkME4 = 7,
  USB3 = 8,
  WLAN = 9,
  CLHS = 11,
  CLHS_DXR = 16,
  Any = 65535,
};

/// How binned pixels are combined.
enum class BinningMode : uint32_t {
  Sum = 0,
  Average = 1,
};

/// Image region that auto exposure measures.
enum class AutoExposureRegion : uint32_t {
  Balanced = 0,
  CenterBased = 1,
  CornerBased = 2,
  Full = 3,
};

/// One (value, string) pair of an enumeration's table.
template <typename E>
struct EnumEntry {
  E value;           ///< the enumeration value
  const char* text;  ///< its string form
};

/// The string table of each enumeration, in table order (first entry = fallback).
const std::vector<EnumEntry<DataFormat>>& enumTable(DataFormat);
const std::vector<EnumEntry<RawFormat>>& enumTable(RawFormat);
const std::vector<EnumEntry<RecordMode>>& enumTable(RecordMode);
const std::vector<EnumEntry<InterfaceType>>& enumTable(InterfaceType);
const std::vector<EnumEntry<BinningMode>>& enumTable(BinningMode);
const std::vector<EnumEntry<AutoExposureRegion>>& enumTable(AutoExposureRegion);

/// The string of value; the table's first string when value is not in the table.
template <typename E>
const char* toString(E value) {
  const auto& table = enumTable(E{});
  for (const auto& entry : table) {
    if (entry.value == value) return entry.text;
  }
  return table.front().text;
}

/// The value of text; the table's first value when text is not in the table.
template <typename E>
E fromString(std::string_view text) {
  const auto& table = enumTable(E{});
  for (const auto& entry : table) {
    if (text == entry.text) return entry.value;
  }
  return table.front().value;
}

/// True when value is listed in its enumeration's table.
template <typename E>
bool isKnown(E value) {
  for (const auto& entry : enumTable(E{})) {
    if (entry.value == value) return true;
  }
  return false;
}

// JSON: each enumeration travels as its string; reading needs a JSON string.
void to_json(nlohmann::json& j, DataFormat value);
void from_json(const nlohmann::json& j, DataFormat& value);
void to_json(nlohmann::json& j, RawFormat value);
void from_json(const nlohmann::json& j, RawFormat& value);
void to_json(nlohmann::json& j, RecordMode value);
void from_json(const nlohmann::json& j, RecordMode& value);
void to_json(nlohmann::json& j, InterfaceType value);
void from_json(const nlohmann::json& j, InterfaceType& value);
void to_json(nlohmann::json& j, BinningMode value);
void from_json(const nlohmann::json& j, BinningMode& value);
void to_json(nlohmann::json& j, AutoExposureRegion value);
void from_json(const nlohmann::json& j, AutoExposureRegion& value);

}  // namespace vyk
