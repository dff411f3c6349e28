// The Wayland host's translation of input codes, modifier names and configure sizes.
#include "platform/wayland/input_wayland.hpp"

#include "host/app.hpp"

#include <algorithm>

#include <linux/input-event-codes.h>

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

HostEvent pictureClick(std::uint32_t code, std::int16_t modifiers, float x, float y, Scale scale)
{
    return {.kind = HostEvent::Kind::mouseDown,
            .button = pointerButton(code),
            .modifiers = modifiers,
            .x = static_cast<float>(scale.device(static_cast<double>(x))),
            .y = static_cast<float>(scale.device(static_cast<double>(y)))};
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

ConfigureSizing::ConfigureSizing() : floating_{kInitialWidth, kInitialHeight} {}

ConfigureSizing::Size ConfigureSizing::configure(bool given, int width, int height, bool floating)
{
    const Size size = given && width > 0 && height > 0 ? Size{width, height} : floating_;
    if (floating) {
        floating_ = size;
    }
    return size;
}

}  // namespace zarvo::wl
