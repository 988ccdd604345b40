#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ctlhost.h"
#include "platform/win/controls/header.h"
#include "platform/win/controls/listview.h"
#include "platform/win/scroll.h"
#include "support/headless.h"

namespace {

struct ListFixture : ::testing::Test {
    void SetUp() override {
        lv = CreateWindowEx(0, WC_LISTVIEW, "",
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 240,
                            160, host.hwnd, 7, nullptr, nullptr);
        ASSERT_NE(lv, 0u);
        SendMessage(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
        addColumn("Title", 100);
        addColumn("Path", 80);
        addColumn("Size", 60);
    }

    void addColumn(const char* caption, int width) {
        LVCOLUMN c;
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.text = const_cast<char*>(caption);
        c.cx = width;
        HWND header = HWND(SendMessage(lv, LVM_GETHEADER, 0, 0));
        SendMessage(lv, LVM_INSERTCOLUMN, WPARAM(SendMessage(header, HDM_GETITEMCOUNT, 0, 0)),
                    reinterpret_cast<LPARAM>(&c));
    }
    int addItem(const std::string& text, LPARAM param = 0, int at = 1 << 30) {
        LVITEM it;
        it.mask = LVIF_TEXT | LVIF_PARAM;
        it.item = at;
        it.text = const_cast<char*>(text.c_str());
        it.lParam = param;
        return int(SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it)));
    }
    void fill(int n) {
        SendMessage(lv, WM_SETREDRAW, 0, 0);
        for (int i = 0; i < n; ++i)
            addItem("item " + std::to_string(i), i);
        SendMessage(lv, WM_SETREDRAW, 1, 0);
    }
    std::string text(int item, int sub = 0, int size = 256) {
        std::vector<char> buf(size_t(std::max(size, 1)), 'x');
        LVITEM it;
        it.subItem = sub;
        it.text = buf.data();
        it.textMax = size;
        LRESULT n = SendMessage(lv, LVM_GETITEMTEXT, WPARAM(item), reinterpret_cast<LPARAM>(&it));
        return std::string(buf.data(), size_t(n));
    }
    void setText(int item, int sub, const std::string& t) {
        LVITEM it;
        it.subItem = sub;
        it.text = const_cast<char*>(t.c_str());
        SendMessage(lv, LVM_SETITEMTEXT, WPARAM(item), reinterpret_cast<LPARAM>(&it));
    }
    std::set<int> selected() {
        std::set<int> out;
        for (int i = int(SendMessage(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); i >= 0;
             i = int(SendMessage(lv, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED)))
            out.insert(i);
        return out;
    }
    int focused() { return int(SendMessage(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); }
    int top() { return int(SendMessage(lv, LVM_GETTOPINDEX, 0, 0)); }
    // The middle of a visible row in the list's client coordinates.
    POINT rowPoint(int i, int x = 20) {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        SendMessage(lv, LVM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
        return POINT{x, (r.top + r.bottom) / 2};
    }
    void clickRow(int i, WPARAM keys = 0) {
        POINT p = rowPoint(i);
        CtlHost::Click(lv, p.x, p.y, keys);
    }

    CtlHost host;
    HWND lv = 0;
};

using headlesstest::pixel;

COLORREF asColorref(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int compareDescending(LPARAM a, LPARAM b, LPARAM) {
    return a < b ? 1 : a > b ? -1 : 0;
}

int compareAnyhow(LPARAM a, LPARAM b, LPARAM) {
    return int((a * 7919 + b * 104729) % 3) - 1; // not an order at all
}

} // namespace

TEST_F(ListFixture, KeepsItemsSubItemsAndTextsOfAnyBytes) {
    std::string bytes;
    for (int c = 1; c < 256; ++c)
        bytes += char(c);
    ASSERT_EQ(addItem("first"), 0);
    ASSERT_EQ(addItem(bytes), 1);
    ASSERT_EQ(addItem("zero", 0, 0), 0); // inserted in front
    setText(0, 2, "sub two");
    std::string huge(1 << 20, 'h');
    setText(1, 1, huge);
    EXPECT_EQ(SendMessage(lv, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(text(0), "zero");
    EXPECT_EQ(text(2), bytes);
    EXPECT_EQ(text(0, 2), "sub two");
    EXPECT_EQ(text(0, 1), "");
    EXPECT_EQ(text(1, 1, int(huge.size()) + 1), huge);
    EXPECT_EQ(text(2, 0, 4), bytes.substr(0, 3)); // cut to the buffer
    // Painting the whole list with those texts draws without trouble.
    HBITMAP shot = RenderWindowToBitmap(lv);
    ASSERT_NE(shot, nullptr);
    DeleteObject(shot);
}

TEST_F(ListFixture, BadIndexesAndRecordsAreRefused) {
    fill(3);
    LVITEM it;
    it.mask = LVIF_TEXT;
    char buf[8] = "?";
    it.text = buf;
    it.textMax = sizeof buf;
    RECT r{};
    LVCOLUMN col;
    col.mask = LVCF_WIDTH;
    struct Case {
        const char* what;
        UINT msg;
        WPARAM w;
        LPARAM l;
        LRESULT expect;
    } cases[] = {
        {"item text of -1", LVM_GETITEMTEXT, WPARAM(-1), reinterpret_cast<LPARAM>(&it), 0},
        {"item text past the end", LVM_GETITEMTEXT, 3, reinterpret_cast<LPARAM>(&it), 0},
        {"null item text record", LVM_GETITEMTEXT, 0, 0, 0},
        {"delete past the end", LVM_DELETEITEM, 99, 0, 0},
        {"rect of a missing item", LVM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&r), 0},
        {"null rect", LVM_GETITEMRECT, 0, 0, 0},
        {"missing column", LVM_GETCOLUMN, 9, reinterpret_cast<LPARAM>(&col), 0},
        {"delete missing column", LVM_DELETECOLUMN, WPARAM(-1), 0, 0},
        {"insert null record", LVM_INSERTITEM, 0, 0, -1},
        {"state of a missing item", LVM_GETITEMSTATE, 77, LVIS_SELECTED, 0},
        {"ensure a missing item", LVM_ENSUREVISIBLE, 1000, 0, 0},
        {"sort without comparison", LVM_SORTITEMS, 0, 0, 0},
        {"find with null record", LVM_FINDITEM, WPARAM(-1), 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SendMessage(lv, c.msg, c.w, c.l), c.expect) << c.what;
    EXPECT_EQ(SendMessage(lv, LVM_GETITEMCOUNT, 0, 0), 3);
    // A sub-item far beyond any column is refused rather than grown.
    it.item = 0;
    it.subItem = 1 << 28;
    EXPECT_EQ(SendMessage(lv, LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it)), 0);
}

TEST_F(ListFixture, ClicksSelectWithShiftAndControlAndNotify) {
    fill(8);
    struct Case {
        int row;
        WPARAM keys;
        std::set<int> expect;
    } cases[] = {
        {2, 0, {2}},
        {4, MK_CONTROL, {2, 4}},
        {6, MK_SHIFT, {4, 5, 6}},
        {5, MK_CONTROL, {4, 6}},
        {1, MK_SHIFT | MK_CONTROL, {1, 2, 3, 4, 5, 6}},
        {3, 0, {3}},
    };
    for (const Case& c : cases) {
        clickRow(c.row, c.keys);
        EXPECT_EQ(selected(), c.expect) << "click on " << c.row << " keys " << c.keys;
        EXPECT_EQ(focused(), c.row);
    }
    EXPECT_EQ(GetFocus(), lv);
    // Each click ends in NM_CLICK with its row; state changes come in pairs.
    host.notes.clear();
    clickRow(0);
    auto clicks = host.Codes(NM_CLICK);
    ASSERT_EQ(clicks.size(), 1u);
    bool sawSelect = false, sawDeselect = false;
    for (const Note& n : host.notes) {
        if (n.code != LVN_ITEMCHANGED) continue;
        sawSelect |= n.item == 0 && (n.newState & LVIS_SELECTED) && !(n.oldState & LVIS_SELECTED);
        sawDeselect |= n.item == 3 && !(n.newState & LVIS_SELECTED);
    }
    EXPECT_TRUE(sawSelect);
    EXPECT_TRUE(sawDeselect);
    EXPECT_EQ(host.notes.back().code, NM_CLICK);
    EXPECT_EQ(host.notes.back().item, 0);
    // A click below the last row clears the selection.
    RECT c{};
    GetClientRect(lv, &c);
    CtlHost::Click(lv, 20, c.bottom - 2);
    EXPECT_TRUE(selected().empty());
}

TEST_F(ListFixture, SingleSelectionAndRefusedChangesHold) {
    SetWindowLongPtr(lv, GWL_STYLE, GetWindowLongPtr(lv, GWL_STYLE) | LVS_SINGLESEL);
    fill(5);
    clickRow(1);
    clickRow(3, MK_CONTROL);
    EXPECT_EQ(selected(), std::set<int>{3});
    // The parent refuses any change of item 4.
    host.onNotify = [](NMHDR* nm, LRESULT* answer) {
        if (nm->code != LVN_ITEMCHANGING) return false;
        *answer = reinterpret_cast<NMLISTVIEW*>(nm)->item == 4;
        return true;
    };
    clickRow(4);
    EXPECT_FALSE(selected().count(4));
}

TEST_F(ListFixture, KeysMoveFocusSelectAndScroll) {
    fill(40);
    int page = int(SendMessage(lv, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 2);
    clickRow(0);
    struct Case {
        int vk;
        bool shift, ctrl;
        int focus;
        std::set<int> sel;
    } cases[] = {
        {VK_DOWN, false, false, 1, {1}},
        {VK_DOWN, true, false, 2, {1, 2}},
        {VK_DOWN, false, true, 3, {1, 2}}, // ctrl moves the focus only
        {VK_SPACE, false, true, 3, {1, 2, 3}},
        {VK_UP, false, false, 2, {2}},
        {VK_END, false, false, 39, {39}},
        {VK_HOME, true, false, 0, {}}, // filled in below: 0..39
    };
    for (Case& c : cases) {
        if (c.vk == VK_HOME)
            for (int i = 0; i <= 39; ++i)
                c.sel.insert(i);
        CtlHost::Key(c.vk, c.shift, c.ctrl);
        EXPECT_EQ(focused(), c.focus) << "key " << c.vk;
        EXPECT_EQ(selected(), c.sel) << "key " << c.vk;
        // The focused row is always in view.
        EXPECT_GE(c.focus, top());
        EXPECT_LT(c.focus, top() + page);
    }
    CtlHost::Key(VK_NEXT);
    EXPECT_EQ(focused(), page - 1);
    CtlHost::Key(VK_NEXT);
    EXPECT_EQ(focused(), 2 * page - 2);
    EXPECT_GT(top(), 0);
    host.notes.clear();
    CtlHost::Key(VK_RETURN);
    EXPECT_EQ(host.Codes(NM_RETURN).size(), 1u);
    EXPECT_EQ(host.Codes(LVN_KEYDOWN).size(), 1u);
}

TEST_F(ListFixture, SortsByTheCallbackAndKeepsStatesWithTheirItems) {
    for (int i = 0; i < 6; ++i)
        addItem("n" + std::to_string(i), i);
    clickRow(1);
    clickRow(4, MK_CONTROL);
    ASSERT_EQ(SendMessage(lv, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(compareDescending)), 1);
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i)
        order.push_back(text(i));
    EXPECT_EQ(order, (std::vector<std::string>{"n5", "n4", "n3", "n2", "n1", "n0"}));
    EXPECT_EQ(selected(), (std::set<int>{1, 4}));
    EXPECT_EQ(focused(), 1);
    // A comparison that is no order leaves every item in place, none lost.
    for (int i = 0; i < 200; ++i)
        addItem("x", i * 31 % 17);
    ASSERT_EQ(SendMessage(lv, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(compareAnyhow)), 1);
    EXPECT_EQ(SendMessage(lv, LVM_GETITEMCOUNT, 0, 0), 206);
    // Items inserted into a sorted list go to their place.
    HWND sorted = CreateWindowEx(0, WC_LISTVIEW, "", WS_CHILD | LVS_REPORT | LVS_SORTASCENDING, 0,
                                 0, 100, 100, host.hwnd, 0, nullptr, nullptr);
    for (const char* t : {"pear", "Apple", "fig"}) {
        LVITEM it;
        it.mask = LVIF_TEXT;
        it.text = const_cast<char*>(t);
        SendMessage(sorted, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
    }
    char buf[16];
    LVITEM get;
    get.text = buf;
    get.textMax = sizeof buf;
    SendMessage(sorted, LVM_GETITEMTEXT, 0, reinterpret_cast<LPARAM>(&get));
    EXPECT_STREQ(buf, "Apple");
    SendMessage(sorted, LVM_GETITEMTEXT, 2, reinterpret_cast<LPARAM>(&get));
    EXPECT_STREQ(buf, "pear");
}

TEST_F(ListFixture, ScrollsByBarsWheelAndPixelsAndShowsBarsOnlyWhenNeeded) {
    fill(5);
    EXPECT_FALSE(GetWindowLongPtr(lv, GWL_STYLE) & WS_VSCROLL);
    fill(45); // 50 items
    EXPECT_TRUE(GetWindowLongPtr(lv, GWL_STYLE) & WS_VSCROLL);
    int page = int(SendMessage(lv, LVM_GETCOUNTPERPAGE, 0, 0));
    int lo = -1, hi = -1;
    GetScrollRange(lv, SB_VERT, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 49);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(lv, SB_VERT, &si);
    EXPECT_EQ(int(si.nPage), page);
    struct Case {
        UINT msg;
        WPARAM w;
        LPARAM l;
        int top;
    } cases[] = {
        {WM_VSCROLL, SB_LINEDOWN, 0, 1},
        {WM_VSCROLL, SB_PAGEDOWN, 0, 1 + page},
        {WM_VSCROLL, SB_LINEUP, 0, page},
        {WM_VSCROLL, SB_THUMBPOSITION | (20 << 16), 0, 20},
        {WM_VSCROLL, SB_BOTTOM, 0, 50 - page},
        {WM_VSCROLL, SB_TOP, 0, 0},
        {WM_MOUSEWHEEL, WPARAM(-240) << 16, 0, 6},
        {WM_MOUSEWHEEL, WPARAM(120) << 16, 0, 3},
        {WM_VSCROLL, SB_LINEUP, 0, 2},
    };
    for (const Case& c : cases) {
        SendMessage(lv, c.msg, c.w, c.l);
        EXPECT_EQ(top(), c.top) << "message " << c.msg << " " << LOWORD(c.w);
        EXPECT_EQ(GetScrollPos(lv, SB_VERT), top());
    }
    // LVM_SCROLL counts pixels: three rows down.
    RECT r0{LVIR_BOUNDS, 0, 0, 0};
    SendMessage(lv, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r0));
    int rowH = r0.bottom - r0.top;
    SendMessage(lv, LVM_SCROLL, 0, 3 * rowH);
    EXPECT_EQ(top(), 5);
    SendMessage(lv, LVM_ENSUREVISIBLE, 40, 0);
    EXPECT_EQ(top(), 40 - page + 1);
    // Wide columns bring the horizontal bar, which moves the header with the rows.
    SendMessage(lv, LVM_SETCOLUMNWIDTH, 2, 400);
    EXPECT_TRUE(GetWindowLongPtr(lv, GWL_STYLE) & WS_HSCROLL);
    SendMessage(lv, WM_HSCROLL, SB_THUMBPOSITION | (50 << 16), 0);
    RECT h{};
    GetWindowRect(HWND(SendMessage(lv, LVM_GETHEADER, 0, 0)), &h);
    RECT me{};
    GetWindowRect(lv, &me);
    EXPECT_EQ(h.left - me.left, -50);
    // Deleting items until all fit removes the vertical bar and scrolls home.
    SendMessage(lv, LVM_DELETEALLITEMS, 0, 0);
    EXPECT_FALSE(GetWindowLongPtr(lv, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(top(), 0);
}

TEST_F(ListFixture, TheScrollBarTakesClicksOnItsArrowsAndTrack) {
    fill(50);
    RECT w{};
    GetWindowRect(lv, &w);
    RECT c{};
    GetClientRect(lv, &c);
    // Below the up arrow, beside the bar's lower arrow.
    POINT downArrow{w.left + c.right + 5, w.top + c.bottom - 5};
    DeliverMouse(WM_LBUTTONUP, downArrow, 0); // queued first: the press ends at once
    SendMessage(lv, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(downArrow.x, downArrow.y));
    CtlHost::Pump();
    EXPECT_EQ(top(), 1);
    POINT track{w.left + c.right + 5, w.top + c.bottom - 30};
    DeliverMouse(WM_LBUTTONUP, track, 0);
    SendMessage(lv, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(track.x, track.y));
    CtlHost::Pump();
    EXPECT_EQ(top(), 1 + int(SendMessage(lv, LVM_GETCOUNTPERPAGE, 0, 0)));
    EXPECT_EQ(SendMessage(lv, WM_NCHITTEST, 0, MAKELPARAM(track.x, track.y)), HTVSCROLL);
}

TEST_F(ListFixture, HeaderDividerDragResizesTheColumn) {
    fill(3);
    HWND header = HWND(SendMessage(lv, LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(IsWindowVisible(header));
    RECT first{};
    SendMessage(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    HDHITTESTINFO hit;
    hit.pt = POINT{first.right, 4};
    EXPECT_EQ(SendMessage(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 0);
    EXPECT_EQ(hit.flags, HHT_ONDIVIDER);
    POINT from{first.right, 4}, to{first.right + 40, 4};
    ClientToScreen(header, &from);
    ClientToScreen(header, &to);
    DeliverMouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
    CtlHost::Pump();
    DeliverMouse(WM_MOUSEMOVE, to, MK_LBUTTON);
    CtlHost::Pump();
    DeliverMouse(WM_LBUTTONUP, to, 0);
    CtlHost::Pump();
    EXPECT_EQ(SendMessage(lv, LVM_GETCOLUMNWIDTH, 0, 0), 140);
    RECT cell{LVIR_BOUNDS, 1, 0, 0};
    SendMessage(lv, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
    EXPECT_EQ(cell.left, 140); // the second column moved with it
    EXPECT_FALSE(host.Codes(HDN_BEGINTRACK).empty());
    EXPECT_FALSE(host.Codes(HDN_ENDTRACK).empty());
    // A parent that refuses the drag keeps the width.
    host.onNotify = [](NMHDR* nm, LRESULT* answer) {
        *answer = 1;
        return nm->code == HDN_BEGINTRACK;
    };
    DeliverMouse(WM_LBUTTONDOWN, to, MK_LBUTTON);
    CtlHost::Pump();
    DeliverMouse(WM_MOUSEMOVE, from, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, from, 0);
    CtlHost::Pump();
    EXPECT_EQ(SendMessage(lv, LVM_GETCOLUMNWIDTH, 0, 0), 140);
    // A click on a section is a column click for the list's parent.
    host.notes.clear();
    CtlHost::Click(header, first.left + 150, 4);
    auto clicks = host.Codes(LVN_COLUMNCLICK);
    ASSERT_EQ(clicks.size(), 1u);
    for (const Note& n : host.notes)
        if (n.code == LVN_COLUMNCLICK) EXPECT_EQ(n.item, 1);
    // Order arrays must be permutations.
    int bad[3] = {0, 0, 1};
    EXPECT_EQ(SendMessage(header, HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(bad)), 0);
    int good[3] = {2, 0, 1};
    EXPECT_EQ(SendMessage(lv, LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(good)), 1);
    RECT moved{};
    SendMessage(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&moved));
    EXPECT_EQ(moved.left, 0);
}

TEST_F(ListFixture, DrawsSelectionAndLetsTheParentDrawItems) {
    fill(4);
    clickRow(1);
    HBITMAP shot = RenderWindowToBitmap(lv);
    ASSERT_NE(shot, nullptr);
    POINT sel = rowPoint(1, 200), plain = rowPoint(2, 200);
    EXPECT_EQ(asColorref(pixel(shot, sel.x, sel.y)), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(asColorref(pixel(shot, plain.x, plain.y)), GetSysColor(COLOR_WINDOW));
    DeleteObject(shot);
    // A parent asking for item drawing paints row 2 itself and skips the rest.
    int itemStages = 0;
    host.onNotify = [&](NMHDR* nm, LRESULT* answer) {
        if (nm->code != NM_CUSTOMDRAW) return false;
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
        if (cd->nmcd.drawStage == CDDS_PREPAINT) {
            *answer = CDRF_NOTIFYITEMDRAW;
        } else if (cd->nmcd.drawStage == CDDS_ITEMPREPAINT) {
            ++itemStages;
            if (cd->nmcd.itemSpec == 2) {
                HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
                FillRect(cd->nmcd.hdc, &cd->nmcd.rc, red);
                DeleteObject(red);
                *answer = CDRF_SKIPDEFAULT;
            } else {
                *answer = CDRF_DODEFAULT;
            }
        }
        return true;
    };
    shot = RenderWindowToBitmap(lv);
    EXPECT_EQ(itemStages, 4);
    EXPECT_EQ(pixel(shot, plain.x, plain.y), 0xFF0000u);
    EXPECT_EQ(asColorref(pixel(shot, sel.x, sel.y)), GetSysColor(COLOR_HIGHLIGHT));
    // WM_PRINT draws the same picture into another device context.
    HDC mem = CreateCompatibleDC(nullptr);
    RECT w{};
    GetWindowRect(lv, &w);
    HBITMAP bmp = CreateBitmap(w.right - w.left, w.bottom - w.top, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessage(lv, WM_PRINT, reinterpret_cast<WPARAM>(mem),
                PRF_NONCLIENT | PRF_CLIENT | PRF_CHILDREN);
    int differ = 0;
    for (int y = 0; y < w.bottom - w.top; ++y)
        for (int x = 0; x < w.right - w.left; ++x)
            differ += pixel(shot, x, y) != pixel(bmp, x, y);
    EXPECT_EQ(differ, 0);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    DeleteObject(shot);
}

TEST_F(ListFixture, RedrawOffHoldsPaintingAndBarsUntilOn) {
    int paints = 0;
    host.onNotify = [&](NMHDR* nm, LRESULT*) {
        paints += nm->code == NM_CUSTOMDRAW;
        return false;
    };
    SendMessage(lv, WM_SETREDRAW, 0, 0);
    for (int i = 0; i < 60; ++i)
        addItem("r" + std::to_string(i));
    UpdateWindow(lv);
    CtlHost::Pump();
    EXPECT_EQ(paints, 0);
    EXPECT_FALSE(GetWindowLongPtr(lv, GWL_STYLE) & WS_VSCROLL);
    SendMessage(lv, WM_SETREDRAW, 1, 0);
    EXPECT_TRUE(GetWindowLongPtr(lv, GWL_STYLE) & WS_VSCROLL);
    UpdateWindow(lv);
    EXPECT_GT(paints, 0);
}

TEST_F(ListFixture, OwnerDataAsksTheParentForTexts) {
    HWND od = CreateWindowEx(0, WC_LISTVIEW, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                             10, 10, 240, 160, host.hwnd, 8, nullptr, nullptr);
    LVCOLUMN c;
    c.mask = LVCF_WIDTH;
    c.cx = 120;
    SendMessage(od, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&c));
    SendMessage(od, LVM_SETITEMCOUNT, 10000, 0);
    host.onNotify = [](NMHDR* nm, LRESULT*) {
        if (nm->code == LVN_GETDISPINFO) {
            auto* di = reinterpret_cast<NMLVDISPINFO*>(nm);
            std::string t = "row " + std::to_string(di->item.item);
            snprintf(di->item.text, size_t(di->item.textMax), "%s", t.c_str());
        }
        return false;
    };
    EXPECT_EQ(SendMessage(od, LVM_GETITEMCOUNT, 0, 0), 10000);
    char buf[32];
    LVITEM it;
    it.text = buf;
    it.textMax = sizeof buf;
    SendMessage(od, LVM_GETITEMTEXT, 9876, reinterpret_cast<LPARAM>(&it));
    EXPECT_STREQ(buf, "row 9876");
    LVITEM st;
    st.state = st.stateMask = LVIS_SELECTED;
    SendMessage(od, LVM_SETITEMSTATE, 5000, reinterpret_cast<LPARAM>(&st));
    SendMessage(od, LVM_SETITEMSTATE, 17, reinterpret_cast<LPARAM>(&st));
    EXPECT_EQ(SendMessage(od, LVM_GETSELECTEDCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessage(od, LVM_GETNEXTITEM, 17, LVNI_SELECTED), 5000);
    LVITEM ins;
    EXPECT_EQ(SendMessage(od, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)), -1);
    SendMessage(od, LVM_SETITEMCOUNT, WPARAM(-1), 0); // far too many is capped
    EXPECT_GT(SendMessage(od, LVM_GETITEMCOUNT, 0, 0), 0);
    SendMessage(od, LVM_SETITEMCOUNT, 100, 0);
    EXPECT_EQ(SendMessage(od, LVM_GETSELECTEDCOUNT, 0, 0), 1); // 5000 went with the count
    HBITMAP shot = RenderWindowToBitmap(od);
    EXPECT_NE(shot, nullptr);
    DeleteObject(shot);
}

TEST_F(ListFixture, DestroyedListsAndListsDestroyedMidNotificationStayQuiet) {
    fill(5);
    // The parent destroys the list while it reports a change.
    host.onNotify = [&](NMHDR* nm, LRESULT*) {
        if (nm->code == LVN_ITEMCHANGED && IsWindow(nm->hwndFrom)) DestroyWindow(nm->hwndFrom);
        return false;
    };
    clickRow(2);
    EXPECT_FALSE(IsWindow(lv));
    LVITEM it;
    it.mask = LVIF_TEXT;
    it.text = const_cast<char*>("late");
    EXPECT_EQ(SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it)), 0);
    EXPECT_EQ(SendMessage(lv, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessage(lv, WM_PAINT, 0, 0), 0);
    CtlHost::Pump();
}

namespace {

WNDPROC g_listProc = nullptr;

// As a skinned list does: no frame and no bars of its own.
LRESULT framelessList(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCALCSIZE || msg == WM_NCPAINT) return 0;
    return CallWindowProc(g_listProc, hwnd, msg, wParam, lParam);
}

} // namespace

TEST_F(ListFixture, ASubclassCanTakeTheFrameAndBarsAwayWhileRangesStay) {
    SetWindowLongPtr(lv, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(lv, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(framelessList)));
    fill(50);
    SetWindowPos(lv, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT c{};
    GetClientRect(lv, &c);
    EXPECT_EQ(c, (RECT{0, 0, 240, 160})); // the whole window is client
    int lo = -1, hi = -1;
    GetScrollRange(lv, SB_VERT, &lo, &hi);
    EXPECT_EQ(hi, 49);
    SendMessage(lv, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(GetScrollPos(lv, SB_VERT), top());
    EXPECT_GT(top(), 0);
    // Rows reach the right edge where the bar would be.
    HBITMAP shot = RenderWindowToBitmap(lv);
    POINT row = rowPoint(top() + 1, 235);
    EXPECT_EQ(asColorref(pixel(shot, row.x, row.y)), GetSysColor(COLOR_WINDOW));
    DeleteObject(shot);
}
