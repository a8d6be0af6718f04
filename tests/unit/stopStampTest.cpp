// The stop stamp line and its file.
#include "StopStamp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using qvstop::formatStopStamp;
using qvstop::StampTime;

namespace {

StampTime stampTime(int year, int month, int day, int hour, int minute, int second, int ms) {
    StampTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.milliseconds = ms;
    return t;
}

std::string readAll(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class StopStampFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qvstop_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

} // namespace

TEST(StopStampLine, DayMonthYearTimeAndMilliseconds) {
    EXPECT_EQ("06/12/2026 22:05:09.042\n", formatStopStamp(stampTime(2026, 12, 6, 22, 5, 9, 42)));
    EXPECT_EQ("31/01/1999 23:59:59.999\n", formatStopStamp(stampTime(1999, 1, 31, 23, 59, 59, 999)));
}

TEST(StopStampLine, EveryFieldZeroPadded) {
    EXPECT_EQ("01/02/0007 00:03:04.005\n", formatStopStamp(stampTime(7, 2, 1, 0, 3, 4, 5)));
    EXPECT_EQ("00/00/0000 00:00:00.000\n", formatStopStamp(StampTime()));
}

TEST_F(StopStampFile, ReplacesOldContentWithOneLine) {
    const fs::path file = dir_ / "nerel2.properties";
    std::ofstream(file) << "#HSQL Database Engine\nversion=1.7.1\nmodified=yes\n";
    ASSERT_TRUE(qvstop::writeStopStampFile(file.string(), stampTime(2026, 12, 6, 22, 5, 9, 42)));
    EXPECT_EQ("06/12/2026 22:05:09.042\n", readAll(file));
}

TEST_F(StopStampFile, CreatesMissingFile) {
    const fs::path file = dir_ / "nerel2.properties";
    ASSERT_TRUE(qvstop::writeStopStampFile(file.string(), stampTime(2001, 9, 8, 7, 6, 5, 4)));
    EXPECT_EQ("08/09/2001 07:06:05.004\n", readAll(file));
}

TEST_F(StopStampFile, MissingFolderIsSkippedAndNotCreated) {
    const fs::path folder = dir_ / "db";
    EXPECT_FALSE(qvstop::writeStopStampFile((folder / "nerel2.properties").string(), StampTime()));
    EXPECT_FALSE(fs::exists(folder)) << "the stamp must not create its folder";
}
