#include "browser/WbTools.h"

#include "browser/EmbeddedBrowser.h"
#include "browser/SendMail_For_Wb.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/inifiles.h"
#include "classlib/sysutils.h"
#include "platform/os/codepage.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/netinfo.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "platform/webview/webkit.h"
#include "platform/win/window.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <thread>

using os::RegRoot;

std::function<void(const std::string& Caption, const std::string& Text)> WbMessageBox =
    [](const std::string&, const std::string&) {};

namespace {

const char* const kInternetSettings =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kNavigating = "AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\";
const char* const kZoneDomains =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\";
const char* const kZoneEscDomains =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\EscDomains\\";
const char* const kShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

webview::View* viewOf(TEmbeddedBrowser* b) {
    return b && b->Document() ? b->WebView() : nullptr;
}

std::string appTitle() {
    return Application && !Application->Title.empty() ? Application->Title : "Lantrove";
}

void splitLines(const std::string& text, TStrings* list) {
    list->Clear();
    list->SetText(text);
}

bool connectionOptions(const std::string& server, const std::string& bypass, const std::string& pac,
                       bool enable) {
    bool ok = os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable",
                                enable ? "1" : "0");
    ok &= os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", server);
    ok &= os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "ProxyOverride", bypass);
    ok &= os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "AutoConfigURL", pac);
    webview::engine_data::SetProxy(enable ? server : "", bypass, pac);
    return ok;
}

std::string hostOf(const std::string& address) {
    std::string a = address;
    size_t scheme = a.find("://");
    if (scheme != std::string::npos) a = a.substr(scheme + 3);
    a = a.substr(0, a.find('/'));
    size_t colon = a.rfind(':');
    if (colon != std::string::npos && a.find(']') == std::string::npos) a = a.substr(0, colon);
    return a;
}

} // namespace

// ---------------------------------------------------------------------------
// Versions and sounds.

bool CheckXPSP2OrLater() {
    return true;
}

std::string ReadIEVersion() {
    return trim(webview::engine_data::EngineVersion());
}

int MajorVersionOf(const std::string& VersionText) {
    size_t dot = VersionText.find('.');
    if (dot == std::string::npos) return -1;
    std::string head = VersionText.substr(0, dot);
    if (head.empty() || head.find_first_not_of("0123456789") != std::string::npos) return -1;
    try {
        return std::stoi(head);
    } catch (...) {
        return -1;
    }
}

int ReadIEMajorVersion() {
    return MajorVersionOf(ReadIEVersion());
}

void SwitchNavigationSound(bool Disable) {
    std::string base = kNavigating;
    if (Disable) {
        if (os::RegKeyExists(RegRoot::CurrentUser, base + ".Current"))
            os::RegMoveKey(RegRoot::CurrentUser, base + ".Current", base + "Old_Current");
    } else if (os::RegKeyExists(RegRoot::CurrentUser, base + "Old_Current")) {
        os::RegMoveKey(RegRoot::CurrentUser, base + "Old_Current", base + ".Current");
    }
}

TMeasure LocaleMeasureSystem() {
    const char* lc = std::getenv("LC_MEASUREMENT");
    if (!lc || !*lc) lc = std::getenv("LC_ALL");
    if (!lc || !*lc) lc = std::getenv("LANG");
    std::string l = lc ? lc : "";
    // Locales that measure in inches.
    if (l.rfind("en_US", 0) == 0 || l.rfind("es_US", 0) == 0 || l.rfind("en_LR", 0) == 0 ||
        l.rfind("my_MM", 0) == 0)
        return mUS;
    return mMetric;
}

// ---------------------------------------------------------------------------
// Proxy and connection.

bool WbSetProxy(const std::string&, const std::string& Address) {
    return connectionOptions(Address, "<local>", "", true);
}

bool WbSetProxy(const std::string&, const std::string& Address, const std::string&, int Port,
                const std::string&) {
    std::string ip, error;
    if (Port <= 0 || Port > 65535 || !os::ResolveHost(hostOf(Address), ip, error)) return false;
    return connectionOptions(Address, "<local>", "", true);
}

bool WbSetProxyFromPAC(const std::string&, const std::string& PACFile) {
    if (trim(PACFile).empty()) return false;
    return connectionOptions("", "", PACFile, false);
}

