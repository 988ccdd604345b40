// The edit base, the number field and the skinned edit: typing, selection,
// clipboard, the context menu, and their looks.
#include <gtest/gtest.h>

#include "classlib/imglist.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/edit.h"
#include "platform/win/scroll.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "tests/skin/controls/boxtest.h"

using namespace boxtest;

namespace {

// A shown form with an edit of type E and default and cancel buttons.
template <class E> struct EditForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    E* edit = new E(form.get());
    int oks = 0, cancels = 0;
    EditForm() {
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 300, 120);
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 150, 20);
        auto* ok = new TButton(form.get());
        ok->Default = true;
        ok->SetBounds(10, 80, 60, 24);
        ok->SetParent(form.get());
        ok->OnClick = [this](TObject*) { ++oks; };
        auto* cancel = new TButton(form.get());
        cancel->Cancel = true;
        cancel->SetBounds(80, 80, 60, 24);
        cancel->SetParent(form.get());
        cancel->OnClick = [this](TObject*) { ++cancels; };
        form->Show();
        edit->SetFocus();
    }
};

void contextMenu(TWinControl* c, int x = -1, int y = -1) {
    SendMessage(c->Handle(), WM_CONTEXTMENU, WPARAM(c->Handle()),
                MAKELPARAM(uint16_t(int16_t(x)), uint16_t(int16_t(y))));
}

} // namespace

TEST(SkinEditBase, EnterAndEscapeGoToTheFormNotIntoTheText) {
    EditForm<TspCustomEdit> f;
    std::vector<char32_t> pressed;
    f.edit->OnKeyPress = [&](TObject*, char32_t& k) { pressed.push_back(k); };
    chars(f.edit, "ab");
    key(f.edit, VK_RETURN);
    chars(f.edit, "\r");
    chars(f.edit, "\x1b");
    EXPECT_EQ(f.edit->Text(), "ab");
    EXPECT_EQ(f.oks, 1);
    EXPECT_EQ(f.cancels, 1);
    EXPECT_EQ(pressed, (std::vector<char32_t>{'a', 'b', 13, 27}));
}

TEST(SkinEditBase, TabMovesToTheNextControlNotIntoTheText) {
    EditForm<TspCustomEdit> f;
    TWinControl* next = f.form->FindNextControl(f.edit, true, true, false);
    ASSERT_NE(next, nullptr);
    chars(f.edit, "a");
    key(f.edit, VK_TAB);
    chars(f.edit, "\t");
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(f.edit->Text(), "a");
}

TEST(SkinEditBase, PastedTextKeepsOnlyItsFirstLine) {
    EditForm<TspCustomEdit> f;
    f.edit->SetText("[]");
    struct Case {
        const char* clip;
        const char* expected;
    } cases[] = {{"one\r\ntwo", "[one]"}, {"one\ntwo", "[one]"}, {"plain", "[plain]"}};
    for (const auto& c : cases) {
        for (bool byKey : {false, true}) {
            f.edit->SetText("[]");
            f.edit->SetSelStart(1);
            SetClipboardText(c.clip);
            if (byKey)
                chars(f.edit, "\x16");
            else
                f.edit->PasteFromClipboard();
            EXPECT_EQ(f.edit->Text(), c.expected) << c.clip << (byKey ? " by Ctrl+V" : "");
        }
    }
    // The length limit still holds.
    f.edit->SetMaxLength(4);
    f.edit->SetText("ab");
    f.edit->SetSelStart(2);
    SetClipboardText("cdef\nxy");
    f.edit->PasteFromClipboard();
    EXPECT_EQ(f.edit->Text(), "abcd");
}

TEST(SkinEditBase, ReadOnlySelectsAndCopiesButChangesNothing) {
    EditForm<TspCustomEdit> f;
    f.edit->SetText("hello");
    f.edit->SetReadOnly(true);
    f.edit->SetSelStart(1);
    f.edit->SetSelLength(3);
    SetClipboardText("zz");
    chars(f.edit, "x");
    key(f.edit, VK_DELETE);
    chars(f.edit, "\x18"); // Ctrl+X
    chars(f.edit, "\x16"); // Ctrl+V
    f.edit->CutToClipboard();
    f.edit->PasteFromClipboard();
    f.edit->ClearSelection();
    EXPECT_EQ(f.edit->Text(), "hello");
    f.edit->CopyToClipboard();
    EXPECT_EQ(GetClipboardText(), "ell");
    key(f.edit, VK_HOME);
    EXPECT_EQ(f.edit->SelStart(), 0);
}

