// The tool routines: address text, versions, the settings kept in our
// registry, zones, favourites, and the page routines on the headless view.
#include "browser_test_support.h"

#include <algorithm>
#include <mutex>
#include <sys/stat.h>

#include "browser/SendMail_For_Wb.h"
#include "browser/WbTools.h"
#include "classlib/extctrls.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/netinfo.h"
#include "platform/os/process.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "platform/webview/webkit.h"
#include "platform/win/window.h"
#include "support/httpserver.h"

namespace {

using os::RegRoot;

TEST(AddressText, EncodesDecodesAndRecognisesProtocols) {
    EXPECT_EQ(EncodeUrl("a b", true), "a+b");
    EXPECT_EQ(EncodeUrl("a b", false), "a%20b");
    EXPECT_EQ(EncodeUrl("\xC3\xA4", true), "%E4");
    EXPECT_EQ(EncodeUrl("x-y.z_1/?", false), "x-y.z_1%2F%3F");
    EXPECT_EQ(EncodeUrl("\xE2\x98\x83", false), "%2603");
    EXPECT_EQ(DecodeUrl("a+b%21"), "a b!");
    EXPECT_EQ(DecodeUrl("%E4"), "\xC3\xA4");
    for (const char* bad : {"%4", "%", "ab%zz", "%G1x"})
        EXPECT_THROW(DecodeUrl(bad), EConvertError) << bad;
    try {
        DecodeUrl("%4");
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid HEX digit in URL");
    }
    EXPECT_FALSE(IsValidProtocol("xmd:Play"));
    EXPECT_TRUE(IsValidProtocol("HTTP://x"));
    EXPECT_TRUE(IsValidProtocol("see mailto:someone"));
}

TEST(Versions, MajorVersionFromTheText) {
    EXPECT_EQ(MajorVersionOf("no dots"), -1);
    EXPECT_EQ(MajorVersionOf("6.0.2900.5512"), 6);
    EXPECT_EQ(MajorVersionOf("11.00.9600.16428"), 11);
    EXPECT_EQ(MajorVersionOf("x.1"), -1);
    EXPECT_EQ(MajorVersionOf(""), -1);
    EXPECT_GE(ReadIEMajorVersion(), 2); // the engine's own
    std::string version = ReadIEVersion();
    EXPECT_EQ(version, webview::engine_data::EngineVersion());
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
    EXPECT_EQ(MajorVersionOf(version), ReadIEMajorVersion());
    EXPECT_TRUE(CheckXPSP2OrLater());
}

using Settings = BrowserFixture;

TEST_F(Settings, NavigationSoundKeysMoveAndComeBack) {
    const std::string base = "AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\";
    SwitchNavigationSound(true); // nothing there: nothing changes
    EXPECT_FALSE(os::RegKeyExists(RegRoot::CurrentUser, base + "Old_Current"));
    SwitchNavigationSound(false);
    EXPECT_FALSE(os::RegKeyExists(RegRoot::CurrentUser, base + ".Current"));
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, base + ".Current", "", "click.wav"));
    SwitchNavigationSound(true);
    EXPECT_FALSE(os::RegKeyExists(RegRoot::CurrentUser, base + ".Current"));
    std::string v;
    EXPECT_TRUE(os::RegReadValue(RegRoot::CurrentUser, base + "Old_Current", "", v));
    EXPECT_EQ(v, "click.wav");
    SwitchNavigationSound(false);
    EXPECT_TRUE(os::RegReadValue(RegRoot::CurrentUser, base + ".Current", "", v));
    EXPECT_FALSE(os::RegKeyExists(RegRoot::CurrentUser, base + "Old_Current"));
}

TEST_F(Settings, ProxyAndConnectionStateRoundTrip) {
    const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    std::string v;
    // A host that does not resolve changes nothing.
    EXPECT_FALSE(WbSetProxy("ua", "no-such-host.invalid", "user", 8080, "pw"));
    EXPECT_FALSE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyServer", v));
    EXPECT_TRUE(WbSetProxy("ua", "127.0.0.1", "user", 8080, "pw"));
    EXPECT_TRUE(WbSetProxy("ua", "proxy.local:3128"));
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyServer", v));
    EXPECT_EQ(v, "proxy.local:3128");
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyOverride", v));
    EXPECT_EQ(v, "<local>");
    EXPECT_TRUE(WbSetProxyFromPAC("ua", "http://127.0.0.1/proxy.pac"));
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "AutoConfigURL", v));
    EXPECT_EQ(v, "http://127.0.0.1/proxy.pac");
    EXPECT_TRUE(ResetProxy());
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyServer", v));
    EXPECT_EQ(v, "");
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyEnable", v));
    EXPECT_EQ(v, "0");
    // The component's settings and the unit flag.
    browser->ProxySettings()->Address = "proxy.local";
    browser->ProxySettings()->Port = 8081;
    ProxyChangedFlag() = false;
    EXPECT_TRUE(browser->RefreshProxy());
    EXPECT_TRUE(ProxyChangedFlag());
    ASSERT_TRUE(os::RegReadValue(RegRoot::CurrentUser, key, "ProxyServer", v));
    EXPECT_EQ(v, "proxy.local:8081");
    ProxyChangedFlag() = false;

    // Online needs a network connection and no offline record.
    bool connected = true;
    os::SetNetworkInterfacesHook([&] {
        std::vector<os::NetInterface> list{{"lo", true, true, "127.0.0.1"}};
        if (connected) list.push_back({"eth0", true, false, "192.168.7.2"});
        return list;
    });
    EXPECT_FALSE(IsGlobalOffline());
    EXPECT_TRUE(CheckOnlineStatus());
    EXPECT_TRUE(browser->CheckOnlineStatus());
    WorkOnlineMode(); // paired with the states as the routine always did
    EXPECT_TRUE(IsGlobalOffline());
    EXPECT_FALSE(CheckOnlineStatus());
    WorkOfflineMode();
    EXPECT_FALSE(IsGlobalOffline());
    EXPECT_TRUE(CheckOnlineStatus());
    connected = false;
    EXPECT_FALSE(CheckOnlineStatus());
    os::SetNetworkInterfacesHook(nullptr);
}

