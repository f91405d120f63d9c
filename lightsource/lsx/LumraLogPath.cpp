#include "lightsource/lsx/LumraLogPath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace lsx {

namespace {

std::filesystem::path dataDirectory()
{
    if (const char* profile = std::getenv("ALLUSERSPROFILE"); profile != nullptr && *profile != '\0')
        return profile;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".local" / "share";
    return {};
}

}  // namespace

std::string lumraLogFilePath()
{
    const std::filesystem::path base = dataDirectory();
    if (base.empty())
        return {};
    const std::filesystem::path folder = base / "vyk";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return (folder / "lsx_lumra.log").string();
}

}  // namespace lsx
