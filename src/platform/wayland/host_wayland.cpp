// The Wayland window on libwayland-client: an xdg-shell toplevel whose title bar is the compositor's where it
// offers server-side decorations and a frame of our own elsewhere, the keyboard's keymap and modifiers from
// libxkbcommon, and the picture in shared-memory buffers of our own at the scale of the outputs the window is
// on (one picture pixel per device pixel). The host waits on the connection's socket until the next tick,
// hands each event to the shared layer as it arrives, and says whether anyone can see the window: not while
// the compositor reports it suspended or leaves a frame unanswered for a second.
#include "platform/wayland/host_wayland.hpp"

#include "host/failure.hpp"
#include "host/session.hpp"
#include "platform/wayland/frame_look.hpp"
#include "platform/wayland/input_wayland.hpp"
#include "platform/wayland/wayland_present.hpp"
#include "platform/wayland/window_frame.hpp"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zarvo::wl {

namespace {

using Clock = TickSchedule::Clock;

// The smallest window the frame still works in: its three buttons and the caption beside them.
constexpr int kMinimumWidth = 3 * kButtonWidth + 64;

// How long a frame may go unanswered before the window counts as out of sight: a compositor answers within
// a refresh or two while the window shows, and not at all while it is hidden (minimised, on another
// workspace, in a scratchpad).
constexpr auto kUnansweredFrame = std::chrono::seconds(1);

#if defined(XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION)
// The suspended state: the compositor says outright that nobody can see the window.
constexpr std::uint32_t kWmBaseVersion = XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION;
#else
constexpr std::uint32_t kWmBaseVersion = 2;  // the tiled states, and every event of it listened to
#endif

struct Host;

// An output the compositor offers, and the scale it last announced (wl_output version 2).
struct Output {
    Host* host = nullptr;
    wl_output* output = nullptr;
    std::uint32_t name = 0;  // the global's
    int scale = 1;           // announced, in effect from its done event
    int pendingScale = 1;
};

// Everything the host keeps: the connection and its objects, the keyboard's state and the shared layer.
struct Host {
    std::shared_ptr<wl_display> connection;  // the probe's; closed after every object below is released
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_surface* surface = nullptr;
    wl_shm* shm = nullptr;  // for the frame and the pointer's image
    wl_subcompositor* subcompositor = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zxdg_decoration_manager_v1* decorationManager = nullptr;  // offered by compositors that draw title bars
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    zxdg_toplevel_decoration_v1* decoration = nullptr;
    std::unique_ptr<WindowFrame> frame;      // ours, where the compositor draws no title bar
    wl_cursor_theme* cursorTheme = nullptr;  // the user's pointer images
    wl_surface* cursorSurface = nullptr;
    const char* cursorShown = nullptr;  // the name of the image the pointer has now
    bool cursorTried = false;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keys = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<const wl_output*> entered;  // the outputs the window's surface is on
    int scale = 1;                          // device pixels per unit of the desktop, for the picture and frame
    std::unique_ptr<WaylandPresent> sink;
    Session session;
    ConfigureSizing sizing;

    // What the compositor's configure events said; applied on the xdg_surface's configure.
    struct Pending {
        int width = 0;  // the window's size (with our title bar), 0 when left to us
        int height = 0;
        bool maximised = false;
        bool floating = true;  // neither maximised, fullscreen nor tiled
        bool fullscreen = false;
        bool active = false;
        bool suspended = false;
    } pending;
    bool suspended = false;   // the compositor says nobody can see the window
    bool unanswered = false;  // a frame went unanswered: the window is out of sight
    bool visible = true;      // as last reported to the shared layer
    bool serverSide = false;  // the compositor draws the title bar
    bool configured = false;  // the compositor's first configure has come
    int width = 0;            // the client area of the last configure, in the desktop's units
    int height = 0;
    bool commitDue = false;  // the frame changed and shows with the window surface's next commit

