// Which display the window opens on, settled at the start: a Wayland compositor is looked at first, and one
// the window cannot run on (no input device, no shared memory, no desktop shell) is passed over for X11 or
// reported in one line. The connection the look was made on is the window's when it opens there.
#pragma once

#include <functional>
#include <memory>
#include <string>

struct wl_display;

namespace zarvo::wl {

// What a look at the Wayland compositor found.
struct WaylandProbe {
    bool reached = false;      // a connection was made
    std::string failure;       // why not, when it was not
    bool compositor = false;   // wl_compositor
    bool shm = false;          // wl_shm, for the window's pixels
    bool shell = false;        // xdg_wm_base, for a desktop window
    bool subsurfaces = false;  // wl_subcompositor, for the window's frame
    bool inputSeat = false;    // a wl_seat with a pointer or a keyboard
    // The connection, kept open when the compositor is usable, for the window to run on.
    std::shared_ptr<wl_display> connection;

    bool usable() const { return reached && compositor && shm && shell && subsurfaces && inputSeat; }
};

// Connects to the compositor named by the environment (WAYLAND_SOCKET or WAYLAND_DISPLAY), lists its
// globals and asks each seat for its capabilities (two round trips); keeps the connection when the window
// can run there, and disconnects otherwise.
WaylandProbe probeWayland();

// The environment's say: DISPLAY and WAYLAND_DISPLAY, empty when unset.
struct DisplayEnvironment {
    std::string x11;
    std::string wayland;
};

struct DisplayChoice {
    enum class Kind {
        x11,      // the X server named by DISPLAY
        wayland,  // the compositor named by WAYLAND_DISPLAY
        none      // nowhere to open the window: `message` says why
    };
    Kind kind = Kind::none;
    std::string message;
};

// A Wayland compositor is preferred where one is named (the session is a Wayland one; an X server beside it
// is its compatibility layer), but only once the probe finds the window can run on it; otherwise X11 where
// DISPLAY is set. The probe is called only when a Wayland compositor is named.
DisplayChoice chooseDisplay(const DisplayEnvironment& env, const std::function<WaylandProbe()>& probe);

}  // namespace zarvo::wl
