#include "RuntimeWords.h"

#include <windows.h>

namespace runtimeWords {

AppendFile::AppendFile(const char *path)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileA(path, GENERIC_WRITE,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

AppendFile::~AppendFile() {
    if (isOpen())
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool AppendFile::isOpen() const {
    return reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE;
}

void AppendFile::write(const char *data, std::size_t size) {
    if (!isOpen() || size == 0)
        return;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    // At the end for every piece: the Java side appends to the same file.
    SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
}

} // namespace runtimeWords
