// The window's frame on compositors that draw none: a title bar with the caption and three buttons above the
// client area and, while the window floats, a thin shadow round both that a drag resizes the window by. Its
// geometry, what lies under the pointer and its pixels, as plain functions so it is tested without a
// compositor; the host puts the pieces on sub-surfaces of the window.
#pragma once

#include "core/framebuffer.hpp"
#include "platform/wayland/wayland_scale.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zarvo::wl {

inline constexpr int kTitleHeight = 24;  // the title bar, above the client area
inline constexpr int kShadow = 8;        // the band round a floating window: shadow, and the handle for resizing
inline constexpr int kButtonWidth = 32;  // close, maximise and minimise, from the right
inline constexpr int kCornerReach = 16;  // how far along an edge from a corner a drag takes the corner

// What lies under a point of the window.
enum class FramePart {
    outside,
    picture,
    caption,  // the title bar where it is no button: a drag moves the window
    minimise,
    maximise,
    close,
    resizeTop,
    resizeBottom,
    resizeLeft,
    resizeRight,
    resizeTopLeft,
    resizeTopRight,
    resizeBottomLeft,
    resizeBottomRight,
};

bool isButton(FramePart part);
bool isResize(FramePart part);

// The pointer's image over that part, by its cursor theme name ("left_ptr" where nothing else fits).
const char* cursorName(FramePart part);

// The frame round a client area of width x height, floating or not (maximised, tiled or fullscreen windows
// have no shadow and cannot be resized by their frame). Coordinates are in the desktop's units, relative to
// the client area's top-left corner, so the title bar lies at negative y; the pieces' pixels are drawn at
// the scale, a piece of w x h units in scale.device(w) x scale.device(h) device pixels.
struct FrameGeometry {
    int width = 0;
    int height = 0;
    bool floating = true;
    Scale scale;

    friend bool operator==(const FrameGeometry&, const FrameGeometry&) = default;

    int shadow() const { return floating ? kShadow : 0; }
    FramePart partAt(int x, int y) const;

    // The four pieces the frame is drawn in: the title bar with the band above it, the bands at the left
    // and the right of the client area, and the band below it (the last three empty when not floating).
    enum class Piece { top, left, right, bottom };
    static constexpr int kPieces = 4;
    Rect piece(Piece which) const;

private:
    FramePart bandPart(int x, int y) const;
};

// How the title bar looks just now.
struct FrameLook {
    bool active = true;      // the window has the keyboard
    bool maximised = false;  // the maximise button shows the restore sign
    FramePart hovered = FramePart::outside;
    FramePart pressed = FramePart::outside;
    friend bool operator==(const FrameLook&, const FrameLook&) = default;
};

// What a click on the frame asks of the compositor.
enum class FrameRequest { none, move, resize, windowMenu, toggleMaximised, minimise, close };
enum class FrameButton { left, right, other };

// The frame's answer to the pointer's buttons: a press on the title bar moves the window and a second one
// soon after toggles maximised, the right button there opens the window menu, a press on the band resizes,
// and a button acts when the press that lit it is let go over it. The look's pressed part follows.
class FrameClicks {
public:
    static constexpr std::uint32_t kDoubleClickMs = 400;

    FrameRequest press(FramePart part, FrameButton button, std::uint32_t timeMs, FrameLook& look);
    FrameRequest release(FramePart part, FrameButton button, FrameLook& look);

private:
    bool captionPressed_ = false;  // the last press was a first one on the title bar
    std::uint32_t captionTime_ = 0;
};

// Draws one piece into `pixels` (premultiplied ARGB, top row first): the piece's rectangle in device pixels,
// its width and height in units each at the geometry's scale. A unit's edges fall on the device pixels
// nearest to them, so at a scale between whole numbers the lines stay crisp, some a pixel thicker.
void drawPiece(std::span<std::uint32_t> pixels, const FrameGeometry& frame, FrameGeometry::Piece which,
               const FrameLook& look, std::string_view caption);

}  // namespace zarvo::wl
