#include "ManagerApp.h"

#include "CTrayIcon.h"
#include "Handles.h"
#include "JavaExitHooks.h"
#include "StartingDialog.h"

#include <commctrl.h>
#include <windows.h>

#include <chrono>
#include <cstring>

namespace {

// Held by the running manager's window thread for its whole life, so that its end (the
// process's) releases it. No backslash: Windows 98/ME refuse one in an object name.
constexpr const char *kInstanceMutex = "QuorvelGerenciador";
// Held by the one start that waits for a closing manager: the others are shown that one.
constexpr const char *kSuccessorMutex = "QuorvelGerenciadorSeguinte";
// How long a running manager has to answer; one that does not is hung.
constexpr UINT kAnswerMs = 10000;
// A manager in its first or last moments has no window to ask: asked again shortly.
constexpr DWORD kAskAgainMs = 200;
constexpr DWORD kAskBoundMs = 15000;
// The closing manager's stop, then its teardown, each within the destroy bound.
constexpr DWORD kWaitMarginMs = 30000;
constexpr const char *kCaption = "Quorvel";
constexpr const char *kNotAnswering =
    "O Quorvel já está aberto, mas não está respondendo. Tente abri-lo novamente em alguns instantes.";

void showRefusal(const char *text) {
    // No owner: the dialog's thread is the one inside the creation, and it is hidden then.
    MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

bool own(HANDLE mutex) {
    const DWORD r = WaitForSingleObject(mutex, 0);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

enum class Running { None, Shown, Closing, Hung };

struct Asked {
    Running answer = Running::None;
};

// Every window titled as a manager is asked: a closing manager and the start that waits for
// it both carry the title, and the one that is shown wins.
BOOL CALLBACK askOne(HWND window, LPARAM param) {
    char title[16] = "";
    if (GetWindowTextA(window, title, sizeof title) <= 0 || std::strcmp(title, kManagerWindowTitle) != 0)
        return TRUE;
    auto *asked = reinterpret_cast<Asked *>(param);
    DWORD_PTR reply = 0;
    Running r;
    if (!SendMessageTimeoutA(window, WM_RBUTTONDBLCLK, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &reply))
        r = Running::Hung;
    else
        r = reply == static_cast<DWORD_PTR>(kSecondStartClosing) ? Running::Closing : Running::Shown;
    if (r == Running::Shown || asked->answer == Running::None ||
        (r == Running::Closing && asked->answer == Running::Hung))
        asked->answer = r;
    return asked->answer == Running::Shown ? FALSE : TRUE;
}

Running askRunning() {
    Asked asked;
    EnumWindows(&askOne, reinterpret_cast<LPARAM>(&asked));
    return asked.answer;
}

DWORD waitBoundMs() {
    Parameters parameters;
    ServiceController::registryParameters()(parameters);
    const auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(
        ServiceController::destroyBound(parameters.stopTimeout));
    return static_cast<DWORD>(2 * bound.count()) + kWaitMarginMs;
}

} // namespace

bool ManagerApp::initInstance() {
    // The progress bar of the starting dialog is a common control.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    // Both live until the process ends: the system releases what this thread holds then.
    static Handle instance(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    static Handle successor(CreateMutexA(nullptr, FALSE, kSuccessorMutex));
    bool waitForPrevious = false;
    const DWORD began = GetTickCount();
    while (!own(instance.get())) {
        switch (askRunning()) {
        case Running::Shown:
            return false; // that manager has shown itself
        case Running::Hung:
            showRefusal(kNotAnswering);
            exitCode_ = 1;
            return false;
        case Running::Closing:
            waitForPrevious = own(successor.get());
            break;
        case Running::None:
            break;
        }
        if (waitForPrevious)
            break;
        if (GetTickCount() - began >= kAskBoundMs) {
            showRefusal(kNotAnswering);
            exitCode_ = 1;
            return false;
        }
        Sleep(kAskAgainMs);
    }
    // Registers the "RICHEDIT" window class of the About box's credits.
    LoadLibraryA("RICHED32.DLL");

    // A Java side that ends the process must still take the icon with it and tell why.
    javaExit::setWindowSide({&StartingDialog::javaEnding, &showRefusal});

    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    if (waitForPrevious) {
        // Shown at once with the closing text; goes on with a normal start once the closing
        // manager has ended, and lets a later close have a successor of its own.
        StartingDialog dialog(
            taskbarCreated,
            [] {
                if (!own(instance.get()))
                    return false;
                ReleaseMutex(successor.get());
                return true;
            },
            waitBoundMs());
        dialog.doModal();
        exitCode_ = dialog.exitCode();
        return false;
    }
    StartingDialog dialog(taskbarCreated);
    dialog.doModal();
    exitCode_ = dialog.exitCode();
    return false;
}
