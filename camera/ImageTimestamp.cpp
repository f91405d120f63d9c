#include "camera/ImageTimestamp.h"

#include <cstring>

#include "camera/JsonFields.h"

namespace vyk {

bool operator==(const ImageTimestamp& a, const ImageTimestamp& b) {
  return std::memcmp(&a, &b, sizeof(ImageTimestamp)) == 0;
}

bool operator!=(const ImageTimestamp& a, const ImageTimestamp& b) { return !(a == b); }

void to_json(nlohmann::json& j, const ImageTimestamp& t) {
  using detail::unpacked;
  j = nlohmann::json{{"wSize", unpacked(t.wSize)},     {"dwImgCounter", unpacked(t.dwImgCounter)},
                     {"wYear", unpacked(t.wYear)},     {"wMonth", unpacked(t.wMonth)},
                     {"wDay", unpacked(t.wDay)},       {"wHour", unpacked(t.wHour)},
                     {"wMinute", unpacked(t.wMinute)}, {"wSecond", unpacked(t.wSecond)},
                     {"dwMicroSeconds", unpacked(t.dwMicroSeconds)}};
}

void from_json(const nlohmann::json& j, ImageTimestamp& t) {
  using detail::readValue;
  t.wSize = readValue<uint16_t>(j, "wSize");
  t.dwImgCounter = readValue<uint32_t>(j, "dwImgCounter");
  t.wYear = readValue<uint16_t>(j, "wYear");
  t.wMonth = readValue<uint16_t>(j, "wMonth");
  t.wDay = readValue<uint16_t>(j, "wDay");
  t.wHour = readValue<uint16_t>(j, "wHour");
  t.wMinute = readValue<uint16_t>(j, "wMinute");
  t.wSecond = readValue<uint16_t>(j, "wSecond");
  t.dwMicroSeconds = readValue<uint32_t>(j, "dwMicroSeconds");
}

}  // namespace vyk
