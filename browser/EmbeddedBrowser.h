// The embedded browser component the windows place on their forms: pages
// from addresses and from memory, navigation the owner can cancel, the
// document for scripts, the waits, the window procedure with its key, click
// and focus handling, the dialog hook on the owner form, and the operations
// of a full browser.
#pragma once

#include "browser/WbCore.h"
#include "classlib/graphics.h"
#include "classlib/streams.h"
#include "classlib/strings.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class TEmbeddedBrowser;
class TWbControl;
class TImage;
struct TZoneAttributes;

enum TMeasure : int { mMetric, mUS, mUnknown };
// Items of the context menu by the command each stands for.
enum TIEPopupMenuItem : int {
    rcsBack = 2282,
    rcsForward = 2283,
    rcsSavePageBkg = 2263,
    rcsSetAsBkg = 2264,
    rcsCopyBkg = 2265,
    rcsSetAsDeskT = 2278,
    rcsSelectAll = 31,
    rcsPaste = 26,
    rcsCreateSC = 2266,
    rcsAddToFav = 2261,
    rcsEncoding = 2292,
    rcsRefresh = 2300,
    rcsViewSource = 2139,
    rcsProperties = 28,
    rcsPrint = 27,
    rcsOpenNWindow = 2137,
    rcsOpenLink = 2136
};
enum TUserAgentMode { uaDefault, uaInternal, uaRegistry };
enum TPrintOrientationOption { poPortrait, poLandScape };
enum TSearchDirections { sdDown, sdUp };
enum TSearchResult { srNotFound, srEndOf, srFound };
using TSearchResults = std::set<TSearchResult>;
enum TScrollIntoView { sivNoScroll, sivFirstMatch, sivLastMatch };

class TDisableErrors : public TPersistent {
public:
    bool EnableDDE = true;
    bool fpExceptions() const { return FfpExceptions; }
    // Sets the processor's floating-point control word at once.
    void SetfpExceptions(bool Value);
    bool ScriptErrorsSuppressed = true;

private:
    bool FfpExceptions = true;
};

class TDialogBoxes : public TPersistent {
public:
    bool DisableAll = false;
    bool ReplaceCaption = true;
    bool ReplaceIcon = true;
    std::string NewCaption;
};

class TVisualEffects : public TPersistent {
public:
    int TextSize = 2;
    bool DisableSounds = false;
};

class TProxySettings : public TPersistent {
public:
    bool AutoLoadProxy = false;
    int Port = 80;
    std::string Password, Address, UserName, UserAgent;
    // The proxy for every page; the result also tells the unit to restore
    // the connection settings when it stops.
    bool SetProxy(const std::string& AUserAgent, const std::string& AAddress);
    bool SetProxy(const std::string& AUserAgent, const std::string& AAddress,
                  const std::string& AUserName, const std::string& APassword, int APort);
    bool SetProxyFromPAC(const std::string& AUserAgent, const std::string& PACFile);
};

struct TMargins : public TPersistent {
    double Left = 0.0, Right = 0.0, Top = 0.0, Bottom = 0.0;
};

class TPrintOptions : public TPersistent {
public:
    TPrintOptions();
    bool Enabled = false;
    TMargins Margins;
    std::string Header, Footer;
    TStrings* HTMLHeader() const { return FHTMLHeader.get(); }
    void SetHTMLHeader(const TStrings* Value);
    TPrintOrientationOption Orientation = poPortrait;
    TMeasure Measure = mMetric;
    bool HideSetup = false;

private:
    std::unique_ptr<TStringList> FHTMLHeader;
};

using TShowDialogEvent =
    std::function<void(TObject* Sender, HWND h, int StyleEx, const std::string& OldCaption,
                       std::string& NewCaption, bool& Cancel)>;
using TMsgEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;
using TOnBusyWait = std::function<void(TEmbeddedBrowser* Sender, uint32_t AStartTime,
                                       uint32_t& TimeOut, bool& Cancel)>;
