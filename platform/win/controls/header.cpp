#include "platform/win/controls/header.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/controls/ctlutil.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace {

constexpr const char* kProp = "SysHeader32.state";
constexpr int kDividerSlop = 4; // pixels either side of an edge that grab it

struct Section {
    std::string text;
    int width = 50;
    int fmt = HDF_LEFT;
    LPARAM lParam = 0;
    int image = -1;
};

struct Header {
    HWND hwnd = 0;
    std::vector<Section> items;
    std::vector<int> order; // displayed position -> index
    HFONT font = nullptr;
    bool redraw = true;
    HIMAGELIST images = nullptr;
    int pressed = -1; // section held down
    bool pressedIn = false;
    int tracking = -1; // section whose divider is dragged
    int trackLeft = 0;
    int trackWidth = 0;
};

Header* get(HWND h) {
    return static_cast<Header*>(GetProp(h, kProp));
}

RECT sectionRect(const Header& s, int index) {
    int x = 0;
    RECT client{};
    GetClientRect(s.hwnd, &client);
    for (int i : s.order) {
        int w = std::max(0, s.items[size_t(i)].width);
        if (i == index) return RECT{x, 0, x + w, client.bottom};
        x += w;
    }
    return RECT{};
}

LRESULT notify(Header& s, UINT code, int item, const HDITEM* change, int button = 0) {
    NMHEADER nm;
    nm.hdr.hwndFrom = s.hwnd;
    nm.hdr.idFrom = UINT_PTR(GetWindowLongPtr(s.hwnd, GWLP_ID));
    nm.hdr.code = code;
    nm.item = item;
    nm.button = button;
    nm.pitem = change;
    HWND parent = GetParent(s.hwnd);
    return parent ? SendMessage(parent, WM_NOTIFY, WPARAM(nm.hdr.idFrom),
                                reinterpret_cast<LPARAM>(&nm))
                  : 0;
}

void invalidate(Header& s) {
    if (s.redraw) InvalidateRect(s.hwnd, nullptr, 1);
}

// The section under a client point and whether it is on its right divider.
int hitTest(const Header& s, POINT p, UINT* flags) {
    RECT client{};
    GetClientRect(s.hwnd, &client);
    if (p.y < 0 || p.y >= client.bottom) {
        *flags = HHT_NOWHERE;
        return -1;
    }
    // The rightmost edge within reach wins, so zero-width sections can be
    // pulled open again.
    int x = 0, divider = -1;
    for (int i : s.order) {
        x += std::max(0, s.items[size_t(i)].width);
        if (p.x >= x - kDividerSlop && p.x <= x + kDividerSlop) divider = i;
    }
    if (divider >= 0) {
        *flags = HHT_ONDIVIDER;
        return divider;
    }
    x = 0;
    for (int i : s.order) {
        int w = std::max(0, s.items[size_t(i)].width);
        if (p.x >= x && p.x < x + w) {
            *flags = HHT_ONHEADER;
            return i;
        }
        x += w;
    }
    *flags = p.x < 0 ? HHT_TOLEFT : HHT_NOWHERE;
    return -1;
}

// Sets a width through the change notifications; false when refused.
bool setWidth(Header& s, int index, int width) {
    if (index < 0 || index >= int(s.items.size())) return false;
    HDITEM change;
    change.mask = HDI_WIDTH;
    change.cxy = std::max(0, width);
    HWND self = s.hwnd;
    if (notify(s, HDN_ITEMCHANGING, index, &change)) return false;
    Header* again = get(self);
    if (!again || index >= int(again->items.size())) return false;
    again->items[size_t(index)].width = change.cxy;
    invalidate(*again);
    notify(*again, HDN_ITEMCHANGED, index, &change);
    return true;
}

