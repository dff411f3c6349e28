// The Windows host's translation of window messages, on any machine: messages are plain integers here.
#include "platform/win32/input_win32.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace zarvo::win32 {
namespace {

// lParam of a mouse or size message: x (or width) in the low word, y (or height) in the high one.
std::intptr_t words(int low, int high)
{
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(high & 0xFFFF) << 16U) |
                                      static_cast<std::uint32_t>(low & 0xFFFF));
}

// The one event a message other than a size report gives (none when it gives nothing).
HostEvent first(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, HeldKeys held)
{
    const Translation out = translate(message, wParam, lParam, held);
    EXPECT_LE(out.count, 1U);
    return out.count == 0 ? HostEvent{} : out.events[0];
}

TEST(Win32Input, ButtonsCarryTheirPositionShiftAndCtrlFromWParamAndAltHeld)
{
    HostEvent in = first(kWmLButtonDown, kMkShift, words(12, 34), {});
    ASSERT_EQ(in.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(in.button, PointerButton::left);
    EXPECT_EQ(in.modifiers, kShift);
    EXPECT_EQ(in.x, 12.0F);
    EXPECT_EQ(in.y, 34.0F);

    EXPECT_EQ(first(kWmRButtonDown, 0, 0, {}).button, PointerButton::right);
    EXPECT_EQ(first(kWmMButtonDown, 0, 0, {}).button, PointerButton::middle);
    EXPECT_EQ(first(kWmXButtonDown, 0x00010000, 0, {}).button, PointerButton::other);
    EXPECT_EQ(buttonCode(first(kWmRButtonDown, 0, 0, {}).button), kButtonRight);
    EXPECT_EQ(buttonCode(first(kWmMButtonDown, 0, 0, {}).button), kButtonMiddle);

    // The keys the message says are held count, not the keyboard's Shift and Ctrl now; Alt is not in it.
    EXPECT_EQ(first(kWmLButtonDown, kMkControl, 0, {true, false, false}).modifiers, kCtrl);
    EXPECT_EQ(first(kWmLButtonDown, kMkShift | kMkControl, 0, {false, false, true}).modifiers, kShift | kCtrl | kAlt);
    EXPECT_EQ(first(kWmLButtonDown, 0x0001 | 0x0010, 0, {}).modifiers, 0) << "the buttons' own flags";

    // A press left of or above the client area, the mouse captured: the words are signed.
    in = first(kWmLButtonDown, 0, words(-3, -70), {});
    EXPECT_EQ(in.x, -3.0F);
    EXPECT_EQ(in.y, -70.0F);
}

TEST(Win32Input, KeysAreTheLowByteOfWParamWithTheHeldModifiers)
{
    HostEvent in = first(kWmKeyDown, 0x1B, 0x00010001, {});
    ASSERT_EQ(in.kind, HostEvent::Kind::keyDown);
    EXPECT_EQ(in.keyCode, kEscape);
    EXPECT_EQ(in.modifiers, 0);
    in = first(kWmSysKeyDown, 0x73, 0x203E0001, {false, true, true});  // Ctrl+Alt+F4
    ASSERT_EQ(in.kind, HostEvent::Kind::keyDown);
    EXPECT_EQ(in.keyCode, 0x73);
    EXPECT_EQ(in.modifiers, kCtrl | kAlt);
    EXPECT_EQ(first(kWmKeyDown, 'A', 0, {true, false, false}).modifiers, kShift);
    EXPECT_EQ(first(kWmKeyDown, 0x11B, 0, {}).keyCode, kEscape);
}

TEST(Win32Input, SizeReportsAndMinimising)
{
    // Restored or maximised, the window is in sight, and then its size is reported.
    Translation out = translate(kWmSize, kSizeRestored, words(503, 380), {});
    ASSERT_EQ(out.count, 2U);
    EXPECT_EQ(out.events[0].kind, HostEvent::Kind::visibility);
    EXPECT_TRUE(out.events[0].visible);
    EXPECT_EQ(out.events[1].kind, HostEvent::Kind::resized);
    EXPECT_EQ(out.events[1].width, 503);
    EXPECT_EQ(out.events[1].height, 380);
    out = translate(kWmSize, kSizeMaximized, words(1920, 1017), {});
    ASSERT_EQ(out.count, 2U);
    EXPECT_TRUE(out.events[0].visible);
    EXPECT_EQ(out.events[1].width, 1920);
    // Minimised, it is out of sight, and its client area of 0 x 0 is not taken for a size.
    out = translate(kWmSize, kSizeMinimized, 0, {});
    ASSERT_EQ(out.count, 1U);
    EXPECT_EQ(out.events[0].kind, HostEvent::Kind::visibility);
    EXPECT_FALSE(out.events[0].visible);
    // The largest client area a size report can carry.
    out = translate(kWmSize, kSizeRestored, words(65535, 65535), {});
    EXPECT_EQ(out.events[1].width, 65535);
    EXPECT_EQ(out.events[1].height, 65535);
    // Reports about other windows being maximised or restored say nothing of this one.
    EXPECT_EQ(translate(kWmSize, kSizeMaxShow, words(10, 10), {}).count, 0U);
    EXPECT_EQ(translate(kWmSize, kSizeMaxHide, words(10, 10), {}).count, 0U);
}

TEST(Win32Input, TheTickTimerAndTheRest)
{
    EXPECT_EQ(first(kWmTimer, kTickTimer, 0, {}).kind, HostEvent::Kind::tick);
    EXPECT_EQ(first(kWmTimer, kTickTimer + 1, 0, {}).kind, HostEvent::Kind::none);
    // Releases, moves, the wheel, key releases, characters.
    for (const std::uint32_t message : {0x0202U, 0x0205U, 0x0200U, 0x020AU, 0x0101U, 0x0102U, 0x0010U}) {
        EXPECT_EQ(first(message, 0x1B, words(1, 1), {true, true, true}).kind, HostEvent::Kind::none) << message;
    }
}

// A change of dots per inch moves the window to the rectangle Windows suggests; it is no event of its own.
TEST(Win32Input, DpiChangeGivesTheSuggestedPlace)
{
    constexpr std::uintptr_t kDpi144 = (144U << 16U) | 144U;  // the same value across and down
    constexpr std::uintptr_t kDpi96 = (96U << 16U) | 96U;
    const ScreenRect suggested{-1910, 40, -1910 + 771, 40 + 614};  // on a display left of the main one
    const auto lp = reinterpret_cast<std::intptr_t>(&suggested);
    const std::optional<Placement> place = dpiPlacement(kWmDpiChanged, kDpi144, lp);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->dpi, 144);
    EXPECT_EQ(place->x, -1910);
    EXPECT_EQ(place->y, 40);
    EXPECT_EQ(place->width, 771);
    EXPECT_EQ(place->height, 614);
    EXPECT_EQ(translate(kWmDpiChanged, kDpi144, lp, {}).count, 0U);

    // No rectangle, an empty or inverted one, or another message: nothing to apply.
    EXPECT_FALSE(dpiPlacement(kWmDpiChanged, kDpi144, 0).has_value());
    const ScreenRect empty{10, 10, 10, 300};
    EXPECT_FALSE(dpiPlacement(kWmDpiChanged, kDpi96, reinterpret_cast<std::intptr_t>(&empty)).has_value());
    const ScreenRect inverted{10, 300, 200, 10};
    EXPECT_FALSE(dpiPlacement(kWmDpiChanged, kDpi96, reinterpret_cast<std::intptr_t>(&inverted)).has_value());
    EXPECT_FALSE(dpiPlacement(kWmSize, 0, lp).has_value());
}

}  // namespace
}  // namespace zarvo::win32
