#include "platform/win/shellnotify.h"

#include "platform/display/tray.h"
#include "platform/os/codepage.h"

#include <memory>
#include <mutex>
#include <set>

namespace {

struct IconImage {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
};

std::mutex& IconLock() {
    static std::mutex m;
    return m;
}

std::set<IconImage*>& Icons() {
    static std::set<IconImage*> s;
    return s;
}

std::string Cut(const std::u16string& s, size_t max) {
    return Utf16ToUtf8(s.substr(0, std::min(s.size(), max)));
}

} // namespace

HICON CreateIconFromPixels(int Width, int Height, const uint32_t* Argb) {
    if (Width <= 0 || Height <= 0 || !Argb) return nullptr;
    auto* img = new IconImage{Width, Height, std::vector<uint32_t>(Argb, Argb + Width * Height)};
    std::lock_guard<std::mutex> g(IconLock());
    Icons().insert(img);
    return img;
}

BOOL DestroyIcon(HICON Icon) {
    auto* img = static_cast<IconImage*>(Icon);
    std::lock_guard<std::mutex> g(IconLock());
    if (!Icons().erase(img)) return 0;
    delete img;
    return 1;
}

bool GetIconPixels(HICON Icon, int& Width, int& Height, std::vector<uint32_t>& Argb) {
    auto* img = static_cast<IconImage*>(Icon);
    std::lock_guard<std::mutex> g(IconLock());
    if (!Icons().count(img)) return false;
    Width = img->width;
    Height = img->height;
    Argb = img->argb;
    return true;
}

bool NotificationAreaShown() {
    return display::CurrentTray().Shown();
}

BOOL Shell_NotifyIconW(DWORD dwMessage, NOTIFYICONDATAW* lpData) {
    if (!lpData) return 0;
    display::TrayHost& host = display::CurrentTray();
    if (dwMessage == NIM_DELETE) return host.Remove(lpData->hWnd, lpData->uID);
    display::TrayIconData d;
    d.owner = lpData->hWnd;
    d.id = lpData->uID;
    if (lpData->uFlags & NIF_MESSAGE) d.callbackMessage = lpData->uCallbackMessage;
    if (lpData->uFlags & NIF_ICON) GetIconPixels(lpData->hIcon, d.width, d.height, d.argb);
    if (lpData->uFlags & NIF_TIP) d.tip = Cut(lpData->szTip, 127);
    bool ok = dwMessage == NIM_ADD ? host.Add(d) : host.Modify(d);
    if (ok && (lpData->uFlags & NIF_INFO)) {
        display::TrayBalloon b{Cut(lpData->szInfoTitle, 63), Cut(lpData->szInfo, 255),
                               int(lpData->dwInfoFlags)};
        ok = host.ShowBalloon(lpData->hWnd, lpData->uID, b);
    }
    return ok ? 1 : 0;
}
