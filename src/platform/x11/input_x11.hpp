// The X11 host's translation of what the X server sends into the shared layer's terms, as plain functions
// of plain values, so it is tested without a server.
#pragma once

#include "host/event.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace zarvo::x11 {

// The modifier bits of an event's state field that the keymap names Shift, Control and Alt.
struct ModifierMasks {
    std::uint16_t shift = 0;
    std::uint16_t ctrl = 0;
    std::uint16_t alt = 0;
};

// A press of core pointer button `detail` (1 left, 2 middle, 3 right, 8 and up: other) at (x, y), with the
// modifier bit set (Shift 1, Ctrl 2, Alt 4) of the event's state; lock keys and the rest play no part. The
// wheel (4 to 7) is no press: nothing.
HostEvent buttonEvent(std::uint8_t detail, std::uint16_t state, int x, int y, const ModifierMasks& masks);
// A key press whose key symbol is `keysym`, as the virtual key code the core takes (27 is Escape; 0 for a
// key without one) with the modifier bit set.
HostEvent keyEvent(std::uint32_t keysym, std::uint16_t state, const ModifierMasks& masks);

// The desktop's scale from the resources on the root window (RESOURCE_MANAGER): Xft.dpi over 96, as
// desktop toolkits read it; 1 where it is missing or not a positive number.
double scaleFromResources(std::string_view resources);

// An X error as one line: its name (core errors, and MIT-SHM's BadShmSeg at shmError) and the request.
std::string errorLine(std::uint8_t code, std::uint8_t major, std::uint16_t minor, std::uint8_t shmError);

// Whether anyone can see the window: it is mapped and not wholly covered by other windows.
struct Visibility {
    bool mapped = false;
    bool covered = false;
    bool visible() const { return mapped && !covered; }
};

}  // namespace zarvo::x11
