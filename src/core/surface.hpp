// The drawing surface: the five members that all drawing and geometry go through.
#pragma once

#include "core/runtime.hpp"

namespace zarvo {

class Surface {
public:
    virtual ~Surface() = default;
    virtual float surfaceWidth() const = 0;
    virtual float surfaceHeight() const = 0;
    virtual Colour readPixel(float x, float y) = 0;
    virtual void setPixel(float x, float y, Colour colour) = 0;
    virtual void clearSurface() = 0;
};

// The value readPixel gives for a position outside the surface: all three components read as 255.
inline constexpr Colour kOutside = -1;

// How a coordinate selects a pixel, the same for reading and writing: the pixel whose square contains it,
// so x in [i, i + 1) selects column i. Returns false for a coordinate outside [0, size), NaN included. The
// size is given as a float and must be a whole number below 2^24, so that it converts exactly.
inline bool pixelOf(float coordinate, float size, int& index)
{
    if (!(coordinate >= 0.0F && coordinate < size)) {
        return false;
    }
    index = static_cast<int>(coordinate);  // truncation is the floor for non-negative values
    return true;
}

}  // namespace zarvo
