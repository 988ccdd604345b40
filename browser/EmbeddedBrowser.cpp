#include "browser/EmbeddedBrowser.h"

#include "browser/WbControlComponent.h"
#include "browser/WbLazyLibs.h"
#include "browser/WbTools.h"
#include "classlib/sysutils.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/registry.h"
#include "platform/webview/webview.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

namespace {

constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSKEYUP = CN_BASE + WM_SYSKEYUP;

const char* const kAbout = "Embedded browser component of Lantrove";
const char* const kUAKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
const char* const kUAPostKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
const char* const kUABase = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

uint16_t g_recordedCW = 0x1332;
uint16_t g_currentCW = 0x1332;
TWbControl* g_wbControl = nullptr;

using wbtext::lower;
using wbtext::trim;
using wbtext::upper;

// The dialog hook on owner forms: one entry per hooked form window. An entry
// outlives its browser as a plain pass-through when someone else hooked the
// window after it, so nothing ever calls into a freed browser.
struct DialogHook {
    TEmbeddedBrowser* browser = nullptr;
    WNDPROC previous = nullptr;
};
std::map<HWND, DialogHook>& dialogHooks() {
    static std::map<HWND, DialogHook> h;
    return h;
}
TEmbeddedBrowser* g_hookingBrowser = nullptr;

LRESULT dialogHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = dialogHooks().find(hwnd);
    if (it == dialogHooks().end()) return DefWindowProc(hwnd, msg, wParam, lParam);
    DialogHook hook = it->second;
    if (hook.browser) {
        if (msg == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE && lParam)
            hook.browser->HandleDialog(HWND(lParam));
        if (msg == CM_DIALOGCHAR) return 0;
    }
    if (msg == WM_NCDESTROY) dialogHooks().erase(hwnd);
    return CallWindowProc(hook.previous, hwnd, msg, wParam, lParam);
}

TForm* topFormOf(TControl* c) {
    TForm* found = nullptr;
    for (TControl* p = c; p; p = p->Parent())
        if (auto* f = dynamic_cast<TForm*>(p)) found = f;
    return found;
}

