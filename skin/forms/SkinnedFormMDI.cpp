// The skinned form's MDI operations: its children in the window menu and on the
// tabs bar, arranging them, the MDI background and the hook of the MDI client.
// MDI helpers come from SkinnedFormInternal.h.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>
#include <cmath>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

using namespace skinned_form_internal;

namespace {

constexpr const char* kChildItem = "_DSFCHILDITEM";

constexpr const char* kClientOwnerProp = "lantrove.skinnedform.mdiclient";

bool itemBelongsTo(const TMenuItem* Item, const TForm* Child) {
    return Item->Name().find(kChildItem) != std::string::npos &&
           withoutFirst(Item->Name(), kChildItem) == Child->Name();
}

} // namespace

bool TspSkinnedForm::IsMDIChild() const {
    return FForm->FormStyle() == fsMDIChild;
}

bool TspSkinnedForm::IsMDIForm() const {
    return FForm->FormStyle() == fsMDIForm;
}

TspSkinnedForm* TspSkinnedForm::MainSkinForm() {
    TForm* main = Application ? Application->MainForm() : nullptr;
    return main ? GetSkinnedForm(main) : nullptr;
}

void TspSkinnedForm::SetMDITabsBar(TspSkinMDITabsBar* Value) {
    if (FMDITabsBar == Value) return;
    if (FMDITabsBar) RemoveFreeNotification(FMDITabsBar);
    FMDITabsBar = Value;
    if (Value) {
        FreeNotification(Value);
        if (Value->SkinnedForm() != this) Value->SetSkinnedForm(this);
    }
}

TRect TspSkinnedForm::GetMDIAreaRect() const {
    TForm* f = Application ? Application->MainForm() : nullptr;
    if (!f) return TRect();
    int l = 0, t = 0, r = f->ClientWidth(), b = f->ClientHeight();
    for (int i = 0; i < f->ControlCount(); ++i) {
        TControl* c = f->Controls(i);
        if (!c->Visible()) continue;
        switch (c->Align()) {
        case alLeft:
            l = std::max(l, c->Left() + c->Width());
            break;
        case alTop:
            t = std::max(t, c->Top() + c->Height());
            break;
        case alRight:
            r = std::min(r, c->Left());
            break;
        case alBottom:
            b = std::min(b, c->Top());
            break;
        default:
            break;
        }
    }
    return TRect(l, t, std::max(l, r), std::max(t, b));
}

TForm* TspSkinnedForm::GetMaximizedMDIChild() const {
    TForm* main = Application ? Application->MainForm() : nullptr;
    if (!main || main->FormStyle() != fsMDIForm) return nullptr;
    auto maximized = [](TForm* f) {
        TspSkinnedForm* sf = f ? GetSkinnedForm(f) : nullptr;
        return sf && sf->WindowState() == wsMaximized;
    };
    if (TForm* a = main->ActiveMDIChild(); maximized(a)) return a;
    for (TForm* f : mdiChildrenOf(main))
        if (maximized(f)) return f;
    return nullptr;
}

TspSkinnedForm* TspSkinnedForm::GetMaximizedMDIChildSkinForm() const {
    for (TForm* f : mdiChildrenOf(Application ? Application->MainForm() : nullptr))
        if (TspSkinnedForm* sf = GetSkinnedForm(f); sf && sf->WindowState() == wsMaximized)
            return sf;
    return nullptr;
}

TspSkinnedForm* TspSkinnedForm::GetActiveMDIChildSkinForm() const {
    TForm* main = Application ? Application->MainForm() : nullptr;
    TForm* a = main ? main->ActiveMDIChild() : nullptr;
    return a ? GetSkinnedForm(a) : nullptr;
}

void TspSkinnedForm::SendMDIClientResized() {
    if (!IsMDIForm()) return;
    for (TForm* f : mdiChildrenOf(FForm))
        if (f->HandleAllocated()) SendMessage(f->Handle(), WM_SKIN_MDICLIENTRESIZED, 0, 0);
    ArrangeMinimizedChildren();
}

void TspSkinnedForm::ArrangeMinimizedChildren() {
    for (TForm* f : mdiChildrenOf(FForm))
        if (TspSkinnedForm* sf = GetSkinnedForm(f); sf && sf->WindowState() == wsMinimized) {
            TPoint p;
            sf->GetMinimizedPosition(p);
            f->SetBounds(p.X, p.Y, f->Width(), f->Height());
        }
}

std::string TspSkinnedForm::FrameCaptionText() const {
    std::string text = FForm->Caption();
    if (IsMDIForm() && FMDIChildMaximized)
        if (TForm* child = GetMaximizedMDIChild()) text += " - [" + child->Caption() + "]";
    return text;
}

void TspSkinnedForm::RefreshMainMDIViews() {
    TspSkinnedForm* main = MainSkinForm();
    if (!main || main == this) return;
    if (main->FMainMenuBar) main->FMainMenuBar->Invalidate();
    if (main->FMDITabsBar) main->FMDITabsBar->UpdateActiveTabs();
}

