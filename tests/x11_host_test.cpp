// The X11 host's parts that need no X server: buttons and keys with their modifiers, the desktop's scale
// from its resources, and the one line an X error becomes.
#include "host/window_sizing.hpp"
#include "platform/x11/input_x11.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace zarvo::x11 {
namespace {

// The usual keymap: Shift, Control and Alt on the core modifiers Shift, Control and Mod1.
constexpr std::uint16_t kShift = 1U << 0;
constexpr std::uint16_t kLock = 1U << 1;
constexpr std::uint16_t kControl = 1U << 2;
constexpr std::uint16_t kMod1 = 1U << 3;
constexpr std::uint16_t kMod2 = 1U << 4;  // NumLock
constexpr ModifierMasks kMasks{kShift, kControl, kMod1};

TEST(X11Input, ButtonsCarryPositionAndOnlyShiftCtrlAlt)
{
    const HostEvent left = buttonEvent(1, kShift | kLock | kMod2, 12, 34, kMasks);
    EXPECT_EQ(left.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(left.button, PointerButton::left);
    EXPECT_EQ(left.modifiers, modifierBits(true, false, false));  // CapsLock and NumLock play no part
    EXPECT_EQ(left.x, 12.0F);
    EXPECT_EQ(left.y, 34.0F);
    EXPECT_EQ(buttonEvent(2, kControl | kMod1, 0, 0, kMasks).button, PointerButton::middle);
    EXPECT_EQ(buttonEvent(2, kControl | kMod1, 0, 0, kMasks).modifiers, modifierBits(false, true, true));
    EXPECT_EQ(buttonEvent(3, 0, 0, 0, kMasks).button, PointerButton::right);
    EXPECT_EQ(buttonEvent(8, 0, 0, 0, kMasks).button, PointerButton::other);
    // The wheel turns, it is not pressed.
    for (std::uint8_t wheel = 4; wheel <= 7; ++wheel) {
        EXPECT_EQ(buttonEvent(wheel, 0, 5, 5, kMasks).kind, HostEvent::Kind::none);
    }
    // A keymap that puts Alt elsewhere is followed.
    EXPECT_EQ(buttonEvent(1, kMod1, 0, 0, ModifierMasks{kShift, kControl, kMod2}).modifiers, 0);
}

TEST(X11Input, EscapeEndsWhateverTheModifiersAndOtherKeysHaveTheirCodes)
{
    for (const int state : {0, kShift | kControl, kMod1 | kLock | kMod2}) {
        App app;
        const HostEvent escape = keyEvent(XKB_KEY_Escape, static_cast<std::uint16_t>(state), kMasks);
        EXPECT_EQ(escape.kind, HostEvent::Kind::keyDown);
        EXPECT_EQ(app.keyDown(escape.keyCode, escape.modifiers), KeyOutcome::endProgram);
    }
    EXPECT_EQ(keyEvent(XKB_KEY_q, kControl, kMasks).keyCode, 'Q');
    EXPECT_EQ(keyEvent(XKB_KEY_q, kControl, kMasks).modifiers, modifierBits(false, true, false));
    EXPECT_EQ(keyEvent(XKB_KEY_7, 0, kMasks).keyCode, '7');
    EXPECT_EQ(keyEvent(XKB_KEY_F4, kMod1, kMasks).keyCode, 0);
}

TEST(X11Scale, XftDpiOverNinetySixOrOne)
{
    EXPECT_DOUBLE_EQ(scaleFromResources("Xft.dpi:\t192\n"), 2.0);
    EXPECT_DOUBLE_EQ(scaleFromResources("*background:\tgrey\nXft.antialias:\t1\nXft.dpi: 144\nXft.hinting: 1\n"), 1.5);
    EXPECT_DOUBLE_EQ(scaleFromResources("Xft.dpi:\t120"), 1.25);  // no line end after the last line
    for (const char* none : {"", "Xft.antialias:\t1\n", "Xft.dpi:\n", "Xft.dpi:\tlots\n", "Xft.dpi:\t0\n",
                             "Xft.dpi:\t-96\n", "Xft.dpi:\tnan\n", "Xft.dpi:\t1e300\n", "Xxft.dpi:\t192\n"}) {
        EXPECT_DOUBLE_EQ(scaleFromResources(none), 1.0) << none;
    }
    EXPECT_EQ(initialClientSize(scaleFromResources("Xft.dpi:\t192\n")).width, 1006);
}

TEST(X11Errors, OneLineNamingTheErrorAndTheRequest)
{
    EXPECT_EQ(errorLine(9, 130, 3), "the X server refused a request: BadDrawable, request 130.3");
    EXPECT_EQ(errorLine(3, 18, 0), "the X server refused a request: BadWindow, request 18.0");
    EXPECT_EQ(errorLine(17, 1, 0), "the X server refused a request: BadImplementation, request 1.0");
    EXPECT_EQ(errorLine(128, 130, 1), "the X server refused a request: error 128, request 130.1");
}

}  // namespace
}  // namespace zarvo::x11
