// Mouse capture, finding the window under a point, and handing input from a
// display backend to the windows as messages.
#pragma once

#include "platform/win/messages.h"
#include "platform/win/types.h"

#include <string>

enum : WPARAM { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008 };
enum : WPARAM { MK_MBUTTON = 0x0010 };
enum : int {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
};

constexpr UINT WM_CAPTURECHANGED = 0x0215;
// Answers to WM_MOUSEACTIVATE (0 counts as activate).
enum : LRESULT {
    MA_ACTIVATE = 1,
    MA_ACTIVATEANDEAT = 2,
    MA_NOACTIVATE = 3,
    MA_NOACTIVATEANDEAT = 4
};

HWND SetCapture(HWND hwnd); // returns the previous capture window
HWND GetCapture();
BOOL ReleaseCapture();

// The deepest visible, enabled-or-not window at a screen point, top-level
// windows in z-order first; 0 when none.
HWND WindowFromPoint(POINT screen);
// The direct child of parent at a client point, parent itself when none.
HWND ChildWindowFromPoint(HWND parent, POINT client);

// From a backend: a mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN, ...,
// WM_MOUSEWHEEL with the wheel delta in wheelDelta) at a screen point goes to
// the capture window or the window under the point, with client coordinates
// (screen ones for the wheel). A button press activates and focuses. Returns
// the window it went to.
//
// surface, when the backend knows it, is the top-level window whose surface
// took the event: a press goes to it (the display decides what is on top),
// other messages too while the point lies on it. A window that is disabled,
// or inside a disabled one, takes no input: a press on it brings forward
// the window that holds it disabled (its modal dialog).
HWND DeliverMouse(UINT msg, POINT screen, WPARAM keys, int wheelDelta = 0, HWND surface = 0);
// From a backend: key down or up for the focus window (or the active one);
// a printable character follows a key down as WM_CHAR unless noChar. With a
// surface (the top-level window the display gave the key to), a focus
// outside it first moves there by activating it. Keys for a window inside a
// disabled one are dropped.
HWND DeliverKey(bool down, int virtualKey, char32_t character, HWND surface = 0,
                bool noChar = false);
// From a backend: text an input method composed, as WM_CHAR messages to the
// focus window.
HWND DeliverText(const std::u32string& text, HWND surface = 0);

// The highest window that can be activated and is owned (directly or not)
// by hwnd, hwnd itself when none.
HWND GetLastActivePopup(HWND hwnd);
// From a backend: the display (its window manager) activated hwnd. A
// disabled window hands the activation to its modal dialog, which the display
// is asked to bring forward. Returns the window activated, 0 when none.
HWND ActivateFromDisplay(HWND hwnd);
// From a backend: none of the program's windows is active on the display.
void DeactivateFromDisplay();
