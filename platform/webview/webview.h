// The embedded web view: a page shown inside one of our windows (the host).
//
// Two backends stand behind one interface: the web engine under the GTK
// display (a native view placed over the host, following its bounds,
// visibility and focus, torn down with it) and a headless stand-in that keeps
// a small document model of what it loads. CreateView picks the one that fits
// the display backend in force.
//
// All calls and events run on the host window's thread (the main thread).
// Events fire from inside the window layer's loops, never from inside the call
// that caused them, except where a call says it waits.
#pragma once

#include "platform/win/types.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace webview {

enum class ReadyState { Uninitialized = 0, Loading = 1, Loaded = 2, Interactive = 3, Complete = 4 };

// A navigation as the host sees it (before it happens) or asks for it.
struct Navigation {
    std::string url;
    int flags = 0;
    std::string target;
    std::string postData; // raw bytes of a form post; empty: a plain GET
    std::string headers;  // extra request headers, "Name: value" lines
    bool userInitiated = false;
};

struct ScriptResult {
    bool ok = false;
    std::string value; // the answer as text (String(x)); empty for undefined
    std::string error; // the exception text when !ok
};

// A script error the page raised and nobody caught.
struct ScriptError {
    int line = 0;
    int column = 0;
    std::string message;
    std::string url;
};

enum class DialogKind { Alert, Confirm, Prompt, BeforeUnload };

// A script dialog the page opens; the host answers it.
struct ScriptDialog {
    DialogKind kind = DialogKind::Alert;
    std::string message;
    std::string defaultText;
    bool accept = true;   // the answer of confirm and prompt
    std::string response; // the text of prompt
    // False: the host leaves the dialog to the engine, which shows its own.
    bool handled = true;
};

// An item of the engine's context menu: its command in the browser menus'
// numbering (2282 back, 2283 forward, 2300 refresh, 31 select all, 26
// paste, 15 copy, 16 cut, 2136 open link, 2137 open link in a new window),
// kMenuEngineAction plus the engine's own number for the others, -1 for a
// separator; and its label.
constexpr int kMenuEngineAction = 0x10000;
struct MenuItem {
    int action = -1;
    std::string label;
};

// A drag over the page: the host may take the drop itself.
enum class DragStep { Enter, Over, Leave, Drop };
struct DragEvent {
    DragStep step = DragStep::Over;
    int x = 0, y = 0; // in the host's client area
    WPARAM keys = 0;  // MK_SHIFT, MK_CONTROL of the pointer's state
    int allowed = 0;  // effects the source offers: 1 copy, 2 move, 4 link
    int effect = 0;   // the host's answer: the effect it takes, 0 none
    std::string text; // at Drop: the dropped text or address list
};

// A request of the page to move or size its window.
enum class WindowRequest { MoveTo, MoveBy, ResizeTo, ResizeBy };

// Page set-up of the prints: orientation and margins.
struct PageSetup {
    bool landscape = false;
    bool inches = false;                                 // margins in inches, else millimetres
    double left = -1, top = -1, right = -1, bottom = -1; // -1: the paper's own
};

// What the host allows the page to do and how it looks.
struct Settings {
    bool contextMenu = true;
    bool scrollBars = true;
    bool border3D = true;
    bool textSelection = true;
    bool images = true;
    bool media = true;
    bool scripts = true;
    bool offline = false;
    std::string userAgent; // empty: the engine's own
    std::string hostCss;   // style sheet added to every page
    // The engine shows none of its own dialogs (script dialogs the host
    // leaves to it, log-in, print) and answers them quietly.
    bool silent = true;
    // Drops on the page reach the page; when off, nothing can be dropped.
    bool acceptDrops = true;
    // The host decides drops (OnDrag) instead of the page.
    bool hostDrops = false;
};

// Key and mouse input that reached the page, in the window layer's terms.
struct KeyInput {
    bool down = true;
    int virtualKey = 0;
    int scanCode = 0;
    bool shift = false;
    bool control = false;
    bool alt = false;
};
struct MouseInput {
    UINT message = 0; // WM_LBUTTONDOWN, WM_RBUTTONDOWN, ...
    int x = 0, y = 0; // in the host's client area
    WPARAM keys = 0;  // MK_* of the press
};

