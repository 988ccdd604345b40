#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/windows.h"
#include "skin/controls/SkinTabs.h"
#include "skin/skin_test_support.h"

namespace {

using skintest::Element;
using skintest::PicturePixel;

// A borderless top-level window painted white: what the controls sit on.
class Host : public skintest::PopupHost {
public:
    explicit Host(int w = 400, int h = 200) : PopupHost(w, h, clWhite) {}
};

struct Render {
    HBITMAP b;
    explicit Render(TWinControl* c) : b(RenderWindowToBitmap(c->Handle())) {}
    ~Render() { DeleteObject(b); }
    COLORREF at(int x, int y) const { return b->getPixel(x, y); }
};

TspSkinData& defaultSkin() {
    static TspSkinData sd(nullptr);
    if (sd.Empty) sd.LoadFromCompressedFile(skintest::DefaultSkinFile());
    return sd;
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

void press(TWinControl* c, int x, int y) {
    SendMessage(c->Handle(), WM_MOUSEMOVE, 0, at(x, y));
    SendMessage(c->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
}

void release(TWinControl* c, int x, int y) {
    SendMessage(c->Handle(), WM_LBUTTONUP, 0, at(x, y));
}

void click(TWinControl* c, int x, int y) {
    press(c, x, y);
    release(c, x, y);
}

TPoint centre(const TRect& r) {
    return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
}

class SkinUpDownTiming : public ::testing::Test {
protected:
    void SetUp() override { os::SetClock(&clock); }
    void TearDown() override { os::SetClock(nullptr); }
    void advance(int ms) {
        for (int i = 0; i < ms / 10; ++i) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    os::ManualClock clock{5000};
};

// ---- Up-down ----------------------------------------------------------------------------

struct UpDownCounts {
    int changes = 0, ups = 0, downs = 0;
    void bind(TspSkinUpDown& u) {
        u.OnChange = [this](TObject*) { ++changes; };
        u.OnUpButtonClick = [this](TObject*) { ++ups; };
        u.OnDownButtonClick = [this](TObject*) { ++downs; };
    }
};

} // namespace

TEST(SkinUpDown, RangeAndPositionRules) {
    TspSkinUpDown u(nullptr);
    UpDownCounts n;
    n.bind(u);
    EXPECT_EQ(u.SkinDataName(), "hupdown");
    EXPECT_EQ(u.Width(), 25);
    EXPECT_EQ(u.Height(), 50);
    EXPECT_EQ(u.Orientation(), udHorizontal);
    EXPECT_EQ(u.Max(), 100);
    u.SetPosition(50);
    EXPECT_EQ(n.changes, 1);
    for (int refused : {-1, 101}) {
        u.SetPosition(refused);
        EXPECT_EQ(u.Position(), 50);
    }
    EXPECT_EQ(n.changes, 1);
    u.SetMax(10); // the position follows quietly
    EXPECT_EQ(u.Position(), 10);
    u.SetMin(20);
    EXPECT_EQ(u.Position(), 20);
    EXPECT_EQ(n.changes, 1);
    // Min above Max refuses every position.
    u.SetPosition(15);
    EXPECT_EQ(u.Position(), 20);
}

TEST(SkinUpDown, ButtonHalvesAndClicks) {
    Host host;
    TspSkinUpDown u(nullptr);
    u.SetParent(&host);
    u.SetBounds(0, 0, 30, 16);
    UpDownCounts n;
    n.bind(u);
    EXPECT_EQ(u.Button(1).R, TRect(0, 0, 15, 16));
    EXPECT_EQ(u.Button(0).R, TRect(15, 0, 30, 16));

    // x 15 lies on both halves: the up button takes it.
    u.SetPosition(40);
    click(&u, 15, 8);
    EXPECT_EQ(u.Position(), 41);
    EXPECT_EQ(n.ups, 1);
    click(&u, 3, 8);
    EXPECT_EQ(u.Position(), 40);
    EXPECT_EQ(n.downs, 1);

    // At the end the step is dropped, the click still reported.
    u.SetPosition(100);
    int changes = n.changes;
    click(&u, 20, 8);
    EXPECT_EQ(u.Position(), 100);
    EXPECT_EQ(n.ups, 2);
    EXPECT_EQ(n.changes, changes);

    // No increment: clicks only.
    u.SetIncrement(0);
    click(&u, 3, 8);
    EXPECT_EQ(u.Position(), 100);
    EXPECT_EQ(n.downs, 2);
}

TEST(SkinUpDown, VerticalHalves) {
    TspSkinUpDown u(nullptr);
    u.SetOrientation(udVertical);
    u.SetBounds(0, 0, 16, 40);
    Host host;
    u.SetParent(&host);
    SendMessage(u.Handle(), WM_SIZE, 0, at(16, 40));
    EXPECT_EQ(u.Button(0).R, TRect(0, 0, 16, 20));
    EXPECT_EQ(u.Button(1).R, TRect(0, 20, 16, 40));
}

TEST_F(SkinUpDownTiming, RepeatsWhileHeld) {
    Host host;
    TspSkinUpDown u(nullptr);
    u.SetParent(&host);
    u.SetBounds(0, 0, 30, 16);
    u.SetPosition(50);
    press(&u, 5, 8);
    advance(590);
    EXPECT_EQ(u.Position(), 50); // the wait, then the first period
    advance(20);
    EXPECT_EQ(u.Position(), 49);
    advance(200);
    EXPECT_EQ(u.Position(), 47);

    // Off the held button the repeat pauses; back on it, it steps every 50 ms.
    SendMessage(u.Handle(), WM_MOUSEMOVE, MK_LBUTTON, at(25, 8));
    EXPECT_EQ(u.ActiveButton(), -1); // the other button never becomes active
    advance(500);
    EXPECT_EQ(u.Position(), 47);
    SendMessage(u.Handle(), WM_MOUSEMOVE, MK_LBUTTON, at(5, 8));
    advance(100);
    EXPECT_EQ(u.Position(), 45);
    release(&u, 5, 8);
    EXPECT_EQ(u.Position(), 44); // one more on release
    advance(500);
    EXPECT_EQ(u.Position(), 44);
}

TEST(SkinUpDown, DefaultLookShowsStates) {
    Host host;
    TspSkinUpDown u(nullptr);
    u.SetParent(&host);
    u.SetBounds(0, 0, 30, 16);
    {
        Render r(&host);
        EXPECT_EQ(r.at(0, 0), ColorToRGB(clBtnShadow));
        EXPECT_EQ(r.at(2, 2), ColorToRGB(clBtnFace));
    }
    SendMessage(u.Handle(), WM_MOUSEMOVE, 0, at(20, 8));
    {
        Render r(&host);
        EXPECT_EQ(r.at(15, 0), ColorToRGB(TColor(0x800000)));
        EXPECT_EQ(r.at(17, 2), ColorToRGB(TColor(0xD2BDB6)));
        EXPECT_EQ(r.at(2, 2), ColorToRGB(clBtnFace));
    }
    SendMessage(u.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(20, 8));
    {
        Render r(&host);
        EXPECT_EQ(r.at(17, 2), ColorToRGB(TColor(0xB59385)));
    }
    release(&u, 20, 8);
}

TEST(SkinUpDown, SkinLookTakesTheElementAndItsStatePictures) {
    auto& sd = defaultSkin();
    auto* el = Element<TspDataSkinUpDownControl>(sd, "hupdown");
    ASSERT_NE(el, nullptr);
    Host host;
    TspSkinUpDown u(nullptr);
    u.SetParent(&host);
    u.SetBounds(0, 0, 40, 20);
    u.SetSkinData(&sd);
    EXPECT_EQ(u.Width(), el->SkinRect.Width());
    EXPECT_EQ(u.Height(), el->SkinRect.Height());
    EXPECT_EQ(u.Button(0).R, el->UpButtonRect);
    TPoint c = centre(el->UpButtonRect);
    {
        Render r(&host);
        EXPECT_EQ(r.at(c.X, c.Y - 5), PicturePixel(sd, el->PictureIndex, el->SkinRect.Left + c.X,
                                                   el->SkinRect.Top + c.Y - 5));
    }
    SendMessage(u.Handle(), WM_MOUSEMOVE, 0, at(c.X, c.Y));
    {
        Render r(&host);
        const TRect& a = el->ActiveUpButtonRect;
        int dx = c.X - el->UpButtonRect.Left, dy = c.Y - 5 - el->UpButtonRect.Top;
        EXPECT_EQ(r.at(c.X, c.Y - 5), PicturePixel(sd, el->PictureIndex, a.Left + dx, a.Top + dy));
    }

    // Free size: each button drawn from the resizable button element.
    u.SetUseSkinSize(false);
    u.SetBounds(0, 0, 60, 24);
    EXPECT_EQ(u.Width(), 60);
    EXPECT_EQ(u.Button(0).R, TRect(30, 0, 60, 24));
    auto* rb = Element<TspDataSkinButtonControl>(sd, "resizebutton");
    ASSERT_NE(rb, nullptr);
    SendMessage(u.Handle(), WM_MOUSEMOVE, 0, at(5, 12));
    Render r(&host);
    EXPECT_EQ(r.at(3, 12), PicturePixel(sd, rb->PictureIndex, rb->ActiveSkinRect.Left + 3,
                                        rb->ActiveSkinRect.Top + rb->ActiveSkinRect.Height() / 2));
}

// ---- Page control -----------------------------------------------------------------------

namespace {

struct Pages {
    Host host{500, 250};
    TspSkinPageControl pc{nullptr};
    TComponent owner{nullptr}; // frees the sheets before the control goes
    std::vector<TspSkinTabSheet*> sheets;
    int changes = 0;
    explicit Pages(int count, int width = 300, const char* stem = "Tab") {
        pc.SetParent(&host);
        pc.SetBounds(0, 0, width, 150);
        for (int i = 0; i < count; ++i) {
            auto* s = new TspSkinTabSheet(&owner);
            s->SetCaption(std::string(stem) + " " + std::to_string(i + 1));
            s->SetPageControl(&pc);
            sheets.push_back(s);
        }
        pc.OnChange = [this](TObject*) { ++changes; };
    }
    TPoint tab(int i) { return centre(pc.GetTabRect(i)); }
};

int nativeUpDowns(HWND parent) {
    int n = 0;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetClassName(c) == UPDOWN_CLASS) ++n;
    return n;
}

} // namespace

TEST(SkinPageControl, StartsWithItsDefaults) {
    TspSkinPageControl pc(nullptr);
    EXPECT_EQ(pc.SkinDataName(), "tab");
    EXPECT_EQ(pc.TabMargin(), -1);
    EXPECT_EQ(pc.TabSpacing(), 1);
    EXPECT_EQ(pc.DefaultItemHeight(), 20);
    EXPECT_EQ(pc.Font()->Name(), "Arial");
    EXPECT_EQ(pc.Font()->Height(), 14);
    EXPECT_EQ(pc.DefaultFont()->Color(), clBtnText);
    EXPECT_FALSE(pc.ShowCloseButtons());
    // A margin below -1 is ignored; centring needs a fixed tab width.
    pc.SetTabMargin(-5);
    EXPECT_EQ(pc.TabMargin(), -1);
    pc.SetTabsInCenter(true);
    EXPECT_FALSE(pc.TabsInCenter());
}

TEST(SkinPageControl, TabsSwitchByClickAndKeys) {
    Pages p(3);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[0]);
    click(&p.pc, p.tab(1).X, p.tab(1).Y);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[1]);
    EXPECT_TRUE(p.sheets[1]->Visible());
    EXPECT_FALSE(p.sheets[0]->Visible());
    EXPECT_EQ(p.changes, 1);
    SendMessage(p.pc.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[2]);
    SendMessage(p.pc.Handle(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[0]);
    EXPECT_EQ(p.changes, 3);
}

TEST(SkinPageControl, SkinnedUpDownScrollsOverflowingTabs) {
    Pages p(8, 200, "A long caption");
    ASSERT_NE(p.pc.SkinUpDown(), nullptr);
    EXPECT_EQ(nativeUpDowns(p.pc.Handle()), 0);
    TspSkinUpDown* u = p.pc.SkinUpDown();
    EXPECT_EQ(u->Width(), 40);
    EXPECT_EQ(u->Height(), 20);
    EXPECT_EQ(u->Left(), 200 - 40);
    EXPECT_EQ(u->Top(), 0);
    EXPECT_EQ(u->Max(), p.pc.GetHiddenTabsCount());
    EXPECT_EQ(p.pc.GetFirstVisibleTabIndex(), 0);
    click(u, 30, 10); // the right arrow
    EXPECT_EQ(p.pc.GetFirstVisibleTabIndex(), 1);
    EXPECT_LE(p.pc.GetTabRect(0).Right, 0);
    click(u, 5, 10);
    EXPECT_EQ(p.pc.GetFirstVisibleTabIndex(), 0);

    // Once every tab fits, the pair goes.
    p.pc.SetWidth(2000);
    EXPECT_EQ(p.pc.SkinUpDown(), nullptr);
    EXPECT_EQ(nativeUpDowns(p.pc.Handle()), 0);
    p.pc.SetWidth(200);
    ASSERT_NE(p.pc.SkinUpDown(), nullptr);

    // With a skin the pair comes back with the element the tab element names.
    p.pc.SetSkinData(&defaultSkin());
    ASSERT_NE(p.pc.SkinUpDown(), nullptr);
    EXPECT_EQ(p.pc.SkinUpDown()->SkinDataName(), "hupdown");
    EXPECT_NE(p.pc.SkinUpDown()->Index(), -1);
}

// Unskinned, and skinned with the close button built from the tool button element.
class SkinPageControlClose : public ::testing::TestWithParam<bool> {};

TEST_P(SkinPageControlClose, ClosesThePageWhoseButtonWasClicked) {
    Pages p(3);
    if (GetParam()) p.pc.SetSkinData(&defaultSkin());
    p.pc.SetShowCloseButtons(true);
    p.pc.SetFreeOnClose(true);
    std::vector<std::string> events;
    bool allow = true;
    p.pc.OnClose = [&](TObject* Sender, bool& CanClose) {
        events.push_back("close " + static_cast<TTabSheet*>(Sender)->Caption());
        CanClose = allow;
    };
    p.pc.OnAfterClose = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &p.pc);
        events.push_back("after");
    };
    { Render r(&p.pc); } // lays the close buttons out
    auto closeOf = [&](int i) {
        TRect t = p.pc.GetTabRect(i);
        TRect b = p.sheets[size_t(i)]->ButtonRect;
        return TPoint(t.Left + (b.Left + b.Right) / 2, t.Top + (b.Top + b.Bottom) / 2);
    };
    ASSERT_FALSE(p.sheets[0]->ButtonRect.IsEmpty());
    EXPECT_EQ(p.sheets[0]->ButtonRect.Width(), 14);

    allow = false;
    TPoint c = closeOf(0);
    click(&p.pc, c.X, c.Y);
    EXPECT_EQ(p.pc.PageCount(), 3);
    EXPECT_EQ(events, (std::vector<std::string>{"close Tab 1"}));

    // A page whose tab is not selected (the selection refused) closes itself, not the active page.
    allow = true;
    events.clear();
    p.pc.OnChanging = [](TObject*, bool& AllowChange) { AllowChange = false; };
    { Render r(&p.pc); }
    c = closeOf(2);
    click(&p.pc, c.X, c.Y);
    EXPECT_EQ(events, (std::vector<std::string>{"close Tab 3", "after"}));
    ASSERT_EQ(p.pc.PageCount(), 2);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[0]);
    EXPECT_EQ(p.pc.Pages(1), p.sheets[1]);

    events.clear();
    p.pc.OnChanging = nullptr;
    { Render r(&p.pc); }
    c = closeOf(0);
    click(&p.pc, c.X, c.Y);
    EXPECT_EQ(events, (std::vector<std::string>{"close Tab 1", "after"}));
    ASSERT_EQ(p.pc.PageCount(), 1);
    EXPECT_EQ(p.pc.Pages(0), p.sheets[1]);
}

