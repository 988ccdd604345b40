// The loaded skin: its pictures, the named elements that tell skinned forms
// and controls how to cut their looks out of those pictures, the frame
// geometry of a skinned form, colours and interface texts; the two storage
// forms of a skin (a folder with an ini text, a compressed skin) and the
// messages that announce a skin change to every form.
#pragma once

#include "classlib/classes.h"
#include "classlib/graphics.h"
#include "classlib/inifiles.h"
#include "classlib/streams.h"
#include "classlib/strings.h"
#include "classlib/types.h"
#include "platform/win/types.h"
#include "skin/engine/SPUtils.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

LANTROVE_EXCEPTION(ESkinDataError, Exception);

// What a skin may hold. Every number a skin names (a coordinate, a size, an
// offset, a picture, cursor or element number, an interval) lies within
// -kSkinValueLimit..kSkinValueLimit, so sums and products of two of them
// stay in range; colours are any 32-bit value. A picture is at most
// kSkinPictureSideLimit pixels on a side and kSkinPicturePixelLimit pixels in
// all, the pictures of one skin together at most kSkinPixelBudget. A skin
// beyond these limits is refused when it loads (ESkinDataError), before its
// pictures are decoded.
constexpr int32_t kSkinValueLimit = 16384;
constexpr int32_t kSkinPictureSideLimit = 16384;
constexpr int64_t kSkinPicturePixelLimit = int64_t(16) << 20;
constexpr int64_t kSkinPixelBudget = int64_t(64) << 20;

// ---- Enumerations and messages ----------------------------------------------------------

// TspStretchType comes with the image routines (SPUtils.h).
enum TMorphKind {
    mkDefault,
    mkGradient,
    mkLeftGradient,
    mkRightGradient,
    mkLeftSlide,
    mkRightSlide,
    mkPush
};
class TspEffectBmp;
// A moves toward B by Kf (0..1) with the transition Kind.
void MorphEffectBmp(TspEffectBmp* A, TspEffectBmp* B, TMorphKind Kind, double Kf);
// Bitmap A moves toward B by Kf with the transition Kind; the result is written into A.
void MorphBitmapInto(TBitmap* A, TBitmap* B, TMorphKind Kind, double Kf);

enum TspInActiveEffect { ieBrightness, ieDarkness, ieGrayScale, ieNoise, ieSplitBlur, ieInvert };
enum TFramesPlacement { fpHorizontal, fpVertical };
enum TRegulatorKind { rkRound, rkHorizontal, rkVertical };
enum TGaugeKind { gkHorizontal, gkVertical };
enum TStdCommand {
    cmClose,
    cmMaximize,
    cmMinimize,
    cmSysMenu,
    cmDefault,
    cmRollUp,
    cmMinimizeToTray
};

constexpr UINT WM_SKIN_BEGINCHANGE = 1225;
constexpr UINT WM_SKIN_APPLYCHANGE = 1226;
constexpr UINT WM_SKIN_ENDCHANGE = 1227;
constexpr UINT WM_SKIN_RESSTRCHANGED = 1274;
constexpr UINT WM_SKIN_CHECKPARENTBG = 1284;
constexpr UINT WM_SKIN_FORMSKINNABLECHANGED = 1294;
constexpr UINT WM_SKIN_LAYEREDBORDERSCHANGED = 1427;
// lParam of every skin message.
constexpr LPARAM kSkinMessageLParam = 1000;

// The words of one enumeration in a skin text, in the order of its values;
// Absent is read for a missing key, Unknown for any other word.
struct TspEnumWords {
    const char* const* Words;
    int Count;
    int Absent;
    int Unknown;
};
extern const TspEnumWords spStretchTypeWords, spMorphKindWords, spInActiveEffectWords,
    spFramesPlacementWords, spRegulatorKindWords, spGaugeKindWords, spStdCommandWords;

// Visits the keys of one skin section in their written order; a reader and a
// writer implement it, so each element lists its keys once.
class TspSkinKeys {
public:
    virtual ~TspSkinKeys() = default;
    virtual void Int(const char* Key, int32_t& V, int32_t Absent) = 0;
    virtual void Bool(const char* Key, bool& V) = 0;
    virtual void Rect(const char* Key, TRect& V) = 0;
    virtual void Point(const char* Key, TPoint& V) = 0;
    virtual void Text(const char* Key, std::string& V, const char* Absent) = 0;
    virtual void Styles(const char* Key, TFontStyles& V) = 0;
    virtual void Lines(const char* Key, TStrings* V) = 0;
    // A list of numbered keys ("0", "1", ...) counted by "<Key>count".
    virtual void List(const char* Key, TStrings* V) = 0;
    virtual void Align(const char* Key, TAlignment& V) = 0;
    virtual void Word(const char* Key, int& V, const TspEnumWords& W) = 0;
    // True for the reader: a field list marks with it a step that only a
    // read, or only a write, takes.
    virtual bool Reading() const = 0;

    // A colour: any 32-bit value, where Int is a bounded number.
    void Color(const char* Key, TColor& V, TColor Absent = 0) { AnyInt(Key, V, Absent); }
    template <class E> void Enum(const char* Key, E& V, const TspEnumWords& W) {
        int i = int(V);
        Word(Key, i, W);
        V = E(i);
    }

protected:
    virtual void AnyInt(const char* Key, int32_t& V, int32_t Absent) = 0;
};

