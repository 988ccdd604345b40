// The skinned form's geometry: hit testing, size limits, window regions, the
// frame's rectangles and objects laid out on the window, and controls linked
// to skin areas. Relies on the skin data bound in SkinnedForm.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "skin/engine/SPUtils.h"

using namespace skinned_form_internal;

// ---- Hit testing, size limits, regions ---------------------------------------------------------

bool TspSkinnedForm::CaptionObjectAt(TPoint P) const {
    for (auto& o : ObjectList)
        if (dynamic_cast<TspSkinCaptionObject*>(o.get()) && IsObjectVisibleInState(o->RollUp) &&
            PtIn(o->ObjectRect, P))
            return true;
    return false;
}

bool TspSkinnedForm::OnBorder(TPoint P) {
    int B = FSD->BorderW;
    const TPoint probes[4] = {TPoint(P.X - B, P.Y), TPoint(P.X, P.Y - B), TPoint(P.X + B, P.Y),
                              TPoint(P.X, P.Y + B)};
    bool mask = FSD->FMask && !FSD->FMask->Empty();
    if (!mask) {
        TRect w(0, 0, FFormWidth, FFormHeight);
        for (auto& q : probes)
            if (!PtIn(w, q)) return true;
        return false;
    }
    if (PtIn(NewMaskRectArea, P)) return false;
    for (auto& q : probes)
        if (!PointInSkinMask(q)) return true;
    return false;
}

LRESULT TspSkinnedForm::BorderZone(TPoint P) const {
    int x = P.X, y = P.Y;
    if (x <= NewHitTestLTPoint.X && y <= NewHitTestLTPoint.Y) return HTTOPLEFT;
    if (x >= NewHitTestRTPoint.X && y <= NewHitTestRTPoint.Y) return HTTOPRIGHT;
    if (x <= NewHitTestLBPoint.X && y >= NewHitTestLBPoint.Y) return HTBOTTOMLEFT;
    if (x >= NewHitTestRBPoint.X && y >= NewHitTestRBPoint.Y) return HTBOTTOMRIGHT;
    if (PtIn(TRect(NewHitTestLTPoint.X, 0, NewHitTestRTPoint.X, NewClRect.Top), P)) return HTTOP;
    if (PtIn(TRect(NewHitTestLBPoint.X, NewClRect.Bottom, NewHitTestRBPoint.X, FFormHeight), P))
        return HTBOTTOM;
    if (PtIn(TRect(0, NewHitTestLTPoint.Y, NewClRect.Left, NewHitTestLBPoint.Y), P)) return HTLEFT;
    if (PtIn(TRect(NewClRect.Right, NewHitTestRTPoint.Y, FFormWidth, NewHitTestRBPoint.Y), P))
        return HTRIGHT;
    return HTNOWHERE;
}

LRESULT TspSkinnedForm::HitTestSkin(TPoint P) {
    if (FRollUpState || FWindowState == wsMinimized)
        return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
    if (ActiveObject != -1 && !CaptionObjectAt(P) && !PtIn(NewClRect, P) && !FSizeMove)
        return HTOBJECT;
    if (FWindowState != wsMaximized && Sizeable) {
        if (!OnBorder(P)) {
            if (PtIn(NewClRect, P)) return HTCLIENT;
            return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
        }
        if (LRESULT z = BorderZone(P); z != HTNOWHERE) return z;
    }
    if (PtIn(NewClRect, P)) return HTCLIENT;
    return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
}

LRESULT TspSkinnedForm::HitTestClientSkin(TPoint P) {
    if (!Sizeable || FWindowState == wsMaximized || FRollUpState || ActiveObject != -1 ||
        !HasSkin())
        return HTCLIENT;
    if (!FSizeGripArea.IsEmpty() && PtIn(FSizeGripArea, P)) return HTBOTTOMRIGHT;
    if (!OnBorder(P)) return HTCLIENT;
    LRESULT z = BorderZone(P);
    return z == HTNOWHERE ? HTCLIENT : z;
}

