// Icons of the notification area in the shape the tray component expects, and
// the icon handles they carry (32-bit pictures of ours).
#pragma once

#include "platform/win/types.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr DWORD NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x01, NIF_ICON = 0x02, NIF_TIP = 0x04, NIF_INFO = 0x10;
constexpr DWORD NIIF_NONE = 0, NIIF_INFO = 1, NIIF_WARNING = 2, NIIF_ERROR = 3;

struct NOTIFYICONDATAW {
    DWORD cbSize = 956;
    HWND hWnd = 0;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    std::u16string szTip;       // at most 127 units are used
    std::u16string szInfo;      // at most 255
    std::u16string szInfoTitle; // at most 63
    DWORD dwInfoFlags = 0;
};

// Hands the record to the notification area; false when it refuses.
BOOL Shell_NotifyIconW(DWORD dwMessage, NOTIFYICONDATAW* lpData);

// An icon from a picture, top row first, 0xAARRGGBB; DestroyIcon frees it.
HICON CreateIconFromPixels(int Width, int Height, const uint32_t* Argb);
// Whether the desktop shows tray icons anywhere (a notification area exists).
bool NotificationAreaShown();
BOOL DestroyIcon(HICON Icon);
// The picture of an icon; false for an unknown handle.
bool GetIconPixels(HICON Icon, int& Width, int& Height, std::vector<uint32_t>& Argb);
