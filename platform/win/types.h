// Basic types of the window layer: handles, message parameters, the message
// record, window classes and procedures.
#pragma once

#include "platform/gdi/types.h"

#include <cstdint>

// Window handles are process-local numbers; 0 is no window. Other instances'
// windows get local numbers too (see platform/win/ipc.h).
using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = std::uint16_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using HINSTANCE = void*;
using HICON = void*;
using HCURSOR = void*;

using WNDPROC = LRESULT (*)(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND hWnd, UINT Msg, UINT_PTR idEvent, DWORD dwTime);

struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt{};
};

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008, CS_SAVEBITS = 0x0800,
               CS_DROPSHADOW = 0x20000;

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

// The WM_COPYDATA record; lpData points at cbData bytes.
struct COPYDATASTRUCT {
    UINT_PTR dwData = 0;
    DWORD cbData = 0;
    const void* lpData = nullptr;
};

// The record behind the lParam of WM_CREATE and WM_NCCREATE.
struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HWND hwndParent = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;
    DWORD dwExStyle = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
};

// The record of WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED: where a window
// goes; a handler of the first may change it.
struct WINDOWPOS {
    HWND hwnd = 0;
    HWND hwndInsertAfter = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

// The header every WM_NOTIFY record starts with.
struct NMHDR {
    HWND hwndFrom = 0;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

constexpr WORD LOWORD(std::uintptr_t v) {
    return WORD(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return WORD((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return LPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16));
}
