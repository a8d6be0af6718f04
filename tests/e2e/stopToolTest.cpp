// StopQuorvel driven from outside: a scratch installation, its server.xml, a stand-in Java
// process or a loopback listener on the shutdown port, and what the tool leaves behind.
#include "StopE2eSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using stoptest::FakeJava;
using stoptest::Installation;
using stoptest::kWord;
using stoptest::LoopbackListener;

namespace {

const char kCaption[] = "Quorvel";
const char kStoppedText[] = "Quorvel encerrado com sucesso.";
const DWORD kToolEndMs = 20000;
const char kOldStamp[] = "#old content\r\nversion=1.7.1\r\n";

ULONGLONG msSince1601(const SYSTEMTIME &t) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&t, &ft))
        return 0;
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000;
}

std::string stampOf(const std::string &path) {
    std::string bytes = "<no file>";
    qvtest::readFile(path, bytes);
    return bytes;
}

// Runs the tool and expects it to end by itself (so it showed no message box) with code 0.
void runToEnd(const std::string &exe, const std::string &arguments) {
    qvtest::ChildProcess tool;
    ASSERT_TRUE(stoptest::startTool(tool, exe, arguments)) << "could not start " << exe;
    DWORD code = 12345;
    ASSERT_TRUE(tool.wait(kToolEndMs, &code)) << "the tool did not end by itself: a message box is waiting?";
    EXPECT_EQ(0u, code) << "exit code";
}

class StopTool : public ::testing::Test {
  protected:
    std::string tool() const { return qvtest::programPath("StopQuorvel.exe"); }
};

} // namespace

TEST_F(StopTool, ConfirmsStopWhenJavaEnds) {
    Installation inst("stop_e2e_confirms");
    FakeJava java;
    ASSERT_TRUE(java.start(inst.javaBin() + "\\java.exe", inst.folder()));
    ASSERT_TRUE(inst.writeServerXmlFor(java.port()));

    qvtest::ChildProcess stop;
    ASSERT_TRUE(stoptest::startTool(stop, tool(), inst.option()));
    const qvtest::MessageBoxSeen box = qvtest::waitForMessageBox(kCaption, kToolEndMs);
    ASSERT_NE(nullptr, box.hwnd) << "no message box captioned \"" << kCaption << "\"";
    DWORD owner = 0;
    GetWindowThreadProcessId(box.hwnd, &owner);
    EXPECT_EQ(stop.id(), owner) << "the box belongs to another process";
    EXPECT_EQ(kStoppedText, box.text);
    EXPECT_EQ(nullptr, GetWindow(box.hwnd, GW_OWNER)) << "the box must have no owner window";
    EXPECT_NE(nullptr, GetDlgItem(box.hwnd, IDOK)) << "OK button";
    EXPECT_EQ(nullptr, GetDlgItem(box.hwnd, IDCANCEL)) << "only an OK button";
    EXPECT_EQ(nullptr, GetDlgItem(box.hwnd, IDYES)) << "only an OK button";

    DWORD javaCode = 12345;
    EXPECT_TRUE(java.process.wait(0, &javaCode)) << "the box came while the Java process still ran";
    EXPECT_EQ(0u, javaCode) << "stand-in's exit code";
    EXPECT_EQ(kWord, java.waitForRecord(0).value_or("<nothing received>"));

    qvtest::dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(stop.wait(kToolEndMs, &code)) << "the tool did not end after the box (a second box?)";
    EXPECT_EQ(0u, code) << "exit code";
}

