// Forms, the application object and the screen.
//
// The main thread runs Application->Run(); forms are shown modelessly with
// Show or modally with ShowModal (a nested loop that ends when ModalResult is
// set or the application terminates). Closing the main form terminates the
// application.
#pragma once

#include "classlib/controls.h"

#include <functional>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TTileMode { tbHorizontal, tbVertical };

class TMenuItem;

// The form's own caption buttons, drawn by the platform's frame.
using TBorderIcons = unsigned;
struct TFormBorderIcon {
    static constexpr TBorderIcons biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4,
                                  biHelp = 0x8;
};

// A key message as short-cut handlers see it.
struct TWMKey {
    UINT Msg = 0;
    WORD CharCode = 0;
    LPARAM KeyData = 0;
    LRESULT Result = 0;
};
using TShortCutEvent = std::function<void(TWMKey& Msg, bool& Handled)>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TForm : public TWinControl {
public:
    // Forms start hidden.
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // Asks OnCloseQuery, then OnClose (default action caHide; the main form
    // terminates the application). In a modal showing it sets ModalResult to
    // mrCancel instead. A WM_CLOSE to the form's window comes here too.
    void Close();
    virtual bool CloseQuery();
    // Shows the form modally and returns the ModalResult that ended it.
    virtual int ShowModal();
    // Frees the form once the messages already waiting are handled.
    void Release();

    TModalResult ModalResult = mrNone;
    bool Modal() const { return FModal; }
    // The control that has (or gets back) the focus when the form is active.
    TWinControl* ActiveControl = nullptr;

    TFormBorderStyle BorderStyle = bsSizeable;
    // Which caption buttons the platform's frame gives the window.
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);

    // Key presses reach the form's short-cut handling before the focused
    // control; a handler that sets Handled consumes the key.
    TShortCutEvent OnShortCut;
    virtual bool IsShortCut(TWMKey& Message);
    // The window's icon; an empty one gives the window the application's.
    TIcon Icon;
    // A press anywhere on the form tells the focused control to leave any
    // mode it is in (an open drop-down, say); Sender is the control pressed.
    void SendCancelMode(TControl* Sender);

    // An MDI main form holds its children in a client window; an MDI child
    // lives in the client of the application's main form, which must be an
    // MDI main form when the child's window is made.
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    // The client window of an MDI main form (0 for other forms).
    HWND ClientHandle();
    // An MDI main form's children, top of the z-order first.
    int MDIChildCount();
    TForm* MDIChildren(int Index);
    TForm* ActiveMDIChild();
    void Cascade();
    void Tile();
    void ArrangeIcons();
    void Next();
    void Previous();
    TTileMode TileMode = tbHorizontal;
    // The menu an MDI main form lists its children in.
    TMenuItem* WindowMenu = nullptr;
    // An MDI child is maximized, restored and minimized inside the client.
    TWindowState WindowState();
    void SetWindowState(TWindowState Value);

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnDestroy;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void WndProc(TMessage& Message) override;
    void SetVisible(bool Value) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    virtual void DoClose(TCloseAction& Action);

private:
    std::vector<TForm*> MDIChildList();
    bool FModal = false;
    TBorderIcons FBorderIcons =
        TFormBorderIcon::biSystemMenu | TFormBorderIcon::biMinimize | TFormBorderIcon::biMaximize;
    TFormStyle FFormStyle = fsNormal;
    HWND FClientHandle = 0;
};

// The name ClassName() gives for objects of a type.
std::string ClassNameOf(const std::type_info& Type);

// Makes a T, setting *Reference to it before its constructor runs (as the
// class library's form creation does, so code run by the constructor already
// finds the form through its variable); *Reference is cleared when it throws.
template <class T> T* NewFormWithReference(TComponent* AOwner, T** Reference) {
    void* memory = ::operator new(sizeof(T));
    if (Reference) *Reference = static_cast<T*>(memory);
    try {
        return new (memory) T(AOwner);
    } catch (...) {
        if (Reference) *Reference = nullptr;
        ::operator delete(memory);
        throw;
    }
}

// A form class: its class name (also its window class) and how to make one.
struct TFormClass {
    std::string ClassName;
    std::function<TForm*(TComponent* AOwner)> Create;

