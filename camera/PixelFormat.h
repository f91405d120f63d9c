#pragma once
// Pixel-format flags of the camera device: one flag per sensor bit resolution.

#include <cstdint>

namespace vyk {

/// Translation between sensor bit resolutions and pixel-format flags.
class PixelFormat {
 public:
  /// The flag of a bit resolution: 8 bits 0x10, 10 bits 0x8, 12 bits 0x4, 14 bits 0x2,
  /// 16 bits 0x1; any other resolution throws "Unknown dynamic resolution: " + bits (0x160000).
  static uint32_t flagOfBits(uint16_t bits);
};

}  // namespace vyk
