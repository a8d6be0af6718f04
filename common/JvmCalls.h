// JNI calls shared by the manager's and the launchers' hosts: class names, local references,
// exception checks, output redirection, string arrays, thread attachment and the run of a
// static main.
//
// Every call that can throw is followed by an exception check. The runtime goes on running
// Java code with an exception pending (a failed redirection would reach System.setOut(null)),
// so nothing here makes a further JNI call before the exception is cleared.
//
// Usage, on a worker thread of a created virtual machine:
//   JNIEnv *env = attachDaemon(vm, threadName);   // null: not attached, call nothing
//   MainRun run;
//   run.className = "pkg.Start";                   // dots or slashes
//   run.params = {"a", "b"};
//   run.stdOutput = "C:\\logs\\out.log";            // appended; empty or unopenable: not redirected
//   run.stdError = "C:\\logs\\err.log";
//   run.onRedirected = [](JvmStream) { trace("..."); };
//   MainOutcome outcome = runStaticMain(env, run);  // blocks until main returns
#pragma once

#include "JvmOptions.h"
#include "RuntimeLibrary.h"

#include <jni.h>

#include <functional>
#include <string>
#include <vector>

// The name FindClass wants: dots become slashes. Plain slash names, not "Lpkg/Name;": the
// descriptor form is accepted by old runtimes but -Xcheck:jni warns that it will stop working.
std::string jniClassName(const std::string &name);

// Paths and parameters are 8-bit texts in code page 1252; NewStringUTF wants modified UTF-8.
// ASCII passes unchanged.
std::string toModifiedUtf8(const std::string &cp1252);

// Owns one local reference and deletes it on scope exit, so a thread that never returns to
// Java (the creating thread, a worker) does not pile up references.
template <typename T> class LocalRef {
  public:
    LocalRef(JNIEnv *env, T ref) : env_(env), ref_(ref) {}
    ~LocalRef() {
        if (ref_)
            env_->DeleteLocalRef(ref_);
    }
    LocalRef(const LocalRef &) = delete;
    LocalRef &operator=(const LocalRef &) = delete;

    T get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }

  private:
    JNIEnv *env_;
    T ref_;
};

// Clears a pending exception, printing it first when asked. True when one was pending.
bool clearPendingException(JNIEnv *env, bool describe = false);

enum class JvmStream { Output, Error };

// System.setOut/setErr(new PrintStream(new FileOutputStream(path, true))). A file that cannot
// be opened leaves the stream as it was; false then, with no exception left pending.
bool redirectOutput(JNIEnv *env, JvmStream stream, const std::string &path);

// A String[] holding the texts in order; null (no exception pending) on failure.
jobjectArray newStringArray(JNIEnv *env, jclass stringClass, const std::vector<std::string> &values);

// Attaches the calling thread as a daemon thread (version 1.4 arguments, no group).
// Null when vm is null or the attach fails.
JNIEnv *attachDaemon(JavaVM *vm, const std::string &threadName);

// Calls the library's JNI_CreateJavaVM; JNI_ERR without calling anything when the library or
// its entry point is missing. vm and env stay null unless the creation succeeded.
jint createJavaVM(const RuntimeLibrary &library, JvmInitArgs &args, JavaVM **vm, JNIEnv **env);

struct MainRun {
    std::string className;
    std::vector<std::string> params;
    std::string stdOutput;                       // System.setOut target, appended
    std::string stdError;                        // System.setErr target, appended
    bool describeExceptions = false;             // print exceptions before clearing them
    std::function<void(JvmStream)> onRedirected; // after each setOut/setErr that was made
};

enum class MainOutcome { Failed, ClassMissing, MethodMissing, Returned, Threw };

// Looks up String and the class, then its static main(String[]); when found, redirects
// standard output then standard error, builds the argument array and calls main. Any
// exception is cleared before returning.
MainOutcome runStaticMain(JNIEnv *env, const MainRun &run);
