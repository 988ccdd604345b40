// The skinned form's window states (minimize, maximize, roll up, drag), the
// tracking of the mouse over its frame objects with their timers, and the
// operations on frame objects by name. Relies on SkinnedFormLayout.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <cstdlib>

#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinHint.h"

using namespace skinned_form_internal;

// ---- Window states ------------------------------------------------------------------------------

void TspSkinnedForm::SetWindowState(TWindowState Value) {
    if (Value == FWindowState) return;
    bool mainForm = Application && Application->MainForm() == FForm;
    TWindowState old = FWindowState;
    if (!(Value == wsMinimized && (mainForm || MinimizeDefault))) FWindowState = Value;
    switch (Value) {
    case wsNormal:
        if (old == wsMaximized && FRollUpState && !FRollUpBeforeMaximize) SetRollUpState(false);
        FRollUpBeforeMaximize = false;
        DoNormal();
        break;
    case wsMinimized:
        DoMinimize();
        break;
    case wsMaximized:
        FRollUpBeforeMaximize = FRollUpState;
        DoMaximize();
        break;
    }
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
}

void TspSkinnedForm::DoMinimize() {
    bool mainForm = Application && Application->MainForm() == FForm;
    if (mainForm || !NCMode() || MinimizeDefault) {
        if (FForm->HandleAllocated()) ShowWindow(FForm->Handle(), SW_MINIMIZE);
    } else {
        if (OldBoundsRect.IsEmpty()) OldBoundsRect = FForm->BoundsRect();
        TPoint p;
        GetMinimizedPosition(p);
        FForm->SetBounds(p.X, p.Y, GetMinWidth(), GetMinHeight());
        if (IsMDIChild())
            if (TForm* main = Application ? Application->MainForm() : nullptr;
                main && main->HandleAllocated())
                SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
    }
    if (OnMinimize) OnMinimize(this);
}

void TspSkinnedForm::GetMinimizedPosition(TPoint& P) {
    int W = GetMinWidth(), H = GetMinHeight();
    if (IsMDIChild()) {
        TspSkinnedForm* main = MainSkinForm();
        TRect a = main ? main->GetMDIAreaRect() : TRect();
        TForm* mainForm = Application->MainForm();
        auto taken = [&](int x, int y) {
            for (int i = 0; i < mainForm->MDIChildCount(); ++i) {
                TForm* f = mainForm->MDIChildren(i);
                TspSkinnedForm* sf = f ? GetSkinnedForm(f) : nullptr;
                if (f && f != FForm && f->Visible() && sf && sf->WindowState() == wsMinimized &&
                    f->Left() == x && f->Top() == y)
                    return true;
            }
            return false;
        };
        int X = 0, Y = a.Height() - H;
        while (mainForm && taken(X, Y)) {
            X += W;
            if (X + W > a.Width()) {
                X = 0;
                Y -= H;
            }
            if (Y < 0) {
                Y = a.Height() - H;
                break;
            }
        }
        P = TPoint(X, Y);
        return;
    }
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? FForm->Handle() : 0, true, area);
    auto taken = [&](int x, int y) {
        if (!Screen) return false;
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TForm* f = Screen->Forms(i);
            if (f == FForm || !f->Visible() || (Application && f == Application->MainForm()))
                continue;
            for (int k = 0; k < f->ComponentCount(); ++k)
                if (auto* sf = dynamic_cast<TspSkinnedForm*>(f->Components(k)))
                    if (sf->WindowState() == wsMinimized && f->Left() == x && f->Top() == y)
                        return true;
        }
        return false;
    };
    int X = area.Left, Y = area.Bottom - H;
    while (taken(X, Y)) {
        X += W;
        if (X + W > area.Right) {
            X = area.Left;
            Y -= H;
        }
        if (Y < area.Top) {
            Y = area.Bottom - H;
            break;
        }
    }
    P = TPoint(X, Y);
}

