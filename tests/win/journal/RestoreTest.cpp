// The restore of an interrupted update on real files under Wine: an installation in a scratch
// folder, its tmpQvel with journal and saved copies, and the manager's log of the fixed day.
#include "JournalRestore.h"
#include "JournalTestUtil.h"

#include <gtest/gtest.h>

#include <memory>

using Lines = std::vector<std::string>;

namespace {

std::string contentOf(const std::string &path) {
    std::string bytes = "(missing)";
    qvtest::readFile(path, bytes);
    return bytes;
}

bool readOnly(const std::string &path) {
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

// The file operations of a run, each made for real and noted in the order the restore makes
// them; the flush of `failFlush` fails, as on a disk that reports an error.
class RecordedFiles : public FileUtil {
  public:
    mutable Lines calls;
    std::string failFlush;

    bool copyFile(const std::string &source, const std::string &target, bool overwrite) const override {
        calls.push_back("copy " + target);
        return FileUtil::copyFile(source, target, overwrite);
    }
    bool flushFile(const std::string &path) const override {
        calls.push_back("flush " + path);
        return path != failFlush && FileUtil::flushFile(path);
    }
    bool emptyFile(const std::string &path) const override {
        calls.push_back("empty " + path);
        return FileUtil::emptyFile(path);
    }
    bool deleteFile(const std::string &path) const override {
        calls.push_back("delete " + path);
        return FileUtil::deleteFile(path);
    }
    bool deleteTree(const std::string &path, bool quiet) const override {
        calls.push_back("delete tree " + path);
        return FileUtil::deleteTree(path, quiet);
    }
};

class Restore : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = std::make_unique<qvtest::ScratchDir>("rs_" + name.substr(0, 24));
        inst = dir_->path();
        LogSettings::instance().clock = qvjournal::fixedTime;
    }
    void TearDown() override {
        configureLog("", "");
        LogSettings::instance().clock = nullptr;
        dir_.reset();
    }

    // A file of the installation, below inst.
    std::string at(const std::string &rel) const { return inst + "\\" + rel; }
    void put(const std::string &rel, const std::string &content) {
        const std::string path = at(rel);
        ASSERT_TRUE(qvtest::makeDirs(path.substr(0, path.rfind('\\'))));
        ASSERT_TRUE(qvtest::writeFile(path, content)) << path;
    }
    // The saved copy of inst\rel: tmpQvel\backup mirrors the path without its drive.
    void saved(const std::string &rel, const std::string &content) {
        put("tmpQvel\\backup\\" + at(rel).substr(3), content);
    }
    // A journal line for the entry inst\rel (folder and name split at the last backslash).
    std::string line(int operation, int entryType, const std::string &rel) const {
        const std::string path = at(rel);
        const std::size_t slash = path.rfind('\\');
        return std::to_string(operation) + "||" + std::to_string(entryType) + "||" + path.substr(0, slash) +
               "||" + path.substr(slash + 1) + "||\r\n";
    }
    void journal(const std::string &content) { put("tmpQvel\\journal.data", content); }
    std::string journalContent() const { return contentOf(at("tmpQvel\\journal.data")); }

    bool recover(const FileUtil &files = FileUtil()) {
        const RestoreContext context{qvjournal::FixedInstallReader(inst)};
        return recoverJournal(context, files);
    }
    Lines log() const {
        return qvjournal::LogCapture::readMessages(at("logs\\downloadinfra_log_20261206.log"));
    }

    std::string inst;

  private:
    std::unique_ptr<qvtest::ScratchDir> dir_;
};

} // namespace

TEST_F(Restore, NoTemporaryFolderIsANormalStartThatTouchesNothing) {
    EXPECT_TRUE(recover());
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
    EXPECT_FALSE(qvtest::dirExists(at("logs"))) << "no line written, so no log folder";
}

