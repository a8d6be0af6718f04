// QuorvelBkp and QuorvelRst driven from outside under Wine, with the stand-in jvm.dll playing
// the Java side: the splash, the message boxes, the single-instance rule, the files left.
#include "FakeJvmFiles.h"
#include "Parameters.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kMonitor[] = "halvane/nerel/commonLib/integrador/backup/LauncherControl";
const char kClassFolder[] =
    "aplicacao\\site\\WEB-INF\\classes\\halvane\\nerel\\commonLib\\integrador\\backup";
const char kLogFolder[] = "aplicacao\\infra\\tomcat\\logs";
const char kLoadCaption[] = "Erro ao carregar aplicativo";

struct Flavour {
    const char *exe, *windowClass, *title, *mainClass, *output, *logPrefix, *timeout;
    int classId;
};
const Flavour kBkp{"QuorvelBkp.exe",
                   "QUORVELBKP",
                   "Cópia de Segurança",
                   "halvane.nerel.commonLib.integrador.backup.JBackup",
                   "backupw.log",
                   "backup_log_",
                   "Não foi possível carregar o aplicativo de Backup. Consulte o log para mais detalhes.",
                   135};
const Flavour kRst{"QuorvelRst.exe",
                   "QUORVELRST",
                   "Restaurar",
                   "halvane.nerel.commonLib.integrador.backup.JRestore",
                   "restorew.log",
                   "restore_log_",
                   "Não foi possível carregar o aplicativo de Restore. Consulte o log para mais detalhes.",
                   131};

// LauncherControl.main returns at once; its monitor then reports the codes at their times.
std::string codes(const char *list) {
    return std::string("main ") + kMonitor + " returns\non " + kMonitor + " informarStatus " + list + "\n";
}