bool ResetProxy() {
    connectionOptions("", "<local>", "", false);
    return true;
}

bool CheckOnlineStatus() {
    return !IsGlobalOffline();
}

bool IsGlobalOffline() {
    std::string v;
    return os::RegReadValue(RegRoot::CurrentUser, kInternetSettings, "GlobalUserOffline", v) &&
           v == "1";
}

void WorkOfflineMode() {
    // The states are paired as the original routine pairs them.
    os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "GlobalUserOffline", "0");
    webview::engine_data::SetOffline(false);
}

void WorkOnlineMode() {
    os::RegWriteValue(RegRoot::CurrentUser, kInternetSettings, "GlobalUserOffline", "1");
    webview::engine_data::SetOffline(true);
}

// ---------------------------------------------------------------------------
// Settings kept in the registry.

void SetNewHomePage(const std::string& URL) {
    os::RegWriteValue(RegRoot::CurrentUser, "\\Software\\Microsoft\\Internet Explorer\\Main",
                      "Start Page", URL);
}

bool GetLastVisitedPage(std::string& LastVisitedPage) {
    std::string v;
    os::RegReadValue(RegRoot::LocalMachine, "SOFTWARE\\" + appTitle() + "\\WebPages",
                     "LastVisitedPage", v);
    LastVisitedPage = v;
    return !v.empty() && v.find('.') != std::string::npos;
}

bool SaveLastVisitedPage(const std::string& URL) {
    return os::RegWriteValue(RegRoot::LocalMachine, "SOFTWARE\\" + appTitle() + "\\WebPages",
                             "LastVisitedPage", URL);
}

void RestoreApplicationFormSize(TForm* Form) {
    if (!Form) return;
    std::string key = "SOFTWARE\\" + appTitle() + "\\FormSize";
    auto read = [&](const char* name, int fallback) {
        std::string v;
        if (!os::RegReadValue(RegRoot::LocalMachine, key, name, v)) return fallback;
        try {
            return std::stoi(v);
        } catch (...) {
            return fallback;
        }
    };
    if (!os::RegKeyExists(RegRoot::LocalMachine, key)) return;
    Form->SetBounds(read("Left", Form->Left()), read("Top", Form->Top()),
                    read("Width", Form->Width()), read("Height", Form->Height()));
    int state = read("WindowState", 0);
    if (Form->HandleAllocated() && state == 1) ShowWindow(Form->Handle(), SW_MINIMIZE);
    if (Form->HandleAllocated() && state == 2) ShowWindow(Form->Handle(), SW_MAXIMIZE);
}

void SaveApplicationFormSize(TForm* Form) {
    if (!Form) return;
    std::string key = "SOFTWARE\\" + appTitle() + "\\FormSize";
    os::RegWriteValue(RegRoot::LocalMachine, key, "Top", std::to_string(Form->Top()));
    os::RegWriteValue(RegRoot::LocalMachine, key, "Left", std::to_string(Form->Left()));
    os::RegWriteValue(RegRoot::LocalMachine, key, "Width", std::to_string(Form->Width()));
    os::RegWriteValue(RegRoot::LocalMachine, key, "Height", std::to_string(Form->Height()));
    int state = 0;
    if (Form->HandleAllocated())
        state = IsIconic(Form->Handle()) ? 1 : IsZoomed(Form->Handle()) ? 2 : 0;
    os::RegWriteValue(RegRoot::LocalMachine, key, "WindowState", std::to_string(state));
}

