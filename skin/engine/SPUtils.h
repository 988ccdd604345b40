// Skin value codecs, platform helpers and the drawing and geometry routines
// every skinned window and control uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/inifiles.h"
#include "classlib/strings.h"
#include "classlib/timer.h"
#include "classlib/types.h"
#include "platform/win/types.h"

class TStream;
class TControl;

// ---- Skin value codecs --------------------------------------------------------

// Numeric parts split by ","; digits kept, a "-" before a part's first digit
// kept, everything else skipped. Parts beyond four (two for a point) are
// ignored. A part without digits or outside 32 bits raises EConvertError.
void SkinStrToRect(const std::string& S, TRect& R);
void SkinStrToPoint(const std::string& S, TPoint& P);
std::string SkinRectToStr(const TRect& R);

void ReadRect(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
              TRect& R);
void ReadPoint(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
               TPoint& P);
bool ReadBoolean(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident);
TFontStyles ReadFontStyles(TCustomIniFile* IniFile, const std::string& Section,
                           const std::string& Ident);
void ReadStrings(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                 TStrings* S);
void ReadStringList(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                    TStrings* S);
TAlignment ReadAlignment(TCustomIniFile* IniFile, const std::string& Section,
                         const std::string& Ident);

void WriteRect(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
               const TRect& R);
void WritePoint(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                const TPoint& P);
void WriteBoolean(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                  bool B);
void WriteFontStyles(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                     TFontStyles FS);
void WriteStrings(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                  TStrings* S);
void WriteStringList(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                     TStrings* S);
void WriteAlignment(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                    TAlignment A);

// A 32-bit little-endian count of UTF-16 units, then the units. Reading a
// count that is negative or larger than what the stream still holds raises
// EReadError and leaves S alone.
void WriteStreamString(TStream* S, const std::string& Str);
void ReadStreamString(TStream* S, std::string& Str);

void GetNextToken(std::string& S, std::string& T);
void TokensToRect(const std::string& S, TRect& R);

// ---- Platform helpers -----------------------------------------------------------

void GetWindowsVersion(int& Major, int& Minor);
// The version tests of the running system, and the rules they apply to a
// version number.
bool IsWindowsVistaOrLater();
bool IsWindowsXPOrLater();
bool IsWindows2000OrLater();
bool IsWindowsVistaOrLater(int Major, int Minor);
bool IsWindowsXPOrLater(int Major, int Minor);
bool IsWindows2000OrLater(int Major, int Minor);
bool IsMultiMonitor();
void GetScreenArea(bool WorkArea, TRect& R);
void GetMonitorArea(HWND Window, bool WorkArea, TRect& R);
bool HasMMX();
void EmptyMMXState();
bool IsTransparentBltAvailable();
int ScreenColorDepth();
bool IsTrueColorScreen();
bool IsNT();

// ---- Rectangles and points --------------------------------------------------------

int RectWidth(const TRect& R);
int RectHeight(const TRect& R);
bool IsEmptyRect(const TRect& R);
void MakeNullRect(TRect& R);
bool RectsEqual(const TRect& A, const TRect& B);
bool IsNullPoint(const TPoint& P);
bool RectContainsPoint(const TRect& R, const TPoint& P);
bool RectInsideRect(const TRect& A, const TRect& B);
int IntMax(int A, int B);
int IntMin(int A, int B);

// ---- Text ---------------------------------------------------------------------------

int DrawWideText(TCanvas* Canvas, const std::u16string& S, TRect& R, UINT Format);
int WideTextWidth(TCanvas* Canvas, const std::u16string& S);
int WideTextHeight(TCanvas* Canvas, const std::u16string& S);
void DrawVCenteredText(TCanvas* Canvas, const std::string& S, const TRect& R);
void TextRectVCentered(TCanvas* Canvas, const std::string& S, const TRect& R);
void TextRectVCenteredIndent(TCanvas* Canvas, const std::string& S, const TRect& R, int Indent);
void FitTextToWidth(TCanvas* Canvas, std::string& S, int MaxWidth);
void FitWideTextToWidth(TCanvas* Canvas, std::u16string& S, int MaxWidth);

