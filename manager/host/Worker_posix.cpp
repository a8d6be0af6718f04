#include "Worker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct Worker::Impl {
    std::mutex mutex;
    std::condition_variable cv;
    int suspendCount = 1; // created suspended
    bool exiting = false;
    bool ended = false;
    bool created = false;
    std::thread thread;
};

Worker::Worker() : impl_(std::make_shared<Impl>()) {}

Worker::~Worker() {
    if (impl_->thread.joinable())
        impl_->thread.detach(); // it holds its own reference to impl_
}

bool Worker::create(std::function<void()> routine, unsigned) {
    if (impl_->created)
        return false;
    impl_->created = true;
    std::shared_ptr<Impl> impl = impl_;
    impl_->thread = std::thread([impl, routine = std::move(routine)]() mutable {
        {
            std::unique_lock<std::mutex> lock(impl->mutex);
            impl->cv.wait(lock, [&] { return impl->suspendCount == 0 || impl->exiting; });
        }
        {
            auto run = std::move(routine);
            run();
        } // what the routine holds is released before the end is announced
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->ended = true;
        impl->cv.notify_all();
    });
    return true;
}

bool Worker::created() const {
    return impl_->created;
}

bool Worker::resume() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    bool wasSuspended = impl_->suspendCount > 0;
    if (wasSuspended)
        --impl_->suspendCount;
    impl_->cv.notify_all();
    return wasSuspended;
}

void Worker::suspendSelf() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    if (impl_->exiting)
        return;
    ++impl_->suspendCount;
    impl_->cv.wait(lock, [&] { return impl_->suspendCount == 0 || impl_->exiting; });
}

bool Worker::finish(unsigned timeoutMs) {
    if (!impl_->thread.joinable())
        return true;
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->exiting = true;
    impl_->suspendCount = 0;
    impl_->cv.notify_all();
    bool ended = impl_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return impl_->ended; });
    lock.unlock();
    if (ended)
        impl_->thread.join();
    else
        impl_->thread.detach();
    return ended;
}
