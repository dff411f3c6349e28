// The Linux window (SDL2): the program's entry, and the translation of SDL's events to the core's values,
// kept apart so it can be tested without a display. Only host_sdl.cpp includes SDL; this header names SDL's
// event and surface types without their definitions.
#pragma once

#include "window/hosts/app.hpp"

#include <cstdint>

union SDL_Event;
struct SDL_Surface;

namespace zarvo::sdl {

// One platform event as the host acts on it.
struct Input {
    enum class Kind {
        none,       // nothing for the program: key releases, mouse moves, the wheel and the rest
        quit,       // the window was closed
        resized,    // the client area changed size
        exposed,    // the window's pixels need showing again (uncovered, restored, shown)
        mouseDown,  // button, modifiers, x, y
        keyDown     // keyCode, modifiers
    };
    Kind kind = Kind::none;
    PointerButton button = PointerButton::other;
    std::int16_t modifiers = 0;
    std::int16_t keyCode = 0;
    float x = 0.0F;
    float y = 0.0F;
};

// An SDL key code as the virtual key code the core takes (27 is Escape); 0 for a key without one.
std::int16_t virtualKey(std::int32_t sdlKey);
// An SDL mouse button: left, right, middle; every other button is `other`.
PointerButton pointerButton(std::uint8_t sdlButton);
// SDL's modifier state as the bit set Shift 1, Ctrl 2, Alt 4 (either side of each); lock keys, AltGr and
// the logo keys play no part.
std::int16_t modifiers(std::uint16_t sdlKeymod);
// The event as the host acts on it. A mouse event carries no modifiers, so the caller passes the keyboard's
// modifier state at the time the event is handled.
Input translate(const SDL_Event& event, std::uint16_t sdlKeymod);

// Copies a region of the picture into a surface of any pixel format SDL can convert to. The region must
// lie inside both. Raises a run-time error when SDL cannot convert.
void copyToSurface(const Framebuffer& picture, Rect region, SDL_Surface& surface);

// Opens the window and runs until Escape or the window is closed. Returns the process's exit status:
// 0 for those two, non-zero after a failure, which has been reported.
int run();

}  // namespace zarvo::sdl
