// The picture on the X window. Its pixels live in shared memory the X server reads (MIT-SHM: a memfd
// passed to the server where it offers that, a System V segment otherwise), so the picture the program
// draws on is the one the window shows, and a present sends only the changed rectangles. Where memory
// cannot be shared (a remote display, a server without the extension) the rectangles go as plain images,
// each split to fit the server's largest request. Requests are queued on xcb's connection, not flushed.
#pragma once

#include "core/pixel_store.hpp"
#include "host/present_sink.hpp"

#include <xcb/xcb.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zarvo::x11 {

class X11Present final : public PresentSink, public PixelStore {
public:
    // Why the screen's root visual is not one the picture can be put on as it is (24 or 32 bits of
    // TrueColor, red 0xFF0000, green 0xFF00, blue 0xFF, a word per pixel in this machine's byte order);
    // empty when it is.
    static std::string unsuitable(const xcb_setup_t& setup, const xcb_screen_t& screen);

    X11Present(xcb_connection_t* connection, xcb_window_t window, std::uint8_t depth);
    X11Present(const X11Present&) = delete;
    X11Present& operator=(const X11Present&) = delete;
    X11Present(X11Present&&) = delete;
    X11Present& operator=(X11Present&&) = delete;
    ~X11Present() override;

    void present(const Framebuffer& picture, std::span<const Rect> regions) override;
    // Shared memory the server has attached, or heap memory where it cannot attach (from then on). Attaching
    // is the one request that waits for the server: it comes with a resize only.
    std::uint32_t* allocate(int width, int height) override;
    void release(std::uint32_t* pixels, int width, int height) noexcept override;

private:
    enum class Sharing { none, memfd, systemV };
    struct Image {
        std::uint32_t* pixels;
        std::size_t bytes;
        std::uint32_t segment;  // 0: heap memory
        Sharing kind;
    };
    static void unmap(const Image& image);
    std::uint32_t* allocateShared(std::size_t bytes);
    void putPlain(const Framebuffer& picture, Rect r);

    xcb_connection_t* c_;
    xcb_window_t window_;
    std::uint8_t depth_;
    xcb_gcontext_t gc_;
    Sharing sharing_ = Sharing::none;
    std::size_t maxRequestBytes_ = 0;
    std::vector<Image> images_;
    std::vector<std::uint32_t> rows_;  // the rows of one plain put
};

}  // namespace zarvo::x11
