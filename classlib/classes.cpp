#include "classlib/classes.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

std::string TObject::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : mangled;
    std::free(demangled);
    // Drop namespaces and template arguments' qualifiers from the front.
    size_t angle = name.find('<');
    size_t colon = name.rfind("::", angle);
    if (colon != std::string::npos) name.erase(0, colon + 2);
    return name;
}

// ---------------------------------------------------------------------------

void TPersistent::Assign(TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) {
    std::string from = "nil";
    if (Dest != this) from = ClassName();
    throw EConvertError("Cannot assign a " + from + " to a " +
                        (Dest ? Dest->ClassName() : std::string("nil")));
}

// ---------------------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell every component that asked to hear of this one's end.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = other->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& NewName) {
    if (NewName == FName) return;
    if (!NewName.empty() && FOwner) {
        TComponent* existing = FOwner->FindComponent(NewName);
        if (existing && existing != this)
            throw EComponentError("A component named " + NewName + " already exists");
    }
    FName = NewName;
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= int(FComponents.size()))
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[size_t(Index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::InsertIntoList(TComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::RemoveFromList(TComponent* AComponent) {
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it != FComponents.end()) FComponents.erase(it);
    AComponent->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (AComponent->FOwner == this) return;
    // A clash leaves the component where it was.
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError("A component named " + AComponent->FName + " already exists");
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    InsertIntoList(AComponent);
    if (HasState(csDesigning)) AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner != this) return;
    Notification(AComponent, opRemove);
    RemoveFromList(AComponent);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        RemoveFromList(c);
        delete c;
    }
}

void TComponent::Destroying() {
    if (HasState(csDestroying)) return;
    IncludeState(csDestroying);
    for (TComponent* c : FComponents)
        c->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    auto& back = AComponent->FFreeNotifies;
    if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
    IncludeState(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent),
                        FFreeNotifies.end());
    auto& back = AComponent->FFreeNotifies;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
    if (Value)
        IncludeState(csDesigning);
    else
        ExcludeState(csDesigning);
    if (SetChildren)
        for (TComponent* c : FComponents)
            c->SetDesigning(Value, true);
}

void TComponent::BeginLoading() {
    IncludeState(csLoading);
}

void TComponent::Loaded() {
    ExcludeState(csLoading);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
    // A copy, as handlers may free or add components.
    std::vector<TComponent*> children = FComponents;
    for (TComponent* c : children) {
        if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end())
            c->Notification(AComponent, Operation);
    }
}

// ---------------------------------------------------------------------------

TList::~TList() {
    Clear();
}

void TList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= int(FList.size()))
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void* TList::Items(int Index) const {
    CheckIndex(Index);
    return FList[size_t(Index)];
}

void TList::Put(int Index, void* Item) {
    CheckIndex(Index);
    void* old = FList[size_t(Index)];
    if (old == Item) return;
    FList[size_t(Index)] = Item;
    if (old) Notify(old, lnDeleted);
    if (Item) Notify(Item, lnAdded);
}

int TList::Add(void* Item) {
    FList.push_back(Item);
    if (Item) Notify(Item, lnAdded);
    return int(FList.size()) - 1;
}

void TList::Insert(int Index, void* Item) {
    if (Index < 0 || Index > int(FList.size()))
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    FList.insert(FList.begin() + Index, Item);
    if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
    CheckIndex(Index);
    void* p = FList[size_t(Index)];
    FList.erase(FList.begin() + Index);
    if (p) Notify(p, lnDeleted);
}

int TList::Remove(void* Item) {
    int i = IndexOf(Item);
    if (i >= 0) Delete(i);
    return i;
}

void* TList::Extract(void* Item) {
    int i = IndexOf(Item);
    if (i < 0) return nullptr;
    FList.erase(FList.begin() + i);
    if (Item) Notify(Item, lnExtracted);
    return Item;
}

int TList::IndexOf(const void* Item) const {
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : int(it - FList.begin());
}

void TList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    void* p = FList[size_t(CurIndex)];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, p);
}

void* TList::First() const {
    return Items(0);
}
void* TList::Last() const {
    return Items(int(FList.size()) - 1);
}

void TList::Clear() {
    while (!FList.empty())
        Delete(int(FList.size()) - 1);
    FList.shrink_to_fit();
}

void TList::Pack() {
    FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end());
}

void TList::Sort(const std::function<int(void*, void*)>& Compare) {
    std::stable_sort(FList.begin(), FList.end(),
                     [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::SetCapacity(int NewCapacity) {
    if (NewCapacity < int(FList.size()))
        throw EListError("List capacity out of bounds (" + std::to_string(NewCapacity) + ")");
    FList.reserve(size_t(NewCapacity));
}

void TList::Notify(void*, TListNotification) {}

TObjectList::~TObjectList() {
    Clear();
}

void TObjectList::Notify(void* Ptr, TListNotification Action) {
    if (OwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
}
