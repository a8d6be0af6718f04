// Launcher pieces inside one Windows process under Wine. The test program carries the backup
// launcher's resources (QuorvelBkp.rc), so its own module plays the launcher's.
#include "AdminCheck.h"
#include "AppException.h"
#include "ClassExtraction.h"
#include "FakeJvmFiles.h"
#include "Flavour.h"
#include "JavaLaunch.h"
#include "Launcher.h"
#include "LauncherLog.h"
#include "LauncherState.h"
#include "SplashWindow.h"
#include "WinTestUtil.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::string resourceBytes(HMODULE module, int id, const char *type) {
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!res)
        return "<missing>";
    HGLOBAL h = LoadResource(module, res);
    const char *p = h ? static_cast<const char *>(LockResource(h)) : nullptr;
    return p ? std::string(p, SizeofResource(module, res)) : "<unreadable>";
}

std::string loadString(HMODULE module, UINT id) {
    char buffer[100] = "<sentinel>";
    LoadStringA(module, id, buffer, sizeof buffer);
    return buffer;
}

// Pumps this thread's messages while waiting, so windows of this thread answer the messages a
// message box sends its owner.
template <typename F> bool pumpUntil(F condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    return true;
}

class DataModule {
  public:
    explicit DataModule(const std::string &exe)
        : h_(LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (h_)
            FreeLibrary(h_);
    }
    HMODULE get() const { return h_; }

  private:
    HMODULE h_;
};

constexpr WORD kLang1046 = MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);

} // namespace

TEST(LauncherResources, BothProgramsCarryTheSameClassFileAsBuilt) {
    DataModule bkp(qvtest::binPath("QuorvelBkp.exe"));
    DataModule rst(qvtest::binPath("QuorvelRst.exe"));
    ASSERT_NE(nullptr, bkp.get());
    ASSERT_NE(nullptr, rst.get());
    std::string built;
    ASSERT_TRUE(qvtest::readFile(QV_LAUNCHER_CLASS_WIN, built)) << QV_LAUNCHER_CLASS_WIN;
    const std::string inBkp = resourceBytes(bkp.get(), 135, "IDR_BINARY");
    const std::string inRst = resourceBytes(rst.get(), 131, "IDR_BINARY");
    EXPECT_EQ(built.size(), inBkp.size());
    EXPECT_TRUE(built == inBkp) << "QuorvelBkp's class file differs from the build's";
    EXPECT_TRUE(built == inRst) << "QuorvelRst's class file differs from the build's";
    EXPECT_EQ(std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x30", 8), inBkp.substr(0, 8)) << "class format 48.0";
    EXPECT_NE(nullptr, FindResourceExA(bkp.get(), "IDR_BINARY", MAKEINTRESOURCEA(135), kLang1046));
    EXPECT_NE(nullptr, FindResourceExA(rst.get(), "IDR_BINARY", MAKEINTRESOURCEA(131), kLang1046));
    std::printf("LauncherControl.class embedded: %zu bytes\n", inBkp.size());
}

TEST(LauncherResources, PerFlavourStringsPicturesIconManifestAndVersion) {
    struct Expect {
        const char *exe, *title, *windowClass;
        int bitmap;
    } flavours[] = {{"QuorvelBkp.exe", "Cópia de Segurança", "QUORVELBKP", 132},
                    {"QuorvelRst.exe", "Restaurar", "QUORVELRST", 130}};
    for (const Expect &f : flavours) {
        SCOPED_TRACE(f.exe);
        DataModule m(qvtest::binPath(f.exe));
        ASSERT_NE(nullptr, m.get());
        EXPECT_EQ(f.title, loadString(m.get(), 103));
        EXPECT_EQ(f.windowClass, loadString(m.get(), 109));
        // Strings 96-111 live in block 7.
        EXPECT_NE(nullptr, FindResourceExA(m.get(), RT_STRING, MAKEINTRESOURCEA(103 / 16 + 1), kLang1046));

        HBITMAP bmp = static_cast<HBITMAP>(
            LoadImageA(m.get(), MAKEINTRESOURCEA(f.bitmap), IMAGE_BITMAP, 69, 61, LR_CREATEDIBSECTION));
        ASSERT_NE(nullptr, bmp);
        BITMAP info{};
        GetObjectA(bmp, sizeof info, &info);
        EXPECT_EQ(69, info.bmWidth);
        EXPECT_EQ(61, info.bmHeight);
        DeleteObject(bmp);

        EXPECT_NE(nullptr, FindResourceA(m.get(), MAKEINTRESOURCEA(129), RT_GROUP_ICON));
        const std::string icon = resourceBytes(m.get(), 129, RT_GROUP_ICON);
        ASSERT_EQ(20u, icon.size()) << "one image";
        EXPECT_EQ(32, static_cast<unsigned char>(icon[6]));
        EXPECT_EQ(32, static_cast<unsigned char>(icon[7]));
        EXPECT_EQ(16, static_cast<unsigned char>(icon[8])) << "16 colours";

        const std::string manifest = resourceBytes(m.get(), 1, RT_MANIFEST);
        EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\"")) << manifest;
        EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\"")) << manifest;
        EXPECT_NE(nullptr, FindResourceA(m.get(), MAKEINTRESOURCEA(1), RT_VERSION));
    }
}

