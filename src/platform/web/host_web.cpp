// The web page's host: its events handed to the shared layer, and the picture copied into RGBA bytes.
#include "platform/web/host_web.hpp"

#include "host/failure.hpp"

#include <cstddef>

namespace zarvo::web {

namespace {
using Clock = TickSchedule::Clock;

PointerButton buttonOf(int domButton)
{
    switch (domButton) {
    case 0: return PointerButton::left;  // a touch or a pen's tap too
    case 1: return PointerButton::middle;
    case 2: return PointerButton::right;
    default: return PointerButton::other;
    }
}
}  // namespace

HostEvent pointerDown(int domButton, bool shift, bool ctrl, bool alt, double x, double y)
{
    HostEvent in;
    in.kind = HostEvent::Kind::mouseDown;
    in.button = buttonOf(domButton);
    in.modifiers = modifierBits(shift, ctrl, alt);
    in.x = static_cast<float>(x);
    in.y = static_cast<float>(y);
    return in;
}

HostEvent keyDown(int keyCode, bool shift, bool ctrl, bool alt)
{
    HostEvent in;
    in.kind = HostEvent::Kind::keyDown;
    in.keyCode = static_cast<std::int16_t>(keyCode & 0xFF);
    in.modifiers = modifierBits(shift, ctrl, alt);
    return in;
}

void RgbaSink::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    if (picture.width() != width_ || picture.height() != height_) {
        bytes_.clear();
        bytes_.shrink_to_fit();  // the old picture's bytes go before the new ones are taken
        bytes_.resize(static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height()) * 4U);
        width_ = picture.width();
        height_ = picture.height();
    }
    const auto width = static_cast<std::size_t>(width_);
    for (const Rect& r : regions) {
        for (int y = r.y; y < r.y + r.h; ++y) {
            const std::size_t first = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(r.x);
            const std::uint32_t* from = picture.pixels() + first;
            std::uint8_t* to = bytes_.data() + first * 4U;
            for (int x = 0; x < r.w; ++x, ++from, to += 4) {
                const std::uint32_t word = *from;  // 0x00RRGGBB
                to[0] = static_cast<std::uint8_t>(word >> 16U);
                to[1] = static_cast<std::uint8_t>(word >> 8U);
                to[2] = static_cast<std::uint8_t>(word);
                to[3] = 0xFF;
            }
        }
        regions_.push_back(r);
    }
}

template <class Step>
int Host::guarded(Step&& step)
{
    if (stopped_) {
        return -1;
    }
    sink_.forgetRegions();  // the page copied the last call's regions already
    const int wait = runReportingFailure(
        [&] {
            if (!step()) {
                message_ = "Zarvo1 has ended (Escape): reload the page to start it again.";
                return -1;
            }
            session_.present(sink_);
            return session_.millisecondsToNextTick(Clock::now());
        },
        [this](const Failure& failure) { message_ = failure.line(); });
    stopped_ = !message_.empty();
    return stopped_ ? -1 : wait;
}

int Host::start(int width, int height)
{
    return guarded([&] {
        session_.shown(sink_, width, height, Clock::now());
        return true;
    });
}

int Host::resize(int width, int height)
{
    HostEvent in;
    in.kind = HostEvent::Kind::resized;
    in.width = width;
    in.height = height;
    return handle(in);
}

int Host::visibility(bool visible)
{
    HostEvent in;
    in.kind = HostEvent::Kind::visibility;
    in.visible = visible;
    return handle(in);
}

int Host::tick()
{
    return guarded([&] {
        session_.tick(Clock::now());
        return true;
    });
}

int Host::handle(const HostEvent& event)
{
    return guarded([&] { return session_.handle(event, Clock::now()); });
}

}  // namespace zarvo::web