using TWBOnVisible = std::function<void(TObject* ASender, bool Visible)>;
using TKeyEventEx =
    std::function<void(TObject* Sender, uint16_t& Key, uint16_t ScanCode, TShiftState Shift)>;

// The message the focus repair posts to a browser that lost the keyboard focus.
constexpr UINT WM_WB_FOCUSDOC = 0x444;

class TEmbeddedBrowser : public TCustomEmbeddedBrowser {
public:
    explicit TEmbeddedBrowser(TComponent* AOwner);
    ~TEmbeddedBrowser() override;

    // Published.
    bool Silent() const { return FSilentValue; }
    void SetSilent(bool Value);
    bool RegisterAsDropTarget() const { return GetRegisterAsDropTarget(); }
    void SetRegisterAsDropTarget(bool Value) { TWB::SetRegisterAsDropTarget(Value); }
    bool RegisterAsBrowser() const { return GetRegisterAsBrowser(); }
    void SetRegisterAsBrowser(bool Value) { TWB::SetRegisterAsBrowser(Value); }
    std::string About() const { return FAbout; }
    void SetAbout(const std::string&) {}
    std::string HostCSS;
    std::string HostNS;
    bool EnableMessageHandler = true;
    std::set<int> DisabledPopupMenuItems; // TIEPopupMenuItem commands left out of the menu
    TDisableErrors* DisableErrors() const { return FDisableErrors.get(); }
    TDialogBoxes* DialogBoxes() const { return FDialogBoxes.get(); }
    TStringList* HTMLCode() const { return FHTMLCode.get(); }
    void SetHTMLCode(const TStrings* Value);
    TCloseQueryEvent OnCloseQuery;
    TMsgEvent OnMessage;
    TShowDialogEvent OnShowDialog;
    TPrintOptions* PrintOptions() const { return FPrintOptions.get(); }
    TProxySettings* ProxySettings() const { return FProxySettings.get(); }
    TVisualEffects* VisualEffects() const { return FVisualEffects.get(); }
    bool Visible() const { return FVisibleValue; }
    void SetVisible(bool Value) override;
    std::string UserAgent() const { return FUserAgent; }
    void SetUserAgent(const std::string& Value);
    TUserAgentMode UserAgentMode() const { return FUserAgentMode; }
    void SetUserAgentMode(TUserAgentMode Value);
    TOnBusyWait OnBusyWait;
    TWBOnVisible OnVisible;
    TKeyEventEx OnKeyDown;
    TKeyEventEx OnKeyUp;
    TMouseEvent OnClick;

    // Public.
    HWND HWND_();
    bool Resizable = false;
    // Character set of the string loaders (ANSI code page by default).
    std::string Encoding;
    bool Modified();
    void SetModified(bool Value);
    bool DesignMode();
    void SetDesignMode(bool Value);
    TMeasure LocaleMeasure() const { return FMeasure; }

    // Life cycle.
    void Loaded() override;
    void LoadSettings();

    // Navigation.
    using TWB::Navigate;
    bool Go(const std::string& Url, uint32_t TimeOut = 0);
    bool NavigateWait(const std::string& URL, uint32_t TimeOut);
    void NavigateFolder(int CSIDL);
    void GoBack();
    void GoForward();
    void Stop();
    void AssignEmptyDocument(bool bWait);

    // Loading from memory; relative addresses resolve against the program folder.
    HRESULT LoadFromWideString(const std::u16string& WideSt);
    HRESULT LoadFromStream(TStream* AStream);
    HRESULT LoadFromString(const std::string& St);
    HRESULT LoadFromStrings(const TStrings* AStrings);
    HRESULT LoadFromStrings(const TStrings* AStrings, bool AddHtmlTags);
    HRESULT LoadFromFile(const std::string& FileName);
    HRESULT LoadFromImage(TBitmap* Image);

    // Document access.
    bool DocumentLoaded();
    bool DocumentLoaded(TWebDocument*& Doc2);
    TWebDocument* GetDocument();
    bool Wait(uint32_t TimeOut);
    bool WaitWhileBusy(uint32_t TimeOut);
    // Longest wait when no time-out is given: a page that never completes
    // must not hold the program.
    static uint32_t& UnboundedWaitLimitMs();

