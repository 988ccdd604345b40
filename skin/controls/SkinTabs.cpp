#include "skin/controls/SkinTabs.h"

#include <algorithm>
#include <climits>

#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/windows.h"
#include "skin/forms/SkinnedForm.h"

namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr TColor kDownFill = TColor(0xB59385);
constexpr TColor kHotFill = TColor(0xD2BDB6);
constexpr TColor kNavy = TColor(0x800000);

// The button element of that name, null when there is none of that kind.
TspDataSkinButtonControl* buttonElement(TspSkinData* sd, const std::string& name) {
    return dynamic_cast<TspDataSkinButtonControl*>(SkinElementAt(sd, SkinControlIndex(sd, name)));
}

void frameAndFill(TCanvas* C, const TRect& R, TColor frame, TColor fill) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(frame);
    C->FrameRect(R);
    C->Brush()->SetColor(fill);
    C->FillRect(TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1));
}

// The button element's state picture scaled to W x H, nine parts moved by the size difference.
void buildButtonImage(TspDataSkinButtonControl* el, TBitmap* P, const TRect& src, TBitmap* B, int W,
                      int H) {
    int dw = W - el->SkinRect.Width(), dh = H - el->SkinRect.Height();
    TRect cl(el->ClRect.Left, el->ClRect.Top, el->ClRect.Right + dw, el->ClRect.Bottom + dh);
    BuildSkinImage(
        el->LTPoint, el->RTPoint, el->LBPoint, el->RBPoint, el->ClRect, el->LTPoint,
        TPoint(el->RTPoint.X + dw, el->RTPoint.Y), TPoint(el->LBPoint.X, el->LBPoint.Y + dh),
        TPoint(el->RBPoint.X + dw, el->RBPoint.Y + dh), cl, B, P, src, W, H, true, el->LeftStretch,
        el->TopStretch, el->RightStretch, el->BottomStretch, el->StretchEffect, el->StretchType);
}

// Quarter turns of a bitmap: counter-clockwise reads upward, clockwise downward.
void turn(TBitmap* src, TBitmap* dst, bool counterClockwise) {
    int w = src->Width(), h = src->Height();
    dst->SetSize(h, w);
    TCanvas* s = src->Canvas();
    TCanvas* d = dst->Canvas();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = s->Pixels(x, y);
            if (counterClockwise)
                d->SetPixel(y, w - 1 - x, c);
            else
                d->SetPixel(h - 1 - y, x, c);
        }
}

void flipVertically(TBitmap* B) {
    int w = B->Width(), h = B->Height();
    TBitmap copy(w, h);
    BitBlt(copy.Canvas()->Handle(), 0, 0, w, h, B->Canvas()->Handle(), 0, 0, SRCCOPY);
    StretchBlt(B->Canvas()->Handle(), 0, h - 1, w, -h, copy.Canvas()->Handle(), 0, 0, w, h,
               SRCCOPY);
}

// Covers W x H of DC with Image by the stretch settings, or tiles it.
void coverWith(HDC DC, TBitmap* Image, int W, int H, bool stretchEffect, TspStretchType type) {
    int iw = Image->Width(), ih = Image->Height();
    if (iw <= 0 || ih <= 0 || W <= 0 || H <= 0) return;
    HDC src = Image->Canvas()->Handle();
    if (stretchEffect) {
        switch (type) {
        case spstFull:
            StretchBlt(DC, 0, 0, W, H, src, 0, 0, iw, ih, SRCCOPY);
            return;
        case spstHorz:
            for (int i = 0; i <= W / iw; ++i)
                StretchBlt(DC, i * iw, 0, iw, H, src, 0, 0, iw, ih, SRCCOPY);
            return;
        case spstVert:
            for (int j = 0; j <= H / ih; ++j)
                StretchBlt(DC, 0, j * ih, W, ih, src, 0, 0, iw, ih, SRCCOPY);
            return;
        }
    }
    for (int i = 0; i <= W / iw; ++i)
        for (int j = 0; j <= H / ih; ++j)
            BitBlt(DC, i * iw, j * ih, iw, ih, src, 0, 0, SRCCOPY);
}

TRect moved(const TRect& R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

void copyPart(TBitmap* P, const TRect& src, TBitmap* dst) {
    dst->SetSize(src.Width(), src.Height());
    if (P)
        BitBlt(dst->Canvas()->Handle(), 0, 0, src.Width(), src.Height(), P->Canvas()->Handle(),
               src.Left, src.Top, SRCCOPY);
}

} // namespace

// ---- Up-down --------------------------------------------------------------------------

TspSkinUpDown::TspSkinUpDown(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    FSkinDataName = "hupdown";
    SetBounds(Left(), Top(), 25, 50);
}

TspSkinUpDown::~TspSkinUpDown() {
    if (HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
}

void TspSkinUpDown::SetUseSkinSize(bool v) {
    FUseSkinSize = v;
    ChangeSkinData();
}

void TspSkinUpDown::SetOrientation(TUDOrientation Value) {
    FOrientation = Value;
    if (HasState(csDesigning) && !HasState(csLoading))
        FSkinDataName = Value == udVertical ? "vupdown" : "hupdown";
    CalcRects();
    Repaint();
}

void TspSkinUpDown::SetPosition(int Value) {
    if (Value < FMin || Value > FMax) return;
    FPosition = Value;
    if (OnChange && !HasState(csDesigning)) OnChange(this);
}

void TspSkinUpDown::SetMin(int Value) {
    FMin = Value;
    if (FPosition < FMin) FPosition = FMin;
}

void TspSkinUpDown::SetMax(int Value) {
    FMax = Value;
    if (FPosition > FMax) FPosition = FMax;
}

void TspSkinUpDown::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    if (auto* el = dynamic_cast<TspDataSkinUpDownControl*>(SkinElementAt(FSD, FIndex))) {
        UpButtonRect = el->UpButtonRect;
        ActiveUpButtonRect = el->ActiveUpButtonRect;
        DownUpButtonRect =
            IsEmptyRect(el->DownUpButtonRect) ? el->ActiveUpButtonRect : el->DownUpButtonRect;
        DownButtonRect = el->DownButtonRect;
        ActiveDownButtonRect = el->ActiveDownButtonRect;
        DownDownButtonRect =
            IsEmptyRect(el->DownDownButtonRect) ? el->ActiveDownButtonRect : el->DownDownButtonRect;
        // The background is built without fixed corner parts.
        LTPt = RTPt = LBPt = RBPt = TPoint();
        ClRect = TRect();
        ResizeMode = GetResizeMode();
    }
    CalcRects();
}

void TspSkinUpDown::CalcRects() {
    int W = Width(), H = Height();
    if (FIndex != -1 && FUseSkinSize) {
        Buttons[0].R = UpButtonRect;
        Buttons[1].R = DownButtonRect;
    } else if (FOrientation == udVertical) {
        Buttons[0].R = TRect(0, 0, W, H / 2);
        Buttons[1].R = TRect(0, H / 2, W, H);
    } else {
        Buttons[0].R = TRect(W / 2, 0, W, H);
        Buttons[1].R = TRect(0, 0, W / 2, H);
    }
}

void TspSkinUpDown::FitSkinSize(int& W, int& H) {
    if (FUseSkinSize) TspSkinCustomControl::FitSkinSize(W, H);
}

