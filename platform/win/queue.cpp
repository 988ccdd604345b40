#include "platform/win/queue.h"

#include "platform/display/backend.h"
#include "platform/os/clock.h"
#include "platform/win/internal.h"
#include "platform/win/ipc.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"

#include <atomic>
#include <map>
#include <utility>

namespace winimpl {

namespace {

std::atomic<DWORD> g_nextThreadNumber{1};
thread_local DWORD t_threadNumber = 0;

// Unregisters a thread's queue when the thread ends.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> q;
    ~QueueHolder() {
        if (!q) return;
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        s.queues.erase(q->threadId);
    }
};
thread_local QueueHolder t_queue;

// The thread that runs static initialisation is the program's main thread.
const DWORD g_mainThread = CurrentThreadNumber();

} // namespace

State& GetState() {
    // Never destroyed: worker threads may still post while the program exits.
    static State* state = new State;
    return *state;
}

DWORD CurrentThreadNumber() {
    if (t_threadNumber == 0) t_threadNumber = g_nextThreadNumber.fetch_add(1);
    return t_threadNumber;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (t_queue.q) return t_queue.q;
    DWORD id = CurrentThreadNumber();
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    // Another thread may have made it already (calls to the main thread).
    auto& q = s.queues[id];
    if (!q) {
        q = std::make_shared<ThreadQueue>();
        q->threadId = id;
        q->isMain = id == g_mainThread;
    }
    t_queue.q = q;
    return q;
}

std::shared_ptr<ThreadQueue> QueueOf(DWORD threadId) {
    if (threadId == CurrentThreadNumber()) return CurrentQueue();
    State& s = GetState();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.queues.find(threadId);
    if (it != s.queues.end()) return it->second;
    if (threadId != g_mainThread) return nullptr;
    // The main thread may not have looked at its queue yet; what is handed to
    // it waits there until it does.
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = threadId;
    q->isMain = true;
    s.queues[threadId] = q;
    return q;
}

void Wake(ThreadQueue& q) {
    {
        std::lock_guard<std::mutex> g(q.m);
        q.woken = true;
    }
    q.cv.notify_all();
    if (q.isMain) display::Current().WakeMain();
}

void WakeAll() {
    std::vector<std::shared_ptr<ThreadQueue>> all;
    {
        State& s = GetState();
        std::lock_guard<std::mutex> g(s.m);
        for (auto& [id, q] : s.queues)
            all.push_back(q);
    }
    for (auto& q : all)
        Wake(*q);
}

uint64_t NowMs() {
    return os::CurrentClock().MonotonicMs();
}

namespace {

// Runs the calls waiting for the calling thread when it looks, not those
// that arrive meanwhile: a worker that keeps sending must not hold the loop
// away from its messages. Returns whether any ran.
bool RunPendingCalls(ThreadQueue& q) {
    bool any = false;
    size_t waiting = 0;
    {
        std::lock_guard<std::mutex> g(q.m);
        waiting = q.calls.size();
    }
    for (; waiting > 0; --waiting) {
        std::shared_ptr<Call> c;
        {
            std::lock_guard<std::mutex> g(q.m);
            if (q.calls.empty()) break;
            c = q.calls.front();
            q.calls.pop_front();
            q.callsRan = true;
        }
        any = true;
        LRESULT r = 0;
        try {
            r = c->work();
        } catch (...) {
            // The receiver's failure must not unwind into an unrelated loop;
            // the sender sees a zero result.
            r = 0;
        }
        if (c->waiter) {
            {
                std::lock_guard<std::mutex> g(c->waiter->m);
                c->result = r;
                c->done = true;
            }
            Wake(*c->waiter);
        }
    }
    return any;
}

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
    if (filter != 0 && m.hwnd != filter && !IsChild(filter, m.hwnd)) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

// One look at the queue; fills msg when a message is there.
bool LookOnce(ThreadQueue& q, MSG* msg, HWND filter, UINT lo, UINT hi, bool remove) {
    if (q.isMain) display::Current().ProcessEvents();
    RunPendingCalls(q);
    std::lock_guard<std::mutex> g(q.m);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!Matches(*it, filter, lo, hi)) continue;
        *msg = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    if (q.quit && (lo == 0 && hi == 0 ? true : WM_QUIT >= lo && WM_QUIT <= hi)) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(q.quitCode);
        if (remove) q.quit = false;
        return true;
    }
    uint64_t now = NowMs();
    if ((lo == 0 && hi == 0) || (WM_PAINT >= lo && WM_PAINT <= hi)) {
        if (HWND p = PaintPendingFor(q.threadId, filter)) {
            *msg = MSG{};
            msg->hwnd = p;
            msg->message = WM_PAINT;
            msg->time = DWORD(now);
            return true;
        }
    }
    if ((lo == 0 && hi == 0) || (WM_TIMER >= lo && WM_TIMER <= hi)) {
        if (remove) return TakeDueTimer(q, filter, *msg, now);
        MSG probe;
        std::vector<Timer> saved = q.timers;
        bool found = TakeDueTimer(q, filter, probe, now);
        q.timers = std::move(saved);
        if (found) *msg = probe;
        return found;
    }
    return false;
}

