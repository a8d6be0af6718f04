#include "WinTestUtil.h"

#include <cstdio>
#include <cstring>

#ifndef QV_BIN_WIN
#define QV_BIN_WIN ""
#endif

namespace qvtest {

bool pollUntil(const std::function<bool()> &condition, DWORD timeoutMs, DWORD stepMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(stepMs);
    }
}

std::string binPath(const std::string &fileName) {
    char buf[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableA("QV_BIN_WIN", buf, sizeof buf);
    std::string dir = (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string(QV_BIN_WIN);
    return dir + "\\" + fileName;
}

std::string programPath(const std::string &fileName) {
#ifdef QV_PROGRAMS_WIN
    return std::string(QV_PROGRAMS_WIN) + "\\" + fileName;
#else
    return binPath(fileName);
#endif
}

ChildProcess::~ChildProcess() {
    if (running())
        kill();
    if (pi_.hProcess)
        CloseHandle(pi_.hProcess);
    if (pi_.hThread)
        CloseHandle(pi_.hThread);
}

bool ChildProcess::start(const std::string &commandLine, const std::string &currentDir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = commandLine;
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi_) != 0;
}

bool ChildProcess::wait(DWORD timeoutMs, DWORD *exitCode) {
    if (!pi_.hProcess)
        return false;
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(pi_.hProcess, exitCode);
    return true;
}

bool ChildProcess::running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

void ChildProcess::kill() {
    if (pi_.hProcess) {
        TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
}

HWND waitForWindow(const char *title, DWORD timeoutMs, const char *className) {
    HWND found = nullptr;
    const bool shown = pollUntil(
        [&] { return (found = FindWindowA(className, title)) != nullptr && IsWindowVisible(found); },
        timeoutMs);
    return shown ? found : nullptr;
}

bool waitForNoWindow(const char *title, DWORD timeoutMs, const char *className) {
    return pollUntil([&] { return FindWindowA(className, title) == nullptr; }, timeoutMs);
}

std::string windowText(HWND hwnd) {
    char buf[4096] = {};
    // WM_GETTEXT works across processes; GetWindowTextA does not for other processes' controls.
    LRESULT n = SendMessageA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string controlText(HWND dialog, int id) {
    HWND c = GetDlgItem(dialog, id);
    return c ? windowText(c) : std::string("<no control>");
}

MessageBoxSeen waitForMessageBox(const char *caption, DWORD timeoutMs) {
    MessageBoxSeen seen;
    seen.hwnd = waitForWindow(caption, timeoutMs, "#32770");
    if (seen.hwnd)
        seen.text = controlText(seen.hwnd, 0xFFFF);
    return seen;
}

void dismissMessageBox(HWND hwnd) {
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
}

void deleteRegistryTree(HKEY root, const std::string &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (;;) {
        char name[512];
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        deleteRegistryTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

ScratchKey::ScratchKey(std::string path) : path_(std::move(path)) {
    deleteRegistryTree(HKEY_LOCAL_MACHINE, path_);
}

ScratchKey::~ScratchKey() {
    deleteRegistryTree(HKEY_LOCAL_MACHINE, path_);
}

static std::string join(const std::string &a, const std::string &b) {
    return b.empty() ? a : a + "\\" + b;
}

bool ScratchKey::createSubkey(const std::string &subkey) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, join(path_, subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ScratchKey::subkeyExists(const std::string &subkey) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, join(path_, subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ScratchKey::setRaw(const std::string &subkey, const char *name, DWORD type, const void *data,
                        DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, join(path_, subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool ScratchKey::setText(const std::string &subkey, const char *name, const std::string &value) {
    return setRaw(subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool ScratchKey::setList(const std::string &subkey, const char *name,
                         const std::vector<std::string> &values) {
    std::string data;
    for (const auto &v : values) {
        data += v;
        data.push_back('\0');
    }
    data.push_back('\0');
    return setRaw(subkey, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
}

bool ScratchKey::setNumber(const std::string &subkey, const char *name, DWORD value) {
    return setRaw(subkey, name, REG_DWORD, &value, sizeof value);
}

bool makeDirs(const std::string &path) {
    for (size_t pos = 3; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '\\') {
            std::string prefix = path.substr(0, pos);
            if (!CreateDirectoryA(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

void removeTree(const std::string &path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

ScratchDir::ScratchDir(const std::string &name) : path_("C:\\qvtest\\" + name) {
    removeTree(path_);
    makeDirs(path_);
}

ScratchDir::~ScratchDir() {
    removeTree(path_);
}

bool writeFile(const std::string &path, const std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool readFile(const std::string &path, std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    std::fclose(f);
    return true;
}

bool fileExists(const std::string &path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool dirExists(const std::string &path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

WineVersionFor::WineVersionFor(const std::string &exe, const char *version)
    : path_("Software\\Wine\\AppDefaults\\" + exe) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(version),
                   static_cast<DWORD>(strlen(version) + 1));
    RegCloseKey(key);
}

WineVersionFor::~WineVersionFor() {
    deleteRegistryTree(HKEY_CURRENT_USER, path_);
}

} // namespace qvtest
