// The X11 window on xcb alone, on one connection: the window and its properties, the keyboard through
// libxkbcommon-x11, the picture through X11Present, and one poll on the connection (and on the quit
// signals) until the next tick. Errors come from xcb: an error packet, or a broken connection. The display
// mode runs the same host in a window another client made (or the root): it only draws there, follows
// that window's size and takes no input from it.
#include "platform/x11/host_x11.hpp"

#include "host/failure.hpp"
#include "host/session.hpp"
#include "icon_pixels.hpp"  // generated at build time from the icon's text source
#include "platform/linux/linux_host.hpp"
#include "platform/x11/input_x11.hpp"
#include "platform/x11/x11_present.hpp"

#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zarvo::x11 {

namespace {

using Clock = TickSchedule::Clock;

enum Atom { wmProtocols, wmDeleteWindow, netWmName, utf8String, netWmIcon, netWmPid, kAtoms };
constexpr std::array<const char*, kAtoms> kAtomNames{"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME",
                                                     "UTF8_STRING",  "_NET_WM_ICON",     "_NET_WM_PID"};

// Everything the host keeps; the presenter before the session, so the picture's pixels go first.
struct Host {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = 0;
    bool adopted = false;  // the window is another client's: drawn into, never changed
    std::array<xcb_atom_t, kAtoms> atoms{};
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> keys{nullptr, xkb_state_unref};
    ModifierMasks masks;
    ClientSize size;
    bool mapped = false;
    bool covered = false;  // wholly, by other windows
    bool visible = true;   // as last reported to the session
    bool done = false;
    std::unique_ptr<X11Present> sink;
    Session session;
};

void checkConnection(const Host& host)
{
    if (xcb_connection_has_error(host.c) != 0) {
        const char* display = std::getenv("DISPLAY");
        lnx::fail(std::string("lost the connection to the display ") + (display != nullptr ? display : "") +
                  " (the X server closed it or stopped)");
    }
}

// The keyboard's keymap, and which of its modifiers are Shift, Control and Alt.
void loadKeymap(Host& host)
{
    xkb_x11_setup_xkb_extension(host.c, 1, 0, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr);
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(host.c);  // -1 without XKB
    xkb_context* xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb == nullptr || device < 0
                             ? nullptr
                             : xkb_x11_keymap_new_from_device(xkb, host.c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(xkb);
    if (keymap == nullptr) {
        checkConnection(host);
        raiseRuntimeError("cannot read the keyboard's keymap from the X server (XKB)");
    }
    const auto mask = [keymap](const char* name) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
        return static_cast<std::uint16_t>(index < 8 ? 1U << index : 0U);  // the eight core modifiers
    };
    host.masks = {mask(XKB_MOD_NAME_SHIFT), mask(XKB_MOD_NAME_CTRL), mask(XKB_MOD_NAME_ALT)};
    host.keys.reset(xkb_state_new(keymap));
    xkb_keymap_unref(keymap);  // the state holds it
}

void handle(Host& host, const xcb_generic_event_t& event)
{
    HostEvent in;
    switch (event.response_type & 0x7FU) {  // the top bit marks an event another client sent
    case 0: {
        const auto& e = reinterpret_cast<const xcb_generic_error_t&>(event);
        lnx::fail(errorLine(e.error_code, e.major_code, e.minor_code));
    }
    case XCB_EXPOSE: in.kind = HostEvent::Kind::exposed; break;
    case XCB_CONFIGURE_NOTIFY:  // a move reports the same size, which resets nothing
        host.size.width = reinterpret_cast<const xcb_configure_notify_event_t&>(event).width;
        host.size.height = reinterpret_cast<const xcb_configure_notify_event_t&>(event).height;
        in = {.kind = HostEvent::Kind::resized, .width = host.size.width, .height = host.size.height};
        break;
    case XCB_MAP_NOTIFY: host.mapped = true; break;
    case XCB_UNMAP_NOTIFY: host.mapped = host.covered = false; break;
    case XCB_VISIBILITY_NOTIFY:
        host.covered =
            reinterpret_cast<const xcb_visibility_notify_event_t&>(event).state == XCB_VISIBILITY_FULLY_OBSCURED;
        break;
    case XCB_DESTROY_NOTIFY:  // the end of a given window is the end of the display mode's work
        if (host.adopted) {
            host.done = true;
            return;
        }
        lnx::fail("the window was destroyed by another X client");
    case XCB_BUTTON_PRESS: {
        const auto& e = reinterpret_cast<const xcb_button_press_event_t&>(event);
        in = buttonEvent(e.detail, e.state, e.event_x, e.event_y, host.masks);
        break;
    }
    case XCB_KEY_PRESS: {
        if (!host.keys) {
            break;  // a given window: no keyboard
        }
        // The key's symbol as the event's own state makes it: the modifiers, and the group in bits 13 and 14.
        const auto& e = reinterpret_cast<const xcb_key_press_event_t&>(event);
        xkb_state_update_mask(host.keys.get(), e.state & 0xFFU, 0, 0, 0, 0, (e.state >> 13U) & 3U);
        in = keyEvent(xkb_state_key_get_one_sym(host.keys.get(), e.detail), e.state, host.masks);
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto& e = reinterpret_cast<const xcb_client_message_event_t&>(event);
        const bool close = e.type == host.atoms[wmProtocols] && e.data.data32[0] == host.atoms[wmDeleteWindow];
        in.kind = close ? HostEvent::Kind::quit : HostEvent::Kind::none;
        break;
    }
    default: break;
    }
    if (host.session.isShown()) {
        host.done = !host.session.handle(in, Clock::now());  // once ending, every later event says so too
        if ((host.mapped && !host.covered) != host.visible) {
            host.visible = !host.visible;
            host.done =
                !host.session.handle({.kind = HostEvent::Kind::visibility, .visible = host.visible}, Clock::now());
        }
    } else if (host.mapped) {  // on the screen now, at the size it was given
        host.session.shown(*host.sink, host.size.width, host.size.height, Clock::now());
    }
}

// The window at the desktop's scale, with its caption, class, close protocol, icon, process and size hints.
void openWindow(Host& host, const xcb_screen_t& screen)
{
    xcb_connection_t* c = host.c;
    // The questions go out together and their answers come back together: one round trip. The desktop's
    // scale is its Xft.dpi resource.
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    std::array<xcb_intern_atom_cookie_t, kAtoms> cookies{};
    for (std::size_t i = 0; i < kAtoms; ++i) {
        cookies.at(i) =
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames.at(i))), kAtomNames.at(i));
    }
    const auto resources =
        xcb_get_property(c, 0, screen.root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1U << 16U);
    for (std::size_t i = 0; i < kAtoms; ++i) {
        const Owned<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(c, cookies.at(i), nullptr), std::free};
        host.atoms.at(i) = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    const Owned<xcb_get_property_reply_t> reply{xcb_get_property_reply(c, resources, nullptr), std::free};
    const auto length = static_cast<std::size_t>(reply ? xcb_get_property_value_length(reply.get()) : 0);
    host.size = initialClientSize(
        scaleFromResources({length > 0 ? static_cast<const char*>(xcb_get_property_value(reply.get())) : "", length}));

    host.window = xcb_generate_id(c);
    // Black until the first picture, and the picture kept in place while the size changes.
    const std::array<std::uint32_t, 3> values{screen.black_pixel, XCB_GRAVITY_NORTH_WEST,
                                              XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                                  XCB_EVENT_MASK_VISIBILITY_CHANGE | XCB_EVENT_MASK_BUTTON_PRESS |
                                                  XCB_EVENT_MASK_KEY_PRESS};
    const auto width = static_cast<std::uint16_t>(host.size.width);
    const auto height = static_cast<std::uint16_t>(host.size.height);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, host.window, screen.root, 0, 0, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BIT_GRAVITY | XCB_CW_EVENT_MASK, values.data());
    const auto set = [&host](xcb_atom_t property, xcb_atom_t type, std::uint8_t format, std::size_t count,
                             const void* data) {
        xcb_change_property(host.c, XCB_PROP_MODE_REPLACE, host.window, property, type, format,
                            static_cast<std::uint32_t>(count), data);
    };
    set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, std::strlen(kCaption), kCaption);
    set(host.atoms[netWmName], host.atoms[utf8String], 8, std::strlen(kCaption), kCaption);
    constexpr char kClass[] = "zarvo1\0zarvo1";  // instance and class: the desktop entry's StartupWMClass
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof kClass, kClass);
    set(host.atoms[wmProtocols], XCB_ATOM_ATOM, 32, 1, &host.atoms[wmDeleteWindow]);
    std::vector<std::uint32_t> icon{kIconWidth, kIconHeight};
    icon.insert(icon.end(), std::begin(kIconPixels), std::end(kIconPixels));
    set(host.atoms[netWmIcon], XCB_ATOM_CARDINAL, 32, icon.size(), icon.data());
    const auto pid = static_cast<std::uint32_t>(getpid());
    set(host.atoms[netWmPid], XCB_ATOM_CARDINAL, 32, 1, &pid);
    // WM_NORMAL_HINTS: the size asked for (PSize 8) and at least 1 x 1 (PMinSize 16).
    const std::array<std::uint32_t, 18> sizeHints{24, 0, 0, width, height, 1, 1};
    set(XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, sizeHints.size(), sizeHints.data());
}

