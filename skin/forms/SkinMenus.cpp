// Skinned menus: the drawing helpers, the menu item, the menu that keeps the
// chain of popup windows, and the popup menu component. The popup windows are
// in SkinMenuPopupWindow.cpp; shared helpers come from SkinMenusInternal.h.
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinMenusInternal.h"

#include <algorithm>

#include "platform/win/input.h"
#include "platform/win/queue.h"
#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinnedForm.h"

using namespace skin_menus_internal;

namespace {

constexpr UINT kReleaseClosedMsg = WM_USER + 1;

constexpr UINT kTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

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

// The caption centred in T's height from GW on, and the shortcut text (if any)
// against the right edge; both stop Gap short of T's right edge.
void DrawCaptionAndShortCut(TCanvas* C, const std::string& Caption, const std::string& ShortCut,
                            const TRect& T, int GW, int Gap) {
    TRect cr(T.Left + GW, 0, T.Right - Gap, 0);
    DrawWideText(C, U16(Caption), cr, DT_CALCRECT | kTextFlags);
    int ch = cr.Bottom;
    cr.Top = T.Top + RectHeight(T) / 2 - ch / 2;
    cr.Bottom = cr.Top + ch;
    cr.Right += 2;
    DrawWideText(C, U16(Caption), cr, kTextFlags);
    if (!ShortCut.empty()) {
        int tw = WideTextWidth(C, U16(ShortCut));
        TRect sr(T.Right - Gap - tw, cr.Top, T.Right - Gap, cr.Bottom);
        DrawWideText(C, U16(ShortCut), sr, kTextFlags | DT_NOPREFIX);
    }
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
    DrawCaptionAndShortCut(C, MenuItem->Caption, sc, T, GW, 16);
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
    DrawCaptionAndShortCut(C, MenuItem->Caption, sc, R2, GW, 19);
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
