// The browser component on the real web engine under a display: pictures
// beside the program, private links through real clicks, script answers,
// new windows, zoom, text selection, and the native view following its host.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "browser/EmbeddedBrowser.h"
#include "browser/WbTools.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/gtk.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/win/window.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using guitest::processFor;

using guitest::processUntil;

using guitest::run;

// A 4x4 red PNG.
const unsigned char kRedPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x26,
    0x93, 0x09, 0x29, 0x00, 0x00, 0x00, 0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8,
    0xCF, 0xC0, 0x00, 0x47, 0x0C, 0xC4, 0x71, 0x00, 0xAE, 0x93, 0x0F, 0xF1, 0xD0, 0x5F, 0x23,
    0x9E, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

class BrowserOnScreen : public guitest::OnScreenSuite<BrowserOnScreen> {
protected:
    void SetUp() override {
        OnScreenSuite::SetUp();
        if (IsSkipped()) return;
        os::SetProgramFileNameOverride(dir.file("lantrove"));
        dir.write("res/red.png",
                  std::string(reinterpret_cast<const char*>(kRedPng), sizeof kRedPng));
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 40, 420, 340);
        panel = new TPanel(form.get());
        panel->SetBounds(0, 0, 400, 300);
        panel->SetParent(form.get());
        browser = new TEmbeddedBrowser(form.get());
        browser->SetBounds(10, 10, 360, 260);
        browser->SetParent(panel);
        browser->LoadSettings();
        form->Show();
        processFor(200);
    }
    void TearDown() override {
        form.reset();
        processFor(50);
        os::SetProgramFileNameOverride("");
    }
    bool load(const std::string& html) {
        bool complete = false;
        browser->OnDocumentComplete = [&](TObject*, TWebDocument*, const std::string&) {
            complete = true;
        };
        browser->LoadFromWideString(std::u16string(html.begin(), html.end()));
        bool ok = processUntil([&] { return complete && browser->ReadyState() == 4; });
        browser->OnDocumentComplete = nullptr;
        return ok;
    }
    std::string eval(const std::string& script) {
        return browser->Document() ? browser->Document()->Evaluate(script).value : "";
    }
    POINT screenOf(int x, int y) {
        POINT p{x, y};
        ClientToScreen(browser->GetIEWin("Internet Explorer_Server"), &p);
        return p;
    }

    TempDir dir;
    std::unique_ptr<TForm> form;
    TPanel* panel = nullptr;
    TEmbeddedBrowser* browser = nullptr;
};

TEST_F(BrowserOnScreen, ShowsPicturesBesideTheProgramAndAnswersScripts) {
    ASSERT_TRUE(load("<html><head><title>Local</title></head><body>"
                     "<img id=\"pic\" src=\"res/red.png\"></body></html>"));
    ASSERT_TRUE(
        processUntil([&] { return eval("document.getElementById('pic').complete") == "true"; }));
    EXPECT_EQ(eval("document.getElementById('pic').naturalWidth"), "4");
    EXPECT_EQ(eval("document.title"), "Local");
    EXPECT_EQ(eval("6*7"), "42");
    // A script that throws answers with its error; one that never ends is
    // given up on, and the browser still loads the next page.
    auto thrown = browser->Document()->Evaluate("throw new Error('boom')");
    EXPECT_FALSE(thrown.ok);
    EXPECT_NE(thrown.error.find("boom"), std::string::npos);
    auto endless = browser->Document()->Evaluate("while(true){}", 1500);
    EXPECT_FALSE(endless.ok);
    load("<html><body>again</body></html>");
    // The page's new process may still be starting under load.
    EXPECT_TRUE(processUntil([&] { return eval("document.body.innerText") == "again"; }));
}

TEST_F(BrowserOnScreen, PrivateLinksClickedByTheUserAreCancelled) {
    ASSERT_TRUE(load("<html><body style=\"margin:0\"><a id=\"l\" href=\"xmd:ACTION=Play&ID=7\" "
                     "style=\"display:block;width:200px;height:60px\">play</a></body></html>"));
    std::string seen;
    int cancelled = 0;
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool& cancel) {
        seen = std::any_cast<std::string>(url);
        if (seen.rfind("xmd:", 0) == 0) {
            cancel = true;
            ++cancelled;
        }
    };
    processFor(300);
    POINT p = screenOf(40, 20);
    ASSERT_EQ(
        run("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " click 1"),
        0);
    ASSERT_TRUE(processUntil([&] { return cancelled == 1; }));
    EXPECT_EQ(seen, "xmd:ACTION=Play&ID=7");
    processFor(300);
    // The page stays where it was.
    EXPECT_EQ(eval("document.getElementById('l').textContent"), "play");
}

TEST_F(BrowserOnScreen, NewWindowsAreRefusedWhenTheHandlerCancels) {
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    int asked = 0, navigations = 0;
    browser->OnNewWindow2 = [&](TObject*, TWebDocument*&, bool& cancel) {
        ++asked;
        cancel = true;
    };
    // Only the new window's address counts: a late event of the page's own
    // load may still come in after it completed.
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool&) {
        if (std::any_cast<std::string>(url).find("#popup") != std::string::npos) ++navigations;
    };
    eval("window.open('about:blank#popup'); true");
    ASSERT_TRUE(processUntil([&] { return asked == 1; }));
    processFor(300);
    EXPECT_EQ(navigations, 0);
}

