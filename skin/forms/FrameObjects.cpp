// Frame objects of the skinned form: the active object they all derive from,
// the user object and the buttons. Picture and morph helpers come from
// SkinnedFormInternal.h; the form tracks and paints them.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"

using namespace skinned_form_internal;

TspActiveSkinObject::TspActiveSkinObject(TspSkinnedForm* AParent, TspDataSkinObject* AData)
    : Parent(AParent), SD(AParent->SkinData()), Data(AData) {
    if (AData) {
        IDName = AData->IDName;
        Hint = AData->Hint;
        SkinRectInAPicture = AData->SkinRectInAPicture;
        SkinRect = AData->SkinRect;
        ActiveSkinRect = AData->ActiveSkinRect;
        InActiveSkinRect = AData->InActiveSkinRect;
        Morphing = AData->Morphing;
        MorphKind = AData->MorphKind;
        CursorIndex = AData->CursorIndex;
        RollUp = AData->RollUp;
        GlowLayerPictureIndex = AData->GlowLayerPictureIndex;
        GlowLayerMaskPictureIndex = AData->GlowLayerMaskPictureIndex;
        GlowLayerOffsetX = AData->GlowLayerOffsetX;
        GlowLayerOffsetY = AData->GlowLayerOffsetY;
        GlowLayerAlphaBlendValue = AData->GlowLayerAlphaBlendValue;
        ActivePicture = PictureAt(SD, AData->ActivePictureIndex);
        ActiveMaskPicture = PictureAt(SD, AData->ActiveMaskPictureIndex);
        if (!ActivePicture) {
            AData->ActiveSkinRect = TRect();
            ActiveSkinRect = TRect();
        }
    }
    if (SD) Picture = RollUp ? SD->FRollUpPicture.get() : SD->FPicture.get();
    ObjectRect = SkinRect;
}

bool TspActiveSkinObject::SkinReady() const {
    return SD && !SD->Empty;
}

bool TspActiveSkinObject::IsPointInObject(int X, int Y) {
    if (!SkinReady() || !ActiveMaskPicture) return true;
    if (X < 0 || Y < 0 || X >= ActiveMaskPicture->Width() || Y >= ActiveMaskPicture->Height())
        return false;
    return (ColorToRGB(ActiveMaskPicture->Canvas()->Pixels(X, Y)) & 0xFFFFFF) == 0;
}

bool TspActiveSkinObject::EnableMorphing() const {
    return Morphing && Parent->SkinData() && Parent->SkinData()->EnableSkinEffects();
}

void TspActiveSkinObject::SetMorphKf(double Value) {
    FMorphKf = std::clamp(Value, 0.0, 1.0);
}

bool TspActiveSkinObject::CanMorphing() {
    return (Active && FMorphKf < 1) || (!Active && FMorphKf > 0);
}

void TspActiveSkinObject::StartRedraw() {
    if (EnableMorphing())
        Parent->MorphTimer()->SetEnabled(true);
    else
        Redraw();
}

void TspActiveSkinObject::DoMorphing() {
    SetMorphKf(Active ? FMorphKf + 0.2 : FMorphKf - 0.2);
    Redraw();
}

void TspActiveSkinObject::Redraw() {
    Parent->DrawSkinObject(this);
}

TRect TspActiveSkinObject::ObjectRectToScreen() const {
    TForm* f = Parent->Form();
    if (Parent->IsMDIChild() && f->HandleAllocated()) {
        RECT r{};
        GetWindowRect(f->Handle(), &r);
        return Offset(ObjectRect, r.left, r.top);
    }
    return Offset(ObjectRect, f->Left(), f->Top());
}

void TspActiveSkinObject::CopyToObject(TCanvas* Cnvs, TBitmap* P, const TRect& Src) const {
    if (HasPart(P, Src) && !ObjectRect.IsEmpty()) Cnvs->CopyRect(ObjectRect, P->Canvas(), Src);
}

void TspActiveSkinObject::DrawMorph(TCanvas* Cnvs, TBitmap* P1, const TRect& R1, TBitmap* P2,
                                    const TRect& R2) const {
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (w <= 0 || h <= 0) return;
    TBitmap a, b;
    StretchPart(&a, P1, R1, w, h);
    StretchPart(&b, P2, R2, w, h);
    DrawMorphed(Cnvs, ObjectRect.Left, ObjectRect.Top, &a, &b, FMorphKf, MorphKind);
}

