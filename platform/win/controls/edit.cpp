#include "platform/win/controls/edit.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/win/clipboard.h"
#include "platform/win/controls/text.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

using namespace winctl;

namespace {

constexpr const char* kProp = "EditState";
constexpr size_t kSingleLineLimit = 32767;
constexpr size_t kLargestLimit = 0x7FFFFFFE;

struct Line {
    size_t start = 0;
    size_t end = 0; // exclusive, line break not included
};

struct Edit {
    HWND hwnd = 0;
    std::u32string text;
    size_t anchor = 0;
    size_t caret = 0;
    size_t limit = kSingleLineLimit;
    char32_t password = 0;
    bool modified = false;
    bool canUndo = false;
    std::u32string undoText;
    size_t undoAnchor = 0, undoCaret = 0;
    bool typingRun = false;
    int marginLeft = 1, marginRight = 1;
    bool customRect = false;
    RECT rect{};
    int scrollX = 0;
    size_t firstLine = 0;
    bool focused = false;
    bool tracking = false;
    bool hasVBar = false, hasHBar = false;
    std::vector<Line> lines;
    bool layoutDirty = true;
    HFONT advFont = nullptr;
    std::unordered_map<char32_t, int> adv;
    HDC measureDC = nullptr;

    ~Edit() {
        if (measureDC) DeleteDC(measureDC);
    }

    DWORD style() const { return StyleOf(hwnd); }
    bool multi() const { return style() & ES_MULTILINE; }
    bool readOnly() const { return style() & ES_READONLY; }
    bool wraps() const { return multi() && !(style() & ES_AUTOHSCROLL); }
    size_t selStart() const { return std::min(anchor, caret); }
    size_t selEnd() const { return std::max(anchor, caret); }

    char32_t shown(char32_t c) const { return password ? password : c; }

    int advance(char32_t c) {
        HFONT f = FontOf(hwnd);
        if (f != advFont) {
            adv.clear();
            advFont = f;
            if (!measureDC) measureDC = CreateCompatibleDC(nullptr);
            SelectObject(measureDC, f);
        }
        c = shown(c);
        auto it = adv.find(c);
        if (it != adv.end()) return it->second;
        SIZE s{};
        GetTextExtentPoint32(measureDC, DisplayText(std::u32string(1, c)), &s);
        adv[c] = s.cx;
        return s.cx;
    }

    int width(size_t from, size_t to) {
        int w = 0;
        for (size_t i = from; i < to && i < text.size(); ++i)
            w += advance(text[i]);
        return w;
    }

    int lineHeight() { return LineHeight(hwnd); }

    RECT format() {
        if (customRect) return rect;
        RECT c{};
        GetClientRect(hwnd, &c);
        c.left += marginLeft;
        c.right = std::max(c.left, c.right - marginRight);
        return c;
    }

    int visibleLines() {
        RECT f = format();
        return std::max(1, int((f.bottom - f.top) / lineHeight()));
    }

    void layout() {
        if (!layoutDirty) return;
        layoutDirty = false;
        lines.clear();
        if (!multi()) {
            lines.push_back(Line{0, text.size()});
            return;
        }
        RECT f = format();
        int maxW = std::max(1, int(f.right - f.left));
        size_t start = 0;
        while (true) {
            size_t nl = text.find(U'\n', start);
            size_t end = nl == std::u32string::npos ? text.size() : nl;
            size_t visibleEnd = end > start && text[end - 1] == U'\r' ? end - 1 : end;
            if (!wraps()) {
                lines.push_back(Line{start, visibleEnd});
            } else {
                size_t ls = start;
                int w = 0;
                size_t lastSpace = std::u32string::npos;
                for (size_t i = start; i < visibleEnd; ++i) {
                    int a = advance(text[i]);
                    if (w + a > maxW && i > ls) {
                        size_t cut = lastSpace != std::u32string::npos ? lastSpace + 1 : i;
                        lines.push_back(Line{ls, cut});
                        ls = cut;
                        w = width(ls, i);
                        lastSpace = std::u32string::npos;
                    }
                    if (text[i] == U' ') lastSpace = i;
                    w += a;
                }
                lines.push_back(Line{ls, visibleEnd});
            }
            if (nl == std::u32string::npos) break;
            start = nl + 1;
        }
    }

