#include "platform/win/controls/listbox.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/controls/text.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

using namespace winctl;

namespace {

constexpr const char* kProp = "ListBoxState";

struct Item {
    std::string text;
    UINT_PTR data = 0;
    bool selected = false;
    int height = 0;
};

int lowerCompare(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca += 32;
        if (cb >= 'A' && cb <= 'Z') cb += 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

struct ListBox {
    HWND hwnd = 0;
    std::vector<Item> items;
    int cur = -1;   // single selection
    int caret = 0;  // focus item
    int anchor = 0; // start of extended ranges
    int top = 0;
    int itemHeight = 0;
    int hExtent = 0;
    int hScroll = 0;
    bool focused = false;
    bool tracking = false;
    bool hasVBar = false, hasHBar = false;

    DWORD style() const { return StyleOf(hwnd); }
    bool multi() const { return style() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL); }
    bool extended() const { return style() & LBS_EXTENDEDSEL; }
    bool ownerDraw() const { return style() & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE); }
    bool variable() const { return style() & LBS_OWNERDRAWVARIABLE; }
    bool hasStrings() const { return !ownerDraw() || (style() & LBS_HASSTRINGS); }
    int count() const { return int(items.size()); }
    bool valid(long long i) const { return i >= 0 && i < (long long)items.size(); }

    int heightOf(int i) const {
        if (variable() && valid(i) && items[size_t(i)].height > 0) return items[size_t(i)].height;
        return std::max(1, itemHeight);
    }

    int clientHeight() const {
        RECT c{};
        GetClientRect(hwnd, &c);
        return c.bottom;
    }

    // Items that fit wholly from `from` down.
    int pageFrom(int from) const {
        int h = clientHeight(), n = 0, y = 0;
        for (int i = std::max(0, from); i < count(); ++i) {
            y += heightOf(i);
            if (y > h) break;
            ++n;
        }
        if (!variable() && from + n >= count()) n = std::max(n, h / std::max(1, itemHeight));
        return std::max(1, n);
    }

    // The top index that shows the last item at the bottom.
    int maxTop() const {
        if (!variable())
            return std::max(0, count() - std::max(1, clientHeight() / std::max(1, itemHeight)));
        int h = clientHeight(), y = 0, i = count() - 1;
        for (; i >= 0; --i) {
            y += heightOf(i);
            if (y > h) break;
        }
        return std::clamp(i + 1, 0, std::max(0, count() - 1));
    }

    RECT itemRect(int i) const {
        RECT c{};
        GetClientRect(hwnd, &c);
        int y = 0;
        if (i >= top)
            for (int k = top; k < i; ++k)
                y += heightOf(k);
        else
            for (int k = i; k < top; ++k)
                y -= heightOf(k);
        return RECT{0, y, c.right, y + heightOf(i)};
    }

    int itemAt(int y, bool* outside) const {
        if (outside) *outside = false;
        if (count() == 0) {
            if (outside) *outside = true;
            return -1;
        }
        int at = 0;
        if (y < 0) {
            if (outside) *outside = true;
            return std::max(0, top - 1);
        }
        for (int i = top; i < count(); ++i) {
            at += heightOf(i);
            if (y < at) return i;
        }
        if (outside) *outside = true;
        return count() - 1;
    }

    void invalidate() {
        if (!(style() & LBS_NOREDRAW)) InvalidateRect(hwnd, nullptr, 1);
    }