INSTANTIATE_TEST_SUITE_P(Looks, SkinPageControlClose, ::testing::Bool());

TEST(SkinPageControl, CentredTabsMoveAndTranslatePresses) {
    Pages p(3, 400);
    p.pc.SetTabWidth(80);
    TRect before = p.pc.GetTabRect(0);
    p.pc.SetTabsInCenter(true);
    ASSERT_TRUE(p.pc.TabsInCenter());
    EXPECT_TRUE(p.pc.TabsBGTransparent());
    EXPECT_EQ(p.pc.CenterOffset(), 80);
    EXPECT_EQ(p.pc.GetTabRect(0).Left, before.Left + 80);
    // x 170 reaches the native control as x 90: the second tab.
    click(&p.pc, 170, p.tab(0).Y);
    EXPECT_EQ(p.pc.ActivePage(), p.sheets[1]);
}

TEST(SkinPageControl, HiddenTabsComeBackAsTheyWere) {
    Pages p(2);
    p.pc.SetTabPosition(tpLeft);
    p.pc.SetTabHeight(24);
    p.pc.HideTabs();
    EXPECT_TRUE(p.pc.TabsHidden());
    EXPECT_EQ(p.pc.TabPosition(), tpTop);
    EXPECT_EQ(p.pc.TabHeight(), 1);
    p.pc.HideTabs();
    p.pc.ShowTabs();
    EXPECT_FALSE(p.pc.TabsHidden());
    EXPECT_EQ(p.pc.TabPosition(), tpLeft);
    EXPECT_EQ(p.pc.TabHeight(), 24);
}

