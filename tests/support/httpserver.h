// A local HTTP (or HTTPS) server for tests: handlers are registered on the
// underlying server object, then Start() listens on 127.0.0.1 with a port the
// system picks. The HTTPS variant uses a self-signed certificate for
// 127.0.0.1 and localhost, made once per process with the openssl command.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace httptest {

class TestHttpServer {
public:
    explicit TestHttpServer(bool https = false);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Register handlers here before Start().
    httplib::Server& Server() { return *server_; }

    void Start();
    void Stop();

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;

    // For handlers that hold a connection open: waits up to ms and answers
    // true early once the server is stopping, so Stop() never waits long.
    bool WaitWhileRunning(int ms) const;

    // The PEM file of the HTTPS certificate (made on first use).
    static std::string CertificateFile();
    static std::string KeyFile();

private:
    bool https_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
};

// A folder of its own below the temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return path_; } // ends in "/"
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& fileName);
void WriteWholeFile(const std::string& fileName, const std::string& data);

} // namespace httptest
