// The stand-in video site as an HTTP server on 127.0.0.1, with switches that
// make it misbehave for tests.
#pragma once

#include "SiteContent.h"
#include "SiteMedia.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace site {

// Each switch applies to the addresses whose path begins with its path
// ("" means every address). The control address "/__site" never misbehaves.
struct Switches {
    int SlowMs = 0; // answers wait this long first
    std::string SlowPath;
    bool Drop = false; // the connection closes after the headers
    std::string DropPath;
    int Status = 0; // answers are this error status with a short page
    std::string StatusPath;
    int Layout = 1;                // 2: pages in a layout the shipped patterns miss
    int StallMs = 120000;          // how long the stalling media file holds still
    int PaceMs = 0;                // media files wait this long before each piece they send
    int PerPage = kResultsPerPage; // entries of a result page
    bool Chunked = false;          // media files come in chunks, without a length
    std::string Title;             // every entry of a result page has this title
    UpdateAnswer Update;
};

// Applies "name=value" (names as the command line's, without "--"); false
// for an unknown name or a bad value. "reset" puts every switch back.
bool ApplySwitch(Switches& switches, const std::string& name, const std::string& value);

class SiteServer {
public:
    explicit SiteServer(std::string mediaFolder = DefaultMediaFolder());
    ~SiteServer();
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // Listens on 127.0.0.1:port (0: a free one); false when it cannot bind.
    bool Start(int port = 0);
    void Stop();
    int Port() const { return FPort; }
    std::string Base() const; // "http://127.0.0.1:<port>"

    Switches GetSwitches();
    void SetSwitches(const Switches& switches);
    MediaStore& Media() { return FMedia; }
    // The addresses asked for so far (path and query), oldest first.
    std::vector<std::string> Requests();
    // The most media files sent at the same time so far.
    int PeakMediaTransfers() const { return FMediaPeak; }

private:
    void Route();
    bool Stopping(int ms) const; // waits up to ms; true once stopping

    std::unique_ptr<httplib::Server> FServer;
    std::thread FThread;
    int FPort = 0;
    std::atomic<bool> FStopping{false};
    std::mutex FLock;
    Switches FSwitches;
    MediaStore FMedia;
    std::vector<std::string> FRequests;
    std::atomic<int> FMediaActive{0}, FMediaPeak{0};
};

} // namespace site
