// The manager's icon in the notification area, its popup menu and its return after the
// taskbar is recreated. Used only on the user-interface thread.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "TrayIconRules.h"

class CTrayIcon {
  public:
    using NotifyFn = BOOL(WINAPI *)(DWORD, PNOTIFYICONDATAA);

    CTrayIcon();
    virtual ~CTrayIcon(); // removes the icon if one is shown
    CTrayIcon(const CTrayIcon &) = delete;
    CTrayIcon &operator=(const CTrayIcon &) = delete;

    void setOwner(HWND owner, UINT callbackMessage);
    void setMenuId(UINT menuId) { menuId_ = menuId; }
    void setDefaultItem(UINT position) { defaultItem_ = position; }

    // Answers the notification call's result, or true when there was nothing to do.
    bool setIconAndTip(HICON icon, const char *tip);
    // Loads the icon resource from the program's own module; 0 (or a missing icon) removes it.
    bool showIcon(UINT resourceId);

    // The owner's window procedure passes the callback message's and "TaskbarCreated"'s
    // parameters here before the normal processing.
    virtual LRESULT handleNotify(WPARAM iconId, LPARAM mouseMessage);
    virtual LRESULT handleTaskbarCreated(WPARAM, LPARAM);

    // The picture last asked for, null when none is (or may be) shown.
    HICON icon() const { return state_.mayBeShown ? nid_.hIcon : nullptr; }
    UINT id() const { return nid_.uID; }
    const char *tip() const { return nid_.szTip; }

    // Removes the icon this process shows, from any thread, without its owner's thread: for
    // a process that is about to end from a thread of the Java runtime.
    static void removeShownIcon();

    // The tests' way to watch the notification calls; Shell_NotifyIconA otherwise.
    void setNotifyFunction(NotifyFn fn) { notify_ = fn; }

  private:
    NOTIFYICONDATAA nid_;
    UINT menuId_ = 0;
    UINT defaultItem_ = 0;
    NotifyFn notify_ = &Shell_NotifyIconA;
    tray::IconState state_;
    bool sizeSettled_ = false; // the shell has taken an add with nid_.cbSize
    bool notify(unsigned request, NOTIFYICONDATAA &rec);
};
