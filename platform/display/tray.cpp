#include "platform/display/tray.h"

#include "platform/display/headless.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"

#include <cstdio>
#include <mutex>

namespace display {
namespace {

struct TrayHolder {
    std::mutex lock;
    std::unique_ptr<TrayHost> host;
};

TrayHolder& Holder() {
    static TrayHolder h;
    return h;
}

} // namespace

bool TrayStandIn::Add(const TrayIconData& icon) {
    auto key = std::make_pair(icon.owner, icon.id);
    if (icons_.count(key)) return false;
    icons_[key] = icon;
    return true;
}

bool TrayStandIn::Modify(const TrayIconData& icon) {
    auto it = icons_.find(std::make_pair(icon.owner, icon.id));
    if (it == icons_.end()) return false;
    it->second = icon;
    return true;
}

bool TrayStandIn::Remove(HWND owner, UINT id) {
    balloons_.erase(std::make_pair(owner, id));
    return icons_.erase(std::make_pair(owner, id)) > 0;
}

bool TrayStandIn::ShowBalloon(HWND owner, UINT id, const TrayBalloon& balloon) {
    auto key = std::make_pair(owner, id);
    if (!icons_.count(key)) return false;
    if (balloon.text.empty())
        balloons_.erase(key);
    else
        balloons_[key] = balloon;
    return true;
}

bool TrayStandIn::HideBalloon(HWND owner, UINT id) {
    auto key = std::make_pair(owner, id);
    if (!icons_.count(key)) return false;
    balloons_.erase(key);
    return true;
}

std::optional<TrayIconData> TrayStandIn::Find(HWND owner, UINT id) const {
    auto it = icons_.find(std::make_pair(owner, id));
    if (it == icons_.end()) return std::nullopt;
    return it->second;
}

std::optional<TrayBalloon> TrayStandIn::Balloon(HWND owner, UINT id) const {
    auto it = balloons_.find(std::make_pair(owner, id));
    if (it == balloons_.end()) return std::nullopt;
    return it->second;
}

void TrayStandIn::Click(HWND owner, UINT id, UINT mouseMessage) {
    auto it = icons_.find(std::make_pair(owner, id));
    if (it == icons_.end()) return;
    PostMessage(owner, it->second.callbackMessage, WPARAM(id), LPARAM(mouseMessage));
}

UINT TrayClicks::Press(unsigned button, uint32_t timeMs, uint32_t doubleClickMs) {
    const bool dbl = armed_ && button == lastButton_ && timeMs - lastPress_ <= doubleClickMs;
    lastButton_ = button;
    lastPress_ = timeMs;
    armed_ = !dbl; // a third press starts over
    switch (button) {
    case 1:
        return dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    case 2:
        return WM_MBUTTONDOWN;
    case 3:
        return WM_RBUTTONDOWN;
    default:
        return 0;
    }
}

UINT TrayClicks::Release(unsigned button) const {
    switch (button) {
    case 1:
        return WM_LBUTTONUP;
    case 2:
        return WM_MBUTTONUP;
    case 3:
        return WM_RBUTTONUP;
    default:
        return 0;
    }
}

TrayHost& CurrentTray() {
    TrayHolder& h = Holder();
    std::lock_guard<std::mutex> g(h.lock);
    if (!h.host) {
        if (!CurrentHeadless()) h.host = CreateDesktopTray();
        if (h.host) {
            std::fprintf(stderr, "lantrove: tray icons go to the %s\n", h.host->Name());
        } else {
            // Under the headless display the stand-in is the notification
            // area tests click; on a desktop without one, icons show nowhere.
            h.host = std::make_unique<TrayStandIn>(CurrentHeadless() != nullptr);
            std::fprintf(stderr, "lantrove: no notification area; tray icons go to a stand-in\n");
        }
    }
    return *h.host;
}

TrayStandIn* CurrentTrayStandIn() {
    return dynamic_cast<TrayStandIn*>(&CurrentTray());
}

void InstallTray(std::unique_ptr<TrayHost> host) {
    TrayHolder& h = Holder();
    std::lock_guard<std::mutex> g(h.lock);
    h.host = std::move(host);
}

} // namespace display