TEST(AdminCheck, WineAnswersYesForEveryVariant) {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(148u, sizeof v);
    std::printf("GetVersionExA: platform %lu, version %lu.%lu\n", v.dwPlatformId, v.dwMajorVersion,
                v.dwMinorVersion);
    AdminCheck &check = AdminCheck::instance();
    EXPECT_EQ(AdminCheck::chooseVariant(v.dwPlatformId, v.dwMajorVersion), check.variant());
    EXPECT_TRUE(check.isAdmin());
    EXPECT_TRUE(check.isAdmin()) << "the cached answer";
    for (auto variant : {AdminCheck::Variant::AlwaysYes, AdminCheck::Variant::TokenGroups,
                         AdminCheck::Variant::TokenMembership}) {
        auto c = AdminCheck::create(variant);
        EXPECT_EQ(variant, c->variant());
        EXPECT_TRUE(c->isAdmin()) << "variant " << static_cast<int>(variant);
    }
}

// The probe prints what GetVersionExA and the administrator check answer in a new process.
namespace {
std::string runProbe(const std::string &output) {
    qvtest::ChildProcess probe;
    DeleteFileA(output.c_str());
    if (!probe.start("\"" + qvtest::binPath("qvadminprobe.exe") + "\" \"" + output + "\""))
        return "<not started>";
    DWORD code = 1234;
    if (!probe.wait(20000, &code))
        return "<did not end>";
    std::string text = "<no output>";
    qvtest::readFile(output, text);
    return text;
}

} // namespace

TEST(AdminCheck, VariantFollowsTheVersionWinePretends) {
    qvtest::ScratchDir dir("launcher_probe");
    const std::string out = dir / "probe.txt";
    {
        qvtest::WineVersionFor win98("qvadminprobe.exe", "win98");
        EXPECT_EQ("platform=1 version=4.10 variant=always-yes admin=1", runProbe(out));
    }
    {
        qvtest::WineVersionFor nt4("qvadminprobe.exe", "nt40");
        EXPECT_EQ("platform=2 version=4.0 variant=token-groups admin=1", runProbe(out));
    }
    const std::string plain = runProbe(out);
    EXPECT_EQ(0u, plain.find("platform=2 version=")) << plain;
    EXPECT_NE(std::string::npos, plain.find("variant=token-membership admin=1")) << plain;
}

TEST(ClassExtraction, WritesTheResourceAndReplacesWhatWasThere) {
    qvtest::ScratchDir dir("launcher_extract");
    const std::string file = dir / "LauncherControl.class";
    ASSERT_TRUE(qvtest::writeFile(file, std::string(5000, 'x')));
    extraiPacoteBinario(135, dir.path(), "LauncherControl.class");
    extraiPacoteBinario(135, dir.path(), "LauncherControl.class");
    std::string written, resource = resourceBytes(GetModuleHandleA(nullptr), 135, "IDR_BINARY");
    ASSERT_TRUE(qvtest::readFile(file, written));
    EXPECT_EQ(resource.size(), written.size());
    EXPECT_TRUE(resource == written);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir / "*.class").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    int files = 1;
    while (FindNextFileA(find, &fd))
        ++files;
    FindClose(find);
    EXPECT_EQ(1, files);
}