std::string resourceOf(const Flavour &f) {
    HMODULE m = LoadLibraryExA(qvtest::programPath(f.exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::string bytes = "<missing>";
    if (HRSRC r = m ? FindResourceA(m, MAKEINTRESOURCEA(f.classId), "IDR_BINARY") : nullptr)
        bytes.assign(static_cast<const char *>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
    if (m)
        FreeLibrary(m);
    return bytes;
}

// An installation folder, the parameters key pointing at it and a private stand-in runtime.
class Installation {
  public:
    Installation(const std::string &name, const std::string &script, bool withInstdir = true)
        : jvm_(name + "_jre"), dir_(name), key_(kParametersKey) {
        jvm_.writeScript(script);
        key_.setText("Java", "Jvm", jvm_.dllPath());
        if (withInstdir)
            key_.setText("Site", "INSTDIR83", dir_.path());
        qvtest::makeDirs(dir_ / kClassFolder);
        qvtest::makeDirs(dir_ / kLogFolder);
    }
    std::string path() const { return dir_.path(); }
    std::string classFile() const { return dir_ / kClassFolder + std::string("\\LauncherControl.class"); }
    std::string logText(const Flavour &f) const {
        std::string all;
        WIN32_FIND_DATAA fd;
        const std::string folder = dir_ / kLogFolder;
        HANDLE h = FindFirstFileA((folder + "\\" + f.logPrefix + "*.log").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return all;
        do {
            std::string text;
            qvtest::readFile(folder + "\\" + fd.cFileName, text);
            all += text;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        return all;
    }
    const qvtest::FakeJvmDir &jvm() const { return jvm_; }

  private:
    qvtest::FakeJvmDir jvm_;
    qvtest::ScratchDir dir_;
    qvtest::ScratchKey key_;
};

// QV_E2E_WINDOWS_VERSION (say "win98") makes Wine answer as that Windows to both launchers.
class WindowsVersion : public ::testing::Environment {
  public:
    void SetUp() override {
        char version[32] = {};
        const DWORD n = GetEnvironmentVariableA("QV_E2E_WINDOWS_VERSION", version, sizeof version);
        if (n == 0 || n >= sizeof version)
            return;
        for (const Flavour *f : {&kBkp, &kRst})
            versions_.push_back(std::make_unique<qvtest::WineVersionFor>(f->exe, version));
    }
    void TearDown() override { versions_.clear(); }

  private:
    std::vector<std::unique_ptr<qvtest::WineVersionFor>> versions_;
};
[[maybe_unused]] ::testing::Environment *const kWindowsVersion =
    ::testing::AddGlobalTestEnvironment(new WindowsVersion);

bool startLauncher(qvtest::ChildProcess &p, const Flavour &f) {
    return p.start("\"" + qvtest::programPath(f.exe) + "\"");
}

// Shown message boxes with that caption, whoever owns them.
std::vector<HWND> boxesCaptioned(const char *caption) {
    struct Ctx {
        const char *caption;
        std::vector<HWND> found;
    } ctx{caption, {}};
    EnumWindows(
        [](HWND h, LPARAM l) CALLBACK -> BOOL {
            auto *c = reinterpret_cast<Ctx *>(l);
            char cls[32] = {}, title[256] = {};
            GetClassNameA(h, cls, sizeof cls);
            GetWindowTextA(h, title, sizeof title);
            if (std::string(cls) == "#32770" && std::string(title) == c->caption && IsWindowVisible(h))
                c->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

DWORD ownerProcess(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

std::string recordOf(const qvtest::FakeJvmDir &jvm) {
    std::string text = "stand-in record:\n";
    for (const std::string &line : jvm.lines())
        text += "  " + line + "\n";
    return text;
}

// A quick, successful run. Code 4 stays for several of the launcher's 200 ms polls: a poll that
// missed it would wait for its minute, since 3 counts only after 4 was seen.
constexpr const char *kQuickRun = "0 at 0, 4 at 200, 3 at 1400";

// Only waits: the first launcher of a session under emulation on a busy machine took over 15 s.
constexpr DWORD kSplashMs = 60000;
constexpr DWORD kEndMs = 30000;

} // namespace

TEST(LauncherE2e, SplashHidesAtFourAndTheProgramEndsAfterThreeWithoutMessage) {
    Installation inst("launcher_e2e_ok", codes("0 at 0, 4 at 1500, 3 at 4000"));
    ASSERT_TRUE(qvtest::writeFile(inst.classFile(), "an old class file"));
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kBkp));

    HWND splash = qvtest::waitForWindow(kBkp.title, kSplashMs, kBkp.windowClass);
    ASSERT_NE(nullptr, splash) << "no splash window of class " << kBkp.windowClass << " shown";
    ASSERT_TRUE(inst.jvm().waitFor("informarStatus 4", kEndMs)) << recordOf(inst.jvm());
    EXPECT_TRUE(qvtest::pollUntil([&] { return !IsWindowVisible(splash); }, 2000))
        << "splash still shown after 4";
    EXPECT_TRUE(p.running()) << "the launcher waits for code 3";

    DWORD code = 12345;
    ASSERT_TRUE(p.wait(kEndMs, &code)) << "did not end after code 3 (a message box is waiting?)";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(boxesCaptioned(kLoadCaption).empty());

    std::string written;
    ASSERT_TRUE(qvtest::readFile(inst.classFile(), written));
    EXPECT_TRUE(written == resourceOf(kBkp)) << "the old class file was not replaced by the resource";
    EXPECT_EQ("", inst.logText(kBkp)) << "nothing failed, nothing logged";

    const qvtest::FakeJvmDir &jvm = inst.jvm();
    const std::string I = inst.path();
    EXPECT_EQ(
        (std::vector<std::string>{"option -Djava.class.path=.;" + I + "\\aplicacao\\site\\WEB-INF\\classes\\",
                                  "option -Xmx256m", "option -Xms32m", "option -Xss512k", "option -Xoss400K",
                                  "option -Dsun.java2d.noddraw=true", "option -Dinstall.dir=" + I,
                                  "option -Dport.hsqldb=9002"}),
        jvm.eventsStarting("option "));
    EXPECT_EQ((std::vector<std::string>{"hook vfprintf set"}), jvm.eventsStarting("hook "))
        << "the runtime's own words go to the output file; exit and abort are the runtime's own";
    EXPECT_EQ(1u, jvm.count("RegisterNatives " + std::string(kMonitor) + " informarStatus (I)V result=0"));
    EXPECT_EQ((std::vector<std::string>{"main begin " + std::string(kMonitor) + " args=1 [" + kBkp.mainClass +
                                        "]"}),
              jvm.eventsStarting("main begin"));
    const std::string out = I + "\\aplicacao\\infra\\tomcat\\logs\\" + kBkp.output;
    EXPECT_EQ((std::vector<std::string>{"setOut " + out}), jvm.eventsStarting("setOut"));
    EXPECT_EQ((std::vector<std::string>{"setErr " + out}), jvm.eventsStarting("setErr"));
    EXPECT_EQ(1u, jvm.count("AttachCurrentThreadAsDaemon name=" + std::string(kBkp.mainClass)));
    const DWORD attached = jvm.tickOf("AttachCurrentThreadAsDaemon"),
                called = jvm.tickOf("FindClass java/lang/String");
    EXPECT_GE(called - attached, 5000u - qvtest::kTickSlackMs)
        << "the main-call thread waits 5 s before calling into Java";
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end"));
    EXPECT_EQ(0u, jvm.count("ERROR")) << "misuse of the runtime recorded";
}

// The end of the session while the Java window shows, the splash hidden: refused, and the
// program goes on to its end. wineboot would end this driver too, were a window of it asked first.
TEST(LauncherE2e, JavaAtWorkRefusesTheEndOfTheSession) {
    Installation inst("launcher_e2e_session", codes("0 at 0, 4 at 1500, 3 at 21500") + "on " + kMonitor +
                                                  " window at 1000 for 20000\n");
    qvtest::ChildProcess p, wineboot;
    ASSERT_TRUE(startLauncher(p, kRst));
    HWND splash = qvtest::waitForWindow(kRst.title, kSplashMs, kRst.windowClass);
    ASSERT_TRUE(inst.jvm().waitFor("window shown visible", kEndMs)) << recordOf(inst.jvm());
    ASSERT_TRUE(qvtest::pollUntil([&] { return splash && !IsWindowVisible(splash); }, kEndMs));
    const DWORD begin = GetTickCount();
    DWORD code = 12345;
    ASSERT_TRUE(wineboot.start("wineboot --end-session --force") && wineboot.wait(kEndMs, &code));
    std::printf("wineboot exit code %lu after %lu ms\n", code,
                static_cast<unsigned long>(GetTickCount() - begin));
    EXPECT_EQ(1u, code) << "the end of the session was not refused";
    EXPECT_EQ(0u, inst.jvm().count("window closed")) << "asked only after the window closed";
    ASSERT_TRUE(p.wait(kSplashMs, &code)) << recordOf(inst.jvm());
    EXPECT_EQ(1u, inst.jvm().count("DestroyJavaVM end")) << "the program was cut\n" << recordOf(inst.jvm());
    EXPECT_EQ("", inst.logText(kRst));
}

TEST(LauncherE2e, CodeOneShowsTheErrorBoxAndTheProgramEnds) {
    Installation inst("launcher_e2e_one", codes("0 at 0, 1 at 500"));
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kBkp));
    const qvtest::MessageBoxSeen box = qvtest::waitForMessageBox(kLoadCaption, kEndMs);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ(p.id(), ownerProcess(box.hwnd));
    EXPECT_EQ("Ocorreu um erro inesperado. Consulte o log para mais detalhes.", box.text);
    qvtest::dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
}

TEST(LauncherE2e, CodeTwoShowsTheMonitorBoxAndTheProgramEnds) {
    Installation inst("launcher_e2e_two", codes("0 at 0, 4 at 300, 2 at 900"));
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kRst));
    const qvtest::MessageBoxSeen box = qvtest::waitForMessageBox(kLoadCaption, kEndMs);
    ASSERT_NE(nullptr, box.hwnd);
    EXPECT_EQ("Ocorreu um erro inesperado no monitor. Consulte o log para mais detalhes.", box.text);
    qvtest::dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
}

TEST(LauncherE2e, SecondBackupEndsAtOnceWhileARestoreRunsBeside) {
    Installation inst("launcher_e2e_twice", codes("0 at 0"));
    qvtest::ChildProcess first, second, restore;
    ASSERT_TRUE(startLauncher(first, kBkp));
    ASSERT_NE(nullptr, qvtest::waitForWindow(kBkp.title, kSplashMs, kBkp.windowClass));
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\{{6F1B0C2E-3D4A-4C5B-9E8F-A1B2C3D4E5F6}}");
    EXPECT_NE(nullptr, mutex) << "the backup launcher's mutex, braces doubled";
    if (mutex)
        CloseHandle(mutex);
    // Also where Wine answers as Windows 98: the version may lie, the system takes the name.
    HANDLE bare = OpenMutexA(SYNCHRONIZE, FALSE, "{{6F1B0C2E-3D4A-4C5B-9E8F-A1B2C3D4E5F6}}");
    EXPECT_EQ(nullptr, bare) << "a per-session mutex under the bare name";
    if (bare)
        CloseHandle(bare);

    ASSERT_TRUE(startLauncher(second, kBkp));
    DWORD code = 12345;
    // "At once" next to the first one's minute: a start under emulation on a busy machine takes seconds.
    EXPECT_TRUE(second.wait(20000, &code)) << "the second backup launcher did not end at once";
    EXPECT_EQ(0u, code);

    ASSERT_TRUE(startLauncher(restore, kRst));
    EXPECT_NE(nullptr, qvtest::waitForWindow(kRst.title, kSplashMs, kRst.windowClass));
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(restore.running());
    int backupSplashes = 0;
    for (HWND h = FindWindowA(kBkp.windowClass, nullptr); h;
         h = FindWindowExA(nullptr, h, kBkp.windowClass, nullptr))
        ++backupSplashes;
    EXPECT_EQ(1, backupSplashes);
    first.kill();
    restore.kill();
}

TEST(LauncherE2e, MissingInstdirUsesCQuorvel) {
    qvtest::ScratchDir c("..\\QUORVEL"); // C:\QUORVEL, removed afterwards
    ASSERT_EQ("C:\\qvtest\\..\\QUORVEL", c.path());
    Installation inst("launcher_e2e_noinst", codes(kQuickRun), false);
    qvtest::makeDirs(c / kClassFolder);
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kBkp));
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(kEndMs, &code));
    EXPECT_EQ(1u, inst.jvm().count("option -Dinstall.dir=C:\\QUORVEL"));
    EXPECT_EQ(
        1u, inst.jvm().count("option -Djava.class.path=.;C:\\QUORVEL\\aplicacao\\site\\WEB-INF\\classes\\"));
    std::string written;
    EXPECT_TRUE(
        qvtest::readFile("C:\\QUORVEL\\" + std::string(kClassFolder) + "\\LauncherControl.class", written));
    EXPECT_TRUE(written == resourceOf(kBkp));
}

