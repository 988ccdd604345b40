// Shows a form with the plain default frame in a real window: drag the
// caption to move it, the borders to size it, the close box to close it.
#include <cstdio>

#include "platform/display/gtk.h"
#include "platform/gdi/gdi.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace {

LRESULT formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client{};
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        RECT caption = DefaultCaptionRect(hwnd);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        RECT text{16, caption.bottom + 16, client.right - 16, caption.bottom + 80};
        DrawText(dc,
                 "Drag the caption to move this form, its borders to size it, and the "
                 "close box to close it.",
                 &text, DT_WORDBREAK);
        RECT button{16, caption.bottom + 90, 116, caption.bottom + 116};
        FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &button, EDGE_RAISED, BF_RECT);
        DrawText(dc, "&OK", &button, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        RECT edit{130, caption.bottom + 90, client.right - 16, caption.bottom + 116};
        FillRect(dc, &edit, GetSysColorBrush(COLOR_WINDOW));
        DrawEdge(dc, &edit, EDGE_SUNKEN, BF_RECT);
        SelectObject(dc, old);
        DrawDefaultFrame(hwnd, dc, true);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

} // namespace

int main() {
    auto backend = display::CreateGtkBackend();
    if (!backend) {
        std::fprintf(stderr, "formdemo: no display\n");
        return 1;
    }
    display::Install(std::move(backend));
    WNDCLASS wc;
    wc.lpfnWndProc = formProc;
    wc.lpszClassName = "TFormDemo";
    RegisterClass(wc);
    HWND form =
        CreateWindowEx(0, "TFormDemo", "Lantrove form demo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                       100, 420, 260, 0, 0, nullptr, nullptr);
    if (!form) return 1;
    MSG m;
    while (GetMessage(&m, 0, 0, 0))
        DispatchMessage(&m);
    display::Install(nullptr);
    return int(m.wParam);
}
