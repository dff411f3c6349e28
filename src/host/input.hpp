// What a host's translation of its platform's input produces besides the event itself: the mouse buttons as a
// host sees them, and the core's codes for them and for the modifiers held.
#pragma once

#include "core/input_codes.hpp"

#include <cstdint>

namespace zarvo {

// The platform's mouse buttons, as a host sees them.
enum class PointerButton { left, right, middle, other };

constexpr std::int16_t buttonCode(PointerButton b)
{
    switch (b) {
    case PointerButton::left: return kButtonLeft;
    case PointerButton::right: return kButtonRight;
    case PointerButton::middle: return kButtonMiddle;
    case PointerButton::other: break;
    }
    return 0;  // no button the chain knows: only a new follow factor
}

// The modifier bit set: Shift, Ctrl and Alt only; lock keys and other modifiers play no part.
constexpr std::int16_t modifierBits(bool shift, bool ctrl, bool alt)
{
    return static_cast<std::int16_t>((shift ? kShift : 0) | (ctrl ? kCtrl : 0) | (alt ? kAlt : 0));
}

}  // namespace zarvo
