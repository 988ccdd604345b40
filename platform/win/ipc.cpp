#include "platform/win/ipc.h"

#include "platform/os/folders.h"
#include "platform/win/internal.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

namespace winipc {
namespace {

using Clock = std::chrono::steady_clock;

enum Op : uint8_t { kList = 1, kSend, kCopyData, kPost, kShow, kForeground, kQuery };

constexpr uint32_t kMaxFrame = 16u << 20;

std::atomic<uint32_t> g_timeoutMs{5000};

// ---- wire format: little-endian fixed-size integers, strings with a u32 length

class Writer {
public:
    void U8(uint8_t v) { buf_.push_back(char(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            buf_.push_back(char((v >> (8 * i)) & 0xFF));
    }
    void U64(uint64_t v) {
        for (int i = 0; i < 8; ++i)
            buf_.push_back(char((v >> (8 * i)) & 0xFF));
    }
    void Str(const std::string& s) {
        U32(uint32_t(s.size()));
        buf_ += s;
    }
    const std::string& Data() const { return buf_; }

private:
    std::string buf_;
};

class Reader {
public:
    explicit Reader(const std::string& data) : data_(data) {}
    bool U8(uint8_t& v) {
        if (!Need(1)) return false;
        v = uint8_t(data_[pos_++]);
        return true;
    }
    bool U32(uint32_t& v) {
        if (!Need(4)) return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(uint8_t(data_[pos_++])) << (8 * i);
        return true;
    }
    bool U64(uint64_t& v) {
        if (!Need(8)) return false;
        v = 0;
        for (int i = 0; i < 8; ++i)
            v |= uint64_t(uint8_t(data_[pos_++])) << (8 * i);
        return true;
    }
    bool Str(std::string& s) {
        uint32_t n;
        if (!U32(n) || !Need(n)) return false;
        s.assign(data_, pos_, n);
        pos_ += n;
        return true;
    }

private:
    bool Need(size_t n) const { return data_.size() - pos_ >= n; }
    const std::string& data_;
    size_t pos_ = 0;
};

int RemainingMs(Clock::time_point limit) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
    return int(std::max<int64_t>(0, left.count()));
}

// Waits for fd; on the calling thread's behalf keeps answering calls sent to
// it (so two instances sending to each other at once do not lock up).
bool WaitFd(int fd, short events, Clock::time_point limit, bool serveCalls) {
    for (;;) {
        int left = RemainingMs(limit);
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, serveCalls ? std::min(left, 10) : left);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
        if (serveCalls) RunThreadCalls(0);
    }
}

bool WriteAll(int fd, const std::string& data, Clock::time_point limit, bool serveCalls) {
    size_t off = 0;
    while (off < data.size()) {
        if (!WaitFd(fd, POLLOUT, limit, serveCalls)) return false;
        ssize_t n = send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        off += size_t(n);
    }
    return true;
}

bool ReadAll(int fd, char* out, size_t size, Clock::time_point limit, bool serveCalls) {
    size_t off = 0;
    while (off < size) {
        if (!WaitFd(fd, POLLIN, limit, serveCalls)) return false;
        ssize_t n = recv(fd, out + off, size - off, 0);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        off += size_t(n);
    }
    return true;
}

bool WriteFrame(int fd, const std::string& body, Clock::time_point limit, bool serveCalls) {
    Writer w;
    w.U32(uint32_t(body.size()));
    return WriteAll(fd, w.Data() + body, limit, serveCalls);
}

bool ReadFrame(int fd, std::string& body, Clock::time_point limit, bool serveCalls) {
    char head[4];
    if (!ReadAll(fd, head, 4, limit, serveCalls)) return false;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= uint32_t(uint8_t(head[i])) << (8 * i);
    if (n > kMaxFrame) return false;
    body.resize(n);
    return n == 0 || ReadAll(fd, &body[0], n, limit, serveCalls);
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    if (path.size() >= sizeof(addr.sun_path)) return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The folder must be ours alone: a folder another user can write to could
// hand us someone else's sockets.
bool EnsurePrivateFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (st.st_uid != getuid()) return false;
    if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

// ---- proxies for other processes' windows

struct Proxy {
    std::string path;
    uint64_t remote = 0;
};

struct Proxies {
    std::mutex m;
    std::map<HWND, Proxy> byHandle;
    std::map<std::pair<std::string, uint64_t>, HWND> byRemote;
};

Proxies& GetProxies() {
    static Proxies* p = new Proxies;
    return *p;
}

HWND ProxyFor(const std::string& path, uint64_t remote) {
    Proxies& p = GetProxies();
    std::lock_guard<std::mutex> g(p.m);
    auto key = std::make_pair(path, remote);
    auto it = p.byRemote.find(key);
    if (it != p.byRemote.end()) return it->second;
    HWND h;
    {
        winimpl::State& s = winimpl::GetState();
        std::lock_guard<std::mutex> sg(s.m);
        h = s.nextHandle;
        s.nextHandle += 4;
    }
    p.byRemote[key] = h;
    p.byHandle[h] = Proxy{path, remote};
    return h;
}

bool LookupProxy(HWND hwnd, Proxy& out) {
    Proxies& p = GetProxies();
    std::lock_guard<std::mutex> g(p.m);
    auto it = p.byHandle.find(hwnd);
    if (it == p.byHandle.end()) return false;
    out = it->second;
    return true;
}

pid_t PidOfSocket(const std::string& name) {
    char* end = nullptr;
    long pid = std::strtol(name.c_str(), &end, 10);
    if (!end || std::strcmp(end, ".sock") != 0 || pid <= 0) return 0;
    return pid_t(pid);
}

// One request, one answer. Fails (false) on any error or when the bound passes.
bool Exchange(const std::string& path, const std::string& request, std::string& reply,
              uint32_t timeoutMs) {
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs == 0 ? 1 : timeoutMs);
    bool ok = false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || errno == EINPROGRESS ||
        errno == EAGAIN) {
        ok = WriteFrame(fd, request, limit, true) && ReadFrame(fd, reply, limit, true);
    } else if (errno == ECONNREFUSED) {
        // Nobody listens: when the process that made it is gone, the socket is stale.
        size_t slash = path.rfind('/');
        pid_t pid = PidOfSocket(path.substr(slash + 1));
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) unlink(path.c_str());
    }
    close(fd);
    return ok;
}

