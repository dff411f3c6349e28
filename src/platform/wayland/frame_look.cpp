// The window's frame on compositors that draw none: where its parts lie and how its pieces are drawn.
#include "platform/wayland/frame_look.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zarvo::wl {

namespace {

constexpr std::uint32_t kBarActive = 0xff2b2b2bU;
constexpr std::uint32_t kBarInactive = 0xff3c3c3cU;
constexpr std::uint32_t kInkActive = 0xffffffffU;
constexpr std::uint32_t kInkInactive = 0xffa8a8a8U;
constexpr std::uint32_t kButtonHovered = 0xff4a4a4aU;
constexpr std::uint32_t kButtonPressed = 0xff5c5c5cU;
constexpr std::uint32_t kCloseHovered = 0xffc42b1cU;
constexpr std::uint32_t kClosePressed = 0xff9e2216U;
constexpr double kShadowAlpha = 80.0;  // of 255, next to the frame; it fades out over the band

// The caption's letters: every printable ASCII character, 5 units wide and 7 high, a byte per column with
// the top row in the lowest bit. Drawn bold (each stroke one unit wider to the right), a letter takes 7
// units with the space after it; anything else leaves a gap as wide.
constexpr int kGlyphHeight = 7;
constexpr int kGlyphColumns = 5;
constexpr int kAdvance = kGlyphColumns + 2;
constexpr char kFirstGlyph = ' ';
using Glyph = std::array<std::uint8_t, kGlyphColumns>;
constexpr std::array<Glyph, 95> kFont{{
    {0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x5f, 0x00, 0x00}, {0x00, 0x07, 0x00, 0x07, 0x00},  //   ! "
    {0x14, 0x7f, 0x14, 0x7f, 0x14}, {0x24, 0x2a, 0x7f, 0x2a, 0x12}, {0x23, 0x13, 0x08, 0x64, 0x62},  // # $ %
    {0x36, 0x49, 0x55, 0x22, 0x50}, {0x00, 0x05, 0x03, 0x00, 0x00}, {0x00, 0x1c, 0x22, 0x41, 0x00},  // & ' (
    {0x00, 0x41, 0x22, 0x1c, 0x00}, {0x14, 0x08, 0x3e, 0x08, 0x14}, {0x08, 0x08, 0x3e, 0x08, 0x08},  // ) * +
    {0x00, 0x50, 0x30, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08}, {0x00, 0x60, 0x60, 0x00, 0x00},  // , - .
    {0x20, 0x10, 0x08, 0x04, 0x02}, {0x3e, 0x51, 0x49, 0x45, 0x3e}, {0x00, 0x42, 0x7f, 0x40, 0x00},  // / 0 1
    {0x42, 0x61, 0x51, 0x49, 0x46}, {0x21, 0x41, 0x45, 0x4b, 0x31}, {0x18, 0x14, 0x12, 0x7f, 0x10},  // 2 3 4
    {0x27, 0x45, 0x45, 0x45, 0x39}, {0x3c, 0x4a, 0x49, 0x49, 0x30}, {0x01, 0x71, 0x09, 0x05, 0x03},  // 5 6 7
    {0x36, 0x49, 0x49, 0x49, 0x36}, {0x06, 0x49, 0x49, 0x29, 0x1e}, {0x00, 0x36, 0x36, 0x00, 0x00},  // 8 9 :
    {0x00, 0x56, 0x36, 0x00, 0x00}, {0x08, 0x14, 0x22, 0x41, 0x00}, {0x14, 0x14, 0x14, 0x14, 0x14},  // ; < =
    {0x00, 0x41, 0x22, 0x14, 0x08}, {0x02, 0x01, 0x51, 0x09, 0x06}, {0x32, 0x49, 0x79, 0x41, 0x3e},  // > ? @
    {0x7e, 0x11, 0x11, 0x11, 0x7e}, {0x7f, 0x49, 0x49, 0x49, 0x36}, {0x3e, 0x41, 0x41, 0x41, 0x22},  // A B C
    {0x7f, 0x41, 0x41, 0x22, 0x1c}, {0x7f, 0x49, 0x49, 0x49, 0x41}, {0x7f, 0x09, 0x09, 0x09, 0x01},  // D E F
    {0x3e, 0x41, 0x49, 0x49, 0x7a}, {0x7f, 0x08, 0x08, 0x08, 0x7f}, {0x00, 0x41, 0x7f, 0x41, 0x00},  // G H I
    {0x20, 0x40, 0x41, 0x3f, 0x01}, {0x7f, 0x08, 0x14, 0x22, 0x41}, {0x7f, 0x40, 0x40, 0x40, 0x40},  // J K L
    {0x7f, 0x02, 0x0c, 0x02, 0x7f}, {0x7f, 0x04, 0x08, 0x10, 0x7f}, {0x3e, 0x41, 0x41, 0x41, 0x3e},  // M N O
    {0x7f, 0x09, 0x09, 0x09, 0x06}, {0x3e, 0x41, 0x51, 0x21, 0x5e}, {0x7f, 0x09, 0x19, 0x29, 0x46},  // P Q R
    {0x46, 0x49, 0x49, 0x49, 0x31}, {0x01, 0x01, 0x7f, 0x01, 0x01}, {0x3f, 0x40, 0x40, 0x40, 0x3f},  // S T U
    {0x1f, 0x20, 0x40, 0x20, 0x1f}, {0x3f, 0x40, 0x38, 0x40, 0x3f}, {0x63, 0x14, 0x08, 0x14, 0x63},  // V W X
    {0x07, 0x08, 0x70, 0x08, 0x07}, {0x61, 0x51, 0x49, 0x45, 0x43}, {0x00, 0x7f, 0x41, 0x41, 0x00},  // Y Z [
    {0x02, 0x04, 0x08, 0x10, 0x20}, {0x00, 0x41, 0x41, 0x7f, 0x00}, {0x04, 0x02, 0x01, 0x02, 0x04},  // \ ] ^
    {0x40, 0x40, 0x40, 0x40, 0x40}, {0x00, 0x01, 0x02, 0x04, 0x00}, {0x20, 0x54, 0x54, 0x54, 0x78},  // _ ` a
    {0x7f, 0x48, 0x44, 0x44, 0x38}, {0x38, 0x44, 0x44, 0x44, 0x20}, {0x38, 0x44, 0x44, 0x48, 0x7f},  // b c d
    {0x38, 0x54, 0x54, 0x54, 0x18}, {0x08, 0x7e, 0x09, 0x01, 0x02}, {0x0c, 0x52, 0x52, 0x52, 0x3e},  // e f g
    {0x7f, 0x08, 0x04, 0x04, 0x78}, {0x00, 0x44, 0x7d, 0x40, 0x00}, {0x20, 0x40, 0x44, 0x3d, 0x00},  // h i j
    {0x7f, 0x10, 0x28, 0x44, 0x00}, {0x00, 0x41, 0x7f, 0x40, 0x00}, {0x7c, 0x04, 0x18, 0x04, 0x78},  // k l m
    {0x7c, 0x08, 0x04, 0x04, 0x78}, {0x38, 0x44, 0x44, 0x44, 0x38}, {0x7c, 0x14, 0x14, 0x14, 0x08},  // n o p
    {0x08, 0x14, 0x14, 0x18, 0x7c}, {0x7c, 0x08, 0x04, 0x04, 0x08}, {0x48, 0x54, 0x54, 0x54, 0x20},  // q r s
    {0x04, 0x3f, 0x44, 0x40, 0x20}, {0x3c, 0x40, 0x40, 0x20, 0x7c}, {0x1c, 0x20, 0x40, 0x20, 0x1c},  // t u v
    {0x3c, 0x40, 0x30, 0x40, 0x3c}, {0x44, 0x28, 0x10, 0x28, 0x44}, {0x0c, 0x50, 0x50, 0x50, 0x3c},  // w x y
    {0x44, 0x64, 0x54, 0x4c, 0x44}, {0x00, 0x08, 0x36, 0x41, 0x00}, {0x00, 0x00, 0x7f, 0x00, 0x00},  // z { |
    {0x00, 0x41, 0x36, 0x08, 0x00}, {0x08, 0x04, 0x08, 0x10, 0x08},                                  // } ~
}};

const Glyph* glyphOf(char letter)
{
    const int index = letter - kFirstGlyph;
    return index >= 0 && index < static_cast<int>(kFont.size()) ? &kFont[static_cast<std::size_t>(index)] : nullptr;
}

// A piece's pixels, addressed in device pixels of the frame's coordinates (the client area's top-left is
// 0, 0), at the frame's scale.
class Canvas {
public:
    Canvas(std::span<std::uint32_t> pixels, Rect area, Scale scale)
        : pixels_(pixels),
          area_{scale.device(area.x), scale.device(area.y), scale.device(area.w), scale.device(area.h)},
          scale_(scale)
    {}

