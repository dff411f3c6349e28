// Size reports of a window: which ones reset the chain, and the picture across minimising and restoring.
#include "host/window_sizing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zarvo {
namespace {

std::vector<std::uint32_t> pixelsOf(const Framebuffer& fb)
{
    return {fb.pixels(), fb.pixels() + static_cast<std::ptrdiff_t>(fb.width()) * fb.height()};
}

// A shown window with a few ticks of trails on it.
struct Shown {
    Shown()
    {
        sizing.report(app, 40, 30, false);
        app.frm.tgtR = 200;  // a bright target, so every paint lights its pixel
        for (int i = 0; i < 5; ++i) {
            app.frm.onTick();
        }
    }
    App app;
    WindowSizing sizing;
};

TEST(WindowSizing, FirstReportAndEveryChangeResetTheChainButARepeatDoesNot)
{
    App app;
    WindowSizing sizing;
    EXPECT_FALSE(sizing.known());
    EXPECT_TRUE(sizing.report(app, 503, 380, false));
    EXPECT_EQ(app.picture.width(), 503);
    EXPECT_EQ(app.picture.height(), 380);
    EXPECT_GE(app.frm.follow, 0.05F);  // a reset draws the follow factor; at creation it is 0

    app.frm.follow = 0.0F;
    app.frm.tgtG = 77;
    EXPECT_FALSE(sizing.report(app, 503, 380, false));
    EXPECT_EQ(app.frm.follow, 0.0F);
    EXPECT_EQ(app.frm.tgtG, 77);

    EXPECT_TRUE(sizing.report(app, 600, 380, false));
    EXPECT_GE(app.frm.follow, 0.05F);
    EXPECT_EQ(app.frm.tgtG, 0);  // the reset makes the target black
    EXPECT_EQ(app.picture.width(), 600);
}

TEST(WindowSizing, MinimisedTheSurfaceMeasuresNothingAndTheChainResetsOnIt)
{
    Shown s;
    EXPECT_TRUE(s.sizing.report(s.app, 0, 0, true));
    EXPECT_TRUE(s.sizing.minimised());
    EXPECT_EQ(s.app.picture.surfaceWidth(), 0.0F);
    EXPECT_EQ(s.app.picture.surfaceHeight(), 0.0F);
    for (int i = 0; i < kPoints; ++i) {
        EXPECT_EQ(s.app.frm.segX[static_cast<std::size_t>(i)], 0.0F);  // scattered over nothing
    }
    // Ticks go on while minimised; they paint outside and nothing breaks.
    for (int i = 0; i < 20; ++i) {
        s.app.frm.onTick();
    }
    EXPECT_EQ(s.app.frm.segX[0], -1.0F);
}

TEST(WindowSizing, RestoringBringsBackThePictureAsItWasBeforeMinimising)
{
    Shown s;
    const std::vector<std::uint32_t> before = pixelsOf(s.app.picture);
    ASSERT_TRUE(std::any_of(before.begin(), before.end(), [](std::uint32_t w) { return w != 0; }));  // trails to lose

    s.sizing.report(s.app, 0, 0, true);
    s.app.frm.onTick();
    // A second report while minimised must not put the empty surface aside over the picture.
    EXPECT_FALSE(s.sizing.report(s.app, 0, 0, true));
    EXPECT_TRUE(s.sizing.report(s.app, 0, 1, true));

    EXPECT_TRUE(s.sizing.report(s.app, 40, 30, false));
    EXPECT_FALSE(s.sizing.minimised());
    EXPECT_EQ(pixelsOf(s.app.picture), before);
    // The chain was reset for the restored size.
    for (int i = 0; i < kPoints; ++i) {
        EXPECT_LT(s.app.frm.segX[static_cast<std::size_t>(i)], 40.0F);
        EXPECT_GE(s.app.frm.segX[static_cast<std::size_t>(i)], 0.0F);
    }
}

TEST(WindowSizing, RestoringToAnotherSizeKeepsTheOverlapAndTheBackgroundChosenMeanwhile)
{
    Shown s;
    const std::vector<std::uint32_t> before = pixelsOf(s.app.picture);
    s.sizing.report(s.app, 0, 0, true);
    s.app.picture.setBackground(rgb(1, 2, 3));  // the colour scheme changed while minimised

    s.sizing.report(s.app, 50, 20, false);
    ASSERT_EQ(s.app.picture.width(), 50);
    ASSERT_EQ(s.app.picture.height(), 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            EXPECT_EQ(s.app.picture.pixels()[y * 50 + x], before[static_cast<std::size_t>(y * 40 + x)]);
        }
    }
    EXPECT_EQ(s.app.picture.background(), rgb(1, 2, 3));
    s.app.picture.clearSurface();
    EXPECT_EQ(s.app.picture.readPixel(0.0F, 0.0F), rgb(1, 2, 3));
}

TEST(WindowSizing, TheFirstClientAreaIsTheSameSizeToTheEyeAtEveryScale)
{
    EXPECT_EQ(initialClientSize(1.0).width, 503);
    EXPECT_EQ(initialClientSize(1.0).height, 380);
    EXPECT_EQ(initialClientSize(2.0).width, 1006);
    EXPECT_EQ(initialClientSize(2.0).height, 760);
    EXPECT_EQ(initialClientSize(1.25).width, 629);  // 628.75
    EXPECT_EQ(initialClientSize(1.25).height, 475);
    for (const double nonsense : {0.0, -2.0, std::nan("")}) {
        EXPECT_EQ(initialClientSize(nonsense).width, 503) << nonsense;
    }
}

}  // namespace
}  // namespace zarvo
