// The manager's only main window: follows the Java side's start through its status, opens
// the application in the browser, hides to the notification area and runs the stop.
#pragma once

#include "CTrayIcon.h"
#include "ModalDialog.h"
#include "ServiceController.h"

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

  private:
    void pollStatus();
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
    bool javaGone_ = false; // torn down at the end of the session; nothing may use the controller
    HICON icon_;
    CTrayIcon tray_;
    ProgressControl progress_;
    UINT taskbarCreated_;
};
