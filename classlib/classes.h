// Objects, persistent objects, components with owners and notifications,
// pointer lists and the notify event.
#pragma once

#include "classlib/sysutils.h"
#include "classlib/types.h"

#include <functional>
#include <string>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The name of the most derived class, without namespaces ("TStringList").
    std::string ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
public:
    // Copies Source into this object; raises EConvertError when neither side
    // knows how.
    virtual void Assign(TPersistent* Source);

protected:
    virtual void AssignTo(TPersistent* Dest);
};

// ---------------------------------------------------------------------------
// Components

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 0x01,
    csReading = 0x02,
    csWriting = 0x04,
    csDestroying = 0x08,
    csDesigning = 0x10,
    csAncestor = 0x20,
    csUpdating = 0x40,
    csFixups = 0x80,
    csFreeNotification = 0x100,
    csInline = 0x200,
    csDesignInstance = 0x400,
};
using TComponentState = unsigned;

// A component belongs to its owner, which frees it. Every component joining
// or leaving an owner is announced (Notification) to the owner and to the
// owner's other components; a component that asked FreeNotification of
// another hears of its destruction too.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }

    const std::string& Name() const { return FName; }
    // Names are unique among the owner's components (without regard to case);
    // a clash raises EComponentError. The empty name is always allowed.
    virtual void SetName(const std::string& NewName);

    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int Index) const; // EListError when out of range
    int ComponentIndex() const;              // position in the owner's list, -1 without owner
    TComponent* FindComponent(const std::string& AName) const;

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, the last first.
    void DestroyComponents();
    // Marks this component and its components as being destroyed.
    void Destroying();

    // Asks to hear (Notification opRemove) when AComponent is destroyed; both
    // sides remember each other.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    TComponentState ComponentState() const { return FComponentState; }
    bool HasState(TComponentStateFlag flag) const { return (FComponentState & flag) != 0; }
    // Sets or clears csDesigning here and, when asked, in every owned component.
    void SetDesigning(bool Value, bool SetChildren = true);
    // Enters csLoading; Loaded() leaves it.
    void BeginLoading();
    virtual void Loaded();

    // Default: forgets a component being removed that asked FreeNotification,
    // and passes the message to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

    int Tag = 0;

protected:
    void IncludeState(TComponentState flags) { FComponentState |= flags; }
    void ExcludeState(TComponentState flags) { FComponentState &= ~flags; }

private:
    void InsertIntoList(TComponent* AComponent);
    void RemoveFromList(TComponent* AComponent);

    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState = 0;
};

// ---------------------------------------------------------------------------
// Lists

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of untyped pointers. Indexes out of range raise EListError.
class TList : public TObject {
public:
    TList() = default;
    ~TList() override;

    int Count() const { return int(FList.size()); }
    void* Items(int Index) const;
    void* operator[](int Index) const { return Items(Index); }
    void Put(int Index, void* Item);

    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    int Remove(void* Item); // index it had, -1 when absent
    void* Extract(void* Item);
    int IndexOf(const void* Item) const;
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    void* First() const;
    void* Last() const;
    virtual void Clear();
    void Pack(); // drops nil entries
    // Stable sort; compare gives <0, 0, >0.
    void Sort(const std::function<int(void*, void*)>& Compare);

    int Capacity() const { return int(FList.capacity()); }
    void SetCapacity(int NewCapacity);
    const std::vector<void*>& List() const { return FList; }

protected:
    virtual void Notify(void* Ptr, TListNotification Action);

private:
    void CheckIndex(int Index) const;
    std::vector<void*> FList;
};

// A list of objects that frees them on Delete, Remove, Clear and destruction
// when OwnsObjects is true.
class TObjectList : public TList {
public:
    explicit TObjectList(bool AOwnsObjects = true) : OwnsObjects(AOwnsObjects) {}
    ~TObjectList() override;

    TObject* Items(int Index) const { return static_cast<TObject*>(TList::Items(Index)); }
    TObject* operator[](int Index) const { return Items(Index); }
    int Add(TObject* Item) { return TList::Add(Item); }
    int IndexOf(const TObject* Item) const { return TList::IndexOf(Item); }
    int Remove(TObject* Item) { return TList::Remove(Item); }

    bool OwnsObjects;

protected:
    void Notify(void* Ptr, TListNotification Action) override;
};