    void updateScroll() {
        if (hasVBar) {
            SCROLLINFO si;
            si.fMask = SIF_ALL | ((style() & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0);
            si.nMin = 0;
            si.nMax = std::max(0, count() - 1);
            si.nPage = UINT(pageFrom(top));
            si.nPos = top;
            SetScrollInfo(hwnd, SB_VERT, &si, 1);
        }
        if (hasHBar) {
            RECT c{};
            GetClientRect(hwnd, &c);
            SCROLLINFO si;
            si.fMask = SIF_ALL | ((style() & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0);
            si.nMax = std::max(0, hExtent - 1);
            si.nPage = UINT(std::max(1, int(c.right)));
            si.nPos = hScroll;
            SetScrollInfo(hwnd, SB_HORZ, &si, 1);
        }
    }

    void setTop(int t) {
        t = std::clamp(t, 0, maxTop());
        if (t == top) return;
        top = t;
        updateScroll();
        invalidate();
    }

    void ensureVisible(int i) {
        if (!valid(i)) return;
        if (i < top) {
            setTop(i);
            return;
        }
        while (i >= top + pageFrom(top) && top < maxTop())
            ++top;
        updateScroll();
        invalidate();
    }

    void measure(int i) {
        if (!variable() && !(ownerDraw() && itemHeight <= 0)) return;
        MEASUREITEMSTRUCT mi;
        mi.CtlType = ODT_LISTBOX;
        mi.CtlID = ControlId(hwnd);
        mi.itemID = UINT(i);
        mi.itemHeight = UINT(std::max(1, itemHeight));
        mi.itemData = valid(i) ? items[size_t(i)].data : 0;
        mi.hwndItem = hwnd;
        if (HWND parent = GetParent(hwnd))
            SendMessage(parent, WM_MEASUREITEM, mi.CtlID, LPARAM(&mi));
        if (variable() && valid(i))
            items[size_t(i)].height = int(std::max<UINT>(1, mi.itemHeight));
        else
            itemHeight = int(std::max<UINT>(1, mi.itemHeight));
    }

    int insert(long long at, LPARAM lParam) {
        Item it;
        if (hasStrings())
            it.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        else
            it.data = UINT_PTR(lParam);
        int index;
        if ((style() & LBS_SORT) && hasStrings() && at == -2) {
            auto pos =
                std::upper_bound(items.begin(), items.end(), it, [](const Item& a, const Item& b) {
                    return lowerCompare(a.text, b.text) < 0;
                });
            index = int(pos - items.begin());
        } else {
            index = at < 0 ? count() : int(at);
        }
        items.insert(items.begin() + index, std::move(it));
        if (cur >= index) ++cur;
        if (caret >= index && count() > 1) ++caret;
        if (anchor >= index && count() > 1) ++anchor;
        measure(index);
        updateScroll();
        invalidate();
        return index;
    }

    void remove(int i) {
        items.erase(items.begin() + i);
        if (cur == i)
            cur = -1;
        else if (cur > i)
            --cur;
        if (caret > i || caret >= count()) caret = std::max(0, caret - 1);
        if (anchor > i || anchor >= count()) anchor = std::max(0, anchor - 1);
        top = std::clamp(top, 0, maxTop());
        updateScroll();
        invalidate();
    }

    bool isSelected(int i) const {
        if (!valid(i)) return false;
        return multi() ? items[size_t(i)].selected : i == cur;
    }

    void notify(UINT code) {
        if (style() & LBS_NOTIFY) NotifyParent(hwnd, code);
    }

    // Selects i alone (single and extended), or toggles it (multiple).
    bool selectByUser(int i, bool shift, bool ctrl) {
        if (!valid(i) || (style() & LBS_NOSEL)) return false;
        bool changed = false;
        if (!multi()) {
            changed = cur != i;
            cur = i;
        } else if (!extended()) {
            items[size_t(i)].selected = !items[size_t(i)].selected;
            changed = true;
        } else {
            if (shift) {
                int a = std::min(anchor, i), b = std::max(anchor, i);
                for (int k = 0; k < count(); ++k) {
                    bool want = (k >= a && k <= b) || (ctrl && items[size_t(k)].selected);
                    changed |= items[size_t(k)].selected != want;
                    items[size_t(k)].selected = want;
                }
            } else if (ctrl) {
                items[size_t(i)].selected = !items[size_t(i)].selected;
                anchor = i;
                changed = true;
            } else {
                for (int k = 0; k < count(); ++k) {
                    bool want = k == i;
                    changed |= items[size_t(k)].selected != want;
                    items[size_t(k)].selected = want;
                }
                anchor = i;
            }
        }
        caret = i;
        if (!multi()) anchor = i;
        ensureVisible(i);
        invalidate();
        return changed;
    }

    void keyDown(int vk) {
        if (count() == 0) return;
        bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
        int from = multi() ? caret : (cur < 0 ? 0 : cur);
        int to = from;
        switch (vk) {
        case VK_UP:
            to = from - 1;
            break;
        case VK_DOWN:
            to = cur < 0 && !multi() ? 0 : from + 1;
            break;
        case VK_PRIOR:
            to = from - std::max(1, pageFrom(top) - 1);
            break;
        case VK_NEXT:
            to = from + std::max(1, pageFrom(top) - 1);
            break;
        case VK_HOME:
            to = 0;
            break;
        case VK_END:
            to = count() - 1;
            break;
        case VK_SPACE:
            if (multi() && !extended()) {
                if (selectByUser(caret, false, false)) notify(LBN_SELCHANGE);
            }
            return;
        default:
            return;
        }
        to = std::clamp(to, 0, count() - 1);
        if (multi() && !extended()) {
            caret = to;
            ensureVisible(to);
            invalidate();
            return;
        }
        if (selectByUser(to, shift && extended(), ctrl && false)) notify(LBN_SELCHANGE);
    }

    void character(char32_t c) {
        if (!hasStrings() || count() == 0 || c < 32) return;
        std::string key = EncodeText(std::u32string(1, c));
        int start = multi() ? caret : cur;
        for (int n = 1; n <= count(); ++n) {
            int i = (start + n + count()) % count();
            if (lowerCompare(items[size_t(i)].text.substr(0, key.size()), key) == 0) {
                if (selectByUser(i, false, false) || multi()) notify(LBN_SELCHANGE);
                return;
            }
        }
    }

    void drawItem(HDC dc, int i, const RECT& r, HBRUSH bg, COLORREF fg) {
        bool sel = isSelected(i);
        bool focus = focused && i == caret;
        if (ownerDraw()) {
            DRAWITEMSTRUCT di;
            di.CtlType = ODT_LISTBOX;
            di.CtlID = ControlId(hwnd);
            di.itemID = UINT(i);
            di.itemAction = ODA_DRAWENTIRE;
            di.itemState = (sel ? ODS_SELECTED : 0) | (focus ? ODS_FOCUS : 0) |
                           (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
            di.hwndItem = hwnd;
            di.hDC = dc;
            di.rcItem = r;
            di.itemData = items[size_t(i)].data;
            int saved = SaveDC(dc);
            if (HWND parent = GetParent(hwnd))
                SendMessage(parent, WM_DRAWITEM, di.CtlID, LPARAM(&di));
            RestoreDC(dc, saved);
            return;
        }
        RECT box = r;
        if (sel) {
            FillRect(dc, &box, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            if (bg) FillRect(dc, &box, bg);
            SetTextColor(dc, fg);
        }
        RECT t{r.left + 2 - hScroll, r.top, r.right, r.bottom};
        DrawText(dc, DisplayText(DecodeText(items[size_t(i)].text)), &t,
                 DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        if (focus) DrawFocusRect(dc, &box);
    }

    void paint(HDC dc) {
        RECT c{};
        GetClientRect(hwnd, &c);
        int saved = SaveDC(dc);
        HBRUSH bg = ParentColors(hwnd, WM_CTLCOLORLISTBOX, dc);
        if (bg == reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) bg = nullptr;
        COLORREF fg = IsWindowEnabled(hwnd) ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        SelectObject(dc, FontOf(hwnd));
        SetBkMode(dc, TRANSPARENT);
        int y = 0;
        for (int i = top; i < count() && y < c.bottom; ++i) {
            RECT r{0, y, c.right, y + heightOf(i)};
            drawItem(dc, i, r, bg, fg);
            y = r.bottom;
        }
        if (y < c.bottom && bg) {
            RECT rest{0, y, c.right, c.bottom};
            FillRect(dc, &rest, bg);
        }
        // An empty list with the focus still shows where it is.
        if (focused && count() == 0) {
            RECT r{0, 0, c.right, std::max(1, itemHeight)};
            DrawFocusRect(dc, &r);
        }
        RestoreDC(dc, saved);
    }

    void scroll(UINT code, int thumb) {
        int t = top, page = std::max(1, pageFrom(top) - 1);
        switch (code) {
        case SB_LINEUP:
            --t;
            break;
        case SB_LINEDOWN:
            ++t;
            break;
        case SB_PAGEUP:
            t -= page;
            break;
        case SB_PAGEDOWN:
            t += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            t = thumb;
            break;
        case SB_TOP:
            t = 0;
            break;
        case SB_BOTTOM:
            t = count();
            break;
        default:
            return;
        }
        setTop(t);
    }
};

ListBox* stateOf(HWND hwnd) {
    return static_cast<ListBox*>(GetProp(hwnd, kProp));
}

int defaultItemHeight(HWND hwnd) {
    return LineHeight(hwnd) + 2;
}

} // namespace

std::string ListBoxItemText(HWND hwnd, int index) {
    ListBox* lb = IsWindow(hwnd) ? stateOf(hwnd) : nullptr;
    if (!lb || !lb->valid(index)) return "";
    return lb->items[size_t(index)].text;
}

LRESULT ListBoxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ListBox* lb = stateOf(hwnd);
    if (msg == WM_NCCREATE) {
        lb = new ListBox;
        lb->hwnd = hwnd;
        SetProp(hwnd, kProp, lb);
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        lb->hasVBar = cs && (cs->style & WS_VSCROLL);
        lb->hasHBar = cs && (cs->style & WS_HSCROLL);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    if (!lb) return DefWindowProc(hwnd, msg, wParam, lParam);
    auto index = [](WPARAM w) { return (long long)(int32_t)(uint32_t)w; };
    switch (msg) {
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        ForgetFont(hwnd);
        delete lb;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_CREATE:
        lb->itemHeight = defaultItemHeight(hwnd);
        if (lb->ownerDraw() && !lb->variable()) lb->measure(-1);
        lb->updateScroll();
        return 0;
    case WM_SETFONT:
        SetFontOf(hwnd, reinterpret_cast<HFONT>(wParam));
        if (!lb->ownerDraw()) lb->itemHeight = defaultItemHeight(hwnd);
        lb->updateScroll();
        if (lParam) lb->invalidate();
        return 0;
    case WM_GETFONT:
        return LRESULT(FontOf(hwnd));
    case WM_SIZE:
        lb->top = std::clamp(lb->top, 0, lb->maxTop());
        lb->updateScroll();
        lb->invalidate();
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintOrPrint(hwnd, msg, wParam, [lb](HDC dc) { lb->paint(dc); });
        return 0;
    case WM_ENABLE:
        lb->invalidate();
        return 0;
    case WM_SETFOCUS:
        lb->focused = true;
        lb->invalidate();
        lb->notify(LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        lb->focused = false;
        lb->invalidate();
        lb->notify(LBN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        lb->keyDown(int(wParam));
        return 0;
    case WM_CHAR:
        lb->character(char32_t(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        bool outside = false;
        int i = lb->itemAt(HiY(lParam), &outside);
        if (!outside && lb->selectByUser(i, (wParam & MK_SHIFT) != 0, (wParam & MK_CONTROL) != 0))
            lb->notify(LBN_SELCHANGE);
        if (!IsWindow(hwnd)) return 0;
        if (msg == WM_LBUTTONDBLCLK && !outside) {
            lb->notify(LBN_DBLCLK);
            return 0;
        }
        lb->tracking = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (!lb->tracking || (lb->multi() && !lb->extended())) return 0;
        int y = HiY(lParam);
        int i;
        if (y < 0)
            i = lb->top - 1;
        else
            i = lb->itemAt(y, nullptr);
        if (lb->valid(i) && i != lb->caret && lb->selectByUser(i, lb->extended(), false))
            lb->notify(LBN_SELCHANGE);
        return 0;
    }
    case WM_LBUTTONUP:
        if (lb->tracking) {
            lb->tracking = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        lb->tracking = false;
        return 0;
    case WM_MOUSEWHEEL: {
        int notches = int16_t(HIWORD(wParam)) / 120;
        lb->setTop(lb->top - notches * 3);
        return 0;
    }
    case WM_VSCROLL:
        lb->scroll(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_HSCROLL: {
        RECT c{};
        GetClientRect(hwnd, &c);
        int x = lb->hScroll;
        switch (LOWORD(wParam)) {
        case SB_LINELEFT:
            x -= 8;
            break;
        case SB_LINERIGHT:
            x += 8;
            break;
        case SB_PAGELEFT:
            x -= c.right;
            break;
        case SB_PAGERIGHT:
            x += c.right;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            x = HIWORD(wParam);
            break;
        default:
            return 0;
        }
        lb->hScroll = std::clamp(x, 0, std::max(0, lb->hExtent - int(c.right)));
        lb->updateScroll();
        lb->invalidate();
        return 0;
    }
    case LB_ADDSTRING:
        return lb->insert(-2, lParam);
    case LB_INSERTSTRING: {
        long long at = index(wParam);
        if (at > lb->count()) return LB_ERR;
        return lb->insert(at < 0 ? -1 : at, lParam);
    }
    case LB_DELETESTRING:
        if (!lb->valid(index(wParam))) return LB_ERR;
        lb->remove(int(wParam));
        return lb->count();
    case LB_RESETCONTENT:
        lb->items.clear();
        lb->cur = -1;
        lb->caret = lb->anchor = lb->top = 0;
        lb->updateScroll();
        lb->invalidate();
        return 0;
    case LB_GETCOUNT:
        return lb->count();
    case LB_GETTEXT: {
        long long i = index(wParam);
        if (!lb->valid(i) || !lParam) return LB_ERR;
        if (!lb->hasStrings()) {
            std::memcpy(reinterpret_cast<void*>(lParam), &lb->items[size_t(i)].data,
                        sizeof(UINT_PTR));
            return sizeof(UINT_PTR);
        }
        const std::string& t = lb->items[size_t(i)].text;
        std::memcpy(reinterpret_cast<char*>(lParam), t.data(), t.size());
        reinterpret_cast<char*>(lParam)[t.size()] = '\0';
        return LRESULT(t.size());
    }
    case LB_GETTEXTLEN: {
        long long i = index(wParam);
        if (!lb->valid(i)) return LB_ERR;
        return lb->hasStrings() ? LRESULT(lb->items[size_t(i)].text.size())
                                : LRESULT(sizeof(UINT_PTR));
    }
    case LB_GETITEMDATA:
        return lb->valid(index(wParam)) ? LRESULT(lb->items[size_t(wParam)].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!lb->valid(index(wParam))) return LB_ERR;
        lb->items[size_t(wParam)].data = UINT_PTR(lParam);
        return LB_OKAY;
    case LB_SETCURSEL: {
        if (lb->multi()) return LB_ERR;
        long long i = index(wParam);
        if (!lb->valid(i)) {
            lb->cur = -1;
            lb->invalidate();
            return i == -1 ? 0 : LB_ERR;
        }
        lb->cur = lb->caret = lb->anchor = int(i);
        lb->ensureVisible(int(i));
        lb->invalidate();
        return i;
    }
    case LB_GETCURSEL:
        if (lb->multi()) return lb->count() ? lb->caret : LB_ERR;
        return lb->cur;
    case LB_SETSEL: {
        if (!lb->multi()) return LB_ERR;
        long long i = index(lParam);
        if (i == -1) {
            for (Item& it : lb->items)
                it.selected = wParam != 0;
        } else if (lb->valid(i)) {
            lb->items[size_t(i)].selected = wParam != 0;
        } else {
            return LB_ERR;
        }
        lb->invalidate();
        return LB_OKAY;
    }
    case LB_SELITEMRANGE: {
        if (!lb->multi()) return LB_ERR;
        int a = LOWORD(uintptr_t(lParam)), b = HIWORD(uintptr_t(lParam));
        if (a > b) std::swap(a, b);
        for (int k = a; k <= b && k < lb->count(); ++k)
            lb->items[size_t(k)].selected = wParam != 0;
        lb->invalidate();
        return LB_OKAY;
    }
    case LB_GETSEL: {
        long long i = index(wParam);
        if (!lb->valid(i)) return LB_ERR;
        return lb->isSelected(int(i)) ? 1 : 0;
    }
    case LB_GETSELCOUNT: {
        if (!lb->multi()) return LB_ERR;
        return LRESULT(std::count_if(lb->items.begin(), lb->items.end(),
                                     [](const Item& i) { return i.selected; }));
    }
    case LB_GETSELITEMS: {
        if (!lb->multi() || !lParam) return LB_ERR;
        int room = int(wParam), n = 0;
        auto* out = reinterpret_cast<int*>(lParam);
        for (int k = 0; k < lb->count() && n < room; ++k)
            if (lb->items[size_t(k)].selected) out[n++] = k;
        return n;
    }
    case LB_GETTOPINDEX:
        return lb->top;
    case LB_SETTOPINDEX: {
        long long i = index(wParam);
        if (!lb->valid(i) && !(i == 0 && lb->count() == 0)) return LB_ERR;
        lb->setTop(int(i));
        return LB_OKAY;
    }
    case LB_SETCARETINDEX: {
        long long i = index(wParam);
        if (!lb->valid(i)) return LB_ERR;
        lb->caret = int(i);
        lb->ensureVisible(int(i));
        lb->invalidate();
        return LB_OKAY;
    }
    case LB_GETCARETINDEX:
        return lb->count() ? lb->caret : (lb->multi() ? 0 : LB_ERR);
    case LB_SETANCHORINDEX:
        if (!lb->valid(index(wParam))) return LB_ERR;
        lb->anchor = int(wParam);
        return LB_OKAY;
    case LB_GETANCHORINDEX:
        return lb->anchor;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: {
        if (!lParam || lb->count() == 0) return LB_ERR;
        std::string key = reinterpret_cast<const char*>(lParam);
        long long start = index(wParam);
        if (start < -1 || start >= lb->count()) start = -1;
        for (int n = 1; n <= lb->count(); ++n) {
            int i = int((start + n) % lb->count());
            const std::string& t = lb->items[size_t(i)].text;
            bool hit = msg == LB_FINDSTRINGEXACT ? lowerCompare(t, key) == 0
                                                 : lowerCompare(t.substr(0, key.size()), key) == 0;
            if (!hit) continue;
            if (msg == LB_SELECTSTRING && !lb->multi()) {
                lb->cur = lb->caret = lb->anchor = i;
                lb->ensureVisible(i);
                lb->invalidate();
            }
            return i;
        }
        return LB_ERR;
    }
    case LB_GETITEMRECT: {
        long long i = index(wParam);
        if (!lParam || (!lb->valid(i) && !(i == 0 && lb->count() == 0))) return LB_ERR;
        *reinterpret_cast<RECT*>(lParam) = lb->itemRect(int(i));
        return LB_OKAY;
    }
    case LB_ITEMFROMPOINT: {
        bool outside = false;
        int i = lb->itemAt(HiY(lParam), &outside);
        RECT c{};
        GetClientRect(hwnd, &c);
        int x = LoX(lParam);
        if (x < 0 || x >= c.right) outside = true;
        return LRESULT(DWORD(std::max(i, 0) & 0xFFFF) | (DWORD(outside ? 1 : 0) << 16));
    }
    case LB_SETITEMHEIGHT: {
        int h = int(LOWORD(uintptr_t(lParam)));
        if (h <= 0 || h > 255) return LB_ERR;
        if (lb->variable()) {
            if (!lb->valid(index(wParam))) return LB_ERR;
            lb->items[size_t(wParam)].height = h;
        } else {
            lb->itemHeight = h;
        }
        lb->top = std::clamp(lb->top, 0, lb->maxTop());
        lb->updateScroll();
        lb->invalidate();
        return LB_OKAY;
    }
    case LB_GETITEMHEIGHT: {
        if (lb->variable() && lb->count()) {
            long long i = index(wParam);
            return lb->valid(i) ? lb->heightOf(int(i)) : LB_ERR;
        }
        return lb->itemHeight;
    }
    case LB_SETHORIZONTALEXTENT:
        lb->hExtent = std::max(0, int(wParam));
        lb->updateScroll();
        lb->invalidate();
        return 0;
    case LB_GETHORIZONTALEXTENT:
        return lb->hExtent;
    case LB_INITSTORAGE:
        if (wParam < 1000000) lb->items.reserve(lb->items.size() + wParam);
        return LRESULT(lb->items.capacity());
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}
