#include "platform/os/ipc.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace os {

class SharedBlock {
public:
    SharedBlock(int fd, void* data, size_t size) : fd_(fd), data_(data), size_(size) {}
    ~SharedBlock() {
        if (data_) munmap(data_, size_);
        if (fd_ >= 0) close(fd_);
    }
    uint8_t* Data() const { return static_cast<uint8_t*>(data_); }
    size_t Size() const { return size_; }

private:
    int fd_;
    void* data_;
    size_t size_;
};

namespace {

std::mutex g_nsLock;
std::string g_namespace;

constexpr uint32_t kMutexReady = 0x4D55544Bu; // "MUTK"
constexpr uint32_t kEventReady = 0x45564E54u; // "EVNT"

struct MutexData {
    std::atomic<uint32_t> ready;
    std::atomic<int32_t> ownerPid;
    std::atomic<int32_t> ownerTid;
    int32_t depth;
    pthread_mutex_t mutex;
};

struct EventData {
    std::atomic<uint32_t> ready;
    std::atomic<uint32_t> state;
    uint32_t manualReset;
};

uint64_t MonotonicNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

void SleepMs(long ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

std::string SafeName(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string scope, rest = name;
    auto starts = [&](const char* p) {
        size_t n = std::char_traits<char>::length(p);
        if (rest.size() < n) return false;
        for (size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(rest[i])) != p[i]) return false;
        return true;
    };
    if (starts("global\\")) {
        scope = "g.";
        rest = rest.substr(7);
    } else {
        if (starts("local\\")) rest = rest.substr(6);
        scope = "u" + std::to_string(getuid()) + ".";
    }
    std::string out;
    for (unsigned char c : rest) {
        if (std::isalnum(c) || c == '.' || c == '-')
            out += char(c);
        else {
            out += '_';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (out.size() > 160) {
        // Keep long names unique within the limit of shared-memory names.
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : out)
            h = (h ^ c) * 1099511628211ull;
        std::string tail;
        for (int i = 0; i < 16; ++i)
            tail += hex[(h >> (i * 4)) & 15];
        out = out.substr(0, 140) + "~" + tail;
    }
    return scope + out;
}

// Creates (exclusively) or opens a block of at least size bytes. With init,
// a newly created block is handed to init before others may use it, and an
// opened one is waited for until its ready word shows the given value.
// Objects in the global scope are shared with every user, as the global
// namespace is; the others stay with this user.
mode_t ModeFor(const std::string& name) {
    return SafeName(name).rfind("g.", 0) == 0 ? 0666 : 0600;
}

std::unique_ptr<SharedBlock> CreateOrOpen(const std::string& shmName, mode_t mode, size_t size,
                                          bool* existed, uint32_t readyValue,
                                          const std::function<void(void*)>& init = nullptr) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            fchmod(fd, mode); // past the umask
            if (ftruncate(fd, off_t(size)) != 0) {
                close(fd);
                shm_unlink(shmName.c_str());
                return nullptr;
            }
            void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (p == MAP_FAILED) {
                close(fd);
                shm_unlink(shmName.c_str());
                return nullptr;
            }
            if (init) {
                init(p);
                static_cast<std::atomic<uint32_t>*>(p)->store(readyValue,
                                                              std::memory_order_release);
            }
            if (existed) *existed = false;
            return std::make_unique<SharedBlock>(fd, p, size);
        }
        if (errno != EEXIST) return nullptr;
        fd = shm_open(shmName.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) {
            if (errno == ENOENT) continue; // removed in between: try creating again
            return nullptr;
        }
        // The creator may still be sizing and filling the block.
        uint64_t deadline = MonotonicNowMs() + 1000;
        size_t have = 0;
        while (true) {
            struct stat st {};
            if (fstat(fd, &st) == 0) have = size_t(st.st_size);
            if (have > 0 && (have >= size || !init)) break;
            if (MonotonicNowMs() >= deadline) break;
            SleepMs(1);
        }
        if (have == 0 || (init && have < size)) {
            close(fd);
            if (init) {
                // A creator that died before sizing the block left it unusable.
                shm_unlink(shmName.c_str());
                continue;
            }
            return nullptr;
        }
        size_t mapSize = init ? size : have;
        void* p = mmap(nullptr, mapSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            close(fd);
            return nullptr;
        }
        auto block = std::make_unique<SharedBlock>(fd, p, mapSize);
        if (init) {
            auto* ready = static_cast<std::atomic<uint32_t>*>(p);
            while (ready->load(std::memory_order_acquire) != readyValue &&
                   MonotonicNowMs() < deadline)
                SleepMs(1);
            if (ready->load(std::memory_order_acquire) != readyValue) {
                block.reset();
                shm_unlink(shmName.c_str());
                continue;
            }
        }
        if (existed) *existed = true;
        return block;
    }
    return nullptr;
}

