// The web page's host: what the page's script calls for each of its events (the first show, a change of the
// canvas's size, a pointer press, a key, the timer, the tab hidden or shown) and the picture it copies to
// the canvas. Plain C++ on the shared layer, so it builds and is tested on any machine; the WebAssembly
// entry (src/main/main_web.cpp) hands these calls to the page.
#pragma once

#include "host/session.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zarvo::web {

// A pointer press as the page reports it: PointerEvent.button (0 left, 1 middle, 2 right, more for the
// extra buttons), its modifier keys, and its position in canvas (device) pixels.
HostEvent pointerDown(int domButton, bool shift, bool ctrl, bool alt, double x, double y);
// A key press: KeyboardEvent.keyCode, whose codes are the chain's (27 is Escape), and its modifier keys.
HostEvent keyDown(int keyCode, bool shift, bool ctrl, bool alt);

// The picture as the canvas takes it: RGBA bytes, row by row, which the page views as an ImageData in the
// module's memory, and the regions changed since the page last copied.
class RgbaSink final : public PresentSink {
public:
    void present(const Framebuffer& picture, std::span<const Rect> regions) override;

    const std::uint8_t* bytes() const { return bytes_.data(); }
    int width() const { return width_; }
    int height() const { return height_; }
    // The regions presented since the last forgetRegions, for the page to copy to the canvas.
    const std::vector<Rect>& regions() const { return regions_; }
    void forgetRegions() { regions_.clear(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<Rect> regions_;
    int width_ = 0;
    int height_ = 0;
};

class Host {
public:
    // Each call returns the milliseconds to wait before the next call of tick, or -1 once the program has
    // stopped (Escape, or a failure): message() then says why in one line. The sink's regions are what the
    // call changed.
    int start(int width, int height);
    int resize(int width, int height);
    int pointer(const HostEvent& press) { return handle(press); }
    int key(const HostEvent& press) { return handle(press); }
    int visibility(bool visible);
    int tick();

    bool stopped() const { return stopped_; }
    const std::string& message() const { return message_; }
    // How many ticks have run (the count wraps at 2^32).
    std::uint32_t ticks() const { return static_cast<std::uint32_t>(session_.ticks()); }
    RgbaSink& sink() { return sink_; }
    const Framebuffer& picture() const { return session_.picture(); }

private:
    int handle(const HostEvent& event);
    // Runs step, then brings the sink up to date; a failure stops the program with its one line.
    template <class Step>
    int guarded(Step&& step);

    Session session_;
    RgbaSink sink_;
    bool stopped_ = false;
    std::string message_;
};

}  // namespace zarvo::web
