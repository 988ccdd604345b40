#include "platform/display/headless.h"

#include "platform/os/clock.h"
#include "platform/win/internal.h"

#include <algorithm>
#include <chrono>

namespace display {

void Headless::Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                    uint64_t deadlineMs, bool) {
    if (deadlineMs == kNoDeadline) {
        cv.wait(lock);
        return;
    }
    os::Clock& clock = os::CurrentClock();
    uint64_t now = clock.MonotonicMs();
    if (now >= deadlineMs) return;
    if (&clock != &os::SystemClock()) {
        // A test clock moves without telling anyone: look again shortly.
        cv.wait_for(lock, std::chrono::milliseconds(5));
        return;
    }
    cv.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
}

int16_t Headless::KeyState(int virtualKey) {
    std::lock_guard<std::mutex> g(m_);
    auto it = keys_.find(virtualKey);
    return it != keys_.end() && it->second ? int16_t(0x8000) : int16_t(0);
}

void Headless::SetKeyDown(int virtualKey, bool down) {
    {
        std::lock_guard<std::mutex> g(m_);
        keys_[virtualKey] = down;
    }
    winimpl::ForgetSyncKeyState(virtualKey);
}

void Headless::WindowCreated(HWND) {}

void Headless::WindowDestroyed(HWND hwnd) {
    std::lock_guard<std::mutex> g(m_);
    visible_.erase(std::remove(visible_.begin(), visible_.end(), hwnd), visible_.end());
    if (active_ == hwnd) active_ = 0;
}

void Headless::WindowShown(HWND hwnd, bool visible) {
    std::lock_guard<std::mutex> g(m_);
    visible_.erase(std::remove(visible_.begin(), visible_.end(), hwnd), visible_.end());
    if (visible) visible_.push_back(hwnd);
}

void Headless::WindowActivated(HWND hwnd) {
    std::lock_guard<std::mutex> g(m_);
    active_ = hwnd;
}

std::vector<HWND> Headless::VisibleWindows() {
    std::lock_guard<std::mutex> g(m_);
    return visible_;
}

HWND Headless::LastActivated() {
    std::lock_guard<std::mutex> g(m_);
    return active_;
}

void Headless::SetFileDialogAnswer(FileDialogAnswer answer) {
    std::lock_guard<std::mutex> g(m_);
    dialogAnswer_ = std::move(answer);
}

std::optional<std::string> Headless::RunFileDialog(const FileDialogRequest& request) {
    FileDialogAnswer answer;
    {
        std::lock_guard<std::mutex> g(m_);
        answer = dialogAnswer_;
    }
    return answer ? answer(request) : std::nullopt;
}

void Headless::Beep() {
    std::lock_guard<std::mutex> g(m_);
    ++beeps_;
}

int Headless::Beeps() {
    std::lock_guard<std::mutex> g(m_);
    return beeps_;
}

} // namespace display