// ---- the listening side

struct Listener {
    std::mutex m;
    int fd = -1;
    int stopPipe[2] = {-1, -1};
    std::string path;
    std::thread thread;
};

Listener& GetListener() {
    static Listener* l = new Listener;
    return *l;
}

HWND LocalWindow(uint64_t remote) {
    HWND h = HWND(remote);
    return IsWindow(h) && !IsRemote(h) ? h : 0;
}

// Runs work on the thread of hwnd within the bound; false when it did not answer.
bool RunOnWindowThread(HWND hwnd, std::function<LRESULT()> work, LRESULT* result) {
    auto q = winimpl::QueueOf(GetWindowThreadProcessId(hwnd, nullptr));
    if (!q) return false;
    return winimpl::RunOn(q, std::move(work), true, TimeoutMs(), result);
}

std::string Answer(const std::string& request) {
    Reader r(request);
    Writer w;
    uint8_t op;
    if (!r.U8(op)) return {};
    switch (op) {
    case kList: {
        std::string cls, name;
        uint8_t hasCls, hasName;
        if (!r.U8(hasCls) || !r.Str(cls) || !r.U8(hasName) || !r.Str(name)) return {};
        std::vector<HWND> found = winimpl::LocalTopLevel(hasCls ? cls.c_str() : nullptr,
                                                         hasName ? name.c_str() : nullptr);
        w.U32(uint32_t(found.size()));
        for (HWND h : found)
            w.U64(h);
        return w.Data();
    }
    case kSend:
    case kPost: {
        uint64_t hwnd, wp, lp;
        uint32_t msg;
        std::string name;
        if (!r.U64(hwnd) || !r.U32(msg) || !r.Str(name) || !r.U64(wp) || !r.U64(lp)) return {};
        HWND h = LocalWindow(hwnd);
        if (!name.empty()) msg = RegisterWindowMessage(name);
        if (h == 0 || msg == 0) {
            w.U8(0);
            w.U64(0);
            return w.Data();
        }
        if (op == kPost) {
            w.U8(PostMessage(h, msg, WPARAM(wp), LPARAM(lp)) ? 1 : 0);
            w.U64(0);
            return w.Data();
        }
        LRESULT res = 0;
        bool ok = RunOnWindowThread(
            h,
            [=] { return IsWindow(h) ? SendMessage(h, msg, WPARAM(wp), LPARAM(lp)) : LRESULT(0); },
            &res);
        w.U8(ok ? 1 : 0);
        w.U64(uint64_t(res));
        return w.Data();
    }
    case kCopyData: {
        uint64_t hwnd, wp, dw;
        auto payload = std::make_shared<std::string>();
        if (!r.U64(hwnd) || !r.U64(wp) || !r.U64(dw) || !r.Str(*payload)) return {};
        HWND h = LocalWindow(hwnd);
        LRESULT res = 0;
        bool ok = h != 0 && RunOnWindowThread(
                                h,
                                [=] {
                                    if (!IsWindow(h)) return LRESULT(0);
                                    COPYDATASTRUCT cds;
                                    cds.dwData = UINT_PTR(dw);
                                    cds.cbData = DWORD(payload->size());
                                    cds.lpData = payload->data();
                                    return SendMessage(h, WM_COPYDATA, WPARAM(wp),
                                                       reinterpret_cast<LPARAM>(&cds));
                                },
                                &res);
        w.U8(ok ? 1 : 0);
        w.U64(uint64_t(res));
        return w.Data();
    }
    case kShow: {
        uint64_t hwnd;
        uint32_t cmd;
        if (!r.U64(hwnd) || !r.U32(cmd)) return {};
        HWND h = LocalWindow(hwnd);
        LRESULT res = 0;
        bool ok = h != 0 && RunOnWindowThread(
                                h, [=] { return LRESULT(ShowWindow(h, int(cmd))); }, &res);
        w.U8(ok ? 1 : 0);
        w.U64(uint64_t(res));
        return w.Data();
    }
    case kForeground: {
        uint64_t hwnd;
        if (!r.U64(hwnd)) return {};
        HWND h = LocalWindow(hwnd);
        LRESULT res = 0;
        bool ok = h != 0 && RunOnWindowThread(
                                h, [=] { return LRESULT(SetForegroundWindow(h)); }, &res);
        w.U8(ok && res ? 1 : 0);
        w.U64(uint64_t(res));
        return w.Data();
    }
    case kQuery: {
        uint64_t hwnd;
        if (!r.U64(hwnd)) return {};
        HWND h = LocalWindow(hwnd);
        w.U8(h ? 1 : 0);
        w.U8(h && IsWindowVisible(h) ? 1 : 0);
        w.U8(h && IsIconic(h) ? 1 : 0);
        w.U8(h && GetForegroundWindow() == h ? 1 : 0);
        w.Str(h ? GetClassName(h) : std::string());
        return w.Data();
    }
    default:
        return {};
    }
}

