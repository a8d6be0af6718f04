#include "Sync.h"

#include <condition_variable>
#include <mutex>
#include <thread>

struct Mutex::Impl {
    std::mutex m;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;

void Mutex::lock() {
    impl_->m.lock();
}

void Mutex::unlock() {
    impl_->m.unlock();
}

struct Event::Impl {
    std::mutex m;
    std::condition_variable cv;
    bool set = false;
};

Event::Event(bool initiallySet) : impl_(std::make_unique<Impl>()) {
    impl_->set = initiallySet;
}

Event::~Event() = default;

void Event::set() {
    std::lock_guard<std::mutex> lock(impl_->m);
    impl_->set = true;
    impl_->cv.notify_all();
}

void Event::reset() {
    std::lock_guard<std::mutex> lock(impl_->m);
    impl_->set = false;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(impl_->m);
    return impl_->cv.wait_for(lock, timeout, [&] { return impl_->set; });
}

void sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}