TEST(ClassExtraction, MissingFolderWritesNothingAndDoesNotThrow) {
    qvtest::ScratchDir dir("launcher_extract_missing");
    const std::string folder = dir / "no\\such\\folder";
    EXPECT_NO_THROW(extraiPacoteBinario(135, folder, "LauncherControl.class"));
    EXPECT_FALSE(qvtest::dirExists(folder));
    // A resource that is not there gives an empty file.
    EXPECT_NO_THROW(extraiPacoteBinario(4242, dir.path(), "Empty.class"));
    std::string bytes = "<sentinel>";
    EXPECT_TRUE(qvtest::readFile(dir / "Empty.class", bytes));
    EXPECT_EQ("", bytes);
}

// A full disk cannot be had under Wine: the write is the test's, and stops halfway.
TEST(ClassExtraction, ShortWriteDeletesThePartialFileAndFails) {
    qvtest::ScratchDir dir("launcher_extract_short");
    const std::string file = dir / "LauncherControl.class";
    std::vector<std::string> log;
    setLauncherLogSink([&](const std::string &m) { log.push_back(m); });
    unsigned long asked = 0;
    auto halfway = [&](void *out, const char *bytes, unsigned long size, unsigned long &written) {
        asked = size;
        DWORD count = 0;
        const bool ok = WriteFile(out, bytes, size / 2, &count, nullptr) != FALSE;
        written = count;
        return ok;
    };
    std::string thrown = "<nothing thrown>";
    try {
        extraiPacoteBinario(GetModuleHandleA(nullptr), 135, dir.path(), "LauncherControl.class", halfway);
    } catch (const AppException &e) {
        thrown = e.message();
    }
    setLauncherLogSink({});
    EXPECT_EQ("Erro inesperado em extraiPacoteBinario.", thrown);
    EXPECT_FALSE(qvtest::fileExists(file)) << "the partial class file was left behind";
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("Erro ao gravar " + file + ": " + std::to_string(asked / 2) + " de " + std::to_string(asked) +
                  " bytes gravados; o arquivo foi apagado.",
              log[0]);
    EXPECT_GT(asked, 0u);
}

// The tear-down's watchdog looks at this: a visible top-level window of the process, the
// splash left out.
TEST(ProcessWindows, OnlyVisibleWindowsOtherThanTheSplashCount) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    HWND splash = CreateWindowA("STATIC", "splash", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                self, nullptr);
    HWND dialog = CreateWindowA("STATIC", "dialog", WS_POPUP, 60, 0, 50, 50, nullptr, nullptr, self, nullptr);
    ASSERT_TRUE(splash && dialog);
    EXPECT_TRUE(processShowsWindow(nullptr));
    EXPECT_FALSE(processShowsWindow(splash)) << "the splash or a hidden window counted";
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(processShowsWindow(splash));
    ShowWindow(dialog, SW_HIDE);
    EXPECT_FALSE(processShowsWindow(splash));
    DestroyWindow(dialog);
    DestroyWindow(splash);
}

namespace {
// A top-level window of this thread that records CMD_CLOSE_SPLASH.
struct OwnerWindow {
    static inline int closes = 0;
    static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_COMMAND && LOWORD(w) == CMD_CLOSE_SPLASH) {
            ++closes;
            return 0;
        }
        return DefWindowProcA(h, m, w, l);
    }
    OwnerWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvTestOwner";
        RegisterClassA(&wc);
        hwnd = CreateWindowA("QvTestOwner", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                             nullptr);
        closes = 0;
    }
    ~OwnerWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
};

struct GuardRun {
    std::string boxText = "<no box>";
    bool ended = false;
};

GuardRun runGuardedAndDismiss(HWND owner, std::function<void()> work, const char *caption) {
    GuardRun run;
    std::atomic<bool> done{false};
    std::thread t([&] {
        runGuarded(owner, work);
        done = true;
    });
    HWND box = nullptr;
    pumpUntil([&] { return (box = FindWindowA("#32770", caption)) != nullptr; }, 10000);
    if (box) {
        run.boxText = qvtest::controlText(box, 0xFFFF);
        qvtest::dismissMessageBox(box);
    }
    // Closing the box re-enables its owner with a message sent to this thread: keep pumping.
    run.ended = pumpUntil([&] { return done.load(); }, 10000);
    if (run.ended)
        t.join();
    else
        t.detach(); // still in its box: the test fails, and the process ends with it
    pumpUntil([] { return OwnerWindow::closes > 0; }, 2000);
    return run;
}
} // namespace

