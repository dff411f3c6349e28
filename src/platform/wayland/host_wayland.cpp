// The Wayland host: one connection (the probe's), the registry and the globals it binds, the window, the seat
// and the outputs, and the loop: it waits on the connection's socket (and the quit signals) until the next
// tick, hands each event to the shared layer as it arrives, and presents the picture at the window's scale
// (one picture pixel per device pixel).
#include "platform/wayland/host_wayland.hpp"

#include "host/session.hpp"
#include "platform/linux/linux_host.hpp"
#include "platform/wayland/wayland_globals.hpp"
#include "platform/wayland/wayland_outputs.hpp"
#include "platform/wayland/wayland_present.hpp"
#include "platform/wayland/wayland_seat.hpp"
#include "platform/wayland/wayland_window.hpp"

#include <wayland-client.h>

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zarvo::wl {

namespace {

using Clock = TickSchedule::Clock;

#if defined(XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION)
// The suspended state: the compositor says outright that nobody can see the window.
constexpr std::uint32_t kWmBaseVersion = XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION;
#else
constexpr std::uint32_t kWmBaseVersion = 2;  // the tiled states, and every event of it listened to
#endif

// The registry and the globals it bound, released after everything made from them.
struct Registry {
    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    Registry(Registry&&) = delete;
    Registry& operator=(Registry&&) = delete;
    ~Registry()
    {
        release(globals.fractionalScale, wp_fractional_scale_manager_v1_destroy);
        release(globals.viewporter, wp_viewporter_destroy);
        release(globals.shm, wl_shm_destroy);
        release(globals.decorationManager, zxdg_decoration_manager_v1_destroy);
        release(globals.wmBase, xdg_wm_base_destroy);
        release(globals.subcompositor, wl_subcompositor_destroy);
        release(globals.compositor, wl_compositor_destroy);
        release(registry, wl_registry_destroy);
    }

    wl_registry* registry = nullptr;  // kept, to hear of outputs plugged in and out
    Globals globals;
};

// Everything the host keeps, released newest first: the seat's objects, the window's, the outputs, the
// globals and the registry, and last the connection.
struct Host {
    explicit Host(std::shared_ptr<wl_display> probed) : connection(std::move(probed)) {}

    std::shared_ptr<wl_display> connection;  // the probe's; closed after every object below is released
    wl_display* display = connection.get();
    Registry registry;
    Session session;
    lnx::EventWait wait;  // SIGINT and SIGTERM beside the connection
    Relay relay{session};
    Outputs outputs{[this](int scale) { window.followOutputs(scale); }};
    Window window{relay, [this](Scale scale) { seat.setScale(scale.wholeAbove()); }};
    Seat seat{relay, registry.globals, window};
};

void wmPing(void* /*data*/, xdg_wm_base* base, std::uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener{wmPing};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version)
{
    Host& host = *static_cast<Host*>(data);
    Globals& g = host.registry.globals;
    const auto is = [interface](const wl_interface& i) { return std::strcmp(interface, i.name) == 0; };
    if (is(wl_compositor_interface) && g.compositor == nullptr) {
        // Version 4: damage in buffer coordinates.
        g.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min<std::uint32_t>(version, 4)));
    } else if (is(wl_subcompositor_interface) && g.subcompositor == nullptr) {
        g.subcompositor =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    } else if (is(xdg_wm_base_interface) && g.wmBase == nullptr) {
        g.wmBase = static_cast<xdg_wm_base*>(
            wl_registry_bind(registry, name, &xdg_wm_base_interface, std::min(version, kWmBaseVersion)));
        xdg_wm_base_add_listener(g.wmBase, &kWmBaseListener, &host);
    } else if (is(zxdg_decoration_manager_v1_interface) && g.decorationManager == nullptr) {
        g.decorationManager = static_cast<zxdg_decoration_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_decoration_manager_v1_interface, 1));
    } else if (is(wp_viewporter_interface) && g.viewporter == nullptr) {
        g.viewporter = static_cast<wp_viewporter*>(wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
    } else if (is(wp_fractional_scale_manager_v1_interface) && g.fractionalScale == nullptr) {
        g.fractionalScale = static_cast<wp_fractional_scale_manager_v1*>(
            wl_registry_bind(registry, name, &wp_fractional_scale_manager_v1_interface, 1));
    } else if (is(wl_shm_interface) && g.shm == nullptr) {
        g.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (is(wl_output_interface) && version >= 2) {
        host.outputs.add(registry, name);  // version 2: the output's scale
    } else if (is(wl_seat_interface) && !host.seat.bound()) {
        host.seat.bind(registry, name, version);
    }
}

// An output unplugged: the window is no longer on it.
void globalRemoved(void* data, wl_registry* /*registry*/, std::uint32_t name)
{
    static_cast<Host*>(data)->outputs.remove(name);
}

const wl_registry_listener kRegistryListener{global, globalRemoved};

// Sends what is queued, then waits until the next tick is due (timeoutMs; no limit when negative), reads
// what came meanwhile and dispatches it. With `watch` an event ends the wait at once: while the window is
// hidden (it is seen again with the compositor's next event) and until it is shown. Without, the wait lasts
// until the deadline: every event then waits for the next tick, which acts on a click or a key as soon as
// an earlier wake-up would have shown it, so the compositor's answers to each picture (the buffers it
// releases, the frames it has shown) wake the program no more than its ticks do.
// Returns false when SIGINT or SIGTERM came: the program ends.
bool waitAndDispatch(Host& host, int timeoutMs, bool watch)
{
    wl_display* display = host.display;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            endOnBrokenConnection(display);
        }
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        endOnBrokenConnection(display);
    }
    const lnx::EventWait::Wake wake = host.wait.wait(watch ? wl_display_get_fd(display) : -1, timeoutMs);
    if (wake == lnx::EventWait::Wake::connection || (!watch && wake == lnx::EventWait::Wake::timeout)) {
        // Without the watch, whatever came is read now; nothing there is no failure.
        if (wl_display_read_events(display) < 0) {
            endOnBrokenConnection(display);
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wake == lnx::EventWait::Wake::quit) {
        return false;
    }
    if (wl_display_dispatch_pending(display) < 0) {
        endOnBrokenConnection(display);
    }
    return true;
}

