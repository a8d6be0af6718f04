#include "TeardownWatchdog.h"

#include <chrono>

TeardownWatchdog::TeardownWatchdog(unsigned boundMs, std::function<void()> onExpiry) {
    thread_ = std::thread([this, boundMs, onExpiry = std::move(onExpiry)] {
        std::unique_lock<std::mutex> lock(m_);
        if (cv_.wait_for(lock, std::chrono::milliseconds(boundMs), [this] { return done_; }))
            return;
        expired_ = true;
        lock.unlock();
        onExpiry();
    });
}

TeardownWatchdog::~TeardownWatchdog() {
    disarm();
    if (thread_.joinable())
        thread_.join();
}

void TeardownWatchdog::disarm() {
    {
        std::lock_guard<std::mutex> lock(m_);
        done_ = true;
    }
    cv_.notify_all();
}

bool TeardownWatchdog::expired() const {
    std::lock_guard<std::mutex> lock(m_);
    return expired_;
}
