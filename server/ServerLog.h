#pragma once

#include <string>

namespace devserver {

/// Severity of a server log line; a line is written when its level is at most the threshold.
enum class LogLevel { Error = 0, Warning = 1, Info = 2, Debug = 3 };

/// Sets the threshold (default Info).
void setLogLevel(LogLevel level);
/// The threshold.
LogLevel logLevel();
/// Writes "[time] LEVEL message" to standard error when level passes the threshold;
/// lines of concurrent callers never interleave.
void logLine(LogLevel level, const std::string& message);

}  // namespace devserver
