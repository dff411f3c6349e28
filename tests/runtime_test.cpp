// The runtime layer (generator, text helpers) and what the hosts share: tick schedule, input translation.
#include "window/hosts/app.hpp"
#include "window/runtime.hpp"
#include "window/hosts/tick_schedule.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

namespace zarvo {
namespace {

using namespace std::chrono_literals;

TEST(HexText, FormatsUppercaseWithoutLeadingZeros)
{
    EXPECT_EQ(hexText(255), "FF");
    EXPECT_EQ(hexText(0), "0");
    EXPECT_EQ(hexText(16777215), "FFFFFF");
    EXPECT_EQ(hexText(0xABCDE), "ABCDE");
    EXPECT_EQ(hexText(-1), "FFFFFFFF");
    EXPECT_EQ(hexText(std::numeric_limits<std::int32_t>::min()), "80000000");
}

TEST(MidText, TakesAtMostLengthCharacters)
{
    EXPECT_EQ(midText("0000FF", 5, 2), "FF");
    EXPECT_EQ(midText("0000FF", 6, 2), "F");
    EXPECT_EQ(midText("0000FF", 7, 2), "");
    EXPECT_EQ(midText("ABC", 1, 0), "");
    EXPECT_THROW((void)midText("ABC", 0, 1), RuntimeError);
}

TEST(Generator, DrawsLieInTheHalfOpenUnitInterval)
{
    Generator g;
    g.randomize(12345.678F);
    double sum = 0.0;
    float lowest = 1.0F;
    float highest = 0.0F;
    constexpr int kDraws = 200000;
    for (int i = 0; i < kDraws; ++i) {
        const float u = g.next();
        ASSERT_GE(u, 0.0F);
        ASSERT_LT(u, 1.0F);
        lowest = std::min(lowest, u);
        highest = std::max(highest, u);
        sum += u;
    }
    EXPECT_NEAR(sum / kDraws, 0.5, 0.01);
    EXPECT_LT(lowest, 0.001F);
    EXPECT_GT(highest, 0.999F);
}

TEST(Generator, ReseedingRestartsTheSequence)
{
    Generator a;
    Generator b;
    a.randomize(100.5F);
    b.randomize(100.5F);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.next(), b.next());
    }
    b.randomize(100.5078125F);  // the next float the time of day can take near there
    std::set<float> firstDraws{a.next(), b.next()};
    EXPECT_EQ(firstDraws.size(), 2U);
}

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
