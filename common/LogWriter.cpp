#include "LogWriter.h"

#include "FileUtil.h"
#include "Sync.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string twoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() == 1 ? "0" + s : s;
}

std::string pathFor(const std::string &folder, const LogTime &t) {
    return folder + "\\" + logFileName(LogSettings::instance().prefix, t);
}

// The log is a text file: every line feed reaches the disk as CR LF, the message's own
// included, whatever the platform's stdio does.
std::string toTextLine(const std::string &prefix, const std::string &message) {
    std::string line = prefix;
    line.reserve(prefix.size() + message.size() + 8);
    for (char c : message) {
        if (c == '\n')
            line += '\r';
        line += c;
    }
    line += "\r\n";
    return line;
}

// The file a LogHold keeps open, with the path it was opened for (the path changes at
// midnight or with the configuration).
struct HeldLog {
    Mutex mutex;
    int holds = 0;
    std::string path;
    File file;
};

HeldLog &heldLog() {
    static HeldLog held;
    return held;
}

void append(std::FILE *f, const std::string &line) {
    std::fwrite(line.data(), 1, line.size(), f);
}

} // namespace

LogHold::LogHold() {
    HeldLog &held = heldLog();
    ScopedLock lock(held.mutex);
    ++held.holds;
}

LogHold::~LogHold() {
    HeldLog &held = heldLog();
    ScopedLock lock(held.mutex);
    if (--held.holds == 0) {
        held.file.reset();
        held.path.clear();
    }
}

void configureLog(const std::string &prefix, const std::string &folder) {
    LogSettings &s = LogSettings::instance();
    s.prefix = prefix;
    s.logFolder = folder;
}

std::string formatLogPrefix(const LogTime &t) {
    char buffer[1024];
    formatLogPrefix(t, buffer, sizeof buffer);
    return buffer;
}

void formatLogPrefix(const LogTime &t, char *out, std::size_t size) {
    // Month and day in two digits, as in the file name; the rest in plain decimal.
    std::snprintf(out, size, "[%d/%02d/%02d - %d:%d:%d:%d] ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
}

std::string logFileName(const std::string &prefix, const LogTime &t) {
    return prefix + std::to_string(t.year) + twoDigits(t.month) + twoDigits(t.day) + ".log";
}

std::string logFolder() {
    const std::string folder = LogSettings::instance().logFolder;
    if (!folder.empty()) {
        FileUtil files;
        if (!files.isFolder(folder + "\\"))
            files.createFolderPath(folder);
    }
    return folder;
}

std::string logFilePath() {
    const std::string path = pathFor(logFolder(), LogSettings::instance().now());
    if (!FileUtil().fileExists(path))
        File(std::fopen(path.c_str(), "ab")); // append mode: an unreadable log is never emptied
    return path;
}

bool writeLog(std::string message) {
    try {
        const std::string folder = logFolder();
        if (folder.empty())
            return false;
        // One reading of the clock for both the stamp and the file name, so a line stamped
        // before midnight never lands in the next day's file.
        const LogTime t = LogSettings::instance().now();
        const std::string path = pathFor(folder, t);
        const std::string line = toTextLine(formatLogPrefix(t), message);
        HeldLog &held = heldLog();
        ScopedLock lock(held.mutex);
        if (held.holds > 0) {
            if (!held.file || held.path != path) {
                held.file.reset(std::fopen(path.c_str(), "ab"));
                held.path = path;
            }
            if (held.file) {
                append(held.file.get(), line);
                std::fflush(held.file.get()); // a process ended midway keeps its lines
            }
            return true;
        }
        // Opening for appending creates a missing file, so no separate existence test: one
        // open fewer per line.
        File f(std::fopen(path.c_str(), "ab"));
        if (f)
            append(f.get(), line);
        return true;
    } catch (...) {
        return !LogSettings::instance().logFolder.empty(); // the line is lost, the caller goes on
    }
}
