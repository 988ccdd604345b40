// Skinned box controls: the layout arithmetic of the skinned scroll bar.
#pragma once

#include "classlib/stdctrls.h"

// Range, position and part rectangles of a scroll bar that draws its own
// buttons, track and thumb; the skinned scroll bar keeps one of these.
struct TspScrollBarLayout {
    TScrollBarKind Kind = sbHorizontal;
    int Min = 0, Max = 100, Position = 0, PageSize = 0;
    bool Both = false;
    int BothMarkerWidth = 19;

    // Element values when a skin element is in use.
    bool Skinned = false;
    TRect SkinRect, TrackArea, UpButtonRect, DownButtonRect, ThumbRect;
    TPoint LBPoint, RTPoint;
    int ThumbMinSize = 0, ThumbMinPageSize = 0;

    // Results of CalcRects, in control coordinates.
    TRect UpButton, DownButton, Thumb, NewTrackArea;
    int Offset1 = 0, Offset2 = 0, BOffset = 0;

    // Below Min gives Min; above the last position a page leaves gives that.
    int ClampPosition(int Value) const;
    // Where the position lies between the ends, 0..1.
    double Fraction() const;
    void CalcRects(int W, int H);
    // The position for a thumb dragged by Delta pixels from OldBOffset.
    int CalcValue(int Delta, int OldBOffset);
};

#include <functional>
#include <memory>
#include <vector>

#include "skin/engine/SkinCtrls.h"

// One part of a skinned control that reacts to the pointer on its own.
struct TspCBButtonX {
    TRect R;
    bool MouseIn = false;
    bool Down = false;
};

// A scroll bar that draws and hit-tests its own buttons, track and thumb and
// repeats clicks with its own timer; list boxes and list views drive it.
class TspSkinScrollBar : public TspSkinCustomControl {
public:
    explicit TspSkinScrollBar(TComponent* AOwner);
    ~TspSkinScrollBar() override;

    TScrollBarKind Kind() const { return FKind; }
    void SetKind(TScrollBarKind Value);
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int PageSize() const { return FPageSize; }
    void SetPageSize(int Value);
    int SmallChange() const { return FSmallChange; }
    void SetSmallChange(int Value);
    int LargeChange() const { return FLargeChange; }
    void SetLargeChange(int Value);
    bool CanFocused() const { return FCanFocused; }
    void SetCanFocused(bool Value);
    bool Both() const { return FBoth; }
    void SetBoth(bool Value);
    int BothMarkerWidth() const { return FBothMarkerWidth; }
    void SetBothMarkerWidth(int Value);
    std::string BothSkinDataName = "bothhscrollbar";

    // Takes any page size and fires no event.
    void SetRange(int AMin, int AMax, int APosition, int APageSize);
    void SimplySetPosition(int AValue);

    TNotifyEvent OnChange;
    TNotifyEvent OnLastChange;
    TNotifyEvent OnUpButtonClick;
    TNotifyEvent OnDownButtonClick;
    TNotifyEvent OnPageUp;
    TNotifyEvent OnPageDown;

    enum { THUMB = 0, UPBUTTON = 1, DOWNBUTTON = 2 };
    // 0 thumb, 1 up button, 2 down button, in control coordinates.
    TspCBButtonX Buttons[3];
    TRect NewTrackArea;
    // The corner flag set straight by a list box that shares the corner.
    bool FBoth = false;
    std::string FNormalSkinDataName;

    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void FitSkinSize(int& W, int& H) override;
    void WndProc(TMessage& Message) override;
    void CalcRects();

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;

private:
    TspScrollBarLayout Layout() const;
    void TestActive(int X, int Y);
    void ButtonEnter(int I);
    void ButtonLeave(int I);
    void ButtonDown(int I, int X, int Y);
    void ButtonUp(int I);
    void StartTimer(UINT Ms);
    void StopTimer();
    void TimerTick();
    void StepUp();
    void StepDown();
    bool BeforeThumb(int X, int Y) const;
    bool AfterThumb(int X, int Y) const;
    void DrawDefaultPart(TCanvas* C, int I, bool Pressed);

