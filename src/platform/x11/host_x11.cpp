// The X11 window on xcb alone, on one connection: the window and its properties, the keyboard through
// libxkbcommon-x11, the picture through X11Present, and one poll on the connection (and on the quit
// signals) until the next tick. Errors come from xcb, as error packets or a broken connection.
#include "platform/x11/host_x11.hpp"

#include "host/failure.hpp"
#include "host/session.hpp"
#include "icon_pixels.hpp"  // generated at build time from the icon's text source
#include "platform/x11/input_x11.hpp"
#include "platform/x11/x11_present.hpp"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#define explicit explicit_  // a field of that name, a keyword in C++
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zarvo::x11 {

namespace {

using Clock = TickSchedule::Clock;

enum Atom { wmProtocols, wmDeleteWindow, netWmName, utf8String, netWmIcon, netWmPid, kAtoms };
constexpr std::array<const char*, kAtoms> kAtomNames{"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME",
                                                     "UTF8_STRING",  "_NET_WM_ICON",     "_NET_WM_PID"};

// A deleter that calls the library's own function.
template <auto release>
struct Release {
    template <class T>
    void operator()(T* p) const
    {
        release(p);
    }
};

// Everything the host keeps. Declared in the order it is made, so it is undone in reverse: the picture's
// pixels before the presenter that holds them, everything before the connection.
struct Host {
    std::unique_ptr<xcb_connection_t, Release<xcb_disconnect>> connection;
    xcb_connection_t* c = nullptr;
    std::string display;
    xcb_window_t window = 0;
    std::array<xcb_atom_t, kAtoms> atoms{};
    std::uint8_t xkbEvent = 0;  // the first event code of XKB
    std::uint8_t shmError = 0;  // the first error code of MIT-SHM
    std::unique_ptr<xkb_context, Release<xkb_context_unref>> xkb;
    std::unique_ptr<xkb_keymap, Release<xkb_keymap_unref>> keymap;
    std::unique_ptr<xkb_state, Release<xkb_state_unref>> keys;
    ModifierMasks masks;
    int quitSignals = -1;  // a signalfd for SIGINT and SIGTERM, where they were not ignored
    int width = 0;
    int height = 0;
    Visibility seen;
    bool visible = true;  // as last reported to the session
    bool done = false;
    std::unique_ptr<X11Present> sink;
    Session session;
};

// A broken connection or a refused request: nothing more can be asked of the server. One line, status 1,
// at once; no destructor runs.
[[noreturn]] void end(const std::string& line)
{
    std::fprintf(stderr, "zarvo1: %s\n", line.c_str());
    std::_Exit(1);
}

void checkConnection(const Host& host)
{
    if (xcb_connection_has_error(host.c) != 0) {
        end("lost the connection to the display " + host.display + " (the X server closed it or stopped)");
    }
}

// The keyboard's keymap, and which of its modifiers are Shift, Control and Alt, read again when it changes.
void loadKeymap(Host& host)
{
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(host.c);
    xkb_keymap* keymap =
        device < 0 ? nullptr
                   : xkb_x11_keymap_new_from_device(host.xkb.get(), host.c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        checkConnection(host);
        raiseRuntimeError("xkb_x11_keymap_new_from_device failed");
    }
    host.keymap.reset(keymap);
    host.keys.reset(xkb_state_new(keymap));
    const auto mask = [keymap](const char* name) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
        return static_cast<std::uint16_t>(index < 8 ? 1U << index : 0U);  // the eight core modifiers
    };
    host.masks = {mask(XKB_MOD_NAME_SHIFT), mask(XKB_MOD_NAME_CTRL), mask(XKB_MOD_NAME_ALT)};
}

// The key symbol of a key as the event's own state (modifiers and group) makes it.
std::uint32_t keysym(Host& host, const xcb_key_press_event_t& key)
{
    constexpr unsigned kGroupShift = 13;  // where an XKB client's events carry the group
    xkb_state_update_mask(host.keys.get(), key.state & 0xFFU, 0, 0, 0, 0, (key.state >> kGroupShift) & 3U);
    return xkb_state_key_get_one_sym(host.keys.get(), key.detail);
}

void toSession(Host& host, const HostEvent& in)
{
    if (!host.session.handle(in, Clock::now())) {
        host.done = true;
    }
}

// What one event means for the program.
void handle(Host& host, const xcb_generic_event_t& event)
{
    const auto type = static_cast<std::uint8_t>(event.response_type & 0x7FU);  // the top bit marks a sent event
    HostEvent in;
    switch (type) {
    case 0: {
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        end(errorLine(error.error_code, error.major_code, error.minor_code, host.shmError));
    }
    case XCB_EXPOSE: in.kind = HostEvent::Kind::exposed; break;
    case XCB_CONFIGURE_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (e.window == host.window && (e.width != host.width || e.height != host.height)) {
            host.width = e.width;
            host.height = e.height;
            in = HostEvent{.kind = HostEvent::Kind::resized, .width = host.width, .height = host.height};
        }
        break;
    }
    case XCB_MAP_NOTIFY: host.seen.mapped = true; break;
    case XCB_UNMAP_NOTIFY: host.seen = Visibility{}; break;
    case XCB_VISIBILITY_NOTIFY:
        host.seen.covered =
            reinterpret_cast<const xcb_visibility_notify_event_t&>(event).state == XCB_VISIBILITY_FULLY_OBSCURED;
        break;
    case XCB_DESTROY_NOTIFY: end("the window was destroyed by another X client");
    case XCB_BUTTON_PRESS: {
        const auto& e = reinterpret_cast<const xcb_button_press_event_t&>(event);
        in = buttonEvent(e.detail, e.state, e.event_x, e.event_y, host.masks);
        break;
    }
    case XCB_KEY_PRESS: {
        const auto& e = reinterpret_cast<const xcb_key_press_event_t&>(event);
        in = keyEvent(keysym(host, e), e.state, host.masks);
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto& e = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (e.type == host.atoms[wmProtocols] && e.format == 32 && e.data.data32[0] == host.atoms[wmDeleteWindow]) {
            in.kind = HostEvent::Kind::quit;
        }
        break;
    }
    default:
        if (type == host.xkbEvent && host.xkbEvent != 0) {
            loadKeymap(host);  // a new keyboard or a new mapping
        }
        break;
    }
    if (!host.session.isShown()) {
        if (host.seen.mapped) {
            // The window is on the screen: the first show, at the size it was given.
            host.session.shown(*host.sink, host.width, host.height, false, Clock::now());
        }
        return;
    }
    toSession(host, in);
    if (host.seen.visible() != host.visible) {
        host.visible = host.seen.visible();
        toSession(host, HostEvent{.kind = HostEvent::Kind::visibility, .visible = host.visible});
    }
}

