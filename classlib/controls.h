// Controls as far as forms need them: the message record, windows made for
// objects (AllocateHWnd), TControl and TWinControl.
//
// A TWinControl's window has the window class named after the object's class
// (ClassName(), e.g. "TfrmMain"); its window procedure hands every message to
// the object's WindowProc, which starts as WndProc. Replacing WindowProc (or
// the window's procedure with SetWindowLongPtr) puts a handler in front.
#pragma once

#include "classlib/classes.h"
#include "classlib/graphics.h"
#include "platform/win/windows.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage&)>;

// A hidden window whose messages go to Method. Free it with DeallocateHWnd.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// Messages of the class library's controls.
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 34;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 5;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5 + 0x100;  // wParam key, answer 1 when taken
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6 + 0x100; // wParam character, answer 1 when taken
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7 + 0x100;
constexpr UINT CM_COLORCHANGED = CM_BASE + 11;
constexpr UINT CM_FONTCHANGED = CM_BASE + 12;
// Screen cursor numbers; 0 is the default cursor of the control's class.
using TCursor = int;
constexpr TCursor crDefault = 0;
// The pointing hand shown over links.
constexpr TCursor crHandPoint = -2;

constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_ENTER = CM_BASE + 21 + 0x100;
constexpr UINT CM_EXIT = CM_BASE + 22 + 0x100;
constexpr UINT CM_CANCELMODE = CM_BASE + 4 + 0x100; // lParam: the control that caused it
constexpr UINT CM_HINTSHOW = CM_BASE + 48;

// Messages a parent hands back to the child control they concern.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + 0x0137;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
#ifndef LANTROVE_TALIGNMENT_DEFINED
#define LANTROVE_TALIGNMENT_DEFINED
enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
#endif
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag : unsigned {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
using TShiftState = unsigned;
// Shift state from the keys held now.
TShiftState KeyboardShiftState();
TShiftState MouseShiftState(WPARAM keys);

enum TControlStyleFlag : unsigned {
    csAcceptsControls = 0x0001,
    csCaptureMouse = 0x0002,
    csDesignInteractive = 0x0004,
    csClickEvents = 0x0008,
    csFramed = 0x0010,
    csSetCaption = 0x0020,
    csOpaque = 0x0040,
    csDoubleClicks = 0x0080,
    csParentBackground = 0x0100,
};
using TControlStyle = unsigned;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta,
                                            TPoint MousePos, bool& Handled)>;

class TWinControl;
class TPopupMenu;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    // The procedure every message of the control goes through; starts as
    // WndProc. Save the old value to call it from a replacement.
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // Sends a message straight to WindowProc.
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    std::string Caption() const { return GetText(); }
    std::string Text() const { return GetText(); }
    void SetCaption(const std::string& Value) { SetText(Value); }
    virtual std::string GetText() const { return FText; }
    virtual void SetText(const std::string& Value);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TFont* Font() { return &FFont; }
    void SetFont(TFont* Value) { FFont.Assign(Value); }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TControlStyle ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    std::string Hint;
    bool ShowHint = false;
    TPopupMenu* PopupMenu = nullptr;
    int Tag = 0;

    int ClientWidth() const { return ClientRect().Right; }
    int ClientHeight() const { return ClientRect().Bottom; }
    virtual TRect ClientRect() const { return TRect(0, 0, FWidth, FHeight); }
    TPoint ClientToScreen(const TPoint& P) const;
    TPoint ScreenToClient(const TPoint& P) const;
    // The control's place in its parent's client area; for window-less
    // controls that is where the parent paints them.
    TRect BoundsInParent() const { return BoundsRect(); }
    // Repaints: the window, or the parent's area under a window-less control.
    virtual void Invalidate();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    // The form the control sits on, null when none.
    class TForm* GetParentForm() const;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseWheelEvent OnMouseWheel;
    TNotifyEvent OnResize;

    // Runs OnClick.
    virtual void Click();
    virtual void DblClick();

