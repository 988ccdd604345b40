#include "skin/controls/OxHint.h"

#include "classlib/forms.h"
#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/window.h"
#include "skin/forms/SkinHint.h"

#include <algorithm>

namespace {

std::vector<TOxHint*>& hintList() {
    static std::vector<TOxHint*> list;
    return list;
}

std::vector<TOxInternalHintWindow*>& windowList() {
    static std::vector<TOxInternalHintWindow*> list;
    return list;
}

template <class T> void removeFrom(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// A glyph is drawn with its top-left pixel as the transparent colour.
void makeTransparent(TBitmap* B) {
    if (B->Empty()) return;
    B->SetTransparentColor(B->Canvas()->Pixels(0, 0));
    B->SetTransparent(true);
}

std::vector<std::string> splitLines(const std::string& Text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < Text.size(); ++i) {
        char ch = Text[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (ch == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
        } else {
            cur += ch;
        }
    }
    lines.push_back(cur);
    return lines;
}

int lineHeight(TCanvas* C, const std::string& Line) {
    return C->TextHeight(Line.empty() ? std::string("Wg") : Line);
}

void setBold(TCanvas* C, bool Bold) {
    TFontStyles s = C->Font()->Style();
    if (Bold)
        s |= fsBold;
    else
        s -= fsBold;
    C->Font()->SetStyle(s);
}

TRect workArea() {
    RECT r{0, 0, 0, 0};
    if (!SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0) || r.right <= r.left)
        r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return TRect(r.left, r.top, r.right, r.bottom);
}

bool endsWait(const MSG& M, TControl* Noted) {
    const UINT m = M.message;
    if (m >= WM_KEYDOWN && m <= 0x0109) return true;
    if (m == CM_ACTIVATE || m == CM_DEACTIVATE) return true;
    if (m == WM_COMMAND || m == WM_NCMOUSEMOVE) return true;
    if (m >= WM_LBUTTONDOWN && m <= 0x020E) return true;
    if (m == WM_MOUSEMOVE) {
        POINT p{0, 0};
        GetCursorPos(&p);
        return TWinControl::FindControl(WindowFromPoint(p)) != Noted;
    }
    return false;
}

} // namespace

// ---- TOxHint ------------------------------------------------------------------------------

TOxHint::TOxHint(TComponent* AOwner)
    : TComponent(AOwner), BackColor(clInfoBk), FFont(std::make_unique<TFont>()),
      FGlyph(std::make_unique<TBitmap>()) {
    FFont->SetColor(clBlack);
    hintList().push_back(this);
    if (!HasState(csDesigning)) InstallHintWindowClass();
}

TOxHint::~TOxHint() {
    removeFrom(hintList(), this);
}

const std::vector<TOxHint*>& TOxHint::Instances() {
    return hintList();
}

void TOxHint::Loaded() {
    TComponent::Loaded();
    InstallHintWindowClass();
}

void TOxHint::InstallHintWindowClass() {
    if (!Application) return;
    Application->HintWindowClass = [](TComponent* AOwner) -> THintWindow* {
        return new TOxInternalHintWindow(AOwner);
    };
    // Turning hints off and on drops the old window; the next is one of ours.
    bool show = Application->ShowHint();
    Application->SetShowHint(false);
    Application->SetShowHint(show);
    PushFont();
}

void TOxHint::PushFont() {
    for (TOxInternalHintWindow* w : windowList())
        w->Canvas()->SetFont(FFont.get());
}

void TOxHint::SetFont(TFont* Value) {
    FFont->Assign(Value);
    InstallHintWindowClass();
}

void TOxHint::SetGlyph(TBitmap* Value) {
    FGlyph->Assign(Value);
    makeTransparent(FGlyph.get());
}

// ---- TOxInternalHintWindow ----------------------------------------------------------------

TOxInternalHintWindow::TOxInternalHintWindow(TComponent* AOwner)
    : THintWindow(AOwner), FBitmap(std::make_unique<TBitmap>()),
      FGlyph(std::make_unique<TBitmap>()) {
    ControlStyle &= ~TControlStyle(csOpaque);
    Canvas()->Brush()->SetStyle(bsClear);
    FTimer = new TTimer(this);
    FTimer->SetEnabled(false);
    FTimer->SetInterval(unsigned(Application ? Application->HintHidePause : 2500));
    FTimer->SetOnTimer([this](TObject*) {
        FTimer->SetEnabled(false);
        DoCancelHint();
        ReleaseHandle();
    });
    windowList().push_back(this);
}

