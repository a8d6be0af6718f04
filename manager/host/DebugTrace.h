// The manager's printf-style trace to the debugger output.
#pragma once

#include <cstdarg>
#include <string>

inline constexpr std::size_t kDebugTraceBuffer = 20480;

// Formats like debugTrace and returns exactly the text that goes out: cut to 20479
// characters, "\r\n" appended within the same limit.
std::string formatDebugTrace(const char *format, va_list args);

void debugTrace(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Where the trace goes: OutputDebugStringA on Windows; natively standard error unless a test
// installs its own sink. Passing null restores the platform's output.
using DebugTraceSink = void (*)(const char *text);
void setDebugTraceSink(DebugTraceSink sink);
