#include "StartingDialog.h"

#include "AboutDialog.h"
#include "DebugTrace.h"
#include "JavaExitHooks.h"
#include "JournalRestore.h"
#include "RuntimeWords.h"
#include "res/resource.h"

#include <shellapi.h>

#include <atomic>
#include <chrono>

namespace {
constexpr UINT kTrayCallback = WM_USER;
// What the service thread tells the window.
constexpr UINT kPreparedMessage = WM_APP + 1;
constexpr UINT kPrepareFailedMessage = WM_APP + 2;
constexpr UINT kStatusMessage = WM_APP + 3;
constexpr UINT kTornDownMessage = WM_APP + 4;
constexpr UINT kJavaEndingMessage = WM_APP + 5;

constexpr UINT_PTR kPauseTimer = 1;
constexpr UINT_PTR kBoundTimer = 2;
constexpr UINT_PTR kWaitTimer = 3;
constexpr UINT kEndPauseMs = 1000;
constexpr UINT kWaitPollMs = 250;
// The teardown has the destroy bound of its own; the window's backstop comes after it.
constexpr DWORD kTeardownMarginMs = 5000;
constexpr DWORD kDefaultBoundMs = 60000;
constexpr UINT kStopItemPosition = 1;
// What the wait in endSessionWait wakes for. Not QS_ALLINPUT: the headers put QS_RAWINPUT
// in it, which Windows 98/ME and 2000 refuse, and the wait then fails at once every time.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT |
                            QS_HOTKEY | QS_SENDMESSAGE;
constexpr DWORD kFailedWaitMs = 50;
constexpr const char *kCaption = "Quorvel"; // no blank: a second start must never find a box
constexpr const char *kPreviousDidNotEnd =
    "O Quorvel que estava sendo encerrado não terminou a tempo. Tente abri-lo novamente.";

std::atomic<HWND> g_dialog{nullptr};

const char *textOf(life::Answer::Text text) {
    switch (text) {
    case life::Answer::Text::Starting:
        return "O Quorvel está iniciando...";
    case life::Answer::Text::Started:
        return "O Quorvel foi iniciado.";
    case life::Answer::Text::Stopping:
        return "O Quorvel está sendo encerrado...";
    case life::Answer::Text::Keep:
        break;
    }
    return nullptr;
}
} // namespace

StartingDialog::StartingDialog(UINT taskbarCreated)
    : ModalDialog(IDD_STARTING), service_(controller_, *this), life_(life::Phase::Preparing),
      destroyBoundMs_(kDefaultBoundMs),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      taskbarCreated_(taskbarCreated) {}

StartingDialog::StartingDialog(UINT taskbarCreated, std::function<bool()> previousEnded, DWORD boundMs)
    : StartingDialog(taskbarCreated) {
    life_ = life::ManagerLife(life::Phase::WaitingForPrevious);
    previousEnded_ = std::move(previousEnded);
    waitBoundMs_ = boundMs;
}

StartingDialog::~StartingDialog() {
    g_dialog = nullptr;
}

void StartingDialog::javaEnding() {
    CTrayIcon::removeShownIcon();
    if (HWND dlg = g_dialog.load())
        PostMessageA(dlg, kJavaEndingMessage, 0, 0);
}

BOOL StartingDialog::onInitDialog() {
    HWND dlg = hwnd();
    g_dialog = dlg;
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

    if (life_.phase() == life::Phase::WaitingForPrevious) {
        SetDlgItemTextA(dlg, IDC_STATUS_TEXT, textOf(life::Answer::Text::Stopping));
        SetTimer(dlg, kWaitTimer, kWaitPollMs, nullptr);
        SetTimer(dlg, kBoundTimer, waitBoundMs_, nullptr);
        return TRUE;
    }
    beginStart();
    return TRUE;
}

// The undo of an interrupted update, then the Java side on its own thread.
void StartingDialog::beginStart() {
    if (!runJournalRecovery()) {
        // Nothing of the Java side was touched: the manager ends at once, its icon with it.
        life_ = life::ManagerLife(life::Phase::Ended);
        tray_.showIcon(0);
        endDialog(IDCANCEL);
        return;
    }
    if (!service_.start())
        on(life::Event::PrepareFailed);
}

life::Answer StartingDialog::on(life::Event event) {
    const life::Answer answer = life_.on(event);
    apply(answer);
    return answer;
}

