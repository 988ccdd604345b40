#include "platform/win/input.h"

#include "platform/win/hooks.h"

#include "platform/gdi/gdi.h"
#include "platform/win/internal.h"
#include "platform/win/mdi.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

using winimpl::GetState;

HWND SetCapture(HWND hwnd) {
    auto& s = GetState();
    std::lock_guard lock(s.m);
    HWND old = s.capture;
    s.capture = hwnd;
    return old;
}

HWND GetCapture() {
    auto& s = GetState();
    std::lock_guard lock(s.m);
    if (s.capture && !s.windows.count(s.capture)) s.capture = 0;
    return s.capture;
}

BOOL ReleaseCapture() {
    HWND old = SetCapture(0);
    if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return 1;
}

namespace {

bool contains(HWND h, POINT screen) {
    RECT r{};
    return IsWindowVisible(h) && GetWindowRect(h, &r) && PtInRect(&r, screen);
}

// The window that takes the pointer inside h: disabled children pass it to
// their parent, as hidden ones do.
HWND deepest(HWND h, POINT screen) {
    // Children live in the client area; the frame belongs to the window.
    POINT p = screen;
    RECT client{};
    ScreenToClient(h, &p);
    GetClientRect(h, &client);
    if (!PtInRect(&client, p)) return h;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (contains(c, screen) && IsWindowEnabled(c)) return deepest(c, screen);
    return h;
}

HWND topLevelOf(HWND h) {
    while (h && (DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD) && GetParent(h))
        h = GetParent(h);
    return h;
}

// Input may reach h: it and every window it sits in are enabled.
bool takesInput(HWND h) {
    for (; h; h = (DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD) ? GetParent(h) : 0)
        if (!IsWindowEnabled(h)) return false;
    return true;
}

} // namespace

HWND WindowFromPoint(POINT screen) {
    std::vector<HWND> tops;
    {
        auto& s = GetState();
        std::lock_guard lock(s.m);
        tops = s.topLevel;
    }
    // Top-most windows before the others, each group in z-order.
    for (int pass = 0; pass < 2; ++pass)
        for (HWND t : tops) {
            bool topmost = (DWORD(GetWindowLongPtr(t, GWL_EXSTYLE)) & WS_EX_TOPMOST) != 0;
            if (topmost != (pass == 0)) continue;
            if (contains(t, screen)) return deepest(t, screen);
        }
    return 0;
}

HWND ChildWindowFromPoint(HWND parent, POINT client) {
    POINT screen = client;
    if (!ClientToScreen(parent, &screen)) return 0;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (contains(c, screen)) return c;
    return parent;
}

