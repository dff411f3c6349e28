// The Linux window on X11: SDL2 with the video subsystem only. It owns the window, hands SDL's events to the
// shared layer one at a time, sleeps between events until the next tick, and puts the regions the shared
// layer presents on the window: itself, from shared-memory images the picture lives in, or where it cannot
// through the window's own software framebuffer. Wayland has a host of its own (hosts/wayland).
#include "platform/x11/host_sdl.hpp"

#include "host/failure.hpp"
#include "host/session.hpp"
#include "icon_pixels.hpp"  // generated at build time from the icon's text source
#include "platform/x11/input_sdl.hpp"
#include "platform/x11/x11_present.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace zarvo::sdl {

void copyToSurface(const Framebuffer& picture, Rect region, SDL_Surface& surface)
{
    constexpr int kWordBytes = 4;
    const std::uint32_t* from = picture.pixels() + static_cast<std::ptrdiff_t>(region.y) * picture.width() + region.x;
    auto* to = static_cast<std::uint8_t*>(surface.pixels) + static_cast<std::ptrdiff_t>(region.y) * surface.pitch +
               static_cast<std::ptrdiff_t>(region.x) * surface.format->BytesPerPixel;
    // The picture's words are 0x00RRGGBB; SDL converts (or, for the same format, copies) row by row.
    if (SDL_ConvertPixels(region.w, region.h, SDL_PIXELFORMAT_XRGB8888, from, picture.width() * kWordBytes,
                          surface.format->format, to, surface.pitch) != 0) {
        raiseRuntimeError(std::string("SDL_ConvertPixels failed: ") + SDL_GetError());
    }
}

namespace {

using Clock = TickSchedule::Clock;

void platformCheck(bool ok, const char* call)
{
    if (!ok) {
        raiseRuntimeError(std::string(call) + " failed: " + SDL_GetError());
    }
}

// The window's own software framebuffer: the regions are copied into it and put on the window.
class WindowSurfaceSink final : public PresentSink {
public:
    void present(const Framebuffer& picture, std::span<const Rect> regions) override
    {
        const bool locked = SDL_MUSTLOCK(surface);
        if (locked) {
            platformCheck(SDL_LockSurface(surface) == 0, "SDL_LockSurface");
        }
        rects_.clear();
        for (const Rect& r : regions) {
            copyToSurface(picture, r, *surface);
            rects_.push_back(SDL_Rect{r.x, r.y, r.w, r.h});
        }
        if (locked) {
            SDL_UnlockSurface(surface);
        }
        platformCheck(SDL_UpdateWindowSurfaceRects(window, rects_.data(), static_cast<int>(rects_.size())) == 0,
                      "SDL_UpdateWindowSurfaceRects");
    }

    SDL_Window* window = nullptr;
    SDL_Surface* surface = nullptr;  // the window's framebuffer, owned by SDL; replaced after a resize

private:
    std::vector<SDL_Rect> rects_;  // the regions of the last call, kept to reuse its storage
};

// Everything the host keeps: the window, where its picture goes and the shared layer.
struct Host {
    WindowSurfaceSink sink;
    // On X11 the picture lives in this presenter's images and SDL makes no framebuffer. Declared before
    // the session, so it outlives the picture.
    std::unique_ptr<X11Presenter> x11;
    Display* xDisplay = nullptr;  // SDL's X connection, when the window is an X window
    // The serial of the next request on SDL's connection when SDL last read all the server had sent and
    // found no event. While no request has gone out since, nothing can wait unseen in Xlib's or SDL's
    // queues, and the wait sleeps on the connection without a look at them first.
    std::optional<unsigned long> drainedAt;
    // The signals the wait sleeps for, blocked everywhere else: SIGIO, which the kernel sends this thread
    // when the server has sent something on SDL's connection or the presenter's, and SIGINT and SIGTERM
    // where SDL would turn them into a quit event. Taken in the wait, a quit signal cannot sit in SDL's queue unseen
    // until the server next sent something.
    sigset_t wakeSignals{};
    Session session;  // SDL on X11 never reports a minimised window as 0 x 0, so it is never "minimised"