protected:
    // Messages no handler took; a TWinControl passes them to the window's
    // default procedure.
    virtual void DefaultHandler(TMessage& Message);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual void Resize();
    // The mouse messages of every control (window-less ones get them from
    // their parent, in their own coordinates).
    void HandleMouseMessage(TMessage& Message);

    TAlign FAlign = alNone;
    TFont FFont;
    TColor FColor = clBtnFace;
    bool FClicked = false;

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FText;
    TCursor FCursor = crDefault;
};

// A control without a window of its own: its parent paints it (Paint on
// Canvas, after the parent's own painting) and hands it the mouse messages
// that fall on it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() { return &FCanvas; }
    void WndProc(TMessage& Message) override;
    // Paints into a DC of the parent's client area (the origin moved to the control).
    void PaintTo(HDC dc);

protected:
    virtual void Paint();

private:
    TCanvas FCanvas;
    // A control drawing what lies under it may reach itself again.
    bool FPainting = false;
};

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = 0;
    std::string WinClassName;
    // The class background, erased before painting.
    HBRUSH Background = nullptr;
    // A window class of the window layer ("EDIT", "LISTBOX", ...) whose
    // procedure handles what the control leaves to the default.
    std::string SuperClass;
    // Class styles (CS_...) of the window class.
    UINT WindowClassStyle = 0;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // The window, made on first use.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != 0; }
    void HandleNeeded() { Handle(); }
    // Destroys the window (the object stays).
    void DestroyHandle();

    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(size_t(Index)); }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetVisible(bool Value) override;
    void SetEnabled(bool Value) override;
    std::string GetText() const override;
    void SetText(const std::string& Value) override;
    void WndProc(TMessage& Message) override;

    // The control whose window is hwnd, null when it is none of ours.
    static TWinControl* FindControl(HWND hwnd);

    void Invalidate() override;
    void Repaint() override;
    TRect ClientRect() const override;

    // Focus and the tab order (the order among the parent's windowed controls).
    bool TabStop = false;
    int TabOrder() const;
    void SetTabOrder(int Value);
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // The next control in tab order after CurControl, within this control;
    // null when none.
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                 bool CheckParent) const;
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    // Lays out the aligned children (alTop ... alClient) in the client area.
    void Realign();
    // The window-less child at a client point (last inserted first), null when none.
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled) const;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    virtual void KeyPress(char32_t& Key);
    // Paints the window-less children over what the window painted.
    void PaintControls(HDC dc);
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Shows or hides the window to match Visible.
    virtual void UpdateShowing();
    void DefaultHandler(TMessage& Message) override;

    WNDPROC FDefWndProc = nullptr;

private:
    friend class TControl;
    friend class TGraphicControl;
    static LRESULT InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool HandleKeys(TMessage& Message);
    void RouteMouse(TMessage& Message);

    HWND FHandle = 0;
    bool FDestroyingHandle = false;
    bool FAligning = false;
    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    TBrush FBrush;
    TControl* FMouseCapture = nullptr; // window-less child holding the mouse
};

// The control under the mouse (for CM_MOUSEENTER / CM_MOUSELEAVE), null when none.
TControl* MouseControl();
// A windowed control that paints itself on its canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    // Draws on the window's device context while the control paints.
    TCanvas* Canvas() { return FCanvas.get(); }
    void WndProc(TMessage& Message) override;
    // Paints the control into DC.
    virtual void PaintWindow(HDC DC);

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// The small window that shows a control's hint; the application makes one of
// the class its HintWindowClass names.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);
    // Shows AHint in Rect (screen coordinates) without taking the activation.
    virtual void ActivateHint(const TRect& Rect, const std::string& AHint);
    // The rectangle (at 0, 0) the hint needs, wrapped at MaxWidth.
    virtual TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData);
    // Hides the window.
    virtual void ReleaseHandle();
    bool IsShowing() const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
};