HWND DeliverMouse(UINT msg, POINT screen, WPARAM keys, int wheelDelta, HWND surface) {
    SetCursorPosFromBackend(screen);
    bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
                 msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK;
    // The display knows which window is on top where the pointer is.
    HWND under = 0;
    if (surface && IsWindow(surface) && (press || contains(surface, screen)))
        under = deepest(surface, screen);
    else
        under = WindowFromPoint(screen);
    // The thread's mouse hooks see the message first and may drop it.
    if (RunMouseHooks(msg, screen, under)) return 0;
    HWND target = GetCapture();
    bool captured = target != 0;
    if (!target) target = under;
    if (!target) return 0;
    if (!takesInput(target)) {
        // A press on a window held by a modal dialog brings the dialog forward.
        if (press) {
            HWND top = topLevelOf(target);
            HWND popup = GetLastActivePopup(top);
            if (popup != top) {
                SetActiveWindow(popup);
                BringWindowToTop(popup);
            }
        }
        return 0;
    }
    // Where the pointer is on the window decides its shape and whether the
    // message is a non-client one.
    LRESULT hit = HTCLIENT;
    if (!captured && msg != WM_MOUSEWHEEL) {
        hit = SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        // A child that is transparent to the pointer hands it to its parent.
        while (hit == HTTRANSPARENT && (DWORD(GetWindowLongPtr(target, GWL_STYLE)) & WS_CHILD) &&
               GetParent(target)) {
            target = GetParent(target);
            hit = SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        }
        SendMessage(target, WM_SETCURSOR, WPARAM(target), MAKELPARAM(uint16_t(int16_t(hit)), msg));
    }
    bool nonClient = hit != HTCLIENT && hit != HTNOWHERE && hit != HTTRANSPARENT;
    if (nonClient && msg == WM_MOUSEMOVE) {
        PostMessage(target, WM_NCMOUSEMOVE, WPARAM(hit), MAKELPARAM(screen.x, screen.y));
        return target;
    }
    if (press && !captured) {
        HWND top = target;
        while (DWORD(GetWindowLongPtr(top, GWL_STYLE)) & WS_CHILD)
            top = GetParent(top);
        // The window may refuse activation and may eat the click (WM_MOUSEACTIVATE).
        LRESULT ma = MA_ACTIVATE;
        if (GetActiveWindow() != top)
            ma = SendMessage(target, WM_MOUSEACTIVATE, WPARAM(top),
                             MAKELPARAM(uint16_t(int16_t(hit)), msg));
        bool activate = ma != MA_NOACTIVATE && ma != MA_NOACTIVATEANDEAT &&
                        !(DWORD(GetWindowLongPtr(top, GWL_EXSTYLE)) & WS_EX_NOACTIVATE);
        if (activate && GetActiveWindow() != top) SetActiveWindow(top);
        // A press inside an MDI child makes it the client's active child.
        if (activate)
            for (HWND w = target; w && w != top; w = GetParent(w))
                if (HWND client = MDIClientOf(w)) {
                    SendMessage(client, WM_MDIACTIVATE, WPARAM(w), 0);
                    break;
                }
        if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return target;
        if (activate && IsWindowEnabled(target) && GetFocus() != target) SetFocus(target);
    }
    if (msg == WM_MOUSEWHEEL) {
        HWND focus = GetFocus();
        if (focus) target = focus;
        PostMessage(target, msg, (WPARAM(uint16_t(int16_t(wheelDelta))) << 16) | keys,
                    MAKELPARAM(screen.x, screen.y));
        return target;
    }
    // Buttons on the frame go to the non-client handling.
    if (nonClient) {
        UINT ncMsg = msg == WM_LBUTTONDOWN     ? WM_NCLBUTTONDOWN
                     : msg == WM_LBUTTONDBLCLK ? WM_NCLBUTTONDBLCLK
                     : msg == WM_LBUTTONUP     ? WM_NCLBUTTONUP
                     : msg == WM_RBUTTONDOWN   ? WM_NCRBUTTONDOWN
                     : msg == WM_MBUTTONDOWN   ? WM_NCMBUTTONDOWN
                                               : 0;
        if (ncMsg) PostMessage(target, ncMsg, WPARAM(hit), MAKELPARAM(screen.x, screen.y));
        return target;
    }
    POINT client = screen;
    ScreenToClient(target, &client);
    PostMessage(target, msg, keys, MAKELPARAM(client.x, client.y));
    return target;
}

namespace {

// The window typing goes to: the focus, else the active window. When the
// display gave the keys to a window the focus is not in, the user (or the
// window manager) chose that window, so it becomes the active one first.
// 0 when that window takes no input.
HWND keyboardTarget(HWND surface) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (surface && IsWindow(surface) && (!target || topLevelOf(target) != surface)) {
        ActivateFromDisplay(surface);
        target = GetFocus();
        if (!target) target = GetActiveWindow();
    }
    return target && takesInput(target) ? target : 0;
}

} // namespace

HWND DeliverKey(bool down, int virtualKey, char32_t character, HWND surface, bool noChar) {
    HWND target = keyboardTarget(surface);
    if (!target) return 0;
    bool alt = GetKeyState(VK_MENU) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    PostMessage(target, down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP),
                WPARAM(virtualKey), 1);
    if (noChar) return target;
    // Ctrl with a letter types its control character (Ctrl+C is 3).
    char32_t lower = character | 0x20;
    if (down && ctrl && !alt && lower >= 'a' && lower <= 'z')
        PostMessage(target, WM_CHAR, WPARAM(lower - 'a' + 1), 1);
    else if (down && character >= 0x20 && character != 0x7F)
        PostMessage(target, alt ? WM_SYSCHAR : WM_CHAR, WPARAM(character), 1);
    else if (down && (virtualKey == VK_RETURN || virtualKey == VK_BACK || virtualKey == VK_ESCAPE ||
                      virtualKey == VK_TAB))
        PostMessage(target, WM_CHAR, WPARAM(virtualKey), 1);
    return target;
}

HWND DeliverText(const std::u32string& text, HWND surface) {
    HWND target = keyboardTarget(surface);
    if (!target) return 0;
    for (char32_t c : text)
        if (c >= 0x20 && c != 0x7F) PostMessage(target, WM_CHAR, WPARAM(c), 1);
    return target;
}
