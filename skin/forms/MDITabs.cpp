// The MDI tabs bar: a tab for each MDI child of a skinned main form, with its
// list menus. MDI helpers come from SkinnedFormInternal.h; the form's MDI
// operations are in SkinnedFormMDI.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/os/codepage.h"
#include "platform/win/messages.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinMenus.h"

using namespace skinned_form_internal;

namespace {

constexpr const char* kBarItem = "_DSFCHILDITEMBAR";
constexpr const char* kBarHideItem = "_DSFCHILDITEMBARHIDE";

constexpr int kListButtonWidth = 15;

TspDataSkinButtonControl* buttonElement(TspSkinData* SD, const char* Name) {
    if (!SD || SD->Empty) return nullptr;
    int i = SD->GetControlIndex(Name);
    if (i < 0 || size_t(i) >= SD->CtrlList.size()) return nullptr;
    return dynamic_cast<TspDataSkinButtonControl*>(SD->CtrlList[size_t(i)].get());
}

TRect stateOf(const TspDataSkinButtonControl* E, bool Down, bool Hot) {
    TRect active = IsEmptyRect(E->ActiveSkinRect) ? E->SkinRect : E->ActiveSkinRect;
    TRect down = IsEmptyRect(E->DownSkinRect) ? active : E->DownSkinRect;
    return Down ? down : Hot ? active : E->SkinRect;
}

TRect centredIn(const TRect& R, int W, int H) {
    int top = R.Top + (R.Height() - H) / 2;
    return TRect(R.Left, top, R.Left + W, top + H);
}

// The bar's font from the skin, or its own default font when it does not use
// the skin's.
void SetTabFont(TCanvas* C, TspSkinMDITabsBar* Bar) {
    if (Bar->UseSkinFont) {
        C->Font()->SetName(Bar->FontName);
        C->Font()->SetStyle(Bar->FontStyle);
        C->Font()->SetHeight(Bar->FontHeight);
    } else {
        C->Font()->Assign(Bar->DefaultFont());
    }
}

} // namespace

// ---- TspMDITab

TspMDITab::TspMDITab(TspSkinMDITabsBar* AParentBar, TForm* AChild)
    : TabsBar(AParentBar), Child(AChild) {}

