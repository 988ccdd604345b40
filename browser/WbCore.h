// The host base of the embedded browser: the control wrapper (TWB) that puts
// a web view into a window of ours, and TCustomEmbeddedBrowser, which takes
// every decision the page asks of its host (host flags, context menus,
// accelerator keys, script errors, refresh commands, optional services,
// ambient properties) and raises an event for each.
#pragma once

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "classlib/strings.h"
#include "platform/webview/webview.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = HRESULT(0x80040100u);
constexpr HRESULT OLECMDERR_E_CANCELED = HRESULT(0x80040103u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003u);
constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009u);
constexpr HRESULT INET_E_USE_DEFAULT_PROTOCOLHANDLER = HRESULT(0x800C0011u);
inline bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}

// Values handed between the host and the view where the page's interfaces
// pass variants: empty, bool, int, double, std::string or a pointer.
using OleVariant = std::any;

// Interface and command-group identifiers, as text.
using TGUID = std::string;
namespace wbguid {
inline const TGUID CGID_DocHostCommandHandler = "{000214D0-0000-0000-C000-000000000046}";
inline const TGUID CGID_DocHostCommands = "{F38BC242-B950-11D1-8918-00C04FC2C836}";
inline const TGUID CGID_BrowserCommands = "{ED016940-BD5B-11CF-BA4E-00C04FD70816}";
inline const TGUID ZoomEvents = "{41B68150-904C-4E17-A0BA-A438182E359D}";
inline const TGUID ElementNamespaceTable = "{3050F670-98B5-11CF-BB82-00AA00BDCE0B}";
inline const TGUID INewWindowManager = "INewWindowManager";
inline const TGUID IProtectFocus = "IProtectFocus";
inline const TGUID IDownloadManager = "IDownloadManager";
inline const TGUID IHostBehaviorInitialization = "IHostBehaviorInitialization";
inline const TGUID IHTMLOMWindowServices = "IHTMLOMWindowServices";
inline const TGUID IAuthenticate = "IAuthenticate";
} // namespace wbguid

// Ambient property numbers the view asks its host for.
constexpr int DISPID_AMBIENT_USERAGENT = -5513;
constexpr int DISPID_AMBIENT_DLCONTROL = -5512;
constexpr int DISPID_AMBIENT_USERMODE = -709;

enum TUserInterfaceOption {
    DisableTextSelect,
    DisableHelpMenu,
    DontUse3DBorders,
    DontUseScrollBars,
    PostponeScriptUntilActive,
    ForceOpenNewWindow,
    Reserved_OFFSCREEN,
    ForceFlatScrollBars,
    InsertDivTagOnEditMode,
    ActivateUIOnlyOnDocClick,
    ConsultBeforeRetrievingBehavior,
    CheckFontSupportsCodePage,
    DisableSubmitUrlInUTF8,
    EnableSubmitUrlInUTF8,
    EnablesFormsAutoComplete,
    ForceSameWindowNavigation,
    EmableImeLocalLanguages,
    EnableThemes,
    DisableThemes,
    DisablePicsRatings,
    DisableFrameSetBorder,
    DisablesAutoNameSpaceCorrection,
    DisableLocalFileAccess,
    DisableUntrustedProtocol,
    CheckNavigationDelegatedToHost,
    EnableRedirectNotification,
    EnableDomWindlessControls,
    EnableWindowedControls,
    ForceUserActivationOnActiveXJava
};
using TUserInterfaceOptions = std::set<TUserInterfaceOption>;

enum TDownloadControlOption {
    DownloadImages,
    DownloadVideos,
    DownloadBGSounds,
    DontExecuteScripts,
    DontExecuteJava,
    DontExecuteActiveX,
    DontDownloadActiveX,
    DownloadButDontDisplay,
    DontDownloadFrame,
    CheckPageResynchronize,
    DownloadAndIgnoreCache,
    DontDownloadBehaviors,
    SuppressedMetaCharset,
    DisableUrlIfEncodingUTF8,
    EnableUrlIfEncodingUTF8,
    ForceOfflineMode,
    DontPerformClientPull,
    DownloadInSilentMode,
    WorkOffline
};
using TDownloadControlOptions = std::set<TDownloadControlOption>;

