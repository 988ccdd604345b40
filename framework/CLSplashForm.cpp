#include "framework/CLSplashForm.h"

#include "classlib/sysutils.h"
#include "framework/SPTools.h"
#include "platform/win/windows.h"

TfrmCLSplashForm* frmCLSplashForm = nullptr;

TfrmCLSplashForm::TfrmCLSplashForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmCLSplashForm");
    BorderStyle = bsNone;
    SetColor(clBlack);
    SetBounds(0, 0, 705, 478);
    spngfrm1 = new TspPngForm(this);
    spngfrm1->SetName("spngfrm1");
    OnDeactivate = [this](TObject*) { FormDeactivate(); };
    // Nothing shows the splash again once it closes: its picture and pixels
    // go with it.
    OnClose = [this](TObject*, TCloseAction& Action) {
        Hide();
        Action = caFree;
    };
    FormCreate();
}

TfrmCLSplashForm::~TfrmCLSplashForm() {
    if (frmCLSplashForm == this) frmCLSplashForm = nullptr;
    OnDeactivate = nullptr;
    OnClose = nullptr;
}

void TfrmCLSplashForm::FormCreate() {
    try {
        for (const char* name : {"oem.splash.png", "res\\images\\splash.png"}) {
            const std::string file = CombinePath(GetAppFolder(), name);
            if (!FileExists(file)) continue;
            spngfrm1->LoadPng(file);
            FPictureFile = file;
            const int w = spngfrm1->PngImage()->Width(), h = spngfrm1->PngImage()->Height();
            SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
            return;
        }
    } catch (const std::exception&) {
        FPictureFile.clear();
    }
    PostMessage(Handle(), WM_CLOSE, 0, 0);
}

void TfrmCLSplashForm::FormDeactivate() {
    PostMessage(Handle(), WM_CLOSE, 0, 0);
}
