#include "platform/win/controls/static.h"

#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

using namespace winctl;

namespace {

void paintStatic(HWND hwnd, HDC dc) {
    RECT c{};
    GetClientRect(hwnd, &c);
    DWORD st = StyleOf(hwnd);
    DWORD type = st & SS_TYPEMASK;
    int saved = SaveDC(dc);
    switch (type) {
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
        FillRect(dc, &c,
                 GetSysColorBrush(type == SS_BLACKRECT  ? COLOR_WINDOWFRAME
                                  : type == SS_GRAYRECT ? COLOR_BTNSHADOW
                                                        : COLOR_WINDOW));
        break;
    case SS_BLACKFRAME:
        FrameRect(dc, &c, GetSysColorBrush(COLOR_WINDOWFRAME));
        break;
    case SS_ETCHEDHORZ: {
        RECT r{c.left, c.top, c.right, c.top + 2};
        DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
        break;
    }
    case SS_ETCHEDVERT: {
        RECT r{c.left, c.top, c.left + 2, c.bottom};
        DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT);
        break;
    }
    case SS_ETCHEDFRAME:
        DrawEdge(dc, &c, EDGE_ETCHED, BF_RECT);
        break;
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT di;
        di.CtlType = ODT_STATIC;
        di.CtlID = ControlId(hwnd);
        di.itemAction = ODA_DRAWENTIRE;
        di.itemState = IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED;
        di.hwndItem = hwnd;
        di.hDC = dc;
        di.rcItem = c;
        if (HWND parent = GetParent(hwnd)) SendMessage(parent, WM_DRAWITEM, di.CtlID, LPARAM(&di));
        break;
    }
    default: {
        HBRUSH bg = ParentColors(hwnd, WM_CTLCOLORSTATIC, dc);
        if (bg && bg != reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) FillRect(dc, &c, bg);
        if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        SelectObject(dc, FontOf(hwnd));
        SetBkMode(dc, TRANSPARENT);
        UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP || (st & SS_ENDELLIPSIS))
            format |= DT_SINGLELINE;
        else
            format |= DT_WORDBREAK;
        if (st & SS_CENTERIMAGE) format |= DT_SINGLELINE | DT_VCENTER;
        if (st & SS_NOPREFIX) format |= DT_NOPREFIX;
        if (st & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS;
        RECT r = c;
        DrawText(dc, GetWindowText(hwnd), &r, format);
        break;
    }
    }
    if (st & SS_SUNKEN) DrawEdge(dc, &c, BDR_SUNKENOUTER, BF_RECT);
    RestoreDC(dc, saved);
}

} // namespace

LRESULT StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCDESTROY:
        ForgetFont(hwnd);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
        // Without SS_NOTIFY a static lets clicks through to its parent.
        if (!(StyleOf(hwnd) & SS_NOTIFY)) return HTTRANSPARENT;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, 1);
        return r;
    }
    case WM_SETFONT:
        SetFontOf(hwnd, reinterpret_cast<HFONT>(wParam));
        if (lParam) InvalidateRect(hwnd, nullptr, 1);
        return 0;
    case WM_GETFONT:
        return LRESULT(FontOf(hwnd));
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, 1);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintOrPrint(hwnd, msg, wParam, [hwnd](HDC dc) { paintStatic(hwnd, dc); });
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_LBUTTONDOWN:
        if (StyleOf(hwnd) & SS_NOTIFY) NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (StyleOf(hwnd) & SS_NOTIFY) NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}