TEST_F(Settings, RegistryBackedSettings) {
    std::string page;
    EXPECT_FALSE(GetLastVisitedPage(page));
    ASSERT_TRUE(SaveLastVisitedPage("nodots"));
    EXPECT_FALSE(GetLastVisitedPage(page));
    EXPECT_EQ(page, "nodots");
    ASSERT_TRUE(SaveLastVisitedPage("http://127.0.0.1/x.html"));
    EXPECT_TRUE(GetLastVisitedPage(page));
    EXPECT_EQ(page, "http://127.0.0.1/x.html");

    SetNewHomePage("http://home.local/");
    EXPECT_EQ(browser->GetIEHomePage(), "http://home.local/");
    EXPECT_EQ(GetDefaultBrowserFromRegistry(), "No default browser found.");

    ASSERT_TRUE(os::RegWriteValue(
        RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TypedURLs", "url1", "a"));
    ClearTypedUrls();
    EXPECT_FALSE(os::RegKeyExists(RegRoot::CurrentUser,
                                  "Software\\Microsoft\\Internet Explorer\\TypedURLs"));

    form->SetBounds(33, 44, 321, 234);
    SaveApplicationFormSize(form.get());
    form->SetBounds(0, 0, 100, 100);
    RestoreApplicationFormSize(form.get());
    EXPECT_EQ(form->Left(), 33);
    EXPECT_EQ(form->Top(), 44);
    EXPECT_EQ(form->Width(), 321);
    EXPECT_EQ(form->Height(), 234);
}

TEST_F(Settings, ZonesAndFavourites) {
    std::vector<std::string> messages;
    auto saved = WbMessageBox;
    WbMessageBox = [&](const std::string&, const std::string& text) { messages.push_back(text); };
    EXPECT_FALSE(AddToTrustedSiteList("http://plain.example.org"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("https://"), std::string::npos);
    WbMessageBox = saved;

    // Domain and subdomain as the zone list keeps them.
    const std::string domains =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\";
    ASSERT_TRUE(
        os::RegWriteValue(RegRoot::CurrentUser, domains + "example.org\\www", "https", "2"));
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, domains + "bad.net\\ads", "http", "4"));
    EXPECT_TRUE(CheckIfInTrustedList("www.example.org", true));
    EXPECT_FALSE(CheckIfInTrustedList("www.example.org", false));
    EXPECT_TRUE(CheckIfInRestricredList("ads.bad.net", false));
    EXPECT_FALSE(CheckIfInRestricredList("www.example.org", true));

    EXPECT_TRUE(AddToRestrictedSiteList("http://www.spam.org"));
    std::string v;
    EXPECT_TRUE(os::RegReadValue(RegRoot::CurrentUser, domains + "spam.org", "*", v));
    EXPECT_EQ(v, "4");

    EXPECT_FALSE(AddToFavorites(" ", "title"));
    ASSERT_TRUE(AddToFavorites("http://127.0.0.1/fav", "My page"));
    std::string folder = GetFavoritesPath();
    if (folder.empty()) folder = dir.file("user") + "/lantrove/Favorites";
    EXPECT_EQ(URLFromFavorites(folder + "/My page.url"), "http://127.0.0.1/fav");
    EXPECT_EQ(URLFromFavorites(dir.file("missing.url")), "");
}

TEST_F(Settings, HostAddressAndSecureStatus) {
    std::string host, ip, err;
    if (GetIPAndHostName(host, ip, err)) {
        EXPECT_FALSE(host.empty());
        EXPECT_NE(ip.find('.'), std::string::npos);
    } else {
        EXPECT_FALSE(err.empty());
    }
    std::string name, description;
    EXPECT_TRUE(GetSSLStatus(browser, "http://x/", name, description));
    EXPECT_EQ(name, "None");
    EXPECT_EQ(description, "The page is not secured.");
    EXPECT_FALSE(GetSSLStatus(browser, "https://x/", name, description));
    EXPECT_FALSE(ImportCertFile(dir.file("none.cer"), "ROOT"));
}

using PageRoutines = BrowserFixture;

TEST_F(PageRoutines, NothingWithoutADocument) {
    TStringList links;
    links.Add("old");
    ViewPageLinksToStrings(browser, &links);
    EXPECT_EQ(links.Count(), 0);
    EXPECT_EQ(DocumentSource(browser), "");
    EXPECT_EQ(VScrollBarPosition(browser), -1);
    EXPECT_FALSE(FillForm(browser, "q", "x", -1));
    EXPECT_EQ(SearchAndHighlight(browser, "x", 0, "", "", 0), 0);
    EXPECT_EQ(FrameCount(browser), 0);
}

TEST_F(PageRoutines, SourceLinksFormsAndSearch) {
    ASSERT_TRUE(show("<html><head><title>P</title></head><body>"
                     "<a href=\"http://127.0.0.1:9/only\">only</a>"
                     "<form><input name=\"q\" value=\"old\"><textarea name=\"t\">x</textarea>"
                     "<input name=\"q\" value=\"two\"></form>"
                     "<p id=\"12\">Needle needle NEEDLE</p><iframe src=\"about:blank\"></iframe>"
                     "</body></html>"));
    TStringList links;
    ViewPageLinksToStrings(browser, &links);
    ASSERT_EQ(links.Count(), 1);
    EXPECT_EQ(links.Strings(0), "http://127.0.0.1:9/only");

    EXPECT_NE(DocumentSource(browser).find("<title>P</title>"), std::string::npos);
    EXPECT_NE(DocumentSourceText(browser).find("Needle needle"), std::string::npos);
    TStringList text;
    ViewPageSourceTextToStrings(browser, &text);
    EXPECT_GE(text.Count(), 1);

    EXPECT_EQ(GetFieldValue(browser, "q"), "old");
    EXPECT_TRUE(FillForm(browser, "q", "new", 1));
    EXPECT_EQ(GetFieldValue(browser, "q"), "old");
    EXPECT_TRUE(FillForm(browser, "q", "all", -1));
    EXPECT_EQ(GetFieldValue(browser, "q"), "all");
    EXPECT_FALSE(FillForm(browser, "missing", "v", -1));

    EXPECT_EQ(SearchAndHighlight(browser, "needle", 0, "yellow", "", 1), 3);
    EXPECT_EQ(SearchAndHighlight(browser, "Needle", 4, "", "", 0), 1);
    // The prompting form asks for the text first; nothing is searched without one.
    std::string asked;
    auto savedInput = WbInputBox;
    WbInputBox = [&](const std::string& caption, const std::string& prompt, std::string& value) {
        asked = caption + "|" + prompt;
        value = "needle";
        return true;
    };
    EXPECT_EQ(browser->SearchAndHighlight("Find", "Text:", 0, "", "", sivNoScroll), 3);
    EXPECT_EQ(asked, "Find|Text:");
    WbInputBox = [](const std::string&, const std::string&, std::string&) { return false; };
    EXPECT_EQ(browser->SearchAndHighlight("Find", "Text:", 0, "", "", sivNoScroll), 0);
    WbInputBox = savedInput;
    EXPECT_TRUE(SearchString(browser, "needle"));
    EXPECT_FALSE(SearchString(browser, "haystack"));
    EXPECT_TRUE(ScrollToID(browser, 12));
    EXPECT_FALSE(ScrollToIDEx(browser, "nope"));
    ScrollToPosition(browser, 5, 40);
    EXPECT_EQ(HScrollBarPosition(browser), 5);
    EXPECT_EQ(VScrollBarPosition(browser), 40);
    ScrollToTop(browser);
    EXPECT_EQ(VScrollBarPosition(browser), 0);
    EXPECT_EQ(FrameCount(browser), 1);
}

TEST_F(PageRoutines, ScriptCallsReportTheirErrors) {
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    view()->ScriptHandler = [](const std::string& s) -> std::optional<webview::ScriptResult> {
        if (s.find("typeof window[\"Add\"]") != std::string::npos)
            return webview::ScriptResult{true, "function", ""};
        if (s == "window[\"Add\"](2,\"x\\\"y\",true)") return webview::ScriptResult{true, "ok", ""};
        if (s.find("window[\"Add\"](") == 0) return webview::ScriptResult{false, "", "TypeError"};
        return std::nullopt;
    };
    EXPECT_EQ(ExecScriptEx(browser, "Add", {2, std::string("x\"y"), true}), "ok");
    EXPECT_THROW(ExecScriptEx(browser, "Missing", {}), Exception);
    try {
        ExecScriptEx(browser, "Add", {1, 2.5f});
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unsupported type for Parameter with Index 1");
    }
    try {
        ExecScriptEx(browser, "Add", {1});
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Method call unsuccessful. TypeError (Add).");
    }
    ExecScript(browser, "throw 'ignored'", "JScript"); // errors are ignored
}

TEST_F(PageRoutines, NavigationShortcutsBuildTheirAddresses) {
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    size_t n = view()->Navigations().size();
    AddHtmlToAboutBlank(browser, "<b>hi</b>");
    GoWithQueryDetails(browser, "http://127.0.0.1:9/form", "?a=1");
    GoNoHistory(browser, "http://127.0.0.1:9/nohist");
    ASSERT_TRUE(pumpUntil([&] { return view()->Navigations().size() >= n + 3; }));
    const auto& navs = view()->Navigations();
    EXPECT_EQ(navs[n].url, "about:<b>hi</b>");
    EXPECT_EQ(navs[n + 1].url, "http://127.0.0.1:9/form?a=1");
    EXPECT_EQ(navs[n + 1].postData, "version=current&name=myname\r\n");
    EXPECT_EQ(navs[n + 1].headers, "Content-Type:application/x-www-form-urlencoded\r\n");
    EXPECT_EQ(navs[n + 2].flags, 2);
}

TEST_F(PageRoutines, SavingAndPrintingNeedADocument) {
    EXPECT_EQ(browser->SaveToFile(dir.file("none.html")), S_FALSE);
    EXPECT_FALSE(browser->Print());
    ASSERT_TRUE(show("<html><body><p>saved text</p></body></html>"));
    EXPECT_EQ(browser->SaveToFile(dir.file("page.html")), S_OK);
    EXPECT_NE(dir.read("page.html").find("saved text"), std::string::npos);
    TStringList lines;
    EXPECT_EQ(browser->SaveToStrings(&lines), S_OK);
    EXPECT_NE(lines.Text().find("saved text"), std::string::npos);
    EXPECT_TRUE(browser->Print());
    EXPECT_EQ(view()->PrintCount(), 1);
    EXPECT_TRUE(browser->ViewPageSourceHtml());
    ASSERT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
    EXPECT_NE(view()->DocumentText().find("<p>saved text</p>"), std::string::npos);
}

TEST_F(Settings, ZonesOfAddressesFollowTheZoneLists) {
    const std::string domains =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\";
    ASSERT_TRUE(AddToTrustedSiteList("https://bank.example.com"));
    ASSERT_TRUE(AddToRestrictedSiteList("http://www.spam.org"));
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, domains + "shop.net\\www", "https", "2"));
    struct Case {
        const char* url;
        int zone;
        const char* name;
    } cases[] = {
        {"file:///home/u/page.html", 0, "Computer"},
        {"about:blank", 0, "Computer"},
        {"/home/u/page.html", 0, "Computer"},
        {"http://intranet/page", 1, "Local network"},
        {"http://192.168.1.20/", 1, "Local network"},
        {"http://127.0.0.1:8080/x", 1, "Local network"},
        {"https://bank.example.com", 2, "Trusted sites"},
        {"https://www.shop.net/cart", 2, "Trusted sites"},
        {"http://www.shop.net/cart", 3, "Internet"},
        {"http://ads.spam.org/x", 4, "Restricted sites"},
        {"https://www.example.org/", 3, "Internet"},
    };
    for (const Case& c : cases) {
        TZoneAttributes a;
        ASSERT_TRUE(GetZoneAttributes(c.url, a)) << c.url;
        EXPECT_EQ(a.Zone, c.zone) << c.url;
        EXPECT_EQ(a.DisplayName, c.name) << c.url;
    }
    TZoneAttributes none;
    EXPECT_FALSE(GetZoneAttributes("  ", none));

    std::string name, description;
    TBitmap icon;
    ASSERT_TRUE(GetURLSecurityZone("http://ads.spam.org/", name, description, &icon));
    EXPECT_EQ(name, "Restricted sites");
    EXPECT_FALSE(description.empty());
    ASSERT_EQ(icon.Width(), 16);
    ASSERT_EQ(icon.Height(), 16);
    auto pixel = [](TBitmap& b, int x, int y) {
        return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
    };
    EXPECT_EQ(pixel(icon, 0, 0) >> 24, 0u);    // the corner is transparent
    EXPECT_EQ(pixel(icon, 8, 8) >> 24, 0xFFu); // the disc is not
    uint32_t restricted = pixel(icon, 8, 8);
    ASSERT_TRUE(GetZoneIconToForm("https://bank.example.com/"));
    EXPECT_NE(pixel(ApplicationZoneIcon(), 8, 8), restricted);
    EXPECT_FALSE(GetZoneIcon("", &icon));
}

