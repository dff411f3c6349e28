// The Wayland host's parts that need no compositor: which display the window opens on, the translation of
// buttons, modifier names, keys and configure sizes, and the bounded region lists that say what each buffer
// and the compositor still have to receive.
#include "window/hosts/wayland/input_wayland.hpp"
#include "window/hosts/wayland/wayland_present.hpp"
#include "window/hosts/wayland/wayland_probe.hpp"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <set>
#include <string>

namespace zarvo::wl {
namespace {

using Kind = DisplayChoice::Kind;

WaylandProbe usable()
{
    WaylandProbe p;
    p.reached = p.compositor = p.shm = p.shell = p.inputSeat = true;
    return p;
}

// Runs the choice with a probe that reports `found` and counts its calls.
DisplayChoice choose(const DisplayEnvironment& env, const WaylandProbe& found, int& probes)
{
    return chooseDisplay(env, [&] {
        ++probes;
        return found;
    });
}

TEST(ChooseDisplay, WaylandIsPreferredWhenSdlCanRunOnIt)
{
    int probes = 0;
    EXPECT_EQ(choose({":0", "wayland-1", ""}, usable(), probes).kind, Kind::wayland);
    EXPECT_EQ(choose({"", "wayland-1", ""}, usable(), probes).kind, Kind::wayland);
    EXPECT_EQ(choose({"", "", "wayland"}, usable(), probes).kind, Kind::wayland);
    EXPECT_EQ(probes, 3);
}

TEST(ChooseDisplay, X11AloneOrAskedForNeedsNoProbe)
{
    int probes = 0;
    EXPECT_EQ(choose({":0", "", ""}, usable(), probes).kind, Kind::x11);
    EXPECT_EQ(choose({":0", "wayland-1", "x11"}, usable(), probes).kind, Kind::asAsked);
    const DisplayChoice none = choose({"", "", ""}, usable(), probes);
    EXPECT_EQ(none.kind, Kind::none);
    EXPECT_NE(none.message.find("neither DISPLAY nor WAYLAND_DISPLAY"), std::string::npos);
    EXPECT_EQ(probes, 0);
}

TEST(ChooseDisplay, ACompositorTheWindowCannotUseFallsBackToX11OnlyWhenNoDriverWasAskedFor)
{
    WaylandProbe noInput = usable();
    noInput.inputSeat = false;
    int probes = 0;
    EXPECT_EQ(choose({":0", "wayland-1", ""}, noInput, probes).kind, Kind::x11);

    const DisplayChoice alone = choose({"", "wayland-1", ""}, noInput, probes);
    EXPECT_EQ(alone.kind, Kind::none);
    EXPECT_NE(alone.message.find("wayland-1 has no pointer or keyboard"), std::string::npos) << alone.message;

    // Asked for Wayland by name: reported, not swapped for X11 behind the user's back.
    const DisplayChoice asked = choose({":0", "wayland-1", "wayland"}, noInput, probes);
    EXPECT_EQ(asked.kind, Kind::none);
}

TEST(ChooseDisplay, TheReportSaysWhatIsMissing)
{
    WaylandProbe unreachable;
    unreachable.failure = "No such file or directory";
    int probes = 0;
    const DisplayChoice gone = choose({"", "", "wayland"}, unreachable, probes);
    EXPECT_EQ(gone.message, "cannot reach the Wayland compositor wayland-0 (No such file or directory)");

    WaylandProbe bare = usable();
    bare.shm = false;
    bare.shell = false;
    const DisplayChoice lacking = choose({"", "w", ""}, bare, probes);
    EXPECT_EQ(lacking.kind, Kind::none);
    EXPECT_EQ(lacking.message, "the Wayland compositor w lacks what a window needs: wl_shm, xdg_wm_base");
}

TEST(WaylandInput, ButtonsModifierNamesAndKeys)
{
    EXPECT_EQ(pointerButton(BTN_LEFT), PointerButton::left);
    EXPECT_EQ(pointerButton(BTN_RIGHT), PointerButton::right);
    EXPECT_EQ(pointerButton(BTN_MIDDLE), PointerButton::middle);
    EXPECT_EQ(pointerButton(BTN_SIDE), PointerButton::other);

    const auto bits = [](std::set<std::string> held) {
        return modifiers([&held](const char* name) { return held.contains(name); });
    };
    EXPECT_EQ(bits({}), 0);
    EXPECT_EQ(bits({"Shift"}), kShift);
    EXPECT_EQ(bits({"Control", "Mod1"}), kCtrl | kAlt);
    EXPECT_EQ(bits({"Shift", "Control", "Mod1"}), kShift | kCtrl | kAlt);
    EXPECT_EQ(bits({"Lock", "Mod2", "Mod4", "Mod5"}), 0);  // Caps Lock, Num Lock, logo, AltGr

    EXPECT_EQ(virtualKey(XKB_KEY_Escape), kEscape);
    EXPECT_EQ(virtualKey(XKB_KEY_q), 'Q');
    EXPECT_EQ(virtualKey(XKB_KEY_Q), 'Q');
    EXPECT_EQ(virtualKey(XKB_KEY_7), '7');
    EXPECT_EQ(virtualKey(XKB_KEY_F1), 0);
}

TEST(ConfigureSizing, TheCompositorsSizeWinsAndFloatingComesBackToItsLastSize)
{
    ConfigureSizing sizing;
    const auto is = [](ConfigureSizing::Size s, int w, int h) { return s.width == w && s.height == h; };
    EXPECT_TRUE(is(sizing.configure(false, 0, 0, true), 503, 380));          // the first show: ours
    EXPECT_TRUE(is(sizing.configure(true, 0, 0, true), 503, 380));           // 0 x 0: ours as well
    EXPECT_TRUE(is(sizing.configure(true, 603, 420, true), 603, 420));       // dragged by the frame
    EXPECT_TRUE(is(sizing.configure(true, 1900, 1000, false), 1900, 1000));  // maximised
    EXPECT_TRUE(is(sizing.configure(true, 0, 0, true), 603, 420));           // restored: the size before
    EXPECT_TRUE(is(sizing.configure(true, 640, 0, true), 603, 420));         // half a size is none
}

TEST(RegionList, KeepsRegionsUntilFullThenCollapsesToTheirBoundsWithoutGrowing)
{
    RegionList list(3);
    list.add(Rect{0, 0, 0, 5});  // empty: nothing to bring
    list.add(Rect{10, 10, 4, 4});
    list.add(Rect{2, 30, 1, 1});
    list.add(Rect{50, 0, 2, 2});
    ASSERT_EQ(list.regions().size(), 3U);
    const Rect* storage = list.regions().data();

    list.add(Rect{20, 40, 5, 5});  // the fourth: all of them become one rectangle
    ASSERT_EQ(list.regions().size(), 1U);
    EXPECT_EQ(list.regions()[0], (Rect{2, 0, 50, 45}));
    EXPECT_EQ(list.regions().data(), storage);

    list.clear();
    EXPECT_TRUE(list.regions().empty());
}

}  // namespace
}  // namespace zarvo::wl
