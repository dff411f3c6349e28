// Size reports of a window: which ones reset the chain, and the first client area at each scale.
#include "host/window_sizing.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace zarvo {
namespace {

TEST(WindowSizing, FirstReportAndEveryChangeResetTheChainButARepeatDoesNot)
{
    App app;
    WindowSizing sizing;
    EXPECT_FALSE(sizing.known());
    EXPECT_TRUE(sizing.report(app, 503, 380));
    EXPECT_EQ(app.picture.width(), 503);
    EXPECT_EQ(app.picture.height(), 380);
    EXPECT_GE(app.frm.follow, 0.05F);  // a reset draws the follow factor; at creation it is 0

    app.frm.follow = 0.0F;
    app.frm.tgtG = 77;
    EXPECT_FALSE(sizing.report(app, 503, 380));
    EXPECT_EQ(app.frm.follow, 0.0F);
    EXPECT_EQ(app.frm.tgtG, 77);

    EXPECT_TRUE(sizing.report(app, 600, 380));
    EXPECT_GE(app.frm.follow, 0.05F);
    EXPECT_EQ(app.frm.tgtG, 0);  // the reset makes the target black
    EXPECT_EQ(app.picture.width(), 600);
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
