#include "platform/win/window.h"

#include "platform/display/backend.h"
#include "platform/win/internal.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

using namespace winimpl;

namespace {

std::shared_ptr<Window> Find(HWND hwnd) {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.windows.find(hwnd);
    return it == s.windows.end() ? nullptr : it->second;
}

bool OnOwnThread(const std::shared_ptr<Window>& w) {
    return w && w->threadId == GetCurrentThreadId();
}

bool IsTopLevel(const Window& w) {
    return (w.style & WS_CHILD) == 0;
}

// Moves a top-level window to the top of the z-order with the windows it
// owns (directly or not) above it, in their order: owned windows never sit
// below their owner. Caller holds s.m.
void RaiseLocked(State& s, HWND hwnd) {
    std::vector<HWND> group{hwnd};
    for (size_t i = 0; i < group.size(); ++i)
        for (HWND t : s.topLevel) {
            auto it = s.windows.find(t);
            if (it != s.windows.end() && it->second->owner == group[i] &&
                std::find(group.begin(), group.end(), t) == group.end())
                group.push_back(t);
        }
    // Owned windows keep their order among themselves, above the owner.
    std::vector<HWND> owned;
    for (HWND t : s.topLevel)
        if (t != hwnd && std::find(group.begin(), group.end(), t) != group.end())
            owned.push_back(t);
    std::erase_if(s.topLevel,
                  [&](HWND t) { return std::find(group.begin(), group.end(), t) != group.end(); });
    s.topLevel.insert(s.topLevel.begin(), hwnd);
    s.topLevel.insert(s.topLevel.begin(), owned.begin(), owned.end());
}

// A window the user can activate: visible, enabled, and one that takes activation.
bool CandidateForActivation(const Window& w) {
    return (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED) && !w.destroying &&
           !(w.exStyle & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW));
}

void SetForegroundLocal(HWND hwnd, bool tellDisplay = true);
HWND NextToActivate(HWND leaving);

void NotifyBackendShown(HWND hwnd, bool visible) {
    auto w = Find(hwnd);
    if (w && IsTopLevel(*w)) display::Current().WindowShown(hwnd, visible);
}

} // namespace

namespace winimpl {

LRESULT CallCurrentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        auto it = s.windows.find(hwnd);
        if (it == s.windows.end()) return 0;
        proc = it->second->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

} // namespace winimpl

ATOM RegisterClass(const WNDCLASS& wc) {
    if (!wc.lpszClassName || !*wc.lpszClassName) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    if (s.classes.count(wc.lpszClassName)) return 0;
    WindowClassRec rec;
    rec.wc = wc;
    rec.name = wc.lpszClassName;
    if (wc.lpszMenuName) rec.menuName = wc.lpszMenuName;
    s.classes[rec.name] = rec;
    auto& stored = s.classes[rec.name];
    stored.wc.lpszClassName = stored.name.c_str();
    stored.wc.lpszMenuName = stored.menuName.empty() ? nullptr : stored.menuName.c_str();
    return ATOM(0xC000 + (s.classes.size() & 0x3FFF));
}

BOOL UnregisterClass(const char* className, HINSTANCE) {
    if (!className) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    for (auto& [h, w] : s.windows)
        if (w->className == className) return 0; // still in use
    return s.classes.erase(className) ? 1 : 0;
}

