#include "LauncherLog.h"

#include "Flavour.h"
#include "LogWriter.h"

namespace {
std::function<void(const std::string &)> &sink() {
    static std::function<void(const std::string &)> s;
    return s;
}
} // namespace

void configureLauncherLog(const std::string &installDir) {
    configureLog(flavour::kLogPrefix, installDir + flavour::kLogSubfolder);
}

void launcherLog(const std::string &message) {
    if (sink())
        sink()(message);
    else
        writeLog(message);
}

void setLauncherLogSink(std::function<void(const std::string &)> s) {
    sink() = std::move(s);
}
