// The images menu: a grid of pictures from an image list shown in a popup
// window of its own, with its items and keyboard walk. Shared helpers come
// from SkinMenusInternal.h.
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinMenusInternal.h"

#include <algorithm>

#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/region.h"
#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinHint.h"

using namespace skin_menus_internal;

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
    SetMenuPopupParams(Params);
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
