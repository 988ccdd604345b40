#include "classlib/forms.h"
#include "classlib/thread.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class TfrmProbe : public TForm {
public:
    explicit TfrmProbe(TComponent* AOwner) : TForm(AOwner) {}
    ~TfrmProbe() override { ++Freed; }
    static inline int Freed = 0;
};

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        TfrmProbe::Freed = 0;
    }
    void TearDown() override {
        Application->DestroyComponents();
        Application->ProcessMessages();
        Application->OnMessage = nullptr;
        Application->ShowMainForm = true;
    }
    // Posts a call that runs inside whatever loop the main thread is in.
    void Later(std::function<void()> f) { PostThreadCall(GetCurrentThreadId(), std::move(f)); }
};

TEST_F(FormsTest, FormWindowHasTheFormsClassAndFormsAreListedByScreen) {
    TfrmProbe* a = nullptr;
    TfrmProbe* b = nullptr;
    Application->CreateForm(a);
    Application->CreateForm(b);
    EXPECT_EQ(Application->MainForm(), a);
    EXPECT_EQ(GetClassName(a->Handle()), "TfrmProbe");
    // Hidden forms are found too: a second instance relies on it.
    EXPECT_EQ(FindWindowEx(0, 0, "TfrmProbe", nullptr), a->Handle());
    EXPECT_FALSE(IsWindowVisible(a->Handle()));
    ASSERT_EQ(Screen->FormCount(), 2);
    EXPECT_EQ(Screen->Forms(0), a);
    delete a;
    EXPECT_EQ(Application->MainForm(), nullptr);
    ASSERT_EQ(Screen->FormCount(), 1);
    EXPECT_EQ(Screen->Forms(0), b);
}

class TfrmSelfAware : public TForm {
public:
    static inline TfrmSelfAware* Ref = nullptr;
    explicit TfrmSelfAware(TComponent* AOwner) : TForm(AOwner), SawItself(Ref == this) {}
    bool SawItself;
};

TEST_F(FormsTest, ReferenceIsSetBeforeTheConstructorRuns) {
    Application->CreateForm(TfrmSelfAware::Ref);
    ASSERT_NE(TfrmSelfAware::Ref, nullptr);
    EXPECT_TRUE(TfrmSelfAware::Ref->SawItself);
    EXPECT_EQ(TFormClass::Of<TfrmSelfAware>().ClassName, "TfrmSelfAware");
    delete TfrmSelfAware::Ref;
    TfrmSelfAware::Ref = nullptr;
}

TEST_F(FormsTest, WindowProcReplacementSeesMessagesBeforeTheForm) {
    TfrmProbe* f = nullptr;
    Application->CreateForm(f);
    f->HandleNeeded();
    std::vector<UINT> seen;
    TWndMethod old = f->WindowProc;
    f->WindowProc = [&](TMessage& m) {
        seen.push_back(m.Msg);
        if (m.Msg == WM_USER + 9) {
            m.Result = 77;
            return;
        }
        old(m);
    };
    EXPECT_EQ(SendMessage(f->Handle(), WM_USER + 9, 0, 0), 77);
    SetWindowText(f->Handle(), "Title");
    EXPECT_EQ(f->Caption(), "Title");
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 9, WM_SETTEXT, WM_GETTEXTLENGTH, WM_GETTEXT}));
    delete f;
}

