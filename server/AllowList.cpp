#include "server/AllowList.h"

#include <arpa/inet.h>

#include <optional>
#include <stdexcept>

namespace devserver {

namespace {

// The address in host byte order, or nothing when text is no dotted IPv4 address.
std::optional<uint32_t> ipv4(const std::string& text)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

// Removes the spaces around an entry ("a, b" reads like "a,b").
std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

AllowList AllowList::parse(const std::string& text)
{
    AllowList list;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string entry = trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        const auto invalid = [&entry] { return std::invalid_argument("invalid value for --allow: " + entry); };
        const std::size_t slash = entry.find('/');
        const std::optional<uint32_t> address = ipv4(entry.substr(0, slash));
        if (!address)
            throw invalid();
        unsigned bits = 32;
        if (slash != std::string::npos) {
            const std::string bitsText = entry.substr(slash + 1);
            if (bitsText.empty() || bitsText.size() > 2 || bitsText.find_first_not_of("0123456789") != std::string::npos)
                throw invalid();
            bits = static_cast<unsigned>(std::stoul(bitsText));
            if (bits > 32)
                throw invalid();
        }
        // A shift by 32 is undefined, so /0 gets its empty mask explicitly.
        const uint32_t mask = bits == 0 ? 0u : ~uint32_t{0} << (32 - bits);
        list.ranges_.push_back({*address & mask, mask});
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return list;
}

bool AllowList::allows(const std::string& ip) const
{
    if (ranges_.empty())
        return true;
    const std::optional<uint32_t> address = ipv4(ip);
    if (!address)
        return false;
    for (const Range& range : ranges_)
        if ((*address & range.mask) == range.network)
            return true;
    return false;
}

}  // namespace devserver
