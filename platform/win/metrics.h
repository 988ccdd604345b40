// System metrics, the screen's work area and monitors.
#pragma once

#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDLGFRAME = 7,
    SM_CYDLGFRAME = 8,
    SM_CXFIXEDFRAME = 7,
    SM_CYFIXEDFRAME = 8,
    SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CXCURSOR = 13,
    SM_CYCURSOR = 14,
    SM_CYMENU = 15,
    SM_CXFULLSCREEN = 16,
    SM_CYFULLSCREEN = 17,
    SM_MOUSEPRESENT = 19,
    SM_CYVSCROLL = 20,
    SM_CXHSCROLL = 21,
    SM_SWAPBUTTON = 23,
    SM_CXMIN = 28,
    SM_CYMIN = 29,
    SM_CXSIZE = 30,
    SM_CYSIZE = 31,
    SM_CXFRAME = 32,
    SM_CYFRAME = 33,
    SM_CXSIZEFRAME = 32,
    SM_CYSIZEFRAME = 33,
    SM_CXMINTRACK = 34,
    SM_CYMINTRACK = 35,
    SM_CXDOUBLECLK = 36,
    SM_CYDOUBLECLK = 37,
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
    SM_CYSMCAPTION = 51,
    SM_CXSMSIZE = 52,
    SM_CYSMSIZE = 53,
    SM_CXMENUSIZE = 54,
    SM_CYMENUSIZE = 55,
    SM_CXMAXTRACK = 59,
    SM_CYMAXTRACK = 60,
    SM_CXMAXIMIZED = 61,
    SM_CYMAXIMIZED = 62,
    SM_CXDRAG = 68,
    SM_CYDRAG = 69,
    SM_CXMENUCHECK = 71,
    SM_XVIRTUALSCREEN = 76,
    SM_YVIRTUALSCREEN = 77,
    SM_CXVIRTUALSCREEN = 78,
    SM_CYVIRTUALSCREEN = 79,
    SM_CMONITORS = 80,
};
enum : UINT { SPI_GETWORKAREA = 0x0030 };
enum : DWORD {
    MONITOR_DEFAULTTONULL = 0,
    MONITOR_DEFAULTTOPRIMARY = 1,
    MONITOR_DEFAULTTONEAREST = 2
};
enum : DWORD { MONITORINFOF_PRIMARY = 1 };

using HMONITOR = std::uintptr_t; // 1-based index of a monitor, 0 for none

struct MONITORINFO {
    DWORD cbSize = 40;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags = 0;
};

int GetSystemMetrics(int index);
// The longest time between the clicks of a double click, in ms: 500 until the
// display backend reports the desktop's own.
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT ms);
// SPI_GETWORKAREA fills the RECT at pvParam; other actions answer FALSE.
BOOL SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT winIni);

HMONITOR MonitorFromWindow(HWND wnd, DWORD flags);
HMONITOR MonitorFromPoint(POINT pt, DWORD flags);
HMONITOR MonitorFromRect(const RECT* r, DWORD flags);
// FALSE for an unknown monitor or a record whose cbSize is below 40.
BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);

// What the display backend reports; the first monitor is the primary one.
// Without a report there is one monitor of the drawing layer's screen size.
struct MonitorDesc {
    RECT bounds;
    RECT work;
};
void SetMonitors(const std::vector<MonitorDesc>& monitors);
std::vector<MonitorDesc> GetMonitors();
