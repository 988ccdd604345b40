// The skinned message dialog on the headless display: its layout, texts,
// keyboard and mouse answers, the show-again box and the type pictures.
#include "skin/forms/spMessages.h"

#include "classlib/extctrls.h"
#include "classlib/imglist.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/skin_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TspSkinData* DefaultSkin() {
    static std::unique_ptr<TspSkinData> sd = skintest::LoadDefaultSkin();
    return sd.get();
}

int SkinButtonHeight() {
    TspSkinData* sd = DefaultSkin();
    int i = sd->GetControlIndex("button");
    auto* e = dynamic_cast<TspDataSkinButtonControl*>(sd->CtrlList[size_t(i)].get());
    return e->SkinRect.Height();
}

void click(TWinControl* c) {
    SendMessage(c->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessage(c->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessage(c->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Application->Initialize(); }
    void TearDown() override {
        SetMessageDialogHook(nullptr);
        if (res) DefaultSkin()->SetResourceStrData(nullptr);
        Application->ProcessMessages();
    }
    void WithTexts(std::initializer_list<const char*> Lines) {
        res = std::make_unique<TspResourceStrData>(nullptr);
        res->ResStrings()->Clear();
        for (const char* l : Lines)
            res->ResStrings()->Add(l);
        DefaultSkin()->SetResourceStrData(res.get());
    }
    std::unique_ptr<TspResourceStrData> res;
};

TEST_F(MessageDialogTest, LaysOutButtonsInKindOrderWithDefaultAndCancel) {
    struct Case {
        TMsgDlgButtons buttons;
        std::vector<std::string> names;
        const char* def;    // default button, "" none
        const char* cancel; // cancel button, "" none
    };
    const Case cases[] = {
        {{mbCancel, mbOK}, {"OK", "Cancel"}, "OK", "Cancel"},
        {{mbNo, mbYes}, {"Yes", "No"}, "Yes", "No"},
        {{mbIgnore, mbRetry, mbAbort}, {"Abort", "Retry", "Ignore"}, "Retry", ""},
        {{mbAbort, mbIgnore}, {"Abort", "Ignore"}, "", ""},
        {{mbClose, mbHelp, mbYesToAll, mbNoToAll, mbAll},
         {"All", "NoToAll", "YesToAll", "Help", "Close"},
         "",
         ""},
        {{}, {}, "", ""},
    };
    TspSkinMessage msg(nullptr);
    for (const Case& c : cases) {
        auto f = msg.CreateMessageDialog("Some text", "Cap", mtInformation, c.buttons,
                                         kMsgDlgDefaultPos, kMsgDlgDefaultPos, true);
        std::vector<TspSkinButton*> buttons;
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* b = dynamic_cast<TspSkinButton*>(f->Components(i))) buttons.push_back(b);
        ASSERT_EQ(buttons.size(), c.names.size());
        const int n = int(buttons.size());
        const int row = n ? n * 70 + (n - 1) * 10 : 0;
        const int labelRight = f->Message->Left() + f->Message->Width();
        EXPECT_EQ(f->ClientWidth(), row < labelRight ? labelRight + 40 : row + 40);
        EXPECT_EQ(f->ClientHeight(), 25 + f->Message->Height() + 50);
        for (int i = 0; i < n; ++i) {
            TspSkinButton* b = buttons[size_t(i)];
            SCOPED_TRACE(b->Name());
            EXPECT_EQ(b->Name(), c.names[size_t(i)]);
            EXPECT_EQ(b->Left(), (f->ClientWidth() - row) / 2 + i * 80);
            EXPECT_EQ(b->Top(), f->ClientHeight() - 25 - 10);
            EXPECT_EQ(b->Width(), 70);
            EXPECT_EQ(b->Height(), 25);
            EXPECT_EQ(b->Default(), b->Name() == c.def);
            EXPECT_EQ(b->Cancel, b->Name() == c.cancel);
        }
    }
}

TEST_F(MessageDialogTest, TextsComeFromTheSkinElseBuiltInAndCaptionsAreNeverBlank) {
    TspSkinMessage msg(nullptr);
    Application->Title = "AppTitle";
    auto captions = [&](TspMessageForm& f) {
        std::vector<std::string> out;
        for (int b = mbYes; b <= mbClose; ++b)
            if (TspSkinButton* btn = f.Button(TMsgDlgBtn(b))) out.push_back(btn->Caption());
        return out;
    };
    std::string caption;
    std::vector<std::string> buttons;
    SetMessageDialogHook([&](TspMessageForm& f) {
        caption = f.Caption();
        buttons = captions(f);
        f.ModalResult = mrOk;
    });
    // No skin: the built-in English texts.
    msg.MessageDlg("m", mtWarning, {mbYes, mbNoToAll, mbClose}, 0);
    EXPECT_EQ(caption, "Warning");
    EXPECT_EQ(buttons, (std::vector<std::string>{"&Yes", "N&oToAll", "Close"}));
    msg.MessageDlg("m", mtCustom, {mbOK}, 0);
    EXPECT_EQ(caption, "AppTitle");
    msg.MessageDlg2("m", "Given", mtCustom, {mbOK}, 0);
    EXPECT_EQ(caption, "Given");

    // A skin with some texts: those it has, the built-in ones for the rest.
    msg.SetSkinData(DefaultSkin());
    msg.SetCtrlSkinData(DefaultSkin());
    WithTexts({"MSG_CAP_ERROR=Fehler", "MSG_BTN_YES=&Ja", "MSG_BTN_CLOSE=Schliessen"});
    const std::pair<TMsgDlgType, const char*> types[] = {{mtWarning, "Warning"},
                                                         {mtError, "Fehler"},
                                                         {mtInformation, "Information"},
                                                         {mtConfirmation, "Confirm"}};
    for (auto [type, want] : types) {
        msg.MessageDlg("m", type, {mbYes, mbNoToAll, mbClose}, 0);
        EXPECT_EQ(caption, want);
        EXPECT_EQ(buttons, (std::vector<std::string>{"&Ja", "N&oToAll", "Schliessen"}));
    }
}

TEST_F(MessageDialogTest, ButtonHeightFollowsTheSkinsButtonElement) {
    TspSkinMessage msg(nullptr);
    msg.SetCtrlSkinData(DefaultSkin());
    auto f = msg.CreateMessageDialog("m", "c", mtError, {mbOK}, kMsgDlgDefaultPos,
                                     kMsgDlgDefaultPos, true);
    const int h = SkinButtonHeight();
    ASSERT_NE(h, 25);
    EXPECT_EQ(f->Button(mbOK)->Height(), h);
    EXPECT_EQ(f->ClientHeight(), h + f->Message->Height() + 50);
}

TEST_F(MessageDialogTest, PositionsCentreOrPlaceOrAskTheOwner) {
    TspSkinMessage msg(nullptr);
    auto centred = msg.CreateMessageDialog("m", "c", mtError, {mbOK}, -10001, 77, true);
    EXPECT_TRUE(centred->Centered());
    auto placed = msg.CreateMessageDialog("m", "c", mtError, {mbOK}, -10000, 77, true);
    EXPECT_FALSE(placed->Centered());
    EXPECT_EQ(placed->Left(), -10000);
    EXPECT_EQ(placed->Top(), 77);

    int askedW = 0;
    msg.OnSetShowPos = [&](int& X, int& Y, int W, int) {
        askedW = W;
        X += 5;
        Y = 3;
    };
    TPoint shownAt;
    SetMessageDialogHook([&](TspMessageForm& f) {
        shownAt = TPoint(f.Left(), f.Top());
        f.ModalResult = mrOk;
    });
    msg.MessageDlgPos("m", mtError, {mbOK}, 0, 40, 50);
    EXPECT_EQ(shownAt, TPoint(45, 3));
    EXPECT_GT(askedW, 0);
    // Unpositioned calls never ask.
    askedW = 0;
    msg.MessageDlg("m", mtError, {mbOK}, 0);
    EXPECT_EQ(askedW, 0);
}

TEST_F(MessageDialogTest, CustomPictureOnlyForAValidImage) {
    TImageList images(nullptr);
    images.SetWidth(20);
    images.SetHeight(24);
    TBitmap pic(20, 24);
    images.Add(&pic, nullptr);
    TspSkinMessage msg(nullptr);
    for (auto [list, index, shown] :
         {std::tuple{&images, 0, true}, std::tuple{&images, -1, false},
          std::tuple{&images, 1, false}, std::tuple{static_cast<TImageList*>(nullptr), 0, false}}) {
        auto f = msg.CreateCustomMessageDialog("m", "c", list, index, {mbOK}, kMsgDlgDefaultPos,
                                               kMsgDlgDefaultPos);
        auto* image = dynamic_cast<TImage*>(f->FindComponent("Image"));
        EXPECT_EQ(image != nullptr, shown) << index;
        EXPECT_EQ(f->Message->Left(), 50);
        if (image) EXPECT_EQ(image->Width(), 20);
        if (image) EXPECT_EQ(image->Height(), 24);
    }
    auto custom = msg.CreateMessageDialog("m", "c", mtCustom, {mbOK}, kMsgDlgDefaultPos,
                                          kMsgDlgDefaultPos, true);
    EXPECT_EQ(custom->FindComponent("Image"), nullptr);
}

TEST_F(MessageDialogTest, EachTypeShowsItsPictureBesideTheText) {
    struct Case {
        TMsgDlgType type;
        TPoint face;
        COLORREF faceColor;
        TPoint mark;
        COLORREF markColor;
    };
    const Case cases[] = {
        {mtWarning, {16, 28}, RGB(250, 200, 30), {16, 15}, RGB(0, 0, 0)},
        {mtError, {6, 16}, RGB(210, 30, 30), {16, 16}, RGB(255, 255, 255)},
        {mtInformation, {6, 16}, RGB(30, 90, 210), {16, 18}, RGB(255, 255, 255)},
        {mtConfirmation, {6, 16}, RGB(40, 140, 60), {19, 8}, RGB(255, 255, 255)},
    };
    TspSkinMessage msg(nullptr);
    msg.SetSkinData(DefaultSkin());
    msg.SetCtrlSkinData(DefaultSkin());
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        auto f = msg.CreateMessageDialog("One line\nand another", "c", c.type, {mbOK}, 0, 0, true);
        auto* image = dynamic_cast<TImage*>(f->FindComponent("Image"));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Left(), 5);
        EXPECT_EQ(image->Top(), std::max(10, f->Message->Top() + f->Message->Height() / 2 - 16));
        f->Show();
        Application->ProcessMessages();
        HWND h = f->Handle();
        HBITMAP shot = RenderWindowToBitmap(h);
        ASSERT_NE(shot, nullptr);
        POINT o{0, 0};
        ClientToScreen(h, &o);
        RECT wr;
        GetWindowRect(h, &wr);
        const int ox = o.x - wr.left + image->Left(), oy = o.y - wr.top + image->Top();
        auto at = [&](TPoint p) { return shot->getPixel(ox + p.X, oy + p.Y) & 0xFFFFFF; };
        EXPECT_EQ(at(c.face), c.faceColor);
        EXPECT_EQ(at(c.mark), c.markColor);
        // The corner is see-through: the dialog's own background.
        EXPECT_NE(at(TPoint(0, 0)), RGB(255, 0, 255));
        EXPECT_EQ(at(TPoint(0, 0)), shot->getPixel(ox - 2, oy) & 0xFFFFFF);
        DeleteObject(shot);
        f->Hide();
    }
}

