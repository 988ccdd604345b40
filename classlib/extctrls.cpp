#include "classlib/extctrls.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"

namespace {

bool vertical(TAlign a) {
    return a == alLeft || a == alRight;
}

} // namespace

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
    FAlign = alLeft;
    FWidth = 3;
    FHeight = 100;
}

TControl* TSplitter::FindControl() const {
    if (!FParent) return nullptr;
    // The neighbour touches the splitter's edge on the side it is aligned to.
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        TControl* c = FParent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != FAlign) continue;
        switch (FAlign) {
        case alLeft:
            if (c->Left() + c->Width() == FLeft) return c;
            break;
        case alRight:
            if (c->Left() == FLeft + FWidth) return c;
            break;
        case alTop:
            if (c->Top() + c->Height() == FTop) return c;
            break;
        case alBottom:
            if (c->Top() == FTop + FHeight) return c;
            break;
        default:
            break;
        }
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    FControl = FindControl();
    if (!FControl) return;
    FDragging = true;
    FDownPos = ClientToScreen(TPoint{X, Y});
    FStartSize = vertical(FAlign) ? FControl->Width() : FControl->Height();
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging || !FControl) return;
    TPoint now = ClientToScreen(TPoint{X, Y});
    int delta = vertical(FAlign) ? now.X - FDownPos.X : now.Y - FDownPos.Y;
    // Dragging towards the neighbour makes it smaller.
    if (FAlign == alRight || FAlign == alBottom) delta = -delta;
    int size = FStartSize + delta;
    // The neighbour keeps MinSize, and so does what is left for the rest.
    int room = 0;
    if (FParent) {
        TRect c = FParent->ClientRect();
        int total = vertical(FAlign) ? c.Right - c.Left : c.Bottom - c.Top;
        int others = 0;
        for (int i = 0; i < FParent->ControlCount(); ++i) {
            TControl* o = FParent->Controls(i);
            if (o == FControl || !o->Visible() || o->Align() == alClient || o->Align() == alNone)
                continue;
            if (vertical(FAlign) == vertical(o->Align()))
                others += vertical(FAlign) ? o->Width() : o->Height();
        }
        room = total - others - MinSize;
    }
    size = std::min(size, std::max(MinSize, room));
    size = std::max(size, MinSize);
    bool accept = true;
    if (OnCanResize) OnCanResize(this, size, accept);
    if (!accept || ResizeStyle == rsNone) return;
    // The neighbour's far edge stays where it is, so the order of the aligned
    // controls does not change.
    TControl* c = FControl;
    switch (FAlign) {
    case alLeft:
        c->SetWidth(size);
        break;
    case alTop:
        c->SetHeight(size);
        break;
    case alRight:
        c->SetBounds(c->Left() + c->Width() - size, c->Top(), size, c->Height());
        break;
    default:
        c->SetBounds(c->Left(), c->Top() + c->Height() - size, c->Width(), size);
        break;
    }
    if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->Handle());
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging) return;
    FDragging = false;
    FControl = nullptr;
    if (OnMoved) OnMoved(this);
}

void TSplitter::Paint() {
    TRect r = ClientRect();
    Canvas()->Brush()->SetColor(FColor);
    Canvas()->FillRect(r);
    if (Beveled) {
        RECT e{r.Left, r.Top, r.Right, r.Bottom};
        DrawEdge(Canvas()->Handle(), &e, BDR_RAISEDINNER, BF_RECT);
    }
}

// ---------------------------------------------------------------------------

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 105;
    FHeight = 105;
    FPicture.OnChange = [this](TObject*) { Invalidate(); };
}

