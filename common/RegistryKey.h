// One registry key below HKEY_LOCAL_MACHINE, created or opened on demand with full access.
#pragma once

#include <windows.h>

#include <string>

class RegistryKey {
public:
    explicit RegistryKey(std::string subkeyPath);
    ~RegistryKey() { close(); }
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    // Does nothing when already open; otherwise RegCreateKeyExA, creating missing keys.
    bool open();
    // Opens when needed; success needs a REG_SZ or REG_MULTI_SZ value that fits the buffer.
    // `size` is in/out: the buffer size, then the bytes returned.
    bool query(const char *valueName, char *buffer, DWORD &size);
    void close();

    LONG lastError() const { return lastError_; }
    DWORD disposition() const { return disposition_; }
    bool isOpen() const { return open_; }

private:
    std::string subkey_;
    DWORD options_ = REG_OPTION_NON_VOLATILE;
    std::string keyClass_;
    DWORD disposition_ = 0;
    REGSAM access_ = KEY_ALL_ACCESS;
    SECURITY_ATTRIBUTES security_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HKEY key_ = nullptr;
    HKEY root_ = HKEY_LOCAL_MACHINE;
    LONG lastError_ = 0;
    bool open_ = false;
};