TEST(History, UrlFromTheInformationTip) {
    EXPECT_EQ(UrlFromHistory("Page title\n  http://127.0.0.1/a  "), "http://127.0.0.1/a");
    EXPECT_EQ(UrlFromHistory("one line only"), "");
    EXPECT_EQ(UrlFromHistory("t\nhttp://x/\nmore"), "http://x/\nmore");
}

using Downloads = BrowserFixture;

TEST_F(Downloads, FetchesAddressesAndLocalFilesIntoFiles) {
    httptest::TestHttpServer server;
    server.Server().Get("/song.bin", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(std::string("ID3\0\1binary", 11), "application/octet-stream");
    });
    server.Server().Get("/gone", [](const httplib::Request&, httplib::Response& r) {
        r.status = 404;
        r.set_content("not here", "text/plain");
    });
    server.Start();
    std::vector<std::pair<std::string, std::string>> boxes;
    auto saved = WbMessageBox;
    WbMessageBox = [&](const std::string& c, const std::string& t) { boxes.emplace_back(c, t); };

    std::string target = dir.file("out dir/song.bin");
    os::MakeDirectories(dir.file("out dir"));
    ASSERT_TRUE(GoDownloadMaskedFile(server.Url("/song.bin"), target, true));
    EXPECT_EQ(dir.read("out dir/song.bin"), std::string("ID3\0\1binary", 11));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Download successful.");
    EXPECT_EQ(boxes[0].second, "Downloading: " + server.Url("/song.bin") + "\n\rTo: " + target +
                                   "\n\rwas successfully finished.");

    // A missing page and an address that cannot be reached leave no file.
    EXPECT_FALSE(GoDownloadMaskedFile(server.Url("/gone"), dir.file("gone.bin"), true));
    EXPECT_FALSE(os::IsFile(dir.file("gone.bin")));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].first, "Downloading Error!!");
    EXPECT_EQ(boxes[1].second,
              "An error ocurred while downloading the file." + server.Url("/gone"));
    EXPECT_FALSE(browser->DownloadFile("http://127.0.0.1:1/x", dir.file("none.bin")));
    EXPECT_FALSE(GoDownloadMaskedFile("", dir.file("empty.bin"), false));
    EXPECT_EQ(boxes.size(), 2u);

    // Local files, by path and by file address with escapes.
    std::string local = dir.write("my page.html", "<p>local</p>");
    EXPECT_TRUE(browser->DownloadFile(webview::FileUrl(local), dir.file("copy1.html")));
    EXPECT_TRUE(browser->DownloadFile(local, dir.file("copy2.html")));
    EXPECT_EQ(dir.read("copy1.html"), "<p>local</p>");
    EXPECT_EQ(dir.read("copy2.html"), "<p>local</p>");
    WbMessageBox = saved;
}

