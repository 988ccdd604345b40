// The page and document routines on the real web engine under a display:
// text, links and forms, scripts, scrolling, search and highlight, frames,
// pictures of the page, and the form filler across every browser.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "browser/EmbeddedBrowser.h"
#include "browser/WbTools.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/process.h"
#include "platform/webview/webkit.h"
#include "support/httpserver.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using guitest::processUntil;

void pumpFor(int ms) {
    processUntil([] { return false; }, ms);
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ToolsOnScreen : public guitest::OnScreenSuite<ToolsOnScreen> {
protected:
    void SetUp() override {
        OnScreenSuite::SetUp();
        if (IsSkipped()) return;
        os::SetProgramFileNameOverride(dir.file("lantrove"));
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 40, 420, 340);
        browser = newBrowser(10, 10);
        form->Show();
    }
    void TearDown() override {
        form.reset();
        os::SetProgramFileNameOverride("");
    }
    TEmbeddedBrowser* newBrowser(int x, int y) {
        auto* b = new TEmbeddedBrowser(form.get());
        b->SetBounds(x, y, 360, 260);
        b->SetParent(form.get());
        b->LoadSettings();
        return b;
    }
    // Loads the page and waits until scripts see it: the first page of a
    // process may complete while the engine still answers from the blank one.
    bool load(std::string html, TEmbeddedBrowser* b = nullptr) {
        b = b ? b : browser;
        std::string mark = std::to_string(++loads);
        html.replace(0, 5, "<html data-load=\"" + mark + "\"");
        bool complete = false;
        b->OnDocumentComplete = [&](TObject*, TWebDocument*, const std::string&) {
            complete = true;
        };
        b->LoadFromWideString(std::u16string(html.begin(), html.end()));
        bool ok = processUntil([&] {
            return complete && b->ReadyState() == 4 &&
                   eval("document.documentElement.getAttribute('data-load')", b) == mark;
        });
        b->OnDocumentComplete = nullptr;
        return ok;
    }
    std::string eval(const std::string& script, TEmbeddedBrowser* b = nullptr) {
        b = b ? b : browser;
        return b->Document() ? b->Document()->Evaluate(script).value : "";
    }

    TempDir dir;
    std::unique_ptr<TForm> form;
    TEmbeddedBrowser* browser = nullptr;
    int loads = 0;
};

TEST_F(ToolsOnScreen, TextFormsAndScripts) {
    ASSERT_TRUE(load("<html><head><title>T</title><script>"
                     "function addUp(a,b,c){return a+'|'+b+'|'+c}</script></head><body>"
                     "<p>Visible words</p><form><input name=\"q\" value=\"old\">"
                     "<textarea name=\"t\">x</textarea><input name=\"q\" value=\"two\"></form>"
                     "</body></html>"));
    EXPECT_TRUE(has(browser->DocumentSource(), "<title>T</title>"));
    EXPECT_TRUE(has(browser->DocumentSourceText(), "Visible words"));
    EXPECT_FALSE(has(browser->DocumentSourceText(), "<p>"));
    TStringList lines;
    browser->ViewPageSourceHtmlToStrings(&lines);
    EXPECT_TRUE(has(lines.Text(), "<p>Visible words</p>"));

    EXPECT_EQ(browser->GetFieldValue("q"), "old");
    EXPECT_TRUE(browser->FillForm("q", "second", 1));
    EXPECT_EQ(eval("document.getElementsByName('q')[1].value"), "second");
    EXPECT_EQ(browser->GetFieldValue("q"), "old");
    EXPECT_TRUE(browser->FillForm("t", "area"));
    EXPECT_EQ(browser->GetFieldValue("t"), "area");
    EXPECT_FALSE(browser->FillForm("none", "v"));

    EXPECT_EQ(browser->ExecScriptEx("addUp", {2, std::string("x \"y\""), true}), "2|x \"y\"|true");
    EXPECT_THROW(browser->ExecScriptEx("missing", {}), Exception);
    browser->ExecScript("document.title='set by script'", "JavaScript");
    EXPECT_EQ(eval("document.title"), "set by script");
    browser->ExecScript("throw new Error('ignored')", "JavaScript");
}

