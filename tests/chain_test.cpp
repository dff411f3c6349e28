// The chain: reset, the tick's passes, edges, the drifts, and the mouse and key actions.
#include "core/framebuffer.hpp"
#include "core/frm.hpp"
#include "recording_surface.hpp"
#include "scripted_random.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zarvo {
namespace {

using testing::Access;
using testing::RecordingSurface;
using testing::ScriptedRandom;

constexpr float kAlmostOne = 0x1.fffffep-1F;  // the largest float below 1
const std::string k42(42, 'u');

TEST(Chain, ResetReseedsScattersAndDrawsHeadingAndFollow)
{
    Framebuffer fb(503, 380);
    fb.setPixel(1.0F, 1.0F, rgb(9, 9, 9));
    ScriptedRandom rnd;
    for (int i = 0; i < 42; ++i) {
        rnd.push(i % 2 == 0 ? kAlmostOne : 0.0F);
    }
    rnd.push(0.5F);        // heading
    rnd.push(kAlmostOne);  // follow
    Frm frm(fb, rnd);
    frm.turn = 0.07F;
    frm.tgtR = 5;
    frm.tgtG = 6;
    frm.tgtB = 7;
    frm.onResize();
    EXPECT_EQ(rnd.log, "R" + k42 + "uu");
    for (int i = 0; i < kPoints; ++i) {
        EXPECT_LT(frm.segX[static_cast<std::size_t>(i)], 503.0F);  // scatter never reaches the size
        EXPECT_GT(frm.segX[static_cast<std::size_t>(i)], 502.0F);
        EXPECT_EQ(frm.segY[static_cast<std::size_t>(i)], 0.0F);
    }
    EXPECT_FLOAT_EQ(frm.heading, static_cast<float>(std::acos(-1.0)));
    EXPECT_LT(frm.follow, 0.2F);
    EXPECT_GT(frm.follow, 0.1999F);
    EXPECT_EQ(frm.tgtR + frm.tgtG + frm.tgtB, 0);
    EXPECT_EQ(frm.turn, 0.07F);                         // the reset keeps turn
    EXPECT_EQ(fb.readPixel(1.0F, 1.0F), rgb(9, 9, 9));  // and clears nothing
}

TEST(Chain, WorkedPassPaintsThenMovesTowardTheMovedPredecessor)
{
    RecordingSurface surface(12, 12);
    ScriptedRandom rnd;  // every draw 0.5: the turn and the colour stay put
    Frm frm(surface, rnd);
    frm.follow = 0.125F;
    frm.segX[0] = 10.0F;
    frm.segY[0] = 10.0F;
    frm.segX[1] = 2.0F;
    frm.segY[1] = 3.0F;
    frm.onTick();
    ASSERT_EQ(surface.log.size(), 2U * 126U);
    // Each paint reads then writes the same place; the first pass paints the head, then point 1.
    for (std::size_t i = 0; i < surface.log.size(); i += 2) {
        EXPECT_EQ(surface.log[i].kind, 'r');
        EXPECT_EQ(surface.log[i + 1].kind, 'w');
        EXPECT_EQ(surface.log[i].x, surface.log[i + 1].x);
        EXPECT_EQ(surface.log[i].y, surface.log[i + 1].y);
    }
    EXPECT_EQ(surface.log[0].x, 10.0F);
    EXPECT_EQ(surface.log[0].y, 10.0F);
    EXPECT_EQ(surface.log[2].x, 2.0F);
    EXPECT_EQ(surface.log[2].y, 3.0F);
    // The second pass finds the head at (10, 11) and point 1 at (3, 4).
    EXPECT_EQ(surface.log[42].x, 10.0F);
    EXPECT_EQ(surface.log[42].y, 11.0F);
    EXPECT_EQ(surface.log[44].x, 3.0F);
    EXPECT_EQ(surface.log[44].y, 4.0F);
    EXPECT_EQ(rnd.log, std::string(9, 'u'));  // six turn draws, then three colour draws; no reseed
}

TEST(Chain, BeforeTheFirstResetTheHeadSetsOffDownwards)
{
    Framebuffer fb(20, 20);
    ScriptedRandom rnd;
    Frm frm(fb, rnd);
    frm.onTick();
    EXPECT_EQ(frm.segX[0], 0.0F);
    EXPECT_EQ(frm.segY[0], 6.0F);
    EXPECT_EQ(frm.segX[20], 0.0F);
    EXPECT_EQ(frm.segY[20], 0.0F);
}

TEST(Chain, ZeroSizedAxisPutsTheHeadAtMinusOne)
{
    for (const bool zeroWidth : {true, false}) {
        Framebuffer fb(zeroWidth ? 0 : 30, zeroWidth ? 30 : 0);
        Generator rnd;
        Frm frm(fb, rnd);
        frm.onResize();
        auto& along = zeroWidth ? frm.segX : frm.segY;
        for (const float v : along) {
            EXPECT_EQ(v, 0.0F);
        }
        for (int t = 0; t < 50; ++t) {
            frm.onTick();
            EXPECT_EQ(along[0], -1.0F);
            for (const float v : along) {
                EXPECT_GE(v, -1.0F);
                EXPECT_LE(v, 0.0F);
            }
        }
    }
}

TEST(Chain, HeadClampedOntoAnEdgeSlidesAlongIt)
{
    RecordingSurface surface(40, 40);
    ScriptedRandom rnd;
    Frm frm(surface, rnd);
    frm.segX[0] = 38.5F;
    frm.segY[0] = 5.0F;
    frm.heading = static_cast<float>(std::acos(-1.0) / 4.0);  // right and down
    frm.onTick();
    EXPECT_EQ(frm.segX[0], 39.0F);
    EXPECT_NEAR(frm.segY[0], 5.0F + 6.0F * std::sqrt(0.5F), 1e-4);
    // From the second pass on the head is painted on the edge, each time a little further down.
    for (int p = 1; p < 6; ++p) {
        const auto& a = surface.log[static_cast<std::size_t>(p) * 42U];
        EXPECT_EQ(a.x, 39.0F);
        EXPECT_GT(a.y, surface.log[static_cast<std::size_t>(p - 1) * 42U].y);
    }
    // The top-left corner holds it on both axes.
    frm.segX[0] = 0.2F;
    frm.segY[0] = 0.3F;
    frm.heading = static_cast<float>(-3.0 * std::acos(-1.0) / 4.0);  // left and up
    frm.onTick();
    EXPECT_EQ(frm.segX[0], 0.0F);
    EXPECT_EQ(frm.segY[0], 0.0F);
}

TEST(Chain, EveryPointStaysInsideTheSurface)
{
    Framebuffer fb(64, 48);
    Generator rnd;
    Frm frm(fb, rnd);
    frm.onResize();
    for (int t = 0; t < 2000; ++t) {
        const auto oldX = frm.segX;
        const auto oldY = frm.segY;
        frm.onTick();
        for (int i = 0; i < kPoints; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ASSERT_GE(frm.segX[k], 0.0F);
            ASSERT_LT(frm.segX[k], 64.0F);
            ASSERT_GE(frm.segY[k], 0.0F);
            ASSERT_LT(frm.segY[k], 48.0F);
        }
        // The head moves one pixel per pass; a head scattered into the last pixel's square may in addition be
        // pulled back onto the last column or row, by less than a pixel.
        EXPECT_LE(std::hypot(frm.segX[0] - oldX[0], frm.segY[0] - oldY[0]), 7.0F);
        if (t % 500 == 499) {
            frm.onMouseDown(kButtonLeft, 0, 0.0F, 0.0F);
        }
    }
}

TEST(Chain, EachFollowerMovesOnTheSegmentToItsMovedPredecessor)
{
    // The places painted in one pass are the places the previous pass moved the points to.
    RecordingSurface surface(100, 100);
    Generator rnd;
    Frm frm(surface, rnd);
    frm.onResize();
    for (int t = 0; t < 20; ++t) {
        surface.log.clear();
        frm.onTick();
        auto at = [&](int pass, int point) { return surface.log[static_cast<std::size_t>(2 * (21 * pass + point))]; };
        for (int p = 0; p + 1 < 6; ++p) {
            for (int i = 1; i < kPoints; ++i) {
                const Access from = at(p, i);
                const Access to = at(p + 1, i);
                const Access pred = at(p + 1, i - 1);
                // to = from + follow * (pred - from), up to the rounding of a float position.
                EXPECT_NEAR(to.x, from.x + frm.follow * (pred.x - from.x), 1e-4);
                EXPECT_NEAR(to.y, from.y + frm.follow * (pred.y - from.y), 1e-4);
                // So it lies between its old place and its predecessor's new one.
                const double dx = pred.x - from.x;
                const double dy = pred.y - from.y;
                const double along = (to.x - from.x) * dx + (to.y - from.y) * dy;
                EXPECT_GE(along, -1e-6);
                EXPECT_LE(along, dx * dx + dy * dy + 1e-6);
            }
        }
    }
}

TEST(Chain, TurnIsHeldWithinTheFloatNearestATenth)
{
    Framebuffer fb(50, 50);
    ScriptedRandom rnd(std::vector<float>(6, kAlmostOne));
    Frm frm(fb, rnd);
    frm.turn = kTurnBound;
    frm.onTick();
    EXPECT_EQ(frm.turn, 0.1F);  // 0.1 + 0.05 - tiny, brought back to the bound
    EXPECT_FLOAT_EQ(frm.heading, 0.6F);

    ScriptedRandom low(std::vector<float>(6, 0.0F));
    Frm down(fb, low);
    down.turn = -kTurnBound;
    down.onTick();
    EXPECT_EQ(down.turn, -0.1F);

    ScriptedRandom mid;  // draws of 0.5 leave a turn at the bound exactly there
    Frm still(fb, mid);
    still.turn = kTurnBound;
    still.onTick();
    EXPECT_EQ(still.turn, kTurnBound);
}

TEST(Chain, TargetColourWalksWithinItsBounds)
{
    Framebuffer fb(50, 50);
    ScriptedRandom rnd(std::vector<float>(6, 0.5F));
    rnd.push(0.0F);        // red: -4 from 0, held at 0
    rnd.push(kAlmostOne);  // green: +4 from 253, held at 255
    rnd.push(0.5F);        // blue: Int(4.5) - 4 = 0
    Frm frm(fb, rnd);
    frm.tgtG = 253;
    frm.tgtB = 100;
    frm.onTick();
    EXPECT_EQ(frm.tgtR, 0);
    EXPECT_EQ(frm.tgtG, 255);
    EXPECT_EQ(frm.tgtB, 100);

    Generator g;
    Frm walker(fb, g);
    walker.onResize();
    for (int t = 0; t < 20000; ++t) {
        const int before[3] = {walker.tgtR, walker.tgtG, walker.tgtB};
        walker.onTick();
        const int after[3] = {walker.tgtR, walker.tgtG, walker.tgtB};
        for (int c = 0; c < 3; ++c) {
            ASSERT_GE(after[c], 0);
            ASSERT_LE(after[c], 255);
            ASSERT_LE(std::abs(after[c] - before[c]), 4);
        }
    }
}

TEST(Chain, PaintsOnlyMultiplesOfFiveOnABlackSurface)
{
    Framebuffer fb(80, 60);
    Generator rnd;
    Frm frm(fb, rnd);
    frm.onResize();
    for (int t = 0; t < 3000; ++t) {
        frm.onTick();
        if (t % 300 == 0) {
            frm.onMouseDown(kButtonMiddle, kShift, 0.0F, 0.0F);
        }
    }
    int painted = 0;
    for (int i = 0; i < 80 * 60; ++i) {
        const std::uint32_t w = fb.pixels()[i];
        painted += w != 0 ? 1 : 0;
        EXPECT_EQ((w & 0xFFU) % 5U, 0U);
        EXPECT_EQ(((w >> 8U) & 0xFFU) % 5U, 0U);
        EXPECT_EQ(((w >> 16U) & 0xFFU) % 5U, 0U);
    }
    EXPECT_GT(painted, 100);
}

struct Click {
    std::int16_t button;
    std::int16_t modifiers;
    bool scatters;
    bool clears;
    bool newColour;
};

TEST(Mouse, EachClickDoesWhatItsButtonAndModifiersSay)
{
    const Click cases[] = {
        {kButtonLeft, 0, true, false, false},
        {kButtonRight, 0, true, true, false},
        {kButtonLeft, kShift, true, false, true},
        {kButtonRight, kShift, true, true, true},
        {kButtonLeft, 3, true, false, false},
        {kButtonRight, 5, true, true, false},
        {kButtonMiddle, 0, false, false, false},
        {kButtonMiddle, kShift, false, false, true},
        {0, kShift, false, false, true},
        {8, 0, false, false, false},
        {-1, 7, false, false, false},
        {kButtonLeft, kCtrl, true, false, false},
    };
    for (const Click& c : cases) {
        SCOPED_TRACE(::testing::Message() << "button " << c.button << " modifiers " << c.modifiers);
        Framebuffer fb(30, 20, rgb(1, 2, 3));
        fb.setPixel(4.0F, 4.0F, rgb(200, 100, 50));
        ScriptedRandom rnd(std::vector<float>(42, 0.25F));
        if (!c.scatters && c.newColour) {
            rnd = ScriptedRandom({0.0F, kAlmostOne, 0.5F});
        }
        rnd.fallback = kAlmostOne;
        Frm frm(fb, rnd);
        frm.heading = 2.0F;
        frm.turn = 0.03F;
        frm.tgtR = 10;
        frm.tgtG = 20;
        frm.tgtB = 30;
        frm.onMouseDown(c.button, c.modifiers, 3.0F, 3.0F);

        const std::string expected =
            std::string(c.scatters ? 42U : 0U, 'u') + std::string(c.newColour ? 3U : 0U, 'u') + "u";
        EXPECT_EQ(rnd.log, expected);
        EXPECT_EQ(frm.segX[20], c.scatters ? 7.5F : 0.0F);
        EXPECT_EQ(frm.segY[20], c.scatters ? 5.0F : 0.0F);
        EXPECT_EQ(fb.readPixel(4.0F, 4.0F), c.clears ? rgb(1, 2, 3) : rgb(200, 100, 50));
        if (c.newColour && c.scatters) {
            EXPECT_EQ(frm.tgtR, 255);  // Int(u x 256) with u just below 1
        } else if (c.newColour) {
            EXPECT_EQ(frm.tgtR, 0);
            EXPECT_EQ(frm.tgtG, 255);
            EXPECT_EQ(frm.tgtB, 128);
        } else {
            EXPECT_EQ(frm.tgtR, 10);
            EXPECT_EQ(frm.tgtB, 30);
        }
        EXPECT_GE(frm.follow, 0.05F);
        EXPECT_LT(frm.follow, 0.2F);
        EXPECT_EQ(frm.heading, 2.0F);
        EXPECT_EQ(frm.turn, 0.03F);
        EXPECT_EQ(rnd.reseeds, 0);
    }
}

TEST(Keyboard, OnlyEscapeEndsTheProgram)
{
    Framebuffer fb(5, 5);
    ScriptedRandom rnd;
    Frm frm(fb, rnd);
    for (const int mods : {0, 1, 2, 4, 7}) {
        EXPECT_EQ(frm.onKeyDown(kEscape, static_cast<std::int16_t>(mods)), KeyOutcome::endProgram);
    }
    for (const int key : {0, 13, 26, 28, 32, 65, 112, -1, 32767}) {
        EXPECT_EQ(frm.onKeyDown(static_cast<std::int16_t>(key), 0), KeyOutcome::keepRunning);
    }
    EXPECT_EQ(rnd.draws, 0);
}

}  // namespace
}  // namespace zarvo
