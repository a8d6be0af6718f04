// The notification icon's add, modify and delete rules, with the notification call replaced.
#include "TrayIconRules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The fields of NOTIFYICONDATAA that the rules touch, under the same names.
struct Record {
    unsigned long cbSize = 488;
    void *hWnd = nullptr;
    unsigned uID = 101;
    unsigned uFlags = 0xDEAD;
    unsigned uCallbackMessage = 0;
    void *hIcon = nullptr;
    char szTip[tray::kTipSize] = {};
    tray::IconState state; // kept beside the record in the real class
};

struct Call {
    unsigned request;
    unsigned flags;
    void *icon;
    std::string tip;
};

struct FakeShell {
    std::vector<Call> calls;
    bool answer = true;
    bool operator()(unsigned request, Record &rec) {
        calls.push_back({request, rec.uFlags, rec.hIcon, rec.szTip});
        return answer;
    }
};

void *const kRed = reinterpret_cast<void *>(0x136);
void *const kGreen = reinterpret_cast<void *>(0x134);
void *const kOwner = reinterpret_cast<void *>(0x5000);

TEST(TrayRules, AddThenModifyThenDelete) {
    Record rec;
    rec.hWnd = kOwner;
    rec.uCallbackMessage = 0x400;
    FakeShell shell;

    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kRed, "", std::ref(shell)));
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kRed, "Quorvel", std::ref(shell)));
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kGreen, "", std::ref(shell)));
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kGreen, "", std::ref(shell))) << "a steady status";
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kGreen, "Quorvel", std::ref(shell))) << "the same tip";
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, nullptr, "", std::ref(shell)));

    ASSERT_EQ(4u, shell.calls.size()) << "nothing sent when nothing changed";
    EXPECT_EQ(tray::kAdd, shell.calls[0].request);
    EXPECT_EQ(tray::kFlagIcon | tray::kFlagMessage, shell.calls[0].flags) << "no tip yet, so no tip flag";
    EXPECT_EQ(tray::kModify, shell.calls[1].request);
    EXPECT_EQ(tray::kFlagIcon | tray::kFlagTip | tray::kFlagMessage, shell.calls[1].flags);
    EXPECT_EQ("Quorvel", shell.calls[1].tip);
    EXPECT_EQ(tray::kModify, shell.calls[2].request);
    EXPECT_EQ(kGreen, shell.calls[2].icon);
    EXPECT_EQ("Quorvel", shell.calls[2].tip) << "an empty tip keeps the tooltip";
    EXPECT_EQ(tray::kDelete, shell.calls[3].request);
    EXPECT_EQ(tray::kFlagTip | tray::kFlagMessage, shell.calls[3].flags);
    EXPECT_EQ(nullptr, rec.hIcon);
}

TEST(TrayRules, RemovingAnIconNotShownDoesNothingAndSucceeds) {
    Record rec;
    FakeShell shell;
    shell.answer = false;
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, nullptr, "tip", std::ref(shell)));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(std::string(), rec.szTip) << "nothing to do: the tip is not touched either";
}

TEST(TrayRules, MessageFlagNeedsBothOwnerAndCallback) {
    for (auto [owner, message] : {std::pair<void *, unsigned>{kOwner, 0}, {nullptr, 0x400}}) {
        Record rec;
        rec.hWnd = owner;
        rec.uCallbackMessage = message;
        FakeShell shell;
        tray::setIconAndTip(rec, rec.state, kRed, "", std::ref(shell));
        ASSERT_EQ(1u, shell.calls.size());
        EXPECT_EQ(tray::kFlagIcon, shell.calls[0].flags) << "owner " << owner << " message " << message;
    }
}

// A call that timed out on a busy shell may have taken effect: the record never forgets an icon
// that may be there, so no add is refused every second and the end always sends the delete.
TEST(TrayRules, RefusedCallsTryTheOtherRequestAndTheDeleteAlwaysFollows) {
    Record rec;
    FakeShell shell;
    shell.answer = false;
    EXPECT_FALSE(tray::setIconAndTip(rec, rec.state, kRed, "", std::ref(shell)));
    ASSERT_EQ(2u, shell.calls.size());
    EXPECT_EQ(tray::kAdd, shell.calls[0].request);
    EXPECT_EQ(tray::kModify, shell.calls[1].request) << "a refused add: the icon may be there already";
    shell.answer = true;
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kRed, "", std::ref(shell))) << "not taken: sent again";
    ASSERT_EQ(3u, shell.calls.size());
    EXPECT_EQ(tray::kAdd, shell.calls[2].request);

    // The shell lost the icon without a TaskbarCreated: the modify is refused, an add follows.
    FakeShell forgetful;
    forgetful.answer = false;
    EXPECT_TRUE(tray::setIconAndTip(rec, rec.state, kGreen, "", [&](unsigned request, Record &r) {
        forgetful(request, r);
        return request == tray::kAdd;
    }));
    ASSERT_EQ(2u, forgetful.calls.size());
    EXPECT_EQ(tray::kModify, forgetful.calls[0].request);
    EXPECT_EQ(tray::kAdd, forgetful.calls[1].request);

    Record failed;
    FakeShell refusing;
    refusing.answer = false;
    tray::setIconAndTip(failed, failed.state, kRed, "", std::ref(refusing));
    tray::setIconAndTip(failed, failed.state, nullptr, "", std::ref(refusing));
    ASSERT_EQ(3u, refusing.calls.size());
    EXPECT_EQ(tray::kDelete, refusing.calls[2].request) << "every call refused, yet the end sends the delete";
}

