// The skinned form component: takes over a form's window procedure and draws
// its frame (caption, caption buttons, borders, window region) and background
// from the bound skin, or a plain default frame without one; moves, sizes,
// maximizes, rolls up and minimizes the form itself. Also the frame objects
// the form holds.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"
#include "classlib/menus.h"
#include "classlib/timer.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/engine/speffbmp.h"

constexpr LRESULT HTOBJECT = 19;

constexpr UINT WM_SKIN_CLOSEMENU = 1228;
constexpr UINT WM_SKIN_MDICLIENTRESIZED = 1230;
constexpr UINT WM_SKIN_MDICHILDMAXIMIZED = 1231;
constexpr UINT WM_SKIN_MDICHILDRESTORED = 1232;
constexpr UINT WM_SKIN_LAYERSHOWDONE = 1426;
constexpr UINT WM_SKIN_GETSKINSTATE = 0xB1B2;
constexpr UINT WM_SKIN_PAINTNCTODC = 0xB1C9;
constexpr UINT WM_SKIN_PRINTNC = 0xBC4B;
// lParam that marks WM_SKIN_PRINTNC as ours.
constexpr LPARAM kPrintNCMark = 16802;
constexpr UINT SC_KEYMENU = 0xF100;

enum TspBorderIcon : unsigned {
    biSystemMenu = 0x01,
    biMinimize = 0x02,
    biMaximize = 0x04,
    biRollUp = 0x08,
    biMinimizeToTray = 0x10,
};
using TspBorderIcons = unsigned;

enum TspPositionInMonitor { sppDefault, sppScreenCenter, sppDesktopCenter };

enum TspClientInActiveEffect { spieSemiTransparent, spieBlur };

class TspSkinnedForm;
class TspSkinMenu;
class TspSkinPopupMenu;
class TspTrayIcon;
class TspSkinMainMenuBar;
class TspSkinMainMenuItem;
class TspSkinMDITabsBar;
class TspFormLayerBorder;
class TspSkinHint;
class TspSkinStatusBar;

enum TSwitchState { swsOn, swsOff };
enum TTrackKind { tkHorizontal, tkVertical };

// A window-less frame object bound to one object element of the skin.
class TspActiveSkinObject {
public:
    TspActiveSkinObject(TspSkinnedForm* AParent, TspDataSkinObject* AData);
    virtual ~TspActiveSkinObject() = default;

    TspSkinnedForm* Parent;
    double FMorphKf = 0;
    bool FMouseIn = false;
    TBitmap* Picture = nullptr;           // frame or roll-up picture of the skin
    TBitmap* ActivePicture = nullptr;     // the element's own picture, may be null
    TBitmap* ActiveMaskPicture = nullptr; // its hit mask, may be null
    TspSkinData* SD;
    TspDataSkinObject* Data; // null for the default caption buttons
    std::string IDName;
    std::string Hint;
    TRect SkinRect, ActiveSkinRect, InActiveSkinRect;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    TRect ObjectRect;
    bool Active = false;
    bool Enabled = true;
    int CursorIndex = -1;
    bool RollUp = false;
    bool Visible = true;
    bool SkinRectInAPicture = false;
    int GlowLayerPictureIndex = -1, GlowLayerMaskPictureIndex = -1;
    int GlowLayerOffsetX = 0, GlowLayerOffsetY = 0, GlowLayerAlphaBlendValue = 255;

    // X, Y relative to ObjectRect; black mask pixels are inside.
    virtual bool IsPointInObject(int X, int Y);
    virtual void ShowLayer();
    virtual void HideLayer();
    virtual void Draw(TCanvas* Cnvs, bool UpDate);
    virtual void DblClick() {}
    virtual void MouseDown(int X, int Y, TMouseButton Button);
    virtual void MouseUp(int X, int Y, TMouseButton Button);
    virtual void MouseMove(int X, int Y);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual bool CanMorphing();

    bool EnableMorphing() const;
    void StartRedraw();
    void DoMorphing();
    double MorphKf() const { return FMorphKf; }
    void SetMorphKf(double Value);
    // Draws the object alone where it lies (the form's DrawSkinObject).
    void Redraw();
    // ObjectRect in screen coordinates.
    TRect ObjectRectToScreen() const;

protected:
    bool SkinReady() const;
    TBitmap* NormalPicture() const { return SkinRectInAPicture ? ActivePicture : Picture; }
    // Copies P[Src] stretched onto ObjectRect; nothing without a picture or part.
    void CopyToObject(TCanvas* Cnvs, TBitmap* P, const TRect& Src) const;
    // Draws the morph from P1[R1] toward P2[R2] by FMorphKf at ObjectRect.
    void DrawMorph(TCanvas* Cnvs, TBitmap* P1, const TRect& R1, TBitmap* P2, const TRect& R2) const;
    void ShowGlow(bool MenuLayer);
    void HideGlow(bool MenuLayer);
};

// The application paints it through the form's OnPaintEvent.
class TspUserObject : public TspActiveSkinObject {
public:
    using TspActiveSkinObject::TspActiveSkinObject;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
};

// A push, group or menu button of the frame.
class TspSkinButtonObject : public TspActiveSkinObject {
public:
    TspSkinButtonObject(TspSkinnedForm* AParent, TspDataSkinButton* AData);
    bool FDown = false;
    bool FPopupUp = false;
    TRect DownRect, DisableSkinRect;
    int GroupIndex = -1;
    TMenuItem* MenuItem = nullptr;

    bool Down() const { return FDown; }
    void SetDown(bool Value);
    void TrackMenu();
    void ShowLayer() override;
    void HideLayer() override;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;
    bool CanMorphing() override;

protected:
    void ReleaseGroup();
};

// A caption button: a standard command of the frame.
class TspSkinStdButtonObject : public TspSkinButtonObject {
public:
    TspSkinStdButtonObject(TspSkinnedForm* AParent, TspDataSkinStdButton* AData);
    bool FSkinSupport = false;
    TStdCommand Command = cmDefault;
    TRect RestoreRect, RestoreActiveRect, RestoreDownRect, RestoreInActiveRect;
    std::string RestoreHint, FTempHint;

    bool IsPointInObject(int X, int Y) override;
    void ShowLayer() override;
    void HideLayer() override;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void DblClick() override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    bool CanMorphing() override;
    void DefaultDraw(TCanvas* Cnvs);
    // The disabled look of a skin without a disabled picture.
    void DimObject(TCanvas* Cnvs) const;
    // Runs Command unless the form's OnObjectCommand cancels it.
    void DoCommand();
    bool RestoreMode() const;

private:
    bool IconRule() const;
};