// Reads or writes the keys of Section in an ini document.
class TspSkinKeyReader : public TspSkinKeys {
public:
    TspSkinKeyReader(TCustomIniFile* Ini, const std::string& Section) : F(Ini), S(Section) {}
    void Int(const char* Key, int32_t& V, int32_t Absent) override;
    void Bool(const char* Key, bool& V) override;
    void Rect(const char* Key, TRect& V) override;
    void Point(const char* Key, TPoint& V) override;
    void Text(const char* Key, std::string& V, const char* Absent) override;
    void Styles(const char* Key, TFontStyles& V) override;
    void Lines(const char* Key, TStrings* V) override;
    void List(const char* Key, TStrings* V) override;
    void Align(const char* Key, TAlignment& V) override;
    void Word(const char* Key, int& V, const TspEnumWords& W) override;
    bool Reading() const override { return true; }

protected:
    void AnyInt(const char* Key, int32_t& V, int32_t Absent) override;

private:
    // Raises ESkinDataError when a number of Key lies beyond kSkinValueLimit.
    void CheckRange(const char* Key, std::initializer_list<int32_t> Values) const;
    TCustomIniFile* F;
    std::string S;
};

class TspSkinKeyWriter : public TspSkinKeys {
public:
    TspSkinKeyWriter(TCustomIniFile* Ini, const std::string& Section) : F(Ini), S(Section) {}
    void Int(const char* Key, int32_t& V, int32_t Absent) override;
    void Bool(const char* Key, bool& V) override;
    void Rect(const char* Key, TRect& V) override;
    void Point(const char* Key, TPoint& V) override;
    void Text(const char* Key, std::string& V, const char* Absent) override;
    void Styles(const char* Key, TFontStyles& V) override;
    void Lines(const char* Key, TStrings* V) override;
    void List(const char* Key, TStrings* V) override;
    void Align(const char* Key, TAlignment& V) override;
    void Word(const char* Key, int& V, const TspEnumWords& W) override;
    bool Reading() const override { return false; }

protected:
    void AnyInt(const char* Key, int32_t& V, int32_t Absent) override;

private:
    TCustomIniFile* F;
    std::string S;
};

// Reads Section through a field list: List(K) visits its keys.
template <class Fields>
void ReadSkinKeys(TCustomIniFile* Ini, const std::string& Section, Fields&& List) {
    TspSkinKeyReader r(Ini, Section);
    List(r);
}
// Erases Section, then writes it through a field list.
template <class Fields>
void WriteSkinKeys(TCustomIniFile* Ini, const std::string& Section, Fields&& List) {
    Ini->EraseSection(Section);
    TspSkinKeyWriter w(Ini, Section);
    List(w);
}

// ---- Control elements ------------------------------------------------------------------------

class TspDataSkinControl : public TObject {
public:
    explicit TspDataSkinControl(const std::string& AIDName);
    std::string IDName;
    int32_t PictureIndex = -1;
    int32_t MaskPictureIndex = -1;
    TRect SkinRect;
    int32_t CursorIndex = -1;

    virtual void LoadFromFile(TCustomIniFile* IniFile);
    // Erases the section named IDName, then writes every key.
    virtual void SaveToFile(TCustomIniFile* IniFile);
    // The word of the SKINCONTROLS list; empty for the bases without one.
    virtual const char* KindWord() const { return ""; }
    // This element's keys, those of its bases first.
    virtual void Keys(TspSkinKeys& K);
};

