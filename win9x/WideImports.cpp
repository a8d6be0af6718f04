// The compiler's runtime calls three wide-character functions of kernel32 (its thread mutexes
// are built on CreateSemaphoreW; its rand_s and code-page helpers look for msvcrt.dll and
// advapi32.dll with GetModuleHandleW and LoadLibraryW). On Windows 95/98/ME those are stubs
// that fail, and a runtime lock built on a failed semaphore does not lock. Rebuilding the
// runtime does not change that: the calls are in its sources. The runtime calls them through
// their import pointers; defining those pointers here, in an object linked before the system
// libraries, binds its calls to these "A" forms and keeps the wide ones out of the imports.
#include "WideImports.h"

namespace {

// The runtime passes only short ASCII names, or none; no heap, since the first calls come
// while the runtime starts. A name that cannot be converted (it does not fit) must not reach
// the "A" form empty, where it would mean another object (an unnamed semaphore: a lock that
// another process no longer shares), so the call fails as the wide form fails a name that is
// too long.
class Narrow {
  public:
    explicit Narrow(LPCWSTR text) : null_(text == nullptr) {
        if (!null_)
            ok_ = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer_, sizeof buffer_, nullptr, nullptr) != 0;
    }
    bool ok() const { return ok_; }
    const char *get() const { return null_ ? nullptr : buffer_; }

  private:
    bool null_;
    bool ok_ = true;
    char buffer_[MAX_PATH] = "";
};

template <typename Handle> Handle refuseName() {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
}

} // namespace

namespace qv::win9x {

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name) {
    Narrow narrow(name);
    if (!narrow.ok())
        return refuseName<HANDLE>();
    return CreateSemaphoreA(attributes, initial, maximum, narrow.get());
}

HMODULE WINAPI getModuleHandle(LPCWSTR name) {
    Narrow narrow(name);
    if (!narrow.ok())
        return refuseName<HMODULE>();
    return GetModuleHandleA(narrow.get());
}

HMODULE WINAPI loadLibrary(LPCWSTR name) {
    Narrow narrow(name);
    if (!narrow.ok())
        return refuseName<HMODULE>();
    return LoadLibraryA(narrow.get());
}

} // namespace qv::win9x

#ifndef _WIN64
// The import pointers' own names, decorated as the 32-bit import libraries spell them.
extern "C" {
extern decltype(&qv::win9x::createSemaphore) const qvCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16");
extern decltype(&qv::win9x::getModuleHandle) const qvGetModuleHandleW __asm__("__imp__GetModuleHandleW@4");
extern decltype(&qv::win9x::loadLibrary) const qvLoadLibraryW __asm__("__imp__LoadLibraryW@4");
decltype(&qv::win9x::createSemaphore) const qvCreateSemaphoreW = &qv::win9x::createSemaphore;
decltype(&qv::win9x::getModuleHandle) const qvGetModuleHandleW = &qv::win9x::getModuleHandle;
decltype(&qv::win9x::loadLibrary) const qvLoadLibraryW = &qv::win9x::loadLibrary;
}
#endif
