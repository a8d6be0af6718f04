// The cost of one line of the runtime's words through the vfprintf hook, as a verbose runtime
// writes them, against the same line written by opening, appending and closing the file for
// each call. Prints figures; not a test. Run by scripts/bench-runtime-words.sh.
//   qv_words_bench <folder> [lines]
#include "RuntimeWords.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

jint say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    jint n = runtimeWords::vfprintfHook(stderr, format, args);
    va_end(args);
    return n;
}

double seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// What a line cost when each call opened the file, appended and closed it.
void openPerLine(const std::string &path, const char *line) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(h);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_words_bench <folder> [lines]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int lines = argc > 2 ? std::atoi(argv[2]) : 20000;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string held = folder + "\\held.log", perLine = folder + "\\perline.log";
    DeleteFileA(held.c_str());
    DeleteFileA(perLine.c_str());

    runtimeWords::setFile(held);
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < lines; ++i)
        say("[Loaded java.lang.invoke.LambdaForm$MH/0x%08x source: __JVM_LookupDefineClass__]\n", i);
    QueryPerformanceCounter(&b);
    runtimeWords::setFile("");
    const double hook = seconds(a, b);

    char line[128];
    QueryPerformanceCounter(&a);
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line,
                      "[Loaded java.lang.invoke.LambdaForm$MH/0x%08x source: __JVM_LookupDefineClass__]\r\n",
                      i);
        openPerLine(perLine, line);
    }
    QueryPerformanceCounter(&b);
    const double open = seconds(a, b);

    std::printf("%d lines\n", lines);
    std::printf("hook (file held open, one write a line): %.1f us a line, %.2f s in all\n",
                hook * 1e6 / lines, hook);
    std::printf("opened, appended and closed for each line: %.1f us a line, %.2f s in all\n",
                open * 1e6 / lines, open);
    return 0;
}
