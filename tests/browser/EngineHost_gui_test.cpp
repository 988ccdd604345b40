// The host's side of the real web engine under a display: which navigation
// a page-finished notice belongs to, owners' failures kept from the engine,
// log-ins, messages, address translation, window.external, window requests,
// unload and help, the context menus, the wheel hook over the page, script
// limits, pop-ups, user agents and the dialog hook.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "browser/EmbeddedBrowser.h"
#include "browser/WbLazyLibs.h"
#include "browser/WbTools.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"
#include "platform/display/gtk.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/registry.h"
#include "platform/webview/webview.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/window.h"
#include "support/httpserver.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using guitest::processUntil;

void pumpFor(int ms) {
    processUntil([] { return false; }, ms);
}

using guitest::run;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class HostOnEngine : public guitest::OnScreenSuite<HostOnEngine> {
protected:
    void SetUp() override {
        OnScreenSuite::SetUp();
        if (IsSkipped()) return;
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        os::SetProgramFileNameOverride(dir.file("lantrove"));
        makeBrowser();
    }
    // A shown form with one browser.
    void makeBrowser() {
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(50, 40, 420, 340);
        form->HandleNeeded();
        browser = new TEmbeddedBrowser(form.get());
        browser->SetBounds(10, 10, 360, 260);
        browser->SetParent(form.get());
        browser->LoadSettings();
        form->Show();
    }
    void TearDown() override {
        form.reset();
        pumpFor(50);
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
    }
    // Loads the page and waits until scripts see it.
    bool load(std::string html) {
        std::string mark = std::to_string(++loads);
        html.replace(0, 5, "<html data-load=\"" + mark + "\"");
        browser->LoadFromWideString(std::u16string(html.begin(), html.end()));
        return processUntil([&] {
            return browser->ReadyState() == 4 &&
                   eval("document.documentElement.getAttribute('data-load')") == mark;
        });
    }
    std::string eval(const std::string& script) {
        return browser->Document() ? browser->Document()->Evaluate(script).value : "";
    }
    POINT screenOf(int x, int y) {
        POINT p{x, y};
        ClientToScreen(browser->GetIEWin("Internet Explorer_Server"), &p);
        return p;
    }
    int xdo(const std::string& args) { return run("xdotool " + args); }
    int mouseAt(int x, int y) {
        POINT p = screenOf(x, y);
        return xdo("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
    }

    TempDir dir;
    std::unique_ptr<TForm> form;
    TEmbeddedBrowser* browser = nullptr;
    int loads = 0;
};

// A page that answers only after the test lets it.
struct SlowSite {
    httptest::TestHttpServer server;
    std::atomic<bool> release{false};
    SlowSite() {
        server.Server().Get("/fast", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body>fast page</body></html>", "text/html");
        });
        server.Server().Get("/slow", [this](const httplib::Request&, httplib::Response& r) {
            for (int i = 0; i < 400 && !release; ++i)
                if (server.WaitWhileRunning(25)) break;
            r.set_content("<html><body>slow page</body></html>", "text/html");
        });
        server.Start();
    }
};

TEST_F(HostOnEngine, APageFinishedNoticeBelongsToItsOwnNavigation) {
    SlowSite site;
    std::vector<std::string> completed;
    browser->OnDocumentComplete = [&](TObject*, TWebDocument*, const std::string& url) {
        completed.push_back(url);
    };
    browser->Navigate(site.server.Url("/fast"));
    ASSERT_TRUE(browser->Wait(15000));
    ASSERT_TRUE(has(browser->DocumentSourceText(), "fast page"));
    completed.clear();
    // The wait of the next navigation is its own: the page before it is
    // complete, the new one is not.
    browser->Navigate(site.server.Url("/slow"));
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        site.release = true;
    });
    bool waited = browser->Wait(15000);
    later.join();
    EXPECT_TRUE(waited);
    EXPECT_TRUE(site.release);
    EXPECT_TRUE(has(browser->DocumentSourceText(), "slow page"));
    ASSERT_FALSE(completed.empty());
    for (const std::string& url : completed)
        EXPECT_EQ(url, site.server.Url("/slow"));
}