    // Focus.
    void SetFocus() override;
    static HWND GetIEHandle(TEmbeddedBrowser* WebBrowser, const std::string& ClassName);

    // Editing commands and document state.
    HRESULT InvokeCMD(bool InvokeIE, int Value1, int Value2, OleVariant& vaIn, OleVariant& vaOut);
    bool Cut();
    bool Copy();
    bool Paste();
    bool PasteSpecial();
    bool Undo();
    bool Redo();
    bool SelectAll();
    bool ClearSelection();
    bool Delete();
    bool IsCommandEnabled(const std::string& sCmdId);
    bool VariantIsObject(const OleVariant& value);
    std::string GetIEHomePage();

    // Selection and search.
    std::string GetSelectedText(bool ReturnAsHTML, bool bOnlyTopLevel);
    int GetSelLength(bool bOnlyTopLevel);
    TSearchResults SearchNextText(const std::string& Value, TSearchDirections Direction,
                                  bool AutoSelect);

    // Saving and printing.
    HRESULT SaveToFile(const std::string& FileName);
    HRESULT SaveToStream(TStream* AStream);
    HRESULT SaveToStrings(TStrings* AStrings);
    bool Print();
    bool PrintWithOptions();
    bool PrintPreview();
    bool PageSetup(bool UsePrintOptions);
    bool ViewPageSourceHtml();

    // Proxy.
    bool RefreshProxy();

    // The base answer plus the host's style sheet and namespaces.
    HRESULT GetHostInfo(TDOCHOSTUIINFO& pInfo) override;

    // The dialog handler of the owner-form hook (run on WM_ACTIVATE).
    void HandleDialog(HWND Dialog);
    // The print options become the page set-up of the prints.
    void ApplyPrintOptions();
    // A margin of the print options in the unit of the user's locale.
    double MarginInLocaleUnit(double Value) const;
    // Whether this browser's hook sits on its owner form now.
    bool HooksOwner() const;

    // Navigation sounds on or off (the registry stand-in or the feature switch).
    void DisableNavSound(bool bDisable);

    // Every browser alive in the program, oldest first.
    static const std::vector<TEmbeddedBrowser*>& Instances();

    // Commands to the control's window.
    void InvokeIEServerCommand(int Cmd);
    void ShowImportExportFavoritesAndCookies();
    void ShowAboutBox();
    // Fetches an address into a file without the page.
    bool DownloadFile(const std::string& SourceFile, const std::string& DestFile);

    // Frames: documents of the frames, numbered from 0 in document order.
    // The documents stay owned by the browser and follow the frame at their
    // place; each answers empty while no loaded document is there.
    TWebDocument* GetFrame(int FrameNo);
    TWebDocument* GetFrameFromDocument(TWebDocument* SourceDoc, int FrameNo);
    TWebDocument* GetActiveFrame();
    TWebDocument* GetActiveFrame(TWebDocument* Doc);
    void RefreshFrame(int FrameNo);
    // "0,1": frame 1 of frame 0; null when a step finds no loaded document.
    TWebDocument* NavigateToFrame(const std::string& FrameList);
    int FrameCount();
    int FrameCountFromDocument(TWebDocument* SourceDoc);
    HRESULT SaveFrameToFile(int FrameNo, const std::string& FName);
    HRESULT SaveFrameToStream(int FrameNo, TStream* AStream);
    HRESULT SaveFrameToStrings(int FrameNo, TStrings* AStrings);
    HRESULT LoadFrameFromStrings(int FrameNo, const TStrings* AStrings);
    HRESULT LoadFrameFromStream(int FrameNo, TStream* AStream);

    // Search and highlight.
    bool SearchText(const std::string& Value, int iPos);
    bool SearchString(const std::string& strText);
    int SearchAndHighlight(const std::string& aText, int Flags, const std::string& cbackColor,
                           const std::string& cForeColor, TScrollIntoView ScrollIntoView);
    // Asks for the text first; 0 when the user gives none.
    int SearchAndHighlight(const std::string& ACaption, const std::string& APrompt, int Flags,
                           const std::string& cbackColor, const std::string& cForeColor,
                           TScrollIntoView ScrollIntoView);
    std::string GetWordAtCursor(int X, int Y);