BOOL GetClassInfo(HINSTANCE, const char* className, WNDCLASS* wc) {
    if (!className) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.classes.find(className);
    if (it == s.classes.end()) return 0;
    if (wc) *wc = it->second.wc;
    return 1;
}

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, LONG_PTR id, HINSTANCE,
                    void* param) {
    if (!className) return 0;
    auto w = std::make_shared<Window>();
    HWND hwnd;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        auto cls = s.classes.find(className);
        if (cls == s.classes.end()) return 0;
        if (parent != 0 && !s.windows.count(parent)) return 0;
        hwnd = s.nextHandle;
        s.nextHandle += 4;
        w->handle = hwnd;
        w->className = className;
        w->proc = cls->second.wc.lpfnWndProc;
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        w->text = windowName ? windowName : "";
        w->threadId = GetCurrentThreadId();
        w->bounds = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = id;
            if (parent) s.windows[parent]->children.push_back(hwnd);
        } else {
            w->owner = parent;
            s.topLevel.push_back(hwnd);
        }
        s.windows[hwnd] = w;
    }
    CurrentQueue(); // the window's thread can now be posted to
    if (!(style & WS_CHILD)) display::Current().WindowCreated(hwnd);

    CREATESTRUCT cs;
    cs.lpCreateParams = param;
    cs.hwndParent = parent;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = style;
    cs.dwExStyle = exStyle;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    bool created = SendMessage(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) != 0;
    if (created && IsWindow(hwnd)) {
        winimpl::RecalcNonClient(hwnd);
        created = SendMessage(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) != -1;
    }
    if (!created) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (!IsWindow(hwnd)) return 0;
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

namespace {

void SendDestroy(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return;
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        children = w->children;
    }
    for (HWND c : children)
        SendDestroy(c);
}

void SendNcDestroyAndRemove(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> children;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        children = w->children;
    }
    for (HWND c : children)
        SendNcDestroyAndRemove(c);
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);
    winimpl::ForgetPaintState(hwnd);
    bool top;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        top = IsTopLevel(*w);
        if (w->parent) {
            auto p = s.windows.find(w->parent);
            if (p != s.windows.end()) std::erase(p->second->children, hwnd);
        }
        std::erase(s.topLevel, hwnd);
        if (s.foreground == hwnd) s.foreground = 0;
        if (s.focus == hwnd) s.focus = 0;
        if (s.capture == hwnd) s.capture = 0;
        s.windows.erase(hwnd);
    }
    PurgeWindowFromQueue(hwnd, w->threadId);
    if (top) display::Current().WindowDestroyed(hwnd);
}

} // namespace

BOOL DestroyWindow(HWND hwnd) {
    auto w = Find(hwnd);
    if (!OnOwnThread(w)) return 0;
    std::vector<HWND> owned;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        if (w->destroying) return 1;
        w->destroying = true;
        for (HWND t : s.topLevel) {
            auto it = s.windows.find(t);
            if (it != s.windows.end() && it->second->owner == hwnd) owned.push_back(t);
        }
    }
    for (HWND o : owned)
        DestroyWindow(o);
    // The activation moves on before the window goes, as when it is hidden.
    if (IsTopLevel(*w) && GetForegroundWindow() == hwnd) SetForegroundLocal(NextToActivate(hwnd));
    if (w->style & WS_VISIBLE) {
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            w->style &= ~WS_VISIBLE;
        }
        NotifyBackendShown(hwnd, false);
    }
    SendDestroy(hwnd);
    SendNcDestroyAndRemove(hwnd);
    return 1;
}

BOOL IsWindow(HWND hwnd) {
    if (hwnd == 0) return 0;
    if (winipc::IsRemote(hwnd)) return winipc::RemoteQuery(hwnd).exists ? 1 : 0;
    return Find(hwnd) ? 1 : 0;
}

