// Skinned tabs: the up-down pair of arrow buttons, the tab sheet and the page
// control that draws its border, tab strip, tabs and close buttons from the
// skin while the native tab control keeps layout, selection and keys.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "classlib/comctrls.h"
#include "skin/engine/SkinCtrls.h"

// ---- Up-down --------------------------------------------------------------------------

class TspSkinUpDown : public TspSkinCustomControl {
public:
    explicit TspSkinUpDown(TComponent* AOwner);
    ~TspSkinUpDown() override;

    struct TButton {
        TRect R;
        bool MouseIn = false;
        bool Down = false;
    };

    bool UseSkinSize() const { return FUseSkinSize; }
    void SetUseSkinSize(bool v);
    TUDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TUDOrientation Value);
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = Value; }
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Max() const { return FMax; }
    void SetMax(int Value);

    TNotifyEvent OnChange;
    TNotifyEvent OnUpButtonClick;
    TNotifyEvent OnDownButtonClick;

    // Button 0 is up (right when horizontal), button 1 down (left).
    const TButton& Button(int i) const { return Buttons[i]; }
    int ActiveButton() const { return FActiveButton; }
    int CaptureButton() const { return FCaptureButton; }

    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void FitSkinSize(int& W, int& H) override;
    void UpdateSkinRegion() override;
    void WndProc(TMessage& Message) override;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void CalcRects();
    void TestActive(int X, int Y);
    void ButtonDown(int i);
    void ButtonUp(int i);
    void ButtonEnter(int i);
    void ButtonLeave(int i);
    void StartTimer(unsigned Ms);
    void StopTimer();
    // One button from the resizable button element, for a free-size pair.
    void DrawResizeButton(TCanvas* C, int i);

    bool FUseSkinSize = true;
    TUDOrientation FOrientation = udHorizontal;
    TButton Buttons[2];
    int FActiveButton = -1, FOldActiveButton = -1, FCaptureButton = -1;
    int TimerMode = 0;
    bool WaitMode = false;
    int FIncrement = 1, FPosition = 0, FMin = 0, FMax = 100;
    TRect UpButtonRect, DownButtonRect, ActiveUpButtonRect, DownUpButtonRect, ActiveDownButtonRect,
        DownDownButtonRect;
};

// ---- Tab sheet and page control -------------------------------------------------------

class TspSkinPageControl;

class TspSkinCustomTabSheet : public TTabSheet {
public:
    explicit TspSkinCustomTabSheet(TComponent* AOwner);
    ~TspSkinCustomTabSheet() override;

    TBitmap* WallPaper() const { return FWallPaper.get(); }
    void SetWallPaper(TBitmap* Value);
    void WndProc(TMessage& Message) override;

    // Where this page's close button was last drawn, in its tab's coordinates.
    TRect ButtonRect;
    bool ButtonMouseIn = false;
    bool ButtonMouseDown = false;

protected:
    void CreateParams(TCreateParams& Params) override;
    // The page's background from its page control's element or wallpaper.
    void PaintBG(HDC DC);

private:
    TspSkinPageControl* SkinPageControl() const;
    std::unique_ptr<TBitmap> FWallPaper;
};

class TspSkinTabSheet : public TspSkinCustomTabSheet {
public:
    using TspSkinCustomTabSheet::TspSkinCustomTabSheet;
};

using TspCloseEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TspDrawSkinTabEvent =
    std::function<void(int TabIndex, const TRect& Rct, bool Active, bool MouseIn, TCanvas* Cnvs)>;

class TspSkinPageControl : public TPageControl, public TspSkinPartGeometry {
public:
    explicit TspSkinPageControl(TComponent* AOwner);
    ~TspSkinPageControl() override;

    void ChangeSkinData();
    void UpDateTabs();
    void HideTabs();
    void ShowTabs();
    void HideBorderAndTabs();
    void ShowBorderAndTabs();
    void Loaded() override;

