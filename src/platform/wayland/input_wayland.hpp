// The Wayland host's translation of the compositor's input and configure events into the shared layer's
// terms, as plain functions of plain values so it is tested without a compositor.
#pragma once

#include "host/event.hpp"
#include "platform/wayland/frame_look.hpp"
#include "platform/wayland/wayland_scale.hpp"

#include <cstdint>
#include <functional>
#include <span>

struct wl_surface;

namespace zarvo::wl {

// A wl_pointer button (the kernel's input event code): left, right, middle; every other one is `other`.
PointerButton pointerButton(std::uint32_t code);

// The modifier bit set (Shift 1, Ctrl 2, Alt 4) from the keymap's modifier names: `active` says whether the
// modifier of that name is in effect. Lock keys, AltGr and the logo key play no part.
std::int16_t modifiers(const std::function<bool(const char* name)>& active);

// Which part of the window a pointer event on the surface `under` belongs to: the picture (the window's own
// surface), the frame (another surface of ours, while the frame is shown) or nothing (none, or the frame
// hidden).
enum class PointerOver { nothing, picture, frame };
PointerOver pointerOver(const wl_surface* under, const wl_surface* window, bool frameShown);

// What lies under the pointer at (x, y), in the client area's coordinates and the desktop's units.
FramePart partUnderPointer(PointerOver over, const FrameGeometry& frame, float x, float y);

// A press on the picture as the shared layer's click: the pointer comes in the desktop's units, the picture
// has a pixel per device pixel.
HostEvent pictureClick(std::uint32_t code, std::int16_t modifiers, float x, float y, Scale scale);

// A wl_pointer button as the frame tells them apart.
FrameButton frameButton(std::uint32_t code);

// The edge (xdg_toplevel's resize_edge) a drag on that part of the frame resizes the window by; none where
// the part is no edge.
std::uint32_t resizeEdge(FramePart part);

// The scale of the window's picture (device pixels per unit of the desktop): the largest of the outputs the
// window is on, so it is crisp on the sharpest of them; before it is on any, the largest of all, where it
// most likely opens; 1 without outputs. Scales below 1 count as 1.
int surfaceScale(std::span<const int> entered, std::span<const int> all);

// The client area a configure event asks for. The compositor names a size when it maximises the window or
// the user drags its frame, and leaves the size to the window (0 x 0, or none) when it opens or goes back
// to floating: then the window takes the size it last had while floating, 503 x 380 at first.
class ConfigureSizing {
public:
    struct Size {
        int width;
        int height;
    };
    // given: whether the compositor named a size; floating: neither maximised, fullscreen nor tiled.
    Size configure(bool given, int width, int height, bool floating);

private:
    Size floating_{kInitialWidth, kInitialHeight};
};

}  // namespace zarvo::wl