void TspSkinnedForm::AddChildToMenu(TForm* Child) {
    TspSkinnedForm* main = MainSkinForm();
    TMenuItem* menu = main ? main->Form()->WindowMenu : nullptr;
    if (!menu) return;
    std::string name = Child->Name() + kChildItem;
    // One item per child: one left over from an earlier showing goes first.
    delete FindComponent(name);
    auto* item = new TMenuItem(this);
    item->SetName(name);
    item->Caption = Child->Caption();
    item->OnClick = [this](TObject* Sender) { MDIItemClick(Sender); };
    menu->Add(item);
}

void TspSkinnedForm::DeleteChildFromMenu(TForm* Child) {
    TspSkinnedForm* main = MainSkinForm();
    TMenuItem* menu = main ? main->Form()->WindowMenu : nullptr;
    if (!menu) return;
    for (int i = 0; i < menu->Count(); ++i)
        if (itemBelongsTo(menu->Items(i), Child)) {
            delete menu->Items(i);
            break;
        }
    if (main->Form()->MDIChildCount() == 0)
        for (int i = 0; i < menu->Count(); ++i)
            if (menu->Items(i)->Name().find(kChildItem) != std::string::npos) {
                delete menu->Items(i);
                break;
            }
}

void TspSkinnedForm::UpDateChildCaptionInMenu(TForm* Child) {
    TspSkinnedForm* main = MainSkinForm();
    TMenuItem* menu = main ? main->Form()->WindowMenu : nullptr;
    if (!menu) return;
    for (int i = 0; i < menu->Count(); ++i)
        if (itemBelongsTo(menu->Items(i), Child)) {
            menu->Items(i)->Caption = Child->Caption();
            return;
        }
}

void TspSkinnedForm::UpDateChildActiveInMenu() {
    TspSkinnedForm* main = MainSkinForm();
    TMenuItem* menu = main ? main->Form()->WindowMenu : nullptr;
    if (!menu) return;
    // Without an active child no item is checked.
    TForm* active = main->Form()->ActiveMDIChild();
    for (int i = 0; i < menu->Count(); ++i) {
        TMenuItem* item = menu->Items(i);
        if (item->Name().find(kChildItem) == std::string::npos) continue;
        item->Checked = active && itemBelongsTo(item, active);
    }
}

void TspSkinnedForm::MDIItemClick(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) return;
    std::string name = withoutFirst(item->Name(), kChildItem);
    for (TForm* f : mdiChildrenOf(Application ? Application->MainForm() : nullptr))
        if (f->Name() == name) {
            restoreMinimized(f);
            showMDIChild(f);
        }
}

void TspSkinnedForm::AddChildToBar(TForm* Child) {
    bool accept = true;
    if (TspSkinnedForm* own = GetSkinnedForm(Child); own && own->OnAcceptToMDITabsBar)
        own->OnAcceptToMDITabsBar(accept);
    TspSkinnedForm* main = MainSkinForm();
    if (accept && main && main->FMDITabsBar) main->FMDITabsBar->AddTab(Child);
}

void TspSkinnedForm::DeleteChildFromBar(TForm* Child) {
    TspSkinnedForm* main = MainSkinForm();
    if (main && main->FMDITabsBar) main->FMDITabsBar->DeleteTab(Child);
}

void TspSkinnedForm::RefreshMDIBarTab(TForm* Child) {
    TspSkinnedForm* main = MainSkinForm();
    if (!main || !main->FMDITabsBar) return;
    for (auto& t : main->FMDITabsBar->ObjectList)
        if (t->Child == Child) main->FMDITabsBar->DrawTabNow(t.get());
}

void TspSkinnedForm::RestoreAll() {
    if (!IsMDIForm()) return;
    for (TForm* f : mdiChildrenOf(FForm))
        if (TspSkinnedForm* sf = GetSkinnedForm(f)) {
            if (sf->WindowState() != wsNormal) sf->SetWindowState(wsNormal);
            if (sf->WindowState() == wsNormal && sf->RollUpState()) sf->SetRollUpState(false);
        }
}

void TspSkinnedForm::MinimizeAll() {
    if (!IsMDIForm()) return;
    for (TForm* f : mdiChildrenOf(FForm))
        if (TspSkinnedForm* sf = GetSkinnedForm(f)) sf->SetWindowState(wsMinimized);
}

void TspSkinnedForm::MaximizeAll() {
    if (!IsMDIForm()) return;
    for (TForm* f : mdiChildrenOf(FForm))
        if (TspSkinnedForm* sf = GetSkinnedForm(f)) sf->SetWindowState(wsMaximized);
}

void TspSkinnedForm::CloseAll() {
    if (!IsMDIForm()) return;
    std::vector<TForm*> list = mdiChildrenOf(FForm);
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        (*it)->Close();
}

