// The in-memory drawing surface with damage tracking.
#include "core/framebuffer.hpp"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace zarvo {

namespace {
int tilesFor(int size)
{
    return (size + Framebuffer::kTile - 1) / Framebuffer::kTile;
}

// The words of a width x height picture. A picture whose bytes a pointer difference cannot count (on a
// 32-bit target 65536 x 65536 would wrap to nothing) is refused like one the system has no memory for.
std::size_t wordsOf(int width, int height)
{
    constexpr auto kMaxWords = static_cast<std::uint64_t>(PTRDIFF_MAX) / sizeof(std::uint32_t);
    const std::uint64_t words = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (words > kMaxWords) {
        throw std::bad_alloc();
    }
    return static_cast<std::size_t>(words);
}

// Storage for a width x height picture from the store (nullptr: the heap), or nullptr for an empty one.
// Left uninitialised: every caller fills it.
std::uint32_t* take(PixelStore* store, int width, int height)
{
    if (width == 0 || height == 0) {
        return nullptr;
    }
    if (store != nullptr) {
        (void)wordsOf(width, height);  // a size it cannot count never reaches the store
        return store->allocate(width, height);
    }
    return new std::uint32_t[wordsOf(width, height)];
}
}  // namespace

Framebuffer::Framebuffer(int width, int height, Colour background) : background_(background)
{
    resize(width, height);
}

Framebuffer::Framebuffer(const Framebuffer& other)
    : width_(other.width_),
      height_(other.height_),
      widthF_(other.widthF_),
      heightF_(other.heightF_),
      tilesX_(other.tilesX_),
      background_(other.background_),
      store_(other.store_),
      pixels_(take(other.store_, other.width_, other.height_)),
      tilesY_(other.tilesY_),
      anyDamaged_(other.anyDamaged_),
      allDamaged_(other.allDamaged_)
{
    try {
        tileDirty_ = other.tileDirty_;
        rowDirty_ = other.rowDirty_;
    } catch (...) {
        release();
        throw;
    }
    std::copy(other.pixels_, other.pixels_ + area(), pixels_);
}

Framebuffer::Framebuffer(Framebuffer&& other) noexcept
{
    takeFrom(other);
}

Framebuffer& Framebuffer::operator=(const Framebuffer& other)
{
    if (this != &other) {
        Framebuffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept
{
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

// Takes over the other picture's pixels and state, leaving it an empty picture of the same store. The
// pixels here must have been released.
void Framebuffer::takeFrom(Framebuffer& other) noexcept
{
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    widthF_ = std::exchange(other.widthF_, 0.0F);
    heightF_ = std::exchange(other.heightF_, 0.0F);
    tilesX_ = std::exchange(other.tilesX_, 0);
    background_ = other.background_;
    store_ = other.store_;
    pixels_ = std::exchange(other.pixels_, nullptr);
    tilesY_ = std::exchange(other.tilesY_, 0);
    tileDirty_ = std::move(other.tileDirty_);
    other.tileDirty_.clear();
    rowDirty_ = std::move(other.rowDirty_);
    other.rowDirty_.clear();
    anyDamaged_ = std::exchange(other.anyDamaged_, false);
    allDamaged_ = std::exchange(other.allDamaged_, false);
}

Framebuffer::~Framebuffer()
{
    release();
}

void Framebuffer::release() noexcept
{
    if (pixels_ == nullptr) {
        return;
    }
    if (store_ != nullptr) {
        store_->release(pixels_, width_, height_);
    } else {
        delete[] pixels_;
    }
    pixels_ = nullptr;
}

void Framebuffer::usePixelStore(PixelStore* store)
{
    if (store == store_) {
        return;
    }
    std::uint32_t* next = take(store, width_, height_);
    std::copy(pixels_, pixels_ + area(), next);
    release();
    store_ = store;
    pixels_ = next;
}

Colour Framebuffer::readPixel(float x, float y)
{
    std::size_t index = 0;
    std::size_t tile = 0;
    std::size_t tileRow = 0;
    if (!locate(x, y, index, tile, tileRow)) {
        return kOutside;
    }
    return toColour(pixels_[index]);
}

void Framebuffer::setPixel(float x, float y, Colour colour)
{
    std::size_t index = 0;
    std::size_t tile = 0;
    std::size_t tileRow = 0;
    if (!locate(x, y, index, tile, tileRow)) {
        return;  // outside the surface nothing changes
    }
    const std::uint32_t word = toWord(colour);
    // Only a change counts as damage; recorded without a branch, as most paints do change the pixel.
    const bool changed = pixels_[index] != word;
    pixels_[index] = word;
    tileDirty_[tile] |= static_cast<std::uint8_t>(changed);
    rowDirty_[tileRow] |= static_cast<std::uint8_t>(changed);
    anyDamaged_ |= changed;
}

void Framebuffer::clearSurface()
{
    std::fill(pixels_, pixels_ + area(), toWord(background_));
    damageAll();
}

void Framebuffer::resize(int width, int height)
{
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    if (width == width_ && height == height_ && pixels_ != nullptr) {
        return;
    }
    // Everything that can fail comes first, so a failure leaves the picture as it was.
    const std::size_t nextArea = wordsOf(width, height);
    std::vector<std::uint8_t> dirty(
        static_cast<std::size_t>(tilesFor(width)) * static_cast<std::size_t>(tilesFor(height)), 0);
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(tilesFor(height)), 0);
    std::uint32_t* next = take(store_, width, height);
    std::fill(next, next + nextArea, toWord(background_));
    const int keepW = std::min(width, width_);
    const int keepH = std::min(height, height_);
    for (int y = 0; y < keepH; ++y) {
        const std::uint32_t* from = pixels_ + static_cast<std::ptrdiff_t>(y) * width_;
        std::copy(from, from + keepW, next + static_cast<std::ptrdiff_t>(y) * width);
    }
    release();
    pixels_ = next;
    width_ = width;
    height_ = height;
    widthF_ = static_cast<float>(width);
    heightF_ = static_cast<float>(height);
    tilesX_ = tilesFor(width);
    tilesY_ = tilesFor(height);
    tileDirty_ = std::move(dirty);
    rowDirty_ = std::move(rows);
    damageAll();
}

void Framebuffer::damageAll()
{
    allDamaged_ = true;
    anyDamaged_ = true;
}

}  // namespace zarvo
