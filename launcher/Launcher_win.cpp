#include "Launcher.h"

#include "AdminCheck.h"
#include "AppException.h"
#include "ClassExtraction.h"
#include "Flavour.h"
#include "JavaLaunch.h"
#include "LauncherLog.h"
#include "LauncherState.h"
#include "ParameterReader.h"
#include "SplashWindow.h"
#include "TeardownWatchdog.h"
#include "resource.h"

#include <process.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

// Created during static initialisation, before the entry runs, so a second instance of the
// same flavour is told apart before it shows anything. The two flavours use different names
// and run side by side.
class InstanceMutex {
  public:
    InstanceMutex() : result_(flavour::createInstanceMutex(createNamed)) {}
    ~InstanceMutex() {
        if (result_.handle)
            CloseHandle(result_.handle);
    }
    InstanceMutex(const InstanceMutex &) = delete;
    InstanceMutex &operator=(const InstanceMutex &) = delete;
    bool alreadyExisted() const { return result_.error == ERROR_ALREADY_EXISTS; }

  private:
    static flavour::MutexResult createNamed(const char *name) {
        HANDLE handle = CreateMutexA(nullptr, FALSE, name);
        return {handle, GetLastError()};
    }

    flavour::MutexResult result_;
};
InstanceMutex g_instanceMutex;

// Set when the tear-down outlived its bound: the entry then ends the process at once.
std::atomic<bool> g_teardownAbandoned{false};

constexpr const char *kCaptionLoad = "Erro ao carregar aplicativo";

void warn(HWND owner, const std::string &text, const char *caption) {
    MessageBoxA(owner, text.c_str(), caption, MB_ICONWARNING);
}

class SplashPollSurface : public PollSurface {
  public:
    explicit SplashPollSurface(HWND splash) : splash_(splash) {}
    void sleepMs(unsigned ms) override { Sleep(ms); }
    std::int32_t readStatus() override { return LauncherState::instance().status.load(); }
    void hideSplash() override { ShowWindow(splash_, SW_HIDE); }
    void showWarning(const std::string &text) override { warn(splash_, text, kPollCaption); }

  private:
    HWND splash_;
};

// Destroys the launch (and with it the virtual machine), which waits for the Java program's
// threads. Only once the program reported its window gone is that wait bounded, and not while
// any window of the process shows (a dialog without a visible frame escapes the monitor class):
// past the bound the splash is closed from the watchdog and the entry ends the process. After a
// failure or time-out box the program may still be at work (a restore window that came up
// late, or one still open behind the box), and is waited for.
void tearDown(std::unique_ptr<JavaLaunch> &launch, HWND splash, bool windowGone) {
    if (!windowGone) {
        launch.reset();
        return;
    }
    TeardownWatchdog watchdog(
        kTeardownTiming, [splash] { return processShowsWindow(splash); },
        [splash] {
            launcherLog("Tempo esgotado ao encerrar a máquina virtual Java; o processo será encerrado.");
            g_teardownAbandoned = true;
            // Given up for ended: the process ends next, and the session may end with it.
            LauncherState::instance().setJavaAtWork(false);
            postClose(splash);
        });
    launch.reset();
    watchdog.disarm();
}

void runSetup(HWND splash) {
    if (!AdminCheck::instance().isAdmin()) {
        warn(splash, "É necessário permissão de administrador para utilizar este programa.", kCaptionLoad);
        return;
    }
    const std::string port = flavour::kHsqldbPort;
    std::string installDir = ParameterReader().readValue("Site", "INSTDIR83");
    if (installDir.empty())
        installDir = flavour::kDefaultInstallDir;
    LauncherState &state = LauncherState::instance();
    state.installDir = installDir;
    state.hsqldbPort = port;
    configureLauncherLog(installDir);

    const std::string classFolder = installDir + flavour::kClassFolderSuffix;
    const std::string classPath = classFolder + "\\" + flavour::kClassFileName;
    if (FILE *old = std::fopen(classPath.c_str(), "rb")) {
        std::fclose(old);
        DeleteFileA(classPath.c_str());
    }
    extraiPacoteBinario(flavour::kClassResourceId, classFolder, flavour::kClassFileName);

    ParameterReader reader;
    SplashPollSurface surface(splash);
    auto launch = std::make_unique<JavaLaunch>(reader, surface);
    bool windowGone = false;
    try {
        windowGone = launch->runAndWait(flavour::kTimeoutMessage);
    } catch (...) {
        tearDown(launch, splash, false);
        throw;
    }
    tearDown(launch, splash, windowGone);
}

void __cdecl setupThread(void *arg) {
    HWND splash = static_cast<HWND>(arg);
    runGuarded(splash, [splash] { runSetup(splash); });
}

std::string loadString(HINSTANCE instance, UINT id) {
    char buffer[100] = {};
    LoadStringA(instance, id, buffer, sizeof buffer);
    return buffer;
}

} // namespace

int runLauncher(HINSTANCE instance, int showCommand) {
    if (g_instanceMutex.alreadyExisted())
        return 0;
    const std::string title = loadString(instance, IDS_APP_TITLE);
    const std::string className = loadString(instance, IDS_WINDOW_CLASS);
    SplashWindow::registerClass(instance, className, flavour::kSplashBitmapId);
    HWND splash = SplashWindow::create(instance, className, title);
    if (!splash)
        return 0;
    ShowWindow(splash, showCommand);
    UpdateWindow(splash);
    LauncherState::instance().onJavaAtWork = [splash](bool atWork) {
        PostMessageA(splash, SplashWindow::kMsgJavaAtWork, atWork, 0);
    };
    _beginthread(setupThread, 0, splash);

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (g_teardownAbandoned) {
        // The virtual machine never let go; ExitProcess would wait on its threads' DLL
        // notifications, so the process ends without them. The exit code stays 0.
        TerminateProcess(GetCurrentProcess(), 0);
    }
    return static_cast<int>(msg.wParam);
}
