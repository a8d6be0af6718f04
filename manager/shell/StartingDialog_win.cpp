#include "StartingDialog.h"

#include "AboutDialog.h"
#include "DebugTrace.h"
#include "JavaExitHooks.h"
#include "JournalRestore.h"
#include "RuntimeWords.h"
#include "StatusTable.h"
#include "res/resource.h"

#include <shellapi.h>

#include <chrono>

namespace {
constexpr UINT kTrayCallback = WM_USER;
constexpr UINT_PTR kStatusTimer = 0;
constexpr UINT kStatusPeriodMs = 1000;
constexpr DWORD kEndPauseMs = 1000;
constexpr UINT kStopItemPosition = 1;
// What the wait in pumpUntilStopped wakes for. Not QS_ALLINPUT: the headers put QS_RAWINPUT
// in it, which Windows 98/ME and 2000 refuse, and the wait then fails at once every time.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT |
                            QS_HOTKEY | QS_SENDMESSAGE;
constexpr DWORD kFailedWaitMs = 50;
constexpr const char *kCaption = "Quorvel"; // no blank: a second start must never find a box
DWORD boundMs(const ServiceController &controller) {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  ServiceController::destroyBound(controller.parameters().stopTimeout))
                                  .count());
}
} // namespace

StartingDialog::StartingDialog(UINT taskbarCreated)
    : ModalDialog(IDD_STARTING), icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      taskbarCreated_(taskbarCreated) {}

StartingDialog::~StartingDialog() = default;

BOOL StartingDialog::onInitDialog() {
    HWND dlg = hwnd();
    progress_.attach(GetDlgItem(dlg, IDC_PROGRESS));

    char about[256] = "";
    if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about) > 0) {
        if (HMENU sys = GetSystemMenu(dlg, FALSE)) {
            AppendMenuA(sys, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(sys, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessageA(dlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    tray_.setOwner(dlg, kTrayCallback);
    tray_.showIcon(IDI_TRAY_STOPPED);
    tray_.setMenuId(IDR_TRAYMENU);
    tray_.setIconAndTip(tray_.icon(), kTrayTip);

    if (!runJournalRecovery()) {
        // Ends through WM_CLOSE; `started` is false, so no stop sequence runs.
        PostMessageA(dlg, WM_COMMAND, ID_APP_EXIT, 0);
        return TRUE;
    }
    controller_.preparar();
    if (!controller_.javaStarted()) {
        reportFailure(controller_.failureText());
        return TRUE;
    }
    SetTimer(dlg, kStatusTimer, kStatusPeriodMs, nullptr);
    controller_.resumeStart();
    return TRUE;
}

bool StartingDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    // Between the teardown at the end of the session and the end of the process, a tick or a
    // command already queued must not reach the controller.
    if (tearingDown_ && (message == WM_TIMER || message == WM_COMMAND))
        return true;
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        tray_.handleTaskbarCreated(wParam, lParam);
        return false;
    }
    switch (message) {
    case kTrayCallback:
        tray_.handleNotify(wParam, lParam);
        result = 0;
        return true;
    case WM_TIMER:
        pollStatus();
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSER:
            openBrowser();
            return true;
        case IDC_MINIMIZE:
            ShowWindow(hwnd(), SW_HIDE);
            return true;
        case IDC_STOP:
        case ID_TRAY_STOP:
            stopSequence();
            return true;
        case ID_TRAY_START:
            if (closing_)
                return true; // the user asked to close; the stop is on its way
            controller_.resumeStart();
            ShowWindow(hwnd(), SW_SHOW);
            return true;
        case ID_TRAY_ABOUT:
            runAbout();
            return true;
        default:
            return false;
        }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            runAbout();
            return true;
        }
        return false;
    case WM_RBUTTONDBLCLK:
        // A second start of the program asks for the dialog this way. Not while the failure's
        // box shows: the dialog would show a start that never comes.
        if (!failed_)
            ShowWindow(hwnd(), SW_SHOW);
        return false;
    case WM_PAINT:
        return paintMinimised();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_QUERYENDSESSION:
        // Never in the way of a shutdown or log-off: the stop runs at WM_ENDSESSION.
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam)
            endSession();
        result = 0;
        return true;
    default:
        return false;
    }
}

void StartingDialog::onCancel() {
    ShowWindow(hwnd(), SW_HIDE);
}

void StartingDialog::onClose() {
    if (sessionEnding_ || closing_ || tearingDown_)
        return; // already on its way out, within the destroy bound
    if (started_) {
        stopSequence();
        finish(true);
        return;
    }
    if (controller_.shutDownIfNoMainBegun()) {
        endDialog(IDCANCEL);
        return;
    }
    // The application is coming up: the destruction of the machine would wait for its threads,
    // which nobody stopped, with no window left. It is stopped first, with the window shown.
    closing_ = true;
    closeBegan_ = GetTickCount();
    stopSequence();
}