void TspActiveSkinObject::ShowGlow(bool MenuLayer) {
    if (!SkinReady() || GlowLayerPictureIndex == -1 || !IsWindows2000OrLater() ||
        !SD->ShowCaptionButtonGlowFrames())
        return;
    TBitmap* img = PictureAt(SD, GlowLayerPictureIndex);
    TBitmap* mask = PictureAt(SD, GlowLayerMaskPictureIndex);
    // The glow's opacity comes from its mask: without one there is nothing to show.
    if (!img || !mask) return;
    TRect r = ObjectRectToScreen();
    TspLayerManager* m = MenuLayer ? Parent->MenuLayerManager() : Parent->LayerManager();
    m->Show(r.Left - GlowLayerOffsetX, r.Top - GlowLayerOffsetY, img, mask,
            GlowLayerAlphaBlendValue);
}

void TspActiveSkinObject::HideGlow(bool MenuLayer) {
    if (!SkinReady() || GlowLayerPictureIndex == -1 || !IsWindows2000OrLater() ||
        !SD->ShowCaptionButtonGlowFrames())
        return;
    TspLayerManager* m = MenuLayer ? Parent->MenuLayerManager() : Parent->LayerManager();
    if (m->IsVisible) m->Hide();
}

void TspActiveSkinObject::ShowLayer() {
    ShowGlow(false);
}
void TspActiveSkinObject::HideLayer() {
    HideGlow(false);
}

void TspActiveSkinObject::Draw(TCanvas* Cnvs, bool UpDate) {
    if (!SkinReady()) return;
    TBitmap* normal = NormalPicture();
    if (Enabled && !Parent->GetFormActive() && HasPart(ActivePicture, InActiveSkinRect)) {
        CopyToObject(Cnvs, ActivePicture, InActiveSkinRect);
        return;
    }
    bool hot = HasPart(ActivePicture, ActiveSkinRect);
    if (EnableMorphing() && hot && ((Active && FMorphKf != 1) || (!Active && FMorphKf != 0))) {
        DrawMorph(Cnvs, normal, SkinRect, ActivePicture, ActiveSkinRect);
        return;
    }
    if (!Active || !hot) {
        if (!UpDate && !SkinRectInAPicture) return;
        CopyToObject(Cnvs, normal, SkinRect);
        return;
    }
    CopyToObject(Cnvs, ActivePicture, ActiveSkinRect);
}

void TspActiveSkinObject::MouseDown(int X, int Y, TMouseButton Button) {
    Parent->DoObjectMouseDown(IDName, X, Y, ObjectRect, Button);
}
void TspActiveSkinObject::MouseUp(int X, int Y, TMouseButton Button) {
    if (FMouseIn) Parent->DoObjectMouseUp(IDName, X, Y, ObjectRect, Button);
}
void TspActiveSkinObject::MouseMove(int X, int Y) {
    Parent->DoObjectMouseMove(IDName, X, Y, ObjectRect);
}
void TspActiveSkinObject::MouseEnter() {
    FMouseIn = true;
    Active = true;
    if (!ActiveSkinRect.IsEmpty()) StartRedraw();
    Parent->DoObjectMouseEnter(IDName);
    ShowLayer();
}
void TspActiveSkinObject::MouseLeave() {
    FMouseIn = false;
    Active = false;
    if (!ActiveSkinRect.IsEmpty()) StartRedraw();
    Parent->DoObjectMouseLeave(IDName);
    HideLayer();
}

void TspUserObject::Draw(TCanvas* Cnvs, bool) {
    Parent->DoObjectPaint(IDName, Cnvs, ObjectRect);
}

// ---- Buttons

TspSkinButtonObject::TspSkinButtonObject(TspSkinnedForm* AParent, TspDataSkinButton* AData)
    : TspActiveSkinObject(AParent, AData) {
    if (AData) {
        GroupIndex = AData->GroupIndex;
        DownRect = AData->DownRect;
        DisableSkinRect = AData->DisableSkinRect;
    }
}

void TspSkinButtonObject::ShowLayer() {
    ShowGlow(MenuItem != nullptr);
}
void TspSkinButtonObject::HideLayer() {
    HideGlow(MenuItem != nullptr);
}

