// What the Java runtime says itself, kept where a support person finds it: the Java side's
// error file. The runtime writes its warnings, refusals and fatal-error notes through the
// "vfprintf" invocation hook, to a console that a Windows program does not have.
//
// Usage, before JNI_CreateJavaVM:
//   runtimeWords::setFile(stdErrorPath);          // empty: the words are only kept in memory
//   runtimeWords::beginAttempt();                 // a new attempt's words in view
//   args.addHook("vfprintf", reinterpret_cast<void *>(&runtimeWords::vfprintfHook));
// after a refused creation:
//   std::string words = runtimeWords::lastLines(10);
//
// The hook may run on any thread, several at once, before System.setErr and while the runtime
// is failing. Each call becomes one write of whole lines (formatted first, LF as CR LF) under a
// turn of its own, so lines of different threads never mix or overwrite each other; the turn is
// never one the Java side could hold, and a writer that waited too long for it writes anyway
// rather than hang a crashing runtime. No heap: a text too long for the buffers is cut, marked
// " [...]", and still ends its line.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace runtimeWords {

void setFile(const std::string &path);
// The words from here on are the ones in view; an attempt that said nothing keeps the one
// before it in view (a runtime may fail silently the second time, or end the process).
void beginAttempt();

// The last `count` non-empty lines in view, joined with "\n".
std::string lastLines(std::size_t count);
// The same into a buffer, without the heap: for a thread the runtime is failing in.
void lastLines(std::size_t count, char *out, std::size_t size);

jint JNICALL vfprintfHook(FILE *stream, const char *format, va_list args);

// Appends "[2026/12/06 - 9:5:7:42] " + text + CR LF to the file, each line feed of the text
// written as CR LF, as the log lines are stamped; one write, under the hook's turn. No heap.
void appendStamped(const char *text);

// Platform: the error file, held open for appending from its first write.
namespace file {
std::intptr_t open(const char *path); // kClosed when it cannot be opened
void append(std::intptr_t handle, const char *data, std::size_t size);
void close(std::intptr_t handle);
unsigned long currentThread();
unsigned long tickMs();
void yield(bool longer);
constexpr std::intptr_t kClosed = -1;
} // namespace file

} // namespace runtimeWords
