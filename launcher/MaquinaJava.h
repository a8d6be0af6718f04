// The launcher's Java virtual machine: loads the runtime library, creates the machine with the
// launcher's options, registers informarStatus on the monitor class, runs its main on a
// thread of its own and tears everything down again.
#pragma once

#include "JvmOptions.h"
#include "LaunchParameters.h"
#include "RuntimeLibrary.h"

#include <jni.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class MaquinaJava {
  public:
    MaquinaJava() = default;
    ~MaquinaJava() { destroyJVM(); }
    MaquinaJava(const MaquinaJava &) = delete;
    MaquinaJava &operator=(const MaquinaJava &) = delete;

    void setParameters(const LaunchParameters &p) { params_ = p; }
    const LaunchParameters &parameters() const { return params_; }

    // Loads the runtime library named by the parameters. Throws AppException when the library
    // or its JNI_CreateJavaVM entry is missing, so nothing is ever called through it.
    void carregaDLL();
    // Creates the virtual machine (once; a retry after a failed registration reuses it), then
    // registers informarStatus on the monitor class. Throws AppException on any failure.
    void createJVM();
    std::vector<std::string> buildOptions() const;
    // The runtime answered the creation with a code: trying again cannot succeed (a runtime
    // refuses any creation after a failed one, or stops on an internal error there).
    bool creationRefused() const { return refused_; }

    // On the calling thread: attaches it as a daemon thread named after params[0], waits
    // 5 seconds (through `sleep`), then calls className.main with the first `count` params,
    // both output streams appended to the flavour's output file. Calls nothing when no
    // virtual machine exists or the attach fails.
    void runMain(const std::string &className, const std::vector<std::string> &params, int count,
                 const std::function<void(unsigned)> &sleep);

    // Unregisters the native, detaches the creating thread, destroys the machine (which waits
    // for the Java side's non-daemon threads) and unloads the library.
    void destroyJVM();

    JavaVM *vm() const { return vm_; }
    bool libraryLoaded() const { return library_.loaded(); }

  private:
    LaunchParameters params_;
    RuntimeLibrary library_;
    CreateJavaVMFn createEntry_ = nullptr;
    GetDefaultJavaVMInitArgsFn defaultArgsEntry_ = nullptr; // looked up, never called
    std::unique_ptr<JvmInitArgs> args_;                     // kept for the life of the machine
    JavaVM *vm_ = nullptr;
    JNIEnv *env_ = nullptr; // the creating thread's
    bool refused_ = false;
};
