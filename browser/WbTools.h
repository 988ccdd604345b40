// The browser's tool routines: system and connection settings (versions,
// navigation sounds, proxy, connection state, settings kept in the registry,
// zones, cache, history, favourites, host address, mail and shell helpers)
// and page operations (addresses, scrolling, frames, source and text, links,
// pictures of the page, search, forms, scripts).
//
// Settings this platform has no place for are kept in our registry file,
// under the same keys and value names, so callers get the same answers:
// "\Software\Microsoft\Windows\CurrentVersion\Internet Settings" holds
// "ProxyEnable", "ProxyServer", "ProxyOverride", "AutoConfigURL" and
// "GlobalUserOffline" (the proxy also goes to the web engine); the zone lists
// under "...\Internet Settings\ZoneMap\Domains" decide the zones. Cache and
// history are cleared in the web engine's own data store.
#pragma once

#include "browser/WbCore.h"
#include "classlib/strings.h"

#include <functional>
#include <string>
#include <vector>

class TEmbeddedBrowser;
class TForm;
class TImage;
class TBitmap;
class TWebDocument;
enum TMeasure : int;

// Text helpers the browser's sources share: lower and upper case by the C
// library's classification, and trimming of spaces, tabs and line ends.
namespace wbtext {
std::string lower(std::string s);
std::string upper(std::string s);
std::string trim(const std::string& s);
} // namespace wbtext

// Message boxes of the routines (errors and results): the class library's
// modal message dialog; tests replace it.
extern std::function<void(const std::string& Caption, const std::string& Text)> WbMessageBox;
// Asks the user for a text; false when cancelled. The class library's modal
// input query; tests replace it.
extern std::function<bool(const std::string& Caption, const std::string& Prompt,
                          std::string& Value)>
    WbInputBox;

// --- Versions and sounds -------------------------------------------------
// This platform counts as a system later than the one the test asks for.
bool CheckXPSP2OrLater();
// The web engine's version text ("2.50.6"), empty when unknown.
std::string ReadIEVersion();
int ReadIEMajorVersion(); // -1 when unknown
int MajorVersionOf(const std::string& VersionText);
// Moves "AppEvents\Schemes\Apps\Explorer\Navigating\.Current" to "Old_Current"
// (Disable) and back. The engine makes no navigation sounds: the keys are the
// record of the setting.
void SwitchNavigationSound(bool Disable);
// The measurement system of the user's locale; mUnknown when the locale
// cannot be read.
TMeasure LocaleMeasureSystem();

// --- Proxy and connection --------------------------------------------------
bool WbSetProxy(const std::string& UserAgent, const std::string& Address);
// The host of Address must resolve; UserName, Port and Password only serve
// that check, the proxy server is Address alone.
bool WbSetProxy(const std::string& UserAgent, const std::string& Address,
                const std::string& UserName, int Port, const std::string& Password);
bool WbSetProxyFromPAC(const std::string& UserAgent, const std::string& PACFile);
bool ResetProxy();
// Connected when the system has a network connection and the user has not
// gone offline.
bool CheckOnlineStatus();
bool IsGlobalOffline();
void WorkOfflineMode();
void WorkOnlineMode();

// --- Settings kept in the registry -----------------------------------------
void SetNewHomePage(const std::string& URL);
bool GetLastVisitedPage(std::string& LastVisitedPage);
bool SaveLastVisitedPage(const std::string& URL);
void RestoreApplicationFormSize(TForm* Form);
void SaveApplicationFormSize(TForm* Form);
void ClearTypedUrls();
std::string GetDefaultBrowserFromRegistry();
bool OpenClient(const std::string& Client);
std::string GetFavoritesPath();
std::string GetCookiesPath();
std::string GetHistoryPath();
std::string GetSpecialFolderPath(HWND CallerHandle, int CSIDL);

// --- Zones and certificates --------------------------------------------------
bool CheckIfInTrustedList(const std::string& Host, bool SecureSite);
bool CheckIfInRestricredList(const std::string& Host, bool SecureSite);
bool AddToTrustedSiteList(const std::string& URL);
bool AddToRestrictedSiteList(const std::string& URL);
// A security zone as callers see it. The zone of an address comes from the
// zone lists kept in our registry file: 0 this computer (local files and
// pages from memory), 1 local network (hosts without a dot, loopback and
// private addresses), 2 trusted, 3 internet, 4 restricted.
struct TZoneAttributes {
    int Zone = -1;
    std::string DisplayName;
    std::string Description;
    // "<file>#<resource>"; the icons are drawn by this program.
    std::string IconPath;
};
bool GetZoneAttributes(const std::string& URL, TZoneAttributes& Attributes);
// Icon receives the zone's 16 x 16 picture.
bool GetZoneIcon(const std::string& URL, TBitmap* Icon);
bool GetURLSecurityZone(const std::string& URL, std::string& ZoneName, std::string& ZoneDescription,
                        TBitmap* Icon);