    wl_surface* pointerSurface = nullptr;  // the surface under the pointer: the picture or a piece of the frame
    std::uint32_t pointerSerial = 0;       // the serial of the pointer's arrival there, for its image
    float pointerX = 0.0F;  // in the client area's coordinates and the desktop's units (the title bar at negative y)
    float pointerY = 0.0F;
    FrameClicks frameClicks;
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

// Releases a protocol object the host may not have got as far as making.
template <typename T>
void release(T* object, void (*destroy)(T*))
{
    if (object != nullptr) {
        destroy(object);
    }
}

// Newest first: the frame's and the window's objects, then the globals, then the connection.
Host::~Host()
{
    frame.reset();
    release(decoration, zxdg_toplevel_decoration_v1_destroy);
    release(toplevel, xdg_toplevel_destroy);
    release(xdgSurface, xdg_surface_destroy);
    sink.reset();
    release(surface, wl_surface_destroy);
    release(cursorSurface, wl_surface_destroy);
    release(cursorTheme, wl_cursor_theme_destroy);
    for (const auto& output : outputs) {
        wl_output_destroy(output->output);
    }
    release(shm, wl_shm_destroy);
    release(pointer, wl_pointer_destroy);
    release(keyboard, wl_keyboard_destroy);
    release(seat, wl_seat_destroy);
    release(decorationManager, zxdg_decoration_manager_v1_destroy);
    release(wmBase, xdg_wm_base_destroy);
    release(subcompositor, wl_subcompositor_destroy);
    release(compositor, wl_compositor_destroy);
    release(registry, wl_registry_destroy);
    xkb_state_unref(keys);
    xkb_keymap_unref(keymap);
    xkb_context_unref(xkb);
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

// ---- the window: the xdg-shell toplevel and its frame ---------------------------------------------------

// Whether our frame is drawn: not where the compositor draws the title bar, nor round a fullscreen window.
bool framed(const Host& host)
{
    return !host.serverSide && !host.pending.fullscreen;
}

void showFrame(Host& host)
{
    if (!framed(host)) {
        host.commitDue = host.frame->hide() || host.commitDue;
        return;
    }
    FrameLook look = host.frame->look();
    look.active = host.pending.active;
    look.maximised = host.pending.maximised;
    host.commitDue =
        host.frame->show({host.width, host.height, host.pending.floating, host.scale}, look) || host.commitDue;
}

// The client area in device pixels to the shared layer (a change of size or of scale resets the chain).
void reportSize(Host& host)
{
    if (host.session.isShown()) {
        HostEvent in;
        in.kind = HostEvent::Kind::resized;
        in.width = host.width * host.scale;
        in.height = host.height * host.scale;
        deliver(host, in);
    }
}

// Whether anyone can see the window, to the shared layer when it changed: not while the compositor says the
// window is suspended, nor while it leaves a frame unanswered.
void reportVisibility(Host& host)
{
    const bool visible = !host.suspended && !host.unanswered;
    if (visible != host.visible && host.session.isShown()) {
        host.visible = visible;
        HostEvent in;
        in.kind = HostEvent::Kind::visibility;
        in.visible = visible;
        deliver(host, in);
    }
}

// The configure's sequence is complete: the window takes its size and state, says so, and the next present
// attaches a buffer of that size with the frame round it.
void surfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial)
{
    Host& host = hostOf(data);
    const Host::Pending& p = host.pending;
    const int bar = framed(host) ? kTitleHeight : 0;
    const bool given = p.width > 0 && p.height > bar;
    const ConfigureSizing::Size size = host.sizing.configure(given, p.width, p.height - bar, p.floating);
    xdg_surface_ack_configure(surface, serial);
    xdg_surface_set_window_geometry(surface, 0, -bar, size.width, size.height + bar);

    const bool changed = !host.configured || size.width != host.width || size.height != host.height;
    host.configured = true;
    host.width = size.width;
    host.height = size.height;
    host.suspended = p.suspended;
    showFrame(host);
    host.commitDue = true;  // the acknowledgement and the window's geometry go with the next commit
    if (changed) {
        reportSize(host);
    }
    reportVisibility(host);
}

const xdg_surface_listener kSurfaceListener{surfaceConfigure};

void toplevelConfigure(void* data, xdg_toplevel* /*toplevel*/, std::int32_t width, std::int32_t height,
                       wl_array* states)
{
    Host::Pending& p = hostOf(data).pending;
    p = Host::Pending{};
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

void toplevelClose(void* data, xdg_toplevel* /*toplevel*/)
{
    HostEvent in;
    in.kind = HostEvent::Kind::quit;
    deliver(hostOf(data), in);
}

void toplevelBounds(void* /*data*/, xdg_toplevel* /*toplevel*/, std::int32_t /*width*/, std::int32_t /*height*/) {}
void toplevelCapabilities(void* /*data*/, xdg_toplevel* /*toplevel*/, wl_array* /*capabilities*/) {}

const xdg_toplevel_listener kToplevelListener{toplevelConfigure, toplevelClose, toplevelBounds, toplevelCapabilities};

void decorationConfigure(void* data, zxdg_toplevel_decoration_v1* /*decoration*/, std::uint32_t mode)
{
    hostOf(data).serverSide = mode == ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE;
}

const zxdg_toplevel_decoration_v1_listener kDecorationListener{decorationConfigure};

void wmPing(void* /*data*/, xdg_wm_base* base, std::uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener{wmPing};

// ---- the pointer -----------------------------------------------------------------------------------------

// The pointer's image for a part of the window, from the user's cursor theme (XCURSOR_THEME, XCURSOR_SIZE)
// or libwayland-cursor's own, loaded (all of its images, 0.5 MB for the usual one) the first time the
// pointer comes over the window. Without one the pointer keeps whatever shape it had; a theme without the
// image leaves it so.
void showCursor(Host& host, FramePart part)
{
    const char* name = cursorName(part);
    if (host.pointer == nullptr || (host.cursorShown != nullptr && std::strcmp(host.cursorShown, name) == 0)) {
        return;
    }
    if (!host.cursorTried) {
        host.cursorTried = true;
        constexpr int kDefaultSize = 24;
        const char* sizeText = std::getenv("XCURSOR_SIZE");
        const int asked = sizeText != nullptr ? std::atoi(sizeText) : 0;
        const int size = (asked > 0 ? asked : kDefaultSize) * host.scale;
        host.cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size, host.shm);
        host.cursorSurface = wl_compositor_create_surface(host.compositor);
    }
    if (host.cursorTheme == nullptr) {
        return;
    }
    wl_cursor* cursor = wl_cursor_theme_get_cursor(host.cursorTheme, name);
    if (cursor == nullptr) {
        cursor = wl_cursor_theme_get_cursor(host.cursorTheme, "left_ptr");
    }
    wl_buffer* image =
        cursor != nullptr && cursor->image_count > 0 ? wl_cursor_image_get_buffer(cursor->images[0]) : nullptr;
    if (image == nullptr) {
        return;
    }
    const wl_cursor_image* shape = cursor->images[0];
    // Images at the window's scale; one whose size it does not divide is shown as it is.
    const auto divides = [&host](std::uint32_t length) { return length % static_cast<std::uint32_t>(host.scale) == 0; };
    const int scale = divides(shape->width) && divides(shape->height) ? host.scale : 1;
    wl_surface_set_buffer_scale(host.cursorSurface, scale);
    wl_surface_attach(host.cursorSurface, image, 0, 0);
    wl_surface_damage(host.cursorSurface, 0, 0, static_cast<std::int32_t>(shape->width),
                      static_cast<std::int32_t>(shape->height));
    wl_surface_commit(host.cursorSurface);
    wl_pointer_set_cursor(host.pointer, host.pointerSerial, host.cursorSurface,
                          static_cast<std::int32_t>(shape->hotspot_x) / scale,
                          static_cast<std::int32_t>(shape->hotspot_y) / scale);
    host.cursorShown = name;
}

bool overPicture(const Host& host)
{
    return host.pointerSurface != nullptr && host.pointerSurface == host.surface;
}

// What lies under the pointer now.
FramePart partUnderPointer(const Host& host)
{
    if (overPicture(host)) {
        return FramePart::picture;
    }
    if (host.pointerSurface == nullptr || host.frame == nullptr || !host.frame->shown()) {
        return FramePart::outside;
    }
    return host.frame->geometry().partAt(static_cast<int>(host.pointerX), static_cast<int>(host.pointerY));
}

// The frame's look follows the pointer: a button lights up under it.
void trackPointer(Host& host, wl_fixed_t x, wl_fixed_t y)
{
    std::array<int, 2> offset{0, 0};
    if (!overPicture(host) && host.frame != nullptr) {
        offset = host.frame->offsetOf(host.pointerSurface).value_or(offset);
    }
    host.pointerX = static_cast<float>(wl_fixed_to_double(x)) + static_cast<float>(offset[0]);
    host.pointerY = static_cast<float>(wl_fixed_to_double(y)) + static_cast<float>(offset[1]);
    const FramePart part = partUnderPointer(host);
    showCursor(host, part);
    if (host.frame != nullptr) {
        FrameLook look = host.frame->look();
        look.hovered = isButton(part) ? part : FramePart::outside;
        host.commitDue = host.frame->restyle(look) || host.commitDue;
    }
}

void pointerEnter(void* data, wl_pointer* /*pointer*/, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y)
{
    Host& host = hostOf(data);
    host.pointerSurface = surface;
    host.pointerSerial = serial;
    host.cursorShown = nullptr;  // the compositor forgets the image when the pointer leaves
    trackPointer(host, x, y);
}

void pointerLeave(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, wl_surface* /*surface*/)
{
    Host& host = hostOf(data);
    host.pointerSurface = nullptr;
    if (host.frame != nullptr) {
        FrameLook look = host.frame->look();
        look.hovered = look.pressed = FramePart::outside;
        host.commitDue = host.frame->restyle(look) || host.commitDue;
    }
}

void pointerMotion(void* data, wl_pointer* /*pointer*/, std::uint32_t /*time*/, wl_fixed_t x, wl_fixed_t y)
{
    trackPointer(hostOf(data), x, y);
}

std::uint32_t resizeEdge(FramePart part)
{
    switch (part) {
    case FramePart::resizeTop: return XDG_TOPLEVEL_RESIZE_EDGE_TOP;
    case FramePart::resizeBottom: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM;
    case FramePart::resizeLeft: return XDG_TOPLEVEL_RESIZE_EDGE_LEFT;
    case FramePart::resizeRight: return XDG_TOPLEVEL_RESIZE_EDGE_RIGHT;
    case FramePart::resizeTopLeft: return XDG_TOPLEVEL_RESIZE_EDGE_TOP_LEFT;
    case FramePart::resizeTopRight: return XDG_TOPLEVEL_RESIZE_EDGE_TOP_RIGHT;
    case FramePart::resizeBottomLeft: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_LEFT;
    case FramePart::resizeBottomRight: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_RIGHT;
    default: return XDG_TOPLEVEL_RESIZE_EDGE_NONE;
    }
}

// A click on the frame, as the frame answers it.
void frameButton(Host& host, std::uint32_t serial, std::uint32_t time, std::uint32_t code, bool pressed)
{
    const FramePart part = partUnderPointer(host);
    const FrameButton button =
        code == BTN_LEFT ? FrameButton::left : (code == BTN_RIGHT ? FrameButton::right : FrameButton::other);
    FrameLook look = host.frame->look();
    const FrameRequest request =
        pressed ? host.frameClicks.press(part, button, time, look) : host.frameClicks.release(part, button, look);
    switch (request) {
    case FrameRequest::none: break;
    case FrameRequest::move: xdg_toplevel_move(host.toplevel, host.seat, serial); break;
    case FrameRequest::resize: xdg_toplevel_resize(host.toplevel, host.seat, serial, resizeEdge(part)); break;
    case FrameRequest::windowMenu:
        // In the window's geometry, whose top-left is the title bar's.
        xdg_toplevel_show_window_menu(host.toplevel, host.seat, serial, static_cast<std::int32_t>(host.pointerX),
                                      static_cast<std::int32_t>(host.pointerY) + kTitleHeight);
        break;
    case FrameRequest::toggleMaximised:
        look.maximised ? xdg_toplevel_unset_maximized(host.toplevel) : xdg_toplevel_set_maximized(host.toplevel);
        break;
    case FrameRequest::minimise: xdg_toplevel_set_minimized(host.toplevel); break;
    case FrameRequest::close: toplevelClose(&host, host.toplevel); break;
    }
    host.commitDue = host.frame->restyle(look) || host.commitDue;
}

void pointerButton(void* data, wl_pointer* /*pointer*/, std::uint32_t serial, std::uint32_t time, std::uint32_t button,
                   std::uint32_t state)
{
    Host& host = hostOf(data);
    const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    if (!overPicture(host)) {
        if (host.pointerSurface != nullptr && host.frame != nullptr && host.frame->shown()) {
            frameButton(host, serial, time, button, pressed);
        }
        return;
    }
    if (!pressed) {
        return;
    }
    HostEvent in;
    in.kind = HostEvent::Kind::mouseDown;
    in.button = wl::pointerButton(button);
    in.modifiers = host.modifiers;
    // The picture has a pixel per device pixel; the pointer comes in the desktop's units.
    in.x = host.pointerX * static_cast<float>(host.scale);
    in.y = host.pointerY * static_cast<float>(host.scale);
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

// ---- the scale: the outputs the window is on -------------------------------------------------------------

// The picture and the frame follow the largest scale of the outputs the window is on; a change of scale is
// a change of the client area's size in device pixels.
void updateScale(Host& host)
{
    std::vector<int> entered;
    std::vector<int> all;
    for (const auto& output : host.outputs) {
        all.push_back(output->scale);
        if (std::find(host.entered.begin(), host.entered.end(), output->output) != host.entered.end()) {
            entered.push_back(output->scale);
        }
    }
    const int scale = surfaceScale(entered, all);
    if (scale == host.scale) {
        return;
    }
    host.scale = scale;
    if (host.sink != nullptr) {
        host.sink->setScale(scale);
    }
    // The pointer's images are loaded again at the new size the next time they are shown.
    release(host.cursorTheme, wl_cursor_theme_destroy);
    host.cursorTheme = nullptr;
    host.cursorTried = false;
    host.cursorShown = nullptr;
    if (host.configured) {
        showFrame(host);
        reportSize(host);
    }
}

void outputGeometry(void* /*data*/, wl_output* /*output*/, std::int32_t /*x*/, std::int32_t /*y*/,
                    std::int32_t /*widthMm*/, std::int32_t /*heightMm*/, std::int32_t /*subpixel*/,
                    const char* /*make*/, const char* /*model*/, std::int32_t /*transform*/)
{}
void outputMode(void* /*data*/, wl_output* /*output*/, std::uint32_t /*flags*/, std::int32_t /*width*/,
                std::int32_t /*height*/, std::int32_t /*refresh*/)
{}
void outputScale(void* data, wl_output* /*output*/, std::int32_t factor)
{
    static_cast<Output*>(data)->pendingScale = std::max(1, factor);
}
// The output's properties are complete: its scale takes effect, for a window on it at once.
void outputDone(void* data, wl_output* /*output*/)
{
    auto& output = *static_cast<Output*>(data);
    output.scale = output.pendingScale;
    updateScale(*output.host);
}
void outputName(void* /*data*/, wl_output* /*output*/, const char* /*name*/) {}
void outputDescription(void* /*data*/, wl_output* /*output*/, const char* /*description*/) {}

const wl_output_listener kOutputListener{outputGeometry, outputMode, outputDone,
                                         outputScale,    outputName, outputDescription};

void surfaceEnter(void* data, wl_surface* /*surface*/, wl_output* output)
{
    Host& host = hostOf(data);
    if (std::find(host.entered.begin(), host.entered.end(), output) == host.entered.end()) {
        host.entered.push_back(output);
    }
    updateScale(host);
}

void surfaceLeave(void* data, wl_surface* /*surface*/, wl_output* output)
{
    Host& host = hostOf(data);
    std::erase(host.entered, output);
    updateScale(host);
}

const wl_surface_listener kWindowSurfaceListener{surfaceEnter, surfaceLeave};

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
        host.pointerSurface = nullptr;
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
    } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0 && host.subcompositor == nullptr) {
        host.subcompositor =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && host.wmBase == nullptr) {
        host.wmBase = static_cast<xdg_wm_base*>(
            wl_registry_bind(registry, name, &xdg_wm_base_interface, std::min(version, kWmBaseVersion)));
        xdg_wm_base_add_listener(host.wmBase, &kWmBaseListener, &host);
    } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0 &&
               host.decorationManager == nullptr) {
        host.decorationManager = static_cast<zxdg_decoration_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && host.shm == nullptr) {
        host.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        // Version 2: the output's scale.
        auto output = std::make_unique<Output>();
        output->host = &host;
        output->name = name;
        output->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        host.outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && host.seat == nullptr) {
        // Version 5 at most: the pointer's events up to that version are all listened to.
        host.seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min<std::uint32_t>(version, 5)));
        wl_seat_add_listener(host.seat, &kSeatListener, &host);
    }
}

