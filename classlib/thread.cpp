#include "classlib/thread.h"

#include "platform/win/queue.h"

#include <exception>

namespace {

thread_local TThread* t_current = nullptr;

// Runs Method on the main thread, carrying an exception back to the caller.
void RunOnMain(const TThreadMethod& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    std::exception_ptr error;
    SendThreadCall(MainThreadId(), [&] {
        try {
            Method();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error) std::rethrow_exception(error);
}

} // namespace

TThread::TThread(bool CreateSuspended) {
    if (!CreateSuspended) Start();
}

TThread::~TThread() {
    if (FHandle.joinable() && FHandle.get_id() == std::this_thread::get_id())
        FHandle.detach(); // freeing itself from its own thread
    StopThread();
}

void TThread::StopThread() {
    if (!FHandle.joinable() || FHandle.get_id() == std::this_thread::get_id()) return;
    Terminate();
    if (IsMainThread()) {
        // The thread may be waiting in Synchronize.
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(FLock);
                if (FFinished) break;
            }
            CheckSynchronize(10);
        }
    }
    FHandle.join();
}

void TThread::Start() {
    if (FStarted) throw EThread("Thread already started");
    FStarted = true;
    // The new thread waits for FLock so that FHandle is set before it can end.
    std::lock_guard<std::mutex> g(FLock);
    FHandle = std::thread([this] { Run(); });
}

void TThread::Terminate() {
    FTerminated = true;
}

void TThread::Run() {
    { std::lock_guard<std::mutex> g(FLock); }
    t_current = this;
    FThreadID = GetCurrentThreadId();
    try {
        if (!Terminated()) Execute();
    } catch (const std::exception& e) {
        FatalException = e.what();
    } catch (...) {
        FatalException = "Unknown exception";
    }
    try {
        DoTerminate();
    } catch (...) {
        // An OnTerminate handler's failure must not take the thread down.
    }
    bool freeSelf = FreeOnTerminate;
    {
        std::lock_guard<std::mutex> g(FLock);
        FFinished = true;
    }
    FDone.notify_all();
    t_current = nullptr;
    if (freeSelf) {
        // Nothing touches the object after this line.
        delete this;
    }
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

int TThread::WaitFor() {
    if (FreeOnTerminate) throw EThread("Cannot wait for a thread that frees itself");
    if (!FStarted) return ReturnValue;
    if (std::this_thread::get_id() == FHandle.get_id()) throw EThread("Thread waits for itself");
    if (IsMainThread()) {
        // Keep the main thread's work moving: the thread may be in Synchronize.
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(FLock);
                if (FFinished) break;
            }
            CheckSynchronize(10);
        }
    } else {
        std::unique_lock<std::mutex> lock(FLock);
        FDone.wait(lock, [this] { return FFinished.load(); });
    }
    return ReturnValue;
}

void TThread::Synchronize(TThreadMethod Method) {
    RunOnMain(Method);
}

void TThread::Synchronize(TThread*, TThreadMethod Method) {
    RunOnMain(Method);
}

void TThread::Queue(TThreadMethod Method) {
    Queue(this, std::move(Method));
}

void TThread::Queue(TThread*, TThreadMethod Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    PostThreadCall(MainThreadId(), [m = std::move(Method)] {
        try {
            m();
        } catch (...) {
            // Nobody waits for a queued call; its failure ends with it.
        }
    });
}

TThread* TThread::CurrentThread() {
    return t_current;
}

bool CheckSynchronize(int Timeout) {
    if (!IsMainThread()) return false;
    return RunThreadCalls(Timeout > 0 ? uint32_t(Timeout) : 0);
}

int ThreadPriorityNice(TThreadPriority Priority) {
    static const int Nice[] = {19, 10, 5, 0, -5, -10, -20};
    const int Index = static_cast<int>(Priority);
    return Index >= 0 && Index < 7 ? Nice[Index] : 0;
}
