#include <gtest/gtest.h>

#include "platform/linux/PollTimers.h"

namespace {

using Clock = PollTimers::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

const Clock::time_point T0 = Clock::time_point() + std::chrono::hours(1);

TEST(PollTimers, WaitsForEverWhenNoTimerRuns) {
    PollTimers timers;
    EXPECT_EQ(timers.TimeoutMs(T0), -1);
    timers.Start(GlimraTimer::Main, 0, T0);
    timers.Start(GlimraTimer::Mouse, -5, T0);
    EXPECT_FALSE(timers.IsRunning(GlimraTimer::Main));
    EXPECT_EQ(timers.TimeoutMs(T0), -1);
    EXPECT_TRUE(timers.TakeDue(T0 + std::chrono::hours(1)).empty());
}

TEST(PollTimers, SleepsUntilTheNearestDeadlineAndNeverWakesEarly) {
    PollTimers timers;
    timers.Start(GlimraTimer::Mouse, 1000, T0);
    timers.Start(GlimraTimer::Main, 100, T0);
    EXPECT_EQ(timers.TimeoutMs(T0), 100);
    // 99.5 ms left rounds up, so the poll that follows does not return a moment too soon.
    EXPECT_EQ(timers.TimeoutMs(T0 + microseconds(500)), 100);
    EXPECT_EQ(timers.TimeoutMs(T0 + milliseconds(100)), 0);
    EXPECT_EQ(timers.TimeoutMs(T0 + milliseconds(150)), 0);
}

TEST(PollTimers, FiresDueTimersInOrderAndReschedulesThem) {
    PollTimers timers;
    timers.Start(GlimraTimer::Mouse, 1000, T0);
    timers.Start(GlimraTimer::Main, 100, T0);
    timers.Start(GlimraTimer::PasswordDialog, 1000, T0);
    EXPECT_TRUE(timers.TakeDue(T0 + milliseconds(99)).empty());
    EXPECT_EQ(timers.TakeDue(T0 + milliseconds(100)), std::vector<GlimraTimer>{GlimraTimer::Main});
    EXPECT_TRUE(timers.TakeDue(T0 + milliseconds(100)).empty());
    EXPECT_EQ(timers.TimeoutMs(T0 + milliseconds(100)), 100);
    const std::vector<GlimraTimer> all{GlimraTimer::Main, GlimraTimer::PasswordDialog, GlimraTimer::Mouse};
    EXPECT_EQ(timers.TakeDue(T0 + milliseconds(1000)), all);
}

TEST(PollTimers, KeepsItsPeriodWhenServedALittleLate) {
    PollTimers timers;
    timers.Start(GlimraTimer::Main, 100, T0);
    ASSERT_EQ(timers.TakeDue(T0 + milliseconds(130)).size(), 1u);
    // The next deadline stays at 200 ms, not 230: the tick rate does not drift.
    EXPECT_EQ(timers.TimeoutMs(T0 + milliseconds(130)), 70);
}

TEST(PollTimers, FiresOnceAfterALongStallInsteadOfCatchingUp) {
    PollTimers timers;
    timers.Start(GlimraTimer::Main, 100, T0);
    const Clock::time_point late = T0 + std::chrono::seconds(5);
    EXPECT_EQ(timers.TakeDue(late).size(), 1u);
    EXPECT_TRUE(timers.TakeDue(late).empty());
    EXPECT_EQ(timers.TimeoutMs(late), 100);
}

TEST(PollTimers, StopAndRestart) {
    PollTimers timers;
    timers.Start(GlimraTimer::Mouse, 1000, T0);
    timers.Stop(GlimraTimer::Mouse);
    EXPECT_FALSE(timers.IsRunning(GlimraTimer::Mouse));
    EXPECT_TRUE(timers.TakeDue(T0 + std::chrono::seconds(3)).empty());
    // A restart counts its interval from the moment of the restart.
    timers.Start(GlimraTimer::Mouse, 1000, T0 + std::chrono::seconds(3));
    EXPECT_EQ(timers.TimeoutMs(T0 + std::chrono::seconds(3)), 1000);
}

} // namespace
