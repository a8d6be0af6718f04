#include "Launcher.h"

namespace {
struct Search {
    DWORD process;
    HWND except;
    bool found;
};

BOOL CALLBACK visitTopLevel(HWND hwnd, LPARAM param) {
    Search &search = *reinterpret_cast<Search *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search.process && hwnd != search.except && IsWindowVisible(hwnd)) {
        search.found = true;
        return FALSE;
    }
    return TRUE;
}
} // namespace

// EnumWindows sends no messages, so a window thread that is stuck cannot hold the watchdog.
bool processShowsWindow(HWND except) {
    Search search{GetCurrentProcessId(), except, false};
    EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
