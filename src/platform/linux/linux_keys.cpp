// The key symbols' table.
#include "platform/linux/linux_keys.hpp"

#include "core/input_codes.hpp"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace zarvo::lnx {

std::int16_t virtualKey(std::uint32_t keysym)
{
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) {
        return static_cast<std::int16_t>(keysym - XKB_KEY_a + 'A');
    }
    if ((keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) || (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9)) {
        return static_cast<std::int16_t>(keysym);
    }
    switch (keysym) {
    case XKB_KEY_Escape: return kEscape;
    case XKB_KEY_BackSpace: return 0x08;
    case XKB_KEY_Tab: return 0x09;
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter: return 0x0D;
    case XKB_KEY_space: return 0x20;
    default: return 0;
    }
}

}  // namespace zarvo::lnx
