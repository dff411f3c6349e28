// The seat's glue between the pointer and the window, as plain functions tested without a compositor: which
// part of the window a pointer event belongs to, and what a button there asks of the frame.
#pragma once

#include "platform/wayland/frame_look.hpp"

#include <cstdint>

struct wl_surface;

namespace zarvo::wl {

// Which part of the window a pointer event on the surface `under` belongs to: the picture (the window's own
// surface), the frame (another surface of ours, while the frame is shown) or nothing (none, or the frame
// hidden).
enum class PointerOver { nothing, picture, frame };
PointerOver pointerOver(const wl_surface* under, const wl_surface* window, bool frameShown);

// What lies under the pointer at (x, y), in the client area's coordinates and the desktop's units.
FramePart partUnderPointer(PointerOver over, const FrameGeometry& frame, float x, float y);

// A wl_pointer button as the frame tells them apart.
FrameButton frameButton(std::uint32_t code);

// The edge (xdg_toplevel's resize_edge) a drag on that part of the frame resizes the window by; none where
// the part is no edge.
std::uint32_t resizeEdge(FramePart part);

}  // namespace zarvo::wl
