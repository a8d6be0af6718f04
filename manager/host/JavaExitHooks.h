// The manager's invocation hooks: the runtime's own words go to the Java side's error file
// ("vfprintf"), and a Java side that ends the process itself, by System.exit ("exit") or a
// fatal error of the runtime ("abort"), still leaves no ghost icon behind and a line that says
// why the manager vanished.
//
// Both end hooks run on a thread of the runtime while the window's thread may be inside a
// status poll that the runtime has stopped: they never wait for it.
#pragma once

#include "JvmOptions.h"

#include <jni.h>

namespace javaExit {

// The StdError file the words and lines go to.
void install(JvmInitArgs &args, const std::string &errorFile);

// Set on the creating thread around JNI_CreateJavaVM: an end on that thread in there is a
// creation the runtime refused, and the user gets the refusal's message before the process
// ends. An end on any other thread meanwhile ends without it.
void setCreating(bool creating);

// The texts of the lines and of the refusal without a code.
inline constexpr const char *kExitLine = "O programa Java encerrou o Quorvel com o código %d.";
inline constexpr const char *kFatalLine = "A máquina virtual Java parou com um erro fatal.";
inline constexpr const char *kCreateRefused = "Não foi possível criar a máquina virtual Java.";
inline constexpr int kFatalExitCode = 3; // as the C runtime's abort

// Each ends the process; the first of them to be entered decides the code and tells why, any
// later entry, from any thread, only ends the process with that code.
void JNICALL exitHook(jint code);
void JNICALL abortHook();

// What the window's side does when the process ends under the host: removes the notification
// icon from the calling thread, and shows the refusal. Handed in by the shell before the
// machine is created; either may be null (natively there is no window). Both run on a thread
// of the runtime that may be crashing: no heap, no wait on another thread of ours.
struct WindowSide {
    void (*removeIcon)() = nullptr;
    void (*showRefusal)(const char *text) = nullptr;
};
void setWindowSide(const WindowSide &side);

// Platform: ends the process at once with the code, no clean-up of the runtime's library
// (another thread may be stopped inside it).
[[noreturn]] void endProcess(int code);

} // namespace javaExit