// The edit on a skinned form: its context menu opens through the form's menu engine.
struct SkinnedEditForm : EditForm<TspCustomEdit> {
    TspSkinnedForm* sf = new TspSkinnedForm(form.get());
    SkinnedEditForm() {
        sf->SetSkinData(DefaultSkin());
        SetActiveWindow(form->Handle());
        Application->ProcessMessages();
    }
    TspSkinMenu* engine() { return sf->SkinMenu(); }
    TspSkinPopupWindow* window() { return engine()->LastWindow(); }
    // Captions and enabled states of the open menu.
    std::vector<std::pair<std::string, bool>> shown() {
        std::vector<std::pair<std::string, bool>> r;
        if (window())
            for (auto& i : window()->ItemList)
                r.emplace_back(i->MenuItem->Caption, i->MenuItem->Enabled);
        return r;
    }
    bool enabled(const std::string& caption) {
        for (auto& i : shown())
            if (i.first == caption) return i.second;
        ADD_FAILURE() << caption << " not in the menu";
        return false;
    }
    // Clicks the open menu's line with this caption.
    void choose(const std::string& caption) {
        TspSkinPopupWindow* w = window();
        ASSERT_NE(w, nullptr);
        for (auto& i : w->ItemList)
            if (i->MenuItem->Caption == caption) {
                TRect r = i->ObjectRect;
                int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
                SendMessage(w->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
                SendMessage(w->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                SendMessage(w->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
                Application->ProcessMessages();
                return;
            }
        ADD_FAILURE() << caption << " not in the menu";
    }
};

TEST(SkinEditBase, ContextMenuFollowsTheSelectionAndFlags) {
    SkinnedEditForm f;
    // Empty: only Paste with text on the clipboard.
    SetClipboardText("clip");
    contextMenu(f.edit);
    ASSERT_TRUE(f.engine()->FVisible);
    auto items = f.shown();
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0].first, "Undo");
    EXPECT_EQ(items[1].first, "-");
    EXPECT_EQ(items[6].first, "-");
    EXPECT_EQ(items[7].first, "Select All");
    EXPECT_FALSE(f.enabled("Cut"));
    EXPECT_FALSE(f.enabled("Copy"));
    EXPECT_TRUE(f.enabled("Paste"));
    EXPECT_FALSE(f.enabled("Select All"));
    // The menu key places it at the middle of the field.
    TPoint mid = f.edit->ClientToScreen(TPoint{0, 0});
    EXPECT_EQ(f.edit->FSysPopupMenu->FPopupPoint, TPoint(mid.X + 75, mid.Y + 10));
    contextMenu(f.edit, 40, 50);
    EXPECT_EQ(f.edit->FSysPopupMenu->FPopupPoint, TPoint(40, 50));
    // A selection in a read-only field: Copy and Select All only.
    chars(f.edit, "hello");
    f.edit->SetSelStart(0);
    f.edit->SetSelLength(2);
    f.edit->SetReadOnly(true);
    contextMenu(f.edit);
    EXPECT_TRUE(f.enabled("Undo"));
    EXPECT_FALSE(f.enabled("Cut"));
    EXPECT_TRUE(f.enabled("Copy"));
    EXPECT_FALSE(f.enabled("Paste"));
    EXPECT_FALSE(f.enabled("Delete"));
    EXPECT_TRUE(f.enabled("Select All"));
    f.engine()->Hide();
    // A popup menu of its own wins.
    TPopupMenu own(nullptr);
    f.edit->PopupMenu = &own;
    contextMenu(f.edit);
    EXPECT_FALSE(f.engine()->FVisible);
    f.edit->PopupMenu = nullptr;
}

TEST(SkinEditBase, ContextMenuCommandsRunAndTheMenuGoesAfterwards) {
    SkinnedEditForm f;
    chars(f.edit, "hello");
    f.edit->SetSelStart(1);
    f.edit->SetSelLength(3);
    SetClipboardText("");
    contextMenu(f.edit);
    f.choose("Copy");
    EXPECT_EQ(GetClipboardText(), "ell");
    EXPECT_FALSE(f.engine()->FVisible);
    // Let go at once, freed once the click is over.
    EXPECT_EQ(f.edit->FSysPopupMenu, nullptr);
    Application->ProcessMessages();
    EXPECT_EQ(f.edit->ComponentCount(), 0);

    f.edit->SetSelStart(5);
    f.edit->SetSelLength(0);
    contextMenu(f.edit);
    f.choose("Paste");
    EXPECT_EQ(f.edit->Text(), "helloell");

    contextMenu(f.edit);
    f.choose("Select All");
    EXPECT_EQ(f.edit->SelStart(), 0);
    EXPECT_EQ(f.edit->SelLength(), 8);
    Application->ProcessMessages();
    EXPECT_EQ(f.edit->ComponentCount(), 0);
}

TEST(SkinEditBase, ContextMenuThatGoesAwayWhileOpenLeavesNothingBehind) {
    SkinnedEditForm f;
    chars(f.edit, "abc");
    contextMenu(f.edit);
    // A second request replaces the open menu.
    contextMenu(f.edit, 30, 30);
    ASSERT_TRUE(f.engine()->FVisible);
    Application->ProcessMessages();
    EXPECT_EQ(f.edit->ComponentCount(), 1);
    f.choose("Select All");
    EXPECT_EQ(f.edit->SelLength(), 3);
    // The edit goes while its menu is open: the menu closes first.
    contextMenu(f.edit);
    ASSERT_TRUE(f.engine()->FVisible);
    delete f.edit;
    f.edit = nullptr;
    EXPECT_FALSE(f.engine()->FVisible);
    Application->ProcessMessages();
}

TEST(SkinEditBase, ContextMenuWithoutSkinnedFormShowsNothing) {
    EditForm<TspCustomEdit> f;
    contextMenu(f.edit);
    ASSERT_NE(f.edit->FSysPopupMenu, nullptr);
    EXPECT_EQ(f.edit->FSysPopupMenu->Items()->Count(), 8);
}

TEST(SkinEditBase, CancelModeIsReported) {
    EditForm<TspCustomEdit> f;
    TControl* from = nullptr;
    f.edit->FOnEditCancelMode = [&](TControl* c) { from = c; };
    f.edit->Perform(CM_CANCELMODE, 0, LPARAM(f.form.get()));
    EXPECT_EQ(from, f.form.get());
}

TEST(SkinNumEdit, TakesOnlyTheCharactersOfANumber) {
    EditForm<TspSkinNumEdit> f;
    const char sep = DecimalSeparator();
    struct Case {
        bool isFloat, editor;
        std::string text;
        char32_t c;
        bool valid;
    } cases[] = {
        {false, true, "", '5', true},
        {false, true, "", 'a', false},
        {false, true, "12", '-', true},
        {false, true, "-12", '-', false},
        {false, true, "1", char32_t(sep), false},
        {true, true, "1", char32_t(sep), true},
        {true, true, std::string("1") + sep, char32_t(sep), false},
        {false, true, "", 8, true},
        {false, true, "", 13, false},
        {false, true, "", 0x100, false},
        {false, false, "", '5', false},
        {false, false, "", 8, false},
        {false, false, "", 3, true},
    };
    for (const auto& c : cases) {
        f.edit->Float = c.isFloat;
        f.edit->FEditorEnabled = c.editor;
        f.edit->SetText(c.text);
        EXPECT_EQ(f.edit->IsValidChar(c.c), c.valid) << c.text << " + " << int(c.c);
    }
    f.edit->Float = false;
    f.edit->FEditorEnabled = true;
    f.edit->SetText("");
    chars(f.edit, "1a-2-");
    EXPECT_EQ(f.edit->Text(), "1-2");
}

TEST(SkinNumEdit, ArrowKeysAndWheelAskForSteps) {
    EditForm<TspSkinNumEdit> f;
    std::string steps;
    f.edit->FOnUpClick = [&](TObject*) { steps += "u"; };
    f.edit->FOnDownClick = [&](TObject*) { steps += "d"; };
    f.edit->FEditorEnabled = false;
    chars(f.edit, "12");
    EXPECT_EQ(f.edit->Text(), "");
    key(f.edit, VK_UP);
    key(f.edit, VK_DOWN);
    wheel(f.edit, 120);  // away from the user
    wheel(f.edit, -120); // toward the user
    EXPECT_EQ(steps, "uddu");
}

TEST(SkinEdit, DefaultLookHasAFlatFrameAndTheDefaultColour) {
    EditForm<TspSkinEdit> f;
    f.edit->SetDefaultColor(TColor(RGB(250, 240, 200)));
    f.edit->SetBounds(10, 10, 150, 24);
    EXPECT_EQ(f.edit->ClientRect(), TRect(0, 0, 146, 20));
    Shot s(f.form.get());
    EXPECT_EQ(s.at(10, 10), rgb(clBtnShadow));
    EXPECT_EQ(s.at(11, 11), rgb(clBtnFace));
    EXPECT_EQ(s.at(150, 30), RGB(250, 240, 200));
    // Button mode: the square button takes the right end.
    f.edit->SetButtonMode(true);
    f.edit->SetBounds(10, 10, 150, 24);
    EXPECT_EQ(f.edit->ClientRect().Right, 150 - 24 - 2 - 2);
    Shot b(f.form.get());
    EXPECT_EQ(b.at(10 + 150 - 24, 10), rgb(clBtnShadow));
    EXPECT_EQ(b.at(10 + 150 - 12, 22), rgb(clBtnFace));
}

TEST(SkinEdit, SkinLookTakesTheElementsFrameHeightAndColours) {
    auto* el = Element<TspDataSkinEditControl>("edit");
    ASSERT_NE(el, nullptr);
    TBitmap* pic = SkinPicture(el->PictureIndex);
    ASSERT_NE(pic, nullptr);
    EditForm<TspSkinEdit> f;
    f.edit->SetBounds(10, 10, 150, 40);
    f.edit->SetSkinData(DefaultSkin());
    EXPECT_EQ(f.edit->Index(), DefaultSkin()->GetControlIndex("edit"));
    // Whatever height is asked, the element's.
    EXPECT_EQ(f.edit->Height(), RectHeight(el->SkinRect));
    f.edit->SetBounds(10, 10, 150, 60);
    EXPECT_EQ(f.edit->Height(), RectHeight(el->SkinRect));
    EXPECT_EQ(f.edit->ClientRect().Right, 150 - el->ClRect.Left - (90 - el->ClRect.Right));
    // Focused: the active frame; its top-left corner comes from the picture.
    f.edit->SetFocus();
    Shot s(f.form.get());
    EXPECT_EQ(s.at(10, 10),
              rgb(pic->Canvas()->Pixels(el->ActiveSkinRect.Left, el->ActiveSkinRect.Top)));
    EXPECT_EQ(s.at(10 + 2, 10 + 13),
              rgb(pic->Canvas()->Pixels(el->ActiveSkinRect.Left + 2, el->ActiveSkinRect.Top + 13)));
    // The client background is the element's middle.
    const int cx = 10 + el->ClRect.Left + 60, cy = 10 + el->ClRect.Top + 1;
    EXPECT_EQ(s.at(cx, cy),
              rgb(pic->Canvas()->Pixels(el->ActiveSkinRect.Left + 40,
                                        el->ActiveSkinRect.Top + el->ClRect.Top + 1)));
    EXPECT_EQ(f.edit->Font()->Color(), el->ActiveFontColor);
    f.edit->SetEnabled(false);
    EXPECT_EQ(f.edit->Font()->Color(), el->DisabledFontColor);
}

TEST(SkinEdit, ButtonAndImageButtonsClickOnRelease) {
    EditForm<TspSkinEdit> f;
    TCustomImageList images(nullptr);
    images.SetWidth(16);
    images.SetHeight(16);
    TBitmap red(16, 16);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect(TRect(0, 0, 16, 16));
    images.Add(&red, nullptr);
    f.edit->SetBounds(10, 10, 150, 24);
    f.edit->SetImages(&images);
    f.edit->SetLeftImageIndex(0);
    EXPECT_EQ(f.edit->LeftButton.R, TRect(0, 0, 16, 20));
    RECT fr{};
    SendMessage(f.edit->Handle(), EM_GETRECT, 0, LPARAM(&fr));
    EXPECT_EQ(fr.left, 18); // the text starts after the image
    int lefts = 0;
    f.edit->OnLeftButtonClick = [&](TObject*) { ++lefts; };
    POINT p{5, 5};
    ClientToScreen(f.edit->Handle(), &p);
    EXPECT_EQ(SendMessage(f.edit->Handle(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), 104);
    SendMessage(f.edit->Handle(), WM_NCLBUTTONDOWN, 104, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(lefts, 0);
    SendMessage(f.edit->Handle(), WM_NCLBUTTONUP, 104, MAKELPARAM(p.x, p.y));
    SendMessage(f.edit->Handle(), WM_NCLBUTTONUP, 104, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(lefts, 1);
    Shot s(f.form.get());
    EXPECT_EQ(s.at(10 + 2 + 8, 10 + 2 + 10), RGB(255, 0, 0));
    // Button mode: the click fires on the release over the button.
    f.edit->SetImages(nullptr);
    f.edit->SetButtonMode(true);
    int clicks = 0;
    f.edit->OnButtonClick = [&](TObject*) { ++clicks; };
    f.form->ActiveControl = nullptr;
    POINT b{150 - 10, 12};
    POINT sb = b;
    ClientToScreen(f.form->Handle(), &sb);
    sb.x += 10 - 2, sb.y += 10 - 2; // the edit's window corner is at (10, 10) of the form
    EXPECT_EQ(SendMessage(f.edit->Handle(), WM_NCHITTEST, 0, MAKELPARAM(sb.x, sb.y)), HTHSCROLL);
    SendMessage(f.edit->Handle(), WM_NCLBUTTONDOWN, HTHSCROLL, MAKELPARAM(sb.x, sb.y));
    EXPECT_TRUE(f.edit->FButtonDown);
    SendMessage(f.edit->Handle(), WM_NCLBUTTONUP, HTHSCROLL, MAKELPARAM(sb.x, sb.y));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(f.edit->Focused());
}