TEST_F(HostOnEngine, AnOwnersFailureNeverReachesTheEngine) {
    std::vector<std::string> reported;
    Application->OnException = [&](TObject*, const std::exception& e) {
        reported.push_back(e.what());
    };
    ASSERT_TRUE(load("<html><body style=\"margin:0\"><a id=\"l\" href=\"xmd:First\" "
                     "style=\"display:block;width:200px;height:60px\">one</a></body></html>"));
    int asked = 0;
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool& cancel) {
        if (std::any_cast<std::string>(url).rfind("xmd:", 0) != 0) return;
        cancel = true;
        if (++asked == 1) throw Exception("the owner failed");
    };
    pumpFor(200);
    ASSERT_EQ(mouseAt(40, 20), 0);
    ASSERT_EQ(xdo("click 1"), 0);
    ASSERT_TRUE(processUntil([&] { return !reported.empty(); })) << asked;
    EXPECT_EQ(reported[0], "the owner failed");
    // The engine goes on: the next click is decided as usual, the page stays.
    ASSERT_EQ(xdo("click 1"), 0);
    EXPECT_TRUE(processUntil([&] { return asked == 2; }));
    EXPECT_EQ(eval("document.getElementById('l').textContent"), "one");
    EXPECT_EQ(reported.size(), 1u);
    Application->OnException = nullptr;
}

TEST_F(HostOnEngine, ALongScriptIsStoppedAndThePageStays) {
    ASSERT_TRUE(load("<html><head><title>Kept</title></head><body>x</body></html>"));
    eval("window.mark='still here'; true");
    auto endless = browser->Document()->Evaluate("while(true){}", 1000);
    EXPECT_FALSE(endless.ok);
    // The engine stops the script at its limit; the same page answers again.
    EXPECT_TRUE(processUntil([&] { return eval("window.mark") == "still here"; }, 20000));
    EXPECT_EQ(eval("document.title"), "Kept");
    EXPECT_EQ(eval("6*7"), "42");
}

TEST_F(HostOnEngine, LogInsGoToTheOwner) {
    httptest::TestHttpServer site;
    site.Server().Get("/secret", [](const httplib::Request& q, httplib::Response& r) {
        // "user:pass"
        if (q.get_header_value("Authorization") == "Basic dXNlcjpwYXNz") {
            r.set_content("<html><body>secret page</body></html>", "text/html");
            return;
        }
        r.status = 401;
        r.set_header("WWW-Authenticate", "Basic realm=\"Test\"");
        r.set_content("<html><body>refused</body></html>", "text/html");
    });
    site.Start();
    // Nobody answers and the engine is silent: the log-in is refused at
    // once, no dialog holds the load.
    browser->Navigate(site.Url("/secret"));
    EXPECT_TRUE(browser->Wait(10000));
    EXPECT_FALSE(has(browser->DocumentSourceText(), "secret page"));

    int asked = 0;
    browser->OnAuthenticate = [&](TCustomEmbeddedBrowser*, HWND& window, std::string& user,
                                  std::string& password, HRESULT& result) {
        ++asked;
        EXPECT_EQ(window, browser->Handle());
        user = "user";
        password = "pass";
        result = S_OK;
    };
    browser->Navigate(site.Url("/secret?again"));
    ASSERT_TRUE(processUntil([&] { return has(browser->DocumentSourceText(), "secret page"); }));
    EXPECT_EQ(asked, 1);
}

