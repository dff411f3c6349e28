// The policy every host follows: the start, what each event does, which regions reach the window, the wait
// for the next tick, and the run-time error path. A sink that records what it is handed stands in for
// a window.
#include "host/failure.hpp"
#include "host/session.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// The chain holds references into the object that owns it: none of these may be copied or moved.
template <class T>
constexpr bool kPinned = !std::is_copy_constructible_v<T> && !std::is_copy_assignable_v<T> &&
                         !std::is_move_constructible_v<T> && !std::is_move_assignable_v<T>;
static_assert(kPinned<Frm>);
static_assert(kPinned<App>);
static_assert(kPinned<Session>);

struct RecordingSink final : PresentSink {
    void present(const Framebuffer& picture, std::span<const Rect> regions) override
    {
        calls.emplace_back(regions.begin(), regions.end());
        for (const Rect& r : regions) {
            EXPECT_TRUE(r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && r.x + r.w <= picture.width() &&
                        r.y + r.h <= picture.height());
        }
    }
    std::vector<std::vector<Rect>> calls;
};

constexpr TickSchedule::TimePoint kT0{1000s};

HostEvent event(HostEvent::Kind kind)
{
    HostEvent e;
    e.kind = kind;
    return e;
}

HostEvent sized(int width, int height, bool minimised = false)
{
    HostEvent e = event(HostEvent::Kind::resized);
    e.width = width;
    e.height = height;
    e.minimised = minimised;
    return e;
}

TEST(Session, BeforeTheFirstShowSizeReportsAndTicksChangeNothing)
{
    Session s;
    RecordingSink sink;
    EXPECT_TRUE(s.handle(sized(300, 200), kT0));
    EXPECT_TRUE(s.handle(event(HostEvent::Kind::tick), kT0 + 10s));
    s.present(sink);
    EXPECT_EQ(s.app().picture.width(), 0);
    EXPECT_EQ(s.app().frm.follow, 0.0F);  // no reset yet
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_FALSE(s.isShown());
}

TEST(Session, TheFirstShowResetsPresentsEverythingAndThenStartsTheSchedule)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 40, 30, false, kT0);
    EXPECT_TRUE(s.isShown());
    EXPECT_GE(s.app().frm.follow, 0.05F);
    ASSERT_EQ(sink.calls.size(), 1U);
    EXPECT_EQ(sink.calls[0], (std::vector<Rect>{{0, 0, 40, 30}}));
    // The first tick falls one interval after the show; the wait is rounded up to whole milliseconds.
    EXPECT_EQ(s.millisecondsToNextTick(kT0), 50);
    EXPECT_EQ(s.millisecondsToNextTick(kT0 + 10ms + 100us), 40);
    EXPECT_EQ(s.millisecondsToNextTick(kT0 + 60ms), 0);
    const float headX = s.app().frm.segX[0];
    s.tick(kT0 + 49ms);
    EXPECT_EQ(s.app().frm.segX[0], headX);
    s.tick(kT0 + 50ms);
    EXPECT_EQ(s.millisecondsToNextTick(kT0 + 50ms), 50);
}

TEST(Session, ATickPresentsOnlyTheDamageAnExposureOrAResetEverything)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 200, 100, false, kT0);
    s.present(sink);
    EXPECT_EQ(sink.calls.size(), 1U) << "nothing changed, nothing presented";

    s.app().frm.tgtR = 200;  // a bright target, so the tick's paint changes pixels
    s.tick(kT0 + 50ms);
    s.present(sink);
    ASSERT_EQ(sink.calls.size(), 2U);
    int area = 0;
    for (const Rect& r : sink.calls[1]) {
        area += r.w * r.h;
    }
    EXPECT_GT(area, 0);
    EXPECT_LT(area, 200 * 100) << "a tick paints a few tiles, not the whole picture";

    EXPECT_TRUE(s.handle(event(HostEvent::Kind::exposed), kT0 + 60ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 200, 100}}));

    EXPECT_TRUE(s.handle(sized(250, 90), kT0 + 70ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 250, 90}}));
    // The same size again: no reset, but the window may have a new framebuffer, so all of it is shown.
    s.app().frm.follow = 0.0F;
    EXPECT_TRUE(s.handle(sized(250, 90), kT0 + 80ms));
    s.present(sink);
    EXPECT_EQ(s.app().frm.follow, 0.0F);
    ASSERT_EQ(sink.calls.size(), 5U);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 250, 90}}));

    // Minimised to nothing there is nothing to show; restored, the whole picture comes back.
    EXPECT_TRUE(s.handle(sized(0, 0, true), kT0 + 90ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.size(), 5U);
    EXPECT_TRUE(s.handle(sized(250, 90), kT0 + 100ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 250, 90}}));
}

