#include "AppException.h"
#include "Launcher.h"
#include "LauncherLog.h"
#include "resource.h"

void postClose(HWND splash) {
    PostMessageA(splash, WM_COMMAND, CMD_CLOSE_SPLASH, 0);
}

void runGuarded(HWND splash, const std::function<void()> &work) {
    constexpr const char *kCaption = "Erro inesperado";
    try {
        work();
    } catch (const AppException &e) {
        launcherLog(e.fullDescription());
        MessageBoxA(splash, e.message().c_str(), kCaption, MB_ICONWARNING);
    } catch (...) {
        MessageBoxA(splash, "Ocorreu um erro inesperado.", kCaption, MB_ICONWARNING);
    }
    postClose(splash);
}
