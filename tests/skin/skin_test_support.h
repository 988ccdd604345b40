// Helpers the skin tests share: a borderless top-level window painted one
// colour (what the controls under test sit on), the Default skin as the
// program ships it, and lookups of its elements and picture pixels.
#pragma once

#include <memory>
#include <string>

#include "classlib/controls.h"
#include "classlib/graphics.h"
#include "skin/engine/SkinData.h"

namespace skintest {

class PopupHost : public TCustomControl {
public:
    PopupHost(int W, int H, TColor Fill) : TCustomControl(nullptr), FFill(Fill) {
        SetBounds(0, 0, W, H);
        HandleNeeded();
        ShowWindow(Handle(), SW_SHOWNA);
    }

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomControl::CreateParams(Params);
        Params.Style = WS_POPUP;
    }
    void Paint() override {
        Canvas()->Brush()->SetColor(FFill);
        Canvas()->FillRect(TRect(0, 0, Width(), Height()));
    }

private:
    TColor FFill;
};

inline std::string DefaultSkinFile() {
    return std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn";
}

// A fresh copy of the Default skin; each test file keeps its own.
inline std::unique_ptr<TspSkinData> LoadDefaultSkin() {
    auto d = std::make_unique<TspSkinData>(nullptr);
    d->LoadFromCompressedFile(DefaultSkinFile());
    return d;
}

template <class T> T* Element(TspSkinData& sd, const std::string& name) {
    int i = sd.GetControlIndex(name);
    return i < 0 ? nullptr : dynamic_cast<T*>(sd.CtrlList[size_t(i)].get());
}

inline COLORREF PicturePixel(TspSkinData& sd, int picture, int x, int y) {
    return ColorToRGB(sd.FActivePictures[size_t(picture)]->Canvas()->Pixels(x, y));
}

} // namespace skintest