// Every event xcb has, read from the socket (next) or only those it holds already; false when there was none.
template <class Next>
bool handleEvents(Host& host, Next next)
{
    bool any = false;
    while (xcb_generic_event_t* event = next(host.c)) {
        any = true;
        handle(host, *event);
        std::free(event);
        if (host.done) {
            break;
        }
    }
    return any;
}

// SIGINT and SIGTERM as a descriptor to poll, each blocked for that unless it came in ignored (a background
// job, nohup): an ignored one stays so. -1 when both are ignored.
int watchQuitSignals()
{
    sigset_t quit;
    sigemptyset(&quit);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&quit, signal);
        }
    }
    if (sigisemptyset(&quit) != 0) {
        return -1;
    }
    sigprocmask(SIG_BLOCK, &quit, nullptr);
    return signalfd(-1, &quit, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The properties a window manager reads: caption, class, close protocol, icon, process, size hints.
void describeWindow(Host& host, const ClientSize& size)
{
    const auto set = [&host](xcb_atom_t property, xcb_atom_t type, std::uint8_t format, std::size_t count,
                             const void* data) {
        xcb_change_property(host.c, XCB_PROP_MODE_REPLACE, host.window, property, type, format,
                            static_cast<std::uint32_t>(count), data);
    };
    const std::size_t captionLength = std::strlen(kCaption);
    set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, captionLength, kCaption);
    set(host.atoms[netWmName], host.atoms[utf8String], 8, captionLength, kCaption);
    constexpr char kClass[] = "zarvo1\0zarvo1";  // instance and class: the desktop entry's StartupWMClass
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof kClass, kClass);
    set(host.atoms[wmProtocols], XCB_ATOM_ATOM, 32, 1, &host.atoms[wmDeleteWindow]);
    std::vector<std::uint32_t> icon{kIconWidth, kIconHeight};
    icon.insert(icon.end(), std::begin(kIconPixels), std::end(kIconPixels));
    set(host.atoms[netWmIcon], XCB_ATOM_CARDINAL, 32, icon.size(), icon.data());
    const auto pid = static_cast<std::uint32_t>(getpid());
    set(host.atoms[netWmPid], XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::array<char, 256> machine{};
    if (gethostname(machine.data(), machine.size() - 1) == 0) {
        set(XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8, std::strlen(machine.data()), machine.data());
    }
    // WM_NORMAL_HINTS: the size the program asked for (PSize) and a minimum of 1 x 1 (PMinSize).
    std::array<std::uint32_t, 18> hints{(1U << 3) | (1U << 4)};
    hints[3] = static_cast<std::uint32_t>(size.width);
    hints[4] = static_cast<std::uint32_t>(size.height);
    hints[5] = hints[6] = 1;
    set(XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, hints.size(), hints.data());
    // WM_HINTS: the window takes the keyboard focus (InputHint) and opens as a normal window (StateHint).
    const std::array<std::uint32_t, 9> wmHints{1U | 2U, 1, 1};
    set(XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, wmHints.size(), wmHints.data());
}

