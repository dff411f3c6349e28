// The colour nudge painter: a point moves each component of the pixel under it 5 steps toward the target,
// the components read through the colour's hexadecimal text; and the hexadecimal text decoder.
#pragma once

#include "window/surface.hpp"

#include <cstdint>
#include <string_view>

namespace zarvo {

// The value of hexNum read as hexadecimal digits, most significant first. Only "0"-"9" and "A"-"F" count;
// any other character (lowercase letters included) is the digit 0. A value beyond 32 bits is a run-time
// error.
std::int32_t retDec(std::string_view hexNum);

// The pixel colour that one nudge makes of col: each component read from the hexadecimal text of col
// (padded to six digits), stepped 5 toward its target unless equal to it, and held within 0..255.
Colour nudgeColour(Colour col, std::int16_t tr, std::int16_t tg, std::int16_t tb);

// Paints one point: reads the pixel at (x, y), nudges it toward the target and writes it back.
inline void paintDot(Surface& surface, float x, float y, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    surface.setPixel(x, y, nudgeColour(surface.readPixel(x, y), tr, tg, tb));
}

}  // namespace zarvo
