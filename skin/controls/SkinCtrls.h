// Skinned controls: push and speed buttons, panels and the status bar, check
// and radio boxes, the gauge, labels, bevel, shadow and link labels.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "classlib/actnlist.h"
#include "classlib/extctrls.h"
#include "classlib/stdctrls.h"
#include "classlib/timer.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/engine/speffbmp.h"

constexpr UINT WM_SKIN_SHOWLAYER = 1424;
constexpr UINT WM_SKIN_HIDELAYER = 1425;

// Cells of a glyph strip: normal, disabled, pressed, hot.
using TspNumGlyphs = int;

using TspButtonPaintEvent = std::function<void(TObject* Sender, TCanvas* Cnvs, TRect R, bool ADown,
                                               bool AMouseIn, bool& DrawDefault)>;

// What a button element gives besides its geometry.
struct TspButtonSkinCopy {
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, DownFontColor = 0, DisabledFontColor = 0;
    TRect ActiveSkinRect, DownSkinRect, DisabledSkinRect, FocusedSkinRect, AnimateSkinRect;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    int FrameCount = 0, AnimateInterval = 0;
    bool ShowFocus = false;
    TRect MenuMarkerRect, MenuMarkerActiveRect, MenuMarkerDownRect, MenuMarkerFlatRect;
    TColor MenuMarkerTransparentColor = 0;
    int GlowLayerPictureIndex = -1, GlowLayerMaskPictureIndex = -1;
    int GlowLayerOffsetLeft = 0, GlowLayerOffsetRight = 0, GlowLayerOffsetTop = 0,
        GlowLayerOffsetBottom = 0, GlowLayerShowOffsetX = 0, GlowLayerShowOffsetY = 0;
    int GlowLayerAlphaBlendValue = 255;

    // Copies the element's values with the fall-backs of missing states.
    void Read(const TspDataSkinButtonControl* E, const TRect& SkinRect);
    // Frame I (from 1) of the animation strip.
    TRect FrameRect(int I, const TRect& SkinRect) const;
};

// ---- Push button ----------------------------------------------------------------------

class TspSkinButton : public TspSkinCustomControl, public TspButtonSkinCopy {
public:
    explicit TspSkinButton(TComponent* AOwner);
    ~TspSkinButton() override;

    virtual void DrawButtonImage(TBitmap* B, const TRect& R, bool ADown, bool AMouseIn);
    virtual void ButtonClick();

    void RefreshButton();
    void ShowLayer();
    void HideLayer();

