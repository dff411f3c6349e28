// The web page's host on any machine: the page's events as the shared layer takes them, the picture in the
// canvas's RGBA, and how the program stops (Escape, a failure) with its one line.
#include "platform/web/host_web.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <thread>

namespace zarvo::web {
namespace {

TEST(WebInput, PointerButtonsModifiersAndKeys)
{
    const HostEvent left = pointerDown(0, true, false, false, 12.5, 7.0);
    EXPECT_EQ(left.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(left.button, PointerButton::left);
    EXPECT_EQ(left.modifiers, kShift);
    EXPECT_EQ(left.x, 12.5F);
    EXPECT_EQ(left.y, 7.0F);
    EXPECT_EQ(pointerDown(1, false, false, false, 0, 0).button, PointerButton::middle);
    EXPECT_EQ(pointerDown(2, false, false, false, 0, 0).button, PointerButton::right);
    EXPECT_EQ(pointerDown(3, false, false, false, 0, 0).button, PointerButton::other);
    EXPECT_EQ(pointerDown(2, true, true, true, 0, 0).modifiers, kShift | kCtrl | kAlt);

    const HostEvent escape = keyDown(27, false, true, false);
    EXPECT_EQ(escape.kind, HostEvent::Kind::keyDown);
    EXPECT_EQ(escape.keyCode, kEscape);
    EXPECT_EQ(escape.modifiers, kCtrl);
}

TEST(WebSink, CopiesOnlyTheRegionsAsOpaqueRgba)
{
    Framebuffer picture(3, 2);
    picture.setPixel(1.0F, 1.0F, rgb(10, 20, 30));
    picture.setPixel(0.0F, 0.0F, rgb(40, 50, 60));
    RgbaSink sink;
    const Rect region{1, 0, 2, 2};
    sink.present(picture, std::span<const Rect>(&region, 1));
    ASSERT_EQ(sink.width(), 3);
    ASSERT_EQ(sink.height(), 2);
    const std::uint8_t* at = sink.bytes() + 16;  // pixel (1, 1) of rows of 3, four bytes each
    EXPECT_EQ(at[0], 10);
    EXPECT_EQ(at[1], 20);
    EXPECT_EQ(at[2], 30);
    EXPECT_EQ(at[3], 255);
    EXPECT_EQ(sink.bytes()[0], 0) << "outside the region nothing is copied";
    EXPECT_EQ(sink.regions().size(), 1U);
    sink.forgetRegions();
    EXPECT_TRUE(sink.regions().empty());
}

TEST(WebHost, RunsTicksUntilEscapeThenStaysStoppedWithItsLine)
{
    Host host;
    const int wait = host.start(40, 30);
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, 50);
    ASSERT_EQ(host.sink().regions().size(), 1U);
    EXPECT_EQ(host.sink().regions()[0], (Rect{0, 0, 40, 30}));

    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_GE(host.tick(), 0);
    EXPECT_EQ(host.ticks(), 1U);
    EXPECT_GE(host.pointer(pointerDown(2, false, false, false, 3, 4)), 0);
    ASSERT_EQ(host.sink().regions().size(), 1U) << "a right click wipes all of the canvas";
    EXPECT_EQ(host.sink().regions()[0], (Rect{0, 0, 40, 30}));

    EXPECT_GE(host.key(keyDown('A', false, false, false)), 0);
    EXPECT_EQ(host.key(keyDown(27, false, false, false)), -1);
    EXPECT_TRUE(host.stopped());
    EXPECT_NE(host.message().find("reload"), std::string::npos) << host.message();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(host.tick(), -1);
    EXPECT_EQ(host.resize(20, 20), -1);
    EXPECT_EQ(host.ticks(), 1U);
    EXPECT_EQ(host.picture().width(), 40) << "the picture stays";
}

// A tab in the background: the page is told to wait a minute, and back in view the ticks that fell due run
// and the whole canvas is copied in the same call.
TEST(WebHost, HiddenItWaitsAMinuteAndSeenAgainCatchesUpAndShowsEverything)
{
    Host host;
    ASSERT_GE(host.start(40, 30), 0);
    const int wait = host.visibility(false);
    EXPECT_GE(wait, 59900);
    EXPECT_LE(wait, 60000);
    EXPECT_TRUE(host.sink().regions().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(230));
    EXPECT_LE(host.visibility(true), 50);
    EXPECT_GE(host.ticks(), 4U);
    ASSERT_EQ(host.sink().regions().size(), 1U);
    EXPECT_EQ(host.sink().regions()[0], (Rect{0, 0, 40, 30}));
}

TEST(WebHost, AResizeTooLargeForMemoryStopsWithTheOutOfMemoryLine)
{
    if (sizeof(std::size_t) > 4) {
        GTEST_SKIP() << "the largest canvas fits a 64-bit address space";
    }
    Host host;
    ASSERT_GE(host.start(30, 20), 0);
    EXPECT_EQ(host.resize(Framebuffer::kMaxSide, Framebuffer::kMaxSide), -1);
    EXPECT_TRUE(host.stopped());
    EXPECT_EQ(host.message().rfind("out of memory: ", 0), 0U) << host.message();
    EXPECT_EQ(host.picture().width(), 30);
}

}  // namespace
}  // namespace zarvo::web
