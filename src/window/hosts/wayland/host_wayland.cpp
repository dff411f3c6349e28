// The Wayland window on libwayland-client: the toplevel and its title bar come from libdecor (server-side
// decorations where the compositor offers them, drawn by its plugin elsewhere), the keyboard's keymap and
// modifiers from libxkbcommon, and the picture goes into shared-memory buffers of our own. The host waits
// on the connection's socket until the next tick and hands each event to the shared layer as it arrives.
#include "window/hosts/wayland/host_wayland.hpp"

#include "window/hosts/failure.hpp"
#include "window/hosts/session.hpp"
#include "window/hosts/wayland/input_wayland.hpp"
#include "window/hosts/wayland/wayland_present.hpp"

#include <libdecor.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zarvo::wl {

namespace {

using Clock = TickSchedule::Clock;

libdecor_interface decorInterface();
libdecor_frame_interface frameInterface();

// Everything the host keeps: the connection and its objects, the keyboard's state and the shared layer.
struct Host {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_surface* surface = nullptr;
    wl_shm* shm = nullptr;                   // for the pointer's image
    wl_cursor_theme* cursorTheme = nullptr;  // the pointer's image over the picture: the theme's arrow
    wl_cursor_image* cursorImage = nullptr;
    wl_surface* cursorSurface = nullptr;
    bool cursorTried = false;
    libdecor* decor = nullptr;
    libdecor_frame* frame = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keys = nullptr;
    std::unique_ptr<WaylandPresent> sink;
    libdecor_interface decorCallbacks = decorInterface();  // libdecor keeps pointers to these
    libdecor_frame_interface frameCallbacks = frameInterface();
    Session session;
    ConfigureSizing sizing;

    bool configured = false;  // the compositor's first configure has come
    int width = 0;            // the client area of the last configure
    int height = 0;
    bool pointerInside = false;  // over the picture, not the title bar
    float pointerX = 0.0F;
    float pointerY = 0.0F;
    std::int16_t modifiers = 0;
    bool done = false;             // Escape or the window closed
    std::exception_ptr failure{};  // raised inside a listener, rethrown once the dispatch is over

    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    Host(Host&&) = delete;
    Host& operator=(Host&&) = delete;
    ~Host();
};

Host::~Host()
{
    if (frame != nullptr) {
        libdecor_frame_unref(frame);
    }
    if (decor != nullptr) {
        libdecor_unref(decor);
    }
    sink.reset();
    if (surface != nullptr) {
        wl_surface_destroy(surface);
    }
    if (cursorSurface != nullptr) {
        wl_surface_destroy(cursorSurface);
    }
    if (cursorTheme != nullptr) {
        wl_cursor_theme_destroy(cursorTheme);
    }
    if (shm != nullptr) {
        wl_shm_destroy(shm);
    }
    if (pointer != nullptr) {
        wl_pointer_destroy(pointer);
    }
    if (keyboard != nullptr) {
        wl_keyboard_destroy(keyboard);
    }
    if (seat != nullptr) {
        wl_seat_destroy(seat);
    }
    if (compositor != nullptr) {
        wl_compositor_destroy(compositor);
    }
    xkb_state_unref(keys);
    xkb_keymap_unref(keymap);
    xkb_context_unref(xkb);
    if (display != nullptr) {
        wl_display_disconnect(display);
    }
}

Host& hostOf(void* data)
{
    return *static_cast<Host*>(data);
}

// One event to the shared layer, from inside a listener: C code is on the stack below, so a failure is kept
// and raised again once the dispatch has returned.
void deliver(Host& host, const HostEvent& in)
{
    if (host.failure || host.done) {
        return;
    }
    try {
        host.done = !host.session.handle(in, Clock::now());
    } catch (...) {
        host.failure = std::current_exception();
    }
}

// ---- the window: libdecor's frame ----------------------------------------------------------------------

void frameConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data)
{
    Host& host = hostOf(data);
    int width = 0;
    int height = 0;
    const bool given = libdecor_configuration_get_content_size(configuration, frame, &width, &height);
    auto state = LIBDECOR_WINDOW_STATE_NONE;
    constexpr int kNotFloating = LIBDECOR_WINDOW_STATE_MAXIMIZED | LIBDECOR_WINDOW_STATE_FULLSCREEN |
                                 LIBDECOR_WINDOW_STATE_TILED_LEFT | LIBDECOR_WINDOW_STATE_TILED_RIGHT |
                                 LIBDECOR_WINDOW_STATE_TILED_TOP | LIBDECOR_WINDOW_STATE_TILED_BOTTOM;
    const bool floating =
        !libdecor_configuration_get_window_state(configuration, &state) || (state & kNotFloating) == 0;
    const ConfigureSizing::Size size = host.sizing.configure(given, width, height, floating);
    libdecor_state* committed = libdecor_state_new(size.width, size.height);
    libdecor_frame_commit(frame, committed, configuration);
    libdecor_state_free(committed);

    const bool changed = !host.configured || size.width != host.width || size.height != host.height;
    host.configured = true;
    host.width = size.width;
    host.height = size.height;
    if (changed && host.session.isShown()) {
        // The next present attaches a buffer of the new size, which the configure's acknowledgement awaits.
        HostEvent in;
        in.kind = HostEvent::Kind::resized;
        in.width = size.width;
        in.height = size.height;
        deliver(host, in);
    }
}