// The caption: the form's caption text in the skin's caption font.
class TspSkinCaptionObject : public TspActiveSkinObject {
public:
    TspSkinCaptionObject(TspSkinnedForm* AParent, TspDataSkinCaption* AData);
    std::string FTextValue;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, ShadowColor = 0, ActiveShadowColor = 0;
    bool Shadow = false;
    TAlignment Alignment = taLeftJustify;
    TRect TextRct;
    bool DefaultCaption = false;
    TRect FrameRect, ActiveFrameRect;
    int FrameLeftOffset = 0, FrameRightOffset = 0;
    TRect FrameTextRect;
    TColor LightColor = 0, ActiveLightColor = 0;
    bool Light = false;
    bool StretchEffect = false;
    int FIncTime = 0;
    TRect AnimateSkinRect;
    int FrameCount = 0, AnimateInterval = 0;
    int CurrentFrame = 0;
    bool InActiveAnimation = false, FullFrame = false, VistaGlowEffect = false,
         VistaGlowInActiveEffect = false, GlowEffect = false, GlowInActiveEffect = false;
    int GlowSize = 0;
    TColor GlowColor = 0, GlowActiveColor = 0;
    int GlowOffset = 0;
    bool ReflectionEffect = false;
    TColor ReflectionColor = 0, ReflectionActiveColor = 0;
    int ReflectionOffset = 0;

    const std::string& TextValue() const { return FTextValue; }
    void SetTextValue(const std::string& Value);
    void SimpleSetTextValue(const std::string& Value) { FTextValue = Value; }
    bool EnableAnimation() const;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    int EdgeKind() const;
    void BuildImage(TBitmap* B, TBitmap* P, const TRect& S, bool Horizontal) const;
    void BuildByRule(TBitmap* B, TBitmap* P, const TRect& S) const;
    void DrawText(TCanvas* C, int DX, int DY, bool ActiveLook);
    TRect AnimationFrame(int N) const;
};

// A line of text of its own in the skin's font, with a hot colour.
class TspSkinLabelObject : public TspActiveSkinObject {
public:
    TspSkinLabelObject(TspSkinnedForm* AParent, TspDataSkinLabel* AData);
    std::string FTextValue;
    std::string FontName;
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0;
    TAlignment Alignment = taLeftJustify;

    void SetTextValue(const std::string& AValue, bool AUpDate);
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void DrawText(TBitmap* B, TColor Color);
};

// Text drawn from a bitmap font: one picture cell per character.
class TspSkinBitLabelObject : public TspActiveSkinObject {
public:
    TspSkinBitLabelObject(TspSkinnedForm* AParent, TspDataSkinBitLabel* AData);
    std::string FTextValue;
    int SymbolWidth = 0, SymbolHeight = 0;
    TStringList* Symbols = nullptr; // the element's, shared
    bool Transparent = false;
    TColor TransparentColor = 0;

    void SetTextValue(const std::string& AValue, bool AUpDate);
    void Draw(TCanvas* Cnvs, bool UpDate) override;
};

// A bar filled by a value.
class TspSkinGaugeObject : public TspActiveSkinObject {
public:
    TspSkinGaugeObject(TspSkinnedForm* AParent, TspDataSkinGauge* AData);
    TPoint FProgressPos, FOldProgressPos;
    int FValue = 0;
    int MinValue = 0, MaxValue = 0;
    TGaugeKind Kind = gkHorizontal;

    int Value() const { return FValue; }
    void SetValue(int AValue);
    void SimplySetValue(int AValue);
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void CalcProgressPos();
};

// A button dragged along a track between two points.
class TspSkinTrackBarObject : public TspActiveSkinObject {
public:
    TspSkinTrackBarObject(TspSkinnedForm* AParent, TspDataSkinTrackBar* AData);
    TPoint FButtonPos, FOldButtonPos;
    int FValue = 0;
    bool MoveActive = false;
    TPoint FOldMPoint;
    TTrackKind TrackKind = tkHorizontal;
    TRect ButtonRect, ActiveButtonRect;
    TPoint BeginPoint, EndPoint;
    int MinValue = 0, MaxValue = 0;
    bool MouseDownChangeValue = false, ButtonTransparent = false;
    TColor ButtonTransparentColor = 0;

    int Value() const { return FValue; }
    void SetValue(int AValue);
    void SimplySetValue(int AValue);
    void SetButtonPos(TPoint P);
    // Button rectangle at the current position, local coordinates.
    TRect ButtonAt(TPoint P) const;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseMove(int X, int Y) override;

private:
    TPoint ValueToPos(int V) const;
    int PosToValue(TPoint P) const;
};

// A two-state switch: on shows the hot image.
class TspSkinSwitchObject : public TspActiveSkinObject {
public:
    TspSkinSwitchObject(TspSkinnedForm* AParent, TspDataSkinSwitch* AData);
    TSwitchState FState = swsOff;

    TSwitchState State() const { return FState; }
    void SetState(TSwitchState Value);
    void SimpleSetState(TSwitchState Value);
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;
};

// One frame of a picture strip.
class TspSkinFrameObject : public TspActiveSkinObject {
public:
    TspSkinFrameObject(TspSkinnedForm* AParent, TspDataSkinObject* AData);
    int FFrame = 1;
    int FrameW = 0, FrameH = 0;
    int CountFrames = 0;
    TFramesPlacement FramesPlacement = fpHorizontal;

    int Frame() const { return FFrame; }
    void SetFrame(int Value);
    void Draw(TCanvas* Cnvs, bool UpDate) override;

protected:
    void CalcFrameSize();
    // The frame a value picks in MinValue..MaxValue.
    int FrameOfValue(int Value, int Min, int Max) const;
};

class TspSkinFrameGaugeObject : public TspSkinFrameObject {
public:
    TspSkinFrameGaugeObject(TspSkinnedForm* AParent, TspDataSkinFrameGaugeObject* AData);
    int FValue = 0;
    int MinValue = 0, MaxValue = 0;

    int Value() const { return FValue; }
    void SetValue(int AValue);
    void SimplySetValue(int AValue);
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseEnter() override;
    void MouseLeave() override;
};

// A knob or slider that picks its frame by its value.
class TspSkinFrameRegulatorObject : public TspSkinFrameObject {
public:
    TspSkinFrameRegulatorObject(TspSkinnedForm* AParent, TspDataSkinFrameRegulatorObject* AData);
    int FPixInc = 0, FValInc = 0;
    bool FDown = false;
    int StartV = 0, CurV = 0, TempValue = 0, OldCurV = 0;
    int FValue = 0;
    int MinValue = 0, MaxValue = 0;
    TRegulatorKind Kind = rkRound;

    int Value() const { return FValue; }
    void SetValue(int AValue);
    void SimplySetValue(int AValue);
    // Clockwise angle in whole degrees from straight down, for a local point.
    int CalcAngle(int X, int Y) const;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseMove(int X, int Y) override;

private:
    void TrackStep();
};

// A frame animation; in button style also a caption or menu button.
class TspSkinAnimateObject : public TspActiveSkinObject {
public:
    TspSkinAnimateObject(TspSkinnedForm* AParent, TspDataSkinAnimate* AData);
    bool FMenuTracking = false;
    int FFrame = 1;
    int FInc = 25;
    int TimerInterval = 25;
    TMenuItem* MenuItem = nullptr;
    bool FDown = false, FPopupUp = false;
    int CountFrames = 0;
    bool Cycle = false, ButtonStyle = false, Increment = true;
    TStdCommand Command = cmDefault;
    TRect DownSkinRect, RestoreRect, RestoreActiveRect, RestoreInActiveRect, RestoreDownRect;
    std::string RestoreHint, FTempHint;

    int Frame() const { return FFrame; }
    void SetFrame(int Value);
    void Start();
    void Stop();
    void ChangeFrame();
    void DoCommand();
    bool RestoreMode() const;
    void ShowLayer() override;
    void HideLayer() override;
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void DblClick() override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void OpenMenu();
};

