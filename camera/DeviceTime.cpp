#include "camera/DeviceTime.h"

#include <cmath>

namespace vyk {

namespace {

// Counts per second of each time base: ns, us, ms.
constexpr double kPerSecond[3] = {1e9, 1e6, 1e3};

uint16_t clampBase(uint16_t base) { return base > 2 ? 2 : base; }

}  // namespace

uint32_t DeviceTime::countIn(double seconds, uint16_t base) {
  const double count = std::trunc(seconds * kPerSecond[clampBase(base)]);
  // A double outside the target range must not reach the integer conversion.
  if (!(count > 0.0)) return 0;
  if (count >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(count);
}

DeviceTime DeviceTime::fromSeconds(double t) {
  DeviceTime time;
  time.base = t < 0.004 ? 0 : (t < 4.0 ? 1 : 2);
  time.value = countIn(t, time.base);
  return time;
}

double DeviceTime::toSeconds(uint32_t value, uint16_t base) {
  return static_cast<double>(value) / kPerSecond[clampBase(base)];
}

}  // namespace vyk
