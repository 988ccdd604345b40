#include "platform/win/input.h"
#include "platform/win/shellnotify.h"
#include "platform/win/windows.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<HWND, UINT>> g_log;
LRESULT g_createResult = 0;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_log.emplace_back(hwnd, msg);
    if (msg == WM_CREATE) return g_createResult;
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

const char* Class(const char* name) {
    if (!GetClassInfo(nullptr, name, nullptr)) {
        WNDCLASS wc;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = name;
        RegisterClass(wc);
    }
    return name;
}

HWND Make(const char* cls, HWND parent = 0, DWORD style = 0) {
    return CreateWindowEx(0, Class(cls), "", style | (parent ? WS_CHILD : 0), 0, 0, 10, 10, parent,
                          0, nullptr, nullptr);
}

std::vector<UINT> MessagesOf(HWND h, std::initializer_list<UINT> only) {
    std::vector<UINT> out;
    for (auto& [w, m] : g_log)
        if (w == h && std::find(only.begin(), only.end(), m) != only.end()) out.push_back(m);
    return out;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_createResult = 0;
    }
};

TEST_F(WindowTest, DestroySendsDestroyParentFirstAndNcDestroyChildFirst) {
    HWND top = Make("TTestWin");
    HWND child = Make("TTestWin", top);
    HWND owned = CreateWindowEx(0, "TTestWin", "", WS_POPUP, 0, 0, 1, 1, top, 0, nullptr, nullptr);
    ASSERT_TRUE(top && child && owned);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetParent(owned), top); // the owner of a top-level window
    g_log.clear();

    PostMessage(top, WM_USER, 0, 0);
    ASSERT_TRUE(DestroyWindow(top));

    std::vector<std::pair<HWND, UINT>> expected = {{owned, WM_DESTROY},   {owned, WM_NCDESTROY},
                                                   {top, WM_DESTROY},     {child, WM_DESTROY},
                                                   {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    std::vector<std::pair<HWND, UINT>> got;
    for (auto& e : g_log)
        if (e.second == WM_DESTROY || e.second == WM_NCDESTROY) got.push_back(e);
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(owned));
    // A message posted before the window went is dropped with it.
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, 0, WM_USER, WM_USER, PM_REMOVE));
}

TEST_F(WindowTest, FailedCreateLeavesNoWindow) {
    g_createResult = -1;
    EXPECT_EQ(Make("TTestWin"), 0u);
    ASSERT_FALSE(g_log.empty());
    EXPECT_EQ(g_log.back().second, WM_NCDESTROY);
    EXPECT_EQ(FindWindow("TTestWin", nullptr), 0u);
    EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", 0, 0, 0, 1, 1, 0, 0, nullptr, nullptr), 0u);
}

WNDPROC g_oldProc = nullptr;
LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 1) return 42;
    return CallWindowProc(g_oldProc, hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, ReplacedProcedureSeesMessagesFirstAndChainsToTheOld) {
    HWND h = Make("TTestWin");
    g_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    EXPECT_EQ(g_oldProc, RecordingProc);
    g_log.clear();
    EXPECT_EQ(SendMessage(h, WM_USER + 1, 0, 0), 42);
    EXPECT_TRUE(g_log.empty());
    SendMessage(h, WM_USER + 2, 0, 0);
    EXPECT_EQ(MessagesOf(h, {WM_USER + 2}).size(), 1u);
    // Restoring the old procedure ends the replacement.
    SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProc));
    EXPECT_EQ(SendMessage(h, WM_USER + 1, 0, 0), 0);
    DestroyWindow(h);
}

TEST_F(WindowTest, TextBoundsAndVisibility) {
    HWND top = Make("TTestWin");
    HWND child = Make("TTestWin", top, WS_VISIBLE);
    EXPECT_TRUE(SetWindowText(top, "Ünïcode title"));
    EXPECT_EQ(GetWindowText(top), "Ünïcode title");

    g_log.clear();
    MoveWindow(top, 100, 50, 300, 200, 1);
    EXPECT_EQ(MessagesOf(top, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE, WM_SIZE}));
    MoveWindow(child, 10, 20, 30, 40, 1);
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r, (RECT{110, 70, 140, 110}));
    GetClientRect(top, &r);
    EXPECT_EQ(r, (RECT{0, 0, 300, 200}));

    // A visible child of a hidden window is not visible.
    EXPECT_FALSE(IsWindowVisible(child));
    g_log.clear();
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(ShowWindow(top, SW_SHOW));
    EXPECT_EQ(MessagesOf(top, {WM_SHOWWINDOW}).size(), 1u);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(GetForegroundWindow(), top);
    ShowWindow(top, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(top));
    ShowWindow(top, SW_RESTORE);
    EXPECT_FALSE(IsIconic(top));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(top));
    DestroyWindow(top);
}

