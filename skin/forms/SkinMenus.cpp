#include "skin/forms/SkinMenus.h"

#include <algorithm>
#include <cmath>

#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinnedForm.h"

namespace {

constexpr UINT kReleaseClosedMsg = WM_USER + 1;

// Counts a running call of a window's procedure.
class TCallGuard {
public:
    explicit TCallGuard(int& Depth) : FDepth(Depth) { ++FDepth; }
    ~TCallGuard() { --FDepth; }
    TCallGuard(const TCallGuard&) = delete;
    TCallGuard& operator=(const TCallGuard&) = delete;

private:
    int& FDepth;
};

// Frees the closed windows whose procedure is not running; true when some
// are left for later.
template <class W> bool FreeIdle(std::vector<std::unique_ptr<W>>& Closed) {
    std::erase_if(Closed, [](const std::unique_ptr<W>& w) { return !w->InCall(); });
    return !Closed.empty();
}

// Windows still in a call when their menu goes: freed once the call returns.
template <class W> void ReleaseWhenIdle(std::vector<std::unique_ptr<W>>& Closed) {
    if (!FreeIdle(Closed)) return;
    auto left = std::make_shared<std::vector<std::unique_ptr<W>>>(std::move(Closed));
    Closed.clear();
    auto again = std::make_shared<std::function<void()>>();
    *again = [left, again] {
        if (FreeIdle(*left))
            PostThreadCall(GetCurrentThreadId(), *again);
        else
            *again = nullptr; // lets go of the cycle
    };
    PostThreadCall(GetCurrentThreadId(), *again);
}
constexpr UINT_PTR kScrollTimerId = 1;
constexpr UINT kTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

std::u16string U16(const std::string& s) {
    return Utf8ToUtf16(s);
}

bool PictureOk(TspSkinData* SD, int Index) {
    return SD && Index >= 0 && Index < int(SD->FActivePictures.size()) &&
           SD->FActivePictures[size_t(Index)];
}

TBitmap* Picture(TspSkinData* SD, int Index) {
    return PictureOk(SD, Index) ? SD->FActivePictures[size_t(Index)].get() : nullptr;
}

void FrameRectColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FrameRect(R);
}

void FillColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FillRect(R);
}

// Cross-fades B toward the captured screen behind it (software translucency).
void BlendWithScreen(TBitmap* B, TspEffectBmp* ESc, TPoint At, uint8_t AlphaBlendValue) {
    if (!ESc) return;
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!eb) return;
    eb->MorphRect(ESc, 1 - AlphaBlendValue / 255.0, TRect(0, 0, B->Width(), B->Height()), At.X,
                  At.Y);
    eb->Draw(B->Canvas()->Handle(), 0, 0);
}

TColor ResolveColor(TColor C) {
    return SkinColorToColor(C);
}

// Draws a skin image copied from Pic at Src into a transparent bitmap, centred in R.
void DrawSkinMark(TCanvas* C, TBitmap* Pic, const TRect& Src, const TRect& R) {
    if (!Pic || IsEmptyRect(Src)) return;
    TBitmap b(RectWidth(Src), RectHeight(Src));
    b.Canvas()->CopyRect(TRect(0, 0, b.Width(), b.Height()), Pic->Canvas(), Src);
    b.SetTransparent(true);
    int l = std::max(R.Left, R.Left + RectWidth(R) / 2 - b.Width() / 2);
    int t = std::max(R.Top, R.Top + RectHeight(R) / 2 - b.Height() / 2);
    C->Draw(l, t, &b);
}

TFontCharset ResCharset(TspSkinData* SD, TFont* Fallback) {
    if (SD && SD->ResourceStrData()) return SD->ResourceStrData()->CharSet();
    return Fallback->Charset();
}

} // namespace

bool IsMenuCloseMessage(UINT Msg) {
    switch (Msg) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
    case WM_MOUSEACTIVATE:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_PARENTNOTIFY:
        return true;
    default:
        return false;
    }
}

void DrawMenuCheck(TCanvas* Cnvs, int X, int Y, TColor Color) {
    Cnvs->Pen()->SetColor(Color);
    for (int i = 0; i <= 2; ++i)
        Cnvs->Polyline({TPoint(X, Y + 5 - i), TPoint(X + 2, Y + 7 - i), TPoint(X + 7, Y + 2 - i)});
}

void DrawMenuArrow(TCanvas* Cnvs, int X, int Y, TColor Color) {
    Cnvs->Pen()->SetColor(Color);
    for (int i = 0; i <= 3; ++i) {
        Cnvs->MoveTo(X + i, Y + i);
        Cnvs->LineTo(X + i, Y + 7 - i);
    }
}

void DrawMenuRadio(TCanvas* Cnvs, int X, int Y, TColor Color) {
    Cnvs->Pen()->SetColor(Color);
    Cnvs->Brush()->SetStyle(bsSolid);
    Cnvs->Brush()->SetColor(Color);
    Cnvs->Ellipse(X, Y, X + 6, Y + 6);
}

// ---- TspSkinMenuItem
// -----------------------------------------------------------------------------

TspSkinMenuItem::TspSkinMenuItem(TspSkinPopupWindow* AParent, TMenuItem* AMenuItem,
                                 TspDataSkinMenuItem* AData)
    : Parent(AParent), MI(AData), MenuItem(AMenuItem) {
    if (MI) {
        TspSkinData* sd = Parent->ParentMenu->SkinData;
        if (MI->ActivePictureIndex != -1 && PictureOk(sd, MI->ActivePictureIndex)) {
            ActivePicture = Picture(sd, MI->ActivePictureIndex);
        } else {
            ActivePicture = nullptr;
            MI->SkinRect = TRect(0, 0, 0, 0);
            MI->ActiveSkinRect = TRect(0, 0, 0, 0);
        }
    }
}

bool TspSkinMenuItem::IsHeader() const {
    const std::string& c = MenuItem->Caption;
    return !MenuItem->Enabled && !c.empty() && c.front() == '-' && c.back() == '-' && c != "-";
}

bool TspSkinMenuItem::EnableAnimation() const {
    TspSkinData* sd = Parent->SD;
    return MI && !IsEmptyRect(MI->AnimateSkinRect) && sd && !sd->Empty && sd->EnableSkinEffects();
}

bool TspSkinMenuItem::EnableMorphing() const {
    TspSkinData* sd = Parent->SD;
    return MI && MI->Morphing && sd && sd->EnableSkinEffects();
}

bool TspSkinMenuItem::CanMorphing() {
    if (!FVisible) {
        if (FMorphKf != 0) {
            Active = false;
            Down = false;
            FMorphKf = 0;
        }
        return false;
    }
    bool hot = Active || Down;
    return (hot && FMorphKf < 1) || (!hot && FMorphKf > 0);
}

void TspSkinMenuItem::DoMorphing() {
    FMorphKf += (Active || Down) ? 0.2 : -0.2;
    FMorphKf = std::clamp(FMorphKf, 0.0, 1.0);
    // Steps of 0.2 gather rounding error; land exactly on the ends.
    if (FMorphKf > 0.999) FMorphKf = 1;
    if (FMorphKf < 0.001) FMorphKf = 0;
    Parent->DrawItemNow(this);
}

TRect TspSkinMenuItem::GetAnimationFrameRect() const {
    const TRect& A = MI->AnimateSkinRect;
    int n = std::max(1, CurrentFrame);
    int fc = std::max(1, MI->FrameCount);
    if (RectHeight(MI->SkinRect) < RectHeight(A)) {
        int h = RectHeight(A) / fc;
        return TRect(A.Left, A.Top + h * (n - 1), A.Right, A.Top + h * n);
    }
    int w = RectWidth(A) / fc;
    return TRect(A.Left + w * (n - 1), A.Top, A.Left + w * n, A.Bottom);
}

void TspSkinMenuItem::Output(TCanvas* Cnvs, TBitmap* B) {
    if (Parent->AlphaBlend && !IsWindows2000OrLater())
        BlendWithScreen(B, Parent->ESc.get(), ObjectRect.TopLeft(), Parent->AlphaBlendValue);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, B);
}

void TspSkinMenuItem::Draw(TCanvas* Cnvs) {
    if (!FVisible) return;
    if (!MI) {
        DefaultDraw(Cnvs);
        return;
    }
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    if (w <= 0 || h <= 0) return;
    TBitmap B(w, h);
    if (IsSeparator()) {
        if (ActivePicture && !IsEmptyRect(MI->DividerRect))
            BuildHorzSkinImage(MI->DividerLO, MI->DividerRO, &B, ActivePicture, MI->DividerRect, w,
                               h, MI->DividerStretchEffect);
        else
            FillColor(B.Canvas(), TRect(0, 0, w, h), clWindow);
        Output(Cnvs, &B);
        return;
    }
    bool hot = Active || Down;
    if (EnableAnimation() && CurrentFrame >= 1 && CurrentFrame <= MI->FrameCount) {
        BuildItemImage(&B, hot, true);
        Output(Cnvs, &B);
    } else if (!EnableMorphing() || (hot && FMorphKf == 1) || (!hot && FMorphKf == 0)) {
        BuildItemImage(&B, hot, false);
        Output(Cnvs, &B);
    } else {
        TBitmap B2(w, h);
        BuildItemImage(&B, false, false);
        BuildItemImage(&B2, true, false);
        MorphBitmapInto(&B, &B2, MI->MorphKind, FMorphKf);
        Output(Cnvs, &B);
    }
}

void TspSkinMenuItem::DrawMenuHeader(TCanvas* Cnvs, const TRect& R, const std::string& Caption) {
    TspSkinData* sd = Parent->SD;
    if (!sd) return;
    int idx = sd->GetControlIndex("menuheader");
    if (idx == -1) idx = sd->GetControlIndex("label");
    if (idx == -1) return;
    auto* L = dynamic_cast<TspDataSkinLabelControl*>(sd->CtrlList[size_t(idx)].get());
    if (!L) return;
    TBitmap* pic = Picture(sd, L->PictureIndex);
    if (!pic || IsEmptyRect(L->SkinRect)) return;
    int ih = RectHeight(L->SkinRect);
    TBitmap B(RectWidth(R), ih);
    BuildHorzSkinImage(L->LTPoint.X, RectWidth(L->SkinRect) - L->RTPoint.X, &B, pic, L->SkinRect,
                       RectWidth(R), ih, L->StretchEffect);
    TCanvas* c = B.Canvas();
    c->Font()->SetColor(ResolveColor(L->FontColor));
    c->Font()->SetName(L->FontName);
    c->Font()->SetHeight(L->FontHeight);
    c->Font()->SetCharset(Cnvs->Font()->Charset());
    c->Brush()->SetStyle(bsClear);
    TRect tr(0, L->ClRect.Top, B.Width(), B.Height());
    DrawWideText(c, U16(Caption.substr(1, Caption.size() - 2)), tr, kTextFlags);
    Cnvs->Draw(R.Left, R.Top + RectHeight(R) / 2 - ih / 2, &B);
}

