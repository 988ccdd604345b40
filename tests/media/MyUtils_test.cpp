#include "media/MyUtils.h"

#include "platform/os/clock.h"
#include "platform/win/queue.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(MyUtilsTest, SplitFirst) {
    struct Case {
        std::string Text, Sep;
        bool Remove;
        std::string Head, Rest;
    } Cases[] = {
        {"a=b=c", "=", true, "a", "b=c"},   {"a=b", "=", false, "a", "a=b"},
        {"abc", "=", true, "abc", ""},      {"abc", "=", false, "abc", "abc"},
        {"x\r\ny", "\r\n", true, "x", "y"},
    };
    for (auto& C : Cases) {
        std::string Text = C.Text;
        EXPECT_EQ(MyUtils::SplitFirst(Text, C.Sep, C.Remove), C.Head) << C.Text;
        EXPECT_EQ(Text, C.Rest) << C.Text;
    }
}

TEST(MyUtilsTest, FormatFileSize) {
    struct Case {
        int64_t Size;
        const char* Text;
    } Cases[] = {{-5, "-5 Byte"},         {1024, "1024 Byte"},  {1536, "1.50 KB"},
                 {1048576, "1024.00 KB"}, {1572864, "1.50 MB"}, {int64_t(3) << 30, "3.00 GB"}};
    for (auto& C : Cases)
        EXPECT_EQ(MyUtils::FormatFileSize(C.Size), C.Text) << C.Size;
}

TEST(MyUtilsTest, GetFileSize64) {
    TempDir Dir;
    EXPECT_EQ(MyUtils::GetFileSize64(Dir.write("f", "12345")), 5);
    EXPECT_EQ(MyUtils::GetFileSize64(Dir.file("missing")), -1);
}

TEST(MyUtilsTest, UnixTimesBecomeLocalDateTimes) {
    os::ManualClock Clock(1000, 0, 2 * 3600); // two hours east of UTC
    os::SetClock(&Clock);
    EXPECT_DOUBLE_EQ(MyUtils::LocalTimeOffset(), 2.0 / 24);
    EXPECT_DOUBLE_EQ(MyUtils::UnixToDateTime(0), 25569 + 2.0 / 24);
    EXPECT_DOUBLE_EQ(MyUtils::UnixToDateTime(86400 + 1800), 25570 + 2.5 / 24);
    EXPECT_EQ(MyUtils::FormatDateTimeText("yyyy-mm-dd hh:nn", MyUtils::UnixToDateTime(0)),
              "1970-01-01 02:00");
    os::SetClock(nullptr);
}

TEST(MyUtilsTest, PumpingGivesWMQuitBackToTheLoop) {
    MSG Msg{};
    while (PeekMessage(&Msg, 0, 0, 0, PM_REMOVE)) {
    }
    PostMessage(0, WM_USER + 1, 0, 0);
    PostQuitMessage(7);
    MyUtils::ProcessMessages();
    // The loop that owns the thread still sees the quit request.
    ASSERT_TRUE(PeekMessage(&Msg, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(Msg.message, WM_QUIT);
    EXPECT_EQ(Msg.wParam, WPARAM(7));
}

TEST(MyUtilsTest, CallInMainThreadRunsThereAndWaits) {
    ASSERT_TRUE(IsMainThread());
    std::atomic<bool> Done{false};
    bool RanOnMain = false;
    MSG Msg{};
    PeekMessage(&Msg, 0, 0, 0, PM_NOREMOVE); // the main thread's queue exists from here
    std::thread Worker([&] {
        MyUtils::CallInMainThread([&] { RanOnMain = IsMainThread(); });
        Done = true;
    });
    while (!Done)
        RunThreadCalls(10);
    Worker.join();
    EXPECT_TRUE(RanOnMain);
}

} // namespace