TEST_F(WindowTest, FindWindowExWalksWindowsOfAClassInOrder) {
    HWND a = Make("TFindA");
    HWND b = Make("TFindB");
    HWND a2 = Make("TFindA");
    SetWindowText(a2, "second");
    EXPECT_EQ(FindWindowEx(0, 0, "TFindA", nullptr), a);
    EXPECT_EQ(FindWindowEx(0, a, "TFindA", nullptr), a2);
    EXPECT_EQ(FindWindowEx(0, a2, "TFindA", nullptr), 0u);
    EXPECT_EQ(FindWindow(nullptr, "second"), a2);
    HWND c = Make("TFindA", b);
    EXPECT_EQ(FindWindowEx(b, 0, "TFindA", nullptr), c);
    EXPECT_EQ(FindWindowEx(0, a, "TFindA", nullptr), a2); // children are not top-level
    for (HWND h : {a, b, a2})
        DestroyWindow(h);
    EXPECT_EQ(FindWindow("TFindA", nullptr), 0u);
}

// The class style belongs to the class: a change shows in every window of it.
TEST_F(WindowTest, ClassStyleIsSharedByTheWindowsOfTheClass) {
    HWND a = Make("TStyleA");
    HWND b = Make("TStyleA");
    LONG_PTR before = GetClassLongPtr(a, GCL_STYLE);
    EXPECT_EQ(SetClassLongPtr(a, GCL_STYLE, before | CS_DROPSHADOW), before);
    EXPECT_EQ(GetClassLongPtr(b, GCL_STYLE), before | CS_DROPSHADOW);
    EXPECT_EQ(GetClassLongPtr(a, GWL_STYLE), 0); // only the style is kept
    EXPECT_EQ(GetClassLongPtr(HWND(0x7777777), GCL_STYLE), 0);
    for (HWND h : {a, b})
        DestroyWindow(h);
}

TEST_F(WindowTest, ActivationTellsBothWindows) {
    HWND a = Make("TTestWin");
    HWND b = Make("TTestWin");
    ShowWindow(a, SW_SHOW);
    g_log.clear();
    ShowWindow(b, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), b);
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&msg);
    EXPECT_EQ(MessagesOf(a, {WM_ACTIVATE}).size(), 1u);
    EXPECT_EQ(MessagesOf(b, {WM_ACTIVATE}).size(), 1u);
    DestroyWindow(a);
    DestroyWindow(b);
}

// What the user meets when a window holds another modal: the z-order keeps
// owned windows above their owner, a press on the disabled owner reaches
// nothing and brings the dialog forward, and closing the dialog hands the
// activation back to the owner.
TEST_F(WindowTest, ModalDialogStaysAboveAndHoldsItsDisabledOwner) {
    HWND main =
        CreateWindowEx(0, Class("TTestWin"), "", WS_POPUP, 0, 0, 300, 300, 0, 0, nullptr, nullptr);
    HWND button = CreateWindowEx(0, Class("TTestWin"), "", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20,
                                 main, 0, nullptr, nullptr);
    HWND dialog = CreateWindowEx(0, Class("TTestWin"), "", WS_POPUP, 50, 50, 100, 100, main, 0,
                                 nullptr, nullptr);
    HWND other = CreateWindowEx(0, Class("TTestWin"), "", WS_POPUP, 200, 200, 50, 50, 0, 0, nullptr,
                                nullptr);
    ShowWindow(main, SW_SHOW);
    ShowWindow(other, SW_SHOW);
    // Shown last, it is on top where both lie.
    EXPECT_EQ(WindowFromPoint(POINT{210, 210}), other);
    // The dialog shows over its owner; raising the owner keeps it above.
    EnableWindow(main, 0);
    ShowWindow(dialog, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), dialog);
    BringWindowToTop(main);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), dialog);
    EXPECT_EQ(GetLastActivePopup(main), dialog);

    // Input to the disabled owner goes nowhere; its dialog comes forward.
    SetActiveWindow(other);
    g_log.clear();
    EXPECT_EQ(DeliverMouse(WM_LBUTTONDOWN, POINT{20, 20}, MK_LBUTTON, 0, main), 0u);
    EXPECT_EQ(DeliverMouse(WM_MOUSEMOVE, POINT{250, 20}, 0, 0, main), 0u);
    EXPECT_EQ(GetActiveWindow(), dialog);
    SetFocus(button);
    EXPECT_EQ(DeliverKey(true, 'A', U'a'), 0u);
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&msg);
    EXPECT_TRUE(MessagesOf(button, {WM_LBUTTONDOWN, WM_KEYDOWN, WM_CHAR}).empty());
    EXPECT_TRUE(MessagesOf(main, {WM_LBUTTONDOWN, WM_MOUSEMOVE}).empty());
    // The display saying it activated the owner changes nothing either.
    EXPECT_EQ(ActivateFromDisplay(main), dialog);
    EXPECT_EQ(GetActiveWindow(), dialog);

    // Enabled again and the dialog hidden: the owner is active once more.
    EnableWindow(main, 1);
    ShowWindow(dialog, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(DeliverMouse(WM_LBUTTONDOWN, POINT{20, 20}, MK_LBUTTON, 0, main), button);
    DestroyWindow(other);
    DestroyWindow(main);
}

