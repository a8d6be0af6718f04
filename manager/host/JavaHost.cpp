#include "JavaHost.h"

#include "DebugTrace.h"
#include "JavaExitHooks.h"
#include "RuntimeWords.h"

#include <algorithm>
#include <stdexcept>

namespace {

const char *const kStatusClass = "halvane/nerel/commonLib/startup/StartQuorvel";
// The runtime's last words in a refusal's message: what fits on a screen.
constexpr std::size_t kRefusalLines = 10;

std::string runtimePath(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

} // namespace

void JavaHost::loadRuntime() {
    const std::string path = runtimePath(parameters_.java.jvm);
    createEntry_ = nullptr;
    // An empty path would give the program itself on POSIX (dlopen("")), not a failure.
    const bool loaded = !path.empty() && library_.load(path);
    debugTrace("Handle da biblioteca jvm.dll: %p", library_.handle());
    if (!loaded) {
        failure_ = "Não foi possível carregar a máquina virtual Java:\n" + path;
        if (!library_.loadError().empty())
            failure_ += "\n" + library_.loadError();
        throw std::runtime_error(failure_);
    }
    createEntry_ = library_.createJavaVM();
    if (!createEntry_) {
        failure_ = "O arquivo " + path + " não é uma máquina virtual Java.";
        library_.unload();
        throw std::runtime_error(failure_);
    }
    failure_.clear();
}

void JavaHost::createJVM() {
    initArgs_ = std::make_unique<JvmInitArgs>(buildJvmOptions(parameters_.java, parameters_.log.level));
    for (const std::string &option : initArgs_->options())
        debugTrace("Opção: %s", option.c_str());
    if (!createEntry_ || vm_)
        return;
    javaExit::install(*initArgs_, parameters_.log.stdError);
    runtimeWords::beginAttempt();
    javaExit::setCreating(true);
    const jint rc = createJavaVM(library_, *initArgs_, &vm_, &env_);
    javaExit::setCreating(false);
    debugTrace("Chamou CreateJVM");
    if (rc != JNI_OK) {
        failure_ = "Não foi possível criar a máquina virtual Java (código " + std::to_string(rc) + ").";
        const std::string words = runtimeWords::lastLines(kRefusalLines);
        if (!words.empty())
            failure_ += "\n" + words;
        throw std::runtime_error(failure_);
    }
    failure_.clear();
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
        mainBegun_ = true;
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

bool JavaHost::shutDownIfNoMainBegun() {
    ScopedLock lock(mutex_);
    if (mainBegun_)
        return false;
    closing_.set();
    return true;
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
