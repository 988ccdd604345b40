// The owner-drawn list inside the skinned list box, and the list box itself:
// its frame, caption with buttons, and skinned scroll bars that come and go
// with the items. Uses the helpers of SkinBoxCtrlsUtil.h.
#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>

#include "classlib/sysutils.h"
#include "classlib/typinfo.h"
#include "platform/win/controls/common.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrlsUtil.h"
#include "skin/forms/SkinnedForm.h"

using namespace boxutil;

namespace {

// The item list is text of the form: a translation may replace it.
struct TListBoxRegistration {
    TListBoxRegistration() {
        RegisterPublished<TspSkinCustomListBox, TControl>({StringsProp(
            "Items", [](TObject* o) { return static_cast<TspSkinCustomListBox*>(o)->Items(); })});
    }
} g_listBoxRegistration;

} // namespace

// ---- TspListBox ----------------------------------------------------------------------------

namespace {

constexpr UINT kListPrintNc = 0xBC4A;

// The list box's item font: the skin's or its own default one, in the skin's
// character set.
void setItemFont(TCanvas* C, TspSkinCustomListBox* o) {
    if (o->UseSkinFont()) {
        C->Font()->SetName(o->FontName);
        C->Font()->SetStyle(o->FontStyle);
        C->Font()->SetHeight(o->FontHeight);
    } else {
        C->Font()->Assign(o->DefaultFont());
    }
    C->Font()->SetCharset(charsetOf(o->SkinData(), o->DefaultFont()));
}

} // namespace

TspListBox::TspListBox(TComponent* AOwner) : TListBox(AOwner) {
    ControlStyle = csCaptureMouse | csOpaque | csDoubleClicks;
}

TspListBox::~TspListBox() = default;

void TspListBox::CreateParams(TCreateParams& Params) {
    TListBox::CreateParams(Params);
    Params.Style &= ~DWORD(WS_BORDER);
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    Params.Style |= WS_TABSTOP;
    Params.WindowClassStyle = CS_DBLCLKS;
}

bool TspListBox::HasElement() {
    if (!SkinListBox) return false;
    SkinListBox->GetSkinData();
    return SkinListBox->Index() != -1;
}

void TspListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int old = Width();
    TListBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (old != AWidth && FHorizontalExtentValue >= 1) {
        // The right end of the scrolled text stays where it was.
        FHorizontalExtentValue = std::max(0, FHorizontalExtentValue + old - AWidth);
        Invalidate();
    }
}

void TspListBox::FillClient(TCanvas* C, int X, int Y, int W, int H) {
    TspSkinCustomListBox* o = SkinListBox;
    if (W <= 0 || H <= 0 || !o->Picture) return;
    const TRect part = Bounds(o->SkinRect.Left + o->ClRect.Left, o->SkinRect.Top + o->ClRect.Top,
                              RectWidth(o->ClRect), RectHeight(o->ClRect));
    const int tw = RectWidth(part), th = RectHeight(part);
    if (tw <= 0 || th <= 0) return;
    TBitmap b(W, H);
    for (int y = 0; y < H; y += th)
        for (int x = 0; x < W; x += tw)
            b.Canvas()->CopyRect(TRect(x, y, x + tw, y + th), o->Picture->Canvas(), part);
    C->Draw(X, Y, &b);
}

void TspListBox::EraseBackground(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    TCanvas C;
    C.SetHandle(DC);
    if (!HasElement()) {
        C.Brush()->SetColor(clWindow);
        C.FillRect(TRect(0, 0, Width(), Height()));
    } else {
        FillClient(&C, 0, 0, Width(), Height());
    }
    C.SetHandle(nullptr);
}

TOwnerDrawState TspListBox::StateOf(int Index) {
    TOwnerDrawState s = 0;
    if (Index == ItemIndex()) {
        s = odSelected;
        if (Focused()) s |= odFocused;
        if (SkinListBox && !SkinListBox->ShowFocus && HasElement())
            s &= ~TOwnerDrawState(odFocused);
    } else if (MultiSelect && SelCount() >= 1 && Selected(Index)) {
        s = odSelected;
    }
    return s;
}

void TspListBox::PaintWindow(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    const int saved = SaveDC(DC);
    const bool element = HasElement();
    const int ih = std::max(1, ItemHeight());
    const int top = TopIndex();
    const int last = std::min(Count() - 1, top + Height() / ih);
    int bottom = 0;
    for (int i = top; i <= last; ++i) {
        const TRect r = ItemRect(i);
        DrawItemOf(DC, i, r, StateOf(i));
        bottom = r.Bottom;
    }
    if (bottom < Height()) {
        TCanvas C;
        C.SetHandle(DC);
        if (!element) {
            C.Brush()->SetColor(clWindow);
            C.FillRect(TRect(0, bottom, Width(), Height()));
        } else {
            FillClient(&C, 0, bottom, Width(), Height() - bottom);
        }
        C.SetHandle(nullptr);
    }
    RestoreDC(DC, saved);
}

