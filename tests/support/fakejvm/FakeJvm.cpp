// Stand-in for the Java runtime's jvm.dll, for the Windows tests under Wine. It plays a
// scripted Java side and records every call. It is test-only and never ships.
//
// Files. The script is read at JNI_CreateJavaVM and the record is appended to, line by line:
//   script: %QV_FAKEJVM_SCRIPT% if set, else jvm.script beside this dll
//   record: %QV_FAKEJVM_RECORD% if set, else jvm.record beside this dll
// Tests that use the files beside the dll share them and must run serially; tests that set
// the variables (inherited by programs they start) may run in parallel. A missing script
// means: creation succeeds, StartQuorvel answers 0, every other application class is missing.
//
// Script, one directive a line, '#' starts a comment, times in ms ("ms" suffix optional),
// class names with dots or slashes, times of "on" lines counted from the start of that main:
//   create fail <code>              JNI_CreateJavaVM returns <code> (negative), no VM
//   create delay <ms>               the creation takes that long
//   create says <text>              during the creation, "<text>\n" goes through the program's
//                                   vfprintf hook (several lines: in order)
//   create abort                    after the says lines, the creation calls the abort hook, as
//                                   the real runtime does on a fatal error there
//   create abort elsewhere [after <ms>]   after the says lines, a thread of the stand-in calls the
//                                   abort hook (after that time) while the creation waits; with
//                                   "create abort" too, the creating thread's abort comes first
//   refuse <option> <code> <text>   the creation reads its options in order, as the real runtime
//                                   does, and refuses that option (exact text): "<text>\n" goes
//                                   through the vfprintf hook when that hook came before the
//                                   option, else to the stand-in's standard error (which a GUI
//                                   program does not have); the creation then returns <code>
//   A creation after one that failed returns JNI_ERR at once, as the real runtime does.
//   destroy delay <ms>              DestroyJavaVM blocks that long (non-daemon threads)
//   registerNatives fail            RegisterNatives returns -1
//   missing <class>                 FindClass fails for it (system classes and StartQuorvel too)
//   status <code> at <ms>[, <code> at <ms>]...   getTomcatStatus timeline from the creation
//   status blocks <ms> at <ms>      the first getTomcatStatus called at or after that time
//                                   (from the creation) takes that long to answer
//   main <class> returns [after <ms>]   main returns (after a while)
//   main <class> blocks             main blocks until DestroyJavaVM, then hangs like a frozen thread
//   main <class> forever            main never returns
//   main <class> throws <exception class>   main throws
//   main <class> nomain             the class exists but has no main
//   on <class> status <code> at <ms>[, ...]      when that main begins, status changes later
//   on <class> informarStatus <code> at <ms>[, ...]  when that main begins, a thread of the
//                                   stand-in calls the native informarStatus (I)V registered
//                                   on that class (or any class) with each code at its time
//   on <class> print <text>         that main writes a line to the redirected standard output
//   on <class> printerr <text>      ... to the redirected standard error
//   on <class> says <text>          when that main begins, "<text>\n" goes through the vfprintf
//                                   hook on the main's thread
//   on <class> exit <code> at <ms>  when that main begins, a thread of the stand-in calls the exit
//                                   hook with that code at that time (System.exit)
//   on <class> abort at <ms>        when that main begins, a thread of its own calls the abort
//                                   hook at that time (a fatal error); the threads of several
//                                   such lines with the same time meet first and call it at once
//   on <class> window at <ms> for <ms>   when that main begins, a thread of the stand-in shows
//                                   a visible top-level window (a dialog of the program) at
//                                   that time and closes it after the given time; DestroyJavaVM
//                                   waits for it to close, as the real one waits for the
//                                   program's window threads
// The hooks are the options "vfprintf", "exit" and "abort" with the function in extraInfo. A
// directive whose hook the program did not pass records an ERROR and then does what the real
// runtime does without it: nothing for vfprintf, the process ends with the code (exit) or 3
// (abort). So does a hook that returns where it must not.
//
// Record: "<GetTickCount ms> <thread id> <event> [details]", one line per call, written at once.
//   JNI_CreateJavaVM version=0x10004 options=<n> ignoreUnrecognized=<0|1>
//   option <text>                   one per option, in order
//   refused <option> words=hook|stderr   the refusal of a "refuse" line, and where its words went
//   hook vfprintf|exit|abort set|null   a hook option (not listed as "option")
//   vfprintf hook returned <rc>     after each call of it
//   exit <code>, abort              the stand-in calling that hook
//   JNI_CreateJavaVM result=<rc>
//   AttachCurrentThreadAsDaemon name=<name|null> version=<v> group=<null|set> result=<rc>
//   AttachCurrentThread ..., DetachCurrentThread, GetEnv version=<v> result=<rc>
//   FindClass <name as given> found|missing
//   GetStaticMethodID|GetMethodID <class> <name> <signature> found|missing
//   NewStringUTF <text>, NewObjectArray <length> <class>, SetObjectArrayElement <i> <text>
//   NewObject java/io/FileOutputStream path=<path> append=<0|1> ok|failed
//   NewObject java/io/PrintStream ok
//   setOut <path>, setErr <path>    System.setOut/setErr with a stream over that file
//   main begin <class> args=<n> [<arg>]...
//   main end <class> returned|threw <exception>
//   main hangs <class>              (a blocked main after DestroyJavaVM)
//   CallStaticIntMethod <class> <name><signature> = <value>
//   ExceptionCheck = <0|1>, ExceptionOccurred <class|none>, ExceptionClear <class|none>,
//   ExceptionDescribe <class|none>
//   DeleteLocalRef <class|string|array|object> <text>
//   RegisterNatives <class> <name> <signature> result=<rc>, UnregisterNatives <class>
//   informarStatus <code>           the stand-in calling the registered native
//   window shown visible|failed, window closed   the scripted window
//   DestroyJavaVM begin, DestroyJavaVM end
//   unload FreeLibrary|process-exit inside=<threads still running stand-in code>
//   ERROR <what>                    a misuse: a call with an exception pending, a call after
//                                   DestroyJavaVM (the thread then hangs, as on the real
//                                   runtime), an unload with threads inside, a bad script line,
//                                   a missing hook or one that returned, a vfprintf hook that is
//                                   not JNICALL (seen by 32-bit builds only)
//   unimplemented <name>            then the process ends with exit code 0xDEAD
#define _JNI_IMPLEMENTATION_
#include <windows.h>

#include <jni.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#if defined(__i386__)
// Calls a vfprintf hook and answers whether it removed its three arguments from the stack, as a
// __stdcall function does; a __cdecl one leaves them, and the caller would run on with its stack
// 12 bytes off. ESP is kept in ESI, which both conventions preserve, and put back either way.
//   int fjProbeVfprintf(void *hook, FILE *, const char *format, va_list, jint *result)
extern "C" int fjProbeVfprintf(void *, FILE *, const char *, va_list, jint *);
asm(R"(
    .text
    .globl _fjProbeVfprintf
_fjProbeVfprintf:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl %esp, %esi
    pushl 20(%ebp)
    pushl 16(%ebp)
    pushl 12(%ebp)
    call *8(%ebp)
    movl 24(%ebp), %ecx
    movl %eax, (%ecx)
    xorl %eax, %eax
    cmpl %esi, %esp
    sete %al
    movl %esi, %esp
    popl %esi
    popl %ebp
    ret
)");
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// Record

HMODULE g_module = nullptr;
std::mutex g_recordMutex;
HANDLE g_record = INVALID_HANDLE_VALUE;
HANDLE g_recordTurn = nullptr; // see AppendTurn

std::string besideDll(const char *fileName) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(g_module, path, MAX_PATH);
    std::string p = path;
    std::size_t slash = p.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + fileName;
}