    void put(int x, int y, std::uint32_t colour)
    {
        const int px = x - area_.x;
        const int py = y - area_.y;
        if (px >= 0 && px < area_.w && py >= 0 && py < area_.h) {
            const std::size_t at =
                static_cast<std::size_t>(py) * static_cast<std::size_t>(area_.w) + static_cast<std::size_t>(px);
            if (at < pixels_.size()) {
                pixels_[at] = colour;
            }
        }
    }
    void fill(Rect r, std::uint32_t colour)
    {
        for (int y = r.y; y < r.y + r.h; ++y) {
            for (int x = r.x; x < r.x + r.w; ++x) {
                put(x, y, colour);
            }
        }
    }
    // A rectangle given in units, as the device pixels between its edges' nearest ones.
    void fillUnits(Rect r, std::uint32_t colour)
    {
        const int x = scale_.device(r.x);
        const int y = scale_.device(r.y);
        fill({x, y, scale_.device(r.x + r.w) - x, scale_.device(r.y + r.h) - y}, colour);
    }
    const Rect& area() const { return area_; }
    Scale scale() const { return scale_; }

private:
    std::span<std::uint32_t> pixels_;
    Rect area_;  // in device pixels
    Scale scale_;
};

// The shadow's colour at a device pixel outside the frame: premultiplied black that fades with the distance.
std::uint32_t shadowAt(const FrameGeometry& frame, int x, int y)
{
    const Scale scale = frame.scale;
    const int w = scale.device(frame.width);
    const int h = scale.device(frame.height);
    const int top = -scale.device(kTitleHeight);
    const int dx = x < 0 ? -x : (x >= w ? x - w + 1 : 0);
    const int dy = y < top ? top - y : (y >= h ? y - h + 1 : 0);
    const double distance = std::hypot(dx, dy) / scale.device(1.0) - 1.0;
    const double fade = std::max(0.0, 1.0 - distance / kShadow);
    const auto alpha = static_cast<std::uint32_t>(std::lround(kShadowAlpha * fade * fade));
    return alpha << 24U;
}

// A button in units of the geometry; its sign is drawn in lines one unit thick, crisp at any scale.
void drawButton(Canvas& canvas, FramePart part, Rect box, const FrameLook& look, std::uint32_t ink)
{
    const bool close = part == FramePart::close;
    if (look.pressed == part) {
        canvas.fillUnits(box, close ? kClosePressed : kButtonPressed);
    } else if (look.hovered == part && look.pressed == FramePart::outside) {
        canvas.fillUnits(box, close ? kCloseHovered : kButtonHovered);
    }
    constexpr int kSign = 10;
    const int x = box.x + (box.w - kSign) / 2;
    const int y = box.y + (box.h - kSign) / 2;
    switch (part) {
    case FramePart::close: {
        // Two diagonals, each a band a unit wide (at least a device pixel) across the sign's square of
        // device pixels.
        const Scale scale = canvas.scale();
        const int s = std::max(1, scale.device(1));
        const int n = scale.device(kSign);
        const int left = scale.device(x);
        const int top = scale.device(y);
        for (int v = 0; v < n; ++v) {
            for (int u = 0; u < n; ++u) {
                if ((u - v >= 0 && u - v < s) || (n - 1 - u - v >= 0 && n - 1 - u - v < s)) {
                    canvas.put(left + u, top + v, ink);
                }
            }
        }
        break;
    }
    case FramePart::maximise:
        if (look.maximised) {  // the restore sign: a smaller window in front of another
            constexpr int kSmall = 7;
            const int back = kSign - kSmall;
            canvas.fillUnits({x + back, y, kSmall, 1}, ink);
            canvas.fillUnits({x + kSign - 1, y, 1, kSmall}, ink);
            canvas.fillUnits({x, y + back, kSmall, 2}, ink);
            canvas.fillUnits({x, y + back, 1, kSmall}, ink);
            canvas.fillUnits({x + kSmall - 1, y + back, 1, kSmall}, ink);
            canvas.fillUnits({x, y + kSign - 1, kSmall, 1}, ink);
        } else {
            canvas.fillUnits({x, y, kSign, 2}, ink);
            canvas.fillUnits({x, y, 1, kSign}, ink);
            canvas.fillUnits({x + kSign - 1, y, 1, kSign}, ink);
            canvas.fillUnits({x, y + kSign - 1, kSign, 1}, ink);
        }
        break;
    case FramePart::minimise: canvas.fillUnits({x, y + kSign - 2, kSign, 2}, ink); break;
    default: break;
    }
}

void drawCaption(Canvas& canvas, const FrameGeometry& frame, std::string_view caption, std::uint32_t ink)
{
    const int textWidth = static_cast<int>(caption.size()) * kAdvance - 1;
    const int room = frame.width - 3 * kButtonWidth - 4;  // what the buttons leave, with a little air
    int x = (frame.width - textWidth) / 2;
    x = std::max(4, std::min(x, room - textWidth));
    const int top = -kTitleHeight + (kTitleHeight - kGlyphHeight + 1) / 2;
    for (const char letter : caption) {
        const Glyph* glyph = glyphOf(letter);
        if (glyph != nullptr && x + kAdvance - 1 <= room) {
            for (int column = 0; column < kGlyphColumns; ++column) {
                for (int row = 0; row < kGlyphHeight; ++row) {
                    const unsigned bits = (*glyph)[static_cast<std::size_t>(column)];
                    if (((bits >> static_cast<unsigned>(row)) & 1U) != 0U) {
                        canvas.fillUnits({x + column, top + row, 2, 1}, ink);  // bold: one unit wider
                    }
                }
            }
        }
        x += kAdvance;
    }
}

}  // namespace