void Serve(Listener* l, int listenFd, int stopFd) {
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        int r = poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int c = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (c < 0) continue;
        // A client that stalls mid-request does not hold the listener for long.
        auto limit = Clock::now() + std::chrono::milliseconds(TimeoutMs());
        std::string request;
        if (ReadFrame(c, request, limit, false)) {
            std::string reply = Answer(request);
            limit = Clock::now() + std::chrono::milliseconds(TimeoutMs());
            if (!reply.empty()) WriteFrame(c, reply, limit, false);
        }
        close(c);
    }
    (void)l;
}

bool ReadResult(const std::string& reply, LRESULT* result) {
    Reader r(reply);
    uint8_t ok;
    uint64_t v;
    if (!r.U8(ok) || !r.U64(v) || !ok) return false;
    if (result) *result = LRESULT(v);
    return true;
}

std::string OwnSocketName() {
    return std::to_string(getpid()) + ".sock";
}

} // namespace

std::string Folder() {
    const char* over = std::getenv("LANTROVE_IPC_DIR");
    if (over && *over) return over;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/lantrove-win";
    return os::TempFolder() + "lantrove-win-" + std::to_string(getuid());
}

void SetTimeoutMs(uint32_t ms) {
    g_timeoutMs = ms == 0 ? 1 : ms;
}
uint32_t TimeoutMs() {
    return g_timeoutMs;
}

bool Publish() {
    Listener& l = GetListener();
    std::lock_guard<std::mutex> g(l.m);
    if (l.fd >= 0) return true;
    std::string folder = Folder();
    if (!EnsurePrivateFolder(folder)) return false;
    std::string path = folder + "/" + OwnSocketName();
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    unlink(path.c_str()); // left by an earlier process with our number
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return false;
    }
    if (pipe2(l.stopPipe, O_CLOEXEC) != 0) {
        close(fd);
        unlink(path.c_str());
        return false;
    }
    l.fd = fd;
    l.path = path;
    l.thread = std::thread(Serve, &l, fd, l.stopPipe[0]);
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit([] { Unpublish(); });
    }
    return true;
}

void Unpublish() {
    Listener& l = GetListener();
    std::lock_guard<std::mutex> g(l.m);
    if (l.fd < 0) return;
    char b = 1;
    ssize_t ignored = write(l.stopPipe[1], &b, 1);
    (void)ignored;
    if (l.thread.joinable()) l.thread.join();
    close(l.fd);
    close(l.stopPipe[0]);
    close(l.stopPipe[1]);
    unlink(l.path.c_str());
    l.fd = -1;
    l.path.clear();
}