// Covers the client area of an inactive form with a frozen, dimmed or
// blurred picture of it.
class TspClientInActivePanel : public TspSkinControl {
public:
    explicit TspClientInActivePanel(TComponent* AOwner);
    ~TspClientInActivePanel() override;
    std::unique_ptr<TspBitmap> Buffer;
    void ShowPanel(TForm* AForm, TspClientInActiveEffect AEffect);
    void HidePanel();

protected:
    void Paint() override;
};

using TspCaptionPaintEvent = std::function<void(TCanvas* Cnvs, TRect R, bool AActive)>;
using TChangeClientRectEvent = std::function<void(TRect NewClientRect)>;
using TObjectCommandEvent = std::function<void(TStdCommand Command, bool& bCancel)>;
using TspActivateCustomObjectEvent = std::function<void(const std::string& IDName, bool& Visible)>;
using TSetRollStateEvent = std::function<void(bool bValue)>;
using TspObjectMouseEvent = std::function<void(const std::string& IDName, int X, int Y,
                                               TRect ObjectRect, TMouseButton Button)>;
using TspObjectMoveEvent =
    std::function<void(const std::string& IDName, int X, int Y, TRect ObjectRect)>;
using TspObjectNameEvent = std::function<void(const std::string& IDName)>;
using TspObjectPaintEvent =
    std::function<void(const std::string& IDName, TCanvas* Canvas, TRect ObjectRect)>;
using TSwitchChangeStateEvent = std::function<void(const std::string& IDName, TSwitchState State)>;
using TspObjectValueEvent = std::function<void(const std::string& IDName, int Value)>;
using TGetObjectRestoreModeEvent = std::function<void(TStdCommand Command, bool& bRestoreMode)>;
// Shows a menu's items at a screen rectangle; the skinned menu engine plugs in here.
using TspMenuPresenter = std::function<void(TMenuItem* Items, TRect R, bool PopupUp)>;

