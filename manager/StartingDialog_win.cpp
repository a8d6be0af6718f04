#include "StartingDialog.h"

#include "AboutDialog.h"
#include "DebugTrace.h"
#include "JournalRestore.h"
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
    SetTimer(dlg, kStatusTimer, kStatusPeriodMs, nullptr);
    controller_.resumeStart();
    return TRUE;
}

bool StartingDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    // Between the teardown at the end of the session and the end of the process, a tick or a
    // command already queued must not reach the controller.
    if (javaGone_ && (message == WM_TIMER || message == WM_COMMAND))
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
        // A second start of the program asks for the dialog this way.
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
    if (sessionEnding_)
        return; // the end of the session ends the dialog once the Java side is down
    if (started_)
        stopSequence();
    endDialog(IDCANCEL);
}

void StartingDialog::pollStatus() {
    int status = controller_.queryStatus();
    debugTrace("status: %d", status);
    StatusReaction r = reactToStatus(status, started_);
    if (r.position != StatusReaction::kUnchanged)
        progress_.setPos(r.position);
    if (r.icon)
        tray_.showIcon(r.icon);
    if (r.announce) {
        SetDlgItemTextA(hwnd(), IDC_STATUS_TEXT, "O Quorvel foi iniciado.");
        EnableWindow(GetDlgItem(hwnd(), IDC_BROWSER), TRUE);
    }
    started_ = r.started;
    if (r.end) {
        stopAnswered_ = true;
        controller_.boundTeardown();
        Sleep(kEndPauseMs);
        endDialog(IDABORT);
    }
}

// Without this the system would end the process with the application server and its database
// in the middle of their work, every evening the PC is shut down. Windows waits for the
// handler; the status timer keeps polling inside the wait, as it does after "Encerrar".
void StartingDialog::endSession() {
    if (sessionEnding_ || javaGone_ || !controller_.javaStarted())
        return;
    sessionEnding_ = true;
    debugTrace("Fim da sessão do Windows: o Quorvel será encerrado.");
    const DWORD began = GetTickCount();
    stopSequence();
    const auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(
        ServiceController::destroyBound(controller_.parameters().stopTimeout));
    pumpUntilStopped(static_cast<DWORD>(bound.count()));
    const unsigned long took = GetTickCount() - began;
    if (stopAnswered_)
        debugTrace("Fim da sessão do Windows: o Quorvel parou em %lu ms.", took);
    else
        debugTrace("Fim da sessão do Windows: o Quorvel não parou em %lu ms; a máquina virtual Java será "
                   "destruída.",
                   took);
    controller_.boundTeardown();
    tray_.showIcon(0);
    // A stop pass that ran out the whole bound without an answer has had its time.
    controller_.shutdown(stopAnswered_);
    javaGone_ = true;
    endDialog(IDABORT);
}

void StartingDialog::pumpUntilStopped(DWORD boundMs) {
    const DWORD began = GetTickCount();
    for (;;) {
        MSG msg;
        while (!stopAnswered_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
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
        if (stopAnswered_ || spent >= boundMs)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, boundMs - spent, QS_ALLINPUT);
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