// The stand-in's DestroyJavaVM blocks as the real one does for a frame hidden but not disposed.
// Nothing shows, so the bound counts after the quiet period: 30 s and 10 s.
TEST(LauncherE2e, TeardownThatNeverEndsIsCutAfterItsBound) {
    Installation inst("launcher_e2e_stuck", codes(kQuickRun) + "destroy delay 600000\n");
    // A window of another process on screen does not hold the bound off.
    HWND other = CreateWindowExA(0, "STATIC", "another process", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(other && IsWindowVisible(other));
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kBkp));
    ASSERT_TRUE(inst.jvm().waitFor("DestroyJavaVM begin", kEndMs)) << recordOf(inst.jvm());
    const DWORD begin = GetTickCount();
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(100000, &code)) << "the launcher stayed after its quiet period and tear-down bound";
    const DWORD waited = GetTickCount() - begin;
    std::printf("ended %lu ms after DestroyJavaVM began\n", static_cast<unsigned long>(waited));
    EXPECT_GE(waited, 40000u - qvtest::kTickSlackMs);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, inst.jvm().count("DestroyJavaVM end"));
    EXPECT_NE(std::string::npos, inst.logText(kBkp).find("Tempo esgotado ao encerrar a máquina virtual Java"))
        << inst.logText(kBkp);
    DestroyWindow(other);
}