TEST_F(MessageDialogTest, MouseAndKeysAnswer) {
    struct Case {
        TMsgDlgButtons buttons;
        std::function<void(TspMessageForm&)> act;
        int result;
    };
    auto key = [](WPARAM vk) {
        return [vk](TspMessageForm& f) { PostMessage(f.Handle(), WM_KEYDOWN, vk, 0); };
    };
    auto clickOn = [](TMsgDlgBtn b) { return [b](TspMessageForm& f) { click(f.Button(b)); }; };
    const Case cases[] = {
        {{mbYes, mbNo}, key(VK_RETURN), mrYes},
        {{mbOK, mbCancel}, key(VK_ESCAPE), mrCancel},
        {{mbYes, mbNo}, key(VK_ESCAPE), mrNo}, // No is the cancel button
        {{mbOK, mbCancel}, clickOn(mbCancel), mrCancel},
        {{mbAbort, mbRetry, mbIgnore}, clickOn(mbIgnore), mrIgnore},
        {{mbYes, mbNo, mbCancel},
         [](TspMessageForm& f) { PostMessage(f.Handle(), WM_CHAR, 'n', 0); },
         mrNo},
        {{mbYes, mbNo, mbCancel},
         [](TspMessageForm& f) {
             // Tab moves from Yes to No, whose own Enter answers.
             PostMessage(f.Handle(), WM_KEYDOWN, VK_TAB, 0);
             PostThreadCall(GetCurrentThreadId(), [&f] {
                 PostMessage(f.Button(mbNo)->Handle(), WM_KEYDOWN, VK_RETURN, 0);
             });
         },
         mrNo},
        {{mbHelp, mbOK},
         [](TspMessageForm& f) {
             // Help does not close, so OK ends it then.
             click(f.Button(mbHelp));
             EXPECT_EQ(f.ModalResult, mrNone);
             click(f.Button(mbOK));
         },
         mrOk},
    };
    TspSkinMessage msg(nullptr);
    msg.SetCtrlSkinData(DefaultSkin());
    for (const Case& c : cases) {
        SetMessageDialogHook([&](TspMessageForm& f) {
            f.HandleNeeded();
            PostThreadCall(GetCurrentThreadId(), [&c, &f] { c.act(f); });
        });
        EXPECT_EQ(msg.MessageDlg2("m", "c", mtInformation, c.buttons, 0), c.result);
    }
}

