// The bases every skinned control derives from: bound to a skin data
// component and to one control element found by name, painted through an
// off-screen bitmap, optionally mixed with what lies under them.
#pragma once

#include <memory>
#include <string>

#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/SkinData.h"

// The skin's picture or control element at an index; null without a skin or
// for an index out of range.
TBitmap* SkinPictureAt(TspSkinData* sd, int index);
TspDataSkinControl* SkinElementAt(TspSkinData* sd, int index);
// The index of the control element of that name; -1 without a loaded skin.
int SkinControlIndex(TspSkinData* sd, const std::string& name);

// The element's picture part and how it is rebuilt at the control's size.
struct TspSkinPartGeometry {
    TPoint LTPt, RTPt, LBPt, RBPt;
    TRect SkinRect;
    TRect ClRect;
    TPoint NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint;
    TRect NewClRect;
    TBitmap* Picture = nullptr; // the skin's, not owned
    int ResizeMode = 0;
    bool StretchEffect = false, LeftStretch = false, TopStretch = false, RightStretch = false,
         BottomStretch = false;
    TspStretchType StretchType = spstFull;

    // -1 empty part, 1 nine parts, 2 free width, 3 free height, 0 fixed.
    int GetResizeMode() const;
    // Fits W x H to the resize mode and moves the new points; Found tells
    // whether an element is in use.
    void FitSize(bool Found, int& W, int& H);
    void BuildImage(TBitmap* B, TBitmap* P, const TRect& R, int W, int H, bool SkipNinePart,
                    TspStretchType ClientType);
    TRect MapRect(const TRect& R, int W, int H) const;
};

// Part Src of element E built as a nine-part image of W x H into B, its
// corner points and client rectangle moved by the size difference.
void BuildElementImage(TBitmap* B, TBitmap* Picture, const TspDataSkinCustomControl* E,
                       const TRect& Src, int W, int H);

class TspSkinControl : public TCustomControl {
public:
    explicit TspSkinControl(TComponent* AOwner);
    ~TspSkinControl() override;

    virtual void SetAlphaBlend(bool Value);
    virtual void SetAlphaBlendValue(uint8_t Value);
    // Looks the element up by name: FIndex, -1 without skin or element.
    virtual void GetSkinData();
    virtual void SetSkinData(TspSkinData* Value);
    virtual void SetSkinDataName(const std::string& Value);
    virtual void DrawDefaultImage(TBitmap* B);
    virtual void DrawSkinImage(TBitmap* B);
    // Re-reads the element, takes the skin cursor and repaints.
    virtual void ChangeSkinData();
    // The element may vanish with the old skin.
    virtual void BeforeChangeSkinData();
    virtual void CheckParentBackground();
    // Tells every child that the background under it changed.
    void CheckControlsBackground();

    TspSkinData* SkinData() const { return FSD; }
    const std::string& SkinDataName() const { return FSkinDataName; }
    const std::string& AreaName() const { return FAreaName; }
    void SetAreaName(const std::string& v) { FAreaName = v; }
    bool DrawDefault() const { return FDrawDefault; }
    void SetDrawDefault(bool v) { FDrawDefault = v; }
    bool AlphaBlend() const { return FAlphaBlend; }
    uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
    bool UseSkinCursor() const { return FUseSkinCursor; }
    void SetUseSkinCursor(bool v) { FUseSkinCursor = v; }
    const std::string& HintTitle() const { return FHintTitle; }
    void SetHintTitle(const std::string& v) { FHintTitle = v; }
    int HintImageIndex() const { return FHintImageIndex; }
    void SetHintImageIndex(int v) { FHintImageIndex = v; }
    TCustomImageList* HintImageList() const { return FHintImageList; }
    void SetHintImageList(TCustomImageList* v);
    int Index() const { return FIndex; }
    bool FromWMPaint() const { return FFromWMPaint; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;
    // Draws B on the canvas, mixed with the parent background when AlphaBlend.
    void PaintImage(TBitmap* B);
    void ApplySkinCursor();

    bool FFromWMPaint = false;
    TspSkinData* FSD = nullptr;
    std::string FAreaName;
    std::string FSkinDataName;
    HRGN FRgn = nullptr;
    bool FDrawDefault = true;
    int CursorIndex = -1;
    bool FAlphaBlend = false;
    uint8_t FAlphaBlendValue = 200;
    bool FUseSkinCursor = false;
    std::string FHintTitle;
    int FHintImageIndex = 0;
    TCustomImageList* FHintImageList = nullptr;
    int FIndex = -1;
};

class TspSkinCustomControl : public TspSkinControl, public TspSkinPartGeometry {
public:
    explicit TspSkinCustomControl(TComponent* AOwner);
    ~TspSkinCustomControl() override;

