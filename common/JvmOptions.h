// The option list of an embedded Java virtual machine, shared by the manager's and the
// launchers' hosts. Both build it in the same order:
//   -Djava.class.path=<classpath>   always, even when empty
//   -verbose:all                    only when the log level reads as a number above 2
//   -Xmx<jvmMx>m, -Xms<jvmMs>m      always, 0 included
//   -Xss<jvmSs>k                    only when jvmSs > 0
//   every extra option, in stored order
//
// Usage:
//   JvmInitArgs args(buildJvmOptions(params.java, params.log.level));
//   for (const std::string &o : args.options()) trace(o);
//   create(&vm, &env, args.get());   // args must outlive the virtual machine
#pragma once

#include "Parameters.h"

#include <jni.h>

#include <string>
#include <vector>

// The level text read as a decimal number: optional leading blanks and sign, then digits;
// anything else reads as 0.
long parseLogLevel(const std::string &level);

std::vector<std::string> buildJvmOptions(const JavaParameters &java, const std::string &logLevel);

// Owns the option strings and the JavaVMOption array handed to JNI_CreateJavaVM
// (version 1.4, unrecognised options ignored). Not copyable: the array points into itself.
class JvmInitArgs {
  public:
    explicit JvmInitArgs(std::vector<std::string> options);
    JvmInitArgs(const JvmInitArgs &) = delete;
    JvmInitArgs &operator=(const JvmInitArgs &) = delete;

    const std::vector<std::string> &options() const { return strings_; }
    // An invocation hook ("vfprintf", "exit", "abort"): an option whose extraInfo is the
    // function. Passed before the options above, in the order added, and not among options():
    // the runtime reads its options in order and uses a hook only from the option that names
    // it on, so an option it refuses must come after the hook that carries the refusal.
    void addHook(const char *name, void *function);
    JavaVMInitArgs *get() { return &args_; }

  private:
    void point();

    std::vector<std::string> strings_;
    std::vector<std::vector<char>> buffers_; // JavaVMOption wants char*, not const char*
    std::vector<JavaVMOption> options_;
    std::vector<std::string> hookNames_; // reserved up front: the options point into them
    JavaVMInitArgs args_{};
};