TEST_F(StopTool, FindsJavawAsWell) {
    Installation inst("stop_e2e_javaw");
    FakeJava javaw;
    ASSERT_TRUE(javaw.start(inst.javaBin() + "\\javaw.exe", inst.folder()));
    ASSERT_TRUE(inst.writeServerXmlFor(javaw.port()));

    qvtest::ChildProcess stop;
    ASSERT_TRUE(stoptest::startTool(stop, tool(), inst.option()));
    const qvtest::MessageBoxSeen box = qvtest::waitForMessageBox(kCaption, kToolEndMs);
    ASSERT_NE(nullptr, box.hwnd) << "no message box captioned \"" << kCaption << "\"";
    EXPECT_EQ(kStoppedText, box.text);
    qvtest::dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(stop.wait(kToolEndMs, &code));
    EXPECT_EQ(0u, code) << "exit code";
}

TEST_F(StopTool, StampLineIsUtcTimeWithCrLf) {
    Installation inst("stop_e2e_stamp");
    ASSERT_TRUE(qvtest::writeFile(inst.stampPath(), kOldStamp));
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(inst.writeServerXmlFor(server.port()));

    // The test runs seven hours east of UTC (TZ set by stop.cmake; Wine takes the zone from the
    // Unix environment, which the tool inherits), so a stamp in local time would show.
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    ASSERT_NE(local.wHour, utc.wHour) << "local time equals UTC here: TZ not in effect";
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    runToEnd(tool(), inst.option());
    GetSystemTime(&after);

    const std::string line = stampOf(inst.stampPath());
    SYSTEMTIME stamp{};
    char cr = 0, lf = 0, extra = 0;
    const int fields = std::sscanf(line.c_str(), "%2hu/%2hu/%4hu %2hu:%2hu:%2hu.%3hu%c%c%c", &stamp.wDay,
                                   &stamp.wMonth, &stamp.wYear, &stamp.wHour, &stamp.wMinute, &stamp.wSecond,
                                   &stamp.wMilliseconds, &cr, &lf, &extra);
    ASSERT_EQ(25u, line.size()) << "got \"" << line << "\", expected DD/MM/YYYY hh:mm:ss.mmm CR LF";
    ASSERT_EQ(9, fields) << "got \"" << line << "\"";
    EXPECT_EQ('\r', cr);
    EXPECT_EQ('\n', lf);
    const ULONGLONG at = msSince1601(stamp), lo = msSince1601(before), hi = msSince1601(after);
    EXPECT_TRUE(at >= lo && at <= hi)
        << "stamp \"" << line.substr(0, 23) << "\" is not between the UTC times " << before.wHour << ":"
        << before.wMinute << ":" << before.wSecond << " and " << after.wHour << ":" << after.wMinute << ":"
        << after.wSecond;
    EXPECT_EQ(kWord, server.receive(5000).value_or("<nothing received>"));
}

TEST_F(StopTool, WithoutJavaProcessStampsAndSendsButShowsNothing) {
    Installation inst("stop_e2e_nojava");
    ASSERT_TRUE(qvtest::writeFile(inst.stampPath(), kOldStamp));
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(inst.writeServerXmlFor(server.port()));

    runToEnd(tool(), inst.option());
    EXPECT_EQ(kWord, server.receive(5000).value_or("<nothing received>"));
    EXPECT_EQ(25u, stampOf(inst.stampPath()).size()) << "stamp: " << stampOf(inst.stampPath());
}

TEST_F(StopTool, JavaOfAnotherFolderIsNotWaitedFor) {
    Installation inst("stop_e2e_otherjava");
    // The installation's runtime exists but does not run; the same program runs elsewhere.
    ASSERT_TRUE(CopyFileA(qvtest::binPath("qvstopfakejava.exe").c_str(),
                          (inst.javaBin() + "\\java.exe").c_str(), FALSE));
    qvtest::ScratchDir other("stop_e2e_otherjava_runtime");
    FakeJava java;
    ASSERT_TRUE(java.start(other / "java\\jre\\bin\\java.exe", other.path()));
    ASSERT_TRUE(inst.writeServerXmlFor(java.port()));

    runToEnd(tool(), inst.option());
    // The other process got the word and ended: had the tool taken it for its own, it would
    // have shown the box and not ended by itself.
    EXPECT_EQ(kWord, java.waitForRecord(5000).value_or("<nothing received>"));
    EXPECT_TRUE(java.process.wait(5000)) << "the stand-in did not end";
}