TEST_F(ToolsOnScreen, ScrollingAndTheWordUnderThePoint) {
    ASSERT_TRUE(load("<html><body style=\"margin:0\">"
                     "<p style=\"margin:0;font:20px monospace;white-space:nowrap\">"
                     "alpha beta gamma</p><div style=\"height:3000px;width:100px\"></div>"
                     "<p id=\"12\">target</p></body></html>"));
    // The view takes its final size a moment after the page completes.
    ASSERT_TRUE(processUntil([&] { return browser->VScrollBarVisible(); }));
    EXPECT_FALSE(browser->HScrollBarVisible());
    // Each monospace letter is about 12 pixels wide: "beta" lies at 72..120.
    EXPECT_EQ(browser->GetWordAtCursor(90, 10), "beta");
    EXPECT_EQ(browser->GetWordAtCursor(20, 10), "alpha");

    browser->ScrollToPosition(0, 300);
    EXPECT_EQ(browser->VScrollBarPosition(), 300);
    EXPECT_EQ(browser->HScrollBarPosition(), 0);
    browser->ScrollToBottom();
    EXPECT_GT(browser->VScrollBarPosition(), 2700);
    browser->ScrollToTop();
    EXPECT_EQ(browser->VScrollBarPosition(), 0);
    EXPECT_TRUE(browser->ScrollToID(12));
    EXPECT_GT(browser->VScrollBarPosition(), 2700);
    browser->ScrollToTop();
    EXPECT_TRUE(browser->ScrollToIDEx("12"));
    EXPECT_GT(browser->VScrollBarPosition(), 2700);
    EXPECT_FALSE(browser->ScrollToIDEx("nope"));
}

TEST_F(ToolsOnScreen, SearchAndHighlight) {
    ASSERT_TRUE(load("<html><body><p>Needle needle NEEDLE needles</p>"
                     "<iframe srcdoc=\"<p>needle in a frame</p>\"></iframe></body></html>"));
    ASSERT_TRUE(processUntil([&] { return browser->GetFrame(0) != nullptr; }));
    EXPECT_TRUE(browser->SearchString("needles"));
    EXPECT_FALSE(browser->SearchString("haystack"));
    EXPECT_TRUE(browser->SearchText("needle", 2));
    struct Case {
        const char* text;
        int flags;
        int count;
    } cases[] = {{"xyz", 0, 0}, {"Needle", 4, 1}, {"needle", 2, 4}, {"needle", 0, 5}};
    for (const Case& c : cases) {
        ASSERT_TRUE(load("<html><body><p>Needle needle NEEDLE needles</p>"
                         "<iframe srcdoc=\"<p>needle in a frame</p>\"></iframe></body></html>"));
        ASSERT_TRUE(processUntil([&] { return browser->GetFrame(0) != nullptr; }));
        EXPECT_EQ(browser->SearchAndHighlight(c.text, c.flags, "yellow", "", sivFirstMatch),
                  c.count)
            << c.text << " " << c.flags;
    }
    EXPECT_EQ(eval("document.querySelector('span').style.backgroundColor"), "yellow");
    EXPECT_EQ(eval("document.querySelector('span').textContent"), "Needle");
}

