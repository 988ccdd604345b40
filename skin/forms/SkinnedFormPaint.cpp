// The skinned form's painting: the non-client frame from the skin or by
// default, the client background, the logo, the size grip and the form icon.
// The frame rectangles it paints into come from SkinnedFormLayout.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/gdi.h"
#include "platform/win/metrics.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"

using namespace skinned_form_internal;

namespace {

// Copies the whole of Source onto DC at (X, Y).
void BlitBitmap(HDC DC, int X, int Y, TBitmap* Source) {
    if (!Source || Source->Width() <= 0 || Source->Height() <= 0) return;
    BitBlt(DC, X, Y, Source->Width(), Source->Height(), Source->Canvas()->Handle(), 0, 0, SRCCOPY);
}

} // namespace

// ---- Non-client painting -----------------------------------------------------------------------

void TspSkinnedForm::PaintNCSkin(HDC ADC, bool AUseExternalDC) {
    if (!CanPaintNCSkin()) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    if (FFormWidth < GetMinWidth() || FFormHeight < GetMinHeight()) return;
    CalcSkinRects();
    CalcObjectRects();
    bool active = GetFormActive();
    TBitmap* src = FSD->FPicture.get();
    if (!active && FSD->FInActivePicture && FSD->FInActivePicture->Width() > 0)
        src = FSD->FInActivePicture.get();
    TBitmap left, top, right, bottom;
    BuildSkinBorderImages(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint, FSD->ClRect,
                          NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, &left, &top,
                          &right, &bottom, src, TRect(0, 0, src->Width(), src->Height()),
                          FFormWidth, FFormHeight, FSD->LeftStretch, FSD->TopStretch,
                          FSD->RightStretch, FSD->BottomStretch);
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (!o->Visible || !IsObjectVisibleInState(o->RollUp)) continue;
        if (o->ObjectRect.Bottom > NewClRect.Top) {
            TRect keep = o->ObjectRect;
            o->ObjectRect = Offset(keep, 0, -NewClRect.Bottom);
            o->Draw(bottom.Canvas(), false);
            o->ObjectRect = keep;
        } else {
            o->Draw(top.Canvas(), false);
        }
    }
    if (!active && FSD->AutoRenderingInActiveImage)
        for (TBitmap* b : {&left, &top, &right, &bottom})
            ApplyInActiveEffect(b, FSD->InActiveEffect);
    HWND h = FForm->Handle();
    HDC dc = AUseExternalDC ? ADC : GetWindowDC(h);
    if (!dc) return;
    int save = SaveDC(dc);
    if (!NewClRect.IsEmpty())
        ExcludeClipRect(dc, NewClRect.Left, NewClRect.Top, NewClRect.Right, NewClRect.Bottom);
    BlitBitmap(dc, 0, 0, &top);
    BlitBitmap(dc, 0, top.Height(), &left);
    BlitBitmap(dc, FFormWidth - right.Width(), top.Height(), &right);
    BlitBitmap(dc, 0, FFormHeight - bottom.Height(), &bottom);
    RestoreDC(dc, save);
    if (!AUseExternalDC) ReleaseDC(h, dc);
}

