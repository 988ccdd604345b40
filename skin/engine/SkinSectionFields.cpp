// The field lists of the sections with a fixed name: the skin's own VERSION,
// PICTURES, CURSORS and FORMINFO, the popup, layer-frame and hint windows,
// and the colours.
#include "skin/engine/SkinData.h"

#include <algorithm>

// ---- The skin's own sections -------------------------------------------------------------------

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

// ---- Window sections ---------------------------------------------------------------------------

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

// ---- Colours -----------------------------------------------------------------------------------

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
