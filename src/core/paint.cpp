// The painter's colour arithmetic and the hexadecimal decoder.
#include "core/paint.hpp"

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

}  // namespace zarvo
