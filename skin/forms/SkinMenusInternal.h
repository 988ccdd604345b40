// Helpers shared by the files of the skinned menus (SkinMenus.cpp, the popup
// window and the images menu). Private to skin/forms: those files bring it in
// with a using-directive.
#pragma once

#include "skin/forms/SkinMenus.h"

#include "platform/os/codepage.h"
#include "platform/win/queue.h"
#include "skin/engine/speffbmp.h"

namespace skin_menus_internal {

// A menu popup is a tool window of its own that keeps what lies under it and
// paints its whole face.
inline void SetMenuPopupParams(TCreateParams& Params) {
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    Params.WndParent = 0;
    Params.Background = nullptr;
}

// Counts a running call of a window's procedure.
class TCallGuard {
public:
    explicit TCallGuard(int& Depth) : FDepth(Depth) { ++FDepth; }
    ~TCallGuard() { --FDepth; }
    TCallGuard(const TCallGuard&) = delete;
    TCallGuard& operator=(const TCallGuard&) = delete;

private:
    int& FDepth;
};

// Frees the closed windows whose procedure is not running; true when some
// are left for later.
template <class W> bool FreeIdle(std::vector<std::unique_ptr<W>>& Closed) {
    std::erase_if(Closed, [](const std::unique_ptr<W>& w) { return !w->InCall(); });
    return !Closed.empty();
}

// Windows still in a call when their menu goes: freed once the call returns.
template <class W> void ReleaseWhenIdle(std::vector<std::unique_ptr<W>>& Closed) {
    if (!FreeIdle(Closed)) return;
    auto left = std::make_shared<std::vector<std::unique_ptr<W>>>(std::move(Closed));
    Closed.clear();
    auto again = std::make_shared<std::function<void()>>();
    *again = [left, again] {
        if (FreeIdle(*left))
            PostThreadCall(GetCurrentThreadId(), *again);
        else
            *again = nullptr; // lets go of the cycle
    };
    PostThreadCall(GetCurrentThreadId(), *again);
}

inline std::u16string U16(const std::string& s) {
    return Utf8ToUtf16(s);
}

inline bool PictureOk(TspSkinData* SD, int Index) {
    return SD && Index >= 0 && Index < int(SD->FActivePictures.size()) &&
           SD->FActivePictures[size_t(Index)];
}

inline TBitmap* Picture(TspSkinData* SD, int Index) {
    return PictureOk(SD, Index) ? SD->FActivePictures[size_t(Index)].get() : nullptr;
}

inline void FrameRectColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FrameRect(R);
}

inline void FillColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FillRect(R);
}

// Cross-fades B toward the captured screen behind it (software translucency).
inline void BlendWithScreen(TBitmap* B, TspEffectBmp* ESc, TPoint At, uint8_t AlphaBlendValue) {
    if (!ESc) return;
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!eb) return;
    eb->MorphRect(ESc, 1 - AlphaBlendValue / 255.0, TRect(0, 0, B->Width(), B->Height()), At.X,
                  At.Y);
    eb->Draw(B->Canvas()->Handle(), 0, 0);
}

inline TColor ResolveColor(TColor C) {
    return SkinColorToColor(C);
}

inline TFontCharset ResCharset(TspSkinData* SD, TFont* Fallback) {
    if (SD && SD->ResourceStrData()) return SD->ResourceStrData()->CharSet();
    return Fallback->Charset();
}

} // namespace skin_menus_internal
