// The splash window: a 300 x 100 pop-up centred on the screen with the flavour's picture,
// the product name, the flavour's title and "Carregando, aguarde...".
#pragma once

#include <windows.h>

#include <string>

class SplashWindow {
  public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 100;
    static constexpr int kBitmapWidth = 69;
    static constexpr int kBitmapHeight = 61;
    static constexpr COLORREF kBackground = RGB(230, 230, 230);
    static constexpr COLORREF kTextColour = RGB(65, 65, 65);
    // Posted by the thread that changes LauncherState::javaAtWork, wParam the new value: the
    // reason shown by Vista and later can only be set on the window's own thread.
    static constexpr UINT kMsgJavaAtWork = WM_APP + 1;

    // Registers the window class (and loads the splash bitmap, kept for the process's life).
    static bool registerClass(HINSTANCE instance, const std::string &className, int bitmapId);
    // Creates the window centred on the primary screen; null when it cannot be created.
    static HWND create(HINSTANCE instance, const std::string &className, const std::string &title);

    // Left and top of a window of kWidth x kHeight centred on a screen of that size.
    static POINT centredOrigin(int screenWidth, int screenHeight);
    // The flavour's reason for refusing the end of the session, as ShutdownBlockReasonCreate takes it.
    static std::wstring sessionBlockReason();

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static void paint(HWND hwnd);
};
