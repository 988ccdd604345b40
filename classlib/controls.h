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
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;

// Screen cursor numbers; 0 is the default cursor of the control's class.
using TCursor = int;
constexpr TCursor crDefault = 0;

class TWinControl;

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

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }

    // Marks the control for painting; Repaint paints it at once.
    virtual void Invalidate();
    virtual void Repaint();

    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& Value) { SetText(Value); }
    virtual std::string GetText() const { return FText; }
    virtual void SetText(const std::string& Value);

protected:
    // Messages no handler took; a TWinControl passes them to the window's
    // default procedure.
    virtual void DefaultHandler(TMessage& Message);

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
    // Paints the visible window-less children into DC (client coordinates).
    void PaintControls(HDC DC);

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Shows or hides the window to match Visible.
    virtual void UpdateShowing();
    void DefaultHandler(TMessage& Message) override;

private:
    friend class TControl;
    static LRESULT InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);

    HWND FHandle = 0;
    bool FDestroyingHandle = false;
    std::vector<TControl*> FControls;
};

// A control without a window of its own, painted by its parent.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() { return FCanvas.get(); }
    // WM_PAINT carries the device context to draw on, origin at the control.
    void WndProc(TMessage& Message) override;

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> FCanvas;
    bool FPainting = false;
};

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
