#include "platform/win/controls/listview.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/controls/ctlutil.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

namespace {

constexpr const char* kProp = "SysListView32.state";
// Texts asked of the parent fit in this many bytes.
constexpr int kCallbackTextMax = 4096;
// Drawing a cell never needs more of its text than this.
constexpr size_t kDrawTextMax = 2048;
// Owner-data lists keep their count below this.
constexpr int kMaxOwnerCount = 100000000;
constexpr int kWheelLines = 3;
constexpr int kHScrollLine = 16;
constexpr int kCellPad = 6;

struct SubItem {
    std::string text;
    bool callback = false;
    int image = -1;
};

struct Item {
    std::string text;
    bool callback = false;
    int image = -1;
    UINT state = 0;
    LPARAM lParam = 0;
    int indent = 0;
    std::vector<SubItem> subs; // sub-item k at k - 1
};

struct Column {
    int subItem = 0;
    int image = -1;
};

struct ListView {
    HWND hwnd = 0;
    HWND header = 0;
    std::vector<Item> items;
    int ownerCount = 0;
    std::map<int, UINT> ownerStates; // owner data: states that are not 0
    std::vector<Column> columns;
    HFONT font = nullptr;
    bool redraw = true;
    bool scrollPending = false;
    bool hasFocus = false;
    HIMAGELIST normal = nullptr;
    HIMAGELIST small = nullptr;
    HIMAGELIST stateImages = nullptr;
    COLORREF bk = GetSysColor(COLOR_WINDOW);
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    COLORREF textBk = CLR_NONE;
    DWORD exStyle = 0;
    int top = 0;  // first row shown
    int xoff = 0; // pixels scrolled to the left
    int focus = -1;
    int mark = -1; // anchor of shift selections
    bool pressing = false;
    int pressItem = -1;
    int pressSub = 0;
    bool updatingBars = false;
    mutable int rowH = 0; // 0 until measured again
};

ListView* get(HWND h) {
    return h ? static_cast<ListView*>(GetProp(h, kProp)) : nullptr;
}

DWORD styleOf(const ListView& s) {
    return DWORD(GetWindowLongPtr(s.hwnd, GWL_STYLE));
}
bool ownerData(const ListView& s) {
    return styleOf(s) & LVS_OWNERDATA;
}
bool report(const ListView& s) {
    return (styleOf(s) & LVS_TYPEMASK) == LVS_REPORT;
}
bool singleSel(const ListView& s) {
    return styleOf(s) & LVS_SINGLESEL;
}
int countOf(const ListView& s) {
    return ownerData(s) ? s.ownerCount : int(s.items.size());
}
bool valid(const ListView& s, int i) {
    return i >= 0 && i < countOf(s);
}

UINT stateOf(const ListView& s, int i) {
    if (!valid(s, i)) return 0;
    if (ownerData(s)) {
        auto it = s.ownerStates.find(i);
        return it == s.ownerStates.end() ? 0 : it->second;
    }
    return s.items[size_t(i)].state;
}

void storeState(ListView& s, int i, UINT state) {
    if (ownerData(s)) {
        if (state)
            s.ownerStates[i] = state;
        else
            s.ownerStates.erase(i);
    } else {
        s.items[size_t(i)].state = state;
    }
}

LPARAM paramOf(const ListView& s, int i) {
    return (!valid(s, i) || ownerData(s)) ? 0 : s.items[size_t(i)].lParam;
}

// ---- Geometry ---------------------------------------------------------------

RECT clientOf(const ListView& s) {
    RECT r{};
    GetClientRect(s.hwnd, &r);
    return r;
}

int rowHeight(const ListView& s) {
    if (s.rowH > 0) return s.rowH;
    int h = ctlutil::FontHeight(s.font) + 4;
    if (s.small) h = std::max(h, s.small->Height() + 2);
    if (s.stateImages) h = std::max(h, s.stateImages->Height() + 2);
    if (s.exStyle & LVS_EX_CHECKBOXES) h = std::max(h, 16);
    s.rowH = std::max(h, 1);
    return s.rowH;
}

bool headerShown(const ListView& s) {
    return s.header && report(s) && !(styleOf(s) & LVS_NOCOLUMNHEADER);
}

int headerHeight(const ListView& s) {
    if (!headerShown(s)) return 0;
    RECT r{};
    GetWindowRect(s.header, &r);
    return r.bottom - r.top;
}

int perPage(const ListView& s) {
    RECT c = clientOf(s);
    return std::max(0, int(c.bottom - headerHeight(s)) / rowHeight(s));
}

int columnCount(const ListView& s) {
    return int(s.columns.size());
}

// The column's place in content coordinates (before horizontal scrolling).
RECT columnSpan(const ListView& s, int col) {
    RECT r{};
    if (s.header) SendMessage(s.header, HDM_GETITEMRECT, WPARAM(col), reinterpret_cast<LPARAM>(&r));
    return r;
}

int totalWidth(const ListView& s) {
    if (!report(s)) return clientOf(s).right;
    int w = 0;
    for (int c = 0; c < columnCount(s); ++c)
        w = std::max(w, int(columnSpan(s, c).right));
    return w;
}

int rowTop(const ListView& s, int i) {
    return headerHeight(s) + (i - s.top) * rowHeight(s);
}

RECT itemBounds(const ListView& s, int i) {
    int t = rowTop(s, i);
    if (!report(s)) return RECT{0, t, clientOf(s).right, t + rowHeight(s)};
    return RECT{-s.xoff, t, totalWidth(s) - s.xoff, t + rowHeight(s)};
}

RECT cellRect(const ListView& s, int i, int col) {
    if (!report(s)) return itemBounds(s, i);
    RECT span = columnSpan(s, col);
    int t = rowTop(s, i);
    return RECT{span.left - s.xoff, t, span.right - s.xoff, t + rowHeight(s)};
}

struct ItemParts {
    RECT stateIcon, icon, label;
};

ItemParts partsOf(const ListView& s, int i) {
    RECT cell = columnCount(s) > 0 || !report(s) ? cellRect(s, i, 0) : itemBounds(s, i);
    ItemParts p{};
    int x = cell.left + 2;
    if (!ownerData(s)) x += s.items[size_t(i)].indent * (s.small ? s.small->Width() : 16);
    if (s.stateImages || (s.exStyle & LVS_EX_CHECKBOXES)) {
        int w = s.stateImages ? s.stateImages->Width() : 16;
        p.stateIcon = RECT{x, cell.top, x + w, cell.bottom};
        x += w + 2;
    } else {
        p.stateIcon = RECT{x, cell.top, x, cell.bottom};
    }
    int iw = s.small ? s.small->Width() : 0;
    p.icon = RECT{x, cell.top, x + iw, cell.bottom};
    x += iw + (iw ? 2 : 0);
    p.label = RECT{std::min(x, int(cell.right)), cell.top, cell.right, cell.bottom};
    return p;
}

RECT selectBounds(const ListView& s, int i) {
    if (!report(s) || (s.exStyle & LVS_EX_FULLROWSELECT)) return itemBounds(s, i);
    ItemParts p = partsOf(s, i);
    return RECT{p.icon.left, p.icon.top, p.label.right, p.label.bottom};
}

RECT subItemRect(const ListView& s, int i, int col, int part) {
    if (col <= 0 || !report(s)) {
        ItemParts p = partsOf(s, i);
        switch (part) {
        case LVIR_ICON:
            return p.icon;
        case LVIR_LABEL:
            return p.label;
        case LVIR_SELECTBOUNDS:
            return selectBounds(s, i);
        default:
            return col == 0 && report(s) ? itemBounds(s, i) : itemBounds(s, i);
        }
    }
    RECT cell = cellRect(s, i, col);
    int iw = (s.small && (s.exStyle & LVS_EX_SUBITEMIMAGES)) ? s.small->Width() : 0;
    RECT icon{cell.left + 2, cell.top, std::min(int(cell.right), int(cell.left) + 2 + iw),
              cell.bottom};
    if (part == LVIR_ICON) return icon;
    if (part == LVIR_LABEL)
        return RECT{icon.right + (iw ? 2 : 0), cell.top, cell.right, cell.bottom};
    return cell;
}

// ---- Notifications ----------------------------------------------------------

LRESULT notifyList(ListView& s, UINT code, int item, UINT newState = 0, UINT oldState = 0,
                   UINT changed = 0, int subItem = 0, POINT pt = POINT{}) {
    NMLISTVIEW nm;
    nm.item = item;
    nm.subItem = subItem;
    nm.newState = newState;
    nm.oldState = oldState;
    nm.changed = changed;
    nm.ptAction = pt;
    nm.lParam = paramOf(s, item);
    return ctlutil::Notify(s.hwnd, code, &nm.hdr);
}

LRESULT notifyActivate(ListView& s, UINT code, int item, int subItem, POINT pt, UINT keys) {
    NMITEMACTIVATE nm;
    nm.item = item;
    nm.subItem = subItem;
    nm.ptAction = pt;
    nm.lParam = paramOf(s, item);
    nm.keyFlags = keys & (MK_SHIFT | MK_CONTROL);
    return ctlutil::Notify(s.hwnd, code, &nm.hdr);
}

// Asks the parent for an item's text or image.
void dispInfo(ListView& s, int item, int subItem, UINT mask, std::string* text, int* image) {
    std::vector<char> buffer(kCallbackTextMax, '\0');
    NMLVDISPINFO nm;
    nm.item.mask = mask;
    nm.item.item = item;
    nm.item.subItem = subItem;
    nm.item.text = buffer.data();
    nm.item.textMax = kCallbackTextMax;
    nm.item.lParam = paramOf(s, item);
    ctlutil::Notify(s.hwnd, LVN_GETDISPINFO, &nm.hdr);
    if (text && (mask & LVIF_TEXT)) {
        // The parent may point at its own text instead of filling the buffer.
        const char* from = nm.item.text && nm.item.text != LPSTR_TEXTCALLBACK ? nm.item.text : "";
        *text = from == buffer.data()
                    ? std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))
                    : std::string(from);
    }
    if (image && (mask & LVIF_IMAGE)) *image = nm.item.image;
}

