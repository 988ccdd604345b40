// Skinned labels: the standard and text labels with the bevel, the shadow
// label, and the link label and link image that open web addresses. Uses the
// helpers of SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "platform/os/shell.h"
#include "platform/win/nonclient.h"
#include "skin/controls/SkinCtrlsUtil.h"

using namespace ctrlutil;

// ---- Labels ----

void TspLabelSkin::Lookup() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (FIndex == -1) return;
    if (auto* e = dynamic_cast<TspDataSkinStdLabelControl*>(elementAt(FSD, FIndex))) {
        FontName = e->FontName;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        FontColor = e->FontColor;
    }
}

void TspLabelSkin::SelectFont(TCanvas* C, TFont* ControlFont) {
    TFont* f = C->Font();
    if (FIndex == -1) {
        f->Assign(FUseSkinFont ? FDefaultFont.get() : ControlFont);
    } else {
        if (FUseSkinFont) {
            f->SetName(FontName);
            f->SetStyle(FontStyle);
            f->SetHeight(FontHeight);
        } else {
            f->Assign(ControlFont);
        }
        f->SetColor(FUseSkinColor ? FontColor : ControlFont->Color());
    }
    f->SetCharset(charsetOf(FSD, FDefaultFont.get()));
}

namespace {

// Enabled text once; disabled text twice, lit and shadowed; measuring keeps
// the second measure.
void drawLabelText(TCanvas* C, const std::string& text, TRect& Rect, UINT Format, bool enabled,
                   int index, TspSkinData* sd) {
    if (enabled) {
        canvasText(C, text, Rect, Format);
        return;
    }
    TRect lit(Rect.Left + 1, Rect.Top + 1, Rect.Right + 1, Rect.Bottom + 1);
    C->Font()->SetColor(index == -1
                            ? clBtnHighlight
                            : skinColor(sd, &TspSkinColors::FcBtnHighLight, clBtnHighlight));
    canvasText(C, text, lit, Format);
    C->Font()->SetColor(index == -1 ? clBtnShadow
                                    : skinColor(sd, &TspSkinColors::FcBtnShadow, clBtnShadow));
    canvasText(C, text, Rect, Format);
}

} // namespace

TspSkinStdLabel::TspSkinStdLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    Transparent = true;
}

TspSkinStdLabel::~TspSkinStdLabel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinStdLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinStdLabel::ChangeSkinData() {
    GetSkinData();
    if (AutoSize()) AdjustBounds();
    Repaint();
}

void TspSkinStdLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinStdLabel::SetEllipsType(TspEllipsType Value) {
    if (FEllipsType == Value) return;
    FEllipsType = Value;
    Invalidate();
}

void TspSkinStdLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == "&"))) text += " ";
    UINT format = Flags | (ShowAccelChar ? 0 : DT_NOPREFIX);
    if (FEllipsType == spetEndEllips) format |= DT_END_ELLIPSIS;
    if (FEllipsType == spetPathEllips) format |= DT_PATH_ELLIPSIS;
    SelectFont(Canvas(), Font());
    drawLabelText(Canvas(), text, Rect, format, Enabled(), FIndex, FSD);
}

TspSkinTextLabel::TspSkinTextLabel(TComponent* AOwner)
    : TGraphicControl(AOwner), FLines(std::make_unique<TStringList>()) {
    ControlStyle &= ~TControlStyle(csOpaque);
    FWidth = 65;
    FHeight = 65;
    FLines->OnChange = [this](TObject*) {
        if (FAutoSize) AdjustBounds();
        Repaint();
    };
}

TspSkinTextLabel::~TspSkinTextLabel() {
    FLines->OnChange = nullptr;
    if (FSD) FSD->RemoveFreeNotification(this);
}

std::string TspSkinTextLabel::GetLabelText() const {
    return FLines->Text();
}

void TspSkinTextLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinTextLabel::ChangeSkinData() {
    GetSkinData();
    if (FAutoSize) AdjustBounds();
    Repaint();
}

void TspSkinTextLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinTextLabel::SetLines(TStrings* Value) {
    FLines->Assign(*Value);
    Repaint();
}

void TspSkinTextLabel::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    Invalidate();
}

void TspSkinTextLabel::SetLayout(TTextLayout Value) {
    if (FLayout == Value) return;
    FLayout = Value;
    Invalidate();
}