    TCustomImageList* ImageList() const { return FImageList; }
    void SetImageList(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    bool UseSkinSize() const { return FUseSkinSize; }
    void SetUseSkinSize(bool Value);
    bool CanFocused() const { return FCanFocused; }
    void SetCanFocused(bool Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    TBitmap* Glyph() { return &FGlyph; }
    void SetGlyph(TBitmap* Value);
    TspNumGlyphs NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(TspNumGlyphs Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TspButtonLayout Layout() const { return FLayout; }
    void SetLayout(TspButtonLayout Value);
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* Value);

    bool AlwaysShowLayeredFrame = false;
    bool UseSkinFontColor = true;
    bool RepeatMode = false;
    int RepeatInterval = 100;
    bool AllowAllUp = false;
    bool Cancel = false;
    int ModalResult = 0;
    // The button's own click event; the base control's stays unused.
    TNotifyEvent OnClick;
    TspButtonPaintEvent OnPaint;

    // Interaction state, read by tests and descendants.
    bool MouseIn() const { return FMouseIn; }
    double MorphKf() const { return FMorphKf; }
    bool Active() const { return FActive; }
    TspLayerManager* LayerManager() const { return FLayerManager.get(); }

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void GetSkinData() override;
    void ChangeSkinData() override;
    void BeforeChangeSkinData() override;
    void FitSkinSize(int& W, int& H) override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap*) override {}

protected:
    void CreateWnd() override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void ActionChange(TObject* Sender);

    bool CanMorphing() const;
    bool CanAnimate() const;
    bool AnimationAllowed() const;
    bool IsFocusShown();
    int GetGlyphNum(bool ADown, bool AMouseIn) const;
    void StartMorph();
    void StopMorph();
    void UpdateHoverState();
    void StartAnimate(bool AInc);
    void StopAnimate();
    void StartRepeat();
    void StopRepeat();
    void ReleaseGroup();
    void SetButtonFont(TCanvas* C);
    void DrawContent(TCanvas* C, const TRect& R, bool ADown, bool AMouseIn, bool ImagePressed,
                     bool GlyphPressed);
    void PaintFocusMark(TCanvas* C, const TRect& R, TColor Color);
    // Glow picture and mask at the button's size; false when there is none.
    bool GlowImages(TBitmap& Pic, TBitmap& Mask);

    TCustomImageList* FImageList = nullptr;
    int FImageIndex = -1;
    bool FUseSkinSize = true;
    bool FCanFocused = true;
    bool FDown = false;
    int FGroupIndex = 0;
    TBitmap FGlyph;
    TspNumGlyphs FNumGlyphs = 1;
    int FMargin = -1;
    int FSpacing = 1;
    TspButtonLayout FLayout = blGlyphLeft;
    bool FDefault = false;
    TBasicAction* FAction = nullptr;

    bool FMouseIn = false;
    bool FMouseDown = false;
    bool FActive = false;
    bool FAllowAllUpCheck = false;
    bool FClicksDisabled = false;
    bool FSpaceSupport = true;
    double FMorphKf = 0;
    std::unique_ptr<TTimer> MorphTimer;
    std::unique_ptr<TTimer> AnimateTimer;
    int CurrentFrame = 0;
    bool AnimateInc = false;
    std::unique_ptr<TTimer> RepeatTimer;
    std::unique_ptr<TspLayerManager> FLayerManager;
};

// ---- Check and radio box -----------------------------------------------------------------

class TspSkinCheckRadioBox : public TspSkinCustomControl {
public:
    explicit TspSkinCheckRadioBox(TComponent* AOwner);
    ~TspSkinCheckRadioBox() override;

    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState Value);
    void Toggle();
    bool Radio() const { return FRadio; }
    void SetRadio(bool Value);
    bool CanFocused() const { return FCanFocused; }
    void SetCanFocused(bool Value);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool UseSkinFontColor() const { return FUseSkinFontColor; }
    void SetUseSkinFontColor(bool Value) { FUseSkinFontColor = Value; }
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value) { FGroupIndex = Value; }
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* Value);

    // The box's own click event.
    TNotifyEvent OnClick;

    bool MouseIn() const { return FMouseIn; }
    double MorphKf() const { return FMorphKf; }
    TRect CIRect, NewTextArea;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void GetSkinData() override;
    void ChangeSkinData() override;
    void CheckParentBackground() override;
    void FitSkinSize(int& W, int& H) override;
    void DrawDefaultImage(TBitmap* B) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    bool CanMorphing() const;
    bool IsActive();
    void StartMorph();
    void StopMorph();
    void UpdateHoverState();
    void SetBoxFont(TCanvas* C);
    // The check image for the state, built from the element's picture.
    void CheckImage(TBitmap& B, bool MouseIn);
    void DrawDefaultMark(TCanvas* C, bool Framed);
    void PaintFlat(TBitmap& B);
    void DrawSkinState(TBitmap& B, const TRect& R, bool Active);

    bool FUseSkinFontColor = true;
    bool FWordWrap = false;
    bool FAllowGrayed = false;
    TCheckBoxState FState = cbUnchecked;
    bool FChecked = false;
    TCustomImageList* FImages = nullptr;
    int FImageIndex = 0;
    bool FFlat = true;
    bool FClicksDisabled = false;
    bool FCanFocused = true;
    bool FMouseIn = false;
    int FGroupIndex = 0;
    bool FRadio = false;
    TBasicAction* FAction = nullptr;
    std::unique_ptr<TTimer> MorphTimer;
    double FMorphKf = 0;
    bool FMouseDown = false;

    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, FrameFontColor = 0, UnEnabledFontColor = 0;
    TRect ActiveSkinRect, CheckImageArea, TextArea, CheckImageRect, UnCheckImageRect,
        ActiveCheckImageRect, ActiveUnCheckImageRect, UnEnabledCheckImageRect,
        UnEnabledUnCheckImageRect, GrayedCheckImageRect, ActiveGrayedCheckImageRect;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
};

