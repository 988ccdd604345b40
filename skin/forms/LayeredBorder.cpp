// The layered border windows drawn around a skinned form, and the form's side
// of them: showing, moving and sizing them with the form.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>
#include <cmath>

#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/nonclient.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

using namespace skinned_form_internal;

namespace {

TRect WindowBounds(TForm* F) {
    RECT r{};
    if (F && F->HandleAllocated())
        GetWindowRect(F->Handle(), &r);
    else if (F)
        r = RECT{F->Left(), F->Top(), F->Left() + F->Width(), F->Top() + F->Height()};
    return TRect(r.left, r.top, r.right, r.bottom);
}

// Copies Src's area S into Dst's area D, stretching by nearest pixels.
void CopyPixels(TspBitmap* Dst, const TRect& D, TspBitmap* Src, const TRect& S) {
    int dw = RectWidth(D), dh = RectHeight(D), sw = RectWidth(S), sh = RectHeight(S);
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    for (int y = 0; y < dh; ++y) {
        int dy = D.Top + y, sy = S.Top + y * sh / dh;
        if (dy < 0 || dy >= Dst->Height() || sy < 0 || sy >= Src->Height()) continue;
        for (int x = 0; x < dw; ++x) {
            int dx = D.Left + x, sx = S.Left + x * sw / dw;
            if (dx < 0 || dx >= Dst->Width() || sx < 0 || sx >= Src->Width()) continue;
            *Dst->PixelAddress(dx, dy) = *Src->PixelAddress(sx, sy);
        }
    }
}

// Tiles Src's area S down Dst from the top, the last tile cut.
void TilePixelsDown(TspBitmap* Dst, TspBitmap* Src, const TRect& S) {
    int h = RectHeight(S);
    if (h <= 0) return;
    for (int y = 0; y < Dst->Height(); y += h) {
        int part = std::min(h, Dst->Height() - y);
        CopyPixels(Dst, TRect(0, y, Dst->Width(), y + part), Src,
                   TRect(S.Left, S.Top, S.Right, S.Top + part));
    }
}

std::unique_ptr<TspBitmap> AlphaPicture(TspSkinData* SD, int Picture, int Mask) {
    if (!SD || Picture < 0 || Picture >= int(SD->FActivePictures.size())) return nullptr;
    TBitmap* pic = SD->FActivePictures[size_t(Picture)].get();
    if (!pic) return nullptr;
    auto b = std::make_unique<TspBitmap>();
    TBitmap* mask = Mask >= 0 && Mask < int(SD->FActivePictures.size())
                        ? SD->FActivePictures[size_t(Mask)].get()
                        : nullptr;
    if (mask) {
        BuildLayerBitmap(pic, mask, b.get());
    } else {
        b->Assign(pic);
        b->SetAlpha(255);
    }
    b->CheckingAlphaBlend();
    return b;
}

} // namespace

TspFormLayerWindow::TspFormLayerWindow(TComponent* AOwner, TForm* AForm)
    : TForm(nullptr), FForm(AForm), FLayerBorder(static_cast<TspFormLayerBorder*>(AOwner)) {
    BorderStyle = bsNone;
    FVisible = false;
    // The strips stay on top with a stay-on-top form.
    if (AForm && AForm->FormStyle() == fsStayOnTop) SetFormStyle(fsStayOnTop);
}

void TspFormLayerWindow::CreateParams(TCreateParams& Params) {
    TForm::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = (Params.ExStyle & WS_EX_TOPMOST) | WS_EX_TOOLWINDOW | WS_EX_LAYERED;
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || IsEmptyRect(d->BorderRect)) Params.ExStyle |= WS_EX_TRANSPARENT;
    Params.WndParent = 0;
}

bool TspFormLayerWindow::CanResize() const {
    TspSkinnedForm* sf = FLayerBorder->DSF;
    return sf && sf->IsSizeAble() && !sf->RollUpState() && sf->WindowState() == wsNormal;
}