void TspListBox::DrawItemOf(HDC DC, int Index, const TRect& R, TOwnerDrawState State) {
    if (Index < 0 || Index >= Count() || RectWidth(R) <= 0 || RectHeight(R) <= 0) return;
    TBitmap b(RectWidth(R), RectHeight(R));
    bool drawn = true;
    if (!HasElement())
        DrawDefaultItem(b.Canvas(), Index, R, State);
    else if (!SkinListBox->Picture)
        drawn = false;
    else if (SkinListBox->UseSkinItemHeight)
        DrawSkinItem(b.Canvas(), Index, R, State);
    else
        DrawStretchedSkinItem(b.Canvas(), Index, R, State);
    if (!drawn) return;
    BitBlt(DC, R.Left, R.Top, b.Width(), b.Height(), b.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspListBox::DrawContent(TCanvas* C, int Index, TRect TR, TOwnerDrawState State, int W, int H,
                             const TRect& EventTR) {
    TspSkinCustomListBox* o = SkinListBox;
    if (o && o->OnDrawItem) {
        o->OnDrawItem(C, Index, W, H, EventTR, State);
        return;
    }
    int indent = 0;
    if (o && o->Images()) {
        int ii = o->ImageIndex() >= 0 ? o->ImageIndex() : Index - o->ImageIndex() - 1;
        if (o->OnGetItemImageIndex) o->OnGetItemImageIndex(o, Index, ii);
        if (ii >= 0 && ii < o->Images()->Count())
            o->Images()->Draw(C, TR.Left - FHorizontalExtentValue,
                              (TR.Top + TR.Bottom) / 2 - o->Images()->Height() / 2, ii, true);
        indent = o->Images()->Width() + 2;
    }
    const std::string text = Items()->Get(Index);
    C->Brush()->SetStyle(bsClear);
    if (o && o->TabWidths()->Count() > 0) {
        const int th = C->TextHeight(text.empty() ? "W" : text);
        tabbedText(C, TR.Left + 2 + indent, (TR.Top + TR.Bottom) / 2 - th / 2, text,
                   tabStops(o->TabWidths()));
    } else {
        TextRectVCenteredIndent(C, text, TR, indent - FHorizontalExtentValue);
    }
}

void TspListBox::DrawDefaultItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(R);
    C->Font()->SetName(o ? o->Font()->Name() : Font()->Name());
    C->Font()->SetStyle(o ? o->Font()->Style() : Font()->Style());
    C->Font()->SetHeight(o ? o->Font()->Height() : Font()->Height());
    if (o) C->Font()->SetCharset(charsetOf(o->SkinData(), o->DefaultFont()));
    if (State & odSelected) {
        C->Brush()->SetColor(clHighlight);
        C->Font()->SetColor(clHighlightText);
    } else {
        C->Brush()->SetColor(clWindow);
        C->Font()->SetColor(o ? o->Font()->Color() : Font()->Color());
    }
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(TRect(0, 0, w, h));
    const TRect TR(2, 0, w - 2, h);
    const bool tabs = o && o->TabWidths()->Count() > 0;
    DrawContent(C, Index, tabs ? TRect(0, 0, w, h) : TR, State, w, h, TR);
    if (State & odFocused) DrawDottedFocusRect(C, TRect(0, 0, w, h));
}

void TspListBox::DrawSkinItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(o->SItemRect);
    TBitmap bg;
    const bool focused = State & odFocused, selected = State & odSelected;
    if (focused && !selected)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->SItemRect, w,
                           h, o->StretchEffect);
    else if (focused)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->FocusItemRect,
                           w, h, o->StretchEffect);
    else if (selected)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture,
                           o->ActiveItemRect, w, h, o->StretchEffect);
    else
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->SItemRect, w,
                           h, false);
    C->Draw(0, 0, &bg);
    TRect TR = o->ItemTextRect;
    TR.Right += w - RectWidth(o->SItemRect);
    setItemFont(C, o);
    C->Font()->SetColor(focused ? (selected ? o->FocusFontColor : o->FontColor)
                                : (selected ? o->ActiveFontColor : o->FontColor));
    if (!o->OnDrawItem && focused && o->ShowFocus)
        DrawDottedFocusRect(C, TRect(0, 0, w, RectHeight(R)));
    DrawContent(C, Index, TR, State, w, RectHeight(R), TR);
}

void TspListBox::DrawStretchedSkinItem(TCanvas* C, int Index, const TRect& R,
                                       TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(R);
    const bool focused = State & odFocused, selected = State & odSelected;
    const TRect src = focused ? o->FocusItemRect : selected ? o->ActiveItemRect : o->SItemRect;
    TBitmap bg(w, h);
    BuildStretchedSkinImage(&bg, o->Picture, src, inset(o->ItemTextRect, 1), true);
    C->Draw(0, 0, &bg);
    TRect TR = o->ItemTextRect;
    TR.Right += w - RectWidth(o->SItemRect);
    TR.Bottom += h - RectHeight(o->SItemRect);
    setItemFont(C, o);
    C->Font()->SetColor(focused ? o->FocusFontColor : selected ? o->ActiveFontColor : o->FontColor);
    if (!o->OnDrawItem && focused && o->ShowFocus) DrawDottedFocusRect(C, TRect(0, 0, w, h));
    DrawContent(C, Index, TR, State, w, RectHeight(o->SItemRect), TR);
}

void TspListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseDown(Button, Shift, X, Y);
    TListBox::MouseDown(Button, Shift, X, Y);
}

void TspListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseUp(Button, Shift, X, Y);
    TListBox::MouseUp(Button, Shift, X, Y);
}