// What a context menu was opened on.
enum ContextKind {
    kContextDefault = 0,
    kContextImage = 1,
    kContextControl = 2,
    kContextSelection = 4,
    kContextAnchor = 5
};

struct FindOptions {
    bool backwards = false;
    bool matchCase = false;
    bool wholeWord = false;
    bool wrap = false;
};

class View {
public:
    explicit View(HWND host) : host_(host) {}
    virtual ~View() = default;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    HWND Host() const { return host_; }
    // Moves the view to another host window (the page stays).
    virtual void SetHost(HWND host) { host_ = host; }
    virtual const char* BackendName() const = 0;

    // Starts a navigation; OnBeforeNavigate sees it first. False when the
    // address cannot be used at all (empty, malformed).
    virtual bool Navigate(const Navigation& nav) = 0;
    // Shows a document held in memory: bytes in charset (empty: UTF-8), with
    // baseUrl as its address for relative links and pictures.
    virtual bool LoadHtml(const std::string& bytes, const std::string& charset,
                          const std::string& baseUrl) = 0;
    virtual bool GoBack() = 0;
    virtual bool GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Reload(bool bypassCache) = 0;
    // Shows the document again decoded from its original bytes in charset
    // ("" the page's own); with reload false the set takes effect at the
    // next reload.
    virtual bool SetCharset(const std::string& charset, bool reload) = 0;
    // Forgets the pages before and after the current one.
    virtual void ClearBackForward() = 0;

    virtual ReadyState State() const = 0;
    virtual bool Busy() const = 0;
    // Whether a document exists (one has been loaded or is being shown).
    virtual bool HasDocument() const = 0;
    virtual std::string Url() const = 0;
    virtual std::string Title() const = 0;

    // Runs script in the page and waits for its answer, pumping the loop, at
    // most timeoutMs; a script still running then is given up on.
    virtual ScriptResult Evaluate(const std::string& script, unsigned timeoutMs = 5000) = 0;

    // Document queries (the engine answers through script; the stand-in
    // through its document model).
    virtual std::string DocumentHtml();      // documentElement.outerHTML
    virtual std::string DocumentInnerHtml(); // documentElement.innerHTML
    virtual std::string DocumentText();      // documentElement.innerText
    virtual std::vector<std::string> Links();
    virtual std::string SelectedText(bool asHtml);
    virtual bool ScrollTo(int x, int y);
    virtual bool ScrollToElement(const std::string& id);
    virtual POINT ScrollPosition(); // {-1,-1} when unknown
    virtual SIZE ScrollSize();      // scrollWidth/Height of the body
    virtual SIZE ClientSize();      // clientWidth/Height of the body
    // Sets the value of the form fields named name (all, or only number index);
    // returns how many were set.
    virtual int FillField(const std::string& name, const std::string& value, int index);
    virtual std::string FieldValue(const std::string& name);
    // document.execCommand / queryCommandEnabled.
    virtual bool ExecCommand(const std::string& command, const std::string& value = "");
    virtual bool CommandEnabled(const std::string& command);
    virtual std::string Charset();
    virtual std::string DesignMode();
    virtual bool SetDesignMode(const std::string& mode);
    virtual std::string Cookie();

    // Zoom factor of the page (1.0 = 100 %).
    virtual void SetZoom(double factor) = 0;
    virtual double Zoom() const = 0;
    // Finds text and selects the match; answers whether one was found.
    virtual bool Find(const std::string& text, const FindOptions& options) = 0;
    virtual void FindFinish() = 0;
    // Prints the page, with the print dialog when askUser; false when no
    // document or printing is not possible.
    virtual bool Print(bool askUser) = 0;
    // The page set-up of later prints and previews.
    virtual void SetPageSetup(const PageSetup& setup) = 0;
    virtual PageSetup CurrentPageSetup() const = 0;
    // The page set-up dialog (paper, orientation); its answer becomes the
    // page set-up. False when cancelled.
    virtual bool RunPageSetupDialog() = 0;
    // Shows how the page prints: a print into a PDF file opened with the
    // desktop's viewer. False when no document.
    virtual bool PrintPreview() = 0;
    // Saves the document's markup to a file.
    virtual bool SaveTo(const std::string& path);
    // Shows the document's markup as text in place of the page.
    virtual bool ViewSource();
    // Draws the page into a 32-bit top-down BGRA buffer of width x height;
    // false when the backend cannot.
    virtual bool Snapshot(int width, int height, std::vector<uint32_t>& pixels) = 0;