// A dialog without a visible owner frame is no frame to the monitor class: code 3 comes while
// the program still asks the user something. The destroy waits for the dialog, which stays
// longer than the 10-s bound; the launcher waits for it and ends when it closes.
TEST(LauncherE2e, DialogShownAfterThreeHoldsOffTheTeardownBound) {
    Installation inst("launcher_e2e_dialog",
                      codes(kQuickRun) + "on " + kMonitor + " window at 1000 for 16000\n");
    qvtest::ChildProcess p;
    ASSERT_TRUE(startLauncher(p, kRst));
    ASSERT_TRUE(inst.jvm().waitFor("DestroyJavaVM begin", kEndMs)) << recordOf(inst.jvm());
    DWORD code = 12345;
    ASSERT_TRUE(p.wait(60000, &code)) << "the launcher did not end after the dialog closed";
    EXPECT_EQ(0u, code);
    const qvtest::FakeJvmDir &jvm = inst.jvm();
    EXPECT_EQ(std::string::npos, inst.logText(kRst).find("Tempo esgotado")) << inst.logText(kRst);
    EXPECT_EQ(1u, jvm.count("DestroyJavaVM end")) << "cut while the dialog showed\n" << recordOf(jvm);
    ASSERT_EQ(1u, jvm.count("window shown visible")) << recordOf(jvm);
    ASSERT_EQ(1u, jvm.count("window closed")) << recordOf(jvm);
    const DWORD closed = jvm.tickOf("window closed"), begin = jvm.tickOf("DestroyJavaVM begin");
    EXPECT_GT(closed - begin, 10000u + qvtest::kTickSlackMs) << "the dialog did not outlast the bound";
}