std::string Base64Encode(const std::string& in) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v =
            uint32_t(uint8_t(in[i])) << 16 | uint32_t(uint8_t(in[i + 1])) << 8 | uint8_t(in[i + 2]);
        out += {t[v >> 18], t[(v >> 12) & 63], t[(v >> 6) & 63], t[v & 63]};
    }
    if (i < in.size()) {
        uint32_t v = uint32_t(uint8_t(in[i])) << 16;
        if (i + 1 < in.size()) v |= uint32_t(uint8_t(in[i + 1])) << 8;
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += i + 1 < in.size() ? t[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::vector<TEmbeddedBrowser*>& browserList() {
    static std::vector<TEmbeddedBrowser*> all;
    return all;
}

} // namespace

// ---------------------------------------------------------------------------

void TDisableErrors::SetfpExceptions(bool Value) {
    FfpExceptions = Value;
    g_currentCW = Value ? g_recordedCW : 0x133F;
}

TPrintOptions::TPrintOptions() : FHTMLHeader(std::make_unique<TStringList>()) {
    FHTMLHeader->Add("<HTML></HTML>");
}

void TPrintOptions::SetHTMLHeader(const TStrings* Value) {
    if (Value) FHTMLHeader->Assign(*Value);
}

bool TProxySettings::SetProxy(const std::string& AUserAgent, const std::string& AAddress) {
    bool r = WbSetProxy(AUserAgent, AAddress);
    ProxyChangedFlag() = r;
    return r;
}

bool TProxySettings::SetProxy(const std::string& AUserAgent, const std::string& AAddress,
                              const std::string& AUserName, const std::string& APassword,
                              int APort) {
    bool r = WbSetProxy(AUserAgent, AAddress, AUserName, APort, APassword);
    ProxyChangedFlag() = r;
    return r;
}

bool TProxySettings::SetProxyFromPAC(const std::string& AUserAgent, const std::string& PACFile) {
    bool r = WbSetProxyFromPAC(AUserAgent, PACFile);
    ProxyChangedFlag() = r;
    return r;
}

// ---------------------------------------------------------------------------

uint16_t RecordedFPUControlWord() {
    return g_recordedCW;
}
uint16_t CurrentFPUControlWord() {
    return g_currentCW;
}
TWbControl* GlobalWbControl() {
    return g_wbControl;
}
bool& ProxyChangedFlag() {
    static bool f = false;
    return f;
}
bool& NavSoundsDisabledFlag() {
    static bool f = false;
    return f;
}
bool& PageSetupPendingFlag() {
    static bool f = false;
    return f;
}

void EmbeddedBrowserUnitStart() {
    g_recordedCW = 0x1332;
    PageSetupPendingFlag() = false;
    ProxyChangedFlag() = false;
    NavSoundsDisabledFlag() = false;
    LoadImportedCertificates();
    if (!g_wbControl) {
        g_wbControl = new TWbControl(nullptr);
        g_wbControl->FocusControl()->SetActive(true);
        g_wbControl->MouseWheelFix()->SetActive(true);
    }
    // The engine's processes take longer to start than the first window to
    // build: they start now and the first browser shares them.
    webview::StartEngine();
}

void EmbeddedBrowserUnitStop() {
    if (ProxyChangedFlag()) ResetProxy();
    if (NavSoundsDisabledFlag()) SwitchNavigationSound(false);
    ProxyChangedFlag() = NavSoundsDisabledFlag() = false;
    g_currentCW = g_recordedCW;
    delete g_wbControl;
    g_wbControl = nullptr;
    webview::StopEngineStart();
}

// ---------------------------------------------------------------------------

TEmbeddedBrowser::TEmbeddedBrowser(TComponent* AOwner) : TCustomEmbeddedBrowser(AOwner) {
    FAbout = kAbout;
    FVisibleValue = true;
    FSilentValue = true;
    FPrintOptions = std::make_unique<TPrintOptions>();
    FProxySettings = std::make_unique<TProxySettings>();
    FDisableErrors = std::make_unique<TDisableErrors>();
    FDialogBoxes = std::make_unique<TDialogBoxes>();
    FVisualEffects = std::make_unique<TVisualEffects>();
    FWinXPSP2orLater = CheckXPSP2OrLater();
    FResizing = !FWinXPSP2orLater;
    Encoding = AnsiCodePage();
    FHTMLCode = std::make_unique<TStringList>();
    FHTMLCode->OnChange = [this](TObject* s) { htmlCodeChanged(s); };
    EnableMessageHandler = true;
    FUserAgentQuery = [this](std::string& ua) { return userAgentQuery(ua); };
    FChildWindowNotify = [this] { subclassChildren(); };
    browserList().push_back(this);
}

TEmbeddedBrowser::~TEmbeddedBrowser() {
    auto& all = browserList();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    *FAlive = false;
    FDestroying = true;
    FHTMLCode->OnChange = nullptr;
    if (FVisualEffects->TextSize != 2 && !HasState(csDesigning) && Document()) SetZoom(2);
    if (!HasState(csDesigning)) {
        undoRegistryUserAgent();
        removeDialogHook();
    }
    for (HWND h : FSubclassed)
        if (IsWindow(h)) RemoveProp(h, "LantroveBrowser");
    // The window goes while this object is whole; later messages of the
    // bases' teardown do not reach this class's procedure.
    if (HandleAllocated()) DestroyHandle();
    WindowProc = [this](TMessage& m) { TWinControl::WndProc(m); };
    // Leaves the parent while still a windowed control, so the parent's tab
    // order forgets it too.
    SetParent(nullptr);
}

HWND TEmbeddedBrowser::HWND_() {
    if (!HandleAllocated()) return 0;
    if (HWND h = GetIEWin("Internet Explorer_Server")) return h;
    return GetIEWin("SysListView32");
}

void TEmbeddedBrowser::SetSilent(bool Value) {
    FSilentValue = Value;
    TWB::SetSilent(Value);
}

void TEmbeddedBrowser::SetVisible(bool Value) {
    if (Value != FVisibleValue) {
        FVisibleValue = Value;
        TCustomEmbeddedBrowser::SetVisible(Value);
    }
    if (OnVisible) OnVisible(this, Value);
}

void TEmbeddedBrowser::SetHTMLCode(const TStrings* Value) {
    if (Value) FHTMLCode->Assign(*Value);
}

void TEmbeddedBrowser::htmlCodeChanged(TObject*) {
    if (HasState(csDesigning)) return;
    if (FHTMLCode->Count() != 1) {
        LoadFromStrings(FHTMLCode.get());
        return;
    }
    std::string line = FHTMLCode->Strings(0);
    std::string l4 = lower(line.substr(0, 4)), l6 = lower(line.substr(0, 6));
    if (l4 != "http" && l4 != "www." && l4 != "ftp:" && l4 != "file" && l6 != "about:")
        LoadFromStrings(FHTMLCode.get());
    else
        Go(line, 0);
}

void TEmbeddedBrowser::Loaded() {
    TCustomEmbeddedBrowser::Loaded();
    LoadSettings();
}

void TEmbeddedBrowser::LoadSettings() {
    if (HasState(csDesigning)) return;
    SetModified(false);
    FMeasure = LocaleMeasureSystem();
    EnableMessageHandler = true;
    if (!FWindowProcInstalled) {
        WindowProc = [this](TMessage& m) { browserWndProc(m); };
        FWindowProcInstalled = true;
    }
    if (DisableErrors()->ScriptErrorsSuppressed) ScriptErrorAction = eaContinue;
    g_currentCW = DisableErrors()->fpExceptions() ? g_recordedCW : 0x133F;
    installDialogHook();
    if (ProxySettings()->AutoLoadProxy) RefreshProxy();
    if (VisualEffects()->DisableSounds) {
        DisableNavSound(true);
        NavSoundsDisabledFlag() = true;
    }
    applyUserAgent();
    ApplyAmbient();
}

// ---------------------------------------------------------------------------
// Window procedure and focus.

void TEmbeddedBrowser::CreateWnd() {
    TCustomEmbeddedBrowser::CreateWnd();
    FSubclassed.clear();
}

void TEmbeddedBrowser::BindView(webview::View& View) {
    TCustomEmbeddedBrowser::BindView(View);
    View.OnScriptDialog = [this, answer = View.OnScriptDialog](webview::ScriptDialog& d) {
        if (DialogBoxes()->DisableAll) {
            d.accept = false;
            return;
        }
        answer(d);
    };
}

void TEmbeddedBrowser::browserWndProc(TMessage& M) {
    bool passOn = true;
    if (M.Msg == WM_CLOSE && OnCloseQuery) {
        bool canClose = true;
        OnCloseQuery(this, canClose);
        passOn = canClose;
    }
    if (M.Msg == CN_KEYDOWN || M.Msg == CN_SYSKEYDOWN || M.Msg == CN_KEYUP ||
        M.Msg == CN_SYSKEYUP) {
        bool down = M.Msg == CN_KEYDOWN || M.Msg == CN_SYSKEYDOWN;
        // No folder views here: arrow keys are never taken by folder navigation.
        TKeyEventEx& handler = down ? OnKeyDown : OnKeyUp;
        if (handler) {
            uint16_t key = uint16_t(M.WParam);
            handler(this, key, uint16_t((uintptr_t(M.LParam) >> 16) & 0xFF),
                    KeyShiftState(M.LParam));
            if (key == 0) {
                passOn = false;
                M.Result = 1;
            }
        }
    }
    if (passOn) TCustomEmbeddedBrowser::WndProc(M);
    if (M.Msg == WM_WB_FOCUSDOC) focusStep();
    if (EnableMessageHandler && M.Msg == CN_KEYDOWN && M.WParam == 13) M.Result = 0;
    if (OnMessage) {
        bool handled = (M.Result & 0xFF) != 0;
        OnMessage(this, M, handled);
        M.Result = handled ? 1 : 0;
    }
    if ((M.WParam == WM_LBUTTONDOWN || M.WParam == WM_RBUTTONDOWN) && OnClick &&
        M.Msg == WM_PARENTNOTIFY) {
        // The shift state is the one of the click itself.
        OnClick(this, M.WParam == WM_LBUTTONDOWN ? mbLeft : mbRight, MouseShiftState(FClickKeys),
                int16_t(LOWORD(uintptr_t(M.LParam))), int16_t(HIWORD(uintptr_t(M.LParam))));
    }
    if (M.Msg == WM_SIZE) FResizing = !FWinXPSP2orLater;
    if (M.Msg == WM_GETDLGCODE) M.Result = 0x80;
}

void TEmbeddedBrowser::SetFocus() {
    if (CanFocus()) TCustomEmbeddedBrowser::SetFocus();
}

void TEmbeddedBrowser::focusStep() {
    TForm* f = topFormOf(this);
    if (f && CanFocus()) {
        f->ActiveControl = this;
        SetFocusToDoc();
    }
}

HWND TEmbeddedBrowser::GetIEHandle(TEmbeddedBrowser* WebBrowser, const std::string& ClassName) {
    return WebBrowser ? WebBrowser->GetIEWin(ClassName) : 0;
}

namespace {
LRESULT childSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TEmbeddedBrowser*>(GetProp(hwnd, "LantroveBrowser"));
    auto prev = reinterpret_cast<WNDPROC>(GetProp(hwnd, "LantrovePrevProc"));
    LRESULT r = prev ? CallWindowProc(prev, hwnd, msg, wParam, lParam)
                     : DefWindowProc(hwnd, msg, wParam, lParam);
    if (msg == WM_DESTROY) {
        if (prev) SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        RemoveProp(hwnd, "LantroveBrowser");
        RemoveProp(hwnd, "LantrovePrevProc");
    } else if (msg == WM_SETFOCUS && self) {
        self->Perform(WM_WB_FOCUSDOC, 0, 0);
    }
    return r;
}
} // namespace

