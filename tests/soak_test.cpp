// One hour of animation on an in-memory picture: 72,000 ticks, a click every 100 and a resize every 1,000,
// with every invariant checked after every event.
#include "core/framebuffer.hpp"
#include "core/frm.hpp"
#include "core/runtime.hpp"
#include "invariants.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zarvo {
namespace {

using testing::Invariants;

// The program's generator, but every reset reseeds it from a fixed sequence instead of the time of day, so a
// failing run replays exactly.
class ReplayableRandom final : public RandomSource {
public:
    float next() override { return inner_.next(); }
    void randomize(float /*timeOfDay*/) override { inner_.randomize(static_cast<float>(++reseeds_) * 3600.25F); }

private:
    Generator inner_;
    int reseeds_ = 0;
};

struct Size {
    int width;
    int height;
};

struct Press {
    std::int16_t button;
    std::int16_t modifiers;
};

TEST(Soak, AnHourOfTicksClicksAndResizesKeepsEveryInvariant)
{
    constexpr int kTicks = 72000;  // an hour at 20 ticks a second
    // The sizes the window takes in turn, from nothing to full screen, thin ones included; and once, at the
    // half hour, the largest.
    const std::vector<Size> sizes = {{640, 480}, {0, 0},  {1, 1},       {0, 300},   {300, 0},   {2, 3},
                                     {37, 29},   {1, 90}, {1920, 1080}, {17, 4096}, {4096, 13}, {503, 380}};
    constexpr Size kLargest = {4096, 4096};
    // The clicks in turn: every button the chain knows, with and without Shift alone, and others.
    const std::vector<Press> presses = {{kButtonLeft, 0},
                                        {kButtonMiddle, kShift},
                                        {kButtonRight, 0},
                                        {kButtonLeft, kShift},
                                        {kButtonMiddle, 0},
                                        {kButtonRight, kShift},
                                        {kButtonLeft, kShift | kCtrl},
                                        {8, kShift}};

    Framebuffer picture;  // black, like the window
    ReplayableRandom random;
    Frm frm(picture, random);
    Invariants invariants;
    int resizes = 0;
    int clicks = 0;
    long paintedBeforeResizes = 0;

    auto checkAfter = [&](const std::string& event, int tick) {
        const std::string chain = invariants.checkChain(frm, picture);
        const std::string pixels = invariants.checkChangedPixels(picture);
        if (!chain.empty() || !pixels.empty()) {
            return ::testing::AssertionFailure() << chain << pixels << " after " << event << " at tick " << tick;
        }
        return ::testing::AssertionSuccess();
    };
    auto resize = [&](Size s, int tick) {
        // The host's resize: the picture keeps what overlaps, the chain resets.
        picture.resize(s.width, s.height);
        frm.onResize();
        invariants.resized();
        return checkAfter("a resize to " + std::to_string(s.width) + " x " + std::to_string(s.height), tick);
    };

    ASSERT_TRUE(resize({503, 380}, 0));  // the first show
    for (int tick = 1; tick <= kTicks; ++tick) {
        frm.onTick();
        ASSERT_TRUE(checkAfter("a tick", tick));
        if (tick % 100 == 0) {
            const Press p = presses[static_cast<std::size_t>(clicks++) % presses.size()];
            frm.onMouseDown(p.button, p.modifiers, 10.0F, 10.0F);
            invariants.clicked(p.button);
            ASSERT_TRUE(checkAfter("a click of button " + std::to_string(p.button), tick));
        }
        if (tick % 1000 == 0) {
            // Every pixel, whatever the damage said; and the chain has been painting all along.
            ASSERT_EQ(Invariants::checkAllPixels(picture), "") << "before a resize at tick " << tick;
            paintedBeforeResizes += Invariants::paintedPixels(picture);
            const Size next = tick == kTicks / 2 ? kLargest : sizes[static_cast<std::size_t>(resizes) % sizes.size()];
            ++resizes;
            ASSERT_TRUE(resize(next, tick));
        }
    }
    EXPECT_EQ(resizes, 72);
    EXPECT_EQ(clicks, 720);
    EXPECT_GT(paintedBeforeResizes, 72 * 50);
}

}  // namespace
}  // namespace zarvo
