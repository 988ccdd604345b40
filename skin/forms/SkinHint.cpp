#include "skin/forms/SkinHint.h"

#include "classlib/forms.h"
#include "classlib/imglist.h"
#include "platform/display/screencursor.h"
#include "platform/gdi/gdi.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/region.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/engine/speffbmp.h"

#include <algorithm>

int CursorHeightMargin() {
    // Rows from the hot spot down to the picture's last row that shows
    // anything; the system cursor height when the picture cannot be read.
    display::CursorPicture c;
    if (display::ScreenCursorPicture(c))
        for (int y = c.height - 1; y >= 0; --y)
            for (int x = 0; x < c.width; ++x)
                if (c.argb[size_t(y) * size_t(c.width) + size_t(x)] >> 24)
                    return std::max(0, y + 1 - c.hotY);
    return GetSystemMetrics(SM_CYCURSOR);
}

namespace {

TBitmap* skinPicture(TspSkinData* SD, int Index) {
    if (!SD || Index < 0 || Index >= int(SD->FActivePictures.size())) return nullptr;
    return SD->FActivePictures[size_t(Index)].get();
}

// The skin's hint element when it can draw the window.
TspDataSkinHintWindow* usableElement(TspSkinData* SD) {
    if (!SD || SD->Empty || !SD->HintWindow || SD->HintWindow->WindowPictureIndex == -1)
        return nullptr;
    if (!skinPicture(SD, SD->HintWindow->WindowPictureIndex)) return nullptr;
    return SD->HintWindow.get();
}

// The active component: the first active one among the main window's.
TspSkinHint* activeHint() {
    TForm* main = Application ? Application->MainForm() : nullptr;
    if (!main) return nullptr;
    for (int i = 0; i < main->ComponentCount(); ++i)
        if (auto* h = dynamic_cast<TspSkinHint*>(main->Components(i)); h && h->Active()) return h;
    return nullptr;
}

std::string replaceAll(const std::string& S, const std::string& From, const std::string& To) {
    if (From.empty()) return S;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = S.find(From, pos);
        if (hit == std::string::npos) break;
        out.append(S, pos, hit - pos);
        out += To;
        pos = hit + From.size();
    }
    out.append(S, pos, std::string::npos);
    return out;
}

// The caption keeps the LF CR pairs; drawing takes each pair as one break.
std::string drawable(const std::string& Caption) {
    return replaceAll(Caption, "\n\r", "\n");
}

TSize textSize(TCanvas* C, const std::string& Text) {
    RECT r{0, 0, 0, 0};
    HDC dc = C->Handle();
    C->RequiredState();
    DrawText(dc, Text, &r, DT_CALCRECT | DT_NOPREFIX);
    return TSize{r.right - r.left, r.bottom - r.top};
}

void drawText(TCanvas* C, const std::string& Text, TRect R) {
    C->RequiredState();
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    SetBkMode(C->Handle(), TRANSPARENT);
    SetTextColor(C->Handle(), ColorToRGB(C->Font()->Color()));
    DrawText(C->Handle(), Text, &r, DT_NOPREFIX | DT_LEFT);
}

} // namespace

// ---- TspSkinHintWindow ----------------------------------------------------------------------

TspSkinHintWindow::TspSkinHintWindow(TComponent* AOwner)
    : THintWindow(AOwner), SI(std::make_unique<TBitmap>()) {}

TspSkinHintWindow::~TspSkinHintWindow() {
    if (FRgn) {
        if (HandleAllocated()) SetWindowRgn(Handle(), nullptr, 0);
        DeleteObject(FRgn);
    }
}

void TspSkinHintWindow::CreateParams(TCreateParams& Params) {
    THintWindow::CreateParams(Params);
    Params.Style &= ~DWORD(WS_BORDER);
    if (IsWindowsXPOrLater()) Params.WindowClassStyle |= CS_DROPSHADOW;
}