// The window, its title bar and the first show, then events and ticks until the end.
int runWindow(Host& host)
{
    host.registry.registry = wl_display_get_registry(host.display);
    wl_registry_add_listener(host.registry.registry, &kRegistryListener, &host);
    if (wl_display_roundtrip(host.display) < 0) {
        endOnBrokenConnection(host.display);
    }
    const Globals& g = host.registry.globals;
    if (g.compositor == nullptr || g.subcompositor == nullptr || !host.seat.bound() || g.shm == nullptr ||
        g.wmBase == nullptr) {
        raiseRuntimeError(
            "the Wayland compositor lacks wl_compositor, wl_subcompositor, wl_shm, wl_seat or xdg_wm_base");
    }
    Window& window = host.window;
    window.open(host.display, g, host.outputs);
    // The first configure says the window may show; it brings the size (503 x 380 unless the compositor
    // says otherwise).
    while (!window.configured()) {
        if (!waitAndDispatch(host, -1, true)) {
            return 0;  // SIGINT or SIGTERM
        }
        host.relay.raiseIfFailed();
        if (host.relay.done()) {
            return 0;
        }
    }
    // The outputs' scales came before the configure: the first picture is at the largest of them.
    host.outputs.update();
    Session& session = host.session;
    session.shown(window.sink(), window.width(), window.height(), Clock::now());
#if defined(__GLIBC__)
    // The start's passing allocations (the keymap's compilation above all) are over: the heap they leave
    // behind goes back to the system.
    malloc_trim(0);
#endif

    for (;;) {
        session.tick(Clock::now());
        session.present(window.sink());
        const auto now = Clock::now();
        const int limit = std::max(window.waitLimitMs(now, session.millisecondsToNextTick(now)), 0);
        if (!waitAndDispatch(host, limit, session.hidden())) {
            return 0;  // SIGINT or SIGTERM
        }
        host.relay.raiseIfFailed();
        window.followFrames();
        if (host.relay.done()) {
            return 0;
        }
        session.present(window.sink());
        if (!session.hidden()) {
            window.sink().presentGathered();
        }
        window.commitIfDue();
    }
}

}  // namespace

int run(std::shared_ptr<wl_display> connection)
{
    if (connection == nullptr) {
        lnx::report("no connection to the Wayland compositor");
        return 1;
    }
    return lnx::runHost([&connection] {
        Host host(std::move(connection));
        return runWindow(host);
    });
}

}  // namespace zarvo::wl
