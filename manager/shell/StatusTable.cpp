#include "StatusTable.h"

#include "res/resource.h"

StatusReaction reactToStatus(int status, bool started) {
    StatusReaction r;
    r.started = started;
    switch (status) {
    case 0:
        r.position = started ? 100 : 25;
        r.icon = IDI_TRAY_STOPPED;
        break;
    case 1:
        r.position = started ? 100 : 50;
        r.icon = IDI_TRAY_STARTING;
        break;
    case 2:
        // Withdraws the announcement, so that the next 3 announces again.
        r.position = started ? 100 : 75;
        r.icon = IDI_TRAY_STARTING;
        r.started = false;
        break;
    case 3:
        if (!started) {
            r.position = 100;
            r.icon = IDI_TRAY_STARTED;
            r.started = true;
            r.announce = true;
        }
        break;
    case 4:
        r.position = 100;
        r.icon = IDI_TRAY_STARTED;
        break;
    case 5:
        r.position = 50;
        r.icon = IDI_TRAY_WAITING;
        break;
    case 6:
    case 7:
        r.position = 100;
        r.icon = IDI_TRAY_STOPPED;
        r.started = false;
        r.end = true;
        break;
    default:
        break;
    }
    return r;
}