// The one slow path: no window within 300 polls, for both flavours at once. The Java program
// then shows its window late and works on for 20 s (the stand-in's destroy waits that long, as
// the real one waits for the program's threads): the launchers wait for it, unbounded.
TEST(LauncherE2e, NoWindowShowsEachFlavoursTimeoutMessage) {
    Installation inst("launcher_e2e_timeout", codes("0 at 0, 4 at 60000") + "destroy delay 20000\n");
    qvtest::ChildProcess bkp, rst;
    // Read before the starts, so neither launcher's minute can begin ahead of it.
    const DWORD start = GetTickCount();
    ASSERT_TRUE(startLauncher(bkp, kBkp));
    ASSERT_TRUE(startLauncher(rst, kRst));
    std::vector<HWND> boxes;
    qvtest::pollUntil([&] { return (boxes = boxesCaptioned(kLoadCaption)).size() >= 2; }, 120000, 200);
    ASSERT_EQ(2u, boxes.size());
    std::printf("time-out boxes after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    EXPECT_GE(GetTickCount() - start, 60000u - qvtest::kTickSlackMs);
    for (HWND box : boxes) {
        const std::string text = qvtest::controlText(box, 0xFFFF);
        EXPECT_EQ(ownerProcess(box) == bkp.id() ? kBkp.timeout : kRst.timeout, text);
        qvtest::dismissMessageBox(box);
    }
    DWORD code = 12345;
    EXPECT_TRUE(bkp.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(rst.wait(kEndMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(2u, inst.jvm().count("DestroyJavaVM end")) << "a launcher ended while its program worked\n"
                                                         << recordOf(inst.jvm());
    EXPECT_EQ("", inst.logText(kBkp) + inst.logText(kRst));
}
