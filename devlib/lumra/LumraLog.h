// The library's own call log (LUMRA_SetLogBits / SetLogMode / SetLogFile).
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

namespace lumrasim {

/// Log categories selected by LUMRA_SetLogBits.
enum LumraLogBit : uint32_t {
    kLogOpenClose = 0x0001, ///< scan, open, close
    kLogSwitch = 0x0002,    ///< output switching
    kLogStruct = 0x0004,    ///< device structure transfers
    kLogCommand = 0x0008,   ///< device commands
    kLogInfo = 0x0010,      ///< device info queries
    kLogErrors = 0x1000     ///< every failed call, whatever its category
};

/// Process-wide, thread-safe line log; lines are appended and flushed one by one.
class LumraLog {
public:
    /// The one log of the library.
    static LumraLog& instance();

    /// Selects the categories.
    void setBits(uint32_t bits);
    /// 0 = off, 1 = write to the file.
    void setMode(uint32_t mode);
    /// Opens path for appending; an empty path closes the file. False when it cannot be opened.
    bool setFile(const std::string& path);
    /// Writes "timestamp [thread] text -> result" when the category (or the error bit for a failure) is on.
    void write(uint32_t category, const std::string& text, int32_t result);

private:
    LumraLog() = default;

    std::mutex mutex_;       ///< guards every member below
    uint32_t bits_ = 0;      ///< selected categories (mutex_)
    uint32_t mode_ = 0;      ///< 1 = file logging on (mutex_)
    std::ofstream file_;     ///< the open log file (mutex_)
};

}  // namespace lumrasim
