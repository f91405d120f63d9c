// Where the settings file and the log files live.
#pragma once

#include <QDateTime>
#include <QString>

namespace DataPaths {

// The data directory with a trailing "/": "$ALLUSERSPROFILE/vyk/" when that variable is
// set, else the "vyk/" folder of the XDG data home.
QString dataDirectory();

// Start time as it appears in log file names: "dd_MM_yyyy_hh_mm".
QString startTimeStamp(const QDateTime& time);

// data directory + "rastel_setup.ini".
QString settingsFilePathIn(const QString& dataDirectory);

// data directory + "rastel_" + stamp + ".log".
QString logFilePathIn(const QString& dataDirectory, const QString& stamp);

// Creates the directory with all missing parents; the result is deliberately not checked
// (a failure shows up later as a log file that cannot be opened).
void createDirectory(const QString& path);

} // namespace DataPaths
