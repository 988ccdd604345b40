// The skinned form on the headless display: its frame from the Default skin
// and in the default look, hit testing, size limits, window states, snapping
// and the messages other windows send it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/streams.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"
#include "support/headless.h"

namespace {

using headlesstest::pump;

std::string FixturePath(const std::string& name) {
    return std::string(LANTROVE_FIXTURES_DIR) + "/skin/forms/" + name + ".png";
}

// Compares a rendering with its kept picture; LANTROVE_WRITE_FIXTURES=1 writes it instead.
void ExpectMatchesFixture(HBITMAP shot, const std::string& name) {
    ASSERT_NE(shot, nullptr);
    int w = shot->width, h = shot->height;
    if (std::getenv("LANTROVE_WRITE_FIXTURES")) {
        TPngImage png;
        png.CreateBlank(2, w, h);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(shot->row(y));
            uint8_t* out = png.Scanline(y);
            for (int x = 0; x < w; ++x) {
                out[x * 3] = uint8_t(row[x]);
                out[x * 3 + 1] = uint8_t(row[x] >> 8);
                out[x * 3 + 2] = uint8_t(row[x] >> 16);
            }
        }
        TFileStream fs(FixturePath(name), fmCreate);
        png.SaveToStream(&fs);
        return;
    }
    TPngImage png;
    TFileStream fs(FixturePath(name), fmOpenRead);
    png.LoadFromStream(&fs);
    ASSERT_EQ(png.Width(), w) << name;
    ASSERT_EQ(png.Height(), h) << name;
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(shot->row(y));
        const uint8_t* in = png.Scanline(y);
        for (int x = 0; x < w; ++x) {
            uint32_t want =
                uint32_t(in[x * 3]) | uint32_t(in[x * 3 + 1]) << 8 | uint32_t(in[x * 3 + 2]) << 16;
            if ((row[x] & 0xFFFFFF) != want) {
                if (!differing) firstX = x, firstY = y;
                ++differing;
            }
        }
    }
    EXPECT_EQ(differing, 0) << name << ": first difference at " << firstX << "," << firstY;
}

uint32_t Pixel(HBITMAP b, int x, int y) {
    return reinterpret_cast<const uint32_t*>(b->row(y))[x] & 0xFFFFFF;
}

class SkinnedFormTest : public skintest::SkinnedFormFixture {
protected:
    LRESULT Hit(int fx, int fy) {
        return SendMessage(form->Handle(), WM_NCHITTEST, 0,
                           MAKELPARAM(form->Left() + fx, form->Top() + fy));
    }
};

