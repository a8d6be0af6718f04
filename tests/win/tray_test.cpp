// The notification icon for real: Wine's shell holds the icons, its popup menu is the
// program's menu 131 and its commands reach the owner window.
#include "CTrayIcon.h"
#include "WinTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<WPARAM> g_commands;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        g_commands.push_back(wParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvTrayTestOwner";
        RegisterClassA(&wc);
        owner_ = CreateWindowA("QvTrayTestOwner", "tray test owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, owner_);
        g_commands.clear();
    }
    void TearDown() override { DestroyWindow(owner_); }

    // Asks the shell whether it holds an icon (owner, id): a modify of nothing succeeds only then.
    bool shellHolds(UINT id) const {
        NOTIFYICONDATAA probe{};
        probe.cbSize = NOTIFYICONDATAA_V2_SIZE;
        probe.hWnd = owner_;
        probe.uID = id;
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != 0;
    }

    HWND owner_ = nullptr;
};

// Wine's shell takes about two seconds for each removal outside a virtual desktop: the
// removals here are few on purpose.
TEST_F(TrayTest, ShownChangedAndRemovedInTheShell) {
    UINT id;
    {
        CTrayIcon tray;
        id = tray.id();
        tray.setOwner(owner_, WM_USER);
        EXPECT_TRUE(tray.showIcon(0)) << "removing an icon not shown does nothing and succeeds";
        EXPECT_FALSE(shellHolds(id));
        EXPECT_TRUE(tray.showIcon(IDI_TRAY_STOPPED)) << "add";
        EXPECT_NE(nullptr, tray.icon());
        EXPECT_TRUE(shellHolds(id));
        EXPECT_TRUE(tray.setIconAndTip(tray.icon(), "Quorvel")) << "modify with the tooltip";
        EXPECT_STREQ("Quorvel", tray.tip());
        EXPECT_TRUE(tray.showIcon(IDI_TRAY_STARTED)) << "modify";
        EXPECT_STREQ("Quorvel", tray.tip());
        EXPECT_TRUE(tray.showIcon(4242)) << "an icon that cannot be loaded removes the icon";
        EXPECT_EQ(nullptr, tray.icon());
        EXPECT_FALSE(shellHolds(id));
        EXPECT_TRUE(tray.showIcon(IDI_TRAY_STARTING)) << "added again";
        EXPECT_TRUE(shellHolds(id));
    }
    EXPECT_FALSE(shellHolds(id)) << "the destruction removes the icon";
}

TEST_F(TrayTest, TaskbarCreatedBringsTheIconBack) {
    CTrayIcon tray;
    tray.setOwner(owner_, WM_USER);
    ASSERT_TRUE(tray.showIcon(IDI_TRAY_STARTING));
    HICON shown = tray.icon();
    // The shell restarts: every icon is gone, and the owner is told "TaskbarCreated".
    NOTIFYICONDATAA gone{};
    gone.cbSize = NOTIFYICONDATAA_V2_SIZE;
    gone.hWnd = owner_;
    gone.uID = tray.id();
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
    ASSERT_FALSE(shellHolds(tray.id()));
    EXPECT_EQ(0, tray.handleTaskbarCreated(0, 0));
    EXPECT_TRUE(shellHolds(tray.id())) << "added again";
    EXPECT_EQ(shown, tray.icon()) << "with the picture last shown";
}

// What the popup menu showed, read from inside its modal loop.
struct MenuSeen {
    int items = -1;
    int defaultPosition = -2;
    std::string defaultText;
    std::vector<UINT> ids;
    std::vector<std::string> texts;
};
MenuSeen g_menu;
int g_menusShown = 0;

void CALLBACK readMenuAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowA("#32768", nullptr);
    if (!popup || !IsWindowVisible(popup))
        return;
    KillTimer(nullptr, timer);
    ++g_menusShown;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    g_menu.items = GetMenuItemCount(menu);
    g_menu.defaultPosition = static_cast<int>(GetMenuDefaultItem(menu, TRUE, 0));
    for (int i = 0; i < g_menu.items; ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        g_menu.ids.push_back(GetMenuItemID(menu, i));
        g_menu.texts.push_back(text);
        if (i == g_menu.defaultPosition)
            g_menu.defaultText = text;
    }
    EndMenu();
}

// Right-clicks the icon and reads the menu it shows.
MenuSeen rightClick(CTrayIcon &tray, LRESULT &answer) {
    g_menu = MenuSeen{};
    SetTimer(nullptr, 0, 30, readMenuAndClose);
    answer = tray.handleNotify(tray.id(), WM_RBUTTONUP);
    return g_menu;
}

TEST_F(TrayTest, RightClickShowsMenu131WithTheDefaultItemInBold) {
    CTrayIcon tray;
    tray.setOwner(owner_, WM_USER);
    tray.setMenuId(IDR_TRAYMENU);

    LRESULT answer = -1;
    MenuSeen seen = rightClick(tray, answer);
    EXPECT_EQ(1, answer);
    ASSERT_EQ(4, seen.items);
    EXPECT_EQ((std::vector<UINT>{ID_TRAY_START, ID_TRAY_STOP, 0, ID_TRAY_ABOUT}), seen.ids);
    EXPECT_EQ((std::vector<std::string>{"&Iniciar Quorvel", "&Encerrar Quorvel", "", "&Sobre..."}),
              seen.texts);
    EXPECT_EQ(0, seen.defaultPosition);
    EXPECT_EQ("&Iniciar Quorvel", seen.defaultText);

    tray.setDefaultItem(1);
    seen = rightClick(tray, answer);
    EXPECT_EQ(1, answer);
    EXPECT_EQ(1, seen.defaultPosition);
    EXPECT_EQ("&Encerrar Quorvel", seen.defaultText);
    EXPECT_TRUE(g_commands.empty()) << "closing the menu chooses nothing";
}

TEST_F(TrayTest, DoubleClickSendsTheFirstCommandWhateverTheDefault) {
    CTrayIcon tray;
    tray.setOwner(owner_, WM_USER);
    tray.setMenuId(IDR_TRAYMENU);
    tray.setDefaultItem(1);
    EXPECT_EQ(1, tray.handleNotify(tray.id(), WM_LBUTTONDBLCLK));
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ(static_cast<WPARAM>(ID_TRAY_START), g_commands[0]);
}

TEST_F(TrayTest, OtherClicksAndOtherIconsDoNothing) {
    CTrayIcon tray;
    tray.setOwner(owner_, WM_USER);
    tray.setMenuId(IDR_TRAYMENU);
    g_menusShown = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, readMenuAndClose);
    struct {
        WPARAM id;
        LPARAM mouse;
    } cases[] = {{tray.id() + 1, WM_RBUTTONUP}, {tray.id() + 1, WM_LBUTTONDBLCLK}, {tray.id(), WM_LBUTTONUP},
                 {tray.id(), WM_LBUTTONDOWN},   {tray.id(), WM_RBUTTONDOWN},       {tray.id(), WM_MOUSEMOVE}};
    for (const auto &c : cases)
        EXPECT_EQ(0, tray.handleNotify(c.id, c.mouse)) << "id " << c.id << " mouse 0x" << std::hex << c.mouse;
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_commands.empty());
    EXPECT_EQ(0, g_menusShown);
}

TEST_F(TrayTest, UnknownMenuMakesTheClickDoNothing) {
    CTrayIcon tray;
    tray.setOwner(owner_, WM_USER);
    tray.setMenuId(4343);
    EXPECT_EQ(0, tray.handleNotify(tray.id(), WM_LBUTTONDBLCLK));
    EXPECT_TRUE(g_commands.empty());
}

} // namespace
