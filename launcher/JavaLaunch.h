// Runs the flavour's Java program: fills the parameters, loads the runtime and creates the
// virtual machine (up to five attempts each; none more after the runtime refused the creation), calls
// LauncherControl.main on a thread of its own and waits for the monitor's codes. Destroying it tears the
// virtual machine down.
#pragma once

#include "LaunchParameters.h"
#include "MaquinaJava.h"
#include "ParameterReader.h"
#include "StatusPoll.h"
#include "SuspendedThread.h"

#include <atomic>
#include <functional>
#include <memory>

class JavaLaunch {
  public:
    static constexpr int kAttempts = 5;
    static constexpr unsigned kRetryPauseMs = 5000;

    // `surface` gives the poll (and the pauses between attempts) its sleeping, status, splash
    // and message boxes. `adjust`, when given, changes the parameters after they are filled.
    JavaLaunch(const ParameterReader &reader, PollSurface &surface,
               std::function<void(LaunchParameters &)> adjust = {});
    ~JavaLaunch();
    JavaLaunch(const JavaLaunch &) = delete;
    JavaLaunch &operator=(const JavaLaunch &) = delete;

    // The four steps, then the main-call thread, created suspended.
    void setUp();
    // Runs step 1 to 4; true when it failed (the reason is in the log).
    bool runStep(int step);
    // setUp, resume the main-call thread, then poll; true when the Java program's window was
    // seen and is gone again.
    bool runAndWait(const std::string &timeoutMessage);

    const LaunchParameters &parameters() const { return params_; }
    MaquinaJava &maquina() { return shared_->jvm; }

  private:
    // Shared with the main-call thread, which may outlive this object (it stays suspended).
    struct Shared {
        MaquinaJava jvm;
        std::atomic<bool> running{true};
        bool mainStarted = false; // touched only by the main-call thread
        SuspendedThread thread;
    };
    static void mainCallThread(const std::shared_ptr<Shared> &shared);

    const ParameterReader &reader_;
    PollSurface &surface_;
    std::function<void(LaunchParameters &)> adjust_;
    LaunchParameters params_;
    std::shared_ptr<Shared> shared_;
};
