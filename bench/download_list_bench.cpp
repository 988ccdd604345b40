// Saving and loading a download list of 10,000 items.
#include "download/MultiDownloader.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

constexpr int kItems = 10000;

std::string ListFile() {
    return (std::filesystem::temp_directory_path() /
            ("lantrove-list-bench-" + std::to_string(::getpid()) + ".sav"))
        .string();
}

void Fill(TMultiDownloader& queue) {
    for (int i = 0; i < kItems; ++i) {
        const std::string n = std::to_string(i);
        queue.Append("http://127.0.0.1/watch?v=video" + n, "/music/song " + n + ".mtd", true,
                     KYouTube, "");
        TDownloadItem* item = queue.DownloadList()->Items(i);
        item->Caption = "Song number " + n + ", \"live\"";
        item->Comment()->Add("artist=Band " + n);
        item->Comment()->Add("album=Album, " + n);
    }
}

void BM_SaveDownloadList10000(benchmark::State& state) {
    TMultiDownloader queue(nullptr);
    Fill(queue);
    const std::string file = ListFile();
    for (auto _ : state)
        queue.DownloadList()->SaveToFile(file);
    std::filesystem::remove(file);
}
BENCHMARK(BM_SaveDownloadList10000)->Unit(benchmark::kMillisecond);

void BM_LoadDownloadList10000(benchmark::State& state) {
    const std::string file = ListFile();
    {
        TMultiDownloader queue(nullptr);
        Fill(queue);
        queue.DownloadList()->SaveToFile(file);
    }
    for (auto _ : state) {
        TMultiDownloader queue(nullptr);
        queue.DownloadList()->LoadFromFile(file);
        if (queue.DownloadList()->ItemCount() != kItems) state.SkipWithError("items lost");
        state.PauseTiming(); // freeing the items is not part of loading
        queue.DownloadList()->ClearAll();
        state.ResumeTiming();
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_LoadDownloadList10000)->Unit(benchmark::kMillisecond);

} // namespace
