// The picture on an X window, drawn by the program itself: the picture's pixels live in shared-memory
// images the X server reads (MIT-SHM), and presenting sends the changed rectangles without waiting for the
// server. Where shared memory is not to be had (a remote display, a server without the extension) the
// rectangles go as plain image requests instead. Xlib types stay out of this header.
#pragma once

#include "core/pixel_store.hpp"
#include "host/present_sink.hpp"

#include <memory>
#include <span>

namespace zarvo::sdl {

class X11Presenter final : public PresentSink, public PixelStore {
public:
    // A presenter for the window on the display (an Xlib Display* and a Window, as SDL reports them), or
    // nullptr when the window's visual is not one it draws on: 24 or 32 bits of TrueColor (or of
    // DirectColor with SDL's identity colormap), red in 0xFF0000, green in 0xFF00, blue in 0xFF.
    static std::unique_ptr<X11Presenter> create(void* display, unsigned long window);
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;
    X11Presenter(X11Presenter&&) = delete;
    X11Presenter& operator=(X11Presenter&&) = delete;
    ~X11Presenter() override;

    // Puts each region to the window, all in one write; it neither waits for the server nor asks it
    // anything. A picture whose pixels this presenter did not allocate goes as plain requests.
    void present(const Framebuffer& picture, std::span<const Rect> regions) override;

    // The presenter's own X connection, which the host is to watch for what the server sends (errors,
    // mostly); -1 where there is none. Once the host has said it watches it, the presenter reads it only
    // when told to; otherwise after every present.
    int connection() const;
    void watched();
    void readConnection();

    // A shared-memory image of the size (or heap memory, without shared memory). Attaching a segment is the
    // one request that waits for the server's answer; a failure to attach turns shared memory off for good.
    std::uint32_t* allocate(int width, int height) override;
    void release(std::uint32_t* pixels, int width, int height) noexcept override;

    struct State;

private:
    explicit X11Presenter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace zarvo::sdl