    TScrollBarKind FKind = sbHorizontal;
    int FMin = 0, FMax = 100, FPosition = 0, FPageSize = 0;
    int FSmallChange = 1, FLargeChange = 1;
    bool FCanFocused = false;
    int FBothMarkerWidth = 0;

    int Offset1 = 0, Offset2 = 0, BOffset = 0, OldBOffset = 0, OMPos = 0;
    bool FDown = false, MouseD = false, WaitMode = false;
    int TimerMode = 0;
    int ActiveButton = -1, OldActiveButton = -1, CaptureButton = -1;
    int MX = 0, MY = 0;
    bool FClicksDisabled = false;
    bool FTimerOn = false;
    bool FElement = false;

    TRect TrackArea, UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect,
        ActiveDownButtonRect, DownDownButtonRect, ThumbRect, ActiveThumbRect, DownThumbRect;
    TRect GlyphRect, ActiveGlyphRect, DownGlyphRect;
    int ThumbOffset1 = 0, ThumbOffset2 = 0, ThumbMinSize = 0, ThumbMinPageSize = 0;
    bool GlyphTransparent = false, ThumbTransparent = false, ThumbStretchEffect = false;
    TColor GlyphTransparentColor = 0xFF00FF, ThumbTransparentColor = 0xFF00FF;
};

// ---- Edits ---------------------------------------------------------------------------------

class TspCustomEdit;

class TspSkinPopupMenu;

using TspOnEditCancelMode = std::function<void(TControl* C)>;

// The edit window under every skinned edit: no border of its own, an optional
// transparent background, its own read-only flag, Enter and Escape handed to
// the form, and a context menu with texts from the skin.
class TspCustomEdit : public TCustomMaskEdit {
public:
    explicit TspCustomEdit(TComponent* AOwner);
    ~TspCustomEdit() override;

    bool EditTransparent() const { return FEditTransparent; }
    void SetEditTransparent(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    void Invalidate() override;
    void WndProc(TMessage& Message) override;

    TspOnEditCancelMode FOnEditCancelMode;
    // The context menu built by the last request, until a command ran.
    std::unique_ptr<TspSkinPopupMenu> FSysPopupMenu;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Change() override;
    // Builds and shows the context menu at a screen point.
    void CreateSysPopupMenu(int X, int Y);
    // A single-line field keeps the first line of what is pasted.
    void PasteText();

    bool FEditTransparent = false;
    // Menus let go while their window may still be handling the click that
    // ran their command; freed once the messages already waiting are done.
    std::vector<std::unique_ptr<TspSkinPopupMenu>> FRetiredMenus;
    void RetireSysPopupMenu();
    bool FReadOnly = false;
    bool FDown = false;
};

// The number field inside the spin edit.
class TspSkinNumEdit : public TspCustomEdit {
public:
    explicit TspSkinNumEdit(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    bool IsValidChar(char32_t C);

    TNotifyEvent FOnUpClick;
    TNotifyEvent FOnDownClick;
    TNotifyEvent FOnMouseEnter;
    TNotifyEvent FOnMouseLeave;
    bool FEditorEnabled = true;
    bool Float = false;

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char32_t& Key) override;
};

// The skinned single-line text field: its frame painted from an "edit"
// element in the non-client area, its background behind transparent text,
// an optional button at the right end and two image buttons.
class TspSkinCustomEdit : public TspCustomEdit {
public:
    explicit TspSkinCustomEdit(TComponent* AOwner);
    ~TspSkinCustomEdit() override;