TEST(SkinPageControl, DisplayRectFollowsTheElementBorder) {
    Pages p(2);
    auto& sd = defaultSkin();
    auto* el = Element<TspDataSkinTabControl>(sd, "tab");
    ASSERT_NE(el, nullptr);
    auto native = [&] {
        RECT r{0, 0, p.pc.Width(), p.pc.Height()};
        TabControlWndProc(p.pc.Handle(), TCM_ADJUSTRECT, 0, reinterpret_cast<LPARAM>(&r));
        return TRect(r);
    };
    // Without an element: a one-pixel frame.
    TRect n = native(), d = p.pc.DisplayRect();
    EXPECT_EQ(d, TRect(1, n.Top - 5, p.pc.Width() - 1, p.pc.Height() - 1));

    p.pc.SetSkinData(&sd);
    p.pc.SetTabPosition(tpBottom);
    const int BB = el->SkinRect.Height() - el->ClRect.Bottom;
    n = native();
    d = p.pc.DisplayRect();
    EXPECT_EQ(d.Bottom, n.Bottom - BB + 4);
    EXPECT_EQ(d.Left, el->ClRect.Left);
    p.pc.HideTabs();
    n = native();
    EXPECT_EQ(p.pc.DisplayRect().Bottom, n.Bottom - BB + 5);
    p.pc.ShowTabs();

    p.pc.HideBorderAndTabs();
    EXPECT_EQ(p.pc.DisplayRect(), TRect(0, -2, p.pc.Width(), p.pc.Height()));
    // The pages follow the display rectangle.
    EXPECT_EQ(p.sheets[0]->Top(), -2);
}

