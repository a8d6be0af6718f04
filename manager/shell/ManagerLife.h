// The manager's life as one table: every event that reaches the starting dialog, in every
// phase, has one answer (what the window and the icon show, what the Java side is asked to do,
// and the phase that follows). The dialog keeps no flag of its own beside it; it carries the
// answers out. Platform-neutral, so that the whole table is checked natively.
#pragma once

#include <cstddef>

namespace life {

enum class Phase {
    WaitingForPrevious,   // a manager that is closing still runs: this start waits for its end
    Preparing,            // runtime and machine being made, off the window's thread
    ComingUp,             // the Java side is polled; the start is not announced
    Started,              // the start is announced
    Stopping,             // "Encerrar": the stop class runs; "Iniciar" may start again
    ClosingWhileComingUp, // closed after a main began and before the announcement
    PausingAfterStop,     // the Java side answered 6 or 7: a second's pause, then the teardown
    EndingSession,        // the Windows session ends: the stop runs and is waited for
    TearingDown,          // the Java side is being destroyed, off the window's thread
    Failed,               // the runtime could not be had: the box is up
    JavaEnded,            // the Java side ended the process itself (exit or abort hook)
    Ended,                // the dialog is ending
    Count
};

enum class Event {
    Status0,
    Status1,
    Status2,
    Status3,
    Status4,
    Status5,
    Status6or7,
    StatusOther,
    PreviousEnded, // the closing manager this start waited for has ended
    Prepared,      // machine and workers ready
    PrepareFailed, // the runtime or the machine could not be had
    EncerrarButton,
    EncerrarMenu,
    Iniciar,          // the icon's "Iniciar" (also its double click)
    Browser,          // the browser button
    Minimise,         // "Minimizar" and Esc
    CloseNoMainBegun, // close box or application-exit command, no main had begun
    Close,            // close box or application-exit command otherwise
    About,            // the system menu's or the icon's "Sobre"
    SecondStart,      // another start of the program asks for the application
    QueryEndSession,
    EndSession,  // the session really ends (WM_ENDSESSION with TRUE)
    JavaEnding,  // the exit or abort hook removed the icon and ends the process
    PauseOver,   // the second after 6 or 7 has passed
    BoundPassed, // the phase's time bound has passed
    FailureBoxAnswered,
    TornDown, // the Java side's teardown has finished
    Count
};

const char *name(Phase phase);
const char *name(Event event);
// The status answer as an event.
Event statusEvent(int status);

struct Answer {
    static constexpr int kUnchanged = -1;
    enum class Window { Keep, Show, Hide };
    enum class Text { Keep, Starting, Started, Stopping };
    enum class Ask { Nothing, Prepare, ResumeStart, ResumeStop, Teardown, EndProcess };
    enum class Reply { None, Shown, Closing };
    enum class Timer { Keep, Pause, Bound };
    enum class Session { None, Begins, Stopped, NotStopped };

    Window window = Window::Keep;
    Text text = Text::Keep;
    int bar = kUnchanged; // progress position
    int icon = 0;         // icon resource to show; 0 keeps the icon
    bool removeIcon = false;
    bool enableBrowser = false;
    bool traceEncerrar = false; // the stop sequence's trace line, before its Ask
    Ask ask = Ask::Nothing;
    bool waitForStop = false; // with Ask::Teardown: wait for a stop pass under way
    bool stopFirst = false;   // with Ask::Teardown: the stop class is run first
    bool openBrowser = false;
    bool runAbout = false;
    bool showFailureBox = false;
    bool bringBoxForward = false;
    bool endDialog = false;
    Reply reply = Reply::None; // to a second start
    Timer timer = Timer::Keep; // started on entering the next phase
    Session session = Session::None;
    Phase next = Phase::Ended;
    bool announced = false; // afterwards
};

// The table itself: what `event` does in `phase`, `announced` being whether the start is
// announced (what the status table needs besides the phase).
Answer decide(Phase phase, bool announced, Event event);

class ManagerLife {
  public:
    explicit ManagerLife(Phase first = Phase::Preparing) : phase_(first) {}
    Answer on(Event event);
    Phase phase() const { return phase_; }
    bool announced() const { return announced_; }

  private:
    Phase phase_;
    bool announced_ = false;
};

} // namespace life
