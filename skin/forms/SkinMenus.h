// Skinned popup menus: the drawn menu line, the window of one menu level, the
// engine each skinned form owns to open and close menus, the popup menu
// component forms and controls use, and the images picker.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/menus.h"
#include "classlib/timer.h"
#include "skin/engine/SkinData.h"

class TspSkinPopupWindow;
class TspSkinMenu;
class TspSkinHint;
class TspEffectBmp;

constexpr UINT WM_SKIN_AFTERMENUCOMMAND = 1229;

// True for the messages that close an open menu when its form receives them.
bool IsMenuCloseMessage(UINT Msg);

// Default glyphs of the menu lines, drawn with Color at (X, Y).
void DrawMenuCheck(TCanvas* Cnvs, int X, int Y, TColor Color);
void DrawMenuArrow(TCanvas* Cnvs, int X, int Y, TColor Color);
void DrawMenuRadio(TCanvas* Cnvs, int X, int Y, TColor Color);

// One drawn line of a popup window: wraps one TMenuItem.
class TspSkinMenuItem : public TObject {
public:
    TspSkinMenuItem(TspSkinPopupWindow* AParent, TMenuItem* AMenuItem, TspDataSkinMenuItem* AData);

    TspSkinPopupWindow* Parent;
    TspDataSkinMenuItem* MI;
    TBitmap* ActivePicture = nullptr;
    double FMorphKf = 0;
    TMenuItem* MenuItem;
    TRect ObjectRect;
    bool Active = false;
    bool Down = false;
    bool FVisible = true;
    bool WaitCommand = false;
    int CurrentFrame = 0;

    virtual bool CanMorphing();
    void Draw(TCanvas* Cnvs);
    void DefaultDraw(TCanvas* Cnvs);
    bool EnableAnimation() const;
    bool EnableMorphing() const;
    void DoMorphing();
    void MouseDown(int X, int Y);
    void MouseEnter(bool Kb);
    void MouseLeave();
    void StartRedraw();

    bool IsSeparator() const { return MenuItem->Caption == "-"; }
    // A disabled caption framed by hyphens, drawn as a label when skinned.
    bool IsHeader() const;
    bool Selectable() const { return MenuItem->Enabled && !IsSeparator(); }

private:
    void BuildItemImage(TBitmap* B, bool Hot, bool AnimationFrame);
    TRect GetAnimationFrameRect() const;
    void Output(TCanvas* Cnvs, TBitmap* B);
    void DrawMenuHeader(TCanvas* Cnvs, const TRect& R, const std::string& Caption);
    void DrawGlyphOrMark(TCanvas* C, const TRect& T, int GW, bool Hot, TColor MarkColor,
                         bool Skinned);
};

// The window of one level of a skinned popup menu.
class TspSkinPopupWindow : public TCustomControl {
public:
    TspSkinPopupWindow(TComponent* AOwner, TspSkinMenu* AParentMenu, TspDataSkinPopupWindow* AData);
    ~TspSkinPopupWindow() override;

    void Show(TRect& R, TMenuItem* AItem, int StartIndex, bool PopupByItem, bool PopupUp);
    void Show2(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex, bool PopupByItem,
               bool PopupUp);
    void Hide();
    void PaintMenu(HDC DC);
    void PopupKeyDown(int CharCode);
    // Draws one item on the window now, outside painting.
    void DrawItemNow(TspSkinMenuItem* Item);
    void WndProc(TMessage& Message) override;
    // A call of the window's procedure is running: a closed window is freed
    // only after it returns (a command run from its click may start a loop).
    bool InCall() const { return FCallDepth > 0; }
    int FCallDepth = 0;

    TspDataSkinMenuItem* DSMI = nullptr;
    int VisibleCount = 0;
    int VisibleStartIndex = 0;
    bool Scroll = false;
    bool Scroll2 = false;
    int ScrollCode = 0;
    TPoint NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint;
    TRect NewItemsRect;
    HRGN FRgn = nullptr;
    int ShowX = 0, ShowY = 0;
    std::unique_ptr<TTimer> WT;
    int OMX = -1, OMY = -1;
    TCustomImageList* ImgL = nullptr;
    int GlyphWidth = 16;
    TBitmap* WindowPicture = nullptr;
    TBitmap* MaskPicture = nullptr;
    int OldActiveItem = -1;
    std::unique_ptr<TTimer> MouseTimer;
    std::unique_ptr<TTimer> MorphTimer;
    TspSkinMenu* ParentMenu;
    TspSkinData* SD = nullptr;
    TspDataSkinPopupWindow* PW = nullptr;
    std::unique_ptr<TBitmap> Sc;
    std::unique_ptr<TspEffectBmp> ESc;
    bool AlphaBlend = false;
    uint8_t AlphaBlendValue = 200;
    bool AlphaBlendAnimation = false;
    std::vector<std::unique_ptr<TspSkinMenuItem>> ItemList;
    int ActiveItem = -1;
    std::unique_ptr<TBitmap> FPaintBuffer;
    // The hint of the hot item.
    std::string Hint;

