#include "classlib/menus.h"

#include "classlib/actnlist.h"
#include "classlib/typinfo.h"

#include <algorithm>

namespace {

struct TMenuRegistration {
    TMenuRegistration() {
        auto item = [](TObject* o) { return static_cast<TMenuItem*>(o); };
        RegisterPublished<TMenuItem, TComponent>(
            {ObjectProp("Action", "TBasicAction",
                        [=](TObject* o) -> TObject* { return item(o)->Action(); }),
             TextProp(
                 "Caption", "TCaption", [=](TObject* o) { return item(o)->Caption; },
                 [=](TObject* o, const std::string& v) { item(o)->Caption = v; }),
             TextProp(
                 "Hint", "string", [=](TObject* o) { return item(o)->Hint; },
                 [=](TObject* o, const std::string& v) { item(o)->Hint = v; })});
    }
} g_menuRegistration;

} // namespace

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    if (FParent) FParent->Remove(this);
    Clear();
    SetAction(nullptr);
}

void TMenuItem::SetAction(TBasicAction* Value) {
    if (FAction == Value) return;
    if (FAction) RemoveFreeNotification(FAction);
    FAction = Value;
    if (FAction) FreeNotification(FAction);
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
    return FItems[size_t(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

void TMenuItem::Add(const std::vector<TMenuItem*>& AItems) {
    for (TMenuItem* item : AItems)
        Add(item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item == this) throw EMenuError("Menu inserted twice");
    for (TMenuItem* p = FParent; p; p = p->FParent)
        if (p == Item) throw EMenuError("Menu inserted twice");
    if (Item->FParent) Item->FParent->Remove(Item);
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    Item->FParent = nullptr;
}

void TMenuItem::Delete(int Index) {
    Remove(Items(Index));
}

void TMenuItem::Clear() {
    while (!FItems.empty()) {
        TMenuItem* last = FItems.back();
        Remove(last);
        delete last;
    }
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TMenuItem::Click() {
    if (!Enabled) return;
    if (OnClick)
        OnClick(this);
    else if (FAction)
        FAction->Execute();
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAction) FAction = nullptr;
}

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {}

TMenu::~TMenu() {
    delete FItems;
}
