// The window's frame on a compositor that draws none: its four pieces (title bar, left, right and bottom
// bands) as sub-surfaces of the window's surface, each with a small shared-memory buffer drawn anew only
// when the size, the state or the look changes. Like every sub-surface state, what is set here shows with
// the window surface's next commit, together with the picture of the new size. Where the compositor takes
// scales between whole numbers, each piece has a viewport that shows its buffer (a device pixel to a pixel)
// at the piece's size in units; elsewhere the buffers carry the whole scale.
#pragma once

#include "platform/wayland/frame_look.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct wl_buffer;
struct wl_compositor;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;

namespace zarvo::wl {

class WindowFrame {
public:
    // The viewporter where the window follows the compositor's fractional scale, null elsewhere.
    WindowFrame(wl_compositor* compositor, wl_subcompositor* subcompositor, wl_shm* shm, wp_viewporter* viewporter,
                wl_surface* window, std::string caption);
    ~WindowFrame();
    WindowFrame(const WindowFrame&) = delete;
    WindowFrame& operator=(const WindowFrame&) = delete;
    WindowFrame(WindowFrame&&) = delete;
    WindowFrame& operator=(WindowFrame&&) = delete;

    // Shows the frame round a client area of that geometry with that look; draws only when either changed.
    // Returns whether anything changed (the window's surface then has to be committed for it to show).
    bool show(const FrameGeometry& geometry, const FrameLook& look);
    // A new look for the frame as it is (a button under the pointer or pressed): only the title bar is
    // drawn again, and only when the look changed and the frame is shown. Returns whether it was.
    bool restyle(const FrameLook& look);
    // Takes the frame away (server-side decorations, or fullscreen). Returns whether it was shown.
    bool hide();

    const FrameGeometry& geometry() const { return geometry_; }
    const FrameLook& look() const { return look_; }
    bool shown() const { return shown_; }
    // Whether the surface is one of the frame's pieces; its offset from the client area's corner if so.
    std::optional<std::array<int, 2>> offsetOf(const wl_surface* surface) const;

private:
    struct Piece {
        wl_surface* surface = nullptr;
        wl_subsurface* sub = nullptr;
        wp_viewport* viewport = nullptr;  // with the fractional scale
    };
    // Draws the pieces from `first` on (the title bar is the first): all of them, or the title bar alone.
    void draw(int first, int end);

    wl_shm* shm_;
    std::string caption_;
    std::array<Piece, FrameGeometry::kPieces> pieces_{};
    FrameGeometry geometry_{};
    FrameLook look_{};
    bool shown_ = false;
};

}  // namespace zarvo::wl