TEST_F(SkinnedFormTest, FramePicturesMatchAtSizesAndStates) {
    struct Case {
        const char* Name;
        int W, H;
        bool Skin, Active, RolledUp;
    };
    const Case cases[] = {
        {"default_skin_300x160", 300, 160, true, true, false},
        {"default_skin_520x240", 520, 240, true, true, false},
        {"default_skin_inactive_300x160", 300, 160, true, false, false},
        {"default_skin_rolledup_300x160", 300, 160, true, true, true},
        {"plain_frame_300x120", 300, 120, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeForm(c.W, c.H, c.Skin);
        TForm other(nullptr);
        if (!c.Active) {
            other.SetBounds(900, 700, 100, 100);
            other.Show();
            SetActiveWindow(other.Handle());
        }
        if (c.RolledUp) sf->SetRollUpState(true);
        pump();
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        ExpectMatchesFixture(shot, c.Name);
        DeleteObject(shot);
        delete form;
        form = nullptr;
        pump();
    }
}

TEST_F(SkinnedFormTest, ClientAreaIsTheSkinsClientRectangle) {
    MakeForm(400, 200);
    RECT cr{};
    GetClientRect(form->Handle(), &cr);
    // Default skin: 420 x 120 picture, client (1, 32, 419, 119).
    EXPECT_EQ(cr.right, 400 - 2);
    EXPECT_EQ(cr.bottom, 200 - 33);
    delete form;
    form = nullptr;
    MakeForm(300, 120, false);
    GetClientRect(form->Handle(), &cr);
    EXPECT_EQ(cr.right, 300 - 6);
    EXPECT_EQ(cr.bottom, 120 - 19 - 6);
}

TEST_F(SkinnedFormTest, HitTestAcrossTheSkinnedFrame) {
    MakeForm(500, 300);
    struct Case {
        int X, Y;
        LRESULT Code;
    };
    const Case cases[] = {
        {250, 100, HTCLIENT},      {200, 15, HTCAPTION},     {0, 150, HTLEFT},
        {499, 150, HTRIGHT},       {250, 0, HTTOP},          {250, 299, HTBOTTOM},
        {0, 0, HTTOPLEFT},         {499, 0, HTTOPRIGHT},     {0, 299, HTBOTTOMLEFT},
        {499, 299, HTBOTTOMRIGHT}, {500 - 20, 15, HTOBJECT}, {20, 15, HTOBJECT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hit(c.X, c.Y), c.Code) << c.X << "," << c.Y;

    // Maximized: no resize codes anywhere.
    sf->SetWindowState(wsMaximized);
    pump();
    for (POINT p : {POINT{0, 150}, POINT{0, 0}, POINT{form->Width() - 1, form->Height() - 1}}) {
        LRESULT code = Hit(p.x, p.y);
        EXPECT_TRUE(code == HTCLIENT || code == HTCAPTION || code == HTOBJECT) << code;
    }
}

TEST_F(SkinnedFormTest, HitTestAcrossThePlainFrame) {
    MakeForm(300, 120, false);
    struct Case {
        int X, Y;
        LRESULT Code;
    };
    // Buttons: close 280-297, maximize 263-280 ... tray 212-229; sysmenu 3-20.
    const Case cases[] = {
        {150, 60, HTCLIENT}, {150, 10, HTCAPTION}, {1, 60, HTLEFT},   {299, 60, HTRIGHT},
        {150, 1, HTTOP},     {150, 119, HTBOTTOM}, {1, 1, HTTOPLEFT}, {299, 119, HTBOTTOMRIGHT},
        {285, 10, HTOBJECT}, {10, 10, HTOBJECT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hit(c.X, c.Y), c.Code) << c.X << "," << c.Y;
    sf->CalcDefRects();
    auto byName = [&](const std::string& n) -> TRect {
        for (auto& o : sf->ObjectList)
            if (o->IDName == n) return o->ObjectRect;
        return TRect();
    };
    EXPECT_EQ(byName("closebutton"), TRect(280, 4, 297, 21));
    EXPECT_EQ(byName("maxbutton"), TRect(263, 4, 280, 21));
    EXPECT_EQ(byName("minbutton"), TRect(246, 4, 263, 21));
    EXPECT_EQ(byName("rollupbutton"), TRect(229, 4, 246, 21));
}

TEST_F(SkinnedFormTest, SizeLimits) {
    MakeForm(300, 120, false);
    EXPECT_EQ(sf->GetMinWidth(), 130);
    EXPECT_EQ(sf->GetMinHeight(), 25);
    MINMAXINFO mmi{};
    SendMessage(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 130);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, 1000);
    delete form;
    form = nullptr;
    MakeForm(500, 300);
    EXPECT_EQ(sf->GetMinWidth(), 240); // the skin's FormMinWidth
    sf->MinWidth = 600;
    EXPECT_EQ(sf->GetMinWidth(), 600);
    EXPECT_EQ(sf->GetMinHeight(), 120 - 87);
    sf->MaxWidth = 800;
    EXPECT_EQ(sf->GetMaxWidth(), 800);
}

TEST_F(SkinnedFormTest, MaximizeAndRollUpRestoreTheirBounds) {
    MakeForm(500, 300);
    const TRect start = form->BoundsRect();
    sf->SetWindowState(wsMaximized);
    pump();
    EXPECT_EQ(form->BoundsRect(), TRect(0, 0, 1280, 1000));
    // A maximized form cannot be moved.
    RECT moving{10, 10, 1290, 1010};
    SendMessage(form->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    EXPECT_EQ(moving.left, 0);
    sf->SetWindowState(wsNormal);
    pump();
    EXPECT_EQ(form->BoundsRect(), start);

    sf->SetRollUpState(true);
    pump();
    EXPECT_EQ(form->Height(), sf->GetMinHeight());
    EXPECT_EQ(sf->RealHeight(), 300);
    sf->SetRollUpState(false);
    pump();
    EXPECT_EQ(form->BoundsRect(), start);

    // With a client height to keep, rolling down restores that.
    sf->ClientHeight = 150;
    sf->SetRollUpState(true);
    sf->SetRollUpState(false);
    EXPECT_EQ(form->ClientHeight(), 150);
    sf->ClientHeight = 0;
    form->SetBounds(start.Left, start.Top, start.Width(), start.Height());

    // Without the roll-up icon nothing rolls.
    sf->SetBorderIcons(biSystemMenu | biMinimize);
    sf->SetRollUpState(true);
    EXPECT_FALSE(sf->RollUpState());

    // A secondary form minimizes to the bottom-left slot of the work area at its minimum size.
    sf->SetWindowState(wsMinimized);
    EXPECT_EQ(form->BoundsRect(),
              Bounds(0, 1000 - sf->GetMinHeight(), sf->GetMinWidth(), sf->GetMinHeight()));
    sf->SetWindowState(wsNormal);
    EXPECT_EQ(form->BoundsRect(), start);
}

TEST_F(SkinnedFormTest, CaptionButtonsRunTheirCommands) {
    MakeForm(500, 300);
    // Right of the frame: close, maximize, minimize, each 44 wide.
    auto click = [&](int fx, int fy) {
        POINT p{form->Left() + fx, form->Top() + fy};
        SetCursorPosFromBackend(p);
        LRESULT hit = Hit(fx, fy);
        SendMessage(form->Handle(), WM_NCLBUTTONDOWN, WPARAM(hit), MAKELPARAM(p.x, p.y));
        SendMessage(form->Handle(), WM_NCLBUTTONUP, WPARAM(hit), MAKELPARAM(p.x, p.y));
        pump();
    };
    bool cancelled = false;
    sf->OnObjectCommand = [&](TStdCommand c, bool& cancel) {
        if (c == cmMinimize) cancel = cancelled = true;
    };
    click(500 - 1 - 44 - 22, 15); // maximize
    EXPECT_EQ(sf->WindowState(), wsMaximized);
    click(form->Width() - 1 - 44 - 22, 15); // restore
    EXPECT_EQ(sf->WindowState(), wsNormal);
    click(500 - 1 - 88 - 22, 15); // minimize, cancelled by the handler
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(sf->WindowState(), wsNormal);
    bool closed = false;
    form->OnClose = [&](TObject*, TCloseAction& a) {
        closed = true;
        a = caHide;
    };
    click(500 - 1 - 22, 15);
    EXPECT_TRUE(closed);
}

TEST_F(SkinnedFormTest, MagneticMoveSnapsToWorkAreaEdgesAndBreaksFree) {
    MakeForm(400, 200);
    sf->Magnetic = true;
    // Through WM_MOVING the proposed rectangle snaps to the right edge.
    RECT r{1280 - 400 - 3, 300, 1280 - 3, 500};
    SetCursorPosFromBackend(POINT{600, 600});
    SendMessage(form->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 880);
    EXPECT_EQ(r.right, 1280);
    // Leaving the edge again (a size clears every catch).
    form->SetBounds(300, 300, 410, 200);
    SetCursorPosFromBackend(POINT{300, 300});
    int l = 9, t = 500;
    sf->MagneticMove(l, t, 400, 200);
    EXPECT_EQ(l, 0); // caught by the left edge
    SetCursorPosFromBackend(POINT{308, 300});
    l = 8, t = 500;
    sf->MagneticMove(l, t, 400, 200);
    EXPECT_EQ(l, 0); // still held: the cursor moved less than 10
    SetCursorPosFromBackend(POINT{315, 300});
    l = 15, t = 500;
    sf->MagneticMove(l, t, 400, 200);
    EXPECT_EQ(l, 15); // broke free
    // Right and bottom edges of the work area (1280 x 1000).
    l = 1280 - 400 - 5, t = 1000 - 200 + 4;
    sf->MagneticMove(l, t, 400, 200);
    EXPECT_EQ(l, 880);
    EXPECT_EQ(t, 800);
}

TEST_F(SkinnedFormTest, AnswersTheQueriesOfOtherWindows) {
    MakeForm(300, 160);
    HWND h = form->Handle();
    EXPECT_EQ(SendMessage(h, WM_SKIN_GETSKINSTATE, 0, 0), 12853);
    HBITMAP target = CreateCompatibleBitmap(nullptr, 300, 160);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, target);
    EXPECT_EQ(SendMessage(h, WM_SKIN_PAINTNCTODC, WPARAM(dc), 0), 12851);
    HBITMAP shot = RenderWindowToBitmap(h);
    EXPECT_EQ(Pixel(target, 150, 10), Pixel(shot, 150, 10)); // the caption went to the DC
    EXPECT_EQ(SendMessage(h, WM_SKIN_PRINTNC, WPARAM(dc), kPrintNCMark), kPrintNCMark);
    // Another lParam goes on to the form's own procedure.
    EXPECT_EQ(SendMessage(h, WM_SKIN_PRINTNC, WPARAM(dc), 1), 0);
    DeleteObject(shot);
    DeleteDC(dc);
    DeleteObject(target);
}

TEST_F(SkinnedFormTest, KeyMenuCommandStopsAtTheHookRestoreGoesOn) {
    // The form's own procedure, behind the hook, records what passes.
    form = new TForm(nullptr);
    std::vector<WPARAM> passed;
    TWndMethod own = form->WindowProc;
    form->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_SYSCOMMAND) passed.push_back(m.WParam & 0xFFF0);
        own(m);
    };
    form->SetBounds(100, 80, 300, 160);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    form->Show();
    pump();
    int restores = 0;
    sf->OnRestore = [&](TObject*) { ++restores; };
    SendMessage(form->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    SendMessage(form->Handle(), WM_SYSCOMMAND, SC_KEYMENU | 2, 'x');
    SendMessage(form->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(passed, (std::vector<WPARAM>{SC_RESTORE}));
    delete form; // while the recorder it calls still exists
    form = nullptr;
}

TEST_F(SkinnedFormTest, SystemMenuFollowsTheWindowState) {
    MakeForm(300, 160);
    auto names = [&] {
        std::string s;
        TMenuItem* items = sf->GetSystemMenuItems();
        for (int i = 0; i < items->Count(); ++i)
            s += (items->Items(i)->Name().empty() ? items->Items(i)->Caption
                                                  : items->Items(i)->Name()) +
                 " ";
        return s;
    };
    EXPECT_EQ(names(), "DSF_MINITEM DSF_MAXITEM DSF_ROLLUP - DSF_CLOSE ");
    sf->SetWindowState(wsMaximized);
    EXPECT_EQ(names(), "DSF_MINITEM DSF_RESTORE DSF_ROLLUP - DSF_CLOSE ");
    sf->SetWindowState(wsNormal);

    // A user menu keeps its items between the standard ones, once.
    TPopupMenu user(nullptr);
    auto* mine = new TMenuItem(&user);
    mine->Caption = "About";
    user.Items()->Add(mine);
    sf->SetSystemMenu(&user);
    sf->SetBorderIcons(biSystemMenu | biMinimize);
    names();
    EXPECT_EQ(names(), "DSF_MINITEM About DSF_CLOSE ");
    sf->SetSystemMenu(nullptr);

    // A right click on the caption opens it at the cursor.
    TRect shownAt;
    sf->MenuPresenter = [&](TMenuItem*, TRect R, bool) { shownAt = R; };
    POINT p{form->Left() + 150, form->Top() + 15};
    SetCursorPosFromBackend(p);
    SendMessage(form->Handle(), WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(shownAt, TRect(p.x, p.y, p.x, p.y));
}

TEST_F(SkinnedFormTest, SkinChangeRebuildsTheFrameAndTurningSkinningOffDropsTheRegion) {
    MakeForm(400, 200);
    EXPECT_FALSE(sf->ObjectList.empty());
    skin->SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    EXPECT_TRUE(sf->ObjectList.empty());
    EXPECT_FALSE(sf->FSkinSupport);
    skin->SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    EXPECT_TRUE(sf->FSkinSupport);
    EXPECT_EQ(sf->ObjectList.size(), 4u); // caption and three buttons
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(form->Handle(), r), RGN_ERROR);
    sf->SetSkinnableForm(false);
    EXPECT_EQ(GetWindowRgn(form->Handle(), r), RGN_ERROR);
    DeleteObject(r);
}

// The fade-in processes pending messages once; a message that frees the
// component must leave the fade without touching it, and the form visible.
TEST_F(SkinnedFormTest, ComponentFreedDuringFadeInIsLeftAlone) {
    form = new TForm(nullptr);
    form->SetBounds(100, 80, 300, 160);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    sf->AlphaBlendAnimation = true;
    form->Show();
    HWND h = form->Handle();
    EXPECT_NE(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    HWND killer = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 7) {
            delete sf;
            sf = nullptr;
        }
    });
    PostMessage(killer, WM_USER + 7, 0, 0);
    SendMessage(h, WM_TIMER, 1, 0);
    EXPECT_EQ(sf, nullptr);
    EXPECT_EQ(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    pump();
    DeallocateHWnd(killer);
}

// A background picture without pixels draws nothing rather than dividing by its size.
TEST_F(SkinnedFormTest, EmptyBackgroundPictureDrawsNothing) {
    skin->FActivePictures.push_back(std::make_unique<TBitmap>());
    const int empty = int(skin->FActivePictures.size()) - 1;
    for (bool stretch : {false, true})
        for (TspStretchType t : {spstFull, spstHorz, spstVert}) {
            SCOPED_TRACE(std::to_string(stretch) + " " + std::to_string(int(t)));
            skin->StretchEffect = stretch;
            skin->StretchType = t;
            skin->BGPictureIndex = -1;
            MakeForm(300, 160);
            // What the client shows before: the frame picture's client part.
            HBITMAP before = RenderWindowToBitmap(form->Handle());
            // Something else on the client, which an empty picture leaves alone.
            HDC dc = GetDC(form->Handle());
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            RECT cr{};
            GetClientRect(form->Handle(), &cr);
            FillRect(dc, &cr, red);
            DeleteObject(red);
            ReleaseDC(form->Handle(), dc);
            skin->BGPictureIndex = empty;
            HBITMAP shot = RenderWindowToBitmap(form->Handle());
            ASSERT_NE(shot, nullptr);
            POINT c{150, 80};
            ClientToScreen(form->Handle(), &c);
            const int x = c.x - form->Left(), y = c.y - form->Top();
            EXPECT_EQ(Pixel(shot, x, y), 0xFF0000u); // nothing was drawn over it
            EXPECT_NE(Pixel(before, x, y), 0xFF0000u);
            EXPECT_EQ(Pixel(shot, 5, 5), Pixel(before, 5, 5)); // the frame is drawn as before
            DeleteObject(shot);
            DeleteObject(before);
            delete form;
            form = nullptr;
        }
}

// A mask with its four corners cut off: the region follows it and the cut
// corners are resize borders.
TEST_F(SkinnedFormTest, MaskShapesTheWindowAndItsBorders) {
    const int W = skin->FPicture->Width(), H = skin->FPicture->Height();
    skin->FMask = std::make_unique<TBitmap>(W, H);
    TCanvas* c = skin->FMask->Canvas();
    c->Brush()->SetColor(clBlack);
    c->FillRect(TRect(0, 0, W, H));
    c->Brush()->SetColor(clWhite);
    for (TRect r : {TRect(0, 0, 3, 3), TRect(W - 3, 0, W, 3), TRect(0, H - 3, 3, H),
                    TRect(W - 3, H - 3, W, H)})
        c->FillRect(r);
    skin->MaskRectArea = TRect(4, 4, W - 4, H - 4);
    MakeForm(500, 300);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form->Handle(), r), RGN_ERROR);
    struct Case {
        int X, Y;
        bool In;
    };
    for (Case k : {Case{0, 0, false}, Case{3, 3, true}, Case{250, 0, true}, Case{499, 299, false},
                   Case{497, 297, false}, Case{496, 296, true}, Case{250, 150, true}})
        EXPECT_EQ(PtInRegion(r, k.X, k.Y) != 0, k.In) << k.X << "," << k.Y;
    DeleteObject(r);
    EXPECT_FALSE(sf->PointInSkinMask(TPoint(1, 1)));
    EXPECT_TRUE(sf->PointInSkinMask(TPoint(3, 150)));
    // Points outside the solid part with a cut pixel within BorderW (4) resize.
    SetCursorPosFromBackend(POINT{1200, 1000});
    sf->TestActiveObject(-1, -1, false);
    EXPECT_EQ(Hit(5, 2), HTTOPLEFT);
    EXPECT_EQ(Hit(0, 150), HTLEFT);
    EXPECT_EQ(Hit(250, 150), HTCLIENT);
}