std::string fileFromEnvironment(const char *variable, const char *fileName) {
    char value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA(variable, value, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        return value;
    return besideDll(fileName);
}

std::string turnNameFor(const std::string &path) {
    char full[MAX_PATH] = {};
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    std::string p = n > 0 && n < MAX_PATH ? full : path;
    CharUpperBuffA(&p[0], static_cast<DWORD>(p.size()));
    unsigned long hash = 2166136261ul; // FNV-1a: an object name may hold no backslash before 2000
    for (unsigned char c : p)
        hash = ((hash ^ c) * 16777619ul) & 0xFFFFFFFFul;
    char name[64];
    std::snprintf(name, sizeof name, "qv-fakejvm-record-%08lx", hash);
    return name;
}

HANDLE turnMutexFor(const std::string &path) {
    return CreateMutexA(nullptr, FALSE, turnNameFor(path).c_str());
}

// Writers of one file (two launchers sharing a record, two threads sharing an output file) take
// turns through a mutex named after it: Wine appends by finding the end and then writing there,
// so two appends at once can land on the same place and one line is lost. A holder that died
// leaves the mutex abandoned, which still hands it over; the bound only keeps a wedged writer
// from stopping the others for good.
class AppendTurn {
  public:
    AppendTurn(HANDLE mutex, DWORD boundMs)
        : mutex_(mutex), wait_(mutex ? WaitForSingleObject(mutex, boundMs) : WAIT_FAILED) {}
    ~AppendTurn() {
        if (wait_ == WAIT_OBJECT_0 || wait_ == WAIT_ABANDONED)
            ReleaseMutex(mutex_);
    }
    AppendTurn(const AppendTurn &) = delete;
    AppendTurn &operator=(const AppendTurn &) = delete;

  private:
    HANDLE mutex_;
    DWORD wait_;
};

void writeRecord(bool mayWait, const char *format, va_list args) {
    char text[4096];
    std::vsnprintf(text, sizeof text, format, args);
    char line[4200];
    int n = std::snprintf(line, sizeof line, "%lu %lu %s\n", static_cast<unsigned long>(GetTickCount()),
                          static_cast<unsigned long>(GetCurrentThreadId()), text);
    if (n < 0)
        return;
    if (n >= static_cast<int>(sizeof line))
        n = sizeof line - 1;
    // At process exit the other threads are gone, possibly holding the lock: do not wait then.
    std::unique_lock<std::mutex> lock(g_recordMutex, std::defer_lock);
    if (mayWait)
        lock.lock();
    else if (!lock.try_lock())
        return;
    if (g_record == INVALID_HANDLE_VALUE) {
        std::string path = fileFromEnvironment("QV_FAKEJVM_RECORD", "jvm.record");
        g_record = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        g_recordTurn = turnMutexFor(path);
    }
    if (g_record == INVALID_HANDLE_VALUE)
        return;
    AppendTurn turn(g_recordTurn, mayWait ? 30000 : 5000);
    DWORD written = 0;
    WriteFile(g_record, line, static_cast<DWORD>(n), &written, nullptr); // unbuffered: on disk at once
}

void rec(const char *format, ...) {
    va_list args;
    va_start(args, format);
    writeRecord(true, format, args);
    va_end(args);
}

void recNoWait(const char *format, ...) {
    va_list args;
    va_start(args, format);
    writeRecord(false, format, args);
    va_end(args);
}

void appendLine(const std::string &path, const std::string &text) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string line = text + "\r\n";
    HANDLE mutex = turnMutexFor(path);
    {
        AppendTurn turn(mutex, 30000);
        DWORD written = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    if (mutex)
        CloseHandle(mutex);
    CloseHandle(h);
}

// ---------------------------------------------------------------------------------------------
// Script

using Timeline = std::vector<std::pair<DWORD, int>>; // (ms, code)

struct MainScript {
    enum Kind { Returns, Blocks, Forever, Throws, NoMain } kind = Returns;
    DWORD ms = 0;
    std::string exception;
};

struct OnMain {
    Timeline status;
    Timeline informar;
    std::vector<std::string> prints;
    std::vector<std::string> printErrs;
    std::vector<std::pair<DWORD, DWORD>> windows; // (at, for) in ms
    std::vector<std::string> says;
    Timeline exits;
    std::vector<DWORD> aborts;
};

struct Refusal {
    std::string option;
    jint code = JNI_ERR;
    std::string text;
};

struct Script {
    bool createFails = false;
    jint createCode = JNI_ERR;
    DWORD createDelay = 0;
    std::vector<std::string> createSays;
    bool createAbort = false;
    bool createAbortElsewhere = false;
    DWORD createAbortElsewhereAfter = 0;
    std::vector<Refusal> refusals;
    DWORD destroyDelay = 0;
    bool registerFails = false;
    std::set<std::string> missing;
    std::map<std::string, MainScript> mains;
    std::map<std::string, OnMain> on;
    Timeline status;
    DWORD statusBlocksFor = 0;
    DWORD statusBlocksAt = 0;
};

std::string slashes(std::string name) {
    // Descriptor form "Lpkg/Name;" is accepted as old runtimes did.
    if (name.size() > 2 && name.front() == 'L' && name.back() == ';')
        name = name.substr(1, name.size() - 2);
    for (char &c : name)
        if (c == '.')
            c = '/';
    return name;
}

bool parseMs(const std::string &token, DWORD &ms) {
    std::string t = token;
    if (t.size() > 2 && t.compare(t.size() - 2, 2, "ms") == 0)
        t.resize(t.size() - 2);
    if (t.empty())
        return false;
    char *end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 10);
    if (*end)
        return false;
    ms = static_cast<DWORD>(v);
    return true;
}

bool parseInt(const std::string &token, int &value) {
    char *end = nullptr;
    long v = std::strtol(token.c_str(), &end, 10);
    if (token.empty() || *end)
        return false;
    value = static_cast<int>(v);
    return true;
}

// "<code> at <ms>[, <code> at <ms>]..." ("after" works as "at").
bool parseTimeline(std::istringstream &in, Timeline &out) {
    std::string rest, part;
    std::getline(in, rest);
    std::istringstream parts(rest);
    bool any = false;
    while (std::getline(parts, part, ',')) {
        std::istringstream words(part);
        std::string code, at, ms;
        if (!(words >> code >> at >> ms) || (at != "at" && at != "after"))
            return false;
        std::pair<DWORD, int> entry;
        if (!parseInt(code, entry.second) || !parseMs(ms, entry.first))
            return false;
        out.push_back(entry);
        any = true;
    }
    return any;
}

std::string restOfLine(std::istringstream &in) {
    std::string rest;
    std::getline(in, rest);
    std::size_t start = rest.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : rest.substr(start);
}