class PageDialogs : public BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        headless = display::CurrentHeadless();
        ASSERT_NE(headless, nullptr);
        headless->SetFileDialogAnswer([this](const display::FileDialogRequest& r) {
            requests.push_back(r);
            return answer;
        });
    }
    void TearDown() override {
        headless->SetFileDialogAnswer(nullptr);
        BrowserFixture::TearDown();
    }
    display::Headless* headless = nullptr;
    std::vector<display::FileDialogRequest> requests;
    std::optional<std::string> answer;
};

TEST_F(PageDialogs, SaveAndOpenThroughTheFileDialogs) {
    ASSERT_TRUE(show("<html><body><p>Some page text</p></body></html>"));

    // Cancelled dialogs write nothing.
    EXPECT_FALSE(browser->SavePageTextDialog());
    EXPECT_EQ(browser->SaveDialogEx("", ""), "");
    EXPECT_FALSE(browser->SaveDialog());
    EXPECT_FALSE(browser->OpenDialog());
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].kind, display::FileDialogRequest::SaveFile);
    EXPECT_EQ(requests[0].title, "Web Site Text");
    EXPECT_EQ(requests[0].initial, "WebSiteText.txt");
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[1].first, "Word file");
    EXPECT_EQ(requests[1].title, "Browser - Save Dialog");
    EXPECT_EQ(requests[3].kind, display::FileDialogRequest::OpenFile);
    EXPECT_EQ(requests[3].title, "Browser - Open Dialog");
    EXPECT_EQ(requests[3].filters[0].first, "Internet Files");

    // The page's text gets the default extension.
    answer = dir.file("text");
    ASSERT_TRUE(browser->SavePageTextDialog());
    EXPECT_NE(dir.read("text.txt").find("Some page text"), std::string::npos);
    EXPECT_EQ(dir.read("text.txt").find("<p>"), std::string::npos);

    answer = dir.file("saved.html");
    EXPECT_EQ(browser->SaveDialogEx("Pages|*.html", "Keep"), dir.file("saved.html"));
    EXPECT_EQ(requests.back().title, "Keep");
    EXPECT_NE(dir.read("saved.html").find("<p>Some page text</p>"), std::string::npos);
    answer = dir.file("saved2.html");
    EXPECT_TRUE(browser->SaveDialog());
    EXPECT_NE(dir.read("saved2.html").find("<p>Some page text</p>"), std::string::npos);

    answer = dir.write("open.html", "<html><body>opened file</body></html>");
    ASSERT_TRUE(browser->OpenDialog());
    ASSERT_TRUE(pumpUntil(
        [&] { return browser->DocumentSourceText().find("opened file") != std::string::npos; }));

    // The engine has no options, properties or find dialog.
    EXPECT_FALSE(browser->ShowInternetOptions());
    EXPECT_FALSE(browser->ShowPageProperties());
    EXPECT_FALSE(browser->ShowFindDialog());
}

