// The edit window under every skinned edit (its context menu, Enter and Escape),
// the number field of the spin edit, and the skinned edit with its frame,
// button and image buttons. Uses the helpers of SkinBoxCtrlsUtil.h.
#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "platform/display/backend.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/edit.h"
#include "platform/win/controls/text.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrlsUtil.h"
#include "skin/engine/speffbmp.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"

using namespace boxutil;

// ---- TspCustomEdit -------------------------------------------------------------------------

namespace {
// The menu engine's word that a command of a control's menu has run.
constexpr UINT kAfterMenuCommand = 1229;
// Posted by an edit to itself: free the context menus it has let go.
constexpr UINT kFreeRetiredMenus = WM_APP + 0x1229;
} // namespace

namespace {

TForm* parentFormOf(const TControl* c) {
    return c->GetParentForm();
}

// The skinned form component among a form's components, null when none.
TspSkinData* formSkinData(TForm* f) {
    if (!f) return nullptr;
    for (int i = 0; i < f->ComponentCount(); ++i)
        if (auto* sf = dynamic_cast<TspSkinnedForm*>(f->Components(i))) return sf->SkinData();
    return nullptr;
}

} // namespace

TspCustomEdit::TspCustomEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
    ControlStyle |= csOpaque;
}

TspCustomEdit::~TspCustomEdit() {
    // An open context menu goes before its items do.
    if (FSysPopupMenu && FSysPopupMenu->FComponentForm &&
        !FSysPopupMenu->FComponentForm->HasState(csDestroying))
        if (TspSkinnedForm* sf = GetSkinnedForm(FSysPopupMenu->FComponentForm))
            if (TspSkinMenu* engine = sf->SkinMenu(); engine && engine->PopupCtrl == this) {
                engine->PopupCtrl = nullptr;
                engine->Hide();
            }
}

void TspCustomEdit::RetireSysPopupMenu() {
    if (!FSysPopupMenu) return;
    FRetiredMenus.push_back(std::move(FSysPopupMenu));
    if (HandleAllocated()) PostMessage(Handle(), kFreeRetiredMenus, 0, 0);
}

void TspCustomEdit::SetEditTransparent(bool Value) {
    FEditTransparent = Value;
    recreateWindow(this);
}

void TspCustomEdit::CreateParams(TCreateParams& Params) {
    TCustomMaskEdit::CreateParams(Params);
    Params.Style &= ~DWORD(WS_BORDER);
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    if (FEditTransparent) Params.ExStyle |= WS_EX_TRANSPARENT;
    if (FPasswordChar)
        Params.Style |= ES_PASSWORD;
    else
        Params.Style |= ES_MULTILINE;
}

