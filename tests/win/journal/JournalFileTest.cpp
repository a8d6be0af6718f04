// The journal file on Wine's C: drive: what is written is read back, line ends on disk, and
// the two failures of the reader.
#include "Journal.h"
#include "JournalRecords.h"
#include "JournalTestUtil.h"

#include <gtest/gtest.h>

using qvtest::ScratchDir;

namespace {

using qvjournal::record;

std::string contentOf(const std::string &path) {
    std::string bytes = "(unreadable)";
    qvtest::readFile(path, bytes);
    return bytes;
}

std::string raisedByRead(const std::string &folder) {
    try {
        readJournal(folder);
    } catch (const JournalError &e) {
        return e.what();
    }
    return "(none)";
}

} // namespace

TEST(JournalFile, AppendedRecordsReadBackInOrderWithCrLfOnDisk) {
    ScratchDir dir("jf_append");
    Journal journal(dir.path());
    journal.append(record(2, 1, "C:\\APP\\site\\WEB-INF\\lib", "x.jar"));
    journal.append(record(3, 2, "C:\\APP", "web"));
    EXPECT_EQ("2||1||C:\\APP\\site\\WEB-INF\\lib||x.jar||\r\n3||2||C:\\APP||web||\r\n",
              contentOf(dir / "journal.data"));
    const auto records = journal.readAll();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("x.jar", records[0].name);
    EXPECT_EQ("web", records[1].name);
    EXPECT_EQ(3, records[1].operation);
}

TEST(JournalFile, RewriteLeavesExactlyTheGivenRecords) {
    ScratchDir dir("jf_rewrite");
    Journal journal(dir.path());
    journal.append(record(1, 1, "C:\\old", "old"));
    journal.rewrite({});
    EXPECT_EQ("", contentOf(dir / "journal.data"));
    journal.rewrite({record(1, 1, "C:\\a", "1"), record(2, 1, "C:\\b", "2"), record(3, 1, "C:\\c", "3")});
    EXPECT_EQ("1||1||C:\\a||1||\r\n2||1||C:\\b||2||\r\n3||1||C:\\c||3||\r\n",
              contentOf(dir / "journal.data"));
}

TEST(JournalFile, CreateMakesAnEmptyFileAndKeepsAnExistingOne) {
    ScratchDir dir("jf_create");
    Journal journal(dir.path());
    EXPECT_FALSE(journalExists(dir.path()));
    journal.create();
    EXPECT_TRUE(journalExists(dir.path()));
    EXPECT_EQ("", contentOf(dir / "journal.data"));
    journal.append(record(1, 1, "C:\\a", "kept"));
    journal.create();
    EXPECT_EQ("1||1||C:\\a||kept||\r\n", contentOf(dir / "journal.data"));
    deleteJournal(dir.path());
    EXPECT_FALSE(qvtest::fileExists(dir / "journal.data"));
}

TEST(JournalFile, LfOnlyFileFromAnotherWriterReads) {
    ScratchDir dir("jf_lf");
    ASSERT_TRUE(qvtest::writeFile(dir / "journal.data", "1||1||C:\\a||a||\n2||1||C:\\b||b||"));
    const auto records = readJournal(dir.path());
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("C:\\a", records[0].folder);
    EXPECT_EQ("b", records[1].name);
}

TEST(JournalFile, MissingOrInvalidJournalRaisesItsMessage) {
    ScratchDir dir("jf_fail");
    EXPECT_FALSE(journalExists(dir / "no\\such\\folder"));
    EXPECT_EQ("Erro ao tentar ler o journal", raisedByRead(dir.path()));
    ASSERT_TRUE(qvtest::writeFile(dir / "journal.data", "1||1||C:\\a||a||\r\n1||1||C:\\b\r\n"));
    EXPECT_EQ("Erro, registro journal inválido.", raisedByRead(dir.path()));
    EXPECT_EQ("1||1||C:\\a||a||\r\n1||1||C:\\b\r\n", contentOf(dir / "journal.data")) << "left unchanged";
}

TEST(JournalFile, ALockedJournalExistsButCannotBeRead) {
    ScratchDir dir("jf_locked");
    ASSERT_TRUE(qvtest::writeFile(dir / "journal.data", "1||1||C:\\a||a||\r\n"));
    qvjournal::FileLock lock(dir / "journal.data");
    ASSERT_TRUE(lock.held());
    EXPECT_TRUE(journalExists(dir.path()));
    EXPECT_EQ("Erro ao tentar ler o journal", raisedByRead(dir.path()));
}