TEST_F(SkinnedFormTest, CaptionButtonsFollowTheBorderIcons) {
    struct Case {
        bool Skin;
        TspBorderIcons Icons;
        bool Hide;
        const char* Name;
        bool Enabled, Visible;
    };
    const Case cases[] = {
        // The Default skin's buttons are part of its frame picture: they stay in sight.
        {true, biSystemMenu | biMinimize, false, "maxbutton", false, true},
        {true, biSystemMenu | biMinimize, false, "minbutton", true, true},
        {true, biSystemMenu | biMinimize, false, "closebutton", true, true},
        // The default buttons are drawn by themselves: hidden when not allowed.
        {false, biSystemMenu | biMinimize, false, "maxbutton", false, false},
        {false, biSystemMenu | biMinimize, false, "rollupbutton", false, false},
        {false, biSystemMenu | biMinimize, false, "minbutton", true, true},
        {false, biSystemMenu | biMinimize | biMaximize | biRollUp, true, "closebutton", false,
         false},
        {false, biSystemMenu | biMinimize | biMaximize | biRollUp, true, "maxbutton", false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.Name) + (k.Skin ? " skinned" : " plain"));
        MakeForm(300, 160, k.Skin);
        sf->HideCaptionButtons = k.Hide;
        sf->SetBorderIcons(k.Icons);
        pump();
        TspActiveSkinObject* o = nullptr;
        for (auto& x : sf->ObjectList)
            if (x->IDName == k.Name) o = x.get();
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->Enabled, k.Enabled);
        EXPECT_EQ(o->Visible, k.Visible);
        delete form;
        form = nullptr;
        pump();
    }
}