    template <class T> static TFormClass Of(T** Reference = nullptr) {
        return TFormClass{ClassNameOf(typeid(T)), [Reference](TComponent* AOwner) -> TForm* {
                              return NewFormWithReference<T>(AOwner, Reference);
                          }};
    }
};

// The application object: the main thread's loop and the forms it owns.
class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // Starts a run: clears Terminated and makes the application's window.
    void Initialize();
    // Creates a form owned by the application; the first one becomes MainForm.
    template <class T> void CreateForm(T*& Reference) {
        T* form = NewFormWithReference<T>(this, &Reference);
        if (!FMainForm) FMainForm = form;
    }
    void CreateForm(const TFormClass& FormClass, TForm** Reference);

    // Shows the main form (when ShowMainForm) and runs the loop until
    // Terminated. Returns at once when there is no main form.
    void Run();
    // Ends the loop: posts WM_QUIT.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Handles every message waiting, then returns.
    void ProcessMessages();
    // Handles one message, or waits for one when none is waiting.
    void HandleMessage();

    HWND Handle();
    // Procedures that see the application window's messages first; one that
    // answers true has handled the message. Hooks run newest first.
    using TWindowHook = std::function<bool(TMessage& Message)>;
    int HookMainWindow(TWindowHook Hook); // returns an id for UnhookMainWindow
    void UnhookMainWindow(int Id);
    TForm* MainForm() const { return FMainForm; }
    void SetMainForm(TForm* Form) { FMainForm = Form; }
    bool ShowMainForm = true;
    std::string Title;
    // The program's icon (the tray shows it when given none).
    TIcon Icon;

    // Hints: a control with ShowHint and a Hint shows it (the text before
    // any "|") after HintPause ms of the mouse resting on it, for HintHidePause ms.
    bool ShowHint() const { return FShowHint; }
    // Turning hints off drops the hint window; the next one is of HintWindowClass.
    void SetShowHint(bool Value);
    int HintPause = 500;
    int HintHidePause = 2500;
    std::function<THintWindow*(TComponent* AOwner)> HintWindowClass;
    // Runs before a control's hint shows; may change the text or stop it.
    std::function<void(std::string& HintStr, bool& CanShow, TControl* HintControl)> OnShowHint;
    // Called when the mouse comes onto a control (null: none of ours).
    void HintMouseMessage(TControl* Control);
    // Shows the hint of the control under the mouse now.
    void ActivateHint(const TPoint& CursorPos);
    void CancelHint();
    THintWindow* HintWindow() const { return FHintWindow; }
    TControl* HintControl() const { return FHintControl; }

    // Sees each message before it is dispatched; Handled true stops it.
    std::function<void(MSG& Msg, bool& Handled)> OnMessage;
    // Handlers that see each message before OnMessage, newest first; one that
    // sets Handled stops it. Each is removed by the handle AddMessageHook gave,
    // so hooks may come and go in any order.
    using TMessageHook = std::function<void(MSG& Msg, bool& Handled)>;
    int AddMessageHook(TMessageHook Hook);
    void RemoveMessageHook(int Handle);
    int MessageHookCount() const { return int(FMessageHooks.size()); }
    // Receives exceptions that reach the loop (default: written to stderr).
    std::function<void(TObject* Sender, const std::exception& E)> OnException;

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool ProcessMessage(MSG& Msg);
    void HandleException(const std::exception& E);

    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    HWND FHandle = 0;
    std::vector<std::pair<int, TWindowHook>> FWindowHooks;
    std::vector<std::pair<int, TMessageHook>> FMessageHooks;
    int FNextMessageHook = 1;
    HWND FDropCharsOf = 0;
    // Key presses go to the short-cut handling of the focused control's form.
    bool IsShortCutMessage(MSG& Msg);
    // Mouse presses cancel the modes of the pressed form's focused control.
    void CancelModeForPress(const MSG& Msg);
    int FNextHookId = 1;
    bool FShowHint = true;
    THintWindow* FHintWindow = nullptr;
    TControl* FHintControl = nullptr;
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}
    int FormCount() const { return int(FForms.size()); }
    TForm* Forms(int Index) const { return FForms.at(size_t(Index)); }
    // The form whose window is the active window, null when none is ours.
    TForm* ActiveForm() const;
    int Width() const;
    int Height() const;

private:
    friend class TForm;
    std::vector<TForm*> FForms; // creation order
};

extern TApplication* Application;
extern TScreen* Screen;
