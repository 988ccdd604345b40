// The skinned form's hook of its window: the window procedure before and after
// the form's own, non-client sizing and activation, the show transition.
// Relies on the painting, hit testing, states and tracking of the other files.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>
#include <chrono>

#include "platform/win/layered.h"
#include "platform/win/messages.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinMenus.h"

using namespace skinned_form_internal;

namespace {

constexpr UINT WM_NCRBUTTONUP_ = 0x00A5;
constexpr UINT WM_NCRBUTTONDBLCLK_ = 0x00A6;
constexpr UINT WM_DISPLAYCHANGE_ = 0x007E;

int16_t LowSigned(LPARAM l) {
    return int16_t(LOWORD(uintptr_t(l)));
}
int16_t HighSigned(LPARAM l) {
    return int16_t(HIWORD(uintptr_t(l)));
}

} // namespace

void TspSkinnedForm::CallOld(TMessage& Message) {
    if (OldWindowProc) OldWindowProc(Message);
}

void TspSkinnedForm::CheckMenuCloseMessage(UINT Msg) {
    if (!IsMenuCloseMessage(Msg)) return;
    if (ShowObjectHint && FSkinHint) FSkinHint->HideHint();
    if (InMainMenu && !InMenu) {
        ExitMainMenu(); // keyboard menu mode without an open menu
    } else if (FSkinMenu && FSkinMenu->FVisible) {
        FSkinMenu->Hide();
    } else if (InMenu) {
        SkinMenuClose();
    } else if (IsMDIForm() && FForm->Visible()) {
        // A menu of the active child closes with its main form too.
        if (TspSkinnedForm* child = GetActiveMDIChildSkinForm(); child && child != this)
            child->CheckMenuCloseMessage(Msg);
    }
    CancelChildDropDowns();
}

void TspSkinnedForm::CancelChildDropDowns() {
    if (!IsMDIForm() || !FForm->Visible() || FForm->ComponentState() != 0) return;
    for (int i = 0; i < FForm->ComponentCount(); ++i) {
        auto* c = dynamic_cast<TWinControl*>(FForm->Components(i));
        if (!c || !c->Visible() || !c->Enabled()) continue;
        if (dynamic_cast<TspSkinCustomComboBox*>(c) || dynamic_cast<TspSkinCustomEdit*>(c))
            // The form is the sender: a drop-down keeps itself open only for
            // presses on its own parts.
            c->Perform(CM_CANCELMODE, 0, LPARAM(static_cast<TControl*>(FForm)));
    }
}

bool TspSkinnedForm::IsLayeredStartNeeded() const {
    return IsWindowsVistaOrLater() && LayerBorderUsed() && !FAlphaBlend && !AlphaBlendAnimation &&
           !(FSD && FSD->AnimationForAllWindows());
}