    virtual void DefaultFontChanged() {}
    virtual void FitSkinSize(int& W, int& H);
    // The window region from the element's mask at the current size.
    virtual void UpdateSkinRegion();

    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void ChangeSkinData() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    void BuildControlImage(TBitmap* B, TBitmap* APicture, const TRect& R);
    // A rectangle of the element moved or widened to the current size.
    TRect MapSkinRect(const TRect& R) const;

    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    bool UseSkinFont() const { return FUseSkinFont; }
    void SetUseSkinFont(bool v) { FUseSkinFont = v; }
    int DefaultWidth() const { return FDefaultWidth; }
    void SetDefaultWidth(int Value);
    int DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int Value);
    bool ForceBackground() const { return FForceBackground; }
    void SetForceBackground(bool v) { FForceBackground = v; }
    bool DrawBackground() const { return FDrawbackground; }
    void SetDrawBackground(bool v) { FDrawbackground = v; }
    TBitmap* MaskPicture = nullptr; // the skin's, not owned

protected:
    void Paint() override;

    bool FForceBackground = false;
    bool FDrawbackground = true;
    bool FUseSkinFont = true;
    int FDefaultWidth = 0;
    int FDefaultHeight = 0;
    std::unique_ptr<TFont> FDefaultFont;

private:
    void PaintBorderStrips();
};

class TspGraphicSkinControl : public TGraphicControl {
public:
    explicit TspGraphicSkinControl(TComponent* AOwner);
    ~TspGraphicSkinControl() override;

    virtual void SetAlphaBlend(bool Value);
    virtual void SetAlphaBlendValue(uint8_t Value);
    virtual void GetSkinData();
    virtual void SetSkinData(TspSkinData* Value);
    virtual void DrawDefaultImage(TBitmap* B);
    virtual void DrawSkinImage(TBitmap* B);
    virtual void ChangeSkinData();
    virtual void BeforeChangeSkinData();

    TspSkinData* SkinData() const { return FSD; }
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& v) { FSkinDataName = v; }
    const std::string& AreaName() const { return FAreaName; }
    void SetAreaName(const std::string& v) { FAreaName = v; }
    bool DrawDefault() const { return FDrawDefault; }
    void SetDrawDefault(bool v) { FDrawDefault = v; }
    bool AlphaBlend() const { return FAlphaBlend; }
    uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
    bool UseSkinCursor() const { return FUseSkinCursor; }
    void SetUseSkinCursor(bool v) { FUseSkinCursor = v; }
    const std::string& HintTitle() const { return FHintTitle; }
    void SetHintTitle(const std::string& v) { FHintTitle = v; }
    int HintImageIndex() const { return FHintImageIndex; }
    void SetHintImageIndex(int v) { FHintImageIndex = v; }
    TCustomImageList* HintImageList() const { return FHintImageList; }
    void SetHintImageList(TCustomImageList* v);
    int Index() const { return FIndex; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;
    void ApplySkinCursor();

    TspSkinData* FSD = nullptr;
    std::string FAreaName;
    std::string FSkinDataName;
    bool FDrawDefault = true;
    int CursorIndex = -1;
    bool FAlphaBlend = false;
    uint8_t FAlphaBlendValue = 200;
    bool FUseSkinCursor = false;
    std::string FHintTitle;
    int FHintImageIndex = 0;
    TCustomImageList* FHintImageList = nullptr;
    int FIndex = -1;
};

class TspGraphicSkinCustomControl : public TspGraphicSkinControl, public TspSkinPartGeometry {
public:
    explicit TspGraphicSkinCustomControl(TComponent* AOwner);
    ~TspGraphicSkinCustomControl() override;

    virtual void DefaultFontChanged() {}
    virtual void FitSkinSize(int& W, int& H);

    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void ChangeSkinData() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    void BuildControlImage(TBitmap* B, TBitmap* APicture, const TRect& R);

    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    bool UseSkinFont() const { return FUseSkinFont; }
    void SetUseSkinFont(bool v) { FUseSkinFont = v; }
    int DefaultWidth() const { return FDefaultWidth; }
    void SetDefaultWidth(int Value);
    int DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int Value);

protected:
    int FDefaultWidth = 0;
    int FDefaultHeight = 0;
    bool FUseSkinFont = true;
    std::unique_ptr<TFont> FDefaultFont;
};