// A press goes to the window whose surface took it, whatever the layer's
// own order says, and a disabled child hands the press to its parent.
TEST_F(WindowTest, PressesGoToTheSurfaceThatTookThemAndPassOverDisabledChildren) {
    HWND low = CreateWindowEx(0, Class("TTestWin"), "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, 0, 0,
                              nullptr, nullptr);
    HWND high = CreateWindowEx(0, Class("TTestWin"), "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, 0,
                               0, nullptr, nullptr);
    HWND child = CreateWindowEx(0, Class("TTestWin"), "", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0,
                                50, 50, low, 0, nullptr, nullptr);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), high);
    EXPECT_EQ(DeliverMouse(WM_LBUTTONDOWN, POINT{10, 10}, MK_LBUTTON, 0, low), low);
    EXPECT_EQ(GetActiveWindow(), low);
    EnableWindow(child, 1);
    EXPECT_EQ(DeliverMouse(WM_LBUTTONDOWN, POINT{10, 10}, MK_LBUTTON, 0, low), child);
    DestroyWindow(low);
    DestroyWindow(high);
}

} // namespace

namespace {

// A window keeps the icons it is given, each size on its own, and shows its
// class's icon until it has one; the display hears of every change.
TEST_F(WindowTest, WindowsKeepTheirIconsAndFallBackToTheClassIcon) {
    const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF;
    HICON classIcon = CreateIconFromPixels(1, 1, &red);
    HICON big = CreateIconFromPixels(1, 1, &blue);
    HICON small = CreateIconFromPixels(1, 1, &red);
    WNDCLASS wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "IconClass";
    wc.hIcon = classIcon;
    RegisterClass(wc);
    HWND h = CreateWindowEx(0, "IconClass", "", 0, 0, 0, 10, 10, 0, 0, nullptr, nullptr);
    EXPECT_EQ(SendMessage(h, WM_GETICON, ICON_BIG, 0), LRESULT(classIcon));
    EXPECT_EQ(SendMessage(h, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(GetWindowIcon(h, ICON_SMALL2), classIcon);
    EXPECT_EQ(SendMessage(h, WM_SETICON, ICON_BIG, LPARAM(big)), 0);
    EXPECT_EQ(SendMessage(h, WM_GETICON, ICON_BIG, 0), LRESULT(big));
    EXPECT_EQ(GetWindowIcon(h, ICON_SMALL2), big);
    EXPECT_EQ(SendMessage(h, WM_SETICON, ICON_SMALL, LPARAM(small)), 0);
    EXPECT_EQ(GetWindowIcon(h, ICON_SMALL2), small);
    EXPECT_EQ(SendMessage(h, WM_SETICON, ICON_BIG, 0), LRESULT(big)); // the old one back
    EXPECT_EQ(GetWindowIcon(h, ICON_BIG), classIcon);
    EXPECT_EQ(GetClassLongPtr(h, GCLP_HICON), LONG_PTR(classIcon));
    EXPECT_EQ(SetClassLongPtr(h, GCLP_HICON, LONG_PTR(big)), LONG_PTR(classIcon));
    EXPECT_EQ(GetWindowIcon(h, ICON_BIG), big);
    DestroyWindow(h);
    UnregisterClass("IconClass", nullptr);
    for (HICON i : {classIcon, big, small})
        DestroyIcon(i);
}

} // namespace