void TspListBox::MouseMove(TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseMove(Shift, X, Y);
    TListBox::MouseMove(Shift, X, Y);
}

void TspListBox::KeyDown(WORD& Key, TShiftState Shift) {
    if (SkinListBox) {
        SkinListBox->ListBoxKeyDown(Key, Shift);
        if (TspSkinScrollBar* h = SkinListBox->HScrollBar.get()) {
            if (Key == VK_LEFT) {
                h->SetPosition(h->Position() - h->SmallChange());
                Key = 0;
            } else if (Key == VK_RIGHT) {
                h->SetPosition(h->Position() + h->SmallChange());
                Key = 0;
            }
        }
    }
    TListBox::KeyDown(Key, Shift);
}

void TspListBox::KeyUp(WORD& Key, TShiftState Shift) {
    if (SkinListBox) SkinListBox->ListBoxKeyUp(Key, Shift);
    TListBox::KeyUp(Key, Shift);
}

void TspListBox::KeyPress(char32_t& Key) {
    if (SkinListBox) SkinListBox->ListBoxKeyPress(Key);
    TListBox::KeyPress(Key);
}

void TspListBox::Click() {
    if (SkinListBox) SkinListBox->ListBoxClick();
    TListBox::Click();
}

void TspListBox::WndProc(TMessage& Message) {
    if (SkinListBox) {
        bool doDefault = true;
        SkinListBox->ListBoxWProc(Message, doDefault);
        if (!doDefault) return;
    }
    switch (Message.Msg) {
    case WM_NCCALCSIZE:
        // The native bars keep their ranges but never take room or show.
        Message.Result = 0;
        return;
    case WM_NCPAINT:
        Message.Result = 0;
        return;
    case WM_PAINT: {
        if (Message.WParam) {
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            PaintWindow(dc);
            EndPaint(Handle(), &ps);
        }
        Message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        if (SkinListBox) SkinListBox->UpDateScrollBar();
        return;
    case CN_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        TOwnerDrawState state = 0;
        if (di->itemState & ODS_SELECTED) state |= odSelected;
        if (di->itemState & ODS_FOCUS) state |= odFocused;
        if (SkinListBox && !SkinListBox->ShowFocus && HasElement())
            state &= ~TOwnerDrawState(odFocused);
        DrawItemOf(di->hDC, int(di->itemID), TRect(di->rcItem), state);
        Message.Result = 1;
        return;
    }
    case WM_SKIN_PAINTNCTODC:
        Message.Result = 12851;
        return;
    case kListPrintNc:
        if (Message.LParam == kPrintNcMagic && Count() == 0) {
            if (Message.WParam) EraseBackground(reinterpret_cast<HDC>(Message.WParam));
            Message.Result = kPrintNcMagic;
            return;
        }
        break;
    case CM_ENTER:
        if (SkinListBox) SkinListBox->ListBoxEnter();
        break;
    case CM_EXIT:
        if (SkinListBox) SkinListBox->ListBoxExit();
        break;
    case WM_MOUSEWHEEL:
        if (SkinListBox && SkinListBox->ScrollBar) {
            SendMessage(Handle(), WM_VSCROLL, int32_t(Message.WParam) < 1 ? SB_LINEDOWN : SB_LINEUP,
                        0);
            SkinListBox->UpDateScrollBar();
        } else if (SkinListBox && SkinListBox->HScrollBar) {
            TspSkinScrollBar* h = SkinListBox->HScrollBar.get();
            h->SetPosition(h->Position() +
                           (int32_t(Message.WParam) < 1 ? h->SmallChange() : -h->SmallChange()));
        }
        Message.Result = 0;
        return;
    default:
        break;
    }
    TListBox::WndProc(Message);
    if (!SkinListBox) return;
    switch (Message.Msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
        SkinListBox->UpDateScrollBar();
        break;
    case WM_LBUTTONDBLCLK:
        SkinListBox->ListBoxDblClick();
        break;
    case WM_VSCROLL:
    case WM_KEYDOWN:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
        // The bar follows keyboard scrolling at once.
        SkinListBox->UpDateScrollBar();
        break;
    default:
        break;
    }
}

// ---- TspSkinCustomListBox ------------------------------------------------------------------

TspSkinCustomListBox::TspSkinCustomListBox(TComponent* AOwner)
    : TspSkinCustomControl(AOwner), FTabWidths(std::make_unique<TStringList>()),
      FDefaultCaptionFont(std::make_unique<TFont>()), FGlyph(std::make_unique<TBitmap>()) {
    ControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
    FForceBackground = true;
    FDrawbackground = false;
    Font()->SetName("Arial");
    Font()->SetHeight(14);
    Font()->SetColor(clWindowText);
    FDefaultCaptionFont->SetName("Arial");
    FDefaultCaptionFont->SetHeight(14);
    FDefaultCaptionFont->OnChange = [this](TObject*) {
        if (FIndex == -1 && FCaptionMode) Repaint();
    };
    ListBox = std::make_unique<TspListBox>(nullptr);
    ListBox->SkinListBox = this;
    ListBox->Style = lbOwnerDrawFixed;
    ListBox->SetItemHeight(FDefaultItemHeight);
    ListBox->SetParent(this);
    FSkinDataName = "listbox";
    SetBounds(0, 0, 120, 120);
}

