// The main menu bar control: its objects, items and buttons, the bar itself,
// the caption buttons of a maximized MDI child on it, and the skin data of the
// main menu component. Works with the form's menu handling in SkinnedForm.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/os/codepage.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinMenus.h"

using namespace skinned_form_internal;

namespace {

TBitmap* BarPictureOf(TspSkinData* SD, int Index) {
    if (!SD || Index < 0 || Index >= int(SD->FActivePictures.size())) return nullptr;
    return SD->FActivePictures[size_t(Index)].get();
}

} // namespace

void TspSkinMainMenu::SetSkinData(TspSkinData* Value) {
    if (FSD) RemoveFreeNotification(FSD);
    FSD = Value;
    if (FSD) FreeNotification(FSD);
}

void TspSkinMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMainMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

// ---- TspMenuBarObject

TspMenuBarObject::TspMenuBarObject(TspSkinMainMenuBar* AParent, TspDataSkinObject* AData)
    : Parent(AParent) {
    if (!AData) return;
    IDName = AData->IDName;
    SkinRect = AData->SkinRect;
    ActiveSkinRect = AData->ActiveSkinRect;
    DownRect = AData->ActiveSkinRect;
    Morphing = AData->Morphing;
    MorphKind = AData->MorphKind;
    ObjectRect = SkinRect;
    Picture = BarPictureOf(AParent->SkinData(), AData->ActivePictureIndex);
}

void TspMenuBarObject::SetMorphKf(double Value) {
    FMorphKf = std::clamp(Value, 0.0, 1.0);
}

bool TspMenuBarObject::EnableMorphing() const {
    TspSkinData* sd = Parent->SkinData();
    return Morphing && sd && sd->EnableSkinEffects();
}

void TspMenuBarObject::StartRedraw() {
    if (EnableMorphing())
        Parent->MorphTimer->SetEnabled(true);
    else
        Parent->DrawObject(this);
}

bool TspMenuBarObject::CanMorphing() {
    if (FDown && !IsEmptyRect(DownRect)) return false;
    return (Active && FMorphKf < 1) || (!Active && FMorphKf > 0);
}

void TspMenuBarObject::DoMorphing() {
    SetMorphKf(FMorphKf + (Active ? 0.2 : -0.2));
    if (FMorphKf > 0.999) FMorphKf = 1;
    if (FMorphKf < 0.001) FMorphKf = 0;
    Parent->DrawObject(this);
}

void TspMenuBarObject::MouseEnter() {
    FMouseIn = true;
    Active = true;
    StartRedraw();
}

void TspMenuBarObject::MouseLeave() {
    FMouseIn = false;
    Active = false;
    StartRedraw();
}

// ---- TspSkinMainMenuBarItem

TspSkinMainMenuBarItem::TspSkinMainMenuBarItem(TspSkinMainMenuBar* AParent,
                                               TspDataSkinMainMenuBarItem* AData)
    : TspMenuBarObject(AParent, AData) {
    if (AData) {
        FSkinSupport = true;
        ItemDownRect = AData->DownRect;
        FontName = AData->FontName;
        FontHeight = AData->FontHeight;
        FontStyle = AData->FontStyle;
        UnEnabledFontColor = AData->UnEnabledFontColor;
        FontColor = AData->FontColor;
        ActiveFontColor = AData->ActiveFontColor;
        DownFontColor = AData->DownFontColor;
        TextRct = AData->TextRct;
        LO = AData->ItemLO;
        RO = AData->ItemRO;
        StretchEffect = AData->StretchEffect;
        AnimateSkinRect = AData->AnimateSkinRect;
        FrameCount = AData->FrameCount;
        AnimateInterval = AData->AnimateInterval;
        InActiveAnimation = AData->InActiveAnimation;
        if (IsEmptyRect(ItemDownRect))
            ItemDownRect = IsEmptyRect(ActiveSkinRect) ? SkinRect : ActiveSkinRect;
        if (IsEmptyRect(ActiveSkinRect)) Morphing = false;
    }
    OldEnabled = Enabled;
}

bool TspSkinMainMenuBarItem::EnableAnimation() const {
    TspSkinData* sd = Parent->SkinData();
    return !IsEmptyRect(AnimateSkinRect) && sd && !sd->Empty && sd->EnableSkinEffects();
}

void TspSkinMainMenuBarItem::SetItemFont(TCanvas* C) {
    TspSkinData* sd = Parent->SkinData();
    if (FSkinSupport && Parent->UseSkinFont) {
        C->Font()->SetName(FontName);
        C->Font()->SetStyle(FontStyle);
        C->Font()->SetHeight(FontHeight);
    } else {
        C->Font()->Assign(Parent->DefItemFont());
    }
    C->Font()->SetCharset(sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet()
                                                      : Parent->DefItemFont()->Charset());
}

