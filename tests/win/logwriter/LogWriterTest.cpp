// The log writer on real files under Wine, with the local time held fixed.
#include "LogWriter.h"
#include "JournalTestUtil.h"

#include <gtest/gtest.h>

using qvjournal::LogCapture;
using qvtest::ScratchDir;
using Lines = std::vector<std::string>;

namespace {

std::string contentOf(const std::string &path) {
    std::string bytes = "(unreadable)";
    qvtest::readFile(path, bytes);
    return bytes;
}

// Files directly inside `folder`.
Lines filesIn(const std::string &folder) {
    Lines names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

} // namespace

TEST(LogFormat, StampAndFileNameOfSixDecember2026) {
    EXPECT_EQ("[2026/12/06 - 9:5:7:42] ", formatLogPrefix(qvjournal::fixedTime()));
    EXPECT_EQ("downloadinfra_log_20261206.log", logFileName("downloadinfra_log_", qvjournal::fixedTime()));
    const LogTime late{2027, 1, 31, 23, 59, 59, 999};
    EXPECT_EQ("[2027/01/31 - 23:59:59:999] ", formatLogPrefix(late));
    EXPECT_EQ("restore_log_20270131.log", logFileName("restore_log_", late));
}

TEST(LogWriter, WritesOneCrLfLineAtTheFixedTimeAndCreatesTheFolderChain) {
    ScratchDir dir("lw_line");
    const std::string folder = dir / "inst\\logs\\deeper";
    LogCapture log(folder);
    ASSERT_FALSE(qvtest::dirExists(folder));
    EXPECT_TRUE(writeLog("Apagou arquivo: C:\\APP\\x.jar"));
    EXPECT_EQ("[2026/12/06 - 9:5:7:42] Apagou arquivo: C:\\APP\\x.jar\r\n",
              contentOf(folder + "\\downloadinfra_log_20261206.log"));
}

TEST(LogWriter, SameDayAppendsAndAfterMidnightANewFileStarts) {
    ScratchDir dir("lw_days");
    LogCapture log(dir.path(), "backup_log_");
    LogTime t{2026, 12, 6, 23, 59, 59, 998};
    LogSettings::instance().clock = [&t] { return t; };
    EXPECT_TRUE(writeLog("first"));
    t.millisecond = 999;
    EXPECT_TRUE(writeLog("second"));
    t = {2026, 12, 7, 0, 0, 0, 1};
    EXPECT_TRUE(writeLog("third"));
    EXPECT_EQ("[2026/12/06 - 23:59:59:998] first\r\n[2026/12/06 - 23:59:59:999] second\r\n",
              contentOf(dir / "backup_log_20261206.log"));
    EXPECT_EQ("[2026/12/07 - 0:0:0:1] third\r\n", contentOf(dir / "backup_log_20261207.log"));
}

TEST(LogWriter, AnEmptyFolderWritesNothingAnywhere) {
    ScratchDir dir("lw_off");
    configureLog("downloadinfra_log_", "");
    LogSettings::instance().clock = qvjournal::fixedTime;
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(dir.path().c_str()); // a relative file name would land here
    const bool written = writeLog("nothing");
    SetCurrentDirectoryA(cwd);
    LogSettings::instance().clock = nullptr;
    EXPECT_FALSE(written);
    EXPECT_EQ(Lines{}, filesIn(dir.path()));
    EXPECT_FALSE(qvtest::fileExists("C:\\downloadinfra_log_20261206.log"));
    EXPECT_EQ("", logFolder());
}

TEST(LogWriter, LineBreaksInsideAMessageAreKeptAsCrLf) {
    ScratchDir dir("lw_breaks");
    LogCapture log(dir.path(), "restore_log_");
    EXPECT_TRUE(writeLog("one\ntwo"));
    EXPECT_TRUE(writeLog("três"));
    const std::string expected = "[2026/12/06 - 9:5:7:42] one\r\ntwo\r\n[2026/12/06 - 9:5:7:42] três\r\n";
    EXPECT_EQ(expected, contentOf(dir / "restore_log_20261206.log"));
    EXPECT_EQ((Lines{"one", "two", "três"}), log.messages()) << "three lines for two calls";
}

TEST(LogWriter, AnUncreatableFolderOrLockedFileLosesTheLineSilently) {
    ScratchDir dir("lw_fail");
    ASSERT_TRUE(qvtest::writeFile(dir / "blocker", "a file where the folder should be"));
    {
        LogCapture log(dir / "blocker\\logs");
        EXPECT_TRUE(writeLog("lost")) << "a configured folder answers true even when the line is lost";
    }
    EXPECT_EQ("a file where the folder should be", contentOf(dir / "blocker"));

    LogCapture log(dir.path());
    ASSERT_TRUE(writeLog("before"));
    {
        qvjournal::FileLock lock(log.file());
        ASSERT_TRUE(lock.held());
        EXPECT_TRUE(writeLog("while held"));
    }
    EXPECT_TRUE(writeLog("after"));
    EXPECT_EQ((Lines{"before", "after"}), log.messages());
}

TEST(LogWriter, AHoldKeepsTheFileOpenYetEveryLineIsInItAtOnce) {
    ScratchDir dir("lw_hold");
    LogCapture log(dir.path());
    LogTime t = qvjournal::fixedTime();
    LogSettings::instance().clock = [&t] { return t; };
    {
        LogHold hold;
        EXPECT_TRUE(writeLog("one"));
        EXPECT_EQ(Lines{"one"}, log.messages()) << "written through, not left in a buffer";
        EXPECT_FALSE(DeleteFileA(log.file().c_str())) << "the file stays open between lines";
        {
            LogHold inner;
            EXPECT_TRUE(writeLog("two"));
        }
        EXPECT_FALSE(DeleteFileA(log.file().c_str())) << "still open for the outer hold";
        t.day = 7; // past midnight the held file changes with the name
        EXPECT_TRUE(writeLog("next day"));
        EXPECT_FALSE(DeleteFileA((dir / "downloadinfra_log_20261207.log").c_str()));
        EXPECT_TRUE(DeleteFileA(log.file().c_str())) << "the earlier day's file was let go";
        EXPECT_TRUE(writeLog("after the file was deleted"));
    }
    EXPECT_TRUE(DeleteFileA((dir / "downloadinfra_log_20261207.log").c_str())) << "closed with the last hold";
    EXPECT_TRUE(writeLog("unheld"));
    t.day = 6;
    EXPECT_TRUE(writeLog("again"));
    EXPECT_EQ((Lines{"again"}), log.messages());
}