void TspSkinMenuItem::DrawGlyphOrMark(TCanvas* C, const TRect& T, int GW, bool Hot,
                                      TColor MarkColor, bool Skinned) {
    TCustomImageList* il = Parent->ImgL;
    bool listGlyph = il && MenuItem->ImageIndex >= 0 && MenuItem->ImageIndex < il->Count();
    bool bmpGlyph = MenuItem->HasBitmap();
    TRect imageRct = Skinned ? MI->ImageRct : TRect();
    bool emptyImage = IsEmptyRect(imageRct);
    (void)GW;
    if (bmpGlyph || listGlyph) {
        int gw = bmpGlyph ? MenuItem->Bitmap()->Width() : il->Width();
        int gh = bmpGlyph ? MenuItem->Bitmap()->Height() : il->Height();
        int x, y;
        if (emptyImage) {
            x = T.Left + 2;
            y = T.Top + RectHeight(T) / 2 - gh / 2;
        } else {
            x = imageRct.Left + RectWidth(imageRct) / 2 - gw / 2;
            y = imageRct.Top + RectHeight(imageRct) / 2 - gh / 2;
        }
        if (MenuItem->Checked) {
            C->Brush()->SetStyle(bsClear);
            C->Pen()->SetColor(MarkColor);
            C->Rectangle(x - 1, y - 1, x + gw + 1, y + gh + 1);
        }
        if (bmpGlyph)
            C->Draw(x, y, MenuItem->Bitmap());
        else
            il->Draw(C, x, y, MenuItem->ImageIndex, MenuItem->Enabled);
        return;
    }
    int x, y;
    if (emptyImage) {
        x = T.Left + 2;
        y = T.Top + RectHeight(T) / 2 - 4;
    } else {
        x = imageRct.Left + RectWidth(imageRct) / 2 - 4;
        y = imageRct.Top + RectHeight(imageRct) / 2 - 4;
    }
    const std::string& n = MenuItem->Name();
    if (n == "DSF_CLOSE" || n == "TRAY_DSF_CLOSE")
        DrawCloseGlyph(C, x, y, MarkColor);
    else if (n == "DSF_MINITEM")
        DrawMinimizeGlyph(C, x, y, MarkColor);
    else if (n == "DSF_MAXITEM")
        DrawMaximizeGlyph(C, x, y, MarkColor);
    else if (n == "DSF_RESTORE" || n == "TRAY_DSF_RESTORE")
        DrawRestoreGlyph(C, x, y, MarkColor);
    else if (n == "DSF_ROLLUP")
        DrawRollUpGlyph(C, x, y, MarkColor);
    else if (n == "DSF_MINTOTRAY")
        DrawTrayGlyph(C, x, y, MarkColor);
    else if (MenuItem->Checked) {
        TRect markR = emptyImage && Skinned ? TRect(MI->TextRct.Left + 2, MI->TextRct.Top,
                                                    MI->TextRct.Left + 16, MI->ImageRct.Bottom)
                                            : imageRct;
        if (Skinned && emptyImage) markR = TRect(T.Left, T.Top, T.Left + 16, T.Bottom);
        if (MenuItem->RadioItem) {
            if (!Skinned || IsEmptyRect(MI->RadioImageRect))
                DrawMenuRadio(C, Skinned ? x : x + 1, Skinned ? y + 1 : y + 1, MarkColor);
            else
                DrawSkinMark(C, ActivePicture, Hot ? MI->ActiveRadioImageRect : MI->RadioImageRect,
                             markR);
        } else {
            if (!Skinned || IsEmptyRect(MI->CheckImageRect))
                DrawMenuCheck(C, x, y, MarkColor);
            else
                DrawSkinMark(C, ActivePicture, Hot ? MI->ActiveCheckImageRect : MI->CheckImageRect,
                             markR);
        }
    }
}

void TspSkinMenuItem::BuildItemImage(TBitmap* B, bool Hot, bool AnimationFrame) {
    TspSkinMenu* engine = Parent->ParentMenu;
    int w = B->Width(), h = B->Height();
    TCanvas* C = B->Canvas();
    std::string sc = MenuItem->ShortCut ? ShortCutToText(MenuItem->ShortCut) : std::string();
    TRect src = Hot ? MI->ActiveSkinRect : MI->SkinRect;
    bool stretch = Hot ? MI->StretchEffect
                       : (MI->InActiveStretchEffect || (MI->StretchEffect && AnimationFrame));
    if (AnimationFrame) src = GetAnimationFrameRect();
    if (!Hot && MI->InActiveTransparent && Parent->FPaintBuffer) {
        C->CopyRect(TRect(0, 0, w, h), Parent->FPaintBuffer->Canvas(), ObjectRect);
    } else if (ActivePicture && !IsEmptyRect(src)) {
        BuildHorzSkinImage(MI->ItemLO, MI->ItemRO, B, ActivePicture, src, w, h, stretch);
    } else {
        // The element's picture is missing: plain colours in place of its images.
        FillColor(C, TRect(0, 0, w, h), Hot ? TColor(0xD2BDB6) : clWindow);
    }
    int GW = Parent->ImgL ? Parent->GlyphWidth : 16;
    if (!IsEmptyRect(MI->ImageRct)) GW = 0;
    TRect T = MI->TextRct;
    T.Right = w + MI->TextRct.Right - RectWidth(MI->SkinRect);
    if (engine->FUseSkinFont) {
        C->Font()->SetName(MI->FontName);
        C->Font()->SetStyle(MI->FontStyle);
        C->Font()->SetHeight(MI->FontHeight);
    } else {
        C->Font()->Assign(engine->FDefaultMenuItemFont.get());
    }
    C->Font()->SetCharset(ResCharset(engine->SkinData, engine->FDefaultMenuItemFont.get()));
    TColor fc =
        Hot ? MI->ActiveFontColor : (MenuItem->Enabled ? MI->FontColor : MI->UnEnabledFontColor);
    C->Font()->SetColor(ResolveColor(fc));
    C->Brush()->SetStyle(bsClear);
    if (MenuItem->OnDrawItem) {
        MenuItem->OnDrawItem(this, C, T, Hot);
        return;
    }
    if (IsHeader()) {
        DrawMenuHeader(C, TRect(0, 0, w, h), MenuItem->Caption);
        return;
    }
    TRect cr(T.Left + GW, 0, T.Right - 16, 0);
    DrawWideText(C, U16(MenuItem->Caption), cr, DT_CALCRECT | kTextFlags);
    int ch = cr.Bottom;
    cr.Top = T.Top + RectHeight(T) / 2 - ch / 2;
    cr.Bottom = cr.Top + ch;
    cr.Right += 2;
    DrawWideText(C, U16(MenuItem->Caption), cr, kTextFlags);
    if (!sc.empty()) {
        int tw = WideTextWidth(C, U16(sc));
        TRect sr(T.Right - tw - 16, cr.Top, T.Right - 16, cr.Bottom);
        DrawWideText(C, U16(sc), sr, kTextFlags | DT_NOPREFIX);
    }
    TColor markColor = ResolveColor(fc);
    if (MenuItem->Count() > 0) {
        if (IsEmptyRect(MI->ArrowImageRect))
            DrawMenuArrow(C, T.Right - 7, T.Top + RectHeight(T) / 2 - 4, markColor);
        else
            DrawSkinMark(
                C, ActivePicture, Hot ? MI->ActiveArrowImageRect : MI->ArrowImageRect,
                TRect(T.Right - RectWidth(MI->ArrowImageRect) - 5, T.Top, T.Right, T.Bottom));
    }
    if (MI->UseImageColor) markColor = ResolveColor(Hot ? MI->ActiveImageColor : MI->ImageColor);
    DrawGlyphOrMark(C, T, GW, Hot, markColor, true);
}

void TspSkinMenuItem::DefaultDraw(TCanvas* Cnvs) {
    TspSkinMenu* engine = Parent->ParentMenu;
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    if (w <= 0 || h <= 0) return;
    std::string sc = MenuItem->ShortCut ? ShortCutToText(MenuItem->ShortCut) : std::string();
    TBitmap B(w, h);
    TCanvas* C = B.Canvas();
    int GW = Parent->ImgL ? Parent->GlyphWidth : 19;
    C->Font()->Assign(engine->FDefaultMenuItemFont.get());
    if (engine->SkinData && engine->SkinData->ResourceStrData())
        C->Font()->SetCharset(engine->SkinData->ResourceStrData()->CharSet());
    bool hot = (Active || Down) && !IsSeparator();
    TColor fc;
    if (hot) {
        FillColor(C, TRect(0, 0, w, h), TColor(0xD2BDB6));
        FrameRectColor(C, TRect(0, 0, w, h), clNavy);
        fc = clWindowText;
    } else {
        FillColor(C, TRect(0, 0, GW, h), clBtnFace);
        FillColor(C, TRect(GW, 0, w, h), clWindow);
        fc = MenuItem->Enabled ? clWindowText : clBtnShadow;
    }
    if (IsSeparator()) {
        FillColor(C, TRect(GW, h / 2, w, h / 2 + 1), clBtnShadow);
        Output(Cnvs, &B);
        return;
    }
    C->Font()->SetColor(fc);
    C->Brush()->SetStyle(bsClear);
    TRect R2(2, 2, w - 2, h - 2);
    if (MenuItem->OnDrawItem) {
        MenuItem->OnDrawItem(this, C, R2, hot);
        Output(Cnvs, &B);
        return;
    }
    TRect cr(R2.Left + GW, 0, R2.Right - 19, 0);
    DrawWideText(C, U16(MenuItem->Caption), cr, DT_CALCRECT | kTextFlags);
    int ch = cr.Bottom;
    cr.Top = R2.Top + RectHeight(R2) / 2 - ch / 2;
    cr.Bottom = cr.Top + ch;
    cr.Right += 2;
    DrawWideText(C, U16(MenuItem->Caption), cr, kTextFlags);
    if (!sc.empty()) {
        int tw = WideTextWidth(C, U16(sc));
        TRect sr(R2.Right - 19 - tw, cr.Top, R2.Right - 19, cr.Bottom);
        DrawWideText(C, U16(sc), sr, kTextFlags | DT_NOPREFIX);
    }
    if (MenuItem->Count() > 0) DrawMenuArrow(C, R2.Right - 7, R2.Top + RectHeight(R2) / 2 - 4, fc);
    DrawGlyphOrMark(C, R2, GW, hot, fc, false);
    Output(Cnvs, &B);
}

void TspSkinMenuItem::StartRedraw() {
    TTimer* mt = Parent->MorphTimer.get();
    if (EnableAnimation()) {
        if (mt->Interval() != unsigned(MI->AnimateInterval)) mt->SetInterval(MI->AnimateInterval);
        if (Active || MI->InActiveAnimation) {
            mt->SetEnabled(true);
            return;
        }
        CurrentFrame = 0;
        Parent->DrawItemNow(this);
    } else if (EnableMorphing()) {
        if (mt->Interval() != 20) mt->SetInterval(20);
        mt->SetEnabled(true);
    } else {
        Parent->DrawItemNow(this);
    }
}

void TspSkinMenuItem::MouseDown(int, int) {
    WaitCommand = false;
    if (!Down && MenuItem->Enabled) Parent->ParentMenu->MenuClick(Parent, this, true, false);
}

