// Plays a user through the manager for the demo, inside the same Wine desktop: waits for the
// starting dialog's states, opens the notification menu and the About box, stops the
// application, and saves a picture of the desktop at each step (24-bit BMP files).
//   qvdemodriver <output folder>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string g_out;

bool pollUntil(bool (*condition)(HWND), HWND h, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition(h)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

void note(const char *text) {
    std::printf("demo: %s\n", text);
    std::fflush(stdout);
}

// The whole desktop as the user sees it.
void shoot(const char *name) {
    Sleep(400); // let the windows finish painting
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = ((w * 3 + 3) / 4) * 4;
    DWORD size = stride * h;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::string path = g_out + "\\" + name + ".bmp";
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        std::fwrite(bits, size, 1, f);
        std::fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    note(name);
}

int barOf(HWND dlg) {
    return static_cast<int>(SendMessageA(GetDlgItem(dlg, 1003), PBM_GETPOS, 0, 0));
}

// Where the shell shows the manager's icon: the taskbar's notification area, or its own tray.
bool trayIconPoint(POINT &at) {
    const char *classes[][2] = {{"Shell_TrayWnd", nullptr}, {"__winex11_standalone_tray", nullptr}};
    for (auto &c : classes) {
        HWND tray = FindWindowA(c[0], c[1]);
        if (!tray || !IsWindowVisible(tray))
            continue;
        RECT r;
        GetWindowRect(tray, &r);
        at = POINT{r.right - 40, r.top + (r.bottom - r.top) / 2};
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    g_out = argc > 1 ? argv[1] : ".";
    HWND dlg = nullptr;
    for (int i = 0; i < 600 && !(dlg = FindWindowA("#32770", "Quorvel ")); ++i)
        Sleep(100);
    if (!dlg) {
        note("no manager window");
        return 1;
    }
    pollUntil([](HWND h) { return IsWindowVisible(h) != 0; }, dlg, 30000);
    pollUntil([](HWND h) { return barOf(h) == 50; }, dlg, 30000);
    shoot("1-starting");
    pollUntil([](HWND h) { return IsWindowEnabled(GetDlgItem(h, 3)) != 0; }, dlg, 60000);
    shoot("2-started");

    // The browser button, then the notification menu: its bold item is now "Encerrar".
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, 3)));
    pollUntil([](HWND h) { return !IsWindowVisible(h); }, dlg, 10000);
    POINT at{900, 740};
    trayIconPoint(at);
    SetCursorPos(at.x, at.y - 5);
    PostMessageA(dlg, WM_USER, 101, WM_RBUTTONUP);
    HWND menu = nullptr;
    for (int i = 0; i < 100 && !(menu = FindWindowA("#32768", nullptr)); ++i)
        Sleep(50);
    shoot("3-tray-menu");
    if (menu)
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(300);
    PostMessageA(dlg, WM_CANCELMODE, 0, 0);

    // The About box from the menu's "&Sobre...".
    PostMessageA(dlg, WM_COMMAND, 32780, 0);
    HWND about = nullptr;
    for (int i = 0; i < 100 && !(about = FindWindowA("#32770", "Gerenciador do Quorvel")); ++i)
        Sleep(50);
    shoot("4-about");
    if (about)
        PostMessageA(about, WM_COMMAND, IDOK, 0);
    Sleep(300);

    // "Encerrar": the dialog comes back with the stopping text until the Java side answers 6.
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, 1006)));
    pollUntil([](HWND h) { return IsWindowVisible(h) != 0; }, dlg, 10000);
    shoot("5-stopping");
    bool ended = pollUntil([](HWND h) { return !IsWindow(h); }, dlg, 60000);
    note(ended ? "manager ended" : "manager still running");
    return ended ? 0 : 2;
}