std::string textOf(ListView& s, int i, int sub) {
    if (!valid(s, i)) return {};
    HWND self = s.hwnd;
    if (ownerData(s)) {
        std::string t;
        dispInfo(s, i, sub, LVIF_TEXT, &t, nullptr);
        return get(self) ? t : std::string();
    }
    const Item& it = s.items[size_t(i)];
    if (sub == 0) {
        if (!it.callback) return it.text;
    } else {
        if (size_t(sub) > it.subs.size()) return {};
        if (!it.subs[size_t(sub) - 1].callback) return it.subs[size_t(sub) - 1].text;
    }
    std::string t;
    dispInfo(s, i, sub, LVIF_TEXT, &t, nullptr);
    return t;
}

int imageOf(ListView& s, int i, int sub) {
    if (!valid(s, i)) return -1;
    if (ownerData(s)) {
        int image = -1;
        if (sub == 0) dispInfo(s, i, 0, LVIF_IMAGE, nullptr, &image);
        return image;
    }
    const Item& it = s.items[size_t(i)];
    if (sub > 0) return size_t(sub) <= it.subs.size() ? it.subs[size_t(sub) - 1].image : -1;
    if (it.image != I_IMAGECALLBACK) return it.image;
    int image = -1;
    dispInfo(s, i, 0, LVIF_IMAGE, nullptr, &image);
    return image;
}

// ---- Painting and scrolling -------------------------------------------------

void invalidateAll(ListView& s) {
    if (s.redraw) InvalidateRect(s.hwnd, nullptr, 1);
}

void invalidateItem(ListView& s, int i) {
    if (!s.redraw) return;
    RECT r = itemBounds(s, i);
    RECT c = clientOf(s);
    r.left = 0;
    r.right = c.right;
    InvalidateRect(s.hwnd, &r, 1);
}

void layoutHeader(ListView& s) {
    if (!s.header) return;
    if (!headerShown(s)) {
        if (IsWindowVisible(s.header)) ShowWindow(s.header, SW_HIDE);
        return;
    }
    RECT c = clientOf(s);
    WINDOWPOS wp;
    HDLAYOUT layout{&c, &wp};
    SendMessage(s.header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout));
    wp.hwnd = s.header;
    wp.x = -s.xoff;
    wp.cx += s.xoff;
    // A subclassed header may change where it goes.
    SendMessage(s.header, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    SetWindowPos(s.header, 0, wp.x, wp.y, wp.cx, wp.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!IsWindowVisible(s.header)) ShowWindow(s.header, SW_SHOWNA);
}

void clampScroll(ListView& s) {
    s.top = std::clamp(s.top, 0, std::max(0, countOf(s) - std::max(1, perPage(s))));
    if (countOf(s) <= perPage(s)) s.top = 0;
    RECT c = clientOf(s);
    s.xoff = report(s) ? std::clamp(s.xoff, 0, std::max(0, totalWidth(s) - int(c.right))) : 0;
}

void updateScrollBars(ListView& s) {
    if (!s.redraw) {
        s.scrollPending = true;
        return;
    }
    if (s.updatingBars) return;
    s.updatingBars = true;
    HWND self = s.hwnd;
    // Showing one bar narrows the other's page: settle in a few rounds.
    for (int round = 0; round < 4; ++round) {
        ListView* p = get(self);
        if (!p) return;
        DWORD before = styleOf(*p) & (WS_VSCROLL | WS_HSCROLL);
        clampScroll(*p);
        SCROLLINFO v;
        v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        v.nMin = 0;
        v.nMax = std::max(0, countOf(*p) - 1);
        v.nPage = UINT(std::max(perPage(*p), 0));
        v.nPos = p->top;
        SetScrollInfo(self, SB_VERT, &v, 1);
        if (!(p = get(self))) return;
        // Outside report view the rows take the width: nothing to scroll.
        int width = report(*p) ? totalWidth(*p) : 0;
        SCROLLINFO h;
        h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        h.nMin = 0;
        h.nMax = std::max(0, width - 1);
        h.nPage = UINT(std::max(0, int(clientOf(*p).right)));
        h.nPos = p->xoff;
        SetScrollInfo(self, SB_HORZ, &h, 1);
        if (!(p = get(self))) return;
        if ((styleOf(*p) & (WS_VSCROLL | WS_HSCROLL)) == before) break;
    }
    if (ListView* p = get(self)) {
        p->updatingBars = false;
        layoutHeader(*p);
    }
}

void scrollTo(ListView& s, int top, int xoff) {
    int oldTop = s.top, oldX = s.xoff;
    s.top = top;
    s.xoff = xoff;
    clampScroll(s);
    if (s.top == oldTop && s.xoff == oldX) return;
    if (s.xoff != oldX) layoutHeader(s);
    SetScrollPos(s.hwnd, SB_VERT, s.top, 1);
    SetScrollPos(s.hwnd, SB_HORZ, s.xoff, 1);
    invalidateAll(s);
}

void ensureVisible(ListView& s, int i, bool partialOk) {
    if (!valid(s, i)) return;
    int page = std::max(1, perPage(s));
    int top = s.top;
    if (i < top)
        top = i;
    else if (i >= top + page) {
        if (partialOk && i == top + page) {
            RECT c = clientOf(s);
            if (rowTop(s, i) < c.bottom) return;
        }
        top = i - page + 1;
    }
    scrollTo(s, top, s.xoff);
}

std::string drawable(const std::string& t) {
    if (t.size() <= kDrawTextMax) return t;
    size_t n = kDrawTextMax;
    while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80)
        --n; // keep whole characters
    return t.substr(0, n);
}

UINT alignOf(int fmt) {
    switch (fmt & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
        return DT_RIGHT;
    case LVCFMT_CENTER:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

int columnFormat(const ListView& s, int col) {
    HDITEM hd;
    hd.mask = HDI_FORMAT;
    if (!s.header ||
        !SendMessage(s.header, HDM_GETITEM, WPARAM(col), reinterpret_cast<LPARAM>(&hd)))
        return LVCFMT_LEFT;
    return hd.fmt & HDF_JUSTIFYMASK;
}

void drawCheck(HDC dc, const RECT& box, bool checked) {
    int size = std::min<int>(13, std::min(box.right - box.left, box.bottom - box.top));
    if (size <= 2) return;
    int x = box.left + (box.right - box.left - size) / 2,
        y = box.top + (box.bottom - box.top - size) / 2;
    RECT r{x, y, x + size, y + size};
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWTEXT));
    if (!checked) return;
    HBRUSH b = GetSysColorBrush(COLOR_WINDOWTEXT);
    for (int k = 0; k < size - 6; ++k) {
        int cx = x + 3 + k, cy = k < (size - 6) / 2 ? y + size / 2 + k - 1
                                                    : y + size - 4 - (k - (size - 6) / 2) - 1;
        RECT d{cx, cy, cx + 1, cy + 2};
        FillRect(dc, &d, b);
    }
}