// A caption button of its own command is shown only when the application asks.
TEST_F(SkinnedFormTest, CustomCaptionButtonAsksTheApplication) {
    auto e = std::make_unique<TspDataSkinStdButton>("help");
    e->Command = cmDefault;
    e->SkinRect = TRect(200, 5, 220, 25);
    skin->ObjectList.push_back(std::move(e));
    auto second = std::make_unique<TspDataSkinCaption>("caption2");
    second->SkinRect = TRect(40, 5, 60, 25);
    skin->ObjectList.push_back(std::move(second));
    MakeForm(400, 200);
    auto find = [&](const std::string& n) -> TspActiveSkinObject* {
        for (auto& x : sf->ObjectList)
            if (x->IDName == n) return x.get();
        return nullptr;
    };
    EXPECT_FALSE(find("help")->Visible);
    std::string asked;
    sf->OnActivateCustomObject = [&](const std::string& id, bool& v) {
        asked = id;
        v = true;
    };
    sf->CheckObjects();
    EXPECT_EQ(asked, "help");
    EXPECT_TRUE(find("help")->Visible);
    // Of two captions the one the skin marks, or else the first, shows the form's caption.
    auto* first = dynamic_cast<TspSkinCaptionObject*>(find("caption"));
    auto* other = dynamic_cast<TspSkinCaptionObject*>(find("caption2"));
    ASSERT_TRUE(first && other);
    EXPECT_TRUE(first->DefaultCaption);
    EXPECT_FALSE(other->DefaultCaption);
    EXPECT_EQ(first->TextValue(), "Lantrove");
}

