// The standard window classes driven by messages and synthetic input.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/gdi/gdi.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/button.h"
#include "platform/win/controls/edit.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/controls/scrollbar.h"
#include "platform/win/controls/static.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"
#include "support/headless.h"

namespace {

struct Note {
    UINT msg;
    UINT code;
    HWND from;
    WPARAM wParam;
};
std::vector<Note> g_notes;
std::vector<MEASUREITEMSTRUCT> g_measured;
int g_hostClicks = 0;
std::vector<DRAWITEMSTRUCT> g_drawn;
int g_variableHeight = 0;

LRESULT hostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        g_notes.push_back(Note{msg, HIWORD(wParam), HWND(lParam), wParam});
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        g_notes.push_back(Note{msg, LOWORD(wParam), HWND(lParam), wParam});
        return 0;
    case WM_MEASUREITEM: {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (g_variableHeight) mi->itemHeight = UINT(g_variableHeight + mi->itemID);
        g_measured.push_back(*mi);
        return 1;
    }
    case WM_LBUTTONDOWN:
        ++g_hostClicks;
        return 0;
    case WM_DRAWITEM:
        g_drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return 1;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

using headlesstest::pump;

using headlesstest::pixel;

COLORREF rgbOf(int sysColor) {
    COLORREF c = GetSysColor(sysColor);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterStandardControls();
        WNDCLASS wc;
        if (!GetClassInfo(nullptr, "ControlHost", &wc)) {
            wc.lpfnWndProc = hostProc;
            wc.lpszClassName = "ControlHost";
            wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            RegisterClass(wc);
        }
        host = CreateWindowEx(0, "ControlHost", "host", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300,
                              0, 0, nullptr, nullptr);
        ASSERT_NE(host, 0u);
        SetActiveWindow(host);
        g_notes.clear();
        g_measured.clear();
        g_drawn.clear();
        g_variableHeight = 0;
        SetClipboardText("");
    }
    void TearDown() override {
        if (auto* h = display::CurrentHeadless()) {
            h->SetKeyDown(VK_SHIFT, false);
            h->SetKeyDown(VK_CONTROL, false);
        }
        DestroyWindow(host);
        pump();
    }

    HWND make(const char* cls, DWORD style, int x, int y, int w, int h, const char* text = "",
              int id = 7) {
        return CreateWindowEx(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, host, id,
                              nullptr, nullptr);
    }

    // Mouse input at a point of a control, as a backend delivers it.
    void mouse(HWND h, UINT msg, int x, int y, WPARAM keys = 0) {
        POINT p{x, y};
        ClientToScreen(h, &p);
        DeliverMouse(msg, p, keys);
        pump();
    }
    void click(HWND h, int x, int y, WPARAM keys = 0) {
        mouse(h, WM_LBUTTONDOWN, x, y, keys | MK_LBUTTON);
        mouse(h, WM_LBUTTONUP, x, y, keys);
    }
    // A click whose press starts a loop of its own that waits for the release.
    void clickQueued(HWND h, int x, int y) {
        POINT p{x, y};
        ClientToScreen(h, &p);
        DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
        DeliverMouse(WM_LBUTTONUP, p, 0);
        pump();
    }
    void key(int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        DeliverKey(false, vk, 0);
        pump();
    }
    void type(const std::string& s) {
        for (char c : s)
            key(c >= 'a' && c <= 'z' ? c - 32 : c, char32_t(static_cast<unsigned char>(c)));
    }
    void hold(int vk, bool down) { display::CurrentHeadless()->SetKeyDown(vk, down); }
    int count(UINT code, HWND from) {
        int n = 0;
        for (const Note& x : g_notes)
            n += x.msg == WM_COMMAND && x.code == code && x.from == from;
        return n;
    }
    static std::pair<int, int> sel(HWND e) {
        DWORD s = 0, t = 0;
        SendMessage(e, EM_GETSEL, WPARAM(&s), LPARAM(&t));
        return {int(s), int(t)};
    }

    HWND host = 0;
};

} // namespace

