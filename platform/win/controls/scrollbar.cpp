#include "platform/win/controls/scrollbar.h"

#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

using namespace winctl;

namespace {

winimpl::ScrollGeometry geometryOf(HWND hwnd) {
    RECT c{};
    GetClientRect(hwnd, &c);
    return winimpl::LayoutScrollBar(c, StyleOf(hwnd) & SBS_VERT,
                                    winimpl::GetScrollState(hwnd, SB_CTL));
}

void request(HWND hwnd, int code) {
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    UINT msg = (StyleOf(hwnd) & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessage(parent, msg, MAKEWPARAM(code, 0), LPARAM(hwnd));
    SendMessage(parent, msg, MAKEWPARAM(SB_ENDSCROLL, 0), LPARAM(hwnd));
}

} // namespace

LRESULT ScrollBarWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        winimpl::SetScrollState(hwnd, SB_CTL, winimpl::ScrollState{});
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintOrPrint(hwnd, msg, wParam, [hwnd](HDC dc) {
            winimpl::DrawScrollBar(dc, geometryOf(hwnd), IsWindowEnabled(hwnd));
        });
        return 0;
    case WM_ENABLE:
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, 1);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (!IsWindowEnabled(hwnd)) return 0;
        if ((StyleOf(hwnd) & WS_TABSTOP) && GetFocus() != hwnd) SetFocus(hwnd);
        POINT o{0, 0};
        ClientToScreen(hwnd, &o);
        winimpl::TrackScrollPress(hwnd, GetParent(hwnd), hwnd, SB_CTL, geometryOf(hwnd),
                                  POINT{LoX(lParam), HiY(lParam)}, o);
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
        bool vert = StyleOf(hwnd) & SBS_VERT;
        switch (wParam) {
        case VK_UP:
        case VK_LEFT:
            if ((wParam == VK_UP) == vert) request(hwnd, SB_LINEUP);
            break;
        case VK_DOWN:
        case VK_RIGHT:
            if ((wParam == VK_DOWN) == vert) request(hwnd, SB_LINEDOWN);
            break;
        case VK_PRIOR:
            request(hwnd, SB_PAGEUP);
            break;
        case VK_NEXT:
            request(hwnd, SB_PAGEDOWN);
            break;
        case VK_HOME:
            request(hwnd, SB_TOP);
            break;
        case VK_END:
            request(hwnd, SB_BOTTOM);
            break;
        default:
            break;
        }
        return 0;
    }
    case SBM_SETPOS:
        return SetScrollPos(hwnd, SB_CTL, int(int32_t(wParam)), lParam != 0);
    case SBM_GETPOS:
        return GetScrollPos(hwnd, SB_CTL);
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW:
        SetScrollRange(hwnd, SB_CTL, int(int32_t(wParam)), int(int32_t(lParam)),
                       msg == SBM_SETRANGEREDRAW);
        return GetScrollPos(hwnd, SB_CTL);
    case SBM_GETRANGE:
        GetScrollRange(hwnd, SB_CTL, reinterpret_cast<int*>(wParam),
                       reinterpret_cast<int*>(lParam));
        return 0;
    case SBM_SETSCROLLINFO:
        return SetScrollInfo(hwnd, SB_CTL, reinterpret_cast<const SCROLLINFO*>(lParam),
                             wParam != 0);
    case SBM_GETSCROLLINFO:
        return GetScrollInfo(hwnd, SB_CTL, reinterpret_cast<SCROLLINFO*>(lParam));
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}
