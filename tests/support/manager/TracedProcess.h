// Runs a program with the test as its debugger, so that its OutputDebugStringA lines can be
// read as they come (Wine delivers them as OUTPUT_DEBUG_STRING_EVENT, like Windows does).
// The debugger loop has to run on the thread that created the process: it has its own.
// Under emulation no debugger can attach (QV_TRACE_MONITOR): the lines are then read as a
// system debug monitor reads them, from the DBWIN_BUFFER section that OutputDebugStringA fills
// when the process has no debugger.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

class TracedProcess {
  public:
    TracedProcess() = default;
    ~TracedProcess(); // ends a process still running
    TracedProcess(const TracedProcess &) = delete;
    TracedProcess &operator=(const TracedProcess &) = delete;

    // Starts `commandLine` (the program path quoted by the caller) under the debugger.
    bool start(const std::string &commandLine);

    // The trace so far, one entry per OutputDebugStringA call, "\r\n" removed.
    std::vector<std::string> lines() const;
    std::size_t count(const std::string &line) const;
    // Waits until `line` has been seen `times` times.
    bool waitForLine(const std::string &line, DWORD timeoutMs, std::size_t times = 1) const;
    // Position of the n-th (0-based) occurrence of `line` in the trace, -1 when absent.
    long indexOf(const std::string &line, std::size_t nth = 0) const;
    std::string joined() const;

    bool wait(DWORD timeoutMs, DWORD *exitCode = nullptr);
    bool running() const;
    void kill();
    DWORD id() const { return pid_; }

  private:
    friend class DebugMonitor;
    void debugLoop(std::string commandLine);
    bool startMonitored(const std::string &commandLine);
    void waitLoop();
    void addLine(std::string text);

    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool startDone_ = false;
    bool started_ = false;
    bool exited_ = false;
    DWORD exitCode_ = 0;
    DWORD pid_ = 0;
    HANDLE process_ = nullptr;
};

} // namespace qvtest