TspFormLayerBorderHit TspFormLayerWindow::GetHitMode() const {
    POINT c{};
    GetCursorPos(&c);
    TPoint p(c.x, c.y);
    TRect f = WindowBounds(FForm);
    int FL = f.Left, FT = f.Top, FR = f.Right, FB = f.Bottom;
    const TspFormLayerBorder* b = FLayerBorder;
    auto in = [&](int l, int t, int r, int bb) { return RectContainsPoint(TRect(l, t, r, bb), p); };
    auto sides = [&]() {
        if (p.X >= FL - b->LeftSize && p.X < FL) return spflhLeft;
        if (p.X > FR && p.X <= FR + b->RightSize) return spflhRight;
        return spflhNone;
    };
    switch (BorderType) {
    case spflLeft:
        return p.X >= FL - b->LeftSize ? spflhLeft : spflhNone;
    case spflRight:
        return p.X <= FR + b->RightSize ? spflhRight : spflhNone;
    case spflTop:
        if (in(FL - b->LeftSize, FT - b->TopSize, FL + 3, FT + 3)) return spflhTopLeft;
        if (in(FL, FT - b->TopSize, FR, FT)) return spflhTop;
        if (in(FR - 3, FT - b->TopSize, FR + b->RightSize, FT + 3)) return spflhTopRight;
        return p.Y > FT ? sides() : spflhNone;
    case spflBottom:
        if (in(FL - b->LeftSize, FB - 3, FL + 3, FB + b->BottomSize)) return spflhBottomLeft;
        if (in(FL, FB, FR, FB + b->BottomSize)) return spflhBottom;
        if (in(FR - 3, FB - 3, FR + b->RightSize, FB + b->BottomSize)) return spflhBottomRight;
        return p.Y < FB ? sides() : spflhNone;
    }
    return spflhNone;
}

void TspFormLayerWindow::WndProc(TMessage& Message) {
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        TspDataSkinLayerFrame* d = FLayerBorder->FData;
        if (d && d->HitTestEnable) {
            FHitMode = GetHitMode();
            if (FHitMode != spflhNone && FForm->HandleAllocated() &&
                GetActiveWindow() != FForm->Handle())
                SetWindowPos(FForm->Handle(), HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        }
        return;
    }
    TForm::WndProc(Message);
}

void TspFormLayerWindow::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TForm::MouseDown(Button, Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || !d->HitTestEnable || !CanResize()) return;
    FInProcessMessages = false;
    FDown = GetHitMode() != spflhNone;
    POINT c{};
    GetCursorPos(&c);
    MousePos1 = MousePos2 = TPoint(c.x, c.y);
    if (FDown) SetCapture(Handle());
}

void TspFormLayerWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TForm::MouseUp(Button, Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || !d->HitTestEnable) return;
    if (FLayerBorder->DSF) FLayerBorder->DSF->FBorderLayerChangeSize = false;
    if (!CanResize()) return;
    FDown = false;
    FInProcessMessages = false;
    if (GetCapture() == Handle()) ReleaseCapture();
}