// Default handling of messages. Handlers added by other parts of the layer
// (painting, non-client area, input) hook in here, one case per message.
namespace {
// Alt pressed and released with no key between, or F10, or Alt with a
// character: the top-level window is asked for its keyboard menu.
constexpr WPARAM kScKeyMenu = 0xF100;
constexpr int kVkMenu = 0x12, kVkF10 = 0x79;
thread_local bool t_altAlone = false;

HWND TopLevelOf(HWND hwnd) {
    HWND top = hwnd;
    while (top && (DWORD(GetWindowLongPtr(top, GWL_STYLE)) & WS_CHILD) && GetParent(top))
        top = GetParent(top);
    return top;
}
} // namespace

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        t_altAlone = int(wParam) == kVkMenu;
        if (int(wParam) == kVkF10) {
            SendMessage(TopLevelOf(hwnd), WM_SYSCOMMAND, kScKeyMenu, 0);
            return 0;
        }
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (int(wParam) == kVkMenu && t_altAlone) {
            t_altAlone = false;
            SendMessage(TopLevelOf(hwnd), WM_SYSCOMMAND, kScKeyMenu, 0);
        }
        return 0;
    case WM_SYSCHAR:
        t_altAlone = false;
        SendMessage(TopLevelOf(hwnd), WM_SYSCOMMAND, kScKeyMenu, LPARAM(wParam));
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETICON: {
        auto w = Find(hwnd);
        if (!w) return 0;
        HICON old;
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
            old = slot;
            slot = reinterpret_cast<HICON>(lParam);
        }
        if (IsTopLevel(*w)) display::Current().WindowIconChanged(hwnd);
        return LRESULT(old);
    }
    case WM_GETICON:
        return LRESULT(GetWindowIcon(hwnd, wParam));
    case WM_SETTEXT: {
        auto w = Find(hwnd);
        if (!w) return 0;
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        }
        if (IsTopLevel(*w)) display::Current().WindowTextChanged(hwnd);
        return 1;
    }
    case WM_GETTEXT: {
        auto w = Find(hwnd);
        if (!w || wParam == 0 || lParam == 0) return 0;
        std::string text;
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            text = w->text;
        }
        size_t n = std::min<size_t>(text.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: {
        auto w = Find(hwnd);
        if (!w) return 0;
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        return LRESULT(w->text.size());
    }
    case WM_QUERYENDSESSION:
        return 1;
    case WM_SETREDRAW:
        winimpl::SetRedraw(hwnd, wParam != 0);
        return 0;
    case WM_PRINT:
        return DefPrintProc(hwnd, reinterpret_cast<HDC>(wParam), lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Controls ask their parent for colours; by default the system's.
        HDC dc = reinterpret_cast<HDC>(wParam);
        bool field = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
        return LRESULT(GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_MOUSEWHEEL:
        // Unhandled wheel turns go up to the parent.
        if (HWND parent = GetParent(hwnd);
            parent && (DWORD(GetWindowLongPtr(hwnd, GWL_STYLE)) & WS_CHILD))
            return SendMessage(parent, msg, wParam, lParam);
        return 0;
    case WM_PAINT:
    case WM_ERASEBKGND:
        return DefPaintProc(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
    case WM_NCLBUTTONDOWN:
    case WM_SYSCOMMAND:
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETCURSOR:
        return DefNonClientProc(hwnd, msg, wParam, lParam);
    default:
        return 0;
    }
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

HICON GetWindowIcon(HWND hwnd, WPARAM which) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    HICON big, small;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        big = w->bigIcon;
        small = w->smallIcon;
    }
    if (which == ICON_SMALL) return small;
    if (which == ICON_SMALL2 && small) return small;
    return big ? big : reinterpret_cast<HICON>(GetClassLongPtr(hwnd, GCLP_HICON));
}

LONG_PTR GetClassLongPtr(HWND hwnd, int index) {
    auto w = Find(hwnd);
    if (!w || (index != GCL_STYLE && index != GCLP_HICON)) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.classes.find(w->className);
    if (it == s.classes.end()) return 0;
    return index == GCLP_HICON ? LONG_PTR(it->second.wc.hIcon) : LONG_PTR(it->second.wc.style);
}

LONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
    auto w = Find(hwnd);
    if (!w || (index != GCL_STYLE && index != GCLP_HICON)) return 0;
    if (index == GCLP_HICON) {
        LONG_PTR old;
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            auto it = s.classes.find(w->className);
            if (it == s.classes.end()) return 0;
            old = LONG_PTR(it->second.wc.hIcon);
            it->second.wc.hIcon = reinterpret_cast<HICON>(value);
        }
        if (IsTopLevel(*w)) display::Current().WindowIconChanged(hwnd);
        return old;
    }
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.classes.find(w->className);
    if (it == s.classes.end()) return 0;
    LONG_PTR old = LONG_PTR(it->second.wc.style);
    it->second.wc.style = UINT(value);
    return old;
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_ID:
        return w->id;
    case GWLP_HWNDPARENT:
        return LONG_PTR(IsTopLevel(*w) ? w->owner : w->parent);
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWL_STYLE:
        old = LONG_PTR(w->style);
        // Visibility changes go through ShowWindow.
        w->style = (DWORD(value) & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
        break;
    case GWL_EXSTYLE:
        old = LONG_PTR(w->exStyle);
        w->exStyle = DWORD(value);
        break;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        break;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        break;
    case GWLP_HWNDPARENT:
        if (IsTopLevel(*w)) {
            old = LONG_PTR(w->owner);
            w->owner = HWND(value);
        }
        break;
    default:
        break;
    }
    return old;
}

