#include "skin/engine/SkinData.h"
#include "skin/engine/speffbmp.h"

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "platform/os/codepage.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/engine/spzlibcompress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

// ---- Enumeration words
// ----------------------------------------------------------------------------

namespace {

const char* const kStretchWords[] = {"stfull", "sthorz", "stvert"};
const char* const kMorphWords[] = {"mkdefault",       "mkgradient",  "mkleftgradient",
                                   "mkrightgradient", "mkleftslide", "mkrightslide",
                                   "mkpush"};
const char* const kInActiveWords[] = {"iebrightness", "iedarkness",  "iegrayscale",
                                      "ienoise",      "iesplitblur", "ieinvert"};
const char* const kPlacementWords[] = {"fphorizontal", "fpvertical"};
const char* const kRegulatorWords[] = {"rkround", "rkhorizontal", "rkvertical"};
const char* const kGaugeWords[] = {"gkhorizontal", "gkvertical"};
const char* const kCommandWords[] = {"cmclose",   "cmmaximize", "cmminimize",      "cmsysmenu",
                                     "cmdefault", "cmrollup",   "cmminimizetotray"};

} // namespace

const TspEnumWords spStretchTypeWords{kStretchWords, 3, spstFull, spstHorz};
const TspEnumWords spMorphKindWords{kMorphWords, 7, mkDefault, mkDefault};
const TspEnumWords spInActiveEffectWords{kInActiveWords, 6, ieBrightness, ieGrayScale};
const TspEnumWords spFramesPlacementWords{kPlacementWords, 2, fpHorizontal, fpVertical};
const TspEnumWords spRegulatorKindWords{kRegulatorWords, 3, rkRound, rkVertical};
const TspEnumWords spGaugeKindWords{kGaugeWords, 2, gkHorizontal, gkVertical};
const TspEnumWords spStdCommandWords{kCommandWords, 7, cmDefault, cmMinimizeToTray};

// ---- Key readers and writers --------------------------------------------------------------------

void TspSkinKeyReader::CheckRange(const char* Key, std::initializer_list<int32_t> Values) const {
    for (int32_t v : Values)
        if (v < -kSkinValueLimit || v > kSkinValueLimit)
            throw ESkinDataError("Skin value [" + S + "] " + Key + "=" + F->ReadString(S, Key, "") +
                                 " is out of range");
}
void TspSkinKeyReader::Int(const char* Key, int32_t& V, int32_t Absent) {
    V = F->ReadInteger(S, Key, Absent);
    CheckRange(Key, {V});
}
void TspSkinKeyReader::AnyInt(const char* Key, int32_t& V, int32_t Absent) {
    V = F->ReadInteger(S, Key, Absent);
}
void TspSkinKeyReader::Bool(const char* Key, bool& V) {
    V = ReadBoolean(F, S, Key);
}
void TspSkinKeyReader::Rect(const char* Key, TRect& V) {
    ReadRect(F, S, Key, V);
    CheckRange(Key, {V.Left, V.Top, V.Right, V.Bottom});
}
void TspSkinKeyReader::Point(const char* Key, TPoint& V) {
    ReadPoint(F, S, Key, V);
    CheckRange(Key, {V.X, V.Y});
}
void TspSkinKeyReader::Text(const char* Key, std::string& V, const char* Absent) {
    V = F->ReadString(S, Key, Absent);
}
void TspSkinKeyReader::Styles(const char* Key, TFontStyles& V) {
    V = ReadFontStyles(F, S, Key);
}
void TspSkinKeyReader::Lines(const char* Key, TStrings* V) {
    ReadStrings(F, S, Key, V);
}
void TspSkinKeyReader::List(const char* Key, TStrings* V) {
    ReadStringList(F, S, Key, V);
}
void TspSkinKeyReader::Align(const char* Key, TAlignment& V) {
    V = ReadAlignment(F, S, Key);
}
void TspSkinKeyReader::Word(const char* Key, int& V, const TspEnumWords& W) {
    std::string w = F->ReadString(S, Key, W.Words[W.Absent]);
    V = W.Unknown;
    for (int i = 0; i < W.Count; ++i)
        if (w == W.Words[i]) V = i;
}

void TspSkinKeyWriter::Int(const char* Key, int32_t& V, int32_t) {
    F->WriteInteger(S, Key, V);
}
void TspSkinKeyWriter::AnyInt(const char* Key, int32_t& V, int32_t) {
    F->WriteInteger(S, Key, V);
}
void TspSkinKeyWriter::Bool(const char* Key, bool& V) {
    WriteBoolean(F, S, Key, V);
}
void TspSkinKeyWriter::Rect(const char* Key, TRect& V) {
    WriteRect(F, S, Key, V);
}
void TspSkinKeyWriter::Point(const char* Key, TPoint& V) {
    WritePoint(F, S, Key, V);
}
void TspSkinKeyWriter::Text(const char* Key, std::string& V, const char*) {
    F->WriteString(S, Key, V);
}
void TspSkinKeyWriter::Styles(const char* Key, TFontStyles& V) {
    WriteFontStyles(F, S, Key, V);
}
void TspSkinKeyWriter::Lines(const char* Key, TStrings* V) {
    WriteStrings(F, S, Key, V);
}
void TspSkinKeyWriter::List(const char* Key, TStrings* V) {
    WriteStringList(F, S, Key, V);
}
void TspSkinKeyWriter::Align(const char* Key, TAlignment& V) {
    WriteAlignment(F, S, Key, V);
}
void TspSkinKeyWriter::Word(const char* Key, int& V, const TspEnumWords& W) {
    F->WriteString(S, Key, W.Words[V >= 0 && V < W.Count ? V : W.Absent]);
}

// ---- Control elements
// -----------------------------------------------------------------------------

TspDataSkinControl::TspDataSkinControl(const std::string& AIDName) : IDName(AIDName) {}

void TspDataSkinControl::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, IDName, [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinControl::SaveToFile(TCustomIniFile* IniFile) {
    WriteSkinKeys(IniFile, IDName, [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinControl::Keys(TspSkinKeys& K) {
    K.Int("pictureindex", PictureIndex, -1);
    K.Int("maskpictureindex", MaskPictureIndex, -1);
    K.Rect("skinrect", SkinRect);
    K.Int("cursorindex", CursorIndex, -1);
}

void TspDataSkinMainMenuBar::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Rect("itemsrect", ItemsRect);
    K.Text("menubaritem", MenuBarItem, "");
    K.Text("closebutton", CloseButton, "");
    K.Text("maxbutton", MaxButton, "");
    K.Text("minbutton", MinButton, "");
    K.Text("sysmenubutton", SysMenuButton, "");
    K.Color("trackmarkcolor", TrackMarkColor);
    K.Color("trackmarkactivecolor", TrackMarkActiveColor);
    K.Bool("stretcheffect", StretchEffect);
    K.Bool("itemtransparent", ItemTransparent);
}

void TspDataSkinTabControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Rect("tabrect", TabRect);
    K.Rect("activetabrect", ActiveTabRect);
    K.Rect("focustabrect", FocusTabRect);
    K.Rect("mouseintabrect", MouseInTabRect);
    K.Rect("clientrect", ClRect);
    K.Rect("tabsbgrect", TabsBGRect);
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Int("tableftoffset", TabLeftOffset, 0);
    K.Int("tabrightoffset", TabRightOffset, 0);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("focusfontcolor", FocusFontColor);
    K.Color("mouseinfontcolor", MouseInFontColor);
    K.Text("updown", UpDown, "");
    K.Int("bgpictureindex", BGPictureIndex, -1);
    K.Bool("tabstretcheffect", TabStretchEffect);
    K.Bool("leftstretch", LeftStretch);
    K.Bool("topstretch", TopStretch);
    K.Bool("rightstretch", RightStretch);
    K.Bool("bottomstretch", BottomStretch);
    K.Bool("showfocus", ShowFocus);
    K.Int("focusoffsetx", FocusOffsetX, 0);
    K.Int("focusoffsety", FocusOffsetY, 0);
    K.Bool("stretcheffect", StretchEffect);
    K.Enum("stretchtype", StretchType, spStretchTypeWords);
    K.Rect("closebuttonrect", CloseButtonRect);
    K.Rect("closebuttonactiverect", CloseButtonActiveRect);
    K.Rect("closebuttondownrect", CloseButtonDownRect);
    K.Bool("buttontransparent", ButtonTransparent);
    K.Color("buttontransparentcolor", ButtonTransparentColor);
}

void TspDataSkinGridControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Rect("fixedcellrect", FixedCellRect);
    K.Rect("selectcellrect", SelectCellRect);
    K.Rect("focuscellrect", FocusCellRect);
    K.Int("fixedcellleftoffset", FixedCellLeftOffset, 0);
    K.Int("fixedcellrightoffset", FixedCellRightOffset, 0);
    K.Rect("fixedcelltextrect", FixedCellTextRect);
    K.Int("cellleftoffset", CellLeftOffset, 0);
    K.Int("cellrightoffset", CellRightOffset, 0);
    K.Rect("celltextrect", CellTextRect);
    K.Color("linescolor", LinesColor);
    K.Color("bgcolor", BGColor);
    K.Int("bgpictureindex", BGPictureIndex, -1);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("selectfontcolor", SelectFontColor);
    K.Color("focusfontcolor", FocusFontColor);
    K.Text("fixedfontname", FixedFontName, "Arial");
    K.Styles("fixedfontstyle", FixedFontStyle);
    K.Int("fixedfontheight", FixedFontHeight, 14);
    K.Color("fixedfontcolor", FixedFontColor);
    K.Bool("fixedcellstretcheffect", FixedCellStretchEffect);
    K.Bool("cellstretcheffect", CellStretchEffect);
    K.Bool("showfocus", ShowFocus);
}

void TspDataSkinFontBGControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("bgcolor", BGColor);
}

void TspDataSkinSlider::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Rect("hrulerrect", HRulerRect);
    K.Rect("hthumbrect", HThumbRect);
    K.Rect("vrulerrect", VRulerRect);
    K.Rect("vthumbrect", VThumbRect);
    K.Int("edgesize", EdgeSize, 0);
    K.Color("bgcolor", BGColor);
    K.Color("pointscolor", PointsColor);
}

void TspDataSkinBevel::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Color("lightcolor", LightColor);
    K.Color("darkcolor", DarkColor);
}

void TspDataSkinStdLabelControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor, 0xFF0000);
}

void TspDataSkinFrameControl::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinControl::LoadFromFile(IniFile);
    if (FramesCount < 1) FramesCount = 1;
}

void TspDataSkinFrameControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Int("framescount", FramesCount, 1);
    K.Enum("framesplacement", FramesPlacement, spFramesPlacementWords);
}

void TspDataSkinFrameRegulator::Keys(TspSkinKeys& K) {
    TspDataSkinFrameControl::Keys(K);
    K.Enum("kind", Kind, spRegulatorKindWords);
}

void TspDataSkinCustomControl::Keys(TspSkinKeys& K) {
    TspDataSkinControl::Keys(K);
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Rect("clientrect", ClRect);
    K.Bool("stretcheffect", StretchEffect);
    K.Bool("leftstretch", LeftStretch);
    K.Bool("topstretch", TopStretch);
    K.Bool("rightstretch", RightStretch);
    K.Bool("bottomstretch", BottomStretch);
    K.Enum("stretchtype", StretchType, spStretchTypeWords);
}

void TspDataSkinButtonControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("downfontcolor", DownFontColor);
    K.Color("disabledfontcolor", DisabledFontColor);
    K.Bool("morphing", Morphing);
    K.Enum("morphkind", MorphKind, spMorphKindWords);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Rect("downskinrect", DownSkinRect);
    K.Rect("disabledskinrect", DisabledSkinRect);
    K.Rect("focusedskinrect", FocusedSkinRect);
    K.Rect("animateskinrect", AnimateSkinRect);
    K.Int("framecount", FrameCount, 0);
    K.Int("animateinterval", AnimateInterval, 25);
    K.Bool("showfocus", ShowFocus);
    K.Rect("menumarkerflatrect", MenuMarkerFlatRect);
    K.Rect("menumarkerrect", MenuMarkerRect);
    K.Rect("menumarkeractiverect", MenuMarkerActiveRect);
    K.Rect("menumarkerdownrect", MenuMarkerDownRect);
    K.Color("menumarkertransparentcolor", MenuMarkerTransparentColor);
    K.Int("glowlayerpictureindex", GlowLayerPictureIndex, -1);
    K.Int("glowlayermaskpictureindex", GlowLayerMaskPictureIndex, -1);
    K.Int("glowlayeroffsetleft", GlowLayerOffsetLeft, 0);
    K.Int("glowlayeroffsetright", GlowLayerOffsetRight, 0);
    K.Int("glowlayeroffsettop", GlowLayerOffsetTop, 0);
    K.Int("glowlayeroffsetbottom", GlowLayerOffsetBottom, 0);
    K.Int("glowlayershowoffsetx", GlowLayerShowOffsetX, 0);
    K.Int("glowlayershowoffsety", GlowLayerShowOffsetY, 0);
    K.Int("glowlayeralphablendvalue", GlowLayerAlphaBlendValue, 255);
}

void TspDataSkinMenuButtonControl::Keys(TspSkinKeys& K) {
    TspDataSkinButtonControl::Keys(K);
    K.Rect("trackbuttonrect", TrackButtonRect);
}

void TspDataSkinCheckRadioControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("unenabledfontcolor", UnEnabledFontColor);
    K.Bool("morphing", Morphing);
    K.Enum("morphkind", MorphKind, spMorphKindWords);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Rect("checkimagearea", CheckImageArea);
    K.Rect("textarea", TextArea);
    K.Rect("checkimagerect", CheckImageRect);
    K.Rect("uncheckimagerect", UnCheckImageRect);
    K.Rect("activecheckimagerect", ActiveCheckImageRect);
    K.Rect("activeuncheckimagerect", ActiveUnCheckImageRect);
    K.Rect("unenabledcheckimagerect", UnEnabledCheckImageRect);
    K.Rect("unenableduncheckimagerect", UnEnabledUnCheckImageRect);
    K.Rect("grayedcheckimagerect", GrayedCheckImageRect);
    K.Rect("activegrayedcheckimagerect", ActiveGrayedCheckImageRect);
    K.Color("framefontcolor", FrameFontColor);
}

void TspDataSkinPanelControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("captionrect", CaptionRect);
    K.Align("alignment", Alignment);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Int("bgpictureindex", BGPictureIndex, -1);
    K.Rect("checkimagerect", CheckImageRect);
    K.Rect("uncheckimagerect", UnCheckImageRect);
    K.Rect("markframerect", MarkFrameRect);
    K.Rect("framerect", FrameRect);
    K.Int("frameleftoffset", FrameLeftOffset, 0);
    K.Int("framerightoffset", FrameRightOffset, 0);
    K.Rect("frametextrect", FrameTextRect);
    K.Rect("gripperrect", GripperRect);
    K.Bool("grippertransparent", GripperTransparent);
    K.Color("grippertransparentcolor", GripperTransparentColor);
}

void TspDataSkinExPanelControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("rollhskinrect", RollHSkinRect);
    K.Rect("rollvskinrect", RollVSkinRect);
    K.Int("rollleftoffset", RollLeftOffset, 0);
    K.Int("rollrightoffset", RollRightOffset, 0);
    K.Int("rolltopoffset", RollTopOffset, 0);
    K.Int("rollbottomoffset", RollBottomOffset, 0);
    K.Rect("rollvcaptionrect", RollVCaptionRect);
    K.Rect("rollhcaptionrect", RollHCaptionRect);
    K.Rect("closebuttonrect", CloseButtonRect);
    K.Rect("closebuttonactiverect", CloseButtonActiveRect);
    K.Rect("closebuttondownrect", CloseButtonDownRect);
    K.Rect("hrollbuttonrect", HRollButtonRect);
    K.Rect("hrollbuttonactiverect", HRollButtonActiveRect);
    K.Rect("hrollbuttondownrect", HRollButtonDownRect);
    K.Rect("hrestorebuttonrect", HRestoreButtonRect);
    K.Rect("hrestorebuttonactiverect", HRestoreButtonActiveRect);
    K.Rect("hrestorebuttondownrect", HRestoreButtonDownRect);
    K.Rect("vrollbuttonrect", VRollButtonRect);
    K.Rect("vrollbuttonactiverect", VRollButtonActiveRect);
    K.Rect("vrollbuttondownrect", VRollButtonDownRect);
    K.Rect("vrestorebuttonrect", VRestoreButtonRect);
    K.Rect("vrestorebuttonactiverect", VRestoreButtonActiveRect);
    K.Rect("vrestorebuttondownrect", VRestoreButtonDownRect);
    K.Rect("captionrect", CaptionRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Bool("buttonstransparent", ButtonsTransparent);
    K.Color("buttonstransparentcolor", ButtonsTransparentColor);
}

void TspDataSkinLabelControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
}

TspDataSkinBitLabelControl::TspDataSkinBitLabelControl(const std::string& AIDName)
    : TspDataSkinCustomControl(AIDName), Symbols(std::make_unique<TStringList>()) {}

void TspDataSkinBitLabelControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("skintextrect", SkinTextRect);
    K.Int("symbolwidth", SymbolWidth, 0);
    K.Int("symbolheight", SymbolHeight, 0);
    K.Lines("symbols", Symbols.get());
}

void TspDataSkinEditControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("disabledfontcolor", DisabledFontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Rect("buttonrect", ButtonRect);
    K.Rect("activebuttonrect", ActiveButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("unenabledbuttonrect", UnEnabledButtonRect);
}

void TspDataSkinMemoControl::Keys(TspSkinKeys& K) {
    TspDataSkinEditControl::Keys(K);
    K.Color("bgcolor", BGColor);
    K.Color("activebgcolor", ActiveBGColor);
}

void TspDataSkinSpinEditControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("disabledfontcolor", DisabledFontColor);
    K.Rect("upbuttonrect", UpButtonRect);
    K.Rect("activeupbuttonrect", ActiveUpButtonRect);
    K.Rect("downupbuttonrect", DownUpButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("activedownbuttonrect", ActiveDownButtonRect);
    K.Rect("downdownbuttonrect", DownDownButtonRect);
}

void TspDataSkinUpDownControl::ZeroCorners() {
    LTPoint = RTPoint = LBPoint = RBPoint = TPoint();
    ClRect = TRect();
}

void TspDataSkinUpDownControl::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinCustomControl::LoadFromFile(IniFile);
    ZeroCorners();
}

void TspDataSkinUpDownControl::SaveToFile(TCustomIniFile* IniFile) {
    ZeroCorners();
    TspDataSkinCustomControl::SaveToFile(IniFile);
}

void TspDataSkinUpDownControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("upbuttonrect", UpButtonRect);
    K.Rect("activeupbuttonrect", ActiveUpButtonRect);
    K.Rect("downupbuttonrect", DownUpButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("activedownbuttonrect", ActiveDownButtonRect);
    K.Rect("downdownbuttonrect", DownDownButtonRect);
}

void TspDataSkinListBox::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("itemrect", SItemRect);
    K.Rect("activeitemrect", ActiveItemRect);
    K.Rect("focusitemrect", FocusItemRect);
    K.Int("itemleftoffset", ItemLeftOffset, 0);
    K.Int("itemrightoffset", ItemRightOffset, 0);
    K.Rect("itemtextrect", ItemTextRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("focusfontcolor", FocusFontColor);
    K.Rect("captionrect", CaptionRect);
    K.Text("captionfontname", CaptionFontName, "Arial");
    K.Styles("captionfontstyle", CaptionFontStyle);
    K.Int("captionfontheight", CaptionFontHeight, 14);
    K.Color("captionfontcolor", CaptionFontColor);
    K.Rect("upbuttonrect", UpButtonRect);
    K.Rect("activeupbuttonrect", ActiveUpButtonRect);
    K.Rect("downupbuttonrect", DownUpButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("activedownbuttonrect", ActiveDownButtonRect);
    K.Rect("downdownbuttonrect", DownDownButtonRect);
    K.Rect("checkbuttonrect", CheckButtonRect);
    K.Rect("activecheckbuttonrect", ActiveCheckButtonRect);
    K.Rect("downcheckbuttonrect", DownCheckButtonRect);
    K.Text("hscrollbarname", HScrollBarName, "hscrollbar");
    K.Text("vscrollbarname", VScrollBarName, "vscrollbar");
    K.Text("bothhscrollbarname", BothScrollBarName, "bothhscrollbar");
    K.Bool("showfocus", ShowFocus);
    K.Rect("disabledbuttonsrect", DisabledButtonsRect);
    K.Rect("buttonsarea", ButtonsArea);
}

void TspDataSkinCheckListBox::Keys(TspSkinKeys& K) {
    TspDataSkinListBox::Keys(K);
    K.Rect("uncheckimagerect", UnCheckImageRect);
    K.Rect("checkimagerect", CheckImageRect);
    K.Rect("itemcheckrect", ItemCheckRect);
}

void TspDataSkinComboBox::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("itemrect", SItemRect);
    K.Rect("activeitemrect", ActiveItemRect);
    K.Rect("focusitemrect", FocusItemRect);
    K.Int("itemleftoffset", ItemLeftOffset, 0);
    K.Int("itemrightoffset", ItemRightOffset, 0);
    K.Rect("itemtextrect", ItemTextRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Color("focusfontcolor", FocusFontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Rect("buttonrect", ButtonRect);
    K.Rect("activebuttonrect", ActiveButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("unenabledbuttonrect", UnEnabledButtonRect);
    K.Bool("itemstretcheffect", ItemStretchEffect);
    K.Bool("focusitemstretcheffect", FocusItemStretchEffect);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Bool("showfocus", ShowFocus);
    K.Text("listboxname", ListBoxName, "");
}

void TspDataSkinScrollBarControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("trackarea", TrackArea);
    K.Rect("upbuttonrect", UpButtonRect);
    K.Rect("activeupbuttonrect", ActiveUpButtonRect);
    K.Rect("downupbuttonrect", DownUpButtonRect);
    K.Rect("downbuttonrect", DownButtonRect);
    K.Rect("activedownbuttonrect", ActiveDownButtonRect);
    K.Rect("downdownbuttonrect", DownDownButtonRect);
    K.Rect("thumbrect", ThumbRect);
    K.Rect("activethumbrect", ActiveThumbRect);
    K.Rect("downthumbrect", DownThumbRect);
    K.Int("thumboffset1", ThumbOffset1, 0);
    K.Int("thumboffset2", ThumbOffset2, 0);
    K.Rect("glyphrect", GlyphRect);
    K.Rect("activeglyphrect", ActiveGlyphRect);
    K.Rect("downglyphrect", DownGlyphRect);
    K.Bool("glyphtransparent", GlyphTransparent);
    K.Color("glyphtransparentcolor", GlyphTransparentColor);
    K.Bool("thumbtransparent", ThumbTransparent);
    K.Color("thumbtransparentcolor", ThumbTransparentColor);
    K.Bool("thumbstretcheffect", ThumbStretchEffect);
    K.Int("thumbminsize", ThumbMinSize, 0);
    K.Int("thumbminpagesize", ThumbMinPageSize, 0);
}

void TspDataSkinScrollBoxControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Int("bgpictureindex", BGPictureIndex, -1);
}

void TspDataSkinTrackBarControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Rect("trackarea", TrackArea);
    K.Rect("buttonrect", ButtonRect);
    K.Rect("activebuttonrect", ActiveButtonRect);
    K.Bool("vertical", Vertical);
    K.Bool("buttontransparent", ButtonTransparent);
    K.Color("buttontransparentcolor", ButtonTransparentColor);
}

void TspDataSkinSplitterControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("gripperrect", GripperRect);
    K.Bool("grippertransparent", GripperTransparent);
    K.Color("grippertransparentcolor", GripperTransparentColor);
}

void TspDataSkinGaugeControl::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("progressarea", ProgressArea);
    K.Rect("progressrect", ProgressRect);
    K.Bool("progresstransparent", ProgressTransparent);
    K.Color("progresstransparentcolor", ProgressTransparentColor);
    K.Bool("progressstretch", ProgressStretch);
    K.Bool("vertical", Vertical);
    K.Int("beginoffset", BeginOffset, 0);
    K.Int("endoffset", EndOffset, 0);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Rect("animationskinrect", AnimationSkinRect);
    K.Int("animationcountframes", AnimationCountFrames, 0);
    K.Int("animationtimerinterval", AnimationTimerInterval, 0);
    K.Rect("progressanimationskinrect", ProgressAnimationSkinRect);
    K.Int("progressanimationcountframes", ProgressAnimationCountFrames, 0);
    K.Int("progressanimationtimerinterval", ProgressAnimationTimerInterval, 0);
    K.Int("animationbeginoffset", AnimationBeginOffset, 0);
    K.Int("animationendoffset", AnimationEndOffset, 0);
}

void TspDataSkinControlBar::Keys(TspSkinKeys& K) {
    TspDataSkinCustomControl::Keys(K);
    K.Rect("itemrect", ItemRect);
    K.Int("bgpictureindex", BGPictureIndex, -1);
    K.Rect("hgriprect", HGripRect);
    K.Rect("vgriprect", VGripRect);
    K.Int("gripoffset1", GripOffset1, 0);
    K.Int("gripoffset2", GripOffset2, 0);
    K.Bool("itemstretcheffect", ItemStretchEffect);
    K.Int("itemoffset1", ItemOffset1, 3);
    K.Int("itemoffset2", ItemOffset2, 3);
    K.Bool("itemtransparent", ItemTransparent);
    K.Color("itemtransparentcolor", ItemTransparentColor);
    K.Bool("griptransparent", GripTransparent);
    K.Color("griptransparentcolor", GripTransparentColor);
}

namespace {

template <class T> std::unique_ptr<TspDataSkinControl> makeControl(const std::string& N) {
    return std::make_unique<T>(N);
}
template <class T> std::unique_ptr<TspDataSkinObject> makeObject(const std::string& N) {
    return std::make_unique<T>(N);
}

struct ControlKind {
    const char* Word;
    std::unique_ptr<TspDataSkinControl> (*Make)(const std::string&);
};
const ControlKind kControlKinds[] = {
    {"slider", makeControl<TspDataSkinSlider>},
    {"bevel", makeControl<TspDataSkinBevel>},
    {"panel", makeControl<TspDataSkinPanelControl>},
    {"expanel", makeControl<TspDataSkinExPanelControl>},
    {"menubutton", makeControl<TspDataSkinMenuButtonControl>},
    {"button", makeControl<TspDataSkinButtonControl>},
    {"checkradio", makeControl<TspDataSkinCheckRadioControl>},
    {"gauge", makeControl<TspDataSkinGaugeControl>},
    {"splitter", makeControl<TspDataSkinSplitterControl>},
    {"trackbar", makeControl<TspDataSkinTrackBarControl>},
    {"label", makeControl<TspDataSkinLabelControl>},
    {"stdlabel", makeControl<TspDataSkinStdLabelControl>},
    {"bitlabel", makeControl<TspDataSkinBitLabelControl>},
    {"frameregulator", makeControl<TspDataSkinFrameRegulator>},
    {"framegauge", makeControl<TspDataSkinFrameGauge>},
    {"animate", makeControl<TspDataSkinAnimateControl>},
    {"updown", makeControl<TspDataSkinUpDownControl>},
    {"switch", makeControl<TspDataSkinSwitchControl>},
    {"grid", makeControl<TspDataSkinGridControl>},
    {"tab", makeControl<TspDataSkinTabControl>},
    {"mainmenubar", makeControl<TspDataSkinMainMenuBar>},
    {"controlbar", makeControl<TspDataSkinControlBar>},
    {"memo", makeControl<TspDataSkinMemoControl>},
    {"edit", makeControl<TspDataSkinEditControl>},
    {"checklistbox", makeControl<TspDataSkinCheckListBox>},
    {"listbox", makeControl<TspDataSkinListBox>},
    {"combobox", makeControl<TspDataSkinComboBox>},
    {"scrollbar", makeControl<TspDataSkinScrollBarControl>},
    {"spinedit", makeControl<TspDataSkinSpinEditControl>},
    {"scrollbox", makeControl<TspDataSkinScrollBoxControl>},
    {"treeview", makeControl<TspDataSkinTreeView>},
    {"listview", makeControl<TspDataSkinListView>},
    {"richedit", makeControl<TspDataSkinRichEdit>},
};

struct ObjectKind {
    const char* Word;
    std::unique_ptr<TspDataSkinObject> (*Make)(const std::string&);
};
const ObjectKind kObjectKinds[] = {
    {"menuitem", makeObject<TspDataSkinMenuItem>},
    {"mainmenubaritem", makeObject<TspDataSkinMainMenuBarItem>},
    {"mainmenuitem", makeObject<TspDataSkinMainMenuItem>},
    {"mainmenubarbutton", makeObject<TspDataSkinMainMenuBarButton>},
    {"stdbutton", makeObject<TspDataSkinStdButton>},
    {"button", makeObject<TspDataSkinButton>},
    {"caption", makeObject<TspDataSkinCaption>},
    {"trackbar", makeObject<TspDataSkinTrackBar>},
    {"gauge", makeObject<TspDataSkinGauge>},
    {"framegauge", makeObject<TspDataSkinFrameGaugeObject>},
    {"frameregulator", makeObject<TspDataSkinFrameRegulatorObject>},
    {"label", makeObject<TspDataSkinLabel>},
    {"bitlabel", makeObject<TspDataSkinBitLabel>},
    {"switch", makeObject<TspDataSkinSwitch>},
    {"animate", makeObject<TspDataSkinAnimate>},
    {"userobject", makeObject<TspDataUserObject>},
};

} // namespace

std::unique_ptr<TspDataSkinControl> CreateSkinControl(const std::string& Word,
                                                      const std::string& AIDName) {
    for (const ControlKind& k : kControlKinds)
        if (Word == k.Word) return k.Make(AIDName);
    return nullptr;
}

std::unique_ptr<TspDataSkinObject> CreateSkinObject(const std::string& Word,
                                                    const std::string& AIDName) {
    for (const ObjectKind& k : kObjectKinds)
        if (Word == k.Word) return k.Make(AIDName);
    return nullptr;
}

// ---- Form-frame objects -------------------------------------------------------------------------

TspDataSkinObject::TspDataSkinObject(const std::string& AIDName) : IDName(AIDName) {}

void TspDataSkinObject::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, IDName, [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinObject::SaveToFile(TCustomIniFile* IniFile) {
    WriteSkinKeys(IniFile, IDName, [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinObject::Keys(TspSkinKeys& K) {
    K.Text("hint", Hint, "");
    K.Bool("skinrectinapicture", SkinRectInAPicture);
    K.Rect("skinrect", SkinRect);
    K.Rect("activeskinrect", ActiveSkinRect);
    K.Rect("inactiveskinrect", InActiveSkinRect);
    K.Bool("morphing", Morphing);
    K.Enum("morphkind", MorphKind, spMorphKindWords);
    K.Int("activepictureindex", ActivePictureIndex, -1);
    K.Int("activemaskpictureindex", ActiveMaskPictureIndex, -1);
    K.Int("cursorindex", CursorIndex, -1);
    K.Bool("rollup", RollUp);
    K.Int("glowlayerpictureindex", GlowLayerPictureIndex, -1);
    K.Int("glowlayermaskpictureindex", GlowLayerMaskPictureIndex, -1);
    K.Int("glowlayeroffsetx", GlowLayerOffsetX, 0);
    K.Int("glowlayeroffsety", GlowLayerOffsetY, 0);
    K.Int("glowlayeralphablendvalue", GlowLayerAlphaBlendValue, 255);
}

void TspDataSkinMenuItem::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinObject::LoadFromFile(IniFile);
    if (IsEmptyRect(ActiveCheckImageRect)) ActiveCheckImageRect = CheckImageRect;
    if (IsEmptyRect(ActiveRadioImageRect)) ActiveRadioImageRect = RadioImageRect;
    if (IsEmptyRect(ActiveArrowImageRect)) ActiveArrowImageRect = ArrowImageRect;
}

void TspDataSkinMenuItem::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Rect("dividerrect", DividerRect);
    K.Int("dividerleftoffset", DividerLO, 0);
    K.Int("dividerrightoffset", DividerRO, 0);
    K.Int("itemleftoffset", ItemLO, 0);
    K.Int("itemrightoffset", ItemRO, 0);
    K.Text("fontname", FontName, "Arial");
    K.Int("fontheight", FontHeight, 14);
    K.Styles("fontstyle", FontStyle);
    K.Color("unenabledfontcolor", UnEnabledFontColor);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Rect("textrect", TextRct);
    K.Bool("stretcheffect", StretchEffect);
    K.Bool("dividerstretcheffect", DividerStretchEffect);
    K.Bool("inactivestretcheffect", InActiveStretchEffect);
    K.Rect("animateskinrect", AnimateSkinRect);
    K.Int("framecount", FrameCount, 0);
    K.Int("animateinterval", AnimateInterval, 25);
    K.Bool("inactiveanimation", InActiveAnimation);
    K.Rect("imagerect", ImageRct);
    K.Bool("useimagecolor", UseImageColor);
    K.Color("imagecolor", ImageColor);
    K.Color("activeimagecolor", ActiveImageColor);
    K.Bool("inactivetransparent", InActiveTransparent);
    K.Rect("checkimagerect", CheckImageRect);
    K.Rect("activecheckimagerect", ActiveCheckImageRect);
    K.Rect("radioimagerect", RadioImageRect);
    K.Rect("activeradioimagerect", ActiveRadioImageRect);
    K.Rect("arrowimagerect", ArrowImageRect);
    K.Rect("activearrowimagerect", ActiveArrowImageRect);
}

void TspDataSkinMainMenuItem::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Rect("downrect", DownRect);
    K.Text("fontname", FontName, "Arial");
    K.Int("fontheight", FontHeight, 14);
    K.Styles("fontstyle", FontStyle);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("downfontcolor", DownFontColor);
    K.Color("unenabledfontColor", UnEnabledFontColor);
    K.Rect("textrect", TextRct);
    K.Int("itemleftoffset", ItemLO, 0);
    K.Int("itemrightoffset", ItemRO, 0);
    K.Bool("stretcheffect", StretchEffect);
    K.Rect("animateskinrect", AnimateSkinRect);
    K.Int("framecount", FrameCount, 0);
    K.Int("animateinterval", AnimateInterval, 25);
    K.Bool("inactiveanimation", InActiveAnimation);
}

void TspDataSkinButton::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Int("groupindex", GroupIndex, -1);
    K.Rect("downrect", DownRect);
    K.Rect("disableskinrsect", DisableSkinRect);
}

