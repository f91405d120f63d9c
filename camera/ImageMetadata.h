#pragma once
// The metadata block the camera attaches to an image when its metadata mode is on.
// The layout is the camera's own, byte for byte: packed, 69 bytes, little-endian fields.

#include <cstddef>
#include <cstdint>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

#pragma pack(push, 1)
/// Packed 69-byte per-image metadata; field names are the JSON keys.
struct ImageMetadata {
  uint16_t wSize = 69;                         ///< size of this block in bytes
  uint16_t wVersion = 0;                       ///< block version
  uint8_t bIMAGE_COUNTER_BCD[4] = {};          ///< image counter, BCD, least significant first
  uint8_t bIMAGE_TIME_US_BCD[3] = {};          ///< microseconds, BCD
  uint8_t bIMAGE_TIME_SEC_BCD = 0;             ///< seconds, BCD
  uint8_t bIMAGE_TIME_MIN_BCD = 0;             ///< minutes, BCD
  uint8_t bIMAGE_TIME_HOUR_BCD = 0;            ///< hours, BCD
  uint8_t bIMAGE_TIME_DAY_BCD = 0;             ///< day of month, BCD
  uint8_t bIMAGE_TIME_MON_BCD = 0;             ///< month, BCD
  uint8_t bIMAGE_TIME_YEAR_BCD = 0;            ///< year within the century, BCD
  uint8_t bIMAGE_TIME_STATUS = 0;              ///< time stamp status flags
  uint16_t wEXPOSURE_TIME_BASE = 0;            ///< time base of dwEXPOSURE_TIME
  uint32_t dwEXPOSURE_TIME = 0;                ///< exposure time in the time base
  uint32_t dwFRAMERATE_MILLIHZ = 0;            ///< frame rate, millihertz
  int16_t sSENSOR_TEMPERATURE = 0;             ///< sensor temperature, degrees Celsius
  uint16_t wIMAGE_SIZE_X = 0;                  ///< image width, pixels
  uint16_t wIMAGE_SIZE_Y = 0;                  ///< image height, pixels
  uint8_t bBINNING_X = 0;                      ///< horizontal binning
  uint8_t bBINNING_Y = 0;                      ///< vertical binning
  uint32_t dwSENSOR_READOUT_FREQUENCY = 0;     ///< pixel rate, hertz
  uint16_t wSENSOR_CONV_FACTOR = 0;            ///< conversion factor x 100
  uint32_t dwCAMERA_SERIAL_NO = 0;             ///< camera serial number
  uint16_t wCAMERA_TYPE = 0;                   ///< camera type code
  uint8_t bBIT_RESOLUTION = 0;                 ///< sensor bits per pixel
  uint8_t bSYNC_STATUS = 0;                    ///< synchronisation status
  uint16_t wDARK_OFFSET = 0;                   ///< dark offset, counts
  uint8_t bTRIGGER_MODE = 0;                   ///< trigger mode code
  uint8_t bDOUBLE_IMAGE_MODE = 0;              ///< double image mode on/off
  uint8_t bCAMERA_SYNC_MODE = 0;               ///< camera synchronisation mode
  uint8_t bIMAGE_TYPE = 0;                     ///< image type code
  uint16_t wCOLOR_PATTERN = 0;                 ///< colour pattern of the sensor
  uint16_t wCAMERA_SUBTYPE = 0;                ///< camera sub-type code
  uint32_t dwEVENT_NUMBER = 0;                 ///< event number
  uint16_t wIMAGE_SIZE_X_Offset = 0;           ///< horizontal offset of the image, pixels
  uint16_t wIMAGE_SIZE_Y_Offset = 0;           ///< vertical offset of the image, pixels
  uint8_t bREADOUT_MODE = 0;                   ///< readout mode code
};
#pragma pack(pop)

static_assert(sizeof(ImageMetadata) == 69, "ImageMetadata is the camera's 69-byte block");
static_assert(offsetof(ImageMetadata, bIMAGE_COUNTER_BCD) == 4);
static_assert(offsetof(ImageMetadata, bIMAGE_TIME_US_BCD) == 8);
static_assert(offsetof(ImageMetadata, bIMAGE_TIME_SEC_BCD) == 11);
static_assert(offsetof(ImageMetadata, wEXPOSURE_TIME_BASE) == 18);
static_assert(offsetof(ImageMetadata, sSENSOR_TEMPERATURE) == 28);
static_assert(offsetof(ImageMetadata, dwSENSOR_READOUT_FREQUENCY) == 36);
static_assert(offsetof(ImageMetadata, dwCAMERA_SERIAL_NO) == 42);
static_assert(offsetof(ImageMetadata, wDARK_OFFSET) == 50);
static_assert(offsetof(ImageMetadata, wCOLOR_PATTERN) == 56);
static_assert(offsetof(ImageMetadata, dwEVENT_NUMBER) == 60);
static_assert(offsetof(ImageMetadata, bREADOUT_MODE) == 68);

/// Byte-wise equality of the two blocks.
bool operator==(const ImageMetadata& a, const ImageMetadata& b);
bool operator!=(const ImageMetadata& a, const ImageMetadata& b);

/// The two multi-byte BCD fields travel as arrays of 4 and 3 numbers, all others as numbers.
void to_json(nlohmann::json& j, const ImageMetadata& metadata);
void from_json(const nlohmann::json& j, ImageMetadata& metadata);

}  // namespace vyk