void TspCustomEdit::Invalidate() {
    if (!FEditTransparent) {
        TCustomMaskEdit::Invalidate();
        return;
    }
    if (!Parent() || !HandleAllocated() || !Parent()->HandleAllocated()) return;
    RECT r{Left(), Top(), Left() + Width(), Top() + Height()};
    InvalidateRect(Parent()->Handle(), &r, 1);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TspCustomEdit::Change() {
    TCustomMaskEdit::Change();
    if (FEditTransparent) Invalidate();
}

void TspCustomEdit::PasteText() {
    std::string text = GetClipboardText();
    const size_t cut = text.find_first_of("\r\n");
    if (cut != std::string::npos) text.erase(cut);
    if (FMaxLength > 0) {
        // The field's limit counts characters.
        std::u32string all = winctl::DecodeText(text);
        const int room = FMaxLength - int(winctl::DecodeText(GetText()).size()) + SelLength();
        if (int(all.size()) > room)
            text = winctl::EncodeText(all.substr(0, size_t(std::max(0, room))));
    }
    SetSelText(text);
}

void TspCustomEdit::CreateSysPopupMenu(int X, int Y) {
    // The previous menu may still be on screen; it goes once this request is done.
    RetireSysPopupMenu();
    TForm* form = parentFormOf(this);
    TspSkinData* sd = formSkinData(form);
    TspResourceStrData* res = sd ? sd->ResourceStrData() : nullptr;
    auto text = [&](const char* key, const char* fallback) {
        std::string s = res ? res->GetResStr(key) : std::string();
        return s.empty() ? std::string(fallback) : s;
    };
    int s = 0, e = 0;
    GetSel(s, e);
    const bool sel = s < e;
    const bool clip = !GetClipboardText().empty();
    const int len = int(winctl::DecodeText(GetText()).size());
    auto menu = std::make_unique<TspSkinPopupMenu>(this);
    menu->FComponentForm = form;
    auto add = [&](const std::string& caption, bool enabled, std::function<void()> action) {
        auto* i = new TMenuItem(menu.get());
        i->Caption = caption;
        i->Enabled = enabled;
        if (action) i->OnClick = [action = std::move(action)](TObject*) { action(); };
        menu->Items()->Add(i);
    };
    add(text("EDIT_UNDO", "Undo"), CanUndo(), [this] { Undo(); });
    add("-", true, nullptr);
    add(text("EDIT_CUT", "Cut"), sel && !FReadOnly, [this] { CutToClipboard(); });
    add(text("EDIT_COPY", "Copy"), sel, [this] { CopyToClipboard(); });
    add(text("EDIT_PASTE", "Paste"), clip && !FReadOnly, [this] { PasteFromClipboard(); });
    add(text("EDIT_DELETE", "Delete"), sel && !FReadOnly, [this] { ClearSelection(); });
    add("-", true, nullptr);
    add(text("EDIT_SELECTALL", "Select All"), !(s == 0 && e == len), [this] { SelectAll(); });
    FSysPopupMenu = std::move(menu);
    if (X < 0 || Y < 0) {
        const TPoint p = ClientToScreen(TPoint{0, 0});
        X = p.X + Width() / 2;
        Y = p.Y + Height() / 2;
    }
    FSysPopupMenu->Popup2(this, X, Y);
}

void TspCustomEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETFONT:
        TCustomMaskEdit::WndProc(Message);
        if (HandleAllocated())
            SendMessage(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 0));
        return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
        if (FEditTransparent) {
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorToRGB(Font()->Color()));
            Message.Result = LRESULT(GetStockObject(NULL_BRUSH));
            return;
        }
        break;
    case WM_ERASEBKGND:
        if (FEditTransparent) {
            // The parent has painted what lies under the field.
            Message.Result = 1;
            return;
        }
        break;
    case WM_LBUTTONDOWN:
        TCustomMaskEdit::WndProc(Message);
        FDown = true;
        if (FEditTransparent) Invalidate();
        return;
    case WM_LBUTTONUP:
        TCustomMaskEdit::WndProc(Message);
        FDown = false;
        return;
    case WM_MOUSEMOVE:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent && FDown) Invalidate();
        return;
    case WM_SETFOCUS:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_KILLFOCUS:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_CHAR: {
        const char32_t ch = char32_t(Message.WParam);
        if (ch == 9) {
            // A single-line field holds no tab (see WM_KEYDOWN).
            Message.Result = 0;
            return;
        }
        if (ch == 27 || ch == 13) {
            // Enter and Escape belong to the form's default and cancel buttons.
            char32_t k = ch;
            if (OnKeyPress) OnKeyPress(this, k);
            if (TForm* f = parentFormOf(this)) f->Perform(CM_DIALOGKEY, WPARAM(ch), Message.LParam);
            Message.Result = 0;
            return;
        }
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        if (ch == 22 && !FPasswordChar) {
            // Ctrl+V: one line only, as in any single-line field.
            char32_t k = ch;
            if (OnKeyPress) OnKeyPress(this, k);
            if (k == 0) return;
            PasteText();
            if (FEditTransparent) Invalidate();
            return;
        }
        break;
    }
    case WM_KEYDOWN:
        if (FReadOnly && Message.WParam == WPARAM(VK_DELETE)) {
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(VK_TAB) && GetKeyState(VK_CONTROL) >= 0) {
            // The window is multi-line only to centre its text, so it would
            // keep Tab: like any single-line field it moves the focus on.
            if (TForm* f = parentFormOf(this))
                f->SelectNext(this, GetKeyState(VK_SHIFT) >= 0, true);
            Message.Result = 0;
            return;
        }
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_PASTE:
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        PasteText();
        if (FEditTransparent) Invalidate();
        return;
    case WM_SETTEXT:
    case WM_MOVE:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case CM_CANCELMODE:
        TCustomMaskEdit::WndProc(Message);
        if (FOnEditCancelMode) FOnEditCancelMode(reinterpret_cast<TControl*>(Message.LParam));
        return;
    case WM_CONTEXTMENU:
        if (!PopupMenu) {
            CreateSysPopupMenu(int16_t(LOWORD(Message.LParam)), int16_t(HIWORD(Message.LParam)));
            Message.Result = 0;
            return;
        }
        break;
    case kAfterMenuCommand:
        // Sent from inside the menu's own click handling: let go now, free later.
        RetireSysPopupMenu();
        Message.Result = 0;
        return;
    case kFreeRetiredMenus:
        FRetiredMenus.clear();
        Message.Result = 0;
        return;
    default:
        break;
    }
    TCustomMaskEdit::WndProc(Message);
}

