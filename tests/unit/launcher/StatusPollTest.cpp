// The wait of runAndWait, driven with scripted status codes and a fake sleep.
#include "StatusPoll.h"
#include "Flavour.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Plays codes by poll number (1-based): a code holds from its poll until the next one given.
class ScriptedSurface : public PollSurface {
  public:
    explicit ScriptedSurface(std::map<int, std::int32_t> script) : script_(std::move(script)) {}

    void sleepMs(unsigned ms) override {
        slept.push_back(ms);
        ++poll;
        auto it = script_.find(poll);
        if (it != script_.end())
            current_ = it->second;
    }
    std::int32_t readStatus() override { return current_; }
    void hideSplash() override { events.push_back("hide@" + std::to_string(poll)); }
    void showWarning(const std::string &text) override {
        events.push_back(text + "@" + std::to_string(poll));
    }

    int poll = 0;
    std::vector<unsigned> slept;
    std::vector<std::string> events;

  private:
    std::map<int, std::int32_t> script_;
    std::int32_t current_ = 0;
};

const std::string kTimeout = flavour::kTimeoutMessage;
const std::string kErro = kErroMessage;
const std::string kMonitor = kErroMonitorMessage;

using Events = std::vector<std::string>;
using Script = std::map<int, std::int32_t>;

} // namespace

TEST(StatusPoll, WindowShownThenGoneEndsWithSuccessAndNoMessage) {
    ScriptedSurface s(Script{{1, 0}, {50, 4}, {2000, 3}});
    EXPECT_TRUE(pollStatus(s, kTimeout));
    EXPECT_EQ(Events{"hide@50"}, s.events);
    EXPECT_EQ(2000, s.poll) << "ends at the poll that first reads 3";
    for (unsigned ms : s.slept)
        ASSERT_EQ(200u, ms);
}

TEST(StatusPoll, NoLimitOnceLoaded) {
    // Hours of a visible window: the poll goes on far past 300 polls.
    ScriptedSurface s(Script{{10, 4}, {20000, 3}});
    EXPECT_TRUE(pollStatus(s, kTimeout));
    EXPECT_EQ(20000, s.poll);
    EXPECT_EQ(Events{"hide@10"}, s.events);
}

TEST(StatusPoll, CodeThreeBeforeFourIsIgnored) {
    ScriptedSurface s(Script{{5, 3}, {40, 4}, {60, 3}});
    EXPECT_TRUE(pollStatus(s, kTimeout));
    EXPECT_EQ(60, s.poll);
    EXPECT_EQ(Events{"hide@40"}, s.events);
}

TEST(StatusPoll, ErrorCodesBeforeFourShowTheirBoxAtOnce) {
    ScriptedSurface one(Script{{7, 1}});
    EXPECT_FALSE(pollStatus(one, kTimeout));
    EXPECT_EQ(Events{kErro + "@7"}, one.events);

    ScriptedSurface two(Script{{9, 2}});
    EXPECT_FALSE(pollStatus(two, kTimeout));
    EXPECT_EQ(Events{kMonitor + "@9"}, two.events);
}

TEST(StatusPoll, ErrorCodesAfterFourEndWithoutSuccess) {
    ScriptedSurface one(Script{{3, 4}, {500, 1}});
    EXPECT_FALSE(pollStatus(one, kTimeout));
    EXPECT_EQ((Events{"hide@3", kErro + "@500"}), one.events);

    ScriptedSurface two(Script{{3, 4}, {8, 2}});
    EXPECT_FALSE(pollStatus(two, kTimeout));
    EXPECT_EQ((Events{"hide@3", kMonitor + "@8"}), two.events);
}

TEST(StatusPoll, ValuesOutsideTheTableCountAsWaiting) {
    ScriptedSurface s(Script{{2, 99}, {3, -5}, {4, 4}, {5, 7}, {6, 3}});
    EXPECT_TRUE(pollStatus(s, kTimeout));
    EXPECT_EQ(Events{"hide@4"}, s.events);
}

TEST(StatusPoll, TimesOutAtPoll301) {
    ScriptedSurface s(Script{});
    EXPECT_FALSE(pollStatus(s, kTimeout));
    EXPECT_EQ(301, s.poll);
    EXPECT_EQ(Events{kTimeout + "@301"}, s.events);
}

TEST(StatusPoll, FourAtPoll300IsStillInTime) {
    ScriptedSurface s(Script{{300, 4}, {320, 3}});
    EXPECT_TRUE(pollStatus(s, kTimeout));
    EXPECT_EQ(Events{"hide@300"}, s.events);
}

TEST(StatusPoll, FourAtTheTimeoutPollHidesTheSplashButFails) {
    ScriptedSurface s(Script{{301, 4}, {302, 3}});
    EXPECT_FALSE(pollStatus(s, kTimeout));
    EXPECT_EQ(301, s.poll);
    EXPECT_EQ((Events{kTimeout + "@301", "hide@301"}), s.events);
}

TEST(StatusPoll, ErrorAtTheTimeoutPollFollowsTheTimeoutBox) {
    ScriptedSurface one(Script{{301, 1}});
    EXPECT_FALSE(pollStatus(one, kTimeout));
    EXPECT_EQ((Events{kTimeout + "@301", kErro + "@301"}), one.events);

    ScriptedSurface two(Script{{301, 2}});
    EXPECT_FALSE(pollStatus(two, kTimeout));
    EXPECT_EQ((Events{kTimeout + "@301", kMonitor + "@301"}), two.events);
}
