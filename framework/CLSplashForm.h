// The splash window: a borderless picture shown while the main window is
// made; it closes, and is freed, when another window becomes active.
#pragma once

#include "classlib/forms.h"
#include "framework/PngForm.h"

class TfrmCLSplashForm : public TForm {
public:
    explicit TfrmCLSplashForm(TComponent* AOwner);
    ~TfrmCLSplashForm() override;

    void FormCreate();
    void FormDeactivate();

    TspPngForm* spngfrm1;
    // The picture file shown, empty when none.
    const std::string& PictureFile() const { return FPictureFile; }

private:
    std::string FPictureFile;
};

// The splash window made by the run routine, null once it is freed.
extern TfrmCLSplashForm* frmCLSplashForm;
