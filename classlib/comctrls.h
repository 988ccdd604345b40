// Common controls of the class library: the list view (TCustomListView,
// TListView) with its items and columns, the page control with its tab
// sheets, and the up-down. Each wraps the window class of the same kind in
// platform/win/controls: the object keeps the model (items, columns, pages)
// and mirrors it into the window, which is re-created from it when needed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/strings.h"

class TCustomListView;
class TListItems;
class TListColumns;
class ControlImages;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TUDOrientation { udHorizontal, udVertical };
enum TUDBtnType { btNext, btPrev };
enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

// What a custom-drawn item looks like now (bits).
using TCustomDrawState = unsigned;
constexpr TCustomDrawState cdsSelected = 0x01;
constexpr TCustomDrawState cdsGrayed = 0x02;
constexpr TCustomDrawState cdsDisabled = 0x04;
constexpr TCustomDrawState cdsChecked = 0x08;
constexpr TCustomDrawState cdsFocused = 0x10;
constexpr TCustomDrawState cdsHot = 0x40;

// ---- List view ----------------------------------------------------------------

class TListItem : public TPersistent {
public:
    explicit TListItem(TListItems* AOwner);
    ~TListItem() override;

    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // The texts of the columns after the first; changes reach the window.
    TStrings* SubItems() { return FSubItems.get(); }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    // Index into StateImages; -1 shows none.
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int Value);
    int SubItemImages(int Index) const;
    void SetSubItemImages(int Index, int Value);
    bool Selected() const;
    void SetSelected(bool Value);
    bool Focused() const;
    void SetFocused(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    void* Data = nullptr;

    int Index() const;
    TListItems* Owner() const { return FOwner; }
    TCustomListView* ListView() const;
    // Where the item is drawn, client coordinates; empty without a window.
    TRect DisplayRect(TDisplayCode Code) const;
    void MakeVisible(bool PartialOK);
    void Update();
    // Removes and frees the item.
    void Delete();

private:
    friend class TListItems;
    friend class TCustomListView;
    void SubItemsChanged();
    void PushTexts() const;
    void PushImage() const;
    void PushStateImage() const;

    TListItems* FOwner;
    std::string FCaption;
    std::unique_ptr<TStringList> FSubItems;
    std::vector<int> FSubItemImages;
    int FImageIndex = -1;
    int FStateIndex = -1;
    bool FChecked = false;
    UINT FState = 0; // selection and focus while there is no window
};

class TListItems : public TPersistent {
public:
    explicit TListItems(TCustomListView* AOwner);
    ~TListItems() override;

    int Count() const { return int(FItems.size()); }
    // EListError when out of range.
    TListItem* Item(int Index) const;
    TListItem* operator[](int Index) const { return Item(Index); }
    TListItem* Add();
    TListItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    int IndexOf(const TListItem* Value) const;
    // Holds the window's painting between the calls.
    void BeginUpdate();
    void EndUpdate();
    TCustomListView* Owner() const { return FOwner; }

private:
    friend class TCustomListView;
    friend class TListItem;
    void PushItem(int Index);

    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListItem>> FItems;
    int FUpdateCount = 0;
};

class TListColumn : public TPersistent {
public:
    explicit TListColumn(TListColumns* AOwner) : FOwner(AOwner) {}
    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // The width the user gave it by dragging counts.
    int Width() const;
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    int Index() const;

private:
    friend class TListColumns;
    friend class TCustomListView;
    void Push(bool insert) const;

    TListColumns* FOwner;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    int FImageIndex = -1;
};

class TListColumns : public TPersistent {
public:
    explicit TListColumns(TCustomListView* AOwner) : FOwner(AOwner) {}
    int Count() const { return int(FColumns.size()); }
    TListColumn* Items(int Index) const; // EListError when out of range
    TListColumn* operator[](int Index) const { return Items(Index); }
    TListColumn* Add();
    void Delete(int Index);
    void Clear();
    TCustomListView* Owner() const { return FOwner; }

private:
    friend class TListColumn;
    friend class TCustomListView;
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListColumn>> FColumns;
};

using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVChangingEvent =
    std::function<void(TObject* Sender, TListItem* Item, TItemChange Change, bool& AllowChange)>;
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent = std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2,
                                           int Data, int& Compare)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVAdvancedCustomDrawItemEvent =
    std::function<void(TCustomListView* Sender, TListItem* Item, TCustomDrawState State,
                       TCustomDrawStage Stage, bool& DefaultDraw)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TLVCompare = std::function<int(TListItem* Item1, TListItem* Item2, int Data)>;

class TCustomListView : public TWinControl {
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;

