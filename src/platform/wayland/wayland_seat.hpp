// The seat: the pointer over the window (its image from the user's cursor theme, a click on the picture for
// the shared layer, one on the frame for the window) and the keyboard with its keymap and modifiers.
#pragma once

#include "platform/wayland/frame_look.hpp"
#include "platform/wayland/wayland_globals.hpp"

#include <cstdint>

struct wl_cursor_theme;
struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_surface;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace zarvo::wl {

class Window;

class Seat {
public:
    // Raises a run-time error where libxkbcommon cannot start. The globals are bound later, before the
    // window opens; the pointer's image needs them only once the pointer comes over the window.
    Seat(Relay& relay, const Globals& globals, Window& window);
    ~Seat();
    Seat(const Seat&) = delete;
    Seat& operator=(const Seat&) = delete;
    Seat(Seat&&) = delete;
    Seat& operator=(Seat&&) = delete;

    // The registry's first seat (global `name`, at most version 5): bound and listened to.
    void bind(wl_registry* registry, std::uint32_t name, std::uint32_t version);
    bool bound() const { return seat_ != nullptr; }
    // The window's scale: the pointer's images are loaded again at the new size the next time they show.
    void setScale(int scale);

private:
    friend struct SeatEvents;
    void showCursor(FramePart part);
    FramePart partUnderPointer() const;
    void trackPointer(float x, float y);
    void button(std::uint32_t serial, std::uint32_t time, std::uint32_t code, bool pressed);

    Relay& relay_;
    const Globals& globals_;
    Window& window_;
    wl_seat* seat_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    int scale_ = 1;

    wl_cursor_theme* cursorTheme_ = nullptr;  // the user's pointer images
    wl_surface* cursorSurface_ = nullptr;
    const char* cursorShown_ = nullptr;  // the name of the image the pointer has now
    bool cursorTried_ = false;

    wl_surface* pointerSurface_ = nullptr;  // the surface under the pointer: the picture or a piece of the frame
    std::uint32_t pointerSerial_ = 0;       // the serial of the pointer's arrival there, for its image
    float pointerX_ = 0.0F;  // in the client area's coordinates and the desktop's units (the title bar at negative y)
    float pointerY_ = 0.0F;
    FrameClicks frameClicks_;

    xkb_context* xkb_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* keys_ = nullptr;
    std::int16_t modifiers_ = 0;
};

}  // namespace zarvo::wl
