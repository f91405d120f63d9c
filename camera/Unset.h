#pragma once
// The "unset" markers of Configuration fields: a field holding its marker means
// "keep the camera's current value" when the record is handed to setConfiguration.

#include <cmath>
#include <cstdint>
#include <limits>

namespace vyk {

/// Unset marker of a double field.
constexpr double kUnsetDouble = std::numeric_limits<double>::quiet_NaN();
/// Unset marker of an unsigned 16-bit field.
constexpr uint16_t kUnset16 = 0xFFFF;
/// Unset marker of an unsigned 32-bit field.
constexpr uint32_t kUnset32 = 0xFFFFFFFFu;
/// Unset marker of a ROI coordinate (unsigned 64-bit).
constexpr uint64_t kUnset64 = std::numeric_limits<uint64_t>::max();

/// True when a double field is unset (NaN).
inline bool isUnset(double value) { return std::isnan(value); }
/// True when an unsigned 16-bit field is unset.
inline bool isUnset(uint16_t value) { return value == kUnset16; }
/// True when an unsigned 32-bit field is unset.
inline bool isUnset(uint32_t value) { return value == kUnset32; }
/// True when a ROI coordinate is unset.
inline bool isUnset(uint64_t value) { return value == kUnset64; }

/// True when a and b are equal or both unset (NaN); the equality of double record fields.
inline bool sameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace vyk
