#include "skin/engine/SkinCtrls.h"

#include <algorithm>

#include "platform/win/region.h"
#include "skin/engine/speffbmp.h"

namespace {

TCursor skinCursor(TspSkinData* sd, int cursorIndex) {
    return cursorIndex == -1 || !sd ? crDefault : TCursor(sd->StartCursorIndex + cursorIndex);
}

// Copies the element's part geometry; false for an element of another kind.
bool copyGeometry(TspSkinPartGeometry& g, TspDataSkinControl* el, TspSkinData* sd,
                  bool withStretchType) {
    auto* c = dynamic_cast<TspDataSkinCustomControl*>(el);
    if (!c) {
        g.ResizeMode = 0;
        g.Picture = nullptr;
        return false;
    }
    g.LTPt = c->LTPoint, g.RTPt = c->RTPoint, g.LBPt = c->LBPoint, g.RBPt = c->RBPoint;
    g.SkinRect = c->SkinRect;
    g.ClRect = c->ClRect;
    g.StretchEffect = c->StretchEffect;
    g.LeftStretch = c->LeftStretch, g.TopStretch = c->TopStretch;
    g.RightStretch = c->RightStretch, g.BottomStretch = c->BottomStretch;
    if (withStretchType) g.StretchType = c->StretchType;
    g.Picture = SkinPictureAt(sd, c->PictureIndex);
    g.ResizeMode = g.GetResizeMode();
    return true;
}

// Mixes B with what lies under the control: AlphaValue / 255 of B.
void drawBlended(TControl* control, TCanvas* canvas, TBitmap* B, bool alphaBlend,
                 uint8_t alphaValue) {
    HDC dc = canvas->Handle();
    if (!dc) return;
    if (!alphaBlend) {
        BitBlt(dc, 0, 0, B->Width(), B->Height(), B->Canvas()->Handle(), 0, 0, SRCCOPY);
        return;
    }
    TBitmap under(control->Width(), control->Height());
    DrawParentBackground(control, under.Canvas());
    auto own = TspEffectBmp::CreateFromhWnd(B->Handle());
    auto back = TspEffectBmp::CreateFromhWnd(under.Handle());
    own->Morph(back.get(), 1 - alphaValue / 255.0);
    own->Draw(dc, 0, 0);
}

// The client part of the picture filling Cl on dc (clipped to Cl).
void fillClient(HDC dc, TBitmap* P, const TRect& src, const TRect& Cl, bool stretchEffect,
                TspStretchType type) {
    int tw = src.Width(), th = src.Height();
    if (!P || tw <= 0 || th <= 0) return;
    TBitmap tile(tw, th);
    BitBlt(tile.Canvas()->Handle(), 0, 0, tw, th, P->Canvas()->Handle(), src.Left, src.Top,
           SRCCOPY);
    int nw = Cl.Width(), nh = Cl.Height();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, Cl.Left, Cl.Top, Cl.Right, Cl.Bottom);
    HDC t = tile.Canvas()->Handle();
    if (stretchEffect && nw > 0 && nh > 0) {
        if (type == spstFull) {
            StretchBlt(dc, Cl.Left, Cl.Top, nw, nh, t, 0, 0, tw, th, SRCCOPY);
        } else if (type == spstHorz) {
            for (int i = 0; i < nw / tw + 1; ++i)
                StretchBlt(dc, Cl.Left + i * tw, Cl.Top, tw, nh, t, 0, 0, tw, th, SRCCOPY);
        } else {
            for (int j = 0; j < nh / th + 1; ++j)
                StretchBlt(dc, Cl.Left, Cl.Top + j * th, nw, th, t, 0, 0, tw, th, SRCCOPY);
        }
    } else if (nw > 0 && nh > 0) {
        for (int j = 0; j < nh / th + 1; ++j)
            for (int i = 0; i < nw / tw + 1; ++i)
                BitBlt(dc, Cl.Left + i * tw, Cl.Top + j * th, tw, th, t, 0, 0, SRCCOPY);
    }
    RestoreDC(dc, saved);
}

} // namespace

TBitmap* SkinPictureAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
}

TspDataSkinControl* SkinElementAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->CtrlList.size()) return nullptr;
    return sd->CtrlList[size_t(index)].get();
}

