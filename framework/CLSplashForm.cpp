#include "framework/CLSplashForm.h"

#include "classlib/sysutils.h"
#include "framework/SPTools.h"
#include "platform/os/process.h"
#include "platform/win/timers.h"
#include "platform/win/windows.h"

TfrmCLSplashForm* frmCLSplashForm = nullptr;

namespace {

constexpr UINT kSettleMs = 1000;

void ReleaseStartupMemory(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(0, Id);
    os::ReleaseFreeMemory();
}

} // namespace

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
    // Start-up ends about when the splash goes: once the main window's first
    // pages have settled, what the splash's pictures and the start-up's
    // temporary buffers held goes back to the system.
    SetTimer(0, 0, kSettleMs, ReleaseStartupMemory);
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