    TListItems* Items() const { return FItems.get(); }
    TListColumns* Columns() const { return FColumns.get(); }

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle Value);
    bool RowSelect() const { return FRowSelect; }
    void SetRowSelect(bool Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    // Hides the selection while the list has no focus.
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value);
    bool ShowColumnHeaders() const { return FShowColumnHeaders; }
    void SetShowColumnHeaders(bool Value);
    bool ColumnClick() const { return FColumnClick; }
    void SetColumnClick(bool Value);
    bool Checkboxes() const { return FCheckboxes; }
    void SetCheckboxes(bool Value);
    bool GridLines() const { return FGridLines; }
    void SetGridLines(bool Value);
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }

    TCustomImageList* SmallImages() const { return FSmallImages; }
    void SetSmallImages(TCustomImageList* Value);
    TCustomImageList* LargeImages() const { return FLargeImages; }
    void SetLargeImages(TCustomImageList* Value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* Value);

    // The canvas custom drawing paints on.
    TCanvas* Canvas() { return &FCanvas; }

    // The first selected item, null when none; setting selects only it.
    TListItem* Selected() const;
    void SetSelected(TListItem* Value);
    TListItem* ItemFocused() const;
    void SetItemFocused(TListItem* Value);
    int ItemIndex() const;
    void SetItemIndex(int Value);
    int SelCount() const;
    TListItem* TopItem() const;
    int VisibleRowCount() const;
    TListItem* GetItemAt(int X, int Y) const;
    // Scrolls by pixels.
    void Scroll(int DX, int DY);
    // Orders the items by OnCompare (by caption without it); false when no
    // order could be made.
    bool AlphaSort();
    bool CustomSort(TLVCompare SortProc, int Data);
    void Clear() { FItems->Clear(); }

    TLVChangeEvent OnChange;
    TLVChangingEvent OnChanging;
    TLVSelectItemEvent OnSelectItem;
    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;
    TLVDeletedEvent OnDeletion;
    TLVDeletedEvent OnInsert;
    TLVAdvancedCustomDrawItemEvent OnAdvancedCustomDrawItem;
    TContextPopupEvent OnContextPopup;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    // An item changed (Change tells what); fires OnChange.
    virtual void Change(TListItem* Item, int Change);

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    LRESULT Send(UINT Msg, WPARAM W, LPARAM L) const;
    void UpdateStyle();
    void UpdateExStyle();
    void SetImageList(TCustomImageList*& Slot, TCustomImageList* Value, WPARAM Kind);
    LRESULT CustomDraw(LPARAM LParam);
    void HandleNotify(TMessage& Message);

    std::unique_ptr<TListItems> FItems;
    std::unique_ptr<TListColumns> FColumns;
    TViewStyle FViewStyle = vsIcon;
    bool FRowSelect = false;
    bool FMultiSelect = false;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FShowColumnHeaders = true;
    bool FColumnClick = true;
    bool FCheckboxes = false;
    bool FGridLines = false;
    bool FDoubleBuffered = false;
    bool FSorting = false;
    TCustomImageList* FSmallImages = nullptr;
    TCustomImageList* FLargeImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    std::vector<std::unique_ptr<ControlImages>> FImageSources;
    TCanvas FCanvas;
};

class TListView : public TCustomListView {
public:
    using TCustomListView::TCustomListView;
};

// ---- Page control -------------------------------------------------------------

class TPageControl;

class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* Value);
    // Position among the pages.
    int PageIndex() const;
    void SetPageIndex(int Value);
    // Position among the visible tabs, -1 when the tab is hidden.
    int TabIndex() const;
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    void SetText(const std::string& Value) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
    int FImageIndex = -1;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const { return int(FPages.size()); }
    TTabSheet* Pages(int Index) const; // EListError when out of range
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* Value);
    int ActivePageIndex() const;
    void SetActivePageIndex(int Value);
    // The next visible page after (or before) the current one, wrapping.
    TTabSheet* FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const;
    void SelectNextPage(bool GoForward);
    // The selected visible tab, -1 when none.
    int TabIndex() const;

    int TabHeight() const { return FTabHeight; }
    void SetTabHeight(int Value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int Value);
    TTabPosition TabPosition() const { return FTabPosition; }
    void SetTabPosition(TTabPosition Value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool Value);
    TTabStyle Style() const { return FStyle; }
    void SetStyle(TTabStyle Value);
    bool HotTrack() const { return FHotTrack; }
    void SetHotTrack(bool Value) { FHotTrack = Value; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // The page area in client coordinates, as the window gives it.
    TRect DisplayRect();

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    // Places the pages in the page area.
    void AlignControls(TControl* AControl, TRect& Rect) override;
    virtual void Change();
    virtual bool CanChange();

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void RebuildTabs();
    void UpdateStyle();
    void ShowActive();
    TTabSheet* PageOfTab(int TabIndex) const;

    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    int FTabHeight = 0;
    int FTabWidth = 0;
    TTabPosition FTabPosition = tpTop;
    bool FMultiLine = false;
    TTabStyle FStyle = tsTabs;
    bool FHotTrack = false;
    TCustomImageList* FImages = nullptr;
    std::unique_ptr<ControlImages> FImageSource;
    bool FRebuilding = false;
};

// ---- Up-down ------------------------------------------------------------------

using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

class TUpDown : public TWinControl {
public:
    explicit TUpDown(TComponent* AOwner);

    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Position() const;
    void SetPosition(int Value);
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value; }
    TUDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TUDOrientation Value);
    bool Wrap() const { return FWrap; }
    void SetWrap(bool Value);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool Value);
    bool Thousands() const { return FThousands; }
    void SetThousands(bool Value);
    // The control whose text shows the position.
    TWinControl* Associate() const { return FAssociate; }
    void SetAssociate(TWinControl* Value);

    // Before a step; AllowChange false refuses it.
    TUDChangingEvent OnChanging;
    // After a step, with the button that made it.
    TUDClickEvent OnClick;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    void Recreate();
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FIncrement = 1;
    TUDOrientation FOrientation = udVertical;
    bool FWrap = false;
    bool FArrowKeys = true;
    bool FThousands = true;
    TWinControl* FAssociate = nullptr;
    int FLastDelta = 0;
};