void TspMDITab::DrawText(TCanvas* C, TRect R) {
    std::u16string s = Utf8ToUtf16(Child->Caption());
    FitWideTextToWidth(C, s, R.Width());
    C->Brush()->SetStyle(bsClear);
    DrawWideText(C, s, R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TspMDITab::Draw(TCanvas* Cnvs) {
    TspSkinMDITabsBar* bar = TabsBar;
    const int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (w <= 0 || h <= 0) return;
    if (bar->FTabKind == sptkButton && bar->SkinElement()) {
        ButtonDraw(Cnvs);
        return;
    }
    if (bar->SkinElement() && !bar->UseSkinSize) {
        ResizeDraw(Cnvs);
        return;
    }
    TBitmap B(w, h);
    TCanvas* C = B.Canvas();
    TRect text;
    const bool hot = MouseIn && !Active;
    if (bar->SkinElement()) {
        TRect part = hot ? bar->MouseInTabRect : Active ? bar->ActiveTabRect : bar->TabRect;
        if (bar->Picture)
            BuildHorzSkinImage(bar->TabLeftOffset, bar->TabRightOffset, &B, bar->Picture, part, w,
                               h, bar->TabStretchEffect);
        SetTabFont(C, bar);
        C->Font()->SetColor(hot      ? bar->MouseInFontColor
                            : Active ? bar->ActiveFontColor
                                     : bar->FontColor);
        text = TRect(bar->TabLeftOffset, 0, w - bar->TabRightOffset, h);
    } else {
        FillRectColor(C, TRect(0, 0, w, h),
                      hot      ? TColor(0xD2BDB6)
                      : Active ? TColor(0xB59385)
                               : clBtnFace);
        C->Font()->Assign(bar->DefaultFont());
        text = TRect(2, 0, w - 2, h);
    }
    C->Font()->SetCharset(bar->FSD && bar->FSD->ResourceStrData()
                              ? bar->FSD->ResourceStrData()->CharSet()
                              : bar->DefaultFont()->Charset());
    if (bar->FShowCloseButtons) {
        text = TRect(2, 0, w - bar->FCloseSize - 5, h);
        DrawCloseButton(C, TRect(text.Right, 0, w, h));
    }
    if (!bar->SkinElement() && bar->OnTabGetDrawParamsEvent) bar->OnTabGetDrawParamsEvent(this, C);
    DrawText(C, text);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspMDITab::ResizeDraw(TCanvas* Cnvs) {
    TspSkinMDITabsBar* bar = TabsBar;
    const int w = ObjectRect.Width();
    const int h = ObjectRect.Height() + (Active ? bar->FActiveTabOffset : 0);
    if (w <= 0 || h <= 0 || !bar->Picture) return;
    const bool hot = MouseIn && !Active && !IsEmptyRect(bar->MouseInTabRect);
    TRect part = hot ? bar->MouseInTabRect : Active ? bar->ActiveTabRect : bar->TabRect;
    TBitmap B(w, h);
    int q = bar->TabRect.Height() / 4;
    BuildStretchedSkinImage(
        &B, bar->Picture, part,
        TRect(bar->TabLeftOffset, q, part.Width() - bar->TabRightOffset, part.Height() - q), true);
    TCanvas* C = B.Canvas();
    SetTabFont(C, bar);
    C->Font()->SetColor(hot      ? bar->MouseInFontColor
                        : Active ? bar->ActiveFontColor
                                 : bar->FontColor);
    TRect text(2, 0, w - 2, h);
    if (bar->FShowCloseButtons) {
        text = TRect(2, 0, w - bar->FCloseSize - 5, h);
        DrawCloseButton(C, TRect(text.Right, 0, w, h));
    }
    if (bar->OnTabGetDrawParamsEvent) bar->OnTabGetDrawParamsEvent(this, C);
    DrawText(C, text);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspMDITab::ButtonDraw(TCanvas* Cnvs) {
    TspSkinMDITabsBar* bar = TabsBar;
    TspDataSkinButtonControl* e = buttonElement(bar->FSD, "resizebutton");
    TBitmap* pic = e ? pictureOf(bar->FSD, e->PictureIndex) : nullptr;
    const int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (!pic || w <= 0 || h <= 0) return;
    TBitmap B(w, h);
    BuildElementImage(&B, pic, e, stateOf(e, Active, MouseIn), w, h);
    TCanvas* C = B.Canvas();
    SetTabFont(C, bar);
    C->Font()->SetColor(Active ? e->DownFontColor : MouseIn ? e->ActiveFontColor : e->FontColor);
    const int dw = w - e->SkinRect.Width(), dh = h - e->SkinRect.Height();
    TRect text(e->ClRect.Left, e->ClRect.Top, e->ClRect.Right + dw, e->ClRect.Bottom + dh);
    if (bar->FShowCloseButtons) {
        text.Right -= bar->FCloseSize + 3;
        DrawCloseButton(C, TRect(text.Right, 0, text.Right + bar->FCloseSize + 3, h));
    }
    int th = C->TextHeight("Wg");
    if (th > text.Height()) {
        text.Top = (h - th) / 2;
        text.Bottom = text.Top + th;
    }
    if (bar->OnTabGetDrawParamsEvent) bar->OnTabGetDrawParamsEvent(this, C);
    DrawText(C, text);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspMDITab::DrawCloseButton(TCanvas* Cnvs, TRect R) {
    TspSkinMDITabsBar* bar = TabsBar;
    if (!bar->SkinElement()) {
        TRect b = centredIn(R, 14, 14);
        ButtonRect = b;
        DrawCloseGlyph(Cnvs, b.Left + 2, b.Top + 2, ButtonMouseIn ? clWhite : clBlack);
        return;
    }
    if (!IsEmptyRect(bar->CloseButtonRect)) {
        const TRect& src = ButtonMouseDown && ButtonMouseIn ? bar->CloseButtonDownRect
                           : ButtonMouseIn                  ? bar->ClosebuttonActiveRect
                                                            : bar->CloseButtonRect;
        TRect b = centredIn(R, src.Width(), src.Height());
        ButtonRect = b;
        if (!bar->Picture) return;
        TBitmap part(src.Width(), src.Height());
        part.Canvas()->CopyRect(TRect(0, 0, src.Width(), src.Height()), bar->Picture->Canvas(),
                                src);
        if (bar->ButtonTransparent) {
            part.SetTransparentMode(tmFixed);
            part.SetTransparentColor(bar->ButtonTransparentColor);
            part.SetTransparent(true);
        }
        Cnvs->Draw(b.Left, b.Top, &part);
        return;
    }
    const int size = bar->FCloseSize;
    TRect b = centredIn(R, size, size);
    ButtonRect = b;
    TspDataSkinButtonControl* e = buttonElement(bar->FSD, "resizetoolbutton");
    TBitmap* pic = e ? pictureOf(bar->FSD, e->PictureIndex) : nullptr;
    if (!pic || size <= 0) return;
    TBitmap img(size, size);
    BuildElementImage(&img, pic, e, stateOf(e, ButtonMouseDown && ButtonMouseIn, ButtonMouseIn),
                      size, size);
    TColor c = ButtonMouseDown && ButtonMouseIn ? e->DownFontColor
               : ButtonMouseIn                  ? e->ActiveFontColor
                                                : e->FontColor;
    DrawCloseGlyph(img.Canvas(), size / 2 - 5, size / 2 - 5, c);
    Cnvs->Draw(b.Left, b.Top, &img);
}

// ---- TspSkinMDITabsBar

TspSkinMDITabsBar::TspSkinMDITabsBar(TComponent* AOwner) : TspSkinControl(AOwner) {
    FDefaultFont = std::make_unique<TFont>();
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetStyle(TFontStyles());
    FListMenu = std::make_unique<TspSkinPopupMenu>(this);
    FHideListMenu = std::make_unique<TspSkinPopupMenu>(this);
    SetSkinDataName("tab");
    SetBounds(0, 0, 150, 21);
}

TspSkinMDITabsBar::~TspSkinMDITabsBar() {
    ObjectList.clear();
    FreeListButton();
    FreeHideListButton();
    FListMenu.reset();
    FHideListMenu.reset();
    if (FSkinnedForm && FSkinnedForm->MDITabsBar() == this) FSkinnedForm->SetMDITabsBar(nullptr);
}

void TspSkinMDITabsBar::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSkinnedForm) FSkinnedForm = nullptr;
    if (static_cast<TComponent*>(FListButton) == AComponent) FListButton = nullptr;
    if (static_cast<TComponent*>(FHideListButton) == AComponent) FHideListButton = nullptr;
}

void TspSkinMDITabsBar::SetSkinnedForm(TspSkinnedForm* Value) {
    if (FSkinnedForm) RemoveFreeNotification(FSkinnedForm);
    FSkinnedForm = Value;
    if (Value) {
        FreeNotification(Value);
        if (Value->MDITabsBar() != this) Value->SetMDITabsBar(this);
    }
}

void TspSkinMDITabsBar::SetShowCloseButtons(bool Value) {
    FShowCloseButtons = Value;
    Invalidate();
}

void TspSkinMDITabsBar::SetTabKind(TspSkinMDITabKind Value) {
    FTabKind = Value;
    if (SkinElement()) Invalidate();
}

void TspSkinMDITabsBar::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (!SkinElement() && Value > 0) SetHeight(Value);
}

void TspSkinMDITabsBar::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    Invalidate();
}

void TspSkinMDITabsBar::GetSkinData() {
    TspSkinControl::GetSkinData();
    Picture = nullptr;
    if (FIndex == -1) return;
    auto* d = dynamic_cast<TspDataSkinTabControl*>(FSD->CtrlList[size_t(FIndex)].get());
    if (!d) {
        // Another kind of element under the name: the values stay as they were.
        FIndex = -1;
        return;
    }
    Picture = pictureOf(FSD, d->PictureIndex);
    TabRect = d->TabRect;
    ActiveTabRect = IsEmptyRect(d->ActiveTabRect) ? d->TabRect : d->ActiveTabRect;
    MouseInTabRect = IsEmptyRect(d->MouseInTabRect) ? d->TabRect : d->MouseInTabRect;
    TabsBGRect = d->TabsBGRect;
    TabLeftOffset = d->TabLeftOffset;
    TabRightOffset = d->TabRightOffset;
    FontName = d->FontName;
    FontStyle = d->FontStyle;
    FontHeight = d->FontHeight;
    FontColor = d->FontColor;
    ActiveFontColor = d->ActiveFontColor;
    MouseInFontColor = d->MouseInFontColor;
    TabStretchEffect = d->TabStretchEffect;
    CloseButtonRect = d->CloseButtonRect;
    ClosebuttonActiveRect =
        IsEmptyRect(d->CloseButtonActiveRect) ? d->CloseButtonRect : d->CloseButtonActiveRect;
    CloseButtonDownRect =
        IsEmptyRect(d->CloseButtonDownRect) ? ClosebuttonActiveRect : d->CloseButtonDownRect;
    ButtonTransparent = d->ButtonTransparent;
    ButtonTransparentColor = d->ButtonTransparentColor;
    LTPoint = d->LTPoint;
    RTPoint = d->RTPoint;
    LBPoint = d->LBPoint;
    RBPoint = d->RBPoint;
    ClRect = d->ClRect;
    SkinRect = d->SkinRect;
    FBottomOffset = ClRect.Top;
    FActiveTabOffset = ActiveTabRect.Height() - TabRect.Height();
}

int TspSkinMDITabsBar::GetCloseSize() const {
    if (!SkinElement() || IsEmptyRect(CloseButtonRect)) return 14;
    return CloseButtonRect.Width();
}

void TspSkinMDITabsBar::ChangeSkinData() {
    GetSkinData();
    FCloseSize = GetCloseSize();
    if (SkinElement() && UseSkinSize)
        SetHeight(TabRect.Height() + (FTabKind == sptkTab ? FBottomOffset : 0));
    else if (FDefaultHeight > 0)
        SetHeight(FDefaultHeight);
    if (FListButton) FListButton->SetSkinData(FSD);
    if (FHideListButton) FHideListButton->SetSkinData(FSD);
    TspSkinControl::ChangeSkinData();
    Realign();
}

void TspSkinMDITabsBar::AddTab(TForm* Child) {
    ObjectList.push_back(std::make_unique<TspMDITab>(this, Child));
    if (!FListButton) MakeListButton();
    Invalidate();
}

void TspSkinMDITabsBar::DeleteTab(TForm* Child) {
    if (ActiveTabIndex >= 0 && size_t(ActiveTabIndex) < ObjectList.size() &&
        ObjectList[size_t(ActiveTabIndex)]->Child == Child) {
        TspMDITab* t = ObjectList[size_t(ActiveTabIndex)].get();
        if (OnTabMouseLeave) OnTabMouseLeave(t);
        ActiveTabIndex = OldTabIndex = -1;
    }
    for (auto it = ObjectList.begin(); it != ObjectList.end(); ++it)
        if ((*it)->Child == Child) {
            ObjectList.erase(it);
            break;
        }
    // A drag of a tab that went ends with it.
    if (DragIndex >= int(ObjectList.size())) {
        DragIndex = -1;
        IsDrag = FDown = false;
        TabDX = 0;
    }
    if (ObjectList.empty()) {
        FreeListButton();
        FreeHideListButton();
    }
    Invalidate();
}

void TspSkinMDITabsBar::UpdateActiveTabs() {
    TForm* main = Application ? Application->MainForm() : nullptr;
    TForm* active = main ? main->ActiveMDIChild() : nullptr;
    if (!active) return;
    for (auto& t : ObjectList)
        t->Active = t->Child == active;
    Invalidate();
}

int TspSkinMDITabsBar::GetTabIndex(int X, int Y) const {
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        const TRect& r = ObjectList[i]->ObjectRect;
        if (ObjectList[i]->Visible && X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom)
            return int(i);
    }
    return -1;
}