namespace {

// Buttons that maximize, minimize or roll up show "Restore" in their other state.
void defaultRestoreHint(const std::string& Hint, TStdCommand Command, std::string& RestoreHint) {
    if (!RestoreHint.empty()) return;
    if ((Hint == "Maximize" && Command == cmMaximize) ||
        (Hint == "Minimize" && Command == cmMinimize) ||
        ((Hint == "RollUp" || Hint == "Roll Up") && Command == cmRollUp))
        RestoreHint = "Restore";
}

} // namespace

void TspDataSkinStdButton::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinButton::LoadFromFile(IniFile);
    defaultRestoreHint(Hint, Command, RestoreHint);
}

void TspDataSkinStdButton::Keys(TspSkinKeys& K) {
    TspDataSkinButton::Keys(K);
    K.Enum("command", Command, spStdCommandWords);
    K.Rect("restorerect", RestoreRect);
    K.Rect("restoreactiverect", RestoreActiveRect);
    K.Rect("restoredownrect", RestoreDownRect);
    K.Rect("restoreinactiverect", RestoreInActiveRect);
    K.Text("restorehint", RestoreHint, "");
}

void TspDataSkinCaption::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Int("fontheight", FontHeight, 14);
    K.Styles("fontstyle", FontStyle);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Color("shadowcolor", ShadowColor);
    K.Color("activeshadowcolor", ActiveShadowColor);
    K.Bool("shadow", Shadow);
    K.Align("alignment", Alignment);
    K.Rect("textrect", TextRct);
    K.Bool("defaultcaption", DefaultCaption);
    K.Rect("framerect", FrameRect);
    K.Rect("activeframerect", ActiveFrameRect);
    K.Int("frameleftoffset", FrameLeftOffset, 0);
    K.Int("framerightoffset", FrameRightOffset, 0);
    K.Rect("frametextrect", FrameTextRect);
    K.Bool("light", Light);
    K.Color("lightcolor", LightColor);
    K.Color("activelightcolor", ActiveLightColor);
    K.Bool("stretcheffect", StretchEffect);
    K.Rect("animateskinrect", AnimateSkinRect);
    K.Int("framecount", FrameCount, 0);
    K.Int("animateinterval", AnimateInterval, 25);
    K.Bool("inactiveanimation", InActiveAnimation);
    K.Bool("fullframe", FullFrame);
    K.Bool("vistagloweffect", VistaGlowEffect);
    K.Bool("vistaglowinactiveeffect", VistaGlowInActiveEffect);
    K.Bool("gloweffect", GlowEffect);
    K.Bool("glowinactiveeffect", GlowInActiveEffect);
    K.Int("glowsize", GlowSize, 3);
    K.Color("glowcolor", GlowColor);
    K.Color("glowactivecolor", GlowActiveColor);
    K.Int("glowoffset", GlowOffset, 0);
    K.Bool("reflectioneffect", ReflectionEffect);
    K.Color("reflactioncolor", ReflectionColor);
    K.Color("reflactionactivecolor", ReflectionActiveColor);
    K.Int("reflectionoffset", ReflectionOffset, 0);
}

void TspDataSkinTrackBar::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Rect("buttonrect", ButtonRect);
    K.Rect("activebuttonrect", ActiveButtonRect);
    K.Point("beginpoint", BeginPoint);
    K.Point("endpoint", EndPoint);
    K.Int("minvalue", MinValue, 0);
    K.Int("maxvalue", MaxValue, 0);
    K.Bool("mousedownchangevalue", MouseDownChangeValue);
    K.Bool("buttontransparent", ButtonTransparent);
    K.Color("buttontransparentcolor", ButtonTransparentColor);
}

void TspDataSkinGauge::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Int("minvalue", MinValue, 0);
    K.Int("maxvalue", MaxValue, 0);
    K.Enum("kind", Kind, spGaugeKindWords);
}

void TspDataSkinFrameGaugeObject::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Int("minvalue", MinValue, 0);
    K.Int("maxvalue", MaxValue, 0);
    K.Int("countframes", CountFrames, 0);
    K.Enum("framesplacement", FramesPlacement, spFramesPlacementWords);
}

void TspDataSkinFrameRegulatorObject::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Int("minvalue", MinValue, 0);
    K.Int("maxvalue", MaxValue, 0);
    K.Int("countframes", CountFrames, 0);
    K.Enum("framesplacement", FramesPlacement, spFramesPlacementWords);
    K.Enum("kind", Kind, spRegulatorKindWords);
}

void TspDataSkinLabel::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Text("fontname", FontName, "Arial");
    K.Int("fontheight", FontHeight, 14);
    K.Styles("fontstyle", FontStyle);
    K.Color("fontcolor", FontColor);
    K.Color("activefontcolor", ActiveFontColor);
    K.Align("alignment", Alignment);
    K.Text("textvalue", TextValue, "");
}

TspDataSkinBitLabel::TspDataSkinBitLabel(const std::string& AIDName)
    : TspDataSkinObject(AIDName), Symbols(std::make_unique<TStringList>()) {}

void TspDataSkinBitLabel::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinObject::LoadFromFile(IniFile);
    Morphing = false;
}

void TspDataSkinBitLabel::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Lines("symbols", Symbols.get());
    K.Text("textvalue", TextValue, "");
    K.Int("symbolwidth", SymbolWidth, 0);
    K.Int("symbolheight", SymbolHeight, 0);
    K.Bool("transparent", Transparent);
    K.Color("transparentcolor", TransparentColor, 0xFF00FF);
}

void TspDataSkinAnimate::LoadFromFile(TCustomIniFile* IniFile) {
    TspDataSkinObject::LoadFromFile(IniFile);
    Morphing = false;
    defaultRestoreHint(Hint, Command, RestoreHint);
}

void TspDataSkinAnimate::Keys(TspSkinKeys& K) {
    TspDataSkinObject::Keys(K);
    K.Int("countframes", CountFrames, 1);
    K.Bool("cycle", Cycle);
    K.Bool("buttonstyle", ButtonStyle);
    K.Int("timerinterval", TimerInterval, 50);
    K.Enum("command", Command, spStdCommandWords);
    K.Rect("downskinrect", DownSkinRect);
    K.Rect("restorerect", RestoreRect);
    K.Rect("restoreactiverect", RestoreActiveRect);
    K.Rect("restoredownrect", RestoreDownRect);
    K.Rect("restoreinactiverect", RestoreInActiveRect);
    K.Text("restorehint", RestoreHint, "");
}

void TspDataUserObject::Keys(TspSkinKeys& K) {
    K.Bool("rollup", RollUp);
    K.Rect("skinrect", SkinRect);
    K.Int("cursorindex", CursorIndex, -1);
}

// ---- Window sections
// ------------------------------------------------------------------------------

void TspDataSkinPopupWindow::Keys(TspSkinKeys& K) {
    K.Int("windowpictureindex", WindowPictureIndex, -1);
    K.Int("maskpictureindex", MaskPictureIndex, -1);
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Rect("itemsrect", ItemsRect);
    K.Color("scrollmarkercolor", ScrollMarkerColor);
    K.Color("scrollmarkeractivecolor", ScrollMarkerActiveColor);
    K.Int("cursorindex", CursorIndex, -1);
    K.Bool("topstretch", TopStretch);
    K.Bool("leftstretch", LeftStretch);
    K.Bool("rightstretch", RightStretch);
    K.Bool("bottomstretch", BottomStretch);
    K.Bool("stretcheffect", StretchEffect);
    K.Enum("stretchtype", StretchType, spStretchTypeWords);
}

