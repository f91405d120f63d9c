#include "camera/CameraException.h"

#include <cstdio>

#include "kv2_cam.h"

namespace vyk {

namespace {

// The device library's buffer size for error texts; the text is at most this long.
constexpr uint32_t kErrorTextLength = 100;

std::string libraryErrorText(uint32_t code) {
  char buffer[kErrorTextLength + 1] = {};
  VYK_GetErrorText(code, buffer, kErrorTextLength);
  buffer[kErrorTextLength] = '\0';  // never trust the library to terminate
  return std::string(buffer);
}

std::string codeText(uint32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%x", static_cast<unsigned>(code));
  return "vyk::CameraException (0x" + std::string(hex) + "): ";
}

}  // namespace

CameraException::CameraException(uint32_t code)
    : _code(code), _message(libraryErrorText(code)) {
  _text = codeText(code) + _message;
}

CameraException::CameraException(std::string message, uint32_t code)
    : _text("vyk::CameraException: " + message), _code(code), _message(std::move(message)) {}

const char* CameraException::what() const noexcept { return _text.c_str(); }

void throwIfFailed(int32_t result) {
  if (VYK_FAILED(result)) throw CameraException(static_cast<uint32_t>(result));
}

}  // namespace vyk
