#include "browser/WbFocusControl.h"

#include "classlib/forms.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <map>

namespace {
TWBFocusControl* g_focus = nullptr;
TAppHookWindow* g_hookWindow = nullptr;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT WM_WB_FOCUSDOC = 0x444;
} // namespace

namespace {
std::map<TForm*, TWinControl*>& remembered() {
    static std::map<TForm*, TWinControl*> m;
    return m;
}
} // namespace

void RememberActiveControl(TForm* Form, TWinControl* Control) {
    if (!Form) return;
    if (Control)
        remembered()[Form] = Control;
    else
        remembered().erase(Form);
}

TWinControl* ActiveControlOf(TForm* Form) {
    if (!Form) return nullptr;
    for (HWND h = GetFocus(); h; h = GetParent(h)) {
        TWinControl* c = TWinControl::FindControl(h);
        if (c && c != Form && c->Parent()) {
            // The outermost control below the form that holds the focus window
            // is not wanted: the nearest object of ours is.
            return c;
        }
        if (!(DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD)) break;
    }
    auto it = remembered().find(Form);
    return it == remembered().end() ? nullptr : it->second;
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