void TspSkinnedForm::FormWndProc(TMessage& Message) {
    CheckMenuCloseMessage(Message.Msg);
    LayerBorderFollow(Message);
    const bool skinnable = FSkinnableForm;
    HWND h = FForm->Handle();
    switch (Message.Msg) {
    case WM_DESTROY:
        FMouseTimer->SetEnabled(false);
        FMorphTimer->SetEnabled(false);
        FAnimateTimer->SetEnabled(false);
        if (IsMDIChild()) {
            FWindowState = wsNormal;
            // A child freed while shown must not leave its tab or item behind.
            DeleteChildFromMenu(FForm);
            DeleteChildFromBar(FForm);
            if (TForm* main = Application ? Application->MainForm() : nullptr;
                main && main->HandleAllocated())
                SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
            RefreshMainMDIViews();
        }
        break;
    case WM_SIZE:
        if (FSizeMove && FFullDrag) {
            if (NCMode() && !FLogoBitMap->Empty()) FForm->Invalidate();
            break;
        }
        CallOld(Message);
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
        HMagnetized = VMagnetized = HMagnetized2 = VMagnetized2 = false;
        if (HasSkin() && NCMode() && skinnable && FFormWidth >= GetMinWidth() &&
            FFormHeight >= GetMinHeight())
            UpdateFrameLayout(true);
        else if (HasSkin() && !NCMode() && !FRollUpState &&
                 (IsStretchableSkin() || (FForm->ClientWidth() == FSD->FPicture->Width() &&
                                          FForm->ClientHeight() == FSD->FPicture->Height())))
            UpdateFrameLayout(IsStretchableSkin());
        else if (!HasSkin() && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            SetSkinRegion(true);
        }
        if (FAlphaBlend && FAlphaBlendValue != 255 && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            FForm->Invalidate();
        }
        if (NCMode() && !FLogoBitMap->Empty()) FForm->Invalidate();
        return;
    case WM_ACTIVATE:
        if (!skinnable) break;
        FIsDragging = false;
        CallOld(Message);
        if (NCMode()) {
            TestActiveObject(-1, -1, false);
            ResetObjectStates();
            SendMessage(h, WM_NCPAINT, 0, 0);
        }
        UpdateActiveState(true);
        return;
    case WM_SETTEXT:
        if (!skinnable) break;
        CallOld(Message);
        if (Framed()) {
            if ((HasSkin() && NCMode()) || !HasSkin()) {
                for (auto& o : ObjectList)
                    if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()))
                        if (c->DefaultCaption) c->SimpleSetTextValue(FForm->Caption());
                SendMessage(h, WM_NCPAINT, 0, 0);
            } else {
                UpdateDefaultCaptionText();
            }
        }
        if (IsMDIChild()) {
            UpDateChildCaptionInMenu(FForm);
            RefreshMDIBarTab(FForm);
        }
        return;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (IsMDIForm() && !FClientInActiveDraw) {
            // The client window paints the MDI background.
            Message.Result = 1;
            return;
        }
        if (NCMode() && HasSkin()) {
            if (FSD->BGPictureIndex == -1)
                PaintBG(dc);
            else
                PaintBG2(dc);
        } else if (NCMode()) {
            PaintBGDefault(dc);
        } else {
            Paint(dc);
        }
        Message.Result = 1;
        return;
    }
    case WM_SHOWWINDOW:
        if (Message.WParam) {
            HandleShowWindow(Message);
            if (IsMDIForm()) HookMDIClient();
            if (IsMDIChild()) {
                AddChildToMenu(FForm);
                AddChildToBar(FForm);
            }
        } else {
            if (FLayerManager->IsVisible) FLayerManager->Hide();
            if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
            if (IsMDIChild()) {
                DeleteChildFromMenu(FForm);
                DeleteChildFromBar(FForm);
            }
        }
        break;
    case WM_SETCURSOR:
        if (NCMode() && UseFormCursorInNCArea && skinnable) {
            int hit = int16_t(LOWORD(uintptr_t(Message.LParam)));
            if (!(hit == HTCLIENT || (hit >= HTLEFT && hit <= HTBOTTOMRIGHT))) hit = HTCLIENT;
            Message.LParam = MAKELPARAM(hit, HIWORD(uintptr_t(Message.LParam)));
        }
        break;
    case WM_MOUSEACTIVATE:
        // A click into an MDI child that is already the active one wakes its frame.
        if (skinnable && IsMDIChild() && !FFormActive) {
            TForm* main = Application ? Application->MainForm() : nullptr;
            if (main && main->ActiveMDIChild() == FForm) {
                FFormActive = true;
                UpdateActiveState(FWindowState != wsMaximized);
            }
        }
        break;
    case WM_SKIN_LAYERSHOWDONE:
        if (FForm->Tag == -10000) {
            if (LayerBorderUsed()) {
                if (TForm* main = Application ? Application->MainForm() : nullptr;
                    main && main->HandleAllocated())
                    SetForegroundWindow(main->Handle());
                if (HWND top = GetTopMostFormHandle()) SetForegroundWindow(top);
            }
            FForm->Tag = 0;
        }
        break;
    case WM_GETMINMAXINFO:
        if (skinnable) {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(Message.LParam);
            CallOld(Message);
            mmi->ptMinTrackSize = POINT{GetMinWidth(), GetMinHeight()};
            mmi->ptMaxTrackSize = POINT{GetMaxWidth(), GetMaxHeight()};
            return;
        }
        break;
    case WM_DISPLAYCHANGE_:
        if (NCMode() && Framed() &&
            (FForm->Width() > GetMaxWidth() || FForm->Height() > GetMaxHeight()))
            RefreshBounds();
        break;
    case WM_NCCALCSIZE:
        if (!skinnable) break;
        HandleNCCalcSize(Message);
        return;
    case WM_NCHITTEST:
        if (!skinnable) break;
        {
            TPoint p(LowSigned(Message.LParam), HighSigned(Message.LParam));
            if (!NCMode()) {
                if (!HasSkin()) break;
                p = FForm->ScreenToClient(p);
                if (!MouseIn) {
                    MouseIn = true;
                    TestActiveObject(p.X, p.Y, true);
                    FMouseTimer->SetEnabled(true);
                }
                Message.Result = HitTestClientSkin(p);
                return;
            }
            ScreenToFramePoint(p);
            Message.Result = HasSkin() ? HitTestSkin(p) : HitTestDefault(p);
            if (!FMouseTimer->Enabled() && Message.Result == HTOBJECT) {
                TestActiveObject(p.X, p.Y, true);
                FMouseTimer->SetEnabled(true);
            }
        }
        return;
    case WM_NCPAINT:
        if (!skinnable) break;
        if (Framed() && NCMode()) {
            if (HasSkin())
                PaintNCSkin(0, false);
            else
                PaintNCDefault(0, false);
        }
        return;
    case WM_NCACTIVATE:
        if (!skinnable) break;
        HandleNCActivate(Message);
        return;
    case WM_SYNCPAINT:
        if (skinnable && FRollUpState && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            Message.Result = 0;
            return;
        }
        break;
    case WM_SYSCOMMAND:
        if ((Message.WParam & 0xFFF0) == SC_RESTORE) {
            if (OnRestore) OnRestore(this);
        } else if ((Message.WParam & 0xFFF0) == SC_KEYMENU) {
            // Keyboard menu mode belongs to the skinned menu engine.
            KeyMenu(int(Message.LParam));
            return;
        }
        break;
    case WM_TIMER:
        if (Message.WParam == kShowTimerId) {
            HandleTimer1();
            return;
        }
        break;
    case WM_SIZING:
        if (FSizeMove && FFullDrag) {
            FSizing = true;
            HMagnetized = VMagnetized = HMagnetized2 = VMagnetized2 = false;
            CallOld(Message);
            auto* r = reinterpret_cast<RECT*>(Message.LParam);
            int w = r->right - r->left, hh = r->bottom - r->top;
            bool changed = w != FFormWidth || hh != FFormHeight;
            FFormWidth = w;
            FFormHeight = hh;
            if (!FSD || (FSD->Empty && NCMode() && skinnable))
                SetSkinRegion(true);
            else if (NCMode() && skinnable && changed && w >= GetMinWidth() && hh >= GetMinHeight())
                UpdateFrameLayout(true);
            return;
        }
        break;
    case WM_MOVING:
        if (!skinnable) break;
        {
            auto* r = reinterpret_cast<RECT*>(Message.LParam);
            if (FWindowState == wsMaximized) {
                *r = RECT{FForm->Left(), FForm->Top(), FForm->Left() + FForm->Width(),
                          FForm->Top() + FForm->Height()};
            } else if (Magnetic) {
                int l = r->left, t = r->top;
                MagneticMove(l, t, FForm->Width(), FForm->Height());
                *r = RECT{l, t, l + FForm->Width(), t + FForm->Height()};
            }
        }
        break;
    case WM_ENTERSIZEMOVE: {
        POINT c{};
        GetCursorPos(&c);
        FOnMouseDownCoord = TPoint(c.x, c.y);
        if (NCMode() && skinnable) {
            ResetObjectStates();
            FMouseTimer->SetEnabled(false);
            ActiveObject = MouseCaptureObject = -1;
            FSizeMove = true;
            // Our move and size loops always move the whole window.
            FFullDrag = true;
        }
        break;
    }
    case WM_EXITSIZEMOVE:
        if (NCMode() && skinnable) {
            FMouseTimer->SetEnabled(false);
            ActiveObject = OldActiveObject = MouseCaptureObject = -1;
            FSizeMove = FSizing = false;
            if (HasSkin()) SendMessage(h, WM_NCPAINT, 0, 0);
        }
        break;
    case WM_SKIN_BEGINCHANGE:
        if (reinterpret_cast<TspSkinData*>(Message.WParam) == FSD && FSD) {
            FStopPainting = true;
            FSkinSupport = false;
            FMouseTimer->SetEnabled(false);
            FMorphTimer->SetEnabled(false);
            FAnimateTimer->SetEnabled(false);
            ClearObjects();
            DoBeforeChangeSkinData(FSD, FForm);
        }
        break;
    case WM_SKIN_APPLYCHANGE: {
        FStopPainting = false;
        auto* sd = reinterpret_cast<TspSkinData*>(Message.WParam);
        if (sd == FSD && FSD) ApplySkinData();
        DoChangeSkinData(sd, FForm);
        break;
    }
    case WM_SKIN_CLOSEMENU:
        SkinMenuClose();
        break;
    case WM_SKIN_ENDCHANGE:
        if (IsMDIForm() && FSD && reinterpret_cast<TspSkinData*>(Message.WParam) == FSD)
            SendMDIClientResized();
        // Every control has its new look now: the whole window paints again,
        // children after their parents.
        if (FForm->HandleAllocated() && IsWindowVisible(h))
            RedrawWindow(h, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        break;
    case WM_SKIN_MDICLIENTRESIZED:
        if (IsMDIChild() && FWindowState == wsMaximized) {
            if (TspSkinnedForm* main = MainSkinForm()) {
                TRect a = main->GetMDIAreaRect();
                FForm->SetBounds(0, 0, a.Width(), a.Height());
            }
        }
        return;
    case WM_SKIN_MDICHILDMAXIMIZED:
        if (IsMDIForm()) {
            FMDIChildMaximized = true;
            SendMessage(h, WM_NCPAINT, 0, 0);
            if (FMainMenuBar) FMainMenuBar->MDIChildMaximize();
        }
        return;
    case WM_SKIN_MDICHILDRESTORED:
        if (IsMDIForm()) {
            FMDIChildMaximized = GetMaximizedMDIChild() != nullptr;
            SendMessage(h, WM_NCPAINT, 0, 0);
            if (FMainMenuBar) FMainMenuBar->MDIChildRestore();
        }
        return;
    case WM_SKIN_RESSTRCHANGED:
        UpdateObjectHints();
        break;
    case WM_SKIN_FORMSKINNABLECHANGED:
        if (!FUseRibbon && FSD && reinterpret_cast<TspSkinData*>(Message.WParam) == FSD)
            SetSkinnableForm(FSD->SkinnableForm());
        break;
    case WM_SKIN_GETSKINSTATE:
        Message.Result = 12853;
        if (!skinnable && IsWindowsVistaOrLater()) Message.Result = 12852;
        return;
    case WM_SKIN_PAINTNCTODC:
        if (!skinnable) break;
        if (Message.WParam && NCMode() && Framed()) {
            if (HasSkin())
                PaintNCSkin(reinterpret_cast<HDC>(Message.WParam), true);
            else if (!FStopPainting)
                PaintNCDefault(reinterpret_cast<HDC>(Message.WParam), true);
        }
        Message.Result = 12851;
        return;
    case WM_SKIN_PRINTNC:
        if (!skinnable || Message.LParam != kPrintNCMark) break;
        if (Message.WParam && NCMode() && Framed()) {
            if (HasSkin())
                PaintNCSkin(reinterpret_cast<HDC>(Message.WParam), true);
            else if (!FStopPainting)
                PaintNCDefault(reinterpret_cast<HDC>(Message.WParam), true);
        }
        Message.Result = kPrintNCMark;
        return;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam);
        if (wp && !FSizing) {
            FFormWidth = wp->cx;
            FFormHeight = wp->cy;
        }
        break;
    }
    default:
        break;
    }
    std::weak_ptr<bool> alive = FAlive;
    CallOld(Message);
    if (alive.expired() || !*alive.lock()) return;
    AfterOld(Message);
}

