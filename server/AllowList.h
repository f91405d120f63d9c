#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devserver {

/// The IPv4 client addresses the server answers (option --allow ADDRESS[/BITS][,...]).
/// An empty list allows every address.
class AllowList {
public:
    /// Allows every address.
    AllowList() = default;

    /// Reads "ADDRESS[/BITS][,...]" (BITS 0..32, default 32); a malformed entry throws
    /// std::invalid_argument "invalid value for --allow: " + the entry.
    static AllowList parse(const std::string& text);

    /// True when no range is listed, so every address is allowed.
    bool empty() const { return ranges_.empty(); }
    /// True when ip (dotted IPv4 text) lies in a listed range, or the list is empty.
    /// Text that is no IPv4 address lies in no range.
    bool allows(const std::string& ip) const;

private:
    struct Range {
        uint32_t network; ///< address with the host bits cleared, host byte order
        uint32_t mask;    ///< network mask, host byte order
    };
    std::vector<Range> ranges_; ///< the listed ranges, in command-line order
};

}  // namespace devserver
