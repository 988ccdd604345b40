// Standard controls: panels, buttons, check and radio boxes, group boxes and
// labels that draw themselves, and edits, memos, list boxes and scroll bars
// over the window classes of the window layer.
#pragma once

#include "classlib/controls.h"
#include "classlib/strings.h"

#include <memory>

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TCustomPanel : public TWinControl {
public:
    explicit TCustomPanel(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    TBevelCut BevelOuter = bvRaised;
    TBevelCut BevelInner = bvNone;
    TAlignment Alignment = taCenter;

protected:
    // Draws the whole control into a client device context.
    virtual void Paint(HDC dc, const RECT& client);
};

class TPanel : public TCustomPanel {
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    // Runs OnClick (a release of the left button over the button, or space
    // or enter while it has the focus) and sets the form's ModalResult.
    void Click() override;
    bool Pressed() const { return FPressed; }

    // Enter anywhere on the form clicks the default button, Escape the cancel one.
    bool Default = false;
    bool Cancel = false;
    int ModalResult = 0;

protected:
    virtual void Paint(HDC dc, const RECT& client);

private:
    void SetPressed(bool Value);
    bool FPressed = false;
};

// A group of controls under a frame with a caption.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    TRect ClientRect() const override;

protected:
    virtual void Paint(HDC dc, const RECT& client);
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// Check and radio boxes over the "BUTTON" class; OnClick follows every change
// of Checked, made by the user or by the program.
class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    bool Checked() const { return FState == cbChecked; }
    virtual void SetChecked(bool Value);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual DWORD ButtonStyle() const = 0;
    virtual void Toggle() = 0;
    void SetStateValue(TCheckBoxState Value);
    TCheckBoxState FState = cbUnchecked;
};

class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {}
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState Value);
    bool AllowGrayed = false;

protected:
    DWORD ButtonStyle() const override;
    void Toggle() override;
};

// Checking one unchecks the other radio buttons of the same parent.
class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {}
    void SetChecked(bool Value) override;

protected:
    DWORD ButtonStyle() const override;
    void Toggle() override;
};

// A caption drawn by its parent; "&" marks the accelerator that focuses FocusControl.
class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    TAlignment Alignment = taLeftJustify;
    TTextLayout Layout = tlTop;
    bool WordWrap = false;
    bool ShowAccelChar = true;
    bool Transparent = false;
    TWinControl* FocusControl = nullptr;
    bool AutoSize() const { return FAutoSize; }
    virtual void SetAutoSize(bool Value);

protected:
    void Paint() override;
    virtual std::string GetLabelText() const { return Caption(); }
    // Draws (or with DT_CALCRECT measures) the text into Rect.
    virtual void DoDrawText(TRect& Rect, UINT Flags);
    // Fits the size to the text when AutoSize is on.
    virtual void AdjustBounds();

private:
    bool FAutoSize = true;
};

class TLabel : public TCustomLabel {
public:
    explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TBorderStyle { bsNoBorder, bsSingleBorder };

// A text field over the "EDIT" class.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    void WndProc(TMessage& Message) override;

    int SelStart() const;
    void SetSelStart(int Value);
    int SelLength() const;
    void SetSelLength(int Value);
    std::string SelText() const;
    void SetSelText(const std::string& Value);
    void SelectAll();
    void ClearSelection();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();
    bool CanUndo() const;
    void ClearUndo();
    void Clear() { SetText(""); }
    bool Modified() const;
    void SetModified(bool Value);

    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    char32_t PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char32_t Value);
    TEditCharCase CharCase = ecNormal;
    TBorderStyle BorderStyle = bsSingleBorder;
    bool AutoSelect = true;
    bool HideSelection = true;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void Change();
    LRESULT Send(UINT Msg, WPARAM WParam, LPARAM LParam) const;

    int FMaxLength = 0;
    bool FFocusByMouse = false;
    bool FReadOnly = false;
    char32_t FPasswordChar = 0;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

// The edit that masked edits build on; GetSel answers the selection's ends.
class TCustomMaskEdit : public TCustomEdit {
public:
    explicit TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
    std::string EditMask;
    void GetSel(int& SelStart, int& SelStop) const;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line edit; Lines reads and writes its text line by line.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;
    TStrings* Lines() { return FLines.get(); }
    bool WordWrap = true;
    bool WantReturns = true;
    bool WantTabs = false;
    TScrollStyle ScrollBars = ssNone;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    std::unique_ptr<TStrings> FLines;
};

class TMemo : public TCustomMemo {
public:
    explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
enum TOwnerDrawStateFlag : unsigned {
    odSelected = 0x01,
    odGrayed = 0x02,
    odDisabled = 0x04,
    odChecked = 0x08,
    odFocused = 0x10,
};
using TOwnerDrawState = unsigned;
class TCustomListBox;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// A list over the "LISTBOX" class. Items are kept by the window; OnClick
// follows a change of selection by the user.
class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;
    void WndProc(TMessage& Message) override;

    TStrings* Items() { return FItems.get(); }
    int Count() const;
    int ItemIndex() const;
    void SetItemIndex(int Value);
    bool Selected(int Index) const;
    void SetSelected(int Index, bool Value);
    int SelCount() const;
    int TopIndex() const;
    void SetTopIndex(int Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    // The item at a client point, -1 when none (Existing) or the nearest.
    int ItemAtPos(const TPoint& Pos, bool Existing) const;
    TRect ItemRect(int Index) const;
    void Clear();
    TCanvas* Canvas() { return &FCanvas; }

    TListBoxStyle Style = lbStandard;
    bool MultiSelect = false;
    bool ExtendedSelect = true;
    bool Sorted = false;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    LRESULT Send(UINT Msg, WPARAM WParam, LPARAM LParam) const;

private:
    friend class TListBoxStrings;
    std::unique_ptr<TStrings> FItems;
    std::unique_ptr<TStringList> FSaved; // items while the window is away
    int FSavedIndex = -1;
    int FItemHeight = 16;
    TCanvas FCanvas;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

// A scroll bar of its own over the "SCROLLBAR" class.
class TScrollBar : public TWinControl {
public:
    explicit TScrollBar(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    TScrollBarKind Kind = sbHorizontal;
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    int PageSize() const { return FPageSize; }
    void SetParams(int APosition, int AMin, int AMax);
    void SetPosition(int Value) { SetParams(Value, FMin, FMax); }
    void SetPageSize(int Value);
    int SmallChange = 1;
    int LargeChange = 1;
    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    virtual void Change();
    virtual void Scroll(TScrollCode ScrollCode, int& ScrollPos);

private:
    void UpdateBar();
    int FMin = 0, FMax = 100, FPosition = 0, FPageSize = 0;
};
