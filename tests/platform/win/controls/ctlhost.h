// A top-level window that hosts one control and records the notifications
// it sends, for the control tests.
#pragma once

#include <functional>
#include <vector>

#include "platform/display/headless.h"
#include "platform/win/controls/listtabs.h"
#include "platform/win/controls/listview.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

struct Note {
    HWND from = 0;
    UINT code = 0;
    int item = -1;
    UINT newState = 0;
    UINT oldState = 0;
};

struct Scroll {
    UINT msg = 0;
    WORD code = 0;
    int pos = 0;
    HWND from = 0;
};

class CtlHost {
public:
    CtlHost(int w = 320, int h = 240) {
        RegisterListAndTabControls();
        WNDCLASS wc;
        if (!GetClassInfo(nullptr, "CtlHostWindow", nullptr)) {
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = "CtlHostWindow";
            wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            RegisterClass(wc);
        }
        hwnd = CreateWindowEx(0, "CtlHostWindow", "host", WS_POPUP | WS_VISIBLE, 50, 40, w, h, 0, 0,
                              nullptr, nullptr);
        SetProp(hwnd, "host", this);
    }
    ~CtlHost() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        Pump();
        if (auto* h = display::CurrentHeadless()) {
            h->SetKeyDown(VK_SHIFT, false);
            h->SetKeyDown(VK_CONTROL, false);
        }
    }

    // Handles everything already queued (input, paints).
    static void Pump() {
        MSG m;
        for (int i = 0; i < 10000 && PeekMessage(&m, 0, 0, 0, PM_REMOVE); ++i)
            DispatchMessage(&m);
    }

    // Real input at a point of a child's client area.
    static void Click(HWND child, int x, int y, WPARAM keys = 0, UINT down = WM_LBUTTONDOWN) {
        POINT p{x, y};
        ClientToScreen(child, &p);
        DeliverMouse(down, p, keys | (down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON));
        Pump();
        DeliverMouse(down == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP, p, keys);
        Pump();
    }
    static void Key(int vk, bool shift = false, bool ctrl = false) {
        auto* h = display::CurrentHeadless();
        h->SetKeyDown(VK_SHIFT, shift);
        h->SetKeyDown(VK_CONTROL, ctrl);
        DeliverKey(true, vk, 0);
        DeliverKey(false, vk, 0);
        Pump();
        h->SetKeyDown(VK_SHIFT, false);
        h->SetKeyDown(VK_CONTROL, false);
    }

    std::vector<UINT> Codes(UINT only = 0) const {
        std::vector<UINT> out;
        for (const Note& n : notes)
            if (!only || n.code == only) out.push_back(n.code);
        return out;
    }

    HWND hwnd = 0;
    std::vector<Note> notes;
    std::vector<Scroll> scrolls;
    // Sees every WM_NOTIFY first; a set answer is returned instead of 0.
    std::function<bool(NMHDR*, LRESULT*)> onNotify;

private:
    static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

inline LRESULT CtlHost::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CtlHost*>(GetProp(hwnd, "host"));
    if (self && msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        Note n;
        n.from = nm->hwndFrom;
        n.code = nm->code;
        // List notifications carry the item, state changes the states.
        if (nm->code == LVN_ITEMCHANGED || nm->code == LVN_ITEMCHANGING ||
            nm->code == LVN_COLUMNCLICK || nm->code == LVN_INSERTITEM ||
            nm->code == LVN_DELETEITEM) {
            auto* lv = reinterpret_cast<NMLISTVIEW*>(lParam);
            n.item = nm->code == LVN_COLUMNCLICK ? lv->subItem : lv->item;
            n.newState = lv->newState;
            n.oldState = lv->oldState;
        } else if (nm->code == NM_CLICK || nm->code == NM_DBLCLK || nm->code == NM_RCLICK) {
            if (GetClassName(nm->hwndFrom) == WC_LISTVIEW)
                n.item = reinterpret_cast<NMITEMACTIVATE*>(lParam)->item;
        }
        if (nm->code != NM_CUSTOMDRAW) self->notes.push_back(n);
        LRESULT answer = 0;
        if (self->onNotify && self->onNotify(nm, &answer)) return answer;
        return 0;
    }
    if (self && (msg == WM_VSCROLL || msg == WM_HSCROLL)) {
        self->scrolls.push_back(Scroll{msg, LOWORD(wParam), int16_t(HIWORD(wParam)), HWND(lParam)});
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}
