// Time from handing a 1,000-entry result page to the browser from memory to
// its document being complete: on the web engine when a display is there
// (run under xvfb-run for one), and on the headless stand-in.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "browser/EmbeddedBrowser.h"
#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/os/codepage.h"

namespace {

std::u16string resultPage(int entries) {
    std::string html = "<html><head><meta charset=\"utf-8\"><title>Results</title>"
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
    std::u16string page = resultPage(int(state.range(0)));
    for (auto _ : state) {
        bool complete = false;
        browser->OnDocumentComplete = [&](TObject*, TWebDocument*, const std::string&) {
            complete = true;
        };
        browser->LoadFromWideString(page);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!complete && std::chrono::steady_clock::now() < end) {
            Application->ProcessMessages();
            if (!complete) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!complete) state.SkipWithError("the page did not complete");
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
