#include "SuspendedThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// POSIX threads cannot be created suspended: the thread waits on a gate until resume().
// The stack size is not applied (below PTHREAD_STACK_MIN it would be refused).
struct SuspendedThread::Impl {
    std::mutex m;
    std::condition_variable cv;
    bool resumed = false;
};

SuspendedThread::SuspendedThread() = default;
SuspendedThread::~SuspendedThread() = default;

bool SuspendedThread::create(unsigned, std::function<void()> body) {
    auto impl = std::make_shared<Impl>();
    std::thread([impl, body = std::move(body)] {
        {
            std::unique_lock<std::mutex> lock(impl->m);
            impl->cv.wait(lock, [&] { return impl->resumed; });
        }
        body();
    }).detach();
    impl_ = impl;
    return true;
}

bool SuspendedThread::resume() {
    if (!impl_)
        return false;
    {
        std::lock_guard<std::mutex> lock(impl_->m);
        impl_->resumed = true;
    }
    impl_->cv.notify_all();
    return true;
}

void SuspendedThread::suspendSelf() {
    std::mutex m;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(m);
    never.wait(lock, [] { return false; });
}

bool SuspendedThread::created() const {
    return impl_ != nullptr;
}

void sleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint32_t tickMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
