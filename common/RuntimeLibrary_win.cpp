#include "RuntimeLibrary.h"

#include <windows.h>

bool RuntimeLibrary::load(const std::string &path) {
    unload();
    // SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX; deliberately left in force afterwards.
    SetErrorMode(0x8001);
    handle_ = LoadLibraryExA(path.c_str(), nullptr, 0);
    loadError_.clear();
    if (!handle_) {
        const DWORD error = GetLastError();
        char text[512] = "";
        // A fixed buffer: FORMAT_MESSAGE_ALLOCATE_BUFFER would need LocalFree for no gain.
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                 0, text, sizeof text, nullptr);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' '))
            --n;
        loadError_.assign(text, n);
    }
    return handle_ != nullptr;
}

void RuntimeLibrary::unload() {
    if (handle_) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

void *RuntimeLibrary::symbol(const char *name) const {
    if (!handle_)
        return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
