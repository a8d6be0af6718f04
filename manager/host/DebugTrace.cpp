#include "DebugTrace.h"

#include <atomic>
#include <cstdio>
#include <cstring>

void platformDebugOutput(const char *text); // DebugTrace_win.cpp / DebugTrace_posix.cpp

namespace {
std::atomic<DebugTraceSink> g_sink{nullptr};
}

std::string formatDebugTrace(const char *format, va_list args) {
    char buffer[kDebugTraceBuffer];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0)
        buffer[0] = '\0';
    // Bounded concatenation within the same buffer, as strncat would with the remaining room.
    std::size_t len = std::strlen(buffer);
    const char *crlf = "\r\n";
    for (std::size_t i = 0; i < 2 && len < sizeof buffer - 1; ++i)
        buffer[len++] = crlf[i];
    buffer[len] = '\0';
    buffer[kDebugTraceBuffer - 1] = '\0';
    return std::string(buffer);
}

void debugTrace(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatDebugTrace(format, args);
    va_end(args);
    if (DebugTraceSink sink = g_sink.load())
        sink(text.c_str());
    else
        platformDebugOutput(text.c_str());
}

void setDebugTraceSink(DebugTraceSink sink) {
    g_sink.store(sink);
}
