#include "StopStamp.h"

#include <cstdio>

namespace qvstop {

std::string formatStopStamp(const StampTime &t) {
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%02d/%02d/%04d %02d:%02d:%02d.%03d\n", t.day, t.month,
                                t.year, t.hour, t.minute, t.second, t.milliseconds);
    return n > 0 ? std::string(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1)
                 : std::string();
}

bool writeStopStampFile(const std::string &path, const StampTime &time) {
    std::remove(path.c_str()); // a missing file is no error
    std::FILE *file = std::fopen(path.c_str(), "wt");
    if (!file)
        return false;
    const std::string line = formatStopStamp(time);
    const bool written = std::fputs(line.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

} // namespace qvstop
