// The Linux host's translation of SDL's events into the shared layer's events, kept apart from the window
// so it can be tested without a display. This header names SDL's event type without its definition.
#pragma once

#include "host/event.hpp"

#include <cstdint>

union SDL_Event;

namespace zarvo::sdl {

// An SDL key code as the virtual key code the core takes (27 is Escape); 0 for a key without one.
std::int16_t virtualKey(std::int32_t sdlKey);
// An SDL mouse button: left, right, middle; every other button is `other`.
PointerButton pointerButton(std::uint8_t sdlButton);
// SDL's modifier state as the bit set Shift 1, Ctrl 2, Alt 4 (either side of each); lock keys, AltGr and
// the logo keys play no part.
std::int16_t modifiers(std::uint16_t sdlKeymod);
// The event as the host acts on it. A mouse event carries no modifiers, so the caller passes the keyboard's
// modifier state at the time the event is handled. A size report carries the size SDL reports.
HostEvent translate(const SDL_Event& event, std::uint16_t sdlKeymod);

}  // namespace zarvo::sdl
