// Helpers for Windows tests under Wine: processes, windows, message boxes, registry keys,
// files and polling with deadlines. Black-box only: nothing here knows the programs' code.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qvtest {

// GetTickCount advances in steps of about 16 ms (Windows and Wine alike), so two readings around a
// Sleep(n) can differ by up to a step less than n. Waits measured with it allow two steps.
constexpr DWORD kTickSlackMs = 32;

// Polls `condition` every `stepMs` until it holds or `timeoutMs` has passed.
bool pollUntil(const std::function<bool()> &condition, DWORD timeoutMs, DWORD stepMs = 20);

// Full Windows path of a built program or helper (QV_BIN_WIN + "\\" + name).
std::string binPath(const std::string &fileName);
// Full Windows path of one of the four programs: QV_PROGRAMS_WIN when the shipped ones are under
// test, else the built ones beside the helpers.
std::string programPath(const std::string &fileName);

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess(); // ends a process still running
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts `commandLine` (the program path quoted by the caller when needed).
    bool start(const std::string &commandLine, const std::string &currentDir = {});
    // Waits for the end; true when it ended within the time, `exitCode` set.
    bool wait(DWORD timeoutMs, DWORD *exitCode = nullptr);
    bool running() const;
    void kill();
    DWORD id() const { return pi_.dwProcessId; }
    HANDLE handle() const { return pi_.hProcess; }

  private:
    PROCESS_INFORMATION pi_{};
};

// A shown top-level window by exact title (and class, when given), polled until the deadline.
// FindWindow sees a window from its creation on, before it is shown or has its controls.
HWND waitForWindow(const char *title, DWORD timeoutMs, const char *className = nullptr);
// Waits until no top-level window with that title exists.
bool waitForNoWindow(const char *title, DWORD timeoutMs, const char *className = nullptr);
std::string windowText(HWND hwnd);
std::string controlText(HWND dialog, int id);

// A message box is a #32770 window found by its caption; its text is the static with id 0xFFFF.
struct MessageBoxSeen {
    HWND hwnd = nullptr;
    std::string text;
};
MessageBoxSeen waitForMessageBox(const char *caption, DWORD timeoutMs);
void dismissMessageBox(HWND hwnd);

// A registry key below HKEY_LOCAL_MACHINE that the test owns: removed with everything below
// it on destruction (and before use, so a crashed earlier run leaves nothing behind).
class ScratchKey {
  public:
    explicit ScratchKey(std::string path);
    ~ScratchKey();
    ScratchKey(const ScratchKey &) = delete;
    ScratchKey &operator=(const ScratchKey &) = delete;

    bool setText(const std::string &subkey, const char *name, const std::string &value);
    bool setRaw(const std::string &subkey, const char *name, DWORD type, const void *data, DWORD size);
    bool setList(const std::string &subkey, const char *name, const std::vector<std::string> &values);
    bool setNumber(const std::string &subkey, const char *name, DWORD value);
    bool createSubkey(const std::string &subkey);
    bool subkeyExists(const std::string &subkey) const;
    const std::string &path() const { return path_; }

  private:
    std::string path_;
};
void deleteRegistryTree(HKEY root, const std::string &path);

// Wine answers as Windows `version` ("win98", "nt40", ...) to the program `exe` while this lives.
class WineVersionFor {
  public:
    WineVersionFor(const std::string &exe, const char *version);
    ~WineVersionFor();
    WineVersionFor(const WineVersionFor &) = delete;
    WineVersionFor &operator=(const WineVersionFor &) = delete;

  private:
    std::string path_;
};

// A scratch folder on the C: drive, removed with its contents on destruction.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string &name);
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &rel) const { return path_ + "\\" + rel; }

  private:
    std::string path_;
};

bool makeDirs(const std::string &path);
void removeTree(const std::string &path); // clears read-only attributes first
bool writeFile(const std::string &path, const std::string &bytes);
bool readFile(const std::string &path, std::string &bytes);
bool fileExists(const std::string &path);
bool dirExists(const std::string &path);

} // namespace qvtest