TEST_F(HostOnEngine, MessagesOfThePageGoToTheOwnerOrTheEngine) {
    std::vector<std::string> shown;
    browser->OnShowMessage = [&](TObject*, HWND, const std::string& text, const std::string&,
                                 int type, const std::string&, int, int& result) -> HRESULT {
        shown.push_back(text + "|" + std::to_string(type));
        result = 1; // OK
        return S_OK;
    };
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    eval("alert('hello'); document.title = confirm('sure?') ? 'yes' : 'no'; true");
    ASSERT_TRUE(processUntil([&] { return eval("document.title") == "yes"; }));
    EXPECT_EQ(shown, (std::vector<std::string>{"hello|48", "sure?|33"}));

    // Unanswered and not silent: the engine's own dialog holds the page
    // until the user closes it.
    browser->OnShowMessage = nullptr;
    browser->SetSilent(false);
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    browser->Document()->Evaluate(
        "setTimeout(function(){alert('wait');document.title='closed'},0); true");
    pumpFor(1500);
    EXPECT_NE(eval("document.title"), "closed");
    browser->SetFocusToDoc();
    ASSERT_TRUE(processUntil([&] {
        xdo("key Return");
        pumpFor(300);
        return eval("document.title") == "closed";
    }));
    // Silent again: the page goes on at once.
    browser->SetSilent(true);
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    eval("alert('quiet'); document.title='went on'; true");
    EXPECT_TRUE(processUntil([&] { return eval("document.title") == "went on"; }, 5000));
}

TEST_F(HostOnEngine, AddressesAreTranslatedAndWwwAddressesNavigate) {
    httptest::TestHttpServer site;
    site.Server().Get(R"(/(\w+))", [](const httplib::Request& q, httplib::Response& r) {
        r.set_content("<html><body>page " + q.matches[1].str() + "</body></html>", "text/html");
    });
    site.Start();
    browser->OnTranslateUrl = [&](TCustomEmbeddedBrowser*, const std::string& in,
                                  std::string& out) {
        if (in == site.Url("/asked")) out = site.Url("/given");
    };
    browser->Navigate(site.Url("/asked"));
    ASSERT_TRUE(processUntil([&] { return has(browser->DocumentSourceText(), "page given"); }));
    EXPECT_EQ(browser->LocationURL(), site.Url("/given"));

    // Addresses that name a web server without the scheme are addresses.
    std::vector<std::string> asked;
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool& cancel) {
        std::string u = std::any_cast<std::string>(url);
        if (u.find("example") != std::string::npos) {
            asked.push_back(u);
            cancel = true;
        }
    };
    TStringList one;
    one.Add("www.example.com");
    browser->SetHTMLCode(&one);
    EXPECT_NO_THROW(browser->Go("www.example.org/x"));
    ASSERT_TRUE(processUntil([&] { return asked.size() == 2; }));
    EXPECT_EQ(asked[0], "http://www.example.com/");
    EXPECT_EQ(asked[1], "http://www.example.org/x");
}

// The owner's object for window.external.
class Calculator : public TExternalObject {
public:
    bool Invoke(const std::string& Name, const std::vector<std::string>& Args,
                std::string& Answer) override {
        if (Name != "Add") return false;
        int sum = 0;
        for (const std::string& a : Args)
            sum += std::atoi(a.c_str());
        Answer = std::to_string(sum);
        return true;
    }
};

