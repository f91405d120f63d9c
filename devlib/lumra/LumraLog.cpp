#include "LumraLog.h"

#include "lsx_lumra.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <thread>

namespace lumrasim {

namespace {

bool failed(int32_t code)
{
    return code < 0 && (static_cast<uint32_t>(code) & 0x40000000u) == 0;
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    std::ostringstream out;
    out << std::put_time(&local, "%Y-%m-%d %H:%M:%S") << '.' << std::setw(3) << std::setfill('0') << millis;
    return out.str();
}

}  // namespace

LumraLog& LumraLog::instance()
{
    static LumraLog log;
    return log;
}

void LumraLog::setBits(uint32_t bits)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bits_ = bits;
}

void LumraLog::setMode(uint32_t mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

bool LumraLog::setFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open())
        file_.close();
    if (path.empty())
        return true;
    file_.clear();
    file_.open(path, std::ios::out | std::ios::app);
    return file_.is_open();
}

void LumraLog::write(uint32_t category, const std::string& text, int32_t result)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode_ != 1 || !file_.is_open())
        return;
    const bool selected = (bits_ & category) != 0 || (failed(result) && (bits_ & kLogErrors) != 0);
    if (!selected)
        return;
    file_ << timestamp() << " [" << std::this_thread::get_id() << "] " << text << " -> 0x" << std::hex
          << std::setw(8) << std::setfill('0') << static_cast<uint32_t>(result) << std::dec
          << std::setfill(' ') << '\n';
    file_.flush();
}

}  // namespace lumrasim