BOOL SetProp(HWND hwnd, const char* name, void* data) {
    auto w = Find(hwnd);
    if (!w || !name) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    w->props[name] = data;
    return 1;
}

void* GetProp(HWND hwnd, const char* name) {
    auto w = Find(hwnd);
    if (!w || !name) return nullptr;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = w->props.find(name);
    return it == w->props.end() ? nullptr : it->second;
}

void* RemoveProp(HWND hwnd, const char* name) {
    auto w = Find(hwnd);
    if (!w || !name) return nullptr;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = w->props.find(name);
    if (it == w->props.end()) return nullptr;
    void* data = it->second;
    w->props.erase(it);
    return data;
}

std::string GetClassName(HWND hwnd) {
    if (winipc::IsRemote(hwnd)) return winipc::RemoteQuery(hwnd).className;
    auto w = Find(hwnd);
    if (!w) return {};
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return w->className;
}

BOOL SetWindowText(HWND hwnd, const std::string& text) {
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? 1 : 0;
}

std::string GetWindowText(HWND hwnd) {
    if (!Find(hwnd)) return {};
    LRESULT n = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (n <= 0) return {};
    std::string buf(size_t(n) + 1, '\0');
    LRESULT got =
        SendMessage(hwnd, WM_GETTEXT, WPARAM(buf.size()), reinterpret_cast<LPARAM>(&buf[0]));
    buf.resize(size_t(std::clamp<LRESULT>(got, 0, n)));
    return buf;
}

