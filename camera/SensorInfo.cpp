#include "camera/SensorInfo.h"

#include <array>
#include <cstring>

#include "camera/JsonFields.h"

namespace vyk {

namespace {

constexpr std::size_t kReservedWords = sizeof(SensorInfo::dwzzDummy1) / sizeof(uint32_t);
using ReservedWords = std::array<uint32_t, kReservedWords>;

// The reserved words are copied bytewise: a pointer into the packed record may be unaligned.
ReservedWords reservedWords(const SensorInfo& s) {
  ReservedWords words{};
  std::memcpy(words.data(),
              reinterpret_cast<const unsigned char*>(&s) + offsetof(SensorInfo, dwzzDummy1),
              sizeof(words));
  return words;
}

void setReservedWords(SensorInfo& s, const ReservedWords& words) {
  std::memcpy(reinterpret_cast<unsigned char*>(&s) + offsetof(SensorInfo, dwzzDummy1),
              words.data(), sizeof(words));
}

}  // namespace

bool operator==(const ColorCoefficients& a, const ColorCoefficients& b) {
  return sameValue(a.da11, b.da11) && sameValue(a.da12, b.da12) && sameValue(a.da13, b.da13) &&
         sameValue(a.da21, b.da21) && sameValue(a.da22, b.da22) && sameValue(a.da23, b.da23) &&
         sameValue(a.da31, b.da31) && sameValue(a.da32, b.da32) && sameValue(a.da33, b.da33);
}

bool operator==(const SensorInfo& a, const SensorInfo& b) {
  return a.wSize == b.wSize && a.wDummy == b.wDummy && a.iConversionFactor == b.iConversionFactor &&
         a.iDataBits == b.iDataBits && a.iSensorInfoBits == b.iSensorInfoBits &&
         a.iDarkOffset == b.iDarkOffset && a.wIMAGE_SIZE_X_Offset == b.wIMAGE_SIZE_X_Offset &&
         a.wIMAGE_SIZE_Y_Offset == b.wIMAGE_SIZE_Y_Offset && a.strColorCoeff == b.strColorCoeff &&
         a.iCamNum == b.iCamNum &&
         reservedWords(a) == reservedWords(b);
}

bool operator!=(const SensorInfo& a, const SensorInfo& b) { return !(a == b); }

void to_json(nlohmann::json& j, const ColorCoefficients& c) {
  using detail::unpacked;
  j = nlohmann::json{{"da11", unpacked(c.da11)}, {"da12", unpacked(c.da12)},
                     {"da13", unpacked(c.da13)}, {"da21", unpacked(c.da21)},
                     {"da22", unpacked(c.da22)}, {"da23", unpacked(c.da23)},
                     {"da31", unpacked(c.da31)}, {"da32", unpacked(c.da32)},
                     {"da33", unpacked(c.da33)}};
}

void from_json(const nlohmann::json& j, ColorCoefficients& c) {
  using detail::readValue;
  c.da11 = readValue<double>(j, "da11");
  c.da12 = readValue<double>(j, "da12");
  c.da13 = readValue<double>(j, "da13");
  c.da21 = readValue<double>(j, "da21");
  c.da22 = readValue<double>(j, "da22");
  c.da23 = readValue<double>(j, "da23");
  c.da31 = readValue<double>(j, "da31");
  c.da32 = readValue<double>(j, "da32");
  c.da33 = readValue<double>(j, "da33");
}

void to_json(nlohmann::json& j, const SensorInfo& s) {
  using detail::unpacked;
  j = nlohmann::json{{"wSize", unpacked(s.wSize)},
                     {"wDummy", unpacked(s.wDummy)},
                     {"iConversionFactor", unpacked(s.iConversionFactor)},
                     {"iDataBits", unpacked(s.iDataBits)},
                     {"iSensorInfoBits", unpacked(s.iSensorInfoBits)},
                     {"iDarkOffset", unpacked(s.iDarkOffset)},
                     {"wIMAGE_SIZE_X_Offset", unpacked(s.wIMAGE_SIZE_X_Offset)},
                     {"wIMAGE_SIZE_Y_Offset", unpacked(s.wIMAGE_SIZE_Y_Offset)},
                     {"strColorCoeff", s.strColorCoeff},
                     {"iCamNum", unpacked(s.iCamNum)},
                     {"dwzzDummy1", reservedWords(s)}};
}

void from_json(const nlohmann::json& j, SensorInfo& s) {
  using detail::readValue;
  s.wSize = readValue<uint16_t>(j, "wSize");
  s.wDummy = readValue<uint16_t>(j, "wDummy");
  s.iConversionFactor = readValue<int32_t>(j, "iConversionFactor");
  s.iDataBits = readValue<int32_t>(j, "iDataBits");
  s.iSensorInfoBits = readValue<int32_t>(j, "iSensorInfoBits");
  s.iDarkOffset = readValue<int32_t>(j, "iDarkOffset");
  s.wIMAGE_SIZE_X_Offset = readValue<uint16_t>(j, "wIMAGE_SIZE_X_Offset");
  s.wIMAGE_SIZE_Y_Offset = readValue<uint16_t>(j, "wIMAGE_SIZE_Y_Offset");
  s.strColorCoeff = readValue<ColorCoefficients>(j, "strColorCoeff");
  s.iCamNum = readValue<int32_t>(j, "iCamNum");
  s.dwAlignment = 0;
  s.hCamera = nullptr;  // a handle of another process means nothing here
  setReservedWords(s, readValue<ReservedWords>(j, "dwzzDummy1"));
}

}  // namespace vyk
