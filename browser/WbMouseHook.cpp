#include "browser/WbMouseHook.h"

#include "browser/WbLazyLibs.h"
#include "classlib/forms.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {
TWBMouseHook* g_instance = nullptr;
int g_count = 0;
} // namespace

TWBMouseHook* TWBMouseHook::Acquire() {
    if (!g_instance) g_instance = new TWBMouseHook();
    ++g_count;
    return g_instance;
}

void TWBMouseHook::Release() {
    if (g_count == 0) return;
    if (--g_count == 0) {
        delete g_instance;
        g_instance = nullptr;
    }
}

int TWBMouseHook::InstanceCount() {
    return g_count;
}

TWBMouseHook::~TWBMouseHook() {
    Deactivate();
}

void TWBMouseHook::Activate() {
    if (FHook) return;
    FHook = SetWindowsHookEx(
        WH_MOUSE, [this](int c, WPARAM w, LPARAM l) { return HookProc(c, w, l); }, nullptr,
        GetCurrentThreadId());
}

void TWBMouseHook::Deactivate() {
    // The hook goes before the procedure it calls.
    if (FHook && UnhookWindowsHookEx(FHook)) FHook = nullptr;
}

LRESULT TWBMouseHook::HookProc(int Code, WPARAM wParam, LPARAM lParam) {
    if (Code < 0 || Code != HC_ACTION || wParam != WM_MOUSEWHEEL)
        return CallNextHookEx(FHook, Code, wParam, lParam);
    const auto* data = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    POINT pt = data ? data->pt : POINT{0, 0};
    HWND w = WindowFromPoint(pt);
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(pt, w, lParam, handled);
    if (ActiveFormOnly && w && Screen) {
        HWND top = w;
        while (top && (DWORD(GetWindowLongPtr(top, GWL_STYLE)) & WS_CHILD))
            top = GetParent(top);
        if (auto* form = dynamic_cast<TForm*>(TWinControl::FindControl(top)))
            handled = form != Screen->ActiveForm();
    }
    HWND f = GetFocus();
    if (!handled && w && f) {
        HWND a = AncestorOfClass(w, "Shell Embedding");
        if (a) {
            HWND b = AncestorOfClass(f, "Shell Embedding");
            bool take = a == b ? GetClassName(f) == "Shell DocObject View" : true;
            if (take) {
                SetFocus(w);
                return 2;
            }
        }
    }
    return CallNextHookEx(FHook, Code, wParam, lParam);
}