int SkinControlIndex(TspSkinData* sd, const std::string& name) {
    return !sd || sd->Empty ? -1 : sd->GetControlIndex(name);
}

// ---- TspSkinPartGeometry ----

int TspSkinPartGeometry::GetResizeMode() const {
    if (IsEmptyRect(SkinRect)) return -1;
    if (RBPt.X != 0 && RBPt.Y != 0) return 1;
    if (RTPt.X != 0 || RTPt.Y != 0) return 2;
    if (LBPt.X != 0 || LBPt.Y != 0) return 3;
    return 0;
}

void TspSkinPartGeometry::FitSize(bool Found, int& W, int& H) {
    if (!Found || ResizeMode == -1) return;
    int dw = W - SkinRect.Width(), dh = H - SkinRect.Height();
    if (ResizeMode == 0) {
        W = SkinRect.Width();
        H = SkinRect.Height();
        NewClRect = ClRect;
        return;
    }
    NewLTPoint = LTPt;
    switch (ResizeMode) {
    case 1:
        NewRTPoint = TPoint(RTPt.X + dw, RTPt.Y);
        NewLBPoint = TPoint(LBPt.X, LBPt.Y + dh);
        NewRBPoint = TPoint(RBPt.X + dw, RBPt.Y + dh);
        NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + dw, ClRect.Bottom + dh);
        break;
    case 2:
        H = SkinRect.Height();
        NewRTPoint = TPoint(RTPt.X + dw, RTPt.Y);
        NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + dw, ClRect.Bottom);
        break;
    case 3:
        W = SkinRect.Width();
        NewLBPoint = TPoint(LBPt.X, LBPt.Y + dh);
        NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right, ClRect.Bottom + dh);
        break;
    default:
        break;
    }
}

void TspSkinPartGeometry::BuildImage(TBitmap* B, TBitmap* P, const TRect& R, int W, int H,
                                     bool SkipNinePart, TspStretchType ClientType) {
    if (!P || !B) return;
    switch (ResizeMode) {
    case 0:
        B->SetSize(R.Width(), R.Height());
        BitBlt(B->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), P->Canvas()->Handle(), R.Left,
               R.Top, SRCCOPY);
        break;
    case 1:
        if (!SkipNinePart)
            BuildSkinImage(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint,
                           NewRBPoint, NewClRect, B, P, R, W, H, true, LeftStretch, TopStretch,
                           RightStretch, BottomStretch, StretchEffect, ClientType);
        break;
    case 2:
        BuildHorzSkinImage(LTPt.X, SkinRect.Width() - RTPt.X, B, P, R, W, H, StretchEffect);
        break;
    case 3:
        BuildVertSkinImage(LTPt.Y, SkinRect.Height() - LBPt.Y, B, P, R, W, H, StretchEffect);
        break;
    default:
        break;
    }
}

TRect TspSkinPartGeometry::MapRect(const TRect& R, int W, int H) const {
    int dw = W - SkinRect.Width(), dh = H - SkinRect.Height();
    int sw = SkinRect.Width(), sh = SkinRect.Height();
    TRect r = R;
    auto move = [&](int dx, int dy) {
        r = TRect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy);
    };
    switch (ResizeMode) {
    case 1: {
        TRect A(0, 0, LTPt.X, LTPt.Y), B(RTPt.X, 0, sw, RTPt.Y), C(0, LBPt.Y, LBPt.X, sh),
            D(RBPt.X, RBPt.Y, sw, sh);
        if (RectInsideRect(R, A)) return r;
        if (RectInsideRect(R, B)) return move(dw, 0), r;
        if (RectInsideRect(R, C)) return move(0, dh), r;
        if (RectInsideRect(R, D)) return move(dw, dh), r;
        TPoint tl(R.Left, R.Top), br(R.Right, R.Bottom);
        auto in = [](const TRect& z, TPoint p) { return RectContainsPoint(z, p); };
        if (in(A, tl) && in(D, br)) {
            r.Right += dw, r.Bottom += dh;
        } else if (in(A, tl) && in(B, br)) {
            r.Right += dw;
        } else if (in(C, tl) && in(D, br)) {
            r.Right += dw;
            move(0, dh);
        } else if (in(A, tl) && in(C, br)) {
            r.Bottom += dh;
        } else if (in(B, tl) && in(D, br)) {
            move(dw, 0);
            r.Bottom += dh;
        }
        return r;
    }
    case 2:
        if (R.Left <= LTPt.X && R.Right >= RTPt.X)
            r.Right += dw;
        else if (R.Left >= RTPt.X && R.Right > RTPt.X)
            move(dw, 0);
        return r;
    case 3:
        if (R.Top <= LTPt.Y && R.Bottom >= LBPt.Y)
            r.Bottom += dh;
        else if (R.Top >= LBPt.Y && R.Bottom > LBPt.Y)
            move(0, dh);
        return r;
    default:
        return r;
    }
}

