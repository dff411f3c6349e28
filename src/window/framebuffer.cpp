// The in-memory drawing surface with damage tracking.
#include "window/framebuffer.hpp"

namespace zarvo {

namespace {
int tilesFor(int size)
{
    return (size + Framebuffer::kTile - 1) / Framebuffer::kTile;
}
}  // namespace

Framebuffer::Framebuffer(int width, int height, Colour background) : background_(background)
{
    resize(width, height);
}

Colour Framebuffer::readPixel(float x, float y)
{
    std::size_t index = 0;
    std::size_t tile = 0;
    if (!locate(x, y, index, tile)) {
        return kOutside;
    }
    return toColour(pixels_[index]);
}

void Framebuffer::setPixel(float x, float y, Colour colour)
{
    std::size_t index = 0;
    std::size_t tile = 0;
    if (!locate(x, y, index, tile)) {
        return;  // outside the surface nothing changes
    }
    const std::uint32_t word = toWord(colour);
    // Only a change counts as damage; recorded without a branch, as most paints do change the pixel.
    const bool changed = pixels_[index] != word;
    pixels_[index] = word;
    tileDirty_[tile] |= static_cast<std::uint8_t>(changed);
    anyDamaged_ |= changed;
}

void Framebuffer::clearSurface()
{
    std::fill(pixels_.begin(), pixels_.end(), toWord(background_));
    damageAll();
}

void Framebuffer::resize(int width, int height)
{
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    if (width == width_ && height == height_ && !pixels_.empty()) {
        return;
    }
    std::vector<std::uint32_t> next(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                    toWord(background_));
    const int keepW = std::min(width, width_);
    const int keepH = std::min(height, height_);
    for (int y = 0; y < keepH; ++y) {
        const auto from = pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        std::copy(from, from + keepW, next.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    pixels_ = std::move(next);
    width_ = width;
    height_ = height;
    widthF_ = static_cast<float>(width);
    heightF_ = static_cast<float>(height);
    tilesX_ = tilesFor(width);
    tilesY_ = tilesFor(height);
    tileDirty_.assign(static_cast<std::size_t>(tilesX_) * static_cast<std::size_t>(tilesY_), 0);
    damageAll();
}

void Framebuffer::damageAll()
{
    allDamaged_ = true;
    anyDamaged_ = true;
}

}  // namespace zarvo
