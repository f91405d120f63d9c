#pragma once
// The time stamp the camera writes into an image: packed, 22 bytes, the camera's own layout.

#include <cstddef>
#include <cstdint>

#include <nlohmann/json_fwd.hpp>

namespace vyk {

#pragma pack(push, 1)
/// Packed 22-byte image time stamp; field names are the JSON keys.
struct ImageTimestamp {
  uint16_t wSize = 22;          ///< size of this block in bytes
  uint32_t dwImgCounter = 0;    ///< image counter
  uint16_t wYear = 0;           ///< year
  uint16_t wMonth = 0;          ///< month, 1 to 12
  uint16_t wDay = 0;            ///< day of month
  uint16_t wHour = 0;           ///< hour
  uint16_t wMinute = 0;         ///< minute
  uint16_t wSecond = 0;         ///< second
  uint32_t dwMicroSeconds = 0;  ///< microseconds within the second
};
#pragma pack(pop)

static_assert(sizeof(ImageTimestamp) == 22, "ImageTimestamp is the camera's 22-byte block");
static_assert(offsetof(ImageTimestamp, dwImgCounter) == 2);
static_assert(offsetof(ImageTimestamp, wYear) == 6);
static_assert(offsetof(ImageTimestamp, wSecond) == 16);
static_assert(offsetof(ImageTimestamp, dwMicroSeconds) == 18);

/// Byte-wise equality of the two blocks.
bool operator==(const ImageTimestamp& a, const ImageTimestamp& b);
bool operator!=(const ImageTimestamp& a, const ImageTimestamp& b);

void to_json(nlohmann::json& j, const ImageTimestamp& timestamp);
void from_json(const nlohmann::json& j, ImageTimestamp& timestamp);

}  // namespace vyk
