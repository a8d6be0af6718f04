// Bounds a tear-down that may never return: destroying the Java virtual machine waits for
// every non-daemon Java thread, and a frame that was hidden but not disposed keeps one alive
// for ever. When the tear-down is not over within the bound, `onExpiry` runs on the
// watchdog's own thread (the launcher then ends its process).
#pragma once

#include "SuspendedThread.h"
#include "Sync.h"

#include <atomic>
#include <functional>
#include <memory>

class TeardownWatchdog {
  public:
    TeardownWatchdog(unsigned boundMs, std::function<void()> onExpiry);
    ~TeardownWatchdog(); // disarms, then waits for the watchdog's thread
    TeardownWatchdog(const TeardownWatchdog &) = delete;
    TeardownWatchdog &operator=(const TeardownWatchdog &) = delete;

    // The tear-down is over: onExpiry will not run (unless it already has).
    void disarm() { state_->done.set(); }
    bool expired() const { return state_->expired; }

  private:
    // Shared with the watchdog's thread, which may still be leaving after the destructor.
    struct State {
        Event done;
        Event finished;
        std::atomic<bool> expired{false};
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    SuspendedThread thread_;
};