TEST(SetupGuard, AppExceptionLogsItsFullDescriptionAndShowsOnlyItsMessage) {
    qvtest::ScratchDir dir("launcher_guard");
    configureLauncherLog(dir.path());
    OwnerWindow owner;
    const AppException e("Erro ao instânciar classe nativa.", "int __thiscall MaquinaJava::createJVM(void)",
                         "MaquinaJava.cpp", 88);
    GuardRun run = runGuardedAndDismiss(
        owner.hwnd, [&] { throw e; }, "Erro inesperado");
    EXPECT_TRUE(run.ended);
    EXPECT_EQ("Erro ao instânciar classe nativa.", run.boxText);
    EXPECT_EQ(1, OwnerWindow::closes) << "CMD_CLOSE_SPLASH posted after the box";

    const std::string logs = dir / "aplicacao\\infra\\tomcat\\logs";
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((logs + "\\backup_log_*.log").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << "no backup_log_ file in " << logs;
    FindClose(find);
    std::string text;
    ASSERT_TRUE(qvtest::readFile(logs + "\\" + fd.cFileName, text));
    EXPECT_NE(std::string::npos, text.find("] Excecao AppException: Erro ao instânciar classe nativa.\r\n"
                                           "em int __thiscall MaquinaJava::createJVM(void), arquivo "
                                           "MaquinaJava.cpp, linha 88\r\n"))
        << text;
    configureLauncherLog("");
}

TEST(SetupGuard, AnyOtherExceptionShowsTheGenericMessage) {
    OwnerWindow owner;
    GuardRun run = runGuardedAndDismiss(
        owner.hwnd, [] { throw std::runtime_error("x"); }, "Erro inesperado");
    EXPECT_TRUE(run.ended);
    EXPECT_EQ("Ocorreu um erro inesperado.", run.boxText);
    EXPECT_EQ(1, OwnerWindow::closes);
}

namespace {
COLORREF pixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}
int countColour(HWND hwnd, RECT r, COLORREF colour) {
    HDC dc = GetDC(hwnd);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += GetPixel(dc, x, y) == colour;
    ReleaseDC(hwnd, dc);
    return n;
}
} // namespace

