// Helpers and constants shared by the source files of the skinned form and its
// parts (frame objects, menu bar, layered border, MDI tabs), and the menu
// popup window's timers. Private to skin/forms: the form's files bring it in
// with a using-directive.
#pragma once

#include "skin/forms/SkinnedForm.h"

#include <functional>
#include <memory>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/os/codepage.h"
#include "platform/win/mdi.h"
#include "platform/win/messages.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

namespace skinned_form_internal {

constexpr int kDefBorder = 3;
// Timer of the form window that ends the show transition.
constexpr UINT_PTR kShowTimerId = 1;

// A timer that calls Proc every Ms ms once it is enabled; it starts stopped.
inline std::unique_ptr<TTimer> StoppedTimer(unsigned Ms, std::function<void()> Proc) {
    auto t = std::make_unique<TTimer>(nullptr);
    t->SetEnabled(false);
    t->SetInterval(Ms);
    t->SetOnTimer([Proc](TObject*) { Proc(); });
    return t;
}

// The minimize command of a form's button: to the tray when the form always
// goes there, back to normal when a form with its own frame is minimized.
inline void MinimizeOrRestore(TspSkinnedForm* F) {
    if (F->AlwaysMinimizeToTray)
        F->MinimizeToTray();
    else if (F->SupportNCArea() && F->WindowState() == wsMinimized)
        F->SetWindowState(wsNormal);
    else
        F->SetWindowState(wsMinimized);
}

// The main menu items the keyboard can move to: enabled and shown.
template <class Item> std::vector<Item*> SelectableItems(const std::vector<Item*>& All) {
    std::vector<Item*> r;
    for (auto* i : All)
        if (i->Enabled && i->ItemVisible) r.push_back(i);
    return r;
}

// A main menu item that does not fit is hidden and disabled; its enabled state
// comes back when it fits again.
template <class Item> void ShowItemIfFits(Item* I, bool Fits) {
    if (!Fits) {
        if (I->ItemVisible) {
            I->OldEnabled = I->Enabled;
            I->Enabled = false;
            I->ItemVisible = false;
        }
    } else if (!I->ItemVisible) {
        I->ItemVisible = true;
        I->Enabled = I->OldEnabled;
    }
}

// The mouse comes onto a main menu item. When another item is open, its
// submenu follows the mouse here (true); else the active item lets go and this
// one lights up (false).
template <class Item> bool EnterMainMenuItem(Item* I) {
    if (I->ReleaseOtherDownItem()) {
        I->Active = I->FMouseIn = true;
        if (I->EnableMorphing()) I->FMorphKf = 1;
        I->SetDown(true);
        return true;
    }
    I->LeaveOtherActiveItem();
    I->FMouseIn = I->Active = true;
    I->StartRedraw();
    return false;
}

// Moves from the active or open main menu item to the next one, round the
// end; enters the first when none is active.
template <class Item> void EnterNextItem(const std::vector<Item*>& All) {
    auto items = SelectableItems(All);
    if (items.empty()) return;
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k]->Active || items[k]->FDown) {
            items[k]->MouseLeave();
            items[(k + 1) % items.size()]->MouseEnter();
            return;
        }
    items.front()->MouseEnter();
}

// Lifts the main menu item other than Self that is down; true when there was
// one.
template <class Item> bool ReleaseDownItemBesides(const std::vector<Item*>& All, const Item* Self) {
    for (auto* i : All)
        if (i != Self && i->FDown) {
            i->SetDown(false);
            return true;
        }
    return false;
}

// The main menu item other than Self that is active loses the mouse.
template <class Item> void LeaveActiveItemBesides(const std::vector<Item*>& All, const Item* Self) {
    for (auto* i : All)
        if (i != Self && i->Active) {
            i->MouseLeave();
            return;
        }
}

