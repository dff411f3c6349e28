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
    int px = 0;
    int py = 0;
    if (!pixelOf(x, width_, px) || !pixelOf(y, height_, py)) {
        return kOutside;
    }
    return toColour(
        pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(px)]);
}

void Framebuffer::setPixel(float x, float y, Colour colour)
{
    int px = 0;
    int py = 0;
    if (!pixelOf(x, width_, px) || !pixelOf(y, height_, py)) {
        return;  // outside the surface nothing changes
    }
    const std::uint32_t word = toWord(colour);
    std::uint32_t& cell =
        pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(px)];
    if (cell != word) {
        cell = word;
        if (!allDamaged_) {
            damageTile(px, py);
        }
    }
}

void Framebuffer::clearSurface()
{
    std::fill(pixels_.begin(), pixels_.end(), toWord(background_));
    damageAll();
}

void Framebuffer::resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
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
    tilesX_ = tilesFor(width);
    tileDirty_.assign(static_cast<std::size_t>(tilesX_) * static_cast<std::size_t>(tilesFor(height)), 0);
    damagedTiles_.clear();
    damageAll();
}

void Framebuffer::damageAll()
{
    allDamaged_ = true;
    for (const std::uint32_t t : damagedTiles_) {
        tileDirty_[t] = 0;
    }
    damagedTiles_.clear();
}

}  // namespace zarvo