TEST_F(PageDialogs, SavesThePagesPicturesIntoAnImagesFolder) {
    std::string png = dir.write("pics/a.png", "PNG");
    std::string gif = dir.write("pics/b.GIF", "GIF");
    std::string svg = dir.write("pics/c.svg", "SVG");
    ASSERT_TRUE(show("<html><body><img src=\"" + webview::FileUrl(png) + "\"><img src=\"" +
                     webview::FileUrl(gif) + "\"><img src=\"" + webview::FileUrl(svg) +
                     "\"></body></html>"));
    EXPECT_EQ(browser->SaveImagesDialog(), 0); // no folder chosen
    answer = dir.file("target");
    EXPECT_EQ(browser->SaveImagesDialog(), 2);
    EXPECT_EQ(requests.back().kind, display::FileDialogRequest::ChooseFolder);
    EXPECT_EQ(dir.read("target/Images/a.png"), "PNG");
    EXPECT_EQ(dir.read("target/Images/b.GIF"), "GIF");
    EXPECT_FALSE(os::IsFile(dir.file("target/Images/c.svg")));
}

// A clock that moves on by itself at every reading.
class SteppingClock : public os::ManualClock {
public:
    uint64_t MonotonicMs() override {
        Advance(250);
        return os::ManualClock::MonotonicMs();
    }
};

