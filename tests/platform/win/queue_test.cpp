#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/win/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

std::vector<UINT> g_seen;
std::atomic<DWORD> g_procThread{0};

LRESULT QueueProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER && msg < WM_USER + 100) {
        g_seen.push_back(msg);
        g_procThread = GetCurrentThreadId();
        return LRESULT(wParam * 2);
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND MakeWindow() {
    if (!GetClassInfo(nullptr, "TQueueWin", nullptr)) {
        WNDCLASS wc;
        wc.lpfnWndProc = QueueProc;
        wc.lpszClassName = "TQueueWin";
        RegisterClass(wc);
    }
    return CreateWindowEx(0, "TQueueWin", "", 0, 0, 0, 1, 1, 0, 0, nullptr, nullptr);
}

void Drain() {
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&msg);
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        Drain();
        g_seen.clear();
        hwnd = MakeWindow();
    }
    void TearDown() override {
        DestroyWindow(hwnd);
        Drain();
    }
    HWND hwnd = 0;
};

TEST_F(QueueTest, PostedMessagesKeepOrderAndQuitEndsGetMessage) {
    PostMessage(hwnd, WM_USER + 1, 0, 0);
    PostMessage(hwnd, WM_USER + 2, 0, 0);
    PostQuitMessage(7);
    PostMessage(hwnd, WM_USER + 3, 0, 0);
    MSG msg;
    // A filter takes a later message first and leaves the others.
    ASSERT_TRUE(PeekMessage(&msg, 0, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1);
    std::vector<UINT> got;
    while (GetMessage(&msg, 0, 0, 0))
        got.push_back(msg.message);
    // WM_QUIT comes after what was posted, whenever it was asked for.
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 3}));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, WorkerSendsRunOnTheWindowThreadAndPostsWakeTheLoop) {
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessage(hwnd, WM_USER + 5, 21, 0);
        PostMessage(hwnd, WM_USER + 6, 0, 0);
    });
    MSG msg;
    // The send is answered inside GetMessage; the post then ends the wait.
    ASSERT_TRUE(GetMessage(&msg, 0, 0, 0));
    EXPECT_EQ(msg.message, WM_USER + 6);
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(g_procThread.load(), GetCurrentThreadId());
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_USER + 5}));
}

TEST_F(QueueTest, ThreadsSendingToEachOtherDoNotLockUp) {
    DWORD mainId = GetCurrentThreadId();
    std::atomic<DWORD> workerId{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        RunThreadCalls(0); // makes the queue
        workerId = GetCurrentThreadId();
        while (!stop)
            RunThreadCalls(10);
    });
    while (!workerId)
        std::this_thread::yield();
    bool ranOnMain = false;
    // Main waits for the worker, which meanwhile calls back into main.
    ASSERT_TRUE(SendThreadCall(workerId, [&] {
        SendThreadCall(mainId, [&] { ranOnMain = GetCurrentThreadId() == mainId; });
    }));
    EXPECT_TRUE(ranOnMain);
    stop = true;
    worker.join();
}