TEST(Session, NothingIsPresentedWhileHiddenAndAllOfThePictureWhenSeenAgain)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 200, 100, false, kT0);
    HostEvent seen = event(HostEvent::Kind::visibility);
    seen.visible = false;
    EXPECT_TRUE(s.handle(seen, kT0));
    EXPECT_TRUE(s.hidden());
    s.app().frm.tgtR = 200;
    s.tick(kT0 + 50ms);
    EXPECT_TRUE(s.handle(event(HostEvent::Kind::exposed), kT0 + 60ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.size(), 1U) << "a hidden window is sent nothing";

    seen.visible = true;
    EXPECT_TRUE(s.handle(seen, kT0 + 70ms));
    s.present(sink);
    ASSERT_EQ(sink.calls.size(), 2U);
    EXPECT_EQ(sink.calls[1], (std::vector<Rect>{{0, 0, 200, 100}}));
    EXPECT_TRUE(s.handle(seen, kT0 + 80ms));
    s.present(sink);
    EXPECT_EQ(sink.calls.size(), 2U) << "a repeated report of being visible shows nothing again";
}

TEST(Session, EscapeOrQuitEndsTheProgramAndNothingRunsAfterIt)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 60, 40, false, kT0);
    HostEvent key = event(HostEvent::Kind::keyDown);
    key.keyCode = 'A';
    EXPECT_TRUE(s.handle(key, kT0));
    key.keyCode = kEscape;
    key.modifiers = kShift | kCtrl;
    EXPECT_FALSE(s.handle(key, kT0));
    EXPECT_TRUE(s.ending());

    HostEvent click = event(HostEvent::Kind::mouseDown);
    click.button = PointerButton::right;  // would wipe the picture and draw a new follow factor
    const float follow = s.app().frm.follow;
    EXPECT_FALSE(s.handle(click, kT0));
    EXPECT_FALSE(s.handle(event(HostEvent::Kind::tick), kT0 + 10s));
    EXPECT_EQ(s.app().frm.follow, follow);

    Session closed;
    closed.shown(sink, 60, 40, false, kT0);
    EXPECT_FALSE(closed.handle(event(HostEvent::Kind::quit), kT0));
}

TEST(Failure, EachKindIsReportedInItsOwnWordsAndEndsWithStatusOne)
{
    std::vector<std::string> lines;
    const auto report = [&lines](const Failure& f) { lines.push_back(f.line()); };
    EXPECT_EQ(runReportingFailure([] { return 0; }, report), 0);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(runReportingFailure([]() -> int { raiseRuntimeError("SDL_Foo failed: no"); }, report), 1);
    EXPECT_EQ(runReportingFailure([]() -> int { throw std::bad_alloc(); }, report), 1);
    EXPECT_EQ(runReportingFailure([]() -> int { throw std::logic_error("odd"); }, report), 1);
    EXPECT_EQ(runReportingFailure([]() -> int { throw 3; }, report), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "run-time error: SDL_Foo failed: no",
                         "out of memory: the window's picture needs more memory than the system gives the program",
                         "unexpected failure: odd", "unexpected failure: unknown error"}));

    Failure raw;
    runReportingFailure([]() -> int { throw std::runtime_error(""); }, [&raw](const Failure& f) { raw = f; });
    EXPECT_EQ(raw.what, "unknown error");
}

}  // namespace
}  // namespace zarvo
