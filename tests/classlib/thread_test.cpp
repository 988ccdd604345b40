#include "classlib/thread.h"

#include "platform/win/queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs a step list on its thread; each step may reach the main thread.
class TStepThread : public TThread {
public:
    explicit TStepThread(std::function<void(TStepThread*)> body) : TThread(true), Body(body) {}
    ~TStepThread() override { StopThread(); }
    using TThread::Queue;
    using TThread::Synchronize;
    std::function<void(TStepThread*)> Body;

protected:
    void Execute() override { Body(this); }
};

TEST(ThreadTest, SynchronizeQueueAndOnTerminateRunOnTheMainThreadInOrder) {
    const DWORD mainId = GetCurrentThreadId();
    std::vector<std::string> order;
    std::vector<DWORD> where;
    auto note = [&](const char* what) {
        order.push_back(what);
        where.push_back(GetCurrentThreadId());
    };
    TStepThread t([&](TStepThread* self) {
        self->Queue([&] { note("queue"); });
        self->Synchronize([&] { note("sync"); });
        self->ReturnValue = 5;
    });
    t.OnTerminate = [&](TObject* sender) {
        EXPECT_EQ(sender, &t);
        note("terminate");
    };
    t.Start();
    EXPECT_EQ(t.WaitFor(), 5); // keeps the main thread's calls running meanwhile
    EXPECT_EQ(order, (std::vector<std::string>{"queue", "sync", "terminate"}));
    EXPECT_EQ(where, (std::vector<DWORD>(3, mainId)));
    EXPECT_TRUE(t.Finished());
}

TEST(ThreadTest, SynchronizeCarriesTheMainThreadsExceptionBack) {
    std::string caught;
    TStepThread t([&](TStepThread* self) {
        try {
            self->Synchronize([] { throw std::runtime_error("bad on main"); });
        } catch (const std::exception& e) {
            caught = e.what();
        }
    });
    t.Start();
    t.WaitFor();
    EXPECT_EQ(caught, "bad on main");
}

TEST(ThreadTest, SuspendedThreadWaitsForStartAndTerminateStopsIt) {
    std::atomic<int> loops{0};
    auto* t = new TStepThread([&](TStepThread* self) {
        while (!self->Terminated()) {
            ++loops;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(loops, 0);
    t->Start();
    EXPECT_THROW(t->Start(), EThread);
    while (loops == 0)
        std::this_thread::yield();
    // Destroying a running thread asks it to stop and waits for it.
    delete t;
    int after = loops;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(loops, after);
}

TEST(ThreadTest, ExceptionInExecuteEndsTheThreadAndIsKept) {
    TStepThread t([](TStepThread*) { throw std::runtime_error("worker failed"); });
    t.Start();
    t.WaitFor();
    EXPECT_EQ(t.FatalException, "worker failed");
}

std::atomic<int> g_destroyed{0};
std::atomic<DWORD> g_destroyedOn{0};

class TSelfFreeing : public TThread {
public:
    TSelfFreeing() : TThread(true) { FreeOnTerminate = true; }
    ~TSelfFreeing() override {
        g_destroyedOn = GetCurrentThreadId();
        ++g_destroyed;
    }

protected:
    void Execute() override { Payload.assign(1000, 'x'); }
    std::string Payload;
};

TEST(ThreadTest, SelfFreeingThreadRunsOnTerminateOnMainThenFreesItselfOnItsOwnThread) {
    g_destroyed = 0;
    const DWORD mainId = GetCurrentThreadId();
    std::atomic<bool> terminated{false};
    DWORD terminateOn = 0;
    for (int i = 0; i < 8; ++i) {
        auto* t = new TSelfFreeing;
        t->OnTerminate = [&](TObject*) {
            terminateOn = GetCurrentThreadId();
            EXPECT_EQ(g_destroyed.load(), i); // not yet freed while its event runs
            terminated = true;
        };
        t->Start();
        EXPECT_THROW(t->WaitFor(), EThread);
        // From here on only the thread itself touches t (ASan watches).
        while (g_destroyed.load() == i)
            CheckSynchronize(10);
        EXPECT_TRUE(terminated);
        EXPECT_EQ(terminateOn, mainId);
        EXPECT_NE(g_destroyedOn.load(), mainId);
        terminated = false;
    }
}

TEST(ThreadTest, CheckSynchronizeDoesNothingOffTheMainThread) {
    bool result = true;
    std::thread other([&] { result = CheckSynchronize(0); });
    other.join();
    EXPECT_FALSE(result);
}

} // namespace