void TspSkinnedForm::PaintNCDefault(HDC ADC, bool AUseExternalDC) {
    if (FSD && FSD->ChangeSkinDataProcess) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    if (ObjectList.empty() && !FSkinSupport) CreateDefaultButtons();
    CalcDefRects();
    const int H = DefCaptionHeight();
    const int bw = FFormWidth - 2 * kDefBorder;
    if (bw <= 0 || FFormHeight <= 0) return;
    TBitmap cap(bw, H);
    TCanvas* c = cap.Canvas();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(TRect(0, 0, bw, H));
    int L = NewDefCaptionRect.Left - kDefBorder;
    int Rm = bw - (NewDefCaptionRect.Right - kDefBorder);
    if (H - 4 > 1)
        for (int i = 0; i < H - 5; ++i) {
            c->Pen()->SetColor(i % 2 == 0 ? clBtnHighlight : clBtnShadow);
            c->MoveTo(L + 2, 2 + i);
            c->LineTo(bw - Rm - 6, 2 + i);
        }
    bool active = GetFormActive();
    c->Font()->Assign(active ? FDefCaptionFont.get() : FDefInActiveCaptionFont.get());
    if (FSD && FSD->ResourceStrData()) c->Font()->SetCharset(FSD->ResourceStrData()->CharSet());
    std::string text = FrameCaptionText();
    if (OnCaptionPaint) {
        OnCaptionPaint(c, TRect(L, 0, bw - Rm - 3, H), active);
    } else if (!text.empty()) {
        int avail = bw - L - Rm;
        FitTextToWidth(c, text, std::max(0, avail));
        int tw = c->TextWidth(text), th = c->TextHeight(text);
        int x = L + avail / 2 - (tw + 5) / 2;
        int y = H / 2 - th / 2;
        TRect box(x - 2, y - 2, x + tw + 2, y + th + 2);
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(box);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(x, y, text);
        c->Brush()->SetStyle(bsSolid);
    }
    for (auto& o : ObjectList) {
        if (!o->Visible) continue;
        TRect keep = o->ObjectRect;
        o->ObjectRect = Offset(keep, -kDefBorder, -kDefBorder);
        o->Draw(c, false);
        o->ObjectRect = keep;
    }
    HWND h = FForm->Handle();
    HDC dc = AUseExternalDC ? ADC : GetWindowDC(h);
    if (!dc) return;
    int save = SaveDC(dc);
    ExcludeClipRect(dc, kDefBorder, H + kDefBorder, FFormWidth - kDefBorder,
                    FFormHeight - kDefBorder);
    BlitBitmap(dc, kDefBorder, kDefBorder, &cap);
    TCanvas wc;
    wc.SetHandle(dc);
    TRect r(0, 0, FFormWidth, FFormHeight);
    const TColor tl[3] = {cl3DLight, clBtnHighlight, clBtnFace};
    const TColor br[3] = {cl3DDkShadow, clBtnShadow, clBtnFace};
    for (int i = 0; i < 3; ++i) {
        wc.Pen()->SetColor(tl[i]);
        wc.MoveTo(r.Left, r.Bottom - 1);
        wc.LineTo(r.Left, r.Top);
        wc.LineTo(r.Right - 1, r.Top);
        wc.Pen()->SetColor(br[i]);
        wc.MoveTo(r.Right - 1, r.Top);
        wc.LineTo(r.Right - 1, r.Bottom - 1);
        wc.LineTo(r.Left - 1, r.Bottom - 1);
        r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    wc.SetHandle(nullptr);
    RestoreDC(dc, save);
    // A frame that starts in the caption is the band below it, also part of the frame.
    if (!AUseExternalDC) ReleaseDC(h, dc);
}

void TspSkinnedForm::DrawSkinObject(TspActiveSkinObject* AObject) {
    if (!IsObjectVisibleInState(AObject->RollUp) || !FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    if (!IsWindowVisible(h) || FStopPainting) return;
    if (NCMode() && !Framed()) return;
    HDC dc = NCMode() ? GetWindowDC(h) : GetDC(h);
    if (!dc) return;
    TCanvas c;
    c.SetHandle(dc);
    AObject->Draw(&c, true);
    c.SetHandle(nullptr);
    ReleaseDC(h, dc);
}

void TspSkinnedForm::UpdateDefaultCaptionText() {
    for (auto& o : ObjectList)
        if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()); c && c->DefaultCaption) {
            c->SetTextValue(FForm->Caption());
        }
}

// ---- Background ---------------------------------------------------------------------------------