void TspSkinUpDown::UpdateSkinRegion() {
    if (FUseSkinSize) TspSkinCustomControl::UpdateSkinRegion();
}

void TspSkinUpDown::DrawDefaultImage(TBitmap* B) {
    CalcRects();
    TCanvas* C = B->Canvas();
    for (int i = 0; i < 2; ++i) {
        const TButton& b = Buttons[i];
        if (b.Down && b.MouseIn)
            frameAndFill(C, b.R, kNavy, kDownFill);
        else if (b.MouseIn)
            frameAndFill(C, b.R, kNavy, kHotFill);
        else
            frameAndFill(C, b.R, clBtnShadow, clBtnFace);
        int dir = FOrientation == udVertical ? (i == 0 ? 3 : 4) : (i == 0 ? 2 : 1);
        DrawArrow(C, b.R, clBlack, dir);
    }
}

void TspSkinUpDown::DrawResizeButton(TCanvas* C, int i) {
    const TButton& b = Buttons[i];
    int w = b.R.Width(), h = b.R.Height();
    if (w <= 0 || h <= 0) return;
    TBitmap img(w, h);
    auto* el = buttonElement(FSD, "resizebutton");
    TBitmap* P = el ? SkinPictureAt(FSD, el->PictureIndex) : nullptr;
    if (el && P) {
        TRect active = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
        TRect down = IsEmptyRect(el->DownSkinRect) ? active : el->DownSkinRect;
        bool pressed = b.Down && b.MouseIn;
        TRect src = pressed ? down : b.MouseIn ? active : el->SkinRect;
        TColor colour = pressed     ? el->DownFontColor
                        : b.MouseIn ? el->ActiveFontColor
                                    : el->FontColor;
        buildButtonImage(el, P, src, &img, w, h);
        TRect ar(0, 0, w, h);
        if (pressed) ar.Left += 2, ar.Top += 2;
        int dir = FOrientation == udVertical ? (i == 0 ? 3 : 4) : (i == 0 ? 2 : 1);
        DrawArrow(img.Canvas(), ar, colour, dir);
    }
    C->Draw(b.R.Left, b.R.Top, &img);
}

void TspSkinUpDown::DrawSkinImage(TBitmap* B) {
    CalcRects();
    if (!FUseSkinSize) {
        for (int i = 0; i < 2; ++i)
            DrawResizeButton(B->Canvas(), i);
        return;
    }
    TspSkinCustomControl::DrawSkinImage(B);
    if (!Picture) return;
    for (int i = 0; i < 2; ++i) {
        const TButton& b = Buttons[i];
        TRect src;
        if (b.Down && b.MouseIn)
            src = i == 0 ? DownUpButtonRect : DownDownButtonRect;
        else if (b.MouseIn)
            src = i == 0 ? ActiveUpButtonRect : ActiveDownButtonRect;
        if (IsEmptyRect(src)) continue;
        StretchBlt(B->Canvas()->Handle(), b.R.Left, b.R.Top, b.R.Width(), b.R.Height(),
                   Picture->Canvas()->Handle(), src.Left, src.Top, src.Width(), src.Height(),
                   SRCCOPY);
    }
}

void TspSkinUpDown::StartTimer(unsigned Ms) {
    if (HandleAllocated()) SetTimer(Handle(), kRepeatTimer, Ms, nullptr);
}

void TspSkinUpDown::StopTimer() {
    if (HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
}

void TspSkinUpDown::TestActive(int X, int Y) {
    FOldActiveButton = FActiveButton;
    int active = -1;
    for (int i = 0; i < 2; ++i)
        if (RectContainsPoint(Buttons[i].R, TPoint(X, Y))) {
            active = i;
            break;
        }
    if (FCaptureButton != -1 && active != -1 && active != FCaptureButton) active = -1;
    FActiveButton = active;
    if (FActiveButton == FOldActiveButton) return;
    if (FOldActiveButton != -1) ButtonLeave(FOldActiveButton);
    if (FActiveButton != -1) ButtonEnter(FActiveButton);
}

void TspSkinUpDown::ButtonEnter(int i) {
    Buttons[1 - i].MouseIn = false;
    Buttons[i].MouseIn = true;
    Repaint();
    if (FIncrement != 0 && Buttons[i].Down) StartTimer(50);
}

void TspSkinUpDown::ButtonLeave(int i) {
    Buttons[i].MouseIn = false;
    Repaint();
    if (FIncrement != 0 && Buttons[i].Down) StopTimer();
}

void TspSkinUpDown::ButtonDown(int i) {
    Buttons[i].MouseIn = true;
    Buttons[i].Down = true;
    Repaint();
    if (FIncrement != 0) {
        TimerMode = i == 0 ? 2 : 1;
        WaitMode = true;
        StartTimer(500);
    }
}

void TspSkinUpDown::ButtonUp(int i) {
    if (FIncrement != 0) {
        StopTimer();
        TimerMode = 0;
    }
    Buttons[i].Down = false;
    if (FActiveButton != i) Buttons[i].MouseIn = false;
    Repaint();
    if (i == 0) {
        if (FIncrement != 0) SetPosition(FPosition + FIncrement);
        if (OnUpButtonClick) OnUpButtonClick(this);
    } else {
        if (FIncrement != 0) SetPosition(FPosition - FIncrement);
        if (OnDownButtonClick) OnDownButtonClick(this);
    }
}

void TspSkinUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TestActive(X, Y);
    if (FActiveButton == 0)
        Buttons[1].MouseIn = false;
    else
        Buttons[0].MouseIn = false;
    if (FActiveButton != -1) {
        FCaptureButton = FActiveButton;
        ButtonDown(FActiveButton);
    }
    // The release reaches the control wherever it happens.
    if (HandleAllocated()) SetCapture(Handle());
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinUpDown::MouseMove(TShiftState Shift, int X, int Y) {
    TestActive(X, Y);
    TspSkinCustomControl::MouseMove(Shift, X, Y);
}

void TspSkinUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    if (FCaptureButton != -1) {
        ButtonUp(FCaptureButton);
        FCaptureButton = -1;
    }
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinUpDown::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcRects();
        return;
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam != kRepeatTimer) return;
        if (WaitMode) {
            WaitMode = false;
            StartTimer(100);
            return;
        }
        if (TimerMode == 1)
            SetPosition(FPosition - FIncrement);
        else if (TimerMode == 2)
            SetPosition(FPosition + FIncrement);
        return;
    case CM_MOUSEENTER:
        FActiveButton = FOldActiveButton = -1;
        TspSkinCustomControl::WndProc(Message);
        return;
    case CM_MOUSELEAVE:
        TspSkinCustomControl::WndProc(Message);
        for (auto& b : Buttons)
            if (b.MouseIn) {
                b.MouseIn = false;
                Repaint();
            }
        return;
    default:
        TspSkinCustomControl::WndProc(Message);
    }
}

// ---- Tab sheet --------------------------------------------------------------------------

TspSkinCustomTabSheet::TspSkinCustomTabSheet(TComponent* AOwner)
    : TTabSheet(AOwner), FWallPaper(std::make_unique<TBitmap>()) {
    SetAlign(alClient);
    ControlStyle |= csAcceptsControls;
    // The native control reserves image room only for tabs that name an image.
    SetImageIndex(0);
}