// An output unplugged: the window is no longer on it.
void globalRemoved(void* data, wl_registry* /*registry*/, std::uint32_t name)
{
    Host& host = hostOf(data);
    const auto gone = std::find_if(host.outputs.begin(), host.outputs.end(),
                                   [name](const auto& output) { return output->name == name; });
    if (gone != host.outputs.end()) {
        std::erase(host.entered, (*gone)->output);
        wl_output_destroy((*gone)->output);
        host.outputs.erase(gone);
        updateScale(host);
    }
}

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

// How long the wait may last: until the next tick, and no longer than until a frame on its way counts as
// unanswered.
int waitMs(const Host& host)
{
    const Clock::time_point now = Clock::now();
    int ms = host.session.millisecondsToNextTick(now);
    if (const auto since = host.sink->frameAwaitedSince(); since && !host.unanswered) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*since + kUnansweredFrame - now).count();
        ms = std::min(ms, static_cast<int>(std::max<std::int64_t>(left, 0)));
    }
    return ms;
}

// A frame answered shows the window is seen; one unanswered for a second, that it is out of sight.
void followFrames(Host& host)
{
    if (host.sink->takeFrameShown()) {
        host.unanswered = false;
    } else if (const auto since = host.sink->frameAwaitedSince(); since && Clock::now() - *since >= kUnansweredFrame) {
        host.unanswered = true;
    }
    reportVisibility(host);
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
    // The registry stays, to hear of outputs plugged in and out.
    host.registry = wl_display_get_registry(host.display);
    wl_registry_add_listener(host.registry, &kRegistryListener, &host);
    if (wl_display_roundtrip(host.display) < 0) {
        endOnBrokenConnection(host.display);
    }
    if (host.compositor == nullptr || host.subcompositor == nullptr || host.seat == nullptr || host.shm == nullptr ||
        host.wmBase == nullptr) {
        raiseRuntimeError(
            "the Wayland compositor lacks wl_compositor, wl_subcompositor, wl_shm, wl_seat or xdg_wm_base");
    }
    host.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (host.xkb == nullptr) {
        raiseRuntimeError("xkb_context_new failed");
    }
    host.surface = wl_compositor_create_surface(host.compositor);
    wl_surface_add_listener(host.surface, &kWindowSurfaceListener, &host);
    host.sink = std::make_unique<WaylandPresent>(host.display, host.shm, host.surface);
    host.sink->setScale(host.scale);
    host.frame = std::make_unique<WindowFrame>(host.compositor, host.subcompositor, host.shm, host.surface, kCaption);

    host.xdgSurface = xdg_wm_base_get_xdg_surface(host.wmBase, host.surface);
    xdg_surface_add_listener(host.xdgSurface, &kSurfaceListener, &host);
    host.toplevel = xdg_surface_get_toplevel(host.xdgSurface);
    xdg_toplevel_add_listener(host.toplevel, &kToplevelListener, &host);
    xdg_toplevel_set_title(host.toplevel, kCaption);
    xdg_toplevel_set_app_id(host.toplevel, "zarvo1");  // the desktop entry's StartupWMClass
    xdg_toplevel_set_min_size(host.toplevel, kMinimumWidth, kTitleHeight + 1);
    if (host.decorationManager != nullptr) {
        // The compositor's own title bar where it has one; its answer comes before the first configure.
        host.decoration = zxdg_decoration_manager_v1_get_toplevel_decoration(host.decorationManager, host.toplevel);
        zxdg_toplevel_decoration_v1_add_listener(host.decoration, &kDecorationListener, &host);
        zxdg_toplevel_decoration_v1_set_mode(host.decoration, ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    wl_surface_commit(host.surface);  // no buffer yet: asks for the first configure
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
    // The outputs' scales came before the configure: the first picture is at the largest of them.
    updateScale(host);
    Session& session = host.session;
    session.shown(*host.sink, host.width * host.scale, host.height * host.scale, Clock::now());
#if defined(__GLIBC__)
    // The start's passing allocations (the keymap's compilation above all) are over: the heap they leave
    // behind goes back to the system.
    malloc_trim(0);
#endif

    for (;;) {
        session.tick(Clock::now());
        session.present(*host.sink);
        waitAndDispatch(host, waitMs(host));
        raiseIfFailed(host);
        followFrames(host);
        if (host.done) {
            return 0;
        }
        session.present(*host.sink);
        if (!session.hidden()) {
            host.sink->presentGathered(session.app().picture);
        }
        if (host.commitDue && host.sink->shows(host.width * host.scale, host.height * host.scale)) {
            // The frame changed while the picture did not: the window's commit shows it.
            wl_surface_commit(host.surface);
            host.commitDue = false;
        }
    }
}

void report(const Failure& failure)
{
    std::fprintf(stderr, "zarvo1: %s\n", failure.line().c_str());
}

}  // namespace

int run(std::shared_ptr<wl_display> connection)
{
    Host host;
    host.connection = std::move(connection);
    host.display = host.connection.get();
    if (host.display == nullptr) {
        std::fprintf(stderr, "zarvo1: no connection to the Wayland compositor\n");
        return 1;
    }
    return runReportingFailure([&host] { return runWindow(host); }, [](const Failure& failure) { report(failure); });
}

}  // namespace zarvo::wl
