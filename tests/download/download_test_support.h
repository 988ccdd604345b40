// Helpers of the download tests: pumping the main thread's synchronised calls
// until a condition holds, and a server whose answers wait for the test.
#pragma once

#include "classlib/thread.h"
#include "download/DownloaderDef.h"
#include "platform/inet/inet.h"
#include "support/httpserver.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace dltest {

// Runs the main thread's waiting calls until pred holds or timeoutMs passed.
inline bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        CheckSynchronize(5);
    }
    return true;
}

// Lets every transfer thread end, so nothing outlives a test.
inline bool DrainThreads(int timeoutMs = 10000) {
    return PumpUntil([] { return DownloadThreadsAlive() == 0; }, timeoutMs);
}

// Short limits so stalled servers fail fast.
struct ShortTimeouts {
    explicit ShortTimeouts(int receiveMs = 500) { InternetSetTimeouts(2000, receiveMs); }
    ~ShortTimeouts() { InternetSetTimeouts(30000, 30000); }
};

// Answers "/gate/<name>" with the body set for <name>, but only once the
// test opens that gate; every gate opens when the server stops. A request
// whose agent is not the queue's default waits at "<name>.<agent>" instead.
class GatedServer {
public:
    GatedServer() {
        server.Server().Get(
            R"(/gate/(\w+))", [this](const httplib::Request& req, httplib::Response& res) {
                std::string name = req.matches[1];
                const std::string agent = req.get_header_value("User-Agent");
                if (!agent.empty() && agent != "MultiDownloader") name += "." + agent;
                std::unique_lock<std::mutex> lock(mutex_);
                ++requests_[name];
                changed_.notify_all();
                changed_.wait(lock, [&] { return stopping_ || open_[name] > 0; });
                if (stopping_) {
                    res.status = 503;
                    return;
                }
                --open_[name];
                const std::string body = bodies_.count(name) ? bodies_[name] : "body-" + name;
                const int status = statuses_.count(name) ? statuses_[name] : 200;
                res.status = status;
                res.set_content(body, "application/octet-stream");
            });
        server.Start();
    }
    ~GatedServer() { Stop(); }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        server.Stop();
    }

    std::string Url(const std::string& name) const { return server.Url("/gate/" + name); }
    void SetBody(const std::string& name, const std::string& body, int status = 200) {
        std::lock_guard<std::mutex> lock(mutex_);
        bodies_[name] = body;
        statuses_[name] = status;
    }
    void Open(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++open_[name];
        changed_.notify_all();
    }
    int Requests(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_[name];
    }

    httptest::TestHttpServer server;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, int> open_;
    std::map<std::string, int> requests_;
    std::map<std::string, std::string> bodies_;
    std::map<std::string, int> statuses_;
};

} // namespace dltest
