// Layered windows: a constant opacity or colour key for the whole window, or
// per-pixel alpha pictures handed over with UpdateLayeredWindow.
#pragma once

#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

enum : DWORD { LWA_COLORKEY = 0x1, LWA_ALPHA = 0x2 };
enum : DWORD { ULW_COLORKEY = 0x1, ULW_ALPHA = 0x2, ULW_OPAQUE = 0x4 };

// The window must carry WS_EX_LAYERED; answers 0 otherwise.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags);
// Moves and sizes the window (when pptDst, psize are given) and takes its
// picture from hdcSrc at pptSrc, keeping the source's alpha (ULW_ALPHA) under
// the blend's constant alpha. The alpha is straight: colours are not
// premultiplied. Such a window is no longer painted through WM_PAINT.
BOOL UpdateLayeredWindow(HWND hwnd, HDC hdcDst, const POINT* pptDst, const SIZE* psize, HDC hdcSrc,
                         const POINT* pptSrc, COLORREF key, const BLENDFUNCTION* blend,
                         DWORD flags);

struct LayeredState {
    bool layered = false;  // attributes or a picture were given
    bool perPixel = false; // the picture's alpha counts
    BYTE alpha = 255;      // constant opacity
    COLORREF key = 0;
    DWORD flags = 0;
};
LayeredState GetLayeredState(HWND hwnd);
// Called after a window's layered state changed.
void SetLayeredListener(std::function<void(HWND)> listener);
