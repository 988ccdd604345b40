// Threads of the class library. Work reaches the main thread only through
// Synchronize (waits) and Queue (does not); both run inside the main thread's
// message loop, or at once when called on the main thread.
#pragma once

#include "classlib/classes.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

using TThreadMethod = std::function<void()>;

enum TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};
// The nice value that stands for a priority (19 for tpIdle to -20).
int ThreadPriorityNice(TThreadPriority Priority);

class TThread : public TObject {
public:
    // A thread created suspended waits for Start; otherwise it starts at once,
    // before a derived class's constructor has run: a derived class whose
    // Execute needs its own members passes true and calls Start() last.
    explicit TThread(bool CreateSuspended);
    // Terminates and waits for a thread that is still running. By then the
    // derived part is gone, so a derived class whose Execute uses its own
    // members calls StopThread() first in its destructor. A thread that frees
    // itself is destroyed on its own thread; never delete it yourself once it
    // has started.
    ~TThread() override;

    // Starts a suspended thread. Raises EThread when it already started.
    void Start();
    // Asks Execute to stop: sets Terminated.
    void Terminate();
    // Waits until Execute has ended and OnTerminate has run; returns
    // ReturnValue. Called on the main thread it keeps running synchronised
    // calls meanwhile. Raises EThread when the thread frees itself.
    int WaitFor();

    bool Terminated() const { return FTerminated.load(); }
    bool Finished() const { return FFinished.load(); }
    bool Started() const { return FStarted; }
    // The window layer's number of the thread (GetCurrentThreadId inside it).
    uint32_t ThreadID() const { return FThreadID.load(); }

    // Runs Method on the main thread and waits for it. An exception it raises
    // is raised again here.
    void Synchronize(TThreadMethod Method);
    static void Synchronize(TThread* AThread, TThreadMethod Method);
    // Hands Method to the main thread and returns at once.
    void Queue(TThreadMethod Method);
    static void Queue(TThread* AThread, TThreadMethod Method);

    static TThread* CurrentThread(); // null outside threads of this class

    // Set before the thread ends: it then frees itself after OnTerminate.
    bool FreeOnTerminate = false;
    // Raised on the main thread after Execute returns.
    TNotifyEvent OnTerminate;
    int ReturnValue = 0;
    // The exception that ended Execute, if any (message only).
    std::string FatalException;

protected:
    virtual void Execute() = 0;
    // Asks the thread to stop and joins it (running the main thread's calls
    // meanwhile when called there); nothing when it never started, already
    // ended or is the calling thread.
    void StopThread();
    // Raises OnTerminate through Synchronize.
    virtual void DoTerminate();

private:
    void Run();

    std::thread FHandle;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<uint32_t> FThreadID{0};
    bool FStarted = false;
    std::mutex FLock;
    std::condition_variable FDone;
};

class EThread : public Exception {
public:
    using Exception::Exception;
};

// Runs the calls that threads handed to the main thread. With Timeout > 0 and
// none waiting, waits up to that long for one. True when any ran. Only on the
// main thread (elsewhere it does nothing).
bool CheckSynchronize(int Timeout = 0);
