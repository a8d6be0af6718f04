#include "JvmCalls.h"

#include <algorithm>

std::string jniClassName(const std::string &name) {
    std::string result = name;
    std::replace(result.begin(), result.end(), '.', '/');
    return result;
}

std::string toModifiedUtf8(const std::string &cp1252) {
    // Code points of 0x80..0x9F in code page 1252; 0 where the page has no character.
    static const unsigned short kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(cp1252.size());
    for (char ch : cp1252) {
        unsigned c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
            continue;
        }
        unsigned cp = c;
        if (c < 0xA0)
            cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : c;
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool clearPendingException(JNIEnv *env, bool describe) {
    if (!env->ExceptionCheck())
        return false;
    if (describe)
        env->ExceptionDescribe(); // prints and clears
    env->ExceptionClear();
    return true;
}

namespace {

jstring newJavaString(JNIEnv *env, const std::string &text) {
    jstring s = env->NewStringUTF(toModifiedUtf8(text).c_str());
    if (clearPendingException(env))
        return nullptr;
    return s;
}

jobject newObject(JNIEnv *env, const char *className, const char *signature, jvalue *args) {
    LocalRef<jclass> cls(env, env->FindClass(className));
    if (clearPendingException(env) || !cls)
        return nullptr;
    jmethodID ctor = env->GetMethodID(cls.get(), "<init>", signature);
    if (clearPendingException(env) || !ctor)
        return nullptr;
    jobject obj = env->NewObjectA(cls.get(), ctor, args);
    if (clearPendingException(env)) {
        if (obj)
            env->DeleteLocalRef(obj);
        return nullptr;
    }
    return obj;
}

} // namespace

bool redirectOutput(JNIEnv *env, JvmStream stream, const std::string &path) {
    LocalRef<jstring> jpath(env, newJavaString(env, path));
    if (!jpath)
        return false;
    jvalue fileArgs[2];
    fileArgs[0].l = jpath.get();
    fileArgs[1].z = JNI_TRUE; // append
    LocalRef<jobject> file(env,
                           newObject(env, "java/io/FileOutputStream", "(Ljava/lang/String;Z)V", fileArgs));
    if (!file)
        return false;
    jvalue printArgs[1];
    printArgs[0].l = file.get();
    LocalRef<jobject> print(env,
                            newObject(env, "java/io/PrintStream", "(Ljava/io/OutputStream;)V", printArgs));
    if (!print)
        return false;
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    if (clearPendingException(env) || !system)
        return false;
    const char *setter = stream == JvmStream::Output ? "setOut" : "setErr";
    jmethodID set = env->GetStaticMethodID(system.get(), setter, "(Ljava/io/PrintStream;)V");
    if (clearPendingException(env) || !set)
        return false;
    jvalue setArgs[1];
    setArgs[0].l = print.get();
    env->CallStaticVoidMethodA(system.get(), set, setArgs);
    return !clearPendingException(env);
}

jobjectArray newStringArray(JNIEnv *env, jclass stringClass, const std::vector<std::string> &values) {
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(values.size()), stringClass, nullptr);
    if (clearPendingException(env) || !array)
        return nullptr;
    for (std::size_t i = 0; i < values.size(); ++i) {
        LocalRef<jstring> s(env, newJavaString(env, values[i]));
        if (!s) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), s.get());
        if (clearPendingException(env)) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
    }
    return array;
}

JNIEnv *attachDaemon(JavaVM *vm, const std::string &threadName) {
    if (!vm)
        return nullptr;
    std::vector<char> name(threadName.begin(), threadName.end());
    name.push_back('\0');
    JavaVMAttachArgs args{};
    args.version = JNI_VERSION_1_4;
    args.name = name.data();
    args.group = nullptr;
    void *env = nullptr;
    if (vm->AttachCurrentThreadAsDaemon(&env, &args) != JNI_OK)
        return nullptr;
    return static_cast<JNIEnv *>(env);
}

jint createJavaVM(const RuntimeLibrary &library, JvmInitArgs &args, JavaVM **vm, JNIEnv **env) {
    *vm = nullptr;
    *env = nullptr;
    CreateJavaVMFn create = library.createJavaVM();
    if (!create)
        return JNI_ERR;
    JavaVM *createdVm = nullptr;
    void *createdEnv = nullptr;
    jint rc = create(&createdVm, &createdEnv, args.get());
    if (rc == JNI_OK && createdVm && createdEnv) {
        *vm = createdVm;
        *env = static_cast<JNIEnv *>(createdEnv);
    } else if (rc == JNI_OK) {
        rc = JNI_ERR;
    }
    return rc;
}

MainOutcome runStaticMain(JNIEnv *env, const MainRun &run) {
    MainOutcome outcome = MainOutcome::Failed;
    LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
    if (clearPendingException(env, run.describeExceptions) || !stringClass)
        return outcome;
    LocalRef<jclass> cls(env, env->FindClass(jniClassName(run.className).c_str()));
    if (clearPendingException(env, run.describeExceptions) || !cls)
        return MainOutcome::ClassMissing;
    jmethodID main = env->GetStaticMethodID(cls.get(), "main", "([Ljava/lang/String;)V");
    if (clearPendingException(env, run.describeExceptions) || !main)
        return MainOutcome::MethodMissing;

    if (redirectOutput(env, JvmStream::Output, run.stdOutput) && run.onRedirected)
        run.onRedirected(JvmStream::Output);
    if (redirectOutput(env, JvmStream::Error, run.stdError) && run.onRedirected)
        run.onRedirected(JvmStream::Error);

    LocalRef<jobjectArray> args(env, newStringArray(env, stringClass.get(), run.params));
    if (!args)
        return outcome;
    jvalue mainArgs[1];
    mainArgs[0].l = args.get();
    env->CallStaticVoidMethodA(cls.get(), main, mainArgs);
    outcome = clearPendingException(env, run.describeExceptions) ? MainOutcome::Threw : MainOutcome::Returned;
    return outcome;
}
