#include "TeardownWatchdog.h"

TeardownWatchdog::TeardownWatchdog(unsigned boundMs, std::function<void()> onExpiry) {
    std::shared_ptr<State> state = state_;
    const bool started = thread_.create(0, [state, boundMs, onExpiry = std::move(onExpiry)] {
        if (!state->done.wait(std::chrono::milliseconds(boundMs))) {
            state->expired = true;
            onExpiry();
        }
        state->finished.set();
    });
    if (!started || !thread_.resume())
        state_->finished.set(); // no watchdog: the tear-down runs unbounded, as it would without one
}

TeardownWatchdog::~TeardownWatchdog() {
    disarm();
    while (!state_->finished.wait(std::chrono::hours(1))) {
    }
}
