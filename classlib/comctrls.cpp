#include "classlib/comctrls.h"

#include <algorithm>
#include <unordered_map>

#include "classlib/sysutils.h"
#include "platform/win/controls/listtabs.h"
#include "platform/win/controls/listview.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"

namespace {

// An image list of the class library as the window classes draw it.
class ImageListSource : public ControlImages {
public:
    explicit ImageListSource(TCustomImageList* list) : list_(list) {}
    int Count() const override { return list_->Count(); }
    int Width() const override { return list_->Width(); }
    int Height() const override { return list_->Height(); }
    void Draw(HDC dc, int index, int x, int y, bool enabled) override {
        int saved = SaveDC(dc);
        TCanvas canvas;
        canvas.SetHandle(dc);
        list_->Draw(&canvas, x, y, index, enabled);
        canvas.SetHandle(nullptr);
        RestoreDC(dc, saved);
    }
    TCustomImageList* List() const { return list_; }

private:
    TCustomImageList* list_;
};

[[noreturn]] void indexError(int index) {
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
}

// A merge sort that stays inside the list whatever the comparison answers.
template <class T, class Less> void safeSort(std::vector<T>& v, Less less) {
    std::vector<T> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t a = lo, b = mid, k = lo;
            while (a < mid && b < hi)
                tmp[k++] = less(v[b], v[a]) ? std::move(v[b++]) : std::move(v[a++]);
            while (a < mid)
                tmp[k++] = std::move(v[a++]);
            while (b < hi)
                tmp[k++] = std::move(v[b++]);
        }
        v.swap(tmp);
    }
}

int lvirOf(TDisplayCode code) {
    switch (code) {
    case drIcon:
        return LVIR_ICON;
    case drLabel:
        return LVIR_LABEL;
    case drSelectBounds:
        return LVIR_SELECTBOUNDS;
    default:
        return LVIR_BOUNDS;
    }
}

} // namespace

// ---- TListItem ----------------------------------------------------------------

TListItem::TListItem(TListItems* AOwner) : FOwner(AOwner), FSubItems(new TStringList) {
    FSubItems->OnChange = [this](TObject*) { SubItemsChanged(); };
}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const {
    return FOwner ? FOwner->Owner() : nullptr;
}

int TListItem::Index() const {
    return FOwner ? FOwner->IndexOf(this) : -1;
}

void TListItem::PushTexts() const {
    TCustomListView* lv = ListView();
    int i = Index();
    if (!lv || !lv->HandleAllocated() || i < 0) return;
    LVITEM it;
    it.subItem = 0;
    it.text = const_cast<char*>(FCaption.c_str());
    lv->Send(LVM_SETITEMTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&it));
    int subs = std::max(FSubItems->Count(), lv->Columns()->Count() - 1);
    for (int k = 0; k < subs; ++k) {
        std::string t = k < FSubItems->Count() ? FSubItems->Strings(k) : std::string();
        it.subItem = k + 1;
        it.text = const_cast<char*>(t.c_str());
        lv->Send(LVM_SETITEMTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&it));
    }
}