enum TIEPopupMenu {
    rcmDefault,
    rcmImage,
    rcmControl,
    rcmTable,
    rcmSelText,
    rcmAnchor,
    rcmUnKnown,
    rcmImageArt,
    rcmImgDynSrc,
    rcmDebug,
    rcmAll
};
using TIEPopupMenus = std::set<TIEPopupMenu>;

enum TScriptErrorAction { eaContinue, eaCancel, eaAskUser };
enum TDragDropHandlingType { ddtMS, ddtMy, ddtCustom, ddtNo };
enum TDocDesignMode { ddmOn, ddmOff, ddmInherit, ddmUnknown };

// The flag each option adds to the host flags and to the download control.
uint32_t UserInterfaceFlag(TUserInterfaceOption Option);
uint32_t UserInterfaceFlags(const TUserInterfaceOptions& Options);
uint32_t DownloadControlFlag(TDownloadControlOption Option);
uint32_t DownloadControlFlags(const TDownloadControlOptions& Options);

// The host information the view asks for (host flags and default styles).
struct TDOCHOSTUIINFO {
    uint32_t cbSize = 0;
    uint32_t dwFlags = 0;
    uint32_t dwDoubleClick = 0;
    std::optional<std::string> pchHostCss;
    std::optional<std::string> pchHostNS;
};

// The object the host gives a page as window.external: the page calls its
// methods by name with text arguments and gets a text answer (through a
// promise). False when it has no such method.
class TExternalObject {
public:
    virtual ~TExternalObject() = default;
    virtual bool Invoke(const std::string& Name, const std::vector<std::string>& Args,
                        std::string& Answer) = 0;
};

// What a failed ambient dispatch tells its caller.
struct TExcepInfo {
    int wCode = 0;
    std::string bstrSource;
    std::string bstrDescription;
    int dwHelpContext = 0;
};

// A key message as the accelerator test sees it.
using TMsg = MSG;

// The shift state of a key message: the modifier keys held now, Alt also
// from the message's context bit (29).
TShiftState KeyShiftState(LPARAM KeyData);

class TCustomEmbeddedBrowser;

// The page's document as the host reaches it. It exists while the view has
// a document; every query answers empty or false without one.
class TWebDocument {
public:
    explicit TWebDocument(webview::View* View) : FView(View) {}
    // The document of a frame: FramePath numbers the frame at each level.
    // Its queries run as script in the frame (the stand-in runs none, so a
    // frame document never counts as loaded there).
    TWebDocument(webview::View* View, std::vector<int> FramePath)
        : FView(View), FFramePath(std::move(FramePath)) {}
    bool Loaded() const;
    const std::vector<int>& FramePath() const { return FFramePath; }
    // The frame's window as a script expression ("window" at the top).
    std::string WindowExpr() const;
    std::string title() const;
    std::string URL() const;
    std::string readyState() const;
    std::string charset() const;
    std::string designMode() const;
    void setDesignMode(const std::string& Mode);
    std::string cookie() const;
    std::string bodyText() const;
    std::string innerHTML() const;
    std::string outerHTML() const;
    // Runs script (any language name; the page runs script in one language).
    // False when the script failed or no document is loaded.
    bool execScript(const std::string& Code, const std::string& Language = "JScript");
    webview::ScriptResult Evaluate(const std::string& Code, unsigned TimeoutMs = 5000);
    webview::View* View() const { return FView; }

private:
    std::string frameText(const std::string& Expr) const;
    webview::View* FView;
    std::vector<int> FFramePath;
};

using TWBBeforeNavigate2 = std::function<void(
    TObject* ASender, TWebDocument* pDisp, OleVariant& URL, OleVariant& Flags,
    OleVariant& TargetFrameName, OleVariant& PostData, OleVariant& Headers, bool& Cancel)>;