void TspSkinHintWindow::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCPAINT:
        return;
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    default:
        break;
    }
    THintWindow::WndProc(Message);
}

void TspSkinHintWindow::SetHintFont(TCanvas* C) {
    TspSkinHint* h = FspHint;
    if (FSD && h && h->UseSkinFont) {
        TspDataSkinHintWindow* e = FSD->HintWindow.get();
        C->Font()->SetHeight(e->FontHeight);
        C->Font()->SetName(e->FontName);
        C->Font()->SetStyle(e->FontStyle);
    } else if (h) {
        C->SetFont(h->DefaultFont());
    }
    if (h) {
        TspSkinData* sd = h->SkinData();
        C->Font()->SetCharset(sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet()
                                                          : h->DefaultFont()->Charset());
    }
}

bool TspSkinHintWindow::ValidImage() const {
    return FImageList && FImageIndex >= 0 && FImageIndex < FImageList->Count();
}

void TspSkinHintWindow::FitCorners(int& W, int& H) {
    TspDataSkinHintWindow* e = FSD->HintWindow.get();
    TBitmap* pic = skinPicture(FSD, e->WindowPictureIndex);
    const int PW = pic->Width(), PH = pic->Height();
    int dx = W - PW, dy = H - PH;
    if (e->RTPoint.X + dx < e->LTPoint.X) {
        W += e->LTPoint.X - (e->RTPoint.X + dx);
        dx = W - PW;
    }
    if (e->RBPoint.X + dx < e->LBPoint.X) {
        W += e->LBPoint.X - (e->RBPoint.X + dx);
        dx = W - PW;
    }
    if (e->LBPoint.Y + dy < e->LTPoint.Y) {
        H += e->LTPoint.Y - (e->LBPoint.Y + dy);
        dy = H - PH;
    }
    if (e->RBPoint.Y + dy < e->RTPoint.Y) {
        H += e->RTPoint.Y - (e->RBPoint.Y + dy);
        dy = H - PH;
    }
    NewClRect = TRect(e->ClRect.Left, e->ClRect.Top, e->ClRect.Right + dx, e->ClRect.Bottom + dy);
    NewLTPoint = e->LTPoint;
    NewRTPoint = TPoint(e->RTPoint.X + dx, e->RTPoint.Y);
    NewLBPoint = TPoint(e->LBPoint.X, e->LBPoint.Y + dy);
    NewRBPoint = TPoint(e->RBPoint.X + dx, e->RBPoint.Y + dy);
}

