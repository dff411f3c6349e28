// Where a picture's pixels live. By default the C++ heap; a host may hand the picture memory the display
// reads directly (a shared-memory image), so the picture it draws on is the one the window shows.
#pragma once

#include <cstdint>

namespace zarvo {

class PixelStore {
public:
    PixelStore() = default;
    PixelStore(const PixelStore&) = delete;
    PixelStore& operator=(const PixelStore&) = delete;
    PixelStore(PixelStore&&) = delete;
    PixelStore& operator=(PixelStore&&) = delete;
    virtual ~PixelStore() = default;

    // Room for width x height words (both at least 1), rows of width words with nothing between them; the
    // contents are undefined. Throws std::bad_alloc when there is no memory for it.
    virtual std::uint32_t* allocate(int width, int height) = 0;
    // Gives back what allocate returned for the same size.
    virtual void release(std::uint32_t* pixels, int width, int height) noexcept = 0;
};

}  // namespace zarvo