TspMDITab* TspSkinMDITabsBar::GetTab(int X, int Y) const {
    int i = GetTabIndex(X, Y);
    return i == -1 ? nullptr : ObjectList[size_t(i)].get();
}

void TspSkinMDITabsBar::CalcTabRects() {
    FInVisibleCount = 0;
    if (ObjectList.empty()) return;
    const int h =
        FTabKind == sptkButton ? Height() : Height() - (SkinElement() ? FBottomOffset : 0);
    const int n = int(ObjectList.size());
    int x = kListButtonWidth;
    int w = std::min((Width() - kListButtonWidth) / n, DefaultTabWidth);
    if (MinTabWidth != 0 && w < MinTabWidth) {
        int fit = std::max(0, (Width() - 2 * kListButtonWidth) / MinTabWidth);
        for (int i = 0; i < n; ++i) {
            TspMDITab* t = ObjectList[size_t(i)].get();
            if (i < fit) {
                t->ObjectRect = TRect(x, 0, x + MinTabWidth, h);
                t->Visible = true;
                x += MinTabWidth;
            } else {
                t->ObjectRect = TRect();
                t->Visible = false;
                ++FInVisibleCount;
            }
        }
        FRightLimit = Width() - kListButtonWidth;
    } else {
        for (int i = 0; i < n; ++i) {
            TspMDITab* t = ObjectList[size_t(i)].get();
            t->ObjectRect = TRect(x, 0, x + w, h);
            t->Visible = true;
            x += w;
        }
        if (w < DefaultTabWidth) ObjectList.back()->ObjectRect.Right = Width();
        FRightLimit = Width();
    }
    if (IsDrag && DragIndex >= 0 && DragIndex < n) {
        TRect& r = ObjectList[size_t(DragIndex)]->ObjectRect;
        int width = r.Width();
        int left = std::clamp(r.Left + TabDX, 0, std::max(0, FRightLimit - width));
        r = TRect(left, r.Top, left + width, r.Bottom);
    }
}

