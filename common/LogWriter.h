// The per-day log file shared by the manager and the launchers.
//
// Usage: each program configures the writer once at start, then calls writeLog anywhere:
//
//     configureLog("backup_log_", installDir + "\\aplicacao\\infra\\tomcat\\logs");
//     ...
//     writeLog("Falha ao criar a JVM");
//
// The line goes to <folder>\<prefix>YYYYMMDD.log as "[YYYY/MM/DD - h:m:s:ms] message" + CR LF.
// The folder chain is created on the first line. With an empty folder nothing is written
// (the manager's log stays off until its restore context sets the folder). Failures to
// create, open or write are silent: the line is lost and the caller goes on.
#pragma once

#include "LogSettings.h"

#include <cstddef>
#include <string>

// Sets the program's file-name prefix and log folder (folder may be empty: log off).
void configureLog(const std::string &prefix, const std::string &folder);

// Appends one time-stamped line to today's log. True when a log folder is configured
// (whether or not the line could be written), false when it is empty and nothing was done.
bool writeLog(std::string message);

// Keeps the log file open from construction to destruction, for a burst of lines (the
// restore writes one per file) that would otherwise open and close it each time. Every line
// still reaches the file before writeLog returns. Holds may nest; the file closes with the last.
class LogHold {
  public:
    LogHold();
    ~LogHold();
    LogHold(const LogHold &) = delete;
    LogHold &operator=(const LogHold &) = delete;
};

// The configured log folder; when not empty, first creates it if it is not a folder.
std::string logFolder();

// Today's full log file name, created empty when it cannot be opened for reading.
std::string logFilePath();

// Formatting, exposed for tests: "[2026/12/06 - 9:5:7:42] " and "<prefix>20261206.log".
std::string formatLogPrefix(const LogTime &t);
// The same into a buffer, without the heap (for a thread the Java runtime is failing in).
void formatLogPrefix(const LogTime &t, char *out, std::size_t size);
std::string logFileName(const std::string &prefix, const LogTime &t);