void TListItem::PushImage() const {
    TCustomListView* lv = ListView();
    int i = Index();
    if (!lv || !lv->HandleAllocated() || i < 0) return;
    LVITEM it;
    it.mask = LVIF_IMAGE;
    it.item = i;
    it.image = FImageIndex;
    lv->Send(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
    for (size_t k = 0; k < FSubItemImages.size(); ++k) {
        it.subItem = int(k) + 1;
        it.image = FSubItemImages[k];
        lv->Send(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
    }
}

void TListItem::PushStateImage() const {
    TCustomListView* lv = ListView();
    int i = Index();
    if (!lv || !lv->HandleAllocated() || i < 0) return;
    // Check boxes use the state image; otherwise it is StateIndex + 1.
    UINT image = lv->Checkboxes() ? (FChecked ? 2u : 1u) : UINT(std::max(FStateIndex + 1, 0));
    LVITEM it;
    it.state = INDEXTOSTATEIMAGEMASK(std::min(image, 15u));
    it.stateMask = LVIS_STATEIMAGEMASK;
    lv->Send(LVM_SETITEMSTATE, WPARAM(i), reinterpret_cast<LPARAM>(&it));
}

void TListItem::SetCaption(const std::string& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    PushTexts();
    if (TCustomListView* lv = ListView()) lv->Change(this, ctText);
}

void TListItem::SubItemsChanged() {
    PushTexts();
    if (TCustomListView* lv = ListView(); lv && Index() >= 0) lv->Change(this, ctText);
}

void TListItem::SetImageIndex(int Value) {
    if (FImageIndex == Value) return;
    FImageIndex = Value;
    PushImage();
    if (TCustomListView* lv = ListView()) lv->Change(this, ctImage);
}

void TListItem::SetStateIndex(int Value) {
    if (FStateIndex == Value) return;
    FStateIndex = Value;
    PushStateImage();
}

int TListItem::SubItemImages(int Index) const {
    if (Index < 0 || Index >= FSubItems->Count()) indexError(Index);
    return size_t(Index) < FSubItemImages.size() ? FSubItemImages[size_t(Index)] : -1;
}

void TListItem::SetSubItemImages(int Index, int Value) {
    if (Index < 0 || Index >= FSubItems->Count()) indexError(Index);
    if (FSubItemImages.size() <= size_t(Index)) FSubItemImages.resize(size_t(Index) + 1, -1);
    FSubItemImages[size_t(Index)] = Value;
    PushImage();
}

bool TListItem::Selected() const {
    TCustomListView* lv = ListView();
    int i = Index();
    if (lv && lv->HandleAllocated() && i >= 0)
        return lv->Send(LVM_GETITEMSTATE, WPARAM(i), LVIS_SELECTED) != 0;
    return FState & LVIS_SELECTED;
}

void TListItem::SetSelected(bool Value) {
    TCustomListView* lv = ListView();
    int i = Index();
    if (lv && lv->HandleAllocated() && i >= 0) {
        LVITEM it;
        it.state = Value ? LVIS_SELECTED : 0;
        it.stateMask = LVIS_SELECTED;
        lv->Send(LVM_SETITEMSTATE, WPARAM(i), reinterpret_cast<LPARAM>(&it));
        return;
    }
    if (Value && lv && !lv->MultiSelect())
        for (int k = 0; k < FOwner->Count(); ++k)
            FOwner->Item(k)->FState &= ~LVIS_SELECTED;
    FState = Value ? (FState | LVIS_SELECTED) : (FState & ~LVIS_SELECTED);
}

bool TListItem::Focused() const {
    TCustomListView* lv = ListView();
    int i = Index();
    if (lv && lv->HandleAllocated() && i >= 0)
        return lv->Send(LVM_GETITEMSTATE, WPARAM(i), LVIS_FOCUSED) != 0;
    return FState & LVIS_FOCUSED;
}

void TListItem::SetFocused(bool Value) {
    TCustomListView* lv = ListView();
    int i = Index();
    if (lv && lv->HandleAllocated() && i >= 0) {
        LVITEM it;
        it.state = Value ? LVIS_FOCUSED : 0;
        it.stateMask = LVIS_FOCUSED;
        lv->Send(LVM_SETITEMSTATE, WPARAM(i), reinterpret_cast<LPARAM>(&it));
        return;
    }
    if (Value && FOwner)
        for (int k = 0; k < FOwner->Count(); ++k)
            FOwner->Item(k)->FState &= ~LVIS_FOCUSED;
    FState = Value ? (FState | LVIS_FOCUSED) : (FState & ~LVIS_FOCUSED);
}

void TListItem::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    PushStateImage();
}

TRect TListItem::DisplayRect(TDisplayCode Code) const {
    TCustomListView* lv = ListView();
    int i = Index();
    RECT r{lvirOf(Code), 0, 0, 0};
    if (!lv || !lv->HandleAllocated() || i < 0 ||
        !lv->Send(LVM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)))
        return TRect();
    return TRect(r);
}

void TListItem::MakeVisible(bool PartialOK) {
    if (TCustomListView* lv = ListView()) lv->Send(LVM_ENSUREVISIBLE, WPARAM(Index()), PartialOK);
}

void TListItem::Update() {
    if (TCustomListView* lv = ListView()) lv->Send(LVM_UPDATE, WPARAM(Index()), 0);
}

void TListItem::Delete() {
    if (FOwner) FOwner->Delete(Index()); // frees this item
}

// ---- TListItems ---------------------------------------------------------------

TListItems::TListItems(TCustomListView* AOwner) : FOwner(AOwner) {}

TListItems::~TListItems() = default;

TListItem* TListItems::Item(int Index) const {
    if (Index < 0 || Index >= Count()) indexError(Index);
    return FItems[size_t(Index)].get();
}

int TListItems::IndexOf(const TListItem* Value) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Value) return int(i);
    return -1;
}

TListItem* TListItems::Add() {
    return Insert(Count());
}

void TListItems::PushItem(int Index) {
    if (!FOwner->HandleAllocated()) return;
    TListItem* item = FItems[size_t(Index)].get();
    LVITEM it;
    it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
    it.item = Index;
    it.text = const_cast<char*>(item->FCaption.c_str());
    it.lParam = reinterpret_cast<LPARAM>(item);
    it.image = item->FImageIndex;
    it.state = item->FState;
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    FOwner->Send(LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
    item->PushTexts();
    if (!item->FSubItemImages.empty()) item->PushImage();
    if (item->FStateIndex >= 0 || FOwner->Checkboxes()) item->PushStateImage();
}

TListItem* TListItems::Insert(int Index) {
    if (Index < 0 || Index > Count()) indexError(Index);
    auto item = std::make_unique<TListItem>(this);
    TListItem* raw = item.get();
    FItems.insert(FItems.begin() + Index, std::move(item));
    PushItem(Index);
    if (FOwner->OnInsert) FOwner->OnInsert(FOwner, raw);
    return raw;
}

void TListItems::Delete(int Index) {
    TListItem* item = Item(Index);
    if (FOwner->OnDeletion) FOwner->OnDeletion(FOwner, item);
    Index = IndexOf(item); // the handler may have moved things
    if (Index < 0) return;
    if (FOwner->HandleAllocated()) FOwner->Send(LVM_DELETEITEM, WPARAM(Index), 0);
    FItems.erase(FItems.begin() + Index);
}

void TListItems::Clear() {
    if (FOwner->OnDeletion)
        for (int i = Count() - 1; i >= 0; --i)
            if (i < Count()) FOwner->OnDeletion(FOwner, FItems[size_t(i)].get());
    if (FOwner->HandleAllocated()) FOwner->Send(LVM_DELETEALLITEMS, 0, 0);
    FItems.clear();
}

void TListItems::BeginUpdate() {
    if (FUpdateCount++ == 0 && FOwner->HandleAllocated()) FOwner->Send(WM_SETREDRAW, 0, 0);
}

void TListItems::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FOwner->HandleAllocated())
        FOwner->Send(WM_SETREDRAW, 1, 0);
}

