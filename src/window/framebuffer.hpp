// The picture the program owns: an in-memory drawing surface of any size (0 x 0 included) that keeps its
// pixels across a resize and records which regions changed, so a host presents only those.
#pragma once

#include "window/surface.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zarvo {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Framebuffer final : public Surface {
public:
    static constexpr int kTile = 16;  // side of a damage tile in pixels

    explicit Framebuffer(int width = 0, int height = 0, Colour background = 0);

    float surfaceWidth() const override { return static_cast<float>(width_); }
    float surfaceHeight() const override { return static_cast<float>(height_); }
    Colour readPixel(float x, float y) override;
    void setPixel(float x, float y, Colour colour) override;
    void clearSurface() override;

    // New size: the overlapping region keeps its pixels, the new area shows the background.
    void resize(int width, int height);
    // The colour clearSurface fills with; the picture is not repainted.
    void setBackground(Colour background) { background_ = background; }
    Colour background() const { return background_; }

    int width() const { return width_; }
    int height() const { return height_; }
    // Rows of 0x00RRGGBB words (the byte order B, G, R, X in memory), width words per row.
    const std::uint32_t* pixels() const { return pixels_.data(); }

    bool damaged() const { return allDamaged_ || !damagedTiles_.empty(); }
    // Hands each changed region to present(Rect), row by row, tiles merged along a row, then forgets them.
    template <class Present>
    void takeDamage(Present&& present);

    // Conversions between a colour value (0x00BBGGRR) and a stored word (0x00RRGGBB).
    static constexpr std::uint32_t toWord(Colour c)
    {
        const auto v = static_cast<std::uint32_t>(c);
        return ((v & 0xFFU) << 16U) | (v & 0xFF00U) | ((v >> 16U) & 0xFFU);
    }
    static constexpr Colour toColour(std::uint32_t w) { return static_cast<Colour>(toWord(static_cast<Colour>(w))); }

private:
    void damageAll();
    void damageTile(int px, int py)
    {
        const auto t = static_cast<std::size_t>((py / kTile) * tilesX_ + px / kTile);
        if (tileDirty_[t] == 0) {
            tileDirty_[t] = 1;
            damagedTiles_.push_back(static_cast<std::uint32_t>(t));
        }
    }

    int width_ = 0;
    int height_ = 0;
    int tilesX_ = 0;
    Colour background_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::vector<std::uint8_t> tileDirty_;
    std::vector<std::uint32_t> damagedTiles_;
    bool allDamaged_ = false;
};

template <class Present>
void Framebuffer::takeDamage(Present&& present)
{
    if (allDamaged_) {
        if (width_ > 0 && height_ > 0) {
            present(Rect{0, 0, width_, height_});
        }
    } else {
        std::sort(damagedTiles_.begin(), damagedTiles_.end());
        std::size_t i = 0;
        while (i < damagedTiles_.size()) {
            const std::uint32_t first = damagedTiles_[i];
            std::uint32_t last = first;
            const auto row = first / static_cast<std::uint32_t>(tilesX_);
            while (i + 1 < damagedTiles_.size() && damagedTiles_[i + 1] == last + 1 &&
                   damagedTiles_[i + 1] / static_cast<std::uint32_t>(tilesX_) == row) {
                last = damagedTiles_[++i];
            }
            ++i;
            const int x0 = static_cast<int>(first % static_cast<std::uint32_t>(tilesX_)) * kTile;
            const int x1 = std::min(width_, (static_cast<int>(last % static_cast<std::uint32_t>(tilesX_)) + 1) * kTile);
            const int y0 = static_cast<int>(row) * kTile;
            const int y1 = std::min(height_, y0 + kTile);
            present(Rect{x0, y0, x1 - x0, y1 - y0});
        }
    }
    for (const std::uint32_t t : damagedTiles_) {
        tileDirty_[t] = 0;
    }
    damagedTiles_.clear();
    allDamaged_ = false;
}

}  // namespace zarvo
