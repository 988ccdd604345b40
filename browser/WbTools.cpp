#include "browser/WbTools.h"

#include "browser/EmbeddedBrowser.h"
#include "browser/SendMail_For_Wb.h"
#include "classlib/dialogs.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/inifiles.h"
#include "classlib/sysutils.h"
#include "platform/inet/inet.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/desktop.h"
#include "platform/os/file.h"
#include "platform/os/folders.h"
#include "platform/os/netinfo.h"
#include "platform/os/process.h"
#include "platform/os/registry.h"
#include "platform/os/shell.h"
#include "platform/webview/htmldoc.h"
#include "platform/webview/webkit.h"
#include "platform/win/filedialog.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <thread>

using os::RegRoot;

std::function<void(const std::string& Caption, const std::string& Text)> WbMessageBox =
    ShowMessageDialog;
std::function<bool(const std::string&, const std::string&, std::string&)> WbInputBox = InputQuery;

namespace wbtext {

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

} // namespace wbtext

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

using wbtext::lower;
using wbtext::trim;
using wbtext::upper;

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
    switch (os::LocaleMeasurement()) {
    case os::Measurement::US:
        return mUS;
    case os::Measurement::Metric:
        return mMetric;
    default:
        return mUnknown;
    }
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
    return os::HasNetworkConnection() && !IsGlobalOffline();
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
    if (os::RegReadValue(RegRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", v)) return v;
    // The desktop's own default: the handler of web addresses.
    v = os::DefaultApplicationCommand("x-scheme-handler/http");
    return v.empty() ? "No default browser found." : v;
}

namespace {

// The desktop's defaults that stand for the kinds of client programs.
std::string clientType(const std::string& client) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"mail", "x-scheme-handler/mailto"},
        {"news", "x-scheme-handler/news"},
        {"startmenuinternet", "x-scheme-handler/http"},
        {"calendar", "text/calendar"},
        {"contacts", "text/vcard"},
        {"internet call", "x-scheme-handler/callto"},
    };
    std::string l = lower(client);
    for (auto& [name, type] : kTypes)
        if (l == name) return type;
    return {};
}

} // namespace