void TspSkinnedForm::DoMaximize() {
    if (OldBoundsRect.IsEmpty()) OldBoundsRect = FForm->BoundsRect();
    if (IsMDIChild()) {
        FMouseTimer->SetEnabled(false);
        TestActiveObject(-1, -1, false);
        TspSkinnedForm* main = MainSkinForm();
        TRect a = main ? main->GetMDIAreaRect() : FForm->BoundsRect();
        bool same = a.Width() == FForm->Width() && a.Height() == FForm->Height();
        FForm->SetBounds(0, 0, a.Width(), a.Height());
        if (same) RefreshBounds();
        if (TForm* m = Application->MainForm(); m && m->HandleAllocated())
            SendMessage(m->Handle(), WM_SKIN_MDICHILDMAXIMIZED, 0, 0);
        if (OnMaximize) OnMaximize(this);
        return;
    }
    TRect target, monitor;
    HWND h = FForm->HandleAllocated() ? FForm->Handle() : 0;
    GetMonitorArea(h, !MaximizeOnFullScreen, target);
    GetMonitorArea(h, false, monitor);
    TRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!MaximizeOnFullScreen && target == monitor && monitor == screen)
        target = TRect(target.Left + 1, target.Top + 1, target.Right - 1, target.Bottom - 1);
    FForm->SetBounds(target.Left, target.Top, target.Width(), target.Height());
    if (FStatusBar && FStatusBar->SizeGrip()) FStatusBar->SetShowGrip(false);
    if (OnMaximize) OnMaximize(this);
}

void TspSkinnedForm::DoNormal() {
    MaxRollUpState = false;
    TRect r = OldBoundsRect;
    if (!r.IsEmpty()) {
        if (NCMode() && FStartShow) {
            FStartShow = false;
            TPoint p = GetPositionInMonitor(r.Left, r.Top, r.Width(), r.Height());
            r = Bounds(p.X, p.Y, r.Width(), r.Height());
        }
        bool same = r.Width() == FForm->Width() && r.Height() == FForm->Height();
        FForm->SetBounds(r.Left, r.Top, r.Width(), r.Height());
        if (same && NCMode()) RefreshBounds();
    }
    FMouseTimer->SetEnabled(true);
    if (FForm->HandleAllocated()) FForm->Invalidate();
    if (IsMDIChild())
        if (TForm* main = Application ? Application->MainForm() : nullptr;
            main && main->HandleAllocated())
            SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
    OldBoundsRect = TRect();
    if (FStatusBar && FStatusBar->SizeGrip()) FStatusBar->SetShowGrip(true);
    if (OnRestore) OnRestore(this);
}

void TspSkinnedForm::SetRollUpState(bool Value) {
    if (!NCMode() && !HasSkin()) return;
    if (!(FBorderIcons & biRollUp)) return;
    if (FRollUpState && FWindowState == wsMaximized && !MaxRollUpState) return;
    if (FWindowState == wsMinimized) return;
    if (FWindowState == wsMaximized) MaxRollUpState = Value;
    if (OnSetRollUpState) {
        OnSetRollUpState(Value);
        FRollUpState = Value;
        return;
    }
    if (Value == FRollUpState) return;
    FRollUpState = Value;
    if (NCMode()) {
        if (Value) {
            OldHeight = FForm->Height();
            FForm->SetHeight(GetMinHeight());
        } else if (ClientHeight > 0) {
            FForm->SetHeight(FForm->Height() - FForm->ClientHeight() + ClientHeight);
        } else {
            FForm->SetHeight(OldHeight);
        }
    } else {
        // Client-area roll-up needs a roll-up picture in the skin.
        if (!FSD->FRollUpPicture || FSD->FRollUpPicture->Empty()) {
            FRollUpState = false;
            return;
        }
        if (Value) {
            OldHeight = FForm->Height();
            RollUpSkinForm();
        } else {
            RollDownSkinForm();
        }
    }
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
    if (OnChangeRollUpState) OnChangeRollUpState(this);
}