// ---- Panels ----------------------------------------------------------------------------

enum TspImagePosition { spipDefault, spipLeft };
enum class TspSkinBorderStyle { bvFrame, bvRaised, bvLowered, bvNone };

class TspSkinPanel : public TspSkinCustomControl {
public:
    explicit TspSkinPanel(TComponent* AOwner);
    ~TspSkinPanel() override;

    virtual void SetDefaultCaptionHeight(int Value);
    virtual void SetCaptionMode(bool Value);
    virtual void CustomPaint(TCanvas*) {}

    TRect GetSkinClientRect();
    void DoRollUp(bool ARollUp);

    TspImagePosition ImagePosition() const { return FImagePosition; }
    void SetImagePosition(TspImagePosition Value);
    bool TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(bool Value);
    TCustomImageList* CaptionImageList() const { return FCaptionImageList; }
    void SetCaptionImageList(TCustomImageList* Value);
    int CaptionImageIndex() const { return FCaptionImageIndex; }
    void SetCaptionImageIndex(int Value);
    int RealHeight() const { return FRealHeight; }
    bool CheckedMode() const { return FCheckedMode; }
    void SetCheckedMode(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    TBitmap* Glyph() { return &FGlyph; }
    void SetGlyph(TBitmap* Value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TAlignment DefaultAlignment() const { return FDefaultAlignment; }
    void SetDefaultAlignment(TAlignment Value);
    int DefaultCaptionHeight() const { return FDefaultCaptionHeight; }
    TspSkinBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TspSkinBorderStyle Value);
    bool CaptionMode() const { return FCaptionMode; }
    bool RollUpMode() const { return FRollUpMode; }
    void SetRollUpMode(bool Value);
    bool RollUpState() const { return FRollUpState; }
    void SetRollUpState(bool Value);

    bool AutoEnabledControls = true;
    TNotifyEvent OnChecked;
    TNotifyEvent OnChangeRollUpState;
    // Size limits kept while rolled up; 0 means none.
    int MaxWidth = 0, MinWidth = 0, MaxHeight = 0, MinHeight = 0;

    // Caption rectangle for the current size.
    TRect NewCaptionRect;

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetAlphaBlend(bool Value) override;
    void SetAlphaBlendValue(uint8_t Value) override;
    void GetSkinData() override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void ChangeSkinData() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    virtual void AdjustClientRect(TRect& Rect);
    void Paint() override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    TFont* CaptionFont(TCanvas* C);
    TFontCharset SkinCharset() const;
    int CaptionImageWidth() const;
    void DrawCaptionImage(TCanvas* C, int X, int Y);
    void DrawSkinCaption(TBitmap* B);
    void DrawTransparentCaption(TBitmap* B);
    void DrawBackgroundPicture(TCanvas* C, TBitmap* P);
    void DrawCheckPicture(TCanvas* C, int X, const TRect& Bar);

    TspImagePosition FImagePosition = spipDefault;
    bool FTransparentMode = false;
    TCustomImageList* FCaptionImageList = nullptr;
    int FCaptionImageIndex = -1;
    int FRealHeight = -1;
    bool FCheckedMode = false;
    bool FChecked = false;
    TBitmap FGlyph;
    int FNumGlyphs = 1;
    int FSpacing = 2;
    TAlignment FDefaultAlignment = taLeftJustify;
    int FDefaultCaptionHeight = 22;
    TspSkinBorderStyle FBorderStyle = TspSkinBorderStyle::bvFrame;
    bool FCaptionMode = false;
    bool FRollUpMode = false;
    bool FRollUpState = false;
    bool FInChangingRollUp = false;
    bool FAlignSuspended = false;
    int FCMaxWidth = 0, FCMinWidth = 0, FCMaxHeight = 0, FCMinHeight = 0;

    // Copies of the "panel" element.
    TRect CaptionRect;
    TAlignment Alignment = taLeftJustify;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0;
    int BGPictureIndex = -1;
    TRect CheckImageRect, UnCheckImageRect, MarkFrameRect, FrameRect, FrameTextRect;
    int FrameLeftOffset = 0, FrameRightOffset = 0;
};

using TspPaintPanelEvent = std::function<void(TCanvas* Cnvs, TRect R)>;

class TspSkinPaintPanel : public TspSkinPanel {
public:
    explicit TspSkinPaintPanel(TComponent* AOwner);
    TspPaintPanelEvent OnPanelPaint;
    void CustomPaint(TCanvas* C) override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void WndProc(TMessage& Message) override;
};

class TspSkinStatusBar : public TspSkinPanel {
public:
    explicit TspSkinStatusBar(TComponent* AOwner);
    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool Value);
    bool ShowGrip() const { return FShowGrip; }
    void SetShowGrip(bool Value);
    // The grip square in client coordinates.
    TRect GripRect();

