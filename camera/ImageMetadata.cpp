#include "camera/ImageMetadata.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "camera/JsonFields.h"

namespace vyk {

namespace {

template <std::size_t N>
std::array<uint8_t, N> toArray(const uint8_t (&bytes)[N]) {
  std::array<uint8_t, N> result{};
  std::copy(bytes, bytes + N, result.begin());
  return result;
}

// Reads an array of exactly N numbers; fewer fail with the library's index error.
template <std::size_t N>
void readBytes(const nlohmann::json& j, const char* key, uint8_t (&bytes)[N]) {
  const auto values = detail::readValue<std::array<uint8_t, N>>(j, key);
  std::copy(values.begin(), values.end(), bytes);
}

}  // namespace

bool operator==(const ImageMetadata& a, const ImageMetadata& b) {
  return std::memcmp(&a, &b, sizeof(ImageMetadata)) == 0;
}

bool operator!=(const ImageMetadata& a, const ImageMetadata& b) { return !(a == b); }

void to_json(nlohmann::json& j, const ImageMetadata& m) {
  using detail::unpacked;
  j = nlohmann::json{{"wSize", unpacked(m.wSize)},
                     {"wVersion", unpacked(m.wVersion)},
                     {"bIMAGE_COUNTER_BCD", toArray(m.bIMAGE_COUNTER_BCD)},
                     {"bIMAGE_TIME_US_BCD", toArray(m.bIMAGE_TIME_US_BCD)},
                     {"bIMAGE_TIME_SEC_BCD", unpacked(m.bIMAGE_TIME_SEC_BCD)},
                     {"bIMAGE_TIME_MIN_BCD", unpacked(m.bIMAGE_TIME_MIN_BCD)},
                     {"bIMAGE_TIME_HOUR_BCD", unpacked(m.bIMAGE_TIME_HOUR_BCD)},
                     {"bIMAGE_TIME_DAY_BCD", unpacked(m.bIMAGE_TIME_DAY_BCD)},
                     {"bIMAGE_TIME_MON_BCD", unpacked(m.bIMAGE_TIME_MON_BCD)},
                     {"bIMAGE_TIME_YEAR_BCD", unpacked(m.bIMAGE_TIME_YEAR_BCD)},
                     {"bIMAGE_TIME_STATUS", unpacked(m.bIMAGE_TIME_STATUS)},
                     {"wEXPOSURE_TIME_BASE", unpacked(m.wEXPOSURE_TIME_BASE)},
                     {"dwEXPOSURE_TIME", unpacked(m.dwEXPOSURE_TIME)},
                     {"dwFRAMERATE_MILLIHZ", unpacked(m.dwFRAMERATE_MILLIHZ)},
                     {"sSENSOR_TEMPERATURE", unpacked(m.sSENSOR_TEMPERATURE)},
                     {"wIMAGE_SIZE_X", unpacked(m.wIMAGE_SIZE_X)},
                     {"wIMAGE_SIZE_Y", unpacked(m.wIMAGE_SIZE_Y)},
                     {"bBINNING_X", unpacked(m.bBINNING_X)},
                     {"bBINNING_Y", unpacked(m.bBINNING_Y)},
                     {"dwSENSOR_READOUT_FREQUENCY", unpacked(m.dwSENSOR_READOUT_FREQUENCY)},
                     {"wSENSOR_CONV_FACTOR", unpacked(m.wSENSOR_CONV_FACTOR)},
                     {"dwCAMERA_SERIAL_NO", unpacked(m.dwCAMERA_SERIAL_NO)},
                     {"wCAMERA_TYPE", unpacked(m.wCAMERA_TYPE)},
                     {"bBIT_RESOLUTION", unpacked(m.bBIT_RESOLUTION)},
                     {"bSYNC_STATUS", unpacked(m.bSYNC_STATUS)},
                     {"wDARK_OFFSET", unpacked(m.wDARK_OFFSET)},
                     {"bTRIGGER_MODE", unpacked(m.bTRIGGER_MODE)},
                     {"bDOUBLE_IMAGE_MODE", unpacked(m.bDOUBLE_IMAGE_MODE)},
                     {"bCAMERA_SYNC_MODE", unpacked(m.bCAMERA_SYNC_MODE)},
                     {"bIMAGE_TYPE", unpacked(m.bIMAGE_TYPE)},
                     {"wCOLOR_PATTERN", unpacked(m.wCOLOR_PATTERN)},
                     {"wCAMERA_SUBTYPE", unpacked(m.wCAMERA_SUBTYPE)},
                     {"dwEVENT_NUMBER", unpacked(m.dwEVENT_NUMBER)},
                     {"wIMAGE_SIZE_X_Offset", unpacked(m.wIMAGE_SIZE_X_Offset)},
                     {"wIMAGE_SIZE_Y_Offset", unpacked(m.wIMAGE_SIZE_Y_Offset)},
                     {"bREADOUT_MODE", unpacked(m.bREADOUT_MODE)}};
}

void from_json(const nlohmann::json& j, ImageMetadata& m) {
  using detail::readValue;
  m.wSize = readValue<uint16_t>(j, "wSize");
  m.wVersion = readValue<uint16_t>(j, "wVersion");
  readBytes(j, "bIMAGE_COUNTER_BCD", m.bIMAGE_COUNTER_BCD);
  readBytes(j, "bIMAGE_TIME_US_BCD", m.bIMAGE_TIME_US_BCD);
  m.bIMAGE_TIME_SEC_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_SEC_BCD");
  m.bIMAGE_TIME_MIN_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_MIN_BCD");
  m.bIMAGE_TIME_HOUR_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_HOUR_BCD");
  m.bIMAGE_TIME_DAY_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_DAY_BCD");
  m.bIMAGE_TIME_MON_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_MON_BCD");
  m.bIMAGE_TIME_YEAR_BCD = readValue<uint8_t>(j, "bIMAGE_TIME_YEAR_BCD");
  m.bIMAGE_TIME_STATUS = readValue<uint8_t>(j, "bIMAGE_TIME_STATUS");
  m.wEXPOSURE_TIME_BASE = readValue<uint16_t>(j, "wEXPOSURE_TIME_BASE");
  m.dwEXPOSURE_TIME = readValue<uint32_t>(j, "dwEXPOSURE_TIME");
  m.dwFRAMERATE_MILLIHZ = readValue<uint32_t>(j, "dwFRAMERATE_MILLIHZ");
  m.sSENSOR_TEMPERATURE = readValue<int16_t>(j, "sSENSOR_TEMPERATURE");
  m.wIMAGE_SIZE_X = readValue<uint16_t>(j, "wIMAGE_SIZE_X");
  m.wIMAGE_SIZE_Y = readValue<uint16_t>(j, "wIMAGE_SIZE_Y");
  m.bBINNING_X = readValue<uint8_t>(j, "bBINNING_X");
  m.bBINNING_Y = readValue<uint8_t>(j, "bBINNING_Y");
  m.dwSENSOR_READOUT_FREQUENCY = readValue<uint32_t>(j, "dwSENSOR_READOUT_FREQUENCY");
  m.wSENSOR_CONV_FACTOR = readValue<uint16_t>(j, "wSENSOR_CONV_FACTOR");
  m.dwCAMERA_SERIAL_NO = readValue<uint32_t>(j, "dwCAMERA_SERIAL_NO");
  m.wCAMERA_TYPE = readValue<uint16_t>(j, "wCAMERA_TYPE");
  m.bBIT_RESOLUTION = readValue<uint8_t>(j, "bBIT_RESOLUTION");
  m.bSYNC_STATUS = readValue<uint8_t>(j, "bSYNC_STATUS");
  m.wDARK_OFFSET = readValue<uint16_t>(j, "wDARK_OFFSET");
  m.bTRIGGER_MODE = readValue<uint8_t>(j, "bTRIGGER_MODE");
  m.bDOUBLE_IMAGE_MODE = readValue<uint8_t>(j, "bDOUBLE_IMAGE_MODE");
  m.bCAMERA_SYNC_MODE = readValue<uint8_t>(j, "bCAMERA_SYNC_MODE");
  m.bIMAGE_TYPE = readValue<uint8_t>(j, "bIMAGE_TYPE");
  m.wCOLOR_PATTERN = readValue<uint16_t>(j, "wCOLOR_PATTERN");
  m.wCAMERA_SUBTYPE = readValue<uint16_t>(j, "wCAMERA_SUBTYPE");
  m.dwEVENT_NUMBER = readValue<uint32_t>(j, "dwEVENT_NUMBER");
  m.wIMAGE_SIZE_X_Offset = readValue<uint16_t>(j, "wIMAGE_SIZE_X_Offset");
  m.wIMAGE_SIZE_Y_Offset = readValue<uint16_t>(j, "wIMAGE_SIZE_Y_Offset");
  m.bREADOUT_MODE = readValue<uint8_t>(j, "bREADOUT_MODE");
}

}  // namespace vyk