void TspSkinHintWindow::SetVisible(bool Value) {
    if (!Value || !HandleAllocated()) {
        THintWindow::SetVisible(Value);
        return;
    }
    TControl::SetVisible(true);
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TspSkinHintWindow::ActivateHint(const TRect& Rect, const std::string& AHint) {
    TspSkinHint* h = activeHint();
    if (h && (!h->HintTitle().empty() || h->HintImageList())) {
        ActivateHintEx(Rect, h->HintTitle(), AHint, h->HintImageIndex(), h->HintImageList());
        return;
    }
    Activate(Rect, AHint, false, "", -1, nullptr, TPlace::At);
}

void TspSkinHintWindow::ActivateHintEx(const TRect& Rect, const std::string& AHintTitle,
                                       const std::string& AHint, int AImageIndex,
                                       TCustomImageList* AImageList) {
    Activate(Rect, AHint, true, AHintTitle, AImageIndex, AImageList, TPlace::At);
}

void TspSkinHintWindow::ActivateHintFromRect(const TRect& ARect, const std::string& AHint,
                                             bool ATop) {
    TspSkinHint* h = activeHint();
    if (h && (!h->HintTitle().empty() || h->HintImageList())) {
        // With a title or picture the hint starts at the rectangle's corner
        // on the chosen side.
        TRect at = ARect;
        if (!ATop) at.Top = ARect.Bottom;
        ActivateHintEx(at, h->HintTitle(), AHint, h->HintImageIndex(), h->HintImageList());
        return;
    }
    Activate(ARect, AHint, false, "", -1, nullptr, ATop ? TPlace::Above : TPlace::Below);
}

void TspSkinHintWindow::Activate(const TRect& Rect, const std::string& AHint, bool AExtended,
                                 const std::string& ATitle, int AImageIndex,
                                 TCustomImageList* AImageList, TPlace APlace) {
    FspHint = activeHint();
    if (!FspHint || !FspHint->Active()) return;
    TspSkinHint* h = FspHint;
    AExtendedStyle = AExtended;
    FTitle = AExtended ? ATitle : std::string();
    FImageIndex = AImageIndex;
    FImageList = AExtended ? AImageList : nullptr;
    FSD = usableElement(h->SkinData()) ? h->SkinData() : nullptr;

    std::string text = replaceAll(AHint, h->LineSeparator, "\n\r");
    SetCaption(text);

    TBitmap measure(1, 1);
    TCanvas* C = measure.Canvas();
    SetHintFont(C);
    TSize ts = textSize(C, drawable(text));
    int W = ts.cx, H = ts.cy;
    if (AExtended) {
        if (!FTitle.empty()) {
            TSize t = textSize(C, FTitle);
            H += t.cy + 10;
            W = std::max(W, int(t.cx));
        }
        if (ValidImage()) {
            int th = FTitle.empty() ? 0 : textSize(C, FTitle).cy;
            W += FImageList->Width() + 10;
            H = std::max(H, FImageList->Height() + th + 5);
        }
    }
    if (!FSD) {
        W += 4;
        H += 4;
    } else {
        TspDataSkinHintWindow* e = FSD->HintWindow.get();
        TBitmap* pic = skinPicture(FSD, e->WindowPictureIndex);
        const int PW = pic->Width(), PH = pic->Height();
        if (AExtended) W += 10;
        W += e->ClRect.Left + (PW - e->ClRect.Right) + (AExtended ? 0 : 5);
        H += e->ClRect.Top + (PH - e->ClRect.Bottom);
        FitCorners(W, H);
    }

    int left = Rect.Left, top = Rect.Top;
    if (APlace != TPlace::At) {
        left = Rect.Left + Rect.Width() / 2 - W / 2;
        top = APlace == TPlace::Above ? Rect.Top - H : Rect.Bottom;
    }
    TRect area;
    TForm* active = Screen ? Screen->ActiveForm() : nullptr;
    TForm* main = Application ? Application->MainForm() : nullptr;
    if (active && active->HandleAllocated())
        GetMonitorArea(active->Handle(), true, area);
    else if (main && main->Visible() && main->HandleAllocated())
        GetMonitorArea(main->Handle(), true, area);
    else
        area = TRect(0, 0, Screen ? Screen->Width() : 0, Screen ? Screen->Height() : 0);
    if (left + W > area.Right) left -= W + 2;
    if (top + H > area.Bottom) top -= H + 2;

    HWND wnd = Handle();
    SetBounds(left, top, W, H);

    const bool layeredOk = h->AlphaBlendSupport();
    const bool fade = layeredOk && h->AlphaBlend && h->AlphaBlendAnimation;
    if (layeredOk) {
        if (h->AlphaBlend != OldAlphaBlend) {
            LONG_PTR ex = GetWindowLongPtr(wnd, GWL_EXSTYLE);
            if (OldAlphaBlend) {
                SetWindowLongPtr(wnd, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
            } else {
                SetWindowLongPtr(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
                if (!h->AlphaBlendAnimation) SetLayeredAlpha(wnd, h->AlphaBlendValue);
            }
            OldAlphaBlend = h->AlphaBlend;
        }
        if (fade) SetLayeredAlpha(wnd, 0);
        if (h->AlphaBlend && h->AlphaBlendValue != OldAlphaBlendValue) {
            if (!h->AlphaBlendAnimation) SetLayeredAlpha(wnd, h->AlphaBlendValue);
            OldAlphaBlendValue = h->AlphaBlendValue;
        }
    } else if (h->AlphaBlend) {
        // What lies under the hint, to mix the hint into.
        SI->SetSize(W, H);
        HDC screen = GetDC(0);
        BitBlt(SI->Canvas()->Handle(), 0, 0, W, H, screen, left, top, SRCCOPY);
        ReleaseDC(0, screen);
    }

    TspDataSkinHintWindow* e = FSD ? FSD->HintWindow.get() : nullptr;
    TBitmap* mask = e ? skinPicture(FSD, e->MaskPictureIndex) : nullptr;
    if (e && mask) {
        HRGN rgn = nullptr;
        BuildSkinMaskRegion(rgn, e->LTPoint, e->RTPoint, e->LBPoint, e->RBPoint, e->ClRect,
                            NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, mask, W, H);
        SetWindowRgn(wnd, rgn, 0);
        if (FRgn) DeleteObject(FRgn);
        FRgn = rgn;
    } else if (FRgn) {
        SetWindowRgn(wnd, nullptr, 1);
        DeleteObject(FRgn);
        FRgn = nullptr;
    }

    FVisible = true;
    SetWindowPos(wnd, HWND_TOPMOST, left, top, 0, 0, SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOSIZE);
    Repaint();

    if (fade) {
        const int target = h->AlphaBlendValue;
        const int step = std::max(1, target / 15);
        int alpha = 0;
        uint64_t last = 0;
        bool first = true;
        while (alpha < target) {
            uint64_t now = os::GetTickCount64();
            if (first || now - last > 3) {
                first = false;
                last = now;
                alpha = std::min(target, alpha + step);
                Repaint();
                SetLayeredAlpha(wnd, uint8_t(alpha));
            }
        }
    }
}

void TspSkinHintWindow::Paint() {
    const int W = Width(), H = Height();
    if (W <= 0 || H <= 0) return;
    TBitmap DrawBuffer(W, H);
    TCanvas* C = DrawBuffer.Canvas();
    const std::string text = drawable(Caption());
    TspDataSkinHintWindow* e = FSD ? FSD->HintWindow.get() : nullptr;
    TRect inner;
    if (e) {
        TBitmap* pic = skinPicture(FSD, e->WindowPictureIndex);
        BuildPopupSkinImage(e->LTPoint, e->RTPoint, e->LBPoint, e->RBPoint, e->ClRect, NewLTPoint,
                            NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, &DrawBuffer, pic,
                            TRect(0, 0, pic->Width(), pic->Height()), W, H, true, e->LeftStretch,
                            e->TopStretch, e->RightStretch, e->BottomStretch, e->StretchEffect,
                            e->StretchType);
        SetHintFont(C);
        C->Font()->SetColor(e->FontColor);
        inner = NewClRect;
    } else {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(clInfoBk);
        C->FillRect(TRect(0, 0, W, H));
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(TRect(0, 0, W, H));
        if (FspHint) C->SetFont(FspHint->DefaultFont());
        C->Font()->SetColor(clInfoText);
        inner = TRect(2, 2, W - 2, H - 2);
    }
    C->Brush()->SetStyle(bsClear);
    const int pad = e ? 5 : 0;
    if (!AExtendedStyle) {
        if (e) {
            TSize ts = textSize(C, text);
            int l = inner.Left + inner.Width() / 2 - ts.cx / 2;
            int t = inner.Top + inner.Height() / 2 - ts.cy / 2;
            drawText(C, text, TRect(l, t, l + ts.cx, t + ts.cy));
        } else {
            drawText(C, text, inner);
        }
    } else {
        int offset = 0;
        if (!FTitle.empty()) {
            TFontStyles s = C->Font()->Style();
            TFontStyles bold = s;
            bold |= fsBold;
            C->Font()->SetStyle(bold);
            TSize t = textSize(C, FTitle);
            drawText(C, FTitle, TRect(inner.Left + pad, inner.Top, inner.Right, inner.Top + t.cy));
            C->Font()->SetStyle(s);
            offset = t.cy + 5;
        }
        int textLeft = inner.Left + pad;
        TSize ts = textSize(C, text);
        if (ValidImage()) {
            int ix = inner.Left + pad;
            int iy = offset ? inner.Top + offset
                            : inner.Top + inner.Height() / 2 - FImageList->Height() / 2;
            FImageList->Draw(C, ix, iy, FImageIndex);
            textLeft = ix + FImageList->Width() + 5;
        }
        int textTop = offset ? inner.Top + offset : inner.Top + inner.Height() / 2 - ts.cy / 2;
        drawText(C, text, TRect(textLeft, textTop, inner.Right, inner.Bottom));
    }
    if (FspHint && FspHint->AlphaBlend && !FspHint->AlphaBlendSupport() && SI->Width() == W &&
        SI->Height() == H) {
        HBITMAP own = DrawBuffer.Handle();
        HBITMAP under = SI->Handle();
        auto a = TspEffectBmp::CreateFromhWnd(own);
        auto b = TspEffectBmp::CreateFromhWnd(under);
        a->Morph(b.get(), 1.0 - FspHint->AlphaBlendValue / 255.0);
        a->Draw(C->Handle(), 0, 0);
    }
    Canvas()->Draw(0, 0, &DrawBuffer);
}

// ---- TspSkinHint ---------------------------------------------------------------------------

TspSkinHint::TspSkinHint(TComponent* AOwner)
    : TComponent(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FHW = new TspSkinHintWindow(this);
    if (!HasState(csDesigning) && Application) {
        Application->HintWindowClass = [](TComponent* AOwner) -> THintWindow* {
            return new TspSkinHintWindow(AOwner);
        };
        // Turning hints off and on drops the old window; the next is one of ours.
        bool show = Application->ShowHint();
        Application->SetShowHint(false);
        Application->SetShowHint(show);
        Application->OnShowHint = [this](std::string& S, bool& CanShow, TControl* C) {
            SelfOnShowHint(S, CanShow, C);
        };
    }
}

TspSkinHint::~TspSkinHint() {
    FHintTimer.reset();
    if (FSD) FSD->RemoveFreeNotification(this);
    // The application's hint event must not reach a component that is gone.
    if (Application && Application->OnShowHint && FActive) Application->OnShowHint = nullptr;
}

void TspSkinHint::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FHintImageList) FHintImageList = nullptr;
    if (AComponent == FHW) FHW = nullptr;
}

void TspSkinHint::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (FSD) FSD->FreeNotification(this);
}

