// The X11 host's parts that need no X server: buttons and keys with their modifiers, the desktop's scale
// from its resources, the one line an X error becomes, and the display mode's choice of window.
#include "host/window_sizing.hpp"
#include "platform/x11/input_x11.hpp"
#include "platform/x11/saver_target.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <initializer_list>
#include <vector>

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

SaverChoice saverChoice(std::initializer_list<std::string_view> arguments, std::string_view environment = "")
{
    const std::vector<std::string_view> list(arguments);
    return chooseSaverTarget(list, environment);
}

TEST(X11Saver, TheWindowComesFromTheIdTheEnvironmentTheRootOrIsItsOwn)
{
    using Kind = SaverTarget::Kind;
    const auto is = [](const SaverChoice& c, Kind kind, std::uint32_t window) {
        return c.error.empty() && c.target.kind == kind && c.target.window == window;
    };
    EXPECT_TRUE(is(saverChoice({}), Kind::ownWindow, 0));
    EXPECT_TRUE(is(saverChoice({"-root"}), Kind::root, 0));
    EXPECT_TRUE(is(saverChoice({"--root"}), Kind::root, 0));
    EXPECT_TRUE(is(saverChoice({"-window-id", "4194311"}), Kind::given, 4194311));
    EXPECT_TRUE(is(saverChoice({"--window-id", "0x400007"}), Kind::given, 0x400007));
    EXPECT_TRUE(is(saverChoice({"--window-id", "0X1fFfFfFf"}), Kind::given, 0x1FFFFFFF));
    // XScreenSaver runs "zarvo1-saver --root" with its own window in the environment: that window is meant.
    EXPECT_TRUE(is(saverChoice({}, "0xA00003"), Kind::given, 0xA00003));
    EXPECT_TRUE(is(saverChoice({"--root"}, "10485763"), Kind::given, 10485763));
    // Its preview names the window on the command line as well; the command line wins.
    EXPECT_TRUE(is(saverChoice({"--window-id", "0x200001"}, "0xA00003"), Kind::given, 0x200001));
    EXPECT_TRUE(is(saverChoice({"-window-id", "7", "-window-id", "9"}), Kind::given, 9));
}

TEST(X11Saver, AnythingElseIsRefusedWithWhatIsAccepted)
{
    for (const auto& wrong :
         {saverChoice({"-fps"}), saverChoice({"root"}), saverChoice({"-root", "---root"}), saverChoice({"-window-id"}),
          saverChoice({"-window-id", "0x"}), saverChoice({"-window-id", "12ab"}), saverChoice({"-window-id", "-5"}),
          saverChoice({"-window-id", "0"}), saverChoice({"-window-id", "0x20000000"}),
          saverChoice({"-window-id", "99999999999"}), saverChoice({"-window-id", " 7"})}) {
        EXPECT_NE(wrong.error.find("accepted: -root, -window-id ID"), std::string::npos) << wrong.error;
    }
    EXPECT_EQ(saverChoice({"-s"}).error.substr(0, 21), "unknown argument \"-s\"");
    EXPECT_EQ(saverChoice({"-root"}, "window").error, "XSCREENSAVER_WINDOW=\"window\" is no window id");
}

}  // namespace
}  // namespace zarvo::x11