TEST_F(StopTool, PortAndShutdownOnSeparateLinesSendNothing) {
    Installation inst("stop_e2e_splitlines");
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(inst.writeServerXml("<Server port=\"" + std::to_string(server.port()) +
                                    "\"\r\n        shutdown=\"" + kWord + "\">\r\n</Server>\r\n"));

    runToEnd(tool(), inst.option());
    EXPECT_FALSE(server.connectionPending()) << "the tool connected to the shutdown port";
    EXPECT_EQ(25u, stampOf(inst.stampPath()).size()) << "the stamp is written anyway";
}

TEST_F(StopTool, NonNumericPortOnFirstQualifyingLineSendsNothing) {
    Installation inst("stop_e2e_badport");
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    // Only the first qualifying line counts, so the valid second line is never used.
    ASSERT_TRUE(inst.writeServerXml(std::string("<Server port=\"abc\" shutdown=\"") + kWord +
                                    "\">\r\n<Server port=\"" + std::to_string(server.port()) +
                                    "\" shutdown=\"" + kWord + "\">\r\n"));

    runToEnd(tool(), inst.option());
    EXPECT_FALSE(server.connectionPending()) << "the tool connected to the second line's port";
}

TEST_F(StopTool, MissingDbFolderSkipsOnlyTheStamp) {
    Installation inst("stop_e2e_nodb", false);
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(inst.writeServerXmlFor(server.port()));

    runToEnd(tool(), inst.option());
    EXPECT_EQ(kWord, server.receive(5000).value_or("<nothing received>"));
    EXPECT_FALSE(qvtest::dirExists(inst.applicationFolder() + "\\site\\WEB-INF\\db")) << "db folder created";
}

TEST_F(StopTool, InToolFolderOfAnyCaseFindsInstallationWithoutOption) {
    Installation inst("stop_e2e_ownpath");
    ASSERT_TRUE(qvtest::writeFile(inst.stampPath(), kOldStamp));
    const auto exe = stoptest::copyToolTo(inst.folder() + "\\APLICACAO\\Infra\\TOMCAT\\bin");
    ASSERT_TRUE(exe.has_value());
    FakeJava java;
    ASSERT_TRUE(java.start(inst.javaBin() + "\\java.exe", inst.folder()));
    ASSERT_TRUE(inst.writeServerXmlFor(java.port()));

    qvtest::ChildProcess stop;
    ASSERT_TRUE(stoptest::startTool(stop, *exe, ""));
    const qvtest::MessageBoxSeen box = qvtest::waitForMessageBox(kCaption, kToolEndMs);
    ASSERT_NE(nullptr, box.hwnd) << "no message box: the Java process was not found from the own path";
    EXPECT_EQ(kStoppedText, box.text);
    qvtest::dismissMessageBox(box.hwnd);
    DWORD code = 12345;
    ASSERT_TRUE(stop.wait(kToolEndMs, &code));
    EXPECT_EQ(0u, code) << "exit code";
    EXPECT_EQ(kWord, java.waitForRecord(0).value_or("<nothing received>"));
    EXPECT_EQ(25u, stampOf(inst.stampPath()).size()) << "stamp: " << stampOf(inst.stampPath());
}

TEST_F(StopTool, OutsideToolFolderWithoutOptionDoesNothing) {
    Installation inst("stop_e2e_outside");
    ASSERT_TRUE(qvtest::writeFile(inst.stampPath(), kOldStamp));
    LoopbackListener server;
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(inst.writeServerXmlFor(server.port()));
    // Below the application folder, but not in infra\tomcat\bin.
    const auto exe = stoptest::copyToolTo(inst.applicationFolder() + "\\infra\\tomcat");
    ASSERT_TRUE(exe.has_value());

    runToEnd(*exe, "");
    runToEnd(tool(), ""); // the build folder
    EXPECT_FALSE(server.connectionPending()) << "the tool connected to the shutdown port";
    EXPECT_EQ(kOldStamp, stampOf(inst.stampPath())) << "the stamp file was touched";
}

