#include "camera/CameraCloseLine.h"

#include "camera/CameraException.h"

namespace vyk {

namespace {

// Error and warning bit together mark a warning.
constexpr uint32_t kWarningBits = 0xC0000000u;

std::string textOf(int32_t result) { return CameraException(static_cast<uint32_t>(result)).message(); }

}  // namespace

std::string CameraCloseLine::of(int32_t result) {
  const bool warning = (static_cast<uint32_t>(result) & kWarningBits) == kWarningBits;
  return std::string("Close with ") + (warning ? "warning" : "error") + ": " + textOf(result);
}

std::string CameraCloseLine::ofDeviceClose(int32_t result) { return "Close with error: " + textOf(result); }

}  // namespace vyk