TspSkinCustomListBox::~TspSkinCustomListBox() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    ScrollBar.reset();
    HScrollBar.reset();
    ListBox.reset();
}

void TspSkinCustomListBox::CreateParams(TCreateParams& Params) {
    TspSkinCustomControl::CreateParams(Params);
    Params.WindowClassStyle &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TspSkinCustomListBox::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void TspSkinCustomListBox::SetItems(TStrings* Value) {
    ListBox->Items()->Assign(Value);
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetSorted(bool Value) {
    if (ScrollBar) HideVScrollBar();
    ListBox->Sorted = Value;
    recreateWindow(ListBox.get());
}

void TspSkinCustomListBox::SetMultiSelect(bool Value) {
    ListBox->MultiSelect = Value;
    recreateWindow(ListBox.get());
}

void TspSkinCustomListBox::SetDefaultItemHeight(int Value) {
    FDefaultItemHeight = Value;
    GetSkinData();
    if (FIndex == -1 || !UseSkinItemHeight) ListBox->SetItemHeight(Value);
}

void TspSkinCustomListBox::SetRowCount(int Value) {
    FRowCount = Value;
    if (Value != 0) SetHeight(CalcHeight(Value));
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetHorizontalExtent(bool Value) {
    FHorizontalExtent = Value;
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetTabWidths(TStrings* Value) {
    FTabWidths->Assign(Value);
    if (FTabWidths->Count() > 0) ListBox->Invalidate();
}

void TspSkinCustomListBox::SetImages(TCustomImageList* Value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    ListBox->Repaint();
}

void TspSkinCustomListBox::SetImageIndex(int Value) {
    FImageIndex = Value;
    ListBox->Repaint();
}

void TspSkinCustomListBox::SetCaptionMode(bool Value) {
    FCaptionMode = Value;
    if (FIndex == -1) {
        CalcListRect();
        Repaint();
    }
}

void TspSkinCustomListBox::SetDefaultCaptionHeight(int Value) {
    FDefaultCaptionHeight = Value;
    if (FIndex == -1 && FCaptionMode) {
        CalcListRect();
        Repaint();
    }
}

void TspSkinCustomListBox::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    if (FCaptionMode) Repaint();
}

void TspSkinCustomListBox::SetShowCaptionButtons(bool Value) {
    if (FShowCaptionButtons == Value) return;
    FShowCaptionButtons = Value;
    Repaint();
}

void TspSkinCustomListBox::SetNumGlyphs(int Value) {
    FNumGlyphs = Value;
    Repaint();
}

void TspSkinCustomListBox::SetSpacing(int Value) {
    FSpacing = Value;
    Repaint();
}

void TspSkinCustomListBox::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinListBox>(FSD, FIndex);
    FElement = el != nullptr;
    if (!el) {
        FIndex = -1;
        return;
    }
    auto orElse = [](const TRect& r, const TRect& other) { return IsEmptyRect(r) ? other : r; };
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    SItemRect = el->SItemRect;
    ActiveItemRect = orElse(el->ActiveItemRect, SItemRect);
    FocusItemRect = orElse(el->FocusItemRect, SItemRect);
    ItemLeftOffset = el->ItemLeftOffset;
    ItemRightOffset = el->ItemRightOffset;
    ItemTextRect = el->ItemTextRect;
    FontColor = el->FontColor;
    ActiveFontColor = el->ActiveFontColor;
    FocusFontColor = el->FocusFontColor;
    CaptionRect = el->CaptionRect;
    CaptionFontName = el->CaptionFontName;
    CaptionFontStyle = el->CaptionFontStyle;
    CaptionFontHeight = el->CaptionFontHeight;
    CaptionFontColor = el->CaptionFontColor;
    UpButtonRect = el->UpButtonRect;
    ActiveUpButtonRect = el->ActiveUpButtonRect;
    DownUpButtonRect = orElse(el->DownUpButtonRect, ActiveUpButtonRect);
    DownButtonRect = el->DownButtonRect;
    ActiveDownButtonRect = el->ActiveDownButtonRect;
    DownDownButtonRect = orElse(el->DownDownButtonRect, ActiveDownButtonRect);
    CheckButtonRect = el->CheckButtonRect;
    ActiveCheckButtonRect = el->ActiveCheckButtonRect;
    DownCheckButtonRect = orElse(el->DownCheckButtonRect, ActiveCheckButtonRect);
    VScrollBarName = el->VScrollBarName;
    HScrollBarName = el->HScrollBarName;
    BothScrollBarName = el->BothScrollBarName;
    ShowFocus = el->ShowFocus;
    DisabledButtonsRect = el->DisabledButtonsRect;
    ButtonsArea = el->ButtonsArea;
}

int TspSkinCustomListBox::ItemTextWidth(int Index, TCanvas* Canvas) {
    return Canvas->TextWidth(Items()->Get(Index));
}

void TspSkinCustomListBox::ListBoxMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseDown) OnListBoxMouseDown(this, Button, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxMouseMove(TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseMove) OnListBoxMouseMove(this, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseUp) OnListBoxMouseUp(this, Button, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxClick() {
    if (OnListBoxClick) OnListBoxClick(this);
}
void TspSkinCustomListBox::ListBoxDblClick() {
    if (OnListBoxDblClick) OnListBoxDblClick(this);
}
void TspSkinCustomListBox::ListBoxKeyDown(WORD& Key, TShiftState Shift) {
    if (OnListBoxKeyDown) OnListBoxKeyDown(this, Key, Shift);
}
void TspSkinCustomListBox::ListBoxKeyUp(WORD& Key, TShiftState Shift) {
    if (OnListBoxKeyUp) OnListBoxKeyUp(this, Key, Shift);
}
void TspSkinCustomListBox::ListBoxKeyPress(char32_t& Key) {
    if (OnListBoxKeyPress) OnListBoxKeyPress(this, Key);
}
void TspSkinCustomListBox::ListBoxWProc(TMessage&, bool& DoDefault) {
    DoDefault = true;
}

int TspSkinCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) {
    if (Pos.X < 0 || Pos.Y < 0 || Pos.X >= ListBox->Width() || Pos.Y >= ListBox->Height())
        return -1;
    const int n = ListBox->Count();
    for (int i = ListBox->TopIndex(); i < n; ++i) {
        const TRect r = ListBox->ItemRect(i);
        if (Pos.X >= r.Left && Pos.X < r.Right && Pos.Y >= r.Top && Pos.Y < r.Bottom) return i;
    }
    return Existing ? -1 : n;
}

void TspSkinCustomListBox::Clear() {
    ListBox->Clear();
    UpDateScrollBar();
}

int TspSkinCustomListBox::CalcHeight(int AItemsCount) {
    GetSkinData();
    int h =
        FIndex == -1
            ? AItemsCount * ListBox->ItemHeight() + 4 + (FCaptionMode ? FDefaultCaptionHeight : 0)
            : RectHeight(SkinRect) - RectHeight(ClRect) + AItemsCount * ListBox->ItemHeight();
    if (HScrollBar) h += HScrollBar->Height();
    return h;
}

void TspSkinCustomListBox::CalcListRect() {
    if (!ListBox) return;
    GetSkinData();
    const int W = Width(), H = Height();
    int T = 1;
    if (FIndex == -1) {
        T = FCaptionMode ? FDefaultCaptionHeight : 1;
    } else {
        NewClRect = ClRect;
        NewClRect.Right += W - RectWidth(SkinRect);
        NewClRect.Bottom += H - RectHeight(SkinRect);
    }
    int h = 0;
    if (HScrollBar && HScrollBar->Visible()) {
        if (FIndex == -1) {
            HScrollBar->SetBounds(1, H - 20, W - 2, 19);
            h = HScrollBar->Height() - 1;
        } else {
            HScrollBar->SetBounds(NewClRect.Left, NewClRect.Bottom - HScrollBar->Height(),
                                  RectWidth(NewClRect), HScrollBar->Height());
            h = HScrollBar->Height();
        }
    }
    if (ScrollBar && ScrollBar->Visible()) {
        if (FIndex == -1) {
            ScrollBar->SetBounds(W - 20, T, 19, H - T - h - 1);
            ListRect = TRect(2, T + 1, ScrollBar->Left(), H - h - 2);
        } else {
            ScrollBar->SetBounds(NewClRect.Right - ScrollBar->Width(), NewClRect.Top,
                                 ScrollBar->Width(), RectHeight(NewClRect) - h);
            ListRect = NewClRect;
            ListRect.Right -= ScrollBar->Width();
            ListRect.Bottom -= h;
        }
    } else if (FIndex == -1) {
        ListRect = TRect(2, T + 1, W - 2, H - 2 - h);
    } else {
        ListRect = NewClRect;
        ListRect.Bottom -= h;
    }
    ListBox->SetBounds(ListRect.Left, ListRect.Top, std::max(0, RectWidth(ListRect)),
                       std::max(0, RectHeight(ListRect)));
}

void TspSkinCustomListBox::SBChange(TObject*) {
    SendMessage(ListBox->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, ScrollBar->Position()),
                0);
}

void TspSkinCustomListBox::HSBChange(TObject*) {
    ListBox->FHorizontalExtentValue = HScrollBar->Position();
    ListBox->Repaint();
}

void TspSkinCustomListBox::ShowVScrollBar() {
    ScrollBar = std::make_unique<TspSkinScrollBar>(nullptr);
    ScrollBar->SetKind(sbVertical);
    ScrollBar->SetBounds(0, 0, 20, 100);
    ScrollBar->OnChange = [this](TObject* s) { SBChange(s); };
    ScrollBar->SetSkinDataName(FIndex == -1 ? "" : VScrollBarName);
    ScrollBar->SetSkinData(FSD);
    ScrollBar->SetParent(this);
    if (HScrollBar) {
        if (FIndex == -1) {
            HScrollBar->SetSkinDataName("");
            HScrollBar->FBoth = true;
            HScrollBar->SetBothMarkerWidth(19);
        } else {
            HScrollBar->BothSkinDataName = BothScrollBarName;
            HScrollBar->SetSkinDataName(BothScrollBarName);
            HScrollBar->FBoth = true;
        }
        HScrollBar->SetSkinData(FSD);
    }
    CalcListRect();
    ScrollBar->Show();
    Repaint();
}

void TspSkinCustomListBox::ShowHScrollBar() {
    HScrollBar = std::make_unique<TspSkinScrollBar>(nullptr);
    HScrollBar->SetKind(sbHorizontal);
    HScrollBar->SetBounds(0, 0, 100, 20);
    HScrollBar->OnChange = [this](TObject* s) { HSBChange(s); };
    if (FIndex == -1) {
        HScrollBar->SetSkinDataName("");
        if (ScrollBar) {
            HScrollBar->FBoth = true;
            HScrollBar->SetBothMarkerWidth(19);
        }
    } else if (ScrollBar) {
        HScrollBar->BothSkinDataName = BothScrollBarName;
        HScrollBar->SetSkinDataName(BothScrollBarName);
        HScrollBar->FBoth = true;
    } else {
        HScrollBar->BothSkinDataName = HScrollBarName;
        HScrollBar->SetSkinDataName(HScrollBarName);
        HScrollBar->FBoth = false;
    }
    HScrollBar->SetSkinData(FSD);
    HScrollBar->SetParent(this);
    HScrollBar->Show();
    CalcListRect();
    Repaint();
}

void TspSkinCustomListBox::HideVScrollBar() {
    if (!ScrollBar) return;
    ScrollBar->Hide();
    ScrollBar.reset();
    CalcListRect();
}

void TspSkinCustomListBox::HideHScrollBar() {
    if (!HScrollBar) return;
    HScrollBar->Hide();
    HScrollBar.reset();
    CalcListRect();
    ListBox->FHorizontalExtentValue = 0;
    ListBox->Repaint();
}

void TspSkinCustomListBox::UpDateScrollBar() {
    if (!ListBox || !ListBox->HandleAllocated()) return;
    GetSkinData();
    if (!FHorizontalExtent || FStopUpDateHScrollBar) {
        if (HScrollBar && HScrollBar->Visible()) HideHScrollBar();
    } else {
        TCanvas* C = ListBox->Canvas();
        const bool own = !C->HandleAllocated();
        HDC dc = own ? GetDC(ListBox->Handle()) : nullptr;
        if (own) C->SetHandle(dc);
        if (FIndex != -1 && FUseSkinFont) {
            C->Font()->SetName(FontName);
            C->Font()->SetStyle(FontStyle);
            C->Font()->SetHeight(FontHeight);
        } else {
            C->Font()->Assign(ListBox->Font());
        }
        int amax = 0;
        for (int i = 0; i < ListBox->Count(); ++i)
            amax = std::max(amax, ItemTextWidth(i, C));
        int P = FIndex == -1 ? ListBox->Width() - 4
                             : ListBox->Width() + RectWidth(ItemTextRect) - RectWidth(SItemRect);
        if (FImages) P -= FImages->Width() + 4;
        const int zero = C->TextWidth("0");
        if (own) {
            C->SetHandle(nullptr);
            ReleaseDC(ListBox->Handle(), dc);
        }
        if (P < amax) {
            if (!HScrollBar) ShowHScrollBar();
            HScrollBar->SetRange(0, amax, HScrollBar->Position(), P);
            HScrollBar->SetSmallChange(zero);
            HScrollBar->SetLargeChange(zero);
        } else if (HScrollBar && HScrollBar->Visible()) {
            HideHScrollBar();
        }
    }
    if (FRowCount > 0 && FRowCount == ListBox->Count()) {
        if (ScrollBar && ScrollBar->Visible()) HideVScrollBar();
        return;
    }
    SCROLLINFO si{};
    si.fMask = SIF_RANGE | SIF_POS;
    GetScrollInfo(ListBox->Handle(), SB_VERT, &si);
    const int P = ListBox->Height() / std::max(1, ListBox->ItemHeight());
    if (si.nMax > si.nMin && si.nPos <= si.nMax && P < ListBox->Count()) {
        if (!ScrollBar) ShowVScrollBar();
        ScrollBar->SetRange(si.nMin, si.nMax, si.nPos, P);
        ScrollBar->SetLargeChange(P);
        return;
    }
    if (ScrollBar && ScrollBar->Visible()) HideVScrollBar();
}

void TspSkinCustomListBox::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    FStopUpDateHScrollBar = true;
    if (FIndex == -1) {
        ListBox->SetItemHeight(FDefaultItemHeight);
        ListBox->Font()->Assign(DefaultFont());
    } else if (UseSkinItemHeight) {
        ListBox->SetItemHeight(RectHeight(SItemRect));
    }
    if (ScrollBar) {
        ScrollBar->SetSkinDataName(FIndex == -1 ? "" : VScrollBarName);
        ScrollBar->SetSkinData(FSD);
        if (!FSD || FSD->Empty) ScrollBar->ChangeSkinData();
    }
    if (HScrollBar) {
        if (FIndex == -1) {
            HScrollBar->SetSkinDataName("");
            if (ScrollBar) HScrollBar->SetBothMarkerWidth(19);
        } else {
            HScrollBar->SetSkinDataName(ScrollBar ? BothScrollBarName : HScrollBarName);
        }
        HScrollBar->SetSkinData(FSD);
    }
    if (FRowCount != 0) SetHeight(CalcHeight(FRowCount));
    CalcListRect();
    FStopUpDateHScrollBar = false;
    UpDateScrollBar();
    ListBox->Repaint();
}

