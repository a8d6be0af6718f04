#include "JournalFormat.h"

#include <climits>

namespace {

constexpr const char *kSeparator = "||";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi on a 32-bit long: blanks, an optional sign, then digits up to the first non-digit.
// Out-of-range values saturate as strtol does instead of overflowing.
std::int32_t toInt(const std::string &s, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    while (i < end && isBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < end && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long value = 0;
    for (; i < end && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT32_MAX) + 1)
            value = static_cast<long long>(INT32_MAX) + 1;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value);
}

} // namespace

bool operator==(const JournalRecord &a, const JournalRecord &b) {
    return a.operation == b.operation && a.entryType == b.entryType && a.folder == b.folder &&
           a.name == b.name;
}

std::optional<JournalRecord> parseJournalLine(const std::string &line) {
    JournalRecord record;
    int field = 0;
    std::size_t rest = 0; // offsets rather than copies: a line may be megabytes long
    std::size_t sep = line.find(kSeparator, rest);
    while (sep != std::string::npos && sep > rest) {
        switch (field) {
        case 0:
            record.operation = toInt(line, rest, sep);
            break;
        case 1:
            record.entryType = toInt(line, rest, sep);
            break;
        case 2:
            record.folder.assign(line, rest, sep - rest);
            break;
        case 3:
            record.name.assign(line, rest, sep - rest);
            break;
        default:
            break;
        }
        ++field;
        if (field >= 4)
            break; // the rest of the line is ignored
        rest = sep + 2;
        sep = line.find(kSeparator, rest);
    }
    if (field < 4)
        return std::nullopt;
    return record;
}

std::deque<JournalRecord> parseJournalText(const std::string &content) {
    std::deque<JournalRecord> records;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find('\n', begin);
        const std::size_t next = end == std::string::npos ? content.size() : end + 1;
        if (end == std::string::npos)
            end = content.size();
        if (end > begin && content[end - 1] == '\r' && end < content.size())
            --end; // CR LF ends a line like a lone LF; the CR is not kept
        std::optional<JournalRecord> record = parseJournalLine(content.substr(begin, end - begin));
        if (!record)
            throw JournalError(kJournalInvalidRecord);
        records.push_back(std::move(*record));
        begin = next;
    }
    return records;
}

std::string formatJournalLine(const JournalRecord &record) {
    return std::to_string(record.operation) + kSeparator + std::to_string(record.entryType) + kSeparator +
           record.folder + kSeparator + record.name + kSeparator + "\r\n";
}
