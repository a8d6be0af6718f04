// quorvel9x.exe as a user sees it: started from outside on the registry key written here, with
// the stand-in runtime playing the Java side and a stand-in browser. The manager's debug trace
// is read by running it under the test as its debugger.
#include "FakeJvmFiles.h"
#include "TracedProcess.h"
#include "WinTestUtil.h"
#include "res/resource.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace qvtest;

namespace {

constexpr const char *kKey = "SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters";
constexpr const char *kTitle = "Quorvel ";
constexpr const char *kStarting = "O Quorvel est\xE1 iniciando...";
constexpr const char *kStarted = "O Quorvel foi iniciado.";
constexpr const char *kStopping = "O Quorvel est\xE1 sendo encerrado...";
// The preparation takes well under a second with the stand-in; the first main runs 5 s after.
// Under emulation on a busy machine the dialog has taken more than 20 s to come.
constexpr DWORD kShowMs = 60000;
constexpr DWORD kEndMs = 20000;
// How long the manager waits on a stop at the end of the session: the destroy bound, which is a
// minute for any stop Timeout up to 60 s.
constexpr DWORD kStopBoundMs = 60000;

std::string managerCommand() {
    return "\"" + programPath("quorvel9x.exe") + "\"";
}

int barOf(HWND dlg) {
    return static_cast<int>(SendMessageA(GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

void click(HWND dlg, int id) {
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// Whether `log` holds `text` right after a time stamp that begins a line, as the log writer
// stamps its lines ("[2026/12/06 - 9:5:7:42] "). Carriage returns are left out of both.
bool stamped(std::string log, const std::string &text) {
    log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
    static const std::regex stamp(R"(\[\d{4}/\d{2}/\d{2} - \d{1,2}:\d{1,2}:\d{1,2}:\d{1,3}\] )");
    for (std::size_t at = log.find("] " + text); at != std::string::npos;
         at = log.find("] " + text, at + 1)) {
        const std::size_t line = log.rfind('\n', at) + 1; // npos + 1 is 0: the first line
        if (std::regex_match(log.substr(line, at + 2 - line), stamp))
            return true;
    }
    return false;
}

// The notification calls of the programs started while it exists, as Wine traces them to the
// Unix standard error that ctest's emulator keeps in QV_WINE_STDERR: Wine's tray drops a dead
// owner's icon by itself, so only the calls show whether a program removed its icon.
class NotifyCalls {
  public:
    NotifyCalls() {
        char debug[64] = "", file[MAX_PATH] = "";
        GetEnvironmentVariableA("WINEDEBUG", debug, sizeof debug);
        debug_ = debug;
        if (GetEnvironmentVariableA("QV_WINE_STDERR", file, sizeof file) == 0)
            return;
        path_ = std::string("Z:") + file;
        std::replace(path_.begin(), path_.end(), '/', '\\');
        std::string before;
        readFile(path_, before);
        from_ = before.size();
        SetEnvironmentVariableA("WINEDEBUG", "trace+systray");
    }
    ~NotifyCalls() { stopTracing(); }
    // Programs started from here on are not traced.
    void stopTracing() { SetEnvironmentVariableA("WINEDEBUG", debug_.empty() ? nullptr : debug_.c_str()); }
    std::string text() const {
        std::string all;
        if (path_.empty())
            return "QV_WINE_STDERR is not set: run under ctest";
        readFile(path_, all);
        return all.size() > from_ ? all.substr(from_) : std::string();
    }
    bool lastWasRemoval() const {
        const std::string calls = text();
        const std::string request = "Shell_NotifyIconW dwMessage = ";
        const std::size_t last = calls.rfind(request);
        return last != std::string::npos && calls.compare(last + request.size(), 1, "2") == 0;
    }

  private:
    std::string debug_, path_;
    std::size_t from_ = 0;
};

// The shell's icon windows (Wine shows icons in a tray window of its own outside a desktop
// with a taskbar).
int trayIconWindows() {
    int n = 0;
    HWND tray = nullptr;
    while ((tray = FindWindowExA(nullptr, tray, "__winex11_standalone_tray", nullptr)) != nullptr) {
        HWND icon = nullptr;
        while ((icon = FindWindowExA(tray, icon, nullptr, nullptr)) != nullptr)
            n += IsWindowVisible(icon) ? 1 : 0;
    }
    return n;
}

class ManagerE2e : public ::testing::Test {
  protected:
    ManagerE2e()
        : key(kKey),
          jvm(std::string("mgr_") + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    void SetUp() override {
        ASSERT_TRUE(jvm.dllCopied()) << jvm.dllPath();
        ASSERT_TRUE(key.setText("Java", "Jvm", jvm.dllPath()));
        key.setText("Java", "Classpath", jvm / "classes");
        key.setNumber("Java", "JvmMs", 16);
        key.setNumber("Java", "JvmMx", 64);
        key.setText("Log", "StdOutput", jvm / "out.log");
        key.setText("Log", "StdError", jvm / "err.log");
        key.setText("Start", "Class", "app.Start");
        key.setList("Start", "Params", {"start"});
        key.setText("Stop", "Class", "app.Stop");
        key.setList("Stop", "Params", {"stop"});
        key.setText("Site", "URL", binPath("qvfakebrowser.exe"));
        key.setText("Site", "INSTDIR83", jvm.path());
        SetEnvironmentVariableA("QV_FAKEBROWSER_RECORD", (jvm / "browser.record").c_str());
        ASSERT_EQ(nullptr, FindWindowA(nullptr, kTitle)) << "a manager from an earlier test is still running";
    }

    void TearDown() override {
        if (manager.running()) {
            manager.kill();
            waitForNoWindow(kTitle, 5000);
        }
        SetEnvironmentVariableA("QV_FAKEBROWSER_RECORD", nullptr);
    }

    // Starts the manager on `script` and waits for its dialog.
    HWND startManager(const std::string &script) {
        if (!jvm.writeScript(script) || !manager.start(managerCommand()))
            return nullptr;
        HWND dlg = waitForWindow(kTitle, kShowMs, "#32770");
        if (dlg)
            pollUntil([&] { return IsWindowVisible(dlg) != 0; }, kShowMs);
        return dlg;
    }

    // Starts the manager on `script` and waits until it has announced the start.
    HWND startAnnounced(const std::string &script) {
        HWND dlg = startManager(script);
        if (dlg && !pollUntil([&] { return controlText(dlg, IDC_STATUS_TEXT) == kStarted; }, 15000))
            return nullptr;
        return dlg;
    }

    // Waits until the poll after the `nth` (1-based) "status: value" has begun, so that the
    // reaction to that one is complete.
    bool waitPollDone(int value, std::size_t nth) {
        const std::string line = "status: " + std::to_string(value);
        if (!manager.waitForLine(line, 15000, nth))
            return false;
        long at = manager.indexOf(line, nth - 1);
        return pollUntil(
            [&] {
                auto lines = manager.lines();
                for (std::size_t i = static_cast<std::size_t>(at) + 1; i < lines.size(); ++i)
                    if (lines[i].compare(0, 8, "status: ") == 0)
                        return true;
                return false;
            },
            5000);
    }

    // Waits for the next poll answering `value`, then for the bar to show `expected` before the
    // poll after it can change it again. Answers the bar seen last.
    int barAfterNextPoll(HWND dlg, int value, int expected) {
        const std::string line = "status: " + std::to_string(value);
        if (!manager.waitForLine(line, 15000, manager.count(line) + 1))
            return -1000;
        int bar = -1;
        pollUntil([&] { return (bar = barOf(dlg)) == expected; }, 900, 5);
        return bar;
    }

    // Whether the poll that answered 6 came before the machine's destruction began.
    bool sixBeforeDestroy() const {
        const std::vector<std::string> events = jvm.events();
        const auto six = std::find_if(events.begin(), events.end(), [](const std::string &e) {
            return e.compare(0, 20, "CallStaticIntMethod ") == 0 && e.size() > 4 &&
                   e.compare(e.size() - 4, 4, " = 6") == 0;
        });
        return six < std::find(events.begin(), events.end(), "DestroyJavaVM begin");
    }

    std::string errorLog() const {
        std::string log;
        readFile(jvm / "err.log", log);
        return log;
    }

    std::size_t traceStarting(const std::string &prefix) const {
        std::size_t n = 0;
        for (const std::string &line : manager.lines())
            n += line.compare(0, prefix.size(), prefix) == 0;
        return n;
    }

    ScratchKey key;
    FakeJvmDir jvm;
    TracedProcess manager;
};

// The end of the Windows session inside the test's own Wine session. wineboot waits for every
// WM_QUERYENDSESSION and WM_ENDSESSION to return (showing its end-task box after 5 s and waiting
// on), then ends each process that is still there. Exit code 1: a program refused.
class EndOfSession {
  public:
    bool begin() { return wineboot_.start("wineboot.exe --end-session --force"); }
    DWORD finish() {
        DWORD code = 12345;
        return wineboot_.wait(kEndMs, &code) ? code : 12345;
    }

  private:
    ChildProcess wineboot_;
};

TEST_F(ManagerE2e, StartSequenceRunsInOrderBeforeTheFirstPoll) {
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(kStarting, controlText(dlg, IDC_STATUS_TEXT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_BROWSER)));
    ASSERT_TRUE(manager.waitForLine("executarStart:callMain", 15000)) << manager.joined();
    ASSERT_TRUE(manager.waitForLine("status: 1", 15000)) << manager.joined();
    const char *order[] = {">preparar", "parameters.load",  "setParameters", "load",
                           "createJVM", "Chamou CreateJVM", "beginThreadEx"};
    long previous = -1;
    for (const char *line : order) {
        long at = manager.indexOf(line);
        EXPECT_GT(at, previous) << line << " out of order in\n" << manager.joined();
        previous = at;
    }
    EXPECT_GT(manager.indexOf("beginThreadEx", 1), manager.indexOf("beginThreadEx", 0));
    EXPECT_GT(manager.indexOf("status: 1"), manager.indexOf("beginThreadEx", 1))
        << "the poll starts after the preparation\n"
        << manager.joined();
    EXPECT_EQ(1u, jvm.count("JNI_CreateJavaVM result=0"));
    EXPECT_EQ(1, trayIconWindows()) << "the icon is in the notification area";
    EXPECT_EQ("Quorvel ", windowText(dlg));
}

TEST_F(ManagerE2e, StatusesMoveTheBarAndAnnounceTheStart) {
    HWND dlg =
        startManager("status 0 at 0, 1 at 3000, 2 at 6000, 3 at 9000, 2 at 15000, 3 at 18000, 5 at 21000, "
                     "9 at 24000, -4 at 27000, 6 at 30000\n"
                     "main app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);
    HWND button = GetDlgItem(dlg, IDC_BROWSER);
    struct Step {
        int status;
        int bar;
    } steps[] = {{0, 25}, {1, 50}, {2, 75}};
    for (const Step &s : steps) {
        EXPECT_EQ(s.bar, barAfterNextPoll(dlg, s.status, s.bar)) << "after status " << s.status;
        EXPECT_EQ(kStarting, controlText(dlg, IDC_STATUS_TEXT)) << "after status " << s.status;
        EXPECT_FALSE(IsWindowEnabled(button)) << "after status " << s.status;
    }
    EXPECT_EQ(100, barAfterNextPoll(dlg, 3, 100));
    EXPECT_TRUE(pollUntil([&] { return controlText(dlg, IDC_STATUS_TEXT) == kStarted; }, 900));
    EXPECT_TRUE(IsWindowEnabled(button));

    // A repeated 3 changes nothing: what the test puts on screen stays.
    SendMessageA(GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, 42, 0);
    SetWindowTextA(GetDlgItem(dlg, IDC_STATUS_TEXT), "marca");
    ASSERT_TRUE(waitPollDone(3, manager.count("status: 3") + 1)) << manager.joined();
    EXPECT_EQ(42, barOf(dlg));
    EXPECT_EQ("marca", controlText(dlg, IDC_STATUS_TEXT));

    // 2 after the announcement keeps 100 once and withdraws it; the next 3 announces again.
    EXPECT_EQ(100, barAfterNextPoll(dlg, 2, 100));
    EXPECT_EQ("marca", controlText(dlg, IDC_STATUS_TEXT));
    EXPECT_TRUE(IsWindowEnabled(button)) << "never disabled again";
    EXPECT_EQ(75, barAfterNextPoll(dlg, 2, 75)) << "withdrawn: the next 2 shows 75";
    EXPECT_EQ(100, barAfterNextPoll(dlg, 3, 100));
    EXPECT_TRUE(pollUntil([&] { return controlText(dlg, IDC_STATUS_TEXT) == kStarted; }, 900))
        << "announced again: " << controlText(dlg, IDC_STATUS_TEXT);

    EXPECT_EQ(50, barAfterNextPoll(dlg, 5, 50));

    // Statuses outside 0 to 7 change nothing: a mark set once they are answered stays.
    ASSERT_TRUE(manager.waitForLine("status: 9", 15000)) << manager.joined();
    SendMessageA(GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, 42, 0);
    ASSERT_TRUE(waitPollDone(9, 2)) << manager.joined();
    EXPECT_EQ(42, barOf(dlg));
    ASSERT_TRUE(waitPollDone(-4, 2)) << manager.joined();
    EXPECT_EQ(42, barOf(dlg));
    EXPECT_EQ(kStarted, controlText(dlg, IDC_STATUS_TEXT));

    // 6 ends the manager a second later.
    ASSERT_TRUE(manager.waitForLine("status: 6", 15000)) << manager.joined();
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, jvm.count("main begin app/Stop")) << "the Java side ended by itself";
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM begin"));
}

TEST_F(ManagerE2e, BrowserButtonOpensTheSiteAndHidesTheDialog) {
    HWND dlg = startManager("status 3 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);
    HWND button = GetDlgItem(dlg, IDC_BROWSER);
    ASSERT_TRUE(pollUntil([&] { return IsWindowEnabled(button) != 0; }, 15000));
    click(dlg, IDC_BROWSER);
    std::string record;
    EXPECT_TRUE(
        pollUntil([&] { return readFile(jvm / "browser.record", record) && !record.empty(); }, 10000));
    EXPECT_NE(std::string::npos, record.find("qvfakebrowser.exe")) << record;
    EXPECT_TRUE(pollUntil([&] { return !IsWindowVisible(dlg); }, 5000)) << "hidden to the notification area";
    EXPECT_TRUE(manager.running());

    // The right button on the icon opens the manager's notification menu; Escape closes it.
    PostMessageA(dlg, WM_USER, 101, WM_RBUTTONUP);
    HWND menu = nullptr;
    EXPECT_TRUE(pollUntil(
        [&] {
            menu = nullptr;
            while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr &&
                   !IsWindowVisible(menu))
                ;
            return menu != nullptr;
        },
        5000))
        << "no notification menu shown";
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    EXPECT_EQ(manager.id(), owner) << "the menu belongs to another process";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(pollUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, 5000))
        << "menu still shown";

    // A double click on the icon is "&Iniciar Quorvel": the dialog comes back and the start
    // worker makes one more pass.
    // The trace line comes just before the worker suspends itself, and a resume that reaches it
    // still running has no effect (as a second "Encerrar" during a stop run): on a busy machine
    // the first double click can land in between, and the user clicks again.
    ASSERT_TRUE(manager.waitForLine("executarStart:SuspendThread", 15000)) << manager.joined();
    bool anotherPass = false;
    for (int click = 0; click < 10 && !anotherPass; ++click) {
        PostMessageA(dlg, WM_USER, 101, WM_LBUTTONDBLCLK);
        anotherPass = manager.waitForLine("executarStart:callMain", 3000, 2);
    }
    EXPECT_TRUE(anotherPass) << manager.joined();
    EXPECT_TRUE(pollUntil([&] { return IsWindowVisible(dlg) != 0; }, 5000)) << "shown again";
    EXPECT_EQ(1u, jvm.count("main begin app/Start")) << "the start main ran once: no stop since";
}

// The stand-in's destroy blocks as the real one does for a thread the application left behind:
// once the Java side has said it stopped, the manager ends after the stop key's Timeout, but
// never before a minute (a Timeout of 2 s here), which the application's own shutdown needs
// on a slow PC.
// "Encerrar", then a teardown that outlasts its bound, hidden: a second start meanwhile shows a
// window of its own at once and gets the application once the first process has ended; a third
// is shown that one and ends.
TEST_F(ManagerE2e, EncerrarResetsTheBarRunsTheStopClassAndStatus6Ends) {
    constexpr DWORD kDestroyBoundMs = 60000;
    key.setNumber("Stop", "Timeout", 2);
    NotifyCalls calls;
    HWND dlg = startAnnounced("status 3 at 0\nmain app.Start returns\nmain app.Stop returns\n"
                              "on app.Stop status 6 at 2500\ndestroy delay 120000\n");
    calls.stopTracing();
    ASSERT_NE(nullptr, dlg);
    ShowWindow(dlg, SW_HIDE);
    click(dlg, IDC_STOP);
    // The trace line comes after the text, the showing and the bar's reset.
    EXPECT_TRUE(manager.waitForLine("encerrar", 15000)) << manager.joined();
    EXPECT_EQ(kStopping, controlText(dlg, IDC_STATUS_TEXT));
    EXPECT_EQ(0, barOf(dlg));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the stop shows the dialog";
    EXPECT_TRUE(jvm.waitFor("main begin app/Stop", 10000));
    // Polls of 3 while stopping leave the bar at 0 (the start stays announced).
    ASSERT_TRUE(waitPollDone(3, manager.count("status: 3") + 1)) << manager.joined();
    EXPECT_EQ(0, barOf(dlg));
    ASSERT_TRUE(jvm.waitFor("DestroyJavaVM begin", kEndMs)) << manager.joined();
    EXPECT_FALSE(IsWindowVisible(dlg)) << "the teardown is hidden";

    ChildProcess second; // the trace is read from the first alone
    const DWORD secondStarted = GetTickCount();
    ASSERT_TRUE(second.start(managerCommand()));
    HWND waiting = nullptr;
    EXPECT_TRUE(pollUntil(
        [&] {
            HWND w = nullptr;
            while ((w = FindWindowExA(nullptr, w, "#32770", kTitle)) != nullptr) {
                if (w != dlg && IsWindowVisible(w))
                    waiting = w;
            }
            return waiting != nullptr;
        },
        kShowMs))
        << "nothing on screen for the second start";
    std::printf("second start's window after %lu ms\n",
                static_cast<unsigned long>(GetTickCount() - secondStarted));
    if (waiting) {
        EXPECT_EQ(kStopping, controlText(waiting, IDC_STATUS_TEXT));
    }
    ChildProcess third;
    ASSERT_TRUE(third.start(managerCommand()));
    DWORD thirdCode = 12345;
    EXPECT_TRUE(third.wait(kEndMs, &thirdCode)) << "a third start during the same close waits too";
    EXPECT_EQ(0u, thirdCode);
    EXPECT_EQ(1u, jvm.count("JNI_CreateJavaVM result")) << "never a second machine beside the first";

    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kDestroyBoundMs + kEndMs, &code)) << manager.joined();
    const DWORD firstEnded = GetTickCount();
    const DWORD waited = firstEnded - jvm.tickOf("DestroyJavaVM begin");
    std::printf("ended %lu ms after DestroyJavaVM began\n", static_cast<unsigned long>(waited));
    EXPECT_GE(waited, kDestroyBoundMs - kTickSlackMs);
    EXPECT_LT(waited, kDestroyBoundMs + 8000);
    EXPECT_EQ(0u, jvm.count("DestroyJavaVM end"));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, manager.count("status: 6"));
    EXPECT_TRUE(calls.lastWasRemoval()) << "icon removed at the end:\n" << calls.text();

    // The second start goes on once the first has ended, in the window it showed.
    EXPECT_TRUE(jvm.waitFor("JNI_CreateJavaVM result", kShowMs, 2));
    std::printf("second start's machine %lu ms after the first process ended\n",
                static_cast<unsigned long>(GetTickCount() - firstEnded));
    EXPECT_TRUE(
        pollUntil([&] { return waiting && controlText(waiting, IDC_STATUS_TEXT) == kStarted; }, 20000))
        << "the second start's application";
    second.kill();

    // The last line says how long the destruction had run, in milliseconds.
    const std::string head = "Tempo esgotado ao encerrar a m\xE1quina virtual Java: ";
    const std::string tail = " ms; o processo ser\xE1 encerrado.";
    const std::vector<std::string> lines = manager.lines();
    ASSERT_FALSE(lines.empty());
    const std::string &last = lines.back();
    ASSERT_TRUE(last.size() > head.size() + tail.size() && last.compare(0, head.size(), head) == 0 &&
                last.compare(last.size() - tail.size(), tail.size(), tail) == 0)
        << manager.joined();
    const std::string figure = last.substr(head.size(), last.size() - head.size() - tail.size());
    ASSERT_EQ(std::string::npos, figure.find_first_not_of("0123456789")) << last;
    const unsigned long ran = std::stoul(figure);
    EXPECT_GE(ran, kDestroyBoundMs - kTickSlackMs) << last;
    EXPECT_LT(ran, kDestroyBoundMs + 8000) << last;
}

// The end of the Windows session, as wineboot plays it: WM_QUERYENDSESSION and WM_ENDSESSION to
// every window, each waited for, then the process is ended. The manager answers yes, then runs
// the stop inside WM_ENDSESSION and tears the runtime down only after the Java side's 6.
TEST_F(ManagerE2e, EndOfTheSessionRunsTheStopAndDestroysOnlyAfterThe6) {
    key.setNumber("Stop", "Timeout", 10);
    HWND dlg = startAnnounced("status 3 at 0\nmain app.Start returns\nmain app.Stop returns\n"
                              "on app.Stop status 6 at 5000\n");
    ASSERT_NE(nullptr, dlg);
    click(dlg, IDC_MINIMIZE);
    ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(dlg); }, 5000));

    // Another program refused the end: the session goes on, and so does the manager.
    EXPECT_EQ(TRUE, SendMessageA(dlg, WM_QUERYENDSESSION, 0, 0));
    SendMessageA(dlg, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(0u, manager.count("encerrar")) << manager.joined();
    EXPECT_FALSE(IsWindowVisible(dlg));

    const DWORD began = GetTickCount();
    EndOfSession session;
    ASSERT_TRUE(session.begin());
    // While it waits for the Java side the dialog shows the stop and answers.
    ASSERT_TRUE(manager.waitForLine("encerrar", 15000)) << manager.joined();
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(kStopping, controlText(dlg, IDC_STATUS_TEXT));
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kStopBoundMs + kEndMs, &code)) << manager.joined();
    std::printf("the manager ended %lu ms after the end of the session began\n",
                static_cast<unsigned long>(GetTickCount() - began));
    EXPECT_EQ(0, session.finish()) << "the session ended";
    EXPECT_EQ(1u, manager.count("encerrar")) << manager.joined();
    EXPECT_EQ(1u, jvm.count("main end app/Stop returned"));
    EXPECT_TRUE(sixBeforeDestroy()) << "the machine went before the Java side said it stopped";
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end"));
    EXPECT_EQ(1u, manager.count("status: 6"));
    EXPECT_EQ(1u, traceStarting("Fim da sess\xE3o do Windows: o Quorvel parou em ")) << manager.joined();
}

