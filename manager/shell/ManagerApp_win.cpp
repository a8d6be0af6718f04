#include "ManagerApp.h"

#include "CTrayIcon.h"
#include "JavaExitHooks.h"
#include "StartingDialog.h"

#include <commctrl.h>
#include <windows.h>

namespace {
void showRefusal(const char *text) {
    // No owner: the dialog's thread is the one inside the creation, and it is hidden then.
    MessageBoxA(nullptr, text, "Quorvel", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}
} // namespace

bool ManagerApp::initInstance() {
    // The progress bar of the starting dialog is a common control.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    if (HWND running = FindWindowA(nullptr, kManagerWindowTitle)) {
        // Waits until that manager has shown its dialog, then ends touching nothing else.
        SendMessageA(running, WM_RBUTTONDBLCLK, 0, 0);
        return false;
    }
    // Registers the "RICHEDIT" window class of the About box's credits.
    LoadLibraryA("RICHED32.DLL");

    // A Java side that ends the process must still take the icon with it and tell why.
    javaExit::setWindowSide({&CTrayIcon::removeShownIcon, &showRefusal});

    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    StartingDialog dialog(taskbarCreated);
    dialog.doModal();
    exitCode_ = dialog.exitCode();
    return false;
}