void StartingDialog::reportFailure(std::string text) {
    failed_ = true;
    if (text.empty())
        text = javaExit::kCreateRefused;
    debugTrace("%s", text.c_str());
    runtimeWords::setFile(controller_.parameters().log.stdError);
    runtimeWords::appendStamped(text.c_str());
    // No owner: the dialog is hidden and would hide the box's taskbar button with it.
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    tray_.showIcon(0);
    endDialog(IDCANCEL); // from the initialisation: the dialog never shows
}

void StartingDialog::pollStatus() {
    if (tearingDown_)
        return;
    int status = controller_.queryStatus();
    debugTrace("status: %d", status);
    StatusReaction r = reactToStatus(status, started_);
    if (r.position != StatusReaction::kUnchanged)
        progress_.setPos(r.position);
    if (r.icon)
        tray_.showIcon(r.icon);
    // The shell's answer may have let WM_ENDSESSION in, and its teardown has run.
    if (tearingDown_)
        return;
    if (r.announce) {
        SetDlgItemTextA(hwnd(), IDC_STATUS_TEXT, "O Quorvel foi iniciado.");
        EnableWindow(GetDlgItem(hwnd(), IDC_BROWSER), TRUE);
    }
    started_ = r.started;
    if (r.end) {
        stopAnswered_ = true;
        Sleep(kEndPauseMs);
        if (!sessionEnding_) // the session's end tears down once its wait returns
            finish(true);
        return;
    }
    if (closing_ && !sessionEnding_ && GetTickCount() - closeBegan_ >= boundMs(controller_))
        finish(false);
}

void StartingDialog::finish(bool stopAnswered) {
    if (tearingDown_)
        return;
    tearingDown_ = true;
    controller_.boundTeardown();
    ShowWindow(hwnd(), SW_HIDE);
    tray_.showIcon(0); // the shell's answer may let WM_ENDSESSION in: it then does the rest
    if (!javaGone_) {
        // A stop pass that ran out the whole bound without an answer has had its time.
        controller_.shutdown(stopAnswered);
        javaGone_ = true;
    }
    endDialog(IDABORT);
}

// Without this the system would end the process with the application server and its database
// in the middle of their work, every evening the PC is shut down. Windows waits for the
// handler; the status timer keeps polling inside the wait, as it does after "Encerrar".
void StartingDialog::endSession() {
    if (javaGone_ || !controller_.javaStarted())
        return;
    if (tearingDown_) {
        // Came in while finish() removed the icon: the system ends the process once this
        // returns, so the teardown is done here.
        controller_.shutdown(stopAnswered_);
        javaGone_ = true;
        return;
    }
    if (sessionEnding_)
        return;
    sessionEnding_ = true;
    debugTrace("Fim da sessão do Windows: o Quorvel será encerrado.");
    const DWORD began = GetTickCount();
    stopSequence();
    pumpUntilStopped(boundMs(controller_));
    const unsigned long took = GetTickCount() - began;
    if (stopAnswered_)
        debugTrace("Fim da sessão do Windows: o Quorvel parou em %lu ms.", took);
    else
        debugTrace("Fim da sessão do Windows: o Quorvel não parou em %lu ms; a máquina virtual Java será "
                   "destruída.",
                   took);
    finish(stopAnswered_);
}

void StartingDialog::pumpUntilStopped(DWORD boundMs) {
    const DWORD began = GetTickCount();
    for (;;) {
        MSG msg;
        while (!stopAnswered_ && !javaGone_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the modal loop, afterwards
                return;
            }
            if (!IsDialogMessageA(hwnd(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        const DWORD spent = GetTickCount() - began;
        if (stopAnswered_ || javaGone_ || spent >= boundMs)
            return;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, boundMs - spent, kWakeMask) == WAIT_FAILED)
            Sleep(kFailedWaitMs); // not a busy loop, whatever the system makes of the mask
    }
}

void StartingDialog::openBrowser() {
    ShellExecuteA(nullptr, "open", controller_.parameters().siteUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    tray_.setDefaultItem(kStopItemPosition);
    ShowWindow(hwnd(), SW_HIDE);
}

void StartingDialog::stopSequence() {
    SetDlgItemTextA(hwnd(), IDC_STATUS_TEXT, "O Quorvel está sendo encerrado...");
    ShowWindow(hwnd(), SW_SHOW);
    progress_.setPos(0);
    tray_.showIcon(IDI_TRAY_STOPPED);
    debugTrace("encerrar");
    controller_.resumeStop();
}

void StartingDialog::runAbout() {
    AboutDialog about;
    about.doModal(hwnd());
}

bool StartingDialog::paintMinimised() {
    if (!IsIconic(hwnd()))
        return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rc;
    GetClientRect(hwnd(), &rc);
    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (rc.right - rc.left - cx + 1) / 2, (rc.bottom - rc.top - cy + 1) / 2, icon_);
    EndPaint(hwnd(), &ps);
    return true;
}
