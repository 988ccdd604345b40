// A TCP server on 127.0.0.1 that answers with whatever bytes a test writes,
// for clients facing servers that break the protocol: endless or broken
// headers, wrong lengths, connections reset in the middle.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httptest {

class RawConnection {
public:
    explicit RawConnection(int fd, const std::atomic<bool>& stopping)
        : fd_(fd), stopping_(stopping) {}
    // The request head up to its blank line; empty when the client left first.
    std::string ReadRequest();
    // false once the client has gone or the server stops.
    bool Send(const std::string& bytes);
    // Ends the connection with a reset instead of an orderly close.
    void Reset();
    bool Stopping() const { return stopping_.load(); }

private:
    friend class RawServer;
    int fd_;
    const std::atomic<bool>& stopping_;
    bool reset_ = false;
};

class RawServer {
public:
    using Handler = std::function<void(RawConnection&)>;
    explicit RawServer(Handler handler);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    void Stop();
    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    int Connections() const { return connections_.load(); }

private:
    void Accept();

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
};

} // namespace httptest