using TWBNewWindow2 = std::function<void(TObject* ASender, TWebDocument*& ppDisp, bool& Cancel)>;
using TWBDocumentComplete =
    std::function<void(TObject* ASender, TWebDocument* pDisp, const std::string& URL)>;
using TWBNavigateComplete2 = TWBDocumentComplete;
using TWBTitleChange = std::function<void(TObject* ASender, const std::string& Text)>;
using TWBStatusTextChange = TWBTitleChange;
using TWBNavigateError =
    std::function<void(TObject* ASender, TWebDocument* pDisp, const std::string& URL,
                       const std::string& Frame, const std::string& StatusText, bool& Cancel)>;
using TWBScriptDialog = std::function<void(TObject* ASender, webview::ScriptDialog& Dialog)>;

// Names an address when the given text cannot be navigated to.
LANTROVE_EXCEPTION(EOleError, Exception);

// The control wrapper: a window of class "Shell Embedding" holding a
// "Shell DocObject View" window, which holds the "Internet Explorer_Server"
// window the web view lies over. The view (with its page) lives as long as
// the component; a new window of the component takes the same view.
class TWB : public TWinControl {
public:
    explicit TWB(TComponent* AOwner);
    ~TWB() override;

    void Navigate(const std::string& URL);
    void Navigate(const std::string& URL, int Flags, const std::string& TargetFrameName,
                  const std::string& PostData, const std::string& Headers);
    void Navigate2(const std::string& URL, int Flags = 0, const std::string& TargetFrameName = "",
                   const std::string& PostData = "", const std::string& Headers = "");
    void GoBack();
    void GoForward();
    void Stop();
    void Refresh();
    void Refresh2(int Level);

    int ReadyState() const;
    bool Busy() const;
    // The engine shows none of its own dialog boxes.
    bool GetSilent() const { return FSilent; }
    void SetSilent(bool Value);
    // A registered browser is one of the program's shell windows (the form
    // filler of the tools walks them).
    bool GetRegisterAsBrowser() const { return FRegisterAsBrowser; }
    void SetRegisterAsBrowser(bool Value);
    static std::vector<TWB*> RegisteredBrowsers();
    // Drops on the page reach it.
    bool GetRegisterAsDropTarget() const { return FRegisterAsDropTarget; }
    void SetRegisterAsDropTarget(bool Value);
    std::string LocationURL() const;
    std::string LocationName() const;
    // The current document, null before the first navigation made one.
    TWebDocument* Document();
    // The view; made with the component's first window.
    webview::View* WebView();

    // Commands of the control (print, page setup, zoom, find ...).
    HRESULT ExecWB(int CmdID, int CmdExecOpt, OleVariant& In, OleVariant& Out);

    TWBBeforeNavigate2 OnBeforeNavigate2;
    TWBNewWindow2 OnNewWindow2;
    TWBNavigateComplete2 OnNavigateComplete2;
    TWBDocumentComplete OnDocumentComplete;
    TWBTitleChange OnTitleChange;
    TWBStatusTextChange OnStatusTextChange;
    TWBNavigateError OnNavigateError;
    TWBScriptDialog OnScriptDialog;

    // The view to use instead of the one the display backend gives (tests
    // choose the headless one on any display). Before the first window only.
    void UseHeadlessView() { FForceHeadless = true; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& Message) override;
    // Binds the view's events; the host base adds its decisions.
    virtual void BindView(webview::View& View);
    // Hands the properties that decide the engine's behaviour to the view.
    virtual void ApplyAmbient() {}
    // The commands the control's window carries out (desktop commands).
    virtual bool ControlCommand(int Cmd);
    // The host fills a page set-up it asked for itself; true when it did.
    virtual bool PageSetupFromHost() { return false; }
    // A refresh the user or the page asked for; the host may keep it.
    virtual bool RefreshAllowed(int Level) {
        (void)Level;
        return true;
    }
    HWND DocObjectWindow() const { return FDocView; }
    HWND ServerWindow() const { return FServer; }
    bool ComponentDestroying() const { return FDestroying; }

