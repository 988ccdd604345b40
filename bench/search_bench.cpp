// The main road as a person takes it, in the main window on the display (run
// under xvfb-run) against the stand-in site running as a process of its own:
//
// - a keyword typed and Enter pressed, to its result page of 20, 200 or 2,000
//   entries rendered in the window's browser (the view no longer loading the
//   page, whose title is the keyword). The reference, in the same run and the
//   same view: the web engine loading that same page as it is. The ratio of
//   the two and the time per entry are printed at the end;
// - a click on an entry's Download link in the page, through the
//   prepare-download dialog (its Download button pressed as soon as it
//   shows), to the task in the queue.
//
// Prints the peak memory of the process.
#include "bench_program.h"

#include "app/uPrepareDownload.h"
#include "download/MultiDownloader.h"
#include "platform/webview/webview.h"
#include "platform/win/input.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

using bench::Clock;
using bench::Ms;
using bench::Program;

bench::Program& TheProgram() {
    static Program* program = new Program();
    return *program;
}

// Peak resident memory of the process in MiB (0 where the system does not say).
double PeakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// Whether the result browser has finished loading the page of this title.
bool Shows(TEmbeddedBrowser* browser, const std::string& title) {
    return browser->LocationName() == title && !browser->Busy() &&
           browser->ReadyState() == int(webview::ReadyState::Complete);
}

// Every run's times (ours and the reference's, ms) by page size.
struct PageTimes {
    std::vector<double> Ours, Reference;
    std::vector<double> ToBrowser; // keyword to the page handed to the browser
};
std::map<int, PageTimes>& Times() {
    static std::map<int, PageTimes> times;
    return times;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_KeywordToRenderedPage(benchmark::State& state) {
    Program& program = TheProgram();
    if (!program.Error().empty()) {
        state.SkipWithError(program.Error().c_str());
        return;
    }
    const int entries = int(state.range(0));
    TfrmMain* main = program.Main();
    TEmbeddedBrowser* view = main->wbMain;
    if (!program.Site().Switch("per-page", std::to_string(entries))) {
        state.SkipWithError("the site refused the page size");
        return;
    }
    static int serial = 0;
    // Types the keyword, presses Enter and waits until the page shows.
    auto search = [&](const std::string& keyword) {
        main->frmSearchFrame->cbKeyword->SetText(keyword);
        SendMessage(main->frmSearchFrame->cbKeyword->Handle(), WM_KEYDOWN, 13, 0);
        return Program::PumpUntil([&] { return Shows(view, keyword); });
    };
    // The first search of a size (settings, the engine's first page) is not timed.
    if (!search("warmup" + std::to_string(entries) + "x" + std::to_string(serial++))) {
        state.SkipWithError("no result page");
        return;
    }
    PageTimes& times = Times()[entries];
    // When the page went to the browser: the program's own part ends there.
    Clock::time_point handed;
    main->OnBrowserHtml = [&](TCenterBrowser, const std::string&) { handed = Clock::now(); };
    for (auto _ : state) {
        const std::string keyword =
            "bench" + std::to_string(entries) + "x" + std::to_string(serial++);
        const auto start = Clock::now();
        if (!search(keyword)) {
            state.SkipWithError("no result page");
            break;
        }
        const double ours = Ms(Clock::now() - start);
        times.ToBrowser.push_back(Ms(handed - start));
        const std::string html = main->BrowserContent[cbMain];
        if (CountOf(html, "<tr id=\"row") != std::size_t(entries)) {
            state.SkipWithError("the page lacks entries");
            break;
        }
        // The reference: the same page loaded as it is, under a title of its own.
        std::string raw = html;
        const std::string title = "<title>" + keyword + "</title>";
        raw.replace(raw.find(title), title.size(), "<title>raw" + keyword + "</title>");
        const auto rawStart = Clock::now();
        view->LoadFromString(raw);
        if (!Program::PumpUntil([&] { return Shows(view, "raw" + keyword); })) {
            state.SkipWithError("the raw page did not load");
            break;
        }
        const double reference = Ms(Clock::now() - rawStart);
        times.Ours.push_back(ours);
        times.Reference.push_back(reference);
        state.SetIterationTime(ours / 1000);
    }
    main->OnBrowserHtml = nullptr;
    state.counters["entries"] = entries;
    state.counters["raw_ms"] = Median(times.Reference);
    state.counters["to_browser_ms"] = Median(times.ToBrowser);
    state.counters["ratio"] =
        Median(times.Reference) > 0 ? Median(times.Ours) / Median(times.Reference) : 0;
    state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_KeywordToRenderedPage)
    ->Arg(20)
    ->Arg(200)
    ->UseManualTime()
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeywordToRenderedPage)
    ->Arg(2000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Presses the prepare-download dialog's Download button, as a person does,
// once the dialog shows; asked from a thread of its own every millisecond so
// the dialog's own loop keeps running.
class PressDownloadWhenShown {
public:
    PressDownloadWhenShown()
        : FThread([this, main = GetCurrentThreadId()] {
              while (!FDone) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  SendThreadCall(main, [this] {
                      if (FDone) return;
                      for (int i = 0; i < Screen->FormCount(); ++i) {
                          auto* dialog = dynamic_cast<TfrmPrepareDownload*>(Screen->Forms(i));
                          if (!dialog || !dialog->Visible()) continue;
                          TWinControl* button = dialog->btnDownload;
                          const TPoint p = button->ClientToScreen(
                              TPoint{button->Width() / 2, button->Height() / 2});
                          // On top, as a modal dialog shows to a person; pressed
                          // once the button is what the pointer meets there.
                          SetWindowPos(dialog->Handle(), HWND_TOP, 0, 0, 0, 0,
                                       SWP_NOMOVE | SWP_NOSIZE);
                          if (WindowFromPoint(POINT{p.X, p.Y}) != button->Handle()) return;
                          FDone = true;
                          DeliverMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y}, MK_LBUTTON);
                          DeliverMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, 0);
                          return;
                      }
                  });
              }
              FEnded = true;
          }) {}
    ~PressDownloadWhenShown() {
        // A question still on its way is answered before the thread goes.
        FDone = true;
        while (!FEnded)
            Application->ProcessMessages();
        FThread.join();
    }
    bool Pressed() const { return FDone; }