    size_t lineOf(size_t pos) {
        layout();
        // The last line starting at or before pos.
        auto it = std::upper_bound(lines.begin(), lines.end(), pos,
                                   [](size_t p, const Line& l) { return p < l.start; });
        return it == lines.begin() ? 0 : size_t(it - lines.begin() - 1);
    }

    int lineX(size_t line) {
        RECT f = format();
        DWORD align = style() & (ES_CENTER | ES_RIGHT);
        int x = f.left - scrollX;
        if (align && line < lines.size()) {
            int w = width(lines[line].start, lines[line].end);
            int room = f.right - f.left;
            if (w < room) x = f.left + ((align & ES_RIGHT) ? room - w : (room - w) / 2);
        }
        return x;
    }

    POINT posXY(size_t pos) {
        layout();
        size_t l = lineOf(pos);
        RECT f = format();
        int x = lineX(l) + width(lines[l].start, std::min(pos, lines[l].end));
        int y = f.top + (int(l) - int(firstLine)) * lineHeight();
        return POINT{x, y};
    }

    size_t posAt(POINT p) {
        layout();
        RECT f = format();
        int row = p.y < f.top ? -1 : (p.y - f.top) / lineHeight();
        long long l = (long long)firstLine + row;
        l = std::clamp<long long>(l, 0, (long long)lines.size() - 1);
        const Line& line = lines[size_t(l)];
        int x = lineX(size_t(l));
        for (size_t i = line.start; i < line.end; ++i) {
            int a = advance(text[i]);
            if (p.x < x + (a + 1) / 2) return i;
            x += a;
        }
        return line.end;
    }

    void updateScrollBars() {
        if (!multi()) return;
        layout();
        if (hasVBar) {
            SCROLLINFO si;
            si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
            si.nMin = 0;
            si.nMax = int(std::max<size_t>(lines.size(), 1) - 1);
            si.nPage = UINT(visibleLines());
            si.nPos = int(firstLine);
            SetScrollInfo(hwnd, SB_VERT, &si, 1);
        }
        if (hasHBar) {
            SCROLLINFO si;
            si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
            RECT f = format();
            int widest = 0;
            for (const Line& l : lines)
                widest = std::max(widest, width(l.start, l.end));
            si.nMax = std::max(0, widest);
            si.nPage = UINT(std::max(1, int(f.right - f.left)));
            si.nPos = scrollX;
            SetScrollInfo(hwnd, SB_HORZ, &si, 1);
        }
    }

    void scrollToCaret() {
        layout();
        RECT f = format();
        size_t l = lineOf(caret);
        if (multi()) {
            size_t vis = size_t(visibleLines());
            if (l < firstLine) firstLine = l;
            if (l >= firstLine + vis) firstLine = l - vis + 1;
        }
        if (!wraps()) {
            int x = lineX(l) + width(lines[l].start, std::min(caret, lines[l].end)) + scrollX;
            int room = std::max(1, int(f.right - f.left));
            int rel = x - f.left;
            // Jump by a third of the field so typing does not scroll at every key.
            if (rel < scrollX) scrollX = std::max(0, rel - room / 3);
            if (rel >= scrollX + room) scrollX = rel - room + room / 3;
        } else {
            scrollX = 0;
        }
        updateScrollBars();
    }

    void invalidate() { InvalidateRect(hwnd, nullptr, 1); }

    void changed() {
        modified = true;
        layoutDirty = true;
        scrollToCaret();
        invalidate();
        NotifyParent(hwnd, EN_UPDATE);
        NotifyParent(hwnd, EN_CHANGE);
    }

    void snapshot() {
        undoText = text;
        undoAnchor = anchor;
        undoCaret = caret;
        canUndo = true;
    }

