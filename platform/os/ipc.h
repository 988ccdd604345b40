// Named objects shared between processes, in place of the kernel's named
// mutexes, events and file mappings. Each lives in POSIX shared memory under
// a safe name made from the object's name ("Global\X" and "X" are kept apart;
// see IpcObjectName). Mutexes are robust: a process that dies holding one
// leaves it abandoned, and the next waiter gets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Prefix of every shared-memory name; tests give each run its own. The
// default comes from $LANTROVE_IPC_NAMESPACE, else "lantrove".
void SetIpcNamespace(const std::string& ns);
std::string IpcNamespace();
// The shared-memory name ("/ns.kind.name") of a named object of one kind.
std::string IpcObjectName(const std::string& kind, const std::string& name);

class SharedBlock; // a mapped shared-memory object

class NamedMutex {
public:
    enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

    // Creates the mutex or opens the existing one; existed tells which. The
    // mutex is not held afterwards. nullptr when it cannot be made.
    static std::unique_ptr<NamedMutex> Create(const std::string& name, bool* existed = nullptr);
    // Opens an existing mutex; nullptr when there is none.
    static std::unique_ptr<NamedMutex> Open(const std::string& name);
    // Removes the name; handles already open keep working.
    static bool Remove(const std::string& name);
    ~NamedMutex();

    // Takes the mutex (recursively for the owning thread). Abandoned means it
    // was taken from a process or thread that ended while holding it.
    WaitResult Wait(uint32_t timeoutMs);
    WaitResult TryLock() { return Wait(0); }
    bool Release();
    // The process holding the mutex now, 0 when it is free.
    int OwnerProcessId() const;
    // True while another live process holds the mutex.
    bool OwnedByAnotherProcess();

private:
    NamedMutex(std::unique_ptr<SharedBlock> block);
    std::unique_ptr<SharedBlock> block_;
};

class NamedEvent {
public:
    // Creates the event (manual or automatic reset, initial state) or opens
    // the existing one with its own settings.
    static std::unique_ptr<NamedEvent> Create(const std::string& name, bool manualReset,
                                              bool initialState, bool* existed = nullptr);
    static std::unique_ptr<NamedEvent> Open(const std::string& name);
    static bool Remove(const std::string& name);
    ~NamedEvent();

    bool Set();
    bool Reset();
    // True when the event was signalled within the time; an automatic-reset
    // event is cleared by the waiter it releases.
    bool Wait(uint32_t timeoutMs);

private:
    NamedEvent(std::unique_ptr<SharedBlock> block);
    std::unique_ptr<SharedBlock> block_;
};

class SharedMemory {
public:
    // Creates a zero-filled block of size bytes, or opens the existing one
    // (at its own size).
    static std::unique_ptr<SharedMemory> Create(const std::string& name, size_t size,
                                                bool* existed = nullptr);
    // Opens and maps all of an existing block; nullptr when there is none.
    static std::unique_ptr<SharedMemory> Open(const std::string& name);
    static bool Remove(const std::string& name);
    ~SharedMemory();

    uint8_t* Data() const;
    size_t Size() const;

private:
    SharedMemory(std::unique_ptr<SharedBlock> block);
    std::unique_ptr<SharedBlock> block_;
};

} // namespace os
