// Hint and balloon windows: a tooltip window that shows a text (with an
// optional title line and glyph) as a plain rectangle or as a balloon with
// a pointer beside a screen point; a component carrying the shared look of
// such windows; and a component that shows hints on demand.
#pragma once

#include "classlib/controls.h"
#include "classlib/timer.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum THintStyle { hsNormal, hsBalloonHint, hsAuto };
// Where the hint lies relative to its point.
enum THintPosition { hpUpLeft, hpUpRight, hpDownLeft, hpDownRight };

// The message a shown hint posts to itself to wait for the user's next input.
constexpr UINT WM_OXHINT_WAIT = 1879;

class TOxHint;

using THintBeforeEvent =
    std::function<void(TOxHint* AHint, const TRect& Rect, const std::string& Text)>;
using THintMeasureRect = std::function<void(TOxHint* AHint, TRect& Rect, const std::string& Text)>;
using THintOwnerDraw = std::function<void(TOxHint* AHint, TCanvas* Canvas, const TRect& Rect,
                                          const std::string& Text)>;

// The shared look of every hint window; optional.
class TOxHint : public TComponent {
public:
    explicit TOxHint(TComponent* AOwner);
    ~TOxHint() override;
    void Loaded() override;

    TAlignment Alignment = taLeftJustify;
    TColor BackColor;
    TColor BorderColor = clBlack;
    THintPosition HintPosition = hpDownRight;
    THintStyle HintStyle = hsNormal;
    std::string Title;
    THintBeforeEvent OnBeforeHint;
    THintMeasureRect OnMeasureRect;
    THintOwnerDraw OnOwnerDraw;

    TFont* Font() const { return FFont.get(); }
    // Copies the font and gives it to every live hint window.
    void SetFont(TFont* Value);
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* Value);

    // The live components in creation order.
    static const std::vector<TOxHint*>& Instances();

private:
    // Makes the application's hint window one of ours and hands it the font.
    void InstallHintWindowClass();
    void PushFont();

    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBitmap> FGlyph;
};

class TOxInternalHintWindow : public THintWindow {
public:
    explicit TOxInternalHintWindow(TComponent* AOwner);
    ~TOxInternalHintWindow() override;

    // Shows AHint at the mouse cursor for the application's hide pause.
    void ActivateHint(const TRect& Rect, const std::string& AHint) override;
    // Shows AHint beside the screen point HintPos; ATitle (may be empty) is
    // its first line. HidePause: ms shown, 0 the application's hide pause,
    // below 0 until hidden by the caller.
    void ActivateHintFromPos(TPoint HintPos, const std::string& AHint, const std::string& ATitle,
                             int HidePause);
    void ReleaseHandle() override;
    virtual void DoCancelHint();

    THintPosition HintPosition() const { return FHintPosition; }
    // A placement set here wins over the component's.
    void SetHintPosition(THintPosition Value);
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* Value);
    TAlignment Alignment = taLeftJustify;
    THintStyle HintStyle = hsAuto;
    TNotifyEvent OnCancelHint;

    // What the last activation laid out, in window coordinates.
    bool Balloon() const { return FBalloon; }
    bool FirstLineAsTitle() const { return FFirstLineAsTitle; }
    TRect BodyRect() const { return FBodyRect; }
    const std::vector<TPoint>& PointerPoints() const { return FPointer; }
    TBitmap* Bitmap() const { return FBitmap.get(); }
    TTimer* Timer() const { return FTimer; }
    TOxHint* HintComponent() const { return FHint; }
    // True while the window waits for the user's next input.
    bool Waiting() const { return FWaiting; }

    // The live hint windows.
    static const std::vector<TOxInternalHintWindow*>& Instances();

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    TSize MeasureHint(TCanvas* C, const std::string& Text, int GW, int GH, bool ABalloon);
    void DrawHintText(TCanvas* C, const TRect& B, const std::string& Text, int GW, int GH);
    TRect CalcTextRect(TCanvas* C, const std::vector<std::string>& Lines, size_t First,
                       size_t Count, const TRect& Area, TAlignment Align, bool TopMode,
                       bool BoldTitle);
    void WaitForInput(TPoint At);
    void GlyphChanged();

    TTimer* FTimer = nullptr;
    std::unique_ptr<TBitmap> FBitmap;
    TOxHint* FHint = nullptr;
    THintPosition FHintPosition = hpDownRight;
    bool FModified = false;
    std::unique_ptr<TBitmap> FGlyph;
    bool FUpdating = false;
    bool FFirstLineAsTitle = false;
    bool FBalloon = false;
    TRect FBodyRect;
    std::vector<TPoint> FPointer;
    bool FWaiting = false;
};

// Shows hints on demand through a window of its own.
class TOxHintWindow : public TComponent {
public:
    explicit TOxHintWindow(TComponent* AOwner);
    ~TOxHintWindow() override;

    void ActivateHint(const std::string& AHint, const std::string& ATitle);
    void ActivateHintFromPos(TPoint HintPos, const std::string& AHint, const std::string& ATitle,
                             int HidePause);
    void ReleaseHandle();

    THintPosition HintPosition() const { return FHintWindow->HintPosition(); }
    void SetHintPosition(THintPosition Value) { FHintWindow->SetHintPosition(Value); }
    TBitmap* Glyph() const { return FHintWindow->Glyph(); }
    void SetGlyph(TBitmap* Value) { FHintWindow->SetGlyph(Value); }
    TAlignment Alignment() const { return FHintWindow->Alignment; }
    void SetAlignment(TAlignment Value) { FHintWindow->Alignment = Value; }
    THintStyle HintStyle() const { return FHintWindow->HintStyle; }
    void SetHintStyle(THintStyle Value) { FHintWindow->HintStyle = Value; }
    TNotifyEvent OnCancelHint;

    TOxInternalHintWindow* HintWindow() const { return FHintWindow; }

private:
    TOxInternalHintWindow* FHintWindow;
};
