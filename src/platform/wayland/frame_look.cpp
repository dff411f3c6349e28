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

// The caption's letters, at most 7 pixels wide, drawn bold: ten rows from the capital's top to the baseline,
// small letters in the lower seven. Each takes its own width and one pixel of space; a letter without a
// pattern here leaves a gap of the widest.
struct Glyph {
    char letter;
    std::array<const char*, 10> rows;
};
constexpr int kGlyphWidth = 7;

constexpr std::array kGlyphs{
    Glyph{
        'Z',
        {"#######", "#######", "....##.", "....##.", "...##..", "..##...", ".##....", ".##....", "#######", "#######"}},
    Glyph{
        'a',
        {".......", ".......", ".......", ".#####.", ".....##", ".######", "##...##", "##...##", "##..###", ".###.##"}},
    Glyph{
        'r',
        {".......", ".......", ".......", "##.###.", "#####..", "###....", "##.....", "##.....", "##.....", "##....."}},
    Glyph{
        'v',
        {".......", ".......", ".......", "##...##", "##...##", ".##.##.", ".##.##.", ".##.##.", "..###..", "..###.."}},
    Glyph{
        'o',
        {".......", ".......", ".......", ".#####.", "##...##", "##...##", "##...##", "##...##", "##...##", ".#####."}},
    Glyph{
        '1',
        {"..##...", ".###...", "####...", "..##...", "..##...", "..##...", "..##...", "..##...", "..##...", "######."}},
};

// The columns a letter uses: up to its rightmost inked one.
int glyphWidth(const Glyph& glyph)
{
    int width = 0;
    for (const char* row : glyph.rows) {
        for (int column = 0; column < kGlyphWidth; ++column) {
            if (row[column] == '#') {
                width = std::max(width, column + 1);
            }
        }
    }
    return width;
}

const Glyph* glyphOf(char letter)
{
    const auto* glyph =
        std::find_if(kGlyphs.begin(), kGlyphs.end(), [letter](const Glyph& g) { return g.letter == letter; });
    return glyph != kGlyphs.end() ? glyph : nullptr;
}

// A piece's pixels, addressed in the frame's coordinates (the client area's top-left is 0, 0).
class Canvas {
public:
    Canvas(std::span<std::uint32_t> pixels, Rect area) : pixels_(pixels), area_(area) {}

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
    const Rect& area() const { return area_; }

private:
    std::span<std::uint32_t> pixels_;
    Rect area_;
};

// The shadow's colour at a point outside the frame: premultiplied black that fades with the distance.
std::uint32_t shadowAt(const FrameGeometry& frame, int x, int y)
{
    const int dx = x < 0 ? -x : (x >= frame.width ? x - frame.width + 1 : 0);
    const int dy = y < -kTitleHeight ? -kTitleHeight - y : (y >= frame.height ? y - frame.height + 1 : 0);
    const double distance = std::hypot(dx, dy) - 1.0;
    const double fade = std::max(0.0, 1.0 - distance / kShadow);
    const auto alpha = static_cast<std::uint32_t>(std::lround(kShadowAlpha * fade * fade));
    return alpha << 24U;
}

void drawButton(Canvas& canvas, FramePart part, Rect box, const FrameLook& look, std::uint32_t ink)
{
    const bool close = part == FramePart::close;
    if (look.pressed == part) {
        canvas.fill(box, close ? kClosePressed : kButtonPressed);
    } else if (look.hovered == part && look.pressed == FramePart::outside) {
        canvas.fill(box, close ? kCloseHovered : kButtonHovered);
    }
    constexpr int kSign = 10;
    const int x = box.x + (box.w - kSign) / 2;
    const int y = box.y + (box.h - kSign) / 2;
    switch (part) {
    case FramePart::close:
        for (int i = 0; i < kSign; ++i) {
            canvas.put(x + i, y + i, ink);
            canvas.put(x + kSign - 1 - i, y + i, ink);
        }
        break;
    case FramePart::maximise:
        if (look.maximised) {  // the restore sign: a smaller window in front of another
            constexpr int kSmall = 7;
            const int back = kSign - kSmall;
            canvas.fill({x + back, y, kSmall, 1}, ink);
            canvas.fill({x + kSign - 1, y, 1, kSmall}, ink);
            canvas.fill({x, y + back, kSmall, 2}, ink);
            canvas.fill({x, y + back, 1, kSmall}, ink);
            canvas.fill({x + kSmall - 1, y + back, 1, kSmall}, ink);
            canvas.fill({x, y + kSign - 1, kSmall, 1}, ink);
        } else {
            canvas.fill({x, y, kSign, 2}, ink);
            canvas.fill({x, y, 1, kSign}, ink);
            canvas.fill({x + kSign - 1, y, 1, kSign}, ink);
            canvas.fill({x, y + kSign - 1, kSign, 1}, ink);
        }
        break;
    case FramePart::minimise: canvas.fill({x, y + kSign - 2, kSign, 2}, ink); break;
    default: break;
    }
}

void drawCaption(Canvas& canvas, const FrameGeometry& frame, std::string_view caption, std::uint32_t ink)
{
    int textWidth = -1;
    for (const char letter : caption) {
        const Glyph* glyph = glyphOf(letter);
        textWidth += (glyph != nullptr ? glyphWidth(*glyph) : kGlyphWidth) + 1;
    }
    const int room = frame.width - 3 * kButtonWidth - 4;  // what the buttons leave, with a little air
    int x = (frame.width - textWidth) / 2;
    x = std::max(4, std::min(x, room - textWidth));
    const int top = -kTitleHeight + 7;
    for (const char letter : caption) {
        const Glyph* glyph = glyphOf(letter);
        const int width = glyph != nullptr ? glyphWidth(*glyph) : kGlyphWidth;
        if (glyph != nullptr && x + width <= room) {
            for (int row = 0; row < static_cast<int>(glyph->rows.size()); ++row) {
                for (int column = 0; column < width; ++column) {
                    if (glyph->rows[static_cast<std::size_t>(row)][column] == '#') {
                        canvas.put(x + column, top + row, ink);
                    }
                }
            }
        }
        x += width + 1;
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
    Canvas canvas(pixels, frame.piece(which));
    const Rect& area = canvas.area();
    for (int y = area.y; y < area.y + area.h; ++y) {
        for (int x = area.x; x < area.x + area.w; ++x) {
            const bool bar = x >= 0 && x < frame.width && y >= -kTitleHeight && y < 0;
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
