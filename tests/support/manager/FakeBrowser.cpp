// Stand-in for the browser that the starting dialog opens: appends one line with its command
// line to %QV_FAKEBROWSER_RECORD% (or browser.record beside itself) and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("QV_FAKEBROWSER_RECORD", path, MAX_PATH);
    std::string record;
    if (n > 0 && n < MAX_PATH) {
        record = path;
    } else {
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        record = path;
        record = record.substr(0, record.find_last_of('\\') + 1) + "browser.record";
    }
    std::string line = std::string("started ") + GetCommandLineA() + "\r\n";
    HANDLE f = CreateFileA(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
    return 0;
}