void TspSkinnedForm::Tile() {
    if (!IsMDIForm()) return;
    RestoreAll();
    std::vector<TForm*> list = mdiChildrenOf(FForm);
    const TRect area = GetMDIAreaRect();
    const int W = area.Width(), H = area.Height();
    int count = int(list.size());
    int cols = int(std::sqrt(double(count)));
    if (cols < 1) return;
    int rows = count / cols + (count > (count / cols) * cols ? 1 : 0);
    int cw = W / cols, rh = H / rows;
    int right = W, bottom = H;
    for (int i = count - 1; i >= 0; --i) {
        list[size_t(i)]->SetBounds(std::max(0, right - cw), std::max(0, bottom - rh), cw, rh);
        bottom -= rh;
        if (bottom - rh < 0 && i > 0) {
            bottom = H;
            right -= cw;
            cols = std::max(1, cols - 1);
            rows = std::max(1, i / cols + (i % cols ? 1 : 0));
            rh = H / rows;
        }
    }
}

void TspSkinnedForm::Cascade() {
    if (!IsMDIForm()) return;
    RestoreAll();
    std::vector<TForm*> list = mdiChildrenOf(FForm);
    if (list.empty()) return;
    const TRect area = GetMDIAreaRect();
    const int W = area.Width(), H = area.Height();
    int s = FSkinSupport ? NewClRect.Top : DefCaptionHeight() + 3;
    // A skinned frame whose client starts at the top gives no step: the default one stands in.
    if (s <= 0) s = DefCaptionHeight() + 3;
    int count = int(list.size());
    int k = (W - int(std::lround(W * 0.8))) / s;
    int steps = count < k ? count - 1 : k;
    int cw = std::max(W - s * steps, GetMinWidth());
    int ch = std::max(H - s * steps, GetMinHeight());
    int o = 0;
    for (int i = count - 1; i >= 0; --i) {
        TForm* f = list[size_t(i)];
        int w = f->BorderStyle == bsSingle ? f->Width() : cw;
        int h = f->BorderStyle == bsSingle ? f->Height() : ch;
        if (o + w > W || o + h > H) o = 0;
        f->SetBounds(o, o, w, h);
        o += s;
    }
}

void TspSkinnedForm::PaintBG3(HDC DC) {
    if (!HasSkin()) return;
    TBitmap* pic = pictureOf(FSD, FSD->MDIBGPictureIndex);
    if (!pic) {
        PaintBG(DC);
        return;
    }
    FillBackground(DC, pic, FSD->MDIBGStretchEffect, FSD->MDIBGStretchType);
}

void TspSkinnedForm::PaintMDIBGDefault(HDC DC) {
    TCanvas c;
    c.SetHandle(DC);
    c.Brush()->SetColor(clAppWorkSpace);
    c.FillRect(FForm->ClientRect());
    if (!FLogoBitMap->Empty()) DrawLogo(&c);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::HookMDIClient() {
    HWND client = FForm->ClientHandle();
    if (!client || client == FHookedClient) return;
    UnHookMDIClient();
    SetProp(client, kClientOwnerProp, this);
    FPrevClientProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClientWndProc)));
    FHookedClient = client;
    RefreshBounds();
}

void TspSkinnedForm::UnHookMDIClient() {
    if (!FHookedClient) return;
    if (IsWindow(FHookedClient)) {
        SetWindowLongPtr(FHookedClient, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevClientProc));
        RemoveProp(FHookedClient, kClientOwnerProp);
    }
    FHookedClient = 0;
    FPrevClientProc = nullptr;
}

LRESULT TspSkinnedForm::ClientWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TspSkinnedForm*>(GetProp(hwnd, kClientOwnerProp));
    if (!self) return DefWindowProc(hwnd, msg, wParam, lParam);
    WNDPROC prev = self->FPrevClientProc;
    switch (msg) {
    case WM_SIZE: {
        LRESULT r = CallWindowProc(prev, hwnd, msg, wParam, lParam);
        self->SendMDIClientResized();
        TspSkinData* sd = self->FSD;
        bool skin = sd && !sd->Empty;
        bool mdiPic = skin && sd->MDIBGPictureIndex != -1;
        if (!self->FLogoBitMap->Empty() || (skin && sd->StretchEffect && !mdiPic) ||
            (skin && sd->MDIBGStretchEffect && mdiPic))
            InvalidateRect(hwnd, nullptr, 1);
        return r;
    }
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        TspSkinData* sd = self->FSD;
        if (!sd || sd->Empty)
            self->PaintMDIBGDefault(dc);
        else if (sd->MDIBGPictureIndex != -1)
            self->PaintBG3(dc);
        else if (sd->BGPictureIndex == -1)
            self->PaintBG(dc);
        else
            self->PaintBG2(dc);
        return 1;
    }
    case WM_NCACTIVATE:
        return 1;
    default:
        return CallWindowProc(prev, hwnd, msg, wParam, lParam);
    }
}
