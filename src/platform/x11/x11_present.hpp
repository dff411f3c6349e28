// The picture on the X window: its pixels in memory shared with the X server (MIT-SHM: a memfd where the
// server takes descriptors, System V otherwise), the changed rectangles put from there, queued for the host
// to flush; where memory cannot be shared (a remote display), plain images split to fit the largest request.
#pragma once

#include "core/pixel_store.hpp"
#include "host/present_sink.hpp"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace zarvo::x11 {

// What xcb hands over to be freed: replies, events, errors.
template <class T>
using Owned = std::unique_ptr<T, decltype(&std::free)>;

class X11Present final : public PresentSink, public PixelStore {
public:
    // A window of `visual` and `depth` on `screen`. A run-time error where that visual is not TrueColor of
    // red 0xFF0000, green 0xFF00, blue 0xFF at depth 24 or 32. A server whose image byte order is this
    // machine's takes the picture's words as they are, from shared memory; another gets them swapped, in plain
    // images (it would read shared memory as it is).
    X11Present(xcb_connection_t* connection, xcb_window_t window, const xcb_screen_t& screen, xcb_visualid_t visual,
               std::uint8_t depth);

    void present(const Framebuffer& picture, std::span<const Rect> regions) override;
    // Shared memory the server has attached (the one request that waits for the server, with a resize), or
    // heap memory where it could not attach (from then on).
    std::uint32_t* allocate(int width, int height) override;
    void release(std::uint32_t* pixels, int width, int height) noexcept override;

private:
    enum class Sharing { none, memfd, systemV };
    struct Image {  // a shared image; heap memory is not listed
        std::uint32_t* pixels;
        std::uint32_t segment;  // 0: never attached
        Sharing kind;
    };
    void putPlain(const Framebuffer& picture, Rect r);

    xcb_connection_t* c_;
    xcb_window_t window_;
    std::uint8_t depth_;
    bool lsbFirst_;  // the server's image byte order
    xcb_gcontext_t gc_;
    Sharing sharing_ = Sharing::none;
    std::vector<Image> images_;
    std::vector<std::uint32_t> rows_;  // the rows of one plain put
};

}  // namespace zarvo::x11