int GetWindowTextLength(HWND hwnd) {
    return int(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

namespace winimpl {

std::vector<HWND> LocalTopLevel(const char* className, const char* windowName) {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    std::vector<HWND> out;
    for (HWND h : s.topLevel) {
        const Window& w = *s.windows[h];
        if (className && w.className != className) continue;
        if (windowName && w.text != windowName) continue;
        out.push_back(h);
    }
    return out;
}

} // namespace winimpl

HWND FindWindowEx(HWND hwndParent, HWND hwndChildAfter, const char* className,
                  const char* windowName) {
    std::vector<HWND> candidates;
    if (hwndParent != 0) {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        auto p = s.windows.find(hwndParent);
        if (p == s.windows.end()) return 0;
        for (HWND h : p->second->children) {
            const Window& w = *s.windows[h];
            if (className && w.className != className) continue;
            if (windowName && w.text != windowName) continue;
            candidates.push_back(h);
        }
    } else {
        candidates = LocalTopLevel(className, windowName);
    }
    auto pick = [&](const std::vector<HWND>& list) -> HWND {
        auto it = list.begin();
        if (hwndChildAfter != 0) {
            it = std::find(list.begin(), list.end(), hwndChildAfter);
            if (it == list.end()) return 0;
            ++it;
        }
        return it == list.end() ? 0 : *it;
    };
    if (hwndParent != 0) return pick(candidates);
    // Our own windows come first; another instance's are asked for only when
    // the walk goes past them.
    if (hwndChildAfter == 0 || !winipc::IsRemote(hwndChildAfter)) {
        HWND h = pick(candidates);
        if (h != 0) return h;
        if (hwndChildAfter != 0 &&
            std::find(candidates.begin(), candidates.end(), hwndChildAfter) == candidates.end())
            return 0;
        hwndChildAfter = 0;
    }
    return pick(winipc::FindRemote(className, windowName));
}

HWND FindWindow(const char* className, const char* windowName) {
    return FindWindowEx(0, 0, className, windowName);
}

HWND GetParent(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return IsTopLevel(*w) ? w->owner : w->parent;
}

HWND SetParent(HWND hwnd, HWND newParent) {
    auto w = Find(hwnd);
    if (!w || hwnd == newParent) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    if (newParent != 0 && !s.windows.count(newParent)) return 0;
    HWND old = w->parent;
    if (old) {
        auto p = s.windows.find(old);
        if (p != s.windows.end()) std::erase(p->second->children, hwnd);
    } else {
        std::erase(s.topLevel, hwnd);
    }
    w->parent = newParent;
    if (newParent) {
        w->style |= WS_CHILD;
        s.windows[newParent]->children.push_back(hwnd);
    } else {
        w->style &= ~WS_CHILD;
        s.topLevel.push_back(hwnd);
    }
    return old;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    switch (cmd) {
    case GW_OWNER:
        return IsTopLevel(*w) ? w->owner : 0;
    case GW_CHILD:
        return w->children.empty() ? 0 : w->children.front();
    case GW_HWNDFIRST:
    case GW_HWNDNEXT: {
        const std::vector<HWND>* list = &s.topLevel;
        if (!IsTopLevel(*w)) {
            auto p = s.windows.find(w->parent);
            if (p == s.windows.end()) return 0;
            list = &p->second->children;
        }
        if (list->empty()) return 0;
        if (cmd == GW_HWNDFIRST) return list->front();
        auto it = std::find(list->begin(), list->end(), hwnd);
        return it == list->end() || ++it == list->end() ? 0 : *it;
    }
    default:
        return 0;
    }
}

BOOL IsChild(HWND parent, HWND hwnd) {
    if (parent == 0 || hwnd == 0) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    for (;;) {
        auto it = s.windows.find(hwnd);
        if (it == s.windows.end() || IsTopLevel(*it->second)) return 0;
        hwnd = it->second->parent;
        if (hwnd == parent) return 1;
    }
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    auto w = Find(hwnd);
    if (!w) return 0;
    if (processId) *processId = DWORD(getpid());
    return w->threadId;
}

namespace {

// Makes hwnd the active window (0: none) and raises it. tellDisplay is false
// when the display itself reported the activation.
// Whether the focus is inside top or inside a window top owns (a drop-down
// list, say). Caller holds s.m.
bool FocusBelongsToLocked(State& s, HWND top) {
    HWND h = s.focus;
    while (h) {
        if (h == top) return true;
        auto it = s.windows.find(h);
        if (it == s.windows.end()) return false;
        h = IsTopLevel(*it->second) ? it->second->owner : it->second->parent;
    }
    return false;
}

void SetForegroundLocal(HWND hwnd, bool tellDisplay) {
    HWND old;
    bool focusElsewhere = false;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        old = s.foreground;
        if (hwnd && s.windows.count(hwnd)) {
            RaiseLocked(s, hwnd);
            focusElsewhere = !FocusBelongsToLocked(s, hwnd);
        }
        s.foreground = hwnd;
    }
    if (old == hwnd && !focusElsewhere) {
        // Already ours: the display may still have given the keyboard away
        // (a dialog of its own that closed, say).
        if (tellDisplay && hwnd) display::Current().WindowActivated(hwnd);
        return;
    }
    if (tellDisplay && old != hwnd) display::Current().WindowActivated(hwnd);
    if (old && old != hwnd && IsWindow(old)) {
        PostMessage(old, WM_NCACTIVATE, 0, LPARAM(hwnd));
        PostMessage(old, WM_ACTIVATE, WA_INACTIVE, LPARAM(hwnd));
    }
    if (hwnd) {
        // The focus comes along to the active window, which may pass it on
        // to one of its controls when told it is active.
        if (focusElsewhere) SetFocus(hwnd);
        if (old != hwnd) SendMessage(hwnd, WM_NCACTIVATE, 1, LPARAM(old));
        SendMessage(hwnd, WM_ACTIVATE, WA_ACTIVE, LPARAM(old == hwnd ? 0 : old));
    }
}

// The window that takes the activation when `leaving` goes: its owner when
// that can take it, else the highest window that can.
HWND NextToActivate(HWND leaving) {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.windows.find(leaving);
    HWND owner = it == s.windows.end() ? 0 : it->second->owner;
    for (HWND o = owner; o;) {
        auto ow = s.windows.find(o);
        if (ow == s.windows.end()) break;
        if (CandidateForActivation(*ow->second)) return o;
        o = ow->second->owner;
    }
    for (HWND t : s.topLevel) {
        auto w = s.windows.find(t);
        if (t != leaving && w != s.windows.end() && CandidateForActivation(*w->second)) return t;
    }
    return 0;
}

} // namespace

BOOL ShowWindow(HWND hwnd, int cmd) {
    if (winipc::IsRemote(hwnd)) {
        LRESULT r = 0;
        winipc::RemoteShow(hwnd, cmd, &r);
        return BOOL(r);
    }
    auto w = Find(hwnd);
    if (!OnOwnThread(w)) return 0;
    bool wasVisible, top, wasMinimized, minimized;
    bool show = cmd != SW_HIDE;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        wasVisible = (w->style & WS_VISIBLE) != 0;
        top = IsTopLevel(*w);
        wasMinimized = w->minimized;
        switch (cmd) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            w->minimized = true;
            w->maximized = false;
            break;
        case SW_SHOWMAXIMIZED:
            w->minimized = false;
            w->maximized = true;
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
            w->minimized = false;
            w->maximized = false;
            break;
        default:
            break;
        }
        minimized = w->minimized;
    }
    if (show != wasVisible) {
        SendMessage(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
        if (!IsWindow(hwnd)) return wasVisible;
        {
            State& s = GetState();
            std::lock_guard<std::mutex> g(s.m);
            if (show)
                w->style |= WS_VISIBLE;
            else
                w->style &= ~WS_VISIBLE;
        }
        if (show) InvalidateRect(hwnd, nullptr, 1);
        if (top) display::Current().WindowShown(hwnd, show);
    }
    if (top && show && minimized != wasMinimized)
        display::Current().WindowMinimized(hwnd, minimized);
    bool activates = top && show && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE &&
                     cmd != SW_SHOWMINNOACTIVE && cmd != SW_MINIMIZE;
    if (show && top && !wasVisible) {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        if (s.windows.count(hwnd)) RaiseLocked(s, hwnd);
    }
    if (activates) SetForegroundLocal(hwnd);
    if (!show && top && GetForegroundWindow() == hwnd) SetForegroundLocal(NextToActivate(hwnd));
    return wasVisible ? 1 : 0;
}

