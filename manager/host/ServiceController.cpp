#include "ServiceController.h"

#include "DebugTrace.h"
#include "Sync.h"

#include <algorithm>
#include <atomic>
#include <exception>

// Shared with the worker threads, which keep it alive: a worker still inside Java at teardown
// (a start main that never returns) keeps the runtime library loaded, so no thread ever runs
// code of an unloaded library.
struct ServiceController::Core {
    ParameterSource source;
    ServiceTimings timings;
    Parameters parameters;
    JavaHost host;
    std::atomic<bool> running{true};
    std::atomic<bool> mainStarted{false};
    Worker startWorker;
    Worker stopWorker;
    JavaThreadState startJava;
    JavaThreadState stopJava;

    // A stop asked for (resumed, its pass not yet begun) or running; teardown waits for both.
    Mutex stopMutex;
    bool stopPending = false;
    bool stopInPass = false;
    Event stopIdle{true};

    std::atomic<bool> destroyBounded{false};
    Event preparationCancelled;

    void startLoop();
    void stopLoop();
};

void ServiceController::Core::startLoop() {
    while (running) {
        debugTrace("executarStart:callMain");
        if (!mainStarted) {
            host.callMain(parameters.start.className, parameters.start.params, startJava);
            mainStarted = true;
        }
        debugTrace("executarStart:SuspendThread");
        startWorker.suspendSelf();
        host.pause(timings.resumeDelay);
    }
    host.detachCurrentThread(startJava);
}

void ServiceController::Core::stopLoop() {
    while (running) {
        debugTrace("executarStop:callMain");
        {
            ScopedLock lock(stopMutex);
            stopPending = false;
            stopInPass = true;
            stopIdle.reset();
        }
        host.callMain(parameters.stop.className, parameters.stop.params, stopJava);
        mainStarted = false;
        {
            ScopedLock lock(stopMutex);
            stopInPass = false;
            if (!stopPending)
                stopIdle.set();
        }
        debugTrace("executarStop:SuspendThread");
        stopWorker.suspendSelf();
        host.pause(timings.resumeDelay);
    }
    host.detachCurrentThread(stopJava);
}

ServiceController::ServiceController(ParameterSource source, ServiceTimings timings)
    : core_(std::make_shared<Core>()) {
    core_->source = std::move(source);
    core_->timings = timings;
    core_->host.setAttachDelay(timings.attachDelay);
}

ServiceController::~ServiceController() {
    shutdown();
}

void ServiceController::shutdown(bool waitForStop) {
    if (!core_)
        return;
    Core &c = *core_;
    const std::uint32_t began = tickMs();
    bool threads = c.startWorker.created() || c.stopWorker.created();
    if (threads && waitForStop) {
        // A stop asked for just before closing still runs its main, within the stop key's
        // Timeout, and within the destroy bound once that counts.
        auto bound = std::chrono::duration_cast<std::chrono::milliseconds>(
            c.parameters.stopTimeout > 0 ? std::chrono::seconds(c.parameters.stopTimeout)
                                         : c.timings.defaultStopWait);
        if (c.destroyBounded)
            bound = std::min(bound, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        destroyBound(c.parameters.stopTimeout)));
        c.stopIdle.wait(bound);
    }
    c.running = false;
    c.host.beginShutdown(); // from here no worker starts JNI work; their pauses end at once
    if (threads) {
        // A worker inside Java cannot be waited for; DestroyJavaVM does not wait for a daemon
        // thread either, and the thread freezes there. The others end and detach first: a
        // worker whose first JNI call came after the destroy would hang for ever.
        auto idle = static_cast<unsigned>(c.timings.idleJoin.count());
        c.stopWorker.finish(c.stopJava.inJava ? 0 : idle);
        c.startWorker.finish(c.startJava.inJava ? 0 : idle);
    }
    destroyJVM(began);
    core_.reset(); // unloads the runtime library unless a frozen worker still holds it
}

