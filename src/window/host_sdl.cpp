// The Linux window: SDL2 with the video subsystem only. It owns the window, hands SDL's events to the core
// one at a time, runs the 50 ms tick on deadlines while sleeping between events, and presents only the
// parts of the picture that changed: on X11 itself, from shared-memory images the picture lives in
// (X11Presenter), elsewhere through the window's own software framebuffer.
#include "window/host_sdl.hpp"

#include "icon_pixels.hpp"  // generated at build time from the icon's text source
#include "window/hosts/sdl/x11_present.hpp"
#include "window/window_sizing.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <poll.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zarvo::sdl {

std::int16_t virtualKey(std::int32_t sdlKey)
{
    // Letters and digits: SDL uses the lowercase character, the virtual key code the uppercase one.
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z) {
        return static_cast<std::int16_t>(sdlKey - SDLK_a + 'A');
    }
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) {
        return static_cast<std::int16_t>(sdlKey);
    }
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12) {
        return static_cast<std::int16_t>(0x70 + (sdlKey - SDLK_F1));
    }
    if (sdlKey >= SDLK_KP_1 && sdlKey <= SDLK_KP_9) {
        return static_cast<std::int16_t>(0x61 + (sdlKey - SDLK_KP_1));
    }
    switch (sdlKey) {
    case SDLK_ESCAPE: return kEscape;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 0x0D;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 0x11;
    case SDLK_LALT:
    case SDLK_RALT: return 0x12;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_KP_0: return 0x60;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    default: return 0;
    }
}

PointerButton pointerButton(std::uint8_t sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return PointerButton::left;
    case SDL_BUTTON_RIGHT: return PointerButton::right;
    case SDL_BUTTON_MIDDLE: return PointerButton::middle;
    default: return PointerButton::other;
    }
}

std::int16_t modifiers(std::uint16_t sdlKeymod)
{
    return modifierBits((sdlKeymod & KMOD_SHIFT) != 0, (sdlKeymod & KMOD_CTRL) != 0, (sdlKeymod & KMOD_ALT) != 0);
}

Input translate(const SDL_Event& event, std::uint16_t sdlKeymod)
{
    Input in;
    switch (event.type) {
    case SDL_QUIT: in.kind = Input::Kind::quit; break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: in.kind = Input::Kind::quit; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: in.kind = Input::Kind::resized; break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED: in.kind = Input::Kind::exposed; break;
        default: break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        in.kind = Input::Kind::mouseDown;
        in.button = pointerButton(event.button.button);
        in.modifiers = modifiers(sdlKeymod);
        in.x = static_cast<float>(event.button.x);
        in.y = static_cast<float>(event.button.y);
        break;
    case SDL_KEYDOWN:
        in.kind = Input::Kind::keyDown;
        in.keyCode = virtualKey(event.key.keysym.sym);
        in.modifiers = modifiers(event.key.keysym.mod);
        break;
    default: break;
    }
    return in;
}

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

// Everything the host keeps: the window, its framebuffer and the program.
struct Host {
    SDL_Window* window = nullptr;
    SDL_Surface* surface = nullptr;  // the window's framebuffer, owned by SDL; replaced after a resize
    bool showAll = false;            // the whole picture must reach the window (new framebuffer, exposure)
    std::vector<SDL_Rect> rects;     // the regions presented by the last call, kept to reuse its storage
    std::vector<Rect> regions;       // the same for the X11 presenter
    // On X11 the picture lives in this presenter's images and SDL makes no framebuffer. Declared before
    // the program, so it outlives the picture.
    std::unique_ptr<X11Presenter> x11;
    Display* xDisplay = nullptr;  // SDL's X connection, when the window is an X window
    App app;
    WindowSizing sizing;  // SDL on X11 never reports a minimised window as 0 x 0, so it is never "minimised"
};

void platformCheck(bool ok, const char* call)
{
    if (!ok) {
        raiseRuntimeError(std::string(call) + " failed: " + SDL_GetError());
    }
}