void TspSkinMainMenuBarItem::Layout(TCanvas* Cnvs, int& TextWidth) {
    TBitmap measure(1, 1);
    SetItemFont(measure.Canvas());
    TRect r(0, 0, 0, 0);
    DrawWideText(measure.Canvas(), Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string()), r,
                 DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    TextWidth = RectWidth(r);
    (void)Cnvs;
    int left = 0;
    auto items = Parent->Items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == this) {
            if (i > 0) left = items[i - 1]->ObjectRect.Right;
            break;
        }
    if (left == 0) left = Parent->NewItemsRect.Left;
    int top = Parent->NewItemsRect.Top;
    if (FSkinSupport)
        ObjectRect =
            TRect(left, top, left + RectWidth(SkinRect) - RectWidth(TextRct) + TextWidth + 2,
                  top + RectHeight(SkinRect));
    else
        ObjectRect = TRect(left, top, left + TextWidth + 12, Parent->NewItemsRect.Bottom);
    int limit = Parent->NewItemsRect.Right - (Parent->ScrollMenu ? 5 : 0);
    if (ObjectRect.Right > limit) Parent->Scroll = true;
    ShowItemIfFits(this, ObjectRect.Right <= limit);
}

void TspSkinMainMenuBarItem::BuildImage(TBitmap* B, TCanvas* Under, const TRect& S, bool ActiveLook,
                                        bool Frame) {
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    B->SetSize(w, h);
    if (Parent->ItemTransparent && RectsEqual(S, SkinRect) && Under && !Frame)
        B->Canvas()->CopyRect(TRect(0, 0, w, h), Under, ObjectRect);
    else if (Picture && !IsEmptyRect(S))
        BuildHorzSkinImage(LO, RO, B, Picture, S, w, h, ActiveLook && StretchEffect);
    TCanvas* C = B->Canvas();
    SetItemFont(C);
    std::u16string text;
    TRect tr = MeasureItemCaption(this, C, ActiveLook, text);
    if (MenuItem && MenuItem->OnDrawItem)
        MenuItem->OnDrawItem(reinterpret_cast<TObject*>(this), C, tr, ActiveLook);
    else
        DrawWideText(C, text, tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TspSkinMainMenuBarItem::Draw(TCanvas* Cnvs) {
    if (!FSkinSupport) {
        DefaultDraw(Cnvs);
        return;
    }
    if (IsEmptyRect(SkinRect) || IsEmptyRect(TextRct)) return;
    int tw = 0;
    Layout(Cnvs, tw);
    if (!ItemVisible) return;
    TBitmap B;
    bool morphing = EnableMorphing() && FMorphKf > 0 && FMorphKf < 1;
    if (FDown) {
        BuildImage(&B, Cnvs, ItemDownRect, true, false);
    } else if (EnableAnimation() && CurrentFrame >= 1 && CurrentFrame <= FrameCount) {
        TRect A = AnimateSkinRect;
        int fc = std::max(1, FrameCount);
        TRect f = RectHeight(A) > RectHeight(SkinRect)
                      ? TRect(A.Left, A.Top + RectHeight(A) / fc * (CurrentFrame - 1), A.Right,
                              A.Top + RectHeight(A) / fc * CurrentFrame)
                      : TRect(A.Left + RectWidth(A) / fc * (CurrentFrame - 1), A.Top,
                              A.Left + RectWidth(A) / fc * CurrentFrame, A.Bottom);
        BuildImage(&B, Cnvs, f, true, true);
    } else if (!morphing) {
        if (Active)
            BuildImage(&B, Cnvs, IsEmptyRect(ActiveSkinRect) ? SkinRect : ActiveSkinRect, true,
                       false);
        else
            BuildImage(&B, Cnvs, SkinRect, false, false);
    } else {
        TBitmap A2;
        BuildImage(&B, Cnvs, SkinRect, false, false);
        BuildImage(&A2, Cnvs, ActiveSkinRect, true, false);
        MorphBitmapInto(&B, &A2, MorphKind, FMorphKf);
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspSkinMainMenuBarItem::DefaultDraw(TCanvas* Cnvs) {
    int tw = 0;
    Layout(Cnvs, tw);
    if (!ItemVisible) return;
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    if (w <= 0 || h <= 0) return;
    TBitmap B(w, h);
    TCanvas* C = B.Canvas();
    if (FDown) {
        FillRectColor(C, TRect(0, 0, w, h), TColor(0xB59385));
        C->Brush()->SetColor(clNavy);
        C->FrameRect(TRect(0, 0, w, h));
    } else if (FMouseIn || Active) {
        FillRectColor(C, TRect(0, 0, w, h), TColor(0xD2BDB6));
        C->Brush()->SetColor(clNavy);
        C->FrameRect(TRect(0, 0, w, h));
    } else {
        FillRectColor(C, TRect(0, 0, w, h), clBtnFace);
    }
    SetItemFont(C);
    C->Font()->SetColor(MenuItem && !MenuItem->Enabled ? clBtnShadow
                                                       : Parent->DefItemFont()->Color());
    C->Brush()->SetStyle(bsClear);
    std::u16string text = Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string());
    int th = WideTextHeight(C, text);
    TRect tr(0, h / 2 - th / 2, w, h / 2 - th / 2 + th);
    if (FDown) tr = Offset(tr, 1, 1);
    if (MenuItem && MenuItem->OnDrawItem)
        MenuItem->OnDrawItem(reinterpret_cast<TObject*>(this), C, tr, Active);
    else
        DrawWideText(C, text, tr, DT_CENTER | DT_SINGLELINE);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspSkinMainMenuBarItem::StartRedraw() {
    if (EnableAnimation()) {
        if (Parent->AnimateTimer->Interval() != unsigned(AnimateInterval))
            Parent->AnimateTimer->SetInterval(AnimateInterval);
        Parent->AnimateTimer->SetEnabled(true);
        return;
    }
    TspMenuBarObject::StartRedraw();
}

bool TspSkinMainMenuBarItem::ReleaseOtherDownItem() {
    return ReleaseDownItemBesides(Parent->Items(), this);
}

void TspSkinMainMenuBarItem::LeaveOtherActiveItem() {
    LeaveActiveItemBesides(Parent->Items(), this);
}

void TspSkinMainMenuBarItem::MouseEnter() {
    if (EnterMainMenuItem(this)) return;
    if (Parent->OnItemMouseEnter) Parent->OnItemMouseEnter(MenuItem);
    if (MenuItem && Parent->Hint != MenuItem->Hint) Parent->Hint = MenuItem->Hint;
}

void TspSkinMainMenuBarItem::MouseLeave() {
    Active = FMouseIn = false;
    if (EnableAnimation() && !InActiveAnimation) {
        CurrentFrame = 0;
        Parent->DrawObject(this);
    }
    if (EnableMorphing() && FDown) FMorphKf = 0;
    StartRedraw();
    if (Parent->OnItemMouseLeave) Parent->OnItemMouseLeave(MenuItem);
}

void TspSkinMainMenuBarItem::MouseDown(int, int, TMouseButton Button) {
    TspSkinnedForm* sf = Parent->SkinnedForm();
    if (!Enabled || !sf || Button != mbLeft || !MenuItem) return;
    if (Parent->OnMainMenuItemClick) Parent->OnMainMenuItemClick(IDName);
    if (MenuItem->Count() > 0) {
        Parent->MenuActive = true;
        SetDown(true);
        return;
    }
    if (sf->InMainMenu) sf->ExitMainMenu();
    sf->InMenu = false;
    if (EnableMorphing())
        StartRedraw();
    else
        Parent->DrawObject(this);
    TMenuItem* mi = MenuItem;
    if (TMenu* pm = mi->GetParentMenu())
        pm->DispatchCommand(mi->Command());
    else
        mi->Click();
}

void TspSkinMainMenuBarItem::SetDown(bool Value) {
    FDown = Value;
    if (Value) {
        Parent->DrawObject(this);
        TspSkinnedForm* sf = Parent->SkinnedForm();
        if (sf && !sf->InMainMenu && sf->OnMainMenuEnter) sf->OnMainMenuEnter(Parent);
        TrackMenu();
        return;
    }
    Active = false;
    if (EnableAnimation()) {
        if (InActiveAnimation) {
            CurrentFrame = FrameCount + 1;
            StartRedraw();
            return;
        }
        CurrentFrame = 0;
    } else if (EnableMorphing()) {
        FMorphKf = 1;
        StartRedraw();
        return;
    }
    Parent->DrawObject(this);
}

void TspSkinMainMenuBarItem::TrackMenu() {
    TspSkinnedForm* sf = Parent->SkinnedForm();
    if (!sf || !MenuItem) return;
    TPoint p = Parent->ClientToScreen(ObjectRect.TopLeft());
    TRect R(p.X, p.Y, p.X + RectWidth(ObjectRect), p.Y + RectHeight(ObjectRect));
    sf->SkinMenuOpen();
    sf->InMainMenu = true;
    sf->HookApp();
    sf->SkinMenu()->Popup(nullptr, Parent->SkinData(), 0, R, MenuItem, Parent->PopupToUp);
}

// ---- TspSkinMainMenuBarButton

TspSkinMainMenuBarButton::TspSkinMainMenuBarButton(TspSkinMainMenuBar* AParent,
                                                   TspDataSkinMainMenuBarButton* AData)
    : TspMenuBarObject(AParent, AData) {
    if (AData) {
        FSkinSupport = true;
        Command = AData->Command;
        DownRect = AData->DownRect;
    }
}

void TspSkinMainMenuBarButton::Draw(TCanvas* Cnvs) {
    if (!FSkinSupport || !Picture) {
        DefaultDraw(Cnvs);
        return;
    }
    TRect src = SkinRect;
    if (FDown && FMouseIn && !IsEmptyRect(DownRect))
        src = DownRect;
    else if (Active && !IsEmptyRect(ActiveSkinRect))
        src = ActiveSkinRect;
    Cnvs->CopyRect(ObjectRect, Picture->Canvas(), src);
}

void TspSkinMainMenuBarButton::DefaultDraw(TCanvas* Cnvs) {
    TRect r = ObjectRect;
    if (RectWidth(r) <= 0) return;
    bool hot = Active || FMouseIn;
    if (FDown && FMouseIn) {
        FillRectColor(Cnvs, r, TColor(0xB59385));
        Cnvs->Brush()->SetColor(clNavy);
        Cnvs->FrameRect(r);
    } else if (hot) {
        FillRectColor(Cnvs, r, TColor(0xD2BDB6));
        Cnvs->Brush()->SetColor(clNavy);
        Cnvs->FrameRect(r);
    } else {
        FillRectColor(Cnvs, r, clBtnFace);
    }
    int x = r.Left + RectWidth(r) / 2 - 4, y = r.Top + RectHeight(r) / 2 - 4;
    TColor c = Enabled ? clBlack : clBtnShadow;
    switch (Command) {
    case cmClose:
        DrawCloseGlyph(Cnvs, x, y, c);
        break;
    case cmMaximize:
        DrawRestoreGlyph(Cnvs, x, y, c);
        break;
    case cmMinimize:
        DrawMinimizeGlyph(Cnvs, x, y, c);
        break;
    case cmSysMenu:
        DrawSysMenuGlyph(Cnvs, x, y, c);
        break;
    default:
        break;
    }
}

void TspSkinMainMenuBarButton::MouseDown(int, int, TMouseButton Button) {
    if (!Enabled || Button != mbLeft || FDown) return;
    FDown = true;
    if (EnableMorphing() && !IsEmptyRect(DownRect)) FMorphKf = 1;
    Parent->DrawObject(this);
    if (Command == cmSysMenu) DoCommand();
}

void TspSkinMainMenuBarButton::MouseUp(int, int, TMouseButton Button) {
    if (!Enabled || Button != mbLeft) return;
    if (Command == cmSysMenu) return;
    FDown = false;
    Parent->DrawObject(this);
    if (EnableMorphing()) StartRedraw();
    if (Active) DoCommand();
}

void TspSkinMainMenuBarButton::MouseEnter() {
    if (FDown && Command == cmSysMenu) {
        FMouseIn = Active = true;
        return;
    }
    if (FDown && EnableMorphing()) {
        FMouseIn = Active = true;
        Parent->DrawObject(this);
        return;
    }
    TspMenuBarObject::MouseEnter();
}

void TspSkinMainMenuBarButton::MouseLeave() {
    if (FDown && Command == cmSysMenu) {
        if (EnableMorphing()) FMorphKf = 1;
        Active = FMouseIn = false;
        return;
    }
    if (FDown && EnableMorphing()) {
        FMouseIn = Active = false;
        Parent->DrawObject(this);
        return;
    }
    TspMenuBarObject::MouseLeave();
}

// ---- TspSkinMainMenuBar

TspSkinMainMenuBar::TspSkinMainMenuBar(TComponent* AOwner) : TspSkinControl(AOwner) {
    FDefItemFont = std::make_unique<TFont>();
    FDefItemFont->SetName("Arial");
    FDefItemFont->SetHeight(14);
    FDefItemFont->SetStyle(TFontStyles());
    FDefItemFont->SetColor(clBtnText);
    MorphTimer = StoppedTimer(25, [this] { MorphTimerProc(); });
    MouseTimer = StoppedTimer(50, [this] { MouseTimerProc(); });
    AnimateTimer = StoppedTimer(25, [this] { AnimateTimerProc(); });
    SetSkinDataName("mainmenubar");
    SetAlign(alTop);
    SetHeight(22);
}

TspSkinMainMenuBar::~TspSkinMainMenuBar() {
    MorphTimer.reset();
    MouseTimer.reset();
    AnimateTimer.reset();
    ObjectList.clear();
}

void TspSkinMainMenuBar::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMainMenu) {
        FMainMenu = nullptr;
        ObjectList.clear();
        ButtonsCount = 0;
        ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    }
    if (AComponent == FSkinnedForm) FSkinnedForm = nullptr;
    if (AComponent == FMergeMenu) FMergeMenu = nullptr;
}

void TspSkinMainMenuBar::SetSkinnedForm(TspSkinnedForm* Value) {
    if (FSkinnedForm) RemoveFreeNotification(FSkinnedForm);
    FSkinnedForm = Value;
    if (FSkinnedForm) {
        FreeNotification(FSkinnedForm);
        FSkinnedForm->SetMainMenuBar(this);
    }
}

void TspSkinMainMenuBar::SetMainMenu(TMainMenu* Value) {
    if (FMainMenu) RemoveFreeNotification(FMainMenu);
    FMainMenu = Value;
    if (FMainMenu) FreeNotification(FMainMenu);
    CreateMenu();
    Invalidate();
}

void TspSkinMainMenuBar::SetDefItemFont(TFont* Value) {
    FDefItemFont->Assign(Value);
    if (!FSkinSupport) Invalidate();
}

void TspSkinMainMenuBar::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (!FSkinSupport && Value > 0) SetWidth(Value);
}

void TspSkinMainMenuBar::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (!FSkinSupport && Value > 0) SetHeight(Value);
}