    void GetSkinData() override;
    void SetSkinData(TspSkinData* Value) override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;
    void WndProc(TMessage& Message) override;

protected:
    void AdjustClientRect(TRect& Rect) override;
    void DrawGrip(TCanvas* C);

    bool FSizeGrip = false;
    bool FShowGrip = true;
    TRect GripperRect;
    bool GripperTransparent = false;
    TColor GripperTransparentColor = 0;
};

// ---- Speed button ----------------------------------------------------------------------

class TspSkinSpeedButton : public TspGraphicSkinCustomControl, public TspButtonSkinCopy {
public:
    explicit TspSkinSpeedButton(TComponent* AOwner);
    ~TspSkinSpeedButton() override;

    virtual void DrawButtonImage(TBitmap* B, const TRect& R, bool ADown, bool AMouseIn);
    virtual void ButtonClick();
    void RefreshButton();
    void DrawMenuMarker(TCanvas* C, const TRect& R, bool AFlat, bool ADown, bool AActive);

    TCustomImageList* ImageList() const { return FButtonImages; }
    void SetImageList(TCustomImageList* Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value) { FGroupIndex = Value; }
    TBitmap* Glyph() { return &FGlyph; }
    void SetGlyph(TBitmap* Value);
    TspNumGlyphs NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(TspNumGlyphs Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TspButtonLayout Layout() const { return FLayout; }
    void SetLayout(TspButtonLayout Value);
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* Value);

    bool UseSkinSize = true;
    bool UseSkinFontColor = true;
    int WidthWithCaption = 0;
    int WidthWithoutCaption = 0;
    bool RepeatMode = false;
    int RepeatInterval = 100;
    bool AllowAllUp = false;
    bool DrawColorMarker = false;
    TColor ColorMarkerValue = 0;
    TspButtonPaintEvent OnPaint;

    bool MouseIn() const { return FMouseIn; }
    double MorphKf() const { return FMorphKf; }

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void GetSkinData() override;
    void ChangeSkinData() override;
    void FitSkinSize(int& W, int& H) override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap*) override {}

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void MouseEnter();
    virtual void MouseLeave();

    bool CanMorphing() const;
    bool AnimationAllowed() const;
    int GetGlyphNum(bool ADown, bool AMouseIn) const;
    bool Pressed() const;
    std::string CaptionText() const;
    void StartMorph();
    void StopMorph();
    void UpdateHoverState();
    void StartAnimate(bool AInc);
    void StopAnimate();
    void StartRepeat();
    void StopRepeat();
    void ReleaseGroup();
    virtual void DrawContent(TCanvas* C, const TRect& R, bool ImagePressed, bool GlyphPressed);
    void DrawFull(TCanvas* Target);
    void SetElementFont(TCanvas* C);

    TCustomImageList* FButtonImages = nullptr;
    int FImageIndex = 0;
    bool FFlat = false;
    bool FShowCaption = true;
    bool FDown = false;
    int FGroupIndex = 0;
    TBitmap FGlyph;
    TspNumGlyphs FNumGlyphs = 1;
    int FMargin = -1;
    int FSpacing = 1;
    TspButtonLayout FLayout = blGlyphLeft;
    TBasicAction* FAction = nullptr;

    bool FMouseIn = false;
    bool FMouseDown = false;
    bool FAllowAllUpCheck = false;
    double FMorphKf = 0;
    std::unique_ptr<TTimer> MorphTimer;
    std::unique_ptr<TTimer> AnimateTimer;
    int CurrentFrame = 0;
    bool AnimateInc = false;
    std::unique_ptr<TTimer> RepeatTimer;
};

