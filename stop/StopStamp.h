// The stop stamp: nerel2.properties replaced by one line holding the stop time (UTC).
#pragma once

#include <string>

namespace qvstop {

struct StampTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// "DD/MM/YYYY hh:mm:ss.mmm\n"; written in text mode, so the file gets CR LF on Windows.
std::string formatStopStamp(const StampTime &time);

// Deletes the file and creates it anew with the stamp line. False when it cannot be created
// (its folder missing, for instance); nothing else is created then.
bool writeStopStampFile(const std::string &path, const StampTime &time);

} // namespace qvstop
