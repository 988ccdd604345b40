// Downloads finishing together, each to its tagged MP3 at 192 kbit/s, in the
// main window on the display (run under xvfb-run) against the stand-in site
// running as a process of its own: three (and one) four-minute videos queued
// at once, from the queue's start to the last MP3 tagged, with the longest
// time the main loop was blocked meanwhile. The reference, in the same run:
// as many curl processes fetching the same media files in parallel, each
// followed by an ffmpeg process making the tagged MP3. The ratio is printed
// at the end.
#include "bench_program.h"

#include "app/uPrepareDownload.h"
#include "download/MultiDownloader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace {

using bench::Clock;
using bench::Ms;
using bench::Program;
namespace fs = std::filesystem;

Program& TheProgram() {
    static Program* program = new Program();
    return *program;
}

// Videos whose media is the four-minute file: the same size, so their
// downloads finish together.
std::vector<std::string> FourMinuteVideos(int count) {
    std::vector<std::string> ids;
    for (int i = 0; int(ids.size()) < count; ++i) {
        const std::string id = "Mp3Bench" + std::to_string(i);
        if (site::VideoById(id).Kind == site::MediaKind::FourMinutes) ids.push_back(id);
    }
    return ids;
}

// An MP3 file with an ID3v2 tag at its start and an ID3v1 tag at its end.
bool IsTaggedMp3(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[3] = {}, tail[3] = {};
    if (!in.read(head, 3)) return false;
    in.seekg(-128, std::ios::end);
    if (!in.read(tail, 3)) return false;
    return std::string(head, 3) == "ID3" && std::string(tail, 3) == "TAG";
}

struct Figures {
    std::vector<double> Ours, Reference, LongestBlock;
};
std::map<int, Figures>& AllFigures() {
    static std::map<int, Figures> figures;
    return figures;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The reference: per video, curl fetches the media file and ffmpeg makes the
// tagged MP3 in the program's output format (44.1 kHz stereo); the videos run
// in parallel. Both programs start without a shell.
bool ReferenceRun(const std::string& base, const std::vector<std::string>& ids,
                  const fs::path& folder) {
    std::vector<std::thread> runs;
    std::atomic<int> failed{0};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        runs.emplace_back([&, i] {
            const std::string id = ids[i];
            const fs::path media = folder / (id + ".flv"), mp3 = folder / (id + ".mp3");
            const std::string url = base + "/media?id=" + id + "&sig=" + site::MediaToken(id);
            if (os::RunProcessAndWait({"curl", "-s", "-o", media.string(), url}) != 0 ||
                os::RunProcessAndWait({"ffmpeg",
                                       "-nostdin",
                                       "-loglevel",
                                       "error",
                                       "-y",
                                       "-i",
                                       media.string(),
                                       "-vn",
                                       "-ar",
                                       "44100",
                                       "-ac",
                                       "2",
                                       "-c:a",
                                       "libmp3lame",
                                       "-b:a",
                                       "192k",
                                       "-id3v2_version",
                                       "3",
                                       "-write_id3v1",
                                       "1",
                                       "-metadata",
                                       "title=Song " + std::to_string(i),
                                       "-metadata",
                                       "artist=Bench",
                                       "-metadata",
                                       "album=Road",
                                       mp3.string()}) != 0 ||
                !IsTaggedMp3(mp3))
                ++failed;
        });
    }
    for (auto& t : runs)
        t.join();
    return failed == 0;
}

