#include "browser/WbCore.h"

#include "browser/WbLazyLibs.h"
#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/os/registry.h"
#include "platform/win/filedialog.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <cxxabi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

namespace {

// Key notifications the class library reflects to a control.
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSKEYUP = CN_BASE + WM_SYSKEYUP;
constexpr int VK_F5 = 0x74;

// Text-size steps 0 (smallest) to 4 (largest) as zoom factors.
constexpr double kTextSteps[] = {0.7, 0.85, 1.0, 1.15, 1.3};

LRESULT CALLBACK_childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Commands to the control's inner windows are the control's.
    if (msg == WM_COMMAND)
        if (HWND parent = GetParent(hwnd)) return SendMessage(parent, msg, wParam, lParam);
    if (msg == WM_SIZE) {
        if (HWND child = GetWindow(hwnd, GW_CHILD))
            MoveWindow(child, 0, 0, LOWORD(uintptr_t(lParam)), HIWORD(uintptr_t(lParam)), 1);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void ensureChildClass(const char* name) {
    WNDCLASS wc;
    if (GetClassInfo(nullptr, name, &wc)) return;
    wc = WNDCLASS{};
    wc.lpfnWndProc = CALLBACK_childProc;
    wc.lpszClassName = name;
    RegisterClass(wc);
}

std::vector<TWB*>& allBrowsers() {
    static std::vector<TWB*> all;
    return all;
}

// The user agent the registry's "Post Platform" entry names: its value
// "User-agent: <text>" other than the engine's plain one; empty when none.
std::string registryUserAgent() {
    static const char* const kPost = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
                                     "Settings\\User Agent\\Post Platform";
    static const std::string kPlain =
        "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
    for (const std::string& name : os::RegValueNames(os::RegRoot::CurrentUser, kPost))
        if (name.rfind("User-agent: ", 0) == 0 && name != kPlain) return name.substr(12);
    return {};
}

// An owner's exception from inside the engine's call: handed to the
// application's handler from the loop, never back into the engine.
void reportToApplication(std::exception_ptr e) {
    PostThreadCall(MainThreadId(), [e] {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            // As the application's loop reports an event handler's failure.
            if (Application && Application->OnException)
                Application->OnException(Application, x);
            else
                std::fprintf(stderr, "%s\n", x.what());
        } catch (...) {
        }
    });
}

// The class name of an exception as its source ("EConvertError").
std::string exceptionClassName(const std::exception& e) {
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string out = status == 0 && name ? name : typeid(e).name();
    std::free(name);
    size_t colon = out.rfind("::");
    return colon == std::string::npos ? out : out.substr(colon + 2);
}

bool anyOf(const OleVariant& v, int& out) {
    if (auto p = std::any_cast<int>(&v)) {
        out = *p;
        return true;
    }
    if (auto p = std::any_cast<long>(&v)) {
        out = int(*p);
        return true;
    }
    if (auto p = std::any_cast<uint32_t>(&v)) {
        out = int(*p);
        return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------

TShiftState KeyShiftState(LPARAM KeyData) {
    TShiftState s = KeyboardShiftState() & (ssShift | ssAlt | ssCtrl);
    if (KeyData & (LPARAM(1) << 29)) s |= ssAlt;
    return s;
}

uint32_t UserInterfaceFlag(TUserInterfaceOption Option) {
    int n = int(Option);
    return n <= 14 ? (1u << n) : (1u << (n + 1));
}

uint32_t UserInterfaceFlags(const TUserInterfaceOptions& Options) {
    uint32_t v = 0;
    for (auto o : Options)
        v |= UserInterfaceFlag(o);
    return v;
}

uint32_t DownloadControlFlag(TDownloadControlOption Option) {
    int n = int(Option);
    return n <= 14 ? (0x10u << n) : (0x10000000u << (n - 15));
}

uint32_t DownloadControlFlags(const TDownloadControlOptions& Options) {
    uint32_t v = 0;
    for (auto o : Options)
        v |= DownloadControlFlag(o);
    return v;
}

// ---------------------------------------------------------------------------

bool TWebDocument::Loaded() const {
    if (!FView || !FView->HasDocument()) return false;
    if (FFramePath.empty()) return true;
    auto r = FView->Evaluate("(function(){try{return !!" + WindowExpr() +
                             ".document.documentElement}catch(e){return false}})()");
    return r.ok && r.value == "true";
}
std::string TWebDocument::WindowExpr() const {
    std::string w = "window";
    for (int i : FFramePath)
        w += ".frames[" + std::to_string(i) + "]";
    return w;
}
std::string TWebDocument::frameText(const std::string& Expr) const {
    auto r = FView->Evaluate("(function(){try{var w=" + WindowExpr() + ",d=w.document;return " +
                             Expr + "}catch(e){return ''}})()");
    return r.ok ? r.value : std::string();
}
std::string TWebDocument::title() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->Title() : frameText("d.title");
}
std::string TWebDocument::URL() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->Url() : frameText("w.location.href");
}
std::string TWebDocument::readyState() const {
    if (!Loaded()) return "uninitialized";
    if (!FFramePath.empty()) return frameText("d.readyState");
    switch (FView->State()) {
    case webview::ReadyState::Complete:
        return "complete";
    case webview::ReadyState::Interactive:
        return "interactive";
    case webview::ReadyState::Loaded:
        return "loaded";
    case webview::ReadyState::Loading:
        return "loading";
    default:
        return "uninitialized";
    }
}
std::string TWebDocument::charset() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->Charset() : frameText("d.characterSet");
}
std::string TWebDocument::designMode() const {
    if (!Loaded()) return {};
    if (FFramePath.empty()) return FView->DesignMode();
    return frameText("d.designMode") == "on" ? "On" : "Off";
}
void TWebDocument::setDesignMode(const std::string& Mode) {
    if (!Loaded()) return;
    if (FFramePath.empty())
        FView->SetDesignMode(Mode);
    else
        frameText("(d.designMode=" + webview::JsString(Mode == "On" ? "on" : "off") + ")");
}
std::string TWebDocument::cookie() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->Cookie() : frameText("d.cookie");
}
std::string TWebDocument::bodyText() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->DocumentText() : frameText("d.documentElement.innerText");
}
std::string TWebDocument::innerHTML() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->DocumentInnerHtml()
                              : frameText("d.documentElement.innerHTML");
}
std::string TWebDocument::outerHTML() const {
    if (!Loaded()) return {};
    return FFramePath.empty() ? FView->DocumentHtml() : frameText("d.documentElement.outerHTML");
}
bool TWebDocument::execScript(const std::string& Code, const std::string&) {
    return Evaluate(Code).ok;
}
webview::ScriptResult TWebDocument::Evaluate(const std::string& Code, unsigned TimeoutMs) {
    if (!Loaded()) return webview::ScriptResult{false, {}, "no document"};
    if (FFramePath.empty()) return FView->Evaluate(Code, TimeoutMs);
    // Indirect eval runs the code in the frame's global scope.
    return FView->Evaluate(WindowExpr() + ".eval(" + webview::JsString(Code) + ")", TimeoutMs);
}

