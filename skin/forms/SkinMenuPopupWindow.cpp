// The popup window of a skinned menu: building, placing, painting and
// scrolling its items and the keyboard and mouse walk over them. Its menu
// and items are in SkinMenus.cpp; shared helpers in SkinMenusInternal.h.
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinMenusInternal.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/region.h"
#include "platform/win/windows.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

using namespace skin_menus_internal;

namespace {

constexpr UINT_PTR kScrollTimerId = 1;

} // namespace

TspSkinPopupWindow::TspSkinPopupWindow(TComponent* AOwner, TspSkinMenu* AParentMenu,
                                       TspDataSkinPopupWindow* AData)
    : TCustomControl(AOwner), ParentMenu(AParentMenu) {
    FVisible = false;
    AlphaBlend = ParentMenu->AlphaBlend;
    AlphaBlendValue = ParentMenu->AlphaBlendValue;
    AlphaBlendAnimation = ParentMenu->AlphaBlendAnimation;
    MouseTimer = skinned_form_internal::StoppedTimer(50, [this] { MouseTimerProc(); });
    MorphTimer = skinned_form_internal::StoppedTimer(20, [this] { MorphTimerProc(); });
    WT = skinned_form_internal::StoppedTimer(100, [this] { DelayedShow(); });
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
    SetMenuPopupParams(Params);
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
