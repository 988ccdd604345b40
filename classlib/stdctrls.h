// Plain standard controls that draw themselves with the device-context layer:
// a panel (a raised face with a centred caption) and a push button.
#pragma once

#include "classlib/controls.h"

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* AOwner);
    void WndProc(TMessage& Message) override;

protected:
    // Draws the whole control into a client device context.
    virtual void Paint(HDC dc, const RECT& client);
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    void WndProc(TMessage& Message) override;
    // Runs OnClick (a release of the left button over the button, or space
    // or enter while it has the focus) and sets the form's ModalResult.
    void Click() override;
    bool Pressed() const { return FPressed; }

    // Enter anywhere on the form clicks the default button, Escape the cancel one.
    bool Default = false;
    bool Cancel = false;
    int ModalResult = 0;

protected:
    virtual void Paint(HDC dc, const RECT& client);

private:
    void SetPressed(bool Value);
    bool FPressed = false;
};
