// The headless backend: loops sleep on their queue's condition variable, time
// comes from os::CurrentClock (so a test's ManualClock drives timers), key
// states are set by tests, and top-level windows are only recorded.
#pragma once

#include "platform/display/backend.h"

#include <functional>
#include <map>
#include <vector>

namespace display {

class Headless : public Backend {
public:
    const char* Name() const override { return "headless"; }
    void Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint64_t deadlineMs,
              bool mainThread) override;
    int16_t KeyState(int virtualKey) override;
    void WindowCreated(HWND hwnd) override;
    void WindowDestroyed(HWND hwnd) override;
    void WindowShown(HWND hwnd, bool visible) override;
    void WindowActivated(HWND hwnd) override;

    // Synthetic keyboard state.
    void SetKeyDown(int virtualKey, bool down);
    // Top-level windows in the order they were shown, visible ones only.
    std::vector<HWND> VisibleWindows();
    HWND LastActivated();

    // Stands in for the user of a file dialog: answers each request (nothing
    // for cancel). Without one every dialog is cancelled.
    using FileDialogAnswer = std::function<std::optional<std::string>(const FileDialogRequest&)>;
    void SetFileDialogAnswer(FileDialogAnswer answer);
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request) override;

    // The bell only counts its rings here.
    void Beep() override;
    int Beeps();

private:
    std::mutex m_;
    std::map<int, bool> keys_;
    std::vector<HWND> visible_;
    HWND active_ = 0;
    FileDialogAnswer dialogAnswer_;
    int beeps_ = 0;
};

// The headless backend when it is the one in force, else null.
Headless* CurrentHeadless();

} // namespace display
