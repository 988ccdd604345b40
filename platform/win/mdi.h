// The MDI client window: the area of a main window in which child windows
// live. It keeps the active child, activates children, maximizes, restores
// and minimizes them inside its own area and arranges them.
//
// Messages to the client (wParam, lParam):
//   WM_MDIACTIVATE (child, 0)     makes the child the active one
//   WM_MDIGETACTIVE (0, BOOL*)    answers the active child; *lParam: maximized
//   WM_MDINEXT (child or 0, prev) activates the next (prev 0) or previous child
//   WM_MDIMAXIMIZE / WM_MDIRESTORE (child, 0)
//   WM_MDICASCADE, WM_MDITILE (MDITILE_*, 0), WM_MDIICONARRANGE
//   WM_MDIDESTROY (child, 0)      destroys the child
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"
#include "platform/win/types.h"

#include <vector>

constexpr UINT WM_MDIDESTROY = 0x0221;
constexpr UINT WM_MDIACTIVATE = 0x0222;
constexpr UINT WM_MDIRESTORE = 0x0223;
constexpr UINT WM_MDINEXT = 0x0224;
constexpr UINT WM_MDIMAXIMIZE = 0x0225;
constexpr UINT WM_MDITILE = 0x0226;
constexpr UINT WM_MDICASCADE = 0x0227;
constexpr UINT WM_MDIICONARRANGE = 0x0228;
constexpr UINT WM_MDIGETACTIVE = 0x0229;
constexpr WPARAM MDITILE_VERTICAL = 0;
constexpr WPARAM MDITILE_HORIZONTAL = 1;

// The window class of client windows.
extern const char* const kMDIClientClass;

// A visible client window filling (x, y, w, h) of the frame's client area.
HWND CreateMDIClient(HWND frame, int x, int y, int width, int height);
BOOL IsMDIClient(HWND hwnd);
// The client a child window lives in; 0 when it is no MDI child.
HWND MDIClientOf(HWND child);
// The client's children, top of the z-order first.
std::vector<HWND> MDIChildWindows(HWND client);
// A child that is hidden or destroyed leaves the activation to the next one.
void MDIChildGone(HWND client, HWND child);
// Minimizes a child to a caption-sized bar at the client's bottom.
void MDIMinimize(HWND client, HWND child);
// Size of a minimized child.
SIZE MDIMinimizedSize();
