#include "ServiceThread.h"

namespace {
// A finished thread leaves within this; it only has to return from its routine.
constexpr unsigned kJoinMs = 2000;
} // namespace

ServiceThread::ServiceThread(ServiceController &controller, Listener &listener,
                             std::chrono::milliseconds period)
    : controller_(controller), listener_(listener), period_(period) {}

ServiceThread::~ServiceThread() {
    if (worker_.created())
        worker_.finish(done_ ? kJoinMs : 0);
}

bool ServiceThread::start() {
    if (!worker_.create([this] { run(); }, 0))
        return false;
    worker_.resume();
    return true;
}

void ServiceThread::teardown(bool waitForStop) {
    if (asked_.exchange(true))
        return;
    waitForStop_ = waitForStop;
    controller_.cancelPreparation();
    teardownAsked_.set();
    if (leftOrAsked_.exchange(true))
        listener_.tornDown(); // the thread left after a failed preparation: nothing to tear down
}

void ServiceThread::run() {
    controller_.preparar();
    if (!asked_ && !controller_.javaStarted()) {
        listener_.prepareFailed(controller_.failureText());
        done_ = true;
        if (leftOrAsked_.exchange(true))
            listener_.tornDown(); // asked for in the meantime
        return;
    }
    if (!asked_)
        listener_.prepared();
    while (!teardownAsked_.wait(period_)) {
        const int status = controller_.queryStatus();
        listener_.status(status);
        // The Java side said it stopped: the teardown comes next, and nothing polls meanwhile.
        if (status == 6 || status == 7) {
            while (!teardownAsked_.wait(period_)) {
            }
            break;
        }
    }
    controller_.boundTeardown();
    controller_.shutdown(waitForStop_);
    done_ = true;
    listener_.tornDown();
}