void BM_DownloadsToTaggedMp3s(benchmark::State& state) {
    Program& program = TheProgram();
    if (!program.Error().empty()) {
        state.SkipWithError(program.Error().c_str());
        return;
    }
    const int count = int(state.range(0));
    TfrmMain* main = program.Main();
    TMultiDownloader* queue = main->mdDownloader();
    const std::vector<std::string> ids = FourMinuteVideos(count);
    const fs::path out = program.Folder() / ("out" + std::to_string(count));
    const fs::path refOut = program.Folder() / ("ref" + std::to_string(count));
    // The site makes its media file on the first request: before the timing.
    fs::create_directories(refOut);
    if (!ReferenceRun(program.Site().Base(), {ids.front()}, refOut)) {
        state.SkipWithError("the reference failed (curl and ffmpeg needed)");
        return;
    }
    // Each task's MP3 is tagged: the program's own notice, passed on.
    std::atomic<int> tagged{0};
    TOnConvertFinished before = MainWindowSide().ConvertFinished;
    MainWindowSide().ConvertFinished = [&tagged, before](const std::string& file) {
        if (before) before(file);
        ++tagged;
    };
    // The dialog of each task is answered as a person would: this folder, 192k.
    main->OnPrepareDownload = [&](TfrmPrepareDownload& dialog) {
        dialog.cbSaveto->SetText(out.string());
        dialog.cbbRate->SetItemIndex(2);
        return int(mrOk);
    };
    Figures& figures = AllFigures()[count];
    int round = 0;
    for (auto _ : state) {
        fs::remove_all(out);
        fs::create_directories(out);
        queue->StopAll();
        queue->DownloadList()->ClearAll();
        queue->SetMaxTasks(0); // queued first, started together
        tagged = 0;
        for (int i = 0; i < count; ++i) {
            TUrlInfo info;
            info.Action = UA_DOWNLOAD;
            info.Id = ids[size_t(i)];
            info.Title = "Song " + std::to_string(round) + "-" + std::to_string(i);
            info.Long = 240;
            main->Download(info);
        }
        ++round;
        if (queue->DownloadList()->ItemCount() != count) {
            state.SkipWithError("the tasks were not queued");
            break;
        }
        const auto start = Clock::now();
        double longest = 0;
        {
            bench::LoopProbe probe;
            queue->SetMaxTasks(count);
            queue->Resume();
            if (!Program::PumpUntil([&] { return tagged.load() >= count; }, 180000)) {
                state.SkipWithError("the MP3s were not all tagged");
                break;
            }
            longest = probe.LongestMs();
        }
        const double ours = Ms(Clock::now() - start);
        int good = 0;
        for (const auto& e : fs::directory_iterator(out))
            good += e.path().extension() == ".mp3" && IsTaggedMp3(e.path());
        if (good != count) {
            state.SkipWithError("not every MP3 is tagged");
            break;
        }
        fs::remove_all(refOut);
        fs::create_directories(refOut);
        const auto refStart = Clock::now();
        if (!ReferenceRun(program.Site().Base(), ids, refOut)) {
            state.SkipWithError("the reference failed");
            break;
        }
        figures.Ours.push_back(ours);
        figures.Reference.push_back(Ms(Clock::now() - refStart));
        figures.LongestBlock.push_back(longest);
        state.SetIterationTime(ours / 1000);
    }
    queue->StopAll();
    queue->DownloadList()->ClearAll();
    main->OnPrepareDownload = nullptr;
    MainWindowSide().ConvertFinished = before;
    state.counters["reference_ms"] = Median(figures.Reference);
    state.counters["ratio"] =
        Median(figures.Reference) > 0 ? Median(figures.Ours) / Median(figures.Reference) : 0;
    double worst = 0;
    for (double b : figures.LongestBlock)
        worst = std::max(worst, b);
    state.counters["loop_block_ms"] = worst;
}
BENCHMARK(BM_DownloadsToTaggedMp3s)
    ->Arg(1)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (!AllFigures().empty()) {
        std::printf("\ndownloads to tagged MP3s at 192k, medians over every run (ratio = ours / "
                    "parallel curl + ffmpeg processes)\n");
        std::printf("%6s %5s %10s %14s %7s %22s\n", "videos", "runs", "ours ms", "reference ms",
                    "ratio", "longest loop block ms");
        for (const auto& [count, f] : AllFigures()) {
            double worst = 0;
            for (double b : f.LongestBlock)
                worst = std::max(worst, b);
            const double ours = Median(f.Ours), ref = Median(f.Reference);
            std::printf("%6d %5zu %10.0f %14.0f %7.2f %22.1f\n", count, f.Ours.size(), ours, ref,
                        ref > 0 ? ours / ref : 0.0, worst);
        }
    }
    TheProgram().Close();
    benchmark::Shutdown();
    return 0;
}