// ---- Columns ------------------------------------------------------------------

int TListColumn::Index() const {
    for (size_t i = 0; i < FOwner->FColumns.size(); ++i)
        if (FOwner->FColumns[i].get() == this) return int(i);
    return -1;
}

void TListColumn::Push(bool insert) const {
    TCustomListView* lv = FOwner->Owner();
    int i = Index();
    if (!lv->HandleAllocated() || i < 0) return;
    LVCOLUMN c;
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_IMAGE;
    c.fmt = FAlignment == taRightJustify ? LVCFMT_RIGHT
            : FAlignment == taCenter     ? LVCFMT_CENTER
                                         : LVCFMT_LEFT;
    c.cx = FWidth;
    c.text = const_cast<char*>(FCaption.c_str());
    c.image = FImageIndex;
    lv->Send(insert ? LVM_INSERTCOLUMN : LVM_SETCOLUMN, WPARAM(i), reinterpret_cast<LPARAM>(&c));
}

void TListColumn::SetCaption(const std::string& Value) {
    FCaption = Value;
    Push(false);
}

int TListColumn::Width() const {
    TCustomListView* lv = FOwner->Owner();
    if (lv->HandleAllocated() && Index() >= 0)
        return int(lv->Send(LVM_GETCOLUMNWIDTH, WPARAM(Index()), 0));
    return FWidth;
}

void TListColumn::SetWidth(int Value) {
    FWidth = std::max(0, Value);
    TCustomListView* lv = FOwner->Owner();
    if (lv->HandleAllocated() && Index() >= 0)
        lv->Send(LVM_SETCOLUMNWIDTH, WPARAM(Index()), FWidth);
}

void TListColumn::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Push(false);
}

void TListColumn::SetImageIndex(int Value) {
    FImageIndex = Value;
    Push(false);
}

TListColumn* TListColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count()) indexError(Index);
    return FColumns[size_t(Index)].get();
}

TListColumn* TListColumns::Add() {
    FColumns.push_back(std::make_unique<TListColumn>(this));
    TListColumn* c = FColumns.back().get();
    c->Push(true);
    return c;
}

void TListColumns::Delete(int Index) {
    Items(Index);
    // Widths the user dragged are kept in the model before the window forgets them.
    for (auto& c : FColumns)
        c->FWidth = c->Width();
    if (FOwner->HandleAllocated()) FOwner->Send(LVM_DELETECOLUMN, WPARAM(Index), 0);
    FColumns.erase(FColumns.begin() + Index);
}

void TListColumns::Clear() {
    while (Count() > 0)
        Delete(Count() - 1);
}

// ---- TCustomListView ----------------------------------------------------------

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWinControl(AOwner), FItems(new TListItems(this)), FColumns(new TListColumns(this)) {
    RegisterListAndTabControls();
    FWidth = 250;
    FHeight = 150;
    FColor = clWindow;
    TabStop = true;
    // Clicks come from the list's own notifications.
    ControlStyle &= ~(csClickEvents | csDoubleClicks);
}

TCustomListView::~TCustomListView() {
    DestroyHandle();
    FItems->FItems.clear();
}

LRESULT TCustomListView::Send(UINT Msg, WPARAM W, LPARAM L) const {
    auto* self = const_cast<TCustomListView*>(this);
    return HandleAllocated() ? SendMessage(self->Handle(), Msg, W, L) : 0;
}

void TCustomListView::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    Params.Style |= WS_TABSTOP | WS_CLIPCHILDREN | views[FViewStyle];
    if (!FMultiSelect) Params.Style |= LVS_SINGLESEL;
    if (!FHideSelection) Params.Style |= LVS_SHOWSELALWAYS;
    if (!FShowColumnHeaders) Params.Style |= LVS_NOCOLUMNHEADER;
    if (!FColumnClick) Params.Style |= LVS_NOSORTHEADER;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
    Params.Background = GetSysColorBrush(COLOR_WINDOW);
    Params.SuperClass = WC_LISTVIEW;
}

void TCustomListView::CreateWnd() {
    TWinControl::CreateWnd();
    Send(WM_SETREDRAW, 0, 0);
    Send(LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(FFont.Color())));
    Send(LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
    UpdateExStyle();
    for (auto& src : FImageSources) {
        auto* s = static_cast<ImageListSource*>(src.get());
        WPARAM kind = s->List() == FSmallImages   ? LVSIL_SMALL
                      : s->List() == FStateImages ? LVSIL_STATE
                                                  : LVSIL_NORMAL;
        Send(LVM_SETIMAGELIST, kind, reinterpret_cast<LPARAM>(src.get()));
    }
    for (auto& c : FColumns->FColumns)
        c->Push(true);
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->PushItem(i);
    Send(WM_SETREDRAW, 1, 0);
}

