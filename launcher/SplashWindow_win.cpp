#include "SplashWindow.h"

#include "Flavour.h"
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
} // namespace

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
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
