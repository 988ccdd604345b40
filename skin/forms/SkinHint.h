// Skinned tooltips: a hint window that sizes itself to its text, draws
// itself from the skin's hint-window element (or a plain default look), cuts
// its shape from the element's mask and may be translucent with a fade-in;
// and the component that makes every tooltip of the application such a
// window and shows hints of its own (at a point, at the cursor after the
// usual delay, beside a rectangle, with a title and a picture).
#pragma once

#include "classlib/controls.h"
#include "classlib/timer.h"

#include <functional>
#include <memory>
#include <string>

class TspSkinData;
class TCustomImageList;
class TspSkinHint;

// Scan lines from the current cursor's hot spot down to the last line of its
// picture; the system cursor height when the picture cannot be read.
int CursorHeightMargin();

class TspSkinHintWindow : public THintWindow {
public:
    explicit TspSkinHintWindow(TComponent* AOwner);
    ~TspSkinHintWindow() override;

    // The plain hint at Rect's top-left; with a title or picture held by the
    // active component it shows those too.
    void ActivateHint(const TRect& Rect, const std::string& AHint) override;
    // A hint shows without taking the activation from the window under it.
    void SetVisible(bool Value) override;
    void ActivateHintEx(const TRect& Rect, const std::string& AHintTitle, const std::string& AHint,
                        int AImageIndex, TCustomImageList* AImageList);
    // The plain hint centred above (ATop) or below a rectangle.
    void ActivateHintFromRect(const TRect& ARect, const std::string& AHint, bool ATop);

    TRect NewClRect;
    TPoint NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint;
    // The active component found at the last activation, and its skin (null
    // for the default look).
    TspSkinHint* FspHint = nullptr;
    TspSkinData* FSD = nullptr;
    bool AExtendedStyle = false;
    bool OldAlphaBlend = false;
    int OldAlphaBlendValue = -1;
    HRGN Region() const { return FRgn; }

    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    enum class TPlace { At, Above, Below };
    void Activate(const TRect& Rect, const std::string& AHint, bool AExtended,
                  const std::string& ATitle, int AImageIndex, TCustomImageList* AImageList,
                  TPlace APlace);
    void SetHintFont(TCanvas* C);
    bool ValidImage() const;
    void FitCorners(int& W, int& H);

    std::unique_ptr<TBitmap> SI;
    HRGN FRgn = nullptr;
    // What the extended style shows.
    std::string FTitle;
    int FImageIndex = -1;
    TCustomImageList* FImageList = nullptr;
};

class TspSkinHint : public TComponent {
public:
    explicit TspSkinHint(TComponent* AOwner);
    ~TspSkinHint() override;

    void ActivateHint(TPoint P, const std::string& AHint);
    void ActivateHintEx(TPoint P, const std::string& AHintTitle, const std::string& AHint,
                        int AImageIndex, TCustomImageList* AImageList);
    // Shown at the cursor after the application's hint pause.
    void ActivateHint2(const std::string& AHint);
    void ActivateHintEx2(const std::string& AHintTitle, const std::string& AHint, int AImageIndex,
                         TCustomImageList* AImageList);
    // Shown beside a rectangle after the application's hint pause.
    void ActivateHint3(const TRect& AFromRect, const std::string& AHint, bool ATop);
    void HideHint();
    bool IsVisible() const;
    int GetCursorHeightMargin() const { return CursorHeightMargin(); }

    std::string LineSeparator = "@";
    bool UseSkinFont = true;
    bool AlphaBlend = false;
    uint8_t AlphaBlendValue = 200;
    bool AlphaBlendAnimation = false;
    // Hooked to the application's hint-show event while active.
    std::function<void(std::string& HintStr, bool& CanShow, TControl* HintControl)> OnShowHint;

    bool AlphaBlendSupport() const { return FAlphaBlendSupport; }
    void SetAlphaBlendSupport(bool Value);
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);

    const std::string& HintTitle() const { return FHintTitle; }
    int HintImageIndex() const { return FHintImageIndex; }
    TCustomImageList* HintImageList() const { return FHintImageList; }
    TspSkinHintWindow* HW() const { return FHW; }
    TTimer* HintTimer() const { return FHintTimer.get(); }

    // The application's hint-show event: takes the hint title and picture
    // of a skinned control under the mouse.
    void SelfOnShowHint(std::string& HintStr, bool& CanShow, TControl* HintControl);

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TspSkinHintWindow;
    enum class TTimed { AtCursor, AtCursorEx, FromRect };
    void StartTimer(TTimed Kind);
    void ClearTitle();

    TspSkinHintWindow* FHW = nullptr;
    std::unique_ptr<TTimer> FHintTimer;
    std::string HintText;
    std::string FHintTitle;
    int FHintImageIndex = 0;
    TCustomImageList* FHintImageList = nullptr;
    TRect FromRect;
    bool Top = false;
    bool FAlphaBlendSupport = true;
    bool FActive = true;
    std::unique_ptr<TFont> FDefaultFont;
    TspSkinData* FSD = nullptr;
};