TEST(SkinPageControl, DefaultLookPaintsTabStates) {
    Pages p(3);
    TRect sel = p.pc.GetTabRect(0), other = p.pc.GetTabRect(1), third = p.pc.GetTabRect(2);
    SendMessage(p.pc.Handle(), WM_MOUSEMOVE, 0, at(centre(third).X, centre(third).Y));
    EXPECT_EQ(p.pc.ActiveTabIndex(), 2);
    Render r(&p.pc);
    EXPECT_EQ(r.at(sel.Left + 3, sel.Top), ColorToRGB(TColor(0x800000)));
    EXPECT_EQ(r.at(sel.Left + 3, sel.Top + 3), ColorToRGB(TColor(0xD2BDB6)));
    EXPECT_EQ(r.at(other.Left + 3, other.Top + 3), ColorToRGB(clBtnFace));
    EXPECT_EQ(r.at(third.Left + 3, third.Top + 3), ColorToRGB(TColor(0xD2BDB6)));
    TRect d = p.pc.DisplayRect();
    EXPECT_EQ(r.at(d.Left - 1, d.Bottom), ColorToRGB(clBtnShadow));
}

TEST(SkinPageControl, SkinLookDrawsTabsOnEverySide) {
    auto& sd = defaultSkin();
    auto* el = Element<TspDataSkinTabControl>(sd, "tab");
    ASSERT_NE(el, nullptr);
    const TRect& a = el->ActiveTabRect;
    const COLORREF accent =
        PicturePixel(sd, el->PictureIndex, a.Left + a.Width() / 2, a.Bottom - 1);
    const COLORREF face =
        PicturePixel(sd, el->PictureIndex, el->TabRect.Left + 20, el->TabRect.Top + 5);
    ASSERT_NE(accent, face);
    struct Case {
        TTabPosition pos;
        // Where the accent bar of the selected tab lies: the edge toward the pages.
        int edge; // 0 bottom, 1 top, 2 right, 3 left
    } cases[] = {{tpTop, 0}, {tpBottom, 1}, {tpLeft, 2}, {tpRight, 3}};
    for (const auto& c : cases) {
        Pages p(2);
        p.pc.SetSkinData(&sd);
        p.pc.SetTabPosition(c.pos);
        Render r(&p.pc);
        TRect t = p.pc.GetTabRect(0);
        TPoint m = centre(t);
        COLORREF near = c.edge == 0   ? r.at(m.X, t.Bottom - 1)
                        : c.edge == 1 ? r.at(m.X, t.Top)
                        : c.edge == 2 ? r.at(t.Right - 1, m.Y)
                                      : r.at(t.Left, m.Y);
        EXPECT_EQ(near, accent) << "side " << c.pos;
        // The unselected tab has no bar.
        TRect o = p.pc.GetTabRect(1);
        TPoint om = centre(o);
        COLORREF farther = c.edge == 0   ? r.at(om.X, o.Bottom - 1)
                           : c.edge == 1 ? r.at(om.X, o.Top + 2)
                           : c.edge == 2 ? r.at(o.Right - 1, om.Y)
                                         : r.at(o.Left + 2, om.Y);
        EXPECT_NE(farther, accent) << "side " << c.pos;
    }
}