    // Puts ins in place of the selection; false when nothing could go in.
    bool replaceSel(std::u32string ins, bool undoable, bool typing = false) {
        if (!multi()) {
            size_t br = ins.find_first_of(U"\r\n");
            if (br != std::u32string::npos) ins.resize(br);
        }
        DWORD st = style();
        for (char32_t& c : ins) {
            if ((st & ES_UPPERCASE) && c >= 'a' && c <= 'z') c -= 32;
            if ((st & ES_LOWERCASE) && c >= 'A' && c <= 'Z') c += 32;
        }
        size_t s = selStart(), e = selEnd();
        size_t keep = text.size() - (e - s);
        size_t room = limit > keep ? limit - keep : 0;
        if (ins.size() > room) {
            ins.resize(room);
            NotifyParent(hwnd, EN_MAXTEXT);
            if (ins.empty() && s == e) return false;
        }
        if (ins.empty() && s == e) return true;
        if (undoable && !(typing && typingRun)) snapshot();
        typingRun = typing;
        text.replace(s, e - s, ins);
        anchor = caret = s + ins.size();
        changed();
        return true;
    }

    void setText(const std::u32string& t) {
        text = t;
        if (!multi()) {
            size_t br = text.find_first_of(U"\r\n");
            (void)br; // a single-line edit keeps what it is given
        }
        anchor = caret = 0;
        scrollX = 0;
        firstLine = 0;
        canUndo = false;
        typingRun = false;
        layoutDirty = true;
        changed();
        modified = false;
    }

    void undo() {
        if (!canUndo) return;
        std::swap(text, undoText);
        std::swap(anchor, undoAnchor);
        std::swap(caret, undoCaret);
        anchor = std::min(anchor, text.size());
        caret = std::min(caret, text.size());
        typingRun = false;
        changed();
    }

    std::u32string selection() const { return text.substr(selStart(), selEnd() - selStart()); }

    void copy() {
        // Hidden text stays hidden.
        if (password || selStart() == selEnd()) return;
        SetClipboardText(EncodeText(selection()));
    }
    void cut() {
        if (readOnly() || password || selStart() == selEnd()) return;
        copy();
        replaceSel(U"", true);
    }
    void paste() {
        if (readOnly()) return;
        std::u32string t = DecodeText(GetClipboardText());
        if (!t.empty()) replaceSel(t, true);
    }
    void clear() {
        if (readOnly() || selStart() == selEnd()) return;
        replaceSel(U"", true);
    }

    size_t prevPos(size_t p) const {
        if (p == 0) return 0;
        if (p >= 2 && text[p - 1] == U'\n' && text[p - 2] == U'\r') return p - 2;
        return p - 1;
    }
    size_t nextPos(size_t p) const {
        if (p >= text.size()) return text.size();
        if (text[p] == U'\r' && p + 1 < text.size() && text[p + 1] == U'\n') return p + 2;
        return p + 1;
    }
    static bool wordChar(char32_t c) { return c > U' ' && c != U'\r' && c != U'\n'; }
    size_t wordLeft(size_t p) const {
        while (p > 0 && !wordChar(text[p - 1]))
            --p;
        while (p > 0 && wordChar(text[p - 1]))
            --p;
        return p;
    }
    size_t wordRight(size_t p) const {
        while (p < text.size() && wordChar(text[p]))
            ++p;
        while (p < text.size() && !wordChar(text[p]))
            ++p;
        return p;
    }

    void moveCaret(size_t to, bool extend) {
        caret = std::min(to, text.size());
        if (!extend) anchor = caret;
        typingRun = false;
        scrollToCaret();
        invalidate();
    }