int TspSkinMDITabsBar::DropIndex() const {
    if (ObjectList.empty() || TabDX == 0 || DragIndex < 0 || DragIndex >= int(ObjectList.size()))
        return -1;
    const TRect& d = ObjectList[size_t(DragIndex)]->ObjectRect;
    auto centre = [](const TRect& r) { return r.Left + r.Width() / 2; };
    if (TabDX > 0) {
        int found = -1;
        for (int i = DragIndex + 1; i < int(ObjectList.size()); ++i)
            if (ObjectList[size_t(i)]->Visible &&
                centre(ObjectList[size_t(i)]->ObjectRect) < d.Right)
                found = i;
        return found;
    }
    for (int i = 0; i < DragIndex; ++i)
        if (ObjectList[size_t(i)]->Visible && centre(ObjectList[size_t(i)]->ObjectRect) > d.Left)
            return i;
    return -1;
}

void TspSkinMDITabsBar::DrawDropMarker(TCanvas* C) {
    int i = DropIndex();
    if (i == -1) return;
    const TRect& r = ObjectList[size_t(i)]->ObjectRect;
    int x = TabDX < 1 ? r.Left : r.Right;
    int m = Height() / 2;
    C->Pen()->SetMode(pmNot);
    for (int dx = -1; dx <= 1; ++dx) {
        C->MoveTo(x + dx, 0);
        C->LineTo(x + dx, Height());
    }
    for (int side : {1, -1}) {
        C->MoveTo(x + 2 * side, m);
        C->LineTo(x + 5 * side, m - 3);
        C->LineTo(x + 5 * side, m + 3);
        C->LineTo(x + 2 * side, m);
    }
    C->Pen()->SetMode(pmCopy);
}

