// The update's journal file "journal.data" in a given folder (the update's temporary folder).
#pragma once

#include "JournalFormat.h"

#include <deque>
#include <string>

class Journal {
  public:
    static constexpr const char *kFileName = "journal.data";

    explicit Journal(std::string folder) : folder_(std::move(folder)) {}
    virtual ~Journal() = default;

    // Creates the file empty when it cannot be opened for reading. Reports nothing.
    virtual void create();
    // Every record, oldest first. Raises kJournalReadError when the file cannot be opened and
    // kJournalInvalidRecord at the first line that does not parse.
    virtual std::deque<JournalRecord> readAll();
    // Appends one line; a missing file is created. Failures are ignored.
    virtual void append(const JournalRecord &record);
    // Leaves exactly these records in the file, in their order.
    virtual void rewrite(std::deque<JournalRecord> records);
    // Deletes the file; the result is ignored.
    virtual void remove();

    std::string path() const { return folder_ + "\\" + kFileName; }

  private:
    std::string folder_;
};

std::deque<JournalRecord> readJournal(const std::string &folder);
void deleteJournal(const std::string &folder);
// True when folder\journal.data is there, whether or not it can be read.
bool journalExists(const std::string &folder);