// A stop that never brings 6 or 7 keeps the session from ending only up to the destroy bound.
TEST_F(ManagerE2e, EndOfTheSessionWithAStopThatNeverAnswersEndsWithinTheBound) {
    key.setNumber("Stop", "Timeout", 2);
    HWND dlg = startAnnounced("status 3 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);

    const DWORD began = GetTickCount();
    EndOfSession session;
    ASSERT_TRUE(session.begin());
    ASSERT_TRUE(manager.wait(kStopBoundMs + kEndMs)) << manager.joined();
    const DWORD took = GetTickCount() - began;
    std::printf("the manager ended %lu ms after the end of the session began\n",
                static_cast<unsigned long>(took));
    EXPECT_GE(took, kStopBoundMs - kTickSlackMs);
    EXPECT_EQ(0, session.finish());
    EXPECT_EQ(1u, jvm.count("main end app/Stop returned"));
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end"));
    EXPECT_EQ(1u, traceStarting("Fim da sess\xE3o do Windows: o Quorvel n\xE3o parou em "))
        << manager.joined();
}

TEST_F(ManagerE2e, ClosingBeforeTheStartEndsWithoutTheStopClass) {
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(waitPollDone(1, 1)) << manager.joined();
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kEndMs, &code)) << manager.joined();
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, manager.count("encerrar")) << manager.joined();
    EXPECT_EQ(0u, jvm.count("main begin app/Stop"));
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM begin"));
}