class TspSkinnedForm : public TComponent {
public:
    // AOwner must be a form (ETypeCastError otherwise).
    explicit TspSkinnedForm(TComponent* AOwner);
    ~TspSkinnedForm() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // ---- Properties
    bool UseRibbon() const { return FUseRibbon; }
    void SetUseRibbon(bool Value);
    bool ClientInActiveEffect = false;
    TspClientInActiveEffect ClientInActiveEffectType = spieSemiTransparent;
    bool DisableSystemMenu = false;
    TspPositionInMonitor PositionInMonitor = sppDefault;
    bool UseFormCursorInNCArea = false;
    int ClientWidth = 0, ClientHeight = 0;
    bool HideCaptionButtons = false;
    bool AlwaysShowInTray = false;
    TBitmap* LogoBitMap() { return FLogoBitMap.get(); }
    void SetLogoBitMap(TBitmap* Value);
    bool LogoBitMapTransparent = false;
    bool AlwaysMinimizeToTray = false;
    bool ShowIcon() const { return FShowIcon; }
    void SetShowIcon(bool Value);
    bool MaximizeOnFullScreen = false;
    bool ShowObjectHint = false;
    bool UseDefaultObjectHint = true;
    // The hint window frame objects show their hints in.
    TspSkinHint* SkinHint() const { return FSkinHint; }
    void SetSkinHint(TspSkinHint* Value);
    // Its size grip hides while the form is maximized.
    TspSkinStatusBar* StatusBar() const { return FStatusBar; }
    void SetStatusBar(TspSkinStatusBar* Value);
    // Forwarded to the menu engine.
    int MaxMenuItemsInWindow() const;
    void SetMaxMenuItemsInWindow(int Value);
    bool UseSkinFontInMenu() const;
    void SetUseSkinFontInMenu(bool Value);
    int DefMenuItemHeight() const;
    void SetDefMenuItemHeight(int Value);
    TFont* DefMenuItemFont() const;
    void SetDefMenuItemFont(TFont* Value);
    bool MenusAlphaBlend() const;
    void SetMenusAlphaBlend(bool Value);
    bool MenusAlphaBlendAnimation() const;
    void SetMenusAlphaBlendAnimation(bool Value);
    uint8_t MenusAlphaBlendValue() const;
    void SetMenusAlphaBlendValue(uint8_t Value);
    bool UseSkinCursors = false;
    TFont* DefCaptionFont() { return FDefCaptionFont.get(); }
    TFont* DefInActiveCaptionFont() { return FDefInActiveCaptionFont.get(); }
    void SetDefCaptionFont(TFont* Value);
    void SetDefInActiveCaptionFont(TFont* Value);
    bool UseDefaultSysMenu = true;
    bool SupportNCArea() const { return FSupportNCArea; }
    void SetSupportNCArea(bool Value);
    bool AlphaBlendAnimation = false;
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool Value);
    uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(uint8_t Value);
    TMainMenu* MainMenu() const { return FMainMenu; }
    void SetMainMenu(TMainMenu* Value);
    TPopupMenu* SystemMenu() const { return FSystemMenu; }
    void SetSystemMenu(TPopupMenu* Value);
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    TspSkinData* MenusSkinData() const { return FMSD; }
    void SetMenusSkinData(TspSkinData* Value);
    int MinHeight = 0, MinWidth = 0, MaxHeight = 0, MaxWidth = 0;
    bool Sizeable = true;
    bool DraggAble = false;
    bool Magnetic = false;
    uint8_t MagneticSize = 10;
    TspBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TspBorderIcons Value);

    bool RollUpState() const { return FRollUpState; }
    void SetRollUpState(bool Value);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value);
    int RealHeight() const { return FRollUpState ? OldHeight : FFormHeight; }
    bool MinimizeDefault = false;
    bool SkinnableForm() const { return FSkinnableForm; }
    void SetSkinnableForm(bool Value);

    // ---- Events
    TspCaptionPaintEvent OnCaptionPaint;
    TChangeClientRectEvent OnChangeClientRect;
    TNotifyEvent OnChangeSkinData;
    TspObjectMouseEvent OnMouseUpEvent, OnMouseDownEvent;
    TspObjectMoveEvent OnMouseMoveEvent;
    TspObjectNameEvent OnMouseEnterEvent, OnMouseLeaveEvent;
    TNotifyEvent OnActivate, OnDeActivate;
    TNotifyEvent OnSkinMenuOpen, OnSkinMenuClose;
    TNotifyEvent OnChangeRollUpState;
    TNotifyEvent OnMinimizeToTray, OnRestoreFromTray;
    TspActivateCustomObjectEvent OnActivateCustomObject;
    TNotifyEvent OnMinimize, OnRestore, OnMaximize;
    TSetRollStateEvent OnSetRollUpState;
    TObjectCommandEvent OnObjectCommand;
    TspObjectPaintEvent OnPaintEvent;
    TSwitchChangeStateEvent OnSwitchChangeStateEvent;
    TspObjectValueEvent OnTrackBarChangeValueEvent, OnFrameRegulatorChangeValueEvent;
    TGetObjectRestoreModeEvent OnGetObjectRestoreMode;
    // Asked first when the form checks a key for a short cut.
    TShortCutEvent OnShortCut;

    // Where menus are shown until the skinned menu engine takes over; without
    // one a menu is built but not shown.
    TspMenuPresenter MenuPresenter;

    // ---- Small public operations
    bool IsSizeAble() const;
    bool GetFormActive() const;
    std::string GetProductVersion() const { return "10.47"; }
    void SetFormBorderStyle(TFormBorderStyle BS);
    // Only fsNormal and fsStayOnTop are taken.
    void SetFormStyle(TFormStyle FS);
    // The first visible stay-on-top form of the screen, 0 when none.
    static HWND GetTopMostFormHandle();
    // The form's caption buttons when the frame is not skinned.
    void SetFormBorderIcons();
    // The small icon the system-menu button shows: the form's, else the
    // application's, else a built-in one.
    void CreateFormIcon();
    TIcon* FormIcon() const { return FIcon.get(); }
    // The form's short-cut handling (the form's OnShortCut).
    void FormShortCut(TWMKey& Msg, bool& Handled);
    TPoint GetPositionInMonitor(int AX, int AY, int AW, int AH) const;
    void ApplyPositionInMonitor();
    TForm* Form() const { return FForm; }

    // ---- Object operations (by the object's IDName; the first match)
    int GetIndex(const std::string& AIDName) const;
    void SetEnabled(const std::string& AIDName, bool Value);
    void UserObjectDraw(const std::string& AIDName);
    void AnimateStart(const std::string& AIDName);
    void AnimateStop(const std::string& AIDName);
    int TrackBarGetValue(const std::string& AIDName) const;
    void TrackBarSetValue(const std::string& AIDName, int AValue);
    void GaugeSetValue(const std::string& AIDName, int AValue);
    void FrameGaugeSetValue(const std::string& AIDName, int AValue);
    int FrameRegulatorGetValue(const std::string& AIDName) const;
    void FrameRegulatorSetValue(const std::string& AIDName, int AValue);
    TSwitchState SwitchGetState(const std::string& AIDName) const;
    void SwitchSetState(const std::string& AIDName, TSwitchState AState);
    void LabelSetText(const std::string& AIDName, const std::string& ATextValue);
    void BitLabelSetText(const std::string& AIDName, const std::string& AValue);
    void CaptionSetText(const std::string& AIDName, const std::string& AText);
    bool ButtonGetDown(const std::string& AIDName) const;
    void ButtonSetDown(const std::string& AIDName, bool ADown);
    // Attaches a menu to a button object or a button-style animate object.
    void LinkMenu(const std::string& AIDName, TMenu* AMenu, bool APopupUp);

    // ---- Skin binding (frame rebuild)
    void ApplySkinData();
    void CreateSkinObjects();
    void CreateDefaultButtons();
    void ClearObjects();
    void CheckObjects();
    void UpdateMainMenu(bool ARedraw);
    // Skin-change walks over a control and everything below it; a nil
    // skin data reaches every skinned control.
    static void DoBeforeChangeSkinData(TspSkinData* ASkinData, TControl* AControl);
    static void DoChangeSkinData(TspSkinData* ASkinData, TControl* AControl);
    bool InChangeSkinData() const { return FInChangeSkinData; }

    // ---- Painting
    void PaintNCSkin(HDC ADC, bool AUseExternalDC);
    void PaintNCDefault(HDC ADC, bool AUseExternalDC);
    void DrawSkinObject(TspActiveSkinObject* AObject);
    void UpdateDefaultCaptionText();
    void PaintBG(HDC DC);
    void PaintBG2(HDC DC);
    void PaintBGDefault(HDC DC);
    void Paint(HDC DC);
    void DrawFormIcon(TCanvas* C, int X, int Y);
    void DrawSizeGrip(TCanvas* C);
    void ShowClientInActiveEffect();
    void HideClientInActiveEffect();
    void EnableShadow(bool AShowShadow, bool AHideFormBefore);
    bool HaveShadow() const { return FHaveShadow; }
    TspClientInActivePanel* InActivePanel() const { return FInActivePanel.get(); }

    // ---- Hit testing, size limits, regions (frame coordinates)
    LRESULT HitTestSkin(TPoint P);
    LRESULT HitTestDefault(TPoint P);
    LRESULT HitTestClientSkin(TPoint P);
    bool PointInSkinMask(TPoint P);
    int GetMinWidth() const;
    int GetMinHeight() const;
    int GetMaxWidth() const;
    int GetMaxHeight() const;
    void SetSkinRegion(bool AUpdate);
    void SetRollUpRegion();
    bool CanPaintNCSkin() const;

    // ---- Frame layout
    void CalcSkinRects();
    bool IsStretchableSkin() const;
    TRect MapSkinRect(TRect R) const;
    void CalcObjectRects();
    void CalcDefRects();
    void UpdateFrameLayout(bool AUpdateObjects);
    void RefreshBounds();
    void FitClientToSkin();
    // Controls placed on named skin areas follow them as the frame is sized.
    void LinkControlToArea(const std::string& AreaName, TControl* Control);
    void UnLinkControlFromArea(TControl* Control);
    TRect GetAreaRect(const std::string& AIDName) const;
    void LinkControlsToAreas();
    void ArrangeLinkedControls();
    void UpdateChildrenBackground();
    struct TspAreaLink {
        TControl* Control;
        TRect AreaRect;
    };
    std::vector<TspAreaLink> AreaList;

    // ---- Window states, snapping, dragging
    void GetMinimizedPosition(TPoint& P);
    void CaptionDblClick();
    void MagneticMove(int& ALeft, int& ATop, int AWidth, int AHeight);
    void RollUpSkinForm();
    void RollDownSkinForm();
    void BeginFormDrag(int X, int Y);
    void EndFormDrag() { FIsDragging = false; }

    // ---- Menus
    void MinimizeToTray();
    void RestoreFromTray();
    void SkinMenuOpen();
    void SkinMenuClose();
    // The system menu's items for the form's state (the user's SystemMenu
    // completed with the standard items, or the built-in menu).
    TMenuItem* GetSystemMenuItems();
    void PopupSystemMenuAt(int X, int Y);
    void PopupSystemMenuAtRect(TRect R);
    void PopupSystemMenuFromButton();
    void UpdateObjectHints();
    // A menu of the application shown through the form's skinned menus.
    void DoPopupMenu(TPopupMenu* Menu, int X, int Y);
    void PopupSkinMenu(TMenu* Menu, TPoint P);
    void PopupSkinMenu1(TMenu* Menu, TRect R, bool PopupUp);
    // Shows menu items next to a screen rectangle through the form's menus.
    void PopupMenuItemsAt(TMenuItem* Items, TRect R, bool PopupUp);
    // The menu of a frame button: a skinned popup menu opens itself, other
    // menus open through the form's menus.
    void PopupObjectMenu(TMenuItem* Items, TRect R, bool PopupUp);
    // A text of the skin's resource strings, else the built-in one.
    std::string ResString(const char* Key, const char* Builtin) const;
    TspLayerManager* LayerManager() const { return FLayerManager.get(); }
    TspLayerManager* MenuLayerManager() const { return FMenuLayerManager.get(); }
    TPopupMenu* SysTrayMenu() const;
    // The menu engine every skinned menu of this form opens through.
    TspSkinMenu* SkinMenu() const { return FSkinMenu.get(); }
    // The tray icon the form hides in and comes back from.
    TspTrayIcon* TrayIcon() const { return FTrayIcon; }
    void SetTrayIcon(TspTrayIcon* Value);
    // The menu bar the form's main-menu handling goes to.
    TspSkinMainMenuBar* MainMenuBar() const { return FMainMenuBar; }
    void SetMainMenuBar(TspSkinMainMenuBar* Value);
    bool InMainMenu = false;
    TNotifyEvent OnMainMenuEnter, OnMainMenuExit;
    void ExitMainMenu();
    void CloseMainMenuItem();
    // The main menu drawn in the frame (no menu bar attached).
    void CreateMainMenuItems();
    std::vector<TspSkinMainMenuItem*> MainMenuItems() const;
    bool CheckMainMenuAccel(int Key);
    void EnterMainMenu();
    void NextMainMenuItem();
    void PrevMainMenuItem();
    bool PressMainMenuItem();
    // The translucent border around the form, shown when the skin has one.
    TspFormLayerBorder* LayerBorder() const { return FFormLayerBorder.get(); }
    bool FBorderLayerChangeSize = false;
    // Alt alone or F10 (Char 0), or Alt with a character.
    void KeyMenu(int Char);
    // Keys while a skinned menu is open (the application hook sends them here).
    void SkinMenuKeyDown(int Key);

    // ---- Frame-object tracking
    void ScreenToFramePoint(TPoint& P) const;
    void TestActiveObject(int X, int Y, bool AActive);
    void ObjectsMouseMove(int X, int Y);
    void ObjectsMouseDown(TMouseButton Button, int X, int Y);
    void ObjectsMouseUp(TMouseButton Button, int X, int Y);
    void ObjectsDblClick();
    void UpdateActiveState(bool AUpdate);
    void ResetObjectStates();
    void UpdateSkinCursor();
    bool IsObjectVisibleInState(bool ARollUp) const;
    void MouseTimerProc();
    void MorphTimerProc();
    void AnimateTimerProc();
    TTimer* MouseTimer() const { return FMouseTimer.get(); }
    TTimer* MorphTimer() const { return FMorphTimer.get(); }
    TTimer* AnimateTimer() const { return FAnimateTimer.get(); }

    // Called by the frame objects.
    void DoObjectMouseDown(const std::string& ID, int X, int Y, TRect R, TMouseButton B);
    void DoObjectMouseUp(const std::string& ID, int X, int Y, TRect R, TMouseButton B);
    void DoObjectMouseMove(const std::string& ID, int X, int Y, TRect R);
    void DoObjectMouseEnter(const std::string& ID);
    void DoObjectMouseLeave(const std::string& ID);
    void DoObjectPaint(const std::string& ID, TCanvas* C, TRect R);
    void DoSwitchChangeState(const std::string& ID, TSwitchState State);
    void DoTrackBarChangeValue(const std::string& ID, int Value);
    void DoFrameRegulatorChangeValue(const std::string& ID, int Value);

    // ---- Frame state (read by the objects and the tests)
    std::vector<std::unique_ptr<TspActiveSkinObject>> ObjectList;
    int ActiveObject = -1, OldActiveObject = -1, MouseCaptureObject = -1;
    bool MouseIn = false;
    int FFormWidth = 0, FFormHeight = 0;
    TPoint NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint;
    TRect NewClRect, NewCaptionRect, NewButtonsRect, NewMaskRectArea, NewDefCaptionRect,
        NewMainMenuRect, NewIconRect, FSizeGripArea;
    int NewButtonsOffset = 0;
    bool NewButtonsInLeft = false;
    TPoint NewHitTestLTPoint, NewHitTestRTPoint, NewHitTestLBPoint, NewHitTestRBPoint;
    TRect OldBoundsRect;
    bool MaxRollUpState = false;
    bool FSizeMove = false;
    bool FFormActive = false;
    bool FStopPainting = false;
    bool FSkinSupport = false;
    int OldHeight = 0;
    // Caption bar height of the default look.
    int DefCaptionHeight() const;
    // Expires when the component goes, so callers that may free it can tell.
    std::weak_ptr<bool> AliveToken() const { return FAlive; }
    bool OwnsObject(const TspActiveSkinObject* O) const;

    // ---- MDI (the MDI block at the end of the unit)
    TspSkinMDITabsBar* MDITabsBar() const { return FMDITabsBar; }
    void SetMDITabsBar(TspSkinMDITabsBar* Value);
    // False keeps a child off the main form's tabs bar.
    std::function<void(bool& Accept)> OnAcceptToMDITabsBar;
    bool GetMDIChildMaximized() const { return FMDIChildMaximized; }
    bool IsMDIChild() const;
    bool IsMDIForm() const;
    // The main form's client area less the controls aligned in it.
    TRect GetMDIAreaRect() const;
    TForm* GetMaximizedMDIChild() const;
    TspSkinnedForm* GetMaximizedMDIChildSkinForm() const;
    TspSkinnedForm* GetActiveMDIChildSkinForm() const;
    void SendMDIClientResized();
    void ArrangeMinimizedChildren();
    void AddChildToMenu(TForm* Child);
    void DeleteChildFromMenu(TForm* Child);
    void UpDateChildCaptionInMenu(TForm* Child);
    void UpDateChildActiveInMenu();
    void MDIItemClick(TObject* Sender);
    void AddChildToBar(TForm* Child);
    void DeleteChildFromBar(TForm* Child);
    void RefreshMDIBarTab(TForm* Child);
    void Tile();
    void Cascade();
    void MinimizeAll();
    void MaximizeAll();
    void RestoreAll();
    void CloseAll();
    void PaintBG3(HDC DC);
    void PaintMDIBGDefault(HDC DC);
    // The caption the frame shows: an MDI main form adds its maximized child's.
    std::string FrameCaptionText() const;

