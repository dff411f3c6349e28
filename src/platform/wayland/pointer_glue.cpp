// Where a pointer event belongs and what a button there asks.
#include "platform/wayland/pointer_glue.hpp"

#include <linux/input-event-codes.h>

#include "xdg-shell-client-protocol.h"

namespace zarvo::wl {

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

}  // namespace zarvo::wl