TEST_F(BrowserOnScreen, ZoomAndTextSelectionSwitches) {
    ASSERT_TRUE(load("<html><body><p id=\"t\">some words to select</p></body></html>"));
    browser->SetZoom(4);
    EXPECT_EQ(browser->Zoom(), 4);
    EXPECT_NEAR(browser->WebView()->Zoom(), 1.3, 0.01);
    browser->SetZoom(2);
    EXPECT_NEAR(browser->WebView()->Zoom(), 1.0, 0.01);

    EXPECT_TRUE(processUntil([&] {
        browser->SelectAll();
        return browser->GetSelectedText(false, true).find("some words") != std::string::npos;
    }));
    browser->SetUserInterfaceOptions({DisableTextSelect, EnablesFormsAutoComplete, EnableThemes});
    ASSERT_TRUE(load("<html><body><p id=\"t\">some words to select</p></body></html>"));
    EXPECT_EQ(eval("getComputedStyle(document.getElementById('t')).webkitUserSelect"), "none");
}

TEST_F(BrowserOnScreen, TheViewFollowsItsHost) {
    ASSERT_TRUE(load("<html><body style=\"background:#00ff00\"></body></html>"));
    auto viewColourAt = [&](POINT screen) {
        TempDir shot;
        std::string path = shot.file("s.txt");
        run("import -window root -depth 8 -crop 1x1+" + std::to_string(screen.x) + "+" +
            std::to_string(screen.y) + " txt:" + path);
        return shot.read("s.txt");
    };
    auto green = [](const std::string& pixel) {
        return pixel.find("#00FF00") != std::string::npos;
    };
    ASSERT_TRUE(processUntil([&] { return green(viewColourAt(screenOf(30, 30))); }, 8000));

    // Moved with its host.
    browser->SetBounds(100, 20, 200, 200);
    ASSERT_TRUE(processUntil([&] { return green(viewColourAt(screenOf(30, 30))); }, 8000));

    // Hidden with its host (the panel behind shows instead).
    panel->Hide();
    POINT where = screenOf(30, 30);
    ASSERT_TRUE(processUntil([&] { return !green(viewColourAt(where)); }, 8000));
    panel->Show();
    ASSERT_TRUE(processUntil([&] { return green(viewColourAt(screenOf(30, 30))); }, 8000));

    // A new parent keeps the page; destroying the host takes the view away.
    browser->SetParent(form.get());
    processFor(200);
    ASSERT_NE(browser->Document(), nullptr);
    EXPECT_EQ(eval("document.body.style.background").find("rgb(0, 255, 0)"), 0u);
    where = screenOf(30, 30);
    delete browser;
    browser = nullptr;
    ASSERT_TRUE(processUntil([&] { return !green(viewColourAt(where)); }, 8000));
}

} // namespace

namespace {

// Two browsers in the same place of a window that is shown after they are
// made; the one whose page is hidden takes no clicks.
TEST(BrowserPagesOnScreen, AHiddenPageTakesNoClicks) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBounds(60, 50, 420, 340);
        form->HandleNeeded();
        TEmbeddedBrowser* browsers[2];
        for (TEmbeddedBrowser*& b : browsers) {
            auto* page = new TPanel(form.get());
            page->SetBounds(0, 0, 400, 300);
            page->SetParent(form.get());
            b = new TEmbeddedBrowser(form.get());
            b->SetBounds(10, 10, 360, 260);
            b->SetParent(page);
            b->LoadSettings();
            b->WebView();
        }
        // The second page lies over the first and is hidden before showing.
        browsers[1]->Parent()->SetVisible(false);
        form->Show();
        std::string clicked;
        for (int i = 0; i < 2; ++i) {
            const std::string link = "xmd:PAGE=" + std::to_string(i);
            browsers[i]->OnBeforeNavigate2 =
                [&clicked, link](TObject*, TWebDocument*, OleVariant& url, OleVariant&, OleVariant&,
                                 OleVariant&, OleVariant&, bool& cancel) {
                    if (std::any_cast<std::string>(url) != link) return;
                    clicked = link;
                    cancel = true;
                };
            const std::string html = "<html><body style=\"margin:0\"><a href=\"" + link +
                                     "\" style=\"display:block;width:300px;height:200px\">x</a>"
                                     "</body></html>";
            browsers[i]->LoadFromWideString(std::u16string(html.begin(), html.end()));
        }
        ASSERT_TRUE(processUntil(
            [&] { return browsers[0]->ReadyState() == 4 && browsers[1]->ReadyState() == 4; }));
        processFor(500);
        POINT p{40, 20};
        ClientToScreen(browsers[0]->GetIEWin("Internet Explorer_Server"), &p);
        ASSERT_EQ(run("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                      " click 1"),
                  0);
        EXPECT_TRUE(processUntil([&] { return !clicked.empty(); }));
        EXPECT_EQ(clicked, "xmd:PAGE=0");
    }
    processFor(50);
    display::Install(nullptr);
}

} // namespace