    void ChangeSkinData();
    void SetParentImage();
    void GetSkinData();
    void CalcRects();
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Invalidate() override;
    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TColor DefaultColor() const { return FDefaultColor; }
    void SetDefaultColor(TColor Value);
    TFont* DefaultFont() { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    bool UseSkinFont = true;
    int DefaultWidth() const { return FDefaultWidth; }
    void SetDefaultWidth(int Value);
    int DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int Value);
    bool ButtonMode() const { return FButtonMode; }
    void SetButtonMode(bool Value);
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    std::string SkinDataName = "edit";
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool Value);
    uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(uint8_t Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    int LeftImageIndex() const { return FLeftImageIndex; }
    void SetLeftImageIndex(int Value);
    int RightImageIndex() const { return FRightImageIndex; }
    void SetRightImageIndex(int Value);
    int LeftImageHotIndex = -1, LeftImageDownIndex = -1;
    int RightImageHotIndex = -1, RightImageDownIndex = -1;
    int Index() const { return FIndex; }

    TNotifyEvent OnButtonClick;
    TNotifyEvent OnLeftButtonClick;
    TNotifyEvent OnRightButtonClick;

    TspCBButtonX LeftButton, RightButton;
    TRect FEditRect, FButtonRect;
    bool FButtonActive = false, FButtonDown = false, FMouseIn = false, FStopDraw = false;
    bool FInPaint = false;

    // Values of the element.
    TBitmap* Picture = nullptr;
    TRect SkinRect, ActiveSkinRect, ClRect;
    int LOffset = 0, ROffset = 0;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TColor FontColor = 0, DisabledFontColor = 0, ActiveFontColor = 0;
    TRect ButtonRect, ActiveButtonRect, DownButtonRect, UnEnabledButtonRect;
    bool StretchEffect = false;
    std::unique_ptr<TBitmap> ParentImage;

    void CalcImageButtons(bool ASetRect);
    // Repaints the frame in the non-client area.
    void RepaintFrame();

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    void FitHeight();
    int TextHeight();
    TFontCharset SkinCharset();
    void PaintFrame(HDC DC);
    void PaintStretchedFrame(HDC DC);
    void PaintEditButton(TCanvas* C);
    void OutputFrame(HDC DC, TBitmap* B);
    void PaintClientBackground(HDC DC);
    void PaintImageButtons(HDC DC);
    void PaintDisabledText(HDC DC);
    void ApplyEnabledColor();
    void NCHitTest(TMessage& Message);

    TspSkinData* FSD = nullptr;
    int FIndex = -1;
    TColor FDefaultColor = clWindow;
    std::unique_ptr<TFont> FDefaultFont;
    int FDefaultWidth = 0, FDefaultHeight = 0;
    bool FButtonMode = false;
    bool FAlphaBlend = false;
    uint8_t FAlphaBlendValue = 0;
    TAlignment FAlignment = taLeftJustify;
    TCustomImageList* FImages = nullptr;
    int FLeftImageIndex = -1, FRightImageIndex = -1;
};

class TspSkinEdit : public TspSkinCustomEdit {
public:
    explicit TspSkinEdit(TComponent* AOwner) : TspSkinCustomEdit(AOwner) {}
};

// ---- Spin edit -----------------------------------------------------------------------------

enum TspValueType { vtInteger, vtFloat };

// A number field with up and down buttons: the value is kept within its
// bounds, stepped by the buttons (with repeat), the arrow keys and the wheel,
// and read back from what is typed.
class TspSkinSpinEdit : public TspSkinCustomControl {
public:
    explicit TspSkinSpinEdit(TComponent* AOwner);
    ~TspSkinSpinEdit() override;

    TspValueType ValueType() const { return FValueType; }
    void SetValueType(TspValueType Value);
    uint8_t Decimal() const { return FDecimal; }
    void SetDecimal(uint8_t Value) { FDecimal = Value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);
    double Value() const { return FValue; }
    void SetValue(double AValue);
    double Increment() const { return FIncrement; }
    void SetIncrement(double Value) { FIncrement = Value; }
    bool EditorEnabled() const { return FEdit->FEditorEnabled; }
    void SetEditorEnabled(bool Value) { FEdit->FEditorEnabled = Value; }
    int MaxLength() const { return FEdit->MaxLength(); }
    void SetMaxLength(int Value) { FEdit->SetMaxLength(Value); }
    TColor DefaultColor() const { return FDefaultColor; }
    void SetDefaultColor(TColor Value);
    bool UseSkinSize = true;

    bool IsNumText(const std::string& AText);
    void SimpleSetValue(double AValue);
    // Steps by Increment, as the buttons do.
    void StepUp();
    void StepDown();
    TspSkinNumEdit* Edit() const { return FEdit; }

    TNotifyEvent OnChange;
    TNotifyEvent OnUpButtonClick;
    TNotifyEvent OnDownButtonClick;
    TKeyEvent OnEditKeyDown;
    TKeyEvent OnEditKeyUp;
    TKeyPressEvent OnEditKeyPress;
    TNotifyEvent OnEditEnter;
    TNotifyEvent OnEditExit;