// Closed after the start was announced: the stop class runs before the machine goes; the
// stop pass and the destroy share the destroy bound (a minute here).
TEST_F(ManagerE2e, ClosingAfterTheStartRunsTheStopClassFirst) {
    // The stop pass is waited for up to Timeout: far more than the 500 ms stop class, for a busy machine.
    key.setNumber("Stop", "Timeout", 10);
    HWND dlg = startAnnounced("status 3 at 0\nmain app.Start returns\nmain app.Stop returns after 500\n"
                              "destroy delay 4000\n");
    ASSERT_NE(nullptr, dlg);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    ASSERT_TRUE(manager.wait(kEndMs)) << manager.joined();
    EXPECT_EQ(1u, manager.count("encerrar")) << manager.joined();
    EXPECT_EQ(1u, jvm.count("main end app/Stop returned")) << "the stop class ran before the end";
    EXPECT_LT(jvm.tickOf("main end app/Stop"), jvm.tickOf("DestroyJavaVM begin"));
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end"));
}

// Closed once the start main has run but before the start was announced: the stop runs as
// "Encerrar" runs it, and the window stays until the Java side answers 6. A second start in
// the meantime finds that window and creates no machine.
TEST_F(ManagerE2e, ClosingWhileStartingRunsTheStopAndEndsAfterThe6) {
    key.setNumber("Stop", "Timeout", 10);
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n"
                            "on app.Stop status 3 at 6000, 6 at 15000\n");
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(manager.waitForLine("executarStart:SuspendThread", kShowMs)) << manager.joined();
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    ASSERT_TRUE(manager.waitForLine("encerrar", 15000)) << manager.joined();
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(kStopping, controlText(dlg, IDC_STATUS_TEXT));
    ASSERT_TRUE(jvm.waitFor("main begin app/Stop", 15000)) << manager.joined();

    // The Java side reaches 3 before the stop's 6: the close goes on, nothing is announced.
    ASSERT_TRUE(waitPollDone(3, 1)) << manager.joined();
    EXPECT_EQ(kStopping, controlText(dlg, IDC_STATUS_TEXT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_BROWSER)))
        << "the browser button once a close has begun";
    ASSERT_EQ(0u, manager.count("status: 6")) << "the 3 came after the stop's 6";

    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kStopBoundMs + kEndMs, &code)) << manager.joined();
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, manager.count("encerrar")) << manager.joined();
    EXPECT_EQ(1u, manager.count("status: 6"));
    EXPECT_EQ(1u, jvm.count("main end app/Stop returned"));
    EXPECT_TRUE(sixBeforeDestroy()) << "the machine went before the Java side said it stopped";
    EXPECT_EQ(0u, jvm.count("ERROR")) << jvm.eventsStarting("ERROR").front();
}