void TspSkinMenuItem::MouseEnter(bool Kb) {
    Active = true;
    if (EnableAnimation()) CurrentFrame = 0;
    for (auto& i : Parent->ItemList)
        if (i.get() != this && i->Down) {
            i->Down = false;
            i->StartRedraw();
        }
    TspSkinMenu* engine = Parent->ParentMenu;
    if (WaitCommand && !Kb) {
        StartRedraw();
    } else if (Down) {
        int idx = engine->PopupIndexOf(Parent);
        if (int(engine->FPopupList.size()) - idx - 1 >= 2)
            engine->FPopupList[size_t(idx + 1)]->ResetSubPopup();
    } else {
        StartRedraw();
        engine->MenuClick(Parent, this, false, Kb);
    }
    if (Parent->Hint != MenuItem->Hint) Parent->Hint = MenuItem->Hint;
}

void TspSkinMenuItem::MouseLeave() {
    WaitCommand = false;
    Active = false;
    if (EnableAnimation()) CurrentFrame = MI->FrameCount + 1;
    if (!Down) StartRedraw();
    TspSkinMenu* engine = Parent->ParentMenu;
    if (engine->WItem == this) {
        engine->WaitTimer->SetEnabled(false);
        engine->WItem = nullptr;
    }
}

// ---- TspSkinPopupWindow
// --------------------------------------------------------------------------

TspSkinPopupWindow::TspSkinPopupWindow(TComponent* AOwner, TspSkinMenu* AParentMenu,
                                       TspDataSkinPopupWindow* AData)
    : TCustomControl(AOwner), ParentMenu(AParentMenu) {
    FVisible = false;
    AlphaBlend = ParentMenu->AlphaBlend;
    AlphaBlendValue = ParentMenu->AlphaBlendValue;
    AlphaBlendAnimation = ParentMenu->AlphaBlendAnimation;
    auto timer = [this](unsigned ms, std::function<void()> proc) {
        auto t = std::make_unique<TTimer>(nullptr);
        t->SetEnabled(false);
        t->SetInterval(ms);
        t->SetOnTimer([proc](TObject*) { proc(); });
        return t;
    };
    MouseTimer = timer(50, [this] { MouseTimerProc(); });
    MorphTimer = timer(20, [this] { MorphTimerProc(); });
    WT = timer(100, [this] { DelayedShow(); });
    TspSkinData* sd = ParentMenu->SkinData;
    if (AData && AData->WindowPictureIndex != -1 && PictureOk(sd, AData->WindowPictureIndex)) {
        PW = AData;
        SD = sd;
        WindowPicture = Picture(sd, AData->WindowPictureIndex);
        if (AData->MaskPictureIndex != -1) MaskPicture = Picture(sd, AData->MaskPictureIndex);
    }
    Sc = std::make_unique<TBitmap>();
}

TspSkinPopupWindow::~TspSkinPopupWindow() {
    MouseTimer.reset();
    MorphTimer.reset();
    WT.reset();
    ItemList.clear();
    if (HandleAllocated()) KillTimer(Handle(), kScrollTimerId);
    DestroyHandle();
    if (FRgn) DeleteObject(FRgn);
}

void TspSkinPopupWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    Params.WndParent = 0;
    Params.Background = nullptr;
}

int TspSkinPopupWindow::W0() const {
    return WindowPicture ? WindowPicture->Width() : 0;
}

int TspSkinPopupWindow::H0() const {
    return WindowPicture ? WindowPicture->Height() : 0;
}

int TspSkinPopupWindow::ItemHeight(const TspSkinMenuItem* Item) const {
    bool sep = Item->MenuItem->Caption == "-";
    if (DSMI) {
        int h = RectHeight(sep ? DSMI->DividerRect : DSMI->SkinRect);
        if (h > 0) return h;
    }
    return sep ? 4 : ParentMenu->FDefaultMenuItemHeight;
}

void TspSkinPopupWindow::CreateMenu(TMenuItem* AItem, TMenuItem* AItem2, int StartIndex) {
    TspDataSkinMenuItem* found = nullptr;
    if (SD) {
        int idx = SD->GetIndex("MENUITEM");
        if (idx == -1) idx = SD->GetIndex("menuitem");
        if (idx != -1)
            found = dynamic_cast<TspDataSkinMenuItem*>(SD->ObjectList[size_t(idx)].get());
    }
    TFont* def = ParentMenu->FDefaultMenuItemFont.get();
    if (PW && found && ParentMenu->FUseSkinFont) {
        DSMI = found;
        Canvas()->Font()->SetHeight(found->FontHeight);
        Canvas()->Font()->SetStyle(found->FontStyle);
        Canvas()->Font()->SetName(found->FontName);
        Canvas()->Font()->SetCharset(def->Charset());
    } else {
        DSMI = found;
        Canvas()->Font()->Assign(def);
    }
    if (AItem2) Canvas()->Font()->SetCharset(ResCharset(ParentMenu->SkinData, def));
    TMenu* pm = AItem->GetParentMenu();
    ImgL = pm ? pm->Images() : nullptr;
    auto addChildren = [this](TMenuItem* parent, int from) {
        for (int i = std::max(0, from); i < parent->Count(); ++i) {
            TMenuItem* c = parent->Items(i);
            if (!c->Visible) continue;
            ItemList.push_back(std::make_unique<TspSkinMenuItem>(this, c, DSMI));
        }
    };
    addChildren(AItem, StartIndex);
    if (AItem2) addChildren(AItem2, std::max(0, StartIndex - AItem->Count()));
    CalcMenuSize();
    if (PW) {
        int w0 = W0(), h0 = H0();
        NewLTPoint = PW->LTPoint;
        NewRTPoint = TPoint(Width() + PW->RTPoint.X - w0, PW->RTPoint.Y);
        NewLBPoint = TPoint(PW->LBPoint.X, Height() + PW->LBPoint.Y - h0);
        NewRBPoint = TPoint(Width() + PW->RBPoint.X - w0, Height() + PW->RBPoint.Y - h0);
        NewItemsRect =
            TRect(PW->ItemsRect.Left, PW->ItemsRect.Top, Width() + PW->ItemsRect.Right - w0,
                  Height() + PW->ItemsRect.Bottom - h0);
    } else {
        NewItemsRect = TRect(3, 3, Width() - 3, Height() - 3);
    }
    ArrangeItems();
    if (MaskPicture) SetMenuWindowRegion();
}

void TspSkinPopupWindow::SetMenuWindowRegion() {
    HRGN rgn = nullptr;
    BuildSkinMaskRegion(rgn, PW->LTPoint, PW->RTPoint, PW->LBPoint, PW->RBPoint, PW->ItemsRect,
                        NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewItemsRect, MaskPicture,
                        Width(), Height());
    SetWindowRgn(Handle(), rgn, 1);
    if (FRgn) DeleteObject(FRgn);
    FRgn = rgn;
}

void TspSkinPopupWindow::CalcMenuSize() {
    VisibleStartIndex = 0;
    VisibleCount = int(ItemList.size());
    Scroll = Scroll2 = false;
    int w = CalcMenuWidth();
    int h = CalcMenuHeight();
    int wah = RectHeight(ParentMenu->WorkArea);
    if (h > wah) {
        h = wah;
        Scroll = true;
    }
    SetBounds(Left(), Top(), w, h);
}

int TspSkinPopupWindow::CalcMenuWidth() {
    int widest = 0;
    // Measured on a bitmap: the window has no device context outside painting.
    TBitmap measure(1, 1);
    measure.Canvas()->Font()->Assign(Canvas()->Font());
    for (auto& i : ItemList) {
        std::string t = i->MenuItem->Caption;
        if (i->MenuItem->ShortCut) t += "  " + ShortCutToText(i->MenuItem->ShortCut);
        TRect r(0, 0, 0, 0);
        DrawWideText(measure.Canvas(), U16(t), r, DT_CALCRECT | DT_SINGLELINE);
        widest = std::max(widest, RectWidth(r));
    }
    widest += 2;
    GlyphWidth = ImgL ? ImgL->Width() + 5 : 16;
    int w = widest + GlyphWidth + 16;
    if (!PW) return w + 10;
    if (DSMI) w += DSMI->TextRct.Left + (RectWidth(DSMI->SkinRect) - DSMI->TextRct.Right);
    return w + W0() - RectWidth(PW->ItemsRect);
}

int TspSkinPopupWindow::CalcMenuHeight() {
    int frame = PW ? H0() - RectHeight(PW->ItemsRect) : 6;
    int sum = 0;
    for (auto& i : ItemList)
        sum += ItemHeight(i.get());
    int max = ParentMenu->MaxMenuItemsInWindow;
    if (max > 0 && max < int(ItemList.size())) {
        int normal = DSMI && RectHeight(DSMI->SkinRect) > 0 ? RectHeight(DSMI->SkinRect)
                                                            : ParentMenu->FDefaultMenuItemHeight;
        Scroll = Scroll2 = true;
        return normal * max + frame + 20;
    }
    return sum + frame;
}

void TspSkinPopupWindow::ArrangeItems() {
    int y = NewItemsRect.Top + (Scroll ? 10 : 0);
    int bottom = NewItemsRect.Bottom - (Scroll ? 10 : 0);
    VisibleCount = 0;
    int last = -1;
    for (int i = VisibleStartIndex; i < int(ItemList.size()); ++i) {
        auto& it = ItemList[size_t(i)];
        int h = ItemHeight(it.get());
        if (y + h > bottom) break;
        it->ObjectRect = TRect(NewItemsRect.Left, y, NewItemsRect.Right, y + h);
        it->FVisible = true;
        y += h;
        ++VisibleCount;
        last = i;
    }
    if (Scroll)
        for (int i = 0; i < int(ItemList.size()); ++i)
            if (i < VisibleStartIndex || i > last) ItemList[size_t(i)]->FVisible = false;
}

void TspSkinPopupWindow::CalcShowPosition(const TRect& R, bool PopupByItem, bool PopupUp) {
    const TRect& WA = ParentMenu->WorkArea;
    int H = Height(), W = Width();
    bool upperHalf = R.Top < WA.Top + RectHeight(WA) / 2;
    bool flipped = false;
    int y;
    if (Scroll && !Scroll2) {
        y = WA.Top;
    } else if (PopupByItem) {
        y = R.Top - NewItemsRect.Top;
        if (y + H > WA.Bottom) {
            if (upperHalf)
                y = WA.Bottom - H;
            else
                y = std::max(WA.Top, R.Bottom - H + NewItemsRect.Top);
        }
    } else if (PopupUp) {
        y = R.Top - H;
        if (y < WA.Top) {
            if (upperHalf) {
                if (R.Bottom + H <= WA.Bottom) {
                    y = R.Bottom;
                } else {
                    y = WA.Bottom - H;
                    flipped = true;
                }
            } else {
                y = WA.Top;
                flipped = true;
            }
        }
    } else {
        y = R.Bottom;
        if (y + H > WA.Bottom) {
            if (upperHalf) {
                flipped = true;
                y = WA.Bottom - H;
            } else if (R.Top - H >= WA.Top) {
                y = R.Top - H;
            } else {
                flipped = true;
                y = WA.Top;
            }
        }
    }
    int x;
    if (PopupByItem || (Scroll && !Scroll2) || flipped) {
        x = R.Right + 1;
        if (x + W > WA.Right) x = R.Left - W - 1;
    } else {
        x = R.Left;
        if (x + W > WA.Right) x = WA.Right - W;
        if (R.Left < WA.Left) x = WA.Left;
    }
    ShowX = x;
    ShowY = y;
}