// ---- TspSkinControl ----

TspSkinControl::TspSkinControl(TComponent* AOwner) : TCustomControl(AOwner) {}

TspSkinControl::~TspSkinControl() {
    if (FSD) FSD->RemoveFreeNotification(this);
    if (FHintImageList) FHintImageList->RemoveFreeNotification(this);
}

void TspSkinControl::SetAlphaBlend(bool Value) {
    FAlphaBlend = Value;
    Repaint();
}

void TspSkinControl::SetAlphaBlendValue(uint8_t Value) {
    FAlphaBlendValue = Value;
    Repaint();
}

void TspSkinControl::GetSkinData() {
    FIndex = SkinControlIndex(FSD, FSkinDataName);
}

void TspSkinControl::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspSkinControl::SetSkinDataName(const std::string& Value) {
    FSkinDataName = Value;
}

void TspSkinControl::SetHintImageList(TCustomImageList* v) {
    if (FHintImageList) FHintImageList->RemoveFreeNotification(this);
    FHintImageList = v;
    if (v) v->FreeNotification(this);
}

void TspSkinControl::DrawDefaultImage(TBitmap*) {}
void TspSkinControl::DrawSkinImage(TBitmap*) {}

void TspSkinControl::ApplySkinCursor() {
    if (FUseSkinCursor) SetCursor(skinCursor(FSD, CursorIndex));
}

void TspSkinControl::ChangeSkinData() {
    GetSkinData();
    ApplySkinCursor();
    Repaint();
}

void TspSkinControl::BeforeChangeSkinData() {
    FIndex = -1;
}

void TspSkinControl::CheckParentBackground() {
    if (!FAlphaBlend) return;
    Repaint();
    CheckControlsBackground();
}

void TspSkinControl::CheckControlsBackground() {
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (auto* w = dynamic_cast<TWinControl*>(c)) {
            if (w->HandleAllocated()) SendMessage(w->Handle(), WM_SKIN_CHECKPARENTBG, 0, 0);
        } else {
            c->Perform(WM_SKIN_CHECKPARENTBG, 0, 0);
        }
    }
}

void TspSkinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        // The paint covers everything; erasing would only flicker.
        Message.Result = 1;
        return;
    case WM_PAINT:
        FFromWMPaint = true;
        TCustomControl::WndProc(Message);
        FFromWMPaint = false;
        return;
    case WM_MOVE:
        TCustomControl::WndProc(Message);
        if (FAlphaBlend) Repaint();
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        TCustomControl::WndProc(Message);
        auto& handler = Message.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
        if (handler && !HasState(csDesigning)) handler(this);
        return;
    }
    case WM_SKIN_CHECKPARENTBG:
        CheckParentBackground();
        return;
    default:
        TCustomControl::WndProc(Message);
    }
}

void TspSkinControl::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FHintImageList) FHintImageList = nullptr;
}

void TspSkinControl::PaintImage(TBitmap* B) {
    drawBlended(this, Canvas(), B, FAlphaBlend, FAlphaBlendValue);
}

void TspSkinControl::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    TBitmap B(Width(), Height());
    if (FIndex != -1)
        DrawSkinImage(&B);
    else if (FDrawDefault)
        DrawDefaultImage(&B);
    PaintImage(&B);
}

// ---- TspSkinCustomControl ----

