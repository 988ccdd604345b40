// The notification area: icons with a tool tip and balloon texts, and the
// clicks on them. A host posts the icon's callback message to its owner window
// with wParam = the icon's id and lParam = the mouse message (WM_LBUTTONDOWN,
// WM_RBUTTONUP, ...) or kTrayBalloonClicked.
//
// Hosts: StatusNotifierItem over D-Bus where the desktop offers a watcher, the
// X11 system tray otherwise, and a stand-in (headless, or where the desktop
// has neither) that keeps what it is given for tests to read and click.
#pragma once

#include "platform/win/types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace display {

constexpr LPARAM kTrayBalloonClicked = 0x405;

struct TrayIconData {
    HWND owner = 0;
    UINT id = 0;
    UINT callbackMessage = 0;
    // The picture, top row first, 0xAARRGGBB; empty for none.
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    std::string tip;
};

struct TrayBalloon {
    std::string title, text;
    int flags = 0; // 0 none, 1 information, 2 warning, 3 error
};

class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual const char* Name() const = 0;
    virtual bool Add(const TrayIconData& icon) = 0;
    virtual bool Modify(const TrayIconData& icon) = 0;
    virtual bool Remove(HWND owner, UINT id) = 0;
    virtual bool ShowBalloon(HWND owner, UINT id, const TrayBalloon& balloon) = 0;
    virtual bool HideBalloon(HWND owner, UINT id) = 0;
    // Whether the icons are shown anywhere a person can click them.
    virtual bool Shown() const { return true; }
};

// Keeps the icons it is given; nothing is shown anywhere.
class TrayStandIn : public TrayHost {
public:
    // shown: whether it stands for a notification area (tests) or for none
    // (a desktop without one).
    explicit TrayStandIn(bool shown = true) : shown_(shown) {}
    const char* Name() const override { return "stand-in"; }
    bool Shown() const override { return shown_; }
    bool Add(const TrayIconData& icon) override;
    bool Modify(const TrayIconData& icon) override;
    bool Remove(HWND owner, UINT id) override;
    bool ShowBalloon(HWND owner, UINT id, const TrayBalloon& balloon) override;
    bool HideBalloon(HWND owner, UINT id) override;

    std::optional<TrayIconData> Find(HWND owner, UINT id) const;
    std::optional<TrayBalloon> Balloon(HWND owner, UINT id) const;
    size_t Count() const { return icons_.size(); }
    // Stands in for the user: posts the icon's callback message.
    void Click(HWND owner, UINT id, UINT mouseMessage);

private:
    std::map<std::pair<HWND, UINT>, TrayIconData> icons_;
    std::map<std::pair<HWND, UINT>, TrayBalloon> balloons_;
    bool shown_;
};

// Turns a host's button presses and releases (button 1 left, 2 middle, 3
// right; times in ms) into the notification area's mouse messages: a second
// press of the same button within the double-click time is the double click,
// so a double click reads down, up, double click, up. 0: no message.
class TrayClicks {
public:
    UINT Press(unsigned button, uint32_t timeMs, uint32_t doubleClickMs);
    UINT Release(unsigned button) const;

private:
    unsigned lastButton_ = 0;
    bool armed_ = false; // the last press may begin a double click
    uint32_t lastPress_ = 0;
};

// The host in force: chosen on first use from the display backend (the
// stand-in under the headless backend and where the desktop offers no
// notification area, which is written to the log).
TrayHost& CurrentTray();
// The stand-in when it is the host in force, else null.
TrayStandIn* CurrentTrayStandIn();
// Replaces the host (null: choose again on next use).
void InstallTray(std::unique_ptr<TrayHost> host);

// Under the GTK backend: a StatusNotifierItem host when a watcher runs, else
// an X11 system tray host when a tray manager runs, else null. Either takes
// the desktop's double-click time for the window layer.
std::unique_ptr<TrayHost> CreateDesktopTray();

} // namespace display