TspSkinCustomTabSheet::~TspSkinCustomTabSheet() {
    SetPageControl(nullptr);
}

void TspSkinCustomTabSheet::CreateParams(TCreateParams& Params) {
    TTabSheet::CreateParams(Params);
    Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TspSkinCustomTabSheet::SetWallPaper(TBitmap* Value) {
    FWallPaper->Assign(Value);
    if (HasState(csDesigning)) Repaint();
}

TspSkinPageControl* TspSkinCustomTabSheet::SkinPageControl() const {
    return dynamic_cast<TspSkinPageControl*>(PageControl());
}

void TspSkinCustomTabSheet::PaintBG(HDC DC) {
    TspSkinPageControl* pc = SkinPageControl();
    int W = Width(), H = Height();
    if (W <= 0 || H <= 0 || !pc) return;
    pc->GetSkinData();
    if (!FWallPaper->Empty()) {
        coverWith(DC, FWallPaper.get(), W, H, false, spstFull);
        return;
    }
    TspSkinData* sd = pc->SkinData();
    if (sd && !sd->Empty && pc->Index() != -1 && pc->BGPictureIndex != -1) {
        if (TBitmap* bg = SkinPictureAt(sd, pc->BGPictureIndex)) {
            coverWith(DC, bg, W, H, pc->StretchEffect, pc->StretchType);
            return;
        }
    }
    if (pc->Index() == -1) {
        HBRUSH b = CreateSolidBrush(ColorToRGB(clBtnFace));
        RECT r{0, 0, W, H};
        FillRect(DC, &r, b);
        DeleteObject(b);
        return;
    }
    TBitmap part;
    copyPart(pc->Picture, moved(pc->ClRect, pc->SkinRect.Left, pc->SkinRect.Top), &part);
    if (pc->StretchEffect) {
        // Stretched to the page control's size, seen from the sheet's origin.
        TBitmap whole(pc->Width(), pc->Height());
        coverWith(whole.Canvas()->Handle(), &part, pc->Width(), pc->Height(), true,
                  pc->StretchType);
        BitBlt(DC, 0, 0, W, H, whole.Canvas()->Handle(), 0, 0, SRCCOPY);
    } else {
        coverWith(DC, &part, W, H, false, spstFull);
    }
}

void TspSkinCustomTabSheet::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        PaintBG(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_SKIN_PAINTNCTODC:
        Message.Result = 12851;
        return;
    case WM_SIZE: {
        TTabSheet::WndProc(Message);
        Repaint();
        TspSkinPageControl* pc = SkinPageControl();
        if (pc && pc->SkinData() && !pc->SkinData()->Empty && pc->Index() != -1 &&
            pc->StretchEffect)
            for (int i = 0; i < ControlCount(); ++i)
                if (auto* w = dynamic_cast<TWinControl*>(Controls(i)); w && w->HandleAllocated())
                    SendMessage(w->Handle(), WM_SKIN_CHECKPARENTBG, 0, 0);
        return;
    }
    default:
        TTabSheet::WndProc(Message);
    }
}

// ---- Page control -----------------------------------------------------------------------

// The image-less list the native control gets: only its size counts, so every
// tab keeps room for the real image and the close button.
class TspSkinPageControl::ReservedRoom : public ControlImages {
public:
    int W = 1;
    int Count() const override { return INT_MAX; }
    int Width() const override { return W; }
    int Height() const override { return 1; }
    void Draw(HDC, int, int, int, bool) override {}
};

TspSkinPageControl::TspSkinPageControl(TComponent* AOwner)
    : TPageControl(AOwner), FTempImages(std::make_unique<ReservedRoom>()),
      FDefaultFont(std::make_unique<TFont>()) {
    for (TFont* f : {Font(), FDefaultFont.get()}) {
        f->SetName("Arial");
        f->SetStyle(TFontStyles());
        f->SetColor(clBtnText);
        f->SetHeight(14);
    }
}

TspSkinPageControl::~TspSkinPageControl() {
    FSkinUpDown.reset();
    if (FSD) FSD->RemoveFreeNotification(this);
    if (FImages) FImages->RemoveFreeNotification(this);
    DestroyHandle();
}

int TspSkinPageControl::ReservedTabRoom() const {
    return FTempImages->W;
}

void TspSkinPageControl::SetReservedRoom(int Value) {
    FTempImages->W = std::max(1, Value);
    if (HandleAllocated())
        SendMessage(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FTempImages.get()));
}

void TspSkinPageControl::CreateWnd() {
    TPageControl::CreateWnd();
    SendMessage(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FTempImages.get()));
    Realign();
}

void TspSkinPageControl::Loaded() {
    TPageControl::Loaded();
    if (FIndex == -1) {
        SetItemSize(TabWidth(), TabHeight() > 0 ? TabHeight() : FDefaultItemHeight);
        UpdateUpDownPosition();
        Realign();
    }
}

void TspSkinPageControl::Notification(TComponent* AComponent, TOperation Operation) {
    TPageControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FImages) FImages = nullptr;
}

void TspSkinPageControl::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspSkinPageControl::SetImages(TCustomImageList* Value) {
    int room = FTempImages->W;
    if (FImages) {
        room -= FImages->Width();
        FImages->RemoveFreeNotification(this);
    }
    FImages = Value;
    if (Value) {
        room += Value->Width();
        Value->FreeNotification(this);
    }
    SetReservedRoom(room);
    Invalidate();
}

void TspSkinPageControl::SetShowCloseButtons(bool Value) {
    if (FShowCloseButtons != Value) {
        FShowCloseButtons = Value;
        SetReservedRoom(FTempImages->W + (Value ? FCloseSize : -FCloseSize));
    }
    Invalidate();
}

void TspSkinPageControl::SetTextInHorizontal(bool Value) {
    FTextInHorizontal = Value;
    Invalidate();
}

void TspSkinPageControl::SetTabExtededDraw(bool Value) {
    FTabExtendedDraw = Value;
    Invalidate();
}

void TspSkinPageControl::SetTabLayout(TspButtonLayout Value) {
    if (FTabLayout == Value) return;
    FTabLayout = Value;
    Repaint();
}

void TspSkinPageControl::SetTabSpacing(int Value) {
    if (FTabSpacing == Value) return;
    FTabSpacing = Value;
    Repaint();
}

void TspSkinPageControl::SetTabMargin(int Value) {
    if (FTabMargin == Value || Value < -1) return;
    FTabMargin = Value;
    Repaint();
}

void TspSkinPageControl::SetTabsBGTransparent(bool Value) {
    if (FTabsBGTransparent == Value) return;
    FTabsBGTransparent = Value;
    Invalidate();
}

void TspSkinPageControl::SetDefaultItemHeight(int Value) {
    FDefaultItemHeight = Value;
    if (FIndex == -1) {
        SetItemSize(TabWidth(), Value);
        UpdateUpDownPosition();
        Realign();
    }
}

void TspSkinPageControl::SetTabsInCenter(bool Value) {
    if (Value && TabWidth() == 0) return;
    FTabsInCenter = Value;
    if (Value) {
        if (TabPosition() != tpTop) SetTabPosition(tpTop);
        if (MultiLine()) SetMultiLine(false);
        FTabsBGTransparent = true;
    }
    Invalidate();
}

