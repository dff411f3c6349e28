// What every host drives: the tick schedule's deadlines and App's calls.
#include "host/app.hpp"
#include "host/tick_schedule.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace zarvo {
namespace {

using namespace std::chrono_literals;

TEST(TickSchedule, TicksOnDeadlinesWithoutDrift)
{
    TickSchedule s;
    const TickSchedule::TimePoint t0{1000s};
    s.start(t0);
    EXPECT_FALSE(s.due(t0 + 49ms));
    EXPECT_EQ(s.untilNext(t0 + 20ms), 30ms);
    // Handled a little late each time, the deadlines still fall every 50 ms: 1,200 per minute.
    int ticks = 0;
    for (auto now = t0; now < t0 + 60s; now += 7ms) {
        if (s.due(now)) {
            s.ticked(now);
            ++ticks;
        }
    }
    EXPECT_EQ(ticks, 1199);  // the one at exactly 60 s is not reached
    EXPECT_EQ(s.next(), t0 + 60s);
}

TEST(TickSchedule, AStallGivesOneLateTickNotABurst)
{
    TickSchedule s;
    const TickSchedule::TimePoint t0{0s};
    s.start(t0);
    const auto late = t0 + 10s;
    ASSERT_TRUE(s.due(late));
    s.ticked(late);
    EXPECT_FALSE(s.due(late));
    EXPECT_EQ(s.next(), late + 50ms);
    EXPECT_EQ(s.untilNext(late + 10ms), 40ms);
}

TEST(App, ResizeKeepsThePictureAndResetsTheChain)
{
    App app;
    app.resized(kInitialWidth, kInitialHeight);
    EXPECT_EQ(app.picture.width(), 503);
    EXPECT_GE(app.frm.follow, 0.05F);
    app.picture.setPixel(3.0F, 4.0F, rgb(1, 2, 3));
    app.frm.tgtR = 77;
    app.resized(600, 300);
    EXPECT_EQ(app.picture.readPixel(3.0F, 4.0F), rgb(1, 2, 3));
    EXPECT_EQ(app.frm.tgtR, 0);
    for (int i = 0; i < kPoints; ++i) {
        EXPECT_LT(app.frm.segX[static_cast<std::size_t>(i)], 600.0F);
        EXPECT_LT(app.frm.segY[static_cast<std::size_t>(i)], 300.0F);
    }
    app.schedule.start(TickSchedule::TimePoint{0s});
    EXPECT_FALSE(app.tickIfDue(TickSchedule::TimePoint{10ms}));
    EXPECT_TRUE(app.tickIfDue(TickSchedule::TimePoint{50ms}));
    EXPECT_EQ(app.keyDown(kEscape, 7), KeyOutcome::endProgram);
}

}  // namespace
}  // namespace zarvo