TEST_F(Controls, EditTypesSelectsAndUsesTheClipboard) {
    HWND e = make("EDIT", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 24);
    ASSERT_NE(e, 0u);
    click(e, 5, 5);
    EXPECT_EQ(GetFocus(), e);
    type("hello world");
    EXPECT_EQ(GetWindowText(e), "hello world");
    EXPECT_EQ(sel(e), std::make_pair(11, 11));
    EXPECT_GE(count(EN_CHANGE, e), 11);

    // Shift+Left twice selects "ld"; typing replaces it.
    hold(VK_SHIFT, true);
    key(VK_LEFT);
    key(VK_LEFT);
    hold(VK_SHIFT, false);
    EXPECT_EQ(sel(e), std::make_pair(9, 11));
    hold(VK_CONTROL, true);
    key('C', U'c');
    hold(VK_CONTROL, false);
    EXPECT_EQ(GetClipboardText(), "ld");
    type("LD!");
    EXPECT_EQ(GetWindowText(e), "hello worLD!");

    // Undo takes the whole typing run back; a second undo redoes it.
    EXPECT_EQ(SendMessage(e, EM_CANUNDO, 0, 0), 1);
    SendMessage(e, WM_UNDO, 0, 0);
    EXPECT_EQ(GetWindowText(e), "hello world");
    SendMessage(e, EM_UNDO, 0, 0);
    EXPECT_EQ(GetWindowText(e), "hello worLD!");

    // Cut the first word with Ctrl+X, paste it at the end with Ctrl+V.
    SendMessage(e, EM_SETSEL, 0, 6);
    hold(VK_CONTROL, true);
    key('X', U'x');
    EXPECT_EQ(GetWindowText(e), "worLD!");
    SendMessage(e, EM_SETSEL, 6, 6);
    key('V', U'v');
    hold(VK_CONTROL, false);
    EXPECT_EQ(GetWindowText(e), "worLD!hello ");
    EXPECT_EQ(GetClipboardText(), "hello ");

    // Home, Shift+End and Delete clear it; Backspace on empty text does nothing.
    key(VK_HOME);
    hold(VK_SHIFT, true);
    key(VK_END);
    hold(VK_SHIFT, false);
    key(VK_DELETE);
    EXPECT_EQ(GetWindowText(e), "");
    key(VK_BACK, 8);
    EXPECT_EQ(GetWindowText(e), "");
}

TEST_F(Controls, EditReadOnlyPasswordAndLimit) {
    HWND e = make("EDIT", ES_AUTOHSCROLL, 10, 10, 200, 24, "fixed");
    SetFocus(e);
    SendMessage(e, EM_SETREADONLY, 1, 0);
    SetClipboardText("zz");
    SendMessage(e, EM_SETSEL, 0, -1);
    type("x");
    key(VK_DELETE);
    SendMessage(e, WM_PASTE, 0, 0);
    SendMessage(e, WM_CUT, 0, 0);
    EXPECT_EQ(GetWindowText(e), "fixed");
    SendMessage(e, WM_COPY, 0, 0);
    EXPECT_EQ(GetClipboardText(), "fixed");
    // Programmatic replacement still works on a read-only field.
    SendMessage(e, EM_REPLACESEL, 0, LPARAM("set"));
    EXPECT_EQ(GetWindowText(e), "set");
    SendMessage(e, EM_SETREADONLY, 0, 0);

    // A password field never gives its text to the clipboard.
    SendMessage(e, EM_SETPASSWORDCHAR, '*', 0);
    EXPECT_EQ(SendMessage(e, EM_GETPASSWORDCHAR, 0, 0), '*');
    SendMessage(e, EM_SETSEL, 0, -1);
    SendMessage(e, WM_COPY, 0, 0);
    EXPECT_EQ(GetClipboardText(), "fixed");
    SendMessage(e, EM_SETPASSWORDCHAR, 0, 0);

    // The limit cuts typing and pasting and says so.
    SetWindowText(e, "");
    SendMessage(e, EM_LIMITTEXT, 4, 0);
    g_notes.clear();
    type("abcdef");
    EXPECT_EQ(GetWindowText(e), "abcd");
    EXPECT_GE(count(EN_MAXTEXT, e), 1);
    SetClipboardText("123456");
    SendMessage(e, EM_SETSEL, 1, 3);
    SendMessage(e, WM_PASTE, 0, 0);
    EXPECT_EQ(GetWindowText(e), "a12d");

    // ES_NUMBER refuses other characters.
    HWND n = make("EDIT", ES_NUMBER, 10, 40, 100, 24);
    SetFocus(n);
    type("a1b2");
    EXPECT_EQ(GetWindowText(n), "12");
}