void TspSkinCustomListBox::DefaultFontChanged() {
    if (FIndex == -1) Font()->Assign(DefaultFont());
}

void TspSkinCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TspSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FIndex == -1 && HandleAllocated()) Repaint();
}

// The caption text's width with the glyph and its spacing.
int TspSkinCustomListBox::CaptionWidth(TCanvas* C) {
    int cw = C->TextWidth(Caption());
    if (!FGlyph->Empty()) cw += FGlyph->Width() / std::max(1, FNumGlyphs) + FSpacing;
    return cw;
}

void TspSkinCustomListBox::DrawCaptionText(TCanvas* C, const TRect& R, int X, int Y) {
    int tx = X;
    const int n = std::max(1, FNumGlyphs);
    if (!FGlyph->Empty()) tx += FGlyph->Width() / n + FSpacing;
    C->Brush()->SetStyle(bsClear);
    C->TextRect(R, tx, Y, Caption());
    if (!FGlyph->Empty()) {
        const int gy = R.Top + RectHeight(R) / 2 - FGlyph->Height() / 2 - (FIndex == -1 ? 1 : 0);
        DrawGlyphFromStrip(C, X, gy, FGlyph.get(), n, !Enabled() && n == 2 ? 2 : 1);
    }
}

void TspSkinCustomListBox::DrawButton(TCanvas* C, int I) {
    TspCBButtonX& b = Buttons[I];
    if (FIndex == -1) {
        drawDefaultBoxButton(C, b);
        if (I == 2)
            DrawCheckMark(C, b.R.Left + 4, b.R.Top + 4, clBlack);
        else
            DrawArrow(C, b.R, clBlack, I == 0 ? 3 : 4);
        return;
    }
    if (IsEmptyRect(b.R) || !Picture) return;
    const TRect downs[3] = {DownUpButtonRect, DownDownButtonRect, DownCheckButtonRect};
    const TRect actives[3] = {ActiveUpButtonRect, ActiveDownButtonRect, ActiveCheckButtonRect};
    const TRect normals[3] = {UpButtonRect, DownButtonRect, CheckButtonRect};
    TRect src;
    if (b.Down && b.MouseIn)
        src = downs[I];
    else if (b.MouseIn)
        src = actives[I];
    if (IsEmptyRect(src)) src = moved(normals[I], SkinRect.Left, SkinRect.Top);
    copyFromPicture(C, Picture, b.R, src);
}

