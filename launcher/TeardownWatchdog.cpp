#include "TeardownWatchdog.h"

bool TeardownClock::expired(Ms now, bool windowShown) {
    if (windowShown)
        quietSince_ = now;
    return now - quietSince_ >= quiet_ + bound_;
}

TeardownWatchdog::TeardownWatchdog(TeardownTiming timing, std::function<bool()> windowShown,
                                   std::function<void()> onExpiry) {
    std::shared_ptr<State> state = state_;
    const bool started = thread_.create(
        0, [state, timing, windowShown = std::move(windowShown), onExpiry = std::move(onExpiry)] {
            using namespace std::chrono;
            TeardownClock clock(milliseconds(timing.quietMs), milliseconds(timing.boundMs));
            const std::uint32_t start = tickMs();
            for (;;) {
                const milliseconds now(static_cast<std::uint32_t>(tickMs() - start));
                if (clock.expired(now, windowShown && windowShown())) {
                    state->expired = true;
                    onExpiry();
                    break;
                }
                if (state->done.wait(milliseconds(timing.checkMs)))
                    break;
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