TEST_F(PageRoutines, PrintingCommandsAndThePreviewWindow) {
    EXPECT_FALSE(browser->PrintPreview());
    EXPECT_FALSE(browser->PrintWithOptions());
    ASSERT_TRUE(show("<html><body>print me</body></html>"));
    // With the print options the page set-up is theirs, no dialog asks;
    // then one print.
    browser->PrintOptions()->Enabled = true;
    browser->PrintOptions()->Orientation = poLandScape;
    PageSetupPendingFlag() = false;
    int before = view()->PrintCount();
    EXPECT_TRUE(browser->PrintWithOptions());
    EXPECT_FALSE(PageSetupPendingFlag());
    EXPECT_EQ(view()->PageSetupDialogCount(), 0);
    EXPECT_TRUE(view()->CurrentPageSetup().landscape);
    EXPECT_EQ(view()->PrintCount(), before + 1);
    // The set-up asks the user and prints nothing; the preview prints nothing.
    EXPECT_FALSE(browser->PrintSetup()); // cancelled
    view()->PageSetupDialogAnswer = webview::PageSetup{};
    EXPECT_TRUE(browser->PrintSetup());
    EXPECT_FALSE(view()->CurrentPageSetup().landscape);
    EXPECT_EQ(view()->PageSetupDialogCount(), 2);
    EXPECT_TRUE(browser->PrintPreviewFromTemplate(dir.file("template.htm")));
    EXPECT_EQ(view()->PreviewCount(), 1);
    EXPECT_EQ(view()->PrintCount(), before + 1);
    EXPECT_TRUE(browser->Print());
    EXPECT_EQ(view()->PrintCount(), before + 2);

    // No preview window comes: the wait ends after its 7 seconds.
    SteppingClock clock;
    os::SetClock(&clock);
    uint64_t start = clock.os::ManualClock::MonotonicMs();
    EXPECT_FALSE(browser->PrintPreviewExtended(SW_SHOWMAXIMIZED));
    uint64_t waited = clock.os::ManualClock::MonotonicMs() - start;
    EXPECT_GE(waited, 7000u);
    EXPECT_LT(waited, 9000u);

    // A preview window in front is shown as asked.
    WNDCLASS wc{};
    if (!GetClassInfo(nullptr, "Internet Explorer_TridentDlgFrame", &wc)) {
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "Internet Explorer_TridentDlgFrame";
        RegisterClass(wc);
    }
    HWND preview = CreateWindowEx(0, "Internet Explorer_TridentDlgFrame", "Preview",
                                  WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, 0, 0, nullptr, nullptr);
    ShowWindow(preview, SW_SHOW);
    SetForegroundWindow(preview);
    EXPECT_TRUE(browser->PrintPreviewExtended(SW_SHOWMAXIMIZED));
    EXPECT_TRUE(IsZoomed(preview));
    os::SetClock(nullptr);
    DestroyWindow(preview);
}

TEST_F(PageRoutines, FramesNeedTheEngineAndBrowsersAreKnown) {
    ASSERT_TRUE(show("<html><body><iframe srcdoc=\"<p>in</p>\"></iframe></body></html>"));
    EXPECT_EQ(browser->FrameCount(), 1);
    EXPECT_EQ(browser->FrameCountFromDocument(browser->Document()), 1);
    // The stand-in runs no script in a frame: no frame document is loaded.
    EXPECT_EQ(browser->GetFrame(0), nullptr);
    EXPECT_EQ(browser->GetFrame(5), nullptr);
    EXPECT_EQ(browser->NavigateToFrame("0"), nullptr);
    EXPECT_EQ(browser->NavigateToFrame("x"), nullptr);
    EXPECT_EQ(browser->GetActiveFrame(), browser->Document());
    EXPECT_EQ(browser->SaveFrameToFile(0, dir.file("f.html")), S_FALSE);
    TStringList lines;
    lines.Add("<p>new</p>");
    EXPECT_EQ(browser->LoadFrameFromStrings(0, &lines), S_FALSE);

    const auto& all = TEmbeddedBrowser::Instances();
    EXPECT_NE(std::find(all.begin(), all.end(), browser), all.end());
    auto* second = newBrowser(form.get());
    EXPECT_EQ(all.back(), second);
    delete second;
    EXPECT_EQ(std::find(all.begin(), all.end(), second), all.end());
}