void TCustomListView::UpdateStyle() {
    if (!HandleAllocated()) return;
    TCreateParams p;
    CreateParams(p);
    DWORD keep = DWORD(GetWindowLongPtr(Handle(), GWL_STYLE)) & 0xFFFF0000;
    SetWindowLongPtr(Handle(), GWL_STYLE, LONG_PTR(keep | (p.Style & 0xFFFF)));
    // The window lays its header and bars out again for the new style.
    Send(WM_SIZE, 0, MAKELPARAM(FWidth, FHeight));
    InvalidateRect(Handle(), nullptr, 1);
}

void TCustomListView::UpdateExStyle() {
    DWORD ex = (FRowSelect ? LVS_EX_FULLROWSELECT : 0) | (FGridLines ? LVS_EX_GRIDLINES : 0) |
               (FCheckboxes ? LVS_EX_CHECKBOXES : 0) | LVS_EX_SUBITEMIMAGES;
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(ex));
}

void TCustomListView::SetViewStyle(TViewStyle Value) {
    FViewStyle = Value;
    UpdateStyle();
}

void TCustomListView::SetRowSelect(bool Value) {
    FRowSelect = Value;
    UpdateExStyle();
}

void TCustomListView::SetMultiSelect(bool Value) {
    FMultiSelect = Value;
    UpdateStyle();
}

void TCustomListView::SetHideSelection(bool Value) {
    FHideSelection = Value;
    UpdateStyle();
}

void TCustomListView::SetShowColumnHeaders(bool Value) {
    FShowColumnHeaders = Value;
    UpdateStyle();
}

void TCustomListView::SetColumnClick(bool Value) {
    FColumnClick = Value;
    UpdateStyle();
}

void TCustomListView::SetCheckboxes(bool Value) {
    FCheckboxes = Value;
    UpdateExStyle();
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->Item(i)->PushStateImage();
}

void TCustomListView::SetGridLines(bool Value) {
    FGridLines = Value;
    UpdateExStyle();
}

void TCustomListView::SetImageList(TCustomImageList*& Slot, TCustomImageList* Value, WPARAM Kind) {
    if (Slot == Value) return;
    TCustomImageList* old = Slot;
    Slot = Value;
    // One source per list; it goes when no slot uses the list any more.
    ControlImages* source = nullptr;
    for (auto& s : FImageSources)
        if (static_cast<ImageListSource*>(s.get())->List() == Value) source = s.get();
    if (Value && !source) {
        FImageSources.push_back(std::make_unique<ImageListSource>(Value));
        source = FImageSources.back().get();
        Value->FreeNotification(this);
    }
    Send(LVM_SETIMAGELIST, Kind, reinterpret_cast<LPARAM>(source));
    if (old && old != FSmallImages && old != FLargeImages && old != FStateImages)
        std::erase_if(FImageSources, [&](const std::unique_ptr<ControlImages>& s) {
            return static_cast<ImageListSource*>(s.get())->List() == old;
        });
}

void TCustomListView::SetSmallImages(TCustomImageList* Value) {
    SetImageList(FSmallImages, Value, LVSIL_SMALL);
}

void TCustomListView::SetLargeImages(TCustomImageList* Value) {
    SetImageList(FLargeImages, Value, LVSIL_NORMAL);
}

void TCustomListView::SetStateImages(TCustomImageList* Value) {
    SetImageList(FStateImages, Value, LVSIL_STATE);
}

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSmallImages) SetSmallImages(nullptr);
    if (AComponent == FLargeImages) SetLargeImages(nullptr);
    if (AComponent == FStateImages) SetStateImages(nullptr);
}