void TspSkinMDITabsBar::DrawBar(TCanvas* C) {
    const int W = Width(), H = Height();
    if (SkinElement()) {
        const int bg = H - (FTabKind == sptkTab ? FBottomOffset : 0);
        if (FSD->MDITabsTransparent) {
            DrawParentBackground(this, C);
        } else if (!IsEmptyRect(TabsBGRect) && Picture) {
            TBitmap tile(TabsBGRect.Width(), std::max(1, bg));
            tile.Canvas()->CopyRect(TRect(0, 0, tile.Width(), tile.Height()), Picture->Canvas(),
                                    TabsBGRect);
            for (int i = 0; i <= W / tile.Width(); ++i)
                C->Draw(i * tile.Width(), 0, &tile);
        } else {
            // No strip behind the tabs in the skin: the face colour of the skin.
            FillRectColor(C, TRect(0, 0, W, H), clBtnFace);
        }
        if (FTabKind == sptkTab && !IsEmptyRect(SkinRect) && Picture && FBottomOffset > 0) {
            TRect src(SkinRect.Left + LTPoint.X, SkinRect.Top, SkinRect.Left + RTPoint.X,
                      SkinRect.Top + ClRect.Top);
            TBitmap strip;
            BuildHorzSkinImage(LTPoint.X, SkinRect.Width() - RTPoint.X, &strip, Picture, src, W,
                               FBottomOffset, false);
            C->Draw(0, H - FBottomOffset, &strip);
        }
    } else {
        FillRectColor(C, TRect(0, 0, W, H), clBtnFace);
    }
    CalcTabRects();
    for (int i = 0; i < int(ObjectList.size()); ++i) {
        TspMDITab* t = ObjectList[size_t(i)].get();
        if (!t->Visible || (IsDrag && FDown && i == DragIndex)) continue;
        t->Draw(C);
    }
    if (IsDrag && DragIndex >= 0 && DragIndex < int(ObjectList.size())) {
        ObjectList[size_t(DragIndex)]->Draw(C);
        DrawDropMarker(C);
    }
}

