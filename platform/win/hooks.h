// Hooks: procedures that see the mouse messages of a thread before the
// windows do. A hook installed for a thread runs on that thread only; the
// newest hook runs first and passes on through CallNextHookEx.
#pragma once

#include "platform/win/types.h"

#include <functional>

constexpr int WH_MOUSE = 7;
constexpr int HC_ACTION = 0;

struct MOUSEHOOKSTRUCT {
    POINT pt{};
    HWND hwnd = 0;
    UINT wHitTestCode = 0;
    UINT_PTR dwExtraInfo = 0;
};

using HHOOK = struct HookRecord*;
// code, wParam (the message), lParam (a MOUSEHOOKSTRUCT*); nonzero drops the message.
using HookProcedure = std::function<LRESULT(int code, WPARAM wParam, LPARAM lParam)>;

// threadId 0: the calling thread. Only WH_MOUSE is known; null for others.
HHOOK SetWindowsHookEx(int idHook, HookProcedure proc, HINSTANCE instance, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// From the input delivery: runs the calling thread's mouse hooks for msg at
// a screen point over hwnd; true when a hook took the message.
bool RunMouseHooks(UINT msg, POINT screen, HWND hwnd);