TspSkinCustomControl::TspSkinCustomControl(TComponent* AOwner)
    : TspSkinControl(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetStyle(TFontStyles());
    FDefaultFont->SetHeight(14);
    FDefaultFont->OnChange = [this](TObject*) {
        DefaultFontChanged();
        if (FIndex == -1) Repaint();
    };
}

TspSkinCustomControl::~TspSkinCustomControl() {
    FDefaultFont->OnChange = nullptr;
    if (FRgn) DeleteObject(FRgn);
}

void TspSkinCustomControl::GetSkinData() {
    TspSkinControl::GetSkinData();
    if (FIndex == -1) return;
    TspDataSkinControl* el = SkinElementAt(FSD, FIndex);
    if (copyGeometry(*this, el, FSD, true)) {
        CursorIndex = el->CursorIndex;
        MaskPicture = SkinPictureAt(FSD, el->MaskPictureIndex);
    } else {
        MaskPicture = nullptr;
    }
}

void TspSkinCustomControl::FitSkinSize(int& W, int& H) {
    FitSize(FIndex != -1, W, H);
}

void TspSkinCustomControl::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    DefaultFontChanged();
}

void TspSkinCustomControl::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (FIndex == -1 && Value > 0) SetWidth(Value);
}

void TspSkinCustomControl::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (FIndex == -1 && Value > 0) SetHeight(Value);
}

void TspSkinCustomControl::DrawDefaultImage(TBitmap* B) {
    B->Canvas()->Brush()->SetColor(clBtnFace);
    B->Canvas()->FillRect(TRect(0, 0, Width(), Height()));
}

void TspSkinCustomControl::DrawSkinImage(TBitmap* B) {
    BuildControlImage(B, Picture, SkinRect);
}

void TspSkinCustomControl::BuildControlImage(TBitmap* B, TBitmap* APicture, const TRect& R) {
    BuildImage(B, APicture, R, Width(), Height(), FForceBackground, StretchType);
}

TRect TspSkinCustomControl::MapSkinRect(const TRect& R) const {
    return MapRect(R, Width(), Height());
}

void TspSkinCustomControl::ChangeSkinData() {
    GetSkinData();
    ApplySkinCursor();
    if (FIndex == -1) {
        if (FDefaultWidth > 0) SetWidth(FDefaultWidth);
        if (FDefaultHeight > 0) SetHeight(FDefaultHeight);
        UpdateSkinRegion();
        Repaint();
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    if (w != Width() || h != Height()) {
        // SetBounds brings the region and the picture up to date.
        if (w != Width()) SetWidth(w);
        if (h != Height()) SetHeight(h);
    } else {
        UpdateSkinRegion();
        Repaint();
    }
}

void TspSkinCustomControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    bool counted = FIndex != -1 && (AWidth != Width() || AHeight != Height());
    if (counted) {
        FitSkinSize(AWidth, AHeight);
        if (ResizeMode == 0) NewClRect = ClRect;
    }
    TspSkinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (counted) {
        UpdateSkinRegion();
        Repaint();
    }
    // Children that blend with this control's picture must repaint.
    if (FIndex != -1 && StretchEffect) CheckControlsBackground();
}

