// The browser component through the headless view: defaults, loaders,
// navigation decisions, waits, keys and clicks, the window procedure, the
// dialog hook and the user agent.
#include "browser_test_support.h"

#include "browser/WbTools.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/registry.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

using Fixture = BrowserFixture;

std::string urlOf(const OleVariant& v) {
    return std::any_cast<std::string>(v);
}

TEST_F(Fixture, StartsWithThePublishedDefaults) {
    TEmbeddedBrowser b(nullptr);
    EXPECT_TRUE(b.Silent());
    EXPECT_TRUE(b.RegisterAsDropTarget());
    EXPECT_FALSE(b.RegisterAsBrowser());
    EXPECT_TRUE(b.EnableMessageHandler);
    EXPECT_TRUE(b.Visible());
    EXPECT_EQ(b.UserAgentMode(), uaDefault);
    EXPECT_EQ(b.DisableCtrlShortcuts, "N");
    EXPECT_EQ(b.HostFlags(), 0x44000u);
    EXPECT_EQ(b.DownloadControlValue(), 0x70u);
    EXPECT_EQ(b.ScriptErrorAction, eaContinue);
    EXPECT_EQ(b.DropHandlingType(), ddtMS);
    EXPECT_TRUE(b.CanGrabFocus);
    EXPECT_TRUE(b.DisableErrors()->EnableDDE);
    EXPECT_TRUE(b.DisableErrors()->fpExceptions());
    EXPECT_TRUE(b.DisableErrors()->ScriptErrorsSuppressed);
    EXPECT_FALSE(b.DialogBoxes()->DisableAll);
    EXPECT_TRUE(b.DialogBoxes()->ReplaceCaption);
    EXPECT_TRUE(b.DialogBoxes()->ReplaceIcon);
    EXPECT_EQ(b.VisualEffects()->TextSize, 2);
    EXPECT_FALSE(b.VisualEffects()->DisableSounds);
    EXPECT_EQ(b.ProxySettings()->Port, 80);
    EXPECT_FALSE(b.PrintOptions()->Enabled);
    ASSERT_EQ(b.PrintOptions()->HTMLHeader()->Count(), 1);
    EXPECT_EQ(b.PrintOptions()->HTMLHeader()->Strings(0), "<HTML></HTML>");
    std::string about = b.About();
    b.SetAbout("changed");
    EXPECT_EQ(b.About(), about);
    b.SetSilent(false);
    EXPECT_FALSE(b.Silent());
}