void TspSkinMainMenuBar::GetSkinData() {
    TspSkinControl::GetSkinData();
    FSkinSupport = false;
    BarPicture = nullptr;
    if (FIndex == -1 || !FSD) return;
    auto* d = dynamic_cast<TspDataSkinMainMenuBar*>(FSD->CtrlList[size_t(FIndex)].get());
    if (!d) return;
    FSkinSupport = true;
    BarSkinRect = d->SkinRect;
    ItemsRect = d->ItemsRect;
    MenuBarItem = d->MenuBarItem;
    CloseButton = d->CloseButton;
    MaxButton = d->MaxButton;
    MinButton = d->MinButton;
    SysMenuButton = d->SysMenuButton;
    TrackMarkColor = d->TrackMarkColor;
    TrackMarkActiveColor = d->TrackMarkActiveColor;
    StretchEffect = d->StretchEffect;
    ItemTransparent = d->ItemTransparent;
    BarPicture = BarPictureOf(FSD, d->PictureIndex);
}

void TspSkinMainMenuBar::BeforeChangeSkinData() {
    FSkinSupport = false;
    TspSkinControl::BeforeChangeSkinData();
    ObjectList.clear();
    ButtonsCount = 0;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
}

void TspSkinMainMenuBar::ChangeSkinData() {
    GetSkinData();
    CreateMenu();
    if (FSkinSupport)
        SetHeight(RectHeight(BarSkinRect));
    else if (FDefaultHeight > 0)
        SetHeight(FDefaultHeight);
    Invalidate();
}

