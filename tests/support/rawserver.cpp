#include "rawserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace httptest {

std::string RawConnection::ReadRequest() {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd_, POLLIN, 0};
        if (stopping_) return {};
        const int ready = poll(&p, 1, 50);
        if (ready == 0) continue;
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        head.append(buffer, static_cast<size_t>(n));
    }
    return head;
}

bool RawConnection::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (stopping_) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 50) == 0) continue;
        const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void RawConnection::Reset() {
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    reset_ = true;
}

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { Accept(); });
}

RawServer::~RawServer() {
    Stop();
}

void RawServer::Stop() {
    if (stopping_.exchange(true)) return;
    acceptThread_.join();
    close(listenFd_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::thread& t : workers_)
        t.join();
}

std::string RawServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawServer::Accept() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        ++connections_;
        std::lock_guard<std::mutex> lock(mutex_);
        workers_.emplace_back([this, fd] {
            RawConnection connection(fd, stopping_);
            try {
                handler_(connection);
            } catch (...) {
                // A handler's failure only ends its connection.
            }
            if (!connection.reset_) shutdown(fd, SHUT_WR);
            close(fd);
        });
    }
}

} // namespace httptest
