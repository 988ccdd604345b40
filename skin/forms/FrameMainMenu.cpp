// The main menu drawn in the skinned form's frame: its items and the form's
// keyboard walk over them. The items are frame objects (FrameObjects.cpp).
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/os/codepage.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinMenus.h"

using namespace skinned_form_internal;

TspSkinMainMenuItem::TspSkinMainMenuItem(TspSkinnedForm* AParent, TspDataSkinMainMenuItem* AData)
    : TspActiveSkinObject(AParent, AData) {
    if (AData) {
        DownRect = AData->DownRect;
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
    }
    if (DownRect.IsEmpty()) DownRect = ActiveSkinRect.IsEmpty() ? SkinRect : ActiveSkinRect;
    if (ActiveSkinRect.IsEmpty()) Morphing = false;
    OldEnabled = Enabled;
}

void TspSkinMainMenuItem::SetItemFont(TCanvas* C) const {
    C->Font()->SetName(FontName);
    C->Font()->SetStyle(FontStyle);
    C->Font()->SetHeight(FontHeight);
    if (SD && SD->ResourceStrData()) C->Font()->SetCharset(SD->ResourceStrData()->CharSet());
}

void TspSkinMainMenuItem::Layout() {
    TBitmap measure(1, 1);
    SetItemFont(measure.Canvas());
    TRect r(0, 0, 0, 0);
    DrawWideText(measure.Canvas(), Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string()), r,
                 DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    int left = 0;
    TspSkinMainMenuItem* before = nullptr;
    for (auto* i : Parent->MainMenuItems()) {
        if (i == this) break;
        before = i;
    }
    if (before) left = before->ObjectRect.Right;
    if (left == 0) left = Parent->NewMainMenuRect.Left;
    int top = Parent->NewMainMenuRect.Top;
    ObjectRect = TRect(left, top, left + SkinRect.Width() - TextRct.Width() + r.Width() + 2,
                       top + SkinRect.Height());
    ShowItemIfFits(this, ObjectRect.Right <= Parent->NewMainMenuRect.Right);
}

void TspSkinMainMenuItem::BuildImage(TBitmap* B, const TRect& S, bool ActiveLook) {
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    B->SetSize(w, h);
    if (ActivePicture && !S.IsEmpty()) BuildHorzSkinImage(LO, RO, B, ActivePicture, S, w, h, false);
    TCanvas* C = B->Canvas();
    SetItemFont(C);
    std::u16string text;
    TRect tr = MeasureItemCaption(this, C, ActiveLook, text);
    DrawWideText(C, text, tr, DT_CENTER | DT_SINGLELINE);
}

void TspSkinMainMenuItem::Draw(TCanvas* Cnvs, bool UpDate) {
    if (SkinRect.IsEmpty() || TextRct.IsEmpty()) return;
    Layout();
    TempObjectRect = TRect();
    // Below the client area the form paints the frame's bottom part into a
    // bitmap of its own, which starts at the client rect's bottom.
    if (Parent->SupportNCArea() && !UpDate && Parent->NewClRect.Bottom < ObjectRect.Top) {
        TempObjectRect = ObjectRect;
        ObjectRect = Offset(ObjectRect, 0, -Parent->NewClRect.Bottom);
    }
    if (ItemVisible) {
        TBitmap B;
        bool morphing = EnableMorphing() && FMorphKf > 0 && FMorphKf < 1;
        if (FDown) {
            BuildImage(&B, DownRect, true);
        } else if (!morphing) {
            if (Active)
                BuildImage(&B, ActiveSkinRect.IsEmpty() ? SkinRect : ActiveSkinRect, true);
            else
                BuildImage(&B, SkinRect, false);
        } else {
            TBitmap A2;
            BuildImage(&B, SkinRect, false);
            BuildImage(&A2, ActiveSkinRect, true);
            MorphBitmapInto(&B, &A2, MorphKind, FMorphKf);
        }
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
    }
    if (!TempObjectRect.IsEmpty()) ObjectRect = TempObjectRect;
}

bool TspSkinMainMenuItem::ReleaseOtherDownItem() {
    // Menu items often have no name: the other item is another object.
    return ReleaseDownItemBesides(Parent->MainMenuItems(), this);
}

void TspSkinMainMenuItem::LeaveOtherActiveItem() {
    LeaveActiveItemBesides(Parent->MainMenuItems(), this);
}

void TspSkinMainMenuItem::MouseEnter() {
    EnterMainMenuItem(this);
}

void TspSkinMainMenuItem::MouseLeave() {
    Active = FMouseIn = false;
    if (EnableMorphing() && FDown) FMorphKf = 0;
    StartRedraw();
    Parent->DoObjectMouseLeave(IDName);
}

