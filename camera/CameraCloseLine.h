#pragma once
// The line that closing a camera prints for a release step that did not succeed.

#include <cstdint>
#include <string>

namespace vyk {

/// Text of the "Close with ..." lines; closing prints them on standard output and goes on.
class CameraCloseLine {
 public:
  /// "Close with warning: " when both top bits of result are set, else "Close with error: ",
  /// followed by the device library's text for the code.
  static std::string of(int32_t result);
  /// "Close with error: " and the text, for a failing device close.
  static std::string ofDeviceClose(int32_t result);
};

}  // namespace vyk
