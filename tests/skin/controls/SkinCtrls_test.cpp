#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/os/process.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/skin_test_support.h"

namespace {

TspSkinData* defaultSkin() {
    static std::unique_ptr<TspSkinData> sd = skintest::LoadDefaultSkin();
    return sd.get();
}

template <class E> E* element(const std::string& name) {
    TspSkinData* sd = defaultSkin();
    int i = sd->GetControlIndex(name);
    return i < 0 ? nullptr : dynamic_cast<E*>(sd->CtrlList[size_t(i)].get());
}

COLORREF skinPixel(int x, int y) {
    return defaultSkin()->FActivePictures[0]->Canvas()->Pixels(x, y);
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

// A shown form on a manual clock: what the controls sit on.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        os::SetClock(&clock);
        ASSERT_FALSE(defaultSkin()->Empty);
        form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 320, 240);
        form->Show();
    }
    void TearDown() override {
        form.reset();
        Application->ProcessMessages();
        os::SetClock(nullptr);
    }
    COLORREF pixel(TControl* c, int x, int y) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        TPoint o = c->ClientToScreen(TPoint(x, y));
        TPoint f = form->ClientToScreen(TPoint(0, 0));
        COLORREF p = shot->getPixel(o.X - f.X, o.Y - f.Y);
        DeleteObject(shot);
        return p;
    }
    // Pixels of the control counted by a test over the whole form at once.
    int countColor(TControl* c, const TRect& r, TColor color) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        TPoint o = c->ClientToScreen(TPoint(0, 0)), f = form->ClientToScreen(TPoint(0, 0));
        int n = 0;
        for (int x = r.Left; x < r.Right; ++x)
            for (int y = r.Top; y < r.Bottom; ++y)
                n += shot->getPixel(o.X - f.X + x, o.Y - f.Y + y) == ColorToRGB(color);
        DeleteObject(shot);
        return n;
    }
    void tick(int ms) {
        for (int i = 0; i < ms; i += 10) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    template <class T> T* make(int x, int y, int w, int h) {
        auto* c = new T(form.get());
        c->SetParent(form.get());
        c->SetBounds(x, y, w, h);
        return c;
    }
    os::ManualClock clock{1000};
    std::unique_ptr<TForm> form;
};

} // namespace

// ---- Push button --------------------------------------------------------------------

TEST_F(ControlsTest, ButtonStartsWithItsDefaults) {
    TspSkinButton b(nullptr);
    EXPECT_EQ(b.SkinDataName(), "button");
    EXPECT_EQ(b.Width(), 75);
    EXPECT_EQ(b.Height(), 25);
    EXPECT_TRUE(b.CanFocused());
    EXPECT_FALSE(b.TabStop); // only assigning CanFocused or TabStop sets it
    EXPECT_EQ(b.ImageIndex(), -1);
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Spacing(), 1);
    EXPECT_EQ(b.RepeatInterval, 100);
    b.SetMargin(-5);
    EXPECT_EQ(b.Margin(), -1);
    b.SetGroupIndex(2);
    EXPECT_FALSE(b.CanFocused());
}

TEST_F(ControlsTest, ButtonDefaultLookFollowsItsState) {
    struct Case {
        const char* name;
        bool hover, press;
        TColor frame, fill;
    };
    const Case cases[] = {
        {"idle", false, false, clBtnShadow, clBtnFace},
        {"hot", true, false, 0x800000, 0xD2BDB6},
        {"pressed", true, true, 0x800000, 0xB59385},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* b = make<TspSkinButton>(10, 10, 75, 25);
        b->SetCanFocused(false);
        if (c.hover) b->Perform(CM_MOUSEENTER, 0, 0);
        if (c.press) b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
        EXPECT_EQ(pixel(b, 0, 0), ColorToRGB(c.frame));
        EXPECT_EQ(pixel(b, 3, 3), ColorToRGB(c.fill));
        delete b;
    }
}

