// What the Wayland window's parts share: the compositor's globals the registry bound, and the shared layer
// as their listeners reach it.
#pragma once

#include "host/session.hpp"

#include <exception>

struct wl_compositor;
struct wl_shm;
struct wl_subcompositor;
struct wp_fractional_scale_manager_v1;
struct wp_viewporter;
struct xdg_wm_base;
struct zxdg_decoration_manager_v1;

namespace zarvo::wl {

// Releases a protocol object a part may not have got as far as making.
template <typename T>
void release(T* object, void (*destroy)(T*))
{
    if (object != nullptr) {
        destroy(object);
    }
}

// The compositor's globals the window needs, bound by the registry (the host's) before the window opens.
struct Globals {
    wl_compositor* compositor = nullptr;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;  // for the picture, the frame and the pointer's image
    xdg_wm_base* wmBase = nullptr;
    zxdg_decoration_manager_v1* decorationManager = nullptr;  // offered by compositors that draw title bars
    // Both offered where the compositor takes scales between whole numbers.
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;
};

// The shared layer as the listeners reach it. C code is on the stack below a listener, so a failure in the
// shared layer is kept and raised again once the dispatch has returned; after it, and once the program is
// ending (Escape, the window closed), no further event is handed on.
class Relay {
public:
    explicit Relay(Session& session) : session_(session) {}

    void deliver(const HostEvent& in)
    {
        if (failure_ || done_) {
            return;
        }
        try {
            done_ = !session_.handle(in, TickSchedule::Clock::now());
        } catch (...) {
            failure_ = std::current_exception();
        }
    }
    // Whether the window has been shown: size and visibility reports count only from then on.
    bool shown() const { return session_.isShown(); }
    bool done() const { return done_; }
    void raiseIfFailed() const
    {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

private:
    Session& session_;
    bool done_ = false;
    std::exception_ptr failure_{};
};

}  // namespace zarvo::wl