    void keyDown(int vk) {
        bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
        layout();
        size_t l = lineOf(caret);
        switch (vk) {
        case VK_LEFT:
            if (selStart() != selEnd() && !shift)
                moveCaret(selStart(), false);
            else
                moveCaret(ctrl ? wordLeft(caret) : prevPos(caret), shift);
            break;
        case VK_RIGHT:
            if (selStart() != selEnd() && !shift)
                moveCaret(selEnd(), false);
            else
                moveCaret(ctrl ? wordRight(caret) : nextPos(caret), shift);
            break;
        case VK_HOME:
            moveCaret(ctrl ? 0 : lines[l].start, shift);
            break;
        case VK_END:
            moveCaret(ctrl ? text.size() : lines[l].end, shift);
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            if (!multi()) {
                if (vk == VK_UP || vk == VK_DOWN)
                    moveCaret(vk == VK_UP ? prevPos(caret) : nextPos(caret), shift);
                break;
            }
            int step = (vk == VK_UP || vk == VK_DOWN) ? 1 : visibleLines();
            long long target = (long long)l + ((vk == VK_UP || vk == VK_PRIOR) ? -step : step);
            target = std::clamp<long long>(target, 0, (long long)lines.size() - 1);
            POINT p = posXY(caret);
            RECT f = format();
            if (vk == VK_PRIOR || vk == VK_NEXT)
                firstLine = size_t(std::clamp<long long>(
                    (long long)firstLine + ((vk == VK_PRIOR) ? -step : step), 0,
                    std::max<long long>(0, (long long)lines.size() - step)));
            p.y = f.top + int(target - (long long)firstLine) * lineHeight();
            moveCaret(posAt(p), shift);
            break;
        }
        case VK_DELETE:
            if (readOnly()) break;
            if (shift) {
                cut();
                break;
            }
            if (selStart() == selEnd()) caret = ctrl ? wordRight(caret) : nextPos(caret);
            replaceSel(U"", true);
            break;
        case VK_INSERT:
            if (ctrl) copy();
            if (shift) paste();
            break;
        default:
            break;
        }
    }

    void character(char32_t c) {
        switch (c) {
        case 1: // Ctrl+A
            anchor = 0;
            moveCaret(text.size(), true);
            return;
        case 3: // Ctrl+C
            copy();
            return;
        case 22: // Ctrl+V
            paste();
            return;
        case 24: // Ctrl+X
            cut();
            return;
        case 26: // Ctrl+Z
            if (!readOnly()) undo();
            return;
        case 8:
            if (readOnly()) return;
            if (selStart() == selEnd()) {
                if (caret == 0) return;
                caret = GetKeyState(VK_CONTROL) < 0 ? wordLeft(caret) : prevPos(caret);
            }
            replaceSel(U"", true, true);
            return;
        case 13:
            if (readOnly() || !multi()) return;
            replaceSel(U"\r\n", true, true);
            return;
        case 9:
            if (readOnly() || !multi()) return;
            replaceSel(U"\t", true, true);
            return;
        default:
            break;
        }
        if (c < 32 || c == 127 || readOnly()) return;
        if ((style() & ES_NUMBER) && (c < '0' || c > '9')) return;
        replaceSel(std::u32string(1, c), true, true);
    }

    void paint(HDC dc) {
        layout();
        RECT client{};
        GetClientRect(hwnd, &client);
        bool enabled = IsWindowEnabled(hwnd);
        int saved = SaveDC(dc);
        HBRUSH br =
            ParentColors(hwnd, (readOnly() || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, dc);
        COLORREF fg = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        if (br && br != reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH)))
            FillRect(dc, &client, br);
        SelectObject(dc, FontOf(hwnd));
        SetBkMode(dc, TRANSPARENT);
        RECT f = format();
        IntersectClipRect(dc, f.left, f.top, f.right, f.bottom);
        int lh = lineHeight();
        bool showSel = (focused || (style() & ES_NOHIDESEL)) && selStart() != selEnd();
        size_t ss = selStart(), se = selEnd();
        HBRUSH hl = GetSysColorBrush(COLOR_HIGHLIGHT);
        for (size_t li = firstLine; li < lines.size(); ++li) {
            int y = f.top + int(li - firstLine) * lh;
            if (y >= f.bottom) break;
            const Line& line = lines[li];
            int x = lineX(li);
            size_t i = line.start;
            // Skip what lies left of the field.
            while (i < line.end) {
                int a = advance(text[i]);
                if (x + a > f.left) break;
                x += a;
                ++i;
            }
            while (i < line.end && x < f.right) {
                bool sel = showSel && i >= ss && i < se;
                size_t j = i;
                int w = 0;
                std::u32string run;
                while (j < line.end && (showSel && j >= ss && j < se) == sel && x + w < f.right) {
                    w += advance(text[j]);
                    run += shown(text[j]);
                    ++j;
                }
                if (sel) {
                    RECT r{x, y, x + w, y + lh};
                    FillRect(dc, &r, hl);
                    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
                } else {
                    SetTextColor(dc, fg);
                }
                TextOut(dc, x, y, DisplayText(run));
                x += w;
                i = j;
            }
            // A selected line break shows as a narrow band.
            if (showSel && line.end < text.size() && line.end >= ss && line.end < se && multi()) {
                RECT r{x, y, x + 4, y + lh};
                FillRect(dc, &r, hl);
            }
        }
        if (focused && ss == se) {
            POINT c = posXY(caret);
            RECT r{c.x, c.y, c.x + 1, c.y + lh};
            HBRUSH cb = CreateSolidBrush(fg);
            FillRect(dc, &r, cb);
            DeleteObject(cb);
        }
        RestoreDC(dc, saved);
    }

    std::u32string lineText(size_t line) {
        layout();
        if (line >= lines.size()) return U"";
        return text.substr(lines[line].start, lines[line].end - lines[line].start);
    }
};