void TspSkinnedForm::FillBackground(HDC DC, TBitmap* S, bool Stretch, TspStretchType Type) {
    int CW = FForm->ClientWidth(), CH = FForm->ClientHeight();
    if (CW <= 0 || CH <= 0 || !S) return;
    int w = S->Width(), h = S->Height();
    TCanvas c;
    c.SetHandle(DC);
    // A picture without pixels has nothing to tile or stretch.
    if (w > 0 && h > 0) {
        int W = FFormWidth > 0 ? FFormWidth : FForm->Width();
        int H = FFormHeight > 0 ? FFormHeight : FForm->Height();
        if (Stretch) {
            if (Type == spstFull) {
                c.StretchDraw(TRect(0, 0, W, H), S);
            } else if (Type == spstHorz) {
                TBitmap b(w, H);
                b.Canvas()->StretchDraw(TRect(0, 0, w, H), S);
                for (int i = 0; i <= W / w; ++i)
                    c.Draw(i * w, 0, &b);
            } else {
                TBitmap b(W, h);
                b.Canvas()->StretchDraw(TRect(0, 0, W, h), S);
                for (int i = 0; i <= H / h; ++i)
                    c.Draw(0, i * h, &b);
            }
        } else {
            for (int y = 0; y <= CH / h; ++y)
                for (int x = 0; x <= CW / w; ++x)
                    c.Draw(x * w, y * h, S);
        }
    }
    if (!FLogoBitMap->Empty()) DrawLogo(&c);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::DrawLogo(TCanvas* C) {
    int x = std::max(0, FForm->ClientWidth() / 2 - FLogoBitMap->Width() / 2);
    int y = std::max(0, FForm->ClientHeight() / 2 - FLogoBitMap->Height() / 2);
    FLogoBitMap->SetTransparent(LogoBitMapTransparent);
    C->Draw(x, y, FLogoBitMap.get());
}

void TspSkinnedForm::PaintBG(HDC DC) {
    if (!HasSkin()) return;
    if (FSD->ClRect.IsEmpty()) {
        TCanvas c;
        c.SetHandle(DC);
        c.Brush()->SetColor(clBtnFace);
        c.FillRect(FForm->ClientRect());
        c.SetHandle(nullptr);
        return;
    }
    TBitmap part(FSD->ClRect.Width(), FSD->ClRect.Height());
    part.Canvas()->CopyRect(TRect(0, 0, part.Width(), part.Height()), FSD->FPicture->Canvas(),
                            FSD->ClRect);
    FillBackground(DC, &part, FSD->StretchEffect, FSD->StretchType);
}

void TspSkinnedForm::PaintBG2(HDC DC) {
    if (!HasSkin()) return;
    int i = FSD->BGPictureIndex;
    if (i < 0 || i >= int(FSD->FActivePictures.size())) {
        PaintBG(DC);
        return;
    }
    FillBackground(DC, FSD->FActivePictures[size_t(i)].get(), FSD->StretchEffect, FSD->StretchType);
}

void TspSkinnedForm::PaintBGDefault(HDC DC) {
    TCanvas c;
    c.SetHandle(DC);
    c.Brush()->SetColor(clBtnFace);
    c.FillRect(FForm->ClientRect());
    if (!FLogoBitMap->Empty()) DrawLogo(&c);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::Paint(HDC DC) {
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    TCanvas c;
    c.SetHandle(DC);
    if (!HasSkin()) {
        c.Brush()->SetColor(clBtnFace);
        c.Pen()->SetColor(clBlack);
        c.Rectangle(FForm->ClientRect());
        c.SetHandle(nullptr);
        return;
    }
    TBitmap img;
    TBitmap* pic = FSD->FPicture.get();
    TBitmap* rolled = FSD->FRollUpPicture.get();
    bool corners = FSD->LTPoint.X || FSD->LTPoint.Y || FSD->RBPoint.X || FSD->RBPoint.Y;
    if (FRollUpState && rolled && !rolled->Empty()) {
        if (FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X)
            BuildHorzSkinImage(FSD->RollUpLeftPoint.X, rolled->Width() - FSD->RollUpRightPoint.X,
                               &img, rolled, TRect(0, 0, rolled->Width(), rolled->Height()),
                               FFormWidth, rolled->Height(), false);
        else
            img.Assign(rolled);
    } else if (corners) {
        CalcSkinRects();
        BuildSkinImage(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint, FSD->ClRect,
                       NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, &img, pic,
                       TRect(0, 0, pic->Width(), pic->Height()), FFormWidth, FFormHeight, true,
                       FSD->LeftStretch, FSD->TopStretch, FSD->RightStretch, FSD->BottomStretch,
                       FSD->StretchEffect, FSD->StretchType);
    } else {
        img.Assign(pic);
    }
    for (auto& o : ObjectList)
        if (o->Visible && o->RollUp == FRollUpState) o->Draw(img.Canvas(), false);
    if (FWindowState == wsNormal) DrawSizeGrip(img.Canvas());
    c.Draw(0, 0, &img);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::DrawSizeGrip(TCanvas* C) {
    if (!HasSkin() || FSD->StatusBarName.empty() || FSizeGripArea.IsEmpty()) return;
    int i = FSD->GetControlIndex(FSD->StatusBarName);
    if (i < 0) return;
    auto* d = dynamic_cast<TspDataSkinPanelControl*>(FSD->CtrlList[size_t(i)].get());
    if (!d || d->GripperRect.IsEmpty()) return;
    TBitmap* p = PictureAt(FSD, d->PictureIndex);
    if (!p) return;
    TBitmap g(d->GripperRect.Width(), d->GripperRect.Height());
    g.Canvas()->CopyRect(TRect(0, 0, g.Width(), g.Height()), p->Canvas(), d->GripperRect);
    if (d->GripperTransparent) {
        g.SetTransparentMode(tmFixed);
        g.SetTransparentColor(d->GripperTransparentColor);
        g.SetTransparent(true);
    }
    C->Draw(FSizeGripArea.Left, FSizeGripArea.Top, &g);
}

namespace {

// An icon's pixels scaled to W x H by averaging (colour weighted by alpha).
std::vector<uint32_t> ScaleIcon(const TIcon& I, int W, int H) {
    std::vector<uint32_t> out(size_t(W) * size_t(H));
    const int sw = I.Width(), sh = I.Height();
    const auto& px = I.Pixels();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int x0 = x * sw / W, x1 = std::max(x0 + 1, (x + 1) * sw / W);
            int y0 = y * sh / H, y1 = std::max(y0 + 1, (y + 1) * sh / H);
            double a = 0, r = 0, g = 0, b = 0;
            int n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx, ++n) {
                    uint32_t c = px[size_t(sy) * size_t(sw) + size_t(sx)];
                    double ca = (c >> 24) / 255.0;
                    a += ca;
                    r += ca * ((c >> 16) & 0xFF);
                    g += ca * ((c >> 8) & 0xFF);
                    b += ca * (c & 0xFF);
                }
            uint32_t v = 0;
            if (a > 0)
                v = uint32_t(std::lround(a / n * 255)) << 24 | uint32_t(std::lround(r / a)) << 16 |
                    uint32_t(std::lround(g / a)) << 8 | uint32_t(std::lround(b / a));
            out[size_t(y) * size_t(W) + size_t(x)] = v;
        }
    return out;
}

// The icon of a program that has none of its own: a small window.
std::vector<uint32_t> DefaultAppIcon(int W, int H) {
    std::vector<uint32_t> out(size_t(W) * size_t(H), 0);
    const uint32_t frame = 0xFF3C4650, bar = 0xFF5A7AB4, body = 0xFFF4F5F7;
    const int bh = std::max(2, H / 4);
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x) {
            bool edge = y == 1 || y == H - 2 || x == 1 || x == W - 2;
            out[size_t(y) * size_t(W) + size_t(x)] = edge ? frame : y <= bh ? bar : body;
        }
    return out;
}

} // namespace

