// The spin edit: bounds, typing, steps by buttons, keys and wheel, and looks.
#include <gtest/gtest.h>

#include "platform/display/headless.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "tests/skin/controls/boxtest.h"

using namespace boxtest;

namespace {

struct Spin {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TspSkinSpinEdit* spin = new TspSkinSpinEdit(form.get());
    int changes = 0, ups = 0, downs = 0;
    Spin() {
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 300, 100);
        spin->SetParent(form.get());
        spin->SetBounds(10, 10, 120, 22);
        spin->OnChange = [this](TObject*) { ++changes; };
        spin->OnUpButtonClick = [this](TObject*) { ++ups; };
        spin->OnDownButtonClick = [this](TObject*) { ++downs; };
        form->Show();
    }
    // Types into the inner field as the user does.
    void type(const std::string& s) {
        spin->Edit()->SetFocus();
        spin->Edit()->SelectAll();
        chars(spin->Edit(), s);
    }
    std::string text() { return spin->Edit()->Text(); }
};

} // namespace

TEST(SkinSpinEdit, TypedNumbersAreKeptWithinTheBounds) {
    Spin t;
    t.spin->SetMinValue(1);
    t.spin->SetMaxValue(10);
    EXPECT_EQ(t.spin->Value(), 1);
    EXPECT_EQ(t.text(), "1");
    t.type("25");
    EXPECT_EQ(t.spin->Value(), 10);
    EXPECT_EQ(t.text(), "10");
    // A number still being typed below the range stays until the field is left.
    t.type("0");
    EXPECT_EQ(t.text(), "0");
    EXPECT_EQ(t.spin->Value(), 1);
    t.form->SetFocus();
    EXPECT_EQ(t.text(), "1");
    // A lone minus sign is not a number.
    t.spin->SetMinValue(-5);
    t.spin->SetValue(3);
    t.type("-");
    EXPECT_EQ(t.spin->Value(), 3);
    EXPECT_EQ(t.text(), "-");
    // Lowering the maximum below the value moves the value.
    const int before = t.changes;
    t.spin->SetMaxValue(2);
    EXPECT_EQ(t.spin->Value(), 2);
    EXPECT_EQ(t.changes, before + 1);
}

TEST(SkinSpinEdit, ABoundLeftAtZeroOnTheWrongSideIsNoBound) {
    Spin t;
    struct Case {
        double min, max, asked, expected;
    } cases[] = {
        {0, 0, -1e6, -1e6}, {0, 0, 1e6, 1e6}, {5, 0, 100, 100}, {5, 0, 3, 5},     {0, -5, 7, -5},
        {0, -5, -50, -50},  {0, 10, 11, 10},  {0, 10, -1, 0},   {-10, -2, 0, -2}, {2, 8, 9, 8},
    };
    for (const auto& c : cases) {
        t.spin->SetMaxValue(0);
        t.spin->SetMinValue(0);
        t.spin->SetMinValue(c.min);
        t.spin->SetMaxValue(c.max);
        t.spin->SetValue(c.asked);
        EXPECT_EQ(t.spin->Value(), c.expected) << c.min << ".." << c.max << " " << c.asked;
    }
    // Typed as well as set.
    t.spin->SetMaxValue(0);
    t.spin->SetMinValue(0);
    t.spin->SetMinValue(5);
    t.type("42");
    EXPECT_EQ(t.spin->Value(), 42);
    EXPECT_EQ(t.text(), "42");
}

TEST(SkinSpinEdit, FloatValuesAndTheIncrementOnASwitchToIntegers) {
    Spin t;
    t.spin->SetValueType(vtFloat);
    t.spin->SetDecimal(2);
    t.spin->SetValue(1.5);
    EXPECT_EQ(t.text(), std::string("1") + DecimalSeparator() + "50");
    t.spin->SetIncrement(0.25);
    t.spin->StepUp();
    EXPECT_DOUBLE_EQ(t.spin->Value(), 1.75);
    t.spin->SetValueType(vtInteger);
    EXPECT_EQ(t.spin->Increment(), 1);
    t.spin->SetValueType(vtFloat);
    t.spin->SetIncrement(2.5);
    t.spin->SetValueType(vtInteger);
    EXPECT_EQ(t.spin->Increment(), 2);
    t.spin->SetValue(2.5); // halves to even
    EXPECT_EQ(t.text(), "2");
}

TEST(SkinSpinEdit, KeysAndWheelStepAndReport) {
    Spin t;
    t.spin->SetValue(5);
    t.spin->Edit()->SetFocus();
    key(t.spin->Edit(), VK_UP);
    key(t.spin->Edit(), VK_UP);
    EXPECT_EQ(t.spin->Value(), 7);
    key(t.spin->Edit(), VK_DOWN);
    EXPECT_EQ(t.spin->Value(), 6);
    wheel(t.spin->Edit(), -120); // toward the user: up
    EXPECT_EQ(t.spin->Value(), 7);
    wheel(t.spin->Edit(), 120);
    EXPECT_EQ(t.spin->Value(), 6);
    EXPECT_EQ(t.ups, 3);
    EXPECT_EQ(t.downs, 2);
    // Without the editor the keys still step, typing does nothing.
    t.spin->SetEditorEnabled(false);
    chars(t.spin->Edit(), "9");
    key(t.spin->Edit(), VK_UP);
    EXPECT_EQ(t.spin->Value(), 7);
    EXPECT_EQ(t.text(), "7");
}