    bool TabExtededDraw() const { return FTabExtendedDraw; }
    void SetTabExtededDraw(bool Value);
    int TabMargin() const { return FTabMargin; }
    void SetTabMargin(int Value);
    int TabSpacing() const { return FTabSpacing; }
    void SetTabSpacing(int Value);
    TspButtonLayout TabLayout() const { return FTabLayout; }
    void SetTabLayout(TspButtonLayout Value);
    bool TextInHorizontal() const { return FTextInHorizontal; }
    void SetTextInHorizontal(bool Value);
    bool TabsInCenter() const { return FTabsInCenter; }
    void SetTabsInCenter(bool Value);
    bool FreeOnClose() const { return FFreeOnClose; }
    void SetFreeOnClose(bool v) { FFreeOnClose = v; }
    bool ShowCloseButtons() const { return FShowCloseButtons; }
    void SetShowCloseButtons(bool Value);
    bool TabsBGTransparent() const { return FTabsBGTransparent; }
    void SetTabsBGTransparent(bool Value);
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value) { FDefaultFont->Assign(Value); }
    bool UseSkinFont() const { return FUseSkinFont; }
    void SetUseSkinFont(bool v) { FUseSkinFont = v; }
    int DefaultItemHeight() const { return FDefaultItemHeight; }
    void SetDefaultItemHeight(int Value);
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& v) { FSkinDataName = v; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);

    bool TabsHidden() const { return FHideTabs; }
    bool BorderHidden() const { return FHideBorder; }
    int Index() const { return FIndex; }
    int CloseSize() const { return FCloseSize; }
    // The room the native control reserves in every tab for image and close button.
    int ReservedTabRoom() const;
    TspSkinUpDown* SkinUpDown() const { return FSkinUpDown.get(); }
    int ActiveTab() const { return FActiveTab; }
    int ActiveTabIndex() const { return FActiveTabIndex; }

    // The rectangle of visible tab i as painting and hit tests see it.
    TRect GetTabRect(int Index);
    int GetHiddenTabsCount();
    int GetFirstVisibleTabIndex();
    int CenterOffset() const;
    void CheckUpDown();
    void UpdateUpDownPosition();
    void CloseActivePage();
    // Asks OnClose, then hides (and with FreeOnClose frees) the page.
    void ClosePage(TspSkinCustomTabSheet* Page);
    void GetSkinData();

    TspCloseEvent OnClose;
    TNotifyEvent OnAfterClose;
    TspDrawSkinTabEvent OnDrawSkinTab;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void PaintWindow(HDC DC);

    // Copies of the element.
    TRect TabRect, ActiveTabRect, FocusTabRect, MouseInTabRect, TabsBGRect;
    int TabLeftOffset = 0, TabRightOffset = 0;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, FocusFontColor = 0, MouseInFontColor = 0;
    std::string UpDown;
    int BGPictureIndex = -1;
    bool TabStretchEffect = false, ShowFocus = false;
    int FocusOffsetX = 0, FocusOffsetY = 0;
    TRect CloseButtonRect, ClosebuttonActiveRect, CloseButtonDownRect;
    bool ButtonTransparent = false;
    TColor ButtonTransparentColor = 0;

protected:
    void CreateWnd() override;
    void Change() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    friend class TspSkinCustomTabSheet;
    class ReservedRoom;

    void SetItemSize(int W, int H);
    bool HasVisibleTabs() const;
    void SetReservedRoom(int Value);
    void TestActiveTab(int X, int Y);
    TRect CloseRectOfHovered();
    TRect BorderRect(const TRect& DR) const;
    void AdjustDisplayRect(RECT& R);
    void AdjustTabRect(RECT& R);
    TRect GetSelectedTabArea();
    void DrawDefaultBorder(TCanvas* C);
    void DrawSkinBorder(TCanvas* C);
    void DrawClientBackground(HDC DC, int W, int H);
    void DrawTabs(TCanvas* C);
    void DrawTab(int TabIndex, TRect R, bool MouseIn, bool Selected, TCanvas* C);
    void DrawCloseButton(TCanvas* C, TRect R, int TabImageHeight, int TabImageWidth,
                         TspSkinCustomTabSheet* Page, bool Turned);
    // Redraws the tabs straight onto the control, outside the paint cycle.
    void RedrawTabs();
    TspSkinCustomTabSheet* SkinPage(int PageIndex) const;
    void UpDownChange(TObject* Sender);
    bool SkinFontCharset(TFont* F);

    bool FTabExtendedDraw = false;
    int FTabMargin = -1, FTabSpacing = 1;
    TspButtonLayout FTabLayout = blGlyphLeft;
    bool FTextInHorizontal = false;
    bool FHideTabs = false, FHideBorder = false;
    TTabPosition FOldTabPosition = tpTop;
    bool FOldMultiLine = false;
    int FOldTabHeight = -1;
    int FCloseSize = 14;
    bool FFreeOnClose = false;
    bool FShowCloseButtons = false, FTabsBGTransparent = false, FTabsInCenter = false;
    int FActiveTab = -1, FActiveTabIndex = -1, FOldActiveTab = -1, FOldActiveTabIndex = -1;
    TCustomImageList* FImages = nullptr;
    std::unique_ptr<ReservedRoom> FTempImages;
    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "tab";
    int FIndex = -1;
    std::unique_ptr<TspSkinUpDown> FSkinUpDown;
    std::unique_ptr<TFont> FDefaultFont;
    bool FUseSkinFont = true;
    int FDefaultItemHeight = 20;
    TCanvas FCanvas;
    bool FInPaint = false;
};