bool parseLine(const std::string &line, Script &s) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word))
        return true;
    if (word == "create") {
        std::string what, value;
        in >> what;
        if (what == "says") {
            s.createSays.push_back(restOfLine(in));
            return true;
        }
        if (what == "abort") {
            if (!(in >> value)) {
                s.createAbort = true;
                return true;
            }
            std::string after, ms;
            if (value != "elsewhere" ||
                ((in >> after >> ms) && (after != "after" || !parseMs(ms, s.createAbortElsewhereAfter))))
                return false;
            s.createAbortElsewhere = true;
            return true;
        }
        in >> value;
        if (what == "fail") {
            int code = JNI_ERR;
            if (!value.empty() && !parseInt(value, code))
                return false;
            s.createFails = true;
            s.createCode = code;
            return true;
        }
        return what == "delay" && parseMs(value, s.createDelay);
    }
    if (word == "refuse") {
        Refusal r;
        std::string code;
        int value = 0;
        if (!(in >> r.option >> code) || !parseInt(code, value))
            return false;
        r.code = value;
        r.text = restOfLine(in);
        s.refusals.push_back(r);
        return true;
    }
    if (word == "destroy") {
        std::string what, value;
        in >> what >> value;
        return what == "delay" && parseMs(value, s.destroyDelay);
    }
    if (word == "registerNatives") {
        std::string what;
        in >> what;
        s.registerFails = what == "fail";
        return s.registerFails;
    }
    if (word == "missing") {
        std::string cls;
        in >> cls;
        s.missing.insert(slashes(cls));
        return !cls.empty();
    }
    if (word == "status") {
        if (in.peek() == ' ')
            in.get();
        if (in.peek() == 'b') {
            std::string blocks, ms, at, from;
            in >> blocks >> ms >> at >> from;
            return blocks == "blocks" && at == "at" && parseMs(ms, s.statusBlocksFor) &&
                   parseMs(from, s.statusBlocksAt);
        }
        return parseTimeline(in, s.status);
    }
    if (word == "main") {
        std::string cls, kind;
        in >> cls >> kind;
        MainScript m;
        if (kind == "returns") {
            std::string after, ms;
            if (in >> after >> ms) {
                if (after != "after" || !parseMs(ms, m.ms))
                    return false;
            }
        } else if (kind == "blocks") {
            m.kind = MainScript::Blocks;
        } else if (kind == "forever") {
            m.kind = MainScript::Forever;
        } else if (kind == "throws") {
            m.kind = MainScript::Throws;
            in >> m.exception;
            m.exception = slashes(m.exception.empty() ? "java/lang/RuntimeException" : m.exception);
        } else if (kind == "nomain") {
            m.kind = MainScript::NoMain;
        } else {
            return false;
        }
        s.mains[slashes(cls)] = m;
        return !cls.empty();
    }
    if (word == "on") {
        std::string cls, what;
        in >> cls >> what;
        OnMain &on = s.on[slashes(cls)];
        if (what == "status")
            return parseTimeline(in, on.status);
        if (what == "informarStatus")
            return parseTimeline(in, on.informar);
        if (what == "print") {
            on.prints.push_back(restOfLine(in));
            return true;
        }
        if (what == "printerr") {
            on.printErrs.push_back(restOfLine(in));
            return true;
        }
        if (what == "says") {
            on.says.push_back(restOfLine(in));
            return true;
        }
        if (what == "exit")
            return parseTimeline(in, on.exits);
        if (what == "abort") {
            std::string at, ms;
            DWORD t = 0;
            if (!(in >> at >> ms) || at != "at" || !parseMs(ms, t))
                return false;
            on.aborts.push_back(t);
            return true;
        }
        if (what == "window") {
            std::string at, atMs, forWord, forMs;
            std::pair<DWORD, DWORD> w;
            if (!(in >> at >> atMs >> forWord >> forMs) || at != "at" || forWord != "for" ||
                !parseMs(atMs, w.first) || !parseMs(forMs, w.second))
                return false;
            on.windows.push_back(w);
            return true;
        }
        return false;
    }
    return false;
}

Script loadScript() {
    Script s;
    std::string path = fileFromEnvironment("QV_FAKEJVM_SCRIPT", "jvm.script");
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        rec("script %s absent", path.c_str());
        return s;
    }
    rec("script %s", path.c_str());
    char buffer[2048];
    int number = 0;
    while (std::fgets(buffer, sizeof buffer, f)) {
        ++number;
        std::string line = buffer;
        std::size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!parseLine(line, s))
            rec("ERROR script line %d: %s", number, line.c_str());
    }
    std::fclose(f);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Java side

const char *const kStatusClass = "halvane/nerel/commonLib/startup/StartQuorvel";
const char *const kSystemClasses[] = {"java/lang/Object",     "java/lang/String",
                                      "java/lang/System",     "java/lang/Class",
                                      "java/lang/Throwable",  "java/lang/Thread",
                                      "java/io/OutputStream", "java/io/FileOutputStream",
                                      "java/io/PrintStream",  "java/io/FileNotFoundException"};

struct Obj {
    enum Kind { Class, String, Array, FileStream, PrintStream, Throwable, Other } kind = Other;
    std::string text; // class name, string bytes, file path, throwable class
    std::string message;
    bool append = false;
    Obj *inner = nullptr; // PrintStream: its FileStream
    std::vector<Obj *> elements;
    bool deleted = false;
};

struct Method {
    std::string cls, name, sig;
    bool isStatic = false;
};

struct ThreadState;

struct FakeEnv {
    const JNINativeInterface_ *functions; // must be first: JNIEnv is a pointer to this
    ThreadState *ts;
};

struct ThreadState {
    FakeEnv env{};
    DWORD tid = 0;
    std::string name;
    Obj *pending = nullptr;
};

struct NativeEntry {
    std::string name, sig;
    void *fn;
};

JNINativeInterface_ g_functions;
JNIInvokeInterface_ g_invoke;
JavaVM_ g_vm{&g_invoke};

std::mutex g_mutex; // guards everything below
Script g_script;
bool g_created = false;
bool g_failedOnce = false; // a creation was refused: every later one is
bool g_destroyed = false;
DWORD g_destroyer = 0;
DWORD g_createdAt = 0;
HANDLE g_destroyedEvent = nullptr;
std::deque<Obj> g_objects;
std::map<std::string, std::unique_ptr<Method>> g_methods;
std::map<DWORD, std::unique_ptr<ThreadState>> g_threads;
std::vector<std::unique_ptr<ThreadState>> g_detached; // kept: a stale env must not reach freed memory
std::vector<std::pair<DWORD, int>> g_statusEvents;    // (absolute tick, code)
std::map<std::string, std::vector<NativeEntry>> g_natives;
std::string g_outPath, g_errPath;
std::vector<HANDLE> g_monitors;
std::vector<HANDLE> g_windowThreads;
LONG g_inside = 0; // threads running stand-in code that may outlive a call (mains, monitors)

struct Hooks {
    void *vfprintf = nullptr;
    void *exit = nullptr;
    void *abort = nullptr;
};
Hooks g_hooks; // of the creation that made the machine, or of the last one that failed

ThreadState *stateOf(JNIEnv *env) {
    return reinterpret_cast<FakeEnv *>(env)->ts;
}

// Freezes the calling thread as the real runtime freezes its threads at the destroy. Callers
// hold no lock. `counted`: the thread is already counted as inside.
[[noreturn]] void hang(const std::string &why, bool counted) {
    rec("%s", why.c_str());
    if (!counted)
        InterlockedIncrement(&g_inside);
    for (;;)
        Sleep(INFINITE);
}

Obj *newObj(Obj::Kind kind, const std::string &text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_objects.emplace_back();
    Obj *o = &g_objects.back();
    o->kind = kind;
    o->text = text;
    return o;
}

Obj *obj(jobject ref) {
    return reinterpret_cast<Obj *>(ref);
}

std::string describe(jobject ref) {
    Obj *o = obj(ref);
    if (!o)
        return "null";
    static const char *const kinds[] = {"class",       "string",    "array", "file",
                                        "printstream", "throwable", "object"};
    return std::string(kinds[o->kind]) + " " + o->text;
}

// Every call goes through here first: a call on a destroyed machine hangs (the real runtime
// does so), and a call with an exception pending is a misuse that tests look for.
void enter(JNIEnv *env, const char *name, bool allowedWithException = false) {
    bool destroyed;
    DWORD destroyer;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        destroyed = g_destroyed;
        destroyer = g_destroyer;
    }
    if (destroyed) {
        rec("ERROR %s after DestroyJavaVM", name);
        if (GetCurrentThreadId() != destroyer)
            hang(std::string("thread hangs: ") + name + " after DestroyJavaVM", false);
    }
    if (!allowedWithException && stateOf(env)->pending)
        rec("ERROR %s called with an exception pending (%s)", name, stateOf(env)->pending->text.c_str());
}