TEST_F(HostOnEngine, WindowExternalWindowRequestsUnloadAndHelpReachTheOwner) {
    Calculator calculator;
    browser->OnGetExternal = [&](TCustomEmbeddedBrowser*, TExternalObject*& object) {
        object = &calculator;
    };
    std::vector<std::string> requests;
    browser->OnMove = [&](TCustomEmbeddedBrowser*, int x, int y) {
        requests.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    };
    browser->OnResizeBy = [&](TCustomEmbeddedBrowser*, int x, int y) {
        requests.push_back("resizeBy " + std::to_string(x) + "," + std::to_string(y));
    };
    browser->FloatingHosting = true;
    int unloads = 0, helps = 0;
    browser->OnUnload = [&](TObject*) { ++unloads; };
    browser->OnShowHelpRequest = [&](TObject*, HWND, const std::string&, int, int, POINT,
                                     void*&) -> HRESULT {
        ++helps;
        return S_OK;
    };
    ASSERT_TRUE(load("<html><body style=\"height:2000px\">x</body></html>"));
    eval("window.external.Add(2,3,4).then(function(v){document.title='sum '+v},"
         "function(e){document.title='failed'}); true");
    EXPECT_TRUE(processUntil([&] { return eval("document.title") == "sum 9"; }));
    eval("window.external.Missing().then(function(v){document.title='answered'},"
         "function(e){document.title='refused'}); true");
    EXPECT_TRUE(processUntil([&] { return eval("document.title") == "refused"; }));

    eval("window.moveTo(30,40); window.resizeBy(10,-5); true");
    ASSERT_TRUE(processUntil([&] { return requests.size() == 2; }));
    EXPECT_EQ(requests[0], "move 30,40");
    EXPECT_EQ(requests[1], "resizeBy 10,-5");
    // With floating hosting the form follows.
    EXPECT_TRUE(processUntil([&] { return form->Left() == 30 && form->Top() == 40; }));

    // F1 in the page asks the owner for help.
    browser->SetFocusToDoc();
    ASSERT_TRUE(processUntil([&] {
        xdo("key F1");
        pumpFor(200);
        return helps > 0;
    }));

    // Another page replaces this one: it is told it goes away.
    ASSERT_TRUE(load("<html><body>next</body></html>"));
    EXPECT_TRUE(processUntil([&] { return unloads >= 1; }));
}

TEST_F(HostOnEngine, AnExceptionOfTheAmbientDispatchIsDescribed) {
    browser->OnInvoke = [](TObject*, int DispID, uint16_t, OleVariant&, HRESULT&) {
        if (DispID == 4711) throw EConvertError("no such value");
    };
    OleVariant result;
    TExcepInfo info;
    EXPECT_EQ(browser->Invoke(4711, DISPATCH_PROPERTYGET, {}, &result, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.wCode, 9999);
    EXPECT_EQ(info.bstrSource, "EConvertError");
    EXPECT_EQ(info.bstrDescription, "no such value");
    // The page still loads with the engine's own user agent.
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    EXPECT_FALSE(eval("navigator.userAgent").empty());
}

// A menu that only notes where it was asked to show.
class NotedMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    void Popup(int X, int Y) override {
        ++shown;
        at = POINT{X, Y};
    }
    int shown = 0;
    POINT at{};
};

TEST_F(HostOnEngine, ContextMenusOfDisabledKindsAreTheComponentsOwn) {
    NotedMenu menu(form.get());
    browser->PopupMenu = &menu;
    browser->DisabledPopupMenus = {rcmDefault};
    ASSERT_TRUE(load("<html><body style=\"margin:0\"><p style=\"height:200px\">text</p>"
                     "</body></html>"));
    pumpFor(200);
    ASSERT_EQ(mouseAt(60, 150), 0);
    ASSERT_EQ(xdo("click 3"), 0);
    ASSERT_TRUE(processUntil([&] { return menu.shown == 1; }));
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(menu.at.x, cursor.x);
    EXPECT_EQ(menu.at.y, cursor.y);
    EXPECT_EQ(menu.PopupComponent, browser);
    browser->PopupMenu = nullptr;
}