TEST_F(Controls, EditMultiLineLinesAndScrolling) {
    HWND e = make("EDIT", ES_MULTILINE | ES_AUTOHSCROLL | WS_VSCROLL, 10, 10, 200, 60);
    SetFocus(e);
    type("one");
    key(VK_RETURN, 13);
    type("two");
    EXPECT_EQ(GetWindowText(e), "one\r\ntwo");
    EXPECT_EQ(SendMessage(e, EM_GETLINECOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessage(e, EM_LINEINDEX, 1, 0), 5);
    EXPECT_EQ(SendMessage(e, EM_LINEFROMCHAR, 6, 0), 1);
    EXPECT_EQ(SendMessage(e, EM_LINELENGTH, 6, 0), 3);
    // Left from the start of a line steps over the whole line break.
    SendMessage(e, EM_SETSEL, 5, 5);
    key(VK_LEFT);
    EXPECT_EQ(sel(e), std::make_pair(3, 3));
    key(VK_DOWN);
    EXPECT_EQ(SendMessage(e, EM_LINEFROMCHAR, -1, 0), 1);

    std::string many;
    for (int i = 0; i < 40; ++i)
        many += "line " + std::to_string(i) + "\r\n";
    SetWindowText(e, many);
    EXPECT_EQ(SendMessage(e, EM_GETLINECOUNT, 0, 0), 41);
    EXPECT_EQ(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessage(e, WM_VSCROLL, SB_PAGEDOWN, 0);
    int first = int(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, 0);
    EXPECT_EQ(GetScrollPos(e, SB_VERT), first);
    // Moving the caret to the end brings the last line into view.
    SendMessage(e, EM_SETSEL, -1, -1);
    SendMessage(e, EM_SETSEL, int(many.size()), int(many.size()));
    SendMessage(e, EM_SCROLLCARET, 0, 0);
    EXPECT_GT(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), first);

    // Word wrap without ES_AUTOHSCROLL.
    HWND w = make("EDIT", ES_MULTILINE, 10, 80, 60, 80);
    SetWindowText(w, "aaaa bbbb cccc dddd eeee");
    EXPECT_GT(SendMessage(w, EM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(Controls, EditMouseSelectionAndPixels) {
    HWND e = make("EDIT", ES_AUTOHSCROLL, 10, 10, 200, 24, "abcdef");
    click(e, 1, 5);
    EXPECT_EQ(sel(e), std::make_pair(0, 0));
    // Drag to the far right selects everything.
    mouse(e, WM_LBUTTONDOWN, 1, 5, MK_LBUTTON);
    mouse(e, WM_MOUSEMOVE, 190, 5, MK_LBUTTON);
    mouse(e, WM_LBUTTONUP, 190, 5);
    EXPECT_EQ(sel(e), std::make_pair(0, 6));
    // The selection shows in the highlight colour.
    HBITMAP shot = RenderWindowToBitmap(e);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(pixel(shot, 3, 2), uint32_t(rgbOf(COLOR_HIGHLIGHT)));
    EXPECT_EQ(pixel(shot, 150, 2), uint32_t(rgbOf(COLOR_WINDOW)));
    DeleteObject(shot);
    // Double click selects a word.
    SetWindowText(e, "one two");
    mouse(e, WM_LBUTTONDBLCLK, 1, 5, MK_LBUTTON);
    mouse(e, WM_LBUTTONUP, 1, 5);
    EXPECT_EQ(sel(e), std::make_pair(0, 3));
}

TEST_F(Controls, EditBadInput) {
    HWND e = make("EDIT", ES_AUTOHSCROLL, 10, 10, 200, 24);
    // Bytes that are not UTF-8 come back unchanged.
    std::string odd = std::string("a\xff\xfe", 3) + "\xc3\xa9" + std::string("\x80z\0", 2);
    SetWindowText(e, odd);
    EXPECT_EQ(GetWindowText(e), odd);
    EXPECT_EQ(GetWindowTextLength(e), int(odd.size()));
    DeleteObject(RenderWindowToBitmap(e)); // draws replacement marks, no crash
    // Selections out of range are clamped.
    SendMessage(e, EM_SETSEL, 100, 200);
    EXPECT_EQ(sel(e), std::make_pair(6, 6));
    EXPECT_EQ(SendMessage(e, EM_LINEINDEX, 5, 0), -1);
    EXPECT_EQ(SendMessage(e, EM_POSFROMCHAR, 1000, 0), -1);
    EXPECT_EQ(SendMessage(e, WM_GETTEXT, 0, 0), 0);
    // A huge text is cut at the field's limit.
    std::string huge(1 << 20, 'x');
    SetWindowText(e, huge);
    EXPECT_EQ(GetWindowTextLength(e), 32767);
    HBITMAP shot = RenderWindowToBitmap(e);
    DeleteObject(shot);
    // A multi-line field takes it whole.
    HWND m = make("EDIT", ES_MULTILINE | ES_AUTOHSCROLL, 10, 40, 200, 60);
    SetWindowText(m, huge);
    EXPECT_EQ(GetWindowTextLength(m), 1 << 20);
    SendMessage(m, EM_SETSEL, 1 << 20, 1 << 20);
    shot = RenderWindowToBitmap(m);
    DeleteObject(shot);
    // Messages to a destroyed window are no-ops.
    DestroyWindow(e);
    EXPECT_EQ(SendMessage(e, EM_SETSEL, 0, 1), 0);
    EXPECT_EQ(SendMessage(e, WM_PASTE, 0, 0), 0);
    EXPECT_EQ(GetWindowText(e), "");
}

TEST_F(Controls, ListBoxItemsAndBadIndexes) {
    HWND lb = make("LISTBOX", LBS_NOTIFY | LBS_SORT | WS_VSCROLL, 10, 10, 150, 100);
    for (const char* s : {"pear", "Apple", "fig"})
        SendMessage(lb, LB_ADDSTRING, 0, LPARAM(s));
    EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ListBoxItemText(lb, 0), "Apple");
    EXPECT_EQ(ListBoxItemText(lb, 2), "pear");
    EXPECT_EQ(SendMessage(lb, LB_INSERTSTRING, 1, LPARAM("kiwi")), 1);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRING, WPARAM(-1), LPARAM("F")), 2);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("PEAR")), 3);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("plum")), LB_ERR);
    char buf[16] = {};
    EXPECT_EQ(SendMessage(lb, LB_GETTEXT, 1, LPARAM(buf)), 4);
    EXPECT_STREQ(buf, "kiwi");
    SendMessage(lb, LB_SETITEMDATA, 1, 42);
    EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 1, 0), 42);

    struct Bad {
        UINT msg;
        WPARAM w;
        LPARAM l;
    };
    for (Bad b : {Bad{LB_GETTEXT, 99, LPARAM(buf)}, Bad{LB_GETTEXT, 0, 0}, Bad{LB_GETTEXTLEN, 4, 0},
                  Bad{LB_DELETESTRING, WPARAM(-5), 0}, Bad{LB_INSERTSTRING, 50, LPARAM("x")},
                  Bad{LB_GETITEMDATA, 7, 0}, Bad{LB_SETITEMDATA, 7, 1}, Bad{LB_GETSEL, 4, 0},
                  Bad{LB_SETCURSEL, 12, 0}, Bad{LB_GETITEMRECT, 8, LPARAM(buf)},
                  Bad{LB_SETTOPINDEX, 30, 0}, Bad{LB_SETSEL, 1, 0}, Bad{LB_GETSELCOUNT, 0, 0}})
        EXPECT_EQ(SendMessage(lb, b.msg, b.w, b.l), LB_ERR) << std::hex << b.msg;
    EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 4);

    // Item texts with any bytes, and a long one.
    std::string odd("\x01\xff\n\t\0z", 6);
    int at = int(SendMessage(lb, LB_INSERTSTRING, WPARAM(-1), LPARAM(odd.c_str())));
    EXPECT_EQ(ListBoxItemText(lb, at), std::string("\x01\xff\n\t"));
    std::string longText(100000, 'w');
    at = int(SendMessage(lb, LB_INSERTSTRING, WPARAM(-1), LPARAM(longText.c_str())));
    EXPECT_EQ(SendMessage(lb, LB_GETTEXTLEN, at, 0), 100000);
    DeleteObject(RenderWindowToBitmap(lb));

    EXPECT_EQ(SendMessage(lb, LB_DELETESTRING, 0, 0), 5);
    SendMessage(lb, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), LB_ERR);
    DestroyWindow(lb);
    EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("late")), 0);
    EXPECT_EQ(ListBoxItemText(lb, 0), "");
}

