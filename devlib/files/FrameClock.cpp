#include "FrameClock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

namespace vyksim {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

constexpr size_t kTimestampYear = 6;       // wYear; wMonth, wDay, wHour, wMinute, wSecond follow
constexpr size_t kTimestampMicros = 18;    // dwMicroSeconds
constexpr size_t kMetadataTimeUs = 8;      // bIMAGE_TIME_US_BCD, 3 bytes, least significant first
constexpr size_t kMetadataTimeSec = 11;    // then minute, hour, day, month, year (BCD)
constexpr size_t kMetadataExposureBase = 18; // wEXPOSURE_TIME_BASE: 0 ns, 1 us, 2 ms
constexpr size_t kMetadataExposure = 20;   // dwEXPOSURE_TIME

// Calendar fields of a frame time.
struct Civil {
    int year, month, day, hour, minute, second, micro;
};

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

Civil civilFromDays(int64_t days)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
    return Civil{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day), 0, 0, 0, 0};
}

bool valid(const Civil& c)
{
    return c.year >= 1 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= 31
        && c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 && c.second <= 60
        && c.micro >= 0 && c.micro < kMicrosPerSecond;
}

int64_t toTime(const Civil& c)
{
    if (!valid(c))
        return -1;
    const int64_t seconds = daysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day))
            * kSecondsPerDay
        + c.hour * 3600 + c.minute * 60 + c.second;
    return seconds * kMicrosPerSecond + c.micro;
}

Civil fromTime(int64_t time)
{
    const int64_t seconds = time / kMicrosPerSecond;
    Civil c = civilFromDays(seconds / kSecondsPerDay);
    const int64_t inDay = seconds % kSecondsPerDay;
    c.hour = static_cast<int>(inDay / 3600);
    c.minute = static_cast<int>(inDay / 60 % 60);
    c.second = static_cast<int>(inDay % 60);
    c.micro = static_cast<int>(time % kMicrosPerSecond);
    return c;
}

uint16_t u16(const uint8_t* block, size_t offset)
{
    uint16_t value = 0;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

uint32_t u32(const uint8_t* block, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

// Value of one BCD byte (two decimal digits); -1 for a nibble above 9.
int bcd(uint8_t byte)
{
    const int high = byte >> 4, low = byte & 0xF;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

} // namespace

int64_t FrameClock::fromTimestampBlock(const uint8_t* timestamp)
{
    if (timestamp == nullptr)
        return -1;
    Civil c{};
    c.year = u16(timestamp, kTimestampYear);
    c.month = u16(timestamp, kTimestampYear + 2);
    c.day = u16(timestamp, kTimestampYear + 4);
    c.hour = u16(timestamp, kTimestampYear + 6);
    c.minute = u16(timestamp, kTimestampYear + 8);
    c.second = u16(timestamp, kTimestampYear + 10);
    const uint32_t micro = u32(timestamp, kTimestampMicros);
    c.micro = micro < kMicrosPerSecond ? static_cast<int>(micro) : -1;
    return toTime(c);
}

int64_t FrameClock::fromMetadataBlock(const uint8_t* metadata)
{
    if (metadata == nullptr)
        return -1;
    const uint8_t* t = metadata + kMetadataTimeSec;
    const int us0 = bcd(metadata[kMetadataTimeUs]), us1 = bcd(metadata[kMetadataTimeUs + 1]),
              us2 = bcd(metadata[kMetadataTimeUs + 2]);
    const int year = bcd(t[5]);
    if (us0 < 0 || us1 < 0 || us2 < 0 || year < 0)
        return -1;
    const Civil c{2000 + year, bcd(t[4]), bcd(t[3]), bcd(t[2]), bcd(t[1]), bcd(t[0]), us0 + 100 * us1 + 10000 * us2};
    return toTime(c);
}

int64_t FrameClock::now()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / kMicrosPerSecond);
    std::tm local{};
    localtime_r(&seconds, &local);
    const Civil c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(micros % kMicrosPerSecond)};
    return toTime(c);
}

int64_t FrameClock::frameTime(const uint8_t* timestamp, const uint8_t* metadata, int64_t arrival)
{
    int64_t time = fromTimestampBlock(timestamp);
    if (time < 0)
        time = fromMetadataBlock(metadata);
    return time < 0 ? arrival : time;
}

double FrameClock::exposureFromMetadata(const uint8_t* metadata)
{
    if (metadata == nullptr)
        return std::numeric_limits<double>::quiet_NaN();
    static const double scale[] = {1e-9, 1e-6, 1e-3};
    const uint16_t base = u16(metadata, kMetadataExposureBase);
    if (base > 2)
        return std::numeric_limits<double>::quiet_NaN();
    return u32(metadata, kMetadataExposure) * scale[base];
}

std::string FrameClock::isoDateTime(int64_t time)
{
    const Civil c = fromTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second, c.micro);
    return text;
}

std::string FrameClock::tiffDateTime(int64_t time)
{
    const Civil c = fromTime(time);
    char text[24];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                  c.second);
    return text;
}

std::string FrameClock::dicomDateTime(int64_t time)
{
    const Civil c = fromTime(time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d.%06d", c.year, c.month, c.day, c.hour, c.minute,
                  c.second, c.micro);
    return text;
}

} // namespace vyksim
