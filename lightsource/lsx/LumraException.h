#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace lsx {

/// The one failure type of the light-source layer: a 32-bit code and a message.
class LumraException : public std::exception {
public:
    /// From a library code: "lsx::LumraException (0x<hex>): " + the device library's text.
    explicit LumraException(uint32_t code);
    /// From a text: "lsx::LumraException: " + text.
    LumraException(const std::string& text, uint32_t code);

    /// The full message.
    const char* what() const noexcept override;
    /// The error code.
    uint32_t code() const noexcept { return code_; }

    /// Throws LumraException(result) when result is a failure (negative, warning bit 30 clear).
    static void throwIfFailed(int32_t result);
    /// True when result is a failure.
    static bool isFailure(int32_t result) noexcept;

    static constexpr uint32_t kNoDevice = 0xA0163013;     ///< no matching device, type/port mismatch
    static constexpr uint32_t kBadConfiguration = 0xA0570001; ///< configuration does not fit the device
    static constexpr uint32_t kTransport = 0x160000;      ///< remote request failed

private:
    uint32_t code_;       ///< error code
    std::string message_; ///< full text returned by what()
};

}  // namespace lsx