    virtual void EditKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    virtual void EditKeyUp(TObject* Sender, WORD& Key, TShiftState Shift);
    virtual void EditKeyPress(TObject* Sender, char32_t& Key);
    virtual void EditEnter(TObject* Sender);
    virtual void EditExit(TObject* Sender);
    virtual void Change();

    void Invalidate() override;
    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void ChangeSkinData() override;
    void DefaultFontChanged() override;
    void FitSkinSize(int& W, int& H) override;
    void UpdateSkinRegion() override;
    void WndProc(TMessage& Message) override;
    void CalcRects();

    TspCBButtonX Buttons[2]; // 0 up, 1 down
    bool FMouseIn = false, FEditFocused = false;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    double CheckValue(double X) const;
    std::string ValueText(double V) const;
    void WriteEditText(const std::string& T);
    void TextChanged();
    void EditChange(TObject* Sender);
    void EditMouseEnter(TObject* Sender);
    void EditMouseLeave(TObject* Sender);
    void TestActive(int X, int Y);
    void ButtonDown(int I);
    void ButtonUp(int I);
    void ButtonEnter(int I);
    void ButtonLeave(int I);
    void DrawButton(TCanvas* C, int I);
    void DrawResizeButton(TCanvas* C, int I);
    void FitEditHeight();
    void ApplyFontColor();

    TspSkinNumEdit* FEdit = nullptr;
    double FValue = 0, FMinValue = 0, FMaxValue = 0, FIncrement = 1;
    uint8_t FDecimal = 2;
    TspValueType FValueType = vtInteger;
    TColor FDefaultColor = clWindow;
    bool StopCheck = false, FromEdit = false;
    int ActiveButton = -1, OldActiveButton = -1, CaptureButton = -1;
    int TimerMode = 0;
    bool WaitMode = false;
    bool FTimerOn = false;

    TRect ActiveSkinRect;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TColor FontColor = 0, ActiveFontColor = 0, DisabledFontColor = 0;
    TRect UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect, ActiveDownButtonRect,
        DownDownButtonRect;
    int LOffset = 0, ROffset = 0;
    bool FElement = false;
};

// ---- List boxes ----------------------------------------------------------------------------

class TspSkinCustomListBox;

using TspDrawSkinItemEvent = std::function<void(
    TCanvas* Cnvs, int Index, int ItemWidth, int ItemHeight, TRect TxtRect, TOwnerDrawState State)>;
using TspGetItemImageIndexEvent =
    std::function<void(TObject* Sender, int ItemIndex, int& ImageIndex)>;

// The owner-drawn list inside a skinned list box: its look and its input
// belong to the owner.
class TspListBox : public TListBox {
public:
    explicit TspListBox(TComponent* AOwner);
    ~TspListBox() override;

    TspSkinCustomListBox* SkinListBox = nullptr;
    int FHorizontalExtentValue = 0;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;
    void Click() override;
    void PaintWindow(HDC DC);

protected:
    void CreateParams(TCreateParams& Params) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    void KeyPress(char32_t& Key) override;

private:
    bool HasElement();
    void FillClient(TCanvas* C, int X, int Y, int W, int H);
    void EraseBackground(HDC DC);
    void DrawItemOf(HDC DC, int Index, const TRect& R, TOwnerDrawState State);
    void DrawDefaultItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State);
    void DrawSkinItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State);
    void DrawStretchedSkinItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State);
    void DrawContent(TCanvas* C, int Index, TRect TR, TOwnerDrawState State, int W, int H,
                     const TRect& EventTR);
    TOwnerDrawState StateOf(int Index);
};

// A list of strings in a skinned frame, with skinned scroll bars that come
// and go as the items need them, and an optional caption line with buttons.
class TspSkinCustomListBox : public TspSkinCustomControl {
public:
    explicit TspSkinCustomListBox(TComponent* AOwner);
    ~TspSkinCustomListBox() override;

