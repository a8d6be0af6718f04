// The journal's line format: one record per line, each field followed by "||":
//     operation||entryType||folder||name||        (CR LF or a lone LF ends the line)
// Platform-neutral and free of file access, so it is tested natively and fuzzed.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>

struct JournalRecord {
    std::int32_t operation = 0; // 1 added, 2 replaced, 3 removed; others are read and ignored
    std::int32_t entryType = 0; // 1 file, 2 folder
    std::string folder;         // absolute, beginning with a drive: C:\...
    std::string name;
};

bool operator==(const JournalRecord &a, const JournalRecord &b);

// The journal code reports by raising plain text messages; the recovery catches them at its
// top level and writes them to the log.
class JournalError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char *kJournalReadError = "Erro ao tentar ler o journal";
inline constexpr const char *kJournalInvalidRecord = "Erro, registro journal inválido.";

// One line without its line end. Empty when the line is invalid: one of the first four fields
// is empty or not followed by "||". Anything after the fourth "||" is ignored; numbers convert
// like the C library's atoi (no digits give 0).
std::optional<JournalRecord> parseJournalLine(const std::string &line);

// The whole content of a journal file, records in file order. Raises kJournalInvalidRecord
// at the first invalid line; an empty content gives no record.
std::deque<JournalRecord> parseJournalText(const std::string &content);

// One record's line, CR LF included.
std::string formatJournalLine(const JournalRecord &record);
