// The main road against the stand-in site on 127.0.0.1: a keyword to its
// rendered result page, and an arrived four-minute video to a tagged MP3
// (download, conversion, tags). Prints the peak memory of the process.
#include "SiteServer.h"
#include "app/uCenterView.h"
#include "app/uCommonFunc.h"
#include "app/uMDDef.h"
#include "classlib/thread.h"
#include "download/MultiDownloader.h"
#include "framework/CLSettings.h"
#include "media/FFLoad.h"
#include "platform/os/folders.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

bool PumpUntil(const std::function<bool()>& done, int ms = 120000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        CheckSynchronize(5);
    }
    return true;
}

// Peak resident memory of the process in MiB (0 where the system does not say).
double PeakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// A program folder beside the site, its settings and the main window's side.
struct Road {
    fs::path folder = fs::temp_directory_path() / "lantrove-search-bench";
    site::SiteServer site;
    TCurrentInfo current;
    TfrmCenterView view{nullptr};
    TMultiDownloader queue{nullptr};
    std::string html;

    Road() {
        fs::remove_all(folder);
        fs::create_directories(folder / "prog/res");
        for (const auto& e : fs::directory_iterator(std::string(LANTROVE_SOURCE_DIR) + "/res"))
            fs::copy(e.path(), folder / "prog/res" / e.path().filename());
        os::SetProgramFileNameOverride((folder / "prog/lantrove").string());
        setenv("XDG_CONFIG_HOME", (folder / "user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", (folder / "common").c_str(), 1);
        site.Start();
        std::ofstream dat(folder / "prog/const.dat");
        dat << "[setting]\n";
        for (const auto& [key, value] : site::SiteSettings(site.Base()))
            dat << key << "=" << (value.front() == ' ' ? "\"" + value + "\"" : value) << "\n";
        dat.close();
        FFLoader().Load(ConverterLibraries);
        site.Media().File(site::MediaKind::FourMinutes); // made before the timing
        view.OnLoadHtml = [this](TCenterBrowser, const std::string& h) { html = h; };
        queue.SetMaxTasks(2);
        queue.OnBeforeFlvGet = [](TObject* s) {
            CopyResolverSettings(static_cast<TYoutubeFLVGet*>(s));
        };
        TMainWindowSide& side = MainWindowSide();
        side.Queue = &queue;
        side.CurrentInfo = &current;
        side.CenterView = &view;
    }
};

Road& TheRoad() {
    static Road* road = new Road();
    return *road;
}

void BM_KeywordToResultPage(benchmark::State& state) {
    Road& road = TheRoad();
    int n = 0;
    for (auto _ : state) {
        road.html.clear();
        SearchKeyword("benchmark song " + std::to_string(n++), 1);
        if (!PumpUntil([&] { return !road.html.empty(); })) state.SkipWithError("no page");
    }
    state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_KeywordToResultPage)->Unit(benchmark::kMillisecond);

void BM_DownloadToTaggedMp3(benchmark::State& state) {
    Road& road = TheRoad();
    road.current.GetMDInfo();
    std::string converted;
    road.queue.OnFinishedEvent = [&](TObject*, int index, const std::string& file,
                                     const std::string&, std::int64_t length) {
        if (length > 0 &&
            !ConvertDownloadedTask(&road.queue, road.queue.DownloadList()->Items(index), file,
                                   [&](const std::string& f) { converted = f; }))
            converted = "failed";
        road.queue.Resume();
    };
    int n = 0;
    for (auto _ : state) {
        converted.clear();
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = site::FixedVideos()[3].Id;
        info.Title = "Four Minutes";
        info.Artist = "Bench";
        info.Long = 240;
        info.Bitrate = 128;
        info.ConvertType = ".mp3";
        info.SavePath = (road.folder / ("out/song" + std::to_string(n) + ".mp3")).string();
        info.TempPath = GetTempDir() + "song" + std::to_string(n++) + ".mtd";
        AddDownloadTask(info);
        if (!PumpUntil([&] { return !converted.empty(); }) || converted == "failed")
            state.SkipWithError("no MP3");
        road.queue.DownloadList()->ClearAll();
    }
    state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_DownloadToTaggedMp3)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