LRESULT customDraw(ListView& s, DWORD stage, HDC dc, const RECT& rc, int item, int subItem,
                   COLORREF* clrText, COLORREF* clrTextBk) {
    NMLVCUSTOMDRAW cd;
    cd.nmcd.drawStage = stage;
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = rc;
    cd.nmcd.itemSpec = UINT_PTR(std::max(item, 0));
    if (item >= 0) {
        UINT st = stateOf(s, item);
        cd.nmcd.itemState = ((st & LVIS_SELECTED) ? CDIS_SELECTED : 0) |
                            ((st & LVIS_FOCUSED) && s.hasFocus ? CDIS_FOCUS : 0) |
                            (IsWindowEnabled(s.hwnd) ? 0 : CDIS_DISABLED);
        cd.nmcd.itemlParam = paramOf(s, item);
    }
    cd.clrText = clrText ? *clrText : s.text;
    cd.clrTextBk = clrTextBk ? *clrTextBk : s.textBk;
    cd.subItem = subItem;
    LRESULT r = ctlutil::Notify(s.hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr);
    if (clrText) *clrText = cd.clrText;
    if (clrTextBk) *clrTextBk = cd.clrTextBk;
    return r;
}

// Draws one row; false when the window went away meanwhile.
bool drawItem(ListView& s, HDC dc, int i, LRESULT paintFlags) {
    HWND self = s.hwnd;
    RECT bounds = itemBounds(s, i);
    UINT st = stateOf(s, i);
    bool selected = st & LVIS_SELECTED;
    bool showSel = selected && (s.hasFocus || (styleOf(s) & LVS_SHOWSELALWAYS));
    COLORREF textColor = s.text, textBk = s.textBk;
    LRESULT itemFlags = CDRF_DODEFAULT;
    if (paintFlags & CDRF_NOTIFYITEMDRAW) {
        itemFlags = customDraw(s, CDDS_ITEMPREPAINT, dc, bounds, i, 0, &textColor, &textBk);
        if (!get(self)) return false;
        if (!valid(s, i)) return true;
    }
    if (!(itemFlags & CDRF_SKIPDEFAULT)) {
        RECT selRect = selectBounds(s, i);
        if (showSel) {
            FillRect(dc, &selRect, GetSysColorBrush(s.hasFocus ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        } else if (textBk != CLR_NONE) {
            HBRUSH b = CreateSolidBrush(textBk);
            FillRect(dc, &selRect, b);
            DeleteObject(b);
        }
        SetBkMode(dc, TRANSPARENT);
        int columns = report(s) ? std::max(1, columnCount(s)) : 1;
        for (int col = 0; col < columns; ++col) {
            int sub = col < columnCount(s) ? s.columns[size_t(col)].subItem : 0;
            COLORREF subText = textColor, subBk = textBk;
            if (itemFlags & CDRF_NOTIFYSUBITEMDRAW) {
                RECT cell = cellRect(s, i, col);
                LRESULT sf = customDraw(s, CDDS_ITEMPREPAINT | CDDS_SUBITEM, dc, cell, i, sub,
                                        &subText, &subBk);
                if (!get(self)) return false;
                if (!valid(s, i)) return true;
                if (sf & CDRF_SKIPDEFAULT) continue;
            }
            bool highlightText =
                showSel && s.hasFocus && (col == 0 || (s.exStyle & LVS_EX_FULLROWSELECT));
            SetTextColor(dc, highlightText ? GetSysColor(COLOR_HIGHLIGHTTEXT) : subText);
            RECT label;
            if (col == 0) {
                ItemParts p = partsOf(s, i);
                UINT stateIndex = (st & LVIS_STATEIMAGEMASK) >> 12;
                if (s.stateImages && stateIndex > 0 &&
                    int(stateIndex) - 1 < s.stateImages->Count()) {
                    int y = p.stateIcon.top +
                            (p.stateIcon.bottom - p.stateIcon.top - s.stateImages->Height()) / 2;
                    s.stateImages->Draw(dc, int(stateIndex) - 1, p.stateIcon.left, y, true);
                } else if (!s.stateImages && (s.exStyle & LVS_EX_CHECKBOXES)) {
                    drawCheck(dc, p.stateIcon, stateIndex == 2);
                }
                int image = imageOf(s, i, 0);
                if (!get(self)) return false;
                if (s.small && image >= 0 && image < s.small->Count()) {
                    int y = p.icon.top + (p.icon.bottom - p.icon.top - s.small->Height()) / 2;
                    s.small->Draw(dc, image, p.icon.left, y, IsWindowEnabled(s.hwnd) != 0);
                }
                label = p.label;
            } else {
                if (s.small && (s.exStyle & LVS_EX_SUBITEMIMAGES)) {
                    int image = imageOf(s, i, sub);
                    RECT icon = subItemRect(s, i, col, LVIR_ICON);
                    if (image >= 0 && image < s.small->Count()) {
                        int y = icon.top + (icon.bottom - icon.top - s.small->Height()) / 2;
                        s.small->Draw(dc, image, icon.left, y, true);
                    }
                }
                label = subItemRect(s, i, col, LVIR_LABEL);
            }
            std::string t = drawable(textOf(s, i, sub));
            if (!get(self)) return false;
            if (!valid(s, i)) return true;
            RECT tr{label.left + (col == 0 ? 2 : kCellPad - 4), label.top, label.right - 2,
                    label.bottom};
            if (!t.empty() && tr.right > tr.left)
                DrawText(dc, t, &tr,
                         (report(s) ? alignOf(columnFormat(s, col)) : DT_LEFT) | DT_SINGLELINE |
                             DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        if ((st & LVIS_FOCUSED) && s.hasFocus) {
            RECT f = selectBounds(s, i);
            DrawFocusRect(dc, &f);
        }
    }
    if (itemFlags & CDRF_NOTIFYPOSTPAINT) {
        customDraw(s, CDDS_ITEMPOSTPAINT, dc, bounds, i, 0, nullptr, nullptr);
        if (!get(self)) return false;
    }
    return true;
}

void paintClient(ListView& s, HDC dc, RECT clip) {
    HWND self = s.hwnd;
    RECT client = clientOf(s);
    IntersectRect(&clip, &clip, &client);
    int saved = SaveDC(dc);
    HGDIOBJ oldFont = SelectObject(dc, s.font ? s.font : GetStockObject(DEFAULT_GUI_FONT));
    int hh = headerHeight(s);
    RECT below{client.left, hh, client.right, client.bottom};
    LRESULT flags = customDraw(s, CDDS_PREPAINT, dc, client, -1, 0, nullptr, nullptr);
    ListView* p = get(self);
    if (!p) {
        RestoreDC(dc, saved);
        return;
    }
    if (!(flags & CDRF_SKIPDEFAULT)) {
        RECT fill;
        if (p->bk != CLR_NONE && IntersectRect(&fill, &below, &clip)) {
            HBRUSH b = CreateSolidBrush(p->bk);
            FillRect(dc, &fill, b);
            DeleteObject(b);
        }
        IntersectClipRect(dc, below.left, below.top, below.right, below.bottom);
        int rh = rowHeight(*p);
        int first = p->top + std::max(0, int(clip.top - hh) / rh);
        int last =
            std::min(countOf(*p) - 1, p->top + std::max(0, int(clip.bottom - hh + rh - 1) / rh));
        for (int i = first; i <= last; ++i) {
            p = get(self);
            if (!p || !drawItem(*p, dc, i, flags)) {
                RestoreDC(dc, saved);
                return;
            }
        }
        p = get(self);
        if (p && report(*p) && (p->exStyle & LVS_EX_GRIDLINES)) {
            HBRUSH g = GetSysColorBrush(COLOR_BTNFACE);
            for (int col = 0; col < columnCount(*p); ++col) {
                RECT span = columnSpan(*p, col);
                RECT line{span.right - p->xoff - 1, hh, span.right - p->xoff, client.bottom};
                FillRect(dc, &line, g);
            }
            for (int y = hh + rh - 1; y < client.bottom; y += rh) {
                RECT line{0, y, std::min(int(client.right), totalWidth(*p) - p->xoff), y + 1};
                FillRect(dc, &line, g);
            }
        }
    }
    if (p && (flags & CDRF_NOTIFYPOSTPAINT))
        customDraw(*p, CDDS_POSTPAINT, dc, client, -1, 0, nullptr, nullptr);
    SelectObject(dc, oldFont);
    RestoreDC(dc, saved);
}

// ---- Selection --------------------------------------------------------------

std::vector<int> selectedItems(const ListView& s);

// Changes an item's state with the changing and changed notifications; false
// when the parent refused or the list went away.
bool changeState(HWND self, int i, UINT state, UINT mask) {
    ListView* s = get(self);
    if (!s || !valid(*s, i)) return false;
    UINT old = stateOf(*s, i);
    UINT now = (old & ~mask) | (state & mask);
    if (now == old) return true;
    if (notifyList(*s, LVN_ITEMCHANGING, i, now, old, LVIF_STATE)) return false;
    s = get(self);
    if (!s || !valid(*s, i)) return false;
    // A single-selection list lets one item go before another is selected.
    if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED) && singleSel(*s)) {
        for (int other : selectedItems(*s))
            if (other != i && !changeState(self, other, 0, LVIS_SELECTED)) return false;
        s = get(self);
        if (!s || !valid(*s, i)) return false;
    }
    // One focused item at most.
    if ((now & LVIS_FOCUSED) && s->focus != i) {
        int before = s->focus;
        if (valid(*s, before) && (stateOf(*s, before) & LVIS_FOCUSED)) {
            if (!changeState(self, before, 0, LVIS_FOCUSED)) return false;
            s = get(self);
            if (!s || !valid(*s, i)) return false;
        }
        s->focus = i;
    }
    if (!(now & LVIS_FOCUSED) && s->focus == i) s->focus = -1;
    old = stateOf(*s, i);
    now = (old & ~mask) | (state & mask);
    storeState(*s, i, now);
    invalidateItem(*s, i);
    notifyList(*s, LVN_ITEMCHANGED, i, now, old, LVIF_STATE);
    return get(self) != nullptr;
}

std::vector<int> selectedItems(const ListView& s) {
    std::vector<int> out;
    if (ownerData(s)) {
        for (auto& [i, st] : s.ownerStates)
            if (st & LVIS_SELECTED) out.push_back(i);
    } else {
        for (size_t i = 0; i < s.items.size(); ++i)
            if (s.items[i].state & LVIS_SELECTED) out.push_back(int(i));
    }
    return out;
}

// Selects exactly the items from..to (inclusive, any order) plus, with keep,
// those already selected.
bool selectRange(HWND self, int from, int to, bool keep) {
    ListView* s = get(self);
    if (!s) return false;
    int lo = std::min(from, to), hi = std::max(from, to);
    if (!keep)
        for (int i : selectedItems(*s))
            if ((i < lo || i > hi) && !changeState(self, i, 0, LVIS_SELECTED)) return false;
    for (int i = lo; i <= hi; ++i) {
        s = get(self);
        if (!s || !valid(*s, i)) break;
        if (!changeState(self, i, LVIS_SELECTED, LVIS_SELECTED)) return false;
    }
    return get(self) != nullptr;
}

bool deselectAll(HWND self) {
    ListView* s = get(self);
    if (!s) return false;
    for (int i : selectedItems(*s))
        if (!changeState(self, i, 0, LVIS_SELECTED)) return false;
    return true;
}

void focusItem(HWND self, int i) {
    changeState(self, i, LVIS_FOCUSED, LVIS_FOCUSED);
}

// A click or key on item i with the given modifiers.
void selectFromInput(HWND self, int i, bool shift, bool ctrl, bool keyboard) {
    ListView* s = get(self);
    if (!s || !valid(*s, i)) return;
    if (singleSel(*s) || (!shift && !ctrl)) {
        if (!selectRange(self, i, i, false)) return;
        focusItem(self, i);
        if ((s = get(self))) s->mark = i;
    } else if (shift) {
        int anchor = valid(*s, s->mark) ? s->mark : i;
        if (!selectRange(self, anchor, i, ctrl && !keyboard)) return;
        focusItem(self, i);
        if ((s = get(self)) && !valid(*s, s->mark)) s->mark = i;
    } else if (keyboard) {
        focusItem(self, i); // ctrl with a key moves the focus only
    } else {
        UINT st = stateOf(*s, i);
        if (!changeState(self, i, st & LVIS_SELECTED ? 0 : LVIS_SELECTED, LVIS_SELECTED)) return;
        focusItem(self, i);
        if ((s = get(self))) s->mark = i;
    }
    if ((s = get(self))) ensureVisible(*s, i, false);
}

// ---- Hit testing ------------------------------------------------------------

int hitTest(ListView& s, POINT pt, UINT* flags, int* subItem) {
    RECT c = clientOf(s);
    int hh = headerHeight(s);
    *flags = LVHT_NOWHERE;
    if (subItem) *subItem = 0;
    if (pt.y < hh) {
        *flags = LVHT_ABOVE;
        return -1;
    }
    if (pt.y >= c.bottom) *flags = LVHT_BELOW;
    if (pt.x < 0) *flags = LVHT_TOLEFT;
    if (pt.x >= c.right) *flags = LVHT_TORIGHT;
    if (*flags != LVHT_NOWHERE) return -1;
    int row = s.top + (pt.y - hh) / rowHeight(s);
    if (!valid(s, row)) return -1;
    if (report(s)) {
        int col = -1;
        for (int k = 0; k < columnCount(s); ++k) {
            RECT cell = cellRect(s, row, k);
            if (pt.x >= cell.left && pt.x < cell.right) col = k;
        }
        if (col < 0) return -1;
        if (subItem) *subItem = col;
        ItemParts p = partsOf(s, row);
        if (PtInRect(&p.stateIcon, pt))
            *flags = LVHT_ONITEMSTATEICON;
        else if (PtInRect(&p.icon, pt))
            *flags = LVHT_ONITEMICON;
        else if (col == 0 || (s.exStyle & LVS_EX_FULLROWSELECT))
            *flags = LVHT_ONITEMLABEL;
        else
            return -1;
        return row;
    }
    ItemParts p = partsOf(s, row);
    *flags = PtInRect(&p.stateIcon, pt) ? LVHT_ONITEMSTATEICON
             : PtInRect(&p.icon, pt)    ? LVHT_ONITEMICON
                                        : LVHT_ONITEMLABEL;
    return row;
}

// ---- Items ------------------------------------------------------------------

void applyItem(ListView& s, Item& it, const LVITEM& in) {
    if (in.mask & LVIF_TEXT) {
        it.callback = in.text == LPSTR_TEXTCALLBACK;
        it.text = it.callback || !in.text ? std::string() : std::string(in.text);
    }
    if (in.mask & LVIF_IMAGE) it.image = in.image;
    if (in.mask & LVIF_PARAM) it.lParam = in.lParam;
    if (in.mask & LVIF_INDENT) it.indent = std::clamp(in.indent, 0, 64);
    (void)s;
}

int insertPosition(ListView& s, const LVITEM& in) {
    int count = countOf(s);
    DWORD style = styleOf(s);
    if ((style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) && (in.mask & LVIF_TEXT) && in.text &&
        in.text != LPSTR_TEXTCALLBACK) {
        bool down = style & LVS_SORTDESCENDING;
        std::string key = in.text;
        for (int i = 0; i < count; ++i) {
            int cmp = strcasecmp(key.c_str(), s.items[size_t(i)].text.c_str());
            if (down ? cmp > 0 : cmp < 0) return i;
        }
        return count;
    }
    return std::clamp(in.item, 0, count);
}

LRESULT insertItem(HWND self, const LVITEM* in) {
    ListView* s = get(self);
    if (!s || !in || ownerData(*s) || in->subItem != 0) return -1;
    int at = insertPosition(*s, *in);
    Item it;
    applyItem(*s, it, *in);
    s->items.insert(s->items.begin() + at, std::move(it));
    if (s->focus >= at) ++s->focus;
    if (s->mark >= at) ++s->mark;
    if (in->mask & LVIF_STATE) {
        UINT st = in->state & in->stateMask;
        if ((st & LVIS_FOCUSED) && valid(*s, s->focus)) {
            storeState(*s, s->focus, stateOf(*s, s->focus) & ~LVIS_FOCUSED);
            invalidateItem(*s, s->focus);
        }
        if (st & LVIS_FOCUSED) s->focus = at;
        s->items[size_t(at)].state = st;
    }
    updateScrollBars(*s);
    if ((s = get(self))) {
        invalidateAll(*s);
        notifyList(*s, LVN_INSERTITEM, at);
    }
    return at;
}

void afterRemoval(ListView& s, int at) {
    if (s.focus == at)
        s.focus = -1;
    else if (s.focus > at)
        --s.focus;
    if (s.mark == at)
        s.mark = -1;
    else if (s.mark > at)
        --s.mark;
    if (s.pressItem == at)
        s.pressItem = -1;
    else if (s.pressItem > at)
        --s.pressItem;
}

LRESULT deleteItem(HWND self, int at) {
    ListView* s = get(self);
    if (!s || !valid(*s, at)) return 0;
    if (ownerData(*s)) {
        // The parent owns the data; the list only shrinks by one.
        std::map<int, UINT> moved;
        for (auto& [i, st] : s->ownerStates)
            if (i != at) moved[i > at ? i - 1 : i] = st;
        s->ownerStates = std::move(moved);
        --s->ownerCount;
    } else {
        notifyList(*s, LVN_DELETEITEM, at);
        s = get(self);
        if (!s || !valid(*s, at)) return 0;
        s->items.erase(s->items.begin() + at);
    }
    afterRemoval(*s, at);
    updateScrollBars(*s);
    if ((s = get(self))) invalidateAll(*s);
    return 1;
}

LRESULT deleteAll(HWND self) {
    ListView* s = get(self);
    if (!s) return 0;
    if (ownerData(*s)) {
        s->ownerCount = 0;
        s->ownerStates.clear();
    } else {
        bool quiet = notifyList(*s, LVN_DELETEALLITEMS, -1) != 0;
        s = get(self);
        if (!s) return 0;
        if (!quiet) {
            // From the end, so indexes given to the parent stay true.
            while (!s->items.empty()) {
                int last = int(s->items.size()) - 1;
                notifyList(*s, LVN_DELETEITEM, last);
                s = get(self);
                if (!s) return 0;
                if (!s->items.empty()) s->items.pop_back();
            }
        }
        s->items.clear();
    }
    s->focus = s->mark = s->pressItem = -1;
    s->top = 0;
    updateScrollBars(*s);
    if ((s = get(self))) invalidateAll(*s);
    return 1;
}

LRESULT getItem(ListView& s, LVITEM* out) {
    if (!out || !valid(s, out->item) || out->subItem < 0) return 0;
    HWND self = s.hwnd;
    int i = out->item;
    if (out->mask & LVIF_TEXT) {
        std::string t = textOf(s, i, out->subItem);
        if (!get(self)) return 0;
        ctlutil::CopyText(t, out->text, out->textMax);
    }
    if (out->mask & LVIF_IMAGE) {
        out->image = imageOf(s, i, out->subItem);
        if (!get(self)) return 0;
    }
    if (out->mask & LVIF_STATE) out->state = stateOf(s, i) & out->stateMask;
    if (out->mask & LVIF_PARAM) out->lParam = paramOf(s, i);
    if (out->mask & LVIF_INDENT) out->indent = ownerData(s) ? 0 : s.items[size_t(i)].indent;
    return 1;
}

LRESULT setItem(HWND self, const LVITEM* in) {
    ListView* s = get(self);
    if (!s || !in || !valid(*s, in->item) || in->subItem < 0) return 0;
    int i = in->item;
    if (!ownerData(*s)) {
        Item& it = s->items[size_t(i)];
        if (in->subItem == 0) {
            LVITEM copy = *in;
            copy.mask &= ~LVIF_STATE;
            applyItem(*s, it, copy);
        } else {
            if (in->subItem > 1024) return 0; // far beyond any column
            if (it.subs.size() < size_t(in->subItem)) it.subs.resize(size_t(in->subItem));
            SubItem& sub = it.subs[size_t(in->subItem) - 1];
            if (in->mask & LVIF_TEXT) {
                sub.callback = in->text == LPSTR_TEXTCALLBACK;
                sub.text = sub.callback || !in->text ? std::string() : std::string(in->text);
            }
            if (in->mask & LVIF_IMAGE) sub.image = in->image;
        }
        invalidateItem(*s, i);
    }
    if ((in->mask & LVIF_STATE) && in->subItem == 0)
        return changeState(self, i, in->state, in->stateMask);
    return 1;
}

// A merge sort that stays inside the list whatever the comparison answers.
template <class Less> void mergeSort(std::vector<int>& v, Less less) {
    std::vector<int> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t a = lo, b = mid, k = lo;
            while (a < mid && b < hi)
                tmp[k++] = less(v[b], v[a]) ? v[b++] : v[a++];
            while (a < mid)
                tmp[k++] = v[a++];
            while (b < hi)
                tmp[k++] = v[b++];
        }
        v.swap(tmp);
    }
}