void throwNew(JNIEnv *env, const char *cls, const std::string &message) {
    Obj *t = newObj(Obj::Throwable, cls);
    t->message = message;
    stateOf(env)->pending = t;
}

bool classExists(const std::string &name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (name.empty() || g_script.missing.count(name))
        return false;
    for (const char *c : kSystemClasses)
        if (name == c)
            return true;
    return name == kStatusClass || g_script.mains.count(name) > 0;
}

bool methodExists(const std::string &cls, const std::string &name, const std::string &sig, bool isStatic) {
    if (cls == "java/lang/System")
        return isStatic && (name == "setOut" || name == "setErr") && sig == "(Ljava/io/PrintStream;)V";
    if (cls == "java/io/FileOutputStream")
        return !isStatic && name == "<init>" &&
               (sig == "(Ljava/lang/String;Z)V" || sig == "(Ljava/lang/String;)V");
    if (cls == "java/io/PrintStream")
        return !isStatic && name == "<init>" &&
               (sig == "(Ljava/io/OutputStream;)V" || sig == "(Ljava/io/OutputStream;Z)V");
    if (cls == kStatusClass && name == "getTomcatStatus")
        return isStatic && sig == "()I";
    std::lock_guard<std::mutex> lock(g_mutex);
    auto m = g_script.mains.find(cls);
    return m != g_script.mains.end() && m->second.kind != MainScript::NoMain && isStatic && name == "main" &&
           sig == "([Ljava/lang/String;)V";
}

Method *internMethod(const std::string &cls, const std::string &name, const std::string &sig, bool isStatic) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string key = cls + " " + name + " " + sig + (isStatic ? " static" : "");
    auto &slot = g_methods[key];
    if (!slot)
        slot.reset(new Method{cls, name, sig, isStatic});
    return slot.get();
}

// A status method that waits (a lock the starting thread holds, a collection pause).
void blockStatusOnce() {
    static std::atomic<bool> done{false};
    if (!g_script.statusBlocksFor ||
        static_cast<LONG>(GetTickCount() - (g_createdAt + g_script.statusBlocksAt)) < 0 ||
        done.exchange(true))
        return;
    rec("getTomcatStatus blocks %lu", static_cast<unsigned long>(g_script.statusBlocksFor));
    Sleep(g_script.statusBlocksFor);
    rec("getTomcatStatus unblocks");
}

int currentStatus() {
    std::lock_guard<std::mutex> lock(g_mutex);
    DWORD now = GetTickCount();
    int value = 0;
    DWORD best = 0;
    bool found = false;
    for (const auto &e : g_statusEvents) {
        if (static_cast<LONG>(now - e.first) >= 0 && (!found || static_cast<LONG>(e.first - best) >= 0)) {
            best = e.first;
            value = e.second;
            found = true;
        }
    }
    return value;
}

// Waits until the tick, or returns false when the machine is destroyed first.
bool waitUntil(DWORD tick) {
    for (;;) {
        LONG left = static_cast<LONG>(tick - GetTickCount());
        if (left <= 0)
            return true;
        if (WaitForSingleObject(g_destroyedEvent, static_cast<DWORD>(left)) == WAIT_OBJECT_0)
            return false;
    }
}

JNIEnv *attachState(const std::string &name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto &slot = g_threads[GetCurrentThreadId()];
    if (!slot) {
        slot.reset(new ThreadState);
        slot->env.functions = &g_functions;
        slot->env.ts = slot.get();
        slot->tid = GetCurrentThreadId();
        slot->name = name;
    }
    return reinterpret_cast<JNIEnv *>(&slot->env);
}

struct MonitorArgs {
    std::string cls;
    Timeline calls;
    DWORD start;
};

DWORD WINAPI monitorThread(void *p) {
    std::unique_ptr<MonitorArgs> args(static_cast<MonitorArgs *>(p));
    JNIEnv *env = attachState("fakejvm-monitor");
    for (const auto &call : args->calls) {
        if (!waitUntil(args->start + call.first))
            break;
        void *fn = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto own = g_natives.find(args->cls);
            for (auto it = g_natives.begin(); !fn && it != g_natives.end(); ++it) {
                const auto &list = own != g_natives.end() ? own->second : it->second;
                for (const auto &n : list)
                    if (n.name == "informarStatus" && n.sig == "(I)V")
                        fn = n.fn;
            }
        }
        if (!fn) {
            rec("ERROR informarStatus %d: no native registered", call.second);
            continue;
        }
        rec("informarStatus %d", call.second);
        Obj *cls = newObj(Obj::Class, args->cls);
        reinterpret_cast<void(JNICALL *)(JNIEnv *, jclass, jint)>(fn)(env, reinterpret_cast<jclass>(cls),
                                                                      call.second);
    }
    InterlockedDecrement(&g_inside);
    return 0;
}

using VfprintfHook = jint(JNICALL *)(FILE *, const char *, va_list);
using ExitHook = void(JNICALL *)(jint);
using AbortHook = void(JNICALL *)();

Hooks currentHooks() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_hooks;
}

// The runtime formats its own messages through the hook, so the text goes as an argument: a
// hook that wrote the format itself would write "%s".
bool callVfprintf(void *hook, jint *result, const char *format, ...) {
    va_list args;
    va_start(args, format);
#if defined(__i386__)
    bool popped = fjProbeVfprintf(hook, stderr, format, args, result) != 0;
#else
    *result = reinterpret_cast<VfprintfHook>(hook)(stderr, format, args);
    bool popped = true;
#endif
    va_end(args);
    return popped;
}

void say(const std::string &text) {
    void *hook = currentHooks().vfprintf;
    if (!hook) {
        rec("ERROR no vfprintf hook");
        return;
    }
    jint result = 0;
    bool jnicall = callVfprintf(hook, &result, "%s\n", text.c_str());
    rec("vfprintf hook returned %ld", static_cast<long>(result));
    if (!jnicall)
        rec("ERROR vfprintf hook is not JNICALL");
}

struct ExitArgs {
    Timeline exits;
    DWORD start;
};

// System.exit on a thread of the Java side. The real runtime ends the process itself when
// there is no hook or the hook returns.
DWORD WINAPI exitThread(void *p) {
    std::unique_ptr<ExitArgs> args(static_cast<ExitArgs *>(p));
    for (const auto &e : args->exits) {
        if (!waitUntil(args->start + e.first))
            break;
        void *hook = currentHooks().exit;
        if (!hook) {
            rec("ERROR no exit hook");
        } else {
            rec("exit %d", e.second);
            reinterpret_cast<ExitHook>(hook)(e.second);
            rec("ERROR exit hook returned");
        }
        ExitProcess(static_cast<UINT>(e.second));
    }
    InterlockedDecrement(&g_inside);
    return 0;
}

// A fatal error, inside the creation or on a thread of the runtime: the real runtime aborts,
// which runs no exit code, 3.
void abortLikeTheRuntime() {
    void *hook = currentHooks().abort;
    if (!hook) {
        rec("ERROR no abort hook");
    } else {
        rec("abort");
        reinterpret_cast<AbortHook>(hook)();
        rec("ERROR abort hook returned");
    }
    TerminateProcess(GetCurrentProcess(), 3);
}

struct AbortArgs {
    DWORD at;
    LONG *meeting; // the threads due at the same time that have not arrived yet
};

// A fatal error on a thread of the runtime. Those due at the same time meet first, so that the
// hook is entered at once from each of them.
DWORD WINAPI abortThread(void *p) {
    std::unique_ptr<AbortArgs> args(static_cast<AbortArgs *>(p));
    if (waitUntil(args->at)) {
        InterlockedDecrement(args->meeting);
        while (*args->meeting > 0)
            Sleep(0);
        abortLikeTheRuntime();
    }
    InterlockedDecrement(&g_inside);
    return 0;
}