TEST(HostFlags, OptionsGiveThePlatformValues) {
    struct Case {
        TUserInterfaceOptions options;
        uint32_t flags;
    } cases[] = {
        {{}, 0},
        {{EnablesFormsAutoComplete, EnableThemes}, 0x44000},
        {{DontUse3DBorders, EnablesFormsAutoComplete, EnableThemes}, 0x44004},
        {{DontUse3DBorders, EnablesFormsAutoComplete, EnableThemes, DisableTextSelect,
          DisableHelpMenu},
         0x44007},
        {{ForceSameWindowNavigation}, 0x10000},
        {{ForceUserActivationOnActiveXJava}, 0x20000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserInterfaceFlags(c.options), c.flags);
    EXPECT_EQ(DownloadControlFlags({DownloadImages, DownloadVideos, DownloadBGSounds}), 0x70u);
    EXPECT_EQ(DownloadControlFlag(EnableUrlIfEncodingUTF8), 0x10u << 14);
    EXPECT_EQ(DownloadControlFlag(ForceOfflineMode), 0x10000000u);
    EXPECT_EQ(DownloadControlFlag(WorkOffline), 0x80000000u);
}

TEST_F(Fixture, HostFlagsReachTheView) {
    browser->SetUserInterfaceOptions({DisableTextSelect, DontUseScrollBars, DontUse3DBorders});
    browser->HostCSS = "body{color:red}";
    browser->SetDownloadOptions({DontExecuteScripts});
    browser->LoadSettings();
    const webview::Settings& s = view()->CurrentSettings();
    EXPECT_FALSE(s.textSelection);
    EXPECT_FALSE(s.scrollBars);
    EXPECT_FALSE(s.border3D);
    EXPECT_EQ(s.hostCss, "body{color:red}");
    EXPECT_FALSE(s.images);
    EXPECT_FALSE(s.scripts);
}

TEST_F(Fixture, WideStringsLoadAsTheirUtf8BytesOverABlankPage) {
    std::string text = "<html><head><title>Ärger ☃</title></head><body>"
                       "<img src=\"res/pic.png\"></body></html>";
    browser->LoadFromWideString(Utf8ToUtf16(text));
    ASSERT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
    // The component had no document: it went to a blank page first.
    ASSERT_FALSE(view()->Navigations().empty());
    EXPECT_EQ(view()->Navigations()[0].url, "about:blank");
    EXPECT_EQ(view()->Document().OuterHtml().find("Ärger ☃") != std::string::npos, true);
    EXPECT_EQ(browser->Document()->title(), "Ärger ☃");
    EXPECT_EQ(browser->Document()->charset(), "UTF-8");
    // Relative addresses resolve against the program folder.
    EXPECT_EQ(browser->LocationURL(), webview::FileUrl(dir.file("prog") + "/"));
    // An empty text still loads.
    EXPECT_EQ(browser->LoadFromWideString(u""), S_OK);
    EXPECT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
}

TEST_F(Fixture, StringListsLoadAsTheyAreOrWrapped) {
    struct Case {
        std::string text;
        bool addTags;
        bool wrapped;
    } cases[] = {
        {"<p>hi</p>\n", true, true},
        {"<HtMl><body>x</body></html>\n", true, false},
        {"<p>hi</p>\n", false, false},
    };
    for (const Case& c : cases) {
        TStringList lines;
        lines.SetText(c.text);
        browser->LoadFromStrings(&lines, c.addTags);
        ASSERT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
        std::string html = view()->Document().OuterHtml();
        EXPECT_EQ(html.find("bgcolor=\"#ffffff\"") != std::string::npos, c.wrapped) << c.text;
    }
}

TEST_F(Fixture, HtmlCodeShowsMarkupOrGoesToTheAddress) {
    struct Case {
        std::string text;
        std::string navigatedTo; // empty: loaded as markup
    } cases[] = {
        {"About:blank\n", "About:blank"},
        {"<b>bold</b>\n", ""},
        {"http://127.0.0.1:9/x\nsecond line\n", ""},
        {"file:///nowhere/page.html\n", "file:///nowhere/page.html"},
    };
    for (const Case& c : cases) {
        size_t before = view()->Navigations().size();
        browser->HTMLCode()->SetText(c.text);
        pumpFor(30);
        if (c.navigatedTo.empty()) {
            ASSERT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
            EXPECT_NE(browser->LocationURL().find("file://"), std::string::npos) << c.text;
        } else {
            ASSERT_GT(view()->Navigations().size(), before) << c.text;
            EXPECT_EQ(view()->Navigations().back().url, c.navigatedTo);
        }
    }
}

TEST_F(Fixture, GoTakesFoldersAndIgnoresBlanks) {
    EXPECT_TRUE(browser->Go("   "));
    pumpFor(20);
    EXPECT_TRUE(view()->Navigations().empty());
    std::string folder = dir.file("some folder");
    dir.write("some folder/a.txt", "a");
    EXPECT_TRUE(browser->Go(folder));
    ASSERT_TRUE(pumpUntil([&] { return !view()->Navigations().empty(); }));
    EXPECT_EQ(view()->Navigations()[0].url, "file:///" + folder);
    EXPECT_THROW(browser->Navigate(""), EOleError);
}

TEST_F(Fixture, PrivateLinksArriveBeforeNavigationAndAreCancelled) {
    ASSERT_TRUE(show("<html><body><a href=\"xmd:ACTION=Download&amp;ID=5&amp;PID=2\">get</a>"
                     "<a href=\"other.html\">other</a></body></html>"));
    std::vector<std::string> seen;
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool& cancel) {
        seen.push_back(urlOf(url));
        cancel = urlOf(url).rfind("xmd:", 0) == 0;
    };
    size_t before = view()->Navigations().size();
    ASSERT_TRUE(view()->ClickLink(0));
    ASSERT_TRUE(pumpUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0], "xmd:ACTION=Download&ID=5&PID=2");
    pumpFor(20);
    EXPECT_EQ(view()->Navigations().size(), before);
    // Other links go on, relative to the page.
    ASSERT_TRUE(view()->ClickLink(1));
    ASSERT_TRUE(pumpUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1], webview::FileUrl(dir.file("prog") + "/") + "other.html");
    EXPECT_EQ(view()->Navigations().size(), before + 1);
}