void frameClose(libdecor_frame* /*frame*/, void* data)
{
    HostEvent in;
    in.kind = HostEvent::Kind::quit;
    deliver(hostOf(data), in);
}

// The title bar changed: its pieces show with the next commit of the window's surface.
void frameCommit(libdecor_frame* /*frame*/, void* data)
{
    wl_surface_commit(hostOf(data).surface);
}

void frameDismissPopup(libdecor_frame* /*frame*/, const char* /*seatName*/, void* /*data*/) {}

// Filled in member by member: the reserved slots after the callbacks stay empty.
libdecor_frame_interface frameInterface()
{
    libdecor_frame_interface callbacks{};
    callbacks.configure = frameConfigure;
    callbacks.close = frameClose;
    callbacks.commit = frameCommit;
    callbacks.dismiss_popup = frameDismissPopup;
    return callbacks;
}

// libdecor's own failures (a compositor it cannot decorate on) carry no pointer back to the host: they end
// the program at once with one line, as a lost connection does.
void decorError(libdecor* /*context*/, libdecor_error /*error*/, const char* message)
{
    std::fprintf(stderr, "zarvo1: the Wayland compositor cannot show the window: %s\n", message);
    std::_Exit(1);
}

libdecor_interface decorInterface()
{
    libdecor_interface callbacks{};
    callbacks.error = decorError;
    return callbacks;
}

// ---- the pointer -----------------------------------------------------------------------------------------

// The pointer's image over the picture: the arrow of the user's cursor theme (XCURSOR_THEME, XCURSOR_SIZE),
// or libwayland-cursor's own. Without one the pointer would keep whatever shape it had last, a resize
// arrow from the window's frame perhaps. A theme without an arrow leaves it so. The theme is loaded (all of
// its pointers, 0.5 MB for the usual one) the first time the pointer comes over the picture.
void loadCursor(Host& host)
{
    host.cursorTried = true;
    constexpr int kDefaultSize = 24;
    const char* sizeText = std::getenv("XCURSOR_SIZE");
    const int size = sizeText != nullptr && std::atoi(sizeText) > 0 ? std::atoi(sizeText) : kDefaultSize;
    host.cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size, host.shm);
    if (host.cursorTheme == nullptr) {
        return;
    }
    wl_cursor* arrow = wl_cursor_theme_get_cursor(host.cursorTheme, "left_ptr");
    if (arrow == nullptr) {
        arrow = wl_cursor_theme_get_cursor(host.cursorTheme, "default");
    }
    if (arrow == nullptr || arrow->image_count == 0) {
        return;
    }
    wl_buffer* image = wl_cursor_image_get_buffer(arrow->images[0]);
    if (image == nullptr) {
        return;
    }
    host.cursorImage = arrow->images[0];
    host.cursorSurface = wl_compositor_create_surface(host.compositor);
    wl_surface_attach(host.cursorSurface, image, 0, 0);
    wl_surface_damage(host.cursorSurface, 0, 0, static_cast<std::int32_t>(host.cursorImage->width),
                      static_cast<std::int32_t>(host.cursorImage->height));
    wl_surface_commit(host.cursorSurface);
}

void pointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y)
{
    Host& host = hostOf(data);
    host.pointerInside = surface == host.surface;
    if (host.pointerInside && !host.cursorTried) {
        loadCursor(host);
    }
    if (host.pointerInside && host.cursorImage != nullptr) {
        wl_pointer_set_cursor(pointer, serial, host.cursorSurface,
                              static_cast<std::int32_t>(host.cursorImage->hotspot_x),
                              static_cast<std::int32_t>(host.cursorImage->hotspot_y));
    }
    host.pointerX = static_cast<float>(wl_fixed_to_double(x));
    host.pointerY = static_cast<float>(wl_fixed_to_double(y));
}

void pointerLeave(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, wl_surface* /*surface*/)
{
    hostOf(data).pointerInside = false;
}

