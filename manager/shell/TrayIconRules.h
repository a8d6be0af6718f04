// The notification icon's rules, apart from the Win32 calls, so that they can be checked
// natively with the notification call replaced. The record is NOTIFYICONDATAA on Windows, or
// any look-alike with the same field names.
#pragma once

#include <cstddef>
#include <cstring>

namespace tray {

// The values of NIM_ADD, NIM_MODIFY, NIM_DELETE, NIF_MESSAGE, NIF_ICON and NIF_TIP.
inline constexpr unsigned kAdd = 0, kModify = 1, kDelete = 2;
inline constexpr unsigned kFlagMessage = 1, kFlagIcon = 2, kFlagTip = 4;
// WM_LBUTTONDBLCLK and WM_RBUTTONUP, as the callback's second parameter.
inline constexpr unsigned kLeftDoubleClick = 0x203, kRightButtonUp = 0x205;
inline constexpr std::size_t kTipSize = 128;

// The next value of the process-wide icon id counter: 101 the first time.
unsigned nextIconId();

enum class Click { Ignored, ShowMenu, FirstCommand };

// What a notification callback asks for, given the icon id it carries, the record's id and
// the mouse message.
Click classifyClick(unsigned iconId, unsigned recordId, unsigned mouseMessage);

// What the shell may show besides what the record says. A call that failed on a busy shell
// may still have taken effect, so the record never forgets an icon that may be there.
struct IconState {
    bool mayBeShown = false; // an add or modify was tried, and no delete since
    bool confirmed = false;  // the last add or modify was taken
};

// Adds, modifies or deletes the icon. `icon` null means "no icon"; an empty `tip` keeps the
// tooltip. `notify(request, record)` is the notification call; its result is answered. A
// refused add is tried again as a modify (the icon was there after all) and a refused modify
// as an add (it was not); nothing is sent when nothing changed; a delete is sent whenever an
// icon may be there.
template <class Record, class Icon, class Notify>
bool setIconAndTip(Record &rec, IconState &state, Icon icon, const char *tip, Notify &&notify) {
    if (icon == nullptr) {
        if (!state.mayBeShown)
            return true;
        rec.uFlags = (rec.szTip[0] ? kFlagTip : 0) | (rec.uCallbackMessage && rec.hWnd ? kFlagMessage : 0);
        const bool ok = notify(kDelete, rec);
        rec.hIcon = {};
        state = IconState{};
        return ok;
    }
    const bool newTip = tip && *tip && std::strncmp(rec.szTip, tip, kTipSize - 1) != 0;
    if (state.confirmed && rec.hIcon == icon && !newTip)
        return true;
    rec.uFlags = kFlagIcon;
    rec.hIcon = icon;
    if (newTip) {
        std::size_t n = std::strlen(tip);
        if (n > kTipSize - 1)
            n = kTipSize - 1;
        std::memcpy(rec.szTip, tip, n);
        rec.szTip[n] = '\0';
    }
    if (rec.szTip[0])
        rec.uFlags |= kFlagTip;
    if (rec.uCallbackMessage && rec.hWnd)
        rec.uFlags |= kFlagMessage;
    const unsigned first = state.confirmed ? kModify : kAdd;
    bool ok = notify(first, rec);
    if (!ok)
        ok = notify(first == kAdd ? kModify : kAdd, rec);
    state.mayBeShown = true;
    state.confirmed = ok;
    return ok;
}

// The notification call for a record whose size the shell may refuse: the first add goes with
// the record's own size (the shell 5 form), and when the shell refuses it (Windows 98 ships
// shell 4.72) with `originalSize` (the shell 4 form). The size that worked is kept for every
// later call; when neither did, the next add tries both again.
template <class Record, class Notify>
bool notifyWithFittingSize(unsigned request, Record &rec, bool &sizeSettled, unsigned long originalSize,
                           Notify &&notify) {
    if (sizeSettled || request != kAdd)
        return notify(request, rec);
    const auto fullSize = rec.cbSize;
    if (!notify(request, rec)) {
        rec.cbSize = originalSize;
        if (!notify(request, rec)) {
            rec.cbSize = fullSize;
            return false;
        }
    }
    sizeSettled = true;
    return true;
}

// The shell lost every icon: add the one last shown again, tooltip kept.
template <class Record, class Notify> void addAgain(Record &rec, IconState &state, Notify &&notify) {
    if (!state.mayBeShown || !rec.hIcon)
        return;
    state = IconState{};
    setIconAndTip(rec, state, rec.hIcon, "", notify);
}

} // namespace tray
