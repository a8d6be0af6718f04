#include "RuntimeWords.h"

#include <windows.h>

namespace runtimeWords {
namespace file {
namespace {

// Windows 95/98/ME know no appending access: there the turn keeps the seek and the write
// together within the process (another process's write in between can still be overwritten).
// Asked each time rather than kept in a guarded static: the guard is a lock.
bool appendAccess() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    return !GetVersionExA(&v) || v.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS;
}

} // namespace

std::intptr_t open(const char *path) {
    // FILE_APPEND_DATA alone: the system puts every write at the end, atomically, even against
    // the Java side's own stream and other processes.
    const DWORD access = appendAccess() ? FILE_APPEND_DATA : GENERIC_WRITE;
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<std::intptr_t>(h);
}

void append(std::intptr_t handle, const char *data, std::size_t size) {
    if (handle == kClosed || size == 0)
        return;
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    if (!appendAccess())
        SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
}

void close(std::intptr_t handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

unsigned long currentThread() {
    return GetCurrentThreadId();
}

unsigned long tickMs() {
    return GetTickCount();
}

void yield(bool longer) {
    Sleep(longer ? 1 : 0);
}

} // namespace file
} // namespace runtimeWords
