#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace vyk {

/// The one exception type of the camera layer; its text carries the code in hexadecimal.
class CameraException : public std::exception {
 public:
  /// The camera layer's own failures (buffer mismatches, JSON/HTTP failures, unknown values).
  static constexpr uint32_t kLayerError = 0x160000;

  /// From a device-library code: the message is the library's error text (at most 100
  /// characters); the text is "vyk::CameraException (0x<code in lower-case hex>): " + message.
  explicit CameraException(uint32_t code);
  /// From a message and a code: the text is "vyk::CameraException: " + message.
  CameraException(std::string message, uint32_t code);

  /// The full text.
  const char* what() const noexcept override;
  /// The error code.
  uint32_t code() const noexcept { return _code; }
  /// The message without prefix.
  const std::string& message() const noexcept { return _message; }

 private:
  std::string _text;     // full text, returned by what()
  uint32_t _code;        // device-library style error code
  std::string _message;  // plain message
};

/// Throws CameraException(result) when result is an error: negative with bit 0x40000000 clear.
/// Zero and warnings pass.
void throwIfFailed(int32_t result);

}  // namespace vyk
