#pragma once

#include "server/AllowList.h"

#include <filesystem>
#include <string>

namespace devserver {

/// Decides whether a client may use the server: its address must be in the allow list, and
/// when the server has a token every HTTP request must carry "Authorization: Bearer <token>".
/// Immutable after construction, so the HTTP and discovery threads share it without a lock.
class AccessControl {
public:
    /// The outcome of check().
    enum class Verdict {
        Allowed,        ///< go on with the request
        AddressRefused, ///< the peer is outside the allow list
        TokenRefused,   ///< the token is missing or wrong
    };

    /// The "where" of the RemoteError body of a request refused for its token.
    static constexpr const char* kWrongToken = "missing or wrong token";
    /// The "where" of the RemoteError body of a request refused for its address.
    static constexpr const char* kAddressNotAllowed = "address not allowed";

    /// Allows everybody.
    AccessControl() = default;
    /// token empty = no token needed; allowList empty = every address.
    AccessControl(std::string token, AllowList allowList);

    /// True when requests must carry the token.
    bool requiresToken() const { return !token_.empty(); }
    /// True when ip (dotted IPv4) may talk to the server at all.
    bool allowsAddress(const std::string& ip) const { return allowList_.allows(ip); }
    /// The warning to log at start when the server listens on bindAddress: anyone who can
    /// reach a non-loopback address can control the devices unless a token is required.
    /// Empty when there is nothing to warn about.
    std::string exposureWarning(const std::string& bindAddress) const;
    /// The verdict on a request from ip whose "Authorization" header is authorization
    /// (empty when absent). The token is compared in constant time.
    Verdict check(const std::string& ip, const std::string& authorization) const;

private:
    std::string token_;   ///< the shared secret; empty = none required
    AllowList allowList_; ///< the admitted client ranges
};

/// Reads the token from file: its first line without the line end and surrounding blanks.
/// Throws std::runtime_error when the file cannot be read, is readable by group or others,
/// or holds no token.
std::string readTokenFile(const std::filesystem::path& file);

/// a == b, taking the same time for every a of a given length whatever b holds, so the
/// answer time tells a guesser nothing about how much of the secret a matched.
bool equalInConstantTime(const std::string& a, const std::string& b);

}  // namespace devserver