    PresentSink& target()
    {
        if (x11) {
            return *x11;
        }
        return sink;
    }
};

// The size the picture must have: the window's framebuffer at its current size, or where the host presents
// itself the window's size (no framebuffer is made there). Returns width and height.
std::pair<int, int> takeFramebuffer(Host& host)
{
    if (host.x11) {
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(host.sink.window, &width, &height);
        return {width, height};
    }
    host.sink.surface = SDL_GetWindowSurface(host.sink.window);
    platformCheck(host.sink.surface != nullptr, "SDL_GetWindowSurface");
    return {host.sink.surface->w, host.sink.surface->h};
}

// Makes the descriptor send this thread SIGIO whenever something arrives on it, or stop doing so.
bool signalOnInput(int fd, bool on)
{
    const f_owner_ex owner{F_OWNER_TID, gettid()};
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && fcntl(fd, F_SETOWN_EX, &owner) == 0 &&
           fcntl(fd, F_SETFL, on ? flags | O_ASYNC : flags & ~O_ASYNC) == 0;
}

// Makes SDL's X connection and the presenter's (-1: none) wake this thread with SIGIO whenever the server
// sends something, so that the wait can sleep on signals alone: a signal wait costs what a plain sleep
// does, a poll on the sockets a fifth more. False, with nothing changed, where a connection cannot signal:
// SDL then waits itself.
bool watchConnections(Host& host, int sdlConnection, int presenterConnection)
{
    sigemptyset(&host.wakeSignals);
    sigaddset(&host.wakeSignals, SIGIO);
    // SDL handles a quit signal only where it was not ignored when SDL started; one that is ignored stays
    // so, rather than pending in the mask and ending the program.
    for (const int quit : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(quit, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&host.wakeSignals, quit);
        }
    }
    // Blocked first: SIGIO's default is to end the process.
    sigset_t before{};
    pthread_sigmask(SIG_BLOCK, &host.wakeSignals, &before);
    if (signalOnInput(sdlConnection, true) && (presenterConnection < 0 || signalOnInput(presenterConnection, true))) {
        return true;
    }
    signalOnInput(sdlConnection, false);
    if (presenterConnection >= 0) {
        signalOnInput(presenterConnection, false);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return false;
}

// On X11, a presenter of the program's own for the window SDL made, with the picture moved into its
// images; none where SDL's window is not an X window or its visual is not one the presenter draws on.
void takeX11Presenter(Host& host)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(host.sink.window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    // SDL hands out the window system's handles in a union that `subsystem` selects.
    const auto& x11 = info.info.x11;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    host.x11 = X11Presenter::create(x11.display, x11.window);
    if (watchConnections(host, ConnectionNumber(x11.display), host.x11 ? host.x11->connection() : -1)) {
        host.xDisplay = x11.display;
        if (host.x11) {
            host.x11->watched();
        }
    }
    host.session.app().picture.usePixelStore(host.x11.get());
}

// SDL's next event. When there is none, SDL has just read all the X server sent: the wait remembers where
// SDL's connection stood then.
bool pollEvent(Host& host, SDL_Event& event)
{
    if (SDL_PollEvent(&event) != 0) {
        return true;
    }
    if (host.xDisplay != nullptr) {
        host.drainedAt = NextRequest(host.xDisplay);
    }
    return false;
}

// The next event, waiting for it until the next tick is due; false when the deadline came first. On X11 the
// host sleeps until the X connection signals and lets SDL read it only when the server has sent something:
// SDL's own wait runs its whole event pump on every wake-up, which costs more than the tick does.
bool nextEvent(Host& host, SDL_Event& event)
{
    if (host.xDisplay == nullptr) {
        return SDL_WaitEventTimeout(&event, host.session.millisecondsToNextTick(Clock::now())) != 0;
    }
    // Nothing has gone out on SDL's connection since SDL read all of it (the presenter has a connection of
    // its own): the queues are as SDL left them, empty. Xlib's macros read the two fields in place: a call
    // into Xlib's code, cold after the sleep, costs more than the rest of this look.
    const bool drained = host.drainedAt == NextRequest(host.xDisplay) && QLength(host.xDisplay) == 0;
    // Otherwise events SDL queued by itself (the window shown, a size it set) come first, without a pump,
    // and Xlib may hold events it read while sending; only with none there is the connection the thing to
    // watch.
    if (!drained && SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        return true;
    }
    if (drained || XEventsQueued(host.xDisplay, QueuedAfterReading) == 0) {
        const TickSchedule::Duration left = host.session.app().schedule.untilNext(Clock::now());
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()), static_cast<long>((left - seconds).count())};
        // A SIGIO from before the last read of the connection only makes the pump find nothing.
        const int signal = sigtimedwait(&host.wakeSignals, nullptr, &timeout);
        if (signal == SIGINT || signal == SIGTERM) {
            // What SDL's own handler would have queued.
            event = SDL_Event{};
            event.quit = SDL_QuitEvent{SDL_QUIT, SDL_GetTicks()};
            return true;
        }
        if (signal == -1 && errno == EAGAIN) {
            return false;  // the deadline came first
        }
        // The server sent something or closed a connection (or another signal broke in): the presenter reads
        // its own, and the pump finds out about SDL's.
        if (host.x11) {
            host.x11->readConnection();
        }
    }
    return pollEvent(host, event);
}

