#include "camera/MemoryRule.h"

namespace vyk {

uint32_t MemoryRule::fit(uint32_t requested, uint32_t capacity, bool camRamMode, std::ostream& out) {
  if (requested > capacity) {
    out << "Not enough space for your application." << std::endl;
    out << "Reqired number of images get adapted to max possible." << std::endl;
    return capacity;
  }
  if (requested > capacity / 2 && !camRamMode) {
    out << "You are above 50% of available space." << std::endl;
  }
  return requested;
}

}  // namespace vyk
