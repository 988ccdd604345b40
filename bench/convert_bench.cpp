// A 3-minute WAV to a 128 kbit/s MP3 through the conversion engine; the
// "engine_s" counter is the time per run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "media/FFLoad.h"
#include "media/FFmpeg.h"
#include "support/mediagen.h"

namespace {

const std::string& Folder() {
    static const std::string dir = [] {
        std::string d =
            (std::filesystem::temp_directory_path() / "lantrove-convert-bench").string();
        std::filesystem::create_directories(d);
        WriteToneWav(d + "/in.wav", ToneRecipe{.Channels = 2, .Seconds = 180});
        return d;
    }();
    return dir;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_WavToMp3(benchmark::State& state) {
    if (!FFLoader().Load(ConverterLibraries)) {
        state.SkipWithError(FFLoader().LastErrMsg().c_str());
        return;
    }
    const std::string in = Folder() + "/in.wav";
    double engine = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        {
            TCustomFFmpeg e(2);
            e.SetExtOption("v", "-1");
            if (!e.OpenInputFile(in)) {
                state.SkipWithError(e.LastErrMsg().c_str());
                return;
            }
            e.SetExtOption("ab", "128000");
            e.SetExtOption("ar", "44100");
            e.SetExtOption("ac", "2");
            e.OpenOutputFile(Folder() + "/engine.mp3");
            e.StartConvert(false);
            if (e.FatalException()) {
                state.SkipWithError(e.FatalMessage().c_str());
                return;
            }
        }
        double te = Seconds(t0);
        engine += te;
        state.SetIterationTime(te);
    }
    state.counters["engine_s"] = engine / double(state.iterations());
}
BENCHMARK(BM_WavToMp3)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
