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

// Adds, modifies or deletes the icon. `icon` null means "no icon"; an empty `tip` keeps the
// tooltip. `notify(request, record)` is the notification call; its result is answered.
template <class Record, class Icon, class Notify>
bool setIconAndTip(Record &rec, Icon icon, const char *tip, Notify &&notify) {
    rec.uFlags = 0;
    unsigned request;
    if (icon) {
        request = rec.hIcon ? kModify : kAdd;
        rec.hIcon = icon;
        rec.uFlags |= kFlagIcon;
    } else {
        if (!rec.hIcon)
            return true;
        request = kDelete;
    }
    if (tip && *tip) {
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
    bool ok = notify(request, rec);
    // A failed add leaves no icon behind, so the next picture change tries an add again.
    if (request == kDelete || !ok)
        rec.hIcon = {};
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
template <class Record, class Notify> void addAgain(Record &rec, Notify &&notify) {
    auto icon = rec.hIcon;
    rec.hIcon = {};
    if (icon)
        setIconAndTip(rec, icon, "", notify);
}

} // namespace tray
