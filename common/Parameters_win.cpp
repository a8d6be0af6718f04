#include "Parameters.h"

#include "Handles.h"
#include "ParametersRegistry.h"
#include "RegistryData.h"

#include <vector>

namespace {
constexpr DWORD kTextBuffer = 10240;
constexpr DWORD kListBuffer = 20480;

RegKey openSubkey(HKEY parent, const char *name) {
    HKEY key = nullptr;
    if (!parent || RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}
} // namespace

std::string readText(HKEY key, const char *valueName) {
    if (!key)
        return {};
    std::vector<char> buffer(kTextBuffer, '\0');
    DWORD size = kTextBuffer;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    // The last byte of the buffer is never text: at most 10239 characters.
    std::size_t n = size < kTextBuffer ? size : kTextBuffer - 1;
    return textFromRegistryData(buffer.data(), n);
}

std::vector<std::string> readList(HKEY key, const char *valueName) {
    if (!key)
        return {};
    std::vector<char> buffer(kListBuffer, '\0');
    DWORD size = kListBuffer;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    return listFromRegistryData(buffer.data(), size < kListBuffer ? size : kListBuffer);
}

int32_t readNumber(HKEY key, const char *valueName) {
    int32_t result = 0;
    if (!key)
        return result;
    int32_t value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size) ==
        ERROR_SUCCESS)
        result = value;
    return result;
}

void Parameters::load() {
    RegKey root = openSubkey(HKEY_LOCAL_MACHINE, kParametersKey);
    {
        RegKey k = openSubkey(root.get(), "Java");
        java.javaHome = readText(k.get(), "JavaHome");
        java.jvm = readText(k.get(), "Jvm");
        java.options = readList(k.get(), "Options");
        java.classpath = readText(k.get(), "Classpath");
        java.jvmMs = readNumber(k.get(), "JvmMs");
        java.jvmMx = readNumber(k.get(), "JvmMx");
        java.jvmSs = readNumber(k.get(), "JvmSs");
    }
    {
        RegKey k = openSubkey(root.get(), "Log");
        log.path = readText(k.get(), "Path");
        log.stdError = readText(k.get(), "StdError");
        log.stdOutput = readText(k.get(), "StdOutput");
        log.level = readText(k.get(), "Level");
    }
    {
        RegKey k = openSubkey(root.get(), "Start");
        start.className = readText(k.get(), "Class");
        start.mode = readText(k.get(), "Mode");
        start.params = readList(k.get(), "Params");
    }
    {
        RegKey k = openSubkey(root.get(), "Stop");
        stop.className = readText(k.get(), "Class");
        stop.mode = readText(k.get(), "Mode");
        stop.params = readList(k.get(), "Params");
        stopTimeout = readNumber(k.get(), "Timeout");
    }
    {
        RegKey k = openSubkey(root.get(), "Site");
        siteUrl = readText(k.get(), "URL");
    }
}
