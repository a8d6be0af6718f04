#include "RuntimeWords.h"

#include "LogSettings.h"
#include "LogWriter.h"
#include "Sync.h"

#include <atomic>
#include <cstring>

namespace runtimeWords {
namespace {

constexpr std::size_t kPathSize = 1024;
char g_path[kPathSize]; // set before the creation, only read afterwards

// The last few kilobytes the runtime wrote, as a ring.
constexpr std::size_t kKeptSize = 4096;
char g_kept[kKeptSize];
std::size_t g_keptEnd = 0; // total bytes ever kept; the ring holds the last kKeptSize
std::size_t g_inView = 0;  // where the words in view begin, counted as g_keptEnd
std::atomic_flag g_keptBusy = ATOMIC_FLAG_INIT;

// A few turns, then without: a thread that must not wait (one the runtime is failing in)
// gives up before a holder that was stopped mid-copy could hold it up.
class KeptTurn {
  public:
    explicit KeptTurn(int tries) {
        for (int i = 0; i < tries && !held_; ++i) {
            held_ = !g_keptBusy.test_and_set(std::memory_order_acquire);
            if (!held_)
                sleepFor(std::chrono::milliseconds(0));
        }
    }
    ~KeptTurn() {
        if (held_)
            g_keptBusy.clear(std::memory_order_release);
    }
    KeptTurn(const KeptTurn &) = delete;
    KeptTurn &operator=(const KeptTurn &) = delete;
    bool held() const { return held_; }

  private:
    bool held_ = false;
};

void keep(const char *text, std::size_t size) {
    KeptTurn turn(1000);
    if (!turn.held())
        return;
    for (std::size_t i = 0; i < size; ++i)
        g_kept[(g_keptEnd + i) % kKeptSize] = text[i];
    g_keptEnd += size;
}

} // namespace

void setFile(const std::string &path) {
    std::size_t n = path.size() < kPathSize - 1 ? path.size() : kPathSize - 1;
    std::memcpy(g_path, path.data(), n);
    g_path[n] = '\0';
}

void beginAttempt() {
    KeptTurn turn(1000);
    if (g_keptEnd > g_inView)
        g_inView = g_keptEnd;
}

void lastLines(std::size_t count, char *out, std::size_t size) {
    if (size == 0)
        return;
    out[0] = '\0';
    char copy[kKeptSize];
    std::size_t length;
    {
        KeptTurn turn(50);
        if (!turn.held())
            return;
        length = g_keptEnd - g_inView < kKeptSize ? g_keptEnd - g_inView : kKeptSize;
        for (std::size_t i = 0; i < length; ++i)
            copy[i] = g_kept[(g_keptEnd - length + i) % kKeptSize];
    }
    // From the end backwards: skip line ends, count the lines that hold something.
    std::size_t begin = length, lines = 0;
    std::size_t end = length;
    while (end > 0 && (copy[end - 1] == '\n' || copy[end - 1] == '\r'))
        --end;
    std::size_t i = end;
    while (i > 0 && lines < count) {
        std::size_t lineEnd = i;
        while (i > 0 && copy[i - 1] != '\n')
            --i;
        bool blank = true;
        for (std::size_t k = i; k < lineEnd; ++k)
            blank = blank && (copy[k] == '\r' || copy[k] == ' ' || copy[k] == '\t');
        if (!blank) {
            ++lines;
            begin = i;
        }
        while (i > 0 && (copy[i - 1] == '\n' || copy[i - 1] == '\r'))
            --i;
    }
    if (lines == 0)
        return;
    // Joined with "\n", blank lines and carriage returns left out.
    std::size_t o = 0;
    bool lineHasText = false;
    for (std::size_t k = begin; k < end && o + 1 < size; ++k) {
        char c = copy[k];
        if (c == '\r')
            continue;
        if (c == '\n') {
            if (lineHasText)
                out[o++] = '\n';
            lineHasText = false;
            continue;
        }
        out[o++] = c;
        lineHasText = true;
    }
    while (o > 0 && out[o - 1] == '\n')
        --o;
    out[o] = '\0';
}

std::string lastLines(std::size_t count) {
    char buffer[kKeptSize + 1];
    lastLines(count, buffer, sizeof buffer);
    return buffer;
}

jint JNICALL vfprintfHook(FILE *, const char *format, va_list args) {
    char text[1024];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    if (n < 0)
        return n;
    std::size_t size =
        static_cast<std::size_t>(n) < sizeof text ? static_cast<std::size_t>(n) : sizeof text - 1;
    keep(text, size);
    if (g_path[0]) {
        AppendFile file(g_path);
        file.writeText(text, size);
    }
    return n;
}

void appendStamped(const char *text) {
    if (!g_path[0])
        return;
    char prefix[64];
    formatLogPrefix(systemLocalTime(), prefix, sizeof prefix);
    AppendFile file(g_path);
    file.write(prefix, std::strlen(prefix));
    file.writeText(text, std::strlen(text));
    file.write("\r\n", 2);
}

void AppendFile::writeText(const char *text, std::size_t size) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n' && !(i > 0 ? text[i - 1] == '\r' : lastWasCr_)) {
            write(text + from, i - from);
            write("\r\n", 2);
            from = i + 1;
        }
    }
    write(text + from, size - from);
    if (size > 0)
        lastWasCr_ = text[size - 1] == '\r';
}

} // namespace runtimeWords