// The window's framebuffer at its current size. The picture follows a change of size (and only a change):
// that is the reset, and it keeps what overlaps.
void takeFramebuffer(Host& host)
{
    if (host.x11) {
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(host.window, &width, &height);
        host.sizing.report(host.app, width, height, false);
        host.showAll = true;
        return;
    }
    host.surface = SDL_GetWindowSurface(host.window);
    platformCheck(host.surface != nullptr, "SDL_GetWindowSurface");
    host.sizing.report(host.app, host.surface->w, host.surface->h, false);
    host.showAll = true;
}

// Brings the window up to date with the picture: only the changed regions, or all of it when needed.
void present(Host& host)
{
    Framebuffer& picture = host.app.picture;
    if (!host.showAll && !picture.damaged()) {
        return;
    }
    if (host.x11) {
        host.regions.clear();
        if (host.showAll) {
            picture.takeDamage([](Rect) {});
            if (picture.width() > 0 && picture.height() > 0) {
                host.regions.push_back(Rect{0, 0, picture.width(), picture.height()});
            }
            host.showAll = false;
        } else {
            picture.takeDamage([&host](Rect r) { host.regions.push_back(r); });
        }
        host.x11->present(picture, host.regions);
        return;
    }
    const bool locked = SDL_MUSTLOCK(host.surface);
    if (locked) {
        platformCheck(SDL_LockSurface(host.surface) == 0, "SDL_LockSurface");
    }
    host.rects.clear();
    if (host.showAll) {
        picture.takeDamage([](Rect) {});
        const Rect all{0, 0, picture.width(), picture.height()};
        if (all.w > 0 && all.h > 0) {
            copyToSurface(picture, all, *host.surface);
        }
    } else {
        picture.takeDamage([&host, &picture](Rect r) {
            copyToSurface(picture, r, *host.surface);
            host.rects.push_back(SDL_Rect{r.x, r.y, r.w, r.h});
        });
    }
    if (locked) {
        SDL_UnlockSurface(host.surface);
    }
    if (host.showAll) {
        platformCheck(SDL_UpdateWindowSurface(host.window) == 0, "SDL_UpdateWindowSurface");
        host.showAll = false;
    } else {
        platformCheck(
            SDL_UpdateWindowSurfaceRects(host.window, host.rects.data(), static_cast<int>(host.rects.size())) == 0,
            "SDL_UpdateWindowSurfaceRects");
    }
}

// Handles one event; false when the program is to end.
bool handle(Host& host, const SDL_Event& event)
{
    const Input in = translate(event, static_cast<std::uint16_t>(SDL_GetModState()));
    switch (in.kind) {
    case Input::Kind::none: break;
    case Input::Kind::quit: return false;
    case Input::Kind::resized: takeFramebuffer(host); break;
    case Input::Kind::exposed: host.showAll = true; break;
    case Input::Kind::mouseDown: host.app.mouseDown(in.button, in.modifiers, in.x, in.y); break;
    case Input::Kind::keyDown: return host.app.keyDown(in.keyCode, in.modifiers) == KeyOutcome::keepRunning;
    }
    return true;
}

// Whole milliseconds to wait, rounded up so the wait never ends before the deadline.
int waitMilliseconds(TickSchedule::Duration d)
{
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(d).count());
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

// The next event, waiting for it until the next tick is due; false when the deadline came first. On X11 the
// host sleeps on the X connection itself and lets SDL read it only when the server has sent something:
// SDL's own wait runs its whole event pump on every wake-up, which costs more than the tick does.
bool nextEvent(Host& host, SDL_Event& event)
{
    const TickSchedule::Duration left = host.app.schedule.untilNext(Clock::now());
    if (host.xDisplay == nullptr) {
        return SDL_WaitEventTimeout(&event, waitMilliseconds(left)) != 0;
    }
    // Events SDL queued by itself (the window shown, a size it set) come first, without a pump.
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        return true;
    }
    // Xlib may hold events it read while sending; only with none there is the connection the thing to watch.
    if (XEventsQueued(host.xDisplay, QueuedAfterReading) == 0) {
        pollfd connection{ConnectionNumber(host.xDisplay), POLLIN, 0};
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()), static_cast<long>((left - seconds).count())};
        if (ppoll(&connection, 1, &timeout, nullptr) == 0) {
            return false;
        }
        // Readable, closed, or a signal (SDL turns SIGINT and SIGTERM into a quit event): the pump finds out.
    }
    return SDL_PollEvent(&event) != 0;
}