// The desktop's scale, from the Xft.dpi resource on the root window.
double desktopScale(xcb_connection_t* c, xcb_window_t root)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1U << 16);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (reply == nullptr) {
        return 1.0;
    }
    const std::string_view text(static_cast<const char*>(xcb_get_property_value(reply)),
                                static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    const double scale = scaleFromResources(text);
    std::free(reply);
    return scale;
}

// The window, its properties and the keyboard; then events and ticks until the end.
int runWindow(Host& host, int screenNumber)
{
    xcb_connection_t* c = host.c;
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_screen_t& screen = *screens.data;
    if (const std::string why = X11Present::unsuitable(*setup, screen); !why.empty()) {
        raiseRuntimeError(why);
    }
    // The questions go out together, and their answers are read together: one round trip.
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    std::array<xcb_intern_atom_cookie_t, kAtoms> cookies{};
    for (std::size_t i = 0; i < kAtoms; ++i) {
        cookies.at(i) =
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames.at(i))), kAtomNames.at(i));
    }
    const double scale = desktopScale(c, screen.root);
    for (std::size_t i = 0; i < kAtoms; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies.at(i), nullptr);
        host.atoms.at(i) = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
    }
    checkConnection(host);

    const ClientSize size = initialClientSize(scale);
    host.width = size.width;
    host.height = size.height;
    host.window = xcb_generate_id(c);
    // A black background until the first picture, and the picture kept in place while the size changes.
    const std::array<std::uint32_t, 3> values{screen.black_pixel, XCB_GRAVITY_NORTH_WEST,
                                              XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                                  XCB_EVENT_MASK_VISIBILITY_CHANGE | XCB_EVENT_MASK_BUTTON_PRESS |
                                                  XCB_EVENT_MASK_KEY_PRESS};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, host.window, screen.root, 0, 0, static_cast<std::uint16_t>(size.width),
                      static_cast<std::uint16_t>(size.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BIT_GRAVITY | XCB_CW_EVENT_MASK, values.data());
    describeWindow(host, size);
    host.sink = std::make_unique<X11Present>(c, host.window, screen.root_depth);
    host.shmError = xcb_get_extension_data(c, &xcb_shm_id)->first_error;
    host.session.app().picture.usePixelStore(host.sink.get());
    xcb_map_window(c, host.window);
    xcb_flush(c);

    // The keyboard, read while the server maps the window.
    host.xkb.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (host.xkb == nullptr ||
        xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &host.xkbEvent,
                                    nullptr) == 0) {
        checkConnection(host);
        raiseRuntimeError("the X server has no keyboard extension (XKB)");
    }
    loadKeymap(host);
    constexpr std::uint16_t kKeymapChanges = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, kKeymapChanges, 0, kKeymapChanges, 0xFF, 0xFF, nullptr);
#if defined(__GLIBC__)
    malloc_trim(0);  // the keymap's compilation leaves a heap behind that the run does not need
#endif

    Session& session = host.session;
    for (;;) {
        if (session.isShown()) {
            session.tick(Clock::now());
            session.present(*host.sink);
        }
        // Requests go out once, before the wait; events xcb read meanwhile are handled without one.
        xcb_flush(c);
        bool ready = handleEvents(host, xcb_poll_for_queued_event);
        if (!ready && !host.done) {
            const int timeout = session.isShown() ? session.millisecondsToNextTick(Clock::now()) : -1;
            std::array<pollfd, 2> fds{{{xcb_get_file_descriptor(c), POLLIN, 0}, {host.quitSignals, POLLIN, 0}}};
            if (poll(fds.data(), fds.size(), timeout) > 0 && fds[1].revents != 0) {
                return 0;  // SIGINT or SIGTERM
            }
            ready = fds[0].revents != 0;
        }
        if (ready && !host.done) {
            handleEvents(host, xcb_poll_for_event);
        }
        checkConnection(host);
        if (host.done) {
            return 0;
        }
    }
}

}  // namespace

int run()
{
    std::signal(SIGPIPE, SIG_IGN);  // a server gone shows as a broken connection, not as a signal
    Host host;
    int screen = 0;
    host.connection.reset(xcb_connect(nullptr, &screen));
    host.c = host.connection.get();
    const char* name = std::getenv("DISPLAY");
    host.display = name != nullptr ? name : "";
    if (xcb_connection_has_error(host.c) != 0) {
        std::fprintf(stderr, "zarvo1: cannot reach the display %s (no X server accepts a connection there)\n",
                     host.display.c_str());
        return 1;
    }
    host.quitSignals = watchQuitSignals();
    return runReportingFailure(
        [&] { return runWindow(host, screen); },
        [](const Failure& failure) { std::fprintf(stderr, "zarvo1: %s\n", failure.line().c_str()); });
}

}  // namespace zarvo::x11
