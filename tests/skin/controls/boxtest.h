// Helpers of the box-control tests: a host window, the Default skin, pixels
// of a rendered window and synthetic mouse and key messages.
#pragma once

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "skin/engine/SkinData.h"
#include "skin/skin_test_support.h"

namespace boxtest {

// A borderless top-level window painted solid blue: what lies under its children.
class Host : public skintest::PopupHost {
public:
    Host(int W = 300, int H = 240) : PopupHost(W, H, TColor(RGB(0, 0, 200))) {}
};

// The Default skin, loaded once for the whole program.
inline TspSkinData* DefaultSkin() {
    static std::unique_ptr<TspSkinData> sd = skintest::LoadDefaultSkin();
    return sd.get();
}

template <class T> T* Element(const std::string& name) {
    TspSkinData* sd = DefaultSkin();
    int i = sd->GetControlIndex(name);
    return i < 0 ? nullptr : dynamic_cast<T*>(sd->CtrlList[size_t(i)].get());
}

inline TBitmap* SkinPicture(int index) {
    TspSkinData* sd = DefaultSkin();
    if (index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
}

// A window rendered the way the screen shows it.
struct Shot {
    HBITMAP b;
    explicit Shot(HWND w) : b(RenderWindowToBitmap(w)) {}
    explicit Shot(TWinControl* c) : Shot(c->Handle()) {}
    ~Shot() { DeleteObject(b); }
    COLORREF at(int x, int y) const { return b->getPixel(x, y); }
};

inline COLORREF rgb(TColor c) {
    return ColorToRGB(c);
}

inline void mouse(TWinControl* c, UINT msg, int x, int y, WPARAM keys = 0) {
    SendMessage(c->Handle(), msg, keys, MAKELPARAM(x, y));
}
inline void press(TWinControl* c, int x, int y) {
    mouse(c, WM_MOUSEMOVE, x, y);
    mouse(c, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
}
inline void release(TWinControl* c, int x, int y) {
    mouse(c, WM_LBUTTONUP, x, y);
}
inline void wheel(TWinControl* c, int delta) {
    SendMessage(c->Handle(), WM_MOUSEWHEEL, WPARAM(uint32_t(int16_t(delta)) << 16), 0);
}
inline void key(TWinControl* c, int vk) {
    SendMessage(c->Handle(), WM_KEYDOWN, WPARAM(vk), 0);
    SendMessage(c->Handle(), WM_KEYUP, WPARAM(vk), 0);
}
inline void chars(TWinControl* c, const std::string& text) {
    for (unsigned char ch : text)
        SendMessage(c->Handle(), WM_CHAR, WPARAM(ch), 0);
}

// Tests that run timers on a clock of their own.
class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { os::SetClock(&clock); }
    void TearDown() override { os::SetClock(nullptr); }
    void advance(int ms) {
        // One tick per call: the loop fires a due timer once.
        clock.Advance(uint64_t(ms));
        Application->ProcessMessages();
    }
    os::ManualClock clock{10000};
};

} // namespace boxtest