void TspSkinnedForm::RollUpSkinForm() {
    if (!HasSkin() || !FSD->FRollUpPicture || FSD->FRollUpPicture->Empty()) return;
    TBitmap* pic = FSD->FRollUpPicture.get();
    int H = pic->Height();
    bool stretch = FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X;
    int W = stretch ? FForm->Width() : pic->Width();
    int d = stretch ? W - pic->Width() : 0;
    if (stretch)
        for (auto& o : ObjectList) {
            if (!o->RollUp) continue;
            TRect r = o->SkinRect;
            if (r.Left >= FSD->RollUpRightPoint.X)
                r = Offset(r, d, 0);
            else if (r.Left > FSD->RollUpLeftPoint.X)
                ;
            else if (r.Right >= FSD->RollUpRightPoint.X)
                r.Right += d;
            o->ObjectRect = r;
        }
    TestActiveObject(-1, -1, true);
    FMouseTimer->SetEnabled(false);
    FMorphTimer->SetEnabled(false);
    if (VisibleControls.empty())
        for (int i = 0; i < FForm->ControlCount(); ++i)
            if (TControl* c = FForm->Controls(i); c->Visible()) {
                VisibleControls.push_back(c);
                c->SetVisible(false);
            }
    if (stretch)
        FForm->SetHeight(H);
    else
        FForm->SetBounds(FForm->Left(), FForm->Top(), W, H);
    SetRollUpRegion();
    FForm->Invalidate();
    FMouseTimer->SetEnabled(true);
    FMorphTimer->SetEnabled(true);
}

void TspSkinnedForm::RollDownSkinForm() {
    TestActiveObject(-1, -1, true);
    FMouseTimer->SetEnabled(false);
    FMorphTimer->SetEnabled(false);
    for (TControl* c : VisibleControls)
        c->SetVisible(true);
    VisibleControls.clear();
    if (IsStretchableSkin()) FForm->SetHeight(OldHeight);
    FitClientToSkin();
    // The frame's own shape comes back with the full picture.
    SetSkinRegion(true);
    CalcObjectRects();
    FForm->Invalidate();
    FMouseTimer->SetEnabled(true);
    FMorphTimer->SetEnabled(true);
}

void TspSkinnedForm::CaptionDblClick() {
    if (ActiveObject < 0 || ActiveObject >= int(ObjectList.size())) return;
    if (!dynamic_cast<TspSkinCaptionObject*>(ObjectList[size_t(ActiveObject)].get())) return;
    if (FRollUpState)
        SetRollUpState(false);
    else if (Sizeable)
        SetWindowState(FWindowState == wsNormal ? wsMaximized : wsNormal);
    else
        SetRollUpState(true);
}

void TspSkinnedForm::MagneticMove(int& ALeft, int& ATop, int AWidth, int AHeight) {
    const int M = MagneticSize;
    TRect A;
    GetMonitorArea(FForm->HandleAllocated() ? FForm->Handle() : 0, true, A);
    POINT c{};
    GetCursorPos(&c);
    bool nearLeft = A.Left - M < ALeft && ALeft < A.Left + M;
    bool nearTop = A.Top - M < ATop && ATop < A.Top + M;
    if (nearLeft && !HMagnetized) {
        ALeft = A.Left;
        FOnMouseDownCoord.X = c.x;
    } else if (HMagnetized) {
        if (std::abs(c.x - FOnMouseDownCoord.X) > M)
            ALeft = c.x + A.Left - FOnMouseDownCoord.X;
        else
            ALeft = A.Left;
    }
    HMagnetized = nearLeft;
    if (nearTop && !VMagnetized) {
        ATop = A.Top;
        FOnMouseDownCoord.Y = c.y;
    } else if (VMagnetized) {
        if (std::abs(c.y - FOnMouseDownCoord.Y) > M)
            ATop = c.y + A.Top - FOnMouseDownCoord.Y;
        else
            ATop = A.Top;
    }
    VMagnetized = nearTop;
    bool nearRight = A.Right - M < ALeft + AWidth && ALeft + AWidth < A.Right + M;
    bool nearBottom = A.Bottom - M < ATop + AHeight && ATop + AHeight < A.Bottom + M;
    if (nearRight && !HMagnetized2) {
        ALeft = A.Right - AWidth;
        FMagnet2Coord.X = c.x;
    } else if (HMagnetized2) {
        if (std::abs(c.x - FMagnet2Coord.X) > M)
            ALeft = c.x + A.Right - AWidth - FMagnet2Coord.X;
        else
            ALeft = A.Right - AWidth;
    }
    HMagnetized2 = nearRight;
    if (nearBottom && !VMagnetized2) {
        ATop = A.Bottom - AHeight;
        FMagnet2Coord.Y = c.y;
    } else if (VMagnetized2) {
        if (std::abs(c.y - FMagnet2Coord.Y) > M)
            ATop = c.y + A.Bottom - AHeight - FMagnet2Coord.Y;
        else
            ATop = A.Bottom - AHeight;
    }
    VMagnetized2 = nearBottom;
}