// ---------------------------------------------------------------------------

TWB::TWB(TComponent* AOwner) : TWinControl(AOwner) {
    static bool handlerSet = false;
    if (!handlerSet) {
        webview::SetHostExceptionHandler(reportToApplication);
        handlerSet = true;
    }
    allBrowsers().push_back(this);
}

TWB::~TWB() {
    auto& all = allBrowsers();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    FDestroying = true;
    FDocument.reset();
    FView.reset();
}

void TWB::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.WinClassName = "Shell Embedding";
    Params.Style |= WS_CLIPCHILDREN;
}

void TWB::CreateWnd() {
    TWinControl::CreateWnd();
    makeChildren();
    if (!FView) {
        FView = webview::CreateView(FServer, FForceHeadless);
        FDocument = std::make_unique<TWebDocument>(FView.get());
        BindView(*FView);
    } else {
        // The page kept while the window was away comes back with it.
        FView->SetHost(FServer);
    }
}

void TWB::makeChildren() {
    ensureChildClass("Shell DocObject View");
    ensureChildClass("Internet Explorer_Server");
    HWND self = Handle();
    RECT r{};
    GetClientRect(self, &r);
    FDocView = CreateWindowEx(0, "Shell DocObject View", "", WS_CHILD | WS_VISIBLE, 0, 0,
                              int(r.right), int(r.bottom), self, 0, nullptr, nullptr);
    FServer = CreateWindowEx(0, "Internet Explorer_Server", "", WS_CHILD | WS_VISIBLE, 0, 0,
                             int(r.right), int(r.bottom), FDocView, 0, nullptr, nullptr);
}

void TWB::DestroyWnd() {
    // The view stays with the component, without a window to lie over.
    if (FView) FView->SetHost(0);
    FDocView = FServer = 0;
    TWinControl::DestroyWnd();
}

void TWB::SetSilent(bool Value) {
    FSilent = Value;
    ApplyAmbient();
}

void TWB::SetRegisterAsBrowser(bool Value) {
    FRegisterAsBrowser = Value;
}

std::vector<TWB*> TWB::RegisteredBrowsers() {
    std::vector<TWB*> out;
    for (TWB* b : allBrowsers())
        if (b->FRegisterAsBrowser) out.push_back(b);
    return out;
}

void TWB::SetRegisterAsDropTarget(bool Value) {
    FRegisterAsDropTarget = Value;
    ApplyAmbient();
}

bool TWB::ControlCommand(int) {
    return false;
}

void TWB::WndProc(TMessage& Message) {
    if (Message.Msg == WM_COMMAND && HIWORD(uintptr_t(Message.WParam)) == 0 &&
        ControlCommand(int(LOWORD(uintptr_t(Message.WParam))))) {
        Message.Result = 0;
        return;
    }
    if (Message.Msg == WM_SIZE && FDocView)
        MoveWindow(FDocView, 0, 0, LOWORD(uintptr_t(Message.LParam)),
                   HIWORD(uintptr_t(Message.LParam)), 1);
    TWinControl::WndProc(Message);
}

webview::View* TWB::WebView() {
    HandleNeeded();
    return FView.get();
}

void TWB::BindView(webview::View& View) {
    View.OnBeforeNavigate = [this](webview::Navigation& nav, bool& cancel) {
        if (!OnBeforeNavigate2) return;
        OleVariant url = nav.url, flags = nav.flags, target = nav.target, post = nav.postData,
                   headers = nav.headers;
        // By reference: what the handler decided stands even when it fails later.
        OnBeforeNavigate2(this, Document(), url, flags, target, post, headers, cancel);
    };
    View.OnNewWindow = [this](const webview::Navigation&, bool& cancel) {
        if (!OnNewWindow2) return;
        TWebDocument* disp = nullptr;
        OnNewWindow2(this, disp, cancel);
    };
    View.OnNavigateComplete = [this](const std::string& url) {
        if (OnNavigateComplete2) OnNavigateComplete2(this, Document(), url);
    };
    View.OnDocumentComplete = [this](const std::string& url) {
        if (OnDocumentComplete) OnDocumentComplete(this, Document(), url);
    };
    View.OnTitleChange = [this](const std::string& t) {
        if (OnTitleChange) OnTitleChange(this, t);
    };
    View.OnStatusText = [this](const std::string& t) {
        if (OnStatusTextChange) OnStatusTextChange(this, t);
    };
    View.OnNavigateError = [this](const std::string& url, const std::string& error) {
        bool cancel = false;
        if (OnNavigateError) OnNavigateError(this, Document(), url, "", error, cancel);
    };
    View.OnScriptDialog = [this](webview::ScriptDialog& d) {
        // Without a host answer the engine decides: its own dialog, or none
        // when it is silent.
        if (!OnScriptDialog) return;
        d.handled = true;
        d.accept = d.kind == webview::DialogKind::Alert;
        OnScriptDialog(this, d);
    };
}

void TWB::Navigate(const std::string& URL) {
    Navigate2(URL);
}

void TWB::Navigate(const std::string& URL, int Flags, const std::string& TargetFrameName,
                   const std::string& PostData, const std::string& Headers) {
    Navigate2(URL, Flags, TargetFrameName, PostData, Headers);
}

void TWB::Navigate2(const std::string& URL, int Flags, const std::string& TargetFrameName,
                    const std::string& PostData, const std::string& Headers) {
    webview::Navigation nav;
    nav.url = URL;
    // An address without its scheme that names a web server is one.
    std::string lower4;
    for (char c : URL.substr(0, 4))
        lower4 += char(std::tolower(static_cast<unsigned char>(c)));
    if (lower4 == "www.") nav.url = "http://" + URL;
    nav.flags = Flags;
    nav.target = TargetFrameName;
    nav.postData = PostData;
    nav.headers = Headers;
    if (!WebView()->Navigate(nav)) throw EOleError("The address is not valid: " + URL);
}

void TWB::GoBack() {
    if (FView) FView->GoBack();
}
void TWB::GoForward() {
    if (FView) FView->GoForward();
}
void TWB::Stop() {
    if (FView) FView->Stop();
}
void TWB::Refresh() {
    Refresh2(1);
}
void TWB::Refresh2(int Level) {
    if (FView && FView->HasDocument() && RefreshAllowed(Level)) FView->Reload(Level == 3);
}

int TWB::ReadyState() const {
    return FView ? int(FView->State()) : 0;
}
bool TWB::Busy() const {
    return FView && FView->Busy();
}
std::string TWB::LocationURL() const {
    return FView ? FView->Url() : std::string();
}
std::string TWB::LocationName() const {
    if (!FView) return {};
    std::string t = FView->Title();
    return t.empty() ? FView->Url() : t;
}