TEST_F(Restore, AnEmptyJournalOrNoJournalLeavesTheFolderAsItIs) {
    saved("app\\x.jar", "old");
    EXPECT_TRUE(recover()) << "saved copies without a journal";
    EXPECT_EQ("old", contentOf(at("tmpQvel\\backup\\" + at("app\\x.jar").substr(3))));
    journal("");
    EXPECT_TRUE(recover()) << "journal without a line";
    EXPECT_EQ("", journalContent());
    EXPECT_EQ(Lines{}, log());
}

TEST_F(Restore, EveryKindOfRecordIsUndoneNewestFirst) {
    put("app\\added.txt", "new");
    put("app\\replaced.txt", "new");
    saved("app\\replaced.txt", "old");
    saved("app\\sub\\removed.txt", "gone");
    put("app\\nosaved.txt", "new");
    ASSERT_TRUE(qvtest::makeDirs(at("app\\addedfolder")));
    put("app\\quorvel9x.exe", "new program");
    saved("app\\quorvel9x.exe", "old program");
    put("app\\upper\\QUORVEL9X.EXE", "new");
    saved("app\\upper\\QUORVEL9X.EXE", "old");
    put("app\\other.txt", "untouched");
    put("app\\order.txt", "new");
    saved("app\\order.txt", "old");
    journal(line(1, 1, "app\\order.txt") +            // added by the update ...
            line(1, 1, "app\\added.txt") +            //
            line(2, 1, "app\\replaced.txt") +         //
            line(3, 1, "app\\sub\\removed.txt") +     //
            line(3, 2, "app\\x\\y\\z") +              //
            line(2, 1, "app\\nosaved.txt") +          //
            line(1, 2, "app\\addedfolder") +          //
            line(2, 1, "app\\quorvel9x.exe") +        //
            line(2, 1, "app\\upper\\QUORVEL9X.EXE") + //
            line(7, 1, "app\\other.txt") +            //
            line(2, 1, "app\\order.txt"));            // ... then replaced: undone first, so it ends deleted
    EXPECT_TRUE(recover());
    EXPECT_EQ((Lines{"Restaurou arquivo: " + at("app\\order.txt"),
                     "Restaurou arquivo: " + at("app\\upper\\QUORVEL9X.EXE"),
                     "Restaurou arquivo: " + at("app\\replaced.txt"),
                     "Apagou arquivo: " + at("app\\added.txt"), "Apagou arquivo: " + at("app\\order.txt")}),
              log());
    EXPECT_EQ("(missing)", contentOf(at("app\\order.txt")));
    EXPECT_EQ("(missing)", contentOf(at("app\\added.txt")));
    EXPECT_EQ("old", contentOf(at("app\\replaced.txt")));
    EXPECT_EQ("gone", contentOf(at("app\\sub\\removed.txt")));
    EXPECT_TRUE(qvtest::dirExists(at("app\\x\\y\\z")));
    EXPECT_EQ("(missing)", contentOf(at("app\\nosaved.txt")));
    EXPECT_TRUE(qvtest::dirExists(at("app\\addedfolder")));
    EXPECT_EQ("new program", contentOf(at("app\\quorvel9x.exe")));
    EXPECT_EQ("old", contentOf(at("app\\upper\\QUORVEL9X.EXE")));
    EXPECT_EQ("untouched", contentOf(at("app\\other.txt")));
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
}

TEST_F(Restore, FiveAddedFilesOfWhichTwoCannotBeDeleted) {
    std::string lines;
    for (int i = 1; i <= 5; ++i) {
        put("app\\f" + std::to_string(i), "x");
        lines += line(1, 1, "app\\f" + std::to_string(i));
    }
    journal(lines);
    {
        // Readable, so present, but another program keeps them from being deleted.
        qvjournal::FileLock f2(at("app\\f2"), qvjournal::FileLock::kNoDelete);
        qvjournal::FileLock f4(at("app\\f4"), qvjournal::FileLock::kNoDelete);
        ASSERT_TRUE(f2.held() && f4.held());
        EXPECT_FALSE(recover());
    }
    EXPECT_EQ(
        (Lines{"Apagou arquivo: " + at("app\\f5"), "ERRO Apagou arquivo: " + at("app\\f4"),
               "Apagou arquivo: " + at("app\\f3"), "ERRO Apagou arquivo: " + at("app\\f2"),
               "Apagou arquivo: " + at("app\\f1"), "Erro ao efetuar o restore do journal. Verifique o log."}),
        log());
    EXPECT_EQ(lines, journalContent());
    EXPECT_TRUE(qvtest::fileExists(at("app\\f2")));
    EXPECT_FALSE(qvtest::fileExists(at("app\\f3")));
}

