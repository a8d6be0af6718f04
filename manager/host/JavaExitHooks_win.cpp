#include "JavaExitHooks.h"

#include "CTrayIcon.h"

#include <windows.h>

namespace javaExit {

void removeIcon() {
    CTrayIcon::removeShownIcon();
}

void showRefusal(const char *text) {
    // No owner: the dialog's thread is the one inside the creation, and it is hidden then.
    MessageBoxA(nullptr, text, "Quorvel", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

void endProcess(int code) {
    // Not ExitProcess: it would run the runtime library's detach code and the C runtime's
    // clean-up while other threads of the runtime are stopped holding their locks.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;)
        Sleep(INFINITE);
}

} // namespace javaExit