TWebDocument* TWB::Document() {
    return FView && FView->HasDocument() ? FDocument.get() : nullptr;
}

HRESULT TWB::ExecWB(int CmdID, int CmdExecOpt, OleVariant& In, OleVariant& Out) {
    if (!FView || !FView->HasDocument()) return E_UNEXPECTED;
    switch (CmdID) {
    case 6: // print; option 2 prints without asking
        return FView->Print(CmdExecOpt != 2) ? S_OK : E_FAIL;
    case 7: // print preview
        return FView->PrintPreview() ? S_OK : E_FAIL;
    case 8: // page setup: completed by the host, as it is, or by the user
        if (PageSetupFromHost() || CmdExecOpt == 2) return S_OK;
        return FView->RunPageSetupDialog() ? S_OK : OLECMDERR_E_CANCELED;
    case 4: { // save as: the save dialog, then the page's markup
        std::string name;
        if (!ChooseSaveFileDialog(Handle(), "Save As", "Web Page|*.htm;*.html|Any File|*", 1, true,
                                  name))
            return OLECMDERR_E_CANCELED;
        return FView->SaveTo(name) ? S_OK : E_FAIL;
    }
    case 11:
        return FView->ExecCommand("cut") ? S_OK : E_FAIL;
    case 12:
        return FView->ExecCommand("copy") ? S_OK : E_FAIL;
    case 13:
        return FView->ExecCommand("paste") ? S_OK : E_FAIL;
    case 15:
        return FView->ExecCommand("undo") ? S_OK : E_FAIL;
    case 16:
        return FView->ExecCommand("redo") ? S_OK : E_FAIL;
    case 17:
        return FView->ExecCommand("selectAll") ? S_OK : E_FAIL;
    case 18:
        return FView->ExecCommand("unselect") ? S_OK : E_FAIL;
    case 33:
        return FView->ExecCommand("delete") ? S_OK : E_FAIL;
    case 19: { // text size step
        int step = 2;
        double now = FView->Zoom();
        double best = 1e9;
        for (int i = 0; i < 5; ++i)
            if (std::fabs(kTextSteps[i] - now) < best)
                best = std::fabs(kTextSteps[i] - now), step = i;
        int want = 0;
        if (anyOf(In, want)) {
            want = std::max(0, std::min(4, want));
            FView->SetZoom(kTextSteps[want]);
            step = want;
        }
        Out = step;
        return S_OK;
    }
    case 20: // text size range: low word lowest, high word highest
        Out = int(0 | (4 << 16));
        return S_OK;
    case 63: { // optical zoom in percent
        int want = 0;
        if (anyOf(In, want) && want > 0) FView->SetZoom(want / 100.0);
        Out = int(std::lround(FView->Zoom() * 100));
        return S_OK;
    }
    case 64:
        Out = int(10 | (1000 << 16));
        return S_OK;
    default:
        return OLECMDERR_E_NOTSUPPORTED;
    }
}

// ---------------------------------------------------------------------------

TCustomEmbeddedBrowser::TCustomEmbeddedBrowser(TComponent* AOwner) : TWB(AOwner) {
    CanGrabFocus = true;
    ScriptErrorAction = eaContinue;
    SetDownloadOptions({DownloadImages, DownloadVideos, DownloadBGSounds});
    SetUserInterfaceOptions({EnablesFormsAutoComplete, EnableThemes});
    FDropHandlingType = ddtMS;
    DisableCtrlShortcuts = "N";
}

TCustomEmbeddedBrowser::~TCustomEmbeddedBrowser() {
    *FHostAlive = false;
}

uint32_t& TCustomEmbeddedBrowser::LastPreRefreshTick() {
    static uint32_t tick = 0;
    return tick;
}

void TCustomEmbeddedBrowser::SetDownloadOptions(const TDownloadControlOptions& Value) {
    FDownloadOptions = Value;
    FDownloadControl = DownloadControlFlags(Value);
    ApplyAmbient();
}

void TCustomEmbeddedBrowser::SetUserInterfaceOptions(const TUserInterfaceOptions& Value) {
    FUserInterfaceOptions = Value;
    FHostFlags = UserInterfaceFlags(Value);
    ApplyAmbient();
}

void TCustomEmbeddedBrowser::SetDropHandlingType(TDragDropHandlingType Value) {
    if (Value == FDropHandlingType) return;
    FDropHandlingType = Value;
    if (Value == ddtMS) SetRegisterAsDropTarget(true);
    if (Value == ddtNo) SetRegisterAsDropTarget(false);
    // The host's own drop target takes the drags over the page.
    ApplyAmbient();
}

void TCustomEmbeddedBrowser::ApplyAmbient() {
    if (!FView) return;
    webview::Settings s = FView->CurrentSettings();
    TDOCHOSTUIINFO info;
    GetHostInfo(info);
    s.textSelection = !(info.dwFlags & 0x1);
    s.border3D = !(info.dwFlags & 0x4);
    s.scrollBars = !(info.dwFlags & 0x8);
    s.hostCss = info.pchHostCss.value_or("");
    s.silent = GetSilent();
    s.acceptDrops = GetRegisterAsDropTarget();
    s.hostDrops = FDropHandlingType == ddtMy || FDropHandlingType == ddtCustom;
    OleVariant dl;
    Invoke(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, {}, &dl);
    int v = 0;
    anyOf(dl, v);
    uint32_t d = uint32_t(v);
    s.images = (d & 0x10) != 0;
    s.media = (d & 0x60) != 0;
    s.scripts = !(d & 0x80);
    s.offline = (d & 0x10000000) != 0;
    OleVariant ua;
    s.userAgent.clear();
    if (Invoke(DISPID_AMBIENT_USERAGENT, DISPATCH_PROPERTYGET, {}, &ua) == S_OK) {
        if (auto p = std::any_cast<std::string>(&ua)) {
            std::string text = *p;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            s.userAgent = text;
        }
    }
    // Declined by the host: the engine's own, or the one the registry adds.
    if (s.userAgent.empty()) s.userAgent = registryUserAgent();
    FView->Apply(s);
}