// A runtime that cannot be loaded is tried five times, 10 s apart, off the window's thread: the
// starting dialog shows and answers meanwhile. Then the dialog goes, a box and the error file
// say why, and the manager ends with 1 having started nothing.
TEST_F(ManagerE2e, MissingRuntimeIsToldInABoxAndEndsWithCode1) {
    const std::string missing = jvm / "absent.dll";
    ASSERT_TRUE(key.setText("Java", "Jvm", missing));
    const DWORD began = GetTickCount();
    NotifyCalls calls;
    ASSERT_TRUE(manager.start(managerCommand()));
    calls.stopTracing();
    HWND dlg = waitForWindow(kTitle, kShowMs, "#32770");
    ASSERT_NE(nullptr, dlg) << "no dialog during the attempts";
    ASSERT_TRUE(manager.waitForLine("load", 30000, 2)) << manager.joined();
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        << "the window does not answer between two attempts";
    EXPECT_LT(manager.count("load"), 5u) << "checked too late to mean anything";
    const MessageBoxSeen box = waitForMessageBox("Quorvel", 50000 + kShowMs);
    ASSERT_NE(nullptr, box.hwnd) << manager.joined();
    const DWORD took = GetTickCount() - began;
    std::printf("the box came %lu ms after the start\n", static_cast<unsigned long>(took));
    EXPECT_GE(took, 40000 - kTickSlackMs) << "five attempts 10 s apart";
    EXPECT_EQ(5u, manager.count("load")) << manager.joined();
    const std::string head = "N\xE3o foi poss\xEDvel carregar a m\xE1quina virtual Java:\n" + missing + "\n";
    EXPECT_EQ(head, box.text.substr(0, head.size()));
    EXPECT_GT(box.text.size(), head.size()) << "no reason line: " << box.text;
    EXPECT_TRUE(stamped(errorLog(), box.text)) << errorLog();
    EXPECT_FALSE(IsWindowVisible(FindWindowA("#32770", kTitle))) << "the dialog showed";
    EXPECT_EQ(1, trayIconWindows()) << "the icon shows while the box does";

    dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kEndMs, &code)) << manager.joined();
    EXPECT_EQ(1u, code);
    EXPECT_TRUE(calls.lastWasRemoval()) << calls.text();
    EXPECT_EQ(0u, traceStarting("beginThreadEx") + traceStarting("status:")) << manager.joined();
}

