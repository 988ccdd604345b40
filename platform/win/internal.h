// Shared state of the window layer's sources. Not for use outside platform/.
#pragma once

#include "platform/win/types.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace winimpl {

struct ThreadQueue;

// Work handed to another thread's loop: a message sent across threads, a
// synchronised call or a request from another process. The sender may stop
// waiting (timeout); the work then still runs but nobody reads the result.
struct Call {
    std::function<LRESULT()> work;
    std::shared_ptr<ThreadQueue> waiter; // null for fire-and-forget calls
    bool done = false;
    LRESULT result = 0;
};

struct Timer {
    HWND hwnd = 0;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    uint64_t due = 0;
};

struct ThreadQueue {
    DWORD threadId = 0;
    bool isMain = false;
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::shared_ptr<Call>> calls;
    std::deque<MSG> posted;
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool woken = false;
    bool callsRan = false; // since the thread last waited in WaitMessage
};

struct Window {
    HWND handle = 0;
    std::string className;
    WNDPROC proc = nullptr;
    HWND parent = 0; // child windows
    HWND owner = 0;  // top-level windows
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT bounds{}; // relative to the parent's client area, screen for top-level
    std::string text;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    DWORD threadId = 0;
    bool minimized = false;
    bool maximized = false;
    bool destroying = false;
    std::map<std::string, void*> props;
    HICON bigIcon = nullptr, smallIcon = nullptr; // WM_SETICON
    std::vector<HWND> children;                   // in creation order
};

struct WindowClassRec {
    WNDCLASS wc;
    std::string name;
    std::string menuName;
};

// Everything below is guarded by State::m.
struct State {
    std::mutex m;
    std::map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel; // creation order
    std::map<std::string, WindowClassRec> classes;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    HWND nextHandle = 0x1000;
    HWND foreground = 0;
    HWND focus = 0;
    HWND capture = 0;
};

State& GetState();

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
// The queue of a thread id, or null when that thread has none.
std::shared_ptr<ThreadQueue> QueueOf(DWORD threadId);
DWORD CurrentThreadNumber();

// Wakes a queue's waiting loop (lock not held by the caller).
void Wake(ThreadQueue& q);
void WakeAll();

// Runs `work` on the thread that owns `q`. With wait, blocks (running calls
// addressed to the caller meanwhile) until done or until timeoutMs passes
// (0: no limit). Returns false on timeout.
bool RunOn(const std::shared_ptr<ThreadQueue>& q, std::function<LRESULT()> work, bool wait,
           uint32_t timeoutMs, LRESULT* result);

// Drops the key state noted from dispatched key messages, so that GetKeyState
// answers the backend's again (a test that sets key states itself).
void ForgetSyncKeyState(int virtualKey);

// The loop clock in milliseconds.
uint64_t NowMs();

// Calls the window procedure currently set for hwnd (caller on the owner thread).
LRESULT CallCurrentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// This process's top-level windows matching class and title (null: any).
std::vector<HWND> LocalTopLevel(const char* className, const char* windowName);

// Moves a window to the top of its siblings' z-order; a top-level window
// takes the windows it owns along above it. False when hwnd is no window.
bool RaiseInZOrder(HWND hwnd);

// Drops a destroyed window's posted messages and timers.
void PurgeWindowFromQueue(HWND hwnd, DWORD threadId);

// Finds due timers of the queue; fills msg with a WM_TIMER and returns true.
// Caller holds q.m.
bool TakeDueTimer(ThreadQueue& q, HWND filter, MSG& msg, uint64_t now);
// The next due time of the queue's timers, UINT64_MAX when none. Caller holds q.m.
uint64_t NextTimerDue(ThreadQueue& q);

} // namespace winimpl

namespace winipc {

// Handles of windows in other processes (proxies).
bool IsRemote(HWND hwnd);
// Top-level windows of other processes matching class and title (null: any).
std::vector<HWND> FindRemote(const char* className, const char* windowName);
bool RemoteSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, uint32_t timeoutMs,
                LRESULT* result);
bool RemotePost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool RemoteShow(HWND hwnd, int cmd, LRESULT* result);
bool RemoteSetForeground(HWND hwnd);
struct RemoteState {
    bool exists = false;
    bool visible = false;
    bool iconic = false;
    bool foreground = false;
    std::string className;
};
RemoteState RemoteQuery(HWND hwnd);

} // namespace winipc