void TEmbeddedBrowser::subclassChildren() {
    if (HasState(csDesigning) || (Application && Application->Terminated())) return;
    HWND doc = GetIEWin("Shell DocObject View"), server = GetIEWin("Internet Explorer_Server");
    for (HWND h : {doc, server}) {
        if (!h || GetProp(h, "LantroveBrowser")) continue;
        LONG_PTR prev =
            SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&childSubclassProc));
        SetProp(h, "LantrovePrevProc", reinterpret_cast<void*>(prev));
        SetProp(h, "LantroveBrowser", this);
        FSubclassed.push_back(h);
    }
}

// ---------------------------------------------------------------------------
// Dialog hook.

void TEmbeddedBrowser::installDialogHook() {
    if (HasState(csDesigning) || g_hookingBrowser) return;
    auto* owner = dynamic_cast<TWinControl*>(Owner());
    if (!owner || !owner->HandleAllocated()) return;
    HWND h = owner->Handle();
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&dialogHookProc)));
    dialogHooks()[h] = DialogHook{this, previous};
    g_hookingBrowser = this;
}

void TEmbeddedBrowser::removeDialogHook() {
    // Only the browser that installed the hook removes it, so the hook of
    // another browser is never cut off by this one going away.
    if (g_hookingBrowser != this) return;
    for (auto it = dialogHooks().begin(); it != dialogHooks().end();) {
        if (it->second.browser != this) {
            ++it;
            continue;
        }
        HWND h = it->first;
        if (IsWindow(h) &&
            GetWindowLongPtr(h, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&dialogHookProc)) {
            SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
            it = dialogHooks().erase(it);
        } else {
            // Hooked again after us: stay in the chain as a pass-through.
            it->second.browser = nullptr;
            ++it;
        }
    }
    g_hookingBrowser = nullptr;
}

HRESULT TEmbeddedBrowser::GetHostInfo(TDOCHOSTUIINFO& pInfo) {
    HRESULT r = TCustomEmbeddedBrowser::GetHostInfo(pInfo);
    if (!pInfo.pchHostCss && !HostCSS.empty()) pInfo.pchHostCss = HostCSS;
    if (!pInfo.pchHostNS && !HostNS.empty()) pInfo.pchHostNS = HostNS;
    return r;
}

bool TEmbeddedBrowser::HooksOwner() const {
    for (auto& [h, hook] : dialogHooks())
        if (hook.browser == this) return true;
    return false;
}