LRESULT sortItems(HWND self, WPARAM data, PFNLVCOMPARE compare, bool byIndex) {
    ListView* s = get(self);
    if (!s || !compare || ownerData(*s)) return 0;
    std::vector<int> order(s->items.size());
    std::vector<LPARAM> params(s->items.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = int(i);
        params[i] = s->items[i].lParam;
    }
    mergeSort(order, [&](int a, int b) {
        return byIndex ? compare(LPARAM(a), LPARAM(b), LPARAM(data)) < 0
                       : compare(params[size_t(a)], params[size_t(b)], LPARAM(data)) < 0;
    });
    s = get(self);
    if (!s || s->items.size() != order.size()) return 0; // changed under the comparison
    std::vector<Item> sorted;
    sorted.reserve(order.size());
    for (int i : order)
        sorted.push_back(std::move(s->items[size_t(i)]));
    s->items = std::move(sorted);
    s->focus = s->mark = -1;
    for (size_t i = 0; i < s->items.size(); ++i)
        if (s->items[i].state & LVIS_FOCUSED) s->focus = s->mark = int(i);
    invalidateAll(*s);
    return 1;
}

int nextItem(ListView& s, int start, LPARAM flags) {
    int count = countOf(s);
    UINT want = UINT(flags & (LVNI_FOCUSED | LVNI_SELECTED));
    auto matches = [&](int i) { return (stateOf(s, i) & want) == want; };
    if (flags & LVNI_ABOVE) {
        for (int i = std::min(start, count) - 1; i >= 0; --i)
            if (matches(i)) return i;
        return -1;
    }
    if (flags & (LVNI_TOLEFT | LVNI_TORIGHT)) return -1; // one column of rows
    if (want == LVNI_FOCUSED && !(flags & LVNI_BELOW))
        return valid(s, s.focus) && s.focus > start ? s.focus : -1;
    if (want == 0 && !(flags & LVNI_BELOW)) return start + 1 < count ? std::max(start + 1, 0) : -1;
    for (int i = std::max(start + 1, 0); i < count; ++i)
        if (matches(i)) return i;
    return -1;
}

