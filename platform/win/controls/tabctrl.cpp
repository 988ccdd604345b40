#include "platform/win/controls/tabctrl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/controls/ctlutil.h"
#include "platform/win/controls/updown.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

namespace {

constexpr const char* kProp = "SysTabControl32.state";
constexpr int kMargin = 2;    // between the control's edge and the first tab
constexpr int kPageInset = 4; // between the control's edge and the page area

struct Tab {
    std::string text;
    int image = -1;
    LPARAM lParam = 0;
};

struct Tabs {
    HWND hwnd = 0;
    std::vector<Tab> items;
    int cur = -1;
    int focusTab = -1;
    int first = 0; // first tab shown when single-line tabs overflow
    int itemWidth = 0;
    int itemHeight = 0;
    int padX = 6;
    int padY = 3;
    int minWidth = 0;
    HFONT font = nullptr;
    bool redraw = true;
    bool hasFocus = false;
    HIMAGELIST images = nullptr;
    HWND updown = 0;
    int pressed = -1;
};

enum Side { Top, Bottom, Left, Right };

Tabs* get(HWND h) {
    return h ? static_cast<Tabs*>(GetProp(h, kProp)) : nullptr;
}

DWORD styleOf(const Tabs& s) {
    return DWORD(GetWindowLongPtr(s.hwnd, GWL_STYLE));
}

Side sideOf(const Tabs& s) {
    DWORD st = styleOf(s);
    if (st & TCS_VERTICAL) return (st & TCS_RIGHT) ? Right : Left;
    return (st & TCS_BOTTOM) ? Bottom : Top;
}

bool multiLine(const Tabs& s) {
    return (styleOf(s) & TCS_MULTILINE) || sideOf(s) == Left || sideOf(s) == Right;
}

bool valid(const Tabs& s, int i) {
    return i >= 0 && i < int(s.items.size());
}

RECT clientOf(const Tabs& s) {
    RECT r{};
    GetClientRect(s.hwnd, &r);
    return r;
}

int tabHeight(const Tabs& s) {
    if (s.itemHeight > 0) return s.itemHeight;
    int h = ctlutil::FontHeight(s.font) + 2 * s.padY;
    if (s.images) h = std::max(h, s.images->Height() + 2 * s.padY);
    return h;
}

// Length of a tab along the strip.
int tabLength(const Tabs& s, int i) {
    if (s.itemWidth > 0) return s.itemWidth;
    const Tab& t = s.items[size_t(i)];
    int w = ctlutil::TextWidth(s.font, t.text) + 2 * s.padX;
    if (s.images && t.image >= 0 && t.image < s.images->Count()) w += s.images->Width() + 4;
    return std::max(w, s.minWidth);
}

int stripRoom(const Tabs& s) {
    RECT c = clientOf(s);
    Side side = sideOf(s);
    return (side == Top || side == Bottom ? c.right : c.bottom) - 2 * kMargin;
}

struct Layout {
    std::vector<RECT> rects;
    int rows = 1;
    bool overflow = false;
    int maxFirst = 0;
};

Layout layoutOf(const Tabs& s) {
    Layout l;
    int n = int(s.items.size());
    l.rects.resize(size_t(n));
    if (n == 0) return l;
    RECT c = clientOf(s);
    Side side = sideOf(s);
    int h = tabHeight(s);
    int room = stripRoom(s);
    std::vector<int> len(static_cast<size_t>(n));
    int total = 0;
    for (int i = 0; i < n; ++i)
        total += len[size_t(i)] = tabLength(s, i);
    // Which row each tab goes to, counted from the pages outward.
    std::vector<int> row(static_cast<size_t>(n), 0);
    if (multiLine(s)) {
        std::vector<std::vector<int>> rows(1);
        int used = 0;
        for (int i = 0; i < n; ++i) {
            if (used > 0 && used + len[size_t(i)] > room) {
                rows.emplace_back();
                used = 0;
            }
            rows.back().push_back(i);
            used += len[size_t(i)];
        }
        l.rows = int(rows.size());
        // The row holding the selection sits next to the pages.
        int selRow = 0;
        for (int r = 0; r < l.rows; ++r)
            for (int i : rows[size_t(r)])
                if (i == s.cur) selRow = r;
        for (int r = 0; r < l.rows; ++r) {
            int dist = r == selRow ? 0 : (r < selRow ? r + 1 : r);
            if (selRow == 0) dist = r;
            int pos = kMargin;
            for (int i : rows[size_t(r)]) {
                row[size_t(i)] = dist;
                int a = pos, b = pos + len[size_t(i)];
                pos = b;
                int far = (l.rows - 1 - dist) * h + kMargin;
                switch (side) {
                case Top:
                    l.rects[size_t(i)] = RECT{a, far, b, far + h};
                    break;
                case Bottom:
                    l.rects[size_t(i)] = RECT{a, c.bottom - far - h, b, c.bottom - far};
                    break;
                case Left:
                    l.rects[size_t(i)] = RECT{far, a, far + h, b};
                    break;
                case Right:
                    l.rects[size_t(i)] = RECT{c.right - far - h, a, c.right - far, b};
                    break;
                }
            }
        }
        return l;
    }
    l.overflow = total > room;
    if (l.overflow) {
        // The largest first tab that still leaves the end in view.
        int tail = 0;
        l.maxFirst = n - 1;
        for (int i = n - 1; i >= 0; --i) {
            tail += len[size_t(i)];
            if (tail > room - 2 * tabHeight(s)) break;
            l.maxFirst = i;
        }
    }
    int first = std::clamp(s.first, 0, l.maxFirst);
    int pos = kMargin;
    for (int i = 0; i < first; ++i)
        pos -= len[size_t(i)];
    for (int i = 0; i < n; ++i) {
        int a = pos, b = pos + len[size_t(i)];
        pos = b;
        l.rects[size_t(i)] = side == Top ? RECT{a, kMargin, b, kMargin + h}
                                         : RECT{a, c.bottom - kMargin - h, b, c.bottom - kMargin};
    }
    return l;
}

int stripDepth(const Tabs& s) {
    return layoutOf(s).rows * tabHeight(s) + kMargin;
}

RECT pageArea(const Tabs& s, RECT r) {
    int d = s.items.empty() ? 0 : stripDepth(s);
    switch (sideOf(s)) {
    case Top:
        return RECT{r.left + kPageInset, r.top + d + kPageInset, r.right - kPageInset,
                    r.bottom - kPageInset};
    case Bottom:
        return RECT{r.left + kPageInset, r.top + kPageInset, r.right - kPageInset,
                    r.bottom - d - kPageInset};
    case Left:
        return RECT{r.left + d + kPageInset, r.top + kPageInset, r.right - kPageInset,
                    r.bottom - kPageInset};
    default:
        return RECT{r.left + kPageInset, r.top + kPageInset, r.right - d - kPageInset,
                    r.bottom - kPageInset};
    }
}

void invalidate(Tabs& s) {
    if (s.redraw) InvalidateRect(s.hwnd, nullptr, 1);
}

// Creates, places or removes the scrolling up-down as the tabs need it.
void checkUpDown(Tabs& s) {
    HWND self = s.hwnd;
    Layout l = layoutOf(s);
    bool need = !multiLine(s) && l.overflow;
    if (s.updown && !IsWindow(s.updown)) s.updown = 0;
    if (!need) {
        s.first = 0;
        if (s.updown) {
            HWND ud = s.updown;
            s.updown = 0;
            DestroyWindow(ud);
        }
        return;
    }
    s.first = std::clamp(s.first, 0, l.maxFirst);
    RECT c = clientOf(s);
    int h = std::max(8, tabHeight(s) - 2);
    int w = 2 * h;
    int y = sideOf(s) == Top ? kMargin : c.bottom - kMargin - h;
    if (!s.updown) {
        RegisterUpDownClass();
        HWND ud = CreateWindowEx(0, UPDOWN_CLASS, "", WS_CHILD | WS_VISIBLE | UDS_HORZ, c.right - w,
                                 y, w, h, self, 1, nullptr, nullptr);
        Tabs* again = get(self);
        if (!again) return;
        again->updown = ud;
    } else {
        SetWindowPos(s.updown, 0, c.right - w, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Tabs* again = get(self);
    if (!again || !again->updown) return;
    SendMessage(again->updown, UDM_SETRANGE32, 0, l.maxFirst);
    SendMessage(again->updown, UDM_SETPOS32, 0, again->first);
}

void ensureTabVisible(Tabs& s, int i) {
    if (multiLine(s) || !valid(s, i)) return;
    Layout l = layoutOf(s);
    if (!l.overflow) return;
    int limit = clientOf(s).right - (s.updown ? 2 * std::max(8, tabHeight(s) - 2) : 0);
    if (i < s.first) s.first = i;
    for (;;) {
        l = layoutOf(s);
        if (s.first >= l.maxFirst || l.rects[size_t(i)].right <= limit) break;
        ++s.first;
    }
    s.first = std::clamp(s.first, 0, l.maxFirst);
    if (s.updown && IsWindow(s.updown)) SendMessage(s.updown, UDM_SETPOS32, 0, s.first);
}

// Selects tab i through TCN_SELCHANGING and TCN_SELCHANGE.
void selectTab(HWND self, int i) {
    Tabs* s = get(self);
    if (!s || !valid(*s, i) || i == s->cur) return;
    NMHDR nm;
    if (ctlutil::Notify(self, TCN_SELCHANGING, &nm)) return;
    s = get(self);
    if (!s || !valid(*s, i)) return;
    s->cur = s->focusTab = i;
    ensureTabVisible(*s, i);
    invalidate(*s);
    NMHDR done;
    ctlutil::Notify(self, TCN_SELCHANGE, &done);
}

int hitTest(const Tabs& s, POINT p, UINT* flags) {
    Layout l = layoutOf(s);
    if (s.updown && IsWindow(s.updown) && IsWindowVisible(s.updown)) {
        RECT ud{};
        GetWindowRect(s.updown, &ud);
        POINT tl{ud.left, ud.top};
        ScreenToClient(s.hwnd, &tl);
        RECT local{tl.x, tl.y, tl.x + (ud.right - ud.left), tl.y + (ud.bottom - ud.top)};
        if (PtInRect(&local, p)) {
            if (flags) *flags = TCHT_NOWHERE;
            return -1;
        }
    }
    for (size_t i = 0; i < l.rects.size(); ++i) {
        if (PtInRect(&l.rects[i], p)) {
            if (flags) *flags = TCHT_ONITEMLABEL;
            return int(i);
        }
    }
    if (flags) *flags = TCHT_NOWHERE;
    return -1;
}

void drawTab(Tabs& s, HDC dc, int i, RECT r, bool selected) {
    Side side = sideOf(s);
    bool buttons = styleOf(s) & TCS_BUTTONS;
    if (selected && !buttons) {
        switch (side) {
        case Top:
            r = RECT{r.left - 2, r.top - 2, r.right + 2, r.bottom + 1};
            break;
        case Bottom:
            r = RECT{r.left - 2, r.top - 1, r.right + 2, r.bottom + 2};
            break;
        case Left:
            r = RECT{r.left - 2, r.top - 2, r.right + 1, r.bottom + 2};
            break;
        case Right:
            r = RECT{r.left - 1, r.top - 2, r.right + 2, r.bottom + 2};
            break;
        }
    }
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = r;
    if (buttons) {
        DrawEdge(dc, &e, selected ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    } else {
        UINT edges = side == Top      ? BF_LEFT | BF_TOP | BF_RIGHT
                     : side == Bottom ? BF_LEFT | BF_BOTTOM | BF_RIGHT
                     : side == Left   ? BF_LEFT | BF_TOP | BF_BOTTOM
                                      : BF_RIGHT | BF_TOP | BF_BOTTOM;
        DrawEdge(dc, &e, EDGE_RAISED, edges);
    }
    const Tab& t = s.items[size_t(i)];
    RECT content{r.left + s.padX / 2, r.top + 1, r.right - s.padX / 2, r.bottom - 1};
    bool image = s.images && t.image >= 0 && t.image < s.images->Count();
    int tw = ctlutil::TextWidth(s.font, t.text);
    int iw = image ? s.images->Width() + 4 : 0;
    int x = content.left + std::max(0, int(content.right - content.left) - tw - iw) / 2;
    if (image) {
        int y = content.top + (content.bottom - content.top - s.images->Height()) / 2;
        s.images->Draw(dc, t.image, x, y, IsWindowEnabled(s.hwnd) != 0);
    }
    RECT text{x + iw, content.top, content.right, content.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(s.hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawText(dc, t.text, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    if (selected && s.hasFocus) {
        RECT f = r;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void paint(Tabs& s, HDC dc) {
    RECT c = clientOf(s);
    int saved = SaveDC(dc);
    SelectObject(dc, s.font ? s.font : GetStockObject(DEFAULT_GUI_FONT));
    FillRect(dc, &c, GetSysColorBrush(COLOR_BTNFACE));
    if (!(styleOf(s) & TCS_BUTTONS)) {
        RECT page = pageArea(s, c);
        InflateRect(&page, kPageInset - 2, kPageInset - 2);
        DrawEdge(dc, &page, EDGE_RAISED, BF_RECT);
    }
    Layout l = layoutOf(s);
    for (int i = 0; i < int(s.items.size()); ++i)
        if (i != s.cur) drawTab(s, dc, i, l.rects[size_t(i)], false);
    if (valid(s, s.cur)) drawTab(s, dc, s.cur, l.rects[size_t(s.cur)], true);
    RestoreDC(dc, saved);
}

void relayout(Tabs& s) {
    HWND self = s.hwnd;
    checkUpDown(s);
    if (Tabs* again = get(self)) invalidate(*again);
}

LRESULT copyTab(const Tabs& s, int i, TCITEM* out) {
    if (!out || !valid(s, i)) return 0;
    const Tab& t = s.items[size_t(i)];
    if (out->mask & TCIF_TEXT) ctlutil::CopyText(t.text, out->text, out->textMax);
    if (out->mask & TCIF_IMAGE) out->image = t.image;
    if (out->mask & TCIF_PARAM) out->lParam = t.lParam;
    return 1;
}

void applyTab(Tab& t, const TCITEM& in) {
    if (in.mask & TCIF_TEXT) t.text = in.text ? in.text : "";
    if (in.mask & TCIF_IMAGE) t.image = in.image;
    if (in.mask & TCIF_PARAM) t.lParam = in.lParam;
}

} // namespace

LRESULT TabControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ctlutil::CreateState<Tabs>(hwnd, msg, kProp))
        return DefWindowProc(hwnd, msg, wParam, lParam);
    Tabs* s = get(hwnd);
    if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        delete s;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        ctlutil::PaintWhole(hwnd, wParam, s->redraw, [s](HDC dc) { paint(*s, dc); });
        return 0;
    case WM_PRINTCLIENT:
        if (wParam) paint(*s, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_PRINT: {
        auto dc = reinterpret_cast<HDC>(wParam);
        if (!dc || ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd))) return 0;
        if (lParam & PRF_CLIENT) paint(*s, dc);
        if ((s = get(hwnd)) && (lParam & PRF_CHILDREN) && s->updown && IsWindow(s->updown) &&
            IsWindowVisible(s->updown)) {
            RECT ud{}, me{};
            GetWindowRect(s->updown, &ud);
            GetWindowRect(hwnd, &me);
            int saved = SaveDC(dc);
            OffsetViewportOrgEx(dc, ud.left - me.left, ud.top - me.top, nullptr);
            IntersectClipRect(dc, 0, 0, ud.right - ud.left, ud.bottom - ud.top);
            SendMessage(s->updown, WM_PRINT, wParam, lParam);
            RestoreDC(dc, saved);
        }
        return 0;
    }
    case WM_SETREDRAW:
        s->redraw = wParam != 0;
        if (s->redraw) relayout(*s);
        return 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        relayout(*s);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s->font);
    case WM_SIZE:
        relayout(*s);
        return 0;
    case WM_ENABLE:
        invalidate(*s);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        s->hasFocus = msg == WM_SETFOCUS;
        invalidate(*s);
        return 0;
    case WM_GETDLGCODE:
        return 0x1; // arrow keys
    case WM_HSCROLL:
        // From the up-down: bring that tab to the front.
        if (LOWORD(wParam) == SB_THUMBPOSITION) {
            Layout l = layoutOf(*s);
            int first = std::clamp(int(int16_t(HIWORD(wParam))), 0, l.maxFirst);
            if (first != s->first) {
                s->first = first;
                invalidate(*s);
            }
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        UINT flags = 0;
        int i = hitTest(*s, POINT{ctlutil::X(lParam), ctlutil::Y(lParam)}, &flags);
        s->pressed = i;
        if (msg != WM_RBUTTONDOWN && i >= 0) {
            if (!(styleOf(*s) & TCS_FOCUSNEVER) && GetFocus() != hwnd) SetFocus(hwnd);
            selectTab(hwnd, i);
        }
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        int was = s->pressed;
        s->pressed = -1;
        if (was >= 0) {
            NMHDR nm;
            ctlutil::Notify(hwnd, msg == WM_LBUTTONUP ? NM_CLICK : NM_RCLICK, &nm);
        }
        return 0;
    }
    case WM_KEYDOWN: {
        NMTCKEYDOWN kd;
        kd.vkey = WORD(wParam);
        ctlutil::Notify(hwnd, TCN_KEYDOWN, &kd.hdr);
        if (!(s = get(hwnd)) || s->items.empty()) return 0;
        int n = int(s->items.size()), cur = std::max(s->cur, 0), next = -1;
        switch (int(wParam)) {
        case VK_LEFT:
        case VK_UP:
            next = cur - 1;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            next = cur + 1;
            break;
        case VK_HOME:
            next = 0;
            break;
        case VK_END:
            next = n - 1;
            break;
        default:
            return 0;
        }
        if (next >= 0 && next < n) selectTab(hwnd, next);
        return 0;
    }
    case TCM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(s->images);
    case TCM_SETIMAGELIST: {
        HIMAGELIST old = s->images;
        s->images = reinterpret_cast<HIMAGELIST>(lParam);
        relayout(*s);
        return reinterpret_cast<LRESULT>(old);
    }
    case TCM_GETITEMCOUNT:
        return LRESULT(s->items.size());
    case TCM_GETITEM:
        return copyTab(*s, int(wParam), reinterpret_cast<TCITEM*>(lParam));
    case TCM_SETITEM: {
        auto* in = reinterpret_cast<const TCITEM*>(lParam);
        if (!in || !valid(*s, int(wParam))) return 0;
        applyTab(s->items[wParam], *in);
        relayout(*s);
        return 1;
    }
    case TCM_INSERTITEM: {
        auto* in = reinterpret_cast<const TCITEM*>(lParam);
        if (!in) return -1;
        int at = std::clamp(int(wParam), 0, int(s->items.size()));
        Tab t;
        applyTab(t, *in);
        s->items.insert(s->items.begin() + at, t);
        if (s->cur >= at) ++s->cur;
        if (s->focusTab >= at) ++s->focusTab;
        if (s->cur < 0) s->cur = s->focusTab = 0; // the first tab starts selected
        relayout(*s);
        return at;
    }
    case TCM_DELETEITEM: {
        int i = int(wParam);
        if (!valid(*s, i)) return 0;
        s->items.erase(s->items.begin() + i);
        if (s->cur == i)
            s->cur = -1;
        else if (s->cur > i)
            --s->cur;
        if (s->focusTab == i)
            s->focusTab = -1;
        else if (s->focusTab > i)
            --s->focusTab;
        relayout(*s);
        return 1;
    }
    case TCM_DELETEALLITEMS:
        s->items.clear();
        s->cur = s->focusTab = -1;
        s->first = 0;
        relayout(*s);
        return 1;
    case TCM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r || !valid(*s, int(wParam))) return 0;
        *r = layoutOf(*s).rects[wParam];
        return 1;
    }
    case TCM_GETCURSEL:
        return s->cur;
    case TCM_SETCURSEL: {
        int old = s->cur;
        int i = int(intptr_t(wParam));
        if (i == -1) { // no tab selected
            s->cur = -1;
            invalidate(*s);
            return old;
        }
        if (!valid(*s, i)) return -1;
        s->cur = s->focusTab = i;
        ensureTabVisible(*s, i);
        invalidate(*s);
        return old;
    }
    case TCM_GETCURFOCUS:
        return s->focusTab;
    case TCM_SETCURFOCUS:
        if (valid(*s, int(wParam))) selectTab(hwnd, int(wParam));
        return 0;
    case TCM_HITTEST: {
        auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
        if (!info) return -1;
        return hitTest(*s, info->pt, &info->flags);
    }
    case TCM_ADJUSTRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        if (!wParam) {
            *r = pageArea(*s, *r);
        } else {
            // The window rectangle around a page area.
            RECT probe{0, 0, 1000, 1000};
            RECT inner = pageArea(*s, probe);
            r->left -= inner.left;
            r->top -= inner.top;
            r->right += 1000 - inner.right;
            r->bottom += 1000 - inner.bottom;
        }
        return 0;
    }
    case TCM_SETITEMSIZE: {
        LRESULT old = MAKELPARAM(s->itemWidth, tabHeight(*s));
        s->itemWidth = std::max(0, int(int16_t(LOWORD(uintptr_t(lParam)))));
        s->itemHeight = std::max(0, int(int16_t(HIWORD(uintptr_t(lParam)))));
        relayout(*s);
        return old;
    }
    case TCM_SETPADDING:
        s->padX = std::clamp(int(int16_t(LOWORD(uintptr_t(lParam)))), 0, 100);
        s->padY = std::clamp(int(int16_t(HIWORD(uintptr_t(lParam)))), 0, 100);
        relayout(*s);
        return 0;
    case TCM_SETMINTABWIDTH: {
        int old = s->minWidth;
        s->minWidth = std::clamp(int(lParam), 0, 10000);
        relayout(*s);
        return old;
    }
    case TCM_GETROWCOUNT:
        return layoutOf(*s).rows;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterTabControlClass() {
    RegisterUpDownClass();
    ctlutil::RegisterControlClass(WC_TABCONTROL, TabControlWndProc);
}
