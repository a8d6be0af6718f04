// Where the tool looks for the installation: the option, or its own path.
#include "Folders.h"

#include <gtest/gtest.h>

using qvstop::applicationFolderFor;
using qvstop::installationFolderOf;

namespace {
const std::string kOutside = "C:\\Tools\\StopQuorvel.exe";
const std::string kInstalled = "C:\\QUORVEL\\APLICACAO\\INFRA\\TOMCAT\\BIN\\StopQuorvel.exe";
} // namespace

TEST(StopFolders, OptionNamesInstallationWhereverToolLies) {
    for (const std::string &own : {kOutside, kInstalled, std::string()}) {
        const std::string app = applicationFolderFor("-Dinstall.dir=C:\\QUORVEL", own);
        EXPECT_EQ("C:\\QUORVEL\\aplicacao", app) << "own path " << own;
        EXPECT_EQ("C:\\QUORVEL", installationFolderOf(app)) << "own path " << own;
    }
}

TEST(StopFolders, OptionValueIsUsedUnchanged) {
    // No quotes removed, no blanks trimmed, letter case kept.
    EXPECT_EQ("\"C:\\Meu Quorvel\" \\aplicacao",
              applicationFolderFor("-Dinstall.dir=\"C:\\Meu Quorvel\" ", kOutside));
    EXPECT_EQ("\\aplicacao", applicationFolderFor("-Dinstall.dir=", kOutside));
}

TEST(StopFolders, OptionCountsOnlyAtStartOfCommandLine) {
    EXPECT_EQ("", applicationFolderFor(" -Dinstall.dir=C:\\QUORVEL", kOutside));
    EXPECT_EQ("", applicationFolderFor("x -Dinstall.dir=C:\\QUORVEL", kOutside));
    EXPECT_EQ("", applicationFolderFor("-dinstall.dir=C:\\QUORVEL", kOutside));
    EXPECT_EQ("c:\\quorvel\\aplicacao", applicationFolderFor("x -Dinstall.dir=D:\\OTHER", kInstalled));
}

TEST(StopFolders, OwnPathInToolFolderGivesLowercasedParent) {
    EXPECT_EQ("c:\\quorvel\\aplicacao", applicationFolderFor("", kInstalled));
    EXPECT_EQ("c:\\quorvel\\aplicacao",
              applicationFolderFor("", "C:\\Quorvel\\Aplicacao\\Infra\\Tomcat\\Bin\\StopQuorvel.exe"));
    EXPECT_EQ("c:\\quorvel\\aplicacao",
              applicationFolderFor("", "c:\\quorvel\\aplicacao\\infra\\tomcat\\bin\\s.exe"));
    EXPECT_EQ("c:\\quorvel\\aplicacao",
              applicationFolderFor("", kInstalled.substr(0, kInstalled.rfind('\\'))));
}

TEST(StopFolders, FirstOccurrenceOfToolFolderCounts) {
    EXPECT_EQ("c:\\a", applicationFolderFor("", "C:\\A\\infra\\tomcat\\bin\\B\\infra\\tomcat\\bin\\s.exe"));
}

TEST(StopFolders, OwnPathOutsideToolFolderGivesNothing) {
    EXPECT_EQ("", applicationFolderFor("", kOutside));
    EXPECT_EQ("", applicationFolderFor("", "C:\\QUORVEL\\aplicacao\\infra\\tomcat\\StopQuorvel.exe"));
    EXPECT_EQ("", applicationFolderFor("", "C:\\QUORVEL\\aplicacao\\infra/tomcat/bin\\StopQuorvel.exe"));
    // The name must be a whole folder name: nothing is cut out of "fooinfra".
    EXPECT_EQ("", applicationFolderFor("", "C:\\fooinfra\\tomcat\\bin\\StopQuorvel.exe"));
    EXPECT_EQ("", applicationFolderFor("", "")); // own path unreadable
}

TEST(StopFolders, OnlyAsciiLettersAreLowercased) {
    // Code page 1252 "\xC7\xC3O" (upper-case C cedilla, A tilde) must keep its bytes.
    EXPECT_EQ(
        "c:\\\xC7\xC3o\\aplica\xC7\xC3o",
        applicationFolderFor("", "C:\\\xC7\xC3O\\APLICA\xC7\xC3O\\INFRA\\TOMCAT\\BIN\\StopQuorvel.exe"));
}

TEST(StopFolders, InstallationFolderIsUpToLastBackslash) {
    EXPECT_EQ("c:\\a\\b", installationFolderOf("c:\\a\\b\\aplicacao"));
    EXPECT_EQ("aplicacao", installationFolderOf("aplicacao"));
    EXPECT_EQ("", installationFolderOf("\\aplicacao"));
}