    // Mouse tracking at a client point (the mouse timer and button presses call it).
    void TrackMouse(int X, int Y);
    void MouseTimerProc();
    bool CanScroll(int Code) const;
    void ScrollUp(bool Cycle);
    void ScrollDown(bool Cycle);
    void ResetSubPopup();
    int ItemHeight(const TspSkinMenuItem* Item) const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void CreateMenu(TMenuItem* AItem, TMenuItem* AItem2, int StartIndex);
    void CalcMenuSize();
    int CalcMenuWidth();
    int CalcMenuHeight();
    void ArrangeItems();
    void SetMenuWindowRegion();
    void CalcShowPosition(const TRect& R, bool PopupByItem, bool PopupUp);
    void ShowWindowAtPosition();
    void DelayedShow();
    void CreateMenuImage(TBitmap* B, bool DrawClient);
    void DrawItemBackground(TCanvas* C, const TRect& R);
    void DrawScrollMarkers(TCanvas* C);
    void StartScroll();
    void StopScroll();
    int GetLastPageStartIndex() const;
    void SelectNextItem();
    void SelectPrevItem();
    void MorphTimerProc();
    void RedrawItems();
    void DoShow(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex, bool PopupByItem,
                bool PopupUp);
    int W0() const;
    int H0() const;
};

// The menu engine: the chain of open popup windows of one skinned form.
class TspSkinMenu : public TComponent {
public:
    TspSkinMenu(TComponent* AOwner, TForm* AForm);
    ~TspSkinMenu() override;
    // Forgets an opening control that goes away.
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void Popup(TControl* APopupCtrl, TspSkinData* ASkinData, int StartIndex, TRect& R,
               TMenuItem* AItem, bool PopupUp);
    void Popup2(TControl* APopupCtrl, TspSkinData* ASkinData, int StartIndex, TRect& R,
                TMenuItem* AItem, TMenuItem* AItem2, bool PopupUp);
    void Hide();
    void CloseMenu(int FromIndex);
    void MenuClick(TspSkinPopupWindow* Window, TspSkinMenuItem* Item, bool Click, bool Kb);
    int PopupIndexOf(const TspSkinPopupWindow* Window) const;
    void GetWorkArea();
    void SetDefaultItemFont(TFont* Font);
    // The innermost open window, null when none.
    TspSkinPopupWindow* LastWindow() const;

    bool FUseSkinFont = true;
    bool FFirst = false;
    int FDefaultMenuItemHeight = 20;
    std::unique_ptr<TFont> FDefaultMenuItemFont;
    TControl* PopupCtrl = nullptr;
    TControl* DCtrl = nullptr;
    TForm* FForm;
    std::unique_ptr<TTimer> WaitTimer;
    TspSkinMenuItem* WItem = nullptr;
    TRect WorkArea;
    bool FVisible = false;
    TspSkinData* SkinData = nullptr;
    TNotifyEvent FOnMenuClose;
    std::vector<std::unique_ptr<TspSkinPopupWindow>> FPopupList;
    bool AlphaBlend = false;
    uint8_t AlphaBlendValue = 200;
    bool AlphaBlendAnimation = false;
    int MaxMenuItemsInWindow = 0;

private:
    void AddPopupWindow(TRect& R, TMenuItem* AItem, TMenuItem* AItem2, int StartIndex,
                        bool PopupByItem, bool PopupUp);
    void WaitTimerProc();
    void WatchControl(TControl* Ctrl);
    // Windows whose level closed while one of them was still handling a
    // message; freed once the messages already waiting are handled.
    std::vector<std::unique_ptr<TspSkinPopupWindow>> FClosed;
    std::unique_ptr<TTimer> FReleaseTimer;
    void ReleaseClosed();
};

// Sends a menu message to a control: SendMessage to a windowed one, Perform otherwise.
void SendMenuMessage(TControl* Ctrl, UINT Msg);

// The first of AComponent's owned components that is a skinned form component.
TComponent* FindSkinForm(TComponent* AComponent);

// The popup menu forms and controls use: opens its items through the menu
// engine of the skinned form it belongs to; without one nothing shows.
class TspSkinPopupMenu : public TPopupMenu {
public:
    explicit TspSkinPopupMenu(TComponent* AOwner);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void Popup(int X, int Y) override;
    void PopupFromRect(TRect& R, bool APopupUp);
    void Popup2(TControl* ACtrl, int X, int Y);
    void PopupFromRect2(TControl* ACtrl, TRect& R, bool APopupUp);

    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    TNotifyEvent OnMenuClose;

    TPoint FPopupPoint{-1, -1};
    TForm* FComponentForm = nullptr;
    TComponent* FSkinComponent = nullptr;

private:
    void DoPopup(TControl* ACtrl, TRect R, bool APopupUp, bool NeedSkinData);
    TspSkinData* FSD = nullptr;
};