TListItem* TCustomListView::Selected() const {
    if (HandleAllocated()) {
        int i = int(Send(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
        return i >= 0 && i < FItems->Count() ? FItems->Item(i) : nullptr;
    }
    for (auto& it : FItems->FItems)
        if (it->FState & LVIS_SELECTED) return it.get();
    return nullptr;
}

void TCustomListView::SetSelected(TListItem* Value) {
    if (HandleAllocated()) {
        LVITEM none;
        none.stateMask = LVIS_SELECTED;
        Send(LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
    } else {
        for (auto& it : FItems->FItems)
            it->FState &= ~LVIS_SELECTED;
    }
    if (Value && Value->Owner() == FItems.get()) {
        Value->SetSelected(true);
        Value->SetFocused(true);
    }
}

TListItem* TCustomListView::ItemFocused() const {
    for (auto& it : FItems->FItems)
        if (it->Focused()) return it.get();
    return nullptr;
}

void TCustomListView::SetItemFocused(TListItem* Value) {
    if (Value && Value->Owner() == FItems.get()) Value->SetFocused(true);
}

int TCustomListView::ItemIndex() const {
    TListItem* s = Selected();
    return s ? s->Index() : -1;
}

void TCustomListView::SetItemIndex(int Value) {
    SetSelected(Value >= 0 && Value < FItems->Count() ? FItems->Item(Value) : nullptr);
}

int TCustomListView::SelCount() const {
    if (HandleAllocated()) return int(Send(LVM_GETSELECTEDCOUNT, 0, 0));
    int n = 0;
    for (auto& it : FItems->FItems)
        n += (it->FState & LVIS_SELECTED) ? 1 : 0;
    return n;
}

TListItem* TCustomListView::TopItem() const {
    int i = int(Send(LVM_GETTOPINDEX, 0, 0));
    return i >= 0 && i < FItems->Count() ? FItems->Item(i) : nullptr;
}

int TCustomListView::VisibleRowCount() const {
    return int(Send(LVM_GETCOUNTPERPAGE, 0, 0));
}

TListItem* TCustomListView::GetItemAt(int X, int Y) const {
    LVHITTESTINFO info;
    info.pt = POINT{X, Y};
    int i = int(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    return i >= 0 && i < FItems->Count() && (info.flags & LVHT_ONITEM) ? FItems->Item(i) : nullptr;
}

void TCustomListView::Scroll(int DX, int DY) {
    Send(LVM_SCROLL, WPARAM(intptr_t(DX)), DY);
}

bool TCustomListView::CustomSort(TLVCompare SortProc, int Data) {
    if (FSorting) return false;
    FSorting = true;
    auto less = [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
        if (SortProc) return SortProc(a.get(), b.get(), Data) < 0;
        int r = 0;
        if (OnCompare)
            OnCompare(this, a.get(), b.get(), Data, r);
        else
            r = AnsiCompareText(a->Caption(), b->Caption());
        return r < 0;
    };
    try {
        safeSort(FItems->FItems, less);
    } catch (...) {
        FSorting = false;
        throw;
    }
    FSorting = false;
    if (HandleAllocated()) {
        // The window takes the model's new order; states go with their items.
        std::unordered_map<LPARAM, int> rank;
        for (int i = 0; i < FItems->Count(); ++i)
            rank[reinterpret_cast<LPARAM>(FItems->Item(i))] = i;
        Send(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&rank),
             reinterpret_cast<LPARAM>(+[](LPARAM a, LPARAM b, LPARAM data) {
                 auto& r = *reinterpret_cast<std::unordered_map<LPARAM, int>*>(data);
                 return r[a] - r[b];
             }));
    }
    return true;
}

bool TCustomListView::AlphaSort() {
    return CustomSort(nullptr, 0);
}

void TCustomListView::Change(TListItem* Item, int Change) {
    if (OnChange) OnChange(this, Item, TItemChange(Change));
}

LRESULT TCustomListView::CustomDraw(LPARAM LParam) {
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(LParam);
    if (!OnAdvancedCustomDrawItem) return CDRF_DODEFAULT;
    DWORD stage = cd->nmcd.drawStage;
    if (stage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (stage != CDDS_ITEMPREPAINT && stage != CDDS_ITEMPOSTPAINT) return CDRF_DODEFAULT;
    int index = int(cd->nmcd.itemSpec);
    if (index < 0 || index >= FItems->Count()) return CDRF_DODEFAULT;
    TListItem* item = FItems->Item(index);
    TCustomDrawState state = 0;
    UINT is = cd->nmcd.itemState;
    if (is & CDIS_SELECTED) state |= cdsSelected;
    if (is & CDIS_GRAYED) state |= cdsGrayed;
    if (is & CDIS_DISABLED) state |= cdsDisabled;
    if (is & CDIS_FOCUS) state |= cdsFocused;
    if (is & CDIS_HOT) state |= cdsHot;
    if (item->Checked()) state |= cdsChecked;
    int saved = SaveDC(cd->nmcd.hdc);
    FCanvas.SetHandle(cd->nmcd.hdc);
    FCanvas.Font()->Assign(&FFont);
    FCanvas.Brush()->SetColor(FColor);
    bool defaultDraw = true;
    try {
        OnAdvancedCustomDrawItem(
            this, item, state, stage == CDDS_ITEMPREPAINT ? cdPrePaint : cdPostPaint, defaultDraw);
    } catch (...) {
        FCanvas.SetHandle(nullptr);
        RestoreDC(cd->nmcd.hdc, saved);
        throw;
    }
    FCanvas.SetHandle(nullptr);
    RestoreDC(cd->nmcd.hdc, saved);
    if (stage == CDDS_ITEMPOSTPAINT) return CDRF_DODEFAULT;
    return defaultDraw ? CDRF_NOTIFYPOSTPAINT : CDRF_SKIPDEFAULT;
}

void TCustomListView::HandleNotify(TMessage& Message) {
    auto* nm = reinterpret_cast<NMHDR*>(Message.LParam);
    Message.Result = 0;
    if (!nm) return;
    auto itemAt = [&](int i) { return i >= 0 && i < FItems->Count() ? FItems->Item(i) : nullptr; };
    switch (nm->code) {
    case LVN_ITEMCHANGING: {
        auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
        TListItem* item = itemAt(lv->item);
        if (item && OnChanging && (lv->changed & LVIF_STATE)) {
            bool allow = true;
            OnChanging(this, item, ctState, allow);
            Message.Result = allow ? 0 : 1;
        }
        return;
    }
    case LVN_ITEMCHANGED: {
        auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
        TListItem* item = itemAt(lv->item);
        if (!item || !(lv->changed & LVIF_STATE)) return;
        item->FState = lv->newState & (LVIS_SELECTED | LVIS_FOCUSED);
        UINT image = (lv->newState & LVIS_STATEIMAGEMASK) >> 12;
        if (FCheckboxes && image) item->FChecked = image == 2;
        Change(item, ctState);
        bool was = lv->oldState & LVIS_SELECTED, now = lv->newState & LVIS_SELECTED;
        if (was != now && OnSelectItem && FItems->IndexOf(item) >= 0) OnSelectItem(this, item, now);
        return;
    }
    case LVN_COLUMNCLICK: {
        auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
        if (OnColumnClick && lv->subItem >= 0 && lv->subItem < FColumns->Count())
            OnColumnClick(this, FColumns->Items(lv->subItem));
        return;
    }
    case LVN_DELETEALLITEMS:
        Message.Result = 1; // the items are ours; no word per item
        return;
    case NM_CLICK:
        Click();
        return;
    case NM_DBLCLK:
        DblClick();
        return;
    case NM_CUSTOMDRAW:
        Message.Result = CustomDraw(Message.LParam);
        return;
    default:
        return;
    }
}

void TCustomListView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CN_NOTIFY:
        HandleNotify(Message);
        return;
    case CM_COLORCHANGED:
        Send(LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
        break;
    case CM_FONTCHANGED:
        Send(LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(FFont.Color())));
        break;
    case WM_CONTEXTMENU:
        if (OnContextPopup) {
            POINT p{int16_t(LOWORD(uintptr_t(Message.LParam))),
                    int16_t(HIWORD(uintptr_t(Message.LParam)))};
            if (HandleAllocated()) ::ScreenToClient(Handle(), &p);
            bool handled = false;
            OnContextPopup(this, TPoint{p.x, p.y}, handled);
            if (handled) {
                Message.Result = 1;
                return;
            }
        }
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

// ---- Page control -------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
    FVisible = false;
}

TTabSheet::~TTabSheet() {
    SetPageControl(nullptr);
}

void TTabSheet::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (FPageControl == Value) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = Value;
    if (Value) Value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    auto& p = FPageControl->FPages;
    return int(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int Value) {
    if (!FPageControl) return;
    auto& p = FPageControl->FPages;
    std::erase(p, this);
    Value = std::clamp(Value, 0, int(p.size()));
    p.insert(p.begin() + Value, this);
    FPageControl->RebuildTabs();
}

int TTabSheet::TabIndex() const {
    if (!FPageControl || !FTabVisible) return -1;
    int n = 0;
    for (TTabSheet* p : FPageControl->FPages) {
        if (p == this) return n;
        if (p->FTabVisible) ++n;
    }
    return -1;
}

void TTabSheet::SetTabVisible(bool Value) {
    if (FTabVisible == Value) return;
    FTabVisible = Value;
    if (FPageControl) FPageControl->RebuildTabs();
}

void TTabSheet::SetImageIndex(int Value) {
    FImageIndex = Value;
    if (FPageControl) FPageControl->RebuildTabs();
}

void TTabSheet::SetText(const std::string& Value) {
    TWinControl::SetText(Value);
    if (FPageControl) FPageControl->RebuildTabs();
}

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterListAndTabControls();
    FWidth = 289;
    FHeight = 193;
    TabStop = true;
    ControlStyle &= ~(csClickEvents | csDoubleClicks);
}

TPageControl::~TPageControl() {
    for (TTabSheet* p : std::vector<TTabSheet*>(FPages))
        p->FPageControl = nullptr;
    FPages.clear();
    FActivePage = nullptr;
    DestroyHandle();
}

void TPageControl::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_TABSTOP | WS_CLIPCHILDREN;
    switch (FTabPosition) {
    case tpBottom:
        Params.Style |= TCS_BOTTOM;
        break;
    case tpLeft:
        Params.Style |= TCS_VERTICAL;
        break;
    case tpRight:
        Params.Style |= TCS_VERTICAL | TCS_RIGHT;
        break;
    default:
        break;
    }
    if (FMultiLine) Params.Style |= TCS_MULTILINE;
    if (FStyle != tsTabs) Params.Style |= TCS_BUTTONS;
    Params.SuperClass = WC_TABCONTROL;
}

void TPageControl::CreateWnd() {
    TWinControl::CreateWnd();
    if (FImageSource)
        SendMessage(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImageSource.get()));
    if (FTabWidth > 0 || FTabHeight > 0)
        Perform(TCM_SETITEMSIZE, 0, MAKELPARAM(FTabWidth, FTabHeight));
    RebuildTabs();
    ShowActive();
}