void TspSkinnedForm::BeginFormDrag(int X, int Y) {
    FIsDragging = true;
    TPoint p = FForm->ClientToScreen(TPoint(X, Y));
    FOldX = p.X;
    FOldY = p.Y;
}

// ---- Frame-object tracking ---------------------------------------------------------------------

bool TspSkinnedForm::IsObjectVisibleInState(bool ARollUp) const {
    return NCMode() ? !ARollUp : ARollUp == FRollUpState;
}

void TspSkinnedForm::ScreenToFramePoint(TPoint& P) const {
    if (IsMDIChild() && FForm->HandleAllocated()) {
        // A child's Left and Top are in its client's coordinates.
        RECT r{};
        GetWindowRect(FForm->Handle(), &r);
        P.X -= r.left;
        P.Y -= r.top;
        return;
    }
    P.X -= FForm->Left();
    P.Y -= FForm->Top();
}

void TspSkinnedForm::TestActiveObject(int X, int Y, bool AActive) {
    if (ObjectList.empty()) return;
    if (NCMode() && !GetFormActive()) return;
    if (FSizeMove || (NCMode() && FForm->BorderStyle == bsNone)) return;
    OldActiveObject = ActiveObject;
    int hit = -1;
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        auto* o = ObjectList[i].get();
        if (!IsObjectVisibleInState(o->RollUp) || !o->Enabled || !o->Visible) continue;
        if (PtIn(o->ObjectRect, TPoint(X, Y)) &&
            o->IsPointInObject(X - o->ObjectRect.Left, Y - o->ObjectRect.Top)) {
            hit = int(i);
            break;
        }
    }
    ActiveObject = AActive ? hit : -1;
    if (MouseCaptureObject != -1 && hit != MouseCaptureObject) ActiveObject = -1;
    if (ActiveObject >= int(ObjectList.size())) ActiveObject = -1;
    if (OldActiveObject >= int(ObjectList.size())) OldActiveObject = -1;
    if (ActiveObject == OldActiveObject) return;
    const bool hints = ShowObjectHint && FSkinHint;
    if (OldActiveObject != -1) {
        auto* o = ObjectList[size_t(OldActiveObject)].get();
        if (o->Enabled && o->Visible) {
            o->MouseLeave();
            if (hints && !o->Hint.empty()) FSkinHint->HideHint();
        }
    }
    if (ActiveObject != -1) {
        auto* o = ObjectList[size_t(ActiveObject)].get();
        if (o->Enabled && o->Visible) {
            o->MouseEnter();
            if (hints && !o->Hint.empty() && GetFormActive()) FSkinHint->ActivateHint2(o->Hint);
        }
    }
}

void TspSkinnedForm::ObjectsMouseMove(int X, int Y) {
    if (!NCMode() && FIsDragging) return;
    int i = MouseCaptureObject != -1 ? MouseCaptureObject : ActiveObject;
    if (i >= 0 && i < int(ObjectList.size())) ObjectList[size_t(i)]->MouseMove(X, Y);
}

