// Hint and balloon windows on the headless display: shapes and sizes,
// placement around the point, the shared look, the hide timer and the wait
// for the user's next input.
#include "skin/controls/OxHint.h"

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/window.h"
#include "skin/forms/SkinHint.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Counts the keys that reach it.
class KeyHost : public TCustomControl {
public:
    KeyHost() : TCustomControl(nullptr) {
        SetBounds(0, 0, 50, 50);
        HandleNeeded();
    }
    int keys = 0;
    std::function<void()> onUser;
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_KEYDOWN) ++keys;
        if (M.Msg == WM_USER && onUser) onUser();
        TCustomControl::WndProc(M);
    }
};

class OxHintTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
    }
    void TearDown() override {
        os::SetClock(nullptr);
        Application->HintWindowClass = nullptr;
        Application->ProcessMessages();
        SetMonitors({});
    }
    // Lets the posted wait run; a key posted first ends it at once.
    void runWait() {
        // A key that changes no shift state the later tests see.
        PostMessage(host.Handle(), WM_KEYDOWN, 0x87, 0);
        PostMessage(host.Handle(), WM_KEYUP, 0x87, 0);
        Application->ProcessMessages();
    }
    TSize textSize(TOxInternalHintWindow* W, const std::string& S) {
        TBitmap b(1, 1);
        b.Canvas()->SetFont(W->Canvas()->Font());
        return TSize{b.Canvas()->TextWidth(S), b.Canvas()->TextHeight(S)};
    }
    KeyHost host;
};

TEST_F(OxHintTest, BalloonAndRectangleSizes) {
    TOxHintWindow hw(nullptr);
    TOxInternalHintWindow* w = hw.HintWindow();
    hw.SetHintStyle(hsBalloonHint);
    hw.ActivateHintFromPos(TPoint(600, 500), "Hi", "", -1);
    EXPECT_TRUE(w->Balloon());
    EXPECT_GE(w->BodyRect().Width(), 50);
    EXPECT_GE(w->BodyRect().Height(), 35);
    EXPECT_EQ(w->Height(), w->BodyRect().Height() + 16);

    hw.SetHintStyle(hsNormal);
    hw.ActivateHintFromPos(TPoint(600, 500), "Hi", "", -1);
    const TSize s = textSize(w, "Hi");
    EXPECT_FALSE(w->Balloon());
    EXPECT_EQ(w->BodyRect(), TRect(0, 0, s.cx + 12, s.cy + 8));
    EXPECT_EQ(w->Width(), s.cx + 12);
    EXPECT_TRUE(w->IsShowing());

    // The rectangle: border, light top-left lines, tooltip fill.
    TBitmap* b = w->Bitmap();
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(0, 3)), COLORREF(13160660));
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(3, 0)), COLORREF(13160660));
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(w->Width() - 1, 3)), ColorToRGB(clBlack));
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(w->Width() - 3, w->Height() - 3)),
              ColorToRGB(clInfoBk));
    hw.ReleaseHandle();
    EXPECT_FALSE(w->IsShowing());
}

TEST_F(OxHintTest, AutoStyleTakesTheBalloonForATitle) {
    TOxHintWindow hw(nullptr);
    TOxInternalHintWindow* w = hw.HintWindow();
    EXPECT_EQ(hw.HintStyle(), hsAuto);
    hw.ActivateHintFromPos(TPoint(600, 500), "text", "", -1);
    EXPECT_FALSE(w->Balloon());
    EXPECT_FALSE(w->FirstLineAsTitle());
    hw.ActivateHintFromPos(TPoint(600, 500), "text", "Title", -1);
    EXPECT_TRUE(w->Balloon());
    EXPECT_TRUE(w->FirstLineAsTitle());
    EXPECT_EQ(w->Caption(), "Title\r\ntext");

    // The balloon's outline leaves the corners and the pointer's sides out.
    std::vector<RECT> rgn = GetWindowRegionRects(w->Handle());
    auto inside = [&](int x, int y) {
        for (const RECT& r : rgn)
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
        return false;
    };
    const TRect body = w->BodyRect();
    EXPECT_FALSE(inside(body.Left, body.Top));
    EXPECT_TRUE(inside(body.Left + body.Width() / 2, body.Top + body.Height() / 2));
    EXPECT_FALSE(inside(0, 0));
}