void TspSkinCustomControl::UpdateSkinRegion() {
    if (!Parent()) return;
    if (!MaskPicture || FIndex == -1) {
        if (FRgn) {
            if (HandleAllocated()) SetWindowRgn(Handle(), nullptr, 1);
            DeleteObject(FRgn);
            FRgn = nullptr;
        }
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    HRGN rgn = nullptr;
    switch (ResizeMode) {
    case 0:
        MaskToRegion(rgn, MaskPicture);
        break;
    case 1:
        BuildSkinMaskRegion(rgn, LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint,
                            NewRBPoint, NewClRect, MaskPicture, Width(), Height());
        break;
    case 2: {
        TPoint right(Width() + RTPt.X - SkinRect.Width(), RTPt.Y);
        BuildSkinMaskRegion(rgn, LTPt, RTPt, LTPt, RTPt, ClRect, LTPt, right, LTPt, right,
                            NewClRect, MaskPicture, Width(), Height());
        break;
    }
    case 3: {
        TPoint bottom(LBPt.X, Height() + LBPt.Y - SkinRect.Height());
        BuildSkinMaskRegion(rgn, LTPt, LTPt, LBPt, LBPt, ClRect, LTPt, LTPt, bottom, bottom,
                            NewClRect, MaskPicture, Width(), Height());
        break;
    }
    default:
        return;
    }
    // The window owns what it is given; the control keeps its own copy.
    HRGN given = nullptr;
    if (rgn) {
        given = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(given, rgn, nullptr, RGN_COPY);
    }
    SetWindowRgn(Handle(), given, 1);
    if (FRgn) DeleteObject(FRgn);
    FRgn = rgn;
}

void TspSkinCustomControl::Paint() {
    if (Width() < 1 || Height() < 1) return;
    GetSkinData();
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    if (!(FIndex != -1 && FForceBackground && ResizeMode == 1 && !FAlphaBlend)) {
        TspSkinControl::Paint();
        return;
    }
    PaintBorderStrips();
}

void TspSkinCustomControl::PaintBorderStrips() {
    TBitmap left, top, right, bottom;
    BuildSkinBorderImages(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint,
                          NewRBPoint, NewClRect, &left, &top, &right, &bottom, Picture, SkinRect,
                          Width(), Height(), LeftStretch, TopStretch, RightStretch, BottomStretch);
    DrawSkinImage(&top);
    HDC dc = Canvas()->Handle();
    if (!dc) return;
    if (FDrawbackground)
        fillClient(dc, Picture,
                   TRect(ClRect.Left + SkinRect.Left, ClRect.Top + SkinRect.Top,
                         ClRect.Right + SkinRect.Left, ClRect.Bottom + SkinRect.Top),
                   NewClRect, StretchEffect, StretchType);
    auto put = [&](TBitmap& b, int x, int y) {
        if (!b.Empty())
            BitBlt(dc, x, y, b.Width(), b.Height(), b.Canvas()->Handle(), 0, 0, SRCCOPY);
    };
    put(top, 0, 0);
    put(left, 0, top.Height());
    put(right, Width() - right.Width(), top.Height());
    put(bottom, 0, Height() - bottom.Height());
}

// ---- TspGraphicSkinControl ----

TspGraphicSkinControl::TspGraphicSkinControl(TComponent* AOwner) : TGraphicControl(AOwner) {}

TspGraphicSkinControl::~TspGraphicSkinControl() {
    if (FSD) FSD->RemoveFreeNotification(this);
    if (FHintImageList) FHintImageList->RemoveFreeNotification(this);
}

void TspGraphicSkinControl::SetAlphaBlend(bool Value) {
    FAlphaBlend = Value;
    Repaint();
}

void TspGraphicSkinControl::SetAlphaBlendValue(uint8_t Value) {
    FAlphaBlendValue = Value;
    Repaint();
}

void TspGraphicSkinControl::GetSkinData() {
    FIndex = SkinControlIndex(FSD, FSkinDataName);
}

void TspGraphicSkinControl::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspGraphicSkinControl::SetHintImageList(TCustomImageList* v) {
    if (FHintImageList) FHintImageList->RemoveFreeNotification(this);
    FHintImageList = v;
    if (v) v->FreeNotification(this);
}

void TspGraphicSkinControl::DrawDefaultImage(TBitmap*) {}
void TspGraphicSkinControl::DrawSkinImage(TBitmap*) {}

void TspGraphicSkinControl::ApplySkinCursor() {
    if (FUseSkinCursor) SetCursor(skinCursor(FSD, CursorIndex));
}

void TspGraphicSkinControl::ChangeSkinData() {
    GetSkinData();
    ApplySkinCursor();
    Repaint();
}

void TspGraphicSkinControl::BeforeChangeSkinData() {
    FIndex = -1;
}

void TspGraphicSkinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_MOVE:
        TGraphicControl::WndProc(Message);
        if (FAlphaBlend) Repaint();
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        TGraphicControl::WndProc(Message);
        auto& handler = Message.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
        if (handler && !HasState(csDesigning)) handler(this);
        return;
    }
    case WM_SKIN_CHECKPARENTBG:
        if (FAlphaBlend) Repaint();
        return;
    default:
        TGraphicControl::WndProc(Message);
    }
}

void TspGraphicSkinControl::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FHintImageList) FHintImageList = nullptr;
}