BOOL IsWindowVisible(HWND hwnd) {
    if (winipc::IsRemote(hwnd)) return winipc::RemoteQuery(hwnd).visible ? 1 : 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    // Visible only when every parent is visible too.
    for (;;) {
        auto it = s.windows.find(hwnd);
        if (it == s.windows.end() || !(it->second->style & WS_VISIBLE)) return 0;
        if (IsTopLevel(*it->second)) return 1;
        hwnd = it->second->parent;
    }
}

BOOL IsIconic(HWND hwnd) {
    if (winipc::IsRemote(hwnd)) return winipc::RemoteQuery(hwnd).iconic ? 1 : 0;
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return w->minimized ? 1 : 0;
}

BOOL IsZoomed(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return w->maximized ? 1 : 0;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto w = Find(hwnd);
    if (!w) return 0;
    bool wasDisabled;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (wasDisabled == bool(enable)) SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled ? 1 : 0;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return (w->style & WS_DISABLED) ? 0 : 1;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    if (!rect) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.windows.find(hwnd);
    if (it == s.windows.end()) return 0;
    RECT r = it->second->bounds;
    // Children are placed relative to their parent: add the parents' origins.
    for (auto w = it->second; !IsTopLevel(*w);) {
        auto p = s.windows.find(w->parent);
        if (p == s.windows.end()) break;
        w = p->second;
        RECT in = winimpl::ClientInsets(w->handle);
        r.left += w->bounds.left + in.left;
        r.right += w->bounds.left + in.left;
        r.top += w->bounds.top + in.top;
        r.bottom += w->bounds.top + in.top;
    }
    *rect = r;
    return 1;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto w = Find(hwnd);
    if (!w || !rect) return 0;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    RECT in = winimpl::ClientInsets(hwnd);
    *rect = RECT{0, 0, std::max(0, int(w->bounds.right - w->bounds.left - in.left - in.right)),
                 std::max(0, int(w->bounds.bottom - w->bounds.top - in.top - in.bottom))};
    return 1;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, 0, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto w = Find(hwnd);
    if (!OnOwnThread(w)) return 0;
    RECT old, now;
    bool top;
    bool restacked = false;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        old = w->bounds;
        now = old;
        if (!(flags & SWP_NOMOVE)) {
            now.right = x + (old.right - old.left);
            now.bottom = y + (old.bottom - old.top);
            now.left = x;
            now.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            now.right = now.left + std::max(cx, 0);
            now.bottom = now.top + std::max(cy, 0);
        }
        w->bounds = now;
        top = IsTopLevel(*w);
        if (!(flags & SWP_NOZORDER)) {
            std::vector<HWND>* list = &s.topLevel;
            if (!top) {
                auto p = s.windows.find(w->parent);
                list = p == s.windows.end() ? nullptr : &p->second->children;
            }
            if (list) {
                if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST) {
                    if (top) {
                        RaiseLocked(s, hwnd);
                    } else {
                        std::erase(*list, hwnd);
                        list->insert(list->begin(), hwnd);
                    }
                    restacked = true;
                } else if (insertAfter == HWND_BOTTOM) {
                    std::erase(*list, hwnd);
                    list->push_back(hwnd);
                    restacked = true;
                } else if (insertAfter != HWND_NOTOPMOST && insertAfter != hwnd &&
                           std::find(list->begin(), list->end(), insertAfter) != list->end()) {
                    // Right below the window named.
                    std::erase(*list, hwnd);
                    list->insert(std::find(list->begin(), list->end(), insertAfter) + 1, hwnd);
                    restacked = true;
                }
                if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
                if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
            }
        }
    }
    bool resized = old.right - old.left != now.right - now.left ||
                   old.bottom - old.top != now.bottom - now.top;
    if (resized || (flags & SWP_FRAMECHANGED)) winimpl::RecalcNonClient(hwnd);
    if (old.left != now.left || old.top != now.top)
        SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
    if (old.right - old.left != now.right - now.left ||
        old.bottom - old.top != now.bottom - now.top)
        SendMessage(hwnd, WM_SIZE, 0, MAKELPARAM(now.right - now.left, now.bottom - now.top));
    if (!(flags & SWP_NOREDRAW) && !(old == now)) InvalidateRect(hwnd, nullptr, 1);
    if (top && !(old == now)) display::Current().WindowMoved(hwnd, now);
    if (top && restacked) display::Current().WindowRestacked(hwnd, insertAfter);
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    return 1;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    RECT r;
    if (!point || !GetWindowRect(hwnd, &r)) return 0;
    RECT in = winimpl::ClientInsets(hwnd);
    point->x += r.left + in.left;
    point->y += r.top + in.top;
    return 1;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    RECT r;
    if (!point || !GetWindowRect(hwnd, &r)) return 0;
    RECT in = winimpl::ClientInsets(hwnd);
    point->x -= r.left + in.left;
    point->y -= r.top + in.top;
    return 1;
}

