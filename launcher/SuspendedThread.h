// A native thread created suspended, resumed once, that may suspend itself for good.
// Win32: _beginthreadex with CREATE_SUSPENDED, ResumeThread, SuspendThread on its own handle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class SuspendedThread {
  public:
    SuspendedThread();
    ~SuspendedThread(); // never waits for the thread
    SuspendedThread(const SuspendedThread &) = delete;
    SuspendedThread &operator=(const SuspendedThread &) = delete;

    // stackSize in bytes (the platform rounds it up). False when no thread could be made.
    bool create(unsigned stackSize, std::function<void()> body);
    bool resume();
    // Called on the thread itself: stops it; nothing resumes it afterwards.
    void suspendSelf();
    bool created() const;

    struct Impl; // platform state, shared with the thread itself

  private:
    std::shared_ptr<Impl> impl_;
};

void sleepMs(unsigned ms);
// A millisecond counter that wraps (GetTickCount on Windows: a monotonic clock of the C++
// runtime would import time-zone functions the programs otherwise do without).
std::uint32_t tickMs();
