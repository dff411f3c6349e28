// The Wayland host's translation of input codes, modifier names and configure sizes.
#include "platform/wayland/input_wayland.hpp"

#include <algorithm>

#include <linux/input-event-codes.h>

#include <xkbcommon/xkbcommon-names.h>
#include "xdg-shell-client-protocol.h"

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

PointerOver pointerOver(const wl_surface* under, const wl_surface* window, bool frameShown)
{
    if (under != nullptr && under == window) {
        return PointerOver::picture;
    }
    return under != nullptr && frameShown ? PointerOver::frame : PointerOver::nothing;
}

FramePart partUnderPointer(PointerOver over, const FrameGeometry& frame, float x, float y)
{
    switch (over) {
    case PointerOver::picture: return FramePart::picture;
    case PointerOver::frame: return frame.partAt(static_cast<int>(x), static_cast<int>(y));
    case PointerOver::nothing: break;
    }
    return FramePart::outside;
}

HostEvent pictureClick(std::uint32_t code, std::int16_t modifiers, float x, float y, Scale scale)
{
    return {.kind = HostEvent::Kind::mouseDown,
            .button = pointerButton(code),
            .modifiers = modifiers,
            .x = static_cast<float>(scale.device(static_cast<double>(x))),
            .y = static_cast<float>(scale.device(static_cast<double>(y)))};
}

FrameButton frameButton(std::uint32_t code)
{
    return code == BTN_LEFT ? FrameButton::left : (code == BTN_RIGHT ? FrameButton::right : FrameButton::other);
}

std::uint32_t resizeEdge(FramePart part)
{
    switch (part) {
    case FramePart::resizeTop: return XDG_TOPLEVEL_RESIZE_EDGE_TOP;
    case FramePart::resizeBottom: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM;
    case FramePart::resizeLeft: return XDG_TOPLEVEL_RESIZE_EDGE_LEFT;
    case FramePart::resizeRight: return XDG_TOPLEVEL_RESIZE_EDGE_RIGHT;
    case FramePart::resizeTopLeft: return XDG_TOPLEVEL_RESIZE_EDGE_TOP_LEFT;
    case FramePart::resizeTopRight: return XDG_TOPLEVEL_RESIZE_EDGE_TOP_RIGHT;
    case FramePart::resizeBottomLeft: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_LEFT;
    case FramePart::resizeBottomRight: return XDG_TOPLEVEL_RESIZE_EDGE_BOTTOM_RIGHT;
    default: return XDG_TOPLEVEL_RESIZE_EDGE_NONE;
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