TEST_F(ToolsOnScreen, FramesAreReachedSavedAndLoaded) {
    ASSERT_TRUE(
        load("<html><body><a href=\"http://127.0.0.1:9/top\">top</a>"
             "<iframe srcdoc=\"<p>outer zero</p><iframe srcdoc='<p>inner zero</p>'></iframe>"
             "<iframe srcdoc='<p>inner one</p><a href=&quot;http://127.0.0.1:9/deep&quot;>d</a>'>"
             "</iframe>\"></iframe>"
             "<iframe id=\"f1\" srcdoc=\"<p>frame one</p><input id=i>\"></iframe></body></html>"));
    ASSERT_TRUE(processUntil([&] {
        TWebDocument* d = browser->NavigateToFrame("0,1");
        return browser->GetFrame(1) && d && has(d->bodyText(), "inner one");
    }));
    EXPECT_EQ(browser->FrameCount(), 2);
    EXPECT_EQ(browser->FrameCountFromDocument(browser->GetFrame(0)), 2);
    EXPECT_TRUE(has(browser->GetFrame(0)->bodyText(), "outer zero"));
    EXPECT_EQ(browser->GetFrame(2), nullptr);
    EXPECT_EQ(browser->NavigateToFrame("0,5"), nullptr);
    EXPECT_EQ(browser->NavigateToFrame("1")->FramePath(), std::vector<int>{1});

    TStringList links;
    browser->ViewPageLinksToStrings(&links);
    ASSERT_EQ(links.Count(), 2);
    EXPECT_EQ(links.Strings(0), "http://127.0.0.1:9/top");
    EXPECT_EQ(links.Strings(1), "http://127.0.0.1:9/deep");

    // The focus inside frame 1 makes it the active frame.
    EXPECT_EQ(browser->GetActiveFrame(), browser->Document());
    eval("document.getElementById('f1').contentDocument.getElementById('i').focus()");
    EXPECT_EQ(browser->GetActiveFrame()->FramePath(), std::vector<int>{1});

    TStringList saved;
    ASSERT_EQ(browser->SaveFrameToStrings(1, &saved), S_OK);
    EXPECT_TRUE(has(saved.Text(), "<p>frame one</p>"));
    ASSERT_EQ(browser->SaveFrameToFile(0, dir.file("frame0.html")), S_OK);
    EXPECT_TRUE(has(dir.read("frame0.html"), "outer zero"));
    EXPECT_EQ(browser->SaveFrameToStrings(7, &saved), S_FALSE);

    // A refresh brings the frame's own document back.
    eval("document.getElementById('f1').contentDocument.body.innerHTML='changed'");
    ASSERT_TRUE(has(browser->GetFrame(1)->bodyText(), "changed"));
    browser->RefreshFrame(1);
    ASSERT_TRUE(processUntil([&] {
        TWebDocument* f = browser->GetFrame(1);
        return f && has(f->bodyText(), "frame one");
    }));

    TStringList replacement;
    replacement.Add("<p>replaced</p>");
    ASSERT_EQ(browser->LoadFrameFromStrings(1, &replacement), S_OK);
    ASSERT_TRUE(processUntil([&] { return has(browser->GetFrame(1)->bodyText(), "replaced"); }));
    EXPECT_TRUE(has(browser->DocumentSourceText(), "top")); // the page around stays
    EXPECT_TRUE(has(browser->GetFrame(0)->bodyText(), "outer zero"));
}

TEST_F(ToolsOnScreen, PrintingWithoutAskingWritesTheFile) {
    ASSERT_TRUE(load("<html><body><h1>Printed page</h1><p>Some text.</p></body></html>"));
    std::string pdf = dir.file("printed.pdf");
    webview::engine_data::SetPrintToFile(pdf);
    EXPECT_TRUE(WbPrint(browser, true, true, "Header", "Footer"));
    std::string data;
    bool written = processUntil([&] {
        return os::ReadWholeFile(pdf, data, 1 << 24) && data.size() > 100 &&
               data.find("%%EOF") != std::string::npos;
    });
    webview::engine_data::SetPrintToFile("");
    ASSERT_TRUE(written) << data.size();
    EXPECT_EQ(data.rfind("%PDF", 0), 0u);
}

TEST_F(ToolsOnScreen, PicturesOfThePage) {
    ASSERT_TRUE(load("<html><body style=\"margin:0;background:#ff0000\"></body></html>"));
    auto red = [](TGraphic* g, int x, int y) {
        TBitmap b;
        b.Assign(g);
        b.SetPixelFormat(pf32bit);
        uint32_t p = reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
        int r = (p >> 16) & 0xFF, gr = (p >> 8) & 0xFF, bl = p & 0xFF;
        return r > 200 && gr < 60 && bl < 60;
    };
    // The page is painted a moment after it completes.
    TPicture bmp;
    ASSERT_TRUE(processUntil([&] {
        if (!browser->GetBmpFromBrowser(dir.file("page.bmp"))) return false;
        bmp.LoadFromFile(dir.file("page.bmp"));
        return red(bmp.Graphic(), 20, 20);
    }));
    EXPECT_EQ(bmp.Width(), browser->Width());
    EXPECT_EQ(bmp.Height(), browser->Height());

    ASSERT_TRUE(browser->GetJpegFromBrowser(dir.file("page.jpg"), 260, 360, 30, 40));
    TPicture jpg;
    jpg.LoadFromFile(dir.file("page.jpg"));
    EXPECT_EQ(jpg.Width(), 40);
    EXPECT_EQ(jpg.Height(), 30);
    EXPECT_TRUE(red(jpg.Graphic(), 20, 15));

    auto* image = new TImage(form.get());
    image->SetBounds(0, 0, 80, 60);
    image->SetParent(form.get());
    ASSERT_TRUE(browser->GetThumbnail(image));
    EXPECT_EQ(image->Picture()->Width(), 80);
    EXPECT_EQ(image->Picture()->Height(), 60);
    EXPECT_TRUE(red(image->Picture()->Graphic(), 40, 30));
}

