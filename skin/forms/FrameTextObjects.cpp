// Frame objects that show text: the caption, the label and the bit label.
// They derive from the active object of FrameObjects.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/os/codepage.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

using namespace skinned_form_internal;

TspSkinCaptionObject::TspSkinCaptionObject(TspSkinnedForm* AParent, TspDataSkinCaption* d)
    : TspActiveSkinObject(AParent, d) {
    if (!d) return;
    FontName = d->FontName;
    FontStyle = d->FontStyle;
    FontHeight = d->FontHeight;
    FontColor = d->FontColor;
    ActiveFontColor = d->ActiveFontColor;
    ShadowColor = d->ShadowColor;
    ActiveShadowColor = d->ActiveShadowColor;
    Shadow = d->Shadow;
    Alignment = d->Alignment;
    TextRct = d->TextRct;
    DefaultCaption = d->DefaultCaption;
    FrameRect = d->FrameRect;
    ActiveFrameRect = d->ActiveFrameRect;
    FrameLeftOffset = d->FrameLeftOffset;
    FrameRightOffset = d->FrameRightOffset;
    FrameTextRect = d->FrameTextRect;
    LightColor = d->LightColor;
    ActiveLightColor = d->ActiveLightColor;
    Light = d->Light;
    StretchEffect = d->StretchEffect;
    AnimateSkinRect = d->AnimateSkinRect;
    FrameCount = d->FrameCount;
    AnimateInterval = d->AnimateInterval;
    InActiveAnimation = d->InActiveAnimation;
    FullFrame = d->FullFrame;
    VistaGlowEffect = d->VistaGlowEffect;
    VistaGlowInActiveEffect = d->VistaGlowInActiveEffect;
    GlowEffect = d->GlowEffect;
    GlowInActiveEffect = d->GlowInActiveEffect;
    GlowSize = d->GlowSize;
    GlowColor = d->GlowColor;
    GlowActiveColor = d->GlowActiveColor;
    GlowOffset = d->GlowOffset;
    ReflectionEffect = d->ReflectionEffect;
    ReflectionColor = d->ReflectionColor;
    ReflectionActiveColor = d->ReflectionActiveColor;
    ReflectionOffset = d->ReflectionOffset;
}

void TspSkinCaptionObject::SetTextValue(const std::string& Value) {
    FTextValue = Value;
    Redraw();
}

bool TspSkinCaptionObject::EnableAnimation() const {
    TspSkinData* sd = Parent->SkinData();
    return sd && !sd->Empty && sd->EnableSkinEffects() && !AnimateSkinRect.IsEmpty() &&
           FrameCount > 0;
}

int TspSkinCaptionObject::EdgeKind() const {
    if (ObjectRect.Width() == SkinRect.Width() && ObjectRect.Height() == SkinRect.Height())
        return 0;
    if (SkinRect.Top <= SD->LTPoint.Y && SkinRect.Bottom < SD->RTPoint.Y) return 1;
    if (SkinRect.Top >= SD->LBPoint.Y && SkinRect.Bottom > SD->RBPoint.Y) return 2;
    if (SkinRect.Top <= SD->LTPoint.Y && SkinRect.Bottom > SD->LBPoint.Y) return 3;
    return 4;
}

void TspSkinCaptionObject::BuildImage(TBitmap* B, TBitmap* P, const TRect& S,
                                      bool Horizontal) const {
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    int edge = EdgeKind();
    int a = 0, b = 0;
    if (Horizontal) {
        if (edge == 1) a = SD->LTPoint.X - SkinRect.Left, b = SkinRect.Right - SD->RTPoint.X;
        if (edge == 2) a = SD->LBPoint.X - SkinRect.Left, b = SkinRect.Right - SD->RBPoint.X;
    } else {
        if (edge == 3) a = SD->LTPoint.Y - SkinRect.Top, b = SkinRect.Bottom - SD->LBPoint.Y;
        if (edge == 4) a = SD->RTPoint.Y - SkinRect.Top, b = SkinRect.Bottom - SD->RBPoint.Y;
    }
    a = std::max(a, 0);
    b = std::max(b, 0);
    if (!HasPart(P, S)) {
        B->SetSize(w, h);
        return;
    }
    if (a > 0 || b > 0) {
        if (Horizontal)
            BuildHorzSkinImage(a, b, B, P, S, w, h, StretchEffect);
        else
            BuildVertSkinImage(a, b, B, P, S, w, h, StretchEffect);
    } else {
        StretchPart(B, P, S, w, h);
    }
}