void TspFormLayerWindow::MouseMove(TShiftState Shift, int X, int Y) {
    TForm::MouseMove(Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    TspSkinnedForm* sf = FLayerBorder->DSF;
    if (!d || !d->HitTestEnable || !sf) return;
    POINT c{};
    GetCursorPos(&c);
    if (FInProcessMessages) {
        FInProcessMessages = false;
        MousePos1 = TPoint(c.x, c.y);
        return;
    }
    if (!CanResize()) {
        ::SetCursor(StockCursor(CursorShape::Arrow));
        return;
    }
    MousePos2 = TPoint(c.x, c.y);
    int dX = MousePos2.X - MousePos1.X, dY = MousePos2.Y - MousePos1.Y;
    if (!FDown) {
        sf->FBorderLayerChangeSize = false;
        FHitMode = GetHitMode();
        CursorShape shape = CursorShape::Arrow;
        switch (FHitMode) {
        case spflhLeft:
        case spflhRight:
            shape = CursorShape::SizeWE;
            break;
        case spflhTop:
        case spflhBottom:
            shape = CursorShape::SizeNS;
            break;
        case spflhTopLeft:
        case spflhBottomRight:
            shape = CursorShape::SizeNWSE;
            break;
        case spflhTopRight:
        case spflhBottomLeft:
            shape = CursorShape::SizeNESW;
            break;
        case spflhNone:
            break;
        }
        ::SetCursor(StockCursor(shape));
        MousePos1 = MousePos2;
        return;
    }
    sf->FBorderLayerChangeSize = true;
    TRect f = WindowBounds(FForm);
    int L = f.Left, T = f.Top, W = RectWidth(f), H = RectHeight(f);
    auto clampW = [&](int w) {
        int mx = sf->GetMaxWidth();
        return std::max(sf->GetMinWidth(), mx > 0 ? std::min(w, mx) : w);
    };
    auto clampH = [&](int h) {
        int mx = sf->GetMaxHeight();
        return std::max(sf->GetMinHeight(), mx > 0 ? std::min(h, mx) : h);
    };
    bool left = FHitMode == spflhLeft || FHitMode == spflhTopLeft || FHitMode == spflhBottomLeft;
    bool right =
        FHitMode == spflhRight || FHitMode == spflhTopRight || FHitMode == spflhBottomRight;
    bool top = FHitMode == spflhTop || FHitMode == spflhTopLeft || FHitMode == spflhTopRight;
    bool bottom =
        FHitMode == spflhBottom || FHitMode == spflhBottomLeft || FHitMode == spflhBottomRight;
    int nW = W, nH = H, nL = L, nT = T;
    if (left) {
        int w = clampW(W - dX);
        // The right edge stays put: a clamped width does not move the form.
        if (w == W - dX) nW = w, nL = L + dX;
    } else if (right) {
        nW = clampW(W + dX);
    }
    if (top) {
        int h = clampH(H - dY);
        if (h == H - dY) nH = h, nT = T + dY;
    } else if (bottom) {
        nH = clampH(H + dY);
    }
    bool corner = (left || right) && (top || bottom);
    bool changed = corner ? ((dX || dY) && (nW != W || nH != H))
                          : ((left || right) ? (dX && nW != W) : (dY && nH != H));
    if (changed) {
        FForm->SetBounds(nL, nT, nW, nH);
        MousePos1 = MousePos2;
        FInProcessMessages = true;
        Application->ProcessMessages();
        FInProcessMessages = false;
    }
    MousePos1 = MousePos2;
}

TspFormLayerBorder::TspFormLayerBorder(TComponent* AOwner)
    : TComponent(nullptr), DSF(static_cast<TspSkinnedForm*>(AOwner)) {}

TspFormLayerBorder::~TspFormLayerBorder() {
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
}

void TspFormLayerBorder::InitFrame(TspSkinData* ASkinData, TForm* AForm) {
    FForm = AForm;
    FSD = ASkinData;
    FData = nullptr;
    if (!ASkinData || ASkinData->Empty || !ASkinData->LayerFrame ||
        ASkinData->LayerFrame->PictureIndex == -1)
        return;
    TspDataSkinLayerFrame* d = ASkinData->LayerFrame.get();
    FSourceBitmap = AlphaPicture(ASkinData, d->PictureIndex, d->MaskPictureIndex);
    if (!FSourceBitmap) return;
    FData = d;
    FCurrentAlphaBlendValue = d->AlphaBlendValue;
    FCurrentInActiveAlphaBlendValue = d->InActiveAlphaBlendValue;
    FSourceInActiveBitMap =
        d->InActivePictureIndex == -1
            ? nullptr
            : AlphaPicture(ASkinData, d->InActivePictureIndex, d->InActiveMaskPictureIndex);
    if (IsEmptyRect(d->BorderRect)) {
        LeftSize = TopSize = RightSize = BottomSize = 0;
    } else {
        LeftSize = d->ClRect.Left - d->BorderRect.Left;
        TopSize = d->ClRect.Top - d->BorderRect.Top;
        RightSize = d->BorderRect.Right - d->ClRect.Right;
        BottomSize = d->BorderRect.Bottom - d->ClRect.Bottom;
    }
}

int TspFormLayerBorder::TopHeight() const {
    return std::max(FData->LTPoint.Y, FData->RTPoint.Y);
}

int TspFormLayerBorder::BottomHeight() const {
    return FSourceBitmap->Height() - std::min(FData->LBPoint.Y, FData->RBPoint.Y);
}

uint8_t TspFormLayerBorder::CurrentAlpha() const {
    return uint8_t(
        std::clamp(FActive ? FCurrentAlphaBlendValue : FCurrentInActiveAlphaBlendValue, 0, 255));
}

TRect TspFormLayerBorder::BorderRectFor(int FL, int FT, int FW, int FH) const {
    if (!FData || !FSourceBitmap) return TRect();
    int X = FL - FData->ClRect.Left, Y = FT - FData->ClRect.Top;
    int W = FW + FSourceBitmap->Width() - RectWidth(FData->ClRect);
    int H = FH + FSourceBitmap->Height() - RectHeight(FData->ClRect);
    return TRect(X, Y, X + W, Y + H);
}

void TspFormLayerBorder::BuildImages(int AWidth, int AHeight) {
    TspBitmap* S =
        !FActive && FSourceInActiveBitMap ? FSourceInActiveBitMap.get() : FSourceBitmap.get();
    LeftImage.reset();
    TopImage.reset();
    RightImage.reset();
    BottomImage.reset();
    if (!S || !FData) return;
    const TspDataSkinLayerFrame* d = FData;
    int SW = S->Width(), SH = S->Height();
    int TH = TopHeight(), BH = BottomHeight();
    auto strip = [](int w, int h) {
        auto b = std::make_unique<TspBitmap>();
        if (w > 0 && h > 0) {
            b->SetSize(w, h);
            b->Clear(0);
        }
        return b;
    };
    TopImage = strip(AWidth, TH);
    if (!TopImage->Empty()) {
        CopyPixels(TopImage.get(), TRect(0, 0, d->LTPoint.X, TH), S, TRect(0, 0, d->LTPoint.X, TH));
        CopyPixels(TopImage.get(), TRect(AWidth - (SW - d->RTPoint.X), 0, AWidth, TH), S,
                   TRect(d->RTPoint.X, 0, SW, TH));
        CopyPixels(TopImage.get(), TRect(d->LTPoint.X, 0, AWidth - (SW - d->RTPoint.X), TH), S,
                   TRect(d->LTPoint.X, 0, d->RTPoint.X, TH));
        TopImage->CheckingAlphaBlend();
    }
    BottomImage = strip(AWidth, BH);
    if (!BottomImage->Empty()) {
        int y0 = SH - BH;
        CopyPixels(BottomImage.get(), TRect(0, 0, d->LBPoint.X, BH), S,
                   TRect(0, y0, d->LBPoint.X, SH));
        CopyPixels(BottomImage.get(), TRect(AWidth - (SW - d->RBPoint.X), 0, AWidth, BH), S,
                   TRect(d->RBPoint.X, y0, SW, SH));
        CopyPixels(BottomImage.get(), TRect(d->LBPoint.X, 0, AWidth - (SW - d->RBPoint.X), BH), S,
                   TRect(d->LBPoint.X, y0, d->RBPoint.X, SH));
        BottomImage->CheckingAlphaBlend();
    }
    int sideH = AHeight - TH - BH;
    LeftImage = strip(sideH > 0 ? d->ClRect.Left : 0, sideH);
    if (!LeftImage->Empty()) {
        TilePixelsDown(LeftImage.get(), S, TRect(0, TH, d->ClRect.Left, SH - BH));
        LeftImage->CheckingAlphaBlend();
    }
    RightImage = strip(sideH > 0 ? SW - d->ClRect.Right : 0, sideH);
    if (!RightImage->Empty()) {
        TilePixelsDown(RightImage.get(), S, TRect(d->ClRect.Right, TH, SW, SH - BH));
        RightImage->CheckingAlphaBlend();
    }
}

void TspFormLayerBorder::PlaceWindows(int X, int Y, bool Update) {
    int TH = TopHeight(), BH = BottomHeight();
    struct P {
        TspFormLayerWindow* W;
        TspBitmap* B;
        int X, Y;
    };
    int rightW = RightImage ? RightImage->Width() : 0;
    const P places[] = {
        {TopBorder.get(), TopImage.get(), X, Y},
        {BottomBorder.get(), BottomImage.get(), X, Y + FHeight - BH},
        {LeftBorder.get(), LeftImage.get(), X, Y + TH},
        {RightBorder.get(), RightImage.get(), X + FWidth - rightW, Y + TH},
    };
    for (const P& p : places) {
        if (!p.W || !p.B || p.B->Empty()) continue;
        p.W->SetBounds(p.X, p.Y, p.B->Width(), p.B->Height());
        if (Update) UpdateLayeredFromBitmap(p.B, CurrentAlpha(), p.W);
        SetWindowPos(p.W->Handle(), HWND_TOP, p.X, p.Y, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    }
}

void TspFormLayerBorder::Show(int X, int Y, int AWidth, int AHeight) {
    if (!FData) return;
    FX = X;
    FY = Y;
    FWidth = AWidth;
    FHeight = AHeight;
    FVisible = true;
    BuildImages(AWidth, AHeight);
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
    auto make = [this](TspBitmap* B, TspFormLayerBorderType T) {
        std::unique_ptr<TspFormLayerWindow> w;
        if (!B || B->Empty()) return w;
        w = std::make_unique<TspFormLayerWindow>(this, FForm);
        w->BorderType = T;
        return w;
    };
    TopBorder = make(TopImage.get(), spflTop);
    BottomBorder = make(BottomImage.get(), spflBottom);
    LeftBorder = make(LeftImage.get(), spflLeft);
    RightBorder = make(RightImage.get(), spflRight);
    PlaceWindows(X, Y, true);
}

void TspFormLayerBorder::Hide() {
    FVisible = false;
    LeftImage.reset();
    TopImage.reset();
    RightImage.reset();
    BottomImage.reset();
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
}

void TspFormLayerBorder::SetBounds(int X, int Y, int AWidth, int AHeight) {
    if (!FData || !FVisible) return;
    FX = X;
    FY = Y;
    FWidth = AWidth;
    FHeight = AHeight;
    BuildImages(AWidth, AHeight);
    PlaceWindows(X, Y, true);
}

void TspFormLayerBorder::ShowWithForm() {
    TRect f = WindowBounds(FForm);
    TRect b = BorderRectFor(f.Left, f.Top, RectWidth(f), RectHeight(f));
    Show(b.Left, b.Top, RectWidth(b), RectHeight(b));
}

void TspFormLayerBorder::SetBoundsWithForm() {
    TRect f = WindowBounds(FForm);
    SetBoundsWithForm3(f.Left, f.Top, RectWidth(f), RectHeight(f));
}

void TspFormLayerBorder::SetBoundsWithForm2(int AW, int AH) {
    TRect f = WindowBounds(FForm);
    SetBoundsWithForm3(f.Left, f.Top, AW, AH);
}

void TspFormLayerBorder::SetBoundsWithForm3(int ALeft, int ATop, int AW, int AH) {
    TRect b = BorderRectFor(ALeft, ATop, AW, AH);
    SetBounds(b.Left, b.Top, RectWidth(b), RectHeight(b));
}

void TspFormLayerBorder::MoveWithForm() {
    TRect f = WindowBounds(FForm);
    MoveWithForm2(f.Left, f.Top);
}

void TspFormLayerBorder::MoveWithForm2(int ALeft, int ATop) {
    if (!FData || !FVisible) return;
    TRect f = WindowBounds(FForm);
    TRect b = BorderRectFor(ALeft, ATop, RectWidth(f), RectHeight(f));
    FX = b.Left;
    FY = b.Top;
    PlaceWindows(b.Left, b.Top, false);
}

void TspFormLayerBorder::SetAlphaBlend() {
    if (!FData || !FVisible) return;
    for (auto [w, b] : {std::pair{TopBorder.get(), TopImage.get()},
                        std::pair{BottomBorder.get(), BottomImage.get()},
                        std::pair{LeftBorder.get(), LeftImage.get()},
                        std::pair{RightBorder.get(), RightImage.get()}})
        if (w && b && !b->Empty()) UpdateLayeredFromBitmap(b, CurrentAlpha(), w);
}

void TspFormLayerBorder::SetAlphaBlend2() {
    if (!FData || !FVisible) return;
    SetAlphaBlend();
    MoveWithForm();
}

void TspFormLayerBorder::CheckFormAlpha(int AFormAlpha, bool AUpdate) {
    if (!FData) return;
    FCurrentAlphaBlendValue = int(std::nearbyint(FData->AlphaBlendValue * AFormAlpha / 255.0));
    FCurrentInActiveAlphaBlendValue =
        int(std::nearbyint(FData->InActiveAlphaBlendValue * AFormAlpha / 255.0));
    if (AUpdate) SetAlphaBlend();
}

void TspFormLayerBorder::SetActive(bool AValue, bool AUpdate) {
    FActive = AValue;
    if (FVisible && AUpdate) SetAlphaBlend2();
}

void TspFormLayerBorder::Draw(TCanvas* C, int X, int Y, int AWidth, int AHeight) {
    if (!FData) return;
    FWidth = AWidth;
    FHeight = AHeight;
    BuildImages(AWidth, AHeight);
    int TH = TopHeight(), BH = BottomHeight();
    int rightW = RightImage ? RightImage->Width() : 0;
    auto put = [C](TspBitmap* b, int x, int y) {
        if (b && !b->Empty()) b->Draw(C, x, y);
    };
    put(TopImage.get(), X, Y);
    put(BottomImage.get(), X, Y + AHeight - BH);
    put(LeftImage.get(), X, Y + TH);
    put(RightImage.get(), X + AWidth - rightW, Y + TH);
}

// ---- The form's side of the border

bool TspSkinnedForm::LayerBorderUsed() const {
    return FFormLayerBorder && FSD && !FSD->Empty && FSD->ShowLayeredBorders() && FSD->LayerFrame &&
           FSD->LayerFrame->PictureIndex != -1 && FSkinnableForm && FSupportNCArea &&
           FWindowState == wsNormal && !FRollUpState && FForm->BorderStyle != bsNone;
}

void TspSkinnedForm::LayerBorderFollow(const TMessage& Message) {
    if (!FFormLayerBorder) return;
    TspFormLayerBorder* b = FFormLayerBorder.get();
    switch (Message.Msg) {
    case WM_SHOWWINDOW:
        if (Message.WParam && LayerBorderUsed()) {
            b->InitFrame(FSD, FForm);
            // A form that fades in shows its border clear at first.
            if (FAlphaBlend || AlphaBlendAnimation || FSD->AnimationForAllWindows() ||
                IsLayeredStartNeeded())
                b->CheckFormAlpha(0, false);
            b->SetActive(true, false);
            b->ShowWithForm();
        } else if (!Message.WParam) {
            b->Hide();
        }
        break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
    case WM_SKIN_APPLYCHANGE:
    case WM_SKIN_ENDCHANGE:
    case WM_SKIN_LAYEREDBORDERSCHANGED: {
        // While the window is being shown it may not count as visible yet;
        // hiding is WM_SHOWWINDOW's business.
        bool shown = FForm->HandleAllocated() && IsWindowVisible(FForm->Handle());
        if (!LayerBorderUsed()) {
            if (b->FVisible) b->Hide();
        } else if (!shown) {
        } else if (!b->FVisible || b->FSD != FSD ||
                   (Message.Msg != WM_SIZE && Message.Msg != WM_WINDOWPOSCHANGED &&
                    Message.Msg != WM_MOVE)) {
            b->InitFrame(FSD, FForm);
            b->SetActive(FFormActive, false);
            b->ShowWithForm();
        } else {
            b->SetBoundsWithForm();
        }
        break;
    }
    case WM_ACTIVATE:
        b->SetActive(LOWORD(Message.WParam) != 0, true);
        break;
    case WM_DESTROY:
        b->Hide();
        break;
    default:
        break;
    }
}