    TStrings* Items() { return ListBox->Items(); }
    void SetItems(TStrings* Value);
    int ItemIndex() const { return ListBox->ItemIndex(); }
    void SetItemIndex(int Value) { ListBox->SetItemIndex(Value); }
    bool Sorted() const { return ListBox->Sorted; }
    void SetSorted(bool Value);
    bool MultiSelect() const { return ListBox->MultiSelect; }
    void SetMultiSelect(bool Value);
    int TopIndex() const { return ListBox->TopIndex(); }
    void SetTopIndex(int Value) { ListBox->SetTopIndex(Value); }
    int SelCount() const { return ListBox->SelCount(); }
    TCanvas* ListBoxCanvas() { return ListBox->Canvas(); }
    bool UseSkinItemHeight = true;
    int DefaultItemHeight() const { return FDefaultItemHeight; }
    void SetDefaultItemHeight(int Value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int Value);
    bool HorizontalExtent() const { return FHorizontalExtent; }
    void SetHorizontalExtent(bool Value);
    TStrings* TabWidths() { return FTabWidths.get(); }
    void SetTabWidths(TStrings* Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);

    // Caption line.
    bool CaptionMode() const { return FCaptionMode; }
    void SetCaptionMode(bool Value);
    int DefaultCaptionHeight() const { return FDefaultCaptionHeight; }
    void SetDefaultCaptionHeight(int Value);
    TFont* DefaultCaptionFont() { return FDefaultCaptionFont.get(); }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool ShowCaptionButtons() const { return FShowCaptionButtons; }
    void SetShowCaptionButtons(bool Value);
    TBitmap* Glyph() { return FGlyph.get(); }
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);

    TspDrawSkinItemEvent OnDrawItem;
    TspGetItemImageIndexEvent OnGetItemImageIndex;
    TNotifyEvent OnListBoxClick;
    TNotifyEvent OnListBoxDblClick;
    TMouseEvent OnListBoxMouseDown;
    TMouseEvent OnListBoxMouseUp;
    TMouseMoveEvent OnListBoxMouseMove;
    TKeyEvent OnListBoxKeyDown;
    TKeyEvent OnListBoxKeyUp;
    TKeyPressEvent OnListBoxKeyPress;
    TNotifyEvent OnUpButtonClick;
    TNotifyEvent OnDownButtonClick;
    TNotifyEvent OnCheckButtonClick;

    int ItemAtPos(const TPoint& Pos, bool Existing);
    TRect ItemRect(int Item) { return ListBox->ItemRect(Item); }
    void Clear();
    int CalcHeight(int AItemsCount);
    void UpDateScrollBar();
    void CalcListRect();

    virtual int ItemTextWidth(int Index, TCanvas* Canvas);
    virtual void ListBoxMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void ListBoxMouseMove(TShiftState Shift, int X, int Y);
    virtual void ListBoxMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void ListBoxClick();
    virtual void ListBoxDblClick();
    virtual void ListBoxKeyDown(WORD& Key, TShiftState Shift);
    virtual void ListBoxKeyUp(WORD& Key, TShiftState Shift);
    virtual void ListBoxKeyPress(char32_t& Key);
    virtual void ListBoxEnter() {}
    virtual void ListBoxExit() {}
    virtual void ListBoxWProc(TMessage& Message, bool& DoDefault);
    virtual void ListBoxCreateWnd() {}

    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void ChangeSkinData() override;
    void DefaultFontChanged() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    std::unique_ptr<TspListBox> ListBox;
    std::unique_ptr<TspSkinScrollBar> ScrollBar;
    std::unique_ptr<TspSkinScrollBar> HScrollBar;
    bool FStopUpDateHScrollBar = false;
    TRect ListRect;
    TspCBButtonX Buttons[3]; // up, down, check

    // Values of the element.
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TRect SItemRect, ActiveItemRect, FocusItemRect;
    int ItemLeftOffset = 0, ItemRightOffset = 0;
    TRect ItemTextRect;
    TColor FontColor = 0, ActiveFontColor = 0, FocusFontColor = 0;
    TRect CaptionRect;
    std::string CaptionFontName;
    TFontStyles CaptionFontStyle;
    int CaptionFontHeight = 0;
    TColor CaptionFontColor = 0;
    TRect UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect, ActiveDownButtonRect,
        DownDownButtonRect, CheckButtonRect, ActiveCheckButtonRect, DownCheckButtonRect;
    std::string VScrollBarName, HScrollBarName, BothScrollBarName;
    bool ShowFocus = false;
    TRect DisabledButtonsRect, ButtonsArea;
    TRect NewCaptionRect;