bool TspSkinButtonObject::CanMorphing() {
    return TspActiveSkinObject::CanMorphing() && !(MenuItem && FDown);
}

void TspSkinButtonObject::ReleaseGroup() {
    if (GroupIndex == -1) return;
    for (auto& o : Parent->ObjectList)
        if (auto* b = dynamic_cast<TspSkinButtonObject*>(o.get());
            b && b != this && b->IDName != IDName && b->GroupIndex == GroupIndex && b->FDown) {
            b->SetDown(false);
            return;
        }
}

void TspSkinButtonObject::SetDown(bool Value) {
    FDown = Value;
    if (MenuItem && DownRect.IsEmpty()) {
        if (Value) {
            FMouseIn = Active = true;
            if (EnableMorphing()) SetMorphKf(1);
            Redraw();
        } else {
            Redraw();
            if (EnableMorphing()) StartRedraw();
        }
    }
    if (DownRect.IsEmpty()) {
        if (Value) ReleaseGroup();
        return;
    }
    if (Value) {
        if (EnableMorphing()) SetMorphKf(1);
        Redraw();
        ReleaseGroup();
        return;
    }
    if (GroupIndex != -1 || MenuItem) Active = false;
    if (EnableMorphing()) Redraw();
    StartRedraw();
}

void TspSkinButtonObject::TrackMenu() {
    if (!MenuItem || MenuItem->Count() == 0) return;
    if (Parent->LayerManager()->IsVisible) Parent->LayerManager()->Hide();
    if (Parent->MenuLayerManager()->IsVisible) Parent->MenuLayerManager()->Hide();
    if (FMouseIn) ShowLayer();
    Parent->PopupObjectMenu(MenuItem, ObjectRectToScreen(), FPopupUp);
}

void TspSkinButtonObject::Draw(TCanvas* Cnvs, bool UpDate) {
    if (!SkinReady()) return;
    if (!Enabled && HasPart(ActivePicture, DisableSkinRect)) {
        CopyToObject(Cnvs, ActivePicture, DisableSkinRect);
        return;
    }
    if (FDown && HasPart(ActivePicture, DownRect) && (GroupIndex != -1 || FMouseIn)) {
        CopyToObject(Cnvs, ActivePicture, DownRect);
        return;
    }
    TspActiveSkinObject::Draw(Cnvs, UpDate);
}