TEST_F(FormsTest, CloseAsksThenHidesOrFreesAndTheMainFormEndsTheRun) {
    TfrmProbe* main = nullptr;
    TfrmProbe* other = nullptr;
    Application->CreateForm(main);
    Application->CreateForm(other);
    other->Show();
    bool allow = false;
    other->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
    PostMessage(other->Handle(), WM_CLOSE, 0, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(other->Visible());
    allow = true;
    other->Close();
    EXPECT_FALSE(other->Visible()); // caHide
    other->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
    other->Close();
    EXPECT_EQ(TfrmProbe::Freed, 0); // freed from the loop, not inside Close
    Application->ProcessMessages();
    EXPECT_EQ(TfrmProbe::Freed, 1);

    main->OnClose = [](TObject*, TCloseAction& a) { a = caNone; };
    Later([&] { main->Close(); });
    Later([&] {
        EXPECT_FALSE(Application->Terminated());
        main->OnClose = nullptr;
        main->Close();
    });
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(main->Visible()); // shown by Run, closing only ended the loop
}

TEST_F(FormsTest, ShowModalReturnsTheResultAndCanBeRefusedByCloseQuery) {
    TfrmProbe* main = nullptr;
    Application->CreateForm(main);
    main->Show();
    auto* dialog = new TfrmProbe(Application);
    int asked = 0;
    dialog->OnCloseQuery = [&](TObject*, bool& can) {
        can = ++asked > 1;
        if (!can) Later([&] { dialog->ModalResult = mrYes; });
    };
    Later([&] {
        EXPECT_FALSE(IsWindowEnabled(main->Handle()));
        dialog->ModalResult = mrOk; // refused the first time
    });
    EXPECT_EQ(dialog->ShowModal(), mrYes);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    // Close inside a modal showing means Cancel.
    dialog->OnCloseQuery = nullptr;
    Later([&] { dialog->Close(); });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
}

// The dialog belongs to the window that was active while it shows (so the
// display keeps it above), takes the focus, and gives activation and focus
// back when it closes.
TEST_F(FormsTest, ShowModalOwnsFocusesAndGivesTheFocusBack) {
    TfrmProbe* main = nullptr;
    Application->CreateForm(main);
    auto* field = new TWinControl(main);
    field->SetParent(main);
    field->TabStop = true;
    main->Show();
    field->SetFocus();
    auto* dialog = new TfrmProbe(Application);
    auto* first = new TWinControl(dialog);
    first->SetParent(dialog);
    first->TabStop = true;
    Later([&] {
        EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), main->Handle());
        EXPECT_EQ(GetActiveWindow(), dialog->Handle());
        EXPECT_EQ(GetFocus(), first->Handle());
        dialog->ModalResult = mrOk;
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), 0u);
    EXPECT_EQ(GetActiveWindow(), main->Handle());
    EXPECT_EQ(GetFocus(), field->Handle());
}

TEST_F(FormsTest, QuitInsideNestedLoopsEndsThemAll) {
    TfrmProbe* main = nullptr;
    Application->CreateForm(main);
    auto* outer = new TfrmProbe(Application);
    auto* inner = new TfrmProbe(Application);
    int innerResult = -1;
    int outerResult = -1;
    Later([&] {
        Later([&] { Application->Terminate(); });
        innerResult = inner->ShowModal();
    });
    Later([&] { outerResult = outer->ShowModal(); });
    Application->Run();
    EXPECT_EQ(innerResult, mrCancel);
    EXPECT_EQ(outerResult, mrCancel);
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(FormsTest, OnMessageSeesPostedMessagesAndHandledStopsThem) {
    TfrmProbe* f = nullptr;
    Application->CreateForm(f);
    std::vector<UINT> reached;
    TWndMethod old = f->WindowProc;
    f->WindowProc = [&](TMessage& m) {
        if (m.Msg >= WM_USER) reached.push_back(m.Msg);
        old(m);
    };
    std::vector<UINT> seen;
    Application->OnMessage = [&](MSG& msg, bool& handled) {
        seen.push_back(msg.message);
        handled = msg.message == WM_USER + 1;
    };
    PostMessage(f->Handle(), WM_USER + 1, 0, 0);
    PostMessage(f->Handle(), WM_USER + 2, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(reached, (std::vector<UINT>{WM_USER + 2}));
    delete f;
}

TEST_F(FormsTest, WorkerPostsReachTheFormThroughTheLoop) {
    TfrmProbe* f = nullptr;
    Application->CreateForm(f);
    HWND h = f->Handle();
    std::vector<UINT> reached;
    TWndMethod old = f->WindowProc;
    f->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_USER + 3) {
            reached.push_back(m.Msg);
            f->Close();
        }
        old(m);
    };
    Application->ShowMainForm = false;
    std::thread worker([h] { PostMessage(h, WM_USER + 3, 0, 0); });
    Application->Run();
    worker.join();
    EXPECT_EQ(reached, (std::vector<UINT>{WM_USER + 3}));
    EXPECT_FALSE(f->Visible());
    delete f;
}

} // namespace

