// A component that raises OnTimer every Interval milliseconds while Enabled,
// on the thread that created it (through that thread's loop).
#pragma once

#include "classlib/controls.h"

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    unsigned Interval() const { return FInterval; }
    // 0 stops the timer (it stays Enabled).
    void SetInterval(unsigned Value);
    TNotifyEvent OnTimer() const { return FOnTimer; }
    // Without a handler the timer does not run.
    void SetOnTimer(TNotifyEvent Value);

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    bool FEnabled = true;
    unsigned FInterval = 1000;
    TNotifyEvent FOnTimer;
    HWND FWindowHandle = 0;
};
