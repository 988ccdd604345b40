#include "httpserver.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>

namespace httptest {

namespace fs = std::filesystem;

namespace {

std::string MakeUniqueFolder(const std::string& prefix) {
    std::random_device rd;
    std::mt19937_64 gen(rd());
    const fs::path base = fs::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
        fs::path p = base / (prefix + std::to_string(gen() % 100000000));
        std::error_code ec;
        if (fs::create_directory(p, ec)) return p.string() + "/";
    }
    throw std::runtime_error("cannot create a temporary folder");
}

struct CertificateFiles {
    std::string folder;
    std::string cert;
    std::string key;
    ~CertificateFiles() {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

const CertificateFiles& Certificates() {
    static CertificateFiles files;
    static std::once_flag once;
    std::call_once(once, [] {
        files.folder = MakeUniqueFolder("lantrove-cert-");
        files.cert = files.folder + "cert.pem";
        files.key = files.folder + "key.pem";
        const std::string cmd =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
            " -keyout '" +
            files.key + "' -out '" + files.cert +
            "' -days 2 -subj /CN=127.0.0.1"
            " -addext subjectAltName=IP:127.0.0.1,DNS:localhost >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            throw std::runtime_error("openssl could not make a test certificate");
    });
    return files;
}

} // namespace

TestHttpServer::TestHttpServer(bool https) : https_(https) {
    if (https)
        server_ = std::make_unique<httplib::SSLServer>(Certificates().cert.c_str(),
                                                       Certificates().key.c_str());
    else
        server_ = std::make_unique<httplib::Server>();
}

TestHttpServer::~TestHttpServer() {
    Stop();
}

void TestHttpServer::Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("test server cannot bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 500 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void TestHttpServer::Stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string TestHttpServer::Url(const std::string& path) const {
    return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

bool TestHttpServer::WaitWhileRunning(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (stopping_) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return stopping_;
}

std::string TestHttpServer::CertificateFile() {
    return Certificates().cert;
}
std::string TestHttpServer::KeyFile() {
    return Certificates().key;
}

TempFolder::TempFolder() : path_(MakeUniqueFolder("lantrove-test-")) {}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteWholeFile(const std::string& fileName, const std::string& data) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

} // namespace httptest