void TspSkinnedForm::ObjectsMouseDown(TMouseButton Button, int X, int Y) {
    if (NCMode()) {
        TestActiveObject(X, Y, true);
        if (ActiveObject < 0 || ActiveObject >= int(ObjectList.size())) return;
        auto* o = ObjectList[size_t(ActiveObject)].get();
        if (!dynamic_cast<TspSkinCaptionObject*>(o)) SetCapture(FForm->Handle());
        MouseCaptureObject = ActiveObject;
        o->MouseDown(X, Y, Button);
    } else {
        FIsDragging = false;
        TestActiveObject(X, Y, true);
        if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size())) {
            MouseCaptureObject = ActiveObject;
            ObjectList[size_t(ActiveObject)]->MouseDown(X, Y, Button);
        } else if (Button == mbLeft && DraggAble && FWindowState != wsMaximized) {
            BeginFormDrag(X, Y);
        }
    }
}

void TspSkinnedForm::ObjectsMouseUp(TMouseButton Button, int X, int Y) {
    if (!NCMode()) EndFormDrag();
    if (MouseCaptureObject < 0 || MouseCaptureObject >= int(ObjectList.size())) return;
    auto* o = ObjectList[size_t(MouseCaptureObject)].get();
    if (NCMode() && !dynamic_cast<TspSkinCaptionObject*>(o)) ReleaseCapture();
    MouseCaptureObject = -1;
    if (NCMode() && X == -1 && Y == -1) {
        // A release in the client area after a press in the frame: the button
        // sees where the pointer is now.
        POINT c{};
        GetCursorPos(&c);
        TPoint p(c.x, c.y);
        ScreenToFramePoint(p);
        X = p.X;
        Y = p.Y;
    }
    o->MouseUp(X, Y, Button);
}

void TspSkinnedForm::ObjectsDblClick() {
    if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size()))
        ObjectList[size_t(ActiveObject)]->DblClick();
}

void TspSkinnedForm::UpdateActiveState(bool AUpdate) {
    bool A = GetFormActive();
    for (auto& o : ObjectList) {
        auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get());
        if (!c) continue;
        if (AUpdate && IsObjectVisibleInState(c->RollUp)) {
            if (!NCMode()) c->Active = A;
            if (c->EnableAnimation()) {
                c->FIncTime = 25;
                c->CurrentFrame = A ? 1 : c->InActiveAnimation ? c->FrameCount : 0;
                FAnimateTimer->SetEnabled(true);
            }
            if (!NCMode() || !c->ActiveSkinRect.IsEmpty()) c->StartRedraw();
        } else if (c->Morphing) {
            c->SetMorphKf(A ? 1 : 0);
        }
    }
    if (A) {
        if (OnActivate) OnActivate(this);
    } else if (OnDeActivate) {
        OnDeActivate(this);
    }
}

void TspSkinnedForm::ResetObjectStates() {
    for (auto& o : ObjectList) {
        if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get())) {
            a->FMouseIn = false;
            a->Active = false;
            a->FFrame = 1;
        } else if (!dynamic_cast<TspSkinCaptionObject*>(o.get())) {
            o->Active = false;
            o->FMouseIn = false;
            o->FMorphKf = 0;
        }
    }
}

void TspSkinnedForm::UpdateSkinCursor() {
    if (!HasSkin()) return;
    int cursor = 0;
    if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size()) &&
        ObjectList[size_t(ActiveObject)]->CursorIndex != -1)
        cursor = ObjectList[size_t(ActiveObject)]->CursorIndex + FSD->StartCursorIndex;
    else if (FSD->CursorIndex != -1)
        cursor = FSD->CursorIndex + FSD->StartCursorIndex;
    if (FForm->Cursor() != cursor) FForm->SetCursor(cursor);
}

void TspSkinnedForm::MorphTimerProc() {
    bool any = false;
    // A step redraws and may run application code: index, not iterate.
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (o->EnableMorphing() && o->CanMorphing()) {
            o->DoMorphing();
            any = true;
        }
    }
    if (!any) FMorphTimer->SetEnabled(false);
}

