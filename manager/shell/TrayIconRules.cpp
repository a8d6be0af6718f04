#include "TrayIconRules.h"

#include <atomic>

namespace tray {

unsigned nextIconId() {
    static std::atomic<unsigned> counter{100};
    return ++counter;
}

Click classifyClick(unsigned iconId, unsigned recordId, unsigned mouseMessage) {
    if (iconId != recordId)
        return Click::Ignored;
    if (mouseMessage == kRightButtonUp)
        return Click::ShowMenu;
    if (mouseMessage == kLeftDoubleClick)
        return Click::FirstCommand;
    return Click::Ignored;
}

} // namespace tray
