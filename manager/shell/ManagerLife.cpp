#include "ManagerLife.h"

#include "StatusTable.h"
#include "res/resource.h"

namespace life {

namespace {

using A = Answer;

bool isStatus(Event e) {
    return e <= Event::StatusOther;
}

int statusOf(Event e) {
    return e == Event::StatusOther ? -1 : static_cast<int>(e);
}

// Nothing changes: the event came late, or means nothing in this phase.
Answer stay(Phase phase, bool announced) {
    Answer a;
    a.next = phase;
    a.announced = announced;
    return a;
}

// Text, window, bar, icon, trace, and the stop class run.
Answer stopSequence(Phase next, bool announced) {
    Answer a;
    a.text = A::Text::Stopping;
    a.window = A::Window::Show;
    a.bar = 0;
    a.icon = IDI_TRAY_STOPPED;
    a.traceEncerrar = true;
    a.ask = A::Ask::ResumeStop;
    a.next = next;
    a.announced = announced;
    return a;
}

// The window goes (hidden, still there for a second start to find), the icon goes, the Java
// side is torn down off the window's thread; the window's own timer bounds it.
Answer teardown(bool waitForStop) {
    Answer a;
    a.window = A::Window::Hide;
    a.removeIcon = true;
    a.ask = A::Ask::Teardown;
    a.waitForStop = waitForStop;
    a.timer = A::Timer::Bound;
    a.next = Phase::TearingDown;
    return a;
}

Answer end() {
    Answer a;
    a.window = A::Window::Hide;
    a.removeIcon = true;
    a.endDialog = true;
    a.next = Phase::Ended;
    return a;
}

// A status answer while the application runs: the status table.
Answer running(bool announced, Event e) {
    const StatusReaction r = reactToStatus(statusOf(e), announced);
    Answer a;
    a.bar = r.position;
    a.icon = r.icon;
    a.announced = r.started;
    if (r.announce) {
        a.text = A::Text::Started;
        a.enableBrowser = true;
    }
    if (r.end) {
        a.timer = A::Timer::Pause;
        a.next = Phase::PausingAfterStop;
    } else {
        a.next = a.announced ? Phase::Started : Phase::ComingUp;
    }
    return a;
}

// A status answer while a stop is on its way: the bar follows the table, but nothing
// announces a start, nor shows it started, any more.
Answer stopping(Phase phase, bool announced, Event e) {
    const StatusReaction r = reactToStatus(statusOf(e), announced);
    Answer a;
    a.bar = r.position;
    a.icon = r.icon == IDI_TRAY_STARTED ? 0 : r.icon;
    a.announced = r.announce ? false : r.started;
    if (r.end) {
        a.timer = A::Timer::Pause;
        a.next = Phase::PausingAfterStop;
        if (phase == Phase::EndingSession)
            a.session = A::Session::Stopped;
    } else {
        a.next = phase;
    }
    return a;
}

Answer hide(Phase phase, bool announced) {
    Answer a = stay(phase, announced);
    a.window = A::Window::Hide;
    return a;
}

Answer about(Phase phase, bool announced) {
    Answer a = stay(phase, announced);
    a.runAbout = true;
    return a;
}

// The hook has removed the icon and ends the process: the window only goes.
Answer javaEnded(bool announced) {
    return hide(Phase::JavaEnded, announced);
}

Answer sessionEnds(bool announced) {
    Answer a = stopSequence(Phase::EndingSession, announced);
    a.timer = A::Timer::Bound;
    a.session = A::Session::Begins;
    return a;
}

Answer reply(Phase phase, bool announced, A::Reply r, A::Window w) {
    Answer a = stay(phase, announced);
    a.reply = r;
    a.window = w;
    return a;
}

} // namespace

Answer decide(Phase p, bool announced, Event e) {
    const Answer none = stay(p, announced);
    switch (p) {
    case Phase::Ended:
        return none;

    case Phase::JavaEnded:
        // The hook's thread ends the process; the icon is gone and stays gone.
        if (e == Event::SecondStart)
            return reply(p, announced, A::Reply::Closing, A::Window::Keep);
        return none;

    case Phase::Failed:
        switch (e) {
        case Event::FailureBoxAnswered:
            return end();
        case Event::SecondStart: {
            // The box is the application for now; the dialog would show a start that never comes.
            Answer a = reply(p, announced, A::Reply::Shown, A::Window::Keep);
            a.bringBoxForward = true;
            return a;
        }
        case Event::JavaEnding:
            return javaEnded(announced);
        default:
            return none;
        }

    case Phase::WaitingForPrevious:
    case Phase::Preparing: {
        const bool waiting = p == Phase::WaitingForPrevious;
        switch (e) {
        case Event::PreviousEnded:
            if (!waiting)
                return none;
            {
                Answer a = stay(Phase::Preparing, false);
                a.text = A::Text::Starting;
                a.bar = 0;
                a.ask = A::Ask::Prepare;
                return a;
            }
        case Event::Prepared:
            if (waiting)
                return none;
            {
                Answer a = stay(Phase::ComingUp, false);
                a.ask = A::Ask::ResumeStart;
                return a;
            }
        case Event::BoundPassed:   // the closing manager outlived the wait
        case Event::PrepareFailed: // the runtime could not be had
            if (waiting != (e == Event::BoundPassed))
                return none;
            {
                Answer a = hide(Phase::Failed, false);
                a.showFailureBox = true;
                return a;
            }
        case Event::EncerrarButton:
        case Event::EncerrarMenu:
        case Event::Close:
        case Event::CloseNoMainBegun:
        case Event::EndSession:
            // Nothing of this start's own runs yet, or no main can have begun: a preparation
            // under way is cut short and what it made goes.
            return waiting ? end() : teardown(false);
        case Event::Iniciar:
        case Event::SecondStart:
            return reply(p, announced, e == Event::SecondStart ? A::Reply::Shown : A::Reply::None,
                         A::Window::Show);
        case Event::Minimise:
            return hide(p, announced);
        case Event::About:
            return about(p, announced);
        case Event::JavaEnding:
            return waiting ? none : javaEnded(announced);
        default:
            return none;
        }
    }

    case Phase::ComingUp:
    case Phase::Started:
    case Phase::Stopping:
        if (isStatus(e))
            return p == Phase::Stopping ? stopping(p, announced, e) : running(announced, e);
        switch (e) {
        case Event::EncerrarButton:
        case Event::EncerrarMenu:
            return stopSequence(Phase::Stopping, announced);
        case Event::Iniciar: {
            Answer a = stay(announced ? Phase::Started : Phase::ComingUp, announced);
            a.ask = A::Ask::ResumeStart;
            a.window = A::Window::Show;
            return a;
        }
        case Event::Browser: {
            Answer a = none;
            a.openBrowser = true;
            a.window = A::Window::Hide;
            return a;
        }
        case Event::Minimise:
            return hide(p, announced);
        case Event::CloseNoMainBegun:
            if (p == Phase::ComingUp)
                return teardown(false); // the Java side shut down before any main began
            [[fallthrough]];
        case Event::Close:
            if (announced) {
                // The stop runs, the window goes at once; the teardown waits for the stop pass.
                Answer a = teardown(true);
                a.stopFirst = true;
                a.traceEncerrar = true;
                a.text = A::Text::Stopping;
                a.bar = 0;
                return a;
            }
            {
                // Coming up: the destruction would wait for threads nobody stopped. Stopped
                // first, with the window shown, within the destroy bound.
                Answer a = stopSequence(Phase::ClosingWhileComingUp, false);
                a.timer = A::Timer::Bound;
                return a;
            }
        case Event::About:
            return about(p, announced);
        case Event::SecondStart:
            return reply(p, announced, A::Reply::Shown, A::Window::Show);
        case Event::EndSession:
            return sessionEnds(announced);
        case Event::JavaEnding:
            return javaEnded(announced);
        default:
            return none;
        }

    case Phase::ClosingWhileComingUp:
    case Phase::EndingSession:
        if (isStatus(e))
            return stopping(p, announced, e);
        switch (e) {
        case Event::BoundPassed: {
            // The stop had its time: the teardown skips the wait on its pass.
            Answer a = teardown(false);
            a.announced = false;
            if (p == Phase::EndingSession)
                a.session = A::Session::NotStopped;
            return a;
        }
        case Event::Minimise:
            return p == Phase::EndingSession ? none : hide(p, announced);
        case Event::About:
            return p == Phase::EndingSession ? none : about(p, announced);
        case Event::SecondStart:
            return reply(p, announced, A::Reply::Closing, A::Window::Keep);
        case Event::EndSession:
            return p == Phase::EndingSession ? none : sessionEnds(announced);
        case Event::JavaEnding:
            return javaEnded(announced);
        default:
            return none;
        }

    case Phase::PausingAfterStop:
        switch (e) {
        case Event::PauseOver: {
            Answer a = teardown(true);
            a.announced = false;
            return a;
        }
        case Event::SecondStart:
            return reply(p, announced, A::Reply::Closing, A::Window::Keep);
        case Event::JavaEnding:
            return javaEnded(announced);
        default:
            return none;
        }

    case Phase::TearingDown:
        switch (e) {
        case Event::TornDown: {
            Answer a = end();
            a.removeIcon = false; // went when the teardown began
            return a;
        }
        case Event::BoundPassed: {
            // The Java side is stuck (a poll that never returns, a destroy that waits for ever):
            // the process ends anyway, the icon first.
            Answer a = stay(Phase::Ended, false);
            a.ask = A::Ask::EndProcess;
            return a;
        }
        case Event::SecondStart:
            return reply(p, announced, A::Reply::Closing, A::Window::Keep);
        case Event::JavaEnding:
            return stay(Phase::JavaEnded, announced);
        default:
            return none;
        }

    case Phase::Count:
        break;
    }
    return none;
}

Answer ManagerLife::on(Event event) {
    Answer a = decide(phase_, announced_, event);
    phase_ = a.next;
    announced_ = a.announced;
    return a;
}

Event statusEvent(int status) {
    if (status >= 0 && status <= 5)
        return static_cast<Event>(status);
    if (status == 6 || status == 7)
        return Event::Status6or7;
    return Event::StatusOther;
}

const char *name(Phase phase) {
    static const char *const kNames[] = {
        "WaitingForPrevious", "Preparing",     "ComingUp",    "Started", "Stopping",  "ClosingWhileComingUp",
        "PausingAfterStop",   "EndingSession", "TearingDown", "Failed",  "JavaEnded", "Ended"};
    static_assert(sizeof kNames / sizeof *kNames == static_cast<std::size_t>(Phase::Count));
    return kNames[static_cast<std::size_t>(phase)];
}

const char *name(Event event) {
    static const char *const kNames[] = {"Status0",
                                         "Status1",
                                         "Status2",
                                         "Status3",
                                         "Status4",
                                         "Status5",
                                         "Status6or7",
                                         "StatusOther",
                                         "PreviousEnded",
                                         "Prepared",
                                         "PrepareFailed",
                                         "EncerrarButton",
                                         "EncerrarMenu",
                                         "Iniciar",
                                         "Browser",
                                         "Minimise",
                                         "CloseNoMainBegun",
                                         "Close",
                                         "About",
                                         "SecondStart",
                                         "QueryEndSession",
                                         "EndSession",
                                         "JavaEnding",
                                         "PauseOver",
                                         "BoundPassed",
                                         "FailureBoxAnswered",
                                         "TornDown"};
    static_assert(sizeof kNames / sizeof *kNames == static_cast<std::size_t>(Event::Count));
    return kNames[static_cast<std::size_t>(event)];
}

} // namespace life