void TspSkinTextLabel::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TspSkinTextLabel::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TspSkinTextLabel::WndProc(TMessage& Message) {
    if (Message.Msg == CM_FONTCHANGED) {
        TGraphicControl::WndProc(Message);
        AdjustBounds();
        Invalidate();
        return;
    }
    TGraphicControl::WndProc(Message);
}

void TspSkinTextLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    SelectFont(Canvas(), Font());
    drawLabelText(Canvas(), GetLabelText(), Rect, Flags, Enabled(), FIndex, FSD);
}

void TspSkinTextLabel::Paint() {
    Canvas()->Brush()->SetStyle(bsClear);
    TRect r = ClientRect();
    UINT style = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) |
                 (FAlignment == taRightJustify ? DT_RIGHT
                  : FAlignment == taCenter     ? DT_CENTER
                                               : DT_LEFT);
    if (FLayout != tlTop) {
        TRect c = r;
        DoDrawText(c, style | DT_CALCRECT);
        // The text ends with a line break, which measures as one more line.
        c.Bottom -= Canvas()->TextHeight("A");
        int dy = FLayout == tlBottom ? Height() - c.Bottom : (Height() - c.Bottom) / 2;
        r.Top += dy;
        r.Bottom += dy;
    }
    DoDrawText(r, style);
}