bool OpenClient(const std::string& Client) {
    std::string name, line;
    os::RegReadValue(RegRoot::LocalMachine, "Software\\Clients\\" + Client, "", name);
    if (!os::RegReadValue(RegRoot::LocalMachine,
                          "Software\\Clients\\" + Client + "\\" + name + "\\shell\\open\\command",
                          "", line) ||
        trim(line).empty()) {
        // Nothing recorded: the desktop's default program of that kind.
        std::string type = clientType(Client);
        if (type.empty()) return false;
        std::vector<std::string> argv =
            os::DesktopCommandArguments(os::DefaultApplicationCommand(type));
        return !argv.empty() && os::StartProcess(argv) != 0;
    }
    // Program paths hold "/" here, so the options cannot start at the first
    // "/": a line naming a file is the program, otherwise its first word
    // (quotes group blanks) is the program and the rest its parameters.
    std::string program = trim(line), params;
    if (!os::IsFile(program)) {
        size_t i = line.find_first_not_of(" \t");
        size_t end = i;
        bool quoted = false;
        for (; end < line.size(); ++end) {
            if (line[end] == '"')
                quoted = !quoted;
            else if (!quoted && (line[end] == ' ' || line[end] == '\t'))
                break;
        }
        std::vector<std::string> first = os::SplitCommandLine(line.substr(i, end - i));
        program = first.empty() ? std::string() : first[0];
        params = end < line.size() ? line.substr(end + 1) : std::string();
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

namespace {
// The favourites folder the program uses: the recorded one, else its own.
std::string favouritesFolder() {
    std::string folder = GetFavoritesPath();
    if (folder.empty()) folder = os::SpecialFolder("AppData") + "/lantrove/Favorites";
    return folder;
}
} // namespace

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
    case 0x0006: {
        std::string path = favouritesFolder();
        os::MakeDirectories(path);
        return path;
    }
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

namespace {

struct ZoneText {
    const char* name;
    const char* description;
};
const ZoneText kZones[] = {
    {"Computer", "Files on this computer and pages the program shows from memory."},
    {"Local network", "Sites on the local network: hosts without a dot, loopback and private "
                      "addresses."},
    {"Trusted sites", "Sites you trust not to damage your computer or your files."},
    {"Internet", "Sites on the internet that are in no other zone."},
    {"Restricted sites", "Sites that might damage your computer or your files."}};

bool privateAddress(const std::string& host) {
    int a = 0, b = 0, c = 0, d = 0;
    char tail = 0;
    if (std::sscanf(host.c_str(), "%d.%d.%d.%d%c", &a, &b, &c, &d, &tail) != 4) return false;
    return a == 127 || a == 10 || (a == 192 && b == 168) || (a == 172 && b >= 16 && b <= 31);
}

// The value a zone list gives host (or the address itself) for scheme, 0 when none.
int listedZone(const std::string& url, const std::string& host, const std::string& scheme) {
    std::vector<std::string> keys;
    size_t last = host.rfind('.');
    size_t second =
        last == std::string::npos || last == 0 ? std::string::npos : host.rfind('.', last - 1);
    if (second != std::string::npos) {
        std::string domain = host.substr(second + 1);
        keys.push_back(domain + "\\" + host.substr(0, second));
        keys.push_back(domain);
    }
    keys.push_back(host);
    keys.push_back(url);
    for (const char* list : {kZoneDomains, kZoneEscDomains})
        for (const std::string& k : keys)
            for (const std::string& name : {scheme, std::string("*")}) {
                std::string v;
                if (!os::RegReadValue(RegRoot::CurrentUser, list + k, name, v)) continue;
                int zone = std::atoi(v.c_str());
                if (zone == 2 || zone == 4) return zone;
            }
    return 0;
}

int zoneOf(const std::string& url) {
    std::string l = lower(trim(url));
    size_t colon = l.find(':');
    std::string scheme = colon == std::string::npos ? "" : l.substr(0, colon);
    if (scheme.empty() || scheme.size() == 1 || scheme == "file" || scheme == "about") return 0;
    std::string host = lower(hostOf(l));
    if (int listed = listedZone(trim(url), host, scheme)) return listed;
    if (host.empty() || host == "localhost" || host.find('.') == std::string::npos ||
        privateAddress(host))
        return 1;
    return 3;
}

// The zone's picture: a disc in the zone's colour on a transparent ground.
void drawZoneIcon(int zone, TBitmap* icon) {
    static const uint32_t kColours[] = {0xFF808080, 0xFF2E7D32, 0xFF1565C0, 0xFF0277BD, 0xFFC62828};
    icon->SetPixelFormat(pf32bit);
    icon->SetSize(16, 16);
    for (int y = 0; y < 16; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(icon->ScanLine(y));
        for (int x = 0; x < 16; ++x) {
            double dx = x - 7.5, dy = y - 7.5;
            row[x] = dx * dx + dy * dy <= 7.0 * 7.0 ? kColours[zone] : 0;
        }
    }
}

} // namespace

bool GetZoneAttributes(const std::string& URL, TZoneAttributes& Attributes) {
    if (trim(URL).empty()) return false;
    int zone = zoneOf(URL);
    Attributes.Zone = zone;
    Attributes.DisplayName = kZones[zone].name;
    Attributes.Description = kZones[zone].description;
    Attributes.IconPath = "lantrove#zone" + std::to_string(zone);
    return true;
}

bool GetZoneIcon(const std::string& URL, TBitmap* Icon) {
    TZoneAttributes a;
    if (!Icon || !GetZoneAttributes(URL, a)) return false;
    size_t hash = a.IconPath.find('#');
    if (hash == std::string::npos) return false;
    drawZoneIcon(std::atoi(a.IconPath.c_str() + hash + 5), Icon);
    return true;
}

bool GetURLSecurityZone(const std::string& URL, std::string& ZoneName, std::string& ZoneDescription,
                        TBitmap* Icon) {
    TZoneAttributes a;
    if (!GetZoneAttributes(URL, a) || !GetZoneIcon(URL, Icon)) return false;
    ZoneName = a.DisplayName.substr(0, 260);
    ZoneDescription = a.Description.substr(0, 200);
    return true;
}

TBitmap& ApplicationZoneIcon() {
    static TBitmap icon;
    return icon;
}

bool GetZoneIconToForm(const std::string& URL) {
    return GetZoneIcon(URL, &ApplicationZoneIcon());
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

namespace {
std::string certificateStore(const std::string& storeType) {
    std::string name;
    for (char c : storeType)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return os::SpecialFolder("AppData") + "/lantrove/Certificates/" + (name.empty() ? "MY" : name);
}
} // namespace

bool ImportCertFile(const std::string& FileName, const std::string& StoreType) {
    std::string bytes;
    if (!os::IsFile(FileName) || !os::ReadWholeFile(FileName, bytes, 1 << 20, nullptr))
        return false;
    // The engine trusts the sites the certificate signed from now on; the
    // store keeps it for the next runs, one file per certificate.
    if (!webview::engine_data::TrustAuthority(bytes)) return false;
    std::string folder = certificateStore(StoreType);
    os::MakeDirectories(folder);
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.cer", static_cast<unsigned long long>(hash));
    return os::WriteFileAtomic(folder + "/" + name, bytes, nullptr);
}

void LoadImportedCertificates() {
    std::string root = os::SpecialFolder("AppData") + "/lantrove/Certificates";
    for (const auto& store : os::ListDirectory(root))
        for (const auto& file : os::ListDirectory(root + "/" + store.name)) {
            std::string bytes;
            if (!file.isDirectory && os::ReadWholeFile(root + "/" + store.name + "/" + file.name,
                                                       bytes, 1 << 20, nullptr))
                webview::engine_data::TrustAuthority(bytes);
        }
}

// ---------------------------------------------------------------------------
// Cache, history and favourites.

bool ClearCache() {
    return webview::engine_data::ClearCache();
}

bool ClearHistory() {
    // The addresses typed and the pages each browser went through.
    os::RegDeleteKey(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TypedURLs");
    webview::engine_data::ClearHistory();
    for (TEmbeddedBrowser* b : TEmbeddedBrowser::Instances())
        if (b->HandleAllocated()) b->WebView()->ClearBackForward();
    return true;
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

std::string UrlFromHistory(const std::string& InfoTip) {
    size_t lf = InfoTip.find('\n');
    return lf == std::string::npos ? std::string() : trim(InfoTip.substr(lf + 1));
}

bool ShowOrganizeFavorites() {
    return ExploreFolder(GetSpecialFolderPath(0, 0x0006));
}

bool AddToFavorites(const std::string& URL, const std::string& Title) {
    if (trim(URL).empty() || trim(Title).empty()) return false;
    std::string folder = GetSpecialFolderPath(0, 0x0006);
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
    // An empty message goes to the desktop's mail composer as a mail address.
    return os::StartProcess({"xdg-email", "mailto:?subject=&body="}) != 0;
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

bool OpenAddressOnDesktop(const std::string& URL) {
    if (trim(URL).empty()) return false;
    if (os::IsWebAddress(URL)) return os::OpenWebAddress(URL);
    std::string path = os::LocalPathOfAddress(URL);
    return !path.empty() && os::OpenDocument(path);
}

bool ShowEngineVersion(const std::string& About) {
    std::string version = webview::engine_data::EngineVersion();
    if (version.empty()) return false;
    WbMessageBox("About", (About.empty() ? "" : About + "\n") + "Web engine version " + version);
    return true;
}

bool WriteDesktopLink(const std::string& Title, const std::string& URL) {
    if (trim(URL).empty()) return false;
    std::string folder = os::SpecialFolder("Desktop");
    os::MakeDirectories(folder);
    std::string name;
    for (char c : trim(Title).empty() ? URL : trim(Title))
        name += (c == '/' || c == '\\' || c == ':' || c == '\n' || c == '\r') ? '_' : c;
    auto oneLine = [](std::string v) {
        for (char& c : v)
            if (c == '\n' || c == '\r') c = ' ';
        return v;
    };
    std::string body =
        "[Desktop Entry]\nType=Link\nName=" + oneLine(trim(Title).empty() ? URL : Title) +
        "\nURL=" + oneLine(URL) + "\nIcon=text-html\n";
    return os::WriteFileAtomic(folder + "/" + name + ".desktop", body, nullptr);
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
    // The engine keeps no list of visited pages across views: there is no
    // entry of Url to delete.
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

namespace {

// Scroll and client sizes of what scrolls the page: in standards mode the
// document element, in quirks mode the body.
bool scrollBars(TEmbeddedBrowser* Browser, bool& horizontal, bool& vertical) {
    auto* v = viewOf(Browser);
    if (!v) return false;
    auto r = v->Evaluate("(function(){var e=document.scrollingElement||document.body;"
                         "return e?[e.scrollWidth,e.clientWidth,e.scrollHeight,e.clientHeight]"
                         ".join(','):''})()");
    long sw = 0, cw = 0, sh = 0, ch = 0;
    if (r.ok && std::sscanf(r.value.c_str(), "%ld,%ld,%ld,%ld", &sw, &cw, &sh, &ch) == 4) {
        horizontal = sw > cw;
        vertical = sh > ch;
        return true;
    }
    horizontal = v->ScrollSize().cx > v->ClientSize().cx;
    vertical = v->ScrollSize().cy > v->ClientSize().cy;
    return true;
}

} // namespace

bool HScrollBarVisible(TEmbeddedBrowser* Browser) {
    bool h = false, v = false;
    return scrollBars(Browser, h, v) && h;
}

bool VScrollBarVisible(TEmbeddedBrowser* Browser) {
    bool h = false, v = false;
    return scrollBars(Browser, h, v) && v;
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
    auto* v = viewOf(Browser);
    if (!v) return;
    // A frame set has no links of its own; every frame's document is walked.
    auto r = v->Evaluate("(function(){var out=[];function walk(w){try{var d=w.document;"
                         "if(d.body&&d.body.tagName=='BODY')for(var i=0;i<d.links.length;i++)"
                         "out.push(d.links[i].href.replace(/\\n/g,''));"
                         "for(var f=0;f<w.frames.length;f++)walk(w.frames[f])}catch(e){}}"
                         "walk(window);return out.join('\\n')})()");
    if (!r.ok) {
        for (const std::string& l : v->Links())
            LinksList->Add(l);
        return;
    }
    size_t start = 0;
    while (start < r.value.size()) {
        size_t lf = r.value.find('\n', start);
        LinksList->Add(r.value.substr(start, lf - start));
        if (lf == std::string::npos) break;
        start = lf + 1;
    }
}

bool SetCharartersSet(TEmbeddedBrowser* Browser, const std::string& ACharactersSet, bool Refresh) {
    Browser->Wait(0);
    if (!Browser->Document()) return false;
    // The original bytes of the page are decoded again in the set; without
    // a refresh, at the next one.
    return Browser->WebView()->SetCharset(ACharactersSet, Refresh);
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

// ---------------------------------------------------------------------------
// Downloads.

namespace {

bool splitHttpUrl(const std::string& url, bool& secure, std::string& host, uint16_t& port,
                  std::string& object) {
    std::string l = lower(url);
    if (l.rfind("http://", 0) == 0)
        secure = false;
    else if (l.rfind("https://", 0) == 0)
        secure = true;
    else
        return false;
    std::string rest = url.substr(secure ? 8 : 7);
    size_t slash = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, slash);
    object = slash == std::string::npos ? "/" : rest.substr(slash);
    if (object[0] != '/') object = "/" + object;
    size_t hashMark = object.find('#');
    if (hashMark != std::string::npos) object.erase(hashMark);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) authority = authority.substr(at + 1);
    port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']') == std::string::npos) {
        int p = std::atoi(authority.c_str() + colon + 1);
        if (p <= 0 || p > 65535) return false;
        port = uint16_t(p);
        authority.erase(colon);
    }
    host = authority;
    return !host.empty();
}

std::string localPathOf(const std::string& url) {
    if (lower(url).rfind("file://", 0) != 0) return url;
    std::string path = url.substr(7);
    if (path.rfind("localhost/", 0) == 0) path = path.substr(9);
    try {
        return DecodeUrl(path);
    } catch (...) {
        return {};
    }
}

} // namespace

namespace {

// Bytes written as they come into a file beside the target, which takes
// the target's name only once all came.
class PartFile {
public:
    explicit PartFile(const std::string& target)
        : target_(target), part_(target + ".part" + std::to_string(os::CurrentProcessId())) {
        fd_ = os::FileCreate(part_);
    }
    ~PartFile() {
        if (fd_ >= 0) os::FileClose(fd_);
        if (!done_) os::RemoveFile(part_);
    }
    bool ok() const { return fd_ >= 0; }
    bool write(const char* data, size_t size) {
        return fd_ >= 0 && os::FileWrite(fd_, data, int64_t(size)) == int64_t(size);
    }
    bool finish() {
        if (fd_ < 0) return false;
        bool synced = os::FileSync(fd_);
        os::FileClose(fd_);
        fd_ = -1;
        done_ = synced && os::RenamePath(part_, target_);
        return done_;
    }

private:
    std::string target_, part_;
    int fd_ = -1;
    bool done_ = false;
};

} // namespace

bool DownloadUrlToFile(const std::string& SourceFile, const std::string& TargetFile) {
    if (trim(SourceFile).empty() || trim(TargetFile).empty()) return false;
    bool secure = false;
    std::string host, object;
    uint16_t port = 0;
    char buffer[65536];
    if (!splitHttpUrl(SourceFile, secure, host, port, object)) {
        // Local files are copied.
        std::string path = localPathOf(SourceFile);
        if (path.empty() || !os::IsFile(path)) return false;
        int in = os::FileOpen(path, os::FileAccess::Read);
        if (in < 0) return false;
        PartFile out(TargetFile);
        bool ok = out.ok();
        while (ok) {
            int64_t got = os::FileRead(in, buffer, sizeof buffer);
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            ok = out.write(buffer, size_t(got));
        }
        os::FileClose(in);
        return ok && out.finish();
    }
    HINTERNET session = InternetOpen("Lantrove", INTERNET_OPEN_TYPE_PRECONFIG);
    HINTERNET connection =
        session ? InternetConnect(session, host, port, "", "", INTERNET_SERVICE_HTTP) : nullptr;
    HINTERNET request = connection ? HttpOpenRequest(connection, "GET", object, "HTTP/1.1", "",
                                                     {"*/*"}, secure ? INTERNET_FLAG_SECURE : 0)
                                   : nullptr;
    bool ok = request && HttpSendRequest(request, "", nullptr, 0);
    std::string status;
    if (ok)
        ok = HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE, status) && status.size() == 3 &&
             status[0] == '2';
    std::unique_ptr<PartFile> out;
    if (ok) {
        out = std::make_unique<PartFile>(TargetFile);
        ok = out->ok();
    }
    while (ok) {
        size_t got = 0;
        ok = InternetReadFile(request, buffer, sizeof buffer, got);
        if (!ok || got == 0) break;
        ok = out->write(buffer, got);
    }
    for (HINTERNET h : {request, connection, session})
        if (h) InternetCloseHandle(h);
    return ok && out && out->finish();
}

bool GoDownloadMaskedFile(const std::string& SourceFile, const std::string& TargetFile,
                          bool Notify) {
    bool ok = DownloadUrlToFile(SourceFile, TargetFile);
    if (Notify) {
        if (ok)
            WbMessageBox("Download successful.", "Downloading: " + SourceFile + "\n\rTo: " +
                                                     TargetFile + "\n\rwas successfully finished.");
        else
            WbMessageBox("Downloading Error!!",
                         "An error ocurred while downloading the file." + SourceFile);
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Frames, text and pictures (continued).

namespace {

// The frames' count of a document in the stand-in, which runs no script.
int countFrameElements(const std::string& html) {
    webview::HtmlDocument doc;
    doc.Parse(html);
    return int(doc.ByTag("IFRAME").size() + doc.ByTag("FRAME").size());
}

std::string saveFilter(const std::vector<std::pair<const char*, const char*>>& entries) {
    std::string f;
    for (auto& e : entries)
        f += std::string(f.empty() ? "" : "|") + e.first + "|" + e.second;
    return f;
}

HWND ownerOf(TEmbeddedBrowser* Browser) {
    return Browser && Browser->HandleAllocated() ? Browser->Handle() : 0;
}

} // namespace

int FrameCountFromDocument(TWebDocument* SourceDoc) {
    if (!SourceDoc || !SourceDoc->Loaded()) return 0;
    auto r = SourceDoc->Evaluate("Math.min(window.frames.length,100)");
    if (r.ok) return std::atoi(r.value.c_str());
    return std::min(100, countFrameElements(SourceDoc->outerHTML()));
}

void ViewPageSourceText(TEmbeddedBrowser* Browser) {
    if (viewOf(Browser)) WbMessageBox("", DocumentSourceText(Browser));
}

bool SavePageTextDialog(TEmbeddedBrowser* Browser) {
    Browser->Wait(0);
    if (!viewOf(Browser)) return false;
    std::string name = "WebSiteText.txt";
    if (!ChooseSaveFileDialog(ownerOf(Browser), "Web Site Text", "Text file|*.txt|Word file|*.doc",
                              1, true, name))
        return false;
    // The default extension.
    size_t slash = name.find_last_of('/');
    if (name.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) name += ".txt";
    return os::WriteFileAtomic(name, DocumentSourceText(Browser), nullptr);
}

bool GetThumbnail(TEmbeddedBrowser* Browser, TImage* Image) {
    if (!Image) return false;
    try {
        int w = Image->Width(), h = Image->Height();
        TBitmap shot;
        if (!snapshotBitmap(Browser, w, h, shot)) return false;
        Image->Picture()->Bitmap()->Assign(&shot);
        Image->Invalidate();
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Printing.

bool WbPrint(TEmbeddedBrowser* Browser, bool HideSetup, bool WithHeaderFooter,
             const std::string& Header, const std::string& Footer) {
    try {
        OleVariant in, out;
        if (WithHeaderFooter) in = std::vector<std::string>{Header, Footer};
        return Browser->ExecWB(6, HideSetup ? 2 : 1, in, out) == S_OK;
    } catch (...) {
        return false;
    }
}

bool WbPrintWithOptions(TEmbeddedBrowser* Browser, bool HideSetup, bool Enabled) {
    if (!Browser->Document()) return false;
    // The dialog handler completes the page set-up from the print options.
    PageSetupPendingFlag() = Enabled;
    OleVariant in, out;
    Browser->ExecWB(8, 1, in, out);
    return WbPrint(Browser, HideSetup, false, "", "");
}

bool WbPrintPreview(TEmbeddedBrowser* Browser) {
    OleVariant in, out;
    return Browser->ExecWB(7, 2, in, out) == S_OK;
}

bool PrintPreviewExtended(TEmbeddedBrowser* Browser, int nCMDShow) {
    WbPrintPreview(Browser);
    uint32_t start = os::GetTickCount();
    while (os::GetTickCount() - start < 7000) {
        HWND front = GetForegroundWindow();
        if (front && GetClassName(front) == "Internet Explorer_TridentDlgFrame") {
            ShowWindow(front, nCMDShow);
            return true;
        }
        if (Application) Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool PrintPreviewFromTemplate(TEmbeddedBrowser* Browser, const std::string& TemplateFileName) {
    OleVariant in = TemplateFileName, out;
    return Browser->ExecWB(7, 1, in, out) == S_OK;
}

bool WbPageSetup(TEmbeddedBrowser* Browser, bool UsePrintOptions, bool Enabled) {
    if (!Browser->Document()) return false;
    if (UsePrintOptions && Enabled) PageSetupPendingFlag() = true;
    OleVariant in, out;
    return Browser->InvokeCommand(nullptr, 8, 1, in, out) == S_OK;
}

bool PrintSetup(TEmbeddedBrowser* Browser, bool HideSetup) {
    OleVariant in, out;
    return Browser->ExecWB(8, HideSetup ? 2 : 1, in, out) == S_OK;
}

// ---------------------------------------------------------------------------
// Dialogs.

bool OpenDialog(TEmbeddedBrowser* Browser) {
    std::string filter =
        saveFilter({{"Internet Files", "*.htm;*.html;*.url;*.mht;*.mhtml;*.php;*.asp"},
                    {"Image Files", "*.gif;*.jpg;*.jpeg;*.png;*.bmp"},
                    {"Text and Documents", "*.txt;*.doc;*.rtf"},
                    {"Compressed Files", "*.zip;*.gz;*.tar"},
                    {"XML Files", "*.xml"},
                    {"Any File", "*"}});
    std::string name;
    if (!ChooseOpenFileDialog(ownerOf(Browser), "Browser - Open Dialog", filter, 1, name))
        return false;
    // The view takes addresses, not paths.
    Browser->Go(webview::FileUrl(name));
    return true;
}

std::string SaveDialogEx(TEmbeddedBrowser* Browser, const std::string& AFilter,
                         const std::string& ATitle) {
    std::string filter =
        !AFilter.empty() ? AFilter
                         : saveFilter({{"Internet Files", "*.htm;*.html;*.mht;*.mhtml;*.php;*.asp"},
                                       {"Text and Documents", "*.txt;*.doc;*.rtf"},
                                       {"XML Files", "*.xml"},
                                       {"Any File", "*"}});
    std::string name;
    if (!ChooseSaveFileDialog(ownerOf(Browser), ATitle.empty() ? "Browser - Save Dialog" : ATitle,
                              filter, 1, true, name))
        return {};
    Browser->SaveToFile(name);
    return name;
}

bool SaveDialog(TEmbeddedBrowser* Browser) {
    return Browser->InvokeCommand(nullptr, 4) == S_OK;
}

bool ShowInternetOptions(TEmbeddedBrowser* Browser) {
    return Browser->InvokeCommand(&wbguid::CGID_BrowserCommands, 3) == S_OK;
}

bool ShowPageProperties(TEmbeddedBrowser* Browser) {
    return Browser->InvokeCommand(nullptr, 10) == S_OK;
}

bool ShowFindDialog(TEmbeddedBrowser* Browser) {
    return Browser->InvokeCommand(&wbguid::CGID_BrowserCommands, 1) == S_OK;
}

int SaveImagesDialog(TEmbeddedBrowser* Browser) {
    auto* v = viewOf(Browser);
    if (!v) return 0;
    std::vector<std::string> sources;
    auto r = v->Evaluate("Array.prototype.map.call(document.images,function(i){return i.src})"
                         ".join('\\n')");
    if (r.ok) {
        size_t start = 0;
        while (start < r.value.size()) {
            size_t lf = r.value.find('\n', start);
            sources.push_back(r.value.substr(start, lf - start));
            if (lf == std::string::npos) break;
            start = lf + 1;
        }
    } else {
        webview::HtmlDocument doc;
        doc.Parse(v->DocumentHtml());
        for (auto* img : doc.ByTag("IMG"))
            sources.push_back(img->Attr("src"));
    }
    std::string folder = ChooseFolderDialog(ownerOf(Browser), "Save Images", "");
    if (folder.empty()) return 0;
    folder += "/Images";
    os::MakeDirectories(folder);
    int saved = 0;
    for (const std::string& src : sources) {
        size_t dot = src.rfind('.');
        std::string ext = dot == std::string::npos ? "" : upper(src.substr(dot + 1));
        if (ext != "GIF" && ext != "JPG" && ext != "BMP" && ext != "PNG") continue;
        std::string name = src.substr(src.rfind('/') + 1);
        if (!name.empty() && DownloadUrlToFile(src, folder + "/" + name)) ++saved;
    }
    return saved;
}

// ---------------------------------------------------------------------------
// Forms on every browser.

void FillFormAndExcecute() {
    // The shell windows are the browsers registered as such.
    for (TWB* w : TWB::RegisteredBrowsers()) {
        auto* b = dynamic_cast<TEmbeddedBrowser*>(w);
        auto* v = viewOf(b);
        if (!v) continue;
        v->Evaluate("(function(){for(var f=0;f<document.forms.length;f++){"
                    "var els=document.forms[f].getElementsByTagName('INPUT');"
                    "for(var i=0;i<els.length;i++){try{var e=els[i],t=(e.type||'').toLowerCase();"
                    "if(t=='text')e.value='FindWindow';"
                    "else if(t=='submit'&&e.value=='Search')e.click()}catch(x){}}}})()");
    }
}
