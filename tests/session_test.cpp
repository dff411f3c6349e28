// The policy every host follows: the start, what each event does, which regions reach the window, the wait
// for the next tick, and the run-time error path. A sink that records what it is handed stands in for
// a window.
#include "host/failure.hpp"
#include "host/session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
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

HostEvent sized(int width, int height)
{
    HostEvent e = event(HostEvent::Kind::resized);
    e.width = width;
    e.height = height;
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
    s.shown(sink, 40, 30, kT0);
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
    s.shown(sink, 200, 100, kT0);
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
}

TEST(Session, NothingIsPresentedWhileHiddenAndAllOfThePictureWhenSeenAgain)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 200, 100, kT0);
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

    // A window out of sight from the start (started minimised) is sent nothing at its show, all once seen.
    Session iconic;
    seen.visible = false;
    EXPECT_TRUE(iconic.handle(seen, kT0));
    iconic.shown(sink, 30, 20, kT0);
    EXPECT_EQ(sink.calls.size(), 2U);
    seen.visible = true;
    EXPECT_TRUE(iconic.handle(seen, kT0 + 10ms));
    iconic.present(sink);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 30, 20}}));
}

// Two sessions shown on the same surface, from the same chain and the same seed: each reset reseeds from the
// time of day, so the second takes the first one's state and both generators are reseeded alike.
void sameStart(Session& a, Session& b)
{
    Frm& from = a.app().frm;
    Frm& to = b.app().frm;
    to.follow = from.follow;
    to.segX = from.segX;
    to.segY = from.segY;
    to.heading = from.heading;
    to.tgtR = from.tgtR;
    to.tgtG = from.tgtG;
    to.tgtB = from.tgtB;
    a.app().random.randomize(4321.5F);
    b.app().random.randomize(4321.5F);
}

void expectSameChainAndPicture(const Session& a, const Session& b)
{
    const Frm& x = a.app().frm;
    const Frm& y = b.app().frm;
    EXPECT_EQ(x.segX, y.segX);
    EXPECT_EQ(x.segY, y.segY);
    EXPECT_EQ(x.heading, y.heading);
    EXPECT_EQ(x.turn, y.turn);
    EXPECT_EQ(x.follow, y.follow);
    EXPECT_EQ((std::array{x.tgtR, x.tgtG, x.tgtB}), (std::array{y.tgtR, y.tgtG, y.tgtB}));
    const Framebuffer& p = a.app().picture;
    const Framebuffer& q = b.app().picture;
    ASSERT_EQ(p.width(), q.width());
    ASSERT_EQ(p.height(), q.height());
    const auto size = static_cast<std::size_t>(p.width()) * static_cast<std::size_t>(p.height());
    EXPECT_TRUE(std::equal(p.pixels(), p.pixels() + size, q.pixels())) << "the pictures differ";
}

HostEvent visible(bool seen)
{
    HostEvent e = event(HostEvent::Kind::visibility);
    e.visible = seen;
    return e;
}

// Runs a session that stays in view, woken at every deadline, up to and including `end`.
void runSeen(Session& s, TickSchedule::TimePoint from, TickSchedule::TimePoint end)
{
    for (auto now = from; now <= end; now += 50ms) {
        s.tick(now);
    }
}

TEST(Session, HiddenItWakesOnceAMinuteAndShownAgainNothingIsLost)
{
    Session seen;
    Session hidden;
    RecordingSink sink;
    seen.shown(sink, 120, 90, kT0);
    hidden.shown(sink, 120, 90, kT0);
    sameStart(seen, hidden);
    const std::size_t presents = sink.calls.size();

    // One run is seen throughout; the other is hidden after its second tick for over a minute and woken
    // only when it asks to be.
    const auto end = kT0 + 70s + 20ms;
    runSeen(seen, kT0 + 50ms, end);
    hidden.tick(kT0 + 50ms);
    hidden.tick(kT0 + 100ms);
    EXPECT_TRUE(hidden.handle(visible(false), kT0 + 110ms));
    int wakes = 0;
    for (auto now = kT0 + 110ms;;) {
        const int wait = hidden.millisecondsToNextTick(now);
        EXPECT_GE(wait, 59950);
        EXPECT_LE(wait, 60000);
        now += std::chrono::milliseconds(wait);
        if (now > end) {
            break;
        }
        hidden.tick(now);
        hidden.present(sink);
        ++wakes;
    }
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(sink.calls.size(), presents) << "a hidden window is sent nothing";

    // Seen again, it catches up first and then shows all of the picture at once.
    EXPECT_TRUE(hidden.handle(visible(true), end));
    hidden.present(sink);
    ASSERT_EQ(sink.calls.size(), presents + 1);
    EXPECT_EQ(sink.calls.back(), (std::vector<Rect>{{0, 0, 120, 90}}));
    expectSameChainAndPicture(seen, hidden);
    EXPECT_EQ(hidden.ticks(), seen.ticks());
    EXPECT_EQ(hidden.ticks(), 1400U);
    EXPECT_EQ(hidden.app().schedule.next(), seen.app().schedule.next());
    EXPECT_EQ(hidden.millisecondsToNextTick(end), 30);
}

// A hidden window's host asks to be woken a minute on. A wake up to a minute later than that (a browser
// holding a hidden page's timer) still runs every tick that fell due; one later still is a stall (the
// machine was suspended): one late tick runs, and the schedule goes on from there.
TEST(Session, WhileHiddenAWakeFarLaterThanAskedIsAStallAndAnEventComesAfterTheTicksDueBeforeIt)
{
    Session seen;
    Session late;
    Session once;
    Session stalled;
    RecordingSink sink;
    for (Session* s : {&seen, &late, &once, &stalled}) {
        s->shown(sink, 80, 60, kT0);
    }
    sameStart(seen, late);
    sameStart(once, stalled);
    EXPECT_TRUE(late.handle(visible(false), kT0));
    EXPECT_TRUE(stalled.handle(visible(false), kT0));
    const int asked = late.millisecondsToNextTick(kT0);
    EXPECT_EQ(asked, 60000);

    const auto lateWake = kT0 + 60s + 59s + 990ms;
    runSeen(seen, kT0 + 50ms, lateWake);
    late.tick(lateWake);
    expectSameChainAndPicture(seen, late);
    EXPECT_EQ(late.ticks(), seen.ticks());

    once.tick(kT0 + 50ms);
    const auto stall = kT0 + 120s + 7ms;
    stalled.tick(stall);
    expectSameChainAndPicture(once, stalled);
    EXPECT_EQ(stalled.ticks(), 1U);
    EXPECT_EQ(stalled.app().schedule.next(), stall + 50ms);

    // A right click a second into a hidden spell: the twenty ticks due before it paint first, then it wipes.
    stalled.app().frm.tgtG = 255;
    const auto click = stall + 1s + 3ms;
    HostEvent right = event(HostEvent::Kind::mouseDown);
    right.button = PointerButton::right;
    EXPECT_TRUE(stalled.handle(right, click));
    EXPECT_EQ(stalled.ticks(), 21U);
    EXPECT_EQ(stalled.app().schedule.next(), stall + 1050ms);
    const Framebuffer& picture = stalled.app().picture;
    const std::span<const std::uint32_t> pixels(picture.pixels(), std::size_t{80} * 60);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p == 0; }))
        << "ticks ran after the wipe";
}

TEST(Session, EscapeOrQuitEndsTheProgramAndNothingRunsAfterIt)
{
    Session s;
    RecordingSink sink;
    s.shown(sink, 60, 40, kT0);
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
    closed.shown(sink, 60, 40, kT0);
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