TOxInternalHintWindow::~TOxInternalHintWindow() {
    removeFrom(windowList(), this);
    if (FHint) FHint->RemoveFreeNotification(this);
    ReleaseHandle();
}

const std::vector<TOxInternalHintWindow*>& TOxInternalHintWindow::Instances() {
    return windowList();
}

void TOxInternalHintWindow::Notification(TComponent* AComponent, TOperation Operation) {
    THintWindow::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FHint) FHint = nullptr;
}

void TOxInternalHintWindow::CreateParams(TCreateParams& Params) {
    THintWindow::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.WindowClassStyle |= CS_SAVEBITS;
}

void TOxInternalHintWindow::SetHintPosition(THintPosition Value) {
    FHintPosition = Value;
    FModified = true;
}

void TOxInternalHintWindow::SetGlyph(TBitmap* Value) {
    FGlyph->Assign(Value);
    GlyphChanged();
}

void TOxInternalHintWindow::GlyphChanged() {
    if (FUpdating) return;
    FUpdating = true;
    makeTransparent(FGlyph.get());
    FUpdating = false;
}

void TOxInternalHintWindow::DoCancelHint() {
    if (OnCancelHint) OnCancelHint(this);
}

void TOxInternalHintWindow::ReleaseHandle() {
    THintWindow::ReleaseHandle();
}

void TOxInternalHintWindow::Paint() {
    if (!FBitmap->Empty()) Canvas()->Draw(0, 0, FBitmap.get());
}

void TOxInternalHintWindow::ActivateHint(const TRect&, const std::string& AHint) {
    POINT p{0, 0};
    GetCursorPos(&p);
    ActivateHintFromPos(TPoint(p.x, p.y), AHint, "", 0);
}

TSize TOxInternalHintWindow::MeasureHint(TCanvas* C, const std::string& Text, int GW, int GH,
                                         bool ABalloon) {
    std::vector<std::string> lines = splitLines(Text);
    int h = 0, maxW = 0;
    bool grown = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        setBold(C, i == 0 && FFirstLineAsTitle);
        int lw = C->TextWidth(lines[i]);
        if (GW > 0) {
            if (i == 0) lw += GW + 6;
            if (!grown && h + 10 >= GH) {
                h += 6;
                grown = true;
            }
        }
        maxW = std::max(maxW, lw);
        h += lineHeight(C, lines[i]);
    }
    setBold(C, false);
    h = std::max(h, GH);
    if (ABalloon) return TSize{std::max(maxW + 12, 50), std::max(h + 18, 35)};
    return TSize{maxW + 12, h + 8};
}

TRect TOxInternalHintWindow::CalcTextRect(TCanvas* C, const std::vector<std::string>& Lines,
                                          size_t First, size_t Count, const TRect& Area,
                                          TAlignment Align, bool TopMode, bool BoldTitle) {
    int w = 0, h = 0;
    for (size_t i = First; i < First + Count && i < Lines.size(); ++i) {
        if (Lines[i].empty()) continue;
        setBold(C, BoldTitle && i == 0);
        w = std::max(w, C->TextWidth(Lines[i]));
        h += lineHeight(C, Lines[i]);
    }
    setBold(C, false);
    int left = Area.Left;
    if (Align == taRightJustify)
        left = std::max(Area.Left, Area.Right - w);
    else if (Align == taCenter)
        left = std::max(Area.Left, Area.Left + (Area.Width() - w) / 2);
    int top = TopMode ? Area.Top + 3 : std::max(Area.Top, Area.Top + (Area.Height() - h) / 2);
    return TRect(left, top, left + w, top + h);
}

