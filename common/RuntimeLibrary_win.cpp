#include "RuntimeLibrary.h"

#include <windows.h>

bool RuntimeLibrary::load(const std::string &path) {
    unload();
    // SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX; deliberately left in force afterwards.
    SetErrorMode(0x8001);
    handle_ = LoadLibraryExA(path.c_str(), nullptr, 0);
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