void StartingDialog::apply(const life::Answer &a) {
    using A = life::Answer;
    HWND dlg = hwnd();
    if (a.session == A::Session::Begins) {
        sessionBegan_ = GetTickCount();
        debugTrace("Fim da sessão do Windows: o Quorvel será encerrado.");
    }
    if (a.window == A::Window::Show)
        ShowWindow(dlg, SW_SHOW);
    if (a.bar != A::kUnchanged)
        progress_.setPos(a.bar);
    // The shell's answer lets other threads' sent messages in: the button and the text change
    // together after it, so nobody sees the one without the other.
    if (a.removeIcon)
        tray_.showIcon(0);
    else if (a.icon)
        tray_.showIcon(static_cast<UINT>(a.icon));
    if (a.enableBrowser)
        EnableWindow(GetDlgItem(dlg, IDC_BROWSER), TRUE);
    if (const char *text = textOf(a.text))
        SetDlgItemTextA(dlg, IDC_STATUS_TEXT, text);
    if (a.traceEncerrar)
        debugTrace("encerrar");
    if (a.session == A::Session::Stopped || a.session == A::Session::NotStopped) {
        const unsigned long took = GetTickCount() - sessionBegan_;
        if (a.session == A::Session::Stopped)
            debugTrace("Fim da sessão do Windows: o Quorvel parou em %lu ms.", took);
        else
            debugTrace("Fim da sessão do Windows: o Quorvel não parou em %lu ms; a máquina virtual Java será "
                       "destruída.",
                       took);
    }
    if (a.openBrowser) {
        ShellExecuteA(nullptr, "open", siteUrl_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        tray_.setDefaultItem(kStopItemPosition);
    }
    if (a.window == A::Window::Hide)
        ShowWindow(dlg, SW_HIDE);

    switch (a.ask) {
    case A::Ask::Nothing:
        break;
    case A::Ask::Prepare:
        KillTimer(dlg, kWaitTimer);
        KillTimer(dlg, kBoundTimer);
        beginStart();
        break;
    case A::Ask::ResumeStart:
        controller_.resumeStart();
        break;
    case A::Ask::ResumeStop:
        controller_.resumeStop();
        break;
    case A::Ask::Teardown:
        if (a.stopFirst)
            controller_.resumeStop();
        if (service_.started())
            service_.teardown(a.waitForStop);
        else
            PostMessageA(dlg, kTornDownMessage, 0, 0);
        break;
    case A::Ask::EndProcess:
        debugTrace("Tempo esgotado ao encerrar a máquina virtual Java: %lu ms; o processo será encerrado.",
                   static_cast<unsigned long>(boundMsFor(life::Phase::TearingDown)));
        tray_.showIcon(0);
        javaExit::endProcess(0);
    }

    if (a.timer == A::Timer::Pause) {
        SetTimer(dlg, kPauseTimer, kEndPauseMs, nullptr);
    } else if (a.timer == A::Timer::Bound) {
        KillTimer(dlg, kBoundTimer);
        SetTimer(dlg, kBoundTimer, boundMsFor(a.next), nullptr);
    }
    if (a.bringBoxForward) {
        if (HWND box = FindWindowA("#32770", kCaption))
            SetForegroundWindow(box);
    }
    if (a.endDialog)
        endDialog(IDCANCEL);
    // Modal loops last: the table's answer is complete before they let other events in.
    if (a.runAbout)
        runAbout();
    if (a.showFailureBox)
        showFailureBox();
}

DWORD StartingDialog::boundMsFor(life::Phase phase) const {
    return phase == life::Phase::TearingDown ? destroyBoundMs_ + kTeardownMarginMs : destroyBoundMs_;
}

void StartingDialog::showFailureBox() {
    exitCode_ = 1;
    std::string text = failure_.empty() ? std::string(javaExit::kCreateRefused) : failure_;
    debugTrace("%s", text.c_str());
    runtimeWords::setFile(controller_.parameters().log.stdError);
    runtimeWords::appendStamped(text.c_str());
    // No owner: the dialog is hidden and would hide the box's taskbar button with it.
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    on(life::Event::FailureBoxAnswered);
}

// ServiceThread::Listener: the service thread only posts.
void StartingDialog::prepared() {
    PostMessageA(hwnd(), kPreparedMessage, 0, 0);
}
void StartingDialog::prepareFailed(const std::string &) {
    PostMessageA(hwnd(), kPrepareFailedMessage, 0, 0);
}
void StartingDialog::status(int status) {
    PostMessageA(hwnd(), kStatusMessage, static_cast<WPARAM>(status), 0);
}
void StartingDialog::tornDown() {
    PostMessageA(hwnd(), kTornDownMessage, 0, 0);
}

bool StartingDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    using life::Event;
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        tray_.handleTaskbarCreated(wParam, lParam);
        return false;
    }
    switch (message) {
    case kTrayCallback:
        tray_.handleNotify(wParam, lParam);
        result = 0;
        return true;
    case kPreparedMessage:
        // Late, after a close: the service thread may be tearing the controller down.
        if (life_.phase() != life::Phase::Preparing)
            return true;
        // The service thread has finished with the parameters: read once, here.
        siteUrl_ = controller_.parameters().siteUrl;
        destroyBoundMs_ =
            static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   ServiceController::destroyBound(controller_.parameters().stopTimeout))
                                   .count());
        on(Event::Prepared);
        return true;
    case kPrepareFailedMessage:
        if (life_.phase() != life::Phase::Preparing)
            return true;
        failure_ = controller_.failureText();
        on(Event::PrepareFailed);
        return true;
    case kStatusMessage: {
        const int status = static_cast<int>(wParam);
        debugTrace("status: %d", status);
        on(life::statusEvent(status));
        return true;
    }
    case kTornDownMessage:
        on(Event::TornDown);
        return true;
    case kJavaEndingMessage:
        on(Event::JavaEnding);
        return true;
    case WM_TIMER:
        switch (wParam) {
        case kPauseTimer:
            KillTimer(hwnd(), kPauseTimer);
            on(Event::PauseOver);
            break;
        case kBoundTimer:
            KillTimer(hwnd(), kBoundTimer);
            on(Event::BoundPassed);
            break;
        case kWaitTimer:
            if (life_.phase() != life::Phase::WaitingForPrevious)
                KillTimer(hwnd(), kWaitTimer);
            else if (previousEnded_ && previousEnded_())
                on(Event::PreviousEnded);
            break;
        default:
            break;
        }
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSER:
            on(Event::Browser);
            return true;
        case IDC_MINIMIZE:
            on(Event::Minimise);
            return true;
        case IDC_STOP:
            on(Event::EncerrarButton);
            return true;
        case ID_TRAY_STOP:
            on(Event::EncerrarMenu);
            return true;
        case ID_TRAY_START:
            on(Event::Iniciar);
            return true;
        case ID_TRAY_ABOUT:
            on(Event::About);
            return true;
        default:
            return false;
        }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            on(Event::About);
            return true;
        }
        return false;
    case WM_RBUTTONDBLCLK: {
        // A second start of the program asks for the application this way.
        const life::Answer a = on(Event::SecondStart);
        result = a.reply == life::Answer::Reply::Closing ? kSecondStartClosing : kSecondStartShown;
        return true;
    }
    case WM_PAINT:
        return paintMinimised();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(icon_);
        return true;
    case WM_QUERYENDSESSION:
        // Never in the way of a shutdown or log-off: the stop runs at WM_ENDSESSION.
        on(Event::QueryEndSession);
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam) {
            on(Event::EndSession);
            endSessionWait();
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

void StartingDialog::onCancel() {
    on(life::Event::Minimise);
}

void StartingDialog::onClose() {
    life::Event event = life::Event::Close;
    // Decided under the host's lock, so that no worker begins its main in between.
    if (life_.phase() == life::Phase::ComingUp && controller_.shutDownIfNoMainBegun())
        event = life::Event::CloseNoMainBegun;
    on(event);
}

// Without this the system would end the process with the application server and its database
// in the middle of their work, every evening the PC is shut down. Windows waits for the handler:
// the thread's messages are dispatched (the polls, the stop's pause, the bounds, the teardown's
// end all come as messages) until the table says the dialog has ended.
void StartingDialog::endSessionWait() {
    for (;;) {
        const life::Phase phase = life_.phase();
        if (phase == life::Phase::Ended || phase == life::Phase::Failed || phase == life::Phase::JavaEnded)
            return;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the modal loop, afterwards
                return;
            }
            if (!IsDialogMessageA(hwnd(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (life_.phase() == life::Phase::Ended)
                return;
        }
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, kWakeMask) == WAIT_FAILED)
            Sleep(kFailedWaitMs); // not a busy loop, whatever the system makes of the mask
    }
}

void StartingDialog::runAbout() {
    // One box at a time: a second request brings the open one forward.
    if (about_) {
        if (about_->hwnd())
            SetForegroundWindow(about_->hwnd());
        return;
    }
    AboutDialog about;
    about_ = &about;
    about.doModal(hwnd());
    about_ = nullptr;
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
