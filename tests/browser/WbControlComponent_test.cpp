// The process-wide repairs: the wheel moves the focus into the browser under
// the pointer first, and re-activating the application gives a browser that
// was the active control its document's focus back. Also the feature switches.
#include "browser_test_support.h"

#include "browser/WbControlComponent.h"
#include "browser/WbFocusControl.h"
#include "browser/WbLazyLibs.h"
#include "platform/win/hooks.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

TEST(MouseHookInstance, OneObjectCountedByItsUsers) {
    TWBMouseHook* a = TWBMouseHook::Acquire();
    TWBMouseHook* b = TWBMouseHook::Acquire();
    EXPECT_EQ(a, b);
    EXPECT_EQ(TWBMouseHook::InstanceCount(), 2);
    TWBMouseHook::Release();
    EXPECT_EQ(TWBMouseHook::InstanceCount(), 1);
    TWBMouseHook::Release();
    EXPECT_EQ(TWBMouseHook::InstanceCount(), 0);
}

class Wheel : public BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        second = newBrowser(form.get());
        second->SetBounds(0, 200, 300, 80);
        edit = new TPanel(form.get());
        edit->SetBounds(310, 0, 80, 30);
        edit->SetParent(form.get());
        control = std::make_unique<TWbControl>(nullptr);
        control->MouseWheelFix()->SetActive(true);
        ASSERT_TRUE(show("<html><body>one</body></html>"));
        ASSERT_TRUE(show("<html><body>two</body></html>", second));
    }
    void TearDown() override {
        control.reset();
        BrowserFixture::TearDown();
    }
    // A wheel step over the page of b; true when the hooks took it.
    bool wheelOver(TEmbeddedBrowser* b) {
        POINT p{20, 20};
        ClientToScreen(b->GetIEWin("Internet Explorer_Server"), &p);
        return RunMouseHooks(WM_MOUSEWHEEL, p, WindowFromPoint(p));
    }
    HWND server(TEmbeddedBrowser* b) { return b->GetIEWin("Internet Explorer_Server"); }

    TEmbeddedBrowser* second = nullptr;
    TPanel* edit = nullptr;
    std::unique_ptr<TWbControl> control;
};

TEST_F(Wheel, FirstStepMovesTheFocusLaterStepsScroll) {
    SetFocus(edit->Handle());
    EXPECT_TRUE(wheelOver(browser));
    EXPECT_EQ(GetFocus(), server(browser));
    EXPECT_FALSE(wheelOver(browser));
    // Another browser under the pointer takes the focus, and the step is dropped.
    EXPECT_TRUE(wheelOver(second));
    EXPECT_EQ(GetFocus(), server(second));
    // Over no browser nothing changes.
    POINT p{5, 5};
    ClientToScreen(edit->Handle(), &p);
    EXPECT_FALSE(RunMouseHooks(WM_MOUSEWHEEL, p, edit->Handle()));
    EXPECT_EQ(GetFocus(), server(second));
    // Other mouse messages pass.
    EXPECT_FALSE(RunMouseHooks(WM_MOUSEMOVE, p, edit->Handle()));
}

TEST_F(Wheel, AHandlerThatHandlesKeepsTheFocus) {
    control->MouseWheelFix()->SetActive(false);
    control->MouseWheelFix()->OnMouseWheel = [](const POINT&, HWND, LPARAM, bool& handled) {
        handled = true;
    };
    control->MouseWheelFix()->SetActive(true);
    SetFocus(edit->Handle());
    EXPECT_FALSE(wheelOver(browser));
    EXPECT_EQ(GetFocus(), edit->Handle());
}

TEST_F(Wheel, ReactivationGivesTheBrowserItsFocusBack) {
    TWBFocusControl::Activate(true);
    std::vector<UINT> seen;
    browser->OnMessage = [&](TObject*, TMessage& m, bool&) {
        if (m.Msg == WM_WB_FOCUSDOC) seen.push_back(m.Msg);
    };
    SetActiveWindow(form->Handle());
    SetFocus(edit->Handle());
    // The panel is the active control: nothing to repair.
    SendMessage(Application->Handle(), CM_ACTIVATE, 0, 0);
    pumpFor(20);
    EXPECT_TRUE(seen.empty());
    // The browser is the active control but lost the keyboard focus.
    form->ActiveControl = browser;
    SetFocus(edit->Handle());
    form->ActiveControl = browser;
    SendMessage(Application->Handle(), CM_ACTIVATE, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(GetFocus(), server(browser));
    TWBFocusControl::Activate(false);
    EXPECT_FALSE(TWBFocusControl::Active());
}

TEST(Features, SwitchedForTheProcessAndRefusedWhenUnknown) {
    EXPECT_EQ(FeatureQuery(21, 2), S_FALSE);
    EXPECT_EQ(FeatureSwitch(21, 2, true), S_OK);
    EXPECT_EQ(FeatureQuery(21, 2), S_OK);
    EXPECT_EQ(FeatureSwitch(int(EntryCount), 2, true), E_FAIL);
    TWbControl control(nullptr);
    control.SetInternetFeatures({XmlHttp, DisableNavigationSounds});
    EXPECT_EQ(FeatureQuery(int(XmlHttp), 2), S_OK);
    EXPECT_EQ(FeatureQuery(int(ObjectCaching), 2), S_FALSE);
    control.SetInternetFeatures({}); // an empty set changes nothing
    EXPECT_EQ(FeatureQuery(int(XmlHttp), 2), S_OK);
    // The engine's library, which holds its context menus, is in the process.
    EXPECT_NE(BrowserResourceModule(), nullptr);
    EXPECT_EQ(HtmlHelpCall(0, "", 0, 0), 0);
}

TEST(Helpers, SmallSharedRoutines) {
    EXPECT_EQ(IndexOfText("b", {"a", "b", "c"}, 2), 1);
    EXPECT_EQ(IndexOfText("c", {"a", "b", "c"}, 1), -1);
    EXPECT_EQ(PosOfChar('x', "abx"), 3);
    EXPECT_EQ(PosOfChar('z', "abx"), 0);
    EXPECT_TRUE(BeginsWith("ab", "abc"));
    EXPECT_FALSE(BeginsWith("abcd", "abc"));
    const uint8_t list[] = {4, 0, 9, 9, 3, 0, 7, 0, 0};
    EXPECT_EQ(ItemIdListSize(list), 9u);
    EXPECT_EQ(ItemIdListSize(nullptr), 0u);
}

} // namespace
