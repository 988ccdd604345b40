// Time from handing a 1,000-entry result page to the browser from memory to
// the view no longer loading it: on the web engine when a display is there
// (run under xvfb-run for one), and on the headless stand-in. Each page has a
// title of its own, so a finished load of the page before never counts.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "browser/EmbeddedBrowser.h"
#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/os/codepage.h"
#include "platform/webview/webview.h"

namespace {

std::u16string resultPage(int entries, const std::string& title) {
    std::string html = "<html><head><meta charset=\"utf-8\"><title>" + title +
                       "</title>"
                       "<style>.e{padding:4px;border-bottom:1px solid #ccc}</style>"
                       "<script>function ShowIcon(n){}</script></head><body>";
    for (int i = 0; i < entries; ++i) {
        std::string n = std::to_string(i);
        html += "<div class=\"e\"><img src=\"res/thumb" + n +
                ".jpg\" width=\"48\" height=\"36\"><b>Song title number " + n +
                " – Künstler</b> <span>3:2" + std::to_string(i % 10) +
                "</span> <a href=\"xmd:ACTION=Play&amp;ID=v" + n + "&amp;PID=" + n +
                "\">Play</a> <a href=\"xmd:ACTION=Download&amp;ID=v" + n + "&amp;PID=" + n +
                "\">Download</a></div>";
    }
    html += "</body></html>";
    return Utf8ToUtf16(html);
}

void loadToComplete(benchmark::State& state, bool engine) {
    static bool gtk = [] {
        auto backend = display::CreateGtkBackend();
        if (!backend) return false;
        display::Install(std::move(backend));
        return true;
    }();
    if (engine && !gtk) {
        state.SkipWithError("no display for the web engine");
        return;
    }
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    auto* browser = new TEmbeddedBrowser(form.get());
    if (!engine) browser->UseHeadlessView();
    browser->SetBounds(0, 0, 780, 560);
    browser->SetParent(form.get());
    browser->LoadSettings();
    form->Show();
    int n = 0;
    // Loads a page and waits until the view has finished it.
    auto load = [&](const std::u16string& page, const std::string& title) {
        browser->LoadFromWideString(page);
        auto loaded = [&] {
            return browser->LocationName() == title && !browser->Busy() &&
                   browser->ReadyState() == int(webview::ReadyState::Complete);
        };
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!loaded() && std::chrono::steady_clock::now() < end) {
            Application->ProcessMessages();
            if (!loaded()) std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return loaded();
    };
    // The engine's own start (its web process) is not part of a page's time.
    if (!load(resultPage(1, "warm-up"), "warm-up")) state.SkipWithError("the view loads nothing");
    for (auto _ : state) {
        state.PauseTiming();
        const std::string title = "Results " + std::to_string(n++);
        const std::u16string page = resultPage(int(state.range(0)), title);
        state.ResumeTiming();
        if (!load(page, title)) state.SkipWithError("the page did not finish loading");
    }
    state.counters["entries"] = double(state.range(0));
    form.reset();
}

void BM_ResultPageToDocumentComplete_Engine(benchmark::State& state) {
    loadToComplete(state, true);
}
void BM_ResultPageToDocumentComplete_Headless(benchmark::State& state) {
    loadToComplete(state, false);
}

BENCHMARK(BM_ResultPageToDocumentComplete_Engine)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ResultPageToDocumentComplete_Headless)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