void paint(Header& s, HDC dc) {
    RECT client{};
    GetClientRect(s.hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, s.font ? s.font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int i : s.order) {
        const Section& sec = s.items[size_t(i)];
        RECT r = sectionRect(s, i);
        if (r.right <= r.left) continue;
        bool down = s.pressed == i && s.pressedIn;
        RECT e = r;
        DrawEdge(dc, &e, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        RECT t{r.left + 6, r.top, r.right - 6, r.bottom};
        if (down) OffsetRect(&t, 1, 1);
        if (s.images && (sec.fmt & HDF_IMAGE) && sec.image >= 0 && sec.image < s.images->Count()) {
            int iy = t.top + (t.bottom - t.top - s.images->Height()) / 2;
            s.images->Draw(dc, sec.image, t.left, iy, true);
            t.left += s.images->Width() + 4;
        }
        UINT align = (sec.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? DT_RIGHT
                     : (sec.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                                                                 : DT_LEFT;
        if (t.right > t.left)
            DrawText(dc, sec.text, &t,
                     align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
}

void endTracking(Header& s, int item, bool apply, int x) {
    s.tracking = -1;
    if (item < 0 || item >= int(s.items.size())) return;
    HDITEM change;
    change.mask = HDI_WIDTH;
    change.cxy = std::max(0, x - s.trackLeft);
    HWND self = s.hwnd;
    notify(s, HDN_ENDTRACK, item, &change);
    Header* again = get(self);
    if (apply && again) setWidth(*again, item, change.cxy);
}

LRESULT copyItem(Header& s, int index, HDITEM* out) {
    if (!out || index < 0 || index >= int(s.items.size())) return 0;
    const Section& sec = s.items[size_t(index)];
    if (out->mask & HDI_WIDTH) out->cxy = sec.width;
    if (out->mask & HDI_FORMAT) out->fmt = sec.fmt;
    if (out->mask & HDI_LPARAM) out->lParam = sec.lParam;
    if (out->mask & HDI_IMAGE) out->image = sec.image;
    if (out->mask & HDI_ORDER) {
        auto it = std::find(s.order.begin(), s.order.end(), index);
        out->order = int(it - s.order.begin());
    }
    if ((out->mask & HDI_TEXT) && out->text && out->textMax > 0)
        ctlutil::CopyText(sec.text, out->text, out->textMax);
    return 1;
}

void applyItem(Header& s, int index, const HDITEM& in) {
    Section& sec = s.items[size_t(index)];
    if (in.mask & HDI_WIDTH) sec.width = std::max(0, in.cxy);
    if (in.mask & HDI_FORMAT) sec.fmt = in.fmt;
    if (in.mask & HDI_LPARAM) sec.lParam = in.lParam;
    if (in.mask & HDI_IMAGE) sec.image = in.image;
    if ((in.mask & HDI_TEXT)) sec.text = in.text ? in.text : "";
    if (in.mask & HDI_ORDER) {
        std::erase(s.order, index);
        int pos = std::clamp(in.order, 0, int(s.order.size()));
        s.order.insert(s.order.begin() + pos, index);
    }
}

} // namespace

LRESULT HeaderWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ctlutil::CreateState<Header>(hwnd, msg, kProp)) return 1;
    Header* s = get(hwnd);
    if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
    auto painted =
        ctlutil::PaintMessage(hwnd, msg, wParam, lParam, s->redraw, [s](HDC dc) { paint(*s, dc); });
    if (painted) return *painted;
    switch (msg) {
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        delete s;
        return 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) invalidate(*s);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s->font);
    case HDM_GETITEMCOUNT:
        return LRESULT(s->items.size());
    case HDM_INSERTITEM: {
        auto* in = reinterpret_cast<const HDITEM*>(lParam);
        if (!in) return -1;
        int index = std::clamp(int(wParam), 0, int(s->items.size()));
        s->items.insert(s->items.begin() + index, Section{});
        for (int& o : s->order)
            if (o >= index) ++o;
        s->order.push_back(index);
        applyItem(*s, index, *in);
        invalidate(*s);
        return index;
    }
    case HDM_DELETEITEM: {
        int index = int(wParam);
        if (index < 0 || index >= int(s->items.size())) return 0;
        s->items.erase(s->items.begin() + index);
        std::erase(s->order, index);
        for (int& o : s->order)
            if (o > index) --o;
        if (s->pressed == index) s->pressed = -1;
        if (s->tracking == index) s->tracking = -1;
        invalidate(*s);
        return 1;
    }
    case HDM_GETITEM:
        return copyItem(*s, int(wParam), reinterpret_cast<HDITEM*>(lParam));
    case HDM_SETITEM: {
        auto* in = reinterpret_cast<const HDITEM*>(lParam);
        int index = int(wParam);
        if (!in || index < 0 || index >= int(s->items.size())) return 0;
        HDITEM change = *in;
        if (notify(*s, HDN_ITEMCHANGING, index, &change)) return 0;
        s = get(hwnd);
        if (!s || index >= int(s->items.size())) return 0;
        applyItem(*s, index, change);
        invalidate(*s);
        notify(*s, HDN_ITEMCHANGED, index, &change);
        return 1;
    }
    case HDM_LAYOUT: {
        auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
        if (!layout || !layout->rect || !layout->pos) return 0;
        DWORD style = DWORD(GetWindowLongPtr(hwnd, GWL_STYLE));
        int h = (style & HDS_HIDDEN) ? 0 : ctlutil::FontHeight(s->font) + 8;
        RECT* r = layout->rect;
        *layout->pos = WINDOWPOS{hwnd, 0, r->left, r->top, r->right - r->left, h, 0};
        r->top += h;
        return 1;
    }
    case HDM_HITTEST: {
        auto* info = reinterpret_cast<HDHITTESTINFO*>(lParam);
        if (!info) return -1;
        info->item = hitTest(*s, info->pt, &info->flags);
        return info->item;
    }
    case HDM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        int index = int(wParam);
        if (!r || index < 0 || index >= int(s->items.size())) return 0;
        *r = sectionRect(*s, index);
        return 1;
    }
    case HDM_SETIMAGELIST: {
        HIMAGELIST old = s->images;
        s->images = reinterpret_cast<HIMAGELIST>(lParam);
        invalidate(*s);
        return reinterpret_cast<LRESULT>(old);
    }
    case HDM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(s->images);
    case HDM_ORDERTOINDEX:
        return wParam < s->order.size() ? s->order[wParam] : -1;
    case HDM_GETORDERARRAY: {
        auto* out = reinterpret_cast<int*>(lParam);
        if (!out || wParam != s->order.size()) return 0;
        std::copy(s->order.begin(), s->order.end(), out);
        return 1;
    }
    case HDM_SETORDERARRAY: {
        auto* in = reinterpret_cast<const int*>(lParam);
        if (!in || wParam != s->order.size()) return 0;
        std::vector<int> next(in, in + wParam);
        std::vector<int> sorted = next;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size(); ++i)
            if (sorted[i] != int(i)) return 0; // not a permutation
        s->order = next;
        invalidate(*s);
        return 1;
    }
    case WM_SETCURSOR: {
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(hwnd, &p);
        UINT flags = 0;
        hitTest(*s, p, &flags);
        if (s->tracking >= 0 || flags == HHT_ONDIVIDER) {
            SetCursor(StockCursor(CursorShape::SizeWE));
            return 1;
        }
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p{ctlutil::X(lParam), ctlutil::Y(lParam)};
        UINT flags = 0;
        int item = hitTest(*s, p, &flags);
        if (flags == HHT_ONDIVIDER) {
            if (msg == WM_LBUTTONDBLCLK) {
                notify(*s, HDN_DIVIDERDBLCLICK, item, nullptr);
                return 0;
            }
            HDITEM start;
            start.mask = HDI_WIDTH;
            start.cxy = s->items[size_t(item)].width;
            if (notify(*s, HDN_BEGINTRACK, item, &start)) return 0;
            s = get(hwnd);
            if (!s || item >= int(s->items.size())) return 0;
            s->tracking = item;
            s->trackLeft = sectionRect(*s, item).left;
            s->trackWidth = s->items[size_t(item)].width;
            SetCapture(hwnd);
            return 0;
        }
        if (flags == HHT_ONHEADER && (GetWindowLongPtr(hwnd, GWL_STYLE) & HDS_BUTTONS)) {
            s->pressed = item;
            s->pressedIn = true;
            SetCapture(hwnd);
            invalidate(*s);
        }
        return 0;
    }
    case WM_MOUSEMOVE: {
        POINT p{ctlutil::X(lParam), ctlutil::Y(lParam)};
        if (s->tracking >= 0) {
            int item = s->tracking;
            HDITEM change;
            change.mask = HDI_WIDTH;
            change.cxy = std::max(0, int(p.x) - s->trackLeft);
            if (notify(*s, HDN_TRACK, item, &change)) {
                s = get(hwnd);
                if (s) {
                    s->tracking = -1;
                    ReleaseCapture();
                    if ((s = get(hwnd))) endTracking(*s, item, false, p.x);
                }
                return 0;
            }
            s = get(hwnd);
            if (s && (GetWindowLongPtr(hwnd, GWL_STYLE) & HDS_FULLDRAG))
                setWidth(*s, item, change.cxy);
        } else if (s->pressed >= 0) {
            UINT flags = 0;
            bool in = hitTest(*s, p, &flags) == s->pressed && flags == HHT_ONHEADER;
            if (in != s->pressedIn) {
                s->pressedIn = in;
                invalidate(*s);
            }
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        POINT p{ctlutil::X(lParam), ctlutil::Y(lParam)};
        if (s->tracking >= 0) {
            int item = s->tracking;
            s->tracking = -1;
            ReleaseCapture();
            if ((s = get(hwnd))) endTracking(*s, item, true, p.x);
        } else if (s->pressed >= 0) {
            int item = s->pressed;
            bool in = s->pressedIn;
            s->pressed = -1;
            invalidate(*s);
            ReleaseCapture();
            if (in && (s = get(hwnd))) notify(*s, HDN_ITEMCLICK, item, nullptr);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (s->tracking >= 0 || s->pressed >= 0) {
            if (s->pressed >= 0) invalidate(*s);
            s->pressed = -1;
            if (s->tracking >= 0) s->tracking = -1;
        }
        return 0;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterHeaderClass() {
    ctlutil::RegisterControlClass(WC_HEADER, HeaderWndProc);
}
