// The focus repair: when the application becomes active again with a browser
// as a form's active control, that browser gets its document's focus back.
#pragma once

#include "classlib/controls.h"

class TForm;

// The control a form has active.
TWinControl* ActiveControlOf(TForm* Form);

class TAppHookWindow : public TWinControl {
public:
    explicit TAppHookWindow(TComponent* AOwner);
    ~TAppHookWindow() override;
    void Activate();
    void Deactivate();
    bool FHookSet = false;
    // The focus procedure on the application window's messages.
    static void FocusProcedure(UINT Msg);

private:
    int FHookId = 0;
};

class TWBFocusControl {
public:
    static void Activate(bool Value);
    static bool Active();

private:
    TWBFocusControl();
    ~TWBFocusControl();
};
