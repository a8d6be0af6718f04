#include "TracedProcess.h"

#include <chrono>
#include <cstring>
#include <map>

namespace qvtest {

// The one reader of the session's DBWIN_BUFFER, handing each line to the process it names.
// A writer waits for DBWIN_BUFFER_READY, fills the section (process id, then the text) and
// sets DBWIN_DATA_READY.
class DebugMonitor {
  public:
    static DebugMonitor &instance() {
        static DebugMonitor *monitor = new DebugMonitor; // outlives every test: never destroyed
        return *monitor;
    }

    bool ready() const { return view_ != nullptr; }

    void attach(DWORD pid, TracedProcess *process) {
        std::lock_guard<std::mutex> lock(mutex_);
        processes_[pid] = process;
    }

    void detach(DWORD pid) {
        std::lock_guard<std::mutex> lock(mutex_);
        processes_.erase(pid);
    }

    // Waits until the buffer stayed empty for a whole round after the call: a line written
    // before a process ended has then been handed on.
    void drain() {
        std::unique_lock<std::mutex> lock(mutex_);
        const unsigned long until = idleRounds_ + 2;
        idle_.wait_for(lock, std::chrono::seconds(5), [&] { return idleRounds_ >= until; });
    }

    // A process that ends (or is ended) after taking the buffer and before handing it over leaves
    // DBWIN_BUFFER_READY unset, and every later OutputDebugString of every program then waits
    // 10 s for it. Once the buffer has stayed idle for a while, set it again.
    void rearm() {
        drain();
        SetEvent(bufferReady_);
    }

  private:
    DebugMonitor() {
        bufferReady_ = CreateEventA(nullptr, FALSE, TRUE, "DBWIN_BUFFER_READY");
        dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
        section_ =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, "DBWIN_BUFFER");
        if (bufferReady_ && dataReady_ && section_)
            view_ = static_cast<const char *>(MapViewOfFile(section_, FILE_MAP_READ, 0, 0, kSize));
        if (view_)
            std::thread(&DebugMonitor::loop, this).detach();
    }

    void loop() {
        for (;;) {
            if (WaitForSingleObject(dataReady_, 50) != WAIT_OBJECT_0) {
                std::lock_guard<std::mutex> lock(mutex_);
                ++idleRounds_;
                idle_.notify_all();
                continue;
            }
            DWORD pid = 0;
            std::memcpy(&pid, view_, sizeof pid);
            std::string text(view_ + sizeof pid, strnlen(view_ + sizeof pid, kSize - sizeof pid));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = processes_.find(pid);
                if (it != processes_.end())
                    it->second->addLine(std::move(text));
            }
            SetEvent(bufferReady_);
        }
    }

    static constexpr DWORD kSize = 4096;
    HANDLE bufferReady_ = nullptr, dataReady_ = nullptr, section_ = nullptr;
    const char *view_ = nullptr;
    std::mutex mutex_;
    std::condition_variable idle_;
    unsigned long idleRounds_ = 0;
    std::map<DWORD, TracedProcess *> processes_;
};

TracedProcess::~TracedProcess() {
    if (running())
        kill();
    if (thread_.joinable())
        thread_.join();
#ifdef QV_TRACE_MONITOR
    if (pid_)
        DebugMonitor::instance().detach(pid_);
#endif
    if (process_)
        CloseHandle(process_);
}

bool TracedProcess::start(const std::string &commandLine) {
#ifdef QV_TRACE_MONITOR
    return startMonitored(commandLine);
#endif
    thread_ = std::thread(&TracedProcess::debugLoop, this, commandLine);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return startDone_; });
    return started_;
}

void TracedProcess::debugLoop(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                             nullptr, nullptr, &si, &pi);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        startDone_ = true;
        started_ = ok != 0;
        if (ok) {
            pid_ = pi.dwProcessId;
            // A handle of our own: the debug events' handles belong to the loop.
            DuplicateHandle(GetCurrentProcess(), pi.hProcess, GetCurrentProcess(), &process_, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
        }
    }
    changed_.notify_all();
    if (!ok)
        return;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    for (;;) {
        DEBUG_EVENT ev{};
        if (!WaitForDebugEvent(&ev, 200))
            continue;
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile)
                CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile)
                CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO &info = ev.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T got = 0;
            HANDLE h = OpenProcess(PROCESS_VM_READ, FALSE, ev.dwProcessId);
            if (h && !info.fUnicode &&
                ReadProcessMemory(h, info.lpDebugStringData, text.data(), text.size(), &got)) {
                text.resize(got);
                std::size_t end = text.find('\0');
                if (end != std::string::npos)
                    text.resize(end);
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                    text.pop_back();
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    lines_.push_back(text);
                }
                changed_.notify_all();
            }
            if (h)
                CloseHandle(h);
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // The program's own handlers decide, except for the loader's first breakpoint.
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT: {
            ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
            std::lock_guard<std::mutex> lock(mutex_);
            exited_ = true;
            exitCode_ = ev.u.ExitProcess.dwExitCode;
            changed_.notify_all();
            return;
        }
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
}

bool TracedProcess::startMonitored(const std::string &commandLine) {
    DebugMonitor &monitor = DebugMonitor::instance();
    if (!monitor.ready())
        return false;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    // Suspended until it is known by its id: its first line may come at once.
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                        &pi))
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        startDone_ = started_ = true;
        pid_ = pi.dwProcessId;
        process_ = pi.hProcess;
    }
    monitor.attach(pi.dwProcessId, this);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    thread_ = std::thread(&TracedProcess::waitLoop, this);
    return true;
}

void TracedProcess::waitLoop() {
    WaitForSingleObject(process_, INFINITE);
    DebugMonitor::instance().rearm();
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    std::lock_guard<std::mutex> lock(mutex_);
    exited_ = true;
    exitCode_ = code;
    changed_.notify_all();
}

void TracedProcess::addLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(std::move(text));
    }
    changed_.notify_all();
}

std::vector<std::string> TracedProcess::lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::size_t TracedProcess::count(const std::string &line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto &l : lines_)
        n += l == line;
    return n;
}

bool TracedProcess::waitForLine(const std::string &line, DWORD timeoutMs, std::size_t times) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        std::size_t n = 0;
        for (const auto &l : lines_)
            n += l == line;
        return n >= times;
    });
}

long TracedProcess::indexOf(const std::string &line, std::size_t nth) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i] == line && nth-- == 0)
            return static_cast<long>(i);
    return -1;
}

std::string TracedProcess::joined() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string s;
    for (const auto &l : lines_)
        s += l + "\n";
    return s;
}

bool TracedProcess::wait(DWORD timeoutMs, DWORD *exitCode) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_)
        return false;
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return exited_; }))
        return false;
    if (exitCode)
        *exitCode = exitCode_;
    return true;
}

bool TracedProcess::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_ && !exited_;
}

void TracedProcess::kill() {
    HANDLE h;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        h = process_;
    }
    if (h) {
        TerminateProcess(h, 99);
        wait(10000);
    }
}

} // namespace qvtest