private:
    static TspSkinnedForm* MainSkinForm();
    void HookMDIClient();
    void UnHookMDIClient();
    static LRESULT ClientWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RefreshMainMDIViews();
    TspSkinMDITabsBar* FMDITabsBar = nullptr;
    bool FMDIChildMaximized = false;
    HWND FHookedClient = 0;
    WNDPROC FPrevClientProc = nullptr;

    void FormWndProc(TMessage& Message);
    void CallOld(TMessage& Message);
    void CheckMenuCloseMessage(UINT Msg);
    // Drop-downs of an MDI main form's own controls close with its menus.
    void CancelChildDropDowns();
    // A layered border without a fade: the form starts see-through for one tick.
    bool IsLayeredStartNeeded() const;
    bool Framed() const;
    bool NCMode() const { return FSupportNCArea; }
    bool HasSkin() const { return FSD && !FSD->Empty; }
    void HandleNCCalcSize(TMessage& Message);
    void HandleNCActivate(TMessage& Message);
    void HandleShowWindow(TMessage& Message);
    void HandleTimer1();
    void AfterOld(TMessage& Message);
    void DoMinimize();
    void DoMaximize();
    void DoNormal();
    void FillBackground(HDC DC, TBitmap* S, bool Stretch, TspStretchType Type);
    void DrawLogo(TCanvas* C);
    void CreateDefaultSystemMenu();
    void UpdateUserSystemMenu();
    TMenuItem* NewSysItem(TComponent* Owner, const char* Name, const char* Key, const char* Caption,
                          std::function<void()> Click);
    bool CaptionObjectAt(TPoint P) const;
    bool OnBorder(TPoint P);
    LRESULT BorderZone(TPoint P) const;
    void ApplyLayered();
    void ReleaseRegion();

    TForm* FForm;
    TWndMethod OldWindowProc;
    // Cleared when the component goes, so loops that process messages can tell.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    TspSkinData* FSD = nullptr;
    TspSkinData* FMSD = nullptr;
    TMainMenu* FMainMenu = nullptr;
    TPopupMenu* FSystemMenu = nullptr;
    bool FUseRibbon = false;
    bool FSkinnableForm = true;
    bool FSupportNCArea = true;
    bool FInChangeSkinData = false;
    bool FShowIcon = false;
    bool FAlphaBlend = false;
    uint8_t FAlphaBlendValue = 200;
    TspBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize | biRollUp;
    std::unique_ptr<TBitmap> FLogoBitMap;
    std::unique_ptr<TFont> FDefCaptionFont, FDefInActiveCaptionFont;
    std::unique_ptr<TBitmap> RMTop, RMBottom, RMLeft, RMRight;
    HRGN FRgn = nullptr;
    TWindowState FWindowState = wsNormal;
    bool FRollUpState = false;
    bool FRollUpBeforeMaximize = false;
    bool FStartShow = true;
    bool FSizing = false;
    bool FFullDrag = true;
    bool FIsDragging = false;
    int FOldX = 0, FOldY = 0;
    bool HMagnetized = false, VMagnetized = false, HMagnetized2 = false, VMagnetized2 = false;
    TPoint FOnMouseDownCoord{-1, -1};
    TPoint FMagnet2Coord{-1, -1};
    bool InMenu = false;
    bool FInShortCut = false;
    // Alt+F4, or Ctrl+F4 for an MDI child: what closes the form.
    TShortCut CloseShortCut() const;
    TspSkinHint* FSkinHint = nullptr;
    TspSkinStatusBar* FStatusBar = nullptr;
    std::unique_ptr<TIcon> FIcon;
    int FMaxMenuItemsInWindow = 0;
    std::unique_ptr<TPopupMenu> FSysMenu;
    std::unique_ptr<TspSkinPopupMenu> FSysTrayMenu;
    std::unique_ptr<TspSkinMenu> FSkinMenu;
    TspTrayIcon* FTrayIcon = nullptr;
    TspSkinMainMenuBar* FMainMenuBar = nullptr;
    std::unique_ptr<TspFormLayerBorder> FFormLayerBorder;
    // The layered border follows the form's window messages.
    bool LayerBorderUsed() const;
    void LayerBorderFollow(const TMessage& Message);
    friend class TspSkinMainMenuBar;
    friend class TspSkinMainMenuBarItem;
    friend class TspSkinMainMenuItem;
    // The application's message handler while a skinned menu is open.
    void HookApp();
    void UnHookApp();
    bool FInAppHook = false;
    int FAppHook = 0;
    std::unique_ptr<TTimer> FMouseTimer, FMorphTimer, FAnimateTimer;
    std::unique_ptr<TspLayerManager> FLayerManager, FMenuLayerManager;
    std::unique_ptr<TspClientInActivePanel> FInActivePanel;
    bool FClientInActiveDraw = false;
    bool FHaveShadow = false;
    // Controls hidden while a client-area form is rolled up.
    std::vector<TControl*> VisibleControls;
    template <class T> T* ObjectAs(const std::string& AIDName) const;
};

