// The process-wide log: level, file and the one message handler every diagnostic passes through.
#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>

class QMessageLogContext;

// Verbosity of the log file: 0 Off, 1 Error, 2 Warning, 3 Info (initial), 4 Debug.
// Written by the GUI thread, read by every thread that logs.
extern std::atomic<int> logLevel;

// Full path of the settings file (data directory + "rastel_setup.ini").
extern QString settingsFilePath;

// Full path of this run's log file (data directory + "rastel_" + start time + ".log").
extern QString logFilePath;

// Severity rank of a Qt message type: debug 4, info 3, warning 2, critical and fatal 1.
int severityRank(QtMsgType type);

// True when a message of this type passes the level test at the given level.
bool passesLogLevel(QtMsgType type, int level);

// The complete log line (without line feed) for one message, stamped with the current
// local time and the calling thread's native id.
QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Opens path as this run's log file (append, text). Returns false when it cannot be opened;
// lines are then dropped silently.
bool openLogFile(const QString& path);

// Closes the log file; later lines are dropped.
void closeLogFile();

// Qt message handler: filters by logLevel, formats, writes and flushes one line under
// the log mutex. A fatal message aborts the process after its line is written.
void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