TTabSheet* TPageControl::Pages(int Index) const {
    if (Index < 0 || Index >= PageCount()) indexError(Index);
    return FPages[size_t(Index)];
}

TTabSheet* TPageControl::PageOfTab(int TabIndex) const {
    int n = 0;
    for (TTabSheet* p : FPages) {
        if (!p->FTabVisible) continue;
        if (n++ == TabIndex) return p;
    }
    return nullptr;
}

int TPageControl::TabIndex() const {
    if (!HandleAllocated()) return FActivePage ? FActivePage->TabIndex() : -1;
    return int(SendMessage(const_cast<TPageControl*>(this)->Handle(), TCM_GETCURSEL, 0, 0));
}

void TPageControl::RebuildTabs() {
    if (!HandleAllocated() || FRebuilding) return;
    FRebuilding = true;
    HWND h = Handle();
    SendMessage(h, WM_SETREDRAW, 0, 0);
    SendMessage(h, TCM_DELETEALLITEMS, 0, 0);
    int n = 0;
    for (TTabSheet* p : FPages) {
        if (!p->FTabVisible) continue;
        std::string caption = p->Caption();
        TCITEM t;
        t.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
        t.text = const_cast<char*>(caption.c_str());
        t.image = p->FImageIndex;
        t.lParam = reinterpret_cast<LPARAM>(p);
        SendMessage(h, TCM_INSERTITEM, WPARAM(n++), reinterpret_cast<LPARAM>(&t));
    }
    int sel = FActivePage ? FActivePage->TabIndex() : -1;
    SendMessage(h, TCM_SETCURSEL, WPARAM(intptr_t(sel)), 0);
    SendMessage(h, WM_SETREDRAW, 1, 0);
    FRebuilding = false;
    Realign();
}

