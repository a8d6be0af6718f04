// Process-wide settings of the log writer: created empty on first use, kept until the end.
#pragma once

#include <functional>
#include <string>

// A local date and time to the millisecond, as GetLocalTime gives it.
struct LogTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The platform's local time (GetLocalTime on Windows).
LogTime systemLocalTime();

class LogSettings {
  public:
    static LogSettings &instance();

    std::string prefix;    // "downloadinfra_log_", "backup_log_" or "restore_log_"
    std::string logFolder; // empty: the log is off
    // Where the writer reads the local time; empty means systemLocalTime. Tests set a fixed clock.
    std::function<LogTime()> clock;

    LogTime now() const { return clock ? clock() : systemLocalTime(); }

  private:
    LogSettings() = default;
};