void TspSkinTextLabel::AdjustBounds() {
    if (HasState(csLoading) || !FAutoSize) return;
    TRect r = ClientRect();
    HDC dc = CreateCompatibleDC(nullptr);
    Canvas()->SetHandle(dc);
    DoDrawText(r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    int x = Left();
    if (FAlignment == taRightJustify) x += Width() - r.Right;
    r.Bottom -= Canvas()->TextHeight("A");
    Canvas()->SetHandle(nullptr);
    DeleteDC(dc);
    SetBounds(x, Top(), r.Right, r.Bottom);
}

// ---- TspSkinBevel ----

TspSkinBevel::TspSkinBevel(TComponent* AOwner) : TBevel(AOwner) {}

TspSkinBevel::~TspSkinBevel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinBevel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (Value) Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinBevel::Notification(TComponent* AComponent, TOperation Operation) {
    TBevel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinBevel::ChangeSkinData() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (FIndex == -1) {
        LightColor = clBtnHighlight;
        DarkColor = clBtnShadow;
    } else if (auto* e = dynamic_cast<TspDataSkinBevel*>(elementAt(FSD, FIndex))) {
        LightColor = e->LightColor;
        DarkColor = e->DarkColor;
    }
    Repaint();
}

void TspSkinBevel::SetDividerMode(bool Value) {
    FDividerMode = Value;
    Repaint();
}

void TspSkinBevel::Paint() {
    TCanvas* C = Canvas();
    if (HasState(csDesigning) && Shape == bsSpacer) {
        C->Pen()->SetStyle(psDot);
        C->Pen()->SetMode(pmXor);
        C->Brush()->SetStyle(bsClear);
        C->Rectangle(0, 0, Width(), Height());
        return;
    }
    C->Pen()->SetStyle(psSolid);
    C->Pen()->SetMode(pmCopy);
    C->Pen()->SetWidth(1);
    C->Brush()->SetStyle(bsSolid);
    TColor c1 = Style == bsLowered ? DarkColor : LightColor;
    TColor c2 = Style == bsLowered ? LightColor : DarkColor;
    auto bevelRect = [&](const TRect& R, TColor a, TColor b) {
        C->Pen()->SetColor(a);
        C->Polyline({{R.Left, R.Bottom}, {R.Left, R.Top}, {R.Right, R.Top}});
        C->Pen()->SetColor(b);
        C->Polyline({{R.Right, R.Top}, {R.Right, R.Bottom}, {R.Left, R.Bottom}});
    };
    auto line = [&](int x1, int y1, int x2, int y2, TColor c) {
        C->Pen()->SetColor(c);
        C->MoveTo(x1, y1);
        C->LineTo(x2, y2);
    };
    int W = Width(), H = Height();
    if (FDividerMode) {
        if (Shape == bsTopLine || Shape == bsBottomLine)
            bevelRect(TRect(2, H / 2 - 1, W - 2, H / 2), c1, c2);
        else if (Shape != bsSpacer)
            bevelRect(TRect(W / 2 - 1, 2, W / 2, H - 2), c1, c2);
        return;
    }
    switch (Shape) {
    case bsBox:
        bevelRect(TRect(0, 0, W - 1, H - 1), c1, c2);
        break;
    case bsFrame:
        bevelRect(TRect(1, 1, W - 1, H - 1), c2, c2);
        bevelRect(TRect(0, 0, W - 2, H - 2), c1, c1);
        break;
    case bsTopLine:
        line(0, 0, W, 0, c1);
        line(0, 1, W, 1, c2);
        break;
    case bsBottomLine:
        line(0, H - 2, W, H - 2, c1);
        line(0, H - 1, W, H - 1, c2);
        break;
    case bsLeftLine:
        line(0, 0, 0, H, c1);
        line(1, 0, 1, H, c2);
        break;
    case bsRightLine:
        line(W - 2, 0, W - 2, H, c1);
        line(W - 1, 0, W - 1, H, c2);
        break;
    case bsSpacer:
        break;
    }
}

// ---- TspSkinShadowLabel ----

TspSkinShadowLabel::TspSkinShadowLabel(TComponent* AOwner) : TspGraphicSkinControl(AOwner) {
    ControlStyle &= ~TControlStyle(csOpaque);
    FWidth = 65;
    FHeight = 17;
}

void TspSkinShadowLabel::SetShadowColor(TColor Value) {
    if (FShadowColor == Value) return;
    FShadowColor = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShadowSize(int Value) {
    if (FShadowSize == Value || Value < 1 || Value > 10) return;
    FShadowSize = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShadowOffset(int Value) {
    if (FShadowOffset == Value || Value < 0 || Value > 100) return;
    FShadowOffset = Value;
    Repaint();
}

void TspSkinShadowLabel::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShowAccelChar(bool Value) {
    if (FShowAccelChar == Value) return;
    FShowAccelChar = Value;
    Repaint();
}

void TspSkinShadowLabel::SetLayout(TTextLayout Value) {
    if (FLayout == Value) return;
    FLayout = Value;
    Repaint();
}

void TspSkinShadowLabel::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TspSkinShadowLabel::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    AdjustBounds();
    Repaint();
}

void TspSkinShadowLabel::SetDoubleBuffered(bool Value) {
    if (FDoubleBuffered == Value) return;
    FDoubleBuffered = Value;
    if (Value)
        ControlStyle |= csOpaque;
    else
        ControlStyle &= ~TControlStyle(csOpaque);
}

void TspSkinShadowLabel::SetFocusControl(TWinControl* Value) {
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinShadowLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TspGraphicSkinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TspSkinShadowLabel::ChangeSkinData() {
    TspGraphicSkinControl::ChangeSkinData();
    if (!skinOn(FSD)) return;
    Font()->SetColor(FSD->SkinColors()->FcBtnText);
    FShadowColor = DarkenColor(FSD->SkinColors()->FcBtnFace, 80);
    Repaint();
}

void TspSkinShadowLabel::DoDrawText(TCanvas* C, TRect& Rect, UINT Flags) {
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += " ";
    if (!FShowAccelChar) Flags |= DT_NOPREFIX;
    canvasText(C, text, Rect, Flags);
}

void TspSkinShadowLabel::Paint() {
    TCanvas* C = Canvas();
    C->Font()->Assign(Font());
    int S = FShadowSize, O = FShadowOffset;
    TRect R(std::max(0, S - O), std::max(0, S - O), Width() - S - O, Height() - S - O);
    UINT format = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) |
                  (FAlignment == taRightJustify ? DT_RIGHT
                   : FAlignment == taCenter     ? DT_CENTER
                                                : DT_LEFT) |
                  (FShowAccelChar ? 0 : DT_NOPREFIX);
    std::u16string text = Utf8ToUtf16(GetLabelText());
    if (!FDoubleBuffered) {
        DrawSoftShadowText(C, R, text, S, FShadowColor, O, format);
        return;
    }
    TBitmap B(Width(), Height());
    DrawParentBackground(this, B.Canvas());
    B.Canvas()->Font()->Assign(Font());
    DrawSoftShadowText(B.Canvas(), R, text, S, FShadowColor, O, format);
    BitBlt(C->Handle(), 0, 0, Width(), Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinShadowLabel::AdjustBounds() {
    if (HasState(csLoading) || !FAutoSize) return;
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    c.Font()->Assign(Font());
    TRect r = ClientRect();
    DoDrawText(&c, r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    c.SetHandle(nullptr);
    DeleteDC(dc);
    int x = Left();
    int w = r.Right + FShadowOffset + 2 * FShadowSize + 8;
    if (FAlignment == taRightJustify) x += Width() - w;
    SetBounds(x, Top(), w, r.Bottom + FShadowOffset + 2 * FShadowSize + 8);
}

void TspSkinShadowLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TspGraphicSkinControl::WndProc(Message);
        AdjustBounds();
        Repaint();
        return;
    case WM_MOVE:
        TspGraphicSkinControl::WndProc(Message);
        if (FDoubleBuffered) Repaint();
        return;
    case CM_DIALOGCHAR:
        if (FFocusControl && Enabled() && FShowAccelChar &&
            accelMatches(GetLabelText(), Message.WParam) && FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TspGraphicSkinControl::WndProc(Message);
}

// ---- Link label and link image ----

bool OpenLinkAddress(const std::string& URL) {
    return os::IsWebAddress(URL) && os::OpenWebAddress(URL);
}

TspSkinLinkLabel::TspSkinLinkLabel(TComponent* AOwner)
    : TCustomLabel(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetStyle(TFontStyles(fsUnderline));
    Font()->Assign(FDefaultFont.get());
    Transparent = true;
    SetCursor(crHandPoint);
}

TspSkinLinkLabel::~TspSkinLinkLabel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinLinkLabel::GetSkinData() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (auto* e = dynamic_cast<TspDataSkinStdLabelControl*>(elementAt(FSD, FIndex))) {
        FontName = e->FontName;
        FontColor = e->FontColor;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        ActiveFontColor = e->ActiveFontColor;
    }
}

void TspSkinLinkLabel::ChangeSkinData() {
    GetSkinData();
    Repaint();
}

void TspSkinLinkLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinLinkLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinLinkLabel::SetUseUnderLine(bool Value) {
    if (FUseUnderLine == Value) return;
    FUseUnderLine = Value;
    Repaint();
}

void TspSkinLinkLabel::WndProc(TMessage& Message) {
    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
        TCustomLabel::WndProc(Message);
        if (HasState(csDesigning)) return;
        FMouseIn = Message.Msg == CM_MOUSEENTER;
        Repaint();
        return;
    }
    TCustomLabel::WndProc(Message);
}

void TspSkinLinkLabel::Click() {
    TCustomLabel::Click();
    OpenLinkAddress(URL);
}

void TspSkinLinkLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == "&"))) text += " ";
    if (!ShowAccelChar) Flags |= DT_NOPREFIX;
    TRect T = Rect;
    if (GlowEffect) {
        T.Top += GlowSize;
        T.Bottom += GlowSize;
    }
    TCanvas* C = Canvas();
    TFont* f = C->Font();
    if (FIndex == -1) {
        f->Assign(UseSkinFont ? FDefaultFont.get() : Font());
        if (FMouseIn) f->SetColor(DefaultActiveFontColor);
        f->SetStyle(f->Style() | fsUnderline);
    } else {
        if (UseSkinFont) {
            f->SetName(FontName);
            f->SetStyle(FontStyle);
            f->SetHeight(FontHeight);
        } else {
            f->Assign(Font());
        }
        f->SetColor(FMouseIn && !GlowEffect ? ActiveFontColor : FontColor);
    }
    f->SetCharset(charsetOf(FSD, FDefaultFont.get()));
    TColor glow = FIndex == -1 ? DefaultActiveFontColor : ActiveFontColor;
    if (Enabled()) {
        TFontStyles st = f->Style();
        if (FUseUnderLine)
            st |= fsUnderline;
        else
            st -= fsUnderline;
        f->SetStyle(st);
        if (FMouseIn && GlowEffect && !(Flags & DT_CALCRECT))
            DrawBoldGlowText(C, T, Utf8ToUtf16(text), GlowSize, glow, 0, Flags);
        else
            canvasText(C, text, T, Flags);
    } else {
        drawLabelText(C, text, T, Flags, false, FIndex, FSD);
    }
    // The measure includes the glow's shift, so auto size makes room for it.
    if (Flags & DT_CALCRECT) {
        Rect.Right = T.Right;
        Rect.Bottom = T.Bottom;
    }
}

TspSkinLinkImage::TspSkinLinkImage(TComponent* AOwner) : TImage(AOwner) {
    SetCursor(crHandPoint);
}

void TspSkinLinkImage::Click() {
    TImage::Click();
    OpenLinkAddress(URL);
}
