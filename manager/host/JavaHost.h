// The manager's embedded Java virtual machine: loads the runtime library, creates the machine
// from the parameters, runs a class's static main on a worker thread with the Java output
// appended to files, and answers the status poll through StartQuorvel.getTomcatStatus.
// Owned by ServiceController, which drives its steps; platform-neutral on the shared loader.
#pragma once

#include "JvmCalls.h"
#include "JvmOptions.h"
#include "Parameters.h"
#include "RuntimeLibrary.h"
#include "Sync.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

// One worker thread's standing with the virtual machine, kept by the worker's owner.
struct JavaThreadState {
    std::atomic<bool> inJava{false};   // from the attach to the end of a run, pause excepted
    std::atomic<bool> attached{false}; // attached and not yet detached
};

class JavaHost {
  public:
    JavaHost() = default;
    ~JavaHost() = default; // unloads the runtime library; destroyJVM() must have run before
    JavaHost(const JavaHost &) = delete;
    JavaHost &operator=(const JavaHost &) = delete;

    void setParameters(const Parameters &parameters) { parameters_ = parameters; }
    const Parameters &parameters() const { return parameters_; }

    // Throw std::runtime_error when the library or its entry point cannot be had, or the
    // runtime refuses the creation, so that the step fails; failureText() then says why to
    // the user. No virtual machine is left then, and nothing is called through one.
    void loadRuntime();
    void createJVM();
    bool hasVM() const { return vm_ != nullptr; }
    // The message for the last failed load or creation; empty once a machine exists.
    const std::string &failureText() const { return failure_; }

    // On a worker thread: attaches it as a daemon (named after the first parameter, or the
    // class when there is none), waits the attach delay, then runs the class's main with
    // output redirected. Returns quietly on any failure, and at once once shut down.
    void callMain(const std::string &className, const std::vector<std::string> &params,
                  JavaThreadState &thread);
    // At the end of a worker's loop, before destroyJVM().
    void detachCurrentThread(JavaThreadState &thread);

    // On the creating thread: the status answered by getTomcatStatus, 0 when it cannot be had.
    int queryStatus();

    // Shuts down, as beginShutdown, unless a main has begun: then false, and nothing changes.
    // Decides in one step, so a worker cannot begin its main in between.
    bool shutDownIfNoMainBegun();

    // Teardown, on the creating thread. After beginShutdown no worker starts JNI work again
    // and pauses end at once.
    void beginShutdown();
    bool shuttingDown() const;
    void destroyJVM();

    // Sleeps, or less once shut down; false when shut down.
    bool pause(std::chrono::milliseconds duration);
    void setAttachDelay(std::chrono::milliseconds delay) { attachDelay_ = delay; }

  private:
    Parameters parameters_;
    RuntimeLibrary library_;
    CreateJavaVMFn createEntry_ = nullptr;
    std::unique_ptr<JvmInitArgs> initArgs_; // lives as long as the machine
    JavaVM *vm_ = nullptr;
    JNIEnv *env_ = nullptr; // creating thread only
    std::chrono::milliseconds attachDelay_{5000};
    std::string failure_;
    bool mainBegun_ = false; // under mutex_

    mutable Mutex mutex_;
    mutable Event closing_; // set once shut down; cuts pauses short
};