TEST_F(HostOnEngine, TheFilterAndTheDisabledItemsShapeTheEnginesMenu) {
    std::vector<int> commands;
    browser->OnFilterPopupMenu = [&](TObject*, uint32_t kind, TPopupMenu* menu, TWebDocument*) {
        EXPECT_EQ(kind, uint32_t(rcmAnchor));
        for (int i = 0; i < menu->Items()->Count(); ++i)
            commands.push_back(menu->Items()->Items(i)->Tag);
    };
    browser->DisabledPopupMenuItems = {rcsOpenLink};
    int newWindows = 0, navigations = 0;
    browser->OnNewWindow2 = [&](TObject*, TWebDocument*&, bool& cancel) {
        ++newWindows;
        cancel = true;
    };
    browser->OnBeforeNavigate2 = [&](TObject*, TWebDocument*, OleVariant& url, OleVariant&,
                                     OleVariant&, OleVariant&, OleVariant&, bool& cancel) {
        if (has(std::any_cast<std::string>(url), "127.0.0.1:9")) {
            ++navigations;
            cancel = true;
        }
    };
    ASSERT_TRUE(load("<html><body style=\"margin:0\"><a href=\"http://127.0.0.1:9/x\" "
                     "style=\"display:block;width:200px;height:60px\">link</a></body></html>"));
    pumpFor(200);
    ASSERT_EQ(mouseAt(40, 20), 0);
    ASSERT_EQ(xdo("click 3"), 0);
    ASSERT_TRUE(processUntil([&] { return !commands.empty(); }));
    EXPECT_NE(std::find(commands.begin(), commands.end(), 2136), commands.end());
    EXPECT_NE(std::find(commands.begin(), commands.end(), 2137), commands.end());
    // The engine's menu lacks the item: its first item, just below the
    // pointer, opens a new window.
    pumpFor(500);
    POINT p = screenOf(40, 20);
    xdo("mousemove " + std::to_string(p.x + 30) + " " + std::to_string(p.y + 12) + " click 1");
    EXPECT_TRUE(processUntil([&] { return newWindows + navigations > 0; }));
    EXPECT_EQ(newWindows, 1);
    EXPECT_EQ(navigations, 0);
}

TEST_F(HostOnEngine, TheWheelOverThePageMovesTheFocusThereFirst) {
    EmbeddedBrowserUnitStart();
    auto* edit = new TEdit(form.get());
    edit->SetBounds(10, 280, 200, 24);
    edit->SetParent(form.get());
    ASSERT_TRUE(load("<html><body style=\"margin:0\"><div style=\"height:5000px\">tall</div>"
                     "</body></html>"));
    edit->SetFocus();
    ASSERT_TRUE(processUntil([&] { return GetFocus() == edit->Handle(); }));
    HWND server = browser->GetIEWin("Internet Explorer_Server");
    ASSERT_EQ(mouseAt(100, 100), 0);
    pumpFor(200);
    // The first step only brings the focus into the page under the pointer.
    ASSERT_EQ(xdo("click 5"), 0);
    ASSERT_TRUE(processUntil([&] { return GetFocus() == server; }));
    pumpFor(500);
    EXPECT_EQ(eval("window.scrollY"), "0");
    // The next ones scroll it.
    ASSERT_TRUE(processUntil([&] {
        xdo("click 5");
        pumpFor(200);
        return eval("window.scrollY") != "0";
    }));
    EmbeddedBrowserUnitStop();
}

