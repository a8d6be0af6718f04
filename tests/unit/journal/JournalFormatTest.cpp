// The journal line reader: every reading rule, both line ends, and hostile input.
#include "JournalFormat.h"
#include "JournalRecords.h"

#include <gtest/gtest.h>

namespace {

using qvjournal::record;

std::string describe(const JournalRecord &r) {
    return std::to_string(r.operation) + "/" + std::to_string(r.entryType) + "/" + r.folder + "/" + r.name;
}

// The message raised for `content`, or "(none)".
std::string raised(const std::string &content) {
    try {
        parseJournalText(content);
    } catch (const JournalError &e) {
        return e.what();
    }
    return "(none)";
}

} // namespace

TEST(JournalLine, ReadsTheFourFieldsOfACrLfLine) {
    const auto records = parseJournalText("2||1||C:\\APP\\site\\WEB-INF\\lib||x.jar||\r\n");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(describe(record(2, 1, "C:\\APP\\site\\WEB-INF\\lib", "x.jar")), describe(records[0]));
}

TEST(JournalLine, LfAndCrLfEndLinesAlikeAndALastLineNeedsNoLineEnd) {
    const auto records = parseJournalText("1||1||C:\\a||one||\n2||1||C:\\b||two||\r\n3||2||C:\\c||three||");
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ("1/1/C:\\a/one", describe(records[0]));
    EXPECT_EQ("2/1/C:\\b/two", describe(records[1]));
    EXPECT_EQ("3/2/C:\\c/three", describe(records[2]));
}

TEST(JournalLine, EmptyContentGivesNoRecord) {
    EXPECT_TRUE(parseJournalText("").empty());
}

TEST(JournalLine, InvalidLinesRaiseTheSameMessage) {
    const std::string message = "Erro, registro journal inválido.";
    const std::pair<const char *, std::string> cases[] = {
        {"last separator missing", "2||1||C:\\APP||x.jar\r\n"},
        {"begins with separator", "||2||1||C:\\APP||x.jar||\r\n"},
        {"empty line in the middle", "1||1||C:\\a||a||\r\n\r\n1||1||C:\\b||b||\r\n"},
        {"lone LF line at the end", "1||1||C:\\a||a||\n\n"},
        {"no separator at all", "just text\r\n"},
        {"empty third field", "2||1||||x.jar||\r\n"},
        {"empty fourth field", "2||1||C:\\a||||\r\n"},
        {"only three fields", "2||1||C:\\a||\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(message, raised(c.second)) << c.first;
}

TEST(JournalLine, AnInvalidLineAfterValidOnesDiscardsThemAll) {
    EXPECT_EQ("Erro, registro journal inválido.",
              raised("1||1||C:\\a||a||\r\n1||1||C:\\b||b||\r\nbroken\r\n"));
}

TEST(JournalLine, AnythingAfterTheFourthSeparatorIsIgnored) {
    const auto records = parseJournalText("1||1||C:\\a||a||fifth||\r\n1||1||C:\\b||b||trailing text\r\n"
                                          "1||1||C:\\c||c||||more\r\n");
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ("1/1/C:\\a/a", describe(records[0]));
    EXPECT_EQ("1/1/C:\\b/b", describe(records[1]));
    EXPECT_EQ("1/1/C:\\c/c", describe(records[2]));
}

TEST(JournalLine, NumbersConvertLikeAtoi) {
    const std::pair<const char *, int> cases[] = {
        {"abc", 0},
        {"  7", 7},
        {"-3", -3},
        {"+12x", 12},
        {"\t 3 4", 3},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
        {"-", 0},
    };
    for (const auto &c : cases) {
        const auto r = parseJournalLine(std::string(c.first) + "||x||C:\\a||n||");
        ASSERT_TRUE(r.has_value()) << c.first;
        EXPECT_EQ(c.second, r->operation) << "operation written as '" << c.first << "'";
        EXPECT_EQ(0, r->entryType) << "entry type written as letters";
    }
}

TEST(JournalLine, FormatsTheLineThatReadsBack) {
    const JournalRecord r = record(-5, 2, "C:\\APP\\web", "ç ã.txt");
    EXPECT_EQ("-5||2||C:\\APP\\web||ç ã.txt||\r\n", formatJournalLine(r));
    const auto back = parseJournalText(formatJournalLine(r) + formatJournalLine(record(3, 1, "D:\\x", "y")));
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ(describe(r), describe(back[0]));
    EXPECT_EQ("3/1/D:\\x/y", describe(back[1]));
}

TEST(JournalLine, AMegabyteLineWithoutSeparatorsIsInvalid) {
    EXPECT_EQ("Erro, registro journal inválido.", raised(std::string(1 << 20, 'A') + "\r\n"));
}

TEST(JournalLine, AMegabyteNameIsKeptWhole) {
    const std::string name(1 << 20, 'n');
    const auto records = parseJournalText("2||1||C:\\a||" + name + "||\r\n");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(name.size(), records[0].name.size());
    EXPECT_EQ(name, records[0].name);
}

TEST(JournalLine, BinaryBytesStayInTheFieldsOrMakeTheLineInvalid) {
    const std::string folder("C:\\\x01\x00\x1a\xff", 7);
    const auto records = parseJournalText("1||1||" + folder + "||n\x1a||\r\n");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(folder, records[0].folder); // NUL and Ctrl-Z neither cut the field nor end the file
    EXPECT_EQ("n\x1a", records[0].name);

    std::string garbage;
    for (int i = 0; i < 256; ++i)
        garbage += static_cast<char>(i);
    EXPECT_EQ("Erro, registro journal inválido.", raised(garbage));
}
