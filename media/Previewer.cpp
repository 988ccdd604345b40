#include "media/Previewer.h"

#include "media/FFUtils.h"
#include "media/MyUtils.h"
#include "platform/win/input.h"
#include "platform/win/windows.h"

namespace {

constexpr UINT kLeftButtonDown = 513;
constexpr WPARAM kCaptionHit = 2;

} // namespace

TPreviewer::TPreviewer() = default;

TPreviewer::~TPreviewer() {
    MyUtils::CallInMainThread([this] {
        if (!FForm) return;
        if (Application) Application->OnMessage = FAppMessage;
        FForm.reset();
    });
}

bool TPreviewer::PaintFrame(TBitmap* ABitmap, int AFrameNumber, int64_t APTS) {
    if (!FClosed) {
        FBitmap = ABitmap;
        FFrameNumber = AFrameNumber;
        FPTS = APTS;
        MyUtils::CallInMainThread([this] { PaintStep(); });
    }
    return !FClosed;
}

void TPreviewer::CreateForm() {
    FForm = std::make_unique<TForm>(nullptr);
    FForm->BorderStyle = bsToolWindow;
    FForm->Handle(); // the frame's size is known once the window exists
    FForm->OnCloseQuery = [this](TObject*, bool&) { FClosed = true; };
    FImage = new TImage(FForm.get());
    FImage->SetParent(FForm.get());
    FImage->SetAlign(alClient);
    const int w = FBitmap->Width(), h = FBitmap->Height();
    FForm->SetBounds(0, 0, w, h);
    const int dx = FForm->Width() - FForm->ClientWidth();
    const int dy = FForm->Height() - FForm->ClientHeight();
    FForm->SetBounds((Screen->Width() - w - dx) / 2, (Screen->Height() - h - dy) / 2, w + dx,
                     h + dy);
    FFormHandle = FForm->Handle();
    SetWindowPos(FFormHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FAppMessage = Application->OnMessage;
    Application->OnMessage = [this](MSG& Msg, bool& Handled) { AppMessage(Msg, Handled); };
    FForm->Show();
}

void TPreviewer::PaintStep() {
    if (FClosed || !FBitmap) return;
    if (!FForm) CreateForm();
    if (!FForm->Visible()) FForm->Show();
    FForm->SetCaption(FormatTimeText(FPTS));
    FImage->Picture()->Bitmap()->Assign(FBitmap);
    FImage->Invalidate();
}

void TPreviewer::AppMessage(MSG& Msg, bool& Handled) {
    if (Msg.message == kLeftButtonDown && Msg.hwnd == FFormHandle) {
        ReleaseCapture();
        SendMessage(FFormHandle, WM_NCLBUTTONDOWN, kCaptionHit, MAKELPARAM(Msg.pt.x, Msg.pt.y));
        Handled = true;
        return;
    }
    if (FAppMessage) FAppMessage(Msg, Handled);
}
