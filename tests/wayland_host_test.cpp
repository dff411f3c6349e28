// The Wayland host's parts that need no compositor: which display the window opens on, the translation of
// buttons, modifier names and configure sizes, the seat's glue (what a pointer event is on and what a button
// there does), the bounded region lists that say what each buffer and the compositor still have to receive,
// and the frame's parts and pixels.
#include "platform/wayland/frame_look.hpp"
#include "platform/wayland/input_wayland.hpp"
#include "platform/wayland/pointer_glue.hpp"
#include "platform/wayland/wayland_present.hpp"
#include "platform/wayland/wayland_probe.hpp"
#include "platform/wayland/wayland_scale.hpp"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarvo::wl {
namespace {

using Kind = DisplayChoice::Kind;

WaylandProbe usable()
{
    WaylandProbe p;
    p.reached = p.compositor = p.shm = p.shell = p.subsurfaces = p.inputSeat = true;
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

TEST(ChooseDisplay, WaylandIsPreferredWhenTheWindowCanRunOnIt)
{
    int probes = 0;
    EXPECT_EQ(choose({":0", "wayland-1"}, usable(), probes).kind, Kind::wayland);
    EXPECT_EQ(choose({"", "wayland-1"}, usable(), probes).kind, Kind::wayland);
    EXPECT_EQ(probes, 2);
}

TEST(ChooseDisplay, X11AloneNeedsNoProbe)
{
    int probes = 0;
    EXPECT_EQ(choose({":0", ""}, usable(), probes).kind, Kind::x11);
    const DisplayChoice none = choose({"", ""}, usable(), probes);
    EXPECT_EQ(none.kind, Kind::none);
    EXPECT_NE(none.message.find("neither DISPLAY nor WAYLAND_DISPLAY"), std::string::npos);
    EXPECT_EQ(probes, 0);
}

TEST(ChooseDisplay, ACompositorTheWindowCannotUseFallsBackToX11WhereThereIsOne)
{
    WaylandProbe noInput = usable();
    noInput.inputSeat = false;
    int probes = 0;
    EXPECT_EQ(choose({":0", "wayland-1"}, noInput, probes).kind, Kind::x11);

    const DisplayChoice alone = choose({"", "wayland-1"}, noInput, probes);
    EXPECT_EQ(alone.kind, Kind::none);
    EXPECT_NE(alone.message.find("wayland-1 has no pointer or keyboard"), std::string::npos) << alone.message;
}

TEST(ChooseDisplay, TheReportSaysWhatIsMissing)
{
    WaylandProbe unreachable;
    unreachable.failure = "No such file or directory";
    int probes = 0;
    const DisplayChoice gone = choose({"", "wayland-9"}, unreachable, probes);
    EXPECT_EQ(gone.message, "cannot reach the Wayland compositor wayland-9 (No such file or directory)");

    WaylandProbe bare = usable();
    bare.shm = false;
    bare.shell = false;
    bare.subsurfaces = false;
    const DisplayChoice lacking = choose({"", "w"}, bare, probes);
    EXPECT_EQ(lacking.kind, Kind::none);
    EXPECT_EQ(lacking.message,
              "the Wayland compositor w lacks what a window needs: wl_shm, xdg_wm_base, wl_subcompositor");
}

TEST(WaylandInput, ButtonsAndModifierNames)
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

TEST(SurfaceScale, TheLargestOfTheOutputsTheWindowIsOnOrOfAllBeforeItIsOnAny)
{
    const std::vector<int> none;
    const std::vector<int> all{1, 2, 3};
    EXPECT_EQ(surfaceScale(std::vector<int>{1, 2}, all), 2) << "on two outputs: the sharper";
    EXPECT_EQ(surfaceScale(std::vector<int>{1}, all), 1) << "moved to the plain output";
    EXPECT_EQ(surfaceScale(none, all), 3) << "not on any yet";
    EXPECT_EQ(surfaceScale(none, none), 1);
    EXPECT_EQ(surfaceScale(std::vector<int>{0, -2}, none), 1) << "nonsense counts as 1";
}

TEST(Scale, LengthsInDevicePixelsRoundHalfAwayFromZero)
{
    EXPECT_EQ(Scale::fraction(150).device(503), 629) << "628.75";
    EXPECT_EQ(Scale::fraction(180).device(503), 755) << "754.5";
    EXPECT_EQ(Scale::fraction(210).device(503), 880) << "880.25";
    EXPECT_EQ(Scale::fraction(180).device(-3), -5) << "-4.5";
    EXPECT_EQ(Scale::whole(2).device(-32), -64);
    EXPECT_DOUBLE_EQ(Scale::fraction(150).device(10.5), 13.125) << "the pointer's places are not rounded";
    EXPECT_EQ(Scale::fraction(0), Scale::whole(1)) << "nonsense counts as 1";
    EXPECT_EQ(Scale::fraction(150).wholeAbove(), 2);
    EXPECT_EQ(Scale::fraction(240).wholeAbove(), 2);
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

TEST(FrameGeometry, PartsUnderThePointer)
{
    const FrameGeometry floating{503, 380, true, Scale{}};
    EXPECT_EQ(floating.partAt(0, 0), FramePart::picture);
    EXPECT_EQ(floating.partAt(502, 379), FramePart::picture);
    // The buttons from the right, 32 pixels each, then the caption.
    EXPECT_EQ(floating.partAt(502, -1), FramePart::close);
    EXPECT_EQ(floating.partAt(503 - 32, -kTitleHeight), FramePart::close);
    EXPECT_EQ(floating.partAt(503 - 33, -12), FramePart::maximise);
    EXPECT_EQ(floating.partAt(503 - 96, -12), FramePart::minimise);
    EXPECT_EQ(floating.partAt(503 - 97, -12), FramePart::caption);
    EXPECT_EQ(floating.partAt(0, -12), FramePart::caption);
    // The band round it: sides, and corners that reach along the edges.
    EXPECT_EQ(floating.partAt(200, -kTitleHeight - 1), FramePart::resizeTop);
    EXPECT_EQ(floating.partAt(200, 380 + kShadow - 1), FramePart::resizeBottom);
    EXPECT_EQ(floating.partAt(-1, 200), FramePart::resizeLeft);
    EXPECT_EQ(floating.partAt(503, 200), FramePart::resizeRight);
    EXPECT_EQ(floating.partAt(-kShadow, -kTitleHeight - kShadow), FramePart::resizeTopLeft);
    EXPECT_EQ(floating.partAt(503 + 3, 380 + 3), FramePart::resizeBottomRight);
    EXPECT_EQ(floating.partAt(503 - kCornerReach, 380), FramePart::resizeBottomRight);
    EXPECT_EQ(floating.partAt(503 - kCornerReach - 1, 380), FramePart::resizeBottom);
    EXPECT_EQ(floating.partAt(-1, 380 - kCornerReach), FramePart::resizeBottomLeft);
    EXPECT_EQ(floating.partAt(503, -kTitleHeight + kCornerReach - 1), FramePart::resizeTopRight);
    EXPECT_EQ(floating.partAt(-kShadow - 1, 200), FramePart::outside);
    EXPECT_EQ(floating.partAt(200, 380 + kShadow), FramePart::outside);
    // A maximised window has no band to resize it by.
    const FrameGeometry maximised{1920, 1086, false, Scale{}};
    EXPECT_EQ(maximised.partAt(-1, 200), FramePart::outside);
    EXPECT_EQ(maximised.partAt(1919, -1), FramePart::close);
    EXPECT_STREQ(cursorName(FramePart::resizeBottomRight), "bottom_right_corner");
    EXPECT_STREQ(cursorName(FramePart::caption), "left_ptr");
}

// The seat's glue: which of the window's parts a pointer event is on, and what a button there does.
TEST(WaylandSeat, APointerEventBelongsToThePictureTheFrameOrNothing)
{
    std::array<int, 2> surfaces{};  // stand-ins: only their addresses are compared
    auto* window = reinterpret_cast<wl_surface*>(surfaces.data());
    auto* piece = reinterpret_cast<wl_surface*>(surfaces.data() + 1);
    EXPECT_EQ(pointerOver(window, window, true), PointerOver::picture);
    EXPECT_EQ(pointerOver(window, window, false), PointerOver::picture);
    EXPECT_EQ(pointerOver(piece, window, true), PointerOver::frame);
    EXPECT_EQ(pointerOver(piece, window, false), PointerOver::nothing) << "the compositor's title bar";
    EXPECT_EQ(pointerOver(nullptr, window, true), PointerOver::nothing) << "the pointer left";
    EXPECT_EQ(pointerOver(nullptr, nullptr, false), PointerOver::nothing) << "before the window opens";

    const FrameGeometry frame{503, 380, true, Scale{}};
    EXPECT_EQ(partUnderPointer(PointerOver::picture, frame, -5.0F, -5.0F), FramePart::picture);
    EXPECT_EQ(partUnderPointer(PointerOver::frame, frame, 502.5F, -1.5F), FramePart::close);
    EXPECT_EQ(partUnderPointer(PointerOver::frame, frame, 10.0F, -12.0F), FramePart::caption);
    EXPECT_EQ(partUnderPointer(PointerOver::frame, frame, -1.0F, 200.0F), FramePart::resizeLeft);
    EXPECT_EQ(partUnderPointer(PointerOver::nothing, frame, 10.0F, -12.0F), FramePart::outside);
}

TEST(WaylandSeat, AButtonOnThePictureIsAClickInDevicePixelsAndOnTheFrameAResizeByItsEdge)
{
    const HostEvent click = pictureClick(BTN_RIGHT, kShift, 10.5F, 20.25F, Scale::whole(2));
    EXPECT_EQ(click.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(click.button, PointerButton::right);
    EXPECT_EQ(click.modifiers, kShift);
    EXPECT_EQ(click.x, 21.0F);
    EXPECT_EQ(click.y, 40.5F);
    EXPECT_EQ(pictureClick(BTN_EXTRA, 0, 0, 0, Scale{}).button, PointerButton::other);
    // At 1.5 the far corner of a 503-unit-wide picture (755 device pixels) is its last pixel, not beyond.
    EXPECT_FLOAT_EQ(pictureClick(BTN_LEFT, 0, 502.5F, 0.5F, Scale::fraction(180)).x, 753.75F);

    EXPECT_EQ(frameButton(BTN_LEFT), FrameButton::left);
    EXPECT_EQ(frameButton(BTN_RIGHT), FrameButton::right);
    EXPECT_EQ(frameButton(BTN_MIDDLE), FrameButton::other);

    const std::vector<std::pair<FramePart, std::uint32_t>> edges{
        {FramePart::resizeTop, XDG_TOPLEVEL_RESIZE_EDGE_TOP},
        {FramePart::resizeBottom, XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM},
        {FramePart::resizeLeft, XDG_TOPLEVEL_RESIZE_EDGE_LEFT},
        {FramePart::resizeRight, XDG_TOPLEVEL_RESIZE_EDGE_RIGHT},
        {FramePart::resizeTopLeft, XDG_TOPLEVEL_RESIZE_EDGE_TOP_LEFT},
        {FramePart::resizeTopRight, XDG_TOPLEVEL_RESIZE_EDGE_TOP_RIGHT},
        {FramePart::resizeBottomLeft, XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_LEFT},
        {FramePart::resizeBottomRight, XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_RIGHT},
        {FramePart::caption, XDG_TOPLEVEL_RESIZE_EDGE_NONE},
        {FramePart::close, XDG_TOPLEVEL_RESIZE_EDGE_NONE}};
    for (const auto& [part, edge] : edges) {
        EXPECT_EQ(resizeEdge(part), edge) << static_cast<int>(part);
    }
}

TEST(FrameGeometry, PiecesTileTheFrameRoundTheClientArea)
{
    for (const FrameGeometry frame : {FrameGeometry{503, 380, true, Scale{}}, FrameGeometry{160, 1, true, Scale{}},
                                      FrameGeometry{800, 576, false, Scale{}}}) {
        const int s = frame.shadow();
        const int outerW = frame.width + 2 * s;
        const int outerH = frame.height + kTitleHeight + 2 * s;
        std::vector<int> cover(static_cast<std::size_t>(outerW * outerH), 0);
        auto mark = [&](Rect r) {
            for (int y = r.y; y < r.y + r.h; ++y) {
                for (int x = r.x; x < r.x + r.w; ++x) {
                    ASSERT_GE(x, -s);
                    ASSERT_LT(x, frame.width + s);
                    ASSERT_GE(y, -kTitleHeight - s);
                    ASSERT_LT(y, frame.height + s);
                    ++cover[static_cast<std::size_t>((y + kTitleHeight + s) * outerW + x + s)];
                }
            }
        };
        mark({0, 0, frame.width, frame.height});
        for (int i = 0; i < FrameGeometry::kPieces; ++i) {
            mark(frame.piece(static_cast<FrameGeometry::Piece>(i)));
        }
        EXPECT_EQ(std::count(cover.begin(), cover.end(), 1), outerW * outerH) << frame.width << " x " << frame.height;
    }
}

TEST(FrameLook, TitleBarCaptionButtonsAndShadow)
{
    const FrameGeometry frame{503, 380, true, Scale{}};
    const Rect top = frame.piece(FrameGeometry::Piece::top);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(top.w * top.h));
    auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>((y - top.y) * top.w + (x - top.x))]; };
    auto inked = [&](int x0, int x1) {
        int n = 0;
        for (int y = -kTitleHeight; y < 0; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += at(x, y) == 0xffffffffU ? 1 : 0;
            }
        }
        return n;
    };
    FrameLook look;
    look.hovered = FramePart::close;
    drawPiece(pixels, frame, FrameGeometry::Piece::top, look, "Zarvo1");
    EXPECT_EQ(at(0, -1) >> 24U, 0xffU) << "the title bar is opaque";
    EXPECT_GT(inked(200, 300), 60) << "the caption, centred";
    EXPECT_EQ(inked(0, 200) + inked(300, 503 - 96), 0);
    EXPECT_EQ(at(503 - 2, -2), 0xffc42b1cU) << "the hovered close button";
    EXPECT_NE(at(503 - 40, -2), at(503 - 2, -2));
    // The shadow fades away from the frame.
    const std::uint32_t near = at(100, -kTitleHeight - 1) >> 24U;
    const std::uint32_t far = at(100, -kTitleHeight - kShadow) >> 24U;
    EXPECT_GT(near, far);
    EXPECT_GT(near, 0U);
    // Inactive, the caption dims; a window too narrow for its caption clips it before the buttons.
    const FrameGeometry narrow{120, 50, false, Scale{}};
    const Rect bar = narrow.piece(FrameGeometry::Piece::top);
    std::vector<std::uint32_t> small(static_cast<std::size_t>(bar.w * bar.h));
    look = FrameLook{};
    look.active = false;
    drawPiece(small, narrow, FrameGeometry::Piece::top, look, "Zarvo1Zarvo1");
    for (int y = 0; y < bar.h; ++y) {
        for (int x = 0; x < bar.w; ++x) {
            const std::uint32_t p = small[static_cast<std::size_t>(y * bar.w + x)];
            EXPECT_NE(p, 0xffffffffU);
            if (p == 0xffa8a8a8U && x < 120 - 3 * kButtonWidth) {
                EXPECT_LT(x, 120 - 3 * kButtonWidth - 4) << "caption ink at " << x;
            }
        }
    }
}