// Windows copies the read-only attribute with a file, so a restore replayed after an earlier
// run finds the files it restored read-only; Wine does not copy it, so the test sets it. The
// journal itself may be read-only too: it is deleted all the same, and the next start is a
// normal one.
TEST_F(Restore, ReadOnlyFilesAreOverwrittenOrDeletedOnAReplay) {
    put("app\\replaced.txt", "restored by the earlier run");
    saved("app\\replaced.txt", "old");
    put("app\\removed.txt", "restored by the earlier run");
    saved("app\\removed.txt", "gone");
    put("app\\added.txt", "new");
    put("app\\nosaved.txt", "new");
    journal(line(1, 1, "app\\added.txt") + line(2, 1, "app\\replaced.txt") + line(3, 1, "app\\removed.txt") +
            line(2, 1, "app\\nosaved.txt"));
    for (const char *rel : {"app\\replaced.txt", "app\\removed.txt", "app\\added.txt", "app\\nosaved.txt",
                            "tmpQvel\\journal.data"})
        ASSERT_TRUE(readOnly(at(rel))) << rel;
    EXPECT_TRUE(recover());
    const Lines restored = {"Restaurou arquivo: " + at("app\\replaced.txt"),
                            "Apagou arquivo: " + at("app\\added.txt")};
    EXPECT_EQ(restored, log());
    EXPECT_EQ("old", contentOf(at("app\\replaced.txt")));
    EXPECT_EQ("gone", contentOf(at("app\\removed.txt")));
    EXPECT_EQ("(missing)", contentOf(at("app\\added.txt")));
    EXPECT_EQ("(missing)", contentOf(at("app\\nosaved.txt")));
    EXPECT_EQ("(missing)", journalContent());
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));

    put("app\\replaced.txt", "changed after the start");
    EXPECT_TRUE(recover()) << "the next start";
    EXPECT_EQ(restored, log()) << "the next start is a normal one";
    EXPECT_EQ("changed after the start", contentOf(at("app\\replaced.txt")));
}

// A journal that stays after a successful restore (another program holds it without delete
// sharing) is left empty, so the next start is a normal one, and keeps its folder.
TEST_F(Restore, AJournalThatCannotBeDeletedIsLeftEmptyWithItsCopies) {
    put("app\\replaced.txt", "new");
    saved("app\\replaced.txt", "old");
    saved("app\\removed.txt", "gone");
    journal(line(3, 1, "app\\removed.txt") + line(2, 1, "app\\replaced.txt"));
    qvjournal::FileLock holder(at("tmpQvel\\journal.data"), qvjournal::FileLock::kNoDelete);
    ASSERT_TRUE(holder.held());
    EXPECT_TRUE(recover());
    EXPECT_EQ((Lines{"Restaurou arquivo: " + at("app\\replaced.txt"),
                     "Não foi possível excluir o journal; diretório temporário mantido."}),
              log());
    EXPECT_EQ("old", contentOf(at("app\\replaced.txt")));
    EXPECT_EQ("gone", contentOf(at("app\\removed.txt")));
    EXPECT_EQ("old", contentOf(at("tmpQvel\\backup\\" + at("app\\replaced.txt").substr(3))));
    EXPECT_EQ("", journalContent());

    DeleteFileA(at("logs\\downloadinfra_log_20261206.log").c_str());
    put("app\\replaced.txt", "changed after the start");
    EXPECT_TRUE(recover()) << "the next start";
    EXPECT_EQ(Lines{}, log()) << "the next start is a normal one";
    EXPECT_EQ("changed after the start", contentOf(at("app\\replaced.txt")));
}

