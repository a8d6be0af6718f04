// quorvel9x.exe started from outside on an installation whose update was interrupted, the
// installation folder given by the registry's INSTDIR83.
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <map>

using qvtest::ChildProcess;
using qvtest::ScratchDir;
using qvtest::ScratchKey;

namespace {

constexpr const char *kKey = "SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters";
constexpr DWORD kRunTimeoutMs = 180000;

std::string manager() {
    return "\"" + qvtest::programPath("quorvel9x.exe") + "\"";
}

std::string contentOf(const std::string &path) {
    std::string bytes = "(missing)";
    qvtest::readFile(path, bytes);
    return bytes;
}

std::string journalLine(int operation, int entryType, const std::string &folder, const std::string &name) {
    return std::to_string(operation) + "||" + std::to_string(entryType) + "||" + folder + "||" + name +
           "||\r\n";
}

// An interrupted update of `records` entries below inst\app, cycling through the four kinds
// the restore acts on. Returns false when the scratch files could not be written.
bool buildInterruptedUpdate(const std::string &inst, int records) {
    std::string journal;
    for (int i = 0; i < records; ++i) {
        const std::string folder = inst + "\\app\\d" + std::to_string(i % 40);
        const std::string name = "f" + std::to_string(i) + ".txt";
        const std::string saved = inst + "\\tmpQvel\\backup\\" + folder.substr(3);
        const std::string body(1024, static_cast<char>('a' + i % 26));
        bool ok = qvtest::makeDirs(folder) && qvtest::makeDirs(saved);
        switch (i % 4) {
        case 0: // replaced
            ok = ok && qvtest::writeFile(folder + "\\" + name, "new " + body) &&
                 qvtest::writeFile(saved + "\\" + name, "old " + body);
            journal += journalLine(2, 1, folder, name);
            break;
        case 1: // added
            ok = ok && qvtest::writeFile(folder + "\\" + name, "added " + body);
            journal += journalLine(1, 1, folder, name);
            break;
        case 2: // removed, with its saved copy
            ok = ok && qvtest::writeFile(saved + "\\" + name, "removed " + body);
            journal += journalLine(3, 1, folder, name);
            break;
        default: // removed folder
            journal += journalLine(3, 2, folder, "sub" + std::to_string(i));
            break;
        }
        if (!ok)
            return false;
    }
    return qvtest::writeFile(inst + "\\tmpQvel\\journal.data", journal);
}

// Every folder and file below `root` (files with their content), the log folder left out.
void snapshot(const std::string &root, const std::string &rel, std::map<std::string, std::string> &out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + (rel.empty() ? "" : "\\" + rel) + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == ".." || (rel.empty() && name == "logs"))
            continue;
        const std::string child = rel.empty() ? name : rel + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[child + "\\"] = "<folder>";
            snapshot(root, child, out);
        } else {
            out[child] = contentOf(root + "\\" + child);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::size_t countLines(const std::string &path) {
    std::string bytes;
    if (!qvtest::readFile(path, bytes))
        return 0;
    std::size_t n = 0;
    for (std::size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", p + 2))
        ++n;
    return n;
}

std::string todaysLog(const std::string &inst) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    char name[64];
    snprintf(name, sizeof name, "downloadinfra_log_%04u%02u%02u.log", st.wYear, st.wMonth, st.wDay);
    return inst + "\\logs\\" + name;
}

// Starts the manager and waits until its recovery has removed the temporary folder; a
// manager that goes on to its starting dialog is then ended.
bool runUntilRecovered(const std::string &inst) {
    ChildProcess p;
    if (!p.start(manager()))
        return false;
    return qvtest::pollUntil([&] { return !qvtest::dirExists(inst + "\\tmpQvel"); }, kRunTimeoutMs, 10);
}

// Starts the manager and waits for it to end by itself.
bool runToEnd(DWORD *exitCode) {
    ChildProcess p;
    return p.start(manager()) && p.wait(kRunTimeoutMs, exitCode);
}

} // namespace