struct WindowArgs {
    DWORD shownAt, closedAt;
};

LRESULT CALLBACK windowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcA(h, m, w, l);
}

// A window of the Java program on a thread of its own, pumping its messages while it shows.
DWORD WINAPI windowThread(void *p) {
    std::unique_ptr<WindowArgs> args(static_cast<WindowArgs *>(p));
    for (LONG left; (left = static_cast<LONG>(args->shownAt - GetTickCount())) > 0;)
        Sleep(static_cast<DWORD>(left));
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = g_module;
    wc.lpszClassName = "QvFakeJvmWindow";
    RegisterClassA(&wc); // a second window finds it registered
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "stand-in dialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                10, 200, 100, nullptr, nullptr, g_module, nullptr);
    rec("window shown %s", hwnd && IsWindowVisible(hwnd) ? "visible" : "failed");
    for (LONG left; (left = static_cast<LONG>(args->closedAt - GetTickCount())) > 0;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    if (hwnd)
        DestroyWindow(hwnd);
    rec("window closed");
    InterlockedDecrement(&g_inside);
    return 0;
}

void runMain(JNIEnv *env, const std::string &cls, jobject array) {
    std::string line = "main begin " + cls;
    Obj *a = obj(array);
    line += " args=" + std::to_string(a ? a->elements.size() : 0);
    if (a)
        for (Obj *e : a->elements)
            line += " [" + (e ? e->text : std::string("null")) + "]";
    rec("%s", line.c_str());

    MainScript m;
    OnMain on;
    std::string out, err;
    DWORD start = GetTickCount();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        m = g_script.mains[cls];
        auto it = g_script.on.find(cls);
        if (it != g_script.on.end())
            on = it->second;
        for (const auto &s : on.status)
            g_statusEvents.emplace_back(start + s.first, s.second);
        out = g_outPath;
        err = g_errPath;
    }
    for (const auto &text : on.prints)
        if (!out.empty())
            appendLine(out, text);
    for (const auto &text : on.printErrs)
        if (!err.empty())
            appendLine(err, text);
    for (const auto &text : on.says)
        say(text);
    if (!on.exits.empty()) {
        InterlockedIncrement(&g_inside);
        HANDLE h = CreateThread(nullptr, 0, exitThread, new ExitArgs{on.exits, start}, 0, nullptr);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_monitors.push_back(h);
    }
    static std::map<DWORD, LONG> meetings; // under g_mutex; never erased: threads point in
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (DWORD at : on.aborts) // all counted before any thread starts
            meetings[start + at] = static_cast<LONG>(std::count(on.aborts.begin(), on.aborts.end(), at));
    }
    for (DWORD at : on.aborts) {
        LONG *meeting;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            meeting = &meetings[start + at];
        }
        InterlockedIncrement(&g_inside);
        HANDLE h = CreateThread(nullptr, 0, abortThread, new AbortArgs{start + at, meeting}, 0, nullptr);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_monitors.push_back(h);
    }
    for (const auto &w : on.windows) {
        InterlockedIncrement(&g_inside);
        HANDLE h = CreateThread(nullptr, 0, windowThread,
                                new WindowArgs{start + w.first, start + w.first + w.second}, 0, nullptr);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windowThreads.push_back(h);
    }
    if (!on.informar.empty()) {
        InterlockedIncrement(&g_inside);
        HANDLE h =
            CreateThread(nullptr, 0, monitorThread, new MonitorArgs{cls, on.informar, start}, 0, nullptr);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_monitors.push_back(h);
    }

    InterlockedIncrement(&g_inside);
    switch (m.kind) {
    case MainScript::Returns:
        Sleep(m.ms);
        break;
    case MainScript::Blocks:
        WaitForSingleObject(g_destroyedEvent, INFINITE);
        hang("main hangs " + cls, true);
    case MainScript::Forever:
        hang("main hangs " + cls, true);
    case MainScript::Throws:
        throwNew(env, m.exception.c_str(), "scripted");
        break;
    case MainScript::NoMain:
        break;
    }
    bool destroyed;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        destroyed = g_destroyed;
    }
    if (destroyed) // a main that outlives the machine freezes on its way back
        hang("main hangs " + cls, true);
    InterlockedDecrement(&g_inside);
    if (m.kind == MainScript::Throws)
        rec("main end %s threw %s", cls.c_str(), m.exception.c_str());
    else
        rec("main end %s returned", cls.c_str());
}

// Reads variadic arguments by the method's signature.
std::vector<jvalue> readArgs(const std::string &sig, va_list args) {
    std::vector<jvalue> values;
    std::size_t i = 1;
    while (i < sig.size() && sig[i] != ')') {
        jvalue v{};
        char c = sig[i];
        if (c == 'J') {
            v.j = va_arg(args, jlong);
        } else if (c == 'F' || c == 'D') {
            double d = va_arg(args, double);
            if (c == 'F')
                v.f = static_cast<jfloat>(d);
            else
                v.d = d;
        } else if (c == 'L' || c == '[') {
            v.l = va_arg(args, jobject);
        } else {
            v.i = va_arg(args, jint);
        }
        values.push_back(v);
        while (i < sig.size() && sig[i] == '[')
            ++i;
        if (sig[i] == 'L')
            i = sig.find(';', i);
        ++i;
    }
    return values;
}

// ---------------------------------------------------------------------------------------------
// JNI functions

jint JNICALL fjGetVersion(JNIEnv *env) {
    enter(env, "GetVersion");
    return JNI_VERSION_1_4;
}

jclass JNICALL fjFindClass(JNIEnv *env, const char *name) {
    enter(env, "FindClass");
    std::string n = name ? name : "";
    std::string cls = slashes(n);
    bool found = classExists(cls);
    rec("FindClass %s %s", n.c_str(), found ? "found" : "missing");
    if (!found) {
        throwNew(env, "java/lang/NoClassDefFoundError", cls);
        return nullptr;
    }
    return reinterpret_cast<jclass>(newObj(Obj::Class, cls));
}