void TspSkinPageControl::SetItemSize(int W, int H) {
    if (HandleAllocated()) Perform(TCM_SETITEMSIZE, 0, MAKELPARAM(W, H));
}

bool TspSkinPageControl::HasVisibleTabs() const {
    for (int i = 0; i < PageCount(); ++i)
        if (Pages(i)->TabVisible()) return true;
    return false;
}

TspSkinCustomTabSheet* TspSkinPageControl::SkinPage(int PageIndex) const {
    if (PageIndex < 0 || PageIndex >= PageCount()) return nullptr;
    return dynamic_cast<TspSkinCustomTabSheet*>(Pages(PageIndex));
}

bool TspSkinPageControl::SkinFontCharset(TFont* F) {
    if (FSD && FSD->ResourceStrData()) {
        F->SetCharset(FSD->ResourceStrData()->CharSet());
        return true;
    }
    return false;
}

void TspSkinPageControl::GetSkinData() {
    BGPictureIndex = -1;
    FIndex = SkinControlIndex(FSD, FSkinDataName);
    auto* el = dynamic_cast<TspDataSkinTabControl*>(SkinElementAt(FSD, FIndex));
    if (!el) return;
    Picture = SkinPictureAt(FSD, el->PictureIndex);
    SkinRect = el->SkinRect;
    ClRect = el->ClRect;
    TabRect = el->TabRect;
    ActiveTabRect = IsEmptyRect(el->ActiveTabRect) ? el->TabRect : el->ActiveTabRect;
    FocusTabRect = IsEmptyRect(el->FocusTabRect) ? el->ActiveTabRect : el->FocusTabRect;
    MouseInTabRect = el->MouseInTabRect;
    TabsBGRect = el->TabsBGRect;
    LTPt = el->LTPoint, RTPt = el->RTPoint, LBPt = el->LBPoint, RBPt = el->RBPoint;
    TabLeftOffset = el->TabLeftOffset;
    TabRightOffset = el->TabRightOffset;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    ActiveFontColor = el->ActiveFontColor;
    FocusFontColor = el->FocusFontColor;
    MouseInFontColor = el->MouseInFontColor;
    UpDown = el->UpDown;
    BGPictureIndex = el->BGPictureIndex;
    TabStretchEffect = el->TabStretchEffect;
    ShowFocus = el->ShowFocus;
    FocusOffsetX = el->FocusOffsetX;
    FocusOffsetY = el->FocusOffsetY;
    LeftStretch = el->LeftStretch, TopStretch = el->TopStretch;
    RightStretch = el->RightStretch, BottomStretch = el->BottomStretch;
    StretchEffect = el->StretchEffect;
    StretchType = el->StretchType;
    CloseButtonRect = el->CloseButtonRect;
    ButtonTransparent = el->ButtonTransparent;
    ButtonTransparentColor = el->ButtonTransparentColor;
    ClosebuttonActiveRect =
        IsEmptyRect(el->CloseButtonActiveRect) ? el->CloseButtonRect : el->CloseButtonActiveRect;
    CloseButtonDownRect =
        IsEmptyRect(el->CloseButtonDownRect) ? ClosebuttonActiveRect : el->CloseButtonDownRect;
}

void TspSkinPageControl::ChangeSkinData() {
    GetSkinData();
    auto* el = dynamic_cast<TspDataSkinTabControl*>(SkinElementAt(FSD, FIndex));
    if (FShowCloseButtons) {
        int room = FTempImages->W - FCloseSize;
        FCloseSize = !el || IsEmptyRect(CloseButtonRect) ? 14 : CloseButtonRect.Width();
        SetReservedRoom(room + FCloseSize);
    }
    if (FIndex == -1) {
        Font()->Assign(FDefaultFont.get());
        SkinFontCharset(Font());
    } else {
        if (FUseSkinFont) {
            Font()->SetName(FontName);
            Font()->SetHeight(FontHeight);
            Font()->SetStyle(FontStyle);
        } else {
            Font()->Assign(FDefaultFont.get());
        }
        if (!SkinFontCharset(Font())) Font()->SetCharset(FDefaultFont->Charset());
        Font()->SetColor(FontColor);
    }
    int h = TabHeight() > 0 ? TabHeight() : FIndex == -1 ? FDefaultItemHeight : TabRect.Height();
    SetItemSize(TabWidth(), h);
    UpdateUpDownPosition();
    Realign();
    if (FSkinUpDown) {
        FSkinUpDown.reset();
        CheckUpDown();
    }
    if (ActivePage()) ActivePage()->Repaint();
    Invalidate();
}

void TspSkinPageControl::UpDateTabs() {
    int h = TabHeight() > 0 ? TabHeight() : FIndex == -1 ? FDefaultItemHeight : TabRect.Height();
    SetItemSize(TabWidth(), h);
    if (MultiLine()) FSkinUpDown.reset();
    Realign();
}

void TspSkinPageControl::HideTabs() {
    if (FOldTabHeight != -1 || !HasVisibleTabs()) return;
    FOldTabPosition = TabPosition();
    FOldMultiLine = MultiLine();
    if (TabPosition() == tpLeft || TabPosition() == tpRight) SetTabPosition(tpTop);
    if (MultiLine()) SetMultiLine(false);
    FOldTabHeight = TabHeight();
    SetTabHeight(1);
    FHideTabs = true;
    FSkinUpDown.reset();
}

void TspSkinPageControl::ShowTabs() {
    if (FOldTabHeight == -1) return;
    if (TabPosition() != FOldTabPosition) SetTabPosition(FOldTabPosition);
    if (MultiLine() != FOldMultiLine) SetMultiLine(FOldMultiLine);
    SetTabHeight(FOldTabHeight);
    FHideTabs = false;
    if (FOldTabHeight <= 0) {
        GetSkinData();
        if (FIndex != -1)
            SetItemSize(TabWidth(), TabRect.Height());
        else
            SetItemSize(TabWidth(), FDefaultItemHeight);
    }
    FOldTabHeight = -1;
    if (!MultiLine()) CheckUpDown();
}

void TspSkinPageControl::HideBorderAndTabs() {
    if (TabPosition() != tpTop) SetTabPosition(tpTop);
    FHideTabs = true;
    FHideBorder = true;
    FSkinUpDown.reset();
    Realign();
}

void TspSkinPageControl::ShowBorderAndTabs() {
    FHideTabs = false;
    FHideBorder = false;
    ShowTabs();
    Realign();
}

TRect TspSkinPageControl::GetTabRect(int Index) {
    RECT r{};
    if (!HandleAllocated()) return TRect();
    Perform(TCM_GETITEMRECT, WPARAM(Index), reinterpret_cast<LPARAM>(&r));
    if (Index == 0 && !MultiLine()) r.left += 1;
    return TRect(r);
}

int TspSkinPageControl::CenterOffset() const {
    if (TabWidth() == 0) return 0;
    int n = 0;
    for (int i = 0; i < PageCount(); ++i)
        if (Pages(i)->TabVisible()) ++n;
    return std::max(0, Width() / 2 - (TabWidth() * n) / 2);
}