TEST(SkinPageControl, SheetBackgroundFromWallpaperOrElement) {
    Pages p(1);
    TspSkinTabSheet* s = p.sheets[0];
    {
        Render r(s);
        EXPECT_EQ(r.at(5, 5), ColorToRGB(clBtnFace));
    }
    TBitmap wall(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            wall.Canvas()->SetPixel(x, y, TColor(RGB(x * 10, y * 10, 7)));
    s->SetWallPaper(&wall);
    s->Invalidate();
    Render r(s);
    int w = s->Width(), h = s->Height();
    ASSERT_GT(w, 16);
    EXPECT_EQ(r.at(w - 1, h - 1), RGB(((w - 1) % 16) * 10, ((h - 1) % 16) * 10, 7));
    EXPECT_EQ(r.at(17, 2), RGB(10, 20, 7));
}

namespace {

// A list of three 16 x 16 images in one colour.
std::unique_ptr<TCustomImageList> solidImages(TColor colour) {
    auto list = std::make_unique<TCustomImageList>(nullptr);
    list->SetWidth(16);
    list->SetHeight(16);
    TBitmap b(16, 16);
    b.Canvas()->Brush()->SetColor(colour);
    b.Canvas()->FillRect(TRect(0, 0, 16, 16));
    for (int i = 0; i < 3; ++i)
        list->Add(&b, nullptr);
    return list;
}

int countColour(HBITMAP b, const TRect& r, COLORREF c) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            n += b->getPixel(x, y) == c;
    return n;
}

} // namespace

