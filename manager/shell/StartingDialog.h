// The manager's only main window: follows the Java side's start through its status, opens
// the application in the browser, hides to the notification area and runs the stop. What each
// event does in each phase is the table of ManagerLife; this class carries the answers out.
// The Java side lives on a thread of its own (ServiceThread): this window's thread never
// enters Java and never sleeps.
#pragma once

#include "CTrayIcon.h"
#include "ManagerLife.h"
#include "ModalDialog.h"
#include "ServiceController.h"
#include "ServiceThread.h"

#include <functional>
#include <string>

class AboutDialog;

// The caption of dialog 102 and what a second start searches for: the trailing blank is
// part of the contract between two managers.
inline constexpr const char *kManagerWindowTitle = "Quorvel ";
inline constexpr const char *kTrayTip = "Quorvel";

// A second start's question (WM_RBUTTONDBLCLK) is answered with one of these. A manager that
// predates the answer gives 0, which means shown.
inline constexpr LRESULT kSecondStartShown = 1;
inline constexpr LRESULT kSecondStartClosing = 2;

class StartingDialog : public ModalDialog, private ServiceThread::Listener {
  public:
    // `taskbarCreated` is the registered "TaskbarCreated" message.
    explicit StartingDialog(UINT taskbarCreated);
    // A start that waits for a closing manager to end: `previousEnded` is asked a few times a
    // second, and true lets this start go on; `boundMs` is how long it waits at most.
    StartingDialog(UINT taskbarCreated, std::function<bool()> previousEnded, DWORD boundMs);
    ~StartingDialog() override;

    // 1 when the Java side could not be had, 0 otherwise.
    int exitCode() const { return exitCode_; }

    // From the exit and abort hooks, on a thread of the runtime: removes the icon and tells
    // the window, which then shows nothing more. No heap, no wait.
    static void javaEnding();

  protected:
    BOOL onInitDialog() override;
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    // Esc hides to the notification area as "Minimizar" does. Ending the dialog here would
    // leave the application running with no window or icon to stop it from.
    void onCancel() override;
    void onClose() override;

  private:
    // ServiceThread::Listener, on the service thread: each becomes a posted message.
    void prepared() override;
    void prepareFailed(const std::string &text) override;
    void status(int status) override;
    void tornDown() override;

    life::Answer on(life::Event event);
    void apply(const life::Answer &answer);
    void beginStart();
    void showFailureBox();
    void endSessionWait();
    void runAbout();
    bool paintMinimised();
    DWORD boundMsFor(life::Phase phase) const;

    // Members in this order: the service thread goes before the controller it drives.
    ServiceController controller_;
    ServiceThread service_;
    life::ManagerLife life_;
    std::function<bool()> previousEnded_;
    DWORD waitBoundMs_ = 0;
    DWORD destroyBoundMs_;
    std::string siteUrl_;
    std::string failure_;
    DWORD sessionBegan_ = 0;
    int exitCode_ = 0;
    AboutDialog *about_ = nullptr;
    HICON icon_;
    CTrayIcon tray_;
    ProgressControl progress_;
    UINT taskbarCreated_;
};
