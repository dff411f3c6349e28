// The picture the program owns: an in-memory drawing surface of any size (0 x 0 included) that keeps its
// pixels across a resize and records which regions changed, so a host presents only those. Its pixels
// live on the heap or in a host's PixelStore.
#pragma once

#include "core/pixel_store.hpp"
#include "core/surface.hpp"

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
    static constexpr int kTile = 16;          // side of a damage tile in pixels
    static constexpr int kMaxSide = 1 << 16;  // a larger width or height is cut to this

    explicit Framebuffer(int width = 0, int height = 0, Colour background = 0);
    // A copy takes its pixels from the same store as the original; the store outlives every picture in it.
    Framebuffer(const Framebuffer& other);
    Framebuffer(Framebuffer&& other) noexcept;
    Framebuffer& operator=(const Framebuffer& other);
    Framebuffer& operator=(Framebuffer&& other) noexcept;
    ~Framebuffer() override;

    float surfaceWidth() const override { return widthF_; }
    float surfaceHeight() const override { return heightF_; }
    Colour readPixel(float x, float y) override;
    void setPixel(float x, float y, Colour colour) override;
    void clearSurface() override;

    // New size: the overlapping region keeps its pixels, the new area shows the background.
    void resize(int width, int height);
    // The colour clearSurface fills with; the picture is not repainted.
    void setBackground(Colour background) { background_ = background; }
    Colour background() const { return background_; }
    // Moves the pixels into the given store (nullptr: the heap); the picture and its damage stay as they are.
    void usePixelStore(PixelStore* store);

    int width() const { return width_; }
    int height() const { return height_; }
    // Rows of 0x00RRGGBB words (the byte order B, G, R, X in memory), width words per row.
    // Null while the picture is empty.
    const std::uint32_t* pixels() const { return pixels_; }

    bool damaged() const { return anyDamaged_; }
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
    std::size_t area() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }
    void release() noexcept;
    void takeFrom(Framebuffer& other) noexcept;
    void damageAll();

    bool locate(float x, float y, std::size_t& index, std::size_t& tile, std::size_t& tileRow) const
    {
        int px = 0;
        int py = 0;
        if (!pixelOf(x, widthF_, px) || !pixelOf(y, heightF_, py)) {
            return false;
        }
        const auto ux = static_cast<std::size_t>(px);
        const auto uy = static_cast<std::size_t>(py);
        index = uy * static_cast<std::size_t>(width_) + ux;
        tileRow = uy / kTile;
        tile = tileRow * static_cast<std::size_t>(tilesX_) + ux / kTile;
        return true;
    }

    int width_ = 0;
    int height_ = 0;
    float widthF_ = 0.0F;
    float heightF_ = 0.0F;
    int tilesX_ = 0;
    Colour background_ = 0;
    PixelStore* store_ = nullptr;  // nullptr: the heap
    std::uint32_t* pixels_ = nullptr;
    int tilesY_ = 0;
    std::vector<std::uint8_t> tileDirty_;  // one flag per tile, row by row
    std::vector<std::uint8_t> rowDirty_;   // one flag per row of tiles, so a large picture's clean rows are skipped
    bool anyDamaged_ = false;
    bool allDamaged_ = false;
};

template <class Present>
void Framebuffer::takeDamage(Present&& present)
{
    if (!anyDamaged_) {
        return;
    }
    if (allDamaged_) {
        if (width_ > 0 && height_ > 0) {
            present(Rect{0, 0, width_, height_});
        }
        std::fill(tileDirty_.begin(), tileDirty_.end(), std::uint8_t{0});
        std::fill(rowDirty_.begin(), rowDirty_.end(), std::uint8_t{0});
    } else {
        for (int ty = 0; ty < tilesY_; ++ty) {
            if (rowDirty_[static_cast<std::size_t>(ty)] == 0) {
                continue;
            }
            std::uint8_t* row = tileDirty_.data() + static_cast<std::ptrdiff_t>(ty) * tilesX_;
            int tx = 0;
            while (tx < tilesX_) {
                if (row[tx] == 0) {
                    ++tx;
                    continue;
                }
                const int first = tx;
                while (tx < tilesX_ && row[tx] != 0) {
                    ++tx;
                }
                const int y0 = ty * kTile;
                const int x1 = std::min(width_, tx * kTile);
                present(Rect{first * kTile, y0, x1 - first * kTile, std::min(height_, y0 + kTile) - y0});
            }
            std::fill(row, row + tilesX_, std::uint8_t{0});
            rowDirty_[static_cast<std::size_t>(ty)] = 0;
        }
    }
    anyDamaged_ = false;
    allDamaged_ = false;
}

}  // namespace zarvo
