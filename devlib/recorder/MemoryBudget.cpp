#include "MemoryBudget.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

namespace vykrec {

namespace {

std::atomic<uint64_t> g_reserved{0}; // bytes held by live Reservations

// The folder that will hold path: everything before the last '/', "." when there is none.
std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

uint32_t imagesIn(uint64_t bytes, uint64_t imageBytes)
{
    if (imageBytes == 0)
        return 0;
    return uint32_t(std::min<uint64_t>(bytes / imageBytes, 0xFFFFFFFEu));
}

} // namespace

MemoryBudget::Reservation::Reservation(uint64_t bytes) : bytes_(bytes)
{
    g_reserved += bytes_;
}

MemoryBudget::Reservation::~Reservation()
{
    g_reserved -= bytes_;
}

uint64_t MemoryBudget::parseMemAvailable(const std::string& meminfo)
{
    std::istringstream in(meminfo);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemAvailable:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(13));
        uint64_t value = 0;
        std::string unit;
        if (!(fields >> value))
            return 0;
        fields >> unit;
        return unit == "kB" ? value * 1024 : value;
    }
    return 0;
}

uint64_t MemoryBudget::availableBytes()
{
    std::ifstream file("/proc/meminfo");
    std::stringstream text;
    text << file.rdbuf();
    return parseMemAvailable(text.str());
}

uint64_t MemoryBudget::reservedBytes()
{
    return g_reserved.load();
}

uint32_t MemoryBudget::memoryCapacity(uint64_t imageBytes, uint64_t available)
{
    const uint64_t half = available / 2;
    const uint64_t reserved = reservedBytes();
    return imagesIn(half > reserved ? half - reserved : 0, imageBytes);
}

uint32_t MemoryBudget::diskCapacity(const std::string& path, uint64_t imageBytes)
{
    struct statvfs info {};
    if (statvfs(folderOf(path).c_str(), &info) != 0)
        return 0;
    return imagesIn(uint64_t(info.f_bavail) * info.f_frsize, imageBytes);
}

} // namespace vykrec