// The zone's picture becomes the program's icon (ApplicationZoneIcon).
bool GetZoneIconToForm(const std::string& URL);
TBitmap& ApplicationZoneIcon();
bool GetSSLStatus(TEmbeddedBrowser* Browser, const std::string& URL, std::string& SSLName,
                  std::string& SSLDescription);
// Adds a certificate (PEM or DER) to the program's store StoreType
// (replacing the same one) and has the engine trust the sites it signed;
// false when the file holds none.
bool ImportCertFile(const std::string& FileName, const std::string& StoreType);
// The engine trusts the certificates of the program's stores again.
void LoadImportedCertificates();

// --- Cache, history and favourites ---------------------------------------------
bool ClearCache();
bool ClearHistory();
// The engine keeps no file per address: always empty.
std::string GetCachedFileFromURL(const std::string& URL);
std::string URLFromFavorites(const std::string& FileName);
// The address in a history item's information tip: the text after its first
// line feed, trimmed.
std::string UrlFromHistory(const std::string& InfoTip);
// Opens the favourites folder in the desktop's file manager.
bool ShowOrganizeFavorites();
// Writes "<Title>.url" (an InternetShortcut file) into the favourites folder.
bool AddToFavorites(const std::string& URL, const std::string& Title);

// --- Host address, mail and shell ---------------------------------------------
bool GetIPAndHostName(std::string& HostName, std::string& IPaddr, std::string& WSAErr);
bool CreateNewMail();
bool SendURLInMail(const std::string& Subject, const std::string& Body);
bool SendPageInMailAsAttachment(TEmbeddedBrowser* Browser, TComponent* aOwner,
                                const std::string& FileName, const std::string& Subject,
                                const std::string& Body);
bool ExploreFolder(const std::string& Path);
// The commands OpenIEBrowserWithAddress, ShowIEVersionInfo and
// CreateDesktopShortcut send to the browser's window, which carries them
// out with these: the address in the desktop's browser, the engine's version
// in a message box (after About when given), a desktop link file
// "<Title>.desktop" on the desktop.
bool OpenAddressOnDesktop(const std::string& URL);
bool ShowEngineVersion(const std::string& About);
bool WriteDesktopLink(const std::string& Title, const std::string& URL);
void OpenIEBrowserWithAddress(TEmbeddedBrowser* Browser);
void ShowIEVersionInfo(TEmbeddedBrowser* Browser);
void CreateDesktopShortcut(TEmbeddedBrowser* Browser);

// --- Address text -----------------------------------------------------------
std::string EncodeUrl(const std::string& InputStr, bool bQueryStr);
// EConvertError "Invalid HEX digit in URL" on a broken escape.
std::string DecodeUrl(const std::string& InputStr);
bool IsValidProtocol(const std::string& URL);

// --- Navigation shortcuts -----------------------------------------------------
bool AddHtmlToAboutBlank(TEmbeddedBrowser* Browser, const std::string& StringToHtml);
void GoAboutBlank(TEmbeddedBrowser* Browser);
void GoSearchInGoogle(TEmbeddedBrowser* Browser, const std::string& Text);
void GoSearchInMSN(TEmbeddedBrowser* Browser, const std::string& Text);
void GoSearchInYahoo(TEmbeddedBrowser* Browser, const std::string& Text);
void GoWithQueryDetails(TEmbeddedBrowser* Browser, const std::string& Url,
                        const std::string& Query);
void GoNoHistory(TEmbeddedBrowser* Browser, const std::string& Url);
void GoDownloadFile(TEmbeddedBrowser* Browser, const std::string& URL);
// Fetches an address (http, https, file or a local path) into a file.
bool DownloadUrlToFile(const std::string& SourceFile, const std::string& TargetFile);
bool GoDownloadMaskedFile(const std::string& SourceFile, const std::string& TargetFile,
                          bool Notify);

// --- Scrolling ------------------------------------------------------------------
void ScrollToTop(TEmbeddedBrowser* Browser);
void ScrollToPosition(TEmbeddedBrowser* Browser, int X, int Y);
void ScrollToBottom(TEmbeddedBrowser* Browser);
bool ScrollToIDEx(TEmbeddedBrowser* Browser, const std::string& ID);
bool ScrollToID(TEmbeddedBrowser* Browser, int ID);
bool HScrollBarVisible(TEmbeddedBrowser* Browser);
bool VScrollBarVisible(TEmbeddedBrowser* Browser);
int HScrollBarPosition(TEmbeddedBrowser* Browser);
int VScrollBarPosition(TEmbeddedBrowser* Browser);
std::string GetWordAtCursor(TEmbeddedBrowser* Browser, int X, int Y);