void TspSkinCustomListBox::DrawDefaultImage(TBitmap* B) {
    TspSkinCustomControl::DrawDefaultImage(B);
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    const bool buttons = FCaptionMode && FShowCaptionButtons;
    const int a = std::min(17, FDefaultCaptionHeight - 3);
    if (buttons) {
        Buttons[0].R = TRect(W - a - 2, 2, W - 2, a + 2);
        Buttons[1].R = moved(Buttons[0].R, -a, 0);
        Buttons[2].R = moved(Buttons[1].R, -a, 0);
    } else {
        for (auto& b : Buttons)
            b.R = TRect();
    }
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(0, 0, W, H));
    if (!FCaptionMode) return;
    const TRect R = buttons ? TRect(3, 2, W - 3 * a - 3, FDefaultCaptionHeight - 2)
                            : TRect(3, 2, W - 2, FDefaultCaptionHeight - 2);
    C->Font()->Assign(FDefaultCaptionFont.get());
    C->Font()->SetCharset(charsetOf(FSD, FDefaultCaptionFont.get()));
    if (FNumGlyphs == 0) FNumGlyphs = 1;
    const int cw = CaptionWidth(C);
    const int x = FAlignment == taRightJustify ? R.Right - cw
                  : FAlignment == taCenter     ? R.Left + RectWidth(R) / 2 - cw / 2
                                               : R.Left;
    const int y = (FDefaultCaptionHeight - 2) / 2 - C->TextHeight("Wg") / 2;
    DrawCaptionText(C, R, x, y);
    C->Pen()->SetColor(clBtnShadow);
    C->MoveTo(1, FDefaultCaptionHeight - 1);
    C->LineTo(W - 1, FDefaultCaptionHeight - 1);
    if (buttons)
        for (int i = 0; i < 3; ++i)
            DrawButton(C, i);
}

