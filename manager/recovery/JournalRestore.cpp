#include "JournalRestore.h"

#include "FileUtil.h"
#include "Journal.h"
#include "LogWriter.h"
#include "TempFolder.h"

#include <stdexcept>
#include <vector>

namespace {

// The ANSI file functions of the target systems take at most MAX_PATH (260) characters with
// the terminating NUL. A longer path cannot name an existing file for them, so without this
// check such a record would pass as "nothing to do" and the journal and the saved copies
// would be deleted with the record never undone.
constexpr std::size_t kMaxPathLength = 259;

const std::string &checkedLength(const std::string &path) {
    if (path.size() > kMaxPathLength)
        throw std::length_error("path too long");
    return path;
}

// The files a run copied back, to be flushed before the journal is touched.
using Restored = std::vector<std::string>;

bool undoFile(const RestoreContext &context, const FileUtil &files, const JournalRecord &record,
              Restored &restored) {
    switch (record.operation) {
    case 1: { // added: delete it again
        const std::string entry = checkedLength(context.entryPath(record));
        if (!files.fileExists(entry))
            return true;
        files.makeWritable(entry);
        if (files.deleteFile(entry)) {
            writeLog("Apagou arquivo: " + entry);
            return true;
        }
        writeLog("ERRO Apagou arquivo: " + entry);
        return false;
    }
    case 2: { // replaced: copy the former version back
        const std::string saved = checkedLength(context.savedCopy(record));
        const std::string entry = checkedLength(context.entryPath(record));
        // Windows copies the read-only attribute with a file, so a replay finds what an earlier
        // run restored read-only.
        files.makeWritable(entry);
        // The copy comes before the test for the saved copy: without one it touches nothing,
        // and the restore of thousands of files saves an open per file.
        if (files.copyFile(saved, entry, true)) {
            restored.push_back(entry);
            writeLog("Restaurou arquivo: " + entry);
            return true;
        }
        // A saved copy that is there but cannot be read (locked, no access) is no reason to
        // delete the installed file: the step fails and the journal stays.
        if (files.isPresent(saved)) {
            writeLog("ERRO Restaurou arquivo: " + entry);
            return false;
        }
        if (files.fileExists(entry) && !files.deleteFile(entry)) {
            writeLog("ERRO Apagar arquivo: " + entry);
            return false;
        }
        return true;
    }
    case 3: { // removed: bring the saved copy back, if the update kept one
        const std::string saved = checkedLength(context.savedCopy(record));
        const std::string entry = checkedLength(context.entryPath(record));
        if (!files.isPresent(saved))
            return true;
        files.makeWritable(entry);
        if (!files.copyFile(saved, entry, true)) {
            // The saved copy is the only one left, readable or not: keep the journal so the
            // next start retries.
            writeLog("ERRO Restaurou arquivo: " + entry);
            return false;
        }
        restored.push_back(entry);
        return true;
    }
    default:
        return true;
    }
}

bool undo(const RestoreContext &context, const FileUtil &files, const JournalRecord &record,
          Restored &restored) {
    if (record.entryType == 1)
        return undoFile(context, files, record, restored);
    if (record.entryType == 2 && record.operation == 3)
        files.createFolderPath(checkedLength(context.entryPath(record)));
    return true; // added or replaced folders are not undone
}

} // namespace

RestoreContext::RestoreContext(const ParameterReader &reader)
    : installFolder(reader.readValue("Site", "INSTDIR83")), tempFolder(TempFolder().pathFor(installFolder)) {
    configureLog(kManagerLogPrefix, installFolder.empty() ? std::string() : installFolder + "\\logs");
}

std::string RestoreContext::entryPath(const JournalRecord &record) const {
    return record.folder + "\\" + record.name;
}

std::string RestoreContext::savedCopy(const JournalRecord &record) const {
    return tempFolder + "\\" + backupFolderName + "\\" + record.folder.substr(3) + "\\" + record.name;
}