    std::unique_ptr<webview::View> FView;
    std::unique_ptr<TWebDocument> FDocument;
    bool FDestroying = false;

private:
    void makeChildren();
    bool FSilent = true;
    bool FRegisterAsBrowser = false;
    bool FRegisterAsDropTarget = true;
    bool FForceHeadless = false;
    HWND FDocView = 0;
    HWND FServer = 0;
};

using TShowContextMenuEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, uint32_t dwID, const POINT* ppt,
                       void* CommandTarget, TWebDocument* Context, HRESULT& Result)>;
using TMenuPreprocess =
    std::function<void(TObject* Sender, uint32_t ID, TPopupMenu* Menu, TWebDocument* Context)>;
using TGetHostInfoEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, TDOCHOSTUIINFO& pInfo)>;
using TWBNotifyEvent = std::function<void(TObject* Sender, HRESULT& Rezult)>;
using TShowUIEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, uint32_t dwID, HRESULT& Rezult)>;
using TEnableModelessEvent = std::function<void(TCustomEmbeddedBrowser* Sender, bool fEnable)>;
using TOnActivateEvent = std::function<void(TCustomEmbeddedBrowser* Sender, bool fActivate)>;
using TResizeBorderEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, const RECT* prcBorder, bool fRameWindow)>;
using TTranslateAcceleratorEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, const TMsg* lpMsg,
                       const TGUID* pguidCmdGroup, uint32_t nCmdID, bool& Done)>;
using TMaskedCtrlCharEvent = std::function<void(TCustomEmbeddedBrowser* Sender, char MaskedChar)>;
using TGetDropTargetEvent = std::function<void(TCustomEmbeddedBrowser* Sender, void*& DropTarget)>;
using TGetExternalEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, TExternalObject*& ppDispatch)>;
using TTranslateUrlEvent = std::function<void(
    TCustomEmbeddedBrowser* Sender, const std::string& pchURLIn, std::string& ppchURLOut)>;
using TFilterDataObjectEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, void* pDO, void*& ppDORet)>;
using TShowMessageEvent = std::function<HRESULT(
    TObject* Sender, HWND hwnd, const std::string& lpstrText, const std::string& lpstrCaption,
    int dwType, const std::string& lpstrHelpFile, int dwHelpContext, int& plResult)>;
using TShowHelpEvent =
    std::function<HRESULT(TObject* Sender, HWND hwnd, const std::string& pszHelpFile, int uCommand,
                          int dwData, POINT ptMouse, void*& pDispatchObjectHit)>;
using TRefreshEvent = std::function<void(TCustomEmbeddedBrowser* Sender, int CmdID, bool& Cancel)>;
using TComTargetExecEvent = std::function<void(
    TObject* Sender, const TGUID* CmdGroup, uint32_t nCmdID, uint32_t nCmdexecopt,
    const OleVariant& vaIn, OleVariant& vaOut, HRESULT& Rezult)>;
using TScriptErrorEvent = std::function<void(
    TObject* Sender, const std::string& ErrorLine, const std::string& ErrorCharacter,
    const std::string& ErrorCode, const std::string& ErrorMessage, const std::string& ErrorUrl,
    TScriptErrorAction& ScriptErrorAction)>;
using TQueryServiceEvent =
    std::function<void(TObject* Sender, const TGUID& rsid, const TGUID& iid, void*& Obj)>;
using TEvaluateNewWindowEvent = std::function<void(
    TCustomEmbeddedBrowser* Sender, const std::string& pszUrl, const std::string& pszName,
    const std::string& pszUrlContext, const std::string& pszFeatures, bool fReplace,
    uint32_t dwFlags, uint32_t dwUserActionTime, HRESULT& Rezult)>;
using TBoolQueryEvent = std::function<void(TObject* Sender, bool& Value)>;
using TDownloadEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, const std::string& URL, HRESULT& Rezult)>;
using TOMWindowMoveEvent = std::function<void(TCustomEmbeddedBrowser* Sender, int cx, int cy)>;
using TAuthenticateEvent =
    std::function<void(TCustomEmbeddedBrowser* Sender, HWND& hwnd, std::string& szUserName,
                       std::string& szPassWord, HRESULT& Rezult)>;