void TspSkinPopupWindow::ShowWindowAtPosition() {
    SetWindowPos(Handle(), HWND_TOPMOST, ShowX, ShowY, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    FVisible = true;
    // The window layer reports the new place; keep ours in step.
    SetBounds(ShowX, ShowY, Width(), Height());
}

void TspSkinPopupWindow::DoShow(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex,
                                bool PopupByItem, bool PopupUp) {
    bool layered = IsWindows2000OrLater();
    bool first = ParentMenu->FFirst;
    if (layered && ParentMenu->AlphaBlend && ParentMenu->AlphaBlendAnimation && first)
        Application->ProcessMessages();
    CreateMenu(AItem, AItem2, StartIndex);
    CalcShowPosition(R, PopupByItem, PopupUp);
    if (AlphaBlend && !layered) {
        WT->SetEnabled(true);
        return;
    }
    HWND h = Handle();
    if (PW && PW->CursorIndex != -1 && SD) SetCursor(SD->StartCursorIndex + PW->CursorIndex);
    bool fade = layered && ParentMenu->AlphaBlend && ParentMenu->AlphaBlendAnimation && first;
    if (layered && ParentMenu->AlphaBlend) {
        SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredAlpha(h, fade ? 0 : ParentMenu->AlphaBlendValue);
    }
    ShowWindowAtPosition();
    if (fade) {
        int target = ParentMenu->AlphaBlendValue;
        int step = std::max(1, target / 15);
        int a = 0;
        uint32_t last = os::GetTickCount();
        while (a < target) {
            uint32_t now = os::GetTickCount();
            if (now - last > 5) {
                last = now;
                a = std::min(target, a + step);
                SetLayeredAlpha(h, uint8_t(a));
            }
        }
    }
    MouseTimer->SetEnabled(true);
    ActiveItem = -1;
    for (int i = 0; i < int(ItemList.size()); ++i)
        if (ItemList[size_t(i)]->Selectable()) {
            ItemList[size_t(i)]->WaitCommand = true;
            ActiveItem = i;
            ItemList[size_t(i)]->MouseEnter(true);
            break;
        }
}

void TspSkinPopupWindow::Show(TRect& R, TMenuItem* AItem, int StartIndex, bool PopupByItem,
                              bool PopupUp) {
    DoShow(R, AItem, nullptr, StartIndex, PopupByItem, PopupUp);
}

void TspSkinPopupWindow::Show2(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex,
                               bool PopupByItem, bool PopupUp) {
    DoShow(R, AItem, AItem2, StartIndex, PopupByItem, PopupUp);
}

void TspSkinPopupWindow::DelayedShow() {
    Sc->SetSize(Width() + 1, Height() + 1);
    CaptureScreenToBitmap(ShowX, ShowY, Sc.get());
    ESc = TspEffectBmp::CreateFromhWnd(Sc->Handle());
    if (PW && PW->CursorIndex != -1 && SD) SetCursor(SD->StartCursorIndex + PW->CursorIndex);
    ShowWindowAtPosition();
    MouseTimer->SetEnabled(true);
    if (!ItemList.empty()) {
        ActiveItem = 0;
        ItemList[0]->MouseEnter(true);
    }
    WT->SetEnabled(false);
}

void TspSkinPopupWindow::Hide() {
    if (HandleAllocated())
        SetWindowPos(Handle(), 0, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    MouseTimer->SetEnabled(false);
    MorphTimer->SetEnabled(false);
    WT->SetEnabled(false);
    if (HandleAllocated()) KillTimer(Handle(), kScrollTimerId);
    FVisible = false;
}

void TspSkinPopupWindow::CreateMenuImage(TBitmap* B, bool DrawClient) {
    int w = Width(), h = Height();
    B->SetSize(w, h);
    if (PW) {
        BuildPopupSkinImage(PW->LTPoint, PW->RTPoint, PW->LBPoint, PW->RBPoint, PW->ItemsRect,
                            NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewItemsRect, B,
                            WindowPicture, TRect(0, 0, W0(), H0()), w, h, DrawClient,
                            PW->LeftStretch, PW->TopStretch, PW->RightStretch, PW->BottomStretch,
                            PW->StretchEffect, PW->StretchType);
    } else {
        TCanvas* C = B->Canvas();
        int G = ImgL ? GlyphWidth + 3 : 22;
        FillColor(C, TRect(0, 0, G, h), clBtnFace);
        FillColor(C, TRect(G, 0, w, h), clWindow);
        FrameRectColor(C, TRect(0, 0, w, h), clBtnShadow);
        FrameRectColor(C, TRect(1, 1, w - 1, h - 1), clWindow);
    }
    if (AlphaBlend && !IsWindows2000OrLater())
        BlendWithScreen(B, ESc.get(), TPoint(0, 0), AlphaBlendValue);
}

void TspSkinPopupWindow::DrawItemBackground(TCanvas* C, const TRect& R) {
    if (!SD) return;
    int idx = SD->GetIndex("menuitem");
    if (idx == -1) idx = SD->GetIndex("MENUITEM");
    if (idx == -1) return;
    auto* mi = dynamic_cast<TspDataSkinMenuItem*>(SD->ObjectList[size_t(idx)].get());
    if (!mi || RectWidth(R) <= 0 || RectHeight(R) <= 0) return;
    TBitmap B(RectWidth(R), RectHeight(R));
    if (DSMI && DSMI->InActiveTransparent && FPaintBuffer) {
        B.Canvas()->CopyRect(TRect(0, 0, B.Width(), B.Height()), FPaintBuffer->Canvas(), R);
    } else {
        TBitmap* pic = Picture(SD, mi->ActivePictureIndex);
        if (!pic || IsEmptyRect(mi->SkinRect)) return;
        BuildHorzSkinImage(mi->ItemLO, mi->ItemRO, &B, pic, mi->SkinRect, B.Width(),
                           RectHeight(mi->SkinRect), mi->InActiveStretchEffect);
        B.SetHeight(RectHeight(R));
    }
    C->Draw(R.Left, R.Top, &B);
}

void TspSkinPopupWindow::DrawScrollMarkers(TCanvas* C) {
    TRect up, down;
    TColor cUp, cDown;
    if (PW) {
        up = TRect(NewItemsRect.Left, NewItemsRect.Top, NewItemsRect.Right, NewItemsRect.Top + 10);
        down = TRect(NewItemsRect.Left, NewItemsRect.Bottom - 10, NewItemsRect.Right,
                     NewItemsRect.Bottom);
        cUp = ResolveColor(ScrollCode == 1 ? PW->ScrollMarkerActiveColor : PW->ScrollMarkerColor);
        cDown = ResolveColor(ScrollCode == 2 ? PW->ScrollMarkerActiveColor : PW->ScrollMarkerColor);
        DrawItemBackground(C, up);
        DrawItemBackground(C, down);
    } else {
        up = TRect(3, 3, Width() - 3, 13);
        down = TRect(3, Height() - 10, Width() - 3, Height() - 3);
        FillColor(C, up, clWindow);
        FillColor(C, down, clWindow);
        cUp = ScrollCode == 1 ? clBtnText : clBtnShadow;
        cDown = ScrollCode == 2 ? clBtnText : clBtnShadow;
    }
    DrawArrow(C, up, cUp, 3);
    DrawArrow(C, down, cDown, 4);
}

void TspSkinPopupWindow::PaintMenu(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    TBitmap B;
    CreateMenuImage(&B, Scroll);
    if (PW && DSMI && DSMI->InActiveTransparent) {
        if (!FPaintBuffer) FPaintBuffer = std::make_unique<TBitmap>();
        CreateMenuImage(FPaintBuffer.get(), true);
    }
    int lastBottom = -1;
    for (auto& i : ItemList)
        if (i->FVisible) {
            i->Draw(B.Canvas());
            lastBottom = i->ObjectRect.Bottom;
        }
    if (Scroll) {
        DrawScrollMarkers(B.Canvas());
        if (lastBottom != -1 && lastBottom < NewItemsRect.Bottom - 10) {
            if (PW)
                DrawItemBackground(B.Canvas(), TRect(NewItemsRect.Left, lastBottom,
                                                     NewItemsRect.Right, NewItemsRect.Bottom - 10));
            else
                FillColor(B.Canvas(),
                          TRect(NewItemsRect.Left, lastBottom, NewItemsRect.Right,
                                NewItemsRect.Bottom - 10),
                          clWindow);
        }
    }
    BitBlt(DC, 0, 0, B.Width(), B.Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinPopupWindow::RedrawItems() {
    if (!HandleAllocated()) return;
    HDC dc = GetDC(Handle());
    PaintMenu(dc);
    ReleaseDC(Handle(), dc);
}

void TspSkinPopupWindow::DrawItemNow(TspSkinMenuItem* Item) {
    if (!HandleAllocated() || !FVisible) return;
    HDC dc = GetDC(Handle());
    TCanvas c;
    c.SetHandle(dc);
    Item->Draw(&c);
    c.SetHandle(nullptr);
    ReleaseDC(Handle(), dc);
}

void TspSkinPopupWindow::WndProc(TMessage& Message) {
    TCallGuard guard(FCallDepth);
    switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    case WM_ERASEBKGND:
        PaintMenu(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_PAINT:
        if (Message.WParam) {
            PaintMenu(reinterpret_cast<HDC>(Message.WParam));
            Message.Result = 0;
            return;
        }
        break;
    case WM_TIMER:
        if (Message.WParam == kScrollTimerId) {
            if (ScrollCode == 1 && CanScroll(1))
                ScrollUp(false);
            else if (ScrollCode == 2 && CanScroll(2))
                ScrollDown(false);
            else
                StopScroll();
            Message.Result = 0;
            return;
        }
        break;
    default:
        break;
    }
    TCustomControl::WndProc(Message);
}

void TspSkinPopupWindow::MouseTimerProc() {
    POINT p{};
    GetCursorPos(&p);
    POINT s = p;
    TPoint c = ScreenToClient(TPoint(p.x, p.y));
    if (c.X == OMX && c.Y == OMY) return;
    if (WindowFromPoint(s) == Handle()) {
        TrackMouse(c.X, c.Y);
    } else if (Scroll && ScrollCode != 0) {
        ScrollCode = 0;
        KillTimer(Handle(), kScrollTimerId);
        RedrawItems();
    }
    OMX = c.X;
    OMY = c.Y;
}

void TspSkinPopupWindow::TrackMouse(int X, int Y) {
    TPoint P(X, Y);
    if (Scroll) {
        TRect up(NewItemsRect.Left, NewItemsRect.Top, NewItemsRect.Right, NewItemsRect.Top + 10);
        TRect down(NewItemsRect.Left, NewItemsRect.Bottom - 10, NewItemsRect.Right,
                   NewItemsRect.Bottom);
        if (RectContainsPoint(up, P) && ScrollCode == 0 && CanScroll(1)) {
            ScrollCode = 1;
            RedrawItems();
            StartScroll();
        } else if (RectContainsPoint(down, P) && ScrollCode == 0 && CanScroll(2)) {
            ScrollCode = 2;
            RedrawItems();
            StartScroll();
        } else if (ScrollCode != 0 && !RectContainsPoint(up, P) && !RectContainsPoint(down, P)) {
            StopScroll();
        }
    }
    if (ItemList.empty()) return;
    OldActiveItem = ActiveItem;
    for (int i = 0; i < int(ItemList.size()); ++i) {
        auto& it = ItemList[size_t(i)];
        if (it->FVisible && RectContainsPoint(it->ObjectRect, P)) {
            ActiveItem = i;
            break;
        }
    }
    if (ActiveItem >= int(ItemList.size())) ActiveItem = -1;
    if (ActiveItem == OldActiveItem) {
        if (ActiveItem != -1) {
            auto& it = ItemList[size_t(ActiveItem)];
            if (it->WaitCommand) {
                it->WaitCommand = false;
                if (it->MenuItem->Count() > 0) it->MouseEnter(false);
            }
        }
        return;
    }
    if (OldActiveItem != -1 && OldActiveItem < int(ItemList.size()) &&
        ItemList[size_t(OldActiveItem)]->Selectable())
        ItemList[size_t(OldActiveItem)]->MouseLeave();
    if (ActiveItem != -1 && ItemList[size_t(ActiveItem)]->Selectable())
        ItemList[size_t(ActiveItem)]->MouseEnter(false);
}

void TspSkinPopupWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    TrackMouse(X, Y);
    if (Button != mbLeft || ActiveItem == -1) return;
    auto& it = ItemList[size_t(ActiveItem)];
    if (it->FVisible && RectContainsPoint(it->ObjectRect, TPoint(X, Y)) && !it->IsSeparator())
        it->MouseDown(X, Y);
}

bool TspSkinPopupWindow::CanScroll(int Code) const {
    if (Code == 1) return VisibleStartIndex > 0;
    return VisibleStartIndex + VisibleCount - 1 < int(ItemList.size()) - 1;
}

void TspSkinPopupWindow::StartScroll() {
    WT->SetEnabled(false);
    int idx = ParentMenu->PopupIndexOf(this);
    if (idx + 1 < int(ParentMenu->FPopupList.size())) ParentMenu->CloseMenu(idx + 1);
    KillTimer(Handle(), kScrollTimerId);
    SetTimer(Handle(), kScrollTimerId, 100, nullptr);
}

void TspSkinPopupWindow::StopScroll() {
    ScrollCode = 0;
    RedrawItems();
    KillTimer(Handle(), kScrollTimerId);
}

int TspSkinPopupWindow::GetLastPageStartIndex() const {
    int v = NewItemsRect.Bottom - 10;
    int n = 0;
    for (int i = int(ItemList.size()) - 1; i >= 0; --i) {
        v -= ItemHeight(ItemList[size_t(i)].get());
        if (v < 10) break;
        ++n;
    }
    return int(ItemList.size()) - n;
}

void TspSkinPopupWindow::ScrollUp(bool Cycle) {
    if (VisibleStartIndex > 0)
        --VisibleStartIndex;
    else if (Cycle)
        VisibleStartIndex = GetLastPageStartIndex();
    ArrangeItems();
    RedrawItems();
}

void TspSkinPopupWindow::ScrollDown(bool Cycle) {
    if (CanScroll(2))
        ++VisibleStartIndex;
    else if (Cycle)
        VisibleStartIndex = 0;
    ArrangeItems();
    RedrawItems();
}

void TspSkinPopupWindow::SelectNextItem() {
    int n = int(ItemList.size());
    if (n == 0) return;
    auto lastVisible = [this] { return VisibleStartIndex + VisibleCount - 1; };
    if (Scroll && ScrollCode == 0 && ActiveItem != -1 && ActiveItem == lastVisible())
        ScrollDown(true);
    int start = (ActiveItem == -1 || ActiveItem >= n - 1) ? 0 : ActiveItem + 1;
    int chosen = -1;
    for (int i = start; i < n; ++i) {
        if (ItemList[size_t(i)]->Selectable()) {
            chosen = i;
            break;
        }
        if (Scroll && i == lastVisible()) ScrollDown(false);
    }
    if (chosen == -1 || chosen == ActiveItem) return;
    // The chosen item may lie beyond the visible range after a wrap.
    if (Scroll && (chosen < VisibleStartIndex || chosen > lastVisible())) {
        VisibleStartIndex = chosen < VisibleStartIndex ? chosen : VisibleStartIndex;
        while (chosen > lastVisible() && CanScroll(2))
            ScrollDown(false);
        ArrangeItems();
        RedrawItems();
    }
    int old = ActiveItem;
    ActiveItem = chosen;
    ItemList[size_t(chosen)]->MouseEnter(true);
    if (old != -1) ItemList[size_t(old)]->MouseLeave();
}

void TspSkinPopupWindow::SelectPrevItem() {
    int n = int(ItemList.size());
    if (n == 0) return;
    if (Scroll && ScrollCode == 0 && ActiveItem != -1 && ActiveItem == VisibleStartIndex)
        ScrollUp(true);
    int start = (ActiveItem <= 0) ? n - 1 : ActiveItem - 1;
    int chosen = -1;
    for (int i = start; i >= 0; --i) {
        if (ItemList[size_t(i)]->Selectable()) {
            chosen = i;
            break;
        }
        if (Scroll && i == VisibleStartIndex) ScrollUp(false);
    }
    if (chosen == -1 || chosen == ActiveItem) return;
    if (Scroll && (chosen < VisibleStartIndex || chosen > VisibleStartIndex + VisibleCount - 1)) {
        if (chosen < VisibleStartIndex) VisibleStartIndex = chosen;
        while (chosen > VisibleStartIndex + VisibleCount - 1 && CanScroll(2))
            ScrollDown(false);
        ArrangeItems();
        RedrawItems();
    }
    int old = ActiveItem;
    ActiveItem = chosen;
    ItemList[size_t(chosen)]->MouseEnter(true);
    if (old != -1) ItemList[size_t(old)]->MouseLeave();
}

void TspSkinPopupWindow::PopupKeyDown(int CharCode) {
    if (!FVisible) return;
    for (int i = 0; i < int(ItemList.size()); ++i) {
        auto& it = ItemList[size_t(i)];
        if (IsAccel(unsigned(CharCode), it->MenuItem->Caption) && Enabled()) {
            it->MouseEnter(false);
            if (ActiveItem != -1 && ActiveItem != i) ItemList[size_t(ActiveItem)]->MouseLeave();
            ActiveItem = i;
            it->MouseDown(0, 0);
            return;
        }
    }
    TspSkinMenu* engine = ParentMenu;
    auto escape = [&](bool closeRoot) {
        int count = int(engine->FPopupList.size());
        if (count >= 2) {
            TspSkinPopupWindow* prev = engine->FPopupList[size_t(count - 2)].get();
            if (prev->ActiveItem != -1) {
                auto& pi = prev->ItemList[size_t(prev->ActiveItem)];
                pi->Down = false;
                pi->StartRedraw();
            }
            engine->CloseMenu(count - 1);
        } else if (closeRoot) {
            engine->CloseMenu(0);
        }
    };
    switch (CharCode) {
    case VK_RETURN:
        if (ActiveItem != -1) ItemList[size_t(ActiveItem)]->MouseDown(0, 0);
        break;
    case VK_ESCAPE:
        escape(true);
        break;
    case VK_LEFT:
        escape(false);
        break;
    case VK_UP:
        SelectPrevItem();
        break;
    case VK_DOWN:
        SelectNextItem();
        break;
    case VK_RIGHT:
        if (ActiveItem != -1 && ItemList[size_t(ActiveItem)]->MenuItem->Count() > 0)
            ItemList[size_t(ActiveItem)]->MouseDown(0, 0);
        break;
    default:
        break;
    }
}

void TspSkinPopupWindow::ResetSubPopup() {
    int idx = ParentMenu->PopupIndexOf(this);
    if (idx + 1 < int(ParentMenu->FPopupList.size())) ParentMenu->CloseMenu(idx + 1);
    for (auto& i : ItemList)
        if (i->Down) {
            i->Down = false;
            if (!i->EnableAnimation() || (i->MI && i->MI->InActiveAnimation)) {
                i->StartRedraw();
            } else {
                i->CurrentFrame = 0;
                DrawItemNow(i.get());
            }
        }
}

void TspSkinPopupWindow::MorphTimerProc() {
    if (!PW) {
        MorphTimer->SetEnabled(false);
        return;
    }
    bool any = false;
    for (auto& i : ItemList) {
        if (i->EnableMorphing() && i->CanMorphing()) {
            i->DoMorphing();
            any = true;
        } else if (i->EnableAnimation()) {
            if (i->Active && i->CurrentFrame <= i->MI->FrameCount) {
                ++i->CurrentFrame;
                DrawItemNow(i.get());
                any = true;
            } else if (!i->Active && i->CurrentFrame > 0) {
                --i->CurrentFrame;
                DrawItemNow(i.get());
                any = true;
            }
        }
    }
    if (!any) MorphTimer->SetEnabled(false);
}

// ---- TspSkinMenu
// ---------------------------------------------------------------------------------

TspSkinMenu::TspSkinMenu(TComponent* AOwner, TForm* AForm) : TComponent(AOwner), FForm(AForm) {
    FDefaultMenuItemFont = std::make_unique<TFont>();
    FDefaultMenuItemFont->SetName("Arial");
    FDefaultMenuItemFont->SetHeight(14);
    FDefaultMenuItemFont->SetStyle(TFontStyles());
    WaitTimer = std::make_unique<TTimer>(nullptr);
    WaitTimer->SetEnabled(false);
    WaitTimer->SetInterval(500);
    WaitTimer->SetOnTimer([this](TObject*) { WaitTimerProc(); });
    FReleaseTimer = std::make_unique<TTimer>(nullptr);
    FReleaseTimer->SetEnabled(false);
    FReleaseTimer->SetInterval(1);
    FReleaseTimer->SetOnTimer([this](TObject*) { ReleaseClosed(); });
}

TspSkinMenu::~TspSkinMenu() {
    CloseMenu(0);
    ReleaseWhenIdle(FClosed);
    FPopupList.clear();
}

void TspSkinMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == PopupCtrl) PopupCtrl = nullptr;
    if (AComponent == DCtrl) DCtrl = nullptr;
}

void TspSkinMenu::WatchControl(TControl* Ctrl) {
    if (Ctrl) FreeNotification(Ctrl);
}

void TspSkinMenu::ReleaseClosed() {
    // A window whose click is still being handled waits for the next tick.
    FReleaseTimer->SetEnabled(FreeIdle(FClosed));
}

void TspSkinMenu::SetDefaultItemFont(TFont* Font) {
    FDefaultMenuItemFont->Assign(Font);
}

void TspSkinMenu::GetWorkArea() {
    HWND h = FForm && FForm->HandleAllocated() ? FForm->Handle() : 0;
    GetMonitorArea(h, true, WorkArea);
}

int TspSkinMenu::PopupIndexOf(const TspSkinPopupWindow* Window) const {
    for (size_t i = 0; i < FPopupList.size(); ++i)
        if (FPopupList[i].get() == Window) return int(i);
    return int(FPopupList.size());
}

TspSkinPopupWindow* TspSkinMenu::LastWindow() const {
    return FPopupList.empty() ? nullptr : FPopupList.back().get();
}

void TspSkinMenu::AddPopupWindow(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex,
                                 bool PopupByItem, bool PopupUp) {
    TspDataSkinPopupWindow* pw =
        SkinData && !SkinData->Empty ? SkinData->PopupWindow.get() : nullptr;
    FPopupList.push_back(std::make_unique<TspSkinPopupWindow>(nullptr, this, pw));
    TspSkinPopupWindow* w = FPopupList.back().get();
    if (AItem2)
        w->Show2(R, AItem, AItem2, StartIndex, PopupByItem, PopupUp);
    else
        w->Show(R, AItem, StartIndex, PopupByItem, PopupUp);
}

void TspSkinMenu::Popup(TControl* APopupCtrl, TspSkinData* ASkinData, int StartIndex, TRect& R,
                        TMenuItem* AItem, bool PopupUp) {
    FFirst = !FVisible;
    PopupCtrl = APopupCtrl;
    WatchControl(APopupCtrl);
    if (!FPopupList.empty()) CloseMenu(0);
    GetWorkArea();
    SkinData = ASkinData;
    if (AItem && AItem->Count() > 0 && StartIndex < AItem->Count()) {
        FVisible = true;
        AddPopupWindow(R, AItem, nullptr, StartIndex, false, PopupUp);
        FFirst = false;
    }
}

void TspSkinMenu::Popup2(TControl* APopupCtrl, TspSkinData* ASkinData, int StartIndex, TRect& R,
                         TMenuItem* AItem, TMenuItem* AItem2, bool PopupUp) {
    FFirst = !FVisible;
    PopupCtrl = APopupCtrl;
    WatchControl(APopupCtrl);
    if (!FPopupList.empty()) CloseMenu(0);
    GetWorkArea();
    SkinData = ASkinData;
    int total = (AItem ? AItem->Count() : 0) + (AItem2 ? AItem2->Count() : 0);
    if (AItem && AItem->Count() > 0 && StartIndex < total) {
        FVisible = true;
        AddPopupWindow(R, AItem, AItem2, StartIndex, false, PopupUp);
        FFirst = false;
    }
}

void TspSkinMenu::CloseMenu(int FromIndex) {
    if (FromIndex < 0) FromIndex = 0;
    while (int(FPopupList.size()) > FromIndex) {
        std::unique_ptr<TspSkinPopupWindow> w = std::move(FPopupList.back());
        FPopupList.pop_back();
        if (WItem && WItem->Parent == w.get()) {
            WaitTimer->SetEnabled(false);
            WItem = nullptr;
        }
        // The window may be the one handling the click that closes it: it
        // goes out of sight now and is freed once its messages are done.
        w->Hide();
        if (w->HandleAllocated() && GetCapture() == w->Handle()) ReleaseCapture();
        FClosed.push_back(std::move(w));
        FReleaseTimer->SetEnabled(true);
    }
    if (FromIndex == 0) {
        WaitTimer->SetEnabled(false);
        WItem = nullptr;
        FVisible = false;
        DCtrl = PopupCtrl;
        if (PopupCtrl) {
            TControl* c = PopupCtrl;
            PopupCtrl = nullptr;
            SendMenuMessage(c, WM_SKIN_CLOSEMENU);
        }
        if (FOnMenuClose) {
            TNotifyEvent e = std::move(FOnMenuClose);
            FOnMenuClose = nullptr;
            e(this);
        }
    }
}

void TspSkinMenu::Hide() {
    CloseMenu(0);
    WaitTimer->SetEnabled(false);
    WItem = nullptr;
    if (FForm && FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_SKIN_CLOSEMENU, 0, 0);
}

void TspSkinMenu::WaitTimerProc() {
    if (WItem) MenuClick(WItem->Parent, WItem, true, false);
    WaitTimer->SetEnabled(false);
}

void TspSkinMenu::MenuClick(TspSkinPopupWindow* Window, TspSkinMenuItem* Item, bool Click,
                            bool Kb) {
    TMenuItem* mi = Item->MenuItem;
    bool sub = mi->Count() > 0;
    int after = PopupIndexOf(Window) + 1;
    if (!sub && !Click) {
        WaitTimer->SetEnabled(false);
        WItem = nullptr;
        if (after < int(FPopupList.size())) CloseMenu(after);
    } else if (!sub && Click) {
        WaitTimer->SetEnabled(false);
        WItem = nullptr;
        Hide();
        TMenu* pm = mi->GetParentMenu();
        if (pm)
            pm->DispatchCommand(mi->Command());
        else
            mi->Click();
        if (DCtrl) SendMenuMessage(DCtrl, WM_SKIN_AFTERMENUCOMMAND);
    } else if (sub && !Click && !Kb) {
        WaitTimer->SetEnabled(false);
        if (after < int(FPopupList.size())) CloseMenu(after);
        WItem = Item;
        WaitTimer->SetEnabled(true);
    } else if (sub && Click) {
        TMenu* pm = mi->GetParentMenu();
        if (pm)
            pm->DispatchCommand(mi->Command());
        else
            mi->Click();
        WaitTimer->SetEnabled(false);
        WItem = nullptr;
        // The item's own click may have closed the menu.
        if (PopupIndexOf(Window) >= int(FPopupList.size())) return;
        if (after < int(FPopupList.size())) CloseMenu(after);
        Item->Down = true;
        TRect R = Item->ObjectRect;
        R.Left += Window->Left();
        R.Right += Window->Left();
        R.Top += Window->Top();
        R.Bottom += Window->Top();
        AddPopupWindow(R, mi, nullptr, 0, true, false);
    }
}

void SendMenuMessage(TControl* Ctrl, UINT Msg) {
    if (!Ctrl) return;
    if (auto* w = dynamic_cast<TWinControl*>(Ctrl); w && w->HandleAllocated())
        SendMessage(w->Handle(), Msg, 0, 0);
    else
        Ctrl->Perform(Msg, 0, 0);
}

TComponent* FindSkinForm(TComponent* AComponent) {
    if (!AComponent) return nullptr;
    for (int i = 0; i < AComponent->ComponentCount(); ++i)
        if (dynamic_cast<TspSkinnedForm*>(AComponent->Components(i)))
            return AComponent->Components(i);
    return nullptr;
}

// ---- TspSkinPopupMenu
// ----------------------------------------------------------------------------

TspSkinPopupMenu::TspSkinPopupMenu(TComponent* AOwner) : TPopupMenu(AOwner) {}

void TspSkinPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TPopupMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinPopupMenu::SetSkinData(TspSkinData* Value) {
    if (FSD) RemoveFreeNotification(FSD);
    FSD = Value;
    if (FSD) FreeNotification(FSD);
}

void TspSkinPopupMenu::DoPopup(TControl* ACtrl, TRect R, bool APopupUp, bool NeedSkinData) {
    if (OnPopup) OnPopup(this);
    TComponent* sc = FSkinComponent;
    if (!sc && FComponentForm) sc = FindSkinForm(FComponentForm);
    if (!sc && !FComponentForm) {
        TComponent* owner = Owner();
        if (dynamic_cast<TForm*>(owner))
            sc = FindSkinForm(owner);
        else if (owner && dynamic_cast<TForm*>(owner->Owner()))
            sc = FindSkinForm(owner->Owner());
    }
    auto* dsf = dynamic_cast<TspSkinnedForm*>(sc);
    if (dsf && !FSD) SetSkinData(dsf->MenusSkinData() ? dsf->MenusSkinData() : dsf->SkinData());
    if (!dsf) return;
    if (NeedSkinData && !FSD) return;
    TspSkinMenu* engine = dsf->SkinMenu();
    if (engine->FVisible) dsf->SkinMenuClose();
    dsf->SkinMenuOpen();
    FPopupPoint = R.TopLeft();
    engine->Popup(ACtrl, FSD, 0, R, Items(), APopupUp);
    if (OnMenuClose) engine->FOnMenuClose = OnMenuClose;
}

void TspSkinPopupMenu::Popup(int X, int Y) {
    DoPopup(nullptr, TRect(X, Y, X, Y), false, false);
}

void TspSkinPopupMenu::PopupFromRect(TRect& R, bool APopupUp) {
    DoPopup(nullptr, R, APopupUp, false);
}

void TspSkinPopupMenu::Popup2(TControl* ACtrl, int X, int Y) {
    DoPopup(ACtrl, TRect(X, Y, X, Y), false, true);
}

void TspSkinPopupMenu::PopupFromRect2(TControl* ACtrl, TRect& R, bool APopupUp) {
    DoPopup(ACtrl, R, APopupUp, false);
}

// ---- Images menu
// ---------------------------------------------------------------------------------

void TspImagesMenuItem::Assign(TPersistent* Source) {
    if (auto* i = dynamic_cast<TspImagesMenuItem*>(Source)) {
        SetImageIndex(i->ImageIndex);
        SetCaption(i->Caption);
        Button = i->Button;
        Hint = i->Hint;
        return;
    }
    TPersistent::Assign(Source);
}

TspImagesMenuItem* TspImagesMenuItems::Add() {
    FItems.push_back(std::make_unique<TspImagesMenuItem>());
    return FItems.back().get();
}

void TspImagesMenuItems::Assign(TPersistent* Source) {
    auto* o = dynamic_cast<TspImagesMenuItems*>(Source);
    if (!o) {
        TPersistent::Assign(Source);
        return;
    }
    if (o == this) return;
    FItems.clear();
    for (int i = 0; i < o->Count(); ++i) {
        TspImagesMenuItem* n = Add();
        n->Assign(o->Items(i));
        n->Header = o->Items(i)->Header;
        n->OnClick = o->Items(i)->OnClick;
    }
}

TspSkinImagesMenu::TspSkinImagesMenu(TComponent* AOwner)
    : TComponent(AOwner), FImagesItems(std::make_unique<TspImagesMenuItems>(this)),
      FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetStyle(TFontStyles());
    FReleaseTimer = std::make_unique<TTimer>(nullptr);
    FReleaseTimer->SetEnabled(false);
    FReleaseTimer->SetInterval(1);
    FReleaseTimer->SetOnTimer([this](TObject*) { ReleaseClosed(); });
}