std::deque<JournalRecord> readJournalRecords(const RestoreContext &context) {
    if (FileUtil().isFolder(context.tempFolder) && journalExists(context.tempFolder))
        return readJournal(context.tempFolder);
    return {};
}

// The order of a run is what lets a power cut, a hard reset or a killed process at any moment
// leave either a journal to replay or a finished restore, never a half-restored installation
// without its saved copies:
// 1. every file copied back is flushed, so all are on the disk before the journal is touched.
//    The flushes follow the last copy, which leaves the system free to write the copies out
//    meanwhile: a restore of 2,000 files took a third longer or more with each flushed right
//    after its copy;
// 2. the commit: the journal is emptied and flushed. An empty journal is a normal start, so
//    from then on there is nothing left to undo;
// 3. only then the journal and the temporary folder with the saved copies are deleted, in any
//    order the system likes, since none of them is needed any more.
// Win32 has no flush of a folder: the deletion of a file the update added (or of a replaced
// file without a saved copy) and the folders created for removed entries reach the disk when
// the system writes them, so a power cut soon after the commit can leave such a file in place,
// or such a folder missing with the files restored into it. A flush hands the data to the
// drive; whether a drive that caches writes itself empties that cache is up to the disk
// driver, and Win32 on 98/ME promises nothing.
bool efetuarRestore(const RestoreContext &context, const FileUtil &files) {
    try {
        if (!journalExists(context.tempFolder))
            return false;
        std::deque<JournalRecord> records = readJournal(context.tempFolder);
        const LogHold hold; // a line per file: the log stays open for the run
        bool ok = true;
        Restored restored;
        // Newest first; a failed step does not stop the others, and every step is safe to
        // repeat, so a failed or interrupted run is replayed whole at the next start.
        while (!records.empty()) {
            const JournalRecord &record = records.back();
            if (record.name != kManagerProgramName && !undo(context, files, record, restored))
                ok = false;
            records.pop_back();
        }
        // A file a later step deleted again has nothing to flush; one still there that cannot
        // be flushed is a failed step, reported after its copy's line.
        for (const std::string &entry : restored) {
            if (!files.flushFile(entry) && files.isPresent(entry)) {
                writeLog("ERRO Restaurou arquivo: " + entry);
                ok = false;
            }
        }
        if (!ok)
            return false;
        const std::string journal = Journal(context.tempFolder).path();
        // A read-only journal would outlive the restore, and every later start would replay
        // it and quit.
        files.makeWritable(journal);
        if (!files.emptyFile(journal))
            return false; // not committed: everything stays for the next start to replay
        files.deleteFile(journal);
        return true;
    } catch (const JournalError &) {
        throw;
    } catch (...) {
        throw JournalError("Erro inesperado em efetuarRestore");
    }
}

bool recoverJournal(const RestoreContext &context, const FileUtil &files) {
    try {
        if (readJournalRecords(context).empty())
            return true;
        if (!efetuarRestore(context, files)) {
            writeLog("Erro ao efetuar o restore do journal. Verifique o log.");
            return false;
        }
        // A journal left behind is held open by another program, perhaps an update at work
        // that writes to it again: its saved copies stay with it, emptied as it is.
        if (journalExists(context.tempFolder))
            writeLog("Não foi possível excluir o journal; diretório temporário mantido.");
        else
            TempFolder().removeFrom(context.installFolder, files);
        if (readJournalRecords(context).empty())
            return true;
        writeLog("Não foi possível efetuar o restore do journal. Verifique o log.");
        return false;
    } catch (const JournalError &e) {
        writeLog("Erro no journal:");
        writeLog(e.what());
        return false;
    } catch (...) {
        writeLog("Erro inesperado no journal");
        return false;
    }
}

bool runJournalRecovery() {
    const RestoreContext context;
    return recoverJournal(context);
}