void TspSkinMainMenuBar::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    if (FSkinSupport && RectHeight(BarSkinRect) > 0) AHeight = RectHeight(BarSkinRect);
    TspSkinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    Invalidate();
}

TMainMenu* TspSkinMainMenuBar::GetChildMainMenu() {
    if (FMergeMenu) return FMergeMenu;
    TForm* main = Application ? Application->MainForm() : nullptr;
    TForm* child = main && main->FormStyle() == fsMDIForm ? main->ActiveMDIChild() : nullptr;
    if (!child) return nullptr;
    for (int i = 0; i < child->ComponentCount(); ++i)
        if (auto* m = dynamic_cast<TMainMenu*>(child->Components(i))) return m;
    return nullptr;
}

bool TspSkinMainMenuBar::ChildMenusMerge() const {
    return FMergeMenu || (FSkinnedForm && FSkinnedForm->IsMDIForm());
}

void TspSkinMainMenuBar::CreateMenu() {
    ObjectList.clear();
    ButtonsCount = 0;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    TMainMenu* child = ChildMenusMerge() ? GetChildMainMenu() : nullptr;
    if (!FMainMenu) {
        if (FMDIChildMax) CreateMDIChildButtons();
        return;
    }
    TspDataSkinMainMenuBarItem* data = nullptr;
    if (FSD && !FSD->Empty && !MenuBarItem.empty()) {
        int idx = FSD->GetIndex(MenuBarItem);
        if (idx != -1)
            data = dynamic_cast<TspDataSkinMainMenuBarItem*>(FSD->ObjectList[size_t(idx)].get());
    }
    ChildMenuIn = child != nullptr;
    if (child) ScrollMenu = false;
    std::vector<TMenuItem*> items;
    TMenuItem* root = FMainMenu->Items();
    if (!child) {
        for (int i = 0; i < root->Count(); ++i)
            items.push_back(root->Items(i));
    } else {
        TMenuItem* croot = child->Items();
        for (int i = 0; i < root->Count(); ++i) {
            bool replaced = false;
            for (int j = 0; j < croot->Count(); ++j)
                if (croot->Items(j)->GroupIndex == root->Items(i)->GroupIndex) replaced = true;
            if (!replaced) items.push_back(root->Items(i));
        }
        for (int j = 0; j < croot->Count(); ++j)
            items.push_back(croot->Items(j));
        std::stable_sort(items.begin(), items.end(),
                         [](TMenuItem* a, TMenuItem* b) { return a->GroupIndex < b->GroupIndex; });
    }
    for (TMenuItem* mi : items) {
        if (!mi->Visible) continue;
        auto o = std::make_unique<TspSkinMainMenuBarItem>(this, data);
        o->IDName = mi->Name();
        o->Enabled = o->OldEnabled = mi->Enabled;
        o->MenuItem = mi;
        ObjectList.push_back(std::move(o));
    }
    if (FMDIChildMax) CreateMDIChildButtons();
}