    // Printing (continued).
    bool PrintPreviewExtended(int nCMDShow);
    bool PrintSetup();
    bool PrintPreviewFromTemplate(const std::string& TemplateFileName);

    // Dialogs and windows.
    bool OpenDialog();
    bool SaveDialog();
    std::string SaveDialogEx(const std::string& AFilter, const std::string& ATitle);
    bool ShowInternetOptions();
    bool ShowPageProperties();
    bool ShowOrganizeFavorites();
    bool ShowFindDialog();
    int SaveImagesDialog();
    bool SavePageTextDialog();
    void ShowIEVersionInfo();
    void CreateDesktopShortcut();
    void OpenIEBrowserWithAddress();
    bool ExploreFolder(const std::string& Path);
    bool OpenClient(const std::string& Client);

    // Source and links.
    std::string DocumentSource();
    std::string DocumentSourceText();
    void ViewPageSourceText();
    void ViewPageSourceTextToStrings(TStrings* TextList);
    void ViewPageSourceHtmlToStrings(TStrings* HtmlList);
    void ViewPageLinksToStrings(TStrings* LinksList);
    bool AddHtmlToAboutBlank(const std::string& StringToHtml);

    // Scrolling.
    void ScrollToTop();
    void ScrollToBottom();
    void ScrollToPosition(int X, int Y);
    bool ScrollToID(int ID);
    bool ScrollToIDEx(const std::string& ID);
    bool HScrollBarVisible();
    bool VScrollBarVisible();
    int HScrollBarPosition();
    int VScrollBarPosition();

    // Pictures and character set.
    bool GetThumbnail(TImage* Image);
    bool GetBmpFromBrowser(const std::string& FileName);
    bool GetJpegFromBrowser(const std::string& FileName, int SourceHeight, int SourceWidth,
                            int TargetHeight, int TargetWidth);
    bool SetCharartersSet(const std::string& ACharactersSet, bool Refresh);

    // Navigation helpers.
    void GoSearchInGoogle(const std::string& SearchTerm);
    void GoSearchInMSN(const std::string& SearchTerm);
    void GoSearchInYahoo(const std::string& SearchTerm);
    void GoDownloadFile(const std::string& URL);
    bool GoDownloadMaskedFile(const std::string& SourceFile, const std::string& TargetFile,
                              bool Notify);
    void GoWithQueryDetails(const std::string& Url, const std::string& Query);
    void GoNoHistory(const std::string& URL);
    void GoAboutBlank();

    // Zones, security and certificates.
    bool AddToRestrictedSiteList(const std::string& URL);
    bool AddToTrustedSiteList(const std::string& URL);
    bool CheckIfInTrustedList(const std::string& Host, bool SecureSite);
    bool CheckIfInRestricredList(const std::string& Host, bool SecureSite);
    bool ImportCertFile(const std::string& FileName, const std::string& StoreType);
    bool GetZoneIcon(const std::string& IconPath, TBitmap* Icon);
    bool GetZoneAttributes(const std::string& URL, TZoneAttributes& Attributes);
    bool GetZoneIconToForm();
    bool GetSSLStatus(std::string& SSLName, std::string& SSLDescription);
    bool GetURLSecurityZone(std::string& ZoneName, std::string& ZoneDescription, TBitmap* Icon);