// ---- TspSkinNumEdit ------------------------------------------------------------------------

TspSkinNumEdit::TspSkinNumEdit(TComponent* AOwner) : TspCustomEdit(AOwner) {}

bool TspSkinNumEdit::IsValidChar(char32_t C) {
    const char32_t sep = char32_t(DecimalSeparator());
    bool ok = C == '-' || (C >= '0' && C <= '9') || (C < 32 && C != 13);
    if (Float && C == sep) ok = true;
    if (C > 255) ok = false;
    if (ok && !FEditorEnabled && (C >= 32 || C == 8)) ok = false;
    const std::string t = Text();
    if (ok && Float && C == sep && t.find(char(sep)) != std::string::npos) ok = false;
    if (ok && C == '-' && t.find('-') != std::string::npos) ok = false;
    return ok;
}

void TspSkinNumEdit::KeyDown(WORD& Key, TShiftState Shift) {
    if (Key == VK_UP) {
        if (FOnUpClick) FOnUpClick(this);
        Key = 0;
        return;
    }
    if (Key == VK_DOWN) {
        if (FOnDownClick) FOnDownClick(this);
        Key = 0;
        return;
    }
    TspCustomEdit::KeyDown(Key, Shift);
}

void TspSkinNumEdit::KeyPress(char32_t& Key) {
    if (!IsValidChar(Key)) {
        Key = 0;
        MessageBeep(0);
    }
    if (Key != 0) TspCustomEdit::KeyPress(Key);
}

void TspSkinNumEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOUSEWHEEL:
        if (int32_t(Message.WParam) > 0) {
            if (FOnDownClick) FOnDownClick(this);
        } else if (FOnUpClick) {
            FOnUpClick(this);
        }
        Message.Result = 0;
        return;
    case CM_MOUSEENTER:
        TspCustomEdit::WndProc(Message);
        if (FOnMouseEnter) FOnMouseEnter(this);
        return;
    case CM_MOUSELEAVE:
        TspCustomEdit::WndProc(Message);
        if (FOnMouseLeave) FOnMouseLeave(this);
        return;
    default:
        break;
    }
    TspCustomEdit::WndProc(Message);
}

// ---- TspSkinCustomEdit ---------------------------------------------------------------------

namespace {

constexpr LRESULT kLeftImageHit = 104, kRightImageHit = 105;

// Mixes B over what lies under it: AlphaValue / 255 of B.
void blendOver(TBitmap* B, TBitmap* under, uint8_t alphaValue) {
    auto own = TspEffectBmp::CreateFromhWnd(B->Handle());
    auto back = TspEffectBmp::CreateFromhWnd(under->Handle());
    own->Morph(back.get(), 1 - alphaValue / 255.0);
    own->Draw(B->Canvas()->Handle(), 0, 0);
}

} // namespace

TspSkinCustomEdit::TspSkinCustomEdit(TComponent* AOwner)
    : TspCustomEdit(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    ControlStyle |= csOpaque;
    FHeight = 20;
    BorderStyle = bsNoBorder;
    FEditTransparent = true;
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetColor(clBlack);
    Font()->Assign(FDefaultFont.get());
    FDefaultFont->OnChange = [this](TObject*) {
        if (FIndex == -1) Font()->Assign(FDefaultFont.get());
    };
}

TspSkinCustomEdit::~TspSkinCustomEdit() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinCustomEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TspCustomEdit::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

TFontCharset TspSkinCustomEdit::SkinCharset() {
    return charsetOf(FSD, FDefaultFont.get());
}

