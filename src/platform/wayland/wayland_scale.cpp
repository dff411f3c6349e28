// The scale's arithmetic, in whole numbers so every length comes out the same everywhere.
#include "platform/wayland/wayland_scale.hpp"

#include <cstdint>

namespace zarvo::wl {

int Scale::device(int units) const
{
    const std::int64_t product = static_cast<std::int64_t>(units) * n_;
    const std::int64_t half = kDenominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDenominator : -((-product + half) / kDenominator));
}

}  // namespace zarvo::wl
