// Service parameters against Wine's real registry at the real key path.
#include "ParameterReader.h"
#include "Parameters.h"
#include "ParametersRegistry.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

using qvtest::ScratchKey;
using Strings = std::vector<std::string>;

namespace {

constexpr const char *kKey = "SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters";

void writeFullTree(ScratchKey &k) {
    k.setText("Java", "JavaHome", "C:\\QUORVEL\\java");
    k.setText("Java", "Jvm", "C:/QUORVEL/java/jre/bin/client/jvm.dll");
    k.setList("Java", "Options", {"-Dfile.encoding=Cp1252", "-Xverify:none"});
    k.setText("Java", "Classpath", "C:\\QUORVEL\\lib\\boot.jar");
    k.setNumber("Java", "JvmMs", 32);
    k.setNumber("Java", "JvmMx", 256);
    k.setNumber("Java", "JvmSs", 512);
    k.setText("Log", "Path", "C:\\QUORVEL\\logs");
    k.setText("Log", "StdError", "C:\\QUORVEL\\logs\\err.log");
    k.setText("Log", "StdOutput", "C:\\QUORVEL\\logs\\out.log");
    k.setText("Log", "Level", "3");
    k.setText("Start", "Class", "halvane.nerel.Start");
    k.setList("Start", "Params", {"start", "-port", "8080"});
    k.setText("Start", "Mode", "jvm");
    k.setText("Stop", "Class", "halvane.nerel.Stop");
    k.setList("Stop", "Params", {"stop"});
    k.setText("Stop", "Mode", "jvm");
    k.setNumber("Stop", "Timeout", 30);
    k.setText("Site", "URL", "http://localhost:8080/quorvel");
}

HKEY openForRead(const std::string &path) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
    return key;
}

} // namespace

TEST(ParametersLoad, NoKeyAtAllLeavesEverythingEmptyAndZero) {
    ScratchKey k(kKey); // removed before and after
    Parameters p;
    p.java.jvmMs = p.java.jvmMx = p.java.jvmSs = p.stopTimeout = -7; // sentinels
    p.siteUrl = "sentinel";
    p.java.options = {"sentinel"};
    p.load();
    EXPECT_EQ("", p.java.javaHome);
    EXPECT_EQ("", p.java.jvm);
    EXPECT_EQ(Strings{}, p.java.options);
    EXPECT_EQ("", p.java.classpath);
    EXPECT_EQ(0, p.java.jvmMs);
    EXPECT_EQ(0, p.java.jvmMx);
    EXPECT_EQ(0, p.java.jvmSs);
    EXPECT_EQ(0, p.stopTimeout);
    EXPECT_EQ("", p.log.level);
    EXPECT_EQ(Strings{}, p.start.params);
    EXPECT_EQ(Strings{}, p.stop.params);
    EXPECT_EQ("", p.siteUrl);
}

TEST(ParametersLoad, ReadsEveryGroupAndOnlyTheMissingLogStaysEmpty) {
    ScratchKey k(kKey);
    writeFullTree(k);
    Parameters p;
    p.load();
    EXPECT_EQ("C:\\QUORVEL\\java", p.java.javaHome);
    EXPECT_EQ("C:/QUORVEL/java/jre/bin/client/jvm.dll", p.java.jvm);
    EXPECT_EQ((Strings{"-Dfile.encoding=Cp1252", "-Xverify:none"}), p.java.options);
    EXPECT_EQ(32, p.java.jvmMs);
    EXPECT_EQ(256, p.java.jvmMx);
    EXPECT_EQ(512, p.java.jvmSs);
    EXPECT_EQ("3", p.log.level);
    EXPECT_EQ("C:\\QUORVEL\\logs\\out.log", p.log.stdOutput);
    EXPECT_EQ("halvane.nerel.Start", p.start.className);
    EXPECT_EQ((Strings{"start", "-port", "8080"}), p.start.params);
    EXPECT_EQ("jvm", p.stop.mode);
    EXPECT_EQ(30, p.stopTimeout);
    EXPECT_EQ("http://localhost:8080/quorvel", p.siteUrl);

    qvtest::deleteRegistryTree(HKEY_LOCAL_MACHINE, std::string(kKey) + "\\Log");
    Parameters q;
    q.load();
    EXPECT_EQ("", q.log.path);
    EXPECT_EQ("", q.log.stdError);
    EXPECT_EQ("", q.log.stdOutput);
    EXPECT_EQ("", q.log.level);
    EXPECT_EQ(p.java.options, q.java.options);
    EXPECT_EQ(p.start.params, q.start.params);
    EXPECT_EQ(p.siteUrl, q.siteUrl);
}

TEST(ParametersLoad, ListsEmptyFirstStringAndAbsentParams) {
    ScratchKey k(kKey);
    const char emptyFirst[] = "\0-Xint\0-Dx=1\0\0";
    k.setRaw("Java", "Options", REG_MULTI_SZ, emptyFirst, sizeof emptyFirst - 1);
    k.setText("Start", "Class", "a.B");
    Parameters p;
    p.load();
    EXPECT_EQ(Strings{}, p.java.options);
    EXPECT_EQ("a.B", p.start.className);
    EXPECT_EQ(Strings{}, p.start.params);
}

