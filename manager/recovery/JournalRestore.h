// Undoing an interrupted update of the installation at every manager start, from the
// update's journal and the saved copies below its temporary folder:
//     <install>\tmpQvel\journal.data
//     <install>\tmpQvel\backup\<folder without its drive>\<name>
// All reporting goes to the manager's log (<install>\logs\downloadinfra_log_YYYYMMDD.log).
#pragma once

#include "FileUtil.h"
#include "JournalFormat.h"
#include "ParameterReader.h"

#include <deque>
#include <string>

class RestoreContext {
  public:
    // Reads "INSTDIR83" of subkey "Site" and turns the manager's log on (folder
    // INSTDIR83\logs, off when the value is empty).
    RestoreContext() : RestoreContext(ParameterReader()) {}
    explicit RestoreContext(const ParameterReader &reader);
    virtual ~RestoreContext() = default;

    std::string installFolder;
    std::string tempFolder;
    std::string backupFolderName = "backup";

    // folder + "\" + name.
    std::string entryPath(const JournalRecord &record) const;
    // tempFolder\backup\ + folder without its drive (first three characters) + "\" + name.
    // Raises std::out_of_range for a folder shorter than three characters.
    std::string savedCopy(const JournalRecord &record) const;
};

inline constexpr const char *kManagerLogPrefix = "downloadinfra_log_";
inline constexpr const char *kManagerProgramName = "quorvel9x.exe";

// True when the start may go on (no update pending, or the pending one undone); false when
// the manager must quit. Never raises; every failure is in the log. `files` makes every copy,
// flush and deletion of the run.
bool recoverJournal(const RestoreContext &context, const FileUtil &files = FileUtil());

// Undoes the journal of the context's temporary folder, newest record first. True when every
// step succeeded and the journal was emptied on the disk (it is then deleted); false when one
// failed or there is no journal. Raises JournalError.
bool efetuarRestore(const RestoreContext &context, const FileUtil &files = FileUtil());

// The records of the context's journal; empty unless the temporary folder and its journal exist.
// A journal that is there but cannot be read raises kJournalReadError.
std::deque<JournalRecord> readJournalRecords(const RestoreContext &context);

// What the manager runs at start: builds the context, recovers, destroys the context.
bool runJournalRecovery();