TEST(SkinSpinEdit, ARefusedCharacterRingsTheBell) {
    Spin t;
    t.spin->SetMinValue(-100);
    t.spin->SetMaxValue(100);
    display::Headless* bell = display::CurrentHeadless();
    ASSERT_NE(bell, nullptr);
    struct Case {
        const char* Typed;
        int Rings;
    } cases[] = {{"12", 0}, {"1x", 1}, {"-5-", 1}, {"ab.", 3}};
    for (const Case& c : cases) {
        const int before = bell->Beeps();
        t.type(c.Typed);
        EXPECT_EQ(bell->Beeps() - before, c.Rings) << c.Typed;
    }
    // Without the editor every digit is refused, and Backspace too.
    t.spin->SetEditorEnabled(false);
    const int before = bell->Beeps();
    chars(t.spin->Edit(), "7\b");
    EXPECT_EQ(bell->Beeps() - before, 2);
}

class SkinSpinEditButtons : public ClockTest {};

TEST_F(SkinSpinEditButtons, HoldingRepeatsAndReleaseStepsOnceMore) {
    Spin t;
    t.spin->SetValue(0);
    TRect up = t.spin->Buttons[0].R, down = t.spin->Buttons[1].R;
    EXPECT_EQ(up, TRect(120 - 17, 2, 118, 11));
    EXPECT_EQ(down, TRect(120 - 17, 11, 118, 20));
    const int ux = up.Left + 3, uy = up.Top + 3;
    // A short click steps once, on release.
    press(t.spin, ux, uy);
    EXPECT_EQ(t.spin->Value(), 0);
    release(t.spin, ux, uy);
    EXPECT_EQ(t.spin->Value(), 1);
    EXPECT_EQ(t.ups, 1);
    // Held: first repeat at 600 ms, then every 100 ms, once more on release.
    press(t.spin, ux, uy);
    advance(500);
    EXPECT_EQ(t.spin->Value(), 1);
    advance(100);
    EXPECT_EQ(t.spin->Value(), 2);
    advance(100);
    EXPECT_EQ(t.spin->Value(), 3);
    // Off the button the repeat stops; back on it, 50 ms.
    mouse(t.spin, WM_MOUSEMOVE, 50, 10, MK_LBUTTON);
    advance(100);
    EXPECT_EQ(t.spin->Value(), 3);
    mouse(t.spin, WM_MOUSEMOVE, ux, uy, MK_LBUTTON);
    advance(50);
    EXPECT_EQ(t.spin->Value(), 4);
    release(t.spin, ux, uy);
    EXPECT_EQ(t.spin->Value(), 5);
    EXPECT_EQ(t.ups, 2); // repeats report only through OnChange
    // Released after dragging off: no final step.
    press(t.spin, down.Left + 3, down.Top + 3);
    mouse(t.spin, WM_MOUSEMOVE, 50, 10, MK_LBUTTON);
    release(t.spin, 50, 10);
    EXPECT_EQ(t.spin->Value(), 5);
    press(t.spin, down.Left + 3, down.Top + 3);
    release(t.spin, down.Left + 3, down.Top + 3);
    EXPECT_EQ(t.spin->Value(), 4);
    EXPECT_EQ(t.downs, 1);
}

TEST(SkinSpinEdit, DefaultAndSkinLooks) {
    Spin t;
    Shot s(t.form.get());
    EXPECT_EQ(s.at(10, 10), rgb(clBtnShadow));
    EXPECT_EQ(s.at(11, 11), rgb(clBtnFace));
    TRect up = t.spin->Buttons[0].R;
    mouse(t.spin, WM_MOUSEMOVE, up.Left + 3, up.Top + 3);
    Shot hot(t.form.get());
    EXPECT_EQ(hot.at(10 + up.Left, 10 + up.Top), RGB(0, 0, 128));
    EXPECT_EQ(hot.at(10 + up.Left + 1, 10 + up.Top + 1), RGB(182, 189, 210));
    mouse(t.spin, WM_MOUSEMOVE, 40, 5);

    auto* el = Element<TspDataSkinSpinEditControl>("spinedit");
    ASSERT_NE(el, nullptr);
    TBitmap* pic = SkinPicture(el->PictureIndex);
    ASSERT_NE(pic, nullptr);
    t.spin->SetSkinData(DefaultSkin());
    EXPECT_EQ(t.spin->Height(), RectHeight(el->SkinRect));
    EXPECT_TRUE(t.spin->Edit()->EditTransparent());
    EXPECT_EQ(t.spin->Edit()->Font()->Color(), el->FontColor);
    up = t.spin->Buttons[0].R;
    EXPECT_EQ(up.Left, el->UpButtonRect.Left + 120 - RectWidth(el->SkinRect));
    press(t.spin, up.Left + 3, up.Top + 3);
    Shot down(t.form.get());
    EXPECT_EQ(
        down.at(10 + up.Left + 9, 10 + up.Top + 1),
        rgb(pic->Canvas()->Pixels(el->DownUpButtonRect.Left + 9, el->DownUpButtonRect.Top + 1)));
    release(t.spin, up.Left + 3, up.Top + 3);
    t.spin->SetEnabled(false);
    EXPECT_EQ(t.spin->Edit()->Font()->Color(), el->DisabledFontColor);
}