void ClearTypedUrls() {
    os::RegDeleteKey(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TypedURLs");
}

std::string GetDefaultBrowserFromRegistry() {
    std::string v;
    if (!os::RegReadValue(RegRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", v))
        return "No default browser found.";
    return v;
}

bool OpenClient(const std::string& Client) {
    std::string name, line;
    os::RegReadValue(RegRoot::LocalMachine, "Software\\Clients\\" + Client, "", name);
    if (!os::RegReadValue(RegRoot::LocalMachine,
                          "Software\\Clients\\" + Client + "\\" + name + "\\shell\\open\\command",
                          "", line) ||
        line.empty())
        return false;
    std::string program = line, params;
    size_t slash = line.find('/');
    if (slash != std::string::npos) {
        program = trim(line.substr(0, slash > 0 ? slash - 1 : 0));
        params = line.substr(std::min(line.size(), program.size() + 1));
    }
    os::ShellOpen(program, params, "");
    return true;
}

std::string GetFavoritesPath() {
    std::string v;
    if (os::RegReadValue(RegRoot::CurrentUser, kShellFolders, "Favorites", v) && !trim(v).empty())
        return v;
    return {};
}

std::string GetCookiesPath() {
    std::string v = webview::engine_data::DataFolder();
    if (!v.empty()) return v;
    if (os::RegReadValue(RegRoot::CurrentUser, kShellFolders, "Cookies", v) && !trim(v).empty())
        return v;
    return {};
}

std::string GetHistoryPath() {
    std::string v;
    if (os::RegReadValue(RegRoot::CurrentUser, kShellFolders, "History", v) && !trim(v).empty())
        return v;
    return {};
}

std::string GetSpecialFolderPath(HWND, int CSIDL) {
    // The special-folder numbers this platform has a place for.
    const char* name = nullptr;
    switch (CSIDL) {
    case 0x0000:
    case 0x0010:
        name = "Desktop";
        break;
    case 0x0005:
        name = "Personal";
        break;
    case 0x001A:
        name = "AppData";
        break;
    case 0x0023:
        name = "Common AppData";
        break;
    default:
        break;
    }
    if (!name) return {};
    std::string path = os::SpecialFolder(name);
    if (path.empty() && std::string(name) == "Personal") path = os::HomeFolder();
    if (!path.empty()) os::MakeDirectories(path);
    return path;
}

// ---------------------------------------------------------------------------
// Zones and certificates.

namespace {

bool zoneValue(const std::string& Host, bool SecureSite, int wanted) {
    std::string host = Host;
    size_t last = host.rfind('.');
    size_t second =
        last == std::string::npos || last == 0 ? std::string::npos : host.rfind('.', last - 1);
    std::string domain = second == std::string::npos ? host : host.substr(second + 1);
    std::string sub = second == std::string::npos ? "" : host.substr(0, second);
    std::string v;
    std::string name = SecureSite ? "https" : "http";
    bool found =
        os::RegReadValue(RegRoot::CurrentUser, kZoneDomains + domain + "\\" + sub, name, v) ||
        os::RegReadValue(RegRoot::CurrentUser, kZoneEscDomains + domain + "\\" + sub, name, v);
    if (!found) return false;
    try {
        return std::stoi(v) == wanted;
    } catch (...) {
        return false;
    }
}

} // namespace

bool CheckIfInTrustedList(const std::string& Host, bool SecureSite) {
    return zoneValue(Host, SecureSite, 2);
}

bool CheckIfInRestricredList(const std::string& Host, bool SecureSite) {
    return zoneValue(Host, SecureSite, 4);
}

bool AddToTrustedSiteList(const std::string& URL) {
    if (upper(URL).find("HTTPS") == std::string::npos) {
        WbMessageBox("Error", "Only sites with https:// prefix (secured sites) can be added to "
                              "the trusted sites list zone!");
        return false;
    }
    return os::RegWriteValue(RegRoot::CurrentUser, std::string(kZoneDomains) + URL, "https", "2");
}

bool AddToRestrictedSiteList(const std::string& URL) {
    size_t colon = URL.rfind(':');
    std::string host =
        colon == std::string::npos ? URL : URL.substr(std::min(URL.size(), colon + 3));
    if (host.find("www") != std::string::npos) host = host.substr(std::min<size_t>(4, host.size()));
    return os::RegWriteValue(RegRoot::CurrentUser, std::string(kZoneDomains) + host, "*", "4");
}

bool GetSSLStatus(TEmbeddedBrowser* Browser, const std::string& URL, std::string& SSLName,
                  std::string& SSLDescription) {
    if (URL.find("https://") == std::string::npos) {
        SSLName = "None";
        SSLDescription = "The page is not secured.";
        return true;
    }
    webview::View* v = viewOf(Browser);
    if (v && lower(v->Url()).rfind("https:", 0) == 0) {
        SSLName = "SSL";
        SSLDescription = "It is a secure web page.";
        return true;
    }
    return false;
}

bool ImportCertFile(const std::string&, const std::string&) {
    return false;
}

// ---------------------------------------------------------------------------
// Cache, history and favourites.

bool ClearCache() {
    return webview::engine_data::ClearCache();
}

bool ClearHistory() {
    os::RegDeleteKey(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TypedURLs");
    return webview::engine_data::ClearHistory();
}

std::string GetCachedFileFromURL(const std::string&) {
    return {};
}

std::string URLFromFavorites(const std::string& FileName) {
    try {
        TMemIniFile ini(FileName);
        return ini.ReadString("InternetShortcut", "URL", "");
    } catch (...) {
        return {};
    }
}

bool AddToFavorites(const std::string& URL, const std::string& Title) {
    if (trim(URL).empty() || trim(Title).empty()) return false;
    std::string folder = GetFavoritesPath();
    if (folder.empty()) folder = os::SpecialFolder("AppData") + "/lantrove/Favorites";
    os::MakeDirectories(folder);
    std::string name;
    for (char c : Title)
        name += (c == '/' || c == '\\' || c == ':') ? '_' : c;
    std::string body = "[InternetShortcut]\nURL=" + URL + "\n";
    return os::WriteFileAtomic(folder + "/" + name + ".url", body, nullptr);
}

// ---------------------------------------------------------------------------
// Host address, mail and shell.

bool GetIPAndHostName(std::string& HostName, std::string& IPaddr, std::string& WSAErr) {
    std::string name = os::HostName();
    if (name.empty()) {
        WSAErr = "WSAENetDown";
        return false;
    }
    std::string ip, error;
    if (!os::ResolveHost(name, ip, error)) {
        WSAErr = "WSAENetDown";
        return false;
    }
    HostName = name;
    IPaddr = ip;
    return true;
}

bool CreateNewMail() {
    return os::ShellOpen("mailto:?subject=&body=", "", "");
}

bool SendURLInMail(const std::string& Subject, const std::string& Body) {
    auto* mail = new TWbMapiMail(nullptr);
    mail->Subject = Subject;
    mail->Body = Body;
    mail->EditDialog = true;
    return mail->Send();
}

bool SendPageInMailAsAttachment(TEmbeddedBrowser* Browser, TComponent* aOwner,
                                const std::string& FileName, const std::string& Subject,
                                const std::string& Body) {
    if (!Browser || Browser->SaveToFile(FileName) != S_OK) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    auto* mail = new TWbMapiMail(aOwner);
    mail->Subject = Subject;
    mail->Body = Body;
    mail->EditDialog = true;
    mail->Attachments()->Add(FileName);
    return mail->Send();
}

bool ExploreFolder(const std::string& Path) {
    return os::ShellOpen(Path, "", "");
}

void OpenIEBrowserWithAddress(TEmbeddedBrowser* Browser) {
    if (Browser && Browser->HandleAllocated()) SendMessage(Browser->Handle(), WM_COMMAND, 275, 0);
}
void ShowIEVersionInfo(TEmbeddedBrowser* Browser) {
    if (Browser && Browser->HandleAllocated()) SendMessage(Browser->Handle(), WM_COMMAND, 336, 0);
}
void CreateDesktopShortcut(TEmbeddedBrowser* Browser) {
    if (Browser && Browser->HandleAllocated()) SendMessage(Browser->Handle(), WM_COMMAND, 284, 0);
}

// ---------------------------------------------------------------------------
// Address text.

std::string EncodeUrl(const std::string& InputStr, bool bQueryStr) {
    std::u16string units = Utf8ToUtf16(InputStr);
    std::string out;
    char buf[16];
    for (char16_t u : units) {
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            u == '-' || u == '.' || u == '_') {
            out += char(u);
        } else if (u == ' ') {
            out += bQueryStr ? "+" : "%20";
        } else {
            std::snprintf(buf, sizeof buf, "%%%02X", unsigned(u));
            out += buf;
        }
    }
    return out;
}

std::string DecodeUrl(const std::string& InputStr) {
    std::u16string units = Utf8ToUtf16(InputStr), out;
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u == '+') {
            out += u' ';
        } else if (u == '%') {
            auto hex = [](char16_t c) -> int {
                if (c >= '0' && c <= '9') return c - '0';
                if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                return -1;
            };
            if (i + 2 >= units.size()) throw EConvertError("Invalid HEX digit in URL");
            int hi = hex(units[i + 1]), lo = hex(units[i + 2]);
            if (hi < 0 || lo < 0) throw EConvertError("Invalid HEX digit in URL");
            out += char16_t(hi * 16 + lo);
            i += 2;
        } else {
            out += u;
        }
    }
    return Utf16ToUtf8(out);
}

bool IsValidProtocol(const std::string& URL) {
    static const char* const kProtocols[] = {"ftp://",  "http://", "https://",   "gopher://",
                                             "mailto:", "news:",   "nntp://",    "telnet://",
                                             "wais://", "file://", "prospero://"};
    std::string l = lower(URL);
    for (const char* p : kProtocols)
        if (l.find(p) != std::string::npos) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Navigation shortcuts.

bool AddHtmlToAboutBlank(TEmbeddedBrowser* Browser, const std::string& StringToHtml) {
    Browser->Navigate("about:" + StringToHtml);
    return true;
}

void GoAboutBlank(TEmbeddedBrowser* Browser) {
    Browser->Go("about:blank");
    Browser->Wait(0);
}

void GoSearchInGoogle(TEmbeddedBrowser* Browser, const std::string& Text) {
    std::string a = "http://www.google.com/search?ie=ISO-8859-1&q=" + Text;
    if (!trim(a).empty()) Browser->Navigate(a);
}

void GoSearchInMSN(TEmbeddedBrowser* Browser, const std::string& Text) {
    std::string a = "http://search.msn.com/results.aspx?q=" + Text + "&FORM=CBPW&first=1&noredir=1";
    if (!trim(a).empty()) Browser->Navigate(a);
}

void GoSearchInYahoo(TEmbeddedBrowser* Browser, const std::string& Text) {
    Browser->Go("http://search.yahoo.com/bin/search?p=" + Text);
}

void GoWithQueryDetails(TEmbeddedBrowser* Browser, const std::string& Url,
                        const std::string& Query) {
    Browser->Navigate(Url + Query, 0, "", "version=current&name=myname\r\n",
                      "Content-Type:application/x-www-form-urlencoded\r\n");
}

void GoNoHistory(TEmbeddedBrowser* Browser, const std::string& Url) {
    Browser->Navigate(Url, 2, "", "", "");
    Browser->Wait(0);
}

void GoDownloadFile(TEmbeddedBrowser* Browser, const std::string& URL) {
    Browser->Navigate(URL, 62, "", "", "");
}

// ---------------------------------------------------------------------------
// Scrolling.

void ScrollToTop(TEmbeddedBrowser* Browser) {
    if (auto* v = viewOf(Browser)) v->ScrollTo(0, 0);
}

void ScrollToPosition(TEmbeddedBrowser* Browser, int X, int Y) {
    if (auto* v = viewOf(Browser)) v->ScrollTo(X, Y);
}

void ScrollToBottom(TEmbeddedBrowser* Browser) {
    if (auto* v = viewOf(Browser)) v->ScrollTo(0, v->ScrollSize().cy);
}

bool ScrollToIDEx(TEmbeddedBrowser* Browser, const std::string& ID) {
    auto* v = viewOf(Browser);
    return v && v->ScrollToElement(ID);
}

bool ScrollToID(TEmbeddedBrowser* Browser, int ID) {
    return ScrollToIDEx(Browser, std::to_string(ID));
}

bool HScrollBarVisible(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v && v->ScrollSize().cx > v->ClientSize().cx;
}

bool VScrollBarVisible(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v && v->ScrollSize().cy > v->ClientSize().cy;
}

int HScrollBarPosition(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v ? v->ScrollPosition().x : -1;
}

int VScrollBarPosition(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v ? v->ScrollPosition().y : -1;
}

std::string GetWordAtCursor(TEmbeddedBrowser* Browser, int X, int Y) {
    auto* v = viewOf(Browser);
    if (!v) return {};
    return trim(v->Evaluate("(function(){var r=document.caretRangeFromPoint(" + std::to_string(X) +
                            "," + std::to_string(Y) +
                            ");if(!r)return '';var s=window.getSelection();s.removeAllRanges();"
                            "s.addRange(r);s.modify('move','backward','word');"
                            "s.modify('extend','forward','word');return s.toString()})()")
                    .value);
}

// ---------------------------------------------------------------------------
// Frames, source and text.

int FrameCount(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    if (!v) return 0;
    auto r = v->Evaluate("window.frames.length");
    if (r.ok) return std::atoi(r.value.c_str());
    // The stand-in counts the frame elements of its document model.
    std::string html = lower(v->DocumentHtml());
    int n = 0;
    for (const char* tag : {"<iframe", "<frame "})
        for (size_t p = html.find(tag); p != std::string::npos; p = html.find(tag, p + 1))
            ++n;
    return n;
}

std::string DocumentSource(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v ? v->DocumentInnerHtml() : std::string();
}

std::string DocumentSourceText(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    return v ? v->DocumentText() : std::string();
}

void ViewPageSourceHtmlToStrings(TEmbeddedBrowser* Browser, TStrings* HtmlList) {
    if (!HtmlList) return;
    Browser->Wait(0);
    splitLines(DocumentSource(Browser), HtmlList);
}

void ViewPageSourceTextToStrings(TEmbeddedBrowser* Browser, TStrings* TextList) {
    if (!TextList) return;
    Browser->Wait(0);
    splitLines(DocumentSourceText(Browser), TextList);
}

void ViewPageLinksToStrings(TEmbeddedBrowser* Browser, TStrings* LinksList) {
    if (!LinksList) return;
    LinksList->Clear();
    Browser->Wait(0);
    if (auto* v = viewOf(Browser))
        for (const std::string& l : v->Links())
            LinksList->Add(l);
}

bool SetCharartersSet(TEmbeddedBrowser* Browser, const std::string& ACharactersSet, bool) {
    Browser->Wait(0);
    if (!Browser->Document()) return false;
    Browser->SetCharactersSet(ACharactersSet);
    return true;
}

// ---------------------------------------------------------------------------
// Pictures of the page.

namespace {

bool snapshotBitmap(TEmbeddedBrowser* Browser, int w, int h, TBitmap& bmp) {
    auto* v = viewOf(Browser);
    std::vector<uint32_t> px;
    if (!v || w <= 0 || h <= 0 || !v->Snapshot(w, h, px)) return false;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        std::memcpy(bmp.ScanLine(y), &px[size_t(y) * w], size_t(w) * 4);
    return true;
}

} // namespace

bool GetBmpFromBrowser(TEmbeddedBrowser* Browser, const std::string& FileName) {
    try {
        TBitmap bmp;
        if (!snapshotBitmap(Browser, Browser->Width(), Browser->Height(), bmp)) return false;
        bmp.SaveToFile(FileName);
        return true;
    } catch (...) {
        return false;
    }
}

bool GetJpegFromBrowser(TEmbeddedBrowser* Browser, const std::string& FileName, int SourceHeight,
                        int SourceWidth, int TargetHeight, int TargetWidth) {
    try {
        (void)SourceHeight;
        (void)SourceWidth;
        TJPEGImage jpg;
        if (!snapshotBitmap(Browser, TargetWidth, TargetHeight, *jpg.Bitmap())) return false;
        jpg.SaveToFile(FileName);
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Search and highlight.

bool SearchString(TEmbeddedBrowser* Browser, const std::string& strText) {
    Browser->Wait(0);
    auto* v = viewOf(Browser);
    if (!v || strText.empty()) return false;
    v->FindFinish();
    return v->Find(strText, webview::FindOptions{});
}

bool SearchText(TEmbeddedBrowser* Browser, const std::string& Value, int iPos) {
    Browser->Wait(0);
    auto* v = viewOf(Browser);
    if (!v || Value.empty()) return false;
    v->FindFinish();
    bool found = v->Find(Value, webview::FindOptions{});
    for (int i = 0; found && i < iPos; ++i)
        found = v->Find(Value, webview::FindOptions{});
    return found;
}

int SearchAndHighlight(TEmbeddedBrowser* Browser, const std::string& aText, int Flags,
                       const std::string& cbackColor, const std::string& cForeColor,
                       int ScrollIntoView) {
    Browser->Wait(0);
    auto* v = viewOf(Browser);
    if (!v || aText.empty()) return 0;
    std::string script =
        "(function(t,whole,mc,bg,fg,mode){var n=0,first=null,last=null;"
        "function mark(doc){var w=doc.createTreeWalker(doc.body,NodeFilter.SHOW_TEXT),nodes=[],x;"
        "while((x=w.nextNode()))nodes.push(x);"
        "nodes.forEach(function(node){var s=node.data,hay=mc?s:s.toLowerCase(),"
        "nd=mc?t:t.toLowerCase(),i=0,p;while((p=hay.indexOf(nd,i))>=0){"
        "var okw=!whole||((p==0||!/\\w/.test(hay[p-1]))&&(p+nd.length>=hay.length||"
        "!/\\w/.test(hay[p+nd.length])));if(okw){var r=doc.createRange();"
        "r.setStart(node,p);r.setEnd(node,p+nd.length);var sp=doc.createElement('span');"
        "if(bg)sp.style.backgroundColor=bg;if(fg)sp.style.color=fg;r.surroundContents(sp);"
        "n++;if(!first)first=sp;last=sp;node=sp.nextSibling;if(!node)break;s=node.data;"
        "hay=mc?s:s.toLowerCase();i=0;continue}i=p+1}});"
        "for(var f=0;f<doc.defaultView.frames.length;f++){try{mark(doc.defaultView.frames[f]."
        "document)}catch(e){}}}"
        "if(document.body)mark(document);"
        "if(mode==1&&first)first.scrollIntoView();if(mode==2&&n>1&&last)last.scrollIntoView();"
        "return n})(" +
        webview::JsString(aText) + "," + ((Flags & 2) ? "true" : "false") + "," +
        ((Flags & 4) ? "true" : "false") + "," + webview::JsString(cbackColor) + "," +
        webview::JsString(cForeColor) + "," + std::to_string(ScrollIntoView) + ")";
    auto r = v->Evaluate(script);
    if (r.ok) return std::atoi(r.value.c_str());
    // The stand-in runs no script: it counts the matches in the page's text.
    std::string hay = v->DocumentText(), needle = aText;
    if (!(Flags & 4)) {
        hay = lower(hay);
        needle = lower(needle);
    }
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos;
         p = hay.find(needle, p + needle.size()))
        ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Forms and scripts.

bool FillForm(TEmbeddedBrowser* Browser, const std::string& FieldName, const std::string& Value,
              int ElementNr) {
    auto* v = viewOf(Browser);
    return v && v->FillField(FieldName, Value, ElementNr) > 0;
}

std::string GetFieldValue(TEmbeddedBrowser* Browser, const std::string& FieldName) {
    auto* v = viewOf(Browser);
    return v ? v->FieldValue(FieldName) : std::string();
}

void ExecScript(TEmbeddedBrowser* Browser, const std::string& sExpression, const std::string&) {
    if (auto* v = viewOf(Browser)) v->Evaluate(sExpression);
}

std::string ExecScriptEx(TEmbeddedBrowser* Browser, const std::string& MethodName,
                         const std::vector<OleVariant>& Args) {
    auto* v = viewOf(Browser);
    if (!v) return {};
    auto probe = v->Evaluate("typeof window[" + webview::JsString(MethodName) + "]");
    if (!probe.ok || probe.value != "function")
        throw Exception("This object does not support this method");
    std::string call = "window[" + webview::JsString(MethodName) + "](";
    for (size_t i = 0; i < Args.size(); ++i) {
        const OleVariant& a = Args[i];
        std::string lit;
        if (auto p = std::any_cast<int>(&a))
            lit = std::to_string(*p);
        else if (auto p = std::any_cast<int64_t>(&a))
            lit = std::to_string(*p);
        else if (auto p = std::any_cast<bool>(&a))
            lit = *p ? "true" : "false";
        else if (auto p = std::any_cast<double>(&a))
            lit = FloatToStr(*p);
        else if (auto p = std::any_cast<std::string>(&a))
            lit = webview::JsString(*p);
        else if (auto p = std::any_cast<const char*>(&a))
            lit = webview::JsString(*p ? *p : "");
        else if (auto p = std::any_cast<char>(&a))
            lit = webview::JsString(std::string(1, *p));
        else
            throw Exception("Unsupported type for Parameter with Index " + std::to_string(i));
        call += (i ? "," : "") + lit;
    }
    call += ")";
    auto r = v->Evaluate(call);
    if (!r.ok) throw Exception("Method call unsuccessful. " + r.error + " (" + MethodName + ").");
    return r.value;
}