TEST(SplashWindow, CentredPopupPaintedWithPictureAndThreeLines) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    ASSERT_TRUE(SplashWindow::registerClass(self, "QUORVELBKP_TEST", 132));
    HWND splash = SplashWindow::create(self, "QUORVELBKP_TEST", "Cópia de Segurança");
    ASSERT_NE(nullptr, splash);
    ShowWindow(splash, SW_SHOW);
    UpdateWindow(splash);
    pumpUntil([] { return false; }, 300);

    RECT r{};
    GetWindowRect(splash, &r);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ((cx - 300) / 2, r.left);
    EXPECT_EQ((cy - 100) / 2, r.top);
    EXPECT_EQ(300, r.right - r.left);
    EXPECT_EQ(100, r.bottom - r.top);
    const LONG_PTR style = GetWindowLongPtrA(splash, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG_PTR>(WS_POPUP | WS_BORDER), style & (WS_POPUP | WS_BORDER | WS_CAPTION));
    EXPECT_TRUE(GetWindowLongPtrA(splash, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ("Cópia de Segurança", qvtest::windowText(splash));

    EXPECT_EQ(RGB(230, 230, 230), pixel(splash, 4, 4)) << "background";
    EXPECT_EQ(RGB(40, 70, 150), pixel(splash, 12 + 8, 18 + 40)) << "diskette body at its place";
    EXPECT_EQ(RGB(250, 250, 250), pixel(splash, 12 + 34, 18 + 55)) << "diskette label";
    const COLORREF ink = RGB(65, 65, 65);
    EXPECT_GT(countColour(splash, RECT{90, 15, 300, 35}, ink), 20) << "product name";
    EXPECT_GT(countColour(splash, RECT{90, 35, 300, 55}, ink), 20) << "title";
    EXPECT_GT(countColour(splash, RECT{90, 65, 300, 85}, ink), 20) << "Carregando, aguarde...";
    EXPECT_EQ(0, countColour(splash, RECT{0, 0, 90, 15}, ink)) << "nothing written above the picture";

    // Nothing at work, the session may end; forced past a refusal, its end is logged.
    EXPECT_EQ(L"A cópia de segurança está em andamento.", SplashWindow::sessionBlockReason());
    std::vector<std::string> log;
    setLauncherLogSink([&](const std::string &m) { log.push_back(m); });
    EXPECT_EQ(TRUE, SendMessageA(splash, WM_QUERYENDSESSION, 0, 0));
    LauncherState::instance().setJavaAtWork(true);
    EXPECT_EQ(0, SendMessageA(splash, WM_ENDSESSION, TRUE, 0));
    LauncherState::instance().setJavaAtWork(false);
    setLauncherLogSink({});
    EXPECT_EQ(std::vector<std::string>{"A sessão do Windows foi encerrada com o programa Java em andamento."},
              log);

    // Other commands are left alone; CMD_CLOSE_SPLASH destroys the window and ends the loop.
    SendMessageA(splash, WM_COMMAND, 106, 0);
    EXPECT_TRUE(IsWindow(splash));
    SendMessageA(splash, WM_COMMAND, CMD_CLOSE_SPLASH, 0);
    EXPECT_FALSE(IsWindow(splash));
    MSG msg{};
    msg.wParam = 12345;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(0u, msg.wParam);
}

// On Windows the runtime is loaded with LoadLibraryExA: a missing library or one without the
// invocation entry point is never called, and the wait ends by the time-out.
TEST(JavaLaunch, RuntimeWithoutEntryPointIsNeverCalled) {
    class FastSurface : public PollSurface {
      public:
        void sleepMs(unsigned) override {}
        std::int32_t readStatus() override { return 0; }
        void hideSplash() override {}
        void showWarning(const std::string &t) override { warnings.push_back(t); }
        std::vector<std::string> warnings;
    };
    std::vector<std::string> log;
    setLauncherLogSink([&](const std::string &m) { log.push_back(m); });
    for (const char *jvm : {"C:\\no\\such\\jvm.dll", "kernel32.dll"}) {
        SCOPED_TRACE(jvm);
        log.clear();
        FastSurface surface;
        LauncherState::instance().installDir = "C:\\QUORVEL";
        ParameterReader reader;
        JavaLaunch launch(reader, surface, [&](LaunchParameters &p) { p.java.jvm = jvm; });
        EXPECT_FALSE(launch.runAndWait(flavour::kTimeoutMessage));
        EXPECT_EQ(std::vector<std::string>{flavour::kTimeoutMessage}, surface.warnings);
        EXPECT_EQ(10u, log.size());
        EXPECT_EQ(nullptr, launch.maquina().vm());
    }
    setLauncherLogSink({});
}

// A runtime whose JNI_CreateJavaVM fails: one attempt (its answer would not change), then
// nothing is called on the machine that was not created (no class lookup, no attach), and the
// wait ends by the time-out.
TEST(JavaLaunch, VirtualMachineThatWasNotCreatedIsNeverUsed) {
    class FastSurface : public PollSurface {
      public:
        void sleepMs(unsigned) override {}
        std::int32_t readStatus() override { return 0; }
        void hideSplash() override {}
        void showWarning(const std::string &t) override { warnings.push_back(t); }
        std::vector<std::string> warnings;
    };
    qvtest::FakeJvmDir jvm("launcher_win_createfail");
    ASSERT_TRUE(jvm.dllCopied());
    ASSERT_TRUE(jvm.writeScript("create fail -6\n"));
    std::vector<std::string> log;
    setLauncherLogSink([&](const std::string &m) { log.push_back(m); });
    FastSurface surface;
    LauncherState::instance().installDir = "C:\\QUORVEL";
    {
        ParameterReader reader;
        JavaLaunch launch(reader, surface, [&](LaunchParameters &p) { p.java.jvm = jvm.dllPath(); });
        EXPECT_FALSE(launch.runAndWait(flavour::kTimeoutMessage));
        EXPECT_EQ(nullptr, launch.maquina().vm());
        // The main-call thread had its chance to run (it would attach first thing).
        Sleep(500);
    }
    setLauncherLogSink({});
    EXPECT_EQ(std::vector<std::string>{flavour::kTimeoutMessage}, surface.warnings);
    EXPECT_EQ(1u, jvm.count("JNI_CreateJavaVM result=-6"));
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].find("Excecao AppException: Erro ao criar a máquina virtual Java (código -6)."))
        << log[0];
    EXPECT_EQ(0u, jvm.count("FindClass"));
    EXPECT_EQ(0u, jvm.count("Attach"));
    EXPECT_EQ(0u, jvm.count("DestroyJavaVM"));
    EXPECT_EQ(0u, jvm.count("ERROR"));
    EXPECT_FALSE(LauncherState::instance().javaAtWork) << "no machine at work keeps the session from ending";
}