void TspSkinImagesMenu::ReleaseClosed() {
    FReleaseTimer->SetEnabled(FreeIdle(FClosedWindows));
}

TspSkinImagesMenu::~TspSkinImagesMenu() {
    if (FPopupWindow) {
        // Freed with the menu: no events reach a menu that is going.
        OnMenuClose = OnItemClick = OnChange = nullptr;
        FOnInternalChange = FOnInternalMenuClose = nullptr;
        FPopupWindow->Hide(false);
    }
    ReleaseWhenIdle(FClosedWindows);
}

void TspSkinImagesMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) FImages = nullptr;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == SkinHint) SkinHint = nullptr;
}

void TspSkinImagesMenu::SetImages(TCustomImageList* Value) {
    if (FImages) RemoveFreeNotification(FImages);
    FImages = Value;
    if (FImages) FreeNotification(FImages);
}

void TspSkinImagesMenu::SetSkinData(TspSkinData* Value) {
    if (FSD) RemoveFreeNotification(FSD);
    FSD = Value;
    if (FSD) FreeNotification(FSD);
}

void TspSkinImagesMenu::SetColumnsCount(int Value) {
    if (Value >= 1 && Value <= 50) FColumnsCount = Value;
}

TspImagesMenuItem* TspSkinImagesMenu::SelectedItem() const {
    if (ItemIndex < 0 || ItemIndex >= FImagesItems->Count()) return nullptr;
    return FImagesItems->Items(ItemIndex);
}