void TspSkinMDITabsBar::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    TBitmap B(Width(), Height());
    DrawBar(B.Canvas());
    Canvas()->Draw(0, 0, &B);
    if (FInVisibleCount > 0 && !FHideListButton)
        MakeHideListButton();
    else if (FInVisibleCount == 0 && FHideListButton)
        FreeHideListButton();
}

void TspSkinMDITabsBar::DrawTabNow(TspMDITab* Tab) {
    if (!HandleAllocated() || !Tab) return;
    GetSkinData();
    CalcTabRects();
    if (!Tab->Visible) return;
    HDC dc = GetDC(Handle());
    TCanvas c;
    c.SetHandle(dc);
    Tab->Draw(&c);
    c.SetHandle(nullptr);
    ReleaseDC(Handle(), dc);
}

TspSkinMenuSpeedButton* TspSkinMDITabsBar::NewMenuButton(TAlign Align, TspSkinPopupMenu* Menu) {
    auto* b = new TspSkinMenuSpeedButton(this);
    b->SetSkinDataName("resizetoolbutton");
    b->SetSkinData(FSD);
    b->SetBounds(Align == alRight ? Width() - kListButtonWidth : 0, 0, kListButtonWidth, Height());
    b->SetAlign(Align);
    b->SetSkinPopupMenu(Menu);
    b->SetParent(this);
    return b;
}

void TspSkinMDITabsBar::MakeListButton() {
    FListButton = NewMenuButton(alLeft, FListMenu.get());
    FListButton->OnShowTrackMenu = [this](TObject*) { FillListMenu(FListMenu.get(), false); };
}