TEST(Recovery, APendingUpdateIsUndoneAtStart) {
    ScratchKey key(kKey);
    ScratchDir inst("rec_undo");
    ASSERT_TRUE(key.setText("Site", "INSTDIR83", inst.path()));
    ASSERT_TRUE(qvtest::makeDirs(inst / "app"));
    ASSERT_TRUE(qvtest::writeFile(inst / "app\\x.jar", "new"));
    ASSERT_TRUE(qvtest::writeFile(inst / "app\\added.jar", "added"));
    ASSERT_TRUE(qvtest::makeDirs(inst / "tmpQvel\\backup\\" + inst.path().substr(3) + "\\app"));
    ASSERT_TRUE(
        qvtest::writeFile(inst / "tmpQvel\\backup\\" + inst.path().substr(3) + "\\app\\x.jar", "old"));
    ASSERT_TRUE(
        qvtest::writeFile(inst / "tmpQvel\\journal.data", journalLine(1, 1, inst / "app", "added.jar") +
                                                              journalLine(2, 1, inst / "app", "x.jar")));
    ASSERT_TRUE(runUntilRecovered(inst.path()));
    EXPECT_EQ("old", contentOf(inst / "app\\x.jar"));
    EXPECT_EQ("(missing)", contentOf(inst / "app\\added.jar"));
    EXPECT_FALSE(qvtest::dirExists(inst / "tmpQvel"));
    EXPECT_EQ(2u, countLines(todaysLog(inst.path()))) << contentOf(todaysLog(inst.path()));
}

TEST(Recovery, AJournalThatCannotBeUndoneEndsTheProgramAndStays) {
    ScratchKey key(kKey);
    ScratchDir inst("rec_invalid");
    ASSERT_TRUE(key.setText("Site", "INSTDIR83", inst.path()));
    ASSERT_TRUE(qvtest::makeDirs(inst / "app"));
    ASSERT_TRUE(qvtest::writeFile(inst / "app\\x.jar", "new"));
    const std::string journal = journalLine(1, 1, inst / "app", "x.jar") + "garbage\r\n";
    ASSERT_TRUE(qvtest::makeDirs(inst / "tmpQvel"));
    ASSERT_TRUE(qvtest::writeFile(inst / "tmpQvel\\journal.data", journal));
    DWORD code = 12345;
    ASSERT_TRUE(runToEnd(&code)) << "the manager quits when the journal cannot be undone";
    EXPECT_EQ(0u, code);
    EXPECT_EQ("new", contentOf(inst / "app\\x.jar"));
    EXPECT_EQ(journal, contentOf(inst / "tmpQvel\\journal.data"));
    const std::string log = contentOf(todaysLog(inst.path()));
    EXPECT_NE(std::string::npos, log.find("] Erro no journal:\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("] Erro, registro journal inválido.\r\n")) << log;
}

TEST(Recovery, ARestoreEndedHalfwayAndReplayedGivesTheTreeOfASingleRun) {
    constexpr int kRecords = 1000;
    ScratchKey key(kKey);
    ScratchDir inst("rec_replay");
    ASSERT_TRUE(key.setText("Site", "INSTDIR83", inst.path()));
    const std::string log = todaysLog(inst.path());

    ASSERT_TRUE(buildInterruptedUpdate(inst.path(), kRecords));
    ASSERT_TRUE(runUntilRecovered(inst.path()));
    std::map<std::string, std::string> single;
    snapshot(inst.path(), "", single);
    const std::size_t linesOfAFullRun = countLines(log);

    qvtest::removeTree(inst.path());
    ASSERT_TRUE(buildInterruptedUpdate(inst.path(), kRecords));
    {
        ChildProcess first;
        ASSERT_TRUE(first.start(manager()));
        // Some files are restored: end it as a power cut would.
        EXPECT_TRUE(qvtest::pollUntil([&] { return countLines(log) >= 50; }, 60000, 5));
        first.kill();
        ASSERT_TRUE(first.wait(10000));
    }
    const std::size_t linesWhenEnded = countLines(log);
    ASSERT_TRUE(qvtest::fileExists(inst / "tmpQvel\\journal.data"))
        << "the run ended before the restore did (" << linesWhenEnded << " lines)";
    EXPECT_LT(linesWhenEnded, linesOfAFullRun);
    std::printf("restore ended after %u of %u log lines\n", static_cast<unsigned>(linesWhenEnded),
                static_cast<unsigned>(linesOfAFullRun));

    ASSERT_TRUE(runUntilRecovered(inst.path()));
    std::map<std::string, std::string> replayed;
    snapshot(inst.path(), "", replayed);
    EXPECT_EQ(single.size(), replayed.size());
    EXPECT_TRUE(single == replayed) << "the trees differ";
    for (const auto &entry : single) {
        auto it = replayed.find(entry.first);
        if (it == replayed.end() || it->second != entry.second) {
            ADD_FAILURE() << "first difference at " << entry.first;
            break;
        }
    }
}