void TspSkinHint::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
}

void TspSkinHint::SetAlphaBlendSupport(bool Value) {
    FAlphaBlendSupport = Value && (HasState(csDesigning) || IsWindows2000OrLater());
}

void TspSkinHint::SetActive(bool Value) {
    FActive = Value;
    if (!Value) return;
    if (Application && Application->MainForm()) {
        TForm* main = Application->MainForm();
        for (int i = 0; i < main->ComponentCount(); ++i)
            if (auto* h = dynamic_cast<TspSkinHint*>(main->Components(i)); h && h != this)
                if (h->Active()) h->FActive = false;
    }
    if (!HasState(csDesigning) && Application)
        Application->OnShowHint = [this](std::string& S, bool& CanShow, TControl* C) {
            SelfOnShowHint(S, CanShow, C);
        };
}

void TspSkinHint::SelfOnShowHint(std::string& HintStr, bool& CanShow, TControl* HintControl) {
    ClearTitle();
    if (auto* c = dynamic_cast<TspSkinControl*>(HintControl)) {
        FHintTitle = c->HintTitle();
        FHintImageIndex = c->HintImageIndex();
        FHintImageList = c->HintImageList();
    } else if (auto* g = dynamic_cast<TspGraphicSkinControl*>(HintControl)) {
        FHintTitle = g->HintTitle();
        FHintImageIndex = g->HintImageIndex();
        FHintImageList = g->HintImageList();
    }
    if (OnShowHint) OnShowHint(HintStr, CanShow, HintControl);
}