// Colours C's font (set already) for the main menu item's state and measures
// its caption, given back in Text, at its text place: the rectangle to draw
// the caption in.
template <class Item>
TRect MeasureItemCaption(const Item* I, TCanvas* C, bool ActiveLook, std::u16string& Text) {
    C->Brush()->SetStyle(bsClear);
    TColor fc = I->FDown                              ? I->DownFontColor
                : ActiveLook                          ? I->ActiveFontColor
                : I->MenuItem && I->MenuItem->Enabled ? I->FontColor
                                                      : I->UnEnabledFontColor;
    C->Font()->SetColor(SkinColorToColor(fc));
    Text = Utf8ToUtf16(I->MenuItem ? I->MenuItem->Caption : std::string());
    TRect tr(I->TextRct.Left, I->TextRct.Top, I->TextRct.Left, I->TextRct.Top);
    DrawWideText(C, Text, tr, DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    tr.Right += 2;
    return tr;
}

inline bool PtIn(const TRect& R, const TPoint& P) {
    return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}

inline TRect Offset(TRect R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

inline void ApplyInActiveEffect(TBitmap* B, TspInActiveEffect E) {
    if (!B || B->Width() <= 0 || B->Height() <= 0) return;
    auto owned = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!owned) return;
    TspEffectBmp& eb = *owned;
    switch (E) {
    case ieBrightness:
        eb.ChangeBrightness(0.5);
        break;
    case ieDarkness:
        eb.ChangeDarkness(0.3);
        break;
    case ieGrayScale:
        eb.GrayScale();
        break;
    case ieNoise:
        eb.AddMonoNoise(50);
        break;
    case ieSplitBlur:
        eb.SplitBlur(1);
        break;
    case ieInvert:
        eb.Invert();
        break;
    }
    eb.Draw(B->Canvas()->Handle(), 0, 0);
}

// ---- Frame-object pictures

inline TBitmap* PictureAt(TspSkinData* SD, int Index) {
    if (!SD || Index < 0 || Index >= int(SD->FActivePictures.size())) return nullptr;
    return SD->FActivePictures[size_t(Index)].get();
}

inline bool HasPart(TBitmap* P, const TRect& R) {
    return P && P->Width() > 0 && P->Height() > 0 && !R.IsEmpty();
}

// P[Src] stretched into a new bitmap of W x H.
inline void StretchPart(TBitmap* B, TBitmap* P, const TRect& Src, int W, int H) {
    B->SetSize(W, H);
    if (HasPart(P, Src)) B->Canvas()->CopyRect(TRect(0, 0, W, H), P->Canvas(), Src);
}

// Moves A toward B by Kf with the transition of Kind and draws the result.
inline void DrawMorphed(TCanvas* Cnvs, int X, int Y, TBitmap* A, TBitmap* B, double Kf,
                        TMorphKind Kind) {
    if (A->Width() <= 0 || A->Height() <= 0) return;
    auto ea = TspEffectBmp::CreateFromhWnd(A->Handle());
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!ea || !eb) return;
    MorphEffectBmp(ea.get(), eb.get(), Kind, Kf);
    ea->Draw(Cnvs->Handle(), X, Y);
}

inline void FillRectColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FillRect(R);
}

// ---- MDI children

inline std::string withoutFirst(std::string S, const std::string& What) {
    size_t p = S.find(What);
    if (p != std::string::npos) S.erase(p, What.size());
    return S;
}

inline std::vector<TForm*> mdiChildrenOf(TForm* Main) {
    std::vector<TForm*> list;
    if (!Main || Main->FormStyle() != fsMDIForm) return list;
    for (int i = 0; i < Main->MDIChildCount(); ++i)
        if (TForm* f = Main->MDIChildren(i)) list.push_back(f);
    return list;
}

// Shows a child and makes it the client's active one.
inline void showMDIChild(TForm* Child) {
    Child->Show();
    if (HWND client = MDIClientOf(Child->Handle()))
        SendMessage(client, WM_MDIACTIVATE, WPARAM(Child->Handle()), 0);
}

inline void restoreMinimized(TForm* Child) {
    if (TspSkinnedForm* sf = GetSkinnedForm(Child); sf && sf->WindowState() == wsMinimized)
        sf->SetWindowState(wsNormal);
}

inline TBitmap* pictureOf(TspSkinData* SD, int Index) {
    if (!SD || Index < 0 || size_t(Index) >= SD->FActivePictures.size()) return nullptr;
    return SD->FActivePictures[size_t(Index)].get();
}

} // namespace skinned_form_internal