using TZoomPercentChangedEvent =
    std::function<HRESULT(TCustomEmbeddedBrowser* Sender, uint32_t ulZoomPercent)>;
using TOnDragEnterEvent = std::function<void(TObject* Sender, void* dataObj, int grfKeyState,
                                             POINT pt, int& dwEffect, HRESULT& Rezult)>;
using TOnDragOverEvent =
    std::function<void(TObject* Sender, int grfKeyState, POINT pt, int& dwEffect, HRESULT& Rezult)>;
using TInvokeEvent = std::function<void(TObject* Sender, int DispID, uint16_t Flags,
                                        OleVariant& VarResult, HRESULT& Rezult)>;
using TGetIDsOfNamesEvent =
    std::function<void(TObject* Sender, const std::string& Name, int& DispID, HRESULT& Rezult)>;
using TGetTypeInfoEvent = std::function<void(TObject* Sender, int Index, HRESULT& Rezult)>;
using TGetTypeInfoCountEvent = std::function<void(TObject* Sender, int& Count, HRESULT& Rezult)>;

// The ambient dispatch's kinds of call.
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

class TCustomEmbeddedBrowser : public TWB {
public:
    explicit TCustomEmbeddedBrowser(TComponent* AOwner);
    ~TCustomEmbeddedBrowser() override;

    // Published.
    std::string DisableCtrlShortcuts = "N";
    const TDownloadControlOptions& DownloadOptions() const { return FDownloadOptions; }
    void SetDownloadOptions(const TDownloadControlOptions& Value);
    const TUserInterfaceOptions& UserInterfaceOptions() const { return FUserInterfaceOptions; }
    void SetUserInterfaceOptions(const TUserInterfaceOptions& Value);
    std::string HelpFile;
    std::string OptionKeyPath;
    bool OverrideOptionKeyPath = false;
    TDragDropHandlingType DropHandlingType() const { return FDropHandlingType; }
    void SetDropHandlingType(TDragDropHandlingType Value);
    TIEPopupMenus DisabledPopupMenus;
    bool FloatingHosting = false;
    TScriptErrorAction ScriptErrorAction = eaContinue;
    TPopupMenu* PopupMenu = nullptr;

    // Public.
    bool CanGrabFocus = true;
    uint32_t HostFlags() const { return FHostFlags; }
    uint32_t DownloadControlValue() const { return FDownloadControl; }

    // Events.
    TShowContextMenuEvent OnShowContextMenu;
    TMenuPreprocess OnFilterPopupMenu;
    TGetHostInfoEvent OnGetHostInfo;
    TShowUIEvent OnShowUI;
    TWBNotifyEvent OnHideUI;
    TWBNotifyEvent OnUpdateUI;
    TEnableModelessEvent OnEnableModeless;
    TOnActivateEvent OnOnDocWindowActivate;
    TOnActivateEvent OnOnFrameWindowActivate;
    TResizeBorderEvent OnResizeBorder;
    TTranslateAcceleratorEvent OnTranslateAccelerator;
    TMaskedCtrlCharEvent OnMaskedCtrlChar;
    TGetDropTargetEvent OnGetDropTarget;
    TGetExternalEvent OnGetExternal;
    TTranslateUrlEvent OnTranslateUrl;
    TFilterDataObjectEvent OnFilterDataObject;
    TShowMessageEvent OnShowMessage;
    TShowHelpEvent OnShowHelpRequest;
    TRefreshEvent OnRefresh;
    TNotifyEvent OnPreRefresh;
    TNotifyEvent OnUnload;
    TComTargetExecEvent OnCommandExec;
    TScriptErrorEvent OnScriptError;
    TQueryServiceEvent OnQueryService;
    TEvaluateNewWindowEvent OnEvaluateNewWindow;
    TBoolQueryEvent OnAllowFocusChange;
    TDownloadEvent OnFileDownload;
    TOMWindowMoveEvent OnMove;
    TOMWindowMoveEvent OnMoveBy;
    TOMWindowMoveEvent OnResize;
    TOMWindowMoveEvent OnResizeBy;
    TAuthenticateEvent OnAuthenticate;
    TZoomPercentChangedEvent OnZoomPercentChange;
    TNotifyEvent OnPopulateNSTable;
    TOnDragEnterEvent OnDragEnter;
    TOnDragOverEvent OnDragOver2;
    TNotifyEvent OnDragLeave;
    TOnDragEnterEvent OnDropEvent;
    TGetIDsOfNamesEvent OnGetIDsOfNames;
    TGetTypeInfoEvent OnGetTypeInfo;
    TGetTypeInfoCountEvent OnGetTypeInfoCount;
    TInvokeEvent OnInvoke;

