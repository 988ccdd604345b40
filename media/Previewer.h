// The preview window of a conversion: a small always-on-top window showing
// the pictures being encoded, captioned with their time; dragging anywhere
// moves it, and once the user closes it it shows nothing more.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/graphics.h"

#include <cstdint>
#include <memory>

class TPreviewer : public TObject {
public:
    TPreviewer();
    ~TPreviewer() override;

    // Shows the picture (from any thread; the window lives on the main
    // thread). False once the user closed the window.
    bool PaintFrame(TBitmap* ABitmap, int AFrameNumber, int64_t APTS);

    bool Closed() const { return FClosed; }
    TForm* Form() const { return FForm.get(); }
    int FrameNumber() const { return FFrameNumber; }
    int64_t PTS() const { return FPTS; }

private:
    void PaintStep();
    void CreateForm();
    void AppMessage(MSG& Msg, bool& Handled);

    std::function<void(MSG&, bool&)> FAppMessage;
    HWND FFormHandle = 0;
    std::unique_ptr<TForm> FForm;
    TImage* FImage = nullptr;
    bool FClosed = false;
    TBitmap* FBitmap = nullptr;
    int FFrameNumber = 0;
    int64_t FPTS = 0;
};
