// Draws the shipped skins and packs them. Usage:
//   skinbuilder <folder-skins-dir> <compressed-skins-dir>
// Each skin is written as a folder skin (skin.ini and its pictures, plus
// preview PNGs) under <folder-skins-dir>/<Name>/ and packed from there into
// <compressed-skins-dir>/<Name>.skn.
#include "classlib/sysutils.h"
#include "skin/engine/SkinData.h"
#include "tools/skinbuilder/painter.h"

#include <cstdio>
#include <functional>
#include <string>

namespace {

struct Palette {
    const char* Name;
    const char* Comment;
    uint32_t Face, Surface, Border, BorderStrong, Text, TextMuted, TextDisabled;
    uint32_t Accent, AccentHover, AccentDown, AccentSoft, Hover, Down, DisabledSurface;
    uint32_t Caption, CaptionText, CaptionTextInactive, CloseHover, CloseDown;
    uint32_t Track, Thumb, ThumbHover, ThumbDown, HintBg, HintText, OnAccent;
};

// A light theme and a dark one with the same layout.
const Palette kLight{"Default", "Light, flat look with a blue accent.",
                     0xF4F5F7,  0xFFFFFF,
                     0xD0D5DC,  0xB3BAC4,
                     0x1F2328,  0x5B636E,
                     0xA3AAB3,  0x2F6FEB,
                     0x2560D4,  0x1D4FB3,
                     0xDCE7FD,  0xEEF2F7,
                     0xE1E8F2,  0xF1F2F4,
                     0xFFFFFF,  0x1F2328,
                     0x8A929C,  0xE5484D,
                     0xC73A3F,  0xECEEF1,
                     0xC3C9D1,  0xA7AFB9,
                     0x8C95A1,  0x2B3036,
                     0xF2F4F7,  0xFFFFFF};
const Palette kDark{"Graphite", "Dark, flat look with a blue accent.",
                    0x1F2226,   0x2A2E34,
                    0x3B4149,   0x4A515B,
                    0xE6E9ED,   0xA9B1BB,
                    0x666E78,   0x4C8DFF,
                    0x6A9FFF,   0x3A78E6,
                    0x2B3F63,   0x343940,
                    0x3D434B,   0x25282D,
                    0x181A1E,   0xE6E9ED,
                    0x7D858F,   0xE5484D,
                    0xC73A3F,   0x2C3036,
                    0x4D545E,   0x5F6772,
                    0x717A86,   0xE6E9ED,
                    0x1F2328,   0xFFFFFF};

// Skin colours are stored as the class library's colours: blue in the high byte.
TColor tc(uint32_t rgb) {
    return TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

TRect rel(const TRect& r, const TRect& base) {
    return TRect(r.Left - base.Left, r.Top - base.Top, r.Right - base.Left, r.Bottom - base.Top);
}

TRect inset(const TRect& r, int d) {
    return TRect(r.Left + d, r.Top + d, r.Right - d, r.Bottom - d);
}

class SkinBuilder {
public:
    explicit SkinBuilder(const Palette& p) : P(p), A(512, 1024, p.Face), Pk(512) {}

    void Build(TspSkinData& d) {
        D = &d;
        d.SkinName = P.Name;
        d.SkinAuthor = "Lantrove";
        d.SkinComments = P.Comment;
        Frame();
        Colors();
        Windows();
        Buttons();
        CheckRadio();
        Edits();
        Lists();
        ScrollBars();
        Tabs();
        UpDowns();
        Labels();
        Panels();
        Gauges();
        TrackBars();
        MenuBar();
        MenuItems();
        A.CropHeight(Pk.Height());
        d.FActivePicturesNames->Add("controls.bmp");
        d.FActivePictures.push_back(A.ToBitmap());
        TBitmap* all = d.FActivePictures.back().get();
        auto popup = std::make_unique<TBitmap>(PopupPiece.Width(), PopupPiece.Height());
        popup->Canvas()->CopyRect(TRect(0, 0, PopupPiece.Width(), PopupPiece.Height()),
                                  all->Canvas(), PopupPiece);
        d.FActivePicturesNames->Add("popup.bmp");
        d.FActivePictures.push_back(std::move(popup));
        auto hint = std::make_unique<TBitmap>(HintPiece.Width(), HintPiece.Height());
        hint->Canvas()->CopyRect(TRect(0, 0, HintPiece.Width(), HintPiece.Height()), all->Canvas(),
                                 HintPiece);
        d.FActivePicturesNames->Add("hint.bmp");
        d.FActivePictures.push_back(std::move(hint));
        d.Empty = false;
    }
    Pixmap A; // the controls picture
    TRect PopupPiece, HintPiece;
    std::unique_ptr<Pixmap> FrameActive, FrameInactive;

private:
    const Palette& P;
    ShelfPacker Pk;
    TspSkinData* D = nullptr;

    template <class T> T* Control(const std::string& name) {
        auto c = std::make_unique<T>(name);
        T* raw = c.get();
        raw->PictureIndex = 0;
        D->CtrlList.push_back(std::move(c));
        return raw;
    }
    template <class T> T* Object(const std::string& name) {
        auto o = std::make_unique<T>(name);
        T* raw = o.get();
        raw->ActivePictureIndex = 0;
        D->ObjectList.push_back(std::move(o));
        return raw;
    }
    // A piece of the controls picture drawn on the face colour.
    TRect Piece(int w, int h, uint32_t bg) {
        TRect r = Pk.Place(w, h);
        A.Fill(r, bg);
        return r;
    }
    static void Corners(TspDataSkinCustomControl* c, int l, int t, int r, int b) {
        int w = c->SkinRect.Width(), h = c->SkinRect.Height();
        c->LTPoint = {l, t};
        c->RTPoint = {w - r, t};
        c->LBPoint = {l, h - b};
        c->RBPoint = {w - r, h - b};
        c->ClRect = {l, t, w - r, h - b};
        c->LeftStretch = c->TopStretch = c->RightStretch = c->BottomStretch = true;
        c->StretchEffect = true;
        c->StretchType = spstFull;
    }
    template <class T> void Font(T* c, uint32_t color, int height = 13) {
        c->FontName = "Arial";
        c->FontHeight = height;
        c->FontColor = tc(color);
    }

    // ---- Glyphs ----------------------------------------------------------------------------
    void Chevron(Pixmap& pm, double cx, double cy, int dir, uint32_t c, double s = 3.5) {
        // dir: 1 left, 2 right, 3 up, 4 down
        double w = 1.6;
        if (dir == 4) {
            pm.Line(cx - s, cy - s / 2, cx, cy + s / 2, w, c);
            pm.Line(cx, cy + s / 2, cx + s, cy - s / 2, w, c);
        } else if (dir == 3) {
            pm.Line(cx - s, cy + s / 2, cx, cy - s / 2, w, c);
            pm.Line(cx, cy - s / 2, cx + s, cy + s / 2, w, c);
        } else if (dir == 2) {
            pm.Line(cx - s / 2, cy - s, cx + s / 2, cy, w, c);
            pm.Line(cx + s / 2, cy, cx - s / 2, cy + s, w, c);
        } else {
            pm.Line(cx + s / 2, cy - s, cx - s / 2, cy, w, c);
            pm.Line(cx - s / 2, cy, cx + s / 2, cy + s, w, c);
        }
    }
    void Check(Pixmap& pm, const TRect& box, uint32_t c) {
        double x = box.Left, y = box.Top;
        pm.Line(x + 4, y + 8.5, x + 7, y + 11.5, 2, c);
        pm.Line(x + 7, y + 11.5, x + 12.5, y + 5, 2, c);
    }
    void CaptionGlyph(Pixmap& pm, const TRect& r, int kind, uint32_t c) {
        double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
        switch (kind) {
        case 0: // close
            pm.Line(cx - 5, cy - 5, cx + 5, cy + 5, 1.3, c);
            pm.Line(cx + 5, cy - 5, cx - 5, cy + 5, 1.3, c);
            break;
        case 1: // maximize
            pm.RoundRect(TRect(int(cx) - 5, int(cy) - 5, int(cx) + 5, int(cy) + 5), 1.5,
                         pm.At(int(cx), int(cy)), c, 1.2);
            break;
        case 2: // minimize
            pm.Line(cx - 5, cy + 0.5, cx + 5, cy + 0.5, 1.3, c);
            break;
        case 3: { // restore
            uint32_t bg = pm.At(int(cx), int(cy));
            pm.RoundRect(TRect(int(cx) - 3, int(cy) - 6, int(cx) + 6, int(cy) + 3), 1.5, bg, c,
                         1.2);
            pm.RoundRect(TRect(int(cx) - 6, int(cy) - 3, int(cx) + 3, int(cy) + 6), 1.5, bg, c,
                         1.2);
            break;
        }
        }
    }

    // ---- Form frame --------------------------------------------------------------------------
    void DrawFrame(Pixmap& f, bool active) {
        const int W = f.Width(), H = f.Height();
        f.Fill(TRect(0, 0, W, H), P.BorderStrong);
        f.Fill(TRect(1, 1, W - 1, 32), P.Caption);
        f.Fill(TRect(1, 32, W - 1, H - 1), P.Face);
        f.Fill(TRect(1, 31, W - 1, 32), P.Border);
        // The program's mark: an accent tile with a note.
        uint32_t mark = active ? P.Accent : P.TextMuted;
        f.RoundRect(TRect(10, 8, 26, 24), 4, mark);
        f.Circle(15.5, 19, 2.4, P.OnAccent);
        f.Line(17.6, 19, 17.6, 11.5, 1.4, P.OnAccent);
        f.Line(17.6, 11.5, 21.5, 13, 1.4, P.OnAccent);
        uint32_t glyph = active ? P.Text : P.CaptionTextInactive;
        CaptionGlyph(f, TRect(W - 133, 1, W - 89, 32), 2, glyph);
        CaptionGlyph(f, TRect(W - 89, 1, W - 45, 32), 1, glyph);
        CaptionGlyph(f, TRect(W - 45, 1, W - 1, 32), 0, glyph);
    }

    void Frame() {
        const int W = 420, H = 120;
        FrameActive = std::make_unique<Pixmap>(W, H, P.Face);
        FrameInactive = std::make_unique<Pixmap>(W, H, P.Face);
        DrawFrame(*FrameActive, true);
        DrawFrame(*FrameInactive, false);
        D->FPictureName = "frame.bmp";
        D->FPicture = FrameActive->ToBitmap();
        D->FInActivePictureName = "frame_inactive.bmp";
        D->FInActivePicture = FrameInactive->ToBitmap();
        D->ClRect = {1, 32, W - 1, H - 1};
        D->LTPoint = {34, 32};
        D->RTPoint = {W - 140, 32};
        D->LBPoint = {34, H - 1};
        D->RBPoint = {W - 140, H - 1};
        D->LeftStretch = D->TopStretch = D->RightStretch = D->BottomStretch = true;
        D->StretchEffect = true;
        D->StretchType = spstFull;
        D->CaptionRect = {33, 1, W - 140, 31}; // starts in the left corner part: it stretches
        D->ButtonsRect = {W - 133, 1, W - 1, 32};
        D->IconRect = {10, 8, 26, 24};
        D->BorderW = 4;
        // Corners of the resize band: 8 pixels from each corner of the frame.
        D->HitTestLTPoint = {8, 8};
        D->HitTestRTPoint = {W - 8, 8};
        D->HitTestLBPoint = {8, H - 8};
        D->HitTestRBPoint = {W - 8, H - 8};
        D->FormMinWidth = 240;
        D->InActiveEffect = ieBrightness;
        D->StatusBarName = "statusbar";
        D->SizeGripArea = {W - 14, H - 14, W - 1, H - 1};

        auto* cap = Object<TspDataSkinCaption>("caption");
        cap->ActivePictureIndex = -1;
        cap->SkinRect = D->CaptionRect;
        cap->TextRct = {0, 0, cap->SkinRect.Width(), cap->SkinRect.Height()};
        cap->FontName = "Arial";
        cap->FontHeight = 14;
        cap->FontColor = tc(P.CaptionTextInactive);
        cap->ActiveFontColor = tc(P.CaptionText);
        cap->Alignment = taLeftJustify;
        cap->StretchEffect = true;

        struct Btn {
            const char* Name;
            const char* Hint;
            TStdCommand Cmd;
            int Glyph, Left;
        };
        for (Btn b : {Btn{"minbutton", "Minimize", cmMinimize, 2, W - 133},
                      Btn{"maxbutton", "Maximize", cmMaximize, 1, W - 89},
                      Btn{"closebutton", "Close", cmClose, 0, W - 45}}) {
            auto* o = Object<TspDataSkinStdButton>(b.Name);
            o->Hint = b.Hint;
            o->Command = b.Cmd;
            // The normal look is drawn into the frame picture; the other states
            // come from the controls picture.
            o->SkinRectInAPicture = false;
            o->SkinRect = {b.Left, 1, b.Left + 44, 31}; // above the caption's bottom line
            bool close = b.Cmd == cmClose;
            auto state = [&](uint32_t bg, uint32_t fg, int glyph) {
                TRect r = Piece(44, 30, bg);
                CaptionGlyph(A, r, glyph, fg);
                return r;
            };
            o->ActiveSkinRect =
                state(close ? P.CloseHover : P.Hover, close ? P.OnAccent : P.Text, b.Glyph);
            o->DownRect = state(close ? P.CloseDown : P.Down, close ? P.OnAccent : P.Text, b.Glyph);
            o->InActiveSkinRect = state(P.Caption, P.CaptionTextInactive, b.Glyph);
            // A button the form switches off (its border icons) looks it.
            o->DisableSkinRect = state(P.Caption, P.TextDisabled, b.Glyph);
            if (b.Cmd == cmMaximize) {
                o->RestoreRect = state(P.Caption, P.Text, 3);
                o->RestoreActiveRect = state(P.Hover, P.Text, 3);
                o->RestoreDownRect = state(P.Down, P.Text, 3);
                o->RestoreInActiveRect = state(P.Caption, P.CaptionTextInactive, 3);
                o->RestoreHint = "Restore";
            }
        }
    }

    void Colors() {
        TspSkinColors* c = D->SkinColors();
        c->SetcBtnFace(tc(P.Face));
        c->SetcBtnText(tc(P.Text));
        c->SetcWindow(tc(P.Surface));
        c->SetcWindowText(tc(P.Text));
        c->SetcHighLight(tc(P.Accent));
        c->SetcHighLightText(tc(P.OnAccent));
        c->SetcBtnHighLight(tc(P.Surface));
        c->SetcBtnShadow(tc(P.Border));
        c->Setc3DLight(tc(P.Hover));
        c->Setc3DDkShadow(tc(P.BorderStrong));
    }

    void Windows() {
        TRect pop = Piece(48, 48, P.Border);
        A.Fill(inset(pop, 1), P.Surface);
        PopupPiece = pop;
        auto* w = D->PopupWindow.get();
        // The popup frame is a picture of its own: its points are relative to it.
        w->WindowPictureIndex = 1;
        w->LTPoint = {6, 6};
        w->RTPoint = {42, 6};
        w->LBPoint = {6, 42};
        w->RBPoint = {42, 42};
        w->ItemsRect = {4, 4, 44, 44};
        w->ScrollMarkerColor = tc(P.TextMuted);
        w->ScrollMarkerActiveColor = tc(P.Accent);
        w->TopStretch = w->LeftStretch = w->RightStretch = w->BottomStretch = true;
        w->StretchEffect = true;

        // The hint window's picture is a picture of its own too: a hint is
        // the size of that picture stretched to its text.
        HintPiece = Piece(32, 24, P.BorderStrong);
        A.Fill(inset(HintPiece, 1), P.HintBg);
        auto* h = D->HintWindow.get();
        h->WindowPictureIndex = 2;
        h->LTPoint = {4, 4};
        h->RTPoint = {28, 4};
        h->LBPoint = {4, 20};
        h->RBPoint = {28, 20};
        h->ClRect = {7, 4, 25, 20};
        h->FontName = "Arial";
        h->FontHeight = 12;
        h->FontColor = tc(P.HintText);
        h->TopStretch = h->LeftStretch = h->RightStretch = h->BottomStretch = true;
        h->StretchEffect = true;
    }

    // ---- Buttons
    // ---------------------------------------------------------------------------------
    TRect ButtonFace(int w, int h, uint32_t fill, uint32_t border, double radius = 4) {
        TRect r = Piece(w, h, P.Face);
        A.RoundRect(r, radius, fill, border, border == fill ? 0 : 1);
        return r;
    }

    void ButtonElement(TspDataSkinButtonControl* b, bool flat, int w = 64, int h = 28) {
        b->SkinRect = ButtonFace(w, h, flat ? P.Face : P.Surface, flat ? P.Face : P.Border);
        b->ActiveSkinRect = ButtonFace(w, h, P.Hover, flat ? P.Hover : P.BorderStrong);
        b->DownSkinRect = ButtonFace(w, h, P.Down, flat ? P.Down : P.BorderStrong);
        b->DisabledSkinRect =
            ButtonFace(w, h, flat ? P.Face : P.DisabledSurface, flat ? P.Face : P.Border);
        b->FocusedSkinRect = ButtonFace(w, h, flat ? P.Face : P.Surface, P.Accent);
        Corners(b, 6, 6, 6, 6);
        Font(b, P.Text);
        b->ActiveFontColor = tc(P.Text);
        b->DownFontColor = tc(P.Text);
        b->DisabledFontColor = tc(P.TextDisabled);
        b->AnimateInterval = 25;
    }

    void Buttons() {
        for (const char* n : {"button", "resizebutton", "bigtoolbutton", "menuitembutton"})
            ButtonElement(Control<TspDataSkinButtonControl>(n), false);
        for (const char* n :
             {"toolbutton", "resizetoolbutton", "htracktoolbutton", "vtracktoolbutton"})
            ButtonElement(Control<TspDataSkinButtonControl>(n), true);
        for (const char* n : {"combobutton", "editbutton"})
            ButtonElement(Control<TspDataSkinButtonControl>(n), true, 20, 20);

        auto* m = Control<TspDataSkinMenuButtonControl>("toolmenubutton");
        ButtonElement(m, true, 76, 28);
        m->TrackButtonRect = {m->SkinRect.Width() - 16, 0, m->SkinRect.Width(), 28};
        auto marker = [&](uint32_t bg) {
            TRect r = Piece(10, 8, bg);
            Chevron(A, r.Left + 5, r.Top + 4, 4, P.TextMuted, 3);
            return r;
        };
        m->MenuMarkerFlatRect = marker(P.Face);
        m->MenuMarkerRect = marker(P.Face);
        m->MenuMarkerActiveRect = marker(P.Hover);
        m->MenuMarkerDownRect = marker(P.Down);
        m->MenuMarkerTransparentColor = tc(0xFF00FF);
    }

    // ---- Check and radio boxes
    // ---------------------------------------------------------------------
    TRect Box(bool radio, uint32_t fill, uint32_t border, int mark, uint32_t markColor,
              uint32_t bg) {
        TRect r = Piece(16, 16, bg);
        if (radio)
            A.Circle(r.Left + 8, r.Top + 8, 7.5, fill, border, border == fill ? 0 : 1.2);
        else
            A.RoundRect(r, 3.5, fill, border, border == fill ? 0 : 1.2);
        if (mark == 1 && radio) A.Circle(r.Left + 8, r.Top + 8, 3.2, markColor);
        if (mark == 1 && !radio) Check(A, r, markColor);
        if (mark == 2)
            A.RoundRect(TRect(r.Left + 4, r.Top + 7, r.Right - 4, r.Bottom - 7), 1, markColor);
        return r;
    }

    void CheckRadio() {
        for (bool radio : {false, true}) {
            auto* c = Control<TspDataSkinCheckRadioControl>(radio ? "radiobox" : "checkbox");
            c->SkinRect = Piece(120, 22, P.Face);
            Corners(c, 22, 2, 2, 2);
            c->ActiveSkinRect = c->SkinRect;
            c->CheckImageArea = {0, 0, 20, 22};
            c->TextArea = {24, 0, 118, 22};
            // A radio's checked look is an accent ring around a dot.
            uint32_t onFill = radio ? P.Surface : P.Accent;
            uint32_t onMark = radio ? P.Accent : P.OnAccent;
            c->UnCheckImageRect = Box(radio, P.Surface, P.BorderStrong, 0, 0, P.Face);
            c->CheckImageRect = Box(radio, onFill, P.Accent, 1, onMark, P.Face);
            c->ActiveUnCheckImageRect = Box(radio, P.Surface, P.Accent, 0, 0, P.Face);
            c->ActiveCheckImageRect = Box(radio, radio ? P.Surface : P.AccentHover, P.AccentHover,
                                          1, radio ? P.AccentHover : P.OnAccent, P.Face);
            c->UnEnabledUnCheckImageRect = Box(radio, P.DisabledSurface, P.Border, 0, 0, P.Face);
            c->UnEnabledCheckImageRect =
                Box(radio, P.DisabledSurface, P.Border, 1, P.TextDisabled, P.Face);
            c->GrayedCheckImageRect = Box(radio, P.Surface, P.BorderStrong, 2, P.Accent, P.Face);
            c->ActiveGrayedCheckImageRect = Box(radio, P.Surface, P.Accent, 2, P.Accent, P.Face);
            Font(c, P.Text);
            c->ActiveFontColor = tc(P.Text);
            c->UnEnabledFontColor = tc(P.TextDisabled);
            c->FrameFontColor = tc(P.Text);
        }
    }

    // ---- Edits and lists
    // -------------------------------------------------------------------------------
    TRect Field(int w, int h, uint32_t border, uint32_t fill) {
        TRect r = Piece(w, h, P.Face);
        A.RoundRect(r, 4, fill, border, border == P.Accent ? 1.5 : 1);
        return r;
    }

    void Edits() {
        for (const char* n : {"edit", "buttonedit"}) {
            auto* e = Control<TspDataSkinEditControl>(n);
            bool withButton = std::string(n) == "buttonedit";
            e->SkinRect = Field(90, 26, P.Border, P.Surface);
            e->ActiveSkinRect = Field(90, 26, P.Accent, P.Surface);
            Corners(e, 6, 6, withButton ? 28 : 6, 6);
            Font(e, P.Text);
            e->ActiveFontColor = tc(P.Text);
            e->DisabledFontColor = tc(P.TextDisabled);
            if (withButton) {
                e->ButtonRect = {66, 3, 87, 23};
                auto dots = [&](Pixmap& pm, TRect r, uint32_t c) {
                    for (int i = -1; i <= 1; ++i)
                        pm.Circle(r.Left + 10.5 + i * 4, r.Top + 10, 1.3, c);
                };
                for (TRect* r : {&e->SkinRect, &e->ActiveSkinRect})
                    dots(A, TRect(r->Left + 66, r->Top + 3, r->Left + 87, r->Top + 23),
                         P.TextMuted);
                auto button = [&](uint32_t bg, uint32_t fg) {
                    TRect r = Piece(21, 20, P.Surface);
                    A.RoundRect(r, 3, bg);
                    dots(A, r, fg);
                    return r;
                };
                e->ActiveButtonRect = button(P.Hover, P.Text);
                e->DownButtonRect = button(P.Down, P.Text);
                e->UnEnabledButtonRect = button(P.Surface, P.TextDisabled);
            }
        }
        auto* memo = Control<TspDataSkinMemoControl>("memo");
        memo->SkinRect = Field(90, 60, P.Border, P.Surface);
        memo->ActiveSkinRect = Field(90, 60, P.Accent, P.Surface);
        Corners(memo, 6, 6, 6, 6);
        Font(memo, P.Text);
        memo->ActiveFontColor = tc(P.Text);
        memo->DisabledFontColor = tc(P.TextDisabled);
        memo->BGColor = memo->ActiveBGColor = tc(P.Surface);

        auto* spin = Control<TspDataSkinSpinEditControl>("spinedit");
        spin->SkinRect = Field(90, 26, P.Border, P.Surface);
        spin->ActiveSkinRect = Field(90, 26, P.Accent, P.Surface);
        Corners(spin, 6, 6, 24, 6);
        Font(spin, P.Text);
        spin->ActiveFontColor = tc(P.Text);
        spin->DisabledFontColor = tc(P.TextDisabled);
        spin->UpButtonRect = {70, 2, 88, 13};
        spin->DownButtonRect = {70, 13, 88, 24};
        for (TRect* r : {&spin->SkinRect, &spin->ActiveSkinRect}) {
            Chevron(A, r->Left + 79, r->Top + 8, 3, P.TextMuted, 3);
            Chevron(A, r->Left + 79, r->Top + 18, 4, P.TextMuted, 3);
        }
        auto half = [&](int dir, uint32_t bg, uint32_t fg) {
            TRect r = Piece(18, 11, P.Surface);
            A.RoundRect(r, 2.5, bg);
            Chevron(A, r.Left + 9, r.Top + 5.5 + (dir == 3 ? 0.5 : -0.5), dir, fg, 3);
            return r;
        };
        spin->ActiveUpButtonRect = half(3, P.Hover, P.Text);
        spin->DownUpButtonRect = half(3, P.Down, P.Text);
        spin->ActiveDownButtonRect = half(4, P.Hover, P.Text);
        spin->DownDownButtonRect = half(4, P.Down, P.Text);
    }

    TRect Item(int w, int h, uint32_t fill, bool bar) {
        TRect r = Piece(w, h, P.Surface);
        if (fill != P.Surface)
            A.RoundRect(TRect(r.Left + 2, r.Top + 1, r.Right - 2, r.Bottom - 1), 3, fill);
        if (bar) A.RoundRect(TRect(r.Left + 2, r.Top + 5, r.Left + 5, r.Bottom - 5), 1.5, P.Accent);
        return r;
    }

    void Lists() {
        auto* combo = Control<TspDataSkinComboBox>("combobox");
        combo->SkinRect = Field(120, 26, P.Border, P.Surface);
        combo->ActiveSkinRect = Field(120, 26, P.Accent, P.Surface);
        // The item sits in the client area: as tall as it, so that the
        // text stays centred in the box at any height.
        Corners(combo, 6, 4, 26, 4);
        combo->ButtonRect = {97, 3, 117, 23};
        for (TRect* r : {&combo->SkinRect, &combo->ActiveSkinRect})
            Chevron(A, r->Left + 107, r->Top + 13, 4, P.TextMuted, 3.5);
        auto cbutton = [&](uint32_t bg, uint32_t fg) {
            TRect r = Piece(20, 20, P.Surface);
            A.RoundRect(r, 3, bg);
            Chevron(A, r.Left + 10, r.Top + 10, 4, fg, 3.5);
            return r;
        };
        combo->ActiveButtonRect = cbutton(P.Hover, P.Text);
        combo->DownButtonRect = cbutton(P.Down, P.Text);
        combo->UnEnabledButtonRect = cbutton(P.Surface, P.TextDisabled);
        combo->SItemRect = Item(90, 18, P.Surface, false);
        combo->ActiveItemRect = Item(90, 18, P.AccentSoft, false);
        combo->FocusItemRect = Item(90, 18, P.AccentSoft, true);
        combo->ItemLeftOffset = combo->ItemRightOffset = 6;
        combo->ItemTextRect = {8, 0, 84, 18};
        combo->ItemStretchEffect = combo->FocusItemStretchEffect = true;
        combo->ListBoxName = "listbox";
        Font(combo, P.Text);
        combo->ActiveFontColor = combo->FocusFontColor = tc(P.Text);

        const TRect listItem = Item(90, 24, P.Surface, false);
        const TRect listActive = Item(90, 24, P.AccentSoft, false);
        const TRect listFocus = Item(90, 24, P.AccentSoft, true);
        for (const char* n : {"listbox", "checklistbox"}) {
            bool check = std::string(n) == "checklistbox";
            TspDataSkinListBox* l =
                check ? Control<TspDataSkinCheckListBox>(n) : Control<TspDataSkinListBox>(n);
            l->SkinRect = Field(90, 64, P.Border, P.Surface);
            Corners(l, 4, 4, 4, 4);
            // Rows of a list are taller than the line inside a combo box.
            l->SItemRect = listItem;
            l->ActiveItemRect = listActive;
            l->FocusItemRect = listFocus;
            l->ItemLeftOffset = l->ItemRightOffset = 6;
            l->ItemTextRect = {check ? 28 : 10, 0, 84, 24};
            Font(l, P.Text);
            l->ActiveFontColor = l->FocusFontColor = tc(P.Text);
            l->CaptionFontName = "Arial";
            l->CaptionFontColor = tc(P.TextMuted);
            if (check) {
                auto* c = static_cast<TspDataSkinCheckListBox*>(l);
                c->UnCheckImageRect = Box(false, P.Surface, P.BorderStrong, 0, 0, P.Surface);
                c->CheckImageRect = Box(false, P.Accent, P.Accent, 1, P.OnAccent, P.Surface);
                c->ItemCheckRect = {8, 4, 24, 20};
            }
        }
        for (const char* n : {"listview", "treeview"}) {
            TspDataSkinFontBGControl* v =
                std::string(n) == "listview"
                    ? static_cast<TspDataSkinFontBGControl*>(Control<TspDataSkinListView>(n))
                    : Control<TspDataSkinTreeView>(n);
            v->PictureIndex = -1;
            v->FontName = "Arial";
            v->FontHeight = 13;
            v->FontColor = tc(P.Text);
            v->BGColor = tc(P.Surface);
        }
        auto* box = Control<TspDataSkinScrollBoxControl>("scrollbox");
        box->SkinRect = Field(60, 40, P.Border, P.Face);
        Corners(box, 4, 4, 4, 4);
    }

    // ---- Scroll bars
    // -----------------------------------------------------------------------------
    void ScrollBars() {
        const int S = 14, L = 80;
        for (const char* n : {"vscrollbar", "hscrollbar", "bothhscrollbar"}) {
            bool v = std::string(n) == "vscrollbar";
            auto* s = Control<TspDataSkinScrollBarControl>(n);
            s->SkinRect = Piece(v ? S : L, v ? L : S, P.Track);
            TRect& k = s->SkinRect;
            s->UpButtonRect = {0, 0, S, S};
            s->DownButtonRect = v ? TRect(0, L - S, S, L) : TRect(L - S, 0, L, S);
            s->TrackArea = v ? TRect(0, S, S, L - S) : TRect(S, 0, L - S, S);
            Chevron(A, k.Left + S / 2.0, k.Top + S / 2.0, v ? 3 : 1, P.TextMuted, 3);
            Chevron(A, k.Right - S / 2.0, k.Bottom - S / 2.0, v ? 4 : 2, P.TextMuted, 3);
            auto arrow = [&](int dir, uint32_t bg, uint32_t fg) {
                TRect r = Piece(S, S, P.Track);
                A.RoundRect(inset(r, 1), 3, bg);
                Chevron(A, r.Left + S / 2.0, r.Top + S / 2.0, dir, fg, 3);
                return r;
            };
            s->ActiveUpButtonRect = arrow(v ? 3 : 1, P.Hover, P.Text);
            s->DownUpButtonRect = arrow(v ? 3 : 1, P.Down, P.Text);
            s->ActiveDownButtonRect = arrow(v ? 4 : 2, P.Hover, P.Text);
            s->DownDownButtonRect = arrow(v ? 4 : 2, P.Down, P.Text);
            auto thumb = [&](uint32_t c) {
                TRect r = Piece(v ? S : 32, v ? 32 : S, P.Track);
                A.RoundRect(v ? TRect(r.Left + 3, r.Top + 1, r.Right - 3, r.Bottom - 1)
                              : TRect(r.Left + 1, r.Top + 3, r.Right - 1, r.Bottom - 3),
                            4, c);
                return r;
            };
            s->ThumbRect = thumb(P.Thumb);
            s->ActiveThumbRect = thumb(P.ThumbHover);
            s->DownThumbRect = thumb(P.ThumbDown);
            s->ThumbOffset1 = s->ThumbOffset2 = 6;
            s->ThumbStretchEffect = true;
            s->ThumbMinSize = 20;
            if (v) {
                s->LTPoint = {0, S};
                s->LBPoint = {0, L - S};
                s->ClRect = {0, S, S, L - S};
            } else {
                s->LTPoint = {S, 0};
                s->RTPoint = {L - S, 0};
                s->ClRect = {S, 0, L - S, S};
            }
            s->StretchEffect = true;
        }
    }

    // ---- Tabs and up-downs
    // ------------------------------------------------------------------------
    void Tabs() {
        auto* t = Control<TspDataSkinTabControl>("tab");
        t->SkinRect = Piece(100, 60, P.Border);
        A.Fill(inset(t->SkinRect, 1), P.Surface);
        t->LTPoint = {4, 4};
        t->RTPoint = {96, 4};
        t->LBPoint = {4, 56};
        t->RBPoint = {96, 56};
        t->ClRect = {1, 1, 99, 59};
        t->LeftStretch = t->TopStretch = t->RightStretch = t->BottomStretch = true;
        t->StretchEffect = true;
        auto tab = [&](uint32_t bg, bool underline) {
            TRect r = Piece(80, 30, P.Face);
            if (bg != P.Face)
                A.RoundRect(TRect(r.Left + 1, r.Top + 2, r.Right - 1, r.Bottom + 4), 5, bg);
            if (underline) A.Fill(TRect(r.Left + 8, r.Bottom - 2, r.Right - 8, r.Bottom), P.Accent);
            return r;
        };
        t->TabRect = tab(P.Face, false);
        t->ActiveTabRect = tab(P.Surface, true);
        t->FocusTabRect = tab(P.Surface, true);
        t->MouseInTabRect = tab(P.Hover, false);
        t->TabsBGRect = Piece(8, 30, P.Face);
        t->TabLeftOffset = t->TabRightOffset = 8;
        t->TabStretchEffect = true;
        t->FontName = "Arial";
        t->FontHeight = 13;
        t->FontColor = tc(P.TextMuted);
        t->ActiveFontColor = t->FocusFontColor = t->MouseInFontColor = tc(P.Text);
        t->UpDown = "hupdown";
    }

    void UpDowns() {
        for (bool vertical : {false, true}) {
            auto* u = Control<TspDataSkinUpDownControl>(vertical ? "vupdown" : "hupdown");
            int w = vertical ? 16 : 32, h = vertical ? 32 : 16;
            u->SkinRect = Field(w, h, P.Border, P.Surface);
            // Up is the top half, or the right half of a horizontal pair.
            u->UpButtonRect = vertical ? TRect(0, 0, 16, 16) : TRect(16, 0, 32, 16);
            u->DownButtonRect = vertical ? TRect(0, 16, 16, 32) : TRect(0, 0, 16, 16);
            int up = vertical ? 3 : 2, down = vertical ? 4 : 1;
            const TRect& k = u->SkinRect;
            Chevron(A, k.Left + u->UpButtonRect.Left + 8, k.Top + u->UpButtonRect.Top + 8, up,
                    P.TextMuted, 3);
            Chevron(A, k.Left + u->DownButtonRect.Left + 8, k.Top + u->DownButtonRect.Top + 8, down,
                    P.TextMuted, 3);
            auto btn = [&](int dir, uint32_t bg) {
                TRect r = Piece(16, 16, P.Surface);
                A.RoundRect(inset(r, 1), 3, bg);
                Chevron(A, r.Left + 8, r.Top + 8, dir, P.Text, 3);
                return r;
            };
            u->ActiveUpButtonRect = btn(up, P.Hover);
            u->DownUpButtonRect = btn(up, P.Down);
            u->ActiveDownButtonRect = btn(down, P.Hover);
            u->DownDownButtonRect = btn(down, P.Down);
        }
    }

    // ---- Labels, panels, bars
    // ----------------------------------------------------------------------
    void Labels() {
        auto* std = Control<TspDataSkinStdLabelControl>("stdlabel");
        std->PictureIndex = -1;
        Font(std, P.Text);
        std->ActiveFontColor = tc(P.Accent);
        for (const char* n : {"label", "menuheader"}) {
            auto* l = Control<TspDataSkinLabelControl>(n);
            l->SkinRect = Piece(100, 24, P.Surface);
            A.Fill(TRect(l->SkinRect.Left + 6, l->SkinRect.Bottom - 1, l->SkinRect.Right - 6,
                         l->SkinRect.Bottom),
                   P.Border);
            l->LTPoint = {8, 0};
            l->RTPoint = {92, 0};
            l->ClRect = {8, 0, 92, 24};
            l->StretchEffect = true;
            Font(l, P.TextMuted, 12);
            l->FontStyle = fsBold;
        }
        auto* bevel = Control<TspDataSkinBevel>("bevel");
        bevel->PictureIndex = -1;
        bevel->LightColor = tc(P.Surface);
        bevel->DarkColor = tc(P.Border);
    }

    void Panels() {
        auto* p = Control<TspDataSkinPanelControl>("panel");
        p->SkinRect = Piece(60, 40, P.Face);
        A.RoundRect(p->SkinRect, 4, P.Face, P.Border, 1);
        Corners(p, 6, 6, 6, 6);
        Font(p, P.Text);
        p->Alignment = taCenter;

        auto* s = Control<TspDataSkinPanelControl>("statusbar");
        s->SkinRect = Piece(60, 24, P.Face);
        A.Fill(TRect(s->SkinRect.Left, s->SkinRect.Top, s->SkinRect.Right, s->SkinRect.Top + 1),
               P.Border);
        Corners(s, 4, 2, 4, 2);
        Font(s, P.TextMuted, 12);
        s->Alignment = taLeftJustify;
        s->GripperRect = Piece(12, 12, P.Face);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j <= i; ++j)
                A.Circle(s->GripperRect.Right - 2.5 - j * 4,
                         s->GripperRect.Bottom - 2.5 - (i - j) * 4, 1.1, P.Thumb);

        for (bool vertical : {false, true}) {
            auto* sp = Control<TspDataSkinSplitterControl>(vertical ? "vsplitter" : "hsplitter");
            int w = vertical ? 6 : 40, h = vertical ? 40 : 6;
            sp->SkinRect = Piece(w, h, P.Face);
            if (vertical) {
                sp->LTPoint = {0, 2};
                sp->LBPoint = {0, h - 2};
                sp->ClRect = {0, 2, w, h - 2};
            } else {
                sp->LTPoint = {2, 0};
                sp->RTPoint = {w - 2, 0};
                sp->ClRect = {2, 0, w - 2, h};
            }
            sp->StretchEffect = true;
            sp->GripperRect = Piece(vertical ? 6 : 24, vertical ? 24 : 6, P.Face);
            for (int i = 0; i < 4; ++i)
                A.Circle(sp->GripperRect.Left + (vertical ? 3 : 4.5 + i * 5),
                         sp->GripperRect.Top + (vertical ? 4.5 + i * 5 : 3), 1.1, P.Thumb);
        }
    }

    void Gauges() {
        for (bool vertical : {false, true}) {
            auto* g = Control<TspDataSkinGaugeControl>(vertical ? "vgauge" : "gauge");
            int w = vertical ? 10 : 100, h = vertical ? 100 : 10;
            g->SkinRect = Piece(w, h, P.Face);
            A.RoundRect(g->SkinRect, 5, P.Track);
            g->ProgressArea = {0, 0, w, h};
            g->ProgressRect = Piece(vertical ? 10 : 24, vertical ? 24 : 10, P.Track);
            A.RoundRect(g->ProgressRect, 5, P.Accent);
            g->BeginOffset = g->EndOffset = 5;
            g->ProgressStretch = true;
            g->Vertical = vertical;
            if (vertical) {
                g->LTPoint = {0, 5};
                g->LBPoint = {0, h - 5};
                g->ClRect = {0, 5, w, h - 5};
            } else {
                g->LTPoint = {5, 0};
                g->RTPoint = {w - 5, 0};
                g->ClRect = {5, 0, w - 5, h};
            }
            g->StretchEffect = true;
            Font(g, P.Text, 11);
        }
    }

    void TrackBars() {
        for (bool vertical : {false, true}) {
            auto* t = Control<TspDataSkinTrackBarControl>(vertical ? "vtrackbar" : "trackbar");
            int w = vertical ? 24 : 120, h = vertical ? 120 : 24;
            t->SkinRect = Piece(w, h, P.Face);
            const TRect& k = t->SkinRect;
            if (vertical)
                A.RoundRect(TRect(k.Left + 10, k.Top + 8, k.Left + 14, k.Bottom - 8), 2, P.Track);
            else
                A.RoundRect(TRect(k.Left + 8, k.Top + 10, k.Right - 8, k.Top + 14), 2, P.Track);
            t->ActiveSkinRect = k;
            t->TrackArea = vertical ? TRect(0, 8, w, h - 8) : TRect(8, 0, w - 8, h);
            auto thumb = [&](uint32_t border, double bw) {
                TRect r = Piece(vertical ? 20 : 14, vertical ? 14 : 20, P.Face);
                A.RoundRect(inset(r, 1), 5, P.Surface, border, bw);
                return r;
            };
            t->ButtonRect = thumb(P.BorderStrong, 1.2);
            t->ActiveButtonRect = thumb(P.Accent, 2);
            t->Vertical = vertical;
            if (vertical) {
                t->LTPoint = {0, 10};
                t->LBPoint = {0, h - 10};
                t->ClRect = {0, 10, w, h - 10};
            } else {
                t->LTPoint = {10, 0};
                t->RTPoint = {w - 10, 0};
                t->ClRect = {10, 0, w - 10, h};
            }
            t->StretchEffect = true;
        }
    }

    // ---- Menus
    // ---------------------------------------------------------------------------------------
    void MenuBar() {
        auto* bar = Control<TspDataSkinMainMenuBar>("mainmenubar");
        bar->SkinRect = Piece(100, 28, P.Surface);
        A.Fill(TRect(bar->SkinRect.Left, bar->SkinRect.Bottom - 1, bar->SkinRect.Right,
                     bar->SkinRect.Bottom),
               P.Border);
        bar->ItemsRect = {4, 2, 96, 26};
        bar->MenuBarItem = "mainmenubaritem";
        bar->CloseButton = "mbclose";
        bar->MaxButton = "mbmax";
        bar->MinButton = "mbmin";
        bar->TrackMarkColor = tc(P.TextMuted);
        bar->TrackMarkActiveColor = tc(P.Accent);
        bar->StretchEffect = true;

        for (const char* n : {"MAINMENUITEM", "mainmenubaritem"}) {
            TspDataSkinMainMenuItem* m = std::string(n) == "MAINMENUITEM"
                                             ? Object<TspDataSkinMainMenuItem>(n)
                                             : Object<TspDataSkinMainMenuBarItem>(n);
            auto item = [&](uint32_t bg) {
                TRect r = Piece(48, 24, P.Surface);
                if (bg != P.Surface) A.RoundRect(r, 4, bg);
                return r;
            };
            m->SkinRect = item(P.Surface);
            m->ActiveSkinRect = item(P.Hover);
            m->DownRect = item(P.AccentSoft);
            m->ItemLO = m->ItemRO = 6;
            m->TextRct = {10, 0, 38, 24};
            m->FontName = "Arial";
            m->FontHeight = 13;
            m->FontColor = m->ActiveFontColor = tc(P.Text);
            m->DownFontColor = tc(P.Text);
            m->UnEnabledFontColor = tc(P.TextDisabled);
            m->StretchEffect = true;
            m->AnimateInterval = 25;
        }
        struct Small {
            const char* Name;
            TStdCommand Cmd;
            int Glyph;
        };
        for (Small s : {Small{"mbmin", cmMinimize, 2}, Small{"mbmax", cmMaximize, 3},
                        Small{"mbclose", cmClose, 0}}) {
            auto* b = Object<TspDataSkinMainMenuBarButton>(s.Name);
            b->Command = s.Cmd;
            auto img = [&](uint32_t bg, uint32_t fg) {
                TRect r = Piece(22, 22, P.Surface);
                if (bg != P.Surface) A.RoundRect(r, 4, bg);
                CaptionGlyph(A, r, s.Glyph, fg);
                return r;
            };
            b->SkinRect = img(P.Surface, P.TextMuted);
            b->ActiveSkinRect = img(s.Cmd == cmClose ? P.CloseHover : P.Hover,
                                    s.Cmd == cmClose ? P.OnAccent : P.Text);
            b->DownRect = img(s.Cmd == cmClose ? P.CloseDown : P.Down,
                              s.Cmd == cmClose ? P.OnAccent : P.Text);
            b->DisableSkinRect = img(P.Surface, P.TextDisabled);
        }
    }

    void MenuItems() {
        auto row = [&](uint32_t bg) {
            TRect r = Piece(140, 26, P.Surface);
            if (bg != P.Surface)
                A.RoundRect(TRect(r.Left + 3, r.Top + 1, r.Right - 3, r.Bottom - 1), 4, bg);
            return r;
        };
        auto glyph = [&](int kind, uint32_t bg) {
            TRect r = Piece(16, 16, bg);
            if (kind == 0) Check(A, r, P.Text);
            if (kind == 1) A.Circle(r.Left + 8, r.Top + 8, 3, P.Text);
            if (kind == 2) Chevron(A, r.Left + 8, r.Top + 8, 2, P.TextMuted, 3.5);
            return r;
        };
        TRect normal = row(P.Surface), hot = row(P.AccentSoft);
        TRect divider = Piece(140, 9, P.Surface);
        A.Fill(TRect(divider.Left + 8, divider.Top + 4, divider.Right - 8, divider.Top + 5),
               P.Border);
        TRect check = glyph(0, P.Surface), checkHot = glyph(0, P.AccentSoft);
        TRect radio = glyph(1, P.Surface), radioHot = glyph(1, P.AccentSoft);
        TRect arrow = glyph(2, P.Surface), arrowHot = glyph(2, P.AccentSoft);
        // The popup menus look for either spelling.
        for (const char* n : {"MENUITEM", "menuitem"}) {
            auto* m = Object<TspDataSkinMenuItem>(n);
            m->SkinRect = normal;
            m->ActiveSkinRect = hot;
            m->DividerRect = divider;
            m->DividerLO = m->DividerRO = 10;
            m->ItemLO = m->ItemRO = 8;
            m->TextRct = {32, 0, 128, 26};
            m->ImageRct = {8, 5, 24, 21};
            m->FontName = "Arial";
            m->FontHeight = 13;
            m->FontColor = m->ActiveFontColor = tc(P.Text);
            m->UnEnabledFontColor = tc(P.TextDisabled);
            m->StretchEffect = m->DividerStretchEffect = m->InActiveStretchEffect = true;
            m->AnimateInterval = 25;
            m->CheckImageRect = check;
            m->ActiveCheckImageRect = checkHot;
            m->RadioImageRect = radio;
            m->ActiveRadioImageRect = radioHot;
            m->ArrowImageRect = arrow;
            m->ActiveArrowImageRect = arrowHot;
        }
    }
};

void buildSkin(const Palette& P, const std::string& folderRoot, const std::string& sknDir) {
    TspSkinData d(nullptr);
    SkinBuilder b(P);
    b.Build(d);
    std::string folder = IncludeTrailingPathDelimiter(folderRoot) + P.Name + "/";
    ForceDirectories(folder);
    d.StoreToDisk(folder);
    b.A.SavePng(folder + "preview_controls.png", 2);
    b.FrameActive->SavePng(folder + "preview_frame.png");
    TspCompressedStoredSkin stored(nullptr);
    stored.LoadFromIniFile(folder + "skin.ini");
    if (stored.Empty()) throw Exception(std::string("skin ") + P.Name + " did not pack");
    ForceDirectories(sknDir);
    stored.SaveToCompressFile(IncludeTrailingPathDelimiter(sknDir) + P.Name + ".skn");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skinbuilder <folder-skins-dir> <compressed-skins-dir>\n");
        return 2;
    }
    try {
        for (const Palette* p : {&kLight, &kDark})
            buildSkin(*p, argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skinbuilder: %s\n", e.what());
        return 1;
    }
    return 0;
}
