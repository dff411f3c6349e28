// The policy every host follows, in one place: the order of the start (first show, then the first reset,
// then the tick schedule), what each event does, which parts of the picture reach the window (the damage,
// or all of it after a size report or an exposure), and how long to wait for the next tick: 50 ms while the
// window can be seen, about a minute while it cannot, each wake then running the ticks that fell due, so
// nothing is lost and a hidden window costs almost nothing. A host translates its platform's events into
// HostEvent, calls handle and present, and writes a PresentSink.
#pragma once

#include "host/app.hpp"
#include "host/event.hpp"
#include "host/present_sink.hpp"
#include "host/window_sizing.hpp"

#include <chrono>
#include <cstdint>
#include <vector>

namespace zarvo {

class Session {
public:
    using TimePoint = TickSchedule::TimePoint;
    // How often a hidden window's host wakes to run the ticks that fell due.
    static constexpr TickSchedule::Duration kHiddenWake = std::chrono::minutes(1);
    // A hidden window's wake that comes this much later than the one its host asked for is a stall (the
    // machine was suspended, the process stopped): one late tick runs, not a burst of every tick since. The
    // margin is a whole hidden wait, as a browser may hold a hidden page's timer until its next minute.
    static constexpr TickSchedule::Duration kStall = std::chrono::minutes(1);

    explicit Session(Colour background = 0) : app_(background) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    Session(Session&&) = delete;
    Session& operator=(Session&&) = delete;
    ~Session() = default;

    // The window is on the screen now with a client area of width x height: the chain's first reset, all
    // of the picture to the sink, and then the schedule starts, its first tick one interval after now.
    void shown(PresentSink& sink, int width, int height, TimePoint now);
    bool isShown() const { return shown_; }

    // One event. Size reports before the first show, ticks before it and every event once the program is
    // ending change nothing. While the window is hidden, the ticks that fell due before the event run first.
    // Returns false when the program is to end: the window was closed, or Escape.
    [[nodiscard]] bool handle(const HostEvent& event, TimePoint now);
    // The timer: the tick runs if it is due (and the window has been shown); while the window is hidden,
    // every tick that fell due since the last wake runs, each at its own deadline, unless the wake is a stall
    // (one late tick then, and the schedule starts afresh).
    void tick(TimePoint now);
    // The program is ending (a quit or Escape was handled): the logic handles no further event.
    bool ending() const { return ending_; }

    // Whether anyone can see the window, as the host last reported it (a visibility event).
    bool hidden() const { return hidden_; }
    // How many ticks have run since the first show: a host learns how many a call ran from the difference.
    std::uint64_t ticks() const { return ticks_; }

    // The picture as the logic has it, and the colour it clears to from now on (the colour scheme's).
    const Framebuffer& picture() const { return app_.picture; }
    void setBackground(Colour background) { app_.picture.setBackground(background); }

    // Brings the window up to date: hands the sink the regions that changed, or the whole picture after a
    // size report, an exposure or the window coming back into view; nothing when nothing changed, the
    // picture is empty or nobody can see the window.
    void present(PresentSink& sink);

    // Whole milliseconds until the host is to wake for the next tick, rounded up so a wait of that long never
    // ends before it: the next deadline, or while the window is hidden, a minute's worth of ticks later.
    int millisecondsToNextTick(TimePoint now) const;

    // Where the picture's pixels live: a host's shared memory with the display server.
    void usePixelStore(PixelStore* store) { app_.picture.usePixelStore(store); }

    App& app() { return app_; }
    const App& app() const { return app_; }

private:
    // The wake a hidden window's host was asked for: a minute's worth of ticks after the next deadline.
    TimePoint hiddenWake() const { return app_.schedule.next() + (kHiddenWake - app_.schedule.interval()); }

    App app_;
    WindowSizing sizing_;
    bool shown_ = false;
    bool ending_ = false;
    bool hidden_ = false;
    std::uint64_t ticks_ = 0;
    bool showAll_ = false;       // the whole picture must reach the window (a reset, an exposure)
    std::vector<Rect> regions_;  // the regions of the last present, kept to reuse its storage
};

}  // namespace zarvo
