#include "browser/WbFocusControl.h"

#include "classlib/forms.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace {
TWBFocusControl* g_focus = nullptr;
TAppHookWindow* g_hookWindow = nullptr;
constexpr UINT WM_WB_FOCUSDOC = 0x444;
} // namespace

TWinControl* ActiveControlOf(TForm* Form) {
    return Form ? Form->ActiveControl : nullptr;
}

TAppHookWindow::TAppHookWindow(TComponent* AOwner) : TWinControl(AOwner) {}

TAppHookWindow::~TAppHookWindow() {
    Deactivate();
}

void TAppHookWindow::Activate() {
    if (FHookSet || !Application) return;
    FHookId = Application->HookMainWindow([](TMessage& m) {
        FocusProcedure(m.Msg);
        return false; // never consumes a message
    });
    FHookSet = true;
}

void TAppHookWindow::Deactivate() {
    if (FHookSet && Application) Application->UnhookMainWindow(FHookId);
    FHookSet = false;
}

void TAppHookWindow::FocusProcedure(UINT Msg) {
    if (Msg != WM_WINDOWPOSCHANGING && Msg != CM_ACTIVATE) return;
    if (!Screen) return;
    TForm* f = Screen->ActiveForm();
    if (!f || !f->HandleAllocated()) return;
    if (Application && Application->Terminated()) return;
    if (f->Handle() != GetActiveWindow()) return;
    if (!f->Visible() || !f->Enabled()) return;
    TWinControl* c = ActiveControlOf(f);
    if (!c || !c->HandleAllocated()) return;
    std::string cls = c->ClassName();
    if (cls != "TEmbeddedBrowser" && cls != "TWBCore") return;
    HWND focus = GetFocus();
    if (focus == c->Handle() || IsChild(c->Handle(), focus)) return;
    PostMessage(c->Handle(), WM_WB_FOCUSDOC, WPARAM(c), 0);
}

TWBFocusControl::TWBFocusControl() {
    if (!g_hookWindow) g_hookWindow = new TAppHookWindow(nullptr);
    g_hookWindow->Activate();
}

TWBFocusControl::~TWBFocusControl() {
    delete g_hookWindow;
    g_hookWindow = nullptr;
}

void TWBFocusControl::Activate(bool Value) {
    if (!Value) {
        delete g_focus;
        g_focus = nullptr;
        return;
    }
    if (!g_focus) g_focus = new TWBFocusControl();
}

bool TWBFocusControl::Active() {
    return g_focus != nullptr;
}