TEST_F(Controls, ListBoxSingleSelectionScrollsAndNotifies) {
    HWND lb = make("LISTBOX", LBS_NOTIFY | WS_VSCROLL, 10, 10, 150, 100);
    for (int i = 0; i < 30; ++i)
        SendMessage(lb, LB_ADDSTRING, 0, LPARAM(("item " + std::to_string(i)).c_str()));
    int h = int(SendMessage(lb, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_GT(h, 0);
    // The bar takes its place on the right and shows the page.
    RECT c{};
    GetClientRect(lb, &c);
    EXPECT_EQ(c.right, 150 - GetSystemMetrics(SM_CXVSCROLL));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(lb, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 29);
    EXPECT_EQ(int(si.nPage), 100 / h);

    click(lb, 5, h * 2 + 1);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(count(LBN_SELCHANGE, lb), 1);
    // Clicking the selected item again changes nothing.
    click(lb, 5, h * 2 + 1);
    EXPECT_EQ(count(LBN_SELCHANGE, lb), 1);
    key(VK_DOWN);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 3);
    key(VK_END);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 29);
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 30 - 100 / h);
    EXPECT_EQ(count(LBN_SELCHANGE, lb), 3);
    key(VK_HOME);
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 0);
    // Typing a letter jumps to the next item starting with it.
    key('I', U'i');
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 1);

    // Programmatic selection does not notify.
    g_notes.clear();
    SendMessage(lb, LB_SETCURSEL, 20, 0);
    EXPECT_EQ(count(LBN_SELCHANGE, lb), 0);
    EXPECT_GE(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 20 - 100 / h + 1);

    // The wheel and the scroll bar move the top item.
    SendMessage(lb, LB_SETTOPINDEX, 10, 0);
    POINT p{20, 20};
    ClientToScreen(lb, &p);
    DeliverMouse(WM_MOUSEWHEEL, p, 0, -120);
    pump();
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 13);
    // A click on the bar's lower arrow scrolls one line.
    RECT w{};
    GetWindowRect(lb, &w);
    POINT arrow{w.right - 3, w.bottom - 3};
    DeliverMouse(WM_LBUTTONDOWN, arrow, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, arrow, 0);
    pump();
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 14);
    EXPECT_EQ(GetScrollPos(lb, SB_VERT), 14);

    // A double click notifies as well.
    g_notes.clear();
    mouse(lb, WM_LBUTTONDBLCLK, 5, 1, MK_LBUTTON);
    mouse(lb, WM_LBUTTONUP, 5, 1);
    EXPECT_EQ(count(LBN_DBLCLK, lb), 1);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 14);

    // The selected item is drawn in the highlight colour.
    HBITMAP shot = RenderWindowToBitmap(lb);
    EXPECT_EQ(pixel(shot, 100, h / 2), uint32_t(rgbOf(COLOR_HIGHLIGHT)));
    EXPECT_EQ(pixel(shot, 100, h + h / 2), uint32_t(rgbOf(COLOR_WINDOW)));
    DeleteObject(shot);
}

