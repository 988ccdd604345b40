// Menu items: a tree of items with a caption, a checked and a visible state,
// an optional action, and items that can be added and removed at run time.
#pragma once

#include "classlib/classes.h"
#include "classlib/types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TBasicAction;
class TBitmap;
class TCanvas;
class TCustomImageList;
class TMenu;

// A key with its modifiers: the virtual key in the low byte, modifier bits above.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
TShortCut ShortCut(uint16_t Key, unsigned Shift); // Shift: ss... flags of controls.h
std::string ShortCutToText(TShortCut ShortCut);
// The character after the first single "&" of a caption, 0 when none.
char32_t GetHotkey(const std::string& Text);
// Whether the key (a character or a virtual key of a letter or digit) is the
// caption's accelerator; letters compare without regard to case.
bool IsAccel(unsigned VK, const std::string& Str);

// Owner drawing of one menu line: Sender is the object that draws the line.
using TMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;

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
    TShortCut ShortCut = 0;
    int ImageIndex = -1;
    // The item a double click on its menu's owner chooses.
    bool Default = false;
    TNotifyEvent OnClick;
    TMenuDrawItemEvent OnDrawItem;

    // A picture shown beside the caption; made on first use.
    TBitmap* Bitmap();
    bool HasBitmap() const;
    // A number unique to the item, for DispatchCommand.
    int Command() const { return FCommand; }
    // The menu whose tree holds this item, null when none.
    TMenu* GetParentMenu() const;

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
    friend class TMenu;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TBasicAction* FAction = nullptr;
    TMenu* FMenu = nullptr; // set on a menu's root item
    int FCommand;
    std::unique_ptr<TBitmap> FBitmap;
};

LANTROVE_EXCEPTION(EMenuError, Exception);

// A menu: the root item holds the top-level items.
class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    TMenuItem* Items() const { return FItems; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // Clicks the item of this menu with the command number; false when none has it.
    bool DispatchCommand(int ACommand);
    // The enabled item (at any depth) with the short cut, null when none.
    TMenuItem* FindItemByShortCut(TShortCut AShortCut) const;
    // Clicks the item with the short cut; true when there was one.
    bool IsShortCut(TShortCut AShortCut);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TMenuItem* FItems;
    TCustomImageList* FImages = nullptr;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
    TNotifyEvent OnPopup;
    bool AutoPopup = true;
    // The component that opened the menu last.
    TComponent* PopupComponent = nullptr;
    // Fires OnPopup; there is no menu of the system to show, so skinned menus
    // override it.
    virtual void Popup(int X, int Y);
};
