// The X11 host's translation of what the X server sends, as plain functions tested without a server.
#pragma once

#include "host/event.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvo::x11 {

// The bits of an event's state that the keymap names Shift, Control and Alt.
struct ModifierMasks {
    std::uint16_t shift = 0;
    std::uint16_t ctrl = 0;
    std::uint16_t alt = 0;
};

// The modifier bits (Shift 1, Ctrl 2, Alt 4) of an event's state; lock keys play no part.
std::int16_t modifiers(std::uint16_t state, const ModifierMasks& masks);
// A press of core button `detail` (1 left, 2 middle, 3 right, 8 and up other) at (x, y); the wheel (4 to 7)
// is nothing.
HostEvent buttonEvent(std::uint8_t detail, std::uint16_t state, int x, int y, const ModifierMasks& masks);
// A key press as the core's virtual key code (27 is Escape; 0 for a key without one) and modifier bits.
HostEvent keyEvent(std::uint32_t keysym, std::uint16_t state, const ModifierMasks& masks);

// The desktop's scale from the root window's resources (RESOURCE_MANAGER): Xft.dpi over 96, as desktop
// toolkits read it; 1 where it is missing or not a sensible number.
double scaleFromResources(std::string_view resources);

// An X error as one line: its name (an extension's by its number) and the request's major and minor code.
std::string errorLine(std::uint8_t code, std::uint8_t major, std::uint16_t minor);

}  // namespace zarvo::x11