void TspSkinButtonObject::MouseDown(int X, int Y, TMouseButton Button) {
    if (!Enabled) return;
    if (Button == mbLeft && !FDown) {
        SetDown(true);
        TrackMenu();
    }
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinButtonObject::MouseUp(int X, int Y, TMouseButton Button) {
    if (!Enabled) return;
    if (Button == mbLeft && !MenuItem && FDown && GroupIndex == -1) SetDown(false);
    TspActiveSkinObject::MouseUp(X, Y, Button);
}

void TspSkinButtonObject::MouseEnter() {
    FMouseIn = Active = true;
    if (DownRect.IsEmpty() || !FDown) {
        if (!ActiveSkinRect.IsEmpty()) StartRedraw();
        if (MenuItem) ShowLayer();
    } else if (GroupIndex == -1) {
        Redraw();
    }
    Parent->DoObjectMouseEnter(IDName);
    if (!MenuItem) ShowLayer();
}

void TspSkinButtonObject::MouseLeave() {
    FMouseIn = false;
    if (FDown && MenuItem && DownRect.IsEmpty()) {
        Active = false;
    } else if (!FDown || DownRect.IsEmpty() || (GroupIndex == -1 && !MenuItem)) {
        Active = false;
        if (EnableMorphing() && FDown) SetMorphKf(1);
        if (!ActiveSkinRect.IsEmpty() || (!DownRect.IsEmpty() && GroupIndex == -1)) StartRedraw();
        if (MenuItem) HideLayer();
    }
    Parent->DoObjectMouseLeave(IDName);
    if (!MenuItem) HideLayer();
}

TspSkinStdButtonObject::TspSkinStdButtonObject(TspSkinnedForm* AParent, TspDataSkinStdButton* AData)
    : TspSkinButtonObject(AParent, AData) {
    if (AData) {
        Command = AData->Command;
        RestoreRect = AData->RestoreRect;
        RestoreActiveRect = AData->RestoreActiveRect;
        RestoreDownRect = AData->RestoreDownRect;
        RestoreInActiveRect = AData->RestoreInActiveRect;
        RestoreHint = AData->RestoreHint;
        FTempHint = Hint;
        FSkinSupport = true;
    }
}

bool TspSkinStdButtonObject::RestoreMode() const {
    bool r = (Command == cmMaximize && Parent->WindowState() == wsMaximized) ||
             (Command == cmMinimize && Parent->WindowState() == wsMinimized) ||
             (Command == cmRollUp && Parent->RollUpState());
    if (Parent->OnGetObjectRestoreMode) Parent->OnGetObjectRestoreMode(Command, r);
    return r;
}

bool TspSkinStdButtonObject::IconRule() const {
    return Command == cmSysMenu && Parent->ShowIcon() && SkinRectInAPicture;
}

bool TspSkinStdButtonObject::IsPointInObject(int X, int Y) {
    if (IconRule() && FSkinSupport) return true;
    return TspSkinButtonObject::IsPointInObject(X, Y);
}

void TspSkinStdButtonObject::ShowLayer() {
    if (!(IconRule() && FSkinSupport)) TspSkinButtonObject::ShowLayer();
}
void TspSkinStdButtonObject::HideLayer() {
    if (!(IconRule() && FSkinSupport)) TspSkinButtonObject::HideLayer();
}

bool TspSkinStdButtonObject::CanMorphing() {
    return !IconRule() && TspSkinButtonObject::CanMorphing();
}

void TspSkinStdButtonObject::Draw(TCanvas* Cnvs, bool UpDate) {
    if (!FSkinSupport) {
        DefaultDraw(Cnvs);
        return;
    }
    if (!SkinReady()) return;
    bool restore = RestoreMode();
    if (IconRule()) {
        Parent->DrawFormIcon(Cnvs, ObjectRect.Left, ObjectRect.Top);
        SetMorphKf(0);
        return;
    }
    if (Enabled && restore && !RestoreRect.IsEmpty()) {
        if (!Parent->GetFormActive() && HasPart(ActivePicture, RestoreInActiveRect))
            CopyToObject(Cnvs, ActivePicture, RestoreInActiveRect);
        else if (FDown && FMouseIn && HasPart(ActivePicture, RestoreDownRect))
            CopyToObject(Cnvs, ActivePicture, RestoreDownRect);
        else if (EnableMorphing() && ((Active && FMorphKf != 1) || (!Active && FMorphKf != 0)))
            DrawMorph(Cnvs, ActivePicture, RestoreRect, ActivePicture, RestoreActiveRect);
        else if (Active && !RestoreActiveRect.IsEmpty())
            CopyToObject(Cnvs, ActivePicture, RestoreActiveRect);
        else
            CopyToObject(Cnvs, ActivePicture, RestoreRect);
        return;
    }
    TspSkinButtonObject::Draw(Cnvs, UpDate);
    // A skin with no disabled picture: the button shows dimmed.
    if (!Enabled && !HasPart(ActivePicture, DisableSkinRect)) DimObject(Cnvs);
}

void TspSkinStdButtonObject::DimObject(TCanvas* Cnvs) const {
    const TRect& r = ObjectRect;
    if (r.IsEmpty()) return;
    // Every pixel moves most of the way toward the button's background, which
    // its corner shows.
    const TColor bg = ColorToRGB(Cnvs->Pixels(r.Left, r.Top));
    auto toward = [](unsigned c, unsigned b) { return (c * 35 + b * 65 + 50) / 100; };
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            const TColor c = ColorToRGB(Cnvs->Pixels(x, y));
            const unsigned red = toward(c & 0xFF, bg & 0xFF);
            const unsigned green = toward((c >> 8) & 0xFF, (bg >> 8) & 0xFF);
            const unsigned blue = toward((c >> 16) & 0xFF, (bg >> 16) & 0xFF);
            Cnvs->SetPixel(x, y, TColor(red | green << 8 | blue << 16));
        }
}