TEST_F(QueueTest, WaitingAfterALookThatRanACallReturnsAtOnce) {
    // An idle loop looks, then waits. A call from a worker that woke an
    // earlier wait but ran only in the look may have ended what the loop
    // waits for, and nothing else is coming to wake it.
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> looping{false}, done{false}, finished{false}, rescued{false};
    std::thread worker([&] {
        while (!looping)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the loop is waiting now
        PostThreadCall(self, [&] { done = true; });
        for (int i = 0; i < 200 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (finished) return;
        rescued = true;
        PostThreadMessage(self, WM_USER + 9, 0, 0);
    });
    looping = true;
    MSG msg;
    while (!done) {
        if (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) continue;
        RunThreadCalls(0);
        WaitMessage();
    }
    finished = true;
    worker.join();
    EXPECT_FALSE(rescued) << "the loop slept on after the call had run";
}

TEST_F(QueueTest, CallsThatKeepComingDoNotHoldTheLoopFromItsMessages) {
    // Each call hands the thread the next one, as a busy worker does: a look
    // runs what was waiting and returns, so the posted message gets its turn.
    const DWORD self = GetCurrentThreadId();
    int ran = 0;
    std::function<void()> again = [&] {
        ++ran;
        if (ran < 1000) PostThreadCall(self, again);
    };
    PostThreadCall(self, again);
    PostMessage(hwnd, WM_USER + 4, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 4);
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(RunThreadCalls(0));
    EXPECT_EQ(ran, 2);
    while (RunThreadCalls(0)) {
    }
    EXPECT_EQ(ran, 1000);
}

TEST_F(QueueTest, SendTimeoutGivesUpOnABusyThread) {
    std::atomic<bool> release{false};
    HWND other = 0;
    std::atomic<HWND> made{0};
    std::thread worker([&] {
        made = MakeWindow();
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        DestroyWindow(made);
    });
    while (!(other = made))
        std::this_thread::yield();
    LRESULT r = -1;
    EXPECT_EQ(SendMessageTimeout(other, WM_USER + 8, 1, 0, SMTO_NORMAL, 50, &r), 0);
    EXPECT_EQ(r, -1);
    release = true;
    worker.join();
}

TEST_F(QueueTest, RegisteredMessagesAreStablePerName) {
    UINT a = RegisterWindowMessage("Queue Test A");
    UINT b = RegisterWindowMessage("Queue Test B");
    EXPECT_GE(a, WM_REGISTERED_FIRST);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessage("Queue Test A"), a);
    EXPECT_EQ(RegisteredMessageName(b), "Queue Test B");
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

class TimerTest : public QueueTest {
protected:
    void SetUp() override {
        QueueTest::SetUp();
        os::SetClock(&clock);
    }
    void TearDown() override {
        os::SetClock(nullptr);
        QueueTest::TearDown();
    }
    std::vector<UINT_PTR> Ticks() {
        std::vector<UINT_PTR> ids;
        MSG msg;
        while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE))
            if (msg.message == WM_TIMER) ids.push_back(msg.wParam);
        return ids;
    }
    os::ManualClock clock{1000};
};

std::vector<UINT_PTR> g_procTicks;
void TickProc(HWND, UINT, UINT_PTR id, DWORD) {
    g_procTicks.push_back(id);
}

TEST_F(TimerTest, TimersFireWhenTheClockReachesThemAndNotInBursts) {
    SetTimer(hwnd, 1, 100, nullptr);
    SetTimer(hwnd, 2, 250, nullptr);
    clock.Advance(99);
    EXPECT_TRUE(Ticks().empty());
    clock.Advance(1);
    EXPECT_EQ(Ticks(), (std::vector<UINT_PTR>{1}));
    // A loop that comes late gets one tick per timer, not one per interval missed.
    clock.Advance(1000);
    auto late = Ticks();
    std::sort(late.begin(), late.end());
    EXPECT_EQ(late, (std::vector<UINT_PTR>{1, 2}));
    KillTimer(hwnd, 1);
    clock.Advance(1000);
    EXPECT_EQ(Ticks(), (std::vector<UINT_PTR>{2}));
    DestroyWindow(hwnd);
    clock.Advance(1000);
    EXPECT_TRUE(Ticks().empty());
}

TEST_F(TimerTest, TimerProcedureIsCalledByDispatchAndGetMessageWakesForTimers) {
    g_procTicks.clear();
    UINT_PTR id = SetTimer(0, 0, 50, TickProc);
    ASSERT_NE(id, 0u);
    std::thread driver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        clock.Advance(50);
    });
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, 0, 0, 0)); // sleeps until the clock moves
    driver.join();
    EXPECT_EQ(msg.message, WM_TIMER);
    DispatchMessage(&msg);
    EXPECT_EQ(g_procTicks, (std::vector<UINT_PTR>{id}));
    KillTimer(0, id);
}

TEST(KeyStateTest, HeadlessKeysAreSetByTests) {
    display::Headless* headless = display::CurrentHeadless();
    ASSERT_NE(headless, nullptr);
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
    headless->SetKeyDown(VK_CONTROL, true);
    EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
    headless->SetKeyDown(VK_CONTROL, false);
}

} // namespace
