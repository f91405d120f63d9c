#pragma once
// A time as the camera device counts it: an integer value in a time base.

#include <cstdint>

namespace vyk {

/// A device time: value in time base 0 (nanoseconds), 1 (microseconds) or 2 (milliseconds).
struct DeviceTime {
  uint32_t value = 0;  ///< the count, in the unit of base
  uint16_t base = 0;   ///< 0 ns, 1 us, 2 ms

  /// Seconds t as the device takes them: ns below 0.004 s, us below 4 s, else ms;
  /// the value truncated (negative and NaN give 0, values past 32 bits saturate).
  static DeviceTime fromSeconds(double t);
  /// seconds in time base: truncated count of seconds x 10^(9 - 3 x base).
  static uint32_t countIn(double seconds, uint16_t base);
  /// The value v read back in time base b, in seconds: v / 10^((3 - b) x 3).
  static double toSeconds(uint32_t value, uint16_t base);
  /// This time in seconds.
  double seconds() const { return toSeconds(value, base); }
};

}  // namespace vyk