// The first skinned-form component of a form; null when it has none.
TspSkinnedForm* GetSkinnedForm(TForm* Form);
// ---- Main menu bar ----------------------------------------------------------------------------

// The main menu component: a main menu with the skin its popups use.
class TspSkinMainMenu : public TMainMenu {
public:
    using TMainMenu::TMainMenu;
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    void Notification(TComponent* AComponent, TOperation Operation) override;
    TspSkinnedForm* DSF = nullptr;

private:
    TspSkinData* FSD = nullptr;
};

// An object drawn on the menu bar: a bar item or a child caption button.
class TspMenuBarObject {
public:
    TspMenuBarObject(TspSkinMainMenuBar* AParent, TspDataSkinObject* AData);
    virtual ~TspMenuBarObject() = default;

    TspSkinMainMenuBar* Parent;
    double FMorphKf = 0;
    bool FMouseIn = false;
    TBitmap* Picture = nullptr;
    bool FDown = false;
    std::string IDName;
    TRect SkinRect, ActiveSkinRect, DownRect;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    TRect ObjectRect;
    bool Active = false, Enabled = true, Visible = true;

    double MorphKf() const { return FMorphKf; }
    void SetMorphKf(double Value);
    virtual void StartRedraw();
    virtual void Draw(TCanvas*) {}
    virtual void DblClick() {}
    virtual void MouseDown(int, int, TMouseButton) {}
    virtual void MouseUp(int, int, TMouseButton) {}
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual bool CanMorphing();
    bool EnableMorphing() const;
    void DoMorphing();
};

class TspSkinMainMenuBarItem : public TspMenuBarObject {
public:
    TspSkinMainMenuBarItem(TspSkinMainMenuBar* AParent, TspDataSkinMainMenuBarItem* AData);
    bool FSkinSupport = false;
    TRect TempObjectRect;
    bool OldEnabled = true;
    bool ItemVisible = true; // shown, or hidden for lack of room
    TMenuItem* MenuItem = nullptr;
    std::string FontName = "Arial";
    int FontHeight = 14;
    TFontStyles FontStyle;
    TColor UnEnabledFontColor = 0, FontColor = 0, ActiveFontColor = 0, DownFontColor = 0;
    TRect TextRct, ItemDownRect;
    int LO = 0, RO = 0;
    bool StretchEffect = false;
    TRect AnimateSkinRect;
    int FrameCount = 0, AnimateInterval = 0, CurrentFrame = 0;
    bool InActiveAnimation = false;

    bool EnableAnimation() const;
    void DefaultDraw(TCanvas* Cnvs);
    void SetDown(bool Value);
    void TrackMenu();
    bool ReleaseOtherDownItem();
    void LeaveOtherActiveItem();
    void StartRedraw() override;
    void Draw(TCanvas* Cnvs) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void Layout(TCanvas* Cnvs, int& TextWidth);
    void SetItemFont(TCanvas* C);
    void BuildImage(TBitmap* B, TCanvas* Under, const TRect& S, bool ActiveLook, bool Frame);
};

class TspSkinMainMenuBarButton : public TspMenuBarObject {
public:
    TspSkinMainMenuBarButton(TspSkinMainMenuBar* AParent, TspDataSkinMainMenuBarButton* AData);
    bool FSkinSupport = false;
    TStdCommand Command = cmDefault;
    void DefaultDraw(TCanvas* Cnvs);
    void DoCommand();
    void Draw(TCanvas* Cnvs) override;
    void DblClick() override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseUp(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;
};

using TMainMenuItemClick = std::function<void(const std::string& IDName)>;
using TspItemEnterEvent = std::function<void(TMenuItem* MenuItem)>;

// A main menu shown as a bar of items at the top of a form.
class TspSkinMainMenuBar : public TspSkinControl {
public:
    explicit TspSkinMainMenuBar(TComponent* AOwner);
    ~TspSkinMainMenuBar() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void GetSkinData() override;
    void ChangeSkinData() override;
    void BeforeChangeSkinData() override;
    void WndProc(TMessage& Message) override;