TEST_F(PageRoutines, MailOfThePageAndOfItsAddress) {
    ASSERT_TRUE(show("<html><head><title>Mail me</title></head><body>page</body></html>"));
    std::mutex lock;
    std::vector<std::vector<std::string>> started;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        std::lock_guard<std::mutex> g(lock);
        started.push_back(argv);
        return true;
    });
    auto startedCount = [&] {
        std::lock_guard<std::mutex> g(lock);
        return started.size();
    };
    auto has = [](const std::vector<std::string>& argv, const std::string& option,
                  const std::string& value) {
        for (size_t i = 0; i + 1 < argv.size(); ++i)
            if (argv[i] == option && argv[i + 1] == value) return true;
        return false;
    };

    ASSERT_TRUE(browser->SendURLInMail());
    ASSERT_TRUE(pumpUntil([&] { return startedCount() == 1; }));
    EXPECT_TRUE(has(started[0], "--subject", "Mail me"));
    EXPECT_TRUE(has(started[0], "--body", browser->LocationURL()));

    std::string file = dir.file("page to send.html");
    ASSERT_TRUE(browser->SendPageInMailAsAttachment(nullptr, file, "Subject", "Body"));
    // The page's file stays for the composer until the program ends.
    ASSERT_TRUE(pumpUntil([&] {
        auto kept = MailFilesKept();
        return startedCount() == 2 && std::find(kept.begin(), kept.end(), file) != kept.end();
    }));
    EXPECT_NE(dir.read("page to send.html").find("page"), std::string::npos);
    EXPECT_TRUE(has(started[1], "--attach", file));
    EXPECT_TRUE(has(started[1], "--subject", "Subject"));
    RemoveMailFiles();
    EXPECT_FALSE(os::IsFile(file));

    EXPECT_TRUE(browser->CreateNewMail());
    ASSERT_EQ(startedCount(), 3u);
    EXPECT_EQ(started[2].back(), "mailto:?subject=&body=");
    os::SetLaunchHook(nullptr);
}

TEST_F(Settings, FoldersOfTheBrowserAndTheDesktop) {
    const std::string shellFolders =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    // Headless there is no engine data folder and nothing is recorded.
    EXPECT_EQ(browser->GetCookiesPath(), "");
    EXPECT_EQ(browser->GetHistoryPath(), "");
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, shellFolders, "Cookies", dir.file("c")));
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, shellFolders, "History", dir.file("h")));
    EXPECT_EQ(browser->GetCookiesPath(), dir.file("c"));
    EXPECT_EQ(browser->GetHistoryPath(), dir.file("h"));
    ASSERT_TRUE(os::RegWriteValue(RegRoot::CurrentUser, shellFolders, "History", "  "));
    EXPECT_EQ(GetHistoryPath(), "");
    // The engine keeps no file per address.
    EXPECT_EQ(browser->GetCachedFileFromURL("http://127.0.0.1/page.html"), "");

    dir.write("user/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + dir.file("desk") + "\"\n");
    struct Case {
        int csidl;
        std::string path;
    } cases[] = {
        {0x00, dir.file("desk")},
        {0x10, dir.file("desk")},
        {0x05, os::HomeFolder()},
        {0x1A, dir.file("user")},
        {0x23, dir.file("common")},
        {0x06, dir.file("user") + "/lantrove/Favorites"}, // the folder the program uses
        {0x27, ""},
        {-1, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(browser->GetSpecialFolderPath(0, c.csidl), c.path) << c.csidl;
        // Asking creates the folder, as a caller about to use it expects.
        if (!c.path.empty()) EXPECT_TRUE(os::IsDirectory(c.path)) << c.path;
    }
}

// The desktop's handler for a file or folder, as the OS layer starts it.
std::vector<std::string> desktopOpen(const std::string& path) {
    if (os::FindProgram("xdg-open").empty() && !os::FindProgram("gio").empty())
        return {"gio", "open", path};
    return {"xdg-open", path};
}

TEST_F(Settings, ClientsAndFoldersOpenWithTheirExactArguments) {
    std::vector<std::vector<std::string>> started;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        started.push_back(argv);
        return true;
    });
    std::string mailer = dir.write("bin/my mailer", "#!/bin/sh\n");
    std::string plain = dir.write("bin/mailer", "#!/bin/sh\n");
    ASSERT_EQ(chmod(mailer.c_str(), 0755), 0);
    ASSERT_EQ(chmod(plain.c_str(), 0755), 0);
    auto setClient = [](const std::string& name, const std::string& line) {
        os::RegWriteValue(RegRoot::LocalMachine, "Software\\Clients\\Mail", "", name);
        os::RegWriteValue(RegRoot::LocalMachine,
                          "Software\\Clients\\Mail\\" + name + "\\shell\\open\\command", "", line);
    };
    EXPECT_FALSE(browser->OpenClient("Mail")); // nothing recorded
    setClient("Blank", "  \t ");
    EXPECT_FALSE(browser->OpenClient("Mail"));
    EXPECT_TRUE(started.empty());
    struct Case {
        std::string line;
        std::vector<std::string> argv;
    } cases[] = {
        {mailer, {mailer}},
        {" " + plain + " ", {plain}},
        {"\"" + mailer + "\" -compose \"to=a b\"", {mailer, "-compose", "to=a b"}},
        {plain + " /mail $(id)", {plain, "/mail", "$(id)"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        setClient("Client" + std::to_string(n++), c.line);
        started.clear();
        EXPECT_TRUE(browser->OpenClient("Mail")) << c.line;
        ASSERT_EQ(started.size(), 1u) << c.line;
        EXPECT_EQ(started[0], c.argv) << c.line;
    }

    started.clear();
    std::string folder = dir.file("a folder; $(id)");
    os::MakeDirectories(folder);
    EXPECT_TRUE(browser->ExploreFolder(folder));
    EXPECT_FALSE(browser->ExploreFolder(dir.file("missing")));
    EXPECT_TRUE(browser->ShowOrganizeFavorites());
    std::string favourites = dir.file("user") + "/lantrove/Favorites";
    EXPECT_TRUE(os::IsDirectory(favourites));
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{desktopOpen(folder),
                                                              desktopOpen(favourites)}));
    os::SetLaunchHook(nullptr);
}