void TspSkinMainMenuBar::UpDateItems() {
    CreateMenu();
    Invalidate();
    ActiveObject = -1;
    MouseTimer->SetEnabled(true);
}

void TspSkinMainMenuBar::UpDateEnabledItems() {
    for (auto* i : Items())
        i->Enabled = i->MenuItem->Enabled;
    Invalidate();
}

void TspSkinMainMenuBar::Merge(TMainMenu* Menu) {
    FMergeMenu = Menu;
    UpDateItems();
}

void TspSkinMainMenuBar::UnMerge() {
    FMergeMenu = nullptr;
    UpDateItems();
}

std::vector<TspSkinMainMenuBarItem*> TspSkinMainMenuBar::Items() const {
    std::vector<TspSkinMainMenuBarItem*> r;
    for (auto& o : ObjectList)
        if (auto* i = dynamic_cast<TspSkinMainMenuBarItem*>(o.get())) r.push_back(i);
    return r;
}

void TspSkinMainMenuBar::CalcItemsRect() {
    if (FSkinSupport)
        NewItemsRect = TRect(ItemsRect.Left, ItemsRect.Top,
                             Width() + ItemsRect.Right - RectWidth(BarSkinRect), ItemsRect.Bottom);
    else
        NewItemsRect = TRect(2, 2, Width() - 2, Height() - 2);
    PlaceMDIChildButtons();
}

TRect TspSkinMainMenuBar::MarkerRect() const {
    return TRect(NewItemsRect.Right - 5, NewItemsRect.Top, NewItemsRect.Right, NewItemsRect.Bottom);
}

