// FileUtil and TempFolder on real files on Wine's C: drive.
#include "FileUtil.h"
#include "JournalTestUtil.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using qvjournal::LogCapture;
using qvtest::ScratchDir;
using Lines = std::vector<std::string>;

namespace {

bool readOnly(const std::string &path) {
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

std::string contentOf(const std::string &path) {
    std::string bytes = "(unreadable)";
    qvtest::readFile(path, bytes);
    return bytes;
}

} // namespace

TEST(CreateFolderPath, CreatesTheMissingChainAndLeavesExistingFoldersAlone) {
    ScratchDir dir("fu_create");
    FileUtil files;
    const std::string deep = dir / "a\\b\\c\\d\\e\\f\\g\\h";
    EXPECT_TRUE(files.createFolderPath(deep));
    EXPECT_TRUE(qvtest::dirExists(deep)) << deep;
    ASSERT_TRUE(qvtest::writeFile(dir / "a\\b\\marker", "m"));
    EXPECT_TRUE(files.createFolderPath(deep + "\\")) << "all folders present, trailing backslash";
    EXPECT_EQ("m", contentOf(dir / "a\\b\\marker"));
    EXPECT_TRUE(files.createFolderPath("C:\\"));
    EXPECT_TRUE(files.createFolderPath("C:"));
}

TEST(CreateFolderPath, StopsAtTheFirstFolderThatCannotBeCreated) {
    ScratchDir dir("fu_create_fail");
    ASSERT_TRUE(qvtest::writeFile(dir / "x", "a file where a folder should be"));
    FileUtil files;
    EXPECT_FALSE(files.createFolderPath(dir / "x\\y"));
    EXPECT_FALSE(qvtest::dirExists(dir / "x\\y"));
    EXPECT_EQ("a file where a folder should be", contentOf(dir / "x"));
}

TEST(CreateFolderPath, APathBeginningWithABackslashCreatesNothing) {
    ScratchDir dir("fu_create_rooted");
    FileUtil files;
    EXPECT_TRUE(files.createFolderPath("\\qvtest\\fu_create_rooted\\never"));
    EXPECT_FALSE(qvtest::dirExists(dir / "never"));
}

TEST(IsFolder, FoldersWithOrWithoutBackslashFilesAndMissingPaths) {
    ScratchDir dir("fu_isfolder");
    ASSERT_TRUE(qvtest::writeFile(dir / "f.txt", "x"));
    FileUtil files;
    EXPECT_TRUE(files.isFolder(dir.path()));
    EXPECT_TRUE(files.isFolder(dir.path() + "\\"));
    EXPECT_FALSE(files.isFolder(dir / "f.txt"));
    EXPECT_FALSE(files.isFolder(dir / "missing"));
}

TEST(FileExists, OnlyAFileThatOpensForReadingExists) {
    ScratchDir dir("fu_exists");
    ASSERT_TRUE(qvtest::writeFile(dir / "plain", "x"));
    ASSERT_TRUE(qvtest::writeFile(dir / "ro", "x"));
    ASSERT_TRUE(readOnly(dir / "ro"));
    ASSERT_TRUE(qvtest::writeFile(dir / "locked", "x"));
    FileUtil files;
    EXPECT_TRUE(files.fileExists(dir / "plain"));
    EXPECT_TRUE(files.fileExists(dir / "ro"));
    EXPECT_FALSE(files.fileExists(dir / "missing"));
    EXPECT_FALSE(files.fileExists(dir.path())) << "a folder";
    qvjournal::FileLock lock(dir / "locked");
    ASSERT_TRUE(lock.held());
    EXPECT_FALSE(files.fileExists(dir / "locked")) << "held without sharing by another process";
}

TEST(DeleteTree, RemovesADeepTreeBottomUp) {
    ScratchDir dir("fu_tree");
    std::string deep = dir / "t";
    for (int i = 0; i < 12; ++i) {
        deep += "\\level" + std::to_string(i);
        ASSERT_TRUE(qvtest::makeDirs(deep));
        ASSERT_TRUE(qvtest::writeFile(deep + "\\file" + std::to_string(i) + ".txt", "x"));
    }
    ASSERT_TRUE(qvtest::makeDirs(dir / "t\\empty"));
    LogCapture log(dir / "logs");
    EXPECT_TRUE(FileUtil().deleteTree(dir / "t", false));
    EXPECT_FALSE(qvtest::dirExists(dir / "t"));
    EXPECT_EQ(Lines{}, log.messages());
}

TEST(DeleteTree, ADotFileIsSkippedAndKeepsItsFolder) {
    ScratchDir dir("fu_tree_keep");
    ASSERT_TRUE(qvtest::makeDirs(dir / "t\\sub"));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\sub\\.keep", ""));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\other.txt", "x"));
    LogCapture log(dir / "logs");
    EXPECT_FALSE(FileUtil().deleteTree(dir / "t", false));
    EXPECT_TRUE(qvtest::fileExists(dir / "t\\sub\\.keep"));
    EXPECT_FALSE(qvtest::fileExists(dir / "t\\other.txt"));
    // Only the folder that could not go is reported, never .keep itself.
    EXPECT_EQ(Lines{"Erro na exclusão da pasta: " + dir / "t\\sub"}, log.messages());
}