bool IsPublished() {
    Listener& l = GetListener();
    std::lock_guard<std::mutex> g(l.m);
    return l.fd >= 0;
}

bool IsRemote(HWND hwnd) {
    if (hwnd == 0) return false;
    Proxies& p = GetProxies();
    std::lock_guard<std::mutex> g(p.m);
    return p.byHandle.count(hwnd) != 0;
}

std::vector<HWND> FindRemote(const char* className, const char* windowName) {
    std::vector<HWND> result;
    std::string folder = Folder();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return result;
    std::vector<std::pair<pid_t, std::string>> peers;
    pid_t self = getpid();
    while (dirent* e = readdir(dir)) {
        pid_t pid = PidOfSocket(e->d_name);
        if (pid > 0 && pid != self) peers.emplace_back(pid, e->d_name);
    }
    closedir(dir);
    std::sort(peers.begin(), peers.end());
    Writer req;
    req.U8(kList);
    req.U8(className ? 1 : 0);
    req.Str(className ? className : "");
    req.U8(windowName ? 1 : 0);
    req.Str(windowName ? windowName : "");
    for (auto& [pid, name] : peers) {
        std::string path = folder + "/" + name;
        std::string reply;
        if (!Exchange(path, req.Data(), reply, TimeoutMs())) continue;
        Reader r(reply);
        uint32_t n;
        if (!r.U32(n)) continue;
        for (uint32_t i = 0; i < n; ++i) {
            uint64_t h;
            if (!r.U64(h)) break;
            result.push_back(ProxyFor(path, h));
        }
    }
    return result;
}

bool RemoteSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, uint32_t timeoutMs,
                LRESULT* result) {
    Proxy p;
    if (!LookupProxy(hwnd, p)) return false;
    Writer req;
    std::string reply;
    if (msg == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!cds || (cds->cbData > 0 && !cds->lpData) || cds->cbData > kMaxFrame - 64) return false;
        req.U8(kCopyData);
        req.U64(p.remote);
        req.U64(wParam);
        req.U64(cds->dwData);
        req.Str(std::string(static_cast<const char*>(cds->lpData), cds->cbData));
    } else {
        std::string name = RegisteredMessageName(msg);
        req.U8(kSend);
        req.U64(p.remote);
        req.U32(msg);
        req.Str(name);
        req.U64(wParam);
        req.U64(uint64_t(lParam));
    }
    return Exchange(p.path, req.Data(), reply, timeoutMs) && ReadResult(reply, result);
}

bool RemotePost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Proxy p;
    if (!LookupProxy(hwnd, p) || msg == WM_COPYDATA) return false;
    Writer req;
    req.U8(kPost);
    req.U64(p.remote);
    req.U32(msg);
    req.Str(RegisteredMessageName(msg));
    req.U64(wParam);
    req.U64(uint64_t(lParam));
    std::string reply;
    return Exchange(p.path, req.Data(), reply, TimeoutMs()) && ReadResult(reply, nullptr);
}

bool RemoteShow(HWND hwnd, int cmd, LRESULT* result) {
    Proxy p;
    if (!LookupProxy(hwnd, p)) return false;
    Writer req;
    req.U8(kShow);
    req.U64(p.remote);
    req.U32(uint32_t(cmd));
    std::string reply;
    return Exchange(p.path, req.Data(), reply, TimeoutMs()) && ReadResult(reply, result);
}

bool RemoteSetForeground(HWND hwnd) {
    Proxy p;
    if (!LookupProxy(hwnd, p)) return false;
    Writer req;
    req.U8(kForeground);
    req.U64(p.remote);
    std::string reply;
    return Exchange(p.path, req.Data(), reply, TimeoutMs()) && ReadResult(reply, nullptr);
}

RemoteState RemoteQuery(HWND hwnd) {
    RemoteState st;
    Proxy p;
    if (!LookupProxy(hwnd, p)) return st;
    Writer req;
    req.U8(kQuery);
    req.U64(p.remote);
    std::string reply;
    if (!Exchange(p.path, req.Data(), reply, TimeoutMs())) return st;
    Reader r(reply);
    uint8_t exists, visible, iconic, fg;
    if (!r.U8(exists) || !r.U8(visible) || !r.U8(iconic) || !r.U8(fg) || !r.Str(st.className))
        return RemoteState{};
    st.exists = exists;
    st.visible = visible;
    st.iconic = iconic;
    st.foreground = fg;
    return st;
}

} // namespace winipc
