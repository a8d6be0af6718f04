#include "Worker.h"

#include <windows.h>

#include <atomic>
#include <process.h>

struct Worker::Impl {
    HANDLE thread = nullptr;
    unsigned id = 0;
    std::atomic<bool> exiting{false};
};

namespace {
unsigned __stdcall trampoline(void *arg) {
    std::unique_ptr<std::function<void()>> routine(static_cast<std::function<void()> *>(arg));
    (*routine)();
    return 0; // routine (and what it holds) is released before the thread ends
}
} // namespace

Worker::Worker() : impl_(std::make_shared<Impl>()) {}

Worker::~Worker() {
    if (impl_->thread)
        CloseHandle(impl_->thread);
}

bool Worker::create(std::function<void()> routine, unsigned stackSize) {
    if (impl_->thread)
        return false;
    auto *arg = new std::function<void()>(std::move(routine));
    uintptr_t h = _beginthreadex(nullptr, stackSize, trampoline, arg, CREATE_SUSPENDED, &impl_->id);
    if (!h) {
        delete arg;
        return false;
    }
    impl_->thread = reinterpret_cast<HANDLE>(h);
    return true;
}

bool Worker::created() const {
    return impl_->thread != nullptr;
}

bool Worker::resume() {
    if (!impl_->thread)
        return false;
    DWORD previous = ResumeThread(impl_->thread);
    return previous != static_cast<DWORD>(-1) && previous > 0;
}

void Worker::suspendSelf() {
    if (!impl_->exiting)
        SuspendThread(impl_->thread);
}

bool Worker::finish(unsigned timeoutMs) {
    if (!impl_->thread)
        return true;
    impl_->exiting = true;
    DWORD start = GetTickCount();
    // The thread may test the flag just before it suspends itself: keep resuming until it ends.
    for (;;) {
        ResumeThread(impl_->thread);
        DWORD elapsed = GetTickCount() - start;
        DWORD slice = elapsed >= timeoutMs ? 0 : (timeoutMs - elapsed < 20 ? timeoutMs - elapsed : 20);
        if (WaitForSingleObject(impl_->thread, slice) == WAIT_OBJECT_0)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
}
