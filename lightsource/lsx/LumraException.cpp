#include "lightsource/lsx/LumraException.h"

#include "kv2_cam.h"

#include <sstream>

namespace lsx {

namespace {
constexpr uint32_t kErrorTextSize = 100;
}  // namespace

LumraException::LumraException(uint32_t code) : code_(code)
{
    char text[kErrorTextSize] = {};
    VYK_GetErrorText(code, text, kErrorTextSize);
    std::ostringstream out;
    out << "lsx::LumraException (0x" << std::hex << code << "): " << text;
    message_ = out.str();
}

LumraException::LumraException(const std::string& text, uint32_t code)
    : code_(code), message_("lsx::LumraException: " + text)
{
}

const char* LumraException::what() const noexcept
{
    return message_.c_str();
}

bool LumraException::isFailure(int32_t result) noexcept
{
    return result < 0 && (static_cast<uint32_t>(result) & 0x40000000u) == 0;
}

void LumraException::throwIfFailed(int32_t result)
{
    if (isFailure(result))
        throw LumraException(static_cast<uint32_t>(result));
}

}  // namespace lsx