void TspSkinnedForm::HandleNCCalcSize(TMessage& Message) {
    auto* r = reinterpret_cast<RECT*>(Message.LParam);
    if (!r) return;
    if (NCMode() && Framed()) {
        if (CanPaintNCSkin()) {
            CalcSkinRects();
            const TRect& cl = FSD->ClRect;
            r->left += cl.Left;
            r->top += cl.Top;
            r->right += cl.Right - FSD->FPicture->Width();
            r->bottom += cl.Bottom - FSD->FPicture->Height();
        } else {
            r->left += kDefBorder;
            r->top += DefCaptionHeight() + kDefBorder;
            r->right -= kDefBorder;
            r->bottom -= kDefBorder;
        }
        r->right = std::max(r->right, r->left);
        r->bottom = std::max(r->bottom, r->top);
    }
    Message.Result = 0;
}

void TspSkinnedForm::HandleNCActivate(TMessage& Message) {
    if (FLayerManager->IsVisible) FLayerManager->Hide();
    if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
    FFormActive = Message.WParam != 0;
    if (!FFormActive) TestActiveObject(-1, -1, false);
    if (IsMDIChild()) CallOld(Message);
    Message.Result = 1;
    if (!Framed()) {
        UpdateActiveState(false);
    } else {
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        UpdateActiveState(true);
    }
    if (IsMDIChild() && FWindowState == wsMaximized)
        if (TForm* main = Application ? Application->MainForm() : nullptr;
            main && main->HandleAllocated())
            main->Perform(WM_NCPAINT, 0, 0);
    if (FForm->Visible() && ClientInActiveEffect) {
        if (FFormActive)
            HideClientInActiveEffect();
        else
            ShowClientInActiveEffect();
    }
    if (IsMDIChild()) {
        RefreshMainMDIViews();
        UpDateChildActiveInMenu();
    }
}