// Another client's window (or the root): its size, visual, depth and whether it is mapped, and from now on
// its changes of size, exposures and visibility; nothing else of it is selected or changed. Returns its
// screen.
const xcb_screen_t& adoptWindow(Host& host, xcb_window_t window, xcb_visualid_t& visual, std::uint8_t& depth)
{
    xcb_connection_t* c = host.c;
    host.window = window;
    host.adopted = true;
    // The selection goes first, so a change after the answers below is reported.
    const std::uint32_t mask =
        XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    const auto selected = xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &mask);
    const auto geometryAsked = xcb_get_geometry(c, window);
    const auto attributesAsked = xcb_get_window_attributes(c, window);
    const Owned<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(c, geometryAsked, nullptr), std::free};
    const Owned<xcb_get_window_attributes_reply_t> attributes{
        xcb_get_window_attributes_reply(c, attributesAsked, nullptr), std::free};
    const Owned<xcb_generic_error_t> refused{xcb_request_check(c, selected), std::free};
    checkConnection(host);
    if (!geometry || !attributes || refused) {
        std::array<char, 16> id{};
        std::snprintf(id.data(), id.size(), "0x%x", window);
        raiseRuntimeError(std::string("there is no window ") + id.data() + " on the display to draw into");
    }
    host.size = {geometry->width, geometry->height};
    host.mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    visual = attributes->visual;
    depth = geometry->depth;
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(c)); screens.rem != 0; xcb_screen_next(&screens)) {
        if (screens.data->root == geometry->root) {
            return *screens.data;
        }
    }
    raiseRuntimeError("the window's root is no screen of the display");
}

