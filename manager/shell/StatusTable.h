// What the starting dialog makes of one answer of the Java side's getTomcatStatus.
#pragma once

// A reaction to one status poll. The dialog applies it: position and icon only when given,
// the announcement (status text and browser button) and the end only when asked for.
struct StatusReaction {
    static constexpr int kUnchanged = -1;

    int position = kUnchanged; // progress bar position, 0 to 100
    int icon = 0;              // notification icon resource id; 0 leaves the icon as it is
    bool started = false;      // the dialog's `started` afterwards
    bool announce = false;     // "O Quorvel foi iniciado." and the browser button enabled
    bool end = false;          // sleep a second, then end the dialog and with it the manager
};

// `started` is the dialog's flag before the poll. Statuses outside 0 to 7 change nothing.
StatusReaction reactToStatus(int status, bool started);