void TspSkinnedForm::HandleShowWindow(TMessage&) {
    const bool skinnableShow = FSkinnableForm;
    // A form first shown maximized keeps the mark: its first restore centres it.
    if (FStartShow && PositionInMonitor == sppDefault) {
        FStartShow = false;
    } else if (FStartShow && FWindowState == wsNormal) {
        FStartShow = false;
        ApplyPositionInMonitor();
    }
    if (FSD && FSD->AnimationForAllWindows() && FAlphaBlendValue == 0) FAlphaBlendValue = 255;
    bool anim = FAlphaBlend || AlphaBlendAnimation || (FSD && FSD->AnimationForAllWindows());
    if (anim || IsLayeredStartNeeded()) {
        HWND h = FForm->Handle();
        SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, 0, 0, LWA_ALPHA);
        // The border starts as clear as its form and fades in with it.
        if (LayerBorderUsed()) FFormLayerBorder->CheckFormAlpha(0, false);
        SetTimer(h, kShowTimerId, 1, nullptr);
    }
    if (!skinnableShow) return;
    if (NCMode())
        RefreshBounds();
    else
        ArrangeLinkedControls();
}

void TspSkinnedForm::HandleTimer1() {
    HWND h = FForm->Handle();
    KillTimer(h, kShowTimerId);
    TspFormLayerBorder* border = LayerBorderUsed() ? FFormLayerBorder.get() : nullptr;
    if (border) border->SetActive(FFormActive, false);
    auto borderAlpha = [border](int Alpha) {
        if (border) border->CheckFormAlpha(Alpha, true);
    };
    if (IsLayeredStartNeeded()) {
        SetWindowLongPtr(h, GWL_EXSTYLE,
                         GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
        borderAlpha(255);
        return;
    }
    bool animated = AlphaBlendAnimation || (FSD && FSD->AnimationForAllWindows());
    int target = animated && !FAlphaBlend ? 255 : FAlphaBlendValue;
    if (animated) {
        int step = std::max(1, target / 10);
        std::weak_ptr<bool> alive = FAlive;
        // Pending messages may close the form or change its skin: look again after.
        Application->ProcessMessages();
        if (alive.expired() || !*alive.lock() || !IsWindow(h)) return;
        int alpha = 0;
        auto last = std::chrono::steady_clock::now();
        while (alpha < target) {
            auto now = std::chrono::steady_clock::now();
            if (now - last > std::chrono::milliseconds(5)) {
                alpha = std::min(alpha + step, target);
                SetLayeredWindowAttributes(h, 0, uint8_t(alpha), LWA_ALPHA);
                borderAlpha(alpha);
                last = now;
            }
        }
    } else if (target < 255) {
        SetLayeredWindowAttributes(h, 0, uint8_t(FAlphaBlendValue), LWA_ALPHA);
        borderAlpha(FAlphaBlendValue);
    }
    if (target == 255) {
        SetWindowLongPtr(h, GWL_EXSTYLE,
                         GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
        borderAlpha(255);
    }
}

void TspSkinnedForm::AfterOld(TMessage& Message) {
    const bool nc = NCMode() && FSkinnableForm;
    auto frame = [&]() {
        TPoint p(LowSigned(Message.LParam), HighSigned(Message.LParam));
        ScreenToFramePoint(p);
        return p;
    };
    switch (Message.Msg) {
    case WM_NCMOUSEMOVE:
        if (nc) {
            TPoint p = frame();
            ObjectsMouseMove(p.X, p.Y);
        }
        break;
    case WM_NCLBUTTONDOWN:
        if (!nc) break;
        if (FSizeMove) {
            FSizeMove = false;
        } else {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbLeft, p.X, p.Y);
        }
        if (Message.WParam == WPARAM(HTCAPTION)) MouseCaptureObject = -1;
        break;
    case WM_NCLBUTTONUP:
        if (nc) {
            TPoint p = frame();
            try {
                ObjectsMouseUp(mbLeft, p.X, p.Y);
            } catch (...) {
                // A frame object's failure on release must not escape the loop.
            }
        }
        break;
    case WM_NCLBUTTONDBLCLK:
        if (!nc) break;
        {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbLeft, p.X, p.Y);
            ObjectsDblClick();
            if (Message.WParam == WPARAM(HTCAPTION)) {
                MouseCaptureObject = -1;
                if (IsSizeAble() && FWindowState == wsMinimized)
                    SetWindowState(wsNormal);
                else if (IsSizeAble() && FWindowState != wsMaximized && !FRollUpState &&
                         (FBorderIcons & biMaximize))
                    SetWindowState(wsMaximized);
                else if (IsSizeAble() && FWindowState == wsMaximized && !MaxRollUpState)
                    SetWindowState(wsNormal);
                else
                    SetRollUpState(!FRollUpState);
            }
        }
        break;
    case WM_NCRBUTTONDOWN:
        if (!nc) break;
        {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbRight, p.X, p.Y);
            if (Message.WParam == WPARAM(HTCAPTION)) {
                MouseCaptureObject = -1;
                if (!DisableSystemMenu) {
                    POINT c{};
                    GetCursorPos(&c);
                    PopupSystemMenuAt(c.x, c.y);
                }
            }
        }
        break;
    case WM_NCRBUTTONUP_:
        if (nc) {
            TPoint p = frame();
            ObjectsMouseUp(mbRight, p.X, p.Y);
        }
        break;
    case WM_NCRBUTTONDBLCLK_:
        if (nc) {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbRight, p.X, p.Y);
            if (Message.WParam == WPARAM(HTCAPTION)) MouseCaptureObject = -1;
        }
        break;
    case WM_MOUSEMOVE:
        if (!NCMode()) {
            int x = LowSigned(Message.LParam), y = HighSigned(Message.LParam);
            ObjectsMouseMove(x, y);
            if (FIsDragging) {
                POINT c{};
                GetCursorPos(&c);
                if (c.x != FOldX || c.y != FOldY) {
                    int l = FForm->Left() + c.x - FOldX, t = FForm->Top() + c.y - FOldY;
                    if (Magnetic) MagneticMove(l, t, FForm->Width(), FForm->Height());
                    FForm->SetBounds(l, t, FForm->Width(), FForm->Height());
                    FOldX = c.x;
                    FOldY = c.y;
                }
            }
        }
        break;
    case WM_LBUTTONDOWN:
        if (!NCMode()) {
            POINT c{};
            GetCursorPos(&c);
            FOnMouseDownCoord = TPoint(c.x, c.y);
            ObjectsMouseDown(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        }
        break;
    case WM_LBUTTONUP:
        if (NCMode())
            ObjectsMouseUp(mbLeft, -1, -1);
        else
            ObjectsMouseUp(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_LBUTTONDBLCLK:
        ObjectsMouseDown(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        ObjectsDblClick();
        CaptionDblClick();
        break;
    case WM_RBUTTONDOWN:
        if (!NCMode())
            ObjectsMouseDown(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_RBUTTONUP:
        if (NCMode())
            ObjectsMouseUp(mbRight, -1, -1);
        else
            ObjectsMouseUp(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_RBUTTONDBLCLK:
        ObjectsMouseDown(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    default:
        break;
    }
}