void TspSkinMainMenuBar::PaintBar(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    TBitmap B(Width(), Height());
    TCanvas* C = B.Canvas();
    if (!FSkinSupport) {
        FillRectColor(C, TRect(0, 0, Width(), Height()), clBtnFace);
    } else if (FSD->MainMenuBarTransparent) {
        DrawParentBackground(this, C);
    } else if (BarPicture) {
        BuildHorzSkinImage(ItemsRect.Left, RectWidth(BarSkinRect) - ItemsRect.Right, &B, BarPicture,
                           BarSkinRect, Width(), Height(), StretchEffect);
    }
    CalcItemsRect();
    Scroll = false;
    for (auto& o : ObjectList)
        if (o->Visible) o->Draw(C);
    if (Scroll && ScrollMenu) {
        TColor c = FSkinSupport
                       ? SkinColorToColor(MarkerActive ? TrackMarkActiveColor : TrackMarkColor)
                       : (MarkerActive ? clBtnText : clBtnShadow);
        DrawArrow(C, MarkerRect(), c, 2);
    }
    BitBlt(DC, 0, 0, B.Width(), B.Height(), C->Handle(), 0, 0, SRCCOPY);
}

void TspSkinMainMenuBar::Paint() {
    PaintBar(Canvas()->Handle());
}

void TspSkinMainMenuBar::DrawObject(TspMenuBarObject*) {
    // The bar is drawn whole: item backgrounds and the marker depend on it.
    if (!HandleAllocated()) return;
    HDC dc = GetDC(Handle());
    PaintBar(dc);
    ReleaseDC(Handle(), dc);
}

void TspSkinMainMenuBar::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SKIN_CLOSEMENU:
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinMainMenuBarButton*>(o.get());
                b && b->Command == cmSysMenu && b->FDown) {
                b->FDown = false;
                b->Active = b->FMouseIn = false;
                DrawObject(b);
            }
        Message.Result = 0;
        return;
    case CM_MOUSEENTER:
        TspSkinControl::WndProc(Message);
        if (!HasState(csDesigning)) MouseTimer->SetEnabled(true);
        return;
    case CM_MOUSELEAVE:
        TspSkinControl::WndProc(Message);
        if (!HasState(csDesigning)) {
            MouseTimer->SetEnabled(false);
            TestActiveObject(-1, -1);
        }
        return;
    default:
        TspSkinControl::WndProc(Message);
    }
}

void TspSkinMainMenuBar::TestActiveObject(int X, int Y) {
    if (ObjectList.empty()) return;
    OldActiveObject = ActiveObject;
    int hit = -1;
    for (int i = 0; i < int(ObjectList.size()); ++i) {
        auto& o = ObjectList[size_t(i)];
        if (o->Enabled && o->Visible && RectContainsPoint(o->ObjectRect, TPoint(X, Y))) {
            hit = i;
            break;
        }
    }
    if (hit == -1 && OldActiveObject != -1 && MenuActive &&
        dynamic_cast<TspSkinMainMenuBarItem*>(ObjectList[size_t(OldActiveObject)].get()))
        ActiveObject = OldActiveObject;
    else
        ActiveObject = hit;
    if (MouseCaptureObject != -1 && ActiveObject != MouseCaptureObject) ActiveObject = -1;
    if (ActiveObject >= int(ObjectList.size())) ActiveObject = -1;
    if (ActiveObject != OldActiveObject) {
        if (OldActiveObject != -1 && OldActiveObject < int(ObjectList.size()) &&
            ObjectList[size_t(OldActiveObject)]->Enabled)
            ObjectList[size_t(OldActiveObject)]->MouseLeave();
        if (ActiveObject != -1 && ObjectList[size_t(ActiveObject)]->Enabled)
            ObjectList[size_t(ActiveObject)]->MouseEnter();
    }
    if (Scroll && ScrollMenu) {
        bool in = RectContainsPoint(MarkerRect(), TPoint(X, Y));
        if (in != MarkerActive) {
            MarkerActive = in;
            DrawObject(nullptr);
        }
    }
}

void TspSkinMainMenuBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseDown(Button, Shift, X, Y);
    TestActiveObject(X, Y);
    if (ActiveObject != -1) {
        MouseCaptureObject = ActiveObject;
        TspMenuBarObject* o = ObjectList[size_t(ActiveObject)].get();
        o->MouseDown(X, Y, Button);
        // The press may have rebuilt the bar: the double click goes only to
        // the object still there.
        if ((Shift & ssDouble) && ActiveObject >= 0 && size_t(ActiveObject) < ObjectList.size() &&
            ObjectList[size_t(ActiveObject)].get() == o)
            o->DblClick();
    } else if (Scroll && ScrollMenu && RectContainsPoint(MarkerRect(), TPoint(X, Y))) {
        PopupMarkerMenu();
    }
}

void TspSkinMainMenuBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (MouseCaptureObject != -1 && MouseCaptureObject < int(ObjectList.size()))
        ObjectList[size_t(MouseCaptureObject)]->MouseUp(X, Y, Button);
    MouseCaptureObject = -1;
    TspSkinControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinMainMenuBar::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseMove(Shift, X, Y);
    MouseTimer->SetEnabled(true);
}

void TspSkinMainMenuBar::MouseTimerProc() {
    POINT p{};
    GetCursorPos(&p);
    TPoint c = ScreenToClient(TPoint(p.x, p.y));
    if (c.X < 0 || c.Y < 0 || c.X > Width() || c.Y > Height()) {
        MouseTimer->SetEnabled(false);
        TestActiveObject(-1, -1);
        return;
    }
    TestActiveObject(c.X, c.Y);
}

