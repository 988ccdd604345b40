// A form with plain controls in a real window: the X screen shows what the
// headless renderer draws for it, and pointer and keys sent to the X server
// reach its controls as messages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/gtk.h"
#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using namespace guitest;

struct Recorded {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
};

} // namespace

TEST(FormOnScreen, ShowsTheHeadlessPixelsAndTakesInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBounds(40, 30, 320, 200);
        form->SetCaption("Plain form");
        HWND fh = form->Handle();
        RECT client{};
        GetClientRect(fh, &client);
        ASSERT_LT(client.right, 320); // the frame takes its share

        auto* back = new TPanel(form.get());
        back->SetBounds(0, 0, client.right, client.bottom);
        back->SetParent(form.get());
        auto* label = new TPanel(form.get());
        label->SetCaption("Status: ready");
        label->SetBounds(10, 10, 200, 30);
        label->SetParent(back);
        auto* button = new TButton(form.get());
        button->SetCaption("&OK");
        button->SetBounds(10, 60, 90, 28);
        button->SetParent(back);

        std::vector<Recorded> seen;
        int clicks = 0;
        button->OnClick = [&](TObject*) { ++clicks; };
        TWndMethod buttonProc = button->WindowProc;
        button->WindowProc = [&](TMessage& m) {
            if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_KEYDOWN || m.Msg == WM_CHAR)
                seen.push_back(Recorded{button->Handle(), m.Msg, m.WParam});
            buttonProc(m);
        };
        TWndMethod formProc = form->WindowProc;
        form->WindowProc = [&](TMessage& m) {
            if (m.Msg == WM_NCMOUSEMOVE) seen.push_back(Recorded{fh, m.Msg, m.WParam});
            formProc(m);
        };

        form->Show();
        pumpFor(800);
        std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> headless(RenderWindowToBitmap(fh),
                                                               DeleteObject);
        ASSERT_NE(headless, nullptr);
        Screenshot shot;
        int mismatches = waitForScreenMatch(shot, headless.get(), 40, 30, 320, 200, 360);
        ASSERT_GE(shot.w, 360);
        EXPECT_EQ(mismatches, 0);
        // The frame and the controls are really there, not a blank window.
        int f = GetSystemMetrics(SM_CXFRAME);
        EXPECT_EQ(headless->getPixel(f + 2, f + 2), GetSysColor(COLOR_ACTIVECAPTION));
        POINT face{10 + 45, 60 + 3};
        ClientToScreen(back->Handle(), &face);
        EXPECT_EQ(shot.at(face.x, face.y), GetSysColor(COLOR_BTNFACE));

        // A click on the button, then keys while it has the focus.
        POINT centre{45, 14};
        ClientToScreen(button->Handle(), &centre);
        ASSERT_EQ(run("xdotool mousemove " + std::to_string(centre.x) + " " +
                      std::to_string(centre.y) + " click 1"),
                  0);
        pumpUntil([&] { return clicks == 1; });
        EXPECT_EQ(clicks, 1);
        ASSERT_EQ(run("xdotool key space key a"), 0);
        pumpUntil([&] {
            for (const Recorded& r : seen)
                if (r.msg == WM_CHAR && r.wParam == 'a') return clicks == 2;
            return false;
        });
        EXPECT_EQ(clicks, 2);
        bool down = false, key = false, chr = false;
        for (const Recorded& r : seen) {
            down |= r.msg == WM_LBUTTONDOWN;
            key |= r.msg == WM_KEYDOWN && r.wParam == 'A';
            chr |= r.msg == WM_CHAR && r.wParam == 'a';
        }
        EXPECT_TRUE(down);
        EXPECT_TRUE(key);
        EXPECT_TRUE(chr);

        // The pointer over the caption is a non-client move of the form.
        seen.clear();
        ASSERT_EQ(run("xdotool mousemove 200 " + std::to_string(30 + f + 4)), 0);
        bool caption = false;
        pumpUntil([&] {
            for (const Recorded& r : seen)
                caption |= r.msg == WM_NCMOUSEMOVE && LRESULT(r.wParam) == HTCAPTION;
            return caption;
        });
        EXPECT_TRUE(caption);

        // Dragging the caption moves the window on the screen.
        ASSERT_EQ(run("xdotool mousedown 1 sleep 0.2 mousemove 260 " + std::to_string(80 + f + 4) +
                      " sleep 0.2 mouseup 1"),
                  0);
        RECT moved{};
        pumpUntil([&] {
            GetWindowRect(fh, &moved);
            return moved.left == 100 && moved.top == 80;
        });
        EXPECT_EQ(moved.left, 100);
        EXPECT_EQ(moved.top, 80);

        form.reset();
        pumpFor(50);
    }
    display::Install(nullptr);
}