TEST_F(MessageDialogTest, ShowAgainBoxReportsItsTick) {
    struct Case {
        bool startValue;   // FShowAgainFlagValue going in
        bool clickBox;     // the user clicks the box
        TMsgDlgBtn button; // then presses this
        bool endValue;
        int result;
    };
    const Case cases[] = {
        {true, true, mbCancel, false, mrCancel},
        {true, false, mbOK, true, mrOk},
        {false, false, mbOK, false, mrOk}, // starts ticked
        {false, true, mbOK, true, mrOk},
    };
    for (const Case& c : cases) {
        bool startedTicked = false;
        std::string text;
        SetMessageDialogHook([&](TspMessageForm& f) {
            ASSERT_NE(f.DisplayCheckBox, nullptr);
            text = f.DisplayCheckBox->Caption();
            startedTicked = f.DisplayCheckBox->Checked();
            f.HandleNeeded();
            PostThreadCall(GetCurrentThreadId(), [&c, &f] {
                if (c.clickBox) click(f.DisplayCheckBox);
                click(f.Button(c.button));
            });
        });
        TspSkinMessage dlg(nullptr);
        dlg.FShowAgainFlag = true;
        dlg.FShowAgainFlagValue = c.startValue;
        EXPECT_EQ(dlg.MessageDlg2("m", "c", mtWarning, {mbOK, mbCancel}, 0), c.result);
        EXPECT_EQ(text, "Do not display this message again");
        EXPECT_EQ(startedTicked, !c.startValue);
        EXPECT_EQ(dlg.FShowAgainFlagValue, c.endValue);
    }
}