Edit* stateOf(HWND hwnd) {
    return static_cast<Edit*>(GetProp(hwnd, kProp));
}

DWORD packPos(size_t a, size_t b) {
    return DWORD(std::min<size_t>(a, 0xFFFF)) | (DWORD(std::min<size_t>(b, 0xFFFF)) << 16);
}

} // namespace

LRESULT EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Edit* e = stateOf(hwnd);
    if (msg == WM_NCCREATE) {
        e = new Edit;
        e->hwnd = hwnd;
        SetProp(hwnd, kProp, e);
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        if (cs && (cs->style & ES_MULTILINE)) e->limit = kLargestLimit;
        e->hasVBar = cs && (cs->style & WS_VSCROLL);
        e->hasHBar = cs && (cs->style & WS_HSCROLL);
        if (cs && cs->lpszName) e->text = DecodeText(cs->lpszName);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    if (!e) return DefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        ForgetFont(hwnd);
        delete e;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_CREATE:
        e->updateScrollBars();
        return 0;
    case WM_SETTEXT: {
        std::u32string t = lParam ? DecodeText(reinterpret_cast<const char*>(lParam)) : U"";
        if (t.size() > e->limit) {
            // Text beyond the limit is cut off rather than kept unreachable.
            t.resize(e->limit);
            e->setText(t);
            NotifyParent(hwnd, EN_MAXTEXT);
        } else {
            e->setText(t);
        }
        return 1;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || lParam == 0) return 0;
        std::string t = EncodeText(e->text);
        size_t n = std::min<size_t>(t.size(), wParam - 1);
        std::copy_n(t.data(), n, reinterpret_cast<char*>(lParam));
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(EncodeText(e->text).size());
    case WM_SETFONT:
        SetFontOf(hwnd, reinterpret_cast<HFONT>(wParam));
        e->layoutDirty = true;
        e->scrollToCaret();
        if (lParam) e->invalidate();
        return 0;
    case WM_GETFONT:
        return LRESULT(FontOf(hwnd));
    case WM_SIZE:
        e->layoutDirty = true;
        e->scrollToCaret();
        e->invalidate();
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintOrPrint(hwnd, msg, wParam, [e](HDC dc) { e->paint(dc); });
        return 0;
    case WM_ENABLE:
        e->invalidate();
        return 0;
    case WM_SETFOCUS:
        e->focused = true;
        e->invalidate();
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        e->focused = false;
        e->typingRun = false;
        e->invalidate();
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
               (e->multi() ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN:
        e->keyDown(int(wParam));
        return 0;
    case WM_CHAR:
        e->character(char32_t(wParam));
        return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        size_t p = e->posAt(POINT{LoX(lParam), HiY(lParam)});
        e->moveCaret(p, (wParam & MK_SHIFT) != 0);
        e->tracking = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (e->tracking) e->moveCaret(e->posAt(POINT{LoX(lParam), HiY(lParam)}), true);
        return 0;
    case WM_LBUTTONUP:
        if (e->tracking) {
            e->tracking = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        e->tracking = false;
        return 0;
    case WM_LBUTTONDBLCLK: {
        size_t p = e->posAt(POINT{LoX(lParam), HiY(lParam)});
        size_t s = p, t = p;
        while (s > 0 && Edit::wordChar(e->text[s - 1]))
            --s;
        while (t < e->text.size() && Edit::wordChar(e->text[t]))
            ++t;
        e->anchor = s;
        e->moveCaret(t, true);
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (e->multi()) {
            int notches = int16_t(HIWORD(wParam)) / 120;
            for (int i = 0; i < std::abs(notches) * 3; ++i)
                EditWndProc(hwnd, WM_VSCROLL, notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
            return 0;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_VSCROLL:
    case EM_SCROLL: {
        if (!e->multi()) return 0;
        e->layout();
        long long first = (long long)e->firstLine;
        int vis = e->visibleLines();
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            --first;
            break;
        case SB_LINEDOWN:
            ++first;
            break;
        case SB_PAGEUP:
            first -= vis;
            break;
        case SB_PAGEDOWN:
            first += vis;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            first = HIWORD(wParam);
            break;
        case SB_TOP:
            first = 0;
            break;
        case SB_BOTTOM:
            first = (long long)e->lines.size();
            break;
        default:
            return 0;
        }
        first = std::clamp<long long>(first, 0,
                                      std::max<long long>(0, (long long)e->lines.size() - vis));
        if (size_t(first) != e->firstLine) {
            e->firstLine = size_t(first);
            e->updateScrollBars();
            e->invalidate();
            NotifyParent(hwnd, EN_VSCROLL);
        }
        return msg == EM_SCROLL ? 1 : 0;
    }
    case WM_HSCROLL: {
        if (e->wraps()) return 0;
        RECT f = e->format();
        int room = std::max(1, int(f.right - f.left));
        int x = e->scrollX;
        switch (LOWORD(wParam)) {
        case SB_LINELEFT:
            x -= 8;
            break;
        case SB_LINERIGHT:
            x += 8;
            break;
        case SB_PAGELEFT:
            x -= room;
            break;
        case SB_PAGERIGHT:
            x += room;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            x = HIWORD(wParam);
            break;
        default:
            return 0;
        }
        e->scrollX = std::max(0, x);
        e->updateScrollBars();
        e->invalidate();
        NotifyParent(hwnd, EN_HSCROLL);
        return 0;
    }
    case WM_CUT:
        e->cut();
        return 0;
    case WM_COPY:
        e->copy();
        return 0;
    case WM_PASTE:
        e->paste();
        return 0;
    case WM_CLEAR:
        e->clear();
        return 0;
    case WM_UNDO:
    case EM_UNDO:
        if (!e->canUndo) return 0;
        e->undo();
        return 1;
    case EM_CANUNDO:
        return e->canUndo ? 1 : 0;
    case EM_EMPTYUNDOBUFFER:
        e->canUndo = false;
        e->typingRun = false;
        return 0;
    case EM_GETSEL:
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = DWORD(e->selStart());
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = DWORD(e->selEnd());
        return LRESULT(packPos(e->selStart(), e->selEnd()));
    case EM_SETSEL: {
        long long s = (long long)(int32_t)(uint32_t)wParam,
                  t = (long long)(int32_t)(uint32_t)lParam;
        size_t n = e->text.size();
        if (s < 0) {
            // No selection: the caret stays where the selection ended.
            e->anchor = e->caret;
        } else {
            size_t a = size_t(std::min<long long>(s, (long long)n));
            size_t b = t < 0 ? n : size_t(std::min<long long>(t, (long long)n));
            e->anchor = a;
            e->caret = b;
        }
        e->typingRun = false;
        e->scrollToCaret();
        e->invalidate();
        return 0;
    }
    case EM_REPLACESEL: {
        std::u32string t = lParam ? DecodeText(reinterpret_cast<const char*>(lParam)) : U"";
        e->replaceSel(t, wParam != 0);
        return 0;
    }
    case EM_GETMODIFY:
        return e->modified ? 1 : 0;
    case EM_SETMODIFY:
        e->modified = wParam != 0;
        return 0;
    case EM_LIMITTEXT:
        e->limit = wParam == 0 ? kLargestLimit : size_t(wParam);
        return 0;
    case EM_GETLIMITTEXT:
        return LRESULT(e->limit);
    case EM_SETPASSWORDCHAR: {
        e->password = char32_t(wParam);
        DWORD st = StyleOf(hwnd);
        SetWindowLongPtr(hwnd, GWL_STYLE,
                         LONG_PTR(wParam ? (st | ES_PASSWORD) : (st & ~ES_PASSWORD)));
        e->layoutDirty = true;
        e->invalidate();
        return 0;
    }
    case EM_GETPASSWORDCHAR:
        return LRESULT(e->password);
    case EM_SETREADONLY: {
        DWORD st = StyleOf(hwnd);
        SetWindowLongPtr(hwnd, GWL_STYLE,
                         LONG_PTR(wParam ? (st | ES_READONLY) : (st & ~ES_READONLY)));
        e->invalidate();
        return 1;
    }
    case EM_SETMARGINS:
        if (wParam & EC_LEFTMARGIN)
            e->marginLeft = std::max(0, int(int16_t(LOWORD(uintptr_t(lParam)))));
        if (wParam & EC_RIGHTMARGIN)
            e->marginRight = std::max(0, int(int16_t(HIWORD(uintptr_t(lParam)))));
        e->layoutDirty = true;
        e->invalidate();
        return 0;
    case EM_GETMARGINS:
        return LRESULT(MAKELPARAM(e->marginLeft, e->marginRight));
    case EM_GETRECT:
        if (lParam) *reinterpret_cast<RECT*>(lParam) = e->format();
        return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
        e->customRect = lParam != 0;
        if (lParam) e->rect = *reinterpret_cast<const RECT*>(lParam);
        e->layoutDirty = true;
        if (msg == EM_SETRECT) e->invalidate();
        return 0;
    case EM_GETLINECOUNT:
        e->layout();
        return LRESULT(e->lines.size());
    case EM_GETFIRSTVISIBLELINE:
        return LRESULT(e->multi() ? e->firstLine : 0);
    case EM_LINEINDEX: {
        e->layout();
        long long l = (long long)(int32_t)(uint32_t)wParam;
        size_t line = l < 0 ? e->lineOf(e->caret) : size_t(l);
        return line < e->lines.size() ? LRESULT(e->lines[line].start) : -1;
    }
    case EM_LINEFROMCHAR: {
        long long c = (long long)(int32_t)(uint32_t)wParam;
        return LRESULT(e->lineOf(c < 0 ? e->caret : std::min<size_t>(size_t(c), e->text.size())));
    }
    case EM_LINELENGTH: {
        long long c = (long long)(int32_t)(uint32_t)wParam;
        e->layout();
        size_t l = e->lineOf(c < 0 ? e->caret : std::min<size_t>(size_t(c), e->text.size()));
        return LRESULT(e->lines[l].end - e->lines[l].start);
    }
    case EM_GETLINE: {
        if (!lParam) return 0;
        WORD size = *reinterpret_cast<WORD*>(lParam);
        std::string t = EncodeText(e->lineText(size_t(wParam)));
        size_t n = std::min<size_t>(t.size(), size);
        std::copy_n(t.data(), n, reinterpret_cast<char*>(lParam));
        return LRESULT(n);
    }
    case EM_LINESCROLL: {
        long long lines = (long long)(int32_t)(uint32_t)lParam;
        if (e->multi()) {
            e->layout();
            int vis = e->visibleLines();
            long long first =
                std::clamp<long long>((long long)e->firstLine + lines, 0,
                                      std::max<long long>(0, (long long)e->lines.size() - vis));
            e->firstLine = size_t(first);
        }
        if (!e->wraps()) e->scrollX = std::max(0, e->scrollX + int(int32_t(wParam)) * 8);
        e->updateScrollBars();
        e->invalidate();
        return 1;
    }
    case EM_SCROLLCARET:
        e->scrollToCaret();
        e->invalidate();
        return 1;
    case EM_POSFROMCHAR: {
        if (wParam > e->text.size()) return -1;
        POINT p = e->posXY(size_t(wParam));
        return LRESULT(MAKELPARAM(p.x, p.y));
    }
    case EM_CHARFROMPOS: {
        size_t p = e->posAt(POINT{LoX(lParam), HiY(lParam)});
        return LRESULT(packPos(p, e->lineOf(p)));
    }
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}
