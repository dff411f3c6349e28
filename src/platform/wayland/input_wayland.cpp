// The Wayland host's translation of input codes, modifier names and configure sizes.
#include "platform/wayland/input_wayland.hpp"

#include <algorithm>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-names.h>

namespace zarvo::wl {

PointerButton pointerButton(std::uint32_t code)
{
    switch (code) {
    case BTN_LEFT: return PointerButton::left;
    case BTN_RIGHT: return PointerButton::right;
    case BTN_MIDDLE: return PointerButton::middle;
    default: return PointerButton::other;
    }
}

std::int16_t modifiers(const std::function<bool(const char* name)>& active)
{
    return modifierBits(active(XKB_MOD_NAME_SHIFT), active(XKB_MOD_NAME_CTRL), active(XKB_MOD_NAME_ALT));
}

std::int16_t virtualKey(std::uint32_t keysym)
{
    // Letters and digits: the virtual key code is the uppercase character.
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

int surfaceScale(std::span<const int> entered, std::span<const int> all)
{
    const std::span<const int> from = entered.empty() ? all : entered;
    int scale = 1;
    for (const int s : from) {
        scale = std::max(scale, s);
    }
    return scale;
}

ConfigureSizing::Size ConfigureSizing::configure(bool given, int width, int height, bool floating)
{
    const Size size = given && width > 0 && height > 0 ? Size{width, height} : floating_;
    if (floating) {
        floating_ = size;
    }
    return size;
}

}  // namespace zarvo::wl