// The application icon, the same picture as the desktop entry's.
void setIcon(SDL_Window* window)
{
    // The surface wraps writable pixels, so it gets a copy of the constant picture; the window keeps its own.
    std::vector<std::uint32_t> pixels(std::begin(kIconPixels), std::end(kIconPixels));
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kIconWidth, kIconHeight, 32, kIconWidth * 4,
                                                           SDL_PIXELFORMAT_ARGB8888);
    platformCheck(icon != nullptr, "SDL_CreateRGBSurfaceWithFormatFrom");
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// The window, its icon and the first show, then events and ticks until the end.
int runWindow(Host& host)
{
    host.sink.window = SDL_CreateWindow(kCaption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kInitialWidth,
                                        kInitialHeight, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    platformCheck(host.sink.window != nullptr, "SDL_CreateWindow");
    setIcon(host.sink.window);
    takeX11Presenter(host);
    SDL_ShowWindow(host.sink.window);
    const auto [width, height] = takeFramebuffer(host);
    host.session.shown(host.target(), width, height, false, Clock::now());

    Session& session = host.session;
    for (;;) {
        session.tick(Clock::now());
        session.present(host.target());
        SDL_Event event;
        if (!nextEvent(host, event)) {
            continue;  // the deadline came first
        }
        do {
            HostEvent in = translate(event, static_cast<std::uint16_t>(SDL_GetModState()));
            if (in.kind == HostEvent::Kind::resized) {
                // The picture follows the framebuffer's size, whatever SDL reported.
                std::tie(in.width, in.height) = takeFramebuffer(host);
            }
            if (!session.handle(in, Clock::now())) {
                return 0;
            }
        } while (pollEvent(host, event));
        session.present(host.target());
    }
}

bool hasValue(const char* variable)
{
    return variable != nullptr && *variable != '\0';
}

// SDL's drivers that draw nowhere a person can see.
bool isOffscreen(const char* driver)
{
    const std::string name = driver != nullptr ? driver : "";
    return name.empty() || name == "offscreen" || name == "dummy" || name == "evdev";
}

// What a failure of the X connection becomes. Xlib calls these from inside its own calls, where its
// default would print its own words and exit. They report in the program's words and end the process at
// once: no destructor runs, and nothing more is asked of an X server that may be gone.
[[noreturn]] int lostDisplay(Display* display)
{
    std::fprintf(stderr, "zarvo1: lost the connection to the display %s (the X server closed it or stopped)\n",
                 XDisplayString(display));
    std::_Exit(1);
}

// A request the X server refused (a window destroyed under the program, too little memory in the server):
// errors the program cannot recover from. The error's text comes from Xlib's local table, not the server.
[[noreturn]] int refusedRequest(Display* display, XErrorEvent* error)
{
    std::array<char, 128> text{};
    XGetErrorText(display, error->error_code, text.data(), static_cast<int>(text.size()));
    std::fprintf(stderr, "zarvo1: the X server refused a request: %s, request %d.%d\n", text.data(),
                 error->request_code, error->minor_code);
    std::_Exit(1);
}

void report(const Host& host, const Failure& failure)
{
    const std::string message = failure.line();
    std::fprintf(stderr, "zarvo1: %s\n", message.c_str());
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kCaption, message.c_str(), host.sink.window);
}

}  // namespace

int run(bool x11)
{
    // A good desktop citizen: the screen saver and lock stay in force, a click that focuses the window is
    // a click, and the compositor is left alone.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");

    // The entry has chosen where the window shows (see wayland_probe.hpp): the X server, or SDL's own choice
    // where SDL_VIDEODRIVER names a driver. The display chosen is the one SDL is told to use, so a display
    // that cannot be reached fails at once instead of sending SDL probing elsewhere.
    if (x11) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    const char* display = std::getenv("DISPLAY");
    const std::string named = hasValue(display) ? display : "";
    // Before SDL opens the display, so that SDL's own X error handler passes on to ours.
    XSetIOErrorHandler(lostDisplay);
    XSetErrorHandler(refusedRequest);
    // Video only: the joystick and sensor subsystems would make SDL wake up to poll them.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "zarvo1: cannot reach the display %s (%s)\n", named.c_str(), SDL_GetError());
        return 1;
    }
    if (isOffscreen(SDL_GetCurrentVideoDriver())) {
        SDL_Quit();
        std::fprintf(stderr, "zarvo1: no display to open the window on (no display server could be reached)\n");
        return 1;
    }
    SDL_StopTextInput();  // key presses are all the program reads; no text input or input method
    // On X11 the window's framebuffer (where the host cannot present itself) is plain memory put to the
    // window on demand, rather than a texture that a (possibly software) OpenGL rasteriser redraws.
    if (std::string(SDL_GetCurrentVideoDriver()) == "x11") {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }

    // The program ends at once, leaving the window to go away with the process: the display server removes
    // a client's windows when it disconnects. Destroying the window first would race SDL's own wake-up
    // message to it, and the X error that follows turns a clean end into a failed one.
    Host host;
    return runReportingFailure([&host] { return runWindow(host); },
                               [&host](const Failure& failure) { report(host, failure); });
}

}  // namespace zarvo::sdl