TEST_F(ToolsOnScreen, FormsOfEveryRegisteredBrowserAreFilledAndSent) {
    auto* other = newBrowser(10, 10);
    auto* unregistered = newBrowser(10, 10);
    browser->SetRegisterAsBrowser(true);
    other->SetRegisterAsBrowser(true);
    ASSERT_TRUE(load("<html><body><form><input name=\"q\"></form></body></html>", unregistered));
    ASSERT_TRUE(load("<html><body><form onsubmit=\"document.title='sent:'+this.q.value;"
                     "return false\"><input name=\"q\" type=\"text\">"
                     "<input type=\"submit\" value=\"Search\"></form></body></html>"));
    ASSERT_TRUE(load("<html><head><title>kept</title></head><body><form onsubmit=\""
                     "document.title='wrong';return false\"><input name=\"q\">"
                     "<input type=\"password\" name=\"p\"><input type=\"submit\" value=\"Go\">"
                     "</form></body></html>",
                     other));
    browser->FillFormAndExcecute();
    ASSERT_TRUE(processUntil([&] { return eval("document.title") == "sent:FindWindow"; }));
    EXPECT_EQ(eval("document.getElementsByName('q')[0].value", other), "FindWindow");
    EXPECT_EQ(eval("document.getElementsByName('p')[0].value", other), "");
    EXPECT_EQ(eval("document.title", other), "kept");
    // A browser that is not one of the shell windows is left alone.
    EXPECT_EQ(eval("document.getElementsByName('q')[0].value", unregistered), "");
}

TEST_F(ToolsOnScreen, TheCharacterSetDecodesThePagesOriginalBytes) {
    httptest::TestHttpServer site;
    // "Привет" in windows-1251, sent as windows-1252.
    const std::string bytes = "<html><body><p id=\"t\">\xCF\xF0\xE8\xE2\xE5\xF2</p></body></html>";
    site.Server().Get("/page", [&](const httplib::Request&, httplib::Response& r) {
        r.set_content(bytes, "text/html; charset=windows-1252");
    });
    site.Start();
    browser->Navigate(site.Url("/page"));
    ASSERT_TRUE(browser->Wait(15000));
    auto text = [&] { return eval("document.getElementById('t').textContent"); };
    ASSERT_TRUE(
        processUntil([&] { return text() == "\xC3\x8F\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2"; }));
    // Without a refresh the set waits for the next one.
    EXPECT_TRUE(browser->SetCharartersSet("windows-1251", false));
    pumpFor(500);
    EXPECT_NE(text(), "Привет");
    browser->Refresh();
    EXPECT_TRUE(processUntil([&] { return text() == "Привет"; })) << text();
    EXPECT_EQ(eval("document.characterSet"), "windows-1251");
    // Back to the page's own set, and again at once.
    browser->SetCharactersSet("windows-1252");
    EXPECT_TRUE(processUntil([&] { return text() != "Привет" && !text().empty(); }));
    EXPECT_TRUE(browser->SetCharartersSet("windows-1251", true));
    EXPECT_TRUE(processUntil([&] { return text() == "Привет"; })) << text();
}

