// The starting dialog's reaction to each status of the Java side, for both values of
// `started`, and the sequences a user sees.
#include "StatusTable.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

constexpr int U = StatusReaction::kUnchanged;

struct Row {
    int status;
    bool started;
    int position;
    int icon;
    bool startedAfter;
    bool announce;
    bool end;
};

void PrintTo(const Row &r, std::ostream *os) {
    *os << "status " << r.status << (r.started ? " started" : " not started");
}

class StatusTableRow : public ::testing::TestWithParam<Row> {};

TEST_P(StatusTableRow, ReactsAsTheTableSays) {
    const Row &row = GetParam();
    StatusReaction r = reactToStatus(row.status, row.started);
    EXPECT_EQ(row.position, r.position);
    EXPECT_EQ(row.icon, r.icon);
    EXPECT_EQ(row.startedAfter, r.started);
    EXPECT_EQ(row.announce, r.announce);
    EXPECT_EQ(row.end, r.end);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStatus, StatusTableRow,
    ::testing::Values(Row{0, false, 25, IDI_TRAY_STOPPED, false, false, false},
                      Row{0, true, 100, IDI_TRAY_STOPPED, true, false, false},
                      Row{1, false, 50, IDI_TRAY_STARTING, false, false, false},
                      Row{1, true, 100, IDI_TRAY_STARTING, true, false, false},
                      Row{2, false, 75, IDI_TRAY_STARTING, false, false, false},
                      Row{2, true, 100, IDI_TRAY_STARTING, false, false, false},
                      Row{3, false, 100, IDI_TRAY_STARTED, true, true, false},
                      Row{3, true, U, 0, true, false, false}, // a repeated 3 does nothing at all
                      Row{4, false, 100, IDI_TRAY_STARTED, false, false, false},
                      Row{4, true, 100, IDI_TRAY_STARTED, true, false, false},
                      Row{5, false, 50, IDI_TRAY_WAITING, false, false, false},
                      Row{5, true, 50, IDI_TRAY_WAITING, true, false, false},
                      Row{6, false, 100, IDI_TRAY_STOPPED, false, false, true},
                      Row{6, true, 100, IDI_TRAY_STOPPED, false, false, true},
                      Row{7, false, 100, IDI_TRAY_STOPPED, false, false, true},
                      Row{7, true, 100, IDI_TRAY_STOPPED, false, false, true},
                      Row{8, false, U, 0, false, false, false}, Row{8, true, U, 0, true, false, false},
                      Row{-1, false, U, 0, false, false, false}, Row{-1, true, U, 0, true, false, false},
                      Row{-2147483647 - 1, true, U, 0, true, false, false},
                      Row{2147483647, false, U, 0, false, false, false}));

// Replays statuses through the table as the dialog does and returns the bar positions.
std::vector<int> replay(std::initializer_list<int> statuses, bool &started, int &announcements) {
    std::vector<int> positions;
    int position = 0;
    for (int s : statuses) {
        StatusReaction r = reactToStatus(s, started);
        if (r.position != U)
            position = r.position;
        if (r.announce)
            ++announcements;
        started = r.started;
        positions.push_back(position);
    }
    return positions;
}

TEST(StatusTableSequence, StartIsAnnouncedOnceUntilWithdrawn) {
    bool started = false;
    int announcements = 0;
    std::vector<int> got = replay({0, 1, 2, 3, 3, 0, 1, 2, 1, 3}, started, announcements);
    std::vector<int> expected{25, 50, 75, 100, 100, 100, 100, 100, 50, 100};
    EXPECT_EQ(expected, got);
    EXPECT_EQ(2, announcements) << "the 2 after the first 3 withdraws it; the last 3 announces again";
    EXPECT_TRUE(started);
}

} // namespace
