// The Wayland window: an xdg-shell toplevel whose title bar is the compositor's where it offers server-side
// decorations and a frame of our own elsewhere, its size and state from the configure events, the picture
// on its surface at the outputs' scale or, where the compositor takes scales between whole numbers, at the
// scale it prefers for the window (through a viewport), and whether anyone can see it: not while the compositor reports
// it suspended or leaves a frame unanswered for a second. The seat reaches it for what lies under the pointer and for
// what a click on the frame asks of the compositor.
#pragma once

#include "platform/wayland/frame_look.hpp"
#include "platform/wayland/input_wayland.hpp"
#include "platform/wayland/pointer_glue.hpp"
#include "platform/wayland/wayland_globals.hpp"
#include "platform/wayland/wayland_present.hpp"
#include "platform/wayland/window_frame.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

struct wl_display;
struct wl_seat;
struct wl_surface;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_toplevel_decoration_v1;

namespace zarvo::wl {

class Outputs;

class Window {
public:
    // `scaled` hears of every new scale (the pointer's images follow it).
    Window(Relay& relay, std::function<void(Scale)> scaled) : relay_(relay), scaled_(std::move(scaled)) {}
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    Window(Window&&) = delete;
    Window& operator=(Window&&) = delete;

    // Makes the surface (its outputs followed), the picture's buffers, the frame and the toplevel with its
    // caption, app id and decorations, and asks for the first configure.
    void open(wl_display* display, const Globals& globals, Outputs& outputs);
    // The compositor's first configure has come: the window may show, at its size.
    bool configured() const { return configured_; }
    // The outputs' whole scale: the window's, unless the compositor prefers a scale of its own for it.
    void followOutputs(int scale);
    // Device pixels per unit of the desktop, for the picture and the frame; a new one resizes the client area.
    void setScale(Scale scale);
    Scale scale() const { return scale_; }
    // The client area in device pixels.
    int width() const { return scale_.device(width_); }
    int height() const { return scale_.device(height_); }
    WaylandPresent& sink() { return *sink_; }

    // How long the wait from now may last: msToTick, and no longer than until a frame on its way counts as
    // unanswered.
    int waitLimitMs(TickSchedule::TimePoint now, int msToTick) const;
    // After a wait: a frame answered says the window is seen, one unanswered for a second that it is not.
    void followFrames();
    // The frame changed while the picture did not: the window's commit shows it.
    void commitIfDue();

    // For the seat's pointer: the window's own surface (the picture), and the frame where it is shown.
    const wl_surface* surface() const { return surface_; }
    const WindowFrame* shownFrame() const { return frame_ != nullptr && frame_->shown() ? frame_.get() : nullptr; }
    // The offset of a piece of the frame from the client area's corner; none for any other surface.
    std::array<int, 2> offsetOf(const wl_surface* surface) const;
    // The title bar's look now, and a new one (a button under the pointer or pressed).
    FrameLook frameLook() const;
    void restyleFrame(const FrameLook& look);
    // What a click on the frame at `part` asks: moving, resizing, the window menu (at (x, y) in the client
    // area's units), maximising, minimising, closing.
    void request(FrameRequest request, FramePart part, wl_seat* seat, std::uint32_t serial, float x, float y);

private:
    friend struct WindowEvents;
    // Whether our frame is drawn: not where the compositor draws the title bar, nor round a fullscreen window.
    bool framed() const { return !serverSide_ && !pending_.fullscreen; }
    void showFrame();
    void reportSize();
    void reportVisibility();
    void configure(xdg_surface* surface, std::uint32_t serial);

    Relay& relay_;
    std::function<void(Scale)> scaled_;
    wl_surface* surface_ = nullptr;
    wp_viewport* viewport_ = nullptr;               // with the compositor's preferred scale
    wp_fractional_scale_v1* fractional_ = nullptr;  // that scale's object, where the compositor has one
    std::unique_ptr<WaylandPresent> sink_;
    std::unique_ptr<WindowFrame> frame_;  // ours, where the compositor draws no title bar
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    zxdg_toplevel_decoration_v1* decoration_ = nullptr;
    ConfigureSizing sizing_;

    // What the compositor's configure events said; applied on the xdg_surface's configure.
    struct Pending {
        int width = 0;  // the window's size (with our title bar), 0 when left to us
        int height = 0;
        bool maximised = false;
        bool floating = true;  // neither maximised, fullscreen nor tiled
        bool fullscreen = false;
        bool active = false;
        bool suspended = false;
    } pending_;
    Scale scale_;
    bool suspended_ = false;   // the compositor says nobody can see the window
    bool unanswered_ = false;  // a frame went unanswered: the window is out of sight
    bool visible_ = true;      // as last reported to the shared layer
    bool serverSide_ = false;  // the compositor draws the title bar
    bool configured_ = false;  // the compositor's first configure has come
    int width_ = 0;            // the client area of the last configure, in the desktop's units
    int height_ = 0;
    bool commitDue_ = false;  // the frame changed and shows with the window surface's next commit
};

}  // namespace zarvo::wl