TEST_F(SkinnedFormTest, MinimizedFormsTakeSlotsAlongTheBottom) {
    MakeForm(400, 200);
    TForm second(nullptr);
    second.SetBounds(300, 300, 400, 200);
    auto* sf2 = new TspSkinnedForm(&second);
    sf2->SetSkinData(skin.get());
    second.Show();
    pump();
    sf->SetWindowState(wsMinimized);
    sf2->SetWindowState(wsMinimized);
    const int w = sf->GetMinWidth(), h = sf->GetMinHeight();
    EXPECT_EQ(form->BoundsRect(), Bounds(0, 1000 - h, w, h));
    EXPECT_EQ(second.BoundsRect(), Bounds(w, 1000 - h, w, h));
    sf2->SetWindowState(wsNormal);
    EXPECT_EQ(second.BoundsRect(), Bounds(300, 300, 400, 200));
}

// A work area as large as the screen (a hidden taskbar) keeps a pixel free on every side.
TEST_F(SkinnedFormTest, MaximizedFormLeavesAHiddenTaskbarReachable) {
    SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1024}}});
    MakeForm(400, 200);
    sf->SetWindowState(wsMaximized);
    EXPECT_EQ(form->BoundsRect(), TRect(1, 1, 1279, 1023));
    sf->SetWindowState(wsNormal);
    sf->MaximizeOnFullScreen = true;
    sf->SetWindowState(wsMaximized);
    EXPECT_EQ(form->BoundsRect(), TRect(0, 0, 1280, 1024));
}