TEST_F(StopTool, OptionWinsOverOwnPath) {
    Installation named("stop_e2e_named");
    Installation home("stop_e2e_home");
    ASSERT_TRUE(qvtest::writeFile(home.stampPath(), kOldStamp));
    LoopbackListener namedServer, homeServer;
    ASSERT_TRUE(namedServer.ok() && homeServer.ok());
    ASSERT_TRUE(named.writeServerXmlFor(namedServer.port()));
    ASSERT_TRUE(home.writeServerXmlFor(homeServer.port()));
    const auto exe = stoptest::copyToolTo(home.applicationFolder() + "\\infra\\tomcat\\bin");
    ASSERT_TRUE(exe.has_value());

    runToEnd(*exe, named.option());
    EXPECT_EQ(kWord, namedServer.receive(5000).value_or("<nothing received>"));
    EXPECT_FALSE(homeServer.connectionPending()) << "the tool used its own installation";
    EXPECT_EQ(kOldStamp, stampOf(home.stampPath())) << "own installation's stamp touched";
    EXPECT_EQ(25u, stampOf(named.stampPath()).size()) << "stamp: " << stampOf(named.stampPath());
}

TEST(StopToolResources, VersionInformation) {
    const std::string exe = qvtest::programPath("StopQuorvel.exe");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << exe;
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, &data[0]));

    struct LangCodePage {
        WORD language, codePage;
    } *translation = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&translation), &len));
    ASSERT_GE(len, sizeof *translation);
    EXPECT_EQ(0x0416, translation->language);
    EXPECT_EQ(1252, translation->codePage);

    const struct {
        const char *name, *expected;
    } values[] = {
        {"FileDescription", "Quorvel - Encerrar (Windows 98/ME)"},
        {"InternalName", "Quorvel - Encerrar (Windows 98/ME)"},
        {"Comments", "Encerra o Quorvel em m\xE1quinas Windows 98/ME"}, // code page 1252 a-acute
        {"ProductName", "Quorvel"},
        {"FileVersion", "1, 0, 0, 0"},
        {"ProductVersion", "1,0,0,0"},
    };
    for (const auto &v : values) {
        char *text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\041604e4\\") + v.name;
        if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void **>(&text), &len) || !text) {
            ADD_FAILURE() << "no " << v.name;
            continue;
        }
        EXPECT_EQ(v.expected, std::string(text)) << v.name;
    }
}

TEST(StopToolResources, IconIn16And32Pixels) {
    HMODULE exe =
        LoadLibraryExA(qvtest::programPath("StopQuorvel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    bool seen16 = false, seen32 = false;
    // The first icon group is the one Explorer shows.
    HRSRC found = nullptr;
    EnumResourceNamesA(
        exe, RT_GROUP_ICON,
        [](HMODULE m, LPCSTR type, LPSTR name, LONG_PTR param) CALLBACK -> BOOL {
            *reinterpret_cast<HRSRC *>(param) = FindResourceA(m, name, type);
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    ASSERT_NE(nullptr, found) << "no icon group";
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(exe, found)));
    ASSERT_NE(nullptr, group);
    const WORD count = *reinterpret_cast<const WORD *>(group + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE *entry = group + 6 + 14 * i; // GRPICONDIRENTRY, packed
        seen16 |= entry[0] == 16 && entry[1] == 16;
        seen32 |= entry[0] == 32 && entry[1] == 32;
    }
    EXPECT_TRUE(seen16) << count << " images, none 16x16";
    EXPECT_TRUE(seen32) << count << " images, none 32x32";
    FreeLibrary(exe);
}