// JvmMx missing: the manager passes -Xmx0m, which the runtime refuses while it reads its
// options. Its words reach the box only when the hooks come before the options, and the box
// comes at once: a refused creation is not tried again.
TEST_F(ManagerE2e, RefusedCreationIsToldAtOnceWithTheRuntimesWords) {
    HKEY java = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Java").c_str(), 0,
                                           KEY_SET_VALUE, &java));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(java, "JvmMx"));
    RegCloseKey(java);
    ASSERT_TRUE(jvm.writeScript("refuse -Xmx0m -6 Invalid maximum heap size: -Xmx0m\n"));
    const DWORD began = GetTickCount();
    NotifyCalls calls;
    ASSERT_TRUE(manager.start(managerCommand()));
    calls.stopTracing();
    const MessageBoxSeen box = waitForMessageBox("Quorvel", 50000 + kShowMs);
    ASSERT_NE(nullptr, box.hwnd) << manager.joined();
    std::printf("the box came %lu ms after the start\n", static_cast<unsigned long>(GetTickCount() - began));
    EXPECT_EQ(1u, manager.count("createJVM")) << manager.joined();
    EXPECT_EQ(1u, jvm.count("refused -Xmx0m words=hook"))
        << (jvm.count("refused") ? jvm.eventsStarting("refused").front() : "no refusal");
    EXPECT_EQ("N\xE3o foi poss\xEDvel criar a m\xE1quina virtual Java (c\xF3"
              "digo -6).\nInvalid maximum heap size: -Xmx0m",
              box.text);
    EXPECT_TRUE(stamped(errorLog(), box.text)) << errorLog();

    dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kEndMs, &code)) << manager.joined();
    EXPECT_EQ(1u, code);
    EXPECT_TRUE(calls.lastWasRemoval()) << calls.text();
    EXPECT_EQ(0u, traceStarting("beginThreadEx")) << manager.joined();
}

