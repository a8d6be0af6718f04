#include "JavaLaunch.h"

#include "AppException.h"
#include "Flavour.h"
#include "LauncherLog.h"
#include "LauncherState.h"

JavaLaunch::JavaLaunch(const ParameterReader &reader, PollSurface &surface,
                       std::function<void(LaunchParameters &)> adjust)
    : reader_(reader), surface_(surface), adjust_(std::move(adjust)), shared_(std::make_shared<Shared>()) {}

JavaLaunch::~JavaLaunch() {
    shared_->jvm.destroyJVM();
    shared_->running = false;
}

bool JavaLaunch::runStep(int step) {
    try {
        switch (step) {
        case 1: {
            const LauncherState &state = LauncherState::instance();
            params_ = LaunchParameters::forInstallation(state.installDir, state.hsqldbPort, reader_);
            if (adjust_)
                adjust_(params_);
            break;
        }
        case 2:
            shared_->jvm.setParameters(params_);
            break;
        case 3:
            shared_->jvm.carregaDLL();
            break;
        case 4:
            shared_->jvm.createJVM();
            break;
        default:
            break;
        }
        return false;
    } catch (const AppException &e) {
        launcherLog(e.fullDescription());
    } catch (...) {
        launcherLog("Erro inesperado em carregaDLL");
    }
    return true;
}

void JavaLaunch::setUp() {
    runStep(1);
    runStep(2);
    for (int step = 3; step <= 4; ++step) {
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            if (!runStep(step) || (step == 4 && shared_->jvm.creationRefused()))
                break;
            surface_.sleepMs(kRetryPauseMs);
        }
    }
    std::shared_ptr<Shared> shared = shared_;
    shared_->thread.create(static_cast<unsigned>(params_.java.jvmSs), [shared] { mainCallThread(shared); });
}

void JavaLaunch::mainCallThread(const std::shared_ptr<Shared> &shared) {
    while (shared->running) {
        if (!shared->mainStarted) {
            const LaunchParameters &p = shared->jvm.parameters();
            shared->jvm.runMain(p.start.className, p.start.params, 1, sleepMs);
            shared->mainStarted = true;
        }
        sleepMs(1000);
        shared->thread.suspendSelf();
    }
}

bool JavaLaunch::runAndWait(const std::string &timeoutMessage) {
    setUp();
    shared_->thread.resume();
    return pollStatus(surface_, timeoutMessage);
}
