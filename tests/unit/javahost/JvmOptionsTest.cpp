#include "JvmOptions.h"
#include "JavaExitHooks.h"
#include "JvmCalls.h"
#include "RuntimeWords.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

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

    // The hooks before every option, in the order added: the runtime reads its options in
    // order, and one it refuses before reaching the hook is told on its own standard error.
    JvmInitArgs args({"-Xmx0m", "-Dx=y"});
    args.addHook("vfprintf", reinterpret_cast<void *>(&runtimeWords::vfprintfHook));
    args.addHook("abort", nullptr);
    ASSERT_EQ(4, args.get()->nOptions);
    std::vector<std::string> order;
    for (int i = 0; i < args.get()->nOptions; ++i)
        order.push_back(args.get()->options[i].optionString);
    EXPECT_EQ((std::vector<std::string>{"vfprintf", "abort", "-Xmx0m", "-Dx=y"}), order);
    EXPECT_EQ(reinterpret_cast<void *>(&runtimeWords::vfprintfHook), args.get()->options[0].extraInfo);
    EXPECT_EQ(nullptr, args.get()->options[2].extraInfo);
    EXPECT_EQ((std::vector<std::string>{"-Xmx0m", "-Dx=y"}), args.options());
}

// Named after the process that began the test: a death test's child runs it again from its
// start and writes where its parent reads.
std::string scratchFile(const char *name) {
    if (!std::getenv("QV_TEST_WORDS_PID"))
        setenv("QV_TEST_WORDS_PID", std::to_string(getpid()).c_str(), 1);
    const std::string path = (std::filesystem::temp_directory_path() /
                              (std::string("qv-words-") + std::getenv("QV_TEST_WORDS_PID") + "-" + name))
                                 .string();
    std::remove(path.c_str());
    return path;
}

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Threads of the runtime (collector, JNI warnings) and the manager's stamped lines at once, a
// line of several thousand characters and one longer than any buffer: each line lands whole,
// once, on a line of its own, ended by CR LF.
TEST(RuntimeWords, EveryLineWholeAndOnceFromManyThreads) {
    const std::string path = scratchFile("threads.log");
    runtimeWords::setFile(path);
    constexpr int kThreads = 4, kLines = 2000, kStamped = 200;
    const std::string wide(5000, 'w');
    const std::string tooLong(40000, 'z');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                say("thread %d line %04d\n", t, i);
        });
    threads.emplace_back([] {
        for (int i = 0; i < kStamped; ++i)
            runtimeWords::appendStamped(("stamped " + std::to_string(i)).c_str());
    });
    say("wide %s\n", wide.c_str());
    say("long %s\n", tooLong.c_str());
    for (auto &t : threads)
        t.join();
    runtimeWords::setFile("");

    const std::string text = readAll(path);
    std::map<std::string, int> seen;
    std::size_t bare = 0, from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
        std::string line = text.substr(from, at - from);
        bare += static_cast<std::size_t>(std::count(line.begin(), line.end(), '\n'));
        const std::size_t stamp = line.find("] stamped ");
        if (line[0] == '[' && stamp != std::string::npos)
            line = line.substr(stamp + 2);
        ++seen[line];
    }
    EXPECT_EQ(text.size(), from) << "the file ends with a line's CR LF";
    EXPECT_EQ(0u, bare) << "line feeds without a carriage return";
    int missing = 0, twice = 0;
    std::string firstWrong;
    auto expect = [&](const std::string &line) {
        auto it = seen.find(line);
        const int n = it == seen.end() ? 0 : it->second;
        missing += n == 0;
        twice += n > 1;
        if (n != 1 && firstWrong.empty())
            firstWrong = line + " seen " + std::to_string(n) + " times";
        if (it != seen.end())
            seen.erase(it);
    };
    char line[64];
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i) {
            std::snprintf(line, sizeof line, "thread %d line %04d", t, i);
            expect(line);
        }
    for (int i = 0; i < kStamped; ++i)
        expect("stamped " + std::to_string(i));
    expect("wide " + wide);
    EXPECT_EQ(0, missing) << "lines missing, first: " << firstWrong;
    EXPECT_EQ(0, twice) << "lines written twice, first: " << firstWrong;
    // The longest line is cut, marked, and still ends its line.
    ASSERT_EQ(1u, seen.size()) << "got " << seen.size() << " lines nobody wrote, first: "
                               << (seen.empty() ? "" : seen.begin()->first.substr(0, 80));
    const std::string cut = seen.begin()->first;
    EXPECT_EQ(0u, cut.find("long zzzz")) << cut.substr(0, 80);
    EXPECT_EQ(" [...]", cut.substr(cut.size() - 6)) << "got ..." << cut.substr(cut.size() - 20);
    EXPECT_GE(cut.size(), 16000u) << "cut at " << cut.size();
    std::remove(path.c_str());
}

// Lines written by the exit hooks, counted.
std::size_t countIn(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A fault inside an end hook reaches the runtime's error handler, which calls the abort hook
// again; an end on another thread during the creation is no refusal of it. The death tests'
// children end the process; this one reads what they left.
TEST(JavaExitHooks, EachEndToldOnceAndTheRefusalOnlyOnTheCreatingThread) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    char exitLine[128];
    std::snprintf(exitLine, sizeof exitLine, javaExit::kExitLine, 5);

    const std::string reentered = scratchFile("reentered.log");
    EXPECT_EXIT(
        {
            runtimeWords::setFile(reentered);
            // The refusal's box faults, and the runtime answers with its abort hook.
            javaExit::setWindowSide({nullptr, [](const char *) { javaExit::abortHook(); }});
            javaExit::setCreating(true);
            javaExit::exitHook(5);
        },
        ::testing::ExitedWithCode(5), "");
    std::string text = readAll(reentered);
    EXPECT_EQ(1u, countIn(text, exitLine)) << text;
    EXPECT_EQ(0u, countIn(text, javaExit::kFatalLine)) << text;
    EXPECT_EQ(1u, countIn(text, javaExit::kCreateRefused)) << text;

    const std::string elsewhere = scratchFile("elsewhere.log");
    EXPECT_EXIT(
        {
            runtimeWords::setFile(elsewhere);
            javaExit::setWindowSide(
                {nullptr, [](const char *) { runtimeWords::appendStamped("box shown"); }});
            javaExit::setCreating(true);
            std::thread([] { javaExit::abortHook(); }).join();
        },
        ::testing::ExitedWithCode(javaExit::kFatalExitCode), "");
    text = readAll(elsewhere);
    EXPECT_EQ(1u, countIn(text, javaExit::kFatalLine)) << text;
    EXPECT_EQ(0u, countIn(text, "box shown")) << text;
    EXPECT_EQ(0u, countIn(text, javaExit::kCreateRefused)) << text;
    std::remove(reentered.c_str());
    std::remove(elsewhere.c_str());
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
