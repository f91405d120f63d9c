#include "server/AccessControl.h"

#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

namespace devserver {

namespace {

constexpr const char* kBearer = "Bearer ";
constexpr const char* kBlanks = " \t\r\n";

}  // namespace

AccessControl::AccessControl(std::string token, AllowList allowList)
    : token_(std::move(token)), allowList_(std::move(allowList))
{
}

AccessControl::Verdict AccessControl::check(const std::string& ip, const std::string& authorization) const
{
    if (!allowList_.allows(ip))
        return Verdict::AddressRefused;
    if (token_.empty())
        return Verdict::Allowed;
    const std::string prefix = kBearer;
    const std::string offered = authorization.compare(0, prefix.size(), prefix) == 0 ? authorization.substr(prefix.size())
                                                                                     : std::string();
    return equalInConstantTime(token_, offered) ? Verdict::Allowed : Verdict::TokenRefused;
}

std::string AccessControl::exposureWarning(const std::string& bindAddress) const
{
    const bool loopback = bindAddress.rfind("127.", 0) == 0 || bindAddress == "localhost";
    if (loopback || requiresToken())
        return {};
    return "listening on " + bindAddress
           + " without --token-file: anyone on the network can control this server's devices";
}

bool equalInConstantTime(const std::string& a, const std::string& b)
{
    // Every byte of a is looked at, against b's byte or a zero past b's end, and the
    // differences are gathered without an early exit; a different length is one more difference.
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned char other = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference |= static_cast<unsigned char>(static_cast<unsigned char>(a[i]) ^ other);
    }
    return difference == 0;
}

std::string readTokenFile(const std::filesystem::path& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        throw std::runtime_error("cannot read token file " + file.string());
    if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0)
        throw std::runtime_error("token file " + file.string()
                                 + " is readable by group or others; make it private with: chmod 600 " + file.string());
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read token file " + file.string());
    std::string line;
    std::getline(in, line); // an empty file leaves line empty: no token
    const std::size_t first = line.find_first_not_of(kBlanks);
    const std::string token =
        first == std::string::npos ? std::string() : line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
    if (token.empty())
        throw std::runtime_error("token file " + file.string() + " holds no token");
    return token;
}

}  // namespace devserver
