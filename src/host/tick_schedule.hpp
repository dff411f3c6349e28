// When the 50 ms timer fires: deadlines on a steady clock, so ticks do not drift while the machine keeps up,
// and a tick run late starts the schedule afresh instead of owing a burst of catch-up ticks. A host that
// waits on purpose (its window hidden) runs the ticks that fell due meanwhile, each at its own deadline
// (Session decides which wakes those are).
#pragma once

#include <chrono>

namespace zarvo {

class TickSchedule {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::nanoseconds;
    using TimePoint = std::chrono::time_point<Clock, Duration>;

    explicit TickSchedule(Duration interval = std::chrono::milliseconds(50)) : interval_(interval) {}

    // The first tick falls one interval after now.
    void start(TimePoint now) { next_ = now + interval_; }
    bool due(TimePoint now) const { return now >= next_; }
    // Time left before the next tick, zero when it is due.
    Duration untilNext(TimePoint now) const { return due(now) ? Duration::zero() : next_ - now; }
    // Call once a tick has run: the next deadline is one interval after the last one, unless that has
    // passed as well, in which case the schedule starts afresh from now.
    void ticked(TimePoint now)
    {
        next_ += interval_;
        if (next_ <= now) {
            next_ = now + interval_;
        }
    }
    TimePoint next() const { return next_; }
    Duration interval() const { return interval_; }

private:
    Duration interval_;
    TimePoint next_{};
};

}  // namespace zarvo
