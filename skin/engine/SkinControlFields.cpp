// The field lists of the control elements (the SKINCONTROLS list) and the
// kind words that make them.
#include "skin/engine/SkinData.h"

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

// ---- Kinds -------------------------------------------------------------------------------------

namespace {

template <class T> std::unique_ptr<TspDataSkinControl> makeControl(const std::string& N) {
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

} // namespace

std::unique_ptr<TspDataSkinControl> CreateSkinControl(const std::string& Word,
                                                      const std::string& AIDName) {
    for (const ControlKind& k : kControlKinds)
        if (Word == k.Word) return k.Make(AIDName);
    return nullptr;
}
