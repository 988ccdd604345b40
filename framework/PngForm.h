// Turns its form into a borderless window drawn from a PNG picture with
// per-pixel transparency, under a constant opacity for the whole window.
#pragma once

#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "skin/engine/sppngimagelist.h"

#include <cstdint>
#include <memory>

class TspPngForm : public TComponent {
public:
    // The owner must be a form (EInvalidCast "Form only" otherwise).
    explicit TspPngForm(TComponent* AOwner);
    ~TspPngForm() override;

    void LoadPng(const std::string& strFileName);
    TspPngImage* PngImage() const { return FPngImage.get(); }
    void SetPngImage(TspPngImage* Value); // copies the picture
    int32_t AlphaDegeri() const { return FAlphaDegeri; }
    void SetAlphaDegeri(int32_t Value);
    // Drops the bitmap made from the picture and repaints.
    void DataUpdated();
    void Loaded() override;

private:
    void WndProc(TMessage& Message);
    void DrawLayered();

    int32_t FAlphaDegeri = 255;
    std::unique_ptr<TspPngImage> FPngImage;
    std::unique_ptr<TBitmap> FBitmap;
    HWND Fhandle = 0;
    TControl* FForm = nullptr;
    TWndMethod OldWndProc;
};
