// The look at a Wayland compositor before the window opens, and the choice of display it feeds.
#include "platform/wayland/wayland_probe.hpp"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace zarvo::wl {

namespace {

struct ProbeState {
    WaylandProbe found;
    std::vector<wl_seat*> seats;
};

void seatCapabilities(void* data, wl_seat* /*seat*/, std::uint32_t capabilities)
{
    if ((capabilities & (WL_SEAT_CAPABILITY_POINTER | WL_SEAT_CAPABILITY_KEYBOARD)) != 0) {
        static_cast<ProbeState*>(data)->found.inputSeat = true;
    }
}

void seatName(void* /*data*/, wl_seat* /*seat*/, const char* /*name*/) {}

const wl_seat_listener kSeatListener{seatCapabilities, seatName};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t /*version*/)
{
    auto& state = *static_cast<ProbeState*>(data);
    if (std::strcmp(interface, "wl_compositor") == 0) {
        state.found.compositor = true;
    } else if (std::strcmp(interface, "wl_shm") == 0) {
        state.found.shm = true;
    } else if (std::strcmp(interface, "xdg_wm_base") == 0) {
        state.found.shell = true;
    } else if (std::strcmp(interface, "wl_subcompositor") == 0) {
        state.found.subsurfaces = true;
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        auto* seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(seat, &kSeatListener, &state);
        state.seats.push_back(seat);
    }
}

void globalRemoved(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

const wl_registry_listener kRegistryListener{global, globalRemoved};

}  // namespace

WaylandProbe probeWayland()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        WaylandProbe unreached;
        unreached.failure = std::strerror(errno);
        return unreached;
    }
    ProbeState state;
    state.found.reached = true;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &state);
    // The first round trip lists the globals; the second brings each bound seat's capabilities.
    for (int trip = 0; trip < 2; ++trip) {
        if (wl_display_roundtrip(display) < 0) {
            state.found.reached = false;
            state.found.failure = std::strerror(wl_display_get_error(display));
            break;
        }
    }
    for (wl_seat* seat : state.seats) {
        wl_seat_destroy(seat);
    }
    wl_registry_destroy(registry);
    if (state.found.usable()) {
        state.found.connection = std::shared_ptr<wl_display>(display, wl_display_disconnect);
    } else {
        wl_display_disconnect(display);
    }
    return state.found;
}

DisplayChoice chooseDisplay(const DisplayEnvironment& env, const std::function<WaylandProbe()>& probe)
{
    using Kind = DisplayChoice::Kind;
    if (env.wayland.empty()) {
        if (!env.x11.empty()) {
            return {Kind::x11, {}};
        }
        return {Kind::none, "no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)"};
    }
    const WaylandProbe found = probe();
    if (found.usable()) {
        return {Kind::wayland, {}};
    }
    if (!env.x11.empty()) {
        return {Kind::x11, {}};
    }
    const std::string& name = env.wayland;
    if (!found.reached) {
        return {Kind::none, "cannot reach the Wayland compositor " + name + " (" + found.failure + ")"};
    }
    if (!found.inputSeat) {
        return {Kind::none, "the Wayland compositor " + name +
                                " has no pointer or keyboard (no input seat), and the window cannot run without one"};
    }
    std::string missing;
    for (const auto& [present, interface] :
         {std::pair{found.compositor, "wl_compositor"}, std::pair{found.shm, "wl_shm"},
          std::pair{found.shell, "xdg_wm_base"}, std::pair{found.subsurfaces, "wl_subcompositor"}}) {
        if (!present) {
            missing += missing.empty() ? interface : std::string(", ") + interface;
        }
    }
    return {Kind::none, "the Wayland compositor " + name + " lacks what a window needs: " + missing};
}

}  // namespace zarvo::wl