void TspSkinnedForm::CreateFormIcon() {
    if (FIcon) return;
    FIcon = std::make_unique<TIcon>();
    int w = GetSystemMetrics(SM_CXSMICON), h = GetSystemMetrics(SM_CYSMICON);
    if (w <= 0 || h <= 0) w = GetSystemMetrics(SM_CXSIZE), h = GetSystemMetrics(SM_CYSIZE);
    if (w <= 0 || h <= 0) w = h = 16;
    const TIcon* source = !FForm->Icon.Empty() ? &FForm->Icon : nullptr;
    if (!source && Application && !Application->Icon.Empty()) source = &Application->Icon;
    FIcon->SetPixels(w, h, source ? ScaleIcon(*source, w, h) : DefaultAppIcon(w, h));
}

void TspSkinnedForm::DrawFormIcon(TCanvas* C, int X, int Y) {
    CreateFormIcon();
    const int w = FIcon->Width(), h = FIcon->Height();
    const auto& px = FIcon->Pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = px[size_t(y) * size_t(w) + size_t(x)];
            unsigned a = c >> 24;
            if (!a) continue;
            TColor under = ColorToRGB(C->Pixels(X + x, Y + y));
            auto mix = [a](unsigned top, unsigned bottom) {
                return (top * a + bottom * (255 - a) + 127) / 255;
            };
            unsigned r = mix((c >> 16) & 0xFF, under & 0xFF);
            unsigned g = mix((c >> 8) & 0xFF, (under >> 8) & 0xFF);
            unsigned b = mix(c & 0xFF, (under >> 16) & 0xFF);
            C->SetPixel(X + x, Y + y, TColor(r | g << 8 | b << 16));
        }
}