void TspSkinCustomEdit::GetSkinData() {
    FIndex = !FSD || FSD->Empty ? -1 : FSD->GetControlIndex(SkinDataName);
    auto* el = elementOf<TspDataSkinEditControl>(FSD, FIndex);
    if (!el) {
        // An element of another kind is no element for the edit.
        FIndex = -1;
        return;
    }
    Picture = pictureOf(FSD, el->PictureIndex);
    SkinRect = el->SkinRect;
    ActiveSkinRect = IsEmptyRect(el->ActiveSkinRect) ? SkinRect : el->ActiveSkinRect;
    LOffset = el->LTPoint.X;
    ROffset = RectWidth(SkinRect) - el->RTPoint.X;
    ClRect = el->ClRect;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    DisabledFontColor = el->DisabledFontColor;
    ActiveFontColor = el->ActiveFontColor;
    ButtonRect = el->ButtonRect;
    ActiveButtonRect = el->ActiveButtonRect;
    DownButtonRect = IsEmptyRect(el->DownButtonRect) ? ActiveButtonRect : el->DownButtonRect;
    UnEnabledButtonRect = el->UnEnabledButtonRect;
    StretchEffect = el->StretchEffect;
}

void TspSkinCustomEdit::CalcRects() {
    const int W = Width(), H = Height();
    if (FIndex == -1) {
        if (FButtonMode) {
            FButtonRect = TRect(W - H, 0, W, H);
            FEditRect = TRect(2, 2, FButtonRect.Left - 2, H - 2);
        } else {
            FEditRect = TRect(2, 2, W - 2, H - 2);
        }
        return;
    }
    const int dw = W - RectWidth(SkinRect);
    FEditRect = ClRect;
    FEditRect.Right += dw;
    FButtonRect = ButtonRect;
    if (ButtonRect.Left >= RectWidth(SkinRect) - ROffset) FButtonRect = moved(FButtonRect, dw, 0);
    if (!UseSkinFont) {
        const int dh = H - RectHeight(SkinRect);
        FEditRect.Bottom += dh;
        FButtonRect.Bottom += dh;
    }
}

int TspSkinCustomEdit::TextHeight() {
    HDC dc = GetDC(0);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(0, dc);
    return tm.tmHeight;
}

void TspSkinCustomEdit::FitHeight() {
    GetSkinData();
    const int h =
        FIndex == -1 ? TextHeight() + 4 : TextHeight() + RectHeight(SkinRect) - RectHeight(ClRect);
    TCustomMaskEdit::SetBounds(Left(), Top(), Width(), h);
}

void TspSkinCustomEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    const bool sizeChanged = AWidth != Width() || AHeight != Height();
    if (sizeChanged && !(FIndex == -1 && UseSkinFont)) {
        if (!UseSkinFont)
            AHeight = FIndex == -1 ? TextHeight() + 4
                                   : TextHeight() + RectHeight(SkinRect) - RectHeight(ClRect);
        else if (FIndex != -1)
            AHeight = RectHeight(SkinRect);
    }
    TspCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (HandleAllocated()) {
        Invalidate();
        RepaintFrame();
    }
}

void TspSkinCustomEdit::CreateParams(TCreateParams& Params) {
    TspCustomEdit::CreateParams(Params);
    Params.ExStyle &= ~DWORD(WS_EX_TRANSPARENT);
    Params.Style &= ~DWORD(WS_BORDER | ES_LEFT | ES_RIGHT | ES_CENTER);
    Params.Style |= FAlignment == taRightJustify ? ES_RIGHT
                    : FAlignment == taCenter     ? ES_CENTER
                                                 : ES_LEFT;
}

void TspSkinCustomEdit::Invalidate() {
    if (!Parent() || !HandleAllocated()) return;
    FStopDraw = false;
    RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
}

void TspSkinCustomEdit::RepaintFrame() {
    if (Parent() && HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
}

void TspSkinCustomEdit::SetParentImage() {
    if (!ParentImage) return;
    ParentImage->SetSize(Width(), Height());
    DrawParentBackground(this, ParentImage->Canvas());
}

void TspSkinCustomEdit::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) Invalidate();
}

void TspSkinCustomEdit::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    if (FIndex == -1) Font()->Assign(Value);
}

void TspSkinCustomEdit::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (FIndex == -1 && Value > 0) SetWidth(Value);
}

void TspSkinCustomEdit::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (FIndex == -1 && Value > 0 && UseSkinFont)
        SetHeight(Value);
    else
        FitHeight();
}