void TspSkinnedForm::AnimateTimerProc() {
    bool any = false;
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o)) {
            if (a->Active && !(a->FDown && !a->DownSkinRect.IsEmpty())) {
                a->ChangeFrame();
                any = true;
            }
        } else if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o); c && c->EnableAnimation()) {
            if (c->FIncTime < c->AnimateInterval) {
                c->FIncTime += 25;
                any = true;
            } else if (c->Active && c->CurrentFrame <= c->FrameCount) {
                ++c->CurrentFrame;
                DrawSkinObject(c);
                c->FIncTime = 25;
                any = true;
            } else if (!c->Active && c->CurrentFrame > 0) {
                --c->CurrentFrame;
                DrawSkinObject(c);
                c->FIncTime = 25;
                any = true;
            }
        }
    }
    if (!any) FAnimateTimer->SetEnabled(false);
}

void TspSkinnedForm::MouseTimerProc() {
    if (!NCMode() && !HasSkin()) return;
    if (!FForm->HandleAllocated()) return;
    POINT c{};
    GetCursorPos(&c);
    HWND under = WindowFromPoint(c);
    if (NCMode()) {
        if (under != FForm->Handle()) {
            FMouseTimer->SetEnabled(false);
            TestActiveObject(-1, -1, false);
            return;
        }
        if (FSizeMove) {
            FMouseTimer->SetEnabled(false);
            return;
        }
        TPoint p(c.x, c.y);
        ScreenToFramePoint(p);
        if (!PtIn(NewClRect, p))
            TestActiveObject(p.X, p.Y, true);
        else if (ActiveObject != -1)
            TestActiveObject(-1, -1, true);
    } else if (!FIsDragging) {
        TPoint p = FForm->ScreenToClient(TPoint(c.x, c.y));
        if (under == FForm->Handle()) {
            TestActiveObject(p.X, p.Y, true);
        } else {
            TestActiveObject(-1, -1, false);
            MouseIn = false;
            FMouseTimer->SetEnabled(false);
        }
        if (UseSkinCursors) UpdateSkinCursor();
    }
}

void TspSkinnedForm::DoObjectMouseDown(const std::string& ID, int X, int Y, TRect R,
                                       TMouseButton B) {
    if (OnMouseDownEvent) OnMouseDownEvent(ID, X, Y, R, B);
}
void TspSkinnedForm::DoObjectMouseUp(const std::string& ID, int X, int Y, TRect R, TMouseButton B) {
    if (OnMouseUpEvent) OnMouseUpEvent(ID, X, Y, R, B);
}
void TspSkinnedForm::DoObjectMouseMove(const std::string& ID, int X, int Y, TRect R) {
    if (OnMouseMoveEvent) OnMouseMoveEvent(ID, X, Y, R);
}
void TspSkinnedForm::DoObjectMouseEnter(const std::string& ID) {
    if (OnMouseEnterEvent) OnMouseEnterEvent(ID);
}
void TspSkinnedForm::DoObjectMouseLeave(const std::string& ID) {
    if (OnMouseLeaveEvent) OnMouseLeaveEvent(ID);
}
void TspSkinnedForm::DoObjectPaint(const std::string& ID, TCanvas* C, TRect R) {
    if (OnPaintEvent) OnPaintEvent(ID, C, R);
}
void TspSkinnedForm::DoSwitchChangeState(const std::string& ID, TSwitchState State) {
    if (OnSwitchChangeStateEvent) OnSwitchChangeStateEvent(ID, State);
}
void TspSkinnedForm::DoTrackBarChangeValue(const std::string& ID, int Value) {
    if (OnTrackBarChangeValueEvent) OnTrackBarChangeValueEvent(ID, Value);
}
void TspSkinnedForm::DoFrameRegulatorChangeValue(const std::string& ID, int Value) {
    if (OnFrameRegulatorChangeValueEvent) OnFrameRegulatorChangeValueEvent(ID, Value);
}

bool TspSkinnedForm::OwnsObject(const TspActiveSkinObject* O) const {
    for (auto& o : ObjectList)
        if (o.get() == O) return true;
    return false;
}

// ---- Object operations --------------------------------------------------------------------------

int TspSkinnedForm::GetIndex(const std::string& AIDName) const {
    for (size_t i = 0; i < ObjectList.size(); ++i)
        if (ObjectList[i]->IDName == AIDName) return int(i);
    return -1;
}

