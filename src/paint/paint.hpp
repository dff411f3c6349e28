// The colour nudge painter: a point moves each component of the pixel under it 5 steps toward the target,
// the components read through the colour's hexadecimal text; and the hexadecimal text decoder.
#pragma once

#include "window/surface.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string_view>

namespace zarvo {

// The value of hexNum read as hexadecimal digits, most significant first. Only "0"-"9" and "A"-"F" count;
// any other character (lowercase letters included) is the digit 0. A value beyond 32 bits is a run-time
// error.
std::int32_t retDec(std::string_view hexNum);

namespace detail {
// One component's step: 5 toward the target (not at all when equal), held within 0..255. Written without
// branches, since whether a component lies below or above its target is a coin toss for the predictor.
inline int step(int v, int target)
{
    const int ch = v + 5 * (static_cast<int>(v < target) - static_cast<int>(v > target));
    return std::clamp(ch, 0, 255);
}
}  // namespace detail

// The pixel colour that one nudge makes of col: each component read from the hexadecimal text of col
// (padded to six digits), stepped 5 toward its target unless equal to it, and held within 0..255.
inline Colour nudgeColour(Colour col, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    // The text of col has max(6, digits) characters once padded; its pairs at positions 5, 3 and 1 (red,
    // green, blue) are the bytes that end 4 * (length - 6) bits above the least significant digit. For a
    // colour within 0..0xFFFFFF that is the plain byte split; for wider values the pairs slide left.
    const auto bits = static_cast<std::uint32_t>(col);
    unsigned shift = 0;
    if (bits > 0xFFFFFFU) {  // seven or eight digits
        shift = 4U * (static_cast<unsigned>(35 - std::countl_zero(bits)) / 4U - 6U);
    }
    const int red = detail::step(static_cast<int>((bits >> shift) & 0xFFU), tr);
    const int green = detail::step(static_cast<int>((bits >> (shift + 8U)) & 0xFFU), tg);
    const int blue = detail::step(static_cast<int>((bits >> (shift + 16U)) & 0xFFU), tb);
    return rgb(red, green, blue);
}

// Paints one point: reads the pixel at (x, y), nudges it toward the target and writes it back.
inline void paintDot(Surface& surface, float x, float y, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    surface.setPixel(x, y, nudgeColour(surface.readPixel(x, y), tr, tg, tb));
}

}  // namespace zarvo