void TspSkinCustomEdit::SetButtonMode(bool Value) {
    FButtonMode = Value;
    recreateWindow(this);
}

void TspSkinCustomEdit::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspSkinCustomEdit::SetAlphaBlend(bool Value) {
    if (FAlphaBlend == Value) return;
    FAlphaBlend = Value;
    RepaintFrame();
    Invalidate();
}

void TspSkinCustomEdit::SetAlphaBlendValue(uint8_t Value) {
    FAlphaBlendValue = Value;
    if (FAlphaBlend) {
        RepaintFrame();
        Invalidate();
    }
}

void TspSkinCustomEdit::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    recreateWindow(this);
}

void TspSkinCustomEdit::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    CalcImageButtons(true);
}

void TspSkinCustomEdit::SetLeftImageIndex(int Value) {
    FLeftImageIndex = Value;
    CalcImageButtons(true);
}

void TspSkinCustomEdit::SetRightImageIndex(int Value) {
    FRightImageIndex = Value;
    CalcImageButtons(true);
}

void TspSkinCustomEdit::CalcImageButtons(bool ASetRect) {
    if (!FImages) return;
    LeftButton.R = TRect();
    RightButton.R = TRect();
    TRect R = ClientRect();
    if (FLeftImageIndex >= 0) {
        LeftButton.R = TRect(R.Left, R.Top, R.Left + FImages->Width(), R.Bottom);
        R.Left += FImages->Width() + 2;
    }
    if (FRightImageIndex >= 0) {
        RightButton.R = TRect(R.Right - FImages->Width(), R.Top, R.Right, R.Bottom);
        R.Right -= FImages->Width() + 2;
    }
    if (ASetRect && HandleAllocated()) {
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        SendMessage(Handle(), EM_SETRECTNP, 0, LPARAM(&r));
    }
}