void ServiceController::destroyJVM(std::uint32_t began) {
    Core &c = *core_;
    if (!c.destroyBounded) {
        c.host.destroyJVM(); // waits for the application's threads, as long as they run
        return;
    }
    const auto bound =
        std::chrono::duration_cast<std::chrono::milliseconds>(destroyBound(c.parameters.stopTimeout));
    // Shared with the watchdog, which may still be leaving when this returns.
    struct Watch {
        Event done;
        std::uint32_t began = 0; // set before the watchdog runs
    };
    auto watch = std::make_shared<Watch>();
    Worker watchdog;
    // Nothing but the trace and the end of the process here: the runtime is being destroyed,
    // and a thread that called into it now would hang there.
    const bool watched = watchdog.create(
        [watch, bound] {
            // Counted from the teardown's start: on a busy PC this thread may start late.
            const std::chrono::milliseconds late(tickMs() - watch->began);
            if (!watch->done.wait(bound - late)) {
                debugTrace(
                    "Tempo esgotado ao encerrar a máquina virtual Java: %lu ms; o processo será encerrado.",
                    static_cast<unsigned long>(tickMs() - watch->began));
                endProcess();
            }
        },
        0);
    watch->began = began;
    if (watched)
        watchdog.resume();
    c.host.destroyJVM();
    watch->done.set();
    if (watched)
        watchdog.finish(static_cast<unsigned>(c.timings.idleJoin.count()));
}

void ServiceController::preparar() {
    debugTrace(">preparar");
    runStep(1);
    runStep(2);
    // The library may lie on a drive that is not ready yet at log-on: tried again. A creation
    // the runtime refused is not: its answer does not change, and a runtime refuses any
    // creation after a failed one (or stops on an internal error there).
    bool loaded = false;
    for (int attempt = 0; attempt < core_->timings.attempts && !loaded; ++attempt) {
        if (core_->preparationCancelled.isSet())
            return;
        loaded = runStep(3) == 0;
        if (!loaded &&
            core_->preparationCancelled.wait(
                std::chrono::duration_cast<std::chrono::milliseconds>(core_->timings.retryDelay)))
            return;
    }
    if (loaded) // no creation without a library
        runStep(4);
    // Nothing to call into: no creation without a library, no workers without a machine.
    if (!core_->host.hasVM())
        return;
    std::shared_ptr<Core> core = core_;
    unsigned stack = core->parameters.java.jvmSs > 0 ? static_cast<unsigned>(core->parameters.java.jvmSs) : 0;
    debugTrace("beginThreadEx");
    core->startWorker.create([core] { core->startLoop(); }, stack);
    debugTrace("beginThreadEx");
    core->stopWorker.create([core] { core->stopLoop(); }, stack);
}

void ServiceController::cancelPreparation() {
    if (core_)
        core_->preparationCancelled.set();
}

int ServiceController::runStep(int step) {
    static const char *const kWords[] = {"parameters.load", "setParameters", "load", "createJVM"};
    if (step < 1 || step > 4)
        return 0;
    debugTrace("%s", kWords[step - 1]);
    try {
        runStepBody(step);
    } catch (const std::exception &e) {
        debugTrace("%.255s", e.what());
        return 1;
    }
    return 0;
}

void ServiceController::runStepBody(int step) {
    Core &c = *core_;
    switch (step) {
    case 1:
        c.source(c.parameters);
        break;
    case 2:
        c.host.setParameters(c.parameters);
        break;
    case 3:
        c.host.loadRuntime();
        break;
    case 4:
        c.host.createJVM();
        break;
    default:
        break;
    }
}

void ServiceController::resumeStart() {
    if (core_)
        core_->startWorker.resume();
}

bool ServiceController::javaStarted() const {
    return core_ && core_->host.hasVM() && (core_->startWorker.created() || core_->stopWorker.created());
}

std::string ServiceController::failureText() const {
    return core_ && !core_->host.hasVM() ? core_->host.failureText() : std::string();
}

bool ServiceController::shutDownIfNoMainBegun() {
    return !core_ || core_->host.shutDownIfNoMainBegun();
}

void ServiceController::resumeStop() {
    if (!core_)
        return;
    Core &c = *core_;
    // Under the lock, so the pass cannot begin (and clear the request) before it is noted.
    ScopedLock lock(c.stopMutex);
    if (c.stopWorker.resume()) {
        c.stopPending = true;
        c.stopIdle.reset();
    }
}

int ServiceController::queryStatus() {
    return core_ ? core_->host.queryStatus() : 0;
}

void ServiceController::boundTeardown() {
    if (core_)
        core_->destroyBounded = true;
}

std::chrono::seconds ServiceController::destroyBound(std::int32_t stopTimeout) {
    constexpr std::chrono::seconds kFloor{60};
    return std::max(std::chrono::seconds(stopTimeout), kFloor);
}

const Parameters &ServiceController::parameters() const {
    // Kept after the teardown: the window may still ask for the site's address.
    static const Parameters kNone;
    return core_ ? core_->parameters : kNone;
}

bool ServiceController::mainStarted() const {
    return core_ && core_->mainStarted;
}