// Fatal errors on two threads of the runtime at the same moment: the manager ends once, with
// the icon removed and one stamped line, and no box (nothing was being created).
TEST_F(ManagerE2e, FatalErrorsAtOnceEndTheManagerOnceWithOneLine) {
    NotifyCalls calls;
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n"
                            "on app.Start abort at 500\non app.Start abort at 500\n");
    calls.stopTracing();
    ASSERT_NE(nullptr, dlg);
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kShowMs, &code)) << manager.joined();
    EXPECT_EQ(3u, code);
    EXPECT_TRUE(calls.lastWasRemoval()) << calls.text();
    const std::string err = errorLog();
    const std::string fatal = "A m\xE1quina virtual Java parou com um erro fatal.";
    std::size_t lines = 0;
    for (std::size_t at = err.find(fatal); at != std::string::npos; at = err.find(fatal, at + 1))
        ++lines;
    EXPECT_EQ(1u, lines) << err;
    EXPECT_TRUE(stamped(err, fatal)) << err;
    EXPECT_GE(jvm.count("abort"), 1u);
    EXPECT_EQ(0u, jvm.count("ERROR")) << jvm.eventsStarting("ERROR").front();
}

// A fatal error on another thread of the runtime while the machine is being created is no
// refusal of the creation: no box, which would keep a dying process waiting for a click.
// A fatal error while the refusal's box shows ends the process with the first code, and only
// the first tells why.
TEST_F(ManagerE2e, FatalErrorsDuringTheCreationAreToldOnceAndTheBoxOnlyOnTheCreatingThread) {
    auto fatalLines = [this] {
        const std::string err = errorLog();
        const std::string fatal = "A m\xE1quina virtual Java parou com um erro fatal.";
        std::size_t n = 0;
        for (std::size_t at = err.find(fatal); at != std::string::npos; at = err.find(fatal, at + 1))
            ++n;
        return n;
    };
    {
        NotifyCalls calls;
        ASSERT_TRUE(jvm.writeScript("create says Error occurred during initialization of VM\n"
                                    "create abort elsewhere\n"));
        ASSERT_TRUE(manager.start(managerCommand()));
        calls.stopTracing();
        DWORD code = 12345;
        const bool ended = manager.wait(kShowMs, &code);
        const MessageBoxSeen box = waitForMessageBox("Quorvel", 0);
        EXPECT_EQ(nullptr, box.hwnd) << box.text;
        EXPECT_TRUE(ended) << manager.joined();
        if (!ended) {
            manager.kill();
            waitForNoWindow(kTitle, 5000);
        }
        EXPECT_EQ(3u, code);
        EXPECT_EQ(1u, fatalLines()) << errorLog();
        EXPECT_TRUE(calls.lastWasRemoval()) << calls.text();
    }
    ASSERT_TRUE(DeleteFileA((jvm / "err.log").c_str()));
    ASSERT_TRUE(jvm.writeScript("create says Error occurred during initialization of VM\n"
                                "create abort\ncreate abort elsewhere after 5000\n"));
    TracedProcess second; // a process object runs one program
    ASSERT_TRUE(second.start(managerCommand()));
    const MessageBoxSeen box = waitForMessageBox("Quorvel", kShowMs);
    ASSERT_NE(nullptr, box.hwnd) << second.joined();
    EXPECT_EQ(
        "N\xE3o foi poss\xEDvel criar a m\xE1quina virtual Java.\nError occurred during initialization of VM",
        box.text);
    DWORD code = 12345;
    const bool ended = second.wait(kShowMs, &code);
    if (!ended)
        second.kill();
    ASSERT_TRUE(ended) << "the second fatal error ends the process";
    EXPECT_EQ(3u, code);
    EXPECT_EQ(1u, fatalLines()) << errorLog();
    EXPECT_TRUE(stamped(errorLog(), box.text)) << errorLog();
}