TEST_F(Controls, ListBoxMultipleAndExtendedSelection) {
    HWND ext = make("LISTBOX", LBS_NOTIFY | LBS_EXTENDEDSEL, 10, 10, 150, 200);
    HWND mul = make("LISTBOX", LBS_NOTIFY | LBS_MULTIPLESEL, 170, 10, 150, 200, "", 8);
    for (HWND lb : {ext, mul})
        for (int i = 0; i < 8; ++i)
            SendMessage(lb, LB_ADDSTRING, 0, LPARAM(std::to_string(i).c_str()));
    int h = int(SendMessage(ext, LB_GETITEMHEIGHT, 0, 0));
    auto selected = [](HWND lb) {
        int items[16];
        int n = int(SendMessage(lb, LB_GETSELITEMS, 16, LPARAM(items)));
        return std::vector<int>(items, items + std::max(n, 0));
    };
    click(ext, 5, h + 1);
    click(ext, 5, h * 3 + 1, MK_SHIFT);
    EXPECT_EQ(selected(ext), (std::vector<int>{1, 2, 3}));
    click(ext, 5, h * 6 + 1, MK_CONTROL);
    EXPECT_EQ(selected(ext), (std::vector<int>{1, 2, 3, 6}));
    click(ext, 5, h * 5 + 1);
    EXPECT_EQ(selected(ext), (std::vector<int>{5}));
    EXPECT_EQ(SendMessage(ext, LB_GETSELCOUNT, 0, 0), 1);
    hold(VK_SHIFT, true);
    key(VK_DOWN);
    hold(VK_SHIFT, false);
    EXPECT_EQ(selected(ext), (std::vector<int>{5, 6}));

    click(mul, 5, h * 2 + 1);
    click(mul, 5, h * 4 + 1);
    click(mul, 5, h * 2 + 1);
    EXPECT_EQ(selected(mul), (std::vector<int>{4}));
    key(VK_DOWN);
    key(VK_SPACE, U' ');
    EXPECT_EQ(selected(mul), (std::vector<int>{3, 4}));
    SendMessage(mul, LB_SETSEL, 1, -1);
    EXPECT_EQ(SendMessage(mul, LB_GETSELCOUNT, 0, 0), 8);
    EXPECT_EQ(SendMessage(mul, LB_SETCURSEL, 1, 0), LB_ERR);
}