LRESULT findItem(ListView& s, int start, const LVFINDINFO* info) {
    if (!info) return -1;
    int count = countOf(s);
    HWND self = s.hwnd;
    for (int k = 0; k < count; ++k) {
        int i = start + 1 + k;
        if (i >= count) {
            if (!(info->flags & LVFI_WRAP)) break;
            i -= count;
        }
        if (i < 0) continue;
        ListView* p = get(self);
        if (!p) return -1;
        if ((info->flags & LVFI_PARAM) && paramOf(*p, i) == info->lParam) return i;
        if ((info->flags & (LVFI_STRING | LVFI_PARTIAL)) && info->text) {
            std::string t = textOf(*p, i, 0);
            size_t n = strlen(info->text);
            if ((info->flags & LVFI_PARTIAL) ? strncasecmp(t.c_str(), info->text, n) == 0
                                             : strcasecmp(t.c_str(), info->text) == 0)
                return i;
        }
    }
    return -1;
}

// ---- Columns ----------------------------------------------------------------

LRESULT insertColumn(ListView& s, int at, const LVCOLUMN* in) {
    if (!in || !s.header) return -1;
    at = std::clamp(at, 0, columnCount(s));
    HDITEM hd;
    hd.mask = HDI_FORMAT | HDI_WIDTH | HDI_TEXT;
    hd.fmt = (in->mask & LVCF_FMT) ? (in->fmt & LVCFMT_JUSTIFYMASK) : LVCFMT_LEFT;
    hd.cxy = (in->mask & LVCF_WIDTH) ? std::max(0, in->cx) : 50;
    hd.text =
        (in->mask & LVCF_TEXT) && in->text && in->text != LPSTR_TEXTCALLBACK ? in->text : nullptr;
    if (in->mask & LVCF_IMAGE) {
        hd.mask |= HDI_IMAGE;
        hd.image = in->image;
        hd.fmt |= HDF_IMAGE;
    }
    LRESULT r = SendMessage(s.header, HDM_INSERTITEM, WPARAM(at), reinterpret_cast<LPARAM>(&hd));
    if (r < 0) return -1;
    Column col;
    col.subItem = (in->mask & LVCF_SUBITEM) ? std::max(0, in->subItem) : at;
    col.image = (in->mask & LVCF_IMAGE) ? in->image : -1;
    s.columns.insert(s.columns.begin() + at, col);
    return at;
}