void TspSkinHint::ClearTitle() {
    FHintTitle.clear();
    FHintImageIndex = 0;
    FHintImageList = nullptr;
}

void TspSkinHint::ActivateHint(TPoint P, const std::string& AHint) {
    ClearTitle();
    if (!FHW) return;
    FHW->ActivateHint(TRect(P.X, P.Y, P.X, P.Y), AHint);
    if (FHW->FspHint) FHW->SetVisible(true);
}

void TspSkinHint::ActivateHintEx(TPoint P, const std::string& AHintTitle, const std::string& AHint,
                                 int AImageIndex, TCustomImageList* AImageList) {
    FHintTitle = AHintTitle;
    FHintImageIndex = AImageIndex;
    FHintImageList = AImageList;
    if (!FHW) return;
    FHW->ActivateHintEx(TRect(P.X, P.Y, P.X, P.Y), AHintTitle, AHint, AImageIndex, AImageList);
    if (FHW->FspHint) FHW->SetVisible(true);
}

void TspSkinHint::StartTimer(TTimed Kind) {
    FHintTimer = std::make_unique<TTimer>(nullptr);
    FHintTimer->SetInterval(unsigned(std::max(1, Application ? Application->HintPause : 500)));
    // The handler stays while it runs: one handler serves both the wait
    // before showing and the time the hint stays.
    auto shown = std::make_shared<bool>(false);
    FHintTimer->SetOnTimer([this, Kind, shown](TObject*) {
        if (!FHintTimer) return;
        if (*shown || !FHW) {
            HideHint();
            return;
        }
        *shown = true;
        if (Kind == TTimed::FromRect) {
            FHW->ActivateHintFromRect(FromRect, HintText, Top);
        } else {
            POINT p{0, 0};
            GetCursorPos(&p);
            const int y = p.y + GetCursorHeightMargin();
            const TRect r(p.x, y, p.x, y);
            if (Kind == TTimed::AtCursorEx)
                FHW->ActivateHintEx(r, FHintTitle, HintText, FHintImageIndex, FHintImageList);
            else
                FHW->ActivateHint(r, HintText);
        }
        if (FHW->FspHint) FHW->SetVisible(true);
        FHintTimer->SetInterval(
            unsigned(std::max(1, Application ? Application->HintHidePause : 2500)));
    });
    FHintTimer->SetEnabled(true);
}

