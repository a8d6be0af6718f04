// Prepares the Java service and runs it: parameters, runtime library, virtual machine, and two
// self-suspending workers, one running the start class's main and one the stop class's main.
//
// Usage, all on the user-interface thread (the thread that runs preparar):
//   ServiceController service;         // on Windows the parameters come from the registry
//   service.preparar();                // synchronous; returns whatever happened
//   service.resumeStart();             // runs the start main, unless it ran and no stop followed
//   int status = service.queryStatus();// each timer tick; 0 when the Java side cannot answer
//   service.resumeStop();              // runs the stop main; no effect while a stop run is busy
//   service.boundTeardown();           // the Java side answered 6 or 7
//   service.shutdown();                // the teardown now, before the window goes
//   // destruction tears down, unless shutdown ran: waits for a running stop pass up to the
//   // stop key's Timeout (30 s when 0), destroys the machine, and unloads the runtime unless
//   // a thread is still inside it (a start main that never returns). After boundTeardown the destruction of
//   // the machine is waited for up to destroyBound (the stop key's Timeout, at least 60 s);
//   // then the process ends.
#pragma once

#include "JavaHost.h"
#include "Parameters.h"
#include "Worker.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ServiceTimings {
    std::chrono::milliseconds attachDelay{5000}; // a worker's wait after attaching
    std::chrono::milliseconds resumeDelay{1000}; // a worker's sleep after being resumed
    std::chrono::milliseconds retryDelay{10000}; // after a failed runtime load
    int attempts = 5;                            // of the runtime load; the creation gets one
    std::chrono::seconds defaultStopWait{30};    // teardown's wait on a stop pass, Timeout 0
    std::chrono::milliseconds idleJoin{2000};    // teardown's wait on a worker not in Java
};

class ServiceController {
  public:
    using ParameterSource = std::function<void(Parameters &)>;
    // The registry on Windows (Parameters::load); natively nothing is read.
    static ParameterSource registryParameters();

    explicit ServiceController(ParameterSource source = registryParameters(), ServiceTimings timings = {});
    virtual ~ServiceController();
    ServiceController(const ServiceController &) = delete;
    ServiceController &operator=(const ServiceController &) = delete;

    // Stops short when the runtime cannot be had: no creation without a library, and no
    // workers without a machine. failureText() then says why.
    void preparar();
    // From any thread: a preparar under way stops at its next pause between attempts, and one
    // not yet begun does nothing.
    void cancelPreparation();
    // The user's message when preparar left no virtual machine; empty otherwise.
    std::string failureText() const;
    // Step 1 "parameters.load", 2 "setParameters", 3 "load", 4 "createJVM": 0 when the step
    // ran, 1 when it threw; any other number does nothing and gives 0.
    int runStep(int step);

    void resumeStart();
    void resumeStop();
    // A virtual machine exists and the workers that run its mains were created.
    bool javaStarted() const;
    // Before either main has begun, no worker will begin one any more and true comes back:
    // the window may close at once. Once one has begun, false, and the Java side must be
    // stopped first.
    bool shutDownIfNoMainBegun();
    int queryStatus();
    // The Java side has said it stopped (status 6 or 7). A thread the application left behind
    // would keep the destruction of the machine, and with it the invisible manager, waiting
    // for ever: from now on the teardown waits for it up to destroyBound and then ends the
    // process.
    void boundTeardown();
    // The wait on the destruction after 6 or 7: the stop key's Timeout (seconds), never less
    // than a minute. What is left then is the application's own shutdown (its last threads
    // and shutdown hooks, the database's final checkpoint among them), which on a slow
    // Windows 98 PC's disk can outlast a short Timeout; cutting it would cost the data.
    static std::chrono::seconds destroyBound(std::int32_t stopTimeout);

    // What the destruction does, done now and once, while the window is still there for a
    // second start to find. `waitForStop` false skips the wait on a stop pass that has already
    // had its time. After boundTeardown the whole of it, the wait on the stop pass included,
    // ends within destroyBound. Afterwards every call does nothing and answers as if no
    // machine existed.
    void shutdown(bool waitForStop = true);

    const Parameters &parameters() const;
    bool mainStarted() const;

  protected:
    // One step's work; a seam for tests that need a step to fail.
    virtual void runStepBody(int step);

  private:
    struct Core;
    // Ends the process at once, from any thread, while another is stuck inside the runtime.
    static void endProcess();
    // A millisecond count that wraps, for measuring short spans.
    static std::uint32_t tickMs();
    void destroyJVM(std::uint32_t began);

    std::shared_ptr<Core> core_;
};