enum TspButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

void CalcGlyphTextLayout(TspButtonLayout Layout, const TRect& R, int GW, int GH, int TW, int TH,
                         int Spacing, int Margin, int& TX, int& TY, int& GX, int& GY);
void DrawImageAndText(TCanvas* Canvas, const TRect& R, int Margin, int Spacing,
                      TspButtonLayout Layout, const std::string& Caption, int ImageIndex,
                      TCustomImageList* ImageList, bool Down, bool Enabled, bool DrawMarker,
                      TColor MarkerColor);
void DrawGlyphAndText(TCanvas* Canvas, const TRect& R, int Margin, int Spacing,
                      TspButtonLayout Layout, const std::string& Caption, TBitmap* Bitmap,
                      int NumGlyphs, int GlyphNum, bool Down, bool DrawMarker, TColor MarkerColor);

// ---- Background and pictures ----------------------------------------------------------

// Paints into Canvas what lies under the control: the parent's background
// (and, unless the parent is a form, its content) and the window-less
// siblings before the control that overlap it.
void DrawParentBackground(TControl* Control, TCanvas* Canvas);
void DrawParentBackgroundOffset(TControl* Control, const TRect& Offset, TCanvas* Canvas);
void CaptureScreenToBitmap(int X, int Y, TBitmap* Bitmap);
void DrawGlyphFromStrip(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap, int NumGlyphs,
                        int GlyphNum);
TColor DarkenColor(TColor Color, int Percent);
bool IsJpegFileName(const std::string& FileName);
void LoadJpegToBitmap(TBitmap* Bitmap, const std::string& FileName);

// ---- Marks and caption glyphs -------------------------------------------------------------

