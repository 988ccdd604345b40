#include "classlib/forms.h"
#include "classlib/timer.h"
#include "platform/os/clock.h"

#include <gtest/gtest.h>

namespace {

class TimerComponentTest : public ::testing::Test {
protected:
    void SetUp() override { os::SetClock(&clock); }
    void TearDown() override { os::SetClock(nullptr); }
    os::ManualClock clock{5000};
};

TEST_F(TimerComponentTest, FiresEveryIntervalWhileEnabledWithAHandler) {
    TComponent owner(nullptr);
    auto* timer = new TTimer(&owner);
    int ticks = 0;
    timer->SetInterval(100);
    clock.Advance(500);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 0); // no handler, no timer

    timer->SetOnTimer([&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        ++ticks;
    });
    clock.Advance(99);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 0);
    clock.Advance(1);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);

    timer->SetEnabled(false);
    clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);

    // Enabling again starts a full interval from now.
    timer->SetEnabled(true);
    timer->SetInterval(300);
    clock.Advance(200);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);
    clock.Advance(100);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 2);

    timer->SetInterval(0);
    clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 2);
}

TEST_F(TimerComponentTest, FreedTimerNeverFiresAgain) {
    int ticks = 0;
    {
        TComponent owner(nullptr);
        auto* timer = new TTimer(&owner);
        timer->SetInterval(10);
        timer->SetOnTimer([&](TObject*) { ++ticks; });
    }
    clock.Advance(100);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 0);
}

} // namespace
