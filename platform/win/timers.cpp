#include "platform/win/timers.h"

#include "platform/win/internal.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <algorithm>

namespace winimpl {

bool TakeDueTimer(ThreadQueue& q, HWND filter, MSG& msg, uint64_t now) {
    Timer* best = nullptr;
    for (Timer& t : q.timers) {
        if (t.due > now) continue;
        if (filter != 0 && t.hwnd != filter) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    msg = MSG{};
    msg.hwnd = best->hwnd;
    msg.message = WM_TIMER;
    msg.wParam = WPARAM(best->id);
    msg.lParam = LPARAM(reinterpret_cast<std::intptr_t>(best->proc));
    msg.time = DWORD(now);
    // The next tick counts from now: a late loop gets one WM_TIMER, not a burst.
    best->due = now + std::max<UINT>(best->elapse, 1);
    return true;
}

uint64_t NextTimerDue(ThreadQueue& q) {
    uint64_t due = UINT64_MAX;
    for (const Timer& t : q.timers)
        due = std::min(due, t.due);
    return due;
}

void PurgeWindowFromQueue(HWND hwnd, DWORD threadId) {
    auto q = QueueOf(threadId);
    if (!q) return;
    std::lock_guard<std::mutex> g(q->m);
    std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

} // namespace winimpl

using namespace winimpl;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<ThreadQueue> q;
    if (hwnd != 0) {
        if (!IsWindow(hwnd)) return 0;
        q = QueueOf(GetWindowThreadProcessId(hwnd, nullptr));
    } else {
        q = CurrentQueue();
    }
    if (!q) return 0;
    UINT_PTR result;
    {
        std::lock_guard<std::mutex> g(q->m);
        if (hwnd == 0 && id == 0) {
            static std::atomic<UINT_PTR> next{0x7F00};
            id = next.fetch_add(1);
        }
        auto it = std::find_if(q->timers.begin(), q->timers.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
        Timer t;
        t.hwnd = hwnd;
        t.id = id;
        t.elapse = elapseMs;
        t.proc = proc;
        t.due = NowMs() + std::max<UINT>(elapseMs, 1);
        if (it != q->timers.end())
            *it = t;
        else
            q->timers.push_back(t);
        result = hwnd == 0 ? id : (id == 0 ? 1 : id);
    }
    Wake(*q);
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<ThreadQueue> q =
        hwnd != 0 ? QueueOf(GetWindowThreadProcessId(hwnd, nullptr)) : CurrentQueue();
    if (!q) return 0;
    std::lock_guard<std::mutex> g(q->m);
    auto n = std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return n > 0 ? 1 : 0;
}