TEST(DeleteTree, AReadOnlyFileIsReportedAndTheOthersStillGo) {
    ScratchDir dir("fu_tree_ro");
    ASSERT_TRUE(qvtest::makeDirs(dir / "t"));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\a.txt", "x"));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\b.txt", "x"));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\c.txt", "x"));
    ASSERT_TRUE(readOnly(dir / "t\\b.txt"));
    {
        LogCapture log(dir / "logs");
        EXPECT_FALSE(FileUtil().deleteTree(dir / "t", false));
        EXPECT_EQ(Lines{"Erro na exclusão do arquivo: " + dir / "t\\b.txt"}, log.messages());
    }
    EXPECT_FALSE(qvtest::fileExists(dir / "t\\a.txt"));
    EXPECT_TRUE(qvtest::fileExists(dir / "t\\b.txt"));
    EXPECT_FALSE(qvtest::fileExists(dir / "t\\c.txt"));
}

TEST(DeleteTree, QuietLogsNothingAndAMissingFolderIsFalse) {
    ScratchDir dir("fu_tree_quiet");
    ASSERT_TRUE(qvtest::makeDirs(dir / "t"));
    ASSERT_TRUE(qvtest::writeFile(dir / "t\\ro.txt", "x"));
    ASSERT_TRUE(readOnly(dir / "t\\ro.txt"));
    LogCapture log(dir / "logs");
    FileUtil files;
    EXPECT_FALSE(files.deleteTree(dir / "t", true));
    EXPECT_FALSE(files.deleteTree(dir / "missing", false));
    EXPECT_EQ(Lines{}, log.messages());
}

TEST(FileCopy, WithoutOverwriteAnExistingTargetStaysAndOneLineIsLogged) {
    ScratchDir dir("fu_copy_noover");
    ASSERT_TRUE(qvtest::writeFile(dir / "src", "new"));
    ASSERT_TRUE(qvtest::writeFile(dir / "dst", "old"));
    LogCapture log(dir / "logs");
    EXPECT_FALSE(FileUtil().copyFile(dir / "src", dir / "dst", false));
    EXPECT_EQ("old", contentOf(dir / "dst"));
    EXPECT_EQ(Lines{"Tentou copiar arquivo sem sobrescrita: " + dir / "dst"}, log.messages());
}

TEST(FileCopy, CreatesTheTargetFolderChainAndOverwrites) {
    ScratchDir dir("fu_copy_chain");
    ASSERT_TRUE(qvtest::writeFile(dir / "src", "content"));
    FileUtil files;
    EXPECT_TRUE(files.copyFile(dir / "src", dir / "p\\q\\r\\dst", false));
    EXPECT_EQ("content", contentOf(dir / "p\\q\\r\\dst"));
    ASSERT_TRUE(qvtest::writeFile(dir / "src", "newer"));
    EXPECT_TRUE(files.copyFile(dir / "src", dir / "p\\q\\r\\dst", true));
    EXPECT_EQ("newer", contentOf(dir / "p\\q\\r\\dst"));
}