// ---- Menu speed button ------------------------------------------------------------------

class TspSkinPopupMenu;
class TspSkinImagesMenu;

enum TspTrackPosition { sptpRight, sptpBottom };

// A speed button whose track part (a 15-pixel strip, or the whole button
// when TrackButtonMode is off) opens a skinned popup or images menu; the
// button stays down until the menu reports that it closed.
class TspSkinMenuSpeedButton : public TspSkinSpeedButton {
public:
    explicit TspSkinMenuSpeedButton(TComponent* AOwner);
    ~TspSkinMenuSpeedButton() override;

    bool NewStyle() const { return FNewStyle; }
    void SetNewStyle(bool Value);
    TspTrackPosition TrackPosition() const { return FTrackPosition; }
    void SetTrackPosition(TspTrackPosition Value);
    TspSkinImagesMenu* SkinImagesMenu() const { return FSkinImagesMenu; }
    void SetSkinImagesMenu(TspSkinImagesMenu* Value);
    TspSkinPopupMenu* SkinPopupMenu() const { return FSkinPopupMenu; }
    void SetSkinPopupMenu(TspSkinPopupMenu* Value);
    bool TrackButtonMode() const { return FTrackButtonMode; }
    void SetTrackButtonMode(bool Value);
    bool UseImagesMenuImage = false;
    bool UseImagesMenuCaption = false;
    TNotifyEvent OnShowTrackMenu, OnHideTrackMenu;

    bool MenuTracked() const { return FMenuTracked; }
    // X, Y in control coordinates.
    bool InTrackPart(int X, int Y) const;
    void TrackMenu();
    void TrackMenuClosed();

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void GetSkinData() override;
    void DrawButtonImage(TBitmap* B, const TRect& R, bool ADown, bool AMouseIn) override;
    void DrawDefaultImage(TBitmap* B) override;

    TRect TrackButtonRect;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DrawContent(TCanvas* C, const TRect& R, bool ImagePressed, bool GlyphPressed) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    bool ResizeKindName() const;
    TRect TrackRect() const;
    TRect StripRect() const;
    TColor CaptionColor(bool P) const;
    void DrawMarker(TCanvas* C, const TRect& R, bool ADown, bool AActive, TColor ArrowColor);
    void DrawNewStyle(TBitmap* B, bool ADown, bool AMouseIn);
    void DrawToolStyle(TBitmap* B, bool ADown, bool AMouseIn, bool NinePart);

    bool FNewStyle = false;
    TspTrackPosition FTrackPosition = sptpRight;
    TspSkinImagesMenu* FSkinImagesMenu = nullptr;
    TspSkinPopupMenu* FSkinPopupMenu = nullptr;
    bool FTrackButtonMode = false;
    bool FMenuTracked = false;
};

// ---- Gauge -------------------------------------------------------------------------------

using TspGaugePaintEvent =
    std::function<void(TCanvas* Cnvs, TRect AProgressArea, TRect AProgressRect)>;

class TspSkinGauge : public TspSkinCustomControl {
public:
    explicit TspSkinGauge(TComponent* AOwner);
    ~TspSkinGauge() override;