    // Cache, history, folders and settings.
    bool ClearCache();
    void ClearTypedUrls();
    bool ClearHistory();
    bool CheckOnlineStatus();
    bool IsGlobalOffline();
    void WorkOnline();
    void WorkOffline();
    std::string GetCookiesPath();
    std::string GetHistoryPath();
    std::string GetFavoritesPath();
    std::string GetDefaultBrowserFromRegistry();
    std::string GetSpecialFolderPath(HWND CallerHandle, int CSIDL);
    std::string GetCachedFileFromURL(const std::string& ItemUrl);
    std::string URLFromFavorites(const std::string& dotURL);
    std::string UrlFromHistory(const std::string& InfoTip);
    bool GetIPAndHostName(std::string& HostName, std::string& IPaddr, std::string& WSAErr);
    void SetNewHomePage(const std::string& HomePage);
    bool GetLastVisitedPage(std::string& LastVisitedPage);
    bool SaveLastVisitedPage();
    bool AddToFavorites(const std::string& URL, const std::string& Title);
    void RestoreApplicationFormSize();
    void SaveApplicationFormSize();
    std::string GetCookie();

    // Mail.
    bool SendPageInMailAsAttachment(TComponent* aOwner, const std::string& FileName,
                                    const std::string& Subject, const std::string& Body);
    bool CreateNewMail();
    bool SendURLInMail();

    // Script and forms.
    void ExecScript(const std::string& sExpression, const std::string& sLanguage);
    std::string ExecScriptEx(const std::string& MethodName, const std::vector<OleVariant>& Args);
    bool FillForm(const std::string& FieldName, const std::string& Value, int ElementNr = -1);
    std::string GetFieldValue(const std::string& FieldName);
    void FillFormAndExcecute();

    // Address helpers.
    bool IsValidProtocol(const std::string& URL);
    std::string DecodeUrl(const std::string& InputStr);
    std::string EncodeUrl(const std::string& InputStr, bool bQueryStr);

protected:
    void CreateWnd() override;
    void BindView(webview::View& View) override;
    bool ControlCommand(int Cmd) override;
    bool PageSetupFromHost() override;

public:
    bool HasPopupMenuFilter() override;
    void FilterPopupMenu(TObject* Sender, uint32_t ID, TPopupMenu* Menu,
                         TWebDocument* Context) override;

protected:
private:
    void browserWndProc(TMessage& Message);
    void focusStep();
    void htmlCodeChanged(TObject*);
    HRESULT loadBytes(const std::string& Bytes, const std::string& Charset);
    std::string charsetOfEncoding() const;
    void installDialogHook();
    void removeDialogHook();
    void subclassChildren();
    void applyUserAgent();
    void undoRegistryUserAgent();
    bool userAgentQuery(std::string& UA);

    std::string FAbout;
    bool FSilentValue = true;
    bool FVisibleValue = true;
    std::unique_ptr<TDisableErrors> FDisableErrors;
    std::unique_ptr<TDialogBoxes> FDialogBoxes;
    std::unique_ptr<TStringList> FHTMLCode;
    std::unique_ptr<TPrintOptions> FPrintOptions;
    std::unique_ptr<TProxySettings> FProxySettings;
    std::unique_ptr<TVisualEffects> FVisualEffects;
    std::string FUserAgent, FUserAgentGiven, FUserAgentRegistry;
    bool FUserAgentWritten = false;
    TUserAgentMode FUserAgentMode = uaDefault;
    bool FModified = false;
    bool FWindowProcInstalled = false;
    bool FWinXPSP2orLater = true;
    bool FResizing = false;
    TMeasure FMeasure = mUnknown;
    // Search state.
    std::string FSearchText;
    bool FHaveRange = false;
    TSearchDirections FLastDirection = sdDown;
    int FLastMatch = 0;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    std::vector<HWND> FSubclassed;
    std::map<std::vector<int>, std::unique_ptr<TWebDocument>> FFrameDocs;
    TWebDocument* frameDoc(const std::vector<int>& Path);
};

// The unit's start and stop: the floating-point word, the global hooks
// component and the settings to restore. The run routine calls them.
void EmbeddedBrowserUnitStart();
void EmbeddedBrowserUnitStop();
// The control word recorded at the unit's start.
uint16_t RecordedFPUControlWord();
// The control word the browsers ask for now (recorded: arithmetic never traps here).
uint16_t CurrentFPUControlWord();
TWbControl* GlobalWbControl();
// Process-wide flags the unit stop reads.
bool& ProxyChangedFlag();
bool& NavSoundsDisabledFlag();
bool& PageSetupPendingFlag();