TEST_F(Controls, ListBoxOwnerDraw) {
    g_variableHeight = 10;
    HWND var = make("LISTBOX", LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS, 10, 10, 150, 100);
    for (int i = 0; i < 4; ++i)
        SendMessage(var, LB_ADDSTRING, 0, LPARAM("v"));
    ASSERT_EQ(g_measured.size(), 4u);
    EXPECT_EQ(SendMessage(var, LB_GETITEMHEIGHT, 3, 0), 13);
    RECT r{};
    SendMessage(var, LB_GETITEMRECT, 2, LPARAM(&r));
    EXPECT_EQ(r.top, 10 + 11);
    EXPECT_EQ(r.bottom, 10 + 11 + 12);
    SendMessage(var, LB_SETCURSEL, 2, 0);
    g_drawn.clear();
    DeleteObject(RenderWindowToBitmap(var));
    std::erase_if(g_drawn, [&](const DRAWITEMSTRUCT& d) { return d.hwndItem != var; });
    ASSERT_EQ(g_drawn.size(), 4u);
    EXPECT_EQ(g_drawn[2].CtlType, UINT(ODT_LISTBOX));
    EXPECT_EQ(g_drawn[2].itemState & ODS_SELECTED, UINT(ODS_SELECTED));
    EXPECT_EQ(g_drawn[1].itemState & ODS_SELECTED, 0u);
    EXPECT_EQ(g_drawn[2].rcItem.top, r.top);

    // Fixed owner-drawn items without strings keep their data.
    g_variableHeight = 0;
    HWND fixed = make("LISTBOX", LBS_OWNERDRAWFIXED, 170, 10, 150, 100);
    SendMessage(fixed, LB_SETITEMHEIGHT, 0, 26);
    SendMessage(fixed, LB_ADDSTRING, 0, 1234);
    EXPECT_EQ(SendMessage(fixed, LB_GETITEMDATA, 0, 0), 1234);
    EXPECT_EQ(SendMessage(fixed, LB_GETITEMHEIGHT, 0, 0), 26);
    EXPECT_EQ(SendMessage(fixed, LB_SETITEMHEIGHT, 0, 0), LB_ERR);
    g_drawn.clear();
    DeleteObject(RenderWindowToBitmap(fixed));
    std::erase_if(g_drawn, [&](const DRAWITEMSTRUCT& d) { return d.hwndItem != fixed; });
    ASSERT_EQ(g_drawn.size(), 1u);
    EXPECT_EQ(g_drawn[0].itemData, 1234u);
    EXPECT_EQ(g_drawn[0].rcItem.bottom, 26);
}