TEST_F(Fixture, NewWindowsAskTheHost) {
    ASSERT_TRUE(show("<html><body><a href=\"http://127.0.0.1:9/p\" target=\"_blank\">p</a>"
                     "</body></html>"));
    int asked = 0;
    bool refuse = true;
    browser->OnNewWindow2 = [&](TObject*, TWebDocument*&, bool& cancel) {
        ++asked;
        cancel = refuse;
    };
    size_t before = view()->Navigations().size();
    view()->ClickLink(0);
    ASSERT_TRUE(pumpUntil([&] { return asked == 1; }));
    pumpFor(20);
    EXPECT_EQ(view()->Navigations().size(), before);
    // Allowed, it opens in this view.
    refuse = false;
    view()->ClickLink(0);
    ASSERT_TRUE(pumpUntil([&] { return view()->Navigations().size() == before + 1; }));
    // The new-window manager answers first when the host offers it.
    int evaluated = 0;
    browser->OnEvaluateNewWindow = [&](TCustomEmbeddedBrowser*, const std::string&,
                                       const std::string&, const std::string&, const std::string&,
                                       bool, uint32_t, uint32_t, HRESULT& r) {
        ++evaluated;
        r = S_FALSE;
    };
    ASSERT_TRUE(show("<html><body><a href=\"http://127.0.0.1:9/q\" target=\"_blank\">q</a>"
                     "</body></html>"));
    view()->ClickLink(0);
    ASSERT_TRUE(pumpUntil([&] { return evaluated == 1; }));
    pumpFor(20);
    EXPECT_EQ(asked, 2);
}

TEST_F(Fixture, ScriptsAnswerThroughTheDocument) {
    EXPECT_EQ(browser->Document(), nullptr);
    ASSERT_TRUE(show("<html><head><title>T</title><script>function ShowIcon(n){}</script>"
                     "</head><body><p id=\"x\">text</p></body></html>"));
    TWebDocument* doc = browser->GetDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Evaluate("document.title").value, "T");
    EXPECT_EQ(doc->Evaluate("document.getElementById('x').innerText").value, "text");
    EXPECT_TRUE(doc->execScript("ShowIcon(3);", "JScript"));
    EXPECT_FALSE(doc->execScript("Missing(3);", "JScript"));
    auto thrown = doc->Evaluate("throw 'bad'");
    EXPECT_FALSE(thrown.ok);
    EXPECT_FALSE(doc->Evaluate("while(true){}").ok);
}

TEST_F(Fixture, WaitsEndOnCompletionTimeOutCancelAndDestruction) {
    view()->HoldCompletion(true);
    browser->Navigate("http://127.0.0.1:9/never");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(browser->Wait(500));
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(ms, 500);
    EXPECT_LT(ms, 3000);

    // Without a limit the wait still ends, and says so.
    uint32_t saved = TEmbeddedBrowser::UnboundedWaitLimitMs();
    TEmbeddedBrowser::UnboundedWaitLimitMs() = 200;
    EXPECT_FALSE(browser->Wait(0));
    TEmbeddedBrowser::UnboundedWaitLimitMs() = saved;

    int rounds = 0;
    browser->OnBusyWait = [&](TEmbeddedBrowser*, uint32_t, uint32_t&, bool& cancel) {
        cancel = ++rounds == 3;
    };
    EXPECT_FALSE(browser->Wait(0));
    EXPECT_EQ(rounds, 3);
}

