// The Wayland window: the toplevel, its decorations and frame, its size and whether anyone can see it.
#include "platform/wayland/wayland_window.hpp"

#include "platform/wayland/wayland_outputs.hpp"

#include <wayland-client.h>

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <chrono>

namespace zarvo::wl {

namespace {

using Clock = TickSchedule::Clock;

// The smallest window the frame still works in: its three buttons and the caption beside them.
constexpr int kMinimumWidth = 3 * kButtonWidth + 64;

// How long a frame may go unanswered before the window counts as out of sight: a compositor answers within
// a refresh or two while the window shows, and not at all while it is hidden (minimised, on another
// workspace, in a scratchpad).
constexpr auto kUnansweredFrame = std::chrono::seconds(1);

}  // namespace

struct WindowEvents {
    static Window& of(void* data) { return *static_cast<Window*>(data); }

    // The configure's sequence is complete.
    static void surfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial)
    {
        of(data).configure(surface, serial);
    }

    static void toplevelConfigure(void* data, xdg_toplevel* /*toplevel*/, std::int32_t width, std::int32_t height,
                                  wl_array* states)
    {
        Window::Pending& p = of(data).pending_;
        p = Window::Pending{};
        p.width = width;
        p.height = height;
        const auto* begin = static_cast<const std::uint32_t*>(states->data);
        for (const auto* state = begin; state != begin + states->size / sizeof(std::uint32_t); ++state) {
            switch (*state) {
            case XDG_TOPLEVEL_STATE_MAXIMIZED:
                p.maximised = true;
                p.floating = false;
                break;
            case XDG_TOPLEVEL_STATE_FULLSCREEN:
                p.fullscreen = true;
                p.floating = false;
                break;
            case XDG_TOPLEVEL_STATE_ACTIVATED: p.active = true; break;
#if defined(XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION)
            case XDG_TOPLEVEL_STATE_SUSPENDED: p.suspended = true; break;
#endif
            case XDG_TOPLEVEL_STATE_TILED_LEFT:
            case XDG_TOPLEVEL_STATE_TILED_RIGHT:
            case XDG_TOPLEVEL_STATE_TILED_TOP:
            case XDG_TOPLEVEL_STATE_TILED_BOTTOM: p.floating = false; break;
            default: break;
            }
        }
    }

    static void toplevelClose(void* data, xdg_toplevel* /*toplevel*/)
    {
        of(data).relay_.deliver({.kind = HostEvent::Kind::quit});
    }

    static void toplevelBounds(void* /*data*/, xdg_toplevel* /*toplevel*/, std::int32_t /*width*/,
                               std::int32_t /*height*/)
    {}
    static void toplevelCapabilities(void* /*data*/, xdg_toplevel* /*toplevel*/, wl_array* /*capabilities*/) {}

    static void decorationConfigure(void* data, zxdg_toplevel_decoration_v1* /*decoration*/, std::uint32_t mode)
    {
        of(data).serverSide_ = mode == ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE;
    }

    // The scale the compositor prefers for the window, in 120ths: the picture and the frame take it.
    static void preferredScale(void* data, wp_fractional_scale_v1* /*scale*/, std::uint32_t in120ths)
    {
        of(data).setScale(Scale::fraction(in120ths));
    }

    static constexpr xdg_surface_listener kSurface{surfaceConfigure};
    static constexpr wp_fractional_scale_v1_listener kFractionalScale{preferredScale};
    static constexpr xdg_toplevel_listener kToplevel{toplevelConfigure, toplevelClose, toplevelBounds,
                                                     toplevelCapabilities};
    static constexpr zxdg_toplevel_decoration_v1_listener kDecoration{decorationConfigure};
};

// Newest first: the frame, the toplevel's objects, the picture's buffers, the surface.
Window::~Window()
{
    frame_.reset();
    release(decoration_, zxdg_toplevel_decoration_v1_destroy);
    release(toplevel_, xdg_toplevel_destroy);
    release(xdgSurface_, xdg_surface_destroy);
    sink_.reset();
    release(fractional_, wp_fractional_scale_v1_destroy);
    release(viewport_, wp_viewport_destroy);
    release(surface_, wl_surface_destroy);
}

