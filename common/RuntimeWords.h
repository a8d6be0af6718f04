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
// The hook may run on any thread, before System.setErr and while the runtime is failing: it
// opens, appends and closes the file on every call, uses no heap, and takes no lock the Java
// side could hold (the memory of the last words has a lock of its own that no one holds for
// longer than a copy).
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
// written as CR LF, as the log lines are stamped. No heap.
void appendStamped(const char *text);

// Bytes appended to a file: opened (created when missing), appended at its end, closed.
// No heap. Windows 98 has no appending open, so a write of another process between the seek
// to the end and the write can be overwritten there.
class AppendFile {
  public:
    explicit AppendFile(const char *path);
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;
    bool isOpen() const;
    void write(const char *data, std::size_t size);
    // Each "\n" not preceded by "\r" becomes CR LF.
    void writeText(const char *text, std::size_t size);

  private:
    std::intptr_t handle_;
    bool lastWasCr_ = false;
};

} // namespace runtimeWords