bool isButton(FramePart part)
{
    return part == FramePart::minimise || part == FramePart::maximise || part == FramePart::close;
}

bool isResize(FramePart part)
{
    return part >= FramePart::resizeTop;
}

const char* cursorName(FramePart part)
{
    switch (part) {
    case FramePart::resizeTop: return "top_side";
    case FramePart::resizeBottom: return "bottom_side";
    case FramePart::resizeLeft: return "left_side";
    case FramePart::resizeRight: return "right_side";
    case FramePart::resizeTopLeft: return "top_left_corner";
    case FramePart::resizeTopRight: return "top_right_corner";
    case FramePart::resizeBottomLeft: return "bottom_left_corner";
    case FramePart::resizeBottomRight: return "bottom_right_corner";
    default: return "left_ptr";
    }
}

FrameRequest FrameClicks::press(FramePart part, FrameButton button, std::uint32_t timeMs, FrameLook& look)
{
    const bool second = captionPressed_ && part == FramePart::caption && button == FrameButton::left &&
                        timeMs - captionTime_ < kDoubleClickMs;
    captionPressed_ = part == FramePart::caption && button == FrameButton::left && !second;
    captionTime_ = timeMs;
    if (part == FramePart::caption) {
        if (button == FrameButton::right) {
            return FrameRequest::windowMenu;
        }
        if (button == FrameButton::left) {
            return second ? FrameRequest::toggleMaximised : FrameRequest::move;
        }
    } else if (button == FrameButton::left && isResize(part)) {
        return FrameRequest::resize;
    } else if (button == FrameButton::left && isButton(part)) {
        look.pressed = part;
    }
    return FrameRequest::none;
}