LRESULT TspSkinnedForm::HitTestDefault(TPoint P) {
    int W = FForm->Width(), H = FForm->Height();
    if (FWindowState != wsMaximized && !FRollUpState && FWindowState != wsMinimized && Sizeable) {
        if (ActiveObject != -1) return HTOBJECT;
        bool l = P.X <= 2, r = P.X >= W - 2, t = P.Y <= 2, b = P.Y >= H - 2;
        if (l && t) return HTTOPLEFT;
        if (r && t) return HTTOPRIGHT;
        if (l && b) return HTBOTTOMLEFT;
        if (r && b) return HTBOTTOMRIGHT;
        if (l) return HTLEFT;
        if (t) return HTTOP;
        if (r) return HTRIGHT;
        if (b) return HTBOTTOM;
    }
    if (PtIn(NewDefCaptionRect, P)) return HTCAPTION;
    if (PtIn(TRect(kDefBorder, DefCaptionHeight() + kDefBorder, W - kDefBorder, H - kDefBorder), P))
        return HTCLIENT;
    return HTOBJECT;
}

bool TspSkinnedForm::PointInSkinMask(TPoint P) {
    if (PtIn(NewMaskRectArea, P)) return true;
    auto black = [](TBitmap* b, int x, int y) {
        if (!b || x < 0 || y < 0 || x >= b->Width() || y >= b->Height()) return false;
        return (ColorToRGB(b->Canvas()->Pixels(x, y)) & 0xFFFFFF) == 0;
    };
    if (P.Y <= NewMaskRectArea.Top) return black(RMTop.get(), P.X, P.Y);
    if (P.Y >= NewMaskRectArea.Bottom)
        return black(RMBottom.get(), P.X, P.Y - NewMaskRectArea.Bottom);
    if (P.X > NewMaskRectArea.Left)
        return black(RMRight.get(), P.X - NewMaskRectArea.Right, P.Y - NewMaskRectArea.Top);
    return black(RMLeft.get(), P.X, P.Y - NewMaskRectArea.Top);
}

int TspSkinnedForm::GetMinWidth() const {
    if (NCMode()) {
        if (!HasSkin()) return MinWidth > 0 ? MinWidth : 130;
        int picW = FSD->FPicture->Width();
        if (MinWidth > picW && FWindowState != wsMinimized) return MinWidth;
        if (FSD->FormMinWidth > 0)
            return FWindowState == wsMinimized ? FSD->FormMinWidth
                                               : std::max(FSD->FormMinWidth, MinWidth);
        return picW;
    }
    if (!HasSkin()) return 0;
    int picW = FSD->FPicture->Width();
    return MinWidth == 0 ? picW : std::min(MinWidth, picW);
}

int TspSkinnedForm::GetMinHeight() const {
    if (NCMode()) {
        int F = HasSkin() ? FSD->FPicture->Height() - FSD->ClRect.Height() : DefCaptionHeight() + 6;
        if (F >= MinHeight || FRollUpState || FWindowState == wsMinimized) return F;
        return MinHeight;
    }
    if (!HasSkin()) return 0;
    int picH = FSD->FPicture->Height();
    return MinHeight == 0 ? picH : std::min(MinHeight, picH);
}

int TspSkinnedForm::GetMaxWidth() const {
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? const_cast<TForm*>(FForm)->Handle() : 0,
                   !MaximizeOnFullScreen, area);
    int w = area.Width();
    return MaxWidth != 0 && MaxWidth < w ? MaxWidth : w;
}

int TspSkinnedForm::GetMaxHeight() const {
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? const_cast<TForm*>(FForm)->Handle() : 0,
                   !MaximizeOnFullScreen, area);
    int h = area.Height();
    return MaxHeight != 0 && MaxHeight < h ? MaxHeight : h;
}

void TspSkinnedForm::ReleaseRegion() {
    // The window owns a region once it is set and frees it when it is replaced.
    if (FForm->HandleAllocated() && FRgn) SetWindowRgn(FForm->Handle(), nullptr, 1);
    FRgn = nullptr;
}