// A power cut may come at any moment: every restored file reaches the disk before the journal
// is emptied there, and nothing of the temporary folder goes before that. A file whose flush
// fails is a failed step.
TEST_F(Restore, RestoredFilesAreFlushedBeforeTheJournalIsEmptiedAndTheCopiesDeleted) {
    const std::string added = at("app\\added.txt"), replaced = at("app\\replaced.txt"),
                      removed = at("app\\removed.txt"), journalFile = at("tmpQvel\\journal.data");
    put("app\\added.txt", "new");
    put("app\\replaced.txt", "new");
    saved("app\\replaced.txt", "old");
    saved("app\\removed.txt", "gone");
    const std::string content =
        line(1, 1, "app\\added.txt") + line(3, 1, "app\\removed.txt") + line(2, 1, "app\\replaced.txt");
    journal(content);
    RecordedFiles files;
    files.failFlush = replaced;
    EXPECT_FALSE(recover(files));
    EXPECT_EQ((Lines{"Restaurou arquivo: " + replaced, "Apagou arquivo: " + added,
                     "ERRO Restaurou arquivo: " + replaced,
                     "Erro ao efetuar o restore do journal. Verifique o log."}),
              log());
    EXPECT_EQ((Lines{"copy " + replaced, "copy " + removed, "delete " + added, "flush " + replaced,
                     "flush " + removed}),
              files.calls);
    EXPECT_EQ(content, journalContent());

    files.calls.clear();
    files.failFlush.clear();
    EXPECT_TRUE(recover(files)) << "the next start";
    const Lines committed = {
        "copy " + replaced,     "copy " + removed,       "flush " + replaced,           "flush " + removed,
        "empty " + journalFile, "delete " + journalFile, "delete tree " + at("tmpQvel")};
    ASSERT_LE(committed.size(), files.calls.size());
    EXPECT_EQ(committed, Lines(files.calls.begin(), files.calls.begin() + committed.size()));
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
}

// Only a saved copy that is not there counts as missing: one that another program holds is a
// failed step, and neither the installed file nor the journal nor the copy may be lost.
TEST_F(Restore, ASavedCopyThatCannotBeReadIsAFailedStep) {
    for (const int operation : {2, 3}) {
        const std::string entry = at("app\\lib.jar");
        const std::string copy = at("tmpQvel\\backup\\" + entry.substr(3));
        if (operation == 2)
            put("app\\lib.jar", "installed by the update");
        saved("app\\lib.jar", "former version");
        journal(line(operation, 1, "app\\lib.jar"));
        bool result = true;
        {
            qvjournal::FileLock lock(copy);
            ASSERT_TRUE(lock.held());
            result = recover();
        }
        EXPECT_FALSE(result) << "operation " << operation;
        EXPECT_EQ((Lines{"ERRO Restaurou arquivo: " + entry,
                         "Erro ao efetuar o restore do journal. Verifique o log."}),
                  log())
            << "operation " << operation;
        EXPECT_EQ(operation == 2 ? "installed by the update" : "(missing)", contentOf(entry))
            << "operation " << operation;
        EXPECT_EQ(line(operation, 1, "app\\lib.jar"), journalContent()) << "operation " << operation;
        EXPECT_EQ("former version", contentOf(copy)) << "operation " << operation;
        DeleteFileA(at("logs\\downloadinfra_log_20261206.log").c_str());
        qvtest::removeTree(at("tmpQvel"));
        qvtest::removeTree(at("app"));
    }
}

TEST_F(Restore, AnInvalidThirdLineStopsBeforeAnythingIsTouched) {
    put("app\\a", "x");
    put("app\\b", "x");
    const std::string content = line(1, 1, "app\\a") + line(1, 1, "app\\b") + "1||1||" + at("app") + "||\r\n";
    journal(content);
    EXPECT_FALSE(recover());
    EXPECT_EQ((Lines{"Erro no journal:", "Erro, registro journal inválido."}), log());
    EXPECT_TRUE(qvtest::fileExists(at("app\\a")));
    EXPECT_TRUE(qvtest::fileExists(at("app\\b")));
    EXPECT_EQ(content, journalContent());
}