std::unique_ptr<SharedBlock> OpenExisting(const std::string& shmName, size_t minSize,
                                          uint32_t readyValue) {
    int fd = shm_open(shmName.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0 || size_t(st.st_size) < minSize) {
        close(fd);
        return nullptr;
    }
    size_t size = minSize ? minSize : size_t(st.st_size);
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto block = std::make_unique<SharedBlock>(fd, p, size);
    if (readyValue &&
        static_cast<std::atomic<uint32_t>*>(p)->load(std::memory_order_acquire) != readyValue)
        return nullptr;
    return block;
}

void InitMutex(void* p) {
    auto* d = new (p) MutexData();
    d->ownerPid.store(0);
    d->ownerTid.store(0);
    d->depth = 0;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&d->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void InitEvent(void* p, bool manualReset, bool initialState) {
    auto* d = new (p) EventData();
    d->state.store(initialState ? 1 : 0);
    d->manualReset = manualReset ? 1 : 0;
}

MutexData* AsMutex(SharedBlock* b) {
    return reinterpret_cast<MutexData*>(b->Data());
}
EventData* AsEvent(SharedBlock* b) {
    return reinterpret_cast<EventData*>(b->Data());
}

int CurrentTid() {
    return int(syscall(SYS_gettid));
}

bool ProcessAlive(int pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

long FutexWait(std::atomic<uint32_t>* addr, uint32_t expected, const timespec* rel) {
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(addr), FUTEX_WAIT, expected, rel, nullptr,
                   0);
}

void FutexWakeAll(std::atomic<uint32_t>* addr) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(addr), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

} // namespace

void SetIpcNamespace(const std::string& ns) {
    std::lock_guard<std::mutex> g(g_nsLock);
    g_namespace = ns;
}

std::string IpcNamespace() {
    std::lock_guard<std::mutex> g(g_nsLock);
    if (!g_namespace.empty()) return g_namespace;
    const char* env = std::getenv("LANTROVE_IPC_NAMESPACE");
    return (env && *env) ? std::string(env) : std::string("lantrove");
}

std::string IpcObjectName(const std::string& kind, const std::string& name) {
    return "/" + IpcNamespace() + "." + kind + "." + SafeName(name);
}

// ---- NamedMutex ----

NamedMutex::NamedMutex(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
NamedMutex::~NamedMutex() = default;

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name, bool* existed) {
    auto b = CreateOrOpen(IpcObjectName("mutex", name), ModeFor(name), sizeof(MutexData), existed,
                          kMutexReady, InitMutex);
    if (!b) return nullptr;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(b)));
}

std::unique_ptr<NamedMutex> NamedMutex::Open(const std::string& name) {
    auto b = OpenExisting(IpcObjectName("mutex", name), sizeof(MutexData), kMutexReady);
    if (!b) return nullptr;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(b)));
}

bool NamedMutex::Remove(const std::string& name) {
    return shm_unlink(IpcObjectName("mutex", name).c_str()) == 0;
}

NamedMutex::WaitResult NamedMutex::Wait(uint32_t timeoutMs) {
    MutexData* d = AsMutex(block_.get());
    int r;
    if (timeoutMs == 0) {
        r = pthread_mutex_trylock(&d->mutex);
    } else if (timeoutMs == kInfinite) {
        r = pthread_mutex_lock(&d->mutex);
    } else {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        ts.tv_sec += timeoutMs / 1000;
        ts.tv_nsec += long(timeoutMs % 1000) * 1000000L;
        if (ts.tv_nsec >= 1000000000L) {
            ts.tv_sec += 1;
            ts.tv_nsec -= 1000000000L;
        }
        r = pthread_mutex_clocklock(&d->mutex, CLOCK_MONOTONIC, &ts);
    }
    WaitResult result;
    if (r == 0) {
        result = WaitResult::Acquired;
    } else if (r == EOWNERDEAD) {
        pthread_mutex_consistent(&d->mutex);
        d->depth = 0;
        result = WaitResult::Abandoned;
    } else if (r == EBUSY || r == ETIMEDOUT) {
        return WaitResult::TimedOut;
    } else {
        return WaitResult::Failed;
    }
    if (d->ownerPid.load() != getpid() || d->ownerTid.load() != CurrentTid()) d->depth = 0;
    d->depth++;
    d->ownerPid.store(getpid());
    d->ownerTid.store(CurrentTid());
    return result;
}

