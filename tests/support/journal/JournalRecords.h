// Building journal records in tests, natively and under Wine.
#pragma once

#include "JournalFormat.h"

#include <string>
#include <utility>

namespace qvjournal {

inline JournalRecord record(int operation, int entryType, std::string folder, std::string name) {
    JournalRecord r;
    r.operation = operation;
    r.entryType = entryType;
    r.folder = std::move(folder);
    r.name = std::move(name);
    return r;
}

} // namespace qvjournal
