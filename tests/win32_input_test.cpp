// The Windows host's translation of window messages, on any machine: messages are plain integers here.
#include "platform/win32/input_win32.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace zarvo::win32 {
namespace {

// lParam of a mouse or size message: x (or width) in the low word, y (or height) in the high one.
std::intptr_t words(int low, int high)
{
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(high & 0xFFFF) << 16U) |
                                      static_cast<std::uint32_t>(low & 0xFFFF));
}

TEST(Win32Input, ButtonsCarryTheirPositionShiftAndCtrlFromWParamAndAltHeld)
{
    HostEvent in = translate(kWmLButtonDown, kMkShift, words(12, 34), {});
    ASSERT_EQ(in.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(in.button, PointerButton::left);
    EXPECT_EQ(in.modifiers, kShift);
    EXPECT_EQ(in.x, 12.0F);
    EXPECT_EQ(in.y, 34.0F);

    EXPECT_EQ(translate(kWmRButtonDown, 0, 0, {}).button, PointerButton::right);
    EXPECT_EQ(translate(kWmMButtonDown, 0, 0, {}).button, PointerButton::middle);
    EXPECT_EQ(translate(kWmXButtonDown, 0x00010000, 0, {}).button, PointerButton::other);
    EXPECT_EQ(buttonCode(translate(kWmRButtonDown, 0, 0, {}).button), kButtonRight);
    EXPECT_EQ(buttonCode(translate(kWmMButtonDown, 0, 0, {}).button), kButtonMiddle);

    // The keys the message says are held count, not the keyboard's Shift and Ctrl now; Alt is not in it.
    EXPECT_EQ(translate(kWmLButtonDown, kMkControl, 0, {true, false, false}).modifiers, kCtrl);
    EXPECT_EQ(translate(kWmLButtonDown, kMkShift | kMkControl, 0, {false, false, true}).modifiers,
              kShift | kCtrl | kAlt);
    EXPECT_EQ(translate(kWmLButtonDown, 0x0001 | 0x0010, 0, {}).modifiers, 0) << "the buttons' own flags";

    // A press left of or above the client area, the mouse captured: the words are signed.
    in = translate(kWmLButtonDown, 0, words(-3, -70), {});
    EXPECT_EQ(in.x, -3.0F);
    EXPECT_EQ(in.y, -70.0F);
}

TEST(Win32Input, KeysAreTheLowByteOfWParamWithTheHeldModifiers)
{
    HostEvent in = translate(kWmKeyDown, 0x1B, 0x00010001, {});
    ASSERT_EQ(in.kind, HostEvent::Kind::keyDown);
    EXPECT_EQ(in.keyCode, kEscape);
    EXPECT_EQ(in.modifiers, 0);
    in = translate(kWmSysKeyDown, 0x73, 0x203E0001, {false, true, true});  // Ctrl+Alt+F4
    ASSERT_EQ(in.kind, HostEvent::Kind::keyDown);
    EXPECT_EQ(in.keyCode, 0x73);
    EXPECT_EQ(in.modifiers, kCtrl | kAlt);
    EXPECT_EQ(translate(kWmKeyDown, 'A', 0, {true, false, false}).modifiers, kShift);
    EXPECT_EQ(translate(kWmKeyDown, 0x11B, 0, {}).keyCode, kEscape);
}

TEST(Win32Input, SizeReportsAndMinimising)
{
    HostEvent in = translate(kWmSize, kSizeRestored, words(503, 380), {});
    ASSERT_EQ(in.kind, HostEvent::Kind::resized);
    EXPECT_EQ(in.width, 503);
    EXPECT_EQ(in.height, 380);
    EXPECT_FALSE(in.minimised);
    in = translate(kWmSize, kSizeMaximized, words(1920, 1017), {});
    EXPECT_EQ(in.width, 1920);
    EXPECT_FALSE(in.minimised);
    in = translate(kWmSize, kSizeMinimized, 0, {});
    ASSERT_EQ(in.kind, HostEvent::Kind::resized);
    EXPECT_TRUE(in.minimised);
    EXPECT_EQ(in.width, 0);
    // The largest client area a size report can carry.
    in = translate(kWmSize, kSizeRestored, words(65535, 65535), {});
    EXPECT_EQ(in.width, 65535);
    EXPECT_EQ(in.height, 65535);
    // Reports about other windows being maximised or restored say nothing of this one.
    EXPECT_EQ(translate(kWmSize, kSizeMaxShow, words(10, 10), {}).kind, HostEvent::Kind::none);
    EXPECT_EQ(translate(kWmSize, kSizeMaxHide, words(10, 10), {}).kind, HostEvent::Kind::none);
}

TEST(Win32Input, TheTickTimerAndTheRest)
{
    EXPECT_EQ(translate(kWmTimer, kTickTimer, 0, {}).kind, HostEvent::Kind::tick);
    EXPECT_EQ(translate(kWmTimer, kTickTimer + 1, 0, {}).kind, HostEvent::Kind::none);
    // Releases, moves, the wheel, key releases, characters.
    for (const std::uint32_t message : {0x0202U, 0x0205U, 0x0200U, 0x020AU, 0x0101U, 0x0102U, 0x0010U}) {
        EXPECT_EQ(translate(message, 0x1B, words(1, 1), {true, true, true}).kind, HostEvent::Kind::none) << message;
    }
}

}  // namespace
}  // namespace zarvo::win32