template <class T> T* TspSkinnedForm::ObjectAs(const std::string& AIDName) const {
    int i = GetIndex(AIDName);
    return i < 0 ? nullptr : dynamic_cast<T*>(ObjectList[size_t(i)].get());
}

void TspSkinnedForm::SetEnabled(const std::string& AIDName, bool Value) {
    if (int i = GetIndex(AIDName); i >= 0) ObjectList[size_t(i)]->Enabled = Value;
}

void TspSkinnedForm::UserObjectDraw(const std::string& AIDName) {
    auto* o = ObjectAs<TspUserObject>(AIDName);
    if (!o || !FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    HDC dc = GetDC(h);
    TCanvas c;
    c.SetHandle(dc);
    o->Draw(&c, true);
    c.SetHandle(nullptr);
    ReleaseDC(h, dc);
}

void TspSkinnedForm::AnimateStart(const std::string& AIDName) {
    if (auto* o = ObjectAs<TspSkinAnimateObject>(AIDName)) o->Start();
}

void TspSkinnedForm::AnimateStop(const std::string& AIDName) {
    if (auto* o = ObjectAs<TspSkinAnimateObject>(AIDName)) o->Stop();
}

int TspSkinnedForm::TrackBarGetValue(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinTrackBarObject>(AIDName);
    return o ? o->Value() : 0;
}

void TspSkinnedForm::TrackBarSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinTrackBarObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

void TspSkinnedForm::GaugeSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinGaugeObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

void TspSkinnedForm::FrameGaugeSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinFrameGaugeObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

int TspSkinnedForm::FrameRegulatorGetValue(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinFrameRegulatorObject>(AIDName);
    return o ? o->Value() : 0;
}

void TspSkinnedForm::FrameRegulatorSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinFrameRegulatorObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

TSwitchState TspSkinnedForm::SwitchGetState(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinSwitchObject>(AIDName);
    return o ? o->State() : swsOff;
}

void TspSkinnedForm::SwitchSetState(const std::string& AIDName, TSwitchState AState) {
    auto* o = ObjectAs<TspSkinSwitchObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimpleSetState(AState);
    else
        o->SetState(AState);
}

void TspSkinnedForm::LabelSetText(const std::string& AIDName, const std::string& ATextValue) {
    if (auto* o = ObjectAs<TspSkinLabelObject>(AIDName))
        o->SetTextValue(ATextValue, !FInChangeSkinData);
}

void TspSkinnedForm::BitLabelSetText(const std::string& AIDName, const std::string& AValue) {
    if (auto* o = ObjectAs<TspSkinBitLabelObject>(AIDName))
        o->SetTextValue(AValue, !FInChangeSkinData);
}

void TspSkinnedForm::CaptionSetText(const std::string& AIDName, const std::string& AText) {
    auto* o = ObjectAs<TspSkinCaptionObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimpleSetTextValue(AText);
    else
        o->SetTextValue(AText);
}

bool TspSkinnedForm::ButtonGetDown(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinButtonObject>(AIDName);
    return o && o->Down();
}

void TspSkinnedForm::ButtonSetDown(const std::string& AIDName, bool ADown) {
    if (auto* o = ObjectAs<TspSkinButtonObject>(AIDName)) o->SetDown(ADown);
}

void TspSkinnedForm::LinkMenu(const std::string& AIDName, TMenu* AMenu, bool APopupUp) {
    int i = GetIndex(AIDName);
    if (i < 0 || !AMenu) return;
    TspActiveSkinObject* o = ObjectList[size_t(i)].get();
    if (auto* b = dynamic_cast<TspSkinButtonObject*>(o)) {
        b->MenuItem = AMenu->Items();
        b->FPopupUp = APopupUp;
    } else if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o); a && a->ButtonStyle) {
        a->MenuItem = AMenu->Items();
        a->FPopupUp = APopupUp;
    }
}

TspSkinnedForm* GetSkinnedForm(TForm* Form) {
    if (!Form) return nullptr;
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* sf = dynamic_cast<TspSkinnedForm*>(Form->Components(i))) return sf;
    return nullptr;
}