void DrawDottedFocusRect(TCanvas* Canvas, const TRect& R);
void DrawDropDownArrow(TCanvas* Canvas, const TRect& R, TColor Color);
void DrawArrow(TCanvas* Canvas, const TRect& R, TColor Color, int Direction);
void DrawRadioMark(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawCheckMark(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawCloseGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawSysMenuGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawMinimizeGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawMaximizeGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawRestoreGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawRollDownGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawRollUpGlyph(TCanvas* Canvas, int X, int Y, TColor Color);
void DrawTrayGlyph(TCanvas* Canvas, int X, int Y, TColor Color);

// ---- Layered windows --------------------------------------------------------------------

class TspBitmap;

// Hands Bitmap (with its per-pixel alpha, under the constant Alpha) to the
// control's window at the control's Left and Top.
void UpdateLayeredFromBitmap(TspBitmap* Bitmap, uint8_t Alpha, TWinControl* Control);
// Constant opacity of a window that carries WS_EX_LAYERED.
void SetLayeredAlpha(HWND Window, uint8_t Alpha);
// Bitmap takes AImage, with each pixel's alpha the grey level of AImageMask.
void BuildLayerBitmap(TBitmap* AImage, TBitmap* AImageMask, TspBitmap* Bitmap);

// A borderless tool window that never takes activation; its look comes from
// UpdateLayeredFromBitmap.
class TspLayerWindow : public TCustomControl {
public:
    explicit TspLayerWindow(TComponent* AOwner);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
};

// Shows one picture as a layered popup window that fades in.
class TspLayerManager : public TComponent {
public:
    explicit TspLayerManager(TComponent* AOwner);
    ~TspLayerManager() override;

    // Shows AImage at screen point (X, Y) with the alpha of AImageMask, fading
    // in over ten ticks of 25 ms to the constant alpha AAlphaBlendValue.
    void Show(int X, int Y, TBitmap* AImage, TBitmap* AImageMask, int AAlphaBlendValue);
    void Hide();
    void StartTimer();
    void StopTimer();

    std::unique_ptr<TspLayerWindow> LayerWindow;
    std::unique_ptr<TspBitmap> Bmp;
    std::unique_ptr<TTimer> Timer;
    int EndAlphaBlendValue = 0;
    int BeginAlphaBlendValue = 0;
    int StepAlphaBlendValue = 0;
    bool IsVisible = false;
    bool TopMostMode = true;

private:
    void FadeStep(TObject* Sender);
};

// ---- Skin image building and regions ----------------------------------------------------

// How the client part of a nine-part image is filled.
enum TspStretchType { spstFull, spstHorz, spstVert };

// A 24-bit top-down copy of a bitmap, for scanning masks.
class TFBitmap {
public:
    explicit TFBitmap(HBITMAP Source);
    ~TFBitmap();
    TFBitmap(const TFBitmap&) = delete;
    TFBitmap& operator=(const TFBitmap&) = delete;

    uint8_t* Bits = nullptr;
    std::vector<uint8_t*> Pixels; // row pointers
    int Gap = 0;
    int RowInc = 0;
    int Size = 0;
    int Width = 0;
    int Height = 0;
    HBITMAP Handle = nullptr;
    HDC hDC = nullptr;
    BITMAPINFO bmInfo{};
    BITMAPINFOHEADER bmHeader{};
};

// Source coordinates are relative to R's top-left corner; the destination
// takes the size W by H.
void BuildSkinImage(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                    TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                    TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R, int W, int H,
                    bool DrawClient, bool LeftStretch, bool TopStretch, bool RightStretch,
                    bool BottomStretch, bool StretchEffect, TspStretchType StretchType);
void BuildPopupSkinImage(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                         TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                         TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R, int W, int H,
                         bool DrawClient, bool LeftStretch, bool TopStretch, bool RightStretch,
                         bool BottomStretch, bool StretchEffect, TspStretchType StretchType);
// The nine-part image without right side and right corners; RightStretch is ignored.
void BuildSkinImageNoRight(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                           TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                           TPoint NewRBPoint, TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R,
                           int W, int H, bool DrawClient, bool LeftStretch, bool TopStretch,
                           bool RightStretch, bool BottomStretch, bool StretchEffect,
                           TspStretchType StretchType);
// B keeps its size; C is relative to R and gives the corners; everything stretches.
void BuildStretchedSkinImage(TBitmap* B, TBitmap* SB, TRect R, TRect C, bool DrawClient);
void BuildHorzSkinImage(int ALeftOffset, int ARightOffset, TBitmap* B, TBitmap* SB, TRect R,
                        int AWidth, int AHeight, bool AStretch);
void BuildHorzSkinImageNoRight(int ALeftOffset, int ARightOffset, TBitmap* B, TBitmap* SB, TRect R,
                               int AWidth, int AHeight, bool AStretch);
void BuildVertSkinImage(int ATopOffset, int ABottomOffset, TBitmap* B, TBitmap* SB, TRect R,
                        int AWidth, int AHeight, bool AStretch);
void BuildSkinBorderImages(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                           TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                           TPoint NewRBPoint, TRect NewClRect, TBitmap* LeftB, TBitmap* TopB,
                           TBitmap* RightB, TBitmap* BottomB, TBitmap* SB, TRect R, int W, int H,
                           bool LeftStretch, bool TopStretch, bool RightStretch,
                           bool BottomStretch);
// Mask is the part's mask at its design size.
void BuildSkinMaskSides(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                        TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                        TRect NewClRect, TBitmap* Mask, TBitmap* TopB, TBitmap* LeftB,
                        TBitmap* RightB, TBitmap* BottomB, int W, int H);
// Rgn is null when the geometry leaves no client rectangle.
void BuildSkinMaskRegion(HRGN& Rgn, TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt,
                         TRect ClRect, TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                         TPoint NewRBPoint, TRect NewClRect, TBitmap* Mask, int W, int H);
// The black pixels of Mask as row runs offset by (X, Y), in a region data
// block; returns its size in bytes (0 and no block for an empty mask).
int MaskToRegionData(TBitmap* Mask, int X, int Y, std::vector<uint8_t>& Data);
void MaskToRegion(HRGN& Rgn, TBitmap* Mask);
