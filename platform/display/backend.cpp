#include "platform/display/backend.h"
#include "platform/display/headless.h"
#include "platform/win/paint.h"

#include <atomic>

namespace display {
namespace {

struct Holder {
    std::unique_ptr<Backend> installed;
    Headless headless;
    std::atomic<Backend*> current{nullptr};
};

Holder& GetHolder() {
    // Never destroyed: a worker thread may still wake the main thread while
    // the program exits.
    static Holder* holder = new Holder;
    return *holder;
}

} // namespace

void Backend::SetClipboardText(const std::string& text) {
    std::lock_guard<std::mutex> g(clipboardMutex_);
    clipboard_ = text;
}

std::optional<std::string> Backend::GetClipboardText() {
    std::lock_guard<std::mutex> g(clipboardMutex_);
    return clipboard_;
}

HBITMAP Backend::CaptureScreen(const RECT& area) {
    return RenderScreenToBitmap(area);
}

Backend& Current() {
    Holder& h = GetHolder();
    Backend* b = h.current.load(std::memory_order_acquire);
    return b ? *b : h.headless;
}

void Install(std::unique_ptr<Backend> backend) {
    Holder& h = GetHolder();
    h.current.store(backend ? backend.get() : nullptr, std::memory_order_release);
    h.installed = std::move(backend);
}

Headless* CurrentHeadless() {
    return dynamic_cast<Headless*>(&Current());
}

} // namespace display

BOOL MessageBeep(UINT) {
    display::Current().Beep();
    return 1;
}