// The window (its own, or the one it was given), its picture and, in its own, the keyboard.
void setUp(Host& host, int screenNumber, const SaverTarget& target)
{
    xcb_connection_t* c = host.c;
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) {
        xcb_screen_next(&screens);
    }
    if (target.kind == SaverTarget::Kind::ownWindow) {
        const xcb_screen_t& screen = *screens.data;
        openWindow(host, screen);
        host.sink = std::make_unique<X11Present>(c, host.window, screen, screen.root_visual, screen.root_depth);
        host.session.usePixelStore(host.sink.get());
        xcb_map_window(c, host.window);
        xcb_flush(c);
        loadKeymap(host);  // while the server maps the window
        return;
    }
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    xcb_visualid_t visual = 0;
    std::uint8_t depth = 0;
    const xcb_window_t window = target.kind == SaverTarget::Kind::root ? screens.data->root : target.window;
    const xcb_screen_t& screen = adoptWindow(host, window, visual, depth);
    host.sink = std::make_unique<X11Present>(c, host.window, screen, visual, depth);
    host.session.usePixelStore(host.sink.get());
    if (host.mapped) {  // on the screen already: no MapNotify comes
        host.session.shown(*host.sink, host.size.width, host.size.height, Clock::now());
    }
}

// The window, then events and ticks until the end.
int runWindow(Host& host, int screenNumber, const SaverTarget& target)
{
    xcb_connection_t* c = host.c;
    setUp(host, screenNumber, target);

    const lnx::EventWait wait;
    while (!host.done) {
        if (host.session.isShown()) {
            host.session.tick(Clock::now());
            host.session.present(*host.sink);
        }
        // The requests go out once, before the wait; events xcb read meanwhile are handled without one.
        xcb_flush(c);
        xcb_generic_event_t* event = xcb_poll_for_queued_event(c);
        if (event == nullptr) {
            const int timeout = host.session.isShown() ? host.session.millisecondsToNextTick(Clock::now()) : -1;
            const lnx::EventWait::Wake wake = wait.wait(xcb_get_file_descriptor(c), timeout);
            if (wake == lnx::EventWait::Wake::quit) {
                return 0;  // SIGINT or SIGTERM
            }
            // Nothing to read after a timeout.
            event = wake == lnx::EventWait::Wake::connection ? xcb_poll_for_event(c) : nullptr;
        }
        for (; event != nullptr; event = host.done ? nullptr : xcb_poll_for_event(c)) {
            handle(host, *Owned<xcb_generic_event_t>(event, std::free));
        }
        checkConnection(host);
    }
    return 0;
}

}  // namespace

int run(const SaverTarget& target)
{
    int screen = 0;
    xcb_connection_t* c = nullptr;
    const int status = lnx::runHost([&] {
        c = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(c) != 0) {
            const char* display = std::getenv("DISPLAY");
            lnx::report(std::string("cannot reach the display ") + (display != nullptr ? display : "") +
                        " (no X server takes a connection there)");
            return 1;
        }
        Host host;  // gone before the connection
        host.c = c;
        return runWindow(host, screen, target);
    });
    xcb_disconnect(c);
    return status;
}

}  // namespace zarvo::x11
