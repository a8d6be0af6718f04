#include "JavaExitHooks.h"

#include "DebugTrace.h"
#include "RuntimeWords.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace javaExit {
namespace {
std::atomic<bool> g_creating{false};
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
    g_creating = creating;
}

namespace {

// The runtime gave up inside the creation (seen with an initial heap above the maximum): the
// refusal the user would otherwise get after the attempts, at once. No heap.
void refuseIfCreating() {
    if (!g_creating)
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
    char line[128];
    std::snprintf(line, sizeof line, kExitLine, static_cast<int>(code));
    debugTrace("%s", line);
    removeIcon();
    runtimeWords::appendStamped(line);
    refuseIfCreating();
    endProcess(static_cast<int>(code));
}

// May run in a thread that is crashing: stack buffers and system calls only, no heap, no
// trace (it allocates), nothing that waits on another thread of ours. Win32 promises nothing
// more: a crash inside the system's own code can leave a lock of the loader or of the file
// system held, and the append or the icon's removal then never returns; nothing here can tell
// that apart from a slow disk. TerminateProcess itself needs no lock.
void JNICALL abortHook() {
    removeIcon();
    runtimeWords::appendStamped(kFatalLine);
    refuseIfCreating();
    endProcess(kFatalExitCode);
}

} // namespace javaExit