TEST(SkinPageControl, TabsKeepRoomForImageAndCloseButton) {
    Pages p(2);
    auto images = solidImages(clRed);
    const int before = p.pc.GetTabRect(0).Width();
    EXPECT_EQ(p.pc.ReservedTabRoom(), 1);
    p.pc.SetImages(images.get());
    EXPECT_EQ(p.pc.ReservedTabRoom(), 17);
    EXPECT_EQ(p.pc.GetTabRect(0).Width(), before + 16);
    p.pc.SetShowCloseButtons(true);
    EXPECT_EQ(p.pc.ReservedTabRoom(), 31);
    p.pc.SetSkinData(&defaultSkin()); // its element has no close picture: 14 stays
    EXPECT_EQ(p.pc.CloseSize(), 14);
    p.pc.SetImages(nullptr);
    EXPECT_EQ(p.pc.ReservedTabRoom(), 15);
    p.pc.SetShowCloseButtons(false);
    EXPECT_EQ(p.pc.ReservedTabRoom(), 1);
}

TEST(SkinPageControl, TabImagesShowOnlyWhenTheListHoldsThem) {
    Pages p(2);
    auto images = solidImages(clRed);
    p.pc.SetImages(images.get());
    p.sheets[0]->SetImageIndex(1);
    p.sheets[1]->SetImageIndex(5);
    HBITMAP b = RenderWindowToBitmap(p.pc.Handle());
    EXPECT_EQ(countColour(b, p.pc.GetTabRect(0), RGB(255, 0, 0)), 16 * 16);
    EXPECT_EQ(countColour(b, p.pc.GetTabRect(1), RGB(255, 0, 0)), 0);
    DeleteObject(b);
}

