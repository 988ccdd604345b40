#include "platform/os/ipc.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// Every test works in a namespace of its own, so runs never meet.
class IpcTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetIpcNamespace("lantrove-test-" + std::to_string(getpid()) + "-" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        for (const char* n : {"Global\\TestMutex", "Global\\TestEvent"}) {
            os::NamedMutex::Remove(n);
            os::NamedEvent::Remove(n);
        }
        os::SharedMemory::Remove("Global\\TestMap");
        os::SetIpcNamespace("");
    }
};

// Runs fn in a child process and returns its exit code.
template <class Fn> int InChild(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(IpcTest, NamesAreSafeAndKeepScopesApart) {
    std::string g = os::IpcObjectName("mutex", "Global\\Odd/Name:*");
    std::string l = os::IpcObjectName("mutex", "Odd/Name:*");
    EXPECT_NE(g, l);
    EXPECT_EQ(g.find('/', 1), std::string::npos);
    EXPECT_EQ(g.find('\\'), std::string::npos);
    EXPECT_NE(os::IpcObjectName("mutex", "a_2F"), os::IpcObjectName("mutex", "a/"));
    EXPECT_LT(os::IpcObjectName("event", std::string(1000, 'x')).size(), 250u);
}

TEST_F(IpcTest, MutexHeldByAnotherProcessIsSeenAndAbandonedWhenItDies) {
    bool existed = true;
    auto m = os::NamedMutex::Create("Global\\TestMutex", &existed);
    ASSERT_TRUE(m);
    EXPECT_FALSE(existed);
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t pid = fork();
    if (pid == 0) {
        bool ex = false;
        auto cm = os::NamedMutex::Create("Global\\TestMutex", &ex);
        char c = (cm && ex && cm->TryLock() == os::NamedMutex::WaitResult::Acquired) ? 'y' : 'n';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1); // hold until told, then die holding it
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_TRUE(m->OwnedByAnotherProcess());
    EXPECT_EQ(m->OwnerProcessId(), pid);
    EXPECT_EQ(m->TryLock(), os::NamedMutex::WaitResult::TimedOut);
    EXPECT_EQ(m->Wait(50), os::NamedMutex::WaitResult::TimedOut);
    (void)!write(toChild[1], "x", 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_FALSE(m->OwnedByAnotherProcess());
    EXPECT_EQ(m->Wait(1000), os::NamedMutex::WaitResult::Abandoned);
    EXPECT_TRUE(m->Release());
    EXPECT_EQ(m->TryLock(), os::NamedMutex::WaitResult::Acquired);
    EXPECT_TRUE(m->Release());
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}

TEST_F(IpcTest, MutexIsRecursiveForItsOwnerAndReleasedOnlyByIt) {
    auto m = os::NamedMutex::Create("Global\\TestMutex");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Wait(100), os::NamedMutex::WaitResult::Acquired);
    EXPECT_EQ(m->Wait(100), os::NamedMutex::WaitResult::Acquired);
    EXPECT_FALSE(m->OwnedByAnotherProcess());
    // Another process sees it held until both holds are released.
    EXPECT_EQ(InChild([] {
                  auto o = os::NamedMutex::Open("Global\\TestMutex");
                  return o && o->TryLock() == os::NamedMutex::WaitResult::TimedOut ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(m->Release());
    EXPECT_TRUE(m->Release());
    EXPECT_FALSE(m->Release());
    EXPECT_EQ(InChild([] {
                  auto o = os::NamedMutex::Open("Global\\TestMutex");
                  return o && o->TryLock() == os::NamedMutex::WaitResult::Acquired ? 0 : 1;
              }),
              0);
}

TEST_F(IpcTest, OpenFailsForMissingObjects) {
    EXPECT_FALSE(os::NamedMutex::Open("Global\\TestMutex"));
    EXPECT_FALSE(os::NamedEvent::Open("Global\\TestEvent"));
    EXPECT_FALSE(os::SharedMemory::Open("Global\\TestMap"));
}

TEST_F(IpcTest, AutoResetEventReleasesOneWaitAndClears) {
    auto e = os::NamedEvent::Create("Global\\TestEvent", false, false);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Wait(0));
    // Set from another process wakes a waiter here.
    pid_t pid = fork();
    if (pid == 0) {
        usleep(50 * 1000);
        auto o = os::NamedEvent::Open("Global\\TestEvent");
        _exit(o && o->Set() ? 0 : 1);
    }
    EXPECT_TRUE(e->Wait(5000));
    EXPECT_FALSE(e->Wait(0));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(IpcTest, ManualResetEventStaysSetUntilReset) {
    auto e = os::NamedEvent::Create("Global\\TestEvent", true, true);
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->Wait(0));
    EXPECT_TRUE(e->Wait(0));
    // Opening takes the creator's kind, not the opener's.
    bool existed = false;
    auto again = os::NamedEvent::Create("Global\\TestEvent", false, false, &existed);
    ASSERT_TRUE(again);
    EXPECT_TRUE(existed);
    EXPECT_TRUE(again->Wait(0));
    e->Reset();
    EXPECT_FALSE(again->Wait(20));
}

TEST_F(IpcTest, SharedMemoryIsSharedAndOpenedAtItsOwnSize) {
    auto a = os::SharedMemory::Create("Global\\TestMap", 4096);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Size(), 4096u);
    std::memcpy(a->Data(), "hello", 5);
    bool existed = false;
    auto b = os::SharedMemory::Create("Global\\TestMap", 100, &existed);
    ASSERT_TRUE(b);
    EXPECT_TRUE(existed);
    EXPECT_EQ(b->Size(), 4096u);
    EXPECT_EQ(InChild([] {
                  auto o = os::SharedMemory::Open("Global\\TestMap");
                  if (!o || o->Size() != 4096 || std::memcmp(o->Data(), "hello", 5) != 0) return 1;
                  o->Data()[5] = '!';
                  return 0;
              }),
              0);
    EXPECT_EQ(a->Data()[5], '!');
}

} // namespace