void pointerMotion(void* data, wl_pointer* /*pointer*/, std::uint32_t /*time*/, wl_fixed_t x, wl_fixed_t y)
{
    Host& host = hostOf(data);
    host.pointerX = static_cast<float>(wl_fixed_to_double(x));
    host.pointerY = static_cast<float>(wl_fixed_to_double(y));
}

void pointerButton(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, std::uint32_t /*time*/,
                   std::uint32_t button, std::uint32_t state)
{
    Host& host = hostOf(data);
    if (!host.pointerInside || state != WL_POINTER_BUTTON_STATE_PRESSED) {
        return;  // the title bar's clicks are libdecor's
    }
    HostEvent in;
    in.kind = HostEvent::Kind::mouseDown;
    in.button = wl::pointerButton(button);
    in.modifiers = host.modifiers;
    in.x = host.pointerX;
    in.y = host.pointerY;
    deliver(host, in);
}

void pointerAxis(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*time*/, std::uint32_t /*axis*/,
                 wl_fixed_t /*value*/)
{}
void pointerFrame(void* /*data*/, wl_pointer* /*pointer*/) {}
void pointerAxisSource(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*source*/) {}
void pointerAxisStop(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*time*/, std::uint32_t /*axis*/) {}
void pointerAxisDiscrete(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*axis*/, std::int32_t /*discrete*/) {}
void pointerAxisValue120(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*axis*/, std::int32_t /*value*/) {}

const wl_pointer_listener kPointerListener{pointerEnter,        pointerLeave,       pointerMotion,     pointerButton,
                                           pointerAxis,         pointerFrame,       pointerAxisSource, pointerAxisStop,
                                           pointerAxisDiscrete, pointerAxisValue120};

// ---- the keyboard ----------------------------------------------------------------------------------------

void keyboardKeymap(void* data, wl_keyboard* /*keyboard*/, std::uint32_t format, std::int32_t fd, std::uint32_t size)
{
    Host& host = hostOf(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            xkb_keymap* keymap = xkb_keymap_new_from_buffer(host.xkb, static_cast<const char*>(text), size - 1,
                                                            XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
            if (keymap != nullptr) {
                xkb_state_unref(host.keys);
                xkb_keymap_unref(host.keymap);
                host.keymap = keymap;
                host.keys = xkb_state_new(keymap);
            }
        }
    }
    close(fd);
}

void keyboardEnter(void* /*data*/, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, wl_surface* /*surface*/,
                   wl_array* /*keys*/)
{}

// Without the focus the modifiers are not known: a click then counts without them.
void keyboardLeave(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, wl_surface* /*surface*/)
{
    hostOf(data).modifiers = 0;
}

void keyboardKey(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, std::uint32_t /*time*/,
                 std::uint32_t key, std::uint32_t state)
{
    Host& host = hostOf(data);
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED || host.keys == nullptr) {
        return;
    }
    constexpr std::uint32_t kEvdevToXkb = 8;  // xkb's key codes are the kernel's plus 8
    HostEvent in;
    in.kind = HostEvent::Kind::keyDown;
    in.keyCode = virtualKey(xkb_state_key_get_one_sym(host.keys, key + kEvdevToXkb));
    in.modifiers = host.modifiers;
    deliver(host, in);
}

void keyboardModifiers(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, std::uint32_t depressed,
                       std::uint32_t latched, std::uint32_t locked, std::uint32_t group)
{
    Host& host = hostOf(data);
    if (host.keys == nullptr) {
        return;
    }
    xkb_state_update_mask(host.keys, depressed, latched, locked, 0, 0, group);
    host.modifiers = modifiers([&host](const char* name) {
        return xkb_state_mod_name_is_active(host.keys, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    });
}

void keyboardRepeat(void* /*data*/, wl_keyboard* /*keyboard*/, std::int32_t /*rate*/, std::int32_t /*delay*/) {}

const wl_keyboard_listener kKeyboardListener{keyboardKeymap, keyboardEnter,     keyboardLeave,
                                             keyboardKey,    keyboardModifiers, keyboardRepeat};

// ---- the seat and the globals ----------------------------------------------------------------------------

void seatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities)
{
    Host& host = hostOf(data);
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (pointer && host.pointer == nullptr) {
        host.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(host.pointer, &kPointerListener, &host);
    } else if (!pointer && host.pointer != nullptr) {
        wl_pointer_destroy(host.pointer);
        host.pointer = nullptr;
        host.pointerInside = false;
    }
    if (keyboard && host.keyboard == nullptr) {
        host.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(host.keyboard, &kKeyboardListener, &host);
    } else if (!keyboard && host.keyboard != nullptr) {
        wl_keyboard_destroy(host.keyboard);
        host.keyboard = nullptr;
        host.modifiers = 0;
    }
}

