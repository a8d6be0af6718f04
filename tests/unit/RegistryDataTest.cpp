#include "RegistryData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

TEST(RegistryData, TextEndsAtFirstNulOrAtTheReturnedSize) {
    const char withNul[] = "abc\0def";
    EXPECT_EQ("abc", textFromRegistryData(withNul, sizeof withNul));
    // No NUL within the returned bytes: nothing beyond them is read.
    const char noNul[] = {'x', 'y', 'z', 'P', 'Q'};
    EXPECT_EQ("xyz", textFromRegistryData(noNul, 3));
    EXPECT_EQ("", textFromRegistryData(noNul, 0));
    EXPECT_EQ("", textFromRegistryData(nullptr, 10));
}

TEST(RegistryData, ListStopsAtFirstEmptyStringOrEndOfData) {
    const char two[] = "-Dx=1\0-Dy=2\0\0";
    EXPECT_EQ((Strings{"-Dx=1", "-Dy=2"}), listFromRegistryData(two, sizeof two - 1));
    const char emptyFirst[] = "\0late\0\0";
    EXPECT_EQ(Strings{}, listFromRegistryData(emptyFirst, sizeof emptyFirst - 1));
    // Without its closing empty string, and the last string without its NUL.
    const char unterminated[] = {'a', '\0', 'b', 'c', 'X', 'X'};
    EXPECT_EQ((Strings{"a", "bc"}), listFromRegistryData(unterminated, 4));
}