bool NamedMutex::Release() {
    MutexData* d = AsMutex(block_.get());
    if (d->ownerPid.load() != getpid() || d->ownerTid.load() != CurrentTid() || d->depth <= 0)
        return false;
    if (--d->depth == 0) {
        d->ownerTid.store(0);
        d->ownerPid.store(0);
    }
    return pthread_mutex_unlock(&d->mutex) == 0;
}

int NamedMutex::OwnerProcessId() const {
    return AsMutex(block_.get())->ownerPid.load();
}

bool NamedMutex::OwnedByAnotherProcess() {
    int pid = OwnerProcessId();
    return pid != 0 && pid != getpid() && ProcessAlive(pid);
}

// ---- NamedEvent ----

NamedEvent::NamedEvent(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
NamedEvent::~NamedEvent() = default;

std::unique_ptr<NamedEvent> NamedEvent::Create(const std::string& name, bool manualReset,
                                               bool initialState, bool* existed) {
    auto b = CreateOrOpen(IpcObjectName("event", name), ModeFor(name), sizeof(EventData), existed,
                          kEventReady, [&](void* p) { InitEvent(p, manualReset, initialState); });
    if (!b) return nullptr;
    return std::unique_ptr<NamedEvent>(new NamedEvent(std::move(b)));
}

std::unique_ptr<NamedEvent> NamedEvent::Open(const std::string& name) {
    auto b = OpenExisting(IpcObjectName("event", name), sizeof(EventData), kEventReady);
    if (!b) return nullptr;
    return std::unique_ptr<NamedEvent>(new NamedEvent(std::move(b)));
}

bool NamedEvent::Remove(const std::string& name) {
    return shm_unlink(IpcObjectName("event", name).c_str()) == 0;
}

bool NamedEvent::Set() {
    EventData* d = AsEvent(block_.get());
    d->state.store(1, std::memory_order_release);
    FutexWakeAll(&d->state);
    return true;
}

bool NamedEvent::Reset() {
    AsEvent(block_.get())->state.store(0, std::memory_order_release);
    return true;
}

bool NamedEvent::Wait(uint32_t timeoutMs) {
    EventData* d = AsEvent(block_.get());
    uint64_t deadline = timeoutMs == kInfinite ? 0 : MonotonicNowMs() + timeoutMs;
    while (true) {
        if (d->manualReset) {
            if (d->state.load(std::memory_order_acquire) == 1) return true;
        } else {
            uint32_t expected = 1;
            if (d->state.compare_exchange_strong(expected, 0, std::memory_order_acq_rel))
                return true;
        }
        if (timeoutMs == kInfinite) {
            FutexWait(&d->state, 0, nullptr);
            continue;
        }
        uint64_t now = MonotonicNowMs();
        if (now >= deadline) return false;
        uint64_t left = deadline - now;
        timespec rel{time_t(left / 1000), long(left % 1000) * 1000000L};
        FutexWait(&d->state, 0, &rel);
    }
}

// ---- SharedMemory ----

SharedMemory::SharedMemory(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
SharedMemory::~SharedMemory() = default;

std::unique_ptr<SharedMemory> SharedMemory::Create(const std::string& name, size_t size,
                                                   bool* existed) {
    if (size == 0) return nullptr;
    auto b = CreateOrOpen(IpcObjectName("map", name), ModeFor(name), size, existed, 0, nullptr);
    if (!b) return nullptr;
    return std::unique_ptr<SharedMemory>(new SharedMemory(std::move(b)));
}

std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& name) {
    auto b = OpenExisting(IpcObjectName("map", name), 0, 0);
    if (!b) return nullptr;
    return std::unique_ptr<SharedMemory>(new SharedMemory(std::move(b)));
}

bool SharedMemory::Remove(const std::string& name) {
    return shm_unlink(IpcObjectName("map", name).c_str()) == 0;
}

uint8_t* SharedMemory::Data() const {
    return block_->Data();
}
size_t SharedMemory::Size() const {
    return block_->Size();
}

} // namespace os