void TCustomEmbeddedBrowser::BindView(webview::View& View) {
    TWB::BindView(View);
    auto navigateNewWindow = View.OnNewWindow;
    View.OnNewWindow = [this, navigateNewWindow](const webview::Navigation& nav, bool& cancel) {
        void* unused = nullptr;
        if (ProvidesService(wbguid::INewWindowManager, wbguid::INewWindowManager, unused) &&
            EvaluateNewWindow(nav.url, nav.target, LocationURL(), "", false, 0, 0) == S_FALSE) {
            cancel = true;
            return;
        }
        navigateNewWindow(nav, cancel);
    };
    View.OnContextMenu = [this](int kind, int x, int y, std::vector<webview::MenuItem>& items) {
        POINT pt{x, y};
        ::ClientToScreen(ServerWindow(), &pt);
        FContextItems = &items;
        struct Reset {
            std::vector<webview::MenuItem>*& p;
            ~Reset() { p = nullptr; }
        } reset{FContextItems};
        FContextShown = false;
        HRESULT r = ShowContextMenu(uint32_t(kind), &pt, nullptr, Document());
        // The custom menu is the engine's, with what the filter left.
        return r == S_OK && !FContextShown;
    };
    View.OnScriptDialog = [this, answer = View.OnScriptDialog](webview::ScriptDialog& d) {
        // Messages of the page go to the host first.
        if (d.kind == webview::DialogKind::Alert || d.kind == webview::DialogKind::Confirm) {
            bool confirm = d.kind == webview::DialogKind::Confirm;
            int result = 0;
            HRESULT r = ShowMessage(HandleAllocated() ? Handle() : 0, d.message,
                                    "Message from webpage", confirm ? 0x21 : 0x30, "", 0, result);
            if (r == S_OK) {
                d.handled = true;
                d.accept = !confirm || result == 1; // IDOK
                return;
            }
        }
        answer(d);
    };
    View.OnAuthenticate = [this](const std::string&, const std::string&, std::string& user,
                                 std::string& password) {
        void* service = nullptr;
        if (!ProvidesService(wbguid::IAuthenticate, wbguid::IAuthenticate, service)) return 2;
        HWND window = 0;
        bool userSet = false, passwordSet = false;
        HRESULT r = Authenticate(window, user, password, userSet, passwordSet);
        if (r != S_OK) return 0;
        return userSet ? 1 : 2;
    };
    View.OnTranslateUrl = [this](const std::string& url, std::string& out) {
        return TranslateUrl(url, out) == S_OK;
    };
    View.OnExternalCall = [this](const std::string& name, const std::vector<std::string>& args,
                                 std::string& answer) {
        TExternalObject* external = nullptr;
        if (GetExternal(external) != S_OK || !external) return false;
        return external->Invoke(name, args, answer);
    };
    View.OnDrag = [this](webview::DragEvent& d) {
        POINT pt{d.x, d.y};
        ::ClientToScreen(ServerWindow(), &pt);
        // The drag state in the platform's key bits: Shift 4, Ctrl 8.
        int keys = ((d.keys & MK_SHIFT) ? 4 : 0) | ((d.keys & MK_CONTROL) ? 8 : 0);
        int effect = d.allowed;
        switch (d.step) {
        case webview::DragStep::Enter:
            DragEnter(&d.text, keys, pt, effect);
            break;
        case webview::DragStep::Over:
            DragOver(keys, pt, effect);
            break;
        case webview::DragStep::Leave:
            DragLeave();
            effect = 0;
            break;
        case webview::DragStep::Drop:
            Drop(&d.text, keys, pt, effect);
            break;
        }
        d.effect = effect;
    };
    View.OnWindowRequest = [this](webview::WindowRequest request, int x, int y) {
        void* service = nullptr;
        if (!ProvidesService(wbguid::IHTMLOMWindowServices, wbguid::IHTMLOMWindowServices, service))
            return;
        switch (request) {
        case webview::WindowRequest::MoveTo:
            moveTo(x, y);
            break;
        case webview::WindowRequest::MoveBy:
            moveBy(x, y);
            break;
        case webview::WindowRequest::ResizeTo:
            resizeTo(x, y);
            break;
        case webview::WindowRequest::ResizeBy:
            resizeBy(x, y);
            break;
        }
    };
    View.OnUnload = [this] {
        OleVariant in, out;
        Exec(&wbguid::CGID_DocHostCommandHandler, 37, 0, in, out);
    };
    View.OnHelp = [this](int x, int y) {
        POINT pt{x, y};
        ::ClientToScreen(ServerWindow(), &pt);
        void* hit = nullptr;
        return ShowHelp(HandleAllocated() ? Handle() : 0, "", 1, 0, pt, hit) == S_OK;
    };
    View.OnKey = [this](const webview::KeyInput& k) {
        bool consumed = false;
        keyInput(k, consumed);
        return consumed;
    };
    View.OnMouse = [this](const webview::MouseInput& m) {
        // The press reaches the component as its parent notification.
        FClickKeys = m.keys;
        Perform(WM_PARENTNOTIFY, WPARAM(m.message), MAKELPARAM(m.x, m.y));
        FClickKeys = 0;
    };
    View.OnScriptError = [this](const webview::ScriptError& e) {
        OleVariant in = e, out;
        Exec(&wbguid::CGID_DocHostCommands, 40, 0, in, out);
        auto p = std::any_cast<bool>(&out);
        return p ? *p : true;
    };
    View.OnDownload = [this](const std::string& url) {
        // The host's download manager takes it when it answers; otherwise
        // the engine's own saves it.
        void* unused = nullptr;
        if (ProvidesService(wbguid::IDownloadManager, wbguid::IDownloadManager, unused))
            return Download(url) == S_OK;
        return false;
    };
    View.OnFocusChange = [this](bool in) {
        if (in && OnOnDocWindowActivate) OnOnDocWindowActivate(this, true);
    };
    View.OnZoomChange = [this](double factor) {
        if (OnZoomPercentChange) OnZoomPercentChange(this, uint32_t(std::lround(factor * 100)));
    };
    View.OnDocumentComplete = [this, complete = View.OnDocumentComplete](const std::string& url) {
        // The engine's notice that a page settled stands for its pre-refresh command.
        OleVariant in, out;
        Exec(&wbguid::CGID_DocHostCommandHandler, 39, 0, in, out);
        complete(url);
    };
    ApplyAmbient();
}