TEST_F(SkinnedFormTest, FormShownMaximizedRestoresCentredAtItsSize) {
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 400, 200);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    sf->PositionInMonitor = sppScreenCenter;
    sf->SetWindowState(wsMaximized);
    form->Show();
    pump();
    EXPECT_EQ(form->BoundsRect(), TRect(0, 0, 1280, 1000));
    sf->SetWindowState(wsNormal);
    EXPECT_EQ(form->BoundsRect(), Bounds(640 - 200, 512 - 100, 400, 200));
    // A later maximize and restore keeps the place it was restored to.
    sf->SetWindowState(wsMaximized);
    sf->SetWindowState(wsNormal);
    EXPECT_EQ(form->BoundsRect(), Bounds(640 - 200, 512 - 100, 400, 200));
}

TEST_F(SkinnedFormTest, ShowingFadesToTheFormsOpacity) {
    struct Case {
        bool Blend, Animate;
        uint8_t Value;
        bool Layered;
        uint8_t Alpha;
    };
    const Case cases[] = {
        {true, false, 200, true, 200},  // at once to 200
        {false, true, 200, false, 255}, // fades to full, then plain
        {true, true, 5, true, 5},       // steps of 1 up to 5, stays layered
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.Value));
        form = new TForm(nullptr);
        form->SetBounds(100, 80, 300, 160);
        sf = new TspSkinnedForm(form);
        sf->SetSkinData(skin.get());
        sf->AlphaBlendAnimation = c.Animate;
        sf->SetAlphaBlendValue(c.Value);
        sf->SetAlphaBlend(c.Blend);
        form->Show();
        HWND h = form->Handle();
        BYTE alpha = 1;
        GetLayeredWindowAttributes(h, nullptr, &alpha, nullptr);
        EXPECT_EQ(alpha, 0); // shown see-through until the transition ends
        SendMessage(h, WM_TIMER, 1, 0);
        EXPECT_EQ((GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0, c.Layered);
        if (c.Layered) {
            GetLayeredWindowAttributes(h, nullptr, &alpha, nullptr);
            EXPECT_EQ(alpha, c.Alpha);
        }
        delete form;
        form = nullptr;
        pump();
    }
}

