#include <gtest/gtest.h>

#include "ctlhost.h"
#include "platform/os/clock.h"
#include "platform/win/controls/updown.h"
#include "platform/win/scroll.h"

namespace {

struct UpDownFixture : ::testing::Test {
    HWND make(DWORD style, int w = 20, int h = 30) {
        // Side by side, so that clicks find each.
        HWND ud = CreateWindowEx(0, UPDOWN_CLASS, "", WS_CHILD | WS_VISIBLE | style,
                                 100 + 40 * made++, 20, w, h, host.hwnd, 3, nullptr, nullptr);
        SendMessage(ud, UDM_SETRANGE32, 0, 5);
        SendMessage(ud, UDM_SETPOS32, 0, 4);
        return ud;
    }
    int pos(HWND ud) { return int(SendMessage(ud, UDM_GETPOS32, 0, 0)); }
    CtlHost host;
    int made = 0;
};

// A window whose text is kept by the default handling, as a buddy.
HWND makeBuddy(HWND parent) {
    if (!GetClassInfo(nullptr, "BuddyText", nullptr)) {
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "BuddyText";
        RegisterClass(wc);
    }
    return CreateWindowEx(0, "BuddyText", "", WS_CHILD | WS_VISIBLE, 10, 20, 80, 30, parent, 0,
                          nullptr, nullptr);
}

} // namespace

TEST_F(UpDownFixture, ButtonsStepInsideTheRangeAndReportToTheParent) {
    HWND ud = make(0);
    struct Case {
        int x, y;
        int pos;
    } cases[] = {{10, 5, 5}, {10, 5, 5}, {10, 25, 4}, {10, 25, 3}};
    for (const Case& c : cases) {
        host.scrolls.clear();
        CtlHost::Click(ud, c.x, c.y);
        EXPECT_EQ(pos(ud), c.pos);
        ASSERT_FALSE(host.scrolls.empty());
        EXPECT_EQ(host.scrolls.back().code, SB_ENDSCROLL);
        EXPECT_EQ(host.scrolls.back().from, ud);
    }
    // A step reports the new position with the up-down's window.
    host.scrolls.clear();
    CtlHost::Click(ud, 10, 5);
    ASSERT_EQ(host.scrolls.size(), 2u);
    EXPECT_EQ(host.scrolls[0].msg, WM_VSCROLL);
    EXPECT_EQ(host.scrolls[0].code, SB_THUMBPOSITION);
    EXPECT_EQ(host.scrolls[0].pos, 4);
    // Wrapping goes past the top to the bottom.
    HWND wrap = make(UDS_WRAP);
    CtlHost::Click(wrap, 10, 5);
    CtlHost::Click(wrap, 10, 5);
    EXPECT_EQ(pos(wrap), 0);
}

TEST_F(UpDownFixture, TheParentCanRefuseOrChangeAStep) {
    HWND ud = make(UDS_HORZ, 30, 20);
    host.onNotify = [](NMHDR* nm, LRESULT* answer) {
        if (nm->code != UDN_DELTAPOS) return false;
        auto* u = reinterpret_cast<NMUPDOWN*>(nm);
        if (u->delta < 0) u->delta = -3; // the left arrow jumps by three
        *answer = u->pos == 1;           // nothing moves away from 1
        return true;
    };
    CtlHost::Click(ud, 5, 10); // left half decreases
    EXPECT_EQ(pos(ud), 1);
    CtlHost::Click(ud, 25, 10);
    EXPECT_EQ(pos(ud), 1);
    EXPECT_EQ(host.scrolls.back().msg, WM_HSCROLL);
    // Keys on the focused pair step the same way.
    host.onNotify = nullptr;
    SetFocus(ud);
    CtlHost::Key(VK_RIGHT);
    CtlHost::Key(VK_RIGHT);
    EXPECT_EQ(pos(ud), 3);
    CtlHost::Key(VK_LEFT);
    EXPECT_EQ(pos(ud), 2);
}

TEST_F(UpDownFixture, HoldingAButtonRepeatsAfterAWait) {
    os::ManualClock clock{1000};
    os::SetClock(&clock);
    HWND ud = make(0);
    SendMessage(ud, UDM_SETRANGE32, 0, 100);
    SendMessage(ud, UDM_SETPOS32, 0, 50);
    POINT p{10, 25};
    ClientToScreen(ud, &p);
    DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    CtlHost::Pump();
    EXPECT_EQ(pos(ud), 49);
    clock.Advance(400);
    CtlHost::Pump();
    EXPECT_EQ(pos(ud), 49); // still waiting
    clock.Advance(100);
    CtlHost::Pump();
    for (int i = 0; i < 3; ++i) {
        clock.Advance(100);
        CtlHost::Pump();
    }
    EXPECT_EQ(pos(ud), 45);
    DeliverMouse(WM_LBUTTONUP, p, 0);
    CtlHost::Pump();
    clock.Advance(500);
    CtlHost::Pump();
    EXPECT_EQ(pos(ud), 45);
    os::SetClock(nullptr);
}

TEST_F(UpDownFixture, TheBuddyShowsThePositionAndItsKeysStep) {
    HWND buddy = makeBuddy(host.hwnd);
    HWND ud = make(UDS_SETBUDDYINT | UDS_ARROWKEYS);
    SendMessage(ud, UDM_SETRANGE32, WPARAM(-5000), 5000);
    SendMessage(ud, UDM_SETBUDDY, WPARAM(buddy), 0);
    EXPECT_EQ(HWND(SendMessage(ud, UDM_GETBUDDY, 0, 0)), buddy);
    SendMessage(ud, UDM_SETPOS32, 0, -1234);
    EXPECT_EQ(GetWindowText(buddy), "-1,234");
    SetWindowText(buddy, "42");
    BOOL error = 1;
    EXPECT_EQ(SendMessage(ud, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)), 42);
    EXPECT_FALSE(error);
    SetFocus(buddy);
    CtlHost::Key(VK_UP);
    EXPECT_EQ(GetWindowText(buddy), "43");
    SetWindowText(buddy, "4x2");
    SendMessage(ud, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
    EXPECT_TRUE(error);
    SendMessage(ud, UDM_SETBASE, 16, 0);
    SendMessage(ud, UDM_SETPOS32, 0, 255);
    EXPECT_EQ(GetWindowText(buddy), "0x00FF");
    // The buddy outlives the pair and gets its own procedure back.
    DestroyWindow(ud);
    SetFocus(buddy);
    CtlHost::Key(VK_UP);
    EXPECT_EQ(GetWindowText(buddy), "0x00FF");
    EXPECT_EQ(SendMessage(ud, UDM_GETPOS32, 0, 0), 0);
    EXPECT_EQ(SendMessage(ud, UDM_SETBUDDY, WPARAM(buddy), 0), 0);
}

TEST_F(UpDownFixture, RangesAreKeptWhateverIsAsked) {
    HWND ud = make(0);
    SendMessage(ud, UDM_SETPOS32, 0, 99);
    EXPECT_EQ(pos(ud), 5);
    SendMessage(ud, UDM_SETRANGE32, 10, 0); // a reversed range
    CtlHost::Click(ud, 10, 5);              // the upper button moves toward max
    EXPECT_EQ(pos(ud), 4);
    int lo = -1, hi = -1;
    SendMessage(ud, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(SendMessage(ud, UDM_SETBASE, 7, 0), 0);
    EXPECT_EQ(SendMessage(ud, UDM_SETBUDDY, 12345, 0), 0);
}
