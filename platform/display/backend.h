// The display backend: what puts top-level windows on a screen and what the
// window layer's loops wait on. The window system itself (windows, messages,
// timers) lives in platform/win and behaves the same under every backend;
// a backend only mirrors top-level windows, delivers input and decides how a
// loop sleeps.
//
// Backends: headless (the default; tests) and, later, one over a real display.
#pragma once

#include "platform/win/types.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace display {

constexpr uint64_t kNoDeadline = UINT64_MAX;

// A request for one of the standard file dialogs.
struct FileDialogRequest {
    enum Kind { ChooseFolder, OpenFile, SaveFile };
    Kind kind = ChooseFolder;
    HWND owner = 0;
    std::string title;
    // The folder (or file) shown selected at first; may be empty.
    std::string initial;
    // Name and patterns (";"-separated) of each file type offered.
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 0;           // 0-based index of the type shown first
    bool confirmOverwrite = false; // SaveFile: ask before replacing a file
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;

    // Blocks the calling thread until its queue is notified through cv or the
    // loop clock (os::CurrentClock) reaches deadlineMs. `lock` holds the queue
    // mutex on entry and on return. Spurious returns are allowed: callers loop.
    // mainThread tells whether the caller runs the program's main loop (a
    // backend with its own event loop pumps it there).
    virtual void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                      uint64_t deadlineMs, bool mainThread) = 0;
    // Called after a thread's queue was notified; a backend whose main thread
    // sleeps elsewhere than on cv wakes it here. Any thread may call it.
    virtual void WakeMain() {}
    // Called on the main thread each time a loop looks for messages, before the
    // queue is read: a backend delivers pending input here (as posted messages).
    virtual void ProcessEvents() {}

    // Size of the screen in pixels.
    virtual SIZE ScreenSize() { return SIZE{1280, 1024}; }

    // State of a key for GetKeyState: bit 15 set while down.
    virtual int16_t KeyState(int virtualKey) = 0;

    // Top-level window mirror. Called on the window's thread after the change.
    virtual void WindowCreated(HWND) {}
    virtual void WindowDestroyed(HWND) {}
    virtual void WindowShown(HWND, bool /*visible*/) {}
    // The window was minimized, or brought back from it (the desktop shows
    // it as an icon or in its task list meanwhile).
    virtual void WindowMinimized(HWND, bool /*minimized*/) {}
    virtual void WindowMoved(HWND, const RECT&) {}
    virtual void WindowTextChanged(HWND) {}
    // The window's icon (WM_SETICON or its class icon) changed.
    virtual void WindowIconChanged(HWND) {}
    virtual void WindowActivated(HWND) {}
    // The window was raised to the top of the z-order (with the windows it owns).
    virtual void WindowRaised(HWND) {}
    // The window was put right below `after` (or to the top or bottom:
    // HWND_TOP, HWND_TOPMOST, HWND_BOTTOM).
    virtual void WindowRestacked(HWND, HWND /*after*/) {}
    // Puts a shown top-level window on the screen with what its surface holds
    // now, before returning (within a bounded wait): for a window shown ahead
    // of long work on the same thread, such as a splash.
    virtual void ShowNow(HWND) {}

    // Native views (the web view) shown over the client area of a window of
    // ours: nativeView is the backend's own widget. While attached, the
    // backend keeps it at the host's place, shows it only while the host and
    // its ancestors are visible, gives it the keyboard focus while the host
    // has ours, and detaches it when the host is destroyed. inset shrinks it
    // on every side (room for the host's border). False: the backend shows
    // no native views.
    virtual bool AttachNativeView(HWND /*host*/, void* /*nativeView*/, int /*inset*/ = 0) {
        return false;
    }
    virtual void DetachNativeView(void* /*nativeView*/) {}
    // Places every attached view now (the backend also does it while loops run).
    virtual void SyncNativeViews() {}

    // The clipboard's text; the base keeps it inside the process.
    virtual void SetClipboardText(const std::string& text);
    virtual std::optional<std::string> GetClipboardText();

    // Runs a file dialog to its end; the chosen path, nothing when cancelled.
    // The base answers cancelled.
    virtual std::optional<std::string> RunFileDialog(const FileDialogRequest&) {
        return std::nullopt;
    }

    // Sounds the display's bell; the base has none.
    virtual void Beep() {}
    // The screen's pixels in area (screen coordinates) as a 32-bit bitmap of
    // the area's size that the caller deletes; parts off the screen are black.
    // The base composes the windows of this process (what a headless screen
    // shows).
    virtual HBITMAP CaptureScreen(const RECT& area);

private:
    std::mutex clipboardMutex_;
    std::optional<std::string> clipboard_;
};

// The backend in force; the headless one unless another was installed.
Backend& Current();
// Installs a backend (null: back to the headless one). Call before windows exist.
void Install(std::unique_ptr<Backend> backend);

} // namespace display

// Sounds the display's bell (the sound type is not told apart).
BOOL MessageBeep(UINT uType);
