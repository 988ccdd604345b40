#include "framework/PngForm.h"

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "platform/win/layered.h"
#include "platform/win/paint.h"
#include "platform/win/windows.h"

TspPngForm::TspPngForm(TComponent* AOwner) : TComponent(AOwner) {
    auto* form = dynamic_cast<TForm*>(AOwner);
    if (!form) throw EInvalidCast("Form only");
    FForm = form;
    Fhandle = form->Handle();
    FPngImage = std::make_unique<TspPngImage>();
    form->BorderStyle = bsNone;
    FAlphaDegeri = 255;
    OldWndProc = form->WindowProc;
    form->WindowProc = [this](TMessage& m) { WndProc(m); };
}

TspPngForm::~TspPngForm() {
    FBitmap.reset();
    FPngImage.reset();
    if (FForm) FForm->WindowProc = OldWndProc;
}

void TspPngForm::WndProc(TMessage& Message) {
    if (!HasState(csDesigning)) {
        if (Message.Msg == WM_PAINT) {
            DrawLayered();
        } else if (Message.Msg == WM_ERASEBKGND) {
            Message.Result = 1;
            return;
        }
    }
    OldWndProc(Message);
}

void TspPngForm::DrawLayered() {
    if (!Fhandle || !FPngImage || FPngImage->Width() == 0 || FPngImage->Height() == 0) return;
    const LONG_PTR ex = GetWindowLongPtr(Fhandle, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED)) SetWindowLongPtr(Fhandle, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    if (!FBitmap) {
        const int w = FPngImage->Width(), h = FPngImage->Height();
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->SetPixelFormat(pf32bit);
        FBitmap->SetSize(w, h);
        for (int y = 0; y < h; ++y) {
            uint8_t* out = FBitmap->ScanLine(y);
            const uint8_t* rgb = FPngImage->Scanline(y);
            const uint8_t* alpha = FPngImage->AlphaScanline(y);
            for (int x = 0; x < w; ++x) {
                out[x * 4 + 0] = rgb[x * 3 + 0];
                out[x * 4 + 1] = rgb[x * 3 + 1];
                out[x * 4 + 2] = rgb[x * 3 + 2];
                out[x * 4 + 3] = alpha ? alpha[x] : 255;
            }
        }
        auto* form = static_cast<TForm*>(FForm);
        const int dx = form->Width() - form->ClientWidth();
        const int dy = form->Height() - form->ClientHeight();
        form->SetBounds(form->Left(), form->Top(), w + dx, h + dy);
    }
    POINT src{0, 0};
    SIZE size{FBitmap->Width(), FBitmap->Height()};
    BLENDFUNCTION blend;
    blend.BlendOp = AC_SRC_OVER;
    blend.SourceConstantAlpha = BYTE(FAlphaDegeri & 0xFF);
    blend.AlphaFormat = AC_SRC_ALPHA;
    UpdateLayeredWindow(Fhandle, 0, nullptr, &size, FBitmap->Canvas()->Handle(), &src, 0, &blend,
                        ULW_ALPHA);
}

void TspPngForm::LoadPng(const std::string& strFileName) {
    FPngImage->LoadFromFile(strFileName);
    DataUpdated();
}

void TspPngForm::SetPngImage(TspPngImage* Value) {
    if (Value)
        FPngImage->Assign(Value);
    else
        FPngImage = std::make_unique<TspPngImage>();
    DataUpdated();
}

void TspPngForm::SetAlphaDegeri(int32_t Value) {
    FAlphaDegeri = Value;
    if (Fhandle) InvalidateRect(Fhandle, nullptr, 1);
}

void TspPngForm::DataUpdated() {
    FBitmap.reset();
    if (Fhandle) InvalidateRect(Fhandle, nullptr, 1);
}

void TspPngForm::Loaded() {
    TComponent::Loaded();
    DataUpdated();
}