    void StartProgressAnimation();
    void StopProgressAnimation();
    void StartInternalAnimation();
    void StopInternalAnimation();
    // The filled part of R; empty when both limits are equal.
    TRect CalcProgressRect(const TRect& R, bool AV) const;
    int Percent() const;

    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value);
    int Value() const { return FValue; }
    void SetValue(int Value);
    bool Vertical() const { return FVertical; }
    void SetVertical(bool Value);
    bool UseSkinSize() const { return FUseSkinSize; }
    void SetUseSkinSize(bool Value) { FUseSkinSize = Value; }
    const std::string& ProgressText() const { return FProgressText; }
    void SetProgressText(const std::string& Value);
    bool ShowProgressText() const { return FShowProgressText; }
    void SetShowProgressText(bool Value);
    bool ShowPercent() const { return FShowPercent; }
    void SetShowPercent(bool Value);
    bool TextAlphaBlend() const { return FTextAlphaBlend; }
    void SetTextAlphaBlend(bool Value);
    uint8_t TextAlphaBlendValue() const { return FTextAlphaBlendValue; }
    void SetTextAlphaBlendValue(uint8_t Value);
    int ProgressAnimationPause() const { return FProgressAnimationPause; }
    void SetProgressAnimationPause(int Value);
    int AnimationFrame() const { return FAnimationFrame; }
    bool AnimationRunning() const { return FAnimationTimer != nullptr; }

    TspGaugePaintEvent OnGaugePaint;
    TRect NewProgressArea;

    void WndProc(TMessage& Message) override;
    void GetSkinData() override;
    void ChangeSkinData() override;
    void FitSkinSize(int& W, int& H) override;
    void DrawDefaultImage(TBitmap* B) override;
    void DrawSkinImage(TBitmap* B) override;

protected:
    void Paint() override;
    void DrawProgressText(TCanvas* C, int W, int H);
    std::string GaugeText() const;
    TRect AnimationFrameRect(int F) const;
    void AnimationTick(TObject*);

    int FAnimationFrame = 0;
    std::unique_ptr<TTimer> FAnimationPauseTimer, FAnimationTimer;
    int FProgressAnimationPause = 1000;
    bool FUseSkinSize = true;
    int FMinValue = 0, FMaxValue = 100, FValue = 50;
    bool FVertical = false;
    std::string FProgressText;
    bool FShowPercent = false, FShowProgressText = false;
    bool FTextAlphaBlend = false;
    uint8_t FTextAlphaBlendValue = 200;

    TRect ProgressRect, ProgressArea;
    int BeginOffset = 0, EndOffset = 0;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0;
    bool ProgressTransparent = false;
    TColor ProgressTransparentColor = 0;
    bool ProgressStretch = false;
    TRect ProgressAnimationSkinRect;
    int ProgressAnimationCountFrames = 0, ProgressAnimationTimerInterval = 0;
};

// ---- Labels and bevel ----------------------------------------------------------------------

enum TspEllipsType { spetNone, spetEndEllips, spetPathEllips };

// The font of the "stdlabel" element and how a label picks it.
struct TspLabelSkin {
    int FIndex = -1;
    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "stdlabel";
    std::unique_ptr<TFont> FDefaultFont = std::make_unique<TFont>();
    bool FUseSkinFont = true;
    bool FUseSkinColor = true;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TColor FontColor = 0;

    void Lookup();
    // Font selection of every text drawing.
    void SelectFont(TCanvas* C, TFont* ControlFont);
};

class TspSkinStdLabel : public TCustomLabel, public TspLabelSkin {
public:
    explicit TspSkinStdLabel(TComponent* AOwner);
    ~TspSkinStdLabel() override;

    void GetSkinData() { Lookup(); }
    void ChangeSkinData();
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& V) { FSkinDataName = V; }
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value) { FDefaultFont->Assign(Value); }
    bool UseSkinFont() const { return FUseSkinFont; }
    void SetUseSkinFont(bool V) { FUseSkinFont = V; }
    bool UseSkinColor() const { return FUseSkinColor; }
    void SetUseSkinColor(bool V) { FUseSkinColor = V; }
    TspEllipsType EllipsType() const { return FEllipsType; }
    void SetEllipsType(TspEllipsType Value);
    int Index() const { return FIndex; }

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void DoDrawText(TRect& Rect, UINT Flags) override;

    TspEllipsType FEllipsType = spetNone;
};