int TspSkinPageControl::GetHiddenTabsCount() {
    int n = 0, count = HandleAllocated() ? int(Perform(TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        TRect r = GetTabRect(i);
        if (r.Right <= 0 || r.Right > Width() - 3) ++n;
    }
    return n;
}

int TspSkinPageControl::GetFirstVisibleTabIndex() {
    int n = 0, count = HandleAllocated() ? int(Perform(TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i)
        if (GetTabRect(i).Right <= 0) ++n;
    return n;
}

void TspSkinPageControl::CheckUpDown() {
    if (!HandleAllocated()) return;
    // The native arrows never show: the skinned pair takes their place.
    for (HWND c = GetWindow(Handle(), GW_CHILD); c;) {
        HWND next = GetWindow(c, GW_HWNDNEXT);
        if (GetClassName(c) == UPDOWN_CLASS) DestroyWindow(c);
        c = next;
    }
    int hidden = GetHiddenTabsCount();
    if (hidden == 0 || MultiLine()) {
        FSkinUpDown.reset();
        return;
    }
    if (!FSkinUpDown) {
        if (FHideTabs) return;
        FSkinUpDown = std::make_unique<TspSkinUpDown>(nullptr);
        TspSkinUpDown* u = FSkinUpDown.get();
        u->SetBounds(Width() - FDefaultItemHeight * 2, 0, FDefaultItemHeight * 2,
                     FDefaultItemHeight);
        u->SetMin(0);
        u->SetMax(hidden);
        u->SetPosition(GetFirstVisibleTabIndex());
        u->SetIncrement(1);
        u->OnChange = [this](TObject* Sender) { UpDownChange(Sender); };
        u->SetSkinDataName(FIndex == -1 ? std::string() : UpDown);
        u->SetParent(this);
        u->SetSkinData(FSD);
        u->SetVisible(true);
    }
    TspSkinUpDown* u = FSkinUpDown.get();
    u->SetMax(hidden);
    int top = TabPosition() == tpTop ? 0 : Height() - u->Height();
    u->SetBounds(Width() - u->Width(), top, u->Width(), u->Height());
}

void TspSkinPageControl::UpDownChange(TObject*) {
    if (!FSkinUpDown) return;
    FSkinUpDown->SetMax(GetHiddenTabsCount());
    SendMessage(Handle(), WM_HSCROLL, MAKELPARAM(SB_THUMBPOSITION, FSkinUpDown->Position()), 0);
}

void TspSkinPageControl::UpdateUpDownPosition() {
    if (FSkinUpDown) {
        // Quietly: the position follows the tabs, it does not move them.
        auto handler = std::move(FSkinUpDown->OnChange);
        FSkinUpDown->SetPosition(GetFirstVisibleTabIndex());
        FSkinUpDown->OnChange = std::move(handler);
    }
    Invalidate();
}

void TspSkinPageControl::Change() {
    UpdateUpDownPosition();
    TPageControl::Change();
    Invalidate();
    if (ActivePage()) ActivePage()->Invalidate();
}

void TspSkinPageControl::AdjustDisplayRect(RECT& R) {
    if (FHideBorder) {
        R = RECT{0, -2, Width(), Height()};
        return;
    }
    RECT c{};
    GetClientRect(Handle(), &c);
    int CW = c.right, CH = c.bottom;
    bool el = FIndex != -1;
    int L = ClRect.Left, T = ClRect.Top, RB = SkinRect.Width() - ClRect.Right,
        BB = SkinRect.Height() - ClRect.Bottom;
    switch (TabPosition()) {
    case tpTop:
        if (el)
            R = RECT{L, R.top + T - 6, CW - RB, CH - BB};
        else
            R = RECT{1, R.top - 5, CW - 1, CH - 1};
        if (FHideTabs) R.top -= 1;
        break;
    case tpBottom:
        if (el)
            R = RECT{L, R.top + T - 4, CW - RB, R.bottom - BB + 4};
        else
            R = RECT{1, 1, CW - 1, R.bottom + 3};
        if (FHideTabs && el) R.bottom += 1;
        break;
    case tpLeft:
        if (el)
            R = RECT{R.left + L - 4, R.top + T - 4, CW - RB, CH - BB};
        else
            R = RECT{R.left - 3, R.top - 5, CW - 1, CH - 1};
        if (FHideTabs) R.left -= 1;
        break;
    case tpRight:
        if (el)
            R = RECT{L, R.top + T - 4, R.right - RB + 4, CH - BB};
        else
            R = RECT{R.left - 3, R.top - 5, R.right + 3, CH - 1};
        if (FHideTabs) R.right += 1;
        break;
    }
}

void TspSkinPageControl::AdjustTabRect(RECT& R) {
    if (Style() != tsTabs) return;
    switch (TabPosition()) {
    case tpTop:
        if (!MultiLine()) OffsetRect(&R, -2, 0);
        OffsetRect(&R, 0, -2);
        if (FTabsInCenter && !HasState(csDesigning)) OffsetRect(&R, CenterOffset(), 0);
        break;
    case tpBottom:
        if (!MultiLine()) OffsetRect(&R, -2, 0);
        OffsetRect(&R, 0, 2);
        break;
    case tpLeft:
        OffsetRect(&R, -2, 0);
        break;
    case tpRight:
        OffsetRect(&R, 2, 0);
        break;
    }
}

void TspSkinPageControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SKIN_PAINTNCTODC:
        Message.Result = 12851;
        return;
    case WM_SKIN_CHECKPARENTBG:
        if (FTabsBGTransparent) Repaint();
        return;
    case TCM_ADJUSTRECT:
        TPageControl::WndProc(Message);
        if (!Message.WParam && Message.LParam)
            AdjustDisplayRect(*reinterpret_cast<RECT*>(Message.LParam));
        return;
    case TCM_GETITEMRECT:
        TPageControl::WndProc(Message);
        if (Message.Result && Message.LParam)
            AdjustTabRect(*reinterpret_cast<RECT*>(Message.LParam));
        return;
    case WM_PAINT: {
        if (Message.WParam) {
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            if (dc) PaintWindow(dc);
            EndPaint(Handle(), &ps);
        }
        Message.Result = 0;
        return;
    }
    case WM_ERASEBKGND: {
        Message.Result = 1;
        if (PageCount() > 0 && HasVisibleTabs()) return;
        GetSkinData();
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (!dc) return;
        if (FIndex == -1) {
            HBRUSH b = CreateSolidBrush(ColorToRGB(Color()));
            RECT r{0, 0, Width(), Height()};
            FillRect(dc, &r, b);
            DeleteObject(b);
        } else {
            DrawClientBackground(dc, Width(), Height());
        }
        return;
    }
    case WM_SIZE:
        GetSkinData();
        TPageControl::WndProc(Message);
        if (!MultiLine() && !HasState(csDesigning)) CheckUpDown();
        return;
    case WM_HSCROLL:
        TPageControl::WndProc(Message);
        Repaint();
        return;
    case TCM_INSERTITEM:
    case TCM_DELETEITEM:
    case TCM_DELETEALLITEMS:
    case TCM_SETITEM:
    case TCM_SETITEMSIZE:
    case TCM_SETIMAGELIST:
    case WM_SETREDRAW:
    case WM_SETFONT:
        // The tabs were laid out again: they may overflow now, or fit.
        TPageControl::WndProc(Message);
        if (!MultiLine() && !HasState(csDesigning)) CheckUpDown();
        return;
    case CM_MOUSELEAVE:
        TPageControl::WndProc(Message);
        TestActiveTab(-1, -1);
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TPageControl::WndProc(Message);
        if (FTabsInCenter) Invalidate();
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_NCHITTEST:
        if (FTabsInCenter && !HasState(csDesigning)) {
            // The native control lays the tabs out from x 0.
            int x = int(int16_t(LOWORD(uintptr_t(Message.LParam)))) - CenterOffset();
            Message.LParam = MAKELPARAM(x, HIWORD(uintptr_t(Message.LParam)));
        }
        TPageControl::WndProc(Message);
        return;
    default:
        TPageControl::WndProc(Message);
    }
}

