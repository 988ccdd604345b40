#include "platform/win/hooks.h"

#include "platform/win/queue.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

struct HookRecord {
    int id = 0;
    DWORD thread = 0;
    HookProcedure proc;
};

namespace {

std::mutex hooksLock;
// Newest first. Records stay owned here until unhooked.
std::vector<std::unique_ptr<HookRecord>>& hooks() {
    static std::vector<std::unique_ptr<HookRecord>> h;
    return h;
}

} // namespace

HHOOK SetWindowsHookEx(int idHook, HookProcedure proc, HINSTANCE, DWORD threadId) {
    if (idHook != WH_MOUSE || !proc) return nullptr;
    auto r = std::make_unique<HookRecord>();
    r->id = idHook;
    r->thread = threadId ? threadId : GetCurrentThreadId();
    r->proc = std::move(proc);
    HHOOK h = r.get();
    std::lock_guard<std::mutex> g(hooksLock);
    hooks().insert(hooks().begin(), std::move(r));
    return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    std::unique_ptr<HookRecord> gone;
    {
        std::lock_guard<std::mutex> g(hooksLock);
        auto& h = hooks();
        auto it = std::find_if(h.begin(), h.end(), [&](auto& r) { return r.get() == hook; });
        if (it == h.end()) return 0;
        gone = std::move(*it);
        h.erase(it);
    }
    return 1;
}

namespace {

// The procedure of the first hook after `after` (null: the first) for the
// calling thread; a copy, so a hook may unhook itself while it runs.
bool nextHook(HHOOK after, int id, HHOOK& found, HookProcedure& proc) {
    std::lock_guard<std::mutex> g(hooksLock);
    auto& h = hooks();
    size_t start = 0;
    if (after) {
        auto it = std::find_if(h.begin(), h.end(), [&](auto& r) { return r.get() == after; });
        if (it == h.end()) return false;
        start = size_t(it - h.begin()) + 1;
    }
    DWORD self = GetCurrentThreadId();
    for (size_t i = start; i < h.size(); ++i)
        if (h[i]->id == id && h[i]->thread == self) {
            found = h[i].get();
            proc = h[i]->proc;
            return true;
        }
    return false;
}

} // namespace

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    HHOOK next = nullptr;
    HookProcedure proc;
    if (!nextHook(hook, hook ? hook->id : WH_MOUSE, next, proc)) return 0;
    return proc(code, wParam, lParam);
}

bool RunMouseHooks(UINT msg, POINT screen, HWND hwnd) {
    HHOOK first = nullptr;
    HookProcedure proc;
    if (!nextHook(nullptr, WH_MOUSE, first, proc)) return false;
    MOUSEHOOKSTRUCT data;
    data.pt = screen;
    data.hwnd = hwnd;
    return proc(HC_ACTION, WPARAM(msg), reinterpret_cast<LPARAM>(&data)) != 0;
}