TEST_F(ToolsOnScreen, WhatThePageCannotShowIsDownloaded) {
    setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
    dir.write("user/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + dir.file("dl") + "\"\n");
    httptest::TestHttpServer site;
    site.Server().Get("/file.zip", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(std::string("PK\x03\x04zip content", 15), "application/zip");
    });
    site.Start();
    // No download manager of the owner's: the engine saves it.
    browser->GoDownloadFile(site.Url("/file.zip"));
    std::string saved;
    ASSERT_TRUE(processUntil([&] {
        return os::ReadWholeFile(dir.file("dl/file.zip"), saved, 1 << 20) && saved.size() == 15;
    }));
    EXPECT_EQ(saved.substr(4), "zip content");
    // The same name again gets a name of its own.
    browser->GoDownloadFile(site.Url("/file.zip"));
    EXPECT_TRUE(processUntil([&] { return os::FileSizeOf(dir.file("dl/file (2).zip")) == 15; }));

    // The owner's download manager takes it.
    std::vector<std::string> taken;
    browser->OnFileDownload = [&](TCustomEmbeddedBrowser*, const std::string& url, HRESULT& r) {
        taken.push_back(url);
        r = S_OK;
    };
    browser->GoDownloadFile(site.Url("/file.zip?mine"));
    ASSERT_TRUE(processUntil([&] { return taken.size() == 1; }));
    EXPECT_EQ(taken[0], site.Url("/file.zip?mine"));
    pumpFor(500);
    EXPECT_FALSE(os::IsFile(dir.file("dl/file (3).zip")));
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ToolsOnScreen, ImportedCertificatesLetTheirSitesIn) {
    setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
    httptest::TestHttpServer site(true);
    site.Server().Get("/", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("<html><body>secure page</body></html>", "text/html");
    });
    site.Start();
    std::string url = "https://127.0.0.1:" + std::to_string(site.Port()) + "/";
    int errors = 0;
    browser->OnNavigateError = [&](TObject*, TWebDocument*, const std::string&, const std::string&,
                                   const std::string&, bool&) { ++errors; };
    browser->Navigate(url);
    ASSERT_TRUE(processUntil([&] { return errors == 1; }));
    EXPECT_FALSE(has(browser->DocumentSourceText(), "secure page"));

    EXPECT_FALSE(browser->ImportCertFile(dir.write("not.cer", "no certificate"), "ROOT"));
    ASSERT_TRUE(browser->ImportCertFile(httptest::TestHttpServer::CertificateFile(), "ROOT"));
    auto stored = os::ListDirectory(dir.file("user/lantrove/Certificates/ROOT"));
    EXPECT_EQ(stored.size(), 1u);
    // (A new address: the engine holds the failed one's error page.)
    browser->Navigate(url + "?again");
    EXPECT_TRUE(processUntil([&] { return has(browser->DocumentSourceText(), "secure page"); }))
        << errors << "|" << browser->LocationURL() << "|" << browser->DocumentSourceText();
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ToolsOnScreen, ClearingHistoryForgetsPagesNotWhatSitesStore) {
    httptest::TestHttpServer site;
    site.Server().Get(R"(/(\w+))", [](const httplib::Request& q, httplib::Response& r) {
        r.set_content("<html><body>page " + q.matches[1].str() + "</body></html>", "text/html");
    });
    site.Start();
    browser->Navigate(site.Url("/first"));
    ASSERT_TRUE(browser->Wait(15000));
    browser->Navigate(site.Url("/second"));
    ASSERT_TRUE(browser->Wait(15000));
    ASSERT_TRUE(processUntil([&] { return has(browser->DocumentSourceText(), "page second"); }));
    eval("localStorage.setItem('kept','yes'); true");
    EXPECT_TRUE(browser->ClearHistory());
    browser->GoBack();
    pumpFor(1000);
    EXPECT_EQ(browser->LocationURL(), site.Url("/second"));
    EXPECT_TRUE(has(browser->DocumentSourceText(), "page second"));
    EXPECT_EQ(eval("localStorage.getItem('kept')"), "yes");
    // Later pages make history again.
    browser->Navigate(site.Url("/third"));
    ASSERT_TRUE(browser->Wait(15000));
    browser->GoBack();
    EXPECT_TRUE(browser->Wait(15000));
    EXPECT_TRUE(processUntil([&] { return browser->LocationURL() == site.Url("/second"); }));
}