TEST(FileCopy, AMissingOrLockedSourceLeavesTheTargetAsItWas) {
    ScratchDir dir("fu_copy_nosrc");
    ASSERT_TRUE(qvtest::writeFile(dir / "dst", "the only copy"));
    ASSERT_TRUE(qvtest::writeFile(dir / "locked", "source"));
    LogCapture log(dir / "logs");
    FileUtil files;
    EXPECT_FALSE(files.copyFile(dir / "missing", dir / "dst", true));
    EXPECT_EQ("the only copy", contentOf(dir / "dst"));
    EXPECT_FALSE(files.copyFile(dir / "missing", dir / "new\\dst", true));
    EXPECT_FALSE(qvtest::dirExists(dir / "new")) << "nothing touched for a missing source";
    qvjournal::FileLock lock(dir / "locked");
    ASSERT_TRUE(lock.held());
    EXPECT_FALSE(files.copyFile(dir / "locked", dir / "dst", true));
    EXPECT_EQ("the only copy", contentOf(dir / "dst"));
    EXPECT_EQ(Lines{}, log.messages());
}

TEST(FileCopy, AnUndeletableTargetIsLoggedAndKept) {
    ScratchDir dir("fu_copy_ro");
    ASSERT_TRUE(qvtest::writeFile(dir / "src", "new"));
    ASSERT_TRUE(qvtest::writeFile(dir / "dst", "old"));
    ASSERT_TRUE(readOnly(dir / "dst"));
    LogCapture log(dir / "logs");
    EXPECT_FALSE(FileUtil().copyFile(dir / "src", dir / "dst", true));
    EXPECT_EQ("old", contentOf(dir / "dst"));
    EXPECT_EQ(Lines{"Erro ao excluir arquivo: " + dir / "dst"}, log.messages());
}

TEST(FileCopy, ALockedTargetFailsAndStays) {
    ScratchDir dir("fu_copy_locked");
    ASSERT_TRUE(qvtest::writeFile(dir / "src", "new"));
    ASSERT_TRUE(qvtest::writeFile(dir / "dst", "old"));
    bool copied = true;
    {
        qvjournal::FileLock lock(dir / "dst");
        ASSERT_TRUE(lock.held());
        copied = FileUtil().copyFile(dir / "src", dir / "dst", true);
    }
    EXPECT_FALSE(copied);
    EXPECT_EQ("old", contentOf(dir / "dst"));
}

TEST(TempFolderTest, PathAndRemovalOfTheUpdatesTemporaryFolder) {
    ScratchDir dir("fu_temp");
    TempFolder temp;
    EXPECT_EQ(dir / "tmpQvel", temp.pathFor(dir.path()));
    ASSERT_TRUE(qvtest::makeDirs(dir / "tmpQvel\\backup\\APP"));
    ASSERT_TRUE(qvtest::writeFile(dir / "tmpQvel\\backup\\APP\\x.jar", "x"));
    ASSERT_TRUE(qvtest::writeFile(dir / "tmpQvel\\journal.data", ""));
    LogCapture log(dir / "logs");
    temp.removeFrom(dir.path());
    EXPECT_FALSE(qvtest::dirExists(dir / "tmpQvel"));
    temp.removeFrom(dir.path()); // nothing left: nothing done, nothing logged
    EXPECT_EQ(Lines{}, log.messages());
}

TEST(TempFolderTest, ALockedFileInsideIsLoggedOnceWithoutListingIt) {
    ScratchDir dir("fu_temp_locked");
    ASSERT_TRUE(qvtest::makeDirs(dir / "tmpQvel\\backup"));
    ASSERT_TRUE(qvtest::writeFile(dir / "tmpQvel\\backup\\held.jar", "x"));
    ASSERT_TRUE(qvtest::writeFile(dir / "tmpQvel\\other.jar", "x"));
    LogCapture log(dir / "logs");
    {
        qvjournal::FileLock lock(dir / "tmpQvel\\backup\\held.jar");
        ASSERT_TRUE(lock.held());
        TempFolder().removeFrom(dir.path());
    }
    EXPECT_TRUE(qvtest::fileExists(dir / "tmpQvel\\backup\\held.jar"));
    EXPECT_FALSE(qvtest::fileExists(dir / "tmpQvel\\other.jar"));
    EXPECT_EQ(Lines{"Problema ao excluir diretório temporário."}, log.messages());
}
