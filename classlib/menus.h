// Menu items: a tree of items with a caption, a checked and a visible state,
// an optional action, and items that can be added and removed at run time.
#pragma once

#include "classlib/classes.h"

#include <string>
#include <vector>

class TBasicAction;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    // Frees the items under this one and leaves the parent item.
    ~TMenuItem() override;

    std::string Caption;
    std::string Hint;
    bool Checked = false;
    bool Visible = true;
    bool Enabled = true;
    bool RadioItem = false;
    int GroupIndex = 0;
    TNotifyEvent OnClick;

    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* Value);

    // Items under this one. An item added elsewhere first leaves its old
    // parent; this item frees the items it holds.
    int Count() const { return int(FItems.size()); }
    TMenuItem* Items(int Index) const; // EMenuError when out of range
    TMenuItem* Parent() const { return FParent; }
    void Add(TMenuItem* Item);
    // Adds several items at once, in order.
    void Add(const std::vector<TMenuItem*>& AItems);
    void Insert(int Index, TMenuItem* Item);
    void Remove(TMenuItem* Item); // the item stays alive
    void Delete(int Index);       // the item stays alive
    void Clear();                 // frees every item under this one
    int IndexOf(const TMenuItem* Item) const;
    int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
    bool IsLine() const { return Caption == "-"; }

    // OnClick when assigned, else the action.
    virtual void Click();

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TBasicAction* FAction = nullptr;
};

LANTROVE_EXCEPTION(EMenuError, Exception);

// A menu: the root item holds the top-level items.
class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    TMenuItem* Items() const { return FItems; }

private:
    TMenuItem* FItems;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
};