TRect TspSkinPageControl::BorderRect(const TRect& DR) const {
    return TRect(DR.Left - ClRect.Left, DR.Top - ClRect.Top,
                 DR.Right + SkinRect.Width() - ClRect.Right,
                 DR.Bottom + SkinRect.Height() - ClRect.Bottom);
}

TRect TspSkinPageControl::GetSelectedTabArea() {
    int ti = TabIndex();
    if (ti < 0 || ti >= PageCount() || !HasVisibleTabs() || !ActivePage()) return TRect();
    TRect r = GetTabRect(ti);
    int d = ActiveTabRect.Height() - TabRect.Height();
    switch (TabPosition()) {
    case tpTop:
        r.Bottom += d;
        break;
    case tpBottom:
        r.Top -= d;
        break;
    case tpLeft:
        r.Right += d;
        break;
    case tpRight:
        r.Left -= d;
        break;
    }
    return r;
}

void TspSkinPageControl::PaintWindow(HDC DC) {
    if (Width() <= 0 || Height() <= 0 || FInPaint) return;
    FInPaint = true;
    GetSkinData();
    int saved = SaveDC(DC);
    FCanvas.SetHandle(DC);
    if (FIndex == -1)
        DrawDefaultBorder(&FCanvas);
    else
        DrawSkinBorder(&FCanvas);
    DrawTabs(&FCanvas);
    FCanvas.SetHandle(nullptr);
    RestoreDC(DC, saved);
    FInPaint = false;
}

void TspSkinPageControl::DrawDefaultBorder(TCanvas* C) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, Width(), Height()));
    if (FHideBorder) return;
    TRect DR = DisplayRect();
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(DR.Left - 1, DR.Top - 1, DR.Right + 1, DR.Bottom + 1));
}

void TspSkinPageControl::DrawSkinBorder(TCanvas* C) {
    if (FHideBorder || !Picture) return;
    TRect R = BorderRect(DisplayRect());
    int dW = R.Width() - SkinRect.Width(), dH = R.Height() - SkinRect.Height();
    if (R.Width() <= 0 || R.Height() <= 0) return;
    TBitmap left, top, right, bottom;
    BuildSkinBorderImages(LTPt, RTPt, LBPt, RBPt, ClRect, LTPt, TPoint(RTPt.X + dW, RTPt.Y),
                          TPoint(LBPt.X, LBPt.Y + dH), TPoint(RBPt.X + dW, RBPt.Y + dH),
                          TRect(ClRect.Left, ClRect.Top, ClRect.Right + dW, ClRect.Bottom + dH),
                          &left, &top, &right, &bottom, Picture, SkinRect, R.Width(), R.Height(),
                          LeftStretch, TopStretch, RightStretch, BottomStretch);
    HDC dc = C->Handle();
    TRect sel = GetSelectedTabArea();
    int saved = SaveDC(dc);
    if (!IsEmptyRect(sel) && !FHideTabs)
        ExcludeClipRect(dc, sel.Left, sel.Top, sel.Right, sel.Bottom);
    auto put = [&](TBitmap& b, int x, int y) {
        if (!b.Empty())
            BitBlt(dc, x, y, b.Width(), b.Height(), b.Canvas()->Handle(), 0, 0, SRCCOPY);
    };
    put(top, R.Left, R.Top);
    put(left, R.Left, R.Top + top.Height());
    put(right, R.Left + R.Width() - right.Width(), R.Top + top.Height());
    put(bottom, R.Left, R.Top + R.Height() - bottom.Height());
    RestoreDC(dc, saved);
}

void TspSkinPageControl::DrawClientBackground(HDC DC, int W, int H) {
    TBitmap image;
    TBitmap* bg = BGPictureIndex != -1 ? SkinPictureAt(FSD, BGPictureIndex) : nullptr;
    if (bg)
        image.Assign(bg);
    else
        copyPart(Picture, moved(ClRect, SkinRect.Left, SkinRect.Top), &image);
    coverWith(DC, &image, W, H, StretchEffect, StretchType);
}

void TspSkinPageControl::DrawTabs(TCanvas* C) {
    if (FHideTabs || PageCount() == 0 || !HandleAllocated()) return;
    int count = int(Perform(TCM_GETITEMCOUNT, 0, 0));
    int sel = TabIndex();
    auto pageOf = [&](int tab) {
        int n = 0;
        for (int p = 0; p < PageCount(); ++p)
            if (Pages(p)->TabVisible() && n++ == tab) return p;
        return -1;
    };
    if (FIndex == -1) {
        for (int i = 0; i < count; ++i)
            DrawTab(pageOf(i), GetTabRect(i), i == FActiveTabIndex, i == sel, C);
        return;
    }
    int W = Width(), H = Height();
    TRect R = BorderRect(DisplayRect());
    TRect strip;
    switch (TabPosition()) {
    case tpTop:
        strip = TRect(0, 0, W, R.Top);
        break;
    case tpBottom:
        strip = TRect(0, R.Bottom, W, H);
        break;
    case tpLeft:
        strip = TRect(0, 0, R.Left, H);
        break;
    case tpRight:
        strip = TRect(R.Right, 0, W, H);
        break;
    }
    if (strip.Width() > 0 && strip.Height() > 0) {
        TBitmap B(strip.Width(), strip.Height());
        if (FTabsBGTransparent) {
            DrawParentBackgroundOffset(this, strip, B.Canvas());
        } else {
            TBitmap tile;
            TRect src =
                IsEmptyRect(TabsBGRect) ? moved(ClRect, SkinRect.Left, SkinRect.Top) : TabsBGRect;
            copyPart(Picture, src, &tile);
            coverWith(B.Canvas()->Handle(), &tile, B.Width(), B.Height(), false, spstFull);
        }
        for (int i = 0; i < count; ++i) {
            if (i == sel) continue;
            TRect r = moved(GetTabRect(i), -strip.Left, -strip.Top);
            DrawTab(pageOf(i), r, i == FActiveTabIndex, false, B.Canvas());
        }
        HDC dc = C->Handle();
        int saved = SaveDC(dc);
        TRect area = GetSelectedTabArea();
        if (!IsEmptyRect(area)) ExcludeClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
        BitBlt(dc, strip.Left, strip.Top, strip.Width(), strip.Height(), B.Canvas()->Handle(), 0, 0,
               SRCCOPY);
        RestoreDC(dc, saved);
    }
    if (sel >= 0 && sel < count) {
        TRect r = GetTabRect(sel);
        int d = TabRect.Height() - ActiveTabRect.Height();
        if (d != 0) {
            if (TabPosition() == tpBottom) r = moved(r, 0, d);
            if (TabPosition() == tpRight) r = moved(r, d, 0);
        }
        DrawTab(pageOf(sel), r, sel == FActiveTabIndex, true, C);
    }
}