    virtual void Apply(const Settings& settings) = 0;
    const Settings& CurrentSettings() const { return settings_; }

    // Gives the page the keyboard focus.
    virtual void Focus() = 0;
    virtual bool HasFocus() const = 0;
    // Matches the native view to the host's bounds, visibility and stacking
    // now (the backend also does so by itself while the loop runs).
    virtual void SyncPlacement() {}

    // Events.
    std::function<void(Navigation& nav, bool& cancel)> OnBeforeNavigate;
    std::function<void(const Navigation& nav, bool& cancel)> OnNewWindow;
    std::function<void(const std::string& url)> OnNavigateComplete;
    std::function<void(const std::string& url)> OnDocumentComplete;
    std::function<void(const std::string& url, const std::string& error)> OnNavigateError;
    std::function<void(const std::string& title)> OnTitleChange;
    std::function<void(const std::string& text)> OnStatusText;
    std::function<void(ReadyState state)> OnStateChange;
    // Answers whether scripts go on after the error.
    std::function<bool(const ScriptError& error)> OnScriptError;
    std::function<void(ScriptDialog& dialog)> OnScriptDialog;
    // Input that reached the page; true keeps it from the page.
    std::function<bool(const KeyInput& key)> OnKey;
    std::function<void(const MouseInput& mouse)> OnMouse;
    // A context menu of a kind (ContextKind) is about to open at (x, y) of
    // the host with the engine's items; true keeps it closed, otherwise the
    // engine shows the items left in the list.
    std::function<bool(int kind, int x, int y, std::vector<MenuItem>& items)> OnContextMenu;
    // The page asks for a download (a response it cannot show); true: the
    // host took it. Otherwise the engine saves it in the download folder.
    std::function<bool(const std::string& url)> OnDownload;
    // A site asks for a log-in: 0 cancel, 1 log in with user and password,
    // 2 the engine asks the user itself.
    std::function<int(const std::string& host, const std::string& realm, std::string& user,
                      std::string& password)>
        OnAuthenticate;
    // A navigation's address before it is decided; true with out set goes
    // to out instead.
    std::function<bool(const std::string& url, std::string& out)> OnTranslateUrl;
    // The page calls window.external.name(args): true with the answer when
    // the host has such an object.
    std::function<bool(const std::string& name, const std::vector<std::string>& args,
                       std::string& answer)>
        OnExternalCall;
    std::function<void(DragEvent& drag)> OnDrag;
    std::function<void(WindowRequest request, int x, int y)> OnWindowRequest;
    // The page is going away (a new page replaces it).
    std::function<void()> OnUnload;
    // The user asks for help in the page (F1) at (x, y) of the host; true
    // when the host answered.
    std::function<bool(int x, int y)> OnHelp;
    std::function<void(bool focused)> OnFocusChange;
    std::function<void(double factor)> OnZoomChange;

protected:
    // Answers of a script run through Evaluate that yields a JSON-free text.
    std::string EvalText(const std::string& script);

    HWND host_;
    Settings settings_;
};

// A view for host in the display backend in force: the engine under GTK,
// the stand-in otherwise (or when forceHeadless).
std::unique_ptr<View> CreateView(HWND host, bool forceHeadless = false);

// text as a script string literal.
std::string JsString(const std::string& text);

// An owner's event handler threw while the engine was calling the view:
// the exception never goes back into the engine; it is handed here (the
// default drops it). Set once by the host layer.
void SetHostExceptionHandler(std::function<void(std::exception_ptr)> handler);
void ReportHostException(std::exception_ptr e);

// Runs f, handing anything it throws to the host's exception handler.
template <class F> void Guarded(F&& f) {
    try {
        f();
    } catch (...) {
        ReportHostException(std::current_exception());
    }
}

// Starts the engine's processes ahead of the first view, so they start while
// the program builds its windows; the first view shares them. Nothing
// happens outside the toolkit display or once a view exists.
void StartEngine();
// Lets go of what StartEngine made when no view came to share it.
void StopEngineStart();

// The address of a local file ("file:///..." with every unsafe byte escaped).
std::string FileUrl(const std::string& path);

} // namespace webview