TEST_F(Fixture, WaitOnAFreedBrowserReturns) {
    view()->HoldCompletion(true);
    browser->Navigate("http://127.0.0.1:9/never");
    TEmbeddedBrowser* b = browser;
    // A message handled inside the wait frees the browser.
    UINT freeMe = RegisterWindowMessage("test free browser");
    TWndMethod old = form->WindowProc;
    form->WindowProc = [&, old](TMessage& m) {
        if (m.Msg == freeMe) {
            delete b;
            browser = nullptr;
            return;
        }
        old(m);
    };
    PostMessage(form->Handle(), freeMe, 0, 0);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(b->Wait(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    form->WindowProc = old;
}

TEST_F(Fixture, MaskedCtrlShortcutsNeverReachThePage) {
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    auto* keys = display::CurrentHeadless();
    ASSERT_NE(keys, nullptr);
    std::string masked;
    browser->OnMaskedCtrlChar = [&](TCustomEmbeddedBrowser*, char c) { masked += c; };
    struct Case {
        bool ctrl, shift, alt;
        int vk;
        bool consumed;
    } cases[] = {
        {true, false, false, 'N', true},  {true, true, false, 'N', false},
        {false, false, true, 'N', false}, {false, false, false, 'N', false},
        {true, false, false, 'P', false},
    };
    for (const Case& c : cases) {
        keys->SetKeyDown(VK_CONTROL, c.ctrl);
        keys->SetKeyDown(VK_SHIFT, c.shift);
        keys->SetKeyDown(VK_MENU, c.alt);
        webview::KeyInput k;
        k.virtualKey = c.vk;
        k.control = c.ctrl;
        k.shift = c.shift;
        k.alt = c.alt;
        EXPECT_EQ(view()->PressKey(k), c.consumed) << c.vk << c.ctrl << c.shift << c.alt;
    }
    keys->SetKeyDown(VK_CONTROL, false);
    keys->SetKeyDown(VK_SHIFT, false);
    keys->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(masked, "N");
}

TEST_F(Fixture, KeyHandlersAndEnterDecideWhatThePageSees) {
    ASSERT_TRUE(show("<html><body><form><input name=\"q\"></form></body></html>"));
    std::vector<uint16_t> downs;
    browser->OnKeyDown = [&](TObject*, uint16_t& key, uint16_t, TShiftState) {
        downs.push_back(key);
        if (key == 'X') key = 0;
    };
    webview::KeyInput k;
    k.virtualKey = 'X';
    EXPECT_TRUE(view()->PressKey(k));
    k.virtualKey = VK_RETURN;
    EXPECT_FALSE(view()->PressKey(k)); // the page's forms get Enter
    k.virtualKey = 'A';
    EXPECT_FALSE(view()->PressKey(k));
    EXPECT_EQ(downs, (std::vector<uint16_t>{'X', VK_RETURN, 'A'}));
    // A message handler that takes the key keeps it from the page too.
    browser->OnMessage = [](TObject*, TMessage& m, bool& handled) {
        if (m.WParam == 'B') handled = true;
    };
    k.virtualKey = 'B';
    EXPECT_TRUE(view()->PressKey(k));
}

TEST_F(Fixture, ClicksReportButtonPositionAndTheirOwnShiftState) {
    ASSERT_TRUE(show("<html><body><a href=\"xmd:x\">x</a></body></html>"));
    struct Seen {
        TMouseButton button;
        TShiftState shift;
        int x, y;
    };
    std::vector<Seen> seen;
    browser->OnClick = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        seen.push_back({b, s, x, y});
    };
    browser->OnBeforeNavigate2 = [](TObject*, TWebDocument*, OleVariant&, OleVariant&, OleVariant&,
                                    OleVariant&, OleVariant&, bool& cancel) { cancel = true; };
    view()->RightClick(120, 45, MK_SHIFT);
    view()->ClickLink(0, 7, 9, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].button, mbRight);
    EXPECT_EQ(seen[0].x, 120);
    EXPECT_EQ(seen[0].y, 45);
    EXPECT_TRUE(seen[0].shift & ssShift);
    EXPECT_EQ(seen[1].button, mbLeft);
    EXPECT_FALSE(seen[1].shift & ssShift);
    EXPECT_EQ(seen[1].x, 7);
}

