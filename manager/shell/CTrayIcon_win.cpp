#include "CTrayIcon.h"

#include "TrayIconRules.h"

#include <atomic>

static_assert(NIM_ADD == tray::kAdd && NIM_MODIFY == tray::kModify && NIM_DELETE == tray::kDelete);
static_assert(NIF_MESSAGE == tray::kFlagMessage && NIF_ICON == tray::kFlagIcon && NIF_TIP == tray::kFlagTip);
static_assert(WM_LBUTTONDBLCLK == tray::kLeftDoubleClick && WM_RBUTTONUP == tray::kRightButtonUp);
static_assert(sizeof(NOTIFYICONDATAA{}.szTip) == tray::kTipSize);
#ifndef _WIN64
// The record starts in its Windows 2000 form (128-character tooltip); a shell that refuses it
// gets the original form, whose tooltip field holds 64 characters ("Quorvel" fits).
static_assert(NOTIFYICONDATAA_V2_SIZE == 488);
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
#endif

CTrayIcon::CTrayIcon() {
    ZeroMemory(&nid_, sizeof nid_);
    nid_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid_.uID = tray::nextIconId();
}

CTrayIcon::~CTrayIcon() {
    setIconAndTip(nullptr, "");
}

void CTrayIcon::setOwner(HWND owner, UINT callbackMessage) {
    nid_.hWnd = owner;
    nid_.uCallbackMessage = callbackMessage;
}

namespace {
// The icon the shell shows for this process, for removeShownIcon: one at a time.
std::atomic<HWND> g_shownOwner{nullptr};
std::atomic<UINT> g_shownId{0};
std::atomic<DWORD> g_shownSize{0};
// Once removeShownIcon has run, the icon stays gone: a status poll of the window's thread
// would otherwise modify it, fail, and add it back the second after, just before the process
// ends, leaving the ghost.
std::atomic<bool> g_iconGone{false};
std::atomic<int> g_notifying{0}; // calls to the shell under way, and by which thread
std::atomic<DWORD> g_notifyingThread{0};
constexpr DWORD kNotifyingWaitMs = 2000;
} // namespace

bool CTrayIcon::notify(unsigned request, NOTIFYICONDATAA &rec) {
    const bool ok = tray::notifyWithFittingSize(request, rec, sizeSettled_, NOTIFYICONDATAA_V1_SIZE,
                                                [this](unsigned r, NOTIFYICONDATAA &n) {
                                                    if (notify_ != &Shell_NotifyIconA)
                                                        return notify_(r, &n) != 0;
                                                    // Counted before the flag is read: a change
                                                    // that got past it is waited for.
                                                    g_notifyingThread = GetCurrentThreadId();
                                                    ++g_notifying;
                                                    if (g_iconGone) {
                                                        --g_notifying;
                                                        return false;
                                                    }
                                                    const bool done = notify_(r, &n) != 0;
                                                    --g_notifying;
                                                    return done;
                                                });
    if (request == tray::kDelete) {
        g_shownOwner = nullptr;
    } else if (notify_ == &Shell_NotifyIconA) {
        // Refused or not, the icon may be there now: the hook's removal must know of it.
        g_shownId = rec.uID;
        g_shownSize = rec.cbSize;
        g_shownOwner = rec.hWnd;
    }
    return ok;
}

void CTrayIcon::removeShownIcon() {
    g_iconGone = true;
    // A change the window's thread has under way lands first. Waiting for it waits on the
    // shell, not on that thread; bounded all the same, and not when this is that thread.
    const DWORD began = GetTickCount();
    while (g_notifying > 0 && g_notifyingThread != GetCurrentThreadId() &&
           GetTickCount() - began < kNotifyingWaitMs)
        Sleep(10);
    HWND owner = g_shownOwner.exchange(nullptr);
    if (!owner)
        return;
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof nid);
    nid.cbSize = g_shownSize;
    nid.hWnd = owner;
    nid.uID = g_shownId;
    Shell_NotifyIconA(NIM_DELETE, &nid);
}

bool CTrayIcon::setIconAndTip(HICON icon, const char *tip) {
    return tray::setIconAndTip(nid_, state_, icon, tip, [this](unsigned request, NOTIFYICONDATAA &rec) {
        return notify(request, rec);
    });
}

bool CTrayIcon::showIcon(UINT resourceId) {
    HICON icon = resourceId ? LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId)) : nullptr;
    return setIconAndTip(icon, "");
}

LRESULT CTrayIcon::handleNotify(WPARAM iconId, LPARAM mouseMessage) {
    tray::Click click =
        tray::classifyClick(static_cast<unsigned>(iconId), nid_.uID, static_cast<unsigned>(mouseMessage));
    if (click == tray::Click::Ignored)
        return 0;
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId_));
    if (!menu)
        return 0;
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup) {
        DestroyMenu(menu);
        return 0;
    }
    if (click == tray::Click::ShowMenu) {
        SetMenuDefaultItem(popup, defaultItem_, TRUE);
        POINT at{};
        GetCursorPos(&at);
        // The owner must be in the foreground, and get a message after the menu, or the menu
        // does not close when the user clicks elsewhere.
        SetForegroundWindow(nid_.hWnd);
        TrackPopupMenu(popup, 0, at.x, at.y, 0, nid_.hWnd, nullptr);
        PostMessageA(nid_.hWnd, WM_NULL, 0, 0);
    } else {
        // Always the first item, whatever the default item is.
        SendMessageA(nid_.hWnd, WM_COMMAND, GetMenuItemID(popup, 0), 0);
    }
    DestroyMenu(menu);
    return 1;
}

LRESULT CTrayIcon::handleTaskbarCreated(WPARAM, LPARAM) {
    tray::addAgain(nid_, state_,
                   [this](unsigned request, NOTIFYICONDATAA &rec) { return notify(request, rec); });
    return 0;
}
