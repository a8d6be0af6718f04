// The debug trace: printf-style, "\r\n" appended, never more than 20479 characters.
#include "DebugTrace.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_seen;
int g_calls = 0;
void record(const char *text) {
    g_seen = text;
    ++g_calls;
}

class DebugTraceOut : public ::testing::Test {
  protected:
    void SetUp() override {
        g_seen = "sentinel";
        g_calls = 0;
        setDebugTraceSink(&record);
    }
    void TearDown() override { setDebugTraceSink(nullptr); }
};

TEST_F(DebugTraceOut, FormatsAndAppendsCrLf) {
    debugTrace("status: %d", -3);
    EXPECT_EQ(1, g_calls);
    EXPECT_EQ("status: -3\r\n", g_seen);
}

TEST_F(DebugTraceOut, TextsWithAccentsPassUnchanged) {
    debugTrace("Op\xE7\xE3o: %s", "-Xmx64m");
    EXPECT_EQ("Op\xE7\xE3o: -Xmx64m\r\n", g_seen);
}

TEST_F(DebugTraceOut, LongMessagesAreCutAt20479Characters) {
    struct Case {
        std::size_t length;
        std::string tail;
    };
    // Room for both, for one, for none of the two line-end characters.
    for (const Case &c : {Case{20477, "x\r\n"}, Case{20478, "x\r"}, Case{20479, "xx"}, Case{30000, "xx"}}) {
        std::string message(c.length, 'x');
        debugTrace("%s", message.c_str());
        std::size_t expectedLength = std::min<std::size_t>(c.length + 2, 20479);
        EXPECT_EQ(expectedLength, g_seen.size()) << "message of " << c.length;
        EXPECT_EQ(c.tail, g_seen.substr(g_seen.size() - c.tail.size())) << "message of " << c.length;
    }
}

} // namespace