void TEmbeddedBrowser::HandleDialog(HWND D) {
    if (!IsWindow(D)) return;
    std::string cls = GetClassName(D);
    int styleEx = std::abs(int(GetWindowLongPtr(D, GWL_EXSTYLE)));
    std::string caption = GetWindowText(D);
    if (cls != "#32770" && cls != "Internet Explorer_TridentDlgFrame") return;
    if (OnShowDialog)
        OnShowDialog(this, D, styleEx, caption, DialogBoxes()->NewCaption,
                     DialogBoxes()->DisableAll);
    if (DialogBoxes()->DisableAll) SendMessage(D, WM_CLOSE, 0, 0);
    if (!IsWindow(D)) return;
    if (DialogBoxes()->ReplaceIcon)
        SendMessage(D, WM_SETICON, 0, LPARAM(Application ? Application->Icon.Handle() : nullptr));
    if (DialogBoxes()->ReplaceCaption) {
        std::string c = caption;
        size_t p = c.find("Microsoft ");
        if (p != std::string::npos) c.erase(p, 10);
        p = c.find("Internet Explorer");
        if (p != std::string::npos) c.replace(p, 17, DialogBoxes()->NewCaption);
        SetWindowText(D, c);
    }
    if (DisableErrors()->ScriptErrorsSuppressed) {
        std::string u = upper(caption);
        if (u.find("SCRIPT") != std::string::npos) {
            PostMessage(D, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            PostMessage(D, WM_LBUTTONUP, 0, 0);
            SendMessage(D, WM_CLOSE, 0, 0);
            MSG m;
            while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
                DispatchMessage(&m);
            return;
        }
        if (u.find("ERROR") != std::string::npos || styleEx == 0x410101) {
            DestroyWindow(D);
            return;
        }
    }
    PageSetupFromHost();
}

bool TEmbeddedBrowser::PageSetupFromHost() {
    if (!PrintOptions()->Enabled || !PageSetupPendingFlag()) return false;
    PageSetupPendingFlag() = false;
    ApplyPrintOptions();
    return true;
}

double TEmbeddedBrowser::MarginInLocaleUnit(double Value) const {
    // The page set-up shows margins in the locale's unit: millimetres for
    // the metric system, inches otherwise.
    if (PrintOptions()->Measure == FMeasure) return Value;
    return FMeasure == mMetric ? Value * 25.4 : Value / 25.4;
}

void TEmbeddedBrowser::ApplyPrintOptions() {
    if (!HandleAllocated() && !FView) return;
    TPrintOptions* o = PrintOptions();
    webview::PageSetup p = WebView()->CurrentPageSetup();
    p.landscape = o->Orientation == poLandScape;
    p.inches = FMeasure != mMetric;
    p.left = MarginInLocaleUnit(o->Margins.Left);
    p.top = MarginInLocaleUnit(o->Margins.Top);
    p.right = MarginInLocaleUnit(o->Margins.Right);
    p.bottom = MarginInLocaleUnit(o->Margins.Bottom);
    WebView()->SetPageSetup(p);
}

bool TEmbeddedBrowser::HasPopupMenuFilter() {
    return TCustomEmbeddedBrowser::HasPopupMenuFilter() || !DisabledPopupMenuItems.empty();
}

void TEmbeddedBrowser::FilterPopupMenu(TObject* Sender, uint32_t ID, TPopupMenu* Menu,
                                       TWebDocument* Context) {
    TCustomEmbeddedBrowser::FilterPopupMenu(Sender, ID, Menu, Context);
    if (!Menu) return;
    // The disabled items go, by the command they stand for.
    for (int i = Menu->Items()->Count() - 1; i >= 0; --i) {
        TMenuItem* item = Menu->Items()->Items(i);
        if (DisabledPopupMenuItems.count(item->Tag)) delete item;
    }
}

bool TEmbeddedBrowser::ControlCommand(int Cmd) {
    switch (Cmd) {
    case 275: // the page in the desktop's browser
        OpenAddressOnDesktop(LocationURL());
        return true;
    case 336: // the engine's version
        ShowEngineVersion(About());
        return true;
    case 284: // a link to the page on the desktop
        WriteDesktopLink(LocationName(), LocationURL());
        return true;
    case 374: // favourites to import and export: their folder
        ShowOrganizeFavorites();
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Navigation.

bool TEmbeddedBrowser::Go(const std::string& Url, uint32_t TimeOut) {
    if (!trim(Url).empty() && os::IsFolder(Url)) {
        Navigate("file:///" + Url);
        return true;
    }
    if (trim(Url).empty()) return true;
    TWB::Navigate(Url, 0, "", "", "");
    return TimeOut != 0 ? Wait(TimeOut) : true;
}

bool TEmbeddedBrowser::NavigateWait(const std::string& URL, uint32_t TimeOut) {
    Navigate(URL);
    return TimeOut != 0 ? Wait(TimeOut) : true;
}

void TEmbeddedBrowser::NavigateFolder(int CSIDL) {
    std::string path = GetSpecialFolderPath(0, CSIDL);
    if (!path.empty()) Navigate(webview::FileUrl(path));
}

void TEmbeddedBrowser::GoBack() {
    try {
        TWB::GoBack();
    } catch (...) {
    }
}
void TEmbeddedBrowser::GoForward() {
    try {
        TWB::GoForward();
    } catch (...) {
    }
}
void TEmbeddedBrowser::Stop() {
    try {
        TWB::Stop();
    } catch (...) {
    }
}

void TEmbeddedBrowser::AssignEmptyDocument(bool bWait) {
    Navigate("about:blank");
    if (bWait) Wait(0);
}

std::string TEmbeddedBrowser::charsetOfEncoding() const {
    return Encoding.empty() ? AnsiCodePage() : Encoding;
}

HRESULT TEmbeddedBrowser::loadBytes(const std::string& Bytes, const std::string& Charset) {
    if (!Document()) AssignEmptyDocument(false);
    std::string folder = os::ProgramFolder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return WebView()->LoadHtml(Bytes, Charset, webview::FileUrl(folder)) ? S_OK : E_FAIL;
}

HRESULT TEmbeddedBrowser::LoadFromWideString(const std::u16string& WideSt) {
    std::string utf8 = Utf16ToUtf8(WideSt);
    TMemoryStream stream;
    stream.WriteString(utf8);
    stream.SetPosition(0);
    if (!Document()) AssignEmptyDocument(false);
    stream.Seek(0, soBeginning);
    return loadBytes(stream.ReadAll(), "UTF-8");
}

HRESULT TEmbeddedBrowser::LoadFromStream(TStream* AStream) {
    if (!AStream) return E_FAIL;
    if (!Document()) AssignEmptyDocument(false);
    AStream->Seek(0, soBeginning);
    std::string bytes = AStream->ReadAll();
    // A byte-order mark names the character set; otherwise the page's own
    // declaration does.
    std::string cs;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) cs = "UTF-8";
    return loadBytes(bytes, cs);
}

HRESULT TEmbeddedBrowser::LoadFromString(const std::string& St) {
    std::string bytes = AnsiCodePageIsUtf8() ? St : Utf8ToAnsi(St);
    HRESULT r = loadBytes(bytes, charsetOfEncoding());
    if (r != S_OK) throw EOleError("The document could not be loaded");
    return S_OK;
}

HRESULT TEmbeddedBrowser::LoadFromStrings(const TStrings* AStrings) {
    try {
        if (!AStrings) return S_FALSE;
        std::string text = AStrings->Text();
        std::string bytes = AnsiCodePageIsUtf8() ? text : Utf8ToAnsi(text);
        return loadBytes(bytes, charsetOfEncoding());
    } catch (...) {
        return S_FALSE;
    }
}

HRESULT TEmbeddedBrowser::LoadFromStrings(const TStrings* AStrings, bool AddHtmlTags) {
    if (!AStrings) return S_FALSE;
    if (!AddHtmlTags || upper(AStrings->Text()).compare(0, 6, "<HTML>") == 0)
        return LoadFromStrings(AStrings);
    TStringList wrapped;
    wrapped.Add("<html>");
    wrapped.Add("<body>");
    wrapped.Add("<body bgcolor=\"#ffffff\">");
    for (int i = 0; i < AStrings->Count(); ++i)
        wrapped.Add(AStrings->Strings(i));
    wrapped.Add("</body>");
    wrapped.Add("</html>");
    return LoadFromStrings(&wrapped);
}

HRESULT TEmbeddedBrowser::LoadFromFile(const std::string& FileName) {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    return LoadFromStream(&f);
}

HRESULT TEmbeddedBrowser::LoadFromImage(TBitmap* Image) {
    if (!Image) return E_FAIL;
    TMemoryStream bmp;
    Image->SaveToStream(&bmp);
    bmp.SetPosition(0);
    std::string page = "<html><body style=\"margin:0\"><img src=\"data:image/bmp;base64," +
                       Base64Encode(bmp.ReadAll()) + "\"></body></html>";
    return loadBytes(page, "UTF-8");
}

// ---------------------------------------------------------------------------
// Document access and waits.

bool TEmbeddedBrowser::DocumentLoaded() {
    return Document() != nullptr;
}

bool TEmbeddedBrowser::DocumentLoaded(TWebDocument*& Doc2) {
    Doc2 = Document();
    return Doc2 != nullptr;
}

TWebDocument* TEmbeddedBrowser::GetDocument() {
    Wait(0);
    return Document();
}

uint32_t& TEmbeddedBrowser::UnboundedWaitLimitMs() {
    static uint32_t limit = 60000;
    return limit;
}

namespace {

void pumpOnce() {
    if (Application) {
        Application->ProcessMessages();
    } else {
        MSG m;
        while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

bool TEmbeddedBrowser::Wait(uint32_t TimeOut) {
    if (!HandleAllocated()) return true;
    std::shared_ptr<bool> alive = FAlive;
    uint32_t start = os::GetTickCount();
    bool cancel = false;
    while (*alive && !FDestroying && ReadyState() != 4) {
        if (OnBusyWait) OnBusyWait(this, start, TimeOut, cancel);
        uint32_t elapsed = os::GetTickCount() - start;
        if (cancel || (TimeOut != 0 && elapsed > TimeOut)) return false;
        // Without a limit the wait still ends: a page that never completes
        // is reported as a failed wait.
        if (TimeOut == 0 && elapsed > UnboundedWaitLimitMs()) return false;
        if (Application && Application->Terminated()) return true;
        pumpOnce();
    }
    return true;
}

bool TEmbeddedBrowser::WaitWhileBusy(uint32_t TimeOut) {
    std::shared_ptr<bool> alive = FAlive;
    uint32_t start = os::GetTickCount();
    bool cancel = false;
    while (*alive && !FDestroying && Busy()) {
        if (OnBusyWait) OnBusyWait(this, start, TimeOut, cancel);
        uint32_t elapsed = os::GetTickCount() - start;
        if (cancel || (TimeOut != 0 && elapsed > TimeOut)) return false;
        if (TimeOut == 0 && elapsed > UnboundedWaitLimitMs()) return false;
        if (Application && Application->Terminated()) return true;
        pumpOnce();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Editing commands and document state.

HRESULT TEmbeddedBrowser::InvokeCMD(bool InvokeIE, int Value1, int Value2, OleVariant& vaIn,
                                    OleVariant& vaOut) {
    return InvokeCommand(InvokeIE ? &wbguid::CGID_BrowserCommands : nullptr, uint32_t(Value1),
                         uint32_t(Value2), vaIn, vaOut);
}

namespace {
bool standardCommand(TEmbeddedBrowser* b, int cmd) {
    OleVariant in, out;
    return b->InvokeCMD(false, cmd, 0, in, out) == S_OK;
}
} // namespace

bool TEmbeddedBrowser::Cut() {
    return standardCommand(this, 11);
}
bool TEmbeddedBrowser::Copy() {
    return standardCommand(this, 12);
}
bool TEmbeddedBrowser::Paste() {
    return standardCommand(this, 13);
}
bool TEmbeddedBrowser::PasteSpecial() {
    return standardCommand(this, 14);
}
bool TEmbeddedBrowser::Undo() {
    return standardCommand(this, 15);
}
bool TEmbeddedBrowser::Redo() {
    return standardCommand(this, 16);
}
bool TEmbeddedBrowser::SelectAll() {
    return standardCommand(this, 17);
}
bool TEmbeddedBrowser::ClearSelection() {
    return standardCommand(this, 18);
}
bool TEmbeddedBrowser::Delete() {
    return standardCommand(this, 33);
}

bool TEmbeddedBrowser::IsCommandEnabled(const std::string& sCmdId) {
    return Document() && FView->CommandEnabled(sCmdId);
}

bool TEmbeddedBrowser::VariantIsObject(const OleVariant& value) {
    return std::any_cast<TWebDocument*>(&value) != nullptr;
}

std::string TEmbeddedBrowser::GetIEHomePage() {
    std::string v;
    os::RegReadValue(os::RegRoot::CurrentUser, "\\Software\\Microsoft\\Internet Explorer\\Main",
                     "Start Page", v);
    return v;
}

bool TEmbeddedBrowser::Modified() {
    return FModified;
}

void TEmbeddedBrowser::SetModified(bool) {
    if (!FModified && ReadyState() == 4 && Document()) FModified = FView->CommandEnabled("Undo");
}

bool TEmbeddedBrowser::DesignMode() {
    return Document() && Document()->designMode() == "On";
}

void TEmbeddedBrowser::SetDesignMode(bool Value) {
    if (Document()) Document()->setDesignMode(Value ? "On" : "Off");
}

// ---------------------------------------------------------------------------
// Selection and search.

std::string TEmbeddedBrowser::GetSelectedText(bool ReturnAsHTML, bool) {
    if (!Document() || Document()->readyState() != "complete") return {};
    return FView->SelectedText(ReturnAsHTML);
}

int TEmbeddedBrowser::GetSelLength(bool bOnlyTopLevel) {
    return int(GetSelectedText(false, bOnlyTopLevel).size());
}

TSearchResults TEmbeddedBrowser::SearchNextText(const std::string& Value,
                                                TSearchDirections Direction, bool AutoSelect) {
    TSearchResults result;
    if (lower(Value) != lower(FSearchText)) {
        FHaveRange = false;
        FSearchText = Value;
        FLastMatch = 0;
        if (FView) FView->FindFinish();
    }
    if (FSearchText.empty() || !GetDocument()) return {srNotFound};
    FHaveRange = true;
    webview::FindOptions o;
    o.backwards = Direction == sdUp;
    bool found = FView->Find(FSearchText, o);
    (void)AutoSelect; // the match found is the selection of the page
    if (found) {
        result.insert(srFound);
        FLastMatch = int(Direction) + 1;
    } else {
        result.insert(srNotFound);
        FLastMatch = 0;
    }
    if (FLastDirection == Direction && FLastMatch == 0) result.insert(srEndOf);
    FLastDirection = Direction;
    return result;
}

// ---------------------------------------------------------------------------
// Saving and printing.

HRESULT TEmbeddedBrowser::SaveToFile(const std::string& FileName) {
    Wait(0);
    if (!Document()) return S_FALSE;
    return FView->SaveTo(FileName) ? S_OK : E_FAIL;
}

HRESULT TEmbeddedBrowser::SaveToStream(TStream* AStream) {
    Wait(0);
    if (!Document() || !AStream) return S_FALSE;
    AStream->WriteString("<!DOCTYPE html>\n" + FView->DocumentHtml());
    return S_OK;
}

HRESULT TEmbeddedBrowser::SaveToStrings(TStrings* AStrings) {
    TMemoryStream m;
    HRESULT r = SaveToStream(&m);
    if (r == S_OK && AStrings) {
        m.SetPosition(0);
        AStrings->SetText(m.ReadAll());
    }
    return r;
}

bool TEmbeddedBrowser::Print() {
    Wait(0);
    TPrintOptions* o = PrintOptions();
    if (o->Enabled) return WbPrint(this, o->HideSetup, false, "", "");
    return WbPrint(this, o->HideSetup, true, o->Header, o->Footer);
}

bool TEmbeddedBrowser::PrintWithOptions() {
    Wait(0);
    return WbPrintWithOptions(this, PrintOptions()->HideSetup, PrintOptions()->Enabled);
}

bool TEmbeddedBrowser::PrintPreview() {
    return WbPrintPreview(this);
}

bool TEmbeddedBrowser::PageSetup(bool UsePrintOptions) {
    Wait(0);
    return WbPageSetup(this, UsePrintOptions, PrintOptions()->Enabled);
}

bool TEmbeddedBrowser::ViewPageSourceHtml() {
    Wait(0);
    return InvokeCommand(&wbguid::CGID_BrowserCommands, 2) == S_OK;
}

bool TEmbeddedBrowser::RefreshProxy() {
    TProxySettings* p = ProxySettings();
    if (!p->UserName.empty())
        return p->SetProxy(p->UserAgent, p->Address, p->UserName, p->Password, p->Port);
    return p->SetProxy(p->UserAgent, p->Address + ":" + std::to_string(p->Port));
}

void TEmbeddedBrowser::DisableNavSound(bool bDisable) {
    if (ReadIEMajorVersion() < 7)
        SwitchNavigationSound(bDisable);
    else
        FeatureSwitch(21, 2, bDisable);
}

// ---------------------------------------------------------------------------
// User agent.

bool TEmbeddedBrowser::userAgentQuery(std::string& UA) {
    if (FUserAgentMode != uaInternal || FUserAgent.empty()) return false;
    UA = FUserAgent;
    return true;
}

void TEmbeddedBrowser::SetUserAgent(const std::string& Value) {
    if (Value == FUserAgent) return;
    FUserAgent = Value;
    applyUserAgent();
}

void TEmbeddedBrowser::SetUserAgentMode(TUserAgentMode Value) {
    if (Value == FUserAgentMode) return;
    FUserAgentMode = Value;
    applyUserAgent();
}

void TEmbeddedBrowser::applyUserAgent() {
    switch (FUserAgentMode) {
    case uaDefault:
        undoRegistryUserAgent();
        FUserAgentGiven.clear();
        ApplyAmbient();
        break;
    case uaInternal:
        if (FUserAgent != FUserAgentGiven) {
            undoRegistryUserAgent();
            FUserAgentGiven = FUserAgent;
            ApplyAmbient();
        }
        break;
    case uaRegistry: {
        std::string text = std::string(kUABase) + "(" + FUserAgent + ")";
        if (text != FUserAgentRegistry) {
            undoRegistryUserAgent();
            FUserAgentRegistry = text;
            if (!HasState(csDesigning)) {
                os::RegWriteValue(os::RegRoot::CurrentUser, kUAPostKey, text, "");
                FUserAgentWritten = true;
                // The engine reads the registry's user agent afresh.
                ApplyAmbient();
            }
        }
        break;
    }
    }
}

void TEmbeddedBrowser::undoRegistryUserAgent() {
    if (FUserAgentRegistry.empty() || !FUserAgentWritten) {
        if (HasState(csDesigning)) FUserAgentRegistry.clear();
        return;
    }
    if (os::RegKeyExists(os::RegRoot::CurrentUser, kUAKey)) {
        os::RegDeleteKey(os::RegRoot::CurrentUser, kUAPostKey);
        os::RegWriteValue(os::RegRoot::CurrentUser, kUAPostKey, kUABase, "");
        FUserAgentRegistry.clear();
        FUserAgentWritten = false;
        if (!FDestroying) ApplyAmbient();
    }
}

// ---------------------------------------------------------------------------
// Tool operations: most hand the call to the tool routines.

const std::vector<TEmbeddedBrowser*>& TEmbeddedBrowser::Instances() {
    return browserList();
}

void TEmbeddedBrowser::InvokeIEServerCommand(int Cmd) {
    if (HandleAllocated()) SendMessage(Handle(), WM_COMMAND, WPARAM(Cmd), 0);
}
void TEmbeddedBrowser::ShowImportExportFavoritesAndCookies() {
    InvokeIEServerCommand(374);
}
void TEmbeddedBrowser::ShowAboutBox() {
    // The control's about box; its window's command when that cannot show.
    if (!ShowEngineVersion(About()))
        if (HWND doc = DocObjectWindow()) SendMessage(doc, WM_COMMAND, 336, 0);
}
bool TEmbeddedBrowser::DownloadFile(const std::string& SourceFile, const std::string& DestFile) {
    try {
        return DownloadUrlToFile(SourceFile, DestFile);
    } catch (...) {
        return false;
    }
}

TWebDocument* TEmbeddedBrowser::frameDoc(const std::vector<int>& Path) {
    if (!FView) return nullptr;
    auto& slot = FFrameDocs[Path];
    if (!slot) slot = std::make_unique<TWebDocument>(FView.get(), Path);
    return slot.get();
}

TWebDocument* TEmbeddedBrowser::GetFrameFromDocument(TWebDocument* SourceDoc, int FrameNo) {
    if (!Document() || !SourceDoc || FrameNo < 0 || FrameNo >= ::FrameCountFromDocument(SourceDoc))
        return nullptr;
    std::vector<int> path = SourceDoc->FramePath();
    path.push_back(FrameNo);
    TWebDocument* d = frameDoc(path);
    return d && d->Loaded() ? d : nullptr;
}

TWebDocument* TEmbeddedBrowser::GetFrame(int FrameNo) {
    return GetFrameFromDocument(Document(), FrameNo);
}

TWebDocument* TEmbeddedBrowser::GetActiveFrame() {
    return GetActiveFrame(Document());
}

TWebDocument* TEmbeddedBrowser::GetActiveFrame(TWebDocument* Doc) {
    if (!Doc || !Doc->Loaded()) return Doc;
    TWebDocument* at = Doc;
    for (int depth = 0; depth < 32; ++depth) {
        auto r = at->Evaluate("(function(){var a=document.activeElement;"
                              "if(!a||!/^I?FRAME$/.test(a.tagName)||!a.contentDocument)return -1;"
                              "for(var i=0;i<window.frames.length;i++)"
                              "if(window.frames[i]===a.contentWindow)return i;return -1})()");
        int index = r.ok ? std::atoi(r.value.c_str()) : -1;
        if (index < 0) break;
        std::vector<int> path = at->FramePath();
        path.push_back(index);
        TWebDocument* inner = frameDoc(path);
        if (!inner->Loaded()) break;
        at = inner;
    }
    return at;
}

void TEmbeddedBrowser::RefreshFrame(int FrameNo) {
    Wait(0);
    if (TWebDocument* f = GetFrame(FrameNo)) f->Evaluate("location.reload()");
}

TWebDocument* TEmbeddedBrowser::NavigateToFrame(const std::string& FrameList) {
    TWebDocument* at = Document();
    size_t start = 0;
    while (at && start <= FrameList.size()) {
        size_t comma = FrameList.find(',', start);
        std::string item = trim(FrameList.substr(start, comma - start));
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos)
            return nullptr;
        at = GetFrameFromDocument(at, std::atoi(item.c_str()));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return at;
}

int TEmbeddedBrowser::FrameCount() {
    Wait(0);
    return ::FrameCount(this);
}
int TEmbeddedBrowser::FrameCountFromDocument(TWebDocument* SourceDoc) {
    return ::FrameCountFromDocument(SourceDoc);
}

HRESULT TEmbeddedBrowser::SaveFrameToStream(int FrameNo, TStream* AStream) {
    Wait(0);
    TWebDocument* f = GetFrame(FrameNo);
    if (!f || !AStream) return S_FALSE;
    AStream->WriteString("<!DOCTYPE html>\n" + f->outerHTML());
    return S_OK;
}
HRESULT TEmbeddedBrowser::SaveFrameToFile(int FrameNo, const std::string& FName) {
    TMemoryStream m;
    HRESULT r = SaveFrameToStream(FrameNo, &m);
    if (r != S_OK) return r;
    m.SetPosition(0);
    return os::WriteFileAtomic(FName, m.ReadAll(), nullptr) ? S_OK : E_FAIL;
}
HRESULT TEmbeddedBrowser::SaveFrameToStrings(int FrameNo, TStrings* AStrings) {
    TMemoryStream m;
    HRESULT r = SaveFrameToStream(FrameNo, &m);
    if (r == S_OK && AStrings) {
        m.SetPosition(0);
        AStrings->SetText(m.ReadAll());
    }
    return r;
}
HRESULT TEmbeddedBrowser::LoadFrameFromStream(int FrameNo, TStream* AStream) {
    try {
        TWebDocument* f = GetFrame(FrameNo);
        if (!f || !AStream) return S_FALSE;
        AStream->SetPosition(0);
        std::string html = AStream->ReadAll();
        auto r = f->Evaluate("document.open();document.write(" + webview::JsString(html) +
                             ");document.close();true");
        return r.ok ? S_OK : S_FALSE;
    } catch (...) {
        return S_FALSE;
    }
}
HRESULT TEmbeddedBrowser::LoadFrameFromStrings(int FrameNo, const TStrings* AStrings) {
    if (!AStrings) return S_FALSE;
    TMemoryStream m;
    m.WriteString(AStrings->Text());
    return LoadFrameFromStream(FrameNo, &m);
}

bool TEmbeddedBrowser::SearchText(const std::string& Value, int iPos) {
    return ::SearchText(this, Value, iPos);
}
bool TEmbeddedBrowser::SearchString(const std::string& strText) {
    return ::SearchString(this, strText);
}
int TEmbeddedBrowser::SearchAndHighlight(const std::string& aText, int Flags,
                                         const std::string& cbackColor,
                                         const std::string& cForeColor,
                                         TScrollIntoView ScrollIntoView) {
    Wait(0);
    return ::SearchAndHighlight(this, aText, Flags, cbackColor, cForeColor, int(ScrollIntoView));
}
int TEmbeddedBrowser::SearchAndHighlight(const std::string& ACaption, const std::string& APrompt,
                                         int Flags, const std::string& cbackColor,
                                         const std::string& cForeColor,
                                         TScrollIntoView ScrollIntoView) {
    std::string text;
    if (!WbInputBox || !WbInputBox(ACaption, APrompt, text) || text.empty()) return 0;
    return SearchAndHighlight(text, Flags, cbackColor, cForeColor, ScrollIntoView);
}
std::string TEmbeddedBrowser::GetWordAtCursor(int X, int Y) {
    return ::GetWordAtCursor(this, X, Y);
}

bool TEmbeddedBrowser::PrintPreviewExtended(int nCMDShow) {
    return ::PrintPreviewExtended(this, nCMDShow);
}
bool TEmbeddedBrowser::PrintSetup() {
    Wait(0);
    return ::PrintSetup(this, PrintOptions()->HideSetup);
}
bool TEmbeddedBrowser::PrintPreviewFromTemplate(const std::string& TemplateFileName) {
    return ::PrintPreviewFromTemplate(this, TemplateFileName);
}

bool TEmbeddedBrowser::OpenDialog() {
    return ::OpenDialog(this);
}
bool TEmbeddedBrowser::SaveDialog() {
    return ::SaveDialog(this);
}
std::string TEmbeddedBrowser::SaveDialogEx(const std::string& AFilter, const std::string& ATitle) {
    return ::SaveDialogEx(this, AFilter, ATitle);
}
bool TEmbeddedBrowser::ShowInternetOptions() {
    return ::ShowInternetOptions(this);
}
bool TEmbeddedBrowser::ShowPageProperties() {
    return ::ShowPageProperties(this);
}
bool TEmbeddedBrowser::ShowOrganizeFavorites() {
    return ::ShowOrganizeFavorites();
}
bool TEmbeddedBrowser::ShowFindDialog() {
    return ::ShowFindDialog(this);
}
int TEmbeddedBrowser::SaveImagesDialog() {
    return ::SaveImagesDialog(this);
}
bool TEmbeddedBrowser::SavePageTextDialog() {
    return ::SavePageTextDialog(this);
}
void TEmbeddedBrowser::ShowIEVersionInfo() {
    ::ShowIEVersionInfo(this);
}
void TEmbeddedBrowser::CreateDesktopShortcut() {
    ::CreateDesktopShortcut(this);
}
void TEmbeddedBrowser::OpenIEBrowserWithAddress() {
    ::OpenIEBrowserWithAddress(this);
}
bool TEmbeddedBrowser::ExploreFolder(const std::string& Path) {
    return ::ExploreFolder(Path);
}
bool TEmbeddedBrowser::OpenClient(const std::string& Client) {
    return ::OpenClient(Client);
}

std::string TEmbeddedBrowser::DocumentSource() {
    return ::DocumentSource(this);
}
std::string TEmbeddedBrowser::DocumentSourceText() {
    return ::DocumentSourceText(this);
}
void TEmbeddedBrowser::ViewPageSourceText() {
    ::ViewPageSourceText(this);
}
void TEmbeddedBrowser::ViewPageSourceTextToStrings(TStrings* TextList) {
    ::ViewPageSourceTextToStrings(this, TextList);
}
void TEmbeddedBrowser::ViewPageSourceHtmlToStrings(TStrings* HtmlList) {
    ::ViewPageSourceHtmlToStrings(this, HtmlList);
}
void TEmbeddedBrowser::ViewPageLinksToStrings(TStrings* LinksList) {
    ::ViewPageLinksToStrings(this, LinksList);
}
bool TEmbeddedBrowser::AddHtmlToAboutBlank(const std::string& StringToHtml) {
    return ::AddHtmlToAboutBlank(this, StringToHtml);
}

void TEmbeddedBrowser::ScrollToTop() {
    Wait(0);
    ::ScrollToTop(this);
}
void TEmbeddedBrowser::ScrollToBottom() {
    Wait(0);
    ::ScrollToBottom(this);
}
void TEmbeddedBrowser::ScrollToPosition(int X, int Y) {
    Wait(0);
    ::ScrollToPosition(this, X, Y);
}
bool TEmbeddedBrowser::ScrollToID(int ID) {
    return ::ScrollToID(this, ID);
}
bool TEmbeddedBrowser::ScrollToIDEx(const std::string& ID) {
    return ::ScrollToIDEx(this, ID);
}
bool TEmbeddedBrowser::HScrollBarVisible() {
    return ::HScrollBarVisible(this);
}
bool TEmbeddedBrowser::VScrollBarVisible() {
    return ::VScrollBarVisible(this);
}
int TEmbeddedBrowser::HScrollBarPosition() {
    return ::HScrollBarPosition(this);
}
int TEmbeddedBrowser::VScrollBarPosition() {
    return ::VScrollBarPosition(this);
}

bool TEmbeddedBrowser::GetThumbnail(TImage* Image) {
    return ::GetThumbnail(this, Image);
}
bool TEmbeddedBrowser::GetBmpFromBrowser(const std::string& FileName) {
    return ::GetBmpFromBrowser(this, FileName);
}
bool TEmbeddedBrowser::GetJpegFromBrowser(const std::string& FileName, int SourceHeight,
                                          int SourceWidth, int TargetHeight, int TargetWidth) {
    return ::GetJpegFromBrowser(this, FileName, SourceHeight, SourceWidth, TargetHeight,
                                TargetWidth);
}
bool TEmbeddedBrowser::SetCharartersSet(const std::string& ACharactersSet, bool Refresh) {
    return ::SetCharartersSet(this, ACharactersSet, Refresh);
}

void TEmbeddedBrowser::GoSearchInGoogle(const std::string& SearchTerm) {
    ::GoSearchInGoogle(this, SearchTerm);
}
void TEmbeddedBrowser::GoSearchInMSN(const std::string& SearchTerm) {
    ::GoSearchInMSN(this, SearchTerm);
}
void TEmbeddedBrowser::GoSearchInYahoo(const std::string& SearchTerm) {
    ::GoSearchInYahoo(this, SearchTerm);
}
void TEmbeddedBrowser::GoDownloadFile(const std::string& URL) {
    ::GoDownloadFile(this, URL);
}
bool TEmbeddedBrowser::GoDownloadMaskedFile(const std::string& SourceFile,
                                            const std::string& TargetFile, bool Notify) {
    return ::GoDownloadMaskedFile(SourceFile, TargetFile, Notify);
}
void TEmbeddedBrowser::GoWithQueryDetails(const std::string& Url, const std::string& Query) {
    ::GoWithQueryDetails(this, Url, Query);
}
void TEmbeddedBrowser::GoNoHistory(const std::string& URL) {
    ::GoNoHistory(this, URL);
}
void TEmbeddedBrowser::GoAboutBlank() {
    ::GoAboutBlank(this);
}

bool TEmbeddedBrowser::AddToRestrictedSiteList(const std::string& URL) {
    return ::AddToRestrictedSiteList(URL);
}
bool TEmbeddedBrowser::AddToTrustedSiteList(const std::string& URL) {
    return ::AddToTrustedSiteList(URL);
}
bool TEmbeddedBrowser::CheckIfInTrustedList(const std::string& Host, bool SecureSite) {
    return ::CheckIfInTrustedList(Host, SecureSite);
}
bool TEmbeddedBrowser::CheckIfInRestricredList(const std::string& Host, bool SecureSite) {
    return ::CheckIfInRestricredList(Host, SecureSite);
}
bool TEmbeddedBrowser::ImportCertFile(const std::string& FileName, const std::string& StoreType) {
    return ::ImportCertFile(FileName, StoreType);
}
bool TEmbeddedBrowser::GetZoneIcon(const std::string& IconPath, TBitmap* Icon) {
    return ::GetZoneIcon(IconPath, Icon);
}
bool TEmbeddedBrowser::GetZoneAttributes(const std::string& URL, TZoneAttributes& Attributes) {
    return ::GetZoneAttributes(URL, Attributes);
}
bool TEmbeddedBrowser::GetZoneIconToForm() {
    return ::GetZoneIconToForm(LocationURL());
}
bool TEmbeddedBrowser::GetSSLStatus(std::string& SSLName, std::string& SSLDescription) {
    return ::GetSSLStatus(this, LocationURL(), SSLName, SSLDescription);
}
bool TEmbeddedBrowser::GetURLSecurityZone(std::string& ZoneName, std::string& ZoneDescription,
                                          TBitmap* Icon) {
    return ::GetURLSecurityZone(LocationURL(), ZoneName, ZoneDescription, Icon);
}

bool TEmbeddedBrowser::ClearCache() {
    return ::ClearCache();
}
void TEmbeddedBrowser::ClearTypedUrls() {
    ::ClearTypedUrls();
}
bool TEmbeddedBrowser::ClearHistory() {
    return ::ClearHistory();
}
bool TEmbeddedBrowser::CheckOnlineStatus() {
    return ::CheckOnlineStatus();
}
bool TEmbeddedBrowser::IsGlobalOffline() {
    return ::IsGlobalOffline();
}
void TEmbeddedBrowser::WorkOnline() {
    WorkOnlineMode();
}
void TEmbeddedBrowser::WorkOffline() {
    WorkOfflineMode();
}
std::string TEmbeddedBrowser::GetCookiesPath() {
    return ::GetCookiesPath();
}
std::string TEmbeddedBrowser::GetHistoryPath() {
    return ::GetHistoryPath();
}
std::string TEmbeddedBrowser::GetFavoritesPath() {
    return ::GetFavoritesPath();
}
std::string TEmbeddedBrowser::GetDefaultBrowserFromRegistry() {
    return ::GetDefaultBrowserFromRegistry();
}
std::string TEmbeddedBrowser::GetSpecialFolderPath(HWND CallerHandle, int CSIDL) {
    return ::GetSpecialFolderPath(CallerHandle, CSIDL);
}
std::string TEmbeddedBrowser::GetCachedFileFromURL(const std::string& ItemUrl) {
    return ::GetCachedFileFromURL(ItemUrl);
}
std::string TEmbeddedBrowser::URLFromFavorites(const std::string& dotURL) {
    return ::URLFromFavorites(dotURL);
}
std::string TEmbeddedBrowser::UrlFromHistory(const std::string& InfoTip) {
    return ::UrlFromHistory(InfoTip);
}
bool TEmbeddedBrowser::GetIPAndHostName(std::string& HostName, std::string& IPaddr,
                                        std::string& WSAErr) {
    return ::GetIPAndHostName(HostName, IPaddr, WSAErr);
}
void TEmbeddedBrowser::SetNewHomePage(const std::string& HomePage) {
    ::SetNewHomePage(HomePage);
}
bool TEmbeddedBrowser::GetLastVisitedPage(std::string& LastVisitedPage) {
    return ::GetLastVisitedPage(LastVisitedPage);
}
bool TEmbeddedBrowser::SaveLastVisitedPage() {
    return ::SaveLastVisitedPage(LocationURL());
}
bool TEmbeddedBrowser::AddToFavorites(const std::string& URL, const std::string& Title) {
    return ::AddToFavorites(URL, Title);
}
void TEmbeddedBrowser::RestoreApplicationFormSize() {
    ::RestoreApplicationFormSize(Application ? Application->MainForm() : nullptr);
}
void TEmbeddedBrowser::SaveApplicationFormSize() {
    ::SaveApplicationFormSize(Application ? Application->MainForm() : nullptr);
}
std::string TEmbeddedBrowser::GetCookie() {
    return Cookie();
}

bool TEmbeddedBrowser::SendPageInMailAsAttachment(TComponent* aOwner, const std::string& FileName,
                                                  const std::string& Subject,
                                                  const std::string& Body) {
    return ::SendPageInMailAsAttachment(this, aOwner, FileName, Subject, Body);
}
bool TEmbeddedBrowser::CreateNewMail() {
    return ::CreateNewMail();
}
bool TEmbeddedBrowser::SendURLInMail() {
    return ::SendURLInMail(LocationName(), LocationURL());
}

void TEmbeddedBrowser::ExecScript(const std::string& sExpression, const std::string& sLanguage) {
    ::ExecScript(this, sExpression, sLanguage);
}
std::string TEmbeddedBrowser::ExecScriptEx(const std::string& MethodName,
                                           const std::vector<OleVariant>& Args) {
    return ::ExecScriptEx(this, MethodName, Args);
}
bool TEmbeddedBrowser::FillForm(const std::string& FieldName, const std::string& Value,
                                int ElementNr) {
    return ::FillForm(this, FieldName, Value, ElementNr);
}
std::string TEmbeddedBrowser::GetFieldValue(const std::string& FieldName) {
    return ::GetFieldValue(this, FieldName);
}
void TEmbeddedBrowser::FillFormAndExcecute() {
    ::FillFormAndExcecute();
}

bool TEmbeddedBrowser::IsValidProtocol(const std::string& URL) {
    return ::IsValidProtocol(URL);
}
std::string TEmbeddedBrowser::DecodeUrl(const std::string& InputStr) {
    return ::DecodeUrl(InputStr);
}
std::string TEmbeddedBrowser::EncodeUrl(const std::string& InputStr, bool bQueryStr) {
    return ::EncodeUrl(InputStr, bQueryStr);
}
