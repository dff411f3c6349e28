// The Wayland host's translation of the compositor's input and configure events into the shared layer's
// terms, as plain functions of plain values so it is tested without a compositor.
#pragma once

#include "host/event.hpp"
#include "platform/wayland/wayland_scale.hpp"

#include <cstdint>
#include <functional>
#include <span>

namespace zarvo::wl {

// A wl_pointer button (the kernel's input event code): left, right, middle; every other one is `other`.
PointerButton pointerButton(std::uint32_t code);

// The modifier bit set (Shift 1, Ctrl 2, Alt 4) from the keymap's modifier names: `active` says whether the
// modifier of that name is in effect. Lock keys, AltGr and the logo key play no part.
std::int16_t modifiers(const std::function<bool(const char* name)>& active);

// A press on the picture as the shared layer's click: the pointer comes in the desktop's units, the picture
// has a pixel per device pixel.
HostEvent pictureClick(std::uint32_t code, std::int16_t modifiers, float x, float y, Scale scale);

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
    ConfigureSizing();
    Size configure(bool given, int width, int height, bool floating);

private:
    Size floating_;
};

}  // namespace zarvo::wl