TEST_F(ToolsOnScreen, DownloadsGoIntoTheFileAsTheyCome) {
    httptest::TestHttpServer site;
    const std::string half(200000, 'a');
    std::atomic<bool> sawPart{false};
    std::string folder = dir.file("target");
    os::MakeDirectories(folder);
    site.Server().Get("/big", [&](const httplib::Request&, httplib::Response& r) {
        r.set_chunked_content_provider("application/octet-stream",
                                       [&](size_t offset, httplib::DataSink& sink) {
                                           if (offset == 0) {
                                               sink.write(half.data(), half.size());
                                               return true;
                                           }
                                           // The first half is on disk before the rest comes.
                                           for (int i = 0; i < 400 && !sawPart; ++i) {
                                               for (auto& e : os::ListDirectory(folder))
                                                   if (e.size >= int64_t(half.size()))
                                                       sawPart = true;
                                               if (site.WaitWhileRunning(25)) break;
                                           }
                                           sink.write(half.data(), half.size());
                                           sink.done();
                                           return true;
                                       });
    });
    site.Start();
    bool ok = false;
    std::thread fetch([&] { ok = DownloadUrlToFile(site.Url("/big"), folder + "/big.bin"); });
    fetch.join();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(sawPart);
    EXPECT_EQ(os::FileSizeOf(folder + "/big.bin"), int64_t(2 * half.size()));
    EXPECT_EQ(os::ListDirectory(folder).size(), 1u); // no part file left
}

TEST_F(ToolsOnScreen, TheLocalesMeasurementFollowsTheCLibrarysOrder) {
    // A U.S. locale of the test's own.
    std::string locales = dir.file("locales");
    os::MakeDirectories(locales);
    bool haveUS =
        std::system(
            ("localedef -i en_US -f UTF-8 " + locales + "/en_US.UTF-8 >/dev/null 2>&1").c_str()) ==
        0;
    setenv("LOCPATH", locales.c_str(), 1);
    struct Case {
        const char *all, *measurement, *lang;
        TMeasure want;
        bool needsUS;
    } cases[] = {
        {"", "", "", mMetric, false},
        {"C", "en_US.UTF-8", "", mMetric, false}, // LC_ALL comes first
        {"", "en_US.UTF-8", "C", mUS, true},
        {"", "", "en_US.UTF-8", mUS, true},
        {"xx_XX.UTF-8", "", "", mUnknown, false}, // no such locale
    };
    for (const Case& c : cases) {
        if (c.needsUS && !haveUS) continue;
        for (auto [name, value] :
             {std::pair{"LC_ALL", c.all}, {"LC_MEASUREMENT", c.measurement}, {"LANG", c.lang}})
            if (*value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        browser->LoadSettings();
        EXPECT_EQ(browser->LocaleMeasure(), c.want)
            << c.all << "|" << c.measurement << "|" << c.lang;
    }
    for (const char* name : {"LC_ALL", "LC_MEASUREMENT", "LANG", "LOCPATH"})
        unsetenv(name);
}

TEST_F(ToolsOnScreen, TheDesktopsDefaultsNameTheBrowserAndTheClients) {
    setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    EXPECT_EQ(GetDefaultBrowserFromRegistry(), "No default browser found.");
    dir.write("user/mimeapps.list", "[Default Applications]\n"
                                    "x-scheme-handler/http=lantrove-test-browser.desktop\n"
                                    "x-scheme-handler/mailto=lantrove-test-mail.desktop\n");
    // The desktop names only programs that are there.
    std::string web = dir.write("bin/web", "#!/bin/sh\n"),
                mail = dir.write("bin/mail", "#!/bin/sh\n");
    ASSERT_EQ(chmod(web.c_str(), 0755), 0);
    ASSERT_EQ(chmod(mail.c_str(), 0755), 0);
    dir.write("data/applications/lantrove-test-browser.desktop",
              "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + web + " --new %u\n");
    dir.write("data/applications/lantrove-test-mail.desktop",
              "[Desktop Entry]\nType=Application\nName=Mail\nExec=" + mail +
                  " -compose \"to=%%u me\" %U\n");
    EXPECT_EQ(browser->GetDefaultBrowserFromRegistry(), web + " --new %u");
    std::vector<std::vector<std::string>> started;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        started.push_back(argv);
        return true;
    });
    EXPECT_TRUE(browser->OpenClient("Mail"));
    EXPECT_FALSE(browser->OpenClient("News")); // the desktop names none
    os::SetLaunchHook(nullptr);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{mail, "-compose", "to=%u me"}));
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(ToolsOnScreen, PageSetUpAsksForThePageAndPrintsNothing) {
    ASSERT_TRUE(load("<html><body><h1>Printed page</h1></body></html>"));
    // The dialogs are closed by the user while the program waits for them.
    std::atomic<bool> done{false};
    std::vector<std::string> seen;
    std::mutex lock;
    std::thread user([&] {
        while (!done) {
            for (const char* title : {"Page Setup", "Print"}) {
                std::string id;
                FILE* f = popen(("xdotool search --onlyvisible --name '^" + std::string(title) +
                                 "$' 2>/dev/null")
                                    .c_str(),
                                "r");
                char buf[64] = {};
                if (f && std::fgets(buf, sizeof buf, f)) id = buf;
                if (f) pclose(f);
                if (id.empty()) continue;
                {
                    std::lock_guard<std::mutex> g(lock);
                    seen.push_back(title);
                }
                // Keys go to the window under the pointer when no window
                // manager gives the focus.
                id.erase(id.find_last_not_of("\n") + 1);
                std::system(
                    ("xdotool mousemove --window " + id + " 20 20 key Escape >/dev/null 2>&1")
                        .c_str());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    browser->PageSetup(false);
    done = true;
    user.join();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], "Page Setup");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), std::string("Print")), 0);

    // The print options are the page set-up: one print, no dialog.
    std::string pdf = dir.file("options.pdf");
    webview::engine_data::SetPrintToFile(pdf);
    browser->PrintOptions()->Enabled = true;
    browser->PrintOptions()->HideSetup = true;
    browser->PrintOptions()->Orientation = poLandScape;
    EXPECT_TRUE(browser->PrintWithOptions());
    std::string data;
    bool written = processUntil([&] {
        return os::ReadWholeFile(pdf, data, 1 << 24) && data.find("%%EOF") != std::string::npos;
    });
    webview::engine_data::SetPrintToFile("");
    ASSERT_TRUE(written);
    // A landscape page: its box is wider than high.
    size_t box = data.find("/MediaBox");
    ASSERT_NE(box, std::string::npos);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_EQ(
        std::sscanf(data.c_str() + data.find('[', box) + 1, "%lf %lf %lf %lf", &x0, &y0, &x1, &y1),
        4);
    EXPECT_GT(x1 - x0, y1 - y0);

    // The preview is the print in the desktop's viewer.
    std::vector<std::vector<std::string>> started;
    std::mutex startedLock;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        std::lock_guard<std::mutex> g(startedLock);
        started.push_back(argv);
        return true;
    });
    EXPECT_TRUE(browser->PrintPreview());
    bool opened = processUntil([&] {
        std::lock_guard<std::mutex> g(startedLock);
        return !started.empty();
    });
    os::SetLaunchHook(nullptr);
    ASSERT_TRUE(opened);
    std::string preview = started[0].back();
    EXPECT_EQ(preview.substr(preview.size() - 4), ".pdf");
    ASSERT_TRUE(os::ReadWholeFile(preview, data, 1 << 24));
    EXPECT_EQ(data.rfind("%PDF", 0), 0u);
    os::RemoveFile(preview);
}

