// The process's mouse hook that makes the wheel scroll the browser under the
// pointer: the first wheel step over another browser moves the keyboard
// focus there (and is dropped), later steps scroll it.
#pragma once

#include "platform/win/hooks.h"
#include "platform/win/types.h"

#include <functional>

// The wheel event of this unit (another than the class library's).
namespace WbMouseHook {
using TMouseWheelEvent =
    std::function<void(const POINT& Point, HWND hwndFromPoint, LPARAM lp, bool& Handled)>;
}

class TWBMouseHook {
public:
    // One instance per process: every Acquire returns it and counts; the
    // last Release frees it.
    static TWBMouseHook* Acquire();
    static void Release();
    static int InstanceCount();

    void Activate();
    void Deactivate();
    bool Active() const { return FHook != nullptr; }

    WbMouseHook::TMouseWheelEvent OnMouseWheel;
    bool ActiveFormOnly = false;

    // The hook procedure (public so tests can feed it).
    LRESULT HookProc(int Code, WPARAM wParam, LPARAM lParam);

private:
    TWBMouseHook() = default;
    ~TWBMouseHook();
    HHOOK FHook = nullptr;
};