TEST_F(HostOnEngine, PopUpManagementAndTheRegistrysUserAgentReachTheEngine) {
    int asked = 0;
    browser->OnNewWindow2 = [&](TObject*, TWebDocument*&, bool& cancel) {
        ++asked;
        cancel = true;
    };
    // Pop-up management on: a page's script opens no window on its own.
    const std::string opener = "<html><body><script>setTimeout(function(){window.open("
                               "'about:blank#popup');document.title='tried'},50)</script>"
                               "</body></html>";
    ASSERT_EQ(FeatureSwitch(5, 2, true), S_OK);
    ASSERT_TRUE(load(opener));
    ASSERT_TRUE(processUntil([&] { return eval("document.title") == "tried"; }));
    pumpFor(500);
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(FeatureSwitch(5, 2, false), S_OK);
    ASSERT_TRUE(load(opener));
    EXPECT_TRUE(processUntil([&] { return asked == 1; }));

    browser->SetUserAgent("Probe 1.0");
    browser->SetUserAgentMode(uaRegistry);
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    EXPECT_EQ(eval("navigator.userAgent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)(Probe 1.0)");
    browser->SetUserAgentMode(uaDefault);
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    EXPECT_FALSE(has(eval("navigator.userAgent"), "Probe"));
}

TEST_F(HostOnEngine, DropsGoToThePageTheOwnerOrNowhere) {
    // A second page beside the first to drag from.
    browser->SetBounds(200, 10, 180, 260);
    auto* source = new TEmbeddedBrowser(form.get());
    source->SetBounds(10, 10, 180, 260);
    source->SetParent(form.get());
    source->LoadSettings();
    const std::string from = "<html><body style=\"margin:0\"><div draggable=\"true\" "
                             "ondragstart=\"event.dataTransfer.setData('text/plain','dragged')\" "
                             "style=\"width:150px;height:80px;background:#8f8\">drag me</div>"
                             "</body></html>";
    source->LoadFromWideString(std::u16string(from.begin(), from.end()));
    ASSERT_TRUE(processUntil([&] { return source->ReadyState() == 4; }));
    auto target = [&] {
        return load("<html><body style=\"margin:0;height:250px\" "
                    "ondragover=\"event.preventDefault()\" ondrop=\"event.preventDefault();"
                    "document.title='page:'+event.dataTransfer.getData('text/plain')\">drop "
                    "here</body></html>");
    };
    auto drag = [&] {
        POINT a{40, 40}, b{60, 100};
        ClientToScreen(source->GetIEWin("Internet Explorer_Server"), &a);
        ClientToScreen(browser->GetIEWin("Internet Explorer_Server"), &b);
        pumpFor(300);
        xdo("mousemove " + std::to_string(a.x) + " " + std::to_string(a.y) + " mousedown 1");
        pumpFor(200);
        for (int i = 1; i <= 10; ++i) {
            xdo("mousemove " + std::to_string(a.x + (b.x - a.x) * i / 10) + " " +
                std::to_string(a.y + (b.y - a.y) * i / 10));
            pumpFor(60);
        }
        pumpFor(300);
        xdo("mouseup 1");
        pumpFor(800);
    };
    // The page takes the drop itself.
    ASSERT_TRUE(target());
    drag();
    EXPECT_TRUE(processUntil([&] { return eval("document.title") == "page:dragged"; }));

    // The owner's own drop target: its events decide, the page sees nothing.
    std::vector<std::string> steps;
    std::string dropped;
    browser->OnDragEnter = [&](TObject*, void*, int, POINT, int& effect, HRESULT&) {
        steps.push_back("enter");
        effect = 1;
    };
    browser->OnDragOver2 = [&](TObject*, int, POINT, int& effect, HRESULT&) {
        if (steps.back() != "over") steps.push_back("over");
        effect = 1;
    };
    browser->OnDragLeave = [&](TObject*) { steps.push_back("leave"); };
    browser->OnDropEvent = [&](TObject*, void* data, int, POINT, int& effect, HRESULT&) {
        steps.push_back("drop");
        dropped = *static_cast<std::string*>(data);
        effect = 1;
    };
    browser->SetDropHandlingType(ddtMy);
    ASSERT_TRUE(target());
    drag();
    ASSERT_TRUE(processUntil([&] { return !dropped.empty(); }));
    EXPECT_EQ(dropped, "dragged");
    pumpFor(300);
    EXPECT_EQ(steps, (std::vector<std::string>{"enter", "over", "drop"}));
    EXPECT_NE(eval("document.title"), "page:dragged");

    // Not a drop target: nothing can be dropped.
    browser->SetDropHandlingType(ddtMS);
    browser->SetRegisterAsDropTarget(false);
    ASSERT_TRUE(target());
    drag();
    pumpFor(500);
    EXPECT_NE(eval("document.title"), "page:dragged");
}

// Web processes below this one (the engine may start them through a sandbox).
int webProcesses() {
    std::map<int, int> parent;
    std::map<int, std::string> name;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = e.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        int ppid = 0;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        rest >> state >> ppid;
        parent[std::stoi(pid)] = ppid;
        name[std::stoi(pid)] = line.substr(open + 1, close - open - 1);
    }
    int count = 0;
    for (const auto& [pid, n] : name) {
        if (n.rfind("WebKitWebProces", 0) != 0) continue;
        for (int p = parent[pid]; p > 1; p = parent.count(p) ? parent[p] : 0)
            if (p == getpid()) {
                ++count;
                break;
            }
    }
    return count;
}

