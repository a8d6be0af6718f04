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

// The file stays open from its first write: a verbose runtime writes thousands of lines, and an
// open per line costs a round trip to the system's file server each; the Java side's own
// stream holds the same file open for the whole run anyway. Set under the turn.
std::atomic<std::intptr_t> g_file{file::kClosed};

// The turn of the writers of the file, and the buffers only its holder uses.
std::atomic_flag g_fileBusy = ATOMIC_FLAG_INIT;
std::atomic<unsigned long> g_fileHolder{0};
constexpr std::size_t kLongest = 32 * 1024; // a longer line is cut
char g_long[kLongest];
char g_out[2 * kLongest + 128]; // every LF may become CR LF; the stamp and the mark
constexpr unsigned long kTurnWaitMs = 2000;

// Bounded: a holder that stays away longer (stopped by a crash, or a fault inside the hook on
// this very thread, which the runtime's error handler answers with more words) does not keep
// the words back; they are then written unguarded.
class FileTurn {
  public:
    FileTurn() {
        const unsigned long self = file::currentThread();
        if (g_fileHolder.load() == self)
            return; // re-entered from inside a write of this thread
        const unsigned long began = file::tickMs();
        for (unsigned tries = 0;; ++tries) {
            if (!g_fileBusy.test_and_set(std::memory_order_acquire)) {
                held_ = true;
                g_fileHolder = self;
                return;
            }
            if (file::tickMs() - began >= kTurnWaitMs)
                return;
            file::yield(tries > 100);
        }
    }
    ~FileTurn() {
        if (held_) {
            g_fileHolder = 0;
            g_fileBusy.clear(std::memory_order_release);
        }
    }
    FileTurn(const FileTurn &) = delete;
    FileTurn &operator=(const FileTurn &) = delete;
    bool held() const { return held_; }

  private:
    bool held_ = false;
};

constexpr char kCutMark[] = " [...]\r\n";

// `text` into `out`, each LF not preceded by CR as CR LF. A text that does not fit, or that
// was cut before (`cut` in), ends with the mark, which ends its line (`cut` out). Returns the
// bytes in out.
std::size_t toCrLf(const char *text, std::size_t size, bool &cut, char *out, std::size_t room) {
    const std::size_t limit = room - (sizeof kCutMark - 1);
    std::size_t o = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const bool bare = text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
        if (o + (bare ? 2 : 1) > limit) {
            cut = true;
            break;
        }
        if (bare)
            out[o++] = '\r';
        out[o++] = text[i];
    }
    if (cut) {
        std::memcpy(out + o, kCutMark, sizeof kCutMark - 1);
        o += sizeof kCutMark - 1;
    }
    return o;
}

// One write of the converted text, after `prefix` and before `suffix`, at the file's end.
void writeWhole(const FileTurn &turn, const char *prefix, const char *text, std::size_t size, bool cut,
                const char *suffix) {
    if (!g_path[0])
        return;
    char small[2048]; // without the turn the shared buffer is not ours
    char *out = turn.held() ? g_out : small;
    const std::size_t room = turn.held() ? sizeof g_out : sizeof small;
    const std::size_t head = std::strlen(prefix), tail = std::strlen(suffix);
    if (head + tail + sizeof kCutMark >= room)
        return;
    std::memcpy(out, prefix, head);
    std::size_t n = head + toCrLf(text, size, cut, out + head, room - head - tail);
    if (!cut) { // the mark has ended the line already
        std::memcpy(out + n, suffix, tail);
        n += tail;
    }
    std::intptr_t handle = g_file;
    if (handle == file::kClosed) {
        handle = file::open(g_path);
        if (turn.held())
            g_file = handle;
    }
    file::append(handle, out, n);
    if (!turn.held() && handle != g_file)
        file::close(handle);
}

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
    FileTurn turn;
    const std::intptr_t open = g_file.exchange(file::kClosed);
    if (open != file::kClosed)
        file::close(open);
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
    // Most lines fit on the stack; a longer one is formatted again into the turn's buffer.
    char first[1024];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(first, sizeof first, format, copy);
    va_end(copy);
    if (n < 0)
        return n;
    const std::size_t whole = static_cast<std::size_t>(n);
    FileTurn turn;
    const char *text = first;
    std::size_t size = whole < sizeof first ? whole : sizeof first - 1;
    if (size < whole && turn.held()) {
        va_copy(copy, args);
        std::vsnprintf(g_long, sizeof g_long, format, copy);
        va_end(copy);
        text = g_long;
        size = whole < sizeof g_long ? whole : sizeof g_long - 1;
    }
    keep(text, size);
    writeWhole(turn, "", text, size, size < whole, "");
    return n;
}

void appendStamped(const char *text) {
    char prefix[64];
    formatLogPrefix(systemLocalTime(), prefix, sizeof prefix);
    FileTurn turn;
    writeWhole(turn, prefix, text, std::strlen(text), false, "\r\n");
}

} // namespace runtimeWords