void Window::open(wl_display* display, const Globals& globals, Outputs& outputs)
{
    surface_ = wl_compositor_create_surface(globals.compositor);
    outputs.follow(surface_);
    // With both protocols the buffers have a pixel per device pixel at the compositor's preferred scale, and
    // viewports show them at the window's size in units; without, the outputs' whole scale as a buffer scale.
    wp_viewporter* viewporter = nullptr;
    if (globals.viewporter != nullptr && globals.fractionalScale != nullptr) {
        viewporter = globals.viewporter;
        viewport_ = wp_viewporter_get_viewport(viewporter, surface_);
        fractional_ = wp_fractional_scale_manager_v1_get_fractional_scale(globals.fractionalScale, surface_);
        wp_fractional_scale_v1_add_listener(fractional_, &WindowEvents::kFractionalScale, this);
    }
    sink_ = std::make_unique<WaylandPresent>(display, globals.shm, surface_, viewport_);
    if (fractional_ == nullptr) {
        sink_->setScale(scale_.wholeAbove());
    }
    frame_ = std::make_unique<WindowFrame>(globals.compositor, globals.subcompositor, globals.shm, viewporter, surface_,
                                           kCaption);

    xdgSurface_ = xdg_wm_base_get_xdg_surface(globals.wmBase, surface_);
    xdg_surface_add_listener(xdgSurface_, &WindowEvents::kSurface, this);
    toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
    xdg_toplevel_add_listener(toplevel_, &WindowEvents::kToplevel, this);
    xdg_toplevel_set_title(toplevel_, kCaption);
    xdg_toplevel_set_app_id(toplevel_, "zarvo1");  // the desktop entry's StartupWMClass
    xdg_toplevel_set_min_size(toplevel_, kMinimumWidth, kTitleHeight + 1);
    if (globals.decorationManager != nullptr) {
        // The compositor's own title bar where it has one; its answer comes before the first configure.
        decoration_ = zxdg_decoration_manager_v1_get_toplevel_decoration(globals.decorationManager, toplevel_);
        zxdg_toplevel_decoration_v1_add_listener(decoration_, &WindowEvents::kDecoration, this);
        zxdg_toplevel_decoration_v1_set_mode(decoration_, ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    wl_surface_commit(surface_);  // no buffer yet: asks for the first configure
}

void Window::showFrame()
{
    if (!framed()) {
        commitDue_ = frame_->hide() || commitDue_;
        return;
    }
    FrameLook look = frame_->look();
    look.active = pending_.active;
    look.maximised = pending_.maximised;
    commitDue_ = frame_->show({width_, height_, pending_.floating, scale_}, look) || commitDue_;
}

// The client area in device pixels to the shared layer (a change of size or of scale resets the chain).
void Window::reportSize()
{
    if (relay_.shown()) {
        relay_.deliver({.kind = HostEvent::Kind::resized, .width = width(), .height = height()});
    }
}

// Whether anyone can see the window, to the shared layer when it changed: not while the compositor says the
// window is suspended, nor while it leaves a frame unanswered.
void Window::reportVisibility()
{
    const bool visible = !suspended_ && !unanswered_;
    if (visible != visible_ && relay_.shown()) {
        visible_ = visible;
        relay_.deliver({.kind = HostEvent::Kind::visibility, .visible = visible});
    }
}

// The window takes the configure's size and state, says so, and the next present attaches a buffer of that
// size with the frame round it.
void Window::configure(xdg_surface* surface, std::uint32_t serial)
{
    const Pending& p = pending_;
    const int bar = framed() ? kTitleHeight : 0;
    const bool given = p.width > 0 && p.height > bar;
    const ConfigureSizing::Size size = sizing_.configure(given, p.width, p.height - bar, p.floating);
    xdg_surface_ack_configure(surface, serial);
    xdg_surface_set_window_geometry(surface, 0, -bar, size.width, size.height + bar);

    const bool changed = !configured_ || size.width != width_ || size.height != height_;
    configured_ = true;
    width_ = size.width;
    height_ = size.height;
    sink_->setDestination(width_, height_);
    suspended_ = p.suspended;
    showFrame();
    commitDue_ = true;  // the acknowledgement and the window's geometry go with the next commit
    if (changed) {
        reportSize();
    }
    reportVisibility();
}

void Window::followOutputs(int scale)
{
    if (fractional_ == nullptr) {
        setScale(Scale::whole(scale));
    }
}

void Window::setScale(Scale scale)
{
    if (scale == scale_) {
        return;
    }
    scale_ = scale;
    if (sink_ != nullptr && fractional_ == nullptr) {
        sink_->setScale(scale.wholeAbove());  // whole on this path
    }
    scaled_(scale);
    if (configured_) {
        showFrame();
        reportSize();
    }
}

int Window::waitLimitMs(TickSchedule::TimePoint now, int msToTick) const
{
    if (const auto since = sink_->frameAwaitedSince(); since && !unanswered_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*since + kUnansweredFrame - now);
        return std::min(msToTick, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    }
    return msToTick;
}

void Window::followFrames()
{
    if (sink_->takeFrameShown()) {
        unanswered_ = false;
    } else if (const auto since = sink_->frameAwaitedSince(); since && Clock::now() - *since >= kUnansweredFrame) {
        unanswered_ = true;
    }
    reportVisibility();
}

void Window::commitIfDue()
{
    if (commitDue_ && sink_->shows(width(), height())) {
        wl_surface_commit(surface_);
        commitDue_ = false;
    }
}

std::array<int, 2> Window::offsetOf(const wl_surface* surface) const
{
    return frame_ != nullptr ? frame_->offsetOf(surface).value_or(std::array<int, 2>{0, 0}) : std::array<int, 2>{0, 0};
}

FrameLook Window::frameLook() const
{
    return frame_ != nullptr ? frame_->look() : FrameLook{};
}

void Window::restyleFrame(const FrameLook& look)
{
    if (frame_ != nullptr) {
        commitDue_ = frame_->restyle(look) || commitDue_;
    }
}

void Window::request(FrameRequest request, FramePart part, wl_seat* seat, std::uint32_t serial, float x, float y)
{
    switch (request) {
    case FrameRequest::none: break;
    case FrameRequest::move: xdg_toplevel_move(toplevel_, seat, serial); break;
    case FrameRequest::resize: xdg_toplevel_resize(toplevel_, seat, serial, resizeEdge(part)); break;
    case FrameRequest::windowMenu:
        // In the window's geometry, whose top-left is the title bar's.
        xdg_toplevel_show_window_menu(toplevel_, seat, serial, static_cast<std::int32_t>(x),
                                      static_cast<std::int32_t>(y) + kTitleHeight);
        break;
    case FrameRequest::toggleMaximised:
        frame_->look().maximised ? xdg_toplevel_unset_maximized(toplevel_) : xdg_toplevel_set_maximized(toplevel_);
        break;
    case FrameRequest::minimise: xdg_toplevel_set_minimized(toplevel_); break;
    case FrameRequest::close: WindowEvents::toplevelClose(this, toplevel_); break;
    }
}

}  // namespace zarvo::wl