LRESULT getColumn(ListView& s, int col, LVCOLUMN* out) {
    if (!out || col < 0 || col >= columnCount(s)) return 0;
    HDITEM hd;
    hd.mask = HDI_FORMAT | HDI_WIDTH | HDI_ORDER | ((out->mask & LVCF_TEXT) ? HDI_TEXT : 0);
    hd.text = out->text;
    hd.textMax = out->textMax;
    SendMessage(s.header, HDM_GETITEM, WPARAM(col), reinterpret_cast<LPARAM>(&hd));
    if (out->mask & LVCF_FMT) out->fmt = hd.fmt & HDF_JUSTIFYMASK;
    if (out->mask & LVCF_WIDTH) out->cx = hd.cxy;
    if (out->mask & LVCF_SUBITEM) out->subItem = s.columns[size_t(col)].subItem;
    if (out->mask & LVCF_IMAGE) out->image = s.columns[size_t(col)].image;
    if (out->mask & LVCF_ORDER) out->order = hd.order;
    return 1;
}

LRESULT setColumn(ListView& s, int col, const LVCOLUMN* in) {
    if (!in || col < 0 || col >= columnCount(s)) return 0;
    HDITEM hd;
    if (in->mask & LVCF_FMT) {
        hd.mask |= HDI_FORMAT;
        hd.fmt = in->fmt & LVCFMT_JUSTIFYMASK;
    }
    if (in->mask & LVCF_WIDTH) {
        hd.mask |= HDI_WIDTH;
        hd.cxy = std::max(0, in->cx);
    }
    if ((in->mask & LVCF_TEXT) && in->text != LPSTR_TEXTCALLBACK) {
        hd.mask |= HDI_TEXT;
        hd.text = in->text;
    }
    if (in->mask & LVCF_IMAGE) {
        hd.mask |= HDI_IMAGE | HDI_FORMAT;
        hd.image = in->image;
        hd.fmt = (in->mask & LVCF_FMT ? in->fmt & LVCFMT_JUSTIFYMASK : columnFormat(s, col)) |
                 (in->image >= 0 ? HDF_IMAGE : 0);
        s.columns[size_t(col)].image = in->image;
    }
    if (in->mask & LVCF_ORDER) {
        hd.mask |= HDI_ORDER;
        hd.order = in->order;
    }
    if (in->mask & LVCF_SUBITEM) s.columns[size_t(col)].subItem = std::max(0, in->subItem);
    return SendMessage(s.header, HDM_SETITEM, WPARAM(col), reinterpret_cast<LPARAM>(&hd));
}

int autoWidth(ListView& s, int col, bool useHeader) {
    HWND self = s.hwnd;
    int w = 0;
    int sub = s.columns[size_t(col)].subItem;
    for (int i = 0; i < countOf(s); ++i) {
        ListView* p = get(self);
        if (!p) return 0;
        w = std::max(w, ctlutil::TextWidth(p->font, drawable(textOf(*p, i, sub))));
    }
    ListView* p = get(self);
    if (!p) return 0;
    if (col == 0) {
        ItemParts parts = countOf(*p) > 0 ? partsOf(*p, 0) : ItemParts{};
        w += parts.label.left - columnSpan(*p, 0).left + p->xoff;
    }
    w += 2 * kCellPad;
    if (useHeader) {
        char caption[1024] = {0};
        HDITEM hd;
        hd.mask = HDI_TEXT;
        hd.text = caption;
        hd.textMax = sizeof caption;
        SendMessage(p->header, HDM_GETITEM, WPARAM(col), reinterpret_cast<LPARAM>(&hd));
        w = std::max(w, ctlutil::TextWidth(p->font, caption) + 2 * kCellPad);
    }
    return w;
}

// ---- Input ------------------------------------------------------------------

bool keyDown(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

void onPress(HWND self, UINT msg, WPARAM keys, POINT pt) {
    if (GetFocus() != self) SetFocus(self);
    ListView* s = get(self);
    if (!s) return;
    UINT flags = 0;
    int sub = 0;
    int item = hitTest(*s, pt, &flags, &sub);
    bool shift = keys & MK_SHIFT, ctrl = keys & MK_CONTROL;
    bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
    if (item >= 0) {
        // A click on the check box flips it.
        if (left && (flags & LVHT_ONITEMSTATEICON) && (s->exStyle & LVS_EX_CHECKBOXES)) {
            UINT st = stateOf(*s, item) & LVIS_STATEIMAGEMASK;
            UINT next = st == INDEXTOSTATEIMAGEMASK(2) ? INDEXTOSTATEIMAGEMASK(1)
                                                       : INDEXTOSTATEIMAGEMASK(2);
            if (!changeState(self, item, next, LVIS_STATEIMAGEMASK)) return;
        }
        if (left)
            selectFromInput(self, item, shift, ctrl, false);
        else if (!(stateOf(*s, item) & LVIS_SELECTED))
            selectFromInput(self, item, false, false, false);
        else
            focusItem(self, item);
    } else if (!shift && !ctrl) {
        deselectAll(self);
    }
    s = get(self);
    if (!s) return;
    s->pressing = true;
    s->pressItem = item;
    s->pressSub = sub;
    if (left) SetCapture(self);
    if (msg == WM_LBUTTONDBLCLK) notifyActivate(*s, NM_DBLCLK, item, sub, pt, UINT(keys));
    if (msg == WM_RBUTTONDBLCLK) notifyActivate(*s, NM_RDBLCLK, item, sub, pt, UINT(keys));
}

void onKey(HWND self, int vk) {
    ListView* s = get(self);
    if (!s) return;
    NMLVKEYDOWN kd;
    kd.vkey = WORD(vk);
    ctlutil::Notify(self, LVN_KEYDOWN, &kd.hdr);
    s = get(self);
    if (!s) return;
    int count = countOf(*s);
    bool shift = keyDown(VK_SHIFT), ctrl = keyDown(VK_CONTROL);
    int cur = valid(*s, s->focus) ? s->focus : -1;
    int page = std::max(1, perPage(*s) - 1);
    int next = -2;
    switch (vk) {
    case VK_UP:
        next = cur < 0 ? 0 : cur - 1;
        break;
    case VK_DOWN:
        next = cur < 0 ? 0 : cur + 1;
        break;
    case VK_PRIOR:
        next = cur < 0 ? 0 : (cur == s->top ? cur - page : s->top);
        break;
    case VK_NEXT: {
        int bottom = s->top + std::max(1, perPage(*s)) - 1;
        next = cur < 0 ? 0 : (cur == bottom ? cur + page : bottom);
        break;
    }
    case VK_HOME:
        next = 0;
        break;
    case VK_END:
        next = count - 1;
        break;
    case VK_SPACE:
        if (cur >= 0) {
            if (ctrl && !singleSel(*s))
                changeState(self, cur, stateOf(*s, cur) & LVIS_SELECTED ? 0 : LVIS_SELECTED,
                            LVIS_SELECTED);
            else
                selectFromInput(self, cur, false, false, true);
        }
        return;
    case VK_RETURN: {
        NMHDR nm;
        ctlutil::Notify(self, NM_RETURN, &nm);
        return;
    }
    case VK_LEFT:
    case VK_RIGHT:
        if (report(*s))
            scrollTo(*s, s->top, s->xoff + (vk == VK_LEFT ? -kHScrollLine : kHScrollLine));
        return;
    default:
        return;
    }
    if (count == 0) return;
    next = std::clamp(next, 0, count - 1);
    selectFromInput(self, next, shift, ctrl, true);
}

void onScroll(ListView& s, bool vertical, WORD code, int thumb) {
    if (vertical) {
        int page = std::max(1, perPage(s));
        int top = s.top;
        switch (code) {
        case SB_LINEUP:
            --top;
            break;
        case SB_LINEDOWN:
            ++top;
            break;
        case SB_PAGEUP:
            top -= page;
            break;
        case SB_PAGEDOWN:
            top += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si;
            si.fMask = SIF_TRACKPOS | SIF_POS;
            GetScrollInfo(s.hwnd, SB_VERT, &si);
            top = code == SB_THUMBTRACK ? si.nTrackPos : thumb;
            break;
        }
        case SB_TOP:
            top = 0;
            break;
        case SB_BOTTOM:
            top = countOf(s);
            break;
        default:
            return;
        }
        scrollTo(s, top, s.xoff);
        return;
    }
    int x = s.xoff;
    int page = std::max(1, int(clientOf(s).right));
    switch (code) {
    case SB_LINELEFT:
        x -= kHScrollLine;
        break;
    case SB_LINERIGHT:
        x += kHScrollLine;
        break;
    case SB_PAGELEFT:
        x -= page;
        break;
    case SB_PAGERIGHT:
        x += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(s.hwnd, SB_HORZ, &si);
        x = code == SB_THUMBTRACK ? si.nTrackPos : thumb;
        break;
    }
    case SB_LEFT:
        x = 0;
        break;
    case SB_RIGHT:
        x = totalWidth(s);
        break;
    default:
        return;
    }
    scrollTo(s, s.top, x);
}

