// Window regions: the part of a window that shows and takes input.
#pragma once

#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

// The window takes ownership of rgn (window coordinates); null removes the
// region. Returns 0 for an unknown window (rgn is then still the caller's).
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the window's region into rgn; RGN_ERROR when it has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);
// The window's region as rectangles, empty when it has none.
std::vector<RECT> GetWindowRegionRects(HWND hwnd);
bool HasWindowRegion(HWND hwnd);
// Called on the window's thread after a top-level window's region changed.
void SetWindowRegionListener(std::function<void(HWND)> listener);
