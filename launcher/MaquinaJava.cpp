#include "MaquinaJava.h"

#include "AppException.h"
#include "InformarStatus.h"
#include "JvmCalls.h"
#include "LauncherState.h"
#include "RuntimeWords.h"

void MaquinaJava::carregaDLL() {
    createEntry_ = nullptr;
    defaultArgsEntry_ = nullptr;
    if (!library_.load(params_.java.jvm))
        throw APP_EXCEPTION("Erro ao carregar a biblioteca " + params_.java.jvm + ".");
    createEntry_ = library_.createJavaVM();
    defaultArgsEntry_ = library_.getDefaultInitArgs();
    if (!createEntry_)
        throw APP_EXCEPTION("Erro ao localizar JNI_CreateJavaVM em " + params_.java.jvm + ".");
}

std::vector<std::string> MaquinaJava::buildOptions() const {
    return buildJvmOptions(params_.java, params_.log.level);
}

void MaquinaJava::createJVM() {
    if (!vm_) {
        if (!createEntry_)
            throw APP_EXCEPTION("Erro ao criar a máquina virtual Java: biblioteca não carregada.");
        args_ = std::make_unique<JvmInitArgs>(buildOptions());
        // The runtime's own words (a refusal, a fatal error) go where the Java side's go.
        runtimeWords::setFile(params_.log.stdError);
        runtimeWords::beginAttempt();
        args_->addHook("vfprintf", reinterpret_cast<void *>(&runtimeWords::vfprintfHook));
        // At work from before the creation: the Java side may run before the call returns.
        LauncherState &state = LauncherState::instance();
        state.setJavaAtWork(true);
        const jint rc = createJavaVM(library_, *args_, &vm_, &env_);
        if (rc != JNI_OK) {
            refused_ = true;
            state.setJavaAtWork(false);
            throw APP_EXCEPTION("Erro ao criar a máquina virtual Java (código " + std::to_string(rc) + ").");
        }
    }
    LocalRef<jclass> cls(env_, env_->FindClass(jniClassName(params_.start.className).c_str()));
    if (clearPendingException(env_, true) || !cls)
        throw APP_EXCEPTION("Erro ao instânciar classe nativa.");
    JNINativeMethod natives[] = {
        {const_cast<char *>("informarStatus"), const_cast<char *>("(I)V"),
         reinterpret_cast<void *>(&Java_LauncherControl_informarStatus)},
    };
    const jint rc = env_->RegisterNatives(cls.get(), natives, 1);
    if (clearPendingException(env_, true) || rc < 0)
        throw APP_EXCEPTION("Erro ao chamar RegisterNatives.");
}

void MaquinaJava::runMain(const std::string &className, const std::vector<std::string> &params, int count,
                          const std::function<void(unsigned)> &sleep) {
    if (!vm_ || params.empty())
        return;
    JNIEnv *env = attachDaemon(vm_, params.front());
    if (!env)
        return;
    sleep(5000);
    MainRun run;
    run.className = className;
    run.params.assign(params.begin(), params.begin() + std::min<std::size_t>(params.size(), count));
    run.stdOutput = params_.log.stdOutput;
    run.stdError = params_.log.stdError;
    run.describeExceptions = true;
    runStaticMain(env, run);
}

void MaquinaJava::destroyJVM() {
    if (vm_) {
        {
            LocalRef<jclass> cls(env_, env_->FindClass(jniClassName(params_.start.className).c_str()));
            if (!clearPendingException(env_) && cls)
                env_->UnregisterNatives(cls.get());
        }
        vm_->DetachCurrentThread();
        vm_->DestroyJavaVM(); // returns once the program's windows and other non-daemon threads ended
        vm_ = nullptr;
        env_ = nullptr;
        LauncherState::instance().setJavaAtWork(false);
    }
    createEntry_ = nullptr;
    defaultArgsEntry_ = nullptr;
    library_.unload();
}
