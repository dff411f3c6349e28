// The X11 host's translation of buttons, modifier states, key symbols, the desktop's resources and errors.
#include "platform/x11/input_x11.hpp"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace zarvo::x11 {

namespace {

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

std::int16_t modifiers(std::uint16_t state, const ModifierMasks& masks)
{
    return modifierBits((state & masks.shift) != 0, (state & masks.ctrl) != 0, (state & masks.alt) != 0);
}

}  // namespace

HostEvent buttonEvent(std::uint8_t detail, std::uint16_t state, int x, int y, const ModifierMasks& masks)
{
    constexpr std::array<PointerButton, 4> kButtons{PointerButton::other, PointerButton::left, PointerButton::middle,
                                                    PointerButton::right};
    if (detail >= 4 && detail <= 7) {
        return {};
    }
    return {.kind = HostEvent::Kind::mouseDown,
            .button = detail < kButtons.size() ? kButtons.at(detail) : PointerButton::other,
            .modifiers = modifiers(state, masks),
            .x = static_cast<float>(x),
            .y = static_cast<float>(y)};
}

HostEvent keyEvent(std::uint32_t keysym, std::uint16_t state, const ModifierMasks& masks)
{
    return {.kind = HostEvent::Kind::keyDown, .modifiers = modifiers(state, masks), .keyCode = virtualKey(keysym)};
}

double scaleFromResources(std::string_view resources)
{
    constexpr std::string_view kDpi = "Xft.dpi:";
    for (std::size_t at = 0; at < resources.size();) {
        const std::size_t end = std::min(resources.find('\n', at), resources.size());
        const std::string_view line = resources.substr(at, end - at);
        if (line.starts_with(kDpi)) {
            const std::string value(line.substr(kDpi.size()));
            char* rest = nullptr;
            const double dpi = std::strtod(value.c_str(), &rest);
            return dpi > 0.0 && dpi < 96.0 * 16 ? dpi / 96.0 : 1.0;
        }
        at = end + 1;
    }
    return 1.0;
}

std::string errorLine(std::uint8_t code, std::uint8_t major, std::uint16_t minor, std::uint8_t shmError)
{
    static constexpr std::array<const char*, 18> kCore{
        "error 0",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    std::string name = code < kCore.size() ? kCore.at(code) : "error " + std::to_string(code);
    if (shmError != 0 && code == shmError) {
        name = "BadShmSeg";
    }
    return "the X server refused a request: " + name + ", request " + std::to_string(major) + "." +
           std::to_string(minor);
}

}  // namespace zarvo::x11
