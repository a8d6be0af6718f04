// Bounds a tear-down that may never return: destroying the Java virtual machine waits for
// every non-daemon Java thread, and a frame that was hidden but not disposed keeps one alive
// for ever. When the tear-down is not over within the bound, `onExpiry` runs on the
// watchdog's own thread (the launcher then ends its process).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TeardownWatchdog {
  public:
    TeardownWatchdog(unsigned boundMs, std::function<void()> onExpiry);
    ~TeardownWatchdog(); // disarms
    TeardownWatchdog(const TeardownWatchdog &) = delete;
    TeardownWatchdog &operator=(const TeardownWatchdog &) = delete;

    // The tear-down is over: onExpiry will not run (unless it already has).
    void disarm();
    bool expired() const;

  private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    bool expired_ = false;
    std::thread thread_;
};
