#include "camera/PixelFormat.h"

#include <string>

#include "camera/CameraException.h"

namespace vyk {

uint32_t PixelFormat::flagOfBits(uint16_t bits) {
  switch (bits) {
    case 8: return 0x10;
    case 10: return 0x8;
    case 12: return 0x4;
    case 14: return 0x2;
    case 16: return 0x1;
    default:
      throw CameraException("Unknown dynamic resolution: " + std::to_string(bits), CameraException::kLayerError);
  }
}

}  // namespace vyk
