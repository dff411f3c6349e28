// The colour nudge painter: a point moves each component of the pixel under it 5 steps toward the target,
// the components read through the colour's hexadecimal text; and the hexadecimal text decoder.
#pragma once

#include "core/surface.hpp"

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
// One component's step, looked up: row 0 for a component equal to its target, row 1 for one below it (5
// up, at most 255), row 2 for one above it (5 down, at least 0). A table, as whether a component lies
// below or above its target is a coin toss that a branch would keep missing.
struct StepTable {
    std::uint8_t next[3][256];
};
inline constexpr StepTable kSteps = [] {
    StepTable table{};
    for (int v = 0; v < 256; ++v) {
        table.next[0][v] = static_cast<std::uint8_t>(v);
        table.next[1][v] = static_cast<std::uint8_t>(std::min(v + 5, 255));
        table.next[2][v] = static_cast<std::uint8_t>(std::max(v - 5, 0));
    }
    return table;
}();

inline int step(unsigned v, int target)
{
    const auto t = static_cast<unsigned>(target);
    const unsigned direction = static_cast<unsigned>(v < t) | (static_cast<unsigned>(v > t) << 1U);
    return kSteps.next[direction][v];
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
    const int red = detail::step((bits >> shift) & 0xFFU, tr);
    const int green = detail::step((bits >> (shift + 8U)) & 0xFFU, tg);
    const int blue = detail::step((bits >> (shift + 16U)) & 0xFFU, tb);
    return rgb(red, green, blue);
}

// Paints one point: reads the pixel at (x, y), nudges it toward the target and writes it back.
inline void paintDot(Surface& surface, float x, float y, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    surface.setPixel(x, y, nudgeColour(surface.readPixel(x, y), tr, tg, tb));
}

}  // namespace zarvo