// On X11, a presenter of the program's own for the window SDL made, with the picture moved into its
// images; none where SDL's window is not an X window or its visual is not one the presenter draws on.
void takeX11Presenter(Host& host)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(host.window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    // SDL hands over the window system's handles in a union, tagged by the subsystem checked above.
    const auto& x11 = info.info.x11;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    host.xDisplay = x11.display;
    host.x11 = X11Presenter::create(x11.display, x11.window);
    host.app.picture.usePixelStore(host.x11.get());
}

// The window, its icon and the first show, then events and ticks until the end.
int runWindow(Host& host)
{
    host.window = SDL_CreateWindow(kCaption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kInitialWidth,
                                   kInitialHeight, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    platformCheck(host.window != nullptr, "SDL_CreateWindow");
    setIcon(host.window);
    takeX11Presenter(host);
    SDL_ShowWindow(host.window);
    takeFramebuffer(host);  // the first show: the chain's first reset
    present(host);
    host.app.schedule.start(Clock::now());

    for (;;) {
        if (host.app.tickIfDue(Clock::now())) {
            present(host);
        }
        SDL_Event event;
        if (!nextEvent(host, event)) {
            continue;  // the deadline came first
        }
        do {
            if (!handle(host, event)) {
                return 0;
            }
        } while (SDL_PollEvent(&event) != 0);
        present(host);
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

void report(const Host& host, const std::string& message)
{
    std::fprintf(stderr, "zarvo1: %s\n", message.c_str());
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kCaption, message.c_str(), host.window);
}

}  // namespace

int run()
{
#if defined(__GLIBC__)
    // The picture is the one large allocation, and it follows the window's size. With a fixed threshold
    // every picture larger than 128 kB lives in a mapping of its own that goes back to the system when it
    // is freed. Left to itself the C library raises the threshold after freeing the first large picture,
    // and later ones come from the heap, where a freed picture can stay resident for the rest of the run.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    // A good desktop citizen: the screen saver and lock stay in force, a click that focuses the window is
    // a click, and the compositor is left alone.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");

    // Where to show the window: an X server or a Wayland compositor. With neither, SDL would fall back to an
    // invisible off-screen driver. When only one kind of display is named it is the one to use, so a display
    // that cannot be reached fails at once instead of sending SDL probing elsewhere.
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!hasValue(x11) && !hasValue(wayland)) {
        std::fprintf(stderr, "zarvo1: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
        return 1;
    }
    if (hasValue(x11) != hasValue(wayland)) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, hasValue(x11) ? "x11" : "wayland");
    }
    // Before SDL opens the display, so that SDL's own X error handler passes on to ours.
    XSetIOErrorHandler(lostDisplay);
    XSetErrorHandler(refusedRequest);
    // Video only: the joystick and sensor subsystems would make SDL wake up to poll them.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "zarvo1: cannot reach the display %s (%s)\n", hasValue(x11) ? x11 : wayland,
                     SDL_GetError());
        return 1;
    }
    if (isOffscreen(SDL_GetCurrentVideoDriver())) {
        SDL_Quit();
        std::fprintf(stderr, "zarvo1: no display to open the window on (no display server could be reached)\n");
        return 1;
    }
    SDL_StopTextInput();  // key presses are all the program reads; no text input or input method
    // On X11 the window's framebuffer is plain memory put to the window on demand, rather than a texture
    // that a (possibly software) OpenGL rasteriser redraws. Other drivers have only the texture.
    if (std::string(SDL_GetCurrentVideoDriver()) == "x11") {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }

    // The program ends at once, leaving the window to go away with the process: the display server removes
    // a client's windows when it disconnects. Destroying the window first would race SDL's own wake-up
    // message to it, and the X error that follows turns a clean end into a failed one.
    Host host;
    try {
        return runWindow(host);
    } catch (const RuntimeError& e) {
        report(host, std::string("run-time error: ") + e.what());
    } catch (const std::bad_alloc&) {
        report(host, "out of memory: the window's picture needs more memory than the system gives the program");
    } catch (const std::exception& e) {
        report(host, std::string("unexpected failure: ") + e.what());
    }
    return 1;
}

}  // namespace zarvo::sdl
