// The manager's application start: one manager at a time, then the starting dialog, run
// modally; the process ends when it returns.
#pragma once

class ManagerApp {
  public:
    // Always false: nothing runs after the modal dialog (there is no other message loop).
    bool initInstance();
    // The process's exit code: 1 when the Java side could not be had, 0 otherwise.
    int exitCode() const { return exitCode_; }

  private:
    int exitCode_ = 0;
};