TEST_F(MessageDialogTest, ShowAgainBoxWidensTheDialogAndTakesTheSkinsText) {
    TspSkinMessage msg(nullptr);
    msg.FShowAgainFlag = true;
    msg.FShowAgainFlagValue = true;
    auto plain = msg.CreateMessageDialog("m", "c", mtWarning, {mbOK}, 0, 0, true);
    ASSERT_NE(plain->DisplayCheckBox, nullptr);
    TspSkinCheckRadioBox* box = plain->DisplayCheckBox;
    EXPECT_EQ(plain->ClientHeight(), 25 + plain->Message->Height() + 50 + 40);
    EXPECT_EQ(box->Left(), 5);
    EXPECT_EQ(box->Top(), plain->ClientHeight() - 25 - 50);
    EXPECT_EQ(plain->ClientWidth(), box->Width() + 5);

    msg.SetCtrlSkinData(DefaultSkin());
    WithTexts({"MSG_CAP_SHOWFLAG=Nie wieder"});
    auto skinned = msg.CreateMessageDialog("m", "c", mtWarning, {mbOK}, 0, 0, true);
    EXPECT_EQ(skinned->DisplayCheckBox->Caption(), "Nie wieder");

    // The wide dialogs never carry the box nor change the answer.
    bool hadBox = true;
    SetMessageDialogHook([&](TspMessageForm& f) {
        hadBox = f.DisplayCheckBox != nullptr;
        f.ModalResult = mrOk;
    });
    EXPECT_EQ(msg.WideMessageDlg(u"wide", mtWarning, {mbOK}, 0), mrOk);
    EXPECT_FALSE(hadBox);
    EXPECT_TRUE(msg.FShowAgainFlagValue);
}

TEST_F(MessageDialogTest, DialogIsFreedWhenShowingFails) {
    TspSkinMessage msg(nullptr);
    msg.FShowAgainFlag = true;
    msg.FShowAgainFlagValue = true;
    int before = Application->ComponentCount();
    SetMessageDialogHook([](TspMessageForm& f) {
        f.DisplayCheckBox->SetChecked(true);
        throw std::runtime_error("no");
    });
    EXPECT_THROW(msg.MessageDlg("m", mtError, {mbOK}, 0), std::runtime_error);
    EXPECT_EQ(Application->ComponentCount(), before);
    EXPECT_FALSE(msg.FShowAgainFlagValue);
}

} // namespace