jmethodID lookupMethod(JNIEnv *env, jclass clazz, const char *name, const char *sig, bool isStatic) {
    const char *what = isStatic ? "GetStaticMethodID" : "GetMethodID";
    enter(env, what);
    Obj *c = obj(clazz);
    std::string cls = c ? c->text : "null";
    bool found = c && name && sig && methodExists(cls, name, sig, isStatic);
    rec("%s %s %s %s %s", what, cls.c_str(), name ? name : "null", sig ? sig : "null",
        found ? "found" : "missing");
    if (!found) {
        throwNew(env, "java/lang/NoSuchMethodError", name ? name : "");
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(internMethod(cls, name, sig, isStatic));
}

jmethodID JNICALL fjGetStaticMethodID(JNIEnv *env, jclass clazz, const char *name, const char *sig) {
    return lookupMethod(env, clazz, name, sig, true);
}

jmethodID JNICALL fjGetMethodID(JNIEnv *env, jclass clazz, const char *name, const char *sig) {
    return lookupMethod(env, clazz, name, sig, false);
}

jobject JNICALL fjNewObjectA(JNIEnv *env, jclass clazz, jmethodID id, const jvalue *args) {
    enter(env, "NewObject");
    Method *m = reinterpret_cast<Method *>(id);
    if (!m || !obj(clazz)) {
        rec("ERROR NewObject without class or constructor");
        return nullptr;
    }
    if (m->cls == "java/io/FileOutputStream") {
        Obj *path = obj(args[0].l);
        bool append = m->sig == "(Ljava/lang/String;Z)V" && args[1].z;
        std::string p = path ? path->text : "";
        HANDLE h = CreateFileA(p.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        bool ok = !p.empty() && h != INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        rec("NewObject java/io/FileOutputStream path=%s append=%d %s", p.c_str(), append ? 1 : 0,
            ok ? "ok" : "failed");
        if (!ok) {
            throwNew(env, "java/io/FileNotFoundException", p);
            return nullptr;
        }
        Obj *o = newObj(Obj::FileStream, p);
        o->append = append;
        return reinterpret_cast<jobject>(o);
    }
    if (m->cls == "java/io/PrintStream") {
        Obj *inner = obj(args[0].l);
        rec("NewObject java/io/PrintStream %s", inner ? "ok" : "null-stream");
        Obj *o = newObj(Obj::PrintStream, inner ? inner->text : "");
        o->inner = inner;
        return reinterpret_cast<jobject>(o);
    }
    rec("NewObject %s %s", m->cls.c_str(), m->sig.c_str());
    return reinterpret_cast<jobject>(newObj(Obj::Other, m->cls));
}

jobject JNICALL fjNewObjectV(JNIEnv *env, jclass clazz, jmethodID id, va_list args) {
    Method *m = reinterpret_cast<Method *>(id);
    std::vector<jvalue> values = readArgs(m ? m->sig : "()", args);
    return fjNewObjectA(env, clazz, id, values.data());
}

jobject JNICALL fjNewObject(JNIEnv *env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject o = fjNewObjectV(env, clazz, id, args);
    va_end(args);
    return o;
}

void JNICALL fjCallStaticVoidMethodA(JNIEnv *env, jclass clazz, jmethodID id, const jvalue *args) {
    enter(env, "CallStaticVoidMethod");
    Method *m = reinterpret_cast<Method *>(id);
    if (!m || !obj(clazz)) {
        rec("ERROR CallStaticVoidMethod without class or method");
        return;
    }
    rec("CallStaticVoidMethod %s %s%s", m->cls.c_str(), m->name.c_str(), m->sig.c_str());
    if (m->cls == "java/lang/System") {
        Obj *stream = obj(args[0].l);
        std::string path = stream && stream->inner ? stream->inner->text : "";
        rec("%s %s", m->name.c_str(), stream ? path.c_str() : "null");
        std::lock_guard<std::mutex> lock(g_mutex);
        (m->name == "setOut" ? g_outPath : g_errPath) = path;
        return;
    }
    if (m->name == "main")
        runMain(env, m->cls, args[0].l);
}

void JNICALL fjCallStaticVoidMethodV(JNIEnv *env, jclass clazz, jmethodID id, va_list args) {
    Method *m = reinterpret_cast<Method *>(id);
    std::vector<jvalue> values = readArgs(m ? m->sig : "()", args);
    fjCallStaticVoidMethodA(env, clazz, id, values.data());
}

void JNICALL fjCallStaticVoidMethod(JNIEnv *env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    fjCallStaticVoidMethodV(env, clazz, id, args);
    va_end(args);
}

jint JNICALL fjCallStaticIntMethodA(JNIEnv *env, jclass clazz, jmethodID id, const jvalue *) {
    enter(env, "CallStaticIntMethod");
    Method *m = reinterpret_cast<Method *>(id);
    if (!m || !obj(clazz)) {
        rec("ERROR CallStaticIntMethod without class or method");
        return 0;
    }
    if (m->name == "getTomcatStatus")
        blockStatusOnce();
    int value = m->name == "getTomcatStatus" ? currentStatus() : 0;
    rec("CallStaticIntMethod %s %s%s = %d", m->cls.c_str(), m->name.c_str(), m->sig.c_str(), value);
    return value;
}

jint JNICALL fjCallStaticIntMethodV(JNIEnv *env, jclass clazz, jmethodID id, va_list) {
    return fjCallStaticIntMethodA(env, clazz, id, nullptr);
}

jint JNICALL fjCallStaticIntMethod(JNIEnv *env, jclass clazz, jmethodID id, ...) {
    return fjCallStaticIntMethodA(env, clazz, id, nullptr);
}

jstring JNICALL fjNewStringUTF(JNIEnv *env, const char *utf) {
    enter(env, "NewStringUTF");
    std::string text = utf ? utf : "";
    rec("NewStringUTF %s", text.c_str());
    return reinterpret_cast<jstring>(newObj(Obj::String, text));
}

jsize JNICALL fjGetStringUTFLength(JNIEnv *env, jstring s) {
    enter(env, "GetStringUTFLength");
    return obj(s) ? static_cast<jsize>(obj(s)->text.size()) : 0;
}

const char *JNICALL fjGetStringUTFChars(JNIEnv *env, jstring s, jboolean *isCopy) {
    enter(env, "GetStringUTFChars");
    if (isCopy)
        *isCopy = JNI_TRUE;
    std::string text = obj(s) ? obj(s)->text : "";
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void JNICALL fjReleaseStringUTFChars(JNIEnv *env, jstring, const char *chars) {
    enter(env, "ReleaseStringUTFChars", true);
    std::free(const_cast<char *>(chars));
}

jobjectArray JNICALL fjNewObjectArray(JNIEnv *env, jsize length, jclass clazz, jobject init) {
    enter(env, "NewObjectArray");
    Obj *c = obj(clazz);
    rec("NewObjectArray %ld %s", static_cast<long>(length), c ? c->text.c_str() : "null");
    if (length < 0 || !c) {
        throwNew(env, "java/lang/NegativeArraySizeException", "");
        return nullptr;
    }
    Obj *a = newObj(Obj::Array, c->text);
    a->elements.assign(static_cast<std::size_t>(length), obj(init));
    return reinterpret_cast<jobjectArray>(a);
}

void JNICALL fjSetObjectArrayElement(JNIEnv *env, jobjectArray array, jsize index, jobject value) {
    enter(env, "SetObjectArrayElement");
    Obj *a = obj(array);
    rec("SetObjectArrayElement %ld %s", static_cast<long>(index),
        obj(value) ? obj(value)->text.c_str() : "null");
    if (!a || index < 0 || static_cast<std::size_t>(index) >= a->elements.size()) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", std::to_string(index));
        return;
    }
    a->elements[static_cast<std::size_t>(index)] = obj(value);
}

jobject JNICALL fjGetObjectArrayElement(JNIEnv *env, jobjectArray array, jsize index) {
    enter(env, "GetObjectArrayElement");
    Obj *a = obj(array);
    if (!a || index < 0 || static_cast<std::size_t>(index) >= a->elements.size()) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", std::to_string(index));
        return nullptr;
    }
    return reinterpret_cast<jobject>(a->elements[static_cast<std::size_t>(index)]);
}

jsize JNICALL fjGetArrayLength(JNIEnv *env, jarray array) {
    enter(env, "GetArrayLength");
    return obj(array) ? static_cast<jsize>(obj(array)->elements.size()) : 0;
}

jboolean JNICALL fjExceptionCheck(JNIEnv *env) {
    enter(env, "ExceptionCheck", true);
    bool pending = stateOf(env)->pending != nullptr;
    rec("ExceptionCheck = %d", pending ? 1 : 0);
    return pending ? JNI_TRUE : JNI_FALSE;
}

jthrowable JNICALL fjExceptionOccurred(JNIEnv *env) {
    enter(env, "ExceptionOccurred", true);
    Obj *p = stateOf(env)->pending;
    rec("ExceptionOccurred %s", p ? p->text.c_str() : "none");
    return reinterpret_cast<jthrowable>(p);
}

void JNICALL fjExceptionClear(JNIEnv *env) {
    enter(env, "ExceptionClear", true);
    Obj *p = stateOf(env)->pending;
    rec("ExceptionClear %s", p ? p->text.c_str() : "none");
    stateOf(env)->pending = nullptr;
}

void JNICALL fjExceptionDescribe(JNIEnv *env) {
    enter(env, "ExceptionDescribe", true);
    Obj *p = stateOf(env)->pending;
    rec("ExceptionDescribe %s", p ? p->text.c_str() : "none");
    if (p) {
        std::string err;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            err = g_errPath;
        }
        std::string text = "Exception in thread \"" + stateOf(env)->name + "\" " + slashes(p->text);
        for (char &c : text)
            if (c == '/')
                c = '.';
        if (!err.empty())
            appendLine(err, text + ": " + p->message);
    }
    stateOf(env)->pending = nullptr; // Describe clears, as on the real runtime
}

