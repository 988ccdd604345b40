// Messages and loops: per-thread queues, sending and posting, the loop
// functions, and calls handed to another thread's loop.
//
// Every thread has its own queue (made on first use). Posted messages wait in
// the queue of the window's thread; a message sent to a window of another
// thread waits there too, and the sender blocks until it has run, handling
// messages sent to its own thread meanwhile. Loops run, in this order: calls
// and sent messages, posted messages, WM_QUIT, timers.
#pragma once

#include "platform/win/messages.h"
#include "platform/win/types.h"

#include <functional>
#include <string>

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Bounded send; returns 0 (result untouched) when the window is gone, the
// receiver does not answer within timeoutMs, or the other instance is dead.
LRESULT SendMessageTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                           UINT timeoutMs, LRESULT* result);
// hwnd 0 posts a thread message to the calling thread.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Returns 0 when WM_QUIT was taken (msg holds it), 1 otherwise. hwnd filters
// to one window (and its children), min/max to a range of messages (0, 0: all).
BOOL GetMessage(MSG* msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax, UINT removeMsg);
// Blocks until the calling thread's queue has something to handle. Returns at
// once when calls handed to the thread ran since it last waited (inside
// PeekMessage or RunThreadCalls, say): they may have ended what it waits for.
BOOL WaitMessage();
// Key translation comes with keyboard input; without it nothing is translated.
BOOL TranslateMessage(const MSG* msg);
// Calls the procedure of msg->hwnd (a WM_TIMER with a timer procedure calls
// that instead). Thread messages are not dispatched.
LRESULT DispatchMessage(const MSG* msg);

// Registered messages: the same name gives the same number in every thread
// and, through the names carried between processes, in every instance.
UINT RegisterWindowMessage(const std::string& name);
// The name of a registered message number, "" when it is not one.
std::string RegisteredMessageName(UINT msg);

DWORD GetCurrentThreadId();
// The thread that runs the program's main loop (the one that started the program).
DWORD MainThreadId();
bool IsMainThread();

// Calls handed to a thread's loop. They run inside that thread's loop
// functions (GetMessage, PeekMessage, WaitMessage) and in RunThreadCalls.
// PostThreadCall returns at once; SendThreadCall waits until the call has run
// (at once when the target is the calling thread) and gives false only when
// the target thread has no queue.
bool PostThreadCall(DWORD threadId, std::function<void()> call);
bool SendThreadCall(DWORD threadId, std::function<void()> call);
// Runs the calls waiting for the calling thread; with timeoutMs > 0 and none
// waiting, waits up to that long for one. Returns whether any ran.
bool RunThreadCalls(uint32_t timeoutMs);

// GetKeyState: bit 15 set while the key is down.
int16_t GetKeyState(int virtualKey);