namespace {

// Image and caption side by side, centred in W x H and moved down by Shift.
void drawImageAndTextCentered(TCanvas* C, int W, int H, int Shift, bool Enabled, int ImageIndex,
                              TCustomImageList* Images, const std::string& Text) {
    TSize ts = C->TextExtent(Text);
    int tw = Text.empty() ? 0 : ts.cx + 2, th = ts.cy;
    int iw = Images->Width(), ih = Images->Height();
    int ix = W / 2 - (tw + iw + 2) / 2;
    int iy = H / 2 + Shift - ih / 2;
    RECT tr{ix + iw + 2, H / 2 + Shift - th / 2, 0, 0};
    tr.right = tr.left + tw;
    tr.bottom = tr.top + th;
    C->Brush()->SetStyle(bsClear);
    DrawText(C->Handle(), Text, &tr, DT_CENTER);
    Images->Draw(C, ix, iy, ImageIndex, Enabled);
}

} // namespace

void TspSkinPageControl::DrawTab(int TI, TRect R, bool MouseIn, bool Selected, TCanvas* C) {
    if (FHideTabs || TI < 0 || TI >= PageCount()) return;
    TTabSheet* page = Pages(TI);
    bool image = FImages && page->ImageIndex() >= 0 && page->ImageIndex() < FImages->Count();
    std::string caption = page->Caption();
    TTabPosition pos = TabPosition();
    bool vertical = pos == tpLeft || pos == tpRight;
    int bw = vertical ? R.Height() : R.Width(), bh = vertical ? R.Width() : R.Height();
    if (bw <= 0 || bh <= 0) return;
    bool focused = Focused();
    bool skinned = FIndex != -1 && Picture;
    auto B = std::make_unique<TBitmap>(bw, bh);
    TFont font;
    if (!skinned) {
        TCanvas* BC = B->Canvas();
        if (MouseIn && !Selected) {
            BC->Brush()->SetColor(kHotFill);
            BC->FillRect(TRect(0, 0, bw, bh));
        } else if (Selected && focused) {
            frameAndFill(BC, TRect(0, 0, bw, bh), kNavy, kDownFill);
        } else if (!Selected) {
            BC->Brush()->SetColor(clBtnFace);
            BC->FillRect(TRect(0, 0, bw, bh));
        } else {
            frameAndFill(BC, TRect(0, 0, bw, bh), kNavy, kHotFill);
        }
        font.Assign(Font());
        SkinFontCharset(&font);
    } else {
        TRect src = MouseIn && !Selected && !IsEmptyRect(MouseInTabRect) ? MouseInTabRect
                    : Selected && focused                                ? FocusTabRect
                    : !Selected                                          ? TabRect
                                                                         : ActiveTabRect;
        if (TabHeight() > 0) {
            int q = TabRect.Height() / 4;
            int grow = 0;
            if (Selected && TabRect.Height() < ActiveTabRect.Height())
                grow = ActiveTabRect.Height() - TabRect.Height();
            else if (Selected && focused && TabRect.Height() < FocusTabRect.Height())
                grow = FocusTabRect.Height() - TabRect.Height();
            B->SetSize(bw, bh + grow);
            BuildStretchedSkinImage(
                B.get(), Picture, src,
                TRect(TabLeftOffset, q, src.Width() - TabRightOffset, src.Height() - q), true);
        } else {
            BuildHorzSkinImage(TabLeftOffset, TabRightOffset, B.get(), Picture, src, bw,
                               src.Height(), TabStretchEffect);
        }
        if (pos == tpBottom) flipVertically(B.get());
        if (FUseSkinFont) {
            font.SetName(FontName);
            font.SetStyle(FontStyle);
            font.SetHeight(FontHeight);
        } else {
            font.Assign(Font());
        }
        if (!SkinFontCharset(&font)) font.SetCharset(Font()->Charset());
        font.SetColor(MouseIn && !Selected  ? MouseInFontColor
                      : Selected && focused ? FocusFontColor
                      : !Selected           ? FontColor
                                            : ActiveFontColor);
    }
    if (vertical && FTextInHorizontal) {
        auto upright = std::make_unique<TBitmap>();
        turn(B.get(), upright.get(), pos == tpLeft);
        B = std::move(upright);
    }
    TCanvas* BC = B->Canvas();
    BC->SetFont(&font);
    BC->Brush()->SetStyle(bsClear);
    TRect area(0, 0, B->Width(), B->Height());
    if (skinned && ShowFocus && focused && Selected)
        DrawDottedFocusRect(BC, TRect(area.Left + FocusOffsetX, area.Top + FocusOffsetY,
                                      area.Right - FocusOffsetX, area.Bottom - FocusOffsetY));
    int shift = 0;
    if (skinned && TabRect.Height() != ActiveTabRect.Height() && !Selected)
        shift = pos == tpTop || pos == tpLeft ? 2 : -2;
    area.Top += shift;
    int c = FShowCloseButtons ? FCloseSize + 2 : 0;
    int closeLeft = area.Right - (skinned ? c + 3 : c);
    if (OnDrawSkinTab) {
        OnDrawSkinTab(TI, TRect(0, 0, B->Width(), B->Height()), Selected, MouseIn, BC);
    } else if (image || FTabExtendedDraw) {
        TRect content = area;
        content.Right -= c;
        if (FTabExtendedDraw)
            DrawImageAndText(BC, content, FTabMargin, FTabSpacing, FTabLayout, caption,
                             page->ImageIndex(), FImages, false, page->Enabled(), false, 0);
        else
            drawImageAndTextCentered(BC, B->Width() - c, B->Height(), shift, page->Enabled(),
                                     page->ImageIndex(), FImages, caption);
    } else {
        RECT tr{area.Left, area.Top, closeLeft, area.Bottom};
        DrawText(BC->Handle(), caption, &tr, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    bool turned = vertical && !FTextInHorizontal;
    if (FShowCloseButtons) {
        if (auto* sp = SkinPage(TI)) {
            if (!MouseIn) sp->ButtonMouseIn = false;
            DrawCloseButton(BC, TRect(closeLeft, area.Top, B->Width(), area.Bottom), B->Height(),
                            B->Width(), sp, turned);
        }
    }
    if (turned) {
        TBitmap upright;
        turn(B.get(), &upright, pos == tpLeft);
        C->Draw(R.Left, R.Top, &upright);
    } else {
        C->Draw(R.Left, R.Top, B.get());
    }
}

void TspSkinPageControl::DrawCloseButton(TCanvas* C, TRect R, int TabImageHeight, int TabImageWidth,
                                         TspSkinCustomTabSheet* Page, bool Turned) {
    bool pressed = Page->ButtonMouseDown && Page->ButtonMouseIn;
    bool hot = Page->ButtonMouseIn;
    TRect drawn;
    if (FIndex == -1 || !Picture) {
        drawn = TRect(R.Left, R.Top + R.Height() / 2 - 7, R.Left + 14, R.Top + R.Height() / 2 + 7);
        DrawCloseGlyph(C, drawn.Left + 2, drawn.Top + 2, pressed || hot ? clWhite : clBlack);
    } else if (IsEmptyRect(CloseButtonRect)) {
        auto* el = buttonElement(FSD, "resizetoolbutton");
        TBitmap* P = el ? SkinPictureAt(FSD, el->PictureIndex) : nullptr;
        if (!el || !P) return;
        TRect active = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
        TRect down = IsEmptyRect(el->DownSkinRect) ? active : el->DownSkinRect;
        TRect src = pressed ? down : hot ? active : el->SkinRect;
        TBitmap img;
        buildButtonImage(el, P, src, &img, FCloseSize, FCloseSize);
        DrawCloseGlyph(img.Canvas(), img.Width() / 2 - 5, img.Height() / 2 - 5,
                       pressed ? el->DownFontColor
                       : hot   ? el->ActiveFontColor
                               : el->FontColor);
        drawn = TRect(R.Left, R.Top + R.Height() / 2 - FCloseSize / 2, R.Left + FCloseSize, 0);
        drawn.Bottom = drawn.Top + FCloseSize;
        C->Draw(drawn.Left, drawn.Top, &img);
    } else {
        TRect src = pressed ? CloseButtonDownRect : hot ? ClosebuttonActiveRect : CloseButtonRect;
        TBitmap img;
        copyPart(Picture, src, &img);
        drawn = TRect(R.Left, R.Top + R.Height() / 2 - src.Height() / 2, 0, 0);
        drawn.Right = drawn.Left + src.Width();
        drawn.Bottom = drawn.Top + src.Height();
        if (ButtonTransparent) {
            img.SetTransparentColor(ButtonTransparentColor);
            img.SetTransparent(true);
        }
        C->Draw(drawn.Left, drawn.Top, &img);
    }
    if (Turned && TabPosition() == tpLeft)
        drawn =
            TRect(drawn.Top, TabImageWidth - drawn.Right, drawn.Bottom, TabImageWidth - drawn.Left);
    else if (Turned && TabPosition() == tpRight)
        drawn = TRect(TabImageHeight - drawn.Bottom, drawn.Left, TabImageHeight - drawn.Top,
                      drawn.Right);
    Page->ButtonRect = drawn;
}

void TspSkinPageControl::RedrawTabs() {
    if (!HandleAllocated() || FInPaint) return;
    HDC dc = GetDC(Handle());
    if (!dc) return;
    GetSkinData();
    FCanvas.SetHandle(dc);
    DrawTabs(&FCanvas);
    FCanvas.SetHandle(nullptr);
    ReleaseDC(Handle(), dc);
}

TRect TspSkinPageControl::CloseRectOfHovered() {
    TspSkinCustomTabSheet* p = SkinPage(FActiveTab);
    if (!p || FActiveTabIndex < 0) return TRect();
    TRect t = GetTabRect(FActiveTabIndex);
    return moved(p->ButtonRect, t.Left, t.Top);
}

void TspSkinPageControl::TestActiveTab(int X, int Y) {
    if (FHideTabs) return;
    FOldActiveTab = FActiveTab;
    FOldActiveTabIndex = FActiveTabIndex;
    FActiveTab = FActiveTabIndex = -1;
    int count = HandleAllocated() ? int(Perform(TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        TRect r = GetTabRect(i);
        if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) {
            FActiveTabIndex = i;
            int n = 0;
            for (int p = 0; p < PageCount(); ++p)
                if (Pages(p)->TabVisible() && n++ == i) FActiveTab = p;
            break;
        }
    }
    int sel = TabIndex();
    if (FActiveTabIndex != FOldActiveTabIndex) {
        if (FOldActiveTabIndex != -1 && FOldActiveTabIndex != sel) {
            if (auto* p = SkinPage(FOldActiveTab)) p->ButtonMouseIn = p->ButtonMouseDown = false;
            RedrawTabs();
        }
        if (FActiveTabIndex != -1 && FActiveTabIndex != sel) RedrawTabs();
    }
    if (FActiveTab != -1 && FShowCloseButtons) {
        TspSkinCustomTabSheet* p = SkinPage(FActiveTab);
        if (!p) return;
        bool in =
            RectContainsPoint(CloseRectOfHovered(), TPoint(X, Y)) && !IsEmptyRect(p->ButtonRect);
        if (in && !p->ButtonMouseIn) {
            p->ButtonMouseIn = true;
            RedrawTabs();
        } else if (!in && p->ButtonMouseIn) {
            p->ButtonMouseIn = p->ButtonMouseDown = false;
            RedrawTabs();
        }
    }
}

void TspSkinPageControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (!HasState(csDesigning)) TestActiveTab(X, Y);
    TPageControl::MouseMove(Shift, X, Y);
}

void TspSkinPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!FTabsInCenter) TestActiveTab(X, Y);
    if (Button == mbLeft && FShowCloseButtons && FActiveTab != -1) {
        if (TspSkinCustomTabSheet* p = SkinPage(FActiveTab)) {
            TRect r = CloseRectOfHovered();
            if (FTabsInCenter) r = moved(r, -CenterOffset(), 0);
            if (!IsEmptyRect(p->ButtonRect) && RectContainsPoint(r, TPoint(X, Y))) {
                p->ButtonMouseIn = p->ButtonMouseDown = true;
                RedrawTabs();
            } else {
                p->ButtonMouseIn = p->ButtonMouseDown = false;
            }
        }
    }
    TPageControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinPageControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!FTabsInCenter) TestActiveTab(X, Y);
    if (Button == mbLeft && FShowCloseButtons && FActiveTab != -1) {
        if (TspSkinCustomTabSheet* p = SkinPage(FActiveTab)) {
            TRect r = CloseRectOfHovered();
            if (FTabsInCenter) r = moved(r, -CenterOffset(), 0);
            bool pressedHere = p->ButtonMouseDown;
            if (!IsEmptyRect(p->ButtonRect) && RectContainsPoint(r, TPoint(X, Y))) {
                p->ButtonMouseIn = true;
                p->ButtonMouseDown = false;
                RedrawTabs();
                // The page whose button was pressed and released is the one that closes.
                if (pressedHere) ClosePage(p);
            } else {
                p->ButtonMouseIn = p->ButtonMouseDown = false;
            }
        }
    }
    TPageControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinPageControl::CloseActivePage() {
    if (auto* p = dynamic_cast<TspSkinCustomTabSheet*>(ActivePage()))
        ClosePage(p);
    else if (ActivePage())
        ClosePage(nullptr);
}

void TspSkinPageControl::ClosePage(TspSkinCustomTabSheet* Page) {
    TTabSheet* page = Page ? static_cast<TTabSheet*>(Page) : ActivePage();
    if (!page) return;
    bool canClose = true;
    if (OnClose) OnClose(page, canClose);
    if (!canClose) {
        POINT p{};
        GetCursorPos(&p);
        if (Page && HandleAllocated()) {
            ::ScreenToClient(Handle(), &p);
            if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height()) {
                Page->ButtonMouseIn = Page->ButtonMouseDown = false;
                RedrawTabs();
            }
        }
        return;
    }
    page->SetTabVisible(false);
    FActiveTab = FActiveTabIndex = FOldActiveTab = FOldActiveTabIndex = -1;
    if (FFreeOnClose) delete page;
    if (OnAfterClose) OnAfterClose(this);
    Invalidate();
}
