// Loads the Java runtime library by path and finds its invocation entry points.
// Shared by the manager's and the launchers' hosts; Windows and native builds.
#pragma once

#include <jni.h>

#include <string>

using CreateJavaVMFn = jint(JNICALL *)(JavaVM **, void **, void *);
using GetDefaultJavaVMInitArgsFn = jint(JNICALL *)(void *);

class RuntimeLibrary {
  public:
    RuntimeLibrary() = default;
    ~RuntimeLibrary() { unload(); }
    RuntimeLibrary(const RuntimeLibrary &) = delete;
    RuntimeLibrary &operator=(const RuntimeLibrary &) = delete;

    // Loads the library at path (as given). Critical-error boxes are suppressed on Windows,
    // so a missing drive or library never stops a start waiting for a click.
    bool load(const std::string &path);
    void unload();

    bool loaded() const { return handle_ != nullptr; }
    // Why the last load failed, in the system's words (FormatMessageA, dlerror); empty when
    // it succeeded or the system gives no text.
    const std::string &loadError() const { return loadError_; }
    void *handle() const { return handle_; }
    void *symbol(const char *name) const;

    CreateJavaVMFn createJavaVM() const {
        return reinterpret_cast<CreateJavaVMFn>(symbol("JNI_CreateJavaVM"));
    }
    GetDefaultJavaVMInitArgsFn getDefaultInitArgs() const {
        return reinterpret_cast<GetDefaultJavaVMInitArgsFn>(symbol("JNI_GetDefaultJavaVMInitArgs"));
    }

  private:
    void *handle_ = nullptr;
    std::string loadError_;
};