void TOxInternalHintWindow::DrawHintText(TCanvas* C, const TRect& B, const std::string& Text,
                                         int GW, int GH) {
    const TAlignment align = FHint ? FHint->Alignment : Alignment;
    const TRect area(B.Left + 6, B.Top, B.Right - 6, B.Bottom);
    std::vector<std::string> lines = splitLines(Text);
    const bool boldTitle = FFirstLineAsTitle && GW > 0;

    auto drawLines = [&](size_t first, size_t count, const TRect& block) {
        int y = block.Top;
        HDC dc = C->Handle();
        SaveDC(dc);
        IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
        for (size_t i = first; i < first + count && i < lines.size(); ++i) {
            setBold(C, boldTitle && i == 0);
            int lw = C->TextWidth(lines[i]);
            int x = block.Left;
            if (align == taRightJustify)
                x = block.Right - lw;
            else if (align == taCenter)
                x = block.Left + (block.Width() - lw) / 2;
            C->TextOut(x, y, lines[i]);
            y += lineHeight(C, lines[i]);
        }
        RestoreDC(dc, -1);
        setBold(C, false);
    };

    if (GW <= 0) {
        TRect block = CalcTextRect(C, lines, 0, lines.size(), area, align, false, false);
        drawLines(0, lines.size(), block);
        return;
    }
    C->Draw(area.Left, area.Top + 6, FGlyph.get());
    const int o = FBalloon ? 10 : 5;
    size_t beside = lines.size();
    int running = o;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (running >= GH) {
            beside = i;
            break;
        }
        setBold(C, boldTitle && i == 0);
        running += lineHeight(C, lines[i]);
    }
    setBold(C, false);
    const TRect besideArea(area.Left + GW + 6, area.Top + o, area.Right, area.Bottom);
    size_t measured = std::min(lines.size(), beside + 1);
    TRect besideBlock = CalcTextRect(C, lines, 0, measured, besideArea, align, true, boldTitle);
    drawLines(0, beside, besideBlock);
    if (beside >= lines.size()) return;
    int besideHeight = 0;
    for (size_t i = 0; i < beside; ++i) {
        setBold(C, boldTitle && i == 0);
        besideHeight += lineHeight(C, lines[i]);
    }
    setBold(C, false);
    const TRect belowArea(area.Left, area.Top + besideHeight + 12, area.Right, area.Bottom);
    TRect belowBlock =
        CalcTextRect(C, lines, beside, lines.size() - beside, belowArea, align, true, false);
    drawLines(beside, lines.size() - beside, belowBlock);
}