TEST_F(ToolsOnScreen, ProxyCacheAndDataGoToTheEngine) {
    // The settings go to a registry file of this test's own.
    setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
    httptest::TestHttpServer proxy;
    std::mutex lock;
    std::vector<std::string> hosts;
    proxy.Server().set_pre_routing_handler([&](const httplib::Request& r, httplib::Response& a) {
        std::lock_guard<std::mutex> g(lock);
        hosts.push_back(r.get_header_value("Host"));
        a.set_content("<html><body>via proxy</body></html>", "text/html");
        return httplib::Server::HandlerResponse::Handled;
    });
    proxy.Start();
    ASSERT_TRUE(WbSetProxy("ua", "127.0.0.1:" + std::to_string(proxy.Port())));
    browser->Navigate("http://lantrove-proxy-test.invalid/page");
    EXPECT_TRUE(processUntil([&] { return has(browser->DocumentSourceText(), "via proxy"); }));
    {
        std::lock_guard<std::mutex> g(lock);
        ASSERT_FALSE(hosts.empty());
        EXPECT_EQ(hosts[0], "lantrove-proxy-test.invalid");
    }
    EXPECT_TRUE(ResetProxy());
    proxy.Stop();

    EXPECT_TRUE(browser->ClearCache());
    EXPECT_TRUE(browser->ClearHistory());
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