TEST_F(ControlsTest, ButtonDrawsEachStateFromTheSkin) {
    auto* e = element<TspDataSkinButtonControl>("button");
    ASSERT_NE(e, nullptr);
    struct Case {
        const char* name;
        TRect TspDataSkinButtonControl::*rect;
        std::function<void(TspSkinButton*)> setUp;
    };
    const Case cases[] = {
        {"normal", &TspDataSkinButtonControl::SkinRect, [](TspSkinButton*) {}},
        {"hot", &TspDataSkinButtonControl::ActiveSkinRect,
         [](TspSkinButton* b) { b->Perform(CM_MOUSEENTER, 0, 0); }},
        {"pressed", &TspDataSkinButtonControl::DownSkinRect,
         [](TspSkinButton* b) { b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5)); }},
        {"disabled", &TspDataSkinButtonControl::DisabledSkinRect,
         [](TspSkinButton* b) { b->SetEnabled(false); }},
        {"focused", &TspDataSkinButtonControl::FocusedSkinRect,
         [](TspSkinButton* b) { b->SetFocus(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* b = make<TspSkinButton>(10, 10, 90, 30);
        b->SetSkinData(defaultSkin());
        EXPECT_EQ(b->Index(), defaultSkin()->GetControlIndex("button"));
        c.setUp(b);
        const TRect& r = e->*c.rect;
        // Inside the face, away from the caption and the rounded corners.
        EXPECT_EQ(pixel(b, 10, 3), skinPixel(r.Left + 10, r.Top + 3));
        // The border follows the element's nine parts at any size.
        EXPECT_EQ(pixel(b, 40, 0), skinPixel(r.Left + 30, r.Top));
        delete b;
    }
}

TEST_F(ControlsTest, ButtonElementFallBacksChangeOnlyTheButtonsCopies) {
    auto* e = element<TspDataSkinButtonControl>("button");
    TRect savedActive = e->ActiveSkinRect, savedDown = e->DownSkinRect;
    TColor savedDisabled = e->DisabledFontColor;
    e->ActiveSkinRect = TRect();
    e->DownSkinRect = TRect();
    e->DisabledFontColor = e->FontColor;
    auto* b = make<TspSkinButton>(10, 10, 90, 30);
    b->SetSkinData(defaultSkin());
    EXPECT_EQ(b->ActiveSkinRect, e->SkinRect);
    EXPECT_EQ(b->DownSkinRect, e->SkinRect);
    EXPECT_EQ(b->DisabledFontColor, TColor(0x808080));
    EXPECT_TRUE(IsEmptyRect(e->ActiveSkinRect));
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    EXPECT_EQ(pixel(b, 10, 3), skinPixel(e->SkinRect.Left + 10, e->SkinRect.Top + 3));
    e->ActiveSkinRect = savedActive;
    e->DownSkinRect = savedDown;
    e->DisabledFontColor = savedDisabled;
}

TEST_F(ControlsTest, ButtonMorphsInFiveStepsAndBack) {
    auto* e = element<TspDataSkinButtonControl>("button");
    bool saved = e->Morphing;
    e->Morphing = true;
    auto* b = make<TspSkinButton>(10, 10, 90, 30);
    b->SetSkinData(defaultSkin());
    b->Perform(CM_MOUSEENTER, 0, 0);
    std::vector<double> seen;
    for (int i = 0; i < 6; ++i) {
        clock.Advance(20);
        Application->ProcessMessages();
        seen.push_back(b->MorphKf());
    }
    ASSERT_EQ(seen.size(), 6u);
    const double want[] = {0.2, 0.4, 0.6, 0.8, 1.0, 1.0};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_NEAR(seen[i], want[i], 1e-9) << i;
    EXPECT_EQ(b->MorphKf(), 1.0); // exactly
    EXPECT_EQ(pixel(b, 10, 3), skinPixel(e->ActiveSkinRect.Left + 10, e->ActiveSkinRect.Top + 3));
    b->Perform(CM_MOUSELEAVE, 0, 0);
    tick(200);
    EXPECT_EQ(b->MorphKf(), 0.0);
    e->Morphing = saved;
}

TEST_F(ControlsTest, ButtonClicksOnReleaseOverIt) {
    struct Case {
        const char* name;
        int upX;
        int clicks;
    };
    const Case cases[] = {{"released over it", 20, 1}, {"released outside", 200, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* b = make<TspSkinButton>(10, 10, 75, 25);
        int clicks = 0;
        b->OnClick = [&](TObject*) { ++clicks; };
        b->Perform(WM_MOUSEMOVE, 0, at(5, 5));
        b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
        EXPECT_TRUE(b->Down());
        b->Perform(WM_MOUSEMOVE, MK_LBUTTON, at(c.upX, 5));
        b->Perform(WM_LBUTTONUP, 0, at(c.upX, 5));
        EXPECT_EQ(clicks, c.clicks);
        EXPECT_FALSE(b->Down());
        delete b;
    }
}

TEST_F(ControlsTest, ButtonClickSetsTheFormsModalResultAndRunsTheAction) {
    auto* b = make<TspSkinButton>(10, 10, 75, 25);
    b->ModalResult = mrCancel;
    b->ButtonClick();
    EXPECT_EQ(form->ModalResult, mrCancel);
    TAction action(nullptr);
    action.Caption = "Go";
    int ran = 0, clicked = 0;
    action.OnExecute = [&](TObject*) { ++ran; };
    b->SetAction(&action);
    EXPECT_EQ(b->Caption(), "Go");
    b->ButtonClick();
    EXPECT_EQ(ran, 1);
    b->OnClick = [&](TObject*) { ++clicked; };
    b->ButtonClick();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(clicked, 1);
    b->SetCanFocused(false);
    form->ModalResult = mrNone;
    b->ButtonClick();
    EXPECT_EQ(form->ModalResult, mrNone);
}

TEST_F(ControlsTest, GroupButtonsClickOnPressAndReleaseEachOther) {
    auto* a = make<TspSkinButton>(10, 10, 40, 25);
    auto* b = make<TspSkinButton>(60, 10, 40, 25);
    auto* other = make<TspSkinButton>(110, 10, 40, 25);
    int clicks = 0;
    for (auto* x : {a, b, other}) {
        x->SetGroupIndex(1);
        x->OnClick = [&](TObject*) { ++clicks; };
    }
    other->SetGroupIndex(2);
    other->SetDown(true);
    a->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    EXPECT_EQ(clicks, 1); // on press
    a->Perform(WM_LBUTTONUP, 0, at(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(a->Down());
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    b->Perform(WM_LBUTTONUP, 0, at(5, 5));
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(other->Down()); // another group

    // With AllowAllUp a second press and release over it raises it.
    b->AllowAllUp = true;
    b->Perform(CM_MOUSEENTER, 0, 0);
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    b->Perform(WM_LBUTTONUP, 0, at(5, 5));
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(clicks, 3);
}

TEST_F(ControlsTest, HeldRepeatButtonClicksAfterHalfASecondThenEveryInterval) {
    auto* b = make<TspSkinButton>(10, 10, 75, 25);
    b->RepeatMode = true;
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    b->Perform(CM_MOUSEENTER, 0, 0);
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    tick(490);
    EXPECT_EQ(clicks, 0);
    tick(510); // 1 s held: at 500, 600, ... 1000
    EXPECT_GE(clicks, 5);
    EXPECT_LE(clicks, 6);
    int held = clicks;
    b->Perform(WM_LBUTTONUP, 0, at(5, 5));
    EXPECT_EQ(clicks, held + 1);
    tick(300);
    EXPECT_EQ(clicks, held + 1);
}

TEST_F(ControlsTest, ButtonKeysEnterSpaceEscapeAndAccelerator) {
    auto* ok = make<TspSkinButton>(10, 10, 75, 25);
    auto* cancel = make<TspSkinButton>(100, 10, 75, 25);
    ok->SetCaption("&Go");
    ok->ModalResult = mrOk;
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    int okClicks = 0, cancelClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    cancel->OnClick = [&](TObject*) { ++cancelClicks; };

    ok->SetFocus();
    DeliverKey(true, VK_RETURN, 0);
    Application->ProcessMessages();
    EXPECT_EQ(okClicks, 1);
    DeliverKey(true, VK_SPACE, U' ');
    Application->ProcessMessages();
    EXPECT_TRUE(ok->Down());
    DeliverKey(false, VK_SPACE, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(ok->Down());
    EXPECT_EQ(okClicks, 2);

    DeliverKey(true, VK_ESCAPE, 0);
    Application->ProcessMessages();
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(form->ModalResult, mrCancel);
    DeliverKey(true, VK_CONTROL, 0);
    DeliverKey(true, VK_ESCAPE, 0);
    Application->ProcessMessages();
    DeliverKey(false, VK_CONTROL, 0);
    Application->ProcessMessages();
    EXPECT_EQ(cancelClicks, 1);

    cancel->SetFocus();
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'g', 0), 1);
    EXPECT_EQ(okClicks, 3);
    EXPECT_TRUE(ok->Focused());
}

TEST_F(ControlsTest, DefaultButtonLooksHotAndTakesEnterWhileAnEditHasTheFocus) {
    auto* edit = make<TEdit>(10, 50, 100, 22);
    auto* ok = make<TspSkinButton>(10, 10, 75, 25);
    auto* other = make<TspSkinButton>(100, 10, 75, 25);
    int okClicks = 0, otherClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    other->OnClick = [&](TObject*) { ++otherClicks; };
    ok->SetDefault(true);
    edit->SetFocus();
    EXPECT_TRUE(ok->MouseIn());
    EXPECT_EQ(pixel(ok, 3, 3), ColorToRGB(TColor(0xD2BDB6)));
    DeliverKey(true, VK_RETURN, 0);
    Application->ProcessMessages();
    EXPECT_EQ(okClicks, 1);
    other->SetFocus();
    EXPECT_FALSE(ok->MouseIn());
    DeliverKey(true, VK_RETURN, 0);
    Application->ProcessMessages();
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(otherClicks, 1);
}

TEST_F(ControlsTest, ButtonModalResultClosesAModalForm) {
    struct Case {
        const char* name;
        WPARAM key;
        int result;
    };
    const Case cases[] = {{"enter on the default", VK_RETURN, mrOk},
                          {"escape on cancel", VK_ESCAPE, mrCancel}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm dlg(nullptr);
        dlg.SetBounds(20, 20, 200, 100);
        auto* edit = new TEdit(&dlg);
        edit->SetParent(&dlg);
        auto* ok = new TspSkinButton(&dlg);
        ok->SetParent(&dlg);
        ok->SetDefault(true);
        ok->ModalResult = mrOk;
        auto* cancel = new TspSkinButton(&dlg);
        cancel->SetParent(&dlg);
        cancel->SetLeft(90);
        cancel->Cancel = true;
        cancel->ModalResult = mrCancel;
        dlg.OnShow = [&](TObject*) {
            edit->SetFocus();
            PostMessage(edit->Handle(), WM_KEYDOWN, c.key, 0);
        };
        EXPECT_EQ(dlg.ShowModal(), c.result);
    }
}

TEST_F(ControlsTest, ButtonPaintEventCanSuppressTheContent) {
    auto* b = make<TspSkinButton>(10, 10, 75, 25);
    b->SetCaption("WWWWWWW");
    b->DefaultFont()->SetColor(clRed);
    auto count = [&] { return countColor(b, TRect(2, 2, 73, 23), clRed); };
    EXPECT_GT(count(), 0);
    bool called = false;
    b->OnPaint = [&](TObject*, TCanvas*, TRect, bool, bool, bool& dd) {
        called = true;
        dd = false;
    };
    b->Repaint();
    EXPECT_EQ(count(), 0);
    EXPECT_TRUE(called);
}

TEST_F(ControlsTest, GlyphCellFollowsStateAndCount) {
    TspSkinButton b(nullptr);
    struct Case {
        int num;
        bool enabled, down, in;
        int cell;
    };
    const Case cases[] = {
        {4, true, true, true, 3},    {4, true, false, true, 4}, {2, false, false, false, 2},
        {1, false, false, false, 1}, {2, true, true, true, 1},  {3, true, false, true, 1},
    };
    struct Probe : TspSkinButton {
        using TspSkinButton::GetGlyphNum;
        using TspSkinButton::TspSkinButton;
    };
    for (const Case& c : cases) {
        Probe p(nullptr);
        p.SetNumGlyphs(c.num);
        p.SetEnabled(c.enabled);
        EXPECT_EQ(p.GetGlyphNum(c.down, c.in), c.cell) << c.num << c.down << c.in;
    }
}

// ---- Check and radio box ---------------------------------------------------------------

TEST_F(ControlsTest, CheckedSetterRepaintsAndFiresEveryTime) {
    auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
    auto* radio = make<TspSkinCheckRadioBox>(10, 40, 150, 25);
    radio->SetRadio(true);
    int boxClicks = 0, radioClicks = 0;
    box->OnClick = [&](TObject*) { ++boxClicks; };
    radio->OnClick = [&](TObject*) { ++radioClicks; };
    box->SetChecked(true);
    box->SetChecked(true);
    EXPECT_EQ(boxClicks, 2);
    radio->SetChecked(false);
    EXPECT_EQ(radioClicks, 0);
    // A grayed box stays grayed when unchecked; grayed is not checked.
    box->SetState(cbGrayed);
    EXPECT_FALSE(box->Checked());
    box->SetChecked(false);
    EXPECT_EQ(box->State(), cbGrayed);
}

TEST_F(ControlsTest, CheckingABoxUnchecksItsGroupOnTheSameParent) {
    auto* a = make<TspSkinCheckRadioBox>(10, 10, 100, 20);
    auto* b = make<TspSkinCheckRadioBox>(10, 30, 100, 20);
    auto* r = make<TspSkinCheckRadioBox>(10, 50, 100, 20);
    auto* free = make<TspSkinCheckRadioBox>(10, 70, 100, 20);
    r->SetRadio(true);
    for (auto* x : {a, b, r})
        x->SetGroupIndex(2);
    std::vector<std::string> order;
    a->OnClick = [&](TObject*) { order.push_back("a"); };
    b->OnClick = [&](TObject*) { order.push_back("b"); };
    r->OnClick = [&](TObject*) { order.push_back("r"); };
    for (auto* x : {a, b, r})
        x->SetGroupIndex(0);
    b->SetChecked(true);
    r->SetChecked(true);
    free->SetChecked(true);
    for (auto* x : {a, b, r})
        x->SetGroupIndex(2);
    order.clear();
    a->SetChecked(true);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a"})); // radio unchecked silently
    EXPECT_FALSE(b->Checked());
    EXPECT_FALSE(r->Checked());
    EXPECT_TRUE(free->Checked());
}

TEST_F(ControlsTest, MouseAndKeysToggleBoxes) {
    struct Case {
        const char* name;
        bool radio, allowGrayed, startChecked, canFocus;
        std::vector<TCheckBoxState> states; // after each click
        int clicks;
    };
    const Case cases[] = {
        {"check box", false, false, false, true, {cbChecked, cbUnchecked}, 2},
        {"grayed cycle", false, true, false, true, {cbGrayed, cbChecked, cbUnchecked}, 3},
        {"checked radio stays", true, false, true, true, {cbChecked, cbChecked}, 0},
        {"unfocusable box still toggles", false, false, false, false, {cbChecked}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
        box->SetRadio(c.radio);
        box->SetAllowGrayed(c.allowGrayed);
        box->SetCanFocused(c.canFocus);
        if (c.startChecked) box->SetChecked(true);
        int clicks = 0;
        box->OnClick = [&](TObject*) { ++clicks; };
        for (TCheckBoxState want : c.states) {
            box->Perform(WM_MOUSEMOVE, 0, at(5, 5));
            box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
            box->Perform(WM_LBUTTONUP, 0, at(5, 5));
            EXPECT_EQ(box->State(), want);
        }
        EXPECT_EQ(clicks, c.clicks);
        EXPECT_EQ(box->Focused(), c.canFocus);
        delete box;
    }
    // Space on the focused box and its accelerator.
    auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
    box->SetCaption("&Keep");
    box->SetFocus();
    DeliverKey(true, VK_SPACE, U' ');
    DeliverKey(false, VK_SPACE, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'k', 0), 1);
    EXPECT_FALSE(box->Checked());
}

TEST_F(ControlsTest, FlatBoxWithoutSkinDrawsItsSquareAndMarks) {
    auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
    // Box from y 5 to 19, framed in the shadow colour.
    EXPECT_EQ(pixel(box, 3, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(box, 16, 18), ColorToRGB(clBtnShadow));
    EXPECT_NE(pixel(box, 3, 19), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(box, 7, 8 + 5), ColorToRGB(clBtnFace)); // no mark yet
    box->SetChecked(true);
    EXPECT_EQ(pixel(box, 7, 8 + 5), ColorToRGB(clBlack)); // the mark's first stroke
    box->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(pixel(box, 3, 5), ColorToRGB(TColor(0x800000)));
    box->SetRadio(true);
    box->Repaint();
    EXPECT_EQ(pixel(box, 10, 12), ColorToRGB(clBlack)); // the radio square
}

TEST_F(ControlsTest, BoxesDrawTheirSkinCheckImages) {
    auto* e = element<TspDataSkinCheckRadioControl>("checkbox");
    ASSERT_NE(e, nullptr);
    struct Case {
        const char* name;
        bool flat, checked, enabled;
        TRect TspDataSkinCheckRadioControl::*image;
    };
    const Case cases[] = {
        {"flat unchecked", true, false, true, &TspDataSkinCheckRadioControl::UnCheckImageRect},
        {"flat checked", true, true, true, &TspDataSkinCheckRadioControl::CheckImageRect},
        {"flat disabled", true, true, false,
         &TspDataSkinCheckRadioControl::UnEnabledCheckImageRect},
        {"full checked", false, true, true, &TspDataSkinCheckRadioControl::CheckImageRect},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
        box->SetFlat(c.flat);
        box->SetSkinData(defaultSkin());
        box->SetChecked(c.checked);
        box->SetEnabled(c.enabled);
        const TRect& img = e->*c.image;
        int x = c.flat ? 3 : box->CIRect.Left;
        int y = c.flat ? box->Height() / 2 - img.Height() / 2
                       : box->CIRect.Top + box->CIRect.Height() / 2 - img.Height() / 2;
        // The image's centre pixel.
        EXPECT_EQ(pixel(box, x + img.Width() / 2, y + img.Height() / 2),
                  skinPixel(img.Left + img.Width() / 2, img.Top + img.Height() / 2));
        delete box;
    }
}

// ---- Labels and bevel ---------------------------------------------------------------------

TEST_F(ControlsTest, StandardLabelTakesTheSkinFontAndShowsDisabledTextTwice) {
    auto* l = make<TspSkinStdLabel>(10, 10, 100, 20);
    l->SetCaption("WWW");
    l->DefaultFont()->SetColor(clRed);
    EXPECT_GT(countColor(l, TRect(0, 0, 40, 20), clRed), 0);
    l->SetSkinData(defaultSkin());
    auto* e = element<TspDataSkinStdLabelControl>("stdlabel");
    EXPECT_GT(countColor(l, TRect(0, 0, 40, 20), e->FontColor), 0);
    EXPECT_EQ(countColor(l, TRect(0, 0, 40, 20), clRed), 0);
    l->SetSkinData(nullptr);
    l->SetEnabled(false);
    l->Repaint();
    EXPECT_GT(countColor(l, TRect(0, 0, 40, 20), clBtnHighlight), 0);
    EXPECT_GT(countColor(l, TRect(0, 0, 40, 20), clBtnShadow), 0);
}

TEST_F(ControlsTest, StandardLabelMeasuresEmptyTextAsOneLineAndShortensLongText) {
    auto* l = make<TspSkinStdLabel>(10, 10, 100, 20);
    l->SetCaption("x");
    int oneLine = l->Height();
    l->SetCaption("");
    EXPECT_EQ(l->Height(), oneLine);
    EXPECT_GT(l->Width(), 0);
    l->SetCaption("&");
    EXPECT_EQ(l->Height(), oneLine);

    l->SetAutoSize(false);
    l->SetCaption("A long caption that does not fit");
    l->SetWidth(60);
    l->DefaultFont()->SetColor(clRed);
    int plain = countColor(l, TRect(45, 0, 60, l->Height()), clRed);
    l->SetEllipsType(spetEndEllips);
    l->Repaint();
    int ellipsis = countColor(l, TRect(45, 0, 60, l->Height()), clRed);
    EXPECT_NE(plain, ellipsis); // the end becomes "..."
}

TEST_F(ControlsTest, TextLabelLaysOutItsLines) {
    auto* l = make<TspSkinTextLabel>(10, 10, 100, 100);
    l->Lines()->Add("one");
    l->Lines()->Add("two");
    int twoLines = l->Height();
    l->Lines()->Add("three");
    EXPECT_GT(l->Height(), twoLines); // auto size follows the list
    EXPECT_EQ(l->GetLabelText(), "one\r\ntwo\r\nthree\r\n");

    // Right-justified auto size keeps the right edge.
    l->SetAlignment(taRightJustify);
    int right = l->Left() + l->Width();
    l->Lines()->Add("a much longer fourth line");
    EXPECT_EQ(l->Left() + l->Width(), right);
}

TEST_F(ControlsTest, TextLabelCentresItsLinesNotOneMore) {
    auto* l = make<TspSkinTextLabel>(10, 10, 100, 100);
    l->DefaultFont()->SetColor(clRed);
    l->Lines()->Add("WW");
    l->Lines()->Add("WW");
    int textHeight = l->Height();
    l->SetAutoSize(false);
    l->SetBounds(10, 10, 100, 100);
    l->SetLayout(tlCenter);
    l->Repaint();
    int top = -1, bottom = -1;
    for (int y = 0; y < 100; ++y)
        if (countColor(l, TRect(0, y, 40, y + 1), clBtnFace) < 40) {
            if (top < 0) top = y;
            bottom = y;
        }
    ASSERT_GE(top, 0) << textHeight;
    // The inked band sits in the middle of the 100 pixels.
    EXPECT_NEAR((top + bottom) / 2.0, 50, textHeight / 4.0 + 2);
}

TEST_F(ControlsTest, BevelDrawsWithTheSkinColoursAndItsDivider) {
    auto* b = make<TspSkinBevel>(10, 10, 60, 10);
    b->Shape = bsBottomLine;
    b->SetDividerMode(true);
    EXPECT_EQ(pixel(b, 10, 4), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(b, 10, 5), ColorToRGB(clBtnHighlight));
    EXPECT_NE(pixel(b, 1, 4), ColorToRGB(clBtnShadow)); // from x 2
    b->SetSkinData(defaultSkin());
    auto* e = element<TspDataSkinBevel>("bevel");
    EXPECT_EQ(b->DarkColor, e->DarkColor);
    EXPECT_EQ(pixel(b, 10, 4), ColorToRGB(e->DarkColor));
    b->SetSkinData(nullptr);
    EXPECT_EQ(b->DarkColor, clBtnShadow);
    EXPECT_EQ(b->LightColor, clBtnHighlight);
    b->SetDividerMode(false);
    EXPECT_EQ(pixel(b, 10, 8), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(b, 10, 9), ColorToRGB(clBtnHighlight));
}

// ---- Panels and status bar ----------------------------------------------------------------

TEST_F(ControlsTest, PanelGivesItsChildrenTheAreaInsideItsFrame) {
    auto* e = element<TspDataSkinPanelControl>("panel");
    ASSERT_NE(e, nullptr);
    struct Case {
        const char* name;
        bool skinned;
        TspSkinBorderStyle border;
        bool caption;
        TRect client; // for a 100 x 80 panel
    };
    const int dw = 100 - e->SkinRect.Width(), dh = 80 - e->SkinRect.Height();
    const Case cases[] = {
        {"no skin, frame", false, TspSkinBorderStyle::bvFrame, false, {1, 1, 99, 79}},
        {"no skin, frame and caption", false, TspSkinBorderStyle::bvFrame, true, {1, 23, 99, 79}},
        {"no skin, no border", false, TspSkinBorderStyle::bvNone, false, {0, 0, 100, 80}},
        {"skin, frame",
         true,
         TspSkinBorderStyle::bvFrame,
         false,
         {e->ClRect.Left, e->ClRect.Top, e->ClRect.Right + dw, e->ClRect.Bottom + dh}},
        {"skin, no border", true, TspSkinBorderStyle::bvNone, false, {0, 0, 100, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* p = make<TspSkinPanel>(10, 10, 100, 80);
        p->SetBorderStyle(c.border);
        p->SetCaptionMode(c.caption);
        if (c.skinned) p->SetSkinData(defaultSkin());
        auto* child = new TspSkinPanel(p);
        child->SetParent(p);
        child->SetAlign(alClient);
        EXPECT_EQ(p->GetSkinClientRect(), c.client);
        EXPECT_EQ(child->BoundsRect(), c.client);
        delete p;
    }
}

TEST_F(ControlsTest, PanelDrawsItsFrameWithAndWithoutSkin) {
    auto* p = make<TspSkinPanel>(10, 10, 100, 80);
    EXPECT_EQ(pixel(p, 0, 40), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(p, 40, 40), ColorToRGB(clBtnFace));
    p->SetBorderStyle(TspSkinBorderStyle::bvRaised);
    EXPECT_EQ(pixel(p, 0, 40), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(pixel(p, 99, 40), ColorToRGB(clBtnShadow));
    auto* e = element<TspDataSkinPanelControl>("panel");
    p->SetSkinData(defaultSkin());
    // Corners are copied from the element.
    EXPECT_EQ(pixel(p, 1, 1), skinPixel(e->SkinRect.Left + 1, e->SkinRect.Top + 1));
    EXPECT_EQ(pixel(p, 98, 78), skinPixel(e->SkinRect.Right - 2, e->SkinRect.Bottom - 2));
}

TEST_F(ControlsTest, PanelRollsUpAndDownAndTogglesItsCheck) {
    auto* p = make<TspSkinPanel>(10, 10, 120, 90);
    auto* a = new TspSkinPanel(p);
    a->SetParent(p);
    auto* hidden = new TspSkinPanel(p);
    hidden->SetParent(p);
    hidden->SetVisible(false);
    p->SetCaptionMode(true);
    p->SetRollUpMode(true);
    p->SetCheckedMode(true);
    int checkedEvents = 0, rollEvents = 0;
    p->OnChecked = [&](TObject*) { ++checkedEvents; };
    p->OnChangeRollUpState = [&](TObject*) { ++rollEvents; };
    // One click on the caption bar toggles both.
    p->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(50, 10));
    p->Perform(WM_LBUTTONUP, 0, at(50, 10));
    EXPECT_TRUE(p->Checked());
    EXPECT_TRUE(p->RollUpState());
    EXPECT_EQ(p->Height(), 23);
    EXPECT_EQ(p->RealHeight(), 90);
    EXPECT_FALSE(a->Visible());
    p->SetRollUpState(false);
    EXPECT_EQ(p->Height(), 90);
    EXPECT_EQ(p->RealHeight(), -1);
    EXPECT_TRUE(a->Visible());
    EXPECT_TRUE(hidden->Visible());
    EXPECT_EQ(checkedEvents, 1);
    EXPECT_EQ(rollEvents, 2);
    // Unchecking disables every child; the event fires outside check mode too.
    p->SetChecked(false);
    EXPECT_FALSE(a->Enabled());
    p->SetCheckedMode(false);
    p->SetChecked(true);
    EXPECT_EQ(checkedEvents, 3);
    EXPECT_FALSE(a->Enabled());
}

TEST_F(ControlsTest, StatusBarAnswersTheGripOnlyOverItsSquare) {
    auto* bar = new TspSkinStatusBar(form.get());
    bar->SetParent(form.get());
    EXPECT_EQ(bar->Height(), 21);
    EXPECT_EQ(bar->Align(), alBottom);
    auto hit = [&](int x, int y) {
        TPoint s = bar->ClientToScreen(TPoint(x, y));
        return SendMessage(bar->Handle(), WM_NCHITTEST, 0, MAKELPARAM(s.X, s.Y));
    };
    EXPECT_EQ(hit(bar->Width() - 5, 10), LRESULT(HTCLIENT));
    bar->SetSizeGrip(true);
    TRect g = bar->GripRect();
    EXPECT_EQ(g.Right, bar->Width());
    EXPECT_EQ(hit(bar->Width() - 5, 10), LRESULT(HTBOTTOMRIGHT));
    EXPECT_EQ(hit(bar->Width() / 2, 10), LRESULT(HTCLIENT));
    bar->SetShowGrip(false);
    EXPECT_EQ(hit(bar->Width() - 5, 10), LRESULT(HTCLIENT));
    bar->SetShowGrip(true);
    bar->SetSkinData(defaultSkin());
    auto* e = element<TspDataSkinPanelControl>("statusbar");
    EXPECT_EQ(bar->GripRect().Width(), e->GripperRect.Width());
    EXPECT_EQ(hit(bar->Width() - 3, bar->Height() - 3), LRESULT(HTBOTTOMRIGHT));
}

// ---- Gauge ----------------------------------------------------------------------------------

TEST_F(ControlsTest, GaugeLimitsItsValueAndFillsTheTruncatedFraction) {
    auto* g = make<TspSkinGauge>(10, 10, 100, 20);
    EXPECT_EQ(g->Value(), 50);
    g->SetValue(150);
    EXPECT_EQ(g->Value(), 100);
    g->SetMaxValue(200);
    EXPECT_EQ(g->Value(), 100);
    g->SetMaxValue(60);
    EXPECT_EQ(g->Value(), 60);
    g->SetMinValue(0);
    g->SetMaxValue(3);
    g->SetValue(2);
    EXPECT_EQ(g->Percent(), 66);
    TRect area(1, 1, 99, 19);
    EXPECT_EQ(g->CalcProgressRect(area, false), TRect(1, 1, 1 + 65, 19)); // trunc(2/3 * 98)
    g->SetMaxValue(100);
    g->SetValue(25);
    EXPECT_EQ(g->CalcProgressRect(TRect(0, 0, 10, 100), true), TRect(0, 75, 10, 100));
    // Default look: the filled part and the rest.
    EXPECT_EQ(pixel(g, 10, 10), ColorToRGB(TColor(0xD2BDB6)));
    EXPECT_EQ(pixel(g, 50, 10), ColorToRGB(clWindow));
}

TEST_F(ControlsTest, GaugeWithEqualLimitsDrawsEmpty) {
    for (bool skinned : {false, true}) {
        SCOPED_TRACE(skinned);
        auto* g = make<TspSkinGauge>(10, 10, 100, 10);
        if (skinned) g->SetSkinData(defaultSkin());
        g->SetShowPercent(true);
        g->SetMinValue(5);
        g->SetMaxValue(5);
        EXPECT_EQ(g->Value(), 5);
        EXPECT_EQ(g->Percent(), 0);
        EXPECT_TRUE(IsEmptyRect(g->CalcProgressRect(TRect(0, 0, 100, 10), false)));
        EXPECT_TRUE(IsEmptyRect(g->CalcProgressRect(TRect(0, 0, 10, 100), true)));
        // Crossed limits fill nothing either.
        g->SetMinValue(9);
        EXPECT_TRUE(IsEmptyRect(g->CalcProgressRect(TRect(0, 0, 100, 10), false)));
        g->Repaint();
        delete g;
    }
}

TEST_F(ControlsTest, SkinnedGaugeFillsWithTheProgressPicture) {
    auto* e = element<TspDataSkinGaugeControl>("gauge");
    ASSERT_NE(e, nullptr);
    auto* g = make<TspSkinGauge>(10, 10, 200, 10);
    g->SetSkinData(defaultSkin());
    EXPECT_EQ(g->Height(), e->SkinRect.Height());
    g->SetValue(50);
    const TRect& P = e->ProgressRect;
    COLORREF bar = skinPixel(P.Left + P.Width() / 2, P.Top + P.Height() / 2);
    EXPECT_EQ(pixel(g, 50, 5), bar);
    EXPECT_NE(pixel(g, 150, 5), bar);
    g->SetValue(0);
    EXPECT_NE(pixel(g, 50, 5), bar);
}

TEST_F(ControlsTest, GaugeTextShowsWithItsOpacity) {
    auto* g = make<TspSkinGauge>(10, 10, 200, 10);
    g->SetSkinData(defaultSkin());
    g->SetValue(0);
    auto ink = [&] { return 200 * 10 - countColor(g, TRect(0, 0, 200, 10), pixel(g, 100, 1)); };
    int plain = ink();
    g->SetShowPercent(true);
    int text = ink();
    EXPECT_GT(text, plain);
    g->SetTextAlphaBlend(true);
    g->SetTextAlphaBlendValue(0);
    EXPECT_EQ(ink(), plain);
    g->SetTextAlphaBlendValue(255);
    EXPECT_EQ(ink(), text);
}

TEST_F(ControlsTest, VerticalGaugeTextReadsUpward) {
    // The text's ink: wide on a horizontal bar, tall on a vertical one, and
    // centred on the bar either way.
    for (bool vertical : {false, true}) {
        SCOPED_TRACE(vertical);
        auto* g =
            vertical ? make<TspSkinGauge>(10, 10, 40, 160) : make<TspSkinGauge>(10, 10, 160, 40);
        g->SetVertical(vertical);
        g->SetValue(0);
        g->SetProgressText("Progress");
        g->SetShowProgressText(true);
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        TPoint o = g->ClientToScreen(TPoint(0, 0)), f = form->ClientToScreen(TPoint(0, 0));
        TRect ink(g->Width(), g->Height(), 0, 0);
        for (int y = 1; y < g->Height() - 1; ++y)
            for (int x = 1; x < g->Width() - 1; ++x)
                if (shot->getPixel(o.X - f.X + x, o.Y - f.Y + y) != ColorToRGB(clWindow))
                    ink = TRect(std::min(ink.Left, x), std::min(ink.Top, y),
                                std::max(ink.Right, x + 1), std::max(ink.Bottom, y + 1));
        DeleteObject(shot);
        ASSERT_LT(ink.Left, ink.Right);
        EXPECT_EQ(ink.Height() > ink.Width(), vertical);
        EXPECT_NEAR((ink.Left + ink.Right) / 2.0, g->Width() / 2.0, 3);
        EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, g->Height() / 2.0, 3);
        delete g;
    }
}

TEST_F(ControlsTest, GaugeAnimationRunsFramesThenPauses) {
    auto* e = element<TspDataSkinGaugeControl>("gauge");
    TRect saved = e->ProgressAnimationSkinRect;
    e->ProgressAnimationSkinRect = TRect(e->ProgressRect.Left, e->ProgressRect.Top,
                                         e->ProgressRect.Left + 5 * 24, e->ProgressRect.Bottom);
    e->ProgressAnimationCountFrames = 5;
    e->ProgressAnimationTimerInterval = 50;
    auto* g = make<TspSkinGauge>(10, 10, 200, 10);
    g->SetSkinData(defaultSkin());
    g->StartProgressAnimation();
    std::vector<int> frames;
    for (int t = 0; t < 1400; t += 50) {
        clock.Advance(50);
        Application->ProcessMessages();
        frames.push_back(g->AnimationFrame());
    }
    // Frames 1 to 5, then the plain bar for the pause, then again.
    std::vector<int> head(frames.begin(), frames.begin() + 7);
    EXPECT_EQ(head, (std::vector<int>{1, 2, 3, 4, 5, 0, 0}));
    EXPECT_EQ(frames[25], 0); // the run starts again on the plain bar
    EXPECT_EQ(frames[26], 1);
    g->StopProgressAnimation();
    EXPECT_FALSE(g->AnimationRunning());
    e->ProgressAnimationSkinRect = saved;
    e->ProgressAnimationCountFrames = 0;
}

// ---- Shadow label, link label and link image -----------------------------------------------

TEST_F(ControlsTest, ShadowLabelSizesToItsTextAndShadow) {
    auto* l = make<TspSkinShadowLabel>(10, 10, 65, 17);
    l->SetCaption("Advanced search");
    TBitmap m(1, 1);
    m.Canvas()->Font()->Assign(l->Font());
    TRect r(0, 0, 0, 0);
    RECT rr{0, 0, 0, 0};
    m.Canvas()->RequiredState();
    DrawText(m.Canvas()->Handle(), "Advanced search", &rr, DT_CALCRECT | DT_EXPANDTABS);
    EXPECT_EQ(l->Width(), rr.right + 12);
    EXPECT_EQ(l->Height(), rr.bottom + 12);
    l->SetShadowSize(11);
    l->SetShadowSize(0);
    EXPECT_EQ(l->ShadowSize(), 2);
    l->SetShadowOffset(101);
    EXPECT_EQ(l->ShadowOffset(), 0);
    l->SetSkinData(defaultSkin());
    TspSkinColors* c = defaultSkin()->SkinColors();
    EXPECT_EQ(l->Font()->Color(), c->FcBtnText);
    EXPECT_EQ(l->ShadowColor(), DarkenColor(c->FcBtnFace, 80));
}

TEST_F(ControlsTest, LinksOpenTheirAddressAsOneArgument) {
    std::vector<std::vector<std::string>> launched;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        launched.push_back(argv);
        return true;
    });
    auto* link = make<TspSkinLinkLabel>(10, 10, 80, 20);
    link->SetCaption("Home");
    int clicks = 0;
    link->OnClick = [&](TObject*) { ++clicks; };
    link->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(2, 2));
    link->Perform(WM_LBUTTONUP, 0, at(2, 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(launched.empty()); // no address: only the event

    const std::string url = "https://example.test/a b?x=1;rm -rf ~&y=$(id)";
    link->URL = url;
    link->Click();
    auto* image = make<TspSkinLinkImage>(100, 10, 20, 20);
    image->URL = url;
    image->Click();
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[0].back(), url);
    EXPECT_EQ(launched[1].back(), url);
    for (const char* bad :
         {"javascript:alert(1)", "/bin/sh", "file:///bin/sh", "xmd:ACTION=Play", "-e x"}) {
        link->URL = bad;
        link->Click();
    }
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(link->Cursor(), crHandPoint);
    os::SetLaunchHook(nullptr);
}

TEST_F(ControlsTest, LinkLabelHoverColourAndGlowShift) {
    auto* link = make<TspSkinLinkLabel>(10, 10, 80, 20);
    link->SetCaption("WWW");
    link->DefaultFont()->SetColor(clGreen);
    EXPECT_GT(countColor(link, TRect(0, 0, link->Width(), link->Height()), clGreen), 0);
    link->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_TRUE(link->MouseIn());
    EXPECT_EQ(countColor(link, TRect(0, 0, link->Width(), link->Height()), clGreen), 0);
    EXPECT_GT(countColor(link, TRect(0, 0, link->Width(), link->Height()), TColor(0xFF0000)), 0);
    link->Perform(CM_MOUSELEAVE, 0, 0);
    int plainHeight = link->Height();
    link->GlowEffect = true;
    link->SetCaption("WWW ");
    EXPECT_EQ(link->Height(), plainHeight + link->GlowSize);
    // With the skin element the colours come from "stdlabel".
    link->GlowEffect = false;
    link->SetSkinData(defaultSkin());
    auto* e = element<TspDataSkinStdLabelControl>("stdlabel");
    link->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_GT(countColor(link, TRect(0, 0, link->Width(), link->Height()), e->ActiveFontColor), 0);
}

// ---- Speed button ----------------------------------------------------------------------------

TEST_F(ControlsTest, FlatSpeedButtonShowsItsImageOnlyWhileHovered) {
    auto* e = element<TspDataSkinButtonControl>("toolbutton");
    bool saved = e->Morphing;
    e->Morphing = true;
    auto* panel = make<TspSkinPanel>(0, 0, 200, 100);
    panel->SetBorderStyle(TspSkinBorderStyle::bvNone);
    auto* s = new TspSkinSpeedButton(panel);
    s->SetParent(panel);
    s->SetBounds(10, 10, 60, 28);
    s->SetFlat(true);
    s->SetSkinData(defaultSkin());
    EXPECT_FALSE(s->Morphing);
    COLORREF under = pixel(panel, 5, 5);
    EXPECT_EQ(pixel(s, 10, 3), under);
    s->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(pixel(s, 10, 3), skinPixel(e->ActiveSkinRect.Left + 10, e->ActiveSkinRect.Top + 3));
    EXPECT_EQ(s->MorphKf(), 0.0); // no morph on a flat button
    e->Morphing = saved;
}

TEST_F(ControlsTest, SpeedButtonClicksGroupsAndCaptionWidth) {
    auto* a = make<TspSkinSpeedButton>(10, 10, 25, 25);
    auto* b = make<TspSkinSpeedButton>(40, 10, 25, 25);
    int clicks = 0;
    a->OnClick = [&](TObject*) { ++clicks; };
    // A click through the form reaches the window-less button once.
    SendMessage(form->Handle(), WM_MOUSEMOVE, 0, at(15, 15));
    SendMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(15, 15));
    SendMessage(form->Handle(), WM_LBUTTONUP, 0, at(15, 15));
    EXPECT_EQ(clicks, 1);
    a->SetGroupIndex(3);
    b->SetGroupIndex(3);
    a->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    a->Perform(WM_LBUTTONUP, 0, at(5, 5));
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(a->Down());
    a->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(pixel(a, 3, 3), ColorToRGB(TColor(0xB59385))); // still pressed
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    EXPECT_FALSE(a->Down());

    a->WidthWithCaption = 80;
    a->WidthWithoutCaption = 25;
    a->SetShowCaption(false);
    EXPECT_EQ(a->Width(), 25);
    a->SetShowCaption(true);
    EXPECT_EQ(a->Width(), 80);
    b->WidthWithCaption = 0;
    b->SetShowCaption(false);
    EXPECT_EQ(b->Width(), 25);
}

TEST_F(ControlsTest, SpeedButtonGlyphWinsOverTheImageList) {
    auto* s = make<TspSkinSpeedButton>(10, 10, 40, 40);
    TImageList images(nullptr);
    images.SetWidth(8);
    images.SetHeight(8);
    TBitmap red(8, 8), blue(8, 8);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect(TRect(0, 0, 8, 8));
    blue.Canvas()->Brush()->SetColor(clBlue);
    blue.Canvas()->FillRect(TRect(0, 0, 8, 8));
    blue.Canvas()->SetPixel(0, 7, clWhite); // the glyph's transparent colour
    images.Add(&red, nullptr);
    s->SetImageList(&images);
    EXPECT_GT(countColor(s, TRect(0, 0, 40, 40), clRed), 0);
    s->SetGlyph(&blue);
    EXPECT_EQ(countColor(s, TRect(0, 0, 40, 40), clRed), 0);
    EXPECT_GT(countColor(s, TRect(0, 0, 40, 40), clBlue), 0);
    s->SetImageList(nullptr);
}

// ---- Skin changes, sizes and the glow layer -----------------------------------------------

TEST_F(ControlsTest, ButtonSizeFollowsUseSkinSize) {
    auto* e = element<TspDataSkinButtonControl>("button");
    TPoint lt = e->LTPoint, rt = e->RTPoint, lb = e->LBPoint, rb = e->RBPoint;
    e->LTPoint = e->RTPoint = e->LBPoint = e->RBPoint = TPoint(0, 0); // a fixed-size element
    auto* b = make<TspSkinButton>(10, 10, 200, 50);
    b->SetSkinData(defaultSkin());
    EXPECT_EQ(b->Width(), e->SkinRect.Width());
    EXPECT_EQ(b->Height(), e->SkinRect.Height());
    b->SetUseSkinSize(false);
    b->SetBounds(10, 10, 200, 50);
    EXPECT_EQ(b->Width(), 200);
    EXPECT_EQ(b->Height(), 50);
    // Stretched: the face's middle row shows the element's middle row.
    EXPECT_EQ(pixel(b, 100, 25), skinPixel(e->SkinRect.Left + e->SkinRect.Width() / 2,
                                           e->SkinRect.Top + e->SkinRect.Height() / 2));
    e->LTPoint = lt, e->RTPoint = rt, e->LBPoint = lb, e->RBPoint = rb;
}

TEST_F(ControlsTest, SkinChangeKeepsTheHoverLookOnlyUnderThePointer) {
    auto* e = element<TspDataSkinButtonControl>("button");
    bool saved = e->Morphing;
    e->Morphing = true;
    auto* in = make<TspSkinButton>(10, 10, 90, 30);
    auto* away = make<TspSkinButton>(110, 10, 90, 30);
    for (auto* b : {in, away})
        b->SetSkinData(defaultSkin());
    in->Perform(CM_MOUSEENTER, 0, 0);
    tick(40);
    for (auto* b : {in, away}) {
        b->BeforeChangeSkinData();
        EXPECT_EQ(b->Index(), -1);
        b->ChangeSkinData();
    }
    EXPECT_EQ(in->MorphKf(), 1.0);
    EXPECT_EQ(away->MorphKf(), 0.0);
    e->Morphing = saved;
}

TEST_F(ControlsTest, GlowLayerShowsOnEntryAndGoesOnLeave) {
    TspSkinData* sd = defaultSkin();
    auto* e = element<TspDataSkinButtonControl>("button");
    const int W = e->SkinRect.Width() + 8, H = e->SkinRect.Height() + 8;
    auto glow = std::make_unique<TBitmap>(W, H), mask = std::make_unique<TBitmap>(W, H);
    mask->Canvas()->Brush()->SetColor(clWhite);
    mask->Canvas()->FillRect(TRect(0, 0, W, H));
    sd->FActivePictures.push_back(std::move(glow));
    sd->FActivePictures.push_back(std::move(mask));
    int n = int(sd->FActivePictures.size());
    e->GlowLayerPictureIndex = n - 2;
    e->GlowLayerMaskPictureIndex = n - 1;
    e->GlowLayerOffsetLeft = e->GlowLayerOffsetRight = e->GlowLayerOffsetTop =
        e->GlowLayerOffsetBottom = 6;
    e->GlowLayerShowOffsetX = e->GlowLayerShowOffsetY = 4;
    sd->SetShowButtonGlowFrames(false);

    for (bool always : {false, true}) {
        SCOPED_TRACE(always);
        auto* b = make<TspSkinButton>(10, 10, 120, 30);
        b->AlwaysShowLayeredFrame = always;
        b->SetSkinData(sd);
        b->Perform(CM_MOUSEENTER, 0, 0);
        Application->ProcessMessages();
        EXPECT_EQ(b->LayerManager()->IsVisible, always);
        if (always) {
            HWND layer = b->LayerManager()->LayerWindow->Handle();
            RECT r;
            GetWindowRect(layer, &r);
            TPoint o = b->ClientToScreen(TPoint(0, 0));
            EXPECT_EQ(r.left, o.X - 4);
            EXPECT_EQ(r.right - r.left, 120 + 8); // grown with the button
        }
        b->Perform(CM_MOUSELEAVE, 0, 0);
        Application->ProcessMessages();
        EXPECT_FALSE(b->LayerManager()->IsVisible);
        delete b;
    }
    e->GlowLayerPictureIndex = e->GlowLayerMaskPictureIndex = -1;
    sd->FActivePictures.resize(size_t(n - 2));
    sd->SetShowButtonGlowFrames(true);
}

TEST_F(ControlsTest, FullLookBoxMorphsTowardItsHoverImage) {
    auto* e = element<TspDataSkinCheckRadioControl>("checkbox");
    bool saved = e->Morphing;
    e->Morphing = true;
    auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
    box->SetFlat(false);
    box->SetSkinData(defaultSkin());
    box->Perform(CM_MOUSEENTER, 0, 0);
    std::vector<double> seen;
    for (int i = 0; i < 6; ++i) {
        clock.Advance(20);
        Application->ProcessMessages();
        seen.push_back(box->MorphKf());
    }
    EXPECT_NEAR(seen[0], 0.2, 1e-9);
    EXPECT_NEAR(seen[3], 0.8, 1e-9);
    EXPECT_EQ(seen[5], 1.0);
    box->Perform(CM_MOUSELEAVE, 0, 0);
    tick(200);
    EXPECT_EQ(box->MorphKf(), 0.0);
    // The flat look never morphs.
    box->SetFlat(true);
    box->ChangeSkinData();
    box->Perform(CM_MOUSEENTER, 0, 0);
    tick(60);
    EXPECT_EQ(box->MorphKf(), 0.0);
    e->Morphing = saved;
}

TEST_F(ControlsTest, PaintPanelAndTransparentPanelShowWhatTheyAreGiven) {
    auto* host = make<TspSkinPaintPanel>(10, 10, 200, 120);
    host->SetBorderStyle(TspSkinBorderStyle::bvNone);
    TRect given;
    host->OnPanelPaint = [&](TCanvas* C, TRect R) {
        given = R;
        C->Brush()->SetColor(clRed);
        C->FillRect(R);
    };
    host->Repaint();
    EXPECT_EQ(given, TRect(0, 0, 200, 120));
    EXPECT_EQ(pixel(host, 100, 60), ColorToRGB(clRed));

    auto* glass = new TspSkinPanel(host);
    glass->SetParent(host);
    glass->SetBounds(20, 20, 100, 60);
    glass->SetSkinData(defaultSkin());
    glass->SetTransparentMode(true);
    EXPECT_EQ(pixel(glass, 50, 30), ColorToRGB(clRed)); // the parent shows through
    EXPECT_EQ(pixel(glass, 0, 30), ColorToRGB(defaultSkin()->SkinColors()->FcBtnShadow));
    EXPECT_EQ(glass->GetSkinClientRect(), TRect(2, 2, 98, 58));
}

TEST_F(ControlsTest, FullLookBoxWithoutSkinFramesItselfUnderThePointer) {
    auto* box = make<TspSkinCheckRadioBox>(10, 10, 150, 25);
    box->SetFlat(false);
    box->SetCanFocused(false);
    EXPECT_EQ(pixel(box, 0, 0), ColorToRGB(clBtnFace));
    EXPECT_EQ(pixel(box, 3, 5), ColorToRGB(clBtnShadow)); // the 14 x 14 box
    box->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(pixel(box, 0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(pixel(box, 3, 5), ColorToRGB(TColor(0x800000)));
    box->SetChecked(true);
    EXPECT_EQ(pixel(box, 7, 13), ColorToRGB(clBlack));
}