void TspSkinHint::ActivateHint2(const std::string& AHint) {
    FHintTimer.reset();
    HintText = AHint;
    ClearTitle();
    StartTimer(TTimed::AtCursor);
}

void TspSkinHint::ActivateHintEx2(const std::string& AHintTitle, const std::string& AHint,
                                  int AImageIndex, TCustomImageList* AImageList) {
    FHintTimer.reset();
    HintText = AHint;
    FHintTitle = AHintTitle;
    FHintImageIndex = AImageIndex;
    FHintImageList = AImageList;
    StartTimer(TTimed::AtCursorEx);
}

void TspSkinHint::ActivateHint3(const TRect& AFromRect, const std::string& AHint, bool ATop) {
    FromRect = AFromRect;
    Top = ATop;
    FHintTimer.reset();
    HintText = AHint;
    ClearTitle();
    StartTimer(TTimed::FromRect);
}

void TspSkinHint::HideHint() {
    if (FHintTimer) {
        // Freed after its own tick has returned.
        FHintTimer->SetEnabled(false);
        TTimer* t = FHintTimer.release();
        PostThreadCall(GetCurrentThreadId(), [t] { delete t; });
    }
    if (!IsVisible()) return;
    FHW->SetVisible(false);
    SetWindowPos(FHW->Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    FHW->ReleaseHandle();
    ClearTitle();
}

bool TspSkinHint::IsVisible() const {
    return FHW && FHW->IsShowing();
}