TEST_F(Fixture, ContextMenusFollowTheDisabledKinds) {
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    for (int kind = 0; kind <= 12; ++kind)
        EXPECT_EQ(browser->ShowContextMenu(uint32_t(kind), nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_TRUE(view()->OpenContextMenu(5, 5, webview::kContextAnchor));
    browser->DisabledPopupMenus = {rcmAnchor};
    EXPECT_EQ(browser->ShowContextMenu(5, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(browser->ShowContextMenu(0, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_FALSE(view()->OpenContextMenu(5, 5, webview::kContextAnchor));
    browser->DisabledPopupMenus = {rcmAll};
    EXPECT_EQ(browser->ShowContextMenu(12, nullptr, nullptr, nullptr), S_OK);
    EXPECT_FALSE(view()->OpenContextMenu(5, 5));
    // A handler decides first.
    browser->OnShowContextMenu = [](TCustomEmbeddedBrowser*, uint32_t, const POINT*, void*,
                                    TWebDocument*, HRESULT& r) { r = S_FALSE; };
    EXPECT_EQ(browser->ShowContextMenu(3, nullptr, nullptr, nullptr), S_FALSE);
}

TEST_F(Fixture, RefreshCommandsAskTheHost) {
    OleVariant in, out;
    EXPECT_EQ(browser->Exec(&wbguid::CGID_DocHostCommands, 2300, 0, in, out),
              OLECMDERR_E_NOTSUPPORTED);
    bool cancel = false;
    int asked = 0;
    browser->OnRefresh = [&](TCustomEmbeddedBrowser*, int, bool& c) {
        ++asked;
        c = cancel;
    };
    EXPECT_EQ(browser->Exec(&wbguid::CGID_DocHostCommands, 2300, 0, in, out),
              OLECMDERR_E_NOTSUPPORTED);
    cancel = true;
    EXPECT_EQ(browser->Exec(&wbguid::CGID_DocHostCommands, 6041, 0, in, out), S_OK);
    // F5 in the page goes through the same question: refused, nothing loads.
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    size_t before = view()->Navigations().size();
    webview::KeyInput f5;
    f5.virtualKey = 0x74;
    EXPECT_TRUE(view()->PressKey(f5));
    pumpFor(20);
    EXPECT_EQ(view()->Navigations().size(), before);
    EXPECT_EQ(asked, 3);
}

TEST_F(Fixture, PreRefreshIsRaisedOncePer150Milliseconds) {
    os::ManualClock clock(100000);
    os::SetClock(&clock);
    TCustomEmbeddedBrowser::LastPreRefreshTick() = 0;
    int raised = 0;
    browser->OnPreRefresh = [&](TObject*) { ++raised; };
    OleVariant in, out;
    browser->Exec(&wbguid::CGID_DocHostCommandHandler, 39, 0, in, out);
    clock.Advance(100);
    browser->Exec(&wbguid::CGID_DocHostCommandHandler, 39, 0, in, out);
    clock.Advance(100);
    browser->Exec(&wbguid::CGID_DocHostCommandHandler, 39, 0, in, out);
    os::SetClock(nullptr);
    EXPECT_EQ(raised, 2);
}

TEST_F(Fixture, ScriptErrorsFollowTheAction) {
    OleVariant in = webview::ScriptError{3, 7, "boom", "file:///p.html"}, out;
    browser->ScriptErrorAction = eaAskUser;
    EXPECT_EQ(browser->Exec(&wbguid::CGID_DocHostCommands, 40, 0, in, out), S_FALSE);
    EXPECT_FALSE(out.has_value());
    browser->ScriptErrorAction = eaCancel;
    EXPECT_EQ(browser->Exec(&wbguid::CGID_DocHostCommands, 40, 0, in, out), S_OK);
    EXPECT_FALSE(std::any_cast<bool>(out));
    // The handler sees the error and decides the following ones.
    std::string line, message;
    browser->OnScriptError = [&](TObject*, const std::string& l, const std::string&,
                                 const std::string&, const std::string& m, const std::string&,
                                 TScriptErrorAction& action) {
        line = l;
        message = m;
        action = eaContinue;
    };
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    EXPECT_FALSE(view()->RaiseScriptError(webview::ScriptError{3, 7, "boom", "u"}));
    EXPECT_EQ(line, "3");
    EXPECT_EQ(message, "boom");
    EXPECT_TRUE(view()->RaiseScriptError(webview::ScriptError{4, 1, "again", "u"}));
}

TEST_F(Fixture, ServicesAreOfferedOnlyWhenBound) {
    void* obj = nullptr;
    EXPECT_EQ(browser->QueryService(wbguid::INewWindowManager, wbguid::INewWindowManager, obj),
              E_NOINTERFACE);
    EXPECT_EQ(browser->QueryService(wbguid::IProtectFocus, wbguid::IProtectFocus, obj), S_OK);
    EXPECT_NE(obj, nullptr);
    EXPECT_EQ(browser->QueryService(wbguid::IDownloadManager, wbguid::IDownloadManager, obj),
              E_NOINTERFACE);
    browser->OnFileDownload = [](TCustomEmbeddedBrowser*, const std::string&, HRESULT& r) {
        r = S_OK;
    };
    EXPECT_EQ(browser->QueryService(wbguid::IDownloadManager, wbguid::IDownloadManager, obj), S_OK);
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    EXPECT_TRUE(view()->RequestDownload("http://127.0.0.1:9/file.zip"));
    bool allow = false;
    browser->CanGrabFocus = false;
    browser->AllowFocusChange(allow);
    EXPECT_FALSE(allow);
}

TEST(DropEffect, KeysAndAllowedEffectsGiveOneEffect) {
    struct Case {
        int keys, allowed, effect;
    } cases[] = {{4, 3, 2}, {0, 4, 4}, {12, 5, 4}, {0, 3, 1}, {8, 0, 0}, {4, 1, 1}};
    for (const Case& c : cases) {
        int e = c.allowed;
        TCustomEmbeddedBrowser::DropEffect(c.keys, e);
        EXPECT_EQ(e, c.effect) << c.keys << " " << c.allowed;
    }
    EXPECT_EQ(TCustomEmbeddedBrowser::dwEffectToStr(0x40101),
              "The drag-and-drop operation was canceled.");
    EXPECT_EQ(TCustomEmbeddedBrowser::dwEffectToStr(99), "Unknown.");
}

TEST_F(Fixture, ZoomStaysInItsRangeAndReportsChanges) {
    EXPECT_EQ(browser->InvokeCommand(nullptr, 19), E_UNEXPECTED);
    EXPECT_FALSE(browser->Copy());
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    EXPECT_EQ(browser->ZoomRangeLow(), 0);
    EXPECT_EQ(browser->ZoomRangeHigh(), 4);
    browser->SetZoom(9);
    EXPECT_EQ(browser->Zoom(), 4);
    browser->SetZoom(-1);
    EXPECT_EQ(browser->Zoom(), 0);
    int reported = 0;
    browser->OnZoomPercentChange = [&](TCustomEmbeddedBrowser*, uint32_t) -> HRESULT {
        ++reported;
        return S_OK;
    };
    browser->SetZoomPercent(150);
    browser->SetZoomPercent(150);
    EXPECT_NEAR(view()->Zoom(), 1.5, 1e-9);
    EXPECT_GE(reported, 1);
    int afterFirst = reported;
    browser->SetZoomPercent(150);
    EXPECT_EQ(reported, afterFirst);
}

TEST_F(Fixture, DocumentHelpers) {
    EXPECT_EQ(browser->DocDesignMode(), ddmUnknown);
    EXPECT_FALSE(browser->ScrollToElement("a"));
    ASSERT_TRUE(show("<html><body><p id=\"a\">x</p></body></html>"));
    browser->SetDocDesignMode(ddmOn);
    EXPECT_EQ(browser->DocDesignMode(), ddmOn);
    browser->Document()->setDesignMode("inherit");
    EXPECT_EQ(browser->DocDesignMode(), ddmUnknown);
    EXPECT_TRUE(browser->ScrollToElement("a"));
    EXPECT_FALSE(browser->ScrollToElement(""));
}

TEST_F(Fixture, ANewParentKeepsThePage) {
    ASSERT_TRUE(show("<html><head><title>Kept</title></head><body>x</body></html>"));
    size_t navigations = view()->Navigations().size();
    auto* panel = new TPanel(form.get());
    panel->SetBounds(0, 0, 200, 100);
    panel->SetParent(form.get());
    browser->SetParent(panel);
    ASSERT_TRUE(browser->HandleAllocated());
    EXPECT_EQ(GetParent(browser->Handle()), panel->Handle());
    ASSERT_NE(browser->Document(), nullptr);
    EXPECT_EQ(browser->Document()->title(), "Kept");
    EXPECT_EQ(view()->Navigations().size(), navigations);
    EXPECT_EQ(view()->Host(), browser->GetIEWin("Internet Explorer_Server"));
    EXPECT_EQ(browser->HWND_(), browser->GetIEWin("Internet Explorer_Server"));
}

TEST_F(Fixture, SearchGoesThroughThePageAndReportsTheEnd) {
    ASSERT_TRUE(show("<html><body>one needle here</body></html>"));
    EXPECT_EQ(browser->SearchNextText("needle", sdDown, true), TSearchResults{srFound});
    EXPECT_EQ(browser->SearchNextText("needle", sdDown, true),
              (TSearchResults{srNotFound, srEndOf}));
    // Another word starts again; the same word in other case does not.
    EXPECT_EQ(browser->SearchNextText("one", sdDown, true), TSearchResults{srFound});
    EXPECT_EQ(browser->SearchNextText("ONE", sdDown, true), (TSearchResults{srNotFound, srEndOf}));
    EXPECT_EQ(browser->SearchNextText("", sdDown, true), TSearchResults{srNotFound});
}

TEST_F(Fixture, RegistryUserAgentIsWrittenAndUndone) {
    const std::string post =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post "
        "Platform";
    const std::string base = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
    browser->SetUserAgent("Lantrove");
    browser->SetUserAgentMode(uaRegistry);
    EXPECT_EQ(os::RegValueNames(os::RegRoot::CurrentUser, post),
              std::vector<std::string>{base + "(Lantrove)"});
    browser->SetUserAgentMode(uaDefault);
    EXPECT_EQ(os::RegValueNames(os::RegRoot::CurrentUser, post), std::vector<std::string>{base});
    // The internal mode gives the text to the view.
    browser->SetUserAgentMode(uaInternal);
    EXPECT_EQ(view()->CurrentSettings().userAgent, "Lantrove");
    OleVariant ua;
    EXPECT_EQ(browser->Invoke(DISPID_AMBIENT_USERAGENT, DISPATCH_PROPERTYGET, {}, &ua), S_OK);
    EXPECT_EQ(std::any_cast<std::string>(ua), "Lantrove\r\n");
    browser->SetUserAgentMode(uaDefault);
    EXPECT_EQ(view()->CurrentSettings().userAgent, "");
}

// A window of a dialog class that the owner form loses the activation to.
HWND makeDialog(const char* cls, const std::string& caption, DWORD exStyle = 0) {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, cls, &wc)) {
        wc = WNDCLASS{};
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = cls;
        RegisterClass(wc);
    }
    return CreateWindowEx(exStyle, cls, caption.c_str(), WS_POPUP, 0, 0, 100, 50, 0, 0, nullptr,
                          nullptr);
}

TEST_F(Fixture, DialogHookRewritesClosesAndIsOwnedByItsBrowser) {
    EXPECT_TRUE(browser->HooksOwner());
    TEmbeddedBrowser* second = newBrowser(form.get());
    EXPECT_FALSE(second->HooksOwner());
    std::vector<std::string> seen;
    browser->OnShowDialog = [&](TObject*, HWND, int, const std::string& caption, std::string&,
                                bool&) { seen.push_back(caption); };
    auto activateAway = [&](HWND d) {
        SetActiveWindow(form->Handle());
        pumpFor(10);
        SetActiveWindow(d);
        pumpFor(30);
    };
    struct Case {
        std::string caption;
        std::string after; // "" with gone: closed or destroyed
        bool gone;
    } cases[] = {
        {"Microsoft Internet Explorer", "", false},
        {"Internet Explorer - page", " - page", false},
        {"Script Error", "", true},
        {"An Error", "", true},
    };
    for (const Case& c : cases) {
        HWND d = makeDialog("#32770", c.caption);
        activateAway(d);
        if (c.gone) {
            EXPECT_FALSE(IsWindow(d) && IsWindowVisible(d) && GetWindowText(d) == c.caption)
                << c.caption;
        } else {
            EXPECT_EQ(GetWindowText(d), c.after) << c.caption;
        }
        if (IsWindow(d)) DestroyWindow(d);
    }
    EXPECT_EQ(seen.size(), 4u);
    // Another class is not a dialog of the page.
    HWND other = makeDialog("PlainPopup", "Microsoft Internet Explorer");
    activateAway(other);
    EXPECT_EQ(GetWindowText(other), "Microsoft Internet Explorer");
    DestroyWindow(other);

    // The second browser going away leaves the first one's hook in place.
    delete second;
    EXPECT_TRUE(browser->HooksOwner());
    // The first one going away takes its hook with it: the form still works.
    delete browser;
    browser = nullptr;
    HWND d = makeDialog("#32770", "Microsoft Internet Explorer");
    activateAway(d);
    EXPECT_EQ(GetWindowText(d), "Microsoft Internet Explorer");
    DestroyWindow(d);
    // A browser made later hooks the form again.
    TEmbeddedBrowser* later = newBrowser(form.get());
    EXPECT_TRUE(later->HooksOwner());
}

TEST_F(Fixture, VisibleRaisesItsEventAndSkipsNoChanges) {
    std::vector<bool> seen;
    browser->OnVisible = [&](TObject*, bool v) { seen.push_back(v); };
    browser->SetVisible(false);
    EXPECT_FALSE(browser->Visible());
    EXPECT_FALSE(IsWindowVisible(browser->Handle()));
    browser->SetVisible(true);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

} // namespace