    // The host's answers, in the shape the view's callbacks take them. The
    // view reaches them through its events (see BindView); they can be
    // called directly as well.
    HRESULT ShowContextMenu(uint32_t dwID, const POINT* ppt, void* CommandTarget,
                            TWebDocument* Context);
    virtual HRESULT GetHostInfo(TDOCHOSTUIINFO& pInfo);
    HRESULT ShowUI(uint32_t dwID);
    HRESULT HideUI();
    HRESULT UpdateUI();
    HRESULT EnableModeless(bool fEnable);
    HRESULT OnDocWindowActivate(bool fActivate);
    HRESULT OnFrameWindowActivate(bool fActivate);
    HRESULT ResizeBorder(const RECT* prcBorder, bool fRameWindow);
    HRESULT TranslateAccelerator(const TMsg* lpMsg, const TGUID* pguidCmdGroup, uint32_t nCmdID);
    HRESULT GetOptionKeyPath(std::string& pchKey);
    HRESULT GetOverrideKeyPath(std::string& pchKey);
    HRESULT GetDropTarget(void*& ppDropTarget);
    HRESULT GetExternal(TExternalObject*& ppDispatch);
    HRESULT TranslateUrl(const std::string& pchURLIn, std::string& ppchURLOut);
    HRESULT FilterDataObject(void* pDO, void*& ppDORet);
    HRESULT ShowMessage(HWND hwnd, const std::string& Text, const std::string& Caption, int dwType,
                        const std::string& HelpFile, int HelpContext, int& plResult);
    HRESULT ShowHelp(HWND hwnd, const std::string& pszHelpFile, int uCommand, int dwData,
                     POINT ptMouse, void*& pDispatchObjectHit);
    HRESULT QueryStatus(const TGUID* CmdGroup, uint32_t cCmds);
    HRESULT Exec(const TGUID* CmdGroup, uint32_t nCmdID, uint32_t nCmdexecopt,
                 const OleVariant& vaIn, OleVariant& vaOut);
    HRESULT QueryService(const TGUID& guidService, const TGUID& riid, void*& Obj);
    HRESULT EvaluateNewWindow(const std::string& pszUrl, const std::string& pszName,
                              const std::string& pszUrlContext, const std::string& pszFeatures,
                              bool fReplace, uint32_t dwFlags, uint32_t dwUserActionTime);
    HRESULT AllowFocusChange(bool& pfAllow);
    HRESULT Download(const std::string& URL);
    HRESULT moveTo(int x, int y);
    HRESULT moveBy(int x, int y);
    HRESULT resizeTo(int x, int y);
    HRESULT resizeBy(int x, int y);
    HRESULT Authenticate(HWND& phwnd, std::string& pszUsername, std::string& pszPassword,
                         bool& UserNameSet, bool& PasswordSet);
    HRESULT ZoomPercentChanged(uint32_t ulZoomPercent);
    HRESULT PopulateNamespaceTable();
    HRESULT DragEnter(void* dataObj, int grfKeyState, POINT pt, int& dwEffect);
    HRESULT DragOver(int grfKeyState, POINT pt, int& dwEffect);
    HRESULT DragLeave();
    HRESULT Drop(void* dataObj, int grfKeyState, POINT pt, int& dwEffect);
    HRESULT Invoke(int DispID, uint16_t Flags, const OleVariant& PutValue, OleVariant* VarResult,
                   TExcepInfo* ExcepInfo = nullptr);

