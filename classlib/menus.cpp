#include "classlib/menus.h"

#include "classlib/actnlist.h"
#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/typinfo.h"

#include <algorithm>
#include <atomic>

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

namespace {
std::atomic<int> g_nextCommand{1};

std::string KeyName(uint16_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
    if (key >= 0x70 && key <= 0x87) return "F" + std::to_string(key - 0x70 + 1);
    switch (key) {
    case 0x08:
        return "BkSp";
    case 0x09:
        return "Tab";
    case 0x0D:
        return "Enter";
    case 0x1B:
        return "Esc";
    case 0x20:
        return "Space";
    case 0x21:
        return "PgUp";
    case 0x22:
        return "PgDn";
    case 0x23:
        return "End";
    case 0x24:
        return "Home";
    case 0x25:
        return "Left";
    case 0x26:
        return "Up";
    case 0x27:
        return "Right";
    case 0x28:
        return "Down";
    case 0x2D:
        return "Ins";
    case 0x2E:
        return "Del";
    default:
        return {};
    }
}
} // namespace

TShortCut ShortCut(uint16_t Key, unsigned Shift) {
    TShortCut r = TShortCut(Key & 0xFF);
    if (Shift & ssShift) r |= scShift;
    if (Shift & ssCtrl) r |= scCtrl;
    if (Shift & ssAlt) r |= scAlt;
    return r;
}

std::string ShortCutToText(TShortCut ShortCut) {
    std::string name = KeyName(uint16_t(ShortCut & 0xFF));
    if (name.empty()) return {};
    std::string r;
    if (ShortCut & scShift) r += "Shift+";
    if (ShortCut & scCtrl) r += "Ctrl+";
    if (ShortCut & scAlt) r += "Alt+";
    return r + name;
}

char32_t GetHotkey(const std::string& Text) {
    for (size_t i = 0; i + 1 < Text.size(); ++i) {
        if (Text[i] != '&') continue;
        if (Text[i + 1] == '&') {
            ++i;
            continue;
        }
        return char32_t(uint8_t(Text[i + 1]));
    }
    return 0;
}

bool IsAccel(unsigned VK, const std::string& Str) {
    char32_t c = GetHotkey(Str);
    if (!c) return false;
    auto up = [](char32_t x) { return (x >= 'a' && x <= 'z') ? x - 32 : x; };
    return up(c) == up(char32_t(VK));
}

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(g_nextCommand++) {}

TBitmap* TMenuItem::Bitmap() {
    if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
    return FBitmap.get();
}

bool TMenuItem::HasBitmap() const {
    return FBitmap && !FBitmap->Empty();
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* i = this;
    while (i->FParent)
        i = i->FParent;
    return i->FMenu;
}

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

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {
    FItems->FMenu = this;
}

void TMenu::SetImages(TCustomImageList* Value) {
    if (FImages) RemoveFreeNotification(FImages);
    FImages = Value;
    if (FImages) FreeNotification(FImages);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

namespace {
TMenuItem* FindCommand(TMenuItem* Item, int Command) {
    if (Item->Command() == Command) return Item;
    for (int i = 0; i < Item->Count(); ++i)
        if (TMenuItem* f = FindCommand(Item->Items(i), Command)) return f;
    return nullptr;
}
TMenuItem* FindShortCut(TMenuItem* Item, TShortCut S) {
    for (int i = 0; i < Item->Count(); ++i) {
        TMenuItem* c = Item->Items(i);
        if (!c->Enabled || !c->Visible) continue;
        if (c->ShortCut == S) return c;
        if (TMenuItem* f = FindShortCut(c, S)) return f;
    }
    return nullptr;
}
} // namespace

bool TMenu::DispatchCommand(int ACommand) {
    TMenuItem* item = FindCommand(FItems, ACommand);
    if (!item) return false;
    item->Click();
    return true;
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut AShortCut) const {
    if (!AShortCut) return nullptr;
    return FindShortCut(FItems, AShortCut);
}

bool TMenu::IsShortCut(TShortCut AShortCut) {
    TMenuItem* item = FindItemByShortCut(AShortCut);
    if (!item) return false;
    item->Click();
    return true;
}

void TPopupMenu::Popup(int, int) {
    if (OnPopup) OnPopup(this);
}

TMenu::~TMenu() {
    delete FItems;
}
