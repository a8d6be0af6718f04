#include "Sync.h"

#include <windows.h>

struct Mutex::Impl {
    CRITICAL_SECTION cs;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {
    InitializeCriticalSection(&impl_->cs);
}

Mutex::~Mutex() {
    DeleteCriticalSection(&impl_->cs);
}

void Mutex::lock() {
    EnterCriticalSection(&impl_->cs);
}

void Mutex::unlock() {
    LeaveCriticalSection(&impl_->cs);
}

struct Event::Impl {
    HANDLE h = nullptr;
};

Event::Event(bool initiallySet) : impl_(std::make_unique<Impl>()) {
    impl_->h = CreateEventA(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
}

Event::~Event() {
    if (impl_->h)
        CloseHandle(impl_->h);
}

void Event::set() {
    SetEvent(impl_->h);
}

void Event::reset() {
    ResetEvent(impl_->h);
}

bool Event::wait(std::chrono::milliseconds timeout) {
    auto ms = timeout.count() < 0 ? 0 : timeout.count();
    DWORD t = ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    return WaitForSingleObject(impl_->h, t) == WAIT_OBJECT_0;
}

void sleepFor(std::chrono::milliseconds duration) {
    auto ms = duration.count() < 0 ? 0 : duration.count();
    Sleep(static_cast<DWORD>(ms));
}