// ---- Images menu ------------------------------------------------------------------------------

class TspSkinImagesMenu;

class TspImagesMenuItem : public TPersistent {
public:
    TspImagesMenuItem() = default;
    void Assign(TPersistent* Source) override;
    bool Button = false;
    bool Header = false;
    std::string Caption;
    std::string Hint;
    int ImageIndex = -1;
    TNotifyEvent OnClick;
    TRect ItemRect;
    TColor FColor = clNone;
    virtual void SetImageIndex(int Value) { ImageIndex = Value; }
    virtual void SetCaption(const std::string& Value) { Caption = Value; }
};

class TspImagesMenuItems : public TPersistent {
public:
    explicit TspImagesMenuItems(TspSkinImagesMenu* AImagesMenu) : FImagesMenu(AImagesMenu) {}
    void Assign(TPersistent* Source) override;
    TspImagesMenuItem* Add();
    int Count() const { return int(FItems.size()); }
    TspImagesMenuItem* Items(int Index) const { return FItems.at(size_t(Index)).get(); }
    void Clear() { FItems.clear(); }
    TspSkinImagesMenu* GetOwner() const { return FImagesMenu; }

private:
    TspSkinImagesMenu* FImagesMenu;
    std::vector<std::unique_ptr<TspImagesMenuItem>> FItems;
};

class TspSkinImagesMenuPopupWindow : public TCustomControl {
public:
    explicit TspSkinImagesMenuPopupWindow(TspSkinImagesMenu* AMenu);
    ~TspSkinImagesMenuPopupWindow() override;
    void Show(TRect& PopupRect);
    void Hide(bool AProcessEvents);
    void WndProc(TMessage& Message) override;
    bool InCall() const { return FCallDepth > 0; }
    int FCallDepth = 0;
    void ProcessKey(int Key);
    // Lays the items out and sizes the window.
    void CalcMenuSizeAndRegion();
    int ItemAtPos(int X, int Y) const;

    bool FSkinSupport = false;
    TspSkinImagesMenu* ImagesMenu;
    HRGN FRgn = nullptr;
    TPoint NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint;
    TRect NewItemsRect;
    TBitmap* WindowPicture = nullptr;
    TBitmap* MaskPicture = nullptr;
    int MouseInItem = -1, OldMouseInItem = -1;
    bool FDown = false, FItemDown = false;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    void CalcItemRects();
    void DrawItems(TCanvas* C, int Hot, int Selected);
    void DrawItemFrame(TCanvas* C, const TRect& R, bool Pressed);
    void DrawItemCaption(TCanvas* C, const std::string& Text, const TRect& R, bool Pressed,
                         bool Hot);
    void DrawImagesHeader(TCanvas* C, const TRect& R, const std::string& Caption);
    void SelectUp();
    void SelectDown();
    void SelectNext();
    void SelectPrev();
    void HookAppMessages();
    void UnHookAppMessages();
    int FAppHook = 0;
    bool FHooked = false;
    int RowWidth() const;
    bool FClosing = false;
};

class TspSkinImagesMenu : public TComponent {
public:
    explicit TspSkinImagesMenu(TComponent* AOwner);
    ~TspSkinImagesMenu() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void Popup(int X, int Y);
    void PopupFromRect(TRect& R);
    void Hide();
    void ProcessMenuClose(bool AProcessEvents);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TspSkinHint* SkinHint = nullptr;
    bool ShowHints = true;
    TspImagesMenuItems* ImagesItems() { return FImagesItems.get(); }
    void SetImagesItems(TspImagesMenuItems* Value) { FImagesItems->Assign(Value); }
    int ItemIndex = -1;
    bool UseSkinFont = true;
    TFont* DefaultFont() { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value) { FDefaultFont->Assign(Value); }
    int ColumnsCount() const { return FColumnsCount; }
    void SetColumnsCount(int Value);
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    bool ShowSelectedItem = true;
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    uint8_t AlphaBlendValue = 200;
    TNotifyEvent OnItemClick, OnChange, OnMenuPopup, OnMenuClose;
    TspImagesMenuItem* SelectedItem() const;

    TspSkinImagesMenuPopupWindow* FPopupWindow = nullptr;
    int FOldItemIndex = -1;
    TNotifyEvent FOnInternalChange, FOnInternalMenuClose;

private:
    TCustomImageList* FImages = nullptr;
    TspSkinData* FSD = nullptr;
    std::unique_ptr<TspImagesMenuItems> FImagesItems;
    std::unique_ptr<TFont> FDefaultFont;
    int FColumnsCount = 1;
    // A window closed from inside its own message handling waits here.
    std::vector<std::unique_ptr<TspSkinImagesMenuPopupWindow>> FClosedWindows;
    void ReleaseClosed();
    std::unique_ptr<TTimer> FReleaseTimer;
};