    // The virtual operations, in their slot order.
    virtual bool IsMaskedCtrlShortcut(const TMsg& Msg);
    virtual bool HandleScriptError(const OleVariant& vaIn, OleVariant& vaOut);
    virtual bool ProvidesService(const TGUID& rsid, const TGUID& iid, void*& Obj);
    virtual bool HasPopupMenuFilter();
    virtual void FilterPopupMenu(TObject* Sender, uint32_t ID, TPopupMenu* Menu,
                                 TWebDocument* Context);

    // Drag-and-drop helpers.
    static void DropEffect(int grfKeyState, int& dwEffect);
    static std::string dwEffectToStr(int64_t Command);

    // Host commands, zoom and document helpers.
    HRESULT InvokeCommand(const TGUID* CmdGroup, uint32_t Cmd, uint32_t nCmdexecopt,
                          OleVariant& vaIn, OleVariant& vaOut);
    HRESULT InvokeCommand(const TGUID* CmdGroup, uint32_t Cmd);
    HRESULT QueryCommandStatus(const TGUID* CmdGroup, uint32_t cCmds, uint32_t* prgCmdFlags);
    uint32_t QueryCMDStatus(const TGUID* CmdGroup, uint32_t cmdID);
    bool QueryCMDEnabled(const TGUID* CmdGroup, uint32_t cmdID);
    bool QueryCMDLatched(const TGUID* CmdGroup, uint32_t cmdID);
    int Zoom();
    void SetZoom(int Value);
    int ZoomPercent() const { return FZoomPercent; }
    void SetZoomPercent(int Value);
    int ZoomRangeHigh();
    int ZoomRangeLow();
    TWebDocument* Doc2() { return Document(); }
    TWebDocument* Doc3() { return Document(); }
    TWebDocument* Doc4() { return Document(); }
    TWebDocument* Doc5() { return Document(); }
    std::string CharactersSet();
    void SetCharactersSet(const std::string& Value);
    bool DesignMode() const { return FDesignMode; }
    void SetDesignMode(bool Value);
    TDocDesignMode DocDesignMode();
    void SetDocDesignMode(TDocDesignMode Value);
    std::string Cookie();
    bool ScrollToElement(const std::string& ElementId);
    void Client2HostWin(int& CX, int& CY);

    // Focus operations.
    void SetFocusToDoc();
    void SetFocusToBody();
    void SetFocusToParent();
    HWND GetIEWin(const std::string& ClassName);

    // The pre-refresh tick shared by every browser of the process.
    static uint32_t& LastPreRefreshTick();

protected:
    void BindView(webview::View& View) override;
    bool RefreshAllowed(int Level) override;
    // Applies the host flags, download control and user agent to the view.
    void ApplyAmbient() override;
    // The custom context menu: the engine's items as a menu the filter
    // changes; what it leaves is shown.
    bool ShowBrowserContextMenu(uint32_t dwID, const POINT* ppt, TWebDocument* Context);
    // The engine's items of the context menu being decided, and whether the
    // custom menu took them.
    std::vector<webview::MenuItem>* FContextItems = nullptr;
    bool FContextShown = false;
    // False once the component is gone (for calls posted to the loop).
    std::shared_ptr<bool> FHostAlive = std::make_shared<bool>(true);
    // Bound by TEmbeddedBrowser: the user-agent query and the child-window
    // notification.
    std::function<bool(std::string& UserAgent)> FUserAgentQuery;
    std::function<void()> FChildWindowNotify;
    // The mouse keys of the click being reported, for the click's shift state.
    WPARAM FClickKeys = 0;

private:
    void keyInput(const webview::KeyInput& Key, bool& Consumed);
    TDownloadControlOptions FDownloadOptions;
    TUserInterfaceOptions FUserInterfaceOptions;
    TDragDropHandlingType FDropHandlingType = ddtMS;
    uint32_t FHostFlags = 0;
    uint32_t FDownloadControl = 0;
    bool FDesignMode = false;
    int FZoomPercent = 0;
    std::string FExtraCss;
};