class TspSkinTextLabel : public TGraphicControl, public TspLabelSkin {
public:
    explicit TspSkinTextLabel(TComponent* AOwner);
    ~TspSkinTextLabel() override;

    virtual std::string GetLabelText() const;
    virtual void SetAutoSize(bool Value);

    void GetSkinData() { Lookup(); }
    void ChangeSkinData();
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    void SetSkinDataName(const std::string& V) { FSkinDataName = V; }
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value) { FDefaultFont->Assign(Value); }
    void SetUseSkinFont(bool V) { FUseSkinFont = V; }
    void SetUseSkinColor(bool V) { FUseSkinColor = V; }
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool AutoSize() const { return FAutoSize; }

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;
    void DoDrawText(TRect& Rect, UINT Flags);
    void AdjustBounds();

    std::unique_ptr<TStringList> FLines;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
};

class TspSkinBevel : public TBevel {
public:
    explicit TspSkinBevel(TComponent* AOwner);
    ~TspSkinBevel() override;

    void ChangeSkinData();
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    const std::string& SkinDataName() const { return FSkinDataName; }
    void SetSkinDataName(const std::string& V) { FSkinDataName = V; }
    bool DividerMode() const { return FDividerMode; }
    void SetDividerMode(bool Value);

    TColor LightColor = clBtnHighlight;
    TColor DarkColor = clBtnShadow;

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;

    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "bevel";
    int FIndex = -1;
    bool FDividerMode = false;
};

// ---- Shadow label, link label and link image --------------------------------------------

class TspSkinShadowLabel : public TspGraphicSkinControl {
public:
    explicit TspSkinShadowLabel(TComponent* AOwner);

    virtual std::string GetLabelText() const { return Caption(); }
    void ChangeSkinData() override;

    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor Value);
    int ShadowSize() const { return FShadowSize; }
    void SetShadowSize(int Value);
    int ShadowOffset() const { return FShadowOffset; }
    void SetShadowOffset(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool Value);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Paint() override;
    virtual void AdjustBounds();
    virtual void DoDrawText(TCanvas* C, TRect& Rect, UINT Flags);

    bool FDoubleBuffered = false;
    TWinControl* FFocusControl = nullptr;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    TColor FShadowColor = clBlack;
    int FShadowSize = 2;
    int FShadowOffset = 0;
};

// Opens a web address through the desktop's handler, passed as one argument;
// anything else (local paths, other schemes) is refused.
bool OpenLinkAddress(const std::string& URL);

class TspSkinLinkLabel : public TCustomLabel {
public:
    explicit TspSkinLinkLabel(TComponent* AOwner);
    ~TspSkinLinkLabel() override;

    void GetSkinData();
    void ChangeSkinData();
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    void SetSkinDataName(const std::string& V) { FSkinDataName = V; }
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value) { FDefaultFont->Assign(Value); }
    bool UseUnderLine() const { return FUseUnderLine; }
    void SetUseUnderLine(bool Value);
    bool MouseIn() const { return FMouseIn; }
    int Index() const { return FIndex; }

    bool GlowEffect = false;
    int GlowSize = 7;
    bool UseSkinFont = true;
    TColor DefaultActiveFontColor = 0xFF0000;
    std::string URL;

    void Click() override;
    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void DoDrawText(TRect& Rect, UINT Flags) override;

    bool FMouseIn = false;
    int FIndex = -1;
    TspSkinData* FSD = nullptr;
    std::string FSkinDataName = "stdlabel";
    std::unique_ptr<TFont> FDefaultFont;
    bool FUseUnderLine = true;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 0;
    TColor FontColor = 0, ActiveFontColor = 0;
};

class TspSkinLinkImage : public TImage {
public:
    explicit TspSkinLinkImage(TComponent* AOwner);
    std::string URL;
    void Click() override;
};
