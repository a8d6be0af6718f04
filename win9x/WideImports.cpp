// The compiler's runtime calls three wide-character functions of kernel32 (its thread mutexes
// are built on CreateSemaphoreW; its rand_s and code-page helpers look for msvcrt.dll and
// advapi32.dll with GetModuleHandleW and LoadLibraryW). On Windows 95/98/ME those are stubs
// that fail, and a runtime lock built on a failed semaphore does not lock. The runtime calls
// them through their import pointers; defining those pointers here, in an object linked
// before the system libraries, binds its calls to these "A" forms and keeps the wide ones out
// of the programs' imports.
#include <windows.h>

namespace {

// The runtime passes only short ASCII names, or none; no heap, since the first calls come
// while the runtime starts.
class Narrow {
  public:
    explicit Narrow(LPCWSTR text) {
        if (text && !WideCharToMultiByte(CP_ACP, 0, text, -1, buffer_, sizeof buffer_, nullptr, nullptr))
            buffer_[0] = '\0';
    }
    const char *get(LPCWSTR original) const { return original ? buffer_ : nullptr; }

  private:
    char buffer_[MAX_PATH] = "";
};

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name) {
    return CreateSemaphoreA(attributes, initial, maximum, Narrow(name).get(name));
}

HMODULE WINAPI getModuleHandle(LPCWSTR name) {
    return GetModuleHandleA(Narrow(name).get(name));
}

HMODULE WINAPI loadLibrary(LPCWSTR name) {
    return LoadLibraryA(Narrow(name).get(name));
}

} // namespace

// The import pointers' own names, decorated as the 32-bit import libraries spell them.
extern "C" {
extern decltype(&createSemaphore) const qvCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16");
extern decltype(&getModuleHandle) const qvGetModuleHandleW __asm__("__imp__GetModuleHandleW@4");
extern decltype(&loadLibrary) const qvLoadLibraryW __asm__("__imp__LoadLibraryW@4");
decltype(&createSemaphore) const qvCreateSemaphoreW = &createSemaphore;
decltype(&getModuleHandle) const qvGetModuleHandleW = &getModuleHandle;
decltype(&loadLibrary) const qvLoadLibraryW = &loadLibrary;
}
