#include <gtest/gtest.h>

#include <string>

#include "ctlhost.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"
#include "platform/win/scroll.h"

namespace {

struct TabFixture : ::testing::Test {
    HWND make(DWORD style, int w, int n) {
        HWND tc = CreateWindowEx(0, WC_TABCONTROL, "", WS_CHILD | WS_VISIBLE | style, 10, 10, w,
                                 150, host.hwnd, 4, nullptr, nullptr);
        for (int i = 0; i < n; ++i)
            add(tc, "Page " + std::to_string(i));
        return tc;
    }
    void add(HWND tc, const std::string& caption) {
        TCITEM t;
        t.mask = TCIF_TEXT;
        t.text = const_cast<char*>(caption.c_str());
        SendMessage(tc, TCM_INSERTITEM, WPARAM(SendMessage(tc, TCM_GETITEMCOUNT, 0, 0)),
                    reinterpret_cast<LPARAM>(&t));
    }
    RECT tabRect(HWND tc, int i) {
        RECT r{};
        SendMessage(tc, TCM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
        return r;
    }
    void clickTab(HWND tc, int i) {
        RECT r = tabRect(tc, i);
        CtlHost::Click(tc, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    int cur(HWND tc) { return int(SendMessage(tc, TCM_GETCURSEL, 0, 0)); }
    CtlHost host;
};

} // namespace

TEST_F(TabFixture, ClicksAndKeysSwitchTabsThroughTheNotifications) {
    HWND tc = make(0, 300, 3);
    EXPECT_EQ(cur(tc), 0);
    clickTab(tc, 2);
    EXPECT_EQ(cur(tc), 2);
    EXPECT_EQ(GetFocus(), tc);
    auto changes = host.Codes();
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(changes[0], TCN_SELCHANGING);
    EXPECT_EQ(changes[1], TCN_SELCHANGE);
    struct Case {
        int vk;
        int sel;
    } keys[] = {{VK_LEFT, 1}, {VK_LEFT, 0}, {VK_LEFT, 0}, {VK_END, 2}, {VK_HOME, 0}, {VK_RIGHT, 1}};
    for (const Case& k : keys) {
        CtlHost::Key(k.vk);
        EXPECT_EQ(cur(tc), k.sel) << "key " << k.vk;
    }
    // A parent that says no keeps the tab; TCM_SETCURSEL asks nobody.
    host.onNotify = [](NMHDR* nm, LRESULT* answer) {
        *answer = 1;
        return nm->code == TCN_SELCHANGING;
    };
    clickTab(tc, 2);
    EXPECT_EQ(cur(tc), 1);
    host.notes.clear();
    EXPECT_EQ(SendMessage(tc, TCM_SETCURSEL, 2, 0), 1);
    EXPECT_EQ(cur(tc), 2);
    EXPECT_TRUE(host.Codes(TCN_SELCHANGE).empty());
}

TEST_F(TabFixture, OverflowingTabsGetAnUpDownThatScrollsThem) {
    HWND tc = make(0, 160, 8);
    HWND ud = FindWindowEx(tc, 0, UPDOWN_CLASS, nullptr);
    ASSERT_NE(ud, 0u);
    EXPECT_TRUE(IsWindowVisible(ud));
    RECT me{}, u{};
    GetWindowRect(tc, &me);
    GetWindowRect(ud, &u);
    EXPECT_EQ(u.right, me.right); // at the strip's right end
    EXPECT_EQ(tabRect(tc, 0).left, 2);
    // Its right arrow brings the next tab to the front.
    CtlHost::Click(ud, (u.right - u.left) * 3 / 4, 3);
    EXPECT_EQ(tabRect(tc, 1).left, 2);
    EXPECT_LE(tabRect(tc, 0).right, 2);
    // The parent may scroll it too, as the up-down does.
    SendMessage(tc, WM_HSCROLL, SB_THUMBPOSITION | (3 << 16), 0);
    EXPECT_EQ(tabRect(tc, 3).left, 2);
    // Keys keep the selected tab in view.
    SetFocus(tc);
    CtlHost::Key(VK_END);
    EXPECT_EQ(cur(tc), 7);
    EXPECT_LE(tabRect(tc, 7).right, int(u.left - me.left));
    CtlHost::Key(VK_HOME);
    EXPECT_EQ(tabRect(tc, 0).left, 2);
    // Wide enough for every tab: the up-down goes away.
    SetWindowPos(tc, 0, 0, 0, 900, 150, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(FindWindowEx(tc, 0, UPDOWN_CLASS, nullptr), 0u);
    EXPECT_FALSE(IsWindow(ud));
    // Multi-line tabs wrap instead, the selected row next to the pages.
    HWND ml = make(TCS_MULTILINE, 160, 8);
    EXPECT_EQ(FindWindowEx(ml, 0, UPDOWN_CLASS, nullptr), 0u);
    EXPECT_GT(SendMessage(ml, TCM_GETROWCOUNT, 0, 0), 1);
    SendMessage(ml, TCM_SETCURSEL, 0, 0);
    int rowOf0 = tabRect(ml, 0).top;
    int lowest = 0;
    for (int i = 0; i < 8; ++i)
        lowest = std::max(lowest, int(tabRect(ml, i).top));
    EXPECT_EQ(rowOf0, lowest);
}

TEST_F(TabFixture, PageAreaAndItemSizes) {
    HWND tc = make(0, 300, 2);
    RECT r{0, 0, 300, 150};
    SendMessage(tc, TCM_ADJUSTRECT, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_GT(r.top, tabRect(tc, 0).bottom);
    RECT back = r;
    SendMessage(tc, TCM_ADJUSTRECT, 1, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back, (RECT{0, 0, 300, 150}));
    SendMessage(tc, TCM_SETITEMSIZE, 0, MAKELPARAM(80, 30));
    RECT t = tabRect(tc, 1);
    EXPECT_EQ(t.right - t.left, 80);
    EXPECT_EQ(t.bottom - t.top, 30);
    HWND bottom = make(TCS_BOTTOM, 300, 2);
    EXPECT_EQ(tabRect(bottom, 0).bottom, 148);
}

TEST_F(TabFixture, BadRequestsAreRefused) {
    HWND tc = make(0, 300, 2);
    char buf[4];
    TCITEM t;
    t.mask = TCIF_TEXT;
    t.text = buf;
    t.textMax = sizeof buf;
    RECT r{};
    struct Case {
        UINT msg;
        WPARAM w;
        LPARAM l;
        LRESULT expect;
    } cases[] = {
        {TCM_GETITEM, 2, reinterpret_cast<LPARAM>(&t), 0},
        {TCM_GETITEM, 0, 0, 0},
        {TCM_DELETEITEM, WPARAM(-1), 0, 0},
        {TCM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&r), 0},
        {TCM_SETCURSEL, 9, 0, -1},
        {TCM_INSERTITEM, 0, 0, -1},
        {TCM_HITTEST, 0, 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessage(tc, c.msg, c.w, c.l), c.expect) << c.msg;
    // A long caption is cut to the buffer; a huge one still lays out.
    add(tc, "Caption");
    SendMessage(tc, TCM_GETITEM, 2, reinterpret_cast<LPARAM>(&t));
    EXPECT_STREQ(buf, "Cap");
    add(tc, std::string(200000, 'w'));
    HBITMAP shot = RenderWindowToBitmap(tc);
    EXPECT_NE(shot, nullptr);
    DeleteObject(shot);
    DestroyWindow(tc);
    EXPECT_EQ(SendMessage(tc, TCM_GETITEMCOUNT, 0, 0), 0);
}
