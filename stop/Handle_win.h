// Owns one kernel handle (process, snapshot). NULL and INVALID_HANDLE_VALUE both mean none:
// OpenProcess fails with NULL, CreateToolhelp32Snapshot with INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

namespace qvstop {

class Handle {
  public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    void close() {
        if (valid())
            CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_;
};

} // namespace qvstop