void TspSkinMDITabsBar::MakeHideListButton() {
    FHideListButton = NewMenuButton(alRight, FHideListMenu.get());
    FHideListButton->OnShowTrackMenu = [this](TObject*) {
        FillListMenu(FHideListMenu.get(), true);
    };
}

void TspSkinMDITabsBar::FreeListButton() {
    delete FListButton;
    FListButton = nullptr;
}

void TspSkinMDITabsBar::FreeHideListButton() {
    delete FHideListButton;
    FHideListButton = nullptr;
}

void TspSkinMDITabsBar::FillListMenu(TspSkinPopupMenu* Menu, bool HiddenOnly) {
    Menu->Items()->Clear();
    for (auto& t : ObjectList) {
        if (HiddenOnly && t->Visible) continue;
        auto* item = new TMenuItem(nullptr);
        item->SetName(t->Child->Name() + (HiddenOnly ? kBarHideItem : kBarItem));
        item->Caption = t->Child->Caption();
        item->RadioItem = true;
        item->GroupIndex = 0;
        item->Checked = t->Active;
        item->OnClick = [this](TObject* Sender) { ListItemClick(Sender); };
        Menu->Items()->Add(item);
    }
}

void TspSkinMDITabsBar::ListItemClick(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !FSkinnedForm) return;
    std::string name = item->Name();
    // The hidden-list suffix holds the list suffix: the longer one goes first.
    std::string child = name.find(kBarHideItem) != std::string::npos
                            ? withoutFirst(name, kBarHideItem)
                            : withoutFirst(name, kBarItem);
    for (TForm* f : mdiChildrenOf(FSkinnedForm->Form()))
        if (f->Name() == child) {
            restoreMinimized(f);
            showMDIChild(f);
            return;
        }
}

void TspSkinMDITabsBar::TestActive(int X, int Y) {
    ActiveTabIndex = GetTabIndex(X, Y);
    if (ActiveTabIndex != OldTabIndex) {
        if (OldTabIndex >= 0 && size_t(OldTabIndex) < ObjectList.size()) {
            TspMDITab* t = ObjectList[size_t(OldTabIndex)].get();
            if (t->Visible) {
                t->MouseIn = false;
                DrawTabNow(t);
                if (OnTabMouseLeave) OnTabMouseLeave(t);
            }
        }
        if (ActiveTabIndex >= 0) {
            TspMDITab* t = ObjectList[size_t(ActiveTabIndex)].get();
            if (t->Visible) {
                t->MouseIn = true;
                DrawTabNow(t);
                if (OnTabMouseEnter) OnTabMouseEnter(t);
            }
        }
    }
    const bool changed = ActiveTabIndex != OldTabIndex;
    OldTabIndex = ActiveTabIndex;
    if (!FShowCloseButtons) return;
    if (ActiveTabIndex >= 0) {
        TspMDITab* t = ObjectList[size_t(ActiveTabIndex)].get();
        TRect b = Offset(t->ButtonRect, t->ObjectRect.Left, t->ObjectRect.Top);
        bool in = b.Contains(TPoint(X, Y));
        if (in != t->ButtonMouseIn) {
            t->ButtonMouseIn = in;
            DrawTabNow(t);
        }
    }
    if (changed) {
        bool any = false;
        for (int i = 0; i < int(ObjectList.size()); ++i) {
            TspMDITab* t = ObjectList[size_t(i)].get();
            if (i == ActiveTabIndex) continue;
            any = any || t->ButtonMouseIn || t->ButtonMouseDown;
            t->ButtonMouseIn = t->ButtonMouseDown = false;
        }
        if (any) Invalidate();
    }
}

void TspSkinMDITabsBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseDown(Button, Shift, X, Y);
    int index = GetTabIndex(X, Y);
    if (index == -1) return;
    TspMDITab* tab = ObjectList[size_t(index)].get();
    if (Button == mbLeft) {
        restoreMinimized(tab->Child);
        showMDIChild(tab->Child);
        // Showing may have closed the tab.
        index = GetTabIndex(X, Y);
        if (index == -1) return;
        tab = ObjectList[size_t(index)].get();
        FDown = true;
        if (MoveTabs) DragIndex = index;
        DX = X;
        TabDX = 0;
        if (OnTabMouseDown) OnTabMouseDown(Button, Shift, tab);
        if (FShowCloseButtons) {
            TRect b = Offset(tab->ButtonRect, tab->ObjectRect.Left, tab->ObjectRect.Top);
            if (b.Contains(TPoint(X, Y))) {
                // A press on the close button starts no drag.
                FDown = false;
                tab->ButtonMouseDown = tab->ButtonMouseIn = true;
                DrawTabNow(tab);
            } else {
                tab->ButtonMouseDown = tab->ButtonMouseIn = false;
            }
        }
    } else if (Button == mbRight) {
        TspSkinnedForm* childForm = GetSkinnedForm(tab->Child);
        if (SupportChildMenus && childForm && FSkinnedForm) {
            TMenuItem* items = childForm->GetSystemMenuItems();
            TPoint p = ClientToScreen(TPoint(X, Y));
            FSkinnedForm->SkinMenuOpen();
            TspSkinData* sd = FSkinnedForm->MenusSkinData() ? FSkinnedForm->MenusSkinData()
                                                            : FSkinnedForm->SkinData();
            TRect r(p.X, p.Y, p.X, p.Y);
            FSkinnedForm->SkinMenu()->Popup(nullptr, sd, 0, r, items, false);
        }
        if (OnTabMouseDown) OnTabMouseDown(Button, Shift, tab);
    }
}

void TspSkinMDITabsBar::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseMove(Shift, X, Y);
    if (FDown && MoveTabs && DragIndex != -1 && (IsDrag || X != DX)) {
        IsDrag = true;
        TabDX = X - DX;
        Invalidate();
        return;
    }
    TestActive(X, Y);
}

void TspSkinMDITabsBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FDown = false;
    if (IsDrag) {
        GetSkinData();
        CalcTabRects();
        int drop = DropIndex();
        if (drop != -1 && drop != DragIndex) {
            auto moved = std::move(ObjectList[size_t(DragIndex)]);
            ObjectList.erase(ObjectList.begin() + DragIndex);
            ObjectList.insert(ObjectList.begin() + drop, std::move(moved));
        }
        IsDrag = false;
        DragIndex = -1;
        DX = TabDX = 0;
        // The tabs take their places now, so the next press finds them there.
        CalcTabRects();
        Invalidate();
    } else {
        DragIndex = -1;
        if (OnTabMouseUp)
            if (TspMDITab* t = GetTab(X, Y)) OnTabMouseUp(Button, Shift, t);
    }
    if (Button == mbLeft && FShowCloseButtons) {
        TForm* toClose = nullptr;
        for (auto& t : ObjectList) {
            TRect b = Offset(t->ButtonRect, t->ObjectRect.Left, t->ObjectRect.Top);
            if (t->ButtonMouseDown && t->Visible && b.Contains(TPoint(X, Y))) {
                t->ButtonMouseDown = false;
                t->ButtonMouseIn = true;
                DrawTabNow(t.get());
                toClose = t->Child;
            } else if (t->ButtonMouseDown) {
                t->ButtonMouseDown = t->ButtonMouseIn = false;
                DrawTabNow(t.get());
            }
        }
        // Closing may take the tab away: nothing of the list is used after it.
        if (toClose) toClose->Close();
    }
    TspSkinControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinMDITabsBar::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SKIN_CHECKPARENTBG:
    case WM_MOVE:
        if ((Message.Msg == WM_SKIN_CHECKPARENTBG || Align() == alNone) && SkinElement() && FSD &&
            FSD->MDITabsTransparent)
            Invalidate();
        break;
    case CM_MOUSELEAVE:
        TspSkinControl::WndProc(Message);
        TestActive(-1, -1);
        return;
    default:
        break;
    }
    TspSkinControl::WndProc(Message);
}