TEST_F(HostOnEngine, EveryViewSharesOneWebProcess) {
    ASSERT_TRUE(load("<html><body>first</body></html>"));
    const int before = webProcesses();
    ASSERT_GE(before, 1);
    auto* second = new TEmbeddedBrowser(form.get());
    second->SetBounds(10, 280, 360, 40);
    second->SetParent(form.get());
    second->LoadFromWideString(u"<html><body id=\"b\">second</body></html>");
    ASSERT_TRUE(processUntil([&] {
        return second->ReadyState() == 4 && second->Document() &&
               second->Document()->Evaluate("document.body.id").value == "b";
    }));
    EXPECT_EQ(webProcesses(), before);
}

// The engine started ahead of every view runs its page process before the
// first browser exists, and that browser shows its page in it.
TEST_F(HostOnEngine, TheFirstBrowserUsesTheProcessStartedAheadOfIt) {
    form.reset();
    ASSERT_TRUE(processUntil([] { return webProcesses() == 0; }));
    webview::StartEngine();
    ASSERT_TRUE(processUntil([] { return webProcesses() == 1; }));
    makeBrowser();
    ASSERT_TRUE(load("<html><body id=\"b\">first</body></html>"));
    EXPECT_EQ(eval("document.body.id"), "b");
    EXPECT_EQ(webProcesses(), 1);
}

TEST_F(HostOnEngine, TheDialogHookGivesTheIconAndCompletesThePageSetUp) {
    std::vector<uint32_t> red(16 * 16, 0xFFFF0000u);
    Application->Icon.SetPixels(16, 16, red);
    WNDCLASS wc{};
    if (!GetClassInfo(nullptr, "#32770", &wc)) {
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "#32770";
        RegisterClass(wc);
    }
    LPARAM icon = 0;
    HWND dialog =
        CreateWindowEx(0, "#32770", "Page Setup", WS_POPUP, 0, 0, 100, 80, 0, 0, nullptr, nullptr);
    SetWindowLongPtr(dialog, GWLP_WNDPROC,
                     reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) {
                         if (m == WM_SETICON) SetProp(h, "icon", reinterpret_cast<void*>(l));
                         return DefWindowProc(h, m, w, l);
                     }));
    ASSERT_TRUE(load("<html><body>x</body></html>"));
    browser->PrintOptions()->Enabled = true;
    browser->PrintOptions()->Orientation = poLandScape;
    browser->PrintOptions()->Margins.Left = 12.5;
    PageSetupPendingFlag() = true;
    browser->HandleDialog(dialog);
    icon = reinterpret_cast<LPARAM>(GetProp(dialog, "icon"));
    EXPECT_NE(icon, 0);
    EXPECT_EQ(icon, LPARAM(Application->Icon.Handle()));
    EXPECT_FALSE(PageSetupPendingFlag());
    webview::PageSetup setup = browser->WebView()->CurrentPageSetup();
    EXPECT_TRUE(setup.landscape);
    EXPECT_DOUBLE_EQ(setup.left, browser->MarginInLocaleUnit(12.5));
    DestroyWindow(dialog);
}

} // namespace