FrameRequest FrameClicks::release(FramePart part, FrameButton button, FrameLook& look)
{
    if (button != FrameButton::left || !isButton(look.pressed)) {
        return FrameRequest::none;
    }
    const FramePart pressed = look.pressed;
    look.pressed = FramePart::outside;
    if (part != pressed) {
        return FrameRequest::none;
    }
    switch (pressed) {
    case FramePart::close: return FrameRequest::close;
    case FramePart::maximise: return FrameRequest::toggleMaximised;
    default: return FrameRequest::minimise;
    }
}

FramePart FrameGeometry::partAt(int x, int y) const
{
    const bool across = x >= 0 && x < width;
    if (across && y >= 0 && y < height) {
        return FramePart::picture;
    }
    if (across && y >= -kTitleHeight && y < 0) {
        const int fromRight = width - x;
        if (fromRight <= kButtonWidth) {
            return FramePart::close;
        }
        if (fromRight <= 2 * kButtonWidth) {
            return FramePart::maximise;
        }
        if (fromRight <= 3 * kButtonWidth) {
            return FramePart::minimise;
        }
        return FramePart::caption;
    }
    const int s = shadow();
    if (s == 0 || x < -s || x >= width + s || y < -kTitleHeight - s || y >= height + s) {
        return FramePart::outside;
    }
    return bandPart(x, y);
}