void TspSkinCustomListBox::DrawSkinImage(TBitmap* B) {
    TspSkinCustomControl::DrawSkinImage(B);
    const int W = Width(), H = Height();
    const int dw = W - RectWidth(SkinRect), dh = H - RectHeight(SkinRect);
    TCanvas* C = B->Canvas();
    if (!FShowCaptionButtons && !IsEmptyRect(UpButtonRect) && Picture) {
        if (IsEmptyRect(DisabledButtonsRect)) {
            const int rows = std::min(B->Height(), NewClRect.Top);
            if (rows > 0)
                C->CopyRect(
                    TRect(NewLTPoint.X, 0, W + UpButtonRect.Right - RectWidth(SkinRect), rows), C,
                    TRect(NewLTPoint.X, 0, NewRTPoint.X, rows));
        } else {
            copyFromPicture(C, Picture, moved(ButtonsArea, dw, 0), DisabledButtonsRect);
        }
    }
    NewClRect = ClRect;
    NewClRect.Right += dw;
    NewClRect.Bottom += dh;
    if (!FCaptionMode) return;
    auto place = [&](TRect R) {
        if (LTPt.Y < R.Top) {
            R = moved(R, 0, dh);
            if (RBPt.X < R.Left) R = moved(R, dw, 0);
        } else if (RTPt.X < R.Left) {
            R = moved(R, dw, 0);
        }
        return R;
    };
    NewCaptionRect = CaptionRect;
    if (FShowCaptionButtons) {
        if (CaptionRect.Right >= RTPt.X) NewCaptionRect.Right += dw;
        Buttons[0].R = place(UpButtonRect);
        Buttons[1].R = place(DownButtonRect);
        Buttons[2].R = place(CheckButtonRect);
    } else {
        NewCaptionRect.Right = W - CaptionRect.Left;
        for (auto& b : Buttons)
            b.R = TRect();
    }
    if (!IsEmptyRect(CaptionRect)) {
        C->Font()->SetName(CaptionFontName);
        C->Font()->SetHeight(CaptionFontHeight);
        C->Font()->SetColor(CaptionFontColor);
        C->Font()->SetStyle(CaptionFontStyle);
        C->Font()->SetCharset(charsetOf(FSD, FDefaultCaptionFont.get()));
        const int cw = CaptionWidth(C);
        const TRect& R = NewCaptionRect;
        const int y = R.Top + RectHeight(R) / 2 - C->TextHeight("Wg") / 2;
        const int x = FAlignment == taRightJustify ? R.Right - cw - 2
                      : FAlignment == taCenter     ? R.Left + 2 + RectWidth(R) / 2 - cw / 2
                                                   : R.Left + 2;
        DrawCaptionText(C, R, x, y);
    }
    if (FShowCaptionButtons)
        for (int i = 0; i < 3; ++i)
            DrawButton(C, i);
}