// System.exit in the Java side reaches the manager through the runtime's exit hook: the error
// file keeps what the runtime said and why the manager ended, and the process ends with the
// Java side's code. (Wine's tray drops a dead owner's icon by itself: no check here can tell.)
TEST_F(ManagerE2e, SystemExitEndsTheManagerWithItsCode) {
    NotifyCalls calls;
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n"
                            "on app.Start says porta 8080 em uso\non app.Start exit 3 at 500\n");
    calls.stopTracing();
    ASSERT_NE(nullptr, dlg);
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kShowMs, &code)) << manager.joined();
    EXPECT_EQ(3u, code);
    EXPECT_TRUE(calls.lastWasRemoval()) << calls.text();
    EXPECT_NE(std::string::npos, errorLog().find("porta 8080 em uso")) << errorLog();
    EXPECT_TRUE(stamped(errorLog(), "O programa Java encerrou o Quorvel com o c\xF3"
                                    "digo 3."))
        << errorLog();
    EXPECT_EQ(1u, jvm.count("vfprintf hook returned"));
    EXPECT_EQ(1u, jvm.count("exit 3"));
    EXPECT_EQ(0u, jvm.count("ERROR")) << jvm.eventsStarting("ERROR").front();
}

// A window with a title on a thread of its own that answers messages and counts
// WM_RBUTTONDBLCLK.
class TitledWindow {
  public:
    // `hangMs`: how long the window's thread takes over a WM_RBUTTONDBLCLK (a hung manager).
    explicit TitledWindow(const char *title, DWORD hangMs = 0) : hangMs_(hangMs) {
        thread_ = std::thread([this, title] {
            hwnd_ =
                CreateWindowA("STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            old_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TitledWindow::proc)));
            ready_ = true;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                DispatchMessageA(&msg);
            DestroyWindow(hwnd_);
        });
        pollUntil([this] { return ready_.load(); }, 5000);
    }
    ~TitledWindow() {
        PostThreadMessageA(GetWindowThreadProcessId(hwnd_, nullptr), WM_QUIT, 0, 0);
        thread_.join();
    }
    int doubleClicks() const { return doubleClicks_; }

  private:
    static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto *self = reinterpret_cast<TitledWindow *>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (m == WM_RBUTTONDBLCLK) {
            ++self->doubleClicks_;
            Sleep(self->hangMs_);
        }
        return CallWindowProcA(self->old_, h, m, w, l);
    }
    std::thread thread_;
    std::atomic<bool> ready_{false};
    std::atomic<int> doubleClicks_{0};
    HWND hwnd_ = nullptr;
    WNDPROC old_ = nullptr;
    DWORD hangMs_;
};

