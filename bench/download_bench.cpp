// Throughput of the download queue against the curl command on the same
// local server, and a queue of many small items within a task limit.
#include "download/MultiDownloader.h"

#include "classlib/thread.h"
#include "platform/os/process.h"
#include "support/httpserver.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr std::size_t kBigSize = 200u * 1024u * 1024u;
constexpr std::size_t kSmallSize = 64u * 1024u;
constexpr int kSmallItems = 200;

// One server for the whole run: "/big" (200 MB) and "/small/<n>" (64 KB).
httptest::TestHttpServer& Server() {
    static httptest::TestHttpServer* server = [] {
        auto* s = new httptest::TestHttpServer();
        static const std::string block(1024 * 1024, 'B');
        s->Server().Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(kBigSize, "application/octet-stream",
                                     [](size_t offset, size_t length, httplib::DataSink& sink) {
                                         const size_t n = std::min(length, block.size());
                                         (void)offset;
                                         return sink.write(block.data(), n);
                                     });
        });
        static const std::string small(kSmallSize, 's');
        s->Server().Get(R"(/small/\d+)", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(small, "application/octet-stream");
        });
        s->Start();
        return s;
    }();
    return *server;
}

bool RunQueueUntilDone(TMultiDownloader& queue) {
    queue.Resume();
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (queue.UnfinishedTasksCount() > 0) {
        for (int i = 0; i < queue.DownloadList()->ItemCount(); ++i)
            if (queue.DownloadList()->Items(i)->DownloadState() == KFailed) return false;
        if (std::chrono::steady_clock::now() > end) return false;
        CheckSynchronize(5);
    }
    return true;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_Queue200MBAgainstCurl(benchmark::State& state) {
    httptest::TestHttpServer& server = Server();
    httptest::TempFolder folder;
    const std::string url = server.Url("/big");
    double queueSeconds = 0, curlSeconds = 0;
    for (auto _ : state) {
        const std::string target = folder.File("big.mtd");
        const auto start = std::chrono::steady_clock::now();
        {
            TMultiDownloader queue(nullptr);
            queue.Append(url, target, false, KDirect, "");
            if (!RunQueueUntilDone(queue)) {
                state.SkipWithError("the queue did not finish the download");
                break;
            }
        }
        const auto queueEnd = std::chrono::steady_clock::now();
        if (std::filesystem::file_size(target) != kBigSize) {
            state.SkipWithError("wrong file size from the queue");
            break;
        }
        std::filesystem::remove(target);

        const std::string curlTarget = folder.File("big.curl");
        // Started directly, not through a shell, like the queue's own start.
        const auto curlStart = std::chrono::steady_clock::now();
        if (os::RunProcessAndWait({"curl", "-s", "-o", curlTarget, url}) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
        const auto curlEnd = std::chrono::steady_clock::now();
        std::filesystem::remove(curlTarget);

        queueSeconds += Seconds(queueEnd - start);
        curlSeconds += Seconds(curlEnd - curlStart);
        state.SetIterationTime(Seconds(queueEnd - start));
    }
    const double mb =
        static_cast<double>(kBigSize) / (1024.0 * 1024.0) * static_cast<double>(state.iterations());
    if (queueSeconds > 0 && curlSeconds > 0) {
        state.counters["queue_MBps"] = mb / queueSeconds;
        state.counters["curl_MBps"] = mb / curlSeconds;
        state.counters["ratio"] = curlSeconds / queueSeconds;
        std::printf("queue %.1f MB/s, curl %.1f MB/s, throughput ratio %.3f\n", mb / queueSeconds,
                    mb / curlSeconds, curlSeconds / queueSeconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(kBigSize) * state.iterations());
}
BENCHMARK(BM_Queue200MBAgainstCurl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Queue200ItemsLimit5(benchmark::State& state) {
    httptest::TestHttpServer& server = Server();
    httptest::TempFolder folder;
    for (auto _ : state) {
        TMultiDownloader queue(nullptr);
        queue.SetMaxTasks(5);
        for (int i = 0; i < kSmallItems; ++i)
            queue.Append(server.Url("/small/" + std::to_string(i)),
                         folder.File("item" + std::to_string(i) + ".mtd"), false, KDirect, "");
        if (!RunQueueUntilDone(queue)) {
            state.SkipWithError("the queue did not finish every item");
            break;
        }
        state.PauseTiming();
        for (int i = 0; i < kSmallItems; ++i)
            std::filesystem::remove(folder.File("item" + std::to_string(i) + ".mtd"));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(kSmallItems) * state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(kSmallItems * kSmallSize) * state.iterations());
}
BENCHMARK(BM_Queue200ItemsLimit5)->Unit(benchmark::kMillisecond);

} // namespace