void TPageControl::InsertPage(TTabSheet* Page) {
    FPages.push_back(Page);
    Page->SetParent(this);
    RebuildTabs();
    if (!FActivePage)
        SetActivePage(Page);
    else
        Page->SetVisible(false);
}

void TPageControl::RemovePage(TTabSheet* Page) {
    TTabSheet* next = FActivePage == Page ? FindNextPage(Page, true, false) : FActivePage;
    std::erase(FPages, Page);
    if (next == Page) next = nullptr;
    if (FActivePage == Page) FActivePage = nullptr;
    if (Page->Parent() == this) Page->SetParent(nullptr);
    RebuildTabs();
    if (next != FActivePage) SetActivePage(next);
}

void TPageControl::SetActivePage(TTabSheet* Value) {
    if (Value && Value->FPageControl != this) return;
    if (Value == FActivePage) return;
    FActivePage = Value;
    if (HandleAllocated()) {
        int sel = Value ? Value->TabIndex() : -1;
        SendMessage(Handle(), TCM_SETCURSEL, WPARAM(intptr_t(sel)), 0);
    }
    ShowActive();
}

int TPageControl::ActivePageIndex() const {
    return FActivePage ? FActivePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int Value) {
    SetActivePage(Value >= 0 && Value < PageCount() ? FPages[size_t(Value)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* CurPage, bool GoForward,
                                      bool CheckTabVisible) const {
    int n = PageCount();
    if (n == 0) return nullptr;
    auto it = std::find(FPages.begin(), FPages.end(), CurPage);
    int start = it == FPages.end() ? (GoForward ? n - 1 : 0) : int(it - FPages.begin());
    int i = start;
    for (int k = 0; k < n; ++k) {
        i = GoForward ? (i + 1) % n : (i + n - 1) % n;
        if (!CheckTabVisible || FPages[size_t(i)]->FTabVisible) return FPages[size_t(i)];
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool GoForward) {
    TTabSheet* next = FindNextPage(FActivePage, GoForward, true);
    if (!next || next == FActivePage || !CanChange()) return;
    SetActivePage(next);
    Change();
}

void TPageControl::ShowActive() {
    Realign();
    for (TTabSheet* p : FPages)
        if (p != FActivePage) p->SetVisible(false);
    if (FActivePage) FActivePage->SetVisible(true);
}

TRect TPageControl::DisplayRect() {
    RECT r{0, 0, FWidth, FHeight};
    if (HandleAllocated()) {
        GetClientRect(Handle(), &r);
        Perform(TCM_ADJUSTRECT, 0, reinterpret_cast<LPARAM>(&r));
    }
    return TRect(r);
}

void TPageControl::AlignControls(TControl* AControl, TRect& Rect) {
    TWinControl::AlignControls(AControl, Rect);
    if (!HandleAllocated()) return;
    TRect r = DisplayRect();
    for (TTabSheet* p : FPages)
        p->SetBounds(r.Left, r.Top, std::max(0, int(r.Right - r.Left)),
                     std::max(0, int(r.Bottom - r.Top)));
}

void TPageControl::UpdateStyle() {
    if (!HandleAllocated()) return;
    TCreateParams p;
    CreateParams(p);
    DWORD keep = DWORD(GetWindowLongPtr(Handle(), GWL_STYLE)) & 0xFFFF0000;
    SetWindowLongPtr(Handle(), GWL_STYLE, LONG_PTR(keep | (p.Style & 0xFFFF)));
    SendMessage(Handle(), WM_SIZE, 0, MAKELPARAM(FWidth, FHeight));
    InvalidateRect(Handle(), nullptr, 1);
    Realign();
}

void TPageControl::SetTabHeight(int Value) {
    FTabHeight = std::max(0, Value);
    if (HandleAllocated()) Perform(TCM_SETITEMSIZE, 0, MAKELPARAM(FTabWidth, FTabHeight));
    Realign();
}

void TPageControl::SetTabWidth(int Value) {
    FTabWidth = std::max(0, Value);
    if (HandleAllocated()) Perform(TCM_SETITEMSIZE, 0, MAKELPARAM(FTabWidth, FTabHeight));
    Realign();
}

void TPageControl::SetTabPosition(TTabPosition Value) {
    FTabPosition = Value;
    UpdateStyle();
}

void TPageControl::SetMultiLine(bool Value) {
    FMultiLine = Value;
    UpdateStyle();
}

void TPageControl::SetStyle(TTabStyle Value) {
    FStyle = Value;
    UpdateStyle();
}

void TPageControl::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    FImages = Value;
    FImageSource.reset(Value ? new ImageListSource(Value) : nullptr);
    if (Value) Value->FreeNotification(this);
    if (HandleAllocated())
        SendMessage(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImageSource.get()));
    Realign();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

bool TPageControl::CanChange() {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    return allow;
}

void TPageControl::Change() {
    if (OnChange) OnChange(this);
}

void TPageControl::WndProc(TMessage& Message) {
    if (Message.Msg == CN_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(Message.LParam);
        Message.Result = 0;
        if (!nm || FRebuilding) return;
        if (nm->code == TCN_SELCHANGING) {
            Message.Result = CanChange() ? 0 : 1;
        } else if (nm->code == TCN_SELCHANGE) {
            TTabSheet* page = PageOfTab(TabIndex());
            if (page && page != FActivePage) {
                FActivePage = page;
                ShowActive();
            }
            Change();
        }
        return;
    }
    TWinControl::WndProc(Message);
    if (Message.Msg == WM_SIZE || Message.Msg == CM_FONTCHANGED) Realign();
}

// ---- Up-down ------------------------------------------------------------------

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterListAndTabControls();
    FWidth = 17;
    FHeight = 25;
    ControlStyle &= ~(csClickEvents | csDoubleClicks);
}

void TUpDown::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    if (FOrientation == udHorizontal) Params.Style |= UDS_HORZ;
    if (FWrap) Params.Style |= UDS_WRAP;
    if (FArrowKeys) Params.Style |= UDS_ARROWKEYS;
    if (!FThousands) Params.Style |= UDS_NOTHOUSANDS;
    if (FAssociate) Params.Style |= UDS_SETBUDDYINT;
    Params.SuperClass = UPDOWN_CLASS;
}