BOOL SetForegroundWindow(HWND hwnd) {
    if (winipc::IsRemote(hwnd)) return winipc::RemoteSetForeground(hwnd) ? 1 : 0;
    auto w = Find(hwnd);
    if (!w || !IsTopLevel(*w)) return 0;
    if (OnOwnThread(w)) {
        SetForegroundLocal(hwnd);
        return 1;
    }
    auto q = QueueOf(w->threadId);
    if (!q) return 0;
    return RunOn(
               q,
               [hwnd] {
                   SetForegroundLocal(hwnd);
                   return LRESULT(1);
               },
               false, 0, nullptr)
               ? 1
               : 0;
}

HWND GetForegroundWindow() {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return s.foreground;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = GetForegroundWindow();
    auto w = Find(hwnd);
    if (!OnOwnThread(w) || !IsTopLevel(*w)) return 0;
    SetForegroundLocal(hwnd);
    return old;
}

HWND GetActiveWindow() {
    return GetForegroundWindow();
}

BOOL BringWindowToTop(HWND hwnd) {
    if (winipc::IsRemote(hwnd)) return winipc::RemoteSetForeground(hwnd) ? 1 : 0;
    auto w = Find(hwnd);
    if (!w) return 0;
    if (RaiseInZOrder(hwnd) && IsTopLevel(*w)) display::Current().WindowRaised(hwnd);
    return 1;
}

