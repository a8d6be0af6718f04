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
std::size_t g_attempt = 0; // where the current attempt's words begin, counted as g_keptEnd
std::size_t g_spoke = 0;   // where the last attempt before it that said anything began
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
    if (g_keptEnd > g_attempt)
        g_spoke = g_attempt;
    g_attempt = g_keptEnd;
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
        const std::size_t inView = g_keptEnd > g_attempt ? g_attempt : g_spoke;
        length = g_keptEnd - inView < kKeptSize ? g_keptEnd - inView : kKeptSize;
        for (std::size_t i = 0; i < length; ++i)
            copy[i] = g_kept[(g_keptEnd - length + i) % kKeptSize];
    }
    // The last lines that hold more than blanks, found from the end, without their CR.
    constexpr std::size_t kMost = 32;
    std::size_t begins[kMost], ends[kMost], found = 0;
    std::size_t end = length;
    while (end > 0 && found < count && found < kMost) {
        std::size_t begin = end;
        while (begin > 0 && copy[begin - 1] != '\n')
            --begin;
        std::size_t stop = end;
        while (stop > begin && copy[stop - 1] == '\r')
            --stop;
        bool blank = true;
        for (std::size_t k = begin; k < stop && blank; ++k)
            blank = copy[k] == ' ' || copy[k] == '\t';
        if (!blank) {
            begins[found] = begin;
            ends[found] = stop;
            ++found;
        }
        end = begin > 0 ? begin - 1 : 0;
    }
    std::size_t o = 0;
    for (std::size_t n = found; n-- > 0;) {
        for (std::size_t k = begins[n]; k < ends[n] && o + 1 < size; ++k)
            out[o++] = copy[k];
        if (n > 0 && o + 1 < size)
            out[o++] = '\n';
    }
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
