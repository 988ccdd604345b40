#include "platform/win/controls/button.h"

#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

using namespace winctl;

namespace {

constexpr const char* kProp = "ButtonState";
constexpr int kBox = 13;

struct Button {
    HWND hwnd = 0;
    LRESULT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    bool tracking = false;
    bool spaceDown = false;

    DWORD type() const { return StyleOf(hwnd) & BS_TYPEMASK; }
    bool isRadio() const { return type() == BS_RADIOBUTTON || type() == BS_AUTORADIOBUTTON; }
    bool isCheck() const {
        DWORD t = type();
        return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
    }
    bool isPush() const {
        DWORD t = type();
        return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == BS_OWNERDRAW;
    }
    bool isGroup() const { return type() == BS_GROUPBOX; }

    void invalidate() { InvalidateRect(hwnd, nullptr, 1); }

    void setPushed(bool p) {
        if (pushed == p) return;
        pushed = p;
        invalidate();
    }

    void setCheck(LRESULT c) {
        if (c == BST_INDETERMINATE && type() != BS_3STATE && type() != BS_AUTO3STATE)
            c = BST_CHECKED;
        if (check == c) return;
        check = c;
        invalidate();
    }

    // Unchecks the other automatic radio buttons of the group.
    void uncheckSiblings() {
        HWND parent = GetParent(hwnd);
        if (!parent) return;
        std::vector<HWND> group;
        for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (StyleOf(c) & WS_GROUP) {
                bool mine = false;
                for (HWND g : group)
                    mine |= g == hwnd;
                if (mine) break;
                group.clear();
            }
            group.push_back(c);
        }
        for (HWND c : group) {
            if (c == hwnd || GetClassName(c) != "BUTTON") continue;
            if ((StyleOf(c) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessage(c, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }

    void click() {
        switch (type()) {
        case BS_AUTOCHECKBOX:
            setCheck(check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
            break;
        case BS_AUTO3STATE:
            setCheck(check == BST_UNCHECKED ? BST_CHECKED
                     : check == BST_CHECKED ? BST_INDETERMINATE
                                            : BST_UNCHECKED);
            break;
        case BS_AUTORADIOBUTTON:
            setCheck(BST_CHECKED);
            uncheckSiblings();
            break;
        default:
            break;
        }
        NotifyParent(hwnd, BN_CLICKED);
    }

    void paintCaption(HDC dc, RECT r, UINT format, COLORREF color) {
        SetTextColor(dc, IsWindowEnabled(hwnd) ? color : GetSysColor(COLOR_GRAYTEXT));
        DrawText(dc, GetWindowText(hwnd), &r, format);
    }

    void paint(HDC dc) {
        RECT c{};
        GetClientRect(hwnd, &c);
        int saved = SaveDC(dc);
        SelectObject(dc, FontOf(hwnd));
        SetBkMode(dc, TRANSPARENT);
        if (type() == BS_OWNERDRAW) {
            DRAWITEMSTRUCT di;
            di.CtlType = ODT_BUTTON;
            di.CtlID = ControlId(hwnd);
            di.itemAction = ODA_DRAWENTIRE;
            di.itemState = (pushed ? ODS_SELECTED : 0) | (focused ? ODS_FOCUS : 0) |
                           (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
            di.hwndItem = hwnd;
            di.hDC = dc;
            di.rcItem = c;
            if (HWND parent = GetParent(hwnd))
                SendMessage(parent, WM_DRAWITEM, di.CtlID, LPARAM(&di));
            RestoreDC(dc, saved);
            return;
        }
        HBRUSH bg = ParentColors(hwnd, isPush() ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC, dc);
        COLORREF fg = GetTextColor(dc);
        bool nullBrush = bg == reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        if (isPush() || ((StyleOf(hwnd) & BS_PUSHLIKE) && !isGroup())) {
            RECT r = c;
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            if (type() == BS_DEFPUSHBUTTON) {
                FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
                InflateRect(&r, -1, -1);
            }
            bool down = pushed || (check == BST_CHECKED && (StyleOf(hwnd) & BS_PUSHLIKE));
            DrawEdge(dc, &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            RECT t = r;
            if (down) OffsetRect(&t, 1, 1);
            paintCaption(dc, t, DT_SINGLELINE | DT_CENTER | DT_VCENTER, GetSysColor(COLOR_BTNTEXT));
            if (focused) {
                RECT f = r;
                InflateRect(&f, -4, -4);
                DrawFocusRect(dc, &f);
            }
            RestoreDC(dc, saved);
            return;
        }
        if (!nullBrush && bg) FillRect(dc, &c, bg);
        if (isGroup()) {
            int th = LineHeight(hwnd);
            RECT frame{c.left, c.top + th / 2, c.right, c.bottom};
            DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
            std::string caption = GetWindowText(hwnd);
            if (!caption.empty()) {
                SIZE s = MeasureText(hwnd, caption);
                RECT t{c.left + 8, c.top, c.left + 8 + s.cx + 4, c.top + th};
                if (!nullBrush && bg) FillRect(dc, &t, bg);
                t.left += 2;
                paintCaption(dc, t, DT_SINGLELINE | DT_LEFT | DT_TOP, fg);
            }
            RestoreDC(dc, saved);
            return;
        }
        bool leftText = StyleOf(hwnd) & BS_LEFTTEXT;
        int cy = (c.top + c.bottom) / 2;
        RECT box = leftText ? RECT{c.right - kBox, cy - kBox / 2, c.right, cy - kBox / 2 + kBox}
                            : RECT{c.left, cy - kBox / 2, c.left + kBox, cy - kBox / 2 + kBox};
        HBRUSH field = GetSysColorBrush(pushed ? COLOR_BTNFACE : COLOR_WINDOW);
        HBRUSH mark = GetSysColorBrush(IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
        if (isRadio()) {
            HGDIOBJ op = SelectObject(dc, CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
            HGDIOBJ ob = SelectObject(dc, field);
            Ellipse(dc, box.left, box.top, box.right, box.bottom);
            DeleteObject(SelectObject(dc, op));
            SelectObject(dc, ob);
            if (check == BST_CHECKED) {
                HGDIOBJ np = SelectObject(dc, GetStockObject(NULL_PEN));
                HGDIOBJ nb = SelectObject(dc, mark);
                Ellipse(dc, box.left + 4, box.top + 4, box.right - 3, box.bottom - 3);
                SelectObject(dc, np);
                SelectObject(dc, nb);
            }
        } else {
            RECT b = box;
            FillRect(dc, &b, field);
            DrawEdge(dc, &b, EDGE_SUNKEN, BF_RECT);
            if (check == BST_INDETERMINATE) {
                RECT in{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3};
                FillRect(dc, &in, GetSysColorBrush(COLOR_GRAYTEXT));
            } else if (check == BST_CHECKED) {
                // A tick of three-pixel-high strokes.
                for (int i = 0; i < 7; ++i) {
                    int x = box.left + 3 + i;
                    int y = i < 3 ? box.top + 5 + i : box.top + 7 - (i - 2);
                    RECT s{x, y, x + 1, y + 3};
                    FillRect(dc, &s, mark);
                }
            }
        }
        RECT t = leftText ? RECT{c.left, c.top, box.left - 4, c.bottom}
                          : RECT{box.right + 4, c.top, c.right, c.bottom};
        UINT format =
            (StyleOf(hwnd) & BS_MULTILINE) ? DT_WORDBREAK | DT_VCENTER : DT_SINGLELINE | DT_VCENTER;
        paintCaption(dc, t, format | (leftText ? DT_RIGHT : DT_LEFT), fg);
        if (focused) {
            SIZE s = MeasureText(hwnd, GetWindowText(hwnd));
            RECT f{t.left - 1, cy - s.cy / 2 - 1, std::min<int>(t.right, t.left + s.cx + 1),
                   cy + (s.cy + 1) / 2 + 1};
            DrawFocusRect(dc, &f);
        }
        RestoreDC(dc, saved);
    }
};

Button* stateOf(HWND hwnd) {
    return static_cast<Button*>(GetProp(hwnd, kProp));
}

} // namespace

LRESULT ButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Button* b = stateOf(hwnd);
    if (msg == WM_NCCREATE) {
        b = new Button;
        b->hwnd = hwnd;
        SetProp(hwnd, kProp, b);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    if (!b) return DefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        ForgetFont(hwnd);
        delete b;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
        // A group box lets clicks through to what lies under it.
        if (b->isGroup()) return HTTRANSPARENT;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        b->invalidate();
        return r;
    }
    case WM_SETFONT:
        SetFontOf(hwnd, reinterpret_cast<HFONT>(wParam));
        if (lParam) b->invalidate();
        return 0;
    case WM_GETFONT:
        return LRESULT(FontOf(hwnd));
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintOrPrint(hwnd, msg, wParam, [b](HDC dc) { b->paint(dc); });
        return 0;
    case WM_ENABLE:
        b->invalidate();
        return 0;
    case WM_GETDLGCODE:
        if (b->isGroup()) return DLGC_STATIC;
        if (b->isRadio()) return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (b->type() == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (b->isPush()) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        return DLGC_BUTTON;
    case WM_SETFOCUS:
        b->focused = true;
        b->invalidate();
        NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        b->focused = false;
        b->spaceDown = false;
        b->setPushed(false);
        b->invalidate();
        NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (b->isGroup()) return 0;
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        b->tracking = true;
        b->setPushed(true);
        SetCapture(hwnd);
        return 0;
    case WM_MOUSEMOVE:
        if (b->tracking) {
            RECT c{};
            GetClientRect(hwnd, &c);
            b->setPushed(PtInRect(&c, POINT{LoX(lParam), HiY(lParam)}) != 0);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!b->tracking) return 0;
        b->tracking = false;
        bool wasPushed = b->pushed;
        b->setPushed(false);
        if (GetCapture() == hwnd) ReleaseCapture();
        RECT c{};
        GetClientRect(hwnd, &c);
        if (wasPushed && PtInRect(&c, POINT{LoX(lParam), HiY(lParam)})) b->click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (b->tracking) {
            b->tracking = false;
            b->setPushed(false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !b->isGroup()) {
            b->spaceDown = true;
            b->setPushed(true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && b->spaceDown) {
            b->spaceDown = false;
            b->setPushed(false);
            b->click();
        }
        return 0;
    case WM_CHAR:
        return 0;
    case BM_GETCHECK:
        return b->isCheck() || b->isRadio() ? b->check : BST_UNCHECKED;
    case BM_SETCHECK:
        if (b->isCheck() || b->isRadio()) b->setCheck(LRESULT(wParam) & 3);
        return 0;
    case BM_GETSTATE:
        return b->check | (b->pushed ? BST_PUSHED : 0) | (b->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        b->setPushed(wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        DWORD st = StyleOf(hwnd);
        SetWindowLongPtr(hwnd, GWL_STYLE, LONG_PTR((st & ~0xFFFFu) | (DWORD(wParam) & 0xFFFF)));
        if (lParam) b->invalidate();
        return 0;
    }
    case BM_CLICK:
        if (!b->isGroup() && IsWindowEnabled(hwnd)) b->click();
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}