void TspDataSkinPopupWindow::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, "POPUPWINDOW", [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinPopupWindow::SaveToFile(TCustomIniFile* IniFile) {
    WriteSkinKeys(IniFile, "POPUPWINDOW", [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinLayerFrame::Keys(TspSkinKeys& K) {
    K.Int("pictureindex", PictureIndex, -1);
    K.Int("maskpictureindex", MaskPictureIndex, -1);
    K.Int("inactivepictureindex", InActivePictureIndex, -1);
    K.Int("inactivemaskpictureindex", InActiveMaskPictureIndex, -1);
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Rect("clientrect", ClRect);
    K.Int("alphablendvalue", AlphaBlendValue, 255);
    K.Int("inactivealphablendvalue", InActiveAlphaBlendValue, 255);
    K.Rect("borderrect", BorderRect);
    K.Bool("hittestenable", HitTestEnable);
}

void TspDataSkinLayerFrame::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, "LAYERFRAME", [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinLayerFrame::SaveToFile(TCustomIniFile* IniFile) {
    WriteSkinKeys(IniFile, "LAYERFRAME", [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinHintWindow::Keys(TspSkinKeys& K) {
    K.Int("windowpictureindex", WindowPictureIndex, -1);
    K.Int("maskpictureindex", MaskPictureIndex, -1);
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Rect("clientrect", ClRect);
    K.Text("fontname", FontName, "Arial");
    K.Styles("fontstyle", FontStyle);
    K.Int("fontheight", FontHeight, 14);
    K.Color("fontcolor", FontColor);
    K.Bool("topstretch", TopStretch);
    K.Bool("leftstretch", LeftStretch);
    K.Bool("rightstretch", RightStretch);
    K.Bool("bottomstretch", BottomStretch);
    K.Bool("stretcheffect", StretchEffect);
    K.Enum("stretchtype", StretchType, spStretchTypeWords);
}

void TspDataSkinHintWindow::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, "HINTWINDOW", [this](TspSkinKeys& K) { Keys(K); });
}

void TspDataSkinHintWindow::SaveToFile(TCustomIniFile* IniFile) {
    WriteSkinKeys(IniFile, "HINTWINDOW", [this](TspSkinKeys& K) { Keys(K); });
}

// ---- Colours
// ----------------------------------------------------------------------------------------

void TspSkinColors::Keys(TspSkinKeys& K) {
    K.Color("cbtnface", FcBtnFace);
    K.Color("cbtntext", FcBtnText);
    K.Color("cwindow", FcWindow);
    K.Color("cwindowtext", FcWindowText);
    K.Color("chighlight", FcHighLight);
    K.Color("chighlighttext", FcHighLightText);
    K.Color("cbtnhighlight", FcBtnHighLight);
    K.Color("cbtnshadow", FcBtnShadow);
    K.Color("c3dlight", Fc3DLight);
    K.Color("c3ddkshadow", Fc3DDkShadow);
}

void TspSkinColors::SetColorsToDefault() {
    FcBtnFace = spSystemColor(15);
    FcBtnText = spSystemColor(18);
    FcWindow = spSystemColor(5);
    FcWindowText = spSystemColor(8);
    FcHighLight = spSystemColor(13);
    FcHighLightText = spSystemColor(14);
    FcBtnHighLight = spSystemColor(20);
    FcBtnShadow = spSystemColor(16);
    Fc3DLight = spSystemColor(22);
    Fc3DDkShadow = spSystemColor(21);
}

void TspSkinColors::LoadFromFile(TCustomIniFile* IniFile) {
    ReadSkinKeys(IniFile, "SKINCOLORS", [this](TspSkinKeys& K) { Keys(K); });
}

void TspSkinColors::SaveToFile(TCustomIniFile* IniFile) {
    // Written over what the section holds: the skin's writer erases it first.
    TspSkinKeyWriter w(IniFile, "SKINCOLORS");
    Keys(w);
}

TColor SkinColorToColor(TColor C) {
    if ((uint32_t(C) & 0xFF000000u) == 0xFF000000u)
        return TColor(clSystemColor | TColor(uint32_t(C) & 0xFF));
    return C;
}

// ---- Interface texts
// ----------------------------------------------------------------------------------

namespace {

const char* const kBuiltInTexts[] = {
    "MI_MINCAPTION=Mi&nimize",
    "MI_MAXCAPTION=Ma&ximize",
    "MI_CLOSECAPTION=&Close",
    "MI_RESTORECAPTION=&Restore",
    "MI_MINTOTRAYCAPTION=Minimize to &Tray",
    "MI_ROLLUPCAPTION=Ro&llUp",
    "MINBUTTON_HINT=Minimize",
    "MAXBUTTON_HINT=Maximize",
    "CLOSEBUTTON_HINT=Close",
    "TRAYBUTTON_HINT=Minimize to Tray",
    "ROLLUPBUTTON_HINT=Roll Up",
    "MENUBUTTON_HINT=System menu",
    "RESTORE_HINT=Restore",
    "EDIT_UNDO=Undo",
    "EDIT_COPY=Copy",
    "EDIT_CUT=Cut",
    "EDIT_PASTE=Paste",
    "EDIT_DELETE=Delete",
    "EDIT_SELECTALL=Select All",
    "MSG_BTN_YES=&Yes",
    "MSG_BTN_NO=&No",
    "MSG_BTN_OK=OK",
    "MSG_BTN_CANCEL=Cancel",
    "MSG_BTN_ABORT=&Abort",
    "MSG_BTN_RETRY=&Retry",
    "MSG_BTN_IGNORE=&Ignore",
    "MSG_BTN_ALL=&All",
    "MSG_BTN_NOTOALL=N&oToAll",
    "MSG_BTN_YESTOALL=&YesToAll",
    "MSG_BTN_HELP=&Help",
    "MSG_BTN_OPEN=&Open",
    "MSG_BTN_SAVE=&Save",
    "MSG_BTN_CLOSE=Close",
    "MSG_BTN_BACK_HINT=Go to last folder visited",
    "MSG_BTN_UP_HINT=Up one level",
    "MSG_BTN_NEWFOLDER_HINT=Create new folder",
    "MSG_BTN_VIEWMENU_HINT=View menu",
    "MSG_BTN_STRETCH_HINT=Stretch",
    "MSG_FILENAME=File name:",
    "MSG_FILETYPE=File type:",
    "MSG_NEWFOLDER=New folder",
    "MSG_LV_DETAILS=Details",
    "MSG_LV_ICON=Large icons",
    "MSG_LV_SMALLICON=Small icons",
    "MSG_LV_LIST=List",
    "MSG_PREVIEWSKIN=Preview",
    "MSG_PREVIEWBUTTON=Button",
    "MSG_OVERWRITE=Do you want to replace the existing file?",
    "MSG_CAP_WARNING=Warning",
    "MSG_CAP_ERROR=Error",
    "MSG_CAP_INFORMATION=Information",
    "MSG_CAP_CONFIRM=Confirm",
    "MSG_CAP_SHOWFLAG=Do not display this message again",
    "CALC_CAP=Calculator",
    "ERROR=Error",
    "COLORGRID_CAP=Basic colors",
    "CUSTOMCOLORGRID_CAP=Custom colors",
    "ADDCUSTOMCOLORBUTTON_CAP=Add to Custom Colors",
    "FONTDLG_COLOR=Color:",
    "FONTDLG_NAME=Name:",
    "FONTDLG_SIZE=Size:",
    "FONTDLG_HEIGHT=Height:",
    "FONTDLG_EXAMPLE=Example",
    "FONTDLG_STYLE=Style",
    "FONTDLG_SCRIPT=Script:",
    "DB_DELETE_QUESTION=Delete record?",
    "DB_MULTIPLEDELETE_QUESTION=Delete all selected records?",
    "NODISKINDRIVE=There is no disk in the drive or the drive is not ready",
    "NOVALIDDRIVEID=Not a valid drive",
    "FLV_NAME=Name",
    "FLV_SIZE=Size",
    "FLV_TYPE=Type",
    "FLV_LOOKIN=Look in",
    "FLV_MODIFIED=Modified",
    "FLV_ATTRIBUTES=Attributes",
    "FLV_DISKSIZE=Disk size",
    "FLV_FREESPACE=Free space",
    "PRNDLG_NAME=Name:",
    "PRNDLG_PRINTER=Printer",
    "PRNDLG_PROPERTIES=Properties...",
    "PRNDLG_TYPE=Type:",
    "PRNDLG_STATUS=Status:",
    "PRNDLG_WHERE=Where:",
    "PRNDLG_COMMENT=Comment:",
    "PRNDLG_PRINTRANGE=Print range",
    "PRNDLG_COPIES=Copies",
    "PRNDLG_NUMCOPIES=Number of copies:",
    "PRNDLG_COLLATE=Collate",
    "PRNDLG_ALL=All",
    "PRNDLG_PAGES=Pages",
    "PRNDLG_SELECTION=Selection",
    "PRNDLG_PRINTTOFILE=Print to file",
    "PRNDLG_FROM=from:",
    "PRNDLG_TO=to:",
    "PRNDLG_ORIENTATION=Orientation",
    "PRNDLG_PAPER=Paper",
    "PRNDLG_PORTRAIT=Portrait",
    "PRNDLG_LANDSCAPE=Landscape",
    "PRNDLG_SOURCE=Source:",
    "PRNDLG_SIZE=Size:",
    "PRNDLG_MARGINS=Margins (millimeters)",
    "PRNDLG_MARGINS_INCHES=Margins (inches)",
    "PRNDLG_LEFT=Left:",
    "PRNDLG_RIGHT=Right:",
    "PRNDLG_TOP=Top:",
    "PRNDLG_BOTTOM=Bottom:",
    "PRNDLG_WARNING=There are no printers installed",
    "FIND_NEXT=Find next",
    "FIND_WHAT=Find what:",
    "FIND_DIRECTION=Direction",
    "FIND_DIRECTIONUP=Up",
    "FIND_DIRECTIONDOWN=Down",
    "FIND_MATCH_CASE=Match case",
    "FIND_MATCH_WHOLE_WORD_ONLY=Match whole word only",
    "FIND_REPLACE_WITH=Replace with:",
    "FIND_REPLACE=Replace",
    "FIND_REPLACE_All=Replace all",
    "FIND_REPLACE_CLOSE=Close",
    "MORECOLORS=More colors...",
    "AUTOCOLOR=Automatic",
    "CUSTOMCOLOR=Custom...",
};

} // namespace

TspResourceStrData::TspResourceStrData(TComponent* AOwner)
    : TComponent(AOwner), FResStrs(std::make_unique<TStringList>()) {
    for (const char* line : kBuiltInTexts)
        FResStrs->Add(line);
}

TspResourceStrData::~TspResourceStrData() = default;

void TspResourceStrData::SetResStrings(const TStrings* Value) {
    if (Value)
        FResStrs->Assign(*Value);
    else
        FResStrs->Clear();
}

std::string TspResourceStrData::GetResStr(const std::string& ResName) const {
    for (int i = 0; i < FResStrs->Count(); ++i) {
        const std::string& line = (*FResStrs)[i];
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (SameText(line.substr(0, eq), ResName)) return line.substr(eq + 1);
    }
    return {};
}

// ---- Compressed skins
// ----------------------------------------------------------------------------------

namespace {

constexpr int32_t kWriterVersion = 2;
// Inflated payloads beyond this are refused as damaged.
constexpr int64_t kMaxPayload = int64_t(256) << 20;

void writeInt(TStream* S, int32_t V) {
    uint8_t b[4] = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(uint32_t(V) >> 24)};
    S->WriteBuffer(b, 4);
}

int32_t readInt(TStream* S) {
    uint8_t b[4];
    S->ReadBuffer(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

void writeBitmapImage(TStream* S, TBitmap* B) {
    B->SaveToStream(S);
}

std::string pictureFile(const std::string& Folder, const std::string& Name) {
    if (!IsSafeSkinFileName(Name))
        throw ESkinDataError("Skin picture name \"" + Name + "\" leaves the skin's folder");
    return Folder + Name;
}

uint32_t le32At(const std::string& B, size_t At) {
    auto u = [&](size_t i) { return uint32_t(uint8_t(B[At + i])); };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

// The five frame pictures of a skin with their names, in the order every
// storage form keeps them.
struct FramePicture {
    std::unique_ptr<TBitmap>& Bitmap;
    std::string& Name;
};
std::array<FramePicture, 5> framePictures(TspSkinContent& C) {
    return {{{C.FPicture, C.FPictureName},
             {C.FInActivePicture, C.FInActivePictureName},
             {C.FMask, C.FMaskName},
             {C.FRollUpPicture, C.FRollUpPictureName},
             {C.FRollUpMask, C.FRollUpMaskName}}};
}

// Reads a skin's pictures in two steps: each picture's bytes are taken and
// the pixels its header claims are counted first, and only when every claim
// fits the limits are the pictures decoded. A picture beyond them is refused
// while it is still a few bytes of header.
class PictureReader {
public:
    // One bitmap file out of a run of them: its header's size field says
    // where it ends, and that size must fit what is left. Returns its number.
    int Image(TStream* S) {
        int64_t left = S->Size() - S->Position();
        uint8_t head[14];
        if (left < int64_t(sizeof head)) throw ESkinDataError("Skin picture is damaged");
        S->ReadBuffer(head, sizeof head);
        uint32_t size = uint32_t(head[2]) | uint32_t(head[3]) << 8 | uint32_t(head[4]) << 16 |
                        uint32_t(head[5]) << 24;
        if (head[0] != 'B' || head[1] != 'M' || size < 54 || int64_t(size) > left)
            throw ESkinDataError("Skin picture is damaged");
        std::string bytes(reinterpret_cast<const char*>(head), sizeof head);
        bytes.resize(size);
        S->ReadBuffer(bytes.data() + sizeof head, int64_t(size) - int64_t(sizeof head));
        return Add(std::move(bytes), false, "#" + std::to_string(FPending.size() + 1));
    }
    // A picture slot of a payload: a flag byte, then the picture unless the
    // flag says there is none (-1).
    int Slot(TStream* S) {
        uint8_t flag;
        S->ReadBuffer(&flag, 1);
        return flag != 0 ? -1 : Image(S);
    }
    // A picture file of a folder skin; -1 for an empty name.
    int File(const std::string& Folder, const std::string& Name, bool AllowJpeg) {
        if (Name.empty()) return -1;
        return Add(ReadFileBytes(pictureFile(Folder, Name)), AllowJpeg && IsJpegFileName(Name),
                   "\"" + Name + "\"");
    }
    // Where the pictures of one skin stand among those taken: the frame
    // pictures in the order of framePictures, then the picture list; -1 for
    // none.
    struct Slots {
        int Frames[5] = {-1, -1, -1, -1, -1};
        std::vector<int> List;
    };
    // The picture files of a folder skin, as C names them.
    Slots Files(const std::string& Folder, TspSkinContent& C, bool AllowJpeg) {
        Slots s;
        int n = 0;
        for (const FramePicture& f : framePictures(C))
            s.Frames[n++] = File(Folder, f.Name, AllowJpeg);
        for (int i = 0; i < C.FActivePicturesNames->Count(); ++i)
            s.List.push_back(File(Folder, (*C.FActivePicturesNames)[i], AllowJpeg));
        return s;
    }
    // Decodes every picture taken and hands them over to C where S puts
    // them (an empty bitmap for -1).
    void DecodeInto(TspSkinContent& C, const Slots& S) {
        Decode();
        int n = 0;
        for (const FramePicture& f : framePictures(C))
            f.Bitmap = Take(S.Frames[n++]);
        for (int i : S.List)
            C.FActivePictures.push_back(Take(i));
    }

private:
    void Decode() {
        for (Pending& p : FPending) {
            p.Bitmap = std::make_unique<TBitmap>();
            TStringStream image(p.Bytes);
            if (p.Jpeg) {
                TJPEGImage jpeg;
                jpeg.LoadFromStream(&image);
                p.Bitmap->SetSize(jpeg.Width(), jpeg.Height());
                p.Bitmap->Canvas()->Draw(0, 0, &jpeg);
            } else {
                p.Bitmap->LoadFromStream(&image);
            }
            p.Bytes.clear();
        }
    }
    std::unique_ptr<TBitmap> Take(int N) {
        if (N < 0 || size_t(N) >= FPending.size() || !FPending[size_t(N)].Bitmap)
            return std::make_unique<TBitmap>();
        return std::move(FPending[size_t(N)].Bitmap);
    }
    struct Pending {
        std::string Bytes;
        bool Jpeg;
        std::unique_ptr<TBitmap> Bitmap;
    };
    int Add(std::string Bytes, bool Jpeg, const std::string& What) {
        if (Jpeg)
            ClaimJpeg(Bytes, What);
        else
            ClaimBitmap(Bytes, What);
        FPending.push_back(Pending{std::move(Bytes), Jpeg, nullptr});
        return int(FPending.size()) - 1;
    }
    void Claim(int64_t W, int64_t H, const std::string& What) {
        W = std::abs(W), H = std::abs(H);
        if (W > kSkinPictureSideLimit || H > kSkinPictureSideLimit ||
            W * H > kSkinPicturePixelLimit)
            throw ESkinDataError("Skin picture " + What + " (" + std::to_string(W) + " x " +
                                 std::to_string(H) + ") is too large");
        FUsed += W * H;
        if (FUsed > kSkinPixelBudget)
            throw ESkinDataError("Skin pictures take more than " +
                                 std::to_string(kSkinPixelBudget) + " pixels");
    }
    // A bitmap file's header; bytes that are no bitmap are left to the decoder.
    void ClaimBitmap(const std::string& B, const std::string& What) {
        if (B.size() < 26 || B[0] != 'B' || B[1] != 'M') return;
        uint32_t header = le32At(B, 14);
        if (header == 12) {
            auto u16 = [&](size_t i) { return int64_t(uint8_t(B[i]) | uint8_t(B[i + 1]) << 8); };
            Claim(u16(18), u16(20), What);
        } else {
            Claim(int32_t(le32At(B, 18)), int32_t(le32At(B, 22)), What);
        }
    }
    // A JPEG file's frame header; bytes without one are left to the decoder.
    void ClaimJpeg(const std::string& B, const std::string& What) {
        auto u8 = [&](size_t i) { return unsigned(uint8_t(B[i])); };
        auto be16 = [&](size_t i) { return int64_t(u8(i) << 8 | u8(i + 1)); };
        if (B.size() < 4 || u8(0) != 0xFF || u8(1) != 0xD8) return;
        size_t i = 2;
        while (i + 9 <= B.size()) {
            if (u8(i) != 0xFF) return;
            unsigned m = u8(i + 1);
            if (m == 0xFF) {
                ++i;
                continue;
            }
            if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                Claim(be16(i + 7), be16(i + 5), What);
                return;
            }
            if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
                i += 2;
                continue;
            }
            if (m == 0xD9 || m == 0xDA) return;
            i += 2 + size_t(be16(i + 2));
        }
    }

    std::vector<Pending> FPending;
    int64_t FUsed = 0;
};

void writeSlot(TStream* S, TBitmap* B) {
    uint8_t flag = (!B || B->Empty()) ? 1 : 0;
    S->WriteBuffer(&flag, 1);
    if (!flag) writeBitmapImage(S, B);
}

// The pictures of a payload: the five frame slots, the count of the list and
// its pictures.
void writePictures(TStream* S, TspSkinContent& C) {
    for (const FramePicture& f : framePictures(C))
        writeSlot(S, f.Bitmap.get());
    writeInt(S, int32_t(C.FActivePictures.size()));
    for (auto& b : C.FActivePictures)
        writeBitmapImage(S, b.get());
}

// The skin text: a byte-order mark chooses UTF-8 or UTF-16, else the ANSI code page.
std::string decodeSkinText(const std::string& Bytes) {
    if (Bytes.size() >= 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return SanitizeUtf8(std::string_view(Bytes).substr(3));
    if (Bytes.size() >= 2 && (uint8_t(Bytes[0]) == 0xFF && uint8_t(Bytes[1]) == 0xFE))
        return ConvertCharset(std::string_view(Bytes).substr(2), "UTF-16LE", "UTF-8");
    if (Bytes.size() >= 2 && (uint8_t(Bytes[0]) == 0xFE && uint8_t(Bytes[1]) == 0xFF))
        return ConvertCharset(std::string_view(Bytes).substr(2), "UTF-16BE", "UTF-8");
    return AnsiToUtf8(Bytes);
}

std::string encodeSkinText(TStrings* Lines) {
    std::string text;
    for (int i = 0; i < Lines->Count(); ++i) {
        text += Utf8ToAnsi((*Lines)[i]);
        text += "\r\n";
    }
    return text;
}

bool isSkinText(TCustomIniFile* F) {
    for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"}) {
        TStringList keys;
        F->ReadSection(section, &keys);
        if (keys.Count() == 0) return false;
    }
    return true;
}

// A skin whose frame has no picture would leave every skinned form without
// a frame to draw its caption and caption buttons from.
void checkFramePicture(const TspSkinContent& C) {
    if (!C.FPicture || C.FPicture->Empty()) throw ESkinDataError("The skin has no frame picture");
}

} // namespace

bool IsSafeSkinFileName(const std::string& Name) {
    if (Name.empty() || Name == "." || Name == "..") return false;
    if (Name.find_first_of("/\\:") != std::string::npos) return false;
    if (Name.find('\0') != std::string::npos) return false;
    return Name.find("..") == std::string::npos;
}

TspCompressedStoredSkin::TspCompressedStoredSkin(TComponent* AOwner)
    : TComponent(AOwner), FCompressedStream(std::make_unique<TMemoryStream>()) {}

TspCompressedStoredSkin::~TspCompressedStoredSkin() = default;

bool TspCompressedStoredSkin::Empty() const {
    return FCompressedStream->Size() == 0;
}

void TspCompressedStoredSkin::ReadCompressed(TStream* S) {
    FCompressedStream->Clear();
    int32_t version = readInt(S);
    if (version > 3) return;
    int32_t n = readInt(S);
    // A negative or zero length names no data: the stored skin stays empty.
    if (n <= 0) return;
    if (int64_t(n) > S->Size() - S->Position()) throw EReadError("Stream read error");
    FCompressedStream->CopyFrom(S, n);
    FCompressedStream->SetPosition(0);
}

void TspCompressedStoredSkin::LoadFromCompressFile(const std::string& AFileName) {
    FCompressedStream->Clear();
    TFileStream f(AFileName, fmOpenRead | fmShareDenyWrite);
    ReadCompressed(&f);
}

void TspCompressedStoredSkin::SaveToCompressFile(const std::string& AFileName) {
    if (Empty()) return;
    TFileStream f(AFileName, fmCreate);
    SaveToCompressStream(&f);
}

void TspCompressedStoredSkin::LoadFromCompressStream(TStream* Stream) {
    FCompressedStream->Clear();
    Stream->SetPosition(0);
    ReadCompressed(Stream);
}

void TspCompressedStoredSkin::SaveToCompressStream(TStream* Stream) {
    writeInt(Stream, kWriterVersion);
    writeInt(Stream, int32_t(FCompressedStream->Size()));
    if (FCompressedStream->Size() > 0)
        Stream->WriteBuffer(FCompressedStream->Memory(), FCompressedStream->Size());
}

void TspCompressedStoredSkin::DeCompressToStream(TMemoryStream* S) {
    DecompressStream(FCompressedStream.get(), S, kMaxPayload);
}

void TspCompressedStoredSkin::LoadFromIniFile(const std::string& AFileName) {
    TStringList lines;
    std::string raw;
    try {
        raw = ReadFileBytes(AFileName);
    } catch (const EFOpenError&) {
        return;
    }
    TMemIniFile ini;
    std::string text = decodeSkinText(raw);
    ini.SetText(text);
    if (!isSkinText(&ini)) return;
    lines.SetText(text);
    std::string folder = ExtractFilePath(AFileName);

    TMemoryStream payload;
    writeInt(&payload, kWriterVersion);
    // Packing takes no more than loading will accept.
    TspSkinContent content;
    ReadSkinKeys(&ini, "PICTURES", [&](TspSkinKeys& K) { content.PictureKeys(K); });
    PictureReader pictures;
    pictures.DecodeInto(content, pictures.Files(folder, content, false));
    writePictures(&payload, content);
    payload.WriteString(encodeSkinText(&lines));
    FCompressedStream->Clear();
    CompressStream(&payload, FCompressedStream.get());
}

void TspCompressedStoredSkin::LoadFromSkinData(TspSkinData* ASkinData) {
    TMemoryStream payload;
    writeInt(&payload, kWriterVersion);
    writePictures(&payload, *ASkinData);
    TMemIniFile ini;
    ASkinData->SaveToCustomIniFile(&ini);
    TStringList lines;
    ini.GetStrings(&lines);
    payload.WriteString(encodeSkinText(&lines));
    FCompressedStream->Clear();
    CompressStream(&payload, FCompressedStream.get());
}

void TspCompressedStoredSkin::SetFileName(const std::string& Value) {
    if (HasState(csDesigning) && !HasState(csLoading)) {
        FFileName = ExtractFileName(Value);
        LoadFromIniFile(Value);
    } else {
        FFileName = Value;
    }
}

void TspCompressedStoredSkin::SetCompressedFileName(const std::string& Value) {
    if (HasState(csDesigning) && !HasState(csLoading)) {
        FCompressedFileName = ExtractFileName(Value);
        LoadFromCompressFile(Value);
    } else {
        FCompressedFileName = Value;
    }
}

// ---- Skin lists
// ---------------------------------------------------------------------------------------

TspSkinListItem::TspSkinListItem(TspSkinListItems* Collection)
    : FCollection(Collection), FSkin(std::make_unique<TspCompressedStoredSkin>(nullptr)) {
    Name = "spSkin" + std::to_string(Collection ? Collection->Count() : 0);
}

TspSkinListItem::~TspSkinListItem() = default;

int TspSkinListItem::Index() const {
    if (!FCollection) return -1;
    for (int i = 0; i < FCollection->Count(); ++i)
        if (FCollection->FItems[size_t(i)].get() == this) return i;
    return -1;
}

void TspSkinListItem::SetFileName(const std::string& Value) {
    TComponent* owner = FCollection ? FCollection->Owner() : nullptr;
    if (owner && owner->HasState(csDesigning) && !owner->HasState(csLoading)) {
        FSkin->LoadFromIniFile(Value);
        FFileName = ExtractFileName(Value);
    } else {
        FFileName = Value;
    }
}

void TspSkinListItem::SetCompressedFileName(const std::string& Value) {
    TComponent* owner = FCollection ? FCollection->Owner() : nullptr;
    if (owner && owner->HasState(csDesigning) && !owner->HasState(csLoading)) {
        FSkin->LoadFromCompressFile(Value);
        FCompressedFileName = ExtractFileName(Value);
    } else {
        FCompressedFileName = Value;
    }
}

TspSkinListItems::~TspSkinListItems() = default;

TspSkinListItem* TspSkinListItems::Add() {
    FItems.push_back(std::make_unique<TspSkinListItem>(this));
    return FItems.back().get();
}

TspSkinListItem* TspSkinListItems::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds");
    return FItems[size_t(Index)].get();
}

void TspSkinListItems::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds");
    FItems.erase(FItems.begin() + Index);
}

void TspSkinListItems::Clear() {
    FItems.clear();
}

TspCompressedSkinList::TspCompressedSkinList(TComponent* AOwner)
    : TComponent(AOwner), FSkins(std::make_unique<TspSkinListItems>(this)) {}

TspCompressedSkinList::~TspCompressedSkinList() = default;

// ---- Skin data
// --------------------------------------------------------------------------------------------

TspSkinContent::TspSkinContent()
    : FSkinColors(std::make_unique<TspSkinColors>()),
      PopupWindow(std::make_unique<TspDataSkinPopupWindow>()),
      LayerFrame(std::make_unique<TspDataSkinLayerFrame>()),
      HintWindow(std::make_unique<TspDataSkinHintWindow>()), FPicture(std::make_unique<TBitmap>()),
      FInActivePicture(std::make_unique<TBitmap>()), FMask(std::make_unique<TBitmap>()),
      FRollUpPicture(std::make_unique<TBitmap>()), FRollUpMask(std::make_unique<TBitmap>()),
      FActivePicturesNames(std::make_unique<TStringList>()),
      FCursorsNames(std::make_unique<TStringList>()) {}

TspSkinContent::~TspSkinContent() = default;
TspSkinContent::TspSkinContent(TspSkinContent&&) noexcept = default;
TspSkinContent& TspSkinContent::operator=(TspSkinContent&&) noexcept = default;

TspSkinData::TspSkinData(TComponent* AOwner) : TComponent(AOwner) {}

TspSkinData::~TspSkinData() {
    Empty = true;
    ClearObjects();
}

void TspSkinData::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FCompressedStoredSkin) FCompressedStoredSkin = nullptr;
    if (AComponent == FResourceStrData) FResourceStrData = nullptr;
    if (AComponent == FCompressedSkinList) FCompressedSkinList = nullptr;
}

void TspSkinData::SetShowLayeredBorders(bool Value) {
    if (FShowLayeredBorders == Value) return;
    FShowLayeredBorders = Value;
    if (!HasState(csDesigning) && !HasState(csLoading))
        SendSkinDataMessage(WM_SKIN_LAYEREDBORDERSCHANGED);
}

void TspSkinData::SetSkinnableForm(bool Value) {
    if (FSkinnableForm == Value) return;
    FSkinnableForm = Value;
    if (!HasState(csDesigning) && !HasState(csLoading))
        SendSkinDataMessage(WM_SKIN_FORMSKINNABLECHANGED);
}

void TspSkinData::SetResourceStrData(TspResourceStrData* Value) {
    if (FResourceStrData && FResourceStrData != Value) RemoveFreeNotification(FResourceStrData);
    FResourceStrData = Value;
    if (Value) FreeNotification(Value);
    if (!HasState(csDesigning)) SendSkinDataMessage(WM_SKIN_RESSTRCHANGED);
}

void TspSkinData::SetCompressedStoredSkin(TspCompressedStoredSkin* Value) {
    if (FCompressedStoredSkin && FCompressedStoredSkin != Value)
        RemoveFreeNotification(FCompressedStoredSkin);
    FCompressedStoredSkin = Value;
    if (!Value) return;
    FreeNotification(Value);
    if (!HasState(csDesigning)) LoadCompressedStoredSkin(Value);
}

void TspSkinData::SetSkinList(TspCompressedSkinList* Value) {
    if (FCompressedSkinList && FCompressedSkinList != Value)
        RemoveFreeNotification(FCompressedSkinList);
    FCompressedSkinList = Value;
    if (!Value) return;
    FreeNotification(Value);
    if (HasState(csDesigning)) return;
    if (FCompressedSkinIndex >= 0 && FCompressedSkinIndex < Value->Skins()->Count())
        LoadCompressedStoredSkin(Value->Skins()->Items(FCompressedSkinIndex)->Skin());
}

void TspSkinData::SetSkinIndex(int32_t Value) {
    if (FCompressedSkinIndex == Value) return;
    if (!FCompressedSkinList) {
        FCompressedSkinIndex = Value;
        return;
    }
    if (Value < 0 || Value >= FCompressedSkinList->Skins()->Count()) return;
    FCompressedSkinIndex = Value;
    if (!HasState(csDesigning))
        LoadCompressedStoredSkin(FCompressedSkinList->Skins()->Items(Value)->Skin());
}

void TspSkinData::ClearObjects() {
    AreaList.clear();
    ObjectList.clear();
    CtrlList.clear();
    FActivePictures.clear();
    PopupWindow->WindowPictureIndex = -1;
    HintWindow->WindowPictureIndex = -1;
    LayerFrame->PictureIndex = -1;
    FCursorsNames->Clear();
    FActivePicturesNames->Clear();
    FSkinColors->SetColorsToDefault();
}

void TspSkinData::ClearAll() {
    ClearObjects();
    for (const FramePicture& f : framePictures(*this)) {
        f.Bitmap->Assign(nullptr);
        f.Name.clear();
    }
    Empty = true;
}

void TspSkinData::ClearSkin() {
    ClearAll();
    SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    SendSkinDataMessage(WM_SKIN_ENDCHANGE);
}

void TspSkinData::AddBitMap(const std::string& FileName) {
    std::string name = ExtractFileName(FileName);
    auto b = std::make_unique<TBitmap>();
    if (IsJpegFileName(name))
        LoadJpegToBitmap(b.get(), FileName);
    else
        b->LoadFromFile(FileName);
    FActivePicturesNames->Add(name);
    FActivePictures.push_back(std::move(b));
}

void TspSkinData::DeleteBitMap(int Index) {
    if (Index < 0 || Index >= int(FActivePictures.size()))
        throw EListError("List index out of bounds");
    if (Index < FActivePicturesNames->Count()) FActivePicturesNames->Delete(Index);
    FActivePictures.erase(FActivePictures.begin() + Index);
}

void TspSkinData::AddSkinArea(const std::string& AName, const TRect& ARect) {
    AreaList.push_back(std::make_unique<TspDataSkinArea>(AName, ARect));
}

namespace {

template <class L> int indexOf(const L& List, const std::string& Name) {
    for (size_t i = 0; i < List.size(); ++i)
        if (List[i]->IDName == Name) return int(i);
    return -1;
}

// The elements of a list section: each entry "<name>:<kind>" of a known
// kind makes an element, which reads its own section.
template <class E>
void readElements(TCustomIniFile* F, const char* Section,
                  std::unique_ptr<E> (*Create)(const std::string&, const std::string&),
                  std::vector<std::unique_ptr<E>>& List) {
    TStringList entries;
    ReadStringList(F, Section, "", &entries);
    for (int i = 0; i < entries.Count(); ++i) {
        const std::string& entry = entries[i];
        size_t colon = entry.find(':');
        if (colon == std::string::npos) continue;
        auto e = Create(entry.substr(colon + 1), entry.substr(0, colon));
        if (!e) continue;
        e->LoadFromFile(F);
        List.push_back(std::move(e));
    }
}

template <class E>
void writeElements(TCustomIniFile* F, const char* Section,
                   const std::vector<std::unique_ptr<E>>& List) {
    F->EraseSection(Section);
    F->WriteInteger(Section, "count", int32_t(List.size()));
    for (size_t i = 0; i < List.size(); ++i) {
        F->WriteString(Section, std::to_string(i), List[i]->IDName + ":" + List[i]->KindWord());
        List[i]->SaveToFile(F);
    }
}

} // namespace

int TspSkinData::GetIndex(const std::string& AIDName) const {
    return indexOf(ObjectList, AIDName);
}

int TspSkinData::GetControlIndex(const std::string& AIDName) const {
    return indexOf(CtrlList, AIDName);
}

int TspSkinData::GetAreaIndex(const std::string& AIDName) const {
    return indexOf(AreaList, AIDName);
}

void TspSkinData::SendSkinDataMessage(UINT M) {
    WPARAM wp = reinterpret_cast<WPARAM>(this);
    TForm* owner = dynamic_cast<TForm*>(Owner());
    TForm* singled = nullptr;
    if (owner && !FShowLayeredBorders) {
        singled = owner;
        SendMessage(owner->Handle(), M, wp, kSkinMessageLParam);
    }
    std::vector<HWND> windows;
    if (Screen) {
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TForm* f = Screen->Forms(i);
            if (f == singled || f->ClassName() == "TspFormLayerWindow") continue;
            windows.push_back(f->Handle());
        }
    }
    if (FShowLayeredBorders && LayerFrame->PictureIndex != -1)
        std::reverse(windows.begin(), windows.end());
    for (HWND w : windows)
        if (IsWindow(w)) SendMessage(w, M, wp, kSkinMessageLParam);
}

// ---- The skin's own sections

void TspSkinContent::VersionKeys(TspSkinKeys& K) {
    // The format number is for other readers: this one reads every text alike.
    if (!K.Reading()) {
        int32_t format = 2;
        K.Int("ver", format, 2);
    }
    K.Text("skinname", SkinName, "");
    K.Text("skinauthor", SkinAuthor, "");
    K.Text("authoremail", AuthorEmail, "");
    K.Text("authorurl", AuthorURL, "");
    K.Text("skincomments", SkinComments, "");
}

void TspSkinContent::PictureKeys(TspSkinKeys& K) {
    K.Text("picture", FPictureName, "");
    K.Text("inactivepicture", FInActivePictureName, "");
    K.Text("mask", FMaskName, "");
    K.Text("rolluppicture", FRollUpPictureName, "");
    K.Text("rollupmask", FRollUpMaskName, "");
    K.List("activepictures", FActivePicturesNames.get());
}

void TspSkinContent::CursorKeys(TspSkinKeys& K) {
    K.Int("startcursorindex", StartCursorIndex, 1);
    if (K.Reading()) StartCursorIndex = std::max(1, StartCursorIndex);
    K.List("cursors", FCursorsNames.get());
}

namespace {

// A masked frame's mask area takes in the client rect, and hit-test points
// left unset fall back to the corners as read.
void settleMaskArea(TspSkinContent& C) {
    if (C.FMaskName.empty()) return;
    TRect& m = C.MaskRectArea;
    if (IsEmptyRect(m)) {
        m = C.ClRect;
    } else {
        m.Left = std::min(m.Left, C.ClRect.Left);
        m.Top = std::min(m.Top, C.ClRect.Top);
        m.Right = std::max(m.Right, C.ClRect.Right);
        m.Bottom = std::max(m.Bottom, C.ClRect.Bottom);
    }
    auto fill = [](TPoint& hit, const TPoint& corner) {
        if (hit.X == 0 || hit.Y == 0) hit = corner;
    };
    fill(C.HitTestLTPoint, C.LTPoint);
    fill(C.HitTestRTPoint, C.RTPoint);
    fill(C.HitTestLBPoint, C.LBPoint);
    fill(C.HitTestRBPoint, C.RBPoint);
}

// Corner points that span an area are pulled onto the client rect.
void pullCornersOntoClient(TspSkinContent& C) {
    if (C.RBPoint.X == C.LTPoint.X || C.RBPoint.Y == C.LTPoint.Y) return;
    const TRect& r = C.ClRect;
    C.LTPoint.X = std::max(C.LTPoint.X, r.Left);
    C.LTPoint.Y = std::max(C.LTPoint.Y, r.Top);
    C.RTPoint.X = std::min(C.RTPoint.X, r.Right);
    C.RTPoint.Y = std::max(C.RTPoint.Y, r.Top);
    C.LBPoint.X = std::max(C.LBPoint.X, r.Left);
    C.LBPoint.Y = std::min(C.LBPoint.Y, r.Bottom);
    C.RBPoint.X = std::min(C.RBPoint.X, r.Right);
    C.RBPoint.Y = std::min(C.RBPoint.Y, r.Bottom);
}

} // namespace

void TspSkinContent::FormInfoKeys(TspSkinKeys& K) {
    K.Point("lefttoppoint", LTPoint);
    K.Point("righttoppoint", RTPoint);
    K.Point("leftbottompoint", LBPoint);
    K.Point("rightbottompoint", RBPoint);
    K.Rect("clientrect", ClRect);
    K.Int("bgpictureindex", BGPictureIndex, -1);
    K.Int("mdibgpictureindex", MDIBGPictureIndex, -1);
    K.Bool("leftstretch", LeftStretch);
    K.Bool("rightstretch", RightStretch);
    K.Bool("topstretch", TopStretch);
    K.Bool("bottomstretch", BottomStretch);
    K.Bool("stretcheffect", StretchEffect);
    K.Enum("stretchtype", StretchType, spStretchTypeWords);
    K.Bool("mdibgstretcheffect", MDIBGStretchEffect);
    K.Enum("mdibgstretchtype", MDIBGStretchType, spStretchTypeWords);
    K.Rect("buttonsrect", ButtonsRect);
    K.Rect("captionrect", CaptionRect);
    K.Int("buttonsoffset", ButtonsOffset, 0);
    K.Bool("buttonsinleft", CapButtonsInLeft);
    K.Rect("maskrectarea", MaskRectArea);
    K.Point("hittestlefttoppoint", HitTestLTPoint);
    K.Point("hittestrighttoppoint", HitTestRTPoint);
    K.Point("hittestleftbottompoint", HitTestLBPoint);
    K.Point("hittestrightbottompoint", HitTestRBPoint);
    K.Point("rollupleftpoint", RollUpLeftPoint);
    K.Point("rolluprightpoint", RollUpRightPoint);
    if (K.Reading()) settleMaskArea(*this);
    K.Rect("mainmenurect", MainMenuRect);
    K.Rect("iconrect", IconRect);
    K.Bool("mainmenupopupup", MainMenuPopupUp);
    K.Int("borderwidth", BorderW, 0);
    K.Int("formminwidth", FormMinWidth, 0);
    K.Bool("mditabstransparent", MDITabsTransparent);
    K.Bool("mainmenubartransparent", MainMenuBarTransparent);
    K.Int("cursorindex", CursorIndex, -1);
    K.Bool("autorenderinginactiveimage", AutoRenderingInActiveImage);
    K.Enum("inactiveeffect", InActiveEffect, spInActiveEffectWords);
    if (K.Reading()) pullCornersOntoClient(*this);
    K.Rect("sizegriparea", SizeGripArea);
    K.Text("statusbarname", StatusBarName, "");
}

void TspSkinData::ReadSkinText(TspSkinContent& C, TCustomIniFile* F, const std::string* Folder) {
    ReadSkinKeys(F, "VERSION", [&](TspSkinKeys& K) { C.VersionKeys(K); });
    ReadSkinKeys(F, "PICTURES", [&](TspSkinKeys& K) { C.PictureKeys(K); });
    if (Folder) {
        PictureReader pictures;
        pictures.DecodeInto(C, pictures.Files(*Folder, C, true));
        ReadSkinKeys(F, "CURSORS", [&](TspSkinKeys& K) { C.CursorKeys(K); });
    }
    ReadSkinKeys(F, "FORMINFO", [&](TspSkinKeys& K) { C.FormInfoKeys(K); });
    C.PopupWindow->LoadFromFile(F);
    C.LayerFrame->LoadFromFile(F);
    C.HintWindow->LoadFromFile(F);
    C.FSkinColors->LoadFromFile(F);

    TStringList areas;
    ReadStringList(F, "SKINAREAS", "", &areas);
    for (int i = 0; i < areas.Count(); ++i) {
        const std::string& entry = areas[i];
        size_t colon = entry.find(':');
        TRect r;
        std::string name;
        if (colon != std::string::npos) {
            name = entry.substr(0, colon);
            SkinStrToRect(entry.substr(colon + 1), r);
        }
        C.AreaList.push_back(std::make_unique<TspDataSkinArea>(name, r));
    }
    readElements(F, "SKINOBJECTS", CreateSkinObject, C.ObjectList);
    readElements(F, "SKINCONTROLS", CreateSkinControl, C.CtrlList);
    checkFramePicture(C);
}

void TspSkinData::ApplyContent(TspSkinContent&& Content) {
    Empty = true;
    ChangeSkinDataProcess = true;
    std::exception_ptr failure;
    try {
        SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    } catch (...) {
        failure = std::current_exception();
    }
    static_cast<TspSkinContent&>(*this) = std::move(Content);
    Empty = false;
    try {
        SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    ChangeSkinDataProcess = false;
    try {
        SendSkinDataMessage(WM_SKIN_ENDCHANGE);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void TspSkinData::LoadFromFile(const std::string& FileName) {
    std::string raw;
    try {
        raw = ReadFileBytes(FileName);
    } catch (const EFOpenError&) {
        return; // a missing file reads as an empty text, which is no skin
    }
    TMemIniFile ini;
    ini.SetText(decodeSkinText(raw));
    if (!isSkinText(&ini)) return;
    TspSkinContent content;
    std::string folder = ExtractFilePath(FileName);
    ReadSkinText(content, &ini, &folder);
    ApplyContent(std::move(content));
}

void TspSkinData::DecodePayload(TspSkinContent& C, TMemoryStream* P, int32_t Version) {
    PictureReader pictures;
    PictureReader::Slots slots;
    int* frame = slots.Frames; // frame, inactive, mask, roll-up, roll-up mask
    frame[0] = pictures.Slot(P);
    if (Version == 2 || Version == 3) frame[1] = pictures.Slot(P);
    frame[2] = pictures.Slot(P);
    if (Version == 1 || Version == 2) {
        frame[3] = pictures.Slot(P);
        frame[4] = pictures.Slot(P);
    }
    int32_t count = readInt(P);
    // Every bitmap file takes at least 54 bytes.
    if (count > 0 && int64_t(count) > (P->Size() - P->Position()) / 54)
        throw ESkinDataError("Skin picture count is damaged");
    for (int32_t i = 0; i < count; ++i)
        slots.List.push_back(pictures.Image(P));
    pictures.DecodeInto(C, slots);
}

void TspSkinData::LoadCompressedStoredSkin(TspCompressedStoredSkin* AStoredSkin) {
    if (!AStoredSkin || AStoredSkin->Empty()) return;
    TMemoryStream payload;
    AStoredSkin->DeCompressToStream(&payload);
    payload.SetPosition(0);
    int32_t version = readInt(&payload);
    if (version > 3) {
        // A payload of a later format: the skin is cleared and the change closed.
        Empty = true;
        ChangeSkinDataProcess = true;
        SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
        ClearAll();
        ChangeSkinDataProcess = false;
        SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
        SendSkinDataMessage(WM_SKIN_ENDCHANGE);
        return;
    }
    TspSkinContent content;
    content.StartCursorIndex = StartCursorIndex;
    DecodePayload(content, &payload, version);
    TMemIniFile ini;
    ini.SetText(decodeSkinText(payload.ReadAll()));
    ReadSkinText(content, &ini, nullptr);
    ApplyContent(std::move(content));
}

void TspSkinData::LoadFromCompressedFile(const std::string& FileName) {
    auto stored = std::make_unique<TspCompressedStoredSkin>(nullptr);
    stored->LoadFromCompressFile(FileName);
    if (!stored->Empty()) LoadCompressedStoredSkin(stored.get());
}

void TspSkinData::SaveToCustomIniFile(TCustomIniFile* F) {
    WriteSkinKeys(F, "VERSION", [this](TspSkinKeys& K) { VersionKeys(K); });
    WriteSkinKeys(F, "PICTURES", [this](TspSkinKeys& K) { PictureKeys(K); });
    WriteSkinKeys(F, "CURSORS", [this](TspSkinKeys& K) { CursorKeys(K); });
    WriteSkinKeys(F, "FORMINFO", [this](TspSkinKeys& K) { FormInfoKeys(K); });

    PopupWindow->SaveToFile(F);
    LayerFrame->SaveToFile(F);
    HintWindow->SaveToFile(F);

    F->EraseSection("SKINAREAS");
    F->WriteInteger("SKINAREAS", "count", int32_t(AreaList.size()));
    for (size_t i = 0; i < AreaList.size(); ++i)
        F->WriteString("SKINAREAS", std::to_string(i),
                       AreaList[i]->IDName + ":" + SkinRectToStr(AreaList[i]->AreaRect));

    F->EraseSection("SKINCOLORS");
    FSkinColors->SaveToFile(F);

    writeElements(F, "SKINOBJECTS", ObjectList);
    writeElements(F, "SKINCONTROLS", CtrlList);
}

void TspSkinData::SaveToFile(const std::string& FileName) {
    TMemIniFile ini(FileName);
    SaveToCustomIniFile(&ini);
    ini.UpdateFile();
}

void TspSkinData::StoreToDisk(const std::string& APath) {
    SaveToFile(APath + "skin.ini");
    for (const FramePicture& f : framePictures(*this))
        if (!f.Bitmap->Empty() && !f.Name.empty()) f.Bitmap->SaveToFile(pictureFile(APath, f.Name));
    // Each list is walked by its own count: pictures and names can differ in
    // number after a compressed skin whose text and payload disagree.
    int n = std::min(int(FActivePictures.size()), FActivePicturesNames->Count());
    for (int i = 0; i < n; ++i)
        FActivePictures[size_t(i)]->SaveToFile(pictureFile(APath, (*FActivePicturesNames)[i]));
}

void TspSkinData::SaveToCompressedFile(const std::string& FileName) {
    auto stored = std::make_unique<TspCompressedStoredSkin>(nullptr);
    stored->LoadFromSkinData(this);
    stored->SaveToCompressFile(FileName);
}

void MorphEffectBmp(TspEffectBmp* A, TspEffectBmp* B, TMorphKind Kind, double Kf) {
    switch (Kind) {
    case mkGradient:
        A->MorphGrad(B, Kf);
        break;
    case mkLeftGradient:
        A->MorphLeftGrad(B, Kf);
        break;
    case mkRightGradient:
        A->MorphRightGrad(B, Kf);
        break;
    case mkLeftSlide:
        A->MorphLeftSlide(B, Kf);
        break;
    case mkRightSlide:
        A->MorphRightSlide(B, Kf);
        break;
    case mkPush:
        A->MorphPush(B, Kf);
        break;
    default:
        A->Morph(B, Kf);
        break;
    }
}

void MorphBitmapInto(TBitmap* A, TBitmap* B, TMorphKind Kind, double Kf) {
    auto ea = TspEffectBmp::CreateFromhWnd(A->Handle());
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!ea || !eb) return;
    MorphEffectBmp(ea.get(), eb.get(), Kind, Kf);
    ea->Draw(A->Canvas()->Handle(), 0, 0);
}
