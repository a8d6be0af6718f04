#include "SplashWindow.h"

#include "Flavour.h"
#include "LauncherLog.h"
#include "LauncherState.h"
#include "resource.h"

namespace {
HBITMAP g_splashBitmap = nullptr;
std::string g_title;

// Restores a DC's saved state on every way out of the paint handler.
class SavedDC {
  public:
    explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDC() { RestoreDC(dc_, saved_); }
    SavedDC(const SavedDC &) = delete;
    SavedDC &operator=(const SavedDC &) = delete;

  private:
    HDC dc_;
    int saved_;
};

void drawLine(HDC dc, const char *text, int top, int bottom) {
    RECT r{90, top, SplashWindow::kWidth, bottom};
    DrawTextA(dc, text, -1, &r, 0);
}

template <typename F> F user32Entry(const char *name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(user32, name))) : nullptr;
}

// Vista and later show this reason beside the refusal, and without one they end a process that
// refuses with no window on screen: the splash is hidden from code 4 on, and the Java window may
// be gone while the tear-down waits. Looked up at run time: 98/ME, NT 4, 2000 and XP lack the
// functions, and a program importing them would not load there; Wine has them as stubs that
// fail, which leaves the refusal as it is on XP. Both work only on the window's own thread.
void setSessionBlockReason(HWND hwnd, bool block) {
    if (block) {
        using CreateFn = BOOL(WINAPI *)(HWND, LPCWSTR);
        if (auto create = user32Entry<CreateFn>("ShutdownBlockReasonCreate"))
            create(hwnd, SplashWindow::sessionBlockReason().c_str());
    } else {
        using DestroyFn = BOOL(WINAPI *)(HWND);
        if (auto destroy = user32Entry<DestroyFn>("ShutdownBlockReasonDestroy"))
            destroy(hwnd);
    }
}
} // namespace

std::wstring SplashWindow::sessionBlockReason() {
    // The compiled texts are code page 1252 bytes, whatever the system's own code page.
    constexpr int kMaxReason = 256; // MAX_STR_BLOCKREASON
    wchar_t wide[kMaxReason] = {};
    if (!MultiByteToWideChar(1252, 0, flavour::kSessionBlockReason, -1, wide, kMaxReason))
        return L"";
    return wide;
}

bool SplashWindow::registerClass(HINSTANCE instance, const std::string &className, int bitmapId) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LAUNCHER));
    wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LAUNCHER));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    wc.hbrBackground = CreateSolidBrush(kBackground);
    wc.lpszClassName = className.c_str();
    if (!g_splashBitmap)
        g_splashBitmap = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP,
                                                         kBitmapWidth, kBitmapHeight, LR_CREATEDIBSECTION));
    return RegisterClassExA(&wc) != 0;
}

POINT SplashWindow::centredOrigin(int screenWidth, int screenHeight) {
    // Integer division truncates toward zero, also for a screen narrower than the window.
    return POINT{(screenWidth - kWidth) / 2, (screenHeight - kHeight) / 2};
}

HWND SplashWindow::create(HINSTANCE instance, const std::string &className, const std::string &title) {
    g_title = title;
    const POINT origin = centredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return CreateWindowExA(WS_EX_DLGMODALFRAME, className.c_str(), title.c_str(), WS_POPUP | WS_BORDER,
                           origin.x, origin.y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
}

void SplashWindow::paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HDC memory = CreateCompatibleDC(dc);
    {
        SavedDC saved(memory);
        SelectObject(memory, g_splashBitmap);
        BitBlt(dc, 12, 18, kBitmapWidth, kBitmapHeight, memory, 0, 0, SRCCOPY);
        SetBkColor(dc, kBackground);
        SetTextColor(dc, kTextColour);
        drawLine(dc, flavour::kProductName, 15, 35);
        drawLine(dc, g_title.c_str(), 35, 55);
        drawLine(dc, "Carregando, aguarde...", 65, 85);
    }
    DeleteDC(memory);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK SplashWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        paint(hwnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_CLOSE_SPLASH) {
            DestroyWindow(hwnd);
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        // FALSE keeps 98/ME and NT 4 to XP from ending the session; the system asks hidden
        // windows too, so the hidden splash still answers while the Java window shows.
        return LauncherState::instance().javaAtWork ? FALSE : TRUE;
    case WM_ENDSESSION:
        // wParam FALSE: the end was refused, nothing changes. TRUE while at work: the user forced
        // it past the refusal and the process is ended on return; the Java side cannot be
        // finished from here, so the log at least tells why the backup or restore stopped.
        if (wParam && LauncherState::instance().javaAtWork)
            launcherLog("A sessão do Windows foi encerrada com o programa Java em andamento.");
        return 0;
    case kMsgJavaAtWork:
        setSessionBlockReason(hwnd, wParam != 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