void TspSkinImagesMenu::Popup(int X, int Y) {
    TRect R(X, Y, X, Y);
    PopupFromRect(R);
}

void TspSkinImagesMenu::PopupFromRect(TRect& R) {
    if (FPopupWindow) {
        auto keep = std::move(OnMenuClose);
        auto keepInternal = std::move(FOnInternalMenuClose);
        OnMenuClose = nullptr;
        FOnInternalMenuClose = nullptr;
        FPopupWindow->Hide(false);
        OnMenuClose = std::move(keep);
        FOnInternalMenuClose = std::move(keepInternal);
    }
    if (OnMenuPopup) OnMenuPopup(this);
    if (!FImages || FImages->Count() == 0) return;
    FOldItemIndex = ItemIndex;
    FPopupWindow = new TspSkinImagesMenuPopupWindow(this);
    FPopupWindow->Show(R);
}

void TspSkinImagesMenu::Hide() {
    if (FPopupWindow) FPopupWindow->Hide(false);
}

void TspSkinImagesMenu::ProcessMenuClose(bool AProcessEvents) {
    // The window may be handling the click that closed it: freed afterwards.
    FClosedWindows.emplace_back(FPopupWindow);
    FPopupWindow = nullptr;
    FReleaseTimer->SetEnabled(true);
    if (FOnInternalMenuClose) FOnInternalMenuClose(this);
    if (OnMenuClose) OnMenuClose(this);
    if (AProcessEvents && ItemIndex != -1) {
        if (TspImagesMenuItem* i = SelectedItem(); i && i->OnClick) i->OnClick(this);
        if (OnItemClick) OnItemClick(this);
    }
    if (ItemIndex != FOldItemIndex) {
        if (FOnInternalChange) FOnInternalChange(this);
        if (OnChange) OnChange(this);
    }
}