// A running manager (it holds the managers' mutex) whose window does not answer: the second
// start says so in a box and ends, rather than wait for it for ever or start beside it.
TEST_F(ManagerE2e, ManagerThatDoesNotAnswerIsReportedInABox) {
    HANDLE running = CreateMutexA(nullptr, TRUE, "QuorvelGerenciador");
    ASSERT_NE(nullptr, running);
    {
        TitledWindow hung(kTitle, 15000); // longer than the 10 s a second start waits for an answer
        ASSERT_TRUE(jvm.writeScript("status 1 at 0\nmain app.Start returns\n"));
        ASSERT_TRUE(manager.start(managerCommand()));
        const MessageBoxSeen box = waitForMessageBox("Quorvel", kShowMs);
        ASSERT_NE(nullptr, box.hwnd) << manager.joined();
        EXPECT_EQ(0u, box.text.find("O Quorvel j\xE1 est\xE1 aberto, mas n\xE3o est\xE1 respondendo."))
            << box.text;
        dismissMessageBox(box.hwnd);
        DWORD code = 12345;
        ASSERT_TRUE(manager.wait(kEndMs, &code)) << manager.joined();
        EXPECT_EQ(1u, code);
        EXPECT_EQ(1, hung.doubleClicks());
        EXPECT_FALSE(fileExists(jvm.recordPath())) << "no runtime loaded beside the running manager";
    }
    ReleaseMutex(running);
    CloseHandle(running);
}

TEST_F(ManagerE2e, WindowTitledWithoutTheBlankIsNotARunningManager) {
    TitledWindow other("Quorvel");
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg) << "the manager runs";
    EXPECT_TRUE(manager.waitForLine(">preparar", 5000));
    EXPECT_EQ(0, other.doubleClicks());
}

TEST_F(ManagerE2e, SecondStartShowsTheHiddenDialogAndEndsTouchingNothing) {
    HWND dlg = startManager("status 1 at 0\nmain app.Start returns\nmain app.Stop returns\n");
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(manager.waitForLine("status: 1", 15000)) << manager.joined();
    click(dlg, IDC_MINIMIZE);
    ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(dlg); }, 5000));
    EXPECT_TRUE(manager.running()) << "Minimizar only hides";

    // A journal that cannot be undone, now: a second manager that looked at it would log.
    ASSERT_TRUE(makeDirs(jvm / "tmpQvel"));
    ASSERT_TRUE(writeFile(jvm / "tmpQvel\\journal.data", "garbage\r\n"));
    const std::size_t createsBefore = jvm.count("JNI_CreateJavaVM result");

    TracedProcess second;
    ASSERT_TRUE(second.start(managerCommand()));
    DWORD code = 12345;
    ASSERT_TRUE(second.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(pollUntil([&] { return IsWindowVisible(dlg) != 0; }, 5000))
        << "the first manager's dialog is shown again";
    EXPECT_TRUE(second.lines().empty()) << "the second prepared nothing:\n" << second.joined();
    EXPECT_EQ(createsBefore, jvm.count("JNI_CreateJavaVM result"));
    EXPECT_FALSE(dirExists(jvm / "logs")) << "the journal was not read";
    EXPECT_TRUE(manager.running());

    // Esc hides the dialog to the notification area as "Minimizar" does; the polls go on.
    const std::size_t polls = manager.count("status: 1");
    PostMessageA(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(pollUntil([&] { return !IsWindowVisible(dlg); }, 5000)) << "Esc did not hide the dialog";
    EXPECT_TRUE(manager.waitForLine("status: 1", 15000, polls + 2)) << "no poll after Esc\n"
                                                                    << manager.joined();
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_EQ(1, trayIconWindows());
    EXPECT_EQ(0u, manager.count("encerrar"));
}

// A status method that waits 20 s: the window's thread is not the one waiting, so the dialog
// answers, repaints and takes commands meanwhile.
TEST_F(ManagerE2e, StatusMethodThatBlocksLeavesTheWindowAnswering) {
    HWND dlg = startManager("status 1 at 0\nstatus blocks 20000 at 3000\nmain app.Start returns\n");
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(jvm.waitFor("getTomcatStatus blocks", 15000)) << manager.joined();
    const DWORD began = GetTickCount();
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        << "the window does not answer while the status method blocks";
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    click(dlg, IDC_MINIMIZE);
    EXPECT_TRUE(pollUntil([&] { return !IsWindowVisible(dlg); }, 5000)) << "Minimizar while blocked";
    PostMessageA(dlg, WM_COMMAND, ID_TRAY_START, 0);
    EXPECT_TRUE(pollUntil([&] { return IsWindowVisible(dlg) != 0; }, 5000)) << "Iniciar while blocked";
    std::printf("answered commands within %lu ms of the block\n",
                static_cast<unsigned long>(GetTickCount() - began));
    EXPECT_EQ(0u, jvm.count("getTomcatStatus unblocks")) << "the checks ran after the block, not during it";
    EXPECT_TRUE(jvm.waitFor("getTomcatStatus unblocks", 30000));
    EXPECT_TRUE(manager.waitForLine("status: 1", 15000, manager.count("status: 1") + 1))
        << "polls go on after it";
}

TEST_F(ManagerE2e, JournalThatCannotBeUndoneEndsTheManagerAtOnce) {
    ASSERT_TRUE(makeDirs(jvm / "tmpQvel"));
    ASSERT_TRUE(writeFile(jvm / "tmpQvel\\journal.data", "garbage\r\n"));
    ASSERT_TRUE(jvm.writeScript("status 3 at 0\nmain app.Start returns\n"));
    NotifyCalls calls;
    ASSERT_TRUE(manager.start(managerCommand()));
    calls.stopTracing();
    DWORD code = 12345;
    ASSERT_TRUE(manager.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(manager.lines().empty()) << "nothing prepared:\n" << manager.joined();
    EXPECT_FALSE(fileExists(jvm.recordPath())) << "no runtime loaded";
    EXPECT_TRUE(calls.lastWasRemoval()) << "icon removed:\n" << calls.text();
    EXPECT_TRUE(fileExists(jvm / "tmpQvel\\journal.data")) << "left for the next start";
    EXPECT_TRUE(dirExists(jvm / "logs")) << "the reasons are in the log";
}

} // namespace
