// Timers of the window layer. A timer belongs to its window's thread (or the
// calling thread for hwnd 0) and shows up as WM_TIMER when that thread's loop
// finds no other work and the timer is due; due times come from the loop
// clock (os::CurrentClock), so a test clock drives them.
#pragma once

#include "platform/win/types.h"

// hwnd 0 with id 0 makes a new id; an existing (hwnd, id) is reset. With a
// procedure, DispatchMessage calls it instead of the window's procedure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