void TspSkinCaptionObject::BuildByRule(TBitmap* B, TBitmap* P, const TRect& S) const {
    if (Parent->IsStretchableSkin()) {
        int edge = EdgeKind();
        BuildImage(B, P, S, !(edge == 3 || edge == 4));
    } else {
        StretchPart(B, P, S, ObjectRect.Width(), ObjectRect.Height());
    }
}

TRect TspSkinCaptionObject::AnimationFrame(int N) const {
    TRect r = AnimateSkinRect;
    if (FrameCount <= 0) return r;
    if (r.Height() > SkinRect.Height()) {
        int fh = r.Height() / FrameCount;
        return TRect(r.Left, r.Top + fh * (N - 1), r.Right, r.Top + fh * N);
    }
    int fw = r.Width() / FrameCount;
    return TRect(r.Left + fw * (N - 1), r.Top, r.Left + fw * N, r.Bottom);
}

void TspSkinCaptionObject::DrawText(TCanvas* C, int DX, int DY, bool ActiveLook) {
    std::string text = Parent->FrameCaptionText();
    if (Parent->OnCaptionPaint) {
        Parent->OnCaptionPaint(C, ObjectRect, ActiveLook);
        return;
    }
    if (text.empty() || TextRct.IsEmpty()) return;
    TRect TR = TextRct;
    TR.Right += ObjectRect.Width() - SkinRect.Width();
    if (!FrameRect.IsEmpty()) {
        TR.Left += FrameTextRect.Left;
        TR.Top += FrameTextRect.Top;
        TR.Right += FrameTextRect.Right - FrameRect.Width();
    }
    TFont* f = C->Font();
    f->SetName(FontName);
    f->SetStyle(FontStyle);
    f->SetHeight(FontHeight);
    if (SD->ResourceStrData())
        f->SetCharset(SD->ResourceStrData()->CharSet());
    else
        f->SetCharset(Parent->DefCaptionFont()->Charset());
    std::u16string wt = Utf8ToUtf16(text);
    FitWideTextToWidth(C, wt, std::max(0, TR.Width()));
    text = Utf16ToUtf8(wt);
    int tw = C->TextWidth(text), th = C->TextHeight(text);
    int y = TR.Top + TR.Height() / 2 - th / 2;
    int x = TR.Left;
    if (Alignment == taRightJustify) x = TR.Right - tw;
    if (Alignment == taCenter) x = TR.Left + TR.Width() / 2 - tw / 2;
    x += DX;
    y += DY;
    C->Brush()->SetStyle(bsClear);
    if (!FrameRect.IsEmpty()) {
        TRect fr = ActiveLook && !ActiveFrameRect.IsEmpty() ? ActiveFrameRect : FrameRect;
        if (FullFrame) {
            int fw = ObjectRect.Width() - 2 * SD->ButtonsOffset;
            if (fw > 0 && HasPart(ActivePicture, fr)) {
                TBitmap strip;
                BuildHorzSkinImage(FrameLeftOffset, FrameRightOffset, &strip, ActivePicture, fr, fw,
                                   fr.Height(), false);
                C->Draw(DX + SD->ButtonsOffset, y - FrameTextRect.Top, &strip);
            }
        } else {
            int fw = FrameRect.Width() + tw - FrameTextRect.Width();
            if (fw > 0 && HasPart(ActivePicture, fr)) {
                TBitmap strip;
                BuildHorzSkinImage(FrameLeftOffset, FrameRightOffset, &strip, ActivePicture, fr, fw,
                                   fr.Height(), false);
                C->Draw(x - FrameTextRect.Left, y - FrameTextRect.Top, &strip);
            }
        }
        C->Brush()->SetStyle(bsClear);
    }
    if (Light) {
        f->SetColor(ActiveLook ? ActiveLightColor : LightColor);
        C->TextOut(x - 1, y - 1, text);
    }
    if (Shadow) {
        f->SetColor(ActiveLook ? ActiveShadowColor : ShadowColor);
        C->TextOut(x + 1, y + 1, text);
    }
    TColor color = ActiveLook ? ActiveFontColor : FontColor;
    f->SetColor(color);
    TRect r(x, y, x + tw, y + th);
    std::u16string w16 = Utf8ToUtf16(text);
    UINT fmt = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;
    if (ReflectionEffect)
        DrawReflectionText(C, r, w16, ActiveLook ? ReflectionActiveColor : ReflectionColor,
                           ReflectionOffset, fmt);
    else if (VistaGlowEffect && (ActiveLook || VistaGlowInActiveEffect))
        DrawVistaGlowText(C, r, w16, ActiveLook ? GlowActiveColor : GlowColor, fmt);
    else if (GlowEffect && (ActiveLook || GlowInActiveEffect))
        DrawGlowText(C, r, w16, GlowSize, ActiveLook ? GlowActiveColor : GlowColor, GlowOffset,
                     fmt);
    else
        C->TextOut(x, y, text);
    C->Brush()->SetStyle(bsSolid);
}