void TOxInternalHintWindow::ActivateHintFromPos(TPoint HintPos, const std::string& AHint,
                                                const std::string& ATitle, int HidePause) {
    FBitmap->SetSize(0, 0);
    if (!FHint && Owner())
        for (int i = 0; i < Owner()->ComponentCount(); ++i)
            if (auto* h = dynamic_cast<TOxHint*>(Owner()->Components(i))) {
                FHint = h;
                break;
            }
    if (!FHint && !hintList().empty()) FHint = hintList().front();
    if (FHint) FHint->FreeNotification(this);

    TCanvas* C = FBitmap->Canvas();
    THintStyle style = FHint ? FHint->HintStyle : HintStyle;
    if (FHint) {
        if (FGlyph->Empty()) SetGlyph(FHint->Glyph());
        Canvas()->SetFont(FHint->Font());
    } else {
        Canvas()->Font()->SetColor(clBlack);
    }
    const std::string compTitle = FHint ? FHint->Title : std::string();
    FBalloon =
        style == hsBalloonHint || (style == hsAuto && (!ATitle.empty() || !compTitle.empty()));

    std::string text = AHint;
    FFirstLineAsTitle = false;
    if (!ATitle.empty()) {
        text = ATitle + "\r\n" + AHint;
        FFirstLineAsTitle = true;
    } else if (!compTitle.empty()) {
        text = compTitle + "\r\n" + AHint;
        FFirstLineAsTitle = true;
    }
    SetCaption(text);

    const int gw = FGlyph->Width() > 0 && FGlyph->Height() > 0 ? FGlyph->Width() : 0;
    const int gh = gw > 0 ? FGlyph->Height() : 0;

    C->SetFont(Canvas()->Font());
    TSize size = MeasureHint(C, text, gw, gh, FBalloon);
    TRect window;
    auto place = [&](int W, int H) {
        const TRect area = workArea();
        const TRect R(area.Left + 10, area.Top + 10, area.Right - 10, area.Bottom - 10);
        const int s = FBalloon ? 16 : 0;
        const int x = HintPos.X, y = HintPos.Y;
        const bool above = H + s < y - R.Top;
        const bool below = H + s < R.Bottom - y;
        const bool left = W - s <= x - R.Left;
        const bool right = x + W - s < R.Right;
        THintPosition side = (FModified || !FHint) ? FHintPosition : FHint->HintPosition;
        bool ok = false;
        switch (side) {
        case hpUpLeft:
            ok = above && left;
            break;
        case hpUpRight:
            ok = above && right;
            break;
        case hpDownLeft:
            ok = below && left;
            break;
        case hpDownRight:
            ok = below && right;
            break;
        }
        if (!ok) {
            bool up = above;
            bool toRight = right;
            side = up ? (toRight ? hpUpRight : hpUpLeft) : (toRight ? hpDownRight : hpDownLeft);
        }
        const int m = CursorHeightMargin();
        TRect body;
        FPointer.clear();
        if (FBalloon) {
            switch (side) {
            case hpUpLeft:
                body = Bounds(x - W + 5, y - 6 - H - m, W, H);
                FPointer = {TPoint(body.Right - 16, body.Bottom - 1),
                            TPoint(body.Right - 16, body.Bottom + 15),
                            TPoint(body.Right - 33, body.Bottom - 2)};
                window = TRect(body.Left, body.Top, body.Right, body.Bottom + 16);
                break;
            case hpUpRight:
                body = Bounds(x - 25, y - 6 - H - m, W, H);
                FPointer = {TPoint(body.Left + 16, body.Bottom - 1),
                            TPoint(body.Left + 16, body.Bottom + 16),
                            TPoint(body.Left + 33, body.Bottom - 1)};
                window = TRect(body.Left, body.Top, body.Right, body.Bottom + 16);
                break;
            case hpDownLeft:
                body = Bounds(x - W + 16, y + m + 10, W, H);
                FPointer = {TPoint(body.Right - 16, body.Top),
                            TPoint(body.Right - 16, body.Top - 16),
                            TPoint(body.Right - 33, body.Top + 1)};
                window = TRect(body.Left, body.Top - 16, body.Right, body.Bottom);
                break;
            case hpDownRight:
                body = Bounds(x - 16, y + m + 10, W, H);
                FPointer = {TPoint(body.Left + 16, body.Top), TPoint(body.Left + 16, body.Top - 16),
                            TPoint(body.Left + 33, body.Top + 1)};
                window = TRect(body.Left, body.Top - 16, body.Right, body.Bottom);
                break;
            }
        } else {
            switch (side) {
            case hpUpLeft:
                body = Bounds(x - W - 10, y - 15 - H, W, H);
                break;
            case hpUpRight:
                body = Bounds(x - 10, y - 15 - H, W, H);
                break;
            case hpDownLeft:
                body = Bounds(x - W, y + m, W, H);
                break;
            case hpDownRight:
                body = Bounds(x, y + m, W, H);
                break;
            }
            window = body;
        }
        FBodyRect = body;
    };
    place(size.cx, size.cy);
    if (FHint && FHint->OnMeasureRect) {
        TRect r = FBodyRect;
        FHint->OnMeasureRect(FHint, r, text);
        place(r.Width(), r.Height());
    }

    // Window coordinates from here on.
    FBodyRect = TRect(FBodyRect.Left - window.Left, FBodyRect.Top - window.Top,
                      FBodyRect.Right - window.Left, FBodyRect.Bottom - window.Top);
    for (TPoint& p : FPointer)
        p = TPoint(p.X - window.Left, p.Y - window.Top);
    FBitmap->SetSize(window.Width(), window.Height() + 1);

    const TColor border = FHint ? FHint->BorderColor : clBlack;
    const COLORREF b = ColorToRGB(border);
    const COLORREF keyColor =
        RGB((GetRValue(b) + 1) & 0xFF, (GetGValue(b) + 2) & 0xFF, (GetBValue(b) + 3) & 0xFF);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(TColor(keyColor));
    C->FillRect(TRect(0, 0, FBitmap->Width(), FBitmap->Height()));
    C->Brush()->SetColor(FHint ? FHint->BackColor : clInfoBk);
    C->Pen()->SetColor(border);
    if (FBalloon) {
        C->RoundRect(FBodyRect.Left, FBodyRect.Top, FBodyRect.Right, FBodyRect.Bottom, 15, 20);
        // The pointer is filled, then outlined on its two outer sides only.
        C->Pen()->SetColor(C->Brush()->Color());
        C->Polygon(FPointer);
        C->Pen()->SetColor(border);
        C->Polyline(FPointer);
    } else {
        C->Rectangle(FBodyRect);
        C->Pen()->SetColor(TColor(13160660));
        C->MoveTo(FBodyRect.Left, FBodyRect.Bottom - 1);
        C->LineTo(FBodyRect.Left, FBodyRect.Top);
        C->LineTo(FBodyRect.Right - 1, FBodyRect.Top);
    }

    C->Brush()->SetStyle(bsClear);
    C->SetFont(Canvas()->Font());
    if (FHint && FHint->OnBeforeHint) FHint->OnBeforeHint(FHint, FBodyRect, text);
    if (FHint && FHint->OnOwnerDraw)
        FHint->OnOwnerDraw(FHint, C, FBodyRect, text);
    else
        DrawHintText(C, FBodyRect, text, gw, gh);

    // The window's outline: the pixels that differ from the reference.
    TColor ref = C->Pixels(0, 0);
    if (!FBalloon) ref = TColor(uint32_t(ref) - 1);
    std::vector<RECT> runs;
    for (int x = 0; x < FBitmap->Width(); ++x) {
        int y = 0;
        while (y < FBitmap->Height()) {
            while (y < FBitmap->Height() && C->Pixels(x, y) == ref)
                ++y;
            int start = y;
            while (y < FBitmap->Height() && C->Pixels(x, y) != ref)
                ++y;
            if (y > start) runs.push_back(RECT{x, start, x + 1, y});
        }
    }

    const TRect area = workArea();
    int dx = 0, dy = 0;
    if (window.Left < area.Left) dx = area.Left - window.Left;
    if (window.Top < area.Top) dy = area.Top - window.Top;
    if (window.Right + dx > area.Right) dx = area.Right - window.Right;
    if (window.Bottom + dy > area.Bottom) dy = area.Bottom - window.Bottom;
    window = TRect(window.Left + dx, window.Top + dy, window.Right + dx, window.Bottom + dy);

    FTimer->SetEnabled(false);
    HWND h = Handle();
    SetWindowRgn(h, CreateRegionFromRects(runs), 1);
    FVisible = true;
    SetWindowPos(h, HWND_TOPMOST, window.Left, window.Top, window.Width(), window.Height(),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Invalidate();

    int pause = HidePause == 0 ? (Application ? Application->HintHidePause : 2500) : HidePause;
    if (pause > 0) {
        FTimer->SetInterval(unsigned(pause));
        FTimer->SetEnabled(true);
        PostMessage(h, WM_OXHINT_WAIT, WPARAM(pause),
                    reinterpret_cast<LPARAM>(new TPoint(HintPos)));
    }
}

void TOxInternalHintWindow::WndProc(TMessage& Message) {
    if (Message.Msg == WM_OXHINT_WAIT) {
        std::unique_ptr<TPoint> at(reinterpret_cast<TPoint*>(Message.LParam));
        WaitForInput(at ? *at : TPoint());
        Message.Result = 0;
        return;
    }
    THintWindow::WndProc(Message);
}

void TOxInternalHintWindow::WaitForInput(TPoint At) {
    TControl* noted = TWinControl::FindControl(WindowFromPoint(POINT{At.X, At.Y}));
    FWaiting = true;
    MSG m;
    // Also ends once the hint is gone: a wait outliving its hint would hold
    // up the loop that showed it.
    while (IsShowing()) {
        if (!GetMessage(&m, 0, 0, 0)) {
            PostQuitMessage(0);
            break;
        }
        if (endsWait(m, noted)) {
            PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
            break;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    FWaiting = false;
}

// ---- TOxHintWindow ------------------------------------------------------------------------

TOxHintWindow::TOxHintWindow(TComponent* AOwner)
    : TComponent(AOwner), FHintWindow(new TOxInternalHintWindow(this)) {
    FHintWindow->OnCancelHint = [this](TObject* Sender) {
        if (OnCancelHint) OnCancelHint(Sender);
    };
}

TOxHintWindow::~TOxHintWindow() = default;

void TOxHintWindow::ActivateHint(const std::string& AHint, const std::string& ATitle) {
    POINT p{0, 0};
    GetCursorPos(&p);
    FHintWindow->ActivateHintFromPos(TPoint(p.x, p.y), AHint, ATitle, 0);
}

void TOxHintWindow::ActivateHintFromPos(TPoint HintPos, const std::string& AHint,
                                        const std::string& ATitle, int HidePause) {
    FHintWindow->ActivateHintFromPos(HintPos, AHint, ATitle, HidePause);
}

void TOxHintWindow::ReleaseHandle() {
    FHintWindow->ReleaseHandle();
}