TspSkinImagesMenuPopupWindow::TspSkinImagesMenuPopupWindow(TspSkinImagesMenu* AMenu)
    : TCustomControl(nullptr), ImagesMenu(AMenu) {
    FVisible = false;
}

TspSkinImagesMenuPopupWindow::~TspSkinImagesMenuPopupWindow() {
    UnHookAppMessages();
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    DestroyHandle();
    if (FRgn) DeleteObject(FRgn);
}

void TspSkinImagesMenuPopupWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    Params.WndParent = 0;
    Params.Background = nullptr;
}

int TspSkinImagesMenuPopupWindow::RowWidth() const {
    TCustomImageList* il = ImagesMenu->Images();
    return il ? (il->Width() + 10) * ImagesMenu->ColumnsCount() : 0;
}

void TspSkinImagesMenuPopupWindow::CalcItemRects() {
    TCustomImageList* il = ImagesMenu->Images();
    if (!il) return;
    int IW = il->Width(), IH = il->Height(), RW = RowWidth();
    TspSkinData* sd = ImagesMenu->SkinData();
    int L = 5, T = 5;
    if (FSkinSupport) {
        L = sd->PopupWindow->ItemsRect.Left;
        T = sd->PopupWindow->ItemsRect.Top;
    }
    int headerH = -1;
    if (sd && !sd->Empty) {
        int idx = sd->GetControlIndex("label");
        if (idx != -1)
            if (auto* lc = dynamic_cast<TspDataSkinLabelControl*>(sd->CtrlList[size_t(idx)].get()))
                headerH = RectHeight(lc->SkinRect);
    }
    int x = L, y = T;
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    for (int i = 0; i < items->Count(); ++i) {
        TspImagesMenuItem* it = items->Items(i);
        if (it->Header || it->Button) {
            if (x != L) y += IH + 11;
            if (it->Header) {
                int hh = headerH >= 0 ? headerH : IH + 10;
                it->ItemRect = TRect(L, y, L + RW, y + hh);
                y += headerH >= 0 ? hh + 1 : IH + 11;
            } else {
                it->ItemRect = TRect(L, y, L + RW, y + IH + 10);
                y += IH + 11;
            }
            x = L;
            continue;
        }
        it->ItemRect = TRect(x, y, x + IW + 10, y + IH + 10);
        x += IW + 10;
        if (x + IW + 10 > L + RW) {
            x = L;
            y += IH + 11;
        }
    }
}

void TspSkinImagesMenuPopupWindow::CalcMenuSizeAndRegion() {
    TspSkinData* sd = ImagesMenu->SkinData();
    FSkinSupport = sd && !sd->Empty && sd->PopupWindow &&
                   sd->PopupWindow->WindowPictureIndex != -1 &&
                   PictureOk(sd, sd->PopupWindow->WindowPictureIndex);
    CalcItemRects();
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    int d = items->Count() > 0
                ? items->Items(items->Count() - 1)->ItemRect.Bottom - items->Items(0)->ItemRect.Top
                : 0;
    int RW = RowWidth();
    if (FSkinSupport) {
        TspDataSkinPopupWindow* pw = sd->PopupWindow.get();
        WindowPicture = Picture(sd, pw->WindowPictureIndex);
        MaskPicture = pw->MaskPictureIndex != -1 ? Picture(sd, pw->MaskPictureIndex) : nullptr;
        int w0 = WindowPicture->Width(), h0 = WindowPicture->Height();
        int W = w0 + RW - RectWidth(pw->ItemsRect);
        int H = h0 + d - RectHeight(pw->ItemsRect);
        SetBounds(Left(), Top(), W, H);
        NewLTPoint = pw->LTPoint;
        NewRTPoint = TPoint(W + pw->RTPoint.X - w0, pw->RTPoint.Y);
        NewLBPoint = TPoint(pw->LBPoint.X, H + pw->LBPoint.Y - h0);
        NewRBPoint = TPoint(W + pw->RBPoint.X - w0, H + pw->RBPoint.Y - h0);
        NewItemsRect = TRect(pw->ItemsRect.Left, pw->ItemsRect.Top, W + pw->ItemsRect.Right - w0,
                             H + pw->ItemsRect.Bottom - h0);
        if (MaskPicture) {
            HRGN rgn = nullptr;
            BuildSkinMaskRegion(rgn, pw->LTPoint, pw->RTPoint, pw->LBPoint, pw->RBPoint,
                                pw->ItemsRect, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                                NewItemsRect, MaskPicture, W, H);
            SetWindowRgn(Handle(), rgn, 1);
            if (FRgn) DeleteObject(FRgn);
            FRgn = rgn;
        }
    } else {
        SetBounds(Left(), Top(), RW + 10, d + 10);
    }
}

void TspSkinImagesMenuPopupWindow::Show(TRect& PopupRect) {
    CalcMenuSizeAndRegion();
    int x = PopupRect.Left, y = PopupRect.Bottom;
    TRect WA;
    TForm* active = Screen ? Screen->ActiveForm() : nullptr;
    HWND ref = 0;
    if (active && active->HandleAllocated())
        ref = active->Handle();
    else if (Application && Application->MainForm() && Application->MainForm()->Visible())
        ref = Application->MainForm()->Handle();
    else if (auto* o = dynamic_cast<TWinControl*>(ImagesMenu->Owner()); o && o->HandleAllocated())
        ref = o->Handle();
    GetMonitorArea(ref, true, WA);
    if (y + Height() > WA.Bottom) y = y - Height() - RectHeight(PopupRect);
    if (x + Width() > WA.Right) x = WA.Right - Width();
    x = std::max(x, WA.Left);
    y = std::max(y, WA.Top);
    HWND h = Handle();
    bool layered = IsWindows2000OrLater() && ImagesMenu->AlphaBlend;
    bool fade = layered && ImagesMenu->AlphaBlendAnimation;
    if (layered) {
        SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredAlpha(h, fade ? 0 : ImagesMenu->AlphaBlendValue);
    }
    SetWindowPos(h, HWND_TOPMOST, x, y, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    FVisible = true;
    SetBounds(x, y, Width(), Height());
    if (fade) {
        Application->ProcessMessages();
        int target = ImagesMenu->AlphaBlendValue;
        int step = std::max(1, target / 15), a = 0;
        uint32_t last = os::GetTickCount();
        while (a < target) {
            uint32_t now = os::GetTickCount();
            if (now - last > 5) {
                last = now;
                a = std::min(target, a + step);
                SetLayeredAlpha(h, uint8_t(a));
            }
        }
    }
    HookAppMessages();
    SetCapture(h);
}

void TspSkinImagesMenuPopupWindow::Hide(bool AProcessEvents) {
    if (FClosing) return;
    FClosing = true;
    if (ImagesMenu->ShowHints && ImagesMenu->SkinHint) ImagesMenu->SkinHint->HideHint();
    if (HandleAllocated())
        SetWindowPos(Handle(), 0, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    FVisible = false;
    UnHookAppMessages();
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    ImagesMenu->ProcessMenuClose(AProcessEvents);
}

void TspSkinImagesMenuPopupWindow::HookAppMessages() {
    if (FHooked || !Application) return;
    FHooked = true;
    FAppHook = Application->AddMessageHook([this](MSG& Msg, bool& Handled) {
        switch (Msg.message) {
        case WM_KEYDOWN:
            ProcessKey(int(Msg.wParam));
            Msg.message = 0;
            Handled = true;
            return;
        case WM_MOVE:
        case WM_SIZE:
        case WM_ACTIVATE:
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
        case WM_MOUSEACTIVATE:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
        case WM_SYSKEYDOWN:
        case WM_SYSCHAR:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_PARENTNOTIFY:
            Hide(false);
            return;
        default:
            return;
        }
    });
}

void TspSkinImagesMenuPopupWindow::UnHookAppMessages() {
    if (!FHooked) return;
    FHooked = false;
    if (Application) Application->RemoveMessageHook(FAppHook);
    FAppHook = 0;
}

void TspSkinImagesMenuPopupWindow::WndProc(TMessage& Message) {
    TCallGuard guard(FCallDepth);
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    case CM_MOUSEENTER:
        return;
    case CM_MOUSELEAVE:
        if (ImagesMenu->ShowHints && ImagesMenu->SkinHint) ImagesMenu->SkinHint->HideHint();
        MouseInItem = OldMouseInItem = -1;
        Invalidate();
        return;
    default:
        break;
    }
    TCustomControl::WndProc(Message);
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && FVisible &&
        !FClosing) {
        POINT p{};
        GetCursorPos(&p);
        if (WindowFromPoint(p) != Handle()) Hide(false);
    }
}

int TspSkinImagesMenuPopupWindow::ItemAtPos(int X, int Y) const {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    for (int i = 0; i < items->Count(); ++i) {
        const TRect& r = items->Items(i)->ItemRect;
        if (!items->Items(i)->Header && X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom)
            return i;
    }
    return -1;
}

void TspSkinImagesMenuPopupWindow::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    int i = ItemAtPos(X, Y);
    TspSkinHint* hint = ImagesMenu->SkinHint;
    if (hint && i == -1) hint->HideHint();
    if (i != MouseInItem) {
        OldMouseInItem = MouseInItem;
        MouseInItem = i;
        Invalidate();
        if (ImagesMenu->ShowHints && i != -1 && hint) {
            hint->HideHint();
            const std::string& text = ImagesMenu->ImagesItems()->Items(i)->Hint;
            if (!text.empty()) hint->ActivateHint2(text);
        }
    }
}

void TspSkinImagesMenuPopupWindow::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (ImagesMenu->SkinHint) ImagesMenu->SkinHint->HideHint();
    FDown = true;
    FItemDown = ItemAtPos(X, Y) != -1;
    Invalidate();
}

void TspSkinImagesMenuPopupWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseUp(Button, Shift, X, Y);
    int i = ItemAtPos(X, Y);
    if (FDown && i != -1) {
        ImagesMenu->ItemIndex = i;
        Hide(true);
        return;
    }
    if (GetCapture() == Handle()) ReleaseCapture();
    SetCapture(Handle());
}

void TspSkinImagesMenuPopupWindow::ProcessKey(int Key) {
    switch (Key) {
    case VK_RETURN:
    case VK_SPACE:
        if (MouseInItem != -1) ImagesMenu->ItemIndex = MouseInItem;
        Hide(true);
        return;
    case VK_ESCAPE:
        Hide(false);
        return;
    case VK_LEFT:
        SelectPrev();
        break;
    case VK_UP:
        SelectUp();
        break;
    case VK_RIGHT:
        SelectNext();
        break;
    case VK_DOWN:
        SelectDown();
        break;
    default:
        return;
    }
    Invalidate();
}

void TspSkinImagesMenuPopupWindow::SelectUp() {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    if (items->Count() == 0) return;
    if (MouseInItem == -1) {
        MouseInItem = items->Count() - 1;
        return;
    }
    const TRect cur = items->Items(MouseInItem)->ItemRect;
    for (int i = MouseInItem - 1; i >= 0; --i) {
        TspImagesMenuItem* it = items->Items(i);
        if (!it->Header && it->ItemRect.Top < cur.Top &&
            (it->Button || it->ItemRect.Left == cur.Left)) {
            MouseInItem = i;
            return;
        }
    }
}

void TspSkinImagesMenuPopupWindow::SelectDown() {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    if (items->Count() == 0) return;
    if (MouseInItem == -1) {
        MouseInItem = items->Items(0)->Header && items->Count() > 1 ? 1 : 0;
        return;
    }
    const TRect cur = items->Items(MouseInItem)->ItemRect;
    for (int i = MouseInItem + 1; i < items->Count(); ++i) {
        TspImagesMenuItem* it = items->Items(i);
        if (!it->Header && it->ItemRect.Top > cur.Top &&
            (it->Button || it->ItemRect.Left == cur.Left)) {
            MouseInItem = i;
            return;
        }
    }
}

void TspSkinImagesMenuPopupWindow::SelectNext() {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    int n = items->Count();
    if (n == 0) return;
    if (MouseInItem == -1 || MouseInItem == n - 1) {
        MouseInItem = items->Items(0)->Header && n > 1 ? 1 : 0;
        return;
    }
    for (int i = MouseInItem + 1; i < n; ++i)
        if (!items->Items(i)->Header) {
            MouseInItem = i;
            return;
        }
}

void TspSkinImagesMenuPopupWindow::SelectPrev() {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    int n = items->Count();
    if (n == 0) return;
    int first = items->Items(0)->Header && n > 1 ? 1 : 0;
    if (MouseInItem == -1 || MouseInItem == first) {
        MouseInItem = n - 1;
        return;
    }
    for (int i = MouseInItem - 1; i >= 0; --i)
        if (!items->Items(i)->Header) {
            MouseInItem = i;
            return;
        }
}

void TspSkinImagesMenuPopupWindow::Paint() {
    TspSkinData* sd = ImagesMenu->SkinData();
    FSkinSupport = sd && !sd->Empty && sd->PopupWindow &&
                   sd->PopupWindow->WindowPictureIndex != -1 &&
                   PictureOk(sd, sd->PopupWindow->WindowPictureIndex);
    int selected = ImagesMenu->ShowSelectedItem ? ImagesMenu->ItemIndex : -1;
    if (Width() <= 0 || Height() <= 0) return;
    TBitmap B(Width(), Height());
    if (FSkinSupport && WindowPicture) {
        TspDataSkinPopupWindow* pw = sd->PopupWindow.get();
        BuildPopupSkinImage(pw->LTPoint, pw->RTPoint, pw->LBPoint, pw->RBPoint, pw->ItemsRect,
                            NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewItemsRect, &B,
                            WindowPicture,
                            TRect(0, 0, WindowPicture->Width(), WindowPicture->Height()), Width(),
                            Height(), true, pw->LeftStretch, pw->TopStretch, pw->RightStretch,
                            pw->BottomStretch, pw->StretchEffect, pw->StretchType);
    } else {
        TCanvas* c = B.Canvas();
        c->Pen()->SetColor(clBtnShadow);
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(clWindow);
        c->Rectangle(0, 0, Width(), Height());
    }
    DrawItems(B.Canvas(), MouseInItem, selected);
    Canvas()->Draw(0, 0, &B);
}

void TspSkinImagesMenuPopupWindow::DrawItemFrame(TCanvas* C, const TRect& R, bool Pressed) {
    TspSkinData* sd = ImagesMenu->SkinData();
    if (FSkinSupport) {
        int idx = sd->GetControlIndex("menuitembutton");
        if (idx == -1) idx = sd->GetControlIndex("resizebutton");
        auto* b = idx == -1
                      ? nullptr
                      : dynamic_cast<TspDataSkinButtonControl*>(sd->CtrlList[size_t(idx)].get());
        TBitmap* pic = b ? Picture(sd, b->PictureIndex) : nullptr;
        if (b && pic) {
            TRect src =
                Pressed && !IsEmptyRect(b->DownSkinRect) ? b->DownSkinRect : b->ActiveSkinRect;
            if (IsEmptyRect(src)) src = b->SkinRect;
            int w = RectWidth(R), h = RectHeight(R);
            TBitmap img(w, h);
            int sw = RectWidth(b->SkinRect), sh = RectHeight(b->SkinRect);
            TPoint nlt = b->LTPoint, nrt(w - (sw - b->RTPoint.X), b->RTPoint.Y),
                   nlb(b->LBPoint.X, h - (sh - b->LBPoint.Y)),
                   nrb(w - (sw - b->RBPoint.X), h - (sh - b->RBPoint.Y));
            TRect ncl(b->ClRect.Left, b->ClRect.Top, w - (sw - b->ClRect.Right),
                      h - (sh - b->ClRect.Bottom));
            BuildSkinImage(b->LTPoint, b->RTPoint, b->LBPoint, b->RBPoint, b->ClRect, nlt, nrt, nlb,
                           nrb, ncl, &img, pic, src, w, h, true, b->LeftStretch, b->TopStretch,
                           b->RightStretch, b->BottomStretch, b->StretchEffect, b->StretchType);
            C->Draw(R.Left, R.Top, &img);
            return;
        }
    }
    FillColor(C, R, Pressed ? TColor(0xB59385) : TColor(0xD2BDB6));
    FrameRectColor(C, R, clNavy);
}

void TspSkinImagesMenuPopupWindow::DrawItemCaption(TCanvas* C, const std::string& Text,
                                                   const TRect& R, bool Pressed, bool Hot) {
    TspSkinData* sd = ImagesMenu->SkinData();
    C->Font()->Assign(ImagesMenu->DefaultFont());
    C->Font()->SetColor(clWindowText);
    if (FSkinSupport) {
        int oi = sd->GetIndex("menuitem");
        if (oi == -1) oi = sd->GetIndex("MENUITEM");
        int ci = sd->GetControlIndex("menuitembutton");
        if (ci == -1) ci = sd->GetControlIndex("resizebutton");
        auto* mi = oi == -1 ? nullptr
                            : dynamic_cast<TspDataSkinMenuItem*>(sd->ObjectList[size_t(oi)].get());
        auto* b = ci == -1
                      ? nullptr
                      : dynamic_cast<TspDataSkinButtonControl*>(sd->CtrlList[size_t(ci)].get());
        if (mi && b) {
            if (ImagesMenu->UseSkinFont) {
                C->Font()->SetName(b->FontName);
                C->Font()->SetHeight(b->FontHeight);
                C->Font()->SetStyle(b->FontStyle);
            }
            C->Font()->SetCharset(ResCharset(sd, ImagesMenu->DefaultFont()));
            C->Font()->SetColor(SkinColorToColor(Pressed ? b->DownFontColor
                                                 : Hot   ? b->ActiveFontColor
                                                         : mi->FontColor));
        }
    }
    C->Brush()->SetStyle(bsClear);
    std::u16string t = U16(Text);
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    TRect r = R;
    if (WideTextWidth(C, t) <= RectWidth(R)) flags |= DT_CENTER;
    DrawWideText(C, t, r, flags);
}

void TspSkinImagesMenuPopupWindow::DrawImagesHeader(TCanvas* C, const TRect& R,
                                                    const std::string& Caption) {
    TspSkinData* sd = ImagesMenu->SkinData();
    if (sd && !sd->Empty) {
        int idx = sd->GetControlIndex("label");
        auto* L = idx == -1
                      ? nullptr
                      : dynamic_cast<TspDataSkinLabelControl*>(sd->CtrlList[size_t(idx)].get());
        TBitmap* pic = L ? Picture(sd, L->PictureIndex) : nullptr;
        if (L && pic && !IsEmptyRect(L->SkinRect)) {
            int h = RectHeight(L->SkinRect);
            TBitmap B(RectWidth(R), h);
            BuildHorzSkinImage(L->LTPoint.X, RectWidth(L->SkinRect) - L->RTPoint.X, &B, pic,
                               L->SkinRect, RectWidth(R), h, L->StretchEffect);
            TCanvas* c = B.Canvas();
            c->Font()->SetName(L->FontName);
            c->Font()->SetHeight(L->FontHeight);
            c->Font()->SetStyle(L->FontStyle);
            c->Font()->SetColor(SkinColorToColor(L->FontColor));
            c->Brush()->SetStyle(bsClear);
            TRect tr(L->ClRect.Left, L->ClRect.Top,
                     B.Width() + L->ClRect.Right - RectWidth(L->SkinRect), B.Height());
            DrawWideText(c, U16(Caption), tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            C->Draw(R.Left, R.Top, &B);
            return;
        }
    }
    C->Brush()->SetStyle(bsClear);
    TRect tr = R;
    DrawWideText(C, U16(Caption), tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void TspSkinImagesMenuPopupWindow::DrawItems(TCanvas* C, int Hot, int Selected) {
    TspImagesMenuItems* items = ImagesMenu->ImagesItems();
    TCustomImageList* il = ImagesMenu->Images();
    for (int i = 0; i < items->Count(); ++i) {
        TspImagesMenuItem* it = items->Items(i);
        const TRect& R = it->ItemRect;
        if (it->Header) {
            DrawImagesHeader(C, R, it->Caption);
            continue;
        }
        if (i == Selected && !FItemDown)
            DrawItemFrame(C, R, true);
        else if (i == Hot)
            DrawItemFrame(C, R, FItemDown);
        int textLeft = R.Left;
        if (il && it->ImageIndex >= 0 && it->ImageIndex < il->Count()) {
            il->Draw(C, R.Left + 5, R.Top + 5, it->ImageIndex, true);
            textLeft = R.Left + il->Width() + 5;
        }
        if (it->Button && !it->Caption.empty()) {
            bool pressed = (i == Selected && !FItemDown) || (i == Hot && FItemDown);
            bool hot = i == Hot && !FItemDown;
            DrawItemCaption(C, it->Caption, TRect(textLeft, R.Top, R.Right, R.Bottom), pressed,
                            hot);
        }
    }
}
