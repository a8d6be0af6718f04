// The manager's application start: one manager at a time, then the starting dialog, run
// modally; the process ends when it returns.
#pragma once

class ManagerApp {
  public:
    // Always false: nothing runs after the modal dialog (there is no other message loop).
    bool initInstance();
};