TEST_F(PageRoutines, DesktopCommandsAreCarriedOutByTheBrowsersWindow) {
    std::string page =
        dir.write("desk.html", "<html><head><title>Desk page</title></head><body>x</body></html>");
    browser->Navigate(webview::FileUrl(page));
    ASSERT_TRUE(pumpUntil([&] { return browser->ReadyState() == 4; }));
    std::vector<WPARAM> commands;
    TWndMethod old = browser->WindowProc;
    browser->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_COMMAND) commands.push_back(m.WParam);
        old(m);
    };
    std::vector<std::vector<std::string>> started;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        started.push_back(argv);
        return true;
    });
    std::vector<std::pair<std::string, std::string>> boxes;
    auto saved = WbMessageBox;
    WbMessageBox = [&](const std::string& c, const std::string& t) { boxes.emplace_back(c, t); };
    dir.write("user/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + dir.file("desk") + "\"\n");

    browser->OpenIEBrowserWithAddress();
    browser->ShowIEVersionInfo();
    browser->CreateDesktopShortcut();
    browser->ShowAboutBox();
    EXPECT_EQ(commands, (std::vector<WPARAM>{275, 336, 284}));
    // The page goes to the desktop's handler of its address.
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].back(), page);
    // The engine's version, with the component's credit in the about box.
    ASSERT_EQ(boxes.size(), 2u);
    std::string version = "Web engine version " + webview::engine_data::EngineVersion();
    EXPECT_NE(boxes[0].second.find(version), std::string::npos);
    EXPECT_NE(boxes[1].second.find(browser->About()), std::string::npos);
    EXPECT_NE(boxes[1].second.find(version), std::string::npos);
    // A link file on the desktop.
    std::string link = dir.read("desk/Desk page.desktop");
    EXPECT_NE(link.find("Type=Link"), std::string::npos);
    EXPECT_NE(link.find("URL=" + browser->LocationURL() + "\n"), std::string::npos);

    WbMessageBox = saved;
    os::SetLaunchHook(nullptr);
    browser->WindowProc = old;
}

TEST_F(PageRoutines, SearchAndDownloadShortcutsNavigate) {
    ASSERT_TRUE(show("<html><body>x</body></html>"));
    browser->GoAboutBlank();
    EXPECT_EQ(browser->ReadyState(), 4); // it waits for the page
    EXPECT_EQ(view()->Navigations().back().url, "about:blank");

    struct Case {
        std::function<void()> go;
        std::string url;
        int flags;
    } cases[] = {
        {[&] { browser->GoSearchInGoogle("two+words"); },
         "http://www.google.com/search?ie=ISO-8859-1&q=two+words", 0},
        {[&] { browser->GoSearchInMSN("two+words"); },
         "http://search.msn.com/results.aspx?q=two+words&FORM=CBPW&first=1&noredir=1", 0},
        {[&] { browser->GoSearchInYahoo("two+words"); },
         "http://search.yahoo.com/bin/search?p=two+words", 0},
        {[&] { browser->GoDownloadFile("http://127.0.0.1:9/file.zip"); },
         "http://127.0.0.1:9/file.zip", 62},
    };
    for (const Case& c : cases) {
        size_t before = view()->Navigations().size();
        c.go();
        ASSERT_TRUE(pumpUntil([&] { return view()->Navigations().size() > before; })) << c.url;
        EXPECT_EQ(view()->Navigations().back().url, c.url);
        EXPECT_EQ(view()->Navigations().back().flags, c.flags) << c.url;
    }
}

TEST_F(PageRoutines, PageTextInAMessageAndPageSetupOfTheComponent) {
    std::vector<std::pair<std::string, std::string>> boxes;
    auto saved = WbMessageBox;
    WbMessageBox = [&](const std::string& c, const std::string& t) { boxes.emplace_back(c, t); };
    EXPECT_FALSE(browser->PageSetup(true)); // no document
    ASSERT_TRUE(show("<html><body><p>Text of the page</p></body></html>"));
    browser->ViewPageSourceText();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "");
    EXPECT_EQ(boxes[0].second, browser->DocumentSourceText());
    EXPECT_NE(boxes[0].second.find("Text of the page"), std::string::npos);
    EXPECT_EQ(boxes[0].second.find("<p>"), std::string::npos);
    WbMessageBox = saved;

    // The print options complete the set-up only when both ask for it;
    // otherwise the user's dialog does. Nothing is printed.
    view()->PageSetupDialogAnswer = webview::PageSetup{};
    browser->PrintOptions()->Orientation = poLandScape;
    struct Case {
        bool usePrintOptions, enabled, fromOptions;
    } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
    for (const Case& c : cases) {
        PageSetupPendingFlag() = false;
        browser->PrintOptions()->Enabled = c.enabled;
        int prints = view()->PrintCount(), dialogs = view()->PageSetupDialogCount();
        EXPECT_TRUE(browser->PageSetup(c.usePrintOptions));
        EXPECT_FALSE(PageSetupPendingFlag());
        EXPECT_EQ(view()->PageSetupDialogCount(), dialogs + (c.fromOptions ? 0 : 1));
        EXPECT_EQ(view()->CurrentPageSetup().landscape, c.fromOptions);
        EXPECT_EQ(view()->PrintCount(), prints);
    }
    PageSetupPendingFlag() = false;
}

} // namespace
