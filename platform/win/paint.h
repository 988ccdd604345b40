// Painting: update regions, WM_PAINT and WM_ERASEBKGND, device contexts of
// windows over the surfaces of their top-level windows, and rendering a
// window into a bitmap.
#pragma once

#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = 0;
    RECT rcPaint;
};

enum : UINT {
    RDW_INVALIDATE = 0x0001,
    RDW_INTERNALPAINT = 0x0002,
    RDW_ERASE = 0x0004,
    RDW_VALIDATE = 0x0008,
    RDW_NOINTERNALPAINT = 0x0010,
    RDW_NOERASE = 0x0020,
    RDW_NOCHILDREN = 0x0040,
    RDW_ALLCHILDREN = 0x0080,
    RDW_UPDATENOW = 0x0100,
    RDW_ERASENOW = 0x0200,
    RDW_FRAME = 0x0400,
    RDW_NOFRAME = 0x0800,
};

// Rectangles in client coordinates; null means the whole client area.
// Invalidating a window invalidates the children it overlaps as well.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN rgn);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase);
// Sends WM_PAINT to the window and then its children while they have
// something to paint.
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags);
// Paints a shown top-level window and its children and has the display put
// it on the screen before returning, for a window that is up while its
// thread is busy elsewhere.
void ShowWindowNow(HWND hwnd);

// BeginPaint validates the update region, clips the device context to it and
// sends WM_ERASEBKGND when an erase was asked for.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// The client area's device context; hwnd 0 gives the screen's.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// Default handling of WM_PAINT (validates) and WM_ERASEBKGND (fills with the
// class brush; answers 1 when it erased).
LRESULT DefPaintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The pixels of a top-level window (its surface, made on first use at the
// window's size); null for child windows and unknown handles.
HBITMAP GetWindowSurface(HWND topLevel);
// Paints the whole window now and returns a copy of its pixels as a 32-bit
// bitmap of the window's size (the caller deletes it); null when the window
// is unknown. Child windows are taken from their top-level window's surface.
HBITMAP RenderWindowToBitmap(HWND hwnd);
// The screen area as it shows: the visible top-level windows composed from
// the bottom over black, each cut to its window region. Layered windows blend
// by their constant alpha and, for pictures given with per-pixel alpha, by
// each pixel's alpha (straight, not premultiplied); a layered window given
// neither attributes nor a picture does not show. The caller deletes the
// 32-bit result.
HBITMAP RenderScreenToBitmap(const RECT& area);
// Called with the top-level window and the changed rectangle (window
// coordinates) after painting into its surface; the display backend shows it.
void SetSurfacePresenter(std::function<void(HWND, const RECT&)> presenter);

namespace winimpl {
// The first window of the thread (matching the filter like GetMessage does)
// that waits for WM_PAINT, parents before children; 0 when none.
HWND PaintPendingFor(DWORD threadId, HWND filter);
} // namespace winimpl

// WM_PRINT flags: what to draw into the DC in wParam.
enum : LPARAM {
    PRF_CHECKVISIBLE = 0x0001,
    PRF_NONCLIENT = 0x0002,
    PRF_CLIENT = 0x0004,
    PRF_ERASEBKGND = 0x0008,
    PRF_CHILDREN = 0x0010,
    PRF_OWNED = 0x0020,
};
// Default WM_PRINT: the frame (PRF_NONCLIENT), WM_ERASEBKGND (PRF_ERASEBKGND)
// and WM_PRINTCLIENT (PRF_CLIENT) with the origin moved to the client area,
// then the visible children (PRF_CHILDREN), each at its place.
LRESULT DefPrintProc(HWND hwnd, HDC dc, LPARAM flags);

namespace winimpl {
// WM_SETREDRAW: while off, invalidating the window does nothing.
void SetRedraw(HWND hwnd, bool on);
bool RedrawAllowed(HWND hwnd);
// Drops the update region and surface of a window being destroyed.
void ForgetPaintState(HWND hwnd);
} // namespace winimpl
