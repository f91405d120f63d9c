#include "server/ServerLog.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>

namespace devserver {

namespace {

std::atomic<LogLevel> threshold{LogLevel::Info};
std::mutex writeMutex; // serialises whole lines on standard error

const char* nameOf(LogLevel level)
{
    switch (level) {
    case LogLevel::Error: return "ERROR";
    case LogLevel::Warning: return "WARNING";
    case LogLevel::Info: return "INFO";
    case LogLevel::Debug: return "DEBUG";
    }
    return "?";
}

}  // namespace

void setLogLevel(LogLevel level)
{
    threshold = level;
}

LogLevel logLevel()
{
    return threshold;
}

void logLine(LogLevel level, const std::string& message)
{
    if (static_cast<int>(level) > static_cast<int>(threshold.load()))
        return;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
    std::lock_guard<std::mutex> lock(writeMutex);
    std::cerr << '[' << stamp << "] " << nameOf(level) << ' ' << message << std::endl;
}

}  // namespace devserver