TEST(ParametersLoad, ReadersStayWithinTheReturnedBytes) {
    ScratchKey k(kKey);
    // A multi-string without its closing empty string, the last string without its NUL.
    const char open[] = {'-', 'X', 'i', 'n', 't', '\0', '-', 'D', 'a', '=', '1'};
    k.setRaw("Java", "Options", REG_MULTI_SZ, open, sizeof open);
    // A text whose data fills the whole 10240-byte buffer, with and without its NUL.
    std::string full(10239, 'f');
    k.setText("Java", "Classpath", full);
    std::string big(10240, 'k');
    k.setRaw("Java", "JvmMs", REG_SZ, big.data(), static_cast<DWORD>(big.size()));
    // One byte more than the buffer: the query fails and the value reads as missing.
    std::string tooBig(10241, 'k');
    k.setRaw("Java", "JavaHome", REG_SZ, tooBig.data(), static_cast<DWORD>(tooBig.size()));
    // A number stored as text is not checked by type: only its first 4 bytes could fit.
    k.setText("Java", "JvmMx", "not a number");

    HKEY java = openForRead(std::string(kKey) + "\\Java");
    ASSERT_NE(nullptr, java);
    Strings options = readList(java, "Options");
    ASSERT_GE(options.size(), 1u);
    EXPECT_EQ("-Xint", options[0]);
    if (options.size() > 1) {
        EXPECT_EQ("-Da=1", options[1]);
    }
    EXPECT_LE(options.size(), 2u);
    std::string classpath = readText(java, "Classpath");
    EXPECT_EQ(full, classpath) << "length " << classpath.size();
    // Wine's "A" query needs room for a NUL it adds and refuses; a system that returns the
    // 10240 bytes as stored must still give at most 10239 characters and nothing beyond.
    std::string noNul = readText(java, "JvmMs");
    EXPECT_TRUE(noNul.empty() || noNul == std::string(10239, 'k')) << "length " << noNul.size();
    EXPECT_EQ("", readText(java, "JavaHome"));
    EXPECT_EQ(0, readNumber(java, "JvmMx"));
    EXPECT_EQ(0, readNumber(java, "Missing"));
    EXPECT_EQ("", readText(nullptr, "Classpath"));
    RegCloseKey(java);
}

TEST(ParameterReader, CreatesAMissingSubkeyEmpty) {
    ScratchKey k(kKey);
    ASSERT_FALSE(k.subkeyExists("Site"));
    ParameterReader reader;
    EXPECT_EQ("", reader.readValue("Site", "INSTDIR83"));
    EXPECT_TRUE(k.subkeyExists("Site"));
    // Also with no key on the path at all.
    qvtest::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvane");
    EXPECT_EQ("", reader.readValue("Java", "Jvm"));
    EXPECT_TRUE(k.subkeyExists("Java"));
    qvtest::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvane");
}

TEST(ParameterReader, AcceptsTextAndMultiStringOnly) {
    ScratchKey k(kKey);
    k.setText("Site", "INSTDIR83", "C:\\QUORV~1");
    k.setList("Java", "Jvm", {"C:\\first.dll", "C:\\second.dll"});
    k.setNumber("Java", "JavaHome", 7);
    ParameterReader reader;
    EXPECT_EQ("C:\\QUORV~1", reader.readValue("Site", "INSTDIR83"));
    EXPECT_EQ("C:\\first.dll", reader.readValue("Java", "Jvm"));
    EXPECT_EQ("", reader.readValue("Java", "JavaHome"));
    EXPECT_EQ("", reader.readValue("Java", "Missing"));
}

TEST(ParameterReader, LengthLimitsAndDataWithoutNul) {
    ScratchKey k(kKey);
    std::string t253(253, 'a'), t254(254, 'b');
    k.setText("Site", "T253", t253);
    k.setText("Site", "T254", t254);
    // 254 bytes of text without a NUL: exactly what the buffer holds, nothing beyond is read.
    std::string raw(254, 'c');
    k.setRaw("Site", "Raw254", REG_SZ, raw.data(), static_cast<DWORD>(raw.size()));
    std::string shortRaw = "xyz";
    k.setRaw("Site", "Raw3", REG_SZ, shortRaw.data(), 3);
    ParameterReader reader;
    EXPECT_EQ(t253, reader.readValue("Site", "T253"));
    EXPECT_EQ("", reader.readValue("Site", "T254"));
    std::string got = reader.readValue("Site", "Raw254");
    EXPECT_TRUE(got.empty() || got == std::string(253, 'c')) << "got " << got.size() << " characters";
    EXPECT_EQ("xyz", reader.readValue("Site", "Raw3"));
}