protected:
    void CreateParams(TCreateParams& Params) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    void ShowVScrollBar();
    void ShowHScrollBar();
    void HideVScrollBar();
    void HideHScrollBar();
    void SBChange(TObject* Sender);
    void HSBChange(TObject* Sender);
    void DrawButton(TCanvas* C, int I);
    void DrawCaptionText(TCanvas* C, const TRect& R, int X, int Y);
    int CaptionWidth(TCanvas* C);
    void TestActive(int X, int Y);
    void ButtonDown(int I);
    void ButtonUp(int I);
    void ButtonEnter(int I);
    void ButtonLeave(int I);
    void StepSelection(int Mode);
    bool FElement = false;
    int FDefaultItemHeight = 20;
    int FRowCount = 0;
    bool FHorizontalExtent = false;
    std::unique_ptr<TStringList> FTabWidths;
    TCustomImageList* FImages = nullptr;
    int FImageIndex = -1;
    bool FCaptionMode = false;
    int FDefaultCaptionHeight = 20;
    std::unique_ptr<TFont> FDefaultCaptionFont;
    TAlignment FAlignment = taLeftJustify;
    bool FShowCaptionButtons = true;
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
    int FSpacing = 2;
    int ActiveButton = -1, OldActiveButton = -1, CaptureButton = -1;
    int TimerMode = 0;
    bool WaitMode = false;
    bool FTimerOn = false;
};

class TspSkinListBox : public TspSkinCustomListBox {
public:
    explicit TspSkinListBox(TComponent* AOwner) : TspSkinCustomListBox(AOwner) {}
};

// ---- Combo box -----------------------------------------------------------------------------

class TspSkinCustomComboBox;

// The drop-down list of the skinned combo box: a skinned list box in a popup
// window that never takes the activation.
class TspPopupListBox : public TspSkinListBox {
public:
    explicit TspPopupListBox(TspSkinCustomComboBox* AComboBox);
    void Show(const TPoint& Origin);
    void Hide();
    bool IsVisible() const { return FShown; }
    void WndProc(TMessage& Message) override;

    bool FOldAlphaBlend = false;
    int FOldAlphaBlendValue = 0;

protected:
    void CreateParams(TCreateParams& Params) override;
    void UpdateShowing() override;

private:
    TspSkinCustomComboBox* FComboBox;
    bool FShown = false;
};

enum TspSkinCustomComboBoxStyle { spcbEditStyle, spcbFixedStyle };

struct TspCBItem {
    TRect R;
    TOwnerDrawState State = 0;
};

// A combo box of skinned parts: the closed box with its item (or an inner
// edit) and button, and a drop-down list in a popup window.
class TspSkinCustomComboBox : public TspSkinCustomControl {
public:
    explicit TspSkinCustomComboBox(TComponent* AOwner);
    ~TspSkinCustomComboBox() override;

    TspSkinCustomComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TspSkinCustomComboBoxStyle Value);
    TStrings* Items() { return FListBox->Items(); }
    void SetItems(TStrings* Value) { FListBox->Items()->Assign(Value); }
    int ItemIndex() const { return FListBox->ItemIndex(); }
    void SetItemIndex(int Value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int Value) {
        if (Value >= 1) FDropDownCount = Value;
    }
    bool AutoComplete = true;
    bool UseSkinSize() const { return FUseSkinSize; }
    void SetUseSkinSize(bool Value);
    bool ToolButtonStyle() const { return FToolButtonStyle; }
    void SetToolButtonStyle(bool Value);
    bool HideSelection = true;
    TEditCharCase CharCase = ecNormal;
    TColor DefaultColor() const { return FDefaultColor; }
    void SetDefaultColor(TColor Value);
    TCustomImageList* Images() const { return FListBox->Images(); }
    void SetImages(TCustomImageList* Value);
    int ImageIndex() const { return FListBox->ImageIndex(); }
    void SetImageIndex(int Value);
    TStrings* TabWidths() { return FListBox->TabWidths(); }
    bool Sorted() const { return FListBox->Sorted(); }
    void SetSorted(bool Value) { FListBox->SetSorted(Value); }
    bool HorizontalExtent() const { return FListBox->HorizontalExtent(); }
    void SetHorizontalExtent(bool Value) { FListBox->SetHorizontalExtent(Value); }
    int ListBoxWidth = 0;
    bool ListBoxAlphaBlend = false;
    bool ListBoxAlphaBlendAnimation = false;
    uint8_t ListBoxAlphaBlendValue = 200;
    // The drop-down list, for its own settings (caption, fonts, item height).
    TspPopupListBox* ListBox() const { return FListBox.get(); }
    TspCustomEdit* Edit() const { return FEdit.get(); }
    int SelStart() const { return FEdit ? FEdit->SelStart() : 0; }
    void SetSelStart(int Value) {
        if (FEdit) FEdit->SetSelStart(Value);
    }
    int SelLength() const { return FEdit ? FEdit->SelLength() : 0; }
    void SetSelLength(int Value) {
        if (FEdit) FEdit->SetSelLength(Value);
    }

    TNotifyEvent OnChange;
    TNotifyEvent OnCloseUp;
    TNotifyEvent OnDropDown;
    TspDrawSkinItemEvent OnComboBoxDrawItem;

    void DropDown();
    void CloseUp(bool Value);
    bool IsPopupVisible() const { return FListBox->IsVisible(); }
    bool CanCancelDropDown();
    virtual void Change() {}
    void CalcRects();
    void Invalidate() override;

    void GetSkinData() override;
    void ChangeSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void DefaultFontChanged() override;
    void FitSkinSize(int& W, int& H) override;
    void UpdateSkinRegion() override;
    void WndProc(TMessage& Message) override;

    TspCBItem CBItem;
    TspCBButtonX Button;
    bool FDropDown = false, FMouseIn = false, FLBDown = false, WasInLB = false;
    int FOldItemIndex = -1;

    // Values of the element.
    TRect ActiveSkinRect, SItemRect, ActiveItemRect, FocusItemRect, ItemTextRect;
    int ItemLeftOffset = 0, ItemRightOffset = 0;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TColor FontColor = 0, FocusFontColor = 0, ActiveFontColor = 0;
    TRect ButtonRect, ActiveButtonRect, DownButtonRect, UnEnabledButtonRect;
    std::string ListBoxName;
    bool ItemStretchEffect = false, FocusItemStretchEffect = false, ShowFocus = false;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char32_t& Key) override;

private:
    void CreateEditControl();
    void EditWindowProc(TMessage& Message);
    void ListBoxWindowProc(TMessage& Message);
    void ListBoxMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void EditChange(TObject* Sender);
    void EditCancelMode(TControl* C);
    void EditUp(bool Apply);
    void EditDown(bool Apply);
    void EditAutoComplete();
    void ProcessListBox();
    void StartTimer();
    void StopTimer();
    void SetListIndex(int Index);
    void SetTextFromList(int Index);
    void TextChanged();
    bool ActiveLook();
    TColor DisabledColor();
    void ApplyEditFont();
    void DrawButton(TCanvas* C);
    void DrawButtonFromElement(TCanvas* C);
    void DrawItemText(TCanvas* C, int Index, TRect TR, int W, int H);
    void DrawDefaultItem(TCanvas* C);
    void DrawSkinItem(TCanvas* C, bool Stretched);
    void DrawDefaultToolImage(TBitmap* B);
    void DrawSkinToolImage(TBitmap* B);
    int ShownIndex();

    std::unique_ptr<TspPopupListBox> FListBox;
    std::unique_ptr<TspCustomEdit> FEdit;
    TWndMethod FEditWindowProc, FListBoxWindowProc;
    TspSkinCustomComboBoxStyle FStyle = spcbFixedStyle;
    int FDropDownCount = 8;
    bool FUseSkinSize = true;
    bool FToolButtonStyle = false;
    TColor FDefaultColor = clWindow;
    int TimerMode = 0;
    bool FTimerOn = false;
    uint32_t FLastTime = 0;
    std::string FFilter;
    bool FromEdit = false;
    bool FSettingText = false;
};

class TspSkinComboBox : public TspSkinCustomComboBox {
public:
    explicit TspSkinComboBox(TComponent* AOwner) : TspSkinCustomComboBox(AOwner) {}
};
