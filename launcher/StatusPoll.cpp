#include "StatusPoll.h"

bool pollStatus(PollSurface &surface, const std::string &timeoutMessage) {
    bool loaded = false;
    bool inTime = true;
    int polls = 0;
    for (;;) {
        surface.sleepMs(kPollIntervalMs);
        const std::int32_t code = surface.readStatus();
        if (loaded) {
            if (code == STATUS_SUCESSO)
                return true;
        } else {
            ++polls;
            if (polls > kPollLimit) {
                surface.showWarning(timeoutMessage);
                inTime = false;
            }
            if (code == STATUS_CARGA) {
                surface.hideSplash();
                loaded = true;
                if (inTime)
                    continue;
                return false;
            }
        }
        if (code == STATUS_ERRO) {
            surface.showWarning(kErroMessage);
            return false;
        }
        if (code == STATUS_ERRO_MONITOR) {
            surface.showWarning(kErroMonitorMessage);
            return false;
        }
        if (!inTime)
            return false;
    }
}
