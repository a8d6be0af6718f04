#include "JavaExitHooks.h"

#include "DebugTrace.h"
#include "RuntimeWords.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>

namespace javaExit {
namespace {
std::atomic<unsigned long> g_creatingThread{0}; // inside JNI_CreateJavaVM, 0 otherwise
std::atomic<void (*)()> g_removeIcon{nullptr};
std::atomic<void (*)(const char *)> g_showRefusal{nullptr};

void removeIcon() {
    if (auto remove = g_removeIcon.load())
        remove();
}

void showRefusal(const char *text) {
    if (auto show = g_showRefusal.load())
        show(text);
}
} // namespace

void setWindowSide(const WindowSide &side) {
    g_removeIcon = side.removeIcon;
    g_showRefusal = side.showRefusal;
}

void install(JvmInitArgs &args, const std::string &errorFile) {
    runtimeWords::setFile(errorFile);
    args.addHook("vfprintf", reinterpret_cast<void *>(&runtimeWords::vfprintfHook));
    args.addHook("exit", reinterpret_cast<void *>(&exitHook));
    args.addHook("abort", reinterpret_cast<void *>(&abortHook));
}

void setCreating(bool creating) {
    g_creatingThread = creating ? runtimeWords::file::currentThread() : 0;
}

namespace {

constexpr int kNotEnding = INT_MIN;
std::atomic<int> g_endCode{kNotEnding};
std::atomic<unsigned long> g_endingThread{0};
std::atomic<bool> g_told{false}; // the first end's line is in the file
constexpr unsigned long kToldWaitMs = 3000;

// The process ends once, with the first end's code. The runtime calls the hooks again when a
// fault inside one reaches its error handler (on the same thread: ended at once), and an exit
// and an abort can come at the same moment (another thread: its line lands first, bounded,
// then the process ends; the second tells nothing).
void enterEnd(int code) {
    const unsigned long self = runtimeWords::file::currentThread();
    int first = kNotEnding;
    if (g_endCode.compare_exchange_strong(first, code)) {
        g_endingThread = self;
        return;
    }
    if (g_endingThread.load() != self) {
        const unsigned long began = runtimeWords::file::tickMs();
        for (unsigned tries = 0; !g_told && runtimeWords::file::tickMs() - began < kToldWaitMs; ++tries)
            runtimeWords::file::yield(tries > 100);
    }
    endProcess(first);
}

// The runtime gave up inside the creation (seen with an initial heap above the maximum): the
// refusal the user would get had the creation returned. No heap.
void refuseIfCreating() {
    // Only the creating thread waits for the box: an abort on a thread of its own (the runtime's
    // or the application's) ends at once, as any fatal error does.
    if (g_creatingThread.load() == 0 || g_creatingThread.load() != runtimeWords::file::currentThread())
        return;
    char text[2048];
    const std::size_t head = std::strlen(kCreateRefused);
    std::memcpy(text, kCreateRefused, head);
    text[head] = '\n';
    runtimeWords::lastLines(10, text + head + 1, sizeof text - head - 1);
    if (text[head + 1] == '\0')
        text[head] = '\0';
    runtimeWords::appendStamped(text);
    showRefusal(text);
}

} // namespace

void JNICALL exitHook(jint code) {
    enterEnd(static_cast<int>(code));
    char line[128];
    std::snprintf(line, sizeof line, kExitLine, static_cast<int>(code));
    debugTrace("%s", line);
    removeIcon();
    runtimeWords::appendStamped(line);
    g_told = true;
    refuseIfCreating();
    endProcess(static_cast<int>(code));
}

// May run in a thread that is crashing: stack buffers and system calls only, no heap, no
// trace (it allocates), nothing that waits on another thread of ours. Win32 promises nothing
// more: a crash inside the system's own code can leave a lock of the loader or of the file
// system held, and the append or the icon's removal then never returns; nothing here can tell
// that apart from a slow disk. TerminateProcess itself needs no lock.
void JNICALL abortHook() {
    enterEnd(kFatalExitCode);
    removeIcon();
    runtimeWords::appendStamped(kFatalLine);
    g_told = true;
    refuseIfCreating();
    endProcess(kFatalExitCode);
}

} // namespace javaExit
