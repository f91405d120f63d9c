#pragma once
// Names the calling thread, so that `top -H`, a debugger and the tests can tell the
// program's long-lived threads apart.

/// Gives the calling thread name (at most 15 characters are kept). No effect where the
/// platform offers no thread names.
void setThreadName(const char* name);