namespace winimpl {

bool RaiseInZOrder(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return false;
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    std::vector<HWND>* list = &s.topLevel;
    if (!IsTopLevel(*w)) {
        auto p = s.windows.find(w->parent);
        if (p == s.windows.end()) return false;
        list = &p->second->children;
    }
    if (IsTopLevel(*w)) {
        RaiseLocked(s, hwnd);
    } else {
        std::erase(*list, hwnd);
        list->insert(list->begin(), hwnd);
    }
    return true;
}

} // namespace winimpl

HWND SetFocus(HWND hwnd) {
    HWND old;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        if (hwnd != 0 && !s.windows.count(hwnd)) return 0;
        old = s.focus;
        if (old == hwnd) return old;
        s.focus = hwnd;
    }
    if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, WPARAM(hwnd), 0);
    if (hwnd) SendMessage(hwnd, WM_SETFOCUS, WPARAM(old), 0);
    return old;
}

HWND GetFocus() {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    return s.focus;
}

HWND GetLastActivePopup(HWND hwnd) {
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    // The highest window that can be activated and is owned, directly or
    // not, by hwnd: the modal dialog of a disabled window, say.
    for (HWND t : s.topLevel) {
        auto it = s.windows.find(t);
        if (it == s.windows.end() || t == hwnd || !CandidateForActivation(*it->second)) continue;
        for (HWND o = it->second->owner; o;) {
            if (o == hwnd) return t;
            auto ow = s.windows.find(o);
            o = ow == s.windows.end() ? 0 : ow->second->owner;
        }
    }
    return hwnd;
}

HWND ActivateFromDisplay(HWND hwnd) {
    auto w = Find(hwnd);
    if (!OnOwnThread(w) || !IsTopLevel(*w)) return 0;
    // A window that cannot take input hands the activation to the dialog
    // that holds it, which the display must then bring forward.
    HWND to = IsWindowEnabled(hwnd) ? hwnd : GetLastActivePopup(hwnd);
    if (to == hwnd && !IsWindowEnabled(hwnd)) return 0;
    SetForegroundLocal(to, false);
    if (to != hwnd) display::Current().WindowActivated(to);
    return to;
}

void DeactivateFromDisplay() {
    SetForegroundLocal(0, false);
}