// The title bar as drawn for a geometry: its device pixels, read by frame coordinates in device pixels.
struct TitleBar {
    explicit TitleBar(const FrameGeometry& frame, std::string_view caption, const FrameLook& look = {})
        : scale(frame.scale),
          unitArea(frame.piece(FrameGeometry::Piece::top)),
          area{scale.device(unitArea.x), scale.device(unitArea.y), scale.device(unitArea.w), scale.device(unitArea.h)}
    {
        pixels.resize(static_cast<std::size_t>(area.w * area.h));
        drawPiece(pixels, frame, FrameGeometry::Piece::top, look, caption);
    }
    std::uint32_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>((y - area.y) * area.w + (x - area.x))];
    }
    // Which pixels of the caption's room (the bar left of the buttons) are inked.
    std::vector<bool> captionInk() const
    {
        std::vector<bool> ink;
        for (int y = -scale.device(kTitleHeight); y < 0; ++y) {
            for (int x = 0; x < scale.device(unitArea.w + 2 * unitArea.x - 3 * kButtonWidth); ++x) {
                ink.push_back(at(x, y) == 0xffffffffU);
            }
        }
        return ink;
    }
    Scale scale;
    Rect unitArea;
    Rect area;  // in device pixels
    std::vector<std::uint32_t> pixels;
};