    bool UseSkinFont = true;
    bool ScrollMenu = true;
    TFont* DefItemFont() { return FDefItemFont.get(); }
    void SetDefItemFont(TFont* Value);
    int DefaultWidth() const { return FDefaultWidth; }
    void SetDefaultWidth(int Value);
    int DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int Value);
    bool PopupToUp = false;
    TspSkinnedForm* SkinnedForm() const { return FSkinnedForm; }
    void SetSkinnedForm(TspSkinnedForm* Value);
    TMainMenu* MainMenu() const { return FMainMenu; }
    void SetMainMenu(TMainMenu* Value);
    TMainMenuItemClick OnMainMenuItemClick;
    TspItemEnterEvent OnItemMouseEnter, OnItemMouseLeave;

    void CreateMenu();
    void UpDateItems();
    void UpDateEnabledItems();
    void Merge(TMainMenu* Menu);
    void UnMerge();
    // The menu merged into the bar: the merge menu, else the main menu of
    // the main form's active MDI child.
    TMainMenu* GetChildMainMenu();
    // Whether a child's menu merges into the bar (a merge menu, or the bar
    // of an MDI main form).
    bool ChildMenusMerge() const;
    bool CheckMainMenuAccel(int Key);
    void NextMainMenuItem();
    void PrevMainMenuItem();
    bool PressMainMenuItem();
    void EnterMainMenu();
    void CloseMainMenuItem();
    void ExitMainMenu();
    void MDIChildMaximize();
    void MDIChildRestore();
    // The caption buttons of a maximized MDI child, at the front of ObjectList.
    void CreateMDIChildButtons();
    void FreeMDIChildButtons();
    void EnableMDIChildButtons();
    void PlaceMDIChildButtons();
    void DrawObject(TspMenuBarObject* Object);
    // The bar items shown (the caption buttons come first in ObjectList).
    std::vector<TspSkinMainMenuBarItem*> Items() const;
    void TestActiveObject(int X, int Y);
    TRect MarkerRect() const;
    void PopupMarkerMenu();

    bool FSkinSupport = false;
    int ButtonsCount = 0;
    bool FMDIChildMax = false;
    bool MenuActive = false;
    bool Scroll = false;
    bool MarkerActive = false;
    std::unique_ptr<TTimer> MorphTimer, MouseTimer, AnimateTimer;
    int ActiveObject = -1, OldActiveObject = -1, MouseCaptureObject = -1;
    TRect NewItemsRect;
    TMainMenu* FMergeMenu = nullptr;
    TRect BarSkinRect, ItemsRect;
    std::string MenuBarItem, MaxButton, MinButton, SysMenuButton, CloseButton;
    TColor TrackMarkColor = 0, TrackMarkActiveColor = 0;
    TBitmap* BarPicture = nullptr;
    bool StretchEffect = false, ItemTransparent = false;
    std::vector<std::unique_ptr<TspMenuBarObject>> ObjectList;
    bool ChildMenuIn = false;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    void CalcItemsRect();
    void PaintBar(HDC DC);
    void MorphTimerProc();
    void MouseTimerProc();
    void AnimateTimerProc();
    std::unique_ptr<TFont> FDefItemFont;
    int FDefaultWidth = 0, FDefaultHeight = 22;
    TspSkinnedForm* FSkinnedForm = nullptr;
    TMainMenu* FMainMenu = nullptr;
};

// ---- Frame main menu ---------------------------------------------------------------------------

// One top-level item of the form's main menu, drawn as a frame object in the
// skin's main-menu rect when the form has no menu bar.
class TspSkinMainMenuItem : public TspActiveSkinObject {
public:
    TspSkinMainMenuItem(TspSkinnedForm* AParent, TspDataSkinMainMenuItem* AData);
    TRect TempObjectRect;
    bool FDown = false;
    bool OldEnabled = true;
    bool ItemVisible = true; // shown, or hidden for lack of room
    TMenuItem* MenuItem = nullptr;
    std::string FontName = "Arial";
    int FontHeight = 14;
    TFontStyles FontStyle;
    TColor UnEnabledFontColor = 0, FontColor = 0, ActiveFontColor = 0, DownFontColor = 0;
    TRect TextRct, DownRect;
    int LO = 0, RO = 0;

    void SetDown(bool Value);
    void TrackMenu();
    bool ReleaseOtherDownItem();
    void LeaveOtherActiveItem();
    // Places the item after the one before it; hides it when it does not fit.
    void Layout();
    void Draw(TCanvas* Cnvs, bool UpDate) override;
    void MouseDown(int X, int Y, TMouseButton Button) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void SetItemFont(TCanvas* C) const;
    void BuildImage(TBitmap* B, const TRect& S, bool ActiveLook);
};

// ---- Layered border windows ---------------------------------------------------------------------

class TspBitmap;
class TspFormLayerBorder;

enum TspFormLayerBorderType { spflLeft, spflTop, spflRight, spflBottom };
enum TspFormLayerBorderHit {
    spflhNone,
    spflhLeft,
    spflhTop,
    spflhRight,
    spflhBottom,
    spflhTopLeft,
    spflhTopRight,
    spflhBottomLeft,
    spflhBottomRight
};

// One strip of the border: a borderless per-pixel-alpha window that never
// takes the activation; its rim resizes the form when the skin allows it.
class TspFormLayerWindow : public TForm {
public:
    TspFormLayerWindow(TComponent* AOwner, TForm* AForm);
    void WndProc(TMessage& Message) override;
    TspFormLayerBorderHit GetHitMode() const;

    bool FDown = false;
    TForm* FForm;
    TspFormLayerBorder* FLayerBorder;
    TPoint MousePos1, MousePos2;
    TspFormLayerBorderHit FHitMode = spflhNone;
    bool FInProcessMessages = false;
    TspFormLayerBorderType BorderType = spflLeft;

protected:
    void CreateParams(TCreateParams& Params) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    bool CanResize() const;
};

// A translucent border (a soft shadow with a resize rim) around a skinned
// form, cut from the skin's layer frame into four strips.
class TspFormLayerBorder : public TComponent {
public:
    explicit TspFormLayerBorder(TComponent* AOwner);
    ~TspFormLayerBorder() override;

    void InitFrame(TspSkinData* ASkinData, TForm* AForm);
    void Show(int X, int Y, int AWidth, int AHeight);
    void Hide();
    void SetBounds(int X, int Y, int AWidth, int AHeight);
    void ShowWithForm();
    void SetBoundsWithForm();
    void SetBoundsWithForm2(int AW, int AH);
    void SetBoundsWithForm3(int ALeft, int ATop, int AW, int AH);
    void MoveWithForm();
    void MoveWithForm2(int ALeft, int ATop);
    void SetAlphaBlend();
    void SetAlphaBlend2();
    void CheckFormAlpha(int AFormAlpha, bool AUpdate);
    void SetActive(bool AValue, bool AUpdate);
    void Draw(TCanvas* C, int X, int Y, int AWidth, int AHeight);
    // The border rectangle of a form at these bounds.
    TRect BorderRectFor(int FL, int FT, int FW, int FH) const;