TEST(SkinnedFormDefaults, FreshComponentAndForgottenReferences) {
    TForm form(nullptr);
    auto* sf = new TspSkinnedForm(&form);
    EXPECT_EQ(sf->BorderIcons(), biSystemMenu | biMinimize | biMaximize | biRollUp);
    EXPECT_EQ(sf->AlphaBlendValue(), 200);
    EXPECT_EQ(sf->MagneticSize, 10);
    EXPECT_TRUE(sf->SupportNCArea());
    EXPECT_TRUE(sf->Sizeable);
    EXPECT_EQ(sf->GetProductVersion(), "10.47");
    auto* skin = new TspSkinData(nullptr);
    sf->SetSkinData(skin);
    sf->SetMenusSkinData(skin);
    delete skin;
    EXPECT_EQ(sf->SkinData(), nullptr);
    EXPECT_EQ(sf->MenusSkinData(), nullptr);
    EXPECT_EQ(GetSkinnedForm(&form), sf);
    EXPECT_EQ(GetSkinnedForm(nullptr), nullptr);
}

TEST(SkinnedFormOwner, NeedsAForm) {
    TComponent owner(nullptr);
    EXPECT_THROW(TspSkinnedForm sf(&owner), EInvalidCast);
}

} // namespace

namespace {

// What the component forwards, what it does to its form and the references it
// lets go when their components go.
TEST_F(SkinnedFormTest, ComponentSettingsReachTheMenuEngineAndTheForm) {
    MakeForm(300, 160);
    EXPECT_EQ(form->BorderIcons(), 0u);
    EXPECT_TRUE(bool(form->OnShortCut));
    TspSkinMenu* engine = sf->SkinMenu();
    sf->SetMaxMenuItemsInWindow(7);
    sf->SetMaxMenuItemsInWindow(-1);
    EXPECT_EQ(engine->MaxMenuItemsInWindow, 7);
    int height = engine->FDefaultMenuItemHeight;
    sf->SetDefMenuItemHeight(0);
    EXPECT_EQ(sf->DefMenuItemHeight(), height);
    sf->SetDefMenuItemHeight(26);
    EXPECT_EQ(engine->FDefaultMenuItemHeight, 26);
    TFont font;
    font.SetName("Courier New");
    sf->SetDefMenuItemFont(&font);
    EXPECT_EQ(engine->FDefaultMenuItemFont->Name(), "Courier New");
    sf->SetUseSkinFontInMenu(false);
    EXPECT_FALSE(engine->FUseSkinFont);
    sf->SetMenusAlphaBlend(true);
    sf->SetMenusAlphaBlendAnimation(true);
    sf->SetMenusAlphaBlendValue(120);
    EXPECT_TRUE(engine->AlphaBlend);
    EXPECT_TRUE(engine->AlphaBlendAnimation);
    EXPECT_EQ(engine->AlphaBlendValue, 120);

    // Only the normal and stay-on-top styles are taken.
    sf->SetFormStyle(fsMDIForm);
    EXPECT_EQ(form->FormStyle(), fsNormal);
    EXPECT_EQ(TspSkinnedForm::GetTopMostFormHandle(), HWND(0));
    sf->SetFormStyle(fsStayOnTop);
    EXPECT_EQ(form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(TspSkinnedForm::GetTopMostFormHandle(), form->Handle());
    sf->SetFormStyle(fsNormal);

    // Unskinned, the form's own frame gets the buttons the component allows.
    sf->SetBorderIcons(biSystemMenu | biMaximize);
    sf->SetSkinnableForm(false);
    EXPECT_EQ(form->BorderIcons(), TFormBorderIcon::biSystemMenu | TFormBorderIcon::biMaximize);
    EXPECT_NE(GetWindowLongPtr(form->Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    sf->HideCaptionButtons = true;
    sf->SetFormBorderIcons();
    EXPECT_EQ(GetWindowLongPtr(form->Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    sf->HideCaptionButtons = false;
    sf->SetSkinnableForm(true);
    EXPECT_EQ(form->BorderIcons(), 0u);

    // The status bar's grip hides while maximized; freed parts are let go.
    auto* bar = new TspSkinStatusBar(form);
    bar->SetParent(form);
    bar->SetSizeGrip(true);
    sf->SetStatusBar(bar);
    sf->SetWindowState(wsMaximized);
    EXPECT_FALSE(bar->ShowGrip());
    sf->SetWindowState(wsNormal);
    EXPECT_TRUE(bar->ShowGrip());
    auto* hint = new TspSkinHint(nullptr);
    sf->SetSkinHint(hint);
    delete hint;
    delete bar;
    EXPECT_EQ(sf->SkinHint(), nullptr);
    EXPECT_EQ(sf->StatusBar(), nullptr);
}

// With ShowObjectHint, a caption button's hint comes up after the pause while
// the pointer rests on it and goes when the pointer leaves.
TEST_F(SkinnedFormTest, ObjectHintsFollowThePointerOverTheFrame) {
    os::ManualClock clock;
    os::SetClock(&clock);
    MakeForm(300, 160);
    // The application's hints are the main window's hint component's.
    Application->SetMainForm(form);
    TspSkinHint& hint = *new TspSkinHint(form);
    sf->SetSkinHint(&hint);
    sf->ShowObjectHint = true;
    auto rest = [&](int x, int y) {
        POINT p{form->Left() + x, form->Top() + y};
        SetCursorPosFromBackend(p);
        DeliverMouse(WM_MOUSEMOVE, p, 0);
        pump();
        for (int t = 0; t < Application->HintPause + 200; t += 50) {
            clock.Advance(50);
            pump();
        }
    };
    rest(300 - 20, 15); // the close button
    EXPECT_TRUE(hint.IsVisible());
    ASSERT_NE(hint.HW(), nullptr);
    EXPECT_EQ(GetWindowText(hint.HW()->Handle()), "Close");
    EXPECT_TRUE(sf->GetFormActive()); // the hint takes no activation
    rest(150, 100);                   // the client area
    EXPECT_FALSE(hint.IsVisible());
    sf->ShowObjectHint = false;
    rest(300 - 20, 15);
    EXPECT_FALSE(hint.IsVisible());
    delete form;
    form = nullptr;
    Application->SetMainForm(nullptr);
    pump();
    os::SetClock(nullptr);
}

} // namespace

namespace {

// The system-menu button shows the form's icon at the small-icon size: the
// form's own, else the program's, else a built-in one.
TEST_F(SkinnedFormTest, SystemMenuButtonShowsTheFormsIcon) {
    auto solid = [](uint32_t argb) { return std::vector<uint32_t>(size_t(32 * 32), argb); };
    TIcon saved;
    saved.Assign(&Application->Icon);
    Application->Icon.SetPixels(32, 32, solid(0xFF0000FF));
    struct Case {
        const char* Name;
        bool OwnIcon, AppIcon;
        uint32_t Want; // the pixel as rendered, 0xRRGGBB
    };
    const Case cases[] = {
        {"own", true, true, 0xFF0000},
        {"program's", false, true, 0x0000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        form = new TForm(nullptr);
        if (c.OwnIcon) form->Icon.SetPixels(32, 32, solid(0xFFFF0000));
        form->SetBounds(100, 80, 300, 120);
        sf = new TspSkinnedForm(form);
        sf->SetShowIcon(true);
        form->Show();
        SetActiveWindow(form->Handle());
        pump();
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        const int s = GetSystemMetrics(SM_CXSMICON);
        EXPECT_EQ(Pixel(shot, 3 + s / 2, 4 + s / 2), c.Want);
        EXPECT_EQ(Pixel(shot, 3, 4), c.Want);
        EXPECT_EQ(sf->FormIcon()->Width(), s);
        DeleteObject(shot);
        delete form;
        form = nullptr;
        pump();
    }
    // Without any icon a built-in picture shows, not the caption's background.
    Application->Icon.SetPixels(0, 0, {});
    MakeForm(300, 120, false);
    HBITMAP before = RenderWindowToBitmap(form->Handle());
    uint32_t plain = Pixel(before, 3 + 8, 4 + 10);
    DeleteObject(before);
    sf->SetShowIcon(true);
    HBITMAP shot = RenderWindowToBitmap(form->Handle());
    EXPECT_NE(Pixel(shot, 3 + 8, 4 + 10), plain);
    DeleteObject(shot);
    Application->Icon.Assign(&saved);
}

} // namespace

namespace {

// A caption button the form does not allow looks disabled: the skin's
// picture has no disabled state, so it is drawn dimmed (its glyph close to
// the caption's colour), while the allowed ones keep their look.
TEST_F(SkinnedFormTest, DisallowedCaptionButtonLooksDimmed) {
    MakeForm(300, 160);
    auto darkest = [&](const char* name) {
        TRect r;
        for (auto& o : sf->ObjectList)
            if (o->IDName == name) r = o->ObjectRect;
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        int least = 255 * 3;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                uint32_t p = Pixel(shot, x, y);
                least = std::min(least, int((p >> 16) + ((p >> 8) & 0xFF) + (p & 0xFF)));
            }
        DeleteObject(shot);
        return least;
    };
    const int liveMax = darkest("maxbutton"), liveMin = darkest("minbutton");
    sf->SetBorderIcons(biSystemMenu | biMinimize | biRollUp);
    pump();
    EXPECT_GT(darkest("maxbutton"), liveMax + 150);
    EXPECT_EQ(darkest("minbutton"), liveMin);
}

} // namespace
