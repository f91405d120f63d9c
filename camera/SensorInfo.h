#pragma once
// The sensor description the conversion library takes: packed, 264 bytes, byte for byte
// the conversion library's own record, so the camera layer can copy it across with memcpy.

#include <cstddef>
#include <cstdint>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

#pragma pack(push, 1)
/// The sensor's 3 x 3 colour matrix, row by row.
struct ColorCoefficients {
  double da11 = 0.0;  ///< row 1, column 1
  double da12 = 0.0;  ///< row 1, column 2
  double da13 = 0.0;  ///< row 1, column 3
  double da21 = 0.0;  ///< row 2, column 1
  double da22 = 0.0;  ///< row 2, column 2
  double da23 = 0.0;  ///< row 2, column 3
  double da31 = 0.0;  ///< row 3, column 1
  double da32 = 0.0;  ///< row 3, column 2
  double da33 = 0.0;  ///< row 3, column 3
};

/// Packed 264-byte sensor description; field names are the JSON keys.
struct SensorInfo {
  uint16_t wSize = 264;                 ///< size of this record in bytes
  uint16_t wDummy = 0;                  ///< reserved
  int32_t iConversionFactor = 0;        ///< conversion factor x 100
  int32_t iDataBits = 0;                ///< bits per raw pixel
  int32_t iSensorInfoBits = 0;          ///< sensor flags (bit 0: colour sensor)
  int32_t iDarkOffset = 0;              ///< dark offset, counts
  uint16_t wIMAGE_SIZE_X_Offset = 0;    ///< horizontal offset of the image, pixels
  uint16_t wIMAGE_SIZE_Y_Offset = 0;    ///< vertical offset of the image, pixels
  ColorCoefficients strColorCoeff;      ///< colour matrix (bytes 24 to 95)
  int32_t iCamNum = 0;                  ///< camera number
  uint32_t dwAlignment = 0;             ///< bytes 100 to 103, unused; never serialised
  void* hCamera = nullptr;              ///< device handle; never serialised, null after reading
  uint32_t dwzzDummy1[38] = {};         ///< reserved words (bytes 112 to 263)
};
#pragma pack(pop)

static_assert(sizeof(ColorCoefficients) == 72);
static_assert(sizeof(void*) == 8, "the record reserves 8 bytes for the device handle");
static_assert(sizeof(SensorInfo) == 264, "SensorInfo is the conversion library's 264-byte record");
static_assert(offsetof(SensorInfo, iConversionFactor) == 4);
static_assert(offsetof(SensorInfo, iDarkOffset) == 16);
static_assert(offsetof(SensorInfo, wIMAGE_SIZE_X_Offset) == 20);
static_assert(offsetof(SensorInfo, wIMAGE_SIZE_Y_Offset) == 22);
static_assert(offsetof(SensorInfo, strColorCoeff) == 24);
static_assert(offsetof(SensorInfo, iCamNum) == 96);
static_assert(offsetof(SensorInfo, hCamera) == 104);
static_assert(offsetof(SensorInfo, dwzzDummy1) == 112);

bool operator==(const ColorCoefficients& a, const ColorCoefficients& b);
/// Equality of every serialised field (the alignment gap and the handle are ignored).
bool operator==(const SensorInfo& a, const SensorInfo& b);
bool operator!=(const SensorInfo& a, const SensorInfo& b);

void to_json(nlohmann::json& j, const ColorCoefficients& coefficients);
void from_json(const nlohmann::json& j, ColorCoefficients& coefficients);
/// Writes every field but the alignment gap and the device handle.
void to_json(nlohmann::json& j, const SensorInfo& info);
/// Reads every serialised field; clears the alignment gap and the device handle.
void from_json(const nlohmann::json& j, SensorInfo& info);

}  // namespace vyk
