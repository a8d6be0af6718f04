// Reading the shutdown port and word from server.xml.
#include "ServerXml.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

using qvstop::parseServerLine;
using qvstop::portFromText;
using qvstop::readShutdownRequest;

namespace {

// A file with `text` as content, read as the tool reads server.xml.
std::optional<qvstop::ShutdownRequest> readFrom(const std::string &text) {
    std::FILE *f = std::tmpfile();
    if (!f) {
        ADD_FAILURE() << "tmpfile failed";
        return std::nullopt;
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    auto result = readShutdownRequest(f);
    std::fclose(f);
    return result;
}

} // namespace

TEST(StopServerLine, NumericPortAndEightLetterWord) {
    const auto r = parseServerLine("<Server port=\"8005\" shutdown=\"SHUTDOWN\">\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(8005, r->port);
    EXPECT_EQ("SHUTDOWN", r->word);
}

TEST(StopServerLine, AttributesInAnyOrderAnywhereInLine) {
    const auto r =
        parseServerLine("  <!-- x --> shutdown=\"ENCERRAR\" debug=\"0\" port=\"18005\" <Server >\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(18005, r->port);
    EXPECT_EQ("ENCERRAR", r->word);
}

TEST(StopServerLine, AllThreeTokensNeededCaseSensitive) {
    EXPECT_FALSE(parseServerLine("<server port=\"8005\" shutdown=\"SHUTDOWN\">\n"));
    EXPECT_FALSE(parseServerLine("<Server Port=\"8005\" shutdown=\"SHUTDOWN\">\n"));
    EXPECT_FALSE(parseServerLine("<Server port=\"8005\" Shutdown=\"SHUTDOWN\">\n"));
    EXPECT_FALSE(parseServerLine("<Server port=8005 shutdown=\"SHUTDOWN\">\n"));
    EXPECT_FALSE(parseServerLine("<Server port=\"8005\">\n"));
    EXPECT_FALSE(parseServerLine("port=\"8005\" shutdown=\"SHUTDOWN\"\n"));
    EXPECT_FALSE(parseServerLine(""));
}

TEST(StopServerLine, FirstOccurrenceOfEachAttributeCounts) {
    // "port=\"" also matches inside a longer attribute name; the first occurrence wins.
    const auto r = parseServerLine("<Server xport=\"1\" port=\"8005\" shutdown=\"A\" shutdown=\"B\">\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(1, r->port);
    EXPECT_EQ("A", r->word);
}

TEST(StopServerLine, ValueWithoutClosingQuoteRunsToLineEnd) {
    auto r = parseServerLine("<Server port=\"8005\" shutdown=\"SHUT DOWN\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ("SHUT DOWN", r->word) << "the line end is not part of the word";
    r = parseServerLine("<Server shutdown=\"X\" port=\"8005");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(8005, r->port);
    EXPECT_EQ("X", r->word);
}

TEST(StopServerLine, EmptyValues) {
    const auto r = parseServerLine("<Server port=\"\" shutdown=\"\">\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(0, r->port);
    EXPECT_EQ("", r->word);
}

TEST(StopServerLine, PortReadLikeAtoi) {
    EXPECT_EQ(0, portFromText("abc"));
    EXPECT_EQ(0, portFromText("x8005"));
    EXPECT_EQ(8005, portFromText("8005abc"));
    EXPECT_EQ(8005, portFromText(" \t8005"));
    EXPECT_EQ(8005, portFromText("+8005"));
    EXPECT_EQ(-1, portFromText("-1"));
    EXPECT_EQ(0, portFromText("- 1"));
    // atoi's overflow is undefined; here it saturates.
    EXPECT_EQ(INT_MAX, portFromText("99999999999999999999999"));
    EXPECT_EQ(INT_MIN, portFromText("-99999999999999999999999"));
}

TEST(StopServerLine, OnlyPortsOneTo65535AreConnectable) {
    for (int port : {0, -1, 65536, 70000, INT_MAX, INT_MIN})
        EXPECT_FALSE(qvstop::isConnectablePort(port)) << port;
    for (int port : {1, 8005, 65535})
        EXPECT_TRUE(qvstop::isConnectablePort(port)) << port;
}

TEST(StopServerXml, PortAndShutdownOnSeparateLinesNeverQualify) {
    EXPECT_FALSE(readFrom(
        "<?xml version='1.0'?>\n<Server port=\"8005\"\n        shutdown=\"SHUTDOWN\">\n</Server>\n"));
}

TEST(StopServerXml, FirstQualifyingLineOnly) {
    const auto r = readFrom("<!-- <server port=\"1\" shutdown=\"no\"> -->\n"
                            "<Server port=\"abc\" shutdown=\"FIRST\">\n"
                            "<Server port=\"8005\" shutdown=\"SECOND\">\n");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(0, r->port);
    EXPECT_EQ("FIRST", r->word);
}

TEST(StopServerXml, LongLineIsJudgedInPartsOf1023) {
    // The tokens split across the 1023-character boundary: no part qualifies.
    std::string split = "<Server port=\"8005\"" + std::string(1023 - 19, ' ') + " shutdown=\"SHUTDOWN\">\n";
    EXPECT_FALSE(readFrom(split));
    // A part after the boundary qualifies on its own.
    std::string second = std::string(1023, ' ') + "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\n";
    auto r = readFrom(second);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(8005, r->port);
    // A value cut by the boundary runs to the end of its part.
    const std::string head = "<Server port=\"8005\" shutdown=\"";
    std::string cut = std::string(1023 - head.size() - 6, ' ') + head + "SHUTDOWN\">\n";
    r = readFrom(cut);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ("SHUTDO", r->word);
}

TEST(StopServerXml, MissingFileGivesNothing) {
    EXPECT_FALSE(readShutdownRequest(std::string("/nonexistent/qvstop/server.xml")));
}
