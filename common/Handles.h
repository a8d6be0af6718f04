// Small RAII owners for Win32 handles. NULL and INVALID_HANDLE_VALUE are both "no handle".
#pragma once

#include <windows.h>

#include <utility>

template <typename H, typename Closer>
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(H h) : h_(h) {}
    ~ScopedHandle() { close(); }
    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;
    ScopedHandle(ScopedHandle &&o) noexcept : h_(std::exchange(o.h_, H{})) {}
    ScopedHandle &operator=(ScopedHandle &&o) noexcept {
        if (this != &o) {
            close();
            h_ = std::exchange(o.h_, H{});
        }
        return *this;
    }

    bool valid() const { return h_ != H{} && h_ != invalid(); }
    explicit operator bool() const { return valid(); }
    H get() const { return h_; }
    H release() { return std::exchange(h_, H{}); }
    void reset(H h = H{}) {
        close();
        h_ = h;
    }
    void close() {
        if (valid())
            Closer{}(h_);
        h_ = H{};
    }

private:
    static H invalid() {
        if constexpr (std::is_same_v<H, HANDLE>)
            return INVALID_HANDLE_VALUE;
        else
            return H{};
    }
    H h_{};
};

struct CloseHandleCloser {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct RegCloseKeyCloser {
    void operator()(HKEY h) const { ::RegCloseKey(h); }
};
struct FreeLibraryCloser {
    void operator()(HMODULE h) const { ::FreeLibrary(h); }
};
struct FindCloseCloser {
    void operator()(HANDLE h) const { ::FindClose(h); }
};

using Handle = ScopedHandle<HANDLE, CloseHandleCloser>;
using RegKey = ScopedHandle<HKEY, RegCloseKeyCloser>;
using Module = ScopedHandle<HMODULE, FreeLibraryCloser>;
using FindHandle = ScopedHandle<HANDLE, FindCloseCloser>;