void TspSkinCustomListBox::TestActive(int X, int Y) {
    if (!FCaptionMode || !FShowCaptionButtons) return;
    if (FIndex != -1 && IsEmptyRect(UpButtonRect) && IsEmptyRect(DownButtonRect)) return;
    moveButtonHover(
        Buttons, 3, X, Y, CaptureButton, OldActiveButton, ActiveButton,
        [this](int i) { ButtonLeave(i); }, [this](int i) { ButtonEnter(i); });
}

void TspSkinCustomListBox::StepSelection(int Mode) {
    const int i = ItemIndex();
    if (Mode == 1 && i >= 1) SetItemIndex(i - 1);
    if (Mode == 2 && i < Items()->Count() - 1) SetItemIndex(i + 1);
}

void TspSkinCustomListBox::ButtonDown(int I) {
    Buttons[I].MouseIn = true;
    Buttons[I].Down = true;
    Repaint();
    const TNotifyEvent& ev = I == 0   ? OnUpButtonClick
                             : I == 1 ? OnDownButtonClick
                                      : OnCheckButtonClick;
    if (ev) return;
    TimerMode = I == 0 ? 1 : I == 1 ? 2 : 0;
    if (I < 2 && HandleAllocated()) {
        WaitMode = true;
        SetTimer(Handle(), kRepeatTimer, 500, nullptr);
        FTimerOn = true;
    }
}

void TspSkinCustomListBox::ButtonEnter(int I) {
    Buttons[I].MouseIn = true;
    Repaint();
    if (TimerMode != 0 && Buttons[I].Down && HandleAllocated()) {
        SetTimer(Handle(), kRepeatTimer, 50, nullptr);
        FTimerOn = true;
    }
}

void TspSkinCustomListBox::ButtonLeave(int I) {
    Buttons[I].MouseIn = false;
    Repaint();
    if (TimerMode != 0 && Buttons[I].Down && FTimerOn) {
        KillTimer(Handle(), kRepeatTimer);
        FTimerOn = false;
    }
}

void TspSkinCustomListBox::ButtonUp(int I) {
    Buttons[I].Down = false;
    if (ActiveButton != I) Buttons[I].MouseIn = false;
    Repaint();
    const TNotifyEvent& ev = I == 0   ? OnUpButtonClick
                             : I == 1 ? OnDownButtonClick
                                      : OnCheckButtonClick;
    if (Buttons[I].MouseIn && ev) {
        ev(this);
    } else if (I == 0) {
        StepSelection(1);
    } else if (I == 1) {
        StepSelection(2);
    } else {
        ListBox->Click();
    }
    if (TimerMode != 0) {
        if (FTimerOn) KillTimer(Handle(), kRepeatTimer);
        FTimerOn = false;
        TimerMode = 0;
    }
}

void TspSkinCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TestActive(X, Y);
    if (ActiveButton != -1) {
        CaptureButton = ActiveButton;
        ButtonDown(ActiveButton);
    }
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinCustomListBox::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseMove(Shift, X, Y);
    TestActive(X, Y);
}

void TspSkinCustomListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CaptureButton != -1) ButtonUp(CaptureButton);
    CaptureButton = -1;
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinCustomListBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (!repeatStepDue(this, Message.WParam, WaitMode)) return;
        StepSelection(TimerMode);
        return;
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcListRect();
        UpDateScrollBar();
        if (ScrollBar) ScrollBar->Repaint();
        return;
    case WM_CREATE:
        TspSkinCustomControl::WndProc(Message);
        CalcListRect();
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (FCaptionMode) Repaint();
        return;
    case CM_MOUSEENTER:
        TspSkinCustomControl::WndProc(Message);
        TestActive(-1, -1);
        return;
    case CM_MOUSELEAVE:
        TspSkinCustomControl::WndProc(Message);
        dropButtonHover(Buttons, ActiveButton, this);
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
