#pragma once

#include <string>

namespace lsx {

/// Path of the light-source library's log file, its folder created:
/// "$ALLUSERSPROFILE/vyk/lsx_lumra.log" when ALLUSERSPROFILE is set, else
/// "<XDG data home>/vyk/lsx_lumra.log" ($XDG_DATA_HOME, else $HOME/.local/share).
/// Empty when no such folder can be determined.
std::string lumraLogFilePath();

}  // namespace lsx
