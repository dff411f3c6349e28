// The runtime layer: the generator and the text helpers.
#include "core/runtime.hpp"

#include <gtest/gtest.h>

#include <set>

namespace zarvo {
namespace {

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

}  // namespace
}  // namespace zarvo
