// The shared host policy: start, events, presentation and the wait for the next tick.
#include "host/session.hpp"

#include <chrono>

namespace zarvo {

void Session::shown(PresentSink& sink, int width, int height, TimePoint now)
{
    sizing_.report(app_, width, height);
    shown_ = true;
    showAll_ = true;
    present(sink);
    app_.schedule.start(now);
}

bool Session::handle(const HostEvent& event, TimePoint now)
{
    if (ending_) {
        return false;
    }
    if (hidden_ && event.kind != HostEvent::Kind::tick) {
        tick(now);  // the ticks that fell due while nobody saw the window come before this event
    }
    switch (event.kind) {
    case HostEvent::Kind::none: break;
    case HostEvent::Kind::quit: ending_ = true; break;
    case HostEvent::Kind::resized:
        // A reset may give the picture a new size or new contents, and a window whose size was reported may
        // have a new framebuffer even when the size came back to what it was: all of it is shown again.
        if (shown_) {
            sizing_.report(app_, event.width, event.height);
            showAll_ = true;
        }
        break;
    case HostEvent::Kind::exposed: showAll_ = true; break;
    case HostEvent::Kind::visibility:
        // Back in view (the ticks that fell due have just run), the window shows all of the picture.
        showAll_ = showAll_ || (hidden_ && event.visible);
        hidden_ = !event.visible;
        break;
    case HostEvent::Kind::tick: tick(now); break;
    case HostEvent::Kind::mouseDown: app_.mouseDown(event.button, event.modifiers, event.x, event.y); break;
    case HostEvent::Kind::keyDown:
        ending_ = app_.keyDown(event.keyCode, event.modifiers) == KeyOutcome::endProgram;
        break;
    }
    return !ending_;
}

void Session::tick(TimePoint now)
{
    if (!shown_ || ending_) {
        return;
    }
    TickSchedule& schedule = app_.schedule;
    if (!hidden_ || now - hiddenWake() > kStall) {
        ticks_ += app_.tickIfDue(now) ? 1U : 0U;  // one tick a wake; after a stall, one late tick, afresh
        return;
    }
    // Nobody sees the window and the host slept on purpose: every tick that fell due runs now, back to back,
    // each at its own deadline, so the chain and the picture are what they would be had it been seen.
    while (schedule.due(now)) {
        app_.tickIfDue(schedule.next());
        ++ticks_;
    }
}

void Session::present(PresentSink& sink)
{
    Framebuffer& picture = app_.picture;
    if (hidden_ || (!showAll_ && !picture.damaged())) {
        return;
    }
    regions_.clear();
    picture.takeDamage([this](Rect r) { regions_.push_back(r); });
    if (showAll_) {
        regions_.assign(1, Rect{0, 0, picture.width(), picture.height()});
        showAll_ = false;
    }
    if (!regions_.empty() && regions_.front().w > 0 && regions_.front().h > 0) {
        sink.present(picture, regions_);
    }
}

int Session::millisecondsToNextTick(TimePoint now) const
{
    TickSchedule::Duration left = app_.schedule.untilNext(now);
    if (hidden_ && shown_) {
        // Nobody sees the window: one wake a minute, which runs the ticks that fell due meanwhile.
        left += kHiddenWake - app_.schedule.interval();
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace zarvo