void TspSkinnedForm::SetSkinRegion(bool AUpdate) {
    if (!FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    if (!FSkinnableForm || (NCMode() && FForm->BorderStyle == bsNone)) {
        ReleaseRegion();
        return;
    }
    bool mask = FSD && !FSD->Empty && FSD->FMask && !FSD->FMask->Empty();
    if (!FSD || FSD->Empty || !mask) {
        if (!FSD || FSD->Empty)
            for (TBitmap* b : {RMTop.get(), RMBottom.get(), RMLeft.get(), RMRight.get()})
                b->SetSize(0, 0);
        int w = FFormWidth > 0 ? FFormWidth : FForm->Width();
        int hh = FFormHeight > 0 ? FFormHeight : FForm->Height();

        FRgn = CreateRectRgn(0, 0, w, hh);
        SetWindowRgn(h, FRgn, 1);
        return;
    }
    HRGN rgn = nullptr;
    if (AUpdate) {
        BuildSkinMaskSides(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint,
                           FSD->MaskRectArea, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                           NewMaskRectArea, FSD->FMask.get(), RMTop.get(), RMLeft.get(),
                           RMRight.get(), RMBottom.get(), FFormWidth, FFormHeight);
        rgn = CreateRectRgn(NewMaskRectArea.Left, NewMaskRectArea.Top, NewMaskRectArea.Right,
                            NewMaskRectArea.Bottom);
        auto add = [&](TBitmap* m, int x, int y) {
            std::vector<uint8_t> data;
            if (MaskToRegionData(m, x, y, data) == 0) return;
            HRGN part = ExtCreateRegion(nullptr, DWORD(data.size()),
                                        reinterpret_cast<const RGNDATA*>(data.data()));
            if (!part) return;
            CombineRgn(rgn, rgn, part, RGN_OR);
            DeleteObject(part);
        };
        add(RMTop.get(), 0, 0);
        add(RMBottom.get(), 0, NewMaskRectArea.Bottom);
        add(RMLeft.get(), 0, NewMaskRectArea.Top);
        add(RMRight.get(), NewMaskRectArea.Right, NewMaskRectArea.Top);
    } else {
        MaskToRegion(rgn, FSD->FMask.get());
        if (!rgn) return;
    }

    FRgn = rgn;
    SetWindowRgn(h, FRgn, 1);
}

void TspSkinnedForm::SetRollUpRegion() {
    if (!FForm->HandleAllocated()) return;
    TBitmap* m = FSD ? FSD->FRollUpMask.get() : nullptr;
    if (!m || m->Empty()) {
        ReleaseRegion();
        return;
    }
    TBitmap wide;
    TBitmap* src = m;
    if (FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X && FForm->Width() > 0) {
        int l = FSD->RollUpLeftPoint.X, r = m->Width() - FSD->RollUpRightPoint.X;
        BuildHorzSkinImage(l, r, &wide, m, TRect(0, 0, m->Width(), m->Height()), FForm->Width(),
                           m->Height(), false);
        src = &wide;
    }
    HRGN rgn = nullptr;
    MaskToRegion(rgn, src);
    if (!rgn) return;
    FRgn = rgn;
    SetWindowRgn(FForm->Handle(), FRgn, 1);
}

bool TspSkinnedForm::CanPaintNCSkin() const {
    return NCMode() && HasSkin() && !FSD->ClRect.IsEmpty();
}

// ---- Frame layout ------------------------------------------------------------------------------

void TspSkinnedForm::CalcSkinRects() {
    if (!HasSkin()) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    int dx = FFormWidth - picW, dy = FFormHeight - picH;
    NewLTPoint = FSD->LTPoint;
    NewRTPoint = TPoint(FSD->RTPoint.X + dx, FSD->RTPoint.Y);
    NewLBPoint = TPoint(FSD->LBPoint.X, FSD->LBPoint.Y + dy);
    NewRBPoint = TPoint(FSD->RBPoint.X + dx, FSD->RBPoint.Y + dy);
    NewClRect = FSD->ClRect;
    NewClRect.Right += dx;
    NewClRect.Bottom += dy;
    NewCaptionRect = FSD->CaptionRect;
    if (!NewCaptionRect.IsEmpty()) NewCaptionRect.Right += dx;
    NewButtonsRect = FSD->ButtonsRect;
    NewButtonsInLeft = FSD->CapButtonsInLeft;
    if (!FSD->ButtonsRect.IsEmpty() && FSD->ButtonsRect.Left > picW / 2)
        NewButtonsRect = Offset(NewButtonsRect, dx, 0);
    NewButtonsOffset = FSD->ButtonsOffset;
    NewHitTestLTPoint = FSD->HitTestLTPoint;
    NewHitTestRTPoint = TPoint(FSD->HitTestRTPoint.X + dx, FSD->HitTestRTPoint.Y);
    NewHitTestLBPoint = TPoint(FSD->HitTestLBPoint.X, FSD->HitTestLBPoint.Y + dy);
    NewHitTestRBPoint = TPoint(FSD->HitTestRBPoint.X + dx, FSD->HitTestRBPoint.Y + dy);
    NewMaskRectArea = FSD->MaskRectArea;
    NewMaskRectArea.Right += dx;
    NewMaskRectArea.Bottom += dy;
    NewIconRect = MapSkinRect(FSD->IconRect);
    NewMainMenuRect = FSD->MainMenuRect;
    if (IsStretchableSkin()) {
        NewMainMenuRect.Right += dx;
        if (PtIn(TRect(0, FSD->LBPoint.Y, FSD->LBPoint.X, picH), FSD->MainMenuRect.TopLeft()))
            NewMainMenuRect = Offset(NewMainMenuRect, 0, dy);
    }
}

bool TspSkinnedForm::IsStretchableSkin() const {
    return HasSkin() && FSD->RBPoint.X != FSD->LTPoint.X && FSD->RBPoint.Y != FSD->LTPoint.Y;
}

TRect TspSkinnedForm::MapSkinRect(TRect R) const {
    if (!HasSkin()) return R;
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    TRect LT(0, 0, FSD->LTPoint.X, FSD->LTPoint.Y);
    TRect LB(0, FSD->LBPoint.Y, FSD->LBPoint.X, picH);
    TRect RT(FSD->RTPoint.X, 0, picW, FSD->RTPoint.Y);
    TRect RB(FSD->RBPoint.X, FSD->RBPoint.Y, picW, picH);
    int dx = NewRBPoint.X - FSD->RBPoint.X, dy = NewRBPoint.Y - FSD->RBPoint.Y;
    if (LT.IsEmpty() && LB.IsEmpty() && RT.IsEmpty() && RB.IsEmpty()) return R;
    auto inside = [](const TRect& A, const TRect& B) {
        return PtIn(B, A.TopLeft()) && PtIn(B, A.BottomRight());
    };
    if (inside(R, LT)) return R;
    if (inside(R, RT)) return Offset(R, dx, 0);
    if (inside(R, LB)) return Offset(R, 0, dy);
    if (inside(R, RB)) return Offset(R, dx, dy);
    TPoint tl = R.TopLeft(), br = R.BottomRight();
    if (PtIn(LT, tl) && PtIn(RB, br)) return TRect(R.Left, R.Top, R.Right + dx, R.Bottom + dy);
    if (PtIn(LT, tl) && PtIn(RT, br)) return TRect(R.Left, R.Top, R.Right + dx, R.Bottom);
    if (PtIn(LB, tl) && PtIn(RB, br)) return TRect(R.Left, R.Top + dy, R.Right + dx, R.Bottom + dy);
    if (PtIn(LT, tl) && PtIn(LB, br)) return TRect(R.Left, R.Top, R.Right, R.Bottom + dy);
    if (PtIn(RT, tl) && PtIn(RB, br)) return TRect(R.Left + dx, R.Top, R.Right + dx, R.Bottom + dy);
    return R;
}

void TspSkinnedForm::CalcObjectRects() {
    for (auto& o : ObjectList)
        if (!dynamic_cast<TspSkinMainMenuItem*>(o.get())) o->ObjectRect = MapSkinRect(o->SkinRect);
    // Main-menu items line up in the menu rect, each after the one before.
    for (auto* i : MainMenuItems())
        i->Layout();
    FSizeGripArea =
        HasSkin() && !FSD->SizeGripArea.IsEmpty() ? MapSkinRect(FSD->SizeGripArea) : TRect();
    if (!NCMode()) return;
    TRect ref;
    bool fromCaption = false;
    if (!NewButtonsRect.IsEmpty())
        ref = NewButtonsRect;
    else if (!NewCaptionRect.IsEmpty()) {
        ref = NewCaptionRect;
        fromCaption = true;
    } else
        return;
    auto placeable = [&](TStdCommand C) -> TspSkinStdButtonObject* {
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
                if (b->Visible && b->SkinRectInAPicture && b->Command == C) return b;
        return nullptr;
    };
    TspSkinCaptionObject* caption = nullptr;
    for (auto& o : ObjectList)
        if ((caption = dynamic_cast<TspSkinCaptionObject*>(o.get()))) break;
    int Y = ref.Top;
    const TStdCommand order[5] = {cmClose, cmMaximize, cmMinimize, cmRollUp, cmMinimizeToTray};
    std::vector<TspSkinStdButtonObject*> run;
    for (TStdCommand c : order)
        if (auto* b = placeable(c)) run.push_back(b);
    for (auto& o : ObjectList)
        if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
            if (b->Visible && b->SkinRectInAPicture && b->Command == cmDefault) run.push_back(b);
    TspSkinStdButtonObject* sys = placeable(cmSysMenu);
    auto sizeOf = [&](TspSkinStdButtonObject* b) {
        if (b->Command == cmSysMenu && FShowIcon)
            return TPoint(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
        return TPoint(b->SkinRect.Width(), b->SkinRect.Height());
    };
    if (!NewButtonsInLeft) {
        int X = ref.Right;
        for (auto* b : run) {
            TPoint s = sizeOf(b);
            b->ObjectRect = TRect(X - s.X, Y, X, Y + s.Y);
            X -= s.X + NewButtonsOffset;
        }
        if (fromCaption && caption) caption->ObjectRect.Right = X + NewButtonsOffset;
        X = NewCaptionRect.Left;
        if (sys) {
            TPoint s = sizeOf(sys);
            int top = NewCaptionRect.Top + NewCaptionRect.Height() / 2 - s.Y / 2;
            sys->ObjectRect = TRect(X, top, X + s.X, top + s.Y);
            if (caption) caption->ObjectRect.Left = X + s.X;
        }
    } else {
        int X = ref.Left;
        if (fromCaption && sys) run.push_back(sys);
        for (auto* b : run) {
            TPoint s = sizeOf(b);
            b->ObjectRect = TRect(X, Y, X + s.X, Y + s.Y);
            X += s.X + NewButtonsOffset;
        }
        if (fromCaption && caption) caption->ObjectRect.Left = X + NewButtonsOffset;
    }
}

void TspSkinnedForm::CalcDefRects() {
    if (ObjectList.empty()) return;
    int X = FFormWidth - kDefBorder;
    bool tool = FForm->BorderStyle == bsToolWindow || FForm->BorderStyle == bsSizeToolWin;
    NewDefCaptionRect = TRect(kDefBorder, kDefBorder, X, DefCaptionHeight());
    int S = tool ? 13 : 17;
    auto find = [&](TStdCommand C) -> TspSkinStdButtonObject* {
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
                if (b->Visible && b->SkinRectInAPicture && b->Command == C) return b;
        return nullptr;
    };
    for (TStdCommand c : {cmClose, cmMaximize, cmMinimize, cmRollUp, cmMinimizeToTray})
        if (auto* b = find(c)) {
            b->ObjectRect = TRect(X - S, 4, X, 4 + S);
            X -= S;
        }
    NewDefCaptionRect.Right = X;
    X = NewDefCaptionRect.Left;
    if (auto* b = find(cmSysMenu)) {
        int w = FShowIcon ? GetSystemMetrics(SM_CXSMICON) : S;
        int h = FShowIcon ? GetSystemMetrics(SM_CYSMICON) : S;
        b->ObjectRect = TRect(X, 4, X + w, 4 + h);
        NewDefCaptionRect.Left = X + w;
    }
}

void TspSkinnedForm::UpdateFrameLayout(bool AUpdateObjects) {
    if (HasState(csDesigning) || !HasSkin()) return;
    if (FSkinnableForm) {
        CalcSkinRects();
        if (AUpdateObjects) CalcObjectRects();
    }
    SetSkinRegion(AUpdateObjects);
    if (OnChangeClientRect) OnChangeClientRect(NewClRect);
    if (!FForm->HandleAllocated()) return;
    if (NCMode()) {
        if (!FRgn && FSkinnableForm) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        if (FSD->StretchEffect) {
            FForm->Invalidate();
            UpdateChildrenBackground();
        }
    } else {
        FForm->Invalidate();
        ArrangeLinkedControls();
    }
}

void TspSkinnedForm::RefreshBounds() {
    int w = FForm->Width();
    if (w - 1 < GetMinWidth()) {
        FForm->SetWidth(w + 1);
        FForm->SetWidth(w);
    } else {
        FForm->SetWidth(w - 1);
        FForm->SetWidth(w);
    }
}

void TspSkinnedForm::LinkControlToArea(const std::string& AreaName, TControl* Control) {
    if (!Control || !HasSkin()) return;
    int i = FSD->GetAreaIndex(AreaName);
    if (i < 0) return;
    TRect r = FSD->AreaList[size_t(i)]->AreaRect;
    if (r.IsEmpty()) return;
    Control->SetAlign(alNone);
    Control->FreeNotification(this);
    AreaList.push_back(TspAreaLink{Control, r});
}

void TspSkinnedForm::UnLinkControlFromArea(TControl* Control) {
    for (auto it = AreaList.begin(); it != AreaList.end(); ++it)
        if (it->Control == Control) {
            AreaList.erase(it);
            return;
        }
}

TRect TspSkinnedForm::GetAreaRect(const std::string& AIDName) const {
    if (!HasSkin()) return TRect();
    TRect r;
    for (auto& a : FSD->AreaList)
        if (a->IDName == AIDName) r = a->AreaRect;
    return r;
}

void TspSkinnedForm::LinkControlsToAreas() {
    for (int i = 0; i < FForm->ControlCount(); ++i) {
        TControl* c = FForm->Controls(i);
        std::string area;
        if (auto* s = dynamic_cast<TspSkinControl*>(c))
            area = s->AreaName();
        else if (auto* g = dynamic_cast<TspGraphicSkinControl*>(c))
            area = g->AreaName();
        if (!area.empty()) LinkControlToArea(area, c);
    }
}

void TspSkinnedForm::ArrangeLinkedControls() {
    for (auto& l : AreaList) {
        TRect r = IsStretchableSkin() ? MapSkinRect(l.AreaRect) : l.AreaRect;
        l.Control->SetBounds(r.Left, r.Top, r.Width(), r.Height());
        if (auto* w = dynamic_cast<TWinControl*>(l.Control)) w->Realign();
    }
}

void TspSkinnedForm::UpdateChildrenBackground() {
    for (int i = 0; i < FForm->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(FForm->Controls(i)); w && w->HandleAllocated())
            SendMessage(w->Handle(), WM_SKIN_CHECKPARENTBG, 0, 0);
}

void TspSkinnedForm::FitClientToSkin() {
    if (!HasSkin()) return;
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    int cw = FForm->ClientWidth(), ch = FForm->ClientHeight();
    auto setClient = [&](int w, int h) {
        FForm->SetBounds(FForm->Left(), FForm->Top(), FForm->Width() - cw + w,
                         FForm->Height() - ch + h);
    };
    if (IsStretchableSkin()) {
        if (MinWidth && MinHeight) return;
        setClient(std::max(cw, picW), std::max(ch, picH));
    } else {
        if (cw != picW || ch != picH) setClient(picW, picH);
        Sizeable = false;
    }
}