// --- Frames, source and text -------------------------------------------------------
int FrameCount(TEmbeddedBrowser* Browser);
int FrameCountFromDocument(TWebDocument* SourceDoc);
std::string DocumentSource(TEmbeddedBrowser* Browser);
std::string DocumentSourceText(TEmbeddedBrowser* Browser);
void ViewPageSourceHtmlToStrings(TEmbeddedBrowser* Browser, TStrings* HtmlList);
void ViewPageSourceTextToStrings(TEmbeddedBrowser* Browser, TStrings* TextList);
// Shows the page's text in a message box.
void ViewPageSourceText(TEmbeddedBrowser* Browser);
bool SavePageTextDialog(TEmbeddedBrowser* Browser);
void ViewPageLinksToStrings(TEmbeddedBrowser* Browser, TStrings* LinksList);
bool SetCharartersSet(TEmbeddedBrowser* Browser, const std::string& ACharactersSet, bool Refresh);

// --- Pictures of the page ------------------------------------------------------------
bool GetThumbnail(TEmbeddedBrowser* Browser, TImage* Image);
bool GetBmpFromBrowser(TEmbeddedBrowser* Browser, const std::string& FileName);
bool GetJpegFromBrowser(TEmbeddedBrowser* Browser, const std::string& FileName, int SourceHeight,
                        int SourceWidth, int TargetHeight, int TargetWidth);

// --- Printing ------------------------------------------------------------------------------
// The engine prints without page header and footer texts: they are handed
// on with the command and go no further.
bool WbPrint(TEmbeddedBrowser* Browser, bool HideSetup, bool WithHeaderFooter,
             const std::string& Header, const std::string& Footer);
bool WbPrintWithOptions(TEmbeddedBrowser* Browser, bool HideSetup, bool Enabled);
bool WbPrintPreview(TEmbeddedBrowser* Browser);
// After the preview, waits up to 7000 ms for the preview window (class
// "Internet Explorer_TridentDlgFrame") to come to the front and shows it with
// nCMDShow; true when it came.
bool PrintPreviewExtended(TEmbeddedBrowser* Browser, int nCMDShow);
bool PrintPreviewFromTemplate(TEmbeddedBrowser* Browser, const std::string& TemplateFileName);
bool WbPageSetup(TEmbeddedBrowser* Browser, bool UsePrintOptions, bool Enabled);
bool PrintSetup(TEmbeddedBrowser* Browser, bool HideSetup);

// --- Dialogs ------------------------------------------------------------------------------
bool OpenDialog(TEmbeddedBrowser* Browser);
std::string SaveDialogEx(TEmbeddedBrowser* Browser, const std::string& AFilter,
                         const std::string& ATitle);
bool SaveDialog(TEmbeddedBrowser* Browser);
// The engine has no options, properties or find dialog: these answer false.
bool ShowInternetOptions(TEmbeddedBrowser* Browser);
bool ShowPageProperties(TEmbeddedBrowser* Browser);
bool ShowFindDialog(TEmbeddedBrowser* Browser);
// Asks for a folder and saves the page's GIF, JPG, BMP and PNG pictures into
// its "Images" folder; the number saved.
int SaveImagesDialog(TEmbeddedBrowser* Browser);

// --- Search and highlight ----------------------------------------------------------------
bool SearchString(TEmbeddedBrowser* Browser, const std::string& strText);
// Finds Value from the start of the page (iPos > 0 skips that many matches).
bool SearchText(TEmbeddedBrowser* Browser, const std::string& Value, int iPos);
// Flags: 2 whole word, 4 match case. Colours as CSS colour texts (empty: unchanged).
int SearchAndHighlight(TEmbeddedBrowser* Browser, const std::string& aText, int Flags,
                       const std::string& cbackColor, const std::string& cForeColor,
                       int ScrollIntoView);

// --- Forms and scripts ------------------------------------------------------------------------
bool FillForm(TEmbeddedBrowser* Browser, const std::string& FieldName, const std::string& Value,
              int ElementNr);
std::string GetFieldValue(TEmbeddedBrowser* Browser, const std::string& FieldName);
// Every browser registered as a shell window (RegisterAsBrowser) showing a
// page: its text fields get "FindWindow" and its "Search" submit buttons are
// clicked.
void FillFormAndExcecute();
void ExecScript(TEmbeddedBrowser* Browser, const std::string& sExpression,
                const std::string& sLanguage);
// Calls a function of the page's script with arguments (int, bool, double,
// std::string, const char*); raises Exception on an unknown kind of argument
// or a failed call. The call's answer as text.
std::string ExecScriptEx(TEmbeddedBrowser* Browser, const std::string& MethodName,
                         const std::vector<OleVariant>& Args);