void TspGraphicSkinControl::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    TBitmap B(Width(), Height());
    if (FIndex != -1)
        DrawSkinImage(&B);
    else if (FDrawDefault)
        DrawDefaultImage(&B);
    drawBlended(this, Canvas(), &B, FAlphaBlend, FAlphaBlendValue);
}

// ---- TspGraphicSkinCustomControl ----

TspGraphicSkinCustomControl::TspGraphicSkinCustomControl(TComponent* AOwner)
    : TspGraphicSkinControl(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetStyle(TFontStyles());
    FDefaultFont->SetHeight(14);
    FDefaultFont->OnChange = [this](TObject*) {
        DefaultFontChanged();
        if (FIndex == -1) Repaint();
    };
}

TspGraphicSkinCustomControl::~TspGraphicSkinCustomControl() {
    FDefaultFont->OnChange = nullptr;
}

void TspGraphicSkinCustomControl::GetSkinData() {
    TspGraphicSkinControl::GetSkinData();
    if (FIndex == -1) return;
    // The window-less class always fills its client part by spstFull.
    TspDataSkinControl* el = SkinElementAt(FSD, FIndex);
    if (copyGeometry(*this, el, FSD, false)) CursorIndex = el->CursorIndex;
}

void TspGraphicSkinCustomControl::FitSkinSize(int& W, int& H) {
    FitSize(FIndex != -1, W, H);
}

void TspGraphicSkinCustomControl::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    DefaultFontChanged();
}

void TspGraphicSkinCustomControl::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (FIndex == -1 && Value > 0) SetWidth(Value);
}

void TspGraphicSkinCustomControl::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (FIndex == -1 && Value > 0) SetHeight(Value);
}

void TspGraphicSkinCustomControl::DrawDefaultImage(TBitmap* B) {
    B->Canvas()->Brush()->SetColor(clBtnFace);
    B->Canvas()->FillRect(TRect(0, 0, Width(), Height()));
}

void TspGraphicSkinCustomControl::DrawSkinImage(TBitmap* B) {
    BuildControlImage(B, Picture, SkinRect);
}

void TspGraphicSkinCustomControl::BuildControlImage(TBitmap* B, TBitmap* APicture, const TRect& R) {
    BuildImage(B, APicture, R, Width(), Height(), false, spstFull);
}

void TspGraphicSkinCustomControl::ChangeSkinData() {
    GetSkinData();
    ApplySkinCursor();
    if (FIndex == -1) {
        if (FDefaultWidth > 0) SetWidth(FDefaultWidth);
        if (FDefaultHeight > 0) SetHeight(FDefaultHeight);
        Repaint();
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    if (w != Width() || h != Height()) {
        if (w != Width()) SetWidth(w);
        if (h != Height()) SetHeight(h);
    } else {
        Repaint();
    }
}

void TspGraphicSkinCustomControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    bool counted = FIndex != -1 && (AWidth != Width() || AHeight != Height());
    if (counted) {
        FitSkinSize(AWidth, AHeight);
        if (ResizeMode == 0) NewClRect = ClRect;
    }
    TspGraphicSkinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (counted) Repaint();
}

void BuildElementImage(TBitmap* B, TBitmap* Picture, const TspDataSkinCustomControl* E,
                       const TRect& Src, int W, int H) {
    if (!B || !Picture || !E || W <= 0 || H <= 0) return;
    B->SetSize(W, H);
    const int dw = W - E->SkinRect.Width(), dh = H - E->SkinRect.Height();
    TRect cl(E->ClRect.Left, E->ClRect.Top, E->ClRect.Right + dw, E->ClRect.Bottom + dh);
    BuildSkinImage(E->LTPoint, E->RTPoint, E->LBPoint, E->RBPoint, E->ClRect, E->LTPoint,
                   TPoint(E->RTPoint.X + dw, E->RTPoint.Y), TPoint(E->LBPoint.X, E->LBPoint.Y + dh),
                   TPoint(E->RBPoint.X + dw, E->RBPoint.Y + dh), cl, B, Picture, Src, W, H, true,
                   E->LeftStretch, E->TopStretch, E->RightStretch, E->BottomStretch,
                   E->StretchEffect, E->StretchType);
}