void createHeader(ListView& s) {
    RegisterHeaderClass();
    DWORD hs = WS_CHILD | HDS_FULLDRAG;
    if (!(styleOf(s) & LVS_NOSORTHEADER)) hs |= HDS_BUTTONS;
    s.header = CreateWindowEx(0, WC_HEADER, "", hs, 0, 0, 0, 0, s.hwnd, 0, nullptr, nullptr);
    if (!s.header) return;
    // Lets a subclass hook the header as it appears.
    SendMessage(s.hwnd, WM_PARENTNOTIFY, WPARAM(WM_CREATE), LPARAM(s.header));
}

void printNonClient(ListView& s, HDC dc) {
    DrawDefaultNonClient(s.hwnd, dc);
}

} // namespace

LRESULT ListViewWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ctlutil::CreateState<ListView>(hwnd, msg, kProp))
        return DefWindowProc(hwnd, msg, wParam, lParam);
    ListView* s = get(hwnd);
    if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE:
        createHeader(*s);
        if ((s = get(hwnd))) {
            layoutHeader(*s);
            updateScrollBars(*s);
        }
        return 0;
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        delete s;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
        return 1; // the paint fills the background
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc && s->redraw) paintClient(*s, dc, wParam ? clientOf(*s) : ps.rcPaint);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (wParam) paintClient(*s, reinterpret_cast<HDC>(wParam), clientOf(*s));
        return 0;
    case WM_PRINT: {
        auto dc = reinterpret_cast<HDC>(wParam);
        if (!dc) return 0;
        if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
        RECT in = winimpl::ClientInsets(hwnd);
        if (lParam & PRF_NONCLIENT) printNonClient(*s, dc);
        int saved = SaveDC(dc);
        OffsetViewportOrgEx(dc, in.left, in.top, nullptr);
        if (lParam & PRF_CLIENT) paintClient(*s, dc, clientOf(*s));
        if ((s = get(hwnd)) && (lParam & PRF_CHILDREN) && s->header && IsWindowVisible(s->header)) {
            RECT hr{}, me{};
            GetWindowRect(s->header, &hr);
            GetWindowRect(hwnd, &me);
            int save2 = SaveDC(dc);
            OffsetViewportOrgEx(dc, hr.left - me.left - in.left, hr.top - me.top - in.top, nullptr);
            IntersectClipRect(dc, 0, 0, hr.right - hr.left, hr.bottom - hr.top);
            SendMessage(s->header, WM_PRINT, wParam, lParam & ~PRF_NONCLIENT);
            RestoreDC(dc, save2);
        }
        RestoreDC(dc, saved);
        return 0;
    }
    case WM_SETREDRAW:
        s->redraw = wParam != 0;
        if (s->header) SendMessage(s->header, WM_SETREDRAW, wParam, 0);
        if ((s = get(hwnd)) && s->redraw) {
            if (s->scrollPending) {
                s->scrollPending = false;
                updateScrollBars(*s);
            }
            if ((s = get(hwnd))) InvalidateRect(hwnd, nullptr, 1);
        }
        return 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        s->rowH = 0;
        if (s->header) SendMessage(s->header, WM_SETFONT, wParam, lParam);
        if ((s = get(hwnd))) {
            layoutHeader(*s);
            updateScrollBars(*s);
            if ((s = get(hwnd)) && lParam) invalidateAll(*s);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s->font);
    case WM_SIZE:
        layoutHeader(*s);
        updateScrollBars(*s);
        if ((s = get(hwnd))) invalidateAll(*s);
        return 0;
    case WM_SETFOCUS: {
        s->hasFocus = true;
        invalidateAll(*s);
        NMHDR nm;
        ctlutil::Notify(hwnd, NM_SETFOCUS, &nm);
        return 0;
    }
    case WM_KILLFOCUS: {
        s->hasFocus = false;
        invalidateAll(*s);
        NMHDR nm;
        ctlutil::Notify(hwnd, NM_KILLFOCUS, &nm);
        return 0;
    }
    case WM_ENABLE:
        invalidateAll(*s);
        return 0;
    case WM_GETDLGCODE:
        return 0x1 | 0x80; // arrow keys and characters
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        onPress(hwnd, msg, wParam, POINT{ctlutil::X(lParam), ctlutil::Y(lParam)});
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        bool was = s->pressing;
        int item = s->pressItem, sub = s->pressSub;
        s->pressing = false;
        if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
        if (!was || !(s = get(hwnd))) return 0;
        POINT pt{ctlutil::X(lParam), ctlutil::Y(lParam)};
        LRESULT handled = notifyActivate(*s, msg == WM_LBUTTONUP ? NM_CLICK : NM_RCLICK, item, sub,
                                         pt, UINT(wParam));
        if (msg == WM_RBUTTONUP && !handled && IsWindow(hwnd)) {
            POINT screen = pt;
            ClientToScreen(hwnd, &screen);
            SendMessage(hwnd, WM_CONTEXTMENU, WPARAM(hwnd), MAKELPARAM(screen.x, screen.y));
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        return 0;
    case WM_MOUSEWHEEL: {
        int delta = int16_t(HIWORD(wParam));
        int lines = -delta * kWheelLines / 120;
        if (lines == 0 && delta != 0) lines = delta > 0 ? -1 : 1;
        scrollTo(*s, s->top + lines, s->xoff);
        return 0;
    }
    case WM_KEYDOWN:
        onKey(hwnd, int(wParam));
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (lParam == 0) onScroll(*s, msg == WM_VSCROLL, LOWORD(wParam), int16_t(HIWORD(wParam)));
        return 0;
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (!nm || nm->hwndFrom != s->header) return 0;
        UINT code = nm->code;
        HWND parent = GetParent(hwnd);
        LRESULT answer = parent ? SendMessage(parent, WM_NOTIFY, wParam, lParam) : 0;
        if (!(s = get(hwnd))) return answer;
        if (code == HDN_ITEMCHANGED) {
            updateScrollBars(*s);
            if ((s = get(hwnd))) invalidateAll(*s);
        } else if (code == HDN_ITEMCLICK) {
            auto* hn = reinterpret_cast<NMHEADER*>(lParam);
            notifyList(*s, LVN_COLUMNCLICK, -1, 0, 0, 0, hn->item);
        } else if (code == HDN_DIVIDERDBLCLICK) {
            auto* hn = reinterpret_cast<NMHEADER*>(lParam);
            if (hn->item >= 0 && hn->item < columnCount(*s))
                SendMessage(hwnd, LVM_SETCOLUMNWIDTH, WPARAM(hn->item), LVSCW_AUTOSIZE_USEHEADER);
        }
        return answer;
    }

    case LVM_GETBKCOLOR:
        return LRESULT(s->bk);
    case LVM_SETBKCOLOR:
        s->bk = COLORREF(lParam);
        invalidateAll(*s);
        return 1;
    case LVM_GETTEXTCOLOR:
        return LRESULT(s->text);
    case LVM_SETTEXTCOLOR:
        s->text = COLORREF(lParam);
        invalidateAll(*s);
        return 1;
    case LVM_GETTEXTBKCOLOR:
        return LRESULT(s->textBk);
    case LVM_SETTEXTBKCOLOR:
        s->textBk = COLORREF(lParam);
        invalidateAll(*s);
        return 1;
    case LVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == LVSIL_NORMAL  ? s->normal
                                         : wParam == LVSIL_SMALL ? s->small
                                         : wParam == LVSIL_STATE ? s->stateImages
                                                                 : nullptr);
    case LVM_SETIMAGELIST: {
        HIMAGELIST* slot = wParam == LVSIL_NORMAL  ? &s->normal
                           : wParam == LVSIL_SMALL ? &s->small
                           : wParam == LVSIL_STATE ? &s->stateImages
                                                   : nullptr;
        if (!slot) return 0;
        HIMAGELIST old = *slot;
        *slot = reinterpret_cast<HIMAGELIST>(lParam);
        s->rowH = 0;
        if (wParam == LVSIL_SMALL && s->header) SendMessage(s->header, HDM_SETIMAGELIST, 0, lParam);
        if ((s = get(hwnd))) {
            updateScrollBars(*s);
            if ((s = get(hwnd))) invalidateAll(*s);
        }
        return reinterpret_cast<LRESULT>(old);
    }
    case LVM_GETITEMCOUNT:
        return countOf(*s);
    case LVM_SETITEMCOUNT:
        if (ownerData(*s)) {
            int n = int(std::clamp<WPARAM>(wParam, 0, WPARAM(kMaxOwnerCount)));
            s->ownerCount = n;
            for (auto it = s->ownerStates.begin(); it != s->ownerStates.end();)
                it = it->first >= n ? s->ownerStates.erase(it) : std::next(it);
            if (s->focus >= n) s->focus = -1;
            if (s->mark >= n) s->mark = -1;
            updateScrollBars(*s);
            if ((s = get(hwnd))) invalidateAll(*s);
        }
        return 1;
    case LVM_GETITEM:
        return getItem(*s, reinterpret_cast<LVITEM*>(lParam));
    case LVM_SETITEM:
        return setItem(hwnd, reinterpret_cast<const LVITEM*>(lParam));
    case LVM_INSERTITEM:
        return insertItem(hwnd, reinterpret_cast<const LVITEM*>(lParam));
    case LVM_DELETEITEM:
        return deleteItem(hwnd, int(wParam));
    case LVM_DELETEALLITEMS:
        return deleteAll(hwnd);
    case LVM_GETNEXTITEM:
        return nextItem(*s, int(wParam), lParam);
    case LVM_FINDITEM:
        return findItem(*s, int(wParam), reinterpret_cast<const LVFINDINFO*>(lParam));
    case LVM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r || !valid(*s, int(wParam))) return 0;
        int part = r->left;
        *r = subItemRect(*s, int(wParam), 0, part);
        if (part == LVIR_BOUNDS) *r = itemBounds(*s, int(wParam));
        return 1;
    }
    case LVM_GETSUBITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r || !valid(*s, int(wParam))) return 0;
        int col = r->top, part = r->left;
        if (col < 0 || (report(*s) && col >= std::max(1, columnCount(*s)))) return 0;
        *r = subItemRect(*s, int(wParam), col, part);
        return 1;
    }
    case LVM_GETSTRINGWIDTH:
        return lParam ? ctlutil::TextWidth(s->font, drawable(reinterpret_cast<const char*>(lParam)))
                      : 0;
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
        auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
        if (!info) return -1;
        info->item = hitTest(*s, info->pt, &info->flags, &info->subItem);
        if (msg == LVM_HITTEST) info->subItem = 0;
        return info->item;
    }
    case LVM_ENSUREVISIBLE:
        if (!valid(*s, int(wParam))) return 0;
        ensureVisible(*s, int(wParam), lParam != 0);
        return 1;
    case LVM_SCROLL: {
        int dy = int(lParam), rh = rowHeight(*s);
        int rows = dy / rh;
        if (rows == 0 && dy != 0) rows = dy > 0 ? 1 : -1;
        scrollTo(*s, s->top + rows, s->xoff + int(intptr_t(wParam)));
        return 1;
    }
    case LVM_REDRAWITEMS:
        for (int i = std::max(0, int(wParam)); i <= int(lParam) && valid(*s, i); ++i)
            invalidateItem(*s, i);
        return 1;
    case LVM_UPDATE:
        if (valid(*s, int(wParam))) invalidateItem(*s, int(wParam));
        return valid(*s, int(wParam)) ? 1 : 0;
    case LVM_GETCOLUMN:
        return getColumn(*s, int(wParam), reinterpret_cast<LVCOLUMN*>(lParam));
    case LVM_SETCOLUMN: {
        LRESULT r = setColumn(*s, int(wParam), reinterpret_cast<const LVCOLUMN*>(lParam));
        if ((s = get(hwnd))) invalidateAll(*s);
        return r;
    }
    case LVM_INSERTCOLUMN: {
        LRESULT r = insertColumn(*s, int(wParam), reinterpret_cast<const LVCOLUMN*>(lParam));
        if ((s = get(hwnd))) {
            updateScrollBars(*s);
            if ((s = get(hwnd))) invalidateAll(*s);
        }
        return r;
    }
    case LVM_DELETECOLUMN: {
        int col = int(wParam);
        if (col < 0 || col >= columnCount(*s)) return 0;
        SendMessage(s->header, HDM_DELETEITEM, wParam, 0);
        if (!(s = get(hwnd))) return 0;
        s->columns.erase(s->columns.begin() + col);
        updateScrollBars(*s);
        if ((s = get(hwnd))) invalidateAll(*s);
        return 1;
    }
    case LVM_GETCOLUMNWIDTH: {
        int col = int(wParam);
        if (!report(*s)) return clientOf(*s).right;
        if (col < 0 || col >= columnCount(*s)) return 0;
        RECT span = columnSpan(*s, col);
        return span.right - span.left;
    }
    case LVM_SETCOLUMNWIDTH: {
        int col = int(wParam);
        if (col < 0 || col >= columnCount(*s)) return 0;
        int w = int(lParam);
        if (w == LVSCW_AUTOSIZE || w == LVSCW_AUTOSIZE_USEHEADER)
            w = autoWidth(*s, col, w == LVSCW_AUTOSIZE_USEHEADER);
        if (!(s = get(hwnd))) return 0;
        HDITEM hd;
        hd.mask = HDI_WIDTH;
        hd.cxy = std::max(0, w);
        return SendMessage(s->header, HDM_SETITEM, wParam, reinterpret_cast<LPARAM>(&hd));
    }
    case LVM_GETCOLUMNORDERARRAY:
        return s->header ? SendMessage(s->header, HDM_GETORDERARRAY, wParam, lParam) : 0;
    case LVM_SETCOLUMNORDERARRAY: {
        LRESULT r = s->header ? SendMessage(s->header, HDM_SETORDERARRAY, wParam, lParam) : 0;
        if ((s = get(hwnd))) invalidateAll(*s);
        return r;
    }
    case LVM_GETHEADER:
        return LRESULT(s->header);
    case LVM_GETVIEWRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        *r = RECT{-s->xoff, headerHeight(*s) - s->top * rowHeight(*s), totalWidth(*s) - s->xoff,
                  headerHeight(*s) + (countOf(*s) - s->top) * rowHeight(*s)};
        return 1;
    }
    case LVM_GETORIGIN: {
        auto* p = reinterpret_cast<POINT*>(lParam);
        if (!p) return 0;
        *p = POINT{s->xoff, s->top * rowHeight(*s)};
        return 1;
    }
    case LVM_GETTOPINDEX:
        return s->top;
    case LVM_GETCOUNTPERPAGE:
        return perPage(*s);
    case LVM_SETITEMSTATE: {
        auto* in = reinterpret_cast<const LVITEM*>(lParam);
        if (!in) return 0;
        int i = int(intptr_t(wParam));
        if (i == -1) {
            for (int k = 0; (s = get(hwnd)) && k < countOf(*s); ++k)
                changeState(hwnd, k, in->state, in->stateMask);
            return 1;
        }
        if (!valid(*s, i)) return 0;
        return changeState(hwnd, i, in->state, in->stateMask) ? 1 : 0;
    }
    case LVM_GETITEMSTATE:
        return LRESULT(stateOf(*s, int(wParam)) & UINT(lParam));
    case LVM_GETITEMTEXT: {
        auto* out = reinterpret_cast<LVITEM*>(lParam);
        if (!out || !valid(*s, int(wParam)) || out->subItem < 0) return 0;
        std::string t = textOf(*s, int(wParam), out->subItem);
        return ctlutil::CopyText(t, out->text, out->textMax);
    }
    case LVM_SETITEMTEXT: {
        auto* in = reinterpret_cast<const LVITEM*>(lParam);
        if (!in) return 0;
        LVITEM copy = *in;
        copy.mask = LVIF_TEXT;
        copy.item = int(wParam);
        return setItem(hwnd, &copy);
    }
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX:
        return sortItems(hwnd, wParam, reinterpret_cast<PFNLVCOMPARE>(lParam),
                         msg == LVM_SORTITEMSEX);
    case LVM_GETSELECTEDCOUNT:
        return LRESULT(selectedItems(*s).size());
    case LVM_GETSELECTIONMARK:
        return s->mark;
    case LVM_SETSELECTIONMARK: {
        int old = s->mark;
        s->mark = valid(*s, int(lParam)) ? int(lParam) : -1;
        return old;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        DWORD old = s->exStyle;
        DWORD mask = wParam ? DWORD(wParam) : 0xFFFFFFFF;
        s->exStyle = (old & ~mask) | (DWORD(lParam) & mask);
        s->rowH = 0;
        updateScrollBars(*s);
        if ((s = get(hwnd))) invalidateAll(*s);
        return LRESULT(old);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return LRESULT(s->exStyle);
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterListViewClass() {
    RegisterHeaderClass();
    ctlutil::RegisterControlClass(WC_LISTVIEW, ListViewWndProc);
}