TEST(TrayRules, TipIsCutTo127CharactersAndTerminated) {
    Record rec;
    FakeShell shell;
    std::string longTip(300, 'q');
    tray::setIconAndTip(rec, rec.state, kRed, longTip.c_str(), std::ref(shell));
    ASSERT_EQ(1u, shell.calls.size());
    EXPECT_EQ(std::string(127, 'q'), shell.calls[0].tip);
}

TEST(TrayRules, TaskbarCreatedAddsTheLastPictureAgainWithItsTip) {
    Record rec;
    FakeShell shell;
    tray::setIconAndTip(rec, rec.state, kRed, "Quorvel", std::ref(shell));
    tray::setIconAndTip(rec, rec.state, kGreen, "", std::ref(shell));
    tray::addAgain(rec, rec.state, std::ref(shell));
    ASSERT_EQ(3u, shell.calls.size());
    EXPECT_EQ(tray::kAdd, shell.calls[2].request);
    EXPECT_EQ(kGreen, shell.calls[2].icon);
    EXPECT_EQ("Quorvel", shell.calls[2].tip);

    Record none;
    FakeShell quiet;
    tray::addAgain(none, none.state, std::ref(quiet));
    EXPECT_TRUE(quiet.calls.empty()) << "no icon shown, nothing to add";
}

// A shell that takes only records of the sizes it knows, as shell 4.72 of Windows 98 may.
struct SizedShell {
    explicit SizedShell(unsigned long largest) : accepted(largest) {}
    unsigned long accepted;
    bool running = true;
    std::vector<std::pair<unsigned, unsigned long>> calls; // request, cbSize
    bool operator()(unsigned request, Record &rec) {
        calls.push_back({request, rec.cbSize});
        return running && rec.cbSize <= accepted;
    }
};

bool show(Record &rec, void *icon, bool &settled, SizedShell &shell) {
    return tray::setIconAndTip(rec, rec.state, icon, "", [&](unsigned request, Record &r) {
        return tray::notifyWithFittingSize(request, r, settled, 88, std::ref(shell));
    });
}

TEST(TrayRules, RefusedLongRecordIsAddedInTheOriginalSizeWhichStays) {
    using Calls = std::vector<std::pair<unsigned, unsigned long>>;
    Record rec;
    bool settled = false;
    SizedShell old(88);
    EXPECT_TRUE(show(rec, kRed, settled, old));
    EXPECT_TRUE(show(rec, kGreen, settled, old));
    tray::addAgain(rec, rec.state, [&](unsigned request, Record &r) {
        return tray::notifyWithFittingSize(request, r, settled, 88, std::ref(old));
    });
    EXPECT_TRUE(show(rec, nullptr, settled, old));
    EXPECT_EQ(
        (Calls{
            {tray::kAdd, 488}, {tray::kAdd, 88}, {tray::kModify, 88}, {tray::kAdd, 88}, {tray::kDelete, 88}}),
        old.calls);

    Record current;
    bool currentSettled = false;
    SizedShell shell5(488);
    EXPECT_TRUE(show(current, kRed, currentSettled, shell5));
    EXPECT_TRUE(show(current, kGreen, currentSettled, shell5));
    EXPECT_EQ((Calls{{tray::kAdd, 488}, {tray::kModify, 488}}), shell5.calls)
        << "a shell 5 keeps the long form";
}

TEST(TrayRules, AddRefusedInBothSizesTriesBothAgainNextTime) {
    Record rec;
    bool settled = false;
    SizedShell shell(488);
    shell.running = false;
    EXPECT_FALSE(show(rec, kRed, settled, shell));
    EXPECT_EQ(488u, rec.cbSize) << "no size has worked yet";
    shell.running = true;
    EXPECT_TRUE(show(rec, kRed, settled, shell));
    ASSERT_EQ(4u, shell.calls.size());
    EXPECT_EQ(88u, shell.calls[1].second);
    EXPECT_EQ(tray::kModify, shell.calls[2].first);
    EXPECT_EQ(tray::kAdd, shell.calls[3].first);
    EXPECT_EQ(488u, shell.calls[3].second) << "the long form first again";
}

TEST(TrayRules, OnlyOurIconsRightReleaseAndDoubleClickCount) {
    EXPECT_EQ(tray::Click::ShowMenu, tray::classifyClick(101, 101, 0x205));
    EXPECT_EQ(tray::Click::FirstCommand, tray::classifyClick(101, 101, 0x203));
    EXPECT_EQ(tray::Click::Ignored, tray::classifyClick(102, 101, 0x205)) << "another icon id";
    EXPECT_EQ(tray::Click::Ignored, tray::classifyClick(101, 101, 0x201)) << "left press";
    EXPECT_EQ(tray::Click::Ignored, tray::classifyClick(101, 101, 0x202)) << "left release (single click)";
    EXPECT_EQ(tray::Click::Ignored, tray::classifyClick(101, 101, 0x204)) << "right press";
    EXPECT_EQ(tray::Click::Ignored, tray::classifyClick(101, 101, 0x200)) << "mouse move";
}

TEST(TrayRules, IconIdsCountUpFrom101) {
    unsigned first = tray::nextIconId();
    EXPECT_EQ(101u, first) << "the first id taken in this process";
    EXPECT_EQ(first + 1, tray::nextIconId());
}

} // namespace
