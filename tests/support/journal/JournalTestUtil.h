// Helpers for the journal, log and file tests under Wine.
#pragma once

#include "LogWriter.h"
#include "ParameterReader.h"
#include "WinTestUtil.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qvjournal {

// The moment every test writes at: 09:05:07.042 on 6 December 2026.
inline LogTime fixedTime() {
    return {2026, 12, 6, 9, 5, 7, 42};
}

// Points the log writer at `folder` with a fixed clock; switches it off again on destruction.
class LogCapture {
  public:
    explicit LogCapture(std::string folder, std::string prefix = "downloadinfra_log_")
        : folder_(std::move(folder)), prefix_(std::move(prefix)) {
        configureLog(prefix_, folder_);
        LogSettings::instance().clock = fixedTime;
    }
    ~LogCapture() {
        configureLog("", "");
        LogSettings::instance().clock = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::string file() const { return folder_ + "\\" + prefix_ + "20261206.log"; }

    // The day's lines without their time stamp.
    std::vector<std::string> messages() const { return readMessages(file()); }

    // The lines of a log file of the fixed day without their time stamp; a line that lacks
    // the expected stamp is kept whole so the comparison shows it.
    static std::vector<std::string> readMessages(const std::string &file) {
        std::string bytes;
        std::vector<std::string> out;
        if (!qvtest::readFile(file, bytes))
            return out;
        const std::string stamp = "[2026/12/06 - 9:5:7:42] ";
        std::size_t begin = 0;
        while (begin < bytes.size()) {
            std::size_t end = bytes.find("\r\n", begin);
            if (end == std::string::npos)
                end = bytes.size();
            std::string line = bytes.substr(begin, end - begin);
            out.push_back(line.compare(0, stamp.size(), stamp) == 0 ? line.substr(stamp.size()) : line);
            begin = end + 2;
        }
        return out;
    }

  private:
    std::string folder_;
    std::string prefix_;
};

// Another process holding a file open until destruction: without sharing (locked), or letting
// others read and write it but not delete it.
class FileLock {
  public:
    enum Mode { kLocked, kNoDelete };
    explicit FileLock(const std::string &path, Mode mode = kLocked) {
        const std::string event = "qvjournal_lock_" + std::to_string(GetCurrentProcessId()) + "_" +
                                  std::to_string(reinterpret_cast<std::uintptr_t>(this));
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        held_ = process_.start("\"" + qvtest::binPath("qv_file_holder.exe") + "\" \"" + path + "\" " + event +
                               (mode == kNoDelete ? " nodelete" : "")) &&
                WaitForSingleObject(ready, 20000) == WAIT_OBJECT_0;
        CloseHandle(ready);
    }
    ~FileLock() {
        process_.kill();
        process_.wait(20000);
    }
    bool held() const { return held_; }

  private:
    qvtest::ChildProcess process_;
    bool held_ = false;
};

// INSTDIR83 as the test chooses it, without the registry.
class FixedInstallReader : public ParameterReader {
  public:
    explicit FixedInstallReader(std::string installFolder) : installFolder_(std::move(installFolder)) {}
    std::string readValue(const std::string &subkey, const std::string &valueName) const override {
        return subkey == "Site" && valueName == "INSTDIR83" ? installFolder_ : std::string();
    }

  private:
    std::string installFolder_;
};

inline std::string joinLines(const std::vector<std::string> &lines) {
    std::string s;
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

} // namespace qvjournal