TEST_F(OxHintTest, PlacementFollowsTheRoomAroundThePoint) {
    TOxHintWindow hw(nullptr);
    TOxInternalHintWindow* w = hw.HintWindow();
    hw.SetHintStyle(hsBalloonHint);
    hw.SetHintPosition(hpDownRight);
    // Room below: the body starts below the point, pointer up.
    hw.ActivateHintFromPos(TPoint(300, 300), "Down there", "", -1);
    EXPECT_EQ(w->Left(), 300 - 16);
    EXPECT_EQ(w->Top() + 16, 300 + CursorHeightMargin() + 10);
    EXPECT_EQ(w->PointerPoints().front(), TPoint(16, 16));

    // 20 pixels above the work area's bottom: above the point, still right.
    hw.ActivateHintFromPos(TPoint(300, 980), "Up there", "", -1);
    EXPECT_LT(w->Top() + w->Height(), 980);
    EXPECT_EQ(w->Left(), 300 - 25);

    // Near the right edge: no room to the right, so above and to the left.
    hw.ActivateHintFromPos(TPoint(1260, 300), "Left of it", "", -1);
    EXPECT_EQ(w->Left() + w->Width(), 1260 + 5);
    EXPECT_LT(w->Top() + w->Height(), 300);
}

TEST_F(OxHintTest, SharedLookAppliesUntilTheWindowSetsItsOwn) {
    TComponent owner(nullptr);
    auto* look = new TOxHint(&owner);
    look->HintStyle = hsNormal;
    look->HintPosition = hpUpLeft;
    auto* hw = new TOxHintWindow(&owner);
    TOxInternalHintWindow* w = hw->HintWindow();
    hw->ActivateHintFromPos(TPoint(600, 500), "shared", "", -1);
    EXPECT_EQ(w->HintComponent(), look);
    EXPECT_FALSE(w->Balloon());
    EXPECT_LT(w->Top(), 500);
    EXPECT_LT(w->Left(), 600);

    hw->SetHintPosition(hpDownRight);
    hw->ActivateHintFromPos(TPoint(600, 500), "own", "", -1);
    EXPECT_GE(w->Top(), 500);
    EXPECT_GE(w->Left(), 600);

    // A new font reaches every live hint window.
    TFont f;
    f.SetName("Serif");
    f.SetHeight(23);
    TOxHintWindow other(nullptr);
    look->SetFont(&f);
    ASSERT_GE(TOxInternalHintWindow::Instances().size(), 2u);
    for (TOxInternalHintWindow* each : TOxInternalHintWindow::Instances())
        EXPECT_EQ(each->Canvas()->Font()->Height(), 23);
}

TEST_F(OxHintTest, HidesAfterItsPauseAndTellsTheOwner) {
    os::ManualClock clock{10000};
    os::SetClock(&clock);
    Application->HintHidePause = 2500;
    TOxHintWindow hw(nullptr);
    int cancelled = 0;
    hw.OnCancelHint = [&](TObject*) { ++cancelled; };
    struct Case {
        int pause, shownFor;
    };
    for (Case c : {Case{5000, 5000}, Case{0, 2500}}) {
        hw.ActivateHintFromPos(TPoint(400, 400), "timed", "", c.pause);
        runWait();
        clock.Advance(uint64_t(c.shownFor - 1));
        Application->ProcessMessages();
        EXPECT_TRUE(hw.HintWindow()->IsShowing()) << c.pause;
        clock.Advance(1);
        Application->ProcessMessages();
        EXPECT_FALSE(hw.HintWindow()->IsShowing()) << c.pause;
    }
    EXPECT_EQ(cancelled, 2);

    hw.ActivateHintFromPos(TPoint(400, 400), "stays", "", -1);
    clock.Advance(100000);
    Application->ProcessMessages();
    EXPECT_TRUE(hw.HintWindow()->IsShowing());
    EXPECT_EQ(cancelled, 2);
}

TEST_F(OxHintTest, AKeyEndsTheWaitAndArrivesOnce) {
    TOxHintWindow hw(nullptr);
    hw.ActivateHintFromPos(TPoint(400, 400), "waiting", "", 60000);
    bool sawWait = false;
    host.onUser = [&] { sawWait = hw.HintWindow()->Waiting(); };
    PostMessage(host.Handle(), WM_USER, 0, 0);
    runWait();
    EXPECT_TRUE(sawWait);
    EXPECT_FALSE(hw.HintWindow()->Waiting());
    EXPECT_EQ(host.keys, 1);
    EXPECT_TRUE(hw.HintWindow()->IsShowing());
}

TEST_F(OxHintTest, TheWaitEndsWhenTheHintGoes) {
    // Real time: the hint hides itself 30 ms on, inside the wait.
    TOxHintWindow hw(nullptr);
    hw.ActivateHintFromPos(TPoint(400, 400), "short", "", 30);
    Application->ProcessMessages();
    while (hw.HintWindow()->IsShowing())
        Application->HandleMessage();
    EXPECT_FALSE(hw.HintWindow()->Waiting());
}

} // namespace
