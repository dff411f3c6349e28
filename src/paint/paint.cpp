// The painter's colour arithmetic and the hexadecimal decoder.
#include "paint/paint.hpp"

#include <bit>
#include <cmath>
#include <limits>

namespace zarvo {

std::int32_t retDec(std::string_view hexNum)
{
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::int32_t total = 0;
    const std::size_t length = hexNum.size();
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t found = kDigits.find(hexNum[i]);
        const int d = found == std::string_view::npos ? 0 : static_cast<int>(found);
        if (d == 0) {
            // A zero digit adds nothing, however far left it stands: a long run of leading zeros must not
            // turn into 0 x infinity.
            continue;
        }
        const double term = d * std::pow(16.0, static_cast<double>(length - 1 - i));
        if (!(term <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
            raiseRuntimeError("overflow: hexadecimal text beyond 32 bits");
        }
        if (__builtin_add_overflow(total, static_cast<std::int32_t>(term), &total)) {
            raiseRuntimeError("overflow: hexadecimal text beyond 32 bits");
        }
    }
    return total;
}

namespace {
inline int step(int v, int target)
{
    int ch = v;
    if (v < target) {
        ch = v + 5;
    }
    if (v > target) {
        ch = v - 5;
    }
    if (ch > 255) {
        ch = 255;
    }
    if (ch < 0) {
        ch = 0;
    }
    return ch;
}
}  // namespace

Colour nudgeColour(Colour col, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    // The text of col has max(6, digits) characters once padded; its pairs at positions 5, 3 and 1 (red,
    // green, blue) are the bytes that end 4 * (length - 6) bits above the least significant digit. For a
    // colour within 0..0xFFFFFF that is the plain byte split; for wider values the pairs slide left.
    const auto bits = static_cast<std::uint32_t>(col);
    const int digits = bits == 0 ? 1 : (35 - std::countl_zero(bits)) / 4;
    const unsigned shift = digits > 6 ? 4U * static_cast<unsigned>(digits - 6) : 0U;
    const int red = step(static_cast<int>((bits >> shift) & 0xFFU), tr);
    const int green = step(static_cast<int>((bits >> (shift + 8U)) & 0xFFU), tg);
    const int blue = step(static_cast<int>((bits >> (shift + 16U)) & 0xFFU), tb);
    return rgb(red, green, blue);
}

}  // namespace zarvo