// Sleeps until the queue is woken or its next timer is due.
void SleepOn(ThreadQueue& q) {
    std::unique_lock<std::mutex> lock(q.m);
    if (q.woken || !q.calls.empty() || !q.posted.empty() || q.quit) {
        q.woken = false;
        return;
    }
    uint64_t due = NextTimerDue(q);
    if (due != UINT64_MAX && due <= NowMs()) return;
    display::Current().Wait(lock, q.cv, due == UINT64_MAX ? display::kNoDeadline : due, q.isMain);
    q.woken = false;
}

} // namespace

bool RunOn(const std::shared_ptr<ThreadQueue>& q, std::function<LRESULT()> work, bool wait,
           uint32_t timeoutMs, LRESULT* result) {
    auto self = CurrentQueue();
    if (q == self && wait) {
        LRESULT r = work();
        if (result) *result = r;
        return true;
    }
    auto c = std::make_shared<Call>();
    c->work = std::move(work);
    if (wait) c->waiter = self;
    {
        std::lock_guard<std::mutex> g(q->m);
        q->calls.push_back(c);
    }
    Wake(*q);
    if (!wait) return true;
    // Wait in real time: a hung receiver must not hold a sender that asked for a bound.
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        RunPendingCalls(*self);
        std::unique_lock<std::mutex> lock(self->m);
        if (c->done) {
            if (result) *result = c->result;
            return true;
        }
        if (!self->calls.empty()) continue;
        if (timeoutMs == 0) {
            self->cv.wait(lock);
        } else if (self->cv.wait_until(lock, limit) == std::cv_status::timeout && !c->done) {
            return false;
        }
    }
}

} // namespace winimpl

using namespace winimpl;

namespace {

struct Registered {
    std::mutex m;
    std::map<std::string, UINT> byName;
    std::map<UINT, std::string> byNumber;
    UINT next = WM_REGISTERED_FIRST;
};

Registered& GetRegistered() {
    static Registered* r = new Registered;
    return *r;
}

std::shared_ptr<ThreadQueue> QueueOfWindow(HWND hwnd) {
    DWORD tid = GetWindowThreadProcessId(hwnd, nullptr);
    if (tid == 0) return nullptr;
    return QueueOf(tid);
}

// Runs the call on the thread's loop, waiting for it when asked; false when
// the thread has no queue.
bool RunCallOn(DWORD threadId, std::function<void()> call, bool wait) {
    auto q = QueueOf(threadId);
    if (!q) return false;
    return RunOn(
        q,
        [c = std::move(call)] {
            c();
            return LRESULT(0);
        },
        wait, 0, nullptr);
}

// Puts a message on the queue (hwnd 0 for one to the thread) and wakes its
// loop; 0 when there is no queue.
BOOL PostTo(const std::shared_ptr<ThreadQueue>& q, HWND hwnd, UINT msg, WPARAM wParam,
            LPARAM lParam) {
    if (!q) return 0;
    {
        std::lock_guard<std::mutex> g(q->m);
        MSG m;
        m.hwnd = hwnd;
        m.message = msg;
        m.wParam = wParam;
        m.lParam = lParam;
        m.time = DWORD(NowMs());
        q->posted.push_back(m);
    }
    Wake(*q);
    return 1;
}

LRESULT SendLocal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, uint32_t timeoutMs, bool* ok) {
    auto q = QueueOfWindow(hwnd);
    if (!q) {
        *ok = false;
        return 0;
    }
    LRESULT r = 0;
    *ok = RunOn(
        q, [=] { return IsWindow(hwnd) ? CallCurrentProc(hwnd, msg, wParam, lParam) : 0; }, true,
        timeoutMs, &r);
    return r;
}

} // namespace

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (winipc::IsRemote(hwnd)) {
        LRESULT r = 0;
        winipc::RemoteSend(hwnd, msg, wParam, lParam, winipc::TimeoutMs(), &r);
        return r;
    }
    bool ok = false;
    return SendLocal(hwnd, msg, wParam, lParam, 0, &ok);
}