TEST_F(Restore, ATemporaryFolderThatCannotBeRemovedAfterASuccessfulRestore) {
    put("app\\r.txt", "new");
    saved("app\\r.txt", "old");
    put("tmpQvel\\busy.bin", "held by another program");
    journal(line(2, 1, "app\\r.txt"));
    bool result = false;
    {
        qvjournal::FileLock lock(at("tmpQvel\\busy.bin"));
        ASSERT_TRUE(lock.held());
        result = recover();
    }
    EXPECT_TRUE(result) << "the journal itself is gone";
    EXPECT_EQ((Lines{"Restaurou arquivo: " + at("app\\r.txt"), "Problema ao excluir diretório temporário."}),
              log());
    EXPECT_EQ("old", contentOf(at("app\\r.txt")));
    EXPECT_EQ("(missing)", journalContent());
}

TEST_F(Restore, ALockedAddedFileCountsAsAbsentAndAMissingReplacedFileAsDone) {
    put("app\\held.txt", "x");
    journal(line(1, 1, "app\\held.txt") + line(2, 1, "app\\vanished.txt"));
    bool result = false;
    {
        qvjournal::FileLock lock(at("app\\held.txt"));
        ASSERT_TRUE(lock.held());
        result = recover();
    }
    EXPECT_TRUE(result);
    EXPECT_EQ("x", contentOf(at("app\\held.txt")));
    EXPECT_EQ(Lines{}, log());
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
}

TEST_F(Restore, ARemovedFileWhoseSavedCopyCannotComeBackKeepsJournalAndCopy) {
    put("app\\lib.jar", "left by the interrupted update");
    saved("app\\lib.jar", "former version");
    journal(line(3, 1, "app\\lib.jar"));
    bool result = true;
    {
        qvjournal::FileLock lock(at("app\\lib.jar"));
        ASSERT_TRUE(lock.held());
        result = recover();
    }
    EXPECT_FALSE(result);
    EXPECT_EQ((Lines{"ERRO Restaurou arquivo: " + at("app\\lib.jar"),
                     "Erro ao efetuar o restore do journal. Verifique o log."}),
              log());
    EXPECT_EQ("former version", contentOf(at("tmpQvel\\backup\\" + at("app\\lib.jar").substr(3))));
    EXPECT_EQ(line(3, 1, "app\\lib.jar"), journalContent());

    EXPECT_TRUE(recover()) << "the next start, with the file released, restores it";
    EXPECT_EQ("former version", contentOf(at("app\\lib.jar")));
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
}

TEST_F(Restore, ARemovedFileWithoutSavedCopyLeavesTheFileInPlace) {
    put("app\\lib.jar", "present");
    journal(line(3, 1, "app\\lib.jar"));
    EXPECT_TRUE(recover());
    EXPECT_EQ("present", contentOf(at("app\\lib.jar")));
    EXPECT_EQ(Lines{}, log());
}