void seatName(void* /*data*/, wl_seat* /*seat*/, const char* /*name*/) {}

const wl_seat_listener kSeatListener{seatCapabilities, seatName};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version)
{
    Host& host = hostOf(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && host.compositor == nullptr) {
        // Version 4: damage in buffer coordinates.
        host.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min<std::uint32_t>(version, 4)));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && host.shm == nullptr) {
        host.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && host.seat == nullptr) {
        // Version 5 at most: the pointer's events up to that version are all listened to.
        host.seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min<std::uint32_t>(version, 5)));
        wl_seat_add_listener(host.seat, &kSeatListener, &host);
    }
}

void globalRemoved(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

const wl_registry_listener kRegistryListener{global, globalRemoved};

// ---- the wait ---------------------------------------------------------------------------------------------

// Sends what is queued, then waits on the socket until an event comes or the next tick is due, reads what
// came and dispatches it: one wake-up per tick while nothing happens.
void waitAndDispatch(Host& host, int timeoutMs)
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
    pollfd p{wl_display_get_fd(display), POLLIN, 0};
    const int ready = poll(&p, 1, std::max(timeoutMs, 0));
    if (ready > 0) {
        if (wl_display_read_events(display) < 0) {
            endOnBrokenConnection(display);
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) {
        endOnBrokenConnection(display);
    }
}

void raiseIfFailed(const Host& host)
{
    if (host.failure) {
        std::rethrow_exception(host.failure);
    }
}

// The window, its title bar and the first show, then events and ticks until the end.
int runWindow(Host& host)
{
    wl_registry* registry = wl_display_get_registry(host.display);
    wl_registry_add_listener(registry, &kRegistryListener, &host);
    if (wl_display_roundtrip(host.display) < 0) {
        endOnBrokenConnection(host.display);
    }
    wl_registry_destroy(registry);
    if (host.compositor == nullptr || host.seat == nullptr || host.shm == nullptr) {
        raiseRuntimeError("the Wayland compositor lacks wl_compositor, wl_shm or wl_seat");
    }
    host.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (host.xkb == nullptr) {
        raiseRuntimeError("xkb_context_new failed");
    }
    host.surface = wl_compositor_create_surface(host.compositor);
    host.sink = std::make_unique<WaylandPresent>(host.display, host.surface);

    host.decor = libdecor_new(host.display, &host.decorCallbacks);
    if (host.decor == nullptr) {
        raiseRuntimeError("libdecor_new failed");
    }
    host.frame = libdecor_decorate(host.decor, host.surface, &host.frameCallbacks, &host);
    if (host.frame == nullptr) {
        raiseRuntimeError("libdecor_decorate failed");
    }
    libdecor_frame_set_title(host.frame, kCaption);
    libdecor_frame_set_app_id(host.frame, "zarvo1");  // the desktop entry's StartupWMClass
    libdecor_frame_map(host.frame);
    // The first configure says the window may show; it brings the size (503 x 380 unless the compositor
    // says otherwise).
    while (!host.configured) {
        if (wl_display_dispatch(host.display) < 0) {
            endOnBrokenConnection(host.display);
        }
        raiseIfFailed(host);
        if (host.done) {
            return 0;
        }
    }
    Session& session = host.session;
    session.shown(*host.sink, host.width, host.height, false, Clock::now());
#if defined(__GLIBC__)
    // The start's passing allocations (the keymap's compilation, the title bar's fonts) are over: the heap
    // they leave behind goes back to the system.
    malloc_trim(0);
#endif

    for (;;) {
        session.tick(Clock::now());
        session.present(*host.sink);
        waitAndDispatch(host, session.millisecondsToNextTick(Clock::now()));
        raiseIfFailed(host);
        if (host.done) {
            return 0;
        }
        session.present(*host.sink);
    }
}

void report(const Failure& failure)
{
    std::fprintf(stderr, "zarvo1: %s\n", failure.line().c_str());
}

}  // namespace

int run()
{
#if defined(__GLIBC__)
    // One heap for every thread: a thread the title bar's libraries start would otherwise leave an arena
    // of its own resident after it ends.
    mallopt(M_ARENA_MAX, 1);
#endif
    Host host;
    host.display = wl_display_connect(nullptr);
    if (host.display == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "zarvo1: cannot reach the Wayland compositor %s (%s)\n",
                     name != nullptr && *name != '\0' ? name : "wayland-0", std::strerror(errno));
        return 1;
    }
    return runReportingFailure([&host] { return runWindow(host); }, [](const Failure& failure) { report(failure); });
}

}  // namespace zarvo::wl