    TspSkinnedForm* DSF;
    TForm* FForm = nullptr;
    bool FVisible = false;
    TspSkinData* FSD = nullptr;
    TspDataSkinLayerFrame* FData = nullptr;
    std::unique_ptr<TspBitmap> FSourceBitmap, FSourceInActiveBitMap;
    std::unique_ptr<TspBitmap> LeftImage, TopImage, RightImage, BottomImage;
    std::unique_ptr<TspFormLayerWindow> LeftBorder, TopBorder, RightBorder, BottomBorder;
    int FWidth = 0, FHeight = 0;
    int LeftSize = 0, TopSize = 0, RightSize = 0, BottomSize = 0;
    bool FActive = true;
    int FCurrentAlphaBlendValue = -1, FCurrentInActiveAlphaBlendValue = -1;

private:
    void BuildImages(int AWidth, int AHeight);
    int TopHeight() const;
    int BottomHeight() const;
    uint8_t CurrentAlpha() const;
    void PlaceWindows(int X, int Y, bool Update);
    int FX = 0, FY = 0;
};

// ---- MDI tabs bar ------------------------------------------------------------------------------

class TspSkinMDITabsBar;
class TspSkinMenuSpeedButton;

enum TspSkinMDITabKind { sptkTab, sptkButton };

// One tab of the bar: one visible MDI child.
class TspMDITab {
public:
    TspMDITab(TspSkinMDITabsBar* AParentBar, TForm* AChild);
    TspSkinMDITabsBar* TabsBar;
    TForm* Child;
    bool Active = false;
    bool MouseIn = false;
    TRect ObjectRect;
    bool Visible = false;
    // The close button, relative to the tab's top-left corner.
    TRect ButtonRect;
    bool ButtonMouseIn = false, ButtonMouseDown = false;

    void Draw(TCanvas* Cnvs);
    void ButtonDraw(TCanvas* Cnvs);
    void ResizeDraw(TCanvas* Cnvs);
    void DrawCloseButton(TCanvas* Cnvs, TRect R);

private:
    void DrawText(TCanvas* C, TRect R);
};

using TspMDITabMouseEnterEvent = std::function<void(TspMDITab* MDITab)>;
using TspMDITabMouseLeaveEvent = std::function<void(TspMDITab* MDITab)>;
using TspMDITabMouseUpEvent =
    std::function<void(TMouseButton Button, TShiftState Shift, TspMDITab* MDITab)>;
using TspMDITabMouseDownEvent =
    std::function<void(TMouseButton Button, TShiftState Shift, TspMDITab* MDITab)>;
using TspMDITabGetDrawParamsEvent = std::function<void(TspMDITab* MDITab, TCanvas* Cnvs)>;

// A bar on an MDI main form with one tab per visible MDI child.
class TspSkinMDITabsBar : public TspSkinControl {
public:
    explicit TspSkinMDITabsBar(TComponent* AOwner);
    ~TspSkinMDITabsBar() override;

    void AddTab(TForm* Child);
    void DeleteTab(TForm* Child);
    int GetTabIndex(int X, int Y) const;
    TspMDITab* GetTab(int X, int Y) const;
    int GetCloseSize() const;
    void UpdateActiveTabs();
    void ChangeSkinData() override;
    void GetSkinData() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    // Lays the tabs out for the bar's size (run before they are drawn).
    void CalcTabRects();

    bool ShowCloseButtons() const { return FShowCloseButtons; }
    void SetShowCloseButtons(bool Value);
    TspSkinMDITabKind TabKind() const { return FTabKind; }
    void SetTabKind(TspSkinMDITabKind Value);
    TspSkinnedForm* SkinnedForm() const { return FSkinnedForm; }
    void SetSkinnedForm(TspSkinnedForm* Value);
    bool SupportChildMenus = true;
    bool UseSkinSize = true;
    bool UseSkinFont = true;
    bool MoveTabs = true;
    int DefaultHeight() const { return FDefaultHeight; }
    void SetDefaultHeight(int Value);
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    int DefaultTabWidth = 100;
    int MinTabWidth = 0;

    TspMDITabMouseEnterEvent OnTabMouseEnter;
    TspMDITabMouseLeaveEvent OnTabMouseLeave;
    TspMDITabMouseUpEvent OnTabMouseUp;
    TspMDITabMouseDownEvent OnTabMouseDown;
    TspMDITabGetDrawParamsEvent OnTabGetDrawParamsEvent;

    std::vector<std::unique_ptr<TspMDITab>> ObjectList;
    int ActiveTabIndex = -1, OldTabIndex = -1;
    bool FDown = false, IsDrag = false;
    int DragIndex = -1, DX = 0, TabDX = 0;
    int FInVisibleCount = 0;
    int FCloseSize = 14;
    TspSkinMenuSpeedButton* ListButton() const { return FListButton; }
    TspSkinMenuSpeedButton* HideListButton() const { return FHideListButton; }
    TspSkinPopupMenu* ListMenu() const { return FListMenu.get(); }
    TspSkinPopupMenu* HideListMenu() const { return FHideListMenu.get(); }
    // The tab a drag would drop on; -1 none.
    int DropIndex() const;
    // Draws one tab at once on the bar.
    void DrawTabNow(TspMDITab* Tab);

    // Skin values of the "tab" element, read on every paint.
    TBitmap* Picture = nullptr;
    TRect TabRect, ActiveTabRect, MouseInTabRect, TabsBGRect;
    int TabLeftOffset = 0, TabRightOffset = 0;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, MouseInFontColor = 0;
    bool TabStretchEffect = false;
    TRect CloseButtonRect, ClosebuttonActiveRect, CloseButtonDownRect;
    bool ButtonTransparent = false;
    TColor ButtonTransparentColor = 0;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TRect ClRect, SkinRect;
    int FBottomOffset = 0, FActiveTabOffset = 0;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    friend class TspMDITab;
    bool SkinElement() const { return FIndex != -1; }
    void DrawBar(TCanvas* C);
    void DrawDropMarker(TCanvas* C);
    void TestActive(int X, int Y);
    void MakeListButton();
    void MakeHideListButton();
    void FreeListButton();
    void FreeHideListButton();
    void FillListMenu(TspSkinPopupMenu* Menu, bool HiddenOnly);
    void ListItemClick(TObject* Sender);
    TspSkinMenuSpeedButton* NewMenuButton(TAlign Align, TspSkinPopupMenu* Menu);

    bool FShowCloseButtons = false;
    TspSkinMDITabKind FTabKind = sptkTab;
    TspSkinnedForm* FSkinnedForm = nullptr;
    int FDefaultHeight = 21;
    std::unique_ptr<TFont> FDefaultFont;
    int FRightLimit = 0;
    TspSkinMenuSpeedButton* FListButton = nullptr;
    TspSkinMenuSpeedButton* FHideListButton = nullptr;
    std::unique_ptr<TspSkinPopupMenu> FListMenu, FHideListMenu;
};
