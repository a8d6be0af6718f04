#include "ManagerApp.h"

#include "StartingDialog.h"

#include <commctrl.h>
#include <windows.h>

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

    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    StartingDialog dialog(taskbarCreated);
    dialog.doModal();
    exitCode_ = dialog.exitCode();
    return false;
}