LRESULT SendMessageTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs,
                           LRESULT* result) {
    LRESULT r = 0;
    bool ok;
    if (winipc::IsRemote(hwnd)) {
        ok = winipc::RemoteSend(hwnd, msg, wParam, lParam, timeoutMs, &r);
    } else {
        r = SendLocal(hwnd, msg, wParam, lParam, timeoutMs == 0 ? 1 : timeoutMs, &ok);
    }
    if (!ok) return 0;
    if (result) *result = r;
    return 1;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == 0) return PostThreadMessage(GetCurrentThreadId(), msg, wParam, lParam);
    if (winipc::IsRemote(hwnd)) return winipc::RemotePost(hwnd, msg, wParam, lParam);
    return PostTo(QueueOfWindow(hwnd), hwnd, msg, wParam, lParam);
}

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    return PostTo(QueueOf(threadId), 0, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    auto q = CurrentQueue();
    {
        std::lock_guard<std::mutex> g(q->m);
        q->quit = true;
        q->quitCode = exitCode;
    }
    Wake(*q);
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
    auto q = CurrentQueue();
    for (;;) {
        if (LookOnce(*q, msg, hwnd, lo, hi, true)) return msg->message == WM_QUIT ? 0 : 1;
        SleepOn(*q);
    }
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT removeMsg) {
    auto q = CurrentQueue();
    return LookOnce(*q, msg, hwnd, lo, hi, (removeMsg & PM_REMOVE) != 0) ? 1 : 0;
}

BOOL WaitMessage() {
    auto q = CurrentQueue();
    MSG m;
    if (LookOnce(*q, &m, 0, 0, 0, false)) return 1;
    {
        // A call that ran in an earlier look may have ended what the caller
        // waits for, and the wake-up it came with is spent: look again first.
        std::lock_guard<std::mutex> g(q->m);
        if (std::exchange(q->callsRan, false)) return 1;
    }
    SleepOn(*q);
    return 1;
}

BOOL TranslateMessage(const MSG*) {
    // Dispatch point: keyboard input turns WM_KEYDOWN into WM_CHAR here once
    // a backend delivers keys.
    return 0;
}

namespace {

// Modifier states as of the key message being handled: a message handler
// asks about Shift, Ctrl and Alt as they were when its key was pressed, not
// as they are after the backend has read later input.
struct SyncKeys {
    std::mutex m;
    std::map<int, bool> down;
};
SyncKeys& syncKeys() {
    static SyncKeys* k = new SyncKeys;
    return *k;
}

void noteKeyMessage(const MSG* msg) {
    bool down = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool up = msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    int vk = int(msg->wParam);
    if ((!down && !up) || (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU)) return;
    std::lock_guard g(syncKeys().m);
    syncKeys().down[vk] = down;
}

} // namespace

void winimpl::ForgetSyncKeyState(int virtualKey) {
    std::lock_guard g(syncKeys().m);
    syncKeys().down.erase(virtualKey);
}

LRESULT DispatchMessage(const MSG* msg) {
    noteKeyMessage(msg);
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, UINT_PTR(msg->wParam), msg->time);
        return 0;
    }
    if (msg->hwnd == 0) return 0;
    if (!IsWindow(msg->hwnd)) return 0;
    if (GetWindowThreadProcessId(msg->hwnd, nullptr) != GetCurrentThreadId()) return 0;
    return CallCurrentProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT RegisterWindowMessage(const std::string& name) {
    if (name.empty()) return 0;
    Registered& r = GetRegistered();
    std::lock_guard<std::mutex> g(r.m);
    auto it = r.byName.find(name);
    if (it != r.byName.end()) return it->second;
    if (r.next > WM_REGISTERED_LAST) return 0;
    UINT n = r.next++;
    r.byName[name] = n;
    r.byNumber[n] = name;
    return n;
}

std::string RegisteredMessageName(UINT msg) {
    Registered& r = GetRegistered();
    std::lock_guard<std::mutex> g(r.m);
    auto it = r.byNumber.find(msg);
    return it == r.byNumber.end() ? std::string() : it->second;
}

DWORD GetCurrentThreadId() {
    return CurrentThreadNumber();
}
DWORD MainThreadId() {
    return g_mainThread;
}
bool IsMainThread() {
    return CurrentThreadNumber() == g_mainThread;
}

bool PostThreadCall(DWORD threadId, std::function<void()> call) {
    return RunCallOn(threadId, std::move(call), false);
}

bool SendThreadCall(DWORD threadId, std::function<void()> call) {
    if (threadId == CurrentThreadNumber()) {
        call();
        return true;
    }
    return RunCallOn(threadId, std::move(call), true);
}

bool RunThreadCalls(uint32_t timeoutMs) {
    auto q = CurrentQueue();
    if (RunPendingCalls(*q)) return true;
    if (timeoutMs == 0) return false;
    {
        std::unique_lock<std::mutex> lock(q->m);
        if (q->calls.empty())
            q->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return !q->calls.empty(); });
    }
    return RunPendingCalls(*q);
}

int16_t GetKeyState(int virtualKey) {
    {
        std::lock_guard g(syncKeys().m);
        auto it = syncKeys().down.find(virtualKey);
        if (it != syncKeys().down.end()) return it->second ? int16_t(0x8000) : int16_t(0);
    }
    return display::Current().KeyState(virtualKey);
}
