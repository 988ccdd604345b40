// A 3-minute WAV to a 128 kbit/s MP3: the conversion engine against the ffmpeg
// command, timed in the same run; the "ratio" counter is engine time / command time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "media/FFLoad.h"
#include "media/FFmpeg.h"

namespace {

const std::string& Folder() {
    static const std::string dir = [] {
        std::string d =
            (std::filesystem::temp_directory_path() / "lantrove-convert-bench").string();
        std::filesystem::create_directories(d);
        std::system(("ffmpeg -nostdin -v error -y -f lavfi -i "
                     "'sine=frequency=440:sample_rate=44100:duration=180' -ac 2 '" +
                     d + "/in.wav'")
                        .c_str());
        return d;
    }();
    return dir;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_WavToMp3EngineVsCommand(benchmark::State& state) {
    if (!FFLoader().Load(ConverterLibraries)) {
        state.SkipWithError(FFLoader().LastErrMsg().c_str());
        return;
    }
    const std::string in = Folder() + "/in.wav";
    double engine = 0, command = 0;
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
        t0 = std::chrono::steady_clock::now();
        std::system(("ffmpeg -nostdin -v error -y -i '" + in + "' -b:a 128k -ar 44100 -ac 2 '" +
                     Folder() + "/command.mp3'")
                        .c_str());
        double tc = Seconds(t0);
        engine += te;
        command += tc;
        state.SetIterationTime(te);
    }
    state.counters["engine_s"] = engine / double(state.iterations());
    state.counters["command_s"] = command / double(state.iterations());
    state.counters["ratio"] = command > 0 ? engine / command : 0;
}
BENCHMARK(BM_WavToMp3EngineVsCommand)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
