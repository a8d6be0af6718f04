// The manager's only main window: follows the Java side's start through its status, opens
// the application in the browser, hides to the notification area and runs the stop.
#pragma once

#include "CTrayIcon.h"
#include "ModalDialog.h"
#include "ServiceController.h"

#include <string>

// The caption of dialog 102 and what a second start searches for: the trailing blank is
// part of the contract between two managers.
inline constexpr const char *kManagerWindowTitle = "Quorvel ";
inline constexpr const char *kTrayTip = "Quorvel";

class StartingDialog : public ModalDialog {
  public:
    // `taskbarCreated` is the registered "TaskbarCreated" message.
    explicit StartingDialog(UINT taskbarCreated);
    ~StartingDialog() override;

  protected:
    BOOL onInitDialog() override;
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;
    // Esc: hides to the notification area as "Minimizar" does. Ending the dialog here would
    // leave the application running with no window or icon to stop it from.
    void onCancel() override;
    void onClose() override;

  public:
    // 1 when the Java side could not be had, 0 otherwise.
    int exitCode() const { return failed_ ? 1 : 0; }

  private:
    void pollStatus();
    // The runtime cannot be had: the user is told why, then the manager ends.
    void reportFailure(std::string text);
    // The Java side stopped, or had its time: the teardown, bounded, while the window is still
    // there (hidden) for a second start to find; then the window goes.
    void finish(bool stopAnswered);
    // The session really ends: the system ends the process as soon as this returns.
    void endSession();
    // Dispatches the thread's messages until the Java side has answered 6 or 7, or `boundMs`
    // has passed.
    void pumpUntilStopped(DWORD boundMs);
    void openBrowser();
    void stopSequence();
    void runAbout();
    bool paintMinimised();

    // Members in this order: the teardown removes the icon before the Java runtime goes.
    ServiceController controller_;
    bool started_ = false;
    bool stopAnswered_ = false; // the Java side answered 6 or 7
    bool sessionEnding_ = false;
    bool closing_ = false; // closed while the Java side was coming up: waiting for its stop
    DWORD closeBegan_ = 0;
    bool tearingDown_ = false; // finish() has begun
    bool javaGone_ = false;    // torn down; nothing may use the controller
    bool failed_ = false;
    HICON icon_;
    CTrayIcon tray_;
    ProgressControl progress_;
    UINT taskbarCreated_;
};