TEST(SkinPageControl, OwnerDrawnTabContent) {
    Pages p(3);
    p.pc.SetSkinData(&defaultSkin());
    std::vector<std::pair<int, bool>> calls;
    p.pc.OnDrawSkinTab = [&](int TabIndex, const TRect& R, bool Active, bool, TCanvas* C) {
        calls.push_back({TabIndex, Active});
        C->Brush()->SetStyle(bsSolid); // the tab hands its canvas over with a clear brush
        C->Brush()->SetColor(clLime);
        C->FillRect(TRect(R.Left + 4, R.Top + 4, R.Left + 8, R.Top + 8));
    };
    Render r(&p.pc);
    TRect t = p.pc.GetTabRect(1);
    EXPECT_EQ(r.at(t.Left + 5, t.Top + 5), RGB(0, 255, 0));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls.back(), std::make_pair(0, true)); // the selected tab comes last
}

TEST(SkinPageControl, WithoutPagesTheElementPaintsTheBackground) {
    auto& sd = defaultSkin();
    auto* el = Element<TspDataSkinTabControl>(sd, "tab");
    ASSERT_NE(el, nullptr);
    Host host;
    TspSkinPageControl pc(nullptr);
    pc.SetParent(&host);
    pc.SetBounds(0, 0, 200, 100);
    pc.SetSkinData(&sd);
    Render r(&pc);
    EXPECT_EQ(r.at(100, 50),
              PicturePixel(sd, el->PictureIndex, el->SkinRect.Left + el->ClRect.Left + 20,
                           el->SkinRect.Top + el->ClRect.Top + 20));
}

TEST(SkinPageControl, TallerSelectedTabReachesIntoTheBorder) {
    TspSkinData sd(nullptr);
    sd.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
    auto* el = Element<TspDataSkinTabControl>(sd, "tab");
    ASSERT_NE(el, nullptr);
    el->ActiveTabRect.Top -= 3; // three rows more at the top
    el->FocusTabRect = el->ActiveTabRect;
    const TRect& a = el->ActiveTabRect;
    Pages p(2);
    p.pc.SetSkinData(&sd);
    TRect t = p.pc.GetTabRect(0), o = p.pc.GetTabRect(1);
    EXPECT_EQ(t.Height(), el->TabRect.Height());
    Render r(&p.pc);
    // The page area's top border row lies just under the tabs: the selected
    // tab covers it with its own picture, the other tab leaves the border.
    const int row = t.Bottom;
    const COLORREF tabRow =
        PicturePixel(sd, el->PictureIndex, a.Left + a.Width() / 2, a.Top + (row - t.Top));
    const COLORREF border = r.at(centre(o).X, row);
    ASSERT_NE(tabRow, border);
    EXPECT_EQ(r.at(centre(t).X, row), tabRow);
}
