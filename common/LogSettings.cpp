#include "LogSettings.h"

LogSettings &LogSettings::instance() {
    static LogSettings settings;
    return settings;
}