void TspSkinCaptionObject::Draw(TCanvas* Cnvs, bool UpDate) {
    if (!SkinReady()) return;
    Active = Parent->GetFormActive();
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (w <= 0 || h <= 0) return;
    const bool nc = Parent->SupportNCArea();
    auto drawImage = [&](TBitmap& img, bool activeLook) {
        DrawText(img.Canvas(), 0, 0, activeLook);
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &img);
    };
    if (EnableAnimation() && CurrentFrame >= 1 && CurrentFrame <= FrameCount) {
        TBitmap img;
        if (nc)
            BuildImage(&img, ActivePicture, AnimationFrame(CurrentFrame), true);
        else
            BuildByRule(&img, ActivePicture, AnimationFrame(CurrentFrame));
        // The text keeps the look of the state being left until the last frame.
        drawImage(img, !Active);
        return;
    }
    if (nc && ActiveSkinRect.IsEmpty()) {
        DrawText(Cnvs, ObjectRect.Left, ObjectRect.Top, Active);
        return;
    }
    if (!ActiveSkinRect.IsEmpty() && (Active || (EnableMorphing() && FMorphKf != 0))) {
        TBitmap act;
        BuildByRule(&act, ActivePicture, ActiveSkinRect);
        DrawText(act.Canvas(), 0, 0, true);
        if (Active && (FMorphKf == 1 || (FMorphKf == 0 && !EnableMorphing()))) {
            Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &act);
            return;
        }
        TBitmap norm;
        BuildByRule(&norm, Picture, SkinRect);
        DrawText(norm.Canvas(), 0, 0, false);
        TBitmap out(w, h);
        DrawMorphed(out.Canvas(), 0, 0, &norm, &act, FMorphKf, MorphKind);
        if (!Active && SD->AutoRenderingInActiveImage)
            ApplyInActiveEffect(&out, SD->InActiveEffect);
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &out);
        return;
    }
    if (UpDate) {
        TBitmap norm;
        BuildByRule(&norm, Picture, SkinRect);
        DrawText(norm.Canvas(), 0, 0, Active);
        if (!Active && SD->AutoRenderingInActiveImage)
            ApplyInActiveEffect(&norm, SD->InActiveEffect);
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &norm);
        return;
    }
    DrawText(Cnvs, ObjectRect.Left, ObjectRect.Top, Active);
}

void TspSkinCaptionObject::MouseDown(int X, int Y, TMouseButton Button) {
    if (!Parent->SupportNCArea() && Parent->WindowState() != wsMaximized)
        Parent->BeginFormDrag(X, Y);
    Parent->DoObjectMouseDown(IDName, X, Y, ObjectRect, Button);
}

void TspSkinCaptionObject::MouseUp(int X, int Y, TMouseButton Button) {
    if (!Parent->SupportNCArea()) Parent->EndFormDrag();
    Parent->DoObjectMouseUp(IDName, X, Y, ObjectRect, Button);
}

void TspSkinCaptionObject::MouseEnter() {
    FMouseIn = true;
    Parent->DoObjectMouseEnter(IDName);
}

void TspSkinCaptionObject::MouseLeave() {
    FMouseIn = false;
    Parent->DoObjectMouseLeave(IDName);
}

TspSkinLabelObject::TspSkinLabelObject(TspSkinnedForm* AParent, TspDataSkinLabel* d)
    : TspActiveSkinObject(AParent, d) {
    if (!d) return;
    FTextValue = d->TextValue;
    FontName = d->FontName;
    FontStyle = d->FontStyle;
    FontHeight = d->FontHeight;
    FontColor = d->FontColor;
    ActiveFontColor = d->ActiveFontColor;
    Alignment = d->Alignment;
}

void TspSkinLabelObject::SetTextValue(const std::string& AValue, bool AUpDate) {
    FTextValue = AValue;
    if (AUpDate) Redraw();
}

void TspSkinLabelObject::DrawText(TBitmap* B, TColor Color) {
    TCanvas* c = B->Canvas();
    c->Font()->SetName(FontName);
    c->Font()->SetStyle(FontStyle);
    c->Font()->SetHeight(FontHeight);
    if (SD->ResourceStrData()) c->Font()->SetCharset(SD->ResourceStrData()->CharSet());
    c->Font()->SetColor(Color);
    c->Brush()->SetStyle(bsClear);
    int w = B->Width(), h = B->Height();
    int tw = c->TextWidth(FTextValue), th = c->TextHeight(FTextValue);
    int x = 0;
    if (Alignment == taRightJustify) x = w - tw;
    if (Alignment == taCenter) x = w / 2 - tw / 2;
    c->TextRect(TRect(0, 0, w, h), x, h / 2 - th / 2, FTextValue);
    c->Brush()->SetStyle(bsSolid);
}