// The band round a floating frame: its sides, and corners that reach a little along each edge.
FramePart FrameGeometry::bandPart(int x, int y) const
{
    const bool alongTopOrBottom = y < -kTitleHeight || y >= height;
    const bool alongSide = x < 0 || x >= width;
    const bool top = y < -kTitleHeight || (alongSide && y < -kTitleHeight + kCornerReach);
    const bool bottom = y >= height || (alongSide && y >= height - kCornerReach);
    const bool left = x < 0 || (alongTopOrBottom && x < kCornerReach);
    const bool right = x >= width || (alongTopOrBottom && x >= width - kCornerReach);
    if (top) {
        return left ? FramePart::resizeTopLeft : (right ? FramePart::resizeTopRight : FramePart::resizeTop);
    }
    if (bottom) {
        return left ? FramePart::resizeBottomLeft : (right ? FramePart::resizeBottomRight : FramePart::resizeBottom);
    }
    return left ? FramePart::resizeLeft : FramePart::resizeRight;
}

Rect FrameGeometry::piece(Piece which) const
{
    const int s = shadow();
    switch (which) {
    case Piece::top: return {-s, -kTitleHeight - s, width + 2 * s, kTitleHeight + s};
    case Piece::left: return {-s, 0, s, s > 0 ? height : 0};
    case Piece::right: return {width, 0, s, s > 0 ? height : 0};
    case Piece::bottom: return {-s, height, s > 0 ? width + 2 * s : 0, s};
    }
    return {};
}

void drawPiece(std::span<std::uint32_t> pixels, const FrameGeometry& frame, FrameGeometry::Piece which,
               const FrameLook& look, std::string_view caption)
{
    Canvas canvas(pixels, frame.piece(which), frame.scale);
    const Rect& area = canvas.area();
    const int barWidth = frame.scale.device(frame.width);
    const int barTop = -frame.scale.device(kTitleHeight);
    for (int y = area.y; y < area.y + area.h; ++y) {
        for (int x = area.x; x < area.x + area.w; ++x) {
            const bool bar = x >= 0 && x < barWidth && y >= barTop && y < 0;
            canvas.put(x, y, bar ? (look.active ? kBarActive : kBarInactive) : shadowAt(frame, x, y));
        }
    }
    if (which != FrameGeometry::Piece::top) {
        return;
    }
    const std::uint32_t ink = look.active ? kInkActive : kInkInactive;
    const std::array buttons{FramePart::close, FramePart::maximise, FramePart::minimise};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const int right = frame.width - static_cast<int>(i) * kButtonWidth;
        drawButton(canvas, buttons[i], {right - kButtonWidth, -kTitleHeight, kButtonWidth, kTitleHeight}, look, ink);
    }
    drawCaption(canvas, frame, caption, ink);
}

}  // namespace zarvo::wl
