// The X11 host's translation of buttons, keys, the desktop's resources and errors.
#include "platform/x11/input_x11.hpp"

#include "platform/linux/linux_keys.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace zarvo::x11 {

std::int16_t modifiers(std::uint16_t state, const ModifierMasks& masks)
{
    return modifierBits((state & masks.shift) != 0, (state & masks.ctrl) != 0, (state & masks.alt) != 0);
}

HostEvent buttonEvent(std::uint8_t detail, std::uint16_t state, int x, int y, const ModifierMasks& masks)
{
    constexpr std::array<PointerButton, 4> kButtons{PointerButton::other, PointerButton::left, PointerButton::middle,
                                                    PointerButton::right};
    if (detail >= 4 && detail <= 7) {
        return {};  // the wheel
    }
    return {.kind = HostEvent::Kind::mouseDown,
            .button = detail < kButtons.size() ? kButtons.at(detail) : PointerButton::other,
            .modifiers = modifiers(state, masks),
            .x = static_cast<float>(x),
            .y = static_cast<float>(y)};
}

HostEvent keyEvent(std::uint32_t keysym, std::uint16_t state, const ModifierMasks& masks)
{
    return {.kind = HostEvent::Kind::keyDown, .modifiers = modifiers(state, masks), .keyCode = lnx::virtualKey(keysym)};
}

double scaleFromResources(std::string_view resources)
{
    constexpr std::string_view kDpi = "Xft.dpi:";
    for (std::size_t at = 0; at < resources.size();) {
        const std::size_t end = std::min(resources.find('\n', at), resources.size());
        if (const std::string_view line = resources.substr(at, end - at); line.starts_with(kDpi)) {
            const double dpi = std::strtod(std::string(line.substr(kDpi.size())).c_str(), nullptr);
            return dpi > 0.0 && dpi < 96.0 * 16 ? dpi / 96.0 : 1.0;
        }
        at = end + 1;
    }
    return 1.0;
}

std::string errorLine(std::uint8_t code, std::uint8_t major, std::uint16_t minor)
{
    static constexpr std::array<const char*, 18> kCore{
        "error 0",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    const std::string name = code < kCore.size() ? kCore.at(code) : "error " + std::to_string(code);
    return "the X server refused a request: " + name + ", request " + std::to_string(major) + "." +
           std::to_string(minor);
}

}  // namespace zarvo::x11