void TspSkinMainMenuBar::MorphTimerProc() {
    bool any = false;
    for (auto& o : ObjectList)
        if (o->EnableMorphing() && o->CanMorphing()) {
            o->DoMorphing();
            any = true;
        }
    if (!any) MorphTimer->SetEnabled(false);
}

void TspSkinMainMenuBar::AnimateTimerProc() {
    bool any = false;
    for (auto* i : Items()) {
        if (!i->EnableAnimation()) continue;
        if (i->Active && i->CurrentFrame <= i->FrameCount) {
            ++i->CurrentFrame;
            any = true;
        } else if (!i->Active && i->CurrentFrame > 0) {
            --i->CurrentFrame;
            any = true;
        }
    }
    if (any)
        DrawObject(nullptr);
    else
        AnimateTimer->SetEnabled(false);
}

void TspSkinMainMenuBar::PopupMarkerMenu() {
    if (!FSkinnedForm || !FMainMenu) return;
    int n = 0;
    for (auto* i : Items())
        if (i->ItemVisible) ++n;
    TRect m = MarkerRect();
    TPoint p = ClientToScreen(m.TopLeft());
    TRect R(p.X, p.Y, p.X + RectWidth(m), p.Y + RectHeight(m));
    FSkinnedForm->SkinMenuOpen();
    // A merged child menu's items follow the main menu's in the marker's menu.
    if (TMainMenu* child = ChildMenusMerge() ? GetChildMainMenu() : nullptr)
        FSkinnedForm->SkinMenu()->Popup2(nullptr, FSD, n, R, FMainMenu->Items(), child->Items(),
                                         false);
    else
        FSkinnedForm->SkinMenu()->Popup(nullptr, FSD, n, R, FMainMenu->Items(), false);
}

bool TspSkinMainMenuBar::CheckMainMenuAccel(int Key) {
    if (!FSkinnedForm || !FSkinnedForm->Form()->Visible()) return false;
    for (auto* i : Items())
        if (i->Enabled && i->ItemVisible && IsAccel(unsigned(Key), i->MenuItem->Caption)) {
            i->MouseEnter();
            if (!(FSkinnedForm->SkinMenu()->FVisible && i->MenuItem->Count() > 0))
                i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}

void TspSkinMainMenuBar::NextMainMenuItem() {
    EnterNextItem(Items());
}

void TspSkinMainMenuBar::PrevMainMenuItem() {
    auto items = SelectableItems(Items());
    if (items.empty()) return;
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k]->Active || items[k]->FDown) {
            items[k]->MouseLeave();
            items[(k + items.size() - 1) % items.size()]->MouseEnter();
            return;
        }
    items.back()->MouseEnter();
}