private:
    std::atomic<bool> FDone{false};
    std::atomic<bool> FEnded{false};
    std::thread FThread;
};

void BM_DownloadClickToQueuedTask(benchmark::State& state) {
    Program& program = TheProgram();
    if (!program.Error().empty()) {
        state.SkipWithError(program.Error().c_str());
        return;
    }
    TfrmMain* main = program.Main();
    TEmbeddedBrowser* view = main->wbMain;
    program.Site().Switch("per-page", "20");
    main->frmSearchFrame->cbKeyword->SetText("download");
    SendMessage(main->frmSearchFrame->cbKeyword->Handle(), WM_KEYDOWN, 13, 0);
    if (!Program::PumpUntil([&] { return Shows(view, "download"); })) {
        state.SkipWithError("no result page");
        return;
    }
    TDownloadList* list = main->mdDownloader()->DownloadList();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        list->ClearAll();
        const int before = list->ItemCount();
        const std::string click =
            "document.querySelectorAll('a.download')[" + std::to_string(n++ % 20) + "].click(); 1";
        PressDownloadWhenShown presser;
        state.ResumeTiming();
        view->WebView()->Evaluate(click);
        if (!Program::PumpUntil([&] { return list->ItemCount() > before; }, 20000)) {
            state.SkipWithError(presser.Pressed() ? "no task after the dialog" : "no dialog");
            break;
        }
    }
    list->ClearAll();
}
BENCHMARK(BM_DownloadClickToQueuedTask)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (!Times().empty()) {
        std::printf("\nkeyword to rendered page, medians over every run (ratio = ours / the web "
                    "engine loading the same page as it is)\n");
        std::printf("%8s %5s %10s %12s %10s %7s %14s\n", "entries", "runs", "ours ms", "to view ms",
                    "raw ms", "ratio", "ours ms/entry");
        for (const auto& [entries, t] : Times()) {
            const double ours = Median(t.Ours), raw = Median(t.Reference);
            std::printf("%8d %5zu %10.1f %12.1f %10.1f %7.2f %14.3f\n", entries, t.Ours.size(),
                        ours, Median(t.ToBrowser), raw, raw > 0 ? ours / raw : 0.0, ours / entries);
        }
    }
    TheProgram().Close();
    benchmark::Shutdown();
    return 0;
}
