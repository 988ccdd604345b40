// A window on a real display: what the X server shows is what the headless
// renderer draws for the same window, and input sent to the X server arrives
// as messages.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/gtk.h"
#include "platform/gdi/gdi.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/shellnotify.h"
#include "platform/win/window.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

std::vector<MSG> g_input;

LRESULT demoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT halves[2] = {{0, 0, 100, 120}, {100, 0, 200, 120}};
        COLORREF colours[2] = {RGB(200, 30, 30), RGB(30, 30, 200)};
        for (int i = 0; i < 2; ++i) {
            HBRUSH b = CreateSolidBrush(colours[i]);
            FillRect(dc, &halves[i], b);
            DeleteObject(b);
        }
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 0));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, 10, 60, nullptr);
        LineTo(dc, 190, 60);
        SelectObject(dc, old);
        DeleteObject(pen);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_CHAR:
        g_input.push_back(MSG{hwnd, msg, wParam, lParam, 0, {}});
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

using guitest::pumpFor;
using guitest::readPpm;
using guitest::run;

} // namespace

TEST(GtkDisplay, ScreenShowsTheHeadlessPixelsAndInputArrives) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    WNDCLASS wc;
    wc.lpfnWndProc = demoProc;
    wc.lpszClassName = "GtkDemo";
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, "GtkDemo", "demo", WS_POPUP | WS_VISIBLE, 40, 30, 200, 120, 0, 0,
                            nullptr, nullptr);
    ASSERT_NE(w, 0u);
    pumpFor(800);

    std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> owned(RenderWindowToBitmap(w), DeleteObject);
    HBITMAP headless = owned.get();
    ASSERT_NE(headless, nullptr);
    // The X server shows the window once the display has caught up: under
    // load that takes a while, so look again until it matches or time is up.
    TempDir dir;
    std::string shot = dir.file("screen.ppm");
    int mismatches = -1;
    for (int attempt = 0; attempt < 20 && mismatches != 0; ++attempt) {
        pumpFor(300);
        ASSERT_EQ(run("import -window root -depth 8 ppm:" + shot), 0);
        int sw = 0, sh = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(readPpm(shot, sw, sh, rgb));
        mismatches = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                COLORREF want = headless->getPixel(x, y);
                const uint8_t* p = &rgb[(size_t(30 + y) * sw + 40 + x) * 3];
                if (RGB(p[0], p[1], p[2]) != want) ++mismatches;
            }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(headless->getPixel(50, 20), RGB(200, 30, 30));
    EXPECT_EQ(headless->getPixel(150, 60), RGB(255, 255, 0));

    // The backend reads the same pixels from the X server; a part of the
    // area off the screen is black.
    std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> shotOwned(
        display::Current().CaptureScreen(RECT{-10, 30, 240, 150}), DeleteObject);
    HBITMAP captured = shotOwned.get();
    ASSERT_NE(captured, nullptr);
    ASSERT_EQ(captured->width, 250);
    ASSERT_EQ(captured->height, 120);
    int capturedMismatches = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            if (captured->getPixel(50 + x, y) != headless->getPixel(x, y)) ++capturedMismatches;
    EXPECT_EQ(capturedMismatches, 0);
    EXPECT_EQ(captured->getPixel(5, 60), RGB(0, 0, 0));

    g_input.clear();
    ASSERT_EQ(run("xdotool mousemove 60 50 click 1"), 0);
    pumpFor(300);
    ASSERT_EQ(run("xdotool key a"), 0);
    bool click = false, key = false, chr = false;
    for (int attempt = 0; attempt < 20 && !(click && key && chr); ++attempt) {
        pumpFor(300);
        for (auto& m : g_input) {
            if (m.message == WM_LBUTTONDOWN && LOWORD(m.lParam) == 20 && HIWORD(m.lParam) == 20)
                click = true;
            if (m.message == WM_KEYDOWN && m.wParam == 'A') key = true;
            if (m.message == WM_CHAR && m.wParam == 'a') chr = true;
        }
    }
    EXPECT_TRUE(click);
    EXPECT_TRUE(key);
    EXPECT_TRUE(chr);
    DestroyWindow(w);
    pumpFor(50);
    display::Install(nullptr);
}

// A window shown ahead of long work on its thread (the splash) is on the
// screen, painted, when ShowWindowNow returns: nothing pumps the display
// between the two.
TEST(GtkDisplay, ShowWindowNowPutsThePaintedWindowOnTheScreen) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    WNDCLASS wc;
    wc.lpfnWndProc = demoProc;
    wc.lpszClassName = "GtkShownNow";
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, "GtkShownNow", "now", WS_POPUP, 300, 200, 200, 120, 0, 0, nullptr,
                            nullptr);
    ASSERT_NE(w, 0u);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    ShowWindowNow(w);
    std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> shot(
        display::Current().CaptureScreen(RECT{300, 200, 500, 320}), DeleteObject);
    ASSERT_NE(shot.get(), nullptr);
    EXPECT_EQ(shot->getPixel(50, 20), RGB(200, 30, 30));
    EXPECT_EQ(shot->getPixel(150, 100), RGB(30, 30, 200));
    DestroyWindow(w);
    pumpFor(50);
    display::Install(nullptr);
}

// Nothing of the program draws with OpenGL: opening the display loads no GL
// driver, and programs started later do not inherit the switch for it.
TEST(GtkDisplay, OpeningTheDisplayLoadsNoGlDriver) {
    unsetenv("GDK_GL");
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    void* glx = dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(glx, nullptr);
    if (glx) dlclose(glx);
    EXPECT_EQ(getenv("GDK_GL"), nullptr);
}

namespace {

std::string outputOf(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The icon a window is given (or its class's) is the X window's icon, which
// the desktop shows for it.
TEST(GtkDisplay, TheWindowsIconReachesTheXWindow) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    const uint32_t classPixels[4] = {0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233};
    const uint32_t ownPixels[4] = {0xFFFF0000, 0x8000FF00, 0xFF0000FF, 0x00000000};
    HICON classIcon = CreateIconFromPixels(2, 2, classPixels);
    HICON own = CreateIconFromPixels(2, 2, ownPixels);
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "GtkIconDemo";
    wc.hIcon = classIcon;
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, "GtkIconDemo", "lantrove-icon-demo", WS_POPUP | WS_VISIBLE, 40, 30,
                            120, 80, 0, 0, nullptr, nullptr);
    ASSERT_NE(w, 0u);
    auto iconProperty = [&](const std::string& want) {
        std::string seen;
        for (int attempt = 0; attempt < 40; ++attempt) {
            pumpFor(100);
            std::string id = outputOf("xdotool search --name '^lantrove-icon-demo$'");
            while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
                id.pop_back();
            if (id.empty()) continue;
            // Numbers rather than the picture xprop draws of an icon.
            seen = outputOf("xprop -id " + id.substr(0, id.find('\n')) +
                            " -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON");
            if (seen.find(want) != std::string::npos) return seen;
        }
        return seen;
    };
    // Width, height, then each pixel as 0xAARRGGBB.
    EXPECT_NE(iconProperty("2, 2, 4279312947, 4279312947").find("4279312947"), std::string::npos);
    SendMessage(w, WM_SETICON, ICON_BIG, LPARAM(own));
    EXPECT_NE(iconProperty("2, 2, 4294901760, 2147548928, 4278190335, 0").find("4294901760"),
              std::string::npos);
    DestroyWindow(w);
    pumpFor(50);
    UnregisterClass("GtkIconDemo", nullptr);
    DestroyIcon(classIcon);
    DestroyIcon(own);
    display::Install(nullptr);
}

} // namespace