namespace {

// Records the cancel-mode requests a control gets and who sent them.
class TCancelProbe : public TWinControl {
public:
    using TWinControl::TWinControl;
    std::vector<TControl*> Senders;
    void WndProc(TMessage& Message) override {
        if (Message.Msg == CM_CANCELMODE)
            Senders.push_back(reinterpret_cast<TControl*>(Message.LParam));
        TWinControl::WndProc(Message);
    }
};

// A press anywhere on a form, in the client area or on its frame, tells the
// focused control to leave its mode (a drop-down closes) and names the control
// pressed; presses on other forms and other messages do not.
TEST_F(FormsTest, PressesOnTheFormCancelTheFocusedControlsMode) {
    TfrmProbe* f = nullptr;
    Application->CreateForm(f);
    f->SetBounds(50, 50, 300, 200);
    auto* focused = new TCancelProbe(f);
    focused->SetParent(f);
    focused->SetBounds(10, 10, 100, 20);
    auto* other = new TCancelProbe(f);
    other->SetParent(f);
    other->SetBounds(10, 50, 100, 20);
    f->Show();
    f->ActiveControl = focused;
    TfrmProbe* second = nullptr;
    Application->CreateForm(second);
    second->SetBounds(400, 50, 100, 100);
    second->Show();
    struct Press {
        HWND Target;
        UINT Msg;
        TControl* Sender; // expected, null: none
    };
    const Press presses[] = {
        {other->Handle(), WM_LBUTTONDOWN, other}, {f->Handle(), WM_RBUTTONDOWN, f},
        {f->Handle(), WM_NCLBUTTONDOWN, f},       {focused->Handle(), WM_LBUTTONDOWN, focused},
        {other->Handle(), WM_MOUSEMOVE, nullptr}, {second->Handle(), WM_LBUTTONDOWN, nullptr},
        {other->Handle(), WM_LBUTTONUP, nullptr},
    };
    for (const Press& p : presses) {
        focused->Senders.clear();
        PostMessage(p.Target, p.Msg, 0, 0);
        Application->ProcessMessages();
        if (p.Sender)
            EXPECT_EQ(focused->Senders, std::vector<TControl*>{p.Sender}) << p.Msg;
        else
            EXPECT_TRUE(focused->Senders.empty()) << p.Msg;
    }
    EXPECT_TRUE(other->Senders.empty());
}

// The form's own caption buttons follow BorderIcons; its short-cut handler
// sees key presses before the focused control and may keep them.
TEST_F(FormsTest, BorderIconsAndShortCutsOfTheForm) {
    TfrmProbe* f = nullptr;
    Application->CreateForm(f);
    EXPECT_NE(GetWindowLongPtr(f->Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    f->SetBorderIcons(TFormBorderIcon::biMinimize);
    EXPECT_EQ(GetWindowLongPtr(f->Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_NE(GetWindowLongPtr(f->Handle(), GWL_STYLE) & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(GetWindowLongPtr(f->Handle(), GWL_STYLE) & WS_MAXIMIZEBOX, 0);

    auto* edit = new TCancelProbe(f);
    edit->SetParent(f);
    std::vector<WORD> keys, reached;
    edit->OnKeyDown = [&](TObject*, WORD& k, TShiftState) { reached.push_back(k); };
    f->OnShortCut = [&](TWMKey& Msg, bool& Handled) {
        keys.push_back(Msg.CharCode);
        Handled = Msg.CharCode == 'S';
    };
    f->Show();
    for (WORD k : {WORD('S'), WORD('T')}) {
        PostMessage(edit->Handle(), WM_KEYDOWN, k, 0);
        PostMessage(edit->Handle(), WM_CHAR, k + 32, 0);
    }
    std::vector<char32_t> typed;
    edit->OnKeyPress = [&](TObject*, char32_t& c) { typed.push_back(c); };
    Application->ProcessMessages();
    EXPECT_EQ(keys, (std::vector<WORD>{'S', 'T'}));
    EXPECT_EQ(reached, std::vector<WORD>{'T'});
    EXPECT_EQ(typed, std::vector<char32_t>{U't'}); // the kept key makes no character
}

} // namespace