void TCustomEmbeddedBrowser::keyInput(const webview::KeyInput& k, bool& consumed) {
    LPARAM lp = (LPARAM(k.scanCode & 0xFF) << 16) | 1;
    if (k.alt) lp |= LPARAM(1) << 29;
    if (!k.down) lp |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
    UINT cn = k.down ? (k.alt ? CN_SYSKEYDOWN : CN_KEYDOWN) : (k.alt ? CN_SYSKEYUP : CN_KEYUP);
    if (Perform(cn, WPARAM(k.virtualKey), lp) != 0) {
        consumed = true;
        return;
    }
    TMsg msg;
    msg.hwnd = ServerWindow();
    msg.message = k.down ? (k.alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (k.alt ? WM_SYSKEYUP : WM_KEYUP);
    msg.wParam = WPARAM(k.virtualKey);
    msg.lParam = lp;
    if (TranslateAccelerator(&msg, nullptr, 0) == S_OK) {
        consumed = true;
        return;
    }
    if (k.down && k.virtualKey == VK_F5 && !k.control && !k.alt) {
        Refresh2(k.shift ? 3 : 1);
        consumed = true;
    }
}

bool TCustomEmbeddedBrowser::RefreshAllowed(int) {
    OleVariant in, out;
    return Exec(&wbguid::CGID_DocHostCommands, 2300, 0, in, out) != S_OK;
}

HRESULT TCustomEmbeddedBrowser::ShowContextMenu(uint32_t dwID, const POINT* ppt,
                                                void* CommandTarget, TWebDocument* Context) {
    HRESULT result = E_NOTIMPL;
    if (OnShowContextMenu) OnShowContextMenu(this, dwID, ppt, CommandTarget, Context, result);
    if (result != E_NOTIMPL) return result;
    bool disabled = DisabledPopupMenus.count(rcmAll) ||
                    (dwID < 10 && DisabledPopupMenus.count(TIEPopupMenu(dwID)));
    if (disabled) {
        // The page shows nothing; the component's own menu shows at the
        // pointer once the engine is done with its request.
        if (PopupMenu) {
            POINT at{};
            GetCursorPos(&at);
            TPopupMenu* menu = PopupMenu;
            std::shared_ptr<bool> alive = FHostAlive;
            PostThreadCall(MainThreadId(), [this, menu, at, alive] {
                if (!*alive || PopupMenu != menu) return;
                menu->PopupComponent = this;
                menu->Popup(at.x, at.y);
            });
        }
        return S_OK;
    }
    if (HasPopupMenuFilter()) return ShowBrowserContextMenu(dwID, ppt, Context) ? S_OK : S_FALSE;
    return S_FALSE;
}

bool TCustomEmbeddedBrowser::ShowBrowserContextMenu(uint32_t dwID, const POINT*,
                                                    TWebDocument* Context) {
    // The engine holds its menus: without it, or without its items, the
    // view shows its standard menu.
    if (!BrowserResourceModule() || !FContextItems) return false;
    std::vector<webview::MenuItem>& items = *FContextItems;
    TPopupMenu menu(nullptr);
    std::vector<TMenuItem*> made;
    for (const webview::MenuItem& item : items) {
        auto* m = new TMenuItem(&menu);
        m->Caption = item.action < 0 ? "-" : item.label;
        m->Tag = item.action;
        menu.Items()->Add(m);
        made.push_back(m);
    }
    FilterPopupMenu(this, dwID, &menu, Context);
    std::vector<webview::MenuItem> kept;
    for (size_t i = 0; i < made.size(); ++i)
        for (int k = 0; k < menu.Items()->Count(); ++k)
            if (menu.Items()->Items(k) == made[i]) {
                kept.push_back(items[i]);
                break;
            }
    items = kept;
    FContextShown = true;
    return true;
}

HRESULT TCustomEmbeddedBrowser::GetHostInfo(TDOCHOSTUIINFO& pInfo) {
    pInfo = TDOCHOSTUIINFO{};
    pInfo.cbSize = 20;
    pInfo.dwFlags = FHostFlags;
    pInfo.dwDoubleClick = 0;
    if (OnGetHostInfo) OnGetHostInfo(this, pInfo);
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::ShowUI(uint32_t dwID) {
    HRESULT r = S_FALSE;
    if (OnShowUI) OnShowUI(this, dwID, r);
    return r;
}
HRESULT TCustomEmbeddedBrowser::HideUI() {
    HRESULT r = S_FALSE;
    if (OnHideUI) OnHideUI(this, r);
    return r;
}
HRESULT TCustomEmbeddedBrowser::UpdateUI() {
    HRESULT r = S_FALSE;
    if (OnUpdateUI) OnUpdateUI(this, r);
    return r;
}
HRESULT TCustomEmbeddedBrowser::EnableModeless(bool fEnable) {
    if (OnEnableModeless) OnEnableModeless(this, fEnable);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::OnDocWindowActivate(bool fActivate) {
    if (OnOnDocWindowActivate) OnOnDocWindowActivate(this, fActivate);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::OnFrameWindowActivate(bool fActivate) {
    if (OnOnFrameWindowActivate) OnOnFrameWindowActivate(this, fActivate);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::ResizeBorder(const RECT* prcBorder, bool fRameWindow) {
    if (OnResizeBorder) OnResizeBorder(this, prcBorder, fRameWindow);
    return S_OK;
}

bool TCustomEmbeddedBrowser::IsMaskedCtrlShortcut(const TMsg& Msg) {
    if (DisableCtrlShortcuts.empty() || Msg.message != WM_KEYDOWN) return false;
    TShiftState s = KeyShiftState(Msg.lParam);
    if ((s & (ssShift | ssAlt | ssCtrl)) != ssCtrl) return false;
    return Msg.wParam < 256 && DisableCtrlShortcuts.find(char(Msg.wParam)) != std::string::npos;
}

HRESULT TCustomEmbeddedBrowser::TranslateAccelerator(const TMsg* lpMsg, const TGUID* pguidCmdGroup,
                                                     uint32_t nCmdID) {
    bool masked = lpMsg && IsMaskedCtrlShortcut(*lpMsg);
    bool done = false;
    if (masked) {
        if (OnMaskedCtrlChar) OnMaskedCtrlChar(this, char(lpMsg->wParam));
    } else if (OnTranslateAccelerator) {
        OnTranslateAccelerator(this, lpMsg, pguidCmdGroup, nCmdID, done);
    }
    return masked || done ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::GetOptionKeyPath(std::string& pchKey) {
    if (!OptionKeyPath.empty() && !OverrideOptionKeyPath) {
        pchKey = OptionKeyPath;
        return S_OK;
    }
    return S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::GetOverrideKeyPath(std::string& pchKey) {
    if (!OptionKeyPath.empty() && OverrideOptionKeyPath) {
        pchKey = OptionKeyPath;
        return S_OK;
    }
    return S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::GetDropTarget(void*& ppDropTarget) {
    switch (FDropHandlingType) {
    case ddtMS:
        SetRegisterAsDropTarget(true);
        return E_NOTIMPL;
    case ddtMy:
        ppDropTarget = this;
        return S_OK;
    case ddtCustom:
        ppDropTarget = this;
        if (OnGetDropTarget) OnGetDropTarget(this, ppDropTarget);
        return S_OK;
    case ddtNo:
        SetRegisterAsDropTarget(false);
        ppDropTarget = nullptr;
        return S_OK;
    }
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::GetExternal(TExternalObject*& ppDispatch) {
    ppDispatch = nullptr;
    if (OnGetExternal) OnGetExternal(this, ppDispatch);
    return ppDispatch ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::TranslateUrl(const std::string& pchURLIn, std::string& ppchURLOut) {
    std::string out;
    if (OnTranslateUrl) OnTranslateUrl(this, pchURLIn, out);
    if (out.empty()) return S_FALSE;
    ppchURLOut = out;
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::FilterDataObject(void* pDO, void*& ppDORet) {
    ppDORet = nullptr;
    if (OnFilterDataObject) OnFilterDataObject(this, pDO, ppDORet);
    return ppDORet ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::ShowMessage(HWND hwnd, const std::string& Text,
                                            const std::string& Caption, int dwType,
                                            const std::string& Help, int HelpContext,
                                            int& plResult) {
    if (!OnShowMessage) return S_FALSE;
    return OnShowMessage(this, hwnd, Text, Caption, dwType, Help, HelpContext, plResult);
}

HRESULT TCustomEmbeddedBrowser::ShowHelp(HWND hwnd, const std::string& pszHelpFile, int uCommand,
                                         int dwData, POINT ptMouse, void*& pDispatchObjectHit) {
    if (OnShowHelpRequest)
        return OnShowHelpRequest(this, hwnd, pszHelpFile, uCommand, dwData, ptMouse,
                                 pDispatchObjectHit);
    if (!pszHelpFile.empty() || HelpFile.empty()) return S_FALSE;
    HtmlHelpCall(hwnd, HelpFile, uCommand, dwData);
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::QueryStatus(const TGUID*, uint32_t) {
    return S_OK;
}

bool TCustomEmbeddedBrowser::HandleScriptError(const OleVariant& vaIn, OleVariant& vaOut) {
    bool result = false;
    switch (ScriptErrorAction) {
    case eaContinue:
        vaOut = true;
        break;
    case eaCancel:
        vaOut = false;
        break;
    case eaAskUser:
        result = true;
        break;
    }
    if (OnScriptError) {
        webview::ScriptError e;
        if (auto p = std::any_cast<webview::ScriptError>(&vaIn)) e = *p;
        OnScriptError(this, std::to_string(e.line), std::to_string(e.column), "0", e.message, e.url,
                      ScriptErrorAction);
    }
    return result;
}

HRESULT TCustomEmbeddedBrowser::Exec(const TGUID* CmdGroup, uint32_t nCmdID, uint32_t nCmdexecopt,
                                     const OleVariant& vaIn, OleVariant& vaOut) {
    HRESULT rezult = OLECMDERR_E_NOTSUPPORTED;
    if (CmdGroup && *CmdGroup == wbguid::CGID_DocHostCommandHandler) {
        if (nCmdID == 37 && OnUnload) {
            OnUnload(this);
            return S_OK;
        }
        if (nCmdID == 39) {
            uint32_t now = os::GetTickCount();
            if (OnPreRefresh && now - LastPreRefreshTick() > 150) {
                LastPreRefreshTick() = now;
                OnPreRefresh(this);
            }
            if (FChildWindowNotify &&
                (GetIEWin("Internet Explorer_Server") || GetIEWin("SysListView32")))
                FChildWindowNotify();
        }
    } else if (CmdGroup && *CmdGroup == wbguid::CGID_DocHostCommands) {
        if (nCmdID == 40) return HandleScriptError(vaIn, vaOut) ? S_FALSE : S_OK;
        if (nCmdID == 2300 || nCmdID == 6041 || nCmdID == 6042) {
            if (!OnRefresh) return OLECMDERR_E_NOTSUPPORTED;
            bool cancel = false;
            OnRefresh(this, int(nCmdID), cancel);
            return cancel ? S_OK : OLECMDERR_E_NOTSUPPORTED;
        }
    }
    if (OnCommandExec) OnCommandExec(this, CmdGroup, nCmdID, nCmdexecopt, vaIn, vaOut, rezult);
    return rezult;
}

bool TCustomEmbeddedBrowser::ProvidesService(const TGUID& rsid, const TGUID& iid, void*& Obj) {
    bool yes = (rsid == wbguid::INewWindowManager && OnEvaluateNewWindow) ||
               rsid == wbguid::IProtectFocus ||
               (rsid == wbguid::IDownloadManager && OnFileDownload) ||
               (rsid == wbguid::IHostBehaviorInitialization && OnPopulateNSTable) ||
               (rsid == wbguid::IHTMLOMWindowServices &&
                (FloatingHosting || OnMove || OnMoveBy || OnResize || OnResizeBy)) ||
               (iid == wbguid::IAuthenticate && OnAuthenticate);
    if (yes) Obj = this;
    return yes;
}

HRESULT TCustomEmbeddedBrowser::QueryService(const TGUID& guidService, const TGUID& riid,
                                             void*& Obj) {
    Obj = nullptr;
    if (!ProvidesService(guidService, riid, Obj) && OnQueryService)
        OnQueryService(this, guidService, riid, Obj);
    return Obj ? S_OK : E_NOINTERFACE;
}

HRESULT TCustomEmbeddedBrowser::EvaluateNewWindow(const std::string& pszUrl,
                                                  const std::string& pszName,
                                                  const std::string& pszUrlContext,
                                                  const std::string& pszFeatures, bool fReplace,
                                                  uint32_t dwFlags, uint32_t dwUserActionTime) {
    HRESULT r = E_FAIL;
    if (OnEvaluateNewWindow)
        OnEvaluateNewWindow(this, pszUrl, pszName, pszUrlContext, pszFeatures, fReplace, dwFlags,
                            dwUserActionTime, r);
    return r;
}

HRESULT TCustomEmbeddedBrowser::AllowFocusChange(bool& pfAllow) {
    pfAllow = CanGrabFocus;
    if (OnAllowFocusChange) OnAllowFocusChange(this, pfAllow);
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::Download(const std::string& URL) {
    HRESULT r = E_NOTIMPL;
    if (OnFileDownload) OnFileDownload(this, URL, r);
    return r;
}

namespace {
TForm* parentFormOf(TControl* c) {
    for (TControl* p = c; p; p = p->Parent())
        if (auto* f = dynamic_cast<TForm*>(p)) return f;
    return nullptr;
}
} // namespace

HRESULT TCustomEmbeddedBrowser::moveTo(int x, int y) {
    if (FloatingHosting)
        if (TForm* f = parentFormOf(this)) f->SetBounds(x, y, f->Width(), f->Height());
    if (OnMove) OnMove(this, x, y);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::moveBy(int x, int y) {
    if (FloatingHosting)
        if (TForm* f = parentFormOf(this))
            f->SetBounds(f->Left() + x, f->Top() + y, f->Width(), f->Height());
    if (OnMoveBy) OnMoveBy(this, x, y);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::resizeTo(int x, int y) {
    if (FloatingHosting)
        if (TForm* f = parentFormOf(this)) f->SetBounds(f->Left(), f->Top(), x, y);
    if (OnResize) OnResize(this, x, y);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::resizeBy(int x, int y) {
    if (FloatingHosting)
        if (TForm* f = parentFormOf(this))
            f->SetBounds(f->Left(), f->Top(), f->Width() + x, f->Height() + y);
    if (OnResizeBy) OnResizeBy(this, x, y);
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::Authenticate(HWND& phwnd, std::string& pszUsername,
                                             std::string& pszPassword, bool& UserNameSet,
                                             bool& PasswordSet) {
    phwnd = HandleAllocated() ? Handle() : 0;
    std::string user, pass;
    HRESULT r = S_OK;
    if (OnAuthenticate) OnAuthenticate(this, phwnd, user, pass, r);
    UserNameSet = !user.empty();
    PasswordSet = !pass.empty();
    pszUsername = user;
    pszPassword = pass;
    return r;
}

HRESULT TCustomEmbeddedBrowser::ZoomPercentChanged(uint32_t ulZoomPercent) {
    return OnZoomPercentChange ? OnZoomPercentChange(this, ulZoomPercent) : S_FALSE;
}

HRESULT TCustomEmbeddedBrowser::PopulateNamespaceTable() {
    if (OnPopulateNSTable) OnPopulateNSTable(this);
    return S_OK;
}

HRESULT TCustomEmbeddedBrowser::DragEnter(void* dataObj, int grfKeyState, POINT pt, int& dwEffect) {
    dwEffect = 0;
    HRESULT r = S_OK;
    if (OnDragEnter) OnDragEnter(this, dataObj, grfKeyState, pt, dwEffect, r);
    return r;
}
HRESULT TCustomEmbeddedBrowser::DragOver(int grfKeyState, POINT pt, int& dwEffect) {
    dwEffect = 0;
    HRESULT r = S_OK;
    if (OnDragOver2) OnDragOver2(this, grfKeyState, pt, dwEffect, r);
    return r;
}
HRESULT TCustomEmbeddedBrowser::DragLeave() {
    if (OnDragLeave) OnDragLeave(this);
    return S_OK;
}
HRESULT TCustomEmbeddedBrowser::Drop(void* dataObj, int grfKeyState, POINT pt, int& dwEffect) {
    dwEffect = 0;
    HRESULT r = S_OK;
    if (OnDropEvent) OnDropEvent(this, dataObj, grfKeyState, pt, dwEffect, r);
    return r;
}

HRESULT TCustomEmbeddedBrowser::Invoke(int DispID, uint16_t Flags, const OleVariant& PutValue,
                                       OleVariant* VarResult, TExcepInfo* ExcepInfo) {
    try {
        if ((Flags & DISPATCH_PROPERTYGET) && VarResult) {
            if (DispID == DISPID_AMBIENT_USERAGENT) {
                std::string ua;
                if (FUserAgentQuery && FUserAgentQuery(ua) && !ua.empty()) {
                    *VarResult = ua + "\r\n";
                    return S_OK;
                }
            } else if (DispID == DISPID_AMBIENT_DLCONTROL) {
                *VarResult = int(FDownloadControl);
                return S_OK;
            } else if (DispID == DISPID_AMBIENT_USERMODE) {
                *VarResult = !FDesignMode;
                return S_OK;
            }
        } else if ((Flags & DISPATCH_PROPERTYPUT) && DispID == DISPID_AMBIENT_USERMODE) {
            if (auto p = std::any_cast<bool>(&PutValue)) FDesignMode = !*p;
            return S_OK;
        }
        HRESULT r = DISP_E_MEMBERNOTFOUND;
        OleVariant dummy;
        if (OnInvoke) OnInvoke(this, DispID, Flags, VarResult ? *VarResult : dummy, r);
        return r;
    } catch (const Exception& e) {
        // Our exceptions become the dispatch's exception answer.
        if (ExcepInfo) {
            ExcepInfo->wCode = 9999;
            ExcepInfo->bstrSource = exceptionClassName(e);
            ExcepInfo->bstrDescription = e.what();
            ExcepInfo->dwHelpContext = 0; // our exceptions carry no help context
        }
        return DISP_E_EXCEPTION;
    }
}

bool TCustomEmbeddedBrowser::HasPopupMenuFilter() {
    return bool(OnFilterPopupMenu);
}

void TCustomEmbeddedBrowser::FilterPopupMenu(TObject* Sender, uint32_t ID, TPopupMenu* Menu,
                                             TWebDocument* Context) {
    if (OnFilterPopupMenu) OnFilterPopupMenu(Sender, ID, Menu, Context);
}

void TCustomEmbeddedBrowser::DropEffect(int grfKeyState, int& dwEffect) {
    constexpr int MK_SHIFT_ = 4, MK_CONTROL_ = 8;
    bool shift = grfKeyState & MK_SHIFT_, ctrl = grfKeyState & MK_CONTROL_;
    if (shift && !ctrl && (dwEffect & 2))
        dwEffect = 2;
    else if (ctrl && shift && (dwEffect & 4))
        dwEffect = 4;
    else if (dwEffect & 1)
        dwEffect = 1;
    else if (dwEffect & 2)
        dwEffect = 2;
    else if (dwEffect & 4)
        dwEffect = 4;
    else
        dwEffect = 0;
}

std::string TCustomEmbeddedBrowser::dwEffectToStr(int64_t Command) {
    switch (uint32_t(Command)) {
    case 0:
        return "Drop target cannot accept the data.";
    case 1:
        return "Drag source should copy the data.";
    case 2:
        return "Drag source should remove the data.";
    case 4:
        return "Drag source should create a link to the original data.";
    case 7:
        return "operation was successful.";
    case 0x40100:
        return "The drag-and-drop operation was successful.";
    case 0x40101:
        return "The drag-and-drop operation was canceled.";
    case 0x40102:
        return "Successful completion. Restoring defaults.";
    case 0x80004005:
        return "Unexpected error occurred.";
    case 0x80040100:
        return "Failed to revoke a drop target that has not been registered.";
    case 0x80040102:
        return "Invalid handle returned in the hwnd parameter.";
    case 0x8007000E:
        return "Out of memory.";
    default:
        return "Unknown.";
    }
}

// ---------------------------------------------------------------------------
// Host commands, zoom and document helpers.

HRESULT TCustomEmbeddedBrowser::InvokeCommand(const TGUID* CmdGroup, uint32_t Cmd,
                                              uint32_t nCmdexecopt, OleVariant& vaIn,
                                              OleVariant& vaOut) {
    if (!Document()) return E_UNEXPECTED;
    if (CmdGroup && *CmdGroup == wbguid::CGID_BrowserCommands) {
        if (Cmd == 2) return FView->ViewSource() ? S_OK : E_FAIL;
        return OLECMDERR_E_NOTSUPPORTED;
    }
    return ExecWB(int(Cmd), int(nCmdexecopt), vaIn, vaOut);
}

HRESULT TCustomEmbeddedBrowser::InvokeCommand(const TGUID* CmdGroup, uint32_t Cmd) {
    OleVariant in, out;
    return InvokeCommand(CmdGroup, Cmd, 0, in, out);
}

HRESULT TCustomEmbeddedBrowser::QueryCommandStatus(const TGUID* CmdGroup, uint32_t cCmds,
                                                   uint32_t* prgCmdFlags) {
    if (!Document()) return E_UNEXPECTED;
    for (uint32_t i = 0; i < cCmds; ++i) {
        uint32_t id = prgCmdFlags[i];
        prgCmdFlags[i] = QueryCMDStatus(CmdGroup, id);
    }
    return S_OK;
}

uint32_t TCustomEmbeddedBrowser::QueryCMDStatus(const TGUID* CmdGroup, uint32_t cmdID) {
    if (!Document() || CmdGroup) return 0;
    // Supported (1), enabled (2).
    const char* name = nullptr;
    switch (cmdID) {
    case 11:
        name = "cut";
        break;
    case 12:
        name = "copy";
        break;
    case 13:
        name = "paste";
        break;
    case 15:
        name = "undo";
        break;
    case 16:
        name = "redo";
        break;
    case 17:
        name = "selectAll";
        break;
    case 33:
        name = "delete";
        break;
    case 6:
    case 19:
    case 20:
    case 63:
    case 64:
        return 3;
    default:
        return 0;
    }
    return 1 | (FView->CommandEnabled(name) ? 2 : 0);
}

bool TCustomEmbeddedBrowser::QueryCMDEnabled(const TGUID* CmdGroup, uint32_t cmdID) {
    return (QueryCMDStatus(CmdGroup, cmdID) & 2) != 0;
}

bool TCustomEmbeddedBrowser::QueryCMDLatched(const TGUID* CmdGroup, uint32_t cmdID) {
    return (QueryCMDStatus(CmdGroup, cmdID) & 4) != 0;
}

int TCustomEmbeddedBrowser::Zoom() {
    OleVariant in, out;
    if (InvokeCommand(nullptr, 19, 2, in, out) != S_OK) return 0;
    int v = 0;
    anyOf(out, v);
    return v;
}

void TCustomEmbeddedBrowser::SetZoom(int Value) {
    OleVariant in, out;
    int range = 0;
    if (InvokeCommand(nullptr, 20, 2, in, out) == S_OK) anyOf(out, range);
    int low = range & 0xFFFF, high = (range >> 16) & 0xFFFF;
    if (Value < low) Value = low;
    if (Value > high) Value = high;
    OleVariant v = Value, o;
    InvokeCommand(nullptr, 19, 2, v, o);
}

int TCustomEmbeddedBrowser::ZoomRangeHigh() {
    OleVariant in, out;
    int range = 0;
    if (InvokeCommand(nullptr, 20, 2, in, out) == S_OK) anyOf(out, range);
    return (range >> 16) & 0xFFFF;
}

int TCustomEmbeddedBrowser::ZoomRangeLow() {
    OleVariant in, out;
    int range = 0;
    if (InvokeCommand(nullptr, 20, 2, in, out) == S_OK) anyOf(out, range);
    return range & 0xFFFF;
}

void TCustomEmbeddedBrowser::SetZoomPercent(int Value) {
    if (Value == FZoomPercent) return;
    FZoomPercent = Value;
    OleVariant in, out;
    int range = 0;
    if (InvokeCommand(nullptr, 64, 2, in, out) == S_OK) anyOf(out, range);
    int low = range & 0xFFFF, high = (range >> 16) & 0xFFFF;
    if (Value < low) Value = low;
    if (Value > high) Value = high;
    OleVariant v = Value, answer;
    InvokeCommand(nullptr, 63, 2, v, answer);
    int a = 0;
    anyOf(answer, a);
    if (OnZoomPercentChange) OnZoomPercentChange(this, uint32_t(a));
}

std::string TCustomEmbeddedBrowser::CharactersSet() {
    return Document() ? Document()->charset() : std::string();
}

void TCustomEmbeddedBrowser::SetCharactersSet(const std::string& Value) {
    if (!Document()) return;
    // The page's original bytes are decoded again in the set (refresh level 7).
    FView->SetCharset(Value, true);
}

void TCustomEmbeddedBrowser::SetDesignMode(bool Value) {
    FDesignMode = Value;
    if (Document()) FView->SetDesignMode(Value ? "On" : "Off");
}

TDocDesignMode TCustomEmbeddedBrowser::DocDesignMode() {
    if (!Document()) return ddmUnknown;
    std::string m = Document()->designMode();
    if (m == "On") return ddmOn;
    if (m == "Off") return ddmOff;
    if (m == "Inherit") return ddmInherit;
    return ddmUnknown;
}

void TCustomEmbeddedBrowser::SetDocDesignMode(TDocDesignMode Value) {
    static const char* names[] = {"On", "Off", "Inherit"};
    if (Value == ddmUnknown || !Document()) return;
    Document()->setDesignMode(names[Value]);
}

std::string TCustomEmbeddedBrowser::Cookie() {
    return Document() ? Document()->cookie() : std::string();
}

bool TCustomEmbeddedBrowser::ScrollToElement(const std::string& ElementId) {
    if (ElementId.empty() || !Document()) return false;
    return FView->ScrollToElement(ElementId);
}

void TCustomEmbeddedBrowser::Client2HostWin(int& CX, int& CY) {
    TForm* f = parentFormOf(Parent());
    if (!f) return;
    RECT r{};
    GetClientRect(f->Handle(), &r);
    CX += int(r.right) - Width();
    CY += int(r.bottom) - Height();
}

// ---------------------------------------------------------------------------
// Focus.

void TCustomEmbeddedBrowser::SetFocusToDoc() {
    if (!Document()) return;
    bool saved = CanGrabFocus;
    CanGrabFocus = true;
    if (ServerWindow()) ::SetFocus(ServerWindow());
    FView->Focus();
    TForm* f = nullptr;
    for (TControl* p = this; p; p = p->Parent())
        if (auto* form = dynamic_cast<TForm*>(p)) f = form;
    if (f && CanFocus()) f->ActiveControl = this;
    CanGrabFocus = saved;
}

void TCustomEmbeddedBrowser::SetFocusToBody() {
    if (Document()) FView->Evaluate("document.body&&document.body.focus();true");
}

void TCustomEmbeddedBrowser::SetFocusToParent() {
    if (!HandleAllocated() || !Parent()) return;
    HWND parent = Parent()->Handle();
    RECT r{};
    GetClientRect(parent, &r);
    ::SetParent(Handle(), parent);
    MoveWindow(Handle(), 0, 0, int(r.right), int(r.bottom), 1);
    ::SetFocus(parent);
}

HWND TCustomEmbeddedBrowser::GetIEWin(const std::string& ClassName) {
    if (!HandleAllocated()) return 0;
    for (HWND h = GetWindow(Handle(), GW_CHILD); h; h = GetWindow(h, GW_CHILD))
        if (GetClassName(h) == ClassName) return h;
    return 0;
}
