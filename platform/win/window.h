// Window classes, window creation and destruction, window procedures and the
// properties of a window (parent, owner, visibility, bounds, text).
//
// A window belongs to the thread that creates it; its procedure runs on that
// thread only. Functions that change a window are called on its thread; the
// read-only ones (IsWindow, GetClassName, FindWindowEx, ...) work from any thread.
#pragma once

#include "platform/win/messages.h"
#include "platform/win/types.h"

#include <string>

ATOM RegisterClass(const WNDCLASS& wc);
BOOL UnregisterClass(const char* className, HINSTANCE instance);
BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* wc);

// Sends WM_NCCREATE (0 fails the creation) and WM_CREATE (-1 fails it);
// WS_VISIBLE shows the window afterwards. Returns 0 on failure.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, LONG_PTR id,
                    HINSTANCE instance, void* param);
// Owned windows are destroyed first; then the window gets WM_DESTROY, its
// children get theirs (parents before children), and WM_NCDESTROY goes to the
// children and last to the window. Only on the window's own thread.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// The procedure that does what no procedure of the window's own does: the
// dispatch point for default handling of every message (see window.cpp).
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// GWLP_WNDPROC replaces the procedure (the old one is returned, to be called
// through CallWindowProc); GWL_STYLE, GWL_EXSTYLE, GWLP_USERDATA, GWLP_ID,
// GWLP_HWNDPARENT (the owner of a top-level window).
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);
// GCL_STYLE of the window's class (shared by every window of that class).
LONG_PTR GetClassLongPtr(HWND hwnd, int index);
// The icon WM_GETICON answers, read without a message (for display backends):
// which is ICON_BIG, ICON_SMALL or ICON_SMALL2.
HICON GetWindowIcon(HWND hwnd, WPARAM which);
LONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value);

// Named values attached to a window.
BOOL SetProp(HWND hwnd, const char* name, void* data);
void* GetProp(HWND hwnd, const char* name);
void* RemoveProp(HWND hwnd, const char* name);

std::string GetClassName(HWND hwnd);
// Text in UTF-8. SetWindowText sends WM_SETTEXT, GetWindowText WM_GETTEXT.
BOOL SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
int GetWindowTextLength(HWND hwnd);

// hwndParent 0 walks the top-level windows (those of other instances after
// ours, see ipc.h), else the children of hwndParent; starts after
// hwndChildAfter; null className or windowName matches any.
HWND FindWindowEx(HWND hwndParent, HWND hwndChildAfter, const char* className,
                  const char* windowName);
HWND FindWindow(const char* className, const char* windowName);

// Parent of a child window, owner of a top-level one.
HWND GetParent(HWND hwnd);
HWND SetParent(HWND hwnd, HWND newParent);
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT cmd);
BOOL IsChild(HWND parent, HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// Sends WM_SHOWWINDOW on a change of visibility; showing a top-level window
// with an activating command makes it the active window. Returns whether it
// was visible before.
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable); // returns whether it was disabled before
BOOL IsWindowEnabled(HWND hwnd);

// Bounds: top-level windows in screen coordinates, children relative to
// their parent's client area. The client area is what WM_NCCALCSIZE leaves
// of the window (by default, the window less its default frame).
BOOL GetWindowRect(HWND hwnd, RECT* rect); // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
constexpr HWND HWND_TOP = 0;
constexpr HWND HWND_BOTTOM = 1;
constexpr HWND HWND_TOPMOST = HWND(-1);
constexpr HWND HWND_NOTOPMOST = HWND(-2);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);

// Activation. WM_ACTIVATE goes to the window losing it (WA_INACTIVE) and to
// the one gaining it (WA_ACTIVE), each on its own thread.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL BringWindowToTop(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
