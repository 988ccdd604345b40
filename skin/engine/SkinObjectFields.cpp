// The field lists of the form-frame objects (the SKINOBJECTS list) and the
// kind words that make them.
#include "skin/engine/SkinData.h"

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

// ---- Kinds -------------------------------------------------------------------------------------

namespace {

template <class T> std::unique_ptr<TspDataSkinObject> makeObject(const std::string& N) {
    return std::make_unique<T>(N);
}

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

std::unique_ptr<TspDataSkinObject> CreateSkinObject(const std::string& Word,
                                                    const std::string& AIDName) {
    for (const ObjectKind& k : kObjectKinds)
        if (Word == k.Word) return k.Make(AIDName);
    return nullptr;
}