jint JNICALL fjThrowNew(JNIEnv *env, jclass clazz, const char *message) {
    enter(env, "ThrowNew");
    Obj *c = obj(clazz);
    rec("ThrowNew %s %s", c ? c->text.c_str() : "null", message ? message : "");
    throwNew(env, c ? c->text.c_str() : "java/lang/Throwable", message ? message : "");
    return 0;
}

void JNICALL fjDeleteLocalRef(JNIEnv *env, jobject ref) {
    enter(env, "DeleteLocalRef", true);
    Obj *o = obj(ref);
    if (!o)
        return;
    if (o->deleted)
        rec("ERROR DeleteLocalRef twice: %s", describe(ref).c_str());
    else
        rec("DeleteLocalRef %s", describe(ref).c_str());
    o->deleted = true;
}

jobject JNICALL fjNewGlobalRef(JNIEnv *env, jobject ref) {
    enter(env, "NewGlobalRef");
    return ref;
}

void JNICALL fjDeleteGlobalRef(JNIEnv *env, jobject) {
    enter(env, "DeleteGlobalRef", true);
}

jclass JNICALL fjGetObjectClass(JNIEnv *env, jobject o) {
    enter(env, "GetObjectClass");
    return reinterpret_cast<jclass>(newObj(Obj::Class, obj(o) ? obj(o)->text : "java/lang/Object"));
}

jboolean JNICALL fjIsSameObject(JNIEnv *env, jobject a, jobject b) {
    enter(env, "IsSameObject");
    return a == b ? JNI_TRUE : JNI_FALSE;
}

jint JNICALL fjEnsureLocalCapacity(JNIEnv *env, jint) {
    enter(env, "EnsureLocalCapacity");
    return 0;
}

jint JNICALL fjRegisterNatives(JNIEnv *env, jclass clazz, const JNINativeMethod *methods, jint count) {
    enter(env, "RegisterNatives");
    Obj *c = obj(clazz);
    std::string cls = c ? c->text : "null";
    bool fails;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        fails = g_script.registerFails || !c;
    }
    for (jint i = 0; i < count; ++i)
        rec("RegisterNatives %s %s %s result=%d", cls.c_str(), methods[i].name, methods[i].signature,
            fails ? -1 : 0);
    if (fails)
        return JNI_ERR;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (jint i = 0; i < count; ++i)
        g_natives[cls].push_back(NativeEntry{methods[i].name, methods[i].signature, methods[i].fnPtr});
    return 0;
}

jint JNICALL fjUnregisterNatives(JNIEnv *env, jclass clazz) {
    enter(env, "UnregisterNatives");
    Obj *c = obj(clazz);
    rec("UnregisterNatives %s", c ? c->text.c_str() : "null");
    if (c) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_natives.erase(c->text);
    }
    return 0;
}

jint JNICALL fjGetJavaVM(JNIEnv *env, JavaVM **vm) {
    enter(env, "GetJavaVM");
    *vm = &g_vm;
    return 0;
}

// Any other entry: recorded, then the process ends, so a missing piece cannot pass unseen.
const char *const kNames[] = {
#include "JniFunctionNames.inc"
};
constexpr std::size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void *);
static_assert(sizeof kNames / sizeof kNames[0] == kSlots, "one name per JNI table slot");

template <std::size_t I> void JNICALL unimplemented() {
    rec("unimplemented %s", kNames[I]);
    TerminateProcess(GetCurrentProcess(), 0xDEAD);
}

template <std::size_t... I> void fillUnimplemented(void **slots, std::index_sequence<I...>) {
    ((slots[I] = reinterpret_cast<void *>(&unimplemented<I>)), ...);
}

// ---------------------------------------------------------------------------------------------
// Invocation interface

jint attach(JavaVM *, void **penv, void *raw, const char *how) {
    JavaVMAttachArgs *args = static_cast<JavaVMAttachArgs *>(raw);
    bool ready;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        ready = g_created && !g_destroyed;
    }
    std::string name = args && args->name ? args->name : "null";
    rec("%s name=%s version=0x%lx group=%s result=%d", how, name.c_str(),
        args ? static_cast<unsigned long>(args->version) : 0ul, args && args->group ? "set" : "null",
        ready ? 0 : JNI_ERR);
    if (!ready) {
        if (penv)
            *penv = nullptr;
        return JNI_ERR;
    }
    *penv = attachState(name);
    return JNI_OK;
}

jint JNICALL fjAttachCurrentThread(JavaVM *vm, void **penv, void *args) {
    return attach(vm, penv, args, "AttachCurrentThread");
}

jint JNICALL fjAttachCurrentThreadAsDaemon(JavaVM *vm, void **penv, void *args) {
    return attach(vm, penv, args, "AttachCurrentThreadAsDaemon");
}

jint JNICALL fjDetachCurrentThread(JavaVM *) {
    std::lock_guard<std::mutex> lock(g_mutex);
    bool attached = g_threads.count(GetCurrentThreadId()) > 0;
    rec("DetachCurrentThread%s", attached ? "" : " not-attached");
    if (g_destroyed)
        rec("ERROR DetachCurrentThread after DestroyJavaVM");
    auto it = g_threads.find(GetCurrentThreadId());
    if (it != g_threads.end()) {
        g_detached.push_back(std::move(it->second));
        g_threads.erase(it);
    }
    return attached ? JNI_OK : JNI_EDETACHED;
}

jint JNICALL fjGetEnv(JavaVM *, void **penv, jint version) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_threads.find(GetCurrentThreadId());
    jint rc = it == g_threads.end() || g_destroyed ? JNI_EDETACHED : JNI_OK;
    rec("GetEnv version=0x%lx result=%d", static_cast<unsigned long>(version), rc);
    *penv = rc == JNI_OK ? &it->second->env : nullptr;
    return rc;
}

jint JNICALL fjDestroyJavaVM(JavaVM *) {
    DWORD delay;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_created || g_destroyed) {
            rec("ERROR DestroyJavaVM without a machine");
            return JNI_ERR;
        }
        delay = g_script.destroyDelay;
    }
    rec("DestroyJavaVM begin");
    if (delay)
        Sleep(delay);
    std::vector<HANDLE> windows;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        windows.swap(g_windowThreads);
    }
    for (HANDLE h : windows) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    std::vector<HANDLE> monitors;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_destroyed = true;
        g_destroyer = GetCurrentThreadId();
        monitors.swap(g_monitors);
    }
    SetEvent(g_destroyedEvent);
    // Our own monitor threads end at the destroy; wait so an unload cannot catch them inside.
    for (HANDLE h : monitors) {
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
    }
    rec("DestroyJavaVM end");
    return JNI_OK;
}

