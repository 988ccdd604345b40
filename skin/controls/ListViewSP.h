// The skinned list view: the native list view without its own scroll bars
// and frame, kept in step with external skinned scroll bars, its column
// header painted from a button element, and (in the published class) every
// item drawn here with the skin's list-box pictures.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "classlib/comctrls.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/engine/SkinData.h"

using TspDrawHeaderSectionEvent =
    std::function<void(TCanvas* Cnvs, TListColumn* Column, bool Pressed, const TRect& R)>;

class TspSkinCustomListView : public TCustomListView {
public:
    explicit TspSkinCustomListView(TComponent* AOwner);
    ~TspSkinCustomListView() override;

    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& v) { FSkinDataName = v; }
    const std::string& HeaderSkinDataName() const { return FHeaderSkinDataName; }
    void SetHeaderSkinDataName(const std::string& v) { FHeaderSkinDataName = v; }
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    TColor DefaultColor() const { return FDefaultColor; }
    void SetDefaultColor(TColor Value);
    bool UseSkinFont() const { return FUseSkinFont; }
    void SetUseSkinFont(bool v) { FUseSkinFont = v; }
    TspSkinScrollBar* VScrollBar() const { return FVScrollBar; }
    void SetVScrollBar(TspSkinScrollBar* Value);
    TspSkinScrollBar* HScrollBar() const { return FHScrollBar; }
    void SetHScrollBar(TspSkinScrollBar* Value);
    TspDrawHeaderSectionEvent OnDrawHeaderSection;

    void ChangeSkinData();
    void UpDateScrollBars();
    void Loaded() override;

    int Index() const { return FIndex; }
    HWND HeaderHandle() const { return FHeaderHandle; }
    int ActiveSection() const { return FActiveSection; }
    bool HeaderDown() const { return FHeaderDown; }
    // The rectangle of header section i as the header shows it.
    TRect SectionRect(int i) const;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Change(TListItem* Item, int Change) override;

private:
    static LRESULT HeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HeaderWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void HookHeader(HWND Header);
    void UnhookHeader();
    void PaintHeader(HDC DC);
    void DrawHeaderSection(TCanvas* C, TListColumn* Column, bool Pressed, const TRect& R);
    void GetHeaderSkinData();
    void BuildHeaderImage(TBitmap* B, const TRect& Src, int W, int H, bool NoRight);
    void VScrollBarChange(TObject* Sender);
    void HScrollBarChange(TObject* Sender);
    void SetBarVisible(TspSkinScrollBar* Bar, bool Value, bool& Changed);
    void FinishBars(bool Changed);
    void UpdateReportBars();
    void UpdateIconBars();
    void UpdateListBars();
    int ItemHeight() const;

    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "listview";
    std::string FHeaderSkinDataName = "resizebutton";
    std::unique_ptr<TFont> FDefaultFont;
    TColor FDefaultColor = clWindow;
    bool FUseSkinFont = true;
    TspSkinScrollBar* FVScrollBar = nullptr;
    TspSkinScrollBar* FHScrollBar = nullptr;
    int FIndex = -1, FHIndex = -1;

    // The header element's values, copied for painting.
    TPoint HLTPt, HRTPt, HLBPt, HRBPt;
    TRect HSkinRect, HClRect, HActiveSkinRect, HDownSkinRect;
    TColor HFontColor = 0, HActiveFontColor = 0, HDownFontColor = 0;
    bool HStretchEffect = false, HLeftStretch = false, HTopStretch = false, HRightStretch = false,
         HBottomStretch = false;
    TspStretchType HStretchType = spstFull;
    TBitmap* HPicture = nullptr; // the skin's, not owned

    HWND FHeaderHandle = 0;
    WNDPROC FDefHeaderProc = nullptr;
    int FActiveSection = -1;
    bool FHeaderDown = false, FDevDown = false;
    int FOldVScrollBarPos = 0, FOldHScrollBarPos = 0;
    bool FInCheckScrollBars = false;
    bool FromSB = false;
};

class TspSkinListViewSP : public TspSkinCustomListView {
public:
    explicit TspSkinListViewSP(TComponent* AOwner);
    bool WordBreak() const { return FWordBreak; }
    void SetWordBreak(bool v) { FWordBreak = v; }

private:
    void DoAdvancedCustomDrawItem(TCustomListView* Sender, TListItem* Item, TCustomDrawState State,
                                  TCustomDrawStage Stage, bool& DefaultDraw);
    bool FWordBreak = true;
};
