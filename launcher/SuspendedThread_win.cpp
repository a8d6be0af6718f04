#include "SuspendedThread.h"

#include <windows.h>

#include <process.h>

struct SuspendedThread::Impl {
    HANDLE handle = nullptr;
    unsigned id = 0;
    std::function<void()> body;
};

namespace {
unsigned __stdcall trampoline(void *arg) {
    // The thread keeps its Impl alive for as long as it runs (or stays suspended).
    auto *self = static_cast<std::shared_ptr<SuspendedThread::Impl> *>(arg);
    std::shared_ptr<SuspendedThread::Impl> impl = *self;
    delete self;
    impl->body();
    return 0;
}
} // namespace

SuspendedThread::SuspendedThread() = default;

SuspendedThread::~SuspendedThread() {
    if (impl_ && impl_->handle) {
        CloseHandle(impl_->handle);
        impl_->handle = nullptr;
    }
}

bool SuspendedThread::create(unsigned stackSize, std::function<void()> body) {
    auto impl = std::make_shared<Impl>();
    impl->body = std::move(body);
    auto *arg = new std::shared_ptr<Impl>(impl);
    uintptr_t h = _beginthreadex(nullptr, stackSize, trampoline, arg, CREATE_SUSPENDED, &impl->id);
    if (!h) {
        delete arg;
        return false;
    }
    impl->handle = reinterpret_cast<HANDLE>(h);
    impl_ = impl;
    return true;
}

bool SuspendedThread::resume() {
    return impl_ && impl_->handle && ResumeThread(impl_->handle) != (DWORD)-1;
}

void SuspendedThread::suspendSelf() {
    // The handle may already be closed by the owner; the pseudo-handle of the current thread
    // cannot be, and suspends the same thread.
    SuspendThread(GetCurrentThread());
}

bool SuspendedThread::created() const {
    return impl_ && impl_->handle;
}

void sleepMs(unsigned ms) {
    Sleep(ms);
}

std::uint32_t tickMs() {
    return GetTickCount();
}