bool TspSkinMainMenuBar::PressMainMenuItem() {
    if (!FSkinnedForm) return false;
    bool open = FSkinnedForm->SkinMenu()->FVisible;
    for (auto* i : Items())
        if ((i->FDown && i->MenuItem->Count() == 0) || (i->Active && !open)) {
            i->Active = false;
            i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}

void TspSkinMainMenuBar::EnterMainMenu() {
    MenuActive = true;
    auto items = Items();
    TspSkinMainMenuBarItem* first = nullptr;
    for (auto* i : items)
        if (i->Active) {
            first = i;
            break;
        }
    if (!first && !items.empty()) first = items.front();
    if (first) first->MouseEnter();
    if (FSkinnedForm) {
        FSkinnedForm->HookApp();
        FSkinnedForm->InMainMenu = true;
        if (FSkinnedForm->OnMainMenuEnter) FSkinnedForm->OnMainMenuEnter(this);
    }
}

void TspSkinMainMenuBar::CloseMainMenuItem() {
    for (auto* i : Items())
        if (i->FDown) {
            i->FDown = false;
            i->Active = true;
            if (i->EnableMorphing()) i->FMorphKf = 1;
            DrawObject(i);
            return;
        }
}

void TspSkinMainMenuBar::ExitMainMenu() {
    MenuActive = false;
    for (auto* i : Items())
        if (i->FDown || i->Active) {
            i->Active = i->FMouseIn = i->FDown = false;
            if (i->EnableMorphing()) i->FMorphKf = 1;
            if (i->EnableAnimation() && !i->InActiveAnimation) {
                i->CurrentFrame = 0;
                DrawObject(i);
            } else {
                i->StartRedraw();
            }
            break;
        }
    ActiveObject = OldActiveObject = -1;
}

// ---- Caption buttons of a maximized MDI child on the menu bar

void TspSkinMainMenuBar::CreateMDIChildButtons() {
    FreeMDIChildButtons();
    struct ButtonKind {
        const std::string* SkinName;
        const char* DefaultName;
        TStdCommand Command;
    };
    // Each goes to the front: the list ends as system menu, close, maximize, minimize.
    const ButtonKind kinds[] = {{&MinButton, "MinButton", cmMinimize},
                                {&MaxButton, "MaxButton", cmMaximize},
                                {&CloseButton, "CloseButton", cmClose},
                                {&SysMenuButton, "SysMenuButton", cmSysMenu}};
    for (const ButtonKind& s : kinds) {
        TspDataSkinMainMenuBarButton* data = nullptr;
        if (FSkinSupport && FSD && !FSD->Empty) {
            int i = FSD->GetIndex(*s.SkinName);
            if (i != -1)
                data =
                    dynamic_cast<TspDataSkinMainMenuBarButton*>(FSD->ObjectList[size_t(i)].get());
        }
        auto b = std::make_unique<TspSkinMainMenuBarButton>(this, data);
        if (FSkinSupport) {
            b->IDName = *s.SkinName;
        } else {
            b->IDName = s.DefaultName;
            b->Command = s.Command;
        }
        ObjectList.insert(ObjectList.begin(), std::move(b));
        ++ButtonsCount;
    }
    EnableMDIChildButtons();
}

void TspSkinMainMenuBar::FreeMDIChildButtons() {
    ObjectList.erase(std::remove_if(ObjectList.begin(), ObjectList.end(),
                                    [](const std::unique_ptr<TspMenuBarObject>& o) {
                                        return dynamic_cast<TspSkinMainMenuBarButton*>(o.get()) !=
                                               nullptr;
                                    }),
                     ObjectList.end());
    ButtonsCount = 0;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
}

void TspSkinMainMenuBar::EnableMDIChildButtons() {
    TspSkinnedForm* child = FSkinnedForm ? FSkinnedForm->GetMaximizedMDIChildSkinForm() : nullptr;
    TspBorderIcons icons = child ? child->BorderIcons() : 0;
    for (auto& o : ObjectList)
        if (auto* b = dynamic_cast<TspSkinMainMenuBarButton*>(o.get())) {
            switch (b->Command) {
            case cmMinimize:
                b->Enabled = (icons & biMinimize) != 0;
                break;
            case cmMaximize:
                b->Enabled = (icons & biMaximize) != 0;
                break;
            case cmSysMenu:
                b->Enabled = (icons & biSystemMenu) != 0;
                break;
            default:
                b->Enabled = child != nullptr;
                break;
            }
        }
}

void TspSkinMainMenuBar::PlaceMDIChildButtons() {
    if (!FMDIChildMax || ButtonsCount != 4 || ObjectList.size() < 4) return;
    auto size = [this](TspMenuBarObject* o) {
        if (auto* b = dynamic_cast<TspSkinMainMenuBarButton*>(o); b && b->FSkinSupport)
            return TPoint(RectWidth(b->SkinRect), RectHeight(b->SkinRect));
        return TPoint(RectHeight(NewItemsRect), RectHeight(NewItemsRect));
    };
    auto place = [this](TspMenuBarObject* o, int left, TPoint s) {
        int top = NewItemsRect.Top + RectHeight(NewItemsRect) / 2 - s.Y / 2;
        o->ObjectRect = TRect(left, top, left + s.X, top + s.Y);
    };
    TspMenuBarObject* sys = ObjectList[0].get();
    TPoint s = size(sys);
    place(sys, NewItemsRect.Left, s);
    NewItemsRect.Left += s.X + 2;
    for (size_t i = 1; i <= 3; ++i) {
        TspMenuBarObject* o = ObjectList[i].get();
        s = size(o);
        place(o, NewItemsRect.Right - s.X, s);
        NewItemsRect.Right -= s.X + 2;
    }
}

void TspSkinMainMenuBar::MDIChildMaximize() {
    if (FMDIChildMax) return;
    FMDIChildMax = true;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    CreateMDIChildButtons();
    Invalidate();
}

void TspSkinMainMenuBar::MDIChildRestore() {
    bool still = FSkinnedForm && FSkinnedForm->GetMaximizedMDIChildSkinForm();
    if (!still && FMDIChildMax) {
        FMDIChildMax = false;
        FreeMDIChildButtons();
        Invalidate();
    } else if (still) {
        EnableMDIChildButtons();
        Invalidate();
    }
}

void TspSkinMainMenuBarButton::DoCommand() {
    TspSkinnedForm* bar = Parent->SkinnedForm();
    TspSkinnedForm* child = bar ? bar->GetMaximizedMDIChildSkinForm() : nullptr;
    if (!child) return;
    switch (Command) {
    case cmClose:
        child->Form()->Close();
        break;
    case cmMaximize:
        child->SetWindowState(wsNormal);
        break;
    case cmMinimize:
        child->SetWindowState(wsMinimized);
        break;
    case cmSysMenu: {
        Parent->Invalidate();
        TMenuItem* items = child->GetSystemMenuItems();
        TPoint tl = Parent->ClientToScreen(ObjectRect.TopLeft());
        TRect r(tl.X, tl.Y, tl.X + RectWidth(ObjectRect), tl.Y + RectHeight(ObjectRect));
        bar->SkinMenuOpen();
        TspSkinData* sd = bar->MenusSkinData() ? bar->MenusSkinData() : bar->SkinData();
        bar->SkinMenu()->Popup(Parent, sd, 0, r, items, Parent->PopupToUp);
        break;
    }
    default:
        break;
    }
}

void TspSkinMainMenuBarButton::DblClick() {
    if (Command != cmSysMenu) return;
    TspSkinnedForm* bar = Parent->SkinnedForm();
    TspSkinnedForm* child = bar ? bar->GetMaximizedMDIChildSkinForm() : nullptr;
    if (!child) return;
    if (bar->SkinMenu()->FVisible) bar->SkinMenu()->Hide();
    bar->SkinMenuClose();
    child->Form()->Close();
}