void TUpDown::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessage(Handle(), UDM_SETRANGE32, WPARAM(intptr_t(FMin)), FMax);
    SendMessage(Handle(), UDM_SETPOS32, 0, FPosition);
    if (FAssociate) SendMessage(Handle(), UDM_SETBUDDY, WPARAM(FAssociate->Handle()), 0);
}

void TUpDown::Recreate() {
    if (!HandleAllocated()) return;
    FPosition = Position();
    TCreateParams p;
    CreateParams(p);
    DWORD keep = DWORD(GetWindowLongPtr(Handle(), GWL_STYLE)) & 0xFFFF0000;
    SetWindowLongPtr(Handle(), GWL_STYLE, LONG_PTR(keep | (p.Style & 0xFFFF)));
    // The buddy is taken again so the key and text options apply.
    SendMessage(Handle(), UDM_SETBUDDY, 0, 0);
    if (FAssociate) SendMessage(Handle(), UDM_SETBUDDY, WPARAM(FAssociate->Handle()), 0);
    InvalidateRect(Handle(), nullptr, 1);
}

int TUpDown::Position() const {
    if (!HandleAllocated()) return FPosition;
    return int(SendMessage(const_cast<TUpDown*>(this)->Handle(), UDM_GETPOS32, 0, 0));
}

void TUpDown::SetPosition(int Value) {
    FPosition = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
    if (HandleAllocated()) SendMessage(Handle(), UDM_SETPOS32, 0, FPosition);
}

void TUpDown::SetMin(int Value) {
    FMin = Value;
    if (HandleAllocated()) SendMessage(Handle(), UDM_SETRANGE32, WPARAM(intptr_t(FMin)), FMax);
    SetPosition(Position());
}

void TUpDown::SetMax(int Value) {
    FMax = Value;
    if (HandleAllocated()) SendMessage(Handle(), UDM_SETRANGE32, WPARAM(intptr_t(FMin)), FMax);
    SetPosition(Position());
}

void TUpDown::SetOrientation(TUDOrientation Value) {
    FOrientation = Value;
    Recreate();
}

void TUpDown::SetWrap(bool Value) {
    FWrap = Value;
    Recreate();
}

void TUpDown::SetArrowKeys(bool Value) {
    FArrowKeys = Value;
    Recreate();
}

void TUpDown::SetThousands(bool Value) {
    FThousands = Value;
    Recreate();
}

void TUpDown::SetAssociate(TWinControl* Value) {
    if (FAssociate == Value) return;
    if (FAssociate) FAssociate->RemoveFreeNotification(this);
    FAssociate = Value;
    if (Value) Value->FreeNotification(this);
    Recreate();
}

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAssociate) {
        FAssociate = nullptr;
        if (HandleAllocated()) SendMessage(Handle(), UDM_SETBUDDY, 0, 0);
    }
}

void TUpDown::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CN_NOTIFY: {
        auto* nm = reinterpret_cast<NMUPDOWN*>(Message.LParam);
        Message.Result = 0;
        if (!nm || nm->hdr.code != UDN_DELTAPOS) return;
        bool allow = true;
        if (OnChanging) OnChanging(this, allow);
        if (!allow) {
            Message.Result = 1;
            return;
        }
        // The window steps by one; the control by its increment.
        nm->delta = nm->delta > 0 ? FIncrement : -FIncrement;
        FLastDelta = nm->delta;
        return;
    }
    case CN_VSCROLL:
    case CN_HSCROLL:
        Message.Result = 0;
        if (LOWORD(Message.WParam) == SB_THUMBPOSITION) {
            FPosition = Position();
            if (OnClick) OnClick(this, FLastDelta >= 0 ? btNext : btPrev);
        }
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}