void TspSkinStdButtonObject::DefaultDraw(TCanvas* Cnvs) {
    if (ObjectRect.IsEmpty()) return;
    if (Command == cmSysMenu && Parent->ShowIcon()) {
        Parent->DrawFormIcon(Cnvs, ObjectRect.Left, ObjectRect.Top);
        return;
    }
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    TBitmap b(w, h);
    TCanvas* c = b.Canvas();
    bool pressed = FDown && FMouseIn;
    TRect r(0, 0, w, h);
    if (FMouseIn) {
        c->Brush()->SetColor(clNavy);
        c->FillRect(r);
        c->Brush()->SetColor(pressed ? TColor(0xB59385) : TColor(0xD2BDB6));
        c->FillRect(TRect(1, 1, w - 1, h - 1));
    } else {
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(r);
    }
    int x = w / 2 - 5, y = h / 2 - 4;
    if (pressed) ++x, ++y;
    TColor col = Enabled ? clBtnText : clBtnShadow;
    switch (Command) {
    case cmClose:
        DrawCloseGlyph(c, x, y, col);
        break;
    case cmMaximize:
        if (Parent->WindowState() == wsMaximized)
            DrawRestoreGlyph(c, x, y, col);
        else
            DrawMaximizeGlyph(c, x, y, col);
        break;
    case cmMinimize:
        if (Parent->WindowState() == wsMinimized)
            DrawRestoreGlyph(c, x, y, col);
        else
            DrawMinimizeGlyph(c, x, y, col);
        break;
    case cmSysMenu:
        DrawSysMenuGlyph(c, x, y, col);
        break;
    case cmRollUp:
        if (Parent->RollUpState())
            DrawRollDownGlyph(c, x, y, col);
        else
            DrawRollUpGlyph(c, x, y, col);
        break;
    case cmMinimizeToTray:
        DrawTrayGlyph(c, x, y, col);
        break;
    case cmDefault:
        break;
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &b);
}

void TspSkinStdButtonObject::DblClick() {
    if (Command == cmSysMenu) Parent->Form()->Close();
}

void TspSkinStdButtonObject::MouseDown(int, int, TMouseButton Button) {
    if (!Enabled || Button != mbLeft || FDown) return;
    if (Command == cmSysMenu) MenuItem = Parent->GetSystemMenuItems();
    SetDown(true);
    if (Command == cmSysMenu) TrackMenu();
}

void TspSkinStdButtonObject::MouseUp(int X, int Y, TMouseButton Button) {
    bool run = Active && Button == mbLeft;
    if (Command == cmClose) {
        TspSkinButtonObject::MouseUp(X, Y, Button);
        if (run) DoCommand();
        return;
    }
    // The command may free this object (a skin change, a closed form).
    std::weak_ptr<bool> alive = Parent->AliveToken();
    if (run) DoCommand();
    if (alive.expired() || !*alive.lock() || !Parent->OwnsObject(this)) return;
    TspSkinButtonObject::MouseUp(X, Y, Button);
}

void TspSkinStdButtonObject::MouseEnter() {
    if (Command != cmDefault) {
        bool restore = (Command == cmRollUp && Parent->RollUpState()) ||
                       (Command == cmMinimize && Parent->WindowState() == wsMinimized) ||
                       (Command == cmMaximize && Parent->WindowState() == wsMaximized);
        Hint = !RestoreHint.empty() && restore ? RestoreHint : FTempHint;
    }
    TspSkinButtonObject::MouseEnter();
}

void TspSkinStdButtonObject::DoCommand() {
    TspSkinnedForm* p = Parent;
    auto leave = [p] { p->TestActiveObject(-1, -1, false); };
    bool cancel = false;
    auto ask = [&] {
        if (p->OnObjectCommand) p->OnObjectCommand(Command, cancel);
        return !cancel;
    };
    switch (Command) {
    case cmClose:
        leave();
        // Closing may free the form and this object: post it.
        if (ask()) PostMessage(p->Form()->Handle(), WM_CLOSE, 0, 0);
        break;
    case cmMaximize:
        leave();
        if (ask()) p->SetWindowState(p->WindowState() == wsMaximized ? wsNormal : wsMaximized);
        break;
    case cmMinimize:
        leave();
        if (!ask()) break;
        MinimizeOrRestore(p);
        break;
    case cmRollUp:
        if (ask()) p->SetRollUpState(!p->RollUpState());
        break;
    case cmMinimizeToTray:
        leave();
        if (ask()) p->MinimizeToTray();
        break;
    case cmSysMenu:
    case cmDefault:
        break;
    }
}