class TspDataSkinMainMenuBar : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TRect ItemsRect;
    std::string MenuBarItem, CloseButton, MaxButton, MinButton, SysMenuButton;
    TColor TrackMarkColor = 0, TrackMarkActiveColor = 0;
    bool StretchEffect = false, ItemTransparent = false;
    const char* KindWord() const override { return "mainmenubar"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinTabControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TRect TabRect, ActiveTabRect, FocusTabRect, MouseInTabRect, ClRect, TabsBGRect;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    int32_t TabLeftOffset = 0, TabRightOffset = 0;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, FocusFontColor = 0, MouseInFontColor = 0;
    std::string UpDown;
    int32_t BGPictureIndex = -1;
    bool TabStretchEffect = false, LeftStretch = false, TopStretch = false, RightStretch = false,
         BottomStretch = false, ShowFocus = false;
    int32_t FocusOffsetX = 0, FocusOffsetY = 0;
    bool StretchEffect = false;
    TspStretchType StretchType = spstFull;
    TRect CloseButtonRect, CloseButtonActiveRect, CloseButtonDownRect;
    bool ButtonTransparent = false;
    TColor ButtonTransparentColor = 0xFF00FF;
    const char* KindWord() const override { return "tab"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinGridControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TRect FixedCellRect, SelectCellRect, FocusCellRect;
    int32_t FixedCellLeftOffset = 0, FixedCellRightOffset = 0;
    TRect FixedCellTextRect;
    int32_t CellLeftOffset = 0, CellRightOffset = 0;
    TRect CellTextRect;
    TColor LinesColor = 0, BGColor = 0;
    int32_t BGPictureIndex = -1;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0, SelectFontColor = 0, FocusFontColor = 0;
    std::string FixedFontName = "Arial";
    TFontStyles FixedFontStyle;
    int32_t FixedFontHeight = 14;
    TColor FixedFontColor = 0;
    bool FixedCellStretchEffect = false, CellStretchEffect = false, ShowFocus = false;
    const char* KindWord() const override { return "grid"; }
    void Keys(TspSkinKeys& K) override;
};

// The font and background of the tree view, list view and rich edit elements.
class TspDataSkinFontBGControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0;
    TColor BGColor = 0xFFFFFF;
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinTreeView : public TspDataSkinFontBGControl {
public:
    using TspDataSkinFontBGControl::TspDataSkinFontBGControl;
    const char* KindWord() const override { return "treeview"; }
};

class TspDataSkinListView : public TspDataSkinFontBGControl {
public:
    using TspDataSkinFontBGControl::TspDataSkinFontBGControl;
    const char* KindWord() const override { return "listview"; }
};

class TspDataSkinRichEdit : public TspDataSkinFontBGControl {
public:
    using TspDataSkinFontBGControl::TspDataSkinFontBGControl;
    const char* KindWord() const override { return "richedit"; }
};

class TspDataSkinSlider : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TRect HRulerRect, HThumbRect, VRulerRect, VThumbRect;
    int32_t EdgeSize = 0;
    TColor BGColor = 0, PointsColor = 0;
    const char* KindWord() const override { return "slider"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinBevel : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TColor LightColor = 0, DarkColor = 0;
    const char* KindWord() const override { return "bevel"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinStdLabelControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0;
    TColor ActiveFontColor = 0xFF0000;
    const char* KindWord() const override { return "stdlabel"; }
    void Keys(TspSkinKeys& K) override;
};

// A strip of equal frames side by side or stacked.
class TspDataSkinFrameControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    int32_t FramesCount = 1;
    TFramesPlacement FramesPlacement = fpHorizontal;
    void LoadFromFile(TCustomIniFile* IniFile) override;
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinAnimateControl : public TspDataSkinFrameControl {
public:
    using TspDataSkinFrameControl::TspDataSkinFrameControl;
    const char* KindWord() const override { return "animate"; }
};

class TspDataSkinSwitchControl : public TspDataSkinFrameControl {
public:
    using TspDataSkinFrameControl::TspDataSkinFrameControl;
    const char* KindWord() const override { return "switch"; }
};

class TspDataSkinFrameGauge : public TspDataSkinFrameControl {
public:
    using TspDataSkinFrameControl::TspDataSkinFrameControl;
    const char* KindWord() const override { return "framegauge"; }
};

class TspDataSkinFrameRegulator : public TspDataSkinFrameControl {
public:
    using TspDataSkinFrameControl::TspDataSkinFrameControl;
    TRegulatorKind Kind = rkRound;
    const char* KindWord() const override { return "frameregulator"; }
    void Keys(TspSkinKeys& K) override;
};

// Elements cut into nine parts at four corner points.
class TspDataSkinCustomControl : public TspDataSkinControl {
public:
    using TspDataSkinControl::TspDataSkinControl;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TRect ClRect;
    bool StretchEffect = false, LeftStretch = false, TopStretch = false, RightStretch = false,
         BottomStretch = false;
    TspStretchType StretchType = spstFull;
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinButtonControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0, ActiveFontColor = 0, DownFontColor = 0, DisabledFontColor = 0;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    TRect ActiveSkinRect, DownSkinRect, DisabledSkinRect, FocusedSkinRect, AnimateSkinRect;
    int32_t FrameCount = 0, AnimateInterval = 0;
    bool ShowFocus = false;
    TRect MenuMarkerFlatRect, MenuMarkerRect, MenuMarkerActiveRect, MenuMarkerDownRect;
    TColor MenuMarkerTransparentColor = 0;
    int32_t GlowLayerPictureIndex = -1, GlowLayerMaskPictureIndex = -1;
    int32_t GlowLayerOffsetLeft = 0, GlowLayerOffsetRight = 0, GlowLayerOffsetTop = 0,
            GlowLayerOffsetBottom = 0, GlowLayerShowOffsetX = 0, GlowLayerShowOffsetY = 0;
    int32_t GlowLayerAlphaBlendValue = 255;
    const char* KindWord() const override { return "button"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinMenuButtonControl : public TspDataSkinButtonControl {
public:
    using TspDataSkinButtonControl::TspDataSkinButtonControl;
    TRect TrackButtonRect;
    const char* KindWord() const override { return "menubutton"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinCheckRadioControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0, ActiveFontColor = 0, UnEnabledFontColor = 0;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    TRect ActiveSkinRect, CheckImageArea, TextArea, CheckImageRect, UnCheckImageRect,
        ActiveCheckImageRect, ActiveUnCheckImageRect, UnEnabledCheckImageRect,
        UnEnabledUnCheckImageRect, GrayedCheckImageRect, ActiveGrayedCheckImageRect;
    TColor FrameFontColor = 0;
    const char* KindWord() const override { return "checkradio"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinPanelControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect CaptionRect;
    TAlignment Alignment = taCenter;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0;
    int32_t BGPictureIndex = -1;
    TRect CheckImageRect, UnCheckImageRect, MarkFrameRect, FrameRect;
    int32_t FrameLeftOffset = 0, FrameRightOffset = 0;
    TRect FrameTextRect, GripperRect;
    bool GripperTransparent = false;
    TColor GripperTransparentColor = 0xFF00FF;
    const char* KindWord() const override { return "panel"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinExPanelControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect RollHSkinRect, RollVSkinRect;
    int32_t RollLeftOffset = 0, RollRightOffset = 0, RollTopOffset = 0, RollBottomOffset = 0;
    TRect RollVCaptionRect, RollHCaptionRect, CloseButtonRect, CloseButtonActiveRect,
        CloseButtonDownRect, HRollButtonRect, HRollButtonActiveRect, HRollButtonDownRect,
        HRestoreButtonRect, HRestoreButtonActiveRect, HRestoreButtonDownRect, VRollButtonRect,
        VRollButtonActiveRect, VRollButtonDownRect, VRestoreButtonRect, VRestoreButtonActiveRect,
        VRestoreButtonDownRect, CaptionRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0;
    bool ButtonsTransparent = false;
    TColor ButtonsTransparentColor = 0xFF00FF;
    const char* KindWord() const override { return "expanel"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinLabelControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0;
    const char* KindWord() const override { return "label"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinBitLabelControl : public TspDataSkinCustomControl {
public:
    explicit TspDataSkinBitLabelControl(const std::string& AIDName);
    TRect SkinTextRect;
    int32_t SymbolWidth = 0, SymbolHeight = 0;
    std::unique_ptr<TStringList> Symbols;
    const char* KindWord() const override { return "bitlabel"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinEditControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect ActiveSkinRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0, DisabledFontColor = 0, ActiveFontColor = 0;
    TRect ButtonRect, ActiveButtonRect, DownButtonRect, UnEnabledButtonRect;
    const char* KindWord() const override { return "edit"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinMemoControl : public TspDataSkinEditControl {
public:
    using TspDataSkinEditControl::TspDataSkinEditControl;
    TColor BGColor = 0, ActiveBGColor = 0;
    const char* KindWord() const override { return "memo"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinSpinEditControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect ActiveSkinRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0, ActiveFontColor = 0, DisabledFontColor = 0;
    TRect UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect, ActiveDownButtonRect,
        DownDownButtonRect;
    const char* KindWord() const override { return "spinedit"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinUpDownControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect, ActiveDownButtonRect,
        DownDownButtonRect;
    // Up-down elements have a fixed size: their corner points and client
    // rectangle are zero after reading and before writing.
    void LoadFromFile(TCustomIniFile* IniFile) override;
    void SaveToFile(TCustomIniFile* IniFile) override;
    const char* KindWord() const override { return "updown"; }
    void Keys(TspSkinKeys& K) override;

private:
    void ZeroCorners();
};

class TspDataSkinListBox : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect SItemRect, ActiveItemRect, FocusItemRect;
    int32_t ItemLeftOffset = 0, ItemRightOffset = 0;
    TRect ItemTextRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0, ActiveFontColor = 0, FocusFontColor = 0;
    TRect CaptionRect;
    std::string CaptionFontName = "Arial";
    TFontStyles CaptionFontStyle;
    int32_t CaptionFontHeight = 14;
    TColor CaptionFontColor = 0;
    TRect UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect, ActiveDownButtonRect,
        DownDownButtonRect, CheckButtonRect, ActiveCheckButtonRect, DownCheckButtonRect;
    std::string HScrollBarName = "hscrollbar", VScrollBarName = "vscrollbar",
                BothScrollBarName = "bothhscrollbar";
    bool ShowFocus = false;
    TRect DisabledButtonsRect, ButtonsArea;
    const char* KindWord() const override { return "listbox"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinCheckListBox : public TspDataSkinListBox {
public:
    using TspDataSkinListBox::TspDataSkinListBox;
    TRect UnCheckImageRect, CheckImageRect, ItemCheckRect;
    const char* KindWord() const override { return "checklistbox"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinComboBox : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect SItemRect, ActiveItemRect, FocusItemRect;
    int32_t ItemLeftOffset = 0, ItemRightOffset = 0;
    TRect ItemTextRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0, FocusFontColor = 0, ActiveFontColor = 0;
    TRect ButtonRect, ActiveButtonRect, DownButtonRect, UnEnabledButtonRect;
    bool ItemStretchEffect = false, FocusItemStretchEffect = false;
    TRect ActiveSkinRect;
    bool ShowFocus = false;
    std::string ListBoxName;
    const char* KindWord() const override { return "combobox"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinScrollBarControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect TrackArea, UpButtonRect, ActiveUpButtonRect, DownUpButtonRect, DownButtonRect,
        ActiveDownButtonRect, DownDownButtonRect, ThumbRect, ActiveThumbRect, DownThumbRect;
    int32_t ThumbOffset1 = 0, ThumbOffset2 = 0;
    TRect GlyphRect, ActiveGlyphRect, DownGlyphRect;
    bool GlyphTransparent = false;
    TColor GlyphTransparentColor = 0xFF00FF;
    bool ThumbTransparent = false;
    TColor ThumbTransparentColor = 0xFF00FF;
    bool ThumbStretchEffect = false;
    int32_t ThumbMinSize = 0, ThumbMinPageSize = 0;
    const char* KindWord() const override { return "scrollbar"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinScrollBoxControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    int32_t BGPictureIndex = -1;
    const char* KindWord() const override { return "scrollbox"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinTrackBarControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect ActiveSkinRect, TrackArea, ButtonRect, ActiveButtonRect;
    bool Vertical = false, ButtonTransparent = false;
    TColor ButtonTransparentColor = 0xFF00FF;
    const char* KindWord() const override { return "trackbar"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinSplitterControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect GripperRect;
    bool GripperTransparent = false;
    TColor GripperTransparentColor = 0xFF00FF;
    const char* KindWord() const override { return "splitter"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinGaugeControl : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect ProgressArea, ProgressRect;
    bool ProgressTransparent = false;
    TColor ProgressTransparentColor = 0xFF00FF;
    bool ProgressStretch = false, Vertical = false;
    int32_t BeginOffset = 0, EndOffset = 0;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 14;
    TColor FontColor = 0;
    TRect AnimationSkinRect;
    int32_t AnimationCountFrames = 0, AnimationTimerInterval = 0;
    TRect ProgressAnimationSkinRect;
    int32_t ProgressAnimationCountFrames = 0, ProgressAnimationTimerInterval = 0;
    int32_t AnimationBeginOffset = 0, AnimationEndOffset = 0;
    const char* KindWord() const override { return "gauge"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinControlBar : public TspDataSkinCustomControl {
public:
    using TspDataSkinCustomControl::TspDataSkinCustomControl;
    TRect ItemRect;
    int32_t BGPictureIndex = -1;
    TRect HGripRect, VGripRect;
    int32_t GripOffset1 = 0, GripOffset2 = 0;
    bool ItemStretchEffect = false;
    int32_t ItemOffset1 = 0, ItemOffset2 = 0;
    bool ItemTransparent = false;
    TColor ItemTransparentColor = 0;
    bool GripTransparent = false;
    TColor GripTransparentColor = 0;
    const char* KindWord() const override { return "controlbar"; }
    void Keys(TspSkinKeys& K) override;
};

// The element of a SKINCONTROLS kind word; nil for a word not in the table.
std::unique_ptr<TspDataSkinControl> CreateSkinControl(const std::string& Word,
                                                      const std::string& AIDName);

// ---- Form-frame objects -------------------------------------------------------------------

class TspDataSkinObject : public TObject {
public:
    explicit TspDataSkinObject(const std::string& AIDName);
    std::string IDName;
    std::string Hint;
    bool SkinRectInAPicture = false;
    TRect SkinRect, ActiveSkinRect, InActiveSkinRect;
    bool Morphing = false;
    TMorphKind MorphKind = mkDefault;
    int32_t ActivePictureIndex = -1, ActiveMaskPictureIndex = -1, CursorIndex = -1;
    bool RollUp = false;
    int32_t GlowLayerPictureIndex = -1, GlowLayerMaskPictureIndex = -1;
    int32_t GlowLayerOffsetX = 0, GlowLayerOffsetY = 0;
    int32_t GlowLayerAlphaBlendValue = 255;

    virtual void LoadFromFile(TCustomIniFile* IniFile);
    virtual void SaveToFile(TCustomIniFile* IniFile);
    virtual const char* KindWord() const { return ""; }
    virtual void Keys(TspSkinKeys& K);
};

class TspDataSkinMenuItem : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    TRect DividerRect;
    int32_t DividerLO = 0, DividerRO = 0, ItemLO = 0, ItemRO = 0;
    std::string FontName = "Arial";
    int32_t FontHeight = 14;
    TFontStyles FontStyle;
    TColor UnEnabledFontColor = 0, FontColor = 0, ActiveFontColor = 0;
    TRect TextRct;
    bool StretchEffect = false, DividerStretchEffect = false, InActiveStretchEffect = false;
    TRect AnimateSkinRect;
    int32_t FrameCount = 0, AnimateInterval = 0;
    bool InActiveAnimation = false;
    TRect ImageRct;
    bool UseImageColor = false;
    TColor ImageColor = 0, ActiveImageColor = 0;
    bool InActiveTransparent = false;
    TRect CheckImageRect, ActiveCheckImageRect, RadioImageRect, ActiveRadioImageRect,
        ArrowImageRect, ActiveArrowImageRect;
    void LoadFromFile(TCustomIniFile* IniFile) override;
    const char* KindWord() const override { return "menuitem"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinMainMenuItem : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    TRect DownRect;
    std::string FontName = "Arial";
    int32_t FontHeight = 14;
    TFontStyles FontStyle;
    TColor FontColor = 0, ActiveFontColor = 0, DownFontColor = 0, UnEnabledFontColor = 0;
    TRect TextRct;
    int32_t ItemLO = 0, ItemRO = 0;
    bool StretchEffect = false;
    TRect AnimateSkinRect;
    int32_t FrameCount = 0, AnimateInterval = 0;
    bool InActiveAnimation = false;
    const char* KindWord() const override { return "mainmenuitem"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinMainMenuBarItem : public TspDataSkinMainMenuItem {
public:
    using TspDataSkinMainMenuItem::TspDataSkinMainMenuItem;
    const char* KindWord() const override { return "mainmenubaritem"; }
};

class TspDataSkinButton : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    int32_t GroupIndex = -1;
    TRect DownRect, DisableSkinRect;
    const char* KindWord() const override { return "button"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinStdButton : public TspDataSkinButton {
public:
    using TspDataSkinButton::TspDataSkinButton;
    TStdCommand Command = cmDefault;
    TRect RestoreRect, RestoreActiveRect, RestoreDownRect, RestoreInActiveRect;
    std::string RestoreHint;
    void LoadFromFile(TCustomIniFile* IniFile) override;
    const char* KindWord() const override { return "stdbutton"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinMainMenuBarButton : public TspDataSkinStdButton {
public:
    using TspDataSkinStdButton::TspDataSkinStdButton;
    const char* KindWord() const override { return "mainmenubarbutton"; }
};

class TspDataSkinCaption : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    std::string FontName = "Arial";
    int32_t FontHeight = 14;
    TFontStyles FontStyle;
    TColor FontColor = 0, ActiveFontColor = 0, ShadowColor = 0, ActiveShadowColor = 0;
    bool Shadow = false;
    TAlignment Alignment = taCenter;
    TRect TextRct;
    bool DefaultCaption = false;
    TRect FrameRect, ActiveFrameRect;
    int32_t FrameLeftOffset = 0, FrameRightOffset = 0;
    TRect FrameTextRect;
    bool Light = false;
    TColor LightColor = 0, ActiveLightColor = 0;
    bool StretchEffect = false;
    TRect AnimateSkinRect;
    int32_t FrameCount = 0, AnimateInterval = 0;
    bool InActiveAnimation = false, FullFrame = false, VistaGlowEffect = false,
         VistaGlowInActiveEffect = false, GlowEffect = false, GlowInActiveEffect = false;
    int32_t GlowSize = 0;
    TColor GlowColor = 0, GlowActiveColor = 0;
    int32_t GlowOffset = 0;
    bool ReflectionEffect = false;
    TColor ReflectionColor = 0, ReflectionActiveColor = 0;
    int32_t ReflectionOffset = 0;
    const char* KindWord() const override { return "caption"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinTrackBar : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    TRect ButtonRect, ActiveButtonRect;
    TPoint BeginPoint, EndPoint;
    int32_t MinValue = 0, MaxValue = 0;
    bool MouseDownChangeValue = false, ButtonTransparent = false;
    TColor ButtonTransparentColor = 0;
    const char* KindWord() const override { return "trackbar"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinGauge : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    int32_t MinValue = 0, MaxValue = 0;
    TGaugeKind Kind = gkHorizontal;
    const char* KindWord() const override { return "gauge"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinFrameGaugeObject : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    int32_t MinValue = 0, MaxValue = 0, CountFrames = 0;
    TFramesPlacement FramesPlacement = fpHorizontal;
    const char* KindWord() const override { return "framegauge"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinFrameRegulatorObject : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    int32_t MinValue = 0, MaxValue = 0, CountFrames = 0;
    TFramesPlacement FramesPlacement = fpHorizontal;
    TRegulatorKind Kind = rkRound;
    const char* KindWord() const override { return "frameregulator"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinLabel : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    std::string FontName = "Arial";
    int32_t FontHeight = 14;
    TFontStyles FontStyle;
    TColor FontColor = 0, ActiveFontColor = 0;
    TAlignment Alignment = taCenter;
    std::string TextValue;
    const char* KindWord() const override { return "label"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinBitLabel : public TspDataSkinObject {
public:
    explicit TspDataSkinBitLabel(const std::string& AIDName);
    std::unique_ptr<TStringList> Symbols;
    std::string TextValue;
    int32_t SymbolWidth = 0, SymbolHeight = 0;
    bool Transparent = false;
    TColor TransparentColor = 0xFF00FF;
    void LoadFromFile(TCustomIniFile* IniFile) override;
    const char* KindWord() const override { return "bitlabel"; }
    void Keys(TspSkinKeys& K) override;
};

class TspDataSkinSwitch : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    const char* KindWord() const override { return "switch"; }
};

class TspDataSkinAnimate : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    int32_t CountFrames = 0;
    bool Cycle = false, ButtonStyle = false;
    int32_t TimerInterval = 0;
    TStdCommand Command = cmDefault;
    TRect DownSkinRect, RestoreRect, RestoreActiveRect, RestoreDownRect, RestoreInActiveRect;
    std::string RestoreHint;
    void LoadFromFile(TCustomIniFile* IniFile) override;
    const char* KindWord() const override { return "animate"; }
    void Keys(TspSkinKeys& K) override;
};

// An object drawn by the application: only "rollup", "skinrect" and
// "cursorindex" are kept in its section.
class TspDataUserObject : public TspDataSkinObject {
public:
    using TspDataSkinObject::TspDataSkinObject;
    const char* KindWord() const override { return "userobject"; }
    void Keys(TspSkinKeys& K) override;
};

std::unique_ptr<TspDataSkinObject> CreateSkinObject(const std::string& Word,
                                                    const std::string& AIDName);

class TspDataSkinArea : public TObject {
public:
    TspDataSkinArea(const std::string& AIDName, const TRect& ARect)
        : IDName(AIDName), AreaRect(ARect) {}
    std::string IDName;
    TRect AreaRect;
};

// ---- Window sections ------------------------------------------------------------------------

class TspDataSkinPopupWindow : public TObject {
public:
    int32_t WindowPictureIndex = -1, MaskPictureIndex = -1;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TRect ItemsRect;
    TColor ScrollMarkerColor = 0, ScrollMarkerActiveColor = 0;
    int32_t CursorIndex = -1;
    bool TopStretch = false, LeftStretch = false, RightStretch = false, BottomStretch = false,
         StretchEffect = false;
    TspStretchType StretchType = spstFull;
    void LoadFromFile(TCustomIniFile* IniFile);
    void SaveToFile(TCustomIniFile* IniFile);
    void Keys(TspSkinKeys& K);
};

class TspDataSkinLayerFrame : public TObject {
public:
    int32_t PictureIndex = -1, MaskPictureIndex = -1, InActivePictureIndex = -1,
            InActiveMaskPictureIndex = -1;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TRect ClRect;
    int32_t AlphaBlendValue = 255, InActiveAlphaBlendValue = 255;
    TRect BorderRect;
    bool HitTestEnable = false;
    void LoadFromFile(TCustomIniFile* IniFile);
    void SaveToFile(TCustomIniFile* IniFile);
    void Keys(TspSkinKeys& K);
};

class TspDataSkinHintWindow : public TObject {
public:
    int32_t WindowPictureIndex = -1, MaskPictureIndex = -1;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TRect ClRect;
    std::string FontName = "Arial";
    TFontStyles FontStyle;
    int32_t FontHeight = 12;
    TColor FontColor = 0;
    bool TopStretch = false, LeftStretch = false, RightStretch = false, BottomStretch = false,
         StretchEffect = false;
    TspStretchType StretchType = spstFull;
    void LoadFromFile(TCustomIniFile* IniFile);
    void SaveToFile(TCustomIniFile* IniFile);
    void Keys(TspSkinKeys& K);
};

// ---- Colours ------------------------------------------------------------------------------------

// Values with 0xFF in the top byte name a system colour by their low byte.
constexpr TColor spSystemColor(int Index) {
    return TColor(0xFF000000u | uint32_t(Index));
}

class TspSkinColors : public TObject {
public:
    TColor FcBtnFace = 0, FcBtnText = 0, FcWindow = 0, FcWindowText = 0, FcHighLight = 0,
           FcHighLightText = 0, FcBtnHighLight = 0, FcBtnShadow = 0, Fc3DLight = 0,
           Fc3DDkShadow = 0;
    TColor cBtnFace() const { return FcBtnFace; }
    void SetcBtnFace(TColor v) { FcBtnFace = v; }
    TColor cBtnText() const { return FcBtnText; }
    void SetcBtnText(TColor v) { FcBtnText = v; }
    TColor cWindow() const { return FcWindow; }
    void SetcWindow(TColor v) { FcWindow = v; }
    TColor cWindowText() const { return FcWindowText; }
    void SetcWindowText(TColor v) { FcWindowText = v; }
    TColor cHighLight() const { return FcHighLight; }
    void SetcHighLight(TColor v) { FcHighLight = v; }
    TColor cHighLightText() const { return FcHighLightText; }
    void SetcHighLightText(TColor v) { FcHighLightText = v; }
    TColor cBtnHighLight() const { return FcBtnHighLight; }
    void SetcBtnHighLight(TColor v) { FcBtnHighLight = v; }
    TColor cBtnShadow() const { return FcBtnShadow; }
    void SetcBtnShadow(TColor v) { FcBtnShadow = v; }
    TColor c3DLight() const { return Fc3DLight; }
    void Setc3DLight(TColor v) { Fc3DLight = v; }
    TColor c3DDkShadow() const { return Fc3DDkShadow; }
    void Setc3DDkShadow(TColor v) { Fc3DDkShadow = v; }

    void SetColorsToDefault();
    void LoadFromFile(TCustomIniFile* IniFile);
    void SaveToFile(TCustomIniFile* IniFile);
    void Keys(TspSkinKeys& K);
};

// A skin colour as the drawing layer takes it: system colours resolved.
TColor SkinColorToColor(TColor C);

// ---- Interface texts ------------------------------------------------------------------------

class TspResourceStrData : public TComponent {
public:
    explicit TspResourceStrData(TComponent* AOwner);
    ~TspResourceStrData() override;
    TStrings* ResStrings() const { return FResStrs.get(); }
    void SetResStrings(const TStrings* Value);
    TFontCharset CharSet() const { return FCharSet; }
    void SetCharSet(TFontCharset Value) { FCharSet = Value; }
    // The text after the first "=" of the first line named ResName (names
    // compare without regard to case); empty when no line has the name.
    std::string GetResStr(const std::string& ResName) const;

private:
    std::unique_ptr<TStringList> FResStrs;
    TFontCharset FCharSet = 1;
};

// ---- Compressed skins -------------------------------------------------------------------------

class TspSkinData;

class TspCompressedStoredSkin : public TComponent {
public:
    explicit TspCompressedStoredSkin(TComponent* AOwner);
    ~TspCompressedStoredSkin() override;

    // Builds the payload from a folder skin's ini file; a text that is not a
    // skin leaves the stored skin as it was.
    void LoadFromIniFile(const std::string& AFileName);
    void LoadFromSkinData(TspSkinData* ASkinData);
    // A header version above 3, or a negative length, leaves the stored skin
    // empty; data shorter than the header says raises EReadError.
    void LoadFromCompressFile(const std::string& AFileName);
    // Nothing (no file) when empty.
    void SaveToCompressFile(const std::string& AFileName);
    void LoadFromCompressStream(TStream* Stream);
    void SaveToCompressStream(TStream* Stream);
    // Appends the inflated payload to S.
    void DeCompressToStream(TMemoryStream* S);
    bool Empty() const;

    // The compressed payload without header (the "CompressedData" property).
    TMemoryStream* CompressedStream() { return FCompressedStream.get(); }

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    const std::string& CompressedFileName() const { return FCompressedFileName; }
    void SetCompressedFileName(const std::string& Value);
    std::string Description;

private:
    void ReadCompressed(TStream* S);
    std::string FFileName;
    std::string FCompressedFileName;
    std::unique_ptr<TMemoryStream> FCompressedStream;
};

// ---- Skin lists -------------------------------------------------------------------------------

class TspCompressedSkinList;
class TspSkinListItems;

class TspSkinListItem : public TPersistent {
public:
    explicit TspSkinListItem(TspSkinListItems* Collection);
    ~TspSkinListItem() override;
    TspCompressedStoredSkin* Skin() const { return FSkin.get(); }
    std::string Description;
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    const std::string& CompressedFileName() const { return FCompressedFileName; }
    void SetCompressedFileName(const std::string& Value);
    std::string Name;
    std::string GetDisplayName() const { return Name; }
    int Index() const;
    // The "Skin" property: header version 2, length and compressed data.
    void WriteSkinProperty(TStream* S) { FSkin->SaveToCompressStream(S); }
    void ReadSkinProperty(TStream* S) { FSkin->LoadFromCompressStream(S); }

private:
    TspSkinListItems* FCollection;
    std::unique_ptr<TspCompressedStoredSkin> FSkin;
    std::string FFileName;
    std::string FCompressedFileName;
};

class TspSkinListItems : public TPersistent {
public:
    explicit TspSkinListItems(TspCompressedSkinList* AOwner) : FSkinList(AOwner) {}
    ~TspSkinListItems() override;
    TspSkinListItem* Add();
    int Count() const { return int(FItems.size()); }
    TspSkinListItem* Items(int Index) const; // EListError out of range
    void Delete(int Index);
    void Clear();
    TspCompressedSkinList* Owner() const { return FSkinList; }

private:
    friend class TspSkinListItem;
    TspCompressedSkinList* FSkinList;
    std::vector<std::unique_ptr<TspSkinListItem>> FItems;
};

class TspCompressedSkinList : public TComponent {
public:
    explicit TspCompressedSkinList(TComponent* AOwner);
    ~TspCompressedSkinList() override;
    TspSkinListItems* Skins() const { return FSkins.get(); }

private:
    std::unique_ptr<TspSkinListItems> FSkins;
};

// ---- Skin data
// ------------------------------------------------------------------------------------

// What a skin load fills in; kept apart from the component's own settings
// so a load can be built aside and put in place whole.
struct TspSkinContent {
    TspSkinContent();
    ~TspSkinContent();
    TspSkinContent(TspSkinContent&&) noexcept;
    TspSkinContent& operator=(TspSkinContent&&) noexcept;

    std::unique_ptr<TspSkinColors> FSkinColors;
    TRect SizeGripArea;
    std::string StatusBarName;
    TRect ButtonsRect, CaptionRect;
    int32_t ButtonsOffset = 0;
    bool CapButtonsInLeft = false;
    bool AutoRenderingInActiveImage = false;
    TspInActiveEffect InActiveEffect = ieBrightness;
    int32_t StartCursorIndex = 1;
    int32_t CursorIndex = -1;
    std::unique_ptr<TspDataSkinPopupWindow> PopupWindow;
    std::unique_ptr<TspDataSkinLayerFrame> LayerFrame;
    std::unique_ptr<TspDataSkinHintWindow> HintWindow;
    std::unique_ptr<TBitmap> FPicture, FInActivePicture, FMask, FRollUpPicture, FRollUpMask;
    std::vector<std::unique_ptr<TBitmap>> FActivePictures;
    std::string FPictureName, FInActivePictureName, FMaskName, FRollUpPictureName, FRollUpMaskName;
    std::unique_ptr<TStringList> FActivePicturesNames;
    std::unique_ptr<TStringList> FCursorsNames;
    std::vector<std::unique_ptr<TspDataSkinObject>> ObjectList;
    std::vector<std::unique_ptr<TspDataSkinArea>> AreaList;
    std::vector<std::unique_ptr<TspDataSkinControl>> CtrlList;
    TPoint LTPoint, RTPoint, LBPoint, RBPoint;
    int32_t BGPictureIndex = -1, MDIBGPictureIndex = -1;
    TRect MainMenuRect, IconRect;
    bool MainMenuPopupUp = false;
    TRect MaskRectArea;
    TPoint HitTestLTPoint, HitTestRTPoint, HitTestLBPoint, HitTestRBPoint;
    TRect ClRect;
    int32_t BorderW = 0;
    int32_t FormMinWidth = 0;
    bool MDITabsTransparent = false, MainMenuBarTransparent = false;
    bool TopStretch = false, LeftStretch = false, RightStretch = false, BottomStretch = false,
         StretchEffect = false;
    TspStretchType StretchType = spstFull;
    bool MDIBGStretchEffect = false;
    TspStretchType MDIBGStretchType = spstFull;
    TPoint RollUpLeftPoint, RollUpRightPoint;
    std::string SkinName, SkinAuthor, AuthorURL, AuthorEmail, SkinComments;

    // The keys of the skin's own sections: VERSION, PICTURES, CURSORS and
    // FORMINFO.
    void VersionKeys(TspSkinKeys& K);
    void PictureKeys(TspSkinKeys& K);
    void CursorKeys(TspSkinKeys& K);
    void FormInfoKeys(TspSkinKeys& K);
};

class TspSkinData : public TComponent, public TspSkinContent {
public:
    explicit TspSkinData(TComponent* AOwner);
    ~TspSkinData() override;

    bool AnimationForAllWindows() const { return FAnimationForAllWindows; }
    void SetAnimationForAllWindows(bool v) { FAnimationForAllWindows = v; }
    bool ShowLayeredBorders() const { return FShowLayeredBorders; }
    void SetShowLayeredBorders(bool Value);
    bool SkinnableForm() const { return FSkinnableForm; }
    void SetSkinnableForm(bool Value);
    bool EnableSkinEffects() const { return FEnableSkinEffects; }
    void SetEnableSkinEffects(bool v) { FEnableSkinEffects = v; }
    bool ShowButtonGlowFrames() const { return FShowButtonGlowFrames; }
    void SetShowButtonGlowFrames(bool v) { FShowButtonGlowFrames = v; }
    bool ShowCaptionButtonGlowFrames() const { return FShowCaptionButtonGlowFrames; }
    void SetShowCaptionButtonGlowFrames(bool v) { FShowCaptionButtonGlowFrames = v; }
    TspCompressedStoredSkin* CompressedStoredSkin() const { return FCompressedStoredSkin; }
    void SetCompressedStoredSkin(TspCompressedStoredSkin* Value);
    TspResourceStrData* ResourceStrData() const { return FResourceStrData; }
    void SetResourceStrData(TspResourceStrData* Value);
    TspCompressedSkinList* SkinList() const { return FCompressedSkinList; }
    void SetSkinList(TspCompressedSkinList* Value);
    int32_t SkinIndex() const { return FCompressedSkinIndex; }
    void SetSkinIndex(int32_t Value);
    TspSkinColors* SkinColors() const { return FSkinColors.get(); }

    // A folder skin from its ini file. A text that is not a skin changes
    // nothing. A damaged skin (a bad picture name or picture, a bad value)
    // raises ESkinDataError or the reader's error before any message is sent,
    // and the skin in use stays.
    void LoadFromFile(const std::string& FileName);
    // The payload of a stored compressed skin; nothing when it is empty.
    // Damaged data raises before any message is sent; the skin in use stays.
    void LoadCompressedStoredSkin(TspCompressedStoredSkin* AStoredSkin);
    void LoadFromCompressedFile(const std::string& FileName);
    void SaveToCustomIniFile(TCustomIniFile* F);
    void SaveToFile(const std::string& FileName);
    // Writes a folder skin into APath, which ends with a path separator.
    void StoreToDisk(const std::string& APath);
    void SaveToCompressedFile(const std::string& FileName);

    void ClearObjects();
    void ClearAll();
    void ClearSkin();
    void AddBitMap(const std::string& FileName);
    void DeleteBitMap(int Index);
    void AddSkinArea(const std::string& AName, const TRect& ARect);

    int GetIndex(const std::string& AIDName) const;
    int GetControlIndex(const std::string& AIDName) const;
    int GetAreaIndex(const std::string& AIDName) const;

    // Sends M to the application's forms (wParam this, lParam 1000).
    void SendSkinDataMessage(UINT M);

    void Notification(TComponent* AComponent, TOperation Operation) override;

    bool BuildMode = false;
    bool Empty = true;
    bool ChangeSkinDataProcess = false;

private:
    // Reads the whole skin text (everything after the pictures) into
    // Content; Folder is set for folder skins, whose pictures it loads.
    static void ReadSkinText(TspSkinContent& Content, TCustomIniFile* F, const std::string* Folder);
    static void DecodePayload(TspSkinContent& Content, TMemoryStream* Payload, int32_t Version);
    // Puts the content built aside in place and announces the change; when
    // a receiver of the messages raises, the change is still closed.
    void ApplyContent(TspSkinContent&& Content);
    void ResetContent();

    TspCompressedSkinList* FCompressedSkinList = nullptr;
    int32_t FCompressedSkinIndex = 0;
    bool FSkinnableForm = true;
    bool FEnableSkinEffects = true;
    TspCompressedStoredSkin* FCompressedStoredSkin = nullptr;
    TspResourceStrData* FResourceStrData = nullptr;
    bool FShowButtonGlowFrames = true;
    bool FShowCaptionButtonGlowFrames = true;
    bool FShowLayeredBorders = true;
    bool FAnimationForAllWindows = false;
};

// True for a picture name that stays inside the skin's folder: no path
// separator, no drive, no "..".
bool IsSafeSkinFileName(const std::string& Name);