TEST_F(Controls, ButtonsClickCheckAndGroup) {
    HWND push = make("BUTTON", BS_PUSHBUTTON, 10, 10, 80, 24, "Push", 1);
    HWND check = make("BUTTON", BS_AUTOCHECKBOX, 10, 40, 120, 20, "Check", 2);
    HWND r1 = make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 10, 70, 120, 20, "One", 3);
    HWND r2 = make("BUTTON", BS_AUTORADIOBUTTON, 10, 90, 120, 20, "Two", 4);
    HWND other = make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 10, 110, 120, 20, "Other", 5);
    HWND group = make("BUTTON", BS_GROUPBOX, 150, 10, 200, 150, "Group", 6);
    click(push, 10, 10);
    EXPECT_EQ(count(BN_CLICKED, push), 1);
    // Pressing and dragging off before release is no click.
    mouse(push, WM_LBUTTONDOWN, 10, 10, MK_LBUTTON);
    EXPECT_EQ(SendMessage(push, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    mouse(push, WM_MOUSEMOVE, 200, 10, MK_LBUTTON);
    mouse(push, WM_LBUTTONUP, 200, 10);
    EXPECT_EQ(count(BN_CLICKED, push), 1);
    // Space on the focused button clicks it.
    SetFocus(push);
    key(VK_SPACE, U' ');
    EXPECT_EQ(count(BN_CLICKED, push), 2);

    click(check, 5, 10);
    EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessage(check, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(count(BN_CLICKED, check), 2);
    // A two-state box takes an indeterminate state as checked.
    SendMessage(check, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_CHECKED);

    SendMessage(other, BM_SETCHECK, BST_CHECKED, 0);
    click(r1, 5, 10);
    click(r2, 5, 10);
    EXPECT_EQ(SendMessage(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessage(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessage(other, BM_GETCHECK, 0, 0), BST_CHECKED); // another group

    // The group box lets the click through; it never notifies.
    g_hostClicks = 0;
    click(group, 50, 50);
    EXPECT_EQ(g_hostClicks, 1);
    EXPECT_EQ(count(BN_CLICKED, group), 0);
    EXPECT_EQ(SendMessage(group, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
    EXPECT_EQ(SendMessage(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    // A checked box shows its mark.
    SendMessage(check, BM_SETCHECK, BST_CHECKED, 0);
    HBITMAP shot = RenderWindowToBitmap(check);
    int marks = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 13; ++x)
            marks += pixel(shot, x, y) == uint32_t(rgbOf(COLOR_WINDOWTEXT));
    EXPECT_GT(marks, 10);
    DeleteObject(shot);
}

TEST_F(Controls, StaticTextAndScrollBarControl) {
    HWND s = make("STATIC", SS_LEFT, 10, 10, 100, 20, "Label");
    g_hostClicks = 0;
    click(s, 5, 5);
    EXPECT_EQ(g_hostClicks, 1);
    HWND n = make("STATIC", SS_NOTIFY | SS_BLACKRECT, 10, 40, 30, 20);
    click(n, 5, 5);
    EXPECT_EQ(count(STN_CLICKED, n), 1);
    HBITMAP shot = RenderWindowToBitmap(n);
    EXPECT_EQ(pixel(shot, 5, 5), uint32_t(rgbOf(COLOR_WINDOWFRAME)));
    DeleteObject(shot);

    HWND sb = make("SCROLLBAR", SBS_VERT, 200, 10, 16, 150);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 500;
    EXPECT_EQ(SendMessage(sb, SBM_SETSCROLLINFO, 1, LPARAM(&si)), 90);
    EXPECT_EQ(SendMessage(sb, SBM_GETPOS, 0, 0), 90);
    SendMessage(sb, SBM_SETPOS, 40, 1);
    g_notes.clear();
    clickQueued(sb, 8, 4);
    ASSERT_GE(g_notes.size(), 2u);
    EXPECT_EQ(g_notes[0].msg, WM_VSCROLL);
    EXPECT_EQ(g_notes[0].code, UINT(SB_LINEUP));
    EXPECT_EQ(g_notes[0].from, sb);
    EXPECT_EQ(g_notes.back().code, UINT(SB_ENDSCROLL));
    g_notes.clear();
    clickQueued(sb, 8, 145);
    EXPECT_EQ(g_notes[0].code, UINT(SB_LINEDOWN));
    // Dragging the thumb reports its track and final position.
    g_notes.clear();
    winimpl::ScrollGeometry g =
        winimpl::LayoutScrollBar(RECT{0, 0, 16, 150}, true, winimpl::GetScrollState(sb, SB_CTL));
    int ty = (g.thumb.top + g.thumb.bottom) / 2;
    POINT at{8, ty}, below{8, ty + 30};
    ClientToScreen(sb, &at);
    ClientToScreen(sb, &below);
    DeliverMouse(WM_LBUTTONDOWN, at, MK_LBUTTON);
    DeliverMouse(WM_MOUSEMOVE, below, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, below, 0);
    pump();
    ASSERT_EQ(g_notes.size(), 3u);
    EXPECT_EQ(g_notes[0].code, UINT(SB_THUMBTRACK));
    int track = HIWORD(g_notes[0].wParam);
    EXPECT_GT(track, 40);
    EXPECT_EQ(g_notes[1].code, UINT(SB_THUMBPOSITION));
    EXPECT_EQ(HIWORD(g_notes[1].wParam), track);
    EXPECT_EQ(g_notes[2].code, UINT(SB_ENDSCROLL));
}

TEST_F(Controls, WindowScrollBarsPrintAndRedraw) {
    HWND e = make("EDIT", WS_BORDER, 10, 10, 100, 24, "abc");
    SendMessage(e, WM_SETREDRAW, 0, 0);
    ValidateRect(e, nullptr);
    SetWindowText(e, "changed");
    RECT u{};
    EXPECT_FALSE(GetUpdateRect(e, &u, 0));
    SendMessage(e, WM_SETREDRAW, 1, 0);
    SetWindowText(e, "again");
    EXPECT_TRUE(GetUpdateRect(e, &u, 0));

    // WM_PRINT draws frame and client into any DC.
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(100, 24, 1, 32, nullptr);
    SelectObject(dc, bmp);
    RECT all{0, 0, 100, 24};
    FillRect(dc, &all, GetSysColorBrush(COLOR_HIGHLIGHT));
    SendMessage(e, WM_PRINT, WPARAM(dc), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    EXPECT_EQ(pixel(bmp, 0, 0), uint32_t(rgbOf(COLOR_WINDOWFRAME)));
    EXPECT_EQ(pixel(bmp, 90, 12), uint32_t(rgbOf(COLOR_WINDOW)));
    DeleteDC(dc);
    DeleteObject(bmp);

    // Standard bars of a plain window: range, hiding, clicks on them.
    HWND w = make("STATIC", SS_NOTIFY | WS_VSCROLL | WS_HSCROLL, 10, 50, 120, 100);
    RECT c{};
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 120 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(c.bottom, 100 - GetSystemMetrics(SM_CYHSCROLL));
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMax = 9;
    si.nPage = 20; // everything fits: the bar goes away
    SetScrollInfo(w, SB_HORZ, &si, 1);
    GetClientRect(w, &c);
    EXPECT_EQ(c.bottom, 100);
    EXPECT_EQ(GetWindowLongPtr(w, GWL_STYLE) & WS_HSCROLL, 0);
    si.nMax = 99;
    si.nPage = 10;
    SetScrollInfo(w, SB_VERT, &si, 1);
    EXPECT_EQ(SetScrollPos(w, SB_VERT, 1000, 1), 0);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 90);
    RECT wr{};
    GetWindowRect(w, &wr);
    POINT hit{wr.right - 3, wr.top + 3};
    EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(hit.x, hit.y)), HTVSCROLL);
    EXPECT_EQ(SetScrollInfo(0, SB_VERT, &si, 1), 0);
    EXPECT_FALSE(GetScrollInfo(w, 7, &si));
}
