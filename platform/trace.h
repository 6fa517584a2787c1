// Diagnostic traces for the debugger. They have no effect on behaviour.
#pragma once

namespace zt::platform {

// printf-style; goes to the debugger output (OutputDebugString) on Windows and to stderr
// on POSIX when the environment variable ZT615_TRACE is set.
void DebugTrace(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace zt::platform