void TspSkinLabelObject::Draw(TCanvas* Cnvs, bool) {
    if (!SkinReady()) return;
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (w <= 0 || h <= 0) return;
    bool morph = EnableMorphing() && ((Active && FMorphKf != 1) || (!Active && FMorphKf != 0));
    TBitmap img;
    if (!morph) {
        if (!Active) {
            StretchPart(&img, Picture, SkinRect, w, h);
            DrawText(&img, FontColor);
        } else if (!HasPart(ActivePicture, ActiveSkinRect)) {
            if (ActiveFontColor == FontColor) return;
            StretchPart(&img, Picture, SkinRect, w, h);
            DrawText(&img, ActiveFontColor);
        } else {
            StretchPart(&img, ActivePicture, ActiveSkinRect, w, h);
            DrawText(&img, ActiveFontColor);
        }
    } else {
        TBitmap norm, hot;
        StretchPart(&norm, Picture, SkinRect, w, h);
        DrawText(&norm, FontColor);
        if (HasPart(ActivePicture, ActiveSkinRect))
            StretchPart(&hot, ActivePicture, ActiveSkinRect, w, h);
        else
            StretchPart(&hot, Picture, SkinRect, w, h);
        DrawText(&hot, ActiveFontColor);
        img.SetSize(w, h);
        DrawMorphed(img.Canvas(), 0, 0, &norm, &hot, FMorphKf, MorphKind);
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &img);
}

void TspSkinLabelObject::MouseEnter() {
    FMouseIn = Active = true;
    if (!ActiveSkinRect.IsEmpty() || ActiveFontColor != FontColor) StartRedraw();
    Parent->DoObjectMouseEnter(IDName);
}

void TspSkinLabelObject::MouseLeave() {
    FMouseIn = Active = false;
    if (!ActiveSkinRect.IsEmpty() || ActiveFontColor != FontColor) StartRedraw();
    Parent->DoObjectMouseLeave(IDName);
}

TspSkinBitLabelObject::TspSkinBitLabelObject(TspSkinnedForm* AParent, TspDataSkinBitLabel* d)
    : TspActiveSkinObject(AParent, d) {
    if (!d) return;
    FTextValue = d->TextValue;
    SymbolWidth = d->SymbolWidth;
    SymbolHeight = d->SymbolHeight;
    Symbols = d->Symbols.get();
    Transparent = d->Transparent;
    TransparentColor = d->TransparentColor;
}

void TspSkinBitLabelObject::SetTextValue(const std::string& AValue, bool AUpDate) {
    FTextValue = AValue;
    if (AUpDate) Redraw();
}

void TspSkinBitLabelObject::Draw(TCanvas* Cnvs, bool) {
    if (!SkinReady()) return;
    int w = SkinRect.Width(), h = SkinRect.Height();
    if (w <= 0 || h <= 0) return;
    TBitmap img;
    StretchPart(&img, Picture, SkinRect, w, h);
    if (Symbols && SymbolWidth > 0 && SymbolHeight > 0 && ActivePicture) {
        for (size_t i = 1; i <= FTextValue.size(); ++i) {
            char ch = FTextValue[i - 1];
            int cut = std::max(0, int(i) * SymbolWidth - w);
            int row = -1, col = -1;
            for (int r = 0; r < Symbols->Count(); ++r) {
                size_t pos = Symbols->Strings(r).find(ch);
                if (pos != std::string::npos) {
                    row = r;
                    col = int(pos);
                    break;
                }
            }
            if (row < 0) continue;
            int sw = SymbolWidth - cut;
            if (sw > 0) {
                int sx = ActiveSkinRect.Left + col * SymbolWidth;
                int sy = ActiveSkinRect.Top + row * SymbolHeight;
                int dx = (int(i) - 1) * SymbolWidth;
                img.Canvas()->CopyRect(TRect(dx, 0, dx + sw, SymbolHeight), ActivePicture->Canvas(),
                                       TRect(sx, sy, sx + sw, sy + SymbolHeight));
            }
            if (cut > 0) break;
        }
    }
    if (Transparent) {
        TBitmap back;
        StretchPart(&back, SD->FPicture.get(), SkinRect, w, h);
        img.SetTransparentMode(tmFixed);
        img.SetTransparentColor(TransparentColor);
        img.SetTransparent(true);
        back.Canvas()->Draw(0, 0, &img);
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &back);
    } else {
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &img);
    }
}