TEST_F(Restore, AnUnreadableJournalIsRejectedWithoutTouchingAnything) {
    put("app\\canary", "x");
    std::string binary = line(1, 1, "app\\canary");
    for (int i = 0; i < 512; ++i)
        binary += static_cast<char>((i * 37) & 0xff);
    const std::pair<const char *, std::string> cases[] = {
        {"a line of 1 MB", line(1, 1, "app\\canary") + std::string(1 << 20, 'A') + "\r\n"},
        {"binary bytes", binary},
    };
    for (const auto &c : cases) {
        journal(c.second);
        EXPECT_FALSE(recover()) << c.first;
        EXPECT_EQ((Lines{"Erro no journal:", "Erro, registro journal inválido."}), log()) << c.first;
        EXPECT_EQ("x", contentOf(at("app\\canary"))) << c.first;
        EXPECT_EQ(c.second.size(), journalContent().size()) << c.first;
        DeleteFileA(at("logs\\downloadinfra_log_20261206.log").c_str());
    }

    // A journal that another program holds without read sharing is there all the same: no
    // normal start on a half-restored installation. Released, it is undone at the next start.
    put("app\\replaced.txt", "new");
    saved("app\\replaced.txt", "old");
    const std::string copy = at("tmpQvel\\backup\\" + at("app\\replaced.txt").substr(3));
    const std::string content = line(1, 1, "app\\canary") + line(2, 1, "app\\replaced.txt");
    journal(content);
    bool result = true;
    {
        qvjournal::FileLock lock(at("tmpQvel\\journal.data"));
        ASSERT_TRUE(lock.held());
        result = recover();
    }
    EXPECT_FALSE(result) << "locked journal";
    EXPECT_EQ((Lines{"Erro no journal:", "Erro ao tentar ler o journal"}), log());
    EXPECT_EQ("x", contentOf(at("app\\canary")));
    EXPECT_EQ("new", contentOf(at("app\\replaced.txt")));
    EXPECT_EQ("old", contentOf(copy));
    EXPECT_EQ(content, journalContent());
    DeleteFileA(at("logs\\downloadinfra_log_20261206.log").c_str());

    EXPECT_TRUE(recover()) << "the next start, with the journal released";
    EXPECT_EQ(
        (Lines{"Restaurou arquivo: " + at("app\\replaced.txt"), "Apagou arquivo: " + at("app\\canary")}),
        log());
    EXPECT_EQ("old", contentOf(at("app\\replaced.txt")));
    EXPECT_FALSE(qvtest::dirExists(at("tmpQvel")));
}

TEST_F(Restore, UnusablePathsStopTheRunAtThatRecord) {
    put("app\\canary", "x");
    const std::string longName(270 - at("app\\").size(), 'n');
    const std::pair<const char *, std::string> cases[] = {
        {"folder shorter than three characters", line(1, 1, "app\\canary") + "2||1||C:||x.jar||\r\n"},
        {"added file with a path of 270 characters",
         line(1, 1, "app\\canary") + line(1, 1, "app\\" + longName)},
        {"replaced file with a path of 270 characters",
         line(1, 1, "app\\canary") + line(2, 1, "app\\" + longName)},
    };
    for (const auto &c : cases) {
        journal(c.second);
        EXPECT_FALSE(recover()) << c.first;
        EXPECT_EQ((Lines{"Erro no journal:", "Erro inesperado em efetuarRestore"}), log()) << c.first;
        EXPECT_EQ("x", contentOf(at("app\\canary"))) << c.first << ": the older record is not handled";
        EXPECT_EQ(c.second, journalContent()) << c.first;
        DeleteFileA(at("logs\\downloadinfra_log_20261206.log").c_str());
    }
}

TEST_F(Restore, AnEmptyInstallFolderLooksAtTheDriveRootWithTheLogOff) {
    configureLog("downloadinfra_log_", "C:\\elsewhere");
    const RestoreContext context{qvjournal::FixedInstallReader("")};
    EXPECT_EQ("", context.installFolder);
    EXPECT_EQ("\\tmpQvel", context.tempFolder);
    EXPECT_EQ("", LogSettings::instance().logFolder);
    EXPECT_FALSE(writeLog("nothing"));
}

TEST_F(Restore, TheContextTurnsTheManagersLogOn) {
    const RestoreContext context{qvjournal::FixedInstallReader(inst)};
    EXPECT_EQ(inst + "\\tmpQvel", context.tempFolder);
    EXPECT_EQ("backup", context.backupFolderName);
    JournalRecord r;
    r.folder = "C:\\APP\\site\\WEB-INF\\lib";
    r.name = "x.jar";
    EXPECT_EQ(inst + "\\tmpQvel\\backup\\APP\\site\\WEB-INF\\lib\\x.jar", context.savedCopy(r));
    EXPECT_EQ("C:\\APP\\site\\WEB-INF\\lib\\x.jar", context.entryPath(r));
    EXPECT_TRUE(writeLog("on"));
    EXPECT_EQ(Lines{"on"}, log());
}