TEST(FrameLook, AtTwiceTheScaleEveryUnitOfTheBarAndCaptionIsTwoByTwoDevicePixelsOfOneColour)
{
    const TitleBar one(FrameGeometry{503, 380, true, Scale::whole(1)}, "Zarvo1");
    const TitleBar two(FrameGeometry{503, 380, true, Scale::whole(2)}, "Zarvo1");
    ASSERT_EQ(two.pixels.size(), one.pixels.size() * 4);
    int mismatched = 0;
    for (int y = -2 * kTitleHeight; y < 0; ++y) {
        for (int x = 0; x < 2 * (503 - 3 * kButtonWidth); ++x) {
            mismatched += two.at(x, y) != one.at(x / 2, (y - 1) / 2) ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatched, 0) << "no smoothing, nothing out of place";
    // The close sign's lines are as thick as a unit, and crisp: ink or the bar, nothing between.
    std::set<std::uint32_t> colours;
    for (int y = -2 * kTitleHeight; y < 0; ++y) {
        for (int x = 2 * (503 - kButtonWidth); x < 2 * 503; ++x) {
            colours.insert(two.at(x, y));
        }
    }
    EXPECT_EQ(colours, (std::set<std::uint32_t>{0xff2b2b2bU, 0xffffffffU}));
}

TEST(FrameLook, AtScalesBetweenWholeNumbersTheBarIsCrispAndItsInkOnePieceAUnitAndMore)
{
    const std::vector<bool> inkAtOne = TitleBar(FrameGeometry{503, 380, true, Scale{}}, "Zarvo1").captionInk();
    const auto atOne = std::count(inkAtOne.begin(), inkAtOne.end(), true);
    for (const std::uint32_t in120ths : {150U, 180U, 210U}) {
        const Scale scale = Scale::fraction(in120ths);
        const TitleBar bar(FrameGeometry{503, 380, true, scale}, "Zarvo1");
        // The piece ends where the client area begins; its buffer is the rounded size.
        EXPECT_EQ(bar.area.y + bar.area.h, 0);
        EXPECT_EQ(bar.area.w, scale.device(503 + 2 * kShadow));
        std::set<std::uint32_t> colours;
        for (int y = -scale.device(kTitleHeight); y < 0; ++y) {
            for (int x = 0; x < scale.device(503); ++x) {
                colours.insert(bar.at(x, y));
            }
        }
        EXPECT_EQ(colours, (std::set<std::uint32_t>{0xff2b2b2bU, 0xffffffffU})) << in120ths << ": no blend";
        // The caption's strokes: as much ink as at scale 1 at least, and no more than twice as thick each way.
        const std::vector<bool> ink = bar.captionInk();
        const auto inked = std::count(ink.begin(), ink.end(), true);
        EXPECT_GE(inked, atOne) << in120ths;
        EXPECT_LE(inked, atOne * 4) << in120ths;
        EXPECT_NE(bar.at(-1, -scale.device(kTitleHeight) - 1) >> 24U, 0U) << "the shadow round the corner";
    }
}

TEST(FrameLook, EveryPrintableCharacterHasAGlyphOfItsOwn)
{
    std::set<std::vector<bool>> shapes;
    for (char c = ' '; c <= '~'; ++c) {
        const std::vector<bool> ink = TitleBar(FrameGeometry{503, 380, false, Scale{}}, std::string(1, c)).captionInk();
        const auto inked = std::count(ink.begin(), ink.end(), true);
        EXPECT_EQ(inked == 0, c == ' ') << "'" << c << "'";
        EXPECT_TRUE(shapes.insert(ink).second) << "'" << c << "' looks like another character";
    }
    // Anything else leaves a gap: no ink, and no crash.
    const std::vector<bool> other = TitleBar(FrameGeometry{503, 380, false, Scale{}}, "\x7f\xc3\xa9\t").captionInk();
    EXPECT_EQ(std::count(other.begin(), other.end(), true), 0);
}

TEST(FrameClicks, MoveDoubleClickMenuResizeAndButtonsThatActWhenLetGoOverThem)
{
    using R = FrameRequest;
    using B = FrameButton;
    FrameClicks clicks;
    FrameLook look;
    EXPECT_EQ(clicks.press(FramePart::caption, B::left, 1000, look), R::move);
    EXPECT_EQ(clicks.press(FramePart::caption, B::left, 1300, look), R::toggleMaximised);
    EXPECT_EQ(clicks.press(FramePart::caption, B::left, 1500, look), R::move) << "a third press starts again";
    EXPECT_EQ(clicks.press(FramePart::caption, B::left, 2000, look), R::move) << "too late for a double click";
    EXPECT_EQ(clicks.press(FramePart::caption, B::right, 2100, look), R::windowMenu);
    EXPECT_EQ(clicks.press(FramePart::caption, B::left, 2200, look), R::move) << "the right press broke the pair";
    EXPECT_EQ(clicks.press(FramePart::resizeBottomRight, B::left, 3000, look), R::resize);
    EXPECT_EQ(clicks.press(FramePart::resizeBottomRight, B::right, 3000, look), R::none);
    EXPECT_EQ(clicks.press(FramePart::picture, B::left, 3100, look), R::none);

    EXPECT_EQ(clicks.press(FramePart::close, B::left, 4000, look), R::none);
    EXPECT_EQ(look.pressed, FramePart::close);
    EXPECT_EQ(clicks.release(FramePart::close, B::left, look), R::close);
    EXPECT_EQ(look.pressed, FramePart::outside);
    clicks.press(FramePart::maximise, B::left, 5000, look);
    EXPECT_EQ(clicks.release(FramePart::caption, B::left, look), R::none) << "let go elsewhere";
    EXPECT_EQ(look.pressed, FramePart::outside);
    clicks.press(FramePart::minimise, B::left, 6000, look);
    EXPECT_EQ(clicks.release(FramePart::minimise, B::right, look), R::none);
    EXPECT_EQ(clicks.release(FramePart::minimise, B::left, look), R::minimise);
    clicks.press(FramePart::maximise, B::left, 7000, look);
    EXPECT_EQ(clicks.release(FramePart::maximise, B::left, look), R::toggleMaximised);
}

}  // namespace
}  // namespace zarvo::wl
