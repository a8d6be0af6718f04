#include "JvmOptions.h"
#include "JvmCalls.h"
#include "RuntimeWords.h"

#include <cstdarg>

#include <gtest/gtest.h>

namespace {

JavaParameters sampleJava() {
    JavaParameters java;
    java.classpath = "C:\\app\\classes;C:\\app\\lib\\x.jar";
    java.jvmMx = 256;
    java.jvmMs = 32;
    java.jvmSs = 512;
    java.options = {"-Dinstall.dir=C:\\app", "-Xoss400K"};
    return java;
}

TEST(JvmOptions, FullListInOrderWithOptionsLast) {
    std::vector<std::string> expected = {"-Djava.class.path=C:\\app\\classes;C:\\app\\lib\\x.jar",
                                         "-verbose:all",
                                         "-Xmx256m",
                                         "-Xms32m",
                                         "-Xss512k",
                                         "-Dinstall.dir=C:\\app",
                                         "-Xoss400K"};
    EXPECT_EQ(expected, buildJvmOptions(sampleJava(), "3"));
}

TEST(JvmOptions, VerboseOnlyForALevelAboveTwo) {
    auto hasVerbose = [](const std::string &level) {
        auto o = buildJvmOptions(sampleJava(), level);
        return std::find(o.begin(), o.end(), "-verbose:all") != o.end();
    };
    EXPECT_TRUE(hasVerbose("3"));
    EXPECT_TRUE(hasVerbose("  +10"));
    EXPECT_TRUE(hasVerbose("4abc"));
    EXPECT_FALSE(hasVerbose("2"));
    EXPECT_FALSE(hasVerbose(""));
    EXPECT_FALSE(hasVerbose("abc3"));
    EXPECT_FALSE(hasVerbose("-5"));
    EXPECT_FALSE(hasVerbose(std::string(1, '\x02'))); // the launchers' one-character level
}

TEST(JvmOptions, ZeroHeapValuesStillPassedAndStackLeftOutUnlessPositive) {
    JavaParameters java; // all empty and 0
    std::vector<std::string> expected = {"-Djava.class.path=", "-Xmx0m", "-Xms0m"};
    EXPECT_EQ(expected, buildJvmOptions(java, ""));
    java.jvmSs = -1;
    EXPECT_EQ(expected, buildJvmOptions(java, ""));
}

TEST(JvmOptions, InitArgsCarryVersionCountAndPrivateCopies) {
    std::vector<std::string> options = {"-Xmx64m", "-Dx=y"};
    JvmInitArgs args(options);
    JavaVMInitArgs *a = args.get();
    EXPECT_EQ(JNI_VERSION_1_4, a->version);
    EXPECT_EQ(JNI_TRUE, a->ignoreUnrecognized);
    ASSERT_EQ(2, a->nOptions);
    EXPECT_STREQ("-Xmx64m", a->options[0].optionString);
    EXPECT_STREQ("-Dx=y", a->options[1].optionString);
    EXPECT_EQ(nullptr, a->options[1].extraInfo);
    EXPECT_NE(options[0].c_str(), a->options[0].optionString);
}

jint say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    jint n = runtimeWords::vfprintfHook(stderr, format, args);
    va_end(args);
    return n;
}

// The words the runtime writes in pieces, blank lines and all: what a refusal's message shows.
TEST(RuntimeWords, LastLinesOfTheAttemptInViewThroughTheRing) {
    runtimeWords::setFile(""); // kept in memory only
    runtimeWords::beginAttempt();
    EXPECT_EQ(7, say("%s %d", "first", 1));
    say("\n\r\n  \nsecond\r\nthird ");
    say("\n");
    EXPECT_EQ("first 1\nsecond\nthird ", runtimeWords::lastLines(10));
    EXPECT_EQ("third ", runtimeWords::lastLines(1));

    runtimeWords::beginAttempt(); // an attempt that says nothing keeps the one before in view
    EXPECT_EQ("second\nthird ", runtimeWords::lastLines(2));
    runtimeWords::beginAttempt();
    for (int i = 0; i < 400; ++i) // past the ring's 4 KB
        say("line %03d of the next attempt\n", i);
    EXPECT_EQ("line 398 of the next attempt\nline 399 of the next attempt", runtimeWords::lastLines(2));
    const std::string ten = runtimeWords::lastLines(10);
    EXPECT_EQ(0u, ten.find("line 390 ")) << ten;
    char small[12];
    runtimeWords::lastLines(2, small, sizeof small);
    EXPECT_STREQ("line 398 of", small) << "cut to the buffer, terminated";

    JvmInitArgs args({"-Xmx64m"});
    args.addHook("vfprintf", reinterpret_cast<void *>(&runtimeWords::vfprintfHook));
    ASSERT_EQ(2, args.get()->nOptions);
    EXPECT_STREQ("vfprintf", args.get()->options[1].optionString);
    EXPECT_EQ(reinterpret_cast<void *>(&runtimeWords::vfprintfHook), args.get()->options[1].extraInfo);
    EXPECT_EQ(std::vector<std::string>{"-Xmx64m"}, args.options());
}

TEST(JvmCallsText, ClassNamesAndCodePageConversion) {
    EXPECT_EQ("halvane/nerel/commonLib/startup/StartQuorvel",
              jniClassName("halvane.nerel.commonLib.startup.StartQuorvel"));
    EXPECT_EQ("a/b/C", jniClassName("a/b.C"));
    EXPECT_EQ("plain ASCII", toModifiedUtf8("plain ASCII"));
    EXPECT_EQ("\xC3\xA7\xC3\xA3", toModifiedUtf8("\xE7\xE3")); // çã
    EXPECT_EQ("\xE2\x82\xAC", toModifiedUtf8("\x80"));         // euro sign
    EXPECT_EQ("\xC2\x81", toModifiedUtf8("\x81"));             // undefined in 1252: kept as U+0081
    EXPECT_EQ("\xC3\xBF", toModifiedUtf8("\xFF"));
}

} // namespace