void TspSkinCustomEdit::OutputFrame(HDC DC, TBitmap* B) {
    if (FAlphaBlend && ParentImage) blendOver(B, ParentImage.get(), FAlphaBlendValue);
    BitBlt(DC, 0, 0, B->Width(), B->Height(), B->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinCustomEdit::PaintFrame(HDC DC) {
    const int W = Width(), H = Height();
    if (W < 1 || H < 1) return;
    GetSkinData();
    CalcRects();
    TBitmap B(W, H);
    TCanvas* C = B.Canvas();
    if (FIndex == -1) {
        const int a = FButtonMode ? W - FButtonRect.Left : 0;
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(TRect(0, 0, W - a, H));
        C->Brush()->SetColor(clBtnFace);
        C->FrameRect(TRect(1, 1, W - a - 1, H - 1));
        if (FButtonMode)
            drawDefaultButton(C, FButtonRect, FButtonDown && FButtonActive, FButtonActive);
    } else if (Picture) {
        const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
        BuildHorzSkinImage(LOffset, ROffset, &B, Picture, R, W, RectHeight(R), StretchEffect);
        if (FButtonMode) {
            TRect src;
            if (!Enabled() && !IsEmptyRect(UnEnabledButtonRect))
                src = UnEnabledButtonRect;
            else if (FButtonDown && FButtonActive)
                src = DownButtonRect;
            else if (FButtonActive)
                src = ActiveButtonRect;
            copyFromPicture(B.Canvas(), Picture, FButtonRect, src);
        }
    }
    OutputFrame(DC, &B);
}

void TspSkinCustomEdit::PaintStretchedFrame(HDC DC) {
    const int W = Width(), H = Height();
    if (W < 1 || H < 1) return;
    GetSkinData();
    CalcRects();
    TBitmap B(W, H);
    const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
    if (Picture) BuildStretchedSkinImage(&B, Picture, R, ClRect, false);
    if (FButtonMode) PaintEditButton(B.Canvas());
    OutputFrame(DC, &B);
}

void TspSkinCustomEdit::PaintEditButton(TCanvas* C) {
    paintResizeButton(FSD, C, FButtonRect, FButtonDown, FButtonActive);
}

void TspSkinCustomEdit::PaintClientBackground(HDC DC) {
    const int w = RectWidth(FEditRect), h = RectHeight(FEditRect);
    if (w <= 0 || h <= 0) return;
    GetSkinData();
    TBitmap A(w, h);
    if (FIndex == -1 || !Picture) {
        A.Canvas()->Brush()->SetColor(FDefaultColor);
        A.Canvas()->FillRect(TRect(0, 0, w, h));
    } else {
        const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
        const TRect part =
            Bounds(R.Left + ClRect.Left, R.Top + ClRect.Top, RectWidth(ClRect), RectHeight(ClRect));
        const int lo = std::max(0, LOffset - ClRect.Left);
        const int ro = std::max(0, ClRect.Right + ROffset - RectWidth(SkinRect));
        TBitmap built(w, RectHeight(part));
        BuildHorzSkinImage(lo, ro, &built, Picture, part, w, RectHeight(part), StretchEffect);
        if (!UseSkinFont)
            A.Canvas()->StretchDraw(TRect(0, 0, w, h), &built);
        else
            A.Canvas()->Draw(0, 0, &built);
    }
    if (FAlphaBlend) {
        ParentImage = std::make_unique<TBitmap>();
        SetParentImage();
        TBitmap under(w, h);
        under.Canvas()->Draw(-FEditRect.Left, -FEditRect.Top, ParentImage.get());
        blendOver(&A, &under, FAlphaBlendValue);
        ParentImage.reset();
    }
    BitBlt(DC, 0, 0, w, h, A.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinCustomEdit::PaintImageButtons(HDC DC) {
    if (!FImages) return;
    CalcImageButtons(false);
    TCanvas C;
    C.SetHandle(DC);
    auto draw = [&](TspCBButtonX& b, int normal, int hot, int down) {
        const int n = FImages->Count();
        if (normal < 0 || normal >= n) return;
        int i = normal;
        if (b.Down && b.MouseIn && down >= 0 && down < n)
            i = down;
        else if (b.MouseIn && hot >= 0 && hot < n)
            i = hot;
        const int y = std::max(b.R.Top, (b.R.Top + b.R.Bottom) / 2 - FImages->Height() / 2);
        FImages->Draw(&C, b.R.Left, y, i, Enabled());
    };
    draw(LeftButton, FLeftImageIndex, LeftImageHotIndex, LeftImageDownIndex);
    draw(RightButton, FRightImageIndex, RightImageHotIndex, RightImageDownIndex);
    C.SetHandle(nullptr);
}

void TspSkinCustomEdit::PaintDisabledText(HDC DC) {
    TCanvas C;
    C.SetHandle(DC);
    if (FIndex != -1 && UseSkinFont) {
        C.Font()->SetName(FontName);
        C.Font()->SetHeight(FontHeight);
        C.Font()->SetStyle(FontStyle);
        C.Font()->SetColor(DisabledFontColor);
    } else {
        C.Font()->Assign(FDefaultFont.get());
        C.Font()->SetColor(FIndex == -1 ? clGrayText : DisabledFontColor);
    }
    C.Font()->SetCharset(SkinCharset());
    const TRect R(0, 0, RectWidth(FEditRect), RectHeight(FEditRect));
    const std::string t = Text();
    const int tw = C.TextWidth(t);
    const int x = FAlignment == taRightJustify ? R.Right - tw - 1
                  : FAlignment == taCenter     ? RectWidth(R) / 2 - tw / 2
                                               : 2;
    C.Brush()->SetStyle(bsClear);
    C.TextRect(R, x, 0, t);
    C.SetHandle(nullptr);
}

void TspSkinCustomEdit::ApplyEnabledColor() {
    if (Enabled())
        Font()->SetColor(FIndex == -1 ? FDefaultFont->Color() : FontColor);
    else
        Font()->SetColor(FIndex == -1 ? clGrayText : DisabledFontColor);
}

void TspSkinCustomEdit::ChangeSkinData() {
    GetSkinData();
    if (FIndex == -1) {
        Font()->Assign(FDefaultFont.get());
        if (FDefaultWidth > 0) SetWidth(FDefaultWidth);
        if (FDefaultHeight > 0) SetHeight(FDefaultHeight);
    } else if (UseSkinFont) {
        Font()->SetName(FontName);
        Font()->SetStyle(FontStyle);
        TCustomMaskEdit::SetBounds(Left(), Top(), Width(), RectHeight(SkinRect));
        Font()->SetHeight(FontHeight);
    } else {
        Font()->Assign(FDefaultFont.get());
    }
    if (FIndex != -1) Font()->SetColor(Focused() ? ActiveFontColor : FontColor);
    Font()->SetCharset(SkinCharset());
    recreateWindow(this);
    ApplyEnabledColor();
    if (Enabled() && FIndex != -1 && Focused()) Font()->SetColor(ActiveFontColor);
    if (!UseSkinFont) FitHeight();
    if (FImages) {
        CalcImageButtons(true);
        Invalidate();
    }
}

void TspSkinCustomEdit::NCHitTest(TMessage& Message) {
    POINT p{int16_t(LOWORD(Message.LParam)), int16_t(HIWORD(Message.LParam))};
    ::ScreenToClient(Handle(), &p);
    if (FImages) {
        auto hit = [&](TspCBButtonX& b, int index, LRESULT code) {
            if (index >= 0 && holds(b.R, p.x, p.y)) {
                if (!b.MouseIn) {
                    b.MouseIn = true;
                    Invalidate();
                }
                Message.Result = code;
                return true;
            }
            return false;
        };
        CalcImageButtons(false);
        if (hit(LeftButton, FLeftImageIndex, kLeftImageHit) ||
            hit(RightButton, FRightImageIndex, kRightImageHit))
            return;
        if (LeftButton.MouseIn || RightButton.MouseIn) {
            LeftButton.MouseIn = RightButton.MouseIn = false;
            Invalidate();
        }
    }
    if (FButtonMode) {
        GetSkinData();
        CalcRects();
        const int wx = p.x + (FIndex == -1 ? 2 : ClRect.Left);
        const int wy = p.y + (FIndex == -1 ? 2 : ClRect.Top);
        if (holds(FButtonRect, wx, wy)) {
            Message.Result = HTHSCROLL;
            return;
        }
        if (!holds(FEditRect, wx, wy)) {
            Message.Result = HTVSCROLL;
            return;
        }
    }
    TspCustomEdit::WndProc(Message);
}

void TspSkinCustomEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<RECT*>(Message.LParam);
        if (!r) break;
        GetSkinData();
        if (FIndex == -1) {
            r->left += 2;
            r->top += 2;
            r->bottom -= 2;
            r->right -= FButtonMode ? Height() + 2 : 2;
        } else {
            r->left += ClRect.Left;
            r->top += ClRect.Top;
            r->right += ClRect.Right - RectWidth(SkinRect);
            r->bottom += ClRect.Bottom - RectHeight(SkinRect);
        }
        Message.Result = 0;
        return;
    }
    case WM_NCPAINT: {
        if (!HandleAllocated()) return;
        GetSkinData();
        CalcRects();
        if (FAlphaBlend) {
            ParentImage = std::make_unique<TBitmap>();
            SetParentImage();
        }
        HDC dc = GetWindowDC(Handle());
        ExcludeClipRect(dc, FEditRect.Left, FEditRect.Top, FEditRect.Right, FEditRect.Bottom);
        if (UseSkinFont || FIndex == -1)
            PaintFrame(dc);
        else
            PaintStretchedFrame(dc);
        ReleaseDC(Handle(), dc);
        ParentImage.reset();
        Message.Result = 0;
        return;
    }
    case WM_SKIN_PAINTNCTODC:
    case WM_SKIN_PRINTNC: {
        if (Message.Msg == WM_SKIN_PRINTNC && Message.LParam != kPrintNcMagic) break;
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        GetSkinData();
        CalcRects();
        if (FAlphaBlend) {
            ParentImage = std::make_unique<TBitmap>();
            SetParentImage();
        }
        int saved = SaveDC(dc);
        if (Message.Msg == WM_SKIN_PRINTNC)
            ExcludeClipRect(dc, FEditRect.Left, FEditRect.Top, FEditRect.Right, FEditRect.Bottom);
        if (UseSkinFont || FIndex == -1)
            PaintFrame(dc);
        else
            PaintStretchedFrame(dc);
        RestoreDC(dc, saved);
        ParentImage.reset();
        Message.Result = Message.Msg == WM_SKIN_PRINTNC ? kPrintNcMagic : 12851;
        return;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        GetSkinData();
        CalcRects();
        PaintClientBackground(dc);
        PaintImageButtons(dc);
        if (!FInPaint) {
            // The edit writes its text over the background in the same DC; the
            // paint that follows only validates.
            TMessage paint{WM_PAINT, Message.WParam, 0, 0};
            DefaultHandler(paint);
            FStopDraw = true;
        }
        Message.Result = 1;
        return;
    }
    case WM_PAINT:
        if (FStopDraw) {
            if (!Message.WParam) {
                PAINTSTRUCT ps;
                BeginPaint(Handle(), &ps);
                EndPaint(Handle(), &ps);
            }
            FStopDraw = false;
            Message.Result = 0;
            return;
        }
        GetSkinData();
        CalcRects();
        if (Enabled()) {
            FInPaint = true;
            if (Message.WParam) {
                HDC dc = reinterpret_cast<HDC>(Message.WParam);
                PaintClientBackground(dc);
                PaintImageButtons(dc);
            } else {
                // The background is painted in the erase step of every paint.
                InvalidateRect(Handle(), nullptr, 1);
            }
            TspCustomEdit::WndProc(Message);
            FInPaint = false;
        } else {
            PAINTSTRUCT ps;
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            if (!dc) dc = BeginPaint(Handle(), &ps);
            PaintClientBackground(dc);
            PaintDisabledText(dc);
            if (!Message.WParam) EndPaint(Handle(), &ps);
            Message.Result = 0;
        }
        return;
    case WM_NCHITTEST:
        NCHitTest(Message);
        return;
    case WM_NCMOUSEMOVE:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            if (!FButtonActive) {
                FButtonActive = true;
                RepaintFrame();
                Invalidate();
            }
        } else if (FButtonActive) {
            FButtonActive = false;
            RepaintFrame();
            Invalidate();
        }
        break;
    case WM_MOUSEMOVE:
        if (FButtonActive) {
            FButtonActive = false;
            RepaintFrame();
        }
        break;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            FButtonDown = true;
            RepaintFrame();
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(kLeftImageHit) || Message.WParam == WPARAM(kRightImageHit)) {
            TspCBButtonX& b = Message.WParam == WPARAM(kLeftImageHit) ? LeftButton : RightButton;
            b.Down = true;
            if (!Focused()) SetFocus();
            Invalidate();
            if (Message.Msg == WM_NCLBUTTONDBLCLK) UpdateWindow(Handle());
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCLBUTTONUP:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            FButtonDown = false;
            RepaintFrame();
            if (!Focused()) SetFocus();
            if (OnButtonClick) OnButtonClick(this);
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(kLeftImageHit) || Message.WParam == WPARAM(kRightImageHit)) {
            const bool left = Message.WParam == WPARAM(kLeftImageHit);
            TspCBButtonX& b = left ? LeftButton : RightButton;
            if (b.Down) {
                b.Down = false;
                Invalidate();
                if (left && OnLeftButtonClick) OnLeftButtonClick(this);
                if (!left && OnRightButtonClick) OnRightButtonClick(this);
            }
            Message.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const bool got = Message.Msg == WM_SETFOCUS;
        TspCustomEdit::WndProc(Message);
        RepaintFrame();
        Invalidate();
        if (FIndex != -1 && !FMouseIn) Font()->SetColor(got ? ActiveFontColor : FontColor);
        if (FImages) CalcImageButtons(true);
        if (got && AutoSelect) SelectAll();
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        const bool enter = Message.Msg == CM_MOUSEENTER;
        TspCustomEdit::WndProc(Message);
        FMouseIn = enter;
        if (!Focused() && FIndex != -1) {
            Font()->SetColor(enter ? ActiveFontColor : FontColor);
            if (FImages) CalcImageButtons(true);
            RepaintFrame();
            Invalidate();
        }
        if (!enter) {
            if (FButtonDown || FButtonActive) {
                FButtonDown = FButtonActive = false;
                RepaintFrame();
                Invalidate();
            }
            LeftButton.MouseIn = RightButton.MouseIn = false;
        }
        return;
    }
    case CM_ENABLEDCHANGED:
        TspCustomEdit::WndProc(Message);
        GetSkinData();
        ApplyEnabledColor();
        Invalidate();
        return;
    case CM_FONTCHANGED:
        TspCustomEdit::WndProc(Message);
        if (!UseSkinFont) {
            FitHeight();
            if (FIndex == -1) recreateWindow(this);
        }
        return;
    case WM_SIZE:
        TspCustomEdit::WndProc(Message);
        CalcImageButtons(true);
        RepaintFrame();
        return;
    default:
        break;
    }
    TspCustomEdit::WndProc(Message);
}
