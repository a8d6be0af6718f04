// Bounds a tear-down that may never return: destroying the Java virtual machine waits for
// every non-daemon Java thread, and a frame that was hidden but not disposed keeps one alive
// for ever. A window on screen means the program is still at work (a dialog without a visible
// owner frame is no frame to the monitor class, which reported its end anyway), so the bound
// only counts once the process has shown no window for a whole quiet period; a window that
// shows starts the quiet period over. When the bound runs out, `onExpiry` runs on the
// watchdog's own thread (the launcher then ends its process).
#pragma once

#include "SuspendedThread.h"
#include "Sync.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

// The watchdog's decision, apart from its thread and the windows it looks at.
class TeardownClock {
  public:
    using Ms = std::chrono::milliseconds;
    TeardownClock(Ms quiet, Ms bound) : quiet_(quiet), bound_(bound) {}
    // One look at the process's windows, `now` counted from the start of the tear-down. True
    // once the process has shown no window for the quiet period and then for the bound.
    bool expired(Ms now, bool windowShown);

  private:
    Ms quiet_, bound_;
    Ms quietSince_{0};
};

struct TeardownTiming {
    unsigned quietMs;
    unsigned boundMs;
    unsigned checkMs; // how often the windows are looked at
};

class TeardownWatchdog {
  public:
    // `windowShown` tells whether the process shows a window other than its splash.
    TeardownWatchdog(TeardownTiming timing, std::function<bool()> windowShown,
                     std::function<void()> onExpiry);
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