void TspSkinMainMenuItem::MouseDown(int X, int Y, TMouseButton Button) {
    if (!Enabled) return;
    if (Button == mbLeft && MenuItem) {
        if (MenuItem->Count() > 0) {
            SetDown(true);
        } else {
            SetDown(false);
            // The keyboard goes back to the form before the command runs.
            if (Parent->InMainMenu) Parent->ExitMainMenu();
            Parent->InMenu = false;
            std::weak_ptr<bool> alive = Parent->AliveToken();
            TspSkinnedForm* form = Parent;
            TMenuItem* mi = MenuItem;
            if (TMenu* pm = mi->GetParentMenu())
                pm->DispatchCommand(mi->Command());
            else
                mi->Click();
            // The command may have rebuilt the menu or closed the form.
            if (alive.expired() || !form->OwnsObject(this)) return;
        }
    }
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinMainMenuItem::SetDown(bool Value) {
    FDown = Value;
    if (Value) {
        Redraw();
        TrackMenu();
        if (!Parent->InMainMenu) {
            Parent->InMainMenu = true;
            if (Parent->OnMainMenuEnter) Parent->OnMainMenuEnter(Parent);
        }
        return;
    }
    Active = false;
    if (EnableMorphing()) FMorphKf = 1;
    StartRedraw();
}

void TspSkinMainMenuItem::TrackMenu() {
    if (!MenuItem) return;
    Parent->SkinMenuOpen();
    TRect R = ObjectRectToScreen();
    TspSkinData* sd = nullptr;
    bool up = false;
    if (auto* m = dynamic_cast<TspSkinMainMenu*>(MenuItem->GetParentMenu()); m && m->SkinData()) {
        sd = m->SkinData();
        up = sd->MainMenuPopupUp;
    } else {
        sd = Parent->MenusSkinData() ? Parent->MenusSkinData() : Parent->SkinData();
        up = Parent->SkinData() && Parent->SkinData()->MainMenuPopupUp;
    }
    Parent->SkinMenu()->Popup(nullptr, sd, 0, R, MenuItem, up);
}

// The form's side of the frame main menu.

void TspSkinnedForm::CreateMainMenuItems() {
    if (!FMainMenu || FMainMenuBar || !HasSkin()) return;
    int idx = FSD->GetIndex("MAINMENUITEM");
    if (idx == -1) return;
    auto* data = dynamic_cast<TspDataSkinMainMenuItem*>(FSD->ObjectList[size_t(idx)].get());
    if (!data) return;
    TMenuItem* root = FMainMenu->Items();
    for (int i = 0; i < root->Count(); ++i) {
        TMenuItem* mi = root->Items(i);
        if (!mi->Visible) continue;
        auto o = std::make_unique<TspSkinMainMenuItem>(this, data);
        o->IDName = mi->Name();
        o->Enabled = o->OldEnabled = mi->Enabled;
        o->MenuItem = mi;
        ObjectList.push_back(std::move(o));
    }
}

std::vector<TspSkinMainMenuItem*> TspSkinnedForm::MainMenuItems() const {
    std::vector<TspSkinMainMenuItem*> r;
    for (auto& o : ObjectList)
        if (auto* i = dynamic_cast<TspSkinMainMenuItem*>(o.get())) r.push_back(i);
    return r;
}

bool TspSkinnedForm::CheckMainMenuAccel(int Key) {
    if (FMainMenuBar) return FMainMenuBar->CheckMainMenuAccel(Key);
    for (auto* i : MainMenuItems())
        if (i->Enabled && i->ItemVisible && i->MenuItem &&
            IsAccel(unsigned(Key), i->MenuItem->Caption)) {
            i->MouseEnter();
            if (!(FSkinMenu->FVisible && i->MenuItem->Count() > 0)) i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}

void TspSkinnedForm::EnterMainMenu() {
    TspSkinMainMenuItem* first = nullptr;
    for (auto* i : MainMenuItems())
        if (i->Enabled && i->ItemVisible && (i->Active || !first)) {
            first = i;
            if (i->Active) break;
        }
    if (first) first->MouseEnter();
    InMainMenu = true;
    HookApp();
    if (OnMainMenuEnter) OnMainMenuEnter(this);
}

void TspSkinnedForm::NextMainMenuItem() {
    EnterNextItem(MainMenuItems());
}

void TspSkinnedForm::PrevMainMenuItem() {
    auto items = SelectableItems(MainMenuItems());
    if (items.empty()) return;
    for (size_t k = items.size(); k-- > 0;)
        if (items[k]->Active || items[k]->FDown) {
            items[k]->MouseLeave();
            items[(k + items.size() - 1) % items.size()]->MouseEnter();
            return;
        }
    items.back()->MouseEnter();
}

bool TspSkinnedForm::PressMainMenuItem() {
    if (FMainMenuBar) return FMainMenuBar->PressMainMenuItem();
    bool open = FSkinMenu->FVisible;
    for (auto* i : MainMenuItems())
        if (i->MenuItem &&
            ((i->FDown && i->MenuItem->Count() == 0) || (i->Active && !i->FDown && !open))) {
            i->Active = false;
            i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}