void initTables() {
    fillUnimplemented(reinterpret_cast<void **>(&g_functions), std::make_index_sequence<kSlots>{});
    g_functions.reserved0 = g_functions.reserved1 = g_functions.reserved2 = g_functions.reserved3 = nullptr;
    g_functions.GetVersion = fjGetVersion;
    g_functions.FindClass = fjFindClass;
    g_functions.GetStaticMethodID = fjGetStaticMethodID;
    g_functions.GetMethodID = fjGetMethodID;
    g_functions.NewObject = fjNewObject;
    g_functions.NewObjectV = fjNewObjectV;
    g_functions.NewObjectA = fjNewObjectA;
    g_functions.CallStaticVoidMethod = fjCallStaticVoidMethod;
    g_functions.CallStaticVoidMethodV = fjCallStaticVoidMethodV;
    g_functions.CallStaticVoidMethodA = fjCallStaticVoidMethodA;
    g_functions.CallStaticIntMethod = fjCallStaticIntMethod;
    g_functions.CallStaticIntMethodV = fjCallStaticIntMethodV;
    g_functions.CallStaticIntMethodA = fjCallStaticIntMethodA;
    g_functions.NewStringUTF = fjNewStringUTF;
    g_functions.GetStringUTFLength = fjGetStringUTFLength;
    g_functions.GetStringUTFChars = fjGetStringUTFChars;
    g_functions.ReleaseStringUTFChars = fjReleaseStringUTFChars;
    g_functions.NewObjectArray = fjNewObjectArray;
    g_functions.SetObjectArrayElement = fjSetObjectArrayElement;
    g_functions.GetObjectArrayElement = fjGetObjectArrayElement;
    g_functions.GetArrayLength = fjGetArrayLength;
    g_functions.ExceptionCheck = fjExceptionCheck;
    g_functions.ExceptionOccurred = fjExceptionOccurred;
    g_functions.ExceptionClear = fjExceptionClear;
    g_functions.ExceptionDescribe = fjExceptionDescribe;
    g_functions.ThrowNew = fjThrowNew;
    g_functions.DeleteLocalRef = fjDeleteLocalRef;
    g_functions.NewGlobalRef = fjNewGlobalRef;
    g_functions.DeleteGlobalRef = fjDeleteGlobalRef;
    g_functions.GetObjectClass = fjGetObjectClass;
    g_functions.IsSameObject = fjIsSameObject;
    g_functions.EnsureLocalCapacity = fjEnsureLocalCapacity;
    g_functions.RegisterNatives = fjRegisterNatives;
    g_functions.UnregisterNatives = fjUnregisterNatives;
    g_functions.GetJavaVM = fjGetJavaVM;

    g_invoke.reserved0 = g_invoke.reserved1 = g_invoke.reserved2 = nullptr;
    g_invoke.DestroyJavaVM = fjDestroyJavaVM;
    g_invoke.AttachCurrentThread = fjAttachCurrentThread;
    g_invoke.DetachCurrentThread = fjDetachCurrentThread;
    g_invoke.GetEnv = fjGetEnv;
    g_invoke.AttachCurrentThreadAsDaemon = fjAttachCurrentThreadAsDaemon;
}

} // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void *args) {
    JavaVMInitArgs *a = static_cast<JavaVMInitArgs *>(args);
    rec("JNI_GetDefaultJavaVMInitArgs version=0x%lx", a ? static_cast<unsigned long>(a->version) : 0ul);
    return a && a->version == JNI_VERSION_1_1 ? JNI_ERR : JNI_OK;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM **pvm, void **penv, void *raw) {
    JavaVMInitArgs *args = static_cast<JavaVMInitArgs *>(raw);
    *pvm = nullptr;
    *penv = nullptr;
    rec("JNI_CreateJavaVM version=0x%lx options=%ld ignoreUnrecognized=%d",
        args ? static_cast<unsigned long>(args->version) : 0ul, args ? static_cast<long>(args->nOptions) : 0l,
        args ? static_cast<int>(args->ignoreUnrecognized) : 0);
    Hooks hooks;
    for (jint i = 0; args && i < args->nOptions; ++i) {
        const JavaVMOption &o = args->options[i];
        std::string text = o.optionString ? o.optionString : "(null)";
        void **hook = text == "vfprintf" ? &hooks.vfprintf
                      : text == "exit"   ? &hooks.exit
                      : text == "abort"  ? &hooks.abort
                                         : nullptr;
        if (hook) {
            *hook = o.extraInfo;
            rec("hook %s %s", text.c_str(), o.extraInfo ? "set" : "null");
        } else {
            rec("option %s", text.c_str());
        }
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_created)
            g_hooks = hooks;
    }
    Script script = loadScript();
    // Read in order: the words of a refused option go through the hook only if it came first.
    const Refusal *refused = nullptr;
    bool refusedThroughHook = false, hookRead = false;
    for (jint i = 0; args && i < args->nOptions && !refused; ++i) {
        const std::string text = args->options[i].optionString ? args->options[i].optionString : "";
        hookRead = hookRead || (text == "vfprintf" && args->options[i].extraInfo);
        for (const Refusal &r : script.refusals)
            if (!refused && r.option == text) {
                refused = &r;
                refusedThroughHook = hookRead;
            }
    }
    if (script.createDelay)
        Sleep(script.createDelay);
    bool failedBefore;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        failedBefore = g_failedOnce;
    }
    if (failedBefore) {
        rec("JNI_CreateJavaVM result=%ld", static_cast<long>(JNI_ERR));
        return JNI_ERR;
    }
    if (refused) {
        rec("refused %s words=%s", refused->option.c_str(), refusedThroughHook ? "hook" : "stderr");
        if (refusedThroughHook)
            say(refused->text);
        else
            std::fprintf(stderr, "%s\n", refused->text.c_str());
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_failedOnce = true;
        }
        rec("JNI_CreateJavaVM result=%ld", static_cast<long>(refused->code));
        return refused->code;
    }
    for (const auto &text : script.createSays)
        say(text);
    if (script.createAbortElsewhere) {
        static LONG alone = 1;
        InterlockedIncrement(&g_inside);
        HANDLE h = CreateThread(nullptr, 0, abortThread,
                                new AbortArgs{GetTickCount() + script.createAbortElsewhereAfter, &alone}, 0,
                                nullptr);
        if (!script.createAbort)
            WaitForSingleObject(h, INFINITE); // the hook ends the process, or the thread does
    }
    if (script.createAbort)
        abortLikeTheRuntime();
    jint rc = JNI_OK;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_created) // one machine per process, and none after a destroy
            rc = JNI_EEXIST;
        else if (script.createFails)
            rc = script.createCode;
        if (rc != JNI_OK && rc != JNI_EEXIST)
            g_failedOnce = true;
        if (rc == JNI_OK) {
            g_script = script;
            g_created = true;
            g_createdAt = GetTickCount();
            for (const auto &s : g_script.status)
                g_statusEvents.emplace_back(g_createdAt + s.first, s.second);
        }
    }
    rec("JNI_CreateJavaVM result=%ld", static_cast<long>(rc));
    if (rc != JNI_OK)
        return rc;
    *penv = attachState("main");
    *pvm = &g_vm;
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM **vms, jsize size, jsize *count) {
    std::lock_guard<std::mutex> lock(g_mutex);
    bool alive = g_created && !g_destroyed;
    if (count)
        *count = alive ? 1 : 0;
    if (alive && vms && size > 0)
        vms[0] = &g_vm;
    return JNI_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        g_destroyedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        initTables();
    } else if (reason == DLL_PROCESS_DETACH) {
        LONG inside = g_inside;
        recNoWait("unload %s inside=%ld", reserved ? "process-exit" : "FreeLibrary",
                  static_cast<long>(inside));
        if (!reserved && inside > 0)
            recNoWait("ERROR FreeLibrary while %ld thread(s) run stand-in code", static_cast<long>(inside));
        if (g_record != INVALID_HANDLE_VALUE)
            CloseHandle(g_record);
        if (g_recordTurn)
            CloseHandle(g_recordTurn);
    }
    return TRUE;
}

} // extern "C"
