// Any bytes as a journal file: the reader either raises its message or gives records that
// format back to lines which read as the same records.
#include "JournalFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string content(reinterpret_cast<const char *>(data), size);
    std::deque<JournalRecord> records;
    try {
        records = parseJournalText(content);
    } catch (const JournalError &) {
        return 0;
    }
    for (const JournalRecord &record : records) {
        // A lone "|" at the edge of a text would merge with the separator when written back.
        if (record.folder.find('|') != std::string::npos || record.name.find('|') != std::string::npos)
            continue;
        const std::string line = formatJournalLine(record);
        std::deque<JournalRecord> again = parseJournalText(line);
        if (again.size() != 1 || !(again.front() == record))
            std::abort();
    }
    return 0;
}