TRect TImage::DestRect() {
    int w = FPicture.Width(), h = FPicture.Height();
    int cw = FWidth, ch = FHeight;
    if (Stretch || (Proportional && (w > cw || h > ch))) {
        if (Proportional && w > 0 && h > 0) {
            // The largest size of the picture's proportions that fits.
            if (int64_t(cw) * h > int64_t(ch) * w) {
                w = int(int64_t(ch) * w / h);
                h = ch;
            } else {
                h = int(int64_t(cw) * h / w);
                w = cw;
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int x = 0, y = 0;
    if (Center) {
        x = (cw - w) / 2;
        y = (ch - h) / 2;
    }
    return TRect(x, y, x + w, y + h);
}

void TImage::Paint() {
    TGraphic* g = FPicture.Graphic();
    if (!g || g->Empty()) return;
    TRect d = DestRect();
    if (d.Right - d.Left == g->Width() && d.Bottom - d.Top == g->Height())
        Canvas()->Draw(d.Left, d.Top, g);
    else
        Canvas()->StretchDraw(d, g);
}

// ---------------------------------------------------------------------------

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 105;
    FHeight = 105;
}

void TPaintBox::Paint() {
    if (OnPaint) OnPaint(this);
}

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 50;
    FHeight = 50;
}

void TBevel::Paint() {
    HDC dc = Canvas()->Handle();
    RECT r{0, 0, FWidth, FHeight};
    UINT edge = Style == bsLowered ? EDGE_ETCHED : EDGE_BUMP;
    switch (Shape) {
    case bsBox:
        DrawEdge(dc, &r, Style == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDOUTER, BF_RECT);
        break;
    case bsFrame:
        DrawEdge(dc, &r, edge, BF_RECT);
        break;
    case bsTopLine:
        DrawEdge(dc, &r, edge, BF_TOP);
        break;
    case bsBottomLine:
        r.top = r.bottom - 2;
        DrawEdge(dc, &r, edge, BF_TOP);
        break;
    case bsLeftLine:
        DrawEdge(dc, &r, edge, BF_LEFT);
        break;
    case bsRightLine:
        r.left = r.right - 2;
        DrawEdge(dc, &r, edge, BF_LEFT);
        break;
    case bsSpacer:
        break;
    }
}

// ---------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
    FHeight = 19;
    FAlign = alBottom;
}

void TStatusBar::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Background = nullptr;
}

TStatusPanel& TStatusBar::AddPanel() {
    FPanels.emplace_back();
    Invalidate();
    return FPanels.back();
}

void TStatusBar::SetSimpleText(const std::string& Value) {
    FSimpleText = Value;
    if (SimplePanel) Invalidate();
}

void TStatusBar::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        RECT c{};
        GetClientRect(Handle(), &c);
        if (dc) Paint(dc, c);
        EndPaint(Handle(), &ps);
        Message.Result = 0;
        return;
    }
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TStatusBar::Paint(HDC dc, const RECT& client) {
    RECT all = client;
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(FFont.Color()));
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    auto cell = [&](RECT r, const std::string& text, TAlignment a, TStatusPanelBevel b) {
        if (b != pbNone)
            DrawEdge(dc, &r, b == pbLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        InflateRect(&r, -3, -1);
        UINT align = a == taCenter ? DT_CENTER : a == taRightJustify ? DT_RIGHT : DT_LEFT;
        DrawText(dc, text, &r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | align);
    };
    if (SimplePanel || FPanels.empty()) {
        cell(RECT{client.left, client.top + 2, client.right, client.bottom}, FSimpleText,
             taLeftJustify, SimplePanel ? pbLowered : pbNone);
    } else {
        int x = client.left;
        for (size_t i = 0; i < FPanels.size(); ++i) {
            const TStatusPanel& p = FPanels[i];
            // The last panel takes what is left.
            int right =
                i + 1 == FPanels.size() ? client.right : std::min<int>(client.right, x + p.Width);
            if (right <= x) break;
            cell(RECT{x, client.top + 2, right, client.bottom}, p.Text, p.Alignment, p.Bevel);
            x = right + 2;
        }
    }
    SelectObject(dc, old);
}
