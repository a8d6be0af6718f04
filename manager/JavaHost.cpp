#include "JavaHost.h"

#include "DebugTrace.h"

#include <algorithm>

namespace {

const char *const kStatusClass = "halvane/nerel/commonLib/startup/StartQuorvel";

std::string runtimePath(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

} // namespace

void JavaHost::loadRuntime() {
    // An empty path would give the program itself on POSIX (dlopen("")), not a failure.
    if (!parameters_.java.jvm.empty())
        library_.load(runtimePath(parameters_.java.jvm));
    debugTrace("Handle da biblioteca jvm.dll: %p", library_.handle());
    createEntry_ = library_.createJavaVM();
}

void JavaHost::createJVM() {
    initArgs_ = std::make_unique<JvmInitArgs>(buildJvmOptions(parameters_.java, parameters_.log.level));
    for (const std::string &option : initArgs_->options())
        debugTrace("Opção: %s", option.c_str());
    if (!createEntry_ || vm_)
        return;
    createJavaVM(library_, *initArgs_, &vm_, &env_);
    debugTrace("Chamou CreateJVM");
}

void JavaHost::callMain(const std::string &className, const std::vector<std::string> &params,
                        JavaThreadState &thread) {
    debugTrace(">>callMain");
    JavaVM *vm;
    {
        ScopedLock lock(mutex_);
        vm = vm_;
        if (!vm || closing_.isSet())
            return;
        thread.inJava = true;
    }
    JNIEnv *env = attachDaemon(vm, params.empty() ? className : params.front());
    thread.attached = env != nullptr;
    thread.inJava = false;
    if (!env || !pause(attachDelay_))
        return;
    {
        ScopedLock lock(mutex_);
        if (closing_.isSet())
            return;
        thread.inJava = true;
    }
    MainRun run;
    run.className = className;
    run.params = params;
    run.stdOutput = parameters_.log.stdOutput;
    run.stdError = parameters_.log.stdError;
    // The same text for both streams.
    run.onRedirected = [](JvmStream) { debugTrace("Chamou System.setOut"); };
    runStaticMain(env, run);
    thread.inJava = false;
}

void JavaHost::detachCurrentThread(JavaThreadState &thread) {
    ScopedLock lock(mutex_);
    if (thread.attached && vm_) {
        vm_->DetachCurrentThread();
        thread.attached = false;
    }
}

int JavaHost::queryStatus() {
    if (!vm_ || !env_)
        return 0;
    LocalRef<jclass> cls(env_, env_->FindClass(kStatusClass));
    if (clearPendingException(env_) || !cls)
        return 0;
    jmethodID method = env_->GetStaticMethodID(cls.get(), "getTomcatStatus", "()I");
    if (clearPendingException(env_) || !method)
        return 0;
    jint status = env_->CallStaticIntMethod(cls.get(), method);
    if (clearPendingException(env_))
        return 0;
    return status;
}

void JavaHost::beginShutdown() {
    ScopedLock lock(mutex_);
    closing_.set();
}

bool JavaHost::shuttingDown() const {
    return closing_.isSet();
}

void JavaHost::destroyJVM() {
    JavaVM *vm;
    {
        ScopedLock lock(mutex_);
        vm = vm_;
        vm_ = nullptr;
        env_ = nullptr;
    }
    // Not under the lock: the runtime may wait here for the application's non-daemon threads.
    if (vm)
        vm->DestroyJavaVM();
}

bool JavaHost::pause(std::chrono::milliseconds duration) {
    return !closing_.wait(duration);
}
